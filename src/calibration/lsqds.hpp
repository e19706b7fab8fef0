#pragma once
// Dataset calibration by least squares: calculation mode 9.

#include "calibration/calibdata.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Allocates the calibration arrays and reads the calibration preferences.
void lsqdsalloc(Session& ses, Run& run);
// One complete calibration run: the switches, the script, the number of iterations, the input,
// the iterations of assembling and solving, the results and the written files.
void dolsqds(Session& ses, Run& run);
// The release after a calibration; the calibration keeps its arrays to the end of the process.
void endlsqds(Session& ses, Run& run);
// The calibration of the process (allocated by `lsqdsalloc`).
Calibration& calibration();

}  // namespace qv
