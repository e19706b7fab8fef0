// The search and location of invariant points in cases that the closed-form diagrams do not
// reach: a curved reaction with two branches (a pivot), a cell of no width, the activity term of
// a stability test, a degenerate pair of reactions; and the diagram variables of each section.

#include "reactiondiagram/intersections.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "reactiondiagram/diagramfixture.hpp"
#include "reactiondiagram/ptxtable.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

Diagram diagram(DiagramFixture& f, DiagramRun& dr, ReactionLines& lines) {
    return Diagram{f.ts.ses, f.ds, dr, lines};
}

void ptcalct(DiagramFixture& f) {
    f.ds.mode = diagramtype::ptcalc;
    f.ds.calcvariable = calcvariabletype::calctemperature;
    f.w.calcvariable = f.ds.calcvariable;
    f.ds.othervariable = othervariabletype::fixedpressure;
    f.ds.calcfindtype = findtype::findt;
    f.w.tformat = 0;
}

// Y - X has a heat capacity of -0.05 kJ/K, so dG is convex in T with roots at 600 and 1000 K at
// every pressure; U = V (T = 500 + 30 (P - 0.001)) crosses the lower branch and U = W
// (T = 700 + 90 (P - 0.001)) the upper one, both at P = 3.3343 kbar, in one grid cell.
TEST(Intersections, BothBranchesOfACurvedReactionCrossInOneCell) {
    DiagramFixture f;
    const real a = -0.05L;
    const auto cp = [&](real t) { return a * ((t - 298.15L) - t * std::log(t / 298.15L)); };
    const real s = (cp(1000) - cp(600)) / 400;
    const real h = 600 * s - cp(600);
    f.setems({{"X", 0, 0, 0},
              {"Y", h, s, 0},
              {"U", -100, 0.1L, 1},
              {"V", -95, 0.11L, 1.3L},
              {"W", -93, 0.11L, 1.9L}});
    (*f.td)[2][4] = a;
    f.addreaction({-1, 1, 0, 0, 0});
    f.addreaction({0, 0, -1, 1, 0});
    f.addreaction({0, 0, -1, 0, 1});
    f.addcandidate({1, 2, 3});
    ptcalct(f);
    f.w.tformat = 2;  // roots to 0.001 K, with Newton steps enough to reach them from the ends
    f.w.twinlow = 573.15L;
    f.w.twinhigh = 1173.15L;
    f.grid(f.w.pvalues, f.w.npvalues, 1, 10, 10);
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    ReactionLines& lines = fl.lines;
    Diagram d = diagram(f, dr, lines);
    ptxtable(d);
    intersections(d);
    const std::string& out = f.ts.console.output;
    // The pivot's lower branch with U = V, then its upper branch with U = W.
    const real p = 0.001L + 10.0L / 3;
    for (const real t : {600.0L, 1000.0L}) {
        std::string coords = "P = ";
        writepwin(f.w, 0, coords, p);
        coords += " kbar (sd = 0), T = ";
        writetwin(f.w, 0, coords, t - 273.15L);
        const std::size_t at = out.find(coords);
        EXPECT_NE(at, std::string::npos) << coords << "\n" << out;
    }
    EXPECT_EQ(out.find("sorry, none in the window"), std::string::npos);
}

// Lines that change order across a cell whose two grid values are equal have no crossing to
// locate: the failure is reported and the diagram goes on.
TEST(Intersections, AGroupWithoutAMeetingPairIsReportedAndTheRunGoesOn) {
    DiagramFixture f;
    f.setems({{"ky", -2593.11L, 0.0825L, 4.414L},
              {"and", -2588.67L, 0.0922L, 5.153L},
              {"sill", -2585.68L, 0.0952L, 4.986L}});
    f.addreaction({-1, 1, 0});
    f.addreaction({-1, 0, 1});
    f.addreaction({0, -1, 1});
    f.addcandidate({1, 2, 3});
    ptcalct(f);
    f.w.npvalues = 4;
    const real plist[] = {1, 2, 2, 3};
    const real order[4][3] = {{700, 750, 800}, {710, 760, 810}, {820, 770, 720}, {830, 780, 730}};
    for (int16 k = 1; k <= 4; ++k) {
        f.w.pvalues[k] = plist[k - 1];
        for (int16 i = 1; i <= 3; ++i) {
            (*f.ds.branch1)[i][k] = order[k - 1][i - 1];
            (*f.ds.branch2)[i][k] = -1e21L;
        }
    }
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    ReactionLines& lines = fl.lines;
    Diagram d = diagram(f, dr, lines);
    intersections(d);
    EXPECT_NE(f.ts.console.output.find(
                  "\nfinding the intersection : divide by zero ( involving reactions: 1 2 3 )\n\n"
                  "sorry, none in the window\n"),
              std::string::npos)
        << f.ts.console.output;
    EXPECT_NE(f.ts.console.output.find("Stability of reactions not involved"), std::string::npos);
}

