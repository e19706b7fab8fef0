// Blocks in the form of the script file, written to the log so that a user can paste them into
// the script of the next run: the starting guesses of a solved point, the bulk and rbi tableau
// of a result, and the bulk made from the phases and their modes.

#include <algorithm>
#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

// The run's phase number (solution phases 1..nss, pure phases after) of mode variable j.
int modevarrunphase(const Run& run, const CrossRefs& xref, int j) {
    return j <= xref.nssmodes ? xref.modephase[j] : run.nss + xref.modephase[j];
}

// Whether the script reader takes `text` back to a value strictly inside lower .. upper.
bool readsinside(const std::string& text, real lower, real upper) {
    real back = 0;
    std::string msg;
    return str2real(text, back, msg) && lower < back && back < upper;
}

// The text of a starting guess: 7 significant digits, unless they round a value within its
// range onto or over a bound (0.999999999999 as "1.000000", where a site fraction is 0 and the
// reader refuses the phase's guesses); then as few more digits as keep it inside, and a value
// that no digits part from its bound (one below the zero threshold of the text) moved 1e-10
// inside, which the four decimals of the solver's starting line do not show.
std::string guesstext(real x, real lower, real upper) {
    std::string text = realfixstr(7, false, x);
    if (!(lower < x && x < upper) || readsinside(text, lower, upper)) return text;
    constexpr real nudge = 1e-10L;
    if (upper - lower <= 2 * nudge) return text;
    for (const real y : {x, std::clamp(x, lower + nudge, upper - nudge)}) {
        for (int d = 8; d <= 15; ++d) {
            std::string more = realfixstr(d, false, y);
            if (readsinside(more, lower, upper)) return more;
        }
    }
    return text;
}

}  // namespace

void printresultguesses(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    // The block goes to the log alone (and changes nothing else): without the log, no block.
    if (!anyopen(ses, logmask)) return;
    const Result& cur = st.cur;
    const int16 nx = run.nxvars;
    putstr(ses, 1, rule60(), 1, logmask);
    std::string line =
        "% at P = " + realfixstr(1, true, cur.p) + ", T = " + realstr(cur.t - 273.15L) + ", for: ";
    if (run.nmodevars == 0) {
        for (int i = 1; i <= cur.nphases; ++i) {
            if (i > 1) line += " ";
            line += cur.ph[i].name;
        }
    } else {
        for (int j = 1; j <= run.nmodevars; ++j) {
            const int phase = modevarrunphase(run, st.xref, j);
            if (!run.excess.excessflag[phase]) line += st.xref.xnames[nx + j] + " ";
        }
        bool firstzero = true;
        for (int j = 1; j <= run.nmodevars; ++j) {
            if (st.varcalculated[nx + j] || st.varvalues[nx + j] != 0) continue;
            line += firstzero ? " with " : ", ";
            line += st.xref.xnames[nx + j] + " = 0";
            firstzero = false;
        }
        if (pd.bulkx != 0) line += ", and x = " + realfixstr(4, true, cur.bulkposition);
    }
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule60(), 1, logmask);
    putstr(ses, 0,
           "ptguess " + realfixstr(3, true, cur.p) + " " + realfixstr(2, true, cur.t - 273.15L), 1,
           logmask);
    putstr(ses, 0, rule60(), 1, logmask);
    // The variables of the solution phases in the order of the solution vector; a variable
    // dropped for a starting guess of 0 keeps its line, so that the block stays complete.
    const prectype1& p1 = *run.arrays.prec1;
    int next = 3;
    for (int i = 1; i <= cur.nphases; ++i) {
        if (!cur.ph[i].solution) continue;
        const ptype1& ph = p1[cur.ph[i].table];
        const int nset = ph.nvarset > 0 ? ph.nvarset : ph.nvar;
        int kept = 0;
        for (int v = 1; v <= nset; ++v) {
            const bool inset = ph.nvarset > 0;
            const std::string& name = inset ? ph.varsetname[v] : ph.var[v].name;
            line = "xyzguess ";
            addstr(name, -10, line);
            if (inset && !ph.varnonzero[v]) {
                addstr("0", 12, line);
                line += "  % boiler";
            } else {
                const xvartype& x = ph.var[++kept];
                const real value = st.varvalues[next++];
                if (!std::isfinite(value)) addreal(7, false, 12, line, value);  // stops the run
                addstr(guesstext(value, x.lower, x.upper), 12, line);
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
        if (next - 1 < nx) putstr(ses, 0, rule31(), 1, logmask);
    }
    putstr(ses, 0, rule60(), 2, logmask);
}

void writebulkinfo(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    if (pd.xco2varon) {
        putstr(ses, 1, "printbulkinfo not yet working for exbuff - sorry!", 1, logmask);
        return;
    }
    const Result& cur = st.cur;
    bool hasO = false;
    for (int c = 1; c <= cur.ncomp; ++c) {
        if (cur.compnames[c] == "O") hasO = true;
    }
    putstr(ses, 1, rule60(), 1, logmask);
    std::string line = "%" + std::string(28, ' ');
    for (int c = 1; c <= cur.ncomp; ++c) {
        // With O a component, FeO stands for all the iron.
        addstr(hasO && cur.compnames[c] == "FeO" ? "FeOt" : cur.compnames[c], 12, line);
    }
    putstr(ses, 0, line, 1, logmask);
    const bool fixedbulk = run.script.pseudoon;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        if (!ph.shown) continue;
        line = "bulk  rbi";
        addstr(ph.name, 8, line);
        if (fixedbulk) {
            addreal(6, true, 12, line, ph.mode[1]);
        } else {
            addstr("##", 12, line);
        }
        for (int c = 1; c <= cur.ncomp; ++c) addamount(12, line, ph.comp[c], 0.0001L);
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, rule60(), 1, logmask);
    if (!fixedbulk) {
        putstr(ses, 0, "replace the ''##'' by the modes you want to use to make the bulk", 1,
               logmask);
        return;
    }
    line = "% bulk                 ";
    for (int c = 1; c <= cur.nbulkcomp; ++c) addreal(4, true, 12, line, cur.bulk[1][c] * 100);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule60(), 1, logmask);
    putstr(ses, 0, "% delete this bulk line if you have modified the rbi tableau", 1, logmask);
}

