// Chemical-potential pseudo-phases: the end-member limit of the run holds for them too.

#include "thermo/lnavars.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

// A run whose end-member table is already full: the pseudo-phase of a mu variable on one of
// its components is one end-member too many.
TEST(SetupMu, PseudoPhaseBeyondTheEndMemberLimitStops) {
    test::TestSession ts;
    auto run = std::make_unique<qv::Run>();
    run->arrays.prec0 = std::make_unique<prectype0>();
    SystemComponents& comps = run->dataset.components;
    comps.ncomp = 2;
    comps.compnames[1] = "SiO2";
    comps.compnames[2] = "H2O";
    comps.compdenom[1] = 1;
    comps.compdenom[2] = 1;
    run->dataset.nem = maxem;
    run->npure = 1;
    run->nphread = 1;
    run->script.nmu = 1;
    run->script.mu[1].name = "H2O";
    run->script.mu[1].value = -700;
    EXPECT_BOMB(setupmu(ts.ses, *run), "setupmu", "too many end-members (max = 400) ");
}

}  // namespace
}  // namespace qv
