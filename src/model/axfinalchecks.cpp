// The checks at the end of the a-x set-up: each variable's limits, starting guesses inside them
// and every end-member pure at its check point.

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axchoices.hpp"
#include "model/run.hpp"
#include "numerics/powers.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr real unsetlower = 11;          // lower limit of a variable with no range read
constexpr real unsetupper = -11;         // upper limit of a variable with no range read
constexpr real checktolerance = 0.001L;  // pure end-member activity and proportion
constexpr real sumtolerance = 1e-9L;     // the sum of the proportions, relative

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// Limits of every composition variable: the range read or guessed, narrowed by each site
// fraction that is linear in that one variable alone.
void variablelimits(Session& ses, ptype1& ph) {
    ph.allsfsimple = ph.nsf == 0;
    for (int s = 1; s <= maxsf; ++s) ph.sfsimple[s] = false;
    for (int v = 1; v <= ph.nvar; ++v) {
        xvartype& x = ph.var[v];
        x.lowerkind = acctype::xaccessible;
        x.upperkind = acctype::xaccessible;
        x.flag = false;
        x.int3 = 0;
    }
    for (int v = 1; v <= ph.nvar; ++v) {
        xvartype& x = ph.var[v];
        for (int s = 1; s <= ph.nsf; ++s) {
            const termtype& e = ph.sf[s];
            if (e.nsxterms != 1) continue;
            const sxtermtype& t = e.sxterm[1];
            for (int j = 1; j <= t.nxterms; ++j) {
                const xtermtype& f = t.xterm[j];
                if (f.nx != 1 || f.idx[1] != v) continue;
                ph.sfsimple[s] = true;
                if (f.constnum == 0) {
                    if (x.lower < 0) {
                        x.lower = 0;
                        x.lowerkind = acctype::inaccessible;
                    }
                    continue;
                }
                // The site fraction is 0 where cn/cd + (mn/md) x = 0.
                const real r = -static_cast<real>(int32{f.constnum} * f.den[1]) /
                               static_cast<real>(int32{f.constden} * f.num[1]);
                if (f.num[1] > 0) {
                    if (r >= x.lower) {
                        x.lower = r;
                        x.lowerkind = acctype::inaccessible;
                    }
                } else if (r <= x.upper) {
                    x.upper = r;
                    x.upperkind = acctype::inaccessible;
                }
            }
        }
        if (x.lower == unsetlower) x.lower = 0;
        if (x.upper == unsetupper) x.upper = 1;
        if (x.upper <= x.lower) bomb("read", "lower limit > upper limit in xyz range", yourfault);
        x.scale = 1 / (x.upper - x.lower);
        x.offset = -x.lower * x.scale;
        x.step = 0.0001L / (x.upper - x.lower);
    }
    ph.real1 = 0.6666667L;
    ph.real2 = 0.1666667L;
    ph.nvarlim = 0;
    bool all = true;
    for (int s = 1; s <= ph.nsf; ++s) {
        const termtype& e = ph.sf[s];
        if (e.nsxterms != 1) {
            all = false;
            continue;
        }
        ph.sfsimple[s] = true;
        for (int j = 1; j <= e.sxterm[1].nxterms; ++j) {
            setvarlim(ses, e, 1, j, ph.nem, ph.varlim1, ph.varlim2, ph.nvarlim);
        }
    }
    if (all) ph.allsfsimple = true;
}

void guessesinlimits(const ptype1& ph) {
    for (int v = 1; v <= ph.nvar; ++v) {
        const xvartype& x = ph.var[v];
        if (x.isorder) continue;
        const bool toosmall =
            x.lowerkind == acctype::inaccessible ? !(x.guess > x.lower) : !(x.guess >= x.lower);
        if (toosmall) bomb("setupphases", "guess too small for " + x.name, yourfault);
        const bool toolarge =
            x.upperkind == acctype::inaccessible ? !(x.guess < x.upper) : !(x.guess <= x.upper);
        if (toolarge) bomb("setupphases", "guess too large for " + x.name, yourfault);
    }
}

real scriptmodeguess(const ScriptSettings& sc, const std::string& name) {
    for (int i = 1; i <= sc.nmodeguess; ++i) {
        const ModeGuess& g = sc.tables->modeguess[i];
        if (g.name == name && g.value > 0) return g.value;
    }
    return -1;
}

