#pragma once
// Dataset calibration by least squares: calculation mode 9.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// The set-up of a calibration before its files are opened; the calibration is not built yet, so
// there is nothing to allocate or read and it does nothing.
void lsqdsalloc(Session& ses, Run& run);
// One calibration run; until the calibration is built it says so and changes nothing else.
void dolsqds(Session& ses, Run& run);
// The release after a calibration; with nothing allocated it does nothing.
void endlsqds(Session& ses, Run& run);

}  // namespace qv
