#pragma once
// The utility menu: data tables, mineral recalculation, conversions and diagram drawing.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// What a utility run decides below its driver: no "with" phases needed and the other utility
// forms, activities with uncertainties, the channel fluid of cordierite.
SetupOptions utilitysetup();
// One pass of calculation code 0: reads the run's script, takes the utility code from the
// script keyword "utilitycode" (0 to 4) or asks it with the menu, and runs that utility.
void doutilities(Session& ses, Run& run);

}  // namespace qv
