// The damped Newton solver on small systems of our own: convergence and result codes, the line
// search's admissible steps, failed trial points, and the debug-level jacobian checks.

#include "solver/nle.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "model/phasefixture.hpp"

namespace qv::test {
namespace {

// Residuals and jacobian from two callables over the natural values of the free unknowns
// (the tests use scale 1 and offset 0, so solver and natural values agree).
struct FnEquations final : NleEquations {
    using Resid = std::function<bool(const eqvector& x, eqvector& f)>;
    using Jac = std::function<void(const eqvector& x, eqmatrix& j)>;
    Resid resid;
    Jac jacfn;
    std::vector<eqvector> points;  // every point evaluated
    int16 neqs = -1;               // the residuals resid writes; -1 one per free unknown
    bool nlefunc(const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac) override {
        points.push_back(x);
        if (!resid(x, f)) return false;
        if (wantjac) jacfn(x, jac);
        return true;
    }
    int16 nequations(int16 nfree) const override { return neqs < 0 ? nfree : neqs; }
};

// Unknowns 3..2+n free in [0, 1] with unit scale; P and T held.
struct Problem {
    TestSession ts;
    Session& ses = ts.ses;
    int16 level = 1;
    NleSettings set{level};
    NleStatus st;
    NleWorkspace work;
    std::unique_ptr<NleVariables> v = std::make_unique<NleVariables>();
    FnEquations eqs;
    int16 code = -1;

    explicit Problem(std::vector<real> start) {
        ses.tables.macheps = std::numeric_limits<real>::epsilon() / 2;
        ses.ch.activechannels = 1;
        v->nxvars = static_cast<int16>(2 + start.size());
        v->xvalue[1] = 5;
        v->xvalue[2] = 900;
        v->xname[1] = "P(kbar)";
        v->xname[2] =
            "T(\xA1"
            "C)";
        for (std::size_t i = 0; i < start.size(); ++i) {
            const int16 k = static_cast<int16>(3 + i);
            v->xvalue[k] = start[i];
            v->xfree[k] = true;
            v->xscale[k] = 1;
            v->xoffset[k] = 0;
            v->xdxscale[k] = 0.0001L;
            v->xlowacc[k] = acctype::xaccessible;
            v->xhighacc[k] = acctype::xaccessible;
            v->xname[k] = "x" + std::to_string(i + 1);
        }
    }
    bool solve() { return nle(ses, eqs, *v, set, st, work, code); }
    real x(int i) const { return v->xvalue[2 + i]; }
    const std::string& screen() const { return ts.console.output; }
};

// f = ln((x - 0.2) / 0.05): root 0.25; a full Newton step from 0.9 lands far below 0.2.
void logresidual(Problem& p) {
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        if (x[3] <= 0.2L) return false;
        f[1] = std::log((x[3] - 0.2L) / 0.05L);
        return true;
    };
    p.eqs.jacfn = [](const eqvector& x, eqmatrix& j) { j[1][1] = 1 / (x[3] - 0.2L); };
}

// One site fraction x1 - 1/5 of a one-variable phase, watched by the line search.
void watchsitefraction(Problem& p, prectype1& prec1, const termtype& sf) {
    prec1[1].nsf = 1;
    prec1[1].sf[1] = sf;
    p.v->nsfterms = 1;
    p.v->sftermphase[1] = 1;
    p.v->sftermsite[1] = 1;
    p.v->sftermoffset[1] = 3;
    p.v->prec1 = &prec1;
}

TEST(Nle, SolvesTwoUnknownsToTheRootWithCodeZero) {
    // x^2 + y^2 = 0.5 and x = y^3 have one root in the unit square.
    Problem p({0.9L, 0.9L});
    p.set.dxtol = 1e-12L;  // converge on tight residuals, not on a small step
    p.set.fsizetol = 1e-12L;
    p.set.esizetol = 1e-12L;
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] * x[3] + x[4] * x[4] - 0.5L;
        f[2] = x[3] - x[4] * x[4] * x[4];
        return true;
    };
    p.eqs.jacfn = [](const eqvector& x, eqmatrix& j) {
        j[1][1] = 2 * x[3];
        j[1][2] = 2 * x[4];
        j[2][1] = 1;
        j[2][2] = -3 * x[4] * x[4];
    };
    ASSERT_TRUE(p.solve());
    EXPECT_EQ(p.code, nleconverged);
    EXPECT_NEAR(static_cast<double>(p.x(1) * p.x(1) + p.x(2) * p.x(2)), 0.5, 1e-9);
    EXPECT_NEAR(static_cast<double>(p.x(1) - std::pow(p.x(2), 3.0L)), 0.0, 1e-9);
    EXPECT_GT(p.st.niterations, 1);
    EXPECT_FALSE(p.st.jacsingular);
    EXPECT_GT(p.st.jaccond, 1);
    EXPECT_FALSE(p.st.convmark.empty());
}

