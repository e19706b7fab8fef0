#pragma once
// Powers of the program's own: exact powers of ten and powers to small rational exponents.

#include "base/real.hpp"

namespace qv {

// 10^n for n = -10..10, the extended value nearest to it; other n stop the run.
real tentopower(int16 n);
// x^(p/q); x must be positive unless the exponent p/q is a whole number, when a negative x gives
// the power with its sign.
real rationalpower(int16 p, int16 q, real x);

}  // namespace qv
