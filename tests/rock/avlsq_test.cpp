#include "rock/avlsq.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "rockfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"

namespace qv::test {
namespace {

struct Gls {
    real av, sd, sigfit;
};

// Generalised least squares of the reactions' own pressures at t (K): each P_i = -(a + bT +
// RT ln K)/c moves by -dH/c with the enthalpies and by -RT d(ln K)/c with the activities, so
// cov(P_i, P_j) = (n_i' C n_j + (RT)^2 sum_k n_ik n_jk var(ln a_k)) / (c_i c_j).
Gls independentavp(const RockFixture& f, real t, const std::vector<real>& lnavar) {
    const std::size_t n = static_cast<std::size_t>(f.nreac);
    std::vector<real> x(n);
    Mat v(n, std::vector<real>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const auto ri = static_cast<int16>(i + 1);
        x[i] = -(f.pa[ri] + f.pb[ri] * t + rgas * t * f.lnk(ri)) / f.pc[ri];
        for (std::size_t j = 0; j < n; ++j) {
            const auto rj = static_cast<int16>(j + 1);
            real h = 0;
            real l = 0;
            for (int16 k = 1; k <= f.nem; ++k) {
                l += (*f.r)[ri][k] * (*f.r)[rj][k] * lnavar[static_cast<std::size_t>(k)];
                for (int16 m = 1; m <= f.nem; ++m)
                    h += (*f.r)[ri][k] * (*f.cov)[k][m] * (*f.r)[rj][m];
            }
            v[i][j] = (h + rgas * rgas * t * t * l) / (f.pc[ri] * f.pc[rj]);
        }
    }
    const GlsMean g = glsmean(v, x);
    return Gls{g.mean, g.sd, g.sigfit};
}

std::vector<real> lnavars(const RockFixture& f) {
    std::vector<real> v(static_cast<std::size_t>(f.nem) + 1);
    for (int16 k = 1; k <= f.nem; ++k) v[static_cast<std::size_t>(k)] = f.varlna[k];
    return v;
}

AvResult average(RockFixture& f, bool quiet, real xfix) {
    const RockData d = f.data();
    RockCalc rc{f.ts.ses, f.win, d, f.set, *f.rx, *f.work};
    return avportlsq(rc, quiet, xfix, 0, 1);
}

// The whitened least squares of the fixture's reactions' own pressures at t (K), each weighted by
// its slope dP/dG.
std::unique_ptr<AvWhitened> whitenedatp(RockFixture& f, real t) {
    const RockData d = f.data();
    RockCalc rc{f.ts.ses, f.win, d, f.set, *f.rx, *f.work};
    reacvector x{};
    reacvector wh{};
    reacvector wk{};
    for (int16 i = 1; i <= f.nreac; ++i) {
        const Roots rt = f.rx->findrxnp(i, t, 0, 1);
        x[i] = rt.x1;
        wh[i] = -1 / rt.dgdp1;
        wk[i] = wh[i] * rgas * t;
    }
    auto w = std::make_unique<AvWhitened>();
    avlsqwhitened(rc, x, wh, wk, *w);
    return w;
}

TEST(SigfitLimit, NinetyFivePercentByDegreesOfFreedom) {
    const struct {
        int f;
        real limit;
    } cases[] = {{1, 1.96L}, {2, 1.73L}, {3, 1.61L}, {10, 1.35L}, {11, 1.34L}, {0, 1.34L}};
    for (const auto& c : cases) EXPECT_EQ(sigfitlimit(c.f), c.limit) << c.f;
}

TEST(PosDefInvert, InverseTimesMatrixIsIdentity) {
    covmatrix a{};
    const int16 n = 5;
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) a[i][j] = (i == j ? 4 : 0) + 1 / static_cast<real>(i + j);
    }
    covmatrix inv{};
    posdefinvert(a, inv, n);
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) {
            real s = 0;
            for (int16 k = 1; k <= n; ++k) s += a[i][k] * inv[k][j];
            EXPECT_ABS_NEAR(static_cast<double>(s), i == j ? 1.0 : 0.0, 1e-15);
            EXPECT_EQ(inv[i][j], inv[j][i]);
        }
    }
    a[3][3] = -1;
    EXPECT_BOMB(posdefinvert(a, inv, n), "posdefinvert", "sqrt negative");
}

