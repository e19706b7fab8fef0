#pragma once
// Dataset calibration by least squares: calculation mode 9.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Allocates the calibration arrays and reads the calibration preferences.
void lsqdsalloc(Session& ses, Run& run);
// One complete calibration run.
void dolsqds(Session& ses, Run& run);
void endlsqds(Session& ses, Run& run);

}  // namespace qv
