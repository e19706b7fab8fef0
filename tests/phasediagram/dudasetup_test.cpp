// What duDA+ changes in the set-up of a phase diagram run before any point is solved: with "with
// x(CO2)" the bulk of each point carries the rock's fluid at the point's x(CO2), and no mode
// isopleth is set even when the script names one. Both runs end in the duDA+ brute-force scan,
// which ends the run once its table is written.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/fatal.hpp"
#include "phasediagram/dudarun.hpp"
#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// A mineral of the duDA+ block with one compositional variable.
struct RockMineral {
    const char* name;
    const char* xyzname;
    real xyz;
};

// Switches duDA+ on for the run, the rock being `rock`, with the brute-force algorithm, and
// uncertainties at the first level (the answers: the Monte Carlo multiplier 1, then no more
// passes).
std::shared_ptr<DudaRun> dudaon(PdCase& c, const std::vector<RockMineral>& rock, real p, real t,
                                bool xco2) {
    auto duda = std::make_shared<DudaRun>();
    c.pd->calcsdlevel = 1;
    c.pd->duda = duda;
    DudaSettings& set = duda->set;
    set.avptalgorithm = 1;
    set.avptinfo = 0;
    set.avptpguess = p;
    set.avpttguess = t;
    set.avptxco2 = xco2;
    duda->nmin = static_cast<int16>(rock.size());
    for (int m = 1; m <= duda->nmin; ++m) {
        const RockMineral& r = rock[static_cast<std::size_t>(m - 1)];
        mineraltype& min = duda->minerals[m];
        min.name = r.name;
        min.nxyz = 1;
        min.xyznames[1] = r.xyzname;
        min.xyz[1] = r.xyz;
        min.sdxyz[1] = 0.01L;
        min.cor[1][1] = 1;
    }
    return duda;
}

// The run; the scan at its end ends it.
void gotoscan(PdCase& c) {
    try {
        nlecalcs(c.ts.ses, c.run, *c.pd);
        ADD_FAILURE() << "the brute-force scan should end the run\n" << c.screen();
    } catch (const RunEnded&) {
    } catch (const RunBombed& stop) {
        FAIL() << stop.procname << ": " << stop.message << "\n" << c.screen();
    }
}

// A row of an rbi table: the phase, its mode and its amounts of the components.
struct RbiRow {
    const char* phase;
    real mode;
    std::vector<real> amount;
};

std::string rbitable(const std::string& components, const std::vector<RbiRow>& rows) {
    std::string text = "rbi " + components + "\n";
    for (const RbiRow& r : rows) {
        text += std::string("rbi ") + r.phase + " " + std::to_string(static_cast<double>(r.mode));
        for (real a : r.amount) text += " " + std::to_string(static_cast<double>(a));
        text += "\n";
    }
    return text;
}

// The H2O-CO2 fluid, olivine, calcite, quartz and wollastonite; the components H2O, CO2, SiO2,
// CaO, MgO, FeO with their atoms. A little H2O in the wollastonite's analysis keeps every
// component of the bulk without the fluid above zero.
const std::vector<real> atoms = {3, 3, 3, 2, 2, 2};
const std::vector<RbiRow> fluidrock = {
    {"fluid", 10, {0.5L, 0.5L, 0, 0, 0, 0}}, {"ol", 20, {0, 0, 1, 0, 1.6L, 0.4L}},
    {"cc", 25, {0, 1, 0, 1, 0, 0}},          {"q", 20, {0, 0, 1, 0, 0, 0}},
    {"wo", 25, {0.02L, 0, 1, 1, 0, 0}},
};

