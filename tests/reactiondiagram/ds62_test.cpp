// The aluminosilicate diagram on the shared dataset, against an independent calculation: roots of
// dG = 0 by bisection on the end-member Gibbs energies alone, slopes dS / dV from their
// differences, and stable sides by the least Gibbs energy.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "reactiondiagram/diagramfixture.hpp"
#include "reactiondiagram/intersections.hpp"
#include "reactiondiagram/ptxtable.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "textio/channels.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// The number that follows `label` in `text`.
real after(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    EXPECT_NE(at, std::string::npos) << label;
    return at == std::string::npos ? 0 : std::strtold(text.c_str() + at + label.size(), nullptr);
}

// The aluminosilicates of the shared dataset on a P-T diagram calculated in T, 1 to 10 kbar:
// reactions ky = and (1), ky = sill (2) and and = sill (3), one candidate point of all three;
// and the tests' own lines of dG = 0 from the end-members' Gibbs energies.
struct Aluminosilicates {
    Aluminosilicates() {
        f.gs = data.gs;
        f.setems({{"ky", 0, 0, 0}, {"and", 0, 0, 0}, {"sill", 0, 0, 0}});
        for (int16 i = 1; i <= 3; ++i) {
            (*f.td)[i] = data.row(from[i - 1]);
            for (int16 j = 1; j <= 3; ++j) {
                (*f.cov)[i][j] = (*data.run.arrays.cov)[from[i - 1]][from[j - 1]];
            }
        }
        f.addreaction({-1, 1, 0});
        f.addreaction({-1, 0, 1});
        f.addreaction({0, -1, 1});
        f.addcandidate({1, 2, 3});
        f.ds.mode = diagramtype::ptcalc;
        f.ds.calcvariable = calcvariabletype::calctemperature;
        f.w.calcvariable = f.ds.calcvariable;
        f.ds.othervariable = othervariabletype::fixedpressure;
        f.ds.calcfindtype = findtype::findt;
        f.w.twinhigh = 1073.15L;
        f.grid(f.w.pvalues, f.w.npvalues, 1, 10, 10);
    }
    // The table of lines and the search for the invariant points, printed to the fake console.
    std::vector<InvariantPoint> run() {
        DiagramRun dr = f.run();
        FixtureLines fl(f);
        Diagram d{f.ts.ses, f.ds, dr, fl.lines};
        ptxtable(d);
        return intersections(d);
    }

    // Gibbs energy of end-member k (1 ky, 2 and, 3 sill) and dG of a = b, kJ.
    real g(int k, real p, real t) { return data.g(from[k - 1], p, t); }
    real dg(int a, int b, real p, real t) { return g(b, p, t) - g(a, p, t); }
    // T (K) of a = b at p, and P (kbar) of it at t, by bisection.
    real tof(int a, int b, real p) {
        return bisect([&](real t) { return dg(a, b, p, t); }, 500, 1100);
    }
    real pof(int a, int b, real t) {
        return bisect([&](real p) { return dg(a, b, p, t); }, 0.5L, 12);
    }
    // dP/dT (kbar/K) of a = b at (p, t): dS / dV by central differences of dG.
    real slope(int a, int b, real p, real t) {
        const real ds = -(dg(a, b, p, t + 0.001L) - dg(a, b, p, t - 0.001L)) / 0.002L;
        const real dv = (dg(a, b, p + 0.0001L, t) - dg(a, b, p - 0.0001L, t)) / 0.0002L;
        return ds / dv;
    }

    Ds62 data;
    const int16 from[3] = {data.find("ky"), data.find("and"), data.find("sill")};
    DiagramFixture f;
};

