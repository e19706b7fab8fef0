#pragma once
// Tables of thermodynamic quantities on a grid of pressures and temperatures: the data and
// Gibbs energies of the run's end-members, RT ln f and V of the fluids, and the reactions among
// the end-members linearised about a point; the Gibbs energies, H2O fugacities and reactions
// also as Mathematica lists on the drawing-program channel.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// The grid of a table: pressures in kbar, temperatures in K.
struct PtGrid {
    using Values = Fixed1<real, 40>;
    Values p{};
    int16 np = 0;
    Values t{};
    int16 nt = 0;
};

// Asks for the grid: a list of values, or start, finish and interval (2 to 40 values); a
// "calcP"/"calcT" of one value in the script is taken without asking.
void PTgrid(Session& ses, Run& run, PtGrid& grid);

// Table code 0: the data rows of the run's end-members and their G on the grid.
void emthermotable(Session& ses, Run& run);
// Code 1: RT ln f of H2O and CO2 (kJ).
void fugtable(Session& ses, Run& run);
// Code 2: RT ln f of CH4, H2, H2S and S2 from their critical constants.
void otherfugtable(Session& ses, Run& run);
// Code 3: V of H2O and CO2 (kJ/kbar).
void voltable(Session& ses, Run& run);
// Code 4: the reactions among the end-members linearised as dG = a + bT + cP, and the error
// of that form over a grid.
void rthermo(Session& ses, Run& run);

}  // namespace qv
