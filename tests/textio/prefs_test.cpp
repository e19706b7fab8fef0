#include "textio/prefs.hpp"

#include <gtest/gtest.h>

#include "support/fakes.hpp"

namespace qv {
namespace {

// Reads `prefs` as qv-prefs.txt in a fresh folder with the given typed answers.
struct PrefsRun {
    PrefsRun(const std::string& prefs, std::string input = {}) : t(std::move(input)) {
        dir.write("qv-prefs.txt", prefs);
        t.ses.progbanner = "QUORVANTIS 3.51";
    }
    test::TempDir dir;
    test::TestSession t;
};

TEST(Readprefs, KeywordsReachTheirSettings) {
    PrefsRun r(
        "% my folder\ndsfile ds62 % the data\ndatafile yes AFM\ncalcmode 2\n"
        "monitorheap\ndontwrap no\nsetpagewidth 120\n* end\ncalcmode 3\n");
    readprefs(r.t.ses);
    const Preferences& p = r.t.ses.prefs;
    EXPECT_EQ(p.dsfilesuffix, "ds62");
    EXPECT_EQ(p.scriptfilesuffix, "AFM");
    EXPECT_EQ(p.prefscalcmode, 2);
    EXPECT_TRUE(p.monitorheapon);
    EXPECT_FALSE(r.t.ses.ch.dontwrapon);
    EXPECT_EQ(r.t.ses.ch.pagewidth, 120);
    EXPECT_EQ(r.t.console.output, "");
}

TEST(Readprefs, PageWidthIsHeldBetween80And250) {
    const std::pair<const char*, int> cases[] = {
        {"300", 250}, {"250", 250}, {"249", 249}, {"60", 80}, {"wide", 80}};
    for (const auto& [word, width] : cases) {
        PrefsRun r(std::string("dsfile 62\nscriptfile AFM\nsetpagewidth ") + word + "\n");
        readprefs(r.t.ses);
        EXPECT_EQ(r.t.ses.ch.pagewidth, width) << word;
    }
}

TEST(Readprefs, ScriptfileWords) {
    const std::pair<const char*, const char*> cases[] = {{"scriptfile yes AFM", "AFM"},
                                                         {"datafile AFM", "AFM"},
                                                         {"scriptfile on", "on"},
                                                         {"scriptfile AFM extra", "AFM"}};
    for (const auto& [line, suffix] : cases) {
        PrefsRun r(std::string("dsfile 62\n") + line + "\n");
        readprefs(r.t.ses);
        EXPECT_EQ(r.t.ses.prefs.scriptfilesuffix, suffix) << line;
    }
}

TEST(Readprefs, MissingMandatoryKeywordsAreExplainedThenFatal) {
    PrefsRun r("dsfile no ds62\nscriptfile AFM\n");
    EXPECT_BOMB(readprefs(r.t.ses), "reading scripts", "add mandatory scripts to the prefsfile");
    EXPECT_EQ(r.t.console.output,
              "\n1) new in ro350, the \"dsfile\" script is mandatory in the prefsfile, followed \n"
              "by the suffix to the name of the dsfile (i.e. the dataset). So, if the dsfile \n"
              "is called \"qv-ds62\", the script to use is \"dsfile ds62\" \n");
    PrefsRun calibration("calcmode 9\nscriptfile AFM\n");
    readprefs(calibration.t.ses);  // a calibration names its dataset elsewhere
    EXPECT_EQ(calibration.t.console.output, "");
}

TEST(Readprefs, UnrecognisedKeywordsOfferToStop) {
    PrefsRun r("colour red\ndsfile 62\nscriptfile AFM\n", "y\n");
    EXPECT_THROW(readprefs(r.t.ses), RunKilled);
    EXPECT_EQ(r.t.console.output,
              "\ncolour unrecognised\n"
              "there are script problems in the prefs file listed immediately above:\n"
              "exit, and delete unrecognised scripts from the prefs file ? ");
    PrefsRun goon("colour red\ndsfile 62\nscriptfile AFM\n", "n\nn\n");
    readprefs(goon.t.ses);
    EXPECT_EQ(goon.t.ses.prefs.scriptproblems, 1);
}

TEST(Readprefs, MissingFile) {
    test::TempDir dir;
    test::TestSession t;
    t.ses.progbanner = "QUORVANTIS 3.51";
    EXPECT_BOMB(readprefs(t.ses), "readprefs", "can't open \"qv-prefs.txt\"");
    const std::string first = "\n\xA5\xA5 no prefs file \"qv-prefs.txt\"\n\n";
    EXPECT_EQ(t.console.output.substr(0, first.size()), first);

    // A folder prepared for a calibration: no preferences read, the defaults stand.
    dir.write("ds-prefs.txt", "anything\n");
    test::TestSession c;
    c.ses.progbanner = "QUORVANTIS 3.51";
    readprefs(c.ses);
    EXPECT_EQ(c.console.output, "");
    EXPECT_EQ(c.ses.prefs.prefscalcmode, -1);
}

TEST(Datasetsuffix, DoesNotDoubleTheLeadingDs) {
    Preferences p;
    p.dsfilesuffix = "62";
    EXPECT_EQ(datasetsuffix(p), "ds62");
    p.dsfilesuffix = "ds62";
    EXPECT_EQ(datasetsuffix(p), "ds62");
}

}  // namespace
}  // namespace qv
