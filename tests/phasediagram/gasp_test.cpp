// Whole phase diagram runs of the garnet-plagioclase-kyanite-quartz equilibrium with ideal
// solutions, against an independent root of dG0 + RT ln K = 0 from the dataset's own G.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "phasediagram/pdfixture.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// dG of 3 an = gr + 2 ky + q with a(gr) = z^3, a(an) = ca, from the dataset rows.
real gaspdg(Ds62& d, real p, real t, real z, real ca) {
    const real dg0 = d.g(d.find("gr"), p, t) + 2 * d.g(d.find("ky"), p, t) +
                     d.g(d.find("q"), p, t) - 3 * d.g(d.find("an"), p, t);
    return dg0 + rgas * t * (3 * std::log(z) - 3 * std::log(ca));
}

real bisectp(const std::function<real(real)>& f, real lo, real hi) {
    const real flo = f(lo);
    for (int i = 0; i < 200; ++i) {
        const real mid = 0.5L * (lo + hi);
        if ((f(mid) > 0) == (flo > 0)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return 0.5L * (lo + hi);
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
        const real root = bisectp([&](real p) { return gaspdg(d, p, pt.t, 0.2L, 0.5L); }, 0.5L, 40);
        EXPECT_NEAR(static_cast<double>(pt.p), static_cast<double>(root), 1e-3)
            << "T = " << static_cast<double>(pt.t);
        EXPECT_NEAR(static_cast<double>(pt.x[3]), 0.2, 1e-12);
        EXPECT_NEAR(static_cast<double>(pt.x[4]), 0.5, 1e-12);
    }
}

TEST(PhaseDiagramRun, WindowBelowTheLineFindsNothingInRange) {
    std::string script = isoplethscript;
    script.replace(script.find("diagramPT 2 16"), 14, "diagramPT 1 4 ");
    PdCase c(script);
    c.go();
    EXPECT_TRUE(c.points.empty());
    EXPECT_NE(c.screen().find("<== nothing in range ==>\n"), std::string::npos) << c.screen();
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
        EXPECT_NEAR(static_cast<double>(z), 0.15, 1e-12);
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
