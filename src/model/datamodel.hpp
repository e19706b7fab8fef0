#pragma once
// The fixed-capacity arrays of the data model and the built-in table of chemical components.

#include <memory>
#include <string>

#include "base/families.hpp"

namespace qv {

inline constexpr int maxpure = 400;   // pure phases
inline constexpr int maxss = 80;      // solution phases
inline constexpr int maxssvars = 15;  // composition variables of a solution phase

// Derivatives of the amounts of the components in a phase by its composition variables, a row
// per end-member, made as the run's end-members use them.
using dcompdxtype = Grow1<Fixed1<Fixed1<real, maxssvars>, maxcomp>, maxem>;

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
