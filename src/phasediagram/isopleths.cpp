#include "phasediagram/isopleths.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

// A value with as many decimals as it needs.
std::string num(real x) {
    return realfixstr(ndecimals(x), true, x);
}

// The solution phase and variable of each composition variable of the run, in phase order.
struct VarRef {
    int16 phase = 0;
    int16 var = 0;
};

}  // namespace

int16 expandisovalues(real low, real high, real inc, Fixed1<real, maxisovalues>& values) {
    if (std::fabs(high - low) < 1e-8L) {
        values[1] = low;
        return 1;
    }
    if (inc >= high - low) {
        values[1] = low;
        values[2] = high;
        return 2;
    }
    // Counted in reals: a tiny increment gives a count beyond any integer, which is thinned
    // like any other long range (as is an increment of 0 or below, which the readers refuse).
    // A row holds 201 values and the high end: a 202nd value asks for the even spacing too.
    const real whole = std::trunc((high - low) / inc) + 1;
    const bool appendhigh = std::fabs(high - (low + inc * (whole - 1))) > 1e-8L;
    int16 count = 101;
    if (!(whole >= 1 && whole <= 201) || (whole == 201 && appendhigh)) {
        inc = (high - low) / 100;
    } else {
        count = static_cast<int16>(whole);
    }
    for (int j = 1; j <= count; ++j) values[j] = low + inc * (j - 1);
    if (std::fabs(high - values[count]) > 1e-8L) values[++count] = high;
    return count;
}

bool isoplethlegal(const ptype1& ph, int var, real v) {
    if (ph.hasorder) return true;
    eqvector x;
    for (int k = 1; k <= ph.nvar; ++k) x[k] = ph.var[k].guess;
    x[var] = v;
    if (v < ph.var[var].lower || v > ph.var[var].upper) return false;
    for (int s = 1; s <= ph.nsf; ++s) {
        if (!(evalexpr(x, 1, ph.sf[s]) > 0)) return false;
    }
    return true;
}

void readxco2values(Session& ses, Run& run, PdRun& pd) {
    putstr(ses, 0, "specification of x(CO2) calcs", 1, screenlogmask);
    prectype1& ss = *run.arrays.prec1;
    VarRef found;
    for (int k = 1; k <= run.nss; ++k) {
        for (int v = 1; v <= ss[k].nvar; ++v) {
            const std::string& n = ss[k].var[v].name;
            if (n.rfind("x(CO2)", 0) == 0 || n.rfind("x(fluid)", 0) == 0) {
                found = VarRef{narrow16(k), narrow16(v)};
            }
        }
    }
    if (found.phase == 0) bomb("readxco2values", "x(CO2) not present", yourfault);
    IsoplethTable& iso = pd.iso;
    if (++iso.nisopleths > maxisopleths) bomb("readxco2values", "too many isopleths", yourfault);
    xvartype& var = ss[found.phase].var[found.var];
    var.flag = true;
    var.int3 = iso.nisopleths;
    const ScriptSettings& sc = run.script;
    const ScriptTables& t = *sc.tables;
    const int16 n = std::min<int16>(sc.nxco2values, maxisovalues);
    Windows& w = run.windows;
    for (int i = 1; i <= n; ++i) {
        iso.values[iso.nisopleths][i] = t.xco2values[i];
        w.xvalues[i] = t.xco2values[i];
        w.xh2ovalues[i] = 1 - t.xco2values[i];
    }
    iso.nvalues[iso.nisopleths] = n;
    w.nxvalues = n;
    w.xwinlow = t.xco2values[1];
    w.xwinhigh = t.xco2values[std::max<int16>(n, 1)];
    run.xco2cur = 0.5L * (w.xwinlow + w.xwinhigh);
    run.xh2ocur = 1 - run.xco2cur;
    iso.nxyzisopleths = 1;
    run.excess.isophaseflag[found.phase] = true;
    ++run.excess.nisophases;
    putstr(ses, 0,
           n == 1 ? "x(CO2) set to " + num(t.xco2values[1])
                  : "x(CO2) set to values between " + num(w.xwinlow) + " and " + num(w.xwinhigh),
           1, screenlogmask);
}

