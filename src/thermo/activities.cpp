#include "thermo/activities.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/powers.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "thermo/fluids.hpp"
#include "thermo/realbits.hpp"
#include "thermo/thermowork.hpp"

namespace qv {

namespace {

constexpr real dxsd = 0.001L;     // composition step of the variable-sd derivative
constexpr real fluiddt = 0.01L;   // steps of the linearised fluid sizes and interactions, K
constexpr real fluiddp = 0.001L;  // and kbar

using SfVector = Fixed1<real, maxsf>;
using PropDerivs = Fixed1<Fixed1<real, maxssvars>, maxssem>;  // [end-member][variable]

// Ideal-mixing activity of end-member m from the site fractions sf; with `positiveonly`, the
// factors whose site fraction is 0 or below are left out of the product.
real idealactivity(const ptype1& ph, int m, const SfVector& sf, bool positiveonly) {
    const ssemtype& em = ph.em[m];
    real a = em.tmfconst;
    for (int f = 1; f <= em.ntmf; ++f) {
        const tmftermtype& t = em.tmf[f];
        if (positiveonly && sf[t.sf] <= 0) continue;
        a *= rationalpower(t.pnum, t.pden, sf[t.sf]);
    }
    return a;
}

SfVector phasesitefractions(const ptype1& ph, const eqvector& x, int offset) {
    SfVector sf;
    for (int s = 1; s <= ph.nsf; ++s) sf[s] = evalexpr(x, offset, ph.sf[s]);
    return sf;
}

// The non-ideal mixing of one phase at P and T: each end-member's size alpha with its T and P
// slopes, each interaction energy (by W number) with its slopes, and the mixing fractions y with
// their derivatives: the size-weighted proportions phi of the van Laar form, or the proportions
// themselves in the symmetric form.
struct MixModel {
    const ptype1* ph = nullptr;
    bool sizeweighted = false;
    bool aqueous = false;  // solvent-solute terms of aqueous solutes take 1 + q_i q_j
    empvector alpha;
    empvector alphab;
    empvector alphac;
    Fixed1<real, maxw> w;
    Fixed1<real, maxw> wb;
    Fixed1<real, maxw> wc;
    empvector y;
    empvector dydt;
    empvector dydp;
    PropDerivs dydx;
};

// RT ln gamma of one end-member (kJ) with its derivatives by T, P and the phase's variables,
// and the sum of squares of its multipliers of the W sds.
struct ExcessTerms {
    real rtlngamma = 0;
    real dt = 0;
    real dp = 0;
    Fixed1<real, maxssvars> dx;
    real usd = 0;
};

[[noreturn]] void zerosizes(std::string_view procname, const ptype1& ph) {
    bomb(procname, "van Laar sizes sum to 0 in " + ph.name, yourfault);
}

// Sizes, proportions and the van Laar weighting of the model; dy and dydx only when asked.
void mixfractions(std::string_view procname, MixModel& mm, const empvector& prop,
                  const PropDerivs* dprop, bool dopt) {
    const ptype1& ph = *mm.ph;
    const int n = ph.nem;
    if (!mm.sizeweighted) {
        for (int i = 1; i <= n; ++i) {
            mm.y[i] = prop[i];
            mm.dydt[i] = 0;
            mm.dydp[i] = 0;
            if (dprop) {
                for (int v = 1; v <= ph.nvar; ++v) mm.dydx[i][v] = (*dprop)[i][v];
            }
        }
        return;
    }
    real s = 0;
    for (int i = 1; i <= n; ++i) s += mm.alpha[i] * prop[i];
    if (s == 0) zerosizes(procname, ph);
    for (int i = 1; i <= n; ++i) mm.y[i] = mm.alpha[i] * prop[i] / s;
    if (dopt) {
        real sb = 0;
        real sc = 0;
        for (int l = 1; l <= n; ++l) {
            sb += mm.alphab[l] * prop[l];
            sc += mm.alphac[l] * prop[l];
        }
        for (int i = 1; i <= n; ++i) {
            mm.dydt[i] = (prop[i] * mm.alphab[i] - mm.y[i] * sb) / s;
            mm.dydp[i] = (prop[i] * mm.alphac[i] - mm.y[i] * sc) / s;
        }
    }
    if (dprop) {
        for (int v = 1; v <= ph.nvar; ++v) {
            real ds = 0;
            for (int l = 1; l <= n; ++l) ds += (*dprop)[l][v] * mm.alpha[l];
            for (int i = 1; i <= n; ++i) {
                mm.dydx[i][v] = ((*dprop)[i][v] * mm.alpha[i] - mm.y[i] * ds) / s;
            }
        }
    }
}

// The excess terms of end-member m over the phase's pair terms. In the van Laar form a pair
// (i, j) weighs its energy by 2 alpha_m / (alpha_i + alpha_j); with every size 1 that is the
// symmetric form.
ExcessTerms excess(std::string_view procname, const MixModel& mm, int m, bool dopt, bool dox,
                   const Fixed1<real, maxw>* wsd) {
    const ptype1& ph = *mm.ph;
    ExcessTerms e;
    const bool solute = mm.aqueous && ph.em[m].td[17] != 0;
    for (int k = 1; k <= ph.ngterm; ++k) {
        const gtermtype& g = ph.gterm[k];
        const int i = g.i;
        const int j = g.j;
        const real qi = (m == i ? 1 : 0) - mm.y[i];
        const real qj = (m == j ? 1 : 0) - mm.y[j];
        const bool solventterm = solute && i == 1 && j == m;
        if (solventterm && !mm.sizeweighted) bomb(procname, "symmetric aq??", myfault);
        const real qq = solventterm ? 1 + qi * qj : qi * qj;
        const real w = mm.w[g.term];
        real f = qq;  // multiplier of W in -RT ln gamma
        real wp = w;  // the pair's energy as it weighs end-member m
        real wpdt = mm.wb[g.term];
        real wpdp = mm.wc[g.term];
        if (mm.sizeweighted) {
            const real den = mm.alpha[i] + mm.alpha[j];
            if (den == 0) zerosizes(procname, ph);
            f = solventterm ? 2 * mm.alpha[m] * qq / den : 2 * mm.alpha[m] * qi * qj / den;
            wp = 2 * mm.alpha[m] * w / den;
            wpdt = (2 * (mm.alphab[m] * w + mm.alpha[m] * mm.wb[g.term]) -
                    wp * (mm.alphab[i] + mm.alphab[j])) /
                   den;
            wpdp = (2 * (mm.alphac[m] * w + mm.alpha[m] * mm.wc[g.term]) -
                    wp * (mm.alphac[i] + mm.alphac[j])) /
                   den;
        }
        e.rtlngamma -= f * w;
        if (wsd) {
            const real fs = f * (*wsd)[g.term];
            e.usd += fs * fs;
        }
        if (dopt) {
            e.dt += wp * (qj * mm.dydt[i] + qi * mm.dydt[j]) - qq * wpdt;
            e.dp += wp * (qj * mm.dydp[i] + qi * mm.dydp[j]) - qq * wpdp;
        }
        if (dox) {
            for (int v = 1; v <= ph.nvar; ++v) {
                e.dx[v] += wp * (qi * mm.dydx[j][v] + qj * mm.dydx[i][v]);
            }
        }
    }
    return e;
}

// The record's sizes and interaction energies at p and t.
void recordparameters(MixModel& mm, real p, real t) {
    const ptype1& ph = *mm.ph;
    for (int i = 1; i <= ph.nem; ++i) {
        mm.alpha[i] = ph.alphaa[i] + ph.alphab[i] * t + ph.alphac[i] * p;
        mm.alphab[i] = ph.alphab[i];
        mm.alphac[i] = ph.alphac[i];
    }
    // The energies of the W numbers the pair terms take, the only ones `excess` reads.
    for (int g = 1; g <= ph.ngterm; ++g) {
        const int k = ph.gterm[g].term;
        mm.w[k] = ph.wa[k] + ph.wb[k] * t + ph.wc[k] * p;
        mm.wb[k] = ph.wb[k];
        mm.wc[k] = ph.wc[k];
    }
}

// Volume (kJ/kbar) of a fluid species at p, t and at the two shifted points.
struct SpeciesVolumes {
    real v = 0;
    real vt = 0;  // at t + fluiddt
    real vp = 0;  // at p + fluiddp
};

// The three volumes of fluid species at recent (P, T). The equations of state are functions of
// their arguments alone, so the volumes of a species at the same P, T and equation (and critical
// constants, for a minor species), matched bit for bit, are taken from here instead of formed
// again: P and T stay fixed through most solves.
class VolumeMemo {
public:
    // The entry of species `kind` (1 H2O, 2 CO2, 3 a minor species) at these arguments, if kept.
    const SpeciesVolumes* find(int kind, bool newsp, real pcrit, real tcrit, real p, real t) const {
        for (const Entry& e : entries_) {
            if (e.kind == kind && e.newsp == newsp &&
                (realbitdiff(e.p, p) | realbitdiff(e.t, t) | realbitdiff(e.pcrit, pcrit) |
                 realbitdiff(e.tcrit, tcrit)) == 0) {
                return &e.v;
            }
        }
        return nullptr;
    }
    void keep(int kind, bool newsp, real pcrit, real tcrit, real p, real t,
              const SpeciesVolumes& v) {
        entries_[next_] = Entry{kind, newsp, pcrit, tcrit, p, t, v};
        next_ = (next_ + 1) % entries_.size();
    }

private:
    struct Entry {
        int kind = 0;  // 0: empty
        bool newsp = false;
        real pcrit = 0;
        real tcrit = 0;
        real p = 0;
        real t = 0;
        SpeciesVolumes v;
    };
    std::array<Entry, 8> entries_{};
    std::size_t next_ = 0;
};

SpeciesVolumes speciesvolumes(Session& ses, const CalcaTables& tab, VolumeMemo& memo,
                              const ptype1& ph, int i, real p, real t) {
    int kind = 3;
    real pcrit = 0;
    real tcrit = 0;
    if (i == ph.ih2o) {
        kind = 1;
    } else if (i == ph.ico2) {
        kind = 2;
    } else {
        const int code = ph.em[i].fluidindex;
        pcrit = tab.fluid.pcrit[code];
        tcrit = tab.fluid.tcrit[code];
    }
    if (const SpeciesVolumes* kept = memo.find(kind, tab.newspfluid, pcrit, tcrit, p, t)) {
        return *kept;
    }
    auto volume = [&](real pp, real tt) {
        real v = 0;
        if (kind == 1) {
            v = spfluid(ses, tab.newspfluid, pp, tt).v;
        } else if (kind == 2) {
            v = spfluid2(ses, tab.newspfluid, pp, tt).v;
        } else {
            v = corkfluid(pp, tt, pcrit, tcrit).v;
        }
        if (!(v > 0) || !std::isfinite(v)) {
            bomb("calca", "fluid volume not positive for " + ph.em[i].name + " in " + ph.name,
                 myfault);
        }
        return v;
    };
    const SpeciesVolumes v{volume(p, t), volume(p, t + fluiddt), volume(p + fluiddp, t)};
    memo.keep(kind, tab.newspfluid, pcrit, tcrit, p, t, v);
    return v;
}

// A size relative to the solvent (species 1), linearised in T and P about (p, t).
void relativesize(MixModel& mm, int i, const SpeciesVolumes& vi, const SpeciesVolumes& v1, real p,
                  real t) {
    const real r = vi.v / v1.v;
    const real b = r * (vi.vt / vi.v - v1.vt / v1.v) / fluiddt;
    const real c = r * (vi.vp / vi.v - v1.vp / v1.v) / fluiddp;
    const real a = r - b * t - c * p;
    mm.alpha[i] = a + b * t + c * p;
    mm.alphab[i] = b;
    mm.alphac[i] = c;
}

// An interaction K (1/V_i + 1/V_j) of two species, linearised in T and P about (p, t), as W
// number k.
void fluidinteraction(MixModel& mm, int k, real kij, const SpeciesVolumes& vi,
                      const SpeciesVolumes& vj, real p, real t) {
    const real w = kij * (1 / vj.v + 1 / vi.v);
    const real wb = -kij * ((vj.vt / vj.v - 1) / vj.v + (vi.vt / vi.v - 1) / vi.v) / fluiddt;
    const real wc = -kij * ((vj.vp / vj.v - 1) / vj.v + (vi.vp / vi.v - 1) / vi.v) / fluiddp;
    const real wa = w - wb * t - wc * p;
    mm.w[k] = wa + wb * t + wc * p;
    mm.wb[k] = wb;
    mm.wc[k] = wc;
}

// Molecular fluid: sizes from the species volumes relative to the first species, and every
// pair term's energy from the pair's interaction constant. Each pair term takes its own pair,
// whatever the number of species.
void fluidform(Session& ses, const CalcaTables& tab, VolumeMemo& memo, MixModel& mm, real p,
               real t) {
    const ptype1& ph = *mm.ph;
    Fixed1<SpeciesVolumes, maxssem> v;
    for (int i = 1; i <= ph.nem; ++i) v[i] = speciesvolumes(ses, tab, memo, ph, i, p, t);
    mm.alpha[1] = 1;
    mm.alphab[1] = 0;
    mm.alphac[1] = 0;
    for (int i = 2; i <= ph.nem; ++i) relativesize(mm, i, v[i], v[1], p, t);
    for (int k = 1; k <= ph.ngterm; ++k) {
        const gtermtype& g = ph.gterm[k];
        const real kij = tab.fluid.w[ph.em[g.i].fluidindex][ph.em[g.j].fluidindex];
        fluidinteraction(mm, g.term, kij, v[g.i], v[g.j], p, t);
    }
}

// Aqueous phase: H2O (end-member 1) is the solvent; CO2 (end-member 2, when present) takes its
// size from its volume and the built-in interaction with H2O as W number 1; every solute's size
// from the record, relative to the volume of H2O.
void aqueousform(Session& ses, const CalcaTables& tab, VolumeMemo& memo, MixModel& mm, real p,
                 real t) {
    const ptype1& ph = *mm.ph;
    const SpeciesVolumes v1 = speciesvolumes(ses, tab, memo, ph, 1, p, t);
    mm.alpha[1] = 1;
    mm.alphab[1] = 0;
    mm.alphac[1] = 0;
    int first = 2;
    if (ph.ico2 > 0) {
        const SpeciesVolumes v2 = speciesvolumes(ses, tab, memo, ph, 2, p, t);
        relativesize(mm, 2, v2, v1, p, t);
        fluidinteraction(mm, 1, tab.fluid.w[1][2], v2, v1, p, t);
        first = 3;
    }
    for (int i = first; i <= ph.nem; ++i) {
        auto z = [&](real pp, real tt) {
            return ph.alphaa[i] + ph.alphab[i] * tt + ph.alphac[i] * pp;
        };
        const SpeciesVolumes vi{z(p, t), z(p, t + fluiddt), z(p + fluiddp, t)};
        if (vi.v == 0) zerosizes("calca", ph);
        relativesize(mm, i, vi, v1, p, t);
    }
}

// The diagnostic of an ideal-activity factor whose site fraction is 0 or below; stops the run.
[[noreturn]] void badsitefraction(Session& ses, const CalcaTables& tab, const eqvector& x,
                                  const ptype1& ph, int m, int factor, const SfVector& sf) {
    std::string line = "     ";
    for (int k = 3; k <= tab.nxvars; ++k) addstr(tab.xref.xnames[k], 12, line);
    putstr(ses, 2, line, 1, screensummarylogmask);
    line = "x =  ";
    for (int k = 3; k <= tab.nxvars; ++k) addreal(5, true, 12, line, x[k]);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line = "     ";
    for (int s = 1; s <= ph.nsf; ++s) addstr(ph.sfname[s], 12, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    line = "sf = ";
    for (int s = 1; s <= ph.nsf; ++s) addreal(5, true, 12, line, sf[s]);
    putstr(ses, 0, line, 1, screensummarylogmask);
    const int s = ph.em[m].tmf[factor].sf;
    line = "phase = " + ph.name + ", end-member = " + ph.em[m].name +
           ", tmf term no = " + realstr(factor) + ", sf term no = " + realstr(s) + ", sf = ";
    addreal(4, true, 0, line, sf[s]);
    putstr(ses, 1, line, 1, screensummarylogmask);
    putstr(ses, 1, "sorry - try changing starting guesses!", 1, screensummarylogmask);
    bomb("calca", "negative sf term", yourfault);
}

// An ideal activity that is 0 although its site fractions are all positive: a site fraction
// too small for its power (1e-4000 cubed) leaves the range of the numbers; stops the run.
[[noreturn]] void activityunderflow(const ptype1& ph, int m) {
    bomb("calca",
         "ideal activity of " + ph.em[m].name + " in " + ph.name +
             " = 0: a site fraction too small for its power",
         yourfault);
}

using SfDerivs = Fixed1<Fixed1<real, maxssvars>, maxsf>;  // [site fraction][variable]

}  // namespace

// The derivatives of one phase's site fractions and proportions by its variables. `calca` fills
// the entries of a phase (1..nsf or 1..nem by 1..nvar) before it reads them, so one copy, never
// cleared, serves every call of the session (a call nested in another stops the run); setting up
// 11 kB afresh for each phase of each evaluation of the equations would cost more than the phase.
struct CalcaScratch {
    SfVector sf;  // the site fractions of the phase at hand, when `calca` forms them
    SfDerivs dsf;
    PropDerivs dp;
    // The mixing model of a non-ideal phase: `recordparameters` sets every size and the energy
    // of every W number a pair term takes, and `mixfractions` every mixing fraction and
    // derivative that `excess` reads after it, so the 10 kB are not cleared for each phase.
    MixModel mm;
    ExcessTerms excess;  // of the end-member at hand of a non-ideal phase
    // Fluid species volumes of recent P-T, kept from call to call: they depend on their
    // arguments only.
    VolumeMemo volumes;
};

namespace {

CalcaScratch& calcascratch(ThermoWork& w) {
    if (!w.calca) w.calca = std::make_shared<CalcaScratch>();
    return *w.calca;
}

// The value of one linear factor, formed as `evalexpr` forms it.
real factorvalue(const xtermtype& xt, const eqvector& x, int offset) {
    real f = doubleratio(xt.constnum, xt.constden);
    for (int l = 1; l <= xt.nx; ++l)
        f = doubleratio(xt.num[l], xt.den[l]) * x[xt.idx[l] + offset - 1] + f;
    return f;
}

}  // namespace

real dexprdx(int k, const eqvector& x, int offset, const termtype& e) {
    real sum = 0;
    for (int i = 1; i <= e.nsxterms; ++i) {
        const sxtermtype& t = e.sxterm[i];
        if (t.coef == 0) continue;
        Fixed1<real, maxxterms> fv;
        for (int j = 1; j <= t.nxterms; ++j) fv[j] = factorvalue(t.xterm[j], x, offset);
        for (int j = 1; j <= t.nxterms; ++j) {
            const xtermtype& xt = t.xterm[j];
            for (int l = 1; l <= xt.nx; ++l) {
                if (xt.idx[l] != k) continue;
                real others = 1;
                for (int o = 1; o <= t.nxterms; ++o) {
                    if (o != j) others *= fv[o];
                }
                sum +=
                    t.coef * static_cast<real>(xt.num[l]) / static_cast<real>(xt.den[l]) * others;
            }
        }
    }
    return sum;
}

void dexprdx_row(const eqvector& x, int offset, const termtype& e, int nvar,
                 Fixed1<real, maxssvars>& row) {
    if (nvar < 0 || nvar > maxssvars) index_fault();
    real* out = row.a.data();  // out[k - 1] is row[k]
    std::fill_n(out, nvar, real{0});
    // The factor values; a term of one factor multiplies its derivative by the empty product,
    // 1, and needs none. Entries 1..nxterms of a term are written before they are read.
    std::array<real, maxxterms> fv;
    for (int i = 1; i <= e.nsxterms; ++i) {
        const sxtermtype& t = e.sxterm[i];
        if (t.coef == 0) continue;
        const int nf = t.nxterms;
        if (nf < 0 || nf > maxxterms) index_fault();
        if (nf > 1) {
            for (int j = 1; j <= nf; ++j)
                fv[static_cast<std::size_t>(j - 1)] = factorvalue(t.xterm[j], x, offset);
        }
        for (int j = 1; j <= nf; ++j) {
            const xtermtype& xt = t.xterm[j];
            for (int l = 1; l <= xt.nx; ++l) {
                const int k = xt.idx[l];
                if (k < 1 || k > nvar) continue;
                real others = 1;
                for (int o = 1; o <= nf; ++o) {
                    if (o != j) others *= fv[static_cast<std::size_t>(o - 1)];
                }
                out[k - 1] +=
                    t.coef * static_cast<real>(xt.num[l]) / static_cast<real>(xt.den[l]) * others;
            }
        }
    }
}

void ActivityDerivatives::clear(int nem, int nxvars) {
    if (nem < 0 || nem > maxem || nxvars < 0 || nxvars > maxeq) index_fault();
    dadxfinite = true;
    // Zero bytes are +0 in the real format: cleared by bytes, which costs a fraction of storing
    // each value.
    const auto zero = [](real* p, int n) {
        std::memset(p, 0, static_cast<std::size_t>(n) * sizeof(real));
    };
    zero(dadp.a.data(), nem);
    zero(dadt.a.data(), nem);
    for (int i = 1; i <= nem; ++i) zero(dadx[i].a.data(), nxvars);
}

CalcaTables calcatables(const Run& run, const CrossRefs& xref) {
    return CalcaTables{*run.arrays.prec1, xref,         run.dataset.nem,
                       run.nxvars,        run.ax.fluid, run.dataset.newspfluid};
}

void calca(Session& ses, const CalcaTables& tab, const eqvector& x, bool dopt, bool dox,
           ActivityDerivatives& d, CalcaOut& out, real p, real t,
           const SsSiteFractions* sitefractions) {
    ThermoWork& work = thermowork(ses);
    const ScratchHold hold(work.calcainuse, "calca");
    CalcaScratch& scratch = calcascratch(work);
    for (int k = 1; k <= tab.nem; ++k) {
        out.emactivity[k] = 1;
        out.emactivitysd[k] = 0;
    }
    const real rt = rgas * t;
    int slot = 0;
    bool finite = d.dadxfinite;
    for (int k = 1; k <= tab.nem; ++k) {
        if (!tab.xref.phasestart[k]) continue;
        const ptype1& ph = tab.prec1[tab.xref.emphase[k]];
        const int offset = tab.xref.emvarpos[k];
        PhaseActivities& res = out.ssresults[++slot];
        if (sitefractions == nullptr) scratch.sf = phasesitefractions(ph, x, offset);
        const SfVector& sf = sitefractions == nullptr ? scratch.sf : (*sitefractions)[slot];
        SfDerivs& dsf = scratch.dsf;
        if (dox) {
            for (int s = 1; s <= ph.nsf; ++s) {
                dexprdx_row(x, offset, ph.sf[s], ph.nvar, dsf[s]);
            }
        }
        for (int i = 1; i <= ph.nem; ++i) res.p[i] = evalexpr(x, offset, ph.p[i]);
        const bool ideal = ph.model == axtype::ideal;
        // An ideal phase has no mixing model.
        MixModel* mixmodel = nullptr;
        if (!ideal) {
            mixmodel = &scratch.mm;
            MixModel& mm = *mixmodel;
            mm.ph = &ph;
            PropDerivs& dp = scratch.dp;
            if (dox) {
                for (int i = 1; i <= ph.nem; ++i) {
                    dexprdx_row(x, offset, ph.p[i], ph.nvar, dp[i]);
                }
            }
            recordparameters(mm, p, t);
            if (ph.isfluid) {
                fluidform(ses, tab, scratch.volumes, mm, p, t);
            } else if (ph.isaq) {
                aqueousform(ses, tab, scratch.volumes, mm, p, t);
            }
            mm.sizeweighted = ph.model == axtype::vanlaar;
            mm.aqueous = ph.isaq;
            mixfractions("calca", mm, res.p, dox ? &dp : nullptr, dopt);
        }
        for (int m = 1; m <= ph.nem; ++m) {
            const ssemtype& em = ph.em[m];
            for (int f = 1; f <= em.ntmf; ++f) {
                if (sf[em.tmf[f].sf] <= 0) badsitefraction(ses, tab, x, ph, m, f, sf);
            }
            const real aid = idealactivity(ph, m, sf, false);
            if (aid <= 0) activityunderflow(ph, m);
            // An ideal phase has no excess terms: zeros, which the derivatives still add.
            static const ExcessTerms noexcess{};
            if (!ideal) scratch.excess = excess("calca", *mixmodel, m, dopt, dox, nullptr);
            const ExcessTerms& e = ideal ? noexcess : scratch.excess;
            const int row = k + m - 1;
            res.aideal[m] = aid;
            if (ideal) {
                res.gamma[m] = 0;
                res.a[m] = aid;
            } else {
                res.gamma[m] = std::exp(e.rtlngamma / rt);
                res.a[m] = aid * res.gamma[m];
            }
            out.emactivity[row] = res.a[m];
            if (dox) {
                // Per factor: its power, its site fraction and that one's derivative row.
                const int ntmf = em.ntmf;
                const int nvar = ph.nvar;
                if (ntmf < 0 || ntmf > maxtmf || nvar < 0 || nvar > maxssvars || offset < 1 ||
                    offset + nvar - 1 > maxeq) {
                    index_fault();
                }
                // Entries 1..ntmf are written before they are read: not cleared.
                std::array<real, maxtmf> pq;
                std::array<real, maxtmf> sfv;
                std::array<const real*, maxtmf> dsfrow;
                for (int f = 1; f <= ntmf; ++f) {
                    const tmftermtype& tf = em.tmf[f];
                    const auto u = static_cast<std::size_t>(f - 1);
                    pq[u] = doubleratio(tf.pnum, tf.pden);
                    sfv[u] = sf[tf.sf];
                    dsfrow[u] = dsf[tf.sf].a.data();
                }
                real* drow = d.dadx[row].a.data() + (offset - 1);  // drow[v - 1]: variable v
                const real* edx = e.dx.a.data();
                if (ntmf == 1) {
                    // One site fraction (a one-site ideal end-member): its term written out.
                    const real pq0 = pq[0];
                    const real sfv0 = sfv[0];
                    const real* dsf0 = dsfrow[0];
                    for (int v = 0; v < nvar; ++v) {
                        real s = 0;
                        s += pq0 * dsf0[v] / sfv0;
                        drow[v] = rt * s + edx[v];
                        finite = finite && std::isfinite(drow[v]);
                    }
                } else {
                    for (int v = 0; v < nvar; ++v) {
                        real s = 0;
                        for (std::size_t u = 0; u < static_cast<std::size_t>(ntmf); ++u) {
                            s += pq[u] * dsfrow[u][v] / sfv[u];
                        }
                        drow[v] = rt * s + edx[v];
                        finite = finite && std::isfinite(drow[v]);
                    }
                }
            }
            if (dopt) {
                d.dadt[row] = rgas * std::log(aid) + e.dt;
                d.dadp[row] = e.dp;
            }
        }
    }
    d.dadxfinite = finite;
}

ActivitiesSd calcactivitysd(const ptype1& ph, const eqvector& x, real p, real t,
                            controlboolean justrelu) {
    ActivitiesSd r;
    const int n = ph.nem;
    empvector prop;
    for (int i = 1; i <= n; ++i) prop[i] = evalexpr(x, 1, ph.p[i]);
    // One size-weighted form serves both non-ideal models here.
    MixModel mm;
    mm.ph = &ph;
    mm.sizeweighted = true;
    if (ph.model != axtype::ideal) {
        recordparameters(mm, p, t);
        mixfractions("calcactivitysd", mm, prop, nullptr, false);
    }

    const SfVector sf = phasesitefractions(ph, x, 1);
    // Site fractions with each variable that carries an sd shifted by the step.
    Fixed1<SfVector, maxssvars> sfshift;
    for (int v = 1; v <= ph.nvar; ++v) {
        if (ph.var[v].guesssd <= 0) continue;
        eqvector xs = x;
        xs[v] += dxsd;
        sfshift[v] = phasesitefractions(ph, xs, 1);
    }
    const real rt = rgas * t;
    for (int m = 1; m <= n; ++m) {
        if (ph.em[m].excluded) {
            r.a[m] = 0;
            r.sd[m] = 0;
            continue;
        }
        ++r.nactivityem;
        const real aid = idealactivity(ph, m, sf, false);
        real v2 = 0;
        for (int v = 1; v <= ph.nvar; ++v) {
            const real sdv = ph.var[v].guesssd;
            if (sdv <= 0) continue;
            const real aidshift = idealactivity(ph, m, sfshift[v], true);
            const real d = sdv * (aidshift - aid) / dxsd;
            v2 += d * d;
        }
        if (ph.model == axtype::ideal) {
            r.a[m] = aid;
            r.sd[m] = std::sqrt(v2);
            continue;
        }
        const ExcessTerms e = excess("calcactivitysd", mm, m, false, false,
                                     justrelu == controlboolean::no ? &ph.wsd : nullptr);
        r.a[m] = aid * std::exp(e.rtlngamma / rt);
        r.sd[m] = r.a[m] * std::sqrt(v2 / (aid * aid) + e.usd / (rt * rt));
    }
    return r;
}

void checkfiniteactivity(std::string_view proc, const ptype1& ph, int m, real a, real sd) {
    if (std::isfinite(a) && std::isfinite(sd)) return;
    bomb(proc,
         "the activity of " + ph.em[m].name + " in " + ph.name +
             (std::isfinite(a) ? " (its sd)" : "") + " overflowed: check the a-x values of " +
             ph.name + " (W, sizes)",
         yourfault);
}

AxPT extractem_activities(Session& ses, Run& run, const OrderSolver& findorder) {
    const ScriptSettings& sc = run.script;
    Dataset& ds = run.dataset;
    AxPT pt;
    int16 k = 0;
    if (run.nss > 0) {
        putstr(ses, 0, "activities of end-members in solid solutions are calculated with", 1,
               screenlogmask);
        if (sc.ptforaxecb == controlboolean::no) {
            putstr(ses, 0, "input values of compositional variables", 1, screenlogmask);
            do {
                promptreal(ses, "P for a-x in kbar", pt.p);
            } while (!typedinputok(ses, pt.p > 0, "P", pt.p, "must be above 0 kbar"));
            do {
                promptreal(ses,
                           "T for a-x in \xA1"
                           "C",
                           pt.t);
            } while (
                !typedinputok(ses, pt.t + 273.15L > 0, "T", pt.t, "must be above absolute zero"));
        } else {
            pt.p = sc.ptforaxep;
            pt.t = sc.ptforaxet;
            checkinput(pt.p > 0, "extractem", "P of ptforaxe", pt.p, "must be above 0 kbar",
                       run.files.scriptname);
            checkinput(pt.t + 273.15L > 0, "extractem", "T of ptforaxe", pt.t,
                       "must be above absolute zero", run.files.scriptname);
            std::string s = "input values of compositional variables at PT: ";
            s += realfixstr(1, true, pt.p) + " kbar, " + realstr(pt.t) +
                 "\xA1"
                 "C (from script)";
            putstr(ses, 0, s, 1, screenlogmask);
        }
        pt.t += 273.15L;
    }
    prectype1& p1 = *run.arrays.prec1;
    for (int16 i = 1; i <= run.nss; ++i) {
        const ptype1& ph = p1[i];
        // The activities are those of the equilibrium state of order at the P-T for a-x.
        if (ph.hasorder && !(findorder && findorder(ses, run, i, pt.p, pt.t))) {
            bomb("extractem", "couldn't solve for state of order for " + ph.name, yourfault);
        }
        eqvector x;
        for (int v = 1; v <= ph.nvar; ++v) x[v] = ph.var[v].guess;
        const ActivitiesSd act = calcactivitysd(ph, x, pt.p, pt.t, sc.justrelucb);
        std::string head;
        addstr(ph.name, -6, head);
        addstr("      ", 0, head);
        bool anyorder = false;
        for (int v = 1; v <= ph.nvar; ++v) {
            if (!ph.var[v].isorder) continue;
            if (anyorder) addstr(", ", 0, head);
            anyorder = true;
            addstr(ph.var[v].name + " = ", 0, head);
            addreal(4, true, 0, head, ph.var[v].guess);
        }
        bool anyexcluded = false;
        for (int m = 1; m <= ph.nem; ++m) {
            if (!ph.em[m].excluded) continue;
            if (!anyexcluded) addstr(anyorder ? "; left out: " : "left out: ", 0, head);
            anyexcluded = true;
            addstr(ph.em[m].name + " ", 0, head);
        }
        putstr(ses, 1, head, 1, screenlogmask);
        for (int m = 1; m <= ph.nem; ++m) {
            if (ph.em[m].excluded) continue;
            const real was = act.a[m];
            // An activity above 1 is reset: the line shows the value used and, after it, the old.
            const real a = was > 1 ? 0.999L : was;
            const real sd = act.sd[m];
            if (was <= 0) {
                bomb("extractem", "activity negative for " + ph.em[m].name + ", in " + ph.name,
                     yourfault);
            }
            checkfiniteactivity("extractem", ph, m, was, sd);
            std::string s = "      ";
            addstr(ph.em[m].name, 7, s);
            addstr(": a = ", 0, s);
            addreal(4, true, 8, s, a);
            addstr(", sd(a) = ", 0, s);
            addreal(4, true, 8, s, sd);
            if (was > 1) {
                addstr(" ## reset, was ", 0, s);
                addreal(4, true, 8, s, was);
            }
            putstr(ses, 0, s, 1, screenlogmask);
            ++k;
            ds.emact[k] = a;
            ds.emsda[k] = sd;
        }
    }
    const prectype0& p0 = *run.arrays.prec0;
    for (int16 j = 1; j <= run.npure; ++j) {
        ++k;
        ds.emact[k] = p0[j].activity;
        ds.emsda[k] = p0[j].activitysd;
    }
    return pt;
}

}  // namespace qv
