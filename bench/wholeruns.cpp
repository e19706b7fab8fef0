// Benchmark of whole runs of the built program: the example folder with each of its scripts
// (phase diagram runs, mode 1: "pseudo", the one tools/run-example runs by default, and
// "example"), the aluminosilicate reaction diagram of the whole-run tests (mode 3, with the
// shared inputs its case names) and their Gibbs energy minimisation over a P-T grid (mode 1),
// each run in a fresh copy of its folder with its typed answers.
// For each: the elapsed time of the best of five runs beside the reference loop of one long
// double log and exp, and the peak resident memory and minor page faults of the process as
// /usr/bin/time counts them. The time in reference units is the user and system time of the run
// (the elapsed time depends on the machine's load). QV_BENCH_PROGRAM=<path> times another
// build's program with the same cases (a before/after pair in one session).
//
// Entry point: qv::wholerun_bench(), called by qv_bench.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "entries.hpp"
#include "textio/numfmt.hpp"
#include "timing.hpp"

namespace qv {
namespace {

namespace fs = std::filesystem;

struct RunFigures {
    bool ok = false;
    real ns = 0;        // elapsed
    real cpuns = 0;     // user and system time of the run
    long maxrsskb = 0;  // peak resident memory, kB
    long minflt = 0;    // minor page faults
};

constexpr const char* timeprogram = "/usr/bin/time";

// The program to run: the one built with the bench, or another build's named by the environment
// variable QV_BENCH_PROGRAM (to measure two builds side by side with the same bench).
std::string programpath() {
    const char* other = std::getenv("QV_BENCH_PROGRAM");
    return other != nullptr && *other != '\0' ? std::string(other) : std::string(QV_BENCH_PROGRAM);
}

// Runs the program once in `dir` with standard input from `input` (or /dev/null), under
// /usr/bin/time: the peak memory and page faults of a process include what it held before it
// started the program, so they are taken from that small process, not from a copy of the bench.
RunFigures runonce(const fs::path& dir, const fs::path& input) {
    RunFigures f;
    const std::string program = programpath();
    const fs::path figures = dir / "time-figures.txt";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return f;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        const int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execl(timeprogram, timeprogram, "-f", "%M %R", "-o", figures.c_str(), program.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return f;
    f.ns = static_cast<real>(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
    const auto usec = [](const timeval& t) {
        return static_cast<real>(t.tv_sec) * 1e6L + static_cast<real>(t.tv_usec);
    };
    f.cpuns = (usec(use.ru_utime) + usec(use.ru_stime)) * 1000;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream in(figures);
    if (!(in >> f.maxrsskb >> f.minflt)) f.ok = false;
    return f;
}

// Copies the input files of a run folder into `dir`: its own files, and for a whole-run test case
// the shared inputs that its "shared-inputs.txt" names, one a line, from the cases' "inputs"
// folder.
void copyinputs(const fs::path& source, const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.is_regular_file()) fs::copy_file(entry.path(), dir / entry.path().filename());
    }
    std::ifstream list(source / "shared-inputs.txt");
    const fs::path shared = source.parent_path().parent_path() / "inputs";
    std::string name;
    while (list >> name)
        fs::copy_file(shared / name, dir / name, fs::copy_options::overwrite_existing);
}

// Makes the preferences file of `dir` name the script qv-<script>.txt, as tools/run-example does.
void usescript(const fs::path& dir, const std::string& script) {
    const fs::path prefs = dir / "qv-prefs.txt";
    std::ifstream in(prefs);
    std::string text, line;
    while (std::getline(in, line)) {
        if (line.rfind("scriptfile ", 0) == 0) line = "scriptfile  " + script;
        text += line + "\n";
    }
    in.close();
    std::ofstream(prefs) << text;
}

// The best of five runs, each in a fresh copy of `source` (without its expected/ folder).
RunFigures bestrun(const fs::path& source, const std::string& stdinname,
                   const std::string& script) {
    const fs::path dir = fs::temp_directory_path() / "qv_wholerun_bench";
    RunFigures best;
    for (int rep = 0; rep < 5; ++rep) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        copyinputs(source, dir);
        if (!script.empty()) usescript(dir, script);
        const fs::path input = stdinname.empty() ? fs::path{} : dir / stdinname;
        const RunFigures f = runonce(dir, input);
        if (!f.ok) return f;
        if (rep == 0 || f.ns < best.ns) best.ns = f.ns;
        if (rep == 0 || f.cpuns < best.cpuns) best.cpuns = f.cpuns;
        best.maxrsskb = std::max(best.maxrsskb, f.maxrsskb);
        best.minflt = std::max(best.minflt, f.minflt);
        best.ok = true;
    }
    fs::remove_all(dir);
    return best;
}

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

int wholerun_bench() {
    struct Case {
        const char* label;
        const char* folder;
        const char* stdinname;
        const char* script;  // the example folder's script to run; "" the folder's own choice
    };
    const Case cases[] = {
        {"example, pseudo (mode 1)", QV_BENCH_EXAMPLES, "", "pseudo"},
        {"example, example (mode 1)", QV_BENCH_EXAMPLES, "", "example"},
        {"m3-al2sio5 (mode 3)", QV_BENCH_E2E_CASES "/m3-al2sio5", "stdin.txt", ""},
        {"m1-dogmin-grid (mode 1)", QV_BENCH_E2E_CASES "/m1-dogmin-grid", "stdin.txt", ""},
    };
    std::cout << "whole runs of " << programpath()
              << " (best of 5; peak memory and minor page faults of the process)\n";
    std::cout << padded("run", 28) << padded("elapsed ms", 12) << padded("cpu ms", 10)
              << padded("cpu reference units", 21) << padded("peak RSS (kB)", 15)
              << "minor faults\n";
    int status = 0;
    for (const Case& c : cases) {
        const RunFigures f = bestrun(c.folder, c.stdinname, c.script);
        if (!f.ok) {
            std::cout << padded(c.label, 28) << "did not run to a normal end\n";
            status = 1;
            continue;
        }
        const real ref = reference_ns();
        std::cout << padded(c.label, 28) << padded(realfixstr(1, true, f.ns / 1e6L), 12)
                  << padded(realfixstr(1, true, f.cpuns / 1e6L), 10)
                  << padded(realstr(f.cpuns / ref), 21) << padded(std::to_string(f.maxrsskb), 15)
                  << f.minflt << "\n";
    }
    return status;
}

}  // namespace qv
