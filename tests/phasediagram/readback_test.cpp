// Output that a run writes to be read again, read back from the run's own files and screen: the
// "moreprec" brace lists of composition variables, the csv rows of a Monte Carlo run of six
// batch members, and the "xyzguess" block of a composition next to its bound pasted into the
// script that wrote it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/random.hpp"
#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The fields of a csv row ("a, b, " gives a and b).
std::vector<std::string> csvfields(const std::string& row) {
    std::vector<std::string> out;
    std::istringstream in(row);
    for (std::string f; std::getline(in, f, ',');) {
        if (!trimmed(f).empty()) out.push_back(trimmed(f));
    }
    return out;
}

// A number as the C library reads it, the whole word taken.
real number(const std::string& word) {
    char* end = nullptr;
    const real x = std::strtold(word.c_str(), &end);
    EXPECT_TRUE(end != word.c_str() && *end == '\0') << "not a number: \"" << word << "\"";
    return x;
}

// The "moreprec" lists: every composition variable of a pseudosection of garnet and olivine
// with ten decimals (x(g) lies between 0.2147 and 1, where the digits ran out of the
// formatter's integer), read back from the screen and compared with the solution.
void morepreclists() {
    PdCase c(
        "axfile axgasp\nwith g ol en\ninexcess yes\npseudosection yes\n"
        "bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 30 25\nacceptvar yes\nzeromodeisopleth no\n"
        "modeisopleth no\nmoreprec yes\nautoexit\ndiagramPT 10 30 800 1300\ncalcTatP no\n"
        "calcP 20\ncalcT 1000\n*\n",
        "", fmasax);
    std::vector<std::vector<real>> solved;  // x(g), x(ol) of each result
    c.pd->onresult = [&](const SolveState& st) {
        std::vector<real> x;
        for (int i = 1; i <= st.cur.nphases; ++i) {
            if (st.cur.ph[i].nem > 1) x.push_back(st.cur.ph[i].x[1]);
        }
        solved.push_back(x);
    };
    c.go();
    ASSERT_EQ(solved.size(), 1u) << c.screen();
    ASSERT_EQ(solved[0].size(), 2u);
    EXPECT_GT(solved[0][0], 0.2147L);  // the garnet in the range that lost its digits
    std::vector<real> read;
    for (const std::string& line : lines(c.screen())) {
        if (line.rfind("{x(", 0) != 0) continue;
        const std::size_t arrow = line.find(" -> ");
        ASSERT_NE(arrow, std::string::npos) << line;
        const std::string value = trimmed(line.substr(arrow + 4, line.find('}') - arrow - 4));
        read.push_back(number(value));
    }
    ASSERT_EQ(read.size(), 2u) << c.screen();
    for (std::size_t i = 0; i < 2; ++i) {
        // ten decimals, or ten significant digits
        EXPECT_ABS_NEAR(read[i], solved[0][i], 6e-11L) << i;
    }
}

