// Shaded areas: fill colours, outlines along lines and window corners, and areas not drawn.

#include "utilities/areas.hpp"

#include <string>

#include "drawfixture.hpp"
#include "utilities/lines.hpp"

namespace qv::test {
namespace {

// The areas group of the picture of a drawing (no information lines: box 60..520, 44..504).
std::string areasof(const std::string& entries, const std::string& settings = plainsettings) {
    DrawRun r;
    r.read("2 1 1 2\n" + entries + settings);
    r.draw();
    const std::string svg = r.svg();
    const auto from = svg.find("<!-- areas -->");
    const auto to = svg.find("  </g>", from);
    return svg.substr(from, to - from);
}

TEST(Areas, FillColourBetweenDarkAndLight) {
    const std::string line = "u1 begin end\n-1 6\n4 -1\n*\n";
    EXPECT_TRUE(contains(areasof(line + "0.5 u1\n*\n"), "fill=\"rgb(127,127,127)\""));
    EXPECT_TRUE(contains(areasof(line + "1 u1\n*\n"), "fill=\"rgb(255,255,255)\""));
    // a dark colour beyond the colour range is held to it
    EXPECT_TRUE(contains(areasof(line + "0 u1\n*\n", plainsettings + "darkcolour 10 20 300\n"),
                         "fill=\"rgb(10,20,255)\""));
}

TEST(Areas, OneLineClosesThroughTheCorner) {
    // a segment through the window is kept from its bottom crossing (3.2857, 0) to its left
    // crossing (0, 4.6); the outline closes through the corner (0, 0)
    EXPECT_EQ(
        areasof("u1 begin end\n-1 6\n4 -1\n*\n0.5 u1\n*\n"),
        "<!-- areas -->\n\n  <g stroke=\"none\" >\n\n"
        "    <polygon fill=\"rgb(127,127,127)\" points=\"\n"
        "      211.14 504.00      60.00 292.40      60.00 504.00      211.14 504.00\" />\n\n");
    // bottom to top left of the centre: closed through both left-hand corners
    EXPECT_TRUE(contains(areasof("u1 begin end\n2 -1\n2 11\n*\n0.5 u1\n*\n"),
                         "      152.00 504.00      152.00 44.00      60.00 44.00      60.00 504.00"
                         "      152.00 504.00\" />"));
}

TEST(Areas, TwoLinesMeetingAtPointsAtBothEnds) {
    const std::string text = areasof(
        "i1 2 2\ni2 8 8\nu1 i1 i2\n2 2\n3 7\n8 8\nu2 i1 i2\n2 2\n7 3\n8 8\n*\n0.5 u1 u2\n*\n");
    // i1, along u1 to i2, back along u2 to i1 (written once more as the closing point)
    EXPECT_TRUE(contains(text,
                         "points=\"\n      152.00 412.00      198.00 182.00      428.00 "
                         "136.00      382.00 366.00      152.00 412.00      152.00 412.00\" />"))
        << text;
}

TEST(Areas, NothingForLinesOutsideAndUnknownNames) {
    EXPECT_FALSE(contains(areasof("u1 begin end\n11 1\n12 5\n*\n0.5 u1\n*\n"), "polygon"));
    DrawRun r;
    r.read("2 1 1 2\ni1 1 1\n*\n0.5 i1\n*\n" + plainsettings);
    EXPECT_BOMB(r.draw(), "which line", "not recognised: i1");
}

}  // namespace
}  // namespace qv::test
