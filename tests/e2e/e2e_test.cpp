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

INSTANTIATE_TEST_SUITE_P(Cases, WholeRun, testing::ValuesIn(casenames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
