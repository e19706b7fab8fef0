#pragma once
// A reaction diagram on hand-built end-members: data rows whose Gibbs energy is linear in P and
// T (no heat capacity, a constant volume), reactions and candidate invariant points set by the
// test, and reaction services that find roots by scanning the window and bisecting.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "reactions/diagram.hpp"
#include "support/fakes.hpp"
#include "textio/bitsets.hpp"

namespace qv::test {

// One end-member with G = h - t s + v (p - 0.001): kJ, kJ/K, kJ/kbar.
struct LinearEm {
    std::string name;
    real h = 0;
    real s = 0;
    real v = 0;
};

inline real linearg(const LinearEm& e, real p, real t) {
    return e.h - t * e.s + e.v * (p - 0.001L);
}

struct DiagramFixture;

// Reaction services on `calcdgr` of the fixture's rows.
class ScanLines final : public ReactionLines {
public:
    explicit ScanLines(DiagramFixture& f) : f_(f) {}
    ReactionDg dgr(int16 i, real p, real t, real u, real v) override;
    RootPair findrxnp(int16 i, bool usestart, real start, real t, real u, real v) override;
    RootPair findrxnt(int16 i, bool usestart, real start, real p, real u, real v) override;
    RootPairSd calcpsd(int16 i, real t, real u, real v) override;
    RootPairSd calctsd(int16 i, real p, real u, real v) override;
    void turnreaction(int16 i, const DiagramPoint& pt) override;

private:
    RootPair find(int16 i, bool pressure, bool usestart, real start, real fixed, real u, real v);
    RootPairSd withsd(int16 i, bool pressure, real fixed, real u, real v);
    DiagramFixture& f_;
};

struct DiagramFixture {
    DiagramFixture() {
        td = std::make_unique<tdmatrix>();
        cov = std::make_unique<emmatrix>();
        r = std::make_unique<rmatrix>();
        cand = std::make_unique<Fixed1<Candidate, maxintersect>>();
        emact.fill(1);
        w.twinlow = 673.15L;
        w.twinhigh = 1173.15L;
        ts.ses.ch.dontwrapon = false;
        w.pwinlow = 1;
        w.pwinhigh = 10;
    }

    // The end-members of the diagram; the first nrxem take part in the reactions.
    void setems(const std::vector<LinearEm>& ems, int16 nrx = 0) {
        nem = static_cast<int16>(ems.size());
        nrxem = nrx > 0 ? nrx : nem;
        for (int16 k = 1; k <= nem; ++k) {
            const LinearEm& e = ems[static_cast<std::size_t>(k - 1)];
            names[k] = e.name;
            (*td)[k] = tdvector{};
            (*td)[k][1] = e.h;
            (*td)[k][2] = e.s;
            (*td)[k][3] = e.v;
        }
    }

    // Adds a reaction with its coefficients over the end-members and its text.
    void addreaction(const std::vector<int16>& nu) {
        ++nreac;
        iemvector& row = (*r)[nreac];
        row = iemvector{};
        std::string left;
        std::string right;
        for (int16 k = 1; k <= static_cast<int16>(nu.size()); ++k) {
            const int16 c = nu[static_cast<std::size_t>(k - 1)];
            row[k] = c;
            if (c == 0) continue;
            std::string& side = c < 0 ? left : right;
            if (!side.empty()) side += " + ";
            if (std::abs(c) != 1) side += std::to_string(std::abs(c));
            side += names[k];
            if (k <= nrxem) BSet2(reacphases[nreac], k);
        }
        rxntext[nreac] = std::to_string(nreac) + ")  " + left + " = " + right;
    }

    // Adds a candidate invariant point of the given reactions.
    void addcandidate(const std::vector<int16>& reacs) {
        ++nint;
        Candidate& c = (*cand)[nint];
        c.n = 0;
        for (const int16 i : reacs) {
            c.reac[++c.n] = i;
            for (int w3 = 1; w3 <= 3; ++w3) c.phases[w3] |= reacphases[i][w3];
        }
    }

