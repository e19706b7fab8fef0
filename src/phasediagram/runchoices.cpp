#include "phasediagram/runchoices.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/emchoice.hpp"
#include "numerics/intmath.hpp"
#include "script/ptwindow.hpp"
#include "script/valuelists.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

const std::string dq = "\"";

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// Position among the short names, then among the names as read (solution phases) and pure
// phase names; 0 when neither.
int16 findphase(const Run& run, const std::string& w) {
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= run.nss; ++k) {
        if (ss[k].name == w) return narrow16(k);
    }
    for (int k = 1; k <= run.npure; ++k) {
        if (pure[k].name == w) return narrow16(run.nss + k);
    }
    for (int k = 1; k <= run.nss; ++k) {
        if (ss[k].longname == w) return narrow16(k);
    }
    return 0;
}

std::string phasename(const Run& run, int k) {
    return k <= run.nss ? (*run.arrays.prec1)[k].name : (*run.arrays.prec0)[k - run.nss].name;
}

// The fluid type of the chosen phases, from their fluid and aqueous solution phases and the pure
// H2O and CO2 among them; a mixture the calculation cannot handle stops the run.
ftype runfluidtype(const Run& run) {
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    int nboth = 0;
    int nh2o = 0;
    int nfluid = 0;
    int naq = 0;
    int fluidk = 0;
    for (int k = 1; k <= run.nss; ++k) {
        const ptype1& ph = ss[k];
        bool h = false;
        bool c = false;
        for (int j = 1; j <= ph.nem; ++j) {
            h = h || ph.em[j].name == "H2O";
            c = c || ph.em[j].name == "CO2";
        }
        if (h && c) ++nboth;
        if (h && !c) ++nh2o;
        if (ph.isfluid) {
            ++nfluid;
            fluidk = k;
        }
        if (ph.isaq) ++naq;
    }
    bool pureh2o = false;
    bool pureco2 = false;
    for (int k = 1; k <= run.npure; ++k) {
        pureh2o = pureh2o || pure[k].emname == "H2O";
        pureco2 = pureco2 || pure[k].emname == "CO2";
    }
    ftype t = ftype::notset;
    if (nfluid == 0 && naq == 0) {
        t = !pureh2o && !pureco2  ? ftype::absent
            : pureco2 && !pureh2o ? ftype::co2
            : pureh2o && !pureco2 ? ftype::h2o
                                  : ftype::notset;
    } else if (nfluid > 0 && naq == 0) {
        t = pureh2o || pureco2                  ? ftype::notset
            : nfluid >= 2                       ? ftype::several
            : ss[fluidk].nem == 2 && nboth == 1 ? ftype::h2oco2
                                                : ftype::chos;
    } else if (nfluid == 0) {
        t = pureh2o || pureco2 ? ftype::notset
            : naq >= 2         ? ftype::several
            : nboth == 1       ? ftype::h2oco2aq
            : nh2o == 1        ? ftype::h2oaq
                               : ftype::notset;
    } else {
        t = ftype::several;
    }
    if (t == ftype::notset) {
        bomb("whichphases", "facility not implemented yet (fluidtype not set)", yourfault);
    }
    if (t == ftype::several)
        bomb("whichphases", "several fluid and/or aq: choose just one", yourfault);
    return t;
}

}  // namespace

