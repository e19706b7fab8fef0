#include "rock/dudaplus.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/cholesky.hpp"
#include "numerics/sorting.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr const char* degree = "\xA1";

// The terms (a, b) of the polynomials: P and T, P alone, T alone.
constexpr int fullterms[13][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1}, {0, 2},
                                  {0, 3}, {0, 4}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};

void setterms(DudaState& d) {
    d.pexps = polyvector{};
    d.texps = polyvector{};
    if (d.onet || d.onep) {
        d.fit.npolyterms = 5;
        for (int i = 1; i <= 5; ++i) {
            (d.onet ? d.pexps : d.texps)[i] = static_cast<real>(i - 1);
        }
    } else {
        d.fit.npolyterms = 13;
        for (int i = 1; i <= 13; ++i) {
            d.pexps[i] = fullterms[i - 1][0];
            d.texps[i] = fullterms[i - 1][1];
        }
    }
}

// Least squares of rhs[k] = sum_i a[k][i] coef_i by SVD, singular values below 1e-14 of the
// largest dropped; the truncation index comes back in ell.
polyvector svdfit(DudaState& d, const std::vector<real>& rhs, int16& ell) {
    const int16 m = d.nqv();
    const int16 np = d.fit.npolyterms;
    SvdArrays& s = *d.svdwork;
    svd(d.ses.console, s, m, np);
    ell = np;
    for (int l = 1; l <= np - 1; ++l) {
        if (s.svdw[l] > 1e-14L * s.svdw[np]) {
            ell = narrow16(l);
            break;
        }
    }
    polyvector coef{};
    for (int l = ell; l <= np; ++l) {
        real ub = 0;
        for (int k = 1; k <= m; ++k) ub += s.svda[k][l] * rhs[static_cast<std::size_t>(k)];
        for (int i = 1; i <= np; ++i) coef[i] += s.svdv[i][l] * ub / s.svdw[l];
    }
    return coef;
}

}  // namespace

std::string fixw(real x, int width, int decimals) {
    std::string line;
    addreal(decimals, true, width, line, x);
    return line;
}

void dudachecks(DudaState& d) {
    Console& con = d.ses.console;
    DudaSettings& set = d.in.set;
    if (d.nqv() < 6) {
        con.write("\npseudosection field is too small or not there, starting guess \n");
        con.write("problems, or calcT and/or calcP and/or diagramPT inappropriately set");
        bomb("avptplus driver", "too few calcs, nqv = " + realstr(d.nqv()), yourfault);
    }
    // The scale of delT and the centre of the polynomials need a positive P and T/P >= 1.
    if (!(set.avptpguess > 0) || std::nearbyint(set.avpttguess / set.avptpguess) < 1) {
        bomb("avptplusdriver", "PTguess inappropriate for duDA+", yourfault);
    }
    if (set.avptxco2) withxco2preprocess(d);
    const int16 nqv = d.nqv();
    d.onet = nqv >= 1;
    for (int k = 2; k <= nqv; ++k) {
        if (!(std::fabs(d.calc(k).t - d.calc(1).t) < 0.0001L)) {
            d.onet = false;
            break;
        }
    }
    d.onep = nqv >= 1;
    for (int k = 2; k <= nqv; ++k) {
        if (!(std::fabs(d.calc(k).p - d.calc(1).p) < 0.0001L)) {
            d.onep = false;
            break;
        }
    }
    if (d.onep && d.onet) bomb("avptplusdriver", "onep/onet mess", yourfault);
    setterms(d);
    if (set.avptcalc == 1 && (d.onep || d.onet)) {
        bomb("avptplusdriver", "cannot do duDA+ with calcs at just one P or T", yourfault);
    }
    d.avpplus = d.onet || (!d.onep && set.avptcalc == 2);
    d.avtplus = d.onep || (!d.onet && set.avptcalc == 3);
    d.pmin = 200;
    d.pmax = 0;
    d.tmin = 2000;
    d.tmax = 0;
    for (int k = 1; k <= nqv; ++k) {
        if (!d.avtplus) {
            d.pmin = std::min(d.pmin, d.calc(k).p);
            d.pmax = std::max(d.pmax, d.calc(k).p);
        }
        if (!d.avpplus) {
            d.tmin = std::min(d.tmin, d.calc(k).t);
            d.tmax = std::max(d.tmax, d.calc(k).t);
        }
    }
    if (nqv < 4) bomb("duda+ driver", "nqv too small", yourfault);
    for (int j = 1; j <= d.n(); ++j) {
        d.constflags[j] = true;
        for (int k = 2; k <= nqv; ++k) {
            if (std::fabs(d.calc(k).xyz[j] - d.calc(1).xyz[j]) > 0.00001L) d.constflags[j] = false;
        }
    }
}

