#include "numerics/svd.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace qv {
namespace {

// A singular value of this size or more is left where it stands by the final sort.
constexpr real sortbound = 1e35L;
constexpr int maxpasses = 31;

std::string rightjustified(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// The rows of a work matrix, reached directly: every row the call may reach is made before it
// starts, so the inner loops need no bounds checks and no table look-ups.
struct Row {
    real* d;
    real& operator[](int c) const { return d[c - 1]; }
};
struct Rows {
    std::vector<real*> p;  // p[r] is row r, from 1
    Row operator[](int r) const { return Row{p[static_cast<std::size_t>(r)]}; }
};

template <class M>
Rows rowsof(M& m, int count) {
    Rows r;
    r.p.assign(static_cast<std::size_t>(count) + 1, nullptr);
    for (int i = 1; i <= count; ++i) r.p[static_cast<std::size_t>(i)] = m[i].a.data();
    return r;
}

// One call's working state; the steps are the stages of the Golub-Reinsch method and share the
// superdiagonal rv1 and the norm estimate anorm.
struct SvdCall {
    Rows a;
    svdvector& w;
    Rows v;
    int m;
    int n;
    svdvector rv1{};
    real anorm = 0;

    // An element too small to change the norm estimate counts as zero: the split test of the QR
    // iteration.
    bool negligible(real e) const { return anorm + std::fabs(e) == anorm; }

    void rotatecolumnsofa(int j, int i, real c, real s) {
        for (int r = 1; r <= m; ++r) {
            const real y = a[r][j];
            const real z = a[r][i];
            a[r][j] = y * c + z * s;
            a[r][i] = z * c - y * s;
        }
    }

    void rotatecolumnsofv(int j, int i, real c, real s) {
        for (int r = 1; r <= n; ++r) {
            const real x = v[r][j];
            const real z = v[r][i];
            v[r][j] = x * c + z * s;
            v[r][i] = z * c - x * s;
        }
    }

    // Householder reflections from the left (columns) and right (rows) alternately reduce A to
    // upper bidiagonal form: diagonal in w, superdiagonal in rv1.
    void svdbidiag() {
        real g = 0;
        real scale = 0;
        anorm = 0;
        for (int i = 1; i <= n; ++i) {
            const int l = i + 1;
            rv1[i] = scale * g;
            g = 0;
            real s = 0;
            scale = 0;
            if (i <= m) {
                for (int k = i; k <= m; ++k) scale += std::fabs(a[k][i]);
                if (scale != 0) {
                    for (int k = i; k <= m; ++k) {
                        a[k][i] /= scale;
                        s += a[k][i] * a[k][i];
                    }
                    const real f = a[i][i];
                    g = f >= 0 ? -std::sqrt(s) : std::sqrt(s);
                    const real h = f * g - s;
                    a[i][i] = f - g;
                    for (int j = l; j <= n; ++j) {
                        real sum = 0;
                        for (int k = i; k <= m; ++k) sum += a[k][i] * a[k][j];
                        const real factor = sum / h;
                        for (int k = i; k <= m; ++k) a[k][j] += factor * a[k][i];
                    }
                    for (int k = i; k <= m; ++k) a[k][i] *= scale;
                }
            }
            w[i] = scale * g;
            g = 0;
            s = 0;
            scale = 0;
            if (i <= m && l <= n) {
                for (int k = l; k <= n; ++k) scale += std::fabs(a[i][k]);
                if (scale != 0) {
                    for (int k = l; k <= n; ++k) {
                        a[i][k] /= scale;
                        s += a[i][k] * a[i][k];
                    }
                    const real f = a[i][l];
                    g = f >= 0 ? -std::sqrt(s) : std::sqrt(s);
                    const real h = f * g - s;
                    a[i][l] = f - g;
                    for (int k = l; k <= n; ++k) rv1[k] = a[i][k] / h;
                    for (int j = l; j <= m; ++j) {
                        real sum = 0;
                        for (int k = l; k <= n; ++k) sum += a[j][k] * a[i][k];
                        for (int k = l; k <= n; ++k) a[j][k] += sum * rv1[k];
                    }
                    for (int k = l; k <= n; ++k) a[i][k] *= scale;
                }
            }
            anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
        }
    }

    // The product of the right-hand reflections, built backwards into V.
    void svdrightaccum() {
        v[n][n] = 1;
        for (int i = n - 1; i >= 1; --i) {
            const int l = i + 1;
            const real g = rv1[l];
            if (g != 0) {
                // Divided twice rather than by the product, to avoid underflow.
                for (int j = l; j <= n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j <= n; ++j) {
                    real s = 0;
                    for (int k = l; k <= n; ++k) s += a[i][k] * v[k][j];
                    for (int k = l; k <= n; ++k) v[k][j] += s * v[k][i];
                }
            }
            for (int j = l; j <= n; ++j) {
                v[i][j] = 0;
                v[j][i] = 0;
            }
            v[i][i] = 1;
        }
    }

    // The product of the left-hand reflections, built backwards over A itself, which becomes U.
    void svdleftaccum() {
        for (int i = std::min(m, n); i >= 1; --i) {
            const int l = i + 1;
            const real g = w[i];
            for (int j = l; j <= n; ++j) a[i][j] = 0;
            if (g != 0) {
                for (int j = l; j <= n; ++j) {
                    real s = 0;
                    for (int k = l; k <= m; ++k) s += a[k][i] * a[k][j];
                    const real f = (s / a[i][i]) / g;
                    for (int k = i; k <= m; ++k) a[k][j] += f * a[k][i];
                }
                for (int j = i; j <= m; ++j) a[j][i] /= g;
            } else {
                for (int j = i; j <= m; ++j) a[j][i] = 0;
            }
            a[i][i] += 1;
        }
    }

    // Looks down from k for a negligible superdiagonal element, which splits the bidiagonal
    // matrix. A negligible diagonal element w[l-1] instead is chased off by Givens rotations from
    // the left, which zero rv1[l..k]. Returns l; l = k means w[k] has converged.
    int svdsplit(int k) {
        int l = k;
        bool cancel = false;
        for (; l >= 1; --l) {
            if (negligible(rv1[l])) break;
            if (negligible(w[l - 1])) {
                cancel = true;
                break;
            }
        }
        if (cancel) {
            real c = 0;
            real s = 1;
            for (int i = l; i <= k; ++i) {
                const real f = s * rv1[i];
                rv1[i] = c * rv1[i];
                if (negligible(f)) break;
                const real g = w[i];
                const real h = std::sqrt(f * f + g * g);
                w[i] = h;
                c = g / h;
                s = -f / h;
                rotatecolumnsofa(l - 1, i, c, s);
            }
        }
        return l;
    }

    // One implicit-shift QR sweep over rows and columns l..k, the shift taken from the trailing
    // 2 x 2 block so that it approaches w[k].
    void svdqrstep(int k, int l) {
        real x = w[l];
        real y = w[k - 1];
        real z = w[k];
        real g = rv1[k - 1];
        real h = rv1[k];
        real f = ((g + h) * (g - h) + (y + z) * (y - z)) / (2 * h * y);
        g = std::sqrt(1 + f * f);
        f = f >= 0 ? f + g : f - g;
        f = ((x + z) * (x - z) + h * (y / f - h)) / x;
        real c = 1;
        real s = 1;
        for (int j = l; j <= k - 1; ++j) {
            const int i = j + 1;
            g = rv1[i];
            y = w[i];
            h = s * g;
            g = c * g;
            z = std::sqrt(h * h + f * f);
            rv1[j] = z;
            c = f / z;
            s = h / z;
            f = x * c + g * s;
            g = g * c - x * s;
            h = y * s;
            y = y * c;
            rotatecolumnsofv(j, i, c, s);
            z = std::sqrt(h * h + f * f);
            w[j] = z;
            if (z > 0) {
                c = f / z;
                s = h / z;
            }
            f = c * g + s * y;
            x = c * y - s * g;
            rotatecolumnsofa(j, i, c, s);
        }
        rv1[l] = 0;
        rv1[k] = f;
        w[k] = x;
    }

    void diagonalise(Console& con) {
        for (int k = n; k >= 1; --k) {
            for (int pass = 1; pass <= maxpasses; ++pass) {
                const int l = svdsplit(k);
                if (l != k) svdqrstep(k, l);
                if (pass == maxpasses) {
                    con.write("too many iterations (k = " + rightjustified(std::to_string(k), 4) +
                              ")\n");
                }
                if (l == k) break;
            }
            if (w[k] < 0) {
                w[k] = -w[k];
                for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
            }
        }
    }

    // Selection sort into ascending order, carrying the columns of U and V along.
    void svdsort() {
        for (int i = 1; i <= n - 1; ++i) {
            real smallest = sortbound;
            int jmin = 0;
            for (int j = i; j <= n; ++j) {
                if (w[j] < smallest) {
                    smallest = w[j];
                    jmin = j;
                }
            }
            if (jmin == 0) return;
            std::swap(w[i], w[jmin]);
            for (int r = 1; r <= n; ++r) std::swap(v[r][i], v[r][jmin]);
            for (int r = 1; r <= m; ++r) std::swap(a[r][i], a[r][jmin]);
        }
    }
};

}  // namespace

void svd(Console& con, SvdArrays& s, int16 m, int16 n) {
    s.svdw.fill(0);
    if (n < 1) return;
    // Rows of A up to the larger of m and n, as the steps may reach them; V is n x n.
    const int rows = std::max<int>(m, n);
    SvdCall call{rowsof(s.svda, rows), s.svdw, rowsof(s.svdv, n), m, n};
    call.svdbidiag();
    call.svdrightaccum();
    call.svdleftaccum();
    call.diagonalise(con);
    call.svdsort();
}

}  // namespace qv
