#include "model/dataset.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/fatal.hpp"
#include "model/components.hpp"
#include "model/run.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/prefs.hpp"

namespace qv {
namespace {

// The dataset file read as its layout asks: whole lines of words for the name lines,
// and numbers one after another across line ends for the data, with "the rest of this line"
// skipped explicitly. A value that is not a number, or a file that ends early, stops the run.
class DsReader {
public:
    explicit DsReader(InFile& f) : f_(f) {}

    void rewind() {
        f_.rewind();
        midline_ = false;
    }

    // The rest of the current line (a whole line at a line start), as raw text.
    bool textline(std::string& out) {
        if (midline_) {
            out = line_.substr(pos_);
            midline_ = false;
            return true;
        }
        return f_.readline(out);
    }

    void wordsline(strings& words, int16& n, std::string_view context) {
        std::string text;
        if (!textline(text)) endoffile(context);
        string2strings(text, static_cast<int>(text.size()), words, n);
    }

    void skiplines(int count, std::string_view context) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (!textline(text)) endoffile(context);
        }
    }

    // Like `skiplines`, but an end of file is not an error (the lines before the title).
    void skiplinequiet() {
        std::string text;
        textline(text);
    }

    void skiprest() { midline_ = false; }

    real value(std::string_view context) {
        const std::string_view w = token(context);
        real x = 0;
        bool read = false;
        const valuetype t = whatisreal(w, x, read);
        if ((t != valuetype::aninteger && t != valuetype::areal) || !read) {
            bomb("readthermo",
                 "expecting a number; got: " + std::string(w) + " - " + std::string(context),
                 yourfault);
        }
        return x;
    }

    int16 integer(std::string_view context) {
        const std::string_view w = token(context);
        int16 i = 0;
        std::string msg;
        if (whatis(w) != valuetype::aninteger || !str2int(w, i, msg)) {
            bomb("readthermo",
                 "expecting an integer; got: " + std::string(w) + " - " + std::string(context),
                 yourfault);
        }
        return i;
    }

private:
    // The next word, valid until the next read.
    std::string_view token(std::string_view context) {
        for (;;) {
            if (!midline_) {
                if (!f_.readline(line_)) endoffile(context);
                pos_ = 0;
                midline_ = true;
            }
            while (pos_ < line_.size() && isblankchar(line_[pos_])) ++pos_;
            if (pos_ < line_.size()) break;
            midline_ = false;
        }
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !isblankchar(line_[pos_])) ++pos_;
        return std::string_view(line_).substr(start, pos_ - start);
    }

    [[noreturn]] static void endoffile(std::string_view context) {
        bomb("readthermo", "unexpected end of file - " + std::string(context), yourfault);
    }

    InFile& f_;
    std::string line_;
    std::size_t pos_ = 0;
    bool midline_ = false;
};

// `readthermo` with its nested procedures, which share the cross reference between the run's
// end-members and the dataset's records.
struct ThermoReader {
    Session& ses;
    Run& run;
    Dataset& ds;
    DsReader in;

    Fixed1<int16, maxem> dspos{};
    Fixed1<bool, maxdsem> dsneeded{};
    Fixed1<int16, maxdsem> dscount{};
    Fixed1<Fixed1<int16, maxshare>, maxdsem> dsrunem{};

    ThermoReader(Session& s, Run& r) : ses(s), run(r), ds(r.dataset), in(r.dataset.file) {}

    bool newlayout() const { return ds.dsmode == 6 || ds.dsmode == 7; }
    int recordlines() const { return newlayout() ? 5 : (ds.dsmode == 5 ? 4 : 2); }

    void setuptextread();
    void makep();
    void skipheader();
    void readnameline(int16 e, int pass, strings& words, int16& n, int16& npairs);
    void thermocompread();
    void texthermoread();
    void readhcov();
    void checkcorrelations(const std::vector<real>& read) const;
};

