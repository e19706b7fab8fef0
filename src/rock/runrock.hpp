#pragma once
// The rock calculation's view of a run: reaction roots, positions and ln K from the dataset and
// the a-x models, activities of solution phases at trial P-T, and the run set-up services.

#include <memory>
#include <string>

#include "model/run.hpp"
#include "rock/rockdriver.hpp"
#include "solver/positions.hpp"
#include "solver/roots.hpp"
#include "thermo/settings.hpp"

namespace qv {

class RunRock final : public RockRunHooks {
public:
    RunRock(Session& ses, Run& run);
    ReactionLists& lists() { return *rl_; }

    Roots findrxnp(int16 i, real t, real u, real v) override;
    Roots findrxnt(int16 i, real p, real u, real v) override;
    ReactionDg calcdgr(int16 i, real p, real t, real u, real v) override;
    RxnPosition calcpsd(int16 i, real t, real u, real v) override;
    RxnPosition calctsd(int16 i, real p, real u, real v) override;
    void setlnavar() override;
    void calcrxnlna() override;
    std::string reactiontext(int16 i) override;
    // The activities of the solution-phase end-members at p (kbar) and t (K), matched in phase
    // order against the calculation's end-members.
    void updateactivity(real p, real t) override;
    void setspecialphases() override;
    void setdefaultsda() override;
    void promptfluid() override;
    std::string fluidlabel() override;
    void calcre(avtype kind, real maxsdallowed) override;

private:
    Session& ses_;
    Run& run_;
    Dataset& ds_;
    GemSettings gs_;
    ReactionTables tab_;
    ReactionEval ev_;
    PositionData data_;
    std::unique_ptr<ReactionLists> rl_ = std::make_unique<ReactionLists>();
};

}  // namespace qv