void whichphases(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    if (run.nss + run.npure != run.nphread) bomb("whichphases", "phases don't add up", yourfault);
    const int nph = run.nphread;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;

    const bool listgiven = sc.nwithphases > 0 && sc.nwithphases < 100;
    Fixed1<bool, maxem> chosen{};
    if (listgiven) {
        int ndistinct = 0;
        for (int i = 1; i <= sc.nwithphases; ++i) {
            const std::string& w = sc.withlist[i];
            if (w.empty()) bomb("whichphases", "with phase is an empty string", yourfault);
            const int16 k = findphase(run, w);
            if (k == 0)
                bomb("whichphases", "with phase " + dq + w + dq + " not recognised", yourfault);
            if (!chosen[k]) ++ndistinct;
            chosen[k] = true;
        }
        if (ndistinct != sc.nwithphases) {
            bomb("whichphases", "with phase list: duplicate found", yourfault);
        }
    } else {
        for (int k = 1; k <= nph; ++k) chosen[k] = true;
    }
    if (!yes(sc.batchcb)) {
        std::string line = std::string("with") + (sc.someofon ? " someof" : "") + ": ";
        bool firstitem = true;
        for (int k = 1; k <= nph; ++k) {
            if (!chosen[k]) continue;
            if (!firstitem) line += ", ";
            firstitem = false;
            if (k <= run.nss) {
                line += ss[k].name;
                if (!ss[k].basename.empty()) line += " (from " + ss[k].basename + ")";
            } else {
                const ptype0& ph = pure[k - run.nss];
                line += ph.name;
                const bool isbuffer =
                    run.ax.bufferindex > 0 && run.ax.buffers[run.ax.bufferindex] == ph.name;
                if (isbuffer) {
                    const real d = sc.bufferdel;
                    if (d == 0) {
                        line += "(buffer)";
                    } else {
                        const bool whole = std::fabs(d - std::round(d)) <= 0.0001L;
                        line +=
                            "(buffer \xC6=" + (whole ? realstr(d) : realfixstr(1, false, d)) + ")";
                    }
                }
            }
        }
        putstr(ses, 1, line + " ", 1, screenlogmask);
    }

    auto words = std::make_unique<strings>();
    int16 nwords = 0;
    if (sc.someofon) {
        putstr(ses, 0,
               "there is a change of functionality with " + dq + "with someof" + dq +
                   ". Hitting return ",
               1, screenlogmask);
        putstr(ses, 0,
               "gives all the phases in the " + dq + "with someof" + dq + "; " + dq +
                   "omit phase1 [phase2 ...] ",
               1, screenlogmask);
        putstr(ses, 0,
               "omits these phase(s). (" + dq + "-" + dq + ", " + dq + "+" + dq + " and " + dq +
                   "=" + dq + " are no longer implemented)",
               1, screenlogmask);
        promptstrings(ses, "choose phases", *words, nwords);
    } else {
        for (int k = 1; k <= nph; ++k) {
            if (chosen[k]) (*words)[++nwords] = phasename(run, k);
        }
    }
    // An empty answer keeps the phases of the "with" list (all phases without one); "omit ..."
    // removes phases from that list.
    bemvector omit{};
    for (int k = 1; k <= nph; ++k) omit[k] = !chosen[k];
    if (nwords > 0) {
        const bool omitting = (*words)[1] == "omit";
        for (int k = 1; k <= nph; ++k) omit[k] = omitting ? !chosen[k] : true;
        for (int i = omitting ? 2 : 1; i <= nwords; ++i) {
            const int16 k = findphase(run, (*words)[i]);
            if (k == 0) {
                bomb("whichphases",
                     (*words)[i] + (omitting ? " not recognised 1" : " not recognised 2"),
                     yourfault);
            }
            omit[k] = omitting;
        }
    }
    // A fluid phase left out takes the pure fluids with it; pure H2O displaces pure CO2.
    const auto purepos = [&](const std::string& name) -> int {
        for (int k = 1; k <= run.npure; ++k) {
            if (pure[k].name == name) return run.nss + k;
        }
        return 0;
    };
    for (int k = 1; k <= run.nss; ++k) {
        if (ss[k].isfluid && omit[k]) {
            if (purepos("CO2") > 0) omit[purepos("CO2")] = true;
            if (purepos("H2O") > 0) omit[purepos("H2O")] = true;
        }
    }
    if (purepos("H2O") > 0 && !omit[purepos("H2O")] && purepos("CO2") > 0) {
        omit[purepos("CO2")] = true;
    }
    makename(run, omit);

    const ftype t = runfluidtype(run);
    run.runftype = t;
    const char* text = nullptr;
    switch (t) {
        case ftype::h2o: text = "fluid is just H2O"; break;
        case ftype::co2: text = "fluid is just CO2"; break;
        case ftype::h2oco2: text = "fluid is H2O-CO2"; break;
        case ftype::chos: text = "fluid is in CHOS"; break;
        case ftype::h2oaq: text = "fluid is H2O-aqueous"; break;
        case ftype::h2oco2aq: text = "fluid is H2O-CO2-aqueous"; break;
        case ftype::absent: break;
        default: bomb("fluidtype", "fluid cannot be handled", yourfault);
    }
    if (text != nullptr) putstr(ses, 0, text, 1, screensummarylogmask);
    if (run.dataset.nem > maxem)
        bomb("whichphases", "too many end-members" + maxtext(maxem), yourfault);
}

