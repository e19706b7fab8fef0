#pragma once
// Words of input lines and number text: blanks, splitting into words, comments, classing a word
// as integer, real, rational or text, and converting number words through a decimal record.

#include <string>
#include <string_view>

#include "base/families.hpp"
#include "base/real.hpp"

namespace qv {

inline constexpr int maxwordlength = 22;  // an `sstring`
inline constexpr int maxwords = 400;      // words of one line
inline constexpr int maxtextlength = 255;

using strings = Fixed1<std::string, maxwords>;  // the words of one line, or a list of names

// What one word of input holds.
enum class valuetype { anemptystring = 0, aninteger = 1, areal = 2, arational = 3, astring = 4 };

// A number as sign, decimal digits and a power of ten: value = +/- digits * 10^exponent.
struct decimalrec {
    bool negative = false;
    int16 exponent = 0;
    std::string digits;
};

// Blanks are tab, space and the byte 202.
inline bool isblankchar(char c) {
    return c == '\t' || c == ' ' || static_cast<unsigned char>(c) == 202;
}
void blankbounds(std::string_view s, int16& first, int16& last);
std::string trim(std::string_view s);
std::string str22(std::string_view s);
std::string spaces(int n);
bool sameword(std::string_view a, std::string_view b);
bool posinlist(std::string_view name, const strings& list, int n, int16& pos);
// Splits the first `len` characters of `line` into words (at most 22 characters each).
void string2strings(std::string_view line, int len, strings& words, int16& n);
// Counts only the words before the first word that begins with "%".
int16 uncommented(const strings& words, int16 n);

// The largest magnitude of a number in any input: a value far beyond any physical quantity,
// whose first products in a calculation ("1e4000" squared) would overflow to infinity, is not a
// number the program takes.
inline constexpr real largestinput = 1e300L;
inline bool withininputrange(real x) {
    return x >= -largestinput && x <= largestinput;  // false for nan too
}
valuetype whatis(std::string_view w);
// `whatis`, and for an integer or a real whether `str2real` reads it (`read`) and the value it
// reads: one pass over the word for readers of long lists of numbers.
valuetype whatisreal(std::string_view w, real& x, bool& read);
bool isnumeric(valuetype t);
void text2digits(std::string_view w, decimalrec& rec, bool& ok);
real digits2real(const decimalrec& rec);
real powerof10(int k);
bool str2real(std::string_view w, real& x, std::string& msg);
bool str2int(std::string_view w, int16& i, std::string& msg);
bool str2rational(std::string_view w, int16& num, int16& den, std::string& msg);
bool str2value(const strings& words, int n, int start, rrvector& values, int16& count);
bool str2intvalue(const strings& words, int n, int start, irrvector& ints, int16& count);
void real2rational(real x, int32& num, int32& den);

// Fatal forms for the file readers: they stop the run with the word and the caller's context.
int16 getinteger(valuetype t, std::string_view w, std::string_view context);
void getrational(valuetype t, std::string_view w, int16& num, int16& den, std::string_view context);
real getsingle(valuetype t, std::string_view w, std::string_view context);
int16 li2i(int32 v);

}  // namespace qv
