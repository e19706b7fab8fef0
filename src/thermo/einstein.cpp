#include "thermo/einstein.hpp"

#include <cmath>

#include "base/fatal.hpp"
#include "thermo/volume.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;
constexpr real pr = prefk;

}  // namespace

real efun(real u) {
    return 1 / std::expm1(u);
}

real xifun(real u) {
    const real em = std::expm1(u);
    return u * u * (em + 1) / (em * em);
}

EinsteinPair efun_xifun(real u) {
    const real em = std::expm1(u);
    return {1 / em, u * u * (em + 1) / (em * em)};
}

real intpow(int n, real x) {
    if (n == 2) return x * x;
    real r = 1;
    const int m = n < 0 ? -n : n;
    for (int i = 0; i < m; ++i) r *= x;
    return n < 0 ? 1 / r : r;
}

real eicontfrac(real x) {
    real d = 17 - x;
    for (int k = 8; k >= 1; --k) d = (2 * k - 1) - x - static_cast<real>(k * k) / d;
    return -std::exp(x) / d;
}

real eidiff(real a, real b) {
    // Power series in a: sum over m of -(-a)^m/m S(m - 1), S(j) = sum of b^i/i! to i = j.
    real sum = 0;
    real sj = 1;     // S(m - 1)
    real bterm = 1;  // b^(m-1)/(m-1)!
    real apow = 1;   // (-a)^m
    real term = 0;
    for (int m = 1; m <= 16; ++m) {
        if (m > 1) {
            bterm *= b / (m - 1);
            sj += bterm;
        }
        apow *= -a;
        term = -apow * sj / m;
        sum += term;
        if (std::fabs(term) < 1e-8L) return sum;
    }
    return std::exp(b) * (eicontfrac(-b * (1 + a)) - eicontfrac(-b));
}

EinsteinEos::EinsteinEos(real v, real th, real a0, real k, real kp, real kpp, bool hqz)
    : v0(v), theta(th), k0(k), k0p(kp), hqzon(hqz) {
    if (kpp == 0) {
        at = 1;
        bt = kp / k;
        ct = 1 / kp;
    } else {
        at = (1 + kp) / (1 + kp + k * kpp);
        bt = (kp + kp * kp - k * kpp) / (k * (1 + kp));
        ct = (1 + kp + k * kpp) / (kp + kp * kp - k * kpp);
    }
    const real u0 = theta / tr;
    alpha = a0 * k / xifun(u0);
    cs[0] = 1;
    if (hqzon) {
        // (sum over j of (m!/j!) K'^j)/(m + 1)!
        for (int m = 1; m <= 5; ++m) {
            real s = 0;
            real mfact_over_jfact = 1;  // m!/j! for j = m down to 0
            for (int j = m; j >= 0; --j) {
                s += mfact_over_jfact * intpow(j, kp);
                mfact_over_jfact *= j;
            }
            real f = 1;
            for (int i = 2; i <= m + 1; ++i) f *= i;
            cs[m] = s / f;
        }
    } else {
        real prod = 1;
        real f = 1;
        for (int m = 1; m <= 5; ++m) {
            prod *= 1 + m * ct;
            f *= m + 1;
            cs[m] = prod / (f * intpow(m, at * ct));
        }
    }
}

real EinsteinEos::pth(real t) const {
    return alpha * theta * (efun(theta / t) - efun(theta / tr));
}

real EinsteinEos::pcold(real x, real pthv) const {
    if (hqzon) return pr + pthv / x - k0 * eidiff(x - 1, k0p);
    return pr + pthv / x + (std::pow(1 + (x - 1) / at, -1 / ct) - 1) / bt;
}

real EinsteinEos::dpcold(real x, real pthv) const {
    if (hqzon) return -pthv / (x * x) - k0 * std::exp(k0p * (1 - x)) / x;
    return -pthv / (x * x) - k0 * std::pow(1 + (x - 1) / at, -1 / ct - 1);
}

