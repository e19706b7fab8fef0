// The script file: entries over several lines, comments, unrecognised keywords, mandatory
// keywords, the value record and the passes of the loop of runs.

#include "script/readscripts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fatal.hpp"
#include "script/scriptfixture.hpp"
#include "script/scriptreader.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::mandatory;
using test::ScriptRun;

std::string repeat(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

TEST(ScriptEntries, ContinuationJoinsLinesAndCommentsComeOffFirst) {
    ScriptRun run;
    run.read(
        "axfile tc\ndiagramPT 1 10 400 800\n"
        "with q ky \\\n  sill and % a comment \\\n"
        "inexcess q \\ % the comment goes, then the last word continues\n"
        "  H2O\n");
    // the in-excess H2O joins the phases of the run at the end of reading
    ASSERT_EQ(run.s.nwithphases, 5);
    EXPECT_EQ(run.s.withlist[3], "sill");
    EXPECT_EQ(run.s.withlist[4], "and");
    EXPECT_EQ(run.s.withlist[5], "H2O");
    ASSERT_EQ(run.s.ninexcess, 2);
    EXPECT_EQ(run.s.inexcesslist[2], "H2O");
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 0);
}

TEST(ScriptEntries, BlankLineOrBackslashAloneEndsAnEntry) {
    ScriptRun run("n\n");
    run.read(mandatory + "inexcess q \\\n\nky\ninexcess0 H2O \\\n\\\nsill\n");
    EXPECT_EQ(run.s.ninexcess0, 1);
    ASSERT_EQ(run.s.ninexcess, 2);  // q, and H2O from inexcess0
    EXPECT_EQ(run.s.inexcesslist[2], "H2O");
    // "ky" and "sill" became keywords of their own
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 2);
    EXPECT_NE(run.screen().find("the script, \"ky\", is unrecognised"), std::string::npos);
}

TEST(ScriptEntries, FortyNineLinesJoinAndTheFiftiethStops) {
    // 49 lines of one word each join into one entry (whose 48 values are then too many)
    ScriptRun joined;
    EXPECT_BOMB(joined.read("with \\\n" + repeat("p \\\n", 47) + "p\n"), "reading script for with",
                "too much info");
    ScriptRun fifty;
    EXPECT_BOMB(fifty.read("with \\\n" + repeat("p \\\n", 48) + "p\n"), "readcontrol",
                "multiline gone berko");
}

TEST(ScriptEntries, StarEntryEndsTheScript) {
    ScriptRun run;
    run.read(mandatory + "*end of script\nnonsense here\n");
    EXPECT_EQ(run.t.ses.prefs.scriptproblems, 0);
}

TEST(ScriptEntries, FortyValuesFitAndFortyOneAreTooMuchInfo) {
    ScriptRun ok;
    ok.read("axfile tc\ndiagramPT 1 10 400 800\nwith" + repeat(" p", 40) + "\n");
    EXPECT_EQ(ok.s.nwithphases, 40);
    ScriptRun bad;
    EXPECT_BOMB(bad.read("with" + repeat(" p", 41) + "\n"), "reading script for with",
                "too much info");
}

TEST(ScriptEntries, UnrecognisedKeywordsAreReportedAndOfferAStop) {
    // duDA+ and its lower-case form are not keywords of this version, nor is "mineral"
    for (const char* word : {"duDA+", "duda+", "mineral", "uncertainties", "CalcT"}) {
        ScriptRun run("y\n");
        EXPECT_THROW(run.read(mandatory + word + " yes 600\n"), RunKilled) << word;
        const std::string expected = std::string("\nthe script, \"") + word +
                                     "\", is unrecognised (or discontinued)\n"
                                     "\nthere are script problems listed immediately above:\n"
                                     "exit, and correct the scriptfile ? ";
        EXPECT_NE(run.screen().find(expected), std::string::npos) << run.screen();
    }
    ScriptRun goon("n\n");
    goon.read(mandatory + "duDA+\n");
    EXPECT_EQ(goon.t.ses.prefs.scriptproblems, 1);
    EXPECT_FALSE(goon.s.scriptopen);
}

