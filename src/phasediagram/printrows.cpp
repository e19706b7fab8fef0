// Output that lets a user draw the calculated diagram: the step banner with the phases of the
// candidate, the entry header and data rows on the drawing-program channel, the chemical
// potentials of the components, and the rows of the two csv files.

#include <string>

#include "base/fatal.hpp"
#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// Name of phase i of the run: solution phases 1..nss, then the pure phases.
std::string runphasename(const Run& run, int i) {
    if (i <= run.nss) return (*run.arrays.prec1)[i].name;
    return (*run.arrays.prec0)[i - run.nss].name;
}

// The run's phase number of mode variable j.
int modevarrunphase(const Run& run, const CrossRefs& xref, int j) {
    return j <= xref.nssmodes ? xref.modephase[j] : run.nss + xref.modephase[j];
}

// The name of an in-excess phase in the banner's bracket: a chemical-potential pseudo-phase by
// its variable, an activity variable's phase by its activity, the fluid as "fluid" (empty when
// it is not to be named).
std::string excessname(const Run& run, int i, bool& fluidnamed) {
    if (i <= run.nss) return runphasename(run, i);
    const int j = i - run.nss;
    const int firstmu = run.npure - run.script.nmu;
    if (j > firstmu) return "mu(" + run.script.mu[j - firstmu].name + ")";
    std::string name = runphasename(run, i);
    if (name == "H2O" || name == "CO2") {
        if (fluidnamed || run.runftype == ftype::absent) return "";
        fluidnamed = true;
        return "fluid";
    }
    if (run.script.nlna > 0 && sameword(name, run.script.lna[1].name)) {
        return "a(" + run.script.lna[1].name + ")";
    }
    return name;
}

// The letter of a drawing-program entry by its kind: invariant point, univariant line,
// divariant field, trivariant; "<name>" for anything else.
std::string entryname(const Run& run, const PdRun& pd, const SolveState& st) {
    const int xpos = st.xref.xco2pos;
    const int v = pd.variance;
    char kind = 'n';
    if (pd.xco2varon) {
        if (xpos > 0 && st.xref.xco2fixed) {
            kind = 'u';
        } else if (xpos > 0) {
            kind = v == 1 ? 'i' : v == 2 ? 'u' : 'n';
        }
    } else if (xpos == 0) {
        if (v == 0) kind = 'i';
        if (v == 1) kind = 'u';
        if (v == 2 && pd.maxvariance == 2) kind = 'd';
        if (v == 2 && pd.maxvariance == 3) kind = 't';
    } else {
        kind = st.xref.xco2fixed ? 'u' : v == 1 ? 'i' : 'u';
    }
    (void)run;
    return kind == 'n' ? "<name>   " : std::string(1, kind) + "<k>   ";
}

}  // namespace

