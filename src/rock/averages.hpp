#pragma once
// Average pressure at each temperature of the list and average temperature at each pressure of
// the list. With solution phases the activities depend on P and T: average P iterates on P,
// average T searches by bracket halving for the T whose activities fit best.

#include "rock/rockdata.hpp"

namespace qv {

// Average P at each T of the list (K), written as a table.
void averagep(RockCalc& rc);
// Average T at each P of the list (kbar), written as a table.
void averaget(RockCalc& rc);
// One line of the average-P iteration trace: step k at t (K) with the result (kbar).
void printavprow(RockCalc& rc, int16 k, real t, real avp, real sd, real sigfit);
// One line of the average-T search: step k, activities taken at tact (K), at p (kbar).
void printavtrow(RockCalc& rc, int16 k, real tact, real p, real avt, real sd, real sigfit);

}  // namespace qv
