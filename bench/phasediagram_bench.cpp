// Benchmark of a whole phase diagram run: a divariant P-T grid of 289 points of the garnet-
// plagioclase-kyanite-quartz equilibrium with the example folder's ideal solutions (garnet held
// at z(g) = 0.15, the plagioclase calculated at each point), from the driver's set-up to the
// printed results; the time per point beside a reference loop of one long double log and exp
// timed in the same run.
//
// Entry point: qv::phasediagram_bench(dataset file), called by qv_bench.

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "entries.hpp"
#include "model/run.hpp"
#include "phasediagram/nlecalcs.hpp"
#include "phasediagram/results.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"
#include "timing.hpp"

namespace qv {
namespace {

const char* const script = R"(axfile axexample
with g pl ky q
diagramPT 10 18 450 950
pseudosection no
inexcess yes
calcP 12 16 0.25
calcT 500 900 25
isopleth z(g) 0.15
autoexit
*
)";

}  // namespace

int phasediagram_bench(const std::string& dsfile) {
    namespace fs = std::filesystem;
    const fs::path here = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / "qv_phasediagram_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(dsfile, dir / "qv-ds62.txt");
    fs::copy_file(QV_BENCH_EXAMPLE_AX, dir / "qv-axexample.txt");
    std::ofstream(dir / "qv-bench.txt") << script;
    fs::current_path(dir);
    QuietConsole con;
    NoClock clk;
    Session ses(con, clk);
    ses.prefs.dsfilesuffix = "62";
    ses.prefs.scriptfilesuffix = "bench";
    ses.runcount = 1;
    auto run = std::make_unique<Run>();
    initglobals(ses, *run);
    startout(ses, run->files, false);
    auto pd = std::make_unique<PdRun>();
    long points = 0;
    pd->onresult = [&](const SolveState&) { ++points; };
    const auto t0 = std::chrono::steady_clock::now();
    nlecalcs(ses, *run, *pd);
    const real ns = static_cast<real>(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
    closefiles(ses);
    fs::current_path(here);
    const real ref = reference_ns();
    const real perpoint = points > 0 ? ns / static_cast<real>(points) : 0;
    std::cout << "phase diagram grid: " << points << " points of g pl ky q (z(g) = 0.15)\n"
              << "  per point " << realfixstr(1, true, perpoint / 1000) << " us  ("
              << realfixstr(1, true, perpoint / ref) << " x log+exp)\n";
    return points >= 100 ? 0 : 1;
}

// Two batch members of the garnet-plagioclase-kyanite-quartz equilibrium (held at two pairs of
// isopleths, P at 700 and 650 C) over 400 trials of W(py,gr) of a symmetric garnet drawn
// normally: the cost of a trial against that of the plain solves it makes.
int montecarlo_bench(const std::string& dsfile) {
    namespace fs = std::filesystem;
    const fs::path here = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / "qv_montecarlo_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(dsfile, dir / "qv-ds62.txt");
    std::ifstream axin(QV_BENCH_EXAMPLE_AX);
    std::string ax((std::istreambuf_iterator<char>(axin)), std::istreambuf_iterator<char>());
    const std::string ideal = "  p(gr) 1 1 0 1  1 z\n  ideal\n";
    ax.replace(ax.find(ideal), ideal.size(), "  p(gr) 1 1 0 1  1 z\n  sf\n  W(py,gr) 31 0 0\n");
    std::ofstream(dir / "qv-axexample.txt") << ax;
    std::ofstream(dir / "qv-bench.txt") << R"(axfile axexample
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
batchxyzguess startblock
batchxyzguess z(g) 0.2
batchxyzguess ca(pl) 0.5
batch g pl ky q 3 1 1 10 700 0 1 0 0 2 z(g) 0.2 ca(pl) 0.5
batch g pl ky q 3 1 1 10 650 0 1 0 0 2 z(g) 0.3 ca(pl) 0.4
mc g a W(py,gr) 31 6 =
mcit 400
gaussmc
autoexit
*
)";
    fs::current_path(dir);
    QuietConsole con;
    NoClock clk;
    Session ses(con, clk);
    ses.prefs.dsfilesuffix = "62";
    ses.prefs.scriptfilesuffix = "bench";
    ses.runcount = 1;
    auto run = std::make_unique<Run>();
    initglobals(ses, *run);
    startout(ses, run->files, false);
    auto pd = std::make_unique<PdRun>();
    const auto t0 = std::chrono::steady_clock::now();
    nlecalcs(ses, *run, *pd);
    const real ns = static_cast<real>(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
    closefiles(ses);
    std::ifstream csv(dir / "qv-bench.csv");
    long trials = -1;  // the head line
    for (std::string line; std::getline(csv, line);) ++trials;
    fs::current_path(here);
    const real ref = reference_ns();
    const real pertrial = trials > 0 ? ns / static_cast<real>(trials) : 0;
    std::cout << "Monte Carlo run: " << trials << " trials of 2 members of g pl ky q\n"
              << "  per trial " << realfixstr(1, true, pertrial / 1000) << " us  ("
              << realfixstr(1, true, pertrial / ref) << " x log+exp)\n";
    return trials >= 300 ? 0 : 1;
}

}  // namespace qv
