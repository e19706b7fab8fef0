// Dataset calibration: the preferences, the end-member and experimental data files, the
// least-squares solutions against an independent weighted fit, the enthalpy interval of
// symmetric brackets, and the files written after a fit read back.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "calibration/assemble.hpp"
#include "calibration/calcass.hpp"
#include "calibration/calibfiles.hpp"
#include "calibration/dsprefs.hpp"
#include "calibration/emfile.hpp"
#include "calibration/lsqds.hpp"
#include "calibration/lsqsolve.hpp"
#include "calibration/misfits.hpp"
#include "calibration/results.hpp"
#include "calibration/writeds.hpp"
#include "calibration/xpfile.hpp"
#include "calibration/xpphases.hpp"
#include "model/datamodel.hpp"
#include "model/dataset.hpp"
#include "model/run.hpp"
#include "support/fakes.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

// One end-member record of the new layout: linear G = H - T S + V (P - 0.001), no heat
// capacity, expansion or compressibility.
std::string emrecord(const std::string& name, const std::string& h, const std::string& s,
                     const std::string& v, const std::string& formula = "1  1.00   8  2.00") {
    return name + "   synthetic\n   " + formula + "   0  3\n  0  " + h + "\n  " + s +
           "    {entropy}\n  " + v + "\n  0 0 0 0\n  0\n  0 0\n\n";
}

// One end-member record of the old layout (dataset 5) with S = 0.1 and V = 1.0, otherwise as the
// new one: the formula line (formula, nsite, natoms) and the H line (H, sd(H), code).
std::string oldemrecord(const std::string& name, const std::string& formula,
                        const std::string& hline) {
    return name + "\n " + formula + "\n " + hline + "\n 0.1 0\n 1.0\n 0 0 0 0\n 0\n 0 0 0\n\n";
}

// A, B and C; the enthalpies are the starting values of a fit.
const std::string emfile = "6\n\n" + emrecord("A", "-1000.0", "0.10", "1.0") +
                           emrecord("B", "-900.0", "0.12", "0.9") +
                           emrecord("C", "-500.0", "0.05", "0.5") + "*\n";

struct CalFixture {
    TempDir dir;
    TestSession t;
    std::unique_ptr<Calibration> cal = std::make_unique<Calibration>();
    std::unique_ptr<qv::Run> run = std::make_unique<qv::Run>();
    CalFixture() { cal->allocate(); }

    void readem(const std::string& text) {
        dir.write("ds-em.txt", text);
        InFile f;
        ASSERT_TRUE(f.open("ds-em.txt"));
        readth(t.ses, *cal, f);
    }
    void readxp(const std::string& text) {
        dir.write("ds-xp.txt", text);
        InFile f;
        ASSERT_TRUE(f.open("ds-xp.txt"));
        readxpfile(t.ses, *run, *cal, f, "ds-xp.txt");
    }
};

// Weighted least squares by the normal equations and Gauss-Jordan elimination, written apart
// from the program's solvers.
std::vector<long double> wls(const Calibration& cal) {
    const int n = cal.ntp;
    const auto un = static_cast<std::size_t>(n);
    std::vector<std::vector<long double>> a(un, std::vector<long double>(un + 1, 0));
    for (int r = 1; r <= cal.nobs; ++r) {
        const long double w = 1 / (cal.sdy[r] * cal.sdy[r]);
        for (int i = 0; i < n; ++i) {
            const long double xi = cal.b[r][i + 1] ? cal.x[r][i + 1] : 0;
            for (int j = 0; j < n; ++j) {
                const long double xj = cal.b[r][j + 1] ? cal.x[r][j + 1] : 0;
                a[i][j] += w * xi * xj;
            }
            a[i][n] += w * xi * cal.y[r];
        }
    }
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const long double f = a[r][c] / a[c][c];
            for (int k = c; k <= n; ++k) a[r][k] -= f * a[c][k];
        }
    }
    std::vector<long double> x(un);
    for (int i = 0; i < n; ++i) x[i] = a[i][n] / a[i][i];
    return x;
}

TEST(CalibPrefs, KeywordsSuffixesAndSwitches) {
    TempDir dir;
    struct Case {
        std::string text;
        std::string xpsuffix;
        int16 infolevel;
        controlboolean useqr;
    };
    const std::vector<Case> cases = {
        {"", "", 1, controlboolean::yes},
        {"* end\nxpsuffix abc\n", "", 1, controlboolean::yes},
        {"xpsuffix abc\ninfolevel 7\n", "abc", 3, controlboolean::yes},
        {"xpsuffix yes abc\ninfolevel -2\nuseqr ask\n", "abc", -2, controlboolean::ask},
        {"xpsuffix abc\nxpsuffix no\ninfolevel 2\ninfolevel x\nuseqr no\n", "abc", 2,
         controlboolean::no},
        {"xpsuffix abc\nxpsuffix yes\nuseqr\n", "", 1, controlboolean::yes},
        {"xpsuffix on % comment\n", "on", 1, controlboolean::yes},
    };
    for (const Case& c : cases) {
        dir.write("p.txt", c.text);
        InFile f;
        ASSERT_TRUE(f.open("p.txt"));
        CalibPrefs p;
        p.xpsuffix = "old";
        readdsprefsfile(f, p);
        EXPECT_EQ(p.xpsuffix, c.xpsuffix) << c.text;
        EXPECT_EQ(p.infolevel, c.infolevel) << c.text;
        EXPECT_EQ(p.useqr, c.useqr) << c.text;
    }
    dir.write("p.txt", "moreinputlines no\nuserfac ask\ntighten\nqvdssuffix 6x\n");
    InFile f;
    ASSERT_TRUE(f.open("p.txt"));
    CalibPrefs p;
    readdsprefsfile(f, p);
    EXPECT_EQ(p.printomit, controlboolean::no);
    EXPECT_EQ(p.userfac, controlboolean::ask);
    EXPECT_EQ(p.tighten, controlboolean::yes);
    EXPECT_EQ(p.qvdssuffix, "6x");
}

TEST(CalibEndMembers, NewLayoutRecords) {
    CalFixture fx;
    fx.readem(emfile);
    const Calibration& cal = *fx.cal;
    ASSERT_EQ(cal.ntp, 3);
    EXPECT_EQ(cal.dsmode, 6);
    const tdrec& b = cal.tda[2];
    EXPECT_EQ(b.name, "B");
    EXPECT_EQ(b.label, "synthetic");
    EXPECT_EQ(b.nel, 2);
    EXPECT_EQ(b.formulael[2], 8);
    EXPECT_EQ(b.natoms, 3.0L);
    EXPECT_EQ(b.nsite, 3);  // the site count after the 0 of the formula
    EXPECT_EQ(b.H, -900.0L);
    EXPECT_REL_NEAR(b.sdS, 0.00012L, 1e-15L);
    EXPECT_EQ(b.linetext[2], "{entropy}");
    // theta = nearest integer to 10636 / (6.44 + 1000 S / natoms)
    EXPECT_EQ(b.theta, std::nearbyint(10636.0L / (6.44L + 120.0L / 3)));
    int16 ix = 0;
    EXPECT_TRUE(posinphname(cal, " C  ", ix, false));
    EXPECT_EQ(ix, 3);
    EXPECT_FALSE(posinphname(cal, "D", ix, false));
    EXPECT_EQ(ix, 0);
    EXPECT_BOMB(posinphname(cal, "D", ix, true), "posinphname", "D is not an end-member name");
    EXPECT_EQ(fx.t.console.output, "\nnumber of end-members =    3\n");
}

