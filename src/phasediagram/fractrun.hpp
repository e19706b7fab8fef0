#pragma once
// The fractionation run of the calculation procedure: what a caller gives it (the settings, the
// rock's starting tableau and bulk) and the glue between the fractionation steps and the batch
// members of the calculation.

#include "phasediagram/batch.hpp"
#include "phasediagram/fractionation.hpp"
#include "phasediagram/results.hpp"

namespace qv {

struct FractRun {
    FractSettings settings;
    RbiTableau rbi;                   // the rock at the start
    Fixed1<bool, maxcomp> flagged{};  // the components of the bulk (batch member 1's)
    cvector bulk{};                   // per flagged component, in order
    FractState state;
};

// Starts the fractionation: every member at the path's first P and T.
void fract_start(Session& ses, Run& run, FractRun& fr);

// Before every run after the first: the next step, its P, T and bulk handed to the members.
void fract_nextstep(Session& ses, Run& run, FractRun& fr);

// After the grid of a step whose last point is good: member 1 rewrites the tableau, a later
// member may end the run within the step.
void fract_afterstep(Session& ses, const Run& run, const SolveState& st, const BatchState& bs,
                     FractRun& fr);

}  // namespace qv
