#include "phasediagram/debyehueckel.hpp"

#include <algorithm>
#include <cmath>

#include "base/fatal.hpp"
#include "model/expressions.hpp"

namespace qv {

real ionicstrength(const Run& run, const CrossRefs& xref, const eqvector& x, int16 first) {
    const ptype1& ph = (*run.arrays.prec1)[xref.emphase[first]];
    const tdmatrix& td = *run.arrays.td;
    real s = 0;
    for (int k = 1; k <= ph.nem; ++k) {
        const tdvector& row = td[first + k - 1];
        const real p = evalexpr(x, xref.emvarpos[first], ph.p[k]);
        s += p * std::fabs(row[18]) * std::fabs(row[19]);
    }
    return std::min(0.5L * s, ionicmax);
}

bool debyehueckelsolve(Run& run, const CrossRefs& xref, const NleVariables& vars,
                       const std::function<bool()>& solveonce) {
    const prectype1& ss = *run.arrays.prec1;
    Fixed1<int16, maxaqphases> aq{};
    int16 naq = 0;
    for (int16 i = 1; i <= run.dataset.nem; ++i) {
        if (!xref.phasestart[i] || !ss[xref.emphase[i]].isaq) continue;
        if (naq == maxaqphases) bomb("donle", "no of aq", yourfault);
        aq[++naq] = i;
    }
    if (naq == 0) return solveonce();
    tdmatrix& td = *run.arrays.td;
    auto setionic = [&](int16 first, real ionic) {
        const int nem = ss[xref.emphase[first]].nem;
        for (int k = 0; k < nem; ++k) td[first + k][26] = ionic;
    };
    for (int a = 1; a <= naq; ++a) setionic(aq[a], ionicstart);
    bool solved = solveonce();
    if (!solved) return false;
    bool converged = false;
    for (int pass = 1; !converged && solved; ++pass) {
        converged = true;
        eqvector x{};
        for (int16 i = 1; i <= run.nxvars; ++i) x[i] = vars.natural(i);
        for (int a = 1; a <= naq; ++a) {
            const real old = td[aq[a]][26];
            const real ionic = ionicstrength(run, xref, x, aq[a]);
            setionic(aq[a], ionic);
            if (converged) converged = std::fabs(ionic - old) < 1e-5L;
        }
        solved = solveonce();
        if (pass > 10) bomb("solve", "debye-huckel loop", yourfault);
    }
    return solved;
}

}  // namespace qv
