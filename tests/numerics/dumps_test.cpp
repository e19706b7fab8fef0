#include "numerics/dumps.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.hpp"

namespace qv {
namespace {

std::string right(const std::string& s, std::size_t w) {
    return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The screen alone, unwrapped, so that whole table lines are seen.
struct Dump {
    test::TestSession t;
    std::unique_ptr<eqmatrix> m = std::make_unique<eqmatrix>();
    Dump() { t.ses.ch.dontwrapon = false; }
    const std::string& out() const { return t.console.output; }
};

TEST(Printmatrixlist, IdentityAsNestedList) {
    Dump d;
    (*d.m)[1][1] = 1;
    (*d.m)[2][2] = 1;
    printmatrixlist(d.t.ses, *d.m, "t", 2, 2);
    EXPECT_EQ(d.out(),
              "\n(* t *)\n"
              "{{   1.0000,        0}, \n"
              " {        0,   1.0000}}; \n"
              "\n");
    EXPECT_TRUE(d.t.ses.ch.linebuffers[0].empty());
}

TEST(Printmatrixlist, OneCellAndTheZeroThreshold) {
    struct Case {
        real x;
        const char* line;
    };
    const Case cases[] = {
        {1e-11L, "{{        0}}; "},
        {-1e-11L, "{{        0}}; "},
        {1e-10L, "{{   0.0000}}; "},
        {-123.45678L, "{{-123.4568}}; "},
    };
    for (const Case& c : cases) {
        Dump d;
        (*d.m)[1][1] = c.x;
        printmatrixlist(d.t.ses, *d.m, "one", 1, 1);
        EXPECT_EQ(d.out(), std::string("\n(* one *)\n") + c.line + "\n\n");
    }
}

// Two reactions and two components; P, T, one composition variable and two modes, T held fixed
// and so absent from the jacobian, whose columns are P, x(opx), opx and q.
struct SmallJacobian : Dump {
    JacobianLabels lab;
    SmallJacobian() {
        lab.nreac = 2;
        lab.nequations = 4;
        lab.nxvars = 3;
        lab.nmodevars = 2;
        lab.compnames[1] = "SiO2";
        lab.compnames[2] = "MgO";
        const char* names[] = {"P", "T", "x(opx)", "opx", "q"};
        for (int j = 1; j <= 5; ++j) {
            lab.xnames[j] = names[j - 1];
            lab.xfree[j] = j != 2;
        }
        const real rows[4][4] = {
            {1.5L, 0, 2, 0}, {-0.25L, 3, 0, 0}, {0, 1e-10L, 4, 1}, {2, 1e-11L, 0, 0.5L}};
        for (int i = 1; i <= 4; ++i) {
            for (int j = 1; j <= 4; ++j) (*m)[i][j] = rows[i - 1][j - 1];
        }
    }
};

TEST(Printmatrixlog, AllThreeBlocks) {
    SmallJacobian d;
    printmatrixlog(d.t.ses, d.lab, "jacobian", *d.m, 0, 2, false, 9);
    const std::string blank(6, ' ');
    const auto c = [](const char* s) { return right(s, 11); };
    // clang-format off
    const std::string want =
        "\njacobian\n" +
        blank + c("P") + c("x(opx)") + "\n" +
        "1     " + c("1.50") + c("-") + "\n" +
        "2     " + c("-0.25") + c("3.00") + "\n" +
        "\n" +
        blank + c("P") + c("x(opx)") + "\n" +
        "SiO2  " + c("-") + c("0.00") + "\n" +
        "MgO   " + c("2.00") + c("-") + "\n" +
        "\n" +
        blank + c("opx") + c("q") + "\n" +
        "SiO2  " + c("4.00") + c("1.00") + "\n" +
        "MgO   " + c("-") + c("0.50") + "\n";
    // clang-format on
    EXPECT_EQ(d.out(), want);
}

TEST(Printmatrixlog, ModeChoosesTheBlocks) {
    struct Case {
        int16 mode;
        int nlines;  // the title's two, then each block's
    };
    const Case cases[] = {{0, 2 + 3 + 4 + 4}, {1, 2 + 4 + 4}, {2, 2 + 4}, {3, 2}};
    for (const Case& c : cases) {
        SmallJacobian d;
        printmatrixlog(d.t.ses, d.lab, "jacobian", *d.m, c.mode, 2, false, 9);
        EXPECT_EQ(static_cast<int>(lines(d.out()).size()), c.nlines) << "mode " << c.mode;
    }
}

// Fixed form unless the exponent form is asked for, which gives significant digits.
TEST(Printmatrixlog, FormatFlag) {
    struct Case {
        bool expform;
        const char* small;
        const char* large;
    };
    const Case cases[] = {{false, "0.0000", "123.4560"}, {true, "1.234e-5", "123.5"}};
    for (const Case& c : cases) {
        Dump d;
        JacobianLabels lab;
        lab.nreac = 1;
        lab.nequations = 1;
        lab.nxvars = 2;
        lab.xnames[1] = "a";
        lab.xnames[2] = "b";
        lab.xfree[1] = lab.xfree[2] = true;
        (*d.m)[1][1] = 0.00001234L;
        (*d.m)[1][2] = 123.456L;
        printmatrixlog(d.t.ses, lab, "fmt", *d.m, 0, 4, c.expform, 9);
        const auto got = lines(d.out());
        ASSERT_GE(got.size(), 4U);
        EXPECT_EQ(got[3], "1     " + right(c.small, 13) + right(c.large, 13));
    }
}

TEST(Printmatrixlog, FortyVariablesComeInGroupsOfEighteen) {
    Dump d;
    JacobianLabels lab;
    lab.nreac = 1;
    lab.nequations = 2;
    lab.nxvars = 40;
    lab.compnames[1] = "CaO";
    for (int j = 1; j <= 40; ++j) {
        lab.xnames[j] = "v" + std::to_string(j);
        lab.xfree[j] = true;
        (*d.m)[1][j] = j;
        (*d.m)[2][j] = -j;
    }
    printmatrixlog(d.t.ses, lab, "a title longer than twenty-two", *d.m, 0, 4, false, 9);
    const auto got = lines(d.out());
    // title; block 1: three headers with one row each; block 2 likewise; block 3: an empty
    // header and one row with no cells.
    ASSERT_EQ(got.size(), 2U + 6U + 7U + 3U);
    EXPECT_EQ(got[1], "a title longer than tw");
    const std::size_t headers[] = {2, 4, 6, 9, 11, 13};
    const std::size_t widths[] = {18, 18, 4, 18, 18, 4};
    for (int g = 0; g < 6; ++g) {
        const std::string& h = got[headers[g]];
        EXPECT_EQ(h.size(), 6 + 13 * widths[g]) << h;
        EXPECT_EQ(got[headers[g] + 1].size(), h.size());
    }
    EXPECT_EQ(got[6], std::string(6, ' ') + right("v37", 13) + right("v38", 13) + right("v39", 13) +
                          right("v40", 13));
    EXPECT_EQ(got[7], "1     " + right("37.0000", 13) + right("38.0000", 13) +
                          right("39.0000", 13) + right("40.0000", 13));
    EXPECT_EQ(got[14].substr(0, 19), "CaO   " + right("-37.0000", 13));
    EXPECT_EQ(got[16], std::string(6, ' '));
    EXPECT_EQ(got[17], "CaO   ");
}

}  // namespace
}  // namespace qv
