#include "numerics/random.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/combinations.hpp"
#include "numerics/powers.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv {
namespace {

using Tuples = std::vector<std::vector<int>>;

TEST(WhRandom, FixedSeedsGiveTheKnownFirstDeviate) {
    WhSeeds s;
    seedwhrandom(s, true, DateTime{});
    EXPECT_EQ(s.whs1, 131);
    EXPECT_EQ(s.whs2, 137);
    EXPECT_EQ(s.whs3, 141);

    const real r = whrandom(s);
    EXPECT_EQ(s.whs1, 22401);
    EXPECT_EQ(s.whs2, 23564);
    EXPECT_EQ(s.whs3, 23970);
    // The three fractions are summed in double; the sum lies between 2 and 3.
    const double sum = 22401.0 / 30269.0 + 23564.0 / 30307.0 + 23970.0 / 30323.0;
    EXPECT_EQ(r, static_cast<real>(sum - 2.0));
}

TEST(WhRandom, ClockSeedsAreHourSecondMillisecondPlusOne) {
    struct Case {
        int hour, second, millisecond;
        int32 s1, s2, s3;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 1, 1}, {23, 59, 999, 24, 60, 1000}, {14, 7, 250, 15, 8, 251}};
    for (const Case& c : cases) {
        DateTime now;
        now.hour = c.hour;
        now.minute = 42;
        now.second = c.second;
        now.millisecond = c.millisecond;
        WhSeeds s;
        seedwhrandom(s, false, now);
        EXPECT_EQ(s.whs1, c.s1);
        EXPECT_EQ(s.whs2, c.s2);
        EXPECT_EQ(s.whs3, c.s3);
    }
}

TEST(WhRandom, LongRunStaysInUnitIntervalWithSensibleMean) {
    WhSeeds s;
    seedwhrandom(s, true, DateTime{});
    const int n = 100000;
    real sum = 0;
    for (int i = 0; i < n; ++i) {
        const real r = whrandom(s);
        ASSERT_GE(r, 0.0L);
        ASSERT_LT(r, 1.0L);
        sum += r;
    }
    // The standard error of the mean of n uniform deviates is 1/sqrt(12 n), about 0.0009.
    EXPECT_ABS_NEAR(sum / n, 0.5L, 0.005L);
    EXPECT_NE(s.whs1, 0);
    EXPECT_NE(s.whs2, 0);
    EXPECT_NE(s.whs3, 0);
}

TEST(TenToPower, IsTheNearestExtendedValue) {
    real exact = 1;  // 10^m, exact in extended for m <= 10
    for (int16 m = 0; m <= 10; ++m) {
        EXPECT_EQ(tentopower(m), exact) << m;
        // A correctly rounded quotient of exact operands is the nearest value to 10^-m.
        EXPECT_EQ(tentopower(static_cast<int16>(-m)), 1.0L / exact) << -m;
        exact *= 10;
    }
    EXPECT_EQ(tentopower(-10), 1e-10L);
}

TEST(TenToPower, OutsideMinusTenToTenStopsTheRun) {
    EXPECT_BOMB(tentopower(11), "tentopower", "stuffed");
    EXPECT_BOMB(tentopower(-11), "tentopower", "stuffed");
}

TEST(RationalPower, WholeExponentsZeroToEightAreExactEvenForNegativeX) {
    // Powers of -1.5 are exact binary fractions: (-3)^p / 2^p.
    real expected = 1;
    for (int16 p = 0; p <= 8; ++p) {
        EXPECT_EQ(rationalpower(p, 1, -1.5L), expected) << p;
        expected *= -1.5L;
    }
}

// Any whole exponent, also beyond 8, negative, or written as a fraction, of a negative base: the
// power with its sign, never NaN.
TEST(RationalPower, WholeExponentsOfANegativeBaseKeepTheirSign) {
    struct Case {
        int16 p, q;
        real x, expected;
    };
    const Case cases[] = {
        {9, 1, -2.0L, -512.0L}, {10, 1, -1.5L, 57.6650390625L},
        {-1, 1, -4.0L, -0.25L}, {-2, 1, -2.0L, 0.25L},
        {4, 2, -3.0L, 9.0L},    {-6, 2, -2.0L, -0.125L},
        {11, 1, -1.0L, -1.0L},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p << "/" << c.q << " of " << static_cast<double>(c.x));
        EXPECT_REL_NEAR(rationalpower(c.p, c.q, c.x), c.expected, 1e-15L);
    }
}

