#include "phasediagram/batch.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// The name of phase k of the phase-table layout (solution phases, then pure phases).
const std::string& phasename(const Run& run, int k) {
    return k <= run.nss ? (*run.arrays.prec1)[k].name : (*run.arrays.prec0)[k - run.nss].name;
}

}  // namespace

void setupbatch(Run& run, const bemvector& equilphases, BatchState& bs) {
    if (!bs.phases) bs.phases = std::make_unique<Fixed1<bemvector, maxbatch>>();
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    // The candidate's phases in list order, and where each stands in the phase table.
    strings names;
    Fixed1<int16, maxem> where{};
    int16 n = 0;
    for (int k = 1; k <= run.nss + run.npure; ++k) {
        if (!equilphases[k]) continue;
        names[++n] = phasename(run, k);
        where[n] = narrow16(k);
    }
    for (int w = 1; w <= sc.nwithphases && w <= maxwords; ++w) {
        int16 pos = 0;
        if (!posinlist(sc.withlist[w], names, n, pos)) {
            bomb("setupbatch", "name " + sc.withlist[w] + " not recognised", yourfault);
        }
        bs.withpos[w] = where[pos];
    }
    const prectype1& ss = *run.arrays.prec1;
    for (int b = 1; b <= sc.nbatch; ++b) {
        const BatchRec& rec = tab.batch[b];
        bemvector& ph = (*bs.phases)[b];
        ph.fill(false);
        for (int w = 1; w <= sc.nwithphases && w <= maxwords; ++w) {
            if (rec.phases[w]) ph[bs.withpos[w]] = true;
        }
        for (int m = 1; m <= 2; ++m) {
            bs.modephase[b][m] = m <= rec.nmodeset ? bs.withpos[rec.modephase[m]] : int16{0};
        }
        // A composition isopleth names a variable of one of the member's solution phases.
        for (int i = 1; i <= rec.nisopleth; ++i) {
            bs.isophase[b][i] = 0;
            bs.isovar[b][i] = 0;
            for (int k = 1; k <= run.nss && bs.isophase[b][i] == 0; ++k) {
                if (!ph[k]) continue;
                for (int v = 1; v <= ss[k].nvar; ++v) {
                    if (ss[k].var[v].name == rec.isonames[i]) {
                        bs.isophase[b][i] = narrow16(k);
                        bs.isovar[b][i] = narrow16(v);
                    }
                }
            }
            if (bs.isophase[b][i] == 0) {
                bomb("setupbatch", "isopleth " + rec.isonames[i] + " not recognised", yourfault);
            }
        }
    }
}

namespace {

// The bulk of a batch member from its composition blocks: one value for each component of the
// member's phases, made the run's one bulk.
void batchbulk(Run& run, PdRun& pd, BatchState& bs, const BatchRec& rec, const bemvector& member,
               bool firstrun) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    bs.bulkgiven = true;
    const valreals& c1 = tab.mcbulk[rec.comp1];
    const real f = rec.comp2 == 0 ? 0 : rec.bulkprop;
    const SystemComponents& comps = run.dataset.components;
    // The components of the member's phases: its bulk gives one value for each.
    Fixed1<bool, maxcomp> used{};
    int16 nused = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        for (int k = 1; k <= run.nss && !used[c]; ++k) {
            if (!member[k]) continue;
            for (int e = 1; e <= ss[k].nem; ++e) {
                if (ss[k].em[e].comp[c] != 0) used[c] = true;
            }
        }
        for (int j = 1; j <= run.npure && !used[c]; ++j) {
            if (member[run.nss + j] && pure[j].comp[c] != 0) used[c] = true;
        }
        if (used[c]) ++nused;
    }
    int16 nvalues = 0;
    for (int i = 1; i <= std::min(maxwords, maxcomp); ++i) {
        if (c1[i] != 0 || (rec.comp2 != 0 && tab.mcbulk[rec.comp2][i] != 0)) nvalues = narrow16(i);
    }
    if (firstrun && nused != nvalues) bomb("dobatch", "mismatch in making bcomps", yourfault);
    bs.bulk.fill(0);
    int16 j = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        run.compkept[c] = used[c];
        if (!used[c]) continue;
        ++j;
        const real c2 = rec.comp2 == 0 ? 0 : tab.mcbulk[rec.comp2][j];
        bs.bulk[c] = (1 - f) * c1[j] + f * c2;
    }
    // The member's bulk is the run's one bulk, over the components it uses.
    BulkState& bulk = pd.bulk;
    bulk.reducedcomp = used;
    bulk.nuvleft = nused;
    bulk.bulkstart.fill(0);
    int16 r = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (used[c]) bulk.bulkstart[++r] = bs.bulk[c];
    }
    bulk.bulkend = bulk.bulkstart;
    bulk.nbulk = 1;
    bulk.bulkpropstart = 0;
    bulk.bulkpropend = 1;
    pd.nbulk = 1;
    pd.modesinsolve = true;
    if (yes(sc.projectioncb)) bomb("dobatch", "danger - projc not diagonal", yourfault);
}

}  // namespace

