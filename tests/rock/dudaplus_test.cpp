#include "rock/dudaplus.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "base/fatal.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

// A rock of one mineral with two compositional variables whose calculated values are linear in
// P (kbar) and T (degrees C): x1 = 0.30 + 0.05 (P - 8) + 0.0004 (T - 600) and
// x2 = 0.60 - 0.02 (P - 8) + 0.0010 (T - 600). Calcs on the grid P = 6.5..10.5 (step 1) by
// T = 510..710 (step 25), both off the planted point (8 kbar, 600 C).
real model1(real p, real t) {
    return 0.30L + 0.05L * (p - 8) + 0.0004L * (t - 600);
}
real model2(real p, real t) {
    return 0.60L - 0.02L * (p - 8) + 0.0010L * (t - 600);
}

struct DudaHarness {
    explicit DudaHarness(std::string input = {}) : ts(std::move(input)) {
        ts.ses.ch.activechannels = 1;
        ts.ses.ch.pagewidth = 250;
        calcs.ncalcxyz = 2;
        calcs.ncalccorr = 1;
        calcs.calcxyznames[1] = "x(g)";
        calcs.calcxyznames[2] = "z(g)";
        win.pwinlow = 6.5L;
        win.pwinhigh = 10.5L;
        win.pinc = 1;
        win.twinlow = 510 + 273.15L;
        win.twinhigh = 710 + 273.15L;
        win.tinc = 25;
        for (real p = 6.5L; p <= 10.5L; p += 1) {
            for (real t = 510; t <= 710; t += 25) addcalc(p, t, model1(p, t), model2(p, t));
        }
        mineraltype& m = (*minerals)[1];
        m.name = "g";
        m.nxyz = 2;
        m.xyz[1] = model1(8, 600);
        m.xyz[2] = model2(8, 600);
        m.sdxyz[1] = m.sdxyz[2] = 0.01L;
        m.cor[1][1] = m.cor[2][2] = 1;
        m.cor[1][2] = m.cor[2][1] = 0.3L;
        set.avptpguess = 7;
        set.avpttguess = 560;
        set.avptfixedp = 7;
        set.avptfixedt = 560;
        set.avptalgorithm = 2;
        set.avptinfo = 0;
    }
    void addcalc(real p, real t, real x1, real x2, real sd1 = 0.01L, real sd2 = 0.012L,
                 real r = -0.2L) {
        qvcalctype& c = (*calcs.qvcalcs)[++calcs.nqv];
        c.p = p;
        c.t = t;
        c.xyz[1] = x1;
        c.xyz[2] = x2;
        c.sdxyz[1] = sd1;
        c.sdxyz[2] = sd2;
        c.corr[1] = r;
    }
    DudaInputs inputs() { return DudaInputs{calcs, set, win, *minerals, 1, {"g", "q"}, {}, {}}; }

    TestSession ts;
    StoredCalcs calcs;
    DudaSettings set;
    Windows win;
    std::unique_ptr<mineraltable> minerals = std::make_unique<mineraltable>();
};

// The stages of the driver up to the nominal solution.
void nominal(DudaState& d) {
    dudachecks(d);
    dudafit(d);
    dudarock(d);
    dudanominal(d);
}

TEST(DudaPlus, RecoversPlantedPtWithZeroSigfit) {
    DudaHarness h;
    h.ts.ses.ch.activechannels = 1;
    DudaInputs in = h.inputs();
    DudaState d(h.ts.ses, in);
    nominal(d);
    EXPECT_FALSE(d.avpplus || d.avtplus);
    EXPECT_EQ(d.fit.npolyterms, 13);
    EXPECT_REL_NEAR(d.pmid, 8.0L, 1e-9L);
    EXPECT_REL_NEAR(d.tmid, 600.0L, 1e-9L);
    EXPECT_LT(d.sigfitnom, 1e-6L);
    EXPECT_NE(h.ts.console.output.find("duDA+ = {8.000 kbar, 600.00\xA1"
                                       "C}, sigfit = 0, using  45 PT calcs"),
              std::string::npos)
        << h.ts.console.output;
}

