#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "solver/calcre.hpp"
#include "solver/ptxwindow.hpp"
#include "solver/reactionsets.hpp"
#include "solver_support.hpp"
#include "support/fakes.hpp"

namespace qv::test {
namespace {

// A hand-made chemical system: components "A" and "B", end-members with the given integer
// compositions.
struct HandSystem {
    TestSession ts;
    std::unique_ptr<icmatrix> c = std::make_unique<icmatrix>();
    std::unique_ptr<rmatrix> r = std::make_unique<rmatrix>();
    std::unique_ptr<tdmatrix> td = std::make_unique<tdmatrix>();
    std::unique_ptr<ReactionLists> rl = std::make_unique<ReactionLists>();
    SystemComponents comps;
    strings names;
    emvector act;
    MakeLookup lookup = [](int16, int16) { return MakeList{}; };
    GemSettings gs;
    Windows w;
    int16 nreac = 0;
    int16 nem = 0;
    HandSystem(std::initializer_list<std::pair<const char*, std::pair<int, int>>> ems) {
        comps.ncomp = 2;
        comps.nucomp = 2;
        comps.compnames[1] = "A";
        comps.compnames[2] = "B";
        comps.compdenom[1] = 1;
        comps.compdenom[2] = 1;
        for (const auto& [n, ab] : ems) {
            ++nem;
            names[nem] = n;
            (*c)[1][nem] = static_cast<int16>(ab.first);
            (*c)[2][nem] = static_cast<int16>(ab.second);
        }
        for (int i = 1; i <= maxem; ++i) act[i] = 1;
    }
};

TEST(ReactionSets, NullSpaceBalancesAndDivisors) {
    HandSystem h({{"a", {1, 0}}, {"b", {0, 1}}, {"ab", {1, 1}}, {"a2b", {2, 1}}});
    const CompositionTables ct{*h.c, h.comps, h.names, h.nem};
    iemvector weights;
    weights[1] = 1;
    weights[2] = 2;
    h.ts.ses.ch.activechannels = 1 + 8;
    ASSERT_TRUE(calcreactions(h.ts.ses, ct, weights, false, false, *h.r, h.nreac, *h.rl));
    EXPECT_EQ(h.nreac, 2);
    for (int16 k = 1; k <= h.nreac; ++k) {
        for (int16 i = 1; i <= 2; ++i) {
            int s = 0;
            for (int16 j = 1; j <= h.nem; ++j) s += (*h.c)[i][j] * (*h.r)[k][j];
            EXPECT_EQ(s, 0) << k << " " << i;
        }
    }
    EXPECT_EQ(h.rl->rdiv[3], 1);
    EXPECT_EQ(h.rl->rdiv[150], 1);
    EXPECT_EQ(h.ts.console.output, "");  // "incnler" no: nothing written
    // Divisors: sqrt(p^2 + n^2) of the weighted sums, halves to even, clamped to 1..500.
    struct Case {
        int16 a, b;    // coefficients of the two weighted end-members
        int16 w1, w2;  // their weights
        int16 expect;
    };
    const Case cases[] = {{0, 0, 1, 1, 1},     {3, -4, 1, 1, 5},    {2, 0, 5, 1, 10},
                          {-5, 0, 1, 1, 5},    {25, -25, 1, 1, 35}, {1, 0, 2, 1, 2},
                          {900, 0, 1, 1, 500}, {3, 0, 1, 1, 3},     {2, -3, 1, 1, 4},
                          {1, -2, 1, 1, 2}};
    for (const Case& k : cases) {
        rmatrix r;
        r[1][1] = k.a;
        r[1][2] = k.b;
        iemvector wt;
        wt[1] = k.w1;
        wt[2] = k.w2;
        Fixed1<int16, maxreac> rdiv;
        calcreactiondiv(r, 1, wt, 2, rdiv);
        EXPECT_EQ(rdiv[1], k.expect) << k.a << " " << k.b;
    }
    // A reaction among pure phases only: p = n = 0.
    rmatrix r;
    r[1][1] = 1;
    iemvector wt;
    Fixed1<int16, maxreac> rdiv;
    wt[1] = 0;
    calcreactiondiv(r, 1, wt, 1, rdiv);
    EXPECT_EQ(rdiv[1], 1);  // a pure phase only: p = n = 0
}

TEST(ReactionSets, NoReactionListing) {
    HandSystem h({{"a", {1, 0}}, {"b", {0, 1}}});
    const CompositionTables ct{*h.c, h.comps, h.names, h.nem};
    iemvector weights;
    EXPECT_FALSE(calcreactions(h.ts.ses, ct, weights, false, false, *h.r, h.nreac, *h.rl));
    EXPECT_EQ(h.ts.console.output,
              "\n** no reactions\n\na        1   0\nb        0   1\n\n   1   1\n");
    h.ts.console.output.clear();
    EXPECT_FALSE(calcreactions(h.ts.ses, ct, weights, true, false, *h.r, h.nreac, *h.rl));
    EXPECT_EQ(h.ts.console.output, "");
}

TEST(ReactionSets, ReactionListingForDrawingProgram) {
    HandSystem h({{"a", {1, 0}}, {"b", {0, 1}}, {"ab", {1, 1}}});
    TempDir dir;
    h.ts.ses.ch.files[6].f = std::fopen("vx.txt", "w");
    h.ts.ses.ch.files[3].f = std::fopen("log.txt", "w");
    h.ts.ses.ch.activechannels = 8 + 64;
    const CompositionTables ct{*h.c, h.comps, h.names, h.nem};
    iemvector weights;
    ASSERT_TRUE(calcreactions(h.ts.ses, ct, weights, false, true, *h.r, h.nreac, *h.rl));
    std::fclose(h.ts.ses.ch.files[6].f);
    std::fclose(h.ts.ses.ch.files[3].f);
    h.ts.ses.ch.files[6].f = nullptr;
    h.ts.ses.ch.files[3].f = nullptr;
    EXPECT_EQ(dir.read("log.txt"), "\n1)  a + b = ab\n");
    EXPECT_EQ(dir.read("vx.txt"),
              "\n\nname = {\"a\",\"b\",\"ab\"};\n\n"
              "c =   {{  1,   0},\n       {  0,   1},\n       {  1,   1}};\n\n"
              "div =  {  1,   1};\n\n"
              "(*    a    b   ab   *)\n\n"
              "re = {{ -1,  -1,   1}};\n\n");
}

TEST(RealReaction, NullVectorWithMinusOne) {
    struct Case {
        const char* label;
        std::vector<std::vector<real>> rows;  // the rows of the matrix, one column a phase
        std::vector<std::pair<int, real>> x;  // entries of the reaction; none: no reaction
    };
    const Case cases[] = {
        {"the last column is the sum of the others",
         {{1, 0, 1}, {0, 1, 1}},
         {{1, 1}, {2, 1}, {3, -1}}},
        // A column without a pivot moves to the end and takes -1; unneeded columns get 0.
        {"a column without a pivot", {{2, 4, 0}, {0, 0, 1}}, {{1, 2}, {2, -1}, {3, 0}}},
        // Independent columns allow no reaction; so do more independent columns than rows + 1,
        // which would need rows beyond the data.
        {"independent columns", {{1, 0}, {0, 1}}, {}},
        {"more independent columns than rows + 1", {{1, 0, 1, 3}, {0, 1, 0, 1}}, {}},
        // With a dependent extra column there is no need for further rows.
        {"a dependent extra column", {{1, 2, 3, 5}, {0, 0, 0, 0}}, {{1, 5}, {4, -1}}},
        // The first pivot lies in the second row: the rows are exchanged.
        {"a pivot below the diagonal", {{0, 1, 1}, {1, 0, 1}}, {{1, 1}, {2, 1}, {3, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        cmatrix a;
        const auto ncol = static_cast<int16>(c.rows[0].size());
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            for (std::size_t j = 0; j < c.rows[i].size(); ++j) {
                a[static_cast<int>(i + 1)][static_cast<int>(j + 1)] = c.rows[i][j];
            }
        }
        emvector x;
        if (c.x.empty()) {
            EXPECT_BOMB(realreaction(a, 2, ncol, x), "realreaction", "no reaction - WHY");
            continue;
        }
        realreaction(a, 2, ncol, x);
        for (const auto& [k, value] : c.x) EXPECT_EQ(x[k], value) << k;
        // The matrix held at its own size gives the same bits.
        RealRows w(2, ncol);
        for (int i = 1; i <= 2; ++i) {
            for (int j = 1; j <= ncol; ++j) w.at(i, j) = a[i][j];
        }
        emvector y;
        y.fill(7);
        realreaction(w, y);
        for (int k = 1; k <= maxem; ++k) EXPECT_EQ(y[k], x[k]) << k;
    }
}

// Phases (1,0), (0,1) and (1,1) of a two-component system give one reaction with the
// coefficients 1, 1 and -1, its text, and the counts line.
TEST(ReactionSearch, ThreePhasesOfTwoComponents) {
    HandSystem h({{"a", {1, 0}}, {"b", {0, 1}}, {"c", {1, 1}}});
    const CompositionTables ct{*h.c, h.comps, h.names, h.nem};
    ReactionTables tab{*h.td, h.names, h.lookup, h.nem, h.act, 0, 0, 0, 4};
    ReactionEval ev{h.ts.ses, h.gs, tab, *h.r, h.w};
    emmatrix* cov = new emmatrix;
    const PositionData data{*cov, h.act};
    ReactionSearch s{ev, data, ct, *h.rl, h.nreac, 3, {}, false, avtype::avpmode, 0, 0, ""};
    s.use = SearchUse::reactiontable;
    EXPECT_TRUE(calcre(s));
    delete cov;
    ASSERT_EQ(h.nreac, 1);
    EXPECT_EQ((*h.r)[1][1], 1);
    EXPECT_EQ((*h.r)[1][2], 1);
    EXPECT_EQ((*h.r)[1][3], -1);
    EXPECT_EQ(h.rl->rxntext[1], "1)  c = a + b");
    EXPECT_EQ(h.ts.console.output,
              "\nno excluded assemblages\n\nno of reactions = 1, no of intersections = 0\n");
    s.use = SearchUse::unset;
    EXPECT_BOMB(calcre(s), "calcre", "mode 1 sent to the wrong place");
}

// Coefficients that leave their 16-bit storage stop the run instead of wrapping: (211, 0),
// (0, 223) and (1, 1) balance only as 211 x 223 (1, 1) = 223 (211, 0) + 211 (0, 223).
TEST(ReactionSearch, CoefficientOverflowStops) {
    HandSystem h({{"a", {211, 0}}, {"b", {0, 223}}, {"c", {1, 1}}});
    const CompositionTables ct{*h.c, h.comps, h.names, h.nem};
    ReactionTables tab{*h.td, h.names, h.lookup, h.nem, h.act, 0, 0, 0, 4};
    ReactionEval ev{h.ts.ses, h.gs, tab, *h.r, h.w};
    auto cov = std::make_unique<emmatrix>();
    const PositionData data{*cov, h.act};
    ReactionSearch s{ev, data, ct, *h.rl, h.nreac, 3, {}, false, avtype::avpmode, 0, 0, ""};
    s.use = SearchUse::reactiontable;
    EXPECT_BOMB(calcre(s), "vectorlcm", "integer overflow in vectorlcm");
    // Within range the same shape balances exactly.
    (*h.c)[1][1] = 3;
    (*h.c)[2][2] = 5;
    EXPECT_TRUE(calcre(s));
    EXPECT_EQ((*h.r)[1][1], 5);
    EXPECT_EQ((*h.r)[1][2], 3);
    EXPECT_EQ((*h.r)[1][3], -15);
}

// The Al2SiO5 polymorphs in a P-T window holding the triple point: three reactions, each
// crossing, and their one invariant point; in the andalusite field alone kyanite and
// sillimanite are excluded and no reaction is left.
TEST(ReactionSearch, Al2SiO5Diagram) {
    DsReactions d;
    Session& ses = d.d.ts.ses;
    // The three polymorphs as the run's phases 1..3.
    const int16 ky = d.em("ky"), an = d.em("and"), sill = d.em("sill");
    auto td = std::make_unique<tdmatrix>();
    auto c = std::make_unique<icmatrix>();
    strings names;
    const int16 src[] = {ky, an, sill};
    const icmatrix& dc = *d.d.run.arrays.c;
    const SystemComponents& comps = d.d.run.dataset.components;
    for (int16 k = 1; k <= 3; ++k) {
        (*td)[k] = d.td[src[k - 1]];
        names[k] = d.names[src[k - 1]];
        for (int16 i = 1; i <= comps.ncomp; ++i) (*c)[i][k] = dc[i][src[k - 1]];
    }
    ReactionTables tab{*td, names, d.lookup, 3, d.act, 0, 0, 0, 4};
    ReactionEval ev{ses, d.d.gs, tab, d.r, d.w};
    ev.activitysd = true;
    const CompositionTables ct{*c, comps, names, 3};
    const PositionData data{d.cov, d.actsd};
    int16 nreac = 0;
    ReactionSearch s{ev, data, ct, d.rl, nreac, 3, {}, false, avtype::avpmode, 0, 0, ""};
    s.use = SearchUse::reactiondiagram;
    d.w.twinlow = 673.15L;
    d.w.twinhigh = 1073.15L;
    EXPECT_TRUE(calcre(s));
    EXPECT_EQ(nreac, 3);
    EXPECT_EQ(d.rl.nintersect, 1);
    EXPECT_EQ(d.rl.intersections[1].nreac, 3);
    EXPECT_EQ(d.rl.rxntext[1], "1)  and = ky");
    EXPECT_NE(d.d.ts.console.output.find("XXX"), std::string::npos);
    EXPECT_NE(d.d.ts.console.output.find("no of reactions = 3, no of intersections = 1"),
              std::string::npos);
    // Andalusite field only: 1-2 kbar, 400-450 C.
    d.w.pwinhigh = 2;
    d.w.twinhigh = 723.15L;
    d.d.ts.console.output.clear();
    EXPECT_TRUE(calcre(s));
    EXPECT_EQ(nreac, 0);
    EXPECT_EQ(d.rl.nexclphases, 2);
    EXPECT_NE(d.d.ts.console.output.find("excluded assemblages | ky | sill |"), std::string::npos)
        << d.d.ts.console.output;
    EXPECT_NE(d.d.ts.console.output.find("no of reactions = 0, no of intersections = 0"),
              std::string::npos);
}

// Corners of mixed sign answer at once; a line that meets one edge twice, with every corner of
// one sign, is found by the root search along that edge.
TEST(WindowTest, CornersAndEdges) {
    DsReactions d;
    Session& ses = d.d.ts.ses;
    d.ev.diagram = diagramtype::ptcalc;
    d.w.twinlow = 673.15L;
    d.w.twinhigh = 1073.15L;
    d.setreaction(1, {{"ky", -1}, {"sill", 1}});
    CornerSigns cs;
    const CurrentConditions cur;
    const int64 before = ses.gemcount;
    EXPECT_TRUE(inPTXwindow(d.ev, d.rl.lnaterm, cur, 1, cs));
    EXPECT_EQ(ses.gemcount - before, 4 * 6);  // four corners, no root search
    EXPECT_FALSE(cs[2]);                      // high P, low T: kyanite stable
    EXPECT_TRUE(cs[4]);                       // low P, high T: sillimanite stable
    // Two phases whose dG is convex in T and independent of P: positive at every corner,
    // negative between 850 and 950 K or so.
    const int16 x = d.em("ky"), y = d.em("sill");
    d.td[x] = makerow({-100, 0.01L, 0, 0.1L, 0, 0, 0});
    d.td[y] = makerow({-40.315L, 0.01L + 0.1L * std::log(900 / 298.15L), 0, 0, 0, 0, 0});
    EXPECT_TRUE(inPTXwindow(d.ev, d.rl.lnaterm, cur, 1, cs));
    EXPECT_FALSE(cs[1] || cs[2] || cs[3] || cs[4]);
    // Lift dG above zero: no crossing, and false.
    d.td[y][1] += 1;
    EXPECT_FALSE(inPTXwindow(d.ev, d.rl.lnaterm, cur, 1, cs));
    d.ev.diagram = static_cast<diagramtype>(99);
    EXPECT_BOMB(inPTXwindow(d.ev, d.rl.lnaterm, cur, 1, cs), "inPTXwindow", "unknown diagrammode");
}

// The ln a sections write S0 - c ln a into the carrier's entropy at each corner and edge.
TEST(WindowTest, ActivityCarrier) {
    DsReactions d;
    d.ev.diagram = diagramtype::tlnacalc;
    d.setreaction(1, {{"ky", -1}, {"sill", 1}});
    d.w.lnawinlow = -2;
    d.w.lnawinhigh = 0;
    const ActivityTerm lt{0.2L, true};
    const CurrentConditions cur{8, 900, 0, 1};
    CornerSigns cs;
    inPTXwindow(d.ev, lt, cur, 1, cs);
    // The last corner is at the low end of ln a.
    EXPECT_REL_NEAR(d.td[d.tab.nem][2], 0.2L + 0.038289308592L, 1e-15L);
}

}  // namespace
}  // namespace qv::test