real EinsteinEos::calcv(real p, real t) const {
    const real pthv = pth(t);
    const real s = pthv / k0;
    const real y = (p - pr) / k0;
    const real z = (s - y) / (1 + s);
    real d[6];
    for (int m = 0; m <= 5; ++m) d[m] = cs[m] + s;
    const real w = z / d[0];
    const real d0 = d[0], d1 = d[1], d2 = d[2], d3 = d[3], d4 = d[4], d5 = d[5];
    // Reversion of the pressure series in (x - 1) to the sixth power of z.
    const real t6 =
        w * (42 * intpow(5, d1) +
             d0 * (-84 * d2 * intpow(3, d1) + d0 * (28 * d2 * d2 * d1 + 28 * d3 * d1 * d1 +
                                                    d0 * (d0 * d5 - 7 * d4 * d1 - 7 * d3 * d2))));
    const real t5 = t6 + 14 * intpow(4, d1) +
                    d0 * (-21 * d2 * d1 * d1 + d0 * (3 * d2 * d2 + 6 * d3 * d1 - d0 * d4));
    const real t4 = 5 * intpow(3, d1) + d0 * (d0 * d3 - 5 * d1 * d2) + w * t5;
    const real t3 = (2 * d1 * d1 - d0 * d2) + w * t4;
    const real t2 = d1 + w * t3;
    real x = 1 + z * (1 + w * t2);
    // At high pressure the series can land on the wrong side of the volume collapse.
    bool replaced = false;
    if (p >= 30 && p > (t - 400) * alpha && x > 1) {
        x = 0.8L;
        replaced = true;
    }
    real dx = 1;
    for (int it = 1; it <= 10; ++it) {
        dx = (p - pcold(x, pthv)) / dpcold(x, pthv);
        if (it == 1 && replaced && x + dx < 0.7L) dx = 0.7L - x;
        x += dx;
        if (std::fabs(dx) < 5e-7L) break;
    }
    if (!(std::fabs(dx) < 5e-7L)) bomb("gem", "calc v not converged", yourfault);
    return x;
}

