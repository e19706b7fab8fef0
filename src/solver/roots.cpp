#include "solver/roots.hpp"

#include <array>
#include <cmath>
#include <span>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/powers.hpp"

namespace qv {

namespace {

// Interval halvings are capped: 200 halvings narrow any finite window far below the
// resolution of an extended real.
constexpr int maxhalvings = 200;

// The shared state of one root search; the methods are the steps that work on it. `Dg` is called
// as dg(p, t, need), `Slopes` as slopes(p, t).
template <class Dg, class Slopes>
struct Finder {
    const Windows& w;
    Dg& dg;
    Slopes& slopes;  // dG with the derivatives reported at the roots
    findtype ft;
    real p, t;    // conditions; the sought one is replaced by each trial value
    real lo = 0;  // window of the sought variable
    real hi = 0;
    real tol = 0;    // base tolerance: one decimal finer than the window values are printed
    real limit = 0;  // convergence limit at the current trial value
    int d = 0;       // sets the cap of Newton steps
    int side = 2;    // where the current Newton search started: 0 lo, 1 hi, 2 inside

    // dG and its slope in the sought variable at x.
    void calc(real x, real& g, real& slope) const {
        if (ft == findtype::findt) {
            const ReactionDg r = dg(p, x, GemNeed{false, true});
            g = r.dg;
            slope = r.dgdt;
        } else {
            const ReactionDg r = dg(x, t, GemNeed{true, false});
            g = r.dg;
            slope = r.dgdp;
        }
    }
    real dgat(real x) const {
        return (ft == findtype::findt ? dg(p, x, GemNeed{false, false})
                                      : dg(x, t, GemNeed{false, false}))
            .dg;
    }

    // A relative limit below 1 kbar, with a floor so that a search at 0 kbar still ends.
    void setlimit(real x) {
        if (ft == findtype::findt) {
            limit = tol;
        } else {
            limit = x <= 1 ? tol * std::fabs(x) : tol;
            const real floor = tol * 1e-4L;
            if (!(limit >= floor)) limit = floor;
        }
    }

    // Newton steps from x. A step may leave the window once, towards the end the search did not
    // start from, and is then held at that edge. A zero or non-finite slope ends the search as
    // failed. On failure x becomes `noroot`.
    bool iterate(real& x) {
        const int cap = 3 * d + 9;
        int k = 0;
        bool clamped = false;
        bool stop = false;
        bool converged = false;
        do {
            ++k;
            real g = 0, s = 0;
            calc(x, g, s);
            if (s == 0 || !std::isfinite(s) || !std::isfinite(g)) {
                converged = false;
                break;
            }
            const real dx = -g / s;
            x += dx;
            setlimit(x);
            if (x < lo || x > hi) {
                if (clamped) {
                    stop = true;
                } else if (x < lo && side != 0) {
                    x = lo;
                    clamped = true;
                } else if (x > hi && side != 1) {
                    x = hi;
                    clamped = true;
                } else {
                    stop = true;
                }
            }
            converged = std::fabs(dx) < limit;
        } while (!converged && k <= cap && !stop);
        const bool ok = converged && x >= lo && x <= hi;
        if (!ok) x = noroot;
        return ok;
    }

    // Number of halvings that narrow b - a to about `factor` times the limit.
    int halvings(real a, real b, real factor) const {
        const real l = std::log2((b - a) / (factor * limit));
        if (!(l >= 1)) return 2;
        if (l > maxhalvings) return maxhalvings;
        const int n = 1 + static_cast<int>(l);
        return n < 2 ? 2 : n;
    }

    // Halves [a, b], which holds a sign change of dG, n times or until narrower than the limit.
    // A value of exactly zero at an end or a midpoint is the root: both ends move onto it.
    void intervalhalving(real& a, real& b, int n) {
        const real ga = dgat(a);
        const real gb = dgat(b);
        if (ga == 0) {
            b = a;
            return;
        }
        if (gb == 0) {
            a = b;
            return;
        }
        if (samesign(ga, gb)) bomb("interval halving", "same sign", myfault);
        if (n < 1) bomb("interval halving", "v2<v1", myfault);
        int k = 0;
        do {
            ++k;
            const real m = (a + b) / 2;
            const real gm = dgat(m);
            setlimit(m);
            if (gm == 0) {
                a = m;
                b = m;
                return;
            }
            if (samesign(ga, gm)) {
                a = m;
            } else {
                b = m;
            }
        } while (!(b - a < limit) && k != n);
    }

