#include "model/components.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using Pairs = std::vector<std::pair<int, double>>;  // (element index, amount)
using Rows = std::vector<std::vector<int>>;

struct ComponentRun {
    test::TestSession ts;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    Dataset& ds = run.dataset;
    SystemComponents& sc = run.dataset.components;

    ComponentRun() {
        run.arrays.c = std::make_unique<icmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.td = std::make_unique<tdmatrix>();
        fillcomponenttable(run.comps);
    }
    void add(const std::string& name, const Pairs& pairs) {
        const int e = ++ds.nem;
        ds.emnames[e] = name;
        CompositionPairs& p = ds.comp[e];
        for (const auto& [el, amt] : pairs) {
            ++p.ncompel;
            p.compel[p.ncompel] = static_cast<int16>(el);
            p.compamt[p.ncompel] = static_cast<real>(amt);
        }
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (int r = 1; r <= sc.ncomp; ++r) out.push_back(sc.compnames[r]);
        return out;
    }
    std::vector<int> denoms() const {
        std::vector<int> out;
        for (int r = 1; r <= sc.ncomp; ++r) out.push_back(sc.compdenom[r]);
        return out;
    }
    Rows c() const {
        Rows out;
        for (int r = 1; r <= sc.ncomp; ++r) {
            std::vector<int> row;
            for (int e = 1; e <= ds.nem; ++e) row.push_back((*run.arrays.c)[r][e]);
            out.push_back(row);
        }
        return out;
    }
};

TEST(Components, SharedFileRunOfQuartzKyaniteMuscoviteWater) {
    test::TempDir dir;
    std::ifstream in(std::string(QV_TEST_DATA) + "/qv-ds62.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    dir.write("qv-ds62.txt", text.str());

    ComponentRun r;
    r.ts.ses.prefs.dsfilesuffix = "62";
    readthermo(r.ts.ses, r.run, 1);
    for (const char* name : {"q", "ky", "mu", "H2O"}) r.add(name, {});
    readthermo(r.ts.ses, r.run, 2);

    // KAl3Si3H2O12 = 1/2 K2O + 3/2 Al2O3 + 3 SiO2 + H2O: no oxygen left over, so no "O".
    EXPECT_EQ(r.names(), (std::vector<std::string>{"H2O", "SiO2", "Al2O3", "K2O"}));
    EXPECT_EQ(r.denoms(), (std::vector<int>{1, 1, 2, 2}));
    EXPECT_EQ(r.c(), (Rows{{0, 0, 1, 1}, {1, 1, 3, 0}, {0, 2, 3, 0}, {0, 0, 1, 0}}));
    EXPECT_EQ(r.sc.compatoms[3], 5);
    EXPECT_EQ(r.sc.nucomp, 4);
    EXPECT_EQ(r.ds.nrxem, 4);
    // The pairs of muscovite are now oxides, its oxygen pair the balance 0.
    const CompositionPairs& mu = r.ds.comp[3];
    EXPECT_EQ(mu.ncompel, 5);
    EXPECT_EQ(mu.compamt[2], 1.5L);  // Al 3 -> Al2O3 1.5
    EXPECT_EQ(mu.compamt[4], 0.0L);  // O
    EXPECT_EQ(mu.compsum, 21.0L);    // atoms as read
}

TEST(Components, ExcessOxygenBecomesAComponentForEveryEndMember) {
    ComponentRun r;
    r.add("q", {{1, 1.0}, {10, 2.0}});
    r.add("mt", {{4, 3.0}, {10, 4.0}});  // Fe3O4 = 3 FeO + O
    r.add("per", {{5, 1.0}});            // no oxygen given: the balance is -1
    makeoxides(r.run);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"SiO2", "MgO", "FeO", "O"}));
    EXPECT_EQ(r.c(), (Rows{{1, 0, 0}, {0, 0, 1}, {0, 3, 0}, {0, 1, -1}}));
    // An oxygen pair is appended where there was none.
    EXPECT_EQ(r.ds.comp[3].ncompel, 2);
    EXPECT_EQ(r.ds.comp[3].compel[2], 10);
    EXPECT_EQ(r.ds.comp[3].compamt[2], -1.0L);
    EXPECT_EQ(r.sc.compatoms[4], 1);
}

TEST(Components, OxygenBalanceJudgedAgainstTheDecimalThreshold) {
    // 0.001 rounded to single precision lies a shade above 0.001 itself, so it counts as
    // excess oxygen; 0.0009 does not.
    struct Case {
        double oxygen;
        std::vector<std::string> names;
    };
    const Case cases[] = {{0.001, {"SiO2", "O"}}, {0.0009, {"SiO2"}}};
    for (const auto& k : cases) {
        ComponentRun r;
        r.add("q", {{1, 1.0}, {10, 2.0}});
        r.add("ox", {{10, k.oxygen}});
        makeoxides(r.run);
        EXPECT_EQ(r.names(), k.names) << k.oxygen;
    }
}

