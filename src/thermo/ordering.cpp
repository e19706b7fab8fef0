#include "thermo/ordering.hpp"

#include <cmath>

#include "numerics/convert.hpp"
#include "thermo/volume.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

int16 round16(real x) {
    return narrow16(std::lround(x));
}

// x ln(x/c) with its limit 0 at x = 0 (a site that is empty at full order).
real xlnx(real x, real c) {
    return x == 0 ? 0 : x * std::log(x / c);
}

// bisectfunc for the bisection's decisions only: its sign, and whether it lies below the 0.001 kJ
// stop. Evaluated in double precision (its logarithms five times cheaper, within 1e-8 kJ of the
// extended value on [1e-7, 0.9999999], the worst case at 1 - x near 1e-7), the value decides
// wherever it is clear of 0 and of 0.001 by far more than that; close to either the extended
// value decides, so the bisection takes the same path as in extended precision.
struct BisectDecider {
    int n;
    real t, dg, w, f;
    double rn = n;
    double coef = static_cast<double>((f < 0 ? 1 : f) * rgas * t) * n / (n + 1.0);
    double dgd = static_cast<double>(dg);
    double wd = static_cast<double>(w);
    double fd = static_cast<double>(f);

    real operator()(real x) const {
        constexpr double margin = 1e-6;  // kJ
        const double xd = static_cast<double>(x);
        const double l =
            fd < 0 ? std::log((1 - xd) * rn / (1 + rn * xd)) - fd * std::log((1 - xd) / (rn + xd))
                   : std::log((1 - xd) * (1 - xd) * rn / ((1 + rn * xd) * (rn + xd)));
        const double d = coef * l + dgd + (2 * xd - 1) * wd;
        const double a = std::fabs(d);
        if (a > margin && std::fabs(a - 0.001) > margin) return d;
        return bisectfunc(n, t, dg, w, f, x);
    }
};

}  // namespace

real landaug(const tdvector& row, bool ds190, std::string_view name, real p, real t,
             OrderState order) {
    const real tc0 = row[14];
    const real smax = row[15];
    const real vmax = row[16];
    // A transition below Tr leaves the reference state disordered.
    const real q298 = tc0 > tr ? std::sqrt(1 - tr / tc0) : 0;
    const real tcrit = tc0 + p * vmax / smax;
    real q = 0;
    if (ds190) {
        q = (t <= tcrit && tcrit > 0) ? std::sqrt(1 - t / tcrit) : 0;
    } else {
        q = (t <= tcrit && tc0 > 0) ? std::sqrt((tcrit - t) / tc0) : 0;
    }
    if (order == OrderState::ordered) q = 1;
    if (order == OrderState::disordered) q = 0;
    const real sod = smax * (q298 - q);
    real hod = 0;
    if (ds190) {
        const Murnaghan m = murnaghan(name, row, t);
        hod = smax * (tc0 * q298 * (1 - q298 * q298 / 3) - tcrit * q * (1 - q * q / 3)) +
              vmax * q298 * m.k * m.f * (std::pow(1 + m.n * p / m.k, 1 - 1 / m.n) - 1) / (m.n - 1);
    } else {
        hod = (q298 - q) * p * vmax +
              smax * tc0 * ((q298 - q) - (q298 * q298 * q298 - q * q * q) / 3);
    }
    return hod - t * sod;
}

real bisectfunc(int n, real t, real dg, real w, real f, real x) {
    const real rn = static_cast<real>(n);
    if (f < 0) {
        return (rn / (rn + 1)) * rgas * t *
                   (std::log((1 - x) * rn / (1 + rn * x)) - f * std::log((1 - x) / (rn + x))) +
               dg + (2 * x - 1) * w;
    }
    return (rn * f / (rn + 1)) * rgas * t *
               std::log((1 - x) * (1 - x) * rn / ((1 + rn * x) * (rn + x))) +
           dg + (2 * x - 1) * w;
}

real bisectx(int n, real t, real dg, real w, real f) {
    constexpr real xlo = 1e-7L;
    constexpr real xhi = 0.9999999L;
    const BisectDecider decide{n, t, dg, w, f};
    const real flo = decide(xlo);
    const real fhi = decide(xhi);
    if (fhi > 0) return xhi;
    if (flo < 0) return xlo;
    real lo = xlo;
    real hi = xhi;
    real x = 0.5L;
    real fx = decide(x);
    for (int i = 1; i <= 20; ++i) {
        if (fx > 0) {
            lo = x;
        } else {
            hi = x;
        }
        x = (lo + hi) / 2;
        fx = decide(x);
        if (std::fabs(fx) < 0.001L) break;
    }
    return x;
}

real braggwilliamsg(const tdvector& row, real q, real p, real t) {
    const real dh = row[20], dv = row[21], w = row[22], wv = row[23];
    const real n = static_cast<real>(round16(row[24]));
    const real f = row[25];
    const real a = dh + p * dv;
    const real b = w + p * wv;
    const real hod = a + q * ((w - dh) + p * (wv - dv)) - b * q * q;
    const real l1 = xlnx(1 + n * q, n + 1);
    const real l2 = n * xlnx(1 - q, (n + 1) / n);
    const real l3 = n * xlnx(1 - q, n + 1);
    const real l4 = n * xlnx(n + q, n + 1);
    const real sod = f >= 0 ? -rgas * f * (l1 + l3 + l2 + l4) / (n + 1)
                            : -rgas * (l1 + l2 - f * (l3 + l4)) / (n + 1);
    return hod - t * sod;
}

real gorder(const GemSettings& gs, const tdvector& row, std::string_view name, real p, real t,
            OrderState order) {
    const int16 nbw = gs.ds190 ? 0 : round16(row[24]);
    if (nbw > 0) {
        real q = 0;
        if (order == OrderState::equilibrium) {
            const real a = row[20] + p * row[21];
            const real b = row[22] + p * row[23];
            q = bisectx(nbw, t, a, b, row[25]);
        } else {
            q = order == OrderState::ordered ? 1 : 0;
        }
        return braggwilliamsg(row, q, p, t);
    }
    if (row[15] > 0) return landaug(row, gs.ds190, name, p, t, order);
    return 0;
}

}  // namespace qv
