// Properties of the phases of a solved point: S and V of a pure phase from its chemical
// potential, a fixed activity, and the system sums.

#include "thermo/phaseprops.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "calcfixture.hpp"

namespace qv::test {
namespace {

struct Props : Calc {
    GemSettings gs;
    std::unique_ptr<Fixed1<PhaseProps, maxeq>> props =
        std::make_unique<Fixed1<PhaseProps, maxeq>>();
    Fixed1<bool, maxcomp> syscomp;
    Props() {
        gs.dsmode = 6;
        gs.newspfluid = false;
        fillcomponenttable(run.comps);
        SystemComponents& sc = run.dataset.components;
        sc.ncomp = 2;
        sc.compnames[1] = "MgO";
        sc.compnames[2] = "SiO2";
        sc.compdenom.fill(1);
        syscomp[1] = syscomp[2] = true;
        ptype0& en = addpure("en");  // made-up data of an MgSiO3
        en.comp[1] = 1;
        en.comp[2] = 1;
        en.td = makerow({-1545.0L, 0.0663L, 3.133L, 0.1780L, 2.0e-6L});
        layout();
    }
    PhaseEmTables tables() {
        return PhaseEmTables{run,  syscomp,
                             xref, *run.arrays.td,
                             gs,   [](const eqvector&, real, real, emvector& a) { a.fill(1); }};
    }
    PhaseProps& calc(real p, real t) {
        bemvector phases;
        phases[1] = true;
        eqvector x;
        (*props)[1].comp[1] = 1;
        (*props)[1].comp[2] = 1;
        calcgphase(ses, tables(), phases, x, p, t, 0, 1, *props, nullptr);
        return (*props)[1];
    }
    real g(real p, real t) { return calc(p, t).g; }
};

TEST(Calcgphase, PureEntropyAndVolumeAreDerivativesOfG) {
    Props s;
    const real p = 8;
    const real t = 900;
    const PhaseProps ph = s.calc(p, t);
    // Central differences of G against the forward differences inside.
    const real dgdt = (s.g(p, t + 0.01L) - s.g(p, t - 0.01L)) / 0.02L;
    const real dgdp = (s.g(p + 0.001L, t) - s.g(p - 0.001L, t)) / 0.002L;
    EXPECT_REL_NEAR(ph.s, -dgdt, 1e-5L);
    EXPECT_REL_NEAR(ph.v, dgdp, 1e-5L);
    EXPECT_REL_NEAR(ph.h, ph.g + t * ph.s, 1e-15L);
    // 100.39 g/mol over 10 V in kJ/kbar gives g/cm3.
    EXPECT_REL_NEAR(ph.density, (40.304L + 60.084L) / (10 * ph.v), 1e-3L);
}

TEST(Calcgphase, FixedActivityOfHalfLowersGByRTLnTwo) {
    Props s;
    const PhaseProps one = s.calc(8, 900);
    s.pure(1).activity = 0.5L;
    const PhaseProps half = s.calc(8, 900);
    EXPECT_REL_NEAR(one.g - half.g, rgas * 900 * std::log(2.0L), 1e-12L);
    EXPECT_EQ(half.s, one.s);
    EXPECT_EQ(half.v, one.v);
    EXPECT_EQ(half.h, one.h);
}

TEST(Calcgphase, ComponentThatIsNoOxideStops) {
    Props s;
    s.run.dataset.components.compnames[2] = "Si";
    EXPECT_BOMB(s.calc(8, 900), "makemw2c", "Si not found??");
}

}  // namespace
}  // namespace qv::test
