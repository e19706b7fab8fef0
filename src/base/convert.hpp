#pragma once
// The program's conversions between number types, each with one home: integers narrowed to the
// 16-bit counts and indices of the fixed arrays, and integer ratios formed as the program's
// rational coefficients are.

#include <concepts>
#include <limits>
#include <utility>

#include "base/fatal.hpp"
#include "base/real.hpp"

namespace qv {

// An integer as a 16-bit count or index; a value outside the 16-bit range is a fault of the
// program, never a silent wrap.
template <std::integral T>
constexpr int16 narrow16(T v) {
    if (std::cmp_less(v, std::numeric_limits<int16>::min()) ||
        std::cmp_greater(v, std::numeric_limits<int16>::max())) {
        bomb("narrow16", "value out of the 16-bit range", myfault);
    }
    return static_cast<int16>(v);
}

// num/den as the program forms its rational coefficients: divided in double, then widened.
// Values read from or written to files match their double roundings.
inline real doubleratio(long long num, long long den) {
    return static_cast<real>(static_cast<double>(num) / static_cast<double>(den));
}

}  // namespace qv
