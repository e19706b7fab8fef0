#pragma once
// Average pressure-temperature: one complete run of calculation mode 2.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// What an average P-T run decides below its driver: "calctype" codes 1-2, a run of end-members
// alone asks which, activities with uncertainties, the channel fluid of cordierite.
SetupOptions rocksetup();
// Set-up of one average P-T run: dataset, script and a-x file.
void setuprockcalcs(Session& ses, Run& run);
// One complete average P-T run.
void rockcalcs(Session& ses, Run& run);

}  // namespace qv
