#include "numerics/intmath.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

using Rows = std::vector<std::vector<int>>;

liemvector vec(const std::vector<int>& v) {
    liemvector out;
    for (std::size_t i = 0; i < v.size(); ++i) out[static_cast<int>(i) + 1] = v[i];
    return out;
}

std::unique_ptr<liemmatrix> mat(const Rows& rows) {
    auto a = std::make_unique<liemmatrix>();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows[i].size(); ++j) {
            (*a)[static_cast<int>(i) + 1][static_cast<int>(j) + 1] = rows[i][j];
        }
    }
    return a;
}

// The composition matrix that nullspace checks its reactions against, and the reaction table.
struct NullspaceRun {
    std::unique_ptr<icmatrix> c = std::make_unique<icmatrix>();
    std::unique_ptr<rmatrix> r = std::make_unique<rmatrix>();
    int16 nreac = 0;
    int16 rank = 0;

    explicit NullspaceRun(const Rows& rows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (std::size_t j = 0; j < rows[i].size(); ++j) {
                (*c)[static_cast<int>(i) + 1][static_cast<int>(j) + 1] =
                    static_cast<int16>(rows[i][j]);
            }
        }
        const auto m = static_cast<int16>(rows.size());
        const auto n = static_cast<int16>(rows[0].size());
        rank = nullspace(*mat(rows), m, n, *c, *r, nreac);
        width = n;
    }
    Rows reactions() const {
        Rows out;
        for (int i = 1; i <= nreac; ++i) {
            std::vector<int> row;
            for (int k = 1; k <= width; ++k) row.push_back((*r)[i][k]);
            out.push_back(row);
        }
        return out;
    }
    int16 width = 0;
};

TEST(IntMath, GcdAndLcmOfPairs) {
    struct Case {
        int32 a, b, g, l;
    };
    const Case cases[] = {
        {0, 0, 0, 0},  {-12, 18, 6, 36}, {0, 5, 5, 0},  {7, 0, 7, 0},
        {4, 6, 2, 12}, {-3, -3, 3, -3},  {5, 7, 1, 35}, {-4, 6, 2, 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gcd(c.a, c.b), c.g) << c.a << " " << c.b;
        EXPECT_EQ(lcm(c.a, c.b), c.l) << c.a << " " << c.b;
    }
}

TEST(IntMath, VectorGcdAndLcm) {
    EXPECT_EQ(vectorgcd(vec({-4}), 1), -4);  // a single entry keeps its sign
    EXPECT_EQ(vectorgcd(vec({4, 6, 9}), 3), 1);
    EXPECT_EQ(vectorgcd(vec({12, -18, 30}), 3), 6);
    EXPECT_EQ(vectorgcd(vec({1, 2}), 0), 0);
    EXPECT_EQ(vectorlcm(vec({2, 3, 4}), 3), 12);
    EXPECT_EQ(vectorlcm(vec({-5}), 1), -5);
    EXPECT_EQ(vectorlcm(vec({1, 2}), 0), 0);
}

TEST(IntMath, OverflowStopsInsteadOfWrapping) {
    // 181 * 191 = 34571 leaves the 16-bit running lcm.
    EXPECT_BOMB(vectorlcm(vec({181, 191}), 2), "vectorlcm", "integer overflow in vectorlcm");
    EXPECT_BOMB(lcm(65536, 65537), "lcm", "integer overflow in lcm");
    // Eliminating with entries near 2^31 makes products beyond 32 bits.
    auto big = mat({{3, 2000000000}, {2, -2000000000}});
    EXPECT_BOMB(integerechelon(*big, 2, 2), "integerechelon", "integer overflow in integerechelon");
}

// The 16-bit limit is exact at both ends: the last value that fits is kept, the next one stops.
TEST(IntMath, SixteenBitLimitIsExact) {
    struct Case {
        int64 v;
        bool fits;
    };
    const Case cases[] = {{32767, true},   {-32768, true}, {32768, false},
                          {-32769, false}, {0, true},      {70000, false}};
    for (const auto& c : cases) {
        if (c.fits) {
            EXPECT_EQ(fit16(c.v, "re"), c.v);
        } else {
            EXPECT_BOMB(fit16(c.v, "re"), "re", "integer overflow in re");
        }
    }
    // 217 * 151 = 32767 = 7 * 31 * 151, the largest running lcm a reaction table can hold.
    EXPECT_EQ(vectorlcm(vec({217, 151}), 2), 32767);
}

