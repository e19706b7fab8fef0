#include "rock/avlsq.hpp"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real tzero = 273.15L;  // K at 0 degrees C
// A singular value below this fraction of the largest carries no information: rounding alone.
constexpr real svdcutoff = 1e-14L;
// Doubling the uncertainty of one datum tests how much the fit leans on it.
constexpr real doubling = 2;

bool diagnosticsvalue(const RockCalc& rc, real xfix) {
    const Windows& w = rc.win;
    if (rc.set.avcalctype == avtype::avpmode) {
        return std::fabs(xfix - w.tvalues[w.ntvalues / 2 + 1]) < 1;
    }
    return std::fabs(xfix - w.pvalues[w.npvalues / 2 + 1]) < 0.01L;
}

}  // namespace

void checkavreactions(std::string_view procname, int16 nreac) {
    if (nreac > maxavreac) bomb(procname, "too many reactions" + maxtext(maxavreac), yourfault);
}

real sigfitlimit(int f) {
    static constexpr real limits[] = {1.96L, 1.73L, 1.61L, 1.54L, 1.49L,
                                      1.45L, 1.42L, 1.39L, 1.37L, 1.35L};
    if (f < 1 || f > 10) return 1.34L;
    return limits[f - 1];
}

real sqrtclamped(real x) {
    return x > 0 ? std::sqrt(x) : 0;
}

void calcreactioncov(const RockData& d, bool justrelu, covmatrix& covh, covmatrix& covlnk) {
    checkavreactions("calcreactioncov", d.nreac);
    for (int16 i = 1; i <= d.nreac; ++i) {
        for (int16 j = 1; j <= i; ++j) {
            real h = 0;
            real k = 0;
            for (int16 p = 1; p <= d.nem; ++p) {
                const int16 rip = d.r[i][p];
                if (rip == 0 && d.r[j][p] == 0) continue;
                k += static_cast<real>(rip) * d.r[j][p] * d.emvarlna[p];
                if (justrelu || rip == 0) continue;
                real s = 0;
                for (int16 q = 1; q <= d.nem; ++q) {
                    if (d.r[j][q] != 0) s += d.cov[p][q] * d.r[j][q];
                }
                h += rip * s;
            }
            if (justrelu) h = 0.001L;
            covh[i][j] = covh[j][i] = h;
            covlnk[i][j] = covlnk[j][i] = k;
        }
    }
}

void posdefinvert(const covmatrix& a, covmatrix& ainv, int16 n) {
    covmatrix l{};
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j < i; ++j) {
            real s = a[i][j];
            for (int16 k = 1; k < j; ++k) s -= l[j][k] * l[i][k];
            l[i][j] = s / l[j][j];
        }
        real d = a[i][i];
        for (int16 k = 1; k < i; ++k) d -= l[i][k] * l[i][k];
        if (d <= 0) bomb("posdefinvert", "sqrt negative", yourfault);
        l[i][i] = std::sqrt(d);
    }
    // m = l^-1 by forward substitution, lower triangular.
    covmatrix m{};
    for (int16 i = 1; i <= n; ++i) {
        m[i][i] = 1 / l[i][i];
        for (int16 j = 1; j < i; ++j) {
            real s = 0;
            for (int16 k = j; k < i; ++k) s += l[i][k] * m[k][j];
            m[i][j] = -s / l[i][i];
        }
    }
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= i; ++j) {
            real s = 0;
            for (int16 k = i; k <= n; ++k) s += m[k][i] * m[k][j];
            ainv[i][j] = ainv[j][i] = s;
        }
    }
}

int16 whiteneddesign(RockCalc& rc, const reacvector& wh, const reacvector& wlna,
                     Fixed1<int16, maxem>& used) {
    const RockData& d = rc.data;
    const int16 n = d.nreac;
    int16 m = 0;
    for (int16 k = 1; k <= d.nem; ++k) {
        for (int16 j = 1; j <= n; ++j) {
            if (d.r[j][k] != 0) {
                used[++m] = k;
                break;
            }
        }
    }
    // Symmetric square root of the enthalpy covariance of the used end-members.
    SvdArrays& s = rc.work;
    for (int16 p = 1; p <= m; ++p) {
        for (int16 q = 1; q <= m; ++q) s.svda[p][q] = d.cov[used[p]][used[q]];
    }
    svd(rc.ses.console, s, m, m);
    const auto mm = static_cast<std::size_t>(m);
    std::vector<real> croot(mm * mm);
    auto cr = [&](int16 p, int16 q) -> real& {
        return croot[static_cast<std::size_t>(p - 1) * mm + static_cast<std::size_t>(q - 1)];
    };
    for (int16 p = 1; p <= m; ++p) {
        for (int16 q = 1; q <= p; ++q) {
            real t = 0;
            for (int16 k = 1; k <= m; ++k) {
                t += sqrtclamped(s.svdw[k]) * s.svda[p][k] * s.svdv[q][k];
            }
            cr(p, q) = cr(q, p) = t;
        }
    }
    for (int16 sidx = 1; sidx <= m; ++sidx) {
        const int16 ks = used[sidx];
        for (int16 j = 1; j <= n; ++j) {
            real t = 0;
            for (int16 u = 1; u <= m; ++u) t += cr(sidx, u) * d.r[j][used[u]];
            s.svda[sidx][j] = wh[j] * t;
            s.svda[m + sidx][j] = wlna[j] * d.r[j][ks] * std::sqrt(d.emvarlna[ks]);
        }
    }
    svd(rc.ses.console, s, narrow16(2 * m), n);
    return m;
}

