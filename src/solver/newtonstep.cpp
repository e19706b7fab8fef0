#include "solver/newtonstep.hpp"

#include <cmath>
#include <vector>

#include "base/convert.hpp"

namespace qv {
namespace {

SvdDirectionInfo decompose(Console& con, SvdArrays& s, const eqmatrix& j, int n) {
    for (int r = 1; r <= n; ++r) {
        for (int c = 1; c <= n; ++c) s.svda[r][c] = j[r][c];
    }
    if (n > 0) svd(con, s, narrow16(n), narrow16(n));
    int k = n;
    for (int i = 1; i <= n - 1; ++i) {
        if (s.svdw[i] > 1e-12L * s.svdw[n]) {
            k = i;
            break;
        }
    }
    SvdDirectionInfo info;
    info.singular = k > 1;
    info.cond = (n > 0 && std::fabs(s.svdw[1]) >= 1e-12L) ? s.svdw[n] / s.svdw[1] : 0;
    return info;
}

}  // namespace

bool ludirection(NewtonScratch& work, const eqmatrix& j, const eqvector& e, int n, eqvector& dx,
                 real& cond1) {
    if (n <= 0) return false;
    const auto un = static_cast<std::size_t>(n);
    std::vector<real>& a = work.lu;
    if (a.size() < un * un) a.resize(un * un);
    const auto at = [&](int r, int c) -> real& {
        return a[static_cast<std::size_t>(r) * un + static_cast<std::size_t>(c)];
    };
    real norm1 = 0;
    for (int c = 0; c < n; ++c) {
        real sum = 0;
        for (int r = 0; r < n; ++r) {
            at(r, c) = j[r + 1][c + 1];
            sum += std::fabs(at(r, c));
        }
        if (sum > norm1) norm1 = sum;
    }
    Fixed1<int, maxeq> perm;
    for (int k = 0; k < n; ++k) {
        int p = k;
        real big = std::fabs(at(k, k));
        for (int r = k + 1; r < n; ++r) {
            if (std::fabs(at(r, k)) > big) {
                big = std::fabs(at(r, k));
                p = r;
            }
        }
        if (!(big > 0) || !std::isfinite(big)) return false;
        perm[k + 1] = p;
        if (p != k) {
            for (int c = 0; c < n; ++c) std::swap(at(k, c), at(p, c));
        }
        const real pivot = at(k, k);
        for (int r = k + 1; r < n; ++r) {
            const real f = at(r, k) / pivot;
            at(r, k) = f;
            if (f == 0) continue;
            for (int c = k + 1; c < n; ++c) at(r, c) -= f * at(k, c);
        }
    }
    // Solves the factored system for b in place. For a unit vector (a column of the inverse)
    // the forward substitution starts at its 1: the multipliers are at most 1 in size, so every
    // term skipped is a zero that leaves a +0 entry +0, and the column has the same bits at a
    // third less work.
    const auto solve = [&](eqvector& b, bool unit) {
        for (int k = 0; k < n; ++k) {
            const int p = perm[k + 1];
            if (p != k) std::swap(b[k + 1], b[p + 1]);
        }
        int first = 0;
        if (unit) {
            while (first < n && b[first + 1] == 0) ++first;
        }
        for (int r = first + 1; r < n; ++r) {
            real s = b[r + 1];
            for (int c = first; c < r; ++c) s -= at(r, c) * b[c + 1];
            b[r + 1] = s;
        }
        for (int r = n - 1; r >= 0; --r) {
            real s = b[r + 1];
            for (int c = r + 1; c < n; ++c) s -= at(r, c) * b[c + 1];
            b[r + 1] = s / at(r, r);
        }
    };
    // The 1-norm of the inverse, column by column.
    real inorm1 = 0;
    for (int c = 1; c <= n; ++c) {
        eqvector u;
        for (int r = 1; r <= n; ++r) u[r] = r == c ? 1 : 0;
        solve(u, true);
        real sum = 0;
        for (int r = 1; r <= n; ++r) sum += std::fabs(u[r]);
        if (sum > inorm1) inorm1 = sum;
    }
    cond1 = norm1 * inorm1;
    if (!std::isfinite(cond1) || static_cast<real>(n) * cond1 >= lucondlimit) return false;
    eqvector b;
    for (int r = 1; r <= n; ++r) b[r] = e[r];
    solve(b, false);
    for (int r = 1; r <= n; ++r) dx[r] = b[r];
    return true;
}

SvdDirectionInfo svddirection(Console& con, NewtonScratch& work, const eqmatrix& j,
                              const eqvector& e, int n, eqvector& dx) {
    SvdArrays& s = work.svdarrays();
    const SvdDirectionInfo info = decompose(con, s, j, n);
    int k = n;
    for (int i = 1; i <= n - 1; ++i) {
        if (s.svdw[i] > 1e-12L * s.svdw[n]) {
            k = i;
            break;
        }
    }
    for (int jj = 1; jj <= n; ++jj) dx[jj] = 0;
    for (int l = k; l <= n; ++l) {
        real ue = 0;
        for (int i = 1; i <= n; ++i) ue += e[i] * s.svda[i][l];
        const real q = ue / s.svdw[l];
        for (int jj = 1; jj <= n; ++jj) dx[jj] += s.svdv[jj][l] * q;
    }
    return info;
}

SvdDirectionInfo svdcondition(Console& con, NewtonScratch& work, const eqmatrix& j, int n) {
    return decompose(con, work.svdarrays(), j, n);
}

}  // namespace qv
