// Recalculation of mineral analyses: cations per formula unit, the ideal-formula fit, the
// compositional variables with their Monte Carlo sds, and the bulk composition.

#include "utilities/analyses.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "support/near.hpp"
#include "utilities/utilityfixture.hpp"

namespace qv::test {
namespace {

// Oxide masses of the built-in table, g/mol.
constexpr long double msio2 = 60.0848L, mal2o3 = 101.96128L, mfeo = 71.8464L, mmgo = 40.3044L;

std::string num(long double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10Lf", x);
    return buf;
}

// Almandine Fe3Al2Si3O12 as amounts proportional to its moles of oxides (the recalculation
// normalises, so they need not sum to 100).
std::string almandine(const std::string& extra = "") {
    return "utilitycode 1\nconvert gt 3 SiO2 Al2O3 FeO\nconvert gt wt2xyz " + num(3 * msio2) + " " +
           num(mal2o3) + " " + num(3 * mfeo) + "\nconvert gt info 12 0 0 0 0\n" + extra;
}

TEST(Recalculation, StoichiometricAlmandineOnTwelveOxygens) {
    UtilityRun u;
    u.go(almandine());
    const mineraltype& m = u.mineral(1);
    ASSERT_EQ(m.nox, 4);  // SiO2, Al2O3, FeO and the ferric oxygen
    EXPECT_EQ(m.elnames[3], "Fe2");
    EXPECT_EQ(m.elnames[4], "Fe3");
    // x = Fe3/Fe = 1e-5 puts 1.5e-5 extra oxygen per 12: every cation scales by 12/12.000015.
    const long double f = 12 / (12 + 1.5e-5L);
    EXPECT_REL_NEAR(m.c0[1], 3 * f, 1e-15L);
    EXPECT_REL_NEAR(m.c0[2], 2 * f, 1e-15L);
    EXPECT_REL_NEAR(m.c0[3] + m.c0[4], 3 * f, 1e-15L);
    EXPECT_REL_NEAR(m.c0[4], 3e-5L * f, 1e-9L);
    // x(gt) is Fe2/(Fe2 + Mg) with no Mg: 1; z has no Ca: 0.
    ASSERT_EQ(m.nxyz, 2);
    EXPECT_EQ(m.xyznames[1], "x(gt)");
    EXPECT_REL_NEAR(m.xyz[1], 1.0L, 1e-15L);
    EXPECT_EQ(m.xyz[2], 0);
    // The rbi rows: the FeO slot back to total iron, 3 FeO, 1 Al2O3 per formula unit.
    const std::string log = u.log();
    EXPECT_NE(
        log.find("bulk  rbi    gt         0         3         1         0         0         3\n"),
        std::string::npos)
        << log;
    EXPECT_NE(u.screen().find("recalc of gt\n"), std::string::npos);
}

TEST(Recalculation, IdealFitSumsToItsConstraintAndLeavesAFittingAnalysisAlone) {
    // Pyrope Mg3Al2Si3O12: Si + Al + Mg = 8 holds already, so sigfit is 0 and the analysis
    // stays as it is.
    UtilityRun ok;
    ok.go("utilitycode 1\nconvert gt 3 SiO2 Al2O3 MgO\nconvert gt wt2xyz " + num(3 * msio2) + " " +
          num(mal2o3) + " " + num(3 * mmgo) +
          "\nconvert gt info 12 0 0 0 0\nconvert gt ideal peq 8 0 3 1 Si 1 Al 1 Mg\n");
    const mineraltype& a = ok.mineral(1);
    EXPECT_LT(a.sigfit, 1e-9L);
    EXPECT_REL_NEAR(a.cid[1], a.c0[1], 1e-12L);
    EXPECT_NE(ok.screen().find("ideal analysis of gt with\n  Si + Al + Mg = 8\n\n"),
              std::string::npos)
        << ok.screen();

    // Too much silica: the fit moves the analysis until Si + Al + Fe = 8 on 12 oxygens.
    UtilityRun fit;
    fit.go(
        "utilitycode 1\nconvert gt 3 SiO2 Al2O3 FeO\nconvert gt wt2xyz 40 20 40\n"
        "convert gt info 12 0 0 0 0\nconvert gt ideal peq 8 0 4 1 Si 1 Al 1 Fe2 1 Fe3\n");
    const mineraltype& b = fit.mineral(1);
    EXPECT_GT(b.sigfit, 0);
    // The FeO slot went back to total iron (ferric oxygen halved) after the table was written.
    const long double sum = b.cid[1] + b.cid[2] + b.cid[3];
    EXPECT_ABS_NEAR(sum, 8.0L, 1e-6L);
    EXPECT_ABS_NEAR(b.wt[1] + b.wt[2] + b.wt[3] + b.wt[4], 100.0L, 1e-9L);
}

TEST(Recalculation, IdealCationTotalCountsAllIronUnderFe2) {
    // A tenth of the iron ferric: the ferric slot carries only oxygen, so the term Fe2 stands for
    // all the iron and Si + Al + Fe(total) + Mg + Ca comes to 8.
    UtilityRun u;
    u.go(
        "utilitycode 1\nconvert gt 5 SiO2 Al2O3 FeO MgO CaO\nconvert gt wt2xyz 37.8 21.4 31.2 5.9 "
        "3.6\nconvert gt info 12 0.05 0.15 0 0\n"
        "convert gt ideal peq 8 0 5 1 Si 1 Al 1 Fe2 1 Mg 1 Ca\n");
    const mineraltype& m = u.mineral(1);
    ASSERT_EQ(m.nox, 6);
    // After the table the FeO slot holds all iron again and the extra slot the ferric oxygen.
    real sum = 0;
    for (int i = 1; i <= 5; ++i) sum += m.cid[i];
    EXPECT_ABS_NEAR(sum, 8.0L, 1e-6L);
    EXPECT_GT(m.cid[6], 0.05L);
}

TEST(Recalculation, MonteCarloIsReproducibleAndItsSdIsTheMedianAbsoluteDeviation) {
    const std::string script =
        "utilitycode 1\nconvert gt 4 SiO2 Al2O3 FeO MgO\nconvert gt wt2xyz 40 22 25 13\n"
        "convert gt info 12 0.1 0.3 0 0\n";
    UtilityRun a;
    a.go(script);
    UtilityRun b;
    b.go(script);
    const mineraltype& m = a.mineral(1);
    EXPECT_EQ(m.sdxyz[1], b.mineral(1).sdxyz[1]);
    EXPECT_EQ(m.cor[1][2], b.mineral(1).cor[1][2]);

    // The trials again, computed independently: each ln wt% is perturbed by the analytical error
    // a/sqrt(wt%) (a = 0.035), the ferric oxygen by the sd of ln x as well; x = Fe2/(Fe2 + Mg)
    // in moles.
    WhSeeds seeds;
    TestSession t;
    seedwhrandom(seeds, true, t.clock.now());
    const long double wt[5] = {0, 40, 22, 25, 13};
    const long double mu = (std::log(0.1L) + std::log(0.3L)) / 2;
    const long double sigma = (std::log(0.3L) - std::log(0.1L)) / 4;
    const long double wtextra = 25 / mfeo * 16 * 0.5L * std::exp(mu);
    auto normal = [&] {
        const long double u1 = 1 - whrandom(seeds);
        const long double u2 = whrandom(seeds);
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi_v<long double> * u2);
    };
    std::vector<long double> xs;
    for (int trial = 0; trial < 5000; ++trial) {
        long double w[6];
        for (int i = 1; i <= 4; ++i)
            w[i] = std::exp(std::log(wt[i]) + 0.035L / std::sqrt(wt[i]) * normal());
        const long double sfe = 0.035L / std::sqrt(25.0L);
        w[5] = std::exp(std::log(wtextra) + std::sqrt(sigma * sigma + sfe * sfe) * normal());
        const long double fe2 = w[3] / mfeo - 2 * w[5] / 16;
        xs.push_back(fe2 / (fe2 + w[4] / mmgo));
    }
    auto median = [](std::vector<long double> v) {
        std::sort(v.begin(), v.end());
        return (v[2499] + v[2500]) / 2;
    };
    const long double med = median(xs);
    std::vector<long double> dev;
    for (long double x : xs) dev.push_back(std::fabs(x - med));
    EXPECT_REL_NEAR(m.sdxyz[1], median(dev), 1e-12L);
    EXPECT_GT(m.sdxyz[1], 0);
}

TEST(Recalculation, ZeroDenominatorIsUndefinedNotDivided) {
    // Neither Fe nor Mg nor Ca: both variables have a zero denominator.
    UtilityRun u;
    u.go(
        "utilitycode 1\nconvert gt 2 SiO2 Al2O3\nconvert gt wt2xyz 40 22\n"
        "convert gt info 12 0 0 0 0\n");
    const mineraltype& m = u.mineral(1);
    EXPECT_TRUE(m.xyzundefined[1]);
    EXPECT_TRUE(m.xyzundefined[2]);
    EXPECT_NE(u.screen().find("      x(gt)         *         *"), std::string::npos) << u.screen();
}

TEST(Recalculation, FailedIdealFitWritesThePlainRecalculationBeforeStopping) {
    // Cations can never sum to 20 on 12 oxygens.
    UtilityRun u;
    EXPECT_BOMB(u.go(almandine("convert gt ideal peq 20 0 1 1 Si\n")), "ideal",
                "ideal analysis calculation failed");
    const std::string& out = u.screen();
    const auto announced = out.find("instead, here is the ordinary recalc result:\n");
    ASSERT_NE(announced, std::string::npos) << out;
    EXPECT_NE(out.find("c        3.0000    2.0000    3.0000", announced), std::string::npos) << out;
}

TEST(Recalculation, IdealFitOfMoreThanTwentyFiveSlotsStops) {
    mineraltype m;
    m.nox = 26;
    ptype1 ph;
    slotreals wt{}, s{};
    XyzResult res;
    TestSession t;
    EXPECT_BOMB(ideal(t.ses, m, ph, wt, s, res, false), "ideal",
                "too many oxides in an ideal analysis (max = 25) ");
}

TEST(BulkComposition, FerricIronUnknownOxidesAndMissingComponents) {
    UtilityRun u;
    u.go(
        "utilitycode 1\nconvert bulk 5 SiO2 Fe2O3 FeO Xy2O BaO\n"
        "convert bulk wt2mole 60 16 7.18464 3 1\n");
    const std::string& out = u.screen();
    // BaO is an oxide but no component of the system (moles); Xy2O is no oxide (wt%); the
    // ferric oxygen has no component either. FeO: 0.1 + 2 x 16/159.6928 moles.
    EXPECT_NE(out.find("ignoring, in the input bulk Xy2O=3.0000 wt%; BaO=0.0065; O=0.1002; \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("bulk composition in mole%\n"), std::string::npos);
    EXPECT_NE(out.find("   76.8752        ??        ??        ??   23.1248\n"), std::string::npos);
}

TEST(Conversions, NothingToConvertAndBulkOnly) {
    UtilityRun none;
    EXPECT_BOMB(none.go("utilitycode 1\n"), "conversions", "no converting to be done?");
    UtilityRun bulk;
    bulk.go("utilitycode 1\nconvert bulk 2 SiO2 FeO\nconvert bulk wt2mole 50 50\n");
    EXPECT_NE(bulk.screen().find("\nno analyses to recalculate\n"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
