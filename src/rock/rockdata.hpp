#pragma once
// What the rock calculations (average P, average T, average P-T) read: the end-members of the
// rock with their activities, the independent set of reactions among them, the dataset
// covariance, the settings of the pass, and the reaction calculations they ask for.

#include <string>

#include "base/families.hpp"
#include "base/fixed.hpp"
#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "numerics/svd.hpp"
#include "script/windows.hpp"
#include "solver/reactionlists.hpp"
#include "solver/roots.hpp"
#include "textio/words.hpp"
#include "thermo/reactions.hpp"

namespace qv {

inline constexpr int maxavreac = maxrockreactions;  // reactions the least-squares matrices hold

using reacvector = Fixed1<real, maxreac>;  // one value per reaction

// The end-members and reactions of a rock, as views of the run's arrays.
struct RockData {
    int16 nem = 0;
    int16 nreac = 0;
    const strings& emnames;
    const emvector& activity;
    const emvector& emvarlna;             // variance of ln a, refreshed by `setlnavar`
    const emmatrix& cov;                  // dataset enthalpy covariance of the end-members, kJ^2
    const rmatrix& r;                     // reaction x end-member integer coefficients
    const reacvector& rxnlna;             // per reaction the sum of coefficient x ln a
    const Fixed1<bool, maxem>& excluded;  // end-members left out of the reactions
    int16 h2oem = 0;                      // numbers of the fluid end-members, 0 when absent
    int16 co2em = 0;
    bool incompleteset = false;  // the reaction generator could not complete the set
};

// The settings of one pass of the rock calculation.
struct RockSettings {
    avtype avcalctype = avtype::avpmode;
    bool justrelu = false;  // weight reactions by the ln a uncertainties alone
    bool printcor = false;  // print the correlation matrices of the reactions
    int16 debuglevel = 1;
    std::string runtitle;   // the rock's name in headings, may be empty
    std::string fluidtext;  // the fixed-fluid label appended to headings
    int16 nss = 0;          // solution phases: activities depend on P and T
    int16 npure = 0;        // pure phases
    real pcur = 0;          // kbar, the current pressure
    real tcur = 0;          // K, the current temperature
    real xco2cur = 0;       // fluid of the calculation
    real xh2ocur = 0;
};

// The first root of a reaction with its standard deviation (kbar or K).
struct RxnPosition {
    real x = noroot;
    real sd = 1e31L;
};

// The reaction calculations the averages ask for; the run answers them from the dataset and the
// a-x models.
class RockReactions {
public:
    virtual ~RockReactions() = default;
    // Roots in P (kbar) at t (K), or in T (K) at p (kbar), for the fluid u = x(CO2), v = x(H2O).
    virtual Roots findrxnp(int16 i, real t, real u, real v) = 0;
    virtual Roots findrxnt(int16 i, real p, real u, real v) = 0;
    // Gibbs energy change of reaction i with its derivatives, RT ln K included.
    virtual ReactionDg calcdgr(int16 i, real p, real t, real u, real v) = 0;
    // The first root of reaction i with its sd, at t (K) or at p (kbar).
    virtual RxnPosition calcpsd(int16 i, real t, real u, real v) = 0;
    virtual RxnPosition calctsd(int16 i, real p, real u, real v) = 0;
    // Refreshes the variance of ln a of every end-member, and ln K of every reaction.
    virtual void setlnavar() = 0;
    virtual void calcrxnlna() = 0;
    // Recomputes the activities of the solution-phase end-members at p (kbar) and t (K).
    virtual void updateactivity(real p, real t) = 0;
    // The printed text of reaction i ("1)  a + 2b = c").
    virtual std::string reactiontext(int16 i) = 0;
};

// Everything one average calculation works with.
struct RockCalc {
    Session& ses;
    const Windows& win;  // P and T windows and the P and T lists of the pass
    const RockData& data;
    const RockSettings& set;
    RockReactions& rx;
    SvdArrays& work;  // the decompositions of the diagnostics
};

// Stops the run when the reaction set is larger than the least-squares matrices.
void checkavreactions(std::string_view procname, int16 nreac);

}  // namespace qv