    // A root known to lie in [a0, b0]: Newton from x, else halving to a hundredfold of the
    // limit and Newton again, else halving down to about twice the limit.
    void solvebracketed(real& x, real a0, real b0) {
        if (iterate(x) && x >= a0 && x <= b0) return;
        real a = a0, b = b0;
        setlimit(a);
        intervalhalving(a, b, halvings(a, b, 100));
        x = (a + b) / 2;
        if (a == b) return;
        if (iterate(x)) return;
        setlimit(a);
        intervalhalving(a, b, halvings(a, b, 2));
        x = (a + b) / 2;
    }

    Roots run(bool usestart, real start) {
        Roots res;
        if (ft == findtype::findt) {
            lo = w.twinlow;
            hi = w.twinhigh;
            tol = tentopower(narrow16(-(1 + w.tformat)));
            d = w.tformat - 2;
        } else if (ft == findtype::findp) {
            lo = w.pwinlow;
            hi = w.pwinhigh;
            tol = tentopower(narrow16(-(1 + w.pformat)));
            d = w.pformat - 3;
        } else {
            bomb("find", "unimplemented", myfault);
        }
        limit = tol;
        real x1 = start;
        real x2 = nosecondroot;
        if (usestart) {
            if (!inrange(w, ft, x1)) return res;
            side = 2;
            iterate(x1);
        } else {
            real glo = 0, slo = 0, ghi = 0, shi = 0;
            calc(lo, glo, slo);
            calc(hi, ghi, shi);
            const bool bracketed = !samesign(glo, ghi);
            bool above = false;
            bool turning = false;
            if (!bracketed) {
                if (slo > 0 && shi > 0) {
                    above = glo < 0;
                } else if (slo < 0 && shi < 0) {
                    above = glo > 0;
                } else {
                    turning = true;
                }
            }
            if (bracketed && samesign(slo, shi)) {
                side = 2;
                x1 = (lo + hi) / 2;
                solvebracketed(x1, lo, hi);
            } else if (bracketed && samesign(glo, slo)) {
                side = 1;
                x1 = hi;
                solvebracketed(x1, lo, hi);
                x2 = lo - 1;
            } else if (bracketed) {
                side = 0;
                x1 = lo;
                solvebracketed(x1, lo, hi);
                x2 = hi + 1;
            } else if (turning && samesign(glo, slo)) {
                x1 = lo - 1;
                x2 = hi + 1;
            } else if (turning) {
                twosided(x1, x2, glo, ghi);
            } else {
                x1 = above ? hi + 1 : lo - 1;
            }
        }
        res.x1 = x1;
        res.x2 = x2;
        if (inrange(w, ft, x1)) {
            derivatives(x1, res.dgdp1, res.dgdt1);
            if (inrange(w, ft, x2)) derivatives(x2, res.dgdp2, res.dgdt2);
        }
        return res;
    }

    // A line whose slope turns in the window: Newton from each end; when both meet one root,
    // the second is sought beside it by halving.
    void twosided(real& x1, real& x2, real glo, real ghi) {
        side = 0;
        x1 = lo;
        const bool ok1 = iterate(x1);
        side = 1;
        x2 = hi;
        const bool ok2 = iterate(x2);
        bool same = false;
        if (ok1 && ok2) {
            same = std::fabs(x2 - x1) < 4 * limit;
        } else if (ok1) {
            same = true;
            x2 = x1;
        } else if (ok2) {
            same = true;
        } else {
            x1 = noroot;
            x2 = nosecondroot;
        }
        if (same) {
            real y = x2 + 4 * limit;
            if (y < hi && !samesign(dgat(y), ghi)) {
                side = 2;
                x1 = (y + hi) / 2;
                solvebracketed(x1, y, hi);
            } else {
                y = x2 - 4 * limit;
                if (y < lo) y = lo;
                if (!samesign(dgat(y), glo)) {
                    side = 2;
                    x1 = (lo + y) / 2;
                    solvebracketed(x1, lo, y);
                } else {
                    x1 = x2;
                }
            }
        }
        if (x2 > x1) std::swap(x1, x2);
    }

