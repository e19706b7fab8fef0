// The detailed report of a result on the detailed-results channel: conditions and assemblage,
// compositional variables, site fractions, oxide compositions, modes and conversion factors,
// properties of the phases and the system, and the end-members' activities and potentials.
// A long form with section titles and a compact form.

#include <array>
#include <cmath>
#include <string>

#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

void put(Session& ses, int before, const std::string& line, int after) {
    putstr(ses, before, line, after, icmask);
}

const CalcPhase& calcphase(const SolveState& st, int i) {
    return (*st.xref.calcphaselist)[i];
}

// Whether the assemblage's modes were seen along the bulk line.
std::string seentext(const PdRun& pd, const Result& cur) {
    if (pd.modesinsolve) return " (seen)";
    if (!pd.modesaftersolve) return "";
    if (cur.nmodesteps == 0) return "; NOT seen";
    return cur.nbulk <= 1 ? "; seen" : "";
}

// The bulk step of mode set s: in a univariant run the sets come in pairs (one for each end of
// the reaction) and the step is shown on the first of each pair only.
void addicposition(const PdRun& pd, const Result& cur, int s, int width, std::string& line) {
    if (pd.modesinsolve) {
        addstr(realstr(cur.bulkstep), -width, line);
    } else if (pd.variance == 1) {
        if (s % 2 == 1) {
            const int pair = (s - 1) / 2;  // the pairs of the reaction's steps, counted from 0
            addstr(realstr(cur.firstmodestep + pair), -6, line);
            addstr("", 6, line);
        } else {
            addstr("", 12, line);
        }
    } else {
        addstr(realstr(cur.firstmodestep + s - 1), -6, line);
    }
}

// A table of one value for each shown phase at each bulk step: the phase names after `label`,
// then a row a step led by its position; `cell` appends a phase's value at a step.
template <class Cell>
void steptable(Session& ses, const PdRun& pd, const Result& cur, const char* label, int stub,
               int colwidth, int before, Cell cell) {
    std::string line;
    addstr(label, -stub, line);
    for (int i = 1; i <= cur.nphases; ++i) {
        if (cur.ph[i].shown) addstr(cur.ph[i].name, colwidth, line);
    }
    put(ses, before, line, 1);
    for (int s = 1; s <= cur.nmodesteps; ++s) {
        line.clear();
        addicposition(pd, cur, s, stub, line);
        for (int i = 1; i <= cur.nphases; ++i) {
            if (cur.ph[i].shown) cell(cur.ph[i], s, line);
        }
        put(ses, 0, line, 1);
    }
}

// A phase's mode in a column; a phase absent at the step shows a blank.
void addmode(int d, int width, real m, std::string& line) {
    if (m == 0) {
        addstr("", width, line);
    } else {
        addreal(d, true, width, line, m);
    }
}

// x in fixed form with d decimals, unless the conversion cannot hold that many (it writes fixed
// form only while |x| x 10^d stays below 2147483646, and falls back to d significant digits):
// then with as many decimals as it holds, down to 5, so that more decimals asked for ("moreprec")
// never print fewer digits than the usual 5; a value too large even for 5 keeps the exponent
// form with d significant digits.
void addfixed(int d, int width, std::string& line, real x) {
    const auto fits = [x](int k) { return std::fabs(x) * powerof10(k) < 2147483646.0L; };
    int k = d;
    bool fit = fits(k);
    while (k > 5 && !fit) fit = fits(--k);
    if (!fit) k = d;
    addreal(k, true, width, line, x);
}

// The decimals and the width of a column of numbers.
struct Col {
    int d;
    int w;
};

// The layout of the table of the phases' and the system's properties in one form of the report.
struct PropsForm {
    Col extra;                 // mode and f of a dogmin result
    std::array<Col, 5> phase;  // G, H, S, V and density of each phase
    std::array<Col, 5> sys;    // the same of the system at each step
    int before;                // blank lines before the heading
};

// G (kJ), H (kJ), S (kJ/K), V (kJ/kbar) and density in the columns `cols`.
void addproperties(const std::array<Col, 5>& cols, real g, real h, real s, real v, real rho,
                   std::string& line) {
    addfixed(cols[0].d, cols[0].w, line, g);
    addfixed(cols[1].d, cols[1].w, line, h);
    addfixed(cols[2].d, cols[2].w, line, s);
    addfixed(cols[3].d, cols[3].w, line, v);
    addfixed(cols[4].d, cols[4].w, line, rho);
}

