// The nominal duDA+ result line, and the Monte Carlo estimate of its uncertainty: the rock's xyz
// and the model's constants perturbed by draws from their covariances, each trial solved by the
// crossover search, the kept results turned into confidence intervals, and the last run's
// results written to the csv file.

#include <cmath>
#include <cstdio>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/dudaplus.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

constexpr const char* degree = "\xA1";
constexpr real lotsoffailsfraction = 0.15L;  // of the first 2000 trials of the first run

std::string dec(real x, int d) {
    return realfixstr(d, true, x);
}

std::string width3(int16 n) {
    std::string s;
    addgreal(3, s, n);
    return s;
}

// One trial: perturbed data, the search from the nominal result, its tally.
void mctrial(DudaState& d, bool firstrun) {
    const int16 n = d.n();
    const DudaSettings& set = d.in.set;
    ++d.ntried;
    if (d.ntried % 250 == 0) {
        d.ses.console.write("@");
        d.ses.console.flush();
    }
    // One standard normal vector per side keeps the correlations: x' = x + ufac L z.
    xyzvector zr{}, zq{};
    for (int i = 1; i <= n; ++i) zr[i] = d.gen.normal();
    for (int i = 1; i <= n; ++i) zq[i] = d.gen.normal();
    xyzvector xp = d.rockxyz, cp = d.polyconst;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= i; ++j) {
            xp[i] += d.rockchol[i][j] * d.ufac * zr[j];
            cp[i] += d.qvchol[i][j] * d.ufac * zq[j];
        }
    }
    if (firstrun) d.mccount = d.ntried;
    d.trialp = d.avtplus ? set.avptfixedp : d.pmid;
    d.trialt = d.avpplus ? set.avptfixedt : d.tmid;
    if (!firstrun && set.avptalgorithm == 4) {
        d.failcode = 0;
        d.converged = avptiterate(d, xp, cp, 0, d.trialp, d.trialt, d.trialsigfit, false);
    } else {
        d.converged = avptplusx(d, xp, cp, d.trialp, d.trialt, d.trialsigfit, d.failcode, false);
    }
    avptpluswindow(d);
    if (firstrun && d.ntried == 2000) {
        const int fails = d.nfail[1] + d.nfail[2] + d.nfail[3] + d.nfail[4];
        d.lotsoffails = static_cast<real>(fails) / 2000 >= lotsoffailsfraction;
    }
    if (d.converged) {
        ++d.ngood;
        (*d.mcp)[d.ngood] = d.trialp;
        (*d.mct)[d.ngood] = d.trialt;
    }
    if (d.failcode >= 1 && d.failcode <= 4) ++d.nfail[d.failcode];
}

void intervals(DudaState& d) {
    if (d.nmcresults == 0) {
        putstr(d.ses, 1, "no Monte Carlo results", 1, screensummarylogmask);
        return;
    }
    printavptci(d, true);
}

void writecsv(DudaState& d) {
    Session& ses = d.ses;
    if (ses.ch.files[dudacsvchannel].f == nullptr) return;
    ses.ch.used[dudacsvchannel] = true;
    for (int i = 1; i <= d.nmcresults; ++i) {
        std::string line;
        if (d.avpplus) {
            line = fixw(ufacunscalep(d, (*d.mcp)[i]), 10, 3);
        } else if (d.avtplus) {
            line = fixw(ufacunscalet(d, (*d.mct)[i]), 10, 3);
        } else {
            line = fixw(ufacunscalep(d, (*d.mcp)[i]), 10, 3) + ", " +
                   fixw(ufacunscalet(d, (*d.mct)[i]), 10, 2);
        }
        line += "\n";
        writefile(ses.ch.files[dudacsvchannel], line);
    }
    flushfile(ses, dudacsvchannel);
}

}  // namespace

void printavptplus(DudaState& d, bool ok) {
    Session& ses = d.ses;
    const DudaSettings& set = d.in.set;
    const int16 nqv = d.nqv();
    if (d.avpplus) {
        if (ok) {
            putstr(ses, 0,
                   "at T = " + dec(set.avptfixedt, 2) + degree + "C, with " + width3(nqv) +
                       (d.onet ? " P calcs, avp+ = " : " PT calcs, avp+ = ") + dec(d.pmid, 3) +
                       " kbar, sigfit = " + dec(d.sigfitnom, 3),
                   2, screensummarylogmask);
            return;
        }
        avptbruteforce(d, d.rockxyz, d.polyconst);
        bomb("avptplusdriver", "avP+ calculation did not converge", yourfault);
    }
    if (d.avtplus) {
        if (ok) {
            putstr(ses, 0,
                   "at P = " + dec(set.avptfixedp, 2) + " kbar, with " + width3(nqv) +
                       (d.onep ? " T calcs, avT+ = " : " PT calcs, avT+ = ") + dec(d.tmid, 2) +
                       degree + "C, sigfit = " + dec(d.sigfitnom, 3),
                   2, screensummarylogmask);
            return;
        }
        avptbruteforce(d, d.rockxyz, d.polyconst);
        bomb("avptplusdriver", "avT+ calculation did not converge", yourfault);
    }
    if (ok) {
        std::string line =
            "duDA+ = {" + dec(d.pmid, 3) + " kbar, " + dec(d.tmid, 2) + degree + "C}";
        if (set.avptxco2) {
            line += " with x(CO2) = " +
                    dec(polyvalue(d.fit, d.xco2coeffs, d.pexps, d.texps, d.pmid, d.tmid), 3);
        }
        line += ", sigfit = " + dec(d.sigfitnom, 3) + ", using " + width3(nqv) + " PT calcs";
        putstr(ses, 1, line, 2, screensummarylogmask);
        return;
    }
    putstr(ses, 0, " have you tried avP+ and/or avT+?", 0, screensummarylogmask);
    bomb("avptplusdriver", "duDA+ calculation did not converge", yourfault);
}

