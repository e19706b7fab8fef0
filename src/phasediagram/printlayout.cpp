#include "phasediagram/printlayout.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "textio/channels.hpp"

namespace qv {

bool resulttabletoowide(int16 nlna, int16 nxvars, int16 pagewidth) {
    return (nlna + nxvars) * 10 + 2 > pagewidth;
}

std::vector<ColumnBlock> resultblocks(int16 nlna, int16 nxvars, int16 pagewidth) {
    std::vector<ColumnBlock> blocks;
    if (!resulttabletoowide(nlna, nxvars, pagewidth)) {
        blocks.push_back({3, nxvars});
        return blocks;
    }
    // The first line starts with P, T (18 characters) and the ln a columns; later lines with an
    // 18-character indent. Integer division truncates toward zero as the layout wants.
    const int firstroom = (pagewidth - 20 - 10 * nlna) / 10;
    const int laterroom = (pagewidth - 20) / 10;
    int first = 3;
    int last = first + (firstroom > 0 ? firstroom : 0) - 1;
    if (last > nxvars) last = nxvars;
    blocks.push_back({narrow16(first), narrow16(last)});
    while (last < nxvars) {
        first = last + 1;
        last = first + laterroom - 1;
        if (last > nxvars) last = nxvars;
        blocks.push_back({narrow16(first), narrow16(last)});
    }
    return blocks;
}

bool activityrowtoowide(int16 nem, int16 pagewidth) {
    return pagewidth < (nem + 2) * 12 + 2;
}

std::vector<ColumnBlock> activityblocks(int16 nem, int16 pagewidth) {
    std::vector<ColumnBlock> blocks;
    if (!activityrowtoowide(nem, pagewidth)) {
        blocks.push_back({1, nem});
        return blocks;
    }
    int n = (pagewidth - 20) / 12;
    if (n < 1) n = 1;
    int last = 0;
    for (int b = 1; b <= nem / n; ++b) {
        blocks.push_back({narrow16(last + 1), narrow16(last + n)});
        last += n;
    }
    if (last < nem) blocks.push_back({narrow16(last + 1), nem});
    return blocks;
}

std::string tempcheading() {
    return "T(\xA1"
           "C)";
}

std::string_view rule60() {
    return "% ----------------------------------------------------------";
}

std::string_view rule31() {
    return "% -----------------------------";
}

void addamount(int width, std::string& line, real x, real tol) {
    if (std::fabs(x - std::round(x)) < tol) {
        addgreal(width, line, x);
    } else {
        addreal(6, true, width, line, x);
    }
}

}  // namespace qv
