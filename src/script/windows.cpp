#include "script/windows.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

void setptscaling(PTScaling& s) {
    s.tscale = 1 / (3000.0L - 283.0L);
    s.toffset = -283.0L * s.tscale;
    s.pscale = 1 / (1500.0L - s.pminimum);
    s.poffset = -s.pminimum * s.pscale;
}

bool inrange(const Windows& w, findtype kind, real x) {
    real low = 0;
    real high = 0;
    switch (kind) {
        case findtype::findt: low = w.twinlow, high = w.twinhigh; break;
        case findtype::findp: low = w.pwinlow, high = w.pwinhigh; break;
        case findtype::findxco2: low = w.xwinlow, high = w.xwinhigh; break;
        case findtype::findlna: low = w.lnawinlow, high = w.lnawinhigh; break;
        case findtype::findmu: low = w.muwinlow, high = w.muwinhigh; break;
        default: bomb("inrange", "unknown type", myfault);
    }
    return low <= x && x <= high;
}

namespace {

void say(Session& ses, const std::string& text) {
    putstr(ses, 0, text, 1, screenlogmask);
}

// The texts of one window for `checkwindow`: "P" or "T", and the bounds as printed.
struct OverallWindow {
    std::string name;
    real minall;
    real maxall;
};

// Both ends are checked and each is corrected on its own, so that a window that overshoots the
// overall window on both sides is clipped on both sides in one call.
void checkwindow(Session& ses, const OverallWindow& o, real& low, real& high, xOKtype ok) {
    const std::string& v = o.name;
    const bool same = std::fabs(high - low) < 1e-8L;
    if (!same && !(high > low)) {
        std::swap(low, high);
        say(ses, v + "(low) must be less than " + v + "(high): values swapped");
    }
    if (high > o.maxall) {
        say(ses, v + "(high) must be less than " + realfixstr(1, true, o.maxall) + ": this used");
        high = o.maxall;
    }
    if (low < o.minall) {
        say(ses, v + "(low) must be greater than " + realfixstr(1, true, o.minall) + ": this used");
        low = o.minall;
    }
    if (same && ok == xOKtype::mustbedifferent) {
        low = o.minall;
        high = o.maxall;
        say(ses, v + " window needed but " + v + "(low) = " + v + "(high): overall " + v +
                     " window used (script overridden)");
    }
}

// One member of the interactive window checks: its texts, its range tests and the shift that
// turns a typed pair into stored values.
struct WindowQuestion {
    std::string name;      // the prompt name, also the lead of the messages
    std::string lowname;   // "P(low)", "x(CO2) low", ...
    std::string highname;  // "P(high)", "x(CO2) high", ...
    std::string (*rangefault)(real low, real high, real pminimum);  // "" when inside
    real shift;                                                     // added to a re-entered pair
};

void windowquestion(Session& ses, const WindowQuestion& q, real pminimum, real& low, real& high,
                    xOKtype ok) {
    constexpr int maxtries = 5;
    for (int tries = 1;; ++tries) {
        std::string fault;
        const bool different = ok == xOKtype::mustbedifferent;
        if (different ? high <= low : high < low) {
            fault = q.lowname + " must be less than " + (different ? "" : "or equal to ") +
                    q.highname + " : try again";
        } else if (q.rangefault != nullptr) {
            fault = q.rangefault(low, high, pminimum);
        }
        if (fault.empty()) return;
        say(ses, fault);
        if (tries == maxtries) bomb("*OK", "too many tries", yourfault);
        promptlowhigh(ses, q.name, low, high);
        low += q.shift;
        high += q.shift;
    }
}

std::string prange(real low, real high, real pminimum) {
    if (!(high <= pmaxlimit)) {
        return "P(high) must be less than " + realstr(pmaxlimit) + " : try again";
    }
    if (!(low >= pminimum)) {
        return "P(low) must be greater than " + realfixstr(3, true, pminimum) + " : try again";
    }
    return {};
}

std::string trange(real low, real high, real) {
    if (!(high <= tmaxlimit)) {
        return "T(high) must be less than " + realstr(tmaxlimit - 273.15L) + " : try again";
    }
    if (!(low >= tminlimit)) {
        return "T(low) must be greater than " + realstr(tminlimit - 273.15L) + " : try again";
    }
    return {};
}

std::string xrange(real low, real high, real) {
    if (!(high < 1)) return "x(CO2) high must be less than 1 : try again";
    if (!(low > 0)) return "x(CO2) low must be greater than 0 : try again";
    return {};
}

}  // namespace

