#include "thermo/lnavars.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/valuelists.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

void stdoutline(Session& ses, const std::string& s) {
    ses.console.write(s);
    ses.console.write("\n");
}

// Puts phase k in excess and among the phases every equilibrium must contain.
void mustbeinexcess(Run& run, int k) {
    ExcessPhases& x = run.excess;
    if (k > maxrunphases) return;
    if (!x.excessflag[k]) ++x.nexcess;
    x.excessflag[k] = true;
    if (!x.mustflag[k]) ++x.nmust;
    x.mustflag[k] = true;
}

}  // namespace

void promptmuwindow(Session& ses, Run& run, int16 k, int16 slot) {
    const std::string prompt = "mu(" + run.script.mu[k].name + "): low, high";
    rrvector xs{};
    int16 n = 0;
    promptreals(ses, prompt, xs, n);
    real low = xs[1];
    real high = xs[1];
    if (n == 0) {
        n = 2;
        promptreals(ses, prompt, xs, n);
        low = xs[1];
        high = xs[2];
    } else if (n >= 2) {
        high = xs[2];
    }
    Windows& w = run.windows;
    muwindowOK(ses, low, high, xOKtype::canbesame);
    w.muwinlow = low;
    w.muwinhigh = high;
    listmu(ses, w, slot, low, high);
}

void setupmu(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    const SystemComponents& comps = run.dataset.components;
    prectype0& pure = *run.arrays.prec0;
    const int np00 = run.npure;
    int16 kept = 0;
    for (int k = 1; k <= sc.nmu; ++k) {
        int c = 0;
        for (int r = 1; r <= comps.ncomp && c == 0; ++r) {
            if (comps.compnames[r] == sc.mu[k].name) c = r;
        }
        if (c == 0) continue;  // not a component of the system
        ++kept;
        ++run.dataset.nem;
        ++run.npure;
        ++run.nphread;
        if (run.npure > maxpure || run.nphread > maxss) {
            bomb("setupmu", "with mu 'phase', max no of phases exceeded", yourfault);
        }
        if (run.dataset.nem > maxem)
            bomb("setupmu", "too many end-members" + maxtext(maxem), yourfault);
        mustbeinexcess(run, run.nphread);
        ptype0& ph = pure[run.npure];
        ph = ptype0{};
        ph.name = sc.mu[k].name;
        ph.emname = sc.mu[k].name;
        ph.comp[c] = narrow16(comps.compdenom[c]);
        for (int i = 1; i <= np00; ++i) {
            bool same = true;
            for (int r = 1; r <= comps.ncomp && same; ++r) same = pure[i].comp[r] == ph.comp[r];
            if (!same) continue;
            stdoutline(ses, "i = " + realstr(i) + ", j = " + realstr(comps.ncomp) +
                                ", k = " + realstr(c) + ", ii = " + realstr(k));
            stdoutline(ses, "np00 = " + realstr(np00) + ", nuv = " + realstr(comps.ncomp));
            bomb("setupmu", sc.mu[k].name + " is same as " + pure[i].name, yourfault);
        }
        ph.td.fill(0);
        Windows& w = run.windows;
        if (sc.mu[k].value == 0) {
            promptmuwindow(ses, run, narrow16(k), kept);
            ph.td[1] = w.muvalues[kept][1];
        } else {
            w.muvalues[kept][1] = sc.mu[k].value;
            ph.td[1] = sc.mu[k].value;
        }
        sc.mu[kept].name = sc.mu[k].name;
        sc.mu[kept].value = sc.mu[k].value;
        sc.mu[kept].given = sc.mu[k].value != 0;
        ph.dqfa = 0;
        ph.dqfb = 0;
        ph.dqfc = 0;
        ph.nmake = 0;
        ph.activity = 1;
    }
    sc.nmu = kept;
}

void setuplna(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    const prectype0& pure = *run.arrays.prec0;
    strings names{};
    for (int k = 1; k <= run.npure; ++k) names[k] = pure[k].name;
    stdoutline(ses, "in setup lna");
    std::string line = "   " + sc.lna[1].name + " : ";
    for (int k = 1; k <= run.npure; ++k) line += names[k] + " ";
    int16 pos = 0;
    if (posinlist(sc.lna[1].name, names, run.npure, pos)) line += ": " + realstr(pos);
    stdoutline(ses, line);
    Windows& w = run.windows;
    int16 kept = 0;
    for (int k = 1; k <= sc.nlna; ++k) {
        int16 p = 0;
        if (!posinlist(sc.lna[k].name, names, run.npure, p)) continue;
        ++kept;
        if (kept > maxlnamu)
            bomb("setuplna", "too many ln a variables" + maxtext(maxlnamu), yourfault);
        const NamedValue v = sc.lna[k];
        sc.lna[kept].name = v.name;
        mustbeinexcess(run, run.nss + p);
        if ((v.name == "H2O" && run.runftype == ftype::h2o) ||
            (v.name == "CO2" && run.runftype == ftype::co2)) {
            run.runftype = ftype::absent;
        }
        sc.lna[kept].given = false;
        if (v.value < 9.9L) {
            sc.lna[kept].given = true;
            sc.lna[kept].value = v.value;
            w.lnavalues[kept][1] = v.value;
        }
        std::string l = "   ";
        addstr(sc.lna[kept].given ? "1" : "0", 2, l);
        l += " ln a = ";
        addreal(5, true, 10, l, w.lnavalues[1][1]);
        stdoutline(ses, l);
        run.excess.lnaref[kept] = pure[p].td[2];
        l = "   ln a name = ";
        addstr(sc.lna[1].name, 8, l);
        addstr(run.special.lnalabel, 8, l);
        addreal(4, true, 12, l, sc.lna[1].value);
        stdoutline(ses, l);
    }
    sc.nlna = kept;
}

}  // namespace qv