// The thermodynamic properties of each phase, then of the system at each bulk step; a dogmin
// result also shows each phase's mode and conversion factor.
void propertiestable(Session& ses, const PdRun& pd, const Result& cur, bool dogmin,
                     const PropsForm& f) {
    std::string line(12, ' ');
    if (dogmin) {
        addstr("mode", f.extra.w, line);
        addstr("f", f.extra.w, line);
    }
    const char* heads[] = {"G", "H", "S", "V", "rho"};
    for (int c = 0; c < 5; ++c) addstr(heads[c], f.phase[static_cast<std::size_t>(c)].w, line);
    put(ses, f.before, line, 1);
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        line.clear();
        addstr(ph.name, -12, line);
        if (dogmin) {
            addreal(f.extra.d, true, f.extra.w, line, ph.mode[1]);
            addreal(f.extra.d, true, f.extra.w, line, ph.stepfactor[1]);
        }
        const PhaseProps& pp = ph.props;
        addproperties(f.phase, pp.g, pp.h, pp.s, pp.v, pp.density, line);
        put(ses, 0, line, 1);
    }
    for (int s = 1; s <= cur.nmodesteps; ++s) {
        line.clear();
        if (s == 1 && cur.nbulk <= 1) {
            addstr("sys", -6, line);
        } else {
            addicposition(pd, cur, s, 6, line);
        }
        addstr("", dogmin ? 6 + 2 * f.extra.w : 6, line);
        const SystemProps& sp = cur.sys;
        addproperties(f.sys, sp.g[s], sp.h[s], sp.s[s], sp.v[s], sp.density[s], line);
        put(ses, 0, line, 1);
    }
}

// The rows of the end-members' table: a phase of one end-member on a row of its own, finished
// by `single`; the end-members of a solution a row each under the phase's name, finished by
// `cells`, with a blank line after the phase.
template <class Single, class Cells>
void endmemberrows(Session& ses, const SolveState& st, Single single, Cells cells) {
    const Result& cur = st.cur;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        const CalcPhase& cp = calcphase(st, i);
        std::string line;
        if (ph.nem == 1) {
            addstr(ph.name, -6, line);
            single(ph, line);
            put(ses, 0, line, 1);
            continue;
        }
        for (int k = 1; k <= ph.nem; ++k) {
            line.clear();
            addstr(k == 1 ? ph.name : "", -6, line);
            addstr(cp.emnames[k], -7, line);
            cells(ph, k, line);
            put(ses, 0, line, k == ph.nem ? 2 : 1);
        }
    }
}

// A value of many digits in fixed form: its integer part and `d` decimals of the remainder, so
// that large chemical potentials never turn to the exponent form.
std::string intfracstr(real x, int d) {
    const real a = std::fabs(x);
    real ip = std::floor(a);
    const real scale = std::pow(10.0L, d);
    real fp = std::round((a - ip) * scale);
    if (fp >= scale) {
        ip += 1;
        fp -= scale;
    }
    std::string digits = realstr(fp);
    if (static_cast<int>(digits.size()) < d) digits.insert(0, std::string(d - digits.size(), '0'));
    return (x < 0 ? "-" : "") + realstr(ip) + "." + digits;
}

// The widths of the compact and the long form.
struct IcForm {
    bool compact = true;
    int d = 5;          // decimals of the property sections
    int namewidth = 5;  // composition variables and site fractions
};

void compositionsection(Session& ses, const Run& run, const PdRun& pd, const SolveState& st,
                        const IcForm& f) {
    const Result& cur = st.cur;
    const int nw = f.compact ? 5 : 8;
    const int vw = f.compact ? 10 : 11;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        if (ph.nem < 2) continue;
        const CalcPhase& cp = calcphase(st, i);
        std::string line;
        addstr(ph.name, -nw, line);
        for (int k = 1; k < ph.nem; ++k) addstr(cp.varnames[k], vw, line);
        put(ses, 0, line, 1);
        line = std::string(static_cast<std::size_t>(nw), ' ');
        for (int k = 1; k < ph.nem; ++k) addreal(5, true, vw, line, ph.x[k]);
        put(ses, 0, line, 1);
        if (run.script.calcsdlevel > 0) {
            line = f.compact ? "   sd" : "   sdxyz";
            if (static_cast<int>(line.size()) < nw) line += std::string(nw - line.size(), ' ');
            for (int k = 1; k < ph.nem; ++k)
                addreal(5, true, vw, line, st.sdv.sd[ph.varpos + k - 1]);
            put(ses, 0, line, 1);
        }
    }
    (void)pd;
}

