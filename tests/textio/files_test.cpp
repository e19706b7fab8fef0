#include "textio/files.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fakes.hpp"
#include "textio/channels.hpp"
#include "textio/heap.hpp"
#include "textio/stops.hpp"

namespace qv {
namespace {

struct Folder {
    explicit Folder(std::string input = {}) : t(std::move(input)) {
        dir.write("qv-prefs.txt", "dsfile 62\nscriptfile AFM\n");
        dir.write("qv-AFM.txt", "% script\n");
    }
    test::TempDir dir;
    test::TestSession t;
    RunFiles files;
};

TEST(Startlog, TablesBannerAndLog) {
    Folder f;
    startlog(f.t.ses, "QUORVANTIS 3.51");
    const Session& s = f.t.ses;
    EXPECT_EQ(s.tables.macheps, 1.0L / 18446744073709551616.0L);  // 2^-64
    EXPECT_EQ(s.tables.ordinals[3], "3rd");
    EXPECT_EQ(s.tables.ordinals[21], "21th");
    EXPECT_EQ(s.tables.ordinals[400], "400th");
    EXPECT_EQ(s.ch.activechannels, 9);
    EXPECT_EQ(s.datetimeline, "14.05 on Tue 8 Dec,2026");
    EXPECT_EQ(f.t.console.output, "\nQUORVANTIS 3.51 : calculating phase equilibria of rocks\n\n");
    closefiles(f.t.ses);
    EXPECT_EQ(f.dir.read("qv-log.txt"), "[display/print with fixed width font (eg Monaco)]\n\n\n");
}

TEST(Getcalcmode, FromPreferencesOrTheMenu) {
    Folder pref;
    pref.t.ses.prefs.prefscalcmode = 9;
    EXPECT_EQ(getcalcmode(pref.t.ses), 9);

    Folder f("2\n");
    EXPECT_EQ(getcalcmode(f.t.ses), 2);
    const std::string& out = f.t.console.output;
    EXPECT_NE(out.find("calcmode code : \nthis code can appear in the prefsfile (qv-prefs.txt) as\n"
                       "calcmode 2\n\n"),
              std::string::npos);

    Folder x("x\n");
    EXPECT_BOMB(getcalcmode(x.t.ses), "getcalcmode", "integer needed (1), between 0 and 3");
    Folder nine("9\n");
    EXPECT_BOMB(getcalcmode(nine.t.ses), "getcalcmode", "integer needed (2), between 0 and 3");
}

TEST(Startout, CreatesTheRunFilesAndErasesTheUnusedOnes) {
    Folder f;
    startlog(f.t.ses, "QUORVANTIS 3.51");
    startout(f.t.ses, f.files, false);
    EXPECT_EQ(f.files.scriptname, "qv-AFM.txt");
    EXPECT_TRUE(f.files.scriptfilevar.is_open());
    for (const char* name : {"qv-AFM-o.txt", "qv-AFM-vx.txt", "qv-AFM-it.txt", "qv-AFM-ic.txt",
                             "qv-AFM.csv", "qv-AFM-2.csv", "qv-AFM.svg"}) {
        EXPECT_TRUE(f.dir.exists(name)) << name;
    }
    putstr(f.t.ses, 0, "a,b", 1, 128);
    closefiles(f.t.ses);
    EXPECT_EQ(f.t.ses.ch.activechannels, 0);
    for (const char* name :
         {"qv-AFM-vx.txt", "qv-AFM-it.txt", "qv-AFM-ic.txt", "qv-AFM-2.csv", "qv-AFM.svg"}) {
        EXPECT_FALSE(f.dir.exists(name)) << name;
    }
    EXPECT_EQ(f.dir.read("qv-AFM.csv"), "a,b\n");
    EXPECT_EQ(f.dir.read("qv-AFM-o.txt"), "");  // the summary stays, even empty
    EXPECT_TRUE(f.dir.exists("qv-log.txt"));
}

TEST(Promptdatafile, AsksForAMissingSuffixAndStopsOnAMissingFile) {
    Folder f("AFM\n");
    std::string name;
    std::string suffix;
    InFile in;
    promptdatafile(f.t.ses, name, "qv-", suffix, "script info", in);
    EXPECT_EQ(suffix, "AFM");
    EXPECT_EQ(name, "qv-AFM.txt");
    EXPECT_EQ(f.t.console.output, "suffix to name for script info datafile : ");

    Folder missing;
    suffix = "BCD";
    EXPECT_BOMB(promptdatafile(missing.t.ses, name, "qv-", suffix, "", in), "promptdatafile",
                "datafile needed");
    EXPECT_EQ(missing.t.console.output, "\ncannot locate file \"qv-BCD.txt\"\n");
}

TEST(Openwrite, AFileThatCannotBeCreatedIsFatal) {
    Folder f;
    std::string name;
    OutFile out;
    EXPECT_BOMB(openwrite(name, "no-such-folder/", "x.txt", out), "openwrite",
                "can't create file \"no-such-folder/x.txt\"");
}

TEST(Showelapsed, MillisecondsBelowFiveSecondsElseWholeSeconds) {
    test::TestSession t;
    t.clock.step = 1234;
    t.ses.starttime = t.clock.millis();
    t.ses.gemcount = 77;
    showelapsed(t.ses);
    t.clock.step = 6789;
    t.ses.starttime = t.clock.millis();
    showelapsed(t.ses);
    EXPECT_EQ(t.console.output, "elapsed = 1234 msecs, n = 77\nelapsed = 6 secs, n = 77\n");
}

TEST(Heap, ReportsAllocationsWhenMonitored) {
    test::TestSession t;
    t.ses.prefs.monitorheapon = true;
    allocspace(t.ses, "c", 20800);
    disposespace(t.ses, "c", 20800);
    allocspace(t.ses, "r", 2560);  // 2.5k: halves round up, not to even
    EXPECT_EQ(t.console.output,
              "space allocated for c is 20k; , heap now 20k\nspace disposed for c; heap size now "
              "0k\nspace allocated for r is 3k; , heap now 3k\n");
}

TEST(Rstrings, AFileLineIsATextOf255Characters) {
    test::TempDir dir;
    test::TestSession t;
    dir.write("in.txt", std::string(254, ' ') + "xy z\n");
    InFile f;
    ASSERT_TRUE(f.open("in.txt"));
    strings words;
    int16 n = 0;
    rstrings(t.ses, f, words, n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(words[1], "x");
}

TEST(InputBytes, ANulByteIsReadAsTheTextBackslashZeroAndNeverEchoedRaw) {
    Folder f(std::string("y") + '\0' + "es\n");
    f.dir.write("qv-x.txt", std::string("ntp 1") + '\0' + "2\n");
    InFile in;
    ASSERT_TRUE(in.open("qv-x.txt"));
    strings words;
    int16 n = 0;
    rstrings(f.t.ses, in, words, n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(words[2], "1\\02");
    EXPECT_BOMB(getinteger(whatis(words[2]), words[2], "ntp"), "getinteger",
                "expecting an integer (1); got: 1\\02 - ntp");
    std::string line;
    ASSERT_TRUE(f.t.console.readline(line));
    EXPECT_EQ(line, "y\\0es");
}

// Closing reports a failure of the system's close: here the descriptor was closed beneath the
// file, found among the open descriptors of the process by the file it names.
TEST(InFile, ACloseThatFailsIsReported) {
    test::TempDir dir;
    dir.write("qv-ax.txt", "g\n");
    const std::filesystem::path file = std::filesystem::canonical(dir.path() / "qv-ax.txt");
    InFile f;
    ASSERT_TRUE(f.open("qv-ax.txt"));
    int closed = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(e.path(), ec) == file) {
            closed += ::close(std::stoi(e.path().filename().string())) == 0 ? 1 : 0;
        }
    }
    ASSERT_EQ(closed, 1);
    EXPECT_FALSE(f.close());
    EXPECT_FALSE(f.is_open());
    InFile g;
    ASSERT_TRUE(g.open("qv-ax.txt"));
    EXPECT_TRUE(g.close());
    EXPECT_TRUE(g.close());  // closing a closed file does nothing
}

// Every kind of line end at every position of the file's blocks: lines of one character with
// "\r\n" after a lead of 0, 1 or 2 bytes (so that in one of the files a "\r\n" is split by any
// block boundary), then "\r" and "\n" ends, a NUL byte and a last line without a line end. The
// lines are checked against a plain split of the text.
TEST(InFile, LineEndsAcrossTheBlocksOfALongFile) {
    test::TempDir dir;
    for (int lead = 0; lead < 3; ++lead) {
        std::string text(static_cast<std::size_t>(lead), 'z');
        for (int i = 0; i < 12000; ++i) text += i % 7 == 0 ? "\r\n" : "a\r\n";
        text += std::string("b\rc\n\nd") + '\0' + "e\r\rf";
        std::vector<std::string> expected(1);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\n' || c == '\r') {
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
                expected.emplace_back();
            } else if (c == '\0') {
                expected.back() += "\\0";
            } else {
                expected.back() += c;
            }
        }
        dir.write("lines.txt", text);
        InFile f;
        ASSERT_TRUE(f.open("lines.txt"));
        for (int pass = 0; pass < 2; ++pass) {
            std::string line;
            std::size_t k = 0;
            while (!f.eof()) {
                ASSERT_TRUE(f.readline(line));
                ASSERT_LT(k, expected.size());
                ASSERT_EQ(line, expected[k]) << "lead " << lead << ", line " << k + 1;
                ++k;
            }
            EXPECT_EQ(k, expected.size());
            EXPECT_FALSE(f.readline(line));
            EXPECT_EQ(line, "");
            f.rewind();
        }
    }
}