TEST(Ds62Diagram, TheAluminosilicateTriplePoint) {
    Aluminosilicates al;
    al.run();
    const std::string& out = al.f.ts.console.output;
    const real p = bisect([&](real pp) { return al.tof(1, 2, pp) - al.tof(2, 3, pp); }, 1, 10);
    const real t = al.tof(1, 2, p);
    EXPECT_NE(out.find("# stable intersection 1 involving ky and sill\n"), std::string::npos);
    EXPECT_ABS_NEAR(after(out, "\nP = "), p, 0.01L) << out;
    EXPECT_ABS_NEAR(after(out, "), T = "), t - 273.15L, 0.2L) << out;
    // The line of ky = sill at 1 to 4 kbar, printed with 2 decimals.
    std::string row;
    addgreal(-6, row, 2);
    for (int k = 1; k <= 4; ++k) writetwin(al.f.w, 8, row, al.tof(1, 3, k) - 273.15L);
    EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
}

// The analysis of the triple point against the tests' own lines: the point where they meet, the
// slope of each through it, their order by slope, the phase each leaves out, and the side of the
// point on which each is stable, by the least Gibbs energy of the three phases a little way
// along its line.
TEST(Ds62Diagram, TheTriplePointAnalysis) {
    Aluminosilicates al;
    const std::vector<InvariantPoint> points = al.run();
    ASSERT_EQ(points.size(), 1U) << al.f.ts.console.output;
    const InvariantPoint& a = points[0];
    EXPECT_EQ(a.candidate, 1);
    EXPECT_TRUE(a.converged);
    ASSERT_TRUE(a.stable);
    for (int16 e = 1; e <= 3; ++e) EXPECT_TRUE(a.involved[e]) << e;

    const real p = bisect([&](real pp) { return al.tof(1, 2, pp) - al.tof(2, 3, pp); }, 1, 10);
    const real t = al.tof(1, 2, p);
    EXPECT_ABS_NEAR(a.at.p, p, 0.01L);
    EXPECT_ABS_NEAR(a.at.t, t, 0.5L);
    EXPECT_EQ(a.x, a.at.p);
    EXPECT_EQ(a.y, a.at.t);

    struct Want {
        int from, to, absent;
    };
    const Want want[3] = {{1, 2, 3}, {1, 3, 2}, {2, 3, 1}};
    ASSERT_EQ(a.reactions.size(), 3U);
    std::vector<real> slopes;
    for (int k = 0; k < 3; ++k) {
        const PointReaction& rx = a.reactions[static_cast<std::size_t>(k)];
        const Want& w = want[k];
        SCOPED_TRACE("reaction " + std::to_string(k + 1));
        EXPECT_EQ(rx.reaction, k + 1);
        EXPECT_EQ(rx.absent, std::vector<int16>{static_cast<int16>(w.absent)});
        // The slope where the search put the point (the program's own derivatives of G agree
        // with the differences to about 1e-7 of a reaction's small dS and dV), and near it
        // where the lines meet.
        EXPECT_REL_NEAR(rx.slope, al.slope(w.from, w.to, a.at.p, a.at.t), 1e-6L);
        EXPECT_REL_NEAR(rx.slope, al.slope(w.from, w.to, p, t), 1e-3L);
        slopes.push_back(rx.slope);
        // Stable on a side when the absent phase is above the two of the reaction there.
        const real tlow = t - 25;
        const real thigh = t + 25;
        const real plow = al.pof(w.from, w.to, tlow);
        const real phigh = al.pof(w.from, w.to, thigh);
        EXPECT_EQ(rx.stablelow, al.g(w.absent, plow, tlow) > al.g(w.from, plow, tlow));
        EXPECT_EQ(rx.stablehigh, al.g(w.absent, phigh, thigh) > al.g(w.from, phigh, thigh));
    }
    // Each line is stable on one side only: the three half-lines divide the plane.
    for (const PointReaction& rx : a.reactions) EXPECT_NE(rx.stablelow, rx.stablehigh);
    std::vector<std::size_t> byslope = {0, 1, 2};
    std::sort(byslope.begin(), byslope.end(),
              [&](std::size_t i, std::size_t j) { return slopes[i] < slopes[j]; });
    EXPECT_EQ(a.order, byslope);
}

}  // namespace
}  // namespace qv::test