TEST(Nle, ConvergedStartIsCodeZeroWithoutAnyIterationOrReport) {
    Problem p({0.3L});
    p.level = 2;
    bool derivatives = false;
    p.set.calcsdlevel = 1;
    p.set.makedeqdx = [&] { derivatives = true; };
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] - 0.3L;
        return true;
    };
    p.eqs.jacfn = [](const eqvector&, eqmatrix& j) { j[1][1] = 1; };
    ASSERT_TRUE(p.solve());
    EXPECT_EQ(p.code, 0);
    EXPECT_EQ(p.st.niterations, 0);
    EXPECT_EQ(p.eqs.points.size(), 1u);
    EXPECT_FALSE(derivatives);
    EXPECT_EQ(p.screen().find("esize"), std::string::npos);
    EXPECT_EQ(p.x(1), 0.3L);
}

// One residual for two unknowns: its start meets the start test, but nothing fixes the second
// unknown. No evaluation, no result: code 11 and its report.
TEST(Nle, FewerEquationsThanUnknownsAreNotSolved) {
    Problem p({0.3L, 0.7L});
    p.level = 2;
    p.eqs.neqs = 1;
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] - 0.3L;
        return true;
    };
    p.eqs.jacfn = [](const eqvector&, eqmatrix& j) { j[1][1] = 1; };
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nletoofew);
    EXPECT_TRUE(p.eqs.points.empty());
    EXPECT_EQ(p.x(1), 0.3L);
    EXPECT_EQ(p.x(2), 0.7L);
    EXPECT_NE(p.screen().find("No solution (11):\n   fewer equations than unknowns\n"),
              std::string::npos)
        << p.screen();
}

TEST(Nle, TwentySixLineSearchesEndWithCodeTwo) {
    // Newton on x^3 only shrinks x by a third each step, and zero tolerances never accept it.
    Problem p({0.5L});
    p.set.esizetol = 0;
    p.set.fsizetol = 0;
    p.set.dxtol = 0;
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] * x[3] * x[3];
        return true;
    };
    p.eqs.jacfn = [](const eqvector& x, eqmatrix& j) { j[1][1] = 3 * x[3] * x[3]; };
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nleoverit);
    EXPECT_EQ(p.st.niterations, 26);
    // The 26th step is still taken.
    EXPECT_NEAR(static_cast<double>(p.x(1)), 0.5 * std::pow(2.0 / 3.0, 26), 1e-12);
}

TEST(Nle, InadmissibleStartIsCodeNineAtLevelZeroAndFatalAbove) {
    Problem p({0.1L});
    logresidual(p);
    p.level = 0;
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nleillegalstart);
    EXPECT_NE(p.screen().find("\nillegal start   0  0\n"), std::string::npos);
    EXPECT_NE(p.screen().find("        x1"), std::string::npos);
    EXPECT_EQ(p.level, 1);  // for the rest of the run
    EXPECT_BOMB(p.solve(), "nle", "illegal start");
}

TEST(Nle, UnderMinimisationAnInadmissibleStartOnlySaysSo) {
    Problem p({0.1L});
    logresidual(p);
    p.set.dogminon = true;
    p.set.dogminlevel = 1;
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nleillegalstart);
    EXPECT_EQ(p.screen(), "solver could not start\n");
}

TEST(Nle, EveryTrialPointStaysAdmissible) {
    // The Newton step from 0.9 aims at a negative value; the site fraction x - 0.2 must stay
    // positive, so the line search cuts the step back before evaluating.
    Problem p({0.9L});
    logresidual(p);
    auto prec1 = std::make_unique<prectype1>();
    watchsitefraction(p, *prec1, lin(-1, 5, {{1, 1, 1}}));
    ASSERT_TRUE(p.solve());
    EXPECT_NEAR(static_cast<double>(p.x(1)), 0.25, 1e-9);
    for (const eqvector& x : p.eqs.points) EXPECT_GT(x[3], 0.2L);
}

