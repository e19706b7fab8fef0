#include "phasediagram/montecarlo.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/random.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

std::string num(real x) {
    std::string s;
    addreal(4, false, 0, s, x);
    return s;
}

// The parameter of line `p` in solution phase `ph`: its place found by name, so that a copy
// that dropped end-members takes the value only where the pair or end-member is kept.
real* parameter(ptype1& ph, const McParam& p, const std::string& param) {
    switch (p.kind) {
        case 1:
            for (int w = 1; w <= ph.nw; ++w) {
                if (ph.wname[w] != param) continue;
                if (p.abc == 1) return &ph.wa[w];
                if (p.abc == 2) return &ph.wb[w];
                if (p.abc == 3) return &ph.wc[w];
                bomb("domontecarlo", "bad abc code", yourfault);
            }
            return nullptr;
        case 2:
            for (int e = 1; e <= ph.nem; ++e) {
                if ("a(" + ph.em[e].name + ")" != param) continue;
                if (p.abc == 1) return &ph.alphaa[e];
                if (p.abc == 2) return &ph.alphab[e];
                if (p.abc == 3) return &ph.alphac[e];
                bomb("domontecarlo", "bad abc code", yourfault);
            }
            return nullptr;
        case 3:
            for (int e = 1; e <= ph.nem; ++e) {
                if ("DQF(" + ph.em[e].name + ")" != param) continue;
                if (p.abc == 1) return &ph.em[e].dqfa;
                if (p.abc == 2) return &ph.em[e].dqfb;
                if (p.abc == 3) return &ph.em[e].dqfc;
                bomb("domontecarlo", "bad abc code", yourfault);
            }
            return nullptr;
        default: bomb("domontecarlo", "bad variable code", yourfault);
    }
}

// The end-member of a DQF line in phase `ph`, 0 when the phase dropped it.
int dqfendmember(const ptype1& ph, const std::string& param) {
    for (int e = 1; e <= ph.nem; ++e) {
        if ("DQF(" + ph.em[e].name + ")" == param) return e;
    }
    return 0;
}

// The data row value (H, S or V) that a DQF part moves: S takes minus the b part.
real dqfsign(int16 abc) {
    return abc == 2 ? -1 : 1;
}

