#pragma once
// Order-disorder equilibrium of a solution phase with order variables: at given P, T and values
// of its other composition variables, the order variables that make every internal reaction
// among its end-members balance, found by solving a one-phase problem with the Newton solver;
// and legal starting values of the order variables drawn at random within their ranges. Placed
// with the solver because it lays out and solves a problem of its own.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Solves the order variables of solution phase `phase` (in prec1) at p (kbar) and t (K), with
// the script's "debuglevelq" as the solver's debug level, as a problem of its own: the caller's
// calculation (its end-members, reactions, layout and settings) is read, never written. True
// when the solver converged; the phase's order variables (`guess`) then hold their equilibrium
// values, else they are unchanged.
// Stops the run: "not an OD phase", "no of reactions not equal to no of Qs", "too many
// varlims", "no site fractions not handled too big".
bool calcq(Session& ses, Run& run, int16 phase, real p, real t);

// Legal values (every site fraction positive) of the order variables of solution phase
// `phase`, drawn within their ranges when the present ones are not legal (at most 1001 draws);
// with `solve`, driven on until `calcq` converges. wasillegal: the values were not legal on
// entry. The variables keep the last values tried. Stops the run: "not an odd phase".
bool findlegalq(Session& ses, Run& run, int16 phase, bool solve, bool& wasillegal, real p, real t);

// The equilibrium state of order of solution phase `phase` at p (kbar) and t (K) for the modes
// that take mineral compositions as data: `findlegalq` with the solve flag. True when found, the
// order variables (`guess`) then holding it.
bool solve_order(Session& ses, Run& run, int16 phase, real p, real t);

}  // namespace qv