TEST(DudaPlus, AvPPlusFromCalcsAtOneT) {
    DudaHarness h;
    h.calcs.nqv = 0;
    for (real p = 6.5L; p <= 10.5L; p += 0.5L) h.addcalc(p, 600, model1(p, 600), model2(p, 600));
    h.set.avptcalc = 1;
    h.set.avptfixedt = 600;
    DudaInputs in = h.inputs();
    {
        DudaState d(h.ts.ses, in);
        EXPECT_BOMB(dudachecks(d), "avptplusdriver",
                    "cannot do duDA+ with calcs at just one P or T");
    }
    in.set.avptcalc = 2;
    DudaState d(h.ts.ses, in);
    nominal(d);
    EXPECT_TRUE(d.avpplus);
    EXPECT_EQ(d.fit.npolyterms, 5);
    EXPECT_REL_NEAR(d.pmid, 8.0L, 1e-9L);
}

TEST(DudaPlus, DriverChecks) {
    {
        DudaHarness h;
        h.calcs.nqv = 5;
        DudaInputs in = h.inputs();
        DudaState d(h.ts.ses, in);
        EXPECT_BOMB(dudachecks(d), "avptplus driver", "too few calcs, nqv = 5");
        EXPECT_NE(h.ts.console.output.find("pseudosection field is too small or not there"),
                  std::string::npos);
    }
    {
        DudaHarness h;
        h.set.avpttguess = 2;  // T/P rounds to 0
        DudaInputs in = h.inputs();
        DudaState d(h.ts.ses, in);
        EXPECT_BOMB(dudachecks(d), "avptplusdriver", "PTguess inappropriate for duDA+");
    }
    {
        DudaHarness h;
        (*h.minerals)[1].nxyz = 3;
        DudaInputs in = h.inputs();
        DudaState d(h.ts.ses, in);
        dudachecks(d);
        dudafit(d);
        EXPECT_BOMB(dudarock(d), "avptplusdriver", "bung assembly of rockVxyz");
    }
}

// Two calcs at P 8 and 9 kbar whose own covariances weight the two variables differently, so
// that the rock's avP is 8.2 kbar from calc 1 and 8.9 kbar from calc 2: delP is -0.2 and +0.1,
// the bracket is closed at once and avP+ = 8 + 0.2/0.3 kbar.
TEST(DudaPlus, TwoCalcCrossover) {
    DudaHarness h;
    h.calcs.nqv = 0;
    // x1 says 8 kbar and x2 says 9 kbar (each variable is (P - 7)/12); the rock's variances are
    // 0.01, calc 1 adds 0.001 and 0.034 (weights 4:1 give 8.2), calc 2 0.089 and 0.001 (1:9).
    h.addcalc(8, 600, 0, 0, std::sqrt(0.001L), std::sqrt(0.034L), 0);
    h.addcalc(9, 600, 0, 0, std::sqrt(0.089L), std::sqrt(0.001L), 0);
    DudaInputs in = h.inputs();
    DudaState d(h.ts.ses, in);
    d.avpplus = d.onet = true;
    d.fit.npolyterms = 5;
    d.fit.polyp0 = 7;
    d.fit.polyt0 = 560;
    for (int i = 1; i <= 5; ++i) d.pexps[i] = i - 1;
    for (int j = 1; j <= 2; ++j) d.polycoeffs[j][2] = 1;  // (P - 7) / 12
    xyzvector x{}, c{};
    x[1] = 1.0L / 12;
    x[2] = 2.0L / 12;
    for (int i = 1; i <= 2; ++i) {
        d.rockcov[i][i] = 0.01L;
        d.rockwhiten[i][i] = 10;
    }
    real p = 7, t = 600, sigfit = -1;
    int16 failcode = -1;
    ASSERT_TRUE(avptplusx(d, x, c, p, t, sigfit, failcode, true));
    EXPECT_REL_NEAR((*d.delp)[1], -0.2L, 1e-9L);
    EXPECT_REL_NEAR((*d.delp)[2], 0.1L, 1e-9L);
    EXPECT_REL_NEAR(p, 8 + 0.2L / 0.3L, 1e-9L);
    EXPECT_EQ(t, 560);  // the fixed T of avP+
    EXPECT_EQ(sigfit, 0);
    EXPECT_EQ(failcode, 0);
    EXPECT_NE(h.ts.console.output.find("there is a crossover defining avP+"), std::string::npos);

    // The rock on one side of both calcs: no crossover, the code by the closer end.
    x[1] = x[2] = 4.0L / 12;  // 11 kbar from both
    p = 7;
    EXPECT_FALSE(avptplusx(d, x, c, p, t, sigfit, failcode, false));
    EXPECT_EQ(failcode, 2);
}

