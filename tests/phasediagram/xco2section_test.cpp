// Whole phase diagram runs of T-x(CO2) and P-x(CO2) sections: calcite + quartz = wollastonite
// + CO2 with an H2O-CO2 fluid, against an independent root of dG0 + RT ln a(CO2) = 0 with
// a(CO2) of the fluid's van Laar mixing worked out here, and against each other.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/fluids.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// ln a(CO2) of an H2O-CO2 fluid with x(CO2) = x at p (kbar) and t (K): van Laar mixing with the
// sizes of the pure fluids' volumes and W = 10.5 (1/V(H2O) + 1/V(CO2)) kJ (V in kJ/kbar).
real lnaco2(Ds62& d, real x, real p, real t) {
    const real vh = spfluid(d.ts.ses, d.gs.newspfluid, p, t).v;
    const real vc = spfluid2(d.ts.ses, d.gs.newspfluid, p, t).v;
    const real alpha = vc / vh;
    const real w = 10.5L * (1 / vh + 1 / vc);
    const real phih = (1 - x) / ((1 - x) + alpha * x);
    const real rtlngamma = 2 * alpha / (1 + alpha) * w * phih * phih;
    return std::log(x) + rtlngamma / (0.0083144L * t);
}

// dG of cc + q = wo + CO2 (kJ) at p (kbar) and t (K) in a fluid with x(CO2) = x.
real decarbonationdg(Ds62& d, real x, real p, real t) {
    return d.g(d.find("wo"), p, t) + d.g(d.find("CO2"), p, t) - d.g(d.find("cc"), p, t) -
           d.g(d.find("q"), p, t) + 0.0083144L * t * lnaco2(d, x, p, t);
}

std::string sectionscript(const std::string& figure, const std::string& calc,
                          const std::string& xco2) {
    return "axfile axgasp\nwith fluid cc q wo\ndiagramPT 1 10 400 1000\nfigure " + figure +
           "\npseudosection no\ninexcess yes\n" + calc + "\ncalcx(CO2) " + xco2 + "\nautoexit\n*\n";
}

std::string number(real v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9Lf", v);
    return text;
}

TEST(XCO2Section, EachPointMatchesTheIndependentRoot) {
    // T at 5 kbar: more CO2 in the fluid holds the reaction back to higher T. P at 700 °C: the
    // reaction gives off gas, so more CO2 moves it to lower P. Each result also reaches the
    // reaction of the assemblage, which splits the fluid into its species: the four phases
    // stand for one reaction only with H2O and CO2 apart.
    const struct {
        const char* figure;
        const char* calc;
        bool tcalculated;
        real fixed;
    } cases[] = {
        {"T-x(CO2)", "calcTatP yes\ncalcP 5", true, 5},
        {"P-x(CO2)", "calcTatP no\ncalcT 700", false, 973.15L},
    };
    for (const auto& k : cases) {
        PdCase c(sectionscript(k.figure, k.calc, "0.2 0.8 0.2"), "", decarbax);
        c.go();
        EXPECT_NE(c.screen().find("fluid is H2O-CO2"), std::string::npos) << c.screen();
        ASSERT_EQ(c.points.size(), 4u) << k.figure << "\n" << c.screen();
        real last = k.tcalculated ? 0 : 100;
        for (std::size_t i = 0; i < c.points.size(); ++i) {
            const auto& pt = c.points[i];
            const real x = 0.2L * static_cast<real>(i + 1);
            EXPECT_ABS_NEAR(static_cast<double>(pt.x[3]), static_cast<double>(x), 1e-12);
            if (k.tcalculated) {
                EXPECT_ABS_NEAR(static_cast<double>(pt.p), static_cast<double>(k.fixed), 1e-12);
                const real t =
                    bisect([&](real tk) { return decarbonationdg(dataset(), x, k.fixed, tk); },
                           673.15L, 1473.15L);
                EXPECT_ABS_NEAR(static_cast<double>(pt.t), static_cast<double>(t), 1e-4)
                    << "x(CO2) = " << static_cast<double>(x);
                EXPECT_GT(pt.t, last);
                last = pt.t;
            } else {
                EXPECT_ABS_NEAR(static_cast<double>(pt.t), static_cast<double>(k.fixed), 1e-9);
                const real p = bisect(
                    [&](real pk) { return decarbonationdg(dataset(), x, pk, k.fixed); }, 0.5L, 12);
                EXPECT_ABS_NEAR(static_cast<double>(pt.p), static_cast<double>(p), 1e-6)
                    << "x(CO2) = " << static_cast<double>(x);
                EXPECT_LT(pt.p, last);
                last = pt.p;
            }
        }
    }
}

TEST(XCO2Section, TxAndPxSectionsMeetOnTheSameLine) {
    // T along x(CO2) at 2 kbar, then P at each of those temperatures and fluids.
    PdCase tx(sectionscript("T-x(CO2)", "calcTatP yes\ncalcP 2", "0.1 0.3 0.5 0.7"), "", decarbax);
    tx.go();
    ASSERT_EQ(tx.points.size(), 4u) << tx.screen();
    real last = 0;
    for (const auto& pt : tx.points) {
        EXPECT_GT(pt.t, last);  // more CO2 in the fluid needs more heat to drive it out
        last = pt.t;
        PdCase px(sectionscript("P-x(CO2)", "calcTatP no\ncalcT " + number(pt.t - 273.15L),
                                number(pt.x[3])),
                  "", decarbax);
        px.go();
        ASSERT_EQ(px.points.size(), 1u) << px.screen();
        EXPECT_ABS_NEAR(static_cast<double>(px.points[0].p), 2, 1e-3)
            << "x(CO2) = " << static_cast<double>(pt.x[3]);
    }
}

// A pseudosection asked for in a T-x(CO2) section of univariant phases (calcite and aragonite
// with quartz, wollastonite and the fluid) is none: the console says why, and no bulk is read.
TEST(XCO2Section, APseudosectionOfUnivariantPhasesSaysItIsNone) {
    const std::string ax =
        std::string(decarbax).substr(0, std::string(decarbax).rfind('*')) + "arag\n*\n";
    PdCase c(
        "axfile axgasp\nwith fluid cc arag q wo\ndiagramPT 1 9 400 1000\nfigure T-x(CO2)\n"
        "pseudosection yes\nbulk H2O CO2 CaO SiO2\nbulk 10 20 30 40\ninexcess yes\n"
        "calcTatP yes\ncalcP 2\ncalcx(CO2) 0.1 0.9 0.2\nautoexit\n*\n",
        "\n\n\n", ax);
    c.go();
    const std::string& out = c.screen();
    EXPECT_NE(out.find("original variance = 1, effective variance = 0  (0, 1, ex)\n"
                       "not a pseudosection (x(CO2) with univariant phases): the bulk is not "
                       "used\n"),
              std::string::npos)
        << out;
    EXPECT_FALSE(c.run.script.pseudoon);
    EXPECT_EQ(out.find("specification of bulk composition"), std::string::npos) << out;
}

}  // namespace
}  // namespace qv::test
