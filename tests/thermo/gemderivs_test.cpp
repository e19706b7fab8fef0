#include "thermo/gemderivs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "support/fakes.hpp"
#include "support/near.hpp"
#include "thermo/ordering.hpp"
#include "thermo_support.hpp"

namespace qv::test {
namespace {

class Ds62Derivs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { d = new Ds62(); }
    static void TearDownTestSuite() {
        delete d;
        d = nullptr;
    }
    static Ds62* d;
};
Ds62* Ds62Derivs::d = nullptr;

// Central differences of G refined by one Richardson step (error of order h^4).
real richardson(const std::function<real(real)>& g, real x, real h) {
    const auto central = [&](real s) { return (g(x + s) - g(x - s)) / (2 * s); };
    return (4 * central(h / 2) - central(h)) / 3;
}

// A state closer than `gap` K to a kink of G in T: a Landau critical temperature, or where the
// Bragg-Williams order fraction reaches a bound of its range.
bool nearkink(const tdvector& r, real p, real t, real gap) {
    if (r[24] > 0) {
        const auto q = [&](real tt) {
            return bisectx(static_cast<int>(r[24]), tt, r[20] + p * r[21], r[22] + p * r[23],
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
            EXPECT_REL_NEAR(a.dgdp, v, 1e-7L);
            EXPECT_REL_NEAR(a.dgdt, ms, 1e-7L);
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

// The Bragg-Williams order fraction of the safeguarded Newton search is the minimum of G over Q
// found by a golden-section search, from full order to near disorder.
TEST_F(Ds62Derivs, OrderFractionMinimisesG) {
    int interior = 0;
    for (const char* n : {"sill", "an", "ab", "sp", "dol"}) {
        const int16 k = d->find(n);
        ASSERT_GT(k, 0);
        const tdvector& r = d->row(k);
        for (real p : {0.001L, 10.0L, 30.0L}) {
            for (real t : {500.0L, 773.15L, 1000.0L, 1173.15L, 1373.15L, 1573.15L, 1873.15L}) {
                SCOPED_TRACE(std::string(n) + " " + std::to_string(static_cast<double>(p)) + " " +
                             std::to_string(static_cast<double>(t)));
                const auto g = [&](real q) { return braggwilliamsg(r, q, p, t); };
                real a = 1e-7L, b = 0.9999999L;
                const real ratio = (std::sqrt(5.0L) - 1) / 2;
                real x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
                real g1 = g(x1), g2 = g(x2);
                while (b - a > 1e-13L) {
                    if (g1 < g2) {
                        b = x2;
                        x2 = x1;
                        g2 = g1;
                        x1 = b - ratio * (b - a);
                        g1 = g(x1);
                    } else {
                        a = x1;
                        x1 = x2;
                        g1 = g2;
                        x2 = a + ratio * (b - a);
                        g2 = g(x2);
                    }
                }
                const real qmin = (a + b) / 2;
                const int nb = static_cast<int>(r[24]);
                const real q = bisectx(nb, t, r[20] + p * r[21], r[22] + p * r[23], r[25]);
                EXPECT_ABS_NEAR(static_cast<double>(q), static_cast<double>(qmin), 1e-6);
                EXPECT_LE(g(q), g(qmin) + 1e-13L);
                if (q > 1e-6L && q < 0.999999L) ++interior;
            }
        }
    }
    EXPECT_GT(interior, 20);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// G of end-member k with its Bragg-Williams order fraction found by a golden-section minimisation
// of G over Q, independent of the program's own search.
real goldeng(Ds62& d, int16 k, real p, real t) {
    tdvector r = d.row(k);
    if (!(r[24] > 0)) return d.g(k, p, t);
    const auto g = [&](real q) { return braggwilliamsg(r, q, p, t); };
    real a = 1e-7L, b = 0.9999999L;
    const real ratio = (std::sqrt(5.0L) - 1) / 2;
    while (b - a > 1e-14L) {
        const real x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
        if (g(x1) < g(x2)) {
            b = x2;
        } else {
            a = x1;
        }
    }
    const real border = g((a + b) / 2);
    tdvector plain = r;
    plain[24] = 0;
    return gem(d.ts.ses, d.gs, plain, d.name(k), p, t) + border;
}

// The linearised reaction thermodynamics of the muscovite breakdown at 600 C and 6 kbar (the
// whole-run case m3-with-bad-names prints b and c to 6 and 5 decimals, from forward differences
// of G with steps 0.001 K and 1e-5 kbar). With the order fractions of sillimanite and sanidine
// converged, b of q + mu = sill + san + H2O is -0.067278 and c of q + mu = ky + san + H2O is
// 0.97561; the halving that stopped within 0.001 kJ of dG/dQ = 0 gave -0.067279 and 0.97562.
TEST(OrderConverged, LinearisedSlopesOfMuscoviteBreakdown) {
    Ds62 d;
    const real t = 873.15L, p = 6;
    const auto dg = [&](std::initializer_list<std::pair<const char*, int>> nu, real pp, real tt) {
        real s = 0;
        for (const auto& [n, c] : nu) s += c * goldeng(d, d.find(n), pp, tt);
        return s;
    };
    const std::initializer_list<std::pair<const char*, int>> r2 = {
        {"q", -1}, {"mu", -1}, {"ky", 1}, {"san", 1}, {"H2O", 1}};
    const std::initializer_list<std::pair<const char*, int>> r3 = {
        {"q", -1}, {"mu", -1}, {"sill", 1}, {"san", 1}, {"H2O", 1}};
    const real b3 = (dg(r3, p, t + 0.001L) - dg(r3, p, t)) / 0.001L;
    const real c2 = (dg(r2, p + 1e-5L, t) - dg(r2, p, t)) / 1e-5L;
    EXPECT_GT(b3, -0.0672785L);
    EXPECT_LT(b3, -0.0672775L);
    EXPECT_GT(c2, 0.975605L);
    EXPECT_LT(c2, 0.975615L);
}

}  // namespace
}  // namespace qv::test
