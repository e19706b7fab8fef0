#pragma once
// The single printers of a good result of a phase diagram run, called by `printresult`,
// `printmorestuff` and `printstep`. Each reads the run's settings, the state of the candidate's
// calculation and its current result in place; only the progress counter is changed.

#include "base/fixed.hpp"
#include "phasediagram/results.hpp"
#include "solver/derivedmu.hpp"
#include "thermo/liquidconv.hpp"

namespace qv {

// Channel set of the result tables: the log alone in a minimisation run at print level 1 and in
// a duDA+ run, otherwise screen, summary and log.
int32 resulttableset(const Run& run, const PdRun& pd);

// What the derived results of the current point (a(H2O), mu(O), the chemical potentials of the
// components) borrow of the calculation. Stops the run outside a calculation: "no reactions to
// borrow" (procedure `procname`, an internal fault).
DerivedMuTables derivedmutables(const char* procname, Run& run, SolveState& st);
// The current point as the liquid and fluid summaries read it: the phases of the equilibrium,
// the natural solution vector and, into `modes` (from 1), the mode variables.
PointPhases pointphases(const Run& run, const SolveState& st, eqvector& modes);

// The result table: solver status line, then P, T, ln a and the variables in column blocks.
void printresulttable(Session& ses, Run& run, PdRun& pd, SolveState& st);

// Modes with the system's G, H, S, V and density per mode set, and their uncertainties.
void printmodes(Session& ses, Run& run, PdRun& pd, SolveState& st);
// P, T and the activity of every end-member (the "lsqds" form of a result).
void printactivityrow(Session& ses, Run& run, PdRun& pd, SolveState& st);
// The modes as a brace row on the drawing-program channel and as csv rows.
void printmodebox(Session& ses, Run& run, PdRun& pd, SolveState& st);

// "ptguess" and "xyzguess" lines of the solved point for the next run's script (log).
void printresultguesses(Session& ses, Run& run, PdRun& pd, SolveState& st);
// The "bulk" and "rbi" tableau of the result for the next run's script (log).
void writebulkinfo(Session& ses, Run& run, PdRun& pd, SolveState& st);
// The bulk composition made from the phases and their modes (log); nothing without modes as
// unknowns of the solve.
void printbulkfromrbi(Session& ses, Run& run, PdRun& pd, SolveState& st);

// The entry header of the candidate on the drawing-program channel.
void printvxlines(Session& ses, Run& run, PdRun& pd, SolveState& st);
// A data row of blank-separated numbers for the drawing program.
void printvxfluid(Session& ses, Run& run, PdRun& pd, SolveState& st);
// A brace-and-comma data row of P, T and the system properties for the drawing program.
void printcompatrow(Session& ses, Run& run, PdRun& pd, SolveState& st);
// Chemical potentials of the system components.
void printmu(Session& ses, Run& run, PdRun& pd, SolveState& st);
// One row of the csv file and of the second csv file.
void printcsv2row(Session& ses, Run& run, PdRun& pd, SolveState& st);

// The long detailed report of a result ("vorlacalc").
void printicvorla(Session& ses, Run& run, PdRun& pd, SolveState& st);
// The compact detailed report of a result.
void printic(Session& ses, Run& run, PdRun& pd, SolveState& st);

}  // namespace qv
