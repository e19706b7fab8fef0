#pragma once
// What follows the reading of the a-x file: the script's choices applied to the phase records
// (buffer phase, the "with" list, samecoding copies, starting guesses and the contraction of a
// model to the end-members a zero guess leaves, Monte Carlo parameters and batch copies), then
// the limits of the composition variables and the closing checks of the models.

#include <string>

#include "base/fixed.hpp"
#include "model/expressions.hpp"
#include "model/phases.hpp"

namespace qv {

struct Session;
struct Run;

inline constexpr int maxboils = 30;        // boil-down copies of one phase
inline constexpr int maxwithphases = 400;  // "with" list grown by boil-down copies

// First script-choice steps, right after the last phase is read: the phase count check, the
// buffer phase (run.ax.bufferindex) and the "with" list.
void applyscriptphases(Session& ses, Run& run);
// The remaining script-choice steps, after the fluid and aqueous phases are set up: samecoding
// groups and copies, "with" names to records, then starting guesses and contraction (single
// runs) or Monte Carlo parameters and batch boil-down (batch runs).
void applyscriptchoices(Session& ses, Run& run);

// Batch runs: every batch whose starting-guess block holds zeros for a phase of the batch gets
// a contracted copy of that phase, named phase + "-" + k; batches with the same zero pattern
// share one copy. The copies are appended to the phases and to "with".
void boildownbatches(Session& ses, Run& run);
// "summary of batches": which phase of the first `nwithbefore` "with" entries, or which of its
// copies, each batch takes.
void printbatchsummary(Session& ses, const Run& run, int16 nwithbefore);
// "summary of mc info": the parameter each Monte Carlo line varies and the phases sharing it.
void printmcsummary(Session& ses, const Run& run);
// One more phase that takes the value of Monte Carlo line `t`.
void addmcphase(McTarget& t, const std::string& name);

// Removes from solution phase `k` the variables whose starting guess is 0, with the
// end-members, interaction terms and site fractions that vanish with them.
void contractphase(Session& ses, Run& run, int16 k);
// Sets the zeroed variables of `e` to 0 and simplifies; true when nothing is left.
bool dropzeroterms(termtype& e, const Fixed1<bool, maxssvars>& zeroed);

// Adds the linear factor (sxterm `isx`, xterm `ix`) of expression `e` as a row of the
// variable-limit tables when it has at least two variable terms and is not there yet; `ncols`
// is the end-member count, its last column holding the constant.
void setvarlim(Session& ses, const termtype& e, int isx, int ix, int ncols, varlimtype& varlim1,
               varlimtype& varlim2, int16& nvarlim);
// Variable limits, the test of the starting guesses against them, mode guesses and colours,
// and the ideal-mixing and proportion checks of the end-members with a "check" definition.
// The caller closes the a-x file afterwards.
void finalaxchecks(Session& ses, Run& run);

}  // namespace qv
