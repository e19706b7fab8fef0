// Gibbs energy minimisation over assemblages: the grid, the bookkeeping of each point of each
// candidate and the "all equilibria" table of the detailed results.

#include "phasediagram/dogmin.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "phasediagram/resultprinters.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// The record of the run's phase k (solution phases 1..nss, then pure phases).
std::string runphasename(const Run& run, int k) {
    return k <= run.nss ? (*run.arrays.prec1)[k].name : (*run.arrays.prec0)[k - run.nss].name;
}

// The start of a row of the table: the equilibrium's number and an X per phase it holds.
std::string rowstart(const Run& run, const PdRun& pd, const bemvector& phases) {
    std::string row;
    addstr(realstr(pd.equilno), -3, row);
    for (int k = 1; k <= run.nss + run.npure; ++k) {
        if (run.excess.excessflag[k]) continue;
        addstr(phases[k] ? "X" : "-", 5, row);
    }
    row += "  ";
    return row;
}

void tableheading(Session& ses, const Run& run, const DogminTables& dm) {
    putstr(ses, 1, std::string(59, '='), 1, icmask);
    std::string line = "all equilibria";
    if (run.excess.nexcess > 0) {
        line += ", with ";
        for (int k = 1; k <= run.nss + run.npure; ++k) {
            if (run.excess.excessflag[k]) line += runphasename(run, k) + " ";
        }
        line += "in excess";
    }
    putstr(ses, 0, line, 0, icmask);
    line.clear();
    addstr("#", -3, line);
    for (int k = 1; k <= run.nss + run.npure; ++k) {
        if (!run.excess.excessflag[k]) addstr(runphasename(run, k), 5, line);
    }
    if (dm.npoints == 1) addstr("G", 13, line);
    putstr(ses, 1, line, 1, icmask);
}

// The row of the current equilibrium in the "all equilibria" table.
void tablerow(Session& ses, const Run& run, const PdRun& pd, const SolveState& st,
              const DogminCall& call) {
    DogminTables& dm = *pd.dm;
    if (call.point == 1) {
        if (2 * dm.npoints > 254) bomb("dogmin", "too many PT points", yourfault);
        dm.marks.assign(static_cast<std::size_t>(2 * dm.npoints), ' ');
    }
    if (pd.equilno == 1 && call.point == 1) tableheading(ses, run, dm);
    const bool last = call.point == dm.npoints;
    std::string row;
    if (dm.npoints == 1) {
        row = rowstart(run, pd, st.equilphases);
        if (call.modesok) {
            addreal(5, true, 11, row, st.cur.g);
        } else if (st.calcstatus == 8) {
            addstr("---", 9, row);
        }
    } else {
        if (last) row = rowstart(run, pd, st.equilphases);
        char mark = '-';
        if (call.modesok) {
            mark = '#';
        } else if (st.calcstatus == 8) {
            mark = 'x';
        }
        dm.marks[static_cast<std::size_t>(2 * call.point - 2)] = mark;
        if (last) row += "   " + dm.marks;
    }
    if (last) putstr(ses, 0, row, 1, icmask);
}

}  // namespace

void setupdogmin(Session& /*ses*/, Run& run, PdRun& pd) {
    ScriptSettings& sc = run.script;
    const Windows& w = run.windows;
    const int n = w.npvalues * w.ntvalues;
    if (n > maxdogminpoints) {
        bomb("setup dogmin", "too many PT (max " + realstr(maxdogminpoints), yourfault);
    }
    pd.dm = std::make_shared<DogminTables>();
    DogminTables& dm = *pd.dm;
    dm.npoints = narrow16(n);
    if (n > 1 && sc.dogminlevel < 2) sc.dogminlevel = 2;
    int k = 0;
    for (int i = 1; i <= w.npvalues; ++i) {
        for (int j = 1; j <= w.ntvalues; ++j) {
            DogminPoint& r = dm.point[++k];
            r = DogminPoint{};
            r.p = w.pvalues[i];
            r.t = w.tvalues[j];
        }
    }
}

void dogminpoint(Session& ses, Run& run, PdRun& pd, SolveState& st, const DogminCall& call) {
    if (call.point > maxdogminpoints) bomb("solve", "PT grid in dogmin too big", yourfault);
    if (call.good && run.script.dogminlevel == 1) printstep(ses, run, pd, st);
    dogmin(ses, run, pd, st, call);
}

void dogmin(Session& ses, Run& run, PdRun& pd, SolveState& st, const DogminCall& call) {
    const ScriptSettings& sc = run.script;
    if (!pd.dm) bomb("dogmin", "no minimisation tables", myfault);
    DogminTables& dm = *pd.dm;
    if (sc.dogminlevel < 2 && pd.equilno % 50 == 0) ses.console.write("@");
    if (call.good) {
        ++dm.nequilfound;
        if (sc.dogminlevel > 0) printresult(ses, run, pd, st);
    }
    if (call.modesok) {
        if (call.point < 1 || call.point > dm.npoints)
            bomb("dogmin", "point off the grid", myfault);
        DogminPoint& r = dm.point[call.point];
        const real g = st.cur.g;
        ++r.count;
        // The least energy starts unset, so the first usable equilibrium is the best whatever
        // the sign of its G; a later one must be strictly lower (a tie keeps the first).
        if (!r.found || g < r.least) {
            if (r.found) r.margin = r.least - g;
            r.found = true;
            r.least = g;
            r.best = pd.equilno;
            r.phases = st.equilphases;
            if (dm.npoints == 1) {
                *dm.bestresult = st.cur;
                for (int i = 1; i <= st.cur.nphases && i <= st.xref.ncalcphases; ++i)
                    (*dm.bestphases)[i] = (*st.xref.calcphaselist)[i];
            }
        } else if (g - r.least < r.margin) {
            r.margin = g - r.least;
        }
        if (dm.npoints == 1) {
            if (dm.nequillist >= maxequillist) {
                ses.console.write("\nuse less phases and/or have more phases in excess\n");
                bomb("dogmin", "too many equilibria", yourfault);
            }
            EquilEntry& e = (*dm.equillist)[++dm.nequillist];
            e = EquilEntry{};
            e.number = pd.equilno;
            e.phases = st.equilphases;
            e.g = g;
            // One mode per phase of the result, in its order (the run's phase order), so that
            // the near-minimum list finds each phase's own mode; -1 for a phase without one.
            e.nmodes = st.cur.nphases;
            for (int i = 1; i <= st.cur.nphases; ++i) {
                const ResultPhase& ph = st.cur.ph[i];
                e.modes[i] = ph.hasmode ? ph.mode[1] : -1;
            }
        }
    }
    if (sc.dogminlevel > 0) tablerow(ses, run, pd, st, call);
}

}  // namespace qv
