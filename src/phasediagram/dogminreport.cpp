// The report of a Gibbs energy minimisation run after its enumeration: the winning assemblage
// of each point with its margin, the near-minimum list of a one-point run with the detailed
// report of the winner, and its "rbi"/"bulk" and "ptguess"/"xyzguess" blocks for the next run.

#include <cmath>
#include <string>

#include "phasediagram/bulk.hpp"
#include "phasediagram/dogmin.hpp"
#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "phasediagram/runchoices.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// The rule around the script-form blocks of a minimisation.
const std::string blockrule = "% " + std::string(56, '-');
const std::string degree = "\xA1";  // the degree sign of the program's character set

std::string runphasename(const Run& run, int k) {
    return k <= run.nss ? (*run.arrays.prec1)[k].name : (*run.arrays.prec0)[k - run.nss].name;
}

bool inexcess(const Run& run, int k) {
    return run.excess.excessflag[k];
}

int nrunphases(const Run& run) {
    return run.nss + run.npure;
}

// " name" for each phase in excess (solution phases, then pure phases), with `sep` after each.
std::string excessnames(const Run& run, const std::string& sep) {
    std::string s;
    for (int k = 1; k <= nrunphases(run); ++k) {
        if (inexcess(run, k)) s += " " + runphasename(run, k) + sep;
    }
    return s;
}

std::string variancetext(int16 v) {
    switch (v) {
        case 2: return "divariant";
        case 3: return "trivariant";
        case 4: return "quadrivariant";
        default: return realstr(v) + "-variant";
    }
}

// The note under a table that shows an assemblage of pure phases (marked "pure").
const char* const purenote =
    "pure: an assemblage of pure phases only, its modes from the mass balance";

std::string pointtext(const Run& run, const DogminPoint& r) {
    std::string s = "at P = " + realfixstr(2, true, r.p) +
                    " kbar and T = " + realfixstr(1, true, r.t - 273.15L) + degree + "C";
    if (run.excess.nexcess > 0) s += ", with, in excess," + excessnames(run, "");
    return s;
}

// A state of the calculation holding the best result, as the detailed report reads it.
std::unique_ptr<SolveState> beststate(const DogminTables& dm) {
    auto st = std::make_unique<SolveState>();
    st->cur = *dm.bestresult;
    st->xref.calcphaselist = std::make_unique<CalcPhaseList>();
    for (int i = 1; i <= dm.bestresult->nphases; ++i)
        (*st->xref.calcphaselist)[i] = (*dm.bestphases)[i];
    st->xref.ncalcphases = dm.bestresult->nphases;
    return st;
}

// The winning assemblage of a one-point minimisation: its variables and modes.
void printwinner(Session& ses, Run& run, const Result& cur) {
    std::string line =
        "Gibbs energy minimisation gives the " + variancetext(cur.variance) + " assemblage ";
    for (int i = 1; i <= cur.nphases; ++i) line += cur.ph[i].name + " ";
    putstr(ses, 0, line, 1, screensummarylogmask);
    line = run.excess.nexcess == 0 ? "with no in excess phases, "
                                   : "with, in excess," + excessnames(run, ", ");
    putstr(ses, 0, line, 0, screensummarylogmask);
}

void printvariables(Session& ses, const DogminTables& dm, int16 pagewidth) {
    const Result& cur = *dm.bestresult;
    std::string head;
    std::string vals;
    addstr("P(kbar)", 10, head);
    addstr("T(" + degree + "C)", 10, head);
    addreal(4, true, 10, vals, cur.p);
    addreal(3, true, 10, vals, cur.t - 273.15L);
    int count = 2;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        if (!ph.solution) continue;
        for (int v = 1; v < ph.nem; ++v) {
            ++count;
            if ((count + 1) * 10 > pagewidth) {
                putstr(ses, 0, head, 1, screensummarylogmask);
                putstr(ses, 0, vals, 1, screensummarylogmask);
                count = 2;
                head = std::string(20, ' ');
                vals = std::string(20, ' ');
            }
            addstr((*dm.bestphases)[i].varnames[v], 10, head);
            addreal(4, true, 10, vals, ph.x[v]);
        }
    }
    putstr(ses, 0, head, 1, screensummarylogmask);
    putstr(ses, 0, vals, count > 2 ? 2 : 1, screensummarylogmask);
}

