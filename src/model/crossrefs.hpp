#pragma once
// Cross references of an equilibrium calculation: the chosen phases laid out as one non-linear
// problem. The end-members of the phases taking part (their names, compositions, data rows and
// site multiplicities), the solution vector (P, T, each solution phase's composition variables,
// then the modes) with its names, scaling, free flags and isopleth numbers, the variable-limit
// rows, the site-fraction checks, the covariance of the chosen end-members and the phase list
// the result printers use; and the counts of the nested calculation loops.

#include <memory>
#include <string>

#include "base/grow.hpp"
#include "model/datamodel.hpp"
#include "model/phases.hpp"
#include "script/windows.hpp"
#include "textio/session.hpp"

namespace qv {

struct Run;
struct Dataset;

inline constexpr int maxvarlims = 50;  // variable-limit rows of one calculation
inline constexpr int maxsfchecks = 50;
inline constexpr int maxloops = 400;  // loop counts of a calculation

using bemvector = Fixed1<bool, maxem>;

// One phase of the calculation as the result printers list it.
struct CalcPhase {
    std::string name;      // short name
    bool shown = false;    // solution: not the fluid of an x(CO2) section; pure: not an ln a or mu
    bool isfluid = false;  // both false for a pure phase
    bool isaq = false;
    bool solution = false;
    int16 index = 0;   // in prec1 (solution) or prec0 (pure)
    int16 varpos = 0;  // position of its first composition variable; 0 for a pure phase
    int16 nem = 1;
    Fixed1<std::string, maxssvars> varnames;
    int16 nsf = 0;
    Fixed1<std::string, maxsf> sfnames;
    Fixed1<std::string, maxssem> emnames;
};

// The phase list of a calculation: a few entries in use of a capacity of maxem, made as they are
// written (a whole list of empty records cost more to make and free than a dogmin candidate's
// solve).
using CalcPhaseList = Grow1<CalcPhase, maxem>;

// What the phase diagram driver sets before it lays out a calculation.
struct CalcLayoutSettings {
    bool modesolved = false;  // the modes of the phases are unknowns of the problem
    bool modelisted = false;  // modes named after the variables, not unknowns
    real psmallstep = 0;      // small step of P and T in scaled units
    real tsmallstep = 0;
    int16 xco2fluidphase = 0;         // list position of an x(CO2) section's fluid; 0 none
    Fixed1<int16, maxeq> nisovalues;  // values of each isopleth number
    int16 nbulk = 1;                  // bulk compositions of the run
};

// The tables `makecrossrefs` builds (names as the property code and the solver index them).
struct CrossRefs {
    // Per end-member of the calculation.
    bemvector phasestart;  // first end-member of an active solution phase
    iemvector emphase;     // at such an end-member: the phase's index in prec1
    iemvector emvarpos;    // and the position of its first composition variable
    // Per position of the solution vector.
    Fixed1<std::string, maxeq> xnames;
    Fixed1<bool, maxeq> xfree;   // solved for; false while held at isopleth values
    Fixed1<real, maxeq> xscale;  // scaled = value x scale + offset
    Fixed1<real, maxeq> xoffset;
    Fixed1<real, maxeq> xtol;  // small step in scaled units
    Fixed1<acctype, maxeq> xacclow;
    Fixed1<acctype, maxeq> xacchigh;
    Fixed1<int16, maxeq> xiso;  // isopleth number of an entry held fixed
    // Site multiplicity at each position: 1 at P, T and the modes. Kept apart from the
    // end-members' own multiplicities (`dataset.nsite`), which the callers still need.
    Fixed1<int16, maxeq> xnsite;
    int16 nxfixed = 0;               // composition variables held fixed
    int16 nssmodes = 0;              // modes of solution phases
    Fixed1<int16, maxeq> modephase;  // prec1 index up to nssmodes, prec0 index after
    Fixed1<int16, maxeq> modevarpos;
    Fixed1<real, maxeq> modestart;
    int16 xco2pos = 0;  // position of "x(CO2)" in a mixed H2O-CO2 fluid; 0 none
    bool xco2fixed = false;
    // Linear limits on positions 1..nxvars, constant in column nxvars + 1.
    int16 nvarlims = 0;
    // (rows made as first written: an unwritten row reads as zeros)
    Grow1<Fixed1<int16, maxeq>, maxvarlims> varlimnum;
    Grow1<Fixed1<int16, maxeq>, maxvarlims> varlimden;
    // Site fractions whose positivity the limits do not already carry.
    int16 nsfchecks = 0;
    Fixed1<int16, maxsfchecks> sfcheckphase;
    Fixed1<int16, maxsfchecks> sfchecksf;
    Fixed1<int16, maxsfchecks> sfcheckpos;
    // The phase list of the result printers.
    int16 ncalcphases = 0;
    std::unique_ptr<CalcPhaseList> calcphaselist;
};

// Lays out the calculation of the phases flagged in `phases` (1..nss solution phases, then
// nss + 1..nss + npure pure phases).
// Needs: `lsqds` done (each record's data row `td` and covariance row `vec`), the chosen phases'
// variables with their scaling, the components (`dataset.components.ncomp`), the P-T scaling
// (`windows.scaling`), the run's fluid type, the script's ln a and mu names, "calcsdlevel" and
// x(CO2) section flag, and the driver's `lay`.
// Writes `xref`, `run.nxvars`, `run.nmodevars`, and rebuilds for the chosen end-members
// `dataset.emnames`, `nem`, `nrxem`, `nsite`, the columns of `c`, the rows of `td` and, with
// uncertainties on, of `cov`. Prints nothing.
void makecrossrefs(Session& ses, Run& run, CrossRefs& xref, const CalcLayoutSettings& lay,
                   const bemvector& phases);

// The row of `td` that a calculation takes for an end-member record with data row `data`: a
// made end-member of a newer dataset keeps only its own H, S, V and points at its phase (0 for a
// pure phase) and place, so that its Gibbs energy is built from the constituents.
void calctdrow(const Dataset& ds, const tdvector& data, int16 nmake, int16 phase, int16 place,
               tdvector& row);

// Counts of the nested loops of a calculation, outermost first.
struct CalcLoops {
    Fixed1<int16, maxloops> count;
    int16 nloops = 0;
};

// The loops of a calculation laid out by `makecrossrefs`: the isopleth values of each entry held
// fixed, the bulk compositions, the values of each ln a and mu variable, then P and T by the
// run's variance (`run.variance`) and calculated variable; holds P or T fixed accordingly in
// `xref.xfree`. Reads the reactions `r` (1..nreac) to tell whether an ln a or mu end-member takes
// part; when none does it writes "equilibrium does not depend on a(" name ")" (or "mu(") to
// screen, summary and log and counts 1.
CalcLoops setuploops(Session& ses, Run& run, CrossRefs& xref, const CalcLayoutSettings& lay);

}  // namespace qv
