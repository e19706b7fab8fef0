#pragma once
// Mode isopleths of a pseudosection run: the modal proportion of up to two phases held at lists
// of values (or at zero, to find the edges of fields), each taking one unknown away from the
// equations.

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// The mode isopleths, from the script's "modeisopleth" and "zeromodeisopleth" or by question,
// into the first rows of `pd.iso`. Stops the run (procedure "readmodeisopleths"): "phase
// overlap1 between modeisopleth and zeromodeiso", "phase overlap2 ...", "phases don't add up",
// name + " not recognised", "position for isopleth out of range", "too many isopleths",
// "1 or 3 numbers expected", "isopleth values inappropriate", "too many modes set".
void readmodeisopleths(Session& ses, Run& run, PdRun& pd);

}  // namespace qv
