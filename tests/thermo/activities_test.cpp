// Activities with their uncertainties, and the activity table of a run at the P-T for a-x.

#include "thermo/activities.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/phasefixture.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

// A binary phase A-B on one site: x = x(B), p(A) = xA = 1 - x, p(B) = xB = x, a_id = site
// fraction; one W = wa + wb T + wc P with its sd.
ptype1 binary(axtype model, real wa, real wb, real wc, real wsd) {
    ptype1 ph = regularbinary("bin", 1);
    ph.model = model;
    ph.wa[1] = wa;
    ph.wb[1] = wb;
    ph.wc[1] = wc;
    ph.wsd[1] = wsd;
    return ph;
}

eqvector at(real x) {
    eqvector v;
    v[1] = x;
    return v;
}

constexpr real rgasj = 0.0083144L;  // kJ/K/mol

TEST(CalcActivitySd, SymmetricBinaryAgainstRegularSolution) {
    const real p = 8, t = 873.15L, x = 0.3L, wsd = 2, xsd = 0.02L;
    ptype1 ph = binary(axtype::symmetric, 10, 0.002L, 0.1L, wsd);  // W = 10 + 0.002 T + 0.1 P
    ph.var[1].guesssd = xsd;
    const real wtp = 10 + 0.002L * t + 0.1L * p;
    const real rt = rgasj * t;
    // Regular solution: RT ln gamma_A = W x_B^2, RT ln gamma_B = W x_A^2.
    const real aa = (1 - x) * std::exp(wtp * x * x / rt);
    const real ab = x * std::exp(wtp * (1 - x) * (1 - x) / rt);
    for (controlboolean justrelu : {controlboolean::no, controlboolean::yes}) {
        const ActivitiesSd r = calcactivitysd(ph, at(x), p, t, justrelu);
        EXPECT_EQ(r.nactivityem, 2);
        EXPECT_REL_NEAR(r.a[1], aa, 1e-15L);
        EXPECT_REL_NEAR(r.a[2], ab, 1e-15L);
        // Relative sd: the ideal part by a step of 0.001 in x (exact for a linear site fraction),
        // the W part as its multiplier x_B^2 (x_A^2) times sd(W) over RT.
        const real ua = justrelu == controlboolean::no ? x * x * wsd / rt : 0;
        const real ub = justrelu == controlboolean::no ? (1 - x) * (1 - x) * wsd / rt : 0;
        EXPECT_REL_NEAR(r.sd[1], aa * std::sqrt(std::pow(xsd / (1 - x), 2) + ua * ua), 1e-9L);
        EXPECT_REL_NEAR(r.sd[2], ab * std::sqrt(std::pow(xsd / x, 2) + ub * ub), 1e-9L);
    }
}

TEST(CalcActivitySd, VanLaarSizesWeightTheProportions) {
    const real p = 5, t = 1000, x = 0.4L, w = 20;
    ptype1 ph = binary(axtype::vanlaar, w, 0, 0, 0);
    ph.alphaa[1] = 1;
    ph.alphaa[2] = 2;
    const real rt = rgasj * t;
    // van Laar: phi_B = 2x / (1 - x + 2x); RT ln gamma_A = W 2 a_A/(a_A + a_B) phi_B^2.
    const real phib = 2 * x / (1 - x + 2 * x);
    const real phia = 1 - phib;
    const real ga = std::exp(w * 2 * 1 / 3.0L * phib * phib / rt);
    const real gb = std::exp(w * 2 * 2 / 3.0L * phia * phia / rt);
    const ActivitiesSd r = calcactivitysd(ph, at(x), p, t, controlboolean::no);
    EXPECT_REL_NEAR(r.a[1], (1 - x) * ga, 1e-15L);
    EXPECT_REL_NEAR(r.a[2], x * gb, 1e-15L);
    EXPECT_EQ(r.sd[1], 0);  // no sds given
    // Sizes of 1 give the symmetric activities.
    ph.alphaa[2] = 1;
    const ActivitiesSd v = calcactivitysd(ph, at(x), p, t, controlboolean::no);
    ph.model = axtype::symmetric;
    const ActivitiesSd s = calcactivitysd(ph, at(x), p, t, controlboolean::no);
    EXPECT_REL_NEAR(v.a[1], s.a[1], 1e-15L);
    EXPECT_REL_NEAR(v.a[2], s.a[2], 1e-15L);
}

TEST(CalcActivitySd, IdealSdIsAbsoluteAndExcludedEndMembersAreLeftOut) {
    ptype1 ph = binary(axtype::ideal, 50, 0, 0, 3);
    ph.var[1].guesssd = 0.05L;
    ph.em[1].excluded = true;
    const ActivitiesSd r = calcactivitysd(ph, at(0.25L), 1, 800, controlboolean::no);
    EXPECT_EQ(r.nactivityem, 1);
    EXPECT_EQ(r.a[1], 0);
    EXPECT_EQ(r.sd[1], 0);
    EXPECT_EQ(r.a[2], 0.25L);  // no W term in an ideal phase
    EXPECT_REL_NEAR(r.sd[2], 0.05L, 1e-12L);
}

