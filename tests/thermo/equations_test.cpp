// The equilibrium equations: residuals, jacobian, admissibility, site fractions and phase
// compositions.

#include "thermo/equations.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "calcfixture.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

// MgO-FeO-SiO2 (with Al2O3 and CaO in the system but in no phase): olivine with an order
// variable (fo, fa, od), an orthopyroxene-like binary per one Si (en, fs) and quartz.
// End-members 1..6: fo fa od en fs q. Reactions: fo + q = 2 en, fa + q = 2 fs, fo + fa = 2 od.
// Made-up data rows: H, S, V, heat capacity a and b (kJ, K, kJ/kbar).
struct Assemblage : Calc {
    MassBalance mb;
    Fixed1<int16, maxreac> rdiv;
    Fixed1<real, maxreac> rxnlnk;
    NleState st;
    GemSettings gs;
    eqmatrix jac;
    eqvector f;

    Assemblage() {
        ptype1& ol = addss(twosite());
        ptype1& px = addss(onesite("px", {"en", "fs"}, axtype::symmetric));
        addw(px, 1, 2, 6, 0.001L, 0.02L);
        ptype0& q = addpure("q");
        const int16 comps[6][3] = {{2, 0, 1}, {0, 2, 1}, {1, 1, 1},
                                   {1, 0, 1}, {0, 1, 1}, {0, 0, 1}};
        const real data[6][5] = {{-2172.6L, 0.0951L, 4.366L, 0.2333L, 1.5e-6L},
                                 {-1477.7L, 0.1510L, 4.631L, 0.2011L, 1.7e-5L},
                                 {-1826.0L, 0.1262L, 4.497L, 0.2172L, 9.0e-6L},
                                 {-1545.0L, 0.0663L, 3.133L, 0.1780L, 2.0e-6L},
                                 {-1194.5L, 0.0955L, 3.296L, 0.1841L, 1.5e-6L},
                                 {-910.7L, 0.0415L, 2.269L, 0.0979L, -3.4e-6L}};
        for (int e = 0; e < 6; ++e) {
            icvector c;
            for (int k = 0; k < 3; ++k) c[k + 1] = comps[e][k];
            const tdvector row =
                makerow({data[e][0], data[e][1], data[e][2], data[e][3], data[e][4]});
            if (e < 3) {
                ol.em[e + 1].comp = c;
                ol.em[e + 1].td = row;
                ol.em[e + 1].emsize = 1;  // per formula unit: not the sum of its oxides
            } else if (e < 5) {
                px.em[e - 2].comp = c;
                px.em[e - 2].td = row;
            } else {
                q.comp = c;
                q.td = row;
            }
        }
        ol.var[2].scale = 2;  // Q from -0.25 to 0.25
        ol.var[2].offset = 0.5L;
        setcomponents(run, mb, {"MgO", "FeO", "SiO2", "Al2O3", "CaO"});
        // Weights that make the oxide sums of the end-members differ from their sizes.
        mb.compweight[2] = 2;
        mb.rankdeficit = 2;
        run.windows.scaling.pscale = 0.05L;
        run.windows.scaling.tscale = 0.001L;
        lay.modesolved = true;
        layout();
        rmatrix& r = *run.arrays.r;
        const int16 rx[3][6] = {{-1, 0, 0, 2, 0, -1}, {0, -1, 0, 0, 2, -1}, {1, 1, -2, 0, 0, 0}};
        run.nreac = 3;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 6; ++j) r[i + 1][j + 1] = rx[i][j];
        }
        rdiv.fill(1);
        rdiv[2] = 2;
        rdiv[3] = 3;
        gs.dsmode = 6;
        gs.newspfluid = false;
        hold(1);
        hold(2);
        // A bulk composition that the phases below make: 0.5 ol + 0.3 px + 0.2 q.
        const eqvector n = natural();
        for (int k = 1; k <= 3; ++k) mb.bulkcomp[k] = 0;
        const real fo = 1 - n[3] - n[4], fa = n[3] - n[4], od = 2 * n[4];
        mb.bulkcomp[1] = 0.5L * (2 * fo + od) + 0.3L * (1 - n[5]);
        mb.bulkcomp[2] = 0.5L * (2 * fa + od) + 0.3L * n[5];
        mb.bulkcomp[3] = 0.5L + 0.3L + 0.2L;
        mb.modeson = true;
    }
    Equations eq() { return Equations{ses, equationtables(run), gs, xref, mb, rdiv, rxnlnk, st}; }
    void hold(int k) { xref.xfree[k] = false; }
    // P, T, x(ol), Q(ol), x(px) and the modes of ol, px and q.
    eqvector natural() const {
        eqvector n;
        const real v[] = {9, 923.15L, 0.2L, 0.05L, 0.15L, 0.5L, 0.3L, 0.2L};
        for (int k = 0; k < 8; ++k) n[k + 1] = v[k];
        return n;
    }
    // The solver values: free entries scaled, held entries as they are.
    eqvector scaled() const {
        eqvector s = natural();
        for (int k = 1; k <= run.nxvars + run.nmodevars; ++k) {
            if (xref.xfree[k]) s[k] = xref.xoffset[k] + xref.xscale[k] * s[k];
        }
        return s;
    }
    bool eval(const eqvector& s, bool wantjac = true) {
        Equations e = eq();
        return nlefunc(e, s, jac, f, wantjac);
    }

    // The analytic jacobian against forward differences of the residuals, column by column.
    void checkjacobian(real tol) {
        const eqvector s = scaled();
        ASSERT_TRUE(eval(s));
        const eqmatrix j = jac;
        const eqvector f0 = f;
        const int neq = st.neqns;
        int col = 0;
        for (int k = 1; k <= run.nxvars + (mb.modeson ? run.nmodevars : 0); ++k) {
            if (!xref.xfree[k]) continue;
            ++col;
            const real h = 1e-8L;
            eqvector sh = s;
            sh[k] += h;
            ASSERT_TRUE(eval(sh, false));
            for (int i = 1; i <= neq; ++i) {
                const real fd = (f[i] - f0[i]) / h;
                EXPECT_LE(std::fabs(j[i][col] - fd), tol * (1 + std::fabs(fd)))
                    << "row " << i << ", " << xref.xnames[k] << ": "
                    << static_cast<double>(j[i][col]) << " vs " << static_cast<double>(fd);
            }
        }
        EXPECT_EQ(col, st.njaccols);
    }
};

