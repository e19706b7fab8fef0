// Uncertainties of solved equilibria against finite-difference propagation through re-solved
// equilibria of the shared dataset, the rules for the sds of W and the DQF kinds, the marker of
// a vanishing variance, the per-phase sds and the block of the second csv file.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "solvedfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

using Quantity = std::function<real()>;

// d(quantity)/d(parameter) by central differences of re-solved equilibria.
real slope(SolvedCalc& s, real& parameter, real h, const Quantity& q) {
    const real p0 = parameter;
    parameter = p0 + h;
    EXPECT_TRUE(s.solve());
    const real up = q();
    parameter = p0 - h;
    EXPECT_TRUE(s.solve());
    const real down = q();
    parameter = p0;
    return (up - down) / (2 * h);
}

// Variance of each quantity from the dataset covariance of end-members 1..nem by re-solving.
std::vector<real> datasetvariance(SolvedCalc& s, const std::vector<Quantity>& qs) {
    const int16 nem = s.run.dataset.nem;
    std::vector<std::vector<real>> d(qs.size(),
                                     std::vector<real>(static_cast<std::size_t>(nem + 1)));
    for (int16 e = 1; e <= nem; ++e) {
        for (std::size_t i = 0; i < qs.size(); ++i) d[i][e] = slope(s, s.enthalpy(e), 1e-3L, qs[i]);
    }
    std::vector<real> v(qs.size());
    for (std::size_t i = 0; i < qs.size(); ++i) {
        for (int16 e = 1; e <= nem; ++e) {
            for (int16 f = 1; f <= nem; ++f) v[i] += d[i][e] * d[i][f] * (*s.run.arrays.cov)[e][f];
        }
    }
    return v;
}

// An sd against the variance of re-solved equilibria: the marker when that vanishes (here the
// silica balance alone sets the modes, so no enthalpy or W moves their ratio).
void expectvariance(real sd, real variance) {
    if (variance <= 1e-20L) {
        EXPECT_EQ(sd, sdmarker);
    } else {
        EXPECT_REL_NEAR(sd * sd, variance, 1e-4L);
    }
}

TEST(Wsd, TenPerCentAtLeastOneKilojoule) {
    EXPECT_EQ(wsd(5), 1);
    EXPECT_EQ(wsd(30), 3);
    EXPECT_EQ(wsd(-20), 2);
    EXPECT_EQ(wsd(0), 1);
}

TEST(Dqfvariance, ByKind) {
    EXPECT_EQ(dqfvariance(-1, 7), 0);
    EXPECT_ABS_NEAR(static_cast<double>(dqfvariance(1, 4)), 0.04, 1e-15);  // (0.05 x 4)^2
    EXPECT_ABS_NEAR(static_cast<double>(dqfvariance(2, 4)), 4.0, 1e-15);   // (0.5 x 4)^2
    EXPECT_EQ(dqfvariance(3, 9), 0.25L);
    EXPECT_EQ(dqfvariance(4, 9), 0.25L);
    EXPECT_EQ(dqfvariance(5, 4), 1);
    EXPECT_EQ(dqfvariance(5, -80), 1);
    EXPECT_BOMB(dqfvariance(0, 4), "calcsd", "dqf unclassified");
    EXPECT_BOMB(dqfvariance(6, 4), "calcsd", "dqfubar");
}

