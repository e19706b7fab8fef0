#pragma once
// The settings of the end-member Gibbs energy for one run, gathered from the run's dataset and
// its script, so that every driver takes them from one place.

#include "model/run.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// The forms of `gem` chosen by the dataset (layout, the 190 layout, the fluid equations of its
// name), the script switches "hqz" and "numerical", the debug level and the fluid type: the
// forms of the equilibrium solves of phase diagrams and of states of order. The cordierite
// channel fluid and the calibration state keep their defaults: the drivers that count the
// fluid (from `run.setup.channelfluid`) and the calibration set them.
GemSettings gemsettings(const Run& run);

}  // namespace qv
