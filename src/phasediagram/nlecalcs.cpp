#include "phasediagram/nlecalcs.hpp"

#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/dataset.hpp"
#include "model/emcomps.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "phasediagram/bulkreader.hpp"
#include "phasediagram/calcwhat.hpp"
#include "phasediagram/dogmin.hpp"
#include "phasediagram/dudarun.hpp"
#include "phasediagram/isopleths.hpp"
#include "phasediagram/modeisopleths.hpp"
#include "phasediagram/projection.hpp"
#include "phasediagram/runchoices.hpp"
#include "script/ptwindow.hpp"
#include "solver/calcq.hpp"
#include "solver/lsqds.hpp"
#include "solver/reactionlists.hpp"
#include "solver/uncertainties.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"
#include "thermo/lnavars.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

void debuglevel(Session& ses, int16& lev) {
    if (lev >= 0 && lev <= 5) return;
    if (lev != -1) {
        lev = 1;
        return;
    }
    if (!query(ses, "debug diagnostics")) {
        lev = 1;
    } else if (!query(ses, "more detailed debug diagnostics")) {
        lev = 2;
    } else {
        lev = query(ses, "EVEN more detailed debug diagnostics") ? 4 : 3;
    }
}

// The variance of the equilibria to calculate, from the calculated one `cv`.
int16 runvariance(Session& ses, Run& run, int16 cv) {
    ScriptSettings& sc = run.script;
    if (run.nss == 0) return 1;
    if (yes(sc.batchcb)) return cv;
    if (yes(sc.acceptvarcb)) {
        putstr(ses, 1, "accepting the calculated variance (from script)", 1, screenlogmask);
        return cv;
    }
    auto toolow = [&](int16 v) {
        putstr(ses, 0, "variance too low: reset to " + realstr(v), 1, screenlogmask);
    };
    if (!sc.dogminon) {
        promptcontrol(ses, "use the variance specified in the datafile", sc.setvarcb);
        if (yes(sc.setvarcb)) {
            int16 v = sc.variance;
            if (v < cv) {
                toolow(cv);
                v = cv;
            }
            putstr(ses, 1,
                   "required equilibria are " + writevariance(sc.variance) + " (from script)", 1,
                   screenlogmask);
            return v;
        }
        const bool nomu = sc.nmu < 1;
        std::string answer;
        promptstring(ses,
                     nomu ? "variance of required equilibrium (" + realstr(cv) + "?)"
                          : "variance of required equilibrium",
                     answer);
        if (cv < 0) cv = 0;
        int16 v = cv;
        const valuetype t = whatis(answer);
        if (t == valuetype::aninteger) {
            v = getinteger(t, answer, "for variance");
            if (nomu && v < cv) {
                toolow(cv);
                v = cv;
            } else if (nomu && v > cv + 2) {
                putstr(ses, 0, "variance looks awry: reset to " + realstr(cv), 1, screenlogmask);
                v = cv;
            }
        } else if (t != valuetype::anemptystring) {
            putstr(ses, 0, "garbage info for variance: set to " + realstr(cv), 1, screenlogmask);
            v = cv;
        }
        if (nomu && v < cv) {
            toolow(cv);
            v = cv;
        }
        return v;
    }
    promptcontrol(ses,
                  sc.varmin == 2
                      ? "in dogmin, use the max variance specified in the datafile"
                      : "in dogmin, use the min and max variance specified in the datafile",
                  sc.varrangecb);
    if (yes(sc.varrangecb)) {
        putstr(ses, 1,
               "running dogmin: min variance of equilibria is " + writevariance(sc.varmin) +
                   "; max variance is " + writevariance(sc.varmax),
               1, screenlogmask);
        return sc.varmax;
    }
    std::string answer;
    promptstring(ses, "in dogmin, max variance of equilibria to be looked at", answer);
    const valuetype t = whatis(answer);
    if (t != valuetype::aninteger) bomb("dogmin", "integer needed for max variance", yourfault);
    return getinteger(t, answer, "for max variance");
}

// The variables of a solution phase at the current P and T, after its state of order was found.
void printphasevars(Session& ses, const Run& run, int16 k) {
    const ptype1& ph = (*run.arrays.prec1)[k];
    const Windows& w = run.windows;
    std::string head = " P(kbar)    T(C)";
    std::string vals;
    for (int v = 1; v <= ph.nvar; ++v) addstr(ph.var[v].name, 10, head);
    if (w.pcur == 0.001L) {
        addstr("0.001", 8, vals);
    } else {
        addreal(1, false, 8, vals, w.pcur);
    }
    addreal(0, false, 8, vals, std::round(w.tcur - 273.15L));
    for (int v = 1; v <= ph.nvar; ++v) addreal(4, false, 10, vals, ph.var[v].guess);
    putstr(ses, 0, head, 1, screensummarylogmask);
    putstr(ses, 0, vals, 1, screensummarylogmask);
}