TEST(Calcsd, InvariantPointAgreesWithReSolvedEquilibria) {
    Al2SiO5 s;
    ASSERT_TRUE(s.solve());
    const bulkmatrix covbp{};
    Uncertainties u;
    s.ts.console.output.clear();
    calcsd(s.ses, s.sdinputs(covbp), u);
    ASSERT_TRUE(u.valid);
    EXPECT_EQ(u.n, 2);
    const std::vector<real> v =
        datasetvariance(s, {[&] { return s.natural(1); }, [&] { return s.natural(2); }});
    EXPECT_REL_NEAR(u.sdx[1] * u.sdx[1], v[0], 1e-4L);
    EXPECT_REL_NEAR(u.sdx[2] * u.sdx[2], v[1], 1e-4L);
    EXPECT_EQ(u.sdxh[1], u.sdx[1]);
    // Pure phases: nothing from the non-ideality, and no bulk part without modes.
    EXPECT_EQ(u.sdxw[1], sdmarker);
    EXPECT_EQ(u.sdxw[2], sdmarker);
    EXPECT_EQ(u.sdxb[1], 0);
    EXPECT_REL_NEAR(u.covx[1][2], u.covx[2][1], 1e-15L);
    const real corr = u.covx[1][2] / (u.sdx[1] * u.sdx[2]);
    EXPECT_EQ(u.ptcorr, corr);
    EXPECT_GT(std::fabs(corr), 0.01L);
    std::string line;
    addreal(4, true, 10, line, corr);
    EXPECT_EQ(s.ts.console.output, line + "\n");
}

TEST(Calcsd, PressureHeldGivesNoCorrelationAndZeroPressureSd) {
    Al2SiO5 s;
    s.run.nreac = 1;
    s.xref.xfree[1] = false;
    s.startat({4, 800});
    ASSERT_TRUE(s.solve());
    const bulkmatrix covbp{};
    Uncertainties u;
    s.ts.console.output.clear();
    calcsd(s.ses, s.sdinputs(covbp), u);
    EXPECT_EQ(u.ptcorr, 0);
    EXPECT_EQ(s.ts.console.output, "");
    EXPECT_EQ(u.sdx[1], 0);
    EXPECT_EQ(u.covx[1][2], 0);
    EXPECT_GT(u.sdx[2], 0);
    const std::vector<real> v = datasetvariance(s, {[&] { return s.natural(2); }});
    EXPECT_REL_NEAR(u.sdx[2] * u.sdx[2], v[0], 1e-4L);
}

// Olivine-garnet with modes: the three sources, each against re-solved equilibria.
TEST(Calcsd, ThreeSourcesWithModesAgreeWithReSolvedEquilibria) {
    OlGt s(true);
    ASSERT_TRUE(s.solve());
    bulkmatrix covbp{};
    covbp[1][1] = 0.01L;
    covbp[1][2] = covbp[2][1] = 0.002L;
    covbp[2][2] = 0.02L;
    Uncertainties u;
    calcsd(s.ses, s.sdinputs(covbp), u);
    ASSERT_TRUE(u.valid);
    EXPECT_EQ(u.n, 5);  // P, T, x(ol), x(g), ln(m(g)/m(ol))
    EXPECT_EQ(u.sdx[1], 0);
    EXPECT_EQ(u.sdx[2], 0);
    const std::vector<Quantity> qs = {[&] { return s.natural(3); }, [&] { return s.natural(4); },
                                      [&] { return std::log(s.natural(6) / s.natural(5)); }};
    // Dataset part.
    const std::vector<real> vh = datasetvariance(s, qs);
    // Non-ideality: W of 5 kJ has sd 1 kJ, W of -20 kJ sd 2 kJ.
    std::vector<real> vw(3);
    const real sdw[2] = {1, 2};
    for (int ph = 1; ph <= 2; ++ph) {
        for (std::size_t i = 0; i < 3; ++i) {
            const real d = slope(s, s.ss(ph).wa[1], 1e-3L, qs[i]);
            vw[i] += d * d * sdw[ph - 1] * sdw[ph - 1];
        }
    }
    // Bulk: b'_k = ln(b_k / b_SiO2) for MgO and FeO, the bulk normalised to 1.
    Fixed1<real, 3> bp{};
    const real b0[3] = {0.35L, 0.25L, 0.4L};
    for (int k = 1; k <= 2; ++k) bp[k] = std::log(b0[k - 1] / b0[2]);
    auto setbulk = [&] {
        const real e1 = std::exp(bp[1]), e2 = std::exp(bp[2]), sum = e1 + e2 + 1;
        const real b[3] = {e1 / sum, e2 / sum, 1 / sum};
        for (int k = 1; k <= 3; ++k) s.mb.bulkcomp[k] = s.bulk.bulkcomp[k] = b[k - 1];
    };
    std::vector<real> vb(3);
    for (std::size_t i = 0; i < 3; ++i) {
        real d[3] = {0, 0, 0};
        for (int k = 1; k <= 2; ++k) {
            const Quantity q = [&] { return qs[i](); };
            const real p0 = bp[k];
            bp[k] = p0 + 1e-4L;
            setbulk();
            EXPECT_TRUE(s.solve());
            const real up = q();
            bp[k] = p0 - 1e-4L;
            setbulk();
            EXPECT_TRUE(s.solve());
            const real down = q();
            bp[k] = p0;
            setbulk();
            d[k] = (up - down) / 2e-4L;
        }
        for (int k = 1; k <= 2; ++k) {
            for (int l = 1; l <= 2; ++l) vb[i] += d[k] * d[l] * covbp[k][l];
        }
    }
    for (int i = 0; i < 3; ++i) {
        const int pos = i + 3;
        const auto ii = static_cast<std::size_t>(i);
        SCOPED_TRACE(pos);
        expectvariance(u.sdxh[pos], vh[ii]);
        expectvariance(u.sdxw[pos], vw[ii]);
        expectvariance(u.sdxb[pos], vb[ii]);
        EXPECT_REL_NEAR(u.sdx[pos] * u.sdx[pos], vh[ii] + vw[ii] + vb[ii], 1e-4L);
    }
}

