#include "script/valuelists.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

void say(Session& ses, const std::string& text) {
    putstr(ses, 0, text, 1, screenlogmask);
}

// The number of values of a list stepping from low by inc: the whole steps that fit plus one,
// and one more when the last step stops short of high by more than tol (high itself is then
// appended). Counted in reals, so that a tiny interval cannot overflow a count.
real listcount(real low, real high, real inc, real tol) {
    const real n = std::trunc((high - low) / inc) + 1;
    return low + inc * (n - 1) < high - tol ? n + 1 : n;
}

// Fills values by repeated addition from low and appends high when the last value stops short
// of it by more than tol; the caller has checked the count against the capacity.
int16 filllist(linevector& values, real low, real high, real inc, real tol) {
    auto n = static_cast<int16>(std::trunc((high - low) / inc) + 1);
    n = std::clamp(n, int16{1}, int16{maxlinevalues});
    values[1] = low;
    for (int i = 2; i <= n; ++i) values[i] = values[i - 1] + inc;
    if (values[n] + tol < high && n < maxlinevalues) values[++n] = high;
    return n;
}

// Decimals of a window end: none for a whole number (within tol), else as many as it shows.
int decimalsof(real x, real tol) {
    return std::fabs(x - std::round(x)) < tol ? 0 : ndecimals(x);
}

bool wholenumber(real x, real tol) {
    return std::fabs(x - std::round(x)) < tol;
}

// A P or T list from the window and the script's interval, adjusted to fit without a word.
struct IntervalRead {
    std::string name;  // "P" or "T"
    std::string unit;  // unit of the report line
    real tol;          // equal ends, and the append tolerance
    bool ask;          // the mode needs this list: ask when the script gave no interval
    bool report;       // the mode reports the script's interval
};

void readinterval(Session& ses, const IntervalRead& r, linevector& values, int16& nvalues, real low,
                  real high, real scriptinc) {
    values[1] = low;
    nvalues = 1;
    if (std::fabs(low - high) < r.tol) return;
    real inc = 0;
    if (scriptinc > 0) {
        inc = scriptinc;
    } else if (r.ask) {
        promptreal(ses, r.name + " interval", inc);
    }
    if (inc <= 0) return;
    const real range = high - low;
    if (range < inc) {
        inc = 0.5L * range;
    } else if (listcount(low, high, inc, r.tol) > maxlinevalues) {
        inc = range / (maxlinevalues - 1);
    }
    if (scriptinc > 0 && r.report) {
        std::string line = r.name + " interval = ";
        addreal(ndecimals(inc), true, 0, line, inc);
        say(ses, line + r.unit + " (from script)");
    }
    nvalues = filllist(values, low, high, inc, r.tol);
}

// The texts and tolerance of an interval asked until it fits.
struct IntervalQuestion {
    std::string name;       // "P" or "T"
    std::string plural;     // "pressures" or "temperatures"
    std::string rangetext;  // the range as the too-large line prints it
    real tol;               // append tolerance
};

real askinterval(Session& ses, const IntervalQuestion& q, real low, real high, bool fromscript,
                 real inc) {
    const real range = high - low;
    const std::string interval = q.name + " interval";
    for (bool first = true;; first = false) {
        if (first) {
            if (!fromscript) promptreal(ses, interval, inc);
        } else if (inc > range) {
            say(ses, interval + " too large : max " + q.name + "(high) - " + q.name +
                         "(low) = " + q.rangetext);
            promptreal(ses, "try again: " + interval, inc);
        } else if (inc < 0) {
            promptreal(ses, interval + " must be positive - try again: " + interval, inc);
        } else {
            say(ses, interval + " too small : max of " + realstr(maxlinevalues) + " " + q.plural);
            promptreal(ses, "try again: " + interval, inc);
        }
        if (inc > 0 && inc <= range && listcount(low, high, inc, q.tol) <= maxlinevalues) {
            return inc;
        }
    }
}

// The formats follow the variable calculated along a reaction line.
void calcvariableformat(Windows& w, const char* procname) {
    switch (w.calcvariable) {
        case calcvariabletype::calcpressure: w.pformat = 3; break;
        case calcvariabletype::calctemperature: w.tformat = 2; break;
        default: bomb(procname, "unknown calcvariable", myfault);
    }
}

// The texts and tolerances of a list of ln a or mu values.
struct StepList {
    std::string windowlead;   // lead of the window line
    std::string question;     // the first interval question
    std::string retry;        // the question after a refused interval
    std::string notpositive;  // the question after a zero or negative interval
    std::string toolarge;     // the too-large line, followed by the range
    bool rangeonnewline;      // the range follows on a line of its own
    std::string toosmall;     // the too-small line
    real sametol;             // equal ends: a single value
    real tol;                 // acceptance and append tolerance
    int16 mindecimals;
    const char* procname;
};