void dudafit(DudaState& d) {
    Session& ses = d.ses;
    const int16 nqv = d.nqv();
    const int16 np = d.fit.npolyterms;
    d.fit.polyp0 = d.in.set.avptpguess;
    d.fit.polyt0 = d.in.set.avpttguess;
    std::vector<real> rhs(static_cast<std::size_t>(nqv) + 1);
    for (int j = 1; j <= d.n(); ++j) {
        polyvector& row = d.polycoeffs[j];
        row = polyvector{};
        if (d.constflags[j]) {
            row[1] = d.calc(1).xyz[j];
            continue;
        }
        for (int k = 1; k <= nqv; ++k) {
            polyvector terms{};
            polyterms(d.fit, d.pexps, d.texps, terms, d.calc(k).p, d.calc(k).t);
            const real sd = d.calc(k).sdxyz[j];
            for (int i = 1; i <= np; ++i) d.svdwork->svda[k][i] = terms[i] / sd;
            rhs[static_cast<std::size_t>(k)] = d.calc(k).xyz[j] / sd;
        }
        int16 ell = 0;
        row = svdfit(d, rhs, ell);
        if (ell > 1) {
            ses.console.write("not full rank for " + d.in.calcs.calcxyznames[j] +
                              ": npoly = " + realstr(np) + ", ell = " + realstr(ell) + "\n");
        }
    }
    if (d.in.set.avptxco2) {
        for (int k = 1; k <= nqv; ++k) {
            polyvector terms{};
            polyterms(d.fit, d.pexps, d.texps, terms, d.calc(k).p, d.calc(k).t);
            for (int i = 1; i <= np; ++i) d.svdwork->svda[k][i] = terms[i];
            rhs[static_cast<std::size_t>(k)] = d.calc(k).xfluid;
        }
        int16 ell = 0;
        d.xco2coeffs = svdfit(d, rhs, ell);
    }
    if (d.in.set.avptinfo > 0) {
        putstr(ses, 1, "difference between qv xyz and its poly", 2, screensummarylogmask);
        std::string line;
        addstr("xyz", 10, line);
        addstr("med e*", 10, line);
        addstr("max e*", 10, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
        auto list = std::make_unique<sortvector>();
        for (int j = 1; j <= d.n(); ++j) {
            real emax = 0;
            for (int k = 1; k <= nqv; ++k) {
                const real f =
                    polyvalue(d.fit, d.polycoeffs[j], d.pexps, d.texps, d.calc(k).p, d.calc(k).t);
                const real e = std::fabs(f - d.calc(k).xyz[j]) / d.calc(k).sdxyz[j];
                (*list)[k] = e;
                emax = std::max(emax, e);
            }
            line.clear();
            addstr(d.in.calcs.calcxyznames[j], 10, line);
            addreal(4, false, 10, line, findmedian(*list, nqv));
            addreal(4, false, 10, line, emax);
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }
}

void whiten(DudaState& d, const covmatrix& cov, covmatrix& w, int16 n) {
    SvdArrays& s = *d.svdwork;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) s.svda[i][j] = cov[i][j];
    }
    svd(d.ses.console, s, n, n);
    // A zero (or negative round-off) singular value has no inverse square root.
    for (int l = 1; l <= n; ++l) {
        if (!(s.svdw[l] > 1e-14L * s.svdw[n])) {
            bomb("avptweights", "singular covariance of the xyz: cannot whiten the e* values",
                 yourfault);
        }
    }
    w = covmatrix{};
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            real sum = 0;
            for (int l = 1; l <= n; ++l) sum += s.svdv[i][l] * s.svda[j][l] / std::sqrt(s.svdw[l]);
            w[i][j] = sum;
        }
    }
}

