#include <cmath>

#include "base/fatal.hpp"
#include "reactiondiagram/intersections.hpp"

namespace qv {

PointSd intersectionptx(Diagram& d, int16 r1, int16 r2, real x, real y) {
    PointSd out;
    switch (d.ds.mode) {
        case diagramtype::ptcalc: break;
        case diagramtype::pxcalc:
        case diagramtype::txcalc:
        case diagramtype::plnacalc:
        case diagramtype::tlnacalc:
        case diagramtype::pmucalc:
        case diagramtype::tmucalc: return out;
        default: bomb("intersectionptx", "unknown diagrammode", myfault);
    }
    DiagramRun& dr = d.dr;
    DiagramPoint pt;
    setiptx(d.ds, dr, pt, x, y);
    const Roots g1 = d.lines.findrxnt(r1, true, pt.t, pt.p, pt.xco2, pt.xh2o);
    const Roots g2 = d.lines.findrxnt(r2, true, pt.t, pt.p, pt.xco2, pt.xh2o);
    const real a1 = g1.dgdp1, b1 = g1.dgdt1, a2 = g2.dgdp1, b2 = g2.dgdt1;
    // The point moves with the enthalpy changes dH1, dH2 of the two reactions by
    // [a1 b1; a2 b2] (dP, dT) = -(dH1, dH2).
    const real det = a1 * b2 - a2 * b1;
    if (det == 0) return out;
    diagramlnavar(d.ds, dr);
    const iemvector& c1 = dr.r[r1];
    const iemvector& c2 = dr.r[r2];
    real h11 = 0, h22 = 0, h12 = 0, l11 = 0, l22 = 0, l12 = 0;
    for (int16 i = 1; i <= dr.nem; ++i) {
        for (int16 j = 1; j <= dr.nem; ++j) {
            const real v = dr.cov[i][j];
            if (v == 0) continue;
            h11 += c1[i] * v * c1[j];
            h22 += c2[i] * v * c2[j];
            h12 += c1[i] * v * c2[j];
        }
        const real lv = d.ds.lnavar[i];
        l11 += lv * c1[i] * c1[i];
        l22 += lv * c2[i] * c2[i];
        l12 += lv * c1[i] * c2[i];
    }
    real gp[2] = {-b2 / det, b1 / det};  // dP per unit dH1, dH2
    real ht[2] = {a2 / det, -a1 / det};  // dT per unit dH1, dH2
    const auto quad = [](const real u[2], const real v[2], real m11, real m12, real m22) {
        return u[0] * m11 * v[0] + u[0] * m12 * v[1] + u[1] * m12 * v[0] + u[1] * m22 * v[1];
    };
    real varp = quad(gp, gp, h11, h12, h22);
    real vart = quad(ht, ht, h11, h12, h22);
    real covpt = quad(ht, gp, h11, h12, h22);
    const real rt = rgas * pt.t;
    for (int k = 0; k < 2; ++k) {
        gp[k] *= rt;
        ht[k] *= rt;
    }
    varp += quad(gp, gp, l11, l12, l22);
    vart += quad(ht, ht, l11, l12, l22);
    covpt += quad(ht, gp, l11, l12, l22);
    out.sdp = std::sqrt(varp);
    out.sdt = std::sqrt(vart);
    out.cor = (out.sdp > 0 && out.sdt > 0) ? covpt / (out.sdp * out.sdt) : 0;
    return out;
}

}  // namespace qv
