#include "thermo/ordering.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/convert.hpp"
#include "thermo/thermowork.hpp"
#include "thermo/volume.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

// lround to a 16-bit integer; within the range by truncation and the exact fraction left over.
int16 round16(real x) {
    if (x > -32767 && x < 32767) {
        const auto i = static_cast<int>(x);
        const real frac = x - static_cast<real>(i);
        if (frac >= 0.5L) return static_cast<int16>(i + 1);
        if (frac <= -0.5L) return static_cast<int16>(i - 1);
        return static_cast<int16>(i);
    }
    return narrow16(std::lround(x));
}

real landau_q298(real tc0) {
    // A transition below Tr leaves the reference state disordered.
    return tc0 > tr ? std::sqrt(1 - tr / tc0) : 0;
}

// x ln(x/c) with its limit 0 at x = 0 (a site that is empty at full order).
real xlnx(real x, real c) {
    return x == 0 ? 0 : x * std::log(x / c);
}

// The logarithm of bisectfunc in double precision at x: it depends on n, f and x alone.
double bwlogd(double rn, double fd, double xd) {
    return fd < 0 ? std::log((1 - xd) * rn / (1 + rn * xd)) - fd * std::log((1 - xd) / (rn + xd))
                  : std::log((1 - xd) * (1 - xd) * rn / ((1 + rn * xd) * (rn + xd)));
}

// The same in extended precision, as bisectfunc forms it.
real bwlog(real rn, real f, real x) {
    if (f < 0) return std::log((1 - x) * rn / (1 + rn * x)) - f * std::log((1 - x) / (rn + x));
    return std::log((1 - x) * (1 - x) * rn / ((1 + rn * x) * (rn + x)));
}

// The halvings of bisectx visit the same points call after call: 1/2, then the midpoints of the
// halves, and so on down a binary tree, and the ends of the range. The logarithms of bisectfunc
// at those points depend on n and f alone, so they are kept per (n, f) for the first levels of
// the tree (node 1 is 1/2, the children of node k are 2k and 2k + 1) and for the ends: formed
// on the first visit, each is the value the call would form, to the bit. The deeper levels are
// kept by slot (the last bits of the node), each with its node: the evaluations of a search, and
// the differences of G, end their halvings close to one another and visit the same deep nodes.
// Some 30 kB for each (n, f).
struct HalvingLogs {
    static constexpr int levels = 11;
    static constexpr int nodes = 1 << levels;  // nodes 1 .. nodes - 1 are kept
    static constexpr int deepslots = 1024;
    static constexpr int lonode = -1;  // the end 1e-7
    static constexpr int hinode = -2;  // the end 0.9999999
    std::vector<double> l = std::vector<double>(nodes);
    std::vector<unsigned char> have = std::vector<unsigned char>(nodes);
    std::vector<int> deepnode = std::vector<int>(deepslots);  // 0: an empty slot
    std::vector<double> deepl = std::vector<double>(deepslots);
    real ext[2] = {};  // extended logarithms at the ends
    bool haveext[2] = {};
    double end[2] = {};
    bool haveend[2] = {};
};

// The halving logarithms of the last few (n, f).
struct HalvingLogsKept {
    struct Kept {
        int n = 0;
        real f = 0;
        std::unique_ptr<HalvingLogs> logs;
    };
    static constexpr int nkept = 6;
    Kept kept[nkept];
    int next = 0;
};

// The configurational terms x ln(x/c) of the Bragg-Williams entropy at order fraction q: they
// depend on n and q alone, and the order fractions are points of the halving tree, which a
// search along a line or the differences of G meet again and again, so they are kept by slot
// (from the bits of q). Each is the value formed at the call, to the bit.
struct BwLogs {
    real l1, l2, l3, l4;
};

struct BwLogsKept {
    struct Kept {
        real n = 0, q = 0;
        BwLogs l{};
        bool used = false;
    };
    static constexpr int slots = 256;
    Kept kept[slots];
};

}  // namespace

