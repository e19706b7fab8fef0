#include "calibration/calibfiles.hpp"

#include <cmath>

#include "base/fatal.hpp"
#include "textio/numfmt.hpp"

namespace qv {

bool CalibReader::nextline() {
    std::string s;
    if (!f_.readline(s)) return false;
    if (s.size() > maxtextlength) s.resize(maxtextlength);
    text_ = s;
    pos_ = 0;
    return true;
}

bool CalibReader::line(strings& words, int16& n) {
    droprest();
    for (;;) {
        if (!nextline()) return false;
        const std::string t = trim(text_);
        text_.clear();
        if (t.empty() || t[0] == '%') continue;
        string2strings(t, static_cast<int>(t.size()), words, n);
        n = uncommented(words, n);
        if (n > 0) return true;
    }
}

bool CalibReader::rawline(strings& words, int16& n) {
    droprest();
    if (!nextline()) return false;
    string2strings(text_, static_cast<int>(text_.size()), words, n);
    text_.clear();
    return true;
}

std::string CalibReader::word(std::string_view context) {
    for (;;) {
        while (pos_ < text_.size() && isblankchar(text_[pos_])) ++pos_;
        if (pos_ < text_.size()) break;
        if (!nextline()) {
            bomb(procname_, "file ends while reading " + std::string(context), yourfault);
        }
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isblankchar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
}

int16 CalibReader::integer(std::string_view context) {
    const std::string w = word(context);
    return getinteger(whatis(w), w, context);
}

real CalibReader::number(std::string_view context) {
    const std::string w = word(context);
    return getsingle(whatis(w), w, context);
}

bool CalibReader::moreonline() {
    while (pos_ < text_.size() && isblankchar(text_[pos_])) ++pos_;
    return pos_ < text_.size();
}

std::string CalibReader::resttext() {
    std::string s = pos_ < text_.size() ? trim(text_.substr(pos_)) : std::string();
    droprest();
    return s;
}

void CalibReader::skipline() {
    droprest();
    std::string s;
    (void)f_.readline(s);
}

}  // namespace qv

namespace qv {

std::string fixfield(real x, int w, int d) {
    if (!std::isfinite(x)) bomb("fixfield", "a value to write is not a finite number", yourfault);
    std::string s = digits2text(fixedmode, d, real2digits(fixedmode, d, x));
    if (s.empty() || s == "-") s = "0";
    // Too large for fixed form (no digits at all): exponent form, which the readers take back,
    // set off from the field before it.
    if (s.find_first_of("0123456789") == std::string::npos) s = " " + realfixstr(8, false, x);
    if (static_cast<int>(s.size()) < w) s.insert(0, static_cast<std::size_t>(w) - s.size(), ' ');
    return s;
}

std::string intfield(long v, int w) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < w) s.insert(0, static_cast<std::size_t>(w) - s.size(), ' ');
    return s;
}

}  // namespace qv
