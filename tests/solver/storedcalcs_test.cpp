// The calculations stored for the average P-T fit: capacity and its message, the list of stored
// variables fixed by the first calculation, the correlations between them and the fluid value.

#include "solver/storedcalcs.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/fakes.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// A result with P 8 kbar, T 650 C and the variables x(g), y(g), x(fluid), z(ol), with sds and
// covariances of our choosing.
struct Stored {
    TestSession ts;
    NleVariables v;
    Uncertainties u;
    StoredCalcs sc;
    std::vector<std::vector<std::string>> minerals = {{"x(g)", "y(g)"}, {"z(ol)"}};
    Stored() {
        v.nxvars = 6;
        const char* names[] = {"P(kbar)", "T(C)", "x(g)", "y(g)", "x(fluid)", "z(ol)"};
        const real values[] = {8, 923.15L, 0.25L, 0.5L, 0.875L, 0.125L};
        for (int k = 1; k <= 6; ++k) {
            v.xname[k] = names[k - 1];
            v.xvalue[k] = values[k - 1];
        }
        u.n = 6;
        const real sd[] = {0.5L, 10, 0.01L, 0.02L, 0.1L, 0.04L};
        for (int i = 1; i <= 6; ++i) {
            u.sdx[i] = sd[i - 1];
            u.covx[i][i] = sd[i - 1] * sd[i - 1];
        }
        u.covx[3][4] = u.covx[4][3] = 0.0001L;   // correlation 0.5
        u.covx[3][6] = u.covx[6][3] = -0.0002L;  // -0.5
        u.covx[4][6] = u.covx[6][4] = 0.0004L;   // 0.5
    }
    void run() { accumulate(ts.ses, v, u, minerals, sc); }
};

TEST(Accumulate, FirstCalculationFixesTheListAndStoresValuesSdsAndCorrelations) {
    Stored s;
    s.run();
    EXPECT_EQ(s.ts.console.output, "progress - equilibria calcs: ");
    EXPECT_EQ(s.sc.nqv, 1);
    EXPECT_EQ(s.sc.ncalcxyz, 3);
    EXPECT_EQ(s.sc.ncalccorr, 3);
    EXPECT_EQ(s.sc.calcxyznames[3], "z(ol)");
    const qvcalctype& r = (*s.sc.qvcalcs)[1];
    EXPECT_EQ(r.p, 8);
    EXPECT_ABS_NEAR(static_cast<double>(r.t), 650, 1e-12);
    EXPECT_EQ(r.xfluid, 0.875L);
    EXPECT_EQ(r.xyz[2], 0.5L);
    EXPECT_EQ(r.sdxyz[3], 0.04L);
    // (2,1), (3,1), (3,2)
    EXPECT_ABS_NEAR(static_cast<double>(r.corr[1]), 0.5, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(r.corr[2]), -0.5, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(r.corr[3]), 0.5, 1e-15);
    // Later calculations add a record and no progress header.
    s.v.xvalue[3] = 0.3L;
    s.run();
    EXPECT_EQ(s.sc.nqv, 2);
    EXPECT_EQ((*s.sc.qvcalcs)[2].xyz[1], 0.3L);
    EXPECT_EQ(s.ts.console.output, "progress - equilibria calcs: ");
}

TEST(Accumulate, NoFluidVariableStoresZeroAndOneVariableNoCorrelation) {
    Stored s;
    s.v.xname[5] = "x(melt)";
    s.minerals = {{"z(ol)"}};
    s.run();
    EXPECT_EQ((*s.sc.qvcalcs)[1].xfluid, 0);
    EXPECT_EQ(s.sc.ncalccorr, 0);
}

TEST(Accumulate, MarkerSdGivesTinyCorrelationsZeroSdNone) {
    Stored s;
    s.u.sdx[3] = sdmarker;  // variance at most 1e-14
    s.u.covx[3][4] = s.u.covx[4][3] = 1e-9L;
    s.u.sdx[6] = 0;  // not solved for
    s.run();
    const qvcalctype& r = (*s.sc.qvcalcs)[1];
    EXPECT_ABS_NEAR(static_cast<double>(r.corr[1]), 1e-9 / (-10 * 0.02), 1e-20);
    EXPECT_EQ(r.corr[2], 0);
    EXPECT_EQ(r.corr[3], 0);
    EXPECT_EQ(r.sdxyz[1], sdmarker);
}

TEST(Accumulate, EightHundredStoredThenTheRunStops) {
    Stored s;
    for (int i = 1; i <= maxqvcalcs; ++i) s.run();
    EXPECT_EQ(s.sc.nqv, 800);
    s.ts.console.output.clear();
    EXPECT_BOMB(s.run(), "calcsd", "too many calcs");
    EXPECT_EQ(s.ts.console.output,
              "\n\nmade it to T =  650.0\xA1"
              "C and P =   8.00 kbar, with 800calcs\n");
}

TEST(Accumulate, NameListFaults) {
    {
        Stored s;
        s.minerals = {std::vector<std::string>(25, "x(g)")};
        EXPECT_BOMB(s.run(), "accumulate", "too many xyznames");
    }
    {
        Stored s;
        s.minerals = {std::vector<std::string>(24, "x(g)")};
        s.run();
        EXPECT_EQ(s.sc.ncalcxyz, 24);
        EXPECT_EQ(s.sc.ncalccorr, 276);
    }
    {
        Stored s;
        s.minerals = {{"x(g)", "q(ky)"}};
        EXPECT_BOMB(s.run(), "accumulate", "xyz does not match 1");
        EXPECT_EQ(s.ts.console.output, "q(ky) not found\n");
    }
    {
        Stored s;
        s.run();
        s.v.xname[4] = "y(opx)";
        s.ts.console.output.clear();
        EXPECT_BOMB(s.run(), "accumulate", "xyz does not match 2");
        EXPECT_EQ(s.ts.console.output, "");
    }
}

TEST(Aftercalcsd, StoresAndWritesOnlyWhatWasPropagated) {
    TempDir dir;
    Stored s;
    s.u.valid = true;
    s.ts.ses.ch.files[8].f = std::fopen("x-2.csv", "w");
    NleVariables& v = s.v;
    BulkRatios bulk;
    const scvector names;
    const cvector sdbp;
    const SdInfo info{v, bulk, names, sdbp, 0, false, {"g"}};
    SdFollowUps next{1, &s.sc, &s.minerals, &info};
    aftercalcsd(s.ts.ses, s.v, s.u, next);
    EXPECT_EQ(s.sc.nqv, 1);
    EXPECT_FALSE(s.ts.ses.ch.used[8]);  // level 1: no block
    next.calcsdlevel = 2;
    aftercalcsd(s.ts.ses, s.v, s.u, next);
    EXPECT_EQ(s.sc.nqv, 2);
    EXPECT_TRUE(s.ts.ses.ch.used[8]);
    s.ts.ses.ch.used[8] = false;
    s.u.valid = false;  // nothing propagated
    aftercalcsd(s.ts.ses, s.v, s.u, next);
    EXPECT_EQ(s.sc.nqv, 2);
    EXPECT_FALSE(s.ts.ses.ch.used[8]);
    std::fclose(s.ts.ses.ch.files[8].f);
}

}  // namespace
}  // namespace qv::test
