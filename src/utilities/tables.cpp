#include "utilities/tables.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "solver/calcre.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"
#include "thermo/fluids.hpp"
#include "thermo/makes.hpp"
#include "thermo/reactions.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

constexpr real kelvin = 273.15L;
const std::string degc =
    " \xC2\xB0"
    "C";  // " °C" in UTF-8

// The m typed values of a grid variable as its grid (shifted by `shift`): a single value, a
// list, or a range of 2 to 40 values.
void typedgrid(const rrvector& xs, int16 m, real shift, PtGrid::Values& out, int16& n) {
    if (m == 0) {
        n = 1;
        out[1] = 5 + shift;
        return;
    }
    if (m != 3 || xs[2] < xs[3]) {
        n = m;
        for (int i = 1; i <= m; ++i) out[i] = xs[i] + shift;
        return;
    }
    const real start = xs[1], finish = xs[2];
    real interval = xs[3];
    if (interval == 0 || finish < start) bomb("PTgrid", "odd P", yourfault);
    long count = std::lround((finish - start) / interval) + 1;
    if (count < 2 || count > 40) {
        count = 10;
        interval = (finish - start) / 10;
    }
    n = narrow16(count);
    for (int i = 1; i <= n; ++i) out[i] = start + (i - 1) * interval + shift;
    if (start == 0) out[1] = shift > 0 ? 298.15L : 0.001L;
}

// The way `typedinputok` names a value typed for P (kbar) or T (degrees C), and why it is refused.
struct TypedPT {
    const char* name;
    const char* rule;
};
constexpr TypedPT typedp{"P", "must be above 0 kbar"};
constexpr TypedPT typedt{"T", "must be above absolute zero"};

// One grid variable: fixed by the script, or typed. A typed grid holding a pressure of 0 kbar
// or below or a temperature at or below absolute zero is asked again.
void gridvalues(Session& ses, bool fixed, real fixedvalue, const std::string& prompt,
                bool temperature, PtGrid::Values& out, int16& n) {
    if (fixed) {
        n = 1;
        out[1] = fixedvalue;
        return;
    }
    const real shift = temperature ? kelvin : 0;
    const TypedPT& typed = temperature ? typedt : typedp;
    for (;;) {
        rrvector xs{};
        int16 m = 0;
        promptreals(ses, prompt, xs, m);
        typedgrid(xs, m, shift, out, n);
        int bad = 0;
        for (int i = n; i >= 1; --i) {
            if (!(out[i] > 0)) bad = i;
        }
        if (bad == 0) return;
        typedinputok(ses, false, typed.name, out[bad] - shift, typed.rule);
    }
}

// Values written k per line on the drawing-program channel, the line continued after every 12
// with `cont`.
struct ListLine {
    Session& ses;
    std::string line;
    std::string cont;
    int count = 0;
    void add(const std::string& field) {
        if (count > 0 && count % 12 == 0) {
            putstr(ses, 0, line, 1, vxmask);
            line = cont;
        }
        line += field;
        ++count;
    }
};

void mathlist(Session& ses, const std::string& open, const PtGrid::Values& v, int16 n, int d,
              real shift, int after) {
    ListLine l{ses, open, "      ", 0};
    for (int i = 1; i <= n; ++i) {
        std::string f;
        addreal(d, true, 8, f, v[i] - shift);
        l.add(f + (i < n ? "," : "};"));
    }
    putstr(ses, 0, l.line, after, vxmask);
}

// x in fixed notation with 10 decimals. The shared formatter holds at most about ten significant
// digits, fewer than a Gibbs energy of thousands of kJ with 10 decimals needs, so the number is
// written in pieces: the whole part, then the decimals five at a time.
std::string fixed10(real x) {
    const real scaled = std::round(std::fabs(x) * 1e10L);
    const real whole = std::floor(scaled / 1e10L);
    const real fraction = scaled - whole * 1e10L;
    const real high = std::floor(fraction / 1e5L);
    const real low = fraction - high * 1e5L;
    auto five = [](real v) {
        const std::string d = realstr(v);
        return std::string(5 - std::min<std::size_t>(5, d.size()), '0') + d;
    };
    return std::string(x < 0 && scaled != 0 ? "-" : "") + realstr(whole) + "." + five(high) +
           five(low);
}

struct Tables {
    Session& ses;
    Run& run;
    GemSettings gs;
    GemTables tab;
    PtGrid grid;

