#include "model/expressions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "model/phases.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

struct VarTerm {
    int16 num;
    int16 den;
    int16 idx;
};

xtermtype factor(int16 cnum, int16 cden, std::vector<VarTerm> vars) {
    xtermtype x;
    x.constnum = cnum;
    x.constden = cden;
    x.nx = static_cast<int16>(vars.size());
    for (int k = 1; k <= x.nx; ++k) {
        const VarTerm& v = vars[static_cast<std::size_t>(k - 1)];
        x.num[k] = v.num;
        x.den[k] = v.den;
        x.idx[k] = v.idx;
    }
    return x;
}

xtermtype var(int16 idx, int16 num = 1, int16 den = 1) {
    return factor(0, 1, {{num, den, idx}});
}

sxtermtype term(real coef, std::vector<xtermtype> factors) {
    sxtermtype t;
    t.coef = coef;
    t.nxterms = static_cast<int16>(factors.size());
    for (int j = 1; j <= t.nxterms; ++j) t.xterm[j] = factors[static_cast<std::size_t>(j - 1)];
    return t;
}

termtype expr(std::vector<sxtermtype> terms) {
    termtype e;
    e.nsxterms = static_cast<int16>(terms.size());
    for (int i = 1; i <= e.nsxterms; ++i) e.sxterm[i] = terms[static_cast<std::size_t>(i - 1)];
    return e;
}

// 1 - x + x (1 - y), in variables 1 (x) and 2 (y).
termtype oneminusxplusxy() {
    return expr(
        {term(1, {factor(1, 1, {{-1, 1, 1}})}), term(1, {var(1), factor(1, 1, {{-1, 1, 2}})})});
}

eqvector values(std::vector<real> v) {
    eqvector out;
    for (std::size_t k = 0; k < v.size(); ++k) out[static_cast<int>(k) + 1] = v[k];
    return out;
}

TEST(EvalExpr, SumsTermsOfProductsOfFactors) {
    EXPECT_EQ(evalexpr(values({0.3L, 0.6L}), 1, termtype{}), 0);
    EXPECT_REL_NEAR(evalexpr(values({0.3L, 0.6L}), 1, oneminusxplusxy()),
                    1 - 0.3L + 0.3L * (1 - 0.6L), 1e-18L);
    // Coefficients other than 1 come from contracted models.
    const termtype scaled = expr({term(2.5L, {var(1), var(2)}), term(-1, {factor(3, 1, {})})});
    EXPECT_REL_NEAR(evalexpr(values({0.2L, 0.4L}), 1, scaled), 2.5L * 0.2L * 0.4L - 3, 1e-18L);
}

TEST(EvalExpr, OffsetSelectsThePhaseInTheSolutionVector) {
    // Solution vector P, T, then this phase's x and y.
    const eqvector v = values({8, 900, 0.3L, 0.6L});
    EXPECT_EQ(evalexpr(v, 3, expr({term(1, {var(1)})})), 0.3L);
    EXPECT_EQ(evalexpr(v, 3, oneminusxplusxy()),
              evalexpr(values({0.3L, 0.6L}), 1, oneminusxplusxy()));
}

TEST(EvalExpr, RationalsAreFormedInDoublePrecision) {
    const real third = static_cast<real>(1.0 / 3.0);
    ASSERT_NE(third, 1.0L / 3.0L);
    EXPECT_EQ(evalexpr(values({}), 1, expr({term(1, {factor(1, 3, {})})})), third);
    EXPECT_EQ(evalexpr(values({1}), 1, expr({term(1, {var(1, 1, 3)})})), third);
}

TEST(EvalExpr, ZeroCoefficientTermIsNeverEvaluated) {
    const real nan = std::numeric_limits<real>::quiet_NaN();
    const termtype e = expr({term(1, {var(1)}), term(0, {var(2), factor(1, 0, {})})});
    EXPECT_EQ(evalexpr(values({0.25L, nan}), 1, e), 0.25L);
}

// A phase of three end-members in x(g) and y(g) with site fractions given by the caller.
std::unique_ptr<ptype1> phase(std::vector<termtype> sfs = {}) {
    auto ph = std::make_unique<ptype1>();
    ph->name = "g";
    ph->nem = 3;
    ph->nvar = 2;
    ph->var[1].name = "x(g)";
    ph->var[2].name = "y(g)";
    ph->nsf = static_cast<int16>(sfs.size());
    for (int s = 1; s <= ph->nsf; ++s) ph->sf[s] = sfs[static_cast<std::size_t>(s - 1)];
    return ph;
}

