// The conversions between number types: 16-bit narrowing that refuses a value out of range, and
// the rational coefficients formed in double and widened.

#include "base/convert.hpp"

#include <gtest/gtest.h>

#include "support/fakes.hpp"

namespace qv {
namespace {

TEST(Narrow16, KeepsTheRangeAndRefusesTheRest) {
    EXPECT_EQ(narrow16(32767), 32767);
    EXPECT_EQ(narrow16(-32768L), -32768);
    EXPECT_EQ(narrow16(std::size_t{7}), 7);
    for (long v : {32768L, -32769L, 100000L}) {
        EXPECT_BOMB(static_cast<void>(narrow16(v)), "narrow16", "value out of the 16-bit range");
    }
}

TEST(DoubleRatio, IsTheDoubleQuotientWidened) {
    // 1/3 rounded to double differs from 1/3 in long double; 1/4 is exact in both.
    EXPECT_EQ(doubleratio(1, 3), static_cast<real>(1.0 / 3.0));
    EXPECT_NE(doubleratio(1, 3), 1.0L / 3.0L);
    EXPECT_EQ(doubleratio(-1, 4), -0.25L);
}

}  // namespace
}  // namespace qv
