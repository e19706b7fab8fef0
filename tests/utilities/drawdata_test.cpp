// The drawing data file: header, point and line entries, areas, settings, and every error.

#include <string>

#include "drawfixture.hpp"

namespace qv::test {
namespace {

TEST(DrawingData, QuotedErrors) {
    struct Case {
        std::string text;
        const char* proc;
        std::string message;
    };
    const std::string rows202 = [] {
        std::string r;
        for (int k = 0; k < 202; ++k) r += "1 1\n";
        return r;
    }();
    const std::string phases21 = [] {
        std::string r;
        for (int k = 0; k < 21; ++k) r += "p" + std::to_string(k) + " ";
        return r;
    }();
    const std::string info11 = [] {
        std::string r;
        for (int k = 0; k < 11; ++k) r += "info line\n";
        return r;
    }();
    const Case cases[] = {
        {"", "readdata", "not enough in file"},
        {"% only a comment\n\n* 2 1 1 2\n", "readdata", "not enough in file"},
        {"21 1 1 2\n", "readdata", "too many variables in each line of input: max = 20"},
        {"2 1 3 2\n", "readdata", "xcol not in range: must be 1 <=> 2"},
        {"2 1 1 0\n", "readdata", "ycol not in range: must be 1 <=> 2"},
        {"3 1 1 2 x 4 0.5\n", "readdata", "icol not in range: must be 1 <=> 3"},
        {"3 1 1 2 x 2 0.5\n", "readdata", "icol same as xcol or ycol"},
        {"2 1 1 2\n*\n", "read data", "point/line name must start with i/u but this name is *"},
        {"2 1 1 2\nx1 1 2\n*\n", "read data",
         "point/line name must start with i/u but this name is x1"},
        {"2 1 1 2\ni<n> 1 2\n*\n", "read data", "< in name: line/point name unassigned?"},
        {"2 1 1 2\ni1 1\n", "reading", "unexpected end of input: reading coordinates for i1"},
        {"2 1 1 2\ni1 " + phases21 + "1 2\n*\n", "readdata",
         "too many phases in header in nonzero-mode phases for i1"},
        {"2 1 1 2\nu1 ky sill - 3 i1 i2\n", "reading",
         "expecting a name; got: 3 - zero-mode phase for u1"},
        {"2 1 1 2\nu1 begin end\n1 1\n*\n*\n", "readdata",
         "one point with begin end: reading coordinates for u1"},
        {"2 1 1 2\nu1 i1 i2\n" + rows202 + "*\n", "readdata",
         "too much data for line in reading coordinates for u1"},
        {"3 1 1 2 x 3 5\nu1 i1 end\n1 1 0\n2 2 1\n*\n", "readdata",
         "default connect with begin/end: reading coordinates for u1"},
        {"3 1 1 2 x 3 5\ni1\n1 1 0\n2 2 1\n*\n", "read data", "interpolation failed for i1"},
        {"2 1 1 2\ni1 1 1\n*\n0.5 u1\n*\n", "readdata",
         "window script needed (xlow, xhigh, ylow, yhigh)"},
        {"2 1 1 2\ni1 1 1\n*\n*\nwindow 0 10\n", "readdata",
         "window bad in script (xlow, xhigh, ylow, yhigh needed)"},
        {"2 1 1 2\ni1 1 1\n*\n*\nwindow 10 0 0 1\n", "readdata", "xhigh must be greater than xlow"},
        {"2 1 1 2\ni1 1 1\n*\n*\nwindow 0 1 1 1\n", "readdata", "yhigh must be greater than ylow"},
        {"2 1 1 2\ni1 1 1\n*\n*\nwindow 0 10 0 10\n", "readdata",
         "bigticks script needed (xtick gap, xstart, ytick gap, ystart)"},
        // a negative gap would never end the tick loops
        {"2 1 1 2\ni1 1 1\n*\n*\nwindow 0 10 0 10\nbigticks -1 0 1 0\n", "readdata",
         "bigticks bad in script (xtick gap, xstart, ytick gap, ystart needed)"},
        {"2 1 1 2\ni1 1 1\n*\n*\n" + plainsettings + "smallticks 0 -0.5\n", "readdata",
         "small ticks bad in script (xtick gap, ytick gap)"},
        {"2 1 1 2\ni1 1 1\n*\n*\n" + plainsettings + info11, "script", "too much info!!"},
    };
    for (const Case& c : cases) {
        DrawRun r;
        EXPECT_BOMB(r.read(c.text), c.proc, c.message);
    }
}

TEST(DrawingData, DuplicateNamesListedOnTheConsole) {
    DrawRun points;
    EXPECT_BOMB(points.read("2 1 1 2\ni3 1 1\ni3 2 2\n*\n*\n" + plainsettings), "readdata",
                "remove the duplication for this point");
    EXPECT_EQ(points.screen(), "duplication of: i3 \n");
    DrawRun lines;
    EXPECT_BOMB(
        lines.read("2 1 1 2\nu1 i1 i2 1 1\nu2 i1 i2 1 1\nu1 i1 i2 1 1\nu2 i1 i2 1 1\n*\n*\n" +
                   plainsettings),
        "readdata", "remove the duplication for these lines");
    EXPECT_EQ(lines.screen(), "duplication of: u1 u2 \n");
}

TEST(DrawingData, InterpolatedPoint) {
    DrawRun r;
    r.read("3 2 1 2 x 3 0.5\ni1 1 2 0 3 4 1\n*\n*\n" + plainsettings);
    EXPECT_EQ(r.d.npoint, 1);
    EXPECT_TRUE(r.d.pt(1).plain);
    EXPECT_REL_NEAR(r.d.pt(1).x, 2.0L, 1e-18L);
    EXPECT_REL_NEAR(r.d.pt(1).y, 3.0L, 1e-18L);
}

TEST(DrawingData, LineWithSlopedSectionTakesOnePointPerRun) {
    // section i = 1 + 0.5 y through rows that share x: x = 2 gives y = 2 where i = 2
    DrawRun r;
    r.read("3 1 1 2 x 3 1 0.5\nu1 i1 i2\n2 0 0\n2 4 4\n5 0 0\n5 4 4\n*\n*\n" + plainsettings);
    const linetype& l = r.d.ln(1);
    ASSERT_EQ(l.ncoords, 2);
    EXPECT_REL_NEAR(l.x[1], 2.0L, 1e-18L);
    EXPECT_REL_NEAR(l.y[1], 2.0L, 1e-18L);
    EXPECT_REL_NEAR(l.x[2], 5.0L, 1e-18L);
}

TEST(DrawingData, PointAndLineLabels) {
    DrawRun r;
    r.read(
        "2 2 1 2\n"
        "i1 ky sill - and 1 2\n"
        "i2 ky sill 1 2\n"
        "i3 ky sill invariant 1 2\n"
        "i4 crossover u1 u2\n"
        "u1 ky sill i1 i2 0 0\n"
        "u2 ky sill - and i1 i2 0 0\n"
        "u3 ky sill univariant i1 i2 0 0\n"
        "u4 ky sill - univariant i1 i2 0 0\n"
        "# u5 ky i1 i2 0 0\n"
        "u6 begin end connect rgb 300 -5 127.5 thick\n"
        "u7 i1 i2 connect magenta thick dashed\n"
        "*\n*\n" +
        plainsettings);
    EXPECT_EQ(r.d.pt(1).nphases, 2);
    EXPECT_EQ(r.d.pt(1).zeromode1, "and");
    EXPECT_EQ(r.d.pt(1).zeromode2, "none");
    EXPECT_EQ(r.d.pt(2).nphases, 0);
    EXPECT_TRUE(r.d.pt(2).plain);
    EXPECT_TRUE(r.d.pt(3).invariant);
    EXPECT_EQ(r.d.pt(3).nphases, 2);
    EXPECT_TRUE(r.d.pt(4).crossover);
    EXPECT_EQ(r.d.pt(4).crossline2, "u2");
    EXPECT_EQ(r.d.ln(1).nphases, 0);
    EXPECT_EQ(r.d.ln(2).nphases, 2);
    EXPECT_EQ(r.d.ln(2).zeromode, "and");
    EXPECT_TRUE(r.d.ln(3).univariant);
    EXPECT_EQ(r.d.ln(4).zeromode, "none");
    // the marked line is read and dropped; its slot goes to the next line
    ASSERT_EQ(r.d.nline, 6);
    const linetype& u6 = r.d.ln(5);
    EXPECT_EQ(u6.name, "u6");
    EXPECT_TRUE(u6.connect);
    EXPECT_EQ(u6.ncoords, 0);
    // colour components are held to 0..255, halves rounded to even
    EXPECT_EQ(u6.rgb[1], 255);
    EXPECT_EQ(u6.rgb[2], 0);
    EXPECT_EQ(u6.rgb[3], 128);
    EXPECT_TRUE(u6.thick);
    const linetype& u7 = r.d.ln(6);
    EXPECT_TRUE(u7.coloured && u7.thick && u7.dashed);
    EXPECT_EQ(u7.rgb[1], 255);
    EXPECT_EQ(u7.rgb[2], 0);
}

TEST(DrawingData, OptionsOutOfOrderAreReadAsCoordinates) {
    DrawRun r;
    EXPECT_BOMB(r.read("2 1 1 2\nu2 i1 i2 dashed thick 1 1\n*\n*\n" + plainsettings), "reading",
                "expecting a single (1); got: thick - reading coordinates for u2");
}

TEST(DrawingData, Settings) {
    struct Case {
        std::string lines;
        int16 numbersize, radius;
        controlboolean numbering;
    };
    const Case cases[] = {
        {"numbering 20\n", 14, 0, controlboolean::yes},
        {"numbering\n", 4, 0, controlboolean::yes},
        {"numbering 9\ncircles\n", 9, 4, controlboolean::yes},
        {"numbering 11\ncircles\n", 11, 6, controlboolean::yes},
        {"circles 0\n", 0, 1, controlboolean::no},
        // a drawing asks nothing: "ask" numbers the diagram
        {"numbering ask 6\n", 6, 0, controlboolean::yes},
    };
    for (const Case& c : cases) {
        DrawRun r;
        r.read("2 1 1 2\ni1 1 1\n*\n*\n" + plainsettings + c.lines);
        EXPECT_EQ(r.d.set.numbersize, c.numbersize) << c.lines;
        EXPECT_EQ(r.d.set.circleradius, c.radius) << c.lines;
        EXPECT_EQ(r.d.set.numberingcb, c.numbering) << c.lines;
    }
}

TEST(DrawingData, TickDefaultsEachOnItsOwn) {
    DrawRun r;
    r.read(
        "2 1 1 2\ni1 1 1\n*\n*\nwindow 0 10 0 20\nbigticks 0 -3 0 25\nsmallticks 0 0.5\n"
        "darkcolour 10 20\nanalyse ask\nphaseorder ky and sill\n");
    const DrawSettings& s = r.d.set;
    EXPECT_REL_NEAR(s.xgap, 1.0L, 1e-18L);
    EXPECT_REL_NEAR(s.ygap, 2.0L, 1e-18L);
    EXPECT_EQ(s.xstart, 0);
    EXPECT_EQ(s.ystart, 0);
    EXPECT_TRUE(s.smallticks);
    EXPECT_REL_NEAR(s.xsmallgap, 0.2L, 1e-18L);
    EXPECT_REL_NEAR(s.ysmallgap, 0.5L, 1e-18L);
    EXPECT_EQ(s.darkcolour.r, 0);  // fewer than three numbers leave it
    EXPECT_EQ(s.analysecb, controlboolean::ask);
    EXPECT_EQ(s.nphaseorder, 3);
    EXPECT_EQ(r.screen(), "order: ky and sill \n");
}

}  // namespace
}  // namespace qv::test