void dudarock(DudaState& d) {
    const int16 n = d.n();
    for (int j = 1; j <= n; ++j) d.polyconst[j] = d.polycoeffs[j][1];
    int total = 0;
    for (int m = 1; m <= d.in.nmin; ++m) total += d.in.minerals[m].nxyz;
    if (total != n) bomb("avptplusdriver", "bung assembly of rockVxyz", yourfault);
    d.rockcov = covmatrix{};
    int o = 0;
    for (int m = 1; m <= d.in.nmin; ++m) {
        const mineraltype& min = d.in.minerals[m];
        for (int i = 1; i <= min.nxyz; ++i) {
            d.rockxyz[o + i] = min.xyz[i];
            for (int j = 1; j <= min.nxyz; ++j) {
                d.rockcov[o + i][o + j] = min.sdxyz[i] * min.cor[i][j] * min.sdxyz[j];
            }
        }
        o += min.nxyz;
    }
    for (int i = 1; i <= n; ++i) d.rocksd[i] = std::sqrt(std::max(real{0}, d.rockcov[i][i]));
    whiten(d, d.rockcov, d.rockwhiten, n);
}

void dudanominal(DudaState& d) {
    Session& ses = d.ses;
    const DudaSettings& set = d.in.set;
    putstr(ses, 1, std::string(32, '_'), 1, screensummarylogmask);
    putstr(ses, 0, "duDA+ calculations in QUORVANTIS", 1, screensummarylogmask);
    std::string line = d.avpplus ? "avP+ for " : d.avtplus ? "avT+ for " : "duDA+ for ";
    line += set.avptrockname + " with the assemblage ";
    for (const std::string& name : d.in.phasenames) line += name + " ";
    putstr(ses, 1, line, 1, screensummarylogmask);
    d.mccount = 0;
    d.pmid = set.avptpguess;
    d.tmid = set.avpttguess;
    int16 failcode = 0;
    if (d.avpplus) {
        real t = set.avptfixedt;
        d.converged = avptplusx(d, d.rockxyz, d.polyconst, d.pmid, t, d.sigfitnom, failcode, true);
    } else if (d.avtplus) {
        real p = set.avptfixedp;
        d.converged = avptplusx(d, d.rockxyz, d.polyconst, p, d.tmid, d.sigfitnom, failcode, true);
    } else {
        d.converged =
            avptplusx(d, d.rockxyz, d.polyconst, d.pmid, d.tmid, d.sigfitnom, failcode, true);
    }
    d.in.nominal = DudaNominal{d.converged, d.pmid, d.tmid, d.sigfitnom};
    printavptplus(d, d.converged);
    avptdiagnostics(d);
    inverse(ses.console, d.rockcov, d.rockchol, d.n());
    inverse(ses.console, d.qvcov, d.qvchol, d.n());
}

void avptplusdriver(Session& ses, DudaInputs& in) {
    auto d = std::make_unique<DudaState>(ses, in);
    dudachecks(*d);
    dudafit(*d);
    dudarock(*d);
    if (in.set.avptalgorithm == 4) {
        mediancov(*d);
        whiten(*d, d->qvcov, d->qvwhiten, d->n());
    }
    if (in.set.avptalgorithm == 1) {
        avptbruteforce(*d, d->rockxyz, d->polyconst);
        endrun();
    }
    dudanominal(*d);
    dudamontecarlo(*d);
}

}  // namespace qv