TEST(Nle, ZeroFactorInTheOffendingSiteFractionIsHandled) {
    // Site fraction (x1 - 1/5) + 3 x1 (x2 - 1/2) with x2 held at 1/2: the second product has a
    // factor of exactly 0 at every trial point.
    Problem p({0.9L, 0.5L});
    p.v->xfree[4] = false;
    logresidual(p);
    auto prec1 = std::make_unique<prectype1>();
    termtype sf = lin(-1, 5, {{1, 1, 1}});
    sf.nsxterms = 2;
    sf.sxterm[2].coef = 3;
    sf.sxterm[2].nxterms = 2;
    sf.sxterm[2].xterm[1] = lin(0, 1, {{1, 1, 1}}).sxterm[1].xterm[1];
    sf.sxterm[2].xterm[2] = lin(-1, 2, {{1, 1, 2}}).sxterm[1].xterm[1];
    watchsitefraction(p, *prec1, sf);
    ASSERT_TRUE(p.solve());
    EXPECT_NEAR(static_cast<double>(p.x(1)), 0.25, 1e-9);
    for (const eqvector& x : p.eqs.points) EXPECT_GT(x[3], 0.2L);
}

// x - y = 0.2 and x + y = 0.8 from the start (0.6, 0.2), which lies on x + y = 0.8, with the one
// limit x + y > num / den.
void sumlimit(Problem& p, int16 num, int16 den) {
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] - x[4] - 0.2L;
        f[2] = x[3] + x[4] - 0.8L;
        return true;
    };
    p.eqs.jacfn = [](const eqvector&, eqmatrix& j) {
        j[1][1] = 1;
        j[1][2] = -1;
        j[2][1] = 1;
        j[2][2] = 1;
    };
    p.v->nvarlims = 1;
    p.v->varlimden[1].fill(1);
    p.v->varlimnum[1][3] = 1;
    p.v->varlimnum[1][4] = 1;
    p.v->varlimnum[1][5] = static_cast<int16>(-num);
    p.v->varlimden[1][5] = den;
}

TEST(Nle, LimitParallelToTheDirectionDoesNotStopTheStep) {
    // Every Newton direction runs along the limit x + y > 1/2, which the solve can never reach.
    Problem p({0.6L, 0.2L});
    sumlimit(p, 1, 2);
    ASSERT_TRUE(p.solve()) << p.code;
    EXPECT_NEAR(static_cast<double>(p.x(1)), 0.5, 1e-12);
    EXPECT_NEAR(static_cast<double>(p.x(2)), 0.3, 1e-12);
}

TEST(Nle, LimitAlreadyReachedStopsWithCodeSeven) {
    // The limit x + y > 4/5 holds the start point on its edge.
    Problem p({0.6L, 0.2L});
    sumlimit(p, 4, 5);
    p.level = 2;
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nleslimsmall);
    EXPECT_EQ(p.x(1), 0.6L);
    EXPECT_NE(p.screen().find("No solution (7):\n   slim too small (on edge looking out?)\n"),
              std::string::npos);
}

TEST(Nle, FailedTrialIsNeverApplied) {
    // The equations cannot be evaluated below 0.5; the root at 0.3 lies there.
    Problem p({0.9L});
    p.level = 0;
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        if (x[3] < 0.5L) return false;
        f[1] = x[3] - 0.3L;
        return true;
    };
    p.eqs.jacfn = [](const eqvector&, eqmatrix& j) { j[1][1] = 1; };
    EXPECT_FALSE(p.solve());
    EXPECT_EQ(p.code, nleelse);
    EXPECT_EQ(p.x(1), 0.9L);
}

TEST(Nle, FailedTrialIsFatalWhenDebugging) {
    Problem p({0.9L});
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        if (x[3] < 0.5L) return false;
        f[1] = x[3] - 0.3L;
        return true;
    };
    p.eqs.jacfn = [](const eqvector&, eqmatrix& j) { j[1][1] = 1; };
    EXPECT_BOMB(p.solve(), "fn", "not ok (1)");
}

