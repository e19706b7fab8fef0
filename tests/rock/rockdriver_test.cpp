#include "rock/rockdriver.hpp"

#include <gtest/gtest.h>

#include <string>

#include "rockfixture.hpp"
#include "textio/files.hpp"

namespace qv::test {
namespace {

// The run services of the passes over the hand-made rock; the generator "finds" the rock's three
// reactions.
struct FakeRun final : RockRunHooks {
    explicit FakeRun(RockFixture& f) : fx(f) {}
    RockFixture& fx;
    int calcres = 0;
    real lastmaxsd = -1;
    Roots findrxnp(int16 i, real t, real u, real v) override { return fx.rx->findrxnp(i, t, u, v); }
    Roots findrxnt(int16 i, real p, real u, real v) override { return fx.rx->findrxnt(i, p, u, v); }
    ReactionDg calcdgr(int16 i, real p, real t, real u, real v) override {
        return fx.rx->calcdgr(i, p, t, u, v);
    }
    RxnPosition calcpsd(int16 i, real t, real u, real v) override {
        return fx.rx->calcpsd(i, t, u, v);
    }
    RxnPosition calctsd(int16 i, real p, real u, real v) override {
        return fx.rx->calctsd(i, p, u, v);
    }
    void setlnavar() override { fx.rx->setlnavar(); }
    void calcrxnlna() override { fx.rx->calcrxnlna(); }
    void updateactivity(real p, real t) override { fx.rx->updateactivity(p, t); }
    std::string reactiontext(int16 i) override { return fx.rx->reactiontext(i); }
    void setspecialphases() override {}
    void setdefaultsda() override {}
    void promptfluid() override {}
    std::string fluidlabel() override { return ""; }
    void calcre(avtype, real maxsd) override {
        ++calcres;
        lastmaxsd = maxsd;
        fx.nreac = 3;
    }
};

struct Driver {
    RockFixture f;
    ScriptSettings s;
    iemvector excludedems{};
    int16 nexcludedems = 0;
    int16 nss = 0;
    int16 npure = 8;
    real xco2 = 0;
    real xh2o = 1;
    ftype runftype = ftype::notset;
    real pcur = 0;
    real tcur = 0;
    FakeRun hooks{f};
    Driver() {
        samplerock(f);
        f.nreac = 0;
        s.calctype = 1;
        s.dataokcb = controlboolean::yes;
        s.diagramptcb = controlboolean::yes;
        s.calctcb = controlboolean::yes;
        s.maxsdpcb = controlboolean::yes;
        s.maxsdp = 5;
        f.win.pminall = 1;
        f.win.pmaxall = 20;
        f.win.tminall = 673.15L;
        f.win.tmaxall = 1173.15L;
        f.win.twinlow = f.win.twinhigh = 873.15L;
        f.ts.ses.autoexiton = true;
    }
    // The script's "isr" block: the rock's end-members and the sample reactions.
    void isr() {
        s.isrcb = controlboolean::yes;
        s.nisrem = f.nem;
        for (int16 k = 1; k <= f.nem; ++k) s.tables->isrem[k] = f.names[k];
        s.nisr = 3;
        for (int16 i = 1; i <= 3; ++i) {
            s.tables->isrrowlength[i] = f.nem;
            for (int16 k = 1; k <= f.nem; ++k) s.tables->isrrow[i][k] = (*f.r)[i][k];
        }
    }
    void run() {
        RockRunData d{f.nem,       f.names,      f.act,    f.sda,   f.varlna, f.ncomp,
                      *f.c,        *f.cov,       *f.r,     f.nreac, f.rxnlna, f.incompleteset,
                      excludedems, nexcludedems, nss,      npure,   f.h2oem,  f.co2em,
                      xco2,        xh2o,         runftype, pcur,    tcur};
        rockpasses(f.ts.ses, s, f.win, d, hooks, *f.work);
    }
    std::string out() const { return f.out(); }
};

TEST(RockPasses, ScriptReactionsGiveAveragePressure) {
    Driver t;
    t.isr();
    t.run();
    const std::string out = t.out();
    EXPECT_NE(out.find("\nusing independent set of reactions (from script)\n"), std::string::npos)
        << out;
    EXPECT_EQ(t.hooks.calcres, 0);
    EXPECT_EQ(out.find("these data ok"), std::string::npos);  // dataok yes: no table, no editing
    EXPECT_NE(out.find("\nAverage pressures  at T = 600\xA1"
                       "C \nFor T = 600 \xA1"
                       "C, av P = "),
              std::string::npos)
        << out;
    EXPECT_EQ(t.runftype, ftype::absent);  // no H2O or CO2 among the end-members
}

TEST(RockPasses, ScriptBlockChecks) {
    const struct {
        const char* what;
        void (*spoil)(Driver&);
        const char* message;
    } cases[] = {
        {"two names swapped",
         [](Driver& t) { std::swap(t.s.tables->isrem[1], t.s.tables->isrem[2]); },
         "setisr phases do not match"},
        {"a coefficient changed", [](Driver& t) { t.s.tables->isrrow[2][5] = 2; },
         "setisr reaction doesn't balance"},
        {"a name missing", [](Driver& t) { t.s.nisrem = 7; }, "isr matrix has wrong shape"},
        {"25 reactions",
         [](Driver& t) {
             t.s.nisr = 25;
             for (int16 i = 4; i <= 25; ++i) t.s.tables->isrrow[i] = t.s.tables->isrrow[1];
         },
         "too many reactions (max = 24) "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Driver t;
        t.isr();
        c.spoil(t);
        EXPECT_BOMB(t.run(), "rockcalcs", c.message);
    }
}

TEST(RockPasses, IsrBlockForRereadingGoesToTheLogOnly) {
    TempDir dir;
    Driver t;
    std::string name;
    openwrite(name, "", "log.txt", t.f.ts.ses.ch.files[3]);
    t.f.ts.ses.ch.activechannels |= logmask;
    t.s.pisrcb = controlboolean::yes;
    t.run();
    closefiles(t.f.ts.ses);
    const std::string log = dir.read("log.txt");
    const std::string block =
        "\n\nisr        py   gr  alm   an   ky    q   en   fs\n"
        "isr         0    1    0   -3    2    1    0    0\n"
        "isr         1    2    0   -6    3    3   -3    0\n"
        "isr         0    2    1   -6    3    3    0   -3\n\n";
    EXPECT_NE(log.find(block), std::string::npos) << log;
    EXPECT_EQ(t.out().find("isr        py"), std::string::npos);
    EXPECT_EQ(t.hooks.calcres, 1);
    EXPECT_EQ(t.hooks.lastmaxsd, 5);  // the script's max sd(P)
    EXPECT_NE(t.out().find("max allowed sd(P): 5.0 kbar (from script)\n"), std::string::npos);
}

TEST(RockPasses, TypedCodesAndMaxSd) {
    const struct {
        const char* input;
        const char* shown;
        real maxsd;
    } cases[] = {
        {"3\nn\n50\n", "max sd(P) reset to 20 kbar\n", 20},
        {"0\nn\n0.01\n", "max sd(P) reset to 0.05 kbar\n", 0.05L},
        {"1\nn\n2\n", "", 2},
    };
    for (const auto& c : cases) {
        Driver t;
        t.s.calctype = 0;
        t.s.maxsdpcb = controlboolean::ask;
        t.f.ts.console.feed(c.input);
        t.run();
        const std::string out = t.out();
        EXPECT_NE(
            out.find("\ntype of rock calculation: \n       1 : average P\n       2 : average T\n"
                     "code : "),
            std::string::npos)
            << out;
        EXPECT_NE(out.find("Average pressures"), std::string::npos) << out;  // P for any code
        if (*c.shown) {
            EXPECT_NE(out.find(c.shown), std::string::npos) << out;
        }
        EXPECT_EQ(t.hooks.lastmaxsd, c.maxsd);
    }
}

TEST(RockPasses, ExclusionsAndActivityEdits) {
    Driver t;
    t.s.dataokcb = controlboolean::ask;
    t.f.ts.ses.autoexiton = false;
    // Pass 1: not ok; exclude fs, "zz" replaced by "yy" (unknown: dropped), a "*" at the end;
    // not the only changes: py gets 0.2 after one activity out of range; then pass 2 keeps the
    // changes, accepts the data, and ends.
    t.f.ts.console.feed(
        "n\nfs zz *\nyy\nn\npy\n1.5\n0.2\n0.03\n\n"
        "y\ny\ny\ny\nn\n");
    t.run();
    const std::string out = t.out();
    EXPECT_NE(out.find("names of end-members to be excluded : "), std::string::npos);
    EXPECT_NE(out.find("bad name : replace zz with  : "), std::string::npos) << out;
    EXPECT_NE(out.find("forget it!  (check the name\xC9)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("should be 0 < activity <= 1 : try again"), std::string::npos);
    EXPECT_EQ(t.f.act[1], 0.2L);
    EXPECT_EQ(t.f.sda[1], 0.03L);
    // Without fs, FeO is carried by alm alone: alm goes too.
    EXPECT_EQ(t.nexcludedems, 2);
    EXPECT_EQ(t.excludedems[1], 8);  // fs
    EXPECT_EQ(t.excludedems[2], 3);  // alm
    EXPECT_NE(out.find("continue with/add to data changes in last calculation"), std::string::npos);
    EXPECT_NE(out.find("**************************************\n\n"), std::string::npos);
    // The second pass's table leaves out the excluded end-members.
    EXPECT_NE(out.find("continue with/add to data changes in last calculation ? \n"
                       "             py       gr       an       ky        q       en\n"
                       "     a    0.200    0.050    0.500    1.000    1.000    0.700\n"
                       " sd(a)    0.030    0.010    0.050        0        0    0.050\n\n"),
              std::string::npos)
        << out;
}

TEST(RockPasses, ActivityTableBlocksOfFourteen) {
    for (int16 nem : {int16{14}, int16{15}}) {
        Driver t;
        t.s.dataokcb = controlboolean::ask;
        for (int16 k = 9; k <= nem; ++k) t.f.em(k, "x" + std::to_string(int{k}), 1, 0);
        t.f.ts.console.feed("y\n");
        t.run();
        const std::string out = t.out();
        const std::size_t blocks = out.find("sd(a)") == std::string::npos
                                       ? 0
                                       : (out.find("x15") == std::string::npos ? 1 : 2);
        EXPECT_EQ(blocks, nem == 14 ? 1u : 2u);
        if (nem == 15) {
            EXPECT_NE(out.find("\n            x15\n     a    1.000\n sd(a)        0\n\n"),
                      std::string::npos)
                << out;
        }
    }
}

}  // namespace
}  // namespace qv::test
