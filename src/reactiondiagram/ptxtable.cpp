#include "reactiondiagram/ptxtable.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real present = 1e10L;

// Printed decimals of a window value as the width of the table columns needs them.
int16 calcwidth(const DiagramState& ds, const Windows& w) {
    int a = 0;
    if (ds.calcvariable == calcvariabletype::calcpressure) {
        a = w.pformat - 3;
    } else {
        a = w.tformat - 2 + (w.tformat != 0 ? 1 : 0);
    }
    int b = 0;
    switch (ds.othervariable) {
        case othervariabletype::fixedpressure: b = w.pformat - 3; break;
        case othervariabletype::fixedtemperature:
            b = w.tformat - 2 + (w.tformat != 0 ? 1 : 0);
            break;
        case othervariabletype::fixedmolefractionCO2: b = w.xformat - 2; break;
        case othervariabletype::fixedlnactivity: b = w.lnaformat; break;
        case othervariabletype::fixedchemicalpotential: b = w.muformat + 2; break;
    }
    return narrow16(7 + std::max(a, b));
}

std::string celsius(real t) {
    return realstr(t - 273.15L);
}

// The reference grid point at which the uncertainties of the lines are wanted.
int16 referencepoint(Diagram& d, int16 n) {
    real target = 0;
    switch (d.ds.othervariable) {
        case othervariabletype::fixedpressure: target = d.dr.pcur; break;
        case othervariabletype::fixedtemperature: target = d.dr.tcur; break;
        default:
            if (n == 1) return 1;
            target = gridvalue(d.ds, d.dr, narrow16(n / 2), "ptxtable");
            break;
    }
    for (int16 k = 1; k <= n; ++k) {
        if (gridvalue(d.ds, d.dr, k, "ptxtable") >= target) return k;
    }
    return n;
}

// Appends a value of the calculated variable through its window writer.
void writecalc(const Diagram& d, int w, std::string& line, real v) {
    if (d.ds.calcvariable == calcvariabletype::calctemperature) {
        writetwin(d.dr.w, w, line, v - 273.15L);
    } else {
        writepwin(d.dr.w, w, line, v);
    }
}

