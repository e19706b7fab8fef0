#include "numerics/poly.hpp"

#include <cmath>
#include <limits>

namespace qv {
namespace {

constexpr real pscale = 12;   // kbar
constexpr real tscale = 300;  // K

// x^n by squaring and multiplying, so that a negative base is allowed.
real intpower(real x, long long n) {
    unsigned long long i = static_cast<unsigned long long>(n < 0 ? -n : n);
    real result = 1;
    while (i > 0) {
        while ((i & 1U) == 0) {
            i >>= 1U;
            x *= x;
        }
        --i;
        result *= x;
    }
    return n < 0 ? 1 / result : result;
}

// base^e: 1 for e = 0, 0 for a zero base under a positive exponent, whole exponents by
// multiplication, any other by exp(e ln base) (which needs a positive base).
real realpower(real base, real e) {
    if (e == 0) return 1;
    if (base == 0) return e > 0 ? 0 : std::numeric_limits<real>::infinity();
    if (e == std::trunc(e) && std::fabs(e) < 2147483647.0L) {
        return intpower(base, static_cast<long long>(e));
    }
    return std::exp(e * std::log(base));
}

}  // namespace

void polyterms(const PolyFit& fit, polyvector a, polyvector b, polyvector& terms, real p, real t) {
    const real u = (p - fit.polyp0) / pscale;
    const real v = (t - fit.polyt0) / tscale;
    for (int i = 1; i <= fit.npolyterms; ++i) {
        if (a[i] == 0 && b[i] == 0) {
            terms[i] = 1;
        } else if (b[i] == 0) {
            terms[i] = realpower(u, a[i]);
        } else if (a[i] == 0) {
            terms[i] = realpower(v, b[i]);
        } else {
            terms[i] = realpower(u, a[i]) * realpower(v, b[i]);
        }
    }
}

void polydxterms(const PolyFit& fit, polyvector a, polyvector b, polyvector& tp, polyvector& tt,
                 real p, real t) {
    const real u = (p - fit.polyp0) / pscale;
    const real v = (t - fit.polyt0) / tscale;
    for (int i = 1; i <= fit.npolyterms; ++i) {
        if (a[i] == 0 && b[i] == 0) {
            tp[i] = 0;
            tt[i] = 0;
        } else if (b[i] == 0) {
            tp[i] = a[i] * realpower(u, a[i] - 1) / pscale;
            tt[i] = 0;
        } else if (a[i] == 0) {
            tp[i] = 0;
            tt[i] = b[i] * realpower(v, b[i] - 1) / tscale;
        } else {
            tp[i] = a[i] * realpower(v, b[i]) * realpower(u, a[i] - 1) / pscale;
            tt[i] = b[i] * realpower(u, a[i]) * realpower(v, b[i] - 1) / tscale;
        }
    }
}

real polyvalue(const PolyFit& fit, polyvector k, polyvector a, polyvector b, real p, real t) {
    polyvector terms;
    polyterms(fit, a, b, terms, p, t);
    real sum = 0;
    for (int i = 1; i <= fit.npolyterms; ++i) sum += k[i] * terms[i];
    return sum;
}

void polyvaluedx(const PolyFit& fit, polyvector k, polyvector a, polyvector b, real& dp, real& dt,
                 real p, real t) {
    polyvector tp;
    polyvector tt;
    polydxterms(fit, a, b, tp, tt, p, t);
    dp = 0;
    dt = 0;
    for (int i = 1; i <= fit.npolyterms; ++i) {
        dp += k[i] * tp[i];
        dt += k[i] * tt[i];
    }
}

}  // namespace qv
