#pragma once
// A rock of hand-made reactions for the average P-T tests: each reaction's standard-state Gibbs
// energy change is a plane a + bT + cP (kJ, K, kbar), so its root in P or T and the derivatives
// there are exact, and an independent least squares can be written in a few lines.

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rock/rockdata.hpp"
#include "support/fakes.hpp"

namespace qv::test {

// How many times `what` stands in s, overlapping ones counted.
inline std::size_t count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

struct PlaneReactions;

struct RockFixture {
    TestSession ts;
    Windows win;
    strings names{};
    emvector act{};
    emvector sda{};
    emvector varlna{};
    std::unique_ptr<emmatrix> cov = std::make_unique<emmatrix>();
    std::unique_ptr<rmatrix> r = std::make_unique<rmatrix>();
    std::unique_ptr<icmatrix> c = std::make_unique<icmatrix>();
    int16 ncomp = 0;
    reacvector rxnlna{};
    Fixed1<bool, maxem> excluded{};
    RockSettings set;
    std::unique_ptr<SvdArrays> work = std::make_unique<SvdArrays>();
    int16 nem = 0;
    int16 nreac = 0;
    int16 h2oem = 0;
    int16 co2em = 0;
    bool incompleteset = false;
    // The plane of each reaction, and an optional second root (kbar or K) with its slope.
    reacvector pa{};
    reacvector pb{};
    reacvector pc{};
    reacvector second{};
    std::vector<std::pair<real, real>> updates;  // (P, T) of each `updateactivity`
    std::function<void(real, real)> onupdate;    // what an `updateactivity` changes
    std::unique_ptr<PlaneReactions> rx;

    RockFixture();

    // End-member k: name, activity and sd(a).
    void em(int16 k, const std::string& n, real a, real sd) {
        names[k] = n;
        act[k] = a;
        sda[k] = sd;
        if (k > nem) nem = k;
    }
    // Reaction i with its coefficients (over end-members 1..size) and its plane.
    void reaction(int16 i, std::initializer_list<int> coeffs, real a, real b, real dv) {
        int16 k = 1;
        for (int v : coeffs) (*r)[i][k++] = static_cast<int16>(v);
        pa[i] = a;
        pb[i] = b;
        pc[i] = dv;
        if (i > nreac) nreac = i;
    }
    real lnk(int16 i) const {
        real s = 0;
        for (int16 k = 1; k <= nem; ++k) {
            if ((*r)[i][k] != 0) s += (*r)[i][k] * std::log(act[k]);
        }
        return s;
    }
    // P-T window (kbar, K) and the T or P lists.
    void window(real plo, real phi, real tlo, real thi) {
        win.pwinlow = plo;
        win.pwinhigh = phi;
        win.twinlow = tlo;
        win.twinhigh = thi;
    }
    void tlist(std::initializer_list<real> ts_) {
        win.ntvalues = 0;
        for (real t : ts_) win.tvalues[++win.ntvalues] = t;
    }
    void plist(std::initializer_list<real> ps) {
        win.npvalues = 0;
        for (real p : ps) win.pvalues[++win.npvalues] = p;
    }
    RockData data() const {
        return RockData{nem, nreac,  names,    act,   varlna, *cov,
                        *r,  rxnlna, excluded, h2oem, co2em,  incompleteset};
    }
    std::string out() const { return ts.console.output; }
    // Runs `f` on a calculation of the current data.
    template <class F>
    auto calc(F f) {
        const RockData d = data();
        RockCalc rc{ts.ses, win, d, set, *rx, *work};
        return f(rc);
    }
};

struct PlaneReactions final : RockReactions {
    explicit PlaneReactions(RockFixture& f) : fx(f) {}
    RockFixture& fx;