void thermodynamicstable(Diagram& d) {
    DiagramRun& dr = d.dr;
    const real t = dr.tcur;
    const real p = dr.pcur;
    const real u = dr.xco2cur;
    const real v = dr.xh2ocur;
    std::string line = "linearised at T = " + celsius(t) + ", P = " + realfixstr(1, true, p);
    if (dr.co2emno > 0 && u > 0) {
        line += ", x(CO2) = " + realfixstr(3, true, u);
        if (dr.h2oemno > 0 && v > 0 && std::fabs(u + v - 1) > 0.001L) {
            line += ", x(H2O) = " + realfixstr(3, true, v);
        }
    } else if (dr.h2oemno > 0 && v > 0) {
        line += ", x(H2O) = " + realfixstr(3, true, v);
    }
    putstr(d.ses, 1, "Thermodynamics of reactions (0 = a + bT + cP + RT ln K)", 1,
           screensummarylogmask);
    putstr(d.ses, 0, line, 1, screensummarylogmask);
    putstr(d.ses, 0, "(a, b and c includes fluid fugacities; ln K includes x(CO2), x(H2O))", 2,
           screensummarylogmask);
    line = "    ";
    addstr("a", 10, line);
    addstr("sd(a)", 8, line);
    addstr("b", 11, line);
    addstr("c", 11, line);
    addstr("ln_K", 9, line);
    addstr("sd(ln_K)", 9, line);
    putstr(d.ses, 0, line, 1, screensummarylogmask);
    diagramlnavar(d.ds, dr);
    for (int16 i = 1; i <= dr.nreac; ++i) {
        const iemvector& nu = dr.r[i];
        real vara = 0;
        real varlnk = 0;
        real lnk = 0;
        for (int16 j = 1; j <= dr.nem; ++j) {
            if (nu[j] == 0) continue;
            for (int16 k = 1; k <= dr.nem; ++k) {
                if (nu[k] != 0) vara += nu[j] * dr.cov[j][k] * nu[k];
            }
            varlnk += static_cast<real>(nu[j]) * nu[j] * d.ds.lnavar[j];
            lnk += nu[j] * std::log(dr.emact[j]);
        }
        if (dr.co2emno > 0 && u > 0 && u < 1 && nu[dr.co2emno] != 0) {
            lnk += nu[dr.co2emno] * std::log(u);
        }
        if (dr.h2oemno > 0 && v > 0 && v < 1 && nu[dr.h2oemno] != 0) {
            lnk += nu[dr.h2oemno] * std::log(v);
        }
        const ReactionDg g = d.lines.dgr(i, p, t, u, v);
        const real a = g.dg - t * g.dgdt - p * g.dgdp;
        const real b = g.dgdt - rgas * lnk;
        line.clear();
        addgreal(-4, line, i);
        addreal(3, true, 10, line, a);
        addreal(2, true, 8, line, vara > 0 ? std::sqrt(vara) : vara);
        addreal(6, true, 11, line, b);
        addreal(5, true, 11, line, g.dgdp);
        addreal(3, true, 9, line, lnk);
        addreal(3, true, 9, line, varlnk > 0 ? std::sqrt(varlnk) : varlnk);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
}

// The heading of the line tables and the place of their uncertainties.
void lineheading(Diagram& d, real low, real high) {
    const DiagramRun& dr = d.dr;
    const std::string& title = dr.script.runtitle;
    std::string line;
    if (d.ds.calcvariable == calcvariabletype::calctemperature) {
        line = title.empty() ? "Temperatures" : "Temperatures for " + title;
        line += " in the range " + celsius(low) + " <-> " + celsius(high) +
                "\xA1"
                "C;  ";
    } else {
        line = title.empty() ? "Prsessures" : "Pressures for " + title;
        line += " in the range " + realfixstr(1, true, low) + " <-> " + realfixstr(1, true, high) +
                "kbar;  ";
    }
    switch (d.ds.mode) {
        case diagramtype::ptcalc: line += dr.fluidlabeltext; break;
        case diagramtype::pxcalc:
        case diagramtype::plnacalc:
        case diagramtype::pmucalc:
            line += "for T = " + celsius(dr.tcur) +
                    "\xA1"
                    "C";
            break;
        case diagramtype::txcalc:
        case diagramtype::tlnacalc:
        case diagramtype::tmucalc:
            line += "for P = " + realfixstr(1, true, dr.pcur) + " kbar";
            break;
    }
    putstr(d.ses, 1, line, 1, screensummarylogmask);

    const Windows& w = dr.w;
    const bool logs = dr.script.setlogacb == controlboolean::yes;
    line.clear();
    real m = 0;
    switch (d.ds.othervariable) {
        case othervariabletype::fixedpressure:
            line = "uncertainties at " + realfixstr(1, true, dr.pcur) + " kbars ";
            break;
        case othervariabletype::fixedtemperature:
            line = "uncertainties at " + celsius(dr.tcur) +
                   "\xA1"
                   "C ";
            break;
        case othervariabletype::fixedmolefractionCO2:
            line = "uncertainties at or near x(CO2) = ";
            m = (w.xwinlow + w.xwinhigh) / 2;
            addreal(ndecimals(m), true, 0, line, m);
            break;
        case othervariabletype::fixedlnactivity:
            line = logs ? "uncertainties at or near log a(" : "uncertainties at or near ln a(";
            line += dr.lnaname + ") ";
            m = (w.lnawinlow + w.lnawinhigh) / 2;
            addreal(ndecimals(m), true, 0, line, m);
            break;
        case othervariabletype::fixedchemicalpotential:
            line = "uncertainties at or near \xB5(" + dr.muname + ") ";
            m = (w.muwinlow + w.muwinhigh) / 2;
            addreal(ndecimals(m), true, 0, line, m);
            break;
    }
    putstr(d.ses, 0, line, 1, screensummarylogmask);
}

void columnheading(Diagram& d, const Fixed1<bool, maxgrid>& flag, int16 n, int w) {
    const bool pdiagram = d.ds.mode == diagramtype::pxcalc || d.ds.mode == diagramtype::plnacalc ||
                          d.ds.mode == diagramtype::pmucalc;
    const char* single = pdiagram ? "sdP" : "sdT";
    std::string line;
    bool both = false;
    switch (d.ds.othervariable) {
        case othervariabletype::fixedpressure:
            addstr(
                "T\xA1"
                "C",
                -6, line);
            both = true;
            break;
        case othervariabletype::fixedtemperature:
            addstr("P(kbar)", -6, line);
            both = true;
            break;
        case othervariabletype::fixedmolefractionCO2: addstr("x(CO2)", -6, line); break;
        case othervariabletype::fixedlnactivity:
            addstr(d.dr.script.setlogacb == controlboolean::yes ? "log a" : "ln a", -6, line);
            break;
        case othervariabletype::fixedchemicalpotential: addstr("\xB5", -6, line); break;
    }
    for (int16 k = 1; k <= n; ++k) {
        if (!flag[k]) continue;
        const real v = gridvalue(d.ds, d.dr, k, "ptxtable");
        switch (d.ds.othervariable) {
            case othervariabletype::fixedpressure: writepwin(d.dr.w, w, line, v); break;
            case othervariabletype::fixedtemperature:
                writetwin(d.dr.w, w, line, v - 273.15L);
                break;
            case othervariabletype::fixedmolefractionCO2: writewinval(d.dr.w, w, line, v); break;
            case othervariabletype::fixedlnactivity: addreal(ndecimals(v), true, w, line, v); break;
            case othervariabletype::fixedchemicalpotential: addreal(1, true, w, line, v); break;
        }
    }
    if (both) {
        addstr("sdT", w, line);
        addstr("sdP", w, line);
    } else {
        addstr(single, w, line);
    }
    putstr(d.ses, 1, line, 2, screensummarylogmask);
}

// The uncertainty columns of one line of reaction i (branch b, first line when b = 1), from
// the grid point nearest to k0 at which the branch lies in the window.
void uncertainty(Diagram& d, int16 i, int b, int16 k0, int16 n, int w, std::string& line) {
    const branchtable& br = b == 1 ? *d.ds.branch1 : *d.ds.branch2;
    const Windows& win = d.dr.w;
    const findtype kind = d.ds.calcfindtype;
    int16 k = 0;
    if (inrange(win, kind, br[i][k0])) {
        k = k0;
    } else {
        int16 down = 0;
        int16 up = 0;
        for (int16 j = narrow16(k0 - 1); j >= 1 && down == 0; --j) {
            if (inrange(win, kind, br[i][j])) down = j;
        }
        for (int16 j = narrow16(k0 + 1); j <= n && up == 0; ++j) {
            if (inrange(win, kind, br[i][j])) up = j;
        }
        if (down == 0) {
            k = up;
        } else if (up == 0) {
            k = down;
        } else {
            k = (k0 - down < up - k0) ? down : up;
        }
    }
    if (k == 0) return;
    diagramlnavar(d.ds, d.dr);
    const DiagramPoint pt = gridpoint(d, k);
    const bool tcalc = d.ds.calcvariable == calcvariabletype::calctemperature;
    const RootPairSd rs = tcalc ? d.lines.calctsd(i, pt.p, pt.xco2, pt.xh2o)
                                : d.lines.calcpsd(i, pt.t, pt.xco2, pt.xh2o);
    const bool in1 = inrange(win, kind, rs.x1);
    const bool in2 = inrange(win, kind, rs.x2);
    if (!in1 && !in2) return;
    bool first = false;
    if (!in1) {
        first = false;
    } else if (!in2) {
        first = true;
    } else {
        const real at = br[i][k];
        first = std::fabs(rs.x1 - at) < std::fabs(rs.x2 - at);
    }
    const real value = first ? rs.x1 : rs.x2;
    const real s = first ? rs.sd1 : rs.sd2;
    const bool exact = b == 1 && first;  // the printed form of the first line's first root
    if (tcalc) {
        if (s >= 32767) {
            addstr("+", w, line);
        } else if (exact) {
            addreal(1, true, w, line, s);
        } else {
            addgreal(w, line, std::fabs(s));
        }
        if (d.ds.othervariable == othervariabletype::fixedpressure) {
            const ReactionDg g = d.lines.dgr(i, pt.p, value, d.dr.xco2cur, d.dr.xh2ocur);
            if (std::fabs(g.dgdt * s) > std::fabs(100 * g.dgdp)) {
                addstr("+", w, line);
            } else {
                // no uncertainty in T carries none into P, even where the line is flat
                addreal(2, exact, w, line, s == 0 ? 0.0L : std::fabs(g.dgdt * s / g.dgdp));
            }
        }
    } else {
        if (d.ds.othervariable == othervariabletype::fixedtemperature) {
            const ReactionDg g = d.lines.dgr(i, value, pt.t, d.dr.xco2cur, d.dr.xh2ocur);
            if (std::fabs(g.dgdp * s) > std::fabs(1000 * g.dgdt)) {
                addstr("+", w, line);
            } else {
                addgreal(w, line, s == 0 ? 0.0L : std::fabs(g.dgdp * s / g.dgdt));
            }
        }
        addreal(2, true, w, line, std::fabs(s));
    }
}

}  // namespace

