// The iteration table of the equilibrium solver, its starting guesses and the line of unknowns
// after each step, and the report of a solve by its result code.

#include "base/convert.hpp"
#include "solver/nlework.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::nlework {

void Nle::printiterhead() {
    if (nlines < 2) {
        if (counter < 2 && set.debuglev < 4) printguesses();
        putstr(ses, 1, std::string(59, '-'), 1, screensummarylogmask);
    }
    std::string line = " ";
    if (set.debuglev == 2) {
        addstr("", 6, line);
    } else if (set.debuglev == 4) {
        addstr(intstr(counter), -4, line);
    } else {
        addstr(intstr(counter), -2, line);
        addstr(intstr(nlines), 2, line);
    }
    addstr("f", 7, line);
    addstr("slope", 12, line);
    addstr("step", set.debuglev == 2 ? 10 : 14, line);
    addstr("maxe", 13, line);
    addstr("maxdx", 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
}

void Nle::printiteration(char c1, char c2, real f, real slope, real step) {
    ++nlines;
    if (set.debuglev == 4 && nlines == 1) printiterhead();
    std::string line = st.jacsingular ? "@" : " ";
    if (set.debuglev == 2) addstr(intstr(counter), -2, line);
    line += (set.debuglev == 3 || set.debuglev == 4) ? c1 : ' ';
    addreal(4, true, 10, line, f);
    addreal(4, true, 12, line, slope);
    if (set.debuglev == 2) {
        if (step == 1) {
            addstr("1", 10, line);
        } else {
            addreal(4, true, 10, line, step);
        }
    } else if (step == 1) {
        addstr("1", 14, line);
    } else {
        addreal(8, true, 14, line, step);
    }
    addstr(std::string(1, c2), 2, line);
    addreal(4, true, 11, line, maxe);
    if (maxdx == 0 || maxdx == 100) {
        addstr("", 10, line);
    } else {
        addreal(4, true, 10, line, maxdx);
    }
    putstr(ses, 0, line, 1, screensummarylogmask);
    if (set.debuglev == 2) printxline();
}

void Nle::printxline() {
    const int32 mask = set.debuglev < 2 ? 16 : screensummarylogmask;
    std::string names(62, ' ');
    std::string values(62, ' ');
    addstr("P(kbar)", 10, names);
    addreal(4, false, 10, values, v.natural(1));
    addstr(v.xname[2], 10, names);
    addreal(4, false, 10, values, shown(2));
    int pending = 0;
    for (int16 k = 3; k <= nall(); ++k) {
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
        if (++pending == 13) {
            putstr(ses, 0, names, 1, mask);
            putstr(ses, 0, values, 1, mask);
            names.assign(82, ' ');
            values.assign(82, ' ');
            pending = 0;
        }
    }
    if (pending > 0 || nall() < 3) {
        putstr(ses, 0, names, 1, mask);
        putstr(ses, 0, values, 1, mask);
    }
}

void Nle::printguesses() {
    const int32 mask = set.debuglev < 2 ? 16 : screensummarylogmask;
    std::string names;
    std::string values(17, ' ');
    addstr("starting guesses:", 17, names);
    addstr("P(kbar)", 10, names);
    addreal(4, false, 10, values, v.natural(1));
    addstr(v.xname[2], 10, names);
    addreal(3, false, 10, values, shown(2));
    int pending = 0;
    for (int16 k = 3; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
        if (++pending == 18) {
            putstr(ses, 0, names, 1, mask);
            putstr(ses, 0, values, 1, mask);
            names.assign(37, ' ');
            values.assign(37, ' ');
            pending = 0;
        }
    }
    putstr(ses, 0, names, 1, mask);
    putstr(ses, 0, values, pending > 0 ? 2 : 1, mask);
}

void Nle::report(int16 code) {
    if (code == 0) {
        const char* word = esize   ? "size of max residual (esize)"
                           : fsize ? "size of sum of squares of residual (fsize)"
                                   : "step too small near solution (dxconverge)";
        putstr(ses, 1, word, 1, screensummarylogmask);
        return;
    }
    const char* reason = "   shouldn't get here";
    switch (code) {
        case 1: reason = "   step too small distant from solution (dxstop)"; break;
        case 2: reason = "   too many iterations (overit)"; break;
        case 3: reason = "   jacobian singular in steplength"; break;
        case 4: reason = "   too many iterations in finding interval in steplength"; break;
        case 5: reason = "   too many iterations in finding value in interval in steplength"; break;
        case 6: reason = "   sequence of not reduced (at accessible boundary) in steplength"; break;
        case 7: reason = "   slim too small (on edge looking out?)"; break;
        case nletoofew: reason = "   fewer equations than unknowns"; break;
        default: break;
    }
    putstr(ses, 1, "No solution (" + intstr(code) + "):", 1, screensummarylogmask);
    putstr(ses, 0, reason, 1, screensummarylogmask);
    putstr(ses, 0, "at which stage x was:", 1, screensummarylogmask);
    std::string names;
    std::string values;
    for (int16 k = 1; k <= v.nxvars; ++k) {
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
    }
    putstr(ses, 0, names, 1, screensummarylogmask);
    putstr(ses, 0, values, 1, screensummarylogmask);
    if (v.nmodevars > 0) {
        names.assign(20, ' ');
        values.assign(20, ' ');
        for (int16 k = narrow16(v.nxvars + 1); k <= nall(); ++k) {
            addstr(v.xname[k], 10, names);
            addreal(4, true, 10, values, shown(k));
        }
        putstr(ses, 0, names, 1, screensummarylogmask);
        putstr(ses, 0, values, 1, screensummarylogmask);
    }
    putstr(ses, 0, std::string(54, '_'), 2, screensummarylogmask);
}

}  // namespace qv::nlework
