#include "thermo/activities.hpp"

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/powers.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

namespace {

constexpr real dxsd = 0.001L;  // composition step of the variable-sd derivative

// Ideal-mixing activity of end-member m from the site fractions sf; with `positiveonly`, the
// factors whose site fraction is 0 or below are left out of the product.
real idealactivity(const ptype1& ph, int m, const Fixed1<real, maxsf>& sf, bool positiveonly) {
    const ssemtype& em = ph.em[m];
    real a = em.tmfconst;
    for (int f = 1; f <= em.ntmf; ++f) {
        const tmftermtype& t = em.tmf[f];
        if (positiveonly && sf[t.sf] <= 0) continue;
        a *= rationalpower(t.pnum, t.pden, sf[t.sf]);
    }
    return a;
}

Fixed1<real, maxsf> sitefractions(const ptype1& ph, const eqvector& x) {
    Fixed1<real, maxsf> sf;
    for (int s = 1; s <= ph.nsf; ++s) sf[s] = evalexpr(x, 1, ph.sf[s]);
    return sf;
}

}  // namespace

ActivitiesSd calcactivitysd(const ptype1& ph, const eqvector& x, real p, real t,
                            controlboolean justrelu) {
    ActivitiesSd r;
    const int n = ph.nem;
    empvector prop;
    empvector alpha;
    empvector phi;
    real s = 0;
    for (int i = 1; i <= n; ++i) {
        prop[i] = evalexpr(x, 1, ph.p[i]);
        alpha[i] = ph.alphaa[i] + ph.alphab[i] * t + ph.alphac[i] * p;
        s += alpha[i] * prop[i];
    }
    for (int i = 1; i <= n; ++i) phi[i] = alpha[i] * prop[i] / s;

    const Fixed1<real, maxsf> sf = sitefractions(ph, x);
    // Site fractions with each variable that carries an sd shifted by the step.
    Fixed1<Fixed1<real, maxsf>, maxssvars> sfshift;
    for (int v = 1; v <= ph.nvar; ++v) {
        if (ph.var[v].guesssd <= 0) continue;
        eqvector xs = x;
        xs[v] += dxsd;
        sfshift[v] = sitefractions(ph, xs);
    }
    const real rt = rgas * t;
    for (int m = 1; m <= n; ++m) {
        if (ph.em[m].excluded) {
            r.a[m] = 0;
            r.sd[m] = 0;
            continue;
        }
        ++r.nactivityem;
        const real aid = idealactivity(ph, m, sf, false);
        real v2 = 0;
        for (int v = 1; v <= ph.nvar; ++v) {
            const real sdv = ph.var[v].guesssd;
            if (sdv <= 0) continue;
            const real aidshift = idealactivity(ph, m, sfshift[v], true);
            const real d = sdv * (aidshift - aid) / dxsd;
            v2 += d * d;
        }
        if (ph.model == axtype::ideal) {
            r.a[m] = aid;
            r.sd[m] = std::sqrt(v2);
            continue;
        }
        real g = 0;
        real u = 0;
        for (int w = 1; w <= ph.ngterm; ++w) {
            const gtermtype& gt = ph.gterm[w];
            const real qi = (m == gt.i ? 1 : 0) - phi[gt.i];
            const real qj = (m == gt.j ? 1 : 0) - phi[gt.j];
            const real f = 2 * alpha[m] * qi * qj / (alpha[gt.i] + alpha[gt.j]);
            const real wv = ph.wa[gt.term] + ph.wb[gt.term] * t + ph.wc[gt.term] * p;
            g -= f * wv;
            if (justrelu == controlboolean::no) {
                const real fs = f * ph.wsd[gt.term];
                u += fs * fs;
            }
        }
        r.a[m] = aid * std::exp(g / rt);
        r.sd[m] = r.a[m] * std::sqrt(v2 / (aid * aid) + u / (rt * rt));
    }
    return r;
}

AxPT extractem_activities(Session& ses, Run& run) {
    constexpr int32 mask = 9;  // screen and log
    const ScriptSettings& sc = run.script;
    Dataset& ds = run.dataset;
    AxPT pt;
    int16 k = 0;
    if (run.nss > 0) {
        putstr(ses, 0, "activities of end-members in solid solutions are calculated with", 1, mask);
        if (sc.ptforaxecb == controlboolean::no) {
            putstr(ses, 0, "input values of compositional variables", 1, mask);
            promptreal(ses, "P for a-x in kbar", pt.p);
            promptreal(ses,
                       "T for a-x in \xA1"
                       "C",
                       pt.t);
        } else {
            pt.p = sc.ptforaxep;
            pt.t = sc.ptforaxet;
            std::string s = "input values of compositional variables at PT: ";
            s += realfixstr(1, true, pt.p) + " kbar, " + realstr(pt.t) +
                 "\xA1"
                 "C (from script)";
            putstr(ses, 0, s, 1, mask);
        }
        pt.t += 273.15L;
    }
    prectype1& p1 = *run.arrays.prec1;
    for (int16 i = 1; i <= run.nss; ++i) {
        const ptype1& ph = p1[i];
        if (ph.hasorder) {
            // The equilibrium state of order at P-T is solved by the order-disorder code.
            bomb("findlegalq", "state of order of " + ph.name + " not built yet", myfault);
        }
        eqvector x;
        for (int v = 1; v <= ph.nvar; ++v) x[v] = ph.var[v].guess;
        const ActivitiesSd act = calcactivitysd(ph, x, pt.p, pt.t, sc.justrelucb);
        std::string head;
        addstr(ph.name, -6, head);
        addstr("      ", 0, head);
        bool anyorder = false;
        for (int v = 1; v <= ph.nvar; ++v) {
            if (!ph.var[v].isorder) continue;
            if (anyorder) addstr(", ", 0, head);
            anyorder = true;
            addstr(ph.var[v].name + " = ", 0, head);
            addreal(4, true, 0, head, ph.var[v].guess);
        }
        bool anyexcluded = false;
        for (int m = 1; m <= ph.nem; ++m) {
            if (!ph.em[m].excluded) continue;
            if (!anyexcluded) addstr(anyorder ? "; left out: " : "left out: ", 0, head);
            anyexcluded = true;
            addstr(ph.em[m].name + " ", 0, head);
        }
        putstr(ses, 1, head, 1, mask);
        for (int m = 1; m <= ph.nem; ++m) {
            if (ph.em[m].excluded) continue;
            real a = act.a[m];
            const real sd = act.sd[m];
            std::string s = "      ";
            addstr(ph.em[m].name, 7, s);
            addstr(": a = ", 0, s);
            addreal(4, true, 8, s, a);
            addstr(", sd(a) = ", 0, s);
            addreal(4, true, 8, s, sd);
            if (a <= 0) {
                bomb("extractem", "activity negative for " + ph.em[m].name + ", in " + ph.name,
                     yourfault);
            }
            if (a > 1) {
                addstr(" ## reset, was ", 0, s);
                addreal(4, true, 8, s, a);
                a = 0.999L;
            }
            putstr(ses, 0, s, 1, mask);
            ++k;
            ds.emact[k] = a;
            ds.emsda[k] = sd;
        }
    }
    const prectype0& p0 = *run.arrays.prec0;
    for (int16 j = 1; j <= run.npure; ++j) {
        ++k;
        ds.emact[k] = p0[j].activity;
        ds.emsda[k] = p0[j].activitysd;
    }
    return pt;
}

}  // namespace qv
