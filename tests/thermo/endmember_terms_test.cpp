// The terms of the end-member Gibbs energy that the dataset's solids do not reach: the minor
// fluids, the H2O-CO2 mixing term of CO2, the channel fluid of cordierite, the aqueous terms, the
// Einstein heat capacity, the 190-layout Landau term and the messages of degenerate rows.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/fakes.hpp"
#include "support/near.hpp"
#include "textio/numfmt.hpp"
#include "thermo/aqueous.hpp"
#include "thermo/einstein.hpp"
#include "thermo/fluids.hpp"
#include "thermo/gem.hpp"
#include "thermo_support.hpp"

namespace qv::test {
namespace {

constexpr real tr = 298.15L;
constexpr real pr = 0.001L;
constexpr real rk = 0.0083144L;

// A row with no volume, so that G - (H - TS + heat capacity) is the fluid, order, channel or
// aqueous term alone.
tdvector novolume() {
    return makerow({-100, 0.2L, 0, 0.05L, 1e-5L, 0, 0});
}

real term(Session& ses, const GemSettings& gs, const tdvector& r, const std::string& name, real p,
          real t) {
    return gem(ses, gs, r, name, p, t) - gem(ses, gs, r, "plain", p, t);
}

// The minor fluids take the corresponding-states R T ln f with their own critical constants.
TEST(GemTerms, MinorFluidsByName) {
    TestSession ts;
    const GemSettings gs;
    struct Case {
        const char* name;
        real tcrit, pcrit;
    };
    for (const Case& c :
         {Case{"CH4", 190.6L, 0.046L}, Case{"H2", 41.2L, 0.0211L}, Case{"CO", 132.9L, 0.035L},
          Case{"H2S", 373.2L, 0.0893L}, Case{"S2", 259.6L, 0.08L}}) {
        SCOPED_TRACE(c.name);
        const real p = 3, t = 900;
        EXPECT_ABS_NEAR(static_cast<double>(term(ts.ses, gs, novolume(), c.name, p, t)),
                        static_cast<double>(corkfluid(p, t, c.pcrit, c.tcrit).rtlnf), 1e-9);
    }
    // Names are exact: no fluid term for another case.
    EXPECT_EQ(term(ts.ses, gs, novolume(), "ch4", 3, 900), 0);
}

// CO2 of an H2O-CO2 fluid of type ih2oco2 takes the mixing term 2 W x(H2O)^2 V2 V1^2 / ...;
// pure CO2 and other fluid types take none.
TEST(GemTerms, Co2MixingTerm) {
    TestSession ts;
    GemSettings gs;
    gs.runftype = ftype::ih2oco2;
    tdvector r = novolume();
    const real p = 5, t = 873.15L, xc = 0.3L, xw = 0.7L;
    r[27] = xc;
    r[28] = xw;
    const real v1 = spfluid(ts.ses, true, p, t).v, v2 = spfluid2(ts.ses, true, p, t).v;
    const real w = 10.5L * (v1 + v2) / (v1 * v2);
    const real mix = 2 * w * xw * xw * v2 * v1 * v1 / ((v1 + v2) * std::pow(xw * v1 + xc * v2, 2));
    const real rtlnf = spfluid2(ts.ses, true, p, t).rtlnf;
    EXPECT_ABS_NEAR(static_cast<double>(term(ts.ses, gs, r, "CO2", p, t)),
                    static_cast<double>(rtlnf + mix), 1e-9);
    gs.runftype = ftype::h2oco2;
    EXPECT_ABS_NEAR(static_cast<double>(term(ts.ses, gs, r, "CO2", p, t)),
                    static_cast<double>(rtlnf), 1e-12);
    gs.runftype = ftype::ih2oco2;
    r[27] = 1;
    r[28] = 0;
    EXPECT_ABS_NEAR(static_cast<double>(term(ts.ses, gs, r, "CO2", p, t)),
                    static_cast<double>(rtlnf), 1e-12);
}

// Channel H2O and CO2 of cordierite: -R T ln(1 + x(H2O) f(H2O)/K1 + x(CO2) f(CO2)/K2), never in
// phase diagram runs, in the calibration only for experiments that admit it.
TEST(GemTerms, CordieriteChannelFluid) {
    TestSession ts;
    const real p = 5, t = 973.15L, xc = 0.2L, xw = 0.8L;
    tdvector r = novolume();
    r[27] = xc;
    r[28] = xw;
    auto expected = [&](real c3) {
        const real k1 =
            std::exp((0.109L * t - c3 + 0.0083L * ((t - tr) - t * std::log(t / tr))) / (rk * t));
        const real k2 = std::exp(-1930 / t + 12.73L);
        const real fw = std::exp(spfluid(ts.ses, true, p, t).rtlnf / (rk * t));
        const real fc = std::exp(spfluid2(ts.ses, true, p, t).rtlnf / (rk * t));
        return -rk * t * std::log(1 + xw * fw / k1 + xc * fc / k2);
    };
    struct Case {
        const char* name;
        bool calibration;
        bool channelfluid;  // the run counts the channel fluid (rock calculations)
        bool xpchannel;
        bool ds190;
        bool applies;
    };
    for (const Case& c : {Case{"crd", false, false, true, false, false},
                          Case{"crd", false, true, false, false, true},
                          Case{"fcrd", false, true, false, true, true},
                          Case{"mcrd", false, true, false, false, false},
                          Case{"crd", true, false, false, false, false},
                          Case{"crd", true, false, true, false, true}}) {
        SCOPED_TRACE(std::string(c.name) + (c.ds190 ? " ds190" : ""));
        GemSettings gs;
        gs.calibration = c.calibration;
        gs.channelfluid = c.channelfluid;
        gs.xpchannelfluid = c.xpchannel;
        gs.ds190 = c.ds190;
        const real want = c.applies ? expected(c.ds190 ? 41.79L : 42.84L) : 0;
        EXPECT_ABS_NEAR(static_cast<double>(term(ts.ses, gs, r, c.name, p, t)),
                        static_cast<double>(want), 1e-9);
    }
    GemSettings gs;
    gs.channelfluid = true;
    r[27] = 0;
    r[28] = 0;
    EXPECT_EQ(term(ts.ses, gs, r, "crd", p, t), 0);
}

// The aqueous solvent term, its T/500 scaling above 500 K, the constant 0.03354 T and the
// Debye-Hueckel term outside the calibration, with value 19 x value 18 as the slope factor.
TEST(GemTerms, AqueousTerms) {
    TestSession ts;
    tdvector r = novolume();
    r[17] = 0.5L;
    r[18] = 2;
    r[19] = 1.5L;
    r[26] = 0.1L;
    r[27] = 0.25L;
    r[28] = 0.5L;
    for (real t : {450.0L, 800.0L}) {
        SCOPED_TRACE(static_cast<double>(t));
        const real p = 4;
        const real v1 = spfluid(ts.ses, true, p, t).v;
        const real tp = t <= 500 ? t : 500;
        const real solvent = 0.5L * (-27.091L + 0.09086L * t +
                                     350.42L * (t / tp) * std::log(1.81799456L / v1) - 15.8L * p);
        const real dh = 0.019144612724L * t * calcdh(ts.ses, true, 1, p, t, 0.25L, 0.5L, 0.1L, 3);
        GemSettings gs;
        EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, r, "aqx", p, t) -
                                            gem(ts.ses, gs, novolume(), "aqx", p, t)),
                        static_cast<double>(solvent + 0.03354L * t + dh), 1e-9);
        gs.calibration = true;
        EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, r, "aqx", p, t) -
                                            gem(ts.ses, gs, novolume(), "aqx", p, t)),
                        static_cast<double>(solvent), 1e-9);
        // No ionic strength: no Debye-Hueckel term.
        tdvector neutral = r;
        neutral[26] = 0;
        gs.calibration = false;
        EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, neutral, "aqx", p, t) -
                                            gem(ts.ses, gs, novolume(), "aqx", p, t)),
                        static_cast<double>(solvent + 0.03354L * t), 1e-9);
    }
}

