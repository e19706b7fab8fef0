#include "thermo/gemderivs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "support/fakes.hpp"
#include "support/near.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"
#include "thermo_support.hpp"

namespace qv::test {
namespace {

class Ds62Derivs : public Ds62Suite {};

// Central differences of G refined by one Richardson step (error of order h^4).
real richardson(const std::function<real(real)>& g, real x, real h) {
    const auto central = [&](real s) { return (g(x + s) - g(x - s)) / (2 * s); };
    return (4 * central(h / 2) - central(h)) / 3;
}

// A state closer than `gap` K to a kink of G in T: a Landau critical temperature, or where the
// Bragg-Williams order fraction reaches a bound of its range.
bool nearkink(const tdvector& r, real p, real t, real gap) {
    if (r[24] > 0) {
        ThermoWork tw;
        const auto q = [&](real tt) {
            return bisectx(tw, static_cast<int>(r[24]), tt, r[20] + p * r[21], r[22] + p * r[23],
                           r[25]);
        };
        const real lo = q(t + gap), hi = q(t - gap);
        const auto atbound = [](real x) { return x <= 1e-7L || x >= 0.9999999L; };
        return atbound(lo) != atbound(hi);
    }
    if (r[15] > 0) return std::fabs(t - (r[14] + p * r[16] / r[15])) < gap;
    return false;
}

// V = dG/dP and -S = dG/dT of every end-member of the shared dataset, order-disorder solids and
// the fluids included, against differences of G over P-T states of the crust and upper mantle;
// G itself is gem's to the last bit.
TEST_F(Ds62Derivs, AnalyticDerivativesMatchDifferencesOfG) {
    struct State {
        real p, t;
    };
    const State states[] = {{0.5L, 500},   {1, 773.15L},   {5, 673.15L},   {5, 1073.15L},
                            {10, 900},     {15, 1273.15L}, {25, 1473.15L}, {40, 1773.15L},
                            {3, 1573.15L}, {8, 350}};
    int checked = 0;
    for (int16 k = 1; k <= d->nem(); ++k) {
        const std::string& name = d->name(k);
        tdvector& r = d->row(k);
        for (const State& s : states) {
            if (nearkink(r, s.p, s.t, 2)) continue;
            SCOPED_TRACE(name + " at " + std::to_string(static_cast<double>(s.p)) + " kbar, " +
                         std::to_string(static_cast<double>(s.t)) + " K");
            const GTerm a = gem_derivs(d->ts.ses, d->gs, r, name, s.p, s.t);
            EXPECT_EQ(a.g, d->g(k, s.p, s.t));
            const real v = richardson([&](real p) { return d->g(k, p, s.t); }, s.p, 1e-2L);
            const real ms = richardson([&](real t) { return d->g(k, s.p, t); }, s.t, 0.2L);
            // A Bragg-Williams order fraction is left within 0.001 kJ of dG/dQ = 0 (or after 20
            // halvings), so G carries a small slope in Q and the derivatives at fixed Q depart
            // from the differences by dG/dQ times the move of Q.
            const real tol = r[24] > 0 ? 1e-5L : 1e-7L;
            EXPECT_REL_NEAR(a.dgdp, v, tol);
            EXPECT_REL_NEAR(a.dgdt, ms, tol);
            const GTerm onlyp = gem_derivs(d->ts.ses, d->gs, r, name, s.p, s.t,
                                           OrderState::equilibrium, GemNeed{true, false});
            EXPECT_EQ(onlyp.dgdp, a.dgdp);
            EXPECT_EQ(onlyp.dgdt, 0);
            ++checked;
        }
        // The held order states of made end-members (Q = 1 and Q = 0).
        if (r[24] > 0 || r[15] > 0) {
            for (OrderState o : {OrderState::ordered, OrderState::disordered}) {
                const real p = 7, t = 950;
                const auto g = [&](real pp, real tt) {
                    return gem(d->ts.ses, d->gs, r, name, pp, tt, o);
                };
                const GTerm a = gem_derivs(d->ts.ses, d->gs, r, name, p, t, o);
                EXPECT_EQ(a.g, g(p, t));
                EXPECT_REL_NEAR(a.dgdp, richardson([&](real x) { return g(x, t); }, p, 1e-2L),
                                1e-7L);
                EXPECT_REL_NEAR(a.dgdt, richardson([&](real x) { return g(p, x); }, t, 0.2L),
                                1e-7L);
            }
        }
    }
    EXPECT_GT(checked, 250);
}

// An H2O-CO2 mixture takes the mixing term, whose derivatives are differenced.
TEST_F(Ds62Derivs, FluidMixture) {
    GemSettings gs = d->gs;
    gs.runftype = ftype::ih2oco2;
    for (const char* n : {"H2O", "CO2"}) {
        SCOPED_TRACE(n);
        const int16 k = d->find(n);
        ASSERT_GT(k, 0);
        tdvector r = d->row(k);
        r[27] = 0.3L;
        r[28] = 0.7L;
        const auto g = [&](real p, real t) { return gem(d->ts.ses, gs, r, n, p, t); };
        const real p = 6, t = 900;
        const GTerm a = gem_derivs(d->ts.ses, gs, r, n, p, t);
        EXPECT_EQ(a.g, g(p, t));
        EXPECT_REL_NEAR(a.dgdp, richardson([&](real x) { return g(x, t); }, p, 1e-2L), 1e-7L);
        EXPECT_REL_NEAR(a.dgdt, richardson([&](real x) { return g(p, x); }, t, 0.2L), 1e-7L);
    }
}

// G and its derivatives are the same to the bit whatever was evaluated before: what is kept
// between calls (a Tait row's terms at its last temperature, ln(T/Tr), the logarithms of recent
// order fractions) is what the call would form. Each value is compared with its evaluation with
// fresh working tables, which start with nothing kept, after evaluations at the same
// temperature, at neighbouring states and of the other end-members.
TEST_F(Ds62Derivs, ValuesDoNotDependOnEarlierCalls) {
    const real pressures[] = {0.5L, 5, 5.00001L, 20};
    const real temperatures[] = {673.15L, 673.151L, 1100};
    const GemNeed needs[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    int compared = 0;
    for (real t : temperatures) {
        for (int16 k = 1; k <= d->nem(); ++k) {
            const std::string& name = d->name(k);
            const tdvector& r = d->row(k);
            for (real p : pressures) {
                for (const GemNeed& need : needs) {
                    SCOPED_TRACE(name + " at " + std::to_string(static_cast<double>(p)) +
                                 " kbar, " + std::to_string(static_cast<double>(t)) + " K");
                    Session& ses = d->ts.ses;
                    const std::shared_ptr<ThermoWork> kept = ses.thermowork;
                    ses.thermowork = std::make_shared<ThermoWork>();
                    const GTerm fresh =
                        gem_derivs(ses, d->gs, r, name, p, t, OrderState::equilibrium, need);
                    const real freshg = gem(ses, d->gs, r, name, p, t);
                    ses.thermowork = kept;
                    const GTerm here =
                        gem_derivs(d->ts.ses, d->gs, r, name, p, t, OrderState::equilibrium, need);
                    EXPECT_EQ(here.g, fresh.g);
                    EXPECT_EQ(here.dgdp, fresh.dgdp);
                    EXPECT_EQ(here.dgdt, fresh.dgdt);
                    EXPECT_EQ(gem(d->ts.ses, d->gs, r, name, p, t), freshg);
                    EXPECT_EQ(freshg, fresh.g);
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 300);
}

// The order fraction by halvings that form bisectfunc at every point; `halvings` counts them.
real plainbisectx(int n, real t, real dg, real w, real f, int& halvings) {
    const auto func = [&](real x) { return bisectfunc(n, t, dg, w, f, x); };
    halvings = 0;
    if (func(0.9999999L) > 0) return 0.9999999L;
    if (func(1e-7L) < 0) return 1e-7L;
    real lo = 1e-7L, hi = 0.9999999L, x = 0.5L, fx = func(x);
    for (int i = 1; i <= 20; ++i) {
        halvings = i;
        (fx > 0 ? lo : hi) = x;
        x = (lo + hi) / 2;
        fx = func(x);
        if (std::fabs(fx) < 0.001L) break;
    }
    return x;
}

// The same for model states far from the dataset's: both signs of the form factor, strong and
// weak interactions (G convex and not convex in Q), and runs of nearby states, as along a root
// search, whose halvings go down to the deepest levels along nearly the same paths.
TEST(OrderFraction, HalvingsEndForModelStates) {
    ThermoWork tw;
    std::uint64_t seed = 12345;
    const auto uniform = [&seed] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<real>(seed >> 11) / static_cast<real>(1ULL << 53);
    };
    int deep = 0;
    for (int k = 0; k < 3000; ++k) {
        const int n = 1 + static_cast<int>(uniform() * 4);
        const real f = k % 3 == 0 ? -2 * uniform() : (k % 3 == 1 ? 1 : 0.5L + uniform());
        const real t = 300 + 1700 * uniform();
        const real dg = -40 + 80 * uniform();
        const real w = -5 + 40 * uniform();
        for (int j = 0; j < 8; ++j) {
            const real tj = t + j * 1e-3L;
            const real dgj = dg + j * 1e-7L;
            int halvings = 0;
            ASSERT_EQ(bisectx(tw, n, tj, dgj, w, f), plainbisectx(n, tj, dgj, w, f, halvings))
                << n << " " << static_cast<double>(tj) << " " << static_cast<double>(dgj) << " "
                << static_cast<double>(w) << " " << static_cast<double>(f);
            if (halvings > 12) ++deep;
        }
    }
    EXPECT_GT(deep, 1000);
}

// The Bragg-Williams order fraction is the end of the halvings that form bisectfunc at every
// point (the program forms it only near the root), bit for bit, and lies at the minimum of G over
// Q within the halvings' stopping rule; from full order to near disorder.
TEST_F(Ds62Derivs, OrderFractionIsTheHalvingsEnd) {
    ThermoWork tw;
    int interior = 0;
    for (const char* n : {"sill", "an", "ab", "sp", "dol", "san"}) {
        const int16 k = d->find(n);
        ASSERT_GT(k, 0);
        const tdvector& r = d->row(k);
        for (real p : {0.001L, 5.0L, 10.0L, 30.0L}) {
            for (real t = 400; t <= 2000; t += 12.5L) {
                SCOPED_TRACE(std::string(n) + " " + std::to_string(static_cast<double>(p)) + " " +
                             std::to_string(static_cast<double>(t)));
                const int nb = static_cast<int>(r[24]);
                const real dg = r[20] + p * r[21], w = r[22] + p * r[23], f = r[25];
                const auto func = [&](real x) { return bisectfunc(nb, t, dg, w, f, x); };
                int halvings = 0;
                const real q = bisectx(tw, nb, t, dg, w, f);
                EXPECT_EQ(q, plainbisectx(nb, t, dg, w, f, halvings));

                const auto g = [&](real x) { return braggwilliamsg(tw, r, x, p, t); };
                real a = 1e-7L, b = 0.9999999L;
                const real ratio = (std::sqrt(5.0L) - 1) / 2;
                while (b - a > 1e-12L) {
                    const real x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
                    (g(x1) < g(x2) ? b : a) = g(x1) < g(x2) ? x2 : x1;
                }
                const real qmin = (a + b) / 2;
                if (std::fabs(func(q)) >= 0.001L) {
                    EXPECT_ABS_NEAR(static_cast<double>(q), static_cast<double>(qmin), 2e-6);
                }
                if (q > 1e-6L && q < 0.999999L) ++interior;
            }
        }
    }
    EXPECT_GT(interior, 20);
}

}  // namespace
}  // namespace qv::test
