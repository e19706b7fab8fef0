// Data and covariance rows of the run's end-members, made end-members included.

#include "solver/lsqds.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/phasefixture.hpp"

namespace qv::test {
namespace {

// A run whose dataset pass 3 left end-members a, b, c, d with data rows and a symmetric
// enthalpy covariance with distinct entries.
struct CovRun : PhaseRun {
    Dataset& ds = run.dataset;
    tdmatrix& td;
    emmatrix& cov;
    // covariance entries as given (upper triangle mirrored)
    const real dscov[4][4] = {
        {4, 1, 0.5L, 0.2L}, {1, 9, 0.3L, 0.1L}, {0.5L, 0.3L, 16, 0.7L}, {0.2L, 0.1L, 0.7L, 25}};

    CovRun() : td(alloc_td()), cov(alloc_cov()) {
        const std::vector<std::string> names = {"a", "b", "c", "d"};
        ds.nem = 4;
        for (int i = 1; i <= 4; ++i) {
            ds.emnames[i] = names[static_cast<std::size_t>(i - 1)];
            for (int v = 1; v <= ntd; ++v) td[i][v] = 100 * i + v;
            td[i][14] = 0;  // no order-disorder
            td[i][20] = 0;
            td[i][18] = 0;
            for (int j = 1; j <= 4; ++j) cov[i][j] = dscov[i - 1][j - 1];
        }
        ses.runcount = 2;
    }
    tdmatrix& alloc_td() {
        run.arrays.td = std::make_unique<tdmatrix>();
        return *run.arrays.td;
    }
    emmatrix& alloc_cov() {
        run.arrays.cov = std::make_unique<emmatrix>();
        return *run.arrays.cov;
    }
    real c(int i, int j) const { return dscov[i - 1][j - 1]; }

