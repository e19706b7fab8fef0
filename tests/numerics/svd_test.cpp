#include "numerics/svd.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

using Rows = std::vector<std::vector<real>>;

struct Decomposition {
    test::FakeConsole con;
    std::unique_ptr<SvdArrays> s = std::make_unique<SvdArrays>();
    int m = 0;
    int n = 0;

    explicit Decomposition(const Rows& rows) : m(static_cast<int>(rows.size())) {
        n = static_cast<int>(rows[0].size());
        for (int i = 1; i <= m; ++i) {
            for (int j = 1; j <= n; ++j) {
                s->svda[i][j] =
                    rows[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
            }
        }
        svd(con, *s, static_cast<int16>(m), static_cast<int16>(n));
    }

    real u(int i, int j) const { return s->svda[i][j]; }
    real w(int i) const { return s->svdw[i]; }
    real v(int i, int j) const { return s->svdv[i][j]; }

    // Largest |A - U diag(w) V^T| over the matrix.
    real reconstructionerror(const Rows& a) const {
        real worst = 0;
        for (int i = 1; i <= m; ++i) {
            for (int j = 1; j <= n; ++j) {
                real x = 0;
                for (int k = 1; k <= n; ++k) x += u(i, k) * w(k) * v(j, k);
                const real aij =
                    a[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
                worst = std::max(worst, std::fabs(x - aij));
            }
        }
        return worst;
    }

    // Largest departure of V^T V from the identity.
    real vorthogonality() const {
        real worst = 0;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                real x = 0;
                for (int k = 1; k <= n; ++k) x += v(k, i) * v(k, j);
                worst = std::max(worst, std::fabs(x - (i == j ? 1 : 0)));
            }
        }
        return worst;
    }

    // Largest departure of U^T U from the identity over the columns of non-zero singular values.
    real uorthogonality() const {
        real worst = 0;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                if (w(i) == 0 || w(j) == 0) continue;
                real x = 0;
                for (int k = 1; k <= m; ++k) x += u(k, i) * u(k, j);
                worst = std::max(worst, std::fabs(x - (i == j ? 1 : 0)));
            }
        }
        return worst;
    }
};

real largest(const Rows& a) {
    real big = 0;
    for (const auto& row : a) {
        for (real x : row) big = std::max(big, std::fabs(x));
    }
    return big;
}

TEST(Svd, DiagonalMatrixGivesAscendingNonNegativeValues) {
    const Rows a = {{3, 0, 0}, {0, -1, 0}, {0, 0, 2}};
    Decomposition d(a);
    EXPECT_EQ(d.w(1), 1.0L);
    EXPECT_EQ(d.w(2), 2.0L);
    EXPECT_EQ(d.w(3), 3.0L);
    EXPECT_LE(d.reconstructionerror(a), 1e-18L);
    EXPECT_TRUE(d.con.output.empty());
}

TEST(Svd, KnownTwoByTwo) {
    // A^T A = ((25, 20), (20, 25)) has eigenvalues 5 and 45.
    const Rows a = {{3, 0}, {4, 5}};
    Decomposition d(a);
    EXPECT_REL_NEAR(d.w(1), std::sqrt(5.0L), 1e-18L);
    EXPECT_REL_NEAR(d.w(2), std::sqrt(45.0L), 1e-18L);
    EXPECT_LE(d.reconstructionerror(a), 1e-18L);
}

TEST(Svd, ZeroMatrixGivesIdentityFactors) {
    const Rows a = {{0, 0}, {0, 0}, {0, 0}};
    Decomposition d(a);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(d.w(i), 0.0L);
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(d.v(i, j), i == j ? 1.0L : 0.0L);
    }
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(d.u(i, j), i == j ? 1.0L : 0.0L);
    }
}

