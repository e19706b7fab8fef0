#include <cmath>

#include "base/fatal.hpp"
#include "reactiondiagram/intersections.hpp"
#include "textio/channels.hpp"

namespace qv {

namespace {

bool sharephases(const longint3& a, const longint3& b) {
    for (int w = 1; w <= 3; ++w) {
        if ((a[w] & b[w]) != 0) return true;
    }
    return false;
}

// The less stable side of reaction i at the point: its reactants when dG < 0, else its
// products (dG exactly 0 takes the products).
longint3 unstableside(Diagram& d, int16 i, const DiagramPoint& pt) {
    const ReactionDg g = d.lines.dgr(i, pt.p, pt.t, pt.xco2, pt.xh2o);
    longint3 side{};
    for (int16 e = 1; e <= d.dr.nrxem; ++e) {
        const int16 c = d.dr.r[i][e];
        if ((g.dg >= 0 && c > 0) || (g.dg < 0 && c < 0)) BSet2(side, e);
    }
    return side;
}

}  // namespace

bool stableintersection(Diagram& d, int16 ii, real x, real y) {
    const longint3& s = d.dr.cand[ii].phases;
    DiagramPoint pt;
    setiptx(d.ds, d.dr, pt, x, y);
    // Every evaluation takes the activity term of the point itself.
    setlnamuterm(d.ds, d.dr, pt);
    for (int16 i = 1; i <= d.dr.nreac; ++i) {
        const longint3& ri = d.dr.reacphases[i];
        if (!sharephases(ri, s) || BSubset(ri, s)) continue;
        if (BSubset(unstableside(d, i, pt), s)) return false;
    }
    return true;
}

void rstable(Diagram& d, const Fixed1<bool, maxreac>& involved) {
    DiagramState& ds = d.ds;
    DiagramRun& dr = d.dr;
    const int16 npoints = gridcount(ds, dr, "rstable");
    bool heading = false;
    for (int16 i = 1; i <= dr.nreac; ++i) {
        if (involved[i]) continue;
        int16 k = 0;
        real v = 0;
        for (int16 j = 1; j <= npoints && k == 0; ++j) {
            if (inrange(dr.w, ds.calcfindtype, (*ds.branch1)[i][j])) k = j, v = (*ds.branch1)[i][j];
        }
        for (int16 j = 1; j <= npoints && k == 0; ++j) {
            if (inrange(dr.w, ds.calcfindtype, (*ds.branch2)[i][j])) k = j, v = (*ds.branch2)[i][j];
        }
        const bool found = k > 0;
        bool metastable = false;
        DiagramPoint pt;
        if (found) {
            setiptx(ds, dr, pt, gridvalue(ds, dr, k, "rstable"), v);
            setlnamuterm(ds, dr, pt);
            const longint3& ri = dr.reacphases[i];
            for (int16 j = 1; j <= dr.nreac && !metastable; ++j) {
                if (j == i || !sharephases(dr.reacphases[j], ri)) continue;
                metastable = BSubset(unstableside(d, j, pt), ri);
            }
        }
        if (!heading) {
            putstr(d.ses, 1, "----------------------------------------------------", 1,
                   screensummarylogmask);
            putstr(d.ses, 0, "Stability of reactions not involved in intersections :", 2,
                   screensummarylogmask);
            heading = true;
        }
        std::string line;
        addstr(!found ? "*not known*" : (metastable ? "metastable" : "<= stable =>"), -13, line);
        if (found) d.lines.turnreaction(i, pt);
        addstr(dr.rxntext[i], 0, line);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
