#include "numerics/cholesky.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

using Rows = std::vector<std::vector<real>>;

covmatrix mat(const Rows& rows) {
    covmatrix a;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows[i].size(); ++j) {
            a[static_cast<int>(i) + 1][static_cast<int>(j) + 1] = rows[i][j];
        }
    }
    return a;
}

void expectblock(const covmatrix& got, const Rows& want, real rel) {
    for (std::size_t i = 0; i < want.size(); ++i) {
        for (std::size_t j = 0; j < want[i].size(); ++j) {
            SCOPED_TRACE(testing::Message() << "[" << i + 1 << "][" << j + 1 << "]");
            EXPECT_REL_NEAR(got[static_cast<int>(i) + 1][static_cast<int>(j) + 1], want[i][j], rel);
        }
    }
}

TEST(Cholesky, SmallExamples) {
    struct Case {
        Rows a, l, inv;
    };
    const real r2 = std::sqrt(2.0L);
    const Case cases[] = {
        {{{4}}, {{2}}, {{0.25L}}},
        {{{4, 2}, {2, 3}}, {{2, 0}, {1, r2}}, {{0.375L, -0.25L}, {-0.25L, 0.5L}}},
        // The entry above the diagonal is never read.
        {{{4, 99}, {2, 3}}, {{2, 0}, {1, r2}}, {{0.375L, -0.25L}, {-0.25L, 0.5L}}},
    };
    for (const Case& c : cases) {
        test::FakeConsole con;
        const auto n = static_cast<int16>(c.a.size());
        covmatrix l;
        l[1][2] = 5;  // stale values above the diagonal are cleared
        inverse(con, mat(c.a), l, n);
        expectblock(l, c.l, 1e-18L);
        invmatrix b;
        cholinvert(con, mat(c.a), b, n);
        expectblock(b, c.inv, 1e-18L);
        EXPECT_TRUE(con.output.empty());
    }
}

// Random well-conditioned positive-definite matrices M M^T + n I of every order up to 24.
TEST(Cholesky, FactorAndInverseOfRandomMatrices) {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int n = 1; n <= 24; ++n) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        covmatrix mrand;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) mrand[i][j] = dist(gen);
        }
        covmatrix a;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                real s = i == j ? n : 0;
                for (int k = 1; k <= n; ++k) s += mrand[i][k] * mrand[j][k];
                a[i][j] = s;
            }
        }
        test::FakeConsole con;
        covmatrix l;
        inverse(con, a, l, static_cast<int16>(n));
        invmatrix b;
        cholinvert(con, a, b, static_cast<int16>(n));
        real factorerror = 0;
        real identityerror = 0;
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                if (j > i) {
                    EXPECT_EQ(l[i][j], 0.0L);
                }
                EXPECT_EQ(b[i][j], b[j][i]);
                real llt = 0;
                real ba = 0;
                for (int k = 1; k <= n; ++k) {
                    llt += l[i][k] * l[j][k];
                    ba += b[i][k] * a[k][j];
                }
                factorerror = std::max(factorerror, std::fabs(llt - a[i][j]) / n);
                identityerror = std::max(identityerror, std::fabs(ba - (i == j ? 1 : 0)));
            }
        }
        EXPECT_LE(factorerror, 1e-17L);
        EXPECT_LE(identityerror, 1e-16L);
    }
}

TEST(Cholesky, NotPositiveDefiniteStops) {
    struct Case {
        Rows a;
        const char* console;
    };
    const Case cases[] = {
        {{{1, 2}, {2, 1}}, "  2  -3.0000000e-0\n"},
        {{{0}}, "  1              0\n"},
        {{{4, 2, 0}, {2, 1, 0}, {0, 0, 1}}, "  2              0\n"},  // singular
    };
    for (const Case& c : cases) {
        const auto n = static_cast<int16>(c.a.size());
        {
            test::FakeConsole con;
            covmatrix l;
            EXPECT_BOMB(inverse(con, mat(c.a), l, n), "inverse", "sqrt negative");
            EXPECT_EQ(con.output, c.console);
        }
        {
            test::FakeConsole con;
            invmatrix b;
            EXPECT_BOMB(cholinvert(con, mat(c.a), b, n), "inverse", "sqrt negative");
            EXPECT_EQ(con.output, c.console);
        }
    }
}

}  // namespace
}  // namespace qv
