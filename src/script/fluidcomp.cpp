#include "script/fluidcomp.hpp"

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

void writeline(Session& ses, const std::string& s, int before = 0) {
    putstr(ses, before, s, 1, screenlogmask);
}

void askboth(Session& ses, FluidComposition& f) {
    rrvector xs{};
    int16 n = 2;
    promptreals(ses, "fixed a(CO2), a(H2O)", xs, n);
    f.xco2cur = xs[1];
    f.xh2ocur = xs[2];
}

std::string fix4(real x) {
    return realfixstr(4, true, x);
}

}  // namespace

void promptfluid(Session& ses, ScriptSettings& s, FluidComposition& f) {
    promptcontrol(ses, "use the fluid composition given in the datafile", s.setfluidcb);
    bool usescript = s.setfluidcb == controlboolean::yes;
    if (usescript) {
        f.xco2cur = s.xco2cur;
        f.xh2ocur = s.xh2ocur;
        bool ok = true;
        if (f.co2 && !f.h2o) ok = f.xco2cur > 0;
        if (f.h2o && !f.co2) ok = f.xh2ocur > 0;
        if (f.h2o && f.co2) ok = f.xco2cur > 0 && f.xh2ocur > 0;
        if (!ok) {
            if (s.strictscriptingon) {
                bomb("promptfluid", "script x(H2O) and/or x(CO2) inappropriate", yourfault);
            }
            usescript = false;
            writeline(ses, "fluid composition in script is inappropriate so not used", 1);
        }
    }
    if (!usescript) {
        f.xh2ocur = 0;
        f.xco2cur = 0;
    }
    bool actmode = false;
    for (int pass = 1;; ++pass) {
        if (pass > 1 || !usescript) {
            if (!f.h2o && !f.co2) {
                if (f.crd) {
                    actmode = true;
                    writeline(ses, "for cordierite activity calculation");
                    askboth(ses, f);
                }
            } else if (f.runftype == ftype::absent) {
                actmode = true;
                if (!f.co2 && !f.crd) {
                    promptreal(ses, "fixed a(H2O)", f.xh2ocur);
                } else if (!f.h2o && !f.crd) {
                    promptreal(ses, "fixed a(CO2)", f.xco2cur);
                } else {
                    if (f.crd && (!f.h2o || !f.co2)) {
                        writeline(ses, "for cordierite activity calculation");
                    }
                    askboth(ses, f);
                }
            } else if (!f.co2) {
                if (query(ses, "fluid just H2O")) {
                    f.xh2ocur = 1;
                } else {
                    writeline(ses, "fluid is just H2O-CO2");
                    promptreal(ses, "fixed x(H2O)", f.xh2ocur);
                    f.runftype = ftype::ih2oco2;
                    f.xco2cur = 1 - f.xh2ocur;
                }
            } else if (!f.h2o) {
                if (query(ses, "fluid just CO2")) {
                    f.xco2cur = 1;
                } else {
                    writeline(ses, "fluid is just H2O-CO2");
                    promptreal(ses, "fixed x(CO2)", f.xco2cur);
                    f.runftype = ftype::ih2oco2;
                    f.xh2ocur = 1 - f.xco2cur;
                }
            } else {
                writeline(ses, "fluid is just H2O-CO2");
                promptreal(ses, "fixed x(CO2)", f.xco2cur);
                f.runftype = ftype::ih2oco2;
                f.xh2ocur = 1 - f.xco2cur;
            }
        }
        const bool h2ook = !f.h2o || f.xh2ocur > 0 || (f.crd && f.xh2ocur >= 0);
        const bool co2ok = !f.co2 || f.xco2cur > 0 || (f.crd && f.xco2cur >= 0);
        const bool sumok = actmode || f.xco2cur + f.xh2ocur <= 1.0001L;
        if (h2ook && co2ok && sumok) break;
        if (pass == 1 && usescript) {
            writeline(ses, "x(CO2), x(H2O) from script not valid : ");
            if (s.strictscriptingon) bomb("promptfluid", "bad values from script", yourfault);
        } else {
            writeline(ses, "not valid : ");
        }
    }
    if (!usescript) return;
    // Only reached with the script's values accepted in the first pass. A mixed H2O-CO2 fluid
    // from the script is the same fluid as one typed at the question: the run's fluid type
    // becomes the mixed one, so that the H2O-CO2 mixing term is not dropped.
    if ((f.h2o || f.co2) && f.runftype != ftype::absent && f.xco2cur > 0 && f.xh2ocur > 0) {
        f.runftype = ftype::ih2oco2;
    }
    const std::string tail = " ( from script ) ";
    if ((!f.h2o && !f.co2 && f.crd) || f.runftype == ftype::absent) {
        writeline(ses, "a(CO2) = " + fix4(f.xco2cur) + ", a(H2O) = " + fix4(f.xh2ocur) + tail);
    } else if (f.h2o || f.co2) {
        writeline(ses, "x(CO2) = " + fix4(f.xco2cur) + ", x(H2O) = " + fix4(f.xh2ocur) + tail);
    }
}

void fluidlabel(ftype runftype, real xco2cur, real xh2ocur, std::string& line) {
    if (!(xco2cur > 0) && !(xh2ocur > 0)) return;
    auto num = [](real x) { return realfixstr(ndecimals(x), true, x); };
    const bool act = runftype == ftype::absent;
    const std::string c = act ? "a(CO2) = " : "x(CO2) = ";
    const std::string h = act ? "a(H2O) = " : "x(H2O) = ";
    if (xco2cur > 0 && xh2ocur > 0) {
        addstr(" (for " + c + num(xco2cur) + " and ", 0, line);
        addstr(h + num(xh2ocur) + ")", 0, line);
    } else if (xh2ocur > 0) {
        addstr((act ? " (for " : "(for ") + h + num(xh2ocur) + ")", 0, line);
    } else {
        addstr(" (for " + c + num(xco2cur) + ")", 0, line);
    }
}

}  // namespace qv
