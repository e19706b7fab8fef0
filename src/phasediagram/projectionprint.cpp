// The projected compositions of the phases of a result on the run's compatibility diagram, with
// the drawing-program and csv lists of a run with "compatibility".

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "phasediagram/bulk.hpp"
#include "phasediagram/projection.hpp"
#include "solver/calcre.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// A composition over the system components compacted to the bulk components.
cvector bulkpart(const ReducedSystem& rs, int16 ncomp, const cvector& comp) {
    cvector out{};
    int16 r = 0;
    for (int c = 1; c <= ncomp; ++c) {
        if (rs.reducedcomp[c]) out[++r] = comp[c];
    }
    return out;
}

// One printed row of coordinates, as the table shows them.
struct ProjectedRow {
    std::string name;
    Fixed1<real, maxcomp + 1> x{};
    int16 n = 0;
};

// The printed value of coefficient c of a point whose plane sum is s.
real shown(real c, real s) {
    if (std::fabs(s) < 1e-4L) return c;
    return s < 0 ? -c / s : c / s;
}

void addcoordinates(const ProjectedPoint& pp, std::string& line, ProjectedRow& row) {
    row.n = pp.n;
    for (int j = 1; j <= pp.n; ++j) {
        const real v = shown(pp.c[j], pp.s);
        row.x[j] = v;
        if (std::fabs(pp.c[j]) < 1e-6L) {
            addstr("", 9, line);
        } else {
            addreal(4, true, 9, line, v);
        }
    }
    if (std::fabs(pp.s) < 1e-4L) {
        line += "  #";
    } else if (pp.s < 0) {
        line += "  ";
    }
}

// The projected phases again for the compatibility diagrams: a plain list, a block to paste into
// a drawing notebook and csv rows.
void printcompatibility(Session& ses, const Run& run, const PdRun& pd, const SolveState& st,
                        const Fixed1<ProjectedRow, maxresultphases>& rows, int16 nrows,
                        int16 nplane) {
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    std::string line;
    if (yes(sc.vexlatcb)) {
        for (int r = 1; r <= nrows; ++r) {
            line.clear();
            for (int j = 1; j <= nplane; ++j) addreal(4, true, 9, line, rows[r].x[j]);
            line += "   %  ";
            addstr(rows[r].name, -8, line);
            putstr(ses, 0, line, 1, vxmask);
        }
    }
    putstr(ses, 0, "(*---------------------------------------------------------*)", 1, vxmask);
    putstr(ses, 0,
           "{{" + realfixstr(3, true, cur.p) + ", " + realfixstr(2, true, cur.t - 273.15L) + "}, ",
           1, vxmask);
    const AssemblageReaction& rxn = st.reaction();
    if (cur.variance == 1 && rxn.n > 0) {
        auto inrows = [&](const std::string& name) {
            for (int r = 1; r <= nrows; ++r) {
                if (rows[r].name == name) return true;
            }
            return false;
        };
        line = " {";
        for (int j = 1; j <= rxn.n; ++j) {
            if (rxn.x[j] < 0 && inrows(rxn.names[j])) line += "\"" + rxn.names[j] + "\", ";
        }
        line += "}, {";
        for (int j = 1; j <= rxn.n; ++j) {
            if (rxn.x[j] > 0 && inrows(rxn.names[j])) line += "\"" + rxn.names[j] + "\",";
        }
        putstr(ses, 0, line + "}, ", 1, vxmask);
    }
    for (int r = 1; r <= nrows; ++r) {
        line = r == 1 ? std::string(9, ' ') + "{" : std::string(10, ' ');
        addstr("{\"" + rows[r].name + "\", ", -9, line);
        const int16 ncoord = narrow16(rows[r].n - 1);
        for (int j = 1; j <= ncoord; ++j) {
            addreal(6, true, 9, line, rows[r].x[j]);
            if (j == ncoord) {
                line += "}";
            } else {
                line += j == nplane ? ",    " : ", ";
            }
        }
        if (r < nrows) {
            line += ", ";
        } else if (pd.iso.nisopleths == 1) {
            for (int i = 3; i <= run.nxvars; ++i) {
                if (st.varcalculated[i]) continue;
                line += "}, " + realfixstr(3, true, st.varvalues[i]) + "},   (* " +
                        st.xref.xnames[i] + "   *) ";
            }
        } else {
            line += "} },";
        }
        putstr(ses, 0, line, 1, vxmask);
    }
    for (int r = 1; r <= nrows; ++r) {
        line.clear();
        addstr(rows[r].name + ", ", 9, line);
        for (int j = 1; j < rows[r].n; ++j) {
            addreal(6, true, 9, line, rows[r].x[j]);
            line += ", ";
        }
        if (r == 1) {
            addreal(3, true, 9, line, cur.p);
            line += ", ";
            addreal(2, true, 9, line, cur.t - 273.15L);
            line += ", ";
        } else {
            line += std::string(9, ' ') + ", " + std::string(9, ' ') + ", ";
        }
        for (int i = 3; i <= run.nxvars; ++i) {
            if (st.varcalculated[i]) continue;
            line += st.xref.xnames[i] + " =" + realfixstr(3, true, st.varvalues[i]);
        }
        putstr(ses, 0, line, r == nrows ? 2 : 1, csvmask);
    }
}

}  // namespace