TEST(ScriptMandatory, CommentsOnlyExplainEachMissingKeywordAndStop) {
    ScriptRun run;
    run.opt.pseudosectionmandatory = true;
    EXPECT_BOMB(run.read("% nothing but comments\n\n   % and blanks\n"), "reading scripts",
                "add mandatory scripts to scriptfile");
    const std::string& out = run.screen();
    const std::size_t a = out.find("\n1) new in ro350, the \"axfile\" script is mandatory");
    const std::size_t b = out.find("\n2) new in ro350, the \"with\" script is mandatory");
    const std::size_t c = out.find("\n3) new in ro350, the \"diagramPT\" script is mandatory");
    const std::size_t d = out.find("\n4) new in ro350, the \"pseudosection\" script is mandatory");
    ASSERT_NE(a, std::string::npos) << out;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_NE(d, std::string::npos);
    EXPECT_NE(out.find("in kbar and \xA1"
                       "C."),
              std::string::npos);
    EXPECT_EQ(out.find("in addition to the absence"), std::string::npos);
}

TEST(ScriptMandatory, ProblemsBesideAMissingKeywordAreMentioned) {
    ScriptRun run;
    EXPECT_BOMB(run.read("axfile tc\nwith q\nbogus\n"), "reading scripts",
                "add mandatory scripts to scriptfile");
    EXPECT_NE(run.screen().find("1) new in ro350, the \"diagramPT\""), std::string::npos);
    EXPECT_NE(run.screen().find("\nin addition to the absence of the indicated mandatory script, "),
              std::string::npos);
}

TEST(ScriptMandatory, CalibrationAndConversionRunsNeedNone) {
    ScriptRun calib;
    calib.opt.mandatorychecks = false;
    calib.read("% empty\n");
    EXPECT_EQ(calib.t.ses.prefs.missingscripts, 0);

    ScriptRun convert;
    convert.opt = test::utilityscript;
    convert.read("utilitycode 1\n");
    EXPECT_TRUE(convert.s.utilityconvertrun);
}

TEST(ScriptPasses, SecondPassStartsFromTheDefaults) {
    ScriptRun run;
    run.read(mandatory +
                 "negP\ndebuglevel 3\nfigure P-x(CO2)\nstrictscripting\nautoexit\n"
                 "calcT 500 700 50\nvexlat no\n",
             true);
    EXPECT_EQ(run.w.scaling.pminimum, -50);
    EXPECT_TRUE(run.s.ds190);
    EXPECT_TRUE(run.t.ses.autoexiton);
    EXPECT_EQ(run.s.debuglev, 3);

    run.t.ses.runcount = 2;
    run.read("with q\ndiagramPT 1 10 400 800\n", false);
    const PTScaling fresh = [] {
        PTScaling p;
        setptscaling(p);
        return p;
    }();
    EXPECT_EQ(run.w.scaling.pminimum, 0.0009L);
    EXPECT_EQ(run.w.scaling.pscale, fresh.pscale);
    EXPECT_EQ(run.w.scaling.poffset, fresh.poffset);
    EXPECT_EQ(run.w.pminall, 1);
    EXPECT_FALSE(run.s.ds190);
    EXPECT_FALSE(run.t.ses.autoexiton);
    EXPECT_FALSE(run.s.strictscriptingon);
    EXPECT_EQ(run.s.debuglev, 1);
    EXPECT_EQ(run.s.figuretype, 0);
    EXPECT_EQ(run.s.vexlatcb, controlboolean::yes);
    EXPECT_EQ(run.w.tinc, 0);
    EXPECT_EQ(run.s.nwithphases, 1);
    // the a-x file of the pass before stands when the script names none
    EXPECT_EQ(run.t.ses.prefs.axfilesuffix, "tc");
}

