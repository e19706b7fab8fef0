#pragma once
// Gibbs energy change of a reaction among the end-members of a calculation: the standard-state
// change with its P and T derivatives, ln K from the activities and the fluid terms, and their
// sum dG = dG0 + RT ln K.

#include <span>
#include <string>
#include <vector>

#include "model/datamodel.hpp"
#include "thermo/makes.hpp"

namespace qv {

// The end-members of a calculation as the reaction routines see them. The data rows are written
// (values 27 and 28 get the fluid terms before each evaluation).
struct ReactionTables {
    tdmatrix& td;
    const Fixed1<std::string, maxem>& names;
    MakeLookup makes;
    int16 nem = 0;
    const emvector& emactivity;
    int16 h2oem = 0;  // numbers of "H2O", "CO2" and "aqSi" in the calculation, 0 when absent
    int16 co2em = 0;
    int16 aqsiem = 0;
    int16 aqsih2o = 4;  // multiple of the aqSi coefficient that takes a ln x(H2O) term
};

// Gibbs energy change (kJ) of a reaction and its forward-difference derivatives by P (kJ/kbar)
// and T (kJ/K); with ln K for `calcdgr`.
struct ReactionDg {
    real dg = 0;
    real dgdp = 0;
    real dgdt = 0;
    real lnk = 0;
};

// The end-member Gibbs energies of the evaluations of several reactions, at the three points
// `calcdg0` takes (P, T; P + dp, T; P, T + dt): each end-member is evaluated once at each point
// however many reactions share it. A value taken from here counts the `gem` calls it stands for
// in ses.gemcount, so the counts stay those of evaluating every reaction apart. `start` it before
// each evaluation: the values of an end-member without a make list are kept from one evaluation
// to the next while P, T, the G settings, its data row and its name stay bit for bit the same
// (P and T held in a solve); all others are formed afresh.
struct EmGCache {
    Fixed1<real, maxem> g[3]{};
    Fixed1<bool, maxem> have[3]{};
    Fixed1<int64, maxem> calls{};  // gem calls behind one value of end-member j
    Fixed1<bool, maxem> kept{};    // j's values may outlive their evaluation
    std::vector<tdvector> rows;    // the data row and name each kept value was formed with
    std::vector<std::string> names;
    bool any = false;
    real atp = 0;
    real att = 0;
    GemSettings gs;

    void start(const GemSettings& s, const tdmatrix& td, const Fixed1<std::string, maxem>& nm,
               int16 nem, real p, real t);
    // After end-member j was formed anew from data row `row` named `name`.
    void formed(int16 j, const tdvector& row, const std::string& name);
};

// Standard-state change of the reaction with coefficients `rx` at p (kbar) and t (K); with a
// cache, end-member values already formed at the same point are taken from it.
ReactionDg calcdg0(Session& ses, const GemSettings& gs, const ReactionTables& tab,
                   const iemvector& rx, real p, real t, EmGCache* cache = nullptr);
// The same with the reaction's end-members (those with rx[j] != 0, each within 1..tab.nem) listed
// in ascending order by the caller.
ReactionDg calcdg0(Session& ses, const GemSettings& gs, const ReactionTables& tab,
                   const iemvector& rx, std::span<const int16> members, real p, real t,
                   EmGCache* cache);
// The end-members of the reaction rx among 1..nem (rx[j] != 0), ascending, into `members`;
// returns how many.
std::size_t reactionmembers(const iemvector& rx, int16 nem, std::span<int16, maxem> members);
// ln K from the activities and the fluid terms u = x(CO2) and v = x(H2O).
real calclnk(const ReactionTables& tab, const iemvector& rx, real u, real v);
// dG = dG0 + RT ln K with its derivatives (dG/dP holds the activities fixed); first writes u and
// v into values 27 and 28 of the rows of the reaction's end-members.
ReactionDg calcdgr(Session& ses, const GemSettings& gs, ReactionTables& tab, const iemvector& rx,
                   real p, real t, real u, real v);

}  // namespace qv
