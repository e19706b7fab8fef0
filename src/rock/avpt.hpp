#pragma once
// Average P-T of a rock: one pressure and one temperature at once from the independent set of
// reactions, each reaction taken as a straight line in P-T linearised at the current estimate;
// the lines are fitted by weighted least squares and themselves adjusted within their
// uncertainties.

#include "rock/rockdata.hpp"

namespace qv {

// The P-T average; p = t = 0 means that the estimate left the P-T window.
struct AvPtResult {
    real p = 0;       // kbar
    real t = 0;       // K
    real sdp = 0;     // kbar
    real sdt = 0;     // K
    real cor = 0;     // correlation of P and T
    real sigfit = 0;  // sqrt(MSWD)
};

// Average P-T with its result lines; refused with two reactions or fewer.
void averagept(RockCalc& rc);
// The least squares of average P-T for the fluid u = x(CO2), v = x(H2O), with its diagnostics
// table written when the estimate stays in the window.
AvPtResult avptlsq(RockCalc& rc, real u, real v);

}  // namespace qv
