#include "model/axchoices.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "model/phasefixture.hpp"
#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::lin;
using test::VarTerm;

real at(const termtype& e, std::vector<real> v) {
    eqvector values;
    for (std::size_t i = 0; i < v.size(); ++i) values[static_cast<int>(i) + 1] = v[i];
    return evalexpr(values, 1, e);
}

void variable(ptype1& ph, int v, const std::string& name, real guess) {
    xvartype& x = ph.var[v];
    x.name = name;
    x.longname = name;
    x.guess = guess;
    x.guesssd = 0.01L;
    x.lowerread = x.lower = 11;  // no range read
    x.upperread = x.upper = -11;
}

void endmember(ptype1& ph, int j, const std::string& name, int sf, std::vector<int> check) {
    ssemtype& em = ph.em[j];
    em.name = name;
    em.ntmf = 1;
    em.tmf[1] = tmftermtype{static_cast<int16>(sf), 1, 1};
    em.checkden = 1;
    for (std::size_t v = 0; v < check.size(); ++v) {
        em.checkcoef[static_cast<int>(v) + 1] = static_cast<int16>(check[v]);
    }
}

void pairterm(ptype1& ph, int t, int i, int j, const std::string& name, real wa) {
    ph.wname[t] = name;
    ph.wa[t] = wa;
    ph.gterm[t] = gtermtype{static_cast<int16>(t), static_cast<int16>(i), static_cast<int16>(j)};
}

// Binary a-b on one site: p(a) = x, p(b) = 1 - x, site fractions xA = x and xB = 1 - x.
void binary(ptype1& ph, const std::string& name, real guess) {
    ph.name = ph.longname = ph.fullname = name;
    ph.coding = 1;
    ph.nem = 2;
    ph.nvar = 1;
    variable(ph, 1, "x(" + name + ")", guess);
    ph.p[1] = lin(0, 1, {{1, 1, 1}});
    ph.p[2] = lin(1, 1, {{-1, 1, 1}});
    ph.nsf = 2;
    ph.sfname[1] = "xA(" + name + ")";
    ph.sfname[2] = "xB(" + name + ")";
    ph.sf[1] = lin(0, 1, {{1, 1, 1}});
    ph.sf[2] = lin(1, 1, {{-1, 1, 1}});
    endmember(ph, 1, "a", 1, {1});
    endmember(ph, 2, "b", 2, {0});
    ph.model = axtype::symmetric;
    ph.nw = 1;
    ph.ngterm = 1;
    pairterm(ph, 1, 1, 2, "W(a,b)", 10);
}

// Ternary a-b-c on one site: p(a) = 1 - x - y, p(b) = x, p(c) = y, one site fraction each.
void ternary(ptype1& ph, const std::string& name, real x, real y) {
    ph.name = ph.longname = ph.fullname = name;
    ph.coding = 1;
    ph.nem = 3;
    ph.nvar = 2;
    variable(ph, 1, "x(" + name + ")", x);
    variable(ph, 2, "y(" + name + ")", y);
    ph.p[1] = lin(1, 1, {{-1, 1, 1}, {-1, 1, 2}});
    ph.p[2] = lin(0, 1, {{1, 1, 1}});
    ph.p[3] = lin(0, 1, {{1, 1, 2}});
    ph.nsf = 3;
    ph.sfname[1] = "xA(" + name + ")";
    ph.sfname[2] = "xB(" + name + ")";
    ph.sfname[3] = "xC(" + name + ")";
    ph.sf[1] = ph.p[1];
    ph.sf[2] = ph.p[2];
    ph.sf[3] = ph.p[3];
    endmember(ph, 1, "a", 1, {0, 0});
    endmember(ph, 2, "b", 2, {1, 0});
    endmember(ph, 3, "c", 3, {0, 1});
    ph.model = axtype::symmetric;
    ph.nw = 3;
    ph.ngterm = 3;
    pairterm(ph, 1, 1, 2, "W(a,b)", 1);
    pairterm(ph, 2, 1, 3, "W(a,c)", 2);
    pairterm(ph, 3, 2, 3, "W(b,c)", 3);
}

