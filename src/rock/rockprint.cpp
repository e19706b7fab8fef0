#include "rock/rockprint.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "rock/avlsq.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real tzero = 273.15L;  // K at 0 degrees C
constexpr int16 blocksize = 14;  // end-members per block of the activity table
constexpr real nosd = 1e-8L;     // sd put in place of a variance of 0 or less

bool fluidem(const RockData& d, int16 k) {
    return k == d.h2oem || k == d.co2em;
}

// The fluid's x(H2O) or x(CO2) stands for the activity of the fluid end-members.
real shownactivity(const RockCalc& rc, int16 k) {
    if (k == rc.data.co2em) return rc.set.xco2cur;
    if (k == rc.data.h2oem) return rc.set.xh2ocur;
    return rc.data.activity[k];
}

// One row of a Transpose[{...}] list for the drawing program; the last row closes the list and
// leaves a blank line.
void puttransposerow(Session& ses, const std::string& line, bool last) {
    if (last) {
        putstr(ses, 0, line + "}}];", 2, vxmask);
    } else {
        putstr(ses, 0, line + "},", 1, vxmask);
    }
}

// A matrix of rows x cols entries for the drawing program, one row a line after `opening`;
// `add` appends entry (i, j) to the row's line.
template <class Add>
void putmathmatrix(Session& ses, const char* opening, int16 rows, int16 cols, Add add) {
    putstr(ses, 0, opening, 1, vxmask);
    for (int16 i = 1; i <= rows; ++i) {
        std::string line = "  {";
        for (int16 j = 1; j <= cols; ++j) {
            if (j > 1) line += ", ";
            add(line, i, j);
        }
        putstr(ses, 0, line + (i < rows ? "}," : "}};"), 1, vxmask);
    }
}

// ln K of each reaction with the fluid's terms.
void fluidlnk(const RockCalc& rc, reacvector& lnk) {
    const RockData& d = rc.data;
    const real x = rc.set.xco2cur;
    const real y = rc.set.xh2ocur;
    for (int16 i = 1; i <= d.nreac; ++i) {
        lnk[i] = d.rxnlna[i];
        if (d.co2em > 0 && x > 0 && x < 1 && d.r[i][d.co2em] != 0) {
            lnk[i] += d.r[i][d.co2em] * std::log(x);
        }
        if (d.h2oem > 0 && y > 0 && y < 1 && d.r[i][d.h2oem] != 0) {
            lnk[i] += d.r[i][d.h2oem] * std::log(y);
        }
    }
}

real sdordefault(Session& ses, const char* what, int16 i, real var) {
    if (var > 0) return std::sqrt(var);
    ses.console.write(std::string(what) + "(" + realstr(i) + ")  " + realfixstr(6, false, var) +
                      "\n");
    return nosd;
}