// A run of one binary phase and one pure phase, with "ptforaxe 8 600".
struct AxPtRun : PhaseRun {
    AxPtRun() {
        run.nss = 1;
        ss(1) = binary(axtype::symmetric, 200, 0, 0, 0);
        ss(1).var[1].guess = 0.9L;
        ptype0& q = addpure("q");
        q.activity = 0.8L;
        q.activitysd = 0.04L;
        sc.ptforaxecb = controlboolean::yes;
        sc.ptforaxep = 8;
        sc.ptforaxet = 600;
        run.nphread = 2;
    }
};

TEST(ExtractemActivities, TableAtThePtForAx) {
    AxPtRun r;
    const AxPT pt = extractem_activities(r.ses, r.run, {});
    const real t = 873.15L;
    EXPECT_EQ(pt.p, 8);
    EXPECT_EQ(pt.t, t);
    const real rt = rgasj * t;
    const real aa = 0.1L * std::exp(200 * 0.81L / rt);  // far above 1
    const real ab = 0.9L * std::exp(200 * 0.01L / rt);  // 1.16: reset to 0.999
    ASSERT_GT(ab, 1);
    // A reset activity shows the value used, then the old one after "## reset, was".
    auto line = [](const std::string& name, real a, real shown) {
        std::string s = "      ";
        addstr(name, 7, s);
        addstr(": a = ", 0, s);
        addreal(4, true, 8, s, shown);
        addstr(", sd(a) = ", 0, s);
        addreal(4, true, 8, s, 0);
        if (a > 1) {
            addstr(" ## reset, was ", 0, s);
            addreal(4, true, 8, s, a);
        }
        return s + "\n";
    };
    const std::string expected =
        "activities of end-members in solid solutions are calculated with\n"
        "input values of compositional variables at PT: 8.0 kbar, 600\xA1"
        "C (from script)\n"
        "\nbin         \n" +
        line("A", aa, 0.999L) + line("B", ab, 0.999L);
    EXPECT_EQ(r.ts.console.output, expected);
    const Dataset& ds = r.run.dataset;
    EXPECT_EQ(ds.emact[1], 0.999L);
    EXPECT_EQ(ds.emact[2], 0.999L);
    EXPECT_EQ(ds.emact[3], 0.8L);
    EXPECT_EQ(ds.emsda[3], 0.04L);
}

TEST(ExtractemActivities, AskedPtAndExcludedEndMembers) {
    AxPtRun r;
    r.sc.ptforaxecb = controlboolean::no;
    r.ss(1).wa[1] = 0;
    r.ss(1).em[1].excluded = true;
    r.ts.console.feed("4\n500\n");
    const AxPT pt = extractem_activities(r.ses, r.run, {});
    EXPECT_EQ(pt.p, 4);
    EXPECT_EQ(pt.t, 773.15L);
    const std::string& out = r.ts.console.output;
    EXPECT_NE(out.find("input values of compositional variables\nP for a-x in kbar : "),
              std::string::npos);
    EXPECT_NE(out.find("T for a-x in \xA1"
                       "C : "),
              std::string::npos);
    EXPECT_NE(out.find("\nbin         left out: A \n"), std::string::npos);
    EXPECT_EQ(out.find("      A: a"), std::string::npos);
    EXPECT_EQ(r.run.dataset.emact[1], 0.9L);  // B first: A is not in the run's list
    EXPECT_EQ(r.run.dataset.emact[2], 0.8L);
}

TEST(ExtractemActivities, ZeroActivityStops) {
    AxPtRun r;
    r.ss(1).var[1].guess = 1;  // x(A) = 0
    EXPECT_BOMB(extractem_activities(r.ses, r.run, {}), "extractem",
                "activity negative for A, in bin");
}

TEST(ExtractemActivities, OrderIsSolvedAtThePtForAxBeforeItsActivities) {
    AxPtRun r;
    r.ss(1).hasorder = true;
    int calls = 0;
    const OrderSolver order = [&](Session&, qv::Run&, int16 phase, real p, real t) {
        ++calls;
        EXPECT_EQ(phase, 1);
        EXPECT_EQ(p, 8);
        EXPECT_EQ(t, 873.15L);
        return true;
    };
    extractem_activities(r.ses, r.run, order);
    EXPECT_EQ(calls, 1);
    AxPtRun failed;
    failed.ss(1).hasorder = true;
    const OrderSolver none = [](Session&, qv::Run&, int16, real, real) { return false; };
    EXPECT_BOMB(extractem_activities(failed.ses, failed.run, none), "extractem",
                "couldn't solve for state of order for bin");
}

}  // namespace
}  // namespace qv::test
