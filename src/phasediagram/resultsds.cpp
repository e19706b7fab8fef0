#include "phasediagram/resultsds.hpp"

#include "base/convert.hpp"
#include "phasediagram/dudarun.hpp"
#include "solver/storedcalcs.hpp"

namespace qv {

void setupresultsds(const Run& run, const PdRun& pd, ResultSds& r) {
    const SystemComponents& comps = run.dataset.components;
    const BulkState& bulk = pd.bulk;
    r.bulk.modeson = pd.modesinsolve;
    r.bulk.nsyscomp = comps.ncomp;
    r.bulk.rankdeficit = pd.rankdeficit;
    r.bulknames = comps.compnames;
    if (pd.modesinsolve && bulk.nuvleft > 0) {
        // The mass balances are those of the bulk components, in system order.
        r.bulk.nsyscomp = bulk.nuvleft;
        r.bulk.bulkref = 1;
        int16 k = 0;
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (!bulk.reducedcomp[c]) continue;
            r.bulknames[++k] = comps.compnames[c];
            if (c == bulk.kbpden) r.bulk.bulkref = k;
        }
    }
    if (run.script.calcsdlevel <= 0) return;
    if (!r.der) r.der = std::make_unique<SolutionDerivatives>();
    if (!r.covbp) r.covbp = std::make_unique<bulkmatrix>();
    if (!r.u) r.u = std::make_unique<Uncertainties>();
    *r.covbp = bulkmatrix{};
    r.sdbp = cvector{};
    if (pd.modesinsolve) {
        // b' over the bulk components but the denominator, as the bulk reader formed it
        const MineralBulk& lr = bulk.logratio;
        for (int i = 1; i < bulk.nuvleft; ++i) {
            r.sdbp[i] = lr.sdbprime[i];
            for (int j = 1; j < bulk.nuvleft; ++j) (*r.covbp)[i][j] = lr.covbprime[i][j];
        }
    }
}

void setpointbulk(const MassBalance& mb, ResultSds& r) {
    for (int c = 1; c <= r.bulk.nsyscomp; ++c) r.bulk.bulkcomp[c] = mb.bulkcomp[c];
}

void calcresultsds(Session& ses, Run& run, SolveState& st, const NleVariables& vars,
                   const NleState& nst, ResultSds& r, DudaRun* duda) {
    const SdInputs in{vars,      *r.der,          r.bulk,          *r.covbp,          *run.arrays.r,
                      run.nreac, *run.arrays.cov, run.dataset.nem, *run.arrays.prec1, st.xref,
                      nst.neqns, nst.njaccols};
    Uncertainties& u = *r.u;
    calcsd(ses, in, u);
    // By solution vector position, for the printers.
    st.sdv = SdVectors{};
    const bool modeson = r.bulk.modeson;
    for (int16 i = 1; i <= u.n; ++i) {
        const int16 k = positionvar(vars, modeson, r.der->dropmode, i);
        st.sdv.sd[k] = u.sdx[i];
        st.sdv.h[k] = u.sdxh[i];
        st.sdv.w[k] = u.sdxw[i];
        st.sdv.b[k] = u.sdxb[i];
    }
    st.sdv.refmodevar = modeson ? r.der->dropmode : int16{0};
    SdFollowUps next;
    next.calcsdlevel = run.script.calcsdlevel;
    if (duda != nullptr) {
        next.stored = &duda->calcs;
        next.mineralxyz = &duda->mineralxyz;
    }
    if (next.calcsdlevel >= 2) {
        // the second csv file's block
        SdInfo info{vars,   r.bulk,          r.bulknames,
                    r.sdbp, r.der->dropmode, run.script.c8cb == controlboolean::yes,
                    {}};
        for (int k = 1; k <= st.cur.nphases; ++k) info.phases.push_back(st.cur.ph[k].name);
        next.info = &info;
        aftercalcsd(ses, vars, u, next);
        return;
    }
    aftercalcsd(ses, vars, u, next);
}

}  // namespace qv
