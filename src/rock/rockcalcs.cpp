#include "rock/rockcalcs.hpp"

#include <memory>
#include <string>

#include "model/components.hpp"
#include "model/emchoice.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "rock/rockdriver.hpp"
#include "script/fluidcomp.hpp"
#include "solver/calcre.hpp"
#include "solver/positions.hpp"
#include "solver/roots.hpp"
#include "textio/fatal.hpp"
#include "thermo/activities.hpp"
#include "thermo/makes.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

constexpr real unitactivity = 0.999L;  // put in place of an activity outside 0 < a <= 1

RxnRoots rxnroots(const Roots& r) {
    return RxnRoots{r.x1, r.x2, r.dgdp1, r.dgdt1, r.dgdp2, r.dgdt2};
}

// The rock calculation's view of the run: reaction roots, positions and ln K from the dataset
// and the a-x models, and the run set-up services.
class RunRock final : public RockRunHooks {
public:
    RunRock(Session& ses, Run& run)
        : ses_(ses),
          run_(run),
          ds_(run.dataset),
          gs_(gemsettings(ses, run)),
          tab_{*run.arrays.td,
               ds_.emnames,
               phasemakes(*run.arrays.prec0, *run.arrays.prec1),
               ds_.nem,
               ds_.emact,
               run.special.h2oem,
               run.special.co2em,
               run.special.aqsiem,
               4},
          ev_{ses, gs_, tab_, *run.arrays.r, run.windows},
          data_{*run.arrays.cov, ds_.emsda} {}

    ReactionLists& lists() { return *rl_; }

    RxnRoots findrxnp(int16 i, real t, real u, real v) override {
        return rxnroots(qv::findrxnp(ev_, i, false, 0, t, u, v));
    }
    RxnRoots findrxnt(int16 i, real p, real u, real v) override {
        return rxnroots(qv::findrxnt(ev_, i, false, 0, p, u, v));
    }
    ReactionDg calcdgr(int16 i, real p, real t, real u, real v) override {
        return dgofreaction(ev_, i, p, t, u, v);
    }
    RxnPosition calcpsd(int16 i, real t, real u, real v) override {
        const Position pos = qv::calcpsd(ev_, data_, *rl_, i, t, u, v);
        return RxnPosition{pos.x1, pos.sd1};
    }
    RxnPosition calctsd(int16 i, real p, real u, real v) override {
        const Position pos = qv::calctsd(ev_, data_, *rl_, i, p, u, v);
        return RxnPosition{pos.x1, pos.sd1};
    }
    void setlnavar() override {
        qv::setlnavar(ses_.runcalcmode, ds_.emact, ds_.emsda, ds_.nem, rl_->emlnavar);
    }
    void calcrxnlna() override {
        qv::calcrxnlna(*run_.arrays.r, run_.nreac, ds_.emact, ds_.nem, *rl_);
    }
    std::string reactiontext(int16 i) override {
        writereaction(*run_.arrays.r, ds_.emnames, ds_.nem, *rl_, i);
        return rl_->rxntext[i];
    }

    // The activities of the solution-phase end-members at p (kbar) and t (K), matched in phase
    // order against the calculation's end-members.
    void updateactivity(real p, real t) override {
        const prectype1& ss = *run_.arrays.prec1;
        int16 n = 0;
        for (int16 i = 1; i <= run_.nss; ++i) {
            const ptype1& ph = ss[i];
            if (ph.hasorder) {
                // The equilibrium state of order at P-T needs the order-disorder solver.
                bomb("findlegalq", "state of order of " + ph.name + " not built yet", myfault);
            }
            eqvector x;
            for (int16 v = 1; v <= ph.nvar; ++v) x[v] = ph.var[v].guess;
            const ActivitiesSd act = calcactivitysd(ph, x, p, t, run_.script.justrelucb);
            for (int16 m = 1; m <= ph.nem; ++m) {
                if (n >= ds_.nem || ph.em[m].name != ds_.emnames[n + 1]) continue;
                ++n;
                const real a = act.a[m];
                ds_.emact[n] = a > 0 && a <= 1 ? a : unitactivity;
                ds_.emsda[n] = act.sd[m];
            }
        }
        if (n != ds_.nem - run_.npure) {
            ses_.console.write("k = " + std::to_string(n) + ", ncv = " + std::to_string(ds_.nem) +
                               "\n");
            bomb("updateactivity", "does not add up", yourfault);
        }
        calcrxnlna();
    }

    void setspecialphases() override { qv::setspecialphases(run_); }
    void setdefaultsda() override { qv::setdefaultsda(run_); }
    void promptfluid() override {
        const SpecialEms& sp = run_.special;
        FluidComposition fluid{sp.h2oem > 0,  sp.co2em > 0, sp.crdem != 0 || sp.fcrdem != 0,
                               run_.runftype, run_.xco2cur, run_.xh2ocur};
        qv::promptfluid(ses_, run_.script, fluid);
    }
    std::string fluidlabel() override {
        std::string line;
        qv::fluidlabel(run_.runftype, run_.xco2cur, run_.xh2ocur, line);
        return line;
    }
    void calcre(avtype kind, real maxsdallowed) override {
        ReactionLists& rl = *rl_;
        const SpecialEms& sp = run_.special;
        rl.nexclphases = sp.nexcludedems;
        for (int16 k = 1; k <= sp.nexcludedems; ++k) rl.exclphases[k] = sp.excludedems[k];
        const CompositionTables ct{*run_.arrays.c, ds_.components, ds_.emnames, ds_.nem};
        CurrentConditions cur{run_.windows.pcur, run_.windows.tcur, run_.xco2cur, run_.xh2ocur};
        ReactionSearch s{ev_, data_, ct,   rl,           run_.nreac, ds_.nem,
                         cur, false, kind, maxsdallowed, 0,          ""};
        qv::calcre(s);
    }

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

}  // namespace

void setuprockcalcs(Session& ses, Run& run) {
    run.special.nexcludedems = 0;  // exclusions belong to one run
    startrun(ses, run);
    extractem(ses, run);
    clean(ses, run);
    setspecialphases(run);
}

void rockcalcs(Session& ses, Run& run) {
    auto rock = std::make_unique<RunRock>(ses, run);
    ReactionLists& rl = rock->lists();
    Dataset& ds = run.dataset;
    SpecialEms& sp = run.special;
    RockRunData d{ds.nem,           ds.emnames,      ds.emact,
                  ds.emsda,         rl.emlnavar,     ds.components.ncomp,
                  *run.arrays.c,    *run.arrays.cov, *run.arrays.r,
                  run.nreac,        rl.rxnlnk,       rl.incompleteset,
                  sp.excludedems,   sp.nexcludedems, run.nss,
                  run.npure,        sp.h2oem,        sp.co2em,
                  run.xco2cur,      run.xh2ocur,     run.runftype,
                  run.windows.pcur, run.windows.tcur};
    auto work = std::make_unique<SvdArrays>();
    rockpasses(ses, run.script, run.windows, d, *rock, *work);
}

}  // namespace qv
