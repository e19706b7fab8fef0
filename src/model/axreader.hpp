#pragma once
// The a-x file of a run: its word reader, the phase loop, the head and body of a solution phase
// (composition variables, proportions, non-ideal terms, site fractions, ideal-mixing terms and
// end-member options), pure phases and buffers, and the set-up of the fluid and aqueous phases.

#include <string>
#include <string_view>

#include "model/phases.hpp"
#include "textio/infile.hpp"
#include "textio/words.hpp"

namespace qv {

struct Session;
struct Run;
struct Dataset;

// Reads the run's a-x file into the phase records, applies the script's choices, sets the
// variable limits and runs the final checks; closes the file.
void setupphases(Session& ses, Run& run);

// The reading part of `setupphases`: the banner, the file, the header and every phase, up to
// the last phase of the file (the file stays open).
void readaxphases(Session& ses, Run& run);

// Marks the fluid ("fluid...") and aqueous ("aq...") solution phases, checks where fluid and
// aqueous species may stand, fills the fluid species table and gives the fluid and aqueous
// phases their pair terms.
void setupfluidaq(Session& ses, Run& run);

// Stops the run when `name` is no end-member of the dataset.
void checkdsname(const Dataset& ds, std::string_view name);

// The word must be a name; `what` says which item was being read.
void getname(std::string& name, valuetype kind, std::string_view word, std::string_view what);

// The a-x file as a stream of words with one word of look-ahead. Decisions are taken on the
// look-ahead (`next`), values from the current word (`word`). A line whose first word begins
// "*" ends the input, as does the end of the file; comments run from a word beginning "%".
struct AxWords {
    AxWords(Session& s, InFile& f) : ses(s), file(f) {}

    // Reads up to the first line with words; its first word becomes the look-ahead.
    void start();
    // The look-ahead becomes the current word; the run stops when there is none.
    void nextitem(std::string_view what);
    // The next raw line of a header or verbatim block: trimmed, a leading "%" removed, cut to
    // 150 characters; `isend` (and an empty line) for the line that closes the block.
    void readline(std::string& line, bool& isend);

    bool ended() const { return nexttype == valuetype::anemptystring; }
    bool nextis(std::string_view w) const { return next == w; }

    Session& ses;
    InFile& file;
    std::string word;
    valuetype wordtype = valuetype::anemptystring;
    std::string next;
    valuetype nexttype = valuetype::anemptystring;

private:
    bool readwordline();  // the next line with words into `words`; false at the end of input
    void refill();

    strings words;
    int16 nwords = 0;
    int16 pos = 0;
    bool finished = false;
};

}  // namespace qv
