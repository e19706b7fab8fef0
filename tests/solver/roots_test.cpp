#include "solver/roots.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// A T window of 400-1000 C and a P window of 1-15 kbar, printed with the default decimals, so
// roots are resolved to 0.001 K and 0.0001 kbar.
Windows window() {
    Windows w;
    w.twinlow = 673.15L;
    w.twinhigh = 1273.15L;
    w.pwinlow = 1;
    w.pwinhigh = 15;
    return w;
}

// A reaction line dG = a (T - t0) + b (P - p0) (kJ).
DgAt linear(real a, real t0, real b, real p0) {
    return [=](real p, real t) { return ReactionDg{a * (t - t0) + b * (p - p0), b, a, 0}; };
}

// dG = c - s T + the Landau term of one phase (critical T tc, Smax sm): the Landau term rises
// with T ever more slowly up to tc, so with s between 0 and sm the line turns in the window.
DgAt landau(real c, real s, real tc, real sm) {
    return [=](real, real t) {
        real g = c - s * t, slope = -s;
        if (t < tc) {
            const real q2 = std::sqrt(1 - t / tc);
            g += sm * ((t - tc) * q2 + tc * q2 * q2 * q2 / 3);
            slope += sm * q2;
        }
        return ReactionDg{g, 0.1L, slope, 0};
    };
}

TEST(Roots, SameSign) {
    EXPECT_TRUE(samesign(0, -1));
    EXPECT_TRUE(samesign(0, 1));
    EXPECT_TRUE(samesign(-2, -1));
    EXPECT_FALSE(samesign(-2, 1));
    EXPECT_FALSE(samesign(NAN, 1));
    EXPECT_FALSE(samesign(1, NAN));
}

// Every branch of a straight line: roots against the analytic value, and the markers when the
// line misses the window on either side.
TEST(Roots, LinearReactions) {
    const Windows w = window();
    struct Case {
        const char* label;
        findtype ft;
        real a, t0, b, p0;  // line
        real x1, x2;        // expected; x1 within the tolerance when it is a root
    };
    const Case cases[] = {
        {"T rising", findtype::findt, 0.02L, 900.1234L, 0.5L, 8, 900.1234L, nosecondroot},
        {"T falling", findtype::findt, -0.03L, 1000, 0.5L, 8, 1000, nosecondroot},
        {"P rising", findtype::findp, 0.02L, 900, 1.5L, 7.25678L, 7.25678L, nosecondroot},
        {"T above", findtype::findt, 0.02L, 1400, 0, 8, w.twinhigh + 1, nosecondroot},
        {"T below", findtype::findt, 0.02L, 500, 0, 8, w.twinlow - 1, nosecondroot},
        {"T below, falling", findtype::findt, -0.02L, 500, 0, 8, w.twinlow - 1, nosecondroot},
        {"P above", findtype::findp, 0, 900, 1.5L, 20, w.pwinhigh + 1, nosecondroot},
        // dG exactly 0 at the low end: not bracketed, so the slopes decide: below.
        {"zero at low end", findtype::findt, 0.02L, w.twinlow, 0, 8, w.twinlow - 1, nosecondroot},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.label);
        const Roots r = find(w, linear(k.a, k.t0, k.b, k.p0), k.ft, false, 0, 8, 900);
        const real tol = k.ft == findtype::findt ? 0.001L : 0.0001L;
        EXPECT_ABS_NEAR(static_cast<double>(r.x1), static_cast<double>(k.x1),
                        static_cast<double>(tol));
        EXPECT_EQ(r.x2, k.x2);
        if (inrange(w, k.ft, r.x1)) {
            EXPECT_EQ(r.dgdt1, k.a);
            EXPECT_EQ(r.dgdp1, k.b);
        } else {
            EXPECT_EQ(r.dgdt1, 0);
            EXPECT_EQ(r.dgdp1, 0);
        }
        EXPECT_EQ(r.dgdp2, 0);
        EXPECT_EQ(r.dgdt2, 0);
    }
}

