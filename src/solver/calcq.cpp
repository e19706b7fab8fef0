#include "solver/calcq.hpp"

#include <algorithm>
#include <memory>

#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/convert.hpp"
#include "numerics/random.hpp"
#include "solver/nle.hpp"
#include "solver/reactionsets.hpp"
#include "thermo/equations.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

// What the one-phase problem overwrites of the caller's calculation, put back on every way
// out (a fatal stop included).
struct SavedCalculation {
    Session& ses;
    Run& run;
    ReactionLists& rl;
    int16 debuglev;
    calcmodetype runcalcmode;
    bool pseudoon;
    SystemComponents comps;
    int16 nem;
    int16 nrxem;
    int16 nreac;
    std::unique_ptr<icmatrix> c;
    std::unique_ptr<rmatrix> r;
    std::unique_ptr<tdmatrix> td;
    std::unique_ptr<strings> names;
    std::unique_ptr<emvector> act;
    std::unique_ptr<emvector> actsd;
    std::unique_ptr<ReactionLists> lists;

    SavedCalculation(Session& s, Run& ru, ReactionLists& l)
        : ses(s),
          run(ru),
          rl(l),
          debuglev(ru.script.debuglev),
          runcalcmode(s.runcalcmode),
          pseudoon(ru.script.pseudoon),
          comps(ru.dataset.components),
          nem(ru.dataset.nem),
          nrxem(ru.dataset.nrxem),
          nreac(ru.nreac),
          c(std::make_unique<icmatrix>(*ru.arrays.c)),
          r(std::make_unique<rmatrix>(*ru.arrays.r)),
          td(std::make_unique<tdmatrix>(*ru.arrays.td)),
          names(std::make_unique<strings>(ru.dataset.emnames)),
          act(std::make_unique<emvector>(ru.dataset.emact)),
          actsd(std::make_unique<emvector>(ru.dataset.emsda)),
          lists(std::make_unique<ReactionLists>(l)) {}
    SavedCalculation(const SavedCalculation&) = delete;
    SavedCalculation& operator=(const SavedCalculation&) = delete;
    ~SavedCalculation() {
        run.script.debuglev = debuglev;
        ses.runcalcmode = runcalcmode;
        run.script.pseudoon = pseudoon;
        run.dataset.components = comps;
        run.dataset.nem = nem;
        run.dataset.nrxem = nrxem;
        run.nreac = nreac;
        *run.arrays.c = *c;
        *run.arrays.r = *r;
        *run.arrays.td = *td;
        run.dataset.emnames = *names;
        run.dataset.emact = *act;
        run.dataset.emsda = *actsd;
        rl = *lists;
    }
};

}  // namespace

