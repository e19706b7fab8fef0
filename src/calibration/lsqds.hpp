#pragma once
// Dataset calibration by least squares: calculation mode 9.

#include <memory>

#include "calibration/calibdata.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// What a calibration decides below its driver: the calibration switch, the a-x summary on the
// channel of detailed results, activities with uncertainties.
SetupOptions calibrationsetup();
// A new calibration for the run: its arrays allocated and its preferences read. The caller owns
// it, and ends it (`endlsqds`) before the run's own tables are freed.
std::unique_ptr<Calibration> lsqdsalloc(Session& ses, Run& run);
// One complete calibration run: the switches, the script, the number of iterations, the input,
// the iterations of assembling and solving, the results and the written files.
void dolsqds(Session& ses, Run& run, Calibration& cal);
// The release after a calibration.
void endlsqds(Session& ses, Run& run, std::unique_ptr<Calibration>& cal);

}  // namespace qv
