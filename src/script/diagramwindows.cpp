#include "script/diagramwindows.hpp"

#include "base/fatal.hpp"
#include "script/ptwindow.hpp"
#include "script/valuelists.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

const std::string degree = "\xA1";
const std::string mu = "\xB5";

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

std::string firstname(const Fixed1<NamedValue, 40>& list, int16 n) {
    return n > 0 ? list[1].name : std::string();
}

// Fluid end-members named as the section variable fix the fluid; others leave it to the user.
// An ln a or mu variable on H2O or CO2 means a pure fluid of that species.
void sectionfluid(Session& ses, ScriptSettings& s, FluidComposition& f, const std::string& name) {
    if (name == "CO2") {
        f.xco2cur = 1;
        f.xh2ocur = 0;
    } else if (name == "H2O") {
        f.xh2ocur = 1;
        f.xco2cur = 0;
    } else {
        promptfluid(ses, s, f);
    }
}

// The six section types, one row each.
struct Section {
    bool pwindow;       // window 1 is P; otherwise T
    const char* third;  // "x", "lna" or "mu"
    calcvariabletype calc;
    othervariabletype other;
};

void section(Session& ses, diagramtype mode, ScriptSettings& s, Windows& w, int16 variance,
             FluidComposition& f, std::string& lnalabel, bool askwindow, const Section& t) {
    const bool lna = std::string(t.third) == "lna";
    const bool muvar = std::string(t.third) == "mu";
    const std::string munm = firstname(s.mu, s.nmu);
    if (askwindow) {
        bool logs10 = false;
        if (lna) {
            s.setacb = controlboolean::no;
            s.lnacb = controlboolean::no;
            s.setlogacb = controlboolean::no;
            const std::string which = mode == diagramtype::plnacalc ? "P" : "T";
            if (query(ses, "for " + which + "-log a, are logs to be to the base 10")) {
                s.setlogacb = controlboolean::yes;
                logs10 = true;
                putstr(ses, 0, "logs are to the base 10", 1, screensummarylogmask);
            } else {
                s.lnacb = controlboolean::yes;
                putstr(ses, 0, "logs are to the base e (ie natural logs)", 1, screensummarylogmask);
            }
        }
        const std::string v1 = t.pwindow ? "P" : "T";
        std::string v2name;
        std::string v2prompt;
        if (lna) {
            v2name = logs10 ? "log a" : "ln a";
            v2prompt = v2name;
        } else if (muvar) {
            v2name = mu;
            v2prompt = mu + "(" + munm + ")";
        } else {
            v2name = "x(CO2)";
            v2prompt = v2name;
        }
        putstr(ses, 1, v1 + "-" + v2name + " window in which the phase diagram to be drawn", 1,
               screenlogmask);
        rrvector xs{};
        int16 n = 4;
        promptreals(ses, v1 + " low, high , " + v2prompt + " low, high", xs, n);
        real& low1 = t.pwindow ? w.pwinlow : w.twinlow;
        real& high1 = t.pwindow ? w.pwinhigh : w.twinhigh;
        real& low2 = lna ? w.lnawinlow : muvar ? w.muwinlow : w.xwinlow;
        real& high2 = lna ? w.lnawinhigh : muvar ? w.muwinhigh : w.xwinhigh;
        const real shift = t.pwindow ? 0 : 273.15L;
        low1 = xs[1] + shift;
        high1 = xs[2] + shift;
        low2 = xs[3];
        high2 = xs[4];
        w.calcvariable = t.calc;
        w.othervariable = t.other;
        if (variance >= 0 && variance <= 2) {
            const xOKtype ok1 = variance == 2 ? xOKtype::canbesame : xOKtype::mustbedifferent;
            const xOKtype ok2 = variance == 0 ? xOKtype::mustbedifferent : xOKtype::canbesame;
            if (t.pwindow) {
                checkpwindow(ses, w, low1, high1, ok1);
            } else {
                prompttwindow(ses, low1, high1, ok1);
            }
            if (lna) {
                lnawindowOK(ses, low2, high2, ok2);
            } else if (muvar) {
                muwindowOK(ses, low2, high2, ok2);
            } else {
                xco2windowOK(ses, low2, high2, ok2);
            }
        }
        if (t.pwindow) {
            w.pcur = 0.5L * (low1 + high1);
        } else {
            w.tcur = 0.5L * (low1 + high1);
        }
        if (lna) {
            w.lnacur = 0.5L * (low2 + high2);
            listlna(ses, w, 1, low2, high2, s.lnacb);
        } else if (muvar) {
            w.mucur = 0.5L * (low2 + high2);
            listmu(ses, w, 1, low2, high2);
        } else {
            f.xco2cur = 0.5L * (low2 + high2);
            f.xh2ocur = 1 - f.xco2cur;
            listxco2(ses, w);
        }
        if (t.pwindow) {
            w.ntvalues = 0;
        } else {
            w.npvalues = 0;
        }
    }
    // A fixed T at or below absolute zero, or P at or below 0 kbar, is asked again.
    if (t.pwindow) {
        do {
            promptreal(ses, "fixed T (in " + degree + "C)", w.tcur);
        } while (
            !typedinputok(ses, w.tcur + 273.15L > 0, "T", w.tcur, "must be above absolute zero"));
        w.tcur += 273.15L;
        w.twinlow = w.tcur;
        w.twinhigh = w.tcur;
    } else {
        do {
            promptreal(ses, "fixed P (in kbar)", w.pcur);
        } while (!typedinputok(ses, w.pcur > 0, "P", w.pcur, "must be above 0 kbar"));
        w.pwinlow = w.pcur;
        w.pwinhigh = w.pcur;
    }
    if (lna) {
        const std::string name = firstname(s.lna, s.nlna);
        lnalabel = name;
        if (name == "CO2" || name == "H2O") {
            sectionfluid(ses, s, f, name);
        } else {
            promptfluid(ses, s, f);
            putstr(ses, 1,
                   yes(s.lnacb) ? "for labelling purposes in ln a, "
                                : "for labelling purposes in log a, ",
                   0, screenlogmask);
            std::string answer;
            promptstring(ses, "replace name, '" + name + "', with", answer);
            lnalabel = answer.empty() ? name : answer;
        }
    } else if (muvar) {
        sectionfluid(ses, s, f, munm);
    }
}

}  // namespace

