// The derivatives of a solved equilibrium by its equations, against re-solving with one
// enthalpy of the shared dataset moved: dx/dH_e = -sum over reactions k of dx/deq_k x r(k, e).

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "solvedfixture.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// d(quantity)/dH of end-member em by central differences of re-solved equilibria.
real brute(SolvedCalc& s, int16 em, const std::function<real()>& quantity) {
    const real h = 1e-3L;
    const real h0 = s.enthalpy(em);
    s.enthalpy(em) = h0 + h;
    EXPECT_TRUE(s.solve());
    const real up = quantity();
    s.enthalpy(em) = h0 - h;
    EXPECT_TRUE(s.solve());
    const real down = quantity();
    s.enthalpy(em) = h0;
    return (up - down) / (2 * h);
}

real analytic(const SolvedCalc& s, int row, int16 em) {
    real sum = 0;
    for (int k = 1; k <= s.run.nreac; ++k) sum -= s.der->dxdeq[row][k] * (*s.run.arrays.r)[k][em];
    return sum;
}

TEST(Makedeqdx, InvariantPointMatchesReSolvedEquilibria) {
    Al2SiO5 s;
    ASSERT_TRUE(s.solve()) << s.code;
    ASSERT_TRUE(s.der->valid);
    EXPECT_EQ(s.der->n, 2);
    EXPECT_EQ(s.der->m, 2);
    EXPECT_EQ(s.der->dropmode, 0);
    // The reaction row is the reaction's own dG: dV (kJ/kbar) by P, -dS (kJ/K) by T.
    const SolutionDerivatives saved = [&] {
        SolutionDerivatives c;
        c.deqdx = s.der->deqdx;
        c.dxdeq = s.der->dxdeq;
        return c;
    }();
    for (int16 em = 1; em <= 3; ++em) {
        SCOPED_TRACE(em);
        const real dp = brute(s, em, [&] { return s.natural(1); });
        const real dt = brute(s, em, [&] { return s.natural(2); });
        s.der->dxdeq = saved.dxdeq;
        EXPECT_REL_NEAR(analytic(s, 1, em), dp, 1e-4L);
        EXPECT_REL_NEAR(analytic(s, 2, em), dt, 1e-4L);
    }
    // The inverse is an inverse.
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 2; ++j) {
            const real e =
                saved.dxdeq[i][1] * saved.deqdx[1][j] + saved.dxdeq[i][2] * saved.deqdx[2][j];
            EXPECT_ABS_NEAR(static_cast<double>(e), i == j ? 1.0 : 0.0, 1e-12);
        }
    }
}

TEST(Makedeqdx, ModesInLogRatiosMatchReSolvedEquilibria) {
    OlGt s;
    ASSERT_TRUE(s.solve()) << s.code;
    ASSERT_TRUE(s.der->valid);
    EXPECT_EQ(s.der->n, 4);
    EXPECT_EQ(s.der->m, 3);
    EXPECT_EQ(s.der->dropmode, 1);
    // Modes sum to one: the last row and column carry nothing.
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(s.der->dxdeq[4][k], 0) << k;
        EXPECT_EQ(s.der->dxdeq[k][4], 0) << k;
        EXPECT_EQ(s.der->deqdx[4][k], 0) << k;
    }
    EXPECT_ABS_NEAR(static_cast<double>(s.natural(5) + s.natural(6)), 1, 1e-10);
    const eqmatrix dxdeq = s.der->dxdeq;
    auto lnratio = [&] { return std::log(s.natural(6) / s.natural(5)); };
    for (int16 em : {int16{1}, int16{4}}) {
        SCOPED_TRACE(em);
        const real dxol = brute(s, em, [&] { return s.natural(3); });
        const real dxg = brute(s, em, [&] { return s.natural(4); });
        const real dm = brute(s, em, lnratio);
        s.der->dxdeq = dxdeq;
        EXPECT_REL_NEAR(analytic(s, 1, em), dxol, 1e-4L);
        EXPECT_REL_NEAR(analytic(s, 2, em), dxg, 1e-4L);
        // The silica balance alone sets the modes here: their ratio does not move.
        EXPECT_ABS_NEAR(static_cast<double>(analytic(s, 3, em)), static_cast<double>(dm), 1e-12);
    }
}

