// The projection plane of a run: its apices from the script or the console, the pure phases in
// excess as further apices, the plane's report and its script form.

#include "phasediagram/projection.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "phasediagram/bulk.hpp"
#include "phasediagram/bulkreader.hpp"
#include "script/readscripts.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr const char* proc = "readprojplane";

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// The names of the bulk components, "FeO" written "FeOt" when "O" is one of them.
Fixed1<std::string, maxcomp> bulknames(const Run& run, const ReducedSystem& rs, bool feot) {
    const SystemComponents& comps = run.dataset.components;
    Fixed1<std::string, maxcomp> names;
    bool hasO = false;
    for (int c = 1; c <= comps.ncomp; ++c)
        hasO = hasO || (rs.reducedcomp[c] && comps.compnames[c] == "O");
    int16 n = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (!rs.reducedcomp[c]) continue;
        names[++n] = feot && hasO && comps.compnames[c] == "FeO" ? "FeOt" : comps.compnames[c];
    }
    return names;
}

// An entry of the script form: 0, a whole number, or 3 decimals.
std::string scriptentry(real x) {
    if (x == 0) return "0";
    if (std::fabs(x - std::round(x)) < 1e-4L) return realstr(x);
    return realfixstr(3, true, x);
}

// The apices asked for at the console; false when the answers cannot be used.
bool askapices(Session& ses, const Run& run, ProjectionPlane& pl) {
    const int16 n = pl.nprojox;
    const int16 nu = pl.rs.nuvleft;
    const Fixed1<std::string, maxcomp> names = bulknames(run, pl.rs, false);
    std::string line = "compositions of the " + realstr(n) + "  apices are needed in terms of: ";
    for (int c = 1; c <= nu; ++c) line += names[c] + " ";
    putstr(ses, 1, line, 1, screenlogmask);
    putstr(ses, 0, "specify apices:", 1, screenlogmask);
    putstr(ses, 0, "    0: by oxide list (when each apex just an oxide)", 1, screenlogmask);
    putstr(ses, 0, "    1: apex by apex (eg when some apices are composite)", 1, screenlogmask);
    std::string answer;
    promptstring(ses, "code", answer);
    const valuetype t = whatis(answer);
    const int code = t == valuetype::aninteger && getinteger(t, answer, "for code") == 1 ? 1 : 0;
    auto words = std::make_unique<strings>();
    int16 nw = 0;
    if (code == 0) {
        promptstrings(ses, "oxide list (" + realstr(n) + " indices)", *words, nw);
        if (nw != n) promptstrings(ses, realstr(n) + " needed: try again", *words, nw);
        if (nw != n) {
            putstr(ses, 0, "still not correct: no projection will be undertaken", 1, screenlogmask);
            return false;
        }
        for (int i = 1; i <= n; ++i) {
            const std::string& w = (*words)[i];
            const valuetype wt = whatis(w);
            const int k = wt == valuetype::aninteger ? getinteger(wt, w, "for apex") : 0;
            if (k < 1 || k > nu) {
                putstr(ses, 0, "not all integers: no projection will be undertaken", 1,
                       screenlogmask);
                return false;
            }
            pl.apexnames[i] = names[k];
            pl.apices[i][k] = 1;
        }
        return true;
    }
    for (int i = 1; i <= n; ++i) {
        promptstrings(ses, ses.tables.ordinals[i] + " apex name", *words, nw);
        const std::string name = nw >= 1 ? (*words)[1] : std::string();
        pl.apexnames[i] = name;
        int k = 0;
        for (int c = 1; c <= nu; ++c) {
            if (names[c] == name) k = c;
        }
        if (k > 0) {
            pl.apices[i][k] = 1;
        } else if (nw - 1 == nu) {
            for (int c = 1; c <= nu; ++c) {
                const std::string& w = (*words)[c + 1];
                if (whatis(w) == valuetype::astring) bomb(proc, "short-cutting A", yourfault);
                real x = 0;
                std::string msg;
                if (!str2real(w, x, msg)) bomb(proc, "short-cutting B", yourfault);
                pl.apices[i][c] = x;
            }
        } else {
            rrvector xs;
            int16 m = nu;
            promptreals(ses, "apex composition", xs, m);
            for (int c = 1; c <= nu; ++c) pl.apices[i][c] = xs[c];
        }
    }
    return true;
}

