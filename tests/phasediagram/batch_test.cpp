// Batch runs of the garnet-plagioclase-kyanite-quartz equilibrium: each member gives what the
// same calculation gives alone, and the batch stops at its first member that fails.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"

namespace qv::test {
namespace {

const std::string head = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
debuglevel 1
)";

// The same calculation alone: P of the isopleths z(g), ca(pl) at T.
std::string alone(const std::string& z, const std::string& ca, const std::string& t) {
    return head + "calcTatP no\ncalcT " + t + " " + t + " 100\nisopleth z(g) " + z + " ca(pl) " +
           ca + "\nautoexit\n*\n";
}

// A member of variance 3 held at two isopleths: P at the given T.
std::string member(const std::string& z, const std::string& ca, const std::string& t) {
    return "batch g pl ky q 3 1 1 10 " + t + " 0 1 0 0 2 z(g) " + z + " ca(pl) " + ca + "\n";
}

std::string batchscript(const std::vector<std::string>& members) {
    std::string s =
        head + "batchxyzguess startblock\nbatchxyzguess z(g) 0.2\n" + "batchxyzguess ca(pl) 0.5\n";
    for (const std::string& m : members) s += m;
    return s + "autoexit\n*\n";
}

TEST(BatchRun, MembersEqualEachRunAlone) {
    PdCase batch(batchscript({member("0.2", "0.5", "700"), member("0.3", "0.4", "650")}));
    batch.go();
    ASSERT_EQ(batch.points.size(), 2u) << batch.screen();
    const struct {
        const char *z, *ca, *t;
    } members[] = {{"0.2", "0.5", "700"}, {"0.3", "0.4", "650"}};
    for (std::size_t i = 0; i < 2; ++i) {
        PdCase one(alone(members[i].z, members[i].ca, members[i].t));
        one.go();
        ASSERT_EQ(one.points.size(), 1u) << one.screen();
        // the result line under the rule of the result table
        const std::string& out = one.screen();
        const std::size_t rule = out.find(std::string(60, '-'));
        ASSERT_NE(rule, std::string::npos);
        const std::size_t start = out.find('\n', rule) + 1;
        const std::string line = out.substr(start, out.find('\n', start) - start + 1);
        EXPECT_NE(batch.screen().find(line), std::string::npos) << line;
        const auto& a = one.points[0];
        const auto& b = batch.points[i];
        SCOPED_TRACE(i + 1);
        // the same equilibrium from other starting guesses and scaling: equal within the
        // solver's convergence
        EXPECT_REL_NEAR(b.p, a.p, 1e-7L);
        EXPECT_EQ(b.t, a.t);
        ASSERT_EQ(b.x.size(), a.x.size());
        for (std::size_t k = 1; k < a.x.size(); ++k) EXPECT_REL_NEAR(b.x[k], a.x[k], 1e-7L);
    }
}

TEST(BatchRun, StopsAtTheFirstMemberThatFails) {
    // At 500 C garnet this calcic with so sodic a plagioclase lies far below 2 kbar.
    PdCase batch(batchscript(
        {member("0.2", "0.5", "700"), member("0.9", "0.1", "500"), member("0.3", "0.4", "650")}));
    batch.go();
    EXPECT_EQ(batch.points.size(), 1u) << batch.screen();
    EXPECT_NE(batch.screen().find("<== nothing in range ==>"), std::string::npos) << batch.screen();
}

TEST(BatchRun, McdebugShowsTheBulkOfAMemberGivenOne) {
    // Garnet (py-gr), diopside and quartz with a bulk of its own in CMAS.
    std::string ax = gaspax;
    ax.replace(ax.find("pl 2 1"), ax.find("*\n") - ax.find("pl 2 1"), "di\nq\n");
    PdCase batch(R"(axfile axgasp
with g di q
diagramPT 10 30 800 1200
pseudosection no
inexcess yes
mcbulk 50 10 15 25
batchxyzguess startblock
batchxyzguess z(g) 0.25
batch g di q 2 1 1 20 1000 0 1 1 0 0 0 0
mcdebug yes
debuglevel 1
autoexit
*
)",
                 "", ax);
    batch.go();
    // the bulk as the script gives it (a total of 100), over the components of the member's
    // phases in the order of the system
    const std::string& out = batch.screen();
    const std::size_t at = out.find("\nwith bulk");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string lines = out.substr(at, out.find('\n', out.find('\n', at + 1) + 1) - at + 1);
    EXPECT_EQ(lines,
              "\nwith bulk    SiO2   Al2O3     CaO     MgO\n"
              "            50.00   10.00   15.00   25.00\n")
        << out;
}

}  // namespace
}  // namespace qv::test
