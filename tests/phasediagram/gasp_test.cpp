// Whole phase diagram runs of the garnet-plagioclase-kyanite-quartz equilibrium with ideal
// solutions, against an independent root of dG0 + RT ln K = 0 from the dataset's own G.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// dG of 3 an = gr + 2 ky + q with a(gr) = z^3, a(an) = ca, from the dataset rows.
real gaspdg(Ds62& d, real p, real t, real z, real ca) {
    const real dg0 = d.g(d.find("gr"), p, t) + 2 * d.g(d.find("ky"), p, t) +
                     d.g(d.find("q"), p, t) - 3 * d.g(d.find("an"), p, t);
    return dg0 + rgas * t * (3 * std::log(z) - 3 * std::log(ca));
}

Ds62& dataset() {
    static Ds62 d;
    return d;
}

const char* const isoplethscript = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
calcTatP no
calcT 500 900 100
isopleth z(g) 0.2 ca(pl) 0.5
autoexit
*
)";

TEST(PhaseDiagramRun, IsoplethOfGaspMatchesIndependentRoot) {
    PdCase c(isoplethscript);
    c.go();
    ASSERT_EQ(c.points.size(), 5u) << c.screen();
    Ds62& d = dataset();
    for (const auto& pt : c.points) {
        const real root = bisect([&](real p) { return gaspdg(d, p, pt.t, 0.2L, 0.5L); }, 0.5L, 40);
        EXPECT_ABS_NEAR(static_cast<double>(pt.p), static_cast<double>(root), 1e-3)
            << "T = " << static_cast<double>(pt.t);
        EXPECT_ABS_NEAR(static_cast<double>(pt.x[3]), 0.2, 1e-12);
        EXPECT_ABS_NEAR(static_cast<double>(pt.x[4]), 0.5, 1e-12);
    }
}

// The isopleth script asking T at the given pressures in place of P at the given temperatures.
std::string tatpscript(const std::string& window, const std::string& pressures) {
    std::string script = isoplethscript;
    script.replace(script.find("diagramPT 2 16 500 900"), 22, "diagramPT " + window);
    script.replace(script.find("calcTatP no\ncalcT 500 900 100"), 29,
                   "calcTatP yes\ncalcP " + pressures);
    return script;
}

TEST(PhaseDiagramRun, WindowOffTheLineFindsNothingInRange) {
    // At z(g) 0.2 and ca(pl) 0.5 the line runs from about 10 kbar at 635 C to 12 kbar at 744 C.
    std::string pbelow = isoplethscript;
    pbelow.replace(pbelow.find("diagramPT 2 16"), 14, "diagramPT 1 4 ");
    const struct {
        const char* what;
        std::string script;
    } cases[] = {
        {"P at T, P window below the line", pbelow},
        {"T at P, T window below the line", tatpscript("2 16 400 500", "10 12 1")},
        {"T at P, T window above the line", tatpscript("2 16 800 900", "10 12 1")},
    };
    for (const auto& k : cases) {
        PdCase c(k.script);
        c.go();
        EXPECT_TRUE(c.points.empty()) << k.what;
        EXPECT_NE(c.screen().find("<== nothing in range ==>\n"), std::string::npos)
            << k.what << "\n"
            << c.screen();
    }
}

