#include "rock/runrock.hpp"

#include <string>

#include "base/fatal.hpp"
#include "model/emchoice.hpp"
#include "model/special.hpp"
#include "script/fluidcomp.hpp"
#include "solver/calcq.hpp"
#include "solver/calcre.hpp"
#include "textio/inputcheck.hpp"
#include "thermo/activities.hpp"
#include "thermo/makes.hpp"

namespace qv {

namespace {

constexpr real unitactivity = 0.999L;  // put in place of an activity outside 0 < a <= 1

// The largest sd of ln a, sd(a) / a, taken: beyond it the variances of the averages overflow.
constexpr real maxsdlna = 1e6L;

// The name of the phase of end-member `name`: its solution phase, or itself for a pure phase.
std::string phaseof(const Run& run, const std::string& name) {
    const prectype1& ss = *run.arrays.prec1;
    for (int16 i = 1; i <= run.nss; ++i) {
        for (int m = 1; m <= ss[i].nem; ++m) {
            if (ss[i].em[m].name == name) return ss[i].name;
        }
    }
    return name;
}

}  // namespace

RunRock::RunRock(Session& ses, Run& run)
    : ses_(ses),
      run_(run),
      ds_(run.dataset),
      gs_(gemsettings(run)),
      tab_{*run.arrays.td,    ds_.emnames,        phasemakes(*run.arrays.prec0, *run.arrays.prec1),
           ds_.nem,           ds_.emact,          run.special.h2oem,
           run.special.co2em, run.special.aqsiem, 4},
      ev_{ses, gs_, tab_, *run.arrays.r, run.windows},
      data_{*run.arrays.cov, ds_.emsda} {
    gs_.channelfluid = run.setup.channelfluid;
    ev_.activitysd = run.setup.activitysd;
}

Roots RunRock::findrxnp(int16 i, real t, real u, real v) {
    return qv::findrxnp(ev_, i, false, 0, t, u, v);
}

Roots RunRock::findrxnt(int16 i, real p, real u, real v) {
    return qv::findrxnt(ev_, i, false, 0, p, u, v);
}

ReactionDg RunRock::calcdgr(int16 i, real p, real t, real u, real v) {
    return dgofreaction(ev_, i, p, t, u, v);
}

RxnPosition RunRock::calcpsd(int16 i, real t, real u, real v) {
    const Position pos = qv::calcpsd(ev_, data_, *rl_, i, t, u, v);
    return RxnPosition{pos.x1, pos.sd1};
}

RxnPosition RunRock::calctsd(int16 i, real p, real u, real v) {
    const Position pos = qv::calctsd(ev_, data_, *rl_, i, p, u, v);
    return RxnPosition{pos.x1, pos.sd1};
}

void RunRock::setlnavar() {
    qv::setlnavar(run_.setup.activitysd, ds_.emact, ds_.emsda, ds_.nem, rl_->emlnavar);
    if (!run_.setup.activitysd) return;
    for (int16 k = 1; k <= ds_.nem; ++k) {
        const real a = ds_.emact[k];
        if (!(a > 0 && a < 1)) continue;
        const std::string& name = ds_.emnames[k];
        const real ratio = ds_.emsda[k] / a;
        const std::string what = "sd(a) / a of " + name + " in " + phaseof(run_, name);
        const char* const rule =
            "above 1e6: an activity too small for its sd, or an sd too large, overflows the "
            "variances";
        // A ratio this large is not shown as a number: its square overflows the variances.
        if (!(ratio < 1e300L)) {
            bomb("setlnavar", what + " overflows in \"" + run_.ax.filename + "\": " + rule,
                 yourfault);
        }
        checkinput(ratio <= maxsdlna, "setlnavar", what, ratio, rule, run_.ax.filename);
    }
}

void RunRock::calcrxnlna() {
    qv::calcrxnlna(*run_.arrays.r, run_.nreac, ds_.emact, ds_.nem, *rl_);
}

std::string RunRock::reactiontext(int16 i) {
    writereaction(*run_.arrays.r, ds_.emnames, ds_.nem, *rl_, i);
    return rl_->rxntext[i];
}

void RunRock::updateactivity(real p, real t) {
    const prectype1& ss = *run_.arrays.prec1;
    int16 n = 0;
    for (int16 i = 1; i <= run_.nss; ++i) {
        const ptype1& ph = ss[i];
        // The activities are those of the equilibrium state of order at this P-T.
        if (ph.hasorder && !solve_order(ses_, run_, i, p, t)) {
            bomb("updateactivity", "couldn't solve for state of order of " + ph.name, yourfault);
        }
        eqvector x;
        for (int16 v = 1; v <= ph.nvar; ++v) x[v] = ph.var[v].guess;
        const ActivitiesSd act = calcactivitysd(ph, x, p, t, run_.script.justrelucb);
        for (int16 m = 1; m <= ph.nem; ++m) {
            if (n >= ds_.nem || ph.em[m].name != ds_.emnames[n + 1]) continue;
            ++n;
            const real a = act.a[m];
            if (!(a <= 0)) checkfiniteactivity("updateactivity", ph, m, a, act.sd[m]);
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

void RunRock::setspecialphases() {
    qv::setspecialphases(run_);
}

void RunRock::setdefaultsda() {
    qv::setdefaultsda(run_);
}

void RunRock::promptfluid() {
    const SpecialEms& sp = run_.special;
    FluidComposition fluid{sp.h2oem > 0,  sp.co2em > 0, sp.crdem != 0 || sp.fcrdem != 0,
                           run_.runftype, run_.xco2cur, run_.xh2ocur};
    qv::promptfluid(ses_, run_.script, fluid);
}

std::string RunRock::fluidlabel() {
    std::string line;
    qv::fluidlabel(run_.runftype, run_.xco2cur, run_.xh2ocur, line);
    return line;
}

void RunRock::calcre(avtype kind, real maxsdallowed) {
    ReactionLists& rl = *rl_;
    const SpecialEms& sp = run_.special;
    // The reaction search leaves out the end-members the user excluded.
    rl.nexclphases = sp.nexcludedems;
    for (int16 k = 1; k <= sp.nexcludedems; ++k) rl.exclphases[k] = sp.excludedems[k];
    const CompositionTables ct{*run_.arrays.c, ds_.components, ds_.emnames, ds_.nem};
    const CurrentConditions cur{run_.windows.pcur, run_.windows.tcur, run_.xco2cur, run_.xh2ocur};
    ReactionSearch s{ev_, data_, ct,   rl,           run_.nreac, ds_.nem,
                     cur, false, kind, maxsdallowed, 0,          ""};
    s.use = SearchUse::rockaverages;
    qv::calcre(s);
}

}  // namespace qv
