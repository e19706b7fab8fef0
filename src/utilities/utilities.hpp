#pragma once
// Utilities: data tables, mineral recalculation, conversions and diagram drawing.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// One run of the utility menu.
void doutilities(Session& ses, Run& run);

}  // namespace qv