struct OrderingKept {
    HalvingLogsKept halvings;
    BwLogsKept bw;
};

namespace {

OrderingKept& orderingkept(ThermoWork& w) {
    if (!w.ordering) w.ordering = std::make_shared<OrderingKept>();
    return *w.ordering;
}

HalvingLogs& halvinglogs(ThermoWork& w, int n, real f) {
    HalvingLogsKept& h = orderingkept(w).halvings;
    for (HalvingLogsKept::Kept& k : h.kept) {
        if (k.logs && k.n == n && k.f == f && (f != 0 || std::signbit(k.f) == std::signbit(f))) {
            return *k.logs;
        }
    }
    HalvingLogsKept::Kept& k = h.kept[h.next];
    h.next = (h.next + 1) % HalvingLogsKept::nkept;
    k.n = n;
    k.f = f;
    k.logs = std::make_unique<HalvingLogs>();
    return *k.logs;
}

// The points of the kept levels of the halving tree, the same for every call: x as the halvings
// form it ((lo + hi) / 2 of the interval the path leads to), its double value and 2 x - 1 in
// double, which the double-precision decisions take.
struct HalvingTree {
    std::vector<real> x = std::vector<real>(HalvingLogs::nodes);
    std::vector<double> xd = std::vector<double>(HalvingLogs::nodes);
    std::vector<double> s = std::vector<double>(HalvingLogs::nodes);
};

const HalvingTree& halvingtree() {
    static const HalvingTree tree = [] {
        HalvingTree h;
        std::vector<real> lo(HalvingLogs::nodes), hi(HalvingLogs::nodes);
        h.x[1] = 0.5L;
        lo[1] = 1e-7L;
        hi[1] = 0.9999999L;
        for (int k = 2; k < HalvingLogs::nodes; ++k) {
            const int up = k / 2;
            const auto u = static_cast<std::size_t>(up);
            const auto v = static_cast<std::size_t>(k);
            lo[v] = k % 2 == 0 ? lo[u] : h.x[u];
            hi[v] = k % 2 == 0 ? h.x[u] : hi[u];
            h.x[v] = (lo[v] + hi[v]) / 2;
        }
        for (std::size_t k = 1; k < h.x.size(); ++k) {
            h.xd[k] = static_cast<double>(h.x[k]);
            h.s[k] = 2 * h.xd[k] - 1;
        }
        return h;
    }();
    return tree;
}

// bisectfunc for the bisection's decisions only: its sign, and whether it lies below the 0.001 kJ
// stop. Evaluated in double precision (its logarithms five times cheaper, within 1e-8 kJ of the
// extended value on [1e-7, 0.9999999], the worst case at 1 - x near 1e-7), the value decides
// wherever it is clear of 0 and of 0.001 by far more than that; close to either the extended
// value decides, so the bisection takes the same path as in extended precision. Its call gives
// the value at an end of the range, from the logarithms kept in `logs`; bisectx forms the values
// at the halving points itself, with the same decision rule (`clear`).
struct BisectDecider {
    int n;
    real t, dg, w, f;
    HalvingLogs* logs = nullptr;
    double rn = n;
    double coef = static_cast<double>((f < 0 ? 1 : f) * rgas * t) * n / (n + 1.0);
    double dgd = static_cast<double>(dg);
    double wd = static_cast<double>(w);
    double fd = static_cast<double>(f);

    // The double value d decides: it is clear of 0 and of 0.001 by far more than its error.
    static bool clear(double d) {
        constexpr double margin = 1e-6;  // kJ
        const double a = std::fabs(d);
        return a > margin && std::fabs(a - 0.001) > margin;
    }

