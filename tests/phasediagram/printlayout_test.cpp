#include "phasediagram/printlayout.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv {
namespace {

std::string blocktext(const std::vector<ColumnBlock>& blocks) {
    std::string s;
    for (const ColumnBlock& b : blocks) {
        if (!s.empty()) s += ' ';
        s += std::to_string(b.first) + "-" + std::to_string(b.last);
    }
    return s;
}

struct BlockCase {
    int16 nlna, nxvars, pagewidth;
    const char* blocks;
};

TEST(ResultBlocks, NarrowPagesSplitTheVariableColumns) {
    const BlockCase cases[] = {
        // fits: (0 + 6) * 10 + 2 = 62 <= 80
        {0, 6, 80, "3-6"},
        // 7 variables need 72 characters, 8 need 82
        {0, 7, 80, "3-7"},
        {0, 8, 80, "3-8"},
        {0, 9, 80, "3-8 9-9"},
        // 88 composition variables on 80 characters: blocks of 6, the last holds 4
        {0, 90, 80,
         "3-8 9-14 15-20 21-26 27-32 33-38 39-44 45-50 51-56 57-62 63-68 69-74 75-80 81-86 87-90"},
        // two ln a columns take two of the first line's places
        {2, 20, 80, "3-6 7-12 13-18 19-20"},
        // a wide page
        {0, 30, 250, "3-25 26-30"},
        // six ln a columns leave the first line no variable column
        {6, 10, 80, "3-2 3-8 9-10"},
        // no composition variables
        {0, 2, 80, "3-2"},
    };
    for (const BlockCase& c : cases) {
        EXPECT_EQ(blocktext(resultblocks(c.nlna, c.nxvars, c.pagewidth)), c.blocks)
            << c.nlna << " " << c.nxvars << " " << c.pagewidth;
    }
}

TEST(ActivityBlocks, EndMembersInBlocksOfThePageWidth) {
    const BlockCase cases[] = {
        {0, 4, 80, "1-4"},  // (4 + 2) * 12 + 2 = 74
        {0, 5, 80, "1-5"},  // 86 > 80: blocks of trunc(60 / 12) = 5
        {0, 30, 80, "1-5 6-10 11-15 16-20 21-25 26-30"},
        {0, 12, 80, "1-5 6-10 11-12"},
        {0, 30, 130, "1-9 10-18 19-27 28-30"},
    };
    EXPECT_FALSE(activityrowtoowide(4, 80));
    EXPECT_TRUE(activityrowtoowide(5, 80));
    for (const BlockCase& c : cases) {
        EXPECT_EQ(blocktext(activityblocks(c.nxvars, c.pagewidth)), c.blocks)
            << c.nxvars << " " << c.pagewidth;
    }
}

TEST(PrintLayout, RulesAndHeadings) {
    EXPECT_EQ(rule60().size(), 60u);
    EXPECT_EQ(rule60().substr(0, 3), "% -");
    EXPECT_EQ(rule31(), "% -----------------------------");
    EXPECT_EQ(tempcheading(),
              "T(\xA1"
              "C)");
    std::string line;
    addamount(12, line, 2.000001L, 1e-5L);
    addamount(12, line, 0.25L, 1e-5L);
    addamount(12, line, 3.0L, 1e-4L);
    EXPECT_EQ(line, "           2    0.250000           3");
}

}  // namespace
}  // namespace qv
