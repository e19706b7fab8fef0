#pragma once
// The water activity, the chemical potential of oxygen and the chemical potentials of all
// components at a solved point. Each appends one temporary end-member of one mole of a single
// component, sets up the independent reactions again and reads its chemical potential off the
// first reaction that holds it; the end-members and reactions of the calculation are put back.
// (The reaction set-up lives with the solver, hence these routines too.)

#include "model/run.hpp"
#include "solver/reactionlists.hpp"
#include "thermo/makes.hpp"

namespace qv {

// What the three routines borrow and read. From `run`: the end-member names, `nem`, `nrxem`,
// the components with their divisors, the activities `dataset.emact` at the solved point, the
// tables `c`, `r` (with `nreac`) and `td` (values 27 and 28 of the rows of the end-members of
// the reaction used are set to 0 and 1 and stay so), the fluid equation of state of the
// dataset. `rl`: the texts and divisors of the reactions. Everything but those `td` values is
// as before the call afterwards, and `nrxem` equals `nem`.
struct DerivedMuTables {
    Run& run;
    ReactionLists& rl;
    const GemSettings& gs;
    MakeLookup makes;
    bool dogminon = false;  // what the reaction set-up lists
    bool incnler = false;
};

// a(H2O) at p (kbar) and t (K); 0 when no reaction holds H2O. Stops the run: "H2O is not a
// component", "too many end-members".
real docalcah2o(Session& ses, DerivedMuTables& tab, real p, real t);
// mu(O) in kJ; 0 when no reaction holds O. Stops the run: "O is not a component", "too many
// end-members".
real docalcmuo(Session& ses, DerivedMuTables& tab, real p, real t);
// mu (kJ) of every component into compmu[1..ncomp]; 0 for a component no reaction holds. Stops
// the run: "too many end-members".
void docalcmu(Session& ses, DerivedMuTables& tab, real p, real t, cvector& compmu);

// G (kJ) of the pure H2O gas at 1 bar and t (K).
real h2ogasg0(real t);

}  // namespace qv
