// One duDA+ least-squares solution: the P and/or T at which the rock's xyz x and the polynomial
// model f(P, T) agree best, minimising (x - f)^T W (x - f) with W = (C_rock + C_calc)^-1 by
// Gauss-Newton steps, with the adjusted values of both sides, their e* and sigfit.

#include <cmath>
#include <memory>

#include "numerics/cholesky.hpp"
#include "numerics/sorting.hpp"
#include "rock/dudaplus.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr int maxiterations = 60;

// Value of variable j's polynomial, with its constant replaced by c[j], and its derivatives.
real modelvalue(DudaState& d, const xyzvector& c, int j, real p, real t, real& dp, real& dt) {
    d.coeffvec = d.polycoeffs[j];
    d.coeffvec[1] = c[j];
    polyvaluedx(d.fit, d.coeffvec, d.pexps, d.texps, dp, dt, p, t);
    return polyvalue(d.fit, d.coeffvec, d.pexps, d.texps, p, t);
}

}  // namespace

void calccovariance(DudaState& d, int16 k) {
    const qvcalctype& rec = d.calc(k);
    const int16 n = d.n();
    d.qvcov = covmatrix{};
    for (int i = 1; i <= n; ++i) {
        d.qvsd[i] = rec.sdxyz[i];
        d.qvcov[i][i] = rec.sdxyz[i] * rec.sdxyz[i];
    }
    int c = 0;
    for (int a = 2; a <= n; ++a) {
        for (int b = 1; b < a; ++b) {
            d.qvcov[a][b] = d.qvcov[b][a] = rec.sdxyz[a] * rec.corr[++c] * rec.sdxyz[b];
        }
    }
}

void mediancov(DudaState& d) {
    const int16 n = d.n();
    const int16 nqv = d.nqv();
    auto list = std::make_unique<sortvector>();
    d.qvcov = covmatrix{};
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k <= nqv; ++k) (*list)[k] = d.calc(k).sdxyz[i];
        d.qvsd[i] = findmedian(*list, nqv);
        d.qvcov[i][i] = d.qvsd[i] * d.qvsd[i];
    }
    int c = 0;
    for (int a = 2; a <= n; ++a) {
        for (int b = 1; b < a; ++b) {
            ++c;
            for (int k = 1; k <= nqv; ++k) (*list)[k] = d.calc(k).corr[c];
            const real r = std::clamp(findmedian(*list, nqv), -0.95L, 0.95L);
            d.qvcov[a][b] = d.qvcov[b][a] = d.qvsd[b] * d.qvsd[a] * r;
        }
    }
}

void avptweights(DudaState& d, int16 /*k*/) {
    whiten(d, d.qvcov, d.qvwhiten, d.n());
}

