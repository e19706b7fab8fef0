#pragma once
// The reactions among the end-members of a run (each a phase of fixed composition) and, for
// reaction phase diagrams, their candidate invariant points. Component systems are visited
// smallest first; each combination of rank + 1 phases of a system gives at most one reaction by
// exact integer elimination. A rock calculation keeps an independent set of reactions that cross
// its window with small enough uncertainties; a reaction phase diagram keeps those that cross
// its window and, in a Schreinemakers analysis, excludes the assemblages on the unstable side of
// those that do not.

#include <cstddef>
#include <string>
#include <vector>

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

// A real m x n matrix held row by row in one block of m n entries, indexed from 1 (no bounds
// checks: the callers index within the rows and columns they made it with). A small work table
// for `realreaction` in place of a whole `cmatrix`.
class RealRows {
public:
    RealRows(int16 m, int16 n)
        : m_(m), n_(n), v_(static_cast<std::size_t>(m < 0 ? 0 : m) * (n < 0 ? 0 : n)) {}
    int16 rows() const { return m_; }
    int16 cols() const { return n_; }
    real& at(int i, int j) { return v_[index(i, j)]; }
    real at(int i, int j) const { return v_[index(i, j)]; }
    real* row(int i) { return v_.data() + static_cast<std::ptrdiff_t>((i - 1) * n_); }

private:
    std::size_t index(int i, int j) const {
        return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(j - 1);
    }
    int16 m_;
    int16 n_;
    std::vector<real> v_;
};

// The reaction among columns 1..n of the m x n compositions a, normalised so that the column
// that ends last after the pivoting gets -1: x[1..n], the rest of x 0. Columns that allow no
// reaction, or more independent columns than m + 1, stop the run.
void realreaction(const cmatrix& a, int16 m, int16 n, emvector& x);
// The same for the compositions w (its rows and columns are m and n), which it works on.
void realreaction(RealRows& w, emvector& x);

}  // namespace qv
