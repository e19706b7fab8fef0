// Batch, Monte Carlo, fractionation and analysis-conversion keywords, with their capacities.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "script/readscripts.hpp"
#include "script/scriptfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::mandatory;
using test::ScriptRun;

std::string lines(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

// A batch of q and ky at one P-T point without bulk, modes or isopleths.
const std::string onebatch = "batch q ky 2 1 1 8 600 0 1 0 0 0\n";
const std::string bxyz = "batchxyzguess startblock\nbatchxyzguess x(g) 0.3 range 0 1\n";

TEST(Batches, NoBatchKeywordMeansOneBatch) {
    ScriptRun run;
    run.read(mandatory);
    EXPECT_EQ(run.s.nbatch, 1);
    EXPECT_EQ(run.s.batchcb, controlboolean::no);
    EXPECT_EQ(run.s.mctrials, 1);
}

TEST(Batches, RecordsSwitchesAndRequests) {
    ScriptRun run;
    run.read(mandatory + bxyz + "mcbulk 1 1\n" +
             "batch q sill 0 2 1 6 8 550 1 1 1 0 0 1 q 0.25 2 x(g) 0.3 y(g) 0.4\n" + onebatch +
             onebatch + "batchswitch except 2\nbatchreq 1 2 3\nbatchreq 2\n");
    const ScriptSettings& s = run.s;
    ASSERT_EQ(s.nbatch, 2);  // batch 2 switched off
    const BatchRec& b = s.tables->batch[1];
    EXPECT_TRUE(b.phases[1]);
    EXPECT_TRUE(b.phases[3]);
    EXPECT_FALSE(b.phases[2]);
    EXPECT_EQ(b.npt, 2);
    EXPECT_REL_NEAR(b.t[1], 823.15L, 1e-18L);
    EXPECT_EQ(b.comp1, 1);
    EXPECT_EQ(b.mode[1], 0.25L);
    EXPECT_EQ(b.isonames[2], "y(g)");
    EXPECT_EQ(b.isovalues[2], 0.4L);
    EXPECT_EQ(s.tables->batchmap[2], 3);
    ASSERT_EQ(s.nbatchreq, 1);  // the request for batch 2 alone is gone
    EXPECT_EQ(s.tables->batchreq[1].n, 2);
    EXPECT_NE(run.screen().find("caring batches\n   1   2\n"), std::string::npos) << run.screen();
    EXPECT_NE(run.screen().find("no of batches = 2; no of filters = -1; no of mc = -1"),
              std::string::npos);
}

TEST(Batches, FaultsAndCapacities) {
    struct Case {
        std::string script, message;
    };
    const Case cases[] = {
        {"batch q grt 0 1 1 8 600 0 1 0 0 0\n", "unrecognised phase, grt, in batch"},
        {"batch q 0 4 3 8 600 0 1 0 0 0\n", "too many batch PT"},
        {"batch q 0 1 1 8 600 1 2 0 0 0\n", "in batch, kxyz out of range"},
        // every batch names its block of starting guesses, whatever its flag
        {"batch q 0 1 1 8 600 0 0 0 0 0\n", "in batch, kxyz out of range"},
        {"batch q 0 1 1 8 600 0 1 1 0 0\n", "in batch, pseudosection wanted but no bulk"},
        {"batch q 0 1 1 8 600 0 1 0 3 0\n", "in batch, wrong number of modes set"},
        {"batch q 0 1 1 8 600 0 1 0 0 7\n", "in batch, too many isopleths"},
        {onebatch + "filter 2 T 500 700\n", "filters not interleaved with batches"},
        {onebatch + "filter 1 T 500\n", "insufficient filter info"},
        {lines(onebatch, 100), "too many batch (max = 99) "},
        {onebatch + lines("filter 1 T 500 700\n", 31), "too many filters (max = 30) "},
        {"mccorr\n", "mccorr no longer exists"},
    };
    for (const Case& c : cases) {
        ScriptRun run;
        EXPECT_BOMB(run.read(mandatory + bxyz + c.script), "reading scripts", c.message);
    }
    ScriptRun iso;
    EXPECT_BOMB(iso.read(mandatory + bxyz + "batch q 0 1 1 8 600 0 1 0 0 2 x(g)\n"), "readscripts",
                "in batch, not enough info for isopleths");
    ScriptRun isovalue;  // each isopleth is a variable and its value
    EXPECT_BOMB(isovalue.read(mandatory + bxyz + "batch q 0 1 1 8 600 0 1 0 0 1 x(g) y(g)\n"),
                "readscripts", "in batch, not enough info for isopleths");
    ScriptRun filters;
    EXPECT_BOMB(filters.read(mandatory + bxyz + onebatch + "filter 1 T 500 700\n" + onebatch),
                "read scripts", "flitters don't match batches");
    // a batch names a block of starting guesses given before it
    ScriptRun noguess;
    EXPECT_BOMB(noguess.read(mandatory + onebatch + bxyz), "reading scripts",
                "in batch, kxyz out of range");
}

TEST(Batches, SwitchRequestGuessAndMonteCarloFaults) {
    struct Case {
        std::string script, proc, message;
    };
    const std::string rs = "reading scripts";
    const std::string mcrange = "mcrange r 1 2\n";
    const Case cases[] = {
        {onebatch + "batchswitch 2\n", rs, "batchswitch not in range"},
        {onebatch + "batchreq\n", rs, "in batchreq, not enough info in a line"},
        {onebatch + "batchreq except\n", rs, "batchreq not given an index"},
        {onebatch + "batchreq 0\n", rs, "batchreq not in range"},
        {"batchxyzguess\n", rs, "in bxyzguess, not enough info in a line (1)"},
        {"batchxyzguess x(g)\n", rs, "in bxyzguess, no guess"},
        {"batchxyzguess x(g) 0.3 range 0\n", rs, "in bxyzguess, range info fubar"},
        {lines("batchxyzguess startblock\n", 99), rs, "in bxyzguess, too big"},
        {"batch q 0 1 1 8 600 0 1 0 0 0 extra\n", rs, "batch input messed up"},
        {"batch q -1 1 1 8 600 0 1 0 0 0\n", rs, "batch with negative variance?"},
        {"batch q 0 1 0 8 600 0 1 0 0 0\n", rs, "not enough batch PT"},
        {"batch q 0 1 2 8 600\n", rs, "insufficient info in batch (2)"},
        {"mcbulk 1 1\nbatch q 0 1 1 8 600 0 1 2 0 0.5 0 0\n", rs,
         "in batch, comp1 code out of range"},
        {"mcbulk 1 1\nbatch q 0 1 1 8 600 0 1 1 0 1.5 0 0\n", rs, "in batch, bung bulk proportion"},
        {"batch q 0 1 1 8 600 0 1 0 1 g 0.5 0\n", rs, "in batch, modeset phase1 not in which"},
        {"mc bi d W(a,b) 1 2 = r\n" + mcrange, rs, "in mc, abc"},
        {"mc bi a X(a,b) 1 2 = r\n" + mcrange, rs, "in mc, mcvarname (1)"},
        {"mc bi a W(a,b 1 2 = r\n" + mcrange, rs, "in mc, mcvarname (2)"},
        {"mc bi a W(a,b) 1 2 < r\n" + mcrange, rs, "in mc, >/< not currently implemented"},
        {"mc bi a W(a,b) 1 2\n", rs, "in mc, not enough info"},
        {"mcrange r 1 2\n", rs, "wrong mcrange info"},
        {"mcfunc f\n", rs, "wrong mcfunc info (1)"},
        {"mcfunc f 1 x\n", rs, "wrong mcfunc info (3)"},
        {"mcfunc f 0 1\n", rs, "wrong mcfunc info (3)"},  // a coefficient without its range
        // 21 terms do not fit on one entry: the entry's own limit stops them first
        {"mcfunc f 0" + lines(" 1 r", 21) + "\n", "reading script for mcfunc", "too much info"},
        {"mcit x\n", rs, "wrong mcit info"},
        {"mcit -1\n", rs, "wrong mcit info"},
        {"mcbulk 1 x\n", rs, "wrong batchbulk info"},
        {onebatch + "mc bi a W(a,b) 1 2 f r\n" + mcrange, "read scripts", "in mc, no mcfunc"},
        {"batch q 0 2 1 8 9 600 0 1 0 0 0\nmc bi a W(a,b) 1 2 = r\n" + mcrange, "read scripts",
         "only one calc per batch in mcqv currently"},
        {"xyzguess x(g) 0.3\n" + onebatch + "mc bi a W(a,b) 1 2 = r\n" + mcrange, "scripts",
         "xyzguess not allowed with batches (use batchxyzguess)"},
    };
    for (const Case& c : cases) {
        ScriptRun run;
        EXPECT_BOMB(run.read(mandatory + bxyz + c.script), c.proc, c.message);
    }
}

TEST(MonteCarlo, LinesTheirLimitAndTheRunSettings) {
    const std::string mcline = "mc bi a W(phl,ann) 10 14 = wrange\n";
    const std::string tail = "mcrange wrange 10 14\nmcit 20 2\n";
    ScriptRun run;
    run.read(mandatory + bxyz + onebatch + mcline + tail);
    const ScriptSettings& s = run.s;
    EXPECT_EQ(s.nmc, 1);
    EXPECT_EQ(s.mctrials, 20);
    // debug level 0 of a Monte Carlo run stops the script-form printing; a single calculation
    // is then lifted to level 1
    EXPECT_EQ(s.printxyzcb, controlboolean::no);
    EXPECT_EQ(s.debuglev, 1);
    EXPECT_FALSE(s.pseudoon);
    EXPECT_EQ(s.vexlatcb, controlboolean::no);
    EXPECT_EQ(s.calctcb, controlboolean::yes);  // the whole diagram is searched
    EXPECT_EQ(run.w.twinhigh, run.w.tmaxall);

    ScriptRun many;
    EXPECT_BOMB(many.read(mandatory + bxyz + onebatch + lines(mcline, 151) + tail),
                "reading scripts", "too many mc (max = 150) ");
    ScriptRun excess;
    EXPECT_BOMB(excess.read(mandatory + "inexcess q\n" + bxyz + onebatch + mcline + tail),
                "read scripts", "sorry! in-excess phases not allowed with" + std::string(20, ' '));
    ScriptRun ds55;
    EXPECT_BOMB(ds55.read(mandatory + bxyz + onebatch + mcline + tail, true), "read scripts",
                "no mcqv with ds55");
    ScriptRun unmatched;
    EXPECT_BOMB(unmatched.read(mandatory + bxyz + onebatch + mcline + "mcrange other 1 2\n"),
                "read scripts", "in mc, no match with mcrange");
    ScriptRun notwith;
    EXPECT_BOMB(notwith.read(mandatory + "mc g a W(a,b) 1 2 = r\n"), "reading scripts",
                "g in mc not in \"with\"");
}

TEST(Fractionation, YesEndsTheRunAndNoIsReported) {
    for (const char* line : {"fractionation\n", "fract ask\n"}) {
        ScriptRun run;
        EXPECT_THROW(run.read(mandatory + line), RunKilled);
        EXPECT_NE(
            run.screen().find("\nfractcalcs are currently untested - what state are they in??\n\n"),
            std::string::npos);
    }
    ScriptRun no;
    no.read(mandatory + "fractionation no\n");
    EXPECT_NE(no.screen().find("fractionation info input attempted, but failed\n"),
              std::string::npos);
    EXPECT_EQ(no.s.fractionationcb, controlboolean::no);
}

TEST(Convert, MineralsBulkAndTheirLimits) {
    ScriptRun run;
    run.opt = test::utilityscript;
    run.read(
        "utilitycode 1\nconvert g 2 SiO2 FeOt\nconvert g wt2xyz 38 30\n"
        "convert g info 12 0.1 0.3 0.01 0.5\n"
        "convert g ideal peq 8 0 2 1 Si 1 Fe2 peq 3 0.5 1 2 Si\n"
        "convert bulk 2 SiO2 MgO\nconvert bulk wt2mole 50 40\nconvert a b c\n");
    const ScriptSettings& s = run.s;
    ASSERT_EQ(s.nwtmin, 1);
    EXPECT_EQ(s.bulkconvflag, 1);
    const mineraltype& m = s.tables->wtminerals[1];
    EXPECT_EQ(m.anoxnames[2], "FeO");
    EXPECT_EQ(m.anwt[1], 38);
    EXPECT_TRUE(m.analysisgiven);
    EXPECT_EQ(m.oxygenbasis, 12);
    EXPECT_EQ(m.aerr, 0.025L);  // raised to the floor
    EXPECT_EQ(m.sdmult, 1);     // raised to 1
    EXPECT_REL_NEAR(m.lnxmean, (std::log(0.1L) + std::log(0.3L)) / 2, 1e-15L);
    EXPECT_REL_NEAR(m.lnxsd, (std::log(0.3L) - std::log(0.1L)) / 4, 1e-15L);
    ASSERT_EQ(m.npeq, 2);
    EXPECT_EQ(m.peq[1].rhs, 8);
    EXPECT_EQ(m.peq[1].nterms, 2);
    EXPECT_EQ(m.peq[1].names[2], "Fe2");
    EXPECT_EQ(m.peq[2].constant, 0.5L);
    EXPECT_EQ(m.peq[2].coef[1], 2);
    EXPECT_EQ(s.nbulkconvox, 2);
    EXPECT_EQ(s.nbulkconvwt, 2);
    EXPECT_EQ(s.bulkconvwt[2], 40);

    // Defaults of "info": a = 0 gives 0.035, a multiplier of 0 gives 3; a range at 0 means all
    // iron ferrous, just inside.
    ScriptRun pinned;
    pinned.opt = test::utilityscript;
    pinned.read("utilitycode 1\nconvert g 2 SiO2 FeO\nconvert g info 12 0 0 0 0\n");
    const mineraltype& p = pinned.s.tables->wtminerals[1];
    EXPECT_EQ(p.aerr, 0.035L);
    EXPECT_EQ(p.sdmult, 3);
    EXPECT_REL_NEAR(p.lnxmean, std::log(1e-5L), 1e-15L);
    EXPECT_REL_NEAR(p.xhigh, std::exp(std::log(1e-5L) + 0.002L), 1e-15L);

    struct Case {
        std::string script, message;
    };
    const Case cases[] = {
        {lines("convert g 2 SiO2 FeO\n", 13), "too many minerals in the rock"},
        {"convert g 2 SiO2 FeO\nconvert g info 12 0.5 0.5 0 0\n",
         "xhigh must be bigger than xlow for g"},
        {"convert g 2 SiO2 FeO\nconvert g info 12 0.1 0.5 0\n", "insufficient recalc info for g"},
        {"convert g 2 SiO2 FeO\nconvert h wt2xyz 1 2\n", "not for the same mineral, for h"},
        {"convert g wt2xyz 1 2\n", "missing mineral start line"},
        {"convert g 3 SiO2 FeO\n", "insufficient oxnames for g"},
        {"convert g 3 SiO2 FeO MgO\nconvert g wt2xyz 1 2\n", "insufficient analysis values for g"},
        {"convert g 2 SiO2 MgO\nconvert g ideal peq 3 0 1\n", "insufficient recalc info (1) for g"},
        {"convert g 2 SiO2 MgO\nconvert g ideal peq 3 0 2 1 Si\n",
         "insufficient recalc info (2) for g"},
        {"convert g 2 SiO2 MgO\nconvert g ideal peq 3 0 1 1 Si peq 1 0 1 1 Si peq 1 0 1 1 Si\n"
         "convert g ideal peq 3 0 1 1 Si peq 1 0 1 1 Si\n",
         "too many peq for g"},
        {"convert bulk 3 SiO2 MgO\n", "not enough input for oxides in convert bulk"},
        {"convert bulk 2 SiO2 MgO\nconvert bulk wt2mole 1 2 3\n", "wrong form for convert bulk"},
        {"convert bulk wt2mole 1 2\n", "wrong form for convert bulk"},
    };
    for (const Case& c : cases) {
        ScriptRun bad;
        bad.opt = test::utilityscript;
        EXPECT_BOMB(bad.read("utilitycode 1\n" + c.script), "reading scripts", c.message);
    }
}

}  // namespace
}  // namespace qv
