#pragma once
// The reaction services of a diagram on the run's reaction table: dG, roots, positions with
// their uncertainties and the orientation of reactions, by the reaction routines of the solver.

#include "reactiondiagram/diagram.hpp"
#include "solver/positions.hpp"
#include "solver/roots.hpp"

namespace qv {

class RunReactionLines final : public ReactionLines {
public:
    RunReactionLines(ReactionEval& ev, const PositionData& data, ReactionLists& rl)
        : ev_(ev), data_(data), rl_(rl) {}
    ReactionDg dgr(int16 i, real p, real t, real u, real v) override;
    Roots findrxnp(int16 i, bool usestart, real start, real t, real u, real v) override;
    Roots findrxnt(int16 i, bool usestart, real start, real p, real u, real v) override;
    RootPairSd calcpsd(int16 i, real t, real u, real v) override;
    RootPairSd calctsd(int16 i, real p, real u, real v) override;
    void turnreaction(int16 i, const DiagramPoint& pt) override;

private:
    ReactionEval& ev_;
    const PositionData& data_;
    ReactionLists& rl_;
};

}  // namespace qv