struct AxRun : test::PhaseRun {
    ptype1& addss() {
        ++run.nphread;
        return ss(++run.nss);
    }
    XyzGuess& guess(const std::string& name, real value) {
        XyzGuess& g = tab.xyzguess[++sc.nxyzguess];
        g = XyzGuess{};
        g.name = name;
        g.value = value;
        return g;
    }
    // The script's one "samecoding" group: `base` and the copy `copy` made of it.
    void scriptsamecoding(const std::string& base, const std::string& copy) {
        run.ax.nscriptsamecoding = 1;
        sc.nsamecoding = 1;
        tab.nsameitems[1] = 2;
        tab.samecoding[1][1] = base;
        tab.samecoding[1][2] = copy;
    }
    // Everything after the reading of the phases, as `setupphases` runs it.
    void apply() {
        applyscriptphases(ses, run);
        applyscriptchoices(ses, run);
        finalaxchecks(ses, run);
    }
};

TEST(ScriptGuesses, GuessesReplaceAndTheScriptRangeOnlyWidensTheLimits) {
    struct Case {
        real lowerread, upperread;  // a-x "range"; 11 and -11 when none
        real glow, ghigh;           // script range (0 to 1 unless given)
        real lowerafter, upperafter;
        acctype lowerkind, upperkind;  // after the site fractions x and 1 - x
    };
    const Case cases[] = {
        {11, -11, 0, 1, 0, 1, acctype::xaccessible, acctype::inaccessible},
        {0.2L, 0.8L, 0, 1, 0, 1, acctype::xaccessible, acctype::inaccessible},
        {-0.5L, 1.5L, 0, 1, -0.5L, 1.5L, acctype::inaccessible, acctype::inaccessible},
        {11, -11, -1, 2, -1, 2, acctype::inaccessible, acctype::inaccessible},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(static_cast<double>(tc.lowerread));
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.5L);
        g.var[1].lowerread = g.var[1].lower = tc.lowerread;
        g.var[1].upperread = g.var[1].upper = tc.upperread;
        r.with({"g"});
        XyzGuess& xg = r.guess("x(g)", 0.3L);
        xg.low = tc.glow;
        xg.high = tc.ghigh;
        xg.sd = 0.05L;
        r.apply();
        const xvartype& x = g.var[1];
        EXPECT_TRUE(g.hasguesses);
        EXPECT_EQ(x.guess, 0.3L);
        EXPECT_EQ(x.guesssd, 0.05L);
        EXPECT_EQ(x.lowerread, tc.lowerafter);
        EXPECT_EQ(x.upperread, tc.upperafter);
        EXPECT_EQ(x.lower, 0);
        EXPECT_EQ(x.upper, 1);
        EXPECT_EQ(x.lowerkind, tc.lowerkind);
        EXPECT_EQ(x.upperkind, tc.upperkind);
        EXPECT_EQ(x.scale, 1);
        EXPECT_EQ(x.offset, 0);
        EXPECT_REL_NEAR(x.step, 0.0001L, 1e-18L);
    }
}

TEST(ScriptGuesses, PhaseWithoutScriptGuessesKeepsItsOwn) {
    AxRun r;
    ptype1& g = r.addss();
    binary(g, "g", 0.4L);
    r.with({"g"});
    r.guess("y(h)", 0.3L).sd = 0;
    r.apply();
    EXPECT_FALSE(g.hasguesses);
    EXPECT_EQ(g.var[1].guess, 0.4L);
    EXPECT_EQ(g.var[1].guesssd, 0.01L);
    EXPECT_EQ(g.var[1].lowerkind, acctype::xaccessible);  // no range: limits 0 and 1 as is
    EXPECT_EQ(g.var[1].upperkind, acctype::xaccessible);
}

