#pragma once
// An experiment with an assemblage of phases laid out as an ordinary equilibrium calculation:
// its solution phases in the working slots of the phase table, its pure phases, its end-members
// with the calibration dataset's data; and the activities of every entry of its end-member list
// at each experimental run.

#include "calibration/calibdata.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"
#include "thermo/activities.hpp"

namespace qv {

// Lays out experiment k as the current calculation of `run`: phases, end-members, their
// compositions in the system components, data rows and covariance rows.
void setupxpphases(Session& ses, Run& run, Calibration& cal, int16 k);
// Activities (their sds discarded) of the end-members of solution phase `ph` at its
// composition variables x, p (kbar) and t (K).
empvector xpactivities(const ptype1& ph, const eqvector& x, real p, real t);
// The activity of every list entry of experiment k at run i, the state of order of its
// order-disorder phases solved first (and kept in the run's compositions); copied to the same
// run of the other reactions of the experiment.
void lsqcalca(Session& ses, Run& run, Calibration& cal, int16 k, int16 i);

}  // namespace qv
