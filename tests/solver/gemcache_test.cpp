// End-member Gibbs energies shared by the reactions of one evaluation are formed once; the
// solve must not notice: the same converged point, iterations and evaluations, and the same
// count of end-member G evaluations as when every reaction evaluates its end-members apart.

#include <gtest/gtest.h>

#include "solver/solvedfixture.hpp"

namespace qv::test {
namespace {

template <class Calc>
void expect_same_solve() {
    Calc cached;
    Calc apart;
    apart.nst.work->cachegem = false;
    ASSERT_TRUE(cached.solve());
    ASSERT_TRUE(apart.solve());
    EXPECT_EQ(cached.code, apart.code);
    EXPECT_EQ(cached.st.niterations, apart.st.niterations);
    EXPECT_EQ(cached.st.nevaluations, apart.st.nevaluations);
    for (int16 k = 1; k <= cached.run.nxvars + cached.run.nmodevars; ++k) {
        EXPECT_EQ(cached.natural(k), apart.natural(k)) << "unknown " << k;
    }
    EXPECT_EQ(cached.ses.gemcount, apart.ses.gemcount);
    EXPECT_GT(cached.ses.gemcount, 0);
}

TEST(GemCache, SharedEndMemberSolveEqualsTheUncachedOne) {
    // ky appears in both reactions, at each of the three points of every evaluation.
    expect_same_solve<Al2SiO5>();
}

TEST(GemCache, SolveWithModesEqualsTheUncachedOne) {
    expect_same_solve<OlGt>();
}

}  // namespace
}  // namespace qv::test