void printstep(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const int32 set = resulttableset(run, pd);
    const bool batch = yes(sc.batchcb);
    if (!st.fracton) {
        if (batch) {
            putstr(ses, 0,
                   "<== " + realstr(st.stepno) + " ==============================================>",
                   1, set);
        } else {
            putstr(ses, 0, "<" + std::string(58, '=') + ">", 1, set);
        }
    } else if (st.stepno == 1) {
        putstr(ses, 0,
               "<== step " + realstr(st.stepno) + " =======================================>", 1,
               set);
        std::string line = std::string(5, ' ');
        for (int c = 1; c <= st.cur.nbulkcomp; ++c) addstr(st.cur.compnames[c], 10, line);
        putstr(ses, 1, line, 1, logmask);
        line = "bulk ";
        for (int c = 1; c <= st.cur.nbulkcomp; ++c) addreal(5, true, 10, line, st.cur.bulk[1][c]);
        line += "    step start";
        putstr(ses, 0, line, 1, logmask);
        putstr(ses, 1, "<--1----------------------------------------------->", 1, set);
    } else {
        putstr(ses, 0,
               "<--" + realstr(st.stepno) + "----------------------------------------------->", 1,
               set);
    }

    const int nphases = run.nss + run.npure;
    const ExcessPhases& ex = run.excess;
    std::string line = "phases: ";
    bool listed = false;
    for (int i = 1; i <= nphases; ++i) {
        if (!st.equilphases[i] || ex.excessflag[i]) continue;
        if (listed) line += " ";
        line += runphasename(run, i);
        listed = true;
    }
    if (ex.nexcess > 0) {
        line += listed ? " (" : " - (";
        bool firstitem = true;
        bool fluidnamed = false;
        for (int i = 1; i <= nphases; ++i) {
            if (!st.equilphases[i] || !ex.excessflag[i]) continue;
            const std::string name = excessname(run, i, fluidnamed);
            if (name.empty()) continue;
            if (!firstitem) line += ", ";
            line += name;
            firstitem = false;
        }
        line += ") ";
    } else {
        line += "  ";
    }
    if (!batch) {
        std::string others;
        for (int i = 1; i <= nphases; ++i) {
            if (st.equilphases[i] || ex.excessflag[i]) continue;
            if (!others.empty()) others += ",";
            others += runphasename(run, i);
        }
        if (!others.empty()) line += "or [" + others + "] ";
    }
    if (sc.dogminon) {
        line += " #" + realstr(pd.equilno + (sc.dogminlevel == 2 ? 1 : 0));
    }
    putstr(ses, 0, line, 1, set);
    if (pd.rankdeficit > 0 && sc.debuglev > 1) {
        putstr(ses, 0, "composition matrix is rank deficient", 1, set);
    }
    if (!sc.dogminon && sc.debuglev > 0) printvxlines(ses, run, pd, st);
}

void printvxlines(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const int16 nx = run.nxvars;
    if (yes(sc.vexlatcb)) {
        putstr(ses, 1, "% " + std::string(30, '-'), 1, vxmask);
        std::string line = entryname(run, pd, st);
        bool coloured = false;
        Fixed1<int16, 3> rgb{};
        if (!pd.modesinsolve) {
            for (int i = 1; i <= run.nss + run.npure; ++i) {
                if (st.equilphases[i]) line += runphasename(run, i) + " ";
            }
        } else {
            // The phases of the given modes (held at zero) follow a dash; a phase with a colour
            // in the a-x file gives the line its colour.
            auto colour = [&](int i) {
                const bool has = i <= run.nss ? (*run.arrays.prec1)[i].coloured
                                              : (*run.arrays.prec0)[i - run.nss].coloured;
                coloured = has;
                if (has) {
                    rgb = i <= run.nss ? (*run.arrays.prec1)[i].rgb
                                       : (*run.arrays.prec0)[i - run.nss].rgb;
                }
            };
            // (the header comes before the first point is solved: which modes are calculated
            // is the layout's)
            for (int j = 1; j <= run.nmodevars; ++j) {
                if (!st.xref.xfree[nx + j]) continue;
                const int i = modevarrunphase(run, st.xref, j);
                line += runphasename(run, i) + " ";
            }
            line += " - ";
            bool firstgiven = true;
            for (int j = 1; j <= run.nmodevars; ++j) {
                if (st.xref.xfree[nx + j]) continue;
                const int i = modevarrunphase(run, st.xref, j);
                if (!firstgiven) line += " ";
                line += runphasename(run, i);
                firstgiven = false;
                colour(i);
            }
        }
        const int mv = pd.maxvariance;
        const int v = pd.variance;
        if (mv == 0) line += "  invariant";
        if (mv == 1 && v == 1) line += "  univariant";
        if (mv == 2 && v == 2) line += "  divariant";
        if (mv == 3 && v == 2) line += "  trivariant";
        putstr(ses, 0, line, 2, vxmask);
        if (yes(sc.calcmucb)) {
            line.clear();
            addstr(" % ", 10, line);
            // The heading comes before the first point is solved: the names are the system's.
            const SystemComponents& comps = run.dataset.components;
            for (int c = 1; c <= comps.ncomp; ++c) addstr(comps.compnames[c] + " ", 12, line);
            putstr(ses, 0, line, 1, vxmask);
        }
        const int xpos = st.xref.xco2pos;
        const std::string entry = entryname(run, pd, st);
        if (xpos == 0 && !pd.xco2varon) {
            if (entry[0] == 'u') {
                line = "begin  end  ";
                if (coloured) {
                    line += "rgb ";
                    for (int k = 1; k <= 3; ++k) addgreal(4, line, rgb[k]);
                }
                putstr(ses, 0, line, 2, vxmask);
            } else if (entry[0] == 't') {
                putstr(ses, 0, "begin  end", 2, vxmask);
            }
        } else if (xpos > 0 && st.xref.xco2fixed) {
            putstr(ses, 0, "begin  end", 2, vxmask);
        } else if (xpos > 0) {
            const bool wanted = pd.xco2varon ? v == 2 : v != 1;
            if (wanted) putstr(ses, 0, "begin  end", 2, vxmask);
        }
    } else if (!yes(sc.compatibilitycb) && !yes(sc.modeboxcb) && pd.compatrowon) {
        putstr(ses, 1, "(* ------------------------------ *)", 1, vxmask);
        std::string line = "(* ";
        for (int j = 1; j <= run.nmodevars; ++j) {
            if (st.xref.xfree[nx + j]) {
                line += runphasename(run, modevarrunphase(run, st.xref, j)) + " ";
            }
        }
        bool firstgiven = true;
        for (int j = 1; j <= run.nmodevars; ++j) {
            if (st.xref.xfree[nx + j]) continue;
            if (firstgiven) line += "- ";
            line += runphasename(run, modevarrunphase(run, st.xref, j)) + " ";
            firstgiven = false;
        }
        line += "*)";
        putstr(ses, 0, line, 2, vxmask);
    }
}

