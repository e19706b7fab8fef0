// The duDA+ crossover search. For every calc k the least-squares P-T of the rock from calc k's
// covariance gives delP = P_k - avP and delT = (T_k - avT) / tscale; both change sign across the
// calcs, and the search brackets the zero and closes the bracket by interval halving: over the
// calcs for avP+ and avT+, over the blocks of calcs at one P for duDA+ (with the zero of delT
// inside each block found by `calcdelp`). The brute-force scan tabulates every calc's solution.

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/dudaplus.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr const char* degree = "\xA1";
constexpr int maxhalvings = 20;
constexpr real collapsestep = 0.025L;  // two solutions of one calc closer than this are one
constexpr real notsolved = 1000000;    // delP, delT of a calc the brute-force scan could not solve

bool signchange(real u, real v) {
    return (u >= 0 && v <= 0) || (u <= 0 && v >= 0);
}

// The state of one crossover search.
struct Search {
    DudaState& d;
    const xyzvector& x;
    const xyzvector& c;
    bool print;
    int16& failcode;
    real& sigfit;         // the search's result: the fit of the last solution that sets it
    bool indelp = false;  // inside `calcdelp`, whose every solution sets `sigfit`

    calcreals& delp = *d.delp;
    calcreals& delt = *d.delt;
    calcreals& sigfits = *d.sigfits;
    const DudaSettings& set = d.in.set;

    real cp(int k) const { return d.calc(k).p; }
    real ct(int k) const { return d.calc(k).t; }
    real avp(int k) const { return cp(k) - delp[k]; }
    real avt(int k) const { return ct(k) - delt[k] * d.tscale; }

    // A solution of calc k from (p, t), left in (p, t); its sigfit in sf.
    bool solve(int k, real& p, real& t, real& sf) {
        const bool ok = avptiterate(d, x, c, narrow16(k), p, t, sf, false);
        if (indelp) sigfit = sf;
        return ok;
    }
    // Solves calc k from (p, t) and stores its delP, delT and sigfit; the solution in (p, t).
    bool solvestore(int k, real& p, real& t) {
        real sf = 0;
        if (!solve(k, p, t, sf)) return false;
        delp[k] = cp(k) - p;
        delt[k] = (ct(k) - t) / d.tscale;
        sigfits[k] = sf;
        return true;
    }

    // Stops the run with print on; otherwise the search fails.
    bool refuse(const std::string& procname, const std::string& message) {
        if (print) bomb(procname, message, yourfault);
        return false;
    }

    bool avptblock(int16 n, int16& lo, int16& hi);
    bool calcdelp(int16 lo, int16 hi, real& step, real& tout, real& delpout);
    bool bracket1(int16& a, int16& b, std::string& msg, bool ptype);
    bool bracketblocks(int16& a, int16& b, real& t1, real& dp1, real& t2, real& dp2,
                       std::string& msg);
    void blockrow(real p, real t, real dp);
};

bool Search::avptblock(int16 n, int16& lo, int16& hi) {
    int16 first = 0, last = 0;
    findblock(d, n, first, last);
    lo = 0;
    hi = 0;
    real plo = 0, tlo = 0, phi = 0, thi = 0, sflo = 0, sfhi = 0;
    for (int k = first; k <= last && lo == 0; ++k) {
        plo = set.avptpguess;
        tlo = set.avpttguess;
        if (solve(k, plo, tlo, sflo)) lo = narrow16(k);
    }
    if (lo == 0) return false;
    for (int k = last; k >= lo && hi == 0; --k) {
        phi = set.avptpguess;
        thi = set.avpttguess;
        if (solve(k, phi, thi, sfhi)) hi = narrow16(k);
    }
    if (hi == 0 || hi == lo) return false;
    delp[lo] = cp(lo) - plo;
    delt[lo] = (ct(lo) - tlo) / d.tscale;
    sigfits[lo] = sflo;
    delp[hi] = cp(hi) - phi;
    delt[hi] = (ct(hi) - thi) / d.tscale;
    sigfits[hi] = sfhi;
    if (delt[lo] < 0 && delt[hi] > 0) return true;
    if (delt[lo] >= 0 && delt[hi] <= 0) ++d.wrongdeltcount;
    return false;
}

