#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "base/fatal.hpp"
#include "script/scriptreader.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

using cbmember = controlboolean ScriptSettings::*;

struct SwitchKeyword {
    std::string_view keyword;
    cbmember setting;
};

// Keywords that only store their switch.
constexpr std::array switchkeywords{
    SwitchKeyword{"vorlacalc", &ScriptSettings::vorlacalccb},
    SwitchKeyword{"magemin", &ScriptSettings::magemincb},
    SwitchKeyword{"moreprec", &ScriptSettings::morepreccb},
    SwitchKeyword{"calcTatP", &ScriptSettings::calctatpcb},
    SwitchKeyword{"calctatp", &ScriptSettings::calctatpcb},
    SwitchKeyword{"fluidpresent", &ScriptSettings::fluidpresentcb},
    SwitchKeyword{"fluidexcess", &ScriptSettings::fluidexcesscb},
    SwitchKeyword{"defsdaparams", &ScriptSettings::defsdaparamscb},
    SwitchKeyword{"usedefsda", &ScriptSettings::usedefsdacb},
    SwitchKeyword{"printcor", &ScriptSettings::printcorcb},
    SwitchKeyword{"latex", &ScriptSettings::latexcb},
    SwitchKeyword{"compatibility", &ScriptSettings::compatibilitycb},
    SwitchKeyword{"fifi", &ScriptSettings::fificb},
    SwitchKeyword{"modebox", &ScriptSettings::modeboxcb},
    SwitchKeyword{"printbulkinfo", &ScriptSettings::printbulkinfocb},
    SwitchKeyword{"c8", &ScriptSettings::c8cb},
    SwitchKeyword{"oblique", &ScriptSettings::obliquecb},
    SwitchKeyword{"projcomp", &ScriptSettings::projcompcb},
    SwitchKeyword{"lsqds", &ScriptSettings::lsqdscb},
    SwitchKeyword{"calca(H2O)", &ScriptSettings::calcah2ocb},
    SwitchKeyword{"calcah2o", &ScriptSettings::calcah2ocb},
    SwitchKeyword{"calcmuo", &ScriptSettings::calcmuocb},
    SwitchKeyword{"calcmu", &ScriptSettings::calcmucb},
    SwitchKeyword{"usecalcq", &ScriptSettings::usecalcqcb},
    SwitchKeyword{"acceptvar", &ScriptSettings::acceptvarcb},
    SwitchKeyword{"autovar", &ScriptSettings::acceptvarcb},
    SwitchKeyword{"printxyz", &ScriptSettings::printxyzcb},
    SwitchKeyword{"printguessform", &ScriptSettings::printxyzcb},
    SwitchKeyword{"incnler", &ScriptSettings::incnlercb},
    SwitchKeyword{"justrelu", &ScriptSettings::justrelucb},
    SwitchKeyword{"pisr", &ScriptSettings::pisrcb},
    SwitchKeyword{"oisr", &ScriptSettings::pisrcb},
    SwitchKeyword{"dataok", &ScriptSettings::dataokcb},
    SwitchKeyword{"doallreactions", &ScriptSettings::doallreactionscb},
    SwitchKeyword{"doallr", &ScriptSettings::doallreactionscb},
    SwitchKeyword{"mcdebug", &ScriptSettings::mcdebugcb},
    SwitchKeyword{"batchdebug", &ScriptSettings::batchdebugcb},
    SwitchKeyword{"mcoutcurrentway", &ScriptSettings::mcoutcurrentwaycb},
    SwitchKeyword{"fractdebug", &ScriptSettings::fractdebugcb},
};

bool is(const ScriptReader& r, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) {
        if (r.keyword == n) return true;
    }
    return false;
}

void diagrampt(ScriptReader& r) {
    ScriptSettings& s = r.s;
    Windows& w = r.w;
    s.diagramptcb = r.cb;
    if (r.cb != controlboolean::yes) return;
    int16 n = 4;
    if (r.v.nscriptvalues < 4) {
        scriptmessage(r, ", 4 numbers needed to define a PT rectangle");
        ++r.ses.prefs.scriptproblems;
        s.diagramptcb = controlboolean::no;
        return;
    }
    if (!scriptreals(r, n)) {
        s.diagramptcb = controlboolean::no;
        return;
    }
    s.diagramptcb = scriptprange(r, w.pminall, w.pmaxall, 1, w.scaling.pminimum, 1500);
    if (s.diagramptcb == controlboolean::yes) {
        s.diagramptcb = scripttrange(r, w.tminall, w.tmaxall, 3);
    }
}

