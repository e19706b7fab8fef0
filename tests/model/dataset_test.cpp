#include "model/dataset.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using Names = std::vector<std::string>;

const char* const header6 = "6  3    don't fiddle with the numbers: you'll BREAK the dataset...\n";
const char* const title = "qv-ds6x.txt produced at 12.00 on Mon 1 Jan,2024 (sigfit =  1.000)\n";

// Three end-members of round numbers: a plain one (aa), a melt with Landau values (bbL) and
// one of type code 8 with a non-positive bulk modulus (cc); then the scale and the six values
// of the covariance triangle spread over lines as a writer might.
std::string layout6(
    const std::string& cc_name_line = "cc     C   1  7   1.0000 10   3.0000 12   1.0000  0\n",
    const std::string& aa_values = "         0.0000100   1000.00     4.00\n") {
    return std::string(header6) + "  \n" +
           "aa     AB   1  1   1.0000 10   2.0000  0 ff\n"
           "    0   -100.000   0.04000   2.0000\n"
           "         0.1000    0.00001   -100.0   -1.0000\n" +
           aa_values +
           "\n"
           "bbL    B   2  5   1.0000  3   2.0000 10   4.0000  0\n"
           "    1   -200.000   0.05000   3.0000\n"
           "         0.2000    0.00002   -200.0   -2.0000\n"
           "         0.0000200   500.00     5.00   0.5   800   0.00500    0.0100\n"
           "\n" +
           cc_name_line +
           "    8   -300.000   0.06000   1.0000\n"
           "         0.3000    0.00003   -300.0   -3.0000\n"
           "         0.0000300  -1.00     6.00     10.0\n"
           "\n"
           "\n"
           "  1.0\n"
           "  9 2 3\n"
           "  4 5\n"
           "  7\n"
           "\n" +
           title;
}

// A dataset of the older layouts, which need at least 51 end-members (190 for layout -1): the
// given records, then plain fillers, a covariance triangle of zeros and a title.
std::string oldlayout(int ntp, const std::vector<std::string>& records, const std::string& filler,
                      const std::string& titleline) {
    std::string s =
        std::to_string(ntp) + " don't fiddle with the numbers: you'll BREAK the dataset...\n \n";
    if (ntp != 190) s += "5\n";
    for (const auto& r : records) s += r;
    for (int i = static_cast<int>(records.size()) + 1; i <= ntp; ++i) {
        std::string f = filler;
        f.replace(f.find('#'), 1, std::to_string(i));
        s += f;
    }
    const long nvalues = long{ntp} * (ntp + 1) / 2 + 1;
    for (long v = 1; v <= nvalues; ++v) s += (v % 20 == 0 && v < nvalues) ? "0\n" : "0 ";
    s += "\n\n" + titleline + "\n";
    return s;
}

// A run in a fresh folder with the arrays the dataset reader fills.
struct DatasetRun {
    test::TempDir dir;
    test::TestSession ts;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    Dataset& ds = run.dataset;

    DatasetRun() {
        run.arrays.c = std::make_unique<icmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.td = std::make_unique<tdmatrix>();
        fillcomponenttable(run.comps);
    }
    void file(const std::string& word, const std::string& text) {
        dir.write("qv-ds" + word + ".txt", text);
        ts.ses.prefs.dsfilesuffix = word;
    }
    void choose(const Names& names) {
        for (std::size_t i = 0; i < names.size(); ++i)
            ds.emnames[static_cast<int>(i) + 1] = names[i];
        ds.nem = static_cast<int16>(names.size());
    }
    void readall(const Names& names) {
        readthermo(ts.ses, run, 1);
        choose(names);
        readthermo(ts.ses, run, 2);
        readthermo(ts.ses, run, 3);
    }
    const tdvector& td(int e) const { return (*run.arrays.td)[e]; }
    real cov(int i, int j) const { return (*run.arrays.cov)[i][j]; }
};

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    s.replace(s.find(from), from.size(), to);
    return s;
}

