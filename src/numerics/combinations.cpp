#include "numerics/combinations.hpp"

#include "base/convert.hpp"

namespace qv {

namespace {

constexpr int16 nslots = iemvector::capacity();

int16 plus1(int16 v) {
    return narrow16(v + 1);
}

}  // namespace

void startcombination(iemvector& a, int16 k) {
    for (int16 i = 1; i < k; ++i) a[i] = i;
    a[k] = narrow16(k - 1);
    for (int16 i = plus1(k); i <= nslots; ++i) a[i] = -1;
}

void nextcombination(iemvector& a, int16 k, int16 n, bool& more) {
    a[k] = plus1(a[k]);
    if (a[k] <= n) {
        more = true;
        return;
    }
    if (k == 1) {
        more = false;
        return;
    }
    // The rightmost position still below its highest value n - k + i moves up by one, and the
    // positions after it restart as the smallest increasing run above it.
    int16 i = narrow16(k - 1);
    while (i >= 1 && a[i] == n - k + i) --i;
    if (i < 1) {
        more = false;
        return;
    }
    a[i] = plus1(a[i]);
    for (int16 j = plus1(i); j <= k; ++j) a[j] = narrow16(a[i] + j - i);
    more = true;
}

void startmultiindex(iemvector& a, int16 k) {
    for (int16 i = 1; i < k; ++i) a[i] = 1;
    a[k] = 0;
    for (int16 i = plus1(k); i <= nslots; ++i) a[i] = -1;
}

void nextmultiindex(iemvector& a, const iemvector& limits, int16 k, bool& more) {
    a[k] = plus1(a[k]);
    if (a[k] <= limits[k]) {
        more = true;
        return;
    }
    if (k == 1) {
        more = false;
        return;
    }
    int16 i = narrow16(k - 1);
    while (i >= 1 && a[i] == limits[i]) --i;
    if (i < 1) {
        more = false;
        return;
    }
    a[i] = plus1(a[i]);
    for (int16 j = plus1(i); j <= k; ++j) a[j] = 1;
    more = true;
}

}  // namespace qv
