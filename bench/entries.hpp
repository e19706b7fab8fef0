#pragma once
// The benchmark cases of the solver and of whole phase diagram runs, each timed beside its own
// reference loop of one long double log and exp.

#include <string>

namespace qv {

// ns per evaluation of the equilibrium equations and per converged point, for a pure-phase and a
// solution-phase system built on the dataset file.
int solver_bench(const std::string& dsfile);
// Time per point of a phase diagram grid of a solution-phase equilibrium on the dataset file.
int phasediagram_bench(const std::string& dsfile);
// Time per candidate and per point of a Gibbs energy minimisation at one P-T point.
int dogmin_bench(const std::string& dsfile);
// A Monte Carlo run of two batch members over a drawn W of the garnet: time per trial.
int montecarlo_bench(const std::string& dsfile);
// Elapsed time, peak memory and page faults of whole runs of the built program on the example
// folder and on a reaction diagram of the whole-run tests.
int wholerun_bench();

}  // namespace qv