TEST(Fatal, BombWritesTheStopOnScreenSummaryLogAndDetails) {
    Folder f("\n");
    startlog(f.t.ses, "QUORVANTIS 3.51");
    startout(f.t.ses, f.files, false);
    f.t.console.output.clear();
    endbombed(f.t.ses, RunBombed{"readthermo", "too many end-members", myfault});
    const std::string text =
        "\n-- run bombed in readthermo : too many end-members\n\n"
        "===This shouldn't have happened...===\n"
        "please report it to the QUORVANTIS maintainers, as an issue of the project,\n"
        "with full details, relevant files etc etc\n\n";
    EXPECT_EQ(f.t.console.output, text + "\n\nhit return to exit program\n");
    EXPECT_EQ(f.dir.read("qv-AFM-o.txt"), text);
    EXPECT_FALSE(f.dir.exists("qv-AFM-ic.txt"));  // the stop text alone does not keep it
    const std::string log = f.dir.read("qv-log.txt");
    EXPECT_EQ(log.substr(log.size() - text.size()), text);
}

TEST(Fatal, BeforeTheLogOnlyTheScreenAndNoWaitWithAutoexit) {
    test::TestSession t;
    t.ses.autoexiton = true;
    endbombed(t.ses, RunBombed{"readprefs", "can't open \"qv-prefs.txt\"", yourfault});
    EXPECT_EQ(t.console.output, "\n-- run bombed in readprefs : can't open \"qv-prefs.txt\"\n\n\n");
}

