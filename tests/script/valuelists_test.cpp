// Lists of values: P and T lists from script intervals or answers, their limit of 201 values and
// the decimals they fix, and the x(CO2), ln a and mu lists of a section.

#include "script/valuelists.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/windowfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::WindowRun;
using Values = std::vector<long double>;

void expectlist(const linevector& v, int16 n, const Values& want) {
    ASSERT_EQ(n, static_cast<int16>(want.size()));
    for (int i = 1; i <= n; ++i) {
        SCOPED_TRACE("value " + std::to_string(i));
        EXPECT_REL_NEAR(v[i], want[static_cast<std::size_t>(i - 1)], 1e-15L);
    }
}

// Evenly spaced from the window's low end, the last value the window's high end.
void expectspanning(const linevector& v, int16 n, real low, real high, real inc) {
    ASSERT_GE(n, 2);
    ASSERT_LE(n, 201);
    EXPECT_EQ(v[1], low);
    EXPECT_REL_NEAR(v[n], high, 1e-12L);
    for (int i = 2; i < n; ++i) EXPECT_REL_NEAR(v[i] - v[i - 1], inc, 1e-9L);
    EXPECT_LE(v[n] - v[n - 1], inc * (1 + 1e-9L));
}

TEST(ReadInterval, PressureListsFromScriptOrAnswer) {
    const struct {
        real pinc;
        int32 mode;
        std::string answer;
        Values want;
        std::string screen;
    } cases[] = {
        {2, 1, "", {1, 3, 5, 7, 9, 10}, "P interval = 2.0 kbar (from script)\n"},
        // too large for the window: half the range
        {20, 1, "", {1, 5.5L, 10}, "P interval = 4.5 kbar (from script)\n"},
        // a list of T values is wanted: the script's P interval is used but not reported
        {2, 2, "", {1, 3, 5, 7, 9, 10}, ""},
        {0, 3, "3\n", {1, 4, 7, 10}, "P interval : "},
        {0, 1, "4\n", {1, 5, 9, 10}, "P interval : "},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answer);
        run.w.pwinlow = 1, run.w.pwinhigh = 10, run.w.pinc = c.pinc;
        readpinterval(run.ses(), run.w, c.mode);
        expectlist(run.w.pvalues, run.w.npvalues, c.want);
        EXPECT_EQ(run.screen(), c.screen);
    }
}

TEST(ReadInterval, TooManyValuesSpreadOverTheWholeWindow) {
    WindowRun run;
    run.w.pwinlow = 1, run.w.pwinhigh = 10, run.w.pinc = 0.01L;
    readpinterval(run.ses(), run.w, 1);
    expectspanning(run.w.pvalues, run.w.npvalues, 1, 10, 0.045L);
    EXPECT_EQ(run.screen(), "P interval = 0.045 kbar (from script)\n");
}

// With no interval, or a window of one value, the list is the low end alone: never a count
// left over from an earlier list.
TEST(ReadInterval, NoIntervalGivesOneValue) {
    const struct {
        bool pressure;
        real low, high, inc;
        int32 mode;
        std::string answer;
    } cases[] = {
        {true, 1, 10, 0, 2, ""},      {true, 1, 10, 0, 1, "0\n"},  {true, 1, 10, 0, 0, ""},
        {true, 4, 4, 2, 1, ""},       {false, 600, 900, 0, 1, ""}, {false, 600, 900, 0, 3, "-5\n"},
        {false, 700, 700, 50, 2, ""},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answer);
        Windows& w = run.w;
        w.npvalues = w.ntvalues = 7;  // stale counts of an earlier run
        if (c.pressure) {
            w.pwinlow = c.low, w.pwinhigh = c.high, w.pinc = c.inc;
            readpinterval(run.ses(), w, c.mode);
            EXPECT_EQ(w.npvalues, 1);
            EXPECT_EQ(w.pvalues[1], c.low);
        } else {
            w.twinlow = c.low, w.twinhigh = c.high, w.tinc = c.inc;
            readtinterval(run.ses(), w, c.mode);
            EXPECT_EQ(w.ntvalues, 1);
            EXPECT_EQ(w.tvalues[1], c.low);
        }
        EXPECT_EQ(run.screen().find("(from script)"), std::string::npos);
    }
}

