#pragma once
// a-x expressions: every composition-dependent quantity of an activity model (end-member
// proportions, site fractions, the numerator and denominator of a ratio variable) is a sum of
// terms, each a coefficient times a product of factors, each factor a rational constant plus a
// sum of rational multiples of composition variables.

#include <string>
#include <string_view>

#include "base/dense.hpp"
#include "model/datamodel.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int maxsxterms = 24;    // terms of one expression
inline constexpr int maxxterms = 4;      // factors of one term
inline constexpr int maxxtermvars = 12;  // variable terms of one factor

// One factor: constnum/constden + sum over k of (num[k]/den[k]) x variable idx[k].
struct xtermtype {
    int16 constnum = 0;
    int16 constden = 1;  // never 0
    int16 nx = 0;        // variable terms in use, 0 to 12; 0 makes the factor a constant
    Fixed1<int16, maxxtermvars> num;
    Fixed1<int16, maxxtermvars> den;  // never 0
    // Variable numbers from 1: a composition variable of the phase, or for a ratio variable
    // the number of a name in its numerator or denominator name list.
    Fixed1<int16, maxxtermvars> idx;
};

// One term: coef times the product of its factors.
struct sxtermtype {
    real coef = 1;
    int16 nxterms = 0;  // 1 to 4
    Fixed1<xtermtype, maxxterms> xterm;
};

// One expression: the sum of its terms; no terms means the value 0. Most expressions have one
// to three terms, and a phase holds some seventy expressions, so the terms are made as written.
// The record keeps the alignment of its terms, so that a phase record at full capacity (as the
// heap report gives it) is its size plus the room of the terms.
struct alignas(sxtermtype) termtype {
    int16 nsxterms = 0;  // 0 to 24
    Dense1<sxtermtype, maxsxterms> sxterm;
};

struct ptype1;

// The value of `e` with variable k read from values[k + offset - 1]. A term whose coefficient
// is exactly 0 is skipped, so it never reads its variables. Each rational num/den is formed in
// double precision and then widened, so a constant 1/3 is the double nearest one third.
real evalexpr(const eqvector& values, int offset, const termtype& e);

// True when every site fraction of the phase, at the starting guesses of its composition
// variables, is a finite positive number; a phase without site fractions always passes.
bool legalcomp(const ptype1& ph);

// Display names of the phase's composition variables for expressions written as text:
// "p(abc)" gives "abc", "x(g)" gives "x", "q[1]" gives "q". Empty for a phase with fewer than
// two end-members.
Fixed1<std::string, maxssvars> varname(const ptype1& ph);

// The multiplication and power signs of a-x text: "*" and "**" under the script switch
// "magemin", a blank and "^" otherwise.
inline std::string_view multsign(bool magemin) {
    return magemin ? "*" : " ";
}
inline std::string_view powersign(bool magemin) {
    return magemin ? "**" : "^";
}

// Writes "   name = " and the expression `e` of phase `ph` in its variables' display names to
// the channels of `mask`, continuing on lines that begin with 8 blanks once a line passes 150
// characters.
void writeexpr(Session& ses, std::string_view name, const ptype1& ph, int32 mask, const termtype& e,
               bool magemin);

}  // namespace qv