    // A grid of n values from a to b in steps of (b - a) / (n - 1).
    static void grid(linevector& list, int16& count, real a, real b, int16 n) {
        count = n;
        for (int16 k = 1; k <= n; ++k) list[k] = a + (b - a) * (k - 1) / (n > 1 ? n - 1 : 1);
    }

    DiagramRun run() {
        DiagramRun dr{w,       script,  *td,     *cov,    names,      emact,
                      emsda,   *r,      nreac,   rxntext, reacphases, *cand,
                      nint,    nem,     nrxem,   nexcess, h2oemno,    co2emno,
                      lnaemno, lnaname, muemno,  muname,  lnasref,    fluidlabeltext,
                      pcur,    tcur,    xco2cur, xh2ocur};
        return dr;
    }

    TestSession ts;
    Windows w;
    ScriptSettings script;
    std::unique_ptr<tdmatrix> td;
    std::unique_ptr<emmatrix> cov;
    strings names;
    emvector emact;
    emvector emsda;
    std::unique_ptr<rmatrix> r;
    int16 nreac = 0;
    Fixed1<std::string, maxreac> rxntext;
    Fixed1<longint3, maxreac> reacphases{};
    std::unique_ptr<Fixed1<Candidate, maxintersect>> cand;
    int16 nint = 0;
    int16 nem = 0;
    int16 nrxem = 0;
    int16 nexcess = 0;
    int16 h2oemno = 0;
    int16 co2emno = 0;
    int16 lnaemno = 0;
    std::string lnaname;
    int16 muemno = 0;
    std::string muname;
    real lnasref = 0;
    std::string fluidlabeltext;
    real pcur = 5;
    real tcur = 873.15L;
    real xco2cur = 0;
    real xh2ocur = 1;
    GemSettings gs;
    DiagramState ds;
};

inline ReactionDg ScanLines::dgr(int16 i, real p, real t, real u, real v) {
    ReactionTables tab{*f_.td,    f_.names, [](int16, int16) { return MakeList{}; },
                       f_.nem,    f_.emact, f_.h2oemno,
                       f_.co2emno};
    return calcdgr(f_.ts.ses, f_.gs, tab, (*f_.r)[i], p, t, u, v);
}

inline RootPair ScanLines::find(int16 i, bool pressure, bool usestart, real start, real fixed,
                                real u, real v) {
    const real lo = pressure ? f_.w.pwinlow : f_.w.twinlow;
    const real hi = pressure ? f_.w.pwinhigh : f_.w.twinhigh;
    const auto g = [&](real x) {
        return pressure ? dgr(i, x, fixed, u, v) : dgr(i, fixed, x, u, v);
    };
    const auto slope = [&](const ReactionDg& r) { return pressure ? r.dgdp : r.dgdt; };
    RootPair out;
    std::vector<real> roots;
    if (usestart) {
        if (start < lo || start > hi) return out;
        real x = start;
        for (int k = 0; k < 60; ++k) {
            const ReactionDg r = g(x);
            if (slope(r) == 0) break;
            x -= r.dg / slope(r);
        }
        if (x >= lo && x <= hi) roots.push_back(x);
    } else {
        constexpr int nscan = 400;
        real a = lo;
        real ga = g(a).dg;
        for (int k = 1; k <= nscan; ++k) {
            const real b = lo + (hi - lo) * k / nscan;
            const real gb = g(b).dg;
            if ((ga < 0) != (gb < 0)) {
                real x0 = a, x1 = b, g0 = ga;
                for (int it = 0; it < 200 && x1 - x0 > 1e-14L * (1 + std::fabs(x1)); ++it) {
                    const real m = (x0 + x1) / 2;
                    const real gm = g(m).dg;
                    if ((gm < 0) == (g0 < 0)) {
                        x0 = m;
                        g0 = gm;
                    } else {
                        x1 = m;
                    }
                }
                roots.push_back((x0 + x1) / 2);
            }
            a = b;
            ga = gb;
        }
        if (roots.empty()) {
            const ReactionDg rl = g(lo);
            const bool rising = slope(rl) > 0;
            out.x1 = (rising == (rl.dg < 0)) ? hi + 1 : lo - 1;
            return out;
        }
    }
    if (roots.empty()) return out;
    out.x1 = roots.back();
    ReactionDg r = pressure ? dgr(i, out.x1, fixed, u, v) : dgr(i, fixed, out.x1, u, v);
    out.dgdp1 = r.dgdp;
    out.dgdt1 = r.dgdt;
    if (roots.size() > 1) {
        out.x2 = roots.front();
        r = pressure ? dgr(i, out.x2, fixed, u, v) : dgr(i, fixed, out.x2, u, v);
        out.dgdp2 = r.dgdp;
        out.dgdt2 = r.dgdt;
    }
    return out;
}

inline RootPair ScanLines::findrxnp(int16 i, bool usestart, real start, real t, real u, real v) {
    return find(i, true, usestart, start, t, u, v);
}

inline RootPair ScanLines::findrxnt(int16 i, bool usestart, real start, real p, real u, real v) {
    return find(i, false, usestart, start, p, u, v);
}

inline RootPairSd ScanLines::withsd(int16 i, bool pressure, real fixed, real u, real v) {
    const RootPair rp = find(i, pressure, false, 0, fixed, u, v);
    RootPairSd out;
    out.x1 = rp.x1;
    out.x2 = rp.x2;
    const iemvector& nu = (*f_.r)[i];
    real varh = 0;
    real varlna = 0;
    for (int16 k = 1; k <= f_.nem; ++k) {
        for (int16 l = 1; l <= f_.nem; ++l) varh += nu[k] * (*f_.cov)[k][l] * nu[l];
        const real a = f_.emact[k];
        if (a > 0 && a < 1) varlna += (f_.emsda[k] / a) * (f_.emsda[k] / a) * nu[k] * nu[k];
    }
    const real lo = pressure ? f_.w.pwinlow : f_.w.twinlow;
    const real hi = pressure ? f_.w.pwinhigh : f_.w.twinhigh;
    const auto sd = [&](real x, real dgdp, real dgdt) {
        const real t = pressure ? fixed : x;
        const real rt = rgas * t;
        return std::sqrt((varh + varlna * rt * rt) /
                         ((pressure ? dgdp : dgdt) * (pressure ? dgdp : dgdt)));
    };
    if (rp.x1 >= lo && rp.x1 <= hi) out.sd1 = sd(rp.x1, rp.dgdp1, rp.dgdt1);
    if (rp.x2 >= lo && rp.x2 <= hi) out.sd2 = sd(rp.x2, rp.dgdp2, rp.dgdt2);
    return out;
}

inline RootPairSd ScanLines::calcpsd(int16 i, real t, real u, real v) {
    return withsd(i, true, t, u, v);
}

inline RootPairSd ScanLines::calctsd(int16 i, real p, real u, real v) {
    return withsd(i, false, p, u, v);
}

inline void ScanLines::turnreaction(int16 i, const DiagramPoint& pt) {
    DiagramRun dr = f_.run();
    setlnamuterm(f_.ds, dr, pt);
    const bool tstep = f_.ds.mode == diagramtype::ptcalc || f_.ds.mode == diagramtype::txcalc ||
                       f_.ds.mode == diagramtype::tlnacalc || f_.ds.mode == diagramtype::tmucalc;
    const ReactionDg g = tstep ? dgr(i, pt.p, pt.t + 5, pt.xco2, pt.xh2o)
                               : dgr(i, pt.p + 0.2L, pt.t, pt.xco2, pt.xh2o);
    if (g.dg > 0) {
        for (int16 k = 1; k <= f_.nem; ++k) (*f_.r)[i][k] = static_cast<int16>(-(*f_.r)[i][k]);
    }
}

}  // namespace qv::test