TEST(ScriptGuesses, BadGuessListsStopTheRun) {
    struct Case {
        std::vector<std::string> names;
        real low, high;
        const char* proc;
        const char* message;
    };
    const Case cases[] = {
        {{"x(h)", "z(h)"},
         0,
         1,
         "setupphases",
         "xyzguess names don't match axfile: \"y(h)\" \"z(h)\""},
        {{"x(h)"}, 0, 1, "setupphases", "xyzguess: wrong no of vars"},
        {{"x(h)", "y(h)"}, 0.5L, 0.5L, "read", "read in lower limit > upper limit in xyz range"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.message);
        AxRun r;
        ternary(r.addss(), "h", 0.3L, 0.3L);
        r.with({"h"});
        for (const std::string& n : tc.names) {
            XyzGuess& g = r.guess(n, 0.3L);
            g.low = tc.low;
            g.high = tc.high;
        }
        EXPECT_BOMB(r.apply(), tc.proc, tc.message);
    }
}

TEST(ScriptGuesses, GuessOutsideItsLimitsStopsTheRun) {
    // No site fractions, so only the range bounds the guess; a guess on the limit is allowed.
    struct Case {
        real guess;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {1.5L, "guess too large for x(g)"},
        {-0.1L, "guess too small for x(g)"},
        {1, ""},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(static_cast<double>(tc.guess));
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.5L);
        g.nsf = 0;
        g.em[1].ntmf = 0;
        g.em[2].ntmf = 0;
        r.with({"g"});
        r.guess("x(g)", tc.guess);
        if (*tc.message == '\0') {
            r.apply();
            EXPECT_EQ(g.var[1].upper, 1);
        } else {
            EXPECT_BOMB(r.apply(), "setupphases", tc.message);
        }
    }
}

TEST(ScriptGuesses, NegativeSiteFractionAtTheGuessesIsReported) {
    AxRun r;
    ternary(r.addss(), "h", 0.3L, 0.3L);
    r.with({"h"});
    r.guess("x(h)", 0.6L);
    r.guess("y(h)", 0.5L);
    EXPECT_BOMB(r.apply(), "setupphases", "inconsistent starting guesses");
    const std::string& out = r.ts.console.output;
    EXPECT_NE(out.find("for h, site fractions are:"), std::string::npos) << out;
    EXPECT_NE(out.find("xA(h) = -0.100000"), std::string::npos) << out;
    EXPECT_NE(out.find("site fractions must all be positive (starting guess problems)"),
              std::string::npos);
}

TEST(Contraction, ZeroGuessOfABinaryLeavesOneEndMemberAndNoVariable) {
    AxRun r;
    ptype1& g = r.addss();
    binary(g, "g", 0.5L);
    r.with({"g"});
    r.guess("x(g)", 0);
    r.apply();
    EXPECT_TRUE(g.contracted);
    EXPECT_EQ(g.nemfull, 2);
    EXPECT_EQ(g.nem, 1);
    EXPECT_EQ(g.nvar, 0);
    EXPECT_EQ(g.nzerovar, 1);
    EXPECT_EQ(g.zerovar[1], "x(g)");
    EXPECT_FALSE(g.empresent[1]);
    EXPECT_TRUE(g.empresent[2]);
    EXPECT_EQ(g.em[1].name, "b");
    EXPECT_EQ(at(g.p[1], {}), 1);
    EXPECT_EQ(g.nw, 0);
    EXPECT_EQ(g.ngterm, 0);
    ASSERT_EQ(g.nsf, 1);
    EXPECT_EQ(g.sfname[1], "xB(g)");
    EXPECT_EQ(g.em[1].tmf[1].sf, 1);
    EXPECT_EQ(g.em[1].checkden, 0);  // the check point no longer applies
}

