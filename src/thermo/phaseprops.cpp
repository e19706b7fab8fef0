#include "thermo/phaseprops.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "thermo/thermowork.hpp"

namespace qv {
namespace {

constexpr real dpstep = 2e-5L;  // kbar
constexpr real dtstep = 2e-4L;  // K

}  // namespace

// Working tables of `calcgphase` (38 kB), made once instead of at each call: each call reads only
// the entries it has written itself.
struct PhasePropsScratch {
    std::array<emvector, 6> work;
};

namespace {

std::array<emvector, 6>& phasepropsscratch(ThermoWork& w) {
    if (!w.phaseprops) w.phaseprops = std::make_shared<PhasePropsScratch>();
    return w.phaseprops->work;
}

// Bit for bit the same data rows (the sign of a zero included; a value that is not a number
// matches nothing). A kept row is a copy of the other, padding and all, as a rule: one compare of
// the whole storage then leaves only the test for such values.
bool samerow(const tdvector& a, const tdvector& b) {
    // Equal storage means equal values, padding bytes included; unequal padding only sends the
    // rows to the value compare below.
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison,cert-exp42-c,cert-flp37-c)
    if (std::memcmp(a.a.data(), b.a.data(), sizeof a.a) == 0) {
        for (int k = 1; k <= ntd; ++k) {
            if (std::isnan(a[k])) return false;
        }
        return true;
    }
    for (int k = 1; k <= ntd; ++k) {
        if (!(a[k] == b[k]) || std::signbit(a[k]) != std::signbit(b[k])) return false;
    }
    return true;
}

// The solve's end-member G values that may stand at p, t: none where a G evaluation may write
// anything, or where the solve's last point or settings differ.
const EmGCache* solvedat(const PhaseEmTables& tab, real p, real t) {
    const EmGCache* c = tab.solved;
    if (c == nullptr || !c->any || !(c->atp == p) || !(c->att == t) || !(c->gs == tab.gs)) {
        return nullptr;
    }
    if (tab.gs.pthwarnonly || tab.gs.debuglev == 5 || tab.run.script.debuglev == 5) return nullptr;
    return c;
}

}  // namespace

void calcphasecomp(const ptype1& ph, const eqvector& x, int offset, const SystemComponents& sc,
                   cvector& comp) {
    for (int k = 1; k <= sc.ncomp; ++k) comp[k] = 0;
    for (int e = 1; e <= ph.nem; ++e) {
        const real pe = evalexpr(x, offset, ph.p[e]);
        for (int k = 1; k <= sc.ncomp; ++k) {
            comp[k] += pe * doubleratio(ph.em[e].comp[k], sc.compdenom[k]);
        }
    }
}

int16 calcphaseemg(Session& ses, const PhaseEmTables& tab, const bemvector& phases,
                   const eqvector& x, emvector& g, emvector& mu, emvector& activity, real p, real t,
                   real u, real v) {
    const Run& run = tab.run;
    const Dataset& ds = run.dataset;
    const GemTables gt{tab.td, ds.emnames, phasemakes(*run.arrays.prec0, *run.arrays.prec1)};
    const EmGCache* solved = solvedat(tab, p, t);
    int16 n = 0;
    auto one = [&] {
        ++n;
        tab.td[n][27] = u;
        tab.td[n][28] = v;
        if (solved != nullptr && solved->kept[n] && solved->have[0][n]) {
            const auto k = static_cast<std::size_t>(n);
            if (samerow(solved->rows[k], tab.td[n]) && solved->names[k] == ds.emnames[n]) {
                g[n] = solved->g[0][n];
                ses.gemcount += solved->calls[n];
                return;
            }
        }
        g[n] = gemdriver(ses, tab.gs, gt, n, p, t);
    };
    for (int16 j = 1; j <= ds.nem; ++j) {
        if (!tab.xref.phasestart[j]) continue;
        const ptype1& ph = (*run.arrays.prec1)[tab.xref.emphase[j]];
        for (int e = 1; e <= ph.nem; ++e) one();
    }
    for (int16 i = 1; i <= run.npure; ++i) {
        if (phases[run.nss + i]) one();
    }
    // The working tables are kept from call to call: an entry the activities leave unset reads 0,
    // as it would in a fresh table.
    for (int16 k = 1; k <= n; ++k) activity[k] = 0;
    tab.activities(x, p, t, activity);
    for (int16 k = 1; k <= n; ++k) mu[k] = g[k] + rgas * t * std::log(activity[k]);
    return n;
}

Fixed1<int16, maxcomp> makemw2c(const ComponentTable& oxides, const SystemComponents& sc,
                                const Fixed1<bool, maxcomp>& syscomp) {
    Fixed1<int16, maxcomp> map;
    int k = 0;
    for (int c = 1; c <= sc.ncomp; ++c) {
        if (!syscomp[c]) continue;
        ++k;
        int16 found = 0;
        for (int16 i = 1; i <= maxcomp; ++i) {
            if (oxides.oxidenames[i] == sc.compnames[c]) {
                found = i;
                break;
            }
        }
        if (found == 0) bomb("makemw2c", sc.compnames[c] + " not found??", yourfault);
        map[k] = found;
    }
    return map;
}

void clear_sums(SystemProps& sums) {
    for (int i = 1; i <= sums.nbulk; ++i) {
        sums.bulk[i].fill(0);
        sums.g[i] = sums.h[i] = sums.s[i] = sums.v[i] = sums.density[i] = 0;
    }
    sums.nbulk = 1;
}

