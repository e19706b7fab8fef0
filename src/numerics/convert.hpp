#pragma once
// The program's conversions between number types, each with one home: integers narrowed to the
// 16-bit counts and indices of the fixed arrays (base/narrow.hpp, so that the text layer below
// this one uses it too), and integer ratios formed as the program's rational coefficients are.

#include "base/narrow.hpp"
#include "base/real.hpp"

namespace qv {

// num/den as the program forms its rational coefficients: divided in double, then widened.
// Values read from or written to files match their double roundings.
inline real doubleratio(long long num, long long den) {
    return static_cast<real>(static_cast<double>(num) / static_cast<double>(den));
}

}  // namespace qv