// Writes this trial's value of line m into every phase of the line, from the values at set-up.
void writeparam(Run& run, MonteCarlo& mc, int m) {
    const McParam& p = mc.lines[m];
    const std::string& param = (*run.script.tables).mc[m].param;
    prectype1& ss = *run.arrays.prec1;
    for (int i = 1; i <= p.nphases; ++i) {
        ptype1& ph = ss[p.phases[i]];
        real* target = parameter(ph, p, param);
        if (target == nullptr) continue;
        *target = p.value;
        if (p.kind == 3) {
            const int e = dqfendmember(ph, param);
            ph.em[e].td[p.abc] =
                mc.basetd[p.phases[i]][e][p.abc] + dqfsign(p.abc) * (p.value - p.original);
        }
    }
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// The lists of the run's Monte Carlo set-up on the drawing-program channel.
void writelists(Session& ses, const Run& run, const MonteCarlo& mc,
                const Fixed1<Fixed1<int16, maxfilters>, maxbatch>& filtercode) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const prectype1& ss = *run.arrays.prec1;
    // mcinfo: the lines with their own range.
    int nown = 0;
    for (int m = 1; m <= mc.nmc; ++m) {
        if (mc.lines[m].rangecode == 0) ++nown;
    }
    if (mc.nmc > 0) {
        if (nown == 0) {
            putstr(ses, 0, " mcinfo = {};", 1, vxmask);
        } else {
            int seen = 0;
            for (int m = 1; m <= mc.nmc; ++m) {
                const McParam& p = mc.lines[m];
                if (p.rangecode != 0) continue;
                ++seen;
                real shown = p.original;
                if (p.kind == 3) {
                    const ptype1& ph = ss[p.phases[1]];
                    const int e = dqfendmember(ph, tab.mc[m].param);
                    shown = mc.basetd[p.phases[1]][e][p.abc];
                }
                std::string line = seen == 1 ? " mcinfo = {{" : "           {";
                line += p.label + ", " + num(shown) + ", " + num(p.h) + "}";
                line += seen == nown ? "};" : ",";
                putstr(ses, 0, line, 1, vxmask);
            }
        }
    }
    // mcrange: each shared draw with the lines and function terms that use it.
    putstr(ses, 0, "", 1, vxmask);
    if (sc.nmcrange <= 0) {
        putstr(ses, 0, " mcrange = {};", 1, vxmask);
    }
    for (int k = 1; k <= sc.nmcrange; ++k) {
        const McRange& r = tab.mcrange[k];
        std::string line = k == 1 ? " mcrange = {{{" : "            {{";
        line += quoted(r.name) + ", " + num(r.value) + ", " + num(r.range) + "}, {";
        bool any = false;
        for (int m = 1; m <= mc.nmc; ++m) {
            if (mc.lines[m].rangecode != k) continue;
            if (any) line += ", ";
            line += mc.lines[m].label;
            any = true;
        }
        int refs = 0;
        for (int j = 1; j <= sc.nmcfunc; ++j) {
            const McFunc& f = tab.mcfunc[j];
            for (int t = 1; t <= f.nterms; ++t) {
                if (f.range[t] != k) continue;
                if (any) line += ", ";
                any = true;
                line += "{\"func" + realstr(j) + "\", \"term" + realstr(t) + "\"}";
                if (++refs % 6 == 0) {
                    putstr(ses, 0, line, 1, vxmask);
                    line = spaces(38);
                }
            }
        }
        line += k == sc.nmcrange ? "}}};" : "}},";
        putstr(ses, 0, line, 1, vxmask);
    }
    // mcfunc: each function's constant and terms.
    putstr(ses, 0, "", 1, vxmask);
    if (sc.nmcfunc <= 0) putstr(ses, 0, " mcfunc = {};", 1, vxmask);
    for (int j = 1; j <= sc.nmcfunc; ++j) {
        const McFunc& f = tab.mcfunc[j];
        std::string line = j == 1 ? " mcfunc = {{" : "           {";
        line += "(* " + realstr(j) + " *) " + quoted(f.name) + ", " + num(f.constant);
        for (int t = 1; t <= f.nterms; ++t) {
            line += ", " + num(f.coef[t]) + ", " + quoted(tab.mcrange[f.range[t]].name);
            if ((t == 8 || t == 16) && t < f.nterms) {
                putstr(ses, 0, line, 1, vxmask);
                line = spaces(13);
            }
        }
        line += j == sc.nmcfunc ? "}};" : "},";
        putstr(ses, 0, line, 1, vxmask);
    }
    putstr(ses, 0, "", 1, vxmask);
    // filter: per member its conditions.
    if (!sc.filtersgiven) {
        putstr(ses, 0, " filter = {{}};", 1, vxmask);
        return;
    }
    for (int b = 1; b <= sc.nbatch; ++b) {
        const FilterSet& set = tab.filterset[b];
        const bool lastmember = b == sc.nbatch;
        std::string line = b == 1 ? " filter = {{" : "           {";
        line += " (* " + realstr(tab.batchmap[b]) + " *) ";
        if (set.n == 0) {
            line += "{ }";
            line += lastmember ? " }};" : " },";
            putstr(ses, 0, line, 1, vxmask);
            continue;
        }
        line += "{";
        for (int c = 1; c <= set.n; ++c) {
            const Filter& f = set.filter[c];
            const int16 code = filtercode[b][c];
            std::string lo;
            std::string hi;
            if (code == 1) {
                addreal(1, true, 0, lo, f.low);
                addreal(1, true, 0, hi, f.high);
            } else if (code == 2) {
                lo = realstr(std::round(f.low - 273.15L));
                hi = realstr(std::round(f.high - 273.15L));
            } else {
                addreal(4, true, 0, lo, f.low);
                addreal(4, true, 0, hi, f.high);
            }
            line += " {" + realstr(code) + ", " + lo + ", " + hi + "}";
            if (c == set.n) {
                line += lastmember ? " }}};" : " }},";
            } else {
                line += ",";
                if (c % 8 == 0) {
                    putstr(ses, 0, line, 1, vxmask);
                    line = spaces(22);
                }
            }
        }
        putstr(ses, 0, line, 1, vxmask);
    }
}

}  // namespace

real normalrandom(WhSeeds& seeds, real mean, real sd) {
    real u1 = whrandom(seeds);
    if (u1 < 1e-10L) u1 = 1e-10L;
    const real u2 = whrandom(seeds);
    return mean + sd * std::sqrt(-2 * std::log(u1)) * std::cos(6.28319L * u2);
}

