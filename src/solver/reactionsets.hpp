#pragma once
// A complete set of independent reactions among the end-members of a calculation: the integer
// null space of the composition matrix, the divisor that scales each reaction's equation, and
// the listings of the composition matrix and of the set.

#include "model/dataset.hpp"
#include "solver/reactionlists.hpp"
#include "textio/session.hpp"

namespace qv {

// The compositions of the calculation: c[i][j] / compdenom[i] moles of component i in
// end-member j (1..nem).
struct CompositionTables {
    const icmatrix& c;
    const SystemComponents& comps;
    const strings& names;
    int16 nem = 0;
};

// Replaces r[1..nreac] by an independent reaction set of the compositions, fills the divisors
// and writes the listings: the composition matrix when there is no reaction (unless a Gibbs
// energy minimisation is under way), the set when the script switch "incnler" is yes. True when
// there is a reaction. mixweights[j] is the mixing weight of end-member j of a solution phase
// (at least 1) and 0 for a pure phase.
bool calcreactions(Session& ses, const CompositionTables& ct, const iemvector& mixweights,
                   bool dogminon, bool incnler, rmatrix& r, int16& nreac, ReactionLists& rl);

// Divisor of each reaction: sqrt(p^2 + n^2) of its weighted positive and negative solution
// end-member coefficients, rounded half to even into 1..500; slots above nreac hold 1.
void calcreactiondiv(const rmatrix& r, int16 nreac, const iemvector& mixweights, int16 nem,
                     Fixed1<int16, maxreac>& rdiv);

// The composition matrix, component divisors and a brace list to the detailed-results channel.
void printcmatrix(Session& ses, const CompositionTables& ct);

}  // namespace qv