TEST(LegalComp, EverySiteFractionMustBeFiniteAndPositive) {
    const real inf = std::numeric_limits<real>::infinity();
    const real nan = std::numeric_limits<real>::quiet_NaN();
    // Site fractions x, 1 - x and x y.
    const std::vector<termtype> sfs = {expr({term(1, {var(1)})}),
                                       expr({term(1, {factor(1, 1, {{-1, 1, 1}})})}),
                                       expr({term(1, {var(1), var(2)})})};
    struct Case {
        real x, y;
        bool legal;
    };
    const Case cases[] = {
        {0.4L, 0.5L, true}, {0, 0.5L, false},   {1, 0.5L, false},    {0.4L, -0.1L, false},
        {0.4L, nan, false}, {0.4L, inf, false}, {-inf, 0.5L, false},
    };
    auto ph = phase(sfs);
    for (const Case& c : cases) {
        ph->var[1].guess = c.x;
        ph->var[2].guess = c.y;
        EXPECT_EQ(legalcomp(*ph), c.legal)
            << "x " << static_cast<double>(c.x) << " y " << static_cast<double>(c.y);
    }
    auto nosf = phase();
    nosf->var[1].guess = -1;
    EXPECT_TRUE(legalcomp(*nosf));
}

TEST(VarName, DisplayNamesOfVariables) {
    auto ph = phase();
    ph->nvar = 5;
    const char* names[] = {"p(abc)", "x(g)", "Q[1](g)", "(a(b)", "xyz"};
    const char* shown[] = {"abc", "x", "Q", "(a", "xyz"};
    for (int k = 1; k <= 5; ++k) ph->var[k].name = names[k - 1];
    const auto v = varname(*ph);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(v[k], shown[k - 1]);

    ph->nem = 1;
    EXPECT_EQ(varname(*ph)[1], "");
}

std::string written(const termtype& e, bool magemin) {
    test::TestSession t;
    t.ses.ch.dontwrapon = false;
    auto ph = phase();
    writeexpr(t.ses, "e", *ph, screenmask, e, magemin);
    return t.console.output;
}

TEST(WriteExpr, TextForms) {
    const auto x = [] { return var(1); };
    const auto y = [] { return var(2); };
    struct Case {
        termtype e;
        bool magemin;
        const char* text;
    };
    const Case cases[] = {
        {oneminusxplusxy(), false, "   e = 1 - x + x (1 - y)\n"},
        {oneminusxplusxy(), true, "   e = 1 - x + x*(1 - y)\n"},
        {termtype{}, false, "   e = 0\n"},
        {expr({term(0, {x()})}), false, "   e = 0\n"},
        // Coefficients: one term puts a negative one in brackets; several terms carry the sign.
        {expr({term(-0.5L, {x()})}), false, "   e = (-0.50) x\n"},
        {expr({term(2, {x()})}), false, "   e = 2.00 x\n"},
        {expr({term(1, {y()}), term(-2, {x()})}), false, "   e = y - 2.00x\n"},
        {expr({term(-1, {y()}), term(1.5L, {x()})}), false, "   e = -y + 1.50x\n"},
        {expr({term(-1, {y()}), term(-1, {x()})}), false, "   e = -y - x\n"},
        // Multipliers: whole numbers run into the name, fractions take the separator.
        {expr({term(1, {factor(0, 1, {{2, 1, 1}, {-1, 2, 2}})})}), false, "   e = 2x - 1/2 y\n"},
        {expr({term(1, {factor(0, 1, {{-2, 1, 1}, {1, 2, 2}})})}), true, "   e = -2x + 1/2*y\n"},
        {expr({term(1, {factor(2, 3, {{1, 1, 1}})})}), false, "   e = 2/3 + x\n"},
        // A negative single factor after the first term is bracketed.
        {expr({term(1, {y()}), term(1, {factor(0, 1, {{-1, 1, 1}})})}), false, "   e = y + (-x)\n"},
        // A constant factor is followed by no separator; factors with a constant are bracketed.
        {expr({term(1, {factor(1, 3, {}), x()})}), false, "   e = 1/3x\n"},
        {expr({term(1, {factor(-1, 1, {{1, 1, 1}}), y()})}), true, "   e = (-1 + x)*y\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(written(c.e, c.magemin), c.text);
}

TEST(WriteExpr, LongExpressionContinuesOnIndentedLines) {
    // 24 terms of 2/3 x + 2/3 y; the line is broken only before a term, once past 150.
    std::vector<sxtermtype> terms(24, term(1, {factor(0, 1, {{2, 3, 1}, {2, 3, 2}})}));
    std::istringstream out(written(expr(terms), false));
    std::vector<std::string> lines;
    for (std::string l; std::getline(out, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 164u);  // 10 terms
    EXPECT_EQ(lines[1].size(), 152u);  // 9 terms
    EXPECT_EQ(lines[2].size(), 88u);   // 5 terms
    EXPECT_EQ(lines[0].substr(0, 24), "   e = 2/3 x + 2/3 y + 2");
    EXPECT_EQ(lines[1].substr(0, 24), "         + 2/3 x + 2/3 y");
}

}  // namespace
}  // namespace qv