void avlsqwhitened(RockCalc& rc, const reacvector& x, const reacvector& wh, const reacvector& wk,
                   AvWhitened& f) {
    const int16 n = rc.data.nreac;
    f.m = whiteneddesign(rc, wh, wk, f.used);
    const int16 m = f.m;
    const SvdArrays& s = rc.work;
    const auto m2 = narrow16(2 * m);
    const real wmax = s.svdw[n];
    for (int16 q = 1; q <= m2; ++q) {
        real aq = 0;
        real bq = 0;
        real hq = 0;
        for (int16 k = 1; k <= n; ++k) {
            if (!(s.svdw[k] > svdcutoff * wmax)) continue;
            hq += s.svda[q][k] * s.svda[q][k];
            for (int16 j = 1; j <= n; ++j) {
                const real xp = s.svdv[j][k] * s.svda[q][k] / s.svdw[k];
                aq += xp;
                bq += xp * x[j];
            }
        }
        f.a[q] = aq;
        f.estar[q] = bq;  // b for now
        f.h[q] = hq;
    }
    real sab = 0;
    real saa = 0;
    real sbb = 0;
    for (int16 q = 1; q <= m2; ++q) {
        sab += f.a[q] * f.estar[q];
        saa += f.a[q] * f.a[q];
        sbb += f.estar[q] * f.estar[q];
    }
    f.saa = saa;
    f.av = saa > 0 ? sab / saa : 0;
    f.rss = sbb - f.av * sab;
    f.sigfit = sqrtclamped(f.rss / (n - 1));
    f.sd = saa > 0 ? 1 / std::sqrt(saa) : 0;
    if (f.sigfit > 1) f.sd *= f.sigfit;
    for (int16 q = 1; q <= m2; ++q) {
        f.g[q] = saa > 0 ? f.a[q] / saa : 0;
        f.hat[q] = f.a[q] * f.g[q];
        f.estar[q] = f.a[q] * f.av - f.estar[q];
    }
}

AvDoubled avdoubled(const AvWhitened& f, int16 s, int16 nreac) {
    const auto q = narrow16(f.m + s);
    const real e = f.estar[q];
    const real gg = 1 / ((f.hat[q] - f.h[q]) + 1 / (1 - doubling * doubling));
    AvDoubled r;
    r.av = f.av - f.g[q] * e * gg;
    r.sigfit = sqrtclamped((f.rss + gg * e * e) / (nreac - 1));
    r.sd = f.saa > 0 ? sqrtclamped(1 / f.saa - gg * f.g[q] * f.g[q]) : 0;
    if (f.sigfit > 1) r.sd *= r.sigfit;
    return r;
}