// The Monte Carlo of the planted rock, run twice: identical csv files; and the printed 95%
// interval box and medians against quantiles taken in the test from the same samples.
struct McRun {
    std::string csv;
    std::string out;
    std::vector<real> p, t;
    real pmid = 0, tmid = 0;
};

McRun runmontecarlo(const TempDir& dir, const std::string& name) {
    DudaHarness h("1\n0\n");
    std::FILE* f = std::fopen(name.c_str(), "w");
    h.ts.ses.ch.files[dudacsvchannel].f = f;
    DudaInputs in = h.inputs();
    auto d = std::make_unique<DudaState>(h.ts.ses, in);
    nominal(*d);
    dudamontecarlo(*d);
    std::fclose(f);
    h.ts.ses.ch.files[dudacsvchannel].f = nullptr;
    McRun r;
    r.csv = dir.read(name);
    r.out = h.ts.console.output;
    for (int i = 1; i <= d->nmcresults; ++i) {
        r.p.push_back((*d->mcp)[i]);
        r.t.push_back((*d->mct)[i]);
    }
    r.pmid = d->pmid;
    r.tmid = d->tmid;
    EXPECT_TRUE(h.ts.ses.ch.used[dudacsvchannel]);
    return r;
}

TEST(DudaPlus, MonteCarloIsReproducibleAndItsIntervalsHold) {
    TempDir dir;
    const McRun a = runmontecarlo(dir, "a.csv");
    const McRun b = runmontecarlo(dir, "b.csv");
    ASSERT_EQ(a.p.size(), 2000U);
    EXPECT_EQ(a.csv, b.csv);
    EXPECT_EQ(std::count(a.csv.begin(), a.csv.end(), '\n'), 2000);
    // The csv rows are the kept results in the order found.
    std::istringstream rows(a.csv);
    std::string row;
    std::getline(rows, row);
    EXPECT_EQ(row, fixw(a.p[0], 10, 3) + ", " + fixw(a.t[0], 10, 2));

    // Independent quantiles: positions ceil(0.025 n) = 50 and ceil(0.975 n) = 1950.
    std::vector<real> sp = a.p, st = a.t;
    std::sort(sp.begin(), sp.end());
    std::sort(st.begin(), st.end());
    const real lop = sp[49], hip = sp[1949], lot = st[49], hit = st[1949];
    const real f = 2.447L / 1.96L;
    const real midp = (lop + hip) / 2, midt = (lot + hit) / 2;
    auto d2 = [](real x) { return realfixstr(2, true, x); };
    const std::string box = "95% ci ellipse is inscribed in: " + d2(midp - f * (midp - lop)) +
                            " to " + d2(midp + f * (hip - midp)) +
                            " kbar; and T = " + d2(midt - f * (midt - lot)) + " to " +
                            d2(midt + f * (hit - midt));
    EXPECT_NE(a.out.find(box), std::string::npos) << box << "\n" << a.out;
    const real medp = (sp[999] + sp[1000]) / 2;
    std::string line = "median mc           " + fixw(medp, 8, 3);
    EXPECT_NE(a.out.find(line), std::string::npos) << line;
    line =
        "from the 95% ci     " + fixw((hip - lop) / 3.92L, 8, 3) + fixw((hit - lot) / 3.92L, 8, 2);
    EXPECT_NE(a.out.find(line), std::string::npos) << line;
    // The spread follows from the rock's sds (0.01) through the model's gradients: a few
    // tenths of a kbar and some tens of degrees, centred on the planted point.
    EXPECT_ABS_NEAR(static_cast<double>(medp), 8.0, 0.1);
    EXPECT_GT(static_cast<double>(hip - lop), 0.1);
    EXPECT_NE(a.out.find("mc: good = 2000 (tried = 2000; failed: too few data = 0"),
              std::string::npos);
}

TEST(DudaPlus, NmadSidesAndUnscaling) {
    sortvector s{};
    const real v[] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int i = 1; i <= 8; ++i) s[i] = v[i - 1];
    real low = 0, high = 0;
    ASSERT_TRUE(findnmad2(s, 8, 4.5L, low, high));
    EXPECT_REL_NEAR(low, (4.5L - 2) / 0.6745L, 1e-15L);   // 4 below: the 2nd value
    EXPECT_REL_NEAR(high, (6 - 4.5L) / 0.6745L, 1e-15L);  // 4 above: the 2nd of them
    ASSERT_TRUE(findnmad2(s, 8, 0.5L, low, high));        // none below: the first value
    EXPECT_REL_NEAR(low, (0.5L - 1) / 0.6745L, 1e-15L);
    EXPECT_FALSE(findnmad2(s, 8, 1.5L, low, high));  // one below cannot be halved

    DudaHarness h;
    DudaInputs in = h.inputs();
    DudaState d(h.ts.ses, in);
    d.pmid = 8;
    d.ufac = 1;
    EXPECT_EQ(ufacunscalep(d, 8.3L), 8.3L);
    d.ufac = 0.5L;
    EXPECT_REL_NEAR(ufacunscalep(d, 8.3L), 8.6L, 1e-15L);
}

