#pragma once
// The reaction that an assemblage stands for at a solved point: the null vector of the
// component-by-phase composition matrix, written with small whole-number coefficients and with
// the fluid species on the right-hand side.

#include <string>

#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "solver/calcre.hpp"
#include "textio/words.hpp"

namespace qv {

// Text of the reaction x[1..n] among `names`: negative coefficients on the left of " = ".
// Coefficients are whole numbers relative to the smallest significant one (scaled by 10 when
// any is not a whole multiple of it); a term below a thousandth of the largest is written "0"
// before its name, one below 1e-7 of the largest is left out.
std::string printreaction(const emvector& x, const strings& names, int16 n);

// The reaction among the phases of a solved point.
struct AssemblageReaction {
    strings names;  // one per column
    emvector x;     // coefficients
    int16 n = 0;    // columns; 0 with a singular last step
    std::string text;
};

// Gathers the columns of the phases flagged in `phases` (solution phases 1..nss in layout order
// with their compositions at the natural values x, then pure phases nss + 1..nss + npure), with
// an H2O-CO2 fluid of a T-x(CO2) or P-x(CO2) section split into its two end-members when the
// equilibrium is divariant before its isopleths (`variance`: a univariant line of the section
// once x(CO2) is set, so that the fluid's end-members balance on their own); balances them and
// turns the reaction so that H2O + CO2 is not negative. When the last Newton direction was
// singular the text is "####" and n is 0.
AssemblageReaction assemblagereaction(const Run& run, const CrossRefs& xref, const eqvector& x,
                                      const bemvector& phases, bool jacsingular, int16 variance);

}  // namespace qv