TEST(Fatal, KillWritesOnScreenSummaryAndLog) {
    Folder f;
    startlog(f.t.ses, "QUORVANTIS 3.51");
    startout(f.t.ses, f.files, false);
    f.t.console.output.clear();
    endkilled(f.t.ses);
    EXPECT_EQ(f.t.console.output, "\n-- run killed --\n\n");
    EXPECT_EQ(f.dir.read("qv-AFM-o.txt"), "\n-- run killed --\n");
}

// Results written to a full device are lost: each way a write can fail ends the run as a fatal
// stop that names the file.
TEST(FullDevice, EveryFailedWriteIsAFatalStopNamingTheFile) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const auto runfiles = [](Folder& f) {
        std::filesystem::create_symlink("/dev/full", "qv-AFM-ic.txt");
        startlog(f.t.ses, "QUORVANTIS 3.51");
        startout(f.t.ses, f.files, false);
        f.t.console.output.clear();
    };
    {  // the flush before each read
        Folder f("\n");
        runfiles(f);
        putstr(f.t.ses, 0, "a result line", 1, 16);
        EXPECT_BOMB(flushfiles(f.t.ses), "flushfiles", "problem writing qv-AFM-ic.txt");
        try {
            flushfiles(f.t.ses);
        } catch (const RunBombed& stop) {
            endbombed(f.t.ses, stop);
        }
        const std::string text =
            "\n-- run bombed in flushfiles : problem writing qv-AFM-ic.txt\n\n";
        EXPECT_EQ(f.t.console.output, text + "\n\nhit return to exit program\n");
        EXPECT_EQ(f.dir.read("qv-AFM-o.txt"), text);
    }
    {  // more than the stream holds
        Folder f;
        runfiles(f);
        const auto flood = [&f] {
            for (int i = 0; i < 100; ++i) putstr(f.t.ses, 0, std::string(200, 'x'), 1, 16);
        };
        EXPECT_BOMB(flood(), "writefile", "problem writing qv-AFM-ic.txt");
        closefiles(f.t.ses);
    }
    {  // the last flush, at closing
        Folder f;
        runfiles(f);
        putstr(f.t.ses, 0, "a result line", 1, 16);
        closefiles(f.t.ses);
        EXPECT_EQ(f.t.ses.ch.writeproblem, "qv-AFM-ic.txt");
    }
}

}  // namespace
}  // namespace qv
