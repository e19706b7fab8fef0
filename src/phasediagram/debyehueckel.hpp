#pragma once
// The solve of a calculation with aqueous phases: the ionic strength of each aqueous phase,
// which the Debye-Hueckel terms of its charged species read, follows the solved composition by
// successive solves.

#include <functional>

#include "model/crossrefs.hpp"
#include "model/run.hpp"
#include "solver/nle.hpp"

namespace qv {

inline constexpr int maxaqphases = 5;         // aqueous phases of one calculation
inline constexpr real ionicstart = 0.00018L;  // ionic strength before the first solve
inline constexpr real ionicmax = 0.0018L;     // the largest ionic strength taken

// Ionic strength 1/2 sum p_k |z1_k| |z2_k| of the aqueous phase whose first end-member is
// calculation end-member `first`, at the natural values `x`; held at `ionicmax` at most.
real ionicstrength(const Run& run, const CrossRefs& xref, const eqvector& x, int16 first);

// Solves with `solveonce`. With aqueous phases their ionic strength (value 26 of their
// end-members' data rows) starts at `ionicstart` and is recalculated from each solution until
// it changes by less than 1e-5. Returns whether the last solve converged. Stops the run: "no of
// aq" (procedure "donle", a sixth aqueous phase), "debye-huckel loop" ("solve", more than 10
// passes).
bool debyehueckelsolve(Run& run, const CrossRefs& xref, const NleVariables& vars,
                       const std::function<bool()>& solveonce);

}  // namespace qv
