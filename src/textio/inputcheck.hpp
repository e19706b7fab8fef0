#pragma once
// Values that the readers take as numbers but that make no sense where they stand (a negative
// uncertainty, a site multiplicity of 0, a temperature below absolute zero...): each reader
// refuses them where it reads them, naming the value and its file, before they can fail deep in
// a calculation.

#include <string_view>

#include "base/real.hpp"

namespace qv {
struct Session;
}

namespace qv {

// Stops the run with an input error when `sound` is false: "<what> = <x> in "<file>": <rule>",
// under the procedure name `proc`.
void checkinput(bool sound, std::string_view proc, std::string_view what, real x,
                std::string_view rule, std::string_view file);

// The same check for a value typed at the keyboard: false (with the reason on screen and log)
// when `sound` is false, so that the prompt asks again.
bool typedinputok(Session& ses, bool sound, std::string_view what, real x, std::string_view rule);

}  // namespace qv
