#pragma once
// Text of numbers: the program's own decimal conversion, so that every printed digit is fixed.

#include <string>

#include "base/real.hpp"
#include "textio/words.hpp"

namespace qv {

inline constexpr int significantmode = 0;
inline constexpr int fixedmode = 1;

decimalrec real2digits(int mode, int p, real x);
std::string digits2text(int mode, int w, const decimalrec& rec);
// x with d decimals (fixed) or d significant digits, in fixed or exponent form.
std::string realfixstr(int d, bool fixed, real x);
// x rounded to a whole number, halves to even.
std::string realstr(real x);
int16 ndecimals(real x);
std::string digits22(std::string_view s);
// The ending of limit messages: " (max = n) ".
std::string maxtext(int n);

}  // namespace qv
