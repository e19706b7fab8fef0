#pragma once
// The damped Newton solver of the non-linear equilibrium equations of one assemblage: Newton
// directions from LU factors of the jacobian, or from its singular value decomposition where it
// is singular or ill-conditioned (solver/newtonstep.hpp), a line search that keeps every
// unknown, variable limit and site fraction admissible, the convergence tests, the iteration
// table and the debug-level checks of the analytical jacobian.

#include <functional>
#include <memory>
#include <string>

#include "base/families.hpp"
#include "base/grow.hpp"
#include "model/crossrefs.hpp"
#include "model/phases.hpp"
#include "numerics/dumps.hpp"
#include "script/settings.hpp"
#include "solver/newtonstep.hpp"
#include "textio/session.hpp"
#include "thermo/equations.hpp"

namespace qv {

inline constexpr int maxsfterms = 50;  // site-fraction terms watched by the line search

// The equations as the solver sees them. Any residual function works: the equilibrium
// equations of an assemblage, or a small system of a test.
class NleEquations {
public:
    virtual ~NleEquations() = default;
    // Residuals f[1..n] at the solver values x and, when wantjac, the n x n jacobian by the free
    // solver values (column j is the j-th free unknown). False when x is not admissible or the
    // equations cannot be evaluated there; f and jac then hold whatever was written. x is never
    // changed. The results must depend on x alone: an iteration that starts at the point the
    // last evaluation had takes that evaluation's results over (below debug level 3).
    virtual bool nlefunc(const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac) = 0;
    // Row labels of the jacobian printed by the check at debug levels 3 and 4: the reaction
    // count and the component of each mass-balance row. By default every row is a reaction.
    virtual void jacobianlabels(JacobianLabels& labels) const { labels.nreac = labels.nequations; }
    // The residuals the equations define, given the count of free unknowns: fewer than that
    // leave the problem without a solution to find. By default one per unknown.
    virtual int16 nequations(int16 nfree) const { return nfree; }
};

// The unknowns of one problem and the bounds the line search keeps. Entry 1 is P (kbar), 2 is T
// (K), then the composition variables of the solution phases, then the modes. A free entry
// holds s = xoffset + xscale x value, admissible from 0 to 1; an entry that is not free holds
// its natural value.
struct NleVariables {
    eqvector xvalue;
    beqvector xfree;
    seqvector xname;
    eqvector xscale;
    eqvector xoffset;
    eqvector xdxscale;  // unit of the step test of each entry, in solver values
    Fixed1<acctype, maxeq> xlowacc;
    Fixed1<acctype, maxeq> xhighacc;
    int16 nxvars = 0;
    int16 nmodevars = 0;
    real modephi = 1;  // divisor of the mode entries in printed modes
    // Linear limits c + sum of (num/den) x value > 0 over entries 1..nxvars, constant in
    // column nxvars + 1.
    int16 nvarlims = 0;
    // (rows made as first written: an unwritten row reads as zeros)
    Grow1<Fixed1<int16, maxeq>, maxvarlims> varlimnum;
    Grow1<Fixed1<int16, maxeq>, maxvarlims> varlimden;
    // Site fractions that must stay positive: the phase (in `prec1`), its site fraction and the
    // entry of the phase's first composition variable.
    int16 nsfterms = 0;
    Fixed1<int16, maxsfterms> sftermphase;
    Fixed1<int16, maxsfterms> sftermsite;
    Fixed1<int16, maxsfterms> sftermoffset;
    const prectype1* prec1 = nullptr;  // needed when nsfterms > 0

