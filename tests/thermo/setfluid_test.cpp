// A mixed H2O-CO2 fluid given by the script ("setfluid") is the same fluid as the same x(CO2)
// typed at the question: the same fluid type, so the same non-ideal mixing term in G of CO2;
// and the decarbonation cc + q = wo + CO2 at 2 kbar, x(CO2) 0.2 from an independent calculation.

#include <gtest/gtest.h>

#include <cmath>

#include "script/fluidcomp.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/fluids.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

struct FluidAnswer {
    ftype runftype = ftype::co2;  // a run with CO2 and no H2O end-member, fluid present
    real xco2 = 0;
    real xh2o = 0;
};

FluidAnswer fromscript(real xco2) {
    TestSession ts;
    ScriptSettings s;
    s.setfluidcb = controlboolean::yes;
    s.xco2cur = xco2;
    s.xh2ocur = 1 - xco2;
    FluidAnswer a;
    FluidComposition f{false, true, false, a.runftype, a.xco2, a.xh2o};
    promptfluid(ts.ses, s, f);
    return a;
}

FluidAnswer typed(const std::string& answers) {
    TestSession ts(answers);
    ScriptSettings s;
    FluidAnswer a;
    FluidComposition f{false, true, false, a.runftype, a.xco2, a.xh2o};
    promptfluid(ts.ses, s, f);
    return a;
}

TEST(SetFluid, ScriptAndTypedMixedFluidAreTheSame) {
    const FluidAnswer script = fromscript(0.2L);
    const FluidAnswer answer = typed("n\n0.2\n");
    EXPECT_EQ(script.runftype, ftype::ih2oco2);
    EXPECT_EQ(answer.runftype, ftype::ih2oco2);
    EXPECT_EQ(script.xco2, answer.xco2);
    EXPECT_EQ(script.xh2o, answer.xh2o);
    // A pure fluid stays as it is, from the script as from "fluid just CO2" answered yes.
    EXPECT_EQ(fromscript(1).runftype, ftype::co2);
    EXPECT_EQ(typed("y\n").runftype, ftype::co2);
}

TEST(SetFluid, DecarbonationInTheMixedFluidFromAnIndependentCalculation) {
    Ds62 data;
    const int16 cc = data.find("cc"), q = data.find("q"), wo = data.find("wo"),
                co2 = data.find("CO2");
    ASSERT_TRUE(cc > 0 && q > 0 && wo > 0 && co2 > 0);
    const real x = 0.2L;
    const real p = 2;
    // Non-ideal van Laar H2O-CO2 mixing with the pure-fluid volumes as sizes and
    // W = 10.5 (V1 + V2)/(V1 V2): RT ln gamma(CO2) = 2 W V2 phi(H2O)^2 / (V1 + V2).
    auto rtlngamma = [&](real t) {
        const real v1 = spfluid(data.ts.ses, data.gs.newspfluid, p, t).v;
        const real v2 = spfluid2(data.ts.ses, data.gs.newspfluid, p, t).v;
        const real w = 10.5L * (v1 + v2) / (v1 * v2);
        const real phi = (1 - x) * v1 / ((1 - x) * v1 + x * v2);
        return 2 * w * v2 * phi * phi / (v1 + v2);
    };
    // G of CO2 in the run's fluid, as the program takes it from the script's fluid type.
    const FluidAnswer fluid = fromscript(x);
    GemSettings mixed = data.gs;
    mixed.runftype = fluid.runftype;
    tdvector row = data.row(co2);
    row[27] = fluid.xco2;
    row[28] = fluid.xh2o;
    for (real t : {700.0L, 873.15L, 1000.0L}) {
        const real pure = data.g(co2, p, t);
        EXPECT_REL_NEAR(gem(data.ts.ses, mixed, row, "CO2", p, t), pure + rtlngamma(t), 1e-12L);
    }
    const auto dg = [&](real t) {
        return data.g(wo, p, t) + data.g(co2, p, t) + rgas * t * std::log(x) + rtlngamma(t) -
               data.g(cc, p, t) - data.g(q, p, t);
    };
    const real t = bisect(dg, 700, 1100) - 273.15L;
    // The whole run of this reaction with "setfluid 0.2" prints 600.16 (569.11 with the mixing
    // term dropped).
    EXPECT_ABS_NEAR(static_cast<double>(t), 600.16, 0.006);
}

}  // namespace
}  // namespace qv::test