void printvxfluid(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const Result& cur = st.cur;
    const Windows& w = run.windows;
    const int16 nx = run.nxvars;
    std::string line;
    if (cur.bulkposition != 0 || pd.nbulk > 1) {
        if (cur.bulkposition == 0) {
            addstr("0", 7, line);
        } else {
            addreal(5, true, 0, line, cur.bulkposition);
        }
        line += " ";
    }
    addreal(w.pformat >= 4 ? w.pformat : 3, true, 0, line, cur.p);
    line += " ";
    addreal(w.tformat >= 3 ? w.tformat : 2, true, 0, line, cur.t - 273.15L);
    line += " ";
    for (int i = 3; i <= nx; ++i) {
        if (st.xref.xnames[i] == "x(fluid)") continue;
        addreal(4, false, 0, line, st.varvalues[i]);
        line += " ";
    }
    if (pd.compatrowon && run.script.vexlatvalue == 1) {
        line += " " + realfixstr(7, true, cur.sys.g[1]);
        line += " " + realfixstr(5, true, cur.sys.h[1]);
        line += " " + realfixstr(6, true, cur.sys.s[1]);
        line += " " + realfixstr(6, true, cur.sys.v[1]);
        line += " " + realfixstr(6, true, cur.sys.density[1]);
    }
    if (!pd.modesaftersolve) {
        bool firstgiven = true;
        for (int j = 1; j <= run.nmodevars; ++j) {
            const int i = nx + j;
            if (st.varcalculated[i] || st.xref.xnames[i] == "x(fluid)") continue;
            line += firstgiven ? " % " : ", ";
            line += st.xref.xnames[i] + " = " +
                    realfixstr(ndecimals(st.varvalues[i]), true, st.varvalues[i]);
            firstgiven = false;
        }
    }
    putstr(ses, 0, line, 1, vxmask);
    if (pd.modesaftersolve && pd.variance == 1 && pd.maxvariance == 1) {
        putstr(ses, 0, "             % " + st.rxntext, 1, vxmask);
    }
}

void printcompatrow(Session& ses, Run& run, PdRun&, SolveState& st) {
    const Result& cur = st.cur;
    if (cur.sys.g[1] == 0) return;
    std::string line =
        "{" + realfixstr(3, true, cur.p) + ", " + realfixstr(4, true, cur.t - 273.15L) + ", " +
        realfixstr(6, true, cur.sys.g[1]) + ", " + realfixstr(5, true, cur.sys.h[1]) + ", " +
        realfixstr(6, true, cur.sys.s[1]) + ", " + realfixstr(6, true, cur.sys.v[1]) + ", " +
        realfixstr(6, true, cur.sys.density[1]) + ", ";
    if (yes(run.script.morepreccb)) {
        for (int i = 1; i <= cur.nphases; ++i) {
            const ResultPhase& ph = cur.ph[i];
            addreal(8, true, 12, line, ph.props.mode[1] * ph.props.factor[1]);
            line += ", ";
        }
    }
    line += cur.bulkposition == -1 ? std::string("0") : realfixstr(4, true, cur.bulkposition);
    line += "},";
    putstr(ses, 0, line, 1, vxmask);
}

