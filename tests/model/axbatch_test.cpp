#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/axchoices.hpp"
#include "model/phasefixture.hpp"
#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::lin;
using test::VarTerm;

// End-members e1 .. e(n+1) on one site: p(e1) = 1 - x1 - .. - xn and p(e(v+1)) = xv, so a zero
// guess for xv removes end-member v + 1 alone.
void simplex(ptype1& ph, const std::string& name, int n) {
    ph.name = ph.longname = ph.fullname = name;
    ph.coding = 1;
    ph.nem = static_cast<int16>(n + 1);
    ph.nvar = static_cast<int16>(n);
    ph.nsf = ph.nem;
    std::vector<VarTerm> all;
    for (int v = 1; v <= n; ++v) {
        ph.var[v].name = ph.var[v].longname = "x" + std::to_string(v) + "(" + name + ")";
        ph.var[v].guess = 0.1L;
        ph.p[v + 1] = lin(0, 1, {{1, 1, v}});
        all.emplace_back(-1, 1, v);
    }
    ph.p[1] = lin(1, 1, all);
    for (int j = 1; j <= ph.nem; ++j) {
        ph.em[j].name = "e" + std::to_string(j);
        ph.em[j].ntmf = 1;
        ph.em[j].tmf[1] = tmftermtype{static_cast<int16>(j), 1, 1};
        ph.sfname[j] = "s" + std::to_string(j) + "(" + name + ")";
        ph.sf[j] = ph.p[j];
    }
}

struct BatchRun : test::PhaseRun {
    BatchRun() {
        sc.batchcb = controlboolean::yes;
        sc.nbatch = 0;
    }
    ptype1& addss(const std::string& name, int nvar) {
        ++run.nphread;
        ptype1& ph = ss(++run.nss);
        simplex(ph, name, nvar);
        return ph;
    }
    // A batch of the "with" phases flagged in `phases`, its guesses in block `block` (0: none).
    BatchRec& batch(const std::vector<bool>& phases, int block) {
        BatchRec& b = tab.batch[++sc.nbatch];
        for (std::size_t i = 0; i < phases.size(); ++i)
            b.phases[static_cast<int>(i) + 1] = phases[i];
        b.xyzflag = block > 0 ? int16{1} : int16{0};
        b.kxyz = static_cast<int16>(block);
        return b;
    }
    void block(const std::vector<std::pair<std::string, real>>& guesses) {
        BatchXyzBlock& blk = tab.bxyz[++sc.nbxyz];
        for (const auto& [name, value] : guesses) {
            XyzGuess& g = blk.guess[++blk.n];
            g.name = name;
            g.value = value;
        }
    }
    McLine& mc(const std::string& code, const std::string& param, const std::string& relation,
               const std::string& relname) {
        sc.nmc = static_cast<int16>(sc.nmc < 0 ? 1 : sc.nmc + 1);
        McLine& m = tab.mc[sc.nmc];
        m.phase = "g";
        m.code = code;
        m.param = param;
        m.relation = relation;
        m.relname = relname;
        return m;
    }
    void apply() {
        applyscriptphases(ses, run);
        applyscriptchoices(ses, run);
    }
    const std::string& output() const { return ts.console.output; }
};