ProjectedPoint projectpoint(const Fixed1<cvector, maxcomp>& columns, int16 ncolumns, int16 nplane,
                            int16 nuvleft, const cvector& comp) {
    auto a = std::make_unique<cmatrix>();
    for (int r = 1; r <= nuvleft; ++r) {
        for (int j = 1; j <= ncolumns; ++j) (*a)[r][j] = columns[j][r];
        (*a)[r][ncolumns + 1] = comp[r];
    }
    emvector x{};
    realreaction(*a, nuvleft, narrow16(ncolumns + 1), x);
    ProjectedPoint pp;
    pp.n = narrow16(ncolumns + 1);
    for (int j = 1; j <= pp.n; ++j) pp.c[j] = x[j];
    for (int j = 1; j <= nplane; ++j) pp.s += x[j];
    return pp;
}

void printprojection(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    if (!pd.proj) bomb("printprojection", "no projection plane", myfault);
    const ProjectionPlane& pl = *pd.proj;
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    const int16 ncomp = run.dataset.components.ncomp;
    const int16 nu = pl.rs.nuvleft;
    const int16 nplane = narrow16(pl.nprojox - pl.nexcesspure);
    // The columns: the apices, then the solution phases in excess (not the fluid of an x(CO2)
    // section) that the result's phases are projected from.
    Fixed1<cvector, maxcomp> columns{};
    int16 ncolumns = 0;
    for (int a = 1; a <= pl.nprojox && ncolumns < maxcomp; ++a) columns[++ncolumns] = pl.apices[a];
    Fixed1<std::string, maxcomp> fromnames;
    int16 nfrom = 0;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        if (!ph.solution || !run.excess.excessflag[ph.table]) continue;
        if (pd.xco2varon && ph.table == pd.fluidphase) continue;
        if (ncolumns >= maxcomp) bomb("printprojection", "too many columns", yourfault);
        columns[++ncolumns] = bulkpart(pl.rs, ncomp, ph.comp);
        fromnames[++nfrom] = ph.name;
    }
    std::string line;
    addstr("proj", -6, line);
    for (int a = 1; a <= nu - nfrom && a <= pl.nprojox; ++a) addstr(pl.apexnames[a], 9, line);
    for (int k = 1; k <= nfrom; ++k) addstr(fromnames[k], 9, line);
    addstr("phase", 9, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    // The phases not in excess: solution phases, then pure phases.
    Fixed1<ProjectedRow, maxresultphases> rows;
    int16 nrows = 0;
    for (int pass = 1; pass <= 2; ++pass) {
        for (int i = 1; i <= cur.nphases; ++i) {
            const ResultPhase& ph = cur.ph[i];
            if (ph.solution != (pass == 1)) continue;
            const int runphase = ph.solution ? ph.table : run.nss + ph.table;
            if (run.excess.excessflag[runphase]) continue;
            const ProjectedPoint pp =
                projectpoint(columns, ncolumns, nplane, nu, bulkpart(pl.rs, ncomp, ph.comp));
            ProjectedRow& row = rows[++nrows];
            row.name = ph.name;
            line.clear();
            addstr(ph.name, -6, line);
            addcoordinates(pp, line, row);
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }
    if (yes(sc.compatibilitycb)) printcompatibility(ses, run, pd, st, rows, nrows, nplane);
    // The bulk compositions of the run, projected the same way.
    if (pd.nbulk > 0 && yes(sc.projcompcb) && cur.firstmodestep > 0) {
        line.clear();
        addstr("comp", -6, line);
        for (int a = 1; a <= nu - nfrom && a <= pl.nprojox; ++a) addstr(pl.apexnames[a], 9, line);
        for (int k = 1; k <= nfrom; ++k) addstr(fromnames[k], 9, line);
        addstr("bulk", 9, line);
        putstr(ses, 1, line, 1, screensummarylogmask);
        const int nsteps = cur.variance == 1 ? cur.nmodesteps / 2 : cur.nmodesteps;
        for (int k = 1; k <= nsteps; ++k) {
            const int step = cur.firstmodestep + k - 1;
            const real w =
                pd.nbulk <= 1 ? 0 : static_cast<real>(step - 1) / static_cast<real>(pd.nbulk - 1);
            const cvector bulk = bulkat(pd.bulk, w);
            const ProjectedPoint pp = projectpoint(columns, ncolumns, nplane, nu, bulk);
            line.clear();
            addstr(pd.nbulk <= 1 ? "" : realstr(k), -6, line);
            for (int j = 1; j <= pp.n; ++j) {
                const real v = shown(pp.c[j], pp.s);
                if (v == 0) {
                    addstr("", 9, line);
                } else {
                    addreal(4, true, 9, line, v);
                }
            }
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }
}

}  // namespace qv
