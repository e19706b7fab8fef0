#pragma once
// Small numerical services: the Wichmann-Hill uniform generator and its seeding, powers of ten,
// powers to small rational exponents, and two enumerators over index arrays (the k-subsets of
// 1..n, and the tuples of a mixed-radix counter).

#include "base/families.hpp"
#include "textio/console.hpp"
#include "textio/session.hpp"

namespace qv {

// Seeds the generator: 130, 136, 140 when fixed, else the hour, second and millisecond of `now`;
// each then plus 1, so that no component generator starts at 0.
void seedwhrandom(WhSeeds& seeds, bool fixed, const DateTime& now);
// A uniform deviate in [0, 1); advances the seeds.
real whrandom(WhSeeds& seeds);

// 10^n for n = -10..10, the extended value nearest to it; other n stop the run.
real tentopower(int16 n);
// x^(p/q); x must be positive unless the exponent is 1/2 or a whole number 0..8.
real rationalpower(int16 p, int16 q, real x);

// The index arrays of the enumerators: one of length k uses slots 1..k.
// Sets a just before the first k-subset, so that `nextcombination` then yields 1, 2, .., k.
void startcombination(iemvector& a, int16 k);
// Advances a to the next k-subset of 1..n in lexicographic order; more is false after the last
// (1 <= k <= n).
void nextcombination(iemvector& a, int16 k, int16 n, bool& more);
// Sets a just before the first tuple, so that `nextmultiindex` then yields all ones.
void startmultiindex(iemvector& a, int16 k);
// Advances a to the next tuple with 1 <= a[i] <= limits[i], the last position fastest; more is
// false after the last (every limit at least 1).
void nextmultiindex(iemvector& a, const iemvector& limits, int16 k, bool& more);

}  // namespace qv
