#pragma once
// Order statistics of lists of extended reals (the first n entries of a `sortvector`): an
// in-place ascending sort, the median, the median absolute deviation scaled to a standard
// deviation, and the list position of a quantile.

#include "base/families.hpp"

namespace qv {

// Sorts a[1..n] ascending (Shell's sort with halving gaps); equal values keep their order of
// comparison, n < 2 leaves the list alone.
void shellsort(sortvector& a, int16 n);
// The median of a[1..n]; the caller's list keeps its order. An empty list stops the run.
real findmedian(const sortvector& a, int16 n);
// The median of |a[i] - m| divided by 0.6745, an estimate of the standard deviation of a[1..n]
// about m that outliers hardly move. An empty list stops the run ("zero length list").
real findmad(const sortvector& a, int16 n, real m);
// The position in a sorted list of n values of the fraction p (a quantile): n p when that is
// within 1e-8 of a whole number, otherwise n p rounded up.
int16 roundup(int16 n, real p);

}  // namespace qv
