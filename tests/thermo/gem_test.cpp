#include "thermo/gem.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/fakes.hpp"
#include "support/near.hpp"
#include "thermo/einstein.hpp"
#include "thermo/fluids.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"
#include "thermo_support.hpp"

namespace qv::test {
namespace {

constexpr real tr = 298.15L;
constexpr real pr = 0.001L;

bool isfluid(const std::string& n) {
    return n == "H2O" || n == "CO2";
}

// Volume of the modified Tait equation with Einstein thermal pressure, written from the equation
// itself (V = V0 [1 - a (1 - (1 + b (P - Pth))^-c)], referred to Pr), plus the volume of the
// order-disorder terms at their equilibrium Q.
real taitvolume(const tdvector& r, real p, real t) {
    const real v = r[3], a0 = r[8], k = r[9], kp = r[10], kpp = r[11], th = r[12];
    const real a = (1 + kp) / (1 + kp + k * kpp);
    const real b = kp / k - kpp / (1 + kp);
    const real c = (1 + kp + k * kpp) / (kp * kp + kp - k * kpp);
    auto ein = [&](real tt) { return 1 / (std::exp(th / tt) - 1); };
    const real u0 = th / tr;
    const real xi0 = u0 * u0 * std::exp(u0) / ((std::exp(u0) - 1) * (std::exp(u0) - 1));
    const real pth = a0 * k * th / xi0 * (ein(t) - ein(tr));
    real vol = v * (1 - a * (1 - std::pow(1 + b * (p - pth), -c))) /
               (1 - a * (1 - std::pow(1 + b * pr, -c)));
    if (r[15] > 0 && r[24] == 0) {  // Landau: Vmax (Q298 - Q)
        const real tc = r[14] + p * r[16] / r[15];
        const real q = t < tc ? std::sqrt((tc - t) / r[14]) : 0;
        vol += r[16] * (std::sqrt(1 - tr / r[14]) - q);
    }
    return vol;
}

real dgdp(Ds62& d, int16 k, real p, real t, real h) {
    return (d.g(k, p + h, t) - d.g(k, p - h, t)) / (2 * h);
}
real dgdt(Ds62& d, int16 k, real p, real t, real h) {
    return (d.g(k, p, t + h) - d.g(k, p, t - h)) / (2 * h);
}

class Ds62Gem : public Ds62Suite {};

TEST_F(Ds62Gem, ReadsAllEndMembers) {
    ASSERT_EQ(d->nem(), 29);
    EXPECT_TRUE(d->gs.newspfluid);
    EXPECT_EQ(d->name(1), "q");
    EXPECT_EQ(d->name(29), "CO2");
}

// At the reference state the solids' G is H - Tr S, its P slope V0 and its T slope -S, each
// with the Bragg-Williams term at its equilibrium Q where there is one (stationary in Q, so its
// slopes are taken at fixed Q).
TEST_F(Ds62Gem, ReferenceStateIdentities) {
    ThermoWork tw;
    for (int16 k = 1; k <= d->nem(); ++k) {
        if (isfluid(d->name(k))) continue;
        SCOPED_TRACE(d->name(k));
        const tdvector& r = d->row(k);
        real vbw = 0, sbw = 0, gbw = 0;
        if (r[24] > 0) {
            const real q = bisectx(tw, static_cast<int>(r[24]), tr, r[20] + pr * r[21],
                                   r[22] + pr * r[23], r[25]);
            const real h = 1e-3L;
            vbw = (braggwilliamsg(tw, r, q, pr + h, tr) - braggwilliamsg(tw, r, q, pr - h, tr)) /
                  (2 * h);
            sbw = -(braggwilliamsg(tw, r, q, pr, tr + h) - braggwilliamsg(tw, r, q, pr, tr - h)) /
                  (2 * h);
            gbw = braggwilliamsg(tw, r, q, pr, tr);
        }
        EXPECT_REL_NEAR(dgdp(*d, k, pr, tr, 1e-4L), r[3] + vbw, 1e-6L);
        // (Landau: Q at Pr differs from Q298 by the tiny shift Pr Vmax/Smax of Tc.)
        EXPECT_REL_NEAR(dgdt(*d, k, pr, tr, 1e-3L), -r[2] - sbw, 1e-5L);
        EXPECT_ABS_NEAR(static_cast<double>(d->g(k, pr, tr) - (r[1] - tr * r[2] + gbw)), 0.0, 1e-5);
    }
}

// Along the reference isobar the volume term vanishes, so -T d2G/dT2 is the heat capacity of
// the row for every solid without an order-disorder term.
TEST_F(Ds62Gem, HeatCapacityAlongReferenceIsobar) {
    for (int16 k = 1; k <= d->nem(); ++k) {
        const tdvector& r = d->row(k);
        if (isfluid(d->name(k)) || r[15] > 0 || r[24] > 0) continue;
        SCOPED_TRACE(d->name(k));
        for (real t : {400.0L, 800.0L, 1300.0L}) {
            const real h = 0.5L;
            const real g2 =
                (d->g(k, pr, t + h) - 2 * d->g(k, pr, t) + d->g(k, pr, t - h)) / (h * h);
            const real cp = r[4] + r[5] * t + r[6] / (t * t) + r[7] / std::sqrt(t);
            EXPECT_REL_NEAR(-t * g2, cp, 1e-5L);
        }
    }
}

// dG/dP is the volume of the equation of state at metamorphic and high pressures.
TEST_F(Ds62Gem, PressureDerivativeIsTaitVolume) {
    for (int16 k = 1; k <= d->nem(); ++k) {
        const tdvector& r = d->row(k);
        if (isfluid(d->name(k)) || r[24] > 0) continue;
        SCOPED_TRACE(d->name(k));
        for (real p : {10.0L, 40.0L}) {
            for (real t : {673.15L, 1173.15L}) {
                EXPECT_ABS_NEAR(static_cast<double>(dgdp(*d, k, p, t, 1e-3L)),
                                static_cast<double>(taitvolume(r, p, t)), 2e-6);
            }
        }
    }
}

// Bragg-Williams end-members: the returned order fraction makes G stationary in Q, and dG/dP is
// the solid's volume plus the volume of disordering at that Q.
TEST_F(Ds62Gem, BraggWilliamsEquilibrium) {
    ThermoWork tw;
    for (const char* n : {"sill", "an", "ab", "sp", "dol"}) {
        SCOPED_TRACE(n);
        const int16 k = d->find(n);
        ASSERT_GT(k, 0);
        const tdvector& r = d->row(k);
        for (real p : {pr, 10.0L, 40.0L}) {
            for (real t : {773.15L, 1173.15L, 1573.15L}) {
                const int nb = static_cast<int>(r[24]);
                const real q = bisectx(tw, nb, t, r[20] + p * r[21], r[22] + p * r[23], r[25]);
                if (q > 1e-6L && q < 0.999999L) {
                    // Stationary within the bisection's tolerance: |dG/dQ| below 0.001 kJ, or
                    // a sign change of dG/dQ within the last halving step around Q.
                    auto dgdq = [&](real x) {
                        const real h = 1e-8L;
                        return (braggwilliamsg(tw, r, x + h, p, t) -
                                braggwilliamsg(tw, r, x - h, p, t)) /
                               (2 * h);
                    };
                    const real e = 2e-6L;
                    EXPECT_TRUE(std::fabs(dgdq(q)) < 0.0011L || dgdq(q - e) * dgdq(q + e) < 0)
                        << static_cast<double>(dgdq(q));
                }
                if (p > 1) {
                    tdvector plain = r;
                    plain[24] = 0;
                    const real vbw = r[21] + q * (r[23] - r[21]) - r[23] * q * q;
                    EXPECT_ABS_NEAR(static_cast<double>(dgdp(*d, k, p, t, 0.05L)),
                                    static_cast<double>(taitvolume(plain, p, t) + vbw), 2e-4);
                }
            }
        }
    }
}

// Landau: G and S continuous across the critical temperature, the order term gone above it.
TEST_F(Ds62Gem, LandauContinuousAcrossTc) {
    for (const char* n : {"q", "mt", "cc"}) {
        SCOPED_TRACE(n);
        const int16 k = d->find(n);
        const tdvector& r = d->row(k);
        for (real p : {pr, 5.0L}) {
            const real tc = r[14] + p * r[16] / r[15];
            const real e = 1e-4L;
            EXPECT_ABS_NEAR(static_cast<double>(d->g(k, p, tc - e) - d->g(k, p, tc + e)), 0.0,
                            1e-4);
            const real sbelow = -(d->g(k, p, tc - e) - d->g(k, p, tc - 2 * e)) / e;
            const real sabove = -(d->g(k, p, tc + 2 * e) - d->g(k, p, tc + e)) / e;
            EXPECT_ABS_NEAR(static_cast<double>(sbelow - sabove), 0.0, 2e-5);
            // Above Tc the heat capacity is the row's own again.
            const real t = tc + 100, h = 0.5L;
            const real g2 = (d->g(k, p, t + h) - 2 * d->g(k, p, t) + d->g(k, p, t - h)) / (h * h);
            tdvector plain = r;
            plain[15] = -1;
            const real g2p = (gem(d->ts.ses, d->gs, plain, n, p, t + h) -
                              2 * gem(d->ts.ses, d->gs, plain, n, p, t) +
                              gem(d->ts.ses, d->gs, plain, n, p, t - h)) /
                             (h * h);
            EXPECT_ABS_NEAR(static_cast<double>(g2 - g2p), 0.0, 1e-7);
        }
    }
}

// The fluid end-members: G - (H - TS + heat-capacity integral) is R T ln f of the fluid.
TEST_F(Ds62Gem, FluidsAddRTlnf) {
    for (const char* n : {"H2O", "CO2"}) {
        SCOPED_TRACE(n);
        const int16 k = d->find(n);
        tdvector solid = d->row(k);
        const real p = 5, t = 873.15L;
        const real g = d->g(k, p, t);
        const real base = gem(d->ts.ses, d->gs, solid, "notafluid", p, t);
        const FluidState f = std::string(n) == "H2O" ? spfluid(d->ts.ses, true, p, t)
                                                     : spfluid2(d->ts.ses, true, p, t);
        EXPECT_ABS_NEAR(static_cast<double>(g - base), static_cast<double>(f.rtlnf), 1e-9);
        // The volume is bisected to 0.001 cm3, 1e-4 kJ/kbar.
        EXPECT_REL_NEAR(dgdp(*d, k, p, t, 1e-4L), f.v, 1e-4L);
    }
}

// The H2O-CO2 non-ideal mixing term only for the ih2oco2 fluid type and a true mixture.
TEST_F(Ds62Gem, FluidMixingTerm) {
    const int16 k = d->find("H2O");
    tdvector r = d->row(k);
    r[27] = 0.3L;
    r[28] = 0.7L;
    GemSettings gs = d->gs;
    const real p = 5, t = 873.15L;
    const real g0 = gem(d->ts.ses, gs, r, "H2O", p, t);
    gs.runftype = ftype::ih2oco2;
    const real g1 = gem(d->ts.ses, gs, r, "H2O", p, t);
    const real v1 = spfluid(d->ts.ses, true, p, t).v, v2 = spfluid2(d->ts.ses, true, p, t).v;
    const real w = 10.5L * (v1 + v2) / (v1 * v2);
    const real mix =
        2 * w * 0.09L * v1 * v2 * v2 / ((v1 + v2) * std::pow(0.7L * v1 + 0.3L * v2, 2));
    EXPECT_ABS_NEAR(static_cast<double>(g1 - g0), static_cast<double>(mix), 1e-9);
    r[27] = 0;
    r[28] = 1;
    EXPECT_EQ(gem(d->ts.ses, gs, r, "H2O", p, t), g0);
}

// A row edited in place (as a calibration does) gives the G of the edited values, the same as a
// fresh copy of them, whatever was evaluated with the row before.
TEST_F(Ds62Gem, RowEditedInPlaceGivesItsNewEnergy) {
    const int16 k = d->find("py");
    tdvector& r = d->row(k);
    const tdvector saved = r;
    const real before = d->g(k, 20, 1000);
    for (int i : {3, 8, 9, 10, 11, 12}) {
        SCOPED_TRACE(i);
        r[i] *= 1.01L;
        const tdvector copy = r;
        const real edited = d->g(k, 20, 1000);
        EXPECT_NE(edited, before);
        EXPECT_EQ(edited, gem(d->ts.ses, d->gs, copy, "py", 20, 1000));
        r = saved;
        EXPECT_EQ(d->g(k, 20, 1000), before);
    }
}

TEST_F(Ds62Gem, CountsEveryEvaluation) {
    const int64 before = d->ts.ses.gemcount;
    d->g(1, 5, 800);
    d->g(28, 5, 800);
    EXPECT_EQ(d->ts.ses.gemcount, before + 2);
}

TEST(Gem, TinyEntropyReturnsEnthalpy) {
    TestSession ts;
    const tdvector r = makerow({-100, 1e-9L, 2, 0.1L, 0, 0, 0, 2e-5L, 1000, 4, -0.004L});
    EXPECT_EQ(gem(ts.ses, GemSettings{}, r, "x", 20, 1500), -100);
}

TEST(Gem, ZeroBulkModulusGivesLinearVolumeTerm) {
    TestSession ts;
    const tdvector r = makerow({-100, 0.05L, 2, 0.1L, 0, 0, 0, 2e-5L, 0, 4, 0, 500});
    const real g1 = gem(ts.ses, GemSettings{}, r, "x", 10, 800);
    const real g0 = gem(ts.ses, GemSettings{}, r, "x", pr, 800);
    EXPECT_ABS_NEAR(static_cast<double>(g1 - g0), static_cast<double>(2 * (10 - pr)), 1e-12);
}

// A melt: volume V e^(a0 (T - Tr)) on a Tait curve whose K falls with T.
TEST(Gem, MeltVolume) {
    TestSession ts;
    const real k0 = 300, kp = 6, dkdt = -0.2L;
    tdvector r = makerow({-1000, 0.1L, 4, 0.2L, 0, 0, 0, 5e-5L, k0, kp, -kp / k0, 0, dkdt});
    for (real p : {10.0L, 40.0L}) {
        const real t = 1500, h = 1e-3L;
        const real k = k0 + dkdt * (t - tr);
        const real a = (1 + kp) / (1 + kp - k * kp / k0);
        const real b = kp / k + kp / k0 / (1 + kp);
        const real c = (1 + kp - k * kp / k0) / (kp * kp + kp + k * kp / k0);
        const real v = 4 * std::exp(5e-5L * (t - tr)) * (1 - a * (1 - std::pow(1 + b * p, -c))) /
                       (1 - a * (1 - std::pow(1 + b * pr, -c)));
        const real dg = (gem(ts.ses, GemSettings{}, r, "liqL", p + h, t) -
                         gem(ts.ses, GemSettings{}, r, "liqL", p - h, t)) /
                        (2 * h);
        EXPECT_REL_NEAR(dg, v, 1e-8L);
    }
    r[13] = -1;  // K(1500 K) < 0
    EXPECT_BOMB(gem(ts.ses, GemSettings{}, r, "liqL", 10, 1500), "gem",
                "liqL: K(T) <= 0 in the melt equation of state");
}

// The 190 layout: Murnaghan volume V00 (1 + n P/K)^(-1/n).
TEST(Gem, MurnaghanVolume) {
    TestSession ts;
    GemSettings gs;
    gs.ds190 = true;
    gs.dsmode = -1;
    const real a0 = 3e-5L, a1 = 10, k298 = 1200, n = 4, dkdt = -0.15L;
    tdvector r = makerow({-2000, 0.1L, 4, 0.2L, 0, 0, 0, a0, a1, 0, k298, n, dkdt});
    for (real p : {10.0L, 40.0L}) {
        const real t = 1000, h = 1e-3L;
        const real k = k298 + dkdt * (t - tr);
        const real v1 = 4 * (1 + a0 * ((t - tr) - 2 * a1 * (std::sqrt(t) - std::sqrt(tr))));
        const real v = v1 * std::pow(1 + n * pr / k, 1 / n) * std::pow(1 + n * p / k, -1 / n);
        const real dg =
            (gem(ts.ses, gs, r, "m", p + h, t) - gem(ts.ses, gs, r, "m", p - h, t)) / (2 * h);
        EXPECT_REL_NEAR(dg, v, 1e-8L);
    }
    r[11] = 100;
    EXPECT_BOMB(gem(ts.ses, gs, r, "m", 10, 1000), "gem",
                "m: K(T) <= 0 in the Murnaghan equation of state");
}

// The Einstein variant: dG/dP is V0 x with x the relative volume on the equation of state, at
// high pressure and for both cold curves.
TEST(Gem, EinsteinVariantVolume) {
    TestSession ts;
    const real k0 = 1285, kp = 3.84L;
    // H S V a b (entries 4, 5), theta, a0 K0 K0' K0''; code 3 in a layout-7 dataset.
    tdvector r =
        makerow({-2172, 0.0951L, 4.366L, 0.1746L, 1e-5L, 0, 0, 2.85e-5L, k0, kp, -kp / k0, 809}, 3);
    for (bool hqz : {false, true}) {
        GemSettings gs;
        gs.dsmode = 7;
        gs.hqzon = hqz;
        SCOPED_TRACE(hqz ? "hqz" : "tait");
        const EinsteinEos eos(4.366L, 809, 2.85e-5L, k0, kp, -kp / k0, hqz);
        for (real p : {10.0L, 40.0L, 100.0L}) {
            for (real t : {500.0L, 1200.0L}) {
                const real x = eos.calcv(p, t);
                EXPECT_ABS_NEAR(static_cast<double>(eos.pcold(x, eos.pth(t))),
                                static_cast<double>(p), 1e-6);
                const real h = 1e-3L;
                const real dg =
                    (gem(ts.ses, gs, r, "fo", p + h, t) - gem(ts.ses, gs, r, "fo", p - h, t)) /
                    (2 * h);
                EXPECT_REL_NEAR(dg, 4.366L * x, 1e-6L);
            }
        }
        // The closed-form isobaric correction agrees with the Simpson rule.
        for (real t : {900.0L, 1500.0L})
            EXPECT_ABS_NEAR(static_cast<double>(eos.props(t) - eos.simpson(t)), 0.0, 2e-3);
    }
    r[9] = 0;
    GemSettings gs;
    gs.dsmode = 7;
    EXPECT_BOMB(gem(ts.ses, gs, r, "fo", 10, 1000), "gem",
                "fo: K0 = 0 in the Einstein equation of state");
}

TEST(Gem, ExponentialIntegrals) {
    EXPECT_EQ(eidiff(0, 3), 0);
    EXPECT_EQ(intpow(2, 3.0L), 9);
    EXPECT_EQ(intpow(0, 3.0L), 1);
    // The series and the continued fraction meet: a small a by the series against quadrature.
    for (real a : {-0.2L, 0.3L, 1.5L}) {
        const real b = 4;
        real s = 0;
        const int n = 2000;
        for (int i = 0; i <= n; ++i) {
            const real t = a * i / n;
            const real w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
            s += w * std::exp(-b * t) / (1 + t);
        }
        s *= a / n / 3;
        EXPECT_ABS_NEAR(static_cast<double>(eidiff(a, b)), static_cast<double>(s), 2e-6);
    }
}

// Data rows that would make an equation of state divide by zero stop the run by name.
TEST(Gem, DegenerateRowsStop) {
    TestSession ts;
    const tdvector kp1 = makerow({-100, 0.05L, 2, 0.1L, 0, 0, 0, 2e-5L, 1000, 1, 0, 500});
    EXPECT_BOMB(gem(ts.ses, GemSettings{}, kp1, "bad", 10, 800), "gem",
                "bad: b(c - 1) = 0 in the Tait equation of state");
    const tdvector kp0 = makerow({-100, 0.05L, 2, 0.1L, 0, 0, 0, 2e-5L, 1000, 0, 0, 500});
    EXPECT_BOMB(gem(ts.ses, GemSettings{}, kp0, "bad", 10, 800), "gem",
                "bad: b(c - 1) = 0 in the Tait equation of state (K0' = 0)");
    const tdvector fluid = makerow({-241.81L, 0.1888L, 0, 0.0401L, 8.656e-6L, 487.5L, -0.2512L});
    EXPECT_BOMB(gem(ts.ses, GemSettings{}, fluid, "H2O", 0, 800), "spfluid",
                "fluid pressure must be positive (P <= 0)");
}

// Too large a thermal pressure: a stop in ordinary runs; while calibration results are written,
// a warning and Pth clamped to Pr + 0.999/b, which keeps 1 + b (Pr - Pth) at 0.001.
TEST(Gem, ThermalPressureClamp) {
    TestSession ts;
    const real k0 = 500, kp = 4, v = 2, a0 = 5e-4L, p = 10, t = 1500;
    const tdvector r = makerow({-100, 0.05L, v, 0.1L, 0, 0, 0, a0, k0, kp, -kp / k0, 500});
    GemSettings gs;
    EXPECT_BOMB(gem(ts.ses, gs, r, "hot", p, t), "gem", "hot: b Pth > 1, log(-ve)");
    gs.pthwarnonly = true;
    ts.console.output.clear();
    const real g = gem(ts.ses, gs, r, "hot", p, t);
    EXPECT_EQ(ts.console.output, "pth problem with hot in outxy at  10.00, 1227\n");
    const real a = 1 + kp, b = kp * (kp + 2) / (k0 * (1 + kp)), c = 1 / (kp * (kp + 2));
    const real pth = pr + 0.999L / b;
    const real gv =
        v *
        ((1 - a) * (p - pr) +
         a * (std::pow(0.001L, 1 - c) - std::pow(1 + b * (p - pth), 1 - c)) / (b * (c - 1))) /
        ((1 - a) + a * std::pow(1 + b * pr, -c));
    tdvector novol = r;
    novol[3] = 0;
    EXPECT_ABS_NEAR(static_cast<double>(g - gem(ts.ses, gs, novol, "hot", p, t)),
                    static_cast<double>(gv), 1e-9);
}

TEST(Gem, BisectionEnds) {
    ThermoWork tw;
    // Positive at both ends: full order; negative at both: the disordered end.
    EXPECT_EQ(bisectx(tw, 1, 300, 100, 0, 1), 0.9999999L);
    EXPECT_EQ(bisectx(tw, 1, 300, -100, 0, 1), 1e-7L);
}

}  // namespace
}  // namespace qv::test
