#include "thermo/fluids.hpp"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"
#include "thermo/thermowork.hpp"

namespace qv {

namespace {

// The gas constant rgas again, in the cm3 and bar of the Sterner-Pitzer coefficients.
constexpr real rcm3 = 83.144L;     // cm3 bar/K/mol
constexpr real tkelvin = 273.15L;  // 0 C in K

void check_pressure(std::string_view procname, real p) {
    if (!(p > 0)) bomb(procname, "fluid pressure must be positive (P <= 0)", yourfault);
}

// The line written to standard output before a Sterner-Pitzer stop: the state that failed.
void write_state(Session& ses, real pbar, int pdec, int pwidth, real t, int tdec, int twidth,
                 bool lineend) {
    std::string line = "P = ";
    addreal(pdec, true, pwidth, line, pbar);
    line += ", T = ";
    if (tdec == 0) {
        addstr(realstr(t - tkelvin), twidth, line);
    } else {
        addreal(tdec, true, twidth, line, t - tkelvin);
    }
    if (lineend) line += "\n";
    ses.console.write(line);
}

// The compensated Redlich-Kwong constants of one fluid at t.
struct RkConstants {
    real p0, b, a, agas, c, d, e, psat;
};

RkConstants rk_h2o(real t) {
    RkConstants k{};
    k.p0 = 2.01L;
    k.b = 1.465L;
    if (t >= 673) {
        k.a = 1037.2L + 0.53013L * t - 0.00073907L * t * t + 1.7782e-7L * t * t * t;
    } else {
        k.a = -1451.88L + 12.718L * t - 0.02212L * t * t + 1.3204e-5L * t * t * t;
    }
    // Below the critical region the gas needs its own attraction term.
    if (t < 673) {
        k.agas = 16137.46L - 69.656L * t + 0.11618L * t * t - 6.8128e-5L * t * t * t;
    } else {
        k.agas = k.a;
    }
    k.c = 0.0019853L;
    k.d = -0.08909L;
    k.e = 0.080331L;
    if (t < 695) {
        k.psat = -0.013628L + 7.29395e-7L * t * t - 2.34622e-9L * t * t * t +
                 4.83607e-15L * std::pow(t, 5.0L);
        if (k.psat < 0.001L) k.psat = 0.001L;
    } else {
        k.psat = 100;
    }
    return k;
}

RkConstants rk_co2(real t) {
    RkConstants k{};
    k.p0 = 5.01L;
    k.b = 3.057L;
    k.a = 659.8L + 0.21078L * t - 0.00063976L * t * t;
    k.agas = k.a;
    k.c = 0.00540776L - 1.59046e-6L * t;
    k.d = -0.178198L + 2.45317e-5L * t;
    k.e = 0;
    k.psat = 100;
    return k;
}

FluidState cork_pure(bool h2o, real p, real t) {
    const RkConstants k = h2o ? rk_h2o(t) : rk_co2(t);
    const real rt = rgas * t;
    const real dp = p > k.p0 ? p - k.p0 : 0;
    real lnphig = 0;
    real lnphil = 0;
    real v0 = rt / p + 3 * k.b;
    real a = k.a;
    if (h2o && t < 695) {
        if (p > k.psat) {
            // Liquid above the saturation pressure: the fugacity is carried from the gas at
            // psat across the two-phase step, where gas and liquid fugacities are equal.
            lnphig =
                findVs(rt / k.psat + 5 * k.b, k.psat, t, dp, k.psat, k.c, k.d, k.e, k.agas, k.b)
                    .lnphi;
            lnphil = findVs(k.b, k.psat, t, dp, k.psat, k.c, k.d, k.e, k.a, k.b).lnphi;
            v0 = k.b;
        } else {
            a = k.agas;
        }
    }
    const RkVolume m = findVs(v0, p, t, dp, k.psat, k.c, k.d, k.e, a, k.b);
    FluidState s;
    s.v = m.v;
    s.rtlnf = rt * (std::log(1000 * p) + m.lnphi + lnphig - lnphil);
    return s;
}

FluidState sp_pure(Session& ses, bool co2, real p, real t) {
    const SpCoefficients k = spcoefficients(thermowork(ses), co2, p, t);
    return doSP(ses, k, 1000 * p, t);
}

}  // namespace

RkVolume findVs(real v0, real p, real t, real dp, real psat, real c, real d, real e, real a,
                real b) {
    const real rt = rgas * t;
    const real sqt = std::sqrt(t);
    const real a1 = a / sqt - b * (b * p + rt);
    real v = v0;
    bool converged = false;
    for (int it = 1; it <= 21 && !converged; ++it) {
        const real f = ((p * v - rt) * v + a1) * v - a * b / sqt;
        const real df = (3 * p * v - 2 * rt) * v + a1;
        if (df == 0) break;
        const real dv = -f / df;
        v += dv;
        if (v < b) v = p > psat ? 1.001L * b : rt / p;
        converged = std::fabs(dv) < 0.001L * v;
    }
    if (!converged) bomb("findVs", "did not converge", yourfault);
    RkVolume r;
    const real z = p * v / rt;
    const real bb = b * p / rt;
    r.lnphi = z - 1 - std::log(z - bb) - (a / (b * rt * sqt)) * std::log(1 + bb / z);
    r.v = v;
    if (dp > 0) {
        r.v += c * dp + d * std::sqrt(dp) + e * std::sqrt(std::sqrt(dp));
        r.lnphi += (c * dp * dp / 2 + (2.0L / 3.0L) * d * std::pow(dp, 1.5L) +
                    (4.0L / 5.0L) * e * std::pow(dp, 1.25L)) /
                   rt;
    }
    return r;
}

namespace {

// The coefficients of the Sterner-Pitzer equation at t, all but the volume bound.
SpCoefficients spcoefficientsat(bool co2, real t) {
    SpCoefficients k;
    k.co2 = co2;
    real* c = k.c;
    const real t2 = t * t;
    const real t4 = t2 * t2;
    if (!co2) {
        c[1] = 246576.88L / t + 51.359951L;
        c[2] = 0.58638965L / t - 0.0028646939L + 3.1375577e-5L * t;
        c[3] = -6.278384L / t + 0.014791599L + 0.00035779579L * t + 1.5432925e-8L * t2;
        c[4] = -0.42719875L - 1.6325155e-5L * t;
        c[5] = 5665.4978L / t - 16.580167L + 0.076560762L * t;
        c[6] = 0.10917883L;
        c[7] = 3.8878656e12L / t4 - 134948780.0L / t2 + 309165.64L / t + 7.5591105L;
        c[8] = -65537.898L / t + 188.10675L;
        c[9] = -1.4182435e13L / t4 + 181653900.0L / t2 - 197690.68L / t - 23.530318L;
        c[10] = 92093.375L / t + 122.46777L;
        k.psatbar =
            1000 * (-0.013627L + 7.29395e-7L * t2 - 2.34622e-9L * t2 * t + 4.83607e-15L * t4 * t);
    } else {
        c[1] = 1826134.0L / t + 79.224365L;
        c[2] = 6.656066e-5L + 5.7152798e-6L * t + 3.0222363e-10L * t2;
        c[3] = 0.0059957845L + 7.1669631e-5L * t + 6.2416103e-9L * t2;
        c[4] = -1.3270279L / t - 0.15210731L + 0.00053654244L * t - 7.1115142e-8L * t2;
        c[5] = 0.12456776L / t + 4.9045367L + 0.009822056L * t + 5.5962121e-6L * t2;
        c[6] = 0.75522299L;
        c[7] = -393446440000.0L / t4 + 90918237.0L / t2 + 427767.16L / t - 22.347856L;
        c[8] = 402.82608L / t + 119.71627L;
        c[9] = 22995650.0L / t2 - 78971.817L / t - 63.376456L;
        c[10] = 95029.765L / t + 18.038071L;
        k.psatbar = 0;
    }
    return k;
}

}  // namespace

// The coefficients depend on t alone (the volume bound aside): those of the recent temperatures
// are kept by slot, each the value formed at the call, to the bit.
struct SpCoefficientsKept {
    struct Kept {
        real t = 0;
        bool used = false;
        SpCoefficients k;
    };
    Kept kept[2][temperatureslots];  // [CO2][slot]
};

SpCoefficients spcoefficients(ThermoWork& w, bool co2, real p, real t) {
    if (!w.spcoefficients) w.spcoefficients = std::make_shared<SpCoefficientsKept>();
    SpCoefficientsKept::Kept& e = w.spcoefficients->kept[co2 ? 1 : 0][temperatureslot(t)];
    if (!(e.used && e.t == t && (t != 0 || std::signbit(t) == std::signbit(e.t)))) {
        e.t = t;
        e.used = true;
        e.k = spcoefficientsat(co2, t);
    }
    SpCoefficients k = e.k;
    if (!co2) {
        k.vmax = 100 * (rcm3 * t / (1000 * p)) + 20;  // 100 RT/P, far beyond the gas
    } else {
        k.vmax = 100 * (rcm3 * t / (1000 * p)) + 60;
    }
    return k;
}

real splnf(const SpCoefficients& k, real v, real pbar, real t) {
    const real* c = k.c;
    const real rho = 1 / v;
    const real dd = c[2] + rho * (c[3] + rho * (c[4] + rho * (c[5] + rho * c[6])));
    return std::log(rho * rcm3 * t) + c[1] * rho + 1 / dd - 1 / c[2] -
           (c[7] / c[8]) * std::expm1(-c[8] * rho) - (c[9] / c[10]) * std::expm1(-c[10] * rho) +
           pbar / (rcm3 * t * rho) - 1;
}

namespace {

// Temperatures (K) at and above which the Sterner-Pitzer isotherm of H2O or CO2 rises with
// density everywhere between the volume bounds (its critical points lie near 647.1 K and
// 304.5 K), so that it has a single root; below them the van der Waals loop is located first.
constexpr real sploopmaxh2o = 660;
constexpr real sploopmaxco2 = 320;

// Pressure (bar) and its derivative by density at density rho (mol/cm3) on one isotherm.
struct SpPoint {
    real p = 0;
    real dpdrho = 0;
};

SpPoint sppoint(const SpCoefficients& k, real rho, real t) {
    const real* c = k.c;
    const real dd = c[2] + rho * (c[3] + rho * (c[4] + rho * (c[5] + rho * c[6])));
    const real d1 = c[3] + rho * (2 * c[4] + rho * (3 * c[5] + rho * 4 * c[6]));
    const real d2 = 2 * c[4] + rho * (6 * c[5] + rho * 12 * c[6]);
    const real e1 = c[7] * std::exp(-c[8] * rho);
    const real e2 = c[9] * std::exp(-c[10] * rho);
    const real r2 = rho * rho;
    const real dd2 = dd * dd;
    const real rt = rcm3 * t;
    SpPoint s;
    s.p = rt * (rho + c[1] * r2 - r2 * d1 / dd2 + e1 * r2 + e2 * r2);
    s.dpdrho =
        rt * (1 + 2 * c[1] * rho - (2 * rho * d1 + r2 * d2) / dd2 + 2 * r2 * d1 * d1 / (dd2 * dd) +
              e1 * rho * (2 - c[8] * rho) + e2 * rho * (2 - c[10] * rho));
    return s;
}

[[noreturn]] void sp_not_converged(Session& ses, real pbar, real t) {
    write_state(ses, pbar, 3, 10, t, 0, 8, false);
    bomb("sterner-pitzer", "did not converge", yourfault);
}

// The density in [lo, hi] where the pressure is pbar, on a branch where the pressure rises with
// density and P(lo) < pbar: Newton steps from `start`, with a halving of the bracket (in log
// density where it spans decades) whenever a step would leave it, to the last bits of the
// extended reals; a converged root makes R T ln f smooth in P and T. Stops the run when
// P(hi) < pbar.
real spbranchroot(Session& ses, const SpCoefficients& k, real pbar, real t, real lo, real hi,
                  real start) {
    constexpr real eps = std::numeric_limits<real>::epsilon();
    const real top = hi;
    bool above = false;  // a density with P > pbar seen, so that the root lies below hi
    real x = start > lo && start < hi ? start : std::sqrt(lo * hi);
    for (int it = 1; it <= 200; ++it) {
        const SpPoint s = sppoint(k, x, t);
        const real f = s.p - pbar;
        if (f == 0) return x;
        if (f < 0) {
            lo = x;
        } else {
            hi = x;
            above = true;
        }
        real next = s.dpdrho > 0 ? x - f / s.dpdrho : lo - 1;
        if (next > lo && next < hi) {
            // Quadratic convergence: a step of 1e-10 leaves an error near 1e-20.
            if (std::fabs(next - x) <= 1e-10L * x) return next;
        } else {
            next = hi > 4 * lo ? std::sqrt(lo * hi) : (lo + hi) / 2;
        }
        if (hi - lo <= 4 * eps * hi) break;
        x = next;
    }
    if (!above && !(sppoint(k, top, t).p > pbar)) {
        write_state(ses, pbar, 2, 8, t, 1, 10, true);
        bomb("sterner-pitzer", "no volume found", yourfault);
    }
    if (hi - lo <= 4 * eps * hi) return (lo + hi) / 2;
    sp_not_converged(ses, pbar, t);
}

// The density in [lo, hi] where dP/drho = 0, given a sign change there (bisection steered by the
// secant, the Illinois variant); a spinodal of the van der Waals loop.
real spspinodal(Session& ses, const SpCoefficients& k, real pbar, real t, real lo, real hi) {
    real flo = sppoint(k, lo, t).dpdrho;
    real fhi = sppoint(k, hi, t).dpdrho;
    int side = 0;
    for (int it = 1; it <= 200; ++it) {
        real x = (lo * fhi - hi * flo) / (fhi - flo);
        if (!(x > lo && x < hi)) x = (lo + hi) / 2;
        const real fx = sppoint(k, x, t).dpdrho;
        if ((fx > 0) == (flo > 0)) {
            lo = x;
            flo = fx;
            if (side == -1) fhi /= 2;
            side = -1;
        } else {
            hi = x;
            fhi = fx;
            if (side == 1) flo /= 2;
            side = 1;
        }
        if (hi - lo <= 1e-15L * hi || fx == 0) return x;
    }
    sp_not_converged(ses, pbar, t);
}

// The van der Waals loop of a subcritical isotherm on [rlo, rhi]: the spinodal densities, where
// the pressure has its local maximum (gas side) and minimum (liquid side); none when the isotherm
// rises throughout.
struct SpLoop {
    bool loop = false;
    real gasspinodal = 0;
    real liquidspinodal = 0;
};

SpLoop sploop(Session& ses, const SpCoefficients& k, real pbar, real t, real rlo, real rhi) {
    // The least slope: a coarse scan in log density, then golden-section search around the least
    // grid value. The slope varies over a far wider range of density than the loop is narrow near
    // the critical point, so the scan cannot step over it.
    constexpr int nscan = 24;
    const real step = std::log(rhi / rlo) / nscan;
    int best = 0;
    real dbest = 0;
    for (int i = 0; i <= nscan; ++i) {
        const real d = sppoint(k, rlo * std::exp(step * i), t).dpdrho;
        if (i == 0 || d < dbest) {
            best = i;
            dbest = d;
        }
    }
    real a = std::log(rlo) + step * (best > 0 ? best - 1 : 0);
    real b = std::log(rlo) + step * (best < nscan ? best + 1 : nscan);
    const real g = (std::sqrt(5.0L) - 1) / 2;
    real x1 = b - g * (b - a), x2 = a + g * (b - a);
    real f1 = sppoint(k, std::exp(x1), t).dpdrho, f2 = sppoint(k, std::exp(x2), t).dpdrho;
    while (b - a > 1e-9L && f1 >= 0 && f2 >= 0) {
        if (f1 < f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - g * (b - a);
            f1 = sppoint(k, std::exp(x1), t).dpdrho;
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + g * (b - a);
            f2 = sppoint(k, std::exp(x2), t).dpdrho;
        }
    }
    SpLoop loop;
    if (f1 >= 0 && f2 >= 0) return loop;
    const real rmid = std::exp(f1 < f2 ? x1 : x2);
    loop.loop = true;
    loop.gasspinodal = spspinodal(ses, k, pbar, t, rlo, rmid);
    loop.liquidspinodal =
        sppoint(k, rhi, t).dpdrho > 0 ? spspinodal(ses, k, pbar, t, rmid, rhi) : rhi;
    return loop;
}

}  // namespace

FluidState doSP(Session& ses, const SpCoefficients& k, real pbar, real t) {
    // Roots in volume between 3 cm3 and vmax (about 100 RT/P), as densities.
    const real rlo = 1 / k.vmax;
    const real rhi = real{1} / 3;
    if (!(k.vmax > 3)) bomb("sterner-pitzer", "no volume range to search", myfault);
    // A start: the ideal-gas volume plus a co-volume typical of the dense fluid. P(rlo) is near
    // pbar/100, below pbar.
    const real start = 1 / (rcm3 * t / pbar + (k.co2 ? 25 : 12));
    real rho = 0;
    SpLoop loop;
    if (t < (k.co2 ? sploopmaxco2 : sploopmaxh2o)) loop = sploop(ses, k, pbar, t, rlo, rhi);
    if (!loop.loop) {
        rho = spbranchroot(ses, k, pbar, t, rlo, rhi, start);
    } else {
        // Gas on the rising branch below the gas spinodal, liquid on the one above the liquid
        // spinodal; with both (and the unstable root between them) the fluid is gas-like below
        // the saturation pressure, liquid-like above it, and at and below the reference pressure
        // (1 bar) always the gas, the standard state.
        const bool gas = sppoint(k, loop.gasspinodal, t).p > pbar;
        const bool liquid =
            sppoint(k, rhi, t).p > pbar && sppoint(k, loop.liquidspinodal, t).p < pbar;
        if (!gas && !liquid) {
            write_state(ses, pbar, 2, 8, t, 1, 10, true);
            bomb("sterner-pitzer", "no volume found", yourfault);
        }
        const bool takegas = gas && (!liquid || pbar <= 1 || pbar < k.psatbar);
        rho = takegas ? spbranchroot(ses, k, pbar, t, rlo, loop.gasspinodal, pbar / (rcm3 * t))
                      : spbranchroot(ses, k, pbar, t, loop.liquidspinodal, rhi, start);
    }
    const real v = 1 / rho;
    FluidState s;
    s.v = v / 10;
    s.rtlnf = rgas * t * splnf(k, v, pbar, t);
    return s;
}

FluidState spfluid(Session& ses, bool newspfluid, real p, real t) {
    check_pressure("spfluid", p);
    return newspfluid ? sp_pure(ses, false, p, t) : cork_pure(true, p, t);
}

FluidState spfluid2(Session& ses, bool newspfluid, real p, real t) {
    check_pressure("spfluid2", p);
    return newspfluid ? sp_pure(ses, true, p, t) : cork_pure(false, p, t);
}

FluidState corkfluid(real p, real t, real pcrit, real tcrit) {
    check_pressure("corkfluid", p);
    const real rt = rgas * t;
    const real sqt = std::sqrt(t);
    const real a = (5.45963e-5L * tcrit - 8.6392e-6L * t) * tcrit * std::sqrt(tcrit) / pcrit;
    const real b = 9.18301e-4L * tcrit / pcrit;
    const real c = (-3.30558e-5L * tcrit + 2.30524e-6L * t) / (pcrit * std::sqrt(pcrit));
    const real d = (6.93054e-7L * tcrit - 8.38293e-8L * t) / (pcrit * pcrit);
    FluidState s;
    s.v =
        rt / p + b - a * rgas * sqt / ((rt + b * p) * (rt + 2 * b * p)) + c * std::sqrt(p) + d * p;
    s.rtlnf = rt * std::log(1000 * p) + b * p +
              (a / (b * sqt)) * (std::log(rt + b * p) - std::log(rt + 2 * b * p)) +
              (2.0L / 3.0L) * c * p * std::sqrt(p) + (d / 2) * p * p;
    return s;
}

}  // namespace qv
