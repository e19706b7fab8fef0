// The Newton direction of the equilibrium solver: the LU factors give the decomposition's
// direction on well-conditioned jacobians, and a singular or ill-conditioned jacobian goes to the
// decomposition, which drops its small singular values.

#include "solver/newtonstep.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

// Gaussian elimination with partial pivoting written out plainly on the arrays from 1: the first
// largest pivot of each column, whole rows exchanged, each row below updated left to right by its
// multiplier, then forward and back substitution by rows. That fixes every rounding, so the
// direction it gives has the bits the solver's must have.
struct PlainLu {
    int n;
    eqmatrix a;
    Fixed1<int, maxeq> piv;

    PlainLu(const eqmatrix& j, int size) : n(size), a(j) {
        for (int k = 1; k <= n; ++k) {
            int p = k;
            for (int r = k + 1; r <= n; ++r) {
                if (std::fabs(a[r][k]) > std::fabs(a[p][k])) p = r;
            }
            piv[k] = p;
            std::swap(a[k], a[p]);
            for (int r = k + 1; r <= n; ++r) {
                a[r][k] /= a[k][k];
                for (int c = k + 1; c <= n; ++c) a[r][c] -= a[r][k] * a[k][c];
            }
        }
    }
    eqvector solve(eqvector b) const {
        for (int k = 1; k <= n; ++k) std::swap(b[k], b[piv[k]]);
        for (int r = 2; r <= n; ++r) {
            for (int c = 1; c < r; ++c) b[r] -= a[r][c] * b[c];
        }
        for (int r = n; r >= 1; --r) {
            for (int c = r + 1; c <= n; ++c) b[r] -= a[r][c] * b[c];
            b[r] /= a[r][r];
        }
        return b;
    }
    // The 1-norm condition number from the whole inverse.
    real cond1(const eqmatrix& j) const {
        real norm = 0;
        real inorm = 0;
        for (int c = 1; c <= n; ++c) {
            eqvector u;
            u[c] = 1;
            u = solve(u);
            real sum = 0;
            real isum = 0;
            for (int r = 1; r <= n; ++r) {
                sum += std::fabs(j[r][c]);
                isum += std::fabs(u[r]);
            }
            norm = std::max(norm, sum);
            inorm = std::max(inorm, isum);
        }
        return norm * inorm;
    }
};

// The rows of `testmatrix` turned upside down, so that every column needs a row exchange.
eqmatrix reversedrows(const eqmatrix& j, int n) {
    eqmatrix r;
    for (int k = 1; k <= n; ++k) r[k] = j[n + 1 - k];
    return r;
}

TEST(NewtonStep, LuAndDecompositionGiveTheSameDirection) {
    FakeConsole con;
    NewtonScratch work;
    for (int n : {1, 2, 5, 16, 18}) {
        for (real ratio : {1.0L, 1.2L}) {
            for (bool reversed : {false, true}) {
                const eqmatrix j =
                    reversed ? reversedrows(testmatrix(n, ratio), n) : testmatrix(n, ratio);
                const eqvector e = testresiduals(n);
                const PlainLu plain(j, n);
                const real exact = plain.cond1(j);
                eqvector lu;
                eqvector sv;
                real cond1 = 0;
                ASSERT_TRUE(ludirection(work, j, e, n, lu, cond1)) << n;
                // The direction of plain elimination to the last bit.
                const eqvector want = plain.solve(e);
                for (int k = 1; k <= n; ++k) EXPECT_EQ(lu[k], want[k]) << n << " " << k;
                // The condition number the route was chosen on is the exact one or an estimate
                // of it from below, never far below.
                EXPECT_LE(cond1, exact * (1 + 1e-15L)) << n;
                EXPECT_GE(cond1, exact / 3) << n;
                const SvdDirectionInfo info = svddirection(con, work, j, e, n, sv);
                EXPECT_FALSE(info.singular);
                EXPECT_GT(info.cond, 0);
                // The 1-norm condition number bounds the 2-norm one within a factor n.
                EXPECT_LE(info.cond, n * exact * (1 + 1e-12L));
                EXPECT_GE(info.cond * n, exact * (1 - 1e-12L));
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
}

// The LU route is taken exactly where n times the exact 1-norm condition number stays below the
// limit, through the whole range from well-conditioned to refused: columns drawn apart step by
// step, and two rows drawn together step by step.
TEST(NewtonStep, TheRouteFollowsTheExactConditionNumber) {
    NewtonScratch work;
    const int n = 6;
    const eqvector e = testresiduals(n);
    // Cases 0 to 100 draw the columns apart, 101 to 165 two rows together.
    const auto makecase = [n](int k) {
        if (k <= 100) return testmatrix(n, std::pow(10.0L, k / 40.0L));
        eqmatrix j = testmatrix(n, 1.1L);
        const real eps = std::pow(10.0L, -(k - 101) / 4.0L);
        for (int c = 1; c <= n; ++c) j[4][c] = j[2][c] + eps * j[5][c];
        return reversedrows(j, n);
    };
    int lu = 0;
    int refused = 0;
    int near = 0;  // within four orders of magnitude below the limit
    for (int k = 0; k <= 165; ++k) {
        const eqmatrix j = makecase(k);
        const PlainLu plain(j, n);
        const real exact = plain.cond1(j);
        const bool want = std::isfinite(exact) && n * exact < lucondlimit;
        if (want && n * exact >= lucondlimit * 1e-4L) ++near;
        eqvector dx;
        real cond1 = 0;
        const bool got = ludirection(work, j, e, n, dx, cond1);
        EXPECT_EQ(got, want) << k << " " << static_cast<double>(n * exact);
        if (!got) {
            ++refused;
            continue;
        }
        ++lu;
        const eqvector plaindx = plain.solve(e);
        for (int i = 1; i <= n; ++i) EXPECT_EQ(dx[i], plaindx[i]) << k << " " << i;
        EXPECT_LE(cond1, exact * (1 + 1e-15L));
        EXPECT_GE(cond1, exact / 3);
    }
    // The sweep crosses the limit both ways and spends a good part near it.
    EXPECT_GT(lu, 20);
    EXPECT_GT(refused, 20);
    EXPECT_GT(near, 20);
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
