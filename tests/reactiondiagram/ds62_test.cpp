// The aluminosilicate diagram on the shared dataset, against an independent calculation: roots of
// dG = 0 by bisection on the end-member Gibbs energies alone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

TEST(Ds62Diagram, TheAluminosilicateTriplePoint) {
    Ds62 data;
    const int16 ky = data.find("ky"), an = data.find("and"), si = data.find("sill");
    DiagramFixture f;
    f.gs = data.gs;
    f.setems({{"ky", 0, 0, 0}, {"and", 0, 0, 0}, {"sill", 0, 0, 0}});
    const int16 from[3] = {ky, an, si};
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
    DiagramRun dr = f.run();
    FixtureLines fl(f);
    Diagram d{f.ts.ses, f.ds, dr, fl.lines};
    ptxtable(d);
    intersections(d);
    const std::string& out = f.ts.console.output;

    const auto dg = [&](int16 a, int16 b, real p, real t) {
        return data.g(b, p, t) - data.g(a, p, t);
    };
    const auto tof = [&](int16 a, int16 b, real p) {
        return bisect([&](real t) { return dg(a, b, p, t); }, 500, 1100);
    };
    const real p = bisect([&](real pp) { return tof(ky, an, pp) - tof(an, si, pp); }, 1, 10);
    const real t = tof(ky, an, p);
    EXPECT_NE(out.find("# stable intersection 1 involving ky and sill\n"), std::string::npos);
    EXPECT_ABS_NEAR(after(out, "\nP = "), p, 0.01L) << out;
    EXPECT_ABS_NEAR(after(out, "), T = "), t - 273.15L, 0.2L) << out;
    // The line of ky = sill at 1 to 4 kbar, printed with 2 decimals.
    std::string row;
    addgreal(-6, row, 2);
    for (int k = 1; k <= 4; ++k) writetwin(f.w, 8, row, tof(ky, si, k) - 273.15L);
    EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
}

}  // namespace
}  // namespace qv::test
