// Whole runs of the built program. Each folder under cases/ holds `stdin.txt` (the typed answers),
// `expected/` (`screen.txt`, `exitcode.txt` and every file the run must leave behind) and the
// input files of its working folder: its own files, and the files of the shared inputs/ folder
// that its `shared-inputs.txt` names, one a line (a case's own file of the same name wins). The
// inputs are copied to a fresh folder and the program run there; the files left are compared byte
// for byte after masking the date and time, and a run that changes or deletes one of its input
// files fails. A case whose name begins with "u-" is a run of the utilities, made with the test
// program that admits calculation code 0. QV_BLESS=1 rewrites expected/.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.hpp"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spill(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// The date and time of a run and elapsed times vary from run to run.
std::string masked(const std::string& text) {
    static const std::regex datetime(
        "[0-9]{1,2}\\.[0-9]{2} on (Sun|Mon|Tue|Wed|Thu|Fri|Sat) [0-9]{1,2} "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec),[0-9]{4}");
    static const std::regex elapsed("elapsed = [0-9]+ (msecs|secs)");
    std::string out = std::regex_replace(text, datetime, "<date and time>");
    return std::regex_replace(out, elapsed, "elapsed = <n> $1");
}

std::set<std::string> filesin(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.is_regular_file()) names.insert(e.path().filename().string());
    }
    return names;
}

std::vector<std::string> casenames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(QV_E2E_CASES)) {
        if (e.is_directory()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Only QV_BLESS=1 rewrites the expected files; any other value (0, empty) compares as usual.
bool blessing() {
    const char* bless = std::getenv("QV_BLESS");
    return bless != nullptr && std::string(bless) == "1";
}

class WholeRun : public testing::TestWithParam<std::string> {};

TEST_P(WholeRun, MatchesExpected) {
    const fs::path source = fs::path(QV_E2E_CASES) / GetParam();
    const fs::path expected = source / "expected";
    qv::test::TempDir work;
    std::map<std::string, std::string> inputs;  // name -> contents
    std::istringstream shared(slurp(source / "shared-inputs.txt"));
    for (std::string name; std::getline(shared, name);) {
        if (name.empty()) continue;
        const fs::path from = fs::path(QV_E2E_INPUTS) / name;
        ASSERT_TRUE(fs::is_regular_file(from)) << "no shared input " << name;
        inputs[name] = slurp(from);
    }
    for (const auto& e : fs::directory_iterator(source)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name == "stdin.txt" || name == "shared-inputs.txt") continue;
        inputs[name] = slurp(e.path());
    }
    for (const auto& [name, text] : inputs) spill(work.path() / name, text);
    const fs::path stdinfile = source / "stdin.txt";
    const std::string command =
        std::string("'") + (GetParam().rfind("u-", 0) == 0 ? QV_UTILITY_RUNNER : QV_PROGRAM) +
        "' < " + (fs::exists(stdinfile) ? "'" + stdinfile.string() + "'" : "/dev/null") +
        " > screen.out 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the program did not end by itself";
    const std::string exitcode = std::to_string(WEXITSTATUS(status)) + "\n";

    std::set<std::string> produced = filesin(work.path());
    produced.erase("screen.out");
    for (const auto& [name, text] : inputs) {
        produced.erase(name);
        EXPECT_TRUE(fs::exists(work.path() / name)) << "the run deleted its input " << name;
        EXPECT_TRUE(slurp(work.path() / name) == text) << "the run changed its input " << name;
    }

    if (blessing()) {
        fs::remove_all(expected);
        fs::create_directories(expected);
        spill(expected / "screen.txt", masked(slurp(work.path() / "screen.out")));
        spill(expected / "exitcode.txt", exitcode);
        for (const auto& name : produced) spill(expected / name, masked(slurp(work.path() / name)));
        return;
    }

    EXPECT_EQ(slurp(expected / "exitcode.txt"), exitcode);
    EXPECT_EQ(slurp(expected / "screen.txt"), masked(slurp(work.path() / "screen.out")));
    std::set<std::string> wanted = filesin(expected);
    wanted.erase("screen.txt");
    wanted.erase("exitcode.txt");
    EXPECT_EQ(wanted, produced) << "the set of files left behind";
    for (const auto& name : wanted) {
        if (produced.count(name) == 0) continue;
        EXPECT_EQ(slurp(expected / name), masked(slurp(work.path() / name))) << name;
    }
}

// A rock given by its phases (the "rbi" tableau) has, by mass balance, the tableau's amounts as
// its modes at every P and T (amount over the sum of amounts, formed here from the tableau). Each
// printed mode row must show them to the printed precision, and every row the same digits. The
// olivine amount, 0.411765, lies exactly on a rounding tie of the five printed decimals: the
// solver ends within a few units of the last bit of it, on either side according to the rounding
// of its steps, so the test asks for one of the tie's two neighbours, the same at every T.
TEST(WholeRunResults, ModesOfARockGivenByItsPhasesAreTheTableauAmounts) {
    const fs::path dir = fs::path(QV_E2E_CASES) / "m1-pseudo-rbi";
    std::istringstream script(slurp(dir / "qv-rbi.txt"));
    std::vector<long double> amounts;
    for (std::string line; std::getline(script, line);) {
        std::istringstream words(line);
        std::string key, phase;
        long double amount = 0;
        if (words >> key >> phase >> amount && key == "rbi" && phase != "SiO2") {
            amounts.push_back(amount);
        }
    }
    ASSERT_EQ(amounts.size(), 3u);
    long double sum = 0;
    for (const long double a : amounts) sum += a;
    std::istringstream ic(slurp(dir / "expected" / "qv-rbi-ic.txt"));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(ic, line);) {
        if (line.rfind("mode ", 0) != 0 || !std::getline(ic, line)) continue;
        std::istringstream words(line);
        std::vector<std::string> got;
        for (std::string w; words >> w;) got.push_back(w);
        ASSERT_EQ(got.size(), 4u) << line;
        for (std::size_t k = 0; k < 3; ++k) {
            const long double printed = std::stold(got[k + 1]);
            EXPECT_LE(std::fabs(printed - amounts[k] / sum), 0.5e-5L + 1e-12L) << line;
        }
        rows.push_back(got);
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], rows[0]);
    EXPECT_EQ(rows[2], rows[0]);
}

