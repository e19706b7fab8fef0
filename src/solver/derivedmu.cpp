#include "solver/derivedmu.hpp"

#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "solver/reactionsets.hpp"
#include "thermo/fluids.hpp"

namespace qv {
namespace {

constexpr real rgasmu = rgas;  // kJ/K

// The tables borrowed while the extra end-member is in place, as they were.
class Borrowed {
public:
    Borrowed(DerivedMuTables& tab, const char* procname) : tab_(tab) {
        Run& run = tab.run;
        nem_ = run.dataset.nem;
        nreac_ = run.nreac;
        if (nem_ + 1 > maxem) bomb(procname, "too many end-members", yourfault);
        r_ = std::make_unique<rmatrix>(*run.arrays.r);
        texts_ = tab.rl.rxntext;
        rdiv_ = tab.rl.rdiv;
        name_ = run.dataset.emnames[nem_ + 1];
        for (int i = 1; i <= maxcomp; ++i) col_[i] = (*run.arrays.c)[i][nem_ + 1];
        run.dataset.nem = narrow16(nem_ + 1);
        run.dataset.nrxem = run.dataset.nem;
    }
    ~Borrowed() {
        Run& run = tab_.run;
        run.dataset.nem = nem_;
        run.dataset.nrxem = nem_;
        run.nreac = nreac_;
        *run.arrays.r = *r_;
        tab_.rl.rxntext = texts_;
        tab_.rl.rdiv = rdiv_;
        run.dataset.emnames[nem_ + 1] = name_;
        for (int i = 1; i <= maxcomp; ++i) (*run.arrays.c)[i][nem_ + 1] = col_[i];
    }
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
    int16 extra() const { return narrow16(nem_ + 1); }

private:
    DerivedMuTables& tab_;
    int16 nem_ = 0;
    int16 nreac_ = 0;
    std::unique_ptr<rmatrix> r_;
    Fixed1<std::string, maxreac> texts_;
    Fixed1<int16, maxreac> rdiv_;
    std::string name_;
    Fixed1<int16, maxcomp> col_;
};

int16 findcomp(const SystemComponents& sc, const std::string& name) {
    for (int16 k = 1; k <= sc.ncomp; ++k) {
        if (sc.compnames[k] == name) return k;
    }
    return 0;
}

// Puts one mole of component k in the extra slot, sets up the reactions and returns the
// reaction holding the extra end-member (0 none).
int16 setupextra(Session& ses, DerivedMuTables& tab, int16 extra, int16 k,
                 const std::string& name) {
    Run& run = tab.run;
    const SystemComponents& sc = run.dataset.components;
    icmatrix& c = *run.arrays.c;
    run.dataset.emnames[extra] = name;
    for (int i = 1; i <= sc.ncomp; ++i) c[i][extra] = 0;
    c[k][extra] = narrow16(sc.compdenom[k]);
    iemvector mixweights;
    calcreactions(ses, CompositionTables{c, sc, run.dataset.emnames, extra}, mixweights,
                  tab.dogminon, tab.incnler, *run.arrays.r, run.nreac, tab.rl);
    for (int16 q = 1; q <= run.nreac; ++q) {
        if ((*run.arrays.r)[q][extra] != 0) return q;
    }
    return 0;
}

// Sum of nu_j mu_j over the end-members of reaction q other than the extra one.
real musum(Session& ses, DerivedMuTables& tab, int16 q, int16 extra, real p, real t) {
    Run& run = tab.run;
    tdmatrix& td = *run.arrays.td;
    const GemTables gt{td, run.dataset.emnames, tab.makes};
    real s = 0;
    for (int16 j = 1; j < extra; ++j) {
        const int16 nu = (*run.arrays.r)[q][j];
        if (nu == 0) continue;
        td[j][27] = 0;
        td[j][28] = 1;
        const real g = gemdriver(ses, tab.gs, gt, j, p, t);
        s += nu * (g + rgasmu * t * std::log(run.dataset.emact[j]));
    }
    return s;
}

}  // namespace

real h2ogasg0(real t) {
    return -243.84051L - 243.75L / t - 1.0048L * std::sqrt(t) + 0.1087083L * t - 4.328e-6L * t * t -
           0.0401L * t * std::log(t);
}

real docalcah2o(Session& ses, DerivedMuTables& tab, real p, real t) {
    const int16 k = findcomp(tab.run.dataset.components, "H2O");
    if (k == 0) bomb("docalcah2o", "H2O is not a component", yourfault);
    Borrowed b(tab, "docalcah2o");
    const int16 x = b.extra();
    const int16 q = setupextra(ses, tab, x, k, "H2O");
    if (q == 0) return 0;
    const real nux = (*tab.run.arrays.r)[q][x];
    const real gh2o = h2ogasg0(t) + spfluid(ses, tab.run.dataset.newspfluid, p, t).rtlnf;
    const real s = musum(ses, tab, q, x, p, t) + nux * gh2o;
    return std::exp(-s / (nux * rgasmu * t));
}

real docalcmuo(Session& ses, DerivedMuTables& tab, real p, real t) {
    // Without the component O there is no oxygen potential to give.
    const int16 k = findcomp(tab.run.dataset.components, "O");
    if (k == 0) bomb("docalcmuo", "O is not a component", yourfault);
    Borrowed b(tab, "docalcmuo");
    const int16 x = b.extra();
    const int16 q = setupextra(ses, tab, x, k, "O");
    if (q == 0) return 0;
    return -musum(ses, tab, q, x, p, t) / (*tab.run.arrays.r)[q][x];
}

void docalcmu(Session& ses, DerivedMuTables& tab, real p, real t, cvector& compmu) {
    Borrowed b(tab, "docalcmu");
    const int16 x = b.extra();
    const SystemComponents& sc = tab.run.dataset.components;
    for (int16 k = 1; k <= sc.ncomp; ++k) {
        const int16 q = setupextra(ses, tab, x, k, sc.compnames[k]);
        compmu[k] = q == 0 ? 0 : -musum(ses, tab, q, x, p, t) / (*tab.run.arrays.r)[q][x];
    }
}

}  // namespace qv
