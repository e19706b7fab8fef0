#pragma once
// The modes (phase proportions, on an atom basis) of a pseudosection result: the bulk of each
// point and the mass balance of a solve whose modes are unknowns, their starting guesses and
// normalisation after the solve, the modes found after a solve along the bulk line by mass
// balance, and the per-step factors and system sums of the result.

#include <functional>

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "solver/nle.hpp"
#include "textio/session.hpp"
#include "thermo/equations.hpp"
#include "thermo/phaseprops.hpp"

namespace qv {

// The atoms of each phase that can take a mode, over all components (`all`) and over the bulk
// components (`bulk`), in the order of the mode variables; entries after `n` are 1.
struct ModeFactors {
    Fixed1<real, maxeq> all{};
    Fixed1<real, maxeq> bulk{};
    int16 n = 0;
};
ModeFactors modefactors(const Run& run, const PdRun& pd, const SolveState& st);

// The system of a pseudosection calculation, or of a batch member with its bulk given: the bulk
// components, their projection and rank deficit; the mass balances take part when the modes are
// unknowns.
void setmassbalance(const Run& run, const PdRun& pd, MassBalance& mb);

// The modes of one point of a solve with modes as unknowns: the given modes take their isopleth
// values, then the bulk point; the starting guesses, the mode scaling by the bulk scale B and
// the bulk of the mass balance. `next` gives the next digit of the point grid; `fluidx` is the
// x(CO2) of the fluid a duDA+ run with x(CO2) adds to its one bulk.
void setmodesinsolve(Session& ses, const Run& run, const PdRun& pd, SolveState& st,
                     NleVariables& vars, MassBalance& mb, const std::function<int16()>& next,
                     real fluidx = 0);

// The bulk of every step of the bulk line into the result (modes found after the solve).
void setbulksteps(const PdRun& pd, Result& res);

// After a solve with modes as unknowns: the modes (varvalues after nxvars, divided by the bulk
// scale) normalised to a sum of 1, with the diagnostic when they do not sum to 1.
void normalisemodes(Session& ses, const Run& run, const PdRun& pd, SolveState& st, real phi);

// The modes after a solve by mass balance at each step of the bulk line; false when no step
// gives non-negative modes. Writes the modes, `nmodesteps`, `firstmodestep` and the step
// positions of the result, `run.nmodevars` (the phases with modes) and `st.rxntext`.
// Stops the run: "nuvleft mismatch" (procedure "makec"), "dimensions do not match"
// ("calcmodesafternle"), "too many modes" / "too many" ("modes after nle").
bool calcmodesafternle(Session& ses, Run& run, const PdRun& pd, SolveState& st);

// The per-step bulk factors of the phases and, for calcgphase, the modes and bulks of each mode
// set; call before calcgphase with the system sums to fill.
void modestepfactors(const Run& run, const PdRun& pd, SolveState& st, PhasePropsTable& props,
                     SystemProps& sums);

// Debug listings on the console of the starting modes (`xguessprint`) and of the solved modes
// before and after their normalisation (`xprint`).
void xguessprint(Session& ses, const Run& run, const SolveState& st, const NleVariables& vars,
                 real phi);
void xprint(Session& ses, const Run& run, const SolveState& st, bool first, real total);

}  // namespace qv
