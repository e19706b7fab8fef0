#include "thermo/heatcapacity.hpp"

#include <cmath>

#include "thermo/gem.hpp"
#include "thermo/thermowork.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

// The terms of the heat-capacity integrals that depend on the temperature alone, for the
// recent temperatures, kept by slot: the end-members of a reaction or an assemblage are evaluated
// at one temperature after another, and a search along a line comes back to the ends of its
// window. Each is the value of its expression formed at the call, to the bit (a zero of either
// sign kept apart).
struct TTerms {
    real t = 0;
    bool used = false;
    real dt = 0;      // t - Tr
    real dt2 = 0;     // t^2 - Tr^2
    real dinv = 0;    // 1/t - 1/Tr
    real dsq = 0;     // t^1/2 - Tr^1/2
    real ln = 0;      // ln(t/Tr)
    real dinv2 = 0;   // 1/t^2 - 1/Tr^2
    real dinvsq = 0;  // 1/t^1/2 - 1/Tr^1/2
};

}  // namespace

struct HeatCapacityKept {
    TTerms kept[temperatureslots];
};

namespace {

const TTerms& tterms(ThermoWork& w, real t) {
    if (!w.heatcapacity) w.heatcapacity = std::make_shared<HeatCapacityKept>();
    TTerms& k = w.heatcapacity->kept[temperatureslot(t)];
    if (k.used && k.t == t && (t != 0 || std::signbit(t) == std::signbit(k.t))) return k;
    const real sqt = std::sqrt(t);
    k.t = t;
    k.used = true;
    k.dt = t - tr;
    k.dt2 = t * t - trsq;
    k.dinv = 1 / t - trinv;
    k.dsq = sqt - trsqrt;
    k.ln = std::log(t / tr);
    k.dinv2 = 1 / (t * t) - trinvsq;
    k.dinvsq = 1 / sqt - trinvsqrt;
    return k;
}

}  // namespace

real gcp_ordinary(ThermoWork& w, const tdvector& row, real t) {
    return gcp_ordinary_derivs(w, row, t).g;
}

GTerm gcp_ordinary_derivs(ThermoWork& w, const tdvector& row, real t) {
    const real a = row[4], b = row[5], c = row[6], d = row[7];
    const TTerms& e = tterms(w, t);
    const real dh = a * e.dt + b / 2 * e.dt2 - c * e.dinv + 2 * d * e.dsq;
    const real ds = a * e.ln + b * e.dt - c / 2 * e.dinv2 - 2 * d * e.dinvsq;
    // dH/dT = Cp = T dS/dT, so dG/dT is -S alone.
    return {dh - t * ds, 0, -ds};
}

}  // namespace qv
