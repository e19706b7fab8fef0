#pragma once
// The shared dataset as the reaction routines see it: every end-member of qv-ds62.txt is an
// end-member of the calculation, with unit activities, the dataset's enthalpy covariance and a
// P-T window of 1-15 kbar and 400-1100 C.

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "solver/reactionlists.hpp"
#include "solver/roots.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {

struct DsReactions {
    std::unique_ptr<ReactionLists> rlp = std::make_unique<ReactionLists>();
    Ds62 d;
    tdmatrix& td = *d.run.arrays.td;
    strings& names = d.run.dataset.emnames;
    rmatrix& r = *d.run.arrays.r;
    emmatrix& cov = *d.run.arrays.cov;
    emvector act;
    emvector actsd;
    MakeLookup lookup = [](int16, int16) { return MakeList{}; };
    ReactionTables tab{td, names, lookup, d.nem(), act, d.find("H2O"), d.find("CO2"), 0, 4};
    Windows w;
    ReactionLists& rl = *rlp;
    ReactionEval ev{d.ts.ses, d.gs, tab, r, w};

    DsReactions() {
        for (int i = 1; i <= maxem; ++i) act[i] = 1;
        w.twinlow = 673.15L;
        w.twinhigh = 1373.15L;
        w.pwinlow = 1;
        w.pwinhigh = 15;
    }
    int16 em(const std::string& n) { return d.find(n); }
    // Reaction row i from (name, coefficient) pairs.
    void setreaction(int16 i, std::initializer_list<std::pair<const char*, int16>> terms) {
        r[i] = iemvector{};
        for (const auto& [n, k] : terms) r[i][em(n)] = k;
    }
    // Pure fluids: x(CO2) and x(H2O) of the fluid end-members' rows.
    void purefluids() {
        td[em("H2O")][27] = 0;
        td[em("H2O")][28] = 1;
        td[em("CO2")][27] = 1;
        td[em("CO2")][28] = 0;
    }
    // dG of reaction i summed from `gem` alone, with RT ln a of the activities.
    real dgdirect(int16 i, real p, real t) {
        real s = 0;
        for (int16 k = 1; k <= d.nem(); ++k) {
            if (r[i][k] != 0) s += r[i][k] * (d.g(k, p, t) + rgas * t * std::log(act[k]));
        }
        return s;
    }
    // The root of dG = 0 by plain bisection in [a, b] along P (byp) or T.
    real bisect(int16 i, bool byp, real fixed, real a, real b) {
        return test::bisect(
            [&](real x) { return byp ? dgdirect(i, x, fixed) : dgdirect(i, fixed, x); }, a, b);
    }
};

}  // namespace qv::test
