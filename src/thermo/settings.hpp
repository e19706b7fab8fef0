#pragma once
// The settings of the end-member Gibbs energy for one run, gathered from the run's dataset, its
// script and the session's calculation mode, so that every driver takes them from one place.

#include "model/run.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// The forms of `gem` chosen by the dataset (layout, the 190 layout, the fluid equations of its
// name), the script switches "hqz" and "numerical", the debug level and the calculation mode.
// The fluid type and the calibration state keep their defaults; their owners set them.
GemSettings gemsettings(const Session& ses, const Run& run);

}  // namespace qv