    // Number of free entries: the number of equations.
    int16 nfree() const;
    // Natural value of entry k.
    real natural(int16 k) const;
};

// Copies the layout of a calculation (names, free flags, scaling, bounds, step units, limits and
// site-fraction checks) into `v`; the values themselves are the caller's.
void nlevariables(const CrossRefs& xref, int16 nxvars, int16 nmodevars, const prectype1& prec1,
                  NleVariables& v);

// What the solver reads of the settings of a run. `debuglev` is the run's own level: an
// inadmissible start at level 0 raises it to 1 for the rest of the run.
struct NleSettings {
    explicit NleSettings(int16& level) : debuglev(level) {}
    explicit NleSettings(
        ScriptSettings& s);  // the script's "convergence", "debuglevel", "dogmin", ...
    NleSettings(const ScriptSettings& s, int16& level);  // the same with a debug level apart
    real esizetol = 1e-8L;                               // largest residual
    real fsizetol = 1e-6L;                               // norm of the residuals
    real dxtol = 0.005L;  // largest change of an unknown in its step unit
    int16& debuglev;
    bool dogminon = false;
    int16 dogminlevel = -1;
    real mctrials = 1;
    // A point the equations cannot evaluate, at the start or on a trial step, ends the solve as
    // a failure without a word, whatever the debug level: for solves whose caller reports the
    // failure in its own terms (the state of order of a phase).
    bool unevaluablefails = false;
    int16 calcsdlevel = 0;
    int16 calcno = 0;  // calculation and Monte Carlo trial named by "illegal start"
    int16 mctrial = 0;
    // Derivatives for the uncertainties after a converged solve with uncertainties asked.
    std::function<void()> makedeqdx;
    // The result table prints the condition number (script "moreprec", or a debug level above
    // 1): it is then the ratio of the extreme singular values of the last jacobian, as the
    // decomposition gives it. Otherwise a well-conditioned last jacobian leaves the 1-norm
    // condition number of its LU factors there.
    bool condwanted = false;
    // Every direction from the decomposition, as a check of the LU route (tests).
    bool svdonly = false;
    bool conditionwanted() const { return condwanted || debuglev > 1; }
};

// What a solve leaves for the printing of results and for the equations' own diagnostics.
struct NleStatus {
    int16 nleiter = 0;         // iteration (0 during the start-up evaluation)
    int16 nleevalno = 0;       // evaluation within the iteration
    std::string convmark;      // test met by the last converged evaluation: "ef", "f", "e", "dx"
    bool jacsingular = false;  // the last Newton direction dropped a small singular value
    real jaccond = 0;          // condition number of the last jacobian; 0 when singular
    int16 niterations = 0;     // line searches run by the last solve
    int32 nevaluations = 0;    // calls of the equations by the last solve
};

// Result codes of `nle`.
inline constexpr int16 nleconverged = 0;
inline constexpr int16 nledxstop = 1;
inline constexpr int16 nleoverit = 2;
inline constexpr int16 nlenotinterval = 4;  // expansion ended neither accepted nor bracketed
inline constexpr int16 nlenotvalue = 5;     // no acceptable step in the interval
inline constexpr int16 nlenotreduced = 6;   // three line searches without sufficient decrease
inline constexpr int16 nleslimsmall = 7;    // the largest admissible step is below 1e-8
inline constexpr int16 nleillegalstart = 9;
inline constexpr int16 nleelse = 10;    // a failed trial evaluation was absorbed
inline constexpr int16 nletoofew = 11;  // fewer equations than unknowns: nothing to solve

// The working matrices of the solver, kept by its caller from one solve to the next: each is made
// (zeroed) on first need, and a solve clears only the part it reads, so that one call costs no
// zeroing of 130 kB jacobians or of the 7.5 MB decomposition arrays.
struct NleWorkspace {
    std::unique_ptr<eqmatrix> jac;  // the jacobian at the point of the residuals
    // The jacobian of the last direction from the LU factors, kept when the solve's condition
    // number is asked for: its singular values are formed once, after the solve.
    std::unique_ptr<eqmatrix> lastlujac;
    NewtonScratch newton;  // LU factors and the decomposition's arrays
};

// The equilibrium equations of an assemblage as the solver takes them: each evaluation tells
// them the solver's iteration and evaluation numbers for their diagnostics.
class AssemblageEquations final : public NleEquations {
public:
    AssemblageEquations(Equations& eq, const NleStatus& st) : eq_(eq), st_(st) {}
    bool nlefunc(const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac) override;
    void jacobianlabels(JacobianLabels& labels) const override;
    // One per reaction, and one per independent bulk component when the modes take part.
    int16 nequations(int16 nfree) const override;

private:
    Equations& eq_;
    const NleStatus& st_;
};

// Solves the equations from v.xvalue by damped Newton steps and leaves the solution, or the last
// admissible point reached, in v.xvalue. True exactly when code is 0; never for equations
// fewer than the free unknowns (code `nletoofew`, v.xvalue untouched), whose residuals would
// say nothing of the unknowns left over. The iteration table, the
// jacobian check and the "No solution (" report go to screen, summary and log by the debug level.
// `work` is the caller's, for any number of solves of any problems: what a solve reads of it is
// as a fresh workspace would have it.
bool nle(Session& ses, NleEquations& eqs, NleVariables& v, NleSettings& set, NleStatus& st,
         NleWorkspace& work, int16& code);

}  // namespace qv
