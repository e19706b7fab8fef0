#include "solver/positions.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"

namespace qv {

namespace {

// R ln 10 (kJ/K): turns a log a into the entropy term of the activity carrier.
constexpr real rln10 = 0.019144654296L;

// sum over k, l of n_k cov[k][l] n_l (kJ^2) and sum over k of n_k^2 var(ln a_k).
struct Variances {
    real h = 0;
    real lna = 0;
};

Variances reactionvariances(const iemvector& n, int16 nem, const emmatrix& cov,
                            const emvector& emlnavar) {
    Variances v;
    for (int16 k = 1; k <= nem; ++k) {
        if (n[k] == 0) continue;
        for (int16 l = 1; l <= nem; ++l) {
            if (n[l] != 0) v.h += n[k] * cov[k][l] * n[l];
        }
        v.lna += emlnavar[k] * n[k] * n[k];
    }
    return v;
}

// The sd of a root x from the sd of dG, carried through the slope of dG in the sought variable;
// rt is R times the temperature at the root.
real rootsd(const Variances& v, real rt, real slope) {
    return std::sqrt((v.h + v.lna * rt * rt) / (slope * slope));
}

Position position(ReactionEval& ev, const PositionData& data, ReactionLists& rl, int16 i,
                  findtype ft, const Roots& roots, real t) {
    Position pos;
    pos.x1 = roots.x1;
    pos.x2 = roots.x2;
    if (!inrange(ev.w, ft, roots.x1)) return pos;
    setlnavar(ev.activitysd, ev.tab.emactivity, data.emactivitysd, ev.tab.nem, rl.emlnavar);
    const Variances v = reactionvariances(ev.r[i], ev.tab.nem, data.cov, rl.emlnavar);
    const bool byp = ft == findtype::findp;
    pos.sd1 = rootsd(v, rgas * (byp ? t : roots.x1), byp ? roots.dgdp1 : roots.dgdt1);
    pos.dtdp1 = -roots.dgdp1 / roots.dgdt1;
    if (inrange(ev.w, ft, roots.x2)) {
        pos.sd2 = rootsd(v, rgas * (byp ? t : roots.x2), byp ? roots.dgdp2 : roots.dgdt2);
        pos.dtdp2 = -roots.dgdp2 / roots.dgdt2;
    }
    return pos;
}

}  // namespace

void setlnavar(bool activitysd, const emvector& emactivity, const emvector& emactivitysd, int16 nem,
               emvector& emlnavar) {
    for (int16 k = 1; k <= nem; ++k) emlnavar[k] = 0;
    if (!activitysd) return;
    for (int16 k = 1; k <= nem; ++k) {
        const real a = emactivity[k];
        if (a > 0 && a < 1) {
            const real r = emactivitysd[k] / a;
            emlnavar[k] = r * r;
        }
    }
}

Position calcpsd(ReactionEval& ev, const PositionData& data, ReactionLists& rl, int16 i, real t,
                 real u, real v) {
    const Roots roots = findrxnp(ev, i, false, 0, t, u, v);
    return position(ev, data, rl, i, findtype::findp, roots, t);
}

Position calctsd(ReactionEval& ev, const PositionData& data, ReactionLists& rl, int16 i, real p,
                 real u, real v) {
    const Roots roots = findrxnt(ev, i, false, 0, p, u, v);
    return position(ev, data, rl, i, findtype::findt, roots, 0);
}

void calcrxnlna(const rmatrix& r, int16 nreac, const emvector& emactivity, int16 nem,
                ReactionLists& rl) {
    for (int16 j = 1; j <= nreac; ++j) {
        real s = 0;
        for (int16 k = 1; k <= nem; ++k) {
            if (r[j][k] != 0) s += r[j][k] * std::log(emactivity[k]);
        }
        rl.rxnlnk[j] = s;
    }
}

void turnreaction(ReactionEval& ev, ReactionLists& rl, int16 i, real p, real t, real u, real v,
                  real lna, real mu) {
    if (!ev.sectionturns) {
        putstr(ev.ses, 1, "call of turnreaction unexpected", 1, screenlogmask);
        return;
    }
    const real c = rl.lnaterm.logbase10 ? rln10 : rgas;
    // The section variable's end-member carries RT ln a (through its entropy) or mu (as its
    // enthalpy); its row is where the diagram's own evaluations put the same terms.
    const bool musection = ev.diagram == diagramtype::pmucalc || ev.diagram == diagramtype::tmucalc;
    const int16 em = musection ? ev.muem : ev.lnaem;
    tdvector& carrier = ev.tab.td[em > 0 ? em : ev.tab.nem];
    real pe = p, te = t;
    switch (ev.diagram) {
        case diagramtype::ptcalc:
        case diagramtype::txcalc: te = t + 5; break;
        case diagramtype::pxcalc: pe = p + 0.2L; break;
        case diagramtype::plnacalc:
            carrier[2] = rl.lnaterm.s0 - c * lna;
            pe = p + 0.2L;
            break;
        case diagramtype::tlnacalc:
            carrier[2] = rl.lnaterm.s0 - c * lna;
            te = t + 5;
            break;
        case diagramtype::pmucalc:
            carrier[1] = mu;
            pe = p + 0.2L;
            break;
        case diagramtype::tmucalc:
            carrier[1] = mu;
            te = t + 5;
            break;
        default: bomb("turnreaction", "unknown diagrammode", myfault);
    }
    const ReactionDg r = dgofreaction(ev, i, pe, te, u, v);
    if (r.dg > 0) {
        iemvector& row = ev.r[i];
        for (int16 k = 1; k <= ev.tab.nem; ++k) row[k] = narrow16(-row[k]);
        rl.rxnlnk[i] = -rl.rxnlnk[i];
    }
}

void writereaction(const rmatrix& r, const strings& names, int16 nem, ReactionLists& rl, int16 i) {
    strings shown = names;
    for (int16 k = 1; k <= rl.nlabels; ++k) {
        int16 pos = 0;
        if (posinlist(rl.labelnames[k], names, nem, pos)) shown[pos] = rl.labels[k];
    }
    std::string line;
    addgreal(0, line, i);
    addstr(")  ", 0, line);
    const auto side = [&](int sign) {
        bool first = true;
        for (int16 k = 1; k <= nem; ++k) {
            const int n = r[i][k] * sign;
            if (n <= 0) continue;
            if (!first) addstr(" + ", 0, line);
            first = false;
            if (n != 1) addgreal(0, line, n);
            addstr(shown[k], 0, line);
        }
    };
    side(-1);
    addstr(" = ", 0, line);
    side(1);
    rl.rxntext[i] = line;
    if (static_cast<int>(line.size()) > rl.textwidth) {
        rl.textwidth = narrow16(line.size());
    }
}

}  // namespace qv