// The solvent of a CO2-bearing fluid: the mixed volume and its excess term by a forward
// difference of 0.0001 kbar; the debug line of level 5 in full.
TEST(GemTerms, DebyeHueckelMixedSolventAndDebugLine) {
    TestSession ts;
    const real p = 5, t = 773.15L, xc = 0.2L, xw = 0.8L;
    auto vm = [&](real pp) {
        return xc * spfluid2(ts.ses, true, pp, t).v + xw * spfluid(ts.ses, true, pp, t).v;
    };
    const real v = vm(p) + 21 * xc * xw * (1 / vm(p + 0.0001L) - 1 / vm(p)) / 0.0001L;
    EXPECT_ABS_NEAR(static_cast<double>(dhsolvent(ts.ses, true, p, t, xc, xw)),
                    static_cast<double>(v), 1e-12);
    // Amounts 0.1 and 0.4 normalise to 0.2 and 0.8.
    const real e = calcdhab(p, t, xc, xw, v);
    const real s = 1 / std::sqrt(1e-5L * v * e * t);
    const real a = 57674.4L * s / (t * e), b = 1.59021e10L * s;
    const real ionic = 0.05L;
    const real want = -a * 2 * std::sqrt(ionic) / (1 + 4.5e-10L * b * std::sqrt(ionic));
    ts.ses.ch.pagewidth = 250;  // the whole line on the screen
    ts.console.output.clear();
    const real got = calcdh(ts.ses, true, 5, p, t, 0.1L, 0.4L, ionic, 2);
    EXPECT_ABS_NEAR(static_cast<double>(got), static_cast<double>(want), 1e-12);
    EXPECT_EQ(ts.console.output,
              "xco2 = 0.2000, xh2o = 0.8000, I = " + realfixstr(5, false, ionic) + ", A = " +
                  realfixstr(8, true, a) + ", B x 10^-10 = " + realfixstr(8, true, b * 1e-10L) +
                  ", DH(solute) = " + realfixstr(5, false, got) + "\n");
}