real EinsteinEos::props(real t) const {
    static constexpr real coef[8] = {1.0L,
                                     -1.0L / 6.0L,
                                     0.0152777778L,
                                     -0.00102513228L,
                                     5.64925044e-05L,
                                     -2.71815376e-06L,
                                     1.18504273e-07L,
                                     -4.79617364e-09L};
    const real lnt = std::log(t / tr);
    auto integral_j = [&](int j) -> real {
        if (j == 0) return (t * t - tr * tr) / 2 - t * (t - tr);
        if (j == 1) return lnt - t * (1 / tr - 1 / t);
        return (intpow(2 - 2 * j, tr) - intpow(2 - 2 * j, t)) / (2 * j - 2) -
               t * (intpow(1 - 2 * j, tr) - intpow(1 - 2 * j, t)) / (2 * j - 1);
    };
    const real scale = v0 * alpha * alpha / k0;
    real terms[8];
    real s0 = 0;
    for (int j = 0; j <= 7; ++j) {
        terms[j] = scale * coef[j] * intpow(2 * j, theta) * integral_j(j);
        s0 += terms[j];
    }
    // The tail of the series, summed as a geometric continuation of its last terms.
    if (std::fabs(terms[7]) > 0.00025L) {
        const real q = terms[6] / terms[7];
        s0 += terms[7] / (q * q * (terms[6] / terms[5]) - 1);
    }
    // Corrections for the bulk modulus along the isobar differing from K0.
    const real r = alpha / k0;
    const real k = k0p;
    const real e = 1 / (1 - std::exp(theta / tr)) - 0.5L;
    auto ip = [&](int p) -> real {
        if (p == 0) return (t - tr) - t * lnt;
        if (p == -1) return lnt - t * (1 / tr - 1 / t);
        return (intpow(p + 1, t) - intpow(p + 1, tr)) / (p + 1) -
               t * (intpow(p, t) - intpow(p, tr)) / p;
    };
    auto cm = [&](int m) -> real {
        real s = 0;
        for (int j = 0; j <= 4; ++j) {
            s += scale * coef[j] * intpow(2 * j, theta) * ip(1 + m - 2 * j);
        }
        return s;
    };
    const real k2 = k * k, k3 = k2 * k, k4 = k3 * k, k5 = k4 * k, k6 = k5 * k;
    const real p0 = k - 2;
    const real p1 = (2 * k2 - 8 * k + 9) / 2;
    const real p2 = (6 * k3 - 37 * k2 + 81 * k - 64) / 6;
    const real p3 = (24 * k4 - 204 * k3 + 668 * k2 - 1024 * k + 625) / 24;
    const real p4 = (120 * k5 - 1318 * k4 + 5802 * k3 - 13177 * k2 + 15625 * k - 7776) / 120;
    const real p5 =
        (720 * k6 - 9792 * k5 + 54612 * k4 - 164984 * k3 + 288894 * k2 - 279936 * k + 117649) / 720;
    const real th = theta;
    auto tp = [&](int n) { return intpow(n, th); };
    auto rp = [&](int n) { return intpow(n, r); };
    const real e2 = e * e, e4 = e2 * e2, e6 = e4 * e2;
    real f[10];  // F(m) at index m + 3
    f[3] = p0 * th * r * e + p1 * tp(2) * rp(2) * (1.0L / 6.0L + e2) +
           p2 * tp(3) * rp(3) * e * (1 + 2 * e2) / 2 +
           p3 * tp(4) * rp(4) * (360 * e4 + 360 * e2 + 13) / 360 +
           p4 * tp(5) * rp(5) * e * (72 * e4 + 120 * e2 + 13) / 72 +
           p5 * tp(6) * rp(6) * (30240 * e6 + 75600 * e4 + 16380 * e2 + 251) / 30240;
    f[4] = p0 * r + 2 * p1 * th * rp(2) * e + p2 * tp(2) * rp(3) * (1 + 12 * e2) / 4 +
           p3 * tp(3) * rp(4) * e * (1 + 4 * e2) +
           p4 * tp(4) * rp(5) * (80 * e4 + 40 * e2 + 1) / 16 +
           p5 * tp(5) * rp(6) * e * (384 * e4 + 320 * e2 + 24) / 64;
    f[5] = p1 * rp(2) + 3 * p2 * th * rp(3) * e + p3 * tp(2) * rp(4) * (1 + 18 * e2) / 3 +
           5 * p4 * tp(3) * rp(5) * e * (1 + 6 * e2) / 3 +
           p5 * tp(4) * rp(6) * (3600 * e4 + 1200 * e2 + 23) / 240;
    f[6] = p2 * rp(3) + 4 * p3 * th * rp(4) * e + 5 * p4 * tp(2) * rp(5) * (1 + 24 * e2) / 12 +
           p5 * tp(3) * rp(6) * e * (900 + 7200 * e2) / 360;
    f[7] = p3 * rp(4) + 5 * p4 * th * rp(5) * e + p5 * tp(2) * rp(6) * (1 + 30 * e2) / 2;
    f[8] = p4 * rp(5) + 6 * p5 * th * rp(6) * e;
    f[9] = p5 * rp(6);
    f[2] = p0 * r * tp(2) / 12 + p1 * tp(3) * rp(2) * e / 6 +
           p2 * tp(4) * rp(3) * (1 + 15 * e2) / 60 + p3 * tp(5) * rp(4) * e * (1 + 5 * e2) / 15 +
           p4 * tp(6) * rp(5) * (1260 * e4 + 504 * e2 + 11) / 3024;
    f[1] = p1 * rp(2) * tp(4) / 240 + p2 * tp(5) * rp(3) * e / 80 +
           p3 * tp(6) * rp(4) * (8 + 189 * e2) / 7560 +
           p4 * tp(7) * rp(5) * e * (8 + 63 * e2) / 1512;
    f[0] = -(p0 * r * tp(4) / 720 + p1 * tp(5) * rp(2) * e / 360 +
             p2 * tp(6) * rp(3) * (1 + 252 * e2) / 60480 +
             p3 * tp(7) * rp(4) * e * (1 + 84 * e2) / 15120 +
             p4 * tp(8) * rp(5) * (630 * e4 + 15 * e2 - 2) / 90720);
    real sum = s0;
    for (int m = -3; m <= 6; ++m) sum += f[m + 3] * cm(m);
    return sum;
}