TEST(DudaSetup, WithXco2EachPointsBulkCarriesTheRocksFluidAtItsXco2) {
    // cc + q = wo + CO2 in the fluid, with olivine alongside: at each x(CO2) (the first loop)
    // and P the run finds T, the modes being unknowns of the solve.
    const std::string script =
        "axfile axgasp\nwith fluid ol cc q wo\ndiagramPT 1 10 400 1000\n"
        "pseudosection yes\n" +
        rbitable("H2O CO2 SiO2 CaO MgO FeO", fluidrock) +
        "inexcess yes\ncalcTatP yes\ncalcP 2 4 1\ncalcT 500 900\n"
        "calcx(CO2) 0.2 0.8 0.3\nautoexit\n*\n";
    const std::string ax =
        std::string(decarbax).substr(0, std::string(decarbax).rfind('*')) + olivineax + "*\n";
    PdCase c(script, "1\n0\n", ax);
    dudaon(c, {{"fluid", "x(fluid)", 0.5L}, {"ol", "x(ol)", 0.2L}}, 3, 700, true);
    struct Solved {
        real p = 0, xfluid = 0;
        cvector bulk{};
        std::vector<std::pair<std::string, std::vector<real>>> phases;  // name, mode, x
    };
    std::vector<Solved> solved;
    c.pd->onresult = [&](const SolveState& st) {
        Solved s{st.cur.p, 0, st.cur.bulk[1], {}};
        for (int i = 1; i <= st.cur.nphases; ++i) {
            const ResultPhase& ph = st.cur.ph[i];
            if (ph.name == "fluid") s.xfluid = ph.x[1];
            s.phases.push_back({ph.name, {ph.mode[1], ph.x[1]}});
        }
        solved.push_back(s);
    };
    gotoscan(c);
    EXPECT_NE(c.screen().find("brute force: nqv = 9"), std::string::npos) << c.screen();

    // The rock by hand: each row's mode over its atoms; the fluid's share of them is f; the
    // bulk of the other rows, in percent.
    real total = 0, fluid = 0;
    std::vector<real> start(6, 0);
    for (const RbiRow& r : fluidrock) {
        real a = 0;
        for (std::size_t k = 0; k < 6; ++k) a += r.amount[k] * atoms[k];
        total += r.mode / a;
        if (std::string(r.phase) == "fluid") {
            fluid = r.mode / a;
            continue;
        }
        for (std::size_t k = 0; k < 6; ++k) start[k] += r.mode / a * r.amount[k];
    }
    const real f = fluid / total;
    real s = 0;
    for (real b : start) s += b;
    for (real& b : start) b *= 100 / s;
    EXPECT_REL_NEAR(c.pd->bulk.rbifluidfraction, f, 1e-15L);

    // x(CO2) is the outer loop and P the inner one.
    ASSERT_EQ(solved.size(), 9U) << c.screen();
    const real xs[] = {0.2L, 0.5L, 0.8L};
    for (std::size_t n = 0; n < solved.size(); ++n) {
        const Solved& pt = solved[n];
        const real x = xs[n / 3];
        SCOPED_TRACE("x(CO2) " + std::to_string(static_cast<double>(x)) + ", P " +
                     std::to_string(static_cast<double>(pt.p)));
        EXPECT_EQ(pt.p, 2 + static_cast<real>(n % 3));
        EXPECT_ABS_NEAR(pt.xfluid, x, 1e-15L);
        // 59 f (1 - x) of H2O and 59 f x of CO2 added to the rock without its fluid, then
        // brought back to a sum of 1.
        std::vector<real> b = start;
        b[0] += 59 * f * (1 - x);
        b[1] += 59 * f * x;
        const real sum = 100 + 59 * f;
        for (int k = 1; k <= 6; ++k) {
            EXPECT_ABS_NEAR(pt.bulk[k], b[static_cast<std::size_t>(k - 1)] / sum, 1e-15L) << k;
        }
        // The solve balanced that bulk: the modes (atoms) of the phases, each over its atoms
        // per formula, add up to it per atom of the bulk.
        real bulkatoms = 0;
        for (std::size_t k = 0; k < 6; ++k) bulkatoms += b[k] / sum * atoms[k];
        std::vector<real> made(6, 0);
        EXPECT_EQ(pt.phases.size(), 5U);
        for (const auto& [name, v] : pt.phases) {
            const real y = v[1];
            std::vector<real> formula(6, 0);
            if (name == "fluid") formula = {1 - y, y, 0, 0, 0, 0};
            if (name == "ol") formula = {0, 0, 1, 0, 2 * (1 - y), 2 * y};
            if (name == "cc") formula = {0, 1, 0, 1, 0, 0};
            if (name == "q") formula = {0, 0, 1, 0, 0, 0};
            if (name == "wo") formula = {0, 0, 1, 1, 0, 0};
            real a = 0;
            for (std::size_t k = 0; k < 6; ++k) a += formula[k] * atoms[k];
            for (std::size_t k = 0; k < 6; ++k) made[k] += v[0] * formula[k] / a;
        }
        for (std::size_t k = 0; k < 6; ++k) {
            EXPECT_ABS_NEAR(made[k], b[k] / sum / bulkatoms, 1e-9L) << k;
        }
    }
}

