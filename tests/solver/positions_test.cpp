#include "solver/positions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "solver_support.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// Reaction positions against a root of dG = 0 found here by plain bisection on sums of `gem`
// (0.01 kbar, 0.2 K): the Al2SiO5 reactions, a dehydration and a decarbonation with pure fluid.
TEST(Positions, DatasetReactionsAgainstBisection) {
    DsReactions c;
    c.purefluids();
    struct Case {
        const char* label;
        std::initializer_list<std::pair<const char*, int16>> terms;
        bool byp;    // pressure at the fixed T, else temperature at the fixed P
        real fixed;  // K or kbar
        real u, v;   // fluid terms
    };
    const Case cases[] = {
        {"ky = sill", {{"ky", -1}, {"sill", 1}}, true, 973.15L, 0, 1},
        {"and = sill", {{"and", -1}, {"sill", 1}}, true, 973.15L, 0, 1},
        {"ky = and", {{"ky", -1}, {"and", 1}}, true, 773.15L, 0, 1},
        {"ky = sill in T", {{"ky", -1}, {"sill", 1}}, false, 9, 0, 1},
        {"mu + q = san + sill + H2O",
         {{"mu", -1}, {"q", -1}, {"san", 1}, {"sill", 1}, {"H2O", 1}},
         false,
         2,
         0,
         1},
        {"mu + q dehydration in P",
         {{"mu", -1}, {"q", -1}, {"san", 1}, {"sill", 1}, {"H2O", 1}},
         true,
         973.15L,
         0,
         1},
        {"cc + q = wo + CO2", {{"cc", -1}, {"q", -1}, {"wo", 1}, {"CO2", 1}}, false, 2, 1, 0},
    };
    const PositionData data{c.cov, c.actsd};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.label);
        c.setreaction(1, k.terms);
        const Position pos = k.byp ? calcpsd(c.ev, data, c.rl, 1, k.fixed, k.u, k.v)
                                   : calctsd(c.ev, data, c.rl, 1, k.fixed, k.u, k.v);
        c.purefluids();
        const findtype ft = k.byp ? findtype::findp : findtype::findt;
        ASSERT_TRUE(inrange(c.w, ft, pos.x1));
        const real x = k.byp ? c.bisect(1, true, k.fixed, c.w.pwinlow, c.w.pwinhigh)
                             : c.bisect(1, false, k.fixed, c.w.twinlow, c.w.twinhigh);
        EXPECT_ABS_NEAR(static_cast<double>(pos.x1), static_cast<double>(x), k.byp ? 0.01 : 0.2);
        EXPECT_EQ(pos.x2, nosecondroot);
        EXPECT_EQ(pos.sd2, 1e31L);
        EXPECT_TRUE(std::isfinite(pos.dtdp1));
    }
}

// A reaction search asks for dG with the derivatives it needs at each trial value, and again for
// values it formed before (a Newton step held at the window edge it started from): its roots, and
// the count of end-member evaluations, are those of the plain search that forms every value (with
// the roots' derivatives formed as calcdgr forms them: three evaluations of each end-member).
TEST(Positions, SearchFormsAndCountsEveryValue) {
    DsReactions c;
    c.purefluids();
    c.w.pwinlow = 0.0009L;
    c.setreaction(1, {{"mu", -1}, {"q", -1}, {"san", 1}, {"sill", 1}, {"H2O", 1}});
    constexpr int members = 5;
    Session& ses = c.ev.ses;
    int asked = 0, again = 0, roots = 0;
    for (real t = 673.15L; t <= 1073.15L; t += 25) {
        SCOPED_TRACE(static_cast<double>(t));
        std::vector<std::pair<real, real>> formed;
        const DgNeedAt plain = [&](real p, real tt, GemNeed need) {
            if (need.p || need.t) {
                ++asked;
                for (const auto& [fp, ft] : formed) again += fp == p && ft == tt ? 1 : 0;
                formed.emplace_back(p, tt);
            }
            return calcdgr_derivs(ses, c.ev.gs, c.tab, c.r[1], p, tt, 0, 1, need);
        };
        const int64 before = ses.gemcount;
        const Roots want = find(c.w, plain, findtype::findp, false, 0, 0, t);
        const int64 plaincount = ses.gemcount - before;
        const int64 start = ses.gemcount;
        const Roots got = findrxnp(c.ev, 1, false, 0, t, 0, 1);
        const int64 count = ses.gemcount - start;
        EXPECT_EQ(got.x1, want.x1);
        EXPECT_EQ(got.x2, want.x2);
        int inwindow = 0;
        if (inrange(c.w, findtype::findp, want.x1)) {
            ++inwindow;
            if (inrange(c.w, findtype::findp, want.x2)) ++inwindow;
        }
        roots += inwindow;
        EXPECT_EQ(count, plaincount + inwindow * 2 * members);
    }
    EXPECT_GT(roots, 10);
    EXPECT_GT(again, 5);
    EXPECT_GT(asked, 50);
}

