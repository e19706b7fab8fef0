// The utility menu: the code from the script or from the console, and the refused answers.

#include <string>

#include "model/run.hpp"
#include "support/fakes.hpp"
#include "utilities/utilities.hpp"

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
        t.ses.runcalcmode = calcmodetype::utilitycalc;
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

TEST(UtilityMenu, ScriptCodeRunsTheUtilityWithoutAsking) {
    MenuRun m("");
    m.go("utilitycode 3\n");
    EXPECT_EQ(m.t.console.output.find("utility code"), std::string::npos);
    EXPECT_NE(m.t.console.output.find("activities from mu are not built yet"), std::string::npos);
}

TEST(UtilityMenu, OutOfRangeOrMissingScriptCodeAsks) {
    for (const std::string extra : {"utilitycode 7\n", ""}) {
        MenuRun m("2\n");
        m.go(extra);
        const std::string& out = m.t.console.output;
        EXPECT_NE(out.find(menutext), std::string::npos) << out;
        EXPECT_NE(out.find("thermodynamic tables are not built yet"), std::string::npos);
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
        {"1", "conversion of wt% analyses"},
        {"4", "end-member list"},
    };
    for (const auto& [answer, text] : cases) {
        MenuRun m(std::string(answer) + "\n");
        m.go("");
        EXPECT_NE(m.t.console.output.find(text), std::string::npos) << answer;
    }
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