// A = B + L and B = C + L meet at ln a(L) = -0.05, 800 K; A = D + L decides the stability of
// that point, and its sign there depends on the activity of L. L is not the last end-member.
struct ActivityTerm : DiagramFixture {
    ActivityTerm() {
        const real s0 = 0.1L;
        const real h1 = 800 * (0.05L + s0 - rgas * -0.05L);
        const real h2 = 800 * (s0 - rgas * -0.05L);
        // dG of A = D + L is +0.1 kJ at the point and falls by R T (ln a) below it.
        const real h4 = 0.1L + 800 * (0.02L + s0 - rgas * -0.05L);
        setems({{"A", -500, 0.2L, 0},
                {"B", -500 + h1, 0.25L, 0},
                {"C", -500 + h1 + h2, 0.25L, 0},
                {"D", -500 + h4, 0.22L, 0},
                {"L", 0, s0, 0},
                {"E", -10, 0.01L, 0}},
               4);
        nexcess = 2;
        lnaemno = 5;
        lnaname = "L";
        lnasref = s0;
        addreaction({-1, 1, 0, 0, 1, 0});
        addreaction({0, -1, 1, 0, 1, 0});
        addreaction({-1, 0, 1, 0, 2, 0});
        addreaction({-1, 0, 0, 1, 1, 0});
        addcandidate({1, 2, 3});
        ds.mode = diagramtype::tlnacalc;
        ds.calcvariable = calcvariabletype::calctemperature;
        ds.othervariable = othervariabletype::fixedlnactivity;
        ds.calcfindtype = findtype::findt;
    }
};

TEST(Intersections, AStabilityTestTakesTheActivityTermOfItsOwnPoint) {
    ActivityTerm f;
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    ReactionLines& lines = fl.lines;
    Diagram d = diagram(f, dr, lines);
    const tdvector last = (*f.td)[6];
    // Left from an earlier evaluation at ln a = -2, where A = D + L has dG < 0.
    (*f.td)[5][2] = f.lnasref - rgas * -2;
    EXPECT_TRUE(stableintersection(d, 1, -0.05L, 800));
    EXPECT_REL_NEAR((*f.td)[5][2], f.lnasref - rgas * -0.05L, 1e-15L);
    for (int v = 1; v <= ntd; ++v) EXPECT_EQ((*f.td)[6][v], last[v]);
    // At ln a = -0.2 the same point's phases lose to D: metastable.
    EXPECT_FALSE(stableintersection(d, 1, -0.2L, 800));
}

TEST(Intersections, TwoReactionsOfOneSlopeGiveNoUncertainties) {
    DiagramFixture f;
    f.setems({{"ky", -2593.11L, 0.0825L, 4.414L}, {"and", -2588.67L, 0.0922L, 5.153L}});
    f.addreaction({-1, 1});
    (*f.cov)[1][1] = 1;
    ptcalct(f);
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    ReactionLines& lines = fl.lines;
    Diagram d = diagram(f, dr, lines);
    const real t = (4.44L + 0.739L * 4.999L) / 0.0097L;
    const PointSd sd = intersectionptx(d, 1, 1, 5, t);
    EXPECT_EQ(sd.sdp, 0);
    EXPECT_EQ(sd.sdt, 0);
    EXPECT_EQ(sd.cor, 0);
}

