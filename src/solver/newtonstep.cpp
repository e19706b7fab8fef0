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

// s minus a[i] * b[i] for i = 0..len - 1, subtracted in that order; two to a pass, which
// saves loop steps and leaves every rounding as it was.
inline real subtractproducts(real s, const real* a, const real* b, int len) {
    int i = 0;
    for (; i + 1 < len; i += 2) {
        s -= a[i] * b[i];
        s -= a[i + 1] * b[i + 1];
    }
    if (i < len) s -= a[i] * b[i];
    return s;
}

// The same with a[i] read at a + i * stride.
inline real subtractproductsstrided(real s, const real* a, std::size_t stride, const real* b,
                                    int len) {
    int i = 0;
    for (; i + 1 < len; i += 2, a += 2 * stride) {
        s -= *a * b[i];
        s -= a[stride] * b[i + 1];
    }
    if (i < len) s -= *a * b[i];
    return s;
}

}  // namespace

// One body on purpose: the factors, solves and condition estimate share pivots on the hot path.
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
        int r = 0;
        for (; r + 1 < n; r += 2, p += 2 * un) {
            sum += std::fabs(*p);
            sum += std::fabs(p[un]);
        }
        if (r < n) sum += std::fabs(*p);
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
            int c = k + 1;
            for (; c + 1 < n; c += 2) {
                rr[c] -= f * rk[c];
                rr[c + 1] -= f * rk[c + 1];
            }
            if (c < n) rr[c] -= f * rk[c];
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
            b[r] = subtractproducts(b[r], row(r) + first, b + first, r - first);
        }
        for (int r = n - 1; r >= 0; --r) {
            const real* const rr = row(r);
            b[r] = subtractproducts(b[r], rr + r + 1, b + r + 1, n - r - 1) / rr[r];
        }
    };
    // Solves the factored system for three right-hand sides at once, each in place and by the
    // very operations of `solve`: the entries of the factors are read once for the three.
    const auto solve3 = [&](real* b0, real* b1, real* b2) {
        for (int k = 0; k < n; ++k) {
            const int p = perm[static_cast<std::size_t>(k)];
            if (p == k) continue;
            std::swap(b0[k], b0[p]);
            std::swap(b1[k], b1[p]);
            std::swap(b2[k], b2[p]);
        }
        for (int r = 1; r < n; ++r) {
            const real* const rr = row(r);
            real s0 = b0[r];
            real s1 = b1[r];
            real s2 = b2[r];
            for (int c = 0; c < r; ++c) {
                const real l = rr[c];
                s0 -= l * b0[c];
                s1 -= l * b1[c];
                s2 -= l * b2[c];
            }
            b0[r] = s0;
            b1[r] = s1;
            b2[r] = s2;
        }
        for (int r = n - 1; r >= 0; --r) {
            const real* const rr = row(r);
            real s0 = b0[r];
            real s1 = b1[r];
            real s2 = b2[r];
            for (int c = r + 1; c < n; ++c) {
                const real u = rr[c];
                s0 -= u * b0[c];
                s1 -= u * b1[c];
                s2 -= u * b2[c];
            }
            b0[r] = s0 / rr[r];
            b1[r] = s1 / rr[r];
            b2[r] = s2 / rr[r];
        }
    };
    // Solves the transposed system in place: U^T, then the unit L^T (each by columns of the
    // factors), then the row exchanges undone.
    const auto solvet = [&](real* b) {
        for (int r = 0; r < n; ++r) {
            b[r] = subtractproductsstrided(b[r], a + r, un, b, r) / row(r)[r];
        }
        for (int r = n - 2; r >= 0; --r) {
            b[r] = subtractproductsstrided(b[r], row(r + 1) + r, un, b + r + 1, n - r - 1);
        }
        for (int k = n - 1; k >= 0; --k) {
            const int p = perm[static_cast<std::size_t>(k)];
            if (p != k) std::swap(b[k], b[p]);
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
    const real fn = static_cast<real>(n);
    std::array<real, maxeq> xstore;
    real* const x = xstore.data();
    // The direction's right-hand side, solved beside the estimate's first and last test vectors
    // (in `xalt`) where there are more than one unknown.
    std::array<real, maxeq> xestore;
    real* const xe = xestore.data();
    std::copy_n(e.a.begin(), n, xe);
    bool esolved = false;
    // The 1-norm of the inverse is estimated from below as LAPACK's xLACN2 does (Hager's method
    // with Higham's refinements): a few solves with the factors and their transpose, and the
    // alternating test vector. `colmax` is the largest column sum met, formed by the very
    // operations of the exact norm below, so it is never above that norm's value.
    real est = 0;
    real colmax = 0;
    bool finite = true;
    const auto take = [&finite](real v) {
        finite = finite && std::isfinite(v);
        return v;
    };
    if (n == 1) {
        unitsolve(x, 0);
        est = colmax = take(std::fabs(x[0]));
    } else {
        const auto sign = [](real v) -> real { return v >= 0 ? 1 : -1; };
        const auto argmax = [n](const real* b) {
            int m = 0;
            for (int r = 1; r < n; ++r) {
                if (std::fabs(b[r]) > std::fabs(b[m])) m = r;
            }
            return m;
        };
        std::array<real, maxeq> sgnstore;
        real* const sgn = sgnstore.data();
        std::array<real, maxeq> altstore;
        real* const xalt = altstore.data();
        real alt = 1;
        for (int r = 0; r < n; ++r) {
            xalt[r] = alt * (1 + static_cast<real>(r) / (fn - 1));
            alt = -alt;
        }
        std::fill_n(x, n, 1 / fn);
        solve3(x, xalt, xe);
        esolved = true;
        est = take(sum1(x));
        for (int r = 0; r < n; ++r) x[r] = sgn[r] = sign(x[r]);
        solvet(x);
        int col = argmax(x);
        for (int iter = 2;; ++iter) {
            unitsolve(x, col);
            const real estold = est;
            est = take(sum1(x));
            if (est > colmax) colmax = est;
            bool repeated = true;
            for (int r = 0; r < n && repeated; ++r) repeated = sign(x[r]) == sgn[r];
            if (repeated || est <= estold || iter == 5) break;
            for (int r = 0; r < n; ++r) x[r] = sgn[r] = sign(x[r]);
            solvet(x);
            const int last = col;
            col = argmax(x);
            if (x[last] == std::fabs(x[col])) break;
        }
        const real t = take(2 * (sum1(xalt) / (3 * fn)));
        if (t > est) est = t;
    }
    // The decision as the exact norm would make it, at a fraction of the work:
    // - The largest column sum met is a column sum of the exact norm, formed in the same way, so
    //   where it alone reaches the limit the exact test fails too.
    // - Where the estimate stays four orders of magnitude below the limit, the LU route is taken
    //   on it. The estimate is the norm itself in most cases and within a small factor of it in
    //   nearly every other (on the jacobians of every test and bench case, at worst 1.8 below);
    //   an underestimate by more than 1e4 takes a matrix built against the method, which a
    //   jacobian is not.
    // - Between the two (and on anything not finite) the exact norm decides, from the columns of
    //   the inverse.
    if (fn * (norm1 * colmax) >= lucondlimit) {
        cond1 = norm1 * colmax;
        return false;
    }
    if (finite && fn * (norm1 * est) < lucondlimit * 1e-4L) {
        cond1 = norm1 * est;
    } else {
        real inorm1 = 0;
        for (int c = 0; c < n; ++c) {
            unitsolve(x, c);
            const real sum = sum1(x);
            if (sum > inorm1) inorm1 = sum;
        }
        cond1 = norm1 * inorm1;
        if (!std::isfinite(cond1) || fn * cond1 >= lucondlimit) return false;
    }
    if (!esolved) solve(xe, false);
    std::copy_n(xe, n, dx.a.begin());
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
