#include "phasediagram/fractrun.hpp"

#include <string>

#include "textio/channels.hpp"

namespace qv {
namespace {

// The step's P and T and the bulk into every member.
void tomembers(Run& run, const FractRun& fr) {
    ScriptTables& tab = *run.script.tables;
    const ScriptSettings& sc = run.script;
    const FractState& f = fr.state;
    for (int b = 1; b <= sc.nbatch; ++b) {
        BatchRec& rec = tab.batch[b];
        rec.p[1] = f.p;
        rec.t[1] = f.t;
        if (rec.bulkflag == 0 || rec.comp1 < 1 || rec.comp1 > sc.nmcbulk) continue;
        valreals& c = tab.mcbulk[rec.comp1];
        for (int j = 1; j <= f.nbulk; ++j) c[j] = f.bulk[j];
        rec.comp2 = 0;
    }
}

}  // namespace

void fract_start(Session& ses, Run& run, FractRun& fr) {
    setupfract(ses, run, fr.settings, run.script.rbicb == controlboolean::yes, fr.rbi, fr.flagged,
               fr.bulk, fr.state);
    tomembers(run, fr);
}

void fract_nextstep(Session& ses, Run& run, FractRun& fr) {
    dofract(ses, run, fr.settings, fr.state);
    tomembers(run, fr);
}

void fract_afterstep(Session& ses, const Run& run, const SolveState& st, const BatchState& bs,
                     FractRun& fr) {
    const Result& res = st.cur;
    const int16 nmodes = run.nmodevars;
    Fixed1<real, maxeq> modes{};
    Fixed1<cvector, maxrbi> rows{};
    Fixed1<std::string, maxeq> names{};
    int16 nrows = 0;
    for (int k = 1; k <= res.nphases && nrows < maxrbi; ++k) {
        rows[++nrows] = res.ph[k].comp;
        names[nrows] = res.ph[k].name;
    }
    for (int i = 1; i <= nmodes && i <= maxeq; ++i) modes[i] = st.varvalues[run.nxvars + i];
    if (st.stepno == 1) {
        fractbulk(ses, run, fr.settings, nmodes, modes, nrows, rows, fr.state);
        for (int i = 1; i <= nrows; ++i) fr.state.rbi.names[i] = names[i];
        return;
    }
    FractResult r;
    r.member = st.stepno;
    const int16 k = bs.modephase[st.stepno][1];
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    if (k >= 1) r.phase = k <= run.nss ? ss[k].name : pure[k - run.nss].name;
    r.losing = k >= 1 && bs.memberphases()[1][k];
    r.calct = run.script.nbatch >= 1 && run.script.tables->batch[1].calct;
    r.p = res.p;
    r.t = res.t;
    r.nmodes = nmodes;
    r.modes = modes;
    r.names = names;
    r.nrows = nrows;
    r.rows = rows;
    printfractresults(ses, run, fr.settings, r, fr.state);
}

}  // namespace qv