TEST(Contraction, KeptTermsAreRenumbered) {
    struct Case {
        real x, y;
        std::vector<std::string> ems;
        std::string wname;
        real wa;
        std::string var;
    };
    const Case cases[] = {
        {0.3L, 0, {"a", "b"}, "W(a,b)", 1, "x(h)"},
        {0, 0.3L, {"a", "c"}, "W(a,c)", 2, "y(h)"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.var);
        AxRun r;
        ptype1& h = r.addss();
        ternary(h, "h", 0.2L, 0.2L);
        h.alphaa[2] = 5;
        h.alphaa[3] = 7;
        r.with({"h"});
        r.guess("x(h)", tc.x);
        r.guess("y(h)", tc.y);
        r.apply();
        ASSERT_EQ(h.nem, 2);
        ASSERT_EQ(h.nvar, 1);
        EXPECT_EQ(h.em[1].name, tc.ems[0]);
        EXPECT_EQ(h.em[2].name, tc.ems[1]);
        EXPECT_EQ(h.alphaa[2], tc.ems[1] == "c" ? 7 : 5);
        EXPECT_EQ(h.var[1].name, tc.var);
        ASSERT_EQ(h.nw, 1);
        EXPECT_EQ(h.wname[1], tc.wname);
        EXPECT_EQ(h.wa[1], tc.wa);
        ASSERT_EQ(h.ngterm, 1);
        EXPECT_EQ(h.gterm[1].term, 1);
        EXPECT_EQ(h.gterm[1].i, 1);
        EXPECT_EQ(h.gterm[1].j, 2);
        // The kept variable is now variable 1 in every expression.
        EXPECT_REL_NEAR(at(h.p[1], {0.4L}), 0.6L, 1e-18L);
        EXPECT_REL_NEAR(at(h.p[2], {0.4L}), 0.4L, 1e-18L);
        ASSERT_EQ(h.nsf, 2);
        EXPECT_REL_NEAR(at(h.sf[2], {0.4L}), 0.4L, 1e-18L);
        EXPECT_EQ(h.em[2].tmf[1].sf, 2);
    }
}

TEST(DropZeroTerms, ZeroFactorRemovesItsTermAndAConstantSurvives) {
    Fixed1<bool, maxssvars> zeroed;
    zeroed[2] = true;
    termtype e = lin(0, 1, {{1, 1, 2}});  // y
    EXPECT_TRUE(dropzeroterms(e, zeroed));
    EXPECT_EQ(e.nsxterms, 0);

    termtype f = lin(1, 2, {{1, 1, 2}});  // 1/2 + y
    EXPECT_FALSE(dropzeroterms(f, zeroed));
    EXPECT_EQ(at(f, {0.3L, 0.9L}), 0.5L);

    // x (1 - y) + y: the second term goes, the first keeps x and its constant factor.
    termtype g = lin(0, 1, {{1, 1, 1}});
    g.sxterm[1].nxterms = 2;
    g.sxterm[1].xterm[2] = lin(1, 1, {{-1, 1, 2}}).sxterm[1].xterm[1];
    g.nsxterms = 2;
    g.sxterm[2] = lin(0, 1, {{1, 1, 2}}).sxterm[1];
    EXPECT_FALSE(dropzeroterms(g, zeroed));
    EXPECT_EQ(g.nsxterms, 1);
    EXPECT_EQ(at(g, {0.3L, 0.9L}), 0.3L);
}

TEST(VariableLimits, MultiVariableFactorsBecomeRowsOnce) {
    AxRun r;
    ptype1& h = r.addss();
    ternary(h, "h", 0.2L, 0.3L);
    h.nsf = 4;  // the same factor a second time adds no row
    h.sfname[4] = "xD(h)";
    h.sf[4] = h.sf[1];
    r.with({"h"});
    r.apply();
    ASSERT_EQ(h.nvarlim, 1);
    EXPECT_EQ(h.varlim1[1][1], -1);
    EXPECT_EQ(h.varlim2[1][1], 1);
    EXPECT_EQ(h.varlim1[1][2], -1);
    EXPECT_EQ(h.varlim2[1][2], 1);
    EXPECT_EQ(h.varlim1[1][3], 1);  // the constant, in the column of the end-member count
    EXPECT_EQ(h.varlim2[1][3], 1);
    EXPECT_TRUE(h.allsfsimple);
    // Single-variable factors bound the variables instead: x >= 0 from xB.
    EXPECT_EQ(h.var[1].lower, 0);
}