void setupmontecarlo(Session& ses, Run& run, const BatchState& bs, MonteCarlo& mc,
                     Fixed1<Fixed1<int16, maxfilters>, maxbatch>& filtercode) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    prectype1& ss = *run.arrays.prec1;
    // The variables of the members' filter conditions: 1 P, 2 T, 3.. the composition variables
    // of the member's solution phases in phase order.
    if (sc.filtersgiven) {
        for (int b = 1; b <= sc.nbatch; ++b) {
            const FilterSet& set = tab.filterset[b];
            for (int c = 1; c <= set.n; ++c) {
                const std::string& name = set.filter[c].name;
                int16 code = 0;
                if (name == "P") {
                    code = 1;
                } else if (name == "T") {
                    code = 2;
                } else {
                    int16 pos = 2;
                    for (int k = 1; k <= run.nss; ++k) {
                        if (!bs.memberphases()[b][k]) continue;
                        for (int v = 1; v <= ss[k].nvar; ++v) {
                            ++pos;
                            if (ss[k].var[v].name == name) code = pos;
                        }
                    }
                }
                if (code == 0) {
                    bomb("setupmontecarlo", "unrecognised variable name", yourfault);
                }
                filtercode[b][c] = code;
            }
        }
    }
    mc.mcon = true;
    if (std::fabs(sc.mctrials) < 1e-8L) bomb("solve", "mcit = 0", yourfault);
    mc.nmc = sc.nmc < 0 ? int16{0} : sc.nmc;
    // The data rows of every end-member as they stand: DQF trials move them from here.
    for (int k = 1; k <= run.nss; ++k) {
        for (int e = 1; e <= ss[k].nem; ++e) {
            for (int v = 1; v <= 3; ++v) mc.basetd[k][e][v] = ss[k].em[e].td[v];
        }
    }
    for (int m = 1; m <= mc.nmc; ++m) {
        const McLine& line = tab.mc[m];
        const McTarget& target = run.ax.mc[m];
        McParam& p = mc.lines[m];
        p = McParam{};
        p.kind = target.kind;
        p.index = target.index;
        p.abc = target.abc;
        p.h = line.range;
        auto phaseno = [&](const std::string& name) {
            for (int k = 1; k <= run.nss; ++k) {
                if (ss[k].name == name) return narrow16(k);
            }
            bomb("setupmontecarlo", "bad name \"" + name + "\"", yourfault);
        };
        p.phases[++p.nphases] = phaseno(line.phase);
        for (int i = 1; i <= target.nphases; ++i) p.phases[++p.nphases] = phaseno(target.phases[i]);
        if (line.relation[0] == 'f') {
            for (int j = 1; j <= sc.nmcfunc && p.rangecode == 0; ++j) {
                if (tab.mcfunc[j].name == line.relname) p.rangecode = narrow16(-j);
            }
            p.subcode = -2;
        } else if (!line.relname.empty()) {
            for (int k = 1; k <= sc.nmcrange && p.rangecode == 0; ++k) {
                if (tab.mcrange[k].name == line.relname) p.rangecode = narrow16(k);
            }
            p.subcode = 0;
        }
        // The value at set-up, from the first phase (the script's value replaced it there).
        if (p.kind < 1 || p.kind > 3) bomb("domontecarlo", "bad variable code", yourfault);
        if (p.abc < 1 || p.abc > 3) bomb("domontecarlo", "bad abc code", yourfault);
        const real* at = parameter(ss[p.phases[1]], p, line.param);
        if (at == nullptr) bomb("setupmontecarlo", "bad name \"" + line.param + "\"", yourfault);
        p.original = *at;
        p.value = p.original;
        const ptype1& ph = ss[p.phases[1]];
        const char* part = p.abc == 1 ? ")a\"" : p.abc == 2 ? ")b\"" : ")c\"";
        std::string label;
        if (p.kind == 1) {
            int i = 0;
            int j = 0;
            for (int t = 1; t <= ph.ngterm; ++t) {
                if (ph.gterm[t].term == p.index) {
                    i = ph.gterm[t].i;
                    j = ph.gterm[t].j;
                }
            }
            const std::string ei = i > 0 ? ph.em[i].name : "?";
            const std::string ej = j > 0 ? ph.em[j].name : "?";
            label = "\"w(" + ei + "," + ej + part;
        } else if (p.kind == 2) {
            label = "\"a(" + ph.em[p.index].name + part;
        } else {
            label = "\"DQF(" + ph.em[p.index].name + part;
        }
        p.label = label.substr(0, 22);
    }
    mc.rangevalue.fill(0);
    mc.ncorr = 0;
    if (sc.gaussmcon) {
        mc.mcdiag.fill(0);
        for (int k = 1; k <= sc.nmcrange; ++k) mc.mcdiag[++mc.ncorr] = 0.5L * tab.mcrange[k].range;
        for (int m = 1; m <= mc.nmc; ++m) {
            if (mc.lines[m].rangecode == 0) mc.mcdiag[++mc.ncorr] = 0.5L * mc.lines[m].h;
        }
    }
    if (sc.debuglev == 0 || yes(sc.mcdebugcb)) writelists(ses, run, mc, filtercode);
    for (int m = 1; m <= mc.nmc; ++m) {
        const McParam& p = mc.lines[m];
        if (p.rangecode >= 0) {
            mc.mcvalues[m] = p.rangecode == 0 ? p.original : tab.mcrange[p.rangecode].value;
        } else {
            const McFunc& f = tab.mcfunc[-p.rangecode];
            real v = f.constant;
            for (int t = 1; t <= f.nterms; ++t) v += f.coef[t] * mc.rangevalue[f.range[t]];
            mc.mcvalues[m] = v;
        }
    }
}

