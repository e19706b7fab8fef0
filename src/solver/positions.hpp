#pragma once
// Single reactions of the run's reaction table: positions in P or T with their standard
// deviations from the data covariance and the activity uncertainties, the ln K term of every
// reaction, the orientation of a reaction in a diagram and its printed text.

#include "solver/reactionlists.hpp"
#include "solver/roots.hpp"

namespace qv {

// The (up to two) roots of a reaction with their standard deviations and the slope dT/dP of the
// line there (K/kbar). A root outside the window has sd 1e31 and slope 0.
struct Position {
    real x1 = noroot;
    real x2 = nosecondroot;
    real sd1 = 1e31L;
    real sd2 = 1e31L;
    real dtdp1 = 0;
    real dtdp2 = 0;
};

// What the uncertainty of a position reads: the covariance of the run's end-member enthalpies
// (kJ^2, in the run's order of end-members) and the sd of each activity.
struct PositionData {
    const emmatrix& cov;
    const emvector& emactivitysd;
};

// Variance of ln a of each end-member 1..nem: (sd/a)^2 for 0 < a < 1, else 0; all 0
// unless the run asks for an uncertainty per activity (phase diagram runs do not).
void setlnavar(bool activitysd, const emvector& emactivity, const emvector& emactivitysd, int16 nem,
               emvector& emlnavar);

// Pressures (kbar) of reaction i at t (K) with x(CO2) = u, x(H2O) = v, with their sds.
Position calcpsd(ReactionEval& ev, const PositionData& data, ReactionLists& rl, int16 i, real t,
                 real u, real v);
// Temperatures (K) of reaction i at p (kbar), with their sds.
Position calctsd(ReactionEval& ev, const PositionData& data, ReactionLists& rl, int16 i, real p,
                 real u, real v);

// ln K of reactions 1..nreac from the activities (no activity is tested: a = 0 gives -inf).
void calcrxnlna(const rmatrix& r, int16 nreac, const emvector& emactivity, int16 nem,
                ReactionLists& rl);

// Orients reaction i of a reaction phase diagram so that the side stable one step higher in T
// (+5 K) or P (+0.2 kbar) is its right-hand side; lna is the activity variable (log a with
// "setloga") and mu the chemical potential (kJ) of the diagram.
void turnreaction(ReactionEval& ev, ReactionLists& rl, int16 i, real p, real t, real u, real v,
                  real lna, real mu);

// The text of reaction i, "3)  a + 2b = c", into rl.rxntext[i].
void writereaction(const rmatrix& r, const strings& names, int16 nem, ReactionLists& rl, int16 i);

}  // namespace qv