TEST(Calcsd, DqfKindsOfSolutionEndMembersWidenTheDataset) {
    OlGt s;
    ASSERT_TRUE(s.solve());
    const bulkmatrix covbp{};
    Uncertainties plain;
    calcsd(s.ses, s.sdinputs(covbp), plain);
    s.ss(1).em[1].dqfkind = 5;  // fo: "(rcal)", variance 1 whatever a is
    s.ss(1).em[1].dqfa = -37;
    Uncertainties widened;
    calcsd(s.ses, s.sdinputs(covbp), widened);
    real sens = 0;  // d x(ol) / d H(fo)
    for (int k = 1; k <= s.run.nreac; ++k) sens += s.der->dxdeq[1][k] * (*s.run.arrays.r)[k][1];
    EXPECT_REL_NEAR(widened.sdxh[3] * widened.sdxh[3], plain.sdxh[3] * plain.sdxh[3] + sens * sens,
                    1e-12L);
    s.ss(2).em[2].dqfkind = 0;
    EXPECT_BOMB(calcsd(s.ses, s.sdinputs(covbp), widened), "calcsd", "dqf unclassified");
    s.ss(2).em[2].dqfkind = 9;
    EXPECT_BOMB(calcsd(s.ses, s.sdinputs(covbp), widened), "calcsd", "dqfubar");
    s.ss(2).em[2].dqfkind = -1;
    s.nst.njaccols = 3;
    EXPECT_BOMB(calcsd(s.ses, s.sdinputs(covbp), widened), "calcsd", "jrow <> jcol");
}

TEST(Calcsd, VanishingVarianceGivesTheMarker) {
    Al2SiO5 s;
    ASSERT_TRUE(s.solve());
    for (int a = 1; a <= 3; ++a) {
        for (int b = 1; b <= 3; ++b) (*s.run.arrays.cov)[a][b] = a == b ? 1e-30L : 0;
    }
    const bulkmatrix covbp{};
    Uncertainties u;
    calcsd(s.ses, s.sdinputs(covbp), u);
    EXPECT_EQ(u.sdx[1], sdmarker);
    EXPECT_EQ(u.sdxh[2], sdmarker);
    EXPECT_GT(u.covx[1][1], 0);
}

