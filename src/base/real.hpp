#pragma once
// The program's reals and integer kinds: 80-bit extended reals throughout, 16-bit counts and
// indices, 32-bit masks and long counts; and the gas constant that every energy term shares.

#include <cstdint>
#include <limits>

namespace qv {

using real = long double;
static_assert(std::numeric_limits<real>::digits == 64, "80-bit extended reals required");

using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;

// Gas constant, kJ/K/mol: the one value of R for every RT term (end-members, mixing, fluids,
// buffers), so that energies from different terms stay consistent to the last digit.
inline constexpr real rgas = 0.0083144L;

}  // namespace qv
