// The tables the derived results and compositional summaries of a solved point read.

#include "base/fatal.hpp"
#include "phasediagram/resultprinters.hpp"
#include "thermo/makes.hpp"

namespace qv {

DerivedMuTables derivedmutables(const char* procname, Run& run, SolveState& st) {
    if (st.rl == nullptr || st.gs == nullptr) bomb(procname, "no reactions to borrow", myfault);
    const ScriptSettings& sc = run.script;
    return DerivedMuTables{run,         *st.rl,
                           *st.gs,      phasemakes(*run.arrays.prec0, *run.arrays.prec1),
                           sc.dogminon, sc.incnlercb == controlboolean::yes};
}

PointPhases pointphases(const Run& run, const SolveState& st, eqvector& modes) {
    modes.fill(0);
    for (int j = 1; j <= run.nmodevars; ++j) modes[j] = st.varvalues[run.nxvars + j];
    return PointPhases{
        st.equilphases,  *run.arrays.prec1, run.nss, *run.arrays.prec0,     run.npure, st.xref,
        run.dataset.nem, st.varvalues,      modes,   run.dataset.components};
}

}  // namespace qv
