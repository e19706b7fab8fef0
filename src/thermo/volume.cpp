#include "thermo/volume.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "thermo/einstein.hpp"
#include "thermo/realbits.hpp"
#include "thermo/thermowork.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;
constexpr real pr = prefk;

// (1 + z)^e for z > -1: exp(e ln(1 + z)) is a few times faster than the extended pow and agrees
// with it to a few units in the last place.
real onepluspow(real z, real e) {
    return std::exp(e * std::log1p(z));
}

// Thermal-pressure-free Tait integral from Pr to p, normalised so that V is the volume at Pr;
// `norm` is (1 - a) + a (1 + b Pr)^-c, `powpr` and `powp` are (1 + b (Pr - Pth))^(1 - c) and
// (1 + b (p - Pth))^(1 - c).
real taitgvpow(real v, const Tait& tc, real norm, real p, real powpr, real powp) {
    const real a = tc.a, b = tc.b, c = tc.c;
    return v * ((1 - a) * (p - pr) + a * (powpr - powp) / (b * (c - 1))) / norm;
}

real taitgv(real v, const Tait& tc, real norm, real p, real pth) {
    const real b = tc.b, c = tc.c;
    return taitgvpow(v, tc, norm, p, onepluspow(b * (pr - pth), 1 - c),
                     onepluspow(b * (p - pth), 1 - c));
}

real taitnorm(const Tait& tc) {
    return (1 - tc.a) + tc.a * onepluspow(tc.b * pr, -tc.c);
}

// The terms of a Tait row at one temperature: the thermal pressure with its T derivative and,
// where b Pth <= 1 (the run neither stops nor clamps), ln(1 + b (Pr - Pth)) with the powers of
// 1 + b (Pr - Pth) that the volume integral and its T derivative take. Each is the value of the
// same expression formed at the call, to the last bit.
// Left unset when made: `taitrow` marks a row's entries unused when it forms the row, before any
// is read, and `taitatt` sets every field of an entry it fills.
struct TaitAtT {
    real t;
    bool used;
    real pth;
    real dpthdt;
    bool clear;   // b Pth <= 1
    real lpr;     // ln(1 + b (Pr - Pth))
    real powpr;   // (1 + b (Pr - Pth))^(1 - c)
    real powpr0;  // (1 + b (Pr - Pth))^-c, once haspowpr0
    bool haspowpr0;
};

// What the Tait volume term needs of a row alone, formed once per row: the Tait coefficients,
// the normalisation at Pr and the thermal-pressure scale and reference occupation; and its terms
// at the last few temperatures asked for (a root search at fixed T, and the differences in P, ask
// for them again and again; a search in T comes back to the ends of its window).
struct TaitRow {
    real key[6] = {};  // V, a0, K0, K0', K0'', theta of the row the terms were formed from
    Tait tc{};
    real norm = 0;
    real pthscale = 0;  // a0 K0 theta / xi(theta/Tr), kbar
    real e0 = 0;        // E(theta/Tr)
    bool used = false;
    TaitAtT at[temperatureslots];  // by temperatureslot
};

// A small table of row terms, keyed by the row's address and checked against its values on every
// use: a row edited in place (a calibration step) gets fresh terms, and the result of a call
// never depends on the calls before it.
constexpr std::size_t ntaitrows = 64;

}  // namespace

// Made without clearing the rows' terms at temperatures (some 100 kB; see TaitAtT): a session's
// first calculation does not pay for them.
struct TaitRows {
    TaitRows() {}  // not `= default`, which would clear them
    TaitRow rows[ntaitrows];
};

