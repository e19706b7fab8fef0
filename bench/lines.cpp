#include "lines.hpp"

#include <initializer_list>
#include <string>
#include <utility>

#include "reactiondiagram/diagram.hpp"
#include "reactiondiagram/runlines.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

volatile real linesink = 0;

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

void reactionlinebench(Session& ses, Run& run, const GemSettings& gs, real ref,
                       const PassTimer& timer, std::ostream& out) {
    Dataset& ds = run.dataset;
    const auto em = [&](const char* name) {
        for (int16 k = 1; k <= ds.nem; ++k) {
            if (ds.emnames[k] == name) return k;
        }
        return int16{0};
    };
    const int16 h2o = em("H2O");
    emvector act;
    act.fill(1);
    emvector actsd{};
    ReactionTables tab{*run.arrays.td, ds.emnames, [](int16, int16) { return MakeList{}; },
                       ds.nem,         act,        h2o,
                       em("CO2")};
    rmatrix& r = *run.arrays.r;
    const auto reaction = [&](int16 i, std::initializer_list<std::pair<const char*, int16>> nu) {
        r[i] = iemvector{};
        for (const auto& [name, c] : nu) r[i][em(name)] = c;
    };
    reaction(1, {{"ky", -1}, {"sill", 1}});
    reaction(2, {{"mu", -1}, {"q", -1}, {"san", 1}, {"sill", 1}, {"H2O", 1}});
    if (em("ky") == 0 || em("sill") == 0 || em("mu") == 0 || em("q") == 0 || em("san") == 0 ||
        h2o == 0) {
        out << "\nreaction lines: the dataset lacks ky, sill, mu, q, san or H2O\n";
        return;
    }
    ses.runcalcmode = calcmodetype::phasecalc;
    auto rl = std::make_unique<ReactionLists>();
    Windows& w = run.windows;
    w.tformat = 2;
    w.pformat = 3;
    ReactionEval ev{ses, gs, tab, r, w};
    const PositionData data{*run.arrays.cov, actsd};
    RunReactionLines lines(ev, data, *rl);
    DiagramState st;

    out << "\nreaction-line tables: time per grid point (a root search in the enlarged window)\n";
    out << padded("reaction", 34) << padded("points", 8) << padded("gem calls", 11)
        << padded("ns per point", 14) << "reference units\n";
    // ky = sill: T at 1, 2, ..., 15 kbar in 400-1100 C.
    {
        w.twinlow = 673.15L;
        w.twinhigh = 1373.15L;
        enlargewindow(st, w, calcvariabletype::calctemperature);
        constexpr int n = 15;
        const real ns = timer(
            [&] {
                real s = 0;
                for (int k = 1; k <= n; ++k) {
                    s += lines.findrxnt(1, false, 0, static_cast<real>(k), 0, 1).x1;
                }
                linesink = s;
            },
            n);
        const auto g0 = ses.gemcount;
        lines.findrxnt(1, false, 0, 5, 0, 1);
        const auto gems = ses.gemcount - g0;
        restorewindow(st, w, calcvariabletype::calctemperature);
        out << padded("ky = sill", 34) << padded(std::to_string(n), 8)
            << padded(std::to_string(gems), 11) << padded(realstr(ns), 14)
            << realfixstr(2, true, ns / ref) << "\n";
    }
    // mu + q = san + sill + H2O: P at 400, 420, ..., 800 C in 1-10 kbar, pure water.
    {
        w.pwinlow = 1;
        w.pwinhigh = 10;
        enlargewindow(st, w, calcvariabletype::calcpressure);
        constexpr int n = 21;
        const real ns = timer(
            [&] {
                real s = 0;
                for (int k = 0; k < n; ++k) {
                    s += lines.findrxnp(2, false, 0, 673.15L + 20 * k, 0, 1).x1;
                }
                linesink = s;
            },
            n);
        const auto g0 = ses.gemcount;
        lines.findrxnp(2, false, 0, 900, 0, 1);
        const auto gems = ses.gemcount - g0;
        restorewindow(st, w, calcvariabletype::calcpressure);
        out << padded("mu + q = san + sill + H2O", 34) << padded(std::to_string(n), 8)
            << padded(std::to_string(gems), 11) << padded(realstr(ns), 14)
            << realfixstr(2, true, ns / ref) << "\n";
    }
}

}  // namespace qv
