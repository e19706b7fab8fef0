#pragma once
// The fixed-capacity arrays of the data model and the built-in table of chemical components.

#include <memory>
#include <string>

#include "numerics/fixed.hpp"
#include "numerics/real.hpp"

namespace qv {

inline constexpr int maxem = 400;     // end-members
inline constexpr int maxcomp = 26;    // chemical components
inline constexpr int maxreac = 150;   // reactions
inline constexpr int maxpure = 400;   // pure phases
inline constexpr int maxss = 80;      // solution phases
inline constexpr int ntd = 31;        // thermodynamic values of a dataset end-member
inline constexpr int maxssvars = 15;  // composition variables of a solution phase
inline constexpr int maxeq = 90;      // variables of the equilibrium equations

using emvector = Fixed1<real, maxem>;
using iemvector = Fixed1<int16, maxem>;
using icvector = Fixed1<int16, maxcomp>;
using cvector = Fixed1<real, maxcomp>;
using scvector = Fixed1<std::string, maxcomp>;
using tdvector = Fixed1<real, ntd>;
using eqvector = Fixed1<real, maxeq>;  // P, T, composition variables, modes

using icmatrix = Fixed1<iemvector, maxcomp>;  // compositions: component x end-member
using emmatrix = Fixed1<emvector, maxem>;     // covariance of end-member enthalpies
using rmatrix = Fixed1<iemvector, maxreac>;   // reaction coefficients: reaction x end-member
using tdmatrix = Fixed1<tdvector, maxem>;     // dataset values of each end-member
// Derivatives of the amounts of the components in a phase by its composition variables.
using dcompdxtype = Fixed1<Fixed1<Fixed1<real, maxssvars>, maxcomp>, maxem>;

// The 26 components: element, oxide, oxide mass (g/mol), cations and oxygens per oxide, and
// the order in which a system's components are listed.
struct ComponentTable {
    scvector elementnames;
    scvector oxidenames;
    cvector oxidemass;
    icvector cationsperoxide;
    icvector oxygensperoxide;
    icvector oxideorder;
};

void fillcomponenttable(ComponentTable& t);

}  // namespace qv
