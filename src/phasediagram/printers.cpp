// Printing of one good result: the order of the printers by the script's switches, the result
// table, and the step banner with the phases of the candidate.

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "phasediagram/results.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr int xformat = 4;  // decimals of calculated variables in a phase diagram run

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// A part of the uncertainty of a variable in the rows "h", "w" and "b".
enum class SdRow { h, w, b, sd };

real sdpart(const SdVectors& v, SdRow row, int i) {
    switch (row) {
        case SdRow::h: return v.h[i];
        case SdRow::w: return v.w[i];
        case SdRow::b: return v.b[i];
        case SdRow::sd: break;
    }
    return v.sd[i];
}

// The text of a result-table label for ln a variable k.
std::string lnaheading(const Run& run, int k) {
    const std::string& name = run.script.lna[k].name;
    if (yes(run.script.setacb)) return "a(" + name + ")";
    if (yes(run.script.setlogacb)) return "log a(" + name + ")";
    return "ln a(" + name + ")";
}

}  // namespace

int32 resulttableset(const Run& run, const PdRun& pd) {
    const bool logonly = (run.script.dogminon && run.script.dogminlevel == 1) || pd.duda;
    return logonly ? logmask : screensummarylogmask;
}

void printresulttable(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const int32 set = resulttableset(run, pd);
    const int16 nlna = sc.nlna;
    const int16 nxvars = run.nxvars;
    const bool header =
        resulttabletoowide(nlna, nxvars, ses.ch.pagewidth) || st.repeatheader || st.ngood == 1;
    if (!st.fracton) {
        if (header) {
            const int before = st.progresscount > 0 ? 1 : 0;
            if (sc.debuglev == 5) {
                putstr(ses, before, "calculation with finite difference jacobian", 1, set);
            }
            std::string line = std::string(60, '-') + st.nlestatus.convmark + " ";
            addgreal(0, line, st.nlestatus.nleiter);
            if (yes(sc.morepreccb) || sc.debuglev > 1) {
                addreal(4, false, 10, line, st.nlestatus.jaccond);
            }
            putstr(ses, before, line, 1, set);
        } else if (st.progresscount > 0) {
            putstr(ses, 0, "", 1, set);
        }
        st.progresscount = 0;
    }
    const bool singular = st.nlestatus.jacsingular;
    const bool sdrows = sc.calcsdlevel > 0;
    const Result& cur = st.cur;
    const std::vector<ColumnBlock> blocks = resultblocks(nlna, nxvars, ses.ch.pagewidth);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const bool first = b == 0;
        const ColumnBlock block = blocks[b];
        if (header) {
            std::string line = singular ? " " : sdrows ? "  " : "";
            if (first) {
                addstr("P(kbar)", 8, line);
                addstr(tempcheading(), 10, line);
                for (int k = 1; k <= nlna; ++k) addstr(lnaheading(run, k), 10, line);
            } else {
                addstr("", 18, line);
            }
            for (int i = block.first; i <= block.last; ++i) {
                addstr(st.xref.xnames[i].substr(0, 9), 10, line);
            }
            putstr(ses, 0, line, 1, set);
        }
        std::string line = singular ? (first ? "#" : " ") : sdrows ? "  " : "";
        if (first) {
            addreal(3, true, 8, line, cur.p);
            addreal(3, true, 10, line, cur.t - 273.15L);
            for (int k = 1; k <= nlna; ++k) {
                const real v = cur.lna[k];
                if (yes(sc.setacb)) {
                    addreal(3, true, 10, line, std::exp(v));
                } else {
                    addreal(4, true, 10, line, v);
                }
            }
        } else {
            addstr("", 18, line);
        }
        for (int i = block.first; i <= block.last; ++i) {
            const real v = st.varvalues[i];
            if (st.varcalculated[i]) {
                addreal(xformat, false, 10, line, v);
            } else {
                const int16 nd = ndecimals(v);
                addreal(nd < 6 ? nd : 6, true, 10, line, v);
            }
        }
        putstr(ses, 0, line, 1, set);
        if (!sdrows) continue;
        // The uncertainty rows under the values: their parts, then the total.
        std::vector<SdRow> rows;
        if (sc.calcsdlevel > 1) {
            rows.push_back(SdRow::h);
            rows.push_back(SdRow::w);
            if (pd.modesinsolve) rows.push_back(SdRow::b);
        }
        rows.push_back(SdRow::sd);
        const int labelwidth = pd.modesinsolve && pd.nbulk >= 2 ? -7 : -2;
        for (const SdRow row : rows) {
            std::string sdline;
            switch (row) {
                case SdRow::h: addstr("h", labelwidth, sdline); break;
                case SdRow::w: addstr("w", labelwidth, sdline); break;
                case SdRow::b: addstr("b", labelwidth, sdline); break;
                case SdRow::sd: addstr("sd", 2, sdline); break;
            }
            // A negative part of a composition variable has no meaning in "h" and "w" (shown
            // as 0), nor any negative part in "b" (blank).
            auto part = [&](int i, int decimals, bool fixed, int width) {
                const real v = sdpart(st.sdv, row, i);
                if (v < 0 && i > 2 && (row == SdRow::h || row == SdRow::w)) {
                    addstr(" 0", width, sdline);
                } else if (v < 0 && row == SdRow::b) {
                    addstr("", width, sdline);
                } else {
                    addreal(decimals, fixed, width, sdline, v);
                }
            };
            if (first) {
                if (st.varcalculated[1]) {
                    part(1, 3, true, 8);
                } else {
                    addstr("", 8, sdline);
                }
                if (st.varcalculated[2]) {
                    part(2, 2, true, 10);
                } else {
                    addstr("", 10, sdline);
                }
                if (nlna > 0) addstr("", 10 * nlna, sdline);
            } else {
                addstr("", 18, sdline);
            }
            for (int i = block.first; i <= block.last; ++i) {
                if (st.varcalculated[i]) {
                    part(i, 4, false, 10);
                } else {
                    addstr("", 10, sdline);
                }
            }
            putstr(ses, 0, sdline, 1, set);
        }
    }
}