void univariantsetup(Session& ses, const ScriptSettings& s, Windows& w) {
    const bool tatp = yes(s.calctatpcb);
    w.othervariable = tatp ? othervariabletype::fixedpressure : othervariabletype::fixedtemperature;
    w.calcvariable = tatp ? calcvariabletype::calctemperature : calcvariabletype::calcpressure;
    if (w.calcvariable == calcvariabletype::calcpressure) {
        prompttwindow(ses, w.twinlow, w.twinhigh, xOKtype::canbesame);
        promptpwindow(ses, w.scaling.pminimum, w.pwinlow, w.pwinhigh, xOKtype::mustbedifferent);
    } else {
        prompttwindow(ses, w.twinlow, w.twinhigh, xOKtype::mustbedifferent);
        promptpwindow(ses, w.scaling.pminimum, w.pwinlow, w.pwinhigh, xOKtype::canbesame);
    }
}

void diagramwindowsetup(Session& ses, diagramtype diagram, ScriptSettings& s, Windows& w,
                        int16 variance, FluidComposition& fluid, std::string& lnalabel,
                        bool askwindow) {
    dofigPT(ses, s, w);
    switch (diagram) {
        case diagramtype::ptcalc: {
            if (askwindow) {
                promptcontrol(ses, "calculate T at P (rather than P at T)", s.calctatpcb);
                w.ptcalcsmode = yes(s.calctatpcb) ? 1 : 2;
                const bool tatp = w.ptcalcsmode == 1;
                specifyptcalcs(ses, s, w, w.ptcalcsmode, "",
                               tatp ? "P at which T of reactions to be calculated"
                                    : "P window within which reactions expected to lie",
                               tatp ? "T window within which reactions expected to lie"
                                    : "T at which P of reactions to be calculated");
                univariantsetup(ses, s, w);
                w.tcur = 0.5L * (w.twinlow + w.twinhigh);
                w.pcur = 0.5L * (w.pwinlow + w.pwinhigh);
                w.ntvalues = 1;
                w.npvalues = 1;
                w.pvalues[1] = w.pcur;
                w.tvalues[1] = w.tcur;
                if (w.othervariable == othervariabletype::fixedpressure) {
                    checkpinterval(ses, w, variance);
                } else if (w.othervariable == othervariabletype::fixedtemperature) {
                    checktinterval(ses, w);
                } else {
                    bomb("diagramwindowsetup", "othervariable", myfault);
                }
                w.nxvalues = 0;
            }
            const std::string name = firstname(s.lna, s.nlna);
            if (name == "H2O") {
                fluid.xh2ocur = 1;
                fluid.xco2cur = 0;
            } else if (name == "CO2") {
                fluid.xh2ocur = 0;
                fluid.xco2cur = 1;
            } else {
                promptfluid(ses, s, fluid);
            }
            w.xwinlow = fluid.xco2cur;
            w.xwinhigh = fluid.xco2cur;
            break;
        }
        case diagramtype::pxcalc:
            section(ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                    {true, "x", calcvariabletype::calcpressure,
                     othervariabletype::fixedmolefractionCO2});
            break;
        case diagramtype::txcalc:
            section(ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                    {false, "x", calcvariabletype::calctemperature,
                     othervariabletype::fixedmolefractionCO2});
            break;
        case diagramtype::plnacalc:
            section(
                ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                {true, "lna", calcvariabletype::calcpressure, othervariabletype::fixedlnactivity});
            break;
        case diagramtype::tlnacalc:
            section(ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                    {false, "lna", calcvariabletype::calctemperature,
                     othervariabletype::fixedlnactivity});
            break;
        case diagramtype::pmucalc:
            section(ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                    {true, "mu", calcvariabletype::calcpressure,
                     othervariabletype::fixedchemicalpotential});
            break;
        case diagramtype::tmucalc:
            section(ses, diagram, s, w, variance, fluid, lnalabel, askwindow,
                    {false, "mu", calcvariabletype::calctemperature,
                     othervariabletype::fixedchemicalpotential});
            break;
        default: bomb("diagram", "unknown diagrammode", myfault);
    }
}

}  // namespace qv
