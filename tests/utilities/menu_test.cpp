// The utility menu: the code from the script or from the console, and the refused answers.

#include <string>

#include "model/run.hpp"
#include "support/fakes.hpp"
#include "utilities/utilities.hpp"
#include "utilities/utilityfixture.hpp"

namespace qv::test {
namespace {

const std::string menutext =
    "\nutility code:\n"
    "     0 = phase diagram drawing (vexlat)\n"
    "     1 = convert wt% for bulk and minerals into a useful form\n"
    "     2 = thermodynamic tables\n"
    "     3 = calculate activities from mu\n"
    "     4 = end-member list in a chemical system\n"
    "utility code : ";

struct MenuRun {
    explicit MenuRun(std::string input) : t(std::move(input)) {
        run->setup = utilitysetup();
        t.ses.prefs.scriptfilesuffix = "t";
        t.ses.runcount = 1;
        t.ses.ch.pagewidth = 250;
    }
    void go(const std::string& extra) {
        dir.write("qv-t.txt", "axfile tc\ndiagramPT 1 10 400 800\n" + extra);
        run->files.scriptfilevar.open("qv-t.txt");
        doutilities(t.ses, *run);
    }
    TempDir dir;
    TestSession t;
    std::unique_ptr<Run> run = std::make_unique<Run>();
};

// What each utility shows first, reached with the dataset and a-x file of the utility tests;
// the console input ends there, which stops the run.
bool reaches(UtilityRun& u, const std::string& script, const std::string& text) {
    try {
        u.go(script);
    } catch (const RunBombed&) {
    }
    return u.screen().find(text) != std::string::npos;
}

TEST(UtilityMenu, ScriptCodeRunsTheUtilityWithoutAsking) {
    UtilityRun u;
    EXPECT_TRUE(reaches(u, "utilitycode 4\n", "which system? : "));
    EXPECT_EQ(u.screen().find("utility code"), std::string::npos);
}

TEST(UtilityMenu, OutOfRangeOrMissingScriptCodeAsks) {
    for (const std::string extra : {"utilitycode 7\n", ""}) {
        UtilityRun u("2\n");
        EXPECT_TRUE(reaches(u, extra, menutext)) << u.screen();
        EXPECT_NE(u.screen().find("table code:"), std::string::npos);
    }
}

TEST(UtilityMenu, EachCodeReachesItsUtility) {
    {
        // the drawer looks for its data file "vx-" + script word
        MenuRun m("0\n");
        EXPECT_BOMB(m.go(""), "promptdatafile", "datafile needed");
        EXPECT_NE(m.t.console.output.find("cannot locate file \"vx-t.txt\""), std::string::npos);
    }
    const std::pair<const char*, const char*> cases[] = {
        {"2", "table code:"},
        {"3", "\n div"},  // the component table of the activities
        {"4", "which system? : "},
    };
    for (const auto& [answer, text] : cases) {
        UtilityRun u(std::string(answer) + "\n");
        EXPECT_TRUE(reaches(u, "", text)) << answer << u.screen();
    }
}

TEST(UtilityMenu, ConversionsNeedConvertLines) {
    MenuRun m("1\n");
    EXPECT_BOMB(m.go(""), "conversions", "no converting to be done?");
}

TEST(UtilityMenu, RefusedAnswers) {
    const std::pair<const char*, const char*> cases[] = {
        {"5", "integer needed (2), between 0 and 4"},
        {"-1", "integer needed (2), between 0 and 4"},
        // a whole number beyond 16 bits must not pass as code 0 (the drawer)
        {"70000", "integer needed (2), between 0 and 4"},
        {"2.5", "integer needed (1), between 0 and 4"},
        {"x", "integer needed (1), between 0 and 4"},
        {"", "integer needed (1), between 0 and 4"},
    };
    for (const auto& [answer, message] : cases) {
        MenuRun m(std::string(answer) + "\n");
        EXPECT_BOMB(m.go(""), "doutilities", message);
    }
}

}  // namespace
}  // namespace qv::test