TEST(Svd, OneByOneTakesTheReflectedSigns) {
    Decomposition d(Rows{{2.5L}});
    EXPECT_EQ(d.u(1, 1), -1.0L);
    EXPECT_EQ(d.w(1), 2.5L);
    EXPECT_EQ(d.v(1, 1), -1.0L);
}

TEST(Svd, EntriesBeyondNAreCleared) {
    auto s = std::make_unique<SvdArrays>();
    s->svdw.fill(7);
    s->svda[1][1] = 4;
    test::FakeConsole con;
    svd(con, *s, 1, 1);
    EXPECT_EQ(s->svdw[1], 4.0L);
    EXPECT_EQ(s->svdw[2], 0.0L);
    EXPECT_EQ(s->svdw[400], 0.0L);
}

// Random matrices of several shapes, wide ones included: A = U diag(w) V^T to 1e-15 of the
// largest entry, orthogonal factors, ascending non-negative w, and for m < n at least n - m
// vanishing singular values sorted to the front.
TEST(Svd, RandomMatricesReconstruct) {
    struct Shape {
        int m, n;
    };
    const Shape shapes[] = {{1, 1}, {2, 2}, {5, 3}, {8, 8}, {30, 12}, {60, 40}, {3, 7}, {12, 30}};
    std::mt19937_64 gen(20260514);
    std::uniform_real_distribution<double> dist(-10.0, 10.0);
    for (const Shape& sh : shapes) {
        SCOPED_TRACE(testing::Message() << sh.m << " x " << sh.n);
        Rows a(static_cast<std::size_t>(sh.m), std::vector<real>(static_cast<std::size_t>(sh.n)));
        for (auto& row : a) {
            for (real& x : row) x = dist(gen);
        }
        Decomposition d(a);
        const real scale = largest(a);
        EXPECT_LE(d.reconstructionerror(a) / scale, 1e-15L);
        EXPECT_LE(d.vorthogonality(), 1e-15L);
        for (int i = 1; i <= sh.n; ++i) {
            EXPECT_GE(d.w(i), 0.0L);
            if (i > 1) {
                EXPECT_LE(d.w(i - 1), d.w(i));
            }
        }
        for (int i = 1; i <= sh.n - sh.m; ++i) EXPECT_LE(d.w(i), 1e-15L * d.w(sh.n));
        if (sh.m >= sh.n) {
            EXPECT_LE(d.uorthogonality(), 1e-15L);
        }
        EXPECT_TRUE(d.con.output.empty());
    }
}

// A NaN never counts as negligible, so no value below the first can converge: each gets its 31
// passes, the console line, and the decomposition goes on.
TEST(Svd, NonConvergenceIsReportedOnTheConsoleOnly) {
    const real nan = std::numeric_limits<real>::quiet_NaN();
    Decomposition d(Rows{{1, 2, 0}, {3, nan, 1}, {0, 1, 5}});
    EXPECT_EQ(d.con.output,
              "too many iterations (k =    3)\n"
              "too many iterations (k =    2)\n");
}

TEST(Svd, RankDeficientMatrixHasItsNullVectorFirst) {
    // Column 3 = column 1 + column 2, so (1, 1, -1) / sqrt 3 spans the null space.
    const Rows a = {{1, 2, 3}, {4, 5, 9}, {7, 8, 15}, {2, -1, 1}};
    Decomposition d(a);
    EXPECT_LE(d.w(1), 1e-17L * d.w(3));
    EXPECT_GT(d.w(2), 0.1L);
    const real r3 = 1 / std::sqrt(3.0L);
    EXPECT_REL_NEAR(std::fabs(d.v(1, 1)), r3, 1e-15L);
    EXPECT_REL_NEAR(std::fabs(d.v(2, 1)), r3, 1e-15L);
    EXPECT_REL_NEAR(std::fabs(d.v(3, 1)), r3, 1e-15L);
    EXPECT_LE(d.reconstructionerror(a) / largest(a), 1e-17L);
}

}  // namespace
}  // namespace qv