    // The value at an end of the range (`node` is HalvingLogs::lonode or hinode), x there.
    real operator()(real x, int node) const {
        const double xd = static_cast<double>(x);
        const int e = -1 - node;
        if (!logs->haveend[e]) {
            logs->end[e] = bwlogd(rn, fd, xd);
            logs->haveend[e] = true;
        }
        const double d = coef * logs->end[e] + dgd + (2 * xd - 1) * wd;
        if (clear(d)) return d;
        if (!logs->haveext[e]) {
            logs->ext[e] = bwlog(static_cast<real>(n), f, x);
            logs->haveext[e] = true;
        }
        return bisectfuncwith(logs->ext[e], x);
    }

    // bisectfunc at x from its logarithm there.
    real bisectfuncwith(real lg, real x) const {
        const real nr = static_cast<real>(n);
        if (f < 0) return (nr / (nr + 1)) * rgas * t * lg + dg + (2 * x - 1) * w;
        return (nr * f / (nr + 1)) * rgas * t * lg + dg + (2 * x - 1) * w;
    }
};

}  // namespace

real landaug(const tdvector& row, bool ds190, std::string_view name, real p, real t,
             OrderState order) {
    const real tc0 = row[14];
    const real smax = row[15];
    const real vmax = row[16];
    const real q298 = landau_q298(tc0);
    const real tcrit = tc0 + p * vmax / smax;
    real q = 0;
    if (ds190) {
        q = (t <= tcrit && tcrit > 0) ? std::sqrt(1 - t / tcrit) : 0;
    } else {
        q = (t <= tcrit && tc0 > 0) ? std::sqrt((tcrit - t) / tc0) : 0;
    }
    if (order == OrderState::ordered) q = 1;
    if (order == OrderState::disordered) q = 0;
    const real sod = smax * (q298 - q);
    real hod = 0;
    if (ds190) {
        const Murnaghan m = murnaghan(name, row, t);
        hod = smax * (tc0 * q298 * (1 - q298 * q298 / 3) - tcrit * q * (1 - q * q / 3)) +
              vmax * q298 * m.k * m.f * (std::pow(1 + m.n * p / m.k, 1 - 1 / m.n) - 1) / (m.n - 1);
    } else {
        hod = (q298 - q) * p * vmax +
              smax * tc0 * ((q298 - q) - (q298 * q298 * q298 - q * q * q) / 3);
    }
    return hod - t * sod;
}

real bisectfunc(int n, real t, real dg, real w, real f, real x) {
    const real rn = static_cast<real>(n);
    if (f < 0) return (rn / (rn + 1)) * rgas * t * bwlog(rn, f, x) + dg + (2 * x - 1) * w;
    return (rn * f / (rn + 1)) * rgas * t * bwlog(rn, f, x) + dg + (2 * x - 1) * w;
}