namespace {

TaitRow& taitrow(ThermoWork& w, std::string_view name, const tdvector& row) {
    if (!w.tait) w.tait = std::make_shared<TaitRows>();
    const std::size_t slot = reinterpret_cast<std::uintptr_t>(&row) / sizeof(tdvector) % ntaitrows;
    TaitRow& tr_ = w.tait->rows[slot];
    // The row's values are matched bit for bit (the terms of a row with the same bits are the
    // same).
    const std::uint64_t diff = realbitdiff(row[3], tr_.key[0]) | realbitdiff(row[8], tr_.key[1]) |
                               realbitdiff(row[9], tr_.key[2]) | realbitdiff(row[10], tr_.key[3]) |
                               realbitdiff(row[11], tr_.key[4]) | realbitdiff(row[12], tr_.key[5]);
    if (tr_.used && diff == 0) return tr_;
    // Formed first, then set in place (with the terms at temperatures dropped): a row that stops
    // the run leaves the slot as it was.
    const Tait tc = taitcoefficients(name, row[9], row[10], row[11]);
    const real norm = taitnorm(tc);
    real pthscale = 0;
    real e0 = 0;
    const real theta = row[12];
    if (theta > 0) {
        const real u0 = theta / tr;
        pthscale = row[8] * row[9] * theta / xifun(u0);
        e0 = efun(u0);
    }
    const real key[6] = {row[3], row[8], row[9], row[10], row[11], row[12]};
    std::copy(std::begin(key), std::end(key), std::begin(tr_.key));
    tr_.tc = tc;
    tr_.norm = norm;
    tr_.pthscale = pthscale;
    tr_.e0 = e0;
    tr_.used = true;
    for (TaitAtT& at : tr_.at) at.used = false;
    return tr_;
}

// The same temperature to the bit (a zero of either sign kept apart).
bool samet(real a, real b) {
    return a == b && (a != 0 || std::signbit(a) == std::signbit(b));
}

// The terms of the row at t, formed on the first call at that temperature.
TaitAtT& taitatt(TaitRow& rt, const tdvector& row, real t) {
    TaitAtT& at = rt.at[temperatureslot(t)];
    if (at.used && samet(at.t, t)) return at;
    // Every field set here (the struct is not cleared first: this runs at every new
    // temperature).
    at.t = t;
    at.used = true;
    at.haspowpr0 = false;
    at.lpr = 0;
    at.powpr = 0;
    const real theta = row[12];
    if (theta > 0) {
        const real u = theta / t;
        const EinsteinPair ex = efun_xifun(u);
        at.pth = rt.pthscale * (ex.e - rt.e0);
        at.dpthdt = rt.pthscale * ex.xi / theta;
    } else {
        at.pth = row[8] * row[9] * (t - tr);  // the classical limit of a vanishing theta
        at.dpthdt = row[8] * row[9];
    }
    at.clear = !(rt.tc.b * at.pth > 1);
    if (at.clear) {
        at.lpr = std::log1p(rt.tc.b * (pr - at.pth));
        at.powpr = std::exp((1 - rt.tc.c) * at.lpr);
    }
    return at;
}

real powpr0(TaitAtT& at, const Tait& tc) {
    if (!at.haspowpr0) {
        at.powpr0 = std::exp(-tc.c * at.lpr);
        at.haspowpr0 = true;
    }
    return at.powpr0;
}

void write_pth_stop(Session& ses, const GemSettings& gs, std::string_view name, real p, real t,
                    real pth, const Tait& tc) {
    std::string line;
    addstr(realstr(gs.currentxp), 4, line);
    addstr(name, 6, line);
    addreal(6, true, 12, line, p);
    addstr(realstr(t - 273.15L), 10, line);
    addreal(6, true, 16, line, pth);
    addreal(6, true, 12, line, tc.a);
    addreal(6, true, 12, line, tc.b);
    addreal(6, true, 12, line, tc.c);
    ses.console.write(line + "\n");
}

void write_pth_warning(Session& ses, std::string_view name, real p, real t) {
    std::string line = "pth problem with ";
    line += name;
    line += " in outxy at";
    addreal(2, true, 7, line, p);
    line += ", ";
    line += realstr(t - 273.15L);
    ses.console.write(line + "\n");
}

// The modified Tait form with the Einstein thermal pressure of the row's theta (row 12).
real gv_tait(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
             real p, real t) {
    TaitRow& rt = taitrow(thermowork(ses), name, row);
    const Tait& tc = rt.tc;
    const TaitAtT& at = taitatt(rt, row, t);
    if (!at.clear) {
        if (!gs.pthwarnonly) {
            write_pth_stop(ses, gs, name, p, t, at.pth, tc);
            bomb("gem", std::string(name) + ": b Pth > 1, log(-ve)", yourfault);
        }
        write_pth_warning(ses, name, p, t);
        // Keeps 1 + b (Pr - Pth) just positive.
        return taitgv(row[3], tc, rt.norm, p, pr + 0.999L / tc.b);
    }
    const real lp = std::log1p(tc.b * (p - at.pth));
    return taitgvpow(row[3], tc, rt.norm, p, at.powpr, std::exp((1 - tc.c) * lp));
}

}  // namespace

