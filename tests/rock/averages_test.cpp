#include "rock/averages.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "rock/avlsq.hpp"
#include "rock/avpt.hpp"
#include "rockfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

TEST(AveragePressures, TableOfSeveralTemperaturesWithDiagnosticsAtTheMiddle) {
    RockFixture f;
    samplerock(f);
    f.set.runtitle = "rock 1";
    f.tlist({773.15L, 873.15L, 973.15L, 1073.15L});
    f.calc([](RockCalc& rc) { averagep(rc); });
    const std::string out = f.out();
    // Diagnostics at the third of four temperatures (n div 2 + 1), once.
    EXPECT_EQ(count(out, "average P at T = "), 1u);
    EXPECT_NE(out.find("average P at T = 700\xA1"
                       "C "),
              std::string::npos);
    EXPECT_NE(out.find("\nAverage pressures for rock 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("T\xA1"
                       "C          500     600     700     800\n"),
              std::string::npos)
        << out;
    const AvResult r = f.calc([](RockCalc& rc) { return avportlsq(rc, true, 873.15L, 0, 1); });
    std::string avp = "av P    ";
    f.calc([&](RockCalc& rc) {
        for (real t : {773.15L, 873.15L, 973.15L, 1073.15L}) {
            addreal(2, true, 8, avp, avportlsq(rc, true, t, 0, 1).av);
        }
        return 0;
    });
    EXPECT_NE(out.find(avp + "\n"), std::string::npos) << avp << "\n" << out;
    EXPECT_GT(r.av, 7);
}

TEST(AveragePressures, SingleTemperatureLine) {
    RockFixture f;
    samplerock(f);
    f.set.tcur = 873.15L;
    f.tlist({873.15L});
    f.calc([](RockCalc& rc) { averagep(rc); });
    const std::string out = f.out();
    EXPECT_NE(out.find("\nAverage pressures  at T = 600\xA1"
                       "C \nFor T = 600 \xA1"
                       "C, av P = "),
              std::string::npos)
        << out;
    // Off the window: "?" and no numbers.
    RockFixture g;
    samplerock(g);
    g.tlist({873.15L});
    g.pa[1] += 300;
    g.calc([](RockCalc& rc) { averagep(rc); });
    EXPECT_NE(g.out().find("For T = 600 \xA1"
                           "C, av P = ? kbar, sd = , sigfit = \n"),
              std::string::npos)
        << g.out();
}

TEST(AveragePressures, IncompleteSetStops) {
    RockFixture f;
    samplerock(f);
    f.incompleteset = true;
    f.tlist({873.15L});
    EXPECT_BOMB(f.calc([](RockCalc& rc) { averagep(rc); }), "avP", "incomplete set");
    EXPECT_NE(f.out().find("an incomplete set of independent reactions has been generated;\n"
                           "vary the run conditions to try and get a complete set...\n"),
              std::string::npos);
    f.set.avcalctype = avtype::avtmode;
    f.plist({8});
    EXPECT_BOMB(f.calc([](RockCalc& rc) { averaget(rc); }), "avT", "incomplete set");
}

// Every activity update moves all reaction lines by the next step of `steps` kbar.
void shiftingupdates(RockFixture& f, std::vector<real> steps) {
    f.onupdate = [&f, steps, n = std::size_t{0}](real, real) mutable {
        const real d = n < steps.size() ? steps[n] : 0;
        ++n;
        for (int16 i = 1; i <= f.nreac; ++i) f.pa[i] -= f.pc[i] * d;
    };
}

TEST(AveragePressures, SolutionPhasesIterateUntilPStops) {
    const struct {
        std::vector<real> steps;
        bool converged;
    } cases[] = {
        {{0.5L, 0.01L, 0}, true},
        // The tenth step meets the tolerance: converged, although it was the last allowed.
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, true},
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, false},
    };
    for (const auto& c : cases) {
        RockFixture f;
        samplerock(f);
        f.set.nss = 1;
        f.tlist({873.15L});
        shiftingupdates(f, c.steps);
        f.calc([](RockCalc& rc) { averagep(rc); });
        const std::string out = f.out();
        EXPECT_EQ(out.find("did NOT converge") == std::string::npos, c.converged) << out;
        EXPECT_NE(out.find("avP iteration at T = 600\xA1"
                           "C \n"),
                  std::string::npos);
        EXPECT_EQ(out.find("average P at T") == std::string::npos, !c.converged);
        ASSERT_FALSE(f.updates.empty());
        EXPECT_EQ(f.updates[0].second, 873.15L);
    }
}

TEST(AverageTemperatures, NoSolutionPhasesOneQuietFitPerPressure) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avtmode;
    f.plist({6, 8, 10});
    f.calc([](RockCalc& rc) { averaget(rc); });
    const std::string out = f.out();
    EXPECT_EQ(out.find("average T at P"), std::string::npos);  // never a diagnostics table
    EXPECT_NE(out.find("\nP            6.00     8.00    10.00\n"), std::string::npos) << out;
    EXPECT_TRUE(f.updates.empty());
}

