// Assemblages of pure phases only in a Gibbs energy minimisation. The candidates that are solved
// each hold a solution phase; an assemblage of pure phases has nothing to solve, and is compared
// here: its amounts from the mass balance of the bulk, its G the sum of amounts times the G of
// its phases, on the basis of the candidates' G (the first bulk step in fractions, amounts in
// formula units). The least of all is the point's winner.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "model/crossrefs.hpp"
#include "numerics/combinations.hpp"
#include "numerics/intmath.hpp"
#include "phasediagram/dogmin.hpp"
#include "thermo/makes.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

// An assemblage of pure phases that makes the bulk.
struct PureSet {
    int16 n = 0;
    Fixed1<int16, maxcomp> phase{};  // the run's pure phase numbers, rising
    Fixed1<real, maxcomp> amount{};  // formula units per unit of bulk
    Fixed1<real, maxcomp> mode{};    // proportions on the atom basis of the modes, summing to 1
    real bulkatoms = 0;              // atoms of the bulk per unit of bulk
};

// The comparison holds where the candidates' G is the G of a closed system of the bulk: every
// component in the bulk (no ln a or mu variable, no x(CO2) section) and nothing held by an
// isopleth.
bool comparable(const Run& run, const PdRun& pd) {
    const ScriptSettings& sc = run.script;
    return pd.dm && sc.pseudoon && pd.bulk.nbulk >= 1 && sc.nlna <= 0 && sc.nmu <= 0 &&
           !pd.xco2varon && pd.iso.nisopleths == 0 &&
           pd.bulk.nuvleft == run.dataset.components.ncomp && pd.bulk.nuvleft <= run.npure;
}

real formulaatoms(const icvector& comp, const SystemComponents& sc) {
    real s = 0;
    for (int k = 1; k <= sc.ncomp; ++k) {
        if (comp[k] != 0) s += static_cast<real>(comp[k]) / sc.compdenom[k] * sc.compatoms[k];
    }
    return s;
}

// The amounts of the phases of `take` that make bulk b, when the composition matrix is square
// and nonsingular and none is negative.
bool massbalance(const Run& run, const cvector& b, PureSet& set) {
    const SystemComponents& comps = run.dataset.components;
    const prectype0& pure = *run.arrays.prec0;
    const int16 n = set.n;
    auto exact = std::make_unique<liemmatrix>();
    for (int c = 1; c <= n; ++c) {
        for (int j = 1; j <= n; ++j) (*exact)[c][j] = pure[set.phase[j]].comp[c];
    }
    if (integerechelon(*exact, n, n) < n) return false;
    // Gaussian elimination with partial pivoting on [A | b].
    Fixed1<Fixed1<real, maxcomp + 1>, maxcomp> a{};
    for (int c = 1; c <= n; ++c) {
        for (int j = 1; j <= n; ++j) {
            a[c][j] = static_cast<real>(pure[set.phase[j]].comp[c]) / comps.compdenom[c];
        }
        a[c][n + 1] = b[c];
    }
    for (int i = 1; i <= n; ++i) {
        int piv = i;
        for (int r = i + 1; r <= n; ++r) {
            if (std::fabs(a[r][i]) > std::fabs(a[piv][i])) piv = r;
        }
        std::swap(a[i], a[piv]);
        for (int r = i + 1; r <= n; ++r) {
            const real f = a[r][i] / a[i][i];
            for (int j = i; j <= n + 1; ++j) a[r][j] -= f * a[i][j];
        }
    }
    for (int i = n; i >= 1; --i) {
        real s = a[i][n + 1];
        for (int j = i + 1; j <= n; ++j) s -= a[i][j] * set.amount[j];
        set.amount[i] = s / a[i][i];
    }
    real atoms = 0;
    for (int j = 1; j <= n; ++j) {
        // a phase the bulk does not need comes out zero within rounding
        if (set.amount[j] < -1e-12L) return false;
        if (set.amount[j] < 0) set.amount[j] = 0;
        set.mode[j] = set.amount[j] * formulaatoms(pure[set.phase[j]].comp, comps);
        atoms += set.mode[j];
    }
    if (atoms <= 0) return false;
    for (int j = 1; j <= n; ++j) set.mode[j] /= atoms;
    set.bulkatoms = atoms;
    return true;
}

// G (kJ) of the run's pure phases at the points of the grid, formed as a calculation forms them
// (the made ones from their constituents, a fixed activity as RT ln a) and only when asked.
class PureG {
public:
    PureG(Session& ses, const Run& run) : ses_(ses), run_(run), gs_(gemsettings(run)) {
        *td_ = *run.arrays.td;
        names_ = run.dataset.emnames;
    }
    real operator()(int16 j, int16 point, real p, real t) {
        const auto key = static_cast<std::size_t>(j);
        if (point != point_) {
            point_ = point;
            have_.assign(static_cast<std::size_t>(run_.npure) + 1, false);
            g_.assign(static_cast<std::size_t>(run_.npure) + 1, 0);
        }
        if (have_[key]) return g_[key];
        const ptype0& ph = (*run_.arrays.prec0)[j];
        // Row 1 is the first row of any calculation; the constituents of made phases keep their
        // own rows at the end of the table.
        tdvector& row = (*td_)[1];
        calctdrow(run_.dataset, ph.td, ph.nmake, 0, j, row);
        row[27] = run_.xco2cur;
        row[28] = run_.xh2ocur;
        names_[1] = ph.emname;
        const GemTables gt{*td_, names_, phasemakes(*run_.arrays.prec0, *run_.arrays.prec1)};
        real g = gemdriver(ses_, gs_, gt, 1, p, t);
        if (ph.activity != 1) g += rgas * t * std::log(ph.activity);
        have_[key] = true;
        g_[key] = g;
        return g;
    }

private:
    Session& ses_;
    const Run& run_;
    GemSettings gs_;
    std::unique_ptr<tdmatrix> td_ = std::make_unique<tdmatrix>();
    Fixed1<std::string, maxem> names_;
    int16 point_ = 0;
    std::vector<bool> have_;
    std::vector<real> g_;
};

