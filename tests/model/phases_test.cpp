#include "model/phases.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

TEST(PhaseRecords, DefaultsOfFreshRecords) {
    const auto pure = std::make_unique<ptype0>();
    const auto ss = std::make_unique<ptype1>();
    for (int k : {1, maxmake}) {
        EXPECT_EQ(pure->makeaction[k], makeactiontype::notspecified);
        EXPECT_EQ(ss->em[maxssem].makeaction[k], makeactiontype::notspecified);
    }
    for (int i : {1, maxssem}) {
        EXPECT_EQ(ss->alphaa[i], 1);  // a van Laar size of 1 + 0 T + 0 P
        EXPECT_EQ(ss->alphab[i], 0);
        EXPECT_EQ(ss->alphac[i], 0);
    }
    EXPECT_EQ(pure->dqfkind, -1);
    EXPECT_EQ(pure->modeguess, -1);
    EXPECT_EQ(ss->var[1].lowerread, 11);  // no "range": an empty one
    EXPECT_EQ(ss->var[1].upperread, -11);
}

class ResetPhaseRecords : public ::testing::Test {
protected:
    void SetUp() override {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        // Leftovers of an earlier reading.
        for (int k : {1, 80}) {
            ss(k).name = "gt";
            ss(k).nem = 4;
        }
        for (int k : {1, 400}) {
            pure(k).name = "q";
            pure(k).emname = "q";
            pure(k).activity = 0.5L;
            pure(k).activitysd = 0.1L;
            pure(k).nmake = 2;
        }
    }
    ptype1& ss(int k) { return (*run.arrays.prec1)[k]; }
    ptype0& pure(int k) { return (*run.arrays.prec0)[k]; }

    qv::Run run;
};

TEST_F(ResetPhaseRecords, EveryReadingStartsFromUnsetPhases) {
    resetphaserecords(run, false);
    for (int k : {1, 80}) {
        EXPECT_EQ(ss(k).name, "unset");
        EXPECT_EQ(ss(k).nem, 0);
    }
    for (int k : {1, 400}) {
        EXPECT_EQ(pure(k).name, "unset");
        EXPECT_EQ(pure(k).emname, "");
        EXPECT_EQ(pure(k).activity, 1);
        EXPECT_EQ(pure(k).activitysd, 0);
        EXPECT_EQ(pure(k).nmake, 0);
    }
}

TEST_F(ResetPhaseRecords, CalibrationKeepsThePurePhases) {
    resetphaserecords(run, true);
    EXPECT_EQ(ss(80).name, "unset");
    EXPECT_EQ(pure(400).name, "q");
    EXPECT_EQ(pure(400).activity, 0.5L);
    EXPECT_EQ(pure(400).nmake, 2);
}

TEST(StartPhase, PurePhaseGivenByNameOnly) {
    auto ph = std::make_unique<ptype0>();
    ph->flag2 = true;
    ph->dqfkind = 2;
    ph->dqfa = 1;
    ph->dqfc = 3;
    ph->activity = 0.2L;
    ph->activitysd = 0.01L;
    ph->nmake = 3;
    startpurephase(*ph, "ru");
    EXPECT_EQ(ph->name, "ru");
    EXPECT_EQ(ph->name2, "ru");
    EXPECT_EQ(ph->emname, "ru");
    EXPECT_FALSE(ph->flag2);
    EXPECT_EQ(ph->dqfkind, -1);
    EXPECT_EQ(ph->dqfa, 0);
    EXPECT_EQ(ph->dqfc, 0);
    EXPECT_EQ(ph->activity, 1);
    EXPECT_EQ(ph->activitysd, 0);
    EXPECT_EQ(ph->nmake, 0);
    EXPECT_EQ(ph->modeguess, -1);
}

TEST(StartPhase, SolutionPhaseTakesShortNameAndSuffix) {
    auto ph = std::make_unique<ptype1>();
    ph->nverb = 7;
    ph->nalso = 2;
    ph->suffix = "old";
    ph->basename = "bi";
    ph->baselong = "bi_x";
    ph->coding = 2;
    startsolutionphase(*ph, "mu_ma");
    EXPECT_EQ(ph->longname, "mu_ma");
    EXPECT_EQ(ph->name, "mu");
    EXPECT_EQ(ph->suffix, "ma");
    EXPECT_EQ(ph->fullname, "mu");
    EXPECT_EQ(ph->basename, "");
    EXPECT_EQ(ph->baselong, "");
    EXPECT_EQ(ph->nverb, 0);
    EXPECT_EQ(ph->nalso, 0);
    EXPECT_EQ(ph->coding, 0);

    startsolutionphase(*ph, "g");
    EXPECT_EQ(ph->longname, "g");
    EXPECT_EQ(ph->name, "g");
    EXPECT_EQ(ph->suffix, "");
}

TEST(Long2ShortPname, SplitsAndImposesSuffixes) {
    struct Case {
        const char* longin;
        const char* suffixin;
        const char* longout;
        const char* shortout;
        const char* suffixout;
    };
    const Case cases[] = {
        {"gt_ma", "", "gt_ma", "gt", "ma"},   {"gt_ma", "ma", "gt_ma", "gt", "ma"},
        {"gt_ma", "mb", "gt_mb", "gt", "mb"}, {"gt", "mb", "gt_mb", "gt", "mb"},
        {"gt", "", "gt", "gt", ""},           {"a_b_c", "", "a_b_c", "a", "b_c"},
    };
    for (const Case& c : cases) {
        std::string longname = c.longin;
        std::string shortname = "junk";
        std::string suffix = c.suffixin;
        long2shortpname(longname, shortname, suffix);
        EXPECT_EQ(longname, c.longout) << c.longin << " / " << c.suffixin;
        EXPECT_EQ(shortname, c.shortout) << c.longin << " / " << c.suffixin;
        EXPECT_EQ(suffix, c.suffixout) << c.longin << " / " << c.suffixin;
    }
    for (const char* bad : {"_gt", "gt_", "gt_ma_"}) {
        std::string longname = bad;
        std::string shortname;
        std::string suffix;
        EXPECT_BOMB(long2shortpname(longname, shortname, suffix), "long2shortpname",
                    std::string("separator char in pname in wrong place in ") + bad);
    }
}

}  // namespace
}  // namespace qv