void sitefractionsection(Session& ses, const SolveState& st) {
    const Result& cur = st.cur;
    for (int i = 1; i <= cur.nphases; ++i) {
        const ResultPhase& ph = cur.ph[i];
        if (ph.nem < 2) continue;
        const CalcPhase& cp = calcphase(st, i);
        std::string line;
        addstr(ph.name, -5, line);
        for (int k = 1; k <= cp.nsf; ++k) addstr(cp.sfnames[k], 10, line);
        put(ses, 0, line, 1);
        line = std::string(5, ' ');
        for (int k = 1; k <= cp.nsf; ++k) addreal(5, true, 10, line, ph.sf[k]);
        put(ses, 0, line, 1);
    }
}

void oxidesection(Session& ses, const PdRun& pd, const SolveState& st) {
    const Result& cur = st.cur;
    std::string line(6, ' ');
    for (int c = 1; c <= cur.ncomp; ++c) addstr(cur.compnames[c], 12, line);
    put(ses, 0, line, 1);
    auto bulkline = [&](const char* label, int b) {
        std::string bl;
        addstr(label, -6, bl);
        int k = 0;
        for (int c = 1; c <= cur.ncomp; ++c) {
            if (!cur.compused[c]) {
                addstr("", 12, bl);
            } else {
                addreal(4, true, 12, bl, cur.bulk[b][++k] * 100);
            }
        }
        return bl;
    };
    if (pd.modesinsolve || pd.modesaftersolve) {
        line = bulkline("bulk", 1);
        if (pd.modesinsolve && cur.bulkstep > 1) {
            line += "  step " + realstr(cur.bulkstep) +
                    ", x = " + realfixstr(4, true, cur.bulkposition);
        }
        put(ses, 0, line, 1);
        if (pd.modesaftersolve && cur.nbulk >= 2) {
            line = bulkline("  to", cur.nbulk);
            line += "  ";
            addgreal(2, line, cur.nbulk - 1);
            line += " steps";
            put(ses, 0, line, 1);
        }
    }
    for (int i = 1; i <= cur.nphases; ++i) {
        line.clear();
        addstr(cur.ph[i].name, -6, line);
        for (int c = 1; c <= cur.ncomp; ++c) addamount(12, line, cur.ph[i].comp[c], 1e-5L);
        put(ses, 0, line, 1);
    }
}

}  // namespace

void printic(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    const int d = yes(sc.morepreccb) ? 8 : 5;
    const int w = d + 4;
    const bool dogmin = sc.dogminon;
    put(ses, 1, std::string(59, '='), 0);

    std::string line;
    for (int i = 1; i <= cur.nphases; ++i) line += cur.ph[i].name + " ";
    line += " {" + realfixstr(4, true, cur.p) + ", " + realfixstr(3, true, cur.t - 273.15L) +
            "}  kbar/C";
    put(ses, 1, line, 1);
    line.clear();
    if (pd.maxvariance != pd.variance) line = "ovar = " + realstr(cur.runvariance) + "; ";
    line += "var = " + realstr(cur.variance) + seentext(pd, cur);
    put(ses, 0, line, 2);

    compositionsection(ses, run, pd, st, IcForm{});
    put(ses, 1, "site fractions", 1);
    sitefractionsection(ses, st);
    put(ses, 1, "oxide compositions", 1);
    oxidesection(ses, pd, st);

    if (!dogmin && cur.nmodesteps > 0) {
        steptable(ses, pd, cur, "mode", 6, w, 1, [&](const ResultPhase& ph, int s, std::string& l) {
            addmode(d, w, ph.mode[s], l);
        });
        if (pd.modesinsolve && sc.calcsdlevel > 0) {
            line = "sdmode";
            for (int i = 1; i <= cur.nphases; ++i) {
                if (cur.ph[i].shown) addreal(d, true, w, line, cur.ph[i].sdmode);
            }
            put(ses, 0, line, 1);
        }
        if (!pd.xco2varon) {
            steptable(ses, pd, cur, "factor", 6, w, 1,
                      [&](const ResultPhase& ph, int s, std::string& l) {
                          addreal(d, true, w, l, ph.stepfactor[s]);
                      });
        }
    }

    if (!pd.xco2varon) {
        const std::array<Col, 5> cols{{{d, d + 8}, {d, d + 8}, {d, w}, {d, w}, {d, w}}};
        propertiestable(ses, pd, cur, dogmin, PropsForm{{d, w}, cols, cols, 1});
    }

    line = std::string(13, ' ');
    addstr("ideal", d + 5, line);
    addstr("gamma", d + 4, line);
    addstr("activity", d + 6, line);
    addstr("prop", d + 6, line);
    if (!pd.xco2varon) {
        addstr("mu0", d + 8, line);
        addstr("RT ln a", d + 8, line);
    }
    put(ses, 1, line, 1);
    endmemberrows(
        ses, st,
        [&](const ResultPhase& ph, std::string& l) {
            if (pd.xco2varon) return;
            addstr("", 5 * w + 3, l);
            addfixed(d, d + 8, l, ph.props.g);
        },
        [&](const ResultPhase& ph, int k, std::string& l) {
            addreal(d, true, d + 5, l, ph.idealact[k]);
            addreal(d, true, d + 4, l, ph.gamma[k]);
            addreal(d, true, d + 6, l, ph.act[k]);
            addreal(d, true, d + 6, l, ph.p[k]);
            if (pd.xco2varon) return;
            addfixed(d, d + 8, l, ph.props.gem[k]);
            addfixed(d, d + 8, l, ph.props.rtlna[k]);
        });
}

