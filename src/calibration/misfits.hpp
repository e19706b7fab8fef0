#pragma once
// The misfits of an experiment's brackets: at each run the reaction enthalpy that puts the run
// on equilibrium with the current dataset and its uncertainty, the pairs of runs that bracket
// the equilibrium, and the interval of reaction enthalpy the runs allow.

#include "calibration/calibdata.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// The 31-value data row of calibration end-member t, as the Gibbs energy routine takes it.
tdvector tdrow(const tdrec& t, int16 dsmode);
// How the Gibbs energies of the calibration are formed.
GemSettings calibgem(const Calibration& cal);
// Standard Gibbs energy change (kJ) of experiment k's reaction at P (kbar), T (K), x(CO2).
real xpdgr(Session& ses, Calibration& cal, int16 k, real p, real t, real x);
// dG of reaction at run i of experiment k, with its P and T derivatives when asked.
struct BracketDg {
    real dg = 0, dgdp = 0, dgdt = 0;
};
BracketDg bracketdg(Session& ses, Calibration& cal, int16 k, int16 i, bool dodp, bool dodt);
// Marks the runs that close a temperature or a pressure pair with the run before them.
void classifybrackets(xprec& e);
// `brh` and `brsig2` of every run of experiment k.
void bracketmisfits(Session& ses, Calibration& cal, int16 k);
// The bounds, class, centre and half-width of experiment k's enthalpy interval.
void orderbrackets(Calibration& cal, int16 k);
// The half-width factor of a normalised gap g.
real halfwidth(real g);

}  // namespace qv
