// The activities of a rock's solution-phase end-members recomputed at trial P-T.

#include "rock/runrock.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/phasefixture.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// A regular A-B solution on one site (x = x(B)) with W = w kJ, then pure quartz.
struct SolutionRock {
    PhaseRun pr;
    Run& run = pr.run;
    explicit SolutionRock(real w) {
        run.arrays.td = std::make_unique<tdmatrix>();
        run.arrays.r = std::make_unique<rmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.c = std::make_unique<icmatrix>();
        ptype1& ph = pr.ss(1);
        ph = regularbinary("bin", 1);
        ph.var[1].guess = 0.5L;
        ph.wa[1] = w;
        run.nss = 1;
        pr.addpure("q");
        Dataset& ds = run.dataset;
        ds.nem = 3;
        ds.emnames[1] = "A";
        ds.emnames[2] = "B";
        ds.emnames[3] = "q";
        for (int16 k = 1; k <= 3; ++k) ds.emact[k] = 1;
    }
};

TEST(UpdateActivity, SolutionActivitiesAtTrialConditionsAboveOneCapped) {
    // a(A) = x(A) exp(W x(B)^2 / RT): W = 10 kJ gives 0.5 exp(2.5/RT) < 1 at 600 C; W = 30 kJ
    // gives 1.4, used as 0.999.
    const real t = 873.15L;
    for (real w : {10.0L, 30.0L}) {
        SolutionRock r(w);
        RunRock rock(r.pr.ses, r.run);
        rock.updateactivity(8, t);
        const real a = 0.5L * std::exp(w * 0.25L / (rgas * t));
        const real expected = a <= 1 ? a : 0.999L;
        EXPECT_ABS_NEAR(static_cast<double>(r.run.dataset.emact[1]), static_cast<double>(expected),
                        1e-12);
        EXPECT_ABS_NEAR(static_cast<double>(r.run.dataset.emact[2]), static_cast<double>(expected),
                        1e-12);
        EXPECT_EQ(r.run.dataset.emact[3], 1);  // the pure phase keeps its activity
    }
}

TEST(UpdateActivity, EndMembersOutOfPhaseOrderDoNotAddUp) {
    SolutionRock r(10);
    r.run.dataset.emnames[1] = "B";
    r.run.dataset.emnames[2] = "A";
    RunRock rock(r.pr.ses, r.run);
    EXPECT_BOMB(rock.updateactivity(8, 873.15L), "updateactivity", "does not add up");
    EXPECT_EQ(r.pr.ts.console.output, "k = 1, ncv = 3\n");
}

}  // namespace
}  // namespace qv::test
