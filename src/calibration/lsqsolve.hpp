#pragma once
// The weighted least-squares solution for the end-member enthalpies: by Householder
// reflections of the weighted design (`qr`) or through the normal equations and a Cholesky
// factor (`choleski`). Both leave the enthalpies in `theta`, the unscaled covariance in the
// leading ntp x ntp block of `xx`, the variance factor in `sigfit2` and the leverages in `hat`.

#include "calibration/calibdata.hpp"
#include "textio/session.hpp"

namespace qv {

void qr(Calibration& cal);
void choleski(Session& ses, Calibration& cal);

}  // namespace qv
