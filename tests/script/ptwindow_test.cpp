// The overall P-T window of a run and the P and T ranges of its calculations.

#include "script/ptwindow.hpp"

#include <gtest/gtest.h>

#include <string>

#include "base/fatal.hpp"
#include "script/windowfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::WindowRun;

bool contains(const std::string& out, const std::string& what) {
    return out.find(what) != std::string::npos;
}

TEST(OverallWindow, FromTheScriptWithoutQuestions) {
    WindowRun run;
    ScriptSettings s;
    s.diagramptcb = controlboolean::yes;
    run.w.pminall = 1, run.w.pmaxall = 12, run.w.tminall = 673.15L, run.w.tmaxall = 1073.15L;
    dofigPT(run.ses(), s, run.w);
    EXPECT_EQ(run.screen(),
              "\nspecification of overall PT window:\n"
              "overall PT window is P: 1.0 to 12.0 kbar, and T: 400 to 800\xA1"
              "C (from script)\n");
}

TEST(OverallWindow, TypedAfterTheAdvice) {
    WindowRun run("n\n0.5 20 300 700\n");
    ScriptSettings s;
    dofigPT(run.ses(), s, run.w);
    EXPECT_EQ(run.w.pminall, 0.5L);
    EXPECT_EQ(run.w.pmaxall, 20);
    EXPECT_REL_NEAR(run.w.tminall, 573.15L, 1e-18L);
    EXPECT_REL_NEAR(run.w.tmaxall, 973.15L, 1e-18L);
    const std::string& out = run.screen();
    EXPECT_TRUE(contains(out,
                         "\nwhereas quorvantis handles interactive input of overall PT window "
                         "information, in\nmost cases"));
    EXPECT_TRUE(contains(out, "diagram being drawn.\n\nstop, and put info in the scriptfile ? "));
    EXPECT_TRUE(contains(out,
                         "overall PT window: P low,high T low,high (in kbar, \xA1"
                         "C) : "));
    EXPECT_TRUE(contains(out,
                         "overall PT window is P: 0.5 to 20.0 kbar, and T: 300 to 700\xA1"
                         "C\n"));
    EXPECT_FALSE(contains(out, "(from script)"));

    // four numbers may come on more than one line
    WindowRun split("n\n1 10\n400 1226.85\n");
    dofigPT(split.ses(), s, split.w);
    EXPECT_REL_NEAR(split.w.tmaxall, 1500, 1e-18L);
    EXPECT_TRUE(contains(split.screen(), "and T: 400 to 1227\xA1"));
}

TEST(OverallWindow, OutsideTheLimitsEndsTheRun) {
    ScriptSettings s;
    const char* refused[] = {"0.5 20 300 2800", "0.5 20 5 700", "0.5 1500.1 300 700",
                             "20 0.5 300 700",  "1 10 700 300", "0 10 300 700"};
    for (const char* answer : refused) {
        WindowRun run("n\n" + std::string(answer) + "\n");
        EXPECT_BOMB(dofigPT(run.ses(), s, run.w), "dofigPT", "inappropriate PT window input");
    }
    WindowRun top("n\n0.5 1500 300 700\n");
    dofigPT(top.ses(), s, top.w);
    EXPECT_EQ(top.w.pmaxall, 1500);

    WindowRun stop("y\n");
    EXPECT_THROW(dofigPT(stop.ses(), s, stop.w), RunKilled);
}

constexpr const char* ptext = "P at which T of reactions to be calculated";
constexpr const char* ttext = "T window within which reactions expected to lie";

