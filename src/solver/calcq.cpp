#include "solver/calcq.hpp"

#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/random.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "solver/reactionsets.hpp"
#include "thermo/equations.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

// The one-phase problem of the state of order of a solution phase at fixed P, T and values of
// its other composition variables, laid out apart from the caller's calculation, which it only
// reads: the phase's end-members as rows 1..n of tables of its own (the constituents of made
// end-members at the rows their make lists name), the reactions among them, one unknown per
// order variable, and the settings of its solve (the script's "debuglevelq" as debug level).
struct OrderProblem {
    int16 n = 0;  // end-members of the phase
    icmatrix c;   // compositions, component x end-member
    tdmatrix td;  // data rows
    strings emnames;
    emvector emact;  // activities and their sd, written by each evaluation
    emvector emsda;
    rmatrix r;  // reactions 1..nreac among the end-members
    int16 nreac = 0;
    ReactionLists rl;
    int16 nxvars = 0;  // P, T and the phase's composition variables
    int16 nmodevars = 0;
    CrossRefs xref;
    MassBalance mb;  // no modes
    NleVariables vars;
    int16 debuglev = 0;
    GemSettings gs;

    OrderProblem(Session& ses, const Run& run, int16 phase, real p, real t);
};

OrderProblem::OrderProblem(Session& ses, const Run& run, int16 phase, real p, real t) {
    const ptype1& ph = (*run.arrays.prec1)[phase];
    if (!ph.hasorder) bomb("calcq", "not an OD phase", yourfault);
    const Dataset& ds = run.dataset;
    const ScriptSettings& sc = run.script;
    n = ph.nem;
    iemvector mixweights;
    for (int16 m = 1; m <= n; ++m) {
        const ssemtype& em = ph.em[m];
        emnames[m] = em.name;
        for (int k = 1; k <= ds.components.ncomp; ++k) c[k][m] = em.comp[k];
        mixweights[m] = 1;
    }
    calcreactions(ses, CompositionTables{c, ds.components, emnames, n}, mixweights, sc.dogminon,
                  false, r, nreac, rl);

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
            // A made end-member is built from its constituents' rows, taken with their names
            // from the caller's tables.
            for (int v = 1; v <= 3; ++v) row[v] = em.td[v];
            for (int v = 4; v <= 28; ++v) row[v] = 0;
            row[29] = phase;
            row[30] = m;
            for (int i = 1; i <= em.nmake; ++i) {
                const int16 k = em.makeint2[i];
                if (k < 1 || k > maxem) continue;  // not laid out: G of the make stops the run
                td[k] = (*run.arrays.td)[k];
                emnames[k] = ds.emnames[k];
            }
        } else {
            for (int v = 1; v <= 25; ++v) row[v] = em.td[v];
            for (int v = 26; v <= 30; ++v) row[v] = 0;
        }
        row[31] = em.td[31];
    }
    int16 nq = 0;
    nxvars = narrow16(n + 1);
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
    if (nreac != nq) bomb("calcq", "no of reactions not equal to no of Qs", yourfault);

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

    nlevariables(xref, nxvars, 0, *run.arrays.prec1, vars);
    vars.xvalue[1] = p;
    vars.xvalue[2] = t;
    for (int16 k = 3; k <= nxvars; ++k) {
        const real guess = ph.var[k - 2].guess;
        vars.xvalue[k] = xref.xfree[k] ? xref.xoffset[k] + guess * xref.xscale[k] : guess;
    }

    debuglev = sc.debuglevq;
    gs = gemsettings(run);
    gs.debuglev = debuglev;
    // The end-member G of a state of order is that of an equilibrium solve whatever the run:
    // no calibration forms, no channel fluid of cordierite.
    gs.calibration = false;
    gs.channelfluid = false;
}

}  // namespace

bool calcq(Session& ses, Run& run, int16 phase, real p, real t) {
    const auto pr = std::make_unique<OrderProblem>(ses, run, phase, p, t);
    const ScriptSettings& sc = run.script;
    const EquationTables calc{*run.arrays.prec0,
                              *run.arrays.prec1,
                              pr->td,
                              pr->emnames,
                              pr->n,
                              pr->emact,
                              pr->emsda,
                              pr->r,
                              pr->nreac,
                              pr->nxvars,
                              pr->nmodevars,
                              run.dataset.components,
                              nullptr,
                              run.ax.fluid,
                              run.dataset.newspfluid,
                              pr->debuglev,
                              sc.dogminon,
                              sc.dogminlevel};
    NleState nst;
    Equations eq{ses, calc, pr->gs, pr->xref, pr->mb, pr->rl.rdiv, pr->rl.rxnlnk, nst};
    NleStatus st;
    AssemblageEquations eqs(eq, st);
    NleSettings set(sc, pr->debuglev);
    // A point it cannot evaluate (a non-ideal term too large for the numbers) is a failed solve
    // like any other: the caller draws afresh or reports the phase.
    set.unevaluablefails = true;
    NleWorkspace work;
    int16 code = 0;
    const bool ok = nle(ses, eqs, pr->vars, set, st, work, code);
    if (ok) {
        ptype1& ph = (*run.arrays.prec1)[phase];
        for (int16 k = 3; k <= pr->nxvars; ++k) ph.var[k - 2].guess = pr->vars.natural(k);
    }
    return ok;
}

bool findlegalq(Session& ses, Run& run, int16 phase, bool solve, bool& wasillegal, real p, real t) {
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
            ok = legalcomp(ph) && calcq(ses, run, phase, p, t);
        } else {
            ok = calcq(ses, run, phase, p, t);
        }
        legal = false;  // a failed solve draws afresh
    } while (!ok && attempts < 1001);
    return ok;
}

bool solve_order(Session& ses, Run& run, int16 phase, real p, real t) {
    bool wasillegal = false;
    return findlegalq(ses, run, phase, true, wasillegal, p, t);
}

}  // namespace qv
