// Text of numbers: fixed and exponent forms, whole numbers, decimals needed.

#include "textio/numfmt.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

const std::string blanks20(20, ' ');

TEST(NumFmt, Real2DigitsFixed) {
    struct Case {
        int p;
        real x;
        bool negative;
        int exponent;
        std::string digits;
    };
    const std::vector<Case> cases = {
        {3, 3.14159L, false, -3, "3142"},
        {2, -1.5L, true, -2, "150"},
        {0, 2.5L, false, 0, "2"},  // halves to even
        {0, 3.5L, false, 0, "4"},
        {0, -0.5L, true, 0, "0"},
        {1, 0.25L, false, -1, "2"},
        {1, 0.35L, false, -1, "4"},  // 0.35 is not exactly a half
        {0, 1e-13L, false, 0, "0"},  // below the zero threshold
        {0, -1e-13L, false, 0, "0"},
        {6, 5000.0L, false, -6, blanks20},  // scaled value passes 2147483646
        {0, 2147483645.0L, false, 0, "2147483645"},
        {0, 2147483646.0L, false, 0, blanks20},
        {0, 3e20L, false, 0, blanks20},  // above 1e20 in fixed mode
    };
    for (const auto& c : cases) {
        const decimalrec r = real2digits(fixedmode, c.p, c.x);
        EXPECT_EQ(r.negative, c.negative) << static_cast<double>(c.x);
        EXPECT_EQ(r.exponent, c.exponent) << static_cast<double>(c.x);
        EXPECT_EQ(r.digits, c.digits) << static_cast<double>(c.x);
    }
}

TEST(NumFmt, Real2DigitsSignificant) {
    struct Case {
        int p;
        real x;
        int exponent;
        std::string digits;
    };
    const std::vector<Case> cases = {
        {4, 123.456L, -1, "1235"},
        {4, 1234.0L, 0, "1234"},
        {4, 0.0001234L, -7, "1234"},
        {3, 9.9996L, -1, "100"},  // the guard counts the longer integer part
        {2, 0.5L, -2, "50"},
        {1, 56.0L, 1, "6"},
        {3, 0.9999L, -2, "100"},
        {3, 1.0L, -2, "100"},
        // Mend: the search finds the true exponent beyond 1e20 / 22 digits.
        {3, 3e25L, 23, "300"},
        {6, 3e9L, 4, "300000"},
        {2, 1e21L, 20, "10"},
        {3, 1.5e300L, 298, "150"},
        {3, 2e4000L, 3998, "200"},
    };
    for (const auto& c : cases) {
        const decimalrec r = real2digits(significantmode, c.p, c.x);
        EXPECT_FALSE(r.negative);
        EXPECT_EQ(r.exponent, c.exponent) << static_cast<double>(c.x);
        EXPECT_EQ(r.digits, c.digits) << static_cast<double>(c.x);
    }
    EXPECT_TRUE(real2digits(significantmode, 3, -2.0L).negative);
}

TEST(NumFmt, Digits2Text) {
    struct Case {
        int mode, w;
        bool negative;
        int16 exponent;
        std::string digits;
        std::string text;
    };
    const std::vector<Case> cases = {
        {fixedmode, 3, false, -3, "3142", "3.142"},
        {fixedmode, 2, true, -2, "5", "-0.05"},
        {fixedmode, 0, false, 0, "42", "42"},
        {fixedmode, 1, true, -1, "0", "-0.0"},
        {fixedmode, 3, false, -3, "123", "0.123"},
        {fixedmode, 0, false, 0, blanks20, blanks20},
        {fixedmode, 0, false, 0, std::string(22, '1'), "?"},
        {significantmode, 4, false, 2, "1234", "1.234e+5"},
        {significantmode, 4, false, -8, "1234", "1.234e-5"},
        {significantmode, 3, true, -2, "100", "-1.00e-0"},  // an exponent 0 is written e-0
        {significantmode, 3, false, -1, "100", "1.00e+1"},
        {significantmode, 1, false, 3, "5", "5.e+3"},
        {significantmode, 2, false, 4, "12", "1.2e+5"},
    };
    for (const auto& c : cases) {
        const decimalrec rec{c.negative, c.exponent, c.digits};
        EXPECT_EQ(digits2text(c.mode, c.w, rec), c.text) << c.text;
    }
}