// The plane in the form of the script's "projplane" block (log).
void printplanescript(Session& ses, const Run& run, const ProjectionPlane& pl) {
    const Fixed1<std::string, maxcomp> names = bulknames(run, pl.rs, true);
    const std::string rule = "% " + std::string(58, '-');
    putstr(ses, 2, "in form to copy to scriptfile:", 2, logmask);
    putstr(ses, 0, rule, 1, logmask);
    std::string line = "projplane" + std::string(10, ' ');
    for (int c = 1; c <= pl.rs.nuvleft; ++c) addstr(names[c], 6, line);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
    for (int i = 1; i <= pl.nprojox; ++i) {
        line = "projplane    ";
        addstr(pl.apexnames[i], -6, line);
        for (int c = 1; c <= pl.rs.nuvleft; ++c) addstr(scriptentry(pl.apices[i][c]), 6, line);
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, rule, 2, logmask);
}

// The first apex that lies in the plane of the apices before it, 0 when none does: one whose
// part outside that plane (`part`, its length) is below 1e-5, the level below which the
// projection's elimination takes an entry as 0. Such a plane projects no composition: each point
// would come out as a reaction among the apices.
int dependentapex(const ProjectionPlane& pl, real& part) {
    const int16 nu = pl.rs.nuvleft;
    auto basis = std::make_unique<Fixed1<cvector, maxprojapices>>();
    for (int i = 1; i <= pl.nprojox; ++i) {
        cvector v = pl.apices[i];
        real largest = 0;
        for (int c = 1; c <= nu; ++c) largest = std::max(largest, std::fabs(v[c]));
        if (!(largest > 0)) {
            part = 0;
            return i;
        }
        for (int c = 1; c <= nu; ++c) v[c] /= largest;  // (the lengths below are in these units)
        for (int k = 1; k < i; ++k) {
            real dot = 0;
            for (int c = 1; c <= nu; ++c) dot += v[c] * (*basis)[k][c];
            for (int c = 1; c <= nu; ++c) v[c] -= dot * (*basis)[k][c];
        }
        real rest = 0;
        for (int c = 1; c <= nu; ++c) rest += v[c] * v[c];
        rest = std::sqrt(rest);
        if (!(rest * largest >= 1e-5L)) {
            part = rest * largest;
            return i;
        }
        for (int c = 1; c <= nu; ++c) (*basis)[i][c] = v[c] / rest;
    }
    return 0;
}

}  // namespace

void addexcessapices(Run& run, ProjectionPlane& pl) {
    const prectype0& pure = *run.arrays.prec0;
    const SystemComponents& comps = run.dataset.components;
    pl.nexcesspure = 0;
    for (int j = 1; j <= run.npure; ++j) {
        if (!run.excess.excessflag[run.nss + j]) continue;
        if (pl.nprojox + 1 > maxprojapices) bomb(proc, "system too big", yourfault);
        ++pl.nexcesspure;
        const int16 a = ++pl.nprojox;
        pl.apexnames[a] = pure[j].name;
        pl.apices[a].fill(0);
        int16 r = 0;
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (!pl.rs.reducedcomp[c]) continue;
            pl.apices[a][++r] = static_cast<real>(pure[j].comp[c]) / comps.compdenom[c];
        }
    }
}