void steplist(Session& ses, Windows& w, const StepList& s, real low, real high, linevector& values,
              int16& nvalues, int16& format) {
    if (std::fabs(high - low) < s.sametol) {
        nvalues = 1;
        values[1] = low;
        format = std::max(ndecimals(low), s.mindecimals);
        return;
    }
    const int16 dlow = ndecimals(low);
    const int16 dhigh = ndecimals(high);
    const int16 d = std::max(dlow, dhigh);
    say(ses, s.windowlead + realfixstr(dlow, true, low) + " <-> " + realfixstr(dhigh, true, high) +
                 " : ");
    real inc = 0;
    promptreal(ses, s.question, inc);
    const real range = high - low;
    // A zero or negative interval would make no list: it is refused like the others.
    while (!(inc > 0 && inc <= range && listcount(low, high, inc, s.tol) <= maxlinevalues)) {
        if (!(inc > 0)) {
            promptreal(ses, s.notpositive, inc);
            continue;
        }
        if (inc > range) {
            const std::string r = realfixstr(d, true, range);
            if (s.rangeonnewline) {
                say(ses, s.toolarge);
                say(ses, "   max = " + r);
            } else {
                say(ses, s.toolarge + r);
            }
        } else {
            say(ses, s.toosmall);
        }
        promptreal(ses, s.retry, inc);
    }
    nvalues = filllist(values, low, high, inc, s.tol);
    format = std::max({ndecimals(inc), d, s.mindecimals});
    calcvariableformat(w, s.procname);
}

// The standard x(CO2) values offered for a section.
constexpr Fixed1<real, 12> standardxco2{
    {{0.001L, 0.01L, 0.05L, 0.1L, 0.2L, 0.4L, 0.6L, 0.8L, 0.9L, 0.95L, 0.99L, 0.999L}}};

// The standard values that fall in the window, framed by the window's ends.
// x(CO2) values closer than this are one value: a window end read or computed in another way
// than the list's own values must not appear twice.
constexpr real xco2same = 1e-9L;

bool samexco2(real a, real b) {
    return std::fabs(a - b) < xco2same;
}

int16 standardcandidates(real low, real high, Fixed1<real, 14>& cand) {
    int16 n = 0;
    int i1 = 1;
    while (i1 <= 12 && standardxco2[i1] < low && !samexco2(standardxco2[i1], low)) ++i1;
    int i2 = 12;
    while (i2 >= 1 && standardxco2[i2] > high && !samexco2(standardxco2[i2], high)) --i2;
    if (i1 > 12 || !samexco2(standardxco2[i1], low)) cand[++n] = low;
    for (int i = i1; i <= i2; ++i) cand[++n] = standardxco2[i];
    if (i2 < 1 || !samexco2(standardxco2[i2], high)) cand[++n] = high;
    return n;
}

// Typed x(CO2) values, kept only when inside the window and rising, between the window's ends.
void typedxco2(Session& ses, Windows& w) {
    const real low = w.xwinlow;
    const real high = w.xwinhigh;
    const std::string toomany = "too many x(CO2)'s " + maxtext(maxlinevalues);
    for (int attempt = 1;; ++attempt) {
        rrvector vals{};
        int16 m = 0;
        promptreals(ses, "x(CO2) in ascending order", vals, m);
        const int total = m + (m > 0 && !samexco2(vals[1], low) ? 1 : 0) +
                          (m > 0 && !samexco2(vals[m], high) ? 1 : 0);
        if (m > 0 && total > maxlinevalues) {
            if (attempt == 2) bomb("listxco2", toomany, yourfault);
            say(ses, toomany);
            continue;
        }
        int16 n = 1;
        w.xvalues[1] = low;
        for (int k = 1; k <= m; ++k) {
            const real v = vals[k];
            const bool inside = low < v && v < high && !samexco2(v, low) && !samexco2(v, high);
            if (inside && (k == 1 || vals[k - 1] < v)) w.xvalues[++n] = v;
        }
        w.xvalues[++n] = high;
        w.nxvalues = n;
        return;
    }
}

}  // namespace

void readpinterval(Session& ses, Windows& w, ptcalcsmodetype ptcalcsmode) {
    const IntervalRead r{"P", " kbar", 1e-6L, ptcalcsmode == 1 || ptcalcsmode == 3,
                         ptcalcsmode != 2};
    readinterval(ses, r, w.pvalues, w.npvalues, w.pwinlow, w.pwinhigh, w.pinc);
}

void readtinterval(Session& ses, Windows& w, ptcalcsmodetype ptcalcsmode) {
    const IntervalRead r{"T",
                         " \xA1"
                         "C",
                         1e-5L, ptcalcsmode == 2 || ptcalcsmode == 3, ptcalcsmode != 1};
    readinterval(ses, r, w.tvalues, w.ntvalues, w.twinlow, w.twinhigh, w.tinc);
}

