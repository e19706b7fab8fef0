#include "numerics/powers.hpp"

#include <array>
#include <cmath>
#include <cstddef>

#include "base/fatal.hpp"
#include "numerics/convert.hpp"

namespace qv {

namespace {

// Decimal literals give the extended value nearest to each power.
constexpr std::array<real, 21> powersoften = {1e-10L, 1e-9L, 1e-8L, 1e-7L, 1e-6L, 1e-5L, 1e-4L,
                                              1e-3L,  1e-2L, 1e-1L, 1e0L,  1e1L,  1e2L,  1e3L,
                                              1e4L,   1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L};

}  // namespace

real tentopower(int16 n) {
    if (n < -10 || n > 10) bomb("tentopower", "stuffed", yourfault);
    return powersoften[static_cast<std::size_t>(n + 10)];
}

real rationalpower(int16 p, int16 q, real x) {
    if (p == 1 && q == 2) return std::sqrt(x);
    if (q == 1) {
        // Whole exponents by repeated squaring, so that a negative x is allowed.
        const real x2 = x * x;
        switch (p) {
            case 0: return 1.0L;
            case 1: return x;
            case 2: return x2;
            case 3: return x2 * x;
            case 4: return x2 * x2;
            case 5: return x2 * x2 * x;
            case 6: return x2 * x2 * x2;
            case 7: return x2 * x * (x2 * x2);
            case 8: {
                const real x4 = x2 * x2;
                return x4 * x4;
            }
            default: break;
        }
    }
    if (x < 0 && q != 0 && p % q == 0) {
        // A whole exponent: the power of |x| with the sign of an odd power.
        const auto m = narrow16(p / q);
        const real r = rationalpower(m, 1, -x);
        return m % 2 == 0 ? r : -r;
    }
    if (q == 1) return std::exp(static_cast<real>(p) * std::log(x));
    // The exponent is rounded to double before it scales ln x: the last bits of site-fraction
    // powers, and so of activities, depend on it.
    return std::exp(doubleratio(p, q) * std::log(x));
}

}  // namespace qv