void dobatch(Session& ses, Run& run, PdRun& pd, BatchState& bs, int16 b, bool firstrun,
             bemvector& equilphases) {
    ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const BatchRec& rec = tab.batch[b];
    prectype1& ss = *run.arrays.prec1;
    prectype0& pure = *run.arrays.prec0;
    const bemvector& member = bs.memberphases()[b];

    // Nothing of the last member's isopleths or bulk stays.
    bs.bulkgiven = false;
    pd.modesinsolve = false;
    pd.modesaftersolve = false;
    for (int k = 1; k <= run.nss; ++k) {
        ss[k].flag2 = false;
        ss[k].int2 = 0;
        for (int v = 1; v <= ss[k].nvar; ++v) {
            ss[k].var[v].flag = false;
            ss[k].var[v].int3 = 0;
        }
    }
    for (int j = 1; j <= run.npure; ++j) {
        pure[j].flag2 = false;
        pure[j].int1 = 0;
    }
    pd.iso = IsoplethTable{};

    // Starting guesses from the member's block, on every run.
    const BatchXyzBlock& block = tab.bxyz[rec.kxyz];
    for (int k = 1; k <= run.nss; ++k) {
        if (!member[k]) continue;
        for (int v = 1; v <= ss[k].nvar; ++v) {
            xvartype& var = ss[k].var[v];
            int g = 0;
            for (int i = 1; i <= block.n && g == 0; ++i) {
                if (block.guess[i].name == var.name) g = i;
            }
            if (g == 0) bomb("dobatch", "xyzguess: can't find " + var.name, yourfault);
            var.guess = block.guess[g].value;
        }
    }
    if (firstrun) {
        for (int i = 1; i <= rec.nisopleth; ++i) {
            ss[bs.isophase[b][i]].var[bs.isovar[b][i]].guess = rec.isovalues[i];
        }
        for (int k = 1; k <= run.nss; ++k) {
            if (member[k] && !legalcomp(ss[k])) {
                bomb("setupbatch",
                     "starting guess not legal for " + ss[k].name + " in batch " + realstr(b),
                     yourfault);
            }
        }
    }

    equilphases.fill(false);
    for (int k = 1; k <= run.nss + run.npure; ++k) equilphases[k] = member[k];

    int16 variance = rec.variance;
    Windows& w = run.windows;
    w.npvalues = rec.np;
    w.ntvalues = rec.nt;
    for (int i = 1; i <= rec.np; ++i) w.pvalues[i] = rec.p[i];
    for (int i = 1; i <= rec.nt; ++i) w.tvalues[i] = rec.t[i];

    if (rec.bulkflag != 0) batchbulk(run, pd, bs, rec, member, firstrun);
    // Modes held at the member's values.
    if (rec.nmodeset > 0) {
        variance = narrow16(2 - rec.nmodeset);
        if (variance < 0) bomb("dobatch", "negative variance (1)", yourfault);
        for (int m = 1; m <= rec.nmodeset; ++m) {
            const int16 k = bs.modephase[b][m];
            if (k <= run.nss) {
                ss[k].flag2 = true;
                ss[k].int2 = narrow16(m);
            } else {
                pure[k - run.nss].flag2 = true;
                pure[k - run.nss].int1 = narrow16(m);
            }
            pd.iso.values[m][1] = rec.mode[m];
            pd.iso.nvalues[m] = 1;
            pd.iso.moderow[k] = narrow16(m);
        }
        pd.iso.nmodeisopleths = rec.nmodeset;
    }
    // Composition variables held at the member's values, numbered after the modes.
    if (rec.nisopleth > 0) {
        if (bs.bulkgiven && rec.nmodeset == 0) variance = 2;
        variance = narrow16(variance - rec.nisopleth);
        if (variance < 0) bomb("dobatch", "negative variance (2)", yourfault);
        for (int i = 1; i <= rec.nisopleth; ++i) {
            const int16 row = narrow16(rec.nmodeset + i);
            xvartype& var = ss[bs.isophase[b][i]].var[bs.isovar[b][i]];
            var.flag = true;
            var.int3 = row;
            pd.iso.values[row][1] = rec.isovalues[i];
            pd.iso.nvalues[row] = 1;
            pd.iso.varrow[bs.isophase[b][i]][bs.isovar[b][i]] = row;
        }
        pd.iso.nxyzisopleths = rec.nisopleth;
    }
    pd.iso.nisopleths = narrow16(rec.nmodeset + rec.nisopleth);
    // The isopleths lower the variance of the calculation, not that of the member's equilibria.
    run.variance = variance;
    pd.variance = variance;
    pd.maxvariance = rec.variance;

    const BatchRec& first = tab.batch[1];
    if (!bs.fracton) {
        bool calct = false;
        if (variance == 1) {
            if (rec.nt >= 2) {
                calct = false;
            } else if (rec.np >= 2) {
                calct = true;
            } else {
                calct = rec.calct;
            }
        }
        w.calcvariable = calct ? calcvariabletype::calctemperature : calcvariabletype::calcpressure;
    } else {
        w.calcvariable =
            first.calct ? calcvariabletype::calctemperature : calcvariabletype::calcpressure;
        if (b == 1) {
            bs.bulkgiven = first.variance > 2;
            pd.modesinsolve = bs.bulkgiven;
            sc.pseudoon = !bs.bulkgiven;
            sc.printbulkinfocb = controlboolean::yes;
            sc.printxyzcb = bs.savedprintxyz ? controlboolean::yes : controlboolean::no;
            putstr(ses, 1, std::string(48, '+'), 2, logmask);
        } else {
            sc.printbulkinfocb = controlboolean::no;
            sc.printxyzcb = controlboolean::no;
        }
    }
}

}  // namespace qv