// Legal starting states of the order variables of each phase that has them.
void orderstates(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    prectype1& ss = *run.arrays.prec1;
    bool heading = false;
    for (int16 k = 1; k <= run.nss; ++k) {
        if (!ss[k].hasorder) continue;
        const Windows& w = run.windows;
        bool random = false;
        if (yes(sc.usecalcqcb)) {
            if (!heading) {
                putstr(ses, 0, "equilibrium state of order (for given P, T and compositions)", 1,
                       screensummarylogmask);
                heading = true;
            }
            if (!findlegalq(ses, run, k, true, random, w.pcur, w.tcur)) {
                putstr(ses, 1, "couldn't solve for state of order of " + ss[k].name, 1,
                       screensummarylogmask);
            } else {
                printphasevars(ses, run, k);
            }
        } else {
            if (!findlegalq(ses, run, k, false, random, w.pcur, w.tcur)) {
                putstr(ses, 1, "state of order for " + ss[k].name, 0, screenlogmask);
                bomb("nlecalcs", "cannot find legal Q initial guess", yourfault);
            }
            if (random) {
                putstr(ses, 1, "illegal Q starting guess for " + ss[k].name + ": random value used",
                       0, screenlogmask);
            }
        }
        if (heading) putstr(ses, 0, " ", 1, screensummarylogmask);
    }
}

// The isopleths of the run: the mode isopleths, the x(CO2) values of an H2O-CO2 fluid and the
// composition isopleths, asked for as the variance v and the script's switches require.
void readallisopleths(Session& ses, Run& run, PdRun& pd, int16 v) {
    ScriptSettings& sc = run.script;
    const bool pseudo = sc.pseudoon;
    if (!pseudo || (!sc.dogminon && v == 0)) {
        sc.modeisoplethcb = controlboolean::no;
        sc.zeromodeisoplethcb = controlboolean::no;
    } else if (!sc.dogminon) {
        promptcontrol(ses, "set modes to zero (to find edges/corners of fields)",
                      sc.zeromodeisoplethcb);
        if (yes(sc.zeromodeisoplethcb)) {
            sc.modeisoplethcb = controlboolean::yes;
        } else {
            promptcontrol(ses, "set mode isopleths", sc.modeisoplethcb);
        }
        pd.modesinsolve = run.variance >= 3 || yes(sc.modeisoplethcb);
        pd.modesaftersolve = !pd.modesinsolve;
    } else {
        sc.modeisoplethcb = controlboolean::no;
        sc.zeromodeisoplethcb = controlboolean::no;
        pd.modesinsolve = v > 2;
        pd.modesaftersolve = v < 3;
    }
    pd.iso = IsoplethTable{};
    if (yes(sc.modeisoplethcb)) {
        readmodeisopleths(ses, run, pd);
    } else {
        sc.zeromodeisoplethcb = controlboolean::no;
    }
    pd.xco2varon = sc.xco2figure && run.runftype == ftype::h2oco2;
    if (run.runftype == ftype::h2oco2) {
        if (sc.xco2valuescb == controlboolean::no) {
            if (pd.xco2varon) {
                putstr(ses, 1,
                       "if you want to set x(CO2) for calculations, use the calcx(CO2) script,", 1,
                       screenlogmask);
                putstr(ses, 0, "either with x(CO2): low, high, inc, or a list of values", 1,
                       screenlogmask);
            }
        } else {
            readxco2values(ses, run, pd);
        }
    }
    const bool required = !yes(sc.batchcb) && run.nss > 0 && !sc.pseudoon &&
                          pd.iso.nisopleths == 0 && run.variance > 2;
    if (required) {
        const int16 need = narrow16(run.variance - 2);
        putstr(ses, 1,
               "you will have to set at least " + realstr(need) +
                   (need == 1 ? " compositional variable" : " compositional variables"),
               1, screenlogmask);
        if (run.runftype == ftype::h2oco2) {
            putstr(ses, 0,
                   run.variance < 4
                       ? "(or none, if you set fluid composition and nominate external buffering)"
                       : "(or " + realstr(run.variance - 3) +
                             ", if you set fluid composition and nominate external buffering)",
                   1, screenlogmask);
        }
        sc.isoplethcb = controlboolean::yes;
        readisopleths(ses, run, pd);
    } else if (!sc.dogminon && run.variance != 0 && sc.isoplethcb != controlboolean::no) {
        readisopleths(ses, run, pd);
    }
}

}  // namespace

SetupOptions phasediagramsetup() {
    return SetupOptions{};
}

void nlecalcs(Session& ses, Run& run) {
    auto pdp = std::make_unique<PdRun>();
    nlecalcs(ses, run, *pdp);
}