TEST(NumFmt, RealFixStr) {
    struct Case {
        int d;
        bool fixed;
        real x;
        std::string s;
    };
    const std::vector<Case> cases = {
        // Fixed.
        {3, true, 3.14159L, "3.142"},
        {3, true, -1234.5678L, "-1234.568"},
        {5, true, 1.0L, "1.00000"},
        {2, true, 123456.7L, "1.2e+5"},
        {6, true, 5000.0L, "5.00000e+3"},
        {1, true, -0.04L, "-0.0"},
        {2, true, 1e-13L, "0"},
        {0, true, 2.5L, "2"},
        {0, true, 3.5L, "4"},
        {0, true, -2.5L, "-2"},
        {2, true, 0.005L, "0.00"},  // 0.005 x 100 is 0.5 in extended precision: to even
        {2, true, 0.125L, "0.12"},  // an exact half goes to even
        {2, true, 0.375L, "0.38"},
        {3, true, 12345.0L, "12345.000"},
        {2, true, 99999.994L, "99999.99"},
        {2, true, 99999.996L, "1.0e+5"},  // the integer part reaches six digits
        // Significant.
        {4, false, 123.456L, "123.5"},
        {4, false, 1234.0L, "1234"},
        {4, false, 12340.0L, "12340"},
        {4, false, 123400.0L, "1.234e+5"},
        {4, false, 12345678.0L, "1.235e+7"},
        {4, false, 0.0001234L, "0.0001234"},
        {4, false, 0.00001234L, "1.234e-5"},
        {3, false, 9.9996L, "10.0"},
        {2, false, 0.5L, "0.50"},
        {1, false, 56.0L, "56"},
        {4, false, -123.456L, "-123.5"},
        {3, false, 1.0L, "1.00"},
        {3, false, 0.0L, "0"},
        // Mend: no blanks for 1e20 and more, exponent form with d significant digits.
        {3, false, 3e25L, "3.00e+25"},
        {3, false, -3e25L, "-3.00e+25"},
        {3, true, 3e25L, "3.00e+25"},
        {2, false, 1e20L, "1.0e+20"},
        {4, false, 1e21L, "1.000e+21"},
        {3, false, 1.5e300L, "1.50e+300"},
        {4, true, 2.5e4000L, "2.500e+4000"},
        {3, false, 1e70L, "1.00e+70"},
        // Ten digits and more ("moreprec" lists): the scaled value passes 2147483646 and the
        // digits come from a wider integer, in the form the rules choose; values whose
        // 31-bit digits fit keep their text.
        {10, true, 0.3L, "3.000000000e-1"},
        {10, true, 0.2147483L, "0.2147483000"},
        {10, true, -0.75L, "-7.500000000e-1"},
        {10, true, 1.5L, "1.500000000e-0"},
        {10, true, 3.0L, "3.000000000e-0"},
        {10, false, 0.3L, "0.3000000000"},
        {12, false, 2.5L, "2.50000000000"},
        {15, true, 0.3L, "0.300000000000000"},
        {15, true, 1234.5L, "1.23450000000000e+3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(realfixstr(c.d, c.fixed, c.x), c.s)
            << "d=" << c.d << " fixed=" << c.fixed << " x=" << static_cast<double>(c.x);
    }
}

TEST(NumFmt, RealStr) {
    struct Case {
        real x;
        std::string s;
    };
    const std::vector<Case> cases = {
        {1234.56L, "1235"},
        {-7.5L, "-8"},
        {-6.5L, "-6"},
        {0.4L, "0"},
        {-0.3L, "-0"},
        {0.5L, "0"},
        {1.5L, "2"},
        {1e-13L, "0"},
        {-1e-13L, "0"},
        {201.0L, "201"},
        {2147483645.0L, "2147483645"},
        // Mend: magnitudes of 2147483646 and more in exponent form, 6 significant digits.
        {2147483646.0L, "2.14748e+9"},
        {3e9L, "3.00000e+9"},
        {-3e9L, "-3.00000e+9"},
        {1e20L, "1.00000e+20"},
        {1.234567e25L, "1.23457e+25"},
    };
    for (const auto& c : cases) EXPECT_EQ(realstr(c.x), c.s) << static_cast<double>(c.x);
}

TEST(NumFmt, NonFiniteValuesPrintBlank) {
    const real inf = std::numeric_limits<real>::infinity();
    const real nan = std::numeric_limits<real>::quiet_NaN();
    EXPECT_EQ(realstr(inf), std::string(19, ' '));
    EXPECT_EQ(realstr(-inf), std::string(19, ' '));
    EXPECT_EQ(realstr(nan), std::string(19, ' '));
    EXPECT_EQ(realfixstr(3, true, inf), std::string(19, ' '));
    EXPECT_EQ(realfixstr(3, false, nan), std::string(19, ' '));
}

// The text of x through the digit record, as the forms are specified: d decimals unless the
// integer part is too long (then d significant digits), or d significant digits unless the
// value reads better with decimals.
std::string viarecord(int d, bool fixed, real x) {
    if (std::fabs(x) < 1e-12L) return "0";
    if (!std::isfinite(x)) return std::string(19, ' ');
    std::string s;
    if (fixed) {
        const decimalrec r = real2digits(fixedmode, d, x);
        s = static_cast<int>(r.digits.size()) > d + 5
                ? digits2text(significantmode, d, real2digits(significantmode, d, x))
                : digits2text(fixedmode, d, r);
    } else {
        const decimalrec r = real2digits(significantmode, d, x);
        const int e = r.exponent;
        if (-e < d + 4 && e < 2) {
            const int w = e < 0 ? -e : 0;
            s = digits2text(fixedmode, w, real2digits(fixedmode, w, x));
        } else {
            s = digits2text(significantmode, d, r);
        }
    }
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    return s;
}

std::string realviarecord(real x) {
    if (std::fabs(x) < 1e-12L) return "0";
    if (!std::isfinite(x)) return std::string(19, ' ');
    const decimalrec r = real2digits(fixedmode, 0, x);
    std::string s = r.digits == blanks20
                        ? digits2text(significantmode, 6, real2digits(significantmode, 6, x))
                        : digits2text(fixedmode, 0, r);
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    return s;
}

// Values of every size: exact halves at several scales, the edges of the forms (powers of ten
// and their neighbours, the largest scaled value, the zero threshold, 1e20) and pseudo-random
// values over 40 decades.
std::vector<real> formvalues() {
    std::vector<real> v;
    for (int k = -14; k <= 24; ++k) {
        const real p = powerof10(k);
        for (const real m : {1.0L, 0.5L, 0.95L, 0.995L, 0.9995L, 0.99995L, 0.999995L, 9.9996L,
                             0.55L, 2.5L, 1.25L, 0.125L, 0.375L, 0.0625L}) {
            const real y = m * p;
            v.insert(v.end(), {y, std::nextafter(y, 0.0L), std::nextafter(y, 1e30L)});
        }
    }
    for (int j = 0; j <= 20; ++j) {
        // Ties of d decimals: (2m + 1) / 2^(d + 1) times 10^d ends in exactly one half.
        for (const real m : {0.0L, 1.0L, 2.0L, 7.0L, 12345.0L})
            v.push_back((2 * m + 1) / std::ldexp(1.0L, j));
    }
    for (const real y : {2147483645.0L, 2147483645.5L, 2147483646.0L, 2147483646.5L, 2147483647.0L,
                         1e-12L, 1e20L, 3e20L, 99999.994L, 99999.996L, 0.005L}) {
        v.insert(v.end(), {y, std::nextafter(y, 0.0L), std::nextafter(y, 1e30L)});
    }
    unsigned long long state = 88172645463325252ULL;
    for (int i = 0; i < 4000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const real u = static_cast<real>(state >> 11) / 9007199254740992.0L;  // [0, 1)
        v.push_back(std::pow(10.0L, 40 * u - 16));
    }
    return v;
}

TEST(NumFmt, DirectFormsMatchTheDigitRecord) {
    for (const real a : formvalues()) {
        for (const real x : {a, -a}) {
            ASSERT_EQ(realstr(x), realviarecord(x)) << static_cast<double>(x);
            for (int d = 0; d <= 22; ++d) {
                for (const bool fixed : {true, false}) {
                    const std::string byrecord = viarecord(d, fixed, x);
                    const std::string direct = realfixstr(d, fixed, x);
                    if (byrecord.find(' ') == std::string::npos) {
                        ASSERT_EQ(direct, byrecord)
                            << "d=" << d << " fixed=" << fixed << " x=" << static_cast<double>(x);
                        continue;
                    }
                    // The record's 31-bit integer had no room for the digits: up to 15 digits
                    // the text has them all and reads back to the value.
                    if (direct.find(' ') != std::string::npos) {
                        ASSERT_GT(d, 15) << static_cast<double>(x);
                        ASSERT_EQ(direct, byrecord);
                        continue;
                    }
                    // (d significant digits, or d decimals)
                    const real back = std::strtold(direct.c_str(), nullptr);
                    ASSERT_LE(std::fabs(back - x),
                              0.51L * (powerof10(1 - d) * std::fabs(x) + powerof10(-d)))
                        << "d=" << d << " fixed=" << fixed << " " << direct;
                }
            }
        }
    }
}

// The C library's correctly rounded decimals: equal to the program's digits wherever the exact
// value is not within a hair of a rounding edge (the program rounds the scaled product), and on
// exact halves whose scaled product is exact (both go to the even neighbour).
std::string cdecimals(int d, real x) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Lf", d, x);
    return buf;
}