void printmodesline(Session& ses, const Run& run, const Result& cur) {
    std::string head;
    std::string vals = "    ";
    addstr("mode", 4, head);
    for (int i = 1; i <= cur.nphases; ++i) {
        addstr(cur.ph[i].name, 10, head);
        addreal(4, true, 10, vals, cur.ph[i].hasmode ? cur.ph[i].mode[1] : 0);
    }
    putstr(ses, 0, head, 1, screensummarylogmask);
    putstr(ses, 0, vals, 1, screensummarylogmask);
    Fixed1<bool, maxresultphases> zeroed;
    const real factor = modenormfactor(run, cur, 1, zeroed);
    if (std::fabs(factor - 1) <= 1e-8L) return;
    vals = "    ";
    for (int i = 1; i <= cur.nphases; ++i) {
        const real m = cur.ph[i].hasmode ? cur.ph[i].mode[1] : 0;
        if (m == 0 || zeroed[i]) {
            addstr("", 10, vals);
        } else {
            addreal(4, true, 10, vals, m * factor);
        }
    }
    vals += run.script.ninexcess0 <= 1 ? "  mode zeroed" : "  modes zeroed";
    putstr(ses, 0, vals, 1, screensummarylogmask);
}

// The table of the best assemblage at each point.
void printpointtable(Session& ses, const Run& run, const DogminTables& dm) {
    const bool several = dm.npoints > 1;
    std::string line;
    if (several) {
        addstr("P(kbar)", 8, line);
        addstr("T(" + degree + "C)", 10, line);
    }
    for (int k = 1; k <= nrunphases(run); ++k) {
        if (!inexcess(run, k)) addstr(runphasename(run, k), 7, line);
    }
    addstr("G", 13, line);
    addstr("del", 10, line);
    addstr("n", 6, line);
    addstr("#", 6, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    bool anypure = false;
    for (int i = 1; i <= dm.npoints; ++i) {
        const DogminPoint& r = dm.point[i];
        line.clear();
        if (several) {
            writepwin(run.windows, 8, line, r.p);
            addreal(3, true, 10, line, r.t - 273.15L);
        }
        if (r.found) {
            for (int k = 1; k <= nrunphases(run); ++k) {
                if (!inexcess(run, k)) addstr(r.phases[k] ? "X" : ".", 7, line);
            }
            addreal(5, true, 13, line, r.least);
            if (r.margin < 0) {
                addstr("*wrong", 10, line);
            } else if (r.margin <= 99.0L) {
                addreal(5, true, 10, line, r.margin);
            } else {
                addstr("-", 10, line);
            }
            addgreal(6, line, r.count);
            if (r.pure) {
                addstr("pure", 6, line);
            } else {
                addgreal(6, line, r.best);
            }
        } else {
            line += "  no candidate converged";
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
        anypure = anypure || (r.found && r.pure);
    }
    // (a single point's winner says so where it is named)
    if (anypure && several) putstr(ses, 0, purenote, 1, screensummarylogmask);
    putstr(ses, 0, "", 1, screensummarylogmask);
}

// The equilibria of a one-point minimisation whose G lies within 2 kJ of the least, in order
// of rising G, with their modes.
void printnearminimum(Session& ses, const Run& run, const DogminTables& dm) {
    if (dm.nequillist < 1 || dm.nequillist >= maxequillist) return;
    const int nex = run.excess.nexcess;
    putstr(ses, 0,
           "assemblage modes for minimum G, and near minimum G, " + pointtext(run, dm.point[1]), 2,
           screensummarylogmask);
    std::string line;
    addstr("#", 5, line);
    for (int k = 1; k <= nrunphases(run); ++k) {
        if (!inexcess(run, k)) addstr(runphasename(run, k), 8, line);
    }
    if (nex > 0) {
        line += "  :";
        for (int k = 1; k <= nrunphases(run); ++k) {
            if (inexcess(run, k)) addstr(runphasename(run, k), 8, line);
        }
    }
    addstr("G", 13, line);
    addstr("odel", 10, line);
    addstr("del", 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    const auto& list = *dm.equillist;
    Fixed1<bool, maxequillist> shown{};
    real g0 = 0;
    real gprev = 0;
    bool anypure = false;
    for (int row = 1; row <= 20; ++row) {
        int pick = 0;
        for (int i = 1; i <= dm.nequillist; ++i) {
            if (shown[i] || list[i].g >= 10000.0L) continue;
            if (pick == 0 || list[i].g < list[pick].g) pick = i;
        }
        if (pick == 0) break;
        const EquilEntry& e = list[pick];
        if (row > 1 && std::fabs(g0 - e.g) > 2.0L) break;
        shown[pick] = true;
        line.clear();
        if (e.number == 0) {
            addstr("pure", 5, line);
            anypure = true;
        } else {
            addgreal(5, line, e.number);
        }
        std::string excessline;
        int slot = 0;
        for (int k = 1; k <= nrunphases(run); ++k) {
            if (e.phases[k]) {
                const real m = e.modes[++slot];
                std::string field;
                if (m >= 0) addreal(3, true, 8, field, m);
                if (field.empty()) field = std::string(8, ' ');
                if (inexcess(run, k)) {
                    excessline += field;
                } else {
                    line += field;
                }
            } else if (!inexcess(run, k)) {
                addstr("- ", 8, line);
            }
        }
        if (nex > 0) line += "  :" + excessline;
        addreal(5, true, 13, line, e.g);
        if (row == 1) {
            g0 = e.g;
            addstr("-", 10, line);
            addstr("-", 10, line);
        } else {
            addreal(5, true, 10, line, e.g - g0);
            addreal(5, true, 10, line, e.g - gprev);
        }
        gprev = e.g;
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    if (anypure) putstr(ses, 0, purenote, 1, screensummarylogmask);
}

// The detailed report of a winner with no solution phase: each phase's mode, its factor to
// formula units per unit of bulk and its G, and the G of the system.
void printpureic(Session& ses, const Result& cur) {
    const int d = 5;
    const int w = d + 4;
    putstr(ses, 1, std::string(59, '='), 0, icmask);
    std::string line;
    for (int i = 1; i <= cur.nphases; ++i) line += cur.ph[i].name + " ";
    line += " {" + realfixstr(4, true, cur.p) + ", " + realfixstr(3, true, cur.t - 273.15L) +
            "}  kbar/C";
    putstr(ses, 1, line, 1, icmask);
    putstr(ses, 0,
           "var = " + realstr(cur.variance) +
               "; no solution phase: modes from the mass balance of the bulk",
           2, icmask);
    line = std::string(12, ' ');
    addstr("mode", w, line);
    addstr("f", w, line);
    addstr("G", d + 8, line);
    putstr(ses, 0, line, 1, icmask);
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        line.clear();
        addstr(ph.name, -12, line);
        addreal(d, true, w, line, ph.mode[1]);
        addreal(d, true, w, line, ph.stepfactor[1]);
        addreal(d, true, d + 8, line, ph.props.g);
        putstr(ses, 0, line, 1, icmask);
    }
    line.clear();
    addstr("sys", -6, line);
    addstr("", 6 + 2 * w, line);
    addreal(d, true, d + 8, line, cur.sys.g[1]);
    putstr(ses, 0, line, 1, icmask);
}

}  // namespace

void printdogmin(Session& ses, Run& run, PdRun& pd) {
    const ScriptSettings& sc = run.script;
    if (!pd.dm) return;
    const DogminTables& dm = *pd.dm;
    const bool onepoint = dm.npoints == 1;
    const bool found = onepoint && dm.point[1].found;
    // Points where no candidate gave a usable result are named on the progress line.
    for (int i = 1; i <= dm.npoints; ++i) {
        const DogminPoint& r = dm.point[i];
        if (r.found) continue;
        putstr(ses, 1,
               "no candidate assemblage converged with usable modes at P = " +
                   realfixstr(2, true, r.p) + " kbar, T = " + realfixstr(1, true, r.t - 273.15L) +
                   degree + "C",
               0, screenlogmask);
    }
    putstr(ses, 1, std::string(58, '#'), 1, screensummarylogmask);
    if (onepoint) {
        putstr(ses, 0, "'---' = calculated but not seen", 1, icmask);
        putstr(ses, 1, std::string(59, '-'), 1, icmask);
        putstr(ses, 0, run.ax.runheader[1], 1, icmask);
        putstr(ses, 0, run.ax.runheader[2], 0, icmask);
        putstr(ses, 2, run.ax.runheader[3], 1, icmask);
        if (found) {
            const Result& cur = *dm.bestresult;
            printwinner(ses, run, cur);
            bool all = true;
            std::string others;
            for (int k = 1; k <= nrunphases(run); ++k) {
                if (!dm.point[1].phases[k]) {
                    all = false;
                    others += " " + runphasename(run, k);
                }
            }
            const bool pure = dm.point[1].pure;
            putstr(ses, 0,
                   all ? "and with no additional phases tried"
                       : "also trying assemblages involving" + others,
                   pure ? 1 : 2, screensummarylogmask);
            if (pure) {
                putstr(ses, 0,
                       "no solution phase in the assemblage of least G: modes from mass balance", 2,
                       screensummarylogmask);
            }
            printvariables(ses, dm, ses.ch.pagewidth);
            printmodesline(ses, run, cur);
        } else {
            putstr(ses, 0,
                   "Gibbs energy minimisation found no assemblage: no candidate converged with "
                   "usable modes",
                   2, screensummarylogmask);
        }
    } else {
        std::string line = "Gibbs energy minimisation with ";
        for (int k = 1; k <= nrunphases(run); ++k) {
            if (!inexcess(run, k)) line += " " + runphasename(run, k);
        }
        if (run.excess.nexcess > 0) line += ", with, in excess," + excessnames(run, "");
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    if (sc.dogminlevel > 0) {
        if (onepoint) {
            putstr(ses, 1, "Gibbs energy minimisation info " + pointtext(run, dm.point[1]), 2,
                   screensummarylogmask);
        } else {
            putstr(ses, 0, "", 1, screensummarylogmask);
        }
        printpointtable(ses, run, dm);
        printnearminimum(ses, run, dm);
    }
    if (onepoint) {
        if (found) {
            if (dm.point[1].pure) {
                printpureic(ses, *dm.bestresult);
            } else {
                auto st = beststate(dm);
                printic(ses, run, pd, *st);
            }
            printbulkscript(ses, run, pd);
            printguessscript(ses, run, pd);
        }
    } else {
        eestrtype note;
        note[1] =
            "note that dogmin for a single PT gives more and more easily-digestible information "
            "about the possible ";
        note[2] = "equilibria for the bulk used.";
        formattext(ses, note);
    }
    const prectype1& ss = *run.arrays.prec1;
    bool unguessed = false;
    for (int k = 1; k <= run.nss; ++k) {
        if (!ss[k].hasguesses && ss[k].coding != 2) unguessed = true;
    }
    if (unguessed) {
        eestrtype note;
        note[1] =
            "starting guesses (using the xyzguess script) are not provided for all the phases in "
            "the dogmin calculation. ";
        note[2] =
            "This is potentially dangerous: careful organisation of starting guesses is "
            "essential. ";
        note[3] =
            "Use the xyzguess blocks in the logfile from this or previous runs of dogmin. "
            "Several runs may be needed to ";
        note[4] = "get effective starting guesses for all phases.";
        formattext(ses, note);
    }
}

void printbulkscript(Session& ses, Run& /*run*/, PdRun& pd) {
    if (!pd.dm) return;
    const Result& cur = *pd.dm->bestresult;
    const std::string& rule = blockrule;
    putstr(ses, 1, rule, 1, logmask);
    bool hasO = false;
    for (int c = 1; c <= cur.ncomp; ++c) hasO = hasO || cur.compnames[c] == "O";
    std::string line = "rbi" + std::string(20, ' ');
    for (int c = 1; c <= cur.ncomp; ++c) {
        addstr(hasO && cur.compnames[c] == "FeO" ? "FeOt" : cur.compnames[c], 12, line);
    }
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        line = "rbi";
        addstr(ph.name, 8, line);
        addreal(6, true, 12, line, ph.hasmode ? ph.mode[1] : 0);
        for (int c = 1; c <= cur.ncomp; ++c) {
            const real x = ph.comp[c];
            if (std::fabs(x - std::round(x)) >= 1e-5L) {
                addreal(6, true, 12, line, x);
            } else {
                addgreal(12, line, x);
            }
        }
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, rule, 1, logmask);
    line = "% bulk                 ";
    const cvector bulk = bulkat(pd.bulk, 0);
    for (int c = 1; c <= pd.bulk.nuvleft; ++c) addreal(4, true, 12, line, 100 * bulk[c]);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
}

void printguessscript(Session& ses, Run& run, PdRun& pd) {
    if (!pd.dm) return;
    const Result& cur = *pd.dm->bestresult;
    const prectype1& ss = *run.arrays.prec1;
    putstr(ses, 1, blockrule, 1, logmask);
    putstr(ses, 0, "ptguess " + realfixstr(1, true, cur.p) + " " + realstr(cur.t - 273.15L), 1,
           logmask);
    putstr(ses, 0, blockrule, 1, logmask);
    int nwithvars = 0;
    for (int i = 1; i <= cur.nphases; ++i) {
        if (cur.ph[i].solution && cur.ph[i].nem > 1) ++nwithvars;
    }
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& res = cur.ph[i];
        if (!res.solution || res.nem < 2) continue;
        const ptype1& ph = ss[res.table];
        const bool inset = ph.nvarset > 0;
        const int nentries = inset ? ph.nvarset : ph.nvar;
        int kept = 0;
        for (int v = 1; v <= nentries; ++v) {
            std::string line = "xyzguess ";
            addstr(inset ? ph.varsetname[v] : ph.var[v].name, -10, line);
            if (inset && !ph.varnonzero[v]) {
                addstr("0", 12, line);
                line += "  % boiler";
            } else {
                const xvartype& x = ph.var[++kept];
                addreal(6, true, 12, line, res.x[kept]);
                if (x.lower != 0 || x.upper != 1) {
                    line += "  range";
                    if (x.lower == 0) {
                        line += "  0.000";
                    } else {
                        addreal(3, true, 7, line, x.lower);
                    }
                    addreal(3, true, 6, line, x.upper);
                }
            }
            putstr(ses, 0, line, 1, logmask);
        }
        if (i < nwithvars) putstr(ses, 0, rule31(), 1, logmask);
    }
    putstr(ses, 0, blockrule, 1, logmask);
}

}  // namespace qv
