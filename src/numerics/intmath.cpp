#include "numerics/intmath.hpp"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

// alpha * bi - beta * br with row i entering positively, as the elimination step forms it.
int32 combine(int32 alpha, int32 beta, int32 bi, int32 br, const char* routine) {
    const int64 v =
        alpha >= 0 ? int64{alpha} * bi - int64{beta} * br : -int64{alpha} * bi + int64{beta} * br;
    return fit32(v, routine);
}

// Fraction-free reduction shared by the rank and the null space. With `jordan` the pivot
// column is cleared in the rows above as well (Gauss-Jordan form) and the pivot column of
// each row is recorded.
struct Reducer {
    liemmatrix& b;
    int16 m, n;
    bool jordan;
    const char* routine;
    Fixed1<int16, maxem> pivotcol{};  // pivot column of each row, 0 = none
    Fixed1<bool, maxem> ispivot{};    // column holds a pivot

    int16 reduce() {
        const int16 mn = m < n ? m : n;
        int16 r = 0;
        int16 c = 0;
        bool found = false;
        for (;;) {
            ++r;
            int16 k = 0;
            found = false;
            if (b[r][c + 1] != 0) {
                k = r;
                c = narrow16(c + 1);
                found = true;
            } else {
                for (int16 col = narrow16(c + 1); col <= n && !found; ++col) {
                    for (int16 row = r; row <= m; ++row) {
                        if (b[row][col] != 0) {
                            k = row;
                            c = col;
                            found = true;
                            break;
                        }
                    }
                }
            }
            if (jordan) {
                pivotcol[r] = found ? c : int16{0};
                if (found) ispivot[c] = true;
            }
            if (!found) break;
            if (c == n) {
                // A pivot in the last column leaves nothing to eliminate to its right.
                b[r][n] = b[k][n];
                break;
            }
            pivotrow(r, k, c);
            if (r == mn) break;
        }
        return found ? r : narrow16(r - 1);
    }

    // (The rows are reached through plain pointers, entry j at [j - 1]: the columns are
    // 1..n <= maxem, as the bounds of the rows allow.)
    void pivotrow(int16 r, int16 k, int16 c) {
        if (n > maxem) index_fault();
        int32* br = b[r].a.data();
        int32* bk = b[k].a.data();
        int32 p = bk[c - 1];
        if (k > r) {
            br[c - 1] = p;
            bk[c - 1] = 0;
            for (int16 j = narrow16(c + 1); j <= n; ++j) std::swap(br[j - 1], bk[j - 1]);
        }
        const auto len = narrow16(n - c + 1);
        const int32 g = vectorgcd(br + (c - 1), len);
        if (g > 1) {
            p /= g;
            for (int16 j = c; j <= n; ++j) br[j - 1] /= g;
        }
        const int16 first = jordan ? int16{1} : narrow16(r + 1);
        for (int16 i = first; i <= m; ++i) {
            if (i == r) continue;
            int32* bi = b[i].a.data();
            if (bi[c - 1] == 0) continue;
            const int32 h = gcd(p, bi[c - 1]);
            const int32 alpha = p / h;
            const int32 beta = bi[c - 1] / h;
            const int16 j0 = jordan ? int16{1} : narrow16(c + 1);
            for (int16 j = j0; j <= n; ++j) {
                if (j == c) continue;
                bi[j - 1] = combine(alpha, beta, bi[j - 1], br[j - 1], routine);
            }
            if (jordan) bi[c - 1] = 0;
        }
    }
};

}  // namespace

[[noreturn]] void overflow(const char* routine) {
    bomb(routine, std::string("integer overflow in ") + routine, yourfault);
}

int32 fit32(int64 v, const char* routine) {
    if (v < std::numeric_limits<int32>::min() || v > std::numeric_limits<int32>::max()) {
        overflow(routine);
    }
    return static_cast<int32>(v);
}

int16 fit16(int64 v, const char* routine) {
    if (v < std::numeric_limits<int16>::min() || v > std::numeric_limits<int16>::max()) {
        overflow(routine);
    }
    return narrow16(v);
}

