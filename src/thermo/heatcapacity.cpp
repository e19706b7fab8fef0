#include "thermo/heatcapacity.hpp"

#include <cmath>

#include "thermo/gem.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

// ln(t/Tr) of the last temperature asked for: the end-members of a reaction or an assemblage are
// evaluated at one temperature after another. The same value as formed at the call, to the bit.
real lntovertr(real t) {
    thread_local real last = 0;
    thread_local real lnlast = 0;
    thread_local bool used = false;
    if (!(used && t == last && std::signbit(t) == std::signbit(last))) {
        last = t;
        lnlast = std::log(t / tr);
        used = true;
    }
    return lnlast;
}

}  // namespace

real gcp_ordinary(const tdvector& row, real t) {
    return gcp_ordinary_derivs(row, t).g;
}

GTerm gcp_ordinary_derivs(const tdvector& row, real t) {
    const real a = row[4], b = row[5], c = row[6], d = row[7];
    const real sqt = std::sqrt(t);
    const real dh =
        a * (t - tr) + b / 2 * (t * t - trsq) - c * (1 / t - trinv) + 2 * d * (sqt - trsqrt);
    const real ds = a * lntovertr(t) + b * (t - tr) - c / 2 * (1 / (t * t) - trinvsq) -
                    2 * d * (1 / sqt - trinvsqrt);
    // dH/dT = Cp = T dS/dT, so dG/dT is -S alone.
    return {dh - t * ds, 0, -ds};
}

}  // namespace qv
