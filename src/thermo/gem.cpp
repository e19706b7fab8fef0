#include "thermo/gem.hpp"

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "thermo/aqueous.hpp"
#include "thermo/einstein.hpp"
#include "thermo/fluids.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;
constexpr real pr = prefk;
constexpr real rgas_ = 0.0083144L;
// Stored constants of the reference temperature.
constexpr real trinv = 0.0033540164346805299L;
constexpr real trsq = 88893.4225L;
constexpr real trsqrt = 17.267020588393354L;
constexpr real trinvsq = 1.1249426244107093e-05L;
constexpr real trinvsqrt = 0.05791387083143839L;

int16 round16(real x) {
    return static_cast<int16>(std::lround(x));
}

real efun(real u) {
    return 1 / std::expm1(u);
}

real xifun(real u) {
    const real em = std::expm1(u);
    return u * u * (em + 1) / (em * em);
}

// x ln(x/c) with its limit 0 at x = 0 (a site that is empty at full order).
real xlnx(real x, real c) {
    return x == 0 ? 0 : x * std::log(x / c);
}

[[noreturn]] void bad_row(std::string_view name, std::string_view reason) {
    bomb("gem", std::string(name) + ": " + std::string(reason), yourfault);
}

// Minor fluids of the corresponding-states form: name, Tcrit (K), Pcrit (kbar).
struct MinorFluid {
    const char* name;
    real tcrit;
    real pcrit;
};
constexpr MinorFluid minorfluids[] = {{"CH4", 190.6L, 0.046L},
                                      {"H2", 41.2L, 0.0211L},
                                      {"CO", 132.9L, 0.035L},
                                      {"H2S", 373.2L, 0.0893L},
                                      {"S2", 259.6L, 0.08L}};

// The Tait coefficients a, b, c of a bulk modulus k and its derivatives.
struct Tait {
    real a, b, c;
};

Tait taitcoefficients(std::string_view name, real k, real kp, real kpp) {
    Tait tc{};
    if (kpp == 0) {
        if (kp == 0) bad_row(name, "b(c - 1) = 0 in the Tait equation of state (K0' = 0)");
        tc = {1, kp / k, 1 / kp};
    } else {
        const real d1 = 1 + kp + k * kpp;
        const real d2 = kp + kp * kp - k * kpp;
        if (1 + kp == 0 || d1 == 0 || d2 == 0) {
            bad_row(name, "b(c - 1) = 0 in the Tait equation of state");
        }
        tc = {(1 + kp) / d1, d2 / (k * (1 + kp)), d1 / d2};
    }
    if (tc.b * (tc.c - 1) == 0) bad_row(name, "b(c - 1) = 0 in the Tait equation of state");
    return tc;
}

// Thermal-pressure-free Tait integral from Pr to p, normalised so that V is the volume at Pr.
real taitgv(real v, const Tait& tc, real p, real pth) {
    const real a = tc.a, b = tc.b, c = tc.c;
    return v *
           ((1 - a) * (p - pr) +
            a * (std::pow(1 + b * (pr - pth), 1 - c) - std::pow(1 + b * (p - pth), 1 - c)) /
                (b * (c - 1))) /
           ((1 - a) + a * std::pow(1 + b * pr, -c));
}

// The bulk modulus, square-root expansion and Murnaghan exponent of the 190 layout at t.
struct Murnaghan {
    real k, a1, n, f;
};

Murnaghan murnaghan(std::string_view name, const tdvector& row, real t) {
    Murnaghan m{};
    m.a1 = row[9];
    m.n = row[12];
    m.k = row[11] + row[13] * (t - tr);
    m.f = 1 + row[8] * ((t - tr) - 2 * m.a1 * (std::sqrt(t) - trsqrt));
    if (m.k <= 0) bad_row(name, "K(T) <= 0 in the Murnaghan equation of state");
    if (m.n == 0 || m.n == 1) bad_row(name, "Murnaghan exponent n of 0 or 1");
    return m;
}

// Landau order-disorder G at p, t.
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

void write_pth_stop(Session& ses, const GemSettings& gs, std::string_view name, real p, real t,
                    real pth, const Tait& tc) {
    std::string line;
    addstr(realstr(gs.currentxp), 4, line);
    addstr(name, 6, line);
    addreal(6, true, 12, line, p);
    addstr(realstr(t - 273.15L), 10, line);
    addreal(6, true, 16, line, pth);
    addreal(6, true, 12, line, tc.a);
    addreal(6, true, 12, line, tc.b);
    addreal(6, true, 12, line, tc.c);
    ses.console.write(line + "\n");
}

void write_pth_warning(Session& ses, std::string_view name, real p, real t) {
    std::string line = "pth problem with ";
    line += name;
    line += " in outxy at";
    addreal(2, true, 7, line, p);
    line += ", ";
    line += realstr(t - 273.15L);
    ses.console.write(line + "\n");
}