// Inside one block at one P bracketed by lo and hi: the T at which delT is zero and delP there.
bool Search::calcdelp(int16 lo, int16 hi, real& step, real& tout, real& delpout) {
    calcreals& delp2 = *d.delp2;
    calcreals& delt2 = *d.delt2;
    calcreals& sigfits2 = *d.sigfits2;
    if (!(delt[lo] < 0)) return refuse("calcdelp", "not neg - should not have arrived here");
    // The fit of duDA+ is that of the solutions made here, as the avP+ and avT+ halving carry
    // theirs.
    struct Inside {
        bool& flag;
        explicit Inside(bool& f) : flag(f) { flag = true; }
        ~Inside() { flag = false; }
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;
    } inside(indelp);
    int a = lo, b = hi;
    real lowp = 0, lowt = 0;
    for (int count = 1;; ++count) {
        const int m = (a + b) / 2;
        if (m == a || m == b) break;
        lowp = avp(a);
        lowt = avt(a);
        if (lowp == 0 || lowt == 0) return refuse("calcdelp", "zero starting guess stuffup");
        int k = m;
        real p = 0, t = 0;
        for (; k < b; ++k) {
            p = lowp;
            t = lowt;
            if (solvestore(k, p, t)) break;
        }
        if (k >= b) break;
        if (delt[k] <= 0) {
            a = k;
        } else {
            b = k;
        }
        if (count > maxhalvings) {
            return refuse("calcdelp", "initial interval halving failed (2)");
        }
    }
    step = 1;
    tout = 0;
    delpout = 0;
    lowp = avp(a);
    lowt = avt(a);
    real upp = avp(b), upt = avt(b);
    // Neighbours of the bracket, a check that it lies inside the block's solved calcs.
    int below = 0;
    if (a != lo) {
        if (delt[a - 1] != 0) {
            below = a - 1;
        } else if (a - 2 == lo) {
            below = lo;
        } else if (a - 2 > lo && delt[a - 2] != 0) {
            below = a - 2;
        } else {
            below = lo;
            for (int k = a - 1; k >= lo + 1; --k) {
                real p = lowp, t = lowt;
                if (solvestore(k, p, t)) {
                    below = k;
                    break;
                }
            }
        }
    }
    int above = 0;
    if (b != hi) {
        if (delt[b + 1] != 0) {
            above = b + 1;
        } else if (b + 2 == hi) {
            above = hi;
        } else if (b + 2 < hi && delt[b + 2] != 0) {
            above = b + 2;
        } else {
            above = hi;
            for (int k = b + 1; k <= hi - 1; ++k) {
                real p = upp, t = upt;
                if (solvestore(k, p, t)) {
                    above = k;
                    upp = p;
                    upt = t;
                    break;
                }
            }
        }
    }
    if (a == b || below == a) return refuse("calcdelp", "interval halving failed (i1)");
    if (a == b || above == b) {
        d.ses.console.write("\n" + fixw(lo, 4, 0) + fixw(below, 4, 0) + fixw(a, 4, 0) +
                            fixw(b, 4, 0) + fixw(above, 4, 0) + fixw(hi, 4, 0) + "\n");
        return refuse("calcdelp", "interval halving failed (i2)");
    }
    // Second solutions from the upper side: where they differ from the first, the two families
    // of solutions have not collapsed onto one.
    int z = 0;
    real dsfa = 0, dsflast = 0;
    int npositive = 0;
    for (int k = a; k >= lo; --k) {
        if (delp[k] == 0) {
            real p = lowp, t = lowt;
            if (!solvestore(k, p, t)) break;
            lowp = p;
            lowt = t;
        }
        real p2 = upp, t2 = upt, sf2 = 0;
        if (!solve(k, p2, t2, sf2)) {
            if (k == a) z = 0;
            break;
        }
        delp2[k] = cp(k) - p2;
        delt2[k] = (ct(k) - t2) / d.tscale;
        sigfits2[k] = sf2;
        step = std::max(delp2[k] - delp[k], delt2[k] - delt[k]);
        const real dsf = sigfits2[k] - sigfits[k];
        if (k == a) dsfa = dsf;
        if (step > collapsestep) {
            upp = p2;
            upt = t2;
            z = k;
            dsflast = dsf;
            if (dsf > 0 && ++npositive == 2) break;
        } else {
            if (k == a) z = 0;
            break;
        }
    }
    d.ihstep = step;
    auto crossing = [&](int i) {
        return (delp[i] * delt2[i] - delp2[i] * delt[i]) / (delt2[i] - delt[i]);
    };
    if (z == 0) {
        tout = (delt[b] * ct(a) - delt[a] * ct(b)) / (delt[b] - delt[a]);
        delpout = (delp[a] * delt[b] - delp[b] * delt[a]) / (delt[b] - delt[a]);
    } else if (z == a) {
        tout = ct(a);
        delpout = crossing(a);
    } else {
        tout = (ct(a) * dsflast - ct(z) * dsfa) / (dsflast - dsfa);
        if (tout > ct(b)) {
            tout = ct(b);
        } else if (tout < ct(z)) {
            tout = ct(a);
        }
        delpout = crossing(z) + (crossing(a) - crossing(z)) * (tout - ct(z)) / (ct(a) - ct(z));
    }
    return true;
}