TEST(CalibEndMembers, OldLayoutDropsCodeZeroAndGuardsTheta) {
    CalFixture fx;
    fx.readem("5\n\n" + oldemrecord("A", "1 1.0 0 1 0.0", "-1000 0.5 1") +
              oldemrecord("D", "1 1.0 0 1 1.0", "-10 0.5 0") +
              oldemrecord("E", "1 1.0 0 1 1.0", "-20 150 1") + "*\n");
    const Calibration& cal = *fx.cal;
    ASSERT_EQ(cal.ntp, 2);
    EXPECT_EQ(cal.tda[1].name, "A");
    EXPECT_EQ(cal.tda[2].name, "E");  // D (code 0) is dropped
    EXPECT_EQ(cal.tda[1].theta, 10);  // no atoms: the guard of the new layout
    EXPECT_EQ(cal.tda[1].H0, -1000);
    EXPECT_EQ(cal.tda[1].sdH0, 0.5L);
}

TEST(CalibEndMembers, ReadingErrors) {
    CalFixture fx;
    const std::string melt = "6\n\nM\n 1 1 0\n 7 -10\n 0.1\n 1\n 0 0 0 0\n 0\n 0 0 0\n\n*\n";
    EXPECT_BOMB(fx.readem(melt), "readth", "melt end-member name does not end in 'L'");
    std::string many = "6\n\n";
    for (int i = 1; i <= 321; ++i) many += emrecord("E" + std::to_string(i), "-1", "0.1", "1");
    EXPECT_BOMB(fx.readem(many + "*\n"), "readth", "too many end-members (increase maxntp)");
    const std::string pairs = "6\n\nP\n 1 1 2 1 3 1 4 1 5 1 6 1 7 1 8 1 9 1 0\n";
    EXPECT_BOMB(fx.readem(pairs), "readth", "too many formula pairs" + maxtext(8));
}

TEST(CalibLsq, DirectCalorimetryAloneGivesItsValuesWithHatOne) {
    for (bool useqr : {true, false}) {
        CalFixture fx;
        fx.readem(emfile);
        fx.readxp("1 A -1001.5 0.8\n1 B -899.25 0.3\n2 C -501 0.4\n1 C -500.5 0\n0\n0\n0\n");
        Calibration& cal = *fx.cal;
        EXPECT_EQ(cal.ncalrows, 3);
        EXPECT_EQ(cal.tda[3].hcalsd, 0.001L);  // sd 0 reads as 0.001
        assemblexp(fx.t.ses, *fx.run, cal, 1);
        ASSERT_EQ(cal.nobs, 3);
        if (useqr) {
            qr(cal);
        } else {
            choleski(fx.t.ses, cal);
        }
        EXPECT_REL_NEAR(cal.theta[1], -1001.5L, 1e-15L);
        EXPECT_REL_NEAR(cal.theta[2], -899.25L, 1e-15L);
        EXPECT_REL_NEAR(cal.theta[3], -500.5L, 1e-15L);
        for (int r = 1; r <= 3; ++r) EXPECT_ABS_NEAR(cal.hat[r], 1.0L, 1e-12L);
        EXPECT_ABS_NEAR(cal.xx[1][1], 0.64L, 1e-15L);
        EXPECT_LT(cal.sigfit2, 1e-20L);
    }
}

// Symmetric runs 10 K either side of the equilibrium of A = B at 5 kbar: the interval is
// centred on the true reaction enthalpy, dH = T dS - dV (P - 0.001).
const std::string bracketxp =
    "1 A -1000 0.5\n1 C -500 0.3\n0\n0\n"
    "1 A B\n -1 1 1\n1 1 synthetic runs\n"
    "0 5 690 0\n1 5 710 0\n-1\n0\n";

TEST(CalibLsq, SymmetricTemperatureBracketsRecoverTheEnthalpyDifference) {
    CalFixture fx;
    fx.readem(emfile);
    fx.readxp(bracketxp);
    Calibration& cal = *fx.cal;
    ASSERT_EQ(cal.nexp, 1);
    EXPECT_EQ(cal.xp[1].reftext, "synthetic runs ");
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    ASSERT_EQ(cal.nobs, 3);
    const real truedh = 973.15L * 0.02L + 0.1L * 4.999L;
    EXPECT_EQ(cal.xp[1].brclass, 1);
    EXPECT_REL_NEAR(cal.y[3], truedh, 1e-12L);
    qr(cal);
    // dH is fixed by the one experiment row whatever the direct calorimetry of C says
    EXPECT_REL_NEAR(cal.theta[2] - cal.theta[1], truedh, 1e-12L);
    // A second iteration from the fitted enthalpies keeps the difference.
    for (int i = 1; i <= 3; ++i) cal.tda[i].H = cal.theta[i];
    assemblexp(fx.t.ses, *fx.run, cal, 2);
    EXPECT_REL_NEAR(cal.y[3], truedh, 1e-12L);
}

TEST(CalibLsq, OverdeterminedSetEqualsIndependentWeightedFitByBothMethods) {
    const std::string xp =
        "1 A -1000 0.5\n1 B -980 0.7\n1 C -500 0.3\n0\n"
        "1 A C\n 1 -2 10.0 0.8 298.15\n"
        "1 B C\n -1 1 -481.5 1.2 298.15\n"
        "3 A B\n 1 1 5 0.1 298.15\n"  // not used
        "0\n"
        "1 A B\n -1 1 1\n1 1 synthetic runs\n"
        "0 5 690 0\n1 5 710 0\n-1\n0\n";
    std::vector<real> thetas[2];
    std::vector<real> hats[2];
    for (int method = 0; method < 2; ++method) {
        CalFixture fx;
        fx.readem(emfile);
        fx.readxp(xp);
        Calibration& cal = *fx.cal;
        EXPECT_EQ(cal.noxcal, 3);
        assemblexp(fx.t.ses, *fx.run, cal, 1);
        ASSERT_EQ(cal.nobs, 6);
        // oxide rows take minus the coefficients
        EXPECT_EQ(cal.x[4][1], -1);
        EXPECT_EQ(cal.x[4][3], 2);
        const std::vector<long double> ref = wls(cal);
        if (method == 0) {
            qr(cal);
        } else {
            choleski(fx.t.ses, cal);
        }
        for (int i = 1; i <= 3; ++i) {
            EXPECT_REL_NEAR(cal.theta[i], ref[i - 1], 1e-14L);
            thetas[method].push_back(cal.theta[i]);
        }
        for (int r = 1; r <= 6; ++r) hats[method].push_back(cal.hat[r]);
        // the leverages of a fit with 3 unknowns sum to 3
        real sum = 0;
        for (real h : hats[method]) sum += h;
        EXPECT_ABS_NEAR(sum, 3.0L, 1e-12L);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(realfixstr(6, true, thetas[0][i]), realfixstr(6, true, thetas[1][i]));
    }
    for (std::size_t r = 0; r < 6; ++r) {
        EXPECT_ABS_NEAR(hats[0][r], hats[1][r], 1e-12L);
    }
}

