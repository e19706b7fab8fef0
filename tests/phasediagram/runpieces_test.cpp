// Pieces of a phase diagram run: the expansion of isopleth values, the phases in excess of a
// large run, the elimination on the reduced system, the starting modes and the renormalised
// modes of a result without its zero-amount phases.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/phasefixture.hpp"
#include "phasediagram/calcwhat.hpp"
#include "phasediagram/isopleths.hpp"
#include "phasediagram/pdfixture.hpp"
#include "phasediagram/runchoices.hpp"
#include "phasediagram/solve.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

TEST(ExpandIsoValues, TruncationEndsAndEvenSpacing) {
    struct Case {
        real low, high, inc;
        std::vector<double> first;  // leading values
        int count;
        double last;
    };
    const std::vector<Case> cases = {
        {0.1L, 0.5L, 0.1L, {0.1, 0.2, 0.3}, 5, 0.5},
        {0, 1, 0.003L, {0, 0.01, 0.02}, 101, 1},                    // 334 values would not fit
        {0, 0.25L, 0.1L, {0, 0.1, 0.2}, 4, 0.25},                   // the high end appended
        {0.2L, 0.4L, 0.5L, {0.2}, 2, 0.4},                          // increment spans the range
        {0.3L, 0.3L, 0.001L, {0.3}, 1, 0.3},                        // one value
        {0, 0.2L, 0.001L, {0, 0.001, 0.002}, 201, 0.2},             // exactly 201 values
        {0, 0.2005L, 0.001L, {0, 0.002005, 0.00401}, 101, 0.2005},  // 201 and the end
        // counts beyond any integer (the last past the largest real) are thinned alike
        {0.1L, 0.5L, 1e-30L, {0.1, 0.104, 0.108}, 101, 0.5},
        {0, 1, 1e-4940L, {0, 0.01, 0.02}, 101, 1},
        {0.1L, 0.5L, 0, {0.1, 0.104, 0.108}, 101, 0.5},  // refused where read
    };
    for (const Case& c : cases) {
        Fixed1<real, maxisovalues> v{};
        const int16 n = expandisovalues(c.low, c.high, c.inc, v);
        EXPECT_EQ(n, c.count) << static_cast<double>(c.high);
        for (std::size_t i = 0; i < c.first.size(); ++i) {
            EXPECT_ABS_NEAR(static_cast<double>(v[static_cast<int>(i) + 1]), c.first[i], 1e-12);
        }
        EXPECT_ABS_NEAR(static_cast<double>(v[n]), c.last, 1e-12);
    }
}

TEST(ReadInExcess, PhaseBeyondTheEightiethIsFlagged) {
    PhaseRun r;
    for (int k = 1; k <= 85; ++k) r.addpure("p" + std::to_string(k));
    r.sc.inexcesscb = controlboolean::yes;
    r.sc.ninexcess = 1;
    r.sc.inexcesslist[1] = "p85";
    readinexcess(r.ses, r.run);
    EXPECT_TRUE(r.run.excess.excessflag[85]);
    EXPECT_TRUE(r.run.excess.isophaseflag[85]);
    EXPECT_EQ(r.run.excess.nexcess, 1);
    EXPECT_NE(r.ts.console.output.find("in excess: p85"), std::string::npos);
}

// Quartz alone in the system MgO-SiO2 with a bulk that holds MgO.
struct Reduced : PhaseRun {
    std::unique_ptr<PdRun> pd = std::make_unique<PdRun>();
    ReducedSystem rs;
    bemvector take{};
    Reduced() {
        SystemComponents& comps = run.dataset.components;
        comps.ncomp = 2;
        comps.compnames[1] = "MgO";
        comps.compnames[2] = "SiO2";
        comps.compdenom.fill(1);
        addpure("q").comp[2] = 1;
        addpure("per").comp[1] = 1;
        rs = fullsystem(run);
        rs.nbulk = 1;
        rs.bulk[1][1] = 0.5L;
        rs.bulk[1][2] = 0.5L;
        take[1] = true;
    }
};

