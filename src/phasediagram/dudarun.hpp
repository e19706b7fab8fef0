#pragma once
// duDA+ in a phase diagram run: the calculations of the run kept with their uncertainties, and
// at the end of a candidate's calculation the fit of the rock's mineral compositions to them.
// The script reader leaves "duDA+" unrecognised, so a run is given its duDA+ block in-process.

#include <string>
#include <vector>

#include "model/run.hpp"
#include "rock/dudaplus.hpp"
#include "solver/storedcalcs.hpp"
#include "textio/session.hpp"

namespace qv {

// The duDA+ switch of a run (yes when a run holds one), its block and what the run stores.
struct DudaRun {
    DudaSettings set;
    // The rock: the block's "mineral" entries, which the run takes as the script's minerals.
    mineraltable minerals;
    int16 nmin = 0;
    StoredCalcs calcs;  // the converged calculations of the run; emptied as the run starts
    // Per mineral of the rock, the names of its compositional variables to store.
    std::vector<std::vector<std::string>> mineralxyz;
    DudaNominal nominal;  // what the fit found
};

// Empties the stored calculations for a new run.
void startdudarun(DudaRun& duda);

// The rock's minerals of the block into the script's tables, as the script reader puts them.
void takedudaminerals(const DudaRun& duda, ScriptSettings& sc);

// The names of the stored variables: the xyz names of each of the run's minerals, in order.
void setmineralxyz(const Run& run, DudaRun& duda);

// After the runs of a candidate with the phases `equilphases`: the xyz table of each of the
// rock's minerals, then the duDA+ fit of the stored calculations.
void dudaafterruns(Session& ses, Run& run, DudaRun& duda, const bemvector& equilphases);

// The bulk of a point in fractions: the run's bulk (percent, bulk components) with the fluid of
// a duDA+ run with x(CO2) added, 59 f (1 - x) to the first component (H2O) and 59 f x to the
// second (CO2), f the fluid's share of the rock's modes, then brought back to 100.
cvector bulkwithfluid(const cvector& bulkstart, int16 nuvleft, real f, real x);

}  // namespace qv
