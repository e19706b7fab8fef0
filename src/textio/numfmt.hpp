#pragma once
// Text of numbers: the program's own decimal conversion, so that every printed digit is fixed.

#include <string>
#include <string_view>

#include "base/real.hpp"
#include "textio/words.hpp"

namespace qv {

inline constexpr int significantmode = 0;
inline constexpr int fixedmode = 1;

// The text of one number as `realfixstr` and `realstr` write it (at most 22 characters), held
// without a heap string so that a table line can take it directly.
class NumberText {
public:
    static constexpr std::size_t capacity = 24;
    std::string_view view() const {
        return {chars_ + first_, capacity - static_cast<std::size_t>(first_)};
    }
    void assign(std::string_view s);
    // The text is written from its end back to its first character.
    char* end() { return chars_ + capacity; }
    void setfirst(const char* first) { first_ = static_cast<int>(first - chars_); }

private:
    char chars_[capacity];
    int first_ = static_cast<int>(capacity);
};

decimalrec real2digits(int mode, int p, real x);
std::string digits2text(int mode, int w, const decimalrec& rec);
// x with d decimals (fixed) or d significant digits, in fixed or exponent form.
std::string realfixstr(int d, bool fixed, real x);
void realfixtext(int d, bool fixed, real x, NumberText& out);
// x rounded to a whole number, halves to even.
std::string realstr(real x);
void realtext(real x, NumberText& out);
int16 ndecimals(real x);
std::string digits22(std::string_view s);
// The ending of limit messages: " (max = n) ".
std::string maxtext(int n);

}  // namespace qv
