#pragma once
// Closeness of long doubles, compared in long double (EXPECT_NEAR converts to double first).

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>

namespace qv::test {

// |a - b| <= tol, in long double; the failure shows both values in full.
inline ::testing::AssertionResult absnear(const char* ea, const char* eb, const char* etol,
                                          long double a, long double b, long double tol) {
    if (std::fabs(a - b) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::setprecision(21) << ea << " = " << a << ", " << eb << " = " << b
           << ": they differ by " << std::fabs(a - b) << ", more than " << etol;
}

}  // namespace qv::test

// |a - b| <= tol in long double; further text can be streamed in as with EXPECT_NEAR.
#define EXPECT_ABS_NEAR(a, b, tol) EXPECT_PRED_FORMAT3(::qv::test::absnear, a, b, tol)
