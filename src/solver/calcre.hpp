#pragma once
// The reactions among the end-members of a run (each a phase of fixed composition) and, for
// reaction phase diagrams, their candidate invariant points. Component systems are visited
// smallest first; each combination of rank + 1 phases of a system gives at most one reaction by
// exact integer elimination. A rock calculation keeps an independent set of reactions that cross
// its window with small enough uncertainties; a reaction phase diagram keeps those that cross
// its window and, in a Schreinemakers analysis, excludes the assemblages on the unstable side of
// those that do not.

#include <string>

#include "solver/positions.hpp"
#include "solver/ptxwindow.hpp"
#include "solver/reactionlists.hpp"
#include "solver/reactionsets.hpp"

namespace qv {

using PhaseFlags = Fixed1<bool, maxem>;        // over the phases 1..nrxem
using ComponentFlags = Fixed1<bool, maxcomp>;  // over the components 1..nucomp

// What the reaction search reads and fills.
// What a reaction search is for; its caller says which.
enum class SearchUse {
    unset,            // not said: the search refuses to run
    rockaverages,     // independent reactions for an average P or T of a rock
    reactiondiagram,  // reactions in the window and their intersections
    reactiontable,    // every reaction of the phases, for a table
};

struct ReactionSearch {
    ReactionEval& ev;             // dG of reactions of ev.r, the session and the windows
    const PositionData& data;     // covariance and activity sds (rock calculation sds)
    const CompositionTables& ct;  // compositions, components (ncomp, nucomp) and names
    ReactionLists& rl;
    int16& nreac;
    int16 nrxem = 0;  // phases among which reactions are formed; then one end-member per
                      // component beyond nucomp
    CurrentConditions cur;
    bool allreactions = false;            // reaction diagram: every reaction, no exclusions
    avtype rockavtype = avtype::avpmode;  // rock calculation: the average calculated
    real maxsdrock = 0;                   // kbar, or K for an average T
    int16 lnaem = 0;                      // carrier of the activity variable, 0 none
    std::string lnaname;                  // name written for it in reaction texts
    SearchUse use = SearchUse::unset;     // what the search is for
};

// The search. True, in a rock calculation, when it stopped with a full independent set (or the
// user ended it); in a reaction diagram, when neither the reaction nor the intersection list
// overflowed.
bool calcre(ReactionSearch& s);

// Compositions as reals: component x phase, moles per formula unit.
using cmatrix = Fixed1<emvector, maxcomp>;

// The reaction among columns 1..n of the m x n compositions a, normalised so that the column
// that ends last after the pivoting gets -1: x[1..n], the rest of x 0. Columns that allow no
// reaction, or more independent columns than m + 1, stop the run.
void realreaction(const cmatrix& a, int16 m, int16 n, emvector& x);

}  // namespace qv