TEST(CalcRankp, BulkOutsideTheReducedSystemIsExcludedAtEveryDebugLevel) {
    for (int level : {0, 1, 2, 3}) {
        Reduced r;
        r.sc.debuglev = static_cast<int16>(level);
        const RankResult rr = calcrankp(r.ses, r.run, *r.pd, r.rs, r.take);
        EXPECT_FALSE(rr.ok) << level;
        EXPECT_EQ(rr.rank, 1);
        EXPECT_EQ(r.pd->rankdeficit, 1);
        const std::string& out = r.ts.console.output;
        EXPECT_NE(out.find("bulk NOT in reduced system\nthis equation must apply\n   MgO = 0\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("matrix is rank deficient") != std::string::npos, level > 1);
    }
}

TEST(CalcRankp, BulkInTheReducedSystemPasses) {
    Reduced r;
    r.rs.bulk[1][1] = 0;
    r.rs.bulk[1][2] = 1;
    EXPECT_TRUE(calcrankp(r.ses, r.run, *r.pd, r.rs, r.take).ok);
    r.take[2] = true;  // quartz and periclase make any bulk of the system
    const RankResult full = calcrankp(r.ses, r.run, *r.pd, r.rs, r.take);
    EXPECT_TRUE(full.ok);
    EXPECT_EQ(full.rank, 2);
    EXPECT_EQ(r.pd->rankdeficit, 0);
}

struct ModeGuess {
    TestSession ts;
    Fixed1<real, maxeq> guess{};
    Fixed1<bool, maxeq> given{};
    Fixed1<std::string, maxeq> names{};
    Fixed1<real, maxeq> run(int16 n) { return setmodeguess(ts.ses, guess, given, n, names); }
};

TEST(SetModeGuess, FillsAndNormalises) {
    ModeGuess a;
    a.guess[1] = 0.3L;
    EXPECT_EQ(a.run(1)[1], 1);  // one mode is the whole rock
    ModeGuess b;                // no guesses: equal shares spread by at most 1/(5 n)
    const auto m = b.run(4);
    EXPECT_ABS_NEAR(static_cast<double>(m[1]), 0.25 - 0.05, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(m[4]), 0.25 + 0.05, 1e-15);
    ModeGuess c;  // one guess, the rest share what is left
    c.guess[2] = 0.4L;
    const auto mc = c.run(3);
    EXPECT_ABS_NEAR(static_cast<double>(mc[1] + mc[3]), 0.6, 1e-15);
}

TEST(SetModeGuess, GivenModesSummingToOneInDecimalsAreAccepted) {
    ModeGuess a;
    for (int k = 1; k <= 3; ++k) a.given[k] = true;
    a.guess[1] = 0.1L;
    a.guess[2] = 0.2L;
    a.guess[3] = 0.7L;
    a.guess[1] += 1e-12L;  // as a decimal input may come out of the reader
    EXPECT_NO_THROW(a.run(3));
    ModeGuess b;
    b.given[1] = b.given[2] = true;
    b.guess[1] = 0.4L;
    b.guess[2] = 0.5L;
    EXPECT_BOMB(b.run(2), "setmodeguess", "mode isopleths not sum to 1");
}

TEST(ModeNormFactor, ZeroedPhasesAndTheWholeAssemblage) {
    PhaseRun r;
    auto res = std::make_unique<Result>();
    res->nphases = 2;
    res->ph[1].name = "q";
    res->ph[2].name = "H2O";
    for (int k = 1; k <= 2; ++k) res->ph[k].hasmode = true;
    res->ph[1].mode[1] = 0.75L;
    res->ph[2].mode[1] = 0.25L;
    Fixed1<bool, maxresultphases> zeroed;
    EXPECT_EQ(modenormfactor(r.run, *res, 1, zeroed), 1);
    EXPECT_FALSE(zeroed[2]);
    r.sc.ninexcess0 = 1;
    r.sc.inexcess0list[1] = "H2O";
    EXPECT_ABS_NEAR(static_cast<double>(modenormfactor(r.run, *res, 1, zeroed)), 4.0 / 3, 1e-15);
    EXPECT_TRUE(zeroed[2]);
    res->ph[2].mode[1] = 1;  // the zeroed phase is the whole assemblage: nothing to divide
    EXPECT_EQ(modenormfactor(r.run, *res, 1, zeroed), 1);
}

// Two points, 500 and 600 C, of a garnet-plagioclase-kyanite-quartz calculation.
constexpr const char* twopoints = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
calcTatP no
calcT 500 600 100
isopleth z(g) 0.2 ca(pl) 0.5
autoexit
*
)";

TEST(PhaseDiagramRun, EveryResultSlotIsClearedBeforeTheNextPoint) {
    PdCase c(twopoints);
    std::vector<real> seen;
    c.pd->onresult = [&](const SolveState& st) {
        // What a point leaves in its last slots must not reach the next point's result.
        seen.push_back(st.cur.ph[1].mode[202] + st.cur.ph[2].stepfactor[202]);
        auto& cur = const_cast<Result&>(st.cur);
        cur.ph[1].mode[202] = 7;
        cur.ph[2].stepfactor[202] = 5;
    };
    c.go();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], 0);
}

