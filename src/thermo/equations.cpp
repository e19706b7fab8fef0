#include "thermo/equations.hpp"

#include "textio/fatal.hpp"

namespace qv {

bool nlefunc(Equations& eq, const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac) {
    (void)eq;
    (void)x;
    (void)jac;
    (void)f;
    (void)wantjac;
    bomb("nlefunc", "not built yet", myfault);
}

bool calcsf(Equations& eq, const eqvector& x) {
    (void)eq;
    (void)x;
    bomb("calcsf", "not built yet", myfault);
}

void calcdsf(Equations& eq, const eqvector& x) {
    (void)eq;
    (void)x;
    bomb("calcdsf", "not built yet", myfault);
}

}  // namespace qv