TEST(NumFmt, FixedDigitsAreTheCorrectlyRoundedDecimals) {
    int compared = 0;
    for (const real a : formvalues()) {
        for (int d = 0; d <= 9; ++d) {
            const real scaled = a * powerof10(d);
            if (!(scaled < 2e9L) || a < 1e-12L) continue;
            const real frac = scaled - std::floor(scaled);
            // A half in the scaled value is a tie of the exact decimals only when the product
            // was exact.
            const bool exacttie = frac == 0.5L && std::fma(a, powerof10(d), -scaled) == 0.0L;
            if (!exacttie && std::fabs(frac - 0.5L) < 1e-6L) continue;
            for (const real x : {a, -a}) {
                if (static_cast<int>(cdecimals(0, std::fabs(x)).size()) > 5) continue;
                ASSERT_EQ(realfixstr(d, true, x), cdecimals(d, x))
                    << "d=" << d << " x=" << static_cast<double>(x);
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(NumFmt, SignificantDigitsAreTheCorrectlyRoundedDecimals) {
    int compared = 0;
    for (const real a : formvalues()) {
        if (a < 1e-12L || a > 1e20L) continue;
        for (int p = 1; p <= 9; ++p) {
            // Only where the rounding to p digits is the same a hair either side, and below the
            // band where the program's guard already takes the next power of ten (a mantissa
            // from 10 - 0.55 units of the last digit: 9.9945 gives 10.0 with 3 digits).
            char full[64];
            std::snprintf(full, sizeof full, "%.20Le", a);
            if (std::strtold(full, nullptr) / powerof10(std::atoi(std::strchr(full, 'e') + 1)) >=
                10 - 0.6L * powerof10(1 - p))
                continue;
            char lo[64], mid[64], hi[64];
            std::snprintf(lo, sizeof lo, "%.*Le", p - 1, a * (1 - 1e-9L));
            std::snprintf(mid, sizeof mid, "%.*Le", p - 1, a);
            std::snprintf(hi, sizeof hi, "%.*Le", p - 1, a * (1 + 1e-9L));
            if (std::string(lo) != mid || std::string(hi) != mid) continue;
            const std::string c(mid);
            const std::size_t epos = c.find('e');
            std::string digits = c.substr(0, epos);
            digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
            const int e10 = std::stoi(c.substr(epos + 1));
            const decimalrec r = real2digits(significantmode, p, a);
            ASSERT_EQ(r.digits, digits) << "p=" << p << " x=" << static_cast<double>(a);
            ASSERT_EQ(r.exponent, e10 - (p - 1)) << "p=" << p << " x=" << static_cast<double>(a);
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(NumFmt, NDecimals) {
    struct Case {
        real x;
        int n;
    };
    const std::vector<Case> cases = {
        {3.0L, 1},
        {2.5L, 1},
        {0.25L, 2},
        {1.125L, 3},
        {-0.75L, 2},
        {0.1L, 1},
        {0.0001L, 4},
        {-3.0L, 1},
        {0.123456789L, 9},
        // Mend: gives up at nine decimals instead of overflowing 32 bits.
        {1.0L / 3.0L, 9},
        {0.1234567891L, 9},
        {2.0000000001234L, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ndecimals(c.x), c.n) << static_cast<double>(c.x);
}

TEST(NumFmt, Digits22AndMaxText) {
    EXPECT_EQ(digits22("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrstuv");
    EXPECT_EQ(digits22("123"), "123");
    EXPECT_EQ(maxtext(201), " (max = 201) ");
    EXPECT_EQ(maxtext(400), " (max = 400) ");
    EXPECT_EQ(maxtext(0), " (max = 0) ");
}

}  // namespace
}  // namespace qv
