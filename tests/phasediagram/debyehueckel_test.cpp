// The solve of a calculation with an aqueous phase: its ionic strength follows the solved
// composition of its charged species until it settles, held at its largest value, and a loop
// that does not settle stops.

#include "phasediagram/debyehueckel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "thermo/aqueous.hpp"
#include "thermo/calcfixture.hpp"
#include "thermo/fluids.hpp"

namespace qv::test {
namespace {

// The aqueous solvent with a dissolved 1:1 compound ("sol", charges +1 and -1); its
// proportion is solver variable 4, CO2's is variable 3.
struct Aqueous : Calc {
    std::unique_ptr<NleVariables> v = std::make_unique<NleVariables>();
    Aqueous() {
        ptype1 aq = aqueous();
        aq.em[3].td[18] = 1;
        aq.em[3].td[19] = -1;
        addss(aq);
        layout();
        for (int k = 1; k <= 4; ++k) v->xfree[k] = false;
        v->xvalue[3] = 0.1L;
    }
    real ionic(int em) const { return (*run.arrays.td)[em][26]; }
};

TEST(DebyeHueckel, IonicStrengthFollowsTheSolvedCompositionUntilItSettles) {
    Aqueous a;
    int solves = 0;
    const bool ok = debyehueckelsolve(a.run, a.xref, *a.v, [&] {
        ++solves;
        a.v->xvalue[4] = 0.0016L;  // the proportion of the compound the solve finds
        return true;
    });
    EXPECT_TRUE(ok);
    // I = 1/2 x 0.0016 x |+1| x |-1|: a first solve at the starting strength, one at 0.0008,
    // and the one that shows it settled
    EXPECT_EQ(solves, 3);
    for (int em = 1; em <= 3; ++em) EXPECT_REL_NEAR(a.ionic(em), 0.0008L, 1e-18L);
}

TEST(DebyeHueckel, StrengthHeldAtItsLargestValueAndFailures) {
    Aqueous high;
    debyehueckelsolve(high.run, high.xref, *high.v, [&] {
        high.v->xvalue[4] = 0.05L;
        return true;
    });
    EXPECT_EQ(high.ionic(3), ionicmax);
    // a first solve that fails leaves the starting strength
    Aqueous failed;
    EXPECT_FALSE(debyehueckelsolve(failed.run, failed.xref, *failed.v, [] { return false; }));
    EXPECT_EQ(failed.ionic(1), ionicstart);
    // a composition that swings with the strength never settles
    Aqueous swing;
    bool up = false;
    EXPECT_BOMB(debyehueckelsolve(swing.run, swing.xref, *swing.v,
                                  [&] {
                                      up = !up;
                                      swing.v->xvalue[4] = up ? 0.001L : 0.003L;
                                      return true;
                                  }),
                "solve", "debye-huckel loop");
}

// The activity coefficient of the compound at the strength the loop settled on, against the
// extended Debye-Hueckel law written here (Kirkwood dielectric constant of water with its
// correlation factor g; ion size 4.5e-10 m): RT ln(gamma) = RT ln 10 x log10(gamma).
TEST(DebyeHueckel, ActivityCoefficientAtTheSettledStrength) {
    Aqueous a;
    debyehueckelsolve(a.run, a.xref, *a.v, [&] {
        a.v->xvalue[4] = 0.0016L;
        return true;
    });
    const real p = 5;
    const real t = 873.15L;
    const real ionic = a.ionic(3);
    tdvector row = (*a.run.arrays.td)[3];
    row[27] = 0;  // pure water as the solvent
    row[28] = 1;
    GemSettings gs;
    gs.newspfluid = true;
    gs.debuglev = 0;
    const real withions = gaqueous(a.ses, gs, row, "sol", p, t);
    row[26] = 0;
    const real without = gaqueous(a.ses, gs, row, "sol", p, t);
    // the law: water's molar volume, its density, g, the dielectric constant, A and B
    const real v = spfluid(a.ses, true, p, t).v;
    const real rho = 1.8015L / v;
    const real g =
        1 + rho * (std::exp(263307.7L / (t * t) - 1246.311L / t - 69.28953L * p / t -
                            20444.73L * p / (t * t)) -
                   4.044525L * p / t + 103.618L / std::sqrt(t) + 75.32165L / (t - 215) -
                   23.23778L / std::sqrt(t - 215) - 3.548184L / std::pow(t - 215, 0.25L));
    const real k = 1 + (22.7024L / v) * (0.147L + 835.25L * g / t);
    const real e = (k + std::sqrt(k * k + 8)) / 4;
    const real s = 1 / std::sqrt(1e-5L * v * e * t);
    const real aslope = 57674.4L * s / (t * e);
    const real b = 1.59021e10L * s;
    const real log10gamma =
        -aslope * 1 * std::sqrt(ionic) / (1 + 4.5e-10L * b * std::sqrt(ionic));  // |z1 z2| = 1
    EXPECT_REL_NEAR(ionic, 0.0008L, 1e-18L);
    EXPECT_REL_NEAR(withions - without, rgas * t * std::log(10.0L) * log10gamma, 1e-6L);
}

}  // namespace
}  // namespace qv::test
