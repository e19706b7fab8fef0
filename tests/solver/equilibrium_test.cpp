// The solver on the equilibrium equations of small assemblages, against independent solutions:
// a univariant reaction of pure phases from the dataset, a two-phase loop of ideal binary
// solutions, and the order-disorder equilibrium of a two-site phase.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "solver/calcq.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/calcfixture.hpp"
#include "thermo/equations.hpp"

namespace qv::test {
namespace {

// A calculation laid out by `makecrossrefs`, with its equations and a solver over them.
struct Solve : Calc {
    MassBalance mb;
    ReactionLists rl;
    NleState nst;
    NleStatus st;
    NleWorkspace work;
    GemSettings gs;
    std::unique_ptr<NleVariables> v = std::make_unique<NleVariables>();
    int16 level = 1;
    NleSettings set{level};
    int16 code = -1;

    Solve() {
        gs.dsmode = 6;
        gs.newspfluid = false;
        run.dataset.dsmode = 6;
        ses.tables.macheps = std::numeric_limits<real>::epsilon() / 2;
    }
    void components(const std::vector<std::string>& names) { setcomponents(run, mb, names); }
    void reaction(const std::vector<int16>& coef) { addreaction(run, coef); }
    // Lays out the problem and starts the solver from the natural values `start`.
    void prepare(const std::vector<real>& start) {
        nlevariables(xref, run.nxvars, run.nmodevars, *run.arrays.prec1, *v);
        for (std::size_t i = 0; i < start.size(); ++i) {
            const auto k = static_cast<int16>(i + 1);
            v->xvalue[k] = v->xfree[k] ? xref.xoffset[k] + xref.xscale[k] * start[i] : start[i];
        }
    }
    bool solve() {
        Equations eq{ses, equationtables(run), gs, xref, mb, rl.rdiv, rl.rxnlnk, nst};
        AssemblageEquations eqs(eq, st);
        return nle(ses, eqs, *v, set, st, work, code);
    }
};

// Rows of qv-ds62.txt, read once.
Ds62& dataset() {
    static Ds62 ds;
    return ds;
}

TEST(Equilibrium, KyaniteSillimaniteAtFixedTemperature) {
    Ds62& ds = dataset();
    Solve s;
    s.gs = ds.gs;
    s.components({"Al2O3", "SiO2"});
    for (const char* name : {"ky", "sill"}) {
        ptype0& ph = s.addpure(name);
        ph.comp[1] = 1;
        ph.comp[2] = 1;
        ph.td = ds.row(ds.find(name));
    }
    s.run.windows.scaling.pscale = 0.05L;  // 0 to 20 kbar
    s.run.windows.scaling.tscale = 0.001L;
    s.lay.psmallstep = 1e-9L;
    s.layout();
    s.xref.xfree[2] = false;
    s.reaction({-1, 1});
    s.set.esizetol = 1e-10L;
    const real t = 973.15L;
    s.prepare({5, t});
    ASSERT_TRUE(s.solve()) << s.code;
    const real p = s.v->natural(1);
    const real root = bisect(
        [&](real pp) { return ds.g(ds.find("sill"), pp, t) - ds.g(ds.find("ky"), pp, t); }, 1, 19);
    EXPECT_ABS_NEAR(static_cast<double>(p), static_cast<double>(root), 1e-6);
    EXPECT_GT(s.st.niterations, 0);
}

TEST(Equilibrium, TwoPhaseLoopOfIdealBinarySolutions) {
    // Solutions A (a1, a2) and B (b1, b2) of the components X and Y; b1 lies 2 kJ above a1 and
    // b2 3 kJ below a2. At fixed P and T: RT ln((1 - xB)/(1 - xA)) = -2, RT ln(xB/xA) = 3.
    Solve s;
    s.components({"X", "Y"});
    const real h[2][2] = {{-1000, -1200}, {-998, -1203}};
    for (int ph = 0; ph < 2; ++ph) {
        const std::string name = ph == 0 ? "A" : "B";
        ptype1 rec = onesite(name, {name + "1", name + "2"}, axtype::ideal);
        for (int e = 1; e <= 2; ++e) {
            rec.em[e].comp[e] = 1;
            rec.em[e].td = makerow({h[ph][e - 1], 0.05L, 2, 0.1L, 1e-5L});
        }
        rec.var[1].step = 1e-9L;
        s.addss(rec);
    }
    s.lay.modesolved = true;
    s.layout();
    s.xref.xfree[1] = false;
    s.xref.xfree[2] = false;
    s.reaction({-1, 0, 1, 0});
    s.reaction({0, -1, 0, 1});
    s.mb.modeson = true;
    const real z = 0.4L;
    s.mb.bulkcomp[1] = 1 - z;
    s.mb.bulkcomp[2] = z;
    const real t = 1000;
    s.prepare({5, t, 0.3L, 0.5L, 0.5L, 0.5L});
    s.set.esizetol = 1e-13L;
    s.set.fsizetol = 1e-13L;
    ASSERT_TRUE(s.solve()) << s.code;
    const real rt = rgas * t;
    const real k1 = std::exp(-2 / rt);
    const real k2 = std::exp(3 / rt);
    const real xa = (1 - k1) / (k2 - k1);
    const real xb = k2 * xa;
    const real ma = (xb - z) / (xb - xa);
    EXPECT_ABS_NEAR(static_cast<double>(s.v->natural(3)), static_cast<double>(xa), 1e-8);
    EXPECT_ABS_NEAR(static_cast<double>(s.v->natural(4)), static_cast<double>(xb), 1e-8);
    EXPECT_ABS_NEAR(static_cast<double>(s.v->natural(5)), static_cast<double>(ma), 1e-8);
    EXPECT_ABS_NEAR(static_cast<double>(s.v->natural(6)), static_cast<double>(1 - ma), 1e-8);
    EXPECT_ABS_NEAR(static_cast<double>(s.v->natural(5) + s.v->natural(6)), 1, 1e-12);
}

// The two-site olivine of the equation tests alone in its calculation, with other tables of
// the caller's calculation filled with marks.
struct Ordering : Solve {
    Ordering() {
        ptype1& ol = addss(twosite());
        components({"MgO", "FeO", "SiO2"});
        const int16 comps[3][3] = {{2, 0, 1}, {0, 2, 1}, {1, 1, 1}};
        const real data[3][5] = {{-2172.6L, 0.0951L, 4.366L, 0.2333L, 1.5e-6L},
                                 {-1477.7L, 0.1510L, 4.631L, 0.2011L, 1.7e-5L},
                                 {-1826.0L, 0.1262L, 4.497L, 0.2172L, 9.0e-6L}};
        for (int e = 1; e <= 3; ++e) {
            for (int k = 1; k <= 3; ++k) ol.em[e].comp[k] = comps[e - 1][k - 1];
            ol.em[e].td = makerow(
                {data[e - 1][0], data[e - 1][1], data[e - 1][2], data[e - 1][3], data[e - 1][4]});
        }
        ol.var[1].guess = 0.3L;
        ol.var[2].guess = 0.1L;
        ol.var[2].step = 1e-9L;
        run.script.debuglevq = 1;
        for (int i = 1; i <= maxem; ++i) {
            for (int k = 1; k <= ntd; ++k) (*run.arrays.td)[i][k] = i + k / 100.0L;
            run.dataset.emact[i] = 1.0L / i;
            run.dataset.emnames[i] = "e" + std::to_string(i);
            (*run.arrays.r)[1][i] = static_cast<int16>(i % 7);
            (*run.arrays.c)[1][i] = static_cast<int16>(i % 5);
        }
        run.nreac = 1;
        run.dataset.nem = 9;
        rl.rxnlnk[1] = 0.25L;
    }
    ptype1& ol() { return ss(1); }
    // The internal reaction fo + fa = 2 od at the natural values (P, T, x, Q), from `gem` and the
    // activities of the phase.
    real dg(real p, real t, real x, real q) {
        eqvector n;
        n[1] = p;
        n[2] = t;
        n[3] = x;
        n[4] = q;
        layout();
        activities(n, p, t, false, false);
        real g = 0;
        const int coef[3] = {1, 1, -2};
        for (int e = 1; e <= 3; ++e) {
            g += coef[e - 1] *
                 (gem(ses, gs, ol().em[e].td, ol().em[e].name, p, t) + rgas * t * std::log(act[e]));
        }
        return g;
    }
};

TEST(Calcq, OrderEqualsTheRootOfTheInternalReaction) {
    const real p = 10;
    const real t = 900;
    real q1 = 0;
    for (int level : {1, 5}) {  // analytical, then finite-difference jacobian
        Ordering o;
        o.run.script.debuglevq = static_cast<int16>(level);
        ASSERT_TRUE(calcq(o.ses, o.run, 1, p, t));
        if (level == 1) q1 = o.ol().var[2].guess;
        EXPECT_ABS_NEAR(static_cast<double>(o.ol().var[2].guess), static_cast<double>(q1), 1e-8);
        EXPECT_EQ(o.ol().var[1].guess, 0.3L);
    }
    Ordering o;
    const real root = bisect([&](real q) { return o.dg(p, t, 0.3L, q); }, 1e-12L, 0.3L - 1e-12L);
    EXPECT_ABS_NEAR(static_cast<double>(q1), static_cast<double>(root), 1e-8);
}

TEST(Calcq, CallersTablesComeBackExactlyConvergedOrNot) {
    for (bool converge : {true, false}) {
        Ordering o;
        if (!converge) {
            // An order outside its range: the start cannot be evaluated (code 9 at level 0).
            o.ol().var[2].guess = 1.5L;
            o.run.script.debuglevq = 0;
        }
        auto td = std::make_unique<tdmatrix>(*o.run.arrays.td);
        auto r = std::make_unique<rmatrix>(*o.run.arrays.r);
        auto c = std::make_unique<icmatrix>(*o.run.arrays.c);
        const emvector act = o.run.dataset.emact;
        const strings names = o.run.dataset.emnames;
        const ReactionLists rl = o.rl;
        EXPECT_EQ(calcq(o.ses, o.run, 1, 10, 900), converge);
        EXPECT_EQ(std::memcmp(td.get(), o.run.arrays.td.get(), sizeof(tdmatrix)), 0);
        EXPECT_EQ(std::memcmp(r.get(), o.run.arrays.r.get(), sizeof(rmatrix)), 0);
        EXPECT_EQ(std::memcmp(c.get(), o.run.arrays.c.get(), sizeof(icmatrix)), 0);
        EXPECT_EQ(std::memcmp(&act, &o.run.dataset.emact, sizeof(emvector)), 0);
        for (int i = 1; i <= maxem; ++i) EXPECT_EQ(names[i], o.run.dataset.emnames[i]);
        EXPECT_EQ(o.run.nreac, 1);
        EXPECT_EQ(o.run.dataset.nem, 9);
        EXPECT_EQ(o.rl.rxnlnk[1], 0.25L);
        EXPECT_EQ(o.run.script.debuglev, 1);
        if (!converge) {
            EXPECT_EQ(o.ol().var[2].guess, 1.5L);
            // its caller reports the failure, naming the phase
            EXPECT_EQ(o.ts.console.output.find("illegal start"), std::string::npos);
        }
    }
}

// A non-ideal term so large that the activities leave the range of the numbers, at the start
// or on a trial step of the solve, fails the solve as any other failure does: no stop, the
// order unchanged and nothing written, for its caller to report.
TEST(Calcq, UnevaluablePointIsAFailedSolve) {
    struct Case {
        int term;  // W(fo,fa), W(fo,od), W(fa,od)
        real w, x, q;
    };
    const Case cases[] = {
        {1, -1.8e5L, 0.3L, 0.15L},  // on a trial step
        {2, 2e5L, 0.3L, 0.15L},
        {3, 3e5L, 0.5L, 0.15L},
        {1, -2e5L, 0.3L, 0.05L},  // at the start
    };
    for (const Case& c : cases) {
        Ordering o;
        o.ol().var[1].guess = c.x;
        o.ol().var[2].guess = c.q;
        o.ol().wa[c.term] = c.w;
        EXPECT_FALSE(calcq(o.ses, o.run, 1, 10, 900)) << c.term;
        EXPECT_EQ(o.ol().var[2].guess, c.q);
        EXPECT_EQ(o.ts.console.output, "");
    }
}

// A made end-member takes its constituent's G as the rest of the run does, the constituent's
// name included: here a melt, whose name selects the melt equation of state. Making the ordered
// end-member from such a row gives the order of the phase whose end-member is that row itself.
TEST(Calcq, MadeEndMemberKeepsItsConstituentsName) {
    const real p = 10;
    const real t = 900;
    auto melt = [](tdvector row) {
        row[8] = 3e-5L;  // alpha, 1/K
        row[9] = 400;    // K, kbar
        row[10] = 6;     // K'
        row[11] = -0.015L;
        return row;
    };
    Ordering made;
    ssemtype& od = made.ol().em[3];
    (*made.run.arrays.td)[400] = melt(od.td);
    made.run.dataset.emnames[400] = "odL";
    od.td[1] = od.td[2] = od.td[3] = 0;  // no linear term of its own
    od.nmake = 1;
    od.makeint2[1] = 400;
    od.makecoef[1] = 1;
    od.makeden = 1;
    ASSERT_TRUE(calcq(made.ses, made.run, 1, p, t));

    real q[2] = {};
    for (const char* name : {"odL", "od"}) {
        Ordering direct;
        direct.ol().em[3].td = melt(direct.ol().em[3].td);
        direct.ol().em[3].name = name;
        ASSERT_TRUE(calcq(direct.ses, direct.run, 1, p, t));
        q[name[2] == 'L' ? 0 : 1] = direct.ol().var[2].guess;
    }
    EXPECT_REL_NEAR(made.ol().var[2].guess, q[0], 1e-12L);
    EXPECT_GT(std::fabs(q[0] - q[1]), 1e-6L);  // the name does matter to this row
}

TEST(Calcq, RefusesAPhaseWithoutOrder) {
    Ordering o;
    o.ol().hasorder = false;
    EXPECT_BOMB(calcq(o.ses, o.run, 1, 10, 900), "calcq", "not an OD phase");
    bool was = false;
    EXPECT_BOMB(findlegalq(o.ses, o.run, 1, false, was, 10, 900), "findlegalq", "not an odd phase");
}

TEST(Findlegalq, DrawsOnlyWhenTheOrderIsIllegal) {
    Ordering o;
    bool was = true;
    EXPECT_TRUE(findlegalq(o.ses, o.run, 1, false, was, 10, 900));
    EXPECT_FALSE(was);
    EXPECT_EQ(o.ol().var[2].guess, 0.1L);  // nothing drawn
    o.ol().var[2].guess = 0.9L;            // Fe on M1 would be negative
    o.ol().var[2].lower = 0;
    o.ol().var[2].upper = 0.3L;
    EXPECT_TRUE(findlegalq(o.ses, o.run, 1, true, was, 10, 900));
    EXPECT_TRUE(was);
    EXPECT_GT(o.ol().var[2].guess, 0);
    EXPECT_LT(o.ol().var[2].guess, 0.3L);
}

// The state of order that the rock calculations and reaction diagrams use is the minimum over Q
// of the phase's G at fixed x: G = sum p G(em) + RT sum over both sites of x ln x + sum W p p,
// found here by golden-section search, apart from the activity code.
TEST(SolveOrder, OrderIsTheMinimumOfTheGibbsEnergyOverQ) {
    const real p = 10;
    const real t = 900;
    const real x = 0.3L;
    Ordering o;
    o.run.nxvars = 17;
    o.run.nmodevars = 4;
    ASSERT_TRUE(solve_order(o.ses, o.run, 1, p, t));
    EXPECT_EQ(o.run.nxvars, 17);
    EXPECT_EQ(o.run.nmodevars, 4);
    EXPECT_EQ(o.ol().var[1].guess, x);
    const real found = o.ol().var[2].guess;

    Ordering h;
    const ptype1& ph = h.ol();
    real gem1[4];
    for (int e = 1; e <= 3; ++e) gem1[e] = gem(h.ses, h.gs, ph.em[e].td, ph.em[e].name, p, t);
    const real rt = rgas * t;
    auto xlnx = [](real f) { return f * std::log(f); };
    auto g = [&](real q) {
        const real pr[4] = {0, 1 - x - q, x - q, 2 * q};
        real sum = 0;
        for (int e = 1; e <= 3; ++e) sum += pr[e] * gem1[e];
        sum += rt * (xlnx(1 - x + q) + xlnx(x - q) + xlnx(1 - x - q) + xlnx(x + q));
        for (int k = 1; k <= ph.ngterm; ++k) {
            const real w = ph.wa[k] + ph.wb[k] * t + ph.wc[k] * p;
            sum += w * pr[ph.gterm[k].i] * pr[ph.gterm[k].j];
        }
        return sum;
    };
    real a = -x + 1e-9L;
    real b = x - 1e-9L;
    const real r = (std::sqrt(5.0L) - 1) / 2;
    while (b - a > 1e-12L) {
        const real c = b - r * (b - a);
        const real d = a + r * (b - a);
        if (g(c) < g(d)) {
            b = d;
        } else {
            a = c;
        }
    }
    EXPECT_ABS_NEAR(static_cast<double>(found), static_cast<double>((a + b) / 2), 1e-7);
    EXPECT_GT(found, 0);  // the ordered end-member is stabilised: Q > 0
}

}  // namespace
}  // namespace qv::test
