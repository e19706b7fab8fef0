#pragma once
// What a run's calculation decides for the layers that set the run up and compute it: the
// driver of the calculation fills it at its start, so that nothing below the driver asks which
// calculation is running. The defaults are those of a phase diagram run.

#include "base/real.hpp"
#include "script/readscripts.hpp"
#include "textio/session.hpp"

namespace qv {

struct SetupOptions {
    ScriptOptions script;  // what the run's script may hold

    // Dataset and a-x set-up.
    // Calibration switch: old dataset layouts refused, the a-x file read with its calibration
    // entries, made end-members built by the calibration, activity sds 10% by default.
    bool calibration = false;
    // Utility run: no "with" phases needed (every phase without them), no activity step, pure
    // phases under their dataset names, a repeated "with" name admitted.
    bool utilityrun = false;
    bool clearcolours = true;          // the colour flags of the "with" phases start cleared
    bool endmembersasked = false;      // a run without solution phases asks "which end-members"
    int32 phaseinfochannels = itmask;  // printing channel for the a-x summary of each phase

    // Thermodynamics and reactions.
    bool channelfluid = false;  // the H2O-CO2 channel fluid of cordierite is counted
    bool activitysd = false;    // asks for an uncertainty per activity (positions with sds)
};

}  // namespace qv