TEST(Components, ElementsWithoutOxygenStayElements) {
    ComponentRun r;
    // A third of silicon in the first end-member puts a denominator of 3 on that row; two
    // pairs of one element add up.
    r.add("a", {{1, 1.0 / 3.0}, {5, 2.0}});
    r.add("b", {{1, 1.0}, {1, 1.0}, {11, 2.0}});
    makeoxides(r.run);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"H", "Si", "Mg"}));
    EXPECT_EQ(r.denoms(), (std::vector<int>{1, 3, 1}));
    EXPECT_EQ(r.c(), (Rows{{0, 2}, {1, 6}, {2, 0}}));
    EXPECT_EQ(r.sc.compatoms[2], 3);  // the atoms of SiO2, the row "Si" names

    ComponentRun old;
    old.run.script.ds190 = true;
    old.add("a", {{1, 1.0}});
    makeoxides(old.run);
    EXPECT_EQ(old.sc.compatoms[1], 1);
}

TEST(Components, MakeoxidesStops) {
    {
        ComponentRun r;
        r.add("q", {{1, 1.0}, {10, 1.0}, {10, 1.0}});
        EXPECT_BOMB(makeoxides(r.run), "makeoxides", "two oxygen pairs in the composition of q");
    }
    {
        ComponentRun r;
        r.add("q", {{10, 1.0}});
        r.add("big", {{1, 1}, {3, 2}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 2}, {9, 2}});
        EXPECT_BOMB(makeoxides(r.run), "makeoxides",
                    "too many composition pairs for big (max = 8) ");
    }
    {
        ComponentRun r;
        r.add("a", {{1, 40000.0}});
        EXPECT_BOMB(makeoxides(r.run), "makeoxides", "integer overflow in makeoxides");
    }
}

TEST(Components, CleanDropsLoneEndMembersAndUnusedComponents) {
    ComponentRun r;
    r.add("a", {{1, 1.0}});
    r.add("b", {{1, 1.0}, {3, 2.0}});
    r.add("k", {{1, 1.0}, {9, 1.0}});            // the only end-member with K
    r.add("c", {{1, 1.0}, {3, 2.0}, {5, 0.0}});  // Mg listed, but none of it
    makeoxides(r.run);
    ASSERT_EQ(r.names(), (std::vector<std::string>{"Si", "Al", "Mg", "K"}));
    tdmatrix& td = *r.run.arrays.td;
    emmatrix& cov = *r.run.arrays.cov;
    for (int e = 1; e <= 4; ++e) {
        td[e][1] = e;
        r.ds.emact[e] = 0.1L * e;
        for (int f = 1; f <= 4; ++f) cov[e][f] = 10 * e + f;
    }
    clean(r.ts.ses, r.run);

    EXPECT_EQ(r.ts.console.output, "\nk excluded\n");
    EXPECT_EQ(r.names(), (std::vector<std::string>{"Si", "Al"}));
    EXPECT_EQ(r.sc.nucomp, 2);
    EXPECT_EQ(r.ds.nem, 3);
    EXPECT_EQ(r.ds.nrxem, 3);
    EXPECT_EQ(r.ds.emnames[3], "c");
    EXPECT_EQ(r.c(), (Rows{{1, 1, 1}, {0, 2, 2}}));
    EXPECT_EQ(td[3][1], 4.0L);
    EXPECT_EQ(r.ds.emact[3], 0.1L * 4);
    // Row and column 3 of the covariances are gone.
    EXPECT_EQ(cov[2][3], 24.0L);
    EXPECT_EQ(cov[3][2], 42.0L);
    EXPECT_EQ(cov[3][3], 44.0L);
    EXPECT_EQ(cov[1][1], 11.0L);
}

TEST(Components, CleanStopsWithFewerThanTwoEndMembers) {
    ComponentRun r;
    r.add("a", {{1, 1.0}});
    r.add("b", {{1, 1.0}, {5, 1.0}});
    makeoxides(r.run);
    EXPECT_BOMB(clean(r.ts.ses, r.run), "clean", "insufficient end-members");
    // Without b, silicon is a's alone: the pruning goes on until nothing is left.
    EXPECT_EQ(r.ts.console.output, "\nb excluded\na excluded\n");
}

}  // namespace
}  // namespace qv