void checkpwindow(Session& ses, const Windows& w, real& low, real& high, xOKtype ok) {
    checkwindow(ses, {"P", w.pminall, w.pmaxall}, low, high, ok);
}

void checktwindow(Session& ses, const Windows& w, real& low, real& high, xOKtype ok) {
    checkwindow(ses, {"T", w.tminall, w.tmaxall}, low, high, ok);
}

void promptpwindow(Session& ses, real pminimum, real& low, real& high, xOKtype ok) {
    windowquestion(ses, {"P", "P(low)", "P(high)", prange, 0}, pminimum, low, high, ok);
}

void prompttwindow(Session& ses, real& low, real& high, xOKtype ok) {
    windowquestion(ses, {" T", "T(low)", "T(high)", trange, 273.15L}, 0, low, high, ok);
}

void xco2windowOK(Session& ses, real& low, real& high, xOKtype ok) {
    windowquestion(ses, {"x(CO2)", "x(CO2) low", "x(CO2) high", xrange, 0}, 0, low, high, ok);
}

void lnawindowOK(Session& ses, real& low, real& high, xOKtype ok) {
    windowquestion(ses, {"log a", "log a(low)", "log a(high)", nullptr, 0}, 0, low, high, ok);
}

void muwindowOK(Session& ses, real& low, real& high, xOKtype ok) {
    windowquestion(ses, {"\xB5", "\xB5(low)", "\xB5(high)", nullptr, 0}, 0, low, high, ok);
}

void promptlowhigh(Session& ses, std::string_view name, real& low, real& high) {
    rrvector xs{};
    int16 n = 2;
    promptreals(ses, std::string(name) + " low,high", xs, n);
    low = xs[1];
    high = xs[2];
}

namespace {

constexpr real unsetbelow = -1e20L;
constexpr real notfound = 1e20L;

// The mark of a value above the window.
std::string_view abovemark(real x) {
    return x < notfound ? "+" : "*";
}

}  // namespace

void writetwin(const Windows& w, int width, std::string& line, real t) {
    // The window is held in kelvin and t comes in degrees C: the two conversions may differ in
    // the last bits, which must not push a window end outside its own window.
    constexpr real roundoff = 1e-9L;
    const real low = w.twinlow - 273.15L - roundoff;
    const real high = w.twinhigh - 273.15L + roundoff;
    if (t < unsetbelow) {
        addstr("", width, line);
    } else if (t < low) {
        addstr("-", width, line);
    } else if (t <= high) {
        if (w.tformat <= 0) {
            addgreal(width, line, t);
        } else {
            addreal(w.tformat, true, width, line, t);
        }
    } else {
        addstr(abovemark(t), width, line);
    }
}

void writepwin(const Windows& w, int width, std::string& line, real p) {
    if (p < unsetbelow) {
        addstr(" ", width, line);
    } else if (p < w.pwinlow) {
        addstr("-", width, line);
    } else if (p <= w.pwinhigh) {
        if (p > 99.9L) {
            addgreal(width, line, p);
            return;
        }
        // Small pressures keep their first significant digits.
        const real a = std::fabs(p);
        const int least = a >= 1 ? 1 : a >= 0.1L ? 2 : a >= 0.01L ? 3 : 4;
        addreal(std::max(least, int{w.pformat}), true, width, line, p);
    } else {
        addstr(abovemark(p), width, line);
    }
}

void writewinval(const Windows& w, int width, std::string& line, real x) {
    if (x < unsetbelow) {
        addstr(" ", width, line);
    } else if (x < w.xwinlow) {
        addstr("-", width, line);
    } else if (x <= w.xwinhigh) {
        addreal(ndecimals(x), true, width, line, x);
    } else {
        addstr(abovemark(x), width, line);
    }
}

}  // namespace qv