void readinexcess(Session& ses, Run& run) {
    ExcessPhases& x = run.excess;
    ScriptSettings& sc = run.script;
    x = ExcessPhases{};
    const int nph = run.nss + run.npure;
    if (nph < 2) return;
    promptcontrol(ses, "use in excess phases specified in scriptfile", sc.inexcesscb);
    auto words = std::make_unique<strings>();
    int16 n = 0;
    if (yes(sc.inexcesscb)) {
        for (int i = 1; i <= sc.ninexcess; ++i) (*words)[++n] = sc.inexcesslist[i];
        if (n == 0 && sc.nmc <= 0) {
            putstr(ses, 0, "no phases in excess (from script)", 1, screensummarylogmask);
        }
    } else {
        std::string line;
        for (int k = 1; k <= nph; ++k) line += phasename(run, k) + "  ";
        putstr(ses, 0, line, 1, screenlogmask);
        promptstrings(ses, "in excess: names", *words, n);
    }
    const int nfirst = n;
    if (yes(sc.inexcess0cb)) {
        for (int i = 1; i <= sc.ninexcess0; ++i) (*words)[++n] = sc.inexcess0list[i];
    }
    for (int i = 1; i <= n; ++i) {
        const int16 k = findphase(run, (*words)[i]);
        if (k == 0 || k > maxrunphases) continue;
        x.excessflag[k] = true;
        if (i > nfirst) x.zeroexcessflag[k] = true;
    }
    for (int k = 1; k <= std::min(nph, maxrunphases); ++k) {
        if (x.excessflag[k]) ++x.nexcess;
        if (x.zeroexcessflag[k]) ++x.nzeroexcess;
    }
    x.isophaseflag = x.excessflag;
    x.nisophases = x.nexcess;
    if (x.nexcess > 0) {
        std::string line = "in excess:";
        for (int i = 1; i <= x.nexcess && i <= nfirst; ++i) line += " " + (*words)[i];
        putstr(ses, 0, line, 1, screenlogmask);
    }
    bool fluidzero = false;
    for (int k = 1; k <= std::min(nph, maxrunphases); ++k) {
        const std::string nm = phasename(run, k);
        fluidzero = fluidzero || (x.zeroexcessflag[k] && (nm == "H2O" || nm == "CO2"));
    }
    if (!fluidzero) {
        for (int k = 1; k <= std::min(nph, maxrunphases); ++k) {
            const std::string nm = phasename(run, k);
            if (x.excessflag[k] && (nm == "H2O" || nm == "CO2")) {
                x.zeroexcessflag[k] = true;
                ++x.nzeroexcess;
                break;
            }
        }
    }
}

void listguesses(Session& ses, Run& run) {
    const prectype1& ss = *run.arrays.prec1;
    bool anycoding = false;
    for (int k = 1; k <= run.nss; ++k) anycoding = anycoding || ss[k].coding != 2;
    if (!anycoding) return;
    putstr(ses, 1, "specification of xyz starting guesses of phases", 1, screenlogmask);
    std::string in;
    std::string out;
    for (int k = 1; k <= run.nss; ++k) {
        const bool given = ss[k].hasguesses || ss[k].coding == 2;
        (given ? in : out) += " " + ss[k].name;
    }
    putstr(ses, 0,
           "in the scriptfile:" + (in.empty() ? std::string("none") : in) +
               "; not in the scriptfile:" + (out.empty() ? std::string(" none") : out),
           1, screenlogmask);
}