// Kept whole: one dialogue of xyz isopleths, checked line by line as its messages print.
void readisopleths(Session& ses, Run& run, PdRun& pd) {
    putstr(ses, 0, "specification of xyz isopleths", 1, screenlogmask);
    ScriptSettings& sc = run.script;
    prectype1& ss = *run.arrays.prec1;
    Fixed1<bool, 2> named{};
    Fixed1<bool, 2> scriptvalues{};
    if (sc.isoplethcb == controlboolean::yes) {
        for (int k = 1; k <= 2; ++k) {
            named[k] = k <= sc.nisopleth && !sc.isopleth[k].name.empty();
            scriptvalues[k] = named[k] && sc.isopleth[k].high > 0;
        }
    }
    // Every composition variable of the run, under its name and its second name.
    auto refs = std::make_unique<Fixed1<VarRef, maxem>>();
    strings names1;
    strings names2;
    int16 nvars = 0;
    for (int k = 1; k <= run.nss; ++k) {
        for (int v = 1; v <= ss[k].nvar; ++v) {
            if (nvars >= maxem) break;
            ++nvars;
            (*refs)[nvars] = VarRef{narrow16(k), narrow16(v)};
            names1[nvars] = ss[k].var[v].name;
            names2[nvars] = ss[k].var[v].longname;
        }
    }
    auto lookup = [&](const std::string& w) {
        int16 pos = 0;
        if (posinlist(w, names1, nvars, pos) || posinlist(w, names2, nvars, pos)) return pos;
        bomb("readisopleths", w + " not recognised", yourfault);
    };
    Fixed1<int16, maxem> chosen{};
    int16 nchosen = 0;
    if (named[1]) {
        chosen[++nchosen] = lookup(sc.isopleth[1].name);
        if (named[2]) chosen[++nchosen] = lookup(sc.isopleth[2].name);
    } else {
        if (nvars == 0) bomb("readisopleths", "no xyz variables available to be set", yourfault);
        std::string line = "set compositional variables, from:";
        for (int i = 1; i <= nvars; ++i) line += " " + names1[i];
        putstr(ses, 0, line + " ", 1, screenlogmask);
        strings words;
        int16 nw = 0;
        promptstrings(ses, "which to set", words, nw);
        for (int i = 1; i <= nw; ++i) {
            const valuetype t = whatis(words[i]);
            int16 pos = 0;
            if (t == valuetype::aninteger) {
                pos = getinteger(t, words[i], "for isopleth position");
                if (pos < 1 || pos > nvars) {
                    bomb("readisopleths", "position for isopleth out of range", yourfault);
                }
            } else {
                pos = lookup(words[i]);
            }
            if (nchosen < maxem) chosen[++nchosen] = pos;
        }
    }
    IsoplethTable& iso = pd.iso;
    for (int c = 1; c <= nchosen; ++c) {
        const VarRef ref = (*refs)[chosen[c]];
        ptype1& ph = ss[ref.phase];
        xvartype& var = ph.var[ref.var];
        if (++iso.nisopleths > maxisopleths) bomb("readisopleths", "too many isopleths", yourfault);
        const int16 row = iso.nisopleths;
        var.flag = true;
        var.int3 = row;
        if (var.name.rfind("x(CO2)", 0) == 0 || var.name.rfind("x(fluid)", 0) == 0) {
            putstr(ses, 0, "implementation change", 1, screenlogmask);
            bomb("readisopleths", "use the calcx(CO2) script for setting x(CO2)", yourfault);
        }
        real low = 0;
        real high = 0;
        real inc = 0.001L;
        if (c <= 2 && scriptvalues[c]) {
            low = sc.isopleth[c].low;
            high = sc.isopleth[c].high;
            inc = sc.isopleth[c].inc;
        } else {
            putstr(ses, 0, "specifying isopleths for " + var.name + ":", 1, screenlogmask);
            strings words;
            int16 nw = 0;
            promptstrings(ses, "  low, high, inc OR one value", words, nw);
            Fixed1<real, 3> v{};
            for (int i = 1; i <= std::min<int16>(nw, 3); ++i) {
                v[i] = getsingle(whatis(words[i]), words[i], "for isopleth values");
            }
            if (nw == 1) {
                low = high = v[1];
            } else if (nw == 3) {
                low = v[1];
                high = v[2];
                inc = v[3];
                if (high < low || inc <= 0 || low < 0 || high > 1) {
                    putstr(ses, 0, "isopleth: low, high and increment expected, or one value", 1,
                           screenlogmask);
                    bomb("readisopleths", "isopleth values inappropriate", yourfault);
                }
            } else {
                bomb("readisopleths", "1 or 3 numbers expected", yourfault);
            }
        }
        Fixed1<real, maxisovalues>& values = iso.values[row];
        const int16 n = expandisovalues(low, high, inc, values);
        // Only values that give positive site fractions with the other starting guesses.
        int16 kept = 0;
        for (int i = 1; i <= n; ++i) {
            if (isoplethlegal(ph, ref.var, values[i])) values[++kept] = values[i];
        }
        if (kept == 0) {
            eestrtype para;
            para[1] = n == 1 ? "the input isopleth value for " + var.name + " leads to "
                             : "all of the input isopleth values for " + var.name + " lead to ";
            para[2] =
                "negative site fractions with the given starting guesses for the other "
                "variables. Negative site fractions are illegal. ";
            para[3] =
                "You will need to look at the starting guesses in the context of the axfile "
                "coding and work out how to allow the isopleth value(s).";
            formattext(ses, para);
            bomb("readisopleths", "no legal isopleth values for " + var.name, yourfault);
        }
        if (kept < n) {
            eestrtype para;
            para[1] = n - kept == 1
                          ? "one input isopleth value for " + var.name + " leads to "
                          : "some of the input isopleth values for " + var.name + " lead to ";
            para[2] =
                "negative site fractions with the given starting guesses for the other "
                "variables. The illegal isopleths have been ignored. ";
            para[3] =
                "You will need to look at the starting guesses in the context of the axfile "
                "coding and work out how to allow the isopleth value(s). ";
            formattext(ses, para);
            if (!query(ses, "do you want to continue?")) {
                bomb("readisopleths", "stopped with illegal isopleth values", yourfault);
            }
        }
        iso.nvalues[row] = kept;
    }
    iso.nxyzisopleths = narrow16(iso.nisopleths - iso.nmodeisopleths);
    for (int k = 1; k <= run.nss; ++k) {
        if (run.excess.excessflag[k]) continue;
        for (int v = 1; v <= ss[k].nvar; ++v) {
            if (!ss[k].var[v].flag) continue;
            run.excess.isophaseflag[k] = true;
            ++run.excess.nisophases;
        }
    }
    const bool xco2given = run.windows.nxvalues > 0 && sc.xco2valuescb != controlboolean::no;
    if (iso.nxyzisopleths == (xco2given ? 1 : 0)) {
        putstr(ses, 0, "no xyz isopleths specified", 1, screenlogmask);
        return;
    }
    for (int k = 1; k <= run.nss; ++k) {
        for (int v = 1; v <= ss[k].nvar; ++v) {
            const xvartype& var = ss[k].var[v];
            if (!var.flag || var.name.rfind("x(CO2)", 0) == 0) continue;
            const int16 row = var.int3;
            const int16 n = iso.nvalues[row];
            putstr(ses, 0,
                   n == 1 ? var.name + " set to " + num(iso.values[row][1])
                          : var.name + " set to values between " + num(iso.values[row][1]) +
                                " and " + num(iso.values[row][n]),
                   1, screenlogmask);
        }
    }
}

}  // namespace qv
