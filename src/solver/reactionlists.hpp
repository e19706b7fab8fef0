#pragma once
// What the reaction code keeps beside the coefficient table `r` of a run: per reaction its ln K
// term, text and equation divisor; the phase sets of the reactions generated, the excluded phases
// and assemblages of a Schreinemakers analysis, the candidate invariant points, and the
// independence table of a rock calculation.

#include <string>

#include "base/grow.hpp"
#include "model/datamodel.hpp"
#include "numerics/intmath.hpp"
#include "textio/bitsets.hpp"

namespace qv {

inline constexpr int maxphasesets = 600;        // phase sets of the reactions generated
inline constexpr int maxexclassemblages = 60;   // excluded assemblages
inline constexpr int maxintersections = 200;    // candidate invariant points
inline constexpr int maxrockreactions = 24;     // independent reactions of a rock calculation
inline constexpr int maxreactionphases = 90;    // phases a phase set can hold
inline constexpr int maxemlabels = 12;          // end-members written under a variable's label
inline constexpr int maxreactiondivisor = 500;  // largest divisor of a reaction's equation

// The kind of average of a rock calculation; only the first three are ever calculated.
enum class avtype {
    avpmode,
    avtmode,
    avptmode,
    avpxmode,
    avtxmode,
    avptxmode,
    avplnamode,
    avtlnamode,
    avptlnamode
};

// The current conditions of a diagram or rock calculation: where the third variable of a
// section is held, and the fluid of its reactions.
struct CurrentConditions {
    real pcur = 0;  // kbar
    real tcur = 0;  // K
    real xco2cur = 0;
    real xh2ocur = 1;
};

// A candidate invariant point: three or more reactions whose phases lie in one combination.
struct Intersection {
    int16 nreac = 0;
    Fixed1<int16, maxreac> reacs;  // reaction numbers, ascending
    longint3 phases{};             // union of their phase sets
};

// The activity variable of a reaction phase diagram, carried by the last end-member of the run:
// its entropy (value 2 of its data row) becomes S0 - c x (ln a), so its G carries RT ln a.
struct ActivityTerm {
    real s0 = 0;             // entropy of the carrier as the set-up saved it, kJ/K
    bool logbase10 = false;  // the variable is log a (script "setloga"), else ln a
};

using IntersectionTable = Grow1<Intersection, maxintersections>;

struct ReactionLists {
    Fixed1<real, maxreac> rxnlnk;          // ln K of each reaction: sum of coefficient x ln a
    Fixed1<std::string, maxreac> rxntext;  // text of each reaction, "1)  a + 2b = c"
    Fixed1<int16, maxreac> rdiv = ones();  // divisor (1..500) scaling each reaction's equation
    int16 textwidth = 0;                   // widest reaction text written so far
    emvector emlnavar;                     // variance of ln a of each end-member
    ActivityTerm lnaterm;                  // reaction phase diagrams in ln a

    // End-members written under a label in reaction texts (activity and mu variables).
    int16 nlabels = 0;
    Fixed1<std::string, maxemlabels> labelnames;
    Fixed1<std::string, maxemlabels> labels;

    // Phase sets (end-members 1..nrxem) of every reaction generated; entries beyond the kept
    // reactions belong to reactions that were dropped.
    Fixed1<longint3, maxphasesets> rphasesets;
    int16 nrphasesets = 0;
    // Schreinemakers exclusions: single phases and assemblages that cannot be stable.
    iemvector exclphases;
    int16 nexclphases = 0;
    Fixed1<longint3, maxexclassemblages> exclassemblages;
    int16 nexclassemblages = 0;
    // (The tables of a reaction search, intersections and independence rows, are made as
    // written: a phase diagram calculation never writes them, and clears none of them.)
    IntersectionTable intersections;
    int16 nintersect = 0;

    // Independence table of a rock calculation: each kept reaction reduced against the earlier
    // ones, and the end-member of its first non-zero coefficient.
    Grow1<liemvector, maxrockreactions> indrows;
    Fixed1<int16, maxrockreactions> indpivot;
    bool incompleteset = false;  // the rock's set has fewer reactions than it could hold

    static Fixed1<int16, maxreac> ones() {
        Fixed1<int16, maxreac> a;
        a.fill(1);
        return a;
    }
};

}  // namespace qv