void ptxtable(Diagram& d) {
    DiagramState& ds = d.ds;
    DiagramRun& dr = d.dr;
    Windows& win = dr.w;
    real low = 0;
    real high = 0;
    if (ds.calcvariable == calcvariabletype::calcpressure) {
        low = win.pwinlow;
        high = win.pwinhigh;
    } else if (ds.calcvariable == calcvariabletype::calctemperature) {
        low = win.twinlow;
        high = win.twinhigh;
    } else {
        bomb("ptxtable", "unknown calcvariable", myfault);
    }
    const int16 n = gridcount(ds, dr, "ptxtable");
    Fixed1<bool, maxgrid> flag{};
    if (n < 21) {
        for (int16 k = 1; k <= n; ++k) flag[k] = true;
    } else {
        const int s = (n + 19) / 20;
        for (int16 k = 1; k <= n; ++k) flag[k] = (k - 1) % s == 0 || k == n;
    }
    for (int16 i = 1; i <= dr.nreac; ++i) {
        putstr(d.ses, i == 1 ? 1 : 0, dr.rxntext[i], 1, screensummarylogmask);
    }
    const int w = calcwidth(ds, win);
    if (dr.lnaemno == 0 && dr.muemno == 0) thermodynamicstable(d);

    lineheading(d, low, high);
    columnheading(d, flag, n, w);
    const int16 k0 = referencepoint(d, n);

    branchtable& b1 = *ds.branch1;
    branchtable& b2 = *ds.branch2;
    for (int16 i = 1; i <= dr.nreac; ++i) {
        enlargewindow(ds, win, ds.calcvariable);
        for (int16 k = 1; k <= n; ++k) {
            const Roots rp = lineroots(d, i, gridpoint(d, k));
            b1[i][k] = rp.x1;
            b2[i][k] = rp.x2;
        }
        restorewindow(ds, win, ds.calcvariable);

        bool second = false;
        for (int16 k = 1; k <= n; ++k) second = second || b2[i][k] >= -present;
        if (second) {
            for (int16 k = 1; k <= n; ++k) {
                if (b1[i][k] <= present && b2[i][k] > -present && b1[i][k] > b2[i][k]) {
                    std::swap(b1[i][k], b2[i][k]);
                }
            }
        }

        std::string line;
        addgreal(-6, line, i);
        for (int16 k = 1; k <= n; ++k) {
            if (!flag[k]) continue;
            if (b1[i][k] > 0 && b1[i][k] < low && b2[i][k] > 0 && b2[i][k] < low) {
                addstr("", w, line);
            } else {
                writecalc(d, w, line, b1[i][k]);
            }
        }
        uncertainty(d, i, 1, k0, n, w, line);
        putstr(d.ses, 0, line, 1, screensummarylogmask);

        line.clear();
        addstr("", 6, line);
        for (int16 k = 1; k <= n; ++k) {
            if (!flag[k]) continue;
            if (b1[i][k] > high && b1[i][k] < present && b2[i][k] > high && b2[i][k] < present) {
                addstr("", w, line);
            } else {
                writecalc(d, w, line, b2[i][k]);
            }
        }
        uncertainty(d, i, 2, k0, n, w, line);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