void ThermoReader::setuptextread() {
    ds.dssuffix = datasetsuffix(ses.prefs);
    std::string filename;
    promptdatafile(ses, filename, "qv-", ds.dssuffix, "thermo dataset", ds.file);
    ds.dsfilename = str22(filename);
    in.rewind();

    const char sixth = ds.dsfilename.size() >= 6 ? ds.dsfilename[5] : ' ';
    if (sixth == '6' || sixth == '7') {
        ds.newspfluid = true;
    } else if (sixth == '5') {
        ds.newspfluid = false;
    } else {
        bomb("setuptextread", "bad dsfile name", yourfault);
    }

    strings words;
    int16 n = 0;
    in.wordsline(words, n, "first line");
    if (n < 10) bomb("setuptextread", "first line of dsfile incorrectly formed 0", yourfault);
    if (whatis(words[1]) != valuetype::aninteger) {
        bomb("setuptextread", "first line of dsfile incorrectly formed 1", yourfault);
    }
    const int16 first = getinteger(whatis(words[1]), words[1], "ntp?");
    ds.ds190 = first == 190;
    if (first < 51) {
        ds.dsmode = first;
        if (ds.dsmode != 6 && ds.dsmode != 7)
            bomb("setuptextread", "dsmode <> 6 or 7??", yourfault);
        if (whatis(words[2]) != valuetype::aninteger) {
            bomb("setuptextread", "first line of dsfile incorrectly formed 4", yourfault);
        }
        ds.ndsem = getinteger(whatis(words[2]), words[2], "ntp");
        if (words[3] != "don't") {
            bomb("setuptextread", "first line of dsfile incorrectly formed 2b", yourfault);
        }
    } else {
        ds.dsmode = ds.ds190 ? int16{-1} : int16{5};
        ds.ndsem = first;
        if (words[2] != "don't") {
            bomb("setuptextread", "first line of dsfile incorrectly formed 2a", yourfault);
        }
    }
    if (ds.ndsem > maxdsem) bomb("setuptextread", "too many end-members", yourfault);

    in.wordsline(words, n, "second line");
    if (n > 0) bomb("readthermo", "expecting a blank line", yourfault);
    in.wordsline(words, n, "third line");
    if (n == 0) bomb("readthermo", "not expecting blank line", yourfault);
    if (ds.dsmode == -1) {
        in.wordsline(words, n, "fourth line");
        if (n < 10) bomb("readthermo", "insufficient info on 2nd line", yourfault);
    } else if (ds.dsmode == 5) {
        in.skiplines(1, "fourth line");
    }
    if (run.setup.calibration && ds.dsmode < 5) {
        bomb("thermo read", "old lsqds not implemented", yourfault);
    }

    skipheader();
    for (int i = 1; i <= ds.ndsem; ++i) {
        in.wordsline(words, n, "end-member records");
        ds.dsnames[i] = words[1];
        ds.dstexts[i] = newlayout() ? words[2] : std::string();
        in.skiplines(recordlines() - 1, "end-member records");
    }

    const long nvalues = long{ds.ndsem} * (ds.ndsem + 1) / 2 + 1;
    for (long v = 0; v < nvalues; ++v) in.value("covariance");
    in.skiprest();
    in.skiplinequiet();
    std::string title;
    if (!in.textline(title)) title.clear();
    title = title.substr(0, maxtextlength);
    const std::size_t cut = ds.ds190 ? 25 : 18;
    if (title.size() >= cut) title.resize(title.size() - cut);
    ds.dstitle = title;

    ses.console.write("\n" + ds.dstitle + "\n\n");
}

void ThermoReader::skipheader() {
    in.rewind();
    in.skiplines(ds.dsmode == 5 ? 3 : 2, "header");
}

void ThermoReader::makep() {
    if (!ds.file.is_open()) bomb("readthermo", "dataset file not open", myfault);
    for (int e = 1; e <= ds.nem; ++e) {
        int16 pos = 0;
        if (!findemname(ds, ds.emnames[e], pos)) {
            bomb("makep", "stuff up : unrecognised name : " + ds.emnames[e], yourfault);
        }
        dspos[e] = pos;
    }
    for (int i = 1; i <= ds.ndsem; ++i) {
        dsneeded[i] = false;
        dscount[i] = 0;
        dsrunem[i][1] = 0;
    }
    for (int16 e = 1; e <= ds.nem; ++e) {
        const int16 i = dspos[e];
        if (dscount[i] == maxshare) {
            bomb("readthermo", "too many run end-members for " + ds.dsnames[i] + maxtext(maxshare),
                 yourfault);
        }
        dsneeded[i] = true;
        ++dscount[i];
        dsrunem[i][dscount[i]] = e;
    }
}

// The name line of a needed record: site multiplicity and composition pairs of run end-member
// e; the words and the number of pairs are left for the layout -1 data that follow them.
void ThermoReader::readnameline(int16 e, int pass, strings& words, int16& n, int16& npairs) {
    in.wordsline(words, n, "end-member records");
    const int k = newlayout() ? 3 : 2;
    ds.nsite[e] = getinteger(whatis(words[k]), words[k], "nsite");
    checkinput(ds.nsite[e] >= 0, "readthermo", "site multiplicity of " + words[1], ds.nsite[e],
               "must not be negative", ds.dsfilename);
    CompositionPairs& p = ds.comp[e];
    int16 m = 0;
    real sum = 0;
    const char* ell = pass == 2 ? "ell 1" : "ell 2";
    for (;;) {
        const int at = k + 1 + 2 * m;
        // A line without its closing 0 runs out of words, and getinteger stops on the empty word.
        const std::string w = at <= maxwords ? words[at] : std::string();
        const int16 x = getinteger(whatis(w), w, ell);
        if (x == 0) break;
        if (x < 0 || x > nelements) {
            bomb("readthermo", "bad element index " + w + " in the composition of " + words[1],
                 yourfault);
        }
        if (m == maxpairs) {
            bomb("readthermo", "too many composition pairs for " + words[1] + maxtext(maxpairs),
                 yourfault);
        }
        ++m;
        p.compel[m] = x;
        p.compamt[m] = getsingle(whatis(words[at + 1]), words[at + 1], "oxno");
        sum += p.compamt[m];
    }
    p.ncompel = m;
    p.compsum = sum;
    npairs = m;
}