// avP+ (ptype) or avT+ bracketing over the calcs.
bool Search::bracket1(int16& a, int16& b, std::string& msg, bool ptype) {
    const std::string what = ptype ? "avP" : "avT";
    const int16 nqv = d.nqv();
    auto start = [&](real& p, real& t) {
        p = ptype ? set.avptpguess : set.avptfixedp;
        t = ptype ? set.avptfixedt : set.avpttguess;
    };
    int16 lo = 0, hi = 0;
    real plo = 0, tlo = 0, phi = 0, thi = 0, sflo = 0, sfhi = 0;
    for (int k = 1; k <= nqv && lo == 0; ++k) {
        start(plo, tlo);
        if (solve(k, plo, tlo, sflo)) lo = narrow16(k);
    }
    if (lo == 0) {
        msg = "no " + what + " calcs, with nqv = " + realstr(nqv);
        return refuse("avptplusx", msg);
    }
    for (int k = nqv; k >= lo && hi == 0; --k) {
        start(phi, thi);
        if (solve(k, phi, thi, sfhi)) hi = narrow16(k);
    }
    if (hi == 0) {
        msg = "only one " + what + " calc";
        return refuse("avptplusx", msg);
    }
    if (hi - lo + 1 < 2) {
        msg = "too few " + what + " calcs = " + realstr(hi - lo + 1);
        return refuse("avptplusx", msg);
    }
    const real xlo = ptype ? cp(lo) : ct(lo), xhi = ptype ? cp(hi) : ct(hi);
    const real avlo = ptype ? plo : tlo, avhi = ptype ? phi : thi;
    if ((xlo <= avlo && avhi <= xhi) || (avlo <= xlo && xhi <= avhi)) {
        msg = std::string("there is a crossover defining ") + (ptype ? "avP+" : "avT+");
    } else {
        msg = "there is NOT a crossover";
        failcode = std::fabs(avlo - xlo) <= std::fabs(avhi - xhi) ? 3 : 2;
        return false;
    }
    const real s = ptype ? 1 : d.tscale;
    calcreals& del = ptype ? delp : delt;
    del[lo] = (xlo - avlo) / s;
    del[hi] = (xhi - avhi) / s;
    sigfits[lo] = sflo;
    sigfits[hi] = sfhi;
    a = lo;
    b = hi;
    return true;
}

void Search::blockrow(real p, real t, real dp) {
    if (!print) return;
    std::string line;
    addreal(3, true, 8, line, p);
    addreal(2, true, 8, line, t);
    addreal(3, true, 8, line, dp);
    addreal(3, true, 8, line, d.ihstep);
    putstr(d.ses, 0, line, 1, screensummarylogmask);
}

