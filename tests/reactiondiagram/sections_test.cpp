// T-x(CO2) and T-ln a diagrams on small systems whose solids and fluid species have Gibbs
// energies linear in T, so that each line is T(x) = dH / (dS - R sum(nu ln x)) in closed form.

#include <gtest/gtest.h>

#include <cmath>

#include "reactiondiagram/diagramfixture.hpp"
#include "reactiondiagram/intersections.hpp"
#include "reactiondiagram/ptxtable.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

std::string runall(DiagramFixture& f) {
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    ReactionLines& lines = fl.lines;
    Diagram d{f.ts.ses, f.ds, dr, lines};
    ptxtable(d);
    intersections(d);
    return f.ts.console.output;
}

// Decarbonation A = B + CO2 and dehydration B = C + H2O meet at x(CO2) = 0.32, 800 K (P fixed
// at 2 kbar, no volumes); A = C + CO2 + H2O passes through the same point.
struct Carbonates : DiagramFixture {
    static constexpr real s1 = 0.15L, s2 = 0.12L;
    const real h1 = 800 * (s1 - rgas * std::log(0.32L));
    const real h2 = 800 * (s2 - rgas * std::log(0.68L));
    Carbonates() {
        setems({{"A", -500, 0.2L, 0},
                {"B", -500 + h1, 0.2L + s1, 0},
                {"C", -500 + h1 + h2, 0.2L + s1 + s2, 0},
                {"cd", 0, 0, 0},
                {"w", 0, 0, 0}});
        co2emno = 4;
        h2oemno = 5;
        addreaction({-1, 1, 0, 1, 0});
        addreaction({0, -1, 1, 0, 1});
        addreaction({-1, 0, 1, 1, 1});
        addcandidate({1, 2, 3});
        w.tformat = 0;
        w.twinlow = 573.15L;
        w.twinhigh = 973.15L;
        w.xwinlow = 0.05L;
        w.xwinhigh = 0.95L;
        grid(w.xvalues, w.nxvalues, 0.05L, 0.95L, 19);
        pcur = 2;
        tcur = 773.15L;
        xco2cur = 0.5L;
        xh2ocur = 0.5L;
        ds.mode = diagramtype::txcalc;
        ds.calcvariable = calcvariabletype::calctemperature;
        ds.othervariable = othervariabletype::fixedmolefractionCO2;
        ds.calcfindtype = findtype::findt;
    }
    real t1(real x) const { return h1 / (s1 - rgas * std::log(x)); }
    real t2(real x) const { return h2 / (s2 - rgas * std::log(1 - x)); }
    real t3(real x) const {
        return (h1 + h2) / (s1 + s2 - rgas * std::log(x) - rgas * std::log(1 - x));
    }
};

TEST(TxDiagram, LinesAndTheInvariantPointInClosedForm) {
    Carbonates f;
    const std::string out = runall(f);
    EXPECT_NE(out.find("\nTemperatures in the range 300 <-> 700\xA1"
                       "C;  for P = 2.0 kbar\n"
                       "uncertainties at or near x(CO2) = 0.5\n"),
              std::string::npos)
        << out;
    std::string row = "1     ";
    for (int16 k = 1; k <= 19; ++k) writetwin(f.w, 7, row, f.t1(f.w.xvalues[k]) - 273.15L);
    EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
    EXPECT_NE(out.find("T-x(CO2)  of intersections : P = 2.0 kbar\n"
                       "window : T 300 <-> 700\xA1"
                       "C; x(CO2) 0.05 <-> 0.95\n"
                       "----------------------------------------------------------\n"
                       "# stable intersection 1 involving A B C cd w\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("T = 527 \xA1"
                       "C , x(CO2) = 0.320\n"),
              std::string::npos)
        << out;
}

