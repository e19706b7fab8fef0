#pragma once
// The calculation of one candidate assemblage of a phase diagram run, shared by the files that
// hold its parts: the set-up and solve of a point (pointsetup.cpp), what is taken from a solved
// point (pointresults.cpp) and the run, step and point loops (solve.cpp).

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "model/special.hpp"
#include "model/statetable.hpp"
#include "phasediagram/accumulate.hpp"
#include "phasediagram/batch.hpp"
#include "phasediagram/bulkreader.hpp"
#include "phasediagram/calcwhat.hpp"
#include "phasediagram/debyehueckel.hpp"
#include "phasediagram/dogmin.hpp"
#include "phasediagram/dudarun.hpp"
#include "phasediagram/fractrun.hpp"
#include "phasediagram/modes.hpp"
#include "phasediagram/montecarlo.hpp"
#include "phasediagram/projection.hpp"
#include "phasediagram/resultsds.hpp"
#include "phasediagram/runchoices.hpp"
#include "phasediagram/solve.hpp"
#include "script/windows.hpp"
#include "solver/calcq.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "solver/reactionsets.hpp"
#include "solver/roots.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"
#include "thermo/activities.hpp"
#include "thermo/equations.hpp"
#include "thermo/makes.hpp"
#include "thermo/phaseprops.hpp"
#include "thermo/reactions.hpp"
#include "thermo/settings.hpp"

namespace qv {

// The solver's work tables of a phase diagram run, which each candidate's calculation borrows:
// what a solve reads of them is as fresh tables would have it (the evaluation's arrays are
// filled before they are read, the end-member G cache checks the data and point of every value
// it keeps), so one set serves all the candidates of a run. The candidate's own state (its
// result, reactions, mass balance and solver variables) is kept here too, and made anew in the
// same memory for each candidate: a fresh value, without a new allocation (and the page faults
// of new memory) per candidate.
struct CalcWorkTables {
    std::unique_ptr<NleWork> nlework;
    NleWorkspace solver;
    std::unique_ptr<SolveState> st;
    std::unique_ptr<ReactionLists> rl;
    std::unique_ptr<MassBalance> mb;
    std::unique_ptr<NleVariables> vars;
    // Working tables of a point's phase properties: the system sums are cleared wherever they
    // are formed, the activities' uncertainties are set and never read.
    std::unique_ptr<SystemProps> sums;
    std::unique_ptr<emvector> postsd;
};

// `p` holding a value-initialised T, as `std::make_unique<T>()` makes it, in the memory it
// already holds if any.
template <class T>
T& freshvalue(std::unique_ptr<T>& p) {
    if (!p) {
        p = std::make_unique<T>();
    } else {
        std::destroy_at(p.get());
        try {
            std::construct_at(p.get());
        } catch (...) {
            // Its memory holds no object now: let go of it without destroying anything.
            static_cast<void>(p.release());
            throw;
        }
    }
    return *p;
}

// The table kept in `kept`, taken from it (a calculation made while another holds it gets one
// of its own) and made fresh.
template <class T>
std::unique_ptr<T> takefresh(std::unique_ptr<T>& kept) {
    std::unique_ptr<T> p = std::move(kept);
    freshvalue(p);
    return p;
}

}  // namespace qv

namespace qv::pdsolve {

// The calculation of one candidate: the state that the nested steps share.
class Calculation {
public:
    Calculation(Session& ses, Run& run, PdRun& pd, const bemvector& phases)
        : ses_(ses),
          run_(run),
          pd_(pd),
          sc_(run.script),
          kept_(keptworktables(pd)),
          st_(takefresh(kept_.st)),
          rl_(takefresh(kept_.rl)),
          mb_(takefresh(kept_.mb)),
          vars_(takefresh(kept_.vars)),
          // (the run's work tables from the start: a default NleState would make a set of its
          // own, 47 kB, only to drop it; the static analyser loses the pointer moved into the
          // designated member and reports a leak, but `nst_` owns it)
          // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
          nst_{.work = takework(kept_)},
          nlework_(std::move(kept_.solver)) {
        st_->equilphases = phases;
        st_->rl = rl_.get();
        st_->gs = &gs_;
    }
    // The solver's tables and the candidate's state go back to the run for its next candidate.
    ~Calculation() {
        kept_.nlework = std::move(nst_.work);
        kept_.solver = std::move(nlework_);
        kept_.st = std::move(st_);
        kept_.rl = std::move(rl_);
        kept_.mb = std::move(mb_);
        kept_.vars = std::move(vars_);
    }
    Calculation(const Calculation&) = delete;
    Calculation& operator=(const Calculation&) = delete;
    void run();

private:
    void setlayout();
    void setmassbalances();
    void step();
    void point(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter);
    bool stepsdone() const;
    bool runsdone() const;
    int16 cantcalcmsg();
    void setactivities();
    void setx(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter);
    bool donle();
    void extract();
    void postprocess();
    void showprogress();

    static CalcWorkTables& keptworktables(PdRun& pd) {
        if (!pd.calcwork) pd.calcwork = std::make_shared<CalcWorkTables>();
        return *pd.calcwork;
    }
    static std::unique_ptr<NleWork> takework(CalcWorkTables& kept) {
        return kept.nlework ? std::move(kept.nlework) : std::make_unique<NleWork>();
    }
    MonteCarlo& mc() {
        if (!mc_) mc_ = std::make_unique<MonteCarlo>();
        return *mc_;
    }
    BatchState& batch() {
        if (!batch_) batch_ = std::make_unique<BatchState>();
        return *batch_;
    }
    Accumulation& acc() {
        if (!acc_) acc_ = std::make_unique<Accumulation>();
        return *acc_;
    }
    bool mcon() const { return mc_ && mc_->mcon; }

    Session& ses_;
    Run& run_;
    PdRun& pd_;
    ScriptSettings& sc_;
    CalcWorkTables& kept_;
    // The candidate's state: the run's tables, made fresh for it (see CalcWorkTables).
    std::unique_ptr<SolveState> st_;
    std::unique_ptr<ReactionLists> rl_;
    std::unique_ptr<MassBalance> mb_;
    std::unique_ptr<NleVariables> vars_;
    NleState nst_;          // its work tables are the run's, kept from candidate to candidate
    NleWorkspace nlework_;  // the solver's matrices, the same
    CalcLayoutSettings lay_;
    GemSettings gs_;
    bool solved_ = false;
    bool passed_ = true;
    bool good_ = false;
    // The run loop (Monte Carlo trials, fractionation steps) and the step loop (batch members).
    RunCounter rc_;
    bool batchon_ = false;
    bool firststep_ = false;
    int16 npointsinstep_ = 0;
    bool goodforaccum_ = false;
    // The batch layout and the accumulation of a batch, fractionation or Monte Carlo run (13 kB),
    // made at their first use.
    std::unique_ptr<BatchState> batch_;
    std::unique_ptr<MonteCarlo> mc_;  // made by a Monte Carlo run or a batch that collects
    // The phase property table of a point, made at the first point that needs it.
    std::unique_ptr<PhasePropsTable> props_;
    std::unique_ptr<Accumulation> acc_;
    ResultSds sds_;
    bool modesok_ = false;  // the modes of the point are usable
};

}  // namespace qv::pdsolve