TEST(CalibLsq, SingularProblemsStop) {
    CalFixture fx;
    fx.readem(emfile);
    fx.readxp("1 A -1000 0.5\n1 B -900 0.5\n0\n0\n0\n");
    Calibration& cal = *fx.cal;
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    EXPECT_BOMB(qr(cal), "qr", "matrix is singular");
    EXPECT_BOMB(choleski(fx.t.ses, cal), "choleski", "sqrt");
}

TEST(CalibMisfits, PairsIntervalAndOneSidedExperiments) {
    CalFixture fx;
    fx.readem(emfile);
    // three runs alternating at one P: runs 1 and 2 pair, run 3 does not pair with run 2
    fx.readxp(
        "1 A -1000 0.5\n0\n0\n1 A B\n -1 1 1\n1 1 x\n0 5 690 0\n1 5 710 0\n0 5 700 0\n-1\n"
        "1 A B\n -1 1 1\n1 1 y\n0 5 690 0\n0 5 710 0\n-1\n0\n");
    Calibration& cal = *fx.cal;
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    const xprec& e = cal.xp[1];
    EXPECT_TRUE(e.br[2].tbracket);
    EXPECT_FALSE(e.br[2].pbracket);
    EXPECT_FALSE(e.br[3].tbracket);
    // the second experiment's runs all went one way: no row
    EXPECT_TRUE(cal.xp[2].onesided);
    EXPECT_EQ(cal.nobs, 2);
    // sd(P) is continuous at 10 kbar; brsig2 = 2 sqrt((dV sdP)^2 + (2.5 dS)^2)
    const real v = 0.1L * 0.05L;
    EXPECT_REL_NEAR(e.br[1].brsig2, 2 * std::sqrt(v * v + 0.05L * 0.05L), 1e-12L);
}

TEST(CalibMisfits, MediansAtTheExtremeBoundsGiveThePlainMidpoint) {
    // lower bounds 1, 5, 5 (median = largest) and upper bounds 5.5, 5.5, 9 (median = smallest):
    // the interval leans to neither side
    auto calp = std::make_unique<Calibration>();
    Calibration& cal = *calp;
    xprec& e = cal.xp[1];
    const real brh[] = {1, 5, 5, 5.5L, 5.5L, 9};
    for (int i = 0; i < 6; ++i) {
        brrec br;
        br.direction = i >= 3;
        br.brh = brh[i];
        br.brsig2 = 1;
        e.br.push_back(br);
    }
    e.nbr = 6;
    orderbrackets(cal, 1);
    EXPECT_EQ(e.brclass, 3);
    EXPECT_REL_NEAR(0.5L * (e.hlow + e.hhigh), 5.25L, 1e-15L);
    // half-width f(g) sigbar with g = minslope, 1.5 without pairs
    EXPECT_REL_NEAR(e.hhigh - e.hlow, 2 * halfwidth(1.5L), 1e-15L);
}