TEST(PhaseDiagramRun, TAtGivenPMatchesIndependentRoot) {
    // The starting T is the middle of the T window, well away from the line in some rows.
    const struct {
        const char* window;
        const char* pressures;
        std::vector<real> p;
    } cases[] = {
        {"2 16 400 900", "10 12 1", {10, 11, 12}},
        {"2 16 500 900", "11 11.5 0.5", {11, 11.5L}},
        {"2 16 400 1000", "8 14 2", {8, 10, 12, 14}},
    };
    Ds62& d = dataset();
    for (const auto& k : cases) {
        PdCase c(tatpscript(k.window, k.pressures));
        c.go();
        ASSERT_EQ(c.points.size(), k.p.size()) << k.pressures << "\n" << c.screen();
        for (std::size_t i = 0; i < k.p.size(); ++i) {
            const auto& pt = c.points[i];
            EXPECT_ABS_NEAR(static_cast<double>(pt.p), static_cast<double>(k.p[i]), 1e-12);
            const real root =
                bisect([&](real t) { return gaspdg(d, pt.p, t, 0.2L, 0.5L); }, 500, 1300);
            EXPECT_ABS_NEAR(static_cast<double>(pt.t), static_cast<double>(root), 1e-3)
                << "P = " << static_cast<double>(pt.p);
            EXPECT_ABS_NEAR(static_cast<double>(pt.x[3]), 0.2, 1e-12);
            EXPECT_ABS_NEAR(static_cast<double>(pt.x[4]), 0.5, 1e-12);
        }
    }
}

TEST(PhaseDiagramRun, TAtGivenPReturnsTheTOfThePAtGivenTRun) {
    std::string ptscript = isoplethscript;
    ptscript.replace(ptscript.find("calcT 500 900 100"), 17, "calcT 700");
    PdCase first(ptscript);
    first.go();
    ASSERT_EQ(first.points.size(), 1u) << first.screen();
    const real p = first.points[0].p;
    EXPECT_ABS_NEAR(static_cast<double>(p), 11.19, 0.01);
    char text[40];
    std::snprintf(text, sizeof text, "%.12Lf", p);
    PdCase second(tatpscript("2 16 400 900", text));
    second.go();
    ASSERT_EQ(second.points.size(), 1u) << second.screen();
    EXPECT_ABS_NEAR(static_cast<double>(second.points[0].p), static_cast<double>(p), 1e-3);
    EXPECT_ABS_NEAR(static_cast<double>(second.points[0].t), 973.15, 1e-3);
}

TEST(PhaseDiagramRun, DivariantGridSatisfiesTheEquilibrium) {
    // One isopleth of garnet: at each P and T of the grid the plagioclase is calculated.
    PdCase c(R"(axfile axgasp
with g pl ky q
diagramPT 4 16 500 900
pseudosection no
inexcess yes
calcP 12 16 1
calcT 500 900 100
isopleth z(g) 0.15
autoexit
*
)");
    c.go();
    ASSERT_EQ(c.points.size(), 25u) << c.screen();
    Ds62& d = dataset();
    for (const auto& pt : c.points) {
        const real z = pt.x[3];
        const real ca = pt.x[4];
        EXPECT_ABS_NEAR(static_cast<double>(z), 0.15, 1e-12);
        ASSERT_GT(ca, 0);
        ASSERT_LT(ca, 1);
        const real residual = gaspdg(d, pt.p, pt.t, z, ca) / (rgas * pt.t);
        EXPECT_LT(std::fabs(static_cast<double>(residual)), 1e-6)
            << "P = " << static_cast<double>(pt.p) << ", T = " << static_cast<double>(pt.t);
    }
}

TEST(PhaseDiagramRun, UnsolvedPointsShowTheirStatusAndPrintNoRow) {
    // At low P and high T the plagioclase would have to be more calcic than anorthite.
    PdCase c(R"(axfile axgasp
with g pl ky q
diagramPT 4 16 500 900
pseudosection no
inexcess yes
calcP 6 8 2
calcT 500 700 100
isopleth z(g) 0.15
autoexit
*
)");
    c.go();
    ASSERT_EQ(c.points.size(), 4u) << c.screen();  // 6 kbar 500 C and 8 kbar 500-700 C
    const std::string& s = c.screen();
    const auto first = s.find("   6.000   500.000");
    ASSERT_NE(first, std::string::npos) << s;
    // The two failures at 6 kbar are one status mark each on one progress line.
    EXPECT_NE(s.find("\n11\n", first), std::string::npos) << s;
    EXPECT_EQ(s.find("   6.000   600.000"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
