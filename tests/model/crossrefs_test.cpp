// Cross references of an equilibrium calculation and its loops.

#include "model/crossrefs.hpp"

#include <gtest/gtest.h>

#include <string>

#include "model/phasefixture.hpp"

namespace qv::test {
namespace {

// One solution phase of four end-members and three variables (site multiplicity 3), a second
// solution phase that does not take part, and two pure phases.
struct XrefRun : PhaseRun {
    CrossRefs xref;
    CalcLayoutSettings lay;
    bemvector phases;
    XrefRun() {
        run.arrays.td = std::make_unique<tdmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.c = std::make_unique<icmatrix>();
        run.arrays.r = std::make_unique<rmatrix>();
        run.dataset.components.ncomp = 2;
        run.nss = 2;
        for (int i = 1; i <= 2; ++i) {
            ptype1& ph = ss(i);
            ph.name = i == 1 ? "gt" : "bi";
            ph.nem = 4;
            ph.nvar = 3;
            ph.flag2 = false;
            ph.int2 = 0;
            ph.modeguess = 0.3L;
            for (int j = 1; j <= 4; ++j) {
                ph.em[j].name = ph.name + std::to_string(j);
                ph.em[j].maxpower = 3;
                ph.em[j].comp[1] = static_cast<int16>(j);
                ph.em[j].td[1] = -100 * j;
                ph.em[j].td[31] = 1;
            }
            for (int v = 1; v <= 3; ++v) {
                ph.var[v].name = "v" + std::to_string(v) + "(" + ph.name + ")";
                ph.var[v].scale = 2;
                ph.var[v].offset = 0.5L;
                ph.var[v].step = 0.01L;
            }
        }
        addpure("q").comp[2] = 1;
        addpure("ru").comp[1] = 1;
        run.windows.scaling.pscale = 0.1L;
        run.windows.scaling.tscale = 0.01L;
        lay.psmallstep = 0.001L;
        lay.tsmallstep = 0.0001L;
        phases[1] = true;
        phases[3] = true;
        phases[4] = true;
    }
    void make() { makecrossrefs(ses, run, xref, lay, phases); }
};

TEST(MakeCrossRefs, LayoutOfOneSolutionPhaseAndPurePhases) {
    XrefRun r;
    r.ss(1).var[2].flag = true;  // an isopleth
    r.ss(1).var[2].int3 = 1;
    r.ss(1).em[2].nmake = 1;  // made: its row points at its phase and place
    r.lay.modesolved = true;
    r.make();
    const Dataset& ds = r.run.dataset;
    EXPECT_EQ(r.run.nxvars, 5);
    ASSERT_EQ(ds.nem, 6);
    EXPECT_EQ(ds.nrxem, 6);
    EXPECT_TRUE(r.xref.phasestart[1]);
    EXPECT_EQ(r.xref.emphase[1], 1);
    EXPECT_EQ(r.xref.emvarpos[1], 3);
    EXPECT_EQ(r.xref.emvarpos[2], 0);
    EXPECT_FALSE(r.xref.phasestart[2]);
    EXPECT_EQ(ds.emnames[4], "gt4");
    EXPECT_EQ(ds.emnames[5], "q");
    // The end-members keep their site multiplicities; P, T and the modes have their own.
    EXPECT_EQ(ds.nsite[1], 3);
    EXPECT_EQ(ds.nsite[2], 3);
    EXPECT_EQ(ds.nsite[5], 1);
    EXPECT_EQ(r.xref.xnsite[1], 1);
    EXPECT_EQ(r.xref.xnsite[2], 1);
    EXPECT_EQ(r.xref.xnsite[3], 0);
    EXPECT_EQ((*r.run.arrays.c)[1][3], 3);
    EXPECT_EQ((*r.run.arrays.c)[2][5], 1);
    const tdmatrix& td = *r.run.arrays.td;
    EXPECT_EQ(td[1][1], -100);
    EXPECT_EQ(td[2][29], 1);
    EXPECT_EQ(td[2][30], 2);
    EXPECT_EQ(td[3][29], 0);
    // P, T, three variables, then the modes of gt, q and ru.
    EXPECT_EQ(r.xref.xnames[1], "P(kbar)");
    EXPECT_EQ(r.xref.xnames[2],
              "T(\xA1"
              "C)");
    EXPECT_EQ(r.xref.xnames[4], "v2(gt)");
    EXPECT_FALSE(r.xref.xfree[4]);
    EXPECT_EQ(r.xref.nxfixed, 1);
    EXPECT_EQ(r.xref.xscale[1], 0.1L);
    EXPECT_EQ(r.xref.xtol[2], 0.0001L);
    EXPECT_EQ(r.run.nmodevars, 3);
    EXPECT_EQ(r.xref.nssmodes, 1);
    EXPECT_EQ(r.xref.xnames[6], "gt");
    EXPECT_EQ(r.xref.xnames[8], "ru");
    EXPECT_EQ(r.xref.modevarpos[1], 3);
    EXPECT_EQ(r.xref.modephase[3], 2);
    EXPECT_EQ(r.xref.xnsite[7], 1);
    EXPECT_EQ(r.xref.xtol[8], 1e-4L);
    EXPECT_EQ(r.xref.ncalcphases, 3);
    EXPECT_EQ((*r.xref.calcphaselist)[1].varnames[3], "v3(gt)");
    EXPECT_EQ((*r.xref.calcphaselist)[3].name, "ru");
}

TEST(MakeCrossRefs, LnaPurePhaseHasNoModeAndCovarianceIsOfTheChosen) {
    XrefRun r;
    r.lay.modesolved = true;
    r.sc.nlna = 1;
    r.sc.lna[1].name = "q";
    r.sc.calcsdlevel = 1;
    // Covariance rows numbered over every phase's end-members: gt 1-4, bi 5-8, q 9, ru 10.
    r.ss(1).em[2].vec[9] = 0.25L;
    (*r.run.arrays.prec0)[2].vec[3] = 0.5L;
    r.make();
    EXPECT_EQ(r.run.nmodevars, 2);
    EXPECT_EQ(r.xref.xnames[7], "ru");
    EXPECT_FALSE((*r.xref.calcphaselist)[2].shown);
    const emmatrix& cov = *r.run.arrays.cov;
    EXPECT_EQ(cov[2][5], 0.25L);
    EXPECT_EQ(cov[6][3], 0.5L);
}

TEST(MakeCrossRefs, TooManyVariables) {
    XrefRun r;
    r.run.nss = 30;
    for (int i = 3; i <= 30; ++i) r.ss(i) = r.ss(1);
    for (int i = 1; i <= 30; ++i) r.phases[i] = i <= 29;
    r.phases[31] = r.phases[32] = false;
    r.phases[3] = true;
    r.make();  // 29 phases: 87 variables fit
    EXPECT_EQ(r.run.nxvars, 89);
    r.phases[30] = true;
    EXPECT_BOMB(r.make(), "makecrossrefs", "too many variables");
}

TEST(SetupLoops, CountsByVarianceAndLnaVariables) {
    XrefRun r;
    r.ss(1).var[2].flag = true;
    r.ss(1).var[2].int3 = 1;
    r.lay.nisovalues[1] = 4;
    r.lay.modesolved = true;
    r.lay.nbulk = 2;
    r.sc.nlna = 1;
    r.sc.lna[1].name = "q";
    r.run.windows.nlnavalues[1] = 7;
    r.run.windows.ntvalues = 11;
    r.run.windows.npvalues = 5;
    r.run.nreac = 1;
    (*r.run.arrays.r)[1][5] = 0;  // q in no reaction
    r.run.variance = 1;
    r.make();
    CalcLoops l = setuploops(r.ses, r.run, r.xref, r.lay);
    ASSERT_EQ(l.nloops, 5);
    const int first[] = {4, 2, 1, 1, 11};
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(l.count[i], first[i - 1]) << i;
    EXPECT_EQ(r.ts.console.output, "equilibrium does not depend on a(q)\n");
    EXPECT_FALSE(r.xref.xfree[2]);
    EXPECT_TRUE(r.xref.xfree[1]);

    (*r.run.arrays.r)[1][5] = -2;
    r.run.variance = 3;
    r.make();
    l = setuploops(r.ses, r.run, r.xref, r.lay);
    EXPECT_EQ(l.count[3], 7);
    EXPECT_EQ(l.count[4], 5);
    EXPECT_FALSE(r.xref.xfree[1]);
}

}  // namespace
}  // namespace qv::test
