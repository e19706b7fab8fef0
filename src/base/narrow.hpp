#pragma once
// Integers narrowed to the 16-bit counts and indices of the fixed arrays.

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

}  // namespace qv