TEST(CalcRanges, TypedPressureRanges) {
    const struct {
        std::string answer;
        real low, high, inc;
    } cases[] = {
        {"\n", 1, 12, 0},
        {"5\n", 5, 5, 0},
        {"2 10\n", 2, 10, 0},
        {"2 10 2\n", 2, 10, 2},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answer);
        ScriptSettings s;
        s.calcpcb = controlboolean::no;
        s.calctcb = controlboolean::yes;
        run.w.pminall = 1, run.w.pmaxall = 12, run.w.tminall = 673.15L, run.w.tmaxall = 1073.15L;
        specifyptcalcs(run.ses(), s, run.w, 1, "", ptext, ttext);
        EXPECT_EQ(run.w.pwinlow, c.low) << c.answer;
        EXPECT_EQ(run.w.pwinhigh, c.high) << c.answer;
        EXPECT_EQ(run.w.pinc, c.inc) << c.answer;
        EXPECT_EQ(run.w.twinlow, 673.15L);
        EXPECT_EQ(run.w.twinhigh, 1073.15L);
        EXPECT_EQ(run.screen(), "\nspecification of PT calcs:\n" + std::string(ptext) +
                                    "\nP calcs: between P(low) and P(high), with P increment : "
                                    "using overall T window for the " +
                                    ttext + "\n");
    }
}

TEST(CalcRanges, ScriptRangesAreReportedNotAsked) {
    WindowRun run;
    ScriptSettings s;
    s.calcpcb = controlboolean::yes;
    s.calctcb = controlboolean::yes;
    run.w.pminall = 1, run.w.pmaxall = 12, run.w.tminall = 673.15L, run.w.tmaxall = 1073.15L;
    run.w.pwinlow = 2, run.w.pwinhigh = 8;
    run.w.twinlow = 773.15L, run.w.twinhigh = 873.15L;
    run.w.tformat = 0;
    specifyptcalcs(run.ses(), s, run.w, 3, "", ptext, ttext);
    EXPECT_EQ(run.screen(), "\nspecification of PT calcs:\n" + std::string(ptext) +
                                ": 2.000 to 8.000 kbar (from script)\n" + ttext +
                                ": 500 to 600\xA1"
                                "C (from script)\n");

    // mode 1 with the P range from the script: the T window is the overall one
    WindowRun one;
    s.calctcb = controlboolean::no;
    one.w.pminall = 1, one.w.pmaxall = 12, one.w.tminall = 673.15L, one.w.tmaxall = 1073.15L;
    one.w.pwinlow = one.w.pwinhigh = 5;
    specifyptcalcs(one.ses(), s, one.w, 1, "", ptext, ttext);
    EXPECT_TRUE(contains(one.screen(), ptext + std::string(": 5.000 kbar (from script)\n")));
    EXPECT_EQ(one.w.twinlow, 673.15L);
    EXPECT_EQ(one.w.twinhigh, 1073.15L);
}

TEST(CalcRanges, SwitchesAskedOnceForBoth) {
    WindowRun run("n\n");
    ScriptSettings s;
    s.calcpcb = s.calctcb = controlboolean::ask;
    run.w.pminall = 1, run.w.pmaxall = 12, run.w.tminall = 673.15L, run.w.tmaxall = 1073.15L;
    specifyptcalcs(run.ses(), s, run.w, 0, "phase diagram", ptext, ttext);
    EXPECT_EQ(s.calctcb, controlboolean::no);
    EXPECT_EQ(s.calcpcb, controlboolean::no);
    EXPECT_EQ(run.screen(),
              "\nspecification of PT calcs:\nuse PT calcs given in datafile ? "
              "using overall PT window for the phase diagram\n");
    EXPECT_EQ(run.w.pwinlow, 1);
    EXPECT_EQ(run.w.twinhigh, 1073.15L);

    WindowRun tonly("\n");
    s.calcpcb = controlboolean::yes;
    s.calctcb = controlboolean::ask;
    tonly.w.pminall = 1, tonly.w.pmaxall = 12;
    tonly.w.pwinlow = 3, tonly.w.pwinhigh = 4;
    specifyptcalcs(tonly.ses(), s, tonly.w, 2, "", "P window", "T at which");
    // "yes" to the question takes the script's T range, which is shown, not asked
    EXPECT_TRUE(contains(tonly.screen(), "P calcs set; use T calcs given in datafile ? "));
    EXPECT_EQ(s.calctcb, controlboolean::yes);
    EXPECT_TRUE(contains(tonly.screen(), "using overall P window for the P window\n"));
    EXPECT_EQ(tonly.w.pwinlow, 1);
    EXPECT_EQ(tonly.w.pwinhigh, 12);
}

