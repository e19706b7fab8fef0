#include "thermo/reactions.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "support/fakes.hpp"
#include "support/near.hpp"
#include "thermo/aqueous.hpp"
#include "thermo/fluids.hpp"
#include "thermo/makes.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"
#include "thermo_support.hpp"

namespace qv::test {
namespace {

// The dataset's end-members in rows 1..29 plus made end-members appended after them.
struct Calc {
    Ds62 d;
    tdmatrix& td = *d.run.arrays.td;
    strings& names = d.run.dataset.emnames;
    emvector act;
    std::function<MakeList(int16, int16)> lookup;
    MakeList made;  // the make list of pure phase 1
    Calc() {
        for (int i = 1; i <= maxem; ++i) act[i] = 1;
        lookup = [this](int16, int16) { return made; };
    }
    ReactionTables tables() { return ReactionTables{td, names, lookup, 31, act, 28, 29, 0, 4}; }
    int16 row(const char* n) { return d.find(n); }
};

TEST(MadeEndMembers, LinearTermPlusWeightedConstituents) {
    ThermoWork tw;
    Calc c;
    const int16 ky = c.row("ky"), sill = c.row("sill");
    // Row 30: a made pure phase 1 = (ky + sill)/2 + 1 - 0.002 T + 0.05 P.
    c.td[30] = tdvector{};
    c.td[30][1] = 1;
    c.td[30][2] = 0.002L;
    c.td[30][3] = 0.05L;
    c.td[30][30] = 1;
    c.names[30] = "made";
    c.made.n = 2;
    c.made.den = 2;
    c.made.c[1] = {ky, 1, OrderState::equilibrium};
    c.made.c[2] = {sill, 1, OrderState::equilibrium};
    const GemTables gt{c.td, c.names, c.lookup};
    const real p = 8, t = 900;
    const real gky = c.d.g(ky, p, t), gsill = c.d.g(sill, p, t);
    EXPECT_ABS_NEAR(static_cast<double>(gemdriver(c.d.ts.ses, c.d.gs, gt, 30, p, t)),
                    static_cast<double>((gky + gsill) / 2 + 1 - 0.002L * t + 0.05L * p), 1e-9);
    // A plain end-member is `gem` itself.
    EXPECT_EQ(gemdriver(c.d.ts.ses, c.d.gs, gt, ky, p, t), gky);
    // The order-disorder term of a constituent is weighted like the rest: twice sill taken
    // disordered differs from twice sill at equilibrium by twice the change of its order term.
    c.made.n = 1;
    c.made.den = 1;
    c.made.c[1] = {sill, 2, OrderState::equilibrium};
    const real geq = gemdriver(c.d.ts.ses, c.d.gs, gt, 30, p, t);
    c.made.c[1].order = OrderState::disordered;
    const real gdis = gemdriver(c.d.ts.ses, c.d.gs, gt, 30, p, t);
    const tdvector& r = c.td[sill];
    const real q =
        bisectx(tw, static_cast<int>(r[24]), t, r[20] + p * r[21], r[22] + p * r[23], r[25]);
    EXPECT_ABS_NEAR(
        static_cast<double>(gdis - geq),
        static_cast<double>(2 * (braggwilliamsg(tw, r, 0, p, t) - braggwilliamsg(tw, r, q, p, t))),
        1e-9);
    // A constituent list with divisor 0 stops; an empty list leaves the linear term.
    c.made.den = 0;
    EXPECT_BOMB(gemdriver(c.d.ts.ses, c.d.gs, gt, 30, p, t), "gemdriver",
                "made end-member with divisor 0");
    c.made.n = 0;
    EXPECT_ABS_NEAR(static_cast<double>(gemdriver(c.d.ts.ses, c.d.gs, gt, 30, p, t)),
                    static_cast<double>(1 - 0.002L * t + 0.05L * p), 1e-12);
    GemSettings old = c.d.gs;
    old.ds190 = true;
    EXPECT_BOMB(gemdriver(c.d.ts.ses, old, gt, 30, p, t), "gemdriver", "depem code for ds55??");
}

TEST(Reactions, DgAndDerivatives) {
    Calc c;
    ReactionTables tab = c.tables();
    iemvector rx;
    // ky = sill
    rx[c.row("ky")] = -1;
    rx[c.row("sill")] = 1;
    const real p = 8, t = 1000;
    const int64 before = c.d.ts.ses.gemcount;
    const ReactionDg r = calcdgr(c.d.ts.ses, c.d.gs, tab, rx, p, t, 0, 1);
    EXPECT_EQ(c.d.ts.ses.gemcount, before + 6);  // two end-members, three evaluations each
    EXPECT_ABS_NEAR(static_cast<double>(r.dg),
                    static_cast<double>(c.d.g(c.row("sill"), p, t) - c.d.g(c.row("ky"), p, t)),
                    1e-9);
    // Forward differences: dG/dP = dV and dG/dT = -dS to the order of the step.
    const real h = 1e-3L;
    auto dg = [&](real pp, real tt) {
        return c.d.g(c.row("sill"), pp, tt) - c.d.g(c.row("ky"), pp, tt);
    };
    EXPECT_ABS_NEAR(static_cast<double>(r.dgdp),
                    static_cast<double>((dg(p + h, t) - dg(p - h, t)) / (2 * h)), 1e-5);
    EXPECT_ABS_NEAR(static_cast<double>(r.dgdt),
                    static_cast<double>((dg(p, t + h) - dg(p, t - h)) / (2 * h)), 1e-5);
    // Exactly the forward differences with steps of 1e-5 kbar and 0.001 K.
    EXPECT_EQ(r.dgdp, (dg(p + 1e-5L, t) - dg(p, t)) / 1e-5L);
    EXPECT_EQ(r.dgdt, (dg(p, t + 0.001L) - dg(p, t)) / 0.001L);
    EXPECT_EQ(r.lnk, 0);
}

TEST(Reactions, LnKAndFluidTerms) {
    Calc c;
    ReactionTables tab = c.tables();
    iemvector rx;
    // cc + q = wo + CO2
    const int16 cc = c.row("cc"), q = c.row("q"), wo = c.row("wo"), co2 = c.row("CO2");
    rx[cc] = -1;
    rx[q] = -1;
    rx[wo] = 1;
    rx[co2] = 1;
    c.act[wo] = 0.5L;
    const real p = 2, t = 900, u = 0.4L, v = 0.6L;
    const ReactionDg a = calcdgr(c.d.ts.ses, c.d.gs, tab, rx, p, t, u, v);
    EXPECT_ABS_NEAR(static_cast<double>(a.lnk), static_cast<double>(std::log(0.5L) + std::log(u)),
                    1e-15);
    const ReactionDg b = calcdg0(c.d.ts.ses, c.d.gs, tab, rx, p, t);
    EXPECT_ABS_NEAR(static_cast<double>(a.dg - b.dg), static_cast<double>(rgas * t * a.lnk), 1e-9);
    EXPECT_ABS_NEAR(static_cast<double>(a.dgdt - b.dgdt), static_cast<double>(rgas * a.lnk), 1e-9);
    EXPECT_EQ(a.dgdp, b.dgdp);
    // The fluid terms went into the rows of the reaction's end-members only.
    EXPECT_EQ(c.td[co2][27], u);
    EXPECT_EQ(c.td[cc][28], v);
    EXPECT_EQ(c.td[c.row("ky")][27], 0);
    // u = 1 adds nothing; an activity of 0 in the reaction stops.
    EXPECT_ABS_NEAR(static_cast<double>(calclnk(tab, rx, 1, v)),
                    static_cast<double>(std::log(0.5L)), 1e-15);
    c.act[q] = 0;
    EXPECT_BOMB(calclnk(tab, rx, u, v), "calclnk", "ln<=0");
    const iemvector none;
    const ReactionDg z = calcdgr(c.d.ts.ses, c.d.gs, tab, none, p, t, u, v);
    EXPECT_EQ(z.dg, 0);
    EXPECT_EQ(z.dgdp, 0);
    EXPECT_EQ(z.dgdt, 0);
    EXPECT_BOMB(calcdg0(c.d.ts.ses, c.d.gs, tab, rx, p, 0), "calcdg0", "T <= 0 !");
}

// The end-member values kept from one evaluation to the next are dropped as soon as anything of
// the end-member's data row changes, however little (one unit in the last place of any value,
// the sign of a zero), or its name; the other end-members' values stay. A kept value, once
// dropped, is formed again from the row as it now is.
TEST(EmGCache, AnyChangeOfARowOrNameDropsItsValues) {
    Calc c;
    ReactionTables tab = c.tables();
    const int16 ky = c.row("ky"), sill = c.row("sill");
    iemvector rx;
    rx[ky] = -1;
    rx[sill] = 1;
    const real p = 8, t = 1000;
    EmGCache cache;
    auto evaluate = [&] {
        cache.start(c.d.gs, c.td, c.names, tab.nem, p, t);
        return calcdg0(c.d.ts.ses, c.d.gs, tab, rx, p, t, &cache);
    };
    auto kept = [&](int16 j) {
        cache.start(c.d.gs, c.td, c.names, tab.nem, p, t);
        return cache.have[0][j] && cache.have[1][j] && cache.have[2][j];
    };
    evaluate();
    ASSERT_TRUE(kept(ky));
    ASSERT_TRUE(kept(sill));
    const tdvector original = c.td[ky];
    for (int k = 1; k <= ntd; ++k) {
        SCOPED_TRACE("value " + std::to_string(k));
        const real v = original[k];
        const real up = std::nextafter(v, std::numeric_limits<real>::infinity());
        for (const real changed : {up, v == 0 ? -v : std::nextafter(v, 0.0L)}) {
            c.td[ky] = original;
            evaluate();
            c.td[ky][k] = changed;
            EXPECT_FALSE(kept(ky));
            EXPECT_TRUE(kept(sill));
        }
    }
    // Formed again from the changed row: as without a cache.
    c.td[ky] = original;
    c.td[ky][1] = original[1] + 0.5L;
    const ReactionDg fresh = evaluate();
    const ReactionDg apart = calcdg0(c.d.ts.ses, c.d.gs, tab, rx, p, t);
    EXPECT_EQ(fresh.dg, apart.dg);
    EXPECT_EQ(fresh.dgdp, apart.dgdp);
    EXPECT_EQ(fresh.dgdt, apart.dgdt);
    c.td[ky] = original;
    evaluate();
    c.names[ky] = "ky2";
    EXPECT_FALSE(kept(ky));
    EXPECT_TRUE(kept(sill));
}

// The members of a reaction are its end-members of nonzero coefficient within 1..nem, ascending:
// against a plain scan, for counts of end-members that do and do not fill whole groups of four,
// members at either end of a group, and coefficients past nem that must not count.
TEST(ReactionMembers, TheEndMembersOfNonzeroCoefficientAscending) {
    for (const int nem : {0, 1, 3, 4, 5, 8, 11, 18, 399, 400}) {
        iemvector rx;
        for (int j = 1; j <= maxem; ++j) {
            if (j % 7 == 1 || j % 4 == 0 || j == nem + 1) rx[j] = j % 2 == 0 ? 2 : -1;
        }
        std::array<int16, maxem> members{};
        const std::size_t n = reactionmembers(rx, static_cast<int16>(nem), members);
        std::size_t want = 0;
        for (int j = 1; j <= nem; ++j) {
            if (rx[j] == 0) continue;
            ASSERT_LT(want, n) << nem;
            EXPECT_EQ(members[want], j) << nem;
            ++want;
        }
        EXPECT_EQ(n, want) << nem;
    }
}

// A reaction whose every end-member value is already in the cache gives the bits, and counts the
// gem evaluations, of the same reaction formed without a cache: coefficients other than 1, and a
// value formed at another reaction's evaluation.
TEST(EmGCache, AReactionFromTheCacheIsTheReactionFormedAfresh) {
    Calc c;
    ReactionTables tab = c.tables();
    const int16 ky = c.row("ky"), sill = c.row("sill"), and_ = c.row("and");
    ASSERT_GT(and_, 0);
    iemvector first;
    first[ky] = -1;
    first[sill] = 1;
    iemvector rx;
    rx[ky] = 3;
    rx[sill] = -2;
    rx[and_] = -1;
    const real p = 7.5L, t = 950;
    Session& ses = c.d.ts.ses;
    const int64 start = ses.gemcount;
    const ReactionDg apart = calcdg0(ses, c.d.gs, tab, rx, p, t);
    const int64 apartcount = ses.gemcount - start;
    EmGCache cache;
    cache.start(c.d.gs, c.td, c.names, tab.nem, p, t);
    calcdg0(ses, c.d.gs, tab, first, p, t, &cache);                        // ky and sill formed
    const ReactionDg mixed = calcdg0(ses, c.d.gs, tab, rx, p, t, &cache);  // and formed
    cache.start(c.d.gs, c.td, c.names, tab.nem, p, t);
    const int64 before = ses.gemcount;
    const ReactionDg kept = calcdg0(ses, c.d.gs, tab, rx, p, t, &cache);  // all from the cache
    EXPECT_EQ(ses.gemcount - before, apartcount);
    for (const ReactionDg& g : {mixed, kept}) {
        EXPECT_EQ(g.dg, apart.dg);
        EXPECT_EQ(g.dgdp, apart.dgdp);
        EXPECT_EQ(g.dgdt, apart.dgdt);
    }
}

// The fluid terms of ln K: n ln u for CO2, n ln v for H2O, -4 n(aqSi) ln v for aqSi (whatever the
// H2O coefficient, as long as H2O is in the calculation), each only for 0 < u, v < 1.
TEST(Reactions, LnKFluidTermTable) {
    Calc c;
    const int16 h2o = c.row("H2O"), co2 = c.row("CO2"), aqsi = c.row("q");
    struct Case {
        const char* label;
        int16 nh2o, nco2, naqsi;
        bool withh2o;  // H2O is an end-member of the calculation
        real u, v, lnk;
    };
    const real l5 = std::log(0.5L), l25 = std::log(0.25L);
    for (const Case& k : {Case{"H2O", 2, 0, 0, true, 0.25L, 0.5L, 2 * l5},
                          Case{"H2O at v = 1", 2, 0, 0, true, 0.25L, 1, 0},
                          Case{"H2O at v = 0", 2, 0, 0, true, 0.25L, 0, 0},
                          Case{"H2O at v > 1", 2, 0, 0, true, 0.25L, 1.2L, 0},
                          Case{"CO2", 0, -1, 0, true, 0.25L, 0.5L, -l25},
                          Case{"CO2 at u = 0", 0, -1, 0, true, 0, 0.5L, 0},
                          Case{"aqSi", 0, 0, 1, true, 0.25L, 0.5L, -4 * l5},
                          Case{"aqSi with H2O", 1, 0, -1, true, 0.25L, 0.5L, l5 + 4 * l5},
                          Case{"aqSi without H2O", 0, 0, 1, false, 0.25L, 0.5L, 0}}) {
        SCOPED_TRACE(k.label);
        ReactionTables tab = c.tables();
        tab.aqsiem = aqsi;
        if (!k.withh2o) tab.h2oem = 0;
        iemvector rx;
        rx[h2o] = k.nh2o;
        rx[co2] = k.nco2;
        rx[aqsi] = k.naqsi;
        EXPECT_ABS_NEAR(static_cast<double>(calclnk(tab, rx, k.u, k.v)), static_cast<double>(k.lnk),
                        1e-15);
    }
}

TEST(Aqueous, DebyeHueckelTerm) {
    TestSession ts;
    const real p = 5, t = 773.15L;
    // No H2O and no CO2 is pure water; a solvent without CO2 takes the pure-water volume.
    EXPECT_EQ(calcdh(ts.ses, true, 1, p, t, 0, 0, 0.1L, 1),
              calcdh(ts.ses, true, 1, p, t, 0, 1, 0.1L, 1));
    EXPECT_EQ(dhsolvent(ts.ses, true, p, t, 0, 0.3L), spfluid(ts.ses, true, p, t).v);
    // Limiting law: -A z sqrt(I) at vanishing ionic strength, A from the dielectric constant.
    const real v = spfluid(ts.ses, true, p, t).v;
    const real e = calcdhab(p, t, 0, 1, v);
    const real a = 57674.4L / std::sqrt(1e-5L * v * e * t) / (t * e);
    const real i = 1e-16L;
    EXPECT_REL_NEAR(calcdh(ts.ses, true, 1, p, t, 0, 1, i, 2), -2 * a * std::sqrt(i), 1e-6L);
    // The dielectric constant solves 2 e^2 - k e - 1 = 0: a water-like value at these states.
    EXPECT_GT(e, 5);
    EXPECT_LT(e, 40);
    ts.ses.ch.activechannels = 1;
    ts.console.output.clear();
    calcdh(ts.ses, true, 6, p, t, 0, 1, 0.1L, 1);
    EXPECT_EQ(ts.console.output, "");
    calcdh(ts.ses, true, 5, p, t, 0, 1, 0.1L, 1);
    EXPECT_EQ(ts.console.output.rfind("xco2 = 0, xh2o = 1.0000, I = ", 0), 0u) << ts.console.output;
}

}  // namespace
}  // namespace qv::test