TEST(Makedeqdx, DebugListsTheBulkAndModeTransformations) {
    OlGt s;
    s.level = 2;
    ASSERT_TRUE(s.solve());
    const std::string& out = s.ts.console.output;
    EXPECT_NE(out.find("\nb, db'/db\n    0.35000    0.25000    0.40000\n"
                       "    2.85714          0   -2.50000\n"
                       "          0    4.00000   -2.50000\n"),
              std::string::npos);
    // Olivine, the reference, 0.6 and garnet 0.4: d m / d ln(m(g)/m(ol)) = (-0.24, 0.24).
    EXPECT_NE(out.find("\nm, dm/dm'\n    0.60000    0.40000  sum = 1.00000\n\n"
                       "   -0.24000\n    0.24000\n"),
              std::string::npos);
}

TEST(Makedeqdx, WithoutAReferenceModeNothingIsPropagated) {
    OlGt s;
    ASSERT_TRUE(s.solve());
    // Both modes fixed at zero: no mode can be the denominator of the log ratios.
    s.v->xfree[5] = true;
    s.v->xvalue[5] = s.xref.xoffset[5];
    s.v->xvalue[6] = s.xref.xoffset[6];
    Equations eq{s.ses, equationtables(s.run), s.gs, s.xref, s.mb, s.rl.rdiv, s.rl.rxnlnk, s.nst};
    AssemblageEquations eqs(eq, s.st);
    makedeqdx(s.ses, eqs, *s.v, s.run.nreac, s.rl.rdiv, s.bulk, 0, *s.der);
    EXPECT_FALSE(s.der->valid);
    EXPECT_EQ(s.der->dropmode, 0);
}

// Two unknowns, the second of which no equation sees.
class Degenerate final : public NleEquations {
public:
    bool nlefunc(const eqvector&, eqmatrix& jac, eqvector& f, bool) override {
        jac[1][1] = 4;
        jac[1][2] = 0;
        jac[2][1] = 0;
        jac[2][2] = 0;
        f[1] = f[2] = 0;
        return true;
    }
};

TEST(Makedeqdx, ZeroSingularValueIsReportedAndLeftOut) {
    TestSession ts;
    auto v = std::make_unique<NleVariables>();
    v->nxvars = 2;
    v->xfree[1] = v->xfree[2] = true;
    v->xscale[1] = 0.5L;  // d eq / d P = 4 x 0.5
    v->xscale[2] = 1;
    Degenerate eqs;
    Fixed1<int16, maxreac> rdiv;
    rdiv.fill(1);
    auto d = std::make_unique<SolutionDerivatives>();
    makedeqdx(ts.ses, eqs, *v, 2, rdiv, BulkRatios{}, 0, *d);
    EXPECT_TRUE(d->valid);
    EXPECT_EQ(d->deqdx[1][1], 2);
    EXPECT_ABS_NEAR(static_cast<double>(d->dxdeq[1][1]), 0.5, 1e-15);
    EXPECT_EQ(d->dxdeq[1][2], 0);
    EXPECT_EQ(d->dxdeq[2][1], 0);
    EXPECT_EQ(d->dxdeq[2][2], 0);
    std::string four;
    for (int i = 0; i < 4; ++i) four += "deqdx is singular\n";
    EXPECT_EQ(ts.console.output, four);
}

TEST(Makedeqdx, RankDeficitStops) {
    Al2SiO5 s;
    s.bulk.rankdeficit = 1;
    EXPECT_BOMB(s.solve(), "makedeqdx",
                "rank deficit comps not yet implemented for uncertainty calcs");
}

}  // namespace
}  // namespace qv::test
