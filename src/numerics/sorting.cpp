#include "numerics/sorting.hpp"

#include <cmath>
#include <memory>
#include <utility>

#include "base/convert.hpp"
#include "base/fatal.hpp"

namespace qv {
namespace {

// Ratio of the median absolute deviation to the standard deviation of a normal distribution.
constexpr real madscale = 0.6745L;

// The middle value of the sorted s[1..n], n >= 1.
real middle(const sortvector& s, int16 n) {
    if (n == 1) return s[1];
    if (n % 2 == 1) return s[n / 2 + 1];
    return (s[n / 2] + s[n / 2 + 1]) * 0.5L;
}

}  // namespace

void shellsort(sortvector& a, int16 n) {
    if (n < 2) return;
    for (int gap = n / 2; gap > 0; gap /= 2) {
        for (int i = 1; i <= n - gap; ++i) {
            for (int j = i; j > 0 && a[j + gap] < a[j]; j -= gap) std::swap(a[j], a[j + gap]);
        }
    }
}

real findmedian(const sortvector& a, int16 n) {
    auto s = std::make_unique<sortvector>(a);
    shellsort(*s, n);
    if (n <= 0) bomb("findmedian", "zero length list", yourfault);
    return middle(*s, n);
}

real findmad(const sortvector& a, int16 n, real m) {
    // An empty list has no spread to estimate; it stops the run as the median of one does.
    if (n <= 0) bomb("findmad", "zero length list", yourfault);
    auto d = std::make_unique<sortvector>();
    for (int i = 1; i <= n; ++i) (*d)[i] = std::fabs(a[i] - m);
    shellsort(*d, n);
    if (n == 1) return 0;
    return middle(*d, n) / madscale;
}

int16 roundup(int16 n, real p) {
    const real v = n * p;
    const real r = std::nearbyint(v);  // ties to even in the default rounding mode
    if (std::fabs(r - v) <= 1e-8L) return static_cast<int16>(r);
    return static_cast<int16>(std::trunc(v) + 1);
}

}  // namespace qv
