#include "textio/numfmt.hpp"

#include <cmath>

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

}  // namespace

decimalrec real2digits(int mode, int p, real x) {
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
    if (!(scaled < largestscaled)) {
        rec.digits = std::string(blankdigits);
        return rec;
    }
    const real n = std::nearbyint(scaled);  // halves to the even neighbour
    rec.digits = digits22(intdigits(static_cast<int64>(n)));
    return rec;
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

std::string realfixstr(int d, bool fixed, real x) {
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
    return dropblank(digits2text(mode, w, rec));
}

std::string realstr(real x) {
    if (std::fabs(x) < zerothreshold) return "0";
    if (!std::isfinite(x)) return unprintable();
    const decimalrec rec = real2digits(fixedmode, 0, x);
    if (rec.digits == blankdigits) {
        // Too large for the whole-number form: six significant digits in exponent form.
        return dropblank(digits2text(significantmode, 6, real2digits(significantmode, 6, x)));
    }
    return dropblank(digits2text(fixedmode, 0, rec));
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
