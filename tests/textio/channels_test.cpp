#include "textio/channels.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "support/fakes.hpp"
#include "textio/files.hpp"

namespace qv {
namespace {

TEST(Putstr, ContinuesOpenLinesAndCountsLineEnds) {
    test::TestSession t;
    putstr(t.ses, 0, "abc", 0, 9);
    putstr(t.ses, 0, "def", 1, 9);
    putstr(t.ses, -1, "x", 5, 9);  // anything but 0 and 1 is two line ends
    EXPECT_EQ(t.console.output, "abcdef\n\n\nx\n\n");
}

TEST(Putstr, CutsOnlyTheScreenCopyOfALongLine) {
    test::TempDir dir;
    test::TestSession t;
    std::string name;
    openwrite(name, "", "log.txt", t.ses.ch.files[3]);
    t.ses.ch.activechannels |= logmask;
    const std::string text(100, 'a');
    putstr(t.ses, 0, text, 1, 9);
    t.ses.ch.dontwrapon = false;
    putstr(t.ses, 0, text, 1, 1);
    closefiles(t.ses);
    EXPECT_EQ(t.console.output, std::string(78, 'a') + "#\n" + text + "\n\n");
    EXPECT_EQ(dir.read("log.txt"), text + "\n");
}

TEST(Putstr, ChannelsThatAreNotOpenGetNothing) {
    test::TestSession t;
    putstr(t.ses, 0, "only the screen", 1, 2 + 4 + 8 + 1024);
    EXPECT_EQ(t.console.output, "");
    t.ses.ch.activechannels = 3;
    EXPECT_BOMB(putstr(t.ses, 0, "x", 1, 2), "putstr", "TE not impemented yet");
}

TEST(Addstr, JustifiesAndNeverCutsAField) {
    struct Case {
        const char* field;
        int width;
        const char* appended;
    } const cases[] = {
        {"12", 5, "   12"}, {"12", -5, "12   "}, {"123456", 3, "123456"},
        {"12", 0, "12"},    {"12", 2, "12"},     {"", 3, "   "},
    };
    for (const Case& c : cases) {
        std::string line = "|";
        addstr(c.field, c.width, line);
        EXPECT_EQ(line, std::string("|") + c.appended) << c.field << " " << c.width;
    }
}

TEST(Addstr, PadsAnEmptyLineWithFewerThan250BlanksOnly) {
    struct Case {
        const char* field;
        int width;
        std::string line;
    } const cases[] = {
        {"ab", 200, std::string(198, ' ') + "ab"},
        {"ab", -200, "ab" + std::string(198, ' ')},
        {"ab", 251, std::string(249, ' ') + "ab"},
        {"ab", 252, "ab"},  // 250 blanks are none
        {"ab", -252, "ab"},
        {"x", 300, "x"},
    };
    for (const Case& c : cases) {
        std::string line;
        addstr(c.field, c.width, line);
        EXPECT_EQ(line, c.line) << c.width;
    }
}

TEST(Addstr, MarksALineThatWouldPass250AndTakesNoMore) {
    std::string line(249, 'x');
    addstr("ab", 0, line);
    EXPECT_EQ(line, std::string(249, 'x') + overflowmark);
    addstr("c", 0, line);
    EXPECT_EQ(line.size(), 250u);

    // The test is on the padded field: 240 + 12 passes 250 although the text is 2 long.
    std::string padded(240, 'x');
    addstr("ab", 12, padded);
    EXPECT_EQ(padded.back(), overflowmark);
}

TEST(Putrow, WritesACsvRowWholeWhateverItsLength) {
    test::TempDir dir;
    test::TestSession t;
    std::string name;
    openwrite(name, "", "rows.csv", t.ses.ch.files[7]);
    t.ses.ch.activechannels |= csvmask;
    // 40 fields of 12 characters: "     1.00000, " ... as `addstr` pads them, with no mark
    std::string row;
    std::string expected;
    for (int i = 1; i <= 40; ++i) {
        addcsvreal(5, true, 10, row, i);
        row += ", ";
        const std::string v = std::to_string(i) + ".00000";
        expected += std::string(10 - v.size(), ' ') + v + ", ";
    }
    addcsv("end", -5, row);
    expected += "end  ";
    putrow(t.ses, row, csvmask);
    EXPECT_TRUE(t.ses.ch.used[7]);
    closefiles(t.ses);
    EXPECT_EQ(dir.read("rows.csv"), expected + "\n");
}

TEST(Addreal, FormatsThroughTheProgramsConversion) {
    std::string line;
    addreal(3, true, 8, line, 3.14159L);
    addgreal(-6, line, 1234.56L);
    EXPECT_EQ(line, "   3.1421235  ");
}

TEST(Formattext, FillsLinesUpTo78CharactersOnScreenAndLog) {
    test::TestSession t;
    std::string sixteen;
    for (int i = 0; i < 16; ++i) sixteen += "abcd ";
    eestrtype lines;
    lines[1] = sixteen;  // 15 words fill 75 columns; the 16th would reach 79
    lines[2] = "end";
    lines[3] = "";
    lines[4] = "not reached";
    formattext(t.ses, lines);
    EXPECT_EQ(t.console.output, "\n" + sixteen.substr(0, 75) + "\nabcd end \n");
}

// Words are cut as a line's words are (22 characters at most) and 400 is the most a paragraph
// holds.
TEST(Formattext, CutsLongWordsAndStopsBeyond400Words) {
    test::TestSession t;
    eestrtype lines;
    lines[1] = "\tshort  " + std::string(30, 'w') + " end";
    formattext(t.ses, lines);
    EXPECT_EQ(t.console.output, "\nshort " + std::string(22, 'w') + " end \n");
    std::string many;
    for (int i = 0; i < 200; ++i) many += "a ";
    lines[1] = many;
    lines[2] = many;
    lines[3] = "";
    formattext(t.ses, lines);  // 400 words
    lines[3] = "one more";
    EXPECT_BOMB(formattext(t.ses, lines), "format text", "too many words in lines");
}

// A number that is not finite never reaches a table as a blank field: the run stops and names the
// procedure that was printing it.
void print_activity_column(real x, bool general) {
    std::string line;
    if (general) {
        addgreal(8, line, x);
    } else {
        addreal(4, true, 8, line, x);
    }
}

TEST(Addreal, NonFiniteValueStopsNamingThePrinter) {
    const real inf = std::numeric_limits<real>::infinity();
    const real nan = std::numeric_limits<real>::quiet_NaN();
    const struct {
        real x;
        bool general;
        const char* message;
    } cases[] = {
        {inf, false, "a number that overflowed to infinity reached a printed table"},
        {-inf, true, "a number that overflowed to infinity reached a printed table"},
        {nan, false, "an undefined number (nan) reached a printed table"},
        {nan, true, "an undefined number (nan) reached a printed table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_BOMB(print_activity_column(c.x, c.general), "print_activity_column", c.message);
    }
    std::string line;
    addreal(4, true, 8, line, 0.5L);  // finite values print as before
    addgreal(8, line, 2.0L);
    EXPECT_EQ(line, "  0.5000       2");
}

}  // namespace
}  // namespace qv