void nlecalcs(Session& ses, Run& run, PdRun& pd) {
    ScriptSettings& sc = run.script;
    // The calculations stored for duDA+ are those of this run.
    if (pd.duda) startdudarun(*pd.duda);
    startrun(ses, run);
    if (pd.duda) takedudaminerals(*pd.duda, sc);
    debuglevel(ses, sc.debuglev);
    whichphases(ses, run);
    readinexcess(ses, run);
    setspecialphases(run);
    if (!yes(sc.batchcb)) listguesses(ses, run);
    pd.firstpass = ses.runcount <= 1;
    if (yes(sc.batchcb) || run.nss == 0 || run.runftype == ftype::several ||
        run.runftype == ftype::h2oaq || run.runftype == ftype::h2oco2aq) {
        pd.compatrowon = false;
    }
    if (sc.dogminon || sc.acceptvarcb == controlboolean::ask) sc.acceptvarcb = controlboolean::no;
    readthermo(ses, run, 2);
    makeemc(run);
    dofigPT(ses, sc, run.windows);
    if (!yes(sc.batchcb)) {
        if (sc.dogminon) sc.pseudoon = true;
        if (run.nss == 0) sc.pseudoon = false;
    }
    const int16 cv = calcvariance(run);
    const int16 v = runvariance(ses, run, cv);
    run.variance = v;
    pd.variance = v;
    pd.maxvariance = v;

    readallisopleths(ses, run, pd, v);
    if (pd.xco2varon) pd.compatrowon = false;
    if (!yes(sc.batchcb) && !sc.dogminon) {
        bool pseudoon = sc.pseudoon;
        varcalc(ses, run, pd.maxvariance, pd.xco2varon, pseudoon, pd.iso.nisopleths,
                pd.iso.nmodeisopleths, pd.iso.nxyzisopleths);
        sc.pseudoon = pseudoon;
        pd.variance = run.variance;
    }
    setptwindows(ses, run);
    if (pd.calcsdlevel >= 0) {
        sc.calcsdlevel = pd.calcsdlevel;
        sc.uncertaintiescb = controlboolean::yes;
    }
    if (sc.calcsdlevel == 0 || sc.dogminon || yes(sc.batchcb) || run.nss == 0) {
        sc.uncertaintiescb = controlboolean::no;
    } else {
        promptcontrol(ses, "calculate uncertainties", sc.uncertaintiescb);
    }
    if (sc.uncertaintiescb == controlboolean::no) sc.calcsdlevel = 0;
    if (sc.calcsdlevel > 0) printsdspec(ses, sc.pseudoon);
    readthermo(ses, run, 3);
    lsqds(ses, run);
    const prectype1& ss = *run.arrays.prec1;
    for (int k = 1; k <= run.nss; ++k) {
        if (ss[k].isfluid) {
            pd.fluidphase = narrow16(k);
            if (run.runftype == ftype::h2oco2 && pd.xco2varon) pd.xco2fluidphase = pd.fluidphase;
        }
    }
    if (!yes(sc.batchcb)) orderstates(ses, run);
    setactivityuncertainty(ses, run);
    if (yes(sc.mucb)) {
        sc.calcmucb = controlboolean::yes;
        setupmu(ses, run);
    }
    if (yes(sc.setacb) || yes(sc.lnacb) || yes(sc.setlogacb) || sc.nlna > 0) setuplna(ses, run);
    if (sc.dogminon || run.nss == 0) {
        sc.projectioncb = controlboolean::no;
        sc.projplanecb = controlboolean::no;
    } else if (sc.projectioncb == controlboolean::no) {
        sc.projplanecb = controlboolean::no;
    } else if (sc.debuglev < 2) {
        promptcontrol(ses, "project mineral compositions onto a compatibility diagram",
                      sc.projectioncb);
    } else {
        sc.projectioncb = controlboolean::no;
        sc.projplanecb = controlboolean::no;
    }
    const int16 ncomp = run.dataset.components.ncomp;
    if (yes(sc.projectioncb) && ncomp - run.excess.nexcess > 4) {
        putstr(ses, 1, "projection not useful if the compatibility diagram has more than 4 apices-",
               1, screenlogmask);
        putstr(ses, 0,
               "you will need to project from at least " + realstr(ncomp - 4) + " phases, " +
                   "instead of just " + realstr(run.excess.nexcess),
               1, screenlogmask);
        sc.projectioncb = controlboolean::no;
    }
    if (yes(sc.projectioncb)) readprojplane(ses, run, pd);
    if (sc.pseudoon) {
        BulkSources src;
        src.duda = pd.duda != nullptr;
        src.dudaxco2 = src.duda && pd.duda->set.avptxco2;
        readcomps(ses, run, pd, src);
    } else {
        pd.nbulk = 0;
        pd.bulkx = 0;
    }
    if (yes(sc.projectioncb) && sc.pseudoon) {
        promptcontrol(ses, "project bulk compositions onto the compatibility diagram",
                      sc.projcompcb);
    } else {
        sc.projcompcb = controlboolean::no;
    }
    pd.equilno = 0;
    if (sc.dogminon) setupdogmin(ses, run, pd);
    countcomp(run);
    if (sc.pseudoon && run.dataset.ds190) ses.console.write("oxide-based modes\n");
    calcwhat(ses, run, pd, sc.pseudoon ? reducedsystem(pd.bulk) : fullsystem(run));
}

}  // namespace qv
