#include "rock/avpt.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/avlsq.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real tzero = 273.15L;  // K at 0 degrees C
constexpr int16 maxptsteps = 10;
constexpr real ttolerance = 0.1L;   // K
constexpr real ptolerance = 0.01L;  // kbar
constexpr real svdcutoff = 1e-14L;  // relative size of a singular value taken as zero
constexpr real doubling = 2;        // the uncertainty of one ln a datum doubled

// The lines P = y + sT of the reactions, their adjusted copies and the fit's sums.
struct PtLines {
    reacvector y{};
    reacvector s{};
    reacvector ya{};  // adjusted
    reacvector sa{};
    reacvector wh{};  // shift of P per kJ of reaction enthalpy
    reacvector wk{};  // shift of P per unit of ln K, per K
    reacvector e{};   // residuals of the lines at the estimate, kbar
    covmatrix covh{};
    covmatrix covlnk{};
    covmatrix w{};
    real sw = 0;
    real sss = 0;
    real ss = 0;
};

// Diagnostics: the whitened form of the two-parameter fit, one row per used end-member.
void ptdiagnostics(RockCalc& rc, const PtLines& ln, const AvPtResult& res, real f) {
    const RockData& d = rc.data;
    const int16 n = d.nreac;
    // wK is per unit of ln K per K: at the fit's T it shifts P per unit of ln a.
    reacvector wlna{};
    for (int16 j = 1; j <= n; ++j) wlna[j] = ln.wk[j] * res.t;
    Fixed1<int16, maxem> used{};
    const int16 m = whiteneddesign(rc, ln.wh, wlna, used);
    SvdArrays& sv = rc.work;
    const auto m2 = narrow16(2 * m);
    // Per datum: leverage in the design, the whitened intercept and slope columns, and the
    // whitened residual (model minus data).
    const auto nd = static_cast<std::size_t>(m2) + 1;
    std::vector<real> h(nd);
    std::vector<real> ca(nd);
    std::vector<real> cs(nd);
    std::vector<real> es(nd);
    const real wmax = sv.svdw[n];
    for (int16 q = 1; q <= m2; ++q) {
        const auto iq = static_cast<std::size_t>(q);
        for (int16 k = 1; k <= n; ++k) {
            if (!(sv.svdw[k] > svdcutoff * wmax)) continue;
            h[iq] += sv.svda[q][k] * sv.svda[q][k];
            for (int16 j = 1; j <= n; ++j) {
                const real xp = sv.svdv[j][k] * sv.svda[q][k] / sv.svdw[k];
                ca[iq] -= xp;
                cs[iq] += xp * ln.sa[j];
                es[iq] -= xp * ln.e[j];
            }
        }
    }
    real rss = 0;
    for (int16 q = 1; q <= m2; ++q)
        rss += es[static_cast<std::size_t>(q)] * es[static_cast<std::size_t>(q)];
    // The 2m x 2 fit of (P, T): its leverages and the gains of P and T on each datum.
    for (int16 q = 1; q <= m2; ++q) {
        sv.svda[q][1] = ca[static_cast<std::size_t>(q)];
        sv.svda[q][2] = cs[static_cast<std::size_t>(q)];
    }
    svd(rc.ses.console, sv, m2, 2);
    std::vector<real> hat(nd);
    std::vector<real> gp(nd);
    std::vector<real> gt(nd);
    for (int16 q = 1; q <= m2; ++q) {
        const auto iq = static_cast<std::size_t>(q);
        for (int16 k = 1; k <= 2; ++k) {
            hat[iq] += sv.svda[q][k] * sv.svda[q][k];
            if (!(sv.svdw[k] > svdcutoff * sv.svdw[2])) continue;
            // The columns are the negated design, so the gains change sign.
            gp[iq] -= sv.svdv[1][k] * sv.svda[q][k] / sv.svdw[k];
            gt[iq] -= sv.svdv[2][k] * sv.svda[q][k] / sv.svdw[k];
        }
    }
    Session& ses = rc.ses;
    putstr(ses, 1, "Single end-member diagnostic information", 2, screensummarylogmask);
    putstr(ses, 0, "avP, avT, sd's, cor, fit are result of doubling the uncertainty on ln a : ", 1,
           screensummarylogmask);
    putstr(ses, 0, "a ln a suspect if any are v different from lsq values.", 1,
           screensummarylogmask);
    putstr(ses, 0, "e* are ln a residuals normalised to ln a uncertainties :", 1,
           screensummarylogmask);
    putstr(ses, 0, "large absolute values, say >2.5, point to suspect info. ", 1,
           screensummarylogmask);
    putstr(ses, 0, "hat are the diagonal elements of the hat matrix : ", 1, screensummarylogmask);
    std::string line = "large values, say >";
    addreal(2, true, 0, line, static_cast<real>(n) / m);
    line += ", point to influential data. ";
    putstr(ses, 0, line, 1, screensummarylogmask);
    line = "For 95% confidence, fit (= sd(fit)) < ";
    addreal(2, true, 0, line, sigfitlimit(n - 2));
    putstr(ses, 0, line, 1, screensummarylogmask);
    putstr(ses, 0, "however a larger value may be OK - look at the diagnostics!", 2,
           screensummarylogmask);
    line.clear();
    addstr("", 8, line);
    addstr("avP", 7, line);
    addstr("sd", 6, line);
    addstr("avT", 7, line);
    addstr("sd", 6, line);
    addstr("cor", 7, line);
    addstr("fit", 6, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line.clear();
    addstr("lsq", 8, line);
    addreal(1, true, 7, line, res.p);
    addreal(1, true, 6, line, res.sdp);
    addgreal(7, line, res.t - tzero);
    addgreal(6, line, res.sdt);
    addreal(3, true, 7, line, res.cor);
    addreal(2, true, 6, line, res.sigfit);
    putstr(ses, 0, line, 2, screensummarylogmask);
    line.clear();
    addstr("", 8, line);
    for (const char* head : {"P", "sd(P)", "T", "sd(T)", "cor", "fit", "e*"}) addstr(head, 7, line);
    addstr("hat", 6, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    const real inflate = 1 / (1 - doubling * doubling);
    const real covpt = res.sdt * res.cor * res.sdp / f;
    for (int16 s = 1; s <= m; ++s) {
        const auto q = static_cast<std::size_t>(m + s);
        const real e = es[q];
        const real g = 1 / ((hat[q] - h[q]) + inflate);
        const real pd = res.p - gp[q] * e * g;
        const real td = res.t - gt[q] * e * g;
        const real fitd = sqrtclamped((rss + g * e * e) / (n - 2));
        real sdpd = sqrtclamped(res.sdp * res.sdp / f - g * gp[q] * gp[q]);
        real sdtd = sqrtclamped(res.sdt * res.sdt / f - g * gt[q] * gt[q]);
        const real cord = sdpd > 0 && sdtd > 0 ? (covpt - gt[q] * gp[q] * g) / (sdpd * sdtd) : 0;
        if (fitd > 1) {
            sdpd *= fitd;
            sdtd *= fitd;
        }
        line.clear();
        addstr(d.emnames[used[s]], 8, line);
        addreal(2, true, 7, line, pd);
        addreal(2, true, 7, line, sdpd);
        addgreal(7, line, td - tzero);
        addgreal(7, line, sdtd);
        addreal(3, true, 7, line, cord);
        addreal(2, true, 7, line, fitd);
        addreal(2, true, 7, line, e);
        addreal(2, true, 6, line, hat[q]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace

AvPtResult avptlsq(RockCalc& rc, real u, real v) {
    const RockData& d = rc.data;
    const int16 n = d.nreac;
    checkavreactions("avptlsq", n);
    auto lnp = std::make_unique<PtLines>();
    PtLines& ln = *lnp;
    real p = rc.set.pcur;
    real t = rc.set.tcur;
    bool out = false;
    for (int16 k = 1; k <= maxptsteps; ++k) {
        if (k <= 2) {
            rc.rx.setlnavar();
            for (int16 i = 1; i <= n; ++i) {
                const ReactionDg g = rc.rx.calcdgr(i, p, t, u, v);
                ln.y[i] = -(g.dg - p * g.dgdp - t * g.dgdt) / g.dgdp;
                ln.s[i] = -g.dgdt / g.dgdp;
                ln.ya[i] = ln.y[i];
                ln.sa[i] = ln.s[i];
                ln.wh[i] = -1 / g.dgdp;
                ln.wk[i] = rgas * ln.wh[i];
            }
            calcreactioncov(d, rc.set.justrelu, ln.covh, ln.covlnk);
        }
        covmatrix vm{};
        for (int16 i = 1; i <= n; ++i) {
            for (int16 j = 1; j <= n; ++j) {
                const real h = rc.set.justrelu ? 0 : ln.wh[i] * ln.covh[i][j] * ln.wh[j];
                vm[i][j] = h + ln.wk[i] * ln.covlnk[i][j] * ln.wk[j] * t * t;
            }
        }
        posdefinvert(vm, ln.w, n);
        for (int16 j = 1; j <= n; ++j) ln.e[j] = ln.s[j] * t + ln.y[j] - p;
        real sw = 0;
        real sss = 0;
        real ss = 0;
        real se = 0;
        real sse = 0;
        for (int16 i = 1; i <= n; ++i) {
            for (int16 j = 1; j <= n; ++j) {
                const real wij = ln.w[i][j];
                sw += wij;
                sss += ln.sa[i] * wij * ln.sa[j];
                ss -= wij * ln.sa[j];
                se += wij * ln.e[j];
                sse -= ln.e[j] * wij * ln.sa[i];
            }
        }
        ln.sw = sw;
        ln.sss = sss;
        ln.ss = ss;
        const real dt = (se / sw - sse / ss) / (ss / sw - sss / ss);
        const real dp = (se - ss * dt) / sw;
        reacvector ehat{};
        for (int16 j = 1; j <= n; ++j) ehat[j] = (p + dp) - (ln.ya[j] + ln.sa[j] * (t + dt));
        for (int16 i = 1; i <= n; ++i) {
            real dy = 0;
            real ds = 0;
            for (int16 j = 1; j <= n; ++j) {
                real we = 0;
                for (int16 l = 1; l <= n; ++l) we += ehat[l] * ln.w[j][l];
                dy += we * ln.wh[j] * ln.covh[j][i] * ln.wh[i];
                ds += we * ln.wk[j] * ln.covlnk[j][i] * t * ln.wk[i];
            }
            ln.ya[i] += dy;
            ln.sa[i] += ds;
        }
        t += dt;
        p += dp;
        out = !inrange(rc.win, findtype::findt, t) || !inrange(rc.win, findtype::findp, p);
        const bool converged = k >= 3 && std::fabs(dt) < ttolerance && std::fabs(dp) < ptolerance;
        if (converged || out) break;
    }
    AvPtResult res;
    if (out) return res;
    res.p = p;
    res.t = t;
    real q = 0;
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) q += ln.e[i] * ln.w[i][j] * ln.e[j];
    }
    res.sigfit = sqrtclamped(q / (n - 2));
    const real det = ln.sw * ln.sss - ln.ss * ln.ss;
    res.sdp = sqrtclamped(ln.sss / det);
    res.sdt = sqrtclamped(ln.sw / det);
    res.cor = -ln.ss / std::sqrt(ln.sw * ln.sss);
    real f = 1;
    if (res.sigfit > 1) {
        f = res.sigfit * res.sigfit;
        res.sdp *= res.sigfit;
        res.sdt *= res.sigfit;
    }
    ptdiagnostics(rc, ln, res, f);
    return res;
}

void averagept(RockCalc& rc) {
    Session& ses = rc.ses;
    // Two reactions give a P-T point but no degree of freedom for its uncertainty or fit.
    if (rc.data.nreac <= 2) {
        putstr(ses, 1, "** insufficient reactions for average PT calculations", 1,
               screensummarylogmask);
        return;
    }
    rc.rx.calcrxnlna();
    std::string line = "Average PT ";
    if (!rc.set.runtitle.empty()) line = "Average PT for " + rc.set.runtitle;
    line += rc.set.fluidtext;
    putstr(ses, 1, line, 1, screensummarylogmask);
    const AvPtResult r = avptlsq(rc, rc.set.xco2cur, rc.set.xh2ocur);
    if (r.p <= 0) {
        putstr(ses, 2, "Average PT outside window - use average P and/or T", 1,
               screensummarylogmask);
        return;
    }
    line = "T = " + realstr(r.t - tzero) +
           "\xA1"
           "C, sd = " +
           realstr(r.sdt) + ", ";
    putstr(ses, 2, line, 1, screensummarylogmask);
    line = "P = ";
    addreal(1, true, 0, line, r.p);
    line += " kbars, sd = ";
    addreal(1, true, 0, line, r.sdp);
    line += ", cor = ";
    addreal(3, true, 0, line, r.cor);
    line += ", sigfit = ";
    addreal(2, true, 0, line, r.sigfit);
    putstr(ses, 0, line, 1, screensummarylogmask);
}

}  // namespace qv
