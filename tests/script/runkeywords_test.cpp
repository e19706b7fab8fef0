// Run set-up keywords: windows in K and kbar, levels, figure, strict reading, switches.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "script/readscripts.hpp"
#include "script/scriptfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::mandatory;
using test::ScriptRun;

bool contains(const std::string& out, const std::string& what) {
    return out.find(what) != std::string::npos;
}

TEST(CalcWindows, ValuesReachTheWindowsInKelvinAndKbar) {
    ScriptRun run;
    run.read(mandatory + "calcT 500 700 50\ncalcP 2 8 0.5\n");
    EXPECT_REL_NEAR(run.w.twinlow, 773.15L, 1e-18L);
    EXPECT_REL_NEAR(run.w.twinhigh, 973.15L, 1e-18L);
    EXPECT_EQ(run.w.tinc, 50);
    EXPECT_EQ(run.s.calctcb, controlboolean::yes);
    EXPECT_EQ(run.w.pwinlow, 2);
    EXPECT_EQ(run.w.pwinhigh, 8);
    EXPECT_EQ(run.w.pinc, 0.5L);
    EXPECT_EQ(run.s.calcpcb, controlboolean::yes);
    // the diagram window, T in kelvin
    EXPECT_EQ(run.w.pminall, 1);
    EXPECT_EQ(run.w.pmaxall, 10);
    EXPECT_REL_NEAR(run.w.tminall, 673.15L, 1e-18L);
    EXPECT_REL_NEAR(run.w.tmaxall, 1073.15L, 1e-18L);
    EXPECT_EQ(run.s.diagramptcb, controlboolean::yes);
}

TEST(CalcWindows, OneValueSwitchWordsAndSwappedRanges) {
    ScriptRun one;
    one.read(mandatory + "calcT on 500\ncalcP 4\n");
    EXPECT_REL_NEAR(one.w.twinlow, 773.15L, 1e-18L);
    EXPECT_EQ(one.w.twinlow, one.w.twinhigh);
    EXPECT_EQ(one.s.calctcb, controlboolean::yes);
    EXPECT_EQ(one.w.pwinlow, 4);
    EXPECT_EQ(one.w.pwinhigh, 4);

    ScriptRun off;
    off.read(mandatory + "calcT no 600\n");
    EXPECT_EQ(off.s.calctcb, controlboolean::no);
    EXPECT_EQ(off.t.ses.prefs.scriptproblems, 0);

    ScriptRun swapped("n\n");
    swapped.read(mandatory + "calcT 600 400\n");
    EXPECT_TRUE(contains(swapped.screen(),
                         "\nfor calcT, the 2nd T in the T range must be larger than the 1st T\n"));
    EXPECT_REL_NEAR(swapped.w.twinlow, 673.15L, 1e-18L);
    EXPECT_REL_NEAR(swapped.w.twinhigh, 873.15L, 1e-18L);
    EXPECT_EQ(swapped.s.calctcb, controlboolean::no);
}

TEST(CalcWindows, ValuesOutsideTheLimitsGiveDefaultsAndMessages) {
    ScriptRun cold("n\n");
    cold.read(mandatory + "calcT 5\n");
    EXPECT_TRUE(contains(cold.screen(),
                         "\nfor calcT, the one T needs to be greater than 10\xA1"
                         "C; default used\n"));
    EXPECT_EQ(cold.w.twinlow, 283);
    EXPECT_EQ(cold.s.calctcb, controlboolean::no);
    EXPECT_EQ(cold.t.ses.prefs.scriptproblems, 1);

    ScriptRun none("n\n");
    none.read(mandatory + "calcP\n");
    EXPECT_TRUE(contains(none.screen(), "\nfor calcP1, 2 or 3 numbers needed"));
    EXPECT_EQ(none.w.pwinlow, 1);
    EXPECT_EQ(none.w.pwinhigh, 10);
    EXPECT_EQ(none.s.calcpcb, controlboolean::no);

    // the top of a calculation range is tested against the diagram's top, which the message names
    ScriptRun high("n\n");
    high.read(mandatory + "calcP 2 12\n");
    EXPECT_TRUE(contains(high.screen(),
                         "for calcP, the top of the P range needs to be less than 10.0 kbar; "
                         "default used\n"));
    EXPECT_EQ(high.w.pwinlow, 2);
    EXPECT_EQ(high.w.pwinhigh, 10);

    ScriptRun low("n\n");
    low.read(mandatory + "calcP 0 4\n");
    EXPECT_TRUE(contains(low.screen(),
                         "for calcP, the bottom of the P range needs to be greater than 1.0 kbar"));
    EXPECT_EQ(low.w.pwinhigh, 4);
}