TEST(IntMath, RationalsToIntegers) {
    xemvector x;
    x[1] = 0.5L;
    x[2] = 0.25L;
    x[3] = 2.0L;
    int32 l = 0;
    rationals2integers(x, 3, l);
    EXPECT_EQ(l, 4);
    EXPECT_EQ(x[1], 2.0L);
    EXPECT_EQ(x[2], 1.0L);
    EXPECT_EQ(x[3], 8.0L);

    // A third written to four decimals is still a third.
    x[1] = 0.3333L;
    x[2] = 1.0L;
    rationals2integers(x, 2, l);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(x[1], 1.0L);
    EXPECT_EQ(x[2], 3.0L);
}

TEST(IntMath, EchelonRank) {
    struct Case {
        Rows a;
        int rank;
    };
    const std::vector<Case> cases = {
        {{{0, 1}, {0, 2}}, 1},  // the only pivot lies in the last column
        {{{1, 0}, {0, 0}}, 1},
        {{{0, 0}, {0, 0}}, 0},
        {{{1, 2, 3}, {2, 4, 6}, {1, 0, 1}}, 2},
        {{{0, 2, 4}, {3, 1, 1}, {6, 2, 2}}, 2},  // pivot row found below, rows swapped
        {{{2, 4}, {3, 5}, {1, 1}}, 2},           // more rows than columns
        {{{1, 2, 1, 0}, {2, 2, 0, 1}}, 2},
    };
    for (const auto& c : cases) {
        auto a = mat(c.a);
        const auto before = (*a)[1][1];
        EXPECT_EQ(
            integerechelon(*a, static_cast<int16>(c.a.size()), static_cast<int16>(c.a[0].size())),
            c.rank);
        EXPECT_EQ((*a)[1][1], before);  // the caller's matrix is left alone
    }
}

TEST(IntMath, NullspaceGivesBalancedReactionsPerFreeEndMember) {
    struct Case {
        Rows c;
        int rank;
        Rows reactions;
    };
    const std::vector<Case> cases = {
        {{{1, 1, 0}, {0, 1, 1}}, 2, {{1, -1, 1}}},
        {{{1, 2, 1, 0}, {2, 2, 0, 1}}, 2, {{-2, 1, 0, 2}, {1, -1, 1, 0}}},
        // q, coe (SiO2), ky (Al2O3 SiO2), fo (2 MgO SiO2), en (2 MgO 2 SiO2), per (MgO):
        // components SiO2, Al2O3, MgO. Pivots fall on q, ky and fo; the free end-members per, en
        // and coe give fo = q + 2 per, en = q + fo and coe = q (worked by hand).
        {{{1, 1, 1, 1, 2, 0}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 2, 2, 1}},
         3,
         {{1, 0, 0, -1, 0, 2}, {-1, 0, 0, -1, 1, 0}, {-1, 1, 0, 0, 0, 0}}},
        // An end-member with no composition balances alone.
        {{{1, 0, 2}, {0, 0, 1}}, 2, {{0, 1, 0}}},
    };
    for (const auto& c : cases) {
        NullspaceRun run(c.c);
        EXPECT_EQ(run.rank, c.rank);
        EXPECT_EQ(run.reactions(), c.reactions);
    }
}

TEST(IntMath, NullspaceStopsBeforeTheReactionTableOverflows) {
    NullspaceRun first({{1, 1, 0}, {0, 1, 1}});
    ASSERT_EQ(first.nreac, 1);
    first.nreac = maxreac;
    EXPECT_BOMB(nullspace(*mat({{1, 1, 0}, {0, 1, 1}}), 2, 3, *first.c, *first.r, first.nreac),
                "nullspace", "too many reactions (max = 150) ");
    EXPECT_EQ(first.nreac, maxreac);
}

TEST(IntMath, NullspaceChecksAgainstTheCompositions) {
    // The matrix reduced and the compositions disagree: the reaction cannot balance.
    auto c = std::make_unique<icmatrix>();
    (*c)[1][1] = 1;
    (*c)[1][2] = 2;
    auto r = std::make_unique<rmatrix>();
    int16 nreac = 0;
    EXPECT_BOMB(nullspace(*mat({{1, 1}}), 1, 2, *c, *r, nreac), "nullspace",
                "reaction doesn't balance");
}

}  // namespace
}  // namespace qv
