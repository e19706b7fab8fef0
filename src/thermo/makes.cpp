#include "thermo/makes.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"

namespace qv {

namespace {

OrderState orderof(makeactiontype a) {
    switch (a) {
        case makeactiontype::ordered: return OrderState::ordered;
        case makeactiontype::disordered: return OrderState::disordered;
        case makeactiontype::equilibrium:
        case makeactiontype::notrelevant:
        case makeactiontype::notspecified: break;
    }
    return OrderState::equilibrium;
}

template <class Rec>
MakeList makelist_of_record(const Rec& r) {
    MakeList m;
    m.n = r.nmake > 0 ? r.nmake : 0;
    m.den = r.makeden;
    for (int i = 1; i <= m.n; ++i) {
        m.c[i].row = r.makeint2[i];
        m.c[i].coef = r.makecoef[i];
        m.c[i].order = orderof(r.makeaction[i]);
    }
    return m;
}

}  // namespace

MakeList makelistof(const ptype0& ph) {
    return makelist_of_record(ph);
}
MakeList makelistof(const ssemtype& em) {
    return makelist_of_record(em);
}

MakeLookup phasemakes(const prectype0& prec0, const prectype1& prec1) {
    return [&prec0, &prec1](int16 ph, int16 j) -> MakeList {
        if (ph < 1) return makelistof(prec0[j]);
        return makelistof(prec1[ph].em[j]);
    };
}

real gemdriver(Session& ses, const GemSettings& gs, const GemTables& tables, int16 k, real p,
               real t) {
    const tdvector& row = tables.td[k];
    if (row[30] == 0) return gem(ses, gs, row, tables.names[k], p, t);
    if (gs.ds190) bomb("gemdriver", "depem code for ds55??", yourfault);
    const auto ph = narrow16(std::lround(row[29]));
    const auto j = narrow16(std::lround(row[30]));
    real g = row[3] * p + (row[1] - row[2] * t);
    const MakeList m = tables.makes(ph, j);
    if (m.n > 0 && m.den == 0) bomb("gemdriver", "made end-member with divisor 0", yourfault);
    // Each constituent, its order-disorder term included, enters with its weight n_i/dv.
    for (int i = 1; i <= m.n; ++i) {
        const MakeConstituent& c = m.c[i];
        const real gi = gem(ses, gs, tables.td[c.row], tables.names[c.row], p, t, c.order);
        g += gi * c.coef / m.den;
    }
    return g;
}

}  // namespace qv
