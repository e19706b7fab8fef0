// Batch runs of the garnet-plagioclase-kyanite-quartz equilibrium: each member gives what the
// same calculation gives alone, and the batch stops at its first member that fails. Members with
// their bulk given (CaO-MgO-Al2O3-SiO2: garnet, diopside, enstatite, quartz) solve their mass
// balance with their modes, as an independent solution of mass balance and dG = 0 has them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

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

// Ideal garnet (pyrope-grossular, three X sites) with diopside, enstatite and quartz: the
// reaction gr + 3 en = py + 3 di ties z(g) = x(Ca,X) to P and T.
const std::string cmasax = R"(% ideal garnet with diopside, enstatite and quartz
header
  garnet-diopside-enstatite-quartz in CaO-MgO-Al2O3-SiO2, ideal mixing on sites
header

)" + garnetpygrax + R"(
di
en
q
*
)";

// Per formula unit over SiO2, Al2O3, CaO, MgO (the system's order), and atoms per formula unit.
using Comp = std::vector<real>;
Comp garnet(real z) {
    return {3, 1, 3 * z, 3 * (1 - z)};
}
const Comp diopside = {2, 0, 1, 1};
const Comp enstatite = {2, 0, 0, 2};
const Comp quartz = {1, 0, 0, 0};
real atoms(const Comp& c) {
    return 3 * c[0] + 5 * c[1] + 2 * c[2] + 2 * c[3];
}

// A number to every digit the script reader keeps.
std::string digits(real v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.18Lg", v);
    return buf;
}

std::string bulkscript(const std::string& with, const std::string& lines) {
    return "axfile axgasp\nwith " + with +
           "\ndiagramPT 10 30 800 1300\npseudosection no\ninexcess yes\ndebuglevel 1\n"
           "batchxyzguess startblock\nbatchxyzguess z(g) 0.25\n" +
           lines + "autoexit\n*\n";
}