// duDA+ bracketing over the blocks of calcs at one P.
bool Search::bracketblocks(int16& a, int16& b, real& t1, real& dp1, real& t2, real& dp2,
                           std::string& msg) {
    const int16 nqv = d.nqv();
    const real pinc = d.in.win.pinc;
    const auto nblocks = static_cast<int16>(std::nearbyint((cp(nqv) - cp(1)) / pinc) + 1);
    if (print)
        putstr(d.ses, 1, "number of P blocks = " + realstr(nblocks), 1, screensummarylogmask);
    int16 lo = 0, hi = 0, i = 0;
    for (int16 n = 1; n <= nblocks && i == 0; ++n) {
        if (avptblock(n, lo, hi)) i = n;
    }
    if (i == 0) {
        msg = "crossover not found (1)";
        return false;
    }
    real step = 0;
    if (!calcdelp(lo, hi, step, t1, dp1)) return false;
    int16 first = 0, last = 0;
    findblock(d, i, first, last);
    const real pi = cp(first);
    if (print) {
        putstr(d.ses, 1, "P bracket", 1, screensummarylogmask);
        std::string line;
        for (const char* h : {"P", "T", "delP", "step"}) addstr(h, 8, line);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
    blockrow(pi, t1, dp1);
    int16 j = 0;
    for (int16 n = nblocks; n >= 1 && j == 0; --n) {
        if (avptblock(n, lo, hi)) j = n;
    }
    if (j == 0) {
        msg = "crossover not found (2)";
        return false;
    }
    int16 firstj = 0, lastj = 0;
    findblock(d, j, firstj, lastj);
    if (cp(firstj) == pi) {
        msg = "just one P block";
        return false;
    }
    if (!calcdelp(lo, hi, step, t2, dp2)) return false;
    blockrow(cp(firstj), t2, dp2);
    if (!signchange(dp1, dp2)) {
        msg = "crossover not found (3)";
        failcode = 2;
        if (print) putstr(d.ses, 0, "but delP has the same sign", 1, screensummarylogmask);
        return false;
    }
    int distinct = 1;
    for (int k = first + 1; k <= lastj; ++k) {
        if (cp(k) != cp(k - 1)) ++distinct;
    }
    if (distinct != std::nearbyint((cp(firstj) - pi) / pinc) + 1) {
        if (print) bomb("avptplusx", "block mismatch", yourfault);
        failcode = 1;
        return false;
    }
    a = i;
    b = j;
    return true;
}

}  // namespace

void findblock(const DudaState& d, int16 n, int16& first, int16& last) {
    const int16 nqv = d.nqv();
    real current = 0;
    int16 started = 0;
    first = 1;
    for (int16 k = 1; k <= nqv; ++k) {
        if (d.calc(k).p != current) {
            current = d.calc(k).p;
            first = k;
            if (++started == n) break;
        }
    }
    last = first;
    while (last < nqv && d.calc(last + 1).p == d.calc(first).p) ++last;
}