TEST(PhaseDiagramRun, EachCsvRowIsInItsFileBeforeTheNextPoint) {
    PdCase c(twopoints);
    // The results are seen before they are printed: at the second point the file must hold the
    // heading and the row of the first, though the other files need not be written yet.
    std::vector<std::string> csv;
    c.pd->onresult = [&](const SolveState&) { csv.push_back(c.dir.read("qv-gasp.csv")); };
    c.go();
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_EQ(csv[0], "");
    EXPECT_NE(csv[1].find("P(kbar)"), std::string::npos) << csv[1];
    EXPECT_NE(csv[1].find("500.00"), std::string::npos) << csv[1];
    EXPECT_EQ(csv[1].find("600.00"), std::string::npos) << csv[1];
}

TEST(SolverScaling, WindowsWidenedWithinTheirLimits) {
    PhaseRun r;
    CalcLayoutSettings lay;
    Windows& w = r.run.windows;
    w.pwinlow = 1;
    w.pwinhigh = 9;
    w.twinlow = 500;
    w.twinhigh = 900;
    solverptscaling(r.run, lay);
    // P: 1 - 1.375 is below the smallest P allowed (0.0009 kbar); 9 + 1.375 = 10.375.
    const real plow = 0.0009L;
    EXPECT_ABS_NEAR(static_cast<double>(w.scaling.pscale),
                    static_cast<double>(1 / (10.375L - plow)), 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(w.scaling.poffset + plow * w.scaling.pscale), 0, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(w.scaling.tscale), 1.0 / 550, 1e-15);  // 425 to 975 K
    EXPECT_ABS_NEAR(static_cast<double>(w.scaling.toffset), -425.0 / 550, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(lay.tsmallstep), 0.1 / 550, 1e-15);
    w.twinlow = 300;
    solverptscaling(r.run, lay);
    EXPECT_ABS_NEAR(static_cast<double>(w.scaling.toffset), -283.0 / (975 - 283), 1e-15);
}

// A run that asks for what the program cannot do yet never ends as if it had been done: either
// it is done, or the run ends with a fatal stop (exit code 1) that says what is missing.
TEST(MissingFeature, IsAFatalStopNeverANormalEnd) {
    for (const char* request : {"projection yes"}) {
        PdCase c(std::string("axfile axgasp\nwith g pl ky q\ndiagramPT 2 16 500 900\n"
                             "pseudosection no\ninexcess yes\ncalcTatP no\ncalcT 600\n"
                             "isopleth z(g) 0.2 ca(pl) 0.5\n") +
                 request + "\nautoexit\n*\n");
        try {
            nlecalcs(c.ts.ses, c.run, *c.pd);
            EXPECT_EQ(c.screen().find("not built yet"), std::string::npos) << request;
        } catch (const RunBombed& stop) {
            EXPECT_NE(stop.message.find("not built yet"), std::string::npos)
                << request << ": " << stop.message;
        }
    }
}

}  // namespace
}  // namespace qv::test