TEST(Nlefunc, ReactionResidualsFromGibbsEnergiesAndActivities) {
    Assemblage a;
    ASSERT_TRUE(a.eval(a.scaled()));
    const eqvector n = a.natural();
    const real p = n[1], t = n[2];
    auto g = [&](int e) {
        return gem(a.ses, a.gs, (*a.run.arrays.td)[e], a.run.dataset.emnames[e], p, t);
    };
    // Activities written independently: two-site olivine and a regular-solution pyroxene.
    const real x = n[3], q = n[4], y = n[5], rt = rgas * t;
    const real mg1 = 1 - x + q, fe1 = x - q, mg2 = 1 - x - q, fe2 = x + q;
    const real pfo = 1 - x - q, pfa = x - q, pod = 2 * q;
    auto gam = [&](int m) {  // RT ln gamma of ol end-member m over W(fo-fa), W(fo-od), W(fa-od)
        const real pr[] = {0, pfo, pfa, pod};
        const real w[] = {8 + 0.03L * p, 4 + 0.001L * t, 4};
        const int ij[3][2] = {{1, 2}, {1, 3}, {2, 3}};
        real s = 0;
        for (int k = 0; k < 3; ++k) {
            s -= w[k] * ((m == ij[k][0]) - pr[ij[k][0]]) * ((m == ij[k][1]) - pr[ij[k][1]]);
        }
        return s;
    };
    const real wpx = 6 + 0.001L * t + 0.02L * p;
    const real lnfo = std::log(mg1 * mg2) + gam(1) / rt;
    const real lnfa = std::log(fe1 * fe2) + gam(2) / rt;
    const real lnod = std::log(mg1 * fe2) + gam(3) / rt;
    const real lnen = std::log(1 - y) + wpx * y * y / rt;
    const real lnfs = std::log(y) + wpx * (1 - y) * (1 - y) / rt;
    const real lnk1 = 2 * lnen - lnfo;
    EXPECT_REL_NEAR(a.f[1], 2 * g(4) - g(1) - g(6) + rt * lnk1, 1e-12L);
    EXPECT_REL_NEAR(a.f[2], (2 * g(5) - g(2) - g(6) + rt * (2 * lnfs - lnfa)) / 2, 1e-12L);
    EXPECT_REL_NEAR(a.f[3], (g(1) + g(2) - 2 * g(3) + rt * (lnfo + lnfa - 2 * lnod)) / 3, 1e-12L);
    EXPECT_REL_NEAR(a.rxnlnk[1], lnk1, 1e-15L);
    // The mass balance of a bulk composition that the modes make vanishes.
    EXPECT_EQ(a.st.neqns, 6);
    EXPECT_EQ(a.st.njaccols, 6);
    for (int i = 4; i <= 8; ++i) EXPECT_LE(std::fabs(a.f[i]), 1e-15L) << i;
}