// Each switch left at ask gets its own question; the other switch is not touched.
TEST(CalcRanges, QuestionOfEachSwitchLeftAtAsk) {
    constexpr auto yes = controlboolean::yes;
    constexpr auto no = controlboolean::no;
    constexpr auto ask = controlboolean::ask;
    const struct {
        controlboolean t, p;
        std::string question;
        controlboolean wantt, wantp;
    } cases[] = {
        {yes, ask, "T calcs set; use P calcs given in datafile ? ", yes, no},
        {ask, yes, "P calcs set; use T calcs given in datafile ? ", no, yes},
        {ask, no, "use T calcs given in datafile ? ", no, no},
        {no, ask, "use P calcs given in datafile ? ", no, no},
        {yes, no, "", yes, no},
    };
    for (const auto& c : cases) {
        WindowRun run("n\n");
        ScriptSettings s;
        s.calctcb = c.t;
        s.calcpcb = c.p;
        specifyptcalcs(run.ses(), s, run.w, 0, "diagram", ptext, ttext);
        EXPECT_EQ(run.screen(), "\nspecification of PT calcs:\n" + c.question +
                                    "using overall PT window for the diagram\n");
        EXPECT_EQ(s.calctcb, c.wantt) << c.question;
        EXPECT_EQ(s.calcpcb, c.wantp) << c.question;
    }
}

TEST(CalcRanges, TypedTemperatureRangeInDegrees) {
    WindowRun run("500 700 50\n");
    ScriptSettings s;
    s.calcpcb = controlboolean::yes;
    s.calctcb = controlboolean::no;
    specifyptcalcs(run.ses(), s, run.w, 2, "", "P window", "T at which");
    EXPECT_REL_NEAR(run.w.twinlow, 773.15L, 1e-18L);
    EXPECT_REL_NEAR(run.w.twinhigh, 973.15L, 1e-18L);
    EXPECT_EQ(run.w.tinc, 50);
    EXPECT_TRUE(contains(run.screen(),
                         "T at which\nT calcs: between T(low) and T(high), with T increment : "));
}

// A typed end at or below absolute zero, or a pressure of 0 kbar or below, would fail in every
// calculation: the range is asked again, and the next answer taken.
TEST(CalcRanges, TypedEndBelowZeroIsAskedAgain) {
    const std::string tq = "T calcs: between T(low) and T(high), with T increment : ";
    const std::string pq = "P calcs: between P(low) and P(high), with P increment : ";
    const struct {
        int mode;  // 1 a P range, 2 a T range
        std::string answers, refusal;
    } cases[] = {
        {2, "-273.15 700 100\n500 700 100\n", "T = -273.15: must be above absolute zero"},
        {2, "500 -300\n500 700 100\n", "T = -300: must be above absolute zero"},
        {2, "-280\n500 700 100\n", "T = -280: must be above absolute zero"},
        {1, "0 10 2\n2 10 2\n", "P = 0: must be above 0 kbar"},
        {1, "2 -1\n2 10 2\n", "P = -1: must be above 0 kbar"},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answers);
        ScriptSettings s;
        s.calcpcb = c.mode == 2 ? controlboolean::yes : controlboolean::no;
        s.calctcb = c.mode == 1 ? controlboolean::yes : controlboolean::no;
        run.w.pminall = 1, run.w.pmaxall = 12, run.w.tminall = 673.15L, run.w.tmaxall = 1073.15L;
        specifyptcalcs(run.ses(), s, run.w, c.mode, "", "P window", "T at which");
        const std::string& q = c.mode == 2 ? tq : pq;
        EXPECT_TRUE(contains(run.screen(), q + c.refusal + "\n" + q)) << run.screen();
        if (c.mode == 2) {
            EXPECT_REL_NEAR(run.w.twinlow, 773.15L, 1e-18L);
            EXPECT_REL_NEAR(run.w.twinhigh, 973.15L, 1e-18L);
        } else {
            EXPECT_EQ(run.w.pwinlow, 2);
            EXPECT_EQ(run.w.pwinhigh, 10);
        }
    }
}

}  // namespace
}  // namespace qv