    ptype1& solution(const std::vector<std::string>& ems) {
        ptype1& ph = ss(++run.nss);
        ++run.nphread;
        ph.name = "ss" + std::to_string(run.nss);
        ph.nem = static_cast<int16>(ems.size());
        for (int j = 1; j <= ph.nem; ++j) ph.em[j].name = ems[static_cast<std::size_t>(j - 1)];
        return ph;
    }
    // A made end-member of integer coefficients over a common divisor.
    static void make(ssemtype& em, const std::vector<std::string>& names,
                     const std::vector<int>& coefs, int den) {
        em.nmake = static_cast<int16>(names.size());
        em.makeden = static_cast<int16>(den);
        for (int i = 1; i <= em.nmake; ++i) {
            em.makenames[i] = names[static_cast<std::size_t>(i - 1)];
            em.makecoef[i] = static_cast<int16>(coefs[static_cast<std::size_t>(i - 1)]);
        }
    }
};

// The a-x summary of the solution phases is written when the caller asks for it, whatever the
// pass (the first pass of a run asks; the calibration's experiments, whose phases were summarised
// when read, do not); the run's own call asks on the first pass alone.
TEST(Lsqds, PhaseSummaryWhenAsked) {
    struct Case {
        int16 runcount;
        int asked;  // -1: the run's own call
        bool written;
    };
    const Case cases[] = {{2, 1, true}, {1, 0, false}, {1, -1, true}, {2, -1, false}};
    for (const Case& c : cases) {
        CovRun r;
        r.solution({"c", "a"});
        r.run.setup.phaseinfochannels = screenmask;
        r.ses.ch.activechannels = screenmask;
        r.ses.runcount = c.runcount;
        if (c.asked < 0) {
            lsqds(r.ses, r.run);
        } else {
            lsqds(r.ses, r.run, false, c.asked == 1);
        }
        EXPECT_EQ(r.ts.console.output.find("\nss1\n") != std::string::npos, c.written)
            << c.runcount << " " << c.asked << ": " << r.ts.console.output;
    }
}

TEST(Lsqds, WithoutMakesTheCovarianceIsOnlyReordered) {
    CovRun r;
    r.solution({"c", "a"});
    r.ss(1).em[1].td[18] = 7;  // a charge kept from the a-x reading
    r.addpure("b");
    lsqds(r.ses, r.run);
    ASSERT_EQ(r.ds.nem, 3);
    EXPECT_EQ(r.ds.nrxem, 3);
    const int dsorder[] = {3, 1, 2};  // c, a, b
    for (int k = 1; k <= 3; ++k) {
        for (int l = 1; l <= 3; ++l) {
            EXPECT_EQ(r.cov[k][l], r.c(dsorder[k - 1], dsorder[l - 1])) << k << "," << l;
        }
    }
    const ssemtype& c = r.ss(1).em[1];
    EXPECT_EQ(c.td[1], r.td[3][1]);
    EXPECT_EQ(c.td[28], r.td[3][28]);
    EXPECT_EQ(c.td[31], r.td[3][31]);
    EXPECT_EQ(c.td[18], 7);
    EXPECT_EQ(c.td[29], 0);  // solution end-members carry no phase pointer
    EXPECT_EQ(c.td[30], 0);
    EXPECT_EQ(c.vec[3], r.c(3, 2));
    const ptype0& b = (*r.run.arrays.prec0)[1];
    EXPECT_EQ(b.td[29], r.td[2][29]);  // pure phases copy 29 and 30 as well
    EXPECT_EQ(b.td[19], 0);
}

TEST(Lsqds, HalfAndHalfMadeEndMember) {
    CovRun r;
    ptype1& ph = r.solution({"a", "ab"});
    CovRun::make(ph.em[2], {"a", "b"}, {1, 1}, 2);
    ph.em[2].dqfa = 1.5L;
    ph.em[2].dqfb = 0.002L;
    ph.em[2].dqfc = 0.03L;
    r.addpure("c");
    lsqds(r.ses, r.run);
    ASSERT_EQ(r.ds.nem, 3);
    // Variance: a quarter of the four covariance entries of a and b.
    EXPECT_REL_NEAR(r.cov[2][2], (r.c(1, 1) + r.c(1, 2) + r.c(2, 1) + r.c(2, 2)) / 4, 1e-15L);
    // With a plain member: half the sum of its two entries.
    EXPECT_REL_NEAR(r.cov[2][1], (r.c(1, 1) + r.c(1, 2)) / 2, 1e-15L);
    EXPECT_REL_NEAR(r.cov[2][3], (r.c(3, 1) + r.c(3, 2)) / 2, 1e-15L);
    for (int k = 1; k <= 3; ++k) {
        for (int l = 1; l <= 3; ++l) EXPECT_EQ(r.cov[k][l], r.cov[l][k]) << k << "," << l;
    }
    // The made end-member's own row holds the DQF term a + bT + cP as H, -S, V.
    const ssemtype& ab = ph.em[2];
    EXPECT_EQ(ab.td[1], 1.5L);
    EXPECT_EQ(ab.td[2], -0.002L);
    EXPECT_EQ(ab.td[3], 0.03L);
    EXPECT_EQ(ab.td[4], 0);
    // Its constituents point at dependent rows from 400 down, copies of a and b.
    EXPECT_EQ(ab.makeint2[1], 400);
    EXPECT_EQ(ab.makeint2[2], 399);
    EXPECT_EQ(r.ds.emnames[400], "a");
    EXPECT_EQ(r.ds.emnames[399], "b");
    EXPECT_EQ(r.td[399][5], r.td[2][5]);
    EXPECT_EQ(ab.makeaction[1], makeactiontype::notrelevant);
}

TEST(Lsqds, TwoMadeEndMembersShareAConstituent) {
    CovRun r;
    ptype1& ph = r.solution({"ab", "bc"});
    CovRun::make(ph.em[1], {"a", "b"}, {1, 1}, 2);
    CovRun::make(ph.em[2], {"b", "c"}, {1, 2}, 3);
    lsqds(r.ses, r.run);
    // cov(ab, bc) = sum over constituents (1/2)(w_j) cov: shares b's variance.
    const real expect = 0.5L * (1.0L / 3 * r.c(1, 2) + 2.0L / 3 * r.c(1, 3)) +
                        0.5L * (1.0L / 3 * r.c(2, 2) + 2.0L / 3 * r.c(2, 3));
    EXPECT_REL_NEAR(r.cov[1][2], expect, 1e-15L);
    EXPECT_EQ(r.cov[1][2], r.cov[2][1]);
    // b is taken in the same state by both: one dependent row.
    EXPECT_EQ(ph.em[1].makeint2[2], ph.em[2].makeint2[1]);
    EXPECT_EQ(ph.em[2].makeint2[2], 398);
}

TEST(Lsqds, OrderDisorderConstituentsGetTheirActionRows) {
    CovRun r;
    // b is a Landau end-member: Tcrit 800 K, Smax 0.01 kJ/K, Vmax 0.05 kJ/kbar.
    r.td[2][14] = 800;
    r.td[2][15] = 0.01L;
    r.td[2][16] = 0.05L;
    ptype1& ph = r.solution({"bd", "bo"});
    CovRun::make(ph.em[1], {"b"}, {1}, 1);
    ph.em[1].makeaction[1] = makeactiontype::disordered;
    CovRun::make(ph.em[2], {"b"}, {1}, 1);
    ph.em[2].makeaction[1] = makeactiontype::ordered;
    lsqds(r.ses, r.run);
    const real q = std::sqrt(1 - 298.15L / 800);
    EXPECT_REL_NEAR(ph.em[1].td[2], 0.01L * q, 1e-15L);
    EXPECT_REL_NEAR(ph.em[2].td[3], 0.05L * (q - 1), 1e-15L);
    // Different states of b: two dependent rows, both without the Landau terms.
    EXPECT_EQ(ph.em[1].makeint2[1], 400);
    EXPECT_EQ(ph.em[2].makeint2[1], 399);
    EXPECT_EQ(r.td[400][15], 0);
    EXPECT_EQ(r.td[399][14], 0);
}

TEST(Lsqds, Stops) {
    {
        CovRun r;
        r.solution({"a", "x"});
        EXPECT_BOMB(lsqds(r.ses, r.run), "make emtd", "x not found");
    }
    {
        CovRun r;
        ptype1& ph = r.solution({"a", "ab"});
        CovRun::make(ph.em[2], {"a", "b"}, {1, 1}, 2);
        ph.em[2].makeaction[2] = makeactiontype::ordered;
        EXPECT_BOMB(lsqds(r.ses, r.run), "domake", "action specified for a non-od end-member");
        EXPECT_NE(r.ts.console.output.find("in the make for ab, problem with b"),
                  std::string::npos);
    }
    {
        CovRun r;
        r.td[2][14] = 800;
        r.td[2][15] = 0.01L;
        ptype1& ph = r.solution({"a", "bb"});
        CovRun::make(ph.em[2], {"b"}, {1}, 1);
        EXPECT_BOMB(lsqds(r.ses, r.run), "domake", "action for od end-member not specified");
    }
    {
        CovRun r;
        r.run.setup.calibration = true;
        r.solution({"a"});
        ptype0& p = r.addpure("ab");
        p.nmake = 1;
        p.makeden = 1;
        p.makenames[1] = "a";
        p.makecoef[1] = 1;
        EXPECT_BOMB(lsqds(r.ses, r.run), "lsqds", "make not allowed");
    }
}

}  // namespace
}  // namespace qv::test
