#include "calibration/lsqsolve.hpp"

#include <cmath>
#include <vector>

#include "base/fatal.hpp"
#include "textio/channels.hpp"

namespace qv {
namespace {

// Leverage of each row from the unscaled covariance in `xx`.
void hatvalues(Calibration& cal, int n) {
    for (int r = 1; r <= cal.nobs; ++r) {
        real s = 0;
        const auto& xr = cal.x[static_cast<std::size_t>(r)];
        const auto& br = cal.b[static_cast<std::size_t>(r)];
        for (int j = 1; j <= n; ++j) {
            if (!br[static_cast<std::size_t>(j)]) continue;
            for (int k = 1; k <= n; ++k) {
                if (!br[static_cast<std::size_t>(k)]) continue;
                s += xr[static_cast<std::size_t>(j)] *
                     cal.xx[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] *
                     xr[static_cast<std::size_t>(k)];
            }
        }
        const real sd = cal.sdy[static_cast<std::size_t>(r)];
        cal.hat[static_cast<std::size_t>(r)] = s / (sd * sd);
    }
}

}  // namespace

void qr(Calibration& cal) {
    const int n = cal.ntp;
    const int nobs = cal.nobs;
    auto& a = cal.xx;
    const auto u = [](int i) { return static_cast<std::size_t>(i); };
    for (int r = 1; r <= nobs; ++r) {
        for (int j = 1; j <= n; ++j) {
            a[u(r)][u(j)] = cal.b[u(r)][u(j)] ? cal.x[u(r)][u(j)] / cal.sdy[u(r)] : 0;
        }
        cal.yy[u(r)] = cal.y[u(r)] / cal.sdy[u(r)];
    }
    std::vector<real> v(u(nobs) + 1, 0);
    for (int k = 1; k <= n; ++k) {
        real scale = 0;
        for (int r = k; r <= nobs; ++r) scale += std::fabs(a[u(r)][u(k)]);
        if (scale == 0) bomb("qr", "matrix is singular", yourfault);
        real s = 0;
        for (int r = k; r <= nobs; ++r) {
            v[u(r)] = a[u(r)][u(k)] / scale;
            s += v[u(r)] * v[u(r)];
        }
        const real sigma = v[u(k)] >= 0 ? -std::sqrt(s) : std::sqrt(s);
        const real h = v[u(k)] * sigma - s;
        v[u(k)] -= sigma;
        a[u(k)][u(k)] = scale * sigma;
        for (int j = k + 1; j <= n; ++j) {
            real f = 0;
            for (int r = k; r <= nobs; ++r) f += a[u(r)][u(j)] * v[u(r)];
            for (int r = k; r <= nobs; ++r) a[u(r)][u(j)] += v[u(r)] * f / h;
        }
        real f = 0;
        for (int r = k; r <= nobs; ++r) f += cal.yy[u(r)] * v[u(r)];
        for (int r = k; r <= nobs; ++r) cal.yy[u(r)] += v[u(r)] * f / h;
    }
    auto& theta = cal.theta;
    theta[u(n)] = cal.yy[u(n)] / a[u(n)][u(n)];
    for (int i = n - 1; i >= 1; --i) {
        real s = cal.yy[u(i)];
        for (int j = i + 1; j <= n; ++j) s -= a[u(i)][u(j)] * theta[u(j)];
        theta[u(i)] = s / a[u(i)][u(i)];
    }
    real ss = 0;
    for (int r = n + 1; r <= nobs; ++r) ss += cal.yy[u(r)] * cal.yy[u(r)];
    cal.sigfit2 = nobs > n ? ss / static_cast<real>(nobs - n) : ss;

    // Covariance (R'R)^-1 in place, from the last row up; the strict upper triangle of R is
    // still needed for the rows above, so the covariance of row i goes into row i and the
    // lower triangle, then is mirrored.
    std::vector<real> w(u(n) + 1, 0);
    std::vector<std::vector<real>> cov(u(n) + 1, std::vector<real>(u(n) + 1, 0));
    cov[u(n)][u(n)] = 1 / (a[u(n)][u(n)] * a[u(n)][u(n)]);
    for (int i = n - 1; i >= 1; --i) {
        const real d = -1 / a[u(i)][u(i)];
        for (int j = i + 1; j <= n; ++j) w[u(j)] = a[u(i)][u(j)];
        real s = 0;
        for (int j = i + 1; j <= n; ++j) {
            real f = 0;
            for (int k = i + 1; k <= n; ++k) f += cov[u(j)][u(k)] * w[u(k)];
            s += w[u(j)] * f;
            cov[u(i)][u(j)] = d * f;
            cov[u(j)][u(i)] = d * f;
        }
        cov[u(i)][u(i)] = (s + 1) * d * d;
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) a[u(i)][u(j)] = cov[u(i)][u(j)];
    }
    hatvalues(cal, n);
}

