// The diagram analysis: its checks with their listings, and the areas it builds.

#include "utilities/analyse.hpp"

#include <string>

#include "drawfixture.hpp"

namespace qv::test {
namespace {

// Four lines about an invariant point i1 at (5, 5) in a three-component system, each running
// to a different window edge: u1 top, u2 right, u3 left, u4 bottom.
const std::string fourlines =
    "2 3 1 2\n"
    "i1 a b - c d 5 5\n"
    "u1 a b c - d i1 end\n5 5\n6 12\n"
    "u2 a b d - c i1 end\n5 5\n12 4\n"
    "u3 a b - c i1 end\n5 5\n-2 6\n"
    "u4 a b - d i1 end\n5 5\n4 -2\n";

std::string file(const std::string& extra) {
    return fourlines + extra + "*\n*\n" + plainsettings + "analyse\n";
}

TEST(DiagramAnalysis, ConsistentDiagramGetsItsAreas) {
    DrawRun r;
    r.read(file(""));
    r.draw();
    ASSERT_EQ(r.d.narea, 4);
    const std::pair<const char*, const char*> lines[] = {
        {"u1", "u3"}, {"u1", "u2"}, {"u2", "u4"}, {"u3", "u4"}};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(r.d.area(i).names[1], lines[i - 1].first) << i;
        EXPECT_EQ(r.d.area(i).names[2], lines[i - 1].second) << i;
    }
    // variance 3 - phases + 2: the four-phase field is the lightest, the two-phase the darkest
    EXPECT_NEAR(r.d.area(2).grey, 0.95, 1e-12);
    EXPECT_NEAR(r.d.area(1).grey, 0.675, 1e-12);
    EXPECT_NEAR(r.d.area(4).grey, 0.4, 1e-12);
    EXPECT_EQ(r.d.ln(1).area1, 1);
    EXPECT_EQ(r.d.ln(1).area2, 2);
    const std::string log = r.log();
    // names right-justified in 7, phases in 5; "- " in 10 where a line has the point's count
    EXPECT_TRUE(contains(log,
                         "consistency check: 4 lines at each point\n"
                         "------------------------------------------\n"
                         "   i1:     a    b   -     c    d\n"
                         "..........................................\n"
                         "   u1:     a    b    c   -     d\n"
                         "   u2:     a    b    d   -     c\n"
                         "   u3:     a    b        -     c\n"
                         "   u4:     a    b        -     d\n"))
        << log;
    // centres by hand: u1 leaves the top at (5.714, 10), u3 the left edge at (0, 5.714); the
    // ends of both lines with u1's edge end and u3's edge end once more give (3.57, 6.90)
    EXPECT_TRUE(contains(log,
                         "area info determined in analysis (in excess: none)\n\n"
                         " 1) {3.57, 6.90}:       a b c                     u1 u3 \n"
                         " 2) {6.90, 6.43}:       a b c d                   u1 u2 \n"
                         " 3) {3.10, 3.57}:       a b                       u3 u4 \n"
                         " 4) {6.43, 3.10}:       a b d                     u2 u4 \n"))
        << log;
    EXPECT_TRUE(contains(log,
                         "area colouring info\n"
                         "% 1-variant\n"
                         "  0.95  u1 u2                 % a b c d \n"
                         "% divariant\n"
                         "  0.68  u1 u3                 % a b c \n"
                         "  0.68  u2 u4                 % a b d \n"
                         "% trivariant\n"
                         "  0.40  u3 u4                 % a b \n"))
        << log;
    EXPECT_TRUE(contains(r.svg(), "fill=\"rgb(242,242,242)\""));
}

TEST(DiagramAnalysis, FaultsListedThenStopped) {
    struct Case {
        std::string entries;
        std::string screen;
        std::string message;
    };
    const Case cases[] = {
        {"u5 a b - c i1 end\n5 5\n-2 7\n", "duplicate lines: u3--u5\n",
         "remove (or combine) duplicate line"},
        {"u5 a c - d begin end\n2 2\n2 -1\n",
         "lines that just begin or end within the diagram: u5 \n", "fix this line"},
        {"u5 a c - c begin end\n-1 2\n11 2\n", "duplicate in phases in line: \nu5 \n",
         "remove the duplicate"},
        {"u8 x y - z begin end\n-1 1\n11 2\nu9 x y - w begin end\n1 -1\n2 11\ni2 crossover u8 u9\n",
         "no or incorrect phase info for: \ni2: x y - z w\n",
         "add/correct the info for this point"},
    };
    for (const Case& c : cases) {
        DrawRun r;
        r.read(file(c.entries));
        EXPECT_BOMB(r.draw(), "analyse", c.message);
        EXPECT_EQ(r.screen(), c.screen) << c.entries;
    }
    DrawRun three;
    three.read(
        "2 3 1 2\ni1 a b - c d 5 5\n"
        "u1 a b c - d i1 end\n5 5\n6 12\n"
        "u2 a b d - c i1 end\n5 5\n12 4\n"
        "u3 a b - c i1 end\n5 5\n-2 6\n*\n*\n" +
        plainsettings + "analyse\n");
    EXPECT_BOMB(three.draw(), "analyse", "fix up lines at the point");
    EXPECT_EQ(three.screen(), "wrong number of lines at a point for: i1 \n");
}

TEST(DiagramAnalysis, ConnectLineClippedAtTheWindowIsReported) {
    // a connect line to a point outside the window ends on an edge, not at a point
    DrawRun r;
    r.read(file("i9 p q - r s 15 5\nu5 i1 i9 connect\n"));
    EXPECT_BOMB(r.draw(), "analyse", "add/correct the info for this line");
    EXPECT_EQ(r.screen(),
              "no or incorrect phase info for (with suggestion): \n"
              "u5:  connect, but one or both points without info\n");
}

TEST(DiagramAnalysis, GreyOfOneVarianceIsTheLightest) {
    EXPECT_EQ(areagrey(3, 3, 3), 0.95);
    EXPECT_NEAR(areagrey(2, 2, 4), 0.95, 1e-15);
    EXPECT_NEAR(areagrey(4, 2, 4), 0.4, 1e-15);
}

TEST(DiagramAnalysis, NameLists) {
    phasenames a;
    a[1] = "q";
    a[2] = "ky";
    a[3] = "q";
    EXPECT_TRUE(hasduplicate(a, 3, "", ""));
    EXPECT_FALSE(hasduplicate(a, 2, "", ""));
    EXPECT_TRUE(hasduplicate(a, 2, "sill", "ky"));
    EXPECT_FALSE(hasduplicate(a, 0, "ky", "ky"));
    phasenames b;
    b[1] = "ky";
    EXPECT_TRUE(namesubset(a, 2, b, 1));
    EXPECT_FALSE(namesubset(b, 1, a, 2));
    EXPECT_FALSE(namesubset(a, 0, b, 1));
}

}  // namespace
}  // namespace qv::test
