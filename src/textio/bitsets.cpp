#include "textio/bitsets.hpp"

#include "base/convert.hpp"
#include "base/fatal.hpp"

namespace qv {

namespace {

constexpr int16 lastbit = 30;     // highest member of a 32-bit set
constexpr int16 lastmember = 90;  // highest member of a 96-bit set

int32 mask(int16 i) {
    return int32{1} << i;
}

// The word of a 96-bit set that holds member i (0..90), and the member's bit in it.
int wordof(int16 i, int16& bit) {
    if (i <= lastbit) {
        bit = i;
        return 1;
    }
    if (i <= 2 * lastbit) {
        bit = narrow16(i - lastbit);
        return 2;
    }
    bit = narrow16(i - 2 * lastbit);
    return 3;
}

}  // namespace

void BSet(int32& set, int16 i) {
    if (i < 0 || i > lastbit) bomb("BSet", "out of range", yourfault);
    set |= mask(i);
}

bool inchannels(int32 set, int16 i) {
    // Members outside 0..30 cannot be in a set; the shift would be undefined for them.
    if (i < 0 || i > lastbit) return false;
    return (set & mask(i)) != 0;
}

int32 BAnd(int32 a, int32 b) {
    return a & b;
}

int32 BOr(int32 a, int32 b) {
    return a | b;
}

void BSet2(longint3& s, int16 i) {
    if (i > lastmember) bomb("BSet2", "out of range", yourfault);
    int16 bit = 0;
    const int w = wordof(i, bit);
    BSet(s[w], bit);
}

bool BTst2(const longint3& s, int16 i) {
    if (i > lastmember) bomb("BTst2", "out of range", yourfault);
    int16 bit = 0;
    const int w = wordof(i, bit);
    return inchannels(s[w], bit);
}

void BClear(longint3& s) {
    s.fill(0);
}

bool BSubset(const longint3& a, const longint3& b) {
    for (int w = 1; w <= 3; ++w) {
        if (BAnd(a[w], b[w]) != a[w]) return false;
    }
    return true;
}

}  // namespace qv
