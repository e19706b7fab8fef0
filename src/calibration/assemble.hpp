#pragma once
// One row of the least-squares problem per used experiment, rebuilt in every iteration from
// the current enthalpies: the centre of the enthalpy interval its brackets allow, and its
// standard deviation.

#include "calibration/calibdata.hpp"
#include "textio/session.hpp"

namespace qv {

void assemblexp(Session& ses, Run& run, Calibration& cal, int16 iteration);

}  // namespace qv
