// The script-form starting guesses that a run writes to its log ("ptguess" and "xyzguess"),
// pasted into the script of the next run, start that run at the point already found.

#include <gtest/gtest.h>

#include <sstream>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

struct Solved {
    std::vector<PdCase::Point> points;
    std::vector<int> iterations;  // line searches of the solve of each good result
    std::string log;
    std::string screen;
};

Solved runcase(const std::string& script) {
    Solved out;
    PdCase c(script);
    c.openlog();
    c.pd->onresult = [&](const SolveState& st) {
        PdCase::Point pt{st.cur.p, st.cur.t, {0}};
        for (int i = 1; i <= c.run.nxvars + c.run.nmodevars; ++i) pt.x.push_back(st.varvalues[i]);
        out.points.push_back(pt);
        out.iterations.push_back(st.nlestatus.niterations);
    };
    c.go();
    flushfiles(c.ts.ses);
    out.log = c.dir.read("qv-log.txt");
    out.screen = c.screen();
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The guess block of the log: from the "ptguess" line to the rule after the last "xyzguess".
std::string guessblock(const std::string& log) {
    std::string block;
    bool in = false;
    for (const auto& line : lines(log)) {
        if (line.rfind("ptguess ", 0) == 0) in = true;
        if (!in) continue;
        if (line.rfind("ptguess", 0) != 0 && line.rfind("xyzguess", 0) != 0 &&
            line.rfind("% --", 0) != 0) {
            break;
        }
        block += line + "\n";
    }
    return block;
}

// The script with the block pasted in before its end mark.
std::string pasted(std::string script, const std::string& block) {
    script.insert(script.rfind("*\n"), block);
    return script;
}

// The values of the "starting guesses:" line of the iteration table (the line after it).
std::string startline(const std::string& screen) {
    const auto all = lines(screen);
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        if (all[i].rfind("starting guesses:", 0) == 0) return all[i + 1];
    }
    return {};
}

// A value of the block: the number after `key` (a "ptguess" line gives P then T).
real blockvalue(const std::string& block, const std::string& key, int which = 1) {
    for (const auto& line : lines(block)) {
        std::istringstream in(line);
        std::string head;
        in >> head;
        if (head != key.substr(0, key.find(' '))) continue;
        if (key.find(' ') != std::string::npos) {
            std::string name;
            in >> name;
            if (name != key.substr(key.find(' ') + 1)) continue;
        }
        long double v = 0;
        for (int k = 0; k < which; ++k) in >> v;
        return v;
    }
    ADD_FAILURE() << "no " << key << " in\n" << block;
    return 0;
}

// The starting-guess line the solver prints for P, T (°C) and the free variables.
std::string expectedstart(real p, real tc, const std::vector<real>& free) {
    std::string line(17, ' ');
    addreal(4, false, 10, line, p);
    addreal(3, false, 10, line, tc);
    for (real x : free) addreal(4, true, 10, line, x);
    return line;
}

// Garnet, plagioclase, kyanite and quartz with the garnet composition set: the plagioclase
// composition at given P and T, and the T of the equilibrium at given P with both compositions
// set. The guesses of the a-x file (z(g) 0.2, ca(pl) 0.5) are far from both results.
const char* const atpt = R"(axfile axgasp
with g pl ky q
diagramPT 4 16 500 900
pseudosection no
inexcess yes
calcP 12
calcT 700
isopleth z(g) 0.15
printxyz yes
debuglevel 2
autoexit
*
)";

const char* const tatp = R"(axfile axgasp
with g pl ky q
diagramPT 4 16 500 1000
pseudosection no
inexcess yes
calcTatP yes
calcP 9
isopleth z(g) 0.15 ca(pl) 0.3
printxyz yes
debuglevel 2
autoexit
*
)";

TEST(GuessRoundTrip, PastedCompositionGuessesStartTheNextSolveAtTheResult) {
    const Solved first = runcase(atpt);
    ASSERT_EQ(first.points.size(), 1u) << first.screen;
    const std::string block = guessblock(first.log);
    ASSERT_NE(block.find("xyzguess ca(pl)"), std::string::npos) << "log:\n" << first.log;
    const real capl = blockvalue(block, "xyzguess ca(pl)");
    EXPECT_ABS_NEAR(static_cast<double>(capl), static_cast<double>(first.points[0].x[4]), 1e-7);

    const Solved second = runcase(pasted(atpt, block));
    ASSERT_EQ(second.points.size(), 1u) << second.screen;
    // The solve starts from the pasted plagioclase; without the block it starts from the a-x
    // file's 0.5.
    EXPECT_EQ(startline(second.screen), expectedstart(12, 700, {capl})) << second.screen;
    EXPECT_EQ(startline(first.screen), expectedstart(12, 700, {0.5L}));
    EXPECT_NE(second.screen.find("in the scriptfile: g pl"), std::string::npos) << second.screen;
    EXPECT_EQ(second.screen.find("relied just on starting guesses"), std::string::npos);
    // Started at the result, the solve needs at most one step; the first run needed several.
    EXPECT_GE(first.iterations[0], 3);
    EXPECT_LE(second.iterations[0], 1);
    EXPECT_ABS_NEAR(static_cast<double>(second.points[0].x[4]), static_cast<double>(capl), 1e-7);
}

TEST(GuessRoundTrip, PastedTemperatureGuessStartsTheNextSolveAtTheResult) {
    const Solved first = runcase(tatp);
    ASSERT_EQ(first.points.size(), 1u) << first.screen;
    const std::string block = guessblock(first.log);
    ASSERT_NE(block.find("ptguess "), std::string::npos) << "log:\n" << first.log;
    const real pguess = blockvalue(block, "ptguess", 1);
    const real tguess = blockvalue(block, "ptguess", 2);
    EXPECT_ABS_NEAR(static_cast<double>(pguess), 9, 1e-12);
    EXPECT_ABS_NEAR(static_cast<double>(tguess), static_cast<double>(first.points[0].t - 273.15L),
                    0.005);

    const Solved second = runcase(pasted(tatp, block));
    ASSERT_EQ(second.points.size(), 1u) << second.screen;
    // The T of the solve starts at the pasted guess instead of the middle of the T window.
    EXPECT_EQ(startline(second.screen), expectedstart(9, tguess, {})) << second.screen;
    EXPECT_EQ(startline(first.screen), expectedstart(9, 750, {}));
    EXPECT_GE(first.iterations[0], 2);
    EXPECT_LE(second.iterations[0], 1);
    // The same T, to the two decimals of the pasted guess.
    EXPECT_ABS_NEAR(static_cast<double>(second.points[0].t), static_cast<double>(first.points[0].t),
                    0.005);
}

}  // namespace
}  // namespace qv::test
