#pragma once
// The candidate equilibria of a phase diagram run: every combination of phases of each wanted
// variance, tested in stages (required phases present, the bulk composition makeable from the
// phases, as many independent relations as unknowns), each that passes handed to `solve`.

#include <functional>

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// The reduced system of the run: the components the bulk composition uses, their count and
// the bulk compositions (per reduced component, in its order). Without a bulk composition
// every component takes part and there is no bulk.
struct ReducedSystem {
    Fixed1<bool, maxcomp> reducedcomp{};
    int16 nuvleft = 0;
    int16 nbulk = 0;
    Fixed1<cvector, 2> bulk{};
};
// Every component of the run, no bulk composition.
ReducedSystem fullsystem(const Run& run);

// Elimination on the reduced system of the phases flagged in `take`: its rank, and whether the
// bulk compositions can be made from the phases (ok). Sets `pd.rankdeficit`. When they cannot,
// it prints the relations among the component amounts that would have to hold and, at debug
// levels above 1, a dump of the elimination, the candidate being excluded either way.
// Stops the run: "couldn't rearrange columns" (procedure "calcrankp").
struct RankResult {
    int16 rank = 0;
    bool ok = true;
};
RankResult calcrankp(Session& ses, Run& run, PdRun& pd, const ReducedSystem& rs,
                     const bemvector& take);

// Enumerates the candidates of each variance from the highest down and calls `calc` (by default
// `solve`) with each that passes; at debug levels above 1 each candidate's status is listed.
// Stops the run: "not currently implemented" (pure phases only), "nu < 1" (procedure "calcwhat").
void calcwhat(Session& ses, Run& run, PdRun& pd, const ReducedSystem& rs,
              const std::function<void(const bemvector&)>& calc = {});

}  // namespace qv
