// Monte Carlo runs of the garnet-plagioclase-kyanite-quartz equilibrium: a DQF term of grossular
// drawn around its value moves the pressure of the isopleth intersection; the spread of the
// accepted results against the linear propagation of the draw's sd, with the slope from re-runs
// at shifted values; the same seeds give the same files; the lists parse.

#include "phasediagram/montecarlo.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/random.hpp"
#include "phasediagram/pdfixture.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

// The run's set-up before its batch members: garnet, plagioclase, kyanite and quartz.
const std::string mchead = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
batchxyzguess startblock
batchxyzguess z(g) 0.2
batchxyzguess ca(pl) 0.5
)";

// Two members, P calculated: z(g) 0.2 and ca(pl) 0.5 at 700 C, z(g) 0.3 and ca(pl) 0.4 at
// 650 C; W(py,gr) of the garnet drawn normally around w with sd range / 2. (A run of one member and
// one line would be printed result by result rather than accumulated.)
std::string mcscript(const std::string& w, const std::string& range, const std::string& mcit,
                     const std::string& extra = "", const std::string& filters = "") {
    // a filter line follows the batch line it belongs to
    std::string f1;
    std::string f2;
    if (!filters.empty()) {
        const std::size_t cut = filters.find("filter 2");
        f1 = filters.substr(0, cut);
        f2 = filters.substr(cut);
    }
    return mchead + "batch g pl ky q 3 1 1 10 700 0 1 0 0 2 z(g) 0.2 ca(pl) 0.5\n" + f1 +
           "batch g pl ky q 3 1 1 10 650 0 1 0 0 2 z(g) 0.3 ca(pl) 0.4\n" + f2 +
           "mc g a W(py,gr) " + w + " " + range + " =\nmcit " + mcit + "\ngaussmc\n" + extra +
           "autoexit\n*\n";
}

struct McRun : PdCase {
    explicit McRun(const std::string& script) : PdCase(script, "", symmetricgarnet()) {
        ts.ses.ch.activechannels |=
            (int32{1} << 2) | (int32{1} << 6) | (int32{1} << 7) | (int32{1} << 8);
        DateTime fixed{};
        seedwhrandom(ts.ses.seeds, true, fixed);
    }
    void calculate() {
        go();
        flushfiles(ts.ses);
    }
    std::string file(const std::string& name) const { return dir.read(name); }
    // P (kbar) of member 1 in each accepted trial, from the csv rows.
    std::vector<real> pressures() const {
        std::vector<real> p;
        std::istringstream in(file("qv-gasp.csv"));
        std::string line;
        while (std::getline(in, line)) {
            if (line.find('#') != std::string::npos) continue;
            std::istringstream row(line);
            std::string irun;
            std::string pv;
            std::getline(row, irun, ',');
            std::getline(row, pv, ',');
            p.push_back(std::stold(pv));
        }
        return p;
    }
};

std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The blocks of the " results = {" list: balanced braces from the list's opening to its
// closing "};"; returns the number of blocks at the list's top level, -1 when it does not
// close.
int resultblocks(const std::string& vx) {
    const std::size_t start = vx.find(" results = {");
    if (start == std::string::npos) return -1;
    int depth = 0;
    int blocks = 0;
    bool incomment = false;
    for (std::size_t i = start + 11; i < vx.size(); ++i) {
        if (vx.compare(i, 2, "(*") == 0) incomment = true;
        if (incomment) {
            if (vx.compare(i, 2, "*)") == 0) {
                incomment = false;
                ++i;
            }
            continue;
        }
        if (vx[i] == '{') {
            ++depth;
            if (depth == 2) ++blocks;
        } else if (vx[i] == '}') {
            if (--depth == 0) return vx.compare(i + 1, 1, ";") == 0 ? blocks : -1;
        }
    }
    return -1;
}

