#include "reactiondiagram/phasecalcs.hpp"

#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/components.hpp"
#include "model/emchoice.hpp"
#include "model/inexcess.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "reactiondiagram/intersections.hpp"
#include "reactiondiagram/ptxtable.hpp"
#include "reactiondiagram/runlines.hpp"
#include "script/diagramwindows.hpp"
#include "script/fluidcomp.hpp"
#include "solver/calcre.hpp"
#include "solver/lsqds.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

// Variance of ln a of each end-member from its activity uncertainty; unit activities keep 0.
void setlnavar(Run& run) {
    Dataset& ds = run.dataset;
    for (int k = 1; k <= ds.nem; ++k) {
        ds.emlnavar[k] = 0;
        if (!run.setup.activitysd) continue;
        const real a = ds.emact[k];
        if (a > 0 && a < 1) ds.emlnavar[k] = (ds.emsda[k] / a) * (ds.emsda[k] / a);
    }
}

std::string headingof(diagramtype mode) {
    switch (mode) {
        case diagramtype::ptcalc: return "pressure-temperature calculations";
        case diagramtype::txcalc: return "temperature-x(CO2) calculations";
        case diagramtype::pxcalc: return "pressure-x(CO2) calculations";
        case diagramtype::tlnacalc: return "temperature-log a calculations";
        case diagramtype::plnacalc: return "pressure-log a calculations";
        case diagramtype::tmucalc: return "temperature-\xB5 calculations";
        case diagramtype::pmucalc: return "pressure-\xB5 calculations";
    }
    bomb("phasediagramcalcs", "unknown diagrammode", myfault);
}

