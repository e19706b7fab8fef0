#include "textio/numfmt.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/convert.hpp"

namespace qv {

namespace {

constexpr real zerothreshold = 1e-12L;
constexpr real largest = 1e20L;
constexpr real guard = 0.55L;
constexpr real largestscaled = 2147483646.0L;
constexpr int searchlimit = 22;
// Beyond any exponent of a finite extended value (10^4933 is already infinite).
constexpr int hardsearchlimit = 5000;

constexpr std::string_view blankdigits = "                    ";  // 20 blanks
static_assert(blankdigits.size() == 20);

// The decimal digits of n >= 0 without leading zeros ("0" for 0), by repeated division.
std::string intdigits(int64 n) {
    if (n <= 0) return "0";
    char buf[24];
    int i = 24;
    while (n > 0 && i > 0) {
        buf[--i] = static_cast<char>('0' + static_cast<int>(n % 10));
        n /= 10;
    }
    return std::string(buf + i, buf + 24);
}

// What `realfixstr` and `realstr` print for a value that has no digits at all (infinite or
// undefined): the blank digit string in fixed form with one blank dropped.
std::string unprintable() {
    return std::string(blankdigits.substr(1));
}

std::string dropblank(std::string s) {
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Direct forms: the same arithmetic as `real2digits` (the same products of the same powers of
// ten, rounded halves to even) and the same layout as `digits2text`, written into a
// `NumberText` without the digit record's strings. They cover the finite values with 0 .. 18
// decimals or significant digits whose scaled value stays below 2147483646; anything else goes
// through the general conversion.

constexpr int directmaxdecimals = 18;

// nearbyint of 0 <= s < 2147483646 in the default rounding: the remainder after the integer part
// is exact at this size, so halves go to the even neighbour.
std::uint32_t roundhalfeven(real s) {
    const auto n = static_cast<std::uint32_t>(s);
    const real f = s - static_cast<real>(n);
    return (f > 0.5L || (f == 0.5L && (n & 1U) != 0)) ? n + 1 : n;
}

// The digits of `real2digits(fixedmode, p, a)` for a >= zerothreshold as a whole number; false
// when it gives the blank digit string.
bool fixeddigits(int p, real a, std::uint32_t& n) {
    if (a > largest) return false;
    const real scaled = a * powerof10(p);
    if (!(scaled < largestscaled)) return false;
    n = roundhalfeven(scaled);
    return true;
}

// The exponent and the digits of `real2digits(significantmode, p, a)`; false when the digits are
// the blank string (the exponent is set all the same). The exponent search tests whether
// a x 10^-k + t reaches 1 (the integer part `trunc` tests is nonzero); the test changes only once
// as k grows, so the search starts at the first k the binary exponent allows and steps back or
// on to the same k as a search from 1.
bool significantdigits(int p, real a, int& exponent, std::uint32_t& n) {
    const real t = guard * powerof10(-p);
    const int binexp = std::ilogb(a);
    real scaled = 0.0L;
    if (a >= 1.0L - t) {
        const auto stays = [&](int k) { return a * powerof10(-k) + t >= 1.0L; };
        int k = binexp > 0 ? binexp * 1233 / 4096 + 1 : 1;  // 1233 / 4096 < log10(2)
        while (k > 1 && !stays(k - 1)) --k;
        while (stays(k) && k <= hardsearchlimit) ++k;
        exponent = k - p;
        scaled = a * powerof10(p - k);
    } else {
        const auto reaches = [&](int k) { return a * powerof10(k) + t >= 1.0L; };
        int k = binexp < -1 ? std::min((-binexp - 1) * 1233 / 4096, searchlimit + 1) : 1;
        if (k < 1) k = 1;
        while (k > 1 && reaches(k - 1)) --k;
        while (!reaches(k) && k <= searchlimit) ++k;
        exponent = 1 - k - p;
        scaled = a * powerof10(p + k - 1);
    }
    if (!(scaled < largestscaled)) return false;
    n = roundhalfeven(scaled);
    return true;
}

// Whether n has more than `digits` decimal digits.
bool moredigits(std::uint32_t n, int digits) {
    static constexpr std::uint32_t tens[] = {1U,      10U,      100U,      1000U,      10000U,
                                             100000U, 1000000U, 10000000U, 100000000U, 1000000000U};
    return digits < 10 && n >= tens[digits];
}

// "00" to "99": the two digits of each remainder by 100.
constexpr char digitpairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
static_assert(sizeof digitpairs == 201);

// `digits2text` in fixed mode: the digits of n with w decimals (w <= directmaxdecimals), written
// from the last character back: the w decimals (zeros once n runs out), the point, the integer
// part (at least "0") and the sign.
void writefixed(std::uint32_t n, int w, bool negative, NumberText& out) {
    char* o = out.end();
    // Two digits at a time (one division by 100 in place of two by 10).
    const auto pair = [&o](std::size_t r) {
        *--o = digitpairs[2 * r + 1];
        *--o = digitpairs[2 * r];
    };
    int i = 0;
    for (; i + 2 <= w; i += 2) {
        pair(n % 100);
        n /= 100;
    }
    if (i < w) {
        *--o = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    if (w > 0) *--o = '.';
    while (n >= 100) {
        pair(n % 100);
        n /= 100;
    }
    if (n >= 10) {
        pair(n);
    } else {
        *--o = static_cast<char>('0' + n);
    }
    if (negative) *--o = '-';
    out.setfirst(o);
}

// `digits2text` in significant mode: the digits of n as d.ddd with the exponent `exponent` of the
// last digit shifted to the first (p digits asked for); an exponent 0 is written "e-0".
void writesignificant(std::uint32_t n, int exponent, int p, bool negative, NumberText& out) {
    char* o = out.end();
    const int e = exponent + p - 1;
    auto m = static_cast<std::uint32_t>(e < 0 ? -e : e);
    do {
        *--o = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m != 0);
    *--o = e < 1 ? '-' : '+';
    *--o = 'e';
    while (n >= 10) {
        *--o = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    *--o = '.';
    *--o = static_cast<char>('0' + n);
    if (negative) *--o = '-';
    out.setfirst(o);
}

}  // namespace

namespace {

// Beyond the 31-bit scaled integer of the conversion: a 64-bit one, kept to 15 digits and to
// 19 decimals so that the text of either form still fits the 22 characters of the digit
// buffer.
constexpr real widescaled = 1e15L;
constexpr int widemaxdigits = 15;
constexpr int widemaxdecimals = 19;

// `real2digits` with the scaled integer limited to `limit`.
decimalrec digitrecord(int mode, int p, real x, real limit) {
    decimalrec rec;
    rec.exponent = 0;
    const real a = std::fabs(x);
    if (a < zerothreshold) {
        rec.negative = false;
        rec.digits = "0";
        return rec;
    }
    rec.negative = x < 0;
    if (!std::isfinite(a)) {
        rec.digits = std::string(blankdigits);
        return rec;
    }
    real scaled = 0.0L;
    if (mode == fixedmode) {
        if (a > largest) {
            rec.digits = std::string(blankdigits);  // the scaled value is taken as 2^31
            return rec;
        }
        rec.exponent = narrow16(-p);
        scaled = a * powerof10(p);
    } else {
        // Significant mode: the search finds the true exponent of any finite value.
        const real t = guard * powerof10(-p);
        int k = 1;
        if (a >= 1.0L - t) {
            while (std::trunc(a * powerof10(-k) + t) != 0.0L && k <= hardsearchlimit) ++k;
            rec.exponent = narrow16(k - p);
            scaled = a * powerof10(p - k);
        } else {
            while (!(std::trunc(a * powerof10(k) + t) > 0.0L) && k <= searchlimit) ++k;
            rec.exponent = narrow16(1 - k - p);
            scaled = a * powerof10(p + k - 1);
        }
    }
    if (!(scaled < limit)) {
        rec.digits = std::string(blankdigits);
        return rec;
    }
    const real n = std::nearbyint(scaled);  // halves to the even neighbour
    rec.digits = digits22(intdigits(static_cast<int64>(n)));
    return rec;
}

}  // namespace

decimalrec real2digits(int mode, int p, real x) {
    return digitrecord(mode, p, x, largestscaled);
}

std::string digits2text(int mode, int w, const decimalrec& rec) {
    if (rec.digits.size() == 22) return "?";
    std::string s = rec.digits;
    if (mode == fixedmode) {
        const std::size_t decs = w > 0 ? static_cast<std::size_t>(w) : 0;
        if (s.size() < decs) s.insert(0, decs - s.size(), '0');
        if (decs != 0) s.insert(s.size() - decs, 1, '.');
        if (!s.empty() && s[0] == '.') s.insert(0, 1, '0');
        if (rec.negative) s.insert(0, 1, '-');
    } else {
        const int e = rec.exponent + w - 1;
        s += e < 1 ? "e-" : "e+";
        s += intdigits(e < 0 ? -static_cast<int64>(e) : static_cast<int64>(e));
        s.insert(1, 1, '.');
        if (rec.negative) s.insert(0, 1, '-');
    }
    return digits22(s);
}

namespace {

// A form chosen by the rules above whose scaled value passed 2147483646 (ten digits or more asked
// for: "moreprec" lists 10 decimals) has its digits from the wider integer, in the same form;
// a fixed form that is still blank or longer than d + 5 digits goes over to d significant
// digits, as a short one would. Only values that would otherwise print without digits get here.
void widen(int d, bool fixed, real x, int& mode, int& w, decimalrec& rec) {
    const int most = mode == fixedmode ? widemaxdecimals : widemaxdigits;
    const decimalrec wide = w <= most ? digitrecord(mode, w, x, widescaled)
                                      : decimalrec{false, 0, std::string(blankdigits)};
    if (wide.digits != blankdigits &&
        (mode == significantmode || !fixed || static_cast<int>(wide.digits.size()) <= d + 5)) {
        rec = wide;
        return;
    }
    if (mode == significantmode || d > widemaxdigits) return;
    const decimalrec significant = digitrecord(significantmode, d, x, widescaled);
    if (significant.digits == blankdigits) return;
    mode = significantmode;
    w = d;
    rec = significant;
}

// The general conversion through a digit record, for every case the direct forms below leave
// to it (blank digit strings, more decimals than they write).
std::string realfixgeneral(int d, bool fixed, real x) {
    if (std::fabs(x) < zerothreshold) return "0";
    if (!std::isfinite(x)) return unprintable();
    int mode = significantmode;
    int w = d;
    decimalrec rec;
    if (fixed) {
        rec = real2digits(fixedmode, d, x);
        // More than d + 5 digits: a long integer part, or the blank digit string (which also
        // covers every magnitude from 1e20 on when d < 15).
        if (static_cast<int>(rec.digits.size()) > d + 5) {
            rec = real2digits(significantmode, d, x);
            mode = significantmode;
        } else {
            mode = fixedmode;
        }
    } else {
        rec = real2digits(significantmode, d, x);
        const int e = rec.exponent;
        if (-e < d + 4 && e < 2) {
            w = e < 0 ? -e : 0;
            rec = real2digits(fixedmode, w, x);
            mode = fixedmode;
        }
    }
    if (rec.digits == blankdigits) widen(d, fixed, x, mode, w, rec);
    return dropblank(digits2text(mode, w, rec));
}

std::string realgeneral(real x) {
    if (std::fabs(x) < zerothreshold) return "0";
    if (!std::isfinite(x)) return unprintable();
    const decimalrec rec = real2digits(fixedmode, 0, x);
    if (rec.digits == blankdigits) {
        // Too large for the whole-number form: six significant digits in exponent form.
        return dropblank(digits2text(significantmode, 6, real2digits(significantmode, 6, x)));
    }
    return dropblank(digits2text(fixedmode, 0, rec));
}

}  // namespace

void NumberText::assign(std::string_view s) {
    const std::size_t n = std::min(s.size(), capacity);
    first_ = static_cast<int>(capacity - n);
    s.copy(chars_ + first_, n);
}

namespace {

// The text of a value printed as "0" (below the zero threshold) or as blanks (not finite);
// false for every other value, which is formatted by its digits.
bool specialtext(real x, NumberText& out) {
    if (std::fabs(x) < zerothreshold) {
        out.assign("0");
        return true;
    }
    if (!std::isfinite(x)) {
        out.assign(blankdigits.substr(1));
        return true;
    }
    return false;
}

}  // namespace

void realfixtext(int d, bool fixed, real x, NumberText& out) {
    if (specialtext(x, out)) return;
    if (d < 0 || d > directmaxdecimals) {
        out.assign(realfixgeneral(d, fixed, x));
        return;
    }
    const real a = std::fabs(x);
    const bool negative = x < 0;
    std::uint32_t n = 0;
    int e = 0;
    if (fixed) {
        if (fixeddigits(d, a, n)) {
            // More than d + 5 digits (a long integer part): d significant digits instead.
            if (!moredigits(n, d + 5)) {
                writefixed(n, d, negative, out);
                return;
            }
        } else if (blankdigits.size() <= static_cast<std::size_t>(d) + 5) {
            out.assign(realfixgeneral(d, fixed, x));  // the blank string kept in fixed form
            return;
        }
        if (!significantdigits(d, a, e, n)) {
            out.assign(realfixgeneral(d, fixed, x));
            return;
        }
        writesignificant(n, e, d, negative, out);
        return;
    }
    const bool digitsok = significantdigits(d, a, e, n);
    if (-e < d + 4 && e < 2) {
        const int w = e < 0 ? -e : 0;
        if (w <= directmaxdecimals && fixeddigits(w, a, n)) {
            writefixed(n, w, negative, out);
        } else {
            out.assign(realfixgeneral(d, fixed, x));
        }
        return;
    }
    if (!digitsok) {
        out.assign(realfixgeneral(d, fixed, x));
        return;
    }
    writesignificant(n, e, d, negative, out);
}

std::string realfixstr(int d, bool fixed, real x) {
    NumberText text;
    realfixtext(d, fixed, x, text);
    return std::string(text.view());
}

void realtext(real x, NumberText& out) {
    if (specialtext(x, out)) return;
    const real a = std::fabs(x);
    std::uint32_t n = 0;
    int e = 0;
    if (fixeddigits(0, a, n)) {
        writefixed(n, 0, x < 0, out);
    } else if (significantdigits(6, a, e, n)) {
        // Too large for the whole-number form: six significant digits in exponent form.
        writesignificant(n, e, 6, x < 0, out);
    } else {
        out.assign(realgeneral(x));
    }
}

std::string realstr(real x) {
    NumberText text;
    realtext(x, text);
    return std::string(text.view());
}

int16 ndecimals(real x) {
    if (std::fabs(x - std::round(x)) < 1e-8L) return 1;
    const real f = std::fabs(x - std::trunc(x));
    int32 m = 1;
    for (int16 n = 1; n <= 9; ++n) {
        m *= 10;
        const real fm = f * static_cast<real>(m);
        if (std::fabs(std::round(fm) - fm) < 1e-4L) return n;
    }
    return 9;  // 10^10 no longer fits 32 bits: give up at nine decimals
}

std::string digits22(std::string_view s) {
    return std::string(s.substr(0, 22));
}

std::string maxtext(int n) {
    return " (max = " + realstr(static_cast<real>(n)) + ") ";
}

}  // namespace qv