    Tables(Session& s, Run& r)
        : ses(s),
          run(r),
          gs(gemsettings(r)),
          tab{*r.arrays.td, r.dataset.emnames, phasemakes(*r.arrays.prec0, *r.arrays.prec1)} {
        gs.channelfluid = r.setup.channelfluid;
    }

    real g(int16 k, real p, real t) {
        tdvector& row = (*run.arrays.td)[k];
        row[27] = 0;
        row[28] = 0;
        return gemdriver(ses, gs, tab, k, p, t);
    }

    void theading(int wp, int wt) {
        std::string line;
        addstr("kbar", wp, line);
        addstr(degc, 3, line);
        for (int j = 1; j <= grid.nt; ++j) addgreal(wt, line, grid.t[j] - kelvin);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }

    // A fluid table on screen, summary and log only: title, heading, one line per pressure.
    template <class F>
    void fluidtable(const std::string& title, F value) {
        putstr(ses, 1, title, 2, screensummarylogmask);
        theading(7, 8);
        for (int i = 1; i <= grid.np; ++i) {
            std::string line;
            addreal(1, true, 7, line, grid.p[i]);
            addstr("", 3, line);
            for (int j = 1; j <= grid.nt; ++j)
                addreal(3, true, 8, line, value(grid.p[i], grid.t[j]));
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }
};

// The columns of a data row after the name.
void rowcolumns(std::string& line, const tdvector& v, bool ds190, bool mode7, bool note,
                bool recipe) {
    addreal(2, true, 11, line, v[1]);
    addreal(2, true, 9, line, v[2] * 1000);
    addreal(3, true, 9, line, v[3]);
    addreal(4, true, 9, line, v[4]);
    addreal(4, true, 9, line, v[5] * 100000);
    const long code = std::lround(v[31]);
    if (mode7 && code >= 3 && code <= 5) {
        if (note) addstr("", 18, line);
    } else {
        addreal(1, true, 9, line, v[6]);
        addreal(4, true, 9, line, v[7]);
    }
    if (!ds190 || recipe) {
        addreal(3, false, recipe ? 7 : 9, line, v[8] * 100000);
        if (v[13] >= 0) {
            addgreal(9, line, std::round(v[12]));
        } else {
            addstr("", 9, line);
        }
        addgreal(9, line, std::round(v[9]));
        addreal(2, true, 9, line, v[10]);
        addreal(4, true, 9, line, v[11]);
        if (v[13] >= 0) {
            if (v[17] == 0) {
                addstr("", 9, line);
            } else {
                addreal(2, true, 9, line, v[17]);
            }
        } else {
            addreal(4, true, 9, line, v[13]);
        }
    } else {
        addreal(3, false, 9, line, v[8] * 100000);
        addreal(2, true, 9, line, v[9]);
        addgreal(9, line, std::round(v[11]));
        addreal(2, true, 9, line, v[12]);
        addreal(4, true, 9, line, v[13]);
    }
    if (v[15] > 0) {
        addreal(0, true, 8, line, v[14]);
        addreal(1, true, 8, line, v[15] * 1000);
        addreal(4, true, 8, line, v[16]);
    } else if (v[24] > 0) {
        addreal(2, true, 8, line, v[20]);
        addreal(3, true, 8, line, v[21]);
        addreal(2, true, 8, line, v[22]);
        addreal(3, true, 8, line, v[23]);
        addreal(2, true, 8, line, v[25]);
        addgreal(6, line, std::round(v[24]));
    }
}

}  // namespace

void PTgrid(Session& ses, Run& run, PtGrid& grid) {
    putstr(ses, 1, "specification of table PT", 1, screenlogmask);
    const ScriptSettings& sc = run.script;
    const Windows& w = run.windows;
    gridvalues(ses, sc.calcpcb == controlboolean::yes && w.pwinlow == w.pwinhigh, w.pwinlow,
               "P in kbar: list of values OR start, finish, interval", false, grid.p, grid.np);
    gridvalues(ses, sc.calctcb == controlboolean::yes && w.twinlow == w.twinhigh, w.twinlow,
               "T\xC2\xB0"
               "C: list of values OR start, finish, interval",
               true, grid.t, grid.nt);
}

