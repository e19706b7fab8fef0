#include "rock/mineralxyz.hpp"

#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

void printmineralxyz(Session& ses, const mineraltype& m) {
    const int nx = m.nxyz;
    std::string line;
    addstr(m.name, -4, line);
    addstr(" ", 0, line);
    addstr(!m.analysisgiven ? "" : m.idealon ? "ideal" : "recalc", 6, line);
    addstr("xyz", 10, line);
    addstr("sd(xyz)", 10, line);
    addstr("", 4, line);
    if (nx > 1) addstr("correlations", 0, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    for (int j = 1; j <= nx; ++j) {
        line.clear();
        addstr(m.xyznames[j], 11, line);
        if (m.xyzundefined[j]) {
            addstr("*", 10, line);
            addstr("*", 10, line);
        } else {
            addreal(5, true, 10, line, m.xyz[j]);
            addreal(5, true, 10, line, m.sdxyz[j]);
        }
        if (nx > 1) {
            addstr("1", 8 * (j - 1) + 5, line);
            for (int l = j + 1; l <= nx; ++l) addreal(4, true, 8, line, m.cor[j][l]);
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