TEST(ReadInterval, TemperatureListsInKelvinReportedInDegrees) {
    WindowRun script;
    script.w.twinlow = 773.15L, script.w.twinhigh = 973.15L, script.w.tinc = 50;
    readtinterval(script.ses(), script.w, 2);
    expectlist(script.w.tvalues, script.w.ntvalues, {773.15L, 823.15L, 873.15L, 923.15L, 973.15L});
    EXPECT_EQ(script.screen(),
              "T interval = 50.0 \xA1"
              "C (from script)\n");

    // pressures are calculated at these temperatures only in modes 2 and 3
    WindowRun quiet;
    quiet.w.twinlow = 773.15L, quiet.w.twinhigh = 973.15L, quiet.w.tinc = 50;
    readtinterval(quiet.ses(), quiet.w, 1);
    EXPECT_EQ(quiet.w.ntvalues, 5);
    EXPECT_EQ(quiet.screen(), "");

    WindowRun asked("75\n");
    asked.w.twinlow = 773.15L, asked.w.twinhigh = 973.15L;
    readtinterval(asked.ses(), asked.w, 3);
    expectlist(asked.w.tvalues, asked.w.ntvalues, {773.15L, 848.15L, 923.15L, 973.15L});
    EXPECT_EQ(asked.screen(), "T interval : ");
}

TEST(CheckInterval, RefusedPressureIntervalsAreAskedAgain) {
    WindowRun run("0.01\n-1\n20\n2\n");
    run.w.pwinlow = 1, run.w.pwinhigh = 10;
    checkpinterval(run.ses(), run.w, 1);
    expectlist(run.w.pvalues, run.w.npvalues, {1, 3, 5, 7, 9, 10});
    EXPECT_EQ(run.screen(),
              "P interval : "
              "P interval too small : max of 201 pressures\n"
              "try again: P interval : "
              "P interval must be positive - try again: P interval : "
              "P interval too large : max P(high) - P(low) = 9.0\n"
              "try again: P interval : ");
    EXPECT_EQ(run.w.pformat, 3);
    EXPECT_EQ(run.w.tformat, 2);
}

TEST(CheckInterval, ZeroIsRefusedAndFineIntervalsWidenTheFormats) {
    WindowRun run("0\n0.0005\n");
    run.w.pwinlow = 1, run.w.pwinhigh = 1.1L;
    checkpinterval(run.ses(), run.w, 1);
    EXPECT_NE(run.screen().find("P interval too small : max of 201 pressures\n"),
              std::string::npos);
    expectspanning(run.w.pvalues, run.w.npvalues, 1, 1.1L, 0.0005L);
    EXPECT_EQ(run.w.npvalues, 201);
    EXPECT_EQ(run.w.pformat, 4);
    EXPECT_EQ(run.w.tformat, 3);

    // variance 2 keeps T decimals that are already larger
    WindowRun keep("0.5\n");
    keep.w.pwinlow = 1, keep.w.pwinhigh = 10, keep.w.tformat = 4;
    checkpinterval(keep.ses(), keep.w, 2);
    EXPECT_EQ(keep.w.tformat, 4);
    EXPECT_EQ(keep.w.npvalues, 19);
}

TEST(CheckInterval, ScriptIntervalsAndSingleValues) {
    WindowRun p;
    p.w.pwinlow = 2, p.w.pwinhigh = 8, p.w.pinc = 1.5L;
    checkpinterval(p.ses(), p.w, 1);
    expectlist(p.w.pvalues, p.w.npvalues, {2, 3.5L, 5, 6.5L, 8});
    EXPECT_EQ(p.screen(), "P interval = 1.5 (from script)\n");

    WindowRun t;
    t.w.twinlow = 773.15L, t.w.twinhigh = 973.15L, t.w.tinc = 50;
    checktinterval(t.ses(), t.w);
    expectlist(t.w.tvalues, t.w.ntvalues, {773.15L, 823.15L, 873.15L, 923.15L, 973.15L});
    EXPECT_EQ(t.screen(), "T interval = 50 (from script)\n");
    EXPECT_EQ(t.w.tformat, 2);
    EXPECT_EQ(t.w.pformat, 4);

    WindowRun one;
    one.w.pwinlow = one.w.pwinhigh = 2.25L, one.w.pinc = 1;
    one.w.npvalues = 9;
    checkpinterval(one.ses(), one.w, 1);
    EXPECT_EQ(one.w.npvalues, 1);
    EXPECT_EQ(one.w.pvalues[1], 2.25L);
    EXPECT_EQ(one.screen(), "");
}