void printmu(Session& ses, Run& run, PdRun&, SolveState& st) {
    DerivedMuTables tab = derivedmutables("printmu", run, st);
    cvector compmu{};
    docalcmu(ses, tab, st.cur.p, st.cur.t, compmu);
    const SystemComponents& sc = run.dataset.components;
    std::string line = " mu   ";
    for (int k = 1; k <= sc.ncomp; ++k) addstr(sc.compnames[k], 12, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    line = std::string(6, ' ');
    for (int k = 1; k <= sc.ncomp; ++k) addreal(5, true, 12, line, compmu[k]);
    putstr(ses, 0, line, 1, screensummarylogmask);
    if (yes(run.script.vexlatcb)) {
        line = std::string(10, ' ');
        for (int k = 1; k <= sc.ncomp; ++k) addreal(4, true, 12, line, compmu[k]);
        putstr(ses, 0, line, 1, vxmask);
    }
}

void printcsv2row(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    if (sc.calcsdlevel == 0) {
        std::string line;
        addcsvreal(3, true, 9, line, cur.p);
        line += ", ";
        addcsvreal(2, true, 9, line, cur.t - 273.15L);
        line += ", ";
        for (int i = 1; i <= cur.nphases; ++i) {
            const ResultPhase& ph = cur.ph[i];
            for (int k = 1; k < ph.nem; ++k) {
                addcsvreal(5, false, 9, line, ph.x[k]);
                line += ", ";
            }
        }
        putrow(ses, line, csv2mask);
    }
    if (yes(sc.compatibilitycb) || yes(sc.modeboxcb) || pd.duda || cur.nbulk > 1) return;
    const bool props = pd.compatrowon && sc.vexlatvalue == 1;
    if (st.ngood == 1) {
        if (pd.firstpass) {
            std::string line;
            addcsv("P(kbar), ", 12, line);
            addcsv(
                "T(\xA1"
                "C), ",
                12, line);
            if (props) {
                for (const char* h : {"G, ", "H, ", "S, ", "V, ", "rho, "}) addcsv(h, 12, line);
            }
            putrow(ses, line, csvmask);
        } else {
            putstr(ses, 0, "", 1, csvmask);
        }
    }
    std::string line;
    addcsvreal(3, true, 10, line, cur.p);
    line += ", ";
    addcsvreal(2, true, 10, line, cur.t - 273.15L);
    line += ", ";
    if (props) {
        const int decimals[] = {5, 5, 4, 4, 4};
        const real values[] = {cur.sys.g[1], cur.sys.h[1], cur.sys.s[1], cur.sys.v[1],
                               cur.sys.density[1]};
        for (int k = 0; k < 5; ++k) {
            addcsvreal(decimals[k], true, 10, line, values[k]);
            line += ", ";
        }
    }
    if (st.ngood == 1) {
        line += "  ";
        bool allzero = true;
        bool somezero = false;
        for (int i = 1; i <= cur.nphases; ++i) {
            if (cur.ph[i].mode[1] > 0) allzero = false;
            if (cur.ph[i].mode[1] == 0) somezero = true;
        }
        if (allzero) {
            for (int i = 1; i <= cur.nphases; ++i) line += cur.ph[i].name + " ";
        } else {
            for (int i = 1; i <= cur.nphases; ++i) {
                if (cur.ph[i].mode[1] > 0) line += cur.ph[i].name + " ";
            }
            if (somezero) {
                line += "- ";
                for (int i = 1; i <= cur.nphases; ++i) {
                    if (cur.ph[i].mode[1] == 0) line += cur.ph[i].name + " ";
                }
            }
        }
    }
    putrow(ses, line, csvmask);
    flushfile(ses, csvchannel);
}

}  // namespace qv