TEST(VariableLimits, SingleVariableFactorsBoundTheRange) {
    // Binary g with site fractions sf1 = cn/cd + mn x and 1 - x; the range read is low..high
    // (11 and -11: none). A root is taken, and becomes inaccessible, only inside the range.
    const acctype xa = acctype::xaccessible;
    const acctype in = acctype::inaccessible;
    struct Case {
        int cn, cd, mn;
        real low, high;
        real lower, upper;
        acctype lowerkind, upperkind;
    };
    const Case cases[] = {
        {0, 1, 1, 11, -11, 0, 1, xa, xa},              // no range: 0 and 1, accessible
        {0, 1, 1, -0.5L, 1.5L, 0, 1, in, in},          // range covers both roots
        {0, 1, 1, 0.2L, 0.8L, 0.2L, 0.8L, xa, xa},     // range inside them
        {-1, 4, 2, -0.5L, 1.5L, 0.125L, 1, in, in},    // -1/4 + 2x = 0 at 1/8
        {1, 2, -1, -0.5L, 1.5L, -0.5L, 0.5L, xa, in},  // 1/2 - x: a second upper limit
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(static_cast<double>(tc.lower));
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.4L);
        g.sf[1] = lin(tc.cn, tc.cd, {{tc.mn, 1, 1}});
        g.em[1].ntmf = 0;
        g.var[1].lowerread = g.var[1].lower = tc.low;
        g.var[1].upperread = g.var[1].upper = tc.high;
        r.with({"g"});
        r.apply();
        const xvartype& x = g.var[1];
        EXPECT_EQ(x.lower, tc.lower);
        EXPECT_EQ(x.upper, tc.upper);
        EXPECT_EQ(x.lowerkind, tc.lowerkind);
        EXPECT_EQ(x.upperkind, tc.upperkind);
        EXPECT_REL_NEAR(x.scale, 1 / (tc.upper - tc.lower), 1e-18L);
        EXPECT_REL_NEAR(x.offset, -tc.lower / (tc.upper - tc.lower) + 0.0L, 1e-18L);
        EXPECT_REL_NEAR(x.step, 0.0001L / (tc.upper - tc.lower), 1e-18L);
        EXPECT_TRUE(g.sfsimple[1] && g.sfsimple[2] && g.allsfsimple);
        EXPECT_EQ(g.nvarlim, 0);
    }

    // Limits that leave no room stop the run: -x (constant 0) takes the lower limit -1 up to
    // 0, -1/2 - x puts the upper one at -1/2; both are positive at the guess -0.7.
    AxRun r;
    ptype1& g = r.addss();
    binary(g, "g", -0.7L);
    g.sf[1] = lin(0, 1, {{-1, 1, 1}});
    g.sf[2] = lin(-1, 2, {{-1, 1, 1}});
    g.var[1].lowerread = g.var[1].lower = -1;
    g.var[1].upperread = g.var[1].upper = 1;
    r.with({"g"});
    EXPECT_BOMB(r.apply(), "read", "lower limit > upper limit in xyz range");
}

TEST(VariableLimits, TwentyThirdRowStopsTheRun) {
    test::TestSession ts;
    varlimtype v1;
    varlimtype v2;
    int16 n = 0;
    for (int k = 1; k <= maxvarlim; ++k) {
        setvarlim(ts.ses, lin(k, 1, {{1, 1, 1}, {1, 1, 2}}), 1, 1, 3, v1, v2, n);
    }
    EXPECT_EQ(n, maxvarlim);
    setvarlim(ts.ses, lin(1, 1, {{1, 1, 1}}), 1, 1, 3, v1, v2, n);  // one term: no row
    EXPECT_BOMB(setvarlim(ts.ses, lin(99, 1, {{1, 1, 1}, {1, 1, 2}}), 1, 1, 3, v1, v2, n),
                "setvarlim", "increase maxnvarlim");
}