void domontecarlo(Session& ses, Run& run, MonteCarlo& mc) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const bool table = sc.debuglev > 0 && mc.nmc > 0;
    if (table) {
        putstr(ses, 1, std::string(78, '_'), 1, screensummarylogmask);
        putstr(ses, 0,
               "                      original     this mc  difference    original     this mc", 1,
               screensummarylogmask);
    }
    Fixed1<real, maxmcdraws> z{};
    if (sc.gaussmcon) {
        for (int k = 1; k <= mc.ncorr; ++k) z[k] = normalrandom(ses.seeds, 0, 1) * mc.mcdiag[k];
    }
    for (int k = 1; k <= sc.nmcrange; ++k) {
        mc.rangevalue[k] =
            sc.gaussmcon ? z[k] : tab.mcrange[k].range * (2 * whrandom(ses.seeds) - 1);
    }
    int n = sc.nmcrange;
    for (int m = 1; m <= mc.nmc; ++m) {
        McParam& p = mc.lines[m];
        const real o = p.original;
        const real h = p.h;
        if (p.rangecode == 0) {
            p.value = sc.gaussmcon ? o + z[++n] : o + h * (2 * whrandom(ses.seeds) - 1);
        } else if (p.subcode == 0) {
            p.value = o + mc.rangevalue[p.rangecode];
        } else if (p.subcode == -1) {
            p.value = (o - h) + (mc.rangevalue[p.rangecode] + h) * whrandom(ses.seeds);
        } else if (p.subcode == 1) {
            p.value = (o + h) - (h - mc.rangevalue[p.rangecode]) * whrandom(ses.seeds);
        } else if (p.subcode == -2) {
            const McFunc& f = tab.mcfunc[-p.rangecode];
            real v = o;
            for (int t = 1; t <= f.nterms; ++t) v += f.coef[t] * mc.rangevalue[f.range[t]];
            p.value = v;
        } else {
            bomb("domontecarlo", "bad rangecode", yourfault);
        }
        mc.mcvalues[m] = p.value;
        if (table) {
            std::string line;
            const std::string& lab = p.label;
            addstr(lab.size() >= 2 ? lab.substr(1, lab.size() - 2) : lab, -18, line);
            const real d = p.value - o;
            if (p.kind == 3) {
                const ptype1& ph = (*run.arrays.prec1)[p.phases[1]];
                const int e = dqfendmember(ph, tab.mc[m].param);
                const real stored = mc.basetd[p.phases[1]][e][p.abc];
                addreal(4, false, 12, line, stored);
                addreal(4, false, 12, line, stored + dqfsign(p.abc) * d);
                addreal(4, false, 12, line, d);
                addreal(4, false, 12, line, o);
                addreal(4, false, 12, line, p.value);
            } else {
                addreal(4, false, 12, line, o);
                addreal(4, false, 12, line, p.value);
                addreal(4, false, 12, line, d);
            }
            putstr(ses, 0, line, m == mc.nmc ? 2 : 1, screensummarylogmask);
        }
        writeparam(run, mc, m);
    }
}

void restoremontecarlo(Run& run, MonteCarlo& mc) {
    for (int m = 1; m <= mc.nmc; ++m) {
        mc.lines[m].value = mc.lines[m].original;
        mc.mcvalues[m] = mc.lines[m].original;
        writeparam(run, mc, m);
    }
}

}  // namespace qv
