#pragma once
// The calibrated dataset: the end-members with their fitted enthalpies, the covariance of the
// fit and a title line, as a dataset file that the main program reads.

#include "calibration/calibdata.hpp"
#include "textio/session.hpp"

namespace qv {

// Writes "qv-ds" + suffix + ".txt"; `numericalon` and `hqzon` are the script's switches.
void writeds(Session& ses, Calibration& cal, bool numericalon, bool hqzon);

}  // namespace qv