// The Al2SiO5 invariant point: where ky = and and and = sill meet (found by bisection here),
// ky = sill passes through the same P.
TEST(Positions, Al2SiO5InvariantPoint) {
    DsReactions c;
    c.setreaction(1, {{"ky", -1}, {"and", 1}});
    c.setreaction(2, {{"and", -1}, {"sill", 1}});
    c.setreaction(3, {{"ky", -1}, {"sill", 1}});
    real a = 673.15L, b = 1073.15L;
    const auto gap = [&](real t) {
        return c.bisect(1, true, t, 0.01L, 30) - c.bisect(2, true, t, 0.01L, 30);
    };
    const bool rising = gap(a) < 0;
    for (int k = 0; k < 60; ++k) {
        const real m = (a + b) / 2;
        ((gap(m) < 0) == rising ? a : b) = m;
    }
    const real t = (a + b) / 2;
    const real p = c.bisect(1, true, t, 0.01L, 30);
    ASSERT_TRUE(inrange(c.w, findtype::findp, p));
    for (int16 i = 1; i <= 3; ++i) {
        const Roots r = findrxnp(c.ev, i, false, 0, t, 0, 1);
        EXPECT_ABS_NEAR(static_cast<double>(r.x1), static_cast<double>(p), 0.01) << i;
    }
    const Roots r = findrxnt(c.ev, 3, false, 0, p, 0, 1);
    EXPECT_ABS_NEAR(static_cast<double>(r.x1), static_cast<double>(t), 0.2);
}

// sd of a position: sqrt(n'Cn)/|dG/dP|, against the spread of re-solved positions with every
// enthalpy moved (central differences), with a hand-made covariance and the dataset's own.
TEST(Positions, SdAgainstPerturbedEnthalpies) {
    DsReactions c;
    c.purefluids();
    c.setreaction(1, {{"mu", -1}, {"q", -1}, {"san", 1}, {"sill", 1}, {"H2O", 1}});
    const int16 ems[] = {c.em("mu"), c.em("q"), c.em("san"), c.em("sill"), c.em("H2O")};
    const PositionData data{c.cov, c.actsd};
    const real t = 923.15L, p = 2;
    // Positions moved by each enthalpy: dP/dH_k and dT/dH_k.
    const real h = 0.5L;
    real jp[5], jt[5];
    for (int a = 0; a < 5; ++a) {
        real& hk = c.td[ems[a]][1];
        hk += h;
        const real pp = findrxnp(c.ev, 1, false, 0, t, 0, 1).x1;
        const real tp = findrxnt(c.ev, 1, false, 0, p, 0, 1).x1;
        hk -= 2 * h;
        jp[a] = (pp - findrxnp(c.ev, 1, false, 0, t, 0, 1).x1) / (2 * h);
        jt[a] = (tp - findrxnt(c.ev, 1, false, 0, p, 0, 1).x1) / (2 * h);
        hk += h;
    }
    const auto spread = [&](const real* j) {
        real s = 0;
        for (int a = 0; a < 5; ++a) {
            for (int b = 0; b < 5; ++b) s += j[a] * c.cov[ems[a]][ems[b]] * j[b];
        }
        return std::sqrt(s);
    };
    // The dataset's covariance block as read.
    Position pos = calcpsd(c.ev, data, c.rl, 1, t, 0, 1);
    EXPECT_REL_NEAR(pos.sd1, spread(jp), 2e-3L);
    pos = calctsd(c.ev, data, c.rl, 1, p, 0, 1);
    EXPECT_REL_NEAR(pos.sd1, spread(jt), 2e-3L);
    // A hand-made covariance with correlated terms.
    for (int a = 0; a < 5; ++a) {
        for (int b = 0; b < 5; ++b) c.cov[ems[a]][ems[b]] = a == b ? 0.3L + 0.1L * a : 0.05L;
    }
    pos = calcpsd(c.ev, data, c.rl, 1, t, 0, 1);
    EXPECT_REL_NEAR(pos.sd1, spread(jp), 2e-3L);
    EXPECT_GT(pos.sd1, 0.01L);
    // dT/dP of the line is the ratio of the derivatives at the root.
    const Roots r = findrxnp(c.ev, 1, false, 0, t, 0, 1);
    EXPECT_EQ(pos.dtdp1, -r.dgdp1 / r.dgdt1);
}

