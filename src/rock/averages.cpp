#include "rock/averages.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/avlsq.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real tzero = 273.15L;  // K at 0 degrees C
constexpr int16 maxavpsteps = 10;
constexpr real avptolerance = 0.0001L;  // kbar
constexpr int16 maxavtsteps = 20;
constexpr real maxbracket = 200;  // K, half-width of the average-T bracket
constexpr real sameavt = 2;       // K

// An incomplete reaction set gives an average of the wrong reactions: stop.
void checkcomplete(RockCalc& rc, std::string_view procname) {
    if (rc.data.incompleteset) {
        putstr(rc.ses, 1, "an incomplete set of independent reactions has been generated;", 1,
               screensummarylogmask);
        putstr(rc.ses, 0, "vary the run conditions to try and get a complete set...", 1,
               screensummarylogmask);
        bomb(procname, "incomplete set", yourfault);
    }
    putstr(rc.ses, 0, "", 1, screensummarylogmask);
}

std::string heading(const RockCalc& rc, const char* what) {
    std::string line = what;
    if (!rc.set.runtitle.empty()) {
        line.pop_back();
        line += " for " + rc.set.runtitle;
    }
    return line;
}

// How the averages of one table are written.
struct AverageColumns {
    const char* avlabel;  // "av P" or "av T"
    int width;            // characters per value
    int avdecimals;       // decimals of the average
    int sddecimals;       // decimals of its sd
    real shift;           // taken off the average before writing it (K to degrees C)
};

// The table of averages over the list of P or T: the row of the list's values (already written
// in `conditions`) over the rows of the averages, their sds and sigfits, one column per value of
// the list (res[1..]); an average that failed shows "?".
void printaveragetable(RockCalc& rc, const std::string& conditions,
                       const std::vector<AvResult>& res, const AverageColumns& c) {
    std::string al;
    std::string sl;
    std::string fl;
    addstr(c.avlabel, -8, al);
    addstr("sd", -8, sl);
    addstr("sigfit", -8, fl);
    for (std::size_t j = 1; j < res.size(); ++j) {
        const AvResult& r = res[j];
        if (r.av > 0) {
            addreal(c.avdecimals, true, c.width, al, r.av - c.shift);
            addreal(c.sddecimals, true, c.width, sl, r.sd);
            addreal(3, true, c.width, fl, r.sigfit);
        } else {
            addstr("?", c.width, al);
            addstr("", c.width, sl);
            addstr("", c.width, fl);
        }
    }
    putstr(rc.ses, 1, conditions, 1, screensummarylogmask);
    putstr(rc.ses, 0, al, 1, screensummarylogmask);
    putstr(rc.ses, 0, sl, 1, screensummarylogmask);
    putstr(rc.ses, 0, fl, 1, screensummarylogmask);
}

}  // namespace

void printavprow(RockCalc& rc, int16 k, real t, real avp, real sd, real sigfit) {
    const int16 n = rc.data.nreac;
    std::string line;
    if (k == 0) {
        addstr("avP", 12, line);
        addstr("", 6 * n + 8, line);
        addstr("sd(avP)", 8, line);
        addstr("sigfit", 8, line);
        putstr(rc.ses, 0, line, 1, screensummarylogmask);
        line.clear();
    }
    addgreal(2, line, k);
    addreal(4, true, 10, line, avp);
    line += " (";
    for (int16 i = 1; i <= n; ++i) {
        const RxnPosition pos = rc.rx.calcpsd(i, t, rc.set.xco2cur, rc.set.xh2ocur);
        if (inrange(rc.win, findtype::findp, pos.x)) {
            addreal(2, true, 6, line, pos.x);
        } else {
            addstr(" ---", 6, line);
        }
        line += i < n ? ", " : ") ";
    }
    if (avp > 0) {
        addreal(1, true, 8, line, sd);
        addreal(2, true, 8, line, sigfit);
    }
    putstr(rc.ses, 0, line, 1, screensummarylogmask);
}

