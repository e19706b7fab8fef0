#include "calibration/lsqsolve.hpp"

#include <cmath>
#include <memory>

#include "base/fatal.hpp"
#include "textio/channels.hpp"

namespace qv {
namespace {

// Leverage of each row from the unscaled covariance in `xx`.
void hatvalues(Calibration& cal, int n) {
    for (int r = 1; r <= cal.nobs; ++r) {
        real s = 0;
        const auto& xr = cal.x[r];
        const auto& br = cal.b[r];
        for (int j = 1; j <= n; ++j) {
            if (!br[j]) continue;
            for (int k = 1; k <= n; ++k) {
                if (!br[k]) continue;
                s += xr[j] * cal.xx[k][j] * xr[k];
            }
        }
        const real sd = cal.sdy[r];
        cal.hat[r] = s / (sd * sd);
    }
}

}  // namespace

void qr(Calibration& cal) {
    const int n = cal.ntp;
    const int nobs = cal.nobs;
    auto& a = cal.xx;
    for (int r = 1; r <= nobs; ++r) {
        for (int j = 1; j <= n; ++j) {
            a[r][j] = cal.b[r][j] ? cal.x[r][j] / cal.sdy[r] : 0;
        }
        cal.yy[r] = cal.y[r] / cal.sdy[r];
    }
    auto vrows = std::make_unique<Fixed1<real, maxnexp>>();
    Fixed1<real, maxnexp>& v = *vrows;
    for (int k = 1; k <= n; ++k) {
        real scale = 0;
        for (int r = k; r <= nobs; ++r) scale += std::fabs(a[r][k]);
        if (scale == 0) bomb("qr", "matrix is singular", yourfault);
        real s = 0;
        for (int r = k; r <= nobs; ++r) {
            v[r] = a[r][k] / scale;
            s += v[r] * v[r];
        }
        const real sigma = v[k] >= 0 ? -std::sqrt(s) : std::sqrt(s);
        const real h = v[k] * sigma - s;
        v[k] -= sigma;
        a[k][k] = scale * sigma;
        for (int j = k + 1; j <= n; ++j) {
            real f = 0;
            for (int r = k; r <= nobs; ++r) f += a[r][j] * v[r];
            for (int r = k; r <= nobs; ++r) a[r][j] += v[r] * f / h;
        }
        real f = 0;
        for (int r = k; r <= nobs; ++r) f += cal.yy[r] * v[r];
        for (int r = k; r <= nobs; ++r) cal.yy[r] += v[r] * f / h;
    }
    auto& theta = cal.theta;
    theta[n] = cal.yy[n] / a[n][n];
    for (int i = n - 1; i >= 1; --i) {
        real s = cal.yy[i];
        for (int j = i + 1; j <= n; ++j) s -= a[i][j] * theta[j];
        theta[i] = s / a[i][i];
    }
    real ss = 0;
    for (int r = n + 1; r <= nobs; ++r) ss += cal.yy[r] * cal.yy[r];
    cal.sigfit2 = nobs > n ? ss / static_cast<real>(nobs - n) : ss;

    // Covariance (R'R)^-1 in place, from the last row up; the strict upper triangle of R is
    // still needed for the rows above, so the covariance of row i goes into row i and the
    // lower triangle, then is mirrored.
    Fixed1<real, maxntp> w{};
    auto covm = std::make_unique<Fixed1<Fixed1<real, maxntp>, maxntp>>();
    Fixed1<Fixed1<real, maxntp>, maxntp>& cov = *covm;
    cov[n][n] = 1 / (a[n][n] * a[n][n]);
    for (int i = n - 1; i >= 1; --i) {
        const real d = -1 / a[i][i];
        for (int j = i + 1; j <= n; ++j) w[j] = a[i][j];
        real s = 0;
        for (int j = i + 1; j <= n; ++j) {
            real f = 0;
            for (int k = i + 1; k <= n; ++k) f += cov[j][k] * w[k];
            s += w[j] * f;
            cov[i][j] = d * f;
            cov[j][i] = d * f;
        }
        cov[i][i] = (s + 1) * d * d;
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) a[i][j] = cov[i][j];
    }
    hatvalues(cal, n);
}

void choleski(Session& ses, Calibration& cal) {
    putstr(ses, 1, "constructing LSQ for choleski...", 1, screenlogmask);
    const int n = cal.ntp;
    const int nobs = cal.nobs;
    auto& a = cal.xx;
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = 0;
            for (int r = 1; r <= nobs; ++r) {
                if (cal.b[r][i] && cal.b[r][j]) {
                    s += cal.x[r][j] * cal.x[r][i] / (cal.sdy[r] * cal.sdy[r]);
                }
            }
            a[i][j] = s;
            a[j][i] = s;
        }
        real s = 0;
        for (int r = 1; r <= nobs; ++r) {
            if (cal.b[r][i]) s += cal.y[r] * cal.x[r][i] / (cal.sdy[r] * cal.sdy[r]);
        }
        cal.yy[i] = s;
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j < i; ++j) {
            real s = a[i][j];
            for (int k = 1; k < j; ++k) s -= a[j][k] * a[i][k];
            a[i][j] = s / a[j][j];
        }
        real s = a[i][i];
        for (int k = 1; k < i; ++k) s -= a[i][k] * a[i][k];
        if (s <= 0) bomb("choleski", "sqrt", yourfault);
        a[i][i] = std::sqrt(s);
    }
    Fixed1<real, maxntp> w{};
    for (int i = 1; i <= n; ++i) {
        real s = cal.yy[i];
        for (int k = 1; k < i; ++k) s -= a[i][k] * w[k];
        w[i] = s / a[i][i];
    }
    for (int i = n; i >= 1; --i) {
        real s = w[i];
        for (int k = i + 1; k <= n; ++k) s -= a[k][i] * cal.theta[k];
        cal.theta[i] = s / a[i][i];
    }
    real ss = 0;
    for (int r = 1; r <= nobs; ++r) {
        real e = cal.y[r];
        for (int j = 1; j <= n; ++j) {
            if (cal.b[r][j]) e -= cal.theta[j] * cal.x[r][j];
        }
        e /= cal.sdy[r];
        ss += e * e;
    }
    cal.sigfit2 = nobs > n ? ss / static_cast<real>(nobs - n) : ss;
    std::string line = "lsq (choleski) gives sigfit = ";
    addreal(3, true, 0, line, std::sqrt(cal.sigfit2));
    addstr("     (ndf = ", 0, line);
    addgreal(0, line, nobs - n);
    addstr(")", 0, line);
    putstr(ses, 1, line, 1, screensummarylogmask);

    // Inverse of L, then Cov = L^-T L^-1 in the upper triangle, mirrored.
    auto lim = std::make_unique<Fixed1<Fixed1<real, maxntp>, maxntp>>();
    Fixed1<Fixed1<real, maxntp>, maxntp>& li = *lim;
    for (int j = 1; j <= n; ++j) {
        for (int r = j; r <= n; ++r) {
            real s = r == j ? 1 : 0;
            for (int k = j; k < r; ++k) s -= a[r][k] * li[k][j];
            li[r][j] = s / a[r][r];
        }
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = 0;
            for (int k = j; k <= n; ++k) s += li[k][i] * li[k][j];
            a[i][j] = s;
            a[j][i] = s;
        }
    }
    hatvalues(cal, n);
}

}  // namespace qv