bool avptiterate(DudaState& d, const xyzvector& x, const xyzvector& c, int16 calcno, real& p,
                 real& t, real& sigfit, bool print) {
    Console& con = d.ses.console;
    const int16 n = d.n();
    const bool duda = !d.avpplus && !d.avtplus;
    const bool report = print && d.in.set.avptinfo > 0;
    if (calcno > 0) calccovariance(d, calcno);
    real dpj = 0, dtj = 0;
    for (int j = 1; j <= n; ++j) {
        d.xyzpair[j] = x[j];
        d.xyzpair[n + j] = modelvalue(d, c, j, p, t, dpj, dtj);
    }
    d.xyzadj = d.xyzpair;
    covmatrix v{};
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) v[i][j] = d.rockcov[i][j] + d.qvcov[i][j];
    }
    invmatrix w{};
    cholinvert(con, v, w, n);

    const Windows& win = d.in.win;
    bool converged = false;
    bool outside = false;
    real nlast = 0;
    for (int it = 1; it <= maxiterations && !converged && !outside; ++it) {
        xyzvector r{}, a1{}, a2{};
        for (int j = 1; j <= n; ++j) {
            d.xyzpair[n + j] = modelvalue(d, c, j, p, t, dpj, dtj);
            a1[j] = -dpj;
            a2[j] = -dtj;
            r[j] = x[j] - d.xyzpair[n + j];
        }
        // Normal equations of the linearised problem.
        real n11 = 0, n12 = 0, n22 = 0, g1 = 0, g2 = 0;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                n11 += a1[i] * w[i][j] * a1[j];
                n12 += a1[i] * w[i][j] * a2[j];
                n22 += a2[i] * w[i][j] * a2[j];
                g1 += a1[i] * w[i][j] * r[j];
                g2 += a2[i] * w[i][j] * r[j];
            }
        }
        real dp = 0, dt = 0;
        if (duda) {
            const real det = n11 * n22 - n12 * n12;
            dp = -(n22 * g1 - n12 * g2) / det;
            dt = -(-n12 * g1 + n11 * g2) / det;
        } else if (d.avpplus) {
            dp = -g1 / n11;
            nlast = n11;
        } else {
            dt = -g2 / n22;
            nlast = n22;
        }
        p += dp;
        t += dt;
        if (!(p >= win.pminall && p <= win.pmaxall && t >= win.tminall - 273.15L &&
              t <= win.tmaxall - 273.15L)) {
            outside = true;
            break;
        }
        xyzvector z{};
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) z[i] += w[i][j] * (r[j] + a1[j] * dp + a2[j] * dt);
        }
        for (int i = 1; i <= n; ++i) {
            real crz = 0, cqz = 0;
            for (int j = 1; j <= n; ++j) {
                crz += d.rockcov[i][j] * z[j];
                cqz += d.qvcov[i][j] * z[j];
            }
            d.xyzadj[i] = d.xyzpair[i] - crz;
            d.xyzadj[n + i] = d.xyzpair[n + i] + cqz;
        }
        real zz = 0;
        for (int i = 1; i <= n; ++i) {
            zz += (d.xyzadj[i] - d.xyzadj[n + i]) * (d.xyzadj[i] - d.xyzadj[n + i]);
        }
        const real znorm = std::sqrt(zz);
        converged = std::fabs(dp) < 0.0005L && std::fabs(dt) < 0.005L && znorm < 1e-6L;
        if (report) {
            if (it == 1) con.write("\niteration info\n");
            std::string line = fixw(it, 2, 0);
            if (duda) {
                line += ": dP = " + fixw(dp, 8, 4) + ", dT = " + fixw(dt, 8, 3) +
                        ", ||z|| = " + fixw(znorm, 9, 6);
            } else if (d.avtplus) {
                line += ": dT = " + fixw(dt, 10, 6) + ", ||z|| = " + fixw(znorm, 12, 8);
            } else {
                line += ": P = " + fixw(p, 8, 3) + ", dP = " + fixw(dp, 10, 6) +
                        ", ||z|| = " + fixw(znorm, 12, 8);
            }
            con.write(line + "\n");
        }
    }
    if (report) {
        con.write(converged ? "converged\n"
                  : outside ? "failed (outside of PT data range)\n"
                            : "NOT converged\n");
        if (converged && !duda) {
            d.lastsdfit = nlast > 0 ? std::sqrt(1 / nlast) : 0;
            con.write("(??sd(avP/T+) = " + fixw(d.lastsdfit, 8, 2) + ")\n");
        }
        con.write("\n");
    }
    if (!converged) {
        if (!d.avtplus) p = 0;
        if (!d.avpplus) t = 0;
        sigfit = 0;
        d.adjsd = xyzvector{};
        return false;
    }
    if (calcno > 0) avptweights(d, calcno);
    real s = 0;
    for (int i = 1; i <= n; ++i) {
        real er = 0, eq = 0;
        for (int j = 1; j <= n; ++j) {
            er += d.rockwhiten[i][j] * (d.xyzpair[j] - d.xyzadj[j]);
            eq += d.qvwhiten[i][j] * (d.xyzpair[n + j] - d.xyzadj[n + j]);
        }
        d.estar[i] = er;
        d.estar[n + i] = eq;
        s += er * er + eq * eq;
    }
    sigfit = std::sqrt(s / (duda ? 2 * n - 2 : 2 * n));
    for (int i = 1; i <= n; ++i) {
        real crwcr = 0;
        for (int a = 1; a <= n; ++a) {
            for (int b = 1; b <= n; ++b) crwcr += d.rockcov[i][a] * w[a][b] * d.rockcov[b][i];
        }
        // Round-off can leave a tiny negative variance: it counts as 0.
        d.adjsd[i] = std::sqrt(std::max(real{0}, d.rockcov[i][i] - crwcr));
    }
    return true;
}

}  // namespace qv