TEST(CalibXpFile, ReadingErrors) {
    const std::string head = "1 A -1000 0.5\n0\n0\n";
    struct Case {
        std::string text;
        std::string proc;
        std::string message;
    };
    std::string manybr = head + "1 A B\n -1 1 1\n1 1 x\n";
    for (int i = 0; i < 271; ++i) manybr += "0 5 690 0\n";
    std::string manyox = "0\n";
    for (int i = 0; i < 201; ++i) manyox += "1 A\n 1 -1000 1 298\n";
    const std::vector<Case> cases = {
        {head + "1 A B unknowncomps\n", "readxy", "need univariant keyword"},
        {head + "1 A Q\n", "readrc", "not recognised \"Q\""},
        {head + "x A B\n", "getinteger", "expecting an integer (1); got: x - reading xp code"},
        {head + "1 A B\n -1 1 1\n1 0 x\n0 5 690 0 0.5\n0 5 690 0 -0.5\n-1\n0\n", "readxy",
         "activity of B not positive in bracket 2 of experiment 1"},
        {head + "1 A B\n -1 1 1\n1 0 x\n0 5 690 0\n", "readxy", "not enough info 2"},
        {manybr, "readxy", "need to increase maxnb"},
        {manyox, "readxy", "too many oxide calorimetry data" + maxtext(200)},
        {head + "1 A B A B A B A B A B A B A B A B\n", "readxy",
         "too many members of a reaction" + maxtext(15)},
        {"1 Z -1 1\n", "posinphname", "Z is not an end-member name"},
        {"1 A -1000 -0.5\n", "readxy",
         "sd of the calorimetric enthalpy of A = -0.5 in \"ds-xp.txt\": must not be negative"},
        {"0\n1 A\n 1 -1000 -1 298\n", "readxy",
         "sd of an oxide calorimetry enthalpy = -1 in \"ds-xp.txt\": must not be negative"},
        {"0\n1 A\n 1 -1000 1 -5\n", "readxy",
         "T of an oxide calorimetry measurement = -5 in \"ds-xp.txt\": must be above absolute "
         "zero"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CalFixture fx;
        fx.readem(emfile);
        EXPECT_BOMB(fx.readxp(c.text), c.proc, c.message);
    }
}

TEST(CalibXpFile, FluidActivitiesFollowXco2) {
    const std::string em = "6\n\n" + emrecord("A", "-1000", "0.1", "1") +
                           emrecord("H2O", "-240", "0.19", "0") +
                           emrecord("CO2", "-390", "0.21", "0") + "*\n";
    CalFixture fx;
    fx.readem(em);
    fx.readxp("0\n0\n1 A H2O\n -1 1 1\n1 1 x\n0 5 690 0.3\n1 5 690 0.3 \n2 5 700 0.2\n-1\n0\n");
    const xprec& e = fx.cal->xp[1];
    ASSERT_EQ(e.nbr, 2);  // the code-2 run is read and dropped
    EXPECT_REL_NEAR(e.br[1].bra[2], 0.7L, 1e-18L);
    EXPECT_FALSE(e.nofluid);
    EXPECT_EQ(e.reactext, "A = H2O");
    // with no CO2 in the fluid, CO2 has no activity to take a logarithm of
    CalFixture co2;
    co2.readem(em);
    EXPECT_BOMB(co2.readxp("0\n0\n1 A CO2\n -1 1 1\n1 1 x\n0 5 690 0.3\n0 5 690 0\n-1\n0\n"),
                "readxy", "activity of CO2 not positive in bracket 2 of experiment 1");
}

// An ideal one-site solution of A and B: a(A) = 1 - x, a(B) = x.
const std::string idealax =
    "ss 2 1\n  x(ss) 0.5\n  p(A) 1 1 1 1 -1 x\n  p(B) 1 1 0 1  1 x\n  sf\n  W(A,B) 0 0 0\n"
    "  2\n  xA 1 1 1 1 -1 x\n  xB 1 1 0 1  1 x\n  A 1 1 xA 1\n  B 1 1 xB 1\n";

struct PhaseFixture : CalFixture {
    PhaseFixture() {
        run->arrays.prec0 = std::make_unique<prectype0>();
        run->arrays.prec1 = std::make_unique<prectype1>();
        run->setup = calibrationsetup();
        readem(emfile);
        dir.write("ds-ax.txt", idealax);
        readax(t.ses, *run, *cal);
    }
};

TEST(CalibXpFile, ActivitiesFromAnIdealSolutionAtTheBracketCompositions) {
    PhaseFixture fx;
    ASSERT_EQ(fx.cal->xpphasenames.size(), 5);
    EXPECT_EQ(fx.cal->xpphasenames[5], "ss");
    fx.readxp(
        "1 A -1000 0.5\n0\n0\n1 A C\n -1 1 1\nss 1 in ss\n0 5 690 0 0.3\n"
        "1 5 710 0 0.25\n-1\n0\n");
    Calibration& cal = *fx.cal;
    const xprec& e = cal.xp[1];
    ASSERT_EQ(e.nlist, 3);
    EXPECT_EQ(e.listnames[2], "B");
    EXPECT_EQ(e.lista[1], -1);
    EXPECT_EQ(e.lista[2], -2);
    EXPECT_EQ(e.memberpos[1], 1);
    EXPECT_EQ(e.memberpos[2], 3);
    EXPECT_EQ(e.br[1].xyz[1], 0.3L);
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    EXPECT_REL_NEAR(e.br[1].bra[1], 0.7L, 1e-15L);
    EXPECT_REL_NEAR(e.br[1].bra[2], 0.3L, 1e-15L);
    EXPECT_REL_NEAR(e.br[2].bra[1], 0.75L, 1e-15L);
    EXPECT_REL_NEAR(e.br[1].brlnk, -std::log(0.7L), 1e-15L);

    PhaseFixture bad;
    EXPECT_BOMB(bad.readxp("0\n0\n1 A C\n -1 1 1\n1 ss x\n"), "readxy", "Bnot recognised");
    PhaseFixture unknown;
    EXPECT_BOMB(unknown.readxp("0\n0\n1 A C\n -1 1 1\nol 1 x\n"), "reading activity",
                "name, ol, not recognised 1");
    PhaseFixture end;
    end.readxp("1 A -1000 0.5\n0\n0\n1 A C\n -1 1 1\nss 1 x\n0 5 690 0 1\n-1\n0\n");
    EXPECT_BOMB(assemblexp(end.t.ses, *end.run, *end.cal, 1), "assemblexp",
                "activity of A not positive in bracket 1 of experiment 1");
}

// Garnet-like ideal mixing of A and B on three equivalent sites (as pyrope-almandine):
// a(A) = (1 - x)^3, a(B) = x^3.
const std::string garnetax =
    "ss 2 1\n  x(ss) 0.5\n  p(A) 1 1 1 1 -1 x\n  p(B) 1 1 0 1  1 x\n  sf\n  W(A,B) 0 0 0\n"
    "  2\n  xA 1 1 1 1 -1 x\n  xB 1 1 0 1  1 x\n  A 1 1 xA 3\n  B 1 1 xB 3\n";

// A calibration over the end-members of `em` and the phases of the a-x file `ax`.
struct AxCalFixture : CalFixture {
    AxCalFixture(const std::string& em, const std::string& ax) {
        initglobals(t.ses, *run);
        run->setup = calibrationsetup();
        readem(em);
        dir.write("ds-ax.txt", ax);
        readax(t.ses, *run, *cal);
    }
};

// The assemblage ss + C at 5 kbar, with the enthalpies of B and C set so that it is in
// equilibrium at 700 C with x = 0.3: A = C and B = C balance when
// G(C) - G(A) = 3 RT ln(1 - x) and G(C) - G(B) = 3 RT ln x (G = H - TS + V (P - 0.001)).
struct AssemblageFixture : AxCalFixture {
    static constexpr real t0 = 973.15L;
    static constexpr real x0 = 0.3L;
    explicit AssemblageFixture(real shiftc = 0) : AxCalFixture(emfile, garnetax) {
        auto& td = cal->tda;
        const auto g = [&](int i) { return td[i].H - t0 * td[i].S + td[i].V * (5 - 0.001L); };
        const real rt3 = 3 * 0.0083144L * t0;
        const real gc = g(1) + rt3 * std::log(1 - x0);
        td[3].H += gc - g(3) + shiftc;
        td[2].H += gc - rt3 * std::log(x0) - g(2);
    }
};

TEST(CalibAssemblage, ActivitiesAtTheGivenCompositionsOfEachRun) {
    AssemblageFixture fx;
    fx.readxp(
        "1 A -1000 0.5\n0\n0\n"
        "1 ss C univariant\n2 1 garnet runs\nA C\n -1 1\nB C\n -1 1\n"
        "0 5 690 0 0.3\n1 6 710 0 0.25\n-1\n0\n");
    Calibration& cal = *fx.cal;
    ASSERT_EQ(cal.nexp, 2);
    const xprec& e = cal.xp[1];
    const xprec& e2 = cal.xp[2];
    EXPECT_TRUE(e.ingroup && e2.ingroup);
    EXPECT_EQ(e2.reacno, 2);
    EXPECT_EQ(e.reftext, "garnet runs");
    ASSERT_EQ(e2.nlist, 3);
    EXPECT_EQ(e2.listnames[3], "C");
    EXPECT_EQ(e2.lista[1], -1);
    EXPECT_EQ(e2.lista[2], -2);
    EXPECT_EQ(e2.memberpos[1], 2);  // B
    EXPECT_EQ(e2.reactext, "B = C");
    ASSERT_EQ(e2.nbr, 2);
    EXPECT_EQ(e2.br[2].brT, 983.15L);
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    // (1 - x)^3 and x^3 at each run, in both reactions of the experiment
    for (const xprec* r : {&e, &e2}) {
        EXPECT_REL_NEAR(r->br[1].bra[1], 0.343L, 1e-15L);
        EXPECT_REL_NEAR(r->br[1].bra[2], 0.027L, 1e-15L);
        EXPECT_REL_NEAR(r->br[2].bra[1], 0.421875L, 1e-15L);
        EXPECT_REL_NEAR(r->br[2].bra[2], 0.015625L, 1e-15L);
        EXPECT_EQ(r->br[1].bra[3], 1);
    }
    EXPECT_REL_NEAR(e.br[1].brlnk, -3 * std::log(0.7L), 1e-15L);
    EXPECT_REL_NEAR(e2.br[1].brlnk, -3 * std::log(0.3L), 1e-15L);
    ASSERT_EQ(cal.nobs, 3);  // one row per reaction
    EXPECT_EQ(cal.x[3][2], -1);
    EXPECT_EQ(cal.x[3][3], 1);
}

TEST(CalibAssemblage, UnknownCompositionsSolvedWithTemperatureFree) {
    AssemblageFixture fx;
    fx.readxp(
        "1 A -1000 0.5\n0\n0\n"
        "1 ss C univariant unknowncomps\n2 1 garnet runs\nA C\n -1 1\nB C\n -1 1\n"
        "0 5 690 0\n1 5 710 0\n-1\n0\n");
    Calibration& cal = *fx.cal;
    const xprec& e = cal.xp[1];
    EXPECT_TRUE(e.xyzfromax);
    EXPECT_EQ(e.br[1].xyz[1], 0.5L);  // the a-x file's starting guess
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    // both runs at 5 kbar are solved for T and the garnet composition of the equilibrium
    for (int i = 1; i <= 2; ++i) {
        for (int r = 1; r <= 2; ++r) {
            EXPECT_ABS_NEAR(cal.xp[r].br[i].brtcalc, fx.t0, 1e-3L);
        }
        EXPECT_ABS_NEAR(e.br[i].xyz[1], 0.3L, 1e-6L);
        // the activities of the next steps are those of the solved composition
        EXPECT_ABS_NEAR(e.br[i].bra[1], 0.343L, 1e-6L);
    }
    // once the runs are paired, the run that closes the pair is not solved but takes the
    // compositions of its partner at the same pressure, solved with the dataset of this
    // iteration
    cal.tda[3].H += 0.5L;
    assemblexp(fx.t.ses, *fx.run, cal, 2);
    const int closer = e.br[2].tbracket ? 2 : 1;
    ASSERT_TRUE(e.br[closer].tbracket);
    EXPECT_EQ(e.br[closer].brtcalc, 273.15L);
    EXPECT_EQ(e.br[closer].brpcalc, 0);
    const brrec& opener = e.br[3 - closer];
    EXPECT_GT(std::fabs(opener.brtcalc - fx.t0), 1);
    EXPECT_GT(std::fabs(opener.xyz[1] - 0.3L), 1e-4L);
    EXPECT_EQ(e.br[closer].xyz[1], opener.xyz[1]);
    EXPECT_EQ(e.br[closer].bra[1], opener.bra[1]);
}

// What `f` writes to the log of the calibration of `fx`.
template <class F>
std::string logged(CalFixture& fx, F f) {
    std::string name;
    openwrite(name, "", "log.txt", fx.t.ses.ch.files[3]);
    fx.t.ses.ch.activechannels |= logmask;
    f();
    closefiles(fx.t.ses);
    fx.t.ses.ch.activechannels = 1;
    return fx.dir.read("log.txt");
}

// Marks run i of experiment k as closing a T and/or a P pair with the run before it.
void closes(Calibration& cal, int16 k, int i, bool t, bool p) {
    cal.xp[k].br[i].tbracket = t;
    cal.xp[k].br[i].pbracket = p;
}

TEST(CalibAssemblage, RunsSolvedWithPOrTFreeAndTheirTable) {
    AssemblageFixture fx;
    fx.readxp(
        "0\n0\n1 ss C univariant\n2 1 garnet runs\nA C\n -1 1\nB C\n -1 1\n"
        "0 4 700 0 0.3\n1 6 700 0 0.3\n0 5 650 0 0.3\n1 5 680 0 0.3\n1 7 650 0 0.3\n-1\n0\n");
    Calibration& cal = *fx.cal;
    closes(cal, 1, 2, false, true);
    closes(cal, 1, 4, true, false);
    const std::string log = logged(fx, [&] {
        setupxpphases(fx.t.ses, *fx.run, cal, 1);
        calcass(fx.t.ses, *fx.run, cal, 1, 2, true);
    });
    // Run 1 opens a P pair and is solved for P at its T: the assemblage's own 5 kbar, 700 C;
    // run 3 opens a T pair and is solved for T at 5 kbar. The closing runs are not solved. Run 5
    // at 7 kbar balances where exp(dG(A=C)/3RT) + exp(dG(B=C)/3RT) = 1, found by bisection.
    const real dac5 = 3 * 0.0083144L * fx.t0 * std::log(0.7L);
    const real dbc5 = 3 * 0.0083144L * fx.t0 * std::log(0.3L);
    const auto f = [&](real t) {
        const real rt3 = 3 * 0.0083144L * t;
        return std::exp((dac5 + 0.05L * (t - fx.t0) - 1) / rt3) +
               std::exp((dbc5 + 0.07L * (t - fx.t0) - 0.8L) / rt3) - 1;
    };
    const real t7 = bisect(f, 900, 1100);
    for (int r = 1; r <= 2; ++r) {
        const xprec& e = cal.xp[r];
        EXPECT_ABS_NEAR(e.br[1].brpcalc, 5.0L, 1e-6L);
        EXPECT_EQ(e.br[1].brtcalc, fx.t0);
        EXPECT_ABS_NEAR(e.br[3].brtcalc, fx.t0, 1e-4L);
        EXPECT_ABS_NEAR(e.br[5].brtcalc, t7, 1e-4L);
    }
    EXPECT_EQ(cal.xp[1].br[2].brtcalc, 273.15L);
    EXPECT_EQ(cal.xp[1].br[4].brpcalc, 0);
    EXPECT_NE(log.find("\n       2 reactions:     A     B     C\n"
                       "                       -1     0     1\n"
                       "                       -1     1     0\n\n"
                       "        P(kbar)    T(C)       calc    miss     x(ss)\n"
                       "       4.0  6.0     700        5.0            0.3000\n"
                       "          5.0    650   680     700      20    0.3000\n"
                       "          7.0          650     713      63    0.3064\n"),
              std::string::npos)
        << log;
    // an experiment turned round shows its pairs and sides the other way round
    cal.xp[1].reversed = true;
    const std::string turned = logged(fx, [&] { calcass(fx.t.ses, *fx.run, cal, 1, 2, true); });
    EXPECT_NE(turned.find("       6.0  4.0     700        5.0            0.3000\n"
                          "          5.0    680   650     700      20    0.3000\n"
                          "          7.0    650           713            0.3064\n"),
              std::string::npos)
        << turned;
}

TEST(CalibAssemblage, DivariantKnownCompositionsSolvedAtEachRun) {
    // Ideal binary solutions ss (A, B) and ss2 (D, E), D with A's and E with B's composition:
    // A = D and B = E balance when (1 - x2)/(1 - x1) = k1 = exp(-(G(D) - G(A))/RT) and
    // x2/x1 = k2 = exp(-(G(E) - G(B))/RT), so x1 = (1 - k1)/(k2 - k1) and x2 = k2 x1. With
    // G(D) - G(A) = RT0 ln(7/4) and G(E) - G(B) = -RT0 ln 2, x1 = 0.3 and x2 = 0.6 at T0 =
    // 700 C; at 650 C x1 = 0.2928, x2 = 0.6079; at 750 C 0.3066, 0.5928; at 800 C 0.3127, 0.5862.
    const std::string em = "6\n\n" + emrecord("A", "-1000", "0.10", "1.0", "5  2.00  10  2.00") +
                           emrecord("B", "-900", "0.12", "0.9", "4  2.00  10  2.00") +
                           emrecord("D", "-1000", "0.10", "1.0", "5  2.00  10  2.00") +
                           emrecord("E", "-900", "0.12", "0.9", "4  2.00  10  2.00") + "*\n";
    const auto binary = [](const std::string& ph, const std::string& a, const std::string& b) {
        return ph + " 2 1\n  x(" + ph + ") 0.5\n  p(" + a + ") 1 1 1 1 -1 x\n  p(" + b +
               ") 1 1 0 1  1 x\n  ideal\n  2\n  x1 1 1 1 1 -1 x\n  x2 1 1 0 1  1 x\n  " + a +
               " 1 1 x1 1\n  " + b + " 1 1 x2 1\n";
    };
    AxCalFixture fx(em, binary("ss", "A", "B") + binary("ss2", "D", "E"));
    Calibration& cal = *fx.cal;
    const real rt0 = 0.0083144L * 973.15L;
    cal.tda[3].H += rt0 * std::log(1.75L);
    cal.tda[4].H -= rt0 * std::log(2.0L);
    fx.readxp(
        "0\n0\n1 ss ss2 divariant\n2 1 exchange runs\nA D\n -1 1\nB E\n -1 1\n"
        "0 4 700 0 0.5 0.5\n1 6 700 0 0.5 0.5\n0 5 650 0 0.5 0.5\n1 5 750 0 0.5 0.5\n"
        "0 5 800 0 0.5 0.5\n1 5 800 0 0.5 0.5\n-1\n0\n");
    closes(cal, 1, 2, false, true);
    closes(cal, 1, 4, true, false);
    closes(cal, 1, 6, true, true);
    const std::string log = logged(fx, [&] {
        setupxpphases(fx.t.ses, *fx.run, cal, 1);
        calcass(fx.t.ses, *fx.run, cal, 1, 3, true);
    });
    // every run at its own P and T but the one that closes both kinds of pair; the runs of
    // and next to a P pair show their pressure on the side of their direction
    EXPECT_NE(log.find("\n       2 reactions:     A     B     D     E\n"
                       "                        0    -1     0     1\n"
                       "                       -1     0     1     0\n\n"
                       "        P(kbar)    T(C)       x(ss)    x(ss2)\n"
                       "       4.0          700       0.3000    0.6000\n"
                       "            6.0     700       0.3000    0.6000\n"
                       "          5.0    650          0.2928    0.6079\n"
                       "          5.0          750    0.3066    0.5928\n"
                       "          5.0       800      0.3127    0.5862\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(cal.xp[1].br[6].brtcalc, 273.15L);
    EXPECT_ABS_NEAR(cal.xp[2].br[3].brtcalc, 923.15L, 1e-9L);
    EXPECT_EQ(cal.xp[1].br[1].xyz[1], 0.5L);  // known compositions stay as given
}

TEST(CalibAssemblage, ForcedNonConvergenceWritesNoDataset) {
    // C far more stable than any garnet: no composition and temperature balance the reactions
    AssemblageFixture fx(-300);
    fx.readxp(
        "1 A -1000 0.5\n1 B -900 0.5\n1 C -500 0.5\n0\n0\n"
        "1 ss C univariant unknowncomps\n2 1 garnet runs\nA C\n -1 1\nB C\n -1 1\n"
        "0 12 690 0\n0 12.5 690 0\n-1\n0\n");
    Calibration& cal = *fx.cal;
    std::string name;
    openwrite(name, "", "log.txt", fx.t.ses.ch.files[3]);
    fx.t.ses.ch.activechannels |= logmask;
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    qr(cal);
    cal.prefs.qvdssuffix = "6n";
    fx.t.console.feed("n\n");  // do not stop at the question
    EXPECT_BOMB(writeresults(fx.t.ses, *fx.run, cal, false, false), "writing dataset",
                "some \"not converged\" present (dataset not written)");
    closefiles(fx.t.ses);
    const std::string log = fx.dir.read("log.txt");
    // a run at a whole number of kbar is named with that number, another with 1 decimal
    EXPECT_NE(log.find("===NOT converged=== at {12,690}\n"), std::string::npos) << log;
    EXPECT_NE(log.find("===NOT converged=== at {12.5,690}\n"), std::string::npos) << log;
    EXPECT_NE(log.find("univariant involving ss C  (unknown comps)  (garnet runs)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  not converged  (?not in T window: 100 - 1290)\n"), std::string::npos)
        << log;
    EXPECT_EQ(cal.notconvcount, 1);
    EXPECT_NE(fx.t.console.output.find("is a \"not converged\" univariant with unknown comps"),
              std::string::npos);
    EXPECT_FALSE(fx.dir.exists("qv-ds6n.txt"));
}

TEST(CalibAssemblage, ReadingErrors) {
    const std::string head = "0\n0\n";
    struct Case {
        std::string text;
        std::string proc;
        std::string message;
    };
    const std::vector<Case> cases = {
        {head + "1 ss ss ss ss ss C\n1 1 x\nA C\n -1 1\n", "readxy",
         "too many solution phases in one experiment" + maxtext(4)},
        {head + "1 ss C\n1 1 x\nA Q\n -1 1\n", "readrc", "not recognised \"Q\" 1"},
        {head + "1 ss C unknowncomps\n", "readxy", "need univariant keyword"},
        {head + "1 ss C\n1 1 x\nA C\n -1 1\n0 5 690 0\n", "readxy", "not enough info 1"},
        {head + "1 ss ss ss ss C C C C C C C C\n", "readxy",
         "too many end-members in the list of an experiment" + maxtext(15)},
        {"0\n1 A A A A A A A A A A A A A A A A\n", "readxy",
         "too many end-members in oxide calorimetry" + maxtext(15)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        AssemblageFixture fx;
        EXPECT_BOMB(fx.readxp(c.text), c.proc, c.message);
    }
}

// Mg2O2, Fe2O2 and Mg0.5Fe0.5O end-members for the phases below; H lies 4.5 kJ below the
// mean of a quarter of A and a quarter of B.
const std::string mgfeem = "6\n\n" + emrecord("A", "-1000", "0.10", "1.0", "5  2.00  10  2.00") +
                           emrecord("B", "-900", "0.12", "0.9", "4  2.00  10  2.00") +
                           emrecord("H", "-479.5", "0.055", "0.475", "5  0.50  4  0.50  10  1.00") +
                           "*\n";

// od: ideal mixing of Mg and Fe on two sites with their order Q; its ordered end-member F
// (Mg on M1, Fe on M2) is made of two H, 9 kJ below half A and half B. mk: ideal mixing of A and G,
// G made of B.
const std::string orderax =
    "od 3 1\n  x(od) 0.5\n  Q(od) 0.1 range -0.5 0.5\n"
    "  p(A) 1 1 1 2 -1 x -1 Q\n  p(B) 1 1 0 2  1 x -1 Q\n  p(F) 1 1 0 1  2 Q\n  ideal\n  4\n"
    "  xMgM1 1 1 1 2 -1 x  1 Q\n  xFeM1 1 1 0 2  1 x -1 Q\n"
    "  xMgM2 1 1 1 2 -1 x -1 Q\n  xFeM2 1 1 0 2  1 x  1 Q\n"
    "  A 1 2 xMgM1 1 xMgM2 1\n  B 1 2 xFeM1 1 xFeM2 1\n"
    "  F 1 2 xMgM1 1 xFeM2 1  make 1 H 2\n"
    "mk 2 1\n  y(mk) 0.5\n  p(A) 1 1 1 1 -1 y\n  p(G) 1 1 0 1  1 y\n  ideal\n  2\n"
    "  xA 1 1 1 1 -1 y\n  xG 1 1 0 1  1 y\n  A 1 1 xA 1\n  G 1 1 xG 1  make 1 B 1\n";

TEST(CalibAssemblage, StateOfOrderAndMadeEndMemberActivities) {
    AxCalFixture fx(mgfeem, orderax);
    fx.readxp(
        "0\n0\n1 od univariant\n1 1 od runs\nA B\n -1 1\n"
        "0 5 700 0 0.5 0.1\n1 5 800 0 0.5 0.1\n-1\n0\n");
    Calibration& cal = *fx.cal;
    const xprec& e = cal.xp[1];
    // od's end-members, then the constituents of its made end-member
    ASSERT_EQ(e.nlist, 4);
    EXPECT_EQ(e.listix[3], 0);
    EXPECT_EQ(e.listnames[4], "H");
    EXPECT_EQ(e.lista[4], 0.5L);
    EXPECT_EQ(e.listem[4], 3);
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    for (int i = 1; i <= 2; ++i) {
        SCOPED_TRACE(i);
        // A + B = 2F with 2 G(F) - G(A) - G(B) = -18 kJ: at x = 0.5 the order balances when
        // (0.5 + Q)/(0.5 - Q) = exp(9/RT); the solved Q replaces the run's starting value
        const brrec& br = e.br[i];
        const real r = std::exp(9 / (0.0083144L * br.brT));
        const real q = 0.5L * (r - 1) / (r + 1);
        EXPECT_ABS_NEAR(br.xyz[2], q, 1e-8L);
        EXPECT_EQ(br.xyz[1], 0.5L);
        const real af = (0.5L + q) * (0.5L + q);
        EXPECT_ABS_NEAR(br.bra[1], 0.25L - q * q, 1e-8L);
        EXPECT_ABS_NEAR(br.bra[3], af, 1e-8L);
        // F is two H: a(H) = a(F)^(1/2)
        EXPECT_ABS_NEAR(br.bra[4], 0.5L + q, 1e-8L);
    }
}

TEST(CalibAssemblage, OrderAndMadeEndMemberStops) {
    struct Case {
        std::string xp;
        std::string proc;
        std::string message;
        std::string screen;
    };
    const std::string od = "0\n0\n1 od univariant\n1 1 od runs\n";
    const std::vector<Case> cases = {
        // all Fe on M1 needs Q < 0, all Fe on M2 Q > 0: no legal order
        {od + "A B\n -1 1\n0 5 700 0 0 0.1\n-1\n0\n", "calca",
         "couldn't solve for state of order for od", "xp =    1, br =   1,    od\n"},
        // G pure: its constituent would take an activity of 1
        {"0\n0\n1 mk univariant\n1 1 mk runs\nA B\n -1 1\n0 5 700 0 1\n-1\n0\n", "calca",
         "messed up make a",
         "\ndependent end-member activity not between 0 and 1\n     B    mk     G     B; mult = "
         "    1.00; a(G) =     1.0000; giving a(B) =     1.0000\n"},
        // a made end-member has no enthalpy of its own to fit
        {od + "A F\n -1 1\n", "readrc", "not an end-member \"F\"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        AxCalFixture fx(mgfeem, orderax);
        EXPECT_BOMB(
            {
                fx.readxp(c.xp);
                assemblexp(fx.t.ses, *fx.run, *fx.cal, 1);
            },
            c.proc, c.message);
        EXPECT_NE(fx.t.console.output.find(c.screen), std::string::npos) << fx.t.console.output;
    }
}

TEST(CalibXpFile, HeaderKeywordsAndOxideHeatContent) {
    // C with a constant heat capacity of 0.1 kJ/K
    const std::string em = "6\n\n" + emrecord("A", "-1000", "0.1", "1") +
                           "C   synthetic\n   1  1.00   0\n  0  -500\n  0.05\n  0.5\n"
                           "  0.1 0 0 0\n  0\n  0 0\n\n*\n";
    CalFixture fx;
    fx.readem(em);
    fx.readxp(
        "0\n1 A C\n 1 -2 10.0 0.8 975\n2 A\n 1 5 0 200\n0\n"
        "1 A C univariant show\n -1 2 0\n1 1\n-1\n"
        "3 A C divariant\n -1 2 3\n1 1\n-1\n"
        "1 A C\n -1 2 0\n1 1\n-1\n0\n");
    const Calibration& cal = *fx.cal;
    EXPECT_REL_NEAR(cal.oxcal[1].h298, 10.0L - 2 * 0.1L * (975 - 298.15L), 1e-15L);
    EXPECT_EQ(cal.oxcal[2].h298, 5.0L);      // measured at 298.2 K or below: as it is
    EXPECT_EQ(cal.oxcal[2].sdmeas, 0.001L);  // an sd of 0 reads as 0.001
    EXPECT_EQ(cal.noxrows, 1);               // the code-2 datum makes no row
    EXPECT_EQ(cal.nobsread, 4);
    const xprec& a = cal.xp[1];
    EXPECT_TRUE(a.show);
    EXPECT_EQ(a.xpkind, 1);
    EXPECT_EQ(a.nmembers, 2);
    EXPECT_EQ(a.weight, 1);  // a weight of 0 or less counts 1 without "tighten"
    EXPECT_FALSE(cal.xp[2].use);
    EXPECT_EQ(cal.xp[2].xpkind, 2);
    EXPECT_EQ(cal.xp[2].weight, 3);
    EXPECT_EQ(cal.xp[3].xpkind, -1);
    CalFixture tight;
    tight.cal->prefs.tighten = controlboolean::yes;
    tight.readem(em);
    tight.readxp("0\n0\n1 A C\n -1 2 0\n1 1\n-1\n0\n");
    EXPECT_EQ(tight.cal->xp[1].weight, 0.5L);
}

TEST(CalibFiles, OldLayoutCalorimetryAndItsConversion) {
    CalFixture fx;
    fx.readem("5\n\n" + oldemrecord("A", "1 1.0 0 1 1.0", "-1000 0.00002 1 {H of A}") +
              oldemrecord("E", "1 1.0 0 1 1.0", "-20 150 1") + "*\n");
    fx.readxp("0\n0\n");
    Calibration& cal = *fx.cal;
    // the end-member file gives the direct calorimetry: sd(H) below 99, at least 0.0001
    ASSERT_EQ(cal.ncalrows, 1);
    EXPECT_EQ(cal.sdy[1], 0.0001L);
    writeemfile(fx.t.ses, cal);
    const std::string em = fx.dir.read("ds-em-i.txt");
    EXPECT_EQ(em.substr(0, 3), "6\n\n");
    EXPECT_NE(em.find("\n*\n1       A    -1000.00     0.00    % H of A\n0\n"), std::string::npos);
    EXPECT_NE(fx.t.console.output.find("the emifile contains"), std::string::npos);
    // too few end-members for the old dataset layout: written in layout 6
    cal.writingresults = true;
    cal.prefs.qvdssuffix = "5t";
    writeds(fx.t.ses, cal, false, false);
    EXPECT_EQ(fx.dir.read("qv-ds5t.txt").substr(0, 5), "6  2 ");
    EXPECT_NE(fx.t.console.output.find("dataset written in layout 6"), std::string::npos);
}

TEST(CalibFiles, EndMemberFileReadsBackAfterAFit) {
    CalFixture fx;
    fx.readem(emfile);
    Calibration& cal = *fx.cal;
    cal.tda[1].H = -1001.123456L;
    cal.tda[3].name = "Clongname";
    cal.prefs.emsuffix = "t";
    writeemfile(fx.t.ses, cal);
    const std::string written = fx.dir.read("ds-emt-i.txt");
    EXPECT_NE(written.find("Clongname synthetic\n"), std::string::npos);
    EXPECT_NE(written.find("% entropy\n"), std::string::npos);
    CalFixture back;
    back.readem(written);
    ASSERT_EQ(back.cal->ntp, 3);
    EXPECT_REL_NEAR(back.cal->tda[1].H, -1001.123L, 1e-15L);  // 3 decimals
    EXPECT_EQ(back.cal->tda[3].name, "Clongname");
    EXPECT_EQ(back.cal->tda[3].label, "synthetic");
    EXPECT_EQ(back.cal->tda[2].nsite, 3);
    EXPECT_EQ(back.cal->tda[2].S, 0.12L);
    EXPECT_EQ(stripbraces("  {a remark} "), "a remark");
    EXPECT_EQ(stripbraces("% noted"), "noted");
    EXPECT_EQ(stripbraces("x"), "");
}

TEST(CalibFiles, DatasetAfterAFit) {
    CalFixture fx;
    fx.readem(emfile);
    fx.readxp(bracketxp);
    Calibration& cal = *fx.cal;
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    qr(cal);
    cal.writingresults = true;
    cal.prefs.qvdssuffix = "6t";
    writeds(fx.t.ses, cal, false, false);
    const std::string ds = fx.dir.read("qv-ds6t.txt");
    EXPECT_EQ(ds.substr(0, 6), "6  3  ");
    EXPECT_NE(ds.find("A      synthetic   3  1   1.0000  8   2.0000  0 ff\n"), std::string::npos);
    EXPECT_NE(ds.find("    0  -1000.000   0.10000   1.0000\n"), std::string::npos);
    EXPECT_NE(ds.find("(sigfit =  0.000)\n"), std::string::npos);
    // a conversion keeps layout 7 and writes the enthalpies as read
    CalFixture seven;
    std::string em7 = emfile;
    em7[0] = '7';
    seven.readem(em7);
    seven.cal->prefs.qvdssuffix = "7t";
    writeds(seven.t.ses, *seven.cal, true, false);
    const std::string ds7 = seven.dir.read("qv-ds7t.txt");
    EXPECT_EQ(ds7.substr(0, 6), "7  3  ");
    EXPECT_NE(ds7.find("  0 tf\n    0  -1000.000"), std::string::npos);
    EXPECT_NE(ds7.find("\n  0.0086 0 0 0 0 0 0\n"), std::string::npos);
    // a name the dataset reader would refuse is written with a warning
    cal.prefs.qvdssuffix = "x";
    writeds(fx.t.ses, cal, false, false);
    EXPECT_NE(fx.t.console.output.find("warning: the dataset reader refuses this name"),
              std::string::npos);
}

// The dataset of suffix `suffix` written by a calibration, read by the dataset reader as a run
// of the end-members `names` reads it.
std::unique_ptr<qv::Run> readback(CalFixture& fx, const std::string& suffix,
                                  const std::vector<std::string>& names) {
    auto run = std::make_unique<qv::Run>();
    run->arrays.c = std::make_unique<icmatrix>();
    run->arrays.cov = std::make_unique<emmatrix>();
    run->arrays.td = std::make_unique<tdmatrix>();
    fillcomponenttable(run->comps);
    fx.t.ses.prefs.dsfilesuffix = suffix;
    readthermo(fx.t.ses, *run, 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        run->dataset.emnames[static_cast<int>(i) + 1] = names[i];
    }
    run->dataset.nem = narrow16(static_cast<int>(names.size()));
    readthermo(fx.t.ses, *run, 2);
    readthermo(fx.t.ses, *run, 3);
    return run;
}

// An end-member file entry without its description still gives a dataset that reads back, in
// the new layout and in a conversion of the old one.
TEST(CalibFiles, EntriesWithoutADescriptionReadBack) {
    std::string em = emfile;
    const std::string described = "B   synthetic\n";
    em.replace(em.find(described), described.size(), "B\n");
    CalFixture fx;
    fx.readem(em);
    ASSERT_EQ(fx.cal->tda[2].label, "");
    fx.cal->prefs.qvdssuffix = "6n";
    writeds(fx.t.ses, *fx.cal, false, false);
    const std::unique_ptr<qv::Run> run = readback(fx, "6n", {"A", "B", "C"});
    const tdmatrix& td = *run->arrays.td;
    EXPECT_ABS_NEAR(td[2][1], -900.0L, 0.0005L);
    EXPECT_EQ(td[2][2], 0.12L);
    EXPECT_EQ(run->dataset.nsite[2], 3);
    EXPECT_ABS_NEAR(td[3][1], -500.0L, 0.0005L);

    CalFixture old;
    old.readem("5\n\n" + oldemrecord("A", "1 1.0 0 1 1.0", "-1000 0.00002 1 {H of A}") +
               oldemrecord("E", "1 1.0 0 1 1.0", "-20 150 1") + "*\n");
    old.cal->prefs.qvdssuffix = "5o";
    writeds(old.t.ses, *old.cal, false, false);  // too few end-members: layout 6
    const std::unique_ptr<qv::Run> back = readback(old, "5o", {"A", "E"});
    EXPECT_ABS_NEAR((*back->arrays.td)[2][1], -20.0L, 0.0005L);
    EXPECT_EQ(back->dataset.nsite[1], 1);
}

TEST(CalibFiles, WrittenDatasetReadsBackWithTheFittedValues) {
    CalFixture fx;
    fx.readem(emfile);
    fx.readxp(
        "1 A -1000 0.5\n1 B -980 0.7\n1 C -500 0.3\n0\n"
        "1 A C\n 1 -2 10.0 0.8 298.15\n0\n"
        "1 A B\n -1 1 1\n1 1 synthetic runs\n0 5 690 0\n1 5 710 0\n-1\n0\n");
    Calibration& cal = *fx.cal;
    assemblexp(fx.t.ses, *fx.run, cal, 1);
    qr(cal);
    cal.writingresults = true;
    cal.prefs.qvdssuffix = "6t";
    writeds(fx.t.ses, cal, false, false);

    const std::unique_ptr<qv::Run> run = readback(fx, "6t", {"A", "B", "C"});
    const tdmatrix& td = *run->arrays.td;
    const emmatrix& cov = *run->arrays.cov;
    for (int i = 1; i <= 3; ++i) {
        // H to the 3 decimals written, S and V as read
        EXPECT_ABS_NEAR(td[i][1], cal.theta[i], 0.0005L);
        EXPECT_REL_NEAR(td[i][2], cal.tda[i].S, 1e-15L);
        EXPECT_REL_NEAR(td[i][3], cal.tda[i].V, 1e-15L);
        for (int j = 1; j <= 3; ++j) {
            EXPECT_ABS_NEAR(cov[i][j], cal.xx[i][j] * cal.sigfit2, 0.0000501L);
        }
    }
    EXPECT_EQ(run->dataset.dstitle.substr(0, 24), "qv-ds6t.txt produced at ");
}

// A written field always holds a number the readers take back: a value too large for fixed form
// goes in exponent form, set off from the field before it; a value that is not finite is never
// written.
TEST(CalibFiles, WrittenFieldsReadBack) {
    for (const real x : {1.5L, -2.25L, 4e22L, -7.5e30L}) {
        const std::string field = "1" + fixfield(x, 8, 2);
        strings words;
        int16 n = 0;
        string2strings(field, static_cast<int>(field.size()), words, n);
        ASSERT_EQ(n, 2) << "[" << field << "]";
        real back = 0;
        std::string msg;
        ASSERT_TRUE(str2real(words[2], back, msg)) << "[" << field << "]";
        EXPECT_REL_NEAR(back, x, 1e-7L);
    }
    EXPECT_BOMB(fixfield(std::numeric_limits<real>::infinity(), 8, 2), "fixfield",
                "a value to write is not a finite number");
}

}  // namespace
}  // namespace qv::test