// Outside phase diagram runs an uncertain activity adds (RT sd(a)/a)^2 n^2 to the variance of
// dG; moving ln a of sill moves the position as moving its enthalpy by RT does.
TEST(Positions, SdWithActivityUncertainty) {
    DsReactions c;
    c.setreaction(1, {{"ky", -1}, {"sill", 1}});
    for (int i = 1; i <= maxem; ++i) c.cov[i] = emvector{};
    c.ev.activitysd = true;
    const int16 sill = c.em("sill");
    c.act[sill] = 0.8L;
    c.actsd[sill] = 0.04L;
    const PositionData data{c.cov, c.actsd};
    const real t = 973.15L;
    const Position pos = calcpsd(c.ev, data, c.rl, 1, t, 0, 1);
    const real dl = 0.01L;
    c.act[sill] = 0.8L * std::exp(dl);
    const real up = findrxnp(c.ev, 1, false, 0, t, 0, 1).x1;
    c.act[sill] = 0.8L * std::exp(-dl);
    const real down = findrxnp(c.ev, 1, false, 0, t, 0, 1).x1;
    EXPECT_REL_NEAR(pos.sd1, std::fabs(up - down) / (2 * dl) * 0.05L, 2e-3L);
    EXPECT_REL_NEAR(c.rl.emlnavar[sill], 0.05L * 0.05L, 1e-15L);
    // In a phase diagram run the activities carry no variance: sd 0.
    c.act[sill] = 0.8L;
    c.ev.activitysd = false;
    EXPECT_EQ(calcpsd(c.ev, data, c.rl, 1, t, 0, 1).sd1, 0);
    // No root in the window: sd 1e31, no slope.
    c.w.pwinhigh = 2;
    const Position none = calcpsd(c.ev, data, c.rl, 1, t, 0, 1);
    EXPECT_EQ(none.x1, c.w.pwinhigh + 1);
    EXPECT_EQ(none.sd1, 1e31L);
    EXPECT_EQ(none.dtdp1, 0);
}

TEST(Positions, LnaVariance) {
    emvector a, sd, var;
    const real as[] = {1, 0.5L, 0, 0.25L, 1.5L};
    const real sds[] = {0.1L, 0.05L, 0.1L, 0.05L, 0.1L};
    for (int k = 1; k <= 5; ++k) {
        a[k] = as[k - 1];
        sd[k] = sds[k - 1];
        var[k] = 7;
    }
    setlnavar(true, a, sd, 5, var);
    const real expect[] = {0, 0.01L, 0, 0.04L, 0};
    for (int k = 1; k <= 5; ++k) EXPECT_REL_NEAR(var[k], expect[k - 1], 1e-15L);
    setlnavar(false, a, sd, 5, var);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(var[k], 0) << k;
}

TEST(Positions, ReactionLnK) {
    rmatrix r;
    r[1][1] = -1;
    r[1][2] = 2;
    r[2][3] = 1;
    emvector a;
    a[1] = 0.5L;
    a[2] = 0.25L;
    a[3] = 0;
    ReactionLists rl;
    calcrxnlna(r, 2, a, 3, rl);
    EXPECT_REL_NEAR(rl.rxnlnk[1], -std::log(0.5L) + 2 * std::log(0.25L), 1e-15L);
    EXPECT_TRUE(std::isinf(rl.rxnlnk[2]));
}