void printresult(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const bool modes = st.cur.nmodesteps > 0;
    if (yes(sc.lsqdscb)) {
        printactivityrow(ses, run, pd, st);
        if (modes) printmodes(ses, run, pd, st);
    } else if (sc.dogminon) {
        printresulttable(ses, run, pd, st);
        if (modes) printmodes(ses, run, pd, st);
        if (yes(sc.printxyzcb)) printresultguesses(ses, run, pd, st);
    } else {
        printresulttable(ses, run, pd, st);
        if (yes(sc.convliqcb)) {
            eqvector modevalues;
            speciesvector wt;
            conv2wt(ses, pointphases(run, st, modevalues), run.comps, sc.tables->convliq,
                    sc.nconvliqrows, sc.nconvliqcols, wt);
        }
        if (modes) {
            printmodes(ses, run, pd, st);
            if (yes(sc.modeboxcb)) printmodebox(ses, run, pd, st);
        }
        printcsv2row(ses, run, pd, st);
        if (yes(sc.vorlacalccb)) {
            printicvorla(ses, run, pd, st);
        } else {
            printic(ses, run, pd, st);
        }
        if (yes(sc.printxyzcb)) printresultguesses(ses, run, pd, st);
    }
}

void printmorestuff(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    if (sc.dogminon) bomb("printmorestuff", "in here for dogmin?", yourfault);
    if (yes(sc.vexlatcb)) {
        printvxfluid(ses, run, pd, st);
    } else if (!yes(sc.compatibilitycb) && !yes(sc.modeboxcb) && pd.compatrowon) {
        printcompatrow(ses, run, pd, st);
    }
    if (yes(sc.calcmucb)) printmu(ses, run, pd, st);
    if (yes(sc.printbulkinfocb)) writebulkinfo(ses, run, pd, st);
    if (st.fracton && st.stepno < 2) printbulkfromrbi(ses, run, pd, st);
}

}  // namespace qv