void readprojplane(Session& ses, Run& run, PdRun& pd) {
    ScriptSettings& sc = run.script;
    auto pl = std::make_shared<ProjectionPlane>();
    setter(run, pd.xco2varon, pd.compatrowon, pd.bulk);
    pl->rs = reducedsystem(pd.bulk);
    promptcontrol(ses, "use projection plane specified in scriptfile", sc.projplanecb);
    const SystemComponents& comps = run.dataset.components;
    const int need = comps.ncomp - run.excess.nexcess - (pd.xco2varon ? 1 : 0);
    const int16 nu = pl->rs.nuvleft;
    const bool script = yes(sc.projplanecb) && sc.nprojox == need && sc.nprojplaneox == nu;
    if (need > maxprojapices) bomb(proc, "too big", yourfault);
    if (need < 1) bomb(proc, "no projection plane", yourfault);
    pl->nprojox = narrow16(need);
    pl->fromscript = script;
    const Fixed1<std::string, maxcomp> names = bulknames(run, pl->rs, false);
    int16 nnames = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (pl->rs.reducedcomp[c]) ++nnames;
    }
    if (nnames != nu) bomb(proc, "wrong size of compname", yourfault);
    if (script) {
        for (int c = 1; c <= nu; ++c) {
            if (sc.tables->projox[c] != names[c]) bomb(proc, "oxides don't match", yourfault);
        }
    }
    int16 nexcesspure = 0;
    for (int j = 1; j <= run.npure; ++j) {
        if (run.excess.excessflag[run.nss + j]) ++nexcesspure;
    }
    std::string line = "projection plane has " + realstr(need) + " apices";
    if (run.excess.nexcess > 0) {
        line += ", leaving ";
        for (int c = 1; c <= nu; ++c) line += names[c] + " ";
    }
    putstr(ses, 1, line, 1, screensummarylogmask);
    if (run.excess.nexcess > 0) {
        line = "to be represented by ";
        for (int k = 1; k <= run.nss + run.npure; ++k) {
            if (!run.excess.excessflag[k]) continue;
            line += (k <= run.nss ? (*run.arrays.prec1)[k].name
                                  : (*run.arrays.prec0)[k - run.nss].name) +
                    " ";
        }
        putstr(ses, 0, line + "and the projection plane", 1, screensummarylogmask);
    }
    if (script) {
        for (int i = 1; i <= need; ++i) {
            std::string name = sc.tables->projapexname[i];
            if (name.empty()) name = realstr(i);
            pl->apexnames[i] = name;
            for (int c = 1; c <= nu; ++c) pl->apices[i][c] = sc.tables->projapex[i][c];
        }
    }
    // The plane with the pure phases in excess as its further apices.
    real part = 0;
    auto dependent = [&] {
        auto whole = std::make_unique<ProjectionPlane>(*pl);
        addexcessapices(run, *whole);
        const int i = dependentapex(*whole, part);
        return i == 0 ? std::string() : whole->apexnames[i];
    };
    const std::string what = " outside the plane of the apices before it";
    const std::string rule =
        "must be at least 1e-5: the apices of a projection plane are independent compositions";
    if (script) {
        const std::string apex = dependent();
        checkinput(apex.empty(), proc, "part of apex " + apex + what, part, rule,
                   scriptfilename(sc));
    } else {
        for (;;) {
            if (!askapices(ses, run, *pl)) {
                sc.projectioncb = controlboolean::no;
                return;
            }
            const std::string apex = dependent();
            if (typedinputok(ses, apex.empty(), "part of apex " + apex + what, part, rule)) break;
            for (int i = 1; i <= pl->nprojox; ++i) pl->apices[i].fill(0);
        }
        printplanescript(ses, run, *pl);
    }
    addexcessapices(run, *pl);
    putstr(ses, 1, script ? "projection plane (from script) " : "projection plane ", 1,
           screensummarylogmask);
    line = std::string(6, ' ');
    for (int c = 1; c <= nu; ++c) addstr(names[c], 8, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    for (int i = 1; i <= pl->nprojox - pl->nexcesspure; ++i) {
        line.clear();
        addstr(pl->apexnames[i], -6, line);
        for (int c = 1; c <= nu; ++c) addreal(3, true, 8, line, pl->apices[i][c]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    pd.proj = pl;
}

}  // namespace qv