void guessadvice(Session& ses, Run& run) {
    const prectype1& ss = *run.arrays.prec1;
    bool anycoding = false;
    bool anyguess = false;
    for (int k = 1; k <= run.nss; ++k) {
        anycoding = anycoding || ss[k].coding != 2;
        anyguess = anyguess || ss[k].hasguesses || ss[k].coding == 2;
    }
    if (!anycoding || anyguess) return;
    eestrtype para;
    para[1] =
        "your calculation relied just on starting guesses provided in the axfile for the phases. "
        "These may well ";
    para[2] =
        "not be optimum for what you want to do - good starting guesses may be critical for "
        "success. Starting guesses in ";
    para[3] =
        "script-form can be found in the logfile for equilibria that have calculated "
        "successfully. Copy the \"xyzguess\" ";
    para[4] = "block from the logfile and paste into your scriptfile.";
    formattext(ses, para);
}

int16 calcvariance(Run& run) {
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    const int ncomp = run.dataset.components.ncomp;
    auto a = std::make_unique<liemmatrix>();
    int n = 0;
    auto column = [&](const icvector& comp) {
        ++n;
        for (int r = 1; r <= ncomp; ++r) (*a)[r][n] = comp[r];
    };
    for (int k = 1; k <= run.nss; ++k) {
        for (int j = 1; j <= ss[k].nem; ++j) column(ss[k].em[j].comp);
    }
    for (int k = 1; k <= run.npure; ++k) column(pure[k].comp);
    const int rank = integerechelon(*a, narrow16(ncomp), narrow16(n));
    return narrow16(rank + 2 - (run.nss + run.npure) - run.script.nmu);
}

std::string writevariance(int16 v) {
    switch (v) {
        case 0: return "invariant";
        case 1: return "univariant";
        case 2: return "divariant";
        case 3: return "trivariant";
        case 4: return "quadrivariant";
        default: return realstr(v) + "-variant";
    }
}

void varcalc(Session& ses, Run& run, int16 maxvariance, bool xco2varon, bool& pseudoon,
             int16 nisopleths, int16 nmodeisopleths, int16 nxyzisopleths) {
    // A pseudosection asked for that cannot be one says why: its bulk goes unused.
    std::string why;
    if (xco2varon && maxvariance < 2) {
        why = "x(CO2) with " + writevariance(maxvariance) + " phases";
    } else if (maxvariance == 2 && nisopleths == 0) {
        why = "divariant phases, no isopleth";
    }
    const bool dropped = pseudoon && !why.empty();
    if (!why.empty()) pseudoon = false;
    run.variance = pseudoon ? narrow16(2 + (xco2varon ? 1 : 0) - nisopleths)
                            : narrow16(maxvariance - nisopleths);
    std::string line = "original variance = " + realstr(maxvariance) +
                       ", effective variance = " + realstr(run.variance) + "  (" +
                       realstr(nmodeisopleths) + ", " + realstr(nxyzisopleths) +
                       (xco2varon ? ", ex" : "") + ")";
    putstr(ses, nisopleths > 0 ? 1 : 0, line, 1, screenlogmask);
    if (dropped)
        putstr(ses, 0, "not a pseudosection (" + why + "): the bulk is not used", 1, screenlogmask);
    if (run.variance < 0) bomb("varcalc", "variance < 0", yourfault);
    if (run.variance > 2) bomb("varcalc", "variance > 2", yourfault);
}