TEST(MonteCarloRun, SpreadFollowsTheLinearPropagationOfTheDrawn) {
    // The slope dP/dDQF from two runs of one unperturbed trial each at shifted values.
    auto single = [](const std::string& w) {
        McRun r(mcscript(w, "6", "1"));
        r.calculate();
        const std::vector<real> p = r.pressures();
        EXPECT_EQ(p.size(), 1u) << r.screen();
        return p.empty() ? real{0} : p[0];
    };
    const real slope = (single("31.5") - single("30.5")) / 1;
    ASSERT_GT(std::fabs(slope), 0.01L);

    McRun r(mcscript("31", "6", "300"));
    r.calculate();
    const std::vector<real> p = r.pressures();
    ASSERT_EQ(p.size(), 300u) << r.screen();
    real mean = 0;
    for (real x : p) mean += x;
    mean /= static_cast<real>(p.size());
    real var = 0;
    for (real x : p) var += (x - mean) * (x - mean);
    const real sd = std::sqrt(var / static_cast<real>(p.size() - 1));
    // sd of the draw is range / 2 = 3 kJ; 300 trials give the sample sd within some 10 %
    EXPECT_REL_NEAR(sd, std::fabs(slope) * 3, 0.2L);
    // the first trial is the unperturbed one
    EXPECT_REL_NEAR(p[0], single("31"), 1e-12L);
}

TEST(MonteCarloRun, SameSeedsSameFilesAndTheListsParse) {
    McRun a(mcscript("31", "6", "20"));
    a.calculate();
    McRun b(mcscript("31", "6", "20"));
    b.calculate();
    for (const char* name : {"qv-gasp-vx.txt", "qv-gasp.csv", "qv-gasp-2.csv", "qv-gasp-o.txt"}) {
        EXPECT_EQ(a.file(name), b.file(name)) << name;
    }
    const std::string vx = a.file("qv-gasp-vx.txt");
    EXPECT_EQ(resultblocks(vx), 20) << vx;
    EXPECT_NE(vx.find(" mcinfo = {{\"w(py,gr)a\", 31.00, 6.000}};"), std::string::npos) << vx;
    EXPECT_NE(vx.find(" filter = {{}};"), std::string::npos);
    // the count of blocks closes the file
    EXPECT_NE(vx.find("\n20\n"), std::string::npos);
    EXPECT_NE(a.screen().find("20 successes in 20 runs."), std::string::npos) << a.screen();
}

TEST(MonteCarloRun, TrialLimitBeforeTheWantedCountClosesTheList) {
    // Results only above 20 kbar: no trial is accepted, and the list still closes.
    McRun none(mcscript("31", "6", "4 10", "", "filter 1 P 20 30\nfilter 2 P 0 30\n"));
    none.calculate();
    EXPECT_EQ(resultblocks(none.file("qv-gasp-vx.txt")), 0) << none.file("qv-gasp-vx.txt");
    // Trials above the unperturbed pressure are refused: some are accepted, and the run stops
    // at its 30 trials.
    McRun first(mcscript("31", "6", "1"));
    first.calculate();
    ASSERT_EQ(first.pressures().size(), 1u);
    std::string p0;
    addreal(6, true, 0, p0, first.pressures()[0] - 1e-6L);
    McRun some(mcscript("31", "6", "30 1000", "", "filter 1 P " + p0 + " 20\nfilter 2 P 0 30\n"));
    some.calculate();
    const std::string vx = some.file("qv-gasp-vx.txt");
    const std::size_t accepted = some.pressures().size();
    EXPECT_GT(accepted, 3u) << vx;
    EXPECT_LT(accepted, 27u);
    // the accepted blocks and the empty entry that closes the list
    EXPECT_EQ(resultblocks(vx), static_cast<int>(accepted) + 1) << vx;
    EXPECT_NE(vx.find(" {}}; (* trial limit reached *)"), std::string::npos);
}

// Two members at 683 C and 651.5 C, with a third given as `third` (a "batch" line) or none.
std::string twotemperatures(const std::string& mcit, const std::string& third = "") {
    return mchead +
           "batch g pl ky q 3 1 1 10 683 0 1 0 0 2 z(g) 0.2 ca(pl) 0.5\n"
           "batch g pl ky q 3 1 1 10 651.5 0 1 0 0 2 z(g) 0.3 ca(pl) 0.4\n" +
           third + "mc g a W(py,gr) 31 6 =\nmcit " + mcit + "\ngaussmc\nautoexit\n*\n";
}

