#pragma once
// Volume term of solid and melt end-member Gibbs energies: the integral of V dP from Pr to P by
// the modified Tait equation with an Einstein thermal pressure, the melt form with a
// temperature-dependent bulk modulus, and the Murnaghan form of the 190 layout.

#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

struct ThermoWork;

// Integral of V dP (kJ) from Pr to p (kbar) at t (K) of the row's equation of state (all but the
// Einstein variant); `melt` selects the melt form (names ending in "L").
real gv_solid(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              bool melt, real p, real t);

// The same term with its P and T derivatives, for solids of the Tait form and of a constant
// volume; a derivative not asked for (needp, needt) may come back as 0. False, with `out`
// untouched, for the 190 layout, melts and a thermal pressure the run would clamp or stop at: the
// caller then takes differences of G. The Tait terms of recent rows are kept in `w`.
bool gv_solid_derivs(ThermoWork& w, const GemSettings& gs, const tdvector& row,
                     std::string_view name, bool melt, real p, real t, GTerm& out,
                     bool needp = true, bool needt = true);

// The bulk modulus (kbar), square-root expansion, Murnaghan exponent and thermal volume factor
// of the 190 layout at t.
struct Murnaghan {
    real k, a1, n, f;
};
Murnaghan murnaghan(std::string_view name, const tdvector& row, real t);

// The Tait coefficients a, b, c of a bulk modulus k (kbar) and its derivatives; stops the run for
// a row with b(c - 1) = 0.
struct Tait {
    real a, b, c;
};
Tait taitcoefficients(std::string_view name, real k, real kp, real kpp);

}  // namespace qv