// After turning, the right-hand side is the side stable one step up in T (or in P).
TEST(Positions, TurnReaction) {
    DsReactions c;
    c.setreaction(1, {{"sill", -1}, {"ky", 1}});
    const int16 ky = c.em("ky"), sill = c.em("sill");
    const real t = 973.15L;
    const real p = findrxnp(c.ev, 1, false, 0, t, 0, 1).x1;
    c.rl.rxnlnk[1] = 0.25L;
    // Outside phase diagram runs: a note and nothing else.
    c.ev.sectionturns = false;
    c.d.ts.console.output.clear();
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, 0);
    EXPECT_EQ(c.d.ts.console.output, "\ncall of turnreaction unexpected\n");
    EXPECT_EQ(c.r[1][ky], 1);
    c.ev.sectionturns = true;
    // P-T: 5 K hotter is sillimanite.
    c.ev.diagram = diagramtype::ptcalc;
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, 0);
    EXPECT_EQ(c.r[1][sill], 1);
    EXPECT_EQ(c.r[1][ky], -1);
    EXPECT_EQ(c.rl.rxnlnk[1], -0.25L);
    EXPECT_LE(dgofreaction(c.ev, 1, p, t + 5, 0, 1).dg, 0);
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, 0);  // already turned
    EXPECT_EQ(c.r[1][sill], 1);
    // P-x(CO2): 0.2 kbar higher is kyanite.
    c.ev.diagram = diagramtype::pxcalc;
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, 0);
    EXPECT_EQ(c.r[1][ky], 1);
    // T-log a: the carrier's entropy takes S0 - R ln10 log a, and keeps it.
    c.ev.diagram = diagramtype::tlnacalc;
    c.rl.lnaterm = {0.1L, true};
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, -2, 0);
    EXPECT_REL_NEAR(c.td[c.tab.nem][2], 0.1L + 0.038289308592L, 1e-15L);
    EXPECT_EQ(c.r[1][sill], 1);
    c.ev.diagram = diagramtype::pmucalc;
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, -12.5L);
    EXPECT_EQ(c.td[c.tab.nem][1], -12.5L);
    // A section end-member that is not the last one: its own row carries the term, as in the
    // diagram's evaluations, and the last end-member keeps its data.
    const tdvector last = c.td[c.tab.nem];
    c.ev.lnaem = ky;
    c.ev.muem = sill;
    c.ev.diagram = diagramtype::tlnacalc;
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, -2, 0);
    EXPECT_REL_NEAR(c.td[ky][2], 0.1L + 0.038289308592L, 1e-15L);
    c.ev.diagram = diagramtype::tmucalc;
    turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, -7.5L);
    EXPECT_EQ(c.td[sill][1], -7.5L);
    for (int v = 1; v <= ntd; ++v) EXPECT_EQ(c.td[c.tab.nem][v], last[v]) << v;
    c.ev.diagram = static_cast<diagramtype>(99);
    EXPECT_BOMB(turnreaction(c.ev, c.rl, 1, p, t, 0, 1, 0, 0), "turnreaction",
                "unknown diagrammode");
}

TEST(Positions, ReactionTexts) {
    strings names;
    names[1] = "a";
    names[2] = "b";
    names[3] = "c";
    names[4] = "H2O";
    rmatrix r;
    r[1][1] = -1;
    r[1][2] = -2;
    r[1][3] = 1;
    r[12][3] = 3;
    r[3][4] = -1;
    r[3][2] = 10;
    ReactionLists rl;
    writereaction(r, names, 4, rl, 1);
    EXPECT_EQ(rl.rxntext[1], "1)  a + 2b = c");
    writereaction(r, names, 4, rl, 12);
    EXPECT_EQ(rl.rxntext[12], "12)   = 3c");
    rl.nlabels = 1;
    rl.labelnames[1] = "H2O";
    rl.labels[1] = "aH2O";
    writereaction(r, names, 4, rl, 3);
    EXPECT_EQ(rl.rxntext[3], "3)  aH2O = 10b");
    EXPECT_EQ(rl.textwidth, 14);
}

}  // namespace
}  // namespace qv::test