// The result record of a pure-phase winner, as the report reads it.
void pureresult(const Run& run, const PdRun& pd, const DogminPoint& r, const PureSet& set,
                const cvector& bulk, PureG& gof, Result& res) {
    const SystemComponents& comps = run.dataset.components;
    const prectype0& pure = *run.arrays.prec0;
    res = Result{};
    res.p = r.p;
    res.t = r.t;
    res.variance = narrow16(comps.ncomp + 2 - set.n);
    res.runvariance = res.variance;
    res.ncomp = comps.ncomp;
    for (int c = 1; c <= comps.ncomp; ++c) {
        res.compnames[c] = comps.compnames[c];
        res.compused[c] = pd.bulk.reducedcomp[c];
        if (res.compused[c]) ++res.nbulkcomp;
    }
    res.nbulk = 1;
    res.bulk[1] = bulk;
    res.bulkstep = 1;
    res.nmodesteps = 1;
    res.firstmodestep = 1;
    res.nphases = set.n;
    res.sys.nbulk = 1;
    res.sys.bulk[1] = bulk;
    for (int i = 1; i <= set.n; ++i) {
        const int16 j = set.phase[i];
        ResultPhase& ph = res.ph[i];
        ph.name = pure[j].name;
        ph.table = j;
        ph.hasmode = true;
        ph.mode[1] = set.mode[i];
        ph.stepfactor[1] = set.mode[i] > 0 ? set.amount[i] / set.mode[i] : 0;
        ph.p[1] = 1;
        ph.act[1] = ph.idealact[1] = pure[j].activity;
        ph.gamma[1] = 1;
        for (int c = 1; c <= comps.ncomp; ++c) {
            ph.comp[c] = static_cast<real>(pure[j].comp[c]) / comps.compdenom[c];
        }
        ph.props.comp = ph.comp;
        ph.props.nem = 1;
        ph.props.p[1] = 1;
        ph.props.g = ph.props.gem[1] = gof(j, 1, r.p, r.t);
        ph.props.mode[1] = ph.mode[1];
        ph.props.factor[1] = ph.stepfactor[1];
        res.sys.g[1] += set.amount[i] * ph.props.g;
    }
    res.g = res.sys.g[1];
}

}  // namespace

void dogminpure(Session& ses, Run& run, PdRun& pd) {
    if (!comparable(run, pd)) return;
    DogminTables& dm = *pd.dm;
    const int16 n = pd.bulk.nuvleft;
    for (int k = 1; k <= run.nss; ++k) {
        if (run.excess.isophaseflag[k]) return;  // a solution phase every assemblage must hold
    }
    const cvector bulk = bulkat(pd.bulk, 0);
    // The assemblages the bulk allows, whatever P and T.
    std::vector<PureSet> sets;
    iemvector comb;
    startcombination(comb, n);
    for (;;) {
        bool more = false;
        nextcombination(comb, n, run.npure, more);
        if (!more) break;
        PureSet set;
        set.n = n;
        for (int i = 1; i <= n; ++i) set.phase[i] = comb[i];
        bool required = true;
        for (int j = 1; j <= run.npure; ++j) {
            if (!run.excess.isophaseflag[run.nss + j]) continue;
            bool in = false;
            for (int i = 1; i <= n; ++i) in = in || comb[i] == j;
            required = required && in;
        }
        if (required && massbalance(run, bulk, set)) sets.push_back(set);
    }
    if (sets.empty()) return;
    PureG gof(ses, run);
    for (int16 i = 1; i <= dm.npoints; ++i) {
        DogminPoint& r = dm.point[i];
        for (const PureSet& set : sets) {
            bemvector phases{};
            real g = 0;
            for (int k = 1; k <= n; ++k) {
                phases[run.nss + set.phase[k]] = true;
                g += set.amount[k] * gof(set.phase[k], i, r.p, r.t);
            }
            // As among the candidates, the first of equal energies stays the best: here the
            // candidates, which come first.
            if (!r.found || g < r.least) {
                if (r.found) r.margin = r.least - g;
                r.found = true;
                r.pure = true;
                r.least = g;
                r.best = 0;
                r.phases = phases;
                if (dm.npoints == 1) pureresult(run, pd, r, set, bulk, gof, *dm.bestresult);
            } else if (g - r.least < r.margin) {
                r.margin = g - r.least;
            }
            if (dm.npoints == 1 && dm.nequillist < maxequillist) {
                EquilEntry& e = (*dm.equillist)[++dm.nequillist];
                e = EquilEntry{};
                e.phases = phases;
                e.g = g;
                e.nmodes = n;
                for (int k = 1; k <= n; ++k) e.modes[k] = set.mode[k];
            }
        }
    }
}

}  // namespace qv