TEST(DudaPlus, TallyLayout) {
    DudaHarness h;
    DudaInputs in = h.inputs();
    DudaState d(h.ts.ses, in);
    printmctally(d, 5000, 0);
    d.avpplus = true;
    d.nfail[2] = 7;
    printmctally(d, 4010, 4000);
    h.set.avptalgorithm = 3;
    in.set.avptalgorithm = 3;
    printmctally(d, 4010, 4000);
    EXPECT_NE(h.ts.console.output.find("mc: good = 0 (tried = 5000; failed: too few data = 0, no "
                                       "block bracket = 0, delP same in ih = 0, no collapse in "
                                       "ih = 0)"),
              std::string::npos)
        << h.ts.console.output;
    EXPECT_NE(h.ts.console.output.find("\nmc: good = 4000 (tried = 4010; failed: too few data = "
                                       "0, no crossover (+?) = 7, no crossover (-?) = 0, bad "
                                       "ih/data = 0)\n"),
              std::string::npos);
    EXPECT_NE(h.ts.console.output.find("\nmc: good = 4000 (tried = 4010, not converged = 10)\n"),
              std::string::npos);
}

TEST(DudaPlus, DiagnosticsTableLayout) {
    DudaHarness h;
    DudaInputs in = h.inputs();
    DudaState d(h.ts.ses, in);
    const real vals[] = {0.3L, 0.01L, 0.31L, 0.011L, 0.305L, 0.007L};
    for (int i = 1; i <= 2; ++i) {
        d.xyzpair[i] = vals[0] * i;
        d.rocksd[i] = vals[1];
        d.xyzpair[2 + i] = vals[2] * i;
        d.qvsd[i] = vals[3];
        d.xyzadj[i] = vals[4] * i;
        d.adjsd[i] = vals[5];
        d.estar[i] = 0.5L * i;
        d.estar[2 + i] = -0.25L * i;
    }
    h.calcs.calcxyznames[1] = "x(g)";
    h.calcs.calcxyznames[2] = "fcrd(crdfm)";  // a long name pushes its row to the right
    avptdiagnostics(d);
    const std::string expected =
        "diagnostics\n"
        "                      rock        sd        qv        sd       opt        sd    "
        "e*rock      e*qv\n"
        "  \\text{x(g)}       0.3000    0.0100    0.3100    0.0110    0.3050    0.0070     "
        "0.500    -0.250\n"
        "  \\text{fcrd(crdfm)}    0.6000    0.0100    0.6200    0.0110    0.6100    0.0070"
        "     1.000    -0.500\n";
    EXPECT_EQ(h.ts.console.output, expected);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// The default algorithm: every calc's solution in a table, then the run ends normally.
TEST(DudaPlus, BruteForceTableEndsTheRun) {
    DudaHarness h;
    h.set.avptalgorithm = 1;
    h.set.ptguessp = 7;
    DudaInputs in = h.inputs();
    EXPECT_THROW(avptplusdriver(h.ts.ses, in), RunEnded);
    const std::string& out = h.ts.console.output;
    EXPECT_NE(out.find("brute force: nqv = 45\nqv min/max P =   6.50 10.50 1.000\n"
                       "       P       T     avP     avT    delP    delT  sigfit\n"
                       "   6.500  510.00   8.000  600.00  -1.500  -1.125       0\n"),
              std::string::npos)
        << out;
    // One rule between the P blocks, none before the first row.
    int rules = 0;
    for (auto i = out.find("\n-----------------\n"); i != std::string::npos;
         i = out.find("\n-----------------\n", i + 1)) {
        ++rules;
    }
    EXPECT_EQ(rules, 4);
}

// Calcs at two x(CO2) values per P, stored x(CO2) by x(CO2): duDA+ puts them in P order; a P
// that lacks one x(CO2) leaves the list one short.
TEST(DudaPlus, XCo2CalcsReorderedByP) {
    DudaHarness h;
    h.calcs.nqv = 0;
    h.win.pwinlow = 6;
    h.win.pwinhigh = 8;
    h.win.pinc = 1;
    for (real x : {0.1L, 0.2L}) {
        for (real p = 6; p <= 8; p += 1) {
            h.addcalc(p, 600, x, 0);
            (*h.calcs.qvcalcs)[h.calcs.nqv].xfluid = x;
        }
    }
    h.set.avptxco2 = true;
    DudaInputs in = h.inputs();
    in.xco2values = {0.1L, 0.2L};
    DudaState d(h.ts.ses, in);
    withxco2preprocess(d);
    const real order[][2] = {{6, 0.1L}, {6, 0.2L}, {7, 0.1L}, {7, 0.2L}, {8, 0.1L}, {8, 0.2L}};
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(d.calc(k).p, order[k - 1][0]);
        EXPECT_EQ(d.calc(k).xfluid, order[k - 1][1]);
    }
    EXPECT_NE(
        h.ts.console.output.find("end of preprocess (shuffled)\n 1)    6.000  600.00  0.1000\n"
                                 " 2)    6.000  600.00  0.2000\n\n 3)    7.000"),
        std::string::npos)
        << h.ts.console.output;
    (*h.calcs.qvcalcs)[6].xfluid = 0.3L;
    EXPECT_BOMB(withxco2preprocess(d), "withxco2 preprocess", "nqv mismatch");
}

