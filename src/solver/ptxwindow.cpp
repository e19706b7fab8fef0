#include "solver/ptxwindow.hpp"

#include "base/fatal.hpp"

namespace qv {

namespace {

constexpr real rln10 = 0.019144654296L;  // R ln 10, kJ/K

// dG and its derivatives at the four corners.
struct Corners {
    Fixed1<real, 4> dg, dgdp, dgdt;
};

bool onesign(const CornerSigns& cs) {
    return (cs[1] && cs[2] && cs[3] && cs[4]) || (!cs[1] && !cs[2] && !cs[3] && !cs[4]);
}

bool inPTwindow(ReactionEval& ev, const CurrentConditions& cur, int16 i, CornerSigns& cs) {
    const Windows& w = ev.w;
    const real ps[] = {w.pwinlow, w.pwinhigh, w.pwinhigh, w.pwinlow};
    const real ts[] = {w.twinlow, w.twinlow, w.twinhigh, w.twinhigh};
    Corners c;
    for (int k = 1; k <= 4; ++k) {
        const ReactionDg r = dgofreaction(ev, i, ps[k - 1], ts[k - 1], cur.xco2cur, cur.xh2ocur);
        c.dg[k] = r.dg;
        c.dgdp[k] = r.dgdp;
        c.dgdt[k] = r.dgdt;
        cs[k] = r.dg < 0;
    }
    bool out = onesign(cs);
    if (!out) return true;
    const auto tedge = [&](int a, int b, real p) {
        if (out && !samesign(c.dgdt[a], c.dgdt[b])) {
            const Roots r = findrxnt(ev, i, false, 0, p, cur.xco2cur, cur.xh2ocur);
            out = !inrange(w, findtype::findt, r.x1);
        }
    };
    const auto pedge = [&](int a, int b, real t) {
        if (out && !samesign(c.dgdp[a], c.dgdp[b])) {
            const Roots r = findrxnp(ev, i, false, 0, t, cur.xco2cur, cur.xh2ocur);
            out = !inrange(w, findtype::findp, r.x1);
        }
    };
    tedge(1, 4, w.pwinlow);
    tedge(2, 3, w.pwinhigh);
    pedge(1, 2, w.twinlow);
    pedge(3, 4, w.twinhigh);
    return !out;
}

enum class Third { x, lna, mu };

// The sections with P or T (the searched variable) against x(CO2), ln a or mu. Corners 1-4 are
// (lo, lo), (lo, hi), (hi, hi), (hi, lo) in (P or T, third variable).
bool inthirdwindow(ReactionEval& ev, const ActivityTerm& lt, const CurrentConditions& cur, int16 i,
                   CornerSigns& cs, bool byp, Third third) {
    const Windows& w = ev.w;
    const real lo1 = byp ? w.pwinlow : w.twinlow;
    const real hi1 = byp ? w.pwinhigh : w.twinhigh;
    real lo3 = w.xwinlow, hi3 = w.xwinhigh;
    if (third == Third::lna) {
        lo3 = w.lnawinlow;
        hi3 = w.lnawinhigh;
    } else if (third == Third::mu) {
        lo3 = w.muwinlow;
        hi3 = w.muwinhigh;
    }
    real u = cur.xco2cur, v = cur.xh2ocur;
    tdvector& carrier = ev.tab.td[ev.tab.nem];
    const auto setthird = [&](real x) {
        switch (third) {
            case Third::x:
                u = x;
                v = 1 - x;
                break;
            case Third::lna: carrier[2] = lt.s0 - (lt.logbase10 ? rln10 : rgas) * x; break;
            case Third::mu: carrier[1] = x; break;
        }
    };
    const auto dgat = [&](real x1) {
        return byp ? dgofreaction(ev, i, x1, cur.tcur, u, v)
                   : dgofreaction(ev, i, cur.pcur, x1, u, v);
    };
    const real first[] = {lo1, lo1, hi1, hi1};
    const real thirds[] = {lo3, hi3, hi3, lo3};
    Corners c;
    for (int k = 1; k <= 4; ++k) {
        setthird(thirds[k - 1]);
        const ReactionDg r = dgat(first[k - 1]);
        c.dg[k] = r.dg;
        c.dgdp[k] = r.dgdp;
        c.dgdt[k] = r.dgdt;
        cs[k] = r.dg < 0;
    }
    bool out = onesign(cs);
    if (!out) return true;
    const Fixed1<real, 4>& slope = byp ? c.dgdp : c.dgdt;
    // A reaction producing (or consuming) both H2O and CO2 can turn along x(CO2) and cross the
    // window along x = nCO2 / (nCO2 + nH2O), where its fluid term is extreme.
    if (third == Third::x) {
        const bool gated = byp ? !samesign(c.dgdp[3], c.dgdp[4]) : !samesign(c.dgdt[1], c.dgdt[2]);
        const int16 h2o = ev.tab.h2oem, co2 = ev.tab.co2em;
        if (gated && h2o > 0 && co2 > 0 && ev.r[i][co2] > 0 && ev.r[i][h2o] > 0) {
            const double nc = ev.r[i][co2], nh = ev.r[i][h2o];
            const real xs = static_cast<real>(nc / (nc + nh));
            u = xs;
            v = 1 - xs;
            const real g1 = dgat(lo1).dg, g2 = dgat(hi1).dg;
            out = (g1 >= 0 && g2 >= 0) || (g1 < 0 && g2 < 0);
            if (!out) return true;
        }
    }
    const auto edge = [&](int a, int b, real x3) {
        if (out && !samesign(slope[a], slope[b])) {
            setthird(x3);
            const Roots r = byp ? findrxnp(ev, i, false, 0, cur.tcur, u, v)
                                : findrxnt(ev, i, false, 0, cur.pcur, u, v);
            out = !inrange(w, byp ? findtype::findp : findtype::findt, r.x1);
        }
    };
    edge(1, 4, lo3);
    edge(2, 3, hi3);
    return !out;
}

}  // namespace

bool inPTXwindow(ReactionEval& ev, const ActivityTerm& lnaterm, const CurrentConditions& cur,
                 int16 i, CornerSigns& cornersigns) {
    switch (ev.diagram) {
        case diagramtype::ptcalc: return inPTwindow(ev, cur, i, cornersigns);
        case diagramtype::pxcalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, true, Third::x);
        case diagramtype::txcalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, false, Third::x);
        case diagramtype::plnacalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, true, Third::lna);
        case diagramtype::tlnacalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, false, Third::lna);
        case diagramtype::pmucalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, true, Third::mu);
        case diagramtype::tmucalc:
            return inthirdwindow(ev, lnaterm, cur, i, cornersigns, false, Third::mu);
    }
    bomb("inPTXwindow", "unknown diagrammode", myfault);
}

}  // namespace qv