// "calcP" and "calcT": one value, a range, or a range with its interval.
void calcwindow(ScriptReader& r, bool pressure) {
    ScriptSettings& s = r.s;
    Windows& w = r.w;
    controlboolean& cb = pressure ? s.calcpcb : s.calctcb;
    real& low = pressure ? w.pwinlow : w.twinlow;
    real& high = pressure ? w.pwinhigh : w.twinhigh;
    low = pressure ? w.pminall : w.tminall;
    high = pressure ? w.pmaxall : w.tmaxall;
    cb = r.cb;
    if (r.cb != controlboolean::yes) return;
    const int16 nv = r.v.nscriptvalues;
    if (nv == 0) {
        putstr(r.ses, 1, "for " + r.keyword + "1, 2 or 3 numbers needed", 0, screenlogmask);
        ++r.ses.prefs.scriptproblems;
        cb = controlboolean::no;
        return;
    }
    int16 n = nv < 3 ? nv : int16{3};
    if (!scriptreals(r, n)) {
        cb = controlboolean::no;
        return;
    }
    if (nv == 1) {
        cb = pressure ? scriptonep(r, low, 1, w.pminall, w.pmaxall) : scriptonet(r, low, 1);
        high = low;
        return;
    }
    cb = pressure ? scriptprange(r, low, high, 1, w.pminall, w.pmaxall)
                  : scripttrange(r, low, high, 1);
    if (cb == controlboolean::yes && nv >= 3) (pressure ? w.pinc : w.tinc) = r.v.scriptvalreal[3];
}

std::string convergencepower(real x) {
    return "1e" + realfixstr(0, true, std::log10(x));
}

void convergence(ScriptReader& r) {
    if (r.cb != controlboolean::yes) return;
    int16 n = 4;
    if (!scriptreals(r, n)) return;
    for (int i = 1; i <= 4; ++i) r.s.convergence[i] = r.v.scriptvalreal[i];
    putstr(r.ses, 0, "conv: " + convergencepower(r.s.convergence[1]), 1, screenmask);
    for (int i = 2; i <= 4; ++i) {
        const real x = r.s.convergence[i];
        putstr(r.ses, 0, x == 0 ? std::string("0 ") : convergencepower(x), 1, screenmask);
    }
}

void calctype(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.calctype = 0;
    s.calctypecb = r.cb == controlboolean::yes ? controlboolean::yes : controlboolean::no;
    if (s.calctypecb != controlboolean::yes) return;
    const int16 high = r.opt.calctypemax;
    const int16 low = high > 0 ? int16{1} : int16{0};
    if (scriptinteger(r, low, high)) {
        s.calctype = r.v.scriptvalint[1];
    } else {
        s.calctypecb = controlboolean::no;
    }
}

void levelkeyword(ScriptReader& r, int16& level, int16 high) {
    level = 1;
    if (r.cb == controlboolean::no) return;
    if (scriptinteger(r, 0, high)) level = r.v.scriptvalint[1];
}

void figure(ScriptReader& r) {
    if (r.cb == controlboolean::no) return;
    const std::string w = r.v.nscriptvalues > 0 ? r.v.scriptvalword[1] : std::string();
    int16& f = r.s.figuretype;
    if (w == "P-T" || w == "PT") {
        f = 0;
    } else if (w == "T-x(CO2)" || w == "Tx(CO2)") {
        f = 1;
    } else if (w == "P-x(CO2)" || w == "Px(CO2)") {
        f = 2;
    } else if (w == "mu-mu") {
        f = 3;
    } else {
        bomb("reading scripts", w + " not recognised (remove from scriptfile)", yourfault);
    }
}

void negp(ScriptReader& r) {
    PTScaling& sc = r.w.scaling;
    sc.pminimum = -50;
    sc.pscale = 1 / (1500 - sc.pminimum);
    sc.poffset = -sc.pminimum * sc.pscale;
}

// "maxsdt", "maxsdp": the keyword alone sets its standard value; a value replaces it.
void maxsd(ScriptReader& r, controlboolean& cb, real& value, real standard, real low, real high) {
    value = standard;
    cb = r.cb;
    if (r.cb == controlboolean::no) return;
    if (scriptreal(r, low, high)) {
        value = r.v.scriptvalreal[1];
    } else {
        cb = controlboolean::no;
    }
}

void integercode(ScriptReader& r, int16& code) {
    if (r.cb == controlboolean::no) return;
    if (r.v.nscriptvalues >= 1 && r.v.scriptvaltype[1] == valuetype::aninteger) {
        code = r.v.scriptvalint[1];
    }
}

void exbuff(ScriptReader& r) {
    putstr(r.ses, 1, "the script, exbuff, is superceded: use instead", 1, screenlogmask);
    putstr(r.ses, 0, inquotes("figure T-x(CO2)") + " or " + inquotes("figure P-x(CO2)"), 1,
           screenlogmask);
    bomb("reading scripts", "exit, and use one of the new scripts", yourfault);
}

