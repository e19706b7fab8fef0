#include "thermo/gemderivs.hpp"

#include <array>
#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "thermo/fluids.hpp"
#include "thermo/fluidterms.hpp"
#include "thermo/heatcapacity.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"
#include "thermo/volume.hpp"

namespace qv {

namespace {

// Central-difference steps: the truncation error, of order h^2, stays below 1e-9 of the
// derivative, the rounding of G (some 1e-16 kJ) below 1e-11.
constexpr real diffdp = 1e-4L;  // kbar; half the pressure below 2e-4 kbar
constexpr real diffdt = 0.01L;  // K

// The central difference (f(x + h) - f(x - h)) / 2h.
template <class F>
real centraldiff(F f, real x, real h) {
    return (f(x + h) - f(x - h)) / (2 * h);
}

real pstep(real p) {
    return p > 2 * diffdp ? diffdp : p / 2;
}

// Differences of the whole G, for the rows whose terms are not differentiated here.
GTerm gem_differenced(Session& ses, const GemSettings& gs, const tdvector& row,
                      std::string_view name, real p, real t, OrderState order, GemNeed need) {
    GTerm r;
    r.g = gem(ses, gs, row, name, p, t, order);
    if (need.p) {
        r.dgdp =
            centraldiff([&](real x) { return gem(ses, gs, row, name, x, t, order); }, p, pstep(p));
    }
    if (need.t) {
        r.dgdt =
            centraldiff([&](real x) { return gem(ses, gs, row, name, p, x, order); }, t, diffdt);
    }
    return r;
}

// The fluid term of gem with its derivatives: a pure Sterner-Pitzer H2O or CO2 has dG/dP = V of
// its own density; the rest is differenced.
GTerm gfluid_derivs(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
                    real p, real t, GemNeed need) {
    GTerm r;
    // Every fluid name starts with H, C or S (as in gfluid).
    if (name.empty() || (name[0] != 'H' && name[0] != 'C' && name[0] != 'S')) return r;
    const bool h2o = name == "H2O";
    const bool fluid = h2o || name == "CO2" || name == "CH4" || name == "H2" || name == "CO" ||
                       name == "H2S" || name == "S2";
    if (!fluid) return r;  // gfluid is 0
    if ((h2o || name == "CO2") && gs.newspfluid) {
        const real xco2 = row[27];
        const real xh2o = row[28];
        const bool mixture = h2o ? (xco2 > 0 && xh2o < 1) : (xco2 < 1 && xh2o > 0);
        if (gs.runftype != ftype::ih2oco2 || !mixture) {
            const FluidState self = h2o ? spfluid(ses, true, p, t) : spfluid2(ses, true, p, t);
            r.g = self.rtlnf;
            if (need.p) r.dgdp = self.v;
            if (need.t) {
                const auto g = [&](real x) {
                    return (h2o ? spfluid(ses, true, p, x) : spfluid2(ses, true, p, x)).rtlnf;
                };
                r.dgdt = centraldiff(g, t, diffdt);
            }
            return r;
        }
    }
    r.g = gfluid(ses, gs, row, name, p, t);
    if (need.p) {
        r.dgdp = centraldiff([&](real x) { return gfluid(ses, gs, row, name, x, t); }, p, pstep(p));
    }
    if (need.t) {
        r.dgdt = centraldiff([&](real x) { return gfluid(ses, gs, row, name, p, x); }, t, diffdt);
    }
    return r;
}

}  // namespace

GTerm gem_derivs(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
                 real p, real t, OrderState order, GemNeed need) {
    const real h = row[1];
    const real s = row[2];
    if (std::fabs(s) < 1e-8L) {
        ++ses.gemcount;
        return {h, 0, 0};
    }
    // Codes 3 to 5 of row 31 (rounded to the nearest, halves away from 0).
    const bool einstein = gs.dsmode == 7 && row[31] >= 2.5L && row[31] < 5.5L;
    const bool melt = !name.empty() && name.back() == 'L';
    const bool channel = name == "crd" || name == "fcrd";
    ThermoWork& w = thermowork(ses);
    GTerm gv, gord;
    if (einstein || channel || row[17] != 0 ||
        !gv_solid_derivs(w, gs, row, name, melt, p, t, gv, need.p, need.t) ||
        !gorder_derivs(w, gs, row, p, t, order, gord)) {
        return gem_differenced(ses, gs, row, name, p, t, order, need);
    }
    ++ses.gemcount;
    const GTerm cp = gcp_ordinary_derivs(w, row, t);
    const GTerm gf = gfluid_derivs(ses, gs, row, name, p, t, need);
    // Summed in the order of gem, so that G is the same to the last bit (the channel and aqueous
    // terms are 0 here).
    GTerm r;
    r.g = h - t * s;
    r.g += cp.g;
    r.g += gv.g;
    r.g += gf.g;
    r.g += gord.g;
    r.g += 0;
    r.g += 0;
    if (!std::isfinite(r.g)) {
        bad_row(name, "Gibbs energy not finite (data row outside its equation of state)");
    }
    if (need.p) r.dgdp = gv.dgdp + gf.dgdp + gord.dgdp;
    if (need.t) r.dgdt = -s + cp.dgdt + gv.dgdt + gf.dgdt + gord.dgdt;
    return r;
}

GTerm gemdriver_derivs(Session& ses, const GemSettings& gs, const GemTables& tables, int16 k,
                       real p, real t, GemNeed need) {
    const tdvector& row = tables.td[k];
    if (row[30] == 0) {
        return gem_derivs(ses, gs, row, tables.names[k], p, t, OrderState::equilibrium, need);
    }
    if (gs.ds190) bomb("gemdriver", "depem code for ds55??", yourfault);
    const auto ph = narrow16(std::lround(row[29]));
    const auto j = narrow16(std::lround(row[30]));
    GTerm r;
    r.g = row[3] * p + (row[1] - row[2] * t);
    r.dgdp = need.p ? row[3] : 0;
    r.dgdt = need.t ? -row[2] : 0;
    const MakeList m = tables.makes(ph, j);
    if (m.n > 0 && m.den == 0) bomb("gemdriver", "made end-member with divisor 0", yourfault);
    for (int i = 1; i <= m.n; ++i) {
        const MakeConstituent& c = m.c[i];
        const GTerm gi =
            gem_derivs(ses, gs, tables.td[c.row], tables.names[c.row], p, t, c.order, need);
        r.g += gi.g * c.coef / m.den;
        r.dgdp += gi.dgdp * c.coef / m.den;
        r.dgdt += gi.dgdt * c.coef / m.den;
    }
    return r;
}

ReactionDg calcdgr_derivs(Session& ses, const GemSettings& gs, ReactionTables& tab,
                          const iemvector& rx, real p, real t, real u, real v, GemNeed need,
                          LnkMemo* memo) {
    std::array<int16, maxem> members{};
    const std::size_t n = reactionmembers(rx, tab.nem, members);
    return calcdgr_derivs(ses, gs, tab, rx, std::span<const int16>(members.data(), n), p, t, u, v,
                          need, memo);
}

ReactionDg calcdgr_derivs(Session& ses, const GemSettings& gs, ReactionTables& tab,
                          const iemvector& rx, std::span<const int16> members, real p, real t,
                          real u, real v, GemNeed need, LnkMemo* memo) {
    if (t <= 0) bomb("calcdg0", "T <= 0 !", myfault);
    const GemTables gt{tab.td, tab.names, tab.makes};
    ReactionDg r;
    for (const int16 j : members) {
        tab.td[j][27] = u;
        tab.td[j][28] = v;
    }
    for (const int16 j : members) {
        const GTerm g = gemdriver_derivs(ses, gs, gt, j, p, t, need);
        r.dg += rx[j] * g.g;
        r.dgdp += rx[j] * g.dgdp;
        r.dgdt += rx[j] * g.dgdt;
    }
    if (memo != nullptr && memo->have) {
        r.lnk = memo->lnk;
    } else {
        r.lnk = calclnk(tab, rx, u, v);
        if (memo != nullptr) *memo = {true, r.lnk};
    }
    r.dg += rgas * t * r.lnk;
    if (need.t) r.dgdt += rgas * r.lnk;
    return r;
}

}  // namespace qv