// Kept whole: one bracketing search whose steps share the bracket ends and the failure code.
bool avptplusx(DudaState& d, const xyzvector& x, const xyzvector& c, real& p, real& t, real& sigfit,
               int16& failcode, bool print) {
    Search s{d, x, c, print, failcode, sigfit};
    const DudaSettings& set = d.in.set;
    const int16 nqv = d.nqv();
    const bool duda = !d.avpplus && !d.avtplus;
    failcode = 0;
    d.tscale = std::nearbyint(set.avpttguess / set.avptpguess);
    sigfit = 0;
    if (d.avpplus) t = set.avptfixedt;
    if (d.avtplus) p = set.avptfixedp;
    for (int k = 1; k <= nqv; ++k) s.delp[k] = s.delt[k] = 0;

    std::string msg;
    bool ok = true;
    int16 a = 0, b = 0;
    real t1 = 0, dp1 = 0, t2 = 0, dp2 = 0;
    if (nqv < (duda ? 4 : 2)) {
        msg = "too few qv calcs, nqv = " + realstr(nqv);
        ok = s.refuse("avptplusx", msg);
    } else if (duda) {
        ok = s.bracketblocks(a, b, t1, dp1, t2, dp2, msg);
    } else {
        ok = s.bracket1(a, b, msg, d.avpplus);
    }
    if (print && !msg.empty()) putstr(d.ses, 1, msg, 1, screensummarylogmask);
    if (!ok) {
        if (print) {
            putstr(d.ses, 0, "no solution in the range of the calculations", 1,
                   screensummarylogmask);
        }
        if (failcode != 2 && failcode != 3) failcode = 1;
        return false;
    }

    // The estimate between the bracket ends as they stand.
    auto estimate = [&](real& pe, real& te) -> bool {
        if (duda) {
            if (dp1 == dp2) return false;
            int16 fa = 0, la = 0, fb = 0, lb = 0;
            findblock(d, a, fa, la);
            findblock(d, b, fb, lb);
            pe = (d.calc(fa).p * dp2 - d.calc(fb).p * dp1) / (dp2 - dp1);
            te = (t1 * dp2 - t2 * dp1) / (dp2 - dp1);
        } else if (d.avpplus) {
            if (s.delp[b] == s.delp[a]) return false;
            pe = (s.delp[b] * s.cp(a) - s.delp[a] * s.cp(b)) / (s.delp[b] - s.delp[a]);
        } else {
            if (s.delt[b] == s.delt[a]) return false;
            te = (s.delt[b] * s.ct(a) - s.delt[a] * s.ct(b)) / (s.delt[b] - s.delt[a]);
        }
        return true;
    };

    bool stepfailed = false;
    for (int count = 1;; ++count) {
        const auto m = narrow16((a + b) / 2);
        if (m == a || m == b) break;
        if (duda) {
            int16 lo = 0, hi = 0;
            real tm = 0, dpm = 0, step = 0;
            if (!s.avptblock(m, lo, hi) || !s.calcdelp(lo, hi, step, tm, dpm)) {
                stepfailed = true;
                break;
            }
            if (signchange(dpm, dp2)) {
                a = m;
                t1 = tm;
                dp1 = dpm;
            } else {
                b = m;
                t2 = tm;
                dp2 = dpm;
            }
            if (print) {
                if (count == 1) putstr(d.ses, 1, "interval halving", 1, screensummarylogmask);
                int16 fm = 0, lm = 0;
                findblock(d, m, fm, lm);
                real pe = 0, te = 0;
                estimate(pe, te);
                std::string line;
                addreal(3, true, 8, line, d.calc(fm).p);
                addreal(2, true, 8, line, tm);
                addreal(3, true, 8, line, dpm);
                addreal(3, true, 8, line, d.ihstep);
                line += "   ";
                addreal(3, true, 8, line, pe);
                addreal(2, true, 8, line, te);
                putstr(d.ses, 0, line, 1, screensummarylogmask);
            }
        } else {
            const bool ptype = d.avpplus;
            calcreals& del = ptype ? s.delp : s.delt;
            int k = 0;
            real pk = 0, tk = 0;
            auto trysolve = [&](int i) {
                pk = ptype ? set.avptpguess : set.avptfixedp;
                tk = ptype ? set.avptfixedt : set.avpttguess;
                return s.solve(i, pk, tk, sigfit);
            };
            for (int i = m; i <= b - 1 && k == 0; ++i) {
                if (trysolve(i)) k = i;
            }
            for (int i = m - 1; i >= a + 1 && k == 0; --i) {
                if (trysolve(i)) k = i;
            }
            if (k == 0) {
                stepfailed = true;
                break;
            }
            del[k] = ptype ? s.cp(k) - pk : (s.ct(k) - tk) / d.tscale;
            s.sigfits[k] = sigfit;
            if (print) {
                std::string line;
                const std::string sep = ptype ? "  : " : "  :";
                for (int i : {static_cast<int>(a), k, static_cast<int>(b)}) {
                    if (i != a) line += sep;
                    addgreal(2, line, i);
                    const real xi = ptype ? s.cp(i) : s.ct(i);
                    const real di = ptype ? s.delp[i] : s.delt[i];
                    addreal(3, true, 8, line, xi);
                    addreal(3, true, 8, line, xi - di);
                    addreal(3, true, 8, line, di);
                }
                putstr(d.ses, 0, line, 1, screensummarylogmask);
            }
            if (signchange(del[k], del[b])) {
                a = narrow16(k);
            } else {
                b = narrow16(k);
            }
        }
        if (count > maxhalvings) {
            if (print) bomb("avptplusx", "failure: interval halving problem", yourfault);
            putstr(d.ses, 0,
                   "interval halving failed at mc counter = " + realstr(d.mccount) +
                       " with ell = " + realstr(a) + " " + realstr(b) + "  " + realstr(m) + "?",
                   1, screensummarylogmask);
            stepfailed = true;
            break;
        }
        if (!print && set.avptalgorithm == 3) break;
    }
    if (stepfailed) {
        if (print) putstr(d.ses, 0, "no success in interval halving", 1, screensummarylogmask);
        failcode = 4;
        return false;
    }
    real pe = p, te = t;
    if (!estimate(pe, te)) {
        // Equal ends: no line through them crosses zero.
        if (duda) {
            if (print) d.ses.console.write(realstr(d.mccount) + " failed at the end\n");
            failcode = 3;
        } else {
            failcode = 4;
        }
        return false;
    }
    p = pe;
    t = te;
    if (duda && print) {
        putstr(d.ses, 1, "finally", 1, screensummarylogmask);
        std::string line;
        addreal(3, true, 8, line, p);
        addreal(2, true, 8, line, t);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
    return p != 0 && t != 0;
}

void avptbruteforce(DudaState& d, const xyzvector& x, const xyzvector& c) {
    Session& ses = d.ses;
    const DudaSettings& set = d.in.set;
    const int16 nqv = d.nqv();
    const bool duda = !d.avpplus && !d.avtplus;
    const bool xco2 = set.avptxco2;
    d.tscale = std::nearbyint(set.avpttguess / set.avptpguess);
    for (int k = 1; k <= nqv; ++k) (*d.delp)[k] = (*d.delt)[k] = notsolved;
    std::string line = "brute force: nqv = " + realstr(nqv);
    if (d.avpplus) {
        line += ", at T = " + realfixstr(2, true, set.avptfixedt) + degree +
                "C, starting guesses at " + realfixstr(2, true, set.ptguessp) + " kbar";
    } else if (d.avtplus) {
        line += ", at P = " + realfixstr(2, true, set.avptfixedp) + " kbar";
    }
    putstr(ses, 0, line, 1, screensummarylogmask);
    ses.console.write("qv min/max P = " + fixw(d.pmin, 6, 2) + fixw(d.pmax, 6, 2) +
                      fixw(d.in.win.pinc, 6, 3) + "\n");
    line.clear();
    if (duda) {
        for (const char* h : {"P", "T", "avP", "avT", "delP", "delT"}) addstr(h, 8, line);
        if (xco2) addstr("x(CO2)", 8, line);
    } else {
        line = "  ";
        const char* const* heads = nullptr;
        static const char* const theads[] = {"T", "avT", "delT"};
        static const char* const pheads[] = {"P", "avP", "delP"};
        heads = d.avtplus ? theads : pheads;
        for (int i = 0; i < 3; ++i) addstr(heads[i], 8, line);
    }
    addstr("sigfit", 8, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    real pg = 0, tg = 0;
    bool firstrow = true;
    bool newp = true;  // no row yet at this P
    for (int k = 1; k <= nqv; ++k) {
        const qvcalctype& rec = d.calc(k);
        line.clear();
        if (duda) {
            if (pg == 0) {
                pg = set.avptpguess;
                tg = set.avpttguess;
            }
            if (avptiterate(d, x, c, narrow16(k), pg, tg, d.sigfitnom, false)) {
                (*d.delp)[k] = rec.p - pg;
                (*d.delt)[k] = (rec.t - tg) / d.tscale;
                if (newp && !firstrow) {
                    putstr(ses, 0, "-----------------", 1, screensummarylogmask);
                }
                firstrow = false;
                newp = false;
                addreal(3, true, 8, line, rec.p);
                addreal(2, true, 8, line, rec.t);
                addreal(3, true, 8, line, pg);
                addreal(2, true, 8, line, tg);
                addreal(3, true, 8, line, (*d.delp)[k]);
                addreal(3, true, 8, line, (*d.delt)[k]);
                if (xco2) addreal(3, true, 8, line, rec.xfluid);
                addreal(3, true, 8, line, d.sigfitnom);
                putstr(ses, 0, line, 1, screensummarylogmask);
            }
            if (k < nqv && d.calc(k + 1).p != rec.p) {
                pg = 0;
                newp = true;
            }
        } else if (d.avtplus) {
            if (tg == 0) tg = set.avpttguess;
            real p = set.avptfixedp;
            if (avptiterate(d, x, c, narrow16(k), p, tg, d.sigfitnom, false)) {
                (*d.delt)[k] = (rec.t - tg) / d.tscale;
                addgreal(2, line, k);
                addreal(2, true, 8, line, rec.t);
                addreal(3, true, 8, line, tg);
                addreal(3, true, 8, line, (*d.delt)[k]);
                addreal(3, true, 8, line, d.sigfitnom);
                putstr(ses, 0, line, 1, screensummarylogmask);
            }
        } else {
            if (pg == 0) pg = set.avptpguess;
            real t = set.avptfixedt;
            if (avptiterate(d, x, c, narrow16(k), pg, t, d.sigfitnom, false)) {
                (*d.delp)[k] = rec.p - pg;
                addgreal(2, line, k);
                addreal(3, true, 8, line, rec.p);
                addreal(3, true, 8, line, pg);
                addreal(3, true, 8, line, (*d.delp)[k]);
                addreal(3, true, 8, line, d.sigfitnom);
                putstr(ses, 0, line, 1, screensummarylogmask);
            }
        }
    }
}

}  // namespace qv