TEST(ReactionCovariance, EnthalpyAndLnKTerms) {
    RockFixture f;
    samplerock(f);
    covmatrix ch{};
    covmatrix ck{};
    calcreactioncov(f.data(), false, ch, ck);
    // Reactions 1 and 2 share gr (1 x 2) and an (-3 x -6); ky and q have no ln a variance.
    const real expectk = 1 * 2 * f.varlna[2] + 18 * f.varlna[4];
    EXPECT_REL_NEAR(ck[1][2], expectk, 1e-18L);
    real h = 0;
    for (int16 k = 1; k <= 8; ++k) {
        for (int16 l = 1; l <= 8; ++l) h += (*f.r)[1][k] * (*f.cov)[k][l] * (*f.r)[2][l];
    }
    EXPECT_REL_NEAR(ch[1][2], h, 1e-15L);
    EXPECT_EQ(ch[2][1], ch[1][2]);
    calcreactioncov(f.data(), true, ch, ck);
    EXPECT_EQ(ch[3][1], 0.001L);
    EXPECT_EQ(ch[2][2], 0.001L);
    EXPECT_REL_NEAR(ck[1][2], expectk, 1e-18L);
}

TEST(AveragePressure, EqualsIndependentGeneralisedLeastSquares) {
    RockFixture f;
    samplerock(f);
    f.tlist({773.15L, 873.15L, 973.15L});
    for (real t : {773.15L, 973.15L}) {
        const AvResult r = average(f, false, t);
        const Gls g = independentavp(f, t, lnavars(f));
        EXPECT_REL_NEAR(r.av, g.av, 1e-14L);
        EXPECT_REL_NEAR(r.sd, g.sd, 1e-12L);
        EXPECT_REL_NEAR(r.sigfit, g.sigfit, 1e-12L);
    }
    EXPECT_EQ(f.out(), "");  // off the middle of the list: no diagnostics
    // At the middle T the whitened form gives the same numbers and writes its table.
    const AvResult r = average(f, false, 873.15L);
    const Gls g = independentavp(f, 873.15L, lnavars(f));
    EXPECT_REL_NEAR(r.av, g.av, 1e-12L);
    EXPECT_REL_NEAR(r.sd, g.sd, 1e-10L);
    EXPECT_REL_NEAR(r.sigfit, g.sigfit, 1e-10L);
    EXPECT_NE(f.out().find("average P at T = 600\xA1"
                           "C "),
              std::string::npos)
        << f.out();
    EXPECT_EQ(f.out().find("nan"), std::string::npos) << f.out();
}

TEST(AveragePressure, QuietAtTheMiddleValueWritesNothing) {
    RockFixture f;
    samplerock(f);
    f.tlist({873.15L});
    const AvResult r = average(f, true, 873.15L);
    EXPECT_GT(r.av, 1);
    EXPECT_EQ(f.out(), "");
}

TEST(AveragePressure, OneRootOutsideTheWindowGivesNoResult) {
    RockFixture f;
    samplerock(f);
    f.pa[3] += 200;  // reaction 3 now lies far off in P
    const AvResult r = average(f, true, 873.15L);
    EXPECT_EQ(r.av, 0);
    EXPECT_EQ(r.sd, 0);
    EXPECT_EQ(r.sigfit, 100);
}

TEST(AveragePressure, SecondRootNearerTheSingleRootsIsTaken) {
    RockFixture f;
    samplerock(f);
    f.window(1, 30, 673.15L, 1173.15L);
    // Reaction 2 also crosses at 25 kbar, far from the mean of the single roots: root1 stays.
    f.second[2] = 25;
    const AvResult base = average(f, true, 873.15L);
    // Now its second root lies at the mean of reactions 1 and 3: it is taken, with the slope of
    // opposite sign there, which changes the average.
    const real p1 = f.rx->findrxnp(1, 873.15L, 0, 1).x1;
    const real p3 = f.rx->findrxnp(3, 873.15L, 0, 1).x1;
    f.second[2] = (p1 + p3) / 2;
    const AvResult moved = average(f, true, 873.15L);
    EXPECT_NE(base.av, moved.av);
    // The same as a plane whose own root is there, with that slope.
    RockFixture g;
    samplerock(g);
    g.window(1, 30, 673.15L, 1173.15L);
    g.pc[2] = -g.pc[2];
    g.pa[2] = -(g.pb[2] * 873.15L + g.pc[2] * f.second[2] + rgas * 873.15L * g.lnk(2));
    const AvResult same = average(g, true, 873.15L);
    EXPECT_REL_NEAR(moved.av, same.av, 1e-14L);
}

