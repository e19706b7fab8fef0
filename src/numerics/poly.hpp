#pragma once
// A polynomial in scaled pressure and temperature, the model fitted to each compositional
// variable over a set of stored phase diagram calculations. Term i is u^a[i] v^b[i] with
// u = (P - polyp0) / 12 and v = (T - polyt0) / 300, P and T in the units of the centre; the
// caller chooses the exponents and fits the coefficients k.

#include "base/families.hpp"

namespace qv {

// The terms in use and the centre of the scaling.
struct PolyFit {
    int16 npolyterms = 0;  // terms 1..npolyterms are used (at most 20)
    real polyp0 = 0;       // pressure at the centre
    real polyt0 = 0;       // temperature at the centre
};

// t[i] = term i at (p, t), i = 1..npolyterms.
void polyterms(const PolyFit& fit, polyvector a, polyvector b, polyvector& terms, real p, real t);
// tp[i], tt[i] = the derivatives of term i by P and by T at (p, t).
void polydxterms(const PolyFit& fit, polyvector a, polyvector b, polyvector& tp, polyvector& tt,
                 real p, real t);
// The value of the polynomial with coefficients k at (p, t).
real polyvalue(const PolyFit& fit, polyvector k, polyvector a, polyvector b, real p, real t);
// Its derivatives by P and by T at (p, t).
void polyvaluedx(const PolyFit& fit, polyvector k, polyvector a, polyvector b, real& dp, real& dt,
                 real p, real t);

}  // namespace qv
