// Words of input lines, classing and conversion of number words.

#include "textio/words.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv {
namespace {

strings makewords(const std::vector<std::string>& ws) {
    strings s;
    for (std::size_t i = 0; i < ws.size(); ++i) s[static_cast<int>(i) + 1] = ws[i];
    return s;
}

// ---------------------------------------------------------------------------------------------
// Word layer

TEST(Words, BlankCharacters) {
    EXPECT_TRUE(isblankchar(' '));
    EXPECT_TRUE(isblankchar('\t'));
    EXPECT_TRUE(isblankchar('\xCA'));  // 202
    EXPECT_FALSE(isblankchar('\n'));
    EXPECT_FALSE(isblankchar('a'));
    EXPECT_FALSE(isblankchar('\0'));
}

TEST(Words, BlankBounds) {
    struct Case {
        std::string s;
        int first, last;
    };
    const std::vector<Case> cases = {
        {"", 0, 0},
        {"   ", 0, 0},
        {"\t\xCA ", 0, 0},
        {"a", 1, 1},
        {"  ab  ", 3, 4},
        {"\tx y\t", 2, 4},
        {"\xCA"
         "z",
         2, 2},
        {"abc", 1, 3},
    };
    for (const auto& c : cases) {
        int16 f = -1;
        int16 l = -1;
        blankbounds(c.s, f, l);
        EXPECT_EQ(f, c.first) << "[" << c.s << "]";
        EXPECT_EQ(l, c.last) << "[" << c.s << "]";
    }
}

TEST(Words, TrimStr22Spaces) {
    EXPECT_EQ(trim("  ab c\t"), "ab c");
    EXPECT_EQ(trim("\xCA"
                   "x"
                   "\xCA"),
              "x");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(str22("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrstuv");
    EXPECT_EQ(str22("short"), "short");
    EXPECT_EQ(spaces(0), "");
    EXPECT_EQ(spaces(250), "");
    EXPECT_EQ(spaces(-3), "");
    EXPECT_EQ(spaces(3), "   ");
    EXPECT_EQ(spaces(249), std::string(249, ' '));
}

TEST(Words, SameWord) {
    EXPECT_TRUE(sameword(" ab ", "ab"));
    EXPECT_TRUE(sameword("", "   "));
    EXPECT_TRUE(sameword("\t", ""));
    EXPECT_FALSE(sameword("ab", "Ab"));
    EXPECT_FALSE(sameword("ab", "a b"));
}

TEST(Words, PosInList) {
    const strings list = makewords({"q", "Si", "Al", "Si", "abcdefghijklmnopqrstuv"});
    int16 pos = -1;
    EXPECT_FALSE(posinlist("Si", list, 0, pos));
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(posinlist("Si", list, -4, pos));
    EXPECT_EQ(pos, 0);
    EXPECT_TRUE(posinlist("Si", list, 5, pos));
    EXPECT_EQ(pos, 2);                            // the first one found
    EXPECT_FALSE(posinlist("si", list, 5, pos));  // case-sensitive
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(posinlist("Al", list, 2, pos));  // only entries 1..n
    EXPECT_EQ(pos, 0);
    EXPECT_TRUE(posinlist("abcdefghijklmnopqrstuvwxyz", list, 5, pos));  // name cut to 22
    EXPECT_EQ(pos, 5);
}

TEST(Words, String2Strings) {
    struct Case {
        std::string line;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {"  ab\tcd  ", {"ab", "cd"}},
        {"", {}},
        {"   \t ", {}},
        {"one", {"one"}},
        {"a\xCA"
         "b c",
         {"a", "b", "c"}},
        {std::string(30, 'x') + " y", {std::string(22, 'x'), "y"}},
        {"dsfile ds62 % my data", {"dsfile", "ds62", "%", "my", "data"}},
    };
    for (const auto& c : cases) {
        strings w;
        w.fill("junk");
        int16 n = -1;
        string2strings(c.line, static_cast<int>(c.line.size()), w, n);
        ASSERT_EQ(n, static_cast<int16>(c.words.size())) << "[" << c.line << "]";
        for (int i = 1; i <= n; ++i) EXPECT_EQ(w[i], c.words[static_cast<std::size_t>(i - 1)]);
        for (int i = n + 1; i <= maxwords; ++i) EXPECT_EQ(w[i], "") << i;
    }
}

TEST(Words, String2StringsUsesOnlyLenCharacters) {
    strings w;
    int16 n = 0;
    string2strings("abc def", 5, w, n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(w[1], "abc");
    EXPECT_EQ(w[2], "d");
    string2strings("abc def", 0, w, n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(w[1], "");
}

TEST(Words, String2StringsLimit) {
    std::string line400;
    for (int i = 0; i < 400; ++i) line400 += "a ";
    strings w;
    int16 n = 0;
    string2strings(line400, static_cast<int>(line400.size()), w, n);
    EXPECT_EQ(n, 400);
    const std::string line401 = line400 + "b";
    EXPECT_BOMB(string2strings(line401, static_cast<int>(line401.size()), w, n), "string2strings",
                "too many \"" + line401 + "\"");
}

TEST(Words, Uncommented) {
    struct Case {
        std::string line;
        int n;
    };
    const std::vector<Case> cases = {
        {"dsfile ds62 % my data", 2},
        {"a%b c", 2},
        {"%all comment", 0},
        {"a b %c", 2},
        {"a b c", 3},
        {"", 0},
        {"x %", 1},
    };
    for (const auto& c : cases) {
        strings w;
        int16 n = 0;
        string2strings(c.line, static_cast<int>(c.line.size()), w, n);
        EXPECT_EQ(uncommented(w, n), c.n) << "[" << c.line << "]";
    }
}

// ---------------------------------------------------------------------------------------------
// Classification

TEST(Words, WhatIs) {
    using vt = valuetype;
    struct Case {
        std::string w;
        vt t;
    };
    const std::vector<Case> cases = {
        {"", vt::anemptystring},
        {"   ", vt::anemptystring},
        {"7", vt::aninteger},
        {"x", vt::astring},
        {"-", vt::astring},
        {"-12", vt::aninteger},
        {"1.5", vt::areal},
        {"2e-3", vt::areal},
        {"1e+5", vt::areal},
        {"1E5", vt::areal},
        {"3/4", vt::arational},
        {"5.", vt::astring},
        {"1e", vt::astring},
        {"1e-", vt::astring},
        {"1e+", vt::astring},
        {"+5", vt::astring},
        {".5", vt::astring},
        {"-.5", vt::astring},
        {"1.e5", vt::astring},
        {"-1/2", vt::arational},
        {"1/-2", vt::astring},
        {"3/", vt::astring},
        {"1/2/3", vt::astring},
        {"1.5/2", vt::astring},
        {"1/2.5", vt::astring},
        {"1e5/2", vt::astring},
        {"1.2.3", vt::astring},
        {"1e2e3", vt::astring},
        {"1e2.5", vt::astring},
        {"1e--5", vt::astring},
        {"1e5-", vt::astring},
        {"--5", vt::astring},
        {"12a", vt::astring},
        {" 42 ", vt::aninteger},
        {"1 2", vt::astring},
        {"0.25", vt::areal},
        {"-0.25e-10", vt::areal},
        {"1.5e3", vt::areal},
        {"00", vt::aninteger},
        {"ds62", vt::astring},
        // beyond the range of input numbers: a word, not a number; the smallest values go to 0
        {"1e99999", vt::astring},
        {"-1e4933", vt::astring},
        {"1e4932", vt::astring},
        {"1e4000", vt::astring},
        {"-1.1e300", vt::astring},
        {"1e300", vt::areal},
        {"1e-99999", vt::areal},
    };
    for (const auto& c : cases) EXPECT_EQ(whatis(c.w), c.t) << "[" << c.w << "]";
}

TEST(Words, IsNumeric) {
    EXPECT_FALSE(isnumeric(valuetype::anemptystring));
    EXPECT_TRUE(isnumeric(valuetype::aninteger));
    EXPECT_TRUE(isnumeric(valuetype::areal));
    EXPECT_TRUE(isnumeric(valuetype::arational));
    EXPECT_FALSE(isnumeric(valuetype::astring));
}

// ---------------------------------------------------------------------------------------------
// Conversion

TEST(Words, Text2Digits) {
    struct Case {
        std::string w;
        bool ok;
        bool negative;
        int exponent;
        std::string digits;
    };
    const std::vector<Case> cases = {
        {"123", true, false, 0, "123"},
        {"-1.25", true, true, -2, "125"},
        {"007", true, false, 0, "7"},
        {"0.000", true, false, 0, "0"},
        {"-0", true, true, 0, "0"},
        {"2.5e-1", true, false, -2, "25"},
        {"1e+5", true, false, 5, "1"},
        {"1E5", true, false, 5, "1"},
        {"0.05", true, false, -2, "5"},
        {"5.", true, false, 0, "5"},
        {".5", true, false, -1, "5"},
        {"1e5-", true, false, -5, "1"},  // the sign may stand anywhere in the exponent
        {"1e", true, false, 0, "1"},
        {"3/4", false, false, 0, ""},
        {"", false, false, 0, ""},
        {"-", false, false, 0, ""},
        {"abc", false, false, 0, ""},
        {"1.2.3", false, false, 0, ""},
        {"1e2e3", false, false, 0, ""},
        {"1e2.3", false, false, 0, ""},
        {"1e+-3", false, false, 0, ""},
        {"+5", false, false, 0, ""},
        // Mend: a mantissa without digits is not a number.
        {".", false, false, 0, ""},
        {"e", false, false, 0, ""},
        {"e5", false, false, 0, ""},
        {"-e5", false, false, 0, ""},
        {".e5", false, false, 0, ""},
    };
    for (const auto& c : cases) {
        decimalrec rec;
        bool ok = !c.ok;
        text2digits(c.w, rec, ok);
        EXPECT_EQ(ok, c.ok) << "[" << c.w << "]";
        if (!c.ok || !ok) continue;
        EXPECT_EQ(rec.negative, c.negative) << c.w;
        EXPECT_EQ(rec.exponent, c.exponent) << c.w;
        EXPECT_EQ(rec.digits, c.digits) << c.w;
    }
}

TEST(Words, PowerOf10) {
    // Exact powers of ten in extended precision.
    real p = 1.0L;
    for (int k = 0; k <= 27; ++k) {
        EXPECT_EQ(powerof10(k), p) << k;
        p *= 10.0L;
    }
    EXPECT_EQ(powerof10(-1), 1.0L / 10.0L);
    EXPECT_EQ(powerof10(-3), 1.0L / 1000.0L);
    // Up to 63 the factors 10 .. 1e32 in the order of the bits.
    EXPECT_EQ(powerof10(63), 1e1L * 1e2L * 1e4L * 1e8L * 1e16L * 1e32L);
    EXPECT_EQ(powerof10(-40), 1.0L / (1e8L * 1e32L));
    // Mend: every bit of |k| is used.
    EXPECT_REL_NEAR(powerof10(64), 1e64L, 1e-18L);
    EXPECT_REL_NEAR(powerof10(70), 1e70L, 1e-18L);
    EXPECT_REL_NEAR(powerof10(-70), 1e-70L, 1e-18L);
    EXPECT_REL_NEAR(powerof10(300), 1e300L, 1e-18L);
    EXPECT_REL_NEAR(powerof10(4000), 1e4000L, 1e-17L);
    EXPECT_EQ(powerof10(8192), std::numeric_limits<real>::infinity());
    EXPECT_EQ(powerof10(-8192), 0.0L);
}

TEST(Words, Str2Real) {
    struct Case {
        std::string w;
        bool ok;
        real x;
        std::string msg;
    };
    const std::vector<Case> cases = {
        {"1e+5", true, 100000.0L, ""},
        {"2.5e-1", true, 0.25L, ""},
        {"-12", true, -12.0L, ""},
        {"0", true, 0.0L, ""},
        {" 42 ", true, 42.0L, ""},
        {"1e70", true, 1e70L, ""},  // mend: not 1e6
        {"-1e300", true, -1e300L, ""},
        {"1e4000", false, 0.0L, "1e4000 not a real: replace with"},
        {"1e-70", true, 1e-70L, ""},
        {"abc", false, 0.0L, "abc not a real: replace with"},
        {"", false, 0.0L, ""},
        {"  ", false, 0.0L, ""},
        {"3/4", false, 0.0L, "3/4 not a real: replace with"},
        {".", false, 0.0L, ". not a real: replace with"},
        {"e", false, 0.0L, "e not a real: replace with"},
        {"e5", false, 0.0L, "e5 not a real: replace with"},
        {"1e99999", false, 0.0L, "1e99999 not a real: replace with"},
        {"-9e4932", false, 0.0L, "-9e4932 not a real: replace with"},
        {"1e-99999", true, 0.0L, ""},
    };
    for (const auto& c : cases) {
        real x = 99.0L;
        std::string msg = "junk";
        EXPECT_EQ(str2real(c.w, x, msg), c.ok) << "[" << c.w << "]";
        EXPECT_REL_NEAR(x, c.x, 1e-18L);
        EXPECT_EQ(msg, c.msg) << "[" << c.w << "]";
    }
    real x = 0.0L;
    std::string msg;
    ASSERT_TRUE(str2real("123.456", x, msg));
    EXPECT_EQ(x, 123456.0L * (1.0L / 1000.0L));  // digits times the reciprocal power
    ASSERT_TRUE(str2real("-3.5", x, msg));
    EXPECT_EQ(x, -3.5L);
}

// A number word's value is the digit record's: the digits folded one by one in extended reals
// times the power of ten. Words of 19 to 22 digits (where the fold starts to round), leading
// zeros, a zero with a huge exponent, signs, blanks and words cut at 22 characters.
TEST(Words, Str2RealAndWhatIsRealGiveTheDigitRecordsValue) {
    const std::vector<std::string> words = {
        "1234567890123456789",
        "12345678901234567891",
        "123456789012345678912",
        "9999999999999999999",
        "99999999999999999999",
        "999999999999999999999",
        "18446744073709551615",
        "18446744073709551617",
        "0000000000000000000001",
        "-0.000000000000000001",
        "0.12345678901234567891",
        "1234567890.1234567891",
        "123456789012345678901234",
        "-987654321098765432e-5",
        "0e5000",
        "-0",
        "000",
        "  7.25 ",
        "-1.5e+3",
        "2.0000000000000000001",
        "3.14159265358979323846",
    };
    for (const std::string& w : words) {
        decimalrec rec;
        bool ok = false;
        text2digits(w, rec, ok);
        ASSERT_TRUE(ok) << w;
        const real expected = digits2real(rec);
        real x = 0.0L;
        std::string msg;
        ASSERT_TRUE(str2real(w, x, msg)) << w;
        EXPECT_EQ(x, expected) << w;
        EXPECT_EQ(std::signbit(x), std::signbit(expected)) << w;
        real y = 1.0L;
        bool read = false;
        const valuetype t = whatisreal(w, y, read);
        EXPECT_EQ(t, whatis(w)) << w;
        EXPECT_TRUE(t == valuetype::aninteger || t == valuetype::areal) << w;
        EXPECT_TRUE(read) << w;
        EXPECT_EQ(y, expected) << w;
    }
    // Words str2real does not read, or that are not integers or reals.
    for (const std::string w : {"3/4", "1e4000", "abc", "", "1e", "-", "5."}) {
        real y = 1.0L;
        bool read = true;
        EXPECT_EQ(whatisreal(w, y, read), whatis(w)) << w;
        EXPECT_FALSE(read) << w;
        EXPECT_EQ(y, 0.0L) << w;
    }
}

TEST(Words, Str2Int) {
    struct Case {
        std::string w;
        bool ok;
        int i;
        std::string msg;
    };
    const std::vector<Case> cases = {
        {"32766", true, 32766, ""},
        {"-32766", true, -32766, ""},
        {"32767", false, 0, "32767 too large: replace with"},
        {"-32767", false, 0, "-32767 too large: replace with"},
        {"1e6", false, 0, "1e6 too large: replace with"},
        {"2.5", false, 0, "2.5 not an integer: replace with"},
        {"3.0", true, 3, ""},
        {"3e2", true, 300, ""},
        {"0", true, 0, ""},
        {"-7", true, -7, ""},
        {"abc", false, 0, "abc not an integer: replace with"},
        {"", false, 0, ""},
        {"e5", false, 0, "e5 not an integer: replace with"},
    };
    for (const auto& c : cases) {
        int16 i = 99;
        std::string msg = "junk";
        EXPECT_EQ(str2int(c.w, i, msg), c.ok) << "[" << c.w << "]";
        EXPECT_EQ(i, c.i) << "[" << c.w << "]";
        EXPECT_EQ(msg, c.msg) << "[" << c.w << "]";
    }
}

TEST(Words, Str2Rational) {
    struct Case {
        std::string w;
        bool ok;
        int num, den;
        std::string msg;
    };
    const std::vector<Case> cases = {
        {"3/4", true, 3, 4, ""},
        {"-1/2", true, -1, 2, ""},
        {"0/4", false, 0, 4, "zero in rational"},
        {"4/0", false, 4, 0, "zero in rational"},
        {"/4", false, 0, 4, "zero in rational"},
        {"1/40000", false, 1, 0, "40000 too large: replace with"},
        {"x/2", false, 0, 0, "x not an integer: replace with"},
        {"1.5/2", false, 0, 0, "1.5 not an integer: replace with"},
        {"34", false, 0, 0, "34 not a rational: replace with"},
    };
    for (const auto& c : cases) {
        int16 num = 99;
        int16 den = 99;
        std::string msg = "junk";
        EXPECT_EQ(str2rational(c.w, num, den, msg), c.ok) << "[" << c.w << "]";
        EXPECT_EQ(num, c.num) << "[" << c.w << "]";
        EXPECT_EQ(den, c.den) << "[" << c.w << "]";
        EXPECT_EQ(msg, c.msg) << "[" << c.w << "]";
    }
}

TEST(Words, Str2Value) {
    const strings w = makewords({"key", "1", "2.5", "3/4", "-1e2", "word", "7"});
    rrvector v;
    int16 count = 0;
    // count = 0: any number of numbers after `start`.
    ASSERT_TRUE(str2value(w, 7, 1, v, count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(v[1], 1.0L);
    EXPECT_EQ(v[2], 2.5L);
    EXPECT_EQ(v[3], static_cast<real>(0.75));
    EXPECT_EQ(v[4], -100.0L);
    // count > 0: exactly so many numbers.
    count = 2;
    ASSERT_TRUE(str2value(w, 7, 1, v, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(v[2], 2.5L);
    count = 5;
    EXPECT_FALSE(str2value(w, 7, 1, v, count));  // word 6 is not a number
    // count < 0: at least |count|.
    count = -2;
    ASSERT_TRUE(str2value(w, 7, 2, v, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(v[1], 2.5L);
    count = -4;
    EXPECT_FALSE(str2value(w, 7, 2, v, count));
    EXPECT_EQ(count, 3);
    // No numbers at all is fine for count = 0.
    count = 0;
    ASSERT_TRUE(str2value(w, 7, 5, v, count));
    EXPECT_EQ(count, 0);
    count = 0;
    ASSERT_TRUE(str2value(w, 7, 7, v, count));
    EXPECT_EQ(count, 0);
    // The first test: |count| + start - 1 < n.
    count = 1;
    EXPECT_FALSE(str2value(w, 7, 7, v, count));
    count = 0;
    EXPECT_FALSE(str2value(w, 7, 8, v, count));
    // 1/3 is computed in double precision.
    const strings r = makewords({"1/3"});
    count = 1;
    ASSERT_TRUE(str2value(r, 1, 0, v, count));
    EXPECT_EQ(v[1], static_cast<real>(1.0 / 3.0));
    // A rational with a zero fails the conversion.
    const strings z = makewords({"0/3"});
    count = 0;
    EXPECT_FALSE(str2value(z, 1, 0, v, count));
}

TEST(Words, Str2ValueStopsAtWord40) {
    strings w;
    for (int i = 1; i <= 50; ++i) w[i] = "1";
    rrvector v;
    int16 count = 0;
    ASSERT_TRUE(str2value(w, 50, 0, v, count));
    EXPECT_EQ(count, 40);
    count = 0;
    ASSERT_TRUE(str2value(w, 50, 10, v, count));
    EXPECT_EQ(count, 30);
}

TEST(Words, Str2IntValue) {
    const strings w = makewords({"key", "1", "-2", "3.5", "4"});
    irrvector v;
    int16 count = 0;
    ASSERT_TRUE(str2intvalue(w, 5, 1, v, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[2], -2);
    count = 3;
    EXPECT_FALSE(str2intvalue(w, 5, 1, v, count));  // 3.5 is not an integer word
    count = -2;
    ASSERT_TRUE(str2intvalue(w, 5, 1, v, count));
    EXPECT_EQ(count, 2);
    count = -3;
    EXPECT_FALSE(str2intvalue(w, 5, 1, v, count));
    EXPECT_EQ(count, 2);
    count = -1;
    EXPECT_FALSE(str2intvalue(w, 5, 0, v, count));
    EXPECT_EQ(count, 0);  // "key" is not an integer: no integers found
    // count = 0 demands n > start.
    count = 0;
    EXPECT_FALSE(str2intvalue(w, 5, 5, v, count));
    count = 0;
    ASSERT_TRUE(str2intvalue(w, 5, 4, v, count));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(v[1], 4);
    // Integer words that are too large fail the conversion.
    const strings big = makewords({"40000"});
    count = 1;
    EXPECT_FALSE(str2intvalue(big, 1, 0, v, count));
}

TEST(Words, Real2Rational) {
    struct Case {
        real x;
        int num, den;
    };
    const std::vector<Case> cases = {
        {0.5L, 1, 2},
        {-0.75L, -3, 4},
        {2.0004L, 2, 1},
        {3.0L, 3, 1},
        {-2.9995L, -3, 1},
        {1.0L / 3, 1, 3},
        {2.0L / 3, 2, 3},
        {-1.25L, -5, 4},
        {0.0L, 0, 1},
        {0.1L, 1, 10},
        {3.14159265L, 62831853, 20000000},  // the fraction ends only at the exact value
        {1.0011L, 10011, 10000},
    };
    for (const auto& c : cases) {
        int32 num = 99;
        int32 den = 99;
        real2rational(c.x, num, den);
        EXPECT_EQ(num, c.num) << static_cast<double>(c.x);
        EXPECT_EQ(den, c.den) << static_cast<double>(c.x);
    }
    // Beyond 20 partial quotients: the last convergent kept still approximates the value.
    int32 num = 0;
    int32 den = 0;
    const real golden = (1.0L + std::sqrt(5.0L)) / 2.0L;
    real2rational(golden, num, den);
    EXPECT_GT(den, 0);
    EXPECT_ABS_NEAR(static_cast<double>(num) / den, static_cast<double>(golden), 1e-6);
}

// ---------------------------------------------------------------------------------------------
// Fatal forms

TEST(Words, GetInteger) {
    EXPECT_EQ(getinteger(valuetype::aninteger, "12", "ctx"), 12);
    EXPECT_BOMB(getinteger(valuetype::areal, "1.5", "in file x"), "getinteger",
                "expecting an integer (1); got: 1.5 - in file x");
    EXPECT_BOMB(getinteger(valuetype::aninteger, "40000", "ctx"), "getinteger",
                "expecting an integer (2); got: 40000 - ctx");
}

TEST(Words, GetRational) {
    int16 num = 0;
    int16 den = 0;
    getrational(valuetype::aninteger, "5", num, den, "ctx");
    EXPECT_EQ(num, 5);
    EXPECT_EQ(den, 1);
    getrational(valuetype::areal, "0.75", num, den, "ctx");
    EXPECT_EQ(num, 3);
    EXPECT_EQ(den, 4);
    getrational(valuetype::arational, "-2/3", num, den, "ctx");
    EXPECT_EQ(num, -2);
    EXPECT_EQ(den, 3);
    EXPECT_BOMB(getrational(valuetype::aninteger, "99999", num, den, "c"), "reading",
                "expecting a rational (1); got: 99999 - c");
    EXPECT_BOMB(getrational(valuetype::areal, "x.5", num, den, "c"), "reading",
                "expecting a rational (2); got: x.5 - c");
    EXPECT_BOMB(getrational(valuetype::areal, "1e6", num, den, "c"), "li2i",
                "longint -> int conversion failed");
    EXPECT_BOMB(getrational(valuetype::arational, "0/3", num, den, "c"), "reading",
                "expecting a rational (3); got: 0/3 - c");
    EXPECT_BOMB(getrational(valuetype::astring, "abc", num, den, "c"), "reading",
                "expecting a rational (4); got: abc - c");
}

TEST(Words, GetSingle) {
    EXPECT_EQ(getsingle(valuetype::aninteger, "7", "c"), 7.0L);
    EXPECT_EQ(getsingle(valuetype::areal, "-2.5", "c"), -2.5L);
    EXPECT_EQ(getsingle(valuetype::arational, "1/4", "c"), 0.25L);
    EXPECT_BOMB(getsingle(valuetype::areal, "1.2.3", "c"), "reading",
                "expecting a single (2); got: 1.2.3 - c");
    EXPECT_BOMB(getsingle(valuetype::arational, "1/0", "c"), "reading",
                "expecting a single (3); got: 1/0 - c");
    EXPECT_BOMB(getsingle(valuetype::astring, "abc", "c"), "reading",
                "expecting a single (1); got: abc - c");
    EXPECT_BOMB(getsingle(whatis("1e99999"), "1e99999", "c"), "reading",
                "expecting a single (1); got: 1e99999 - c");
    EXPECT_BOMB(getsingle(valuetype::anemptystring, "", "c"), "reading",
                "expecting a single (1); got:  - c");
}

TEST(Words, Li2i) {
    EXPECT_EQ(li2i(32767), 32767);
    EXPECT_EQ(li2i(-32767), -32767);
    EXPECT_EQ(li2i(0), 0);
    EXPECT_BOMB(li2i(32768), "li2i", "longint -> int conversion failed");
    EXPECT_BOMB(li2i(-32768), "li2i", "longint -> int conversion failed");
}

}  // namespace
}  // namespace qv