// Input the program cannot use, made by one edit of a case's inputs (its own files, its shared
// inputs and its typed answers): each run must stop with an input error that names the value
// (and, where it comes from a file, the file) with exit code 1, never with the internal-error
// lines.
TEST(WholeRunInputErrors, BadValuesStopNamingThemAndTheirFile) {
    struct Edit {
        std::string file;
        std::string from;
        std::string to;
    };
    struct Case {
        std::string base;
        std::vector<Edit> edits;
        std::vector<std::string> shown;  // texts the screen must hold
    };
    const std::string ax = "qv-axpseudo.txt";
    const std::string axfile = "\"qv-axpseudo.txt\"";
    const std::vector<Case> cases = {
        {"m1-pseudo-modes",
         {{ax, "py  1 1 xMgX 3", "py  -0.0 1 xMgX 3"}},
         {"ideal-activity constant of py in g = ", axfile, "must be above 0"}},
        {"m1-pseudo-modes",
         {{ax, "x(g) 0.2", "x(g) 1e-4000"}},
         {"ideal activity of alm in g = 0: a site fraction too small for its power"}},
        {"m1-pseudo-modes",
         {{ax, "py  1 1 xMgX 3", "py  1 1 xMgX 1000"}, {ax, "x(g) 0.2", "x(g) 0.99999"}},
         {"ideal activity of py in g = 0"}},
        {"m1-calctatp-isopleth",
         {{"stdin.txt", "0.2", "1e-4000"}},
         {"ideal activity of gr in g = 0"}},
        {"m1-pseudo-modes",
         {{ax, "p(py)  1 1 1 1 -1 x", "p(py)  1 1 0 1 -1 x"}},
         {"sum of the end-member proportions of g at its starting guesses = 0", axfile}},
        {"m1-pseudo-modes",
         {{"qv-ds62.txt", " 0.7216 0.0051 0.0051", " 0.7216 40.14 0.0051"}},
         {"correlation of the H of ", "\"qv-ds62.txt\": must lie between -1 and 1"}},
        {"m9-assemblage",
         {{"ds-xp.txt", "2 1 garnet runs", "-1 1 kysill"}},
         {"number of reactions of experiment 1 = -1 in \"ds-xp.txt\""}},
        {"m1-pseudo-modes",
         {{"qv-pseudo.txt", "axfile axpseudo",
           "projection yes\nprojplane SiO2 Al2O3 MgO FeO\nprojplane S 1 0 0 0\n"
           "projplane A 0 1 0 0\nprojplane M 0 0 1 0\nprojplane F 0 0 1 0\naxfile axpseudo"}},
         {"part of apex F outside the plane of the apices before it = 0 in \"qv-pseudo.txt\"",
          "the apices of a projection plane are independent compositions"}},
        {"m2-avt-solution",
         {{"qv-axgbt.txt", "gr 0.012 0.012", "gr 1e-4000 0.012"}},
         {"sd(a) / a of gr in gr overflows in \"qv-axgbt.txt\""}},
        {"m2-avt-solution",
         {{"qv-axgbt.txt", "gr 0.012 0.012", "gr 0.012 1e300"}},
         {"sd(a) / a of gr in gr overflows in \"qv-axgbt.txt\""}},
        {"m2-avt-solution",
         {{"qv-axgbt.txt", "gr 0.012 0.012", "gr 0.012 1e10"}},
         {"sd(a) / a of gr in gr = 8.3", "in \"qv-axgbt.txt\": above 1e6"}},
        {"m2-avt-solution",
         {{"qv-axgbt.txt", "W(py,alm) 2.5 0 0", "W(py,alm) 1e300 0 0"}},
         {"the activity of py in g overflowed: check the a-x values of g"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base + ": " + c.edits[0].to);
        const fs::path source = fs::path(QV_E2E_CASES) / c.base;
        std::map<std::string, std::string> inputs;
        std::istringstream shared(slurp(source / "shared-inputs.txt"));
        for (std::string name; std::getline(shared, name);) {
            if (!name.empty()) inputs[name] = slurp(fs::path(QV_E2E_INPUTS) / name);
        }
        for (const auto& e : fs::directory_iterator(source)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() && name != "shared-inputs.txt") inputs[name] = slurp(e.path());
        }
        for (const Edit& edit : c.edits) {
            std::string& text = inputs[edit.file];
            const std::size_t at = text.find(edit.from);
            ASSERT_NE(at, std::string::npos) << edit.from;
            text.replace(at, edit.from.size(), edit.to);
        }
        qv::test::TempDir work;
        for (const auto& [name, text] : inputs) spill(work.path() / name, text);
        const std::string command = std::string("'") + QV_PROGRAM + "' < " +
                                    (inputs.count("stdin.txt") ? "stdin.txt" : "/dev/null") +
                                    " > screen.out 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        const std::string screen = slurp(work.path() / "screen.out");
        for (const std::string& text : c.shown) {
            EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
        }
        EXPECT_EQ(screen.find("shouldn't have happened"), std::string::npos) << screen;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WholeRun, testing::ValuesIn(casenames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
