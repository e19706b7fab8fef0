#pragma once
// The bulk of a rock given by its phases, recomputed from the compositional variables (xyz) of
// the script's minerals and the modes of the rock's phases, and the log-ratio bulk
// b'_j = ln(b_k / b_d) (d the denominator component) with its covariance: in a duDA+ run by
// Monte Carlo sampling of the mineral compositions, otherwise from a fixed analytical error
// model of the bulk.

#include <string>

#include "base/families.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

using bpmatrix = Fixed1<cvector, maxcomp>;  // covariance of b', one row and column per entry

// What the bulk reader has settled before the log-ratio bulk is formed.
struct MineralBulkSettings {
    Fixed1<bool, maxcomp> reducedcomp{};  // the system component belongs to the bulk
    int16 nuvleft = 0;                    // bulk components
    int16 kbpden = 0;                     // system index of the denominator component of b'
    bool dudaplus = false;                // the run's "duDA+" switch is yes
    bool rbi = false;                     // the rock is given by "rbi" lines
    bool rmi = false;                     // the rock is given by the "mode" line of "bulk"
    int16 nrbimode = 0;                   // rbi lines (modes in script.tables->rbimode)
    int16 nrmimode = 0;                   // mode-only lines
    int16 nlna = 0;                       // ln a variables of the run
    // First name of the special-name list: with ln a variables set, a pure phase of this name
    // (and every pure phase after it) adds nothing to the bulk.
    std::string firstspecial;
};

// The log-ratio bulk of a run with the stacked mineral variables it is sampled from.
struct MineralBulk {
    MineralBulkSettings set;
    int16 nstackvars = 0;   // given compositional variables of all minerals
    xyzvector stackvars{};  // their values, mineral after mineral
    covmatrix stackcov{};   // their covariance, block-diagonal by mineral
    cvector bprime{};       // b'[1..nuvleft - 1], over the bulk components but the denominator
    cvector sdbprime{};     // sd of each b' entry
    bpmatrix covbprime{};   // covariance of b'
    uint32_t seed = 0;      // seed of the last Monte Carlo estimate
};

// The bulk from one set of mineral variables: per bulk component in percent (1..nuvleft), and
// its b' (1..nuvleft - 1).
struct MineralBulkResult {
    cvector bulk{};
    cvector bprime{};
};

// Ties each of the script's minerals to the solution phase of its name (its `phase`). Stops the
// run: "unrecognised phase, " + name, "phase size mismatch" (procedure "mineral setup").
void mineralsetup(Run& run);

// Stacks the given variables of all minerals into mb.stackvars with the covariance
// sd_i corr_ij sd_j within each mineral; different minerals are uncorrelated.
void stackmineralvars(const Run& run, MineralBulk& mb);

// The bulk of the rock whose stacked mineral variables are `x`: each mineral's composition from
// its end-member proportions, each phase weighted by its rbi mode over its atoms. Mode 0 is
// quiet, 1 lists the phases in rbi form on the console, 2 lists the end-member contributions.
MineralBulkResult mineralcontrib(Session& ses, const Run& run, const MineralBulk& mb,
                                 const xyzvector& x, int16 mode);

// Sets mb.bprime, mb.sdbprime and mb.covbprime for the bulk `bulk` (per bulk component, in
// percent). In a duDA+ run with the rock given by its phases the bulk is replaced by the bulk
// of the minerals as fractions, and the covariance comes from 5000 Monte Carlo trials of the
// mineral variables (generator seeded from the session clock); otherwise from the analytical
// error model. Stops the run: "bulk calcs not properly set up", "nmode mismatch", "nuvleft
// mismatch", "sqrt negative", name + " not found 2", "negative entry in bulk: logratio cannot
// be formed" (procedure "calc covbp").
void calccovbp(Session& ses, Run& run, MineralBulk& mb, cvector& bulk);

}  // namespace qv