long double num(const std::string& w) {
    return std::strtold(w.c_str(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The shared dataset (layout 6, 29 end-members), checked against a reading of its own

// An independent reading of a layout-6 file with the standard library's number parser: each
// record's 31 values as the reader must leave them, and the covariance triangle.
struct Reference {
    Names names;
    std::vector<std::vector<long double>> td;  // 1-based entries, 32 slots
    std::vector<std::vector<long double>> cov;

    explicit Reference(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        int ntp = 0;
        std::istringstream(line) >> ntp >> ntp;
        std::getline(in, line);
        for (int i = 0; i < ntp; ++i) {
            std::getline(in, line);
            std::istringstream w(line);
            std::string name, formula, word;
            int nsite = 0;
            w >> name >> formula >> nsite;
            long double sum = 0;
            for (;;) {
                w >> word;
                if (word == "0") break;
                w >> word;
                sum += num(word);
            }
            std::string block;
            for (int k = 0; k < 4; ++k) {
                std::getline(in, line);
                block += line + " ";
            }
            std::istringstream v(block);
            std::vector<long double> row(32, 0.0L);
            int code = 0;
            v >> code;
            for (int j = 1; j <= 10; ++j) {
                v >> word;
                row[static_cast<std::size_t>(j)] = num(word);
            }
            row[11] = row[9] > 0 ? -row[10] / row[9] : 0;
            row[12] = sum == 0 ? 0 : std::nearbyint(10636.0L / (6.44L + 1000.0L * row[2] / sum));
            if (row[12] < 10) row[12] = 10;
            row[15] = row[16] = -1;
            row[25] = 1;
            const int first = code == 1 ? 14 : code == 2 ? 20 : 0;
            const int count = code == 1 ? 3 : code == 2 ? 6 : 0;
            for (int j = first; j < first + count; ++j) {
                v >> word;
                row[static_cast<std::size_t>(j)] = num(word);
            }
            row[31] = code;
            names.push_back(name);
            td.push_back(row);
        }
        cov.assign(static_cast<std::size_t>(ntp),
                   std::vector<long double>(static_cast<std::size_t>(ntp)));
        std::string word;
        in >> word;  // the scale
        for (int i = 0; i < ntp; ++i) {
            for (int j = i; j < ntp; ++j) {
                in >> word;
                const auto v = static_cast<long double>(static_cast<float>(num(word)));
                cov[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = v;
                cov[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = v;
            }
        }
    }
};

TEST(Dataset, SharedFileReadsQuietlyWithEveryValue) {
    const std::string path = std::string(QV_TEST_DATA) + "/qv-ds62.txt";
    const Reference ref(path);
    ASSERT_EQ(ref.names.size(), 29u);

    DatasetRun d;
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    d.file("62", text.str());
    // The word may carry its own "ds" without doubling it.
    d.ts.ses.prefs.dsfilesuffix = "ds62";
    // Read in reverse order, so that run and file numbering differ.
    Names run(ref.names.rbegin(), ref.names.rend());
    d.readall(run);

    EXPECT_EQ(d.ts.console.output, "\nqv-ds62.txt produced at 12.00 on Mon 1 Jan,2024\n\n");
    EXPECT_EQ(d.ds.dsfilename, "qv-ds62.txt");
    EXPECT_EQ(d.ds.dsmode, 6);
    EXPECT_FALSE(d.ds.ds190);
    EXPECT_TRUE(d.ds.newspfluid);
    EXPECT_EQ(d.ds.ndsem, 29);
    EXPECT_EQ(d.ds.dsnames[1], "q");
    EXPECT_EQ(d.ds.dstexts[3], "Al2SiO5");
    EXPECT_EQ(d.ds.hcovscale, 0.0129L);
    EXPECT_FALSE(d.ds.file.is_open());

    const int n = 29;
    for (int e = 1; e <= n; ++e) {
        const auto& want = ref.td[static_cast<std::size_t>(n - e)];
        for (int j = 1; j <= ntd; ++j) {
            SCOPED_TRACE(run[static_cast<std::size_t>(e - 1)] + " entry " + std::to_string(j));
            EXPECT_REL_NEAR(d.td(e)[j], want[static_cast<std::size_t>(j)], 1e-18L);
        }
        for (int f = 1; f <= n; ++f) {
            EXPECT_EQ(d.cov(e, f),
                      ref.cov[static_cast<std::size_t>(n - e)][static_cast<std::size_t>(n - f)]);
        }
    }
    // Spot values by hand: quartz, Einstein temperature 10636 / (6.44 + 41.43 / 3) = 525.2.
    EXPECT_EQ(d.td(29)[12], 525.0L);
    EXPECT_EQ(d.td(29)[14], 847.0L);
    EXPECT_REL_NEAR(d.td(29)[11], -6.0L / 730.0L, 1e-18L);
    EXPECT_EQ(d.ds.nsite[29], 1);
    EXPECT_EQ(d.ds.comp[29].compsum, 3.0L);
}

// ---------------------------------------------------------------------------------------------
// Layouts

TEST(Dataset, Layout6RecordsAndDerivedEntries) {
    DatasetRun d;
    d.file("6x", layout6());
    d.readall({"cc", "aa", "bbL", "aa"});

    EXPECT_EQ(d.ts.console.output, "\nqv-ds6x.txt produced at 12.00 on Mon 1 Jan,2024\n\n");
    EXPECT_EQ(d.ds.dstexts[1], "AB");

    // aa: theta = 10636 / (6.44 + 1000 x 0.04 / 3) = 537.9 -> 538; K0'' = -4 / 1000.
    const tdvector& aa = d.td(2);
    EXPECT_REL_NEAR(aa[1], -100.0L, 1e-18L);
    EXPECT_EQ(aa[9], 1000.0L);
    EXPECT_REL_NEAR(aa[11], -0.004L, 1e-18L);
    EXPECT_EQ(aa[12], 538.0L);
    EXPECT_EQ(aa[13], 0.0L);
    EXPECT_EQ(aa[15], -1.0L);
    EXPECT_EQ(aa[25], 1.0L);
    EXPECT_EQ(aa[31], 0.0L);
    // The second run end-member of the same name gets the same record and covariances.
    for (int j = 1; j <= ntd; ++j) EXPECT_EQ(d.td(4)[j], aa[j]);
    EXPECT_EQ(d.ds.nsite[4], 1);
    EXPECT_EQ(d.ds.comp[4].compsum, 3.0L);

    // bbL, a melt: theta 0, its extra value in entry 13, then the Landau values.
    const tdvector& bb = d.td(3);
    EXPECT_EQ(bb[12], 0.0L);
    EXPECT_EQ(bb[13], 0.5L);
    EXPECT_EQ(bb[14], 800.0L);
    EXPECT_EQ(bb[15], 0.005L);
    EXPECT_EQ(bb[16], 0.01L);
    EXPECT_EQ(bb[31], 1.0L);
    EXPECT_EQ(d.ds.nsite[3], 2);

    // cc: K0 <= 0 leaves K0'' at 0; the code-8 value less 298.15 b.
    const tdvector& cc = d.td(1);
    EXPECT_EQ(cc[11], 0.0L);
    EXPECT_EQ(cc[12], 577.0L);  // 10636 / (6.44 + 60 / 5)
    EXPECT_REL_NEAR(cc[17], 10.0L - 298.15L * 0.00003L, 1e-18L);
    EXPECT_EQ(cc[31], 8.0L);

    // Covariances: (cc, aa) is file pair (1, 3) = 3; (aa, aa) = 1 for both copies.
    EXPECT_EQ(d.cov(1, 2), 3.0L);
    EXPECT_EQ(d.cov(2, 1), 3.0L);
    EXPECT_EQ(d.cov(2, 4), 9.0L);
    EXPECT_EQ(d.cov(3, 1), 5.0L);
    EXPECT_EQ(d.cov(1, 1), 7.0L);
    EXPECT_EQ(d.ds.hcovscale, 1.0L);
}

TEST(Dataset, Layout7SpecialCodes) {
    const std::string base =
        std::string("7  2    don't fiddle with the numbers: you'll BREAK the dataset...\n") +
        "\n"
        "dd     D   1  1   1.0000 10   2.0000  0\n"
        "    4   -100.000   0.04000   2.0000\n"
        "         0.5000    0.0000100    400.0\n"
        "         0.0000100   1000.00     4.00  -0.00400   800   0.00500    0.0100\n"
        "\n"
        "ee     E   1  1   1.0000 10   2.0000  0\n"
        "    5   -100.000   0.04000   2.0000\n"
        "         0.5000    0.0000100    400.0\n"
        "         0.0000100   0.00     4.00  K0PP   1 2 3 4 5 6\n"
        "\n"
        " 1.0 4 2 3\n"
        "\n"
        "a title of 17 chr\n";
    std::string ok = base;
    ok.replace(ok.find("K0PP"), 4, "-0.00400");
    {
        DatasetRun d;
        d.file("7a", ok);
        d.readall({"dd", "ee"});
        EXPECT_EQ(d.ds.dsmode, 7);
        EXPECT_EQ(d.ds.dstitle, "a title of 17 chr");  // shorter than 18: kept whole
        const tdvector& dd = d.td(1);
        EXPECT_EQ(dd[4], 0.5L);
        EXPECT_EQ(dd[5], 0.00001L);
        EXPECT_EQ(dd[6], 0.0L);
        EXPECT_EQ(dd[7], 0.0L);
        EXPECT_EQ(dd[12], 400.0L);  // theta as read
        EXPECT_EQ(dd[9], 1000.0L);
        EXPECT_EQ(dd[11], -0.004L);  // K0'' as read
        EXPECT_EQ(dd[14], 800.0L);
        EXPECT_EQ(dd[31], 4.0L);
        // K0 = 0: no regularity test; the Bragg-Williams values follow.
        const tdvector& ee = d.td(2);
        EXPECT_EQ(ee[20], 1.0L);
        EXPECT_EQ(ee[25], 6.0L);
        EXPECT_EQ(ee[31], 5.0L);
    }
    // In layout 6 the same codes are ordinary records: ten data values, K0'' and theta derived,
    // then the Landau (4) or Bragg-Williams (5) values.
    {
        DatasetRun d;
        d.file("6a", replaced(ok, "7  2", "6  2"));
        d.readall({"dd", "ee"});
        EXPECT_EQ(d.ds.dsmode, 6);
        const tdvector& dd = d.td(1);
        EXPECT_EQ(dd[6], 400.0L);
        EXPECT_EQ(dd[7], 0.00001L);
        EXPECT_EQ(dd[9], 4.0L);
        EXPECT_REL_NEAR(dd[11], 0.001L, 1e-18L);
        EXPECT_EQ(dd[12], 538.0L);
        EXPECT_EQ(dd[14], 800.0L);
        EXPECT_EQ(dd[31], 4.0L);
        EXPECT_EQ(d.td(2)[25], 6.0L);
    }
    // With K0 > 0, K0'' must be -K0'/K0.
    std::string bad = base;
    bad.replace(bad.find("K0PP"), 4, "-0.00400");
    bad.replace(bad.find("   0.00     4.00"), 16, " 100.00     4.00");
    DatasetRun d;
    d.file("7b", bad);
    readthermo(d.ts.ses, d.run, 1);
    d.choose({"ee"});
    readthermo(d.ts.ses, d.run, 2);
    EXPECT_BOMB(readthermo(d.ts.ses, d.run, 3), "texthermoread", "k0pp not regularised?");
}

TEST(Dataset, Layout5ReadsOldRecordsAndDerivesCodes) {
    const std::vector<std::string> records = {
        "      aa   1  1   1.0000 10   2.0000  0\n -100.0 0.04 2.0\n 0.1 0.00001 -100.0 -1.0\n"
        " 0.00001 1000.0 4.0 -0.005 0\n",
        "      bb   1  1   1.0000  0\n -100.0 0.04 0.0\n 0.1 0.00001 -100.0 -1.0\n"
        " 0.00001 1000.0 4.0 -0.005 0\n",
        "      cc   1  1   1.0000  0\n -100.0 0.04 2.0\n 0.1 0.00001 -100.0 -1.0\n"
        " 0.00001 1000.0 4.0 -0.005 -1 10.0\n",
        "     ddL   1  1   1.0000  0\n -100.0 0.04 2.0\n 0.1 0.00001 -100.0 -1.0\n"
        " 0.00001 1000.0 4.0 -0.005 0.7 1 800 0.005 0.01\n",
        "      ee   1  1   1.0000  0\n -100.0 0.04 2.0\n 0.1 0.00001 -100.0 -1.0\n"
        " 0.00001 1000.0 4.0 -0.005 2 1 2 3 4 5 6\n",
    };
    DatasetRun d;
    d.file("55", oldlayout(51, records,
                           "   f#  1  1  1.0  0\n -1.0 0.01 1.0\n 0.1 0 0 0\n 0 1.0 4.0 -4.0 0\n",
                           "short title"));
    d.readall({"aa", "bb", "cc", "ddL", "ee", "f51"});
    EXPECT_EQ(d.ds.dsmode, 5);
    EXPECT_FALSE(d.ds.newspfluid);
    EXPECT_EQ(d.ds.ndsem, 51);
    EXPECT_EQ(d.ds.dstexts[1], "");
    EXPECT_EQ(d.ds.dstitle, "short title");

    EXPECT_EQ(d.td(1)[11], -0.005L);  // K0'' as read
    EXPECT_EQ(d.td(1)[12], 538.0L);
    EXPECT_EQ(d.td(1)[31], 0.0L);
    EXPECT_EQ(d.td(2)[31], 6.0L);  // V = 0
    EXPECT_EQ(d.td(3)[31], 8.0L);  // one extra value
    EXPECT_REL_NEAR(d.td(3)[17], 10.0L - 298.15L * 0.00001L, 1e-18L);
    EXPECT_EQ(d.td(4)[31], 7.0L);  // melt
    EXPECT_EQ(d.td(4)[13], 0.7L);
    EXPECT_EQ(d.td(4)[14], 800.0L);
    EXPECT_EQ(d.td(5)[31], 2.0L);
    EXPECT_EQ(d.td(5)[24], 5.0L);
    EXPECT_EQ(d.td(6)[9], 1.0L);
}

TEST(Dataset, Layout190ShiftsItsValues) {
    const std::vector<std::string> records = {
        "aa  1  1 1.0 10 2.0 0 -100.0 0.04 2.0\n"
        "0.1 0.00001 -100.0 -1.0 0.00001 1000.0 -0.004 7.0 0.3 0\n",
        "bbL  1  1 1.0 0 -100.0 0.04 2.0\n0.1 0.00001 0 0 0 1.0 0 0 0.5 1 800 0.005 0.01\n",
        "cc  1  1 1.0 0 -100.0 0.04 0\n0.1 0.00001 0 0 0 1.0 0 0 0 -1 10.0\n",
    };
    const std::string title190 = "the 190 data of long ago (sigfit = 1.0) 12345";
    DatasetRun d;
    d.file("6old", oldlayout(190, records, "f#  1  1 1.0 0 -1.0 0.01 1.0\n0 0 0 0 0 1.0 0 0 0 0\n",
                             title190));
    d.readall({"aa", "bbL", "cc"});
    EXPECT_EQ(d.ds.dsmode, -1);
    EXPECT_TRUE(d.ds.ds190);
    EXPECT_EQ(d.ds.dstitle, title190.substr(0, title190.size() - 25));
    const tdvector& aa = d.td(1);
    EXPECT_EQ(aa[1], -100.0L);
    EXPECT_EQ(aa[3], 2.0L);
    EXPECT_EQ(aa[9], 1000.0L);
    EXPECT_EQ(aa[10], 0.0L);
    EXPECT_EQ(aa[11], -0.004L);
    EXPECT_EQ(aa[12], 7.0L);
    EXPECT_EQ(aa[13], 0.3L);
    EXPECT_EQ(aa[31], 0.0L);
    // The codes are derived: a melt is 7 (with Landau values), one extra value 8 even at V = 0.
    EXPECT_EQ(d.td(2)[13], 0.5L);
    EXPECT_EQ(d.td(2)[14], 800.0L);
    EXPECT_EQ(d.td(2)[31], 7.0L);
    EXPECT_REL_NEAR(d.td(3)[17], 10.0L - 298.15L * 0.00001L, 1e-18L);
    EXPECT_EQ(d.td(3)[31], 8.0L);
}

TEST(Dataset, Layout7SpecialMeltKeepsItsSixthValue) {
    // A melt of code 3: the sixth value stays in entry 6 instead of becoming theta, which is 0;
    // the melt value follows K0''.
    DatasetRun d;
    d.file("7m",
           std::string("7  1    don't fiddle with the numbers: you'll BREAK the dataset...\n") +
               "\n"
               "ggL    G   1  1   1.0000  0\n"
               "    3   -100.000   0.04000   2.0000\n"
               "         0.5000    0.0000100    400.0\n"
               "         0.0000100   1000.00     4.00  -0.00400   0.9\n"
               "\n"
               " 1.0 2\n"
               "\n"
               "a title of 17 chr\n");
    d.readall({"ggL"});
    const tdvector& gg = d.td(1);
    EXPECT_EQ(gg[4], 0.5L);
    EXPECT_EQ(gg[5], 0.00001L);
    EXPECT_EQ(gg[6], 400.0L);
    EXPECT_EQ(gg[7], 0.0L);
    EXPECT_EQ(gg[11], -0.004L);
    EXPECT_EQ(gg[12], 0.0L);
    EXPECT_REL_NEAR(gg[13], 0.9L, 1e-18L);
    EXPECT_EQ(gg[31], 3.0L);
    EXPECT_EQ(d.cov(1, 1), 2.0L);
}

// ---------------------------------------------------------------------------------------------
// Failures

struct FailCase {
    std::string word;  // dataset word
    std::string text;  // file contents ("" for no file)
    std::string proc, msg;
};

TEST(Dataset, MalformedFilesStopInPassOne) {
    const std::string good = layout6();
    const std::string cut = good.substr(0, good.find("  4 5"));
    const std::vector<FailCase> cases = {
        {"x1", good, "setuptextread", "bad dsfile name"},
        {"6x", "6 3 don't fiddle with the numbers\n\n", "setuptextread",
         "first line of dsfile incorrectly formed 0"},
        {"6x", replaced(good, "6  3", "six 3"), "setuptextread",
         "first line of dsfile incorrectly formed 1"},
        {"6x", replaced(good, "6  3", "8  3"), "setuptextread", "dsmode <> 6 or 7??"},
        {"6x", replaced(good, "6  3", "6  x"), "setuptextread",
         "first line of dsfile incorrectly formed 4"},
        {"6x", replaced(good, "don't", "dont"), "setuptextread",
         "first line of dsfile incorrectly formed 2b"},
        {"6x", replaced(good, "6  3    don't", "60 do"), "setuptextread",
         "first line of dsfile incorrectly formed 2a"},
        {"6x", replaced(good, "6  3", "6  321"), "setuptextread", "too many end-members"},
        {"6x", replaced(good, "  \naa", " 5\naa"), "readthermo", "expecting a blank line"},
        {"6x", replaced(good, "  \naa", "  \n\naa"), "readthermo", "not expecting blank line"},
        {"6x", cut, "readthermo", "unexpected end of file - covariance"},
        {"6x", good.substr(0, good.find("cc ")), "readthermo",
         "unexpected end of file - end-member records"},
        {"6x", replaced(good, "  4 5", "  4 x5"), "readthermo",
         "expecting a number; got: x5 - covariance"},
        {"6x", replaced(good, "  4 5", "  4 1e99999"), "readthermo",
         "expecting a number; got: 1e99999 - covariance"},
    };
    for (const auto& c : cases) {
        DatasetRun d;
        d.file(c.word, c.text);
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 1), c.proc, c.msg);
    }
}

TEST(Dataset, MissingFileAndOldLayoutChecks) {
    {
        DatasetRun d;
        d.ts.ses.prefs.dsfilesuffix = "62";
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 1), "promptdatafile", "datafile needed");
        EXPECT_NE(d.ts.console.output.find("cannot locate file \"qv-ds62.txt\""),
                  std::string::npos);
    }
    const std::vector<std::string> records = {
        "aa  1  1 1.0 0 -100.0 0.04 2.0\n0.1 0 0 0 0 1.0 0 0 0\n"};
    const std::string filler = "f#  1  1 1.0 0 -1.0 0.01 1.0\n0 0 0 0 0 1.0 0 0 0 0\n";
    {
        DatasetRun d;  // the line after the first name line holds only 9 words
        d.file("6old", oldlayout(190, records, filler, "t"));
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 1), "readthermo", "insufficient info on 2nd line");
    }
    {
        DatasetRun d;
        d.file("6old", oldlayout(190, {}, filler, "t"));
        d.run.setup.calibration = true;
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 1), "thermo read", "old lsqds not implemented");
    }
}

