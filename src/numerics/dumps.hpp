#pragma once
// Diagnostic dumps of a matrix of extended reals through the output channels: as a nested list
// for the computer-algebra notebooks, and as the labelled jacobian of the equilibrium problem.

#include <string_view>

#include "base/families.hpp"
#include "textio/session.hpp"

namespace qv {

// What labels the rows and columns of the jacobian of the equilibrium problem. Rows: the nreac
// reaction equations, then one mass-balance equation per component up to nequations. Columns:
// the variables 1..nxvars (P, T and the composition variables), then the modes
// nxvars+1..nxvars+nmodevars; only variables whose xfree flag is set are unknowns of the
// problem.
struct JacobianLabels {
    int16 nreac = 0;
    int16 nequations = 0;
    int16 nxvars = 0;
    int16 nmodevars = 0;
    scvector compnames;  // component of each mass-balance row
    seqvector xnames;    // name of each variable
    beqvector xfree;     // in-use flag of each variable
};

// Writes rows x cols of m as a nested list "{{..}, {..}};" on screen, summary and log: cells
// with 4 decimals, "0" for a cell below 1e-10 in size.
void printmatrixlist(Session& ses, const eqmatrix& m, std::string_view title, int16 rows,
                     int16 cols);
// Writes the jacobian m as labelled tables on `channels`: reaction rows by composition
// variables (block 1), mass-balance rows by composition variables (block 2) and by modes
// (block 3); blocks 1, 2, 3 are written when mode is below 1, 2, 3. The columns of m are the free
// variables in order, composition variables first. Cells have `decimals` decimals in fixed
// form, or that many significant digits when expform is set, in columns decimals + 9 wide; "-"
// marks a cell below 1e-10 in size. The title is cut to 22 characters.
void printmatrixlog(Session& ses, const JacobianLabels& labels, std::string_view title,
                    const eqmatrix& m, int16 mode, int16 decimals, bool expform, int32 channels);

}  // namespace qv
