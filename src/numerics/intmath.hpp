#pragma once
// Exact integer tools: gcd and lcm of numbers and vectors, reals scaled to integers, the rank of
// an integer matrix by fraction-free row reduction, and the integer null space of a composition
// matrix, which gives a complete set of balanced reactions among end-members.
//
// Integer results that would leave their storage type stop the run with "integer overflow in "
// and the routine's name rather than wrapping.

#include "base/families.hpp"

namespace qv {

// Stops the run with "integer overflow in " and the routine's name.
[[noreturn]] void overflow(const char* routine);
// v narrowed to 32 (16) bits; a value that does not fit stops the run as an overflow in `routine`.
int32 fit32(int64 v, const char* routine);
int16 fit16(int64 v, const char* routine);
// gcd of |a| and |b| in 64 bits; gcd(0, b) = |b|.
int64 gcd64(int64 a, int64 b);

// gcd of |a| and |b|; gcd(0, b) = |b|.
int32 gcd(int32 a, int32 b);
// gcd of v[1..n]: 0 when n is outside 1..400, v[1] itself (sign kept) when n = 1.
int32 vectorgcd(const liemvector& v, int16 n);
// The same of v[0..n - 1].
int32 vectorgcd(const int32* v, int16 n);
// Least common multiple, non-negative except that lcm(a, a) = a; 0 when a or b is 0.
int32 lcm(int32 a, int32 b);
// lcm of v[1..n], 0 for n < 1; the running value must stay within 16 bits.
int32 vectorlcm(const liemvector& v, int16 n);
// Scales x[1..n] to integers by the lcm l of the denominators of their rational forms.
void rationals2integers(xemvector& x, int16 n, int32& l);
// Rank of the m x n matrix a by fraction-free elimination (a is not changed).
int16 integerechelon(const liemmatrix& a, int16 m, int16 n);
// Appends to r (count nreac) one balanced reaction for each free column of the m x n
// composition matrix a, in descending column order, checking each against the compositions c;
// returns the rank of a.
int16 nullspace(const liemmatrix& a, int16 m, int16 n, const icmatrix& c, rmatrix& r, int16& nreac);

}  // namespace qv
