#pragma once
// The equilibrium equations of one assemblage for the Newton solver: one equation per
// independent reaction among the end-members (dG0 + RT ln K = 0, over the reaction's divisor)
// and, when the modes of the phases are unknowns, one mass balance per independent system
// component (the phases' compositions weighted by their modes give the bulk composition); the
// residuals, their analytic jacobian by the free solver variables, and whether the solver
// variables were admissible at all. With them: the check that every site fraction of the
// assemblage is positive, and the compositions of its phases per unit of mode with their
// derivatives by the composition variables.
//
// The solver vector: 1 is P (kbar), 2 is T (K), 3..nxvars the composition variables of the
// solution phases in phase order, then the nmodevars modes (solution phases with composition
// variables first, then pure phases). The solver works on scaled values s = offset + scale x
// value, each free one admissible from 0 to 1.

#include <memory>

#include "base/families.hpp"
#include "base/grow.hpp"
#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"
#include "thermo/activities.hpp"
#include "thermo/gem.hpp"
#include "thermo/reactions.hpp"

namespace qv {

inline constexpr int maxprojc = maxcomp;  // columns of the component projection

// The bulk composition and its projection, set by the phase diagram driver before a solve with
// modes. System component k is the k-th component with `syscomp` set.
struct MassBalance {
    bool modeson = false;  // modes and mass balance take part in the solve
    int16 nsyscomp = 0;
    Fixed1<bool, maxcomp> syscomp;
    Fixed1<int16, maxcomp> compweight;  // weight of a component in a phase's normalising amount
    cvector bulkcomp;                   // per system component
    // Rows 1..nsyscomp - rankdeficit project component amounts onto the independent
    // combinations, the last rankdeficit rows onto combinations that must vanish.
    Fixed1<Fixed1<int32, maxprojc>, maxcomp> projc;
    int16 rankdeficit = 0;
    real modephi = 1;  // divides the mode solver variables into modes
};

// Working arrays of one evaluation, kept between evaluations so that nothing is allocated on
// the way (about 700 kB: keep on the heap), and the phase compositions per unit of mode.
struct NleWork {
    ActivityDerivatives deriv;
    // (The tables of rows below are made as first written, so that a calculation touches only
    // the rows of its own modes, components and phases.)
    Grow1<cvector, maxeq> comp;  // comp[m][k]: mode variable m, system component k
    // For `calcdsf`, of the phase at hand (entries filled before they are read): the amounts of
    // the system components in each end-member, the end-member proportions and their
    // derivatives by the phase's variables.
    Fixed1<cvector, maxssem> emcomp;
    empvector prop;
    Fixed1<Fixed1<real, maxssvars>, maxssem> dprop;
    // For the mass balances: each phase's composition projected onto each combination.
    Grow1<Fixed1<real, maxeq>, maxcomp> projcomp;
    SsResults ssresults;
    SsSiteFractions sitefractions;  // `calcsf`'s site fractions, which `calca` takes
    EmGCache gcache;                // end-member G of the evaluation in progress
    bool cachegem = true;           // false: every reaction evaluates its end-members apart
};

// What the solver tells the equations and what an evaluation leaves for it.
struct NleState {
    int16 neqns = 0;            // equations of the last evaluation
    int16 njaccols = 0;         // jacobian columns (free solver variables) of the last evaluation
    int16 nleevalno = 0;        // evaluation number within the solver's iteration (debug output)
    int16 nleiter = 0;          // solver iteration (debug output)
    bool mcinprogress = false;  // a Monte Carlo run: bad site fractions fail in silence
    int16 batchno = 0;          // batch being run, 0 none
    std::unique_ptr<NleWork> work = std::make_unique<NleWork>();
};

// The calculation as its equations read it, each piece read afresh at every evaluation: a run's
// own calculation (`equationtables`), or a problem laid out apart from the run (the state of
// order of one phase, solver/calcq).
struct EquationTables {
    const prectype0& prec0;  // pure phases (make lists of made pure end-members)
    const prectype1& prec1;  // solution phases
    // Data rows of the calculation's end-members 1..nem and of the constituents of made ones;
    // values 27 and 28 of aqueous phases' end-members are written.
    tdmatrix& td;
    const strings& emnames;  // names of the rows of td
    const int16& nem;        // end-members of the calculation
    emvector& emact;         // activity of each end-member, written
    emvector& emsda;         // and its sd, written
    const rmatrix& r;        // reaction coefficients by end-member, reactions 1..nreac
    const int16& nreac;
    const int16& nxvars;     // P, T and the composition positions
    const int16& nmodevars;  // mode positions
    const SystemComponents& components;
    dcompdxtype* compdx;  // phase compositions by composition variable (written); modes only
    const FluidSpeciesTable& fluid;
    bool newspfluid;           // fluid equation of state of the dataset
    int16& debuglev;           // the script's debug level, set to 4 before a non-square stop
    const bool& dogminon;      // Gibbs energy minimisation in progress
    const int16& dogminlevel;  // and its print level
};
// The calculation `makecrossrefs` laid out in `run`.
EquationTables equationtables(Run& run);

// Everything an evaluation reads and writes besides the solver variables.
struct Equations {
    Session& ses;
    EquationTables calc;
    const GemSettings& gs;
    const CrossRefs& xref;  // layout of the calculation; `nssmodes` solution phases have modes
    const MassBalance& mb;
    const Fixed1<int16, maxreac>& rdiv;  // divisor of each reaction's equation
    Fixed1<real, maxreac>& rxnlnk;       // ln K of each reaction at the last evaluation
    NleState& st;
};

// Residuals f[1..neqns] and, with wantjac, the jacobian jac[row][column] by the free solver
// variables in order (P, T, free composition variables, then free modes) at the scaled solver
// values x (left unchanged). False when the values are not admissible: a free solver value
// outside 0..1 (strict at an inaccessible bound), a site fraction at or below 0, an activity at
// or below 0, a residual or jacobian entry that is not finite, or a dependent mass balance off
// zero under Gibbs energy minimisation; f and jac then hold what was written before the
// failure. Writes `st.neqns`, `st.njaccols`, `rxnlnk`, the activities and `compdx`.
// Stops the run: "residuals not in reduced system" (a dependent mass balance off zero outside
// minimisation), "non-square jacobian", "ln<=0".
bool nlefunc(Equations& eq, const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac);

// True when every site fraction of every solution phase of the calculation is above 0 at the
// natural solver values x; the site fractions are left in `eq.st.work->sitefractions`. A failure is
// reported (and, outside minimisation, stops the run with "negative sf term") unless a Monte Carlo
// run is in progress or minimisation prints at level 1 or below.
bool calcsf(Equations& eq, const eqvector& x);

// The composition of each mode variable's phase in the system components per unit of mode into
// `eq.st.work->comp`, and for solution phases the derivatives by their composition variables
// into `compdx`, at the natural solver values x. Each phase is normalised by its end-members'
// `emsize` weighted by their proportions (a pure phase by `puresize`); a zero amount gives
// compositions that are not finite, which `nlefunc` refuses. With `props`, what `calca` left at
// the same x, the end-member proportions of the solution phases are taken from there.
void calcdsf(Equations& eq, const eqvector& x, const SsResults* props = nullptr);

}  // namespace qv