// avP+ with x(CO2): pairs of calcs at one P whose T brackets the fixed T give calcs
// interpolated to it.
TEST(DudaPlus, XCo2CalcsInterpolatedToTheFixedT) {
    DudaHarness h("580\n");
    h.calcs.nqv = 0;
    h.win.pwinlow = 6;
    h.win.pwinhigh = 7;
    for (real p = 6; p <= 7; p += 1) {
        h.addcalc(p, 560, 0.2L, 0.5L);
        (*h.calcs.qvcalcs)[h.calcs.nqv].xfluid = 0.1L;
        h.addcalc(p, 600, 0.4L, 0.3L);
        (*h.calcs.qvcalcs)[h.calcs.nqv].xfluid = 0.2L;
    }
    h.set.avptcalc = 2;
    DudaInputs in = h.inputs();
    in.xco2values = {0.1L, 0.2L};
    DudaState d(h.ts.ses, in);
    withxco2preprocess(d);
    ASSERT_EQ(d.nqv(), 2);
    EXPECT_REL_NEAR(d.calc(1).xfluid, 0.15L, 1e-15L);
    EXPECT_EQ(in.set.avptfixedt, 580);
    EXPECT_EQ(d.calc(2).p, 7);
    EXPECT_EQ(d.calc(2).t, 580);
    EXPECT_REL_NEAR(d.calc(2).xyz[1], 0.3L, 1e-15L);
    EXPECT_REL_NEAR(d.calc(2).xyz[2], 0.4L, 1e-15L);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// Uncertainties so inflated that no trial finds a crossover: the run says so, prints no
// intervals, leaves an empty csv and goes on.
TEST(DudaPlus, NoKeptMonteCarloResults) {
    TempDir dir;
    DudaHarness h("100000\n0\n");
    std::FILE* f = std::fopen("none.csv", "w");
    h.ts.ses.ch.files[dudacsvchannel].f = f;
    DudaInputs in = h.inputs();
    auto d = std::make_unique<DudaState>(h.ts.ses, in);
    nominal(*d);
    dudamontecarlo(*d);
    std::fclose(f);
    h.ts.ses.ch.files[dudacsvchannel].f = nullptr;
    const std::string& out = h.ts.console.output;
    EXPECT_EQ(d->ngood, 0);
    EXPECT_TRUE(d->lotsoffails);
    EXPECT_NE(out.find("mc: good = 0 (tried = 2000; failed: too few data = "), std::string::npos)
        << out;
    EXPECT_NE(out.find("\nno Monte Carlo results\n"), std::string::npos);
    EXPECT_EQ(out.find("95% ci"), std::string::npos);
    EXPECT_NE(out.find("lots of fails"), std::string::npos);
    EXPECT_TRUE(dir.exists("none.csv"));
    EXPECT_EQ(dir.read("none.csv"), "");
}

}  // namespace
}  // namespace qv::test