TEST(DiagramPT, TooFewNumbersAndRangesBeyondTheLimits) {
    ScriptRun three("n\n");
    EXPECT_BOMB(three.read("axfile tc\nwith q\ndiagramPT 1 10 \\\n 400\n"), "reading scripts",
                "add mandatory scripts to scriptfile");
    EXPECT_TRUE(
        contains(three.screen(), "\nfor diagramPT, 4 numbers needed to define a PT rectangle\n"));
    EXPECT_EQ(three.s.diagramptcb, controlboolean::no);

    ScriptRun wide("n\n");
    EXPECT_BOMB(wide.read("axfile tc\nwith q\nfigurePT 0 2000 400 800\n"), "reading scripts",
                "add mandatory scripts to scriptfile");
    EXPECT_TRUE(contains(wide.screen(),
                         "for figurePT, the P range needs to be within 0.0009 kbar "
                         "to 1500.0 kbar; default used\n"));
    EXPECT_EQ(wide.w.pmaxall, 1500);

    ScriptRun hot("n\n");
    EXPECT_BOMB(hot.read("axfile tc\nwith q\ndiagramPT 1 10 400 3000\n"), "reading scripts",
                "add mandatory scripts to scriptfile");
    EXPECT_TRUE(contains(hot.screen(),
                         "for diagramPT, the top of the T range needs to be less "
                         "than 2727 \xA1"
                         "C; default used\n"));
    EXPECT_REL_NEAR(hot.w.tminall, 673.15L, 1e-18L);
    EXPECT_EQ(hot.w.tmaxall, 3000);
}

TEST(Levels, OutOfRangeGivesTheMessageAndTheDefault) {
    ScriptRun run("n\n");
    run.read(mandatory + "debuglevel 9\ndebuglevelq 3\noutlevel 0\n");
    EXPECT_TRUE(contains(run.screen(),
                         "\nfor debuglevel, info given is \"9\", but limits are 0 to 6\n"
                         "an integer will be prompted for\n"));
    EXPECT_EQ(run.s.debuglev, 1);
    EXPECT_EQ(run.s.debuglevq, 3);
    EXPECT_EQ(run.s.outputlevel, 0);
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 1);

    ScriptRun zero;
    zero.read(mandatory + "debuglevel 0\n");
    // a single calculation is lifted to debug level 1 at the end of reading
    EXPECT_EQ(zero.s.debuglev, 1);
}

TEST(StrictScripting, TurnsABadValueIntoAStop) {
    ScriptRun strict;
    EXPECT_BOMB(strict.read(mandatory + "strictscripting\nsetfluid abc\n"),
                "reading script for setfluid", "real expected");
    ScriptRun limits;
    EXPECT_BOMB(limits.read(mandatory + "strictscripting\nmaxsdt 10\n"),
                "reading script for maxsdt", "real inappropriate");
    ScriptRun lax("n\n");
    lax.read(mandatory + "strictscripting no\nsetfluid abc\n");
    EXPECT_TRUE(contains(lax.screen(),
                         "\nfor setfluid, info given is \"abc\"\n"
                         "a real will be prompted for\n"));
    EXPECT_EQ(lax.s.setfluidcb, controlboolean::no);
    EXPECT_EQ(lax.s.xh2ocur, 1);
}

TEST(Figure, KindsAndTheStopForAnUnknownOne) {
    ScriptRun run;
    run.read(mandatory + "fig Px(CO2)\n");
    EXPECT_EQ(run.s.figuretype, 2);
    EXPECT_TRUE(run.s.xco2figure);
    ScriptRun bad;
    EXPECT_BOMB(bad.read(mandatory + "figure Tx\n"), "reading scripts",
                "Tx not recognised (remove from scriptfile)");
}

TEST(RunKeywords, SchreinemakersIsTheOppositeOfAllReactions) {
    const std::pair<const char*, controlboolean> cases[] = {
        {"schreinemakers yes\n", controlboolean::no},
        {"doschreinemakers no\n", controlboolean::yes},
        {"schreinemakers\n", controlboolean::no},
        {"doallreactions no\nschreinemakers ask\n", controlboolean::no},
        {"doallreactions\n", controlboolean::yes},
        {"", controlboolean::ask},
    };
    for (const auto& [text, want] : cases) {
        ScriptRun run;
        run.read(mandatory + text);
        EXPECT_EQ(run.s.doallreactionscb, want) << text;
    }
}