TEST(Calcsd, WithoutReferenceModeMarksEverySdAndSaysSoInTheLog) {
    OlGt s;
    ASSERT_TRUE(s.solve());
    s.der->valid = false;
    s.der->dropmode = 0;
    TempDir dir;
    s.ses.ch.activechannels = 1 | logmask;
    s.ses.ch.files[3].f = std::fopen("x-log.txt", "w");
    const bulkmatrix covbp{};
    Uncertainties u;
    s.ts.console.output.clear();
    calcsd(s.ses, s.sdinputs(covbp), u);
    std::fclose(s.ses.ch.files[3].f);
    s.ses.ch.files[3].f = nullptr;
    EXPECT_EQ(dir.read("x-log.txt"),
              "no mode to refer the mode ratios to: uncertainties not calculated\n");
    EXPECT_FALSE(u.valid);
    EXPECT_EQ(u.n, 5);
    for (int i = 3; i <= 5; ++i) {
        EXPECT_EQ(u.sdx[i], sdmarker);
        EXPECT_EQ(u.sdxh[i], sdmarker);
    }
    EXPECT_EQ(u.sdx[1], 0);              // P is held
    EXPECT_EQ(s.ts.console.output, "");  // the line goes to the log only
    PhaseSds ps;
    phasesds(s.sdinputs(covbp), u, ps);
    EXPECT_EQ(ps.modesd[1], sdmarker);
    EXPECT_EQ(ps.modesd[2], sdmarker);
}

TEST(Phasesds, EachModeFromItsOwnPositionAndTheReferenceMarked) {
    OlGt s;
    ASSERT_TRUE(s.solve());
    const bulkmatrix covbp{};
    Uncertainties u;
    calcsd(s.ses, s.sdinputs(covbp), u);
    PhaseSds ps;
    phasesds(s.sdinputs(covbp), u, ps);
    EXPECT_EQ(ps.nss, 2);
    EXPECT_EQ(ps.varsd[1][1], u.sdx[3]);
    EXPECT_EQ(ps.varsd[2][1], u.sdx[4]);
    EXPECT_EQ(ps.modesd[1], sdmarker);  // olivine is the reference mode
    EXPECT_EQ(ps.modesd[2], u.sdx[5]);
    // With the second mode the reference, the first keeps its own position.
    s.der->dropmode = 2;
    phasesds(s.sdinputs(covbp), u, ps);
    EXPECT_EQ(ps.modesd[1], u.sdx[5]);
    EXPECT_EQ(ps.modesd[2], sdmarker);
}

// A hand-made result: 2 composition variables, 3 modes of which the second is the reference.
struct Block {
    NleVariables v;
    BulkRatios bulk;
    scvector names;
    cvector sdbp;
    Uncertainties u;
    Block() {
        v.nxvars = 4;
        v.nmodevars = 3;
        const char* xn[] = {"P(kbar)", "T(C)", "x(g)", "y(g)", "m(g)", "m(ol)", "m(q)"};
        const real xv[] = {8.5L, 923.15L, 0.25L, 0.125L, 0.5L, 0.25L, 0};
        for (int k = 1; k <= 7; ++k) {
            v.xname[k] = xn[k - 1];
            v.xvalue[k] = xv[k - 1];
            v.xfree[k] = false;  // natural values as they stand
        }
        bulk.modeson = true;
        bulk.nsyscomp = 3;
        bulk.bulkref = 2;
        const real b[] = {0.5L, 0.25L, 0.25L};
        for (int k = 1; k <= 3; ++k) bulk.bulkcomp[k] = b[k - 1];
        names[1] = "SiO2";
        names[2] = "MgO";
        names[3] = "FeO";
        sdbp[1] = 0.05L;
        sdbp[2] = 0.0625L;
        u.n = 6;
        u.valid = true;
        const real sd[] = {0, 5, 0.01L, 0.02L, 0.5L, 0.25L};
        for (int i = 1; i <= 6; ++i) {
            u.sdx[i] = sd[i - 1];
            u.sdxh[i] = i == 3 ? sdmarker : sd[i - 1];
            u.sdxw[i] = sdmarker;
            u.sdxb[i] = 0;
            u.covx[i][i] = sd[i - 1] * sd[i - 1];
        }
        u.covx[2][3] = u.covx[3][2] = 0.025L;
    }
    SdInfo info(bool c8 = false) { return SdInfo{v, bulk, names, sdbp, 2, c8, {"g", "ol", "q"}}; }
};

