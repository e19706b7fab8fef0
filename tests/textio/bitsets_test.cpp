#include "textio/bitsets.hpp"

#include <gtest/gtest.h>

#include "support/fakes.hpp"

namespace qv {
namespace {

longint3 make3(int32 w1, int32 w2, int32 w3) {
    longint3 s;
    s[1] = w1;
    s[2] = w2;
    s[3] = w3;
    return s;
}

TEST(BitSet32, SetIsIdempotentAndKeepsOtherMembers) {
    int32 set = 0;
    BSet(set, 5);
    BSet(set, 5);
    EXPECT_EQ(set, 32);
    BSet(set, 0);
    BSet(set, 30);
    EXPECT_EQ(set, 32 + 1 + (int32{1} << 30));
}

TEST(BitSet32, MembersOutsideZeroToThirtyStopTheRun) {
    int32 set = 0;
    EXPECT_BOMB(BSet(set, 31), "BSet", "out of range");
    EXPECT_BOMB(BSet(set, -1), "BSet", "out of range");
    EXPECT_EQ(set, 0);
}

TEST(BitSet32, MembershipAndWordOperations) {
    EXPECT_TRUE(inchannels(9, 3));
    EXPECT_TRUE(inchannels(9, 0));
    EXPECT_FALSE(inchannels(9, 2));
    EXPECT_TRUE(inchannels(int32{1} << 30, 30));
    EXPECT_FALSE(inchannels(-1, 31));  // bit 31 is never a member
    EXPECT_EQ(BAnd(13, 7), 5);
    EXPECT_EQ(BOr(8, 5), 13);
}

TEST(BitSet96, MembersLandInTheirWordAndBit) {
    struct Case {
        int16 member;
        int32 w1, w2, w3;
    };
    const Case cases[] = {
        {0, 1, 0, 0},  {30, int32{1} << 30, 0, 0}, {31, 0, 2, 0}, {60, 0, int32{1} << 30, 0},
        {61, 0, 0, 2}, {90, 0, 0, int32{1} << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        longint3 s;
        BSet2(s, c.member);
        EXPECT_EQ(s[1], c.w1);
        EXPECT_EQ(s[2], c.w2);
        EXPECT_EQ(s[3], c.w3);
        for (int16 i = 0; i <= 90; ++i) EXPECT_EQ(BTst2(s, i), i == c.member) << i;
    }
}

TEST(BitSet96, MembersAboveNinetyStopTheRun) {
    longint3 s;
    EXPECT_BOMB(BSet2(s, 91), "BSet2", "out of range");
    EXPECT_BOMB(BTst2(s, 91), "BTst2", "out of range");
}

TEST(BitSet96, ClearEmptiesEveryWord) {
    longint3 s = make3(7, 6, 1 << 20);
    BClear(s);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[3], 0);
}

TEST(BitSet96, Subset) {
    const longint3 empty = make3(0, 0, 0);
    const longint3 b = make3(0b1011, 0b110, 0b10);
    struct Case {
        const char* what;
        longint3 a, b;
        bool subset;
    };
    const Case cases[] = {
        {"empty in empty", empty, empty, true},
        {"empty in any", empty, b, true},
        {"non-empty in empty", make3(0, 0, 2), empty, false},
        {"equal sets", b, b, true},
        {"proper subset across words", make3(0b1, 0b100, 0b10), b, true},
        {"one member missing in word 3", make3(0b1, 0, 0b110), b, false},
        {"one member missing in word 1", make3(0b100, 0, 0), b, false},
        {"superset", b, make3(0b1011, 0b110, 0), false},
    };
    for (const Case& c : cases) EXPECT_EQ(BSubset(c.a, c.b), c.subset) << c.what;
}

}  // namespace
}  // namespace qv
