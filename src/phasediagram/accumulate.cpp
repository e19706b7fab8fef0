#include "phasediagram/accumulate.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

std::string fixed(int decimals, real x) {
    std::string s;
    addreal(decimals, false, 0, s, x);
    return s;
}

// The solution phases of member b with their composition variables, then its pure phases.
struct MemberNames {
    int16 nvars = 0;
    Fixed1<std::string, maxeq> vars;
    int16 nphases = 0;
    Fixed1<std::string, maxem> phases;
    int16 nsolution = 0;
};

MemberNames membernames(const Run& run, const BatchState& bs, int b) {
    MemberNames m;
    const bemvector& ph = (*bs.phases)[b];
    const prectype1& ss = *run.arrays.prec1;
    for (int k = 1; k <= run.nss; ++k) {
        if (!ph[k]) continue;
        m.phases[++m.nphases] = ss[k].name;
        for (int v = 1; v <= ss[k].nvar; ++v) m.vars[++m.nvars] = ss[k].var[v].name;
    }
    m.nsolution = m.nphases;
    for (int j = 1; j <= run.npure; ++j) {
        if (ph[run.nss + j]) m.phases[++m.nphases] = (*run.arrays.prec0)[j].name;
    }
    return m;
}

// The value a DQF line shows: its end-member's data value moved by the trial's change.
real shownvalue(const Run& run, const MonteCarlo& mc, int m, real value) {
    const McParam& p = mc.lines[m];
    if (p.kind != 3) return value;
    const ptype1& ph = (*run.arrays.prec1)[p.phases[1]];
    const std::string& param = run.script.tables->mc[m].param;
    for (int e = 1; e <= ph.nem; ++e) {
        if ("DQF(" + ph.em[e].name + ")" == param) {
            const real sign = p.abc == 2 ? -1 : 1;
            return mc.basetd[p.phases[1]][e][p.abc] + sign * (value - p.original);
        }
    }
    return value;
}

int partdecimals(int16 abc) {
    return abc == 2 ? 6 : 5;
}

// Values joined by ", ", 16 to an output line (", " ends a line, the next starts with two
// blanks).
void joined(Session& ses, std::string& line, int& count, const std::string& value) {
    if (count > 0) {
        line += ", ";
        if (count % 16 == 0) {
            putstr(ses, 0, line, 1, vxmask);
            line = "  ";
        }
    }
    line += value;
    ++count;
}

// The parameter lines of an accepted trial on the drawing-program channel.
void writeparameters(Session& ses, const Run& run, const MonteCarlo& mc, const RunCounter& rc) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const bool cw = yes(sc.mcoutcurrentwaycb);
    std::string line = cw ? "{{(* cw *) " : "{{(* cw  ";
    int count = 0;
    for (int m = 1; m <= mc.nmc; ++m) {
        const McParam& p = mc.lines[m];
        if (p.rangecode != 0) continue;
        joined(ses, line, count, fixed(partdecimals(p.abc), shownvalue(run, mc, m, p.value)));
    }
    if (sc.nmcrange > 0) {
        if (count > 0) line += ", ";
        putstr(ses, 0, line, 1, vxmask);
        line.clear();
        count = 0;
        for (int k = 1; k <= sc.nmcrange; ++k) {
            joined(ses, line, count, fixed(5, tab.mcrange[k].value + mc.rangevalue[k]));
        }
    }
    if (!cw) line += " *)";
    putstr(ses, 0, line, 1, vxmask);
    line = cw ? "  (* nw    " : "  (* nw *) ";
    count = 0;
    for (int m = 1; m <= mc.nmc; ++m) {
        joined(ses, line, count,
               fixed(partdecimals(mc.lines[m].abc), shownvalue(run, mc, m, mc.mcvalues[m])));
    }
    if (cw) line += " *)";
    line += "}, ";
    if (sc.filtersgiven && rc.irunblock == 0) line += " (* " + realstr(rc.irun) + " *)";
    putstr(ses, 0, line, 1, vxmask);
}

}  // namespace

void printequilmath(Session& ses, const Run& run, const BatchState& bs) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    putstr(ses, 1, " equil = {", 0, vxmask);
    std::string csv;
    std::string csv2;
    for (int b = 1; b <= sc.nbatch; ++b) {
        const MemberNames m = membernames(run, bs, b);
        std::string line = "{ (* " + realstr(tab.batchmap[b]) + " *) {";
        for (int i = 1; i <= m.nphases; ++i) {
            if (i > 1) line += ", ";
            line += "\"" + m.phases[i] + "\"";
        }
        line += "},";
        putstr(ses, 1, line, 1, vxmask);
        line = " {";
        for (int i = 1; i <= m.nvars; ++i) {
            if (i > 1) {
                line += ", ";
                if (i % 12 == 0) {
                    putstr(ses, 0, line, 1, vxmask);
                    line = "  ";
                }
            }
            line += "\"" + m.vars[i] + "\"";
        }
        line += "}}";
        line += b == sc.nbatch ? " };" : ",";
        putstr(ses, 0, line, 1, vxmask);

        const std::string tag = realstr(b) + "-";
        csv += "   #, ";
        auto col = [](std::string& to, const std::string& name) {
            addstr(name, 10, to);
            to += ", ";
        };
        col(csv, tag + "P");
        col(csv, tag + "T");
        for (int i = 1; i <= m.nvars; ++i) col(csv, tag + m.vars[i]);
        for (int i = 1; i <= m.nphases; ++i) col(csv, tag + m.phases[i]);
        csv2 += "   #, ";
        for (const char* name : {"G", "H", "S", "V", "rho"}) col(csv2, tag + name);
    }
    putstr(ses, 0, csv, 1, csvmask);
    putstr(ses, 0, csv2, 1, csv2mask);
}

