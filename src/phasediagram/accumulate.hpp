#pragma once
// Accumulated results of batch and Monte Carlo runs: the results of all points of all members
// of one trial are recorded, checked against the script's filters and counted (the
// accumulator), and an accepted trial is written as one block of the " results = {" list on the
// drawing-program channel, as plain rows on the summary channel and as rows of the two csv
// files (one writer each); with the heads of those lists.

#include <memory>
#include <string>

#include "model/run.hpp"
#include "phasediagram/batch.hpp"
#include "phasediagram/montecarlo.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int maxstored = maxbatch * maxbatchpt;  // results of one trial

// One stored result of the current trial.
struct StoredResult {
    int16 member = 0;
    int16 nx = 0;     // composition unknowns (solution vector positions 3..nx)
    int16 nmode = 0;  // mode unknowns after them
    bool good = false;
    real p = 0;                    // kbar
    real t = 0;                    // K
    Fixed1<real, maxeq> values{};  // the solution vector from position 3 on, zeros beyond
    std::string label;
    Fixed1<real, 5> totals{};  // G, H, S, V, density of the system
};

// The counters of the run loop of the calculation procedure.
struct RunCounter {
    int16 irun = 0;       // 1..9999 within the block
    int16 irunblock = 0;  // completed blocks of 10000 runs
    bool firstrun = false;
    int32 number() const { return int32{irunblock} * 10000 + irun; }
};

// What the accumulation keeps over a batch or Monte Carlo run.
struct Accumulation {
    // Made at the first result stored (1.6 MB, which a run without batch members never uses).
    std::unique_ptr<Fixed1<StoredResult, maxstored>> stored;
    int16 nstored = 0;
    Fixed1<Fixed1<bool, maxbatchpt>, maxbatch> solved{};  // per member and point
    Fixed1<Fixed1<bool, maxbatchpt>, maxbatch> passed{};
    Fixed1<Fixed1<int16, maxfilters>, maxbatch> filtercode{};  // 1 P, 2 T, 3.. the unknowns
    Fixed1<int32, maxbatch> nonesolved{};  // per filter line: trials with no point solved
    Fixed1<int32, maxbatch> nonepassed{};  // and with none passing its conditions
    int16 mcsuccesses = 0;                 // accepted trials
    int16 mcwanted = 0;                    // accepted trials that end the run; 0 none
    int16 nresultblocks = 0;               // result blocks written
    bool listopen = false;                 // " results = {" written, its closing "}};" not yet
    // The column heads of the two csv files: made from the names of the values the stored
    // results of a trial hold, and written once, before the rows of the first complete trial.
    std::string csvhead;
    std::string csv2head;
    bool csvheadswritten = false;
};

// The accumulator.
// Records point k of member b of the current trial (`st` holds its result when `good`), with
// the pass of the member's filter conditions; point 1 of member 1 starts a trial.
void recordresult(Accumulation& acc, const Run& run, const SolveState& st, int16 b, int16 k,
                  bool good);
// Whether the recorded trial is accepted: every member has a point that solved and, with
// filters, passed its conditions. With filters given, the members' counters of trials with no
// point solved and none passed are counted up.
bool trialaccepted(Accumulation& acc, const ScriptTables& tab, int16 nmembers, bool filtersgiven);
// The spread of the trial: how far into its filter window the worst condition of a good result
// lies, |2 (value - (low + high) / 2) / (high - low)|, the largest over the conditions of the
// first `nmembers` stored results (stored result n taking member n's conditions); 0 without
// filters.
real trialspread(const Accumulation& acc, const ScriptTables& tab, int16 nmembers,
                 bool filtersgiven);

// The heads of the lists: the members' phases and variables (drawing-program channel).
void printequilmath(Session& ses, const Run& run, const BatchState& bs);

// After point k of member b: progress on the console, the point recorded, and after the last
// point of the last member the trial's acceptance; an accepted trial is counted and written
// to the drawing-program list, the summary rows and the two csv files. Returns whether the
// trial stands (true before its last point).
bool accumulateresults(Session& ses, const Run& run, const SolveState& st, const MonteCarlo& mc,
                       Accumulation& acc, const RunCounter& rc, int16 b, int16 k, bool good);

// Closes a " results = {" list that a run left open by stopping at its trial limit before it
// had the wanted number of accepted trials: the closing line "}}; (* stopped at the trial
// limit *)" keeps the file readable.
void closeresults(Session& ses, Accumulation& acc);

}  // namespace qv