// dG of 3 an = gr + 2 ky + q (kJ) at p (kbar) and t (K) with garnet z(g) = z and plagioclase
// ca(pl) = ca, ideal on sites: a(gr) = z^3, a(an) = ca.
real gaspdg(real z, real ca, real p, real t) {
    Ds62& d = dataset();
    auto g = [&](const char* n) { return d.g(d.find(n), p, t); };
    return g("gr") + 2 * g("ky") + g("q") - 3 * g("an") + rgas * t * 3 * std::log(z / ca);
}

TEST(DudaSetup, ADudaRunSetsNoModeIsoplethThatTheScriptNames) {
    // Garnet (py-gr), plagioclase, kyanite and quartz, trivariant: the rock is garnet z(g) 0.2,
    // plagioclase ca(pl) 0.5, with modes (atoms) 0.3, 0.4, 0.1 and 0.2.
    const std::string script =
        "axfile axgasp\nwith g pl ky q\ninexcess yes\npseudosection yes\n" +
        rbitable("SiO2 Al2O3 CaO MgO Na2O", {{"g", 30, {3, 1, 0.6L, 2.4L, 0}},
                                             {"pl", 40, {2.5L, 0.75L, 0.5L, 0, 0.25L}},
                                             {"ky", 10, {1, 1, 0, 0, 0}},
                                             {"q", 20, {1, 0, 0, 0, 0}}}) +
        "acceptvar yes\nzeromodeisopleth no\nmodeisopleth g 0.3\nautoexit\n"
        "diagramPT 1 30 400 1300\ncalcTatP yes\ncalcP 8 12 2\ncalcT 600 800 100\n*\n";
    // Without duDA+ the garnet's mode is held at 0.3: the mass balance then gives the rock's
    // compositions, and T at each P is where they are in equilibrium.
    {
        PdCase c(script);
        c.go();
        EXPECT_NE(c.screen().find("modes set for\nmode of g set to 0.3\n"), std::string::npos)
            << c.screen();
        ASSERT_EQ(c.points.size(), 3U) << c.screen();
        for (std::size_t n = 0; n < 3; ++n) {
            const PdCase::Point& pt = c.points[n];
            EXPECT_EQ(pt.p, 8 + 2 * static_cast<real>(n));
            EXPECT_ABS_NEAR(pt.x[5], 0.3L, 1e-15L);  // the mode of g
            const real t = bisect([&](real tk) { return gaspdg(0.2L, 0.5L, pt.p, tk); }, 600, 1400);
            EXPECT_ABS_NEAR(pt.t, t, 1e-4L) << "P " << static_cast<double>(pt.p);
        }
    }
    // With duDA+ nothing is held: every point of the P-T grid is solved with all the modes
    // unknown, the garnet's changing across the grid, the compositions in equilibrium at P-T.
    {
        PdCase c(script, "1\n0\n");
        dudaon(c, {{"g", "z(g)", 0.2L}, {"pl", "ca(pl)", 0.5L}}, 10, 700, false);
        gotoscan(c);
        const std::string& out = c.screen();
        EXPECT_NE(out.find("specification of mode isopleths\nno modes set\n"), std::string::npos)
            << out;
        EXPECT_EQ(out.find("mode of g set"), std::string::npos) << out;
        EXPECT_NE(out.find("brute force: nqv = 9"), std::string::npos) << out;
        ASSERT_EQ(c.points.size(), 9U) << out;
        real low = 1, high = 0;
        for (std::size_t n = 0; n < 9; ++n) {
            const PdCase::Point& pt = c.points[n];
            EXPECT_EQ(pt.p, 8 + 2 * static_cast<real>(n / 3));
            EXPECT_ABS_NEAR(pt.t, 873.15L + 100 * static_cast<real>(n % 3), 1e-9L);
            EXPECT_ABS_NEAR(gaspdg(pt.x[3], pt.x[4], pt.p, pt.t), 0, 1e-5L);
            EXPECT_REL_NEAR(pt.x[5] + pt.x[6] + pt.x[7] + pt.x[8], 1, 1e-12L);
            low = std::min(low, pt.x[5]);
            high = std::max(high, pt.x[5]);
        }
        EXPECT_GT(high - low, 0.05L);
    }
}

}  // namespace
}  // namespace qv::test