// x^2 + y^2 = 0.5, x = y^3 with the analytical jacobian scaled by `wrong` in entry (1,1).
void circlecubic(Problem& p, real wrong) {
    p.eqs.resid = [](const eqvector& x, eqvector& f) {
        f[1] = x[3] * x[3] + x[4] * x[4] - 0.5L;
        f[2] = x[3] - x[4] * x[4] * x[4];
        return true;
    };
    p.eqs.jacfn = [wrong](const eqvector& x, eqmatrix& j) {
        j[1][1] = 2 * x[3] * wrong;
        j[1][2] = 2 * x[4];
        j[2][1] = 1;
        j[2][2] = -3 * x[4] * x[4];
    };
}

TEST(Nle, FiniteDifferenceJacobianGivesTheSameSolution) {
    Problem exact({0.9L, 0.9L});
    circlecubic(exact, 1);
    ASSERT_TRUE(exact.solve());
    Problem fd({0.9L, 0.9L});
    circlecubic(fd, 7);  // never asked for at level 5
    fd.level = 5;
    ASSERT_TRUE(fd.solve());
    EXPECT_NEAR(static_cast<double>(fd.x(1)), static_cast<double>(exact.x(1)), 1e-8);
    EXPECT_NEAR(static_cast<double>(fd.x(2)), static_cast<double>(exact.x(2)), 1e-8);
}

TEST(Nle, LuAndDecompositionStepsReachTheSamePoint) {
    // With and without a mode among the unknowns (the second unknown made a phase's mode, as in
    // a solve with a bulk composition): both routes end at the root, x2 = the real root of
    // x^6 + x^2 = 1/2 and x1 = x2^3, formed independently by bisection below.
    real lo = 0.5L;
    real hi = 1;
    for (int i = 0; i < 200; ++i) {
        const real mid = (lo + hi) / 2;
        (std::pow(mid, 6) + mid * mid - 0.5L > 0 ? hi : lo) = mid;
    }
    const real root = (lo + hi) / 2;
    for (const bool withmode : {false, true}) {
        SCOPED_TRACE(withmode ? "with a mode" : "compositions only");
        const auto make = [withmode](Problem& p) {
            circlecubic(p, 1);
            if (withmode) {
                p.v->nxvars = 3;
                p.v->nmodevars = 1;
            }
        };
        Problem lu({0.9L, 0.9L});
        make(lu);
        ASSERT_TRUE(lu.solve());
        Problem sv({0.9L, 0.9L});
        make(sv);
        sv.set.svdonly = true;
        ASSERT_TRUE(sv.solve());
        EXPECT_EQ(lu.st.niterations, sv.st.niterations);
        EXPECT_EQ(lu.st.nevaluations, sv.st.nevaluations);
        EXPECT_REL_NEAR(lu.x(1), sv.x(1), 1e-15L);
        EXPECT_REL_NEAR(lu.x(2), sv.x(2), 1e-15L);
        EXPECT_REL_NEAR(lu.x(2), root, 1e-6L);  // met to the default tolerances
        EXPECT_REL_NEAR(lu.x(1), root * root * root, 1e-6L);
        EXPECT_EQ(lu.st.convmark, sv.st.convmark);
        EXPECT_FALSE(lu.st.jacsingular);
    }
    Problem lu({0.9L, 0.9L});
    circlecubic(lu, 1);
    ASSERT_TRUE(lu.solve());
    Problem sv({0.9L, 0.9L});
    circlecubic(sv, 1);
    sv.set.svdonly = true;
    ASSERT_TRUE(sv.solve());
    // Asked for, the condition number is the decomposition's, whichever route gave the steps.
    Problem asked({0.9L, 0.9L});
    circlecubic(asked, 1);
    asked.set.condwanted = true;
    ASSERT_TRUE(asked.solve());
    EXPECT_REL_NEAR(asked.st.jaccond, sv.st.jaccond, 1e-12L);
}

TEST(Nle, AnIterationStartsFromTheEvaluationOfTheAcceptedPoint) {
    // Without the debug checks the solver never evaluates twice in a row at one point, and ends
    // bit for bit where a solve at level 3 (which evaluates every start afresh) ends.
    Problem quiet({0.9L, 0.9L});
    circlecubic(quiet, 1);
    ASSERT_TRUE(quiet.solve());
    Problem checked({0.9L, 0.9L});
    circlecubic(checked, 1);
    checked.level = 3;
    ASSERT_TRUE(checked.solve());
    EXPECT_EQ(quiet.x(1), checked.x(1));
    EXPECT_EQ(quiet.x(2), checked.x(2));
    EXPECT_EQ(quiet.st.niterations, checked.st.niterations);
    const std::vector<eqvector>& pts = quiet.eqs.points;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        EXPECT_FALSE(pts[i][3] == pts[i - 1][3] && pts[i][4] == pts[i - 1][4]) << i;
    }
    EXPECT_EQ(quiet.st.nevaluations, static_cast<int32>(pts.size()));
}