TEST(AverageTemperatures, SolutionPhaseBracketIsAtMost200K) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avtmode;
    f.set.nss = 1;
    f.set.tcur = 873.15L;
    f.set.pcur = 8;
    // Enthalpy uncertainties ten times larger give sd(T) well above 70 K: the bracket is cut to
    // 200 K.
    for (int16 i = 1; i <= 8; ++i) {
        for (int16 j = 1; j <= 8; ++j) (*f.cov)[i][j] *= 100;
    }
    f.plist({8});
    f.calc([](RockCalc& rc) { averaget(rc); });
    ASSERT_GE(f.updates.size(), 3u);
    EXPECT_EQ(f.updates[0].second, 673.15L);
    EXPECT_EQ(f.updates[1].second, 1073.15L);
    // Activities that do not depend on T: every trial fits alike, the search ends at once.
    EXPECT_NE(f.out().find("avT iteration at P = 8.0 kbar \n"), std::string::npos) << f.out();
    EXPECT_NE(f.out().find("Average temperatures  at P = 8.0 kbar\nFor P = 8.0 kbar, av T = "),
              std::string::npos)
        << f.out();
}

TEST(AveragePT, LinesThroughOnePointGiveThatPoint) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avptmode;
    // All three lines pass through 8.5 kbar, 640 C.
    const real p0 = 8.5L;
    const real t0 = 913.15L;
    for (int16 i = 1; i <= 3; ++i) f.pa[i] = -(f.pb[i] * t0 + f.pc[i] * p0 + rgas * t0 * f.lnk(i));
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    const AvPtResult r = f.calc([](RockCalc& rc) { return avptlsq(rc, 0, 1); });
    EXPECT_ABS_NEAR(static_cast<double>(r.p), 8.5, 1e-9);
    EXPECT_ABS_NEAR(static_cast<double>(r.t), 913.15, 1e-7);
    EXPECT_ABS_NEAR(static_cast<double>(r.sigfit), 0, 1e-8);
    // sd and correlation from the inverse of the normal matrix of the lines P = y + sT.
    covmatrix ch{};
    covmatrix ck{};
    calcreactioncov(f.data(), false, ch, ck);
    covmatrix v{};
    reacvector s{};
    for (int16 i = 1; i <= 3; ++i) {
        s[i] = -(f.pb[i] + rgas * f.lnk(i)) / f.pc[i];
        for (int16 j = 1; j <= 3; ++j) {
            v[i][j] = (ch[i][j] + rgas * rgas * t0 * t0 * ck[i][j]) / (f.pc[i] * f.pc[j]);
        }
    }
    covmatrix w{};
    posdefinvert(v, w, 3);
    real sw = 0, ss = 0, sss = 0;
    for (int16 i = 1; i <= 3; ++i) {
        for (int16 j = 1; j <= 3; ++j) {
            sw += w[i][j];
            ss -= w[i][j] * s[j];
            sss += s[i] * w[i][j] * s[j];
        }
    }
    const real det = sw * sss - ss * ss;
    EXPECT_REL_NEAR(r.sdp, std::sqrt(sss / det), 1e-6L);
    EXPECT_REL_NEAR(r.sdt, std::sqrt(sw / det), 1e-6L);
    EXPECT_REL_NEAR(r.cor, -ss / std::sqrt(sw * sss), 1e-6L);
    EXPECT_NE(f.out().find("Single end-member diagnostic information\n\n"), std::string::npos);
    EXPECT_EQ(f.out().find("nan"), std::string::npos) << f.out();
}

TEST(AveragePT, ResultLinesOutsideWindowAndTooFewReactions) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avptmode;
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    f.calc([](RockCalc& rc) { averagept(rc); });
    EXPECT_NE(f.out().find("\nAverage PT \n"), std::string::npos) << f.out();
    EXPECT_NE(f.out().find(" kbars, sd = "), std::string::npos) << f.out();
    // Lines that meet far above the window.
    RockFixture g;
    samplerock(g);
    g.set.avcalctype = avtype::avptmode;
    g.set.pcur = 8;
    g.set.tcur = 873.15L;
    g.window(1, 20, 673.15L, 1173.15L);
    for (int16 i = 1; i <= 3; ++i) {
        g.pa[i] = -(g.pb[i] * 2500 + g.pc[i] * 60 + rgas * 2500 * g.lnk(i));
    }
    g.calc([](RockCalc& rc) { averagept(rc); });
    EXPECT_NE(g.out().find("\n\nAverage PT outside window - use average P and/or T\n"),
              std::string::npos)
        << g.out();
    // Two reactions leave no degree of freedom.
    RockFixture h;
    samplerock(h);
    h.nreac = 2;
    h.calc([](RockCalc& rc) { averagept(rc); });
    EXPECT_EQ(h.out(), "\n** insufficient reactions for average PT calculations\n");
}

}  // namespace
}  // namespace qv::test