void printmatrix(RockCalc& rc, const char* title, const covmatrix& m, const reacvector& sd) {
    const int16 n = rc.data.nreac;
    putstr(rc.ses, 1, title, 2, screensummarylogmask);
    for (int16 i = 1; i <= n; ++i) {
        std::string line;
        for (int16 j = 1; j <= n; ++j) addreal(4, true, 9, line, m[i][j] / (sd[i] * sd[j]));
        putstr(rc.ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace

void printavptdata(RockCalc& rc) {
    Session& ses = rc.ses;
    const RockData& d = rc.data;
    const RockSettings& s = rc.set;
    const int16 n = d.nreac;
    const bool avt = s.avcalctype == avtype::avtmode;
    rc.rx.setlnavar();
    std::string line = "Activities and uncertainties at ";
    if (!s.runtitle.empty()) line = "Activities and uncertainties for " + s.runtitle + " at ";
    addreal(2, true, 0, line, s.pcur);
    line += " kbar and T = " + realstr(s.tcur - tzero) +
            " \xA1"
            "C";
    putstr(ses, 1, line, 1, screensummarylogmask);
    int16 nblocks = d.nem / blocksize;
    if (nblocks * blocksize < d.nem) ++nblocks;
    for (int16 b = 1; b <= nblocks; ++b) {
        const int16 first = narrow16((b - 1) * blocksize + 1);
        const int16 last = b == nblocks ? d.nem : narrow16(b * blocksize);
        std::string names;
        std::string acts;
        std::string sds;
        addstr("", 10, names);
        addstr("a", -10, acts);
        addstr("sd(a)/a", -10, sds);
        for (int16 k = first; k <= last; ++k) {
            if (d.excluded[k]) continue;
            addstr(d.emnames[k], 10, names);
            addreal(4, true, 10, acts, shownactivity(rc, k));
            if (fluidem(d, k)) {
                addstr(" ", 10, sds);
            } else {
                addreal(5, true, 10, sds, std::sqrt(d.emvarlna[k]));
            }
        }
        putstr(ses, 0, names, 1, screensummarylogmask);
        putstr(ses, 0, acts, 1, screensummarylogmask);
        putstr(ses, 0, sds, 1, screensummarylogmask);
    }
    rc.rx.calcrxnlna();
    covmatrix covh{};
    covmatrix covlnk{};
    calcreactioncov(d, s.justrelu, covh, covlnk);
    reacvector lnk{};
    fluidlnk(rc, lnk);
    reacvector sdh{};
    reacvector sdk{};
    for (int16 i = 1; i <= n; ++i) {
        sdh[i] = sdordefault(ses, "covh", i, covh[i][i]);
        sdk[i] = sdordefault(ses, "covlnk", i, covlnk[i][i]);
    }
    reacvector a{};
    reacvector bb{};
    reacvector c{};
    reacvector wh{};
    reacvector wk{};
    for (int16 i = 1; i <= n; ++i) {
        if (avt) {
            const Roots rt = rc.rx.findrxnt(i, s.pcur, s.xco2cur, s.xh2ocur);
            bb[i] = rt.dgdt1;
            c[i] = rt.dgdp1;
            a[i] = -bb[i] * rt.x1 - c[i] * s.pcur;
            wh[i] = bb[i] != 0 ? -1 / bb[i] : 0;
            wk[i] = wh[i] * rgas * rt.x1;
        } else {
            const Roots rt = rc.rx.findrxnp(i, s.tcur, s.xco2cur, s.xh2ocur);
            bb[i] = rt.dgdt1;
            c[i] = rt.dgdp1;
            a[i] = -bb[i] * s.tcur - c[i] * rt.x1;
            wh[i] = c[i] != 0 ? -1 / c[i] : 0;
            wk[i] = wh[i] * rgas * s.tcur;
        }
    }
    covmatrix vm{};
    reacvector sdx{};
    for (int16 i = 1; i <= n; ++i) {
        for (int16 j = 1; j <= n; ++j) {
            const real h = s.justrelu ? 0 : wh[i] * covh[i][j] * wh[j];
            vm[i][j] = h + wk[i] * covlnk[i][j] * wk[j];
        }
    }
    for (int16 i = 1; i <= n; ++i) sdx[i] = std::sqrt(vm[i][i]);
    putstr(ses, 1,
           d.incompleteset ? "\xA5\xA5INCOMPLETE\xA5\xA5 independent set of reactions"
                           : "Independent set of reactions",
           1, screensummarylogmask);
    for (int16 i = 1; i <= n; ++i) putstr(ses, 0, rc.rx.reactiontext(i), 1, screensummarylogmask);
    line = "Calculations for the set of reactions";
    if (avt) {
        line += " at P = ";
        addreal(1, true, 0, line, s.pcur);
        line += " kbar";
    } else {
        line += " at T = " + realstr(s.tcur - tzero) +
                "\xA1"
                "C ";
    }
    line += s.fluidtext;
    putstr(ses, 1, line, 1, screensummarylogmask);
    line.clear();
    addstr("", 4, line);
    addstr(avt ? "T" : "P", 9, line);
    addstr(avt ? "sd(T)" : "sd(P)", 9, line);
    addstr("a", 11, line);
    addstr("sd(a)", 9, line);
    addstr("b", 11, line);
    addstr("c", 10, line);
    addstr("ln_K", 10, line);
    addstr("sd(ln_K)", 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    for (int16 i = 1; i <= n; ++i) {
        line.clear();
        addstr(realstr(i), -4, line);
        if (avt) {
            const Roots rt = rc.rx.findrxnt(i, s.pcur, s.xco2cur, s.xh2ocur);
            if (inrange(rc.win, findtype::findt, rt.x1)) {
                addreal(1, true, 9, line, rt.x1 - tzero);
                addreal(1, true, 9, line, sdx[i]);
            } else {
                addstr("", 18, line);
            }
        } else {
            const Roots rt = rc.rx.findrxnp(i, s.tcur, s.xco2cur, s.xh2ocur);
            if (inrange(rc.win, findtype::findp, rt.x1)) {
                addreal(2, true, 9, line, rt.x1);
                addreal(2, true, 9, line, sdx[i]);
            } else {
                addstr("", 18, line);
            }
        }
        addreal(3, true, 11, line, a[i]);
        addreal(3, true, 9, line, sdh[i]);
        addreal(6, true, 11, line, bb[i]);
        addreal(4, true, 10, line, c[i]);
        addreal(4, true, 10, line, lnk[i]);
        addreal(4, true, 10, line, sdk[i]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    if (!s.printcor && s.debuglevel <= 1) return;
    if (!s.justrelu) printmatrix(rc, "Correlation matrix: enthalpy of reaction", covh, sdh);
    printmatrix(rc, "Correlation matrix: ln K", covlnk, sdk);
    printmatrix(rc,
                avt ? "Correlation matrix:  calculated temperatures"
                    : "Correlation matrix:  calculated pressures",
                vm, sdx);
}

void printavptmath(RockCalc& rc) {
    Session& ses = rc.ses;
    const RockData& d = rc.data;
    const RockSettings& s = rc.set;
    const int16 n = d.nreac;
    rc.rx.setlnavar();
    covmatrix covh{};
    covmatrix covlnk{};
    calcreactioncov(d, s.justrelu, covh, covlnk);
    reacvector lnk{};
    fluidlnk(rc, lnk);
    putstr(ses, 2, "{name, lna, sdlna} = Transpose[{", 1, vxmask);
    for (int16 k = 1; k <= d.nem; ++k) {
        std::string line = "  {";
        addstr(d.emnames[k], 6, line);
        line += ", ";
        addreal(6, true, 10, line, std::log(shownactivity(rc, k)));
        line += ", ";
        addreal(6, true, 10, line, fluidem(d, k) ? 0 : std::sqrt(d.emvarlna[k]));
        puttransposerow(ses, line, k == d.nem);
    }
    putmathmatrix(ses, "r = {", n, d.nem,
                  [&](std::string& line, int16 i, int16 k) { addgreal(3, line, d.r[i][k]); });
    putstr(ses, 1, "{a, b, c, lnK, sdlnK} = Transpose[{", 1, vxmask);
    for (int16 i = 1; i <= n; ++i) {
        const ReactionDg g = rc.rx.calcdgr(i, s.pcur, s.tcur, s.xco2cur, s.xh2ocur);
        std::string line = "  {";
        addreal(2, true, 7, line, g.dg - g.dgdt * s.tcur - g.dgdp * s.pcur);
        line += ", ";
        addreal(5, true, 9, line, g.dgdt - rgas * lnk[i]);
        line += ", ";
        addreal(3, true, 8, line, g.dgdp);
        line += ", ";
        addreal(4, true, 9, line, lnk[i]);
        line += ", ";
        addreal(4, true, 9, line, sqrtclamped(covlnk[i][i]));
        puttransposerow(ses, line, i == n);
    }
    putmathmatrix(ses, "covh = {", n, n, [&](std::string& line, int16 i, int16 j) {
        addreal(4, true, 10, line, covh[i][j]);
    });
}

}  // namespace qv
