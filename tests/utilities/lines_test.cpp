// Line processing: crossovers, joining lines to their points, clipping at the window, listing.

#include "utilities/lines.hpp"

#include <initializer_list>
#include <string>
#include <utility>

#include "drawfixture.hpp"

namespace qv::test {
namespace {

// A drawing built in place on a window of 0 to 10 on both axes.
struct Table {
    Table() {
        d.point = std::make_unique<Fixed1<pointtype, maxpoints>>();
        d.line = std::make_unique<Fixed1<linetype, maxlines>>();
        d.set.xhigh = 10;
        d.set.yhigh = 10;
    }
    int point(const std::string& name, real x, real y) {
        pointtype& p = d.pt(++d.npoint);
        p.name = name;
        p.x = x;
        p.y = y;
        return d.npoint;
    }
    int line(const std::string& name, const std::string& b, const std::string& e,
             std::initializer_list<std::pair<real, real>> xy) {
        linetype& l = d.ln(++d.nline);
        l.name = name;
        l.beginname = b;
        l.endname = e;
        for (const auto& [x, y] : xy) {
            ++l.ncoords;
            l.x[l.ncoords] = x;
            l.y[l.ncoords] = y;
        }
        return d.nline;
    }
    // whichpoint, joining and clipping of one line, as the line processing does it
    linetype& process(int li) {
        linetype& l = d.ln(li);
        monotonicline(l);
        l.beginindex = whichpoint(d, l.beginname);
        l.endindex = whichpoint(d, l.endname);
        addpoints(d, li);
        cutlines(d, li);
        return l;
    }
    Drawing d;
};

void expectcoords(const linetype& l, std::initializer_list<std::pair<real, real>> xy) {
    ASSERT_EQ(l.ncoords, static_cast<int16>(xy.size())) << l.name;
    int k = 0;
    for (const auto& [x, y] : xy) {
        ++k;
        EXPECT_REL_NEAR(l.x[k], x, 1e-15L);
        EXPECT_REL_NEAR(l.y[k], y, 1e-15L);
    }
}

TEST(LineProcessing, ClippingAtTheWindow) {
    Table t;
    t.point("i1", 5, 5);
    // wholly inside, its free end lying on the bottom edge
    const linetype& inside = t.process(t.line("u1", "i1", "end", {{5, 5}, {6, 3}, {7, 0}}));
    expectcoords(inside, {{5, 5}, {6, 3}, {7, 0}});
    EXPECT_EQ(inside.beginindex, 1);
    EXPECT_EQ(inside.endindex, -1);
    // wholly outside
    const linetype& out = t.process(t.line("u2", "begin", "end", {{11, 1}, {12, 5}}));
    EXPECT_TRUE(out.outside);
    EXPECT_EQ(out.ncoords, 0);
    // from outside through the left edge to a point
    const linetype& enters = t.process(t.line("u3", "begin", "i1", {{-5, 5}, {4, 5}}));
    expectcoords(enters, {{0, 5}, {4, 5}, {5, 5}});
    EXPECT_EQ(enters.beginindex, -2);
    EXPECT_EQ(enters.endindex, 1);
    // out through the top, back in through the right: the corner between the two crossings
    const linetype& corner =
        t.process(t.line("u4", "begin", "end", {{8, 8}, {9, 12}, {12, 9}, {8, 7}}));
    expectcoords(corner, {{8, 8}, {8.5L, 10}, {10, 10}, {10, 8}, {8, 7}});
    EXPECT_EQ(corner.beginindex, 0);
    EXPECT_EQ(corner.endindex, 0);
    // a segment that passes right through the window
    const linetype& through = t.process(t.line("u5", "begin", "end", {{-1, 5}, {11, 5}}));
    expectcoords(through, {{0, 5}, {10, 5}});
    EXPECT_EQ(through.beginindex, -2);
    EXPECT_EQ(through.endindex, -4);
    // a single coordinate has no segment: kept inside, dropped outside
    EXPECT_EQ(t.process(t.line("u6", "begin", "end", {{3, 3}})).ncoords, 1);
    EXPECT_TRUE(t.process(t.line("u7", "begin", "end", {{13, 3}})).outside);
}

TEST(LineProcessing, SegmentEndOnAnEdgeCrossesItsStartDoesNot) {
    Table t;
    const linetype& l = t.process(t.line("u1", "begin", "end", {{5, 0}, {5, 5}, {5, -1}}));
    // starts on the bottom edge (no crossing), leaves through it on the way down
    expectcoords(l, {{5, 0}, {5, 5}, {5, 0}});
    EXPECT_EQ(l.beginindex, -1);
    EXPECT_EQ(l.endindex, -1);
}

TEST(LineProcessing, ClippingFaults) {
    Table t;
    EXPECT_BOMB(t.process(t.line("u1", "begin", "end",
                                 {{5, 5}, {5, 12}, {12, 12}, {12, -2}, {5, -2}, {5, 5}})),
                "lines", "wierd line shape in u1");
    EXPECT_BOMB(whichpoint(t.d, "i9"), "which point", "not recognised: i9");
    EXPECT_EQ(whichpoint(t.d, "begin"), 0);
}

TEST(LineProcessing, JoiningToPoints) {
    Table t;
    t.point("i1", 2, 2);
    t.point("i2", 8, 8);
    // the begin point cuts the line before it, the end point after it
    const linetype& both =
        t.process(t.line("u1", "i1", "i2", {{0, 0}, {1, 1}, {3, 3}, {5, 5}, {9, 9}, {10, 10}}));
    expectcoords(both, {{2, 2}, {3, 3}, {5, 5}, {8, 8}});
    // named the other way round along the line: begin and end exchanged
    const linetype& swapped = t.process(t.line("u2", "i2", "i1", {{1, 1}, {5, 5}, {9, 9}}));
    expectcoords(swapped, {{2, 2}, {5, 5}, {8, 8}});
    EXPECT_EQ(swapped.beginname, "i1");
    // a vertical line is not x-monotonic: its points are placed by y
    t.point("i3", 4, 6);
    linetype& vertical = t.process(t.line("u3", "i3", "end", {{4, 1}, {4, 5}, {4, 7}, {4, 9}}));
    EXPECT_FALSE(vertical.xmonotonic);
    expectcoords(vertical, {{4, 6}, {4, 7}, {4, 9}});
    EXPECT_BOMB(t.process(t.line("u4", "i2", "end", {{1, 1}, {5, 5}})), "add points",
                "\"end\" should be \"begin\" for u4?");
    EXPECT_BOMB(t.process(t.line("u5", "begin", "i1", {{5, 5}, {9, 9}})), "add points",
                "\"begin\" should be \"end\" for u5?");
}

TEST(LineProcessing, CrossoverPoint) {
    Table t;
    const int p = t.point("i1", 0, 0);
    t.d.pt(p).crossover = true;
    t.d.pt(p).crossline1 = "u1";
    t.d.pt(p).crossline2 = "u2";
    t.line("u1", "begin", "end", {{0, 0}, {2, 2}, {4, 4}});
    t.line("u2", "begin", "end", {{3, 0}, {3, 10}});
    crossover(t.d);
    EXPECT_REL_NEAR(t.d.pt(p).x, 3.0L, 1e-18L);
    EXPECT_REL_NEAR(t.d.pt(p).y, 3.0L, 1e-18L);
    EXPECT_EQ(t.d.pt(p).crossindex2, 2);
    t.d.pt(p).crossline2 = "u3";
    EXPECT_BOMB(crossover(t.d), "crossover", "u3 not found");
    t.line("u3", "begin", "end", {{5, 0}, {6, 1}});
    EXPECT_BOMB(crossover(t.d), "crossover", "lines don't cross for i1");
}

TEST(LineProcessing, ConnectLineNeedsPoints) {
    DrawRun r;
    r.read("2 1 1 2\ni1 1 1\nu1 i1 end connect\n*\n*\n" + plainsettings);
    EXPECT_BOMB(dolines(r.t.ses, r.d), "lines", "connect not using a point");
}

TEST(LineProcessing, LogListing) {
    DrawRun r;
    r.read(
        "2 1 1 2\ni1 ky and sill 5 5\n"
        "u1 ky sill - and i1 end\n5 5\n8 6\n12 7\n"
        "u2 ky and - sill begin i1\n0 1\n1 2\n2 3\n3 4\n4 4.5\n5 5\n*\n*\n" +
        plainsettings);
    dolines(r.t.ses, r.d);
    EXPECT_TRUE(contains(r.log(),
                         "_________________________________\n"
                         "u1) ky sill (and)  \n"
                         "  start = i1; end = right edge\n"
                         "    5.0000    5.0000\n"
                         "    8.0000    6.0000\n"
                         "   10.0000    6.5000\n"
                         "_________________________________\n"
                         "u2) ky and (sill)  \n"
                         "  start = left edge; end = i1\n"
                         "         0    1.0000\n"  // a zero is written "0"
                         "    1.0000    2.0000 ...\n"
                         "    4.0000    4.5000\n"
                         "    5.0000    5.0000\n"))
        << r.log();
}

}  // namespace
}  // namespace qv::test