void printicvorla(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    const bool dogmin = sc.dogminon;
    put(ses, 1, std::string(59, '='), 0);
    put(ses, 2, "Conditions and assemblage", 1);
    put(ses, 0, "pressure     " + realfixstr(4, true, cur.p) + "  kbar", 1);
    put(ses, 0,
        "temperature  " + realfixstr(4, true, cur.t - 273.15L) +
            " \xA1"
            "C",
        1);
    std::string line = "phases       ";
    for (int i = 1; i <= cur.nphases; ++i) line += cur.ph[i].name + " ";
    put(ses, 0, line, 1);
    put(ses, 0, "variance     " + realstr(cur.variance) + seentext(pd, cur), 2);

    put(ses, 2, "QUORVANTIS compositional variables", 1);
    IcForm longform;
    longform.compact = false;
    compositionsection(ses, run, pd, st, longform);
    put(ses, 2, "Site fractions", 1);
    sitefractionsection(ses, st);
    put(ses, 2, "Oxide compositions", 1);
    oxidesection(ses, pd, st);

    if (!dogmin && cur.nmodesteps > 0) {
        put(ses, 2, "Modal abundance of phases", 1);
        steptable(
            ses, pd, cur, "mode", 10, 12, 0,
            [&](const ResultPhase& ph, int s, std::string& l) { addmode(8, 12, ph.mode[s], l); });
        if (pd.modesinsolve && sc.calcsdlevel > 0) {
            line = "    sdmode";
            for (int i = 1; i <= cur.nphases; ++i) {
                if (cur.ph[i].shown) addreal(8, true, 12, line, cur.ph[i].sdmode);
            }
            put(ses, 0, line, 1);
        }
        if (!pd.xco2varon) {
            put(ses, 2, "Conversion factor per atom/per formula unit", 1);
            steptable(ses, pd, cur, "factor", 6, 12, 0,
                      [&](const ResultPhase& ph, int s, std::string& l) {
                          addreal(8, true, 12, l, ph.stepfactor[s]);
                      });
        }
    }

    if (!pd.xco2varon) {
        put(ses, 2, "Thermodynamic properties of phases and system", 1);
        const std::array<Col, 5> phasecols{{{4, 12}, {4, 12}, {4, 12}, {5, 12}, {5, 12}}};
        const std::array<Col, 5> syscols{{{5, 12}, {5, 12}, {5, 12}, {5, 12}, {5, 12}}};
        propertiestable(ses, pd, cur, dogmin, PropsForm{{8, 12}, phasecols, syscols, 0});
    }

    put(ses, 2, "Thermodynamic properties of end-members", 1);
    line = std::string(13, ' ');
    for (const char* h : {"ideal", "gamma", "activity", "prop"}) addstr(h, 12, line);
    if (!pd.xco2varon) {
        addstr("0", 17, line);
        addstr("RT ln a", 16, line);
    }
    put(ses, 0, line, 1);
    endmemberrows(
        ses, st,
        [&](const ResultPhase& ph, std::string& l) {
            if (pd.xco2varon) return;
            addstr("", 55, l);
            addreal(4, true, 12, l, ph.props.g);
        },
        [&](const ResultPhase& ph, int k, std::string& l) {
            addreal(6, false, 12, l, ph.idealact[k]);
            addreal(6, false, 12, l, ph.gamma[k]);
            addreal(6, false, 12, l, ph.act[k]);
            addreal(5, true, 12, l, ph.p[k]);
            if (pd.xco2varon) return;
            addstr(intfracstr(ph.props.gem[k], 8), 17, l);
            addstr(intfracstr(ph.props.rtlna[k], 8), 16, l);
        });
}

}  // namespace qv
