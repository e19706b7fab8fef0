#pragma once
// Gibbs energy minimisation over assemblages ("dogmin"): the grid of P-T points, the record of
// the assemblage of least Gibbs energy at each point (with its margin to the next least), the
// list of every equilibrium of a one-point minimisation, the "all equilibria" table of the
// detailed results, and the report after the enumeration with its script-form blocks.

#include <memory>
#include <string>

#include "base/grow.hpp"
#include "phasediagram/results.hpp"

namespace qv {

inline constexpr int maxdogminpoints = 120;  // P-T points of one minimisation
inline constexpr int maxequillist = 200;     // equilibria listed in a one-point minimisation

// The best assemblage found so far at one grid point.
struct DogminPoint {
    real p = 0;          // kbar
    real t = 0;          // K
    bool found = false;  // an equilibrium with usable modes has been seen here
    real least = 0;      // its least Gibbs energy, kJ (valid when found)
    real margin = 100;   // least minus next least, kJ; 100 while only one was seen
    bemvector phases{};  // the phases of the best assemblage (solution phases, then pure)
    int16 count = 0;     // equilibria with usable modes seen at the point
    int16 best = 0;      // number of the best equilibrium; 0 for an assemblage of pure phases
    // The best is an assemblage of pure phases only, its amounts from the mass balance of the bulk
    // (`dogminpure`).
    bool pure = false;
};

// One equilibrium with usable modes of a one-point minimisation, or an assemblage of pure phases
// that the bulk allows (number 0).
struct EquilEntry {
    int16 number = 0;
    bemvector phases{};
    Fixed1<real, maxeq> modes{};  // the non-zero modes of the result's phases, in their order
    int16 nmodes = 0;
    real g = 0;  // Gibbs energy of the first bulk step, kJ
};

// The tables of a minimisation run, from `setupdogmin` to `printdogmin`. The grid points, the
// list and the best result's phases are made as they are written (a run uses a few entries of
// capacities of 58 kB, 370 kB and 40 kB).
struct DogminTables {
    int16 npoints = 0;
    Grow1<DogminPoint, maxdogminpoints> point;
    int16 nequillist = 0;
    std::unique_ptr<Grow1<EquilEntry, maxequillist>> equillist =
        std::make_unique<Grow1<EquilEntry, maxequillist>>();
    int16 nequilfound = 0;  // good equilibria of the run
    // The least-energy result of a one-point minimisation with the phases of its calculation
    // (their variable and site-fraction names), as the detailed report reads them.
    std::unique_ptr<Result> bestresult = std::make_unique<Result>();
    std::unique_ptr<Grow1<CalcPhase, maxresultphases>> bestphases =
        std::make_unique<Grow1<CalcPhase, maxresultphases>>();
    std::string marks;  // one mark per point of the current equilibrium (several points)
};

// What `solve` knows of one point of a candidate in a minimisation run.
struct DogminCall {
    int16 point = 0;       // the point within the grid, from 1
    bool good = false;     // solved and in the window
    bool modesok = false;  // solved with usable modes
};

// Lays out the grid, P outer and T inner, from the run's P and T lists; more than one point
// raises the print level to 2. Stops the run: "too many PT (max 120" (procedure "setup dogmin").
void setupdogmin(Session& ses, Run& run, PdRun& pd);

// The minimisation's part of one point of a candidate: the step banner at print level 1, then
// `dogmin`. Stops the run: "PT grid in dogmin too big" (procedure "solve").
void dogminpoint(Session& ses, Run& run, PdRun& pd, SolveState& st, const DogminCall& call);

// Keeps the assemblage of least Gibbs energy at the point (a tie keeps the earlier one), lists
// the equilibrium of a one-point minimisation, prints a good result at print levels above 0
// and writes its row of the "all equilibria" table. Stops the run: "too many equilibria",
// "too many PT points" (procedure "dogmin").
void dogmin(Session& ses, Run& run, PdRun& pd, SolveState& st, const DogminCall& call);

// Compares, beside the candidates, the assemblages of pure phases only that the bulk allows (as
// many phases as bulk components, a nonsingular mass balance with no negative amount): G the sum
// of the amounts (formula units per unit of bulk) times the G of the phases, on the basis of the
// candidates' G. The least of all becomes the point's best; a one-point minimisation lists each
// such assemblage. Made only for a closed bulk: every component in the bulk, no isopleth.
void dogminpure(Session& ses, Run& run, PdRun& pd);

// The report after the enumeration: the winning assemblage of each point, the near-minimum
// list and, for one point, the detailed report and the script-form blocks.
void printdogmin(Session& ses, Run& run, PdRun& pd);

// The "rbi" and "bulk" blocks of the best result, for the next run's script (log).
void printbulkscript(Session& ses, Run& run, PdRun& pd);
// The "ptguess" and "xyzguess" block of the best result, for the next run's script (log).
void printguessscript(Session& ses, Run& run, PdRun& pd);

}  // namespace qv
