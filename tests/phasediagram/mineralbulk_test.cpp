#include "phasediagram/mineralbulk.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "base/fatal.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

struct BulkRun {
    BulkRun() {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        fillcomponenttable(run.comps);
        ts.ses.ch.pagewidth = 250;
    }
    void components(std::initializer_list<const char*> names,
                    std::initializer_list<int> atoms = {}) {
        SystemComponents& sc = run.dataset.components;
        sc.ncomp = 0;
        for (const char* n : names) {
            ++sc.ncomp;
            sc.compnames[sc.ncomp] = n;
            sc.compdenom[sc.ncomp] = 1;
            sc.compatoms[sc.ncomp] = 1;
            mb.set.reducedcomp[sc.ncomp] = true;
        }
        int k = 0;
        for (int a : atoms) sc.compatoms[++k] = static_cast<int16>(a);
        mb.set.nuvleft = sc.ncomp;
        mb.set.kbpden = 1;
    }
    TestSession ts;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    MineralBulk mb;
};

// The analytical error model of an ordinary bulk: with the denominator's amount y_d (percent)
// shared by every entry, cov(b'_i, b'_j) = 0.025^2 / y_d off the diagonal, and the diagonal adds
// 0.025^2 / y_k (0.075^2 / y_k for O).
TEST(MineralBulk, RockBulkCovarianceByHand) {
    BulkRun f;
    f.components({"SiO2", "Al2O3", "FeO", "O"});
    cvector bulk{};
    const real b[] = {50, 20, 25, 5};  // sums to 100, so y is the bulk itself
    for (int k = 1; k <= 4; ++k) bulk[k] = b[k - 1];
    calccovbp(f.ts.ses, f.run, f.mb, bulk);
    const real yd = 50;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_REL_NEAR(f.mb.bprime[i], std::log(b[i] / yd), 1e-15L);
        for (int j = 1; j <= 3; ++j) {
            if (i != j) EXPECT_REL_NEAR(f.mb.covbprime[i][j], 0.000625L / yd, 1e-15L);
        }
    }
    EXPECT_REL_NEAR(f.mb.covbprime[1][1], 0.000625L / yd + 0.000625L / 20, 1e-15L);
    EXPECT_REL_NEAR(f.mb.covbprime[2][2], 0.000625L / yd + 0.000625L / 25, 1e-15L);
    EXPECT_REL_NEAR(f.mb.covbprime[3][3], 0.000625L / yd + 0.005625L / 5, 1e-15L);
    EXPECT_REL_NEAR(f.mb.sdbprime[3], std::sqrt(f.mb.covbprime[3][3]), 1e-15L);
    EXPECT_EQ(f.mb.covbprime[4][4], 0);

    bulk[2] = -1;
    EXPECT_BOMB(calccovbp(f.ts.ses, f.run, f.mb, bulk), "calc covbp",
                "negative entry in bulk: logratio cannot be formed");
    f.run.dataset.components.compnames[3] = "Xy";
    EXPECT_BOMB(calccovbp(f.ts.ses, f.run, f.mb, bulk), "calc covbp", "Xy not found 2");
}

TEST(MineralBulk, StackedVariablesAreBlockDiagonal) {
    BulkRun f;
    auto& ms = f.run.script.tables->minerals;
    f.run.script.nmin = 2;
    for (int m = 1; m <= 2; ++m) {
        ms[m].nxyz = static_cast<int16>(m + 2);
        for (int i = 1; i <= m + 2; ++i) {
            ms[m].xyz[i] = 0.1L * i + m;
            ms[m].sdxyz[i] = 0.01L * i;
            for (int j = 1; j <= m + 2; ++j) ms[m].cor[i][j] = i == j ? 1 : 0.5L;
        }
    }
    stackmineralvars(f.run, f.mb);
    ASSERT_EQ(f.mb.nstackvars, 7);
    EXPECT_EQ(f.mb.stackvars[4], ms[2].xyz[1]);
    EXPECT_REL_NEAR(f.mb.stackcov[2][3], 0.02L * 0.5L * 0.03L, 1e-15L);
    EXPECT_REL_NEAR(f.mb.stackcov[7][5], 0.04L * 0.5L * 0.02L, 1e-15L);
    EXPECT_REL_NEAR(f.mb.stackcov[6][6], 0.03L * 0.03L, 1e-15L);
    EXPECT_EQ(f.mb.stackcov[3][4], 0);  // different minerals are uncorrelated
    EXPECT_EQ(f.mb.stackcov[5][1], 0);
}

