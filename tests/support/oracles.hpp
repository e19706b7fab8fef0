#pragma once
// The tests' own numerical oracles, independent of the program's routines that they check: a
// linear solver (Gaussian elimination with partial pivoting) and a root by bisection.

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