// Ordinary heat-capacity term: the integral of Cp = a + bT + c/T^2 + d/sqrt(T) as H - TS.
real gcp_ordinary(const tdvector& row, real t) {
    const real a = row[4], b = row[5], c = row[6], d = row[7];
    const real sqt = std::sqrt(t);
    const real dh =
        a * (t - tr) + b / 2 * (t * t - trsq) - c * (1 / t - trinv) + 2 * d * (sqt - trsqrt);
    const real ds = a * std::log(t / tr) + b * (t - tr) - c / 2 * (1 / (t * t) - trinvsq) -
                    2 * d * (1 / sqt - trinvsqrt);
    return dh - t * ds;
}

// H2O-CO2 non-ideal mixing term of one of the pair: v1, v2 the volumes of H2O and CO2.
real fluidmix(std::string_view name, bool forh2o, real xco2, real xh2o, real v1, real v2) {
    if (v1 == 0 || v2 == 0) bad_row(name, "zero fluid volume in the H2O-CO2 mixing term");
    const real w = 10.5L * (v1 + v2) / (v1 * v2);
    const real den = xh2o * v1 + xco2 * v2;
    if (den == 0) bad_row(name, "zero fluid volume in the H2O-CO2 mixing term");
    if (forh2o) return 2 * w * xco2 * xco2 * v1 * v2 * v2 / ((v1 + v2) * den * den);
    return 2 * w * xh2o * xh2o * v2 * v1 * v1 / ((v1 + v2) * den * den);
}

}  // namespace

real bisectfunc(int n, real t, real dg, real w, real f, real x) {
    const real rn = static_cast<real>(n);
    if (f < 0) {
        return (rn / (rn + 1)) * rgas_ * t *
                   (std::log((1 - x) * rn / (1 + rn * x)) - f * std::log((1 - x) / (rn + x))) +
               dg + (2 * x - 1) * w;
    }
    return (rn * f / (rn + 1)) * rgas_ * t *
               std::log((1 - x) * (1 - x) * rn / ((1 + rn * x) * (rn + x))) +
           dg + (2 * x - 1) * w;
}