TEST(Intersections, CleanLabelDropsCoefficientsButNotFormulaDigits) {
    EXPECT_EQ(cleanlabel("12)  3ky + 2H2O = 2and + CO2"), "12)  ky + H2O = and + CO2");
    EXPECT_EQ(cleanlabel("1)  mu + q = san + sill + H2O"), "1)  mu + q = san + sill + H2O");
}

TEST(DiagramVariables, TolerancesBySection) {
    DiagramState ds;
    struct Case {
        diagramtype mode;
        calcvariabletype calc;
        real other, calcv;
    };
    const Case cases[] = {
        {diagramtype::ptcalc, calcvariabletype::calcpressure, 0.5L, 0.01L},
        {diagramtype::ptcalc, calcvariabletype::calctemperature, 0.01L, 0.5L},
        {diagramtype::pxcalc, calcvariabletype::calcpressure, 0.001L, 0.01L},
        {diagramtype::txcalc, calcvariabletype::calctemperature, 0.001L, 0.5L},
        {diagramtype::plnacalc, calcvariabletype::calcpressure, 0.001L, 0.01L},
        {diagramtype::tlnacalc, calcvariabletype::calctemperature, 0.001L, 0.5L},
        {diagramtype::pmucalc, calcvariabletype::calcpressure, 0.01L, 0.01L},
        {diagramtype::tmucalc, calcvariabletype::calctemperature, 0.01L, 0.5L},
    };
    for (const Case& c : cases) {
        ds.mode = c.mode;
        ds.calcvariable = c.calc;
        const Tolerances t = setlim(ds);
        EXPECT_EQ(t.other, c.other);
        EXPECT_EQ(t.calc, c.calcv);
    }
}

TEST(DiagramVariables, PointsOfDiagramCoordinates) {
    DiagramFixture f;
    f.pcur = 3;
    f.tcur = 900;
    f.xco2cur = 0.1L;
    f.xh2ocur = 0.9L;
    DiagramRun dr = f.run();
    DiagramPoint pt;
    pt.lna = -1;
    pt.mu = -7;
    f.ds.mode = diagramtype::pxcalc;
    setiptx(f.ds, dr, pt, 0.25L, 6);
    EXPECT_EQ(pt.p, 6);
    EXPECT_EQ(pt.t, 900);
    EXPECT_EQ(pt.xco2, 0.25L);
    EXPECT_EQ(pt.xh2o, 0.75L);
    f.ds.mode = diagramtype::ptcalc;
    f.ds.calcvariable = calcvariabletype::calcpressure;
    setiptx(f.ds, dr, pt, 800, 4);
    EXPECT_EQ(pt.t, 800);
    EXPECT_EQ(pt.p, 4);
    EXPECT_EQ(pt.xco2, 0.1L);
    EXPECT_EQ(pt.lna, -1);
    EXPECT_EQ(pt.mu, -7);
    f.ds.mode = diagramtype::tlnacalc;
    setiptx(f.ds, dr, pt, -0.5L, 700);
    EXPECT_EQ(pt.t, 700);
    EXPECT_EQ(pt.p, 3);
    EXPECT_EQ(pt.lna, -0.5L);
}

TEST(DiagramVariables, EnlargedWindowsAndTheirRestoration) {
    DiagramState ds;
    Windows w;
    struct Case {
        calcvariabletype which;
        real low, high, wantlow, wanthigh;
    };
    const Case cases[] = {
        {calcvariabletype::calctemperature, 300, 900, 283, 1300},
        {calcvariabletype::calctemperature, 700, 2800, 400, 3000},
        {calcvariabletype::calcpressure, 1, 20, w.scaling.pminimum, 25},
        {calcvariabletype::calcpressure, 10, 1498, 5, 1500},
    };
    for (const Case& c : cases) {
        const bool t = c.which == calcvariabletype::calctemperature;
        real& low = t ? w.twinlow : w.pwinlow;
        real& high = t ? w.twinhigh : w.pwinhigh;
        low = c.low;
        high = c.high;
        enlargewindow(ds, w, c.which);
        EXPECT_EQ(low, c.wantlow);
        EXPECT_EQ(high, c.wanthigh);
        restorewindow(ds, w, c.which);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(high, c.high);
    }
}

}  // namespace
}  // namespace qv::test