void accumulateresults(Session& ses, const Run& run, const SolveState& st, const MonteCarlo& mc,
                       Accumulation& acc, const RunCounter& rc, int16 b, int16 k, bool& good) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const int16 nmembers = sc.nbatch;
    // Progress on the console.
    if (b == 1 && k == 1 && rc.irun % 250 == 0) {
        std::string s = "(" + realstr(rc.number()) + ", " + realstr(acc.mcsuccesses) + ") ";
        if (rc.irun % 2500 == 0) s += "\n";
        if (rc.irun % 10000 == 0) {
            s += "\n\n";
            for (int g = 1; g <= nmembers && sc.filtersgiven; ++g) {
                const int32 a = acc.nonesolved[g];
                const int32 c = acc.nonepassed[g];
                if (a == 0 && c == 0) {
                    s += realstr(g) + ":0 ";
                } else {
                    s += realstr(g) + ":" + realstr(a + c) + "(" + realstr(a) + "/" + realstr(c) +
                         ") ";
                }
                acc.nonesolved[g] = 0;
                acc.nonepassed[g] = 0;
            }
            s += "\n";
        }
        ses.console.write(s);
    }
    if (rc.firstrun && b == 1 && k == 1) {
        acc.mcsuccesses = 0;
        acc.nonesolved.fill(0);
        acc.nonepassed.fill(0);
        putstr(ses, 1, "starting to accumulate results", 2, screensummarylogmask);
        putstr(ses, 1, " results = {", 1, vxmask);
        acc.listopen = true;
    }
    if (b == 1 && k == 1) acc.nstored = 0;

    // Point k of member b.
    acc.solved[b][k] = good;
    acc.passed[b][k] = true;
    if (acc.nstored >= maxstored) bomb("accumulateresults", "too many results", myfault);
    if (!acc.stored) acc.stored = std::make_unique<Fixed1<StoredResult, maxstored>>();
    StoredResult& r = (*acc.stored)[++acc.nstored];
    r = StoredResult{};
    r.member = b;
    r.nx = run.nxvars;
    r.nmode = run.nmodevars;
    r.good = good;
    if (!good) {
        r.p = 0;
        r.t = 273.15L;
        acc.passed[b][k] = false;
    } else {
        r.p = st.cur.p;
        r.t = st.cur.t;
        for (int i = 3; i <= run.nxvars + run.nmodevars; ++i) r.values[i] = st.varvalues[i];
        r.totals[1] = st.cur.sys.g[1];
        r.totals[2] = st.cur.sys.h[1];
        r.totals[3] = st.cur.sys.s[1];
        r.totals[4] = st.cur.sys.v[1];
        r.totals[5] = st.cur.sys.density[1];
        if (sc.filtersgiven) {
            const FilterSet& set = tab.filterset[b];
            for (int c = 1; c <= set.n; ++c) {
                const int16 code = acc.filtercode[b][c];
                const real v = code == 1 ? r.p : code == 2 ? r.t : r.values[code];
                const Filter& f = set.filter[c];
                acc.passed[b][k] = acc.passed[b][k] && f.low < v && v < f.high;
            }
        }
    }

    const BatchRec& member = tab.batch[b];
    const bool last = b == nmembers && k == member.npt;
    bool accepted = true;
    if (last && sc.filtersgiven) {
        for (int g = 1; g <= nmembers && accepted; ++g) {
            bool solvedany = false;
            bool passedany = false;
            for (int q = 1; q <= tab.batch[g].npt; ++q) {
                solvedany = solvedany || acc.solved[g][q];
                passedany = passedany || (acc.solved[g][q] && acc.passed[g][q]);
            }
            if (!solvedany) ++acc.nonesolved[g];
            if (!passedany) ++acc.nonepassed[g];
            accepted = solvedany && passedany;
        }
    }
    good = accepted;
    if (!(accepted && last)) return;

    ++acc.mcsuccesses;
    // The spread: how far into its filter window the worst condition lies.
    real d = 0;
    if (sc.filtersgiven) {
        for (int n = 1; n <= acc.nstored; ++n) {
            const StoredResult& s = (*acc.stored)[n];
            if (!s.good || n > nmembers) continue;
            const FilterSet& set = tab.filterset[n];
            for (int c = 1; c <= set.n; ++c) {
                const int16 code = acc.filtercode[n][c];
                const real v = code == 1 ? s.p : code == 2 ? s.t : s.values[code];
                const Filter& f = set.filter[c];
                d = std::max(d, std::fabs(2 * (v - (f.low + f.high) / 2) / (f.high - f.low)));
            }
        }
    }
    const Windows& w = run.windows;
    const int pdec = w.pformat > 2 ? w.pformat : 2;
    const int tdec = w.tformat > 1 ? w.tformat : 1;
    std::string csv;
    std::string csv2;
    addstr(realstr(rc.irun), 4, csv);
    csv += ", ";
    addstr(realstr(rc.irun), 4, csv2);
    csv2 += ", ";
    for (int n = 1; n <= acc.nstored; ++n) {
        const StoredResult& s = (*acc.stored)[n];
        const int nvalues = s.nx + s.nmode - 2;
        const bool firstpoint = n == 1 || (*acc.stored)[n - 1].member != s.member;
        const bool lastpoint = n == acc.nstored || (*acc.stored)[n + 1].member != s.member;
        if (n == 1) {
            ++acc.nresultblocks;
            writeparameters(ses, run, mc, rc);
            if (rc.firstrun) {
                putstr(ses, 2, realstr(mc.nmc) + " " + realstr(nmembers) + " ", 2, summarymask);
            }
            std::string out;
            for (int m = 1; m <= mc.nmc; ++m) {
                const McParam& p = mc.lines[m];
                if (p.rangecode != 0) continue;
                const int dec = p.abc == 1 ? 4 : p.abc == 2 ? 7 : p.abc == 3 ? 6 : 0;
                if (dec == 0) bomb("setupmontecarlo", "bad abc code", yourfault);
                out += fixed(dec, p.value) + " ";
            }
            for (int k2 = 1; k2 <= sc.nmcrange; ++k2) {
                for (int m = 1; m <= mc.nmc; ++m) {
                    if (mc.lines[m].rangecode != k2) continue;
                    if (mc.lines[m].kind != 3) out += fixed(4, mc.lines[m].value);
                    out += " ";
                    break;
                }
            }
            putstr(ses, 0, out, 1, summarymask);
        }
        // Drawing-program row.
        std::string line = " ";
        line += firstpoint ? "{{ (* " + realstr(tab.batchmap[s.member]) + " *) { " : " {         {";
        if (!s.good) {
            line += "0, 0}, {";
        } else {
            line += fixed(pdec, s.p) + ", " + fixed(tdec, s.t - 273.15L) + "}, {";
            for (int i = 1; i <= nvalues; ++i) {
                if (i > 1) {
                    line += ", ";
                    if (i % 12 == 0 && i <= 48) {
                        putstr(ses, 0, line, 1, vxmask);
                        line = spaces(13);
                    }
                }
                line += fixed(4, s.values[i + 2]);
            }
        }
        if (!s.label.empty()) line += "}, {\"" + s.label + "\"";
        line += "}}";
        if (n == acc.nstored) {
            std::string dd;
            addreal(3, false, 0, dd, d);
            const bool closes = acc.mcsuccesses == acc.mcwanted;
            line += "},     " + dd + (closes ? "}};" : "},");
            if (closes) acc.listopen = false;
        } else if (lastpoint) {
            line += "},";
        } else {
            line += ",";
        }
        putstr(ses, 0, line, n == acc.nstored ? 2 : 1, vxmask);
        // Summary row.
        std::string row;
        if (firstpoint) {
            row = realstr(tab.batchmap[s.member]) + " " + realstr(tab.batch[s.member].npt) + " " +
                  realstr(nvalues) + " ";
        } else {
            row = "    " + realstr(nvalues) + " ";
        }
        if (s.good) {
            row += fixed(pdec, s.p) + " " + fixed(tdec, s.t - 273.15L) + " ";
            for (int i = 1; i <= nvalues; ++i) {
                if (i == 12 || i == 24) {
                    putstr(ses, 0, row, 1, summarymask);
                    row = "    ";
                }
                row += fixed(4, s.values[i + 2]) + " ";
            }
        }
        putstr(ses, 0, row, n == acc.nstored ? 2 : 1, summarymask);
        // csv rows.
        std::string pv;
        addreal(3, true, 10, pv, s.p);
        std::string tv;
        addreal(2, true, 10, tv, s.t - 273.15L);
        csv += pv + ", " + tv + ", ";
        for (int i = 1; i <= nvalues; ++i) {
            if (s.good) {
                addreal(5, true, 10, csv, s.values[i + 2]);
            } else {
                addstr("-1", 10, csv);
            }
            csv += ", ";
        }
        for (int i = 1; i <= 5; ++i) {
            if (s.good) {
                addreal(3, true, 10, csv2, s.totals[i]);
            } else {
                addstr("-1", 10, csv2);
            }
            csv2 += ", ";
        }
    }
    putstr(ses, 0, csv, 1, csvmask);
    putstr(ses, 0, csv2, 1, csv2mask);
}

void closeresults(Session& ses, Accumulation& acc) {
    if (!acc.listopen) return;
    putstr(ses, 0, acc.nresultblocks == 0 ? "};" : " {}}; (* trial limit reached *)", 2, vxmask);
    acc.listopen = false;
}

}  // namespace qv
