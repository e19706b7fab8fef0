#include "model/statetable.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "textio/channels.hpp"

namespace qv {

namespace {

constexpr int wblock = 15;  // interaction terms per block of columns
const std::string blanks5(5, ' ');
const std::string blanks10(10, ' ');

void put(Session& ses, const std::string& line) {
    putstr(ses, 0, line, 1, screensummarylogmask);
}

void wterms(Session& ses, const ptype1& ph) {
    bool anyb = false;
    bool anyc = false;
    for (int w = 1; w <= ph.ngterm; ++w) {
        anyb = anyb || std::fabs(ph.wb[ph.gterm[w].term]) > 1e-6L;
        anyc = anyc || std::fabs(ph.wc[ph.gterm[w].term]) > 1e-4L;
    }
    const int nblocks = (ph.ngterm + wblock - 1) / wblock;
    for (int blk = 0; blk < nblocks; ++blk) {
        const int first = blk * wblock + 1;
        const int last = std::min<int>(ph.ngterm, first + wblock - 1);
        std::string names = blk == 0 ? "  W  " : blanks5;
        std::string a = blanks5;
        std::string b = blanks5;
        std::string c = blanks5;
        for (int w = first; w <= last; ++w) {
            const gtermtype& g = ph.gterm[w];
            addstr(ph.em[g.i].name + "-" + ph.em[g.j].name, 10, names);
            addreal(3, true, 10, a, ph.wa[g.term]);
            const real bw = ph.wb[g.term];
            if (std::fabs(bw) >= 1e-6L) {
                addreal(3, true, 10, b, bw);
            } else {
                addstr(blanks10, 0, b);
            }
            const real cw = ph.wc[g.term];
            if (std::fabs(cw) >= 1e-4L) {
                addreal(2, true, 10, c, cw);
            } else {
                addstr(blanks10, 0, c);
            }
        }
        put(ses, names);
        put(ses, a);
        if (anyb) put(ses, b);
        if (anyc) put(ses, c);
    }
}

// The make definitions of the phase's made end-members, separated by ";  ".
std::string makedefinitions(const ptype1& ph) {
    std::string s;
    bool first = true;
    for (int m = 1; m <= ph.nem; ++m) {
        const ssemtype& em = ph.em[m];
        if (em.nmake <= 0) continue;
        if (!first) s += ";  ";
        first = false;
        s += em.name + " = ";
        for (int t = 1; t <= em.nmake; ++t) {
            if (t > 1) addstr(" + ", 0, s);
            addgreal(0, s, em.makecoef[t]);
            if (em.makeden > 1) {
                addstr("/", 0, s);
                addgreal(0, s, em.makeden);
            }
            addstr(" ", 0, s);
            addstr(em.makenames[t], 0, s);
        }
    }
    return s;
}

void dqfvaried(Session& ses, const ptype1& ph) {
    bool anyflag = false;
    bool anys = false;
    bool anyv = false;
    for (int m = 1; m <= ph.nem; ++m) {
        const Fixed1<bool, 3>& f = ph.em[m].dqfvaried;
        anyflag = anyflag || f[1] || f[2] || f[3];
        anys = anys || f[2];
        anyv = anyv || f[3];
    }
    if (!anyflag) return;
    auto flagged = [&](int m) {
        const Fixed1<bool, 3>& f = ph.em[m].dqfvaried;
        return f[1] || f[2] || f[3];
    };
    std::string names = blanks5;
    std::string h = "  H  ";
    std::string s = "  S  ";
    std::string v = "  V  ";
    for (int m = 1; m <= ph.nem; ++m) {
        if (!flagged(m)) continue;
        const ssemtype& em = ph.em[m];
        addstr(em.name, 10, names);
        addreal(2, true, 10, h, em.td[1]);
        if (em.dqfvaried[2]) {
            addreal(4, true, 10, s, em.td[2]);
        } else {
            addstr(blanks10, 0, s);
        }
        if (em.dqfvaried[3]) {
            addreal(4, true, 10, v, em.td[3]);
        } else {
            addstr(blanks10, 0, v);
        }
    }
    addstr("      ", 0, names);
    addstr(makedefinitions(ph), 0, names);
    put(ses, names);
    put(ses, h);
    if (anys) put(ses, s);
    if (anyv) put(ses, v);
}

}  // namespace

void printaxstate(Session& ses, const ptype1& ph) {
    std::string head = ph.name;
    addstr(" ", 5 - static_cast<int>(ph.name.size()), head);
    addstr(std::string(40, '-'), 0, head);
    put(ses, head);
    if (ph.nem == 1) {
        put(ses, "        just " + ph.em[1].name);
        return;
    }
    std::string names = "  var";
    std::string values = blanks5;
    for (int v = 1; v <= ph.nvar; ++v) {
        addstr(ph.var[v].name, 10, names);
        addreal(3, false, 10, values, ph.var[v].guess);
    }
    put(ses, names);
    put(ses, values);
    if (ph.model != axtype::ideal) wterms(ses, ph);
    if (ph.model == axtype::vanlaar) {
        std::string an = "  ";
        std::string av = "  ";
        for (int m = 1; m <= ph.nem; ++m) {
            addstr("a(" + ph.em[m].name + ")", 10, an);
            addreal(2, true, 10, av, ph.alphaa[m]);
        }
        put(ses, an);
        put(ses, av);
    }
    dqfvaried(ses, ph);
}

}  // namespace qv