// Six batch members in Monte Carlo trials ("mcdebug" runs three of them, every point printed):
// the csv rows hold every value of every member (the rows pass 255 characters), and the heads
// line up with them.
void sixmembercsv() {
    struct Member {
        const char *z, *ca, *t;
    };
    const Member members[] = {{"0.2", "0.5", "700"},   {"0.3", "0.4", "650"},
                              {"0.25", "0.45", "680"}, {"0.22", "0.48", "720"},
                              {"0.28", "0.42", "660"}, {"0.24", "0.46", "690"}};
    std::string script =
        "axfile axgasp\nwith g pl ky q\ndiagramPT 2 16 500 900\n"
        "pseudosection no\ninexcess yes\nbatchxyzguess startblock\n"
        "batchxyzguess z(g) 0.2\nbatchxyzguess ca(pl) 0.5\n";
    for (const Member& m : members) {
        script += std::string("batch g pl ky q 3 1 1 10 ") + m.t + " 0 1 0 0 2 z(g) " + m.z +
                  " ca(pl) " + m.ca + "\n";
    }
    script += "mc g a W(py,gr) 31 6 =\nmcit 1\nmcdebug yes\nautoexit\n*\n";
    PdCase c(script, "", symmetricgarnet());
    c.ts.ses.ch.activechannels |= (int32{1} << 7) | (int32{1} << 8);
    DateTime fixed{};
    seedwhrandom(c.ts.ses.seeds, true, fixed);
    c.go();
    flushfiles(c.ts.ses);
    const std::size_t trials = 3;
    ASSERT_EQ(c.points.size(), 6 * trials) << c.screen();

    // the heads and the rows of the trials (the printed results add rows of their own)
    const auto trialrows = [](const std::string& text) {
        std::vector<std::string> out;
        for (const std::string& line : lines(text)) {
            const std::vector<std::string> f = csvfields(line);
            if (!f.empty() && f[0].find_first_not_of("0123456789#") == std::string::npos) {
                out.push_back(line);
            }
        }
        return out;
    };
    const std::vector<std::string> csv = trialrows(c.dir.read("qv-gasp.csv"));
    const std::vector<std::string> csv2 = trialrows(c.dir.read("qv-gasp-2.csv"));
    ASSERT_EQ(csv.size(), 1 + trials) << c.dir.read("qv-gasp.csv");
    ASSERT_EQ(csv2.size(), 1 + trials) << c.dir.read("qv-gasp-2.csv");
    const std::vector<std::string> head = csvfields(csv[0]);
    ASSERT_EQ(head.size(), 6u * 5u) << csv[0];
    const std::vector<std::string> head2 = csvfields(csv2[0]);
    ASSERT_EQ(head2.size(), 6u * 6u) << csv2[0];
    for (std::size_t m = 0; m < 6; ++m) {
        const std::string tag = std::to_string(m + 1) + "-";
        const std::vector<std::string> names = {"#", tag + "P", tag + "T", tag + "z(g)",
                                                tag + "ca(pl)"};
        for (std::size_t j = 0; j < names.size(); ++j) EXPECT_EQ(head[5 * m + j], names[j]);
        EXPECT_EQ(head2[6 * m], "#");
        EXPECT_EQ(head2[6 * m + 5], tag + "rho");
    }
    for (std::size_t r = 1; r <= trials; ++r) {
        SCOPED_TRACE("trial " + std::to_string(r));
        const std::vector<std::string> row = csvfields(csv[r]);
        EXPECT_GT(csv[r].size(), 255u);
        ASSERT_EQ(row.size(), head.size()) << csv[r];
        EXPECT_EQ(csvfields(csv2[r]).size(), head2.size()) << csv2[r];
        for (std::size_t m = 0; m < 6; ++m) {
            SCOPED_TRACE(m + 1);
            const PdCase::Point& p = c.points[6 * (r - 1) + m];
            const std::size_t at = 5 * m;
            EXPECT_EQ(row[at], std::to_string(r));
            EXPECT_ABS_NEAR(number(row[at + 1]), p.p, 0.0005L);
            EXPECT_ABS_NEAR(number(row[at + 2]), p.t - 273.15L, 0.005L);
            EXPECT_ABS_NEAR(number(row[at + 3]), p.x[3], 0.000005L);
            EXPECT_ABS_NEAR(number(row[at + 4]), p.x[4], 0.000005L);
            EXPECT_ABS_NEAR(p.t - 273.15L, std::stold(members[m].t), 1e-9L);
        }
    }
}

// A plagioclase one part in 10^12 short of anorthite: the logged "xyzguess" block, pasted into
// the script that wrote it, is taken and starts the solve where the first one ended.
void guessbynextbound() {
    const std::string script =
        "axfile axgasp\nwith g pl ky q\ndiagramPT 4 20 500 900\n"
        "pseudosection no\ninexcess yes\ncalcP 12\ncalcT 700\n"
        "isopleth ca(pl) 0.999999999999\nprintxyz yes\ndebuglevel 2\n"
        "autoexit\n*\n";
    auto run = [](const std::string& s, std::string& log, std::string& screen) {
        PdCase c(s);
        c.openlog();
        c.go();
        flushfiles(c.ts.ses);
        log = c.dir.read("qv-log.txt");
        screen = c.screen();
        return c.points;
    };
    std::string log;
    std::string screen;
    const std::vector<PdCase::Point> first = run(script, log, screen);
    ASSERT_EQ(first.size(), 1u) << screen;
    std::string block;
    real ca = 0;
    for (const std::string& line : lines(log)) {
        if (line.rfind("xyzguess", 0) != 0) continue;
        block += line + "\n";
        std::istringstream in(line);
        std::string key;
        std::string name;
        std::string value;
        in >> key >> name >> value;
        if (name == "ca(pl)") ca = number(value);
    }
    ASSERT_NE(block.find("xyzguess z(g)"), std::string::npos) << log;
    EXPECT_LT(ca, 1);
    EXPECT_ABS_NEAR(ca, first[0].x[4], 1e-15L);

    std::string pasted = script;
    pasted.insert(pasted.rfind("*\n"), block);
    const std::vector<PdCase::Point> second = run(pasted, log, screen);
    ASSERT_EQ(second.size(), 1u) << screen;
    EXPECT_EQ(screen.find("inconsistent starting guesses"), std::string::npos);
    // The solve starts at the pasted garnet and ends where the first did.
    std::string start = std::string(17, ' ');
    addreal(4, false, 10, start, 12);
    addreal(3, false, 10, start, 700);
    addreal(4, true, 10, start, first[0].x[3]);
    EXPECT_NE(screen.find("\n" + start + "\n"), std::string::npos) << start << "\n" << screen;
    EXPECT_ABS_NEAR(second[0].x[3], first[0].x[3], 1e-7L);
    EXPECT_ABS_NEAR(second[0].x[4], first[0].x[4], 1e-15L);
}

TEST(LostOutput, EachReadsBackIntoItsOwnRun) {
    const struct {
        const char* name;
        std::function<void()> check;
    } cases[] = {
        {"moreprec lists of ten decimals", morepreclists},
        {"csv rows of six batch members", sixmembercsv},
        {"xyzguess block next to a bound", guessbynextbound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

}  // namespace
}  // namespace qv::test
