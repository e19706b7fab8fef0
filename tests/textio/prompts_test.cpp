#include "textio/prompts.hpp"

#include <gtest/gtest.h>

#include "support/fakes.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/stops.hpp"

namespace qv {
namespace {

// A session with screen and log open; the log is read back after closing.
struct LoggedSession {
    explicit LoggedSession(std::string input) : t(std::move(input)) {
        std::string name;
        openwrite(name, "", "log.txt", t.ses.ch.files[3]);
        t.ses.ch.activechannels |= logmask;
    }
    std::string log() {
        closefiles(t.ses);
        return dir.read("log.txt");
    }
    test::TempDir dir;
    test::TestSession t;
};

TEST(Promptstrings, EchoesTheAnswerToTheLog) {
    struct Case {
        const char* answer;
        int16 n;
        const char* logline;
    } const cases[] = {
        {"", 0, "phases : (nothing input)\n"},
        {"  q ", 1, "phases : q\n"},
        {"a b", 2, "phases :  a b \n"},
        {"ab\bc", 1, "phases : ac\n"},  // a backspace removes the character before it
    };
    for (const Case& c : cases) {
        LoggedSession s(std::string(c.answer) + "\n");
        strings words;
        int16 n = -1;
        promptstrings(s.t.ses, "phases", words, n);
        EXPECT_EQ(n, c.n);
        EXPECT_EQ(s.t.console.output, "phases : ");
        EXPECT_EQ(s.log(), c.logline);
    }
}

TEST(Promptstrings, KillAloneEndsTheRunButNotAsASecondWord) {
    test::TestSession t("kill\nq kill\n");
    strings words;
    int16 n = 0;
    EXPECT_THROW(promptstrings(t.ses, "phases", words, n), RunKilled);
    promptstrings(t.ses, "phases", words, n);
    EXPECT_EQ(n, 2);
}

TEST(Prompts, TheEndOfInputIsAReadErrorNotAnAnswer) {
    test::TestSession t("");
    strings words;
    int16 n = 0;
    real x = 0;
    controlboolean cb = controlboolean::ask;
    EXPECT_BOMB(promptstrings(t.ses, "p", words, n), "read in prstrings", "problems reading");
    EXPECT_BOMB(promptreal(t.ses, "p", x), "read in prstrings", "problems reading");
    EXPECT_BOMB(query(t.ses, "p"), "read in prstrings", "problems reading");
    EXPECT_BOMB(promptcontrol(t.ses, "p", cb), "read in prstrings", "problems reading");
    EXPECT_TRUE(query(t.ses, "all done - hit return to exit", true));
}

TEST(Prstrings, AnAnswerIsATextOf255Characters) {
    // The characters after the 255th are lost: "ab" straddles the cut.
    test::TestSession t(std::string(254, ' ') + "ab c\n" + std::string(260, ' ') + "kill\n");
    strings words;
    int16 n = 0;
    prstrings(t.ses, words, n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(words[1], "a");
    EXPECT_TRUE(query(t.ses, "continue"));  // a blank answer (yes) once cut, not "kill"
}

TEST(Promptreal, AsksAgainWithTheConversionMessage) {
    test::TestSession t("abc\n\n2.5 x\n");
    real x = 0;
    promptreal(t.ses, "T", x);
    EXPECT_EQ(x, 2.5L);
    EXPECT_EQ(t.console.output, "T : abc not a real: replace with :   : ");
}

TEST(Promptinteger, RefusesValuesBeyondSixteenBits) {
    test::TestSession t("40000\n7\n");
    int16 i = 0;
    promptinteger(t.ses, "n", i);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(t.console.output, "n : 40000 too large: replace with : ");
    test::TestSession k("kill 3\n");
    EXPECT_THROW(promptinteger(k.ses, "n", i), RunKilled);
}

TEST(Promptreals, ReadsFurtherLinesUntilEnoughValues) {
    test::TestSession t("1 2\n3\n");
    rrvector xs;
    int16 n = 3;
    promptreals(t.ses, "P T x", xs, n);
    EXPECT_EQ(xs[1], 1);
    EXPECT_EQ(xs[2], 2);
    EXPECT_EQ(xs[3], 3);

    test::TestSession bad("1 q\n4\n");
    n = 0;
    promptreals(bad.ses, "values", xs, n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(xs[2], 4);
    EXPECT_EQ(bad.console.output, "values : q not a real: replace with : ");

    // After an empty answer the prompt is a single blank; "kill" anywhere in the line ends the run.
    test::TestSession empty("1 q\n\n4\n");
    n = 2;
    promptreals(empty.ses, "values", xs, n);
    EXPECT_EQ(xs[2], 4);
    EXPECT_EQ(empty.console.output, "values : q not a real: replace with :   : ");
    test::TestSession k("1 kill\n");
    n = 0;
    EXPECT_THROW(promptreals(k.ses, "values", xs, n), RunKilled);
}

TEST(Promptreals, RefusesMoreThanFortyValuesAndAsksAgain) {
    std::string many;
    for (int i = 1; i <= 41; ++i) many += "1 ";
    test::TestSession t(many + "\n5 6\n");
    rrvector xs;
    int16 n = 0;
    promptreals(t.ses, "values", xs, n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(xs[1], 5);
    EXPECT_EQ(t.console.output, "values : too many values (max = 40) \nvalues : ");
}

TEST(Query, YesAnswersAndTheHelpMark) {
    struct Case {
        const char* answer;
        bool yes;
    } const cases[] = {{"", true},    {"1", true},   {"yes", true}, {"y", true},  {" Y ", true},
                       {"no", false}, {"ok", false}, {"n", false},  {"yy", false}};
    for (const Case& c : cases) {
        test::TestSession t(std::string(c.answer) + "\n");
        EXPECT_EQ(query(t.ses, "continue"), c.yes) << c.answer;
    }
    LoggedSession s("?\n?\n");
    EXPECT_FALSE(query(s.t.ses, "continue"));
    EXPECT_EQ(s.t.console.output, "continue ? \nsorry, you are on your own...\n\ncontinue ? ");
    EXPECT_EQ(s.log(), "continue ? \nsorry, you are on your own...\n\ncontinue ? no\n");
    test::TestSession k(" kill\n");
    EXPECT_THROW(query(k.ses, "continue"), RunKilled);
}

TEST(Promptcontrol, ResolvesAskOnly) {
    struct Case {
        const char* answer;
        controlboolean result;
    } const cases[] = {{"ok", controlboolean::yes},
                       {"", controlboolean::yes},
                       {"Y", controlboolean::no},
                       {"?", controlboolean::no}};
    for (const Case& c : cases) {
        test::TestSession t(std::string(c.answer) + "\n");
        controlboolean cb = controlboolean::ask;
        promptcontrol(t.ses, "batch", cb);
        EXPECT_EQ(cb, c.result) << c.answer;
    }
    test::TestSession t("");
    controlboolean cb = controlboolean::no;
    promptcontrol(t.ses, "batch", cb);  // nothing asked, nothing read
    EXPECT_EQ(cb, controlboolean::no);
    EXPECT_EQ(t.console.output, "");

    LoggedSession s(" ok \n");
    cb = controlboolean::ask;
    promptcontrol(s.t.ses, "batch", cb);
    EXPECT_EQ(s.log(), "batch ? yes\n");
    test::TestSession k("kill\n");
    cb = controlboolean::ask;
    EXPECT_THROW(promptcontrol(k.ses, "batch", cb), RunKilled);
}

TEST(Prompts, TheTeChannelIsNotImplemented) {
    test::TestSession t("y\n");
    t.ses.ch.activechannels = 2;
    strings words;
    int16 n = 0;
    controlboolean cb = controlboolean::ask;
    EXPECT_BOMB(promptstrings(t.ses, "p", words, n), "promptstrings", "TE not impemented yet");
    EXPECT_BOMB(promptcontrol(t.ses, "p", cb), "promptcontrol", "TE not impemented yet");
    t.ses.ch.activechannels = 3;  // the question is asked on the screen, then refused
    EXPECT_BOMB(query(t.ses, "p"), "query", "TE not impemented yet");
    EXPECT_EQ(t.console.output, "p ? ");
}

TEST(Iskill, LowerCaseWholeWordOnly) {
    EXPECT_TRUE(iskill("kill"));
    EXPECT_TRUE(iskill("  kill "));
    EXPECT_FALSE(iskill("kil"));
    EXPECT_FALSE(iskill("Kill"));
    EXPECT_FALSE(iskill("killer"));
}

}  // namespace
}  // namespace qv
