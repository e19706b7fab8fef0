#include "phasediagram/calculation.hpp"

namespace qv::pdsolve {

// Physical values of the solved point into the result.
void Calculation::extract() {
    const CrossRefs& xref = st_->xref;
    const Windows& w = run_.windows;
    eqvector& vv = st_->varvalues;
    for (int16 i = 1; i <= run_.nxvars + run_.nmodevars; ++i) {
        st_->varcalculated[i] = xref.xfree[i];
        vv[i] = vars_->natural(i);
    }
    if (pd_.modesinsolve) normalisemodes(ses_, run_, pd_, *st_, vars_->modephi);
    // A solved P or T outside its window is put just outside it, so the window test fails.
    auto held = [](real v, real low, real high) {
        if (v > high) return high + 1;
        if (v < low) return low - 1;
        return v;
    };
    Result& res = st_->cur;
    res.p = xref.xfree[1] ? held(vv[1], w.pwinlow, w.pwinhigh) : vv[1];
    res.t = xref.xfree[2] ? held(vv[2], w.twinlow, w.twinhigh) : vv[2];

    const CalcPhaseList& list = *xref.calcphaselist;
    const SsResults& ssr = nst_.work->ssresults;
    int16 s = 0;
    int16 nsol = 0;
    int16 m = 0;
    for (int k = 1; k <= xref.ncalcphases; ++k) {
        const CalcPhase& cp = list[k];
        if (++s > maxresultphases) bomb("extract", "too many phases in the result", yourfault);
        ResultPhase& ph = res.ph[s];
        ph.name = cp.name;
        ph.solution = cp.solution;
        ph.shown = cp.shown;
        ph.table = cp.index;
        ph.varpos = cp.varpos;
        ph.nem = cp.nem;
        ph.hasmode = run_.nmodevars > 0 && cp.shown;
        ph.mode[1] = -1;
        if (ph.hasmode) {
            ++m;
            if (pd_.modesinsolve) ph.mode[1] = vv[run_.nxvars + m];
        }
        if (cp.solution) {
            ++nsol;
            for (int v = 1; v <= cp.nem - 1; ++v) ph.x[v] = vv[cp.varpos + v - 1];
            const PhaseActivities& pa = ssr[nsol];
            for (int e = 1; e <= cp.nem; ++e) {
                ph.act[e] = pa.a[e];
                ph.idealact[e] = pa.aideal[e];
                ph.gamma[e] = pa.gamma[e];
            }
        } else {
            ph.act[1] = run_.dataset.emact[run_.dataset.nem - xref.ncalcphases + k];
            ph.idealact[1] = ph.act[1];
            ph.gamma[1] = 1;
        }
    }
    res.nphases = s;
    modesok_ = true;
    if (!pd_.modesinsolve && pd_.modesaftersolve && !calcmodesafternle(ses_, run_, pd_, *st_)) {
        modesok_ = false;
        st_->calcstatus = 8;
    }
    int16 walked = 0;
    for (int k = 1; k <= run_.nss + run_.npure; ++k) {
        if (st_->equilphases[k]) ++walked;
    }
    if (walked != res.nphases) {
        bomb("extract", "number of phases in summary does not match", myfault);
    }
}

// Proportions, site fractions and compositions of the phases of a result that passed, and
// the properties of the phases and of the system.
void Calculation::postprocess() {
    Result& res = st_->cur;
    const prectype1& ss = *run_.arrays.prec1;
    const prectype0& pure = *run_.arrays.prec0;
    const SystemComponents& comps = run_.dataset.components;
    for (int k = 1; k <= res.nphases; ++k) {
        ResultPhase& ph = res.ph[k];
        ph.comp.fill(0);
        if (ph.solution) {
            const ptype1& rec = ss[ph.table];
            for (int e = 1; e <= rec.nem; ++e)
                ph.p[e] = evalexpr(st_->varvalues, ph.varpos, rec.p[e]);
            for (int f = 1; f <= rec.nsf; ++f)
                ph.sf[f] = evalexpr(st_->varvalues, ph.varpos, rec.sf[f]);
            calcphasecomp(rec, st_->varvalues, ph.varpos, comps, ph.comp);
        } else {
            ph.p[1] = 1;
            for (int c = 1; c <= comps.ncomp; ++c) {
                ph.comp[c] = static_cast<real>(pure[ph.table].comp[c]) / comps.compdenom[c];
            }
        }
    }
    // Properties of the phases; the system sums need modes.
    // Made once for the run (see CalcWorkTables): the table holds 16 kB, and setting it up afresh
    // at each point cost more than the rest of it.
    if (!kept_.sums) kept_.sums = std::make_unique<SystemProps>();
    const CalcaTables ct = calcatables(run_, st_->xref);
    NleWork& work = *nst_.work;
    // The activities below form no derivatives: the solve's derivative table (0.6 MB) is neither
    // read nor written.
    ActivityDerivatives* d = &work.deriv;
    SsResults* ssr = &work.ssresults;
    // The activities' uncertainties are set and not read: one table serves every call.
    if (!kept_.postsd) kept_.postsd = std::make_unique<emvector>();
    emvector* sd = kept_.postsd.get();
    ActivityFn activities = [&](const eqvector& x, real p, real t, emvector& a) {
        CalcaOut out{a, *sd, *ssr};
        calca(ses_, ct, x, false, false, *d, out, p, t);
    };
    // G of the end-members at the solved point is that of the solve's last evaluation.
    const PhaseEmTables tab{run_,
                            mb_->syscomp,
                            st_->xref,
                            *run_.arrays.td,
                            gs_,
                            activities,
                            work.cachegem ? &work.gcache : nullptr};
    if (!props_) props_ = std::make_unique<PhasePropsTable>();
    for (int k = 1; k <= res.nphases; ++k) (*props_)[k].comp = res.ph[k].comp;
    // The sums are formed only with modes (the same test `modestepfactors` makes): only then is
    // the table cleared, so nothing of an earlier point shows in them.
    const bool withsums = (sc_.pseudoon || pd_.modesinsolve) && res.nmodesteps > 0;
    SystemProps* sums = kept_.sums.get();
    if (withsums) clear_sums(*sums);
    modestepfactors(run_, pd_, *st_, *props_, *sums);
    calcgphase(ses_, tab, st_->equilphases, st_->varvalues, res.p, res.t, run_.xco2cur,
               run_.xh2ocur, *props_, withsums ? sums : nullptr);
    for (int k = 1; k <= res.nphases; ++k)
        copy_props(res.ph[k].props, (*props_)[k], res.nmodesteps);
    res.g = 0;
    if (withsums) {
        copy_sums(res.sys, *sums);
        res.g = sums->g[1];
    }
}

void Calculation::showprogress() {
    int16& count = st_->progresscount;
    ++count;
    if (count % 80 == 0) {
        putstr(ses_, 0, "", 1, screenlogmask);
        count = 1;
    }
    // a duDA+ run keeps the line of its progress marks
    if (!pd_.duda) putstr(ses_, 0, realstr(st_->calcstatus), 0, screenlogmask);
}

}  // namespace qv::pdsolve
