#pragma once
// Phase diagram calculations: one complete run of calculation mode 1.

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// What a phase diagram run decides below its driver: activities set by "lna" alone, the "with"
// phases uncoloured at the start, no uncertainties of activities, no channel fluid.
SetupOptions phasediagramsetup();
// One complete phase diagram run.
void nlecalcs(Session& ses, Run& run);
// The same with the run-wide settings of the run kept by the caller.
void nlecalcs(Session& ses, Run& run, PdRun& pd);

}  // namespace qv
