// Benchmark of the end-member Gibbs energies: ns per `gem` call for the plain solids, the
// order-disorder solids, H2O and CO2 (Sterner-Pitzer and compensated Redlich-Kwong) of a dataset
// over a grid of metamorphic states, each beside a reference loop of one long double log and exp
// timed in the same run, so that the ratios compare across machines and builds.
//
// Then the reaction lines, the solver, a phase diagram grid and whole runs of the built program
// (elapsed time, peak memory, page faults); see bench/RESULTS.md.
//
// Usage: qv_bench [dataset file [case]]   (default: the project's copy of qv-ds62.txt, all
// cases; a case is chosen by a part of its label, e.g. "H2O")

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "base/fatal.hpp"
#include "base/real.hpp"
#include "entries.hpp"
#include "lines.hpp"
#include "model/dataset.hpp"
#include "model/run.hpp"
#include "textio/console.hpp"
#include "textio/numfmt.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"
#include "timing.hpp"

namespace qv {
namespace {

// P (kbar) and T (K) of one state of the grid.
struct State {
    real p, t;
};

// 400 to 1100 C and 1 to 40 kbar: the states a metamorphic calculation visits most.
std::vector<State> metamorphic_grid() {
    std::vector<State> grid;
    for (int tc = 400; tc <= 1100; tc += 100) {
        for (real p : {1.0L, 2.0L, 4.0L, 6.0L, 8.0L, 10.0L, 15.0L, 20.0L, 30.0L, 40.0L}) {
            grid.push_back({p, static_cast<real>(tc) + 273.15L});
        }
    }
    return grid;
}

volatile real sink = 0;  // keeps the timed results alive

std::string column(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

int run(int argc, char** argv) {
    const std::filesystem::path file =
        std::filesystem::absolute(argc > 1 && *argv[1] != '\0' ? argv[1] : QV_BENCH_DATASET);
    const std::string fname = file.filename().string();
    if (!std::filesystem::exists(file) || fname.rfind("qv-ds", 0) != 0 ||
        file.extension() != ".txt") {
        std::cerr << "qv_bench: need a dataset file named qv-ds<suffix>.txt, got " << file << "\n";
        return 1;
    }
    QuietConsole console;
    SystemClock clock;
    Session ses(console, clock);
    ses.ch.activechannels = 0;
    ses.prefs.dsfilesuffix = fname.substr(5, fname.size() - 5 - 4);
    auto run = std::make_unique<Run>();
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(file.parent_path());
    initglobals(ses, *run);
    Dataset& ds = run->dataset;
    readthermo(ses, *run, 1);
    for (int16 i = 1; i <= ds.ndsem; ++i) ds.emnames[i] = ds.dsnames[i];
    ds.nem = ds.ndsem;
    ds.nrxem = ds.ndsem;
    readthermo(ses, *run, 2);
    readthermo(ses, *run, 3);
    std::filesystem::current_path(here);

    GemSettings gs;
    gs.dsmode = ds.dsmode;
    gs.ds190 = ds.ds190;
    gs.newspfluid = ds.newspfluid;
    const tdmatrix& td = *run->arrays.td;

    std::vector<int16> plain, ordering, h2o, co2;
    for (int16 k = 1; k <= ds.nem; ++k) {
        const std::string& name = ds.emnames[k];
        const tdvector& row = td[k];
        if (name == "H2O") {
            h2o.push_back(k);
        } else if (name == "CO2") {
            co2.push_back(k);
        } else if (!gs.ds190 && (std::lround(row[24]) > 0 || row[15] > 0)) {
            ordering.push_back(k);
        } else {
            plain.push_back(k);
        }
    }
    const std::vector<State> grid = metamorphic_grid();

    struct Case {
        std::string label;
        const std::vector<int16>* ems;
        bool newspfluid;
    };
    const std::vector<Case> cases = {
        {"solids, plain", &plain, gs.newspfluid},
        {"solids, order-disorder", &ordering, gs.newspfluid},
        {"H2O, Sterner-Pitzer", &h2o, true},
        {"CO2, Sterner-Pitzer", &co2, true},
        {"H2O, compensated Redlich-Kwong", &h2o, false},
        {"CO2, compensated Redlich-Kwong", &co2, false},
    };

    const real ref = reference_ns();
    std::cout << "end-member Gibbs energies of " << fname << ": " << grid.size()
              << " states, 400-1100 C, 1-40 kbar\n";
    std::cout << column("reference: one long double log and exp", 40) << realfixstr(2, true, ref)
              << " ns\n\n";
    std::cout << column("case", 34) << column("end-members", 13) << column("ns per call", 14)
              << column("reference units", 17) << "worst end-member (reference units)\n";
    for (const Case& c : cases) {
        if (c.ems->empty()) continue;
        if (argc > 2 && c.label.find(argv[2]) == std::string::npos) continue;
        GemSettings cgs = gs;
        cgs.newspfluid = c.newspfluid;
        const long calls = static_cast<long>(c.ems->size() * grid.size());
        const real ns = time_per_call(
            [&] {
                real s = 0;
                for (const State& st : grid) {
                    for (int16 k : *c.ems) s += gem(ses, cgs, td[k], ds.emnames[k], st.p, st.t);
                }
                sink = s;
            },
            calls);
        // The class figure is a mean: the slowest end-member of the class is shown beside it.
        real worst = 0;
        std::string worstname;
        for (int16 k : *c.ems) {
            const real one = time_per_call(
                [&] {
                    real s = 0;
                    for (const State& st : grid) {
                        s += gem(ses, cgs, td[k], ds.emnames[k], st.p, st.t);
                    }
                    sink = s;
                },
                static_cast<long>(grid.size()));
            if (one > worst) {
                worst = one;
                worstname = ds.emnames[k];
            }
        }
        std::cout << column(c.label, 34) << column(std::to_string(c.ems->size()), 13)
                  << column(realstr(ns), 14) << column(realfixstr(2, true, ns / ref), 17)
                  << worstname << " " << realfixstr(2, true, worst / ref) << "\n";
    }
    const auto chosen = [&](const std::string& label) {
        return argc <= 2 || label.find(argv[2]) != std::string::npos;
    };
    if (chosen("reaction lines")) reactionlinebench(ses, *run, gs, ref, time_per_call, std::cout);
    std::cout << "\n"
              << column("reference, measured again", 40) << realfixstr(2, true, reference_ns())
              << " ns\n";
    int status = 0;
    if (chosen("solver")) {
        std::cout << "\n";
        status |= solver_bench(file.string());
    }
    if (chosen("phase diagram")) {
        std::cout << "\n";
        status |= phasediagram_bench(file.string());
    }
    if (chosen("dogmin")) {
        std::cout << "\n";
        status |= dogmin_bench(file.string());
    }
    if (chosen("Monte Carlo")) {
        std::cout << "\n";
        status |= montecarlo_bench(file.string());
    }
    if (chosen("whole runs")) {
        std::cout << "\n";
        status |= wholerun_bench();
    }
    return status;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
    try {
        return qv::run(argc, argv);
    } catch (const qv::RunBombed& stop) {
        std::cerr << "qv_bench: " << stop.procname << ": " << stop.message << "\n";
        return 1;
    }
}