void choleski(Session& ses, Calibration& cal) {
    putstr(ses, 1, "constructing LSQ for choleski...", 1, 9);
    const int n = cal.ntp;
    const int nobs = cal.nobs;
    auto& a = cal.xx;
    const auto u = [](int i) { return static_cast<std::size_t>(i); };
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = 0;
            for (int r = 1; r <= nobs; ++r) {
                if (cal.b[u(r)][u(i)] && cal.b[u(r)][u(j)]) {
                    s += cal.x[u(r)][u(j)] * cal.x[u(r)][u(i)] / (cal.sdy[u(r)] * cal.sdy[u(r)]);
                }
            }
            a[u(i)][u(j)] = s;
            a[u(j)][u(i)] = s;
        }
        real s = 0;
        for (int r = 1; r <= nobs; ++r) {
            if (cal.b[u(r)][u(i)])
                s += cal.y[u(r)] * cal.x[u(r)][u(i)] / (cal.sdy[u(r)] * cal.sdy[u(r)]);
        }
        cal.yy[u(i)] = s;
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j < i; ++j) {
            real s = a[u(i)][u(j)];
            for (int k = 1; k < j; ++k) s -= a[u(j)][u(k)] * a[u(i)][u(k)];
            a[u(i)][u(j)] = s / a[u(j)][u(j)];
        }
        real s = a[u(i)][u(i)];
        for (int k = 1; k < i; ++k) s -= a[u(i)][u(k)] * a[u(i)][u(k)];
        if (s <= 0) bomb("choleski", "sqrt", yourfault);
        a[u(i)][u(i)] = std::sqrt(s);
    }
    std::vector<real> w(u(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        real s = cal.yy[u(i)];
        for (int k = 1; k < i; ++k) s -= a[u(i)][u(k)] * w[u(k)];
        w[u(i)] = s / a[u(i)][u(i)];
    }
    for (int i = n; i >= 1; --i) {
        real s = w[u(i)];
        for (int k = i + 1; k <= n; ++k) s -= a[u(k)][u(i)] * cal.theta[u(k)];
        cal.theta[u(i)] = s / a[u(i)][u(i)];
    }
    real ss = 0;
    for (int r = 1; r <= nobs; ++r) {
        real e = cal.y[u(r)];
        for (int j = 1; j <= n; ++j) {
            if (cal.b[u(r)][u(j)]) e -= cal.theta[u(j)] * cal.x[u(r)][u(j)];
        }
        e /= cal.sdy[u(r)];
        ss += e * e;
    }
    cal.sigfit2 = nobs > n ? ss / static_cast<real>(nobs - n) : ss;
    std::string line = "lsq (choleski) gives sigfit = ";
    addreal(3, true, 0, line, std::sqrt(cal.sigfit2));
    addstr("     (ndf = ", 0, line);
    addgreal(0, line, nobs - n);
    addstr(")", 0, line);
    putstr(ses, 1, line, 1, 13);

    // Inverse of L, then Cov = L^-T L^-1 in the upper triangle, mirrored.
    std::vector<std::vector<real>> li(u(n) + 1, std::vector<real>(u(n) + 1, 0));
    for (int j = 1; j <= n; ++j) {
        for (int r = j; r <= n; ++r) {
            real s = r == j ? 1 : 0;
            for (int k = j; k < r; ++k) s -= a[u(r)][u(k)] * li[u(k)][u(j)];
            li[u(r)][u(j)] = s / a[u(r)][u(r)];
        }
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = 0;
            for (int k = j; k <= n; ++k) s += li[u(k)][u(i)] * li[u(k)][u(j)];
            a[u(i)][u(j)] = s;
            a[u(j)][u(i)] = s;
        }
    }
    hatvalues(cal, n);
}

}  // namespace qv