// The issue's example: garnet, diopside and quartz take the whole bulk (no reaction among their
// end-members), so the mass balance alone fixes z(g) and the modes; then garnet, diopside,
// enstatite and quartz, whose z(g) dG = 0 of gr + 3 en = py + 3 di fixes at 20 kbar and
// 1000 C, with a bulk made in the test of chosen amounts of the four phases.
TEST(BatchRun, MembersWithTheirBulkSolveMassBalanceAndModes) {
    Ds62 d;
    const real p = 20;
    const real t = 1273.15L;
    const real dg0 = d.g(d.find("py"), p, t) + 3 * d.g(d.find("di"), p, t) -
                     d.g(d.find("gr"), p, t) - 3 * d.g(d.find("en"), p, t);
    // 3 RT ln(a(py)/a(gr)) = 3 RT ln((1 - z)/z) = -dG0
    const real z2 = 1 / (1 + std::exp(-dg0 / (3 * 0.0083144L * t)));
    ASSERT_GT(z2, 0.01L);
    ASSERT_LT(z2, 0.99L);
    const std::vector<real> n2 = {1, 1.5L, 1, 0.5L};  // garnet, diopside, enstatite, quartz
    const std::vector<Comp> phases2 = {garnet(z2), diopside, enstatite, quartz};
    std::string bulk2;
    for (int c = 0; c < 4; ++c) {
        real s = 0;
        for (std::size_t k = 0; k < 4; ++k) s += n2[k] * phases2[k][static_cast<std::size_t>(c)];
        bulk2 += " " + digits(s);
    }
    PdCase c(bulkscript("g di en q", "mcbulk 50 10 15 25\nmcbulk" + bulk2 +
                                         "\nbatch g di q 3 1 1 20 1000 0 1 1 0 0 0 0\n"
                                         "batch g di en q 2 1 1 20 1000 0 1 2 0 0 0 0\n"),
             "", cmasax);
    std::vector<real> gsys;  // G of the system, per mole of bulk oxides
    const auto keep = c.pd->onresult;
    c.pd->onresult = [&](const SolveState& st) {
        keep(st);
        gsys.push_back(st.cur.g);
    };
    c.go();
    ASSERT_EQ(c.points.size(), 2U) << c.screen();

    // Member 1: the amounts of py, gr, di and q from the bulk (mol%), z(g) = gr / (py + gr).
    const Mat a = {{3, 3, 2, 1}, {1, 1, 0, 0}, {0, 3, 1, 0}, {3, 0, 1, 0}};
    const std::vector<real> n = solve(a, {50, 10, 15, 25});
    const real ng = n[0] + n[1];
    const real z1 = n[1] / ng;
    const std::vector<real> at1 = {ng * atoms(garnet(z1)), n[2] * atoms(diopside),
                                   n[3] * atoms(quartz)};
    std::vector<real> at2;
    for (std::size_t k = 0; k < 4; ++k) at2.push_back(n2[k] * atoms(phases2[k]));
    // G of the system: the amounts per mole of bulk oxides times the phases' G, garnet with
    // its ideal mixing on three sites.
    const real rt = 0.0083144L * t;
    auto ggarnet = [&](real z) {
        return (1 - z) * d.g(d.find("py"), p, t) + z * d.g(d.find("gr"), p, t) +
               3 * rt * ((1 - z) * std::log(1 - z) + z * std::log(z));
    };
    const real g1 =
        (ng * ggarnet(z1) + n[2] * d.g(d.find("di"), p, t) + n[3] * d.g(d.find("q"), p, t)) / 100;
    real oxides2 = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        for (real x : phases2[k]) oxides2 += n2[k] * x;
    }
    const real g2 = (n2[0] * ggarnet(z2) + n2[1] * d.g(d.find("di"), p, t) +
                     n2[2] * d.g(d.find("en"), p, t) + n2[3] * d.g(d.find("q"), p, t)) /
                    oxides2;
    const struct {
        real z;
        std::vector<real> atoms;
        real g;
    } want[] = {{z1, at1, g1}, {z2, at2, g2}};
    for (std::size_t m = 0; m < 2; ++m) {
        SCOPED_TRACE(m + 1);
        const auto& got = c.points[m];
        EXPECT_EQ(got.p, p);
        EXPECT_EQ(got.t, t);
        EXPECT_ABS_NEAR(got.x[3], want[m].z, 1e-9L);
        EXPECT_ABS_NEAR(gsys[m], want[m].g, 1e-8L);
        real total = 0;
        for (real v : want[m].atoms) total += v;
        ASSERT_EQ(got.x.size(), 4 + want[m].atoms.size());
        for (std::size_t k = 0; k < want[m].atoms.size(); ++k) {
            EXPECT_ABS_NEAR(got.x[4 + k], want[m].atoms[k] / total, 1e-9L) << "mode " << k + 1;
        }
    }
    // as printed: the result line and the mode row of member 1
    EXPECT_NE(c.screen().find("  20.000  1000.000    0.3333\n"), std::string::npos);
    EXPECT_NE(c.screen().find("          0.7143    0.1786    0.1071\n"), std::string::npos);
}

// A member whose equations are fewer than its unknowns (no reaction among garnet, diopside and
// quartz, and no bulk to balance) has nothing to solve: no result, rather than its guesses.
TEST(BatchRun, AMemberWithoutEquationsGivesNoResult) {
    PdCase c(bulkscript("g di q", "batch g di q 3 1 1 20 1000 0 1 0 0 0\n"), "", cmasax);
    c.go();
    EXPECT_TRUE(c.points.empty()) << c.screen();
    // the solver's mark of the point, and not the starting guess as a result
    EXPECT_NE(c.screen().find("\n11\n<== nothing in range ==>"), std::string::npos) << c.screen();
    EXPECT_EQ(c.screen().find("0.2500"), std::string::npos) << c.screen();
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