TEST(Nlefunc, JacobianMatchesDifferencesWithModesAndRankDeficit) {
    // P and T held; rank deficit 2: the last two mass balances take no rows.
    Assemblage a;
    a.checkjacobian(1e-6L);
    // Mode columns of reaction rows stay zero.
    for (int c = 4; c <= 6; ++c) EXPECT_EQ(a.jac[1][c], 0);
}

TEST(Nlefunc, JacobianMatchesDifferencesWithPAndTFree) {
    // With modes: P and T free, x(px) and the mode of q held at their values.
    Assemblage a;
    a.xref.xfree[1] = true;
    a.xref.xfree[2] = true;
    a.hold(5);
    a.hold(8);
    a.checkjacobian(2e-5L);
    // Without modes: the reactions only, every composition variable free.
    Assemblage b;
    b.mb.modeson = false;
    b.xref.xfree[1] = true;
    b.xref.xfree[2] = true;
    b.checkjacobian(2e-5L);
    EXPECT_EQ(b.st.neqns, 5);  // the free variables among P, T and the compositions
    EXPECT_EQ(b.st.njaccols, 5);
}

TEST(Nlefunc, JacobianIsTheSameOverWhatTheMatrixHeldBefore) {
    // The evaluation clears only the block it fills; every entry of the square jacobian read by
    // the solver must still come out as from a cleared matrix: the mode columns of the reaction
    // rows, and without modes the rows beyond the reactions.
    struct Layout {
        bool modes;
        bool ptfree;  // with modes, x(px) and the mode of q then held
    };
    for (const Layout l :
         {Layout{true, false}, Layout{true, true}, Layout{false, true}, Layout{false, false}}) {
        Assemblage a;
        a.mb.modeson = l.modes;
        a.xref.xfree[1] = l.ptfree;
        a.xref.xfree[2] = l.ptfree;
        if (l.modes && l.ptfree) {
            a.hold(5);
            a.hold(8);
        }
        a.jac = eqmatrix{};
        ASSERT_TRUE(a.eval(a.scaled()));
        const eqmatrix clean = a.jac;
        for (int i = 1; i <= maxeq; ++i) a.jac[i].fill(7);
        ASSERT_TRUE(a.eval(a.scaled()));
        const int n = a.st.njaccols;
        ASSERT_EQ(a.st.neqns, n);
        for (int i = 1; i <= n; ++i) {
            for (int c = 1; c <= n; ++c) {
                EXPECT_EQ(a.jac[i][c], clean[i][c]) << l.modes << l.ptfree << " " << i << "," << c;
            }
        }
    }
}

