#include "numerics/poly.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

// The 13-term quadratic-by-cubic model, with a fractional-exponent term appended.
struct Model {
    PolyFit fit{14, 8.0L, 873.15L};
    polyvector k, a, b;

    Model() {
        const std::vector<real> as = {0, 1, 0, 2, 1, 0, 3, 2, 1, 0, 2, 1, 2, 0.5L};
        const std::vector<real> bs = {0, 0, 1, 0, 1, 2, 0, 1, 2, 3, 2, 3, 3, 1};
        for (int i = 1; i <= fit.npolyterms; ++i) {
            a[i] = as[static_cast<std::size_t>(i - 1)];
            b[i] = bs[static_cast<std::size_t>(i - 1)];
            k[i] = 0.3L * i - 2;
        }
    }
};

TEST(Poly, AtTheCentreOnlyConstantTermsRemain) {
    Model md;
    md.a[3] = 0;  // a second constant term
    md.b[3] = 0;
    polyvector t;
    polyterms(md.fit, md.a, md.b, t, md.fit.polyp0, md.fit.polyt0);
    for (int i = 1; i <= md.fit.npolyterms; ++i) {
        EXPECT_EQ(t[i], (i == 1 || i == 3) ? 1.0L : 0.0L) << "term " << i;
    }
    EXPECT_EQ(polyvalue(md.fit, md.k, md.a, md.b, md.fit.polyp0, md.fit.polyt0), md.k[1] + md.k[3]);
}

TEST(Poly, TermsOnBothSidesOfTheCentre) {
    Model md;
    md.fit.npolyterms = 13;  // whole exponents only, so negative u and v are allowed
    const real ps[] = {2, 8, 20.5L};
    const real ts[] = {573.15L, 1173.15L};
    for (real p : ps) {
        for (real t : ts) {
            const real u = (p - md.fit.polyp0) / 12;
            const real v = (t - md.fit.polyt0) / 300;
            polyvector terms;
            polyterms(md.fit, md.a, md.b, terms, p, t);
            for (int i = 1; i <= 13; ++i) {
                const real want = std::pow(u, md.a[i]) * std::pow(v, md.b[i]);
                EXPECT_REL_NEAR(terms[i], want, 1e-17L);
            }
        }
    }
}

// The derivatives against central differences of the value, fractional exponent included.
TEST(Poly, DerivativesMatchFiniteDifferences) {
    Model md;
    const real ps[] = {9.5L, 20};
    const real ts[] = {900, 1150};
    for (real p : ps) {
        for (real t : ts) {
            real dp = 0;
            real dt = 0;
            polyvaluedx(md.fit, md.k, md.a, md.b, dp, dt, p, t);
            const real hp = 1e-5L;
            const real ht = 1e-4L;
            const real fdp = (polyvalue(md.fit, md.k, md.a, md.b, p + hp, t) -
                              polyvalue(md.fit, md.k, md.a, md.b, p - hp, t)) /
                             (2 * hp);
            const real fdt = (polyvalue(md.fit, md.k, md.a, md.b, p, t + ht) -
                              polyvalue(md.fit, md.k, md.a, md.b, p, t - ht)) /
                             (2 * ht);
            EXPECT_REL_NEAR(dp, fdp, 1e-9L);
            EXPECT_REL_NEAR(dt, fdt, 1e-9L);
        }
    }
}

TEST(Poly, LinearPressureTermHasConstantSlope) {
    PolyFit fit{1, 5, 700};
    polyvector a, b, tp, tt;
    a[1] = 1;
    for (real p : {5.0L, -3.0L, 40.0L}) {
        polydxterms(fit, a, b, tp, tt, p, 1000);
        EXPECT_EQ(tp[1], 1 / 12.0L);
        EXPECT_EQ(tt[1], 0.0L);
    }
}

TEST(Poly, NoTermsGiveZero) {
    Model md;
    md.fit.npolyterms = 0;
    real dp = 1;
    real dt = 1;
    EXPECT_EQ(polyvalue(md.fit, md.k, md.a, md.b, 3, 600), 0.0L);
    polyvaluedx(md.fit, md.k, md.a, md.b, dp, dt, 3, 600);
    EXPECT_EQ(dp, 0.0L);
    EXPECT_EQ(dt, 0.0L);
}

}  // namespace
}  // namespace qv
