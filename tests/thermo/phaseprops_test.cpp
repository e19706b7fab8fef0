// Properties of the phases of a solved point: S and V of a pure phase from its chemical
// potential, a fixed activity, and the system sums.

#include "thermo/phaseprops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "base/convert.hpp"
#include "calcfixture.hpp"
#include "thermo/thermowork.hpp"

namespace qv::test {
namespace {

struct Props : Calc {
    GemSettings gs;
    std::unique_ptr<PhasePropsTable> props = std::make_unique<PhasePropsTable>();
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
    const EmGCache* solved = nullptr;
    PhaseEmTables tables() {
        return PhaseEmTables{run,   syscomp,
                             xref,  *run.arrays.td,
                             gs,    [](const eqvector&, real, real, emvector& a) { a.fill(1); },
                             solved};
    }
    // The end-member G that a solve's evaluation at p, t leaves, with the fluid terms u = 0,
    // v = 1 that `calc` takes.
    std::unique_ptr<EmGCache> solveat(real p, real t) {
        auto c = std::make_unique<EmGCache>();
        Dataset& ds = run.dataset;
        tdmatrix& td = *run.arrays.td;
        td[1][27] = 0;
        td[1][28] = 1;
        c->start(gs, td, ds.emnames, ds.nem, p, t);
        iemvector rx{};
        rx[1] = 1;
        const ReactionTables rt{td, ds.emnames, phasemakes(*run.arrays.prec0, *run.arrays.prec1),
                                ds.nem, ds.emact};
        calcdg0(ses, gs, rt, rx, p, t, c.get());
        return c;
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

TEST(Calcgphase, GOfTheSolvedPointIsTakenFromTheSolve) {
    Props s;
    const int64 before = s.ses.gemcount;
    const PhaseProps fresh = s.calc(8, 900);
    const int64 calls = s.ses.gemcount - before;
    const std::unique_ptr<EmGCache> c = s.solveat(8, 900);
    s.solved = c.get();
    const int64 start = s.ses.gemcount;
    const PhaseProps taken = s.calc(8, 900);
    EXPECT_EQ(s.ses.gemcount - start, calls);  // the calls the value stands for count
    EXPECT_EQ(taken.g, fresh.g);
    EXPECT_EQ(taken.s, fresh.s);
    EXPECT_EQ(taken.v, fresh.v);
    // The value at P, T is the solve's: an altered one shows.
    c->g[0][1] += 1;
    EXPECT_EQ(s.calc(8, 900).g, fresh.g + 1);
}

TEST(Calcgphase, GOfAnotherPointRowOrNameIsFormedAfresh) {
    struct Case {
        const char* what;
        real t;                                  // where the solve formed its values
        std::function<void(Props&)> afterwards;  // changed before the properties are formed
    };
    const std::vector<Case> cases = {
        {"another T", 900.5L, [](Props&) {}},
        {"another data row", 900, [](Props& s) { (*s.run.arrays.td)[1][1] += 0.5L; }},
        {"another name", 900, [](Props& s) { s.run.dataset.emnames[1] = "en2"; }},
        {"a pth warning", 900, [](Props& s) { s.gs.pthwarnonly = true; }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Props s;
        const std::unique_ptr<EmGCache> c = s.solveat(8, k.t);
        c->g[0][1] += 1;  // a value taken from the solve would show
        k.afterwards(s);
        const PhaseProps fresh = s.calc(8, 900);
        s.solved = c.get();
        EXPECT_EQ(s.calc(8, 900).g, fresh.g);
    }
}

// The system sums weigh each phase by its mode and factor in each mode set; a table cleared after
// a point of two mode sets keeps nothing of the second at a point of one.
TEST(Calcgphase, SystemSumsCoverTheModeSetsInUse) {
    Props s;
    auto sums = std::make_unique<SystemProps>();
    bemvector phases;
    phases[1] = true;
    const eqvector x;
    PhaseProps& ph = (*s.props)[1];
    ph.comp[1] = ph.comp[2] = 1;
    auto at = [&](int nbulk) {
        clear_sums(*sums);
        sums->nbulk = narrow16(nbulk);
        for (int i = 1; i <= nbulk; ++i) {
            sums->bulk[i][1] = sums->bulk[i][2] = 0.5L;
            ph.mode[i] = 0.5L * i;
            ph.factor[i] = 2;
        }
        calcgphase(s.ses, s.tables(), phases, x, 8, 900, 0, 1, *s.props, sums.get());
    };
    at(2);
    EXPECT_EQ(sums->g[1], ph.g);  // mode x factor: 1, then 2
    EXPECT_EQ(sums->g[2], 2 * ph.g);
    EXPECT_EQ(sums->v[2], 2 * ph.v);
    at(1);
    EXPECT_EQ(sums->g[1], ph.g);
    EXPECT_EQ(sums->h[1], ph.h);
    for (const real r : {sums->g[2], sums->h[2], sums->s[2], sums->v[2], sums->density[2]})
        EXPECT_EQ(r, 0);
}

// A call nested in another would write over the working tables the outer call still reads: here
// the outer call's activities ask for the phase properties once more. The inner call stops the
// run, and the stop leaves the tables free for the next call.
TEST(Calcgphase, NestedCallStops) {
    Props s;
    const real g = s.g(8, 900);
    bemvector phases;
    phases[1] = true;
    PhaseEmTables tab = s.tables();
    int calls = 0;
    tab.activities = [&](const eqvector& x, real p, real t, emvector& a) {
        a.fill(1);
        if (++calls == 1) calcgphase(s.ses, tab, phases, x, p, t, 0, 1, *s.props, nullptr);
    };
    EXPECT_BOMB(calcgphase(s.ses, tab, phases, eqvector{}, 8, 900, 0, 1, *s.props, nullptr),
                "calcgphase", "working tables in use by an unfinished call");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.g(8, 900), g);
}

TEST(Calcgphase, ComponentThatIsNoOxideStops) {
    Props s;
    s.run.dataset.components.compnames[2] = "Si";
    EXPECT_BOMB(s.calc(8, 900), "makemw2c", "Si not found??");
}

}  // namespace
}  // namespace qv::test