// Values out of range or out of sense, refused where the later passes read them.
TEST(Dataset, NumbersOutOfSenseStopNamingTheFile) {
    const std::string good = layout6();
    const FailCase cases[] = {
        {"6x", replaced(good, "aa     AB   1", "aa     AB  -1"), "readthermo",
         "site multiplicity of aa = -1 in \"qv-ds6x.txt\": must not be negative"},
        {"6x", replaced(good, "  4 5", "  4 1e4000"), "readthermo",
         "expecting a number; got: 1e4000 - covariance"},
        // covariances are held at single precision
        {"6x", replaced(good, "  4 5", "  4 1e70"), "readthermo",
         "covariance of H = 1.00000e+70 in \"qv-ds6x.txt\": beyond the range of the covariances"},
        {"6x", replaced(good, "  4 5", " -4 5"), "readthermo",
         "variance of H of bbL = -4 in \"qv-ds6x.txt\": must not be negative"},
        // a correlation outside [-1, 1] beyond the rounding of the written covariances
        {"6x", replaced(good, "  4 5", "  4 40.14"), "readthermo",
         "correlation of the H of bbL and cc = 7.58575 in \"qv-ds6x.txt\": must lie between -1 "
         "and 1"},
        {"6x", replaced(good, "  4 5\n  7", "  4 5\n  0"), "readthermo",
         "covariance of the H of aa and cc = 3 in \"qv-ds6x.txt\": needs the variances of both "
         "to be above 0"},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.msg);
        DatasetRun d;
        d.file(c.word, c.text);
        const auto later = [&d] {
            readthermo(d.ts.ses, d.run, 1);
            d.choose({"aa", "bbL"});
            readthermo(d.ts.ses, d.run, 2);
            readthermo(d.ts.ses, d.run, 3);
        };
        EXPECT_BOMB(later(), c.proc, c.msg);
    }
}

