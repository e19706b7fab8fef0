#pragma once
// The calculation of one candidate equilibrium of a phase diagram run over its grid of points:
// starting guesses of each point, the Newton solve, the extraction of P, T, compositions and
// modes into the result record, the window and mode tests, the completion of a result with its
// phase properties, and the hand-over of each good result to the printers.

#include <functional>
#include <memory>

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// Sets the solver's P and T scaling from the run's P and T windows: the P window widened by
// 1 + 0.0375 (low + high) kbar on each side (within `pminimum` and 1500 kbar), the T window by
// 75 K (within 283 and 3000 K); with it the small steps of P and T in scaled units.
void solverptscaling(Run& run, CalcLayoutSettings& lay);

// Calculates the equilibrium of the phases flagged in `equilphases` (solution phases 1..nss,
// pure phase j at nss + j) at every point of the run's grid, printing each good result.
void solve(Session& ses, Run& run, PdRun& pd, const bemvector& equilphases);

// The P (or T, by the run's calculated variable) of reaction 1 of the run's reaction table at
// the current T (or P) with the fluid of a run whose fluid is absent, H2O or CO2, into `res`;
// true when it lies in its window. Stops the run: "not simple?" (a mixed or aqueous fluid),
// "unknown fluidtype" (procedure "simplecalc"), "unknown calcvariable" (procedure "calc").
bool simplecalc(Session& ses, Run& run, const GemSettings& gs, Result& res);

// Expected starting modes of the mode variables: guess[k] > 0 is a guess of mode k, given[k]
// marks a mode held at an isopleth value (guess[k] is then that value). Fills the rest so that
// the modes sum to 1 and returns them. Stops the run: "mode isopleths not sum to 1", "mode
// isopleths sum to >1" (procedure "setmodeguess"), "don't sum to 1" ("mode guess subs").
Fixed1<real, maxeq> setmodeguess(Session& ses, const Fixed1<real, maxeq>& guess,
                                 const Fixed1<bool, maxeq>& given, int16 nmodevars,
                                 const Fixed1<std::string, maxeq>& names);

}  // namespace qv
