// duDA+ at the end of a phase diagram run: the run's calculations with their uncertainties are
// stored, and the rock's mineral compositions are fitted to them. The system is ideal garnet
// (py-alm-gr), olivine (fo-fa), anorthite, quartz and enstatite: with five phases in five
// components the compositions at each P and T follow from three reactions, fo + q = en,
// alm + 3/2 fo = py + 3/2 fa and 3 an + 3 en = gr + 2 py + 3 q, which the test solves itself.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "phasediagram/dudarun.hpp"
#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

const std::string gofax = R"(% ideal garnet and olivine with anorthite, quartz and enstatite
header
  garnet-olivine-anorthite-quartz-enstatite, ideal mixing on sites
header

g 3 1
  x(g) 0.3
  z(g) 0.05
  p(py)  1 2  1 1 -1 x   1 1 -1 z
  p(alm) 1 2  0 1  1 x   1 1 -1 z
  p(gr)  1 1  0 1  1 z
  ideal
  3
  xMgX 1 2  1 1 -1 x   1 1 -1 z
  xFeX 1 2  0 1  1 x   1 1 -1 z
  xCaX 1 1  0 1  1 z
  py  1 1 xMgX 3
  alm 1 1 xFeX 3
  gr  1 1 xCaX 3

ol 2 1
  x(ol) 0.3
  p(fo) 1 1 1 1 -1 x
  p(fa) 1 1 0 1  1 x
  ideal
  2
  xMgM 1 1 1 1 -1 x
  xFeM 1 1 0 1  1 x
  fo 1 1 xMgM 2
  fa 1 1 xFeM 2

an
q
en
*
)";

// The run: P 6 to 10 kbar by 1, T 550 to 750 C by 25, every point of the grid calculated.
const char* const gridscript = R"(axfile axgasp
with g ol an q en
diagramPT 4 12 450 850
pseudosection no
inexcess no
acceptvar yes
calcP 6 10 1
calcT 550 750 25
autoexit
*
)";

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// The compositions x(g) = Fe/(Fe + Mg), z(g) = Ca and x(ol) of the assemblage at p (kbar) and
// t (K), from the three reactions with the dataset's G: a(fo) = (1 - x(ol))^2 from fo + q = en;
// (1 - x)/x from the exchange; then z, the root below 1/3 of
// 3 ln z + 6 ln((1 - x)(1 - z)) = -dG3/RT.
struct Xyz {
    real x = 0, z = 0, xol = 0;
};
Xyz model(real p, real t) {
    Ds62& d = dataset();
    auto g = [&](const char* n) { return d.g(d.find(n), p, t); };
    const real rt = rgas * t;
    const real dg1 = g("en") - g("fo") - g("q");
    const real dg2 = g("py") + 1.5L * g("fa") - g("alm") - 1.5L * g("fo");
    const real dg3 = g("gr") + 2 * g("py") + 3 * g("q") - 3 * g("an") - 3 * g("en");
    Xyz m;
    m.xol = 1 - std::exp(dg1 / (2 * rt));
    const real r = std::exp(-dg2 / (3 * rt)) * (1 - m.xol) / m.xol;  // (1 - x)/x
    m.x = 1 / (1 + r);
    m.z = bisect(
        [&](real z) { return 3 * std::log(z) + 6 * std::log((1 - m.x) * (1 - z)) + dg3 / rt; },
        1e-12L, 1 / 3.0L);
    return m;
}

// A phase diagram run over the grid with duDA+ and uncertainties switched on by the test, and
// the rock's minerals as the duDA+ block would give them: garnet x(g), z(g), olivine x(ol).
struct DudaCase {
    PdCase c;
    std::shared_ptr<DudaRun> duda = std::make_shared<DudaRun>();
    // Every good result as the printers see it: P (kbar), T (K), then x(g), z(g), x(ol) with
    // their sds.
    struct Point {
        real p = 0, t = 0;
        real x[3] = {}, sd[3] = {};
    };
    std::vector<Point> results;

    DudaCase(const Xyz& rock, real sd) : c(gridscript, "1\n0\n", gofax) {
        c.openlog();
        c.pd->calcsdlevel = 1;
        c.pd->duda = duda;
        DudaSettings& set = duda->set;
        set.avptalgorithm = 2;
        set.avptinfo = 0;
        set.avptpguess = 7.5L;
        set.avpttguess = 640;
        set.avptfixedp = 7.5L;
        set.avptfixedt = 640;
        ScriptSettings& sc = c.run.script;
        sc.nmin = 2;
        mineraltype& g = sc.tables->minerals[1];
        g.name = "g";
        g.nxyz = 2;
        g.xyznames[1] = "x(g)";
        g.xyznames[2] = "z(g)";
        g.xyz[1] = rock.x;
        g.xyz[2] = rock.z;
        mineraltype& ol = sc.tables->minerals[2];
        ol.name = "ol";
        ol.nxyz = 1;
        ol.xyznames[1] = "x(ol)";
        ol.xyz[1] = rock.xol;
        for (mineraltype* m : {&g, &ol}) {
            for (int i = 1; i <= m->nxyz; ++i) {
                m->sdxyz[i] = sd;
                m->cor[i][i] = 1;
            }
        }
        c.pd->onresult = [this](const SolveState& st) {
            Point pt{st.cur.p, st.cur.t, {}, {}};
            for (int i = 0; i < 3; ++i) {
                pt.x[i] = st.varvalues[3 + i];
                pt.sd[i] = st.sdv.sd[3 + i];
            }
            results.push_back(pt);
        };
    }
};

TEST(DudaRun, StoredCalculationsAreTheRunsResultsAndThePlantedPtComesBack) {
    const real p0 = 8.2L, t0 = 655 + 273.15L;
    DudaCase k(model(p0, t0), 0.01L);
    k.c.go();
    const StoredCalcs& sc = k.duda->calcs;
    ASSERT_EQ(sc.nqv, 45) << k.c.screen();
    ASSERT_EQ(k.results.size(), 45U);
    ASSERT_EQ(sc.ncalcxyz, 3);
    EXPECT_EQ(sc.ncalccorr, 3);
    // Each record is the result of the same point: P, T (C), the three variables and their sds
    // (the solution vector is P, T, x(g), z(g), x(ol)).
    for (int n = 1; n <= sc.nqv; ++n) {
        const qvcalctype& rec = (*sc.qvcalcs)[n];
        const DudaCase::Point& pt = k.results[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(rec.p, pt.p);
        EXPECT_EQ(rec.t, pt.t - 273.15L);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(rec.xyz[i], pt.x[i - 1]) << n << " " << i;
            EXPECT_EQ(rec.sdxyz[i], pt.sd[i - 1]) << n << " " << i;
            EXPECT_GT(rec.sdxyz[i], 0);
        }
        // The compositions are those of the three reactions at the point.
        const Xyz m = model(rec.p, pt.t);
        EXPECT_ABS_NEAR(rec.xyz[1], m.x, 1e-8L);
        EXPECT_ABS_NEAR(rec.xyz[2], m.z, 1e-8L);
        EXPECT_ABS_NEAR(rec.xyz[3], m.xol, 1e-8L);
    }
    // The fit of the rock's exact compositions finds the planted P-T.
    const DudaNominal& nom = k.duda->nominal;
    ASSERT_TRUE(nom.converged) << k.c.screen();
    EXPECT_ABS_NEAR(nom.p, p0, 1e-3L);
    EXPECT_ABS_NEAR(nom.t, t0 - 273.15L, 0.1L);
    EXPECT_LT(nom.sigfit, 1e-3L);
}

}  // namespace
}  // namespace qv::test