void printavtrow(RockCalc& rc, int16 k, real tact, real p, real avt, real sd, real sigfit) {
    const int16 n = rc.data.nreac;
    std::string line;
    if (k == 0) {
        addstr("avT", 18, line);
        addstr(" ", 8 * n + 2, line);
        addstr("sd(avT)", 8, line);
        addstr("sigfit", 12, line);
        putstr(rc.ses, 0, line, 1, screensummarylogmask);
        line.clear();
    }
    addgreal(2, line, k);
    addreal(1, true, 8, line, tact - tzero);
    if (avt == 0) {
        addstr("--", 8, line);
    } else {
        addreal(2, true, 8, line, avt - tzero);
    }
    line += "  (";
    for (int16 i = 1; i <= n; ++i) {
        const RxnPosition pos = rc.rx.calctsd(i, p, rc.set.xco2cur, rc.set.xh2ocur);
        if (inrange(rc.win, findtype::findt, pos.x)) {
            addreal(1, true, 6, line, pos.x - tzero);
        } else {
            addstr(" ---", 6, line);
        }
        line += i < n ? ", " : ")";
    }
    if (avt > 0) {
        addreal(1, true, 8, line, sd);
        addreal(5, true, 12, line, sigfit);
    }
    putstr(rc.ses, 0, line, 1, screensummarylogmask);
}

void averagep(RockCalc& rc) {
    checkcomplete(rc, "avP");
    const Windows& w = rc.win;
    const int16 nt = w.ntvalues;
    const RockSettings& s = rc.set;
    const bool quiet = s.nss > 0;
    const int16 mid = narrow16((nt + 1) / 2);
    std::vector<AvResult> res(static_cast<std::size_t>(nt) + 1);
    for (int16 j = 1; j <= nt; ++j) {
        const real t = w.tvalues[j];
        AvResult& r = res[static_cast<std::size_t>(j)];
        r = avportlsq(rc, quiet, t, s.xco2cur, s.xh2ocur);
        if (s.nss == 0) continue;
        if (j == mid) {
            putstr(rc.ses, 1,
                   "avP iteration at T = " + realstr(t - tzero) +
                       "\xA1"
                       "C ",
                   1, screensummarylogmask);
            printavprow(rc, 0, t, r.av, r.sd, r.sigfit);
        }
        bool converged = false;
        for (int16 k = 1; k <= maxavpsteps && !converged; ++k) {
            const real old = r.av;
            rc.rx.updateactivity(r.av, t);
            r = avportlsq(rc, true, t, s.xco2cur, s.xh2ocur);
            if (j == mid) printavprow(rc, k, t, r.av, r.sd, r.sigfit);
            if (r.av == 0) bomb("averagep", "iteration failed", yourfault);
            converged = std::fabs(r.av - old) < avptolerance;
        }
        // Only a last step that still moved P by more than the tolerance has not converged.
        if (!converged) {
            putstr(rc.ses, 0, "did NOT converge", 1, screensummarylogmask);
        } else if (j == mid) {
            avportlsq(rc, false, t, s.xco2cur, s.xh2ocur);
        }
    }
    std::string line = heading(rc, "Average pressures ");
    if (nt == 1)
        line += " at T = " + realstr(s.tcur - tzero) +
                "\xA1"
                "C ";
    line += s.fluidtext;
    putstr(rc.ses, 1, line, 1, screensummarylogmask);
    if (nt == 1) {
        const AvResult& r = res[1];
        line = "For T = " + realstr(w.tvalues[1] - tzero) +
               " \xA1"
               "C, av P = ";
        if (r.av > 0) {
            writepwin(w, 0, line, r.av);
        } else {
            line += "?";
        }
        line += " kbar, sd = ";
        if (r.av > 0) addreal(2, true, 0, line, r.sd);
        line += ", sigfit = ";
        if (r.av > 0) addreal(1, true, 0, line, r.sigfit);
        putstr(rc.ses, 0, line, 1, screensummarylogmask);
        return;
    }
    std::string tl;
    addstr(
        "T\xA1"
        "C",
        -8, tl);
    for (int16 j = 1; j <= nt; ++j) addgreal(8, tl, w.tvalues[j] - tzero);
    printaveragetable(rc, tl, res, {"av P", 8, 2, 3, 0});
}