TEST(MonteCarloRun, ListRowsGivePAndTToTheDecimalsOfTheRun) {
    McRun r(twotemperatures("1"));
    r.calculate();
    const std::vector<real> csvp = r.pressures();
    ASSERT_EQ(csvp.size(), 1u) << r.screen();
    // " {{ (* 1 *) { P, T}, {z, ca}}," on the drawing-program list; "1 1 2 P T z ca " on the
    // summary channel
    const std::string vx = r.file("qv-gasp-vx.txt");
    const std::string out = r.file("qv-gasp-o.txt");
    const real t[] = {683, 651.5L};
    for (int m = 1; m <= 2; ++m) {
        SCOPED_TRACE(m);
        const std::string head = "{{ (* " + std::to_string(m) + " *) { ";
        const std::size_t at = vx.find(head);
        ASSERT_NE(at, std::string::npos) << vx;
        std::istringstream row(vx.substr(at + head.size()));
        std::string ptext;
        std::string ttext;
        std::getline(row, ptext, ',');
        std::getline(row, ttext, '}');
        EXPECT_EQ(ttext.find('e'), std::string::npos) << ttext;
        EXPECT_REL_NEAR(std::stold(ttext), t[m - 1], 1e-15L);
        if (m == 1) {
            EXPECT_NEAR(static_cast<double>(std::stold(ptext) - csvp[0]), 0, 0.0006);
        }
        const std::string plain = std::to_string(m) + " 1 2 " + ptext + " " + trimmed(ttext);
        EXPECT_NE(out.find(plain), std::string::npos) << plain << "\n" << out;
    }
}

TEST(MonteCarloRun, AMemberThatNeverSolvesGivesNoSuccesses) {
    // At 500 C garnet this calcic with so sodic a plagioclase lies far below 2 kbar.
    McRun r(twotemperatures("5", "batch g pl ky q 3 1 1 10 500 0 1 0 0 2 z(g) 0.9 ca(pl) 0.1\n"));
    r.calculate();
    EXPECT_EQ(r.screen().find("successes"), std::string::npos) << r.screen();
    EXPECT_EQ(r.pressures().size(), 0u);
    EXPECT_EQ(resultblocks(r.file("qv-gasp-vx.txt")), 0) << r.file("qv-gasp-vx.txt");
    EXPECT_NE(r.file("qv-gasp-vx.txt").find("\n0\n"), std::string::npos);
}

TEST(MonteCarloRun, BadInputsStopWithTheirMessages) {
    const struct {
        std::string script;
        const char* proc;
        const char* message;
    } cases[] = {
        {mcscript("31", "6", "0"), "solve", "mcit = 0"},
        {mcscript("31", "6", "5", "", "filter 1 w(g) 0 1\nfilter 2 P 0 30\n"), "setupmontecarlo",
         "unrecognised variable name"},
    };
    for (const auto& c : cases) {
        McRun r(c.script);
        EXPECT_BOMB(nlecalcs(r.ts.ses, r.run, *r.pd), c.proc, c.message);
    }
}

TEST(MonteCarloRun, McdebugShowsEveryPhaseStateBeforeTheFirstResult) {
    McRun r(mcscript("31", "6", "3", "mcdebug yes\n"));
    r.openlog();
    r.calculate();
    const std::string& out = r.screen();
    const std::size_t table = out.find("g    ----------------------------------------");
    ASSERT_NE(table, std::string::npos) << out;
    EXPECT_NE(out.find("pl   ----------------------------------------"), std::string::npos);
    const std::size_t result = out.find(std::string(60, '-'));
    ASSERT_NE(result, std::string::npos) << out;
    EXPECT_LT(table, result);
    EXPECT_NE(r.file("qv-log.txt").find("g    ----------------------------------------"),
              std::string::npos);
}

TEST(NormalRandom, MeanAndSpreadOfManyDraws) {
    WhSeeds seeds;
    seedwhrandom(seeds, true, DateTime{});
    const int n = 20000;
    real s = 0;
    real s2 = 0;
    for (int i = 0; i < n; ++i) {
        const real z = normalrandom(seeds, 3, 2);
        s += z;
        s2 += z * z;
    }
    const real mean = s / n;
    EXPECT_NEAR(static_cast<double>(mean), 3, 0.05);
    EXPECT_NEAR(static_cast<double>(std::sqrt(s2 / n - mean * mean)), 2, 0.05);
}

}  // namespace
}  // namespace qv::test
