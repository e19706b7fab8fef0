#include "thermo/heatcapacity.hpp"

#include <cmath>

#include "thermo/gem.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

// ln(t/Tr) of the recent temperatures, kept by slot: the end-members of a reaction or an
// assemblage are evaluated at one temperature after another, and a search along a line comes
// back to the ends of its window. The same value as formed at the call, to the bit (a zero of
// either sign kept apart).
real lntovertr(real t) {
    struct Kept {
        real t = 0;
        real ln = 0;
        bool used = false;
    };
    thread_local Kept kept[temperatureslots];
    Kept& k = kept[temperatureslot(t)];
    if (!(k.used && k.t == t && (t != 0 || std::signbit(t) == std::signbit(k.t)))) {
        k = {t, std::log(t / tr), true};
    }
    return k.ln;
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