TEST(ScriptPasses, WithoutAScriptWordThePassAsksWhetherToKeepTheFile) {
    ScriptRun run("y\n");
    run.t.ses.prefs.scriptfilesuffix.clear();
    run.s.scriptsuffix = "t";
    run.t.ses.runcount = 2;
    run.read(mandatory);
    EXPECT_NE(run.screen().find("use same script file? : "), std::string::npos);
    EXPECT_EQ(run.files.scriptname, "qv-t.txt");

    ScriptRun other("n\nt\n");
    other.t.ses.prefs.scriptfilesuffix.clear();
    other.s.scriptsuffix = "old";
    other.t.ses.runcount = 2;
    other.read(mandatory);
    EXPECT_NE(other.screen().find("suffix to name for script info datafile : "), std::string::npos);
}

TEST(ScriptValueRecord, WordsAreClassedAndConverted) {
    test::TestSession t;
    ScriptSettings s;
    Windows w;
    ScriptReader r{t.ses, s, w, "k", controlboolean::yes, 1, {}, {}};
    strings words;
    const char* ws[] = {"k", "3/4", "1e3", "-12", "40000", "abc"};
    for (int i = 0; i < 6; ++i) words[i + 1] = ws[i];
    scriptvalues(r, words, 6, 1);
    ASSERT_EQ(r.v.nscriptvalues, 5);
    EXPECT_EQ(r.v.scriptvaltype[1], valuetype::arational);
    EXPECT_EQ(r.v.scriptvalreal[1], 0.75L);
    EXPECT_EQ(r.v.scriptvaltype[2], valuetype::areal);
    EXPECT_EQ(r.v.scriptvalreal[2], 1000);
    EXPECT_EQ(r.v.scriptvalint[3], -12);
    EXPECT_EQ(r.v.scriptvalreal[3], -12);
    EXPECT_EQ(r.v.scriptvalreal[4], 40000);  // too large for 16 bits, still a number
    EXPECT_EQ(r.v.scriptvalint[5], 0);

    dropvalues(r.v, 2);
    ASSERT_EQ(r.v.nscriptvalues, 3);
    EXPECT_EQ(r.v.scriptvalword[1], "-12");
    EXPECT_EQ(r.v.scriptvalword[4], "");
    dropvalues(r.v, 3);  // no more values than dropped: nothing changes
    EXPECT_EQ(r.v.nscriptvalues, 3);
}

// The list readers: what each says when values are missing, too few or of the wrong kind.
TEST(ScriptValueRecord, ListReadersReportTheirProblems) {
    enum Reader { reals, integers, strs, onestring };
    struct Case {
        Reader reader;
        std::vector<const char*> values;
        int16 n;
        const char* message;
    };
    const Case cases[] = {
        {reals, {}, 0, "\nfor k, no info given: one or more reals expected\n"},
        {reals, {"1", "2"}, 3, "\nfor k, only 2 numbers in a line, but 3 needed\n"},
        {reals, {"1", "x", "3"}, 0, "\nfor k, info includes \"x\", not just reals\n"},
        {integers, {}, 0, "\nfor k, no info given: one or more integers expected\n"},
        {integers, {"1"}, 2, "\nfor k, only 1 integers in a line, but 2 needed\n"},
        {integers, {"1", "2.5"}, 0, "\nfor k, info includes \"2.5\" not just integers\n"},
        {strs, {}, 0, "\nfor k, no info given: one or more strings expected\n"},
        {strs, {"a"}, 3, "\nfor k, only 1numbers in line but 3 needed\n"},
        {onestring,
         {},
         0,
         "\nfor k, no info given: one string expected\na string is needed (or will be prompted "
         "for)\n"},
    };
    for (const Case& c : cases) {
        test::TestSession t;
        ScriptSettings s;
        Windows w;
        ScriptReader r{t.ses, s, w, "k", controlboolean::yes, 1, {}, {}};
        strings words;
        words[1] = "k";
        int16 nw = 1;
        for (const char* x : c.values) words[++nw] = x;
        scriptvalues(r, words, nw, 1);
        int16 n = c.n;
        const bool ok = c.reader == reals      ? scriptreals(r, n)
                        : c.reader == integers ? scriptintegers(r, n)
                        : c.reader == strs     ? scriptstrings(r, n)
                                               : scriptstring(r);
        EXPECT_FALSE(ok) << c.message;
        EXPECT_EQ(t.ses.prefs.scriptproblems, 1);
        EXPECT_NE(t.console.output.find(c.message), std::string::npos) << t.console.output;
        if (c.reader != onestring) {
            EXPECT_NE(t.console.output.find("info in the script needs to be corrected\n"),
                      std::string::npos);
        }
    }
}