void printavdiagnostics(RockCalc& rc, const AvWhitened& f, real xfix) {
    Session& ses = rc.ses;
    const RockData& d = rc.data;
    const bool avp = rc.set.avcalctype == avtype::avpmode;
    const int dec = avp ? 2 : 1;
    const real shift = avp ? 0 : tzero;
    const int16 n = d.nreac;
    std::string line;
    if (avp) {
        line = "average P at T = " + realstr(xfix - tzero) +
               "\xA1"
               "C ";
    } else {
        line = "average T at P = ";
        addreal(1, true, 0, line, xfix);
        line += " kbar";
    }
    putstr(ses, 1, line, 1, screensummarylogmask);
    line.clear();
    addstr("  ", 0, line);
    addstr(avp ? "avP" : "avT", 8, line);
    addstr("sd", 8, line);
    addstr("sigfit", 8, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line = "  ";
    addreal(dec, true, 8, line, f.av - shift);
    addreal(dec, true, 8, line, f.sd);
    addreal(3, true, 8, line, f.sigfit);
    putstr(ses, 0, line, 2, screensummarylogmask);
    line = "for 95% confidence, fit (= sd(fit) = sqrt(MSWD)) < ";
    addreal(2, true, 0, line, sigfitlimit(n - 1));
    line += " (but larger may be OK)";
    putstr(ses, 0, line, 2, screensummarylogmask);
    putstr(ses, 0, "column:", 1, screensummarylogmask);
    putstr(ses, 0, "1-3: result of doubling the uncertainty on ln a.", 1, screensummarylogmask);
    putstr(ses, 0, "4-5: e* and hat for ln(activity) of end-members", 1, screensummarylogmask);
    putstr(ses, 0, "6-7: observed and calculated activities of endmembers.", 1,
           screensummarylogmask);
    putstr(ses, 0, "8-9: e* and hat for enthalpies of end-members", 1, screensummarylogmask);
    line.clear();
    addstr("", 8, line);
    addstr(avp ? "P" : "T", 8, line);
    addstr("sd", 8, line);
    addstr("sigfit", 9, line);
    addstr("e*", 9, line);
    addstr("hat", 9, line);
    addstr("a(obs)", 10, line);
    addstr("a(calc)", 10, line);
    addstr("e*", 9, line);
    addstr("hat", 9, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    for (int16 sidx = 1; sidx <= f.m; ++sidx) {
        const int16 k = f.used[sidx];
        const real e = f.estar[f.m + sidx];
        const AvDoubled dbl = avdoubled(f, sidx, n);
        line.clear();
        addstr(d.emnames[k], 8, line);
        addreal(dec, true, 8, line, dbl.av - shift);
        addreal(dec, true, 8, line, dbl.sd);
        addreal(3, true, 9, line, dbl.sigfit);
        addreal(3, true, 9, line, e);
        addreal(3, true, 9, line, f.hat[f.m + sidx]);
        addreal(3, true, 10, line, d.activity[k]);
        addreal(3, true, 10, line,
                std::exp(std::log(d.activity[k]) + std::sqrt(d.emvarlna[k]) * e));
        addreal(3, true, 9, line, f.estar[sidx]);
        addreal(3, true, 9, line, f.hat[sidx]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    line = "|e*| >2.5 suspect?  hat >";
    addreal(2, true, 0, line, static_cast<real>(n) / f.m);
    line += " influential?";
    putstr(ses, 1, line, 1, screensummarylogmask);
}

AvResult avportlsq(RockCalc& rc, bool quiet, real xfix, real u, real v) {
    const RockData& d = rc.data;
    const bool avp = rc.set.avcalctype == avtype::avpmode;
    const int16 n = d.nreac;
    checkavreactions("avportlsq", n);
    const findtype kind = avp ? findtype::findp : findtype::findt;
    reacvector x1{};
    reacvector x2{};
    reacvector d1{};
    reacvector d2{};
    Fixed1<bool, maxreac> single{};
    for (int16 i = 1; i <= n; ++i) {
        const Roots rt = avp ? rc.rx.findrxnp(i, xfix, u, v) : rc.rx.findrxnt(i, xfix, u, v);
        if (!inrange(rc.win, kind, rt.x1)) return AvResult{};
        x1[i] = rt.x1;
        x2[i] = rt.x2;
        d1[i] = avp ? rt.dgdp1 : rt.dgdt1;
        d2[i] = avp ? rt.dgdp2 : rt.dgdt2;
        single[i] = !inrange(rc.win, kind, rt.x2);
    }
    const real tr = avp ? xfix : x1[n];
    rc.rx.setlnavar();
    int16 nsingle = 0;
    real sumsingle = 0;
    for (int16 i = 1; i <= n; ++i) {
        if (!single[i]) continue;
        ++nsingle;
        sumsingle += x1[i];
    }
    real ref = avp ? rc.set.pcur : rc.set.tcur;
    if (nsingle > 0 && nsingle < n) ref = sumsingle / nsingle;
    reacvector wh{};
    reacvector wk{};
    for (int16 i = 1; i <= n; ++i) {
        if (!single[i] && std::fabs(x2[i] - ref) < std::fabs(x1[i] - ref)) {
            x1[i] = x2[i];
            d1[i] = d2[i];
        }
        wh[i] = -1 / d1[i];
        wk[i] = wh[i] * rgas * tr;
    }
    covmatrix covh{};
    covmatrix covlnk{};
    calcreactioncov(d, rc.set.justrelu, covh, covlnk);
    if (!quiet && diagnosticsvalue(rc, xfix)) {
        auto f = std::make_unique<AvWhitened>();
        avlsqwhitened(rc, x1, wh, wk, *f);
        printavdiagnostics(rc, *f, xfix);
        return AvResult{f->av, f->sd, f->sigfit};
    }
    covmatrix vm{};
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) {
            const real h = rc.set.justrelu ? 0 : wh[i] * covh[i][j] * wh[j];
            vm[i][j] = h + wk[i] * covlnk[i][j] * wk[j];
        }
    }
    covmatrix w{};
    posdefinvert(vm, w, n);
    real s1 = 0;
    real s2 = 0;
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) {
            s1 += w[j][i] * x1[i];
            s2 += w[i][j];
        }
    }
    AvResult res;
    res.av = s1 / s2;
    real q = 0;
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) q += w[i][j] * (x1[j] - res.av) * (x1[i] - res.av);
    }
    q /= n - 1;
    if (q < 0 || s2 <= 0) {
        res.sd = 0;
        res.sigfit = 0;
        return res;
    }
    res.sigfit = std::sqrt(q);
    res.sd = 1 / std::sqrt(s2);
    if (res.sigfit > 1) res.sd *= res.sigfit;
    return res;
}

}  // namespace qv