void setptwindows(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    Windows& w = run.windows;
    const int k = yes(sc.batchcb) ? 0 : run.variance;
    // The variable the solver calculates along a line: T at given P in a window of invariant
    // points and with "calcTatP", P at given T otherwise; grids of P and T keep the last choice.
    auto calculate = [&w](calcvariabletype calc) {
        w.calcvariable = calc;
        w.othervariable = calc == calcvariabletype::calctemperature
                              ? othervariabletype::fixedpressure
                              : othervariabletype::fixedtemperature;
    };
    if (k == 0) {
        w.ptcalcsmode = 0;
        calculate(calcvariabletype::calctemperature);
        specifyptcalcs(ses, sc, w, 0, "PT window within which invariant points expected to lie",
                       "P window within which invariant points expected to lie",
                       "T window within which invariant points expected to lie");
    } else if (k == 1) {
        promptcontrol(ses, "calculate T at P (rather than P at T)", sc.calctatpcb);
        if (yes(sc.calctatpcb)) {
            w.ptcalcsmode = 1;
            calculate(calcvariabletype::calctemperature);
            specifyptcalcs(ses, sc, w, 1, "", "P at which T of reactions to be calculated",
                           "T window within which reactions expected to lie");
        } else {
            w.ptcalcsmode = 2;
            calculate(calcvariabletype::calcpressure);
            specifyptcalcs(ses, sc, w, 2, "", "P window within which reactions expected to lie",
                           "T at which P of reactions to be calculated");
        }
    } else {
        w.ptcalcsmode = 3;
        specifyptcalcs(ses, sc, w, 3, "", "P at which equilibria to be calculated",
                       "T at which equilibria to be calculated");
    }
    w.tcur = 0.5L * (w.twinlow + w.twinhigh);
    w.pcur = 0.5L * (w.pwinlow + w.pwinhigh);
    // A "ptguess" (as a run's log writes it for the next run) starts the calculation at its P
    // and T, each taken when it lies within its window.
    if (yes(sc.ptguesscb)) {
        if (sc.ptguesst >= w.twinlow && sc.ptguesst <= w.twinhigh) w.tcur = sc.ptguesst;
        if (sc.ptguessp >= w.pwinlow && sc.ptguessp <= w.pwinhigh) w.pcur = sc.ptguessp;
    }
    // The P and T scaling of the solver is set with the calculation procedure.
    w.npvalues = 1;
    w.ntvalues = 1;
    w.pvalues[1] = w.pcur;
    w.tvalues[1] = w.tcur;
    w.nlnavalues.fill(0);
    w.nmuvalues.fill(0);
    if (k == 1 || k < 0) {
        if (w.ptcalcsmode == 2) {
            readtinterval(ses, w, w.ptcalcsmode);
        } else {
            readpinterval(ses, w, w.ptcalcsmode);
        }
    } else if (k >= 2) {
        readpinterval(ses, w, w.ptcalcsmode);
        readtinterval(ses, w, w.ptcalcsmode);
    }
    w.pformat = 3;
    w.tformat = 2;
    w.xformat = 4;
}

void setactivityuncertainty(Session& ses, Run& run) {
    Dataset& ds = run.dataset;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    int i = 0;
    for (int k = 1; k <= run.nss; ++k) {
        for (int j = 1; j <= ss[k].nem; ++j) {
            ++i;
            ds.emact[i] = 1;
            ds.emsda[i] = 0;
        }
    }
    const int nsolem = i;
    bool nonunit = false;
    for (int k = 1; k <= run.npure; ++k) {
        ++i;
        ds.emact[i] = pure[k].activity;
        ds.emsda[i] = pure[k].activitysd;
        nonunit = nonunit || pure[k].activity < 0.99999L;
    }
    if (!nonunit) return;
    promptcontrol(ses, "standard default uncertainties on activities", run.script.defsdaparamscb);
    resetuncertainty(ses, run, yes(run.script.defsdaparamscb));
    setdefaultsda(run);
    putstr(ses, 0, "non-unit activities :", 1, screensummarylogmask);
    std::string line;
    addstr("name", 9, line);
    addstr("a", 9, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    for (int k = 1; k <= run.npure; ++k) {
        if (!(pure[k].activity < 0.99999L)) continue;
        line.clear();
        addstr(pure[k].name, 9, line);
        addreal(3, true, 9, line, ds.emact[nsolem + k]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
