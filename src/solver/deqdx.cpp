#include "solver/deqdx.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/dumps.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

void consoleline(Session& ses, const std::string& s) {
    ses.console.write(s + "\n");
}

void consolerow(Session& ses, const eqvector& row, int from, int to, const std::string& tail = {}) {
    std::string line;
    for (int j = from; j <= to; ++j) addreal(5, true, 11, line, row[j]);
    consoleline(ses, line + tail);
}

}  // namespace

void makedeqdx(Session& ses, NleEquations& eqs, const NleVariables& v, int16 nreac,
               const Fixed1<int16, maxreac>& rdiv, const BulkRatios& bulk, int16 debuglev,
               SolutionDerivatives& d) {
    const int16 n = v.nfree();
    d.n = n;
    d.m = n;
    d.dropmode = 0;
    d.valid = true;
    d.deqdx = eqmatrix{};
    d.dxdeq = eqmatrix{};
    eqmatrix jac{};
    eqvector e{};
    eqs.nlefunc(v.xvalue, jac, e, true);

    // The jacobian is by the scaled unknowns; the scale turns it into the derivative by the
    // natural values (modes as printed), the divisor back into the reaction's own dG.
    const int16 nall = narrow16(v.nxvars + v.nmodevars);
    int16 nxf = 0;
    int16 nmf = 0;
    {
        int c = 0;
        for (int16 k = 1; k <= nall; ++k) {
            if (!v.xfree[k]) continue;
            ++c;
            const bool mode = k > v.nxvars;
            (mode ? nmf : nxf) += 1;
            const real scale = v.xscale[k] * (mode ? v.modephi : 1);
            for (int r = 1; r <= n; ++r) {
                const real div = r <= nreac ? static_cast<real>(rdiv[r]) : 1;
                d.deqdx[r][c] = div * jac[r][c] * scale;
            }
        }
    }
    if (bulk.rankdeficit > 0) {
        bomb("makedeqdx", "rank deficit comps not yet implemented for uncertainty calcs",
             yourfault);
    }

    if (v.nmodevars > 0) {
        if (debuglev > 1) printmatrixlist(ses, d.deqdx, "deqdx, as is", n, n);
        const int16 ns = bulk.nsyscomp;
        // Mode values among the free modes, and the reference mode.
        eqvector mv{};
        Fixed1<int16, maxeq> modeno{};  // number among the modes of each free mode
        int16 dropfree = 0;
        {
            int i = 0;
            for (int16 k = narrow16(v.nxvars + 1); k <= nall; ++k) {
                if (!v.xfree[k]) continue;
                ++i;
                mv[i] = v.natural(k) / v.modephi;
                modeno[i] = narrow16(k - v.nxvars);
                if (dropfree == 0 && std::fabs(mv[i]) >= 1e-8L) dropfree = narrow16(i);
            }
        }
        if (dropfree == 0 || n != nreac + ns || ns < 1 || bulk.bulkref < 1 || bulk.bulkref > ns) {
            // Without a reference mode, or with equations that are not one per reaction and one
            // per system component, the log-ratio form does not exist.
            d.valid = false;
            return;
        }
        d.dropmode = modeno[dropfree];

        // Rows: d ln(b_i / b_ref) / db for the components other than the reference.
        Fixed1<cvector, maxcomp> b{};
        {
            int row = 0;
            for (int i = 1; i <= ns; ++i) {
                if (i == bulk.bulkref) continue;
                ++row;
                b[row][i] = 1 / bulk.bulkcomp[i];
                b[row][bulk.bulkref] = -1 / bulk.bulkcomp[bulk.bulkref];
            }
        }
        if (debuglev > 1) {
            consoleline(ses, "");
            consoleline(ses, "b, db'/db");
            std::string line;
            for (int i = 1; i <= ns; ++i) addreal(5, true, 11, line, bulk.bulkcomp[i]);
            consoleline(ses, line);
            for (int row = 1; row < ns; ++row) {
                line.clear();
                for (int i = 1; i <= ns; ++i) addreal(5, true, 11, line, b[row][i]);
                consoleline(ses, line);
            }
        }
        // Columns: d m_i / d ln(m_j / m_ref) for modes summing to one.
        eqmatrix mm{};
        for (int i = 1; i <= nmf; ++i) {
            int j2 = 0;
            for (int j = 1; j <= nmf; ++j) {
                if (j == dropfree) continue;
                ++j2;
                mm[i][j2] = -mv[i] * mv[j] + (i == j ? mv[i] : 0);
            }
        }
        if (debuglev > 1) {
            consoleline(ses, "");
            consoleline(ses, "m, dm/dm'");
            real sum = 0;
            for (int i = 1; i <= nmf; ++i) sum += mv[i];
            consolerow(ses, mv, 1, nmf, "  sum = " + realfixstr(5, true, sum));
            consoleline(ses, "");
            for (int i = 1; i <= nmf; ++i) consolerow(ses, mm[i], 1, nmf - 1);
        }
        const eqmatrix old = d.deqdx;
        for (int r = nreac + 1; r <= n - 1; ++r) {
            for (int c = 1; c <= n; ++c) {
                real s = 0;
                for (int k = 1; k <= ns; ++k) s += b[r - nreac][k] * old[nreac + k][c];
                d.deqdx[r][c] = s;
            }
        }
        for (int c = 1; c <= n; ++c) d.deqdx[n][c] = 0;
        const eqmatrix rows = d.deqdx;
        for (int r = nreac + 1; r <= n - 1; ++r) {
            for (int c = nxf + 1; c <= n - 1; ++c) {
                real s = 0;
                for (int k = nxf + 1; k <= nxf + nmf; ++k) s += mm[k - nxf][c - nxf] * rows[r][k];
                d.deqdx[r][c] = s;
            }
        }
        for (int r = nreac + 1; r <= n; ++r) d.deqdx[r][n] = 0;
        if (debuglev > 1) printmatrixlist(ses, d.deqdx, "deqdx, after", n - 1, n - 1);
        d.m = narrow16(n - 1);
    }

    const int16 m = d.m;
    SvdArrays& s = *d.work;
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= m; ++j) s.svda[i][j] = d.deqdx[i][j];
    }
    svd(ses.console, s, m, m);
    for (int c = 1; c <= m; ++c) {
        for (int r = 1; r <= m; ++r) {
            real sum = 0;
            for (int l = 1; l <= m; ++l) {
                if (s.svdw[l] == 0) {
                    consoleline(ses, "deqdx is singular");
                    sum = 0;
                    continue;
                }
                sum += s.svdv[c][l] * s.svda[r][l] / s.svdw[l];
            }
            d.dxdeq[c][r] = sum;
        }
    }
}

}  // namespace qv
