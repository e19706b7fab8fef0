#include "textio/words.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "base/convert.hpp"
#include "base/fatal.hpp"

namespace qv {

namespace {

bool isdigitchar(char c) {
    return c >= '0' && c <= '9';
}

// Bounds of the non-blank part of `s` as 0-based [first, last); first == last when empty.
void bounds0(std::string_view s, std::size_t& first, std::size_t& last) {
    first = 0;
    last = s.size();
    while (first < last && isblankchar(s[first])) ++first;
    while (last > first && isblankchar(s[last - 1])) --last;
}

// Round to nearest, halves away from zero (so that +-x.5 round alike by magnitude), into 64 bits
// with saturation.
int64 roundsat(long double y) {
    if (std::isnan(y)) return 0;
    const long double r = std::round(y);
    if (r >= 9.2e18L) return std::numeric_limits<int64>::max();
    if (r <= -9.2e18L) return std::numeric_limits<int64>::min();
    return static_cast<int64>(r);
}

// Whether the first 22 characters of `w` are all blanks.
bool blankword(std::string_view w) {
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(w.substr(0, maxwordlength), f, l);
    return f == l;
}

// The value `digits2real` gives for the record `text2digits` makes of `w`, formed without the
// record: the same mantissa digits folded in the same order (leading zeros add nothing to the
// fold, so the count of 19 may include them), and the same power of ten. False where `text2digits`
// finds no number.
bool wordvalue(std::string_view w, real& x) {
    const std::string_view s = w.substr(0, maxwordlength);
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(s, f, l);
    if (f == l) return false;
    if (l - f == 1 && s[f] == '-') return false;

    bool negative = false;
    std::size_t i = f;
    if (s[i] == '-') {
        negative = true;
        ++i;
    }
    // The fold 10 d + digit is exact in extended reals while d has at most 19 digits: it is kept
    // in an integer that long, then continued in reals.
    std::uint64_t whole = 0;
    int ndigits = 0;
    real d = 0.0L;
    bool anydigit = false;
    bool nonzero = false;
    int decimals = 0;
    bool point = false;
    bool inexp = false;
    bool signseen = false;
    bool expnegative = false;
    int64 expval = 0;
    for (; i < l; ++i) {
        const char c = s[i];
        if (!inexp) {
            if (isdigitchar(c)) {
                if (ndigits < 19) {
                    whole = 10 * whole + static_cast<std::uint64_t>(c - '0');
                    if (++ndigits == 19) d = static_cast<real>(whole);
                } else {
                    d = 10.0L * d + static_cast<real>(c - '0');
                }
                anydigit = true;
                nonzero = nonzero || c != '0';
                if (point) ++decimals;
            } else if (c == '.') {
                if (point) return false;
                point = true;
            } else if (c == 'e' || c == 'E') {
                inexp = true;
            } else {
                return false;
            }
        } else if (isdigitchar(c)) {
            expval = 10 * expval + (c - '0');
            if (expval > 1000000) expval = 1000000;
        } else if (c == '-' || c == '+') {
            if (signseen) return false;
            signseen = true;
            expnegative = c == '-';
        } else {
            return false;
        }
    }
    if (!anydigit) return false;
    if (ndigits < 19) d = static_cast<real>(whole);
    int64 e = (expnegative ? -expval : expval) - decimals;
    if (!nonzero) e = 0;  // the record of a zero is "0" with exponent 0
    e = std::clamp<int64>(e, std::numeric_limits<int16>::min(), std::numeric_limits<int16>::max());
    if (negative) d = -d;
    x = d * powerof10(static_cast<int>(e));
    return true;
}

int32 sat32(int64 v) {
    if (v > std::numeric_limits<int32>::max()) return std::numeric_limits<int32>::max();
    if (v < std::numeric_limits<int32>::min()) return std::numeric_limits<int32>::min();
    return static_cast<int32>(v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Word layer

void blankbounds(std::string_view s, int16& first, int16& last) {
    // Positions are 1-based and 16-bit: only the first 32767 characters can be addressed.
    const std::string_view t = s.substr(0, std::min<std::size_t>(s.size(), 32767));
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(t, f, l);
    if (f == l) {
        first = 0;
        last = 0;
    } else {
        first = narrow16(f + 1);
        last = narrow16(l);
    }
}

std::string trim(std::string_view s) {
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(s, f, l);
    return std::string(s.substr(f, l - f));
}

std::string str22(std::string_view s) {
    return std::string(s.substr(0, maxwordlength));
}

std::string spaces(int n) {
    if (n > 0 && n < 250) return std::string(static_cast<std::size_t>(n), ' ');
    return {};
}

bool sameword(std::string_view a, std::string_view b) {
    return trim(a) == trim(b);
}

bool posinlist(std::string_view name, const strings& list, int n, int16& pos) {
    pos = 0;
    const std::string key = str22(name);
    const int m = std::min(n, strings::capacity());
    for (int i = 1; i <= m; ++i) {
        if (str22(list[i]) == key) {
            pos = narrow16(i);
            return true;
        }
    }
    return false;
}

void string2strings(std::string_view line, int len, strings& words, int16& n) {
    n = 0;
    const std::size_t end = len <= 0 ? 0 : std::min(line.size(), static_cast<std::size_t>(len));
    std::size_t i = 0;
    while (i < end) {
        if (isblankchar(line[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < end && !isblankchar(line[i])) ++i;
        if (n >= maxwords)
            bomb("string2strings", "too many \"" + std::string(line) + "\"", yourfault);
        ++n;
        words[n] = std::string(line.substr(start, std::min<std::size_t>(i - start, maxwordlength)));
    }
    for (int k = n + 1; k <= maxwords; ++k) words[k].clear();
}

int16 uncommented(const strings& words, int16 n) {
    const int m = std::min<int>(n, maxwords);
    for (int i = 1; i <= m; ++i) {
        if (!words[i].empty() && words[i][0] == '%') return narrow16(i - 1);
    }
    return n;
}

// ---------------------------------------------------------------------------------------------
// Classification

namespace {

// `whatis`, with the value of the word as `wordvalue` reads it (`read` false when it reads none).
valuetype classify(std::string_view w, real& x, bool& read) {
    read = false;
    const std::string_view s = w.substr(0, maxwordlength);
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(s, f, l);
    if (f == l) return valuetype::anemptystring;
    if (l - f == 1) {
        if (!isdigitchar(s[f])) return valuetype::astring;
        read = wordvalue(s, x);
        return valuetype::aninteger;
    }

    std::size_t i = f;
    if (s[i] == '-') ++i;
    bool point = false;
    bool expo = false;
    bool expsign = false;
    bool slash = false;
    int afterpoint = 0;
    int afterexp = 0;  // characters after the exponent letter, the sign included
    int afterslash = 0;
    char prev = '\0';
    for (int k = 1; i < l; ++i, ++k) {
        const char c = s[i];
        if (isdigitchar(c)) {
            // allowed
        } else if (c == '.') {
            if (point || k <= 1 || expo || slash) return valuetype::astring;
            point = true;
        } else if (c == 'e' || c == 'E') {
            if (expo || k <= 1 || slash || prev == '.') return valuetype::astring;
            expo = true;
        } else if (c == '-' || c == '+') {
            if (!(prev == 'e' || prev == 'E') || !expo || expsign) return valuetype::astring;
            expsign = true;
        } else if (c == '/') {
            if (slash || k <= 1 || point || expo) return valuetype::astring;
            slash = true;
        } else {
            return valuetype::astring;
        }
        // Counts of the characters that follow each mark (the mark itself not counted).
        if (point && c != '.') ++afterpoint;
        if (expo && c != 'e' && c != 'E') ++afterexp;
        if (slash && c != '/') ++afterslash;
        prev = c;
    }
    if (point && afterpoint == 0) return valuetype::astring;
    if (expo && (afterexp == 0 || (expsign && afterexp == 1))) return valuetype::astring;
    if (slash && afterslash == 0) return valuetype::astring;
    if (slash) return valuetype::arational;
    // A number beyond the range of input numbers ("1e4000") is not a value the program can use:
    // it is a word like any other, refused where a number is wanted.
    read = wordvalue(s, x);
    if (read && !withininputrange(x)) return valuetype::astring;
    if (!point && !expo) return valuetype::aninteger;
    return valuetype::areal;
}

}  // namespace

valuetype whatis(std::string_view w) {
    real x = 0.0L;
    bool read = false;
    return classify(w, x, read);
}

valuetype whatisreal(std::string_view w, real& x, bool& read) {
    x = 0.0L;
    const valuetype t = classify(w, x, read);
    // A number word within the input range is what `str2real` reads.
    if (t != valuetype::aninteger && t != valuetype::areal) read = false;
    if (!read) x = 0.0L;
    return t;
}

bool isnumeric(valuetype t) {
    return t == valuetype::aninteger || t == valuetype::areal || t == valuetype::arational;
}

// ---------------------------------------------------------------------------------------------
// Conversion

void text2digits(std::string_view w, decimalrec& rec, bool& ok) {
    rec = decimalrec{};
    rec.digits = "0";
    ok = false;
    const std::string s = str22(w);
    std::size_t f = 0;
    std::size_t l = 0;
    bounds0(s, f, l);
    if (f == l) return;
    if (l - f == 1 && s[f] == '-') return;

    bool negative = false;
    std::size_t i = f;
    if (s[i] == '-') {
        negative = true;
        ++i;
    }
    std::string digits;
    int decimals = 0;
    bool point = false;
    bool inexp = false;
    bool signseen = false;
    bool expnegative = false;
    int64 expval = 0;
    for (; i < l; ++i) {
        const char c = s[i];
        if (!inexp) {
            if (isdigitchar(c)) {
                digits.push_back(c);
                if (point) ++decimals;
            } else if (c == '.') {
                if (point) return;
                point = true;
            } else if (c == 'e' || c == 'E') {
                inexp = true;
            } else {
                return;
            }
        } else {
            if (isdigitchar(c)) {
                expval = 10 * expval + (c - '0');
                if (expval > 1000000) expval = 1000000;  // far beyond any representable power
            } else if (c == '-' || c == '+') {
                if (signseen) return;
                signseen = true;
                expnegative = c == '-';
            } else {
                return;  // any other character, a point in the exponent or a second letter
            }
        }
    }
    // A mantissa without digits ("." "e" "e5") is not a number.
    if (digits.empty()) return;

    std::size_t z = 0;
    while (z + 1 < digits.size() && digits[z] == '0') ++z;
    digits.erase(0, z);

    int64 e = (expnegative ? -expval : expval) - decimals;
    if (digits == "0") e = 0;
    if (e > std::numeric_limits<int16>::max()) e = std::numeric_limits<int16>::max();
    if (e < std::numeric_limits<int16>::min()) e = std::numeric_limits<int16>::min();

    rec.negative = negative;
    rec.exponent = narrow16(e);
    rec.digits = digits;
    ok = true;
}

namespace {

// 10^k by binary powers, 10^-k as the reciprocal of 10^k.
constexpr real powerof10bybits(int k) {
    // 10^(2^i) for i = 0 .. 12; 10^8192 is beyond the extended range.
    constexpr real factors[] = {1e1L,   1e2L,   1e4L,   1e8L,    1e16L,   1e32L,  1e64L,
                                1e128L, 1e256L, 1e512L, 1e1024L, 1e2048L, 1e4096L};
    constexpr int nfactors = static_cast<int>(sizeof(factors) / sizeof(factors[0]));
    long long m = k < 0 ? -static_cast<long long>(k) : static_cast<long long>(k);
    real r = 1.0L;
    for (int bit = 0; m != 0; ++bit, m >>= 1) {
        if ((m & 1) == 0) continue;
        if (bit >= nfactors) {
            r = std::numeric_limits<real>::infinity();
            break;
        }
        r = r * factors[bit];
    }
    return k < 0 ? 1.0L / r : r;
}

// The powers the number text asks for most, formed by the same products when the program is
// compiled (the compiler rounds each product and quotient to the extended format as the
// processor does).
constexpr int tabledpowers = 40;
struct PowerTable {
    real v[2 * tabledpowers + 1] = {};
    constexpr PowerTable() {
        for (int k = -tabledpowers; k <= tabledpowers; ++k)
            v[k + tabledpowers] = powerof10bybits(k);
    }
};
constexpr PowerTable powertable;

}  // namespace

real powerof10(int k) {
    if (k >= -tabledpowers && k <= tabledpowers) return powertable.v[k + tabledpowers];
    return powerof10bybits(k);
}

real digits2real(const decimalrec& rec) {
    real d = 0.0L;
    for (char c : rec.digits) {
        if (isdigitchar(c)) d = 10.0L * d + static_cast<real>(c - '0');
    }
    if (rec.negative) d = -d;
    return d * powerof10(rec.exponent);
}

bool str2real(std::string_view w, real& x, std::string& msg) {
    msg.clear();
    x = 0.0L;
    if (blankword(w)) return false;
    if (!wordvalue(w, x)) {
        x = 0.0L;
        msg = std::string(w) + " not a real: replace with";
        return false;
    }
    if (!withininputrange(x)) {
        // beyond the range of input numbers: refused like any other word that is not a number
        x = 0.0L;
        msg = std::string(w) + " not a real: replace with";
        return false;
    }
    return true;
}

bool str2int(std::string_view w, int16& i, std::string& msg) {
    msg.clear();
    i = 0;
    if (blankword(w)) return false;
    real value = 0.0L;
    if (!wordvalue(w, value)) {
        msg = std::string(w) + " not an integer: replace with";
        return false;
    }
    const double y = static_cast<double>(value);
    const double r = std::round(y);
    if (std::fabs(y - r) > 1e-8) {
        msg = std::string(w) + " not an integer: replace with";
        return false;
    }
    if (!(std::fabs(y) < 32767.0)) {
        msg = std::string(w) + " too large: replace with";
        return false;
    }
    i = static_cast<int16>(r);  // whole and within range: checked above
    return true;
}

bool str2rational(std::string_view w, int16& num, int16& den, std::string& msg) {
    msg.clear();
    num = 0;
    den = 0;
    const std::size_t slash = w.find('/');
    if (slash == std::string_view::npos) {
        msg = std::string(w) + " not a rational: replace with";
        return false;
    }
    std::string m;
    if (!str2int(w.substr(0, slash), num, m)) msg = m;
    if (msg.empty() && !str2int(w.substr(slash + 1), den, m)) msg = m;
    if (msg.empty() && (num == 0 || den == 0)) msg = "zero in rational";
    return msg.empty();
}

namespace {

// How many values of a list stand after words[start]: the words `accepts` takes, up to `count`
// of them when count > 0 (then all are needed) or else up to the list's `capacity` (then at least
// -count are needed and the number found goes back in count). -1 when too few stand there.
template <class Accepts>
int leadingvalues(const strings& words, int n, int start, int capacity, int16& count,
                  Accepts accepts) {
    const int c = count;
    const int last = c > 0 ? start + c : std::min(n, capacity);
    int found = 0;
    for (int j = start + 1; j <= last && j <= n; ++j) {
        if (!accepts(whatis(words[j]))) break;
        ++found;
    }
    if (c > 0) return found < c ? -1 : c;
    count = narrow16(found);
    return found < -c ? -1 : found;
}

}  // namespace

bool str2value(const strings& words, int n, int start, rrvector& values, int16& count) {
    if (!(std::abs(count) + start - 1 < n)) return false;
    const int m = leadingvalues(words, n, start, rrvector::capacity(), count, isnumeric);
    if (m < 0) return false;
    std::string msg;
    for (int k = 1; k <= m; ++k) {
        const std::string& w = words[start + k];
        if (whatis(w) == valuetype::arational) {
            int16 num = 0;
            int16 den = 0;
            if (!str2rational(w, num, den, msg)) return false;
            values[k] = doubleratio(num, den);
        } else {
            real x = 0.0L;
            if (!str2real(w, x, msg)) return false;
            values[k] = x;
        }
    }
    return true;
}

bool str2intvalue(const strings& words, int n, int start, irrvector& ints, int16& count) {
    const int c = count;
    if (c > 0) {
        if (!(c + start - 1 < n)) return false;
    } else if (c < 0) {
        if (!(-c + start - 1 < n)) return false;
    } else {
        if (!(n > start)) return false;
    }
    const int m = leadingvalues(words, n, start, irrvector::capacity(), count,
                                [](valuetype t) { return t == valuetype::aninteger; });
    if (m < 0) return false;
    std::string msg;
    for (int k = 1; k <= m; ++k) {
        int16 i = 0;
        if (!str2int(words[start + k], i, msg)) return false;
        ints[k] = i;
    }
    return true;
}

void real2rational(real x, int32& num, int32& den) {
    den = 1;
    if (!std::isfinite(x)) {
        // No rational stands for an infinite or undefined value: the largest one of the sign.
        num = std::isnan(x) ? 0
                            : (x < 0 ? std::numeric_limits<int32>::min() + 1
                                     : std::numeric_limits<int32>::max());
        return;
    }
    if (std::fabs(x - std::round(x)) < 0.001L) {
        num = sat32(roundsat(x));
        return;
    }
    // Continued fraction of |x|: at most 20 partial quotients.
    constexpr int maxquotients = 20;
    long double q[maxquotients];
    int m = 0;
    long double a = std::fabs(x);
    while (m < maxquotients) {
        const long double t = std::trunc(a);
        q[m++] = t;
        const long double r = a - t;
        if (std::fabs(r) < 0.001L) break;
        a = 1.0L / r;
    }
    // Fold the quotients into convergents h/k from the first outward (the same integers as the
    // fold from the last quotient back); keep the last convergent that fits 32 bits.
    const long double lim = 2147483647.0L;
    long double h1 = 1.0L, h0 = 0.0L;  // h(-1), h(-2)
    long double k1 = 0.0L, k0 = 1.0L;
    long double bh = -1.0L, bk = 1.0L;
    for (int i = 0; i < m; ++i) {
        const long double h = q[i] * h1 + h0;
        const long double k = q[i] * k1 + k0;
        if (h > lim || k > lim) break;
        bh = h;
        bk = k;
        h0 = h1;
        h1 = h;
        k0 = k1;
        k1 = k;
    }
    if (bh < 0.0L) {
        // Even the integer part does not fit 32 bits.
        num = x < 0 ? -std::numeric_limits<int32>::max() : std::numeric_limits<int32>::max();
        den = 1;
        return;
    }
    num = static_cast<int32>(bh);
    den = static_cast<int32>(bk);
    if (x < 0) num = -num;
}

// ---------------------------------------------------------------------------------------------
// Fatal forms

int16 getinteger(valuetype t, std::string_view w, std::string_view context) {
    const std::string tail = std::string(w) + " - " + std::string(context);
    if (t != valuetype::aninteger)
        bomb("getinteger", "expecting an integer (1); got: " + tail, yourfault);
    int16 i = 0;
    std::string msg;
    if (!str2int(w, i, msg))
        bomb("getinteger", "expecting an integer (2); got: " + tail, yourfault);
    return i;
}

void getrational(valuetype t, std::string_view w, int16& num, int16& den,
                 std::string_view context) {
    const std::string tail = std::string(w) + " - " + std::string(context);
    std::string msg;
    switch (t) {
        case valuetype::aninteger:
            if (!str2int(w, num, msg))
                bomb("reading", "expecting a rational (1); got: " + tail, yourfault);
            den = 1;
            return;
        case valuetype::areal: {
            real x = 0.0L;
            if (!str2real(w, x, msg))
                bomb("reading", "expecting a rational (2); got: " + tail, yourfault);
            int32 n32 = 0;
            int32 d32 = 1;
            real2rational(x, n32, d32);
            num = li2i(n32);
            den = li2i(d32);
            return;
        }
        case valuetype::arational:
            if (!str2rational(w, num, den, msg))
                bomb("reading", "expecting a rational (3); got: " + tail, yourfault);
            return;
        default: bomb("reading", "expecting a rational (4); got: " + tail, yourfault);
    }
}

real getsingle(valuetype t, std::string_view w, std::string_view context) {
    const std::string tail = std::string(w) + " - " + std::string(context);
    std::string msg;
    switch (t) {
        case valuetype::aninteger:
        case valuetype::areal: {
            real x = 0.0L;
            if (!str2real(w, x, msg))
                bomb("reading", "expecting a single (2); got: " + tail, yourfault);
            return x;
        }
        case valuetype::arational: {
            int16 num = 0;
            int16 den = 0;
            if (!str2rational(w, num, den, msg))
                bomb("reading", "expecting a single (3); got: " + tail, yourfault);
            return static_cast<real>(num) / static_cast<real>(den);
        }
        default: bomb("reading", "expecting a single (1); got: " + tail, yourfault);
    }
}

int16 li2i(int32 v) {
    if (v >= 32768 || v <= -32768) bomb("li2i", "longint -> int conversion failed", yourfault);
    return static_cast<int16>(v);
}

}  // namespace qv
