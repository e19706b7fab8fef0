#include <cmath>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "solver/calcre.hpp"

namespace qv {

void realreaction(const cmatrix& a, int16 m, int16 n, emvector& x) {
    // The working copy keeps one row beyond the data for n = m + 1 columns.
    auto mm = std::make_unique<Fixed1<emvector, maxcomp + 1>>();
    Fixed1<emvector, maxcomp + 1>& w = *mm;
    Fixed1<int16, maxem> perm;
    for (int16 j = 1; j <= n; ++j) perm[j] = j;
    for (int16 i = 1; i <= m; ++i) {
        for (int16 j = 1; j <= n; ++j) w[i][j] = a[i][j];
    }
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
                if (std::fabs(w[r][c]) >= small) {
                    pr = r;
                    pc = c;
                    break;
                }
            }
        }
        if (pr == 0) break;
        if (pc > k) {
            for (int16 r = 1; r <= m; ++r) std::swap(w[r][pc], w[r][k]);
            std::swap(perm[pc], perm[k]);
        }
        if (pr > k) std::swap(w[pr], w[k]);
        const real f = 1 / w[k][k];
        for (int16 i = narrow16(k + 1); i <= m; ++i) {
            if (w[i][k] == 0) continue;
            for (int16 j = narrow16(k + 1); j <= n; ++j) {
                w[i][j] -= w[i][k] * w[k][j] * f;
                if (std::fabs(w[i][j]) < small) w[i][j] = 0;
            }
            w[i][k] = 0;
        }
        if (k == n) break;
    }
    // Beyond the data (n > m) the last diagonal entry is 0: the last column depends.
    if (n - 1 != m && n <= m && !(std::fabs(w[n][n]) < small)) {
        bomb("realreaction", "no reaction - WHY", myfault);
    }
    emvector y;
    y[n] = -1;
    for (int16 i = narrow16(n - 1); i >= 1; --i) {
        if (i <= m && std::fabs(w[i][i]) >= small) {
            real sum = w[i][n];
            for (int16 j = narrow16(i + 1); j <= n - 1; ++j) sum -= w[i][j] * y[j];
            y[i] = sum / w[i][i];
        } else {
            y[i] = 0;
        }
    }
    for (int16 j = 1; j <= maxem; ++j) x[j] = 0;
    for (int16 i = 1; i <= n - 1; ++i) x[perm[i]] = y[i];
    x[perm[n]] = -1;
}

}  // namespace qv
