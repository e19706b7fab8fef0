#pragma once
// The results of a calibration: the fitted end-member properties, the calorimetry with its
// residuals and leverages, every experiment with its brackets and verdict, and then the
// calibrated dataset.

#include "calibration/calibdata.hpp"
#include "textio/session.hpp"

namespace qv {

// Marks the pairs of experiment k's runs for the results table: T, P and activity pairs.
void classifybrackets3(xprec& e);
// T (K) at which experiment k's fitted reaction is in equilibrium at run j; 0 on failure.
void solvebrackett(Session& ses, Calibration& cal, int16 k, int16 j, real& t, real& sdt);
// P (kbar) likewise.
void solvebracketp(Session& ses, Calibration& cal, int16 k, int16 j, real& p, real& sdp);
// Prints experiment k (summary and log).
void xpresults(Session& ses, Calibration& cal, int16 k);
// The whole results pass, then the dataset (not written when some equilibrium failed).
void writeresults(Session& ses, Run& run, Calibration& cal, bool numericalon, bool hqzon);

}  // namespace qv