// A single pressure outside the window is reported against the window and replaced by the
// pressure limits of any window.
TEST(ScriptValueRecord, OnePressureOutsideTheWindow) {
    struct Case {
        const char* value;
        real p;
        const char* message;
    };
    const Case cases[] = {
        {"12", 1500, "\nfor calcP, the one P needs to be less than 10.0 kbar; default used\n"},
        {"0.5", 0.0009L,
         "\nfor calcP, the one P needs to be greater than 1.0 kbar; default used\n"},
    };
    for (const Case& c : cases) {
        test::TestSession t;
        ScriptSettings s;
        Windows w;
        w.scaling.pminimum = 0.0009L;
        ScriptReader r{t.ses, s, w, "calcP", controlboolean::yes, 1, {}, {}};
        strings words;
        words[1] = "calcP";
        words[2] = c.value;
        scriptvalues(r, words, 2, 1);
        real p = 5;
        EXPECT_EQ(scriptonep(r, p, 1, 1, 10), controlboolean::no);
        EXPECT_EQ(p, c.p);
        EXPECT_NE(t.console.output.find(c.message), std::string::npos) << t.console.output;
        EXPECT_EQ(t.ses.prefs.scriptproblems, 1);
    }
}

// Values no calculation could use are input errors where they are read, naming the value and
// the script file: P at or below 0 kbar, T at or below absolute zero, an isopleth increment of 0
// or below.
TEST(ScriptValueRecord, ValuesNoCalculationCanUseAreInputErrors) {
    const std::string onebatch = "batch q ky 2 1 1 8 600 0 1 0 0 0\n";
    const std::string bxyz = "batchxyzguess startblock\nbatchxyzguess x(g) 0.3 range 0 1\n";
    const std::string in = " in \"qv-t.txt\": ";
    const struct {
        std::string script, message;
    } cases[] = {
        {bxyz + "batch q 0 1 1 0 600 0 1 0 0 0\n",
         "P of batch 1 = 0" + in + "must be above 0 kbar"},
        {bxyz + "batch q 0 2 1 8 -2 600 0 1 0 0 0\n",
         "P of batch 1 = -2" + in + "must be above 0 kbar"},
        {bxyz + onebatch + "batch q 0 1 1 8 -273.15 0 1 0 0 0\n",
         "T of batch 2 = -273.15" + in + "must be above absolute zero"},
        {bxyz + "batch q 0 1 2 8 600 -300 0 1 0 0 0\n",
         "T of batch 1 = -300" + in + "must be above absolute zero"},
        {"isopleth x(g) 0.1 0.3 0\n", "isopleth increment for x(g) = 0" + in + "must be above 0"},
        {"isopleth x(g) 0.1 0.3 0.1 z(g) 0.1 0.3 -0.05\n",
         "isopleth increment for z(g) = -0.05" + in + "must be above 0"},
        {"modeiso g 0.1 0.3 -0.1\n",
         "mode isopleth increment for g = -0.1" + in + "must be above 0"},
        {"muval PT 0 600\n", "P of muval = 0" + in + "must be above 0 kbar"},
        {"muval PT 8 -273.15\n", "T of muval = -273.15" + in + "must be above absolute zero"},
    };
    for (const auto& c : cases) {
        ScriptRun run;
        try {
            run.read(mandatory + c.script);
            ADD_FAILURE() << "taken: " << c.script;
        } catch (const RunBombed& stop) {
            EXPECT_EQ(stop.procname, "reading scripts");
            EXPECT_EQ(stop.message, c.message);
            EXPECT_EQ(stop.fault, yourfault) << c.script;
        }
    }
}

}  // namespace
}  // namespace qv