// A rock of a binary solution g (x = proportion of its SiO2 end-member) and quartz, half each
// by mode on an atom basis (SiO2 3 atoms, FeO 2). The bulk ratio is
// FeO/SiO2 = 3 (1 - x) / (4x + 2), so b' = ln(3 (1 - x) / (4x + 2)) with
// db'/dx = -1/(1 - x) - 4/(4x + 2): the Monte Carlo sd of b' against that linear propagation.
TEST(MineralBulk, MineralBulkAndItsMonteCarloSpread) {
    BulkRun f;
    f.components({"SiO2", "FeO"}, {3, 2});
    ptype1& g = (*f.run.arrays.prec1)[1];
    g.name = "g";
    g.nem = 2;
    g.nvar = 1;
    g.em[1].comp[1] = 1;
    g.em[2].comp[2] = 1;
    for (int e = 1; e <= 2; ++e) {
        sxtermtype& t = g.p[e].sxterm[1];
        g.p[e].nsxterms = 1;
        t.nxterms = 1;
        t.xterm[1].constnum = static_cast<int16>(e - 1);  // x, then 1 - x
        t.xterm[1].nx = 1;
        t.xterm[1].num[1] = static_cast<int16>(e == 1 ? 1 : -1);
        t.xterm[1].den[1] = 1;
        t.xterm[1].idx[1] = 1;
    }
    ptype0& q = (*f.run.arrays.prec0)[1];
    q.name = "q";
    q.comp[1] = 1;
    f.run.nss = 1;
    f.run.npure = 1;
    f.run.script.nmin = 1;
    mineraltype& m = f.run.script.tables->minerals[1];
    m.name = "g";
    m.nxyz = 1;
    const real x = 0.6L, sdx = 0.02L;
    m.xyz[1] = x;
    m.sdxyz[1] = sdx;
    m.cor[1][1] = 1;
    f.run.script.tables->rbimode[1] = 0.5L;
    f.run.script.tables->rbimode[2] = 0.5L;
    f.mb.set.dudaplus = true;
    f.mb.set.rbi = true;
    f.mb.set.nrbimode = 2;

    const real si = 0.5L * x / (2 + x) + 0.5L / 3, fe = 0.5L * (1 - x) / (2 + x);
    cvector bulk{};
    bulk[1] = 100 * si / (si + fe);
    bulk[2] = 100 * fe / (si + fe);
    calccovbp(f.ts.ses, f.run, f.mb, bulk);
    EXPECT_EQ(m.phase, 1);
    EXPECT_REL_NEAR(bulk[1], si / (si + fe), 1e-15L);  // fractions from here on
    EXPECT_NE(f.ts.console.output.find("bulks are the same, ok"), std::string::npos);
    EXPECT_NE(f.ts.console.output.find(" seed = "), std::string::npos);
    const real bp = std::log(3 * (1 - x) / (4 * x + 2));
    const real slope = -1 / (1 - x) - 4 / (4 * x + 2);
    // 5000 trials: the median within a few hundredths of an sd, the sd within a few percent.
    EXPECT_ABS_NEAR(static_cast<double>(f.mb.bprime[1]), static_cast<double>(bp), 0.005);
    EXPECT_REL_NEAR(f.mb.sdbprime[1], std::fabs(slope) * sdx, 0.05L);
}

TEST(MineralBulk, MineralSetupStops) {
    BulkRun f;
    f.run.nss = 1;
    (*f.run.arrays.prec1)[1].name = "g";
    (*f.run.arrays.prec1)[1].nvar = 2;
    f.run.script.nmin = 1;
    mineraltype& m = f.run.script.tables->minerals[1];
    m.name = "opx";
    EXPECT_BOMB(mineralsetup(f.run), "calc covbp", "unrecognised phase, opx");
    m.name = "g";
    m.nxyz = 1;
    EXPECT_BOMB(mineralsetup(f.run), "mineral setup", "phase size mismatch");
    (*f.run.arrays.prec1)[1].var[2].isorder = true;  // order variables are not given
    mineralsetup(f.run);
    EXPECT_EQ(m.phase, 1);
}

}  // namespace
}  // namespace qv::test