TEST(PureEndMemberChecks, ActivityAndProportionMustBeOneAtTheCheckPoint) {
    struct Case {
        real tmfconst;
        int pnum;   // power of the first end-member's site fraction
        int pcoef;  // p(a) = pcoef x
        int check;  // x at which a is pure
        const char* message;
    };
    const Case cases[] = {
        {0.9995L, 1, 1, 1, ""},
        {0.998L, 1, 1, 1,
         " ideal mixing terms not equal to 1 for pure end-members (also look at check coding)"},
        {1, 2, 1, 0, "ideal mixing term = 0 for a in g (check coding wrong?)"},
        {1, 1, 2, 1, "proportions not equal to 1 for pure end-members (also look at check coding)"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.message);
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.5L);
        g.em[1].tmfconst = tc.tmfconst;
        g.em[1].tmf[1].pnum = static_cast<int16>(tc.pnum);
        g.em[1].checkcoef[1] = static_cast<int16>(tc.check);
        g.p[1] = lin(0, 1, {{tc.pcoef, 1, 1}});
        r.with({"g"});
        if (*tc.message == '\0') {
            r.apply();
        } else {
            EXPECT_BOMB(r.apply(), "setupphases", tc.message);
        }
    }
}

TEST(FinalChecks, ModeGuessesAndGuessChecksOnlyForPhasesInWith) {
    struct Case {
        real scriptvalue;  // the script's "modeguess" for g
        bool batch;
        real want;  // g's modeguess afterwards
    };
    const Case cases[] = {{0.25L, false, 0.25L}, {-0.5L, false, -1}, {0.25L, true, 7}};
    for (const Case& tc : cases) {
        SCOPED_TRACE(static_cast<double>(tc.scriptvalue));
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.5L);
        g.modeguess = 7;
        ptype1& h = r.addss();
        binary(h, "h", 1.5L);  // outside its limits, but not in "with"
        h.modeguess = 7;
        r.with({"g"});
        r.sc.nmodeguess = 2;
        r.tab.modeguess[1] = ModeGuess{"h", 0.5L};
        r.tab.modeguess[2] = ModeGuess{"g", tc.scriptvalue};
        if (tc.batch) {
            // Batches set their own guesses: none is tested, no mode guess attached.
            r.sc.batchcb = controlboolean::yes;
            g.var[1].guess = 1.5L;
            finalaxchecks(r.ses, r.run);
        } else {
            r.apply();
        }
        EXPECT_EQ(g.modeguess, tc.want);
        EXPECT_EQ(h.modeguess, 7);
    }
}

TEST(PureEndMemberChecks, InconsistentActivityIsListed) {
    AxRun r;
    ptype1& g = r.addss();
    binary(g, "g", 0.5L);
    g.em[1].tmfconst = 0.998L;
    r.with({"g"});
    EXPECT_BOMB(r.apply(), "setupphases",
                " ideal mixing terms not equal to 1 for pure end-members (also look at check "
                "coding)");
    EXPECT_NE(r.ts.console.output.find("inconsistent ideal mixing activities: a in g = 0.9980"),
              std::string::npos)
        << r.ts.console.output;
}

TEST(SameCoding, CopiesOfAnAxGroupFollowTheirBase) {
    AxRun r;
    binary(r.addss(), "g", 0.5L);
    ternary(r.addss(), "h", 0.2L, 0.2L);
    r.addpure("q");
    AxState& ax = r.run.ax;
    ax.nsamecoding = 1;
    SameCodingGroup& grp = ax.samecoding[1];
    grp.base = 1;
    grp.n = 2;
    grp.first[1] = "gee two";
    grp.shortname[1] = grp.longname[1] = "g2";
    grp.first[2] = "gee three";
    grp.shortname[2] = grp.longname[2] = "g3";  // not in "with": no copy
    r.with({"g", "h", "q", "g2"});
    r.guess("x(g)", 0.4L);
    r.guess("x(g2)", 0.3L);
    r.apply();
    ASSERT_EQ(r.run.nss, 3);
    EXPECT_EQ(r.run.nphread, 4);
    const ptype1& copy = r.ss(2);
    EXPECT_EQ(copy.name, "g2");
    EXPECT_EQ(copy.fullname, "gee two");
    EXPECT_EQ(copy.basename, "g");
    EXPECT_EQ(copy.var[1].name, "x(g2)");
    EXPECT_EQ(copy.var[1].guess, 0.3L);
    EXPECT_EQ(r.ss(1).var[1].guess, 0.4L);
    EXPECT_EQ(r.ss(3).name, "h");
    EXPECT_NE(r.ts.console.output.find("all axfile samecodings"), std::string::npos);
    EXPECT_NE(r.ts.console.output.find("  g # g2 g3"), std::string::npos);
}