// A line whose slope turns in the window: two roots (the larger first), none, or one beyond each
// end.
TEST(Roots, CurvedReactions) {
    const Windows w = window();
    const auto parabola = [](real k, real ta, real tb) -> DgAt {
        return [=](real, real t) {
            return ReactionDg{k * (t - ta) * (t - tb), 0.1L, k * (2 * t - ta - tb), 0};
        };
    };
    Roots r = find(w, parabola(1e-4L, 800, 1100), findtype::findt, false, 0, 5, 0);
    EXPECT_ABS_NEAR(static_cast<double>(r.x1), 1100, 0.001);
    EXPECT_ABS_NEAR(static_cast<double>(r.x2), 800, 0.001);
    EXPECT_ABS_NEAR(static_cast<double>(r.dgdt1), 0.03, 1e-6);
    EXPECT_ABS_NEAR(static_cast<double>(r.dgdt2), -0.03, 1e-6);
    // Two roots close together: both Newton searches find the same one first.
    r = find(w, parabola(1e-4L, 950, 960), findtype::findt, false, 0, 5, 0);
    EXPECT_ABS_NEAR(static_cast<double>(r.x1), 960, 0.001);
    EXPECT_ABS_NEAR(static_cast<double>(r.x2), 950, 0.001);
    // Positive throughout with a minimum inside: no Newton search converges in the window.
    const DgAt above = [](real, real t) {
        return ReactionDg{1e-4L * (t - 950) * (t - 950) + 1, 0, 2e-4L * (t - 950), 0};
    };
    r = find(w, above, findtype::findt, false, 0, 5, 0);
    EXPECT_EQ(r.x1, noroot);
    EXPECT_EQ(r.x2, nosecondroot);
    EXPECT_EQ(r.dgdt1, 0);
    // Positive throughout with a maximum inside: a root beyond each end.
    r = find(w, parabola(-1e-4L, 600, 1300), findtype::findt, false, 0, 5, 0);
    EXPECT_EQ(r.x1, w.twinlow - 1);
    EXPECT_EQ(r.x2, w.twinhigh + 1);
}

// A reaction with a Landau phase: dG rises at low T and falls as the order term flattens, so
// the line crosses twice.
TEST(Roots, LandauPhaseGivesTwoRoots) {
    const Windows w = window();
    const DgAt dg = landau(11.2L, 0.01L, 1200, 0.02L);
    const Roots r = find(w, dg, findtype::findt, false, 0, 5, 0);
    ASSERT_TRUE(inrange(w, findtype::findt, r.x1));
    ASSERT_TRUE(inrange(w, findtype::findt, r.x2));
    EXPECT_GT(r.x1, r.x2 + 10);
    EXPECT_LT(std::fabs(dg(5, r.x1).dg), 0.001L * 0.01L);
    EXPECT_LT(std::fabs(dg(5, r.x2).dg), 0.001L * 0.02L);
    EXPECT_LT(r.dgdt1, 0);
    EXPECT_GT(r.dgdt2, 0);
}

TEST(Roots, StartValue) {
    const Windows w = window();
    const DgAt dg = linear(0.02L, 900, 0.5L, 8);
    Roots r = find(w, dg, findtype::findt, true, 1000, 8, 0);
    EXPECT_ABS_NEAR(static_cast<double>(r.x1), 900, 0.001);
    EXPECT_EQ(r.x2, nosecondroot);
    EXPECT_EQ(r.dgdt1, 0.02L);
    // A start outside the window: the markers, no derivatives, no evaluation.
    int calls = 0;
    const DgAt counted = [&](real p, real t) {
        ++calls;
        return dg(p, t);
    };
    r = find(w, counted, findtype::findt, true, 1500, 8, 0);
    EXPECT_EQ(r.x1, noroot);
    EXPECT_EQ(r.x2, nosecondroot);
    EXPECT_EQ(r.dgdt1, 0);
    EXPECT_EQ(calls, 0);
    EXPECT_BOMB(find(w, dg, findtype::findlna, false, 0, 8, 0), "find", "unimplemented");
}

// A flat line stops Newton at once instead of dividing by zero; a P search whose window starts
// at 0 kbar still ends, with its limit held above zero.
TEST(Roots, ZeroSlopeAndZeroPressure) {
    Windows w = window();
    const DgAt flat = [](real, real) { return ReactionDg{1, 0, 0, 0}; };
    const Roots r = find(w, flat, findtype::findt, true, 900, 8, 0);
    EXPECT_EQ(r.x1, noroot);
    // A root at 0.3 kbar that Newton cannot reach (dG ~ sign x sqrt): halving from 0 kbar.
    w.pwinlow = 0;
    w.pwinhigh = 2;
    int calls = 0;
    const DgAt steep = [&](real p, real) {
        ++calls;
        const real x = p - 0.3L;
        const real s = std::sqrt(std::fabs(x));
        return ReactionDg{x < 0 ? -s : s, s == 0 ? 0 : 0.5L / s, 0, 0};
    };
    const Roots q = find(w, steep, findtype::findp, false, 0, 0, 900);
    EXPECT_ABS_NEAR(static_cast<double>(q.x1), 0.3, 0.0001);
    EXPECT_LT(calls, 1000);
}

}  // namespace
}  // namespace qv::test
