// A T-x(CO2) section of a decarbonation with a mixed H2O-CO2 fluid, against an independent root
// of dG0 + RT ln a(CO2) = 0, with a(CO2) of the fluid's van Laar mixing worked out here.

#include <gtest/gtest.h>

#include <cmath>

#include "phasediagram/pdfixture.hpp"
#include "thermo/fluids.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// Calcite, quartz and wollastonite with an H2O-CO2 fluid: cc + q = wo + CO2. The fluid's own
// mixing model replaces whatever its block says.
const char* const decarbax = R"(% calcite-quartz-wollastonite with an H2O-CO2 fluid
header
  decarbonation of calcite with quartz in a mixed fluid
header

fluid 2 1
  x(fluid) 0.5
  p(H2O) 1 1 1 1 -1 x
  p(CO2) 1 1 0 1  1 x
  ideal
  2
  xh 1 1 1 1 -1 x
  xc 1 1 0 1  1 x
  H2O 1 1 xh 1
  CO2 1 1 xc 1

cc
q
wo
*
)";

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

// The root of f in [lo, hi] by halving.
template <class F>
real halving(F f, real lo, real hi) {
    const bool lowpositive = f(lo) > 0;
    EXPECT_NE(lowpositive, f(hi) > 0)
        << "no root between " << static_cast<double>(lo) << " and " << static_cast<double>(hi);
    for (int i = 0; i < 100; ++i) {
        const real mid = 0.5L * (lo + hi);
        ((f(mid) > 0) == lowpositive ? lo : hi) = mid;
    }
    return 0.5L * (lo + hi);
}

std::string decarbscript(const std::string& figure, const std::string& calc) {
    return "axfile axgasp\nwith fluid cc q wo\ndiagramPT 1 9 400 1000\nfigure " + figure +
           "\npseudosection no\ninexcess yes\n" + calc + "calcx(CO2) 0.2 0.8 0.2\nautoexit\n*\n";
}

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// T of the reaction at 5 kbar along x(CO2): more CO2 in the fluid holds the reaction back to
// higher T.
TEST(TXco2Section, DecarbonationTAtPMatchesIndependentRoot) {
    PdCase c(decarbscript("T-x(CO2)", "calcTatP yes\ncalcP 5\n"), "", decarbax);
    c.go();
    EXPECT_NE(c.screen().find("fluid is H2O-CO2"), std::string::npos) << c.screen();
    ASSERT_EQ(c.points.size(), 4u) << c.screen();
    real last = 0;
    for (std::size_t k = 0; k < c.points.size(); ++k) {
        const auto& pt = c.points[k];
        const real x = 0.2L * static_cast<real>(k + 1);
        EXPECT_NEAR(static_cast<double>(pt.x[3]), static_cast<double>(x), 1e-12);
        EXPECT_NEAR(static_cast<double>(pt.p), 5, 1e-12);
        const real t = halving([&](real tk) { return decarbonationdg(dataset(), x, 5, tk); },
                               673.15L, 1473.15L);
        EXPECT_NEAR(static_cast<double>(pt.t), static_cast<double>(t), 1e-4)
            << "x(CO2) = " << static_cast<double>(x);
        EXPECT_GT(pt.t, last);
        last = pt.t;
    }
}

// P of the reaction at 700 °C along x(CO2): the reaction gives off gas, so more CO2 in the fluid
// moves it to lower P.
TEST(TXco2Section, DecarbonationPAtTMatchesIndependentRoot) {
    PdCase c(decarbscript("P-x(CO2)", "calcTatP no\ncalcT 700\n"), "", decarbax);
    c.go();
    EXPECT_NE(c.screen().find("fluid is H2O-CO2"), std::string::npos) << c.screen();
    ASSERT_EQ(c.points.size(), 4u) << c.screen();
    const real t = 973.15L;
    real last = 100;
    for (std::size_t k = 0; k < c.points.size(); ++k) {
        const auto& pt = c.points[k];
        const real x = 0.2L * static_cast<real>(k + 1);
        EXPECT_NEAR(static_cast<double>(pt.x[3]), static_cast<double>(x), 1e-12);
        EXPECT_NEAR(static_cast<double>(pt.t), static_cast<double>(t), 1e-9);
        const real p =
            halving([&](real pk) { return decarbonationdg(dataset(), x, pk, t); }, 0.5L, 12);
        EXPECT_NEAR(static_cast<double>(pt.p), static_cast<double>(p), 1e-6)
            << "x(CO2) = " << static_cast<double>(x);
        EXPECT_LT(pt.p, last);
        last = pt.p;
    }
}

}  // namespace
}  // namespace qv::test
