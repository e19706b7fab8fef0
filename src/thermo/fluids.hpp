#pragma once
// Volume and fugacity of pure fluids: H2O and CO2 by the compensated Redlich-Kwong equation or by
// the Sterner-Pitzer equation (the dataset chooses), and the minor species by the
// corresponding-states form of the compensated Redlich-Kwong equation.

#include "base/real.hpp"

namespace qv {

struct Session;
struct ThermoWork;

// State of a pure fluid: v in kJ/kbar, rtlnf = R T ln f in kJ/mol with f in bar (1 bar of the
// pure gas is the standard state).
struct FluidState {
    real v = 0;
    real rtlnf = 0;
};

// Pure H2O at p (kbar) and t (K); `newspfluid` selects the Sterner-Pitzer form, otherwise the
// compensated Redlich-Kwong form.
FluidState spfluid(Session& ses, bool newspfluid, real p, real t);
// Pure CO2, the same contract.
FluidState spfluid2(Session& ses, bool newspfluid, real p, real t);
// A minor fluid from its critical constants: pcrit in kbar, tcrit in K.
FluidState corkfluid(real p, real t, real pcrit, real tcrit);

// Volume (kJ/kbar) and ln of the fugacity coefficient (without the ln p term).
struct RkVolume {
    real v = 0;
    real lnphi = 0;
};
// The Redlich-Kwong volume by Newton steps from the start volume `v0` (kJ/kbar), with the virial
// correction c dp + d dp^1/2 + e dp^1/4 above the reference pressure (dp = p - p0 > 0); p, psat
// and dp in kbar, t in K.
RkVolume findVs(real v0, real p, real t, real dp, real psat, real c, real d, real e, real a,
                real b);

// Coefficients c1..c10 of the Sterner-Pitzer equation at t, for H2O or CO2 (density in mol/cm3,
// pressure in bar), with the saturation pressure in bar (0 for CO2) and the upper end of the
// volume range searched for roots in cm3 (the lower end is 3 cm3).
struct SpCoefficients {
    real c[11] = {};
    real psatbar = 0;
    real vmax = 0;
    bool co2 = false;
};
// Those of recent temperatures are kept in `w`.
SpCoefficients spcoefficients(ThermoWork& w, bool co2, real p, real t);
// ln f (f in bar) at volume v (cm3).
real splnf(const SpCoefficients& k, real v, real pbar, real t);
// Volume (kJ/kbar) and R T ln f of the Sterner-Pitzer equation at pbar (bar) and t. Every root
// between the volume bounds is located (the loop of a subcritical isotherm by its spinodals);
// with several, the gas below the saturation pressure and at or below 1 bar, else the liquid.
// The root is converged to the last bits, so that R T ln f is smooth in P and T.
FluidState doSP(Session& ses, const SpCoefficients& k, real pbar, real t);

}  // namespace qv