real EinsteinEos::simpson(real t) const {
    int n = static_cast<int>(std::nearbyint((t - tr) / 10));
    if (n >= 141) n = 138;
    if (n <= 2) n = 4;
    if (n % 2 != 0) n += 1;
    const real h = (t - tr) / n;
    real sum = 0;
    for (int i = 1; i <= n + 1; ++i) {
        const real ti = tr + (i - 1) * h;
        const real x = calcv(pr, ti);
        const real ui = theta / ti;
        const real xi = xifun(ui);
        const real pthi = pth(ti);
        const real dd = hqzon ? k0 * x * std::exp(k0p * (1 - x)) + pthi
                              : k0 * x * x * std::pow(1 + (x - 1) / at, -1 - 1 / ct) + pthi;
        const real fi = (alpha * xi) * (alpha * xi) * ti * v0 * (1 - t / ti) / dd;
        const real w = (i == 1 || i == n + 1) ? 1 : (i % 2 == 0 ? 4 : 2);
        sum += w * fi;
    }
    return h / 3 * sum;
}

real EinsteinEos::gv(real p, real t) const {
    if (p == pr) return 0;
    const real x1 = calcv(p, t);
    const real x0 = calcv(pr, t);
    const real pthv = pth(t);
    if (hqzon) {
        return v0 * ((k0 / k0p) * (std::exp(k0p * (1 - x1)) - std::exp(k0p * (1 - x0))) +
                     (p - pr) * x1 - pthv * std::log(x1 / x0) + k0 * x1 * eidiff(x1 - 1, k0p) -
                     k0 * x0 * eidiff(x0 - 1, k0p));
    }
    // Integral of the Tait cold curve: the exponent is 1 - 1/c, so that dG/dP is the volume.
    const real ex = 1 - 1 / ct;
    return v0 * ((x1 - x0) / bt + (p - pr) * x1 - pthv * std::log(x1 / x0) +
                 at * ct / (bt * (1 - ct)) *
                     (std::pow(1 + (x1 - 1) / at, ex) - std::pow(1 + (x0 - 1) / at, ex)));
}

EinsteinTerms geinstein(const GemSettings& gs, const tdvector& row, std::string_view name, real p,
                        real t) {
    const real v = row[3];
    const real k0 = row[9];
    if (k0 == 0) bad_row(name, "K0 = 0 in the Einstein equation of state");
    const real theta = row[12];
    if (!(theta > 0)) bad_row(name, "theta <= 0 in the Einstein equation of state");
    // The exponential cold curve divides by K0', the Tait curve by b and (c - 1).
    if (gs.hqzon) {
        if (row[10] == 0) bad_row(name, "K0' = 0 in the Einstein equation of state");
    } else {
        taitcoefficients(name, k0, row[10], row[11]);
    }
    const real u = theta / t;
    const real u0 = theta / tr;
    const real a = row[4], b = row[5];
    const real dh =
        a * theta * (efun(u) - efun(u0)) + b / 2 * theta * theta * (1 / (u * u) - 1 / (u0 * u0));
    const real ds =
        a * (u * (efun(u) + 1) - u0 * (efun(u0) + 1) - std::log(std::expm1(u) / std::expm1(u0))) +
        b * theta * (1 / u - 1 / u0);
    const EinsteinEos eos(v, theta, row[8], k0, row[10], row[11], gs.hqzon);
    EinsteinTerms terms;
    terms.gcp = dh - t * ds;
    if (std::fabs(eos.alpha) >= 1e-10L) terms.gcp += gs.numericalon ? eos.simpson(t) : eos.props(t);
    if (v != 0) terms.gv = eos.gv(p, t);
    return terms;
}

}  // namespace qv