TEST(AverageTemperature, TakesTheLnKTemperatureOfTheLastReaction) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avtmode;
    const AvResult r = average(f, true, 8);
    // Each T_i = -(a + cP)/(b + R ln K): its sensitivity to ln K is R T_i/(b + R ln K), but the
    // calculation uses R T_n for every reaction; the result is the weighted mean of the T_i.
    const real tn = f.rx->findrxnt(3, 8, 0, 1).x1;
    EXPECT_GT(r.av, 673.15L);
    EXPECT_LT(r.av, 1173.15L);
    const std::size_t n = 3;
    std::vector<real> x(n);
    Mat v(n, std::vector<real>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const auto ri = static_cast<int16>(i + 1);
        const Roots rt = f.rx->findrxnt(ri, 8, 0, 1);
        x[i] = rt.x1;
        for (std::size_t j = 0; j < n; ++j) {
            const auto rj = static_cast<int16>(j + 1);
            const Roots rtj = f.rx->findrxnt(rj, 8, 0, 1);
            real h = 0;
            real l = 0;
            for (int16 k = 1; k <= f.nem; ++k) {
                l += (*f.r)[ri][k] * (*f.r)[rj][k] * f.varlna[k];
                for (int16 m = 1; m <= f.nem; ++m)
                    h += (*f.r)[ri][k] * (*f.cov)[k][m] * (*f.r)[rj][m];
            }
            v[i][j] = (h + rgas * rgas * tn * tn * l) / (rt.dgdt1 * rtj.dgdt1);
        }
    }
    EXPECT_REL_NEAR(r.av, glsmean(v, x).mean, 1e-14L);
}

TEST(AverageDiagnostics, DoublingOneLnAUncertaintyEqualsARefit) {
    RockFixture f;
    samplerock(f);
    f.tlist({873.15L});
    const std::unique_ptr<AvWhitened> w = whitenedatp(f, 873.15L);
    ASSERT_EQ(w->m, 8);  // ky and q (no ln a uncertainty) included
    // The leverages of a one-parameter fit add up to 1.
    real sumhat = 0;
    for (int16 q = 1; q <= 2 * w->m; ++q) sumhat += w->hat[q];
    EXPECT_ABS_NEAR(static_cast<double>(sumhat), 1.0, 1e-14);
    for (int16 s = 1; s <= w->m; ++s) {
        const int16 k = w->used[s];
        std::vector<real> v = lnavars(f);
        v[static_cast<std::size_t>(k)] *= 4;
        SCOPED_TRACE(f.names[k]);
        const Gls g = independentavp(f, 873.15L, v);
        const AvDoubled dbl = avdoubled(*w, s, 3);
        EXPECT_REL_NEAR(dbl.av, g.av, 1e-12L);
        EXPECT_REL_NEAR(dbl.sigfit, g.sigfit, 1e-10L);
        if (g.sigfit <= 1 && w->sigfit <= 1) {
            EXPECT_REL_NEAR(dbl.sd, g.sd, 1e-10L);
        }
    }
}

TEST(AverageDiagnostics, NegativeRadicandsClampToZero) {
    // A datum whose leverage in the one-parameter fit exceeds its leverage in the design by more
    // than 1/3 turns the doubling gain positive; the sd and fit it gives are then 0, not NaN.
    AvWhitened w;
    w.m = 1;
    w.saa = 1;
    w.rss = 0.01L;
    w.a[2] = 1;
    w.g[2] = 1;
    w.hat[2] = 1;
    w.h[2] = 0.5L;
    w.estar[2] = -3;
    const AvDoubled d = avdoubled(w, 1, 3);
    EXPECT_EQ(d.sd, 0);
    EXPECT_FALSE(std::isnan(d.sigfit));
    EXPECT_EQ(sqrtclamped(-1e-30L), 0);
}

TEST(AverageDiagnostics, DependentReactionsGiveFiniteDiagnostics) {
    // A reaction repeated makes the design rank-deficient: its zero singular value is dropped from
    // the pseudo-inverse instead of dividing by it, and the fit is that of the distinct reactions.
    RockFixture f;
    samplerock(f);
    f.tlist({873.15L});
    for (int16 k = 1; k <= 8; ++k) (*f.r)[4][k] = (*f.r)[3][k];
    f.pa[4] = f.pa[3];
    f.pb[4] = f.pb[3];
    f.pc[4] = f.pc[3];
    f.nreac = 4;
    const std::unique_ptr<AvWhitened> w = whitenedatp(f, 873.15L);
    f.nreac = 3;
    const Gls g = independentavp(f, 873.15L, lnavars(f));
    EXPECT_REL_NEAR(w->av, g.av, 1e-10L);
    for (int16 q = 1; q <= 2 * w->m; ++q) {
        EXPECT_TRUE(std::isfinite(w->estar[q]) && std::isfinite(w->hat[q])) << q;
    }
}

TEST(AverageLimits, MoreThanTwentyFourReactionsStop) {
    RockFixture f;
    samplerock(f);
    f.nreac = 25;
    EXPECT_BOMB(average(f, true, 873.15L), "avportlsq", "too many reactions (max = 24) ");
    EXPECT_BOMB(checkavreactions("rockcalcs", 25), "rockcalcs", "too many reactions (max = 24) ");
}

}  // namespace
}  // namespace qv::test
