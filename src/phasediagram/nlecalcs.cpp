#include "phasediagram/nlecalcs.hpp"

#include <string>

#include "base/fatal.hpp"
#include "model/dataset.hpp"
#include "model/emcomps.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "phasediagram/runchoices.hpp"
#include "script/ptwindow.hpp"
#include "solver/lsqds.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"
#include "thermo/lnavars.hpp"

namespace qv {
namespace {

constexpr int32 screenlog = 9;

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

void notbuilt(Session& ses, const std::string& what) {
    putstr(ses, 1, "calcmode 1: " + what + " not built yet", 1, screenlog);
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
        putstr(ses, 1, "accepting the calculated variance (from script)", 1, screenlog);
        return cv;
    }
    auto toolow = [&](int16 v) {
        putstr(ses, 0, "variance too low: reset to " + realstr(v), 1, screenlog);
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
                   screenlog);
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
                putstr(ses, 0, "variance looks awry: reset to " + realstr(cv), 1, screenlog);
                v = cv;
            }
        } else if (t != valuetype::anemptystring) {
            putstr(ses, 0, "garbage info for variance: set to " + realstr(cv), 1, screenlog);
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
               1, screenlog);
        return sc.varmax;
    }
    std::string answer;
    promptstring(ses, "in dogmin, max variance of equilibria to be looked at", answer);
    const valuetype t = whatis(answer);
    if (t != valuetype::aninteger) bomb("dogmin", "integer needed for max variance", yourfault);
    return getinteger(t, answer, "for max variance");
}

}  // namespace

void nlecalcs(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    startrun(ses, run);
    debuglevel(ses, sc.debuglev);
    whichphases(ses, run);
    readinexcess(ses, run);
    setspecialphases(run);
    if (!yes(sc.batchcb)) listguesses(ses, run);
    // compatrowon is read by the printing of results
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
    const int16 maxvariance = v;

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
    } else {
        sc.modeisoplethcb = controlboolean::no;
        sc.zeromodeisoplethcb = controlboolean::no;
    }
    if (yes(sc.modeisoplethcb)) return notbuilt(ses, "mode isopleths are");
    const bool xco2varon = sc.xco2figure && run.runftype == ftype::h2oco2;
    if (run.runftype == ftype::h2oco2 && sc.xco2valuescb != controlboolean::no) {
        return notbuilt(ses, "x(CO2) values are");
    }
    const bool required = !yes(sc.batchcb) && run.nss > 0 && !sc.pseudoon && run.variance > 2;
    if (required || (!sc.dogminon && run.variance != 0 && sc.isoplethcb != controlboolean::no)) {
        return notbuilt(ses, "compositional isopleths are");
    }
    if (!yes(sc.batchcb) && !sc.dogminon) {
        bool pseudoon = sc.pseudoon;
        varcalc(ses, run, maxvariance, xco2varon, pseudoon, 0, 0, 0);
        sc.pseudoon = pseudoon;
    }
    setptwindows(ses, run);
    if (sc.calcsdlevel == 0 || sc.dogminon || yes(sc.batchcb) || run.nss == 0) {
        sc.uncertaintiescb = controlboolean::no;
    } else {
        promptcontrol(ses, "calculate uncertainties", sc.uncertaintiescb);
    }
    if (sc.uncertaintiescb == controlboolean::no) sc.calcsdlevel = 0;
    if (sc.calcsdlevel > 0) return notbuilt(ses, "uncertainties are");
    readthermo(ses, run, 3);
    lsqds(ses, run);
    for (int k = 1; k <= run.nss; ++k) {
        if ((*run.arrays.prec1)[k].hasorder && !yes(sc.batchcb)) {
            return notbuilt(ses, "order-disorder starting states are");
        }
    }
    setactivityuncertainty(ses, run);
    if (yes(sc.mucb)) {
        sc.calcmucb = controlboolean::yes;
        setupmu(ses, run);
    }
    if (yes(sc.setacb) || yes(sc.lnacb) || yes(sc.setlogacb) || sc.nlna > 0) setuplna(ses, run);
    notbuilt(ses, "the phase diagram calculations are");
}

}  // namespace qv
