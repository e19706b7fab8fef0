#include "phasediagram/resultsds.hpp"

#include "base/convert.hpp"
#include "solver/storedcalcs.hpp"

namespace qv {

void setupresultsds(const Run& run, const PdRun& pd, ResultSds& r) {
    const SystemComponents& comps = run.dataset.components;
    r.bulk.modeson = pd.modesinsolve;
    r.bulk.nsyscomp = comps.ncomp;
    r.bulk.rankdeficit = pd.rankdeficit;
    if (run.script.calcsdlevel <= 0) return;
    if (!r.der) r.der = std::make_unique<SolutionDerivatives>();
    if (!r.covbp) r.covbp = std::make_unique<bulkmatrix>();
    if (!r.u) r.u = std::make_unique<Uncertainties>();
}

void calcresultsds(Session& ses, Run& run, SolveState& st, const NleVariables& vars,
                   const NleState& nst, ResultSds& r) {
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
    st.sdv.refmodevar =
        modeson && r.der->dropmode > 0 ? narrow16(vars.nxvars + r.der->dropmode) : 0;
    SdFollowUps next;
    next.calcsdlevel = run.script.calcsdlevel;
    if (next.calcsdlevel >= 2) {
        // the second csv file's block
        static const cvector nobulksd{};
        SdInfo info{vars,     r.bulk,          run.dataset.components.compnames,
                    nobulksd, r.der->dropmode, run.script.c8cb == controlboolean::yes,
                    {}};
        for (int k = 1; k <= st.cur.nphases; ++k) info.phases.push_back(st.cur.ph[k].name);
        next.info = &info;
        aftercalcsd(ses, vars, u, next);
        return;
    }
    aftercalcsd(ses, vars, u, next);
}

}  // namespace qv
