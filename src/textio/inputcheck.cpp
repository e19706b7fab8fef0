#include "textio/inputcheck.hpp"

#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

std::string valuetext(std::string_view what, real x) {
    // as few digits as show the value, up to 6 significant ones
    std::string text = realfixstr(6, false, x);
    if (text.find('.') != std::string::npos && text.find('e') == std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return std::string(what) + " = " + text;
}

}  // namespace

void checkinput(bool sound, std::string_view proc, std::string_view what, real x,
                std::string_view rule, std::string_view file) {
    if (sound) return;
    bomb(proc, valuetext(what, x) + " in \"" + std::string(file) + "\": " + std::string(rule),
         yourfault);
}

bool typedinputok(Session& ses, bool sound, std::string_view what, real x, std::string_view rule) {
    if (!sound)
        putstr(ses, 0, valuetext(what, x) + ": " + std::string(rule), 1, screenmask | logmask);
    return sound;
}

}  // namespace qv
