#pragma once
// Enumerators over index arrays: the k-subsets of 1..n, and the tuples of a mixed-radix counter.

#include "base/families.hpp"

namespace qv {

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