int64 gcd64(int64 a, int64 b) {
    a = a < 0 ? -a : a;
    b = b < 0 ? -b : b;
    while (b != 0) {
        const int64 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

int32 gcd(int32 a, int32 b) {
    return fit32(gcd64(a, b), "gcd");
}

int32 vectorgcd(const int32* v, int16 n) {
    if (n < 1 || n > maxem) return 0;
    if (n == 1) return v[0];
    if (n == 2) return gcd(v[0], v[1]);
    int64 g = v[n - 1] < 0 ? -int64{v[n - 1]} : int64{v[n - 1]};
    for (int i = n - 1; i >= 1 && g != 1; --i) g = gcd64(v[i - 1], g);
    return fit32(g, "vectorgcd");
}

int32 vectorgcd(const liemvector& v, int16 n) {
    return vectorgcd(v.a.data(), n);
}

int32 lcm(int32 a, int32 b) {
    if (a == 0 || b == 0) return 0;
    if (a == b) return b;
    // Formed in double, which is exact while the product fits 53 bits; the overflow check follows.
    const int32 reduced = b / gcd(a, b);  // exact: gcd divides b
    const double v = std::round(static_cast<double>(reduced) * static_cast<double>(a));
    const double av = std::fabs(v);
    if (av > static_cast<double>(std::numeric_limits<int32>::max())) overflow("lcm");
    return static_cast<int32>(av);
}

int32 vectorlcm(const liemvector& v, int16 n) {
    if (n < 1) return 0;
    int16 running = fit16(v[1], "vectorlcm");
    for (int i = 2; i <= n; ++i) running = fit16(lcm(running, v[i]), "vectorlcm");
    return running;
}

void rationals2integers(xemvector& x, int16 n, int32& l) {
    liemvector p;
    liemvector q;
    for (int i = 1; i <= n; ++i) real2rational(x[i], p[i], q[i]);
    l = vectorlcm(q, n);
    for (int i = 1; i <= n; ++i) {
        const int64 factor = l / q[i];  // exact: l is a multiple of every q
        x[i] = static_cast<real>(int64{p[i]} * factor);
    }
}

int16 integerechelon(const liemmatrix& a, int16 m, int16 n) {
    auto b = std::make_unique<liemmatrix>(a);
    Reducer red{*b, m, n, false, "integerechelon"};
    return red.reduce();
}

int16 nullspace(const liemmatrix& a, int16 m, int16 n, const icmatrix& c, rmatrix& r,
                int16& nreac) {
    auto b = std::make_unique<liemmatrix>(a);
    Reducer red{*b, m, n, true, "nullspace"};
    const int16 rank = red.reduce();
    liemmatrix& bb = *b;

    for (int16 i = 1; i <= m; ++i) {
        const int32 g = vectorgcd(bb[i], n);
        if (g > 1) {
            for (int16 j = 1; j <= n; ++j) bb[i][j] /= g;
        }
    }

    const int16 mn = m < n ? m : n;
    liemvector num;
    liemvector den;
    liemvector dens;
    for (int16 j = n; j >= 1; --j) {
        if (red.ispivot[j]) continue;
        int16 ndens = 0;
        for (int16 i = 1; i <= mn; ++i) {
            const int16 q = red.pivotcol[i];
            if (q == 0) continue;
            const int32 h = bb[i][j] != 0 ? gcd(bb[i][j], bb[i][q]) : 1;
            num[i] = fit32(-int64{bb[i][j]}, "nullspace") / h;
            den[i] = bb[i][q] / h;
            if (num[i] != 0) dens[++ndens] = den[i];
        }
        // An end-member without composition balances on its own: its reaction is the unit
        // vector (an empty lcm would give the all-zero row).
        const int32 lcmden = ndens > 0 ? vectorlcm(dens, ndens) : 1;

        // The reaction over columns 1..n; the columns beyond are 0 (written as such below).
        std::vector<int64> xs(static_cast<std::size_t>(n) + 1);
        int64* x = xs.data();  // x[k]: column k
        x[j] = lcmden;
        for (int16 i = 1; i <= mn; ++i) {
            const int16 q = red.pivotcol[i];
            if (q != 0) x[q] = int64{num[i]} * lcmden / den[i];
        }
        for (int16 i = 1; i <= m; ++i) {
            int64 sum = 0;
            for (int16 k = 1; k <= n; ++k) sum += x[k] * c[i][k];
            if (sum != 0) bomb("nullspace", "reaction doesn't balance", myfault);
        }
        if (nreac >= maxreac) {
            bomb("nullspace", "too many reactions" + maxtext(maxreac), yourfault);
        }
        ++nreac;
        Fixed1<int16, maxem>& row = r[nreac];
        for (int k = 1; k <= n; ++k) row[k] = fit16(x[k], "nullspace");
        for (int k = n + 1; k <= maxem; ++k) row[k] = 0;
    }
    return rank;
}

}  // namespace qv