real bisectx(int n, real t, real dg, real w, real f) {
    constexpr real xlo = 1e-7L;
    constexpr real xhi = 0.9999999L;
    const real flo = bisectfunc(n, t, dg, w, f, xlo);
    const real fhi = bisectfunc(n, t, dg, w, f, xhi);
    if (fhi > 0) return xhi;
    if (flo < 0) return xlo;
    real lo = xlo;
    real hi = xhi;
    real x = 0.5L;
    real fx = bisectfunc(n, t, dg, w, f, x);
    for (int i = 1; i <= 20; ++i) {
        if (fx > 0) {
            lo = x;
        } else {
            hi = x;
        }
        x = (lo + hi) / 2;
        fx = bisectfunc(n, t, dg, w, f, x);
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
    const real sod = f >= 0 ? -rgas_ * f * (l1 + l3 + l2 + l4) / (n + 1)
                            : -rgas_ * (l1 + l2 - f * (l3 + l4)) / (n + 1);
    return hod - t * sod;
}

real gem(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name, real p,
         real t, OrderState order) {
    ++ses.gemcount;
    const real h = row[1];
    const real s = row[2];
    const real v = row[3];
    if (std::fabs(s) < 1e-8L) return h;
    const int16 code = round16(row[31]);
    const bool einstein = gs.dsmode == 7 && code >= 3 && code <= 5;
    const bool melt = !name.empty() && name.back() == 'L';
    const real xco2 = row[27];
    const real xh2o = row[28];
    const real a0 = row[8];

    // Heat capacity and volume.
    real gcp = 0;
    real gv = 0;
    if (einstein) {
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
        const real dh = a * theta * (efun(u) - efun(u0)) +
                        b / 2 * theta * theta * (1 / (u * u) - 1 / (u0 * u0));
        const real ds = a * (u * (efun(u) + 1) - u0 * (efun(u0) + 1) -
                             std::log(std::expm1(u) / std::expm1(u0))) +
                        b * theta * (1 / u - 1 / u0);
        const EinsteinEos eos(v, theta, a0, k0, row[10], row[11], gs.hqzon);
        gcp = dh - t * ds;
        if (std::fabs(eos.alpha) >= 1e-10L) gcp += gs.numericalon ? eos.simpson(t) : eos.props(t);
        if (v != 0) gv = eos.gv(p, t);
    } else {
        gcp = gcp_ordinary(row, t);
        if (v == 0) {
            gv = 0;
        } else if ((gs.ds190 ? row[11] : row[9]) == 0) {
            gv = v * (p - pr);
        } else if (gs.ds190) {
            const Murnaghan m = murnaghan(name, row, t);
            const real v1 = v * m.f;
            const real v00 = v1 * std::pow(1 + m.n * pr / m.k, 1 / m.n);
            gv = v00 * m.k / (m.n - 1) *
                 (std::pow(1 + m.n * p / m.k, 1 - 1 / m.n) -
                  std::pow(1 + m.n * pr / m.k, 1 - 1 / m.n));
        } else if (melt) {
            const real k = row[9] + row[13] * (t - tr);
            if (k <= 0) bad_row(name, "K(T) <= 0 in the melt equation of state");
            const Tait tc = taitcoefficients(name, k, row[10], row[11]);
            gv = taitgv(v * std::exp(a0 * (t - tr)), tc, p, 0);
        } else {
            const real k0 = row[9];
            const Tait tc = taitcoefficients(name, k0, row[10], row[11]);
            const real theta = row[12];
            real pth = 0;
            if (theta > 0) {
                const real u0 = theta / tr;
                pth = a0 * k0 * theta / xifun(u0) * (efun(theta / t) - efun(u0));
            } else {
                pth = a0 * k0 * (t - tr);  // the classical limit of a vanishing theta
            }
            if (tc.b * pth > 1) {
                if (!gs.pthwarnonly) {
                    write_pth_stop(ses, gs, name, p, t, pth, tc);
                    bomb("gem", std::string(name) + ": b Pth > 1, log(-ve)", yourfault);
                }
                write_pth_warning(ses, name, p, t);
                // Keeps 1 + b (Pr - Pth) just positive.
                pth = pr + 0.999L / tc.b;
            }
            gv = taitgv(v, tc, p, pth);
        }
    }

    // Fluids.
    real gfluid = 0;
    real gmix = 0;
    if (name == "H2O" || name == "CO2") {
        const bool h2o = name == "H2O";
        const FluidState f1 = spfluid(ses, gs.newspfluid, p, t);
        FluidState f2;
        if (h2o) {
            gfluid = f1.rtlnf;
        } else {
            f2 = spfluid2(ses, gs.newspfluid, p, t);
            gfluid = f2.rtlnf;
        }
        const bool mixture = h2o ? (xco2 > 0 && xh2o < 1) : (xco2 < 1 && xh2o > 0);
        if (gs.runftype == ftype::ih2oco2 && mixture) {
            if (h2o) f2 = spfluid2(ses, gs.newspfluid, p, t);
            gmix = fluidmix(name, h2o, xco2, xh2o, f1.v, f2.v);
        }
    } else {
        for (const MinorFluid& mf : minorfluids) {
            if (name == mf.name) gfluid = corkfluid(p, t, mf.pcrit, mf.tcrit).rtlnf;
        }
    }

    // Order-disorder.
    real gord = 0;
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
        gord = braggwilliamsg(row, q, p, t);
    } else if (row[15] > 0) {
        gord = landaug(row, gs.ds190, name, p, t, order);
    }

    // Channel H2O and CO2 of cordierite, in equilibrium with the fluid.
    real gcrd = 0;
    const bool channel = gs.runcalcmode == calcmodetype::lsqdscalc
                             ? gs.xpchannelfluid
                             : gs.runcalcmode != calcmodetype::nlecalc;
    if ((name == "crd" || name == "fcrd") && channel) {
        real sum = 1;
        if (xh2o > 0) {
            const real c3 = gs.ds190 ? 41.79L : 42.84L;
            const real k1 = std::exp(
                (0.109L * t - c3 + 0.0083L * ((t - tr) - t * std::log(t / tr))) / (rgas_ * t));
            const real f = std::exp(spfluid(ses, gs.newspfluid, p, t).rtlnf / (rgas_ * t));
            sum += xh2o * f / k1;
        }
        if (xco2 > 0) {
            const real k2 = std::exp(-1930 / t + 12.73L);
            const real f = std::exp(spfluid2(ses, gs.newspfluid, p, t).rtlnf / (rgas_ * t));
            sum += xco2 * f / k2;
        }
        gcrd = -rgas_ * t * std::log(sum);
    }

    // Aqueous species: solvent-density term and Debye-Hueckel activity coefficient.
    real gaq = 0;
    if (row[17] != 0) {
        const real tp = t <= 500 ? t : 500;
        const real v1 = spfluid(ses, gs.newspfluid, p, t).v;
        if (!(v1 > 0)) bad_row(name, "zero water volume in the aqueous term");
        gaq = row[17] * (-27.091L + 0.09086L * t + 350.42L * (t / tp) * std::log(1.81799456L / v1) -
                         15.8L * p);
        if (gs.runcalcmode != calcmodetype::lsqdscalc) {
            gaq += 0.03354L * t;
            if (row[18] != 0 && row[26] > 0) {
                gaq += 0.019144612724L * t *
                       calcdh(ses, gs.newspfluid, gs.debuglev, p, t, xco2, xh2o, row[26],
                              row[19] * row[18]);
            }
        }
    }

    const real g = (h - t * s) + gcp + gv + gfluid + gmix + gord + gcrd + gaq;
    if (!std::isfinite(g)) {
        bad_row(name, "Gibbs energy not finite (data row outside its equation of state)");
    }
    return g;
}

}  // namespace qv
