#pragma once
// Where a reaction among end-members is at equilibrium: the temperature at fixed pressure or the
// pressure at fixed temperature at which its Gibbs energy change dG is zero, inside the current
// window of that variable. A line may cross the window once, twice (a curved reaction, e.g. one
// with a Landau phase), or not at all.

#include <functional>

#include "model/datamodel.hpp"
#include "script/windows.hpp"
#include "textio/session.hpp"
#include "thermo/gemderivs.hpp"
#include "thermo/reactions.hpp"

namespace qv {

// Result markers of a root search, in the unit of the sought variable: a root below the window
// comes back as (window low - 1), one above as (window high + 1).
inline constexpr real noroot = 1e21L;         // the Newton search failed
inline constexpr real nosecondroot = -1e21L;  // there is no second root

// The roots of one search and the P and T derivatives of dG there (kJ/kbar, kJ/K). x1 is the
// larger of two roots. A derivative is 0 unless its root lies in the window.
struct Roots {
    real x1 = noroot;
    real x2 = nosecondroot;
    real dgdp1 = 0;
    real dgdp2 = 0;
    real dgdt1 = 0;
    real dgdt2 = 0;
};

// dG of one reaction with its derivatives at p (kbar) and t (K), the fluid held fixed.
using DgAt = std::function<ReactionDg(real p, real t)>;

// dG at p and t with the derivatives `need` asks for (the others may be 0).
using DgNeedAt = std::function<ReactionDg(real p, real t, GemNeed need)>;

// What evaluating dG of a reaction of the run's reaction table needs.
struct ReactionEval {
    Session& ses;
    const GemSettings& gs;
    ReactionTables& tab;  // data rows, names, activities and fluid end-members of the run
    rmatrix& r;           // reaction coefficients, reaction x end-member
    const Windows& w;     // the P and T windows searched
    diagramtype diagram = diagramtype::ptcalc;  // the axes of the diagram the reactions lie in
    // Rows of the end-members of a section's ln a and mu variables; 0: the last row (nem).
    int16 lnaem = 0;
    int16 muem = 0;
    bool activitysd = false;    // asks for an uncertainty per activity in the positions' sds
    bool sectionturns = false;  // reactions may be turned into a section's variables
};

// True when both are <= 0 or both are >= 0 (a zero goes with either sign); false for a NaN.
bool samesign(real a, real b);

// dG of reaction i of the table at p (kbar), t (K), x(CO2) = u and x(H2O) = v.
ReactionDg dgofreaction(ReactionEval& ev, int16 i, real p, real t, real u, real v);

// The search of dG = 0 in T (ft findt, at pressure p) or in P (findp, at temperature t) within
// the window of that variable. With `usestart` only Newton steps from `start` are taken: a start
// outside the window gives (noroot, nosecondroot) and no derivatives.
Roots find(const Windows& w, const DgAt& dg, findtype ft, bool usestart, real start, real p,
           real t);
// The same search on a dG that forms only the derivatives asked for.
Roots find(const Windows& w, const DgNeedAt& dg, findtype ft, bool usestart, real start, real p,
           real t);

// Pressures (kbar) of reaction i at temperature t (K) with the fluid terms u = x(CO2) and
// v = x(H2O); `start` is the start value when `usestart`.
Roots findrxnp(ReactionEval& ev, int16 i, bool usestart, real start, real t, real u, real v);
// Temperatures (K) of reaction i at pressure p (kbar).
Roots findrxnt(ReactionEval& ev, int16 i, bool usestart, real start, real p, real u, real v);

}  // namespace qv