// Values of the phase's variables where end-member j is pure.
eqvector checkpoint(const ptype1& ph, int j) {
    eqvector values;
    const ssemtype& em = ph.em[j];
    for (int v = 1; v <= ph.nvar; ++v) {
        values[v] = static_cast<real>(em.checkcoef[v]) / static_cast<real>(em.checkden);
    }
    return values;
}

// Every end-member with a check point must be pure there: ideal-mixing activity 1 and its own
// proportion 1.
void purechecks(Session& ses, Run& run) {
    prectype1& ss = *run.arrays.prec1;
    std::string idealline;
    std::string pline;
    for (int k = 1; k <= run.nss; ++k) {
        const ptype1& ph = ss[k];
        for (int j = 1; j <= ph.nem; ++j) {
            const ssemtype& em = ph.em[j];
            if (em.ntmf < 1 || em.checkden == 0) continue;
            const eqvector values = checkpoint(ph, j);
            real a = em.tmfconst;
            for (int f = 1; f <= em.ntmf; ++f) {
                const tmftermtype& m = em.tmf[f];
                const real y = evalexpr(values, 1, ph.sf[m.sf]);
                if (m.pnum == 1 && m.pden == 1) {
                    a *= y;
                    continue;
                }
                if (y <= 0) {
                    bomb("setupphases",
                         "ideal mixing term = 0 for " + em.name + " in " + ph.name +
                             " (check coding wrong?)",
                         yourfault);
                }
                a *= rationalpower(m.pnum, m.pden, y);
            }
            if (std::fabs(a - 1) > checktolerance) {
                idealline += idealline.empty() ? "inconsistent ideal mixing activities: " : ", ";
                idealline += em.name + " in " + ph.name + " = " + realfixstr(4, true, a);
            }
            const real p = evalexpr(values, 1, ph.p[j]);
            if (std::fabs(p - 1) > checktolerance) {
                pline += pline.empty() ? "inconsistent p coding: " : ", ";
                pline += em.name + " = " + realfixstr(3, true, p);
            }
        }
    }
    if (!idealline.empty()) {
        putstr(ses, 2, idealline, 1, screensummarylogmask);
        bomb("setupphases",
             " ideal mixing terms not equal to 1 for pure end-members (also look at check "
             "coding)",
             yourfault);
    }
    if (!pline.empty()) {
        putstr(ses, 2, pline, 1, screensummarylogmask);
        bomb("setupphases",
             "proportions not equal to 1 for pure end-members (also look at check coding)",
             yourfault);
    }
}

// The end-member proportions of a phase add to 1 at every composition: a fault of the model
// (a constant 0 in place of 1) shows at any point, so they are summed at the starting guesses,
// within the rounding of the sum.
void proportionsum(const Run& run, const ptype1& ph) {
    eqvector x;
    for (int v = 1; v <= ph.nvar; ++v) x[v] = ph.var[v].guess;
    real sum = 0;
    real size = 0;
    for (int i = 1; i <= ph.nem; ++i) {
        const real p = evalexpr(x, 1, ph.p[i]);
        sum += p;
        size += std::fabs(p);
    }
    checkinput(std::fabs(sum - 1) <= sumtolerance * (1 + size), "setupphases",
               "sum of the end-member proportions of " + ph.name + " at its starting guesses", sum,
               "must be 1", run.ax.filename);
}

}  // namespace

void finalaxchecks(Session& ses, Run& run) {
    prectype1& ss = *run.arrays.prec1;
    prectype0& pure = *run.arrays.prec0;
    ScriptSettings& sc = run.script;
    for (int k = 1; k <= run.nss; ++k) variablelimits(ses, ss[k]);

    if (!yes(sc.batchcb)) {
        auto inwith = [&](const std::string& name) {
            for (int i = 1; i <= sc.nwithphases; ++i) {
                if (sc.withlist[i] == name) return true;
            }
            return false;
        };
        for (int k = 1; k <= run.nss; ++k) {
            ptype1& ph = ss[k];
            if (!inwith(ph.name)) continue;
            guessesinlimits(ph);
            ph.modeguess = scriptmodeguess(sc, ph.name);
        }
        if (run.setup.clearcolours) {
            for (int k = 1; k <= run.nss; ++k) ss[k].coloured = false;
            for (int k = 1; k <= run.npure; ++k) pure[k].coloured = false;
        }
    }
    purechecks(ses, run);
    for (int k = 1; k <= run.nss; ++k) proportionsum(run, ss[k]);
}

}  // namespace qv