TEST(TxDiagram, SlopesAreTheStepOverTheChangeOfT) {
    Carbonates f;
    const std::string out = runall(f);
    // dx/dT over a step of 0.01 in x(CO2) (x(H2O) down by as much) from the point.
    const real x = 0.32L, step = 0.01L;
    const real s1 = step / (f.t1(x + step) - f.t1(x));
    const real s2 = step / (f.t2(x + step) - f.t2(x));
    const real s3 = step / (f.t3(x + step) - f.t3(x));
    for (const auto& [text, s] : {std::pair{"1)  A = B + cd", s1}, std::pair{"2)  B = C + w", s2},
                                  std::pair{"3)  A = C + cd + w", s3}}) {
        std::string tail;
        addreal(3, false, 10, tail, s);
        const std::size_t at = out.find(std::string(text) + " ");
        ASSERT_NE(at, std::string::npos) << text << "\n" << out;
        const std::size_t eol = out.find('\n', at);
        EXPECT_EQ(out.substr(eol - 10, 10), tail) << text << "\n" << out;
    }
}

// A = B + L and B = C + L in the activity a(L) of L, which is in excess: the lines meet at
// ln a = -0.05 and 800 K, in the last cell of a list that ends at ln a = 0.
struct Hydrates : DiagramFixture {
    static constexpr real s0 = 0.1L;  // entropy of L
    static constexpr real s1 = 0.05L, s2 = 0;
    const real h1 = 800 * (s1 + s0 - rgas * -0.05L);
    const real h2 = 800 * (s2 + s0 - rgas * -0.05L);
    Hydrates() {
        setems({{"A", -500, 0.2L, 0},
                {"B", -500 + h1, 0.2L + s1, 0},
                {"C", -500 + h1 + h2, 0.2L + s1 + s2, 0},
                {"L", 0, s0, 0}},
               3);
        nexcess = 1;
        lnaemno = 4;
        lnaname = "L";
        lnasref = s0;
        addreaction({-1, 1, 0, 1});
        addreaction({0, -1, 1, 1});
        addreaction({-1, 0, 1, 2});
        addcandidate({1, 2, 3});
        w.tformat = 0;
        w.twinlow = 673.15L;
        w.twinhigh = 973.15L;
        w.lnawinlow = -2;
        w.lnawinhigh = 0;
        grid(w.lnavalues[diagramlna], w.nlnavalues[diagramlna], -2, 0, 21);
        pcur = 2;
        tcur = 773.15L;
        ds.mode = diagramtype::tlnacalc;
        ds.calcvariable = calcvariabletype::calctemperature;
        ds.othervariable = othervariabletype::fixedlnactivity;
        ds.calcfindtype = findtype::findt;
    }
    real t1(real lna) const { return h1 / (s1 + s0 - rgas * lna); }
    real t2(real lna) const { return h2 / (s2 + s0 - rgas * lna); }
};

TEST(TlnaDiagram, APointInTheLastCellOfAListEndingAtZero) {
    Hydrates f;
    const std::string out = runall(f);
    EXPECT_EQ(out.find("Thermodynamics of reactions"), std::string::npos);
    EXPECT_NE(out.find("uncertainties at or near ln a(L) -1.0\n"), std::string::npos) << out;
    std::string row = "2     ";
    for (int16 k = 1; k <= 21; k += 2) {
        writetwin(f.w, 9, row, f.t2(f.w.lnavalues[diagramlna][k]) - 273.15L);
    }
    EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
    EXPECT_NE(out.find("T-a(L)  of intersections : P = 2.0 kbar\n"
                       "window : T 400 <-> 700\xA1"
                       "C; ln a(L) -2.0 <-> 0\n"
                       "in excess : L \n"
                       "----------------------------------------------------------\n"
                       "# stable intersection 1 involving A B C + (L)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("T = 527 \xA1"
                       "C,ln a(L) = -0.05\n"),
              std::string::npos)
        << out;
    std::string slope;
    addreal(3, false, 10, slope, 0.01L / (f.t1(-0.04L) - f.t1(-0.05L)));
    EXPECT_NE(out.find(slope + "\n"), std::string::npos) << slope << "\n" << out;
}

TEST(TlnaDiagram, LogsToBaseTenScaleTheActivityTerm) {
    Hydrates f;
    f.script.setlogacb = controlboolean::yes;
    const std::string out = runall(f);
    // log a = ln a / ln 10 at the same point.
    const std::string expect =
        "T = 527 \xA1"
        "C,log a(L) = " +
        realfixstr(2, true, -0.05L / std::log(10.0L));
    EXPECT_NE(out.find(expect + "\n"), std::string::npos) << expect << "\n" << out;
}

}  // namespace
}  // namespace qv::test