void averaget(RockCalc& rc) {
    checkcomplete(rc, "avT");
    const Windows& w = rc.win;
    const int16 np = w.npvalues;
    const RockSettings& s = rc.set;
    const int16 mid = narrow16((np + 1) / 2);
    const real u = s.xco2cur;
    const real v = s.xh2ocur;
    std::vector<AvResult> res(static_cast<std::size_t>(np) + 1);
    for (int16 j = 1; j <= np; ++j) {
        const real p = w.pvalues[j];
        AvResult& r = res[static_cast<std::size_t>(j)];
        if (s.nss == 0) {
            r = avportlsq(rc, true, p, u, v);
            continue;
        }
        const bool trace = j == mid;
        std::string line = "avT iteration at P = ";
        addreal(1, true, 0, line, p);
        if (trace) {
            line += " kbar ";
            putstr(rc.ses, np > 1 ? 1 : 0, line, 1, screensummarylogmask);
        } else {
            line += " kbar (details not shown)";
            putstr(rc.ses, j == mid + 1 ? 1 : 0, line, 1, screensummarylogmask);
        }
        if (p != s.pcur) rc.rx.updateactivity(p, s.tcur);
        const AvResult r0 = avportlsq(rc, true, p, u, v);
        if (r0.av == 0) {
            printavtrow(rc, 0, s.tcur, p, r0.av, r0.sd, r0.sigfit);
            bomb("averaget", "can't start", yourfault);
        }
        if (trace) printavtrow(rc, 0, s.tcur, p, r0.av, r0.sd, r0.sigfit);
        const real d = std::min(3 * r0.sd, maxbracket);
        real tlo = s.tcur - d;
        real thi = s.tcur + d;
        rc.rx.updateactivity(p, tlo);
        AvResult r1 = avportlsq(rc, true, p, u, v);
        if (r1.av == 0) bomb("averaget", "can't start (-)", yourfault);
        rc.rx.updateactivity(p, thi);
        AvResult r2 = avportlsq(rc, true, p, u, v);
        if (r2.av == 0) bomb("averaget", "can't start (+)", yourfault);
        if (trace) {
            printavtrow(rc, 1, tlo, p, r1.av, r1.sd, r1.sigfit);
            printavtrow(rc, 1, thi, p, r2.av, r2.sd, r2.sigfit);
        }
        AvResult rn;
        bool failed = false;
        for (int16 k = 2;; ++k) {
            const real tm = 0.5L * (tlo + thi);
            rc.rx.updateactivity(p, tm);
            rn = avportlsq(rc, true, p, u, v);
            if (trace) printavtrow(rc, k, tm, p, rn.av, rn.sd, rn.sigfit);
            if (rn.sigfit > r1.sigfit && rn.sigfit > r2.sigfit) {
                failed =
                    !(std::fabs(r1.av - rn.av) < sameavt && std::fabs(r2.av - rn.av) < sameavt);
                break;
            }
            if (k == maxavtsteps) break;
            bool lowgoes = true;
            if (rn.sigfit < r1.sigfit && rn.sigfit < r2.sigfit) {
                lowgoes = r1.sigfit > r2.sigfit;
            } else if (rn.sigfit > r1.sigfit && rn.sigfit < r2.sigfit) {
                lowgoes = false;
            }
            if (lowgoes) {
                tlo = tm;
                r1 = rn;
            } else {
                thi = tm;
                r2 = rn;
            }
        }
        if (failed) {
            r = AvResult{0, 0, 0};
        } else {
            r = rn;
            if (trace) avportlsq(rc, false, p, u, v);
        }
    }
    std::string line = heading(rc, "Average temperatures ");
    if (np == 1) {
        line += " at P = ";
        addreal(1, true, 0, line, s.pcur);
        line += " kbar";
    }
    line += s.fluidtext;
    putstr(rc.ses, 1, line, 1, screensummarylogmask);
    if (np == 1) {
        const AvResult& r = res[1];
        line = "For P = ";
        addreal(1, true, 0, line, w.pvalues[1]);
        line += " kbar, av T = ";
        if (r.av > 0) {
            addreal(1, true, 9, line, r.av - tzero);
        } else {
            line += "?";
        }
        line +=
            " \xA1"
            "C, sd = ";
        if (r.av > 0) addreal(1, true, 9, line, r.sd);
        line += ", sigfit = ";
        if (r.av > 0) addreal(2, true, 0, line, r.sigfit);
        putstr(rc.ses, 0, line, 1, screensummarylogmask);
        return;
    }
    std::string pl;
    addstr("P", -8, pl);
    for (int16 j = 1; j <= np; ++j) addreal(2, true, 9, pl, w.pvalues[j]);
    printaveragetable(rc, pl, res, {"av T", 9, 1, 1, tzero});
}

}  // namespace qv