void emthermotable(Session& ses, Run& run) {
    Tables tb(ses, run);
    const Dataset& ds = run.dataset;
    const tdmatrix& td = *run.arrays.td;
    const bool mode7 = ds.dsmode == 7;
    const bool ds190 = ds.ds190;
    bool note = false;
    if (mode7) {
        for (int k = 1; k <= ds.nem; ++k) {
            if (std::lround(td[k][31]) <= 2) note = true;
        }
    }
    putstr(ses, 2, "Thermodynamic properties (units : kJ, K, kbar)", 1, screensummarylogmask);
    if (!ds190) {
        putstr(ses, 0, "(for \"make\": DQF and the thermo of what they are made from)", 2,
               screensummarylogmask);
    }
    std::string line;
    addstr("", 7, line);
    addstr("H", 12, line);
    for (const char* h : {"S", "V", "a", "b"}) addstr(h, 9, line);
    if (mode7 && note) {
        addstr("", 18, line);
    } else {
        addstr("c", 9, line);
        addstr("d", 9, line);
    }
    if (ds190) {
        for (const char* h : {"a1", "a2", "K", "K'", "dK/dT"}) addstr(h, 9, line);
    } else {
        for (const char* h : {"a0", "theta", "K0", "K0'", "K0''", "dK/dT"}) addstr(h, 9, line);
    }
    for (const char* h : {"Tc", "Smax", "Vmax"}) addstr(h, 8, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    if (!ds190) {
        line.clear();
        addstr("", note ? 136 : 118, line);
        addstr("aqcp", 9, line);
        for (const char* h : {"dh", "dhv", "w", "wv", "fac"}) addstr(h, 8, line);
        addstr("n", 6, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    for (int k = 1; k <= ds.nem; ++k) {
        const tdvector& v = td[k];
        line.clear();
        addstr(ds.emnames[k], -8, line);
        if (v[30] == 0) {
            rowcolumns(line, v, ds190, mode7, note, false);
            putstr(ses, 0, line, 1, screensummarylogmask);
            continue;
        }
        // A made end-member: its DQF terms, then what it is made from.
        addreal(2, true, 11, line, v[1]);
        addreal(2, true, 9, line, v[2] * 1000);
        addreal(3, true, 9, line, v[3]);
        putstr(ses, 0, line, 1, screensummarylogmask);
        const MakeList ml =
            tb.tab.makes(narrow16(std::lround(v[29])), narrow16(std::lround(v[30])));
        for (int i = 1; i <= ml.n; ++i) {
            const int16 row = ml.c[i].row;
            line = "   ";
            addstr(ds.emnames[row], 5, line);
            rowcolumns(line, td[row], ds190, mode7, note, true);
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }

    PtGrid& g = tb.grid;
    PTgrid(ses, run, g);
    if (g.np == 1 && g.nt == 1) {
        putstr(ses, 0,
               "G at " + realfixstr(3, true, g.p[1]) + " kbar and " +
                   realfixstr(2, true, g.t[1] - kelvin) + degc,
               2, screensummarylogmask);
        putstr(ses, 0, "", 1, vxmask);
        for (int16 k = 1; k <= ds.nem; ++k) {
            line.clear();
            addstr(ds.emnames[k], 6, line);
            addstr(" =", 0, line);
            addstr(fixed10(tb.g(k, g.p[1], g.t[1])), 16, line);
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
    }
    mathlist(ses, "lp = {", g.p, g.np, 3, 0, 1);
    mathlist(ses, "lt = 273.15 + {", g.t, g.nt, 1, kelvin, 1);
    for (int16 k = 1; k <= ds.nem; ++k) {
        if (g.np == 1 && g.nt == 1) {
            line.clear();
            addstr("G[" + ds.emnames[k] + "] ^= {{", 15, line);
            addreal(8, false, 12, line, tb.g(k, g.p[1], g.t[1]));
            putstr(ses, 0, line + "}};", 1, vxmask);
            continue;
        }
        putstr(ses, 1, "G(" + ds.emnames[k] + ")", 2, screensummarylogmask);
        tb.theading(7, 12);
        putstr(ses, 1, "G[" + ds.emnames[k] + "] ^= {", 2, vxmask);
        for (int i = 1; i <= g.np; ++i) {
            line.clear();
            if (i == 1 && g.p[1] == 0.001L) {
                addstr("0.001", 7, line);
            } else {
                addreal(1, true, 7, line, g.p[i]);
            }
            addstr("", 3, line);
            ListLine l{ses, "    {", "     ", 0};
            for (int j = 1; j <= g.nt; ++j) {
                const real gv = tb.g(k, g.p[i], g.t[j]);
                addreal(4, true, 12, line, gv);
                std::string f;
                addreal(8, false, 18, f, gv);
                l.add(f + (j < g.nt ? "," : (i < g.np ? "}," : "}};")));
            }
            putstr(ses, 0, line, 1, screensummarylogmask);
            putstr(ses, 0, l.line, 1, vxmask);
        }
    }
}

void fugtable(Session& ses, Run& run) {
    Tables tb(ses, run);
    PtGrid& g = tb.grid;
    PTgrid(ses, run, g);
    const bool newsp = run.dataset.newspfluid;
    putstr(ses, 1, "RT ln f(H2O)", 2, screensummarylogmask);
    tb.theading(7, 8);
    mathlist(ses, "flp = {", g.p, g.np, 3, 0, 1);
    mathlist(ses, "flt = {", g.t, g.nt, 1, 0, 2);
    putstr(ses, 0, "rtlnfh2o = {", 1, vxmask);
    for (int i = 1; i <= g.np; ++i) {
        std::string line;
        addreal(1, true, 8, line, g.p[i]);
        addstr("", 3, line);
        std::string m = "{";
        for (int j = 1; j <= g.nt; ++j) {
            const real v = spfluid(ses, newsp, g.p[i], g.t[j]).rtlnf;
            addreal(3, true, 8, line, v);
            addreal(3, true, 8, m, v);
            if (j < g.nt) m += ",";
        }
        m += i < g.np ? "}," : "}};";
        putstr(ses, 0, line, 1, screensummarylogmask);
        putstr(ses, 0, m, 1, vxmask);
    }
    tb.fluidtable("RT ln f(CO2)", [&](real p, real t) { return spfluid2(ses, newsp, p, t).rtlnf; });
}

void otherfugtable(Session& ses, Run& run) {
    Tables tb(ses, run);
    PTgrid(ses, run, tb.grid);
    struct Species {
        const char* title;
        real tcrit;  // K
        real pcrit;  // kbar
    };
    const Species species[] = {{"RT ln f(CH4)", 190.6L, 0.046L},
                               {"RT ln f(H2)", 41.2L, 0.0211L},
                               {"RT ln f(H2S)", 373.2L, 0.0893L},
                               {"RT ln f(S2)", 259.6L, 0.08L}};
    for (const Species& s : species) {
        tb.fluidtable(s.title,
                      [&](real p, real t) { return corkfluid(p, t, s.pcrit, s.tcrit).rtlnf; });
    }
}

void voltable(Session& ses, Run& run) {
    Tables tb(ses, run);
    PTgrid(ses, run, tb.grid);
    const bool newsp = run.dataset.newspfluid;
    tb.fluidtable("V(H2O)", [&](real p, real t) { return spfluid(ses, newsp, p, t).v; });
    tb.fluidtable("V(CO2)", [&](real p, real t) { return spfluid2(ses, newsp, p, t).v; });
}

void rthermo(Session& ses, Run& run) {
    Tables tb(ses, run);
    Dataset& ds = run.dataset;
    const int16 nem = ds.nem;
    ReactionTables rt{*run.arrays.td,    ds.emnames,        tb.tab.makes,       nem, ds.emact,
                      run.special.h2oem, run.special.co2em, run.special.aqsiem, 4};
    rmatrix& r = *run.arrays.r;
    ReactionEval ev{ses, tb.gs, rt, r, run.windows};
    ev.activitysd = run.setup.activitysd;
    const PositionData data{*run.arrays.cov, ds.emsda};
    const CompositionTables ct{*run.arrays.c, ds.components, ds.emnames, nem};
    auto rl = std::make_unique<ReactionLists>();
    int16 nreac = 0;
    ReactionSearch search{ev, data, ct, *rl, nreac, nem, {}, true, avtype::avpmode, 0, 0, ""};
    search.use = SearchUse::reactiontable;
    calcre(search);
    run.nreac = nreac;
    if (nreac == 0) bomb("rthermo", "no reactions", yourfault);

    putstr(ses, 1, "Thermodynamics of reactions (delta G^0 = a + bT + cP)", 1,
           screensummarylogmask);
    PtGrid& g = tb.grid;
    PTgrid(ses, run, g);
    putstr(ses, 0, "PT about which thermodynamics linearised", 1, screenlogmask);
    real p = 0, tc = 0;
    do {
        promptreal(ses, "  P", p);
    } while (!typedinputok(ses, p > 0, typedp.name, p, typedp.rule));
    do {
        promptreal(ses,
                   "  T\xC2\xB0"
                   "C",
                   tc);
    } while (!typedinputok(ses, tc + kelvin > 0, typedt.name, tc, typedt.rule));
    Windows& w = run.windows;
    w.pcur = p;
    w.tcur = tc + kelvin;
    const real t = w.tcur;
    const std::string where = "P = " + realfixstr(1, true, p) + " kbar and T = " + realstr(tc) +
                              "\xC2\xB0"
                              "C";
    putstr(ses, 0, "(a, b and c includes fluid fugacities, at " + where + ")", 1,
           screensummarylogmask);
    std::string line;
    addstr("", 5, line);
    for (int k = 1; k <= nem; ++k) addstr(ds.emnames[k], 5, line);
    for (const char* h : {"a", "b", "c"}) addstr(h, 10, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    putstr(ses, 0, "(* reaction thermo linearised at " + where + " *)", 2, vxmask);

    struct Linear {
        real a, b, c;
    };
    auto linear = [&](int16 i) {
        const ReactionDg d = calcdg0(ses, tb.gs, rt, r[i], p, t);
        return Linear{d.dg - d.dgdt * t - d.dgdp * p, d.dgdt, d.dgdp};
    };
    for (int16 i = 1; i <= nreac; ++i) {
        const Linear l = linear(i);
        line.clear();
        addgreal(5, line, i);
        std::string m = i == 1 ? "{{" : " {";
        addgreal(4, m, i);
        m += ",";
        for (int k = 1; k <= nem; ++k) {
            if (r[i][k] == 0) {
                addstr(".", 5, line);
                addstr("0,", 6, m);
            } else {
                addgreal(5, line, r[i][k]);
                addgreal(5, m, r[i][k]);
                m += ",";
            }
        }
        addreal(4, false, 10, line, l.a);
        addreal(5, true, 10, line, l.b);
        addreal(3, true, 10, line, l.c);
        addreal(4, false, 10, m, l.a);
        m += ",";
        addreal(5, true, 10, m, l.b);
        m += ",";
        addreal(3, true, 10, m, l.c);
        m += i < nreac ? "}," : "}};";
        putstr(ses, 0, line, 1, screensummarylogmask);
        putstr(ses, 0, m, 1, vxmask);
    }

    putstr(ses, 0, "error matrix for linearisation", 1, screenlogmask);
    bool gridasked = false;
    for (;;) {
        int16 k = 0;
        promptinteger(ses, "which reaction", k);
        if (k < 1 || k > nreac) break;
        if (!gridasked) {
            PTgrid(ses, run, g);
            gridasked = true;
        }
        const Linear l = linear(k);
        line.clear();
        addstr("", 8, line);
        for (int j = 1; j <= g.nt; ++j) addreal(2, true, 8, line, g.t[j] - kelvin);
        putstr(ses, 0, line, 1, screensummarylogmask);
        putstr(ses, 2, "(* reaction thermo for (" + realstr(k) + ") *)", 1, vxmask);
        std::string m = "{";
        for (int i = 1; i <= g.np; ++i) {
            addreal(2, true, 8, m, g.p[i]);
            if (i < g.np) m += ",";
        }
        putstr(ses, 0, m + "};", 1, vxmask);
        m = "{";
        for (int j = 1; j <= g.nt; ++j) {
            addreal(2, true, 8, m, g.t[j]);
            if (j < g.nt) m += ",";
        }
        putstr(ses, 0, m + "};", 2, vxmask);
        for (int i = 1; i <= g.np; ++i) {
            line.clear();
            addreal(2, true, 8, line, g.p[i]);
            m = i == 1 ? "{{" : " {";
            for (int j = 1; j <= g.nt; ++j) {
                const real dg = calcdg0(ses, tb.gs, rt, r[k], g.p[i], g.t[j]).dg;
                addreal(2, true, 8, line, dg - (l.a + l.b * g.t[j] + l.c * g.p[i]));
                addreal(4, true, 10, m, dg);
                if (j < g.nt) m += ",";
            }
            m += i < g.np ? "}," : "};";
            putstr(ses, 0, line, 1, screensummarylogmask);
            putstr(ses, 0, m, 1, vxmask);
        }
    }
}

}  // namespace qv
