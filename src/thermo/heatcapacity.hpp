#pragma once
// Heat-capacity term of end-member Gibbs energies: the integral of Cp from Tr to T as H - TS.

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "thermo/gem.hpp"

namespace qv {

struct ThermoWork;

// G (kJ) of Cp = a + bT + c/T^2 + d/sqrt(T) (rows 4-7) integrated from Tr to t (K); the terms of
// recent temperatures are kept in `w`.
real gcp_ordinary(ThermoWork& w, const tdvector& row, real t);
// The same G (the same value to the last bit) with its T derivative, minus the entropy integral.
GTerm gcp_ordinary_derivs(ThermoWork& w, const tdvector& row, real t);

}  // namespace qv
