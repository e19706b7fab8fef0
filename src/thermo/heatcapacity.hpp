#pragma once
// Heat-capacity term of end-member Gibbs energies: the integral of Cp from Tr to T as H - TS.

#include "base/real.hpp"
#include "model/datamodel.hpp"

namespace qv {

// G (kJ) of Cp = a + bT + c/T^2 + d/sqrt(T) (rows 4-7) integrated from Tr to t (K).
real gcp_ordinary(const tdvector& row, real t);

}  // namespace qv
