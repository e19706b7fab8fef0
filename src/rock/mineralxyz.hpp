#pragma once
// The compositional variables (xyz) of one of the rock's analysed minerals as a table: what the
// mineral recalculation ends with, and what a duDA+ fit lists before it starts.

#include "script/records.hpp"
#include "textio/session.hpp"

namespace qv {

// The xyz table of mineral m on screen, summary and log: its name, "ideal" or "recalc", each
// variable with its value, sd and correlations with the later ones.
void printmineralxyz(Session& ses, const mineraltype& m);

}  // namespace qv