TEST(BoilDown, ZeroPatternsGiveSharedCopiesAndTheSummariesShowThem) {
    BatchRun r;
    r.addss("g", 2);
    r.addpure("q");
    r.with({"g", "q"});
    r.block({{"x1(g)", 0}, {"x2(g)", 0.3L}});
    r.block({{"x1(g)", 0}, {"x2(g)", 0.5L}});  // same pattern: shares g-1
    r.block({{"x1(g)", 0.2L}, {"x2(g)", 0}});
    r.block({{"x1(g)", 0.2L}, {"x2(g)", 0.3L}});
    BatchRec& b1 = r.batch({true, true}, 1);
    b1.nmodeset = 1;
    b1.modephase[1] = 1;
    r.batch({true, true}, 2);
    r.batch({true, true}, 3);
    BatchRec& b4 = r.batch({true, true}, 4);
    b4.nmodeset = 1;
    b4.modephase[1] = 1;
    r.batch({true, true}, 0);
    r.mc("a", "DQF(e1)", "=", "r1").value = 2.5L;
    r.tab.mc[1].range = 0.5L;
    r.mc("b", "DQF(e2)", "f", "fB");
    r.sc.nmcfunc = 2;
    r.tab.mcfunc[1].name = "fA";
    r.tab.mcfunc[2].name = "fB";
    r.ses.ch.pagewidth = 200;  // the summary lines whole on the screen
    r.apply();

    EXPECT_EQ(r.run.nss, 3);
    EXPECT_EQ(r.run.nphread, 4);
    const ptype1& g = r.ss(1);
    EXPECT_EQ(g.nvar, 2);
    EXPECT_FALSE(g.contracted);
    struct Copy {
        int k;
        const char* name;
        const char* var;
        real guess;
        const char* zerovar;
    };
    for (const Copy& c :
         {Copy{2, "g-1", "x2(g)", 0.3L, "x1(g)"}, Copy{3, "g-2", "x1(g)", 0.2L, "x2(g)"}}) {
        SCOPED_TRACE(c.name);
        const ptype1& ph = r.ss(c.k);
        EXPECT_EQ(ph.name, c.name);
        EXPECT_EQ(ph.longname, c.name);
        EXPECT_EQ(ph.fullname, c.name);
        EXPECT_TRUE(ph.contracted);
        EXPECT_EQ(ph.nemfull, 3);
        EXPECT_EQ(ph.nem, 2);
        EXPECT_EQ(ph.nvar, 1);
        EXPECT_EQ(ph.var[1].name, c.var);
        EXPECT_EQ(ph.var[1].guess, c.guess);
        EXPECT_EQ(ph.nzerovar, 1);
        EXPECT_EQ(ph.zerovar[1], c.zerovar);
        EXPECT_EQ(ph.em[1].dqfa, 2.5L);  // Monte Carlo values are set before the copying
    }

    ASSERT_EQ(r.sc.nwithphases, 4);
    EXPECT_EQ(r.sc.withlist[3], "g-1");
    EXPECT_EQ(r.sc.withlist[4], "g-2");
    const std::vector<std::vector<bool>> flags = {{false, true, true, false},
                                                  {false, true, true, false},
                                                  {false, true, false, true},
                                                  {true, true, false, false},
                                                  {true, true, false, false}};
    for (int b = 1; b <= 5; ++b) {
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(r.tab.batch[b].phases[i],
                      flags[static_cast<std::size_t>(b - 1)][static_cast<std::size_t>(i - 1)])
                << "batch " << b << ", with entry " << i;
        }
    }
    EXPECT_EQ(r.tab.batch[1].modephase[1], 3);
    EXPECT_EQ(r.tab.batch[4].modephase[1], 1);
    const McTarget& t = r.run.ax.mc[1];
    ASSERT_EQ(t.nphases, 2);
    EXPECT_EQ(t.phases[1], "g-1");
    EXPECT_EQ(t.phases[2], "g-2");
    EXPECT_EQ(r.tab.bxyz[1].n, 1);  // zeros have done their work

    EXPECT_NE(r.output().find("\nsummary of batches\n"
                              "         g     q\n"
                              " 1:      1     0\n"
                              " 2:      1     0\n"
                              " 3:      2     0\n"
                              " 4:      0     0\n"
                              " 5:      0     0\n"),
              std::string::npos)
        << r.output();
    EXPECT_NE(r.output().find("\nsummary of mc info\n" + std::string(37, ' ') +
                              "      value     range\n"
                              " 1:      g         DQF(e1)  3   1  1     2.500     0.500;  also "
                              "g-1 g-2\n"
                              " 2:      g         DQF(e2)  3   2  2 through mcfunc 2 by fB in "
                              "mcrange;  also g-1 g-2\n"),
              std::string::npos)
        << r.output();
}

