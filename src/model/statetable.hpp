#pragma once
// The phase model state table: a compact view of one solution phase's current model (variable
// values, W split into constant, T and P parts, van Laar sizes, and the H, S, V of end-members
// whose DQF terms a Monte Carlo step has varied), written to screen, summary and log.

#include "model/phases.hpp"
#include "textio/session.hpp"

namespace qv {

// Writes the state table of solution phase `ph` to channels 13. Reads only the record: the
// variables' current values (`guess`), the W terms, the sizes, the end-members' data rows
// (H kJ, S kJ/K, V kJ/kbar) and their make definitions.
void printaxstate(Session& ses, const ptype1& ph);

}  // namespace qv
