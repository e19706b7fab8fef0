#include "rock/rockprint.hpp"

#include <gtest/gtest.h>

#include <string>

#include "rockfixture.hpp"
#include "textio/files.hpp"

namespace qv::test {
namespace {

std::string after(const std::string& s, const std::string& mark) {
    const std::size_t p = s.find(mark);
    return p == std::string::npos ? std::string() : s.substr(p + mark.size());
}

TEST(RockDataReport, ActivitiesReactionsAndTheirOwnPressures) {
    RockFixture f;
    samplerock(f);
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    f.excluded[3] = true;  // alm: not shown in the activity table
    f.calc([](RockCalc& rc) { printavptdata(rc); });
    const std::string out = f.out();
    EXPECT_EQ(out.substr(0, 58),
              "\nActivities and uncertainties at 8.00 kbar and T = 600 \xA1"
              "C\n");
    EXPECT_NE(out.find("                py        gr        an        ky         q        en"
                       "        fs\n"
                       "a             0.1000    0.0500    0.5000    1.0000    1.0000    0.7000"
                       "    0.3000\n"
                       "sd(a)/a      0.20000   0.20000   0.10000         0         0   0.07143"
                       "   0.13333\n"),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("\nIndependent set of reactions\n1)  reaction\n2)  reaction\n3)  reaction\n"),
        std::string::npos);
    EXPECT_NE(out.find("\nCalculations for the set of reactions at T = 600\xA1"
                       "C \n"
                       "            P    sd(P)          a    sd(a)          b         c      "
                       "ln_K  sd(ln_K)\n1"),
              std::string::npos)
        << out;
    // Each reaction's own P is its root; reaction 1 was placed 0.3 kbar above 8 kbar.
    EXPECT_NE(out.find("\n1        8.30"), std::string::npos) << out;
    EXPECT_EQ(out.find("Correlation"), std::string::npos);  // printcor no, debug level 1
}

TEST(RockDataReport, RootOutsideTheWindowLeavesItsColumnsBlank) {
    RockFixture f;
    samplerock(f);
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    f.pa[2] += 300;
    f.incompleteset = true;
    f.calc([](RockCalc& rc) { printavptdata(rc); });
    EXPECT_NE(f.out().find("\n2   " + std::string(18, ' ') + "   "), std::string::npos) << f.out();
    EXPECT_NE(f.out().find("\xA5\xA5INCOMPLETE\xA5\xA5 independent set of reactions\n"),
              std::string::npos);
}

TEST(RockDataReport, ThreeCorrelationMatricesWithUnitDiagonals) {
    const struct {
        bool justrelu;
        std::size_t matrices;
    } cases[] = {{false, 3}, {true, 2}};
    for (const auto& c : cases) {
        RockFixture f;
        samplerock(f);
        f.set.pcur = 8;
        f.set.tcur = 873.15L;
        f.set.printcor = true;
        f.set.justrelu = c.justrelu;
        f.calc([](RockCalc& rc) { printavptdata(rc); });
        const std::string out = f.out();
        EXPECT_EQ(count(out, "Correlation matrix"), c.matrices);
        EXPECT_EQ(out.find("Correlation matrix: enthalpy of reaction") == std::string::npos,
                  c.justrelu);
        const std::string p = after(out, "Correlation matrix:  calculated pressures\n\n");
        ASSERT_FALSE(p.empty()) << out;
        // Row i holds 1.0000 in column i.
        for (std::size_t i = 0; i < 3; ++i) {
            const std::size_t eol = p.find('\n');
            const std::string row = p.substr(0, eol);
            EXPECT_EQ(row.size(), 27u);
            EXPECT_EQ(row.substr(9 * i, 9), "   1.0000") << row;
            const_cast<std::string&>(p) = p.substr(eol + 1);
        }
    }
}

TEST(RockDataReport, AverageTemperatureColumns) {
    RockFixture f;
    samplerock(f);
    f.set.avcalctype = avtype::avtmode;
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    f.set.printcor = true;
    f.calc([](RockCalc& rc) { printavptdata(rc); });
    const std::string out = f.out();
    EXPECT_NE(out.find("Calculations for the set of reactions at P = 8.0 kbar\n"
                       "            T    sd(T)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Correlation matrix:  calculated temperatures"), std::string::npos);
}

TEST(RockDataMathematica, ListsOnTheDrawingChannel) {
    TempDir dir;
    RockFixture f;
    samplerock(f);
    f.set.pcur = 8;
    f.set.tcur = 873.15L;
    f.excluded[3] = true;  // still listed: the lists run over every end-member
    f.set.justrelu = true;
    std::string name;
    openwrite(name, "", "vx.txt", f.ts.ses.ch.files[6]);
    f.ts.ses.ch.activechannels |= 64;
    f.ts.console.output.clear();
    f.calc([](RockCalc& rc) { printavptmath(rc); });
    EXPECT_EQ(f.out(), "");
    closefiles(f.ts.ses);
    const std::string vx = dir.read("vx.txt");
    EXPECT_EQ(vx.substr(0, 81),
              "\n\n{name, lna, sdlna} = Transpose[{\n"
              "  {    py,  -2.302585,   0.200000},\n"
              "  {    gr,");
    EXPECT_NE(vx.find("  {   alm,  -0.510826,   0.083333},\n"), std::string::npos) << vx;
    EXPECT_NE(vx.find("  {    fs,  -1.203973,   0.133333}}];\n\nr = {\n"
                      "  {  0,   1,   0,  -3,   2,   1,   0,   0},\n"),
              std::string::npos)
        << vx;
    EXPECT_NE(vx.find("  {  0,   2,   1,  -6,   3,   3,   0,  -3}};\n\n"
                      "{a, b, c, lnK, sdlnK} = Transpose[{\n"),
              std::string::npos)
        << vx;
    // b is the standard-state entropy term: the plane's own b.
    EXPECT_NE(vx.find(",   0.15000,   -6.600, "), std::string::npos) << vx;
    // With justrelu every enthalpy covariance is 0.001.
    EXPECT_NE(vx.find("covh = {\n  {    0.0010,     0.0010,     0.0010},\n"), std::string::npos)
        << vx;
    EXPECT_EQ(vx.substr(vx.size() - 41), "  {    0.0010,     0.0010,     0.0010}};\n");
}

}  // namespace
}  // namespace qv::test
