#pragma once
// The tests' own numerical oracles, independent of the program's routines that they check: a
// linear solver (Gaussian elimination with partial pivoting), the generalised least-squares mean of
// correlated values and a root by bisection.

#include <cmath>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "base/real.hpp"

namespace qv::test {

using Mat = std::vector<std::vector<real>>;

// Solves m y = b (m square and not singular).
inline std::vector<real> solve(Mat m, std::vector<real> b) {
    const std::size_t n = b.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t piv = k;
        for (std::size_t i = k + 1; i < n; ++i) {
            if (std::fabs(m[i][k]) > std::fabs(m[piv][k])) piv = i;
        }
        std::swap(m[k], m[piv]);
        std::swap(b[k], b[piv]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const real f = m[i][k] / m[k][k];
            for (std::size_t j = k; j < n; ++j) m[i][j] -= f * m[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<real> y(n);
    for (std::size_t i = n; i-- > 0;) {
        real s = b[i];
        for (std::size_t j = i + 1; j < n; ++j) s -= m[i][j] * y[j];
        y[i] = s / m[i][i];
    }
    return y;
}

// The generalised least-squares mean of n correlated values: its sd, widened by the fit where
// that exceeds 1, and the fit sqrt(e' V^-1 e / (n - 1)) of the residuals e.
struct GlsMean {
    real mean;
    real sd;
    real sigfit;
};

// The mean of values x with covariance matrix v (n > 1).
inline GlsMean glsmean(const Mat& v, const std::vector<real>& x) {
    const std::size_t n = x.size();
    const std::vector<real> wone = solve(v, std::vector<real>(n, 1));
    const std::vector<real> wx = solve(v, x);
    real s1 = 0;
    real s2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        s1 += wx[i];
        s2 += wone[i];
    }
    GlsMean g{s1 / s2, 1 / std::sqrt(s2), 0};
    std::vector<real> e(n);
    for (std::size_t i = 0; i < n; ++i) e[i] = x[i] - g.mean;
    const std::vector<real> we = solve(v, e);
    real q = 0;
    for (std::size_t i = 0; i < n; ++i) q += e[i] * we[i];
    g.sigfit = std::sqrt(q / static_cast<real>(n - 1));
    if (g.sigfit > 1) g.sd *= g.sigfit;
    return g;
}

// The root of f in [lo, hi], where f changes sign, by 200 halvings.
inline real bisect(const std::function<real(real)>& f, real lo, real hi) {
    const real flo = f(lo);
    for (int i = 0; i < 200; ++i) {
        const real mid = 0.5L * (lo + hi);
        if ((f(mid) > 0) == (flo > 0)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return 0.5L * (lo + hi);
}

}  // namespace qv::test
