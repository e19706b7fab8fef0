#pragma once
// Phase diagram calculations: one complete run of calculation mode 1.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// One complete phase diagram run.
void nlecalcs(Session& ses, Run& run);

}  // namespace qv