void ThermoReader::thermocompread() {
    skipheader();
    strings words;
    int16 n = 0;
    int16 npairs = 0;
    for (int i = 1; i <= ds.ndsem; ++i) {
        if (!dsneeded[i]) {
            in.skiplines(recordlines(), "end-member records");
            continue;
        }
        const int16 e = dsrunem[i][1];
        readnameline(e, 2, words, n, npairs);
        for (int s = 2; s <= dscount[i]; ++s) {
            const int16 other = dsrunem[i][s];
            ds.nsite[other] = ds.nsite[e];
            ds.comp[other] = ds.comp[e];
        }
        in.skiplines(recordlines() - 1, "end-member records");
    }
}

void ThermoReader::texthermoread() {
    tdmatrix& td = *run.arrays.td;
    for (int e = 1; e <= maxem; ++e) td[e].fill(0.0L);
    skipheader();
    strings words;
    int16 n = 0;
    int16 m = 0;
    for (int i = 1; i <= ds.ndsem; ++i) {
        if (!dsneeded[i]) {
            in.skiplines(recordlines(), "end-member records");
            continue;
        }
        const int16 e = dsrunem[i][1];
        readnameline(e, 3, words, n, m);
        const std::string name = words[1];
        const std::string context = "data of " + name;
        tdvector& row = td[e];
        const bool melt = !trim(name).empty() && trim(name).back() == 'L';
        const int16 code = newlayout() ? in.integer(context) : int16{0};
        const bool special = ds.dsmode == 7 && code >= 3 && code <= 5;

        if (ds.dsmode == -1) {
            const int k = 2;
            for (int j = 0; j < 3; ++j) {
                const int at = k + 2 * m + 2 + j;
                const std::string w = at <= maxwords ? words[at] : std::string();
                static const char* const hsv[3] = {"H", "S", "V"};
                row[1 + j] = getsingle(whatis(w), w, hsv[j]);
            }
            for (int j = 4; j <= 12; ++j) row[j] = in.value(context);
            row[13] = row[12];
            row[12] = row[11];
            row[11] = row[10];
            row[10] = 0;
        } else if (ds.dsmode == 5) {
            for (int j = 1; j <= 11; ++j) row[j] = in.value(context);
        } else if (special) {
            for (int j = 1; j <= 6; ++j) row[j] = in.value(context);
            for (int j = 8; j <= 11; ++j) row[j] = in.value(context);
            // K0'' of this variant must be the regular -K0'/K0; a non-positive K0 has no such
            // value to compare with.
            if (row[9] > 0 && std::fabs(row[11] + row[10] / row[9]) > 1e-5L) {
                bomb("texthermoread", "k0pp not regularised?", yourfault);
            }
        } else {
            for (int j = 1; j <= 10; ++j) row[j] = in.value(context);
            row[11] = row[9] > 0 ? -row[10] / row[9] : 0.0L;
        }

        if (ds.dsmode != -1) {
            if (melt) {
                row[12] = 0;
                row[13] = in.value(context);
            } else {
                row[13] = 0;
                if (special) {
                    row[12] = row[6];
                    row[6] = 0;
                    row[7] = 0;
                } else {
                    const real compsum = ds.comp[e].compsum;
                    // Einstein temperature from the entropy per atom (empirical fit).
                    row[12] = compsum == 0
                                  ? 0.0L
                                  : std::nearbyint(10636.0L / (6.44L + 1000.0L * row[2] / compsum));
                }
                if (row[12] < 10) row[12] = 10;
            }
        }

        row[14] = 0;
        row[15] = -1;
        row[16] = -1;
        row[17] = 0;
        for (int j = 20; j <= 24; ++j) row[j] = 0;
        row[25] = 1;

        enum class Extra { none, landau, braggwilliams, one };
        Extra extra = Extra::none;
        int16 kind = 0;
        if (newlayout()) {
            if (code == 1 || code == 4) extra = Extra::landau;
            if (code == 2 || code == 5) extra = Extra::braggwilliams;
            if (code == 8) extra = Extra::one;
        } else {
            kind = in.integer(context);
            if (kind == 1) extra = Extra::landau;
            if (kind == 2) extra = Extra::braggwilliams;
            if (kind == -1) extra = Extra::one;
        }
        switch (extra) {
            case Extra::landau:
                for (int j = 14; j <= 16; ++j) row[j] = in.value(context);
                break;
            case Extra::braggwilliams:
                for (int j = 20; j <= 25; ++j) row[j] = in.value(context);
                break;
            case Extra::one:
                row[17] = in.value(context);
                if (row[17] != 0) row[17] = row[17] - 298.15L * row[5];
                break;
            case Extra::none: break;
        }

        if (newlayout()) {
            row[31] = code;
        } else if (melt) {
            row[31] = 7;
        } else if (kind == -1) {
            row[31] = 8;
        } else if (row[3] == 0) {
            row[31] = 6;
        } else {
            row[31] = kind;
        }

        for (int s = 2; s <= dscount[i]; ++s) {
            const int16 other = dsrunem[i][s];
            ds.nsite[other] = ds.nsite[e];
            ds.comp[other] = ds.comp[e];
            td[other] = row;
        }
        in.skiprest();
        if (newlayout()) in.skiplines(1, "end-member records");
    }
}

