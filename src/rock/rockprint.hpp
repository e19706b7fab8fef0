#pragma once
// The input of a rock calculation written before any average: a readable report on screen,
// summary and log, and the same data as Mathematica assignments for the drawing program.

#include "rock/rockdata.hpp"

namespace qv {

// Activities and their uncertainties, the reactions, each reaction's thermodynamic summary with
// its own P or T, and on request the correlation matrices.
void printavptdata(RockCalc& rc);
// The same data as Mathematica lists on the drawing-program channel.
void printavptmath(RockCalc& rc);

}  // namespace qv