TEST(Nlefunc, HeldPAndTLeaveTheFirstColumnToTheFirstFreeVariable) {
    Assemblage a;
    a.mb.modeson = false;
    ASSERT_TRUE(a.eval(a.scaled()));
    EXPECT_EQ(a.st.neqns, 3);
    EXPECT_NE(a.jac[3][1], 0);  // d f3 / d x(ol)
    EXPECT_EQ(a.jac[3][3], 0);  // fo + fa = 2 od does not involve x(px)
}

TEST(Nlefunc, BadSolverValuesAreRefused) {
    Assemblage a;
    a.ses.ch.pagewidth = 250;
    eqvector s = a.scaled();
    s[3] = 1.1L;
    s[5] = -0.1L;  // a second bad value is not reported
    EXPECT_FALSE(a.eval(s));
    const std::string& out = a.ts.console.output;
    EXPECT_EQ(out.rfind("## bad x(ol) value\n\n\nFAILED in nlefunc, at which stage x was:\n", 0),
              0u)
        << out;
    EXPECT_EQ(out.find("## bad x1(px)"), std::string::npos);
    std::string names, values;
    const char* n[] = {"P(kbar)",
                       "T(\xA1"
                       "C)",
                       "x(ol)",
                       "Q(ol)",
                       "x1(px)",
                       "ol",
                       "px",
                       "q"};
    for (const char* s1 : n) addstr(s1, 10, names);
    addreal(2, false, 10, values, 9);
    addreal(1, false, 10, values, 650);
    for (real v : {1.1L, 0.05L, -0.1L, 0.5L, 0.3L, 0.2L}) addreal(4, true, 10, values, v);
    EXPECT_NE(out.find(names + "\n" + values + "\n"), std::string::npos) << out;
    // A mode of exactly 0 is admissible; at an inaccessible bound it is not.
    Assemblage b;
    s = b.scaled();
    s[8] = 0;
    b.mb.bulkcomp[3] -= 0.2L;
    EXPECT_TRUE(b.eval(s));
    b.xref.xacclow[8] = acctype::inaccessible;
    EXPECT_FALSE(b.eval(s));
}

TEST(Nlefunc, SiteFractionAtZero) {
    Assemblage a;
    eqvector s = a.scaled();
    s[3] = 0.25L;
    s[4] = 1;  // Q = x = 0.25: no Fe on M1
    EXPECT_BOMB(a.eval(s), "calcsf", "negative sf term");
    EXPECT_NE(a.ts.console.output.find("\nsorry - try changing starting guesses!\n"),
              std::string::npos);
    // Under minimisation printing at level 2: reported, one "*", and the evaluation fails.
    Assemblage b;
    b.run.script.dogminon = true;
    b.run.script.dogminlevel = 2;
    EXPECT_FALSE(b.eval(s));
    const std::string& out = b.ts.console.output;
    EXPECT_NE(out.find("checksf, negative sf term - change starting guesses?\n*** NOT OK\n"),
              std::string::npos)
        << out;
    // In a Monte Carlo run the failure is silent.
    Assemblage c;
    c.st.mcinprogress = true;
    EXPECT_FALSE(c.eval(s));
    EXPECT_EQ(c.ts.console.output, "*** NOT OK\n");
}

TEST(Nlefunc, DependentMassBalanceMustVanish) {
    Assemblage a;
    a.mb.bulkcomp[5] = 0.01L;  // CaO in the bulk but in no phase
    EXPECT_BOMB(a.eval(a.scaled()), "nlefunc", "residuals not in reduced system");
    EXPECT_NE(a.ts.console.output.find(") should be zero in rank-deficient case\n"),
              std::string::npos);
    Assemblage b;
    b.mb.bulkcomp[5] = 0.01L;
    b.run.script.dogminon = true;
    b.run.script.dogminlevel = 2;
    EXPECT_FALSE(b.eval(b.scaled()));
    b.run.script.dogminlevel = 1;
    EXPECT_TRUE(b.eval(b.scaled()));
}

