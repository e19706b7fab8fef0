// Section diagrams on a volatile: an ln a or mu variable on H2O or CO2 means a pure fluid, so
// both mole fractions are set and nothing is left from the previous calculation.

#include "script/diagramwindows.hpp"

#include <gtest/gtest.h>

#include <string>

#include "script/windowfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

TEST(SectionFluid, VolatileVariableSetsBothMoleFractions) {
    const struct {
        diagramtype diagram;
        bool lna;  // an ln a variable; a mu variable otherwise
        std::string name;
        std::string fixed;  // answer to the fixed P (kbar) or fixed T (C) question
        real xco2, xh2o;
    } cases[] = {
        {diagramtype::tlnacalc, true, "H2O", "5\n", 0, 1},
        {diagramtype::tlnacalc, true, "CO2", "5\n", 1, 0},
        {diagramtype::plnacalc, true, "H2O", "600\n", 0, 1},
        {diagramtype::plnacalc, true, "CO2", "600\n", 1, 0},
        {diagramtype::tmucalc, false, "H2O", "5\n", 0, 1},
        {diagramtype::pmucalc, false, "CO2", "600\n", 1, 0},
        // a fixed T at or below absolute zero, a P of 0 kbar or below: asked again
        {diagramtype::plnacalc, true, "H2O", "-273.15\n600\n", 0, 1},
        {diagramtype::tmucalc, false, "H2O", "0\n5\n", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + c.fixed);
        test::WindowRun run(c.fixed);
        ScriptSettings s;
        s.diagramptcb = controlboolean::yes;
        if (c.lna) {
            s.nlna = 1;
            s.lna[1].name = c.name;
        } else {
            s.nmu = 1;
            s.mu[1].name = c.name;
        }
        ftype runftype = ftype::notset;
        real xco2 = 0.3L;  // stale values of the last calculation
        real xh2o = 0.7L;
        FluidComposition f{true, true, false, runftype, xco2, xh2o};
        std::string label;
        diagramwindowsetup(run.ses(), c.diagram, s, run.w, 1, f, label, false);
        EXPECT_EQ(xco2, c.xco2);
        EXPECT_EQ(xh2o, c.xh2o);
        if (c.diagram == diagramtype::plnacalc || c.diagram == diagramtype::pmucalc) {
            EXPECT_REL_NEAR(run.w.twinlow, 873.15L, 1e-18L);
        } else {
            EXPECT_EQ(run.w.pwinlow, 5);
        }
        const bool askedagain = c.fixed.find('\n') + 1 < c.fixed.size();
        EXPECT_EQ(run.screen().find(": must be above ") != std::string::npos, askedagain);
    }
}

}  // namespace
}  // namespace qv
