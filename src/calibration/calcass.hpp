#pragma once
// The equilibrium of an experiment's assemblage at each of its runs, solved with the phase
// diagram solver with T (or P) free: the calculated T or P of each run, how far it misses the
// bracket, and, where the phase compositions of the runs are unknown, the solved compositions.

#include "calibration/calibdata.hpp"
#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "solver/nle.hpp"
#include "textio/session.hpp"

namespace qv {

// Solves the runs of experiment k (the first reaction of its group, set up by
// `setupxpphases`). Mode 2: every run that closes no bracket pair, with T free (P when the next
// run closes a P pair and not a T pair); mode 3: every run that does not close both kinds of
// pair, at its own P and T; mode 1 is refused. With `print` the reactions and a table of the
// runs go to the summary and the log.
void calcass(Session& ses, Run& run, Calibration& cal, int16 k, int16 mode, bool print);
// One row of the table of runs: run i of experiment k solved in `mode`, the solver's unknowns
// in `v`, written to the summary and the log.
void printbracket(Session& ses, const Run& run, const Calibration& cal, const NleVariables& v,
                  int16 k, int16 i, int16 mode);

}  // namespace qv