bool calcq(Session& ses, Run& run, CrossRefs& xref, ReactionLists& rl, int16 phase, real p,
           real t) {
    const SavedCalculation saved(ses, run, rl);
    run.script.debuglev = run.script.debuglevq;
    ses.runcalcmode = calcmodetype::nlecalc;
    run.script.pseudoon = false;
    Dataset& ds = run.dataset;
    for (int j = 1; j <= maxem; ++j) {
        xref.phasestart[j] = false;
        xref.emphase[j] = 0;
        xref.emvarpos[j] = 0;
        ds.emnames[j].clear();
    }
    ptype1& ph = (*run.arrays.prec1)[phase];
    if (!ph.hasorder) bomb("calcq", "not an OD phase", yourfault);
    const int16 n = ph.nem;
    icmatrix& c = *run.arrays.c;
    tdmatrix& td = *run.arrays.td;
    iemvector mixweights;
    for (int16 m = 1; m <= n; ++m) {
        const ssemtype& em = ph.em[m];
        ds.emnames[m] = em.name;
        for (int k = 1; k <= ds.components.ncomp; ++k) c[k][m] = em.comp[k];
        mixweights[m] = 1;
    }
    ds.nrxem = n;
    ds.nem = n;
    calcreactions(ses, CompositionTables{c, ds.components, ds.emnames, n}, mixweights,
                  run.script.dogminon, false, *run.arrays.r, run.nreac, rl);

    xref.xnames[1] = "P(kbar)";
    xref.xfree[1] = false;
    xref.xnames[2] =
        "T(\xA1"
        "C)";
    xref.xfree[2] = false;
    xref.phasestart[1] = true;
    xref.emphase[1] = phase;
    xref.emvarpos[1] = 3;
    for (int16 m = 1; m <= n; ++m) {
        const ssemtype& em = ph.em[m];
        tdvector& row = td[m];
        if (em.nmake != 0 && !ds.ds190) {
            // A made end-member is built from its constituents' rows, which lie beyond these.
            for (int v = 1; v <= 3; ++v) row[v] = em.td[v];
            for (int v = 4; v <= 28; ++v) row[v] = 0;
            row[29] = phase;
            row[30] = m;
        } else {
            for (int v = 1; v <= 25; ++v) row[v] = em.td[v];
            for (int v = 26; v <= 30; ++v) row[v] = 0;
        }
        row[31] = em.td[31];
    }
    int16 nq = 0;
    const auto nxvars = narrow16(n + 1);
    for (int16 v = 1; v <= n - 1; ++v) {
        const xvartype& var = ph.var[v];
        const auto k = narrow16(v + 2);
        xref.xnames[k] = var.name;
        xref.xscale[k] = var.scale;
        xref.xoffset[k] = var.offset;
        xref.xtol[k] = var.step;
        xref.xacclow[k] = var.lowerkind;
        xref.xacchigh[k] = var.upperkind;
        xref.xfree[k] = var.isorder;
        if (var.isorder) ++nq;
    }
    for (int k = nxvars + 1; k <= std::min<int>(maxeq, nxvars + run.nphread); ++k) {
        xref.xfree[k] = false;
    }
    run.nxvars = nxvars;
    run.nmodevars = 0;
    xref.nssmodes = 0;
    if (run.nreac != nq) bomb("calcq", "no of reactions not equal to no of Qs", yourfault);

    xref.nvarlims = 0;
    for (int l = 1; l <= ph.nvarlim; ++l) {
        if (++xref.nvarlims > maxvarlims) bomb("calcq", "too many varlims", yourfault);
        auto& num = xref.varlimnum[xref.nvarlims];
        auto& den = xref.varlimden[xref.nvarlims];
        for (int k = 1; k <= nxvars + 1; ++k) {
            num[k] = 0;
            den[k] = 1;
        }
        for (int v = 1; v <= n - 1; ++v) {
            num[v + 2] = ph.varlim1[l][v];
            den[v + 2] = ph.varlim2[l][v];
        }
        num[nxvars + 1] = ph.varlim1[l][n];
        den[nxvars + 1] = ph.varlim2[l][n];
    }
    xref.nsfchecks = 0;
    if (!ph.allsfsimple) {
        for (int16 j = 1; j <= ph.nsf; ++j) {
            if (ph.sfsimple[j]) continue;
            if (++xref.nsfchecks > maxsfchecks) {
                bomb("calcq", "no site fractions not handled too big", myfault);
            }
            xref.sfcheckphase[xref.nsfchecks] = phase;
            xref.sfchecksf[xref.nsfchecks] = j;
            xref.sfcheckpos[xref.nsfchecks] = 3;
        }
    }

    auto vars = std::make_unique<NleVariables>();
    nlevariables(xref, nxvars, 0, *run.arrays.prec1, *vars);
    vars->xvalue[1] = p;
    vars->xvalue[2] = t;
    for (int16 k = 3; k <= nxvars; ++k) {
        const real guess = ph.var[k - 2].guess;
        vars->xvalue[k] = xref.xfree[k] ? xref.xoffset[k] + guess * xref.xscale[k] : guess;
    }

    const GemSettings gs = gemsettings(ses, run);
    auto mb = std::make_unique<MassBalance>();
    NleState nst;
    Equations eq{ses, run, gs, xref, *mb, rl.rdiv, rl.rxnlnk, nst};
    NleStatus st;
    AssemblageEquations eqs(eq, st);
    NleSettings set(run.script);
    int16 code = 0;
    const bool ok = nle(ses, eqs, *vars, set, st, code);
    if (ok) {
        for (int16 k = 3; k <= nxvars; ++k) ph.var[k - 2].guess = vars->natural(k);
    }
    return ok;
}

bool findlegalq(Session& ses, Run& run, CrossRefs& xref, ReactionLists& rl, int16 phase, bool solve,
                bool& wasillegal, real p, real t) {
    wasillegal = false;
    ptype1& ph = (*run.arrays.prec1)[phase];
    if (!ph.hasorder) bomb("findlegalq", "not an odd phase", yourfault);
    bool ok = legalcomp(ph);
    wasillegal = !ok;
    auto draw = [&] {
        for (int v = 1; v <= ph.nvar; ++v) {
            xvartype& var = ph.var[v];
            if (var.isorder) var.guess = var.lower + (var.upper - var.lower) * whrandom(ses.seeds);
        }
    };
    int attempts = 0;
    if (!solve) {
        while (!ok && attempts < 1001) {
            ++attempts;
            draw();
            ok = legalcomp(ph);
        }
        return ok;
    }
    bool legal = ok;
    do {
        ++attempts;
        if (!legal) {
            draw();
            ok = legalcomp(ph) && calcq(ses, run, xref, rl, phase, p, t);
        } else {
            ok = calcq(ses, run, xref, rl, phase, p, t);
        }
        legal = false;  // a failed solve draws afresh
    } while (!ok && attempts < 1001);
    return ok;
}

bool solve_order(Session& ses, Run& run, int16 phase, real p, real t) {
    auto xref = std::make_unique<CrossRefs>();
    auto rl = std::make_unique<ReactionLists>();
    const int16 nxvars = run.nxvars;
    const int16 nmodevars = run.nmodevars;
    bool wasillegal = false;
    const bool ok = findlegalq(ses, run, *xref, *rl, phase, true, wasillegal, p, t);
    run.nxvars = nxvars;
    run.nmodevars = nmodevars;
    return ok;
}

}  // namespace qv
