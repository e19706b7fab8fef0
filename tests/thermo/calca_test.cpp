// Activities of the end-members of a calculation and the derivatives of RT ln a.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "calcfixture.hpp"
#include "model/expressions.hpp"
#include "textio/channels.hpp"
#include "thermo/activities.hpp"
#include "thermo/fluids.hpp"
#include "thermo/thermowork.hpp"

namespace qv::test {
namespace {

constexpr real p0 = 9;
constexpr real t0 = 923.15L;

TEST(Dexprdx, ProductsAgainstCentralDifferences) {
    // 2 (1/3 + x1 - x2/2) (x2 - 1/2) - (1/4) x1 (x1 + 3 x2), variables read from offset 3.
    termtype e;
    e.nsxterms = 2;
    e.sxterm[1].coef = 2;
    e.sxterm[1].nxterms = 2;
    e.sxterm[1].xterm[1] = lin(1, 3, {{1, 1, 1}, {-1, 2, 2}}).sxterm[1].xterm[1];
    e.sxterm[1].xterm[2] = lin(-1, 2, {{1, 1, 2}}).sxterm[1].xterm[1];
    e.sxterm[2].coef = -0.25L;
    e.sxterm[2].nxterms = 2;
    e.sxterm[2].xterm[1] = lin(0, 1, {{1, 1, 1}}).sxterm[1].xterm[1];
    e.sxterm[2].xterm[2] = lin(0, 1, {{1, 1, 1}, {3, 1, 2}}).sxterm[1].xterm[1];
    eqvector x;
    x[3] = 0.3L;
    x[4] = 0.6L;
    for (int k = 1; k <= 2; ++k) {
        const real h = 1e-6L;
        eqvector up = x;
        eqvector dn = x;
        up[k + 2] += h;
        dn[k + 2] -= h;
        const real fd = (evalexpr(up, 3, e) - evalexpr(dn, 3, e)) / (2 * h);
        SCOPED_TRACE(k);
        EXPECT_REL_NEAR(dexprdx(k, x, 3, e), fd, 1e-9L);
    }
    // A term with coefficient 0 contributes nothing.
    e.sxterm[1].coef = 0;
    EXPECT_REL_NEAR(dexprdx(1, x, 3, e), -0.25L * (2 * 0.3L + 3 * 0.6L), 1e-15L);
}

// One binary phase A-B (x = x(B) at solver position 3) and a pure phase.
struct Binary : Calc {
    explicit Binary(axtype model) {
        ptype1& ph = addss(onesite("bin", {"A", "B"}, model));
        addw(ph, 1, 2, 10, 0.002L, 0.1L);  // W = 10 + 0.002 T + 0.1 P
        addpure("q");
        layout();
    }
};

eqvector at3(real a, real b = 0, real c = 0, real d = 0) {
    eqvector x;
    x[3] = a;
    x[4] = b;
    x[5] = c;
    x[6] = d;
    return x;
}

TEST(Calca, BinaryClosedForms) {
    const real x = 0.3L;
    const real rt = rgas * t0;
    const real w = 10 + 0.002L * t0 + 0.1L * p0;
    for (axtype model : {axtype::ideal, axtype::symmetric, axtype::vanlaar}) {
        Binary c(model);
        c.activities(at3(x), p0, t0);
        const bool ideal = model == axtype::ideal;
        // Regular solution: RT ln gamma_A = W x^2, RT ln gamma_B = W (1 - x)^2.
        const real ga = ideal ? 0 : w * x * x;
        const real gb = ideal ? 0 : w * (1 - x) * (1 - x);
        EXPECT_REL_NEAR(c.act[1], (1 - x) * std::exp(ga / rt), 1e-15L);
        EXPECT_REL_NEAR(c.act[2], x * std::exp(gb / rt), 1e-15L);
        EXPECT_EQ(c.act[3], 1);  // the pure phase
        EXPECT_EQ(c.actsd[1], 0);
        const PhaseActivities& r = (*c.ssr)[1];
        EXPECT_EQ(r.p[2], x);
        EXPECT_EQ(r.aideal[2], x);
        if (ideal) {
            EXPECT_EQ(r.gamma[1], 0);
            EXPECT_EQ(c.d->dadp[1], 0);
            EXPECT_EQ(c.d->dadt[1], rgas * std::log(1 - x));
        } else {
            EXPECT_REL_NEAR(r.gamma[1], std::exp(ga / rt), 1e-15L);
            EXPECT_REL_NEAR(c.d->dadp[1], 0.1L * x * x, 1e-14L);
            EXPECT_REL_NEAR(c.d->dadt[2], rgas * std::log(x) + 0.002L * (1 - x) * (1 - x), 1e-14L);
        }
        EXPECT_REL_NEAR(c.d->dadx[1][3], -rt / (1 - x) + (ideal ? 0 : 2 * w * x), 1e-14L);
        EXPECT_REL_NEAR(c.d->dadx[2][3], rt / x - (ideal ? 0 : 2 * w * (1 - x)), 1e-14L);
        EXPECT_EQ(c.d->dadx[1][4], 0);  // no other phase's columns
    }
}

TEST(Calca, VanLaarBinaryAndSizesOfOne) {
    const real x = 0.4L;
    Binary v(axtype::vanlaar);
    Binary s(axtype::symmetric);
    v.activities(at3(x), p0, t0);
    s.activities(at3(x), p0, t0);
    for (int m = 1; m <= 2; ++m) EXPECT_REL_NEAR(v.act[m], s.act[m], 1e-15L);
    // Sizes 1 and 2 + 0.001 T: phi_B = aB x / (1 - x + aB x),
    // RT ln gamma_A = 2 aA / (aA + aB) W phi_B^2 and RT ln gamma_B = 2 aB / (aA + aB) W phi_A^2.
    v.ss(1).alphaa[2] = 2;
    v.ss(1).alphab[2] = 0.001L;
    v.activities(at3(x), p0, t0);
    const real ab = 2 + 0.001L * t0;
    const real w = 10 + 0.002L * t0 + 0.1L * p0;
    const real phib = ab * x / (1 - x + ab * x);
    const real rt = rgas * t0;
    EXPECT_REL_NEAR(v.act[1], (1 - x) * std::exp(2 / (1 + ab) * w * phib * phib / rt), 1e-15L);
    EXPECT_REL_NEAR(v.act[2], x * std::exp(2 * ab / (1 + ab) * w * (1 - phib) * (1 - phib) / rt),
                    1e-15L);
}

// Every fixture phase in one calculation, with a pure phase between nothing: the ternary van
// Laar phase (positions 3-4), the ordered two-site phase (5-6), a four-species fluid (7-9) and
// the aqueous phase (10-11).
struct AllPhases : Calc {
    AllPhases() {
        addss(ternaryvanlaar());
        addss(twosite());
        addss(fluid(4));
        addss(aqueous());
        addpure("q");
        layout();
    }
    eqvector x() const {
        eqvector v;
        const real values[] = {0.3L, 0.25L, 0.4L, 0.1L, 0.3L, 0.15L, 0.1L, 0.2L, 0.05L};
        for (int k = 0; k < 9; ++k) v[k + 3] = values[k];
        return v;
    }
};

TEST(Calca, DerivativesAgainstCentralDifferences) {
    AllPhases c;
    ASSERT_EQ(c.run.nxvars, 11);
    ASSERT_EQ(c.run.dataset.nem, 14);
    const eqvector x = c.x();
    c.activities(x, p0, t0);
    const ActivityDerivatives d = *c.d;
    // Central differences of RT ln a of every end-member for one shift of x, P or T.
    const auto central = [&](real h, auto shift) {
        eqvector xu = x, xd = x;
        real pu = p0, pd = p0, tu = t0, td = t0;
        shift(xu, pu, tu, h);
        shift(xd, pd, td, -h);
        c.activities(xu, pu, tu, false, false);
        const emvector au = c.act;
        c.activities(xd, pd, td, false, false);
        emvector q;
        for (int em = 1; em <= 13; ++em) {
            q[em] = (rgas * tu * std::log(au[em]) - rgas * td * std::log(c.act[em])) / (2 * h);
        }
        return q;
    };
    const emvector dp = central(1e-4L, [](eqvector&, real& p, real&, real h) { p += h; });
    const emvector dt = central(1e-3L, [](eqvector&, real&, real& t, real h) { t += h; });
    for (int em = 1; em <= 13; ++em) {
        SCOPED_TRACE(em);
        // Fluid sizes and interactions are linearised by forward steps: a looser match.
        const real rel = em >= 7 ? 2e-4L : 1e-9L;
        EXPECT_LE(std::fabs(d.dadp[em] - dp[em]), rel * (1 + std::fabs(dp[em])));
        EXPECT_LE(std::fabs(d.dadt[em] - dt[em]), rel * (1 + std::fabs(dt[em])));
    }
    for (int k = 3; k <= 11; ++k) {
        const emvector dx = central(1e-6L, [k](eqvector& v, real&, real&, real h) { v[k] += h; });
        for (int em = 1; em <= 13; ++em) {
            SCOPED_TRACE(k * 100 + em);
            EXPECT_LE(std::fabs(d.dadx[em][k] - dx[em]), 1e-6L * (1 + std::fabs(dx[em])));
        }
    }
}

TEST(Calca, GibbsDuhem) {
    // sum over end-members of p_i d(RT ln a_i)/dx = 0 for every composition variable.
    AllPhases c;
    c.activities(c.x(), p0, t0);
    int first = 1;
    for (int s = 1; s <= 4; ++s) {
        const ptype1& ph = c.ss(s);
        const PhaseActivities& r = (*c.ssr)[s];
        for (int v = 0; v < ph.nvar; ++v) {
            const int k = c.xref.emvarpos[first] + v;
            real sum = 0;
            real size = 0;
            for (int m = 1; m <= ph.nem; ++m) {
                sum += r.p[m] * c.d->dadx[first + m - 1][k];
                size += std::fabs(r.p[m] * c.d->dadx[first + m - 1][k]);
            }
            EXPECT_LE(std::fabs(sum), 1e-15L * size) << ph.name << " variable " << v + 1;
        }
        first += ph.nem;
    }
}

// van Laar activities of a fluid from the species volumes, over every pair i < j.
empvector fluidclosedform(Session& ses, const FluidSpeciesTable& tab, const ptype1& ph,
                          const empvector& y, real p, real t, bool newsp = false) {
    const int n = ph.nem;
    empvector v;
    for (int i = 1; i <= n; ++i) {
        const int f = ph.em[i].fluidindex;
        v[i] = f == 1   ? spfluid(ses, newsp, p, t).v
               : f == 2 ? spfluid2(ses, newsp, p, t).v
                        : corkfluid(p, t, tab.pcrit[f], tab.tcrit[f]).v;
    }
    empvector alpha, phi, a;
    real s = 0;
    for (int i = 1; i <= n; ++i) {
        alpha[i] = v[i] / v[1];
        s += alpha[i] * y[i];
    }
    for (int i = 1; i <= n; ++i) phi[i] = alpha[i] * y[i] / s;
    for (int m = 1; m <= n; ++m) {
        real g = 0;
        for (int i = 1; i < n; ++i) {
            for (int j = i + 1; j <= n; ++j) {
                const real w =
                    tab.w[ph.em[i].fluidindex][ph.em[j].fluidindex] * (1 / v[i] + 1 / v[j]);
                const real qi = (m == i) - phi[i];
                const real qj = (m == j) - phi[j];
                g -= 2 * alpha[m] / (alpha[i] + alpha[j]) * w * qi * qj;
            }
        }
        a[m] = y[m] * std::exp(g / (rgas * t));
    }
    return a;
}

TEST(Calca, FluidPairTermsOfTwoAndFourSpecies) {
    // Each pair of species interacts once, with its own constant, however many species there
    // are (with four species, pair (3,4) is CH4-CO and there is no (2,2) or (3,2) term).
    for (int n : {2, 4}) {
        Calc c;
        c.addss(fluid(n));
        c.layout();
        empvector y;
        const std::array<real, 4> ys = {0.5L, 0.3L, 0.15L, 0.05L};
        y[1] = n == 2 ? 0.7L : ys[0];
        for (int i = 2; i <= n; ++i) y[i] = n == 2 ? 0.3L : ys.at(static_cast<std::size_t>(i - 1));
        eqvector x;
        for (int i = 2; i <= n; ++i) x[i + 1] = y[i];
        c.activities(x, p0, t0);
        const empvector a = fluidclosedform(c.ses, c.run.ax.fluid, c.ss(1), y, p0, t0);
        for (int m = 1; m <= n; ++m) {
            SCOPED_TRACE(n * 10 + m);
            EXPECT_REL_NEAR(c.act[m], a[m], 1e-12L);
        }
    }
}

// The species volumes behind a fluid's activities follow every change of what they are formed
// from, whatever was evaluated before: P, T (back and forth), the equation of state of H2O and
// CO2, and the critical constants of a minor species.
TEST(Calca, FluidVolumesFollowPTTheEquationAndCriticalConstants) {
    Calc c;
    c.addss(fluid(4));
    c.layout();
    const empvector y = [] {
        empvector r;
        r[1] = 0.5L;
        r[2] = 0.3L;
        r[3] = 0.15L;
        r[4] = 0.05L;
        return r;
    }();
    eqvector x;
    for (int i = 2; i <= 4; ++i) x[i + 1] = y[i];
    struct Step {
        const char* label;
        real p, t;
        bool newsp;
        real tcrit3;
    };
    const real tc = c.run.ax.fluid.tcrit[3];
    for (const Step& k :
         {Step{"start", p0, t0, false, tc}, Step{"other P", 2 * p0, t0, false, tc},
          Step{"back", p0, t0, false, tc}, Step{"other T", p0, t0 + 50, false, tc},
          Step{"other equation", p0, t0, true, tc}, Step{"equation back", p0, t0, false, tc},
          Step{"other critical T", p0, t0, false, tc + 10}}) {
        SCOPED_TRACE(k.label);
        c.run.dataset.newspfluid = k.newsp;
        c.run.ax.fluid.tcrit[3] = k.tcrit3;
        c.activities(x, k.p, k.t);
        const empvector a = fluidclosedform(c.ses, c.run.ax.fluid, c.ss(1), y, k.p, k.t, k.newsp);
        for (int m = 1; m <= 4; ++m) {
            SCOPED_TRACE(m);
            EXPECT_REL_NEAR(c.act[m], a[m], 1e-12L);
        }
    }
}

TEST(Calca, AqueousSoluteTakesTheSolventTerm) {
    Calc c;
    c.addss(aqueous());
    c.layout();
    const real y2 = 0.1L, y3 = 0.05L, y1 = 1 - y2 - y3;
    c.activities(at3(y2, y3), p0, t0);
    const real v1 = spfluid(c.ses, false, p0, t0).v;
    const real v2 = spfluid2(c.ses, false, p0, t0).v;
    const real al[] = {0, 1, v2 / v1, (3 + 0.001L * t0 - 0.02L * p0) / v1};
    const real y[] = {0, y1, y2, y3};
    const real s = al[1] * y1 + al[2] * y2 + al[3] * y3;
    real phi[4];
    for (int i = 1; i <= 3; ++i) phi[i] = al[i] * y[i] / s;
    const real w12 = 10.5L * (1 / v1 + 1 / v2);
    const real w13 = 6 - 0.002L * t0 + 0.05L * p0;
    const real w23 = 15;
    struct Pair {
        int i, j;
        real w;
    };
    const Pair pairs[] = {{1, 2, w12}, {1, 3, w13}, {2, 3, w23}};
    for (int m = 1; m <= 3; ++m) {
        real g = 0;
        for (const Pair& pr : pairs) {
            const real qq = ((m == pr.i) - phi[pr.i]) * ((m == pr.j) - phi[pr.j]);
            // The solute's own solvent term carries 1 + q_i q_j.
            const real f = (m == 3 && pr.i == 1 && pr.j == 3) ? 1 + qq : qq;
            g -= 2 * al[m] / (al[pr.i] + al[pr.j]) * pr.w * f;
        }
        SCOPED_TRACE(m);
        EXPECT_REL_NEAR(c.act[m], y[m] * std::exp(g / (rgas * t0)), 1e-12L);
    }
    // Under the symmetric model the solvent term is refused.
    c.ss(1).model = axtype::symmetric;
    EXPECT_BOMB(c.activities(at3(y2, y3), p0, t0), "calca", "symmetric aq??");
}

TEST(Calca, WithoutDerivativesOnlyActivitiesChange) {
    AllPhases c;
    c.d->dadp[1] = 7;
    c.d->dadt[2] = 8;
    c.d->dadx[1][3] = 9;
    c.act[14] = 0.5L;  // the pure phase is reset to 1
    c.activities(c.x(), p0, t0, false, false);
    EXPECT_EQ(c.d->dadp[1], 7);
    EXPECT_EQ(c.d->dadt[2], 8);
    EXPECT_EQ(c.d->dadx[1][3], 9);
    EXPECT_EQ(c.act[14], 1);
    // The second phase fills the second result slot and its own rows.
    EXPECT_EQ((*c.ssr)[2].p[3], 2 * 0.1L);
    EXPECT_EQ(c.act[5], (*c.ssr)[2].a[2]);
}

// The working tables of `calca` are held while it runs: a call made while they are held (one
// nested in another, which would write over what the outer call still reads) stops the run; the
// stop leaves them free.
TEST(Calca, NestedCallStops) {
    AllPhases c;
    c.activities(c.x(), p0, t0);
    const real a5 = c.act[5];
    {
        const ScratchHold outer(thermowork(c.ses).calcainuse, "calca");
        EXPECT_BOMB(c.activities(c.x(), p0, t0), "calca",
                    "working tables in use by an unfinished call");
    }
    c.act[5] = 0;
    c.activities(c.x(), p0, t0);
    EXPECT_EQ(c.act[5], a5);
    EXPECT_FALSE(thermowork(c.ses).calcainuse);
}

TEST(Calca, ZeroSiteFractionStopsWithADiagnostic) {
    Calc c;
    c.addss(twosite());
    c.layout();
    c.ses.ch.activechannels = 1;
    // x = Q = 0.2: no Fe on M1.
    EXPECT_BOMB(c.activities(at3(0.2L, 0.2L), p0, t0), "calca", "negative sf term");
    std::string l1 = "     ", l2 = "x =  ", l3 = "     ", l4 = "sf = ";
    addstr("x(ol)", 12, l1);
    addstr("Q(ol)", 12, l1);
    addreal(5, true, 12, l2, 0.2L);
    addreal(5, true, 12, l2, 0.2L);
    const real sf[] = {1, 0, 0.6L, 0.4L};
    for (int s = 1; s <= 4; ++s) {
        addstr(c.ss(1).sfname[s], 12, l3);
        addreal(5, true, 12, l4, sf[s - 1]);
    }
    const std::string expected = "\n\n" + l1 + "\n" + l2 + "\n\n" + l3 + "\n" + l4 +
                                 "\n\nphase = ol, end-member = fa, tmf term no = 1, sf term no = "
                                 "2, sf = 0\n\nsorry - try changing starting guesses!\n";
    EXPECT_EQ(c.ts.console.output.substr(0, expected.size()), expected);
}

TEST(Calca, ZeroSizesStop) {
    Calc c;
    ptype1& ph = c.addss(ternaryvanlaar());
    c.layout();
    // A proportion-weighted size sum of 0.
    ph.alphaa[2] = -1;
    ph.alphab[2] = 0;
    ph.alphac[2] = 0;
    EXPECT_BOMB(c.activities(at3(0.5L, 0), p0, t0), "calca", "van Laar sizes sum to 0 in tern");
    // A pair whose two sizes cancel.
    ph.alphaa[2] = -1;
    ph.alphaa[1] = 1;
    EXPECT_BOMB(c.activities(at3(0.2L, 0.3L), p0, t0), "calca", "van Laar sizes sum to 0 in tern");
}

TEST(Calca, FluidVolumeThatIsNotPositiveStops) {
    // Critical constants far outside those of real gases give a negative volume.
    Calc c;
    c.addss(fluid(3));
    c.layout();
    c.run.ax.fluid.tcrit[3] = 100;
    c.run.ax.fluid.pcrit[3] = 0.001L;
    EXPECT_BOMB(c.activities(at3(0.3L, 0.2L), p0, t0), "calca",
                "fluid volume not positive for CH4 in fluid");
}

}  // namespace
}  // namespace qv::test
