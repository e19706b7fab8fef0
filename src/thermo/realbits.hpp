#pragma once
// Bit-for-bit comparison of reals, for the tables that keep values formed from given arguments:
// a value is reused only when every argument it was formed from is the same bit for bit.

#include <cstdint>
#include <cstring>

#include "base/real.hpp"

namespace qv {

// The significant bytes of an 80-bit real: the 64-bit significand, then sign and exponent. The
// rest of its storage is padding, which is not compared.
inline constexpr std::size_t realsignificandbytes = 8;
static_assert(sizeof(real) >= realsignificandbytes + 2);

// Zero exactly when a and b have the same bits (padding aside); without a branch, so that the
// differences of many values can be gathered with | and tested once.
inline std::uint64_t realbitdiff(const real& a, const real& b) {
    std::uint64_t ma = 0;
    std::uint64_t mb = 0;
    std::uint16_t ea = 0;
    std::uint16_t eb = 0;
    const auto* pa = reinterpret_cast<const unsigned char*>(&a);
    const auto* pb = reinterpret_cast<const unsigned char*>(&b);
    std::memcpy(&ma, pa, sizeof ma);
    std::memcpy(&mb, pb, sizeof mb);
    std::memcpy(&ea, pa + realsignificandbytes, sizeof ea);
    std::memcpy(&eb, pb + realsignificandbytes, sizeof eb);
    return (ma ^ mb) | static_cast<std::uint64_t>(ea ^ eb);
}

inline bool samebits(const real& a, const real& b) {
    return realbitdiff(a, b) == 0;
}

}  // namespace qv
