#pragma once
// Activities of the end-members of solution phases. For the equilibrium equations: the activity
// of every end-member of a calculation at the current solver values, with the derivatives of
// RT ln a by P, T and the composition variables (fluid and aqueous phases taking their sizes and
// interactions from the fluid equations of state). For the modes that take mineral compositions
// as data (rock calculations, reaction diagrams, calibration): the activities and their standard
// deviations at given values of a phase's composition variables, and the table of activities of
// a run's chosen end-members at the P-T for a-x. One mixing-model evaluation serves both.

#include <functional>
#include <string_view>

#include "base/grow.hpp"
#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "script/records.hpp"
#include "textio/session.hpp"

namespace qv {

using empvector = Fixed1<real, maxssem>;  // one value per end-member of a solution phase

// Activity a and standard deviation sd of each end-member of one solution phase; an excluded
// end-member has a = sd = 0 and is not counted in `nactivityem`.
struct ActivitiesSd {
    empvector a;
    empvector sd;
    int16 nactivityem = 0;  // end-members not excluded
};

// Activities with their uncertainties for solution phase `ph` at the composition-variable values
// x (variable v at x[v]), p (kbar) and t (K). The uncertainty combines the sds of the
// composition variables (by a forward step of 0.001) with, when `justrelu` is no, those of the
// interaction energies. One size-weighted (van Laar) form serves both non-ideal models; fluid and
// aqueous phases are taken like any other. The caller ensures every site fraction is positive.
ActivitiesSd calcactivitysd(const ptype1& ph, const eqvector& x, real p, real t,
                            controlboolean justrelu);

// Derivative of the a-x expression e by the phase's own composition variable k (1..nvar), with
// variable v read from x[offset + v - 1] as `evalexpr` reads it.
real dexprdx(int k, const eqvector& x, int offset, const termtype& e);
// The derivatives of e by each of the phase's variables 1..nvar, into row[1..nvar]: entry v is
// `dexprdx`(v, ...) to the last bit (the same terms added in the same order), with the factor
// values formed once instead of once per variable.
void dexprdx_row(const eqvector& x, int offset, const termtype& e, int nvar,
                 Fixed1<real, maxssvars>& row);

// What the activities of one solution phase of a calculation came to: the end-member
// proportions, and per end-member the ideal (site-mixing) activity, the activity coefficient
// (0 for an ideal model) and the activity.
struct PhaseActivities {
    empvector p;
    empvector aideal;
    empvector gamma;
    empvector a;
};
// In the order the solution phases are met; entries are made as first written (an entry not
// made reads as a fresh one), so that a calculation touches only its own phases' entries.
using SsResults = Grow1<PhaseActivities, maxss>;
// The site fractions of each solution phase of a calculation, in the same order.
using SsSiteFractions = Grow1<Fixed1<real, maxsf>, maxss>;

// d(RT ln a)/dx: row = calculation end-member, column = position in the solver vector (kJ).
// Rows are made as they are first written (a calculation writes its own end-members' rows): a
// row not made reads as zeros, as in a fresh table.
using dRTlnadxtype = Grow1<Fixed1<real, maxeq>, maxem>;

// The derivatives of RT ln a of each calculation end-member by P (kJ/kbar), T (kJ/K) and the
// solver positions. `calca` writes only the rows of solution end-members, and of `dadx` only
// the columns of their own phase; the caller clears the rest. Up to 600 kB: keep on the heap.
struct ActivityDerivatives {
    emvector dadp;
    emvector dadt;
    dRTlnadxtype dadx;
    // False once `calca` wrote an entry of `dadx` that is not a finite number since `clear`.
    bool dadxfinite = true;
    // Zeroes rows 1..nem of all three and columns 1..nxvars of `dadx`: the part a calculation of
    // nem end-members and nxvars P, T and composition positions reads; the rest is left as is.
    void clear(int nem, int nxvars);
};

// What `calca` reads: the phase records, the layout of the calculation (`phasestart`,
// `emphase`, `emvarpos`, and `xnames` for the diagnostic of a bad site fraction), the count of
// calculation end-members and of P, T and composition positions, the fluid species table and
// the fluid equation of state of the dataset.
struct CalcaTables {
    const prectype1& prec1;
    const CrossRefs& xref;
    int16 nem = 0;
    int16 nxvars = 0;
    const FluidSpeciesTable& fluid;
    bool newspfluid = true;
};
// The tables of a run laid out by `makecrossrefs`.
CalcaTables calcatables(const Run& run, const CrossRefs& xref);

// What `calca` writes: the activity of every calculation end-member (1 for pure phases) and its
// sd (0), and the results of each solution phase.
// An activity or its sd that is not a finite number (an enormous W, say) stops the run, naming
// the end-member and its phase: it is never used nor printed.
void checkfiniteactivity(std::string_view proc, const ptype1& ph, int m, real a, real sd);

struct CalcaOut {
    emvector& emactivity;
    emvector& emactivitysd;
    SsResults& ssresults;
};

// Activities of all end-members of the calculation at the natural solver values x, p (kbar)
// and t (K); with dopt the derivatives of RT ln a by P and T, with dox those by the composition
// variables, into `d`. Symmetric and van Laar models use the pair terms W = a + bT + cP; fluid
// phases take sizes and interactions from the species volumes, aqueous phases sizes relative to
// H2O and the built-in H2O-CO2 interaction, all linearised in T and P about (p, t).
// Stops the run: a site fraction at or below 0 in an ideal-activity factor ("negative sf term",
// after a diagnostic to screen, summary and log); an ideal activity at or below 0 ("ln <= 0");
// a symmetric aqueous phase with a solute ("symmetric aq??"); a zero size-weighted sum, a zero
// sum of two sizes or a fluid volume that is not positive and finite (named messages).
// With `sitefractions`, the site fractions are taken from there: those of each phase at x,
// formed as `evalexpr` forms them.
void calca(Session& ses, const CalcaTables& tab, const eqvector& x, bool dopt, bool dox,
           ActivityDerivatives& d, CalcaOut& out, real p, real t,
           const SsSiteFractions* sitefractions = nullptr);

// Pressure (kbar) and temperature (K) at which the activities of a run were evaluated.
struct AxPT {
    real p = 0;
    real t = 0;
};

// The activities of the run's chosen end-members at the P-T for a-x, as the end-member choice of
// rock calculations and reaction diagrams takes them.
// Needs: the chosen phases in `prec1`/`prec0` (`makename` and `lsqds` done), the phases' current
// variable values (`guess`), the script's "ptforaxe" and "justrelu" settings.
// When there are solution phases it writes to screen and log the line "activities of end-members
// in solid solutions are calculated with", then "input values of compositional variables" and
// either " at PT: ..." from the script or the questions "P for a-x in kbar" and "T for a-x in
// °C"; then per solution phase a heading line (name, order variables, excluded end-members) and
// one line per end-member that is not excluded with a and sd(a); an activity above 1 is reset to
// 0.999, the line shows 0.999 and ends " ## reset, was " and the old value; 0 or below stops the
// run. Appends, from index 1, the activities and sds of the solution end-members that are not
// excluded, then the fixed activity and sd of each pure phase, to `dataset.emact`/`emsda`.
// Returns the P-T used (the caller keeps it as the current P and T); 0, 0 without solution
// phases. In the utilities the caller does not call this.
// The state of order of solution phase `phase` at p (kbar) and t (K): true when found, with the
// phase's order variables (`guess`) set to it. The solver layer supplies it.
using OrderSolver = std::function<bool(Session&, Run&, int16 phase, real p, real t)>;

// With `findorder` the state of order of each phase with order variables is solved first; a
// failure (or no solver) stops the run "couldn't solve for state of order for <phase>".
AxPT extractem_activities(Session& ses, Run& run, const OrderSolver& findorder);

}  // namespace qv
