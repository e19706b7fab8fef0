#include <algorithm>
#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "solver/calcre.hpp"

namespace qv {

void realreaction(const cmatrix& a, int16 m, int16 n, emvector& x) {
    if (m > maxcomp || n > maxem) index_fault();
    RealRows w(m, n);
    for (int16 i = 1; i <= m; ++i) {
        for (int16 j = 1; j <= n; ++j) w.at(i, j) = a[i][j];
    }
    realreaction(w, x);
}

void realreaction(RealRows& w, emvector& x) {
    const int16 m = w.rows();
    const int16 n = w.cols();
    if (n < 1 || n > maxem || m > maxcomp) index_fault();
    std::vector<int16> perm(static_cast<std::size_t>(n) + 1);
    for (int16 j = 1; j <= n; ++j) perm[j] = j;
    constexpr real small = 1e-5L;
    for (int16 k = 1;; ++k) {
        if (k > m) {
            // Every row holds a pivot: more than m + 1 columns would need rows beyond the data.
            if (n > m + 1) bomb("realreaction", "no reaction - WHY", myfault);
            break;
        }
        int16 pr = 0, pc = 0;
        for (int16 c = k; c <= n && pr == 0; ++c) {
            for (int16 r = k; r <= m; ++r) {
                if (std::fabs(w.at(r, c)) >= small) {
                    pr = r;
                    pc = c;
                    break;
                }
            }
        }
        if (pr == 0) break;
        if (pc > k) {
            for (int16 r = 1; r <= m; ++r) std::swap(w.at(r, pc), w.at(r, k));
            std::swap(perm[pc], perm[k]);
        }
        if (pr > k) std::swap_ranges(w.row(pr), w.row(pr) + n, w.row(k));
        const real f = 1 / w.at(k, k);
        for (int16 i = narrow16(k + 1); i <= m; ++i) {
            if (w.at(i, k) == 0) continue;
            for (int16 j = narrow16(k + 1); j <= n; ++j) {
                w.at(i, j) -= w.at(i, k) * w.at(k, j) * f;
                if (std::fabs(w.at(i, j)) < small) w.at(i, j) = 0;
            }
            w.at(i, k) = 0;
        }
        if (k == n) break;
    }
    // Beyond the data (n > m) the last diagonal entry is 0: the last column depends.
    if (n - 1 != m && n <= m && !(std::fabs(w.at(n, n)) < small)) {
        bomb("realreaction", "no reaction - WHY", myfault);
    }
    std::vector<real> y(static_cast<std::size_t>(n) + 1);
    y[n] = -1;
    for (int16 i = narrow16(n - 1); i >= 1; --i) {
        if (i <= m && std::fabs(w.at(i, i)) >= small) {
            real sum = w.at(i, n);
            for (int16 j = narrow16(i + 1); j <= n - 1; ++j) sum -= w.at(i, j) * y[j];
            y[i] = sum / w.at(i, i);
        } else {
            y[i] = 0;
        }
    }
    for (int16 j = 1; j <= maxem; ++j) x[j] = 0;
    for (int16 i = 1; i <= n - 1; ++i) x[perm[i]] = y[i];
    x[perm[n]] = -1;
}

}  // namespace qv