TEST(Dataset, BadRecordsStopInTheLaterPasses) {
    const std::string nine = "cc     C   1  7 1.0 10 3.0 12 1.0 1 1 3 1 4 1 5 1 6 1 8 1  0\n";
    const std::vector<std::pair<std::string, FailCase>> cases = {
        {"cc", {"6x", layout6(nine), "readthermo", "too many composition pairs for cc (max = 8) "}},
        {"cc",
         {"6x", layout6("cc     C   1  7 1.0 -10 3.0  0\n"), "readthermo",
          "bad element index -10 in the composition of cc"}},
        {"cc",
         {"6x", layout6("cc     C   1  27 1.0  0\n"), "readthermo",
          "bad element index 27 in the composition of cc"}},
        {"cc",
         {"6x", layout6("cc     C   1  7 1.0\n"), "getinteger",
          "expecting an integer (1); got:  - ell 1"}},
        {"zz", {"6x", layout6(), "makep", "stuff up : unrecognised name : zz"}},
    };
    for (const auto& [name, c] : cases) {
        DatasetRun d;
        d.file(c.word, c.text);
        readthermo(d.ts.ses, d.run, 1);
        d.choose({name});
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 2), c.proc, c.msg);
    }
    {
        DatasetRun d;
        d.file("6x", layout6());
        readthermo(d.ts.ses, d.run, 1);
        d.choose({"aa", "aa", "aa", "aa", "aa"});
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 2), "readthermo",
                    "too many run end-members for aa (max = 4) ");
    }
    {
        DatasetRun d;
        d.file("6x", layout6(std::string("cc     C   1  7   1.0000 10   3.0000 12   1.0000  0\n"),
                             "         0.0000100   1OOO.00     4.00\n"));
        readthermo(d.ts.ses, d.run, 1);
        d.choose({"aa"});
        readthermo(d.ts.ses, d.run, 2);
        EXPECT_BOMB(readthermo(d.ts.ses, d.run, 3), "readthermo",
                    "expecting a number; got: 1OOO.00 - data of aa");
    }
}

TEST(Dataset, CountBelowOneLeavesAnEmptyDataset) {
    // No records: the covariance block is the scale alone, then the title.
    DatasetRun d;
    d.file("6x", replaced(header6, "6  3", "6  -1") + "\n 1.0\n\n" + title);
    readthermo(d.ts.ses, d.run, 1);
    EXPECT_EQ(d.ds.ndsem, -1);
    EXPECT_EQ(d.ds.dstitle, "qv-ds6x.txt produced at 12.00 on Mon 1 Jan,2024");
}

TEST(Dataset, TitleOfEighteenCharactersBecomesEmpty) {
    DatasetRun d;
    d.file("6x", replaced(layout6(), title, "eighteen character\n"));
    readthermo(d.ts.ses, d.run, 1);
    EXPECT_EQ(d.ds.dstitle, "");
    EXPECT_EQ(d.ts.console.output, "\n\n\n");
}

}  // namespace
}  // namespace qv
