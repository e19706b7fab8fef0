#pragma once
// Activity-coefficient terms of charged aqueous species in an H2O-CO2 solvent by the extended
// Debye-Hueckel law, with the solvent's volume and dielectric constant.
// p in kbar, t in K, volumes in kJ/kbar.

#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "thermo/gem.hpp"

namespace qv {

struct Session;

// Molar volume of the solvent of amounts xco2 and xh2o, with the excess of the mixture.
real dhsolvent(Session& ses, bool newspfluid, real p, real t, real xco2, real xh2o);
// Dipole correlation factor g of the solvent at molar volume v.
real epsh2o(real p, real t, real xco2, real xh2o, real v);
// Dielectric constant of the solvent (the Kirkwood relation).
real calcdhab(real p, real t, real xco2, real xh2o, real v);
// log10 of the activity coefficient of a solute at ionic strength `ionic`; zfac multiplies the
// limiting slope. At debug level 5 the terms are listed on screen, summary and log.
real calcdh(Session& ses, bool newspfluid, int debuglev, real p, real t, real xco2, real xh2o,
            real ionic, real zfac);

// G (kJ) of an aqueous species (row 17 nonzero): the solvent-density term and, outside a
// calibration, the Debye-Hueckel activity coefficient at the ionic strength of row 26.
real gaqueous(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              real p, real t);

}  // namespace qv