TEST(CheckInterval, RefusedTemperatureIntervalsAreAskedAgain) {
    WindowRun run("0.5\n300\n30\n");
    run.w.twinlow = 773.15L, run.w.twinhigh = 973.15L;
    checktinterval(run.ses(), run.w);
    expectlist(run.w.tvalues, run.w.ntvalues,
               {773.15L, 803.15L, 833.15L, 863.15L, 893.15L, 923.15L, 953.15L, 973.15L});
    EXPECT_EQ(run.screen(),
              "T interval : "
              "T interval too small : max of 201 temperatures\n"
              "try again: T interval : "
              "T interval too large : max T(high) - T(low) = 200.00\n"
              "try again: T interval : ");
    EXPECT_EQ(run.w.tformat, 2);
    EXPECT_EQ(run.w.pformat, 4);

    // whole kelvin ends print the range as a whole number
    WindowRun whole("500\n-2\n0.25\n");
    whole.w.twinlow = 800, whole.w.twinhigh = 850;
    checktinterval(whole.ses(), whole.w);
    EXPECT_NE(whole.screen().find("max T(high) - T(low) = 50\n"), std::string::npos);
    EXPECT_NE(whole.screen().find("T interval must be positive - try again: T interval : "),
              std::string::npos);
    EXPECT_EQ(whole.w.ntvalues, 201);
    EXPECT_EQ(whole.w.tformat, 2);
    EXPECT_EQ(whole.w.pformat, 4);
}

TEST(ListXco2, StandardValuesOfferedOrTyped) {
    const struct {
        real low, high;
        std::string answers;
        Values want;
        std::string offered;  // "" when no standard list is offered
    } cases[] = {
        {0.1L, 0.9L, "y\n", {0.1L, 0.2L, 0.4L, 0.6L, 0.8L, 0.9L}, "0.1 0.2 0.4 0.6 0.8 0.9 \n"},
        {0.15L,
         0.85L,
         "\n",
         {0.15L, 0.2L, 0.4L, 0.6L, 0.8L, 0.85L},
         "0.15 0.2 0.4 0.6 0.8 0.85 \n"},
        // a later value must rise above the one typed before it
        {0.1L, 0.9L, "n\n0.3 0.2 0.4\n", {0.1L, 0.3L, 0.4L, 0.9L}, "0.1 0.2 0.4 0.6 0.8 0.9 \n"},
        {0.1L, 0.9L, "n\n\n", {0.1L, 0.9L}, "0.1 0.2 0.4 0.6 0.8 0.9 \n"},
        // window ends a rounding away from the standard values are those values, listed once
        {static_cast<real>(0.1),
         static_cast<real>(0.9),
         "y\n",
         {0.1L, 0.2L, 0.4L, 0.6L, 0.8L, 0.9L},
         "0.1 0.2 0.4 0.6 0.8 0.9 \n"},
        {0.1L,
         static_cast<real>(0.9),
         "n\n0.3 0.9\n",
         {0.1L, 0.3L, static_cast<real>(0.9)},
         "0.1 0.2 0.4 0.6 0.8 0.9 \n"},
        // four standard candidates only
        {0.05L, 0.3L, "0.1 0.2\n", {0.05L, 0.1L, 0.2L, 0.3L}, ""},
        // below the standard set: typed at once; values outside the window are dropped
        {0.0005L, 0.5L, "0.0001 0.002 0.02 0.7\n", {0.0005L, 0.002L, 0.02L, 0.5L}, ""},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answers);
        run.w.xwinlow = c.low, run.w.xwinhigh = c.high;
        listxco2(run.ses(), run.w);
        expectlist(run.w.xvalues, run.w.nxvalues, c.want);
        for (int i = 1; i <= run.w.nxvalues; ++i) {
            EXPECT_EQ(run.w.xh2ovalues[i], 1 - run.w.xvalues[i]);
        }
        const std::string& out = run.screen();
        EXPECT_EQ(out.rfind("x(CO2) window : ", 0), 0u) << out;
        if (c.offered.empty()) {
            EXPECT_EQ(out.find("use these"), std::string::npos) << out;
            EXPECT_NE(out.find("x(CO2) in ascending order : "), std::string::npos) << out;
        } else {
            EXPECT_NE(out.find(c.offered + " : use these x(CO2) ? "), std::string::npos) << out;
        }
    }
}

