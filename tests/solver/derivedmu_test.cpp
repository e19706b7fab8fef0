// Chemical potentials of the components, the oxygen potential and the water activity of a
// solved point, against the end-member chemical potentials and independent sums, and the
// tables they borrow put back exactly.

#include "solver/derivedmu.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "solvedfixture.hpp"
#include "support/near.hpp"
#include "thermo/fluids.hpp"
#include "thermo/makes.hpp"

namespace qv::test {
namespace {

template <class T>
bool same(const T& x, const T& y) {
    return x == y;
}
template <class T, int N>
bool same(const Fixed1<T, N>& x, const Fixed1<T, N>& y) {
    for (int i = 1; i <= N; ++i) {
        if (!same(x[i], y[i])) return false;
    }
    return true;
}

DerivedMuTables tables(SolvedCalc& s) {
    return DerivedMuTables{s.run, s.rl, s.gs, phasemakes(*s.run.arrays.prec0, *s.run.arrays.prec1)};
}

// What the routines borrow, for comparison after a call.
struct Snapshot {
    int16 nem, nrxem, nreac;
    std::unique_ptr<rmatrix> r;
    std::unique_ptr<icmatrix> c;
    strings names;
    Fixed1<std::string, maxreac> texts;
    Fixed1<int16, maxreac> rdiv;
    explicit Snapshot(const SolvedCalc& s)
        : nem(s.run.dataset.nem),
          nrxem(s.run.dataset.nrxem),
          nreac(s.run.nreac),
          r(std::make_unique<rmatrix>(*s.run.arrays.r)),
          c(std::make_unique<icmatrix>(*s.run.arrays.c)),
          names(s.run.dataset.emnames),
          texts(s.rl.rxntext),
          rdiv(s.rl.rdiv) {}
    void expectsame(const SolvedCalc& s) const {
        EXPECT_EQ(s.run.dataset.nem, nem);
        EXPECT_EQ(s.run.dataset.nrxem, nem);
        EXPECT_EQ(s.run.nreac, nreac);
        EXPECT_TRUE(same(*s.run.arrays.r, *r));
        EXPECT_TRUE(same(*s.run.arrays.c, *c));
        EXPECT_TRUE(same(s.run.dataset.emnames, names));
        EXPECT_TRUE(same(s.rl.rxntext, texts));
        EXPECT_TRUE(same(s.rl.rdiv, rdiv));
    }
};

TEST(Docalcmu, ComponentPotentialsGiveEveryEndMemberAndPhase) {
    OlGt s(true);
    ASSERT_TRUE(s.solve());
    s.run.dataset.nrxem = 2;  // whatever it was, it ends equal to nem
    s.rl.rxntext[1] = "3fo + 2alm = 3fa + 2py";
    s.rl.rdiv[1] = 7;
    const Snapshot before(s);
    DerivedMuTables tab = tables(s);
    cvector mu{};
    const real p = 10, t = 900;
    docalcmu(s.ses, tab, p, t, mu);
    before.expectsame(s);
    Ds62& ds = shareddataset();
    emvector muem{};
    for (int16 e = 1; e <= 4; ++e) {
        real sum = 0;
        for (int k = 1; k <= 3; ++k) sum += mu[k] * (*s.run.arrays.c)[k][e];
        muem[e] = ds.g(ds.find(s.run.dataset.emnames[e]), p, t) +
                  rgas * t * std::log(s.run.dataset.emact[e]);
        EXPECT_ABS_NEAR(static_cast<double>(sum), static_cast<double>(muem[e]), 1e-8) << e;
    }
    // G of each phase from its composition.
    for (int ph = 1; ph <= 2; ++ph) {
        const real x = s.natural(static_cast<int16>(2 + ph));
        const int e1 = 2 * ph - 1;
        real g = (1 - x) * muem[e1] + x * muem[e1 + 1];
        real fromcomps = 0;
        for (int k = 1; k <= 3; ++k) {
            fromcomps +=
                mu[k] * ((1 - x) * (*s.run.arrays.c)[k][e1] + x * (*s.run.arrays.c)[k][e1 + 1]);
        }
        EXPECT_ABS_NEAR(static_cast<double>(fromcomps), static_cast<double>(g), 1e-8) << ph;
    }
}

// Pure phases q and H2O in SiO2-H2O: the fluid end-member at unit activity.
struct QuartzWater : SolvedCalc {
    QuartzWater() {
        Ds62& ds = shareddataset();
        components({"SiO2", "H2O"});
        for (const char* name : {"q", "H2O"}) {
            ptype0& ph = addpure(name);
            ph.comp[name[0] == 'q' ? 1 : 2] = 1;
            ph.td = ds.row(ds.find(name));
        }
        layout();
        for (int e = 1; e <= 2; ++e) run.dataset.emact[e] = 1;
    }
};

TEST(Docalcah2o, PureWaterHasUnitActivityAndAHalfGivesAHalf) {
    QuartzWater s;
    const Snapshot before(s);
    DerivedMuTables tab = tables(s);
    const real p = 5, t = 900;
    const real a = docalcah2o(s.ses, tab, p, t);
    // The dataset's H2O against the ideal gas and the fluid's own R T ln f.
    Ds62& ds = shareddataset();
    const real gds = ds.g(ds.find("H2O"), p, t);
    const real ggas = h2ogasg0(t) + spfluid(s.ses, s.run.dataset.newspfluid, p, t).rtlnf;
    EXPECT_ABS_NEAR(static_cast<double>(a),
                    static_cast<double>(std::exp((gds - ggas) / (rgas * t))), 1e-12);
    EXPECT_ABS_NEAR(static_cast<double>(a), 1, 0.02);
    before.expectsame(s);
    EXPECT_EQ((*s.run.arrays.td)[2][27], 0);
    EXPECT_EQ((*s.run.arrays.td)[2][28], 1);
    s.run.dataset.emact[2] = 0.5L;
    EXPECT_ABS_NEAR(static_cast<double>(docalcah2o(s.ses, tab, p, t) / a), 0.5, 1e-12);
}

TEST(Docalcah2o, NoReactionGivesZeroAndTablesBack) {
    QuartzWater s;
    s.run.dataset.nem = 1;  // quartz alone: nothing holds H2O
    const Snapshot before(s);
    DerivedMuTables tab = tables(s);
    EXPECT_EQ(docalcah2o(s.ses, tab, 5, 900), 0);
    before.expectsame(s);
}

TEST(Docalcmuo, OxygenPotentialOfFayaliteMagnetiteQuartz) {
    // 3 fa + 2 O = 2 mt + 3 q in FeO-SiO2-O: mu(O) = (2 G(mt) + 3 G(q) - 3 G(fa)) / 2.
    SolvedCalc s;
    Ds62& ds = shareddataset();
    s.components({"FeO", "SiO2", "O"});
    const int16 comps[3][3] = {{2, 1, 0}, {3, 0, 1}, {0, 1, 0}};
    const char* names[3] = {"fa", "mt", "q"};
    for (int i = 0; i < 3; ++i) {
        ptype0& ph = s.addpure(names[i]);
        for (int k = 1; k <= 3; ++k) ph.comp[k] = comps[i][k - 1];
        ph.td = ds.row(ds.find(names[i]));
    }
    s.layout();
    for (int e = 1; e <= 3; ++e) s.run.dataset.emact[e] = 1;
    DerivedMuTables tab = tables(s);
    const real p = 2, t = 1000;
    const real expected = (2 * ds.g(ds.find("mt"), p, t) + 3 * ds.g(ds.find("q"), p, t) -
                           3 * ds.g(ds.find("fa"), p, t)) /
                          2;
    EXPECT_ABS_NEAR(static_cast<double>(docalcmuo(s.ses, tab, p, t)), static_cast<double>(expected),
                    1e-9);
}

TEST(Derivedmu, Stops) {
    QuartzWater s;
    DerivedMuTables tab = tables(s);
    cvector mu{};
    EXPECT_BOMB(docalcmuo(s.ses, tab, 5, 900), "docalcmuo", "O is not a component");
    s.run.dataset.nem = 400;
    EXPECT_BOMB(docalcah2o(s.ses, tab, 5, 900), "docalcah2o", "too many end-members");
    EXPECT_BOMB(docalcmu(s.ses, tab, 5, 900, mu), "docalcmu", "too many end-members");
    s.run.dataset.components.compnames[2] = "CO2";
    EXPECT_BOMB(docalcah2o(s.ses, tab, 5, 900), "docalcah2o", "H2O is not a component");
    s.run.dataset.components.compnames[2] = "O";
    EXPECT_BOMB(docalcmuo(s.ses, tab, 5, 900), "docalcmuo", "too many end-members");
}

}  // namespace
}  // namespace qv::test
