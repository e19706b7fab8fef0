// The main program block's last line of defence: an exception from outside the program's own
// stops (memory, file system) still ends the run as a fatal stop does, with the run files closed
// and the empty ones erased, and exit code 1.

#include "app/program.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "support/fakes.hpp"

namespace qv {
namespace {

std::string datafile(const std::string& name) {
    std::ifstream in(std::string(QV_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Answers the calculation mode, then throws `Thrown` at the next question (the question to go on
// after the first pass, when every run file is open); later reads see the end of input.
template <class Thrown>
class FailingConsole final : public Console {
public:
    explicit FailingConsole(Thrown e) : e_(std::move(e)) {}
    void write(std::string_view text) override { output += text; }
    void flush() override {}
    bool readline(std::string& line) override {
        ++reads;
        if (reads == 1) {
            line = "2";
            return true;
        }
        if (reads == 2) throw e_;
        return false;
    }
    std::string output;
    int reads = 0;

private:
    Thrown e_;
};

struct RunFolder {
    RunFolder() {
        dir.write("qv-prefs.txt", "dsfile 62\nscriptfile AFM\n");
        dir.write("qv-AFM.txt",
                  "axfile axexample\nwith q ky and sill mu san H2O\n"
                  "diagramPT 1 10 400 800\npseudosection no\n");
        dir.write("qv-ds62.txt", datafile("qv-ds62.txt"));
        dir.write("qv-axexample.txt", datafile("qv-axexample.txt"));
    }
    test::TempDir dir;
    test::FixedClock clock;
};

template <class Thrown>
void expect_fatal_stop(Thrown e, const std::string& stoptext) {
    RunFolder f;
    FailingConsole<Thrown> console(std::move(e));
    EXPECT_EQ(runprogram(console, f.clock), 1);
    EXPECT_EQ(console.reads, 3);  // the wait for return after the stop
    const std::string text = "\n-- run bombed in runprogram : " + stoptext + "\n\n";
    EXPECT_TRUE(console.output.ends_with(text + "\n\nhit return to exit program\n"))
        << console.output;
    const std::string log = f.dir.read("qv-log.txt");
    EXPECT_EQ(log.substr(log.size() - text.size()), text);
    const std::string summary = f.dir.read("qv-AFM-o.txt");
    EXPECT_EQ(summary.substr(summary.size() - text.size()), text);
    for (const char* unused : {"qv-AFM-vx.txt", "qv-AFM-ic.txt", "qv-AFM.csv", "qv-AFM.svg"}) {
        EXPECT_FALSE(f.dir.exists(unused)) << unused;
    }
}

TEST(RunProgram, OutOfMemoryEndsAsAFatalStop) {
    expect_fatal_stop(std::bad_alloc(), "out of memory");
}

TEST(RunProgram, AFileSystemFailureEndsAsAFatalStop) {
    const std::filesystem::filesystem_error e("cannot write", "qv-AFM-o.txt",
                                              std::make_error_code(std::errc::no_space_on_device));
    expect_fatal_stop(e, e.what());
}

// A whole mode-1 run whose detailed-results file lies on a full device: the run stops as a fatal
// error naming the file, never a normal end with the results lost.
TEST(RunProgram, ResultsWrittenToAFullDeviceEndAsAFatalStop) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string casedir = std::string(QV_TEST_DATA) + "/../e2e/cases/m1-calcmu-gasp/";
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    test::TempDir dir;
    for (const char* name : {"qv-prefs.txt", "qv-gasp.txt", "qv-axgasp.txt"}) {
        dir.write(name, read(casedir + name));
    }
    dir.write("qv-ds62.txt", datafile("qv-ds62.txt"));
    std::filesystem::create_symlink("/dev/full", "qv-gasp-ic.txt");
    test::FakeConsole console;
    test::FixedClock clock;
    EXPECT_EQ(runprogram(console, clock), 1);
    EXPECT_NE(console.output.find(" : problem writing qv-gasp-ic.txt\n"), std::string::npos)
        << console.output;
    const std::string log = dir.read("qv-log.txt");
    EXPECT_NE(log.find(" : problem writing qv-gasp-ic.txt\n"), std::string::npos);
}

}  // namespace
}  // namespace qv
