// The a-x information printout and the phase model state table.

#include "model/axprint.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "model/phasefixture.hpp"
#include "model/statetable.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

TEST(AddNumber, FewestDecimalsThatShowTheValue) {
    struct Case {
        int decimals;
        real x;
        const char* text;
    };
    const Case cases[] = {{3, 2, "2"},          {3, 0.25L, "0.25"},   {3, 1.0L / 3, "0.3333"},
                          {5, 0.002L, "0.002"}, {3, -12.5L, "-12.5"}, {3, 2.000000001L, "2"}};
    for (const Case& c : cases) {
        std::string s;
        addnumber(c.decimals, s, c.x);
        EXPECT_EQ(s, c.text) << static_cast<double>(c.x);
    }
}

// A symmetric binary garnet-like phase: x = x(B), xA = 1 - x, xB = x on a site of
// multiplicity 3 (a = xA^3), W(A,B) = 5.2 - 0.003 T + 0.11 P (illustrative values).
ptype1 solution() {
    ptype1 ph = regularbinary("gt", 3);
    ph.var[1].upper = 2;
    ph.em[2].tmfconst = 0.5L;
    ph.wa[1] = 5.2L;
    ph.wb[1] = -0.003L;
    ph.wc[1] = 0.11L;
    return ph;
}

// The "it" channel written to a temporary file and read back.
struct ItRun : PhaseRun {
    std::FILE* f = std::tmpfile();
    ItRun() {
        ses.ch.files[5].f = f;
        ses.ch.activechannels = 32;
        run.nss = 1;
        ss(1) = solution();
    }
    ~ItRun() {
        ses.ch.files[5].f = nullptr;
        std::fclose(f);
    }
    std::string text() {
        std::fflush(f);
        std::rewind(f);
        std::string s;
        char buf[4096];
        std::size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        return s;
    }
};

TEST(PrintPhaseInfo, SolutionPhase) {
    ItRun r;
    r.run.ax.nheader = 1;
    r.run.ax.header[1] = "% our a-x file";
    ssemtype& b = r.ss(1).em[2];
    b.nmake = 2;
    b.makeden = 2;
    b.makenames[1] = "py";
    b.makenames[2] = "gr";
    b.makecoef[1] = 2;
    b.makecoef[2] = -1;
    b.makeaction[1] = makeactiontype::equilibrium;
    b.makeaction[2] = makeactiontype::notrelevant;
    b.dqfc = 0.01L;
    b.dqfkind = 1;
    printphaseinfo(r.ses, r.run, 1);
    EXPECT_EQ(r.text(),
              "% our a-x file\n"
              "\n--------------------------------------\n"
              "gt\n"
              "\n composition variables\n"
              "  x(gt)  range 0 <> 2\n"
              "\n site fractions\n"
              "   xA = 1 - x\n"
              "   xB = x\n"
              "\n proportions\n"
              "   A = 1 - x\n"
              "   B = x\n"
              "\n ideal mixing activities\n"
              "  A = xA^3\n"
              "  B = 0.5000 xB^3\n"
              "\n non-ideality by symmetric formalism\n"
              "  W(A,B) = 5.2 - 0.003 T + 0.11 P\n"
              "\n \"make\" end-members\n"
              "  B = e-py - 1/2 gr + 0 + 0.01 P  (make)\n"
              "\n");
    EXPECT_TRUE(r.ses.ch.used[5]);
}

TEST(PrintPhaseInfo, MageminSignsAndFluid) {
    ItRun r;
    r.sc.magemincb = controlboolean::yes;
    r.ss(1).name = "fluid";
    printphaseinfo(r.ses, r.run, 1);
    const std::string t = r.text();
    EXPECT_NE(t.find("  x(gt)  range 0 <> 2\n"), std::string::npos);
    EXPECT_NE(t.find("  B = 0.5000*xB**3\n"), std::string::npos);
    EXPECT_NE(t.find("\n non-ideality hard-wired\n"), std::string::npos);
    EXPECT_EQ(t.find("W(A,B)"), std::string::npos);
}