void printbulkfromrbi(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    // The bulk is made from the mode unknowns of the solve; without them there is nothing to
    // make it from, and the line is left out.
    if (!pd.modesinsolve) return;
    const Result& cur = st.cur;
    const SystemComponents& sc = run.dataset.components;
    std::vector<real> modes;
    for (int j = 1; j <= run.nmodevars; ++j) modes.push_back(st.varvalues[run.nxvars + j]);
    std::vector<int> rows;
    for (int i = 1; i <= cur.nphases; ++i) {
        if (cur.ph[i].solution || cur.ph[i].shown) rows.push_back(i);
    }
    if (rows.size() != modes.size()) {
        ses.console.write("nxp = " + realstr(run.nmodevars) +
                          ", npleft = " + realstr(static_cast<real>(modes.size())) +
                          "k = " + realstr(static_cast<real>(rows.size())) +
                          ", lnrbimode = " + realstr(static_cast<real>(modes.size())) + "\n");
        bomb("printmorestuff", "mismatch", yourfault);
    }
    cvector bulk{};
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const ResultPhase& ph = cur.ph[rows[j]];
        real atoms = 0;
        for (int c = 1; c <= cur.ncomp; ++c) atoms += ph.comp[c] * sc.compatoms[c];
        const real prop = atoms != 0 ? modes[j] / atoms : 0;
        for (int c = 1; c <= cur.ncomp; ++c) bulk[c] += ph.comp[c] * prop;
    }
    real total = 0;
    for (int c = 1; c <= cur.ncomp; ++c) total += bulk[c];
    std::string line = "% bulk ";
    for (int c = 1; c <= cur.ncomp; ++c) {
        addreal(5, true, 10, line, total != 0 ? bulk[c] * 100 / total : 0);
    }
    line += "    from rbi";
    putstr(ses, 0, line, 2, logmask);
}

}  // namespace qv
