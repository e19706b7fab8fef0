#pragma once
// Data and covariance of the run's end-members: once the phases of a run are chosen, every
// end-member of every phase (solution-phase end-members in phase and end-member order, then the
// pure phases) gets in its phase record its 31 data values and its row of enthalpy covariances
// with all the others. A made end-member (a rational combination of dataset end-members) gets
// data built from its constituents and covariances built from theirs.

#include "model/emchoice.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Needs, before the call: the chosen phases in `prec1` (1..nss) and `prec0` (1..npure) with
// their make definitions; dataset passes 2 and 3 done, so that rows 1..nem of `td` and of `cov`
// and `dataset.emnames` hold the dataset end-members named by the phases (the list `makename`
// gathers); the calibration switch of `run.setup`, `dataset.ds190` and `ses.runcount`.
// Leaves: in each solution end-member record and each pure-phase record its data row (`td`)
// and covariance row (`vec`) in the run's order; for made end-members their constituent rows
// (`makeint2`), which point at dependent rows of `td` and `emnames` taken from 400 downwards;
// `cov` rewritten in the run's order (checked symmetric); `nem` and `nrxem` := the number of
// phase end-members. On the first run of the process (`runcount` 1) it writes the a-x summary
// of every solution phase (`printphaseinfo`). Prints nothing else, except the "in the make
// for" line before its two make-action stops.
void lsqds(Session& ses, Run& run);
// The same with the made end-members built by the calibration (`calibrationmakes`) or as in
// the other calculations, whatever the run's calibration switch says (the phases of one
// experiment are made as a phase diagram run makes them), and the a-x summary of the solution
// phases written when `phaseinfo` says so, whatever the pass.
void lsqds(Session& ses, Run& run, bool calibrationmakes, bool phaseinfo);

// The later-layer steps of `extractem` for the rock calculations, reaction diagrams and
// utilities: `lsqds`, then the activity table at the P-T for a-x, which also becomes the current
// P and T of the run.
ExtractemSteps extractem_steps();

}  // namespace qv