TEST(BoilDown, ThirtyCopiesOfAPhaseAreTheMost) {
    BatchRun r;
    r.addss("g", 5);
    r.with({"g"});
    // Every pattern of zeros among five variables but "none": 31 different copies wanted.
    for (int pattern = 1; pattern < 32; ++pattern) {
        std::vector<std::pair<std::string, real>> guesses;
        for (int v = 1; v <= 5; ++v) {
            const bool zero = (pattern >> (v - 1) & 1) != 0;
            guesses.emplace_back("x" + std::to_string(v) + "(g)", zero ? 0 : 0.1L);
        }
        r.block(guesses);
        r.batch({true}, pattern);
    }
    EXPECT_BOMB(r.apply(), "setupphases", "too many boils (max = 30) ");
    EXPECT_EQ(r.ss(31).name, "g-30");
}

TEST(BoilDown, BadBlocksAndFullTablesStopTheRun) {
    struct Case {
        const char* what;
        std::function<void(BatchRun&)> setup;
        const char* proc;
        const char* message;
        const char* screen;  // expected on standard output before the stop
    };
    const Case cases[] = {
        {"first variable missing",
         [](BatchRun& r) {
             r.block({{"x2(g)", 0.3L}});
         },
         "read", "can't find first var x1(g)",
         "\n\n problem in starting guess block 1 - missing phase g for batch 1?\n"},
        {"last variable out of place",
         [](BatchRun& r) {
             r.block({{"x1(g)", 0}, {"z(h)", 0.2L}, {"x2(g)", 0.3L}});
         },
         "read", "no last var for g", "batch 1\n"},
        {"last variable beyond the block",
         [](BatchRun& r) {
             r.block({{"x1(g)", 0}});
         },
         "read", "no last var for g", "batch 1\n"},
        {"with name that is no phase",
         [](BatchRun& r) {
             r.with({"g", "zz"});
             r.block({{"x1(g)", 0}, {"x2(g)", 0.3L}});
         },
         "read", "name fubar with zz", ""},
        {"no room for another solution phase",
         [](BatchRun& r) {
             while (r.run.nss < maxss) r.addss("f" + std::to_string(r.run.nss), 1);
             r.block({{"x1(g)", 0}, {"x2(g)", 0.3L}});
         },
         "read", "numbers of phases in boil down (max = 80) ", ""},
        {"no room in with",
         [](BatchRun& r) {
             while (r.run.npure < maxwithphases - 1) r.addpure("p" + std::to_string(r.run.npure));
             r.with({"all"});
             r.sc.nwithphases = 101;  // every phase read
             r.block({{"x1(g)", 0}, {"x2(g)", 0.3L}});
         },
         "read", "number of whichstrings (max = 400) ", ""},
        {"no room in a Monte Carlo line",
         [](BatchRun& r) {
             r.mc("a", "DQF(e1)", "=", "r1");
             McTarget& t = r.run.ax.mc[1];
             for (int j = 1; j <= maxmcphases; ++j) t.phases[++t.nphases] = "h" + std::to_string(j);
             r.block({{"x1(g)", 0}, {"x2(g)", 0.3L}});
         },
         "read", "number of mcphase (max = 20) ", ""},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.what);
        BatchRun r;
        r.addss("g", 2);
        r.with({"g"});
        tc.setup(r);
        r.batch({true}, 1);
        EXPECT_BOMB(r.apply(), tc.proc, tc.message);
        EXPECT_NE(r.output().find(tc.screen), std::string::npos) << r.output();
    }
}

TEST(BatchSummary, CopyNamesMustLeadBackToAWithPhase) {
    struct Case {
        const char* copy;
        const char* message;
    };
    const Case cases[] = {
        {"gx", "no \"-\" in name, gx"},
        {"h-1", "h not in whstrings"},
    };
    for (const Case& tc : cases) {
        BatchRun r;
        r.with({"g", tc.copy});
        r.batch({false, true}, 0);
        EXPECT_BOMB(printbatchsummary(r.ses, r.run, 1), "setup phase", tc.message);
    }
}

}  // namespace
}  // namespace qv
