#pragma once
// The Einstein variant of the solid equation of state: a cold compression curve (modified Tait,
// or the exponential form of the "hqz" switch) plus an Einstein thermal pressure, whose volume has
// no closed form, and the heat-capacity correction along the reference isobar.

#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "thermo/gem.hpp"

namespace qv {

// E(u) = 1/(e^u - 1), the Einstein occupation function.
real efun(real u);
// xi(u) = u^2 e^u/(e^u - 1)^2, the Einstein heat capacity over its high-temperature limit.
real xifun(real u);
// E(u) and xi(u) from one exponential, each equal to efun and xifun to the last bit.
struct EinsteinPair {
    real e, xi;
};
EinsteinPair efun_xifun(real u);

// x to the integer power n.
real intpow(int n, real x);
// The exponential integral Ei(x) for x < 0, by a continued fraction.
real eicontfrac(real x);
// The integral from 0 to a of e^(-b t)/(1 + t) dt = e^b (Ei(-b (1 + a)) - Ei(-b)).
real eidiff(real a, real b);

// The equation of state of one Einstein-variant end-member, formed from its data row.
struct EinsteinEos {
    real v0 = 0;     // volume at Tr, Pr (kJ/kbar)
    real theta = 0;  // Einstein temperature (K)
    real k0 = 0;     // bulk modulus (kbar)
    real k0p = 0;    // K0'
    real at = 0;     // Tait coefficients a, b, c
    real bt = 0;
    real ct = 0;
    real alpha = 0;  // thermal-pressure coefficient a0 K0 / xi0 (kbar/K)
    bool hqzon = false;
    real cs[6] = {};  // series coefficients of the starting volume

    // Forms the coefficients; K0 must be nonzero (the caller checks).
    EinsteinEos(real v, real th, real a0, real k, real kp, real kpp, bool hqz);

    // Thermal pressure at t (kbar).
    real pth(real t) const;
    // Cold-plus-thermal pressure at relative volume x and its derivative by x.
    real pcold(real x, real pthv) const;
    real dpcold(real x, real pthv) const;
    // Relative volume V(P, T)/V0; stops the run when the Newton steps do not settle.
    real calcv(real p, real t) const;
    // The Gibbs energy of Cp minus the Einstein heat capacity from Tr to t along Pr, closed form.
    real props(real t) const;
    // The same by Simpson's rule on the isobar (the "numerical" switch).
    real simpson(real t) const;
    // Integral of V dP from Pr to p at t.
    real gv(real p, real t) const;
};

// Heat-capacity and volume terms (kJ) of an Einstein-variant end-member (codes 3-5 of a layout-7
// dataset) at p (kbar) and t (K); stops the run for a row outside the form.
struct EinsteinTerms {
    real gcp = 0;  // heat-capacity term
    real gv = 0;   // volume term
};
EinsteinTerms geinstein(const GemSettings& gs, const tdvector& row, std::string_view name, real p,
                        real t);

}  // namespace qv
