#pragma once
// Fluid terms of end-member Gibbs energies: R T ln f of the pure fluids with the H2O-CO2 mixing
// term, the minor fluids by corresponding states, and the channel H2O and CO2 of cordierite in
// equilibrium with the fluid.

#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// R T ln f (kJ) of H2O, CO2 or a minor fluid at p (kbar) and t (K), with the non-ideal H2O-CO2
// mixing term of an "ih2oco2" run for the x(CO2), x(H2O) of rows 27 and 28; 0 for other names.
real gfluid(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name, real p,
            real t);

// G (kJ) of the channel fluid of cordierite ("crd", "fcrd") where the calculation admits it.
real gchannel(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              real p, real t);

}  // namespace qv