TEST(Printsdinfo, BlockLayout) {
    Block b;
    const std::string text = sdinfotext(b.info(), b.u);
    const std::string expected =
        "      SiO2,        MgO,        FeO, \n"
        "      50.0,       25.0,       25.0, \n"
        "    0.6931,          0,          0, \n"
        "   0.05000,          0,    0.06250, \n"
        "\n"
        "x,   4,  3,   2,             8.500,        650,                      g,         ol,       "
        "   q, \n"
        "\n"
        "   P(kbar),    T(degC),       x(g),       y(g),       m(g),       m(q), \n"
        "     8.500,        650,    0.25000,    0.12500,    0.69315,          0, \n"
        "\n"
        "         0,    5.00000,          0,    0.02000,    0.50000,    0.25000, \n"
        "         0,          0,          0,          0,          0,          0, \n"
        "         0,          0,          0,          0,          0,          0, \n"
        "         0,    5.00000,    0.01000,    0.02000,    0.50000,    0.25000, \n"
        "\n"
        "    0.0000,          0,          0,          0,          0,          0, \n"
        "         0,    25.0000,     0.0250,          0,          0,          0, \n"
        "         0,     0.0250,     0.0001,          0,          0,          0, \n"
        "         0,          0,          0,     0.0004,          0,          0, \n"
        "         0,          0,          0,          0,     0.2500,          0, \n"
        "         0,          0,          0,          0,          0,     0.0625, \n"
        "\n";
    EXPECT_EQ(text, expected);
}

TEST(Printsdinfo, ZeroReferenceModeStopsUnlessZerosAreAllowed) {
    Block b;
    b.v.xvalue[6] = 0;  // the reference mode
    EXPECT_BOMB(sdinfotext(b.info(), b.u), "printsdinfo", "log of zero or negative mode");
    const std::string text = sdinfotext(b.info(true), b.u);
    EXPECT_NE(text.find("    0.25000,    0.12500,          0,          0, \n"), std::string::npos);
}

TEST(Printsdinfo, WrittenToTheSecondCsvFileAndMarkedUsed) {
    TempDir dir;
    Block b;
    TestSession ts;
    ts.ses.ch.files[8].f = std::fopen("x-2.csv", "w");
    printsdinfo(ts.ses, b.info(), b.u);
    EXPECT_TRUE(ts.ses.ch.used[8]);
    std::fclose(ts.ses.ch.files[8].f);
    EXPECT_EQ(dir.read("x-2.csv"), sdinfotext(b.info(), b.u));
}

TEST(Printsdspec, SourcesOfTheUncertainties) {
    TestSession ts;
    printsdspec(ts.ses, true);
    EXPECT_EQ(ts.console.output,
              "\nspecification of uncertainties in error propagation\n"
              "h: on thermo data, the dataset uncertainties (on enthalpy)\n"
              "w: on non-ideality, sd(W) = 10 % relative; min sd(W) = 1 kJ\n"
              "b: on bulk, in sd(b), alpha = 0.02500, for O, mult = 3\n"
              "(bulk and modes are compvars: prime is logratio; // is denominator: see notes)\n");
}

}  // namespace
}  // namespace qv::test