// Keywords with values: a switch no leaves the setting at its default.
bool valuekeyword(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const bool yes = r.cb == controlboolean::yes;
    if (is(r, {"strictscripting"})) {
        s.strictscriptingon = yes;
    } else if (is(r, {"autoexit"})) {
        r.ses.autoexiton = yes;
    } else if (is(r, {"numerical"})) {
        s.numericalon = yes;
    } else if (is(r, {"hqz"})) {
        s.hqzon = yes;
    } else if (is(r, {"axfile"})) {
        r.ses.prefs.axfilesuffix.clear();
        if (r.cb != controlboolean::no && r.v.nscriptvalues >= 1) {
            r.ses.prefs.axfilesuffix = r.v.scriptvalword[1];
        }
    } else if (is(r, {"diagramPT", "figurePT", "windowPT"})) {
        diagrampt(r);
    } else if (is(r, {"calcP"})) {
        calcwindow(r, true);
    } else if (is(r, {"calcT"})) {
        calcwindow(r, false);
    } else if (is(r, {"ptforaxe", "setptforaxe"})) {
        s.ptforaxecb = r.cb;
        int16 n = 2;
        if (r.cb == controlboolean::no) return true;
        if (scriptreals(r, n)) {
            s.ptforaxep = r.v.scriptvalreal[1];
            s.ptforaxet = r.v.scriptvalreal[2];
        } else {
            s.ptforaxecb = controlboolean::no;
        }
    } else if (is(r, {"convergence"})) {
        convergence(r);
    } else if (is(r, {"calctype"})) {
        calctype(r);
    } else if (is(r, {"debuglevel"})) {
        levelkeyword(r, s.debuglev, 6);
    } else if (is(r, {"debuglevelq"})) {
        levelkeyword(r, s.debuglevq, 4);
    } else if (is(r, {"outlevel"})) {
        levelkeyword(r, s.outputlevel, 1);
    } else if (is(r, {"vexlat"})) {
        s.vexlatcb = r.cb;
        s.vexlatvalue = 0;
        if (r.cb == controlboolean::no || r.v.nscriptvalues == 0) return true;
        if (scriptinteger(r, 0, 1)) s.vexlatvalue = r.v.scriptvalint[1];
    } else if (is(r, {"figure", "fig"})) {
        figure(r);
    } else if (is(r, {"negP", "negp"})) {
        negp(r);
    } else if (is(r, {"setrockname", "runname", "rockname"})) {
        s.runtitle.clear();
        s.setrocknamecb = r.cb;
        if (r.cb == controlboolean::no) return true;
        if (scriptstring(r)) {
            s.runtitle = r.v.scriptvalword[1];
        } else {
            s.setrocknamecb = controlboolean::no;
        }
    } else if (is(r, {"setfluid", "x(CO2)"})) {
        s.xco2cur = 0;
        s.xh2ocur = 1;
        s.setfluidcb = r.cb;
        if (r.cb == controlboolean::no) return true;
        if (scriptreal(r, 0, 1)) {
            s.xco2cur = r.v.scriptvalreal[1];
            s.xh2ocur = 1 - s.xco2cur;
        } else {
            s.setfluidcb = controlboolean::no;
        }
    } else if (is(r, {"maxsdt", "setmaxsdt"})) {
        maxsd(r, s.maxsdtcb, s.maxsdt, 50, 25, 600);
    } else if (is(r, {"maxsdp", "setmaxsdp"})) {
        maxsd(r, s.maxsdpcb, s.maxsdp, 5, 0.05L, 20);
    } else if (is(r, {"utilitycode"})) {
        integercode(r, s.utilitycode);
    } else if (is(r, {"tablecode"})) {
        integercode(r, s.tablecode);
    } else if (is(r, {"recalccode"})) {
        integercode(r, s.recalccode);
    } else if (is(r, {"exbuff"})) {
        exbuff(r);
    } else if (is(r, {"calcsdnle"})) {
        putstr(r.ses, 0, "calcsdnle not available in du351", 1, screenmask);
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool runkeyword(ScriptReader& r) {
    // A Schreinemakers analysis is the opposite of calculating all reactions: its yes and no
    // store the other switch word, and its ask leaves the choice as it was.
    if (r.keyword == "schreinemakers" || r.keyword == "doschreinemakers") {
        if (r.cb == controlboolean::yes) r.s.doallreactionscb = controlboolean::no;
        if (r.cb == controlboolean::no) r.s.doallreactionscb = controlboolean::yes;
        return true;
    }
    for (const SwitchKeyword& k : switchkeywords) {
        if (r.keyword == k.keyword) {
            r.s.*k.setting = r.cb;
            return true;
        }
    }
    return valuekeyword(r);
}

}  // namespace qv