void checkpinterval(Session& ses, Windows& w, int16 variance) {
    const real low = w.pwinlow;
    const real high = w.pwinhigh;
    const bool fromscript = w.pinc > 0;
    w.pformat = 3;
    if (std::fabs(high - low) < 1e-6L) {
        w.npvalues = 1;
        w.pvalues[1] = low;
        w.pformat = std::max(ndecimals(low), int16{3});
    } else {
        const int d = std::max(decimalsof(low, 1e-6L), decimalsof(high, 1e-6L));
        if (fromscript) {
            std::string line = "P interval = ";
            addreal(ndecimals(w.pinc), true, 0, line, w.pinc);
            say(ses, line + " (from script)");
        }
        const std::string rangetext = realfixstr(d == 0 ? 1 : d, true, high - low);
        const real inc = askinterval(ses, {"P", "pressures", rangetext, 1e-4L}, low, high,
                                     fromscript, fromscript ? w.pinc : 0);
        w.npvalues = filllist(w.pvalues, low, high, inc, 1e-4L);
        w.pformat = narrow16(std::max({int{ndecimals(inc)}, d, 3}));
    }
    // T values printed beside these pressures carry one decimal fewer.
    if (variance == 2) {
        w.tformat = std::max(w.tformat, narrow16(w.pformat - 1));
    } else {
        w.tformat = std::clamp(narrow16(w.pformat - 1), int16{2}, int16{4});
    }
}

void checktinterval(Session& ses, Windows& w) {
    const real low = w.twinlow;
    const real high = w.twinhigh;
    const bool fromscript = w.tinc > 0;
    w.tformat = 2;
    w.pformat = 3;
    if (std::fabs(high - low) < 1e-5L) {
        w.ntvalues = 1;
        w.tvalues[1] = low;
        w.tformat = ndecimals(low);
        return;
    }
    const int d =
        std::max(std::min(decimalsof(low, 1e-5L), 4), std::min(decimalsof(high, 1e-5L), 4));
    if (fromscript) {
        std::string line = "T interval = ";
        if (wholenumber(w.tinc, 1e-4L)) {
            addgreal(0, line, w.tinc);
        } else {
            addreal(ndecimals(w.tinc), true, 0, line, w.tinc);
        }
        say(ses, line + " (from script)");
    }
    const std::string rangetext = d == 0 ? realstr(high - low) : realfixstr(d, true, high - low);
    const real inc = askinterval(ses, {"T", "temperatures", rangetext, 0.01L}, low, high,
                                 fromscript, fromscript ? w.tinc : 0);
    w.ntvalues = filllist(w.tvalues, low, high, inc, 0.01L);
    const int dinc = decimalsof(inc, 1e-5L);
    w.tformat = narrow16(std::min(std::max(dinc, d), 4));
    w.pformat = std::clamp(narrow16(w.tformat + 3), int16{3}, int16{4});
}

void listxco2(Session& ses, Windows& w) {
    const real low = w.xwinlow;
    const real high = w.xwinhigh;
    say(ses, "x(CO2) window : " + realfixstr(ndecimals(low), true, low) + " <-> " +
                 realfixstr(ndecimals(high), true, high));
    bool taken = false;
    // Ends beyond the standard set (very dilute fluids) are always typed.
    if (!(low < 0.001L || high > 0.999L)) {
        Fixed1<real, 14> cand{};
        const int16 n = standardcandidates(low, high, cand);
        if (n > 5) {
            std::string line;
            for (int i = 1; i <= n; ++i)
                line += realfixstr(ndecimals(cand[i]), true, cand[i]) + " ";
            say(ses, line);
            if (query(ses, " : use these x(CO2)")) {
                for (int i = 1; i <= n; ++i) w.xvalues[i] = cand[i];
                w.nxvalues = n;
                taken = true;
            }
        }
    }
    if (!taken) typedxco2(ses, w);
    int16 decimals = 0;
    for (int i = 1; i <= w.nxvalues; ++i) {
        w.xh2ovalues[i] = 1 - w.xvalues[i];
        decimals = std::max(decimals, ndecimals(w.xvalues[i]));
    }
    w.xformat = decimals;
    calcvariableformat(w, "listxco2");
}

void listlna(Session& ses, Windows& w, int16 k, real low, real high, controlboolean lnacb) {
    const bool natural = lnacb == controlboolean::yes;
    const std::string a = natural ? "ln a" : "log a";
    const StepList s{a + " window : ",
                     a + " interval",
                     "try again: interval",
                     "interval must be positive - try again: interval",
                     "interval too large : ",
                     true,
                     "interval too small : max of " + realstr(maxlinevalues) + " values",
                     1e-5L,
                     1e-5L,
                     2,
                     "listlna"};
    steplist(ses, w, s, low, high, w.lnavalues[k], w.nlnavalues[k], w.lnaformat);
}

void listmu(Session& ses, Windows& w, int16 k, real low, real high) {
    const std::string mu = "\xB5";
    const StepList s{mu + " window : ",
                     mu + " interval",
                     "try again: " + mu + " interval",
                     mu + " interval must be positive - try again: " + mu + " interval",
                     mu + " interval too large : max " + mu + "(high) - " + mu + "(low) =",
                     false,
                     mu + " interval too small : max of " + realstr(maxlinevalues) + " values",
                     0.001L,
                     1e-4L,
                     1,
                     "listmu"};
    steplist(ses, w, s, low, high, w.muvalues[k], w.nmuvalues[k], w.muformat);
}

}  // namespace qv
