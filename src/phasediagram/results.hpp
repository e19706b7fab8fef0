#pragma once
// The run-wide settings of a phase diagram run, the result of one solved point and the state of
// the calculation of one candidate equilibrium that the result printers read, with the printers'
// entry points. The calculation fills the records; the printers only read them (apart from the
// counters named below).

#include <functional>
#include <memory>
#include <string>

#include "base/families.hpp"
#include "base/grow.hpp"
#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "phasediagram/bulk.hpp"
#include "solver/assemblagereaction.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"
#include "thermo/phaseprops.hpp"

namespace qv {

inline constexpr int maxresultphases = maxpropsphases;  // phases of one result
inline constexpr int maxmodeslots = 202;  // mode sets of one result (two per bulk step at most)
inline constexpr int maxisopleths = 10;   // isopleth rows of a run
inline constexpr int maxisovalues = 202;  // values of one isopleth row (201 and the high end)

// The isopleths of a run: rows 1..nmodeisopleths are modes, then x(CO2), then composition
// variables; each row holds its values in the order the calculation steps over them.
struct IsoplethTable {
    int16 nisopleths = 0;
    int16 nmodeisopleths = 0;
    int16 nxyzisopleths = 0;
    Fixed1<Fixed1<real, maxisovalues>, maxisopleths> values{};
    Fixed1<int16, maxisopleths> nvalues{};
    // Per solution phase and composition variable: its isopleth row, 0 when not set.
    Fixed1<Fixed1<int16, maxssvars>, maxss> varrow{};
    // Per phase of the run (solution phases, then pure phases at nss + j): mode isopleth row.
    Fixed1<int16, maxem> moderow{};
};

struct SolveState;
struct DogminTables;     // phasediagram/dogmin.hpp
struct FractRun;         // phasediagram/fractrun.hpp
struct ProjectionPlane;  // phasediagram/projection.hpp
struct CalcWorkTables;   // phasediagram/calculation.hpp
struct DudaRun;          // phasediagram/dudarun.hpp

// Settings of a phase diagram run, set by the driver and read by the calculation and printing.
struct PdRun {
    int16 variance = 1;            // variance of the equilibria (effective, after isopleths)
    int16 maxvariance = 1;         // variance of the enumeration
    bool modesinsolve = false;     // the modes are unknowns of the solve
    bool modesaftersolve = false;  // the modes are found after the solve along the bulk line
    bool compatrowon = true;       // data rows of results are wanted on the drawing channel
    bool xco2varon = false;        // x(CO2) of the fluid is an axis of the diagram
    int16 fluidphase = 0;          // the solution phase that is the fluid, 0 none
    int16 xco2fluidphase = 0;      // the same in an H2O-CO2 x(CO2) section, else 0
    int16 ptcalcmode = 3;   // 0 invariant points, 1 T at given P, 2 P at given T, 3 given P and T
    IsoplethTable iso;      // the phases every candidate must contain are in `run.excess`
    int16 nbulk = 0;        // bulk points of the run (0 without "bulk"), as `bulk.nbulk`
    real bulkx = 0;         // position between the bulk compositions
    BulkState bulk;         // the bulk composition and its reduced system (pseudosections)
    int16 equilno = 0;      // calculated steps of all candidates
    bool firstpass = true;  // the first pass of the program's main loop (csv headings)
    int16 rankdeficit = 0;  // of the last candidate's reduced composition matrix
    // Level of the uncertainties of the results when a caller asks for them (the script reader
    // does not read "uncertainties"); -1 leaves the script's.
    int16 calcsdlevel = -1;
    // Sees each good result before it is printed (checks and timings of whole runs).
    std::function<void(const SolveState&)> onresult;
    std::shared_ptr<DogminTables> dm;       // the tables of a Gibbs energy minimisation run
    std::shared_ptr<ProjectionPlane> proj;  // the projection plane of a run with "projection"
    // The fractionation of a run with "fractionation" (given in-process: the script reader ends
    // such a run).
    std::shared_ptr<FractRun> fract;
    // The duDA+ block of a run whose duDA+ switch is yes (given in-process: the script reader
    // leaves "duDA+" unrecognised); none when the switch is no.
    std::shared_ptr<DudaRun> duda;
    // The solver's work tables, kept from one candidate's calculation to the next.
    std::shared_ptr<CalcWorkTables> calcwork;
};

// One phase of a result.
struct ResultPhase {
    std::string name;
    bool solution = false;
    bool shown = true;  // listed in the summary (not the fluid of an x(CO2) section)
    int16 table = 0;    // index in prec1 (solution phase) or prec0 (pure phase)
    int16 varpos = 0;   // position of its first composition variable in the solution vector
    int16 nem = 1;      // end-members
    bool hasmode = false;
    Fixed1<real, maxssvars> x{};              // composition variables
    Fixed1<real, maxssem> p{};                // end-member proportions
    Fixed1<real, maxssem> act{};              // end-member activities
    Fixed1<real, maxssem> idealact{};         // ideal-mixing part of each activity
    Fixed1<real, maxssem> gamma{};            // activity coefficients
    Fixed1<real, maxsf> sf{};                 // site fractions
    cvector comp{};                           // amounts of the system components per formula unit
    Fixed1<real, maxmodeslots> mode{};        // per mode set; slot 1 is -1 when it has no mode
    Fixed1<real, maxmodeslots> stepfactor{};  // per mode set: bulk atoms over the mode factor
    real sdmode = 0;
    // G, H, S, V, density and the end-members' G and RT ln a (its mode and factor rows
    // 1..nmodesteps, and at least the first, are what the property sums took; the rows above are
    // not kept)
    PhaseProps props;
};

// The result of one solved point.
struct Result {
    real p = 0;             // kbar
    real t = 0;             // K
    int16 variance = 0;     // of the calculation
    int16 runvariance = 0;  // of the run before isopleths ("ovar")
    // The system components with their bulk flags.
    int16 ncomp = 0;
    int16 nbulkcomp = 0;
    Fixed1<std::string, maxcomp> compnames{};
    Fixed1<bool, maxcomp> compused{};
    // The bulk line: compositions per step (fractions), the position of each step. (Most runs
    // have one step: the compositions are made as they are written.)
    int16 nbulk = 0;
    Grow1<cvector, maxbulk> bulk;
    Fixed1<real, maxbulk> bulkpos{};
    int16 bulkstep = 0;     // the bulk step of a solve with modes
    real bulkposition = 0;  // its position on the bulk line
    // Mode sets: count and first bulk step.
    int16 nmodesteps = 0;
    int16 firstmodestep = 0;
    int16 nphases = 0;
    // The phases, made as a point first writes them (16 kB each, a handful in use).
    Grow1<ResultPhase, maxresultphases> ph;
    SystemProps sys;  // G, H, S, V and density of the system per mode set
    real g = 0;       // G of the first bulk step
    real ah2o = 1;    // a(H2O) of the assemblage
    real muo = 0;     // mu(O) of the assemblage
    // ln a (log a with "setloga") of each activity variable of the script at this point
    Fixed1<real, 40> lna{};
};

// Standard deviations of the unknowns after a converged solve with uncertainties (total and
// the three parts printed under "h", "w" and "b").
struct SdVectors {
    Fixed1<real, maxeq> sd{};
    Fixed1<real, maxeq> h{};
    Fixed1<real, maxeq> w{};
    Fixed1<real, maxeq> b{};
    int16 refmodevar = 0;  // the reference mode of the log-ratio form, by mode number; 0 none
};

// The state of the calculation of one candidate equilibrium that the printers read.
struct SolveState {
    bemvector equilphases{};  // solution phases 1..nss, pure phase j at nss + j
    CrossRefs xref;           // layout of the calculation
    // Natural values of the solution vector after extraction: 1 P (kbar), 2 T (K),
    // 3..nxvars composition variables, then the modes; names in xref.xnames.
    eqvector varvalues{};
    Fixed1<bool, maxeq> varcalculated{};
    NleStatus nlestatus;  // convergence mark, iterations, singular jacobian, condition
    int16 calcstatus = 0;
    int16 stepno = 0;
    int16 nbatch = 1;
    int16 ngood = 0;          // good results in the step; printers write headers at 1
    int16 progresscount = 0;  // marks on the open progress line; printers end it
    bool repeatheader = true;
    bool fracton = false;
    bool memberbulk = false;  // the current batch member is calculated with its given bulk
    // The balanced reaction among the phases present, made where a result forms it (19 kB, which
    // most candidates never use); none before.
    std::unique_ptr<AssemblageReaction> rxn;
    const AssemblageReaction& reaction() const {
        static const AssemblageReaction none{};
        return rxn ? *rxn : none;
    }
    std::string rxntext = "????";  // reaction text of the modes after the solve
    Fixed1<real, maxeq> modefactorall{};
    Fixed1<real, maxeq> modefactorbulk{};
    int16 nmodefactors = 0;
    SdVectors sdv;
    Result cur;  // the result of the current point
    // The reaction lists and Gibbs energy settings of the calculation, which the derived
    // results (a(H2O), mu(O), the components' chemical potentials) borrow; none outside a
    // calculation.
    ReactionLists* rl = nullptr;
    const GemSettings* gs = nullptr;
};

// The phases of the result named by "inexcess0" ("tozero") and the factor that renormalises the
// other modes of mode set `slot` to a sum of 1 without them; factor 1 when no phase is zeroed or
// the zeroed phases take (almost) all of the modes.
real modenormfactor(const Run& run, const Result& res, int16 slot,
                    Fixed1<bool, maxresultphases>& zeroed);

// Prints a good result: the result table, modes, csv rows, the detailed report and the
// script-form guesses by the script's switches.
void printresult(Session& ses, Run& run, PdRun& pd, SolveState& st);
// Further output of a good result: drawing-program row, chemical potentials, bulk blocks.
void printmorestuff(Session& ses, Run& run, PdRun& pd, SolveState& st);
// The banner of a step with the phases of the candidate, and the drawing-program entry header.
void printstep(Session& ses, Run& run, PdRun& pd, SolveState& st);

}  // namespace qv
