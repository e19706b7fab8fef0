#include "utilities/emlist.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/dataset.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"
#include "thermo/makes.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

constexpr int noffered = 12;  // the first oxides of the built-in table

}  // namespace

void listsystem(Session& ses, Run& run) {
    readthermo(ses, run, 1);
    const ComponentTable& oxides = run.comps;
    std::string line = "components:";
    for (int i = 1; i <= noffered; ++i) line += oxides.oxidenames[i] + " ";
    putstr(ses, 1, line, 1, screenlogmask);
    strings words;
    int16 n = 0;
    promptstrings(ses, "which system?", words, n);
    if (n == 0) bomb("domakelist", "no system specified 1", yourfault);
    int nsys = 0;
    for (int i = 1; i <= n; ++i) {
        std::string& w = words[i];
        const valuetype kind = whatis(w);
        if (kind == valuetype::aninteger) {
            const int16 k = getinteger(kind, w, "compname");
            if (k >= 1 && k <= noffered) {
                w = oxides.oxidenames[k];
                ++nsys;
            }
            continue;
        }
        bool found = false;
        for (int k = 1; k <= noffered && !found; ++k) found = oxides.oxidenames[k] == w;
        for (int k = 1; k <= noffered && !found; ++k) {
            if (oxides.elementnames[k] == w) {
                w = oxides.oxidenames[k];
                found = true;
            }
        }
        if (found) ++nsys;
    }
    if (nsys == 0) bomb("domakelist", "no system specified 2", yourfault);

    Dataset& ds = run.dataset;
    ds.nem = ds.ndsem;
    for (int e = 1; e <= ds.ndsem; ++e) ds.emnames[e] = ds.dsnames[e];
    readthermo(ses, run, 2);
    const SystemComponents& comps = ds.components;
    Fixed1<bool, maxcomp> inside{};
    icvector sys{};
    for (int i = 1; i <= nsys; ++i) {
        int16 pos = 0;
        for (int c = 1; c <= comps.ncomp && pos == 0; ++c) {
            if (comps.compnames[c] == words[i]) pos = narrow16(c);
        }
        if (pos == 0) bomb("domakelist", "something wrong", yourfault);
        inside[pos] = true;
        sys[i] = pos;
    }
    const icmatrix& c = *run.arrays.c;
    int listed = 0;
    for (int e = 1; e <= ds.nem; ++e) {
        bool belongs = true;
        for (int r = 1; r <= maxcomp && belongs; ++r) belongs = inside[r] || c[r][e] == 0;
        if (!belongs) continue;
        if (listed % 31 == 0) {
            line = std::string(8, ' ');
            for (int i = 1; i <= nsys; ++i) addstr(comps.compnames[sys[i]], 7, line);
            putstr(ses, 1, line, 1, screensummarylogmask);
        }
        ++listed;
        line.clear();
        addstr(ds.emnames[e], 8, line);
        for (int i = 1; i <= nsys; ++i) {
            const int r = sys[i];
            const real amount = static_cast<real>(c[r][e]) / static_cast<real>(comps.compdenom[r]);
            int32 num = 0, den = 1;
            real2rational(amount, num, den);
            if (c[r][e] == 0) {
                addstr("-", 7, line);
            } else if (den == 1) {
                addgreal(7, line, num);
            } else {
                addgreal(5, line, num);
                addstr("/" + realstr(den), 0, line);
            }
        }
        addstr("", 5, line);
        addstr(ds.dstexts[e], 0, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

void activitiesfrommu(Session& ses, Run& run) {
    Dataset& ds = run.dataset;
    const SystemComponents& comps = ds.components;
    const icmatrix& c = *run.arrays.c;
    const ScriptSettings& sc = run.script;
    const bool given = sc.nmuval >= 1;
    const MuvalPoint none{};
    const MuvalPoint& pt = given ? sc.tables->muval[1] : none;
    Console& con = ses.console;
    auto writeline = [&](const std::string& s) { con.write(s + "\n"); };

    writeline("");
    std::string line(4, ' ');
    for (int k = 1; k <= comps.ncomp; ++k) addstr(comps.compnames[k], 6, line);
    writeline(line);
    line.clear();
    addstr("div", 4, line);
    for (int k = 1; k <= comps.ncomp; ++k) addgreal(6, line, comps.compdenom[k]);
    writeline(line);
    writeline("");
    for (int j = 1; j <= run.npure; ++j) {
        line.clear();
        addstr(ds.emnames[j], 4, line);
        for (int k = 1; k <= comps.ncomp; ++k) addgreal(6, line, c[k][j]);
        writeline(line);
    }
    writeline("");
    writeline(realstr(run.npure) + " " + realstr(comps.ncomp) + " " + realstr(pt.nmu));
    writeline("");

    GemSettings gs = gemsettings(run);
    gs.channelfluid = run.setup.channelfluid;
    const GemTables tab{*run.arrays.td, ds.emnames,
                        phasemakes(*run.arrays.prec0, *run.arrays.prec1)};
    for (int16 j = 1; j <= run.npure; ++j) {
        // The potentials of its components, weighted by its composition; a component without
        // a potential stops the run before G is needed.
        real musum = 0;
        for (int k = 1; k <= comps.ncomp; ++k) {
            if (c[k][j] == 0) continue;
            int found = 0;
            for (int i = 1; i <= pt.nmu && found == 0; ++i) {
                if (pt.munames[i] == comps.compnames[k]) found = i;
            }
            if (found == 0) bomb("acalc", comps.compnames[k] + " not recognised", yourfault);
            musum += pt.mu[found] * c[k][j] / static_cast<real>(comps.compdenom[k]);
        }
        tdvector& row = (*run.arrays.td)[j];
        row[27] = 0;
        row[28] = 0;
        const real g = gemdriver(ses, gs, tab, j, pt.p, pt.t);
        const real a = std::exp(-(g - musum) / (rgas * pt.t));
        line = "a(" + ds.emnames[j] + ") = ";
        addreal(4, true, 7, line, a);
        writeline(line);
    }
}

}  // namespace qv