    void derivatives(real x, real& dgdp, real& dgdt) const {
        const ReactionDg r = ft == findtype::findt ? slopes(p, x) : slopes(x, t);
        dgdp = r.dgdp;
        dgdt = r.dgdt;
    }
};

}  // namespace

bool samesign(real a, real b) {
    if (std::isnan(a) || std::isnan(b)) return false;
    return (a <= 0 && b <= 0) || (a >= 0 && b >= 0);
}

ReactionDg dgofreaction(ReactionEval& ev, int16 i, real p, real t, real u, real v) {
    return calcdgr(ev.ses, ev.gs, ev.tab, ev.r[i], p, t, u, v);
}

Roots find(const Windows& w, const DgNeedAt& dg, findtype ft, bool usestart, real start, real p,
           real t) {
    const auto slopes = [&dg](real pp, real tt) { return dg(pp, tt, GemNeed{}); };
    Finder<const DgNeedAt, decltype(slopes)> f{w, dg, slopes, ft, p, t};
    return f.run(usestart, start);
}

Roots find(const Windows& w, const DgAt& dg, findtype ft, bool usestart, real start, real p,
           real t) {
    const auto withneed = [&dg](real pp, real tt, GemNeed) { return dg(pp, tt); };
    Finder<decltype(withneed), const DgAt> f{w, withneed, dg, ft, p, t};
    return f.run(usestart, start);
}

namespace {

// dG of reaction i of the table along one search, with the derivatives the search needs, V and
// -S of each end-member from its own evaluation. The reaction's end-members are listed once, and
// ln K, fixed during the search, formed once. The last few evaluations are kept: a Newton step
// held at a window edge, or a search that starts at one, asks again for the value formed there
// before, which is taken again with the count of end-member evaluations it stands for.
class SearchDg {
public:
    SearchDg(ReactionEval& ev, int16 i, real u, real v) : ev_(ev), rx_(ev.r[i]), u_(u), v_(v) {
        nmembers_ = reactionmembers(rx_, ev.tab.nem, members_);
    }

    ReactionDg operator()(real p, real t, GemNeed need) {
        for (const Kept& k : kept_) {
            if (k.used && same(p, k.p) && same(t, k.t) && need.p == k.need.p &&
                need.t == k.need.t) {
                ev_.ses.gemcount += k.calls;
                return k.dg;
            }
        }
        const int64 before = ev_.ses.gemcount;
        Kept& k = kept_[next_];
        next_ = (next_ + 1) % nkept;
        k.dg = calcdgr_derivs(ev_.ses, ev_.gs, ev_.tab, rx_,
                              std::span<const int16>(members_.data(), nmembers_), p, t, u_, v_,
                              need, &lnk_);
        k.calls = ev_.ses.gemcount - before;
        k.used = true;
        k.p = p;
        k.t = t;
        k.need = need;
        return k.dg;
    }

private:
    // The same value to the bit (a zero of either sign kept apart); never a NaN.
    static bool same(real a, real b) {
        return a == b && (a != 0 || std::signbit(a) == std::signbit(b));
    }

    struct Kept {
        bool used = false;
        real p = 0, t = 0;
        GemNeed need;
        ReactionDg dg;
        int64 calls = 0;
    };
    static constexpr std::size_t nkept = 4;

    ReactionEval& ev_;
    const iemvector& rx_;
    real u_, v_;
    std::array<int16, maxem> members_;  // the first nmembers_ are set
    std::size_t nmembers_ = 0;
    LnkMemo lnk_;
    std::array<Kept, nkept> kept_{};
    std::size_t next_ = 0;
};

Roots findreaction(ReactionEval& ev, int16 i, findtype ft, bool usestart, real start, real p,
                   real t, real u, real v) {
    SearchDg dg(ev, i, u, v);
    const auto slopes = [&](real pp, real tt) { return dgofreaction(ev, i, pp, tt, u, v); };
    Finder<SearchDg, decltype(slopes)> f{ev.w, dg, slopes, ft, p, t};
    return f.run(usestart, start);
}

}  // namespace

// The derivatives reported at the roots stay the forward differences of `calcdgr` (steps 1e-5
// kbar and 0.001 K): the printed linearised reaction thermodynamics, uncertainties and slopes
// are formed from them.
Roots findrxnp(ReactionEval& ev, int16 i, bool usestart, real start, real t, real u, real v) {
    return findreaction(ev, i, findtype::findp, usestart, start, 0, t, u, v);
}

Roots findrxnt(ReactionEval& ev, int16 i, bool usestart, real start, real p, real u, real v) {
    return findreaction(ev, i, findtype::findt, usestart, start, p, 0, u, v);
}

}  // namespace qv
