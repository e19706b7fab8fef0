// The accumulator of batch and Monte Carlo trials: the spread of a trial's results in their
// filter windows against a hand calculation, and which trials are accepted.

#include "phasediagram/accumulate.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "support/near.hpp"

namespace qv::test {
namespace {

// Two members of one point each: member 1 held to 8 < P < 12 kbar and 900 < T < 1000 K,
// member 2 to 0.1 < z < 0.3 (its third unknown).
struct Trial {
    std::unique_ptr<ScriptTables> tab = std::make_unique<ScriptTables>();
    Accumulation acc;
    Trial() {
        FilterSet& f1 = tab->filterset[1];
        f1.n = 2;
        f1.filter[1] = {"P", 8, 12};
        f1.filter[2] = {"T", 900, 1000};
        FilterSet& f2 = tab->filterset[2];
        f2.n = 1;
        f2.filter[1] = {"z", 0.1L, 0.3L};
        acc.filtercode[1][1] = 1;
        acc.filtercode[1][2] = 2;
        acc.filtercode[2][1] = 3;
        tab->batch[1].npt = 1;
        tab->batch[2].npt = 1;
        acc.stored = std::make_unique<Fixed1<StoredResult, maxstored>>();
        acc.nstored = 2;
    }
    StoredResult& result(int n) { return (*acc.stored)[n]; }
};

TEST(Accumulator, SpreadIsTheWorstConditionOfTheGoodResults) {
    Trial t;
    StoredResult& r1 = t.result(1);
    r1.member = 1;
    r1.good = true;
    r1.p = 11;   // |2 (11 - 10) / 4| = 0.5
    r1.t = 960;  // |2 (960 - 950) / 100| = 0.2
    StoredResult& r2 = t.result(2);
    r2.member = 2;
    r2.good = true;
    r2.values[3] = 0.28L;  // |2 (0.28 - 0.2) / 0.2| = 0.8
    EXPECT_ABS_NEAR(trialspread(t.acc, *t.tab, 2, true), 0.8L, 1e-15L);
    // below the middle counts as much as above
    r2.values[3] = 0.13L;  // 0.7
    EXPECT_ABS_NEAR(trialspread(t.acc, *t.tab, 2, true), 0.7L, 1e-15L);
    // a failed result has no say
    r2.good = false;
    EXPECT_ABS_NEAR(trialspread(t.acc, *t.tab, 2, true), 0.5L, 1e-15L);
    // without filters the spread is 0
    EXPECT_EQ(trialspread(t.acc, *t.tab, 2, false), 0);
}

TEST(Accumulator, ATrialStandsOnlyWhenEveryMemberSolvedAndPassed) {
    const struct {
        bool solved1, passed1, solved2, passed2, filters, accepted;
        int nonesolved2, nonepassed2;  // counters of member 2 after the trial
    } cases[] = {
        {true, true, true, true, true, true, 0, 0},
        {true, true, true, false, true, false, 0, 1},
        {true, true, false, false, true, false, 1, 1},
        {true, true, true, true, false, true, 0, 0},
        // a member that failed is a failed trial without filters too, and counts nothing
        {true, true, false, false, false, false, 0, 0},
        {false, false, true, true, false, false, 0, 0},
    };
    for (const auto& c : cases) {
        Trial t;
        t.acc.solved[1][1] = c.solved1;
        t.acc.passed[1][1] = c.passed1;
        t.acc.solved[2][1] = c.solved2;
        t.acc.passed[2][1] = c.passed2;
        EXPECT_EQ(trialaccepted(t.acc, *t.tab, 2, c.filters), c.accepted)
            << c.solved1 << c.passed1 << c.solved2 << c.passed2 << c.filters;
        EXPECT_EQ(t.acc.nonesolved[2], c.nonesolved2);
        EXPECT_EQ(t.acc.nonepassed[2], c.nonepassed2);
    }
}

}  // namespace
}  // namespace qv::test
