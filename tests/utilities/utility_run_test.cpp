// Whole runs of the tables and the analyses through the test runner that admits calculation
// code 0. Each folder under runs/ holds the input files of a working folder, `stdin.txt` with
// the typed answers and `expected/` with `screen.txt`, `exitcode.txt` and every file the run
// leaves behind; our test dataset qv-ds62.txt is added to every folder. The run's files are
// compared byte for byte after masking the date and time. QV_BLESS=1 rewrites expected/.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.hpp"

namespace fs = std::filesystem;

namespace qv::test {
namespace {

const fs::path runs = fs::path(QV_TEST_DATA).parent_path() / "utilities" / "runs";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spill(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string masked(const std::string& text) {
    static const std::regex datetime(
        "[0-9]{1,2}\\.[0-9]{2} on (Sun|Mon|Tue|Wed|Thu|Fri|Sat) [0-9]{1,2} "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec),[0-9]{4}");
    return std::regex_replace(text, datetime, "<date and time>");
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
    for (const auto& e : fs::directory_iterator(runs)) {
        if (e.is_directory()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UtilityWholeRun : public testing::TestWithParam<std::string> {};

TEST_P(UtilityWholeRun, MatchesExpected) {
    const fs::path source = runs / GetParam();
    const fs::path expected = source / "expected";
    TempDir work;
    std::set<std::string> inputs{"qv-ds62.txt"};
    spill(work.path() / "qv-ds62.txt", slurp(fs::path(QV_TEST_DATA) / "qv-ds62.txt"));
    for (const auto& e : fs::directory_iterator(source)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name == "stdin.txt") continue;
        spill(work.path() / name, slurp(e.path()));
        inputs.insert(name);
    }
    const std::string command = std::string("'") + QV_UTILITY_RUNNER + "' < '" +
                                (source / "stdin.txt").string() + "' > screen.out 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the program did not end by itself";
    const std::string exitcode = std::to_string(WEXITSTATUS(status)) + "\n";
    std::set<std::string> produced = filesin(work.path());
    produced.erase("screen.out");
    for (const auto& name : inputs) produced.erase(name);

    if (std::getenv("QV_BLESS") != nullptr) {
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

INSTANTIATE_TEST_SUITE_P(Cases, UtilityWholeRun, testing::ValuesIn(casenames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace qv::test
