#pragma once
// The reaction tables of a diagram: the list of reactions, their linearised thermodynamics
// 0 = a + bT + cP + RT ln K with uncertainties, and per reaction its line across the window
// (the calculated variable at each grid point, two branches) with the uncertainty of the line
// at one grid point. Fills the branch tables that the intersection search works from.

#include "reactiondiagram/diagram.hpp"

namespace qv {

// Prints the tables on screen, summary and log and fills `branch1` and `branch2`.
void ptxtable(Diagram& d);

}  // namespace qv