TEST(Nlefunc, NonSquareJacobianStops) {
    Assemblage a;
    a.mb.rankdeficit = 1;
    a.mb.bulkcomp[5] = 0;
    EXPECT_BOMB(a.eval(a.scaled()), "nlefunc", "non-square jacobian");
    EXPECT_NE(a.ts.console.output.find("\n\nrow 7 (  3  5  1)\ncol 6 (  3  3)\n\n"),
              std::string::npos)
        << a.ts.console.output;
}

TEST(Nlefunc, ResidualsThatAreNotFiniteAreInadmissible) {
    Assemblage a;
    for (int m = 1; m <= 3; ++m) a.ss(1).em[m].emsize = 0;  // olivine cannot be normalised
    EXPECT_FALSE(a.eval(a.scaled()));
}

TEST(Nlefunc, DebugTablesOfTheFirstEvaluation) {
    Assemblage a;
    a.ses.ch.pagewidth = 250;
    a.run.script.debuglev = 4;
    a.st.nleevalno = 1;
    a.st.nleiter = 1;
    ASSERT_TRUE(a.eval(a.scaled()));
    const std::string& out = a.ts.console.output;
    std::string act, res;
    addstr("fo", 11, act);
    addreal(5, true, 11, act, a.run.dataset.emact[1]);
    EXPECT_NE(out.find("activity\n" + act.substr(0, 11)), std::string::npos) << out;
    EXPECT_NE(out.find("projc: (rankdeficit = 2)\n"), std::string::npos);
    EXPECT_NE(out.find("\nxyz\n"), std::string::npos);
    addreal(4, true, 11, res, a.f[2] * 2);
    EXPECT_NE(out.find("residuals (f = "), std::string::npos);
    EXPECT_NE(out.find(res), std::string::npos);  // reaction 2 unscaled by its divisor
    // Later evaluations of an iteration print nothing.
    Assemblage b;
    b.run.script.debuglev = 4;
    b.st.nleevalno = 2;
    ASSERT_TRUE(b.eval(b.scaled()));
    EXPECT_EQ(b.ts.console.output, "");
}

TEST(Calcdsf, CompositionsPerUnitOfMode) {
    Assemblage a;
    const eqvector n = a.natural();
    Equations e = a.eq();
    calcdsf(e, n);
    const Grow1<cvector, maxeq>& comp = a.st.work->comp;
    const real fo = 1 - n[3] - n[4], od = 2 * n[4];
    EXPECT_REL_NEAR(comp[1][1], 2 * fo + od, 1e-15L);  // emsize 1: per formula unit
    // The pyroxene is normalised by its default size 1, quartz by its pure size.
    a.pure(1).puresize = 2;
    a.ss(2).em[1].emsize = 2;
    a.ss(2).em[2].emsize = 2;
    calcdsf(e, n);
    EXPECT_REL_NEAR(comp[2][3], 0.5L, 1e-15L);
    EXPECT_EQ(comp[3][3], 0.5L);
    EXPECT_EQ(comp[3][1], 0);
    EXPECT_EQ(comp[3][4], 0);
}

TEST(Nlefunc, AqueousSolventFractionsGoIntoTheDataRows) {
    Calc c;
    c.addss(aqueous());
    c.layout();
    MassBalance mb;
    Fixed1<int16, maxreac> rdiv;
    rdiv.fill(1);
    Fixed1<real, maxreac> lnk;
    NleState st;
    GemSettings gs;
    Equations e{c.ses, equationtables(c.run), gs, c.xref, mb, rdiv, lnk, st};
    eqvector s;
    s[3] = 0.1L;
    s[4] = 0.05L;
    eqmatrix j;
    eqvector f;
    c.xref.xfree[1] = false;
    c.xref.xfree[2] = false;
    s[1] = 9;
    s[2] = 923.15L;
    ASSERT_TRUE(nlefunc(e, s, j, f, true));
    for (int m = 1; m <= 3; ++m) {
        EXPECT_EQ((*c.run.arrays.td)[m][27], 0.1L);
        EXPECT_REL_NEAR((*c.run.arrays.td)[m][28], 0.85L, 1e-18L);
    }
    EXPECT_EQ(st.neqns, 2);
}

}  // namespace
}  // namespace qv::test
