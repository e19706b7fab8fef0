// The uncertainty of the modes of a pseudosection from the uncertainty of its bulk: garnet
// (py-alm), olivine (fo-fa) and enstatite in FeO-MgO-Al2O3-SiO2, whose modes follow from the
// bulk alone. The sd of each mode log ratio equals the bulk's covariance, written in the test
// from the analytical error model, carried through finite differences of the solved modes.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

const std::string& gomsax = fmasax;  // garnet, olivine, spinel and enstatite

// The bulk in percent: SiO2, Al2O3, MgO, FeO (the order of the system).
using Bulk = std::array<long double, 4>;

std::string script(const Bulk& b) {
    std::string line = "bulk";
    for (long double v : b) {
        char s[40];
        std::snprintf(s, sizeof s, " %.15Lg", v);
        line += s;
    }
    return "axfile axgasp\nwith g ol en\ninexcess yes\npseudosection yes\n"
           "bulk SiO2 Al2O3 MgO FeO\n" +
           line +
           "\nacceptvar yes\nzeromodeisopleth no\nmodeisopleth no\nautoexit\n"
           "diagramPT 10 30 800 1300\ncalcTatP no\ncalcP 20\ncalcT 1100\n*\n";
}

// The modes of the one point (g, ol, en) and the sds of ln(m_ol/m_g) and ln(m_en/m_g).
struct Point {
    int n = 0;
    std::array<long double, 3> m{};
    std::array<long double, 2> sd{};
    int refmode = 0;
};

Point run(const Bulk& b, int level) {
    PdCase c(script(b), "", gomsax);
    c.pd->calcsdlevel = static_cast<int16>(level);
    Point pt;
    c.pd->onresult = [&](const SolveState& st) {
        ++pt.n;
        const int nx = c.run.nxvars;
        for (int j = 0; j < 3; ++j) pt.m[static_cast<std::size_t>(j)] = st.varvalues[nx + 1 + j];
        pt.sd[0] = st.sdv.sd[nx + 2];
        pt.sd[1] = st.sdv.sd[nx + 3];
        pt.refmode = st.sdv.refmodevar;
    };
    c.go();
    return pt;
}

TEST(BulkSd, ModeLogRatioSdsAreTheBulkCovarianceThroughTheSolvedModes) {
    const Bulk b = {40, 5, 45, 10};
    const Point base = run(b, 1);
    ASSERT_EQ(base.n, 1);
    ASSERT_EQ(base.refmode, 1);  // garnet, the first mode, is the denominator
    // The covariance of b'_k = ln(y_k / y_SiO2), the bulk y in percent summing to 100, from an sd
    // of 0.025 sqrt(y) on each amount: var(ln y) = 0.025^2 / y.
    const long double a2 = 0.025L * 0.025L;
    long double cov[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            cov[r][c] = a2 / b[0] + (r == c ? a2 / b[static_cast<std::size_t>(r + 1)] : 0);
        }
    }
    // d ln(m_j / m_g) / d b'_k by central differences: y_k times exp(+-h), the rest held.
    const long double h = 1e-3L;
    long double grad[2][3];
    for (int k = 0; k < 3; ++k) {
        Bulk up = b;
        Bulk down = b;
        up[static_cast<std::size_t>(k + 1)] *= std::exp(h);
        down[static_cast<std::size_t>(k + 1)] *= std::exp(-h);
        const Point pu = run(up, 0);
        const Point pd = run(down, 0);
        ASSERT_EQ(pu.n, 1);
        ASSERT_EQ(pd.n, 1);
        for (int j = 0; j < 2; ++j) {
            const auto i = static_cast<std::size_t>(j + 1);
            grad[j][k] = (std::log(pu.m[i] / pu.m[0]) - std::log(pd.m[i] / pd.m[0])) / (2 * h);
        }
    }
    for (int j = 0; j < 2; ++j) {
        long double var = 0;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) var += grad[j][r] * cov[r][c] * grad[j][c];
        }
        const long double sd = base.sd[static_cast<std::size_t>(j)];
        ASSERT_TRUE(std::isfinite(sd)) << j;
        ASSERT_GT(var, 0);
        EXPECT_REL_NEAR(sd, std::sqrt(var), 1e-3L);
    }
}

}  // namespace
}  // namespace qv::test
