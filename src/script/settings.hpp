#pragma once
// The settings of one run taken from its script file.

#include "numerics/real.hpp"
#include "textio/prompts.hpp"

namespace qv {

struct ScriptSettings {
    controlboolean batchcb = controlboolean::no;  // "batch"
    bool dogminon = false;                        // "dogmin"
    int16 debuglev = 0;                           // "debuglevel", 0 to 6
};

}  // namespace qv
