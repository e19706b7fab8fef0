#pragma once
// Derivatives of a solved equilibrium with respect to its equations: the jacobian at the
// solution by the natural values of the unknowns, with the mass balances re-expressed as log
// ratios of the bulk composition and the modes as log ratios to a reference mode, inverted by a
// singular value decomposition. The propagation of uncertainties multiplies them by the
// uncertainties of the equations.

#include <memory>

#include "numerics/svd.hpp"
#include "solver/nle.hpp"

namespace qv {

// The bulk composition seen by the log-ratio form of the mass balances.
struct BulkRatios {
    bool modeson = false;  // the modes are unknowns and the mass balances are equations
    int16 nsyscomp = 0;
    cvector bulkcomp;   // per system component
    int16 bulkref = 1;  // system component in the denominator of the bulk log ratios
    int16 rankdeficit = 0;
};

// What `makedeqdx` leaves: deqdx[r][c], equation r (times its divisor) by the c-th free
// unknown in natural units; dxdeq[c][r], its (pseudo-)inverse. With modes, the mass-balance rows
// are d ln(b_i/b_ref) for the components other than the reference one, the mode columns are the
// log ratios ln(m_j/m_dropmode), and the last row and column are zero.
struct SolutionDerivatives {
    eqmatrix deqdx;
    eqmatrix dxdeq;
    int16 dropmode = 0;  // the reference mode among the modes; 0 none
    int16 n = 0;         // free unknowns = equations
    int16 m = 0;         // order of the inverted block: n, or n - 1 with modes
    // False when a calculation with modes has no mode large enough to be the reference, or its
    // equations are not one per reaction and one per system component: nothing can be
    // propagated then.
    bool valid = false;
    std::unique_ptr<SvdArrays> work = std::make_unique<SvdArrays>();
};

// The derivatives at the solution v.xvalue of a converged solve; `rdiv` holds the divisor of
// each of the nreac reaction equations. At debug level above 1 the matrices on the console.
// Stops the run: "rank deficit comps not yet implemented for uncertainty calcs".
void makedeqdx(Session& ses, NleEquations& eqs, const NleVariables& v, int16 nreac,
               const Fixed1<int16, maxreac>& rdiv, const BulkRatios& bulk, int16 debuglev,
               SolutionDerivatives& d);

}  // namespace qv
