#pragma once
// Phase diagram calculations: one complete run of calculation mode 1.

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// One complete phase diagram run.
void nlecalcs(Session& ses, Run& run);
// The same with the run-wide settings of the run kept by the caller.
void nlecalcs(Session& ses, Run& run, PdRun& pd);

}  // namespace qv