// The Einstein heat capacity: with no thermal expansion, G along Pr has -T d2G/dT2 = a xi(u) + bT
// and dG/dT = -S at Tr.
TEST(GemTerms, EinsteinHeatCapacity) {
    TestSession ts;
    GemSettings gs;
    gs.dsmode = 7;
    const real a = 0.17L, b = 2e-5L, theta = 700;
    const tdvector r = makerow({-2000, 0.09L, 4, a, b, 0, 0, 0, 1200, 4, -4.0L / 1200, theta}, 4);
    auto g = [&](real t) { return gem(ts.ses, gs, r, "fo", pr, t); };
    for (real t : {400.0L, 1000.0L}) {
        const real h = 0.5L;
        const real u = theta / t;
        const real xi = u * u * std::exp(u) / std::pow(std::expm1(u), 2);
        EXPECT_REL_NEAR(-t * (g(t + h) - 2 * g(t) + g(t - h)) / (h * h), a * xi + b * t, 1e-5L);
    }
    EXPECT_REL_NEAR(-(g(tr + 1e-3L) - g(tr - 1e-3L)) / 2e-3L, 0.09L, 1e-6L);
    EXPECT_ABS_NEAR(static_cast<double>(g(tr) - (-2000 - tr * 0.09L)), 0.0, 1e-9);
}

// The isobaric correction of the Einstein variant: the Simpson rule of the "numerical" switch
// meets the closed form on both sides of Tr (below Tr the step is negative; the closed form's
// series in theta/T loses some accuracy there), and `gem` uses the one the switch asks for.
TEST(GemTerms, EinsteinCorrectionBothWays) {
    TestSession ts;
    const real k0 = 1285, kp = 3.84L, v = 4.366L, a0 = 2.85e-5L, theta = 809;
    const tdvector r =
        makerow({-2172, 0.0951L, v, 0.1746L, 1e-5L, 0, 0, a0, k0, kp, -kp / k0, theta}, 5);
    for (bool hqz : {false, true}) {
        SCOPED_TRACE(hqz ? "hqz" : "tait");
        const EinsteinEos eos(v, theta, a0, k0, kp, -kp / k0, hqz);
        for (real t : {200.0L, 250.0L, 308.15L}) {
            EXPECT_ABS_NEAR(static_cast<double>(eos.simpson(t)), static_cast<double>(eos.props(t)),
                            1e-4);
        }
        GemSettings gs;
        gs.dsmode = 7;
        gs.hqzon = hqz;
        const real t = 1100, p = 20;
        const real closed = gem(ts.ses, gs, r, "fo", p, t);
        gs.numericalon = true;
        EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, r, "fo", p, t) - closed),
                        static_cast<double>(eos.simpson(t) - eos.props(t)), 1e-9);
    }
}

// Ei(x) for negative x by the eight-level continued fraction, against tabulated values.
TEST(GemTerms, ExponentialIntegralContinuedFraction) {
    struct Case {
        real x, ei;
    };
    for (const Case& c : {Case{-1, -0.21938393439552L}, Case{-2, -0.048900510708061L},
                          Case{-5, -0.0011482955912753L}}) {
        EXPECT_REL_NEAR(eicontfrac(c.x), c.ei, 2e-4L);
    }
}

// V = 0 gives no volume term in every form of the equation of state.
TEST(GemTerms, ZeroVolumeInEveryForm) {
    TestSession ts;
    struct Case {
        const char* label;
        const char* name;
        int16 dsmode;
        bool ds190;
        int16 code;
    };
    const tdvector r =
        makerow({-500, 0.1L, 0, 0.15L, 1e-5L, 0, 0, 3e-5L, 900, 4, -4.0L / 900, 600, 0.5L});
    for (const Case& c :
         {Case{"ordinary", "s", 6, false, 0}, Case{"melt", "sL", 6, false, 0},
          Case{"190 layout", "s", -1, true, 0}, Case{"Einstein", "s", 7, false, 3}}) {
        SCOPED_TRACE(c.label);
        GemSettings gs;
        gs.dsmode = c.dsmode;
        gs.ds190 = c.ds190;
        tdvector row = r;
        row[31] = c.code;
        EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, row, c.name, 30, 1000) -
                                            gem(ts.ses, gs, row, c.name, pr, 1000)),
                        0.0, 1e-12);
    }
}