TEST(RationalPower, OtherExponents) {
    struct Case {
        int16 p, q;
        real x, expected;
    };
    const Case cases[] = {
        {1, 2, 4.0L, 2.0L}, {3, 1, 2.0L, 8.0L},    {-1, 1, 4.0L, 0.25L},
        {2, 3, 8.0L, 4.0L}, {9, 1, 2.0L, 512.0L},  {2, 4, 9.0L, 3.0L},
        {1, 3, 0.0L, 0.0L}, {-3, 2, 4.0L, 0.125L}, {5, 5, 7.0L, 7.0L},
    };
    // Fractional exponents are rounded to double, which bounds the agreement near 1e-16.
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p << "/" << c.q << " of " << static_cast<double>(c.x));
        EXPECT_REL_NEAR(rationalpower(c.p, c.q, c.x), c.expected, 1e-15L);
    }
    EXPECT_EQ(rationalpower(1, 2, 2.0L), std::sqrt(2.0L));
}

TEST(RationalPower, FractionalExponentIsRoundedToDouble) {
    // With ln x near 690, the double rounding of 1/3 moves the result by about 1e-14 relative,
    // far more than extended rounding.
    const real x = 1e300L;
    const real viadouble = std::exp(static_cast<real>(1.0 / 3.0) * std::log(x));
    const real viaextended = std::exp(std::log(x) / 3.0L);
    ASSERT_GT(std::fabs(viadouble / viaextended - 1.0L), 1e-15L);
    EXPECT_REL_NEAR(rationalpower(1, 3, x), viadouble, 1e-17L);
}

Tuples allcombinations(int16 k, int16 n, const iemvector& start) {
    iemvector a = start;
    Tuples out;
    bool more = true;
    for (nextcombination(a, k, n, more); more; nextcombination(a, k, n, more)) {
        std::vector<int> t;
        for (int16 i = 1; i <= k; ++i) t.push_back(a[i]);
        out.push_back(t);
        if (out.size() > 1000) break;
    }
    return out;
}

TEST(Combinations, StartFillsSlotsBeyondKWithMinusOne) {
    iemvector a;
    a.fill(7);
    startcombination(a, 3);
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[2], 2);
    EXPECT_EQ(a[3], 2);
    EXPECT_EQ(a[4], -1);
    EXPECT_EQ(a[400], -1);
}

TEST(Combinations, KSubsetsInLexicographicOrder) {
    struct Case {
        int16 k, n;
        Tuples expected;
    };
    const Case cases[] = {
        {2, 4, {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}},
        {1, 3, {{1}, {2}, {3}}},
        {1, 1, {{1}}},
        {3, 3, {{1, 2, 3}}},
        {3,
         5,
         {{1, 2, 3},
          {1, 2, 4},
          {1, 2, 5},
          {1, 3, 4},
          {1, 3, 5},
          {1, 4, 5},
          {2, 3, 4},
          {2, 3, 5},
          {2, 4, 5},
          {3, 4, 5}}},
    };
    // Fractional exponents are rounded to double, which bounds the agreement near 1e-16.
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "k = " << c.k << ", n = " << c.n);
        iemvector a;
        startcombination(a, c.k);
        EXPECT_EQ(allcombinations(c.k, c.n, a), c.expected);
    }
}

TEST(Combinations, CountIsBinomialForALargerSet) {
    iemvector a;
    startcombination(a, 4);
    const Tuples all = allcombinations(4, 10, a);
    EXPECT_EQ(all.size(), 210u);  // 10! / (4! 6!)
    EXPECT_EQ(all.back(), (std::vector<int>{7, 8, 9, 10}));
}

Tuples alltuples(const std::vector<int16>& lims) {
    const auto k = static_cast<int16>(lims.size());
    iemvector limits;
    for (int16 i = 1; i <= k; ++i) limits[i] = lims[static_cast<std::size_t>(i - 1)];
    iemvector a;
    startmultiindex(a, k);
    Tuples out;
    bool more = true;
    for (nextmultiindex(a, limits, k, more); more; nextmultiindex(a, limits, k, more)) {
        std::vector<int> t;
        for (int16 i = 1; i <= k; ++i) t.push_back(a[i]);
        out.push_back(t);
        if (out.size() > 1000) break;
    }
    return out;
}

TEST(MultiIndex, StartFillsSlotsBeyondKWithMinusOne) {
    iemvector a;
    a.fill(7);
    startmultiindex(a, 3);
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[2], 1);
    EXPECT_EQ(a[3], 0);
    EXPECT_EQ(a[4], -1);
    EXPECT_EQ(a[400], -1);
}

TEST(MultiIndex, TuplesWithLastPositionFastest) {
    struct Case {
        std::vector<int16> limits;
        Tuples expected;
    };
    const Case cases[] = {
        {{2, 3}, {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}},
        {{3}, {{1}, {2}, {3}}},
        {{1, 1, 1}, {{1, 1, 1}}},
        // A limit of 1 in the middle is passed over when the carry moves left.
        {{2, 1, 2}, {{1, 1, 1}, {1, 1, 2}, {2, 1, 1}, {2, 1, 2}}},
    };
    for (const Case& c : cases) EXPECT_EQ(alltuples(c.limits), c.expected);
}

}  // namespace
}  // namespace qv
