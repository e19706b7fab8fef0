#pragma once
// The calculation of one candidate assemblage of a phase diagram run, shared by the files that
// hold its parts: the set-up and solve of a point (pointsetup.cpp), what is taken from a solved
// point (pointresults.cpp) and the run, step and point loops (solve.cpp).

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "model/special.hpp"
#include "model/statetable.hpp"
#include "phasediagram/accumulate.hpp"
#include "phasediagram/batch.hpp"
#include "phasediagram/debyehueckel.hpp"
#include "phasediagram/dogmin.hpp"
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

namespace qv::pdsolve {

// The calculation of one candidate: the state that the nested steps share.
class Calculation {
public:
    Calculation(Session& ses, Run& run, PdRun& pd, const bemvector& phases)
        : ses_(ses), run_(run), pd_(pd), sc_(run.script) {
        st_->equilphases = phases;
        st_->xref.calcphaselist = std::make_unique<Fixed1<CalcPhase, maxem>>();
        st_->rl = rl_.get();
        st_->gs = &gs_;
    }
    void run();

private:
    void setlayout();
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

    Session& ses_;
    Run& run_;
    PdRun& pd_;
    ScriptSettings& sc_;
    std::unique_ptr<SolveState> st_ = std::make_unique<SolveState>();
    std::unique_ptr<ReactionLists> rl_ = std::make_unique<ReactionLists>();
    std::unique_ptr<MassBalance> mb_ = std::make_unique<MassBalance>();
    std::unique_ptr<NleVariables> vars_ = std::make_unique<NleVariables>();
    std::unique_ptr<PhasePropsTable> props_ = std::make_unique<PhasePropsTable>();
    NleState nst_;
    NleWorkspace nlework_;  // the solver's matrices, kept from point to point
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
    BatchState batch_;
    std::unique_ptr<MonteCarlo> mc_ = std::make_unique<MonteCarlo>();
    // The work tables of a point's phase properties, made at the first point that needs them.
    std::unique_ptr<SystemProps> sums_;
    std::unique_ptr<emvector> postsd_;
    Accumulation acc_;
    ResultSds sds_;
    bool modesok_ = false;  // the modes of the point are usable
};

}  // namespace qv::pdsolve