TEST(ListXco2, FormatsFollowTheValuesAndTheCalculatedVariable) {
    WindowRun run("n\n0.125\n");
    run.w.xwinlow = 0.1L, run.w.xwinhigh = 0.9L;
    run.w.calcvariable = calcvariabletype::calctemperature;
    run.w.tformat = 4;
    listxco2(run.ses(), run.w);
    EXPECT_EQ(run.w.xformat, 3);
    EXPECT_EQ(run.w.tformat, 2);
    EXPECT_EQ(run.screen().rfind("x(CO2) window : 0.1 <-> 0.9\n", 0), 0u);

    WindowRun bad("y\n");
    bad.w.xwinlow = 0.1L, bad.w.xwinhigh = 0.9L;
    bad.w.calcvariable = static_cast<calcvariabletype>(5);
    EXPECT_BOMB(listxco2(bad.ses(), bad.w), "listxco2", "unknown calcvariable");
}

TEST(ListLnaMu, StepsThroughTheWindow) {
    const struct {
        bool mu;
        real low, high;
        std::string answers;
        Values want;
        int16 format;
    } cases[] = {
        {false, -2, 0, "0.5\n", {-2, -1.5L, -1, -0.5L, 0}, 2},
        {false, -2, 0, "0.3\n", {-2, -1.7L, -1.4L, -1.1L, -0.8L, -0.5L, -0.2L, 0}, 2},
        {false, -2, 0, "0.125\n", {}, 3},  // 17 values; only the decimals are looked at
        {false, -1.5L, -1.5L, "", {-1.5L}, 2},
        {true, -10, -5, "2\n", {-10, -8, -6, -5}, 1},
        {true, -700.25L, -700.2505L, "", {-700.25L}, 2},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answers);
        int16 n = 0;
        if (c.mu) {
            listmu(run.ses(), run.w, 2, c.low, c.high);
            if (!c.want.empty()) expectlist(run.w.muvalues[2], run.w.nmuvalues[2], c.want);
            n = run.w.nmuvalues[2];
            EXPECT_EQ(run.w.muformat, c.format);
        } else {
            listlna(run.ses(), run.w, 3, c.low, c.high, controlboolean::no);
            if (!c.want.empty()) expectlist(run.w.lnavalues[3], run.w.nlnavalues[3], c.want);
            n = run.w.nlnavalues[3];
            EXPECT_EQ(run.w.lnaformat, c.format);
        }
        EXPECT_EQ(run.screen().empty(), n == 1);  // a single value asks nothing
    }
}

TEST(ListLnaMu, RefusedIntervalsAreAskedAgain) {
    WindowRun lna("0\n-0.5\n5\n0.001\n0.5\n");
    lna.w.calcvariable = calcvariabletype::calcpressure;
    lna.w.pformat = 5;
    listlna(lna.ses(), lna.w, 1, -2, 0, controlboolean::yes);
    EXPECT_EQ(lna.w.nlnavalues[1], 5);
    EXPECT_EQ(lna.w.pformat, 3);
    EXPECT_EQ(lna.screen(),
              "ln a window : -2.0 <-> 0 : \n"
              "ln a interval : "
              "interval must be positive - try again: interval : "
              "interval must be positive - try again: interval : "
              "interval too large : \n"
              "   max = 2.0\n"
              "try again: interval : "
              "interval too small : max of 201 values\n"
              "try again: interval : ");

    WindowRun mu("-1\n8\n0.01\n1\n");
    listmu(mu.ses(), mu.w, 1, -10, -5);
    EXPECT_EQ(mu.w.nmuvalues[1], 6);
    EXPECT_EQ(mu.screen(),
              "\xB5 window : -10.0 <-> -5.0 : \n"
              "\xB5 interval : "
              "\xB5 interval must be positive - try again: \xB5 interval : "
              "\xB5 interval too large : max \xB5(high) - \xB5(low) =5.0\n"
              "try again: \xB5 interval : "
              "\xB5 interval too small : max of 201 values\n"
              "try again: \xB5 interval : ");

    WindowRun bad("1\n");
    bad.w.calcvariable = static_cast<calcvariabletype>(3);
    EXPECT_BOMB(listmu(bad.ses(), bad.w, 1, -10, -5), "listmu", "unknown calcvariable");
}

}  // namespace
}  // namespace qv
