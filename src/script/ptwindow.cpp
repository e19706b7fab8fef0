#include "script/ptwindow.hpp"

#include <algorithm>
#include <cmath>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

const std::string degreesc =
    "\xA1"
    "C";

void say(Session& ses, int before, const std::string& text, int after) {
    putstr(ses, before, text, after, screenlogmask);
}

// One variable's range of the calculations: typed when the script did not give it. `offset`
// turns a typed value into the held one (273.15 for temperatures typed in degrees C); the
// interval is a difference and takes no offset. A typed end whose held value is not above 0
// (a pressure of 0 kbar or below, a temperature at or below absolute zero) is refused and the
// range asked again.
struct RangePart {
    controlboolean fromscript;
    const char* name;  // "P" or "T"
    const char* prompt;
    const char* rule;  // why an end is refused
    real offset;
    real minall, maxall;
    real &low, &high, &inc;
    void (*addwindow)(const Windows&, std::string&);
};

bool typedendsok(Session& ses, const RangePart& r, const rrvector& xs, int16 n) {
    for (int i = 1; i <= std::min<int>(n, 2); ++i) {
        if (!typedinputok(ses, xs[i] + r.offset > 0, r.name, xs[i], r.rule)) return false;
    }
    return true;
}

void rangepart(Session& ses, const Windows& w, const RangePart& r, std::string_view text) {
    if (r.fromscript == controlboolean::no) {
        say(ses, 0, std::string(text), 1);
        rrvector xs{};
        int16 n = 0;
        do {
            n = 0;
            promptreals(ses, r.prompt, xs, n);
        } while (!typedendsok(ses, r, xs, n));
        if (n == 0) {
            r.low = r.minall;
            r.high = r.maxall;
        } else if (n == 1) {
            r.low = r.high = xs[1] + r.offset;
        } else {
            r.low = xs[1] + r.offset;
            r.high = xs[2] + r.offset;
            if (n >= 3) r.inc = xs[3];
        }
    } else {
        std::string line = std::string(text) + ": ";
        r.addwindow(w, line);
        say(ses, 0, line + " (from script)", 1);
    }
}

void ppart(Session& ses, const RunSetupSettings& s, Windows& w, std::string_view ptext) {
    rangepart(ses, w,
              {s.calcpcb, "P", "P calcs: between P(low) and P(high), with P increment",
               "must be above 0 kbar", 0, w.pminall, w.pmaxall, w.pwinlow, w.pwinhigh, w.pinc,
               addpwindow},
              ptext);
}

void tpart(Session& ses, const RunSetupSettings& s, Windows& w, std::string_view ttext) {
    rangepart(ses, w,
              {s.calctcb, "T", "T calcs: between T(low) and T(high), with T increment",
               "must be above absolute zero", 273.15L, w.tminall, w.tmaxall, w.twinlow, w.twinhigh,
               w.tinc, addtwindow},
              ttext);
}

}  // namespace

void dofigPT(Session& ses, const RunSetupSettings& s, Windows& w) {
    say(ses, 1, "specification of overall PT window:", 1);
    const bool fromscript = s.diagramptcb == controlboolean::yes;
    if (!fromscript) {
        say(ses, 1,
            "whereas quorvantis handles interactive input of overall PT window information, in", 1);
        say(ses, 0,
            "most cases this information is better entered in the scriptfile. For example, for a ",
            1);
        say(ses, 0,
            "PT pseudosection the window info is simply the PT range of the diagram being drawn.",
            2);
        if (query(ses, "stop, and put info in the scriptfile")) killrun();
        rrvector xs{};
        int16 n = 4;
        promptreals(ses, "overall PT window: P low,high T low,high (in kbar, " + degreesc + ")", xs,
                    n);
        w.pminall = xs[1];
        w.pmaxall = xs[2];
        w.tminall = xs[3] + 273.15L;
        w.tmaxall = xs[4] + 273.15L;
        if (w.pmaxall < w.pminall || w.tmaxall < w.tminall || w.pminall < w.scaling.pminimum ||
            w.pmaxall > pmaxlimit || w.tminall < tminlimit || w.tmaxall > tmaxlimit) {
            bomb("dofigPT", "inappropriate PT window input", yourfault);
        }
    }
    std::string line = "overall PT window is P: ";
    addreal(1, true, 0, line, w.pminall);
    line += " to ";
    addreal(1, true, 0, line, w.pmaxall);
    line += " kbar, and T: ";
    addgreal(0, line, w.tminall - 273.15L);
    line += " to ";
    addgreal(0, line, w.tmaxall - 273.15L);
    line += degreesc;
    if (fromscript) line += " (from script)";
    say(ses, 0, line, 1);
}

void specifyptcalcs(Session& ses, RunSetupSettings& s, Windows& w, ptcalcsmodetype ptcalcsmode,
                    std::string_view heading, std::string_view ptext, std::string_view ttext) {
    say(ses, 1, "specification of PT calcs:", 1);
    controlboolean& tcb = s.calctcb;
    controlboolean& pcb = s.calcpcb;
    constexpr auto yes = controlboolean::yes;
    constexpr auto ask = controlboolean::ask;
    if (tcb != yes || pcb != yes) {
        if (tcb == ask && pcb == ask) {
            promptcontrol(ses, "use PT calcs given in datafile", tcb);
            pcb = tcb;
        } else if (tcb == yes && pcb == ask) {
            promptcontrol(ses, "T calcs set; use P calcs given in datafile", pcb);
        } else if (tcb == ask && pcb == yes) {
            promptcontrol(ses, "P calcs set; use T calcs given in datafile", tcb);
        } else {
            promptcontrol(ses, "use T calcs given in datafile", tcb);
            promptcontrol(ses, "use P calcs given in datafile", pcb);
        }
    }
    switch (ptcalcsmode) {
        case 0:
            say(ses, 0, "using overall PT window for the " + std::string(heading), 1);
            w.pwinlow = w.pminall;
            w.pwinhigh = w.pmaxall;
            w.twinlow = w.tminall;
            w.twinhigh = w.tmaxall;
            break;
        case 1:
            ppart(ses, s, w, ptext);
            say(ses, 0, "using overall T window for the " + std::string(ttext), 1);
            w.twinlow = w.tminall;
            w.twinhigh = w.tmaxall;
            break;
        case 2:
            tpart(ses, s, w, ttext);
            say(ses, 0, "using overall P window for the " + std::string(ptext), 1);
            w.pwinlow = w.pminall;
            w.pwinhigh = w.pmaxall;
            break;
        default: ppart(ses, s, w, ptext); tpart(ses, s, w, ttext);
    }
}

void addtwindow(const Windows& w, std::string& line) {
    writetwin(w, 0, line, w.twinlow - 273.15L);
    if (std::fabs(w.twinlow - w.twinhigh) >= 0.0001L) {
        addstr(" to ", 0, line);
        writetwin(w, 0, line, w.twinhigh - 273.15L);
    }
    addstr(degreesc, 0, line);
}

void addpwindow(const Windows& w, std::string& line) {
    writepwin(w, 0, line, w.pwinlow);
    if (std::fabs(w.pwinlow - w.pwinhigh) >= 1e-6L) {
        addstr(" to ", 0, line);
        writepwin(w, 0, line, w.pwinhigh);
    }
    addstr(" kbar", 0, line);
}

}  // namespace qv
