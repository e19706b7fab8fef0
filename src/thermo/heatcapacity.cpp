#include "thermo/heatcapacity.hpp"

#include <cmath>

#include "thermo/gem.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

}  // namespace

real gcp_ordinary(const tdvector& row, real t) {
    return gcp_ordinary_derivs(row, t).g;
}

GTerm gcp_ordinary_derivs(const tdvector& row, real t) {
    const real a = row[4], b = row[5], c = row[6], d = row[7];
    const real sqt = std::sqrt(t);
    const real dh =
        a * (t - tr) + b / 2 * (t * t - trsq) - c * (1 / t - trinv) + 2 * d * (sqt - trsqrt);
    const real ds = a * std::log(t / tr) + b * (t - tr) - c / 2 * (1 / (t * t) - trinvsq) -
                    2 * d * (1 / sqt - trinvsqrt);
    // dH/dT = Cp = T dS/dT, so dG/dT is -S alone.
    return {dh - t * ds, 0, -ds};
}

}  // namespace qv
