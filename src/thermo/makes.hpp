#pragma once
// Gibbs energy of any end-member of a calculation: a plain dataset end-member directly, a made
// end-member as its linear term a - bT + cP plus the weighted Gibbs energies of its constituents.

#include <functional>
#include <string>

#include "model/datamodel.hpp"
#include "model/phases.hpp"
#include "thermo/gem.hpp"

namespace qv {

// One constituent of a made end-member: its row of `td`, its integer coefficient and the order
// state it is taken in.
struct MakeConstituent {
    int16 row = 0;
    int16 coef = 0;
    OrderState order = OrderState::equilibrium;
};

// The make list of a made end-member: constituents and the common divisor of the coefficients.
struct MakeList {
    int16 n = 0;
    int16 den = 1;
    Fixed1<MakeConstituent, maxmake> c;
};

// The make list of pure phase j (ph = 0) or of end-member j of solution phase ph.
using MakeLookup = std::function<MakeList(int16 ph, int16 j)>;

// The make lists as the phase records hold them (constituent rows in `makeint2`).
MakeList makelistof(const ptype0& ph);
MakeList makelistof(const ssemtype& em);
// A lookup over the run's phase records.
MakeLookup phasemakes(const prectype0& prec0, const prectype1& prec1);

// What `gemdriver` reads: the data rows and names of the calculation's end-members (row k of
// `td` is end-member k; constituents of made end-members are rows too) and the make lists.
struct GemTables {
    const tdmatrix& td;
    const Fixed1<std::string, maxem>& names;
    MakeLookup makes;
};

// G (kJ) of end-member k at p (kbar) and t (K).
real gemdriver(Session& ses, const GemSettings& gs, const GemTables& tables, int16 k, real p,
               real t);

}  // namespace qv