// The 190 layout's Landau term: Q = sqrt(1 - T/Tc) and the Murnaghan volume of disordering.
TEST(GemTerms, Ds190Landau) {
    TestSession ts;
    GemSettings gs;
    gs.ds190 = true;
    gs.dsmode = -1;
    const real a0 = 3e-5L, a1 = 10, k298 = 1000, n = 4, dkdt = -0.1L;
    const real tc0 = 847, smax = 0.00495L, vmax = 0.1188L;
    tdvector r = makerow({-910, 0.0415L, 2.27L, 0.1L, 0, 0, 0, a0, a1, 0, k298, n, dkdt});
    tdvector plain = r;
    r[14] = tc0;
    r[15] = smax;
    r[16] = vmax;
    for (real p : {pr, 5.0L}) {
        for (real t : {600.0L, 1200.0L}) {
            const real tc = tc0 + p * vmax / smax;
            const real q298 = std::sqrt(1 - tr / tc0);
            const real q = t <= tc ? std::sqrt(1 - t / tc) : 0;
            const real k = k298 + dkdt * (t - tr);
            const real f = 1 + a0 * ((t - tr) - 2 * a1 * (std::sqrt(t) - std::sqrt(tr)));
            const real hod =
                smax * (tc0 * q298 * (1 - q298 * q298 / 3) - tc * q * (1 - q * q / 3)) +
                vmax * q298 * k * f * (std::pow(1 + n * p / k, 1 - 1 / n) - 1) / (n - 1);
            const real sod = smax * (q298 - q);
            EXPECT_ABS_NEAR(static_cast<double>(gem(ts.ses, gs, r, "q", p, t) -
                                                gem(ts.ses, gs, plain, "q", p, t)),
                            static_cast<double>(hod - t * sod), 1e-9);
        }
    }
    tdvector n1 = r;
    n1[12] = 1;
    EXPECT_BOMB(gem(ts.ses, gs, n1, "q", 5, 1000), "gem", "q: Murnaghan exponent n of 0 or 1");
}

// Too large a thermal pressure: the state line on standard output before the stop.
TEST(GemTerms, ThermalPressureStopLine) {
    TestSession ts;
    const real k0 = 500, kp = 4, a0 = 5e-4L, theta = 500, p = 10, t = 1500;
    const tdvector r = makerow({-100, 0.05L, 2, 0.1L, 0, 0, 0, a0, k0, kp, -kp / k0, theta});
    GemSettings gs;
    gs.currentxp = 3;
    auto ein = [&](real u) { return 1 / std::expm1(u); };
    const real u0 = theta / tr;
    const real xi0 = u0 * u0 * std::exp(u0) / std::pow(std::expm1(u0), 2);
    const real pth = a0 * k0 * theta / xi0 * (ein(theta / t) - ein(u0));
    const real a = 1 + kp, b = kp * (kp + 2) / (k0 * (1 + kp)), c = 1 / (kp * (kp + 2));
    ts.console.output.clear();
    EXPECT_BOMB(gem(ts.ses, gs, r, "hot", p, t), "gem", "hot: b Pth > 1, log(-ve)");
    auto field = [](const std::string& s, std::size_t w) {
        return std::string(s.size() < w ? w - s.size() : 0, ' ') + s;
    };
    EXPECT_EQ(ts.console.output,
              "   3   hot   10.000000      1227" + field(realfixstr(6, true, pth), 16) +
                  field(realfixstr(6, true, a), 12) + field(realfixstr(6, true, b), 12) +
                  field(realfixstr(6, true, c), 12) + "\n");
}

// Einstein rows whose cold curve divides by zero stop by name rather than in the iteration.
TEST(GemTerms, DegenerateEinsteinRowsStop) {
    TestSession ts;
    GemSettings gs;
    gs.dsmode = 7;
    const tdvector kp0 =
        makerow({-2172, 0.0951L, 4.366L, 0.1746L, 1e-5L, 0, 0, 2.85e-5L, 1285, 0, 0, 809}, 3);
    EXPECT_BOMB(gem(ts.ses, gs, kp0, "fo", 10, 1000), "gem",
                "fo: b(c - 1) = 0 in the Tait equation of state (K0' = 0)");
    gs.hqzon = true;
    EXPECT_BOMB(gem(ts.ses, gs, kp0, "fo", 10, 1000), "gem",
                "fo: K0' = 0 in the Einstein equation of state");
    tdvector th0 = makerow(
        {-2172, 0.0951L, 4.366L, 0.1746L, 1e-5L, 0, 0, 2.85e-5L, 1285, 3.84L, -3.84L / 1285, 0}, 3);
    EXPECT_BOMB(gem(ts.ses, gs, th0, "fo", 10, 1000), "gem",
                "fo: theta <= 0 in the Einstein equation of state");
}

}  // namespace
}  // namespace qv::test