void copy_sums(SystemProps& to, const SystemProps& from) {
    const int n = std::max(to.nbulk, from.nbulk);
    for (int i = 1; i <= n; ++i) {
        to.bulk[i] = from.bulk[i];
        to.g[i] = from.g[i];
        to.h[i] = from.h[i];
        to.s[i] = from.s[i];
        to.v[i] = from.v[i];
        to.density[i] = from.density[i];
    }
    to.nbulk = from.nbulk;
}

void copy_props(PhaseProps& to, const PhaseProps& from, int nbulk) {
    to.comp = from.comp;
    const int n = std::max(1, nbulk);
    for (int i = 1; i <= n; ++i) {
        to.mode[i] = from.mode[i];
        to.factor[i] = from.factor[i];
    }
    to.nem = from.nem;
    to.p = from.p;
    to.gem = from.gem;
    to.rtlna = from.rtlna;
    to.g = from.g;
    to.s = from.s;
    to.v = from.v;
    to.h = from.h;
    to.density = from.density;
}

void calcgphase(Session& ses, const PhaseEmTables& tab, const bemvector& phases, const eqvector& x,
                real p, real t, real u, real v, PhasePropsTable& props, SystemProps* sums) {
    const Run& run = tab.run;
    const SystemComponents& sc = run.dataset.components;
    const Fixed1<int16, maxcomp> map = makemw2c(run.comps, sc, tab.syscomp);
    int nsys = 0;
    for (int c = 1; c <= sc.ncomp; ++c) nsys += tab.syscomp[c] ? 1 : 0;
    ThermoWork& tw = thermowork(ses);
    const ScratchHold hold(tw.phasepropsinuse, "calcgphase");
    std::array<emvector, 6>& work = phasepropsscratch(tw);
    emvector& g0 = work[0];
    emvector& mu0 = work[1];
    emvector& mup = work[2];
    emvector& mut = work[3];
    emvector& act = work[4];
    emvector& scratch = work[5];
    calcphaseemg(ses, tab, phases, x, scratch, mup, act, p + dpstep, t, u, v);
    calcphaseemg(ses, tab, phases, x, scratch, mut, act, p, t + dtstep, u, v);
    calcphaseemg(ses, tab, phases, x, g0, mu0, act, p, t, u, v);
    if (sums != nullptr) {
        // (the rows above nbulk are zero, as in every table that `clear_sums` left)
        for (int i = 1; i <= sums->nbulk; ++i) {
            sums->g[i] = sums->h[i] = sums->s[i] = sums->v[i] = 0;
        }
    }
    auto finish = [&](PhaseProps& ph, bool solution) {
        real mass = 0;
        for (int k = 1; k <= nsys; ++k) mass += run.comps.oxidemass[map[k]] * ph.comp[k];
        if (ph.v == 0) bomb("calcgphase", solution ? "vph=0" : "vph=0 2", yourfault);
        ph.density = mass / (10 * ph.v);
        if (sums == nullptr) return;
        for (int i = 1; i <= sums->nbulk; ++i) {
            const real w = ph.mode[i] * ph.factor[i];
            sums->g[i] += w * ph.g;
            sums->h[i] += w * ph.h;
            sums->s[i] += w * ph.s;
            sums->v[i] += w * ph.v;
        }
    };
    int16 n = 0;
    int r = 0;
    for (int16 j = 1; j <= run.dataset.nem; ++j) {
        if (!tab.xref.phasestart[j]) continue;
        const ptype1& ph = (*run.arrays.prec1)[tab.xref.emphase[j]];
        PhaseProps& pp = props[++r];
        pp.nem = ph.nem;
        pp.g = pp.s = pp.v = pp.h = 0;
        for (int e = 1; e <= ph.nem; ++e) {
            ++n;
            const real pe = evalexpr(x, tab.xref.emvarpos[j], ph.p[e]);
            pp.p[e] = pe;
            pp.rtlna[e] = rgas * t * std::log(act[n]);
            pp.gem[e] = g0[n];
            const real s = -(mut[n] - mu0[n]) / dtstep;
            pp.g += pe * mu0[n];
            pp.s += pe * s;
            pp.v += pe * (mup[n] - mu0[n]) / dpstep;
            pp.h += pe * (mu0[n] + t * s);
        }
        finish(pp, true);
    }
    for (int16 i = 1; i <= run.npure; ++i) {
        if (!phases[run.nss + i]) continue;
        ++n;
        PhaseProps& pp = props[++r];
        pp.nem = 1;
        pp.p[1] = 1;
        pp.gem[1] = mu0[n];
        pp.rtlna[1] = 0;
        pp.g = mu0[n];
        pp.s = -(mut[n] - mu0[n]) / dtstep;
        pp.v = (mup[n] - mu0[n]) / dpstep;
        pp.h = mu0[n] + t * pp.s;
        const real a = (*run.arrays.prec0)[i].activity;
        if (a != 1) {
            pp.rtlna[1] = rgas * t * std::log(a);
            pp.g += pp.rtlna[1];
        }
        finish(pp, false);
    }
    if (sums == nullptr) return;
    for (int i = 1; i <= sums->nbulk; ++i) {
        real mass = 0;
        for (int k = 1; k <= nsys; ++k) mass += sums->bulk[i][k] * run.comps.oxidemass[map[k]];
        sums->density[i] = sums->v[i] == 0 ? 0 : mass / (10 * sums->v[i]);
    }
}

}  // namespace qv