void ThermoReader::readhcov() {
    emmatrix& cov = *run.arrays.cov;
    ds.hcovscale = in.value("covariance");
    // The upper triangle as read, row by row, for the check of the correlations.
    std::vector<real> read;
    read.reserve(static_cast<std::size_t>(ds.ndsem) * static_cast<std::size_t>(ds.ndsem + 1) / 2);
    for (int i = 1; i <= ds.ndsem; ++i) {
        for (int j = i; j <= ds.ndsem; ++j) {
            // The covariances are held at single precision.
            const real value = in.value("covariance");
            checkinput(std::fabs(value) <= std::numeric_limits<float>::max(), "readthermo",
                       "covariance of H", value, "beyond the range of the covariances",
                       ds.dsfilename);
            const auto v = static_cast<real>(static_cast<float>(value));
            read.push_back(v);
            checkinput(i != j || v >= 0, "readthermo", "variance of H of " + ds.dsnames[i], v,
                       "must not be negative", ds.dsfilename);
            if (!dsneeded[i] || !dsneeded[j]) continue;
            for (int a = 1; a <= dscount[i]; ++a) {
                for (int b = 1; b <= dscount[j]; ++b) {
                    const int16 p = dsrunem[i][a];
                    const int16 q = dsrunem[j][b];
                    cov[p][q] = v;
                    cov[q][p] = v;
                }
            }
        }
    }
    checkcorrelations(read);
    ds.file.close();
}

// Every correlation of two enthalpies lies in [-1, 1], within the rounding of the covariances
// to the 4 decimals a dataset is written with; one outside makes the variance of a reaction
// negative.
void ThermoReader::checkcorrelations(const std::vector<real>& read) const {
    const int n = ds.ndsem;
    // The position of row i in the upper triangle read row by row.
    auto at = [n](int i, int j) {
        const auto r = static_cast<std::size_t>(i - 1);
        return r * static_cast<std::size_t>(n) - r * (r - 1) / 2 + static_cast<std::size_t>(j - i);
    };
    constexpr real rounding = 0.00005L;
    for (int i = 1; i < n; ++i) {
        const real vi = read[at(i, i)];
        for (int j = i + 1; j <= n; ++j) {
            const real c = read[at(i, j)];
            const real vj = read[at(j, j)];
            if (std::fabs(c) <= std::sqrt((vi + rounding) * (vj + rounding)) + rounding) continue;
            const std::string pair = ds.dsnames[i] + " and " + ds.dsnames[j];
            if (vi > 0 && vj > 0) {
                checkinput(false, "readthermo", "correlation of the H of " + pair,
                           c / std::sqrt(vi * vj), "must lie between -1 and 1", ds.dsfilename);
            }
            checkinput(false, "readthermo", "covariance of the H of " + pair, c,
                       "needs the variances of both to be above 0", ds.dsfilename);
        }
    }
}

}  // namespace

bool findemname(const Dataset& ds, std::string_view name, int16& index) {
    index = 0;
    const std::string want = str22(name);
    for (int16 i = 1; i <= ds.ndsem; ++i) {
        if (ds.dsnames[i] == want) {
            index = i;
            return true;
        }
    }
    return false;
}

void readthermo(Session& ses, Run& run, int pass) {
    ThermoReader reader(ses, run);
    if (pass == 1) {
        reader.setuptextread();
    } else if (pass == 2) {
        reader.makep();
        reader.thermocompread();
        makeoxides(run);
    } else {
        reader.makep();
        reader.texthermoread();
        reader.readhcov();
    }
}

}  // namespace qv
