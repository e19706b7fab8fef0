#include "numerics/sorting.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

using List = std::vector<real>;

std::unique_ptr<sortvector> listof(const List& values) {
    auto a = std::make_unique<sortvector>();
    for (std::size_t i = 0; i < values.size(); ++i) (*a)[static_cast<int>(i) + 1] = values[i];
    return a;
}

List firstn(const sortvector& a, int n) {
    List out;
    for (int i = 1; i <= n; ++i) out.push_back(a[i]);
    return out;
}

TEST(Shellsort, SortsOnlyTheFirstNEntries) {
    struct Case {
        List in;
        int n;
        List out;
    };
    const std::vector<Case> cases = {
        {{3, 1, 2}, 3, {1, 2, 3}},
        {{5}, 1, {5}},
        {{2, 1}, 0, {2, 1}},
        {{4, -1, 4, 0, -1}, 5, {-1, -1, 0, 4, 4}},
        {{9, 8, 7, 1}, 3, {7, 8, 9, 1}},
    };
    for (const Case& c : cases) {
        auto a = listof(c.in);
        shellsort(*a, static_cast<int16>(c.n));
        EXPECT_EQ(firstn(*a, static_cast<int>(c.in.size())), c.out);
    }
}

TEST(Shellsort, AgreesWithStdSortOnLongLists) {
    std::mt19937_64 gen(3);
    std::uniform_int_distribution<int> dist(-50, 50);  // many ties
    for (int n : {2, 17, 1000, 5000}) {
        List values(static_cast<std::size_t>(n));
        for (real& x : values) x = dist(gen) / 4.0L;
        auto a = listof(values);
        shellsort(*a, static_cast<int16>(n));
        std::sort(values.begin(), values.end());
        EXPECT_EQ(firstn(*a, n), values);
    }
}

TEST(Findmedian, OddEvenAndSingle) {
    struct Case {
        List in;
        real median;
    };
    const std::vector<Case> cases = {
        {{5}, 5}, {{3, 1, 2}, 2}, {{4, 1, 3, 2}, 2.5L}, {{-1, 10}, 4.5L}};
    for (const Case& c : cases) {
        auto a = listof(c.in);
        EXPECT_EQ(findmedian(*a, static_cast<int16>(c.in.size())), c.median);
        EXPECT_EQ(firstn(*a, static_cast<int>(c.in.size())), c.in);  // caller's order kept
    }
    EXPECT_BOMB(findmedian(*listof({}), 0), "findmedian", "zero length list");
}

TEST(Findmad, ScaledMedianAbsoluteDeviation) {
    struct Case {
        List in;
        real m;
        real mad;
    };
    const std::vector<Case> cases = {
        {{1, 2, 3, 4, 100}, 3, 1 / 0.6745L},  // deviations 0, 1, 1, 2, 97
        {{7}, 0, 0},                          // one value has no spread, whatever m
        {{1, 2, 3, 4}, 0, 2.5L / 0.6745L},
        {{10, -10, 4}, 1, 9 / 0.6745L},
    };
    for (const Case& c : cases) {
        auto a = listof(c.in);
        EXPECT_REL_NEAR(findmad(*a, static_cast<int16>(c.in.size()), c.m), c.mad, 1e-18L);
        EXPECT_EQ(firstn(*a, static_cast<int>(c.in.size())), c.in);
    }
    EXPECT_BOMB(findmad(*listof({}), 0, 1), "findmad", "zero length list");
}

TEST(Roundup, QuantilePositions) {
    struct Case {
        int n;
        real p;
        int pos;
    };
    const Case cases[] = {
        {20, 0.05L, 1},  {20, 0.975L, 20},  {10, 0.3000000001L, 3}, {10, 0.31L, 4},
        {20, 0.025L, 1}, {1000, 0.5L, 500}, {7, 0.5L, 4},           {10, 0.0L, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundup(static_cast<int16>(c.n), c.p), c.pos)
            << c.n << " x " << static_cast<double>(c.p);
    }
}

}  // namespace
}  // namespace qv
