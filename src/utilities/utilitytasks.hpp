#pragma once
// The utilities behind the utility menu other than the diagram drawer: each runs to its end and
// returns to the menu's caller.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Utility 1: wt% analyses of minerals and bulk compositions into forms a script can use.
void conversions(Session& ses, Run& run);
// Utility 2: tables of end-member and reaction thermodynamics on a P-T grid.
void tabledriver(Session& ses, Run& run);
// Utility 3: end-member activities from chemical potentials (kJ/mol).
void acalc(Session& ses, Run& run);
// Utility 4: the end-members of the dataset that lie in a chemical system.
void domakelist(Session& ses, Run& run);

}  // namespace qv
