// The Newton direction of the equilibrium solver: the LU factors give the decomposition's
// direction on well-conditioned jacobians, and a singular or ill-conditioned jacobian goes to the
// decomposition, which drops its small singular values.

#include "solver/newtonstep.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.hpp"

namespace qv::test {
namespace {

// A dense n x n matrix with entries of both signs and a dominant diagonal, scaled by columns.
eqmatrix testmatrix(int n, real colratio) {
    eqmatrix j;
    for (int r = 1; r <= n; ++r) {
        for (int c = 1; c <= n; ++c) {
            const real base = std::sin(static_cast<real>(3 * r + 7 * c)) * 0.6L;
            j[r][c] = (r == c ? 4 + base : base) * std::pow(colratio, static_cast<real>(c - 1));
        }
    }
    return j;
}

eqvector testresiduals(int n) {
    eqvector e;
    for (int r = 1; r <= n; ++r) e[r] = std::cos(static_cast<real>(r)) * 1e-3L;
    return e;
}

TEST(NewtonStep, LuAndDecompositionGiveTheSameDirection) {
    FakeConsole con;
    NewtonScratch work;
    for (int n : {1, 2, 5, 16, 18}) {
        for (real ratio : {1.0L, 1.2L}) {
            const eqmatrix j = testmatrix(n, ratio);
            const eqvector e = testresiduals(n);
            eqvector lu;
            eqvector sv;
            real cond1 = 0;
            ASSERT_TRUE(ludirection(work, j, e, n, lu, cond1)) << n;
            const SvdDirectionInfo info = svddirection(con, work, j, e, n, sv);
            EXPECT_FALSE(info.singular);
            EXPECT_GT(info.cond, 0);
            // The 1-norm condition number bounds the 2-norm one within a factor n.
            EXPECT_LE(info.cond, n * cond1 * (1 + 1e-12L));
            EXPECT_GE(info.cond * n, cond1 * (1 - 1e-12L));
            for (int k = 1; k <= n; ++k) EXPECT_REL_NEAR(lu[k], sv[k], 1e-15L);
            // And the direction solves J dx = e.
            for (int r = 1; r <= n; ++r) {
                real s = 0;
                for (int c = 1; c <= n; ++c) s += j[r][c] * lu[c];
                EXPECT_REL_NEAR(s, e[r], 1e-15L);
            }
        }
    }
}

// Each solve owns its working space, kept between its iterations: space left by a larger system
// must not change the direction of a smaller one, by either route, to the last bit.
TEST(NewtonStep, ReusedWorkingSpaceGivesTheBitsOfFreshSpace) {
    FakeConsole con;
    NewtonScratch used;
    for (int n : {18, 5, 1, 7}) {
        const eqmatrix j = testmatrix(n, 1.2L);
        const eqvector e = testresiduals(n);
        NewtonScratch fresh;
        eqvector lu1;
        eqvector lu2;
        eqvector sv1;
        eqvector sv2;
        real c1 = 0;
        real c2 = 0;
        ASSERT_TRUE(ludirection(used, j, e, n, lu1, c1)) << n;
        ASSERT_TRUE(ludirection(fresh, j, e, n, lu2, c2)) << n;
        EXPECT_EQ(c1, c2) << n;
        const SvdDirectionInfo i1 = svddirection(con, used, j, e, n, sv1);
        const SvdDirectionInfo i2 = svddirection(con, fresh, j, e, n, sv2);
        EXPECT_EQ(i1.cond, i2.cond) << n;
        EXPECT_EQ(svdcondition(con, used, j, n).cond, i2.cond) << n;
        for (int k = 1; k <= n; ++k) {
            EXPECT_EQ(lu1[k], lu2[k]) << n << " " << k;
            EXPECT_EQ(sv1[k], sv2[k]) << n << " " << k;
        }
    }
}

TEST(NewtonStep, SingularAndIllConditionedJacobiansGoToTheDecomposition) {
    FakeConsole con;
    NewtonScratch work;
    const int n = 6;
    const eqvector e = testresiduals(n);
    // Columns ten orders of magnitude apart: the decomposition keeps every value, but the LU
    // route is refused, so the condition number comes from the singular values.
    {
        const eqmatrix j = testmatrix(n, 100);
        eqvector dx;
        real cond1 = 0;
        EXPECT_FALSE(ludirection(work, j, e, n, dx, cond1));
        const SvdDirectionInfo info = svddirection(con, work, j, e, n, dx);
        EXPECT_FALSE(info.singular);
        EXPECT_GT(info.cond, 1e9L);
    }
    // Two equal rows: a zero pivot or a huge condition number, and a dropped singular value.
    {
        eqmatrix j = testmatrix(n, 1);
        j[4] = j[2];
        eqvector dx;
        real cond1 = 0;
        EXPECT_FALSE(ludirection(work, j, e, n, dx, cond1));
        const SvdDirectionInfo info = svddirection(con, work, j, e, n, dx);
        EXPECT_TRUE(info.singular);
        EXPECT_EQ(info.cond, 0);
    }
    // An empty system has no direction.
    {
        eqvector dx;
        real cond1 = 0;
        EXPECT_FALSE(ludirection(work, eqmatrix{}, e, 0, dx, cond1));
    }
}

}  // namespace
}  // namespace qv::test