// The order fraction by up to 20 halvings of [1e-7, 0.9999999], stopping as soon as bisectfunc
// is within 0.001 kJ of 0. The logarithms at the points of the halvings are kept from the calls
// before (HalvingLogs), so that a halving costs a few operations in double precision; the
// halvings, and so the result, are those of evaluating bisectfunc in extended precision.
real bisectx(ThermoWork& work, int n, real t, real dg, real w, real f) {
    constexpr real xlo = 1e-7L;
    constexpr real xhi = 0.9999999L;
    const BisectDecider decide{n, t, dg, w, f, &halvinglogs(work, n, f)};
    // The end 0.9999999 decides first, the value at 1e-7 is not needed when it does.
    const real fhi = decide(xhi, HalvingLogs::hinode);
    if (fhi > 0) return xhi;
    const real flo = decide(xlo, HalvingLogs::lonode);
    if (flo < 0) return xlo;
    // The kept levels of the tree, with x and its logarithms from the tables; i is the
    // depth of `node`. The value at the first point does not stop the halvings. Where the
    // double value is clear, its decisions are those of the extended value (it lies farther from
    // 0.001 than the double and extended 0.001 lie apart).
    static_assert(HalvingLogs::levels <= 20);
    const HalvingTree& tree = halvingtree();
    HalvingLogs& logs = *decide.logs;
    double* const lk = logs.l.data();
    unsigned char* const have = logs.have.data();
    const double* const txd = tree.xd.data();
    const double* const ts = tree.s.data();
    const double coef = decide.coef;
    const double dgd = decide.dgd;
    const double wd = decide.wd;
    // The value at a node, from its kept logarithm (formed on the first visit).
    const auto valueat = [&](std::size_t k) {
        if (have[k] == 0) {
            lk[k] = bwlogd(decide.rn, decide.fd, txd[k]);
            have[k] = 1;
        }
        return coef * lk[k] + dgd + ts[k] * wd;
    };
    int node = 1;
    int i = 0;
    double dnode = valueat(1);
    for (;; ++i) {
        const auto k = static_cast<std::size_t>(node);
        // The values at both children are formed before the decision at `node`, which they do
        // not depend on: the path does not wait for the tables after each decision.
        const bool inner = 2 * node + 1 < HalvingLogs::nodes;
        const double d0 = inner ? valueat(2 * k) : 0;
        const double d1 = inner ? valueat(2 * k + 1) : 0;
        bool positive = false, stop = false;
        if (std::fabs(dnode) > 0.0010011) {
            // Clear, and above the stop (the common case, with one comparison).
            positive = dnode > 0;
        } else if (BisectDecider::clear(dnode)) {
            positive = dnode > 0;
            stop = std::fabs(dnode) < 0.001;
        } else {
            const real fx = bisectfunc(n, t, dg, w, f, tree.x[k]);
            positive = fx > 0;
            stop = std::fabs(fx) < 0.001L;
        }
        if (i > 0 && stop) return tree.x[k];
        node = 2 * node + (positive ? 1 : 0);
        if (node >= HalvingLogs::nodes) break;
        dnode = positive ? d1 : d0;
    }
    ++i;  // the halving that leads to `node`
    // The interval it halves: its ends are the points above it where the path turned right (lo)
    // and left (hi), the nearest of each, else the ends of the range.
    real lo = xlo;
    real hi = xhi;
    bool havelo = false, havehi = false;
    for (int k = node; k > 1 && !(havelo && havehi); k /= 2) {
        const real up = tree.x[static_cast<std::size_t>(k / 2)];
        if (k % 2 == 1 && !havelo) {
            lo = up;
            havelo = true;
        } else if (k % 2 == 0 && !havehi) {
            hi = up;
            havehi = true;
        }
    }
    // Deeper, x is formed at each visit (its logarithm is kept by slot); the value is that of
    // BisectDecider at a deep node.
    int* const deepnode = logs.deepnode.data();
    double* const deepl = logs.deepl.data();
    const auto deep = [&](real x) -> real {
        const double xd = static_cast<double>(x);
        const auto slot = static_cast<std::size_t>(node & (HalvingLogs::deepslots - 1));
        if (deepnode[slot] != node) {
            deepl[slot] = bwlogd(decide.rn, decide.fd, xd);
            deepnode[slot] = node;
        }
        const double d = coef * deepl[slot] + dgd + (2 * xd - 1) * wd;
        if (BisectDecider::clear(d)) return d;
        return bisectfunc(n, t, dg, w, f, x);
    };
    real x = (lo + hi) / 2;
    real fx = deep(x);
    if (std::fabs(fx) < 0.001L) return x;
    for (++i; i <= 20; ++i) {
        if (fx > 0) {
            lo = x;
            node = 2 * node + 1;
        } else {
            hi = x;
            node = 2 * node;
        }
        x = (lo + hi) / 2;
        fx = deep(x);
        if (std::fabs(fx) < 0.001L) break;
    }
    return x;
}

namespace {

bool samebits(real a, real b) {
    return a == b && (a != 0 || std::signbit(a) == std::signbit(b));
}

BwLogs bwlogs(ThermoWork& w, real n, real q) {
    static_assert(BwLogsKept::slots == 256);  // the 8 bits of the shift below
    const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(q));
    BwLogsKept::Kept& k = orderingkept(w).bw.kept[(bits * 0x9e3779b97f4a7c15ULL) >> 56];
    if (k.used && samebits(k.n, n) && samebits(k.q, q)) return k.l;
    k.n = n;
    k.q = q;
    k.l = {xlnx(1 + n * q, n + 1), n * xlnx(1 - q, (n + 1) / n), n * xlnx(1 - q, n + 1),
           n * xlnx(n + q, n + 1)};
    k.used = true;
    return k.l;
}