TEST(RunKeywords, SwitchesBooleansAndValues) {
    ScriptRun run;
    run.read(mandatory +
             "calcTatP no\ndoallr\nschreinemakers ask\nprintguessform no\nhqz\nnumerical no\n"
             "setfluid 0.25\nmaxsdp no\nsetrockname mygneiss\nptforaxe 8 650\nvexlat 1\n"
             "utilitycode 3\ntablecode abc\ncompatibility\ncalcsdnle\nlsqds\nprojection\n");
    const ScriptSettings& s = run.s;
    EXPECT_EQ(s.calctatpcb, controlboolean::no);
    EXPECT_EQ(s.doallreactionscb, controlboolean::yes);  // "schreinemakers ask" changes nothing
    EXPECT_EQ(s.printxyzcb, controlboolean::no);
    EXPECT_TRUE(s.hqzon);
    EXPECT_FALSE(s.numericalon);
    EXPECT_EQ(s.xco2cur, 0.25L);
    EXPECT_EQ(s.xh2ocur, 0.75L);
    EXPECT_EQ(s.maxsdp, 5);
    EXPECT_EQ(s.maxsdt, 0);
    EXPECT_EQ(s.runtitle, "mygneiss");
    EXPECT_EQ(s.ptforaxet, 650);
    EXPECT_EQ(s.vexlatvalue, 1);
    EXPECT_EQ(s.utilitycode, 3);
    EXPECT_EQ(s.tablecode, -1);
    EXPECT_EQ(s.vexlatcb, controlboolean::no);      // switched off by "compatibility"
    EXPECT_EQ(s.projectioncb, controlboolean::no);  // switched off by "lsqds"
    EXPECT_TRUE(contains(run.screen(), "calcsdnle not available in du351\n"));
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 0);
    // untouched defaults
    EXPECT_EQ(s.defsdaparamscb, controlboolean::yes);
    EXPECT_EQ(s.dataokcb, controlboolean::ask);
    EXPECT_EQ(s.rockname, "my rock");
}

TEST(RunKeywords, SwitchNoKeepsTheDefaultValue) {
    ScriptRun run;
    run.read(mandatory +
             "debuglevel no 3\ndebuglevelq no 2\noutlevel no 0\nvexlat no 1\nfigure no Tx\n"
             "utilitycode no 1\ntablecode no 2\n");
    const ScriptSettings& s = run.s;
    EXPECT_EQ(s.debuglev, 1);
    EXPECT_EQ(s.debuglevq, 1);
    EXPECT_EQ(s.outputlevel, 1);
    EXPECT_EQ(s.vexlatcb, controlboolean::no);
    EXPECT_EQ(s.vexlatvalue, 0);
    EXPECT_EQ(s.figuretype, 0);
    EXPECT_EQ(s.utilitycode, -1);
    EXPECT_EQ(s.tablecode, -1);
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 0);
}

TEST(RunKeywords, ConvergenceEchoAndCalctypeLimits) {
    ScriptRun run;
    run.opt = test::rockscript;
    run.read(mandatory + "convergence 1e-9 0 0.001 1e-5\ncalctype 2\n");
    EXPECT_TRUE(contains(run.screen(), "conv: 1e-9\n0 \n1e-3\n1e-5\n"));
    EXPECT_EQ(run.s.convergence[3], 0.001L);
    EXPECT_EQ(run.s.calctype, 2);

    ScriptRun bad("n\n");
    bad.opt = test::rockscript;
    bad.read(mandatory + "calctype 3\n");
    EXPECT_EQ(bad.s.calctype, 0);
    EXPECT_EQ(bad.s.calctypecb, controlboolean::no);
}

TEST(RunKeywords, DiscontinuedExbuffStops) {
    ScriptRun run;
    EXPECT_BOMB(run.read(mandatory + "exbuff\n"), "reading scripts",
                "exit, and use one of the new scripts");
    EXPECT_TRUE(contains(run.screen(), "\"figure T-x(CO2)\" or \"figure P-x(CO2)\"\n"));
}

}  // namespace
}  // namespace qv