bool gv_solid_derivs(ThermoWork& w, const GemSettings& gs, const tdvector& row,
                     std::string_view name, bool melt, real p, real t, GTerm& out, bool needp,
                     bool needt) {
    const real v = row[3];
    if (v == 0) {
        out = {};
        return true;
    }
    if (gs.ds190 || melt) return false;
    if (row[9] == 0) {
        out = {v * (p - pr), v, 0};
        return true;
    }
    // The Tait integral of gv_tait, with V = dG/dP and dG/dT through the thermal pressure; the
    // powers of 1 + b (p - Pth) share its logarithm.
    TaitRow& rt = taitrow(w, name, row);
    const Tait& tc = rt.tc;
    TaitAtT& at = taitatt(rt, row, t);
    if (!at.clear) return false;
    const real a = tc.a, c = tc.c;
    const real lp = std::log1p(tc.b * (p - at.pth));
    out = {};
    out.g = taitgvpow(v, tc, rt.norm, p, at.powpr, std::exp((1 - c) * lp));
    if (needp || needt) {
        const real atp = std::exp(-c * lp);
        if (needp) out.dgdp = v * ((1 - a) + a * atp) / rt.norm;
        if (needt) out.dgdt = v * a * (powpr0(at, tc) - atp) / rt.norm * at.dpthdt;
    }
    return true;
}

Tait taitcoefficients(std::string_view name, real k, real kp, real kpp) {
    Tait tc{};
    if (kpp == 0) {
        if (kp == 0) bad_row(name, "b(c - 1) = 0 in the Tait equation of state (K0' = 0)");
        tc = {1, kp / k, 1 / kp};
    } else {
        const real d1 = 1 + kp + k * kpp;
        const real d2 = kp + kp * kp - k * kpp;
        if (1 + kp == 0 || d1 == 0 || d2 == 0) {
            bad_row(name, "b(c - 1) = 0 in the Tait equation of state");
        }
        tc = {(1 + kp) / d1, d2 / (k * (1 + kp)), d1 / d2};
    }
    if (tc.b * (tc.c - 1) == 0) bad_row(name, "b(c - 1) = 0 in the Tait equation of state");
    return tc;
}

Murnaghan murnaghan(std::string_view name, const tdvector& row, real t) {
    Murnaghan m{};
    m.a1 = row[9];
    m.n = row[12];
    m.k = row[11] + row[13] * (t - tr);
    m.f = 1 + row[8] * ((t - tr) - 2 * m.a1 * (std::sqrt(t) - trsqrt));
    if (m.k <= 0) bad_row(name, "K(T) <= 0 in the Murnaghan equation of state");
    if (m.n == 0 || m.n == 1) bad_row(name, "Murnaghan exponent n of 0 or 1");
    return m;
}

real gv_solid(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              bool melt, real p, real t) {
    const real v = row[3];
    if (v == 0) return 0;
    if ((gs.ds190 ? row[11] : row[9]) == 0) return v * (p - pr);
    if (gs.ds190) {
        const Murnaghan m = murnaghan(name, row, t);
        const real v1 = v * m.f;
        const real v00 = v1 * std::pow(1 + m.n * pr / m.k, 1 / m.n);
        return v00 * m.k / (m.n - 1) *
               (std::pow(1 + m.n * p / m.k, 1 - 1 / m.n) -
                std::pow(1 + m.n * pr / m.k, 1 - 1 / m.n));
    }
    if (melt) {
        const real k = row[9] + row[13] * (t - tr);
        if (k <= 0) bad_row(name, "K(T) <= 0 in the melt equation of state");
        const Tait tc = taitcoefficients(name, k, row[10], row[11]);
        return taitgv(v * std::exp(row[8] * (t - tr)), tc, taitnorm(tc), p, 0);
    }
    return gv_tait(ses, gs, row, name, p, t);
}

}  // namespace qv
