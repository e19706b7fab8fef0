// Calculation windows: range tests, corrections against the overall window, the re-asked window
// questions with their limit of five checks, and the marks of printed window values.

#include "script/windows.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "script/windowfixture.hpp"
#include "support/fakes.hpp"
#include "textio/stops.hpp"

namespace qv {
namespace {

using test::WindowRun;
constexpr auto same = xOKtype::canbesame;
constexpr auto different = xOKtype::mustbedifferent;

TEST(InRange, EndsAreInsideAndNaNNever) {
    Windows w;
    w.twinlow = 600, w.twinhigh = 900;
    w.pwinlow = 2, w.pwinhigh = 8;
    w.xwinlow = 0.1L, w.xwinhigh = 0.5L;
    w.lnawinlow = -3, w.lnawinhigh = -1;
    w.muwinlow = -700, w.muwinhigh = -650;
    const real nan = std::numeric_limits<real>::quiet_NaN();
    const struct {
        findtype kind;
        real x;
        bool in;
    } cases[] = {
        {findtype::findt, 600, true},      {findtype::findt, 900.0001L, false},
        {findtype::findp, 2, true},        {findtype::findp, 8, true},
        {findtype::findp, 1.999L, false},  {findtype::findp, nan, false},
        {findtype::findxco2, 0.5L, true},  {findtype::findxco2, 0.6L, false},
        {findtype::findlna, -3.5L, false}, {findtype::findlna, -2, true},
        {findtype::findmu, -660, true},    {findtype::findmu, -640, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(inrange(w, c.kind, c.x), c.in)
            << static_cast<int>(c.kind) << " " << static_cast<double>(c.x);
    }
    EXPECT_BOMB(inrange(w, static_cast<findtype>(5), 1), "inrange", "unknown type");
}

TEST(CheckWindow, CorrectsAgainstTheOverallWindowWithItsMessages) {
    const struct {
        bool pressure;
        real low, high;
        xOKtype ok;
        real wantlow, wanthigh;
        std::string lines;
    } cases[] = {
        {true, 10, 10, same, 10, 10, ""},
        {true, 10, 10, different, 0.0009L, 1500,
         "P window needed but P(low) = P(high): overall P window used (script overridden)\n"},
        {true, 20, 5, same, 5, 20, "P(low) must be less than P(high): values swapped\n"},
        // both ends outside: each is clipped and reported
        {true, -10, 2000, same, 0.0009L, 1500,
         "P(high) must be less than 1500.0: this used\n"
         "P(low) must be greater than 0.0: this used\n"},
        {false, 1000, 600, same, 600, 1000, "T(low) must be less than T(high): values swapped\n"},
        {false, 3100, 250, same, 283, 3000,
         "T(low) must be less than T(high): values swapped\n"
         "T(high) must be less than 3000.0: this used\n"
         "T(low) must be greater than 283.0: this used\n"},
        {false, 700, 700, different, 283, 3000,
         "T window needed but T(low) = T(high): overall T window used (script overridden)\n"},
    };
    for (const auto& c : cases) {
        WindowRun run;
        real low = c.low;
        real high = c.high;
        if (c.pressure) {
            checkpwindow(run.ses(), run.w, low, high, c.ok);
        } else {
            checktwindow(run.ses(), run.w, low, high, c.ok);
        }
        EXPECT_EQ(low, c.wantlow) << c.lines;
        EXPECT_EQ(high, c.wanthigh) << c.lines;
        EXPECT_EQ(run.screen(), c.lines);
    }
}

TEST(CheckWindow, WorksOnTheWindowFieldsInPlace) {
    WindowRun run;
    run.w.pminall = 1, run.w.pmaxall = 12;
    run.w.pwinlow = 15, run.w.pwinhigh = 0.5L;
    checkpwindow(run.ses(), run.w, run.w.pwinlow, run.w.pwinhigh, same);
    EXPECT_EQ(run.w.pwinlow, 1);
    EXPECT_EQ(run.w.pwinhigh, 12);
    EXPECT_EQ(run.screen(),
              "P(low) must be less than P(high): values swapped\n"
              "P(high) must be less than 12.0: this used\n"
              "P(low) must be greater than 1.0: this used\n");
}

// Each bad pair gets its message and the pair question; the answers are the re-entered pairs.
TEST(WindowQuestions, MessagesAndReenteredPairs) {
    using Check = void (*)(Session&, real&, real&, xOKtype);
    const Check pcheck = [](Session& s, real& l, real& h, xOKtype ok) {
        promptpwindow(s, 0.0009L, l, h, ok);
    };
    const struct {
        Check check;
        real low, high;
        xOKtype ok;
        std::string answers;
        real wantlow, wanthigh;
        std::string screen;
    } cases[] = {
        {pcheck, 0, 5, same, "1 5\n", 1, 5,
         "P(low) must be greater than 0.001 : try again\nP low,high : "},
        {pcheck, 2, 1600, same, "2 16\n", 2, 16,
         "P(high) must be less than 1500 : try again\nP low,high : "},
        {pcheck, 4, 4, different, "4 5\n", 4, 5,
         "P(low) must be less than P(high) : try again\nP low,high : "},
        {pcheck, 5, 4, same, "4 4\n", 4, 4,
         "P(low) must be less than or equal to P(high) : try again\nP low,high : "},
        // a re-entered T pair is typed in degrees C
        {prompttwindow, 900, 700, different, "500 700\n", 773.15L, 973.15L,
         "T(low) must be less than T(high) : try again\n T low,high : "},
        {prompttwindow, 273.15L, 973.15L, same, "10 700\n", 283.15L, 973.15L,
         "T(low) must be greater than 10 : try again\n T low,high : "},
        {prompttwindow, 600, 3100, same, "400 2000\n", 673.15L, 2273.15L,
         "T(high) must be less than 2727 : try again\n T low,high : "},
        {xco2windowOK, 0, 0.5L, same, "0.1 0.5\n", 0.1L, 0.5L,
         "x(CO2) low must be greater than 0 : try again\nx(CO2) low,high : "},
        {xco2windowOK, 0, 1, same, "0.1 0.5\n", 0.1L, 0.5L,
         "x(CO2) high must be less than 1 : try again\nx(CO2) low,high : "},
        {lnawindowOK, -2, -2, same, "", -2, -2, ""},
        {lnawindowOK, -2, -2, different, "-3 -1\n", -3, -1,
         "log a(low) must be less than log a(high) : try again\nlog a low,high : "},
        {muwindowOK, -600, -700, same, "-700 -600\n", -700, -600,
         "\xB5(low) must be less than or equal to \xB5(high) : try again\n\xB5 low,high : "},
    };
    for (const auto& c : cases) {
        WindowRun run(c.answers);
        real low = c.low;
        real high = c.high;
        c.check(run.ses(), low, high, c.ok);
        EXPECT_REL_NEAR(low, c.wantlow, 1e-18L);
        EXPECT_REL_NEAR(high, c.wanthigh, 1e-18L);
        EXPECT_EQ(run.screen(), c.screen);
    }
}

TEST(WindowQuestions, FifthBadCheckEndsTheRun) {
    const std::string fourbad = "0 1\n0 1\n0 1\n0 1\n";
    WindowRun bad(fourbad);
    real low = 0;
    real high = 0.5L;
    try {
        xco2windowOK(bad.ses(), low, high, different);
        ADD_FAILURE() << "no fatal stop";
    } catch (const RunBombed& stop) {
        EXPECT_EQ(stop.procname, "*OK");
        EXPECT_EQ(stop.message, "too many tries");
        EXPECT_EQ(stop.fault, yourfault);
        bad.ses().autoexiton = true;
        endbombed(bad.ses(), stop);
    }
    const std::string& out = bad.screen();
    std::size_t asked = 0;
    for (auto at = out.find("x(CO2) low,high : "); at != std::string::npos;
         at = out.find("x(CO2) low,high : ", at + 1)) {
        ++asked;
    }
    EXPECT_EQ(asked, 4u);  // the pair passed in and four re-entered pairs were checked
    EXPECT_NE(out.find("-- run bombed in *OK : too many tries\n"), std::string::npos);

    WindowRun lastgood("0 1\n0 1\n0 1\n0.2 0.4\n");
    low = 0;
    high = 0.5L;
    xco2windowOK(lastgood.ses(), low, high, different);
    EXPECT_EQ(low, 0.2L);
    EXPECT_EQ(high, 0.4L);
}

TEST(WindowQuestions, KillAtThePairQuestionEndsTheRun) {
    WindowRun run("kill\n");
    real low = 5;
    real high = 1;
    EXPECT_THROW(muwindowOK(run.ses(), low, high, same), RunKilled);
}

TEST(WindowValues, MarksOutsideTheWindow) {
    Windows w;
    w.twinlow = 673.15L, w.twinhigh = 973.15L;
    w.pwinlow = 0, w.pwinhigh = 200;
    w.xwinlow = 0.1L, w.xwinhigh = 0.9L;
    enum What { t, p, x };
    const struct {
        What what;
        int16 format;  // tformat or pformat
        int width;
        real value;
        std::string text;
    } cases[] = {
        {t, 0, 0, 400, "400"},     {t, 2, 0, 400, "400.00"},
        {t, 2, 0, 399.9L, "-"},    {t, 2, 0, 399.999999L, "-"},
        {t, 2, 0, 700.1L, "+"},    {t, 2, 0, 1e20L, "*"},
        {t, 2, 0, -1e21L, ""},     {t, 2, 4, -1e21L, "    "},
        {t, 0, 0, 700, "700"},  // the high end itself is a number
        {t, 0, 6, 550, "   550"},  {t, 0, -6, 550, "550   "},
        {p, 1, 0, 5, "5.0"},       {p, 1, 0, 0.5L, "0.50"},
        {p, 1, 0, 0.05L, "0.050"}, {p, 1, 0, 0.005L, "0.0050"},
        {p, 1, 0, 150.4L, "150"},  {p, 3, 0, 5, "5.000"},
        {p, 1, 0, -1e21L, " "},    {p, 1, 0, -0.5L, "-"},
        {p, 1, 0, 201, "+"},       {p, 1, 0, 2e20L, "*"},
        {p, 1, 0, 200, "200"},     {x, 0, 0, 0.25L, "0.25"},
        {x, 0, 5, 0.3L, "  0.3"},  {x, 0, 0, 0.05L, "-"},
        {x, 0, 0, 0.95L, "+"},     {x, 0, 0, 1e20L, "*"},
        {x, 0, 0, -1e21L, " "},
    };
    for (const auto& c : cases) {
        std::string line = "|";
        if (c.what == t) {
            w.tformat = c.format;
            writetwin(w, c.width, line, c.value);
        } else if (c.what == p) {
            w.pformat = c.format;
            writepwin(w, c.width, line, c.value);
        } else {
            writewinval(w, c.width, line, c.value);
        }
        EXPECT_EQ(line, "|" + c.text) << c.what << " " << static_cast<double>(c.value);
    }
}

}  // namespace
}  // namespace qv