// The activities of the end-members that are not unit, as a short list or in blocks of eight.
void activityreport(Session& ses, Run& run) {
    Dataset& ds = run.dataset;
    const SpecialEms& sp = run.special;
    auto isfluidorlna = [&](int i) { return i == sp.h2oem || i == sp.co2em || i == sp.lnaem; };
    int nflagged = 0;
    Fixed1<bool, maxem> flagged{};
    for (int i = 1; i <= ds.nem; ++i) {
        flagged[i] = !isfluidorlna(i) && ds.emact[i] < 0.999L;
        if (flagged[i]) ++nflagged;
    }
    if (nflagged == 0) {
        for (int i = 1; i <= ds.nem; ++i) ds.emlnavar[i] = 0;
        putstr(ses, 1, "Unit activities", 1, screensummarylogmask);
        return;
    }
    setlnavar(run);
    if (nflagged < 4) {
        putstr(ses, 1, "Unit activities except :", 1, screensummarylogmask);
        std::string line;
        addstr("name", 9, line);
        addstr("a", 9, line);
        addstr("sd(ln a)", 9, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
        for (int i = 1; i <= ds.nem; ++i) {
            if (!flagged[i]) continue;
            line.clear();
            addstr(ds.emnames[i], 9, line);
            addreal(3, false, 9, line, ds.emact[i]);
            addreal(5, true, 9, line, std::sqrt(ds.emlnavar[i]));
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
        return;
    }
    iemvector shown{};
    int n = 0;
    for (int i = 1; i <= ds.nem; ++i) {
        if (i != sp.h2oem && i != sp.co2em) shown[++n] = narrow16(i);
    }
    for (int first = 1; first <= n; first += 8) {
        const int last = std::min(first + 7, n);
        std::string names(10, ' ');
        std::string acts;
        std::string sds;
        addstr("a", -10, acts);
        addstr("sd(ln a)", -10, sds);
        for (int j = first; j <= last; ++j) {
            const int i = shown[j];
            addstr(ds.emnames[i], 9, names);
            addreal(3, false, 9, acts, ds.emact[i]);
            addreal(5, true, 9, sds, std::sqrt(ds.emlnavar[i]));
        }
        putstr(ses, 1, names, 1, screensummarylogmask);
        putstr(ses, 0, acts, 1, screensummarylogmask);
        putstr(ses, 0, sds, 1, screensummarylogmask);
    }
}

// The reactions among the end-members in the window, their tables and, for a Schreinemakers
// analysis of more than two reactions, the invariant points.
void reactiondiagram(Session& ses, Run& run, bool allreactionson) {
    Dataset& ds = run.dataset;
    SpecialEms& sp = run.special;
    Windows& w = run.windows;
    auto st = std::make_unique<DiagramState>();
    st->mode = run.diagrammode;
    st->calcvariable = w.calcvariable;
    st->othervariable = w.othervariable;
    st->calcfindtype =
        w.calcvariable == calcvariabletype::calcpressure ? findtype::findp : findtype::findt;
    st->allreactionson = allreactionson;

    GemSettings gs = gemsettings(run);
    gs.channelfluid = run.setup.channelfluid;
    ReactionTables tab{*run.arrays.td, ds.emnames, phasemakes(*run.arrays.prec0, *run.arrays.prec1),
                       ds.nem,         ds.emact,   sp.h2oem,
                       sp.co2em,       sp.aqsiem};
    ReactionEval ev{ses, gs, tab, *run.arrays.r, w, run.diagrammode, sp.lnaem, sp.muem};
    ev.activitysd = run.setup.activitysd;
    ev.sectionturns = true;  // the diagram's sections turn reactions into their variables
    const PositionData data{*run.arrays.cov, ds.emsda};
    auto rl = std::make_unique<ReactionLists>();
    rl->lnaterm = {sp.lnarefvalue, run.script.setlogacb == controlboolean::yes};
    const CompositionTables ct{*run.arrays.c, ds.components, ds.emnames, ds.nem};
    ReactionSearch search{ev,
                          data,
                          ct,
                          *rl,
                          run.nreac,
                          ds.nrxem,
                          {w.pcur, w.tcur, run.xco2cur, run.xh2ocur},
                          allreactionson,
                          avtype::avpmode,
                          0,
                          sp.lnaem,
                          sp.lnalabel};
    search.use = SearchUse::reactiondiagram;
    calcre(search);
    if (run.nreac == 0) return;

    DiagramRun dr{w,
                  run.script,
                  *run.arrays.td,
                  *run.arrays.cov,
                  ds.emnames,
                  ds.emact,
                  ds.emsda,
                  *run.arrays.r,
                  run.nreac,
                  rl->rxntext,
                  rl->rphasesets,
                  rl->intersections,
                  rl->nintersect,
                  ds.nem,
                  ds.nrxem,
                  sp.nexcessem,
                  sp.h2oem,
                  sp.co2em,
                  sp.lnaem,
                  sp.lnalabel,
                  sp.muem,
                  sp.muem > 0 ? ds.emnames[sp.muem] : std::string(),
                  sp.lnarefvalue,
                  std::string(),
                  w.pcur,
                  w.tcur,
                  run.xco2cur,
                  run.xh2ocur};
    fluidlabel(run.runftype, run.xco2cur, run.xh2ocur, dr.fluidlabeltext);
    RunReactionLines lines(ev, data, *rl);
    Diagram d{ses, *st, dr, lines};
    ptxtable(d);
    if (!allreactionson && run.nreac > 2) intersections(d);
}

}  // namespace

SetupOptions diagramsetup() {
    SetupOptions o;
    o.script = ScriptOptions{.utilityrun = false, .calctypemax = 5, .lnaonly = false};
    o.clearcolours = false;
    o.channelfluid = true;
    o.activitysd = true;
    return o;
}

void getdiagramtype(Session& ses, Run& run) {
    int16 code = run.script.calctype;
    if (code < 1 || code > 5) {
        putstr(ses, 1, "code for type of phase diagram :", 1, screenlogmask);
        for (const char* item : {"        1 : pressure-temperature",
                                 "        2 : temperature-x(CO2)", "        3 : pressure-x(CO2)",
                                 "        4 : temperature-log a", "        5 : pressure-log a"}) {
            putstr(ses, 0, item, 1, screenlogmask);
        }
        promptinteger(ses, "code", code);
    }
    if (code < 1 || code > 5) code = 1;
    switch (code) {
        case 2: run.diagrammode = diagramtype::txcalc; break;
        case 3: run.diagrammode = diagramtype::pxcalc; break;
        case 4: run.diagrammode = diagramtype::tlnacalc; break;
        case 5: run.diagrammode = diagramtype::plnacalc; break;
        default: run.diagrammode = diagramtype::ptcalc;
    }
    if (code == 2 || code == 3) {
        run.script.fluidpresentcb = controlboolean::yes;
        run.runftype = ftype::ih2oco2;
    }
}

void setupphasecalcs(Session& ses, Run& run) {
    startrun(ses, run);
    getdiagramtype(ses, run);
    extractem(ses, run, extractem_steps());
    clean(ses, run);
    setspecialphases(run);
    inexcess(ses, run);
}

void phasediagramcalcs(Session& ses, Run& run) {
    run.nreac = 0;
    std::string heading = headingof(run.diagrammode);
    if (run.script.calctype >= 1 && run.script.calctype <= 5) heading += " (from script)";
    putstr(ses, 1, heading, 1, screensummarylogmask);

    run.variance = 1;
    setspecialphases(run);
    SpecialEms& sp = run.special;
    FluidComposition fluid{sp.h2oem > 0, sp.co2em > 0, sp.crdem != 0 || sp.fcrdem != 0,
                           run.runftype, run.xco2cur,  run.xh2ocur};
    Windows& w = run.windows;
    diagramwindowsetup(ses, run.diagrammode, run.script, w, run.variance, fluid, sp.lnalabel, true);

    Dataset& ds = run.dataset;
    auto unit = [&](int16 i) {
        if (i <= 0) return;
        ds.emact[i] = 1;
        ds.emsda[i] = 0;
    };
    switch (run.diagrammode) {
        case diagramtype::pxcalc:
        case diagramtype::txcalc:
            unit(sp.h2oem);
            unit(sp.co2em);
            break;
        case diagramtype::plnacalc:
        case diagramtype::tlnacalc: unit(sp.lnaem); break;
        case diagramtype::pmucalc:
        case diagramtype::tmucalc:
            if (sp.muem > 0) {
                (*run.arrays.td)[ds.nem][1] = 0.5L * (w.muwinlow + w.muwinhigh);
                unit(sp.muem);
            }
            break;
        default: break;
    }
    activityreport(ses, run);

    if (w.calcvariable != calcvariabletype::calcpressure &&
        w.calcvariable != calcvariabletype::calctemperature) {
        bomb("ptxtable", "unknown calcvariable", myfault);
    }
    const controlboolean all = run.script.doallreactionscb;
    bool allreactionson = all == controlboolean::yes;
    if (all == controlboolean::ask) {
        putstr(ses, 1, "required action:", 1, screenlogmask);
        putstr(ses, 0, " 0: do Schreinemakers (reactions which cannot be stable in the ", 1,
               screenlogmask);
        putstr(ses, 0, "     window not calculated)", 1, screenlogmask);
        putstr(ses, 0, " 1: calculate all reactions within the window regardless of stability", 1,
               screenlogmask);
        int16 code = 0;
        promptinteger(ses, "code", code);
        allreactionson = code != 0;
    }
    reactiondiagram(ses, run, allreactionson);
}

}  // namespace qv
