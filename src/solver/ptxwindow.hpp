#pragma once
// Whether the line of a reaction, dG = 0, passes through the window of a reaction phase diagram:
// the signs of dG at the window's corners, then root searches along the edges whose end
// derivatives differ in sign. The tests evaluate reaction Gibbs energies and search roots, so
// they stand beside the root finder rather than with the windows they read.

#include "solver/reactionlists.hpp"
#include "solver/roots.hpp"

namespace qv {

// Whether dG of each corner of the window is below 0; corner 1 is the lowest P, T or x.
using CornerSigns = Fixed1<bool, 4>;

// True when the line of reaction i crosses the window of the current diagram type
// (ev.diagram); ln a and mu diagrams write their variable into the data row of the
// carrier end-member (number nem), which keeps the last value written.
bool inPTXwindow(ReactionEval& ev, const ActivityTerm& lnaterm, const CurrentConditions& cur,
                 int16 i, CornerSigns& cornersigns);

}  // namespace qv
