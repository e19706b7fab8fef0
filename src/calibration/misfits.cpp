#include "calibration/misfits.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "base/convert.hpp"
#include "numerics/sorting.hpp"

namespace qv {
namespace {

real median(const std::vector<real>& list) {
    sortvector s;
    const auto n = narrow16(list.size());
    for (int16 i = 1; i <= n; ++i) s[i] = list[i - 1];
    return findmedian(s, n);
}

}  // namespace

real halfwidth(real g) {
    return 0.887L + 0.194L * g + 0.0973L * g * g;
}

tdvector tdrow(const tdrec& t, int16 dsmode) {
    tdvector row;
    row.fill(0);
    row[1] = t.H;
    row[2] = t.S;
    row[3] = t.V;
    if (dsmode == 7 && t.tdcode >= 3 && t.tdcode <= 5) {
        row[4] = t.cpalt1;
        row[5] = t.cpalt2;
    } else {
        row[4] = t.cpa;
        row[5] = t.cpb;
        row[6] = t.cpc;
        row[7] = t.cpd;
    }
    row[8] = t.a0;
    row[9] = t.K0;
    row[10] = t.K0p;
    row[11] = t.K0pp;
    row[12] = t.theta;
    row[13] = t.kmelt;
    row[14] = t.tcrit;
    row[15] = t.Smax;
    row[16] = t.Vmax;
    row[17] = t.type8value;
    row[20] = t.od1;
    row[21] = t.od2;
    row[22] = t.od3;
    row[23] = t.od4;
    row[24] = t.odn;
    row[25] = t.odf;
    row[27] = t.tdxco2;
    row[28] = 1 - t.tdxco2;
    row[31] = dsmode == 5 ? 0 : t.tdcode;
    return row;
}

GemSettings calibgem(const Calibration& cal) {
    GemSettings gs;
    gs.dsmode = cal.dsmode;
    gs.newspfluid = true;
    gs.runftype = ftype::ih2oco2;
    gs.calibration = true;
    gs.currentxp = cal.curxp;
    gs.xpchannelfluid = cal.xpcrdflag;
    return gs;
}

real xpdgr(Session& ses, Calibration& cal, int16 k, real p, real t, real x) {
    const xprec& e = cal.xp[k];
    const GemSettings gs = calibgem(cal);
    real sum = 0;
    for (int m = 1; m <= e.nmembers; ++m) {
        tdrec& rec = cal.tda[e.memberix[m]];
        rec.tdxco2 = x;
        sum += e.coef[m] * gem(ses, gs, tdrow(rec, cal.dsmode), rec.name, p, t);
    }
    return sum;
}

BracketDg bracketdg(Session& ses, Calibration& cal, int16 k, int16 i, bool dodp, bool dodt) {
    const brrec& br = cal.xp[k].br[i];
    BracketDg r;
    r.dg = xpdgr(ses, cal, k, br.brP, br.brT, br.brx);
    if (dodp) r.dgdp = (xpdgr(ses, cal, k, br.brP + 0.01L, br.brT, br.brx) - r.dg) / 0.01L;
    if (dodt) r.dgdt = (xpdgr(ses, cal, k, br.brP, br.brT + 1, br.brx) - r.dg) + rgas * br.brlnk;
    r.dg += rgas * br.brT * br.brlnk;
    return r;
}

void classifybrackets(xprec& e) {
    if (e.nbr < 1) return;
    e.br[1].tbracket = e.br[1].pbracket = e.br[1].abracket = false;
    for (int i = 2; i <= e.nbr; ++i) {
        brrec& a = e.br[i - 1];
        brrec& b = e.br[i];
        b.abracket = false;
        if (!a.tbracket && !a.pbracket && a.direction != b.direction) {
            b.tbracket = a.brP == b.brP && a.brx == b.brx;
            b.pbracket = a.brT == b.brT && a.brx == b.brx;
        } else {
            b.tbracket = b.pbracket = false;
        }
    }
}

void bracketmisfits(Session& ses, Calibration& cal, int16 k) {
    xprec& e = cal.xp[k];
    classifybrackets(e);
    const SpecialPositions& sp = cal.special;
    for (int16 i = 1; i <= e.nbr; ++i) {
        const BracketDg d = bracketdg(ses, cal, k, i, true, true);
        brrec& br = e.br[i];
        br.brh = e.dhcalc - d.dg;
        const real p = br.brP;
        const real sdp = p < 10 ? 0.01L * p : 0.1L + 0.01L * (p - 10);
        real v = (d.dgdp * sdp) * (d.dgdp * sdp) + (2.5L * d.dgdt) * (2.5L * d.dgdt);
        for (int m = 1; m <= e.nmembers; ++m) {
            const int16 pos = e.memberpos[m];
            if (pos == sp.posO2 || pos == sp.posS2) continue;
            if (br.bra[pos] < 1) {
                const real term = 0.01L * rgas * br.brT * e.coef[m];
                v += term * term;
            }
        }
        br.brsig2 = 2 * std::sqrt(v);
    }
}

void orderbrackets(Calibration& cal, int16 k) {
    xprec& e = cal.xp[k];
    e.reversed = false;
    if (e.ingroup) {
        int pairs = 0;
        int back = 0;
        for (int i = 2; i <= e.nbr; ++i) {
            if (!e.br[i].tbracket && !e.br[i].pbracket) continue;
            ++pairs;
            if (e.br[i].brh < e.br[i - 1].brh) ++back;
        }
        if (2 * back > pairs) {
            e.reversed = true;
            for (int i = 2; i <= e.nbr; ++i) {
                if (e.br[i].tbracket || e.br[i].pbracket) std::swap(e.br[i - 1], e.br[i]);
            }
            for (int i = 1; i <= e.nbr; ++i) e.br[i].direction = !e.br[i].direction;
            classifybrackets(e);
        }
    }
    real sum = 0;
    std::vector<real> steps;
    for (int i = 2; i <= e.nbr; ++i) {
        const brrec& a = e.br[i - 1];
        const brrec& b = e.br[i];
        if (!b.tbracket && !b.pbracket) continue;
        const real s = (b.brh - a.brh) / (a.brsig2 + b.brsig2);
        const real v = 0.5L * (a.brsig2 + b.brsig2) * halfwidth(s);
        sum += 1 / (v * v);
        steps.push_back(s);
    }
    if (steps.empty()) {
        e.minslope = 1.5L;
        e.slopeweight = 0;
    } else {
        e.slopeweight = std::sqrt(sum);
        real m = steps[0];
        for (real s : steps) m = s < m ? s : m;
        e.minslope = m < 1 ? 1 : m > 1.5L ? 1.5L : m;
    }
    real lo = -1e10L;
    real hi = 1e10L;
    int ilo = 0;
    int ihi = 0;
    std::vector<real> lower, upper;
    for (int i = 1; i <= e.nbr; ++i) {
        const brrec& br = e.br[i];
        if (!br.direction) {
            lower.push_back(br.brh);
            if (ilo == 0 || br.brh > lo) lo = br.brh, ilo = i;
        } else {
            upper.push_back(br.brh);
            if (ihi == 0 || br.brh < hi) hi = br.brh, ihi = i;
        }
    }
    // Runs that all went one way bound the enthalpy on one side only: no interval, no row.
    e.onesided = ilo == 0 || ihi == 0;
    const real slo = ilo > 0 ? e.br[ilo].brsig2 : 0;
    const real shi = ihi > 0 ? e.br[ihi].brsig2 : 0;
    e.sigbar = e.onesided ? slo + shi : 0.5L * (slo + shi);
    e.hlow = lo;
    e.hhigh = hi;
    if (e.onesided || e.sigbar == 0) {
        e.gap = e.gapfirst = e.gapused = 0;
        e.brclass = 0;
        return;
    }
    const real gap = (hi - lo) / (2 * e.sigbar);
    e.gap = e.gapfirst = gap;
    const real m = e.minslope;
    const auto nlow = lower.size();
    const auto nhigh = upper.size();
    real c = 0.5L * (lo + hi);
    real g = gap;
    int16 cls = 1;
    if (gap >= m) {
        cls = 1;
    } else if (nlow <= 2 && nhigh <= 2) {
        cls = 2;
        g = m;
    } else {
        const real lo2 = nlow > 2 ? median(lower) : lo;
        const real hi2 = nhigh > 2 ? median(upper) : hi;
        const real gap2 = (hi2 - lo2) / (2 * e.sigbar);
        c = 0.5L * (lo2 + hi2);
        if (gap > 0 || (lo2 <= hi && lo <= hi2)) {
            cls = 3;
            const real d1 = lo - lo2;
            const real d2 = hi2 - hi;
            // Medians at the extreme bounds leave no side to lean to: the plain midpoint.
            c = d1 + d2 == 0
                    ? 0.5L * (lo + hi)
                    : 0.5L * (lo + hi + (lo + 2 * e.sigbar * m - hi) * (d2 - d1) / (d1 + d2));
            g = m;
        } else if (lo2 <= hi || lo <= hi2) {
            if (gap2 <= m) {
                cls = 6;
                g = m;
            } else {
                cls = 5;
                g = gap2;
            }
        } else {
            cls = 4;
            g = 2;
        }
    }
    e.brclass = cls;
    e.gapused = g;
    e.hlow = c - halfwidth(g) * e.sigbar;
    e.hhigh = c + halfwidth(g) * e.sigbar;
}

}  // namespace qv
