// Whole phase diagram runs of T-x(CO2) and P-x(CO2) sections: calcite + quartz = wollastonite
// + CO2 with an H2O-CO2 fluid, against an independent root of dG0 + RT ln a(CO2) = 0 from the
// dataset's own G, and against each other.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "phasediagram/pdfixture.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// An H2O-CO2 fluid (its mixing energies come from the volumes of its species) with calcite,
// quartz and wollastonite.
const char* const fluidax = R"(% H2O-CO2 fluid with calcite, quartz and wollastonite
header
  wollastonite-in with an H2O-CO2 fluid
header

fluid 2 1
  x(fluid) 0.5
  p(H2O) 1 1 1 1 -1 x
  p(CO2) 1 1 0 1  1 x
  ideal
  2
  xH2O 1 1 1 1 -1 x
  xCO2 1 1 0 1  1 x
  H2O 1 1 xH2O 1
  CO2 1 1 xCO2 1

cc
q
wo
*
)";

// dG of cc + q = wo + CO2 with a(CO2) = a.
real wollastonitedg(Ds62& d, real p, real t, real a) {
    const real dg0 = d.g(d.find("wo"), p, t) + d.g(d.find("CO2"), p, t) - d.g(d.find("cc"), p, t) -
                     d.g(d.find("q"), p, t);
    return dg0 + rgas * t * std::log(a);
}

real bisect(const std::function<real(real)>& f, real lo, real hi) {
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

std::string sectionscript(const std::string& figure, const std::string& calc,
                          const std::string& xco2) {
    return "axfile axgasp\nwith fluid cc q wo\ndiagramPT 1 10 400 900\nfigure " + figure +
           "\npseudosection no\ninexcess yes\n" + calc + "\ncalcx(CO2) " + xco2 + "\nautoexit\n*\n";
}

std::string number(real v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9Lf", v);
    return text;
}

TEST(XCO2Section, NearlyPureCO2MatchesTheIndependentRoot) {
    // A fluid takes its mixing energies from the volumes of its species; at x(CO2) 0.999 they
    // shift the line by well under 1e-4 K, so a(CO2) = 0.999 gives the root. Each result
    // reaches the reaction of the assemblage, which splits the fluid into its species: the
    // four phases stand for one reaction only with H2O and CO2 apart.
    const struct {
        const char* figure;
        const char* calc;
        bool tcalculated;
    } cases[] = {
        {"T-x(CO2)", "calcTatP yes\ncalcP 2", true},
        {"P-x(CO2)", "calcTatP no\ncalcT 750", false},
    };
    const real x = 0.999L;
    static Ds62 d;
    for (const auto& k : cases) {
        PdCase c(sectionscript(k.figure, k.calc, "0.999"), "", fluidax);
        c.go();
        ASSERT_EQ(c.points.size(), 1u) << k.figure << "\n" << c.screen();
        const auto& pt = c.points[0];
        EXPECT_NEAR(static_cast<double>(pt.x[3]), static_cast<double>(x), 1e-12);
        if (k.tcalculated) {
            EXPECT_NEAR(static_cast<double>(pt.p), 2, 1e-12);
            const real root = bisect([&](real t) { return wollastonitedg(d, 2, t, x); }, 700, 1250);
            EXPECT_NEAR(static_cast<double>(pt.t), static_cast<double>(root), 1e-3) << k.figure;
        } else {
            EXPECT_NEAR(static_cast<double>(pt.t), 1023.15, 1e-9);
            const real root =
                bisect([&](real p) { return wollastonitedg(d, p, 1023.15L, x); }, 0.01L, 10);
            EXPECT_NEAR(static_cast<double>(pt.p), static_cast<double>(root), 1e-3) << k.figure;
        }
    }
}

TEST(XCO2Section, TxAndPxSectionsMeetOnTheSameLine) {
    // T along x(CO2) at 2 kbar, then P at each of those temperatures and fluids.
    PdCase tx(sectionscript("T-x(CO2)", "calcTatP yes\ncalcP 2", "0.1 0.3 0.5 0.7"), "", fluidax);
    tx.go();
    ASSERT_EQ(tx.points.size(), 4u) << tx.screen();
    real last = 0;
    for (const auto& pt : tx.points) {
        EXPECT_GT(pt.t, last);  // more CO2 in the fluid needs more heat to drive it out
        last = pt.t;
        PdCase px(sectionscript("P-x(CO2)", "calcTatP no\ncalcT " + number(pt.t - 273.15L),
                                number(pt.x[3])),
                  "", fluidax);
        px.go();
        ASSERT_EQ(px.points.size(), 1u) << px.screen();
        EXPECT_NEAR(static_cast<double>(px.points[0].p), 2, 1e-3)
            << "x(CO2) = " << static_cast<double>(pt.x[3]);
    }
}

}  // namespace
}  // namespace qv::test