TEST(SameCoding, ScriptGroupTakesItsBaseFromTheAxFile) {
    AxRun r;
    binary(r.addss(), "g", 0.5L);
    r.scriptsamecoding("g", "g2");
    r.run.ax.nsamecoding = 1;
    r.with({"g", "g2"});
    r.guess("x(g)", 0.4L);
    r.guess("x(g2)", 0.3L);
    r.apply();
    ASSERT_EQ(r.run.nss, 2);
    EXPECT_EQ(r.ss(2).name, "g2");
    EXPECT_EQ(r.ss(2).fullname, "g");
    EXPECT_EQ(r.ts.console.output.find("all axfile samecodings"), std::string::npos);
}

TEST(SameCoding, ScriptGroupOnTheBaseOfAnAxGroupJoinsItAndIsListed) {
    AxRun r;
    binary(r.addss(), "g", 0.5L);
    r.scriptsamecoding("g", "g3");
    AxState& ax = r.run.ax;
    ax.nsamecoding = 2;
    SameCodingGroup& axgrp = ax.samecoding[2];
    axgrp.base = 1;
    axgrp.n = 1;
    axgrp.first[1] = "gee two";
    axgrp.shortname[1] = axgrp.longname[1] = "g2";
    r.with({"g", "g2", "g3"});
    r.guess("x(g)", 0.4L);
    r.guess("x(g2)", 0.3L);
    r.guess("x(g3)", 0.2L);
    r.apply();
    ASSERT_EQ(ax.nsamecoding, 1);
    EXPECT_EQ(ax.samecoding[1].n, 2);
    EXPECT_EQ(r.run.nss, 3);
    EXPECT_NE(r.ts.console.output.find("all axfile samecodings\n\n  g # g2 g3\n"),
              std::string::npos)
        << r.ts.console.output;
}

TEST(SameCoding, ProblemsStopTheRun) {
    struct Case {
        std::string scriptbase;  // empty: an a-x group on g
        bool guess;
        const char* message;
    };
    const Case cases[] = {
        {"", false, "no xyzguess for samecoding phase g2"},
        {"zz", true, "first samecoding phase, zz is not in the axfile"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.message);
        AxRun r;
        binary(r.addss(), "g", 0.5L);
        AxState& ax = r.run.ax;
        ax.nsamecoding = 1;
        if (tc.scriptbase.empty()) {
            SameCodingGroup& grp = ax.samecoding[1];
            grp.base = 1;
            grp.n = 1;
            grp.first[1] = grp.shortname[1] = grp.longname[1] = "g2";
        } else {
            r.scriptsamecoding(tc.scriptbase, "g2");
        }
        r.with({"g", "g2"});
        r.guess("x(g)", 0.4L);
        if (tc.guess) r.guess("x(g2)", 0.4L);
        EXPECT_BOMB(r.apply(), "setup phases", tc.message);
    }
}

