#include "numerics/dumps.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "textio/channels.hpp"

namespace qv {
namespace {

// Cells smaller than this are shown as zero.
constexpr real zerocell = 1e-10L;
constexpr int maxgroups = 10;  // column groups of a jacobian block
constexpr int labelwidth = 6;

bool iszero(real x) {
    return std::fabs(x) < zerocell;
}

// Writes the jacobian blocks; one object per call, sharing the layout of the columns.
struct JacobianDump {
    Session& ses;
    const JacobianLabels& lab;
    const eqmatrix& m;
    int decimals;
    bool expform;
    int32 channels;
    int width;                               // of a column
    std::vector<int> column{};               // column of m of each free variable, 0 for a fixed one
    std::vector<std::vector<int>> groups{};  // free composition variables, a line's worth each

    std::string& line() { return ses.ch.linebuffers[0]; }

    void layout() {
        const int nvars = lab.nxvars + lab.nmodevars;
        column.assign(static_cast<std::size_t>(nvars) + 1, 0);
        // The unknowns of the problem are the free variables only, so the jacobian has one
        // column per free variable, counted composition variables first.
        int free = 0;
        for (int j = 1; j <= nvars; ++j) {
            if (lab.xfree[j]) column[static_cast<std::size_t>(j)] = ++free;
        }
        const int perline = width > 0 ? std::max(1, 246 / width) : 1;
        std::vector<int> group;
        for (int j = 1; j <= lab.nxvars && static_cast<int>(groups.size()) < maxgroups; ++j) {
            if (lab.xfree[j]) group.push_back(j);
            if (static_cast<int>(group.size()) == perline || j == lab.nxvars) {
                groups.push_back(group);
                group.clear();
            }
        }
    }

    void writeline() { putstr(ses, 0, line(), 1, channels); }
    void emptyline() { putstr(ses, 0, "", 1, channels); }

    void header(const std::vector<int>& vars) {
        line().clear();
        addstr("", labelwidth, line());
        for (int j : vars) addstr(lab.xnames[j], width, line());
        writeline();
    }

    void cell(int r, int j) {
        const real x = m[r][column[static_cast<std::size_t>(j)]];
        if (iszero(x)) {
            addstr("-", width, line());
        } else {
            addreal(decimals, !expform, width, line(), x);
        }
    }

    // Rows of reactions (labelled by number) or of mass balances (labelled by component).
    void row(int r, const std::vector<int>& vars) {
        line().clear();
        if (r <= lab.nreac) {
            addgreal(-labelwidth, line(), r);
        } else {
            addstr(lab.compnames[r - lab.nreac], -labelwidth, line());
        }
        for (int j : vars) cell(r, j);
        writeline();
    }

    void reactionblock() {
        for (const auto& g : groups) {
            header(g);
            for (int r = 1; r <= lab.nreac; ++r) row(r, g);
        }
    }

    void massbalanceblock() {
        emptyline();
        for (const auto& g : groups) {
            header(g);
            for (int r = lab.nreac + 1; r <= lab.nequations; ++r) row(r, g);
        }
    }

    void modeblock() {
        emptyline();
        std::vector<int> modes;
        for (int j = lab.nxvars + 1; j <= lab.nxvars + lab.nmodevars; ++j) {
            if (lab.xfree[j]) modes.push_back(j);
        }
        header(modes);
        for (int r = lab.nreac + 1; r <= lab.nequations; ++r) row(r, modes);
    }
};

}  // namespace

void printmatrixlist(Session& ses, const eqmatrix& m, std::string_view title, int16 rows,
                     int16 cols) {
    std::string& line = ses.ch.linebuffers[0];
    putstr(ses, 1, "(* " + std::string(title) + " *)", 1, screensummarylogmask);
    line = "{{";
    for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= cols; ++j) {
            if (iszero(m[i][j])) {
                addstr("0", 9, line);
            } else {
                addreal(4, true, 9, line, m[i][j]);
            }
            if (j < cols) {
                addstr(",", 0, line);
            } else {
                addstr(i == rows ? "}}; " : "}, ", 0, line);
            }
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
        line = i < rows ? " {" : "";
    }
    line.clear();
    putstr(ses, 0, "", 1, screensummarylogmask);
}

void printmatrixlog(Session& ses, const JacobianLabels& labels, std::string_view title,
                    const eqmatrix& m, int16 mode, int16 decimals, bool expform, int32 channels) {
    JacobianDump dump{ses, labels, m, decimals, expform, channels, decimals + 9};
    dump.layout();
    putstr(ses, 1, title.substr(0, 22), 1, channels);
    if (mode < 1) dump.reactionblock();
    if (mode < 2) dump.massbalanceblock();
    if (mode < 3) dump.modeblock();
}

}  // namespace qv
