#include "solver/newtonstep.hpp"

#include <algorithm>
#include <array>
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
    if (n > maxeq) index_fault();
    const auto un = static_cast<std::size_t>(n);
    std::vector<real>& store = work.lu;
    if (store.size() < un * un) store.resize(un * un);
    // Row r of the factors starts at a + r * n.
    real* const a = store.data();
    const auto row = [a, un](int r) { return a + static_cast<std::size_t>(r) * un; };
    for (int r = 0; r < n; ++r) {
        std::copy_n(j.a[static_cast<std::size_t>(r)].a.begin(), n, row(r));
    }
    real norm1 = 0;
    for (int c = 0; c < n; ++c) {
        real sum = 0;
        const real* p = a + c;
        for (int r = 0; r < n; ++r, p += n) sum += std::fabs(*p);
        if (sum > norm1) norm1 = sum;
    }
    std::array<int, maxeq> perm;
    for (int k = 0; k < n; ++k) {
        real* const rk = row(k);
        int p = k;
        real big = std::fabs(rk[k]);
        {
            const real* q = rk + k;
            for (int r = k + 1; r < n; ++r) {
                q += n;
                if (std::fabs(*q) > big) {
                    big = std::fabs(*q);
                    p = r;
                }
            }
        }
        if (!(big > 0) || !std::isfinite(big)) return false;
        perm[static_cast<std::size_t>(k)] = p;
        if (p != k) std::swap_ranges(rk, rk + n, row(p));
        const real pivot = rk[k];
        for (int r = k + 1; r < n; ++r) {
            real* const rr = row(r);
            const real f = rr[k] / pivot;
            rr[k] = f;
            if (f == 0) continue;
            for (int c = k + 1; c < n; ++c) rr[c] -= f * rk[c];
        }
    }
    // Solves the factored system for b (from 0) in place. For a unit vector (a column of the
    // inverse) the forward substitution starts at its 1: the multipliers are at most 1 in size,
    // so every term skipped is a zero that leaves a +0 entry +0, and the column has the same bits
    // at a third less work.
    const auto solve = [&](real* b, bool unit) {
        for (int k = 0; k < n; ++k) {
            const int p = perm[static_cast<std::size_t>(k)];
            if (p != k) std::swap(b[k], b[p]);
        }
        int first = 0;
        if (unit) {
            while (first < n && b[first] == 0) ++first;
        }
        for (int r = first + 1; r < n; ++r) {
            const real* const rr = row(r);
            real s = b[r];
            for (int c = first; c < r; ++c) s -= rr[c] * b[c];
            b[r] = s;
        }
        for (int r = n - 1; r >= 0; --r) {
            const real* const rr = row(r);
            real s = b[r];
            for (int c = r + 1; c < n; ++c) s -= rr[c] * b[c];
            b[r] = s / rr[r];
        }
    };
    const auto sum1 = [n](const real* b) {
        real sum = 0;
        for (int r = 0; r < n; ++r) sum += std::fabs(b[r]);
        return sum;
    };
    const auto unitsolve = [&](real* b, int c) {
        std::fill_n(b, n, real{0});
        b[c] = 1;
        solve(b, true);
    };
    std::array<real, maxeq> x;
    // The 1-norm of the inverse, column by column.
    real inorm1 = 0;
    for (int c = 0; c < n; ++c) {
        unitsolve(x.data(), c);
        const real sum = sum1(x.data());
        if (sum > inorm1) inorm1 = sum;
    }
    cond1 = norm1 * inorm1;
    if (!std::isfinite(cond1) || static_cast<real>(n) * cond1 >= lucondlimit) return false;
    std::copy_n(e.a.begin(), n, x.begin());
    solve(x.data(), false);
    std::copy_n(x.begin(), n, dx.a.begin());
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