// Bragg-Williams G at order fraction q with its partial derivatives at fixed q; nbw is row 24
// rounded.
GTerm braggwilliams_terms(ThermoWork& work, const tdvector& row, int16 nbw, real q, real p,
                          real t) {
    const real dh = row[20], dv = row[21], w = row[22], wv = row[23];
    const real n = static_cast<real>(nbw);
    const real f = row[25];
    const real a = dh + p * dv;
    const real b = w + p * wv;
    const real hod = a + q * ((w - dh) + p * (wv - dv)) - b * q * q;
    const BwLogs l = bwlogs(work, n, q);
    const real sod = f >= 0 ? -rgas * f * (l.l1 + l.l3 + l.l2 + l.l4) / (n + 1)
                            : -rgas * (l.l1 + l.l2 - f * (l.l3 + l.l4)) / (n + 1);
    return {hod - t * sod, dv + q * (wv - dv) - wv * q * q, -sod};
}

// Row 24 rounded (0 in the 190 layout): most rows hold an exact 0 there.
int16 bwsites(const GemSettings& gs, const tdvector& row) {
    return gs.ds190 || row[24] == 0 ? 0 : round16(row[24]);
}

real bw_q(ThermoWork& w, const tdvector& row, int16 nbw, real p, real t, OrderState order) {
    if (order != OrderState::equilibrium) return order == OrderState::ordered ? 1 : 0;
    const real a = row[20] + p * row[21];
    const real b = row[22] + p * row[23];
    return bisectx(w, nbw, t, a, b, row[25]);
}

}  // namespace

real braggwilliamsg(ThermoWork& w, const tdvector& row, real q, real p, real t) {
    return braggwilliams_terms(w, row, round16(row[24]), q, p, t).g;
}

real gorder(ThermoWork& w, const GemSettings& gs, const tdvector& row, std::string_view name,
            real p, real t, OrderState order) {
    const int16 nbw = bwsites(gs, row);
    if (nbw > 0) {
        return braggwilliams_terms(w, row, nbw, bw_q(w, row, nbw, p, t, order), p, t).g;
    }
    if (row[15] > 0) return landaug(row, gs.ds190, name, p, t, order);
    return 0;
}

bool gorder_derivs(ThermoWork& w, const GemSettings& gs, const tdvector& row, real p, real t,
                   OrderState order, GTerm& out) {
    const int16 nbw = bwsites(gs, row);
    if (nbw > 0) {
        out = braggwilliams_terms(w, row, nbw, bw_q(w, row, nbw, p, t, order), p, t);
        return true;
    }
    if (!(row[15] > 0)) {
        out = {};
        return true;
    }
    if (gs.ds190) return false;
    // landaug's G, and its partial derivatives at fixed Q: dG/dQ vanishes at the equilibrium Q
    // = ((Tc - T)/Tc0)^1/2 and Q is constant at 0 above Tc and in the held states.
    const real tc0 = row[14];
    const real smax = row[15];
    const real vmax = row[16];
    const real q298 = landau_q298(tc0);
    const real tcrit = tc0 + p * vmax / smax;
    real q = (t <= tcrit && tc0 > 0) ? std::sqrt((tcrit - t) / tc0) : 0;
    if (order == OrderState::ordered) q = 1;
    if (order == OrderState::disordered) q = 0;
    const real sod = smax * (q298 - q);
    const real hod =
        (q298 - q) * p * vmax + smax * tc0 * ((q298 - q) - (q298 * q298 * q298 - q * q * q) / 3);
    out = {hod - t * sod, (q298 - q) * vmax, -sod};
    return true;
}

}  // namespace qv
