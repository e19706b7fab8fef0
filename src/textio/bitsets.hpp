#pragma once
// Small sets of flags held in machine words. A 32-bit set holds members 0 to 30 (bit 31 is
// never used); it is the form of the output-channel set. A 96-bit set (`longint3`) holds
// members 0 to 90 for the reaction code's sets of end-members and phases.

#include "base/fixed.hpp"
#include "base/real.hpp"

namespace qv {

// Three 32-bit words, numbered 1 to 3. Member i lies in word 1 at bit i (0..30), in word 2 at
// bit i - 30 (31..60) and in word 3 at bit i - 60 (61..90); bit 0 of words 2 and 3 stays clear.
using longint3 = Fixed1<int32, 3>;

// Adds member i (0..30) to a 32-bit set; any other i stops the run.
void BSet(int32& set, int16 i);
// True when member i is in the 32-bit set (also the test whether channel i is in a mask).
bool inchannels(int32 set, int16 i);
int32 BAnd(int32 a, int32 b);
int32 BOr(int32 a, int32 b);

// Adds member i (0..90) to a 96-bit set; i above 90 stops the run.
void BSet2(longint3& s, int16 i);
// True when member i (0..90) is in the 96-bit set; i above 90 stops the run.
bool BTst2(const longint3& s, int16 i);
void BClear(longint3& s);
// True when every member of a is in b.
bool BSubset(const longint3& a, const longint3& b);

}  // namespace qv
