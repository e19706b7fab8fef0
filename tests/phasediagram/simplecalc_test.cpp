// The direct solve of one reaction of pure phases, against plain bisection on the dataset's G.

#include <gtest/gtest.h>

#include "phasediagram/solve.hpp"
#include "solver/solver_support.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

TEST(SimpleCalc, KyaniteSillimaniteAgainstBisection) {
    DsReactions h;
    qv::Run& run = h.d.run;
    run.windows = h.w;
    run.runftype = ftype::absent;
    for (int16 k = 1; k <= h.d.nem(); ++k) run.dataset.emact[k] = 1;
    h.setreaction(1, {{"ky", -1}, {"sill", 1}});
    run.nreac = 1;
    auto res = std::make_unique<Result>();
    // P at 700 C.
    run.windows.calcvariable = calcvariabletype::calcpressure;
    run.windows.tcur = 973.15L;
    run.windows.pcur = 8;
    ASSERT_TRUE(simplecalc(h.d.ts.ses, run, h.d.gs, *res));
    EXPECT_ABS_NEAR(static_cast<double>(res->p),
                    static_cast<double>(h.bisect(1, true, 973.15L, 1, 15)), 1e-6);
    EXPECT_EQ(res->t, 973.15L);
    // T at 6 kbar.
    run.windows.calcvariable = calcvariabletype::calctemperature;
    run.windows.pcur = 6;
    run.windows.tcur = 900;
    ASSERT_TRUE(simplecalc(h.d.ts.ses, run, h.d.gs, *res));
    EXPECT_ABS_NEAR(static_cast<double>(res->t),
                    static_cast<double>(h.bisect(1, false, 6, 673.15L, 1373.15L)), 1e-4);
    // A mixed fluid is no single reaction's business.
    run.runftype = ftype::h2oco2;
    EXPECT_BOMB(simplecalc(h.d.ts.ses, run, h.d.gs, *res), "simplecalc", "not simple?");
    run.runftype = ftype::chos;
    EXPECT_BOMB(simplecalc(h.d.ts.ses, run, h.d.gs, *res), "simplecalc", "unknown fluidtype");
}

}  // namespace
}  // namespace qv::test
