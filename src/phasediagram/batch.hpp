#pragma once
// Batch runs: one call of the calculation procedure works through the members of the script's
// "batch" lines, each a small calculation of its own phases, variance, P and T values,
// starting guesses, isopleths and bulk.

#include <memory>

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// What the batch set-up keeps for the members of one calculation.
struct BatchState {
    // Per "with" phase its position among the candidate's phases (the phase-table layout of
    // `equilphases`).
    Fixed1<int16, maxwords> withpos{};
    // Per member its phases in the `equilphases` layout, its mode-isopleth phases (a value
    // above nss is pure phase value - nss) and the solution phase and variable of each
    // composition isopleth.
    // (40 kB: made by `setupbatch`, so that a calculation that is no batch run does not clear
    // it.)
    std::unique_ptr<Fixed1<bemvector, maxbatch>> phases;
    // The members' phases: none flagged until `setupbatch` made the table.
    const Fixed1<bemvector, maxbatch>& memberphases() const {
        static const Fixed1<bemvector, maxbatch> none{};
        return phases ? *phases : none;
    }
    Fixed1<Fixed1<int16, 2>, maxbatch> modephase{};
    Fixed1<Fixed1<int16, maxbatchiso>, maxbatch> isophase{};
    Fixed1<Fixed1<int16, maxbatchiso>, maxbatch> isovar{};
    bool fracton = false;        // a fractionation run: P or T by member 1, "printxyz" restored
    bool savedprintxyz = false;  // "printxyz" of the script before a fractionation changed it
    bool bulkgiven = false;      // the current member is calculated with its bulk (modes solved)
    cvector bulk{};              // that bulk, per component of the member
};

// Lays the members of the script's "batch" lines out over the phases flagged in `equilphases`.
// Stops the run: "name <phase> not recognised" (procedure "setupbatch"), a member's
// composition isopleth that is no variable of its phases ("isopleth <name> not recognised").
void setupbatch(Run& run, const bemvector& equilphases, BatchState& bs);

// Makes member b the calculation: its phases into `equilphases`, its starting guesses, variance,
// P and T values, isopleths and which of P and T is calculated. Stops the run: "xyzguess: can't
// find <name>" (procedure "dobatch"), "starting guess not legal for <phase> in batch <b>"
// ("setupbatch"), "mismatch in making bcomps", "danger - projc not diagonal", "negative variance
// (1)", "negative variance (2)" ("dobatch").
void dobatch(Session& ses, Run& run, PdRun& pd, BatchState& bs, int16 b, bool firstrun,
             bemvector& equilphases);

}  // namespace qv