TEST(WithList, NamesAndBufferAreCheckedAgainstTheAxFile) {
    struct Case {
        std::vector<std::string> with;
        std::string inexcess, tozero, buffer;
        const char* proc;
        const char* message;
    };
    const Case cases[] = {
        {{"g", "q", "g"},
         "",
         "",
         "",
         "setup phases",
         "two phases, g and g, with the same name in \"with\""},
        {{"g", "q"}, "ky", "", "", "setup phases", "in excess phase, ky, not in \"with\""},
        {{"g", "q"}, "", "ky", "", "setup phases", "tozero phase, ky,  not in \"with\""},
        {{"g", "q"}, "", "", "zz", "read", "script, \"zz\", not in axfile"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.message);
        AxRun r;
        binary(r.addss(), "g", 0.5L);
        r.addpure("q");
        r.run.ax.nbuffers = 1;
        r.run.ax.buffers[1] = "bf";
        r.with(tc.with);
        if (!tc.inexcess.empty()) r.sc.inexcesslist[++r.sc.ninexcess] = tc.inexcess;
        if (!tc.tozero.empty()) r.sc.inexcess0list[++r.sc.ninexcess0] = tc.tozero;
        r.sc.buffername = tc.buffer;
        EXPECT_BOMB(r.apply(), tc.proc, tc.message);
    }
}

TEST(WithList, AllPhasesAndTheBufferIndex) {
    AxRun r;
    ptype1& g = r.addss();
    binary(g, "g", 0.5L);
    g.longname = "g_x";
    r.addpure("q");
    r.addpure("bf");
    r.run.ax.nbuffers = 2;
    r.run.ax.buffers[1] = "other";
    r.run.ax.buffers[2] = "bf";
    r.sc.buffername = "bf";
    r.sc.nwithphases = 101;
    r.apply();
    EXPECT_EQ(r.run.ax.bufferindex, 2);
    ASSERT_EQ(r.sc.nwithphases, 3);
    EXPECT_EQ(r.sc.withlist[1], "g");
    EXPECT_EQ(r.sc.withfull[1], "g_x");
    EXPECT_EQ(r.sc.withlist[3], "bf");
}

TEST(WithList, PhaseCountsMustAddUp) {
    AxRun r;
    binary(r.addss(), "g", 0.5L);
    ++r.run.nphread;
    try {
        applyscriptphases(r.ses, r.run);
        ADD_FAILURE() << "no stop";
    } catch (const RunBombed& stop) {
        EXPECT_EQ(stop.procname, "read");
        EXPECT_EQ(stop.message, "numbers of phases do not add up");
        EXPECT_EQ(stop.fault, myfault);
    }
}

TEST(MonteCarlo, LineReplacesTheNamedParameter) {
    struct Case {
        std::string phase, code, param;
        int kind, index, abc;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {"g", "b", "W(a,b)", 1, 1, 2, ""},
        {"g", "c", "a(b)", 2, 2, 3, ""},
        {"g", "a", "DQF(b)", 3, 2, 1, ""},
        {"zz", "a", "W(a,b)", 0, 0, 0, "finding kp in mc (1) - zz"},
        {"g", "a", "Q(a)", 0, 0, 0, "finding kp in mc (2a)"},
        {"g", "a", "W(a,c)", 0, 0, 0, "finding kp in mc (3)"},
        {"g", "d", "W(a,b)", 0, 0, 0, "finding kp in mc: bad abc code (1)"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.param + " " + tc.message);
        AxRun r;
        ptype1& g = r.addss();
        binary(g, "g", 0.5L);
        r.with({"g"});
        r.sc.batchcb = controlboolean::yes;
        r.sc.nmc = 1;
        McLine& line = r.tab.mc[1];
        line.phase = tc.phase;
        line.code = tc.code;
        line.param = tc.param;
        line.value = 0.25L;
        if (*tc.message != '\0') {
            EXPECT_BOMB(r.apply(), "read", tc.message);
            continue;
        }
        r.apply();
        const McTarget& t = r.run.ax.mc[1];
        EXPECT_EQ(t.kind, tc.kind);
        EXPECT_EQ(t.index, tc.index);
        EXPECT_EQ(t.abc, tc.abc);
        if (tc.kind == 1) {
            EXPECT_EQ(g.wb[1], 0.25L);
        }
        if (tc.kind == 2) {
            EXPECT_EQ(g.alphac[2], 0.25L);
        }
        if (tc.kind == 3) {
            EXPECT_EQ(g.em[2].dqfa, 0.25L);
            EXPECT_TRUE(g.em[2].dqfvaried[1]);
        }
    }
}

}  // namespace
}  // namespace qv
