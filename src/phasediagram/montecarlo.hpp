#pragma once
// Monte Carlo runs: the batch of a run is calculated again and again, each trial with the a-x
// parameters of the script's "mc" lines drawn at random around their values (uniformly within
// their ranges, or normally with sd half the range), so that the spread of the accepted results
// shows the uncertainty the a-x models carry. Draws come from the session's Wichmann-Hill
// generator (`ses.seeds`), so a test that sets its seeds gets the same trials on every machine.

#include <string>

#include "model/run.hpp"
#include "phasediagram/batch.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int maxmcdraws = 2 * maxmc;  // normal draws of one trial: ranges, then lines

// One varied parameter.
struct McParam {
    Fixed1<int16, maxmcphases + 1> phases{};  // solution phases that take the value
    int16 nphases = 0;
    int16 kind = 0;       // 1 W term, 2 van Laar size, 3 DQF
    int16 index = 0;      // the W term or end-member in the first phase
    int16 abc = 0;        // 1, 2, 3: the a, b or c part of a + bT + cP
    real h = 0;           // half-width of a uniform draw
    int16 rangecode = 0;  // 0 own range; k > 0 follows "mcrange" k; -j follows "mcfunc" j
    int16 subcode = 0;    // with a range: 0 moves with it; -2 through a function
    real original = 0;    // the value at set-up: every trial starts from it
    real value = 0;       // this trial's
    std::string label;    // "w(py,gr)a" in double quotes, cut to 22 characters
};

// The state of a Monte Carlo run, set up once per calculation procedure.
struct MonteCarlo {
    bool mcon = false;  // a Monte Carlo run is going
    int16 nmc = 0;
    Fixed1<McParam, maxmc> lines{};
    Fixed1<real, maxmc> rangevalue{};  // this trial's offset of each "mcrange" line
    Fixed1<real, maxmc> mcvalues{};    // per line the value written to the results
    // The sds of the normal draws (the diagonal of their covariance): ranges first, then the
    // lines with their own range.
    Fixed1<real, maxmcdraws> mcdiag{};
    int16 ncorr = 0;
    // Per solution phase and end-member: the data row values 1-3 (H, S, V) at set-up, with the
    // DQF parts of the script's values; DQF trials move them from there.
    Fixed1<Fixed1<Fixed1<real, 3>, maxssem>, maxss> basetd{};
};

// A normal deviate by Box-Muller from two uniform draws (the first kept above 1e-10).
real normalrandom(WhSeeds& seeds, real mean, real sd);

// Sets up a Monte Carlo run: the filter codes of the members' conditions, the lines' phases,
// originals and labels, and the mcinfo, mcrange, mcfunc and filter lists on the drawing-program
// channel (debug level 0 or "mcdebug"). Stops the run: "unrecognised variable name" (procedure
// "setupmontecarlo"), "mcit = 0" ("solve"), "bad name \"<phase>\"" ("setupmontecarlo"), "bad
// variable code", "bad abc code" ("domontecarlo").
void setupmontecarlo(Session& ses, Run& run, const BatchState& bs, MonteCarlo& mc,
                     Fixed1<Fixed1<int16, maxfilters>, maxbatch>& filtercode);

// One trial: fresh draws and every line's value written into its phases. Stops the run: "bad
// rangecode", "bad variable code", "bad abc code" (procedure "domontecarlo").
void domontecarlo(Session& ses, Run& run, MonteCarlo& mc);

// Puts every line's value at set-up back into its phases, so the calculations after the run
// start from the model as the script gave it.
void restoremontecarlo(Run& run, MonteCarlo& mc);

}  // namespace qv
