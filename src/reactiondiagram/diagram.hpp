#pragma once
// A reaction phase diagram of calculation mode 3: the diagram's own state (its type, the
// calculated and the grid variable, the branch tables of the reaction lines), what it reads of
// the run (end-members, reactions, candidate invariant points, windows) and the services of
// single reactions that it calls (roots in P or T, their uncertainties, orientation).
// The two coordinates of a point are always passed as (grid variable, calculated variable).

#include <memory>
#include <string>

#include "model/datamodel.hpp"
#include "script/settings.hpp"
#include "script/windows.hpp"
#include "solver/reactionlists.hpp"
#include "solver/roots.hpp"
#include "textio/bitsets.hpp"
#include "textio/session.hpp"
#include "thermo/reactions.hpp"

namespace qv {

inline constexpr int maxgrid = 201;             // grid points of a reaction line
inline constexpr int maxintreac = 28;           // reactions of one candidate that can be searched
inline constexpr real rln10 = 0.019144654296L;  // R ln 10, kJ/K/mol: RT log10 a = rln10 T log a
inline constexpr real notfound = 1e21L;         // first root: none; located point: failed

// Per reaction and grid point, a value of the calculated variable (P kbar or T K).
using branchtable = Grow1<Fixed1<real, maxgrid>, maxreac>;  // rows made as reactions use them

// One point of a diagram in physical variables: P kbar, T K, fluid x(CO2) and x(H2O), the
// activity variable (ln a, or log a when logs are to base 10) and the chemical potential (kJ).
struct DiagramPoint {
    real p = 0;
    real t = 0;
    real xco2 = 0;
    real xh2o = 0;
    real lna = 0;
    real mu = 0;
};

// What the diagram reads of the run, held in place (the reaction rows are turned in place).
struct DiagramRun {
    Windows& w;
    const ScriptSettings& script;  // "setloga", the run title, the calctype code
    tdmatrix& td;                  // row nem carries the ln a or mu term of the diagram
    const emmatrix& cov;           // covariance of the end-member enthalpies, kJ^2
    const strings& emnames;
    const emvector& emact;  // activity and its sd of each end-member
    const emvector& emsda;
    rmatrix& r;  // reaction coefficients, reaction x end-member
    const int16& nreac;
    const Fixed1<std::string, maxreac>& rxntext;       // "1)  a + 2b = c"
    const Fixed1<longint3, maxphasesets>& reacphases;  // end-members 1..nrxem of each reaction
    const IntersectionTable& cand;                     // candidate invariant points
    const int16& nint;
    int16 nem = 0;
    int16 nrxem = 0;    // end-members that take part in the reactions
    int16 nexcess = 0;  // end-members in excess, in places nrxem+1..nem
    int16 h2oemno = 0;  // 0 when absent
    int16 co2emno = 0;
    int16 lnaemno = 0;  // the end-member of the ln a variable, 0 when none
    std::string lnaname;
    int16 muemno = 0;  // the end-member of the chemical potential variable, 0 when none
    std::string muname;
    real lnasref = 0;            // entropy of the ln a end-member as set up, kJ/K
    std::string fluidlabeltext;  // the fluid of the run as table headings name it
    // Current values of the run (the middle of the windows of the diagram, or the fixed one).
    real& pcur;  // kbar
    real& tcur;  // K
    real& xco2cur;
    real& xh2ocur;
};

// The roots as above with their standard deviations (1e31 for a root outside the window).
struct RootPairSd {
    real x1 = notfound;
    real x2 = -notfound;
    real sd1 = 1e31L;
    real sd2 = 1e31L;
};

// The services of single reactions that a diagram calls, on the run's reaction table and
// windows.
class ReactionLines {
public:
    virtual ~ReactionLines() = default;
    // dG (kJ) of reaction i with its derivatives at p (kbar), t (K) and fluid u = x(CO2),
    // v = x(H2O); dG includes RT ln K.
    virtual ReactionDg dgr(int16 i, real p, real t, real u, real v) = 0;
    // Pressures of reaction i at t in the P window; with usestart a single root refined from
    // start.
    virtual Roots findrxnp(int16 i, bool usestart, real start, real t, real u, real v) = 0;
    // Temperatures of reaction i at p in the T window.
    virtual Roots findrxnt(int16 i, bool usestart, real start, real p, real u, real v) = 0;
    // The pressures at t, or temperatures at p, with their standard deviations.
    virtual RootPairSd calcpsd(int16 i, real t, real u, real v) = 0;
    virtual RootPairSd calctsd(int16 i, real p, real u, real v) = 0;
    // Reverses reaction i when needed so that its right-hand side is stable at higher T (or P)
    // at the point; writes the ln a or mu term of the diagram first.
    virtual void turnreaction(int16 i, const DiagramPoint& pt) = 0;
};

// The diagram's own state.
struct DiagramState {
    diagramtype mode = diagramtype::ptcalc;
    calcvariabletype calcvariable = calcvariabletype::calcpressure;
    othervariabletype othervariable = othervariabletype::fixedtemperature;
    findtype calcfindtype = findtype::findp;  // window kind of the calculated variable
    bool allreactionson = false;              // all reactions rather than Schreinemakers
    // Window bounds saved by `enlargewindow`.
    real savedtlow = 0;  // K
    real savedthigh = 0;
    real savedplow = 0;  // kbar
    real savedphigh = 0;
    std::unique_ptr<branchtable> branch1 = std::make_unique<branchtable>();
    std::unique_ptr<branchtable> branch2 = std::make_unique<branchtable>();
    emvector lnavar{};  // variance of ln a of each end-member
};

// Everything one diagram works on, passed together to its procedures.
struct Diagram {
    Session& ses;
    DiagramState& ds;
    DiagramRun& dr;
    ReactionLines& lines;
};

// Convergence tolerances of a located point: of the grid coordinate and of the calculated one.
struct Tolerances {
    real other = 0;
    real calc = 0;
};
Tolerances setlim(const DiagramState& ds);
// The physical variables of diagram coordinates (first = grid, second = calculated); the
// current P, T and fluid fill what the coordinates do not set, lna and mu keep pt's values.
void setiptx(const DiagramState& ds, const DiagramRun& dr, DiagramPoint& pt, real first,
             real second);
// Widens the window of the calculated variable for a search (T by 300 K down and 400 K up
// within 283..3000 K, P by 5 kbar each way within pminimum..1500 kbar), saving the old one.
void enlargewindow(DiagramState& ds, Windows& w, calcvariabletype which);
void restorewindow(const DiagramState& ds, Windows& w, calcvariabletype which);

// The grid point k of a line: its physical variables with the ln a or mu term written.
DiagramPoint gridpoint(Diagram& d, int16 k);
// The roots of reaction i in the calculated variable at a point (no start value).
Roots lineroots(Diagram& d, int16 i, const DiagramPoint& pt);

// The number of grid points of the diagram (the count of the grid variable's list).
int16 gridcount(const DiagramState& ds, const DiagramRun& dr, std::string_view procname);
// Grid value k of the diagram.
real gridvalue(const DiagramState& ds, const DiagramRun& dr, int16 k, std::string_view procname);
// The ln a list in use (the diagram's own variable: the first list).
inline constexpr int diagramlna = 1;

// The variance of ln a of each end-member, (sd(a)/a)^2 for 0 < a < 1, else 0.
void diagramlnavar(DiagramState& ds, const DiagramRun& dr);
// The activity factor of the ln a variable: R ln 10 for logs to base 10, else R.
real lnafactor(const DiagramRun& dr);
// Writes the diagram's ln a or mu term into the data row of the last end-member.
void setlnamuterm(const DiagramState& ds, DiagramRun& dr, const DiagramPoint& pt);

}  // namespace qv
