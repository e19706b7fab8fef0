#pragma once
// Average pressure-temperature: one complete run of calculation mode 2.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Set-up of one average P-T run: dataset, script and a-x file.
void setuprockcalcs(Session& ses, Run& run);
// One complete average P-T run.
void rockcalcs(Session& ses, Run& run);

}  // namespace qv
