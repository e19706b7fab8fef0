#pragma once
// The uncertainties of a good result when the run asks for them: the derivatives of the
// solution by its equations (taken by the solver right after it converged) propagated from the
// dataset, the a-x non-ideality and the bulk into the sds of P, T, the compositions and the
// modes that the result printers show.

#include <memory>

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "solver/deqdx.hpp"
#include "solver/uncertainties.hpp"
#include "thermo/equations.hpp"

namespace qv {

// What the propagation keeps over the points of one calculation. The tables are made by
// `setupresultsds` when the run asks for uncertainties, and are none otherwise.
struct ResultSds {
    // The bulk of the mass balances: with modes in the solve the run's bulk components, the
    // denominator of their log ratios and (per point, `setpointbulk`) the point's bulk.
    BulkRatios bulk;
    scvector bulknames;  // names of the bulk components
    cvector sdbp{};      // sds of the bulk log ratios
    std::unique_ptr<SolutionDerivatives> der;
    std::unique_ptr<bulkmatrix> covbp;  // covariance of the bulk log ratios
    std::unique_ptr<Uncertainties> u;
};

// The bulk seen by the derivatives: the bulk components, with the modes as unknowns, and the
// covariance of their log ratios that the bulk reader made; and the tables, when the run's
// uncertainty level is above 0.
void setupresultsds(const Run& run, const PdRun& pd, ResultSds& r);

// The bulk of the point about to be solved (fractions, per bulk component).
void setpointbulk(const MassBalance& mb, ResultSds& r);

// Propagates the uncertainties of the result just solved (`vars`, with the derivatives the
// solver left in `r.der`) into `st.sdv` and writes what follows them at the run's level; in a
// duDA+ run (`duda` given) the result is stored for the fit.
void calcresultsds(Session& ses, Run& run, SolveState& st, const NleVariables& vars,
                   const NleState& nst, ResultSds& r, DudaRun* duda);

}  // namespace qv