    Roots place(real x, real lo, real hi, real dp, real dt, int16 i) const {
        Roots rt;
        rt.x1 = x < lo ? lo - 1 : x > hi ? hi + 1 : x;
        if (rt.x1 == x) {
            rt.dgdp1 = dp;
            rt.dgdt1 = dt;
        }
        if (fx.second[i] != 0) {
            rt.x2 = fx.second[i];
            // The second root of a curved line has the opposite slope.
            rt.dgdp2 = -dp;
            rt.dgdt2 = -dt;
        }
        return rt;
    }
    Roots findrxnp(int16 i, real t, real, real) override {
        const real lk = fx.lnk(i);
        const real p = -(fx.pa[i] + fx.pb[i] * t + rgas * t * lk) / fx.pc[i];
        return place(p, fx.win.pwinlow, fx.win.pwinhigh, fx.pc[i], fx.pb[i] + rgas * lk, i);
    }
    Roots findrxnt(int16 i, real p, real, real) override {
        const real lk = fx.lnk(i);
        const real t = -(fx.pa[i] + fx.pc[i] * p) / (fx.pb[i] + rgas * lk);
        return place(t, fx.win.twinlow, fx.win.twinhigh, fx.pc[i], fx.pb[i] + rgas * lk, i);
    }
    ReactionDg calcdgr(int16 i, real p, real t, real, real) override {
        const real lk = fx.lnk(i);
        ReactionDg d;
        d.lnk = lk;
        d.dg = fx.pa[i] + fx.pb[i] * t + fx.pc[i] * p + rgas * t * lk;
        d.dgdp = fx.pc[i];
        d.dgdt = fx.pb[i] + rgas * lk;
        return d;
    }
    real vardg(int16 i, real t) const {
        real vh = 0;
        real vl = 0;
        for (int16 k = 1; k <= fx.nem; ++k) {
            vl += fx.varlna[k] * (*fx.r)[i][k] * (*fx.r)[i][k];
            for (int16 l = 1; l <= fx.nem; ++l)
                vh += (*fx.r)[i][k] * (*fx.cov)[k][l] * (*fx.r)[i][l];
        }
        return vh + vl * rgas * rgas * t * t;
    }
    RxnPosition calcpsd(int16 i, real t, real u, real v) override {
        const Roots rt = findrxnp(i, t, u, v);
        setlnavar();
        return RxnPosition{rt.x1, std::sqrt(vardg(i, t)) / std::fabs(fx.pc[i])};
    }
    RxnPosition calctsd(int16 i, real p, real u, real v) override {
        const Roots rt = findrxnt(i, p, u, v);
        setlnavar();
        return RxnPosition{rt.x1, std::sqrt(vardg(i, rt.x1)) / std::fabs(rt.dgdt1)};
    }
    void setlnavar() override {
        for (int16 k = 1; k <= fx.nem; ++k) {
            const real a = fx.act[k];
            fx.varlna[k] = a > 0 && a < 1 ? (fx.sda[k] / a) * (fx.sda[k] / a) : 0;
        }
    }
    void calcrxnlna() override {
        for (int16 i = 1; i <= fx.nreac; ++i) fx.rxnlna[i] = fx.lnk(i);
    }
    void updateactivity(real p, real t) override {
        fx.updates.emplace_back(p, t);
        if (fx.onupdate) fx.onupdate(p, t);
        calcrxnlna();
    }
    std::string reactiontext(int16 i) override { return std::to_string(i) + ")  reaction"; }
};

inline RockFixture::RockFixture() : rx(std::make_unique<PlaneReactions>(*this)) {
    ts.ses.ch.activechannels = 1;
    ts.ses.ch.dontwrapon = false;
    window(1, 20, 673.15L, 1173.15L);
}

}  // namespace qv::test

namespace qv::test {

// Eight end-members and three reactions whose roots lie near 8 kbar at 600 C and near 600 C at
// 8 kbar; the covariance has correlated off-diagonal terms so that every term of the least
// squares counts.
inline void samplerock(RockFixture& f) {
    f.em(1, "py", 0.1L, 0.02L);
    f.em(2, "gr", 0.05L, 0.01L);
    f.em(3, "alm", 0.6L, 0.05L);
    f.em(4, "an", 0.5L, 0.05L);
    f.em(5, "ky", 1, 0);
    f.em(6, "q", 1, 0);
    f.em(7, "en", 0.7L, 0.05L);
    f.em(8, "fs", 0.3L, 0.04L);
    const real t = 873.15L;
    const real p = 8;
    // a of each plane puts its root with the rock's activities at (p + shift, t).
    auto plane = [&](int16 i, std::initializer_list<int> c, real b, real dv, real shift) {
        f.reaction(i, c, 0, b, dv);
        f.pa[i] = -(b * t + dv * (p + shift) + rgas * t * f.lnk(i));
    };
    plane(1, {0, 1, 0, -3, 2, 1, 0, 0}, 0.15L, -6.6L, 0.3L);
    plane(2, {1, 2, 0, -6, 3, 3, -3, 0}, 0.09L, -3.9L, -0.8L);
    plane(3, {0, 2, 1, -6, 3, 3, 0, -3}, 0.11L, -4.4L, 1.1L);
    // Oxide compositions (MgO, CaO, FeO, Al2O3, SiO2) in which the three reactions balance.
    const int comp[8][5] = {{3, 0, 0, 1, 3}, {0, 3, 0, 1, 3}, {0, 0, 3, 1, 3}, {0, 1, 0, 1, 2},
                            {0, 0, 0, 1, 1}, {0, 0, 0, 0, 1}, {1, 0, 0, 0, 1}, {0, 0, 1, 0, 1}};
    f.ncomp = 5;
    for (int16 k = 1; k <= 8; ++k) {
        for (int16 j = 1; j <= 5; ++j) (*f.c)[j][k] = static_cast<int16>(comp[k - 1][j - 1]);
    }
    emmatrix& c = *f.cov;
    const real sd[] = {1.1L, 1.4L, 1.2L, 0.9L, 0.6L, 0.4L, 0.8L, 1.0L};
    for (int16 i = 1; i <= 8; ++i) {
        for (int16 j = 1; j <= 8; ++j) {
            const real rho = i == j ? 1 : 0.12L * std::cos(static_cast<real>(i * 7 + j * 7) / 5);
            c[i][j] = rho * sd[i - 1] * sd[j - 1];
        }
    }
    f.rx->setlnavar();
    f.rx->calcrxnlna();
}

}  // namespace qv::test