bool avptpluswindow(DudaState& d) {
    if (!d.converged || d.in.set.avptalgorithm == 4) return false;
    const Windows& w = d.in.win;
    const real p = d.trialp, t = d.trialt;
    const real plo = w.pwinlow, phi = w.pwinhigh;
    const real tlo = w.twinlow - 273.15L, thi = w.twinhigh - 273.15L;
    const bool pout = p < plo || p > phi;
    const bool tout = t < tlo - 0.001L || t > thi + 0.001L;
    const bool outside = d.avpplus ? pout : d.avtplus ? tout : pout || tout;
    if (!outside) return false;
    ++d.noutside;
    std::string line;
    if (d.avpplus) {
        line = fixw(p, 8, 3) + "(" + fixw(plo, 6, 2) + ", " + fixw(phi, 6, 2) + ")";
    } else if (d.avtplus) {
        line = fixw(t, 8, 2) + "(" + fixw(tlo, 6, 1) + ", " + fixw(thi, 6, 1) + ")";
    } else {
        line = spaces(40) + fixw(p, 8, 3) + ":" + fixw(plo, 6, 2) + " <==>" + fixw(phi, 6, 2) +
               "; " + fixw(t, 8, 2) + ":" + fixw(tlo, 6, 1) + " <==>" + fixw(thi, 6, 1) + "; " +
               realstr(d.mccount);
    }
    d.ses.console.write(line + "\n");
    return true;
}

void printmctally(DudaState& d, int16 tried, int16 good) {
    std::string line = "mc: good = " + realstr(good) + " (tried = " + realstr(tried);
    if (d.in.set.avptalgorithm == 2) {
        const bool duda = !d.avpplus && !d.avtplus;
        static const char* const dudalabels[] = {
            "; failed: too few data = ", ", no block bracket = ", ", delP same in ih = ",
            ", no collapse in ih = "};
        static const char* const avlabels[] = {
            "; failed: too few data = ", ", no crossover (+?) = ", ", no crossover (-?) = ",
            ", bad ih/data = "};
        for (int i = 1; i <= 4; ++i) {
            line += (duda ? dudalabels : avlabels)[i - 1] + realstr(d.nfail[i]);
        }
    } else {
        line += ", not converged = " + realstr(tried - good);
    }
    line += ")";
    putstr(d.ses, 1, line, 1, screensummarylogmask);
}

void dudamontecarlo(DudaState& d) {
    Session& ses = d.ses;
    const bool duda = !d.avpplus && !d.avtplus;
    d.gen.seed(qvseed);
    ses.console.write("\nprogress - monte carlo calcs: seed = " + std::to_string(qvseed) + "  ");
    d.nmcresults = narrow16(duda ? 2000 : 4000);
    d.ufac = 1;
    promptreal(ses, "ufac", d.ufac);

    d.mccount = d.noutside = d.wrongdeltcount = d.ntried = d.ngood = d.failcode = 0;
    d.nfail = Fixed1<int16, 4>{};
    d.lotsoffails = false;
    const int maxtrials = d.nmcresults * 5 / 2;
    do {
        mctrial(d, true);
    } while (d.ngood < d.nmcresults && !d.lotsoffails && d.ntried < maxtrials);
    const bool firstrunclean = d.nfail[1] + d.nfail[2] + d.nfail[3] + d.nfail[4] == 0;
    flushfiles(ses);
    if (d.noutside > 0) {
        ses.console.write(realstr(d.noutside) + "outside the P/T of the qv data - why?\n");
    }
    printmctally(d, d.ntried, d.ngood);
    if (static_cast<real>(d.wrongdeltcount) > 0.02L * d.mccount) {
        ses.console.write("\"wrong\" delt relations " + realstr(d.wrongdeltcount) + "\n");
    }
    d.nmcresults = d.ngood;
    intervals(d);
    if (d.lotsoffails) {
        putstr(ses, 0, "here just for reference: possibly untrustworthy", 1, screensummarylogmask);
        putstr(ses, 1, "lots of fails", 1, screensummarylogmask);
    } else {
        putstr(ses, 1, "looks like an ok result?", 2, screensummarylogmask);
    }

    real lastufac = 0;  // the factor of the last pass, set at the top of each
    for (int pass = 1;; ++pass) {
        lastufac = d.ufac;
        d.ufac = 0;
        putstr(ses, 1, "ufac = multiplier on input uncertainties; ", 1, screensummarylogmask);
        putstr(ses, 1, "try 0.1 or 0.2? (1 continues accumulating; 0 exits this loop)", 1,
               screensummarylogmask);
        promptreal(ses, "ufac to use", d.ufac);
        if (d.ufac == 0) break;
        if (!(d.ufac > 0 && d.ufac <= 1)) continue;
        ses.console.write("\nprogress - monte carlo calcs: ");
        d.nmcresults = 4000;
        if (!(pass == 1 && d.ufac == 1)) {
            d.ngood = d.noutside = 0;
            d.nfail = Fixed1<int16, 4>{};
        }
        d.ntried = d.failcode = 0;
        do {
            mctrial(d, false);
        } while (d.ngood < d.nmcresults && d.ntried <= d.nmcresults * 5 / 2);
        printmctally(d, d.ntried, d.ngood);
        putstr(ses, firstrunclean ? 1 : 0, "", 1, screensummarylogmask);
        d.nmcresults = d.ngood;
        intervals(d);
    }
    d.ufac = lastufac;
    writecsv(d);
}

}  // namespace qv