TEST(PrintPhaseInfo, SingleEndMemberPhase) {
    ItRun r;
    r.ss(1).nem = 1;
    r.ss(1).em[1].name = "ab";
    printphaseinfo(r.ses, r.run, 1);
    EXPECT_EQ(r.text(),
              "\n--------------------------------------\ngt\n"
              "\n single end-member phase: ab\n\n");
}

// A phase of n end-members named e1.. with every pair term W = 10 + i.
ptype1 manyterms(int nterms, bool withb) {
    ptype1 ph;
    ph.name = "liq";
    ph.nem = 15;
    ph.nvar = 1;
    ph.var[1].name = "q(liq)";
    ph.var[1].guess = 0.123456L;
    for (int m = 1; m <= 15; ++m) ph.em[m].name = "e" + std::to_string(m);
    ph.model = axtype::symmetric;
    ph.ngterm = static_cast<int16>(nterms);
    for (int w = 1; w <= nterms; ++w) {
        ph.gterm[w] = {static_cast<int16>(w), 1, static_cast<int16>(w % 15 + 1)};
        ph.wa[w] = 10 + w;
        ph.wb[w] = withb && w == 2 ? 0.5L : 0;
    }
    return ph;
}

TEST(PrintAxState, BlocksOfFifteenTerms) {
    struct Case {
        int nterms;
        int namelines;
    };
    for (const Case c : {Case{15, 1}, Case{16, 2}, Case{30, 2}}) {
        TestSession ts;
        ts.ses.ch.dontwrapon = false;
        printaxstate(ts.ses, manyterms(c.nterms, false));
        const std::string& out = ts.console.output;
        int wlines = 0;
        int blocklines = 0;
        for (std::size_t pos = 0; (pos = out.find("\n", pos)) != std::string::npos; ++pos) {
            if (out.compare(pos + 1, 5, "  W  ") == 0) ++wlines;
            if (out.compare(pos + 1, 14, "          e1-e") == 0) ++blocklines;
        }
        EXPECT_EQ(wlines, 1) << c.nterms;
        EXPECT_EQ(wlines + blocklines, c.namelines) << c.nterms;
    }
}

TEST(PrintAxState, Lines) {
    TestSession ts;
    ts.ses.ch.dontwrapon = false;
    ptype1 ph = manyterms(16, true);
    ph.em[3].dqfvaried[1] = true;
    ph.em[3].td[1] = -1234.5678L;
    printaxstate(ts.ses, ph);
    std::string w1 = "  W  ";
    std::string a1 = "     ";
    std::string b1 = "     ";
    for (int w = 1; w <= 15; ++w) {
        addstr("e1-e" + std::to_string(w % 15 + 1), 10, w1);
        addreal(3, true, 10, a1, 10 + w);
        if (w == 2) {
            addreal(3, true, 10, b1, 0.5L);
        } else {
            b1 += std::string(10, ' ');
        }
    }
    const std::string expected =
        "liq  ----------------------------------------\n"
        "  var    q(liq)\n"
        "          0.123\n" +
        w1 + "\n" + a1 + "\n" + b1 + "\n" +
        "          e1-e2\n"
        "         26.000\n"
        "               \n"
        "             e3      \n"
        "  H    -1234.57\n";
    EXPECT_EQ(ts.console.output, expected);
}

TEST(PrintAxState, ShortNamesAndOneEndMember) {
    TestSession ts;
    ptype1 ph;
    ph.name = "ksp";
    ph.nem = 1;
    ph.em[1].name = "san";
    printaxstate(ts.ses, ph);
    EXPECT_EQ(ts.console.output,
              "ksp  ----------------------------------------\n        just san\n");
}

}  // namespace
}  // namespace qv::test
