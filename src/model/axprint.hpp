#pragma once
// The a-x information printout: a readable summary of each solution phase's activity-composition
// model (heading, composition variables, site fractions, proportions, ideal-mixing activities,
// interaction energies, van Laar sizes and made end-members), written to the a-x information
// channel "it" (the detailed-results channel "ic" in a calibration).

#include <string>

#include "model/phases.hpp"
#include "textio/session.hpp"

namespace qv {

struct Run;

// Appends x to `line` with as few decimals as show it exactly: a whole number by `addgreal`,
// else the first of 1 to 6 decimals that carries it within 1e-8, else decimals + 1 decimals.
void addnumber(int decimals, std::string& line, real x);

// Writes the a-x summary of solution phase `phase` (index in the run's solution phases). Phase 1
// is preceded by the header lines of the a-x file. Reads the phase record, the a-x header kept
// by the a-x reader (`run.ax`), the script switch "magemin" and the printing channel of the
// run's set-up (`run.setup.phaseinfochannels`). Writes nothing else.
void printphaseinfo(Session& ses, const Run& run, int16 phase);

}  // namespace qv