TEST(Nle, AKeptWorkspaceSolvesAsAFreshOne) {
    // The equations write only the diagonal of their jacobian and leave the rest as they find
    // it: a solve with a workspace that earlier solves left full of other values must read
    // zeros there, as a fresh workspace gives, and take the same steps to the same bits.
    const auto decoupled = [](Problem& p) {
        p.eqs.resid = [](const eqvector& x, eqvector& f) {
            f[1] = x[3] * x[3] - 0.09L;
            f[2] = x[4] * x[4] * x[4] - 0.125L;
            return true;
        };
        p.eqs.jacfn = [](const eqvector& x, eqmatrix& j) {
            j[1][1] = 2 * x[3];
            j[2][2] = 3 * x[4] * x[4];
        };
        p.set.condwanted = true;
    };
    for (const int16 level : {int16{1}, int16{3}}) {
        SCOPED_TRACE(level);
        Problem fresh({0.9L, 0.9L});
        decoupled(fresh);
        fresh.level = level;
        ASSERT_TRUE(fresh.solve());
        Problem kept({0.9L, 0.9L});
        decoupled(kept);
        kept.level = level;
        for (auto* m : {&kept.work.jac, &kept.work.lastlujac}) {
            *m = std::make_unique<eqmatrix>();
            for (int i = 1; i <= maxeq; ++i) (**m)[i].fill(0.5L);
        }
        kept.work.newton.lu.assign(100, 0.5L);
        ASSERT_TRUE(kept.solve());
        EXPECT_EQ(kept.x(1), fresh.x(1));
        EXPECT_EQ(kept.x(2), fresh.x(2));
        EXPECT_EQ(kept.st.nevaluations, fresh.st.nevaluations);
        EXPECT_EQ(kept.st.jaccond, fresh.st.jaccond);
        EXPECT_EQ(kept.screen(), fresh.screen());
        // The same workspace serves the next solve as well.
        kept.v->xvalue[3] = kept.v->xvalue[4] = 0.9L;
        kept.ts.console.output.clear();
        ASSERT_TRUE(kept.solve());
        EXPECT_EQ(kept.x(1), fresh.x(1));
        EXPECT_EQ(kept.x(2), fresh.x(2));
        EXPECT_EQ(kept.screen(), fresh.screen());
    }
}

TEST(Nle, JacobianCheckNamesTheWrongEntries) {
    struct Case {
        real wrong;
        const char* line;
    };
    const Case cases[] = {{1, "\njacobian: no difference with fd\n\n"},
                          {2, "\njacobian: prop diff with fd: eq1,x1 = -0.5000; : just these\n\n"}};
    for (const Case& c : cases) {
        Problem p({0.9L, 0.9L});
        circlecubic(p, c.wrong);
        p.level = 3;
        p.solve();
        EXPECT_NE(p.screen().find(c.line), std::string::npos) << p.screen();
        EXPECT_NE(p.screen().find("jacobian"), std::string::npos);
    }
}

TEST(Nle, LevelTwoWritesTheTableAndTheConvergenceWord) {
    Problem p({0.9L, 0.9L});
    circlecubic(p, 1);
    p.level = 2;
    ASSERT_TRUE(p.solve());
    const std::string& s = p.screen();
    EXPECT_NE(s.find("starting guesses:   P(kbar)"), std::string::npos) << s;
    EXPECT_NE(s.find(std::string(59, '-')), std::string::npos);
    EXPECT_NE(s.find("      f       slope      step         maxe     maxdx"), std::string::npos)
        << s;
    const std::string words[] = {"size of max residual (esize)",
                                 "size of sum of squares of residual (fsize)",
                                 "step too small near solution (dxconverge)"};
    int found = 0;
    for (const std::string& w : words) found += s.find("\n" + w + "\n") != std::string::npos;
    EXPECT_EQ(found, 1) << s;
}

}  // namespace
}  // namespace qv::test
