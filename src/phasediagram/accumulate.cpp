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

// x with d significant digits (the values and parameters of the lists).
std::string digits(int d, real x) {
    std::string s;
    addreal(d, false, 0, s, x);
    return s;
}

// x with d decimals.
std::string decimals(int d, real x) {
    std::string s;
    addreal(d, true, 0, s, x);
    return s;
}

// The value a filter condition tests: 1 P, 2 T, 3.. the unknown of that number.
real filtervalue(const StoredResult& r, int16 code) {
    return code == 1 ? r.p : code == 2 ? r.t : r.values[code];
}

// Whether stored result n is the first (last) point of its member in the trial.
bool firstpoint(const Accumulation& acc, int n) {
    return n == 1 || (*acc.stored)[n - 1].member != (*acc.stored)[n].member;
}

bool lastpoint(const Accumulation& acc, int n) {
    return n == acc.nstored || (*acc.stored)[n + 1].member != (*acc.stored)[n].member;
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
    const bemvector& ph = bs.memberphases()[b];
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
        joined(ses, line, count, digits(partdecimals(p.abc), shownvalue(run, mc, m, p.value)));
    }
    if (sc.nmcrange > 0) {
        if (count > 0) line += ", ";
        putstr(ses, 0, line, 1, vxmask);
        line.clear();
        count = 0;
        for (int k = 1; k <= sc.nmcrange; ++k) {
            joined(ses, line, count, digits(5, tab.mcrange[k].value + mc.rangevalue[k]));
        }
    }
    if (!cw) line += " *)";
    putstr(ses, 0, line, 1, vxmask);
    line = cw ? "  (* nw    " : "  (* nw *) ";
    count = 0;
    for (int m = 1; m <= mc.nmc; ++m) {
        joined(ses, line, count,
               digits(partdecimals(mc.lines[m].abc), shownvalue(run, mc, m, mc.mcvalues[m])));
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
    }
}

// ---------------------------------------------------------------------------------------------
// The accumulator.

void recordresult(Accumulation& acc, const Run& run, const SolveState& st, int16 b, int16 k,
                  bool good) {
    const ScriptSettings& sc = run.script;
    if (b == 1 && k == 1) acc.nstored = 0;
    acc.solved[b][k] = good;
    acc.passed[b][k] = good;
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
        return;
    }
    r.p = st.cur.p;
    r.t = st.cur.t;
    for (int i = 3; i <= run.nxvars + run.nmodevars; ++i) r.values[i] = st.varvalues[i];
    r.totals[1] = st.cur.sys.g[1];
    r.totals[2] = st.cur.sys.h[1];
    r.totals[3] = st.cur.sys.s[1];
    r.totals[4] = st.cur.sys.v[1];
    r.totals[5] = st.cur.sys.density[1];
    if (!sc.filtersgiven) return;
    const FilterSet& set = sc.tables->filterset[b];
    for (int c = 1; c <= set.n; ++c) {
        const real v = filtervalue(r, acc.filtercode[b][c]);
        const Filter& f = set.filter[c];
        acc.passed[b][k] = acc.passed[b][k] && f.low < v && v < f.high;
    }
}

bool trialaccepted(Accumulation& acc, const ScriptTables& tab, int16 nmembers, bool filtersgiven) {
    for (int g = 1; g <= nmembers; ++g) {
        bool solvedany = false;
        bool passedany = false;
        for (int q = 1; q <= tab.batch[g].npt; ++q) {
            solvedany = solvedany || acc.solved[g][q];
            passedany = passedany || (acc.solved[g][q] && acc.passed[g][q]);
        }
        if (filtersgiven) {
            if (!solvedany) ++acc.nonesolved[g];
            if (!passedany) ++acc.nonepassed[g];
        }
        // A member with no solved point fails the trial, filters or none.
        if (!(solvedany && passedany)) return false;
    }
    return true;
}

real trialspread(const Accumulation& acc, const ScriptTables& tab, int16 nmembers,
                 bool filtersgiven) {
    real d = 0;
    if (!filtersgiven) return d;
    for (int n = 1; n <= acc.nstored && n <= nmembers; ++n) {
        const StoredResult& s = (*acc.stored)[n];
        if (!s.good) continue;
        const FilterSet& set = tab.filterset[n];
        for (int c = 1; c <= set.n; ++c) {
            const real v = filtervalue(s, acc.filtercode[n][c]);
            const Filter& f = set.filter[c];
            d = std::max(d, std::fabs(2 * (v - (f.low + f.high) / 2) / (f.high - f.low)));
        }
    }
    return d;
}

namespace {

// ---------------------------------------------------------------------------------------------
// The writers.

// Progress on the console at point 1 of member 1 of every 250th trial, with the filter
// counters every 10000th.
void writeprogress(Session& ses, const Run& run, Accumulation& acc, const RunCounter& rc) {
    const ScriptSettings& sc = run.script;
    std::string s = "(" + realstr(rc.number()) + ", " + realstr(acc.mcsuccesses) + ") ";
    if (rc.irun % 2500 == 0) s += "\n";
    if (rc.irun % 10000 == 0) {
        s += "\n\n";
        for (int g = 1; g <= sc.nbatch && sc.filtersgiven; ++g) {
            const int32 a = acc.nonesolved[g];
            const int32 c = acc.nonepassed[g];
            if (a == 0 && c == 0) {
                s += realstr(g) + ":0 ";
            } else {
                s += realstr(g) + ":" + realstr(a + c) + "(" + realstr(a) + "/" + realstr(c) + ") ";
            }
            acc.nonesolved[g] = 0;
            acc.nonepassed[g] = 0;
        }
        s += "\n";
    }
    ses.console.write(s);
}

// P and T of a list row with the run's decimals: P with pformat decimals (at least 2), T in
// degrees Celsius with tformat decimals (at least 1), so that both read back to the precision
// the run works to.
struct PtDecimals {
    int p = 2;
    int t = 1;
};

PtDecimals ptdecimals(const Run& run) {
    const Windows& w = run.windows;
    return {w.pformat > 2 ? w.pformat : 2, w.tformat > 1 ? w.tformat : 1};
}

// The trial's parameter values on the summary channel (with the counts of lines and members
// on the first run).
void writesummaryparameters(Session& ses, const Run& run, const MonteCarlo& mc,
                            const RunCounter& rc) {
    const ScriptSettings& sc = run.script;
    if (rc.firstrun) {
        putstr(ses, 2, realstr(mc.nmc) + " " + realstr(sc.nbatch) + " ", 2, summarymask);
    }
    std::string out;
    for (int m = 1; m <= mc.nmc; ++m) {
        const McParam& p = mc.lines[m];
        if (p.rangecode != 0) continue;
        const int dec = p.abc == 1 ? 4 : p.abc == 2 ? 7 : p.abc == 3 ? 6 : 0;
        if (dec == 0) bomb("setupmontecarlo", "bad abc code", yourfault);
        out += digits(dec, p.value) + " ";
    }
    for (int k2 = 1; k2 <= sc.nmcrange; ++k2) {
        for (int m = 1; m <= mc.nmc; ++m) {
            if (mc.lines[m].rangecode != k2) continue;
            if (mc.lines[m].kind != 3) out += digits(4, mc.lines[m].value);
            out += " ";
            break;
        }
    }
    putstr(ses, 0, out, 1, summarymask);
}

// Stored result n on the drawing-program list: its P, T and values, closed by the spread d
// after the last result of the trial.
void writelistrow(Session& ses, const Run& run, Accumulation& acc, int n, real d) {
    const ScriptTables& tab = *run.script.tables;
    const StoredResult& s = (*acc.stored)[n];
    const PtDecimals dec = ptdecimals(run);
    const int nvalues = s.nx + s.nmode - 2;
    std::string line = " ";
    line +=
        firstpoint(acc, n) ? "{{ (* " + realstr(tab.batchmap[s.member]) + " *) { " : " {         {";
    if (!s.good) {
        line += "0, 0}, {";
    } else {
        line += decimals(dec.p, s.p) + ", " + decimals(dec.t, s.t - 273.15L) + "}, {";
        for (int i = 1; i <= nvalues; ++i) {
            if (i > 1) {
                line += ", ";
                if (i % 12 == 0 && i <= 48) {
                    putstr(ses, 0, line, 1, vxmask);
                    line = spaces(13);
                }
            }
            line += digits(4, s.values[i + 2]);
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
    } else if (lastpoint(acc, n)) {
        line += "},";
    } else {
        line += ",";
    }
    putstr(ses, 0, line, n == acc.nstored ? 2 : 1, vxmask);
}

// Stored result n as a plain row on the summary channel.
void writesummaryrow(Session& ses, const Run& run, const Accumulation& acc, int n) {
    const ScriptTables& tab = *run.script.tables;
    const StoredResult& s = (*acc.stored)[n];
    const PtDecimals dec = ptdecimals(run);
    const int nvalues = s.nx + s.nmode - 2;
    std::string row;
    if (firstpoint(acc, n)) {
        row = realstr(tab.batchmap[s.member]) + " " + realstr(tab.batch[s.member].npt) + " " +
              realstr(nvalues) + " ";
    } else {
        row = "    " + realstr(nvalues) + " ";
    }
    if (s.good) {
        row += decimals(dec.p, s.p) + " " + decimals(dec.t, s.t - 273.15L) + " ";
        for (int i = 1; i <= nvalues; ++i) {
            if (i == 12 || i == 24) {
                putstr(ses, 0, row, 1, summarymask);
                row = "    ";
            }
            row += digits(4, s.values[i + 2]) + " ";
        }
    }
    putstr(ses, 0, row, n == acc.nstored ? 2 : 1, summarymask);
}

// A csv field: the text right-justified in 10 and ", ".
void csvfield(std::string& row, std::string_view text) {
    addcsv(text, 10, row);
    row += ", ";
}

void csvnumber(std::string& row, int d, real x) {
    addcsvreal(d, true, 10, row, x);
    row += ", ";
}

// While the csv heads are still to be written: the heads of the values stored result n holds,
// under the result's member number: "#" over the trial number, P, T and the names of its
// composition variables and modes; G, H, S, V and rho on the second file.
void addcsvheads(Accumulation& acc, const SolveState& st, int n) {
    const StoredResult& s = (*acc.stored)[n];
    const std::string tag = realstr(s.member) + "-";
    acc.csvhead += "   #, ";
    csvfield(acc.csvhead, tag + "P");
    csvfield(acc.csvhead, tag + "T");
    for (int i = 3; i <= s.nx + s.nmode; ++i) csvfield(acc.csvhead, tag + st.xref.xnames[i]);
    acc.csv2head += "   #, ";
    for (const char* name : {"G", "H", "S", "V", "rho"}) csvfield(acc.csv2head, tag + name);
}

// The rows of the two csv files: every stored result of the trial after the trial number, P
// (3 decimals, more when the run's P has more), T in degrees Celsius (2 decimals, more when the
// run's T has more) and its values (5 decimals), or -1 for each value of a failed result; its
// five totals on the second file.
void writecsvrows(Session& ses, const Run& run, Accumulation& acc, const RunCounter& rc) {
    if (!acc.csvheadswritten) {
        putrow(ses, acc.csvhead, csvmask);
        putrow(ses, acc.csv2head, csv2mask);
        acc.csvheadswritten = true;
        acc.csvhead.clear();
        acc.csv2head.clear();
    }
    const PtDecimals dec = ptdecimals(run);
    std::string trial;
    addstr(realstr(rc.irun), 4, trial);
    trial += ", ";
    std::string csv;
    std::string csv2;
    for (int n = 1; n <= acc.nstored; ++n) {
        const StoredResult& s = (*acc.stored)[n];
        csv += trial;
        csvnumber(csv, std::max(3, dec.p), s.p);
        csvnumber(csv, std::max(2, dec.t), s.t - 273.15L);
        for (int i = 1; i <= s.nx + s.nmode - 2; ++i) {
            if (s.good) {
                csvnumber(csv, 5, s.values[i + 2]);
            } else {
                csvfield(csv, "-1");
            }
        }
        csv2 += trial;
        for (int i = 1; i <= 5; ++i) {
            if (s.good) {
                csvnumber(csv2, 3, s.totals[i]);
            } else {
                csvfield(csv2, "-1");
            }
        }
    }
    putrow(ses, csv, csvmask);
    putrow(ses, csv2, csv2mask);
}

}  // namespace

bool accumulateresults(Session& ses, const Run& run, const SolveState& st, const MonteCarlo& mc,
                       Accumulation& acc, const RunCounter& rc, int16 b, int16 k, bool good) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    const int16 nmembers = sc.nbatch;
    if (b == 1 && k == 1 && rc.irun % 250 == 0) writeprogress(ses, run, acc, rc);
    if (rc.firstrun && b == 1 && k == 1) {
        acc.mcsuccesses = 0;
        acc.nonesolved.fill(0);
        acc.nonepassed.fill(0);
        putstr(ses, 1, "starting to accumulate results", 2, screensummarylogmask);
        putstr(ses, 1, " results = {", 1, vxmask);
        acc.listopen = true;
    }
    if (b == 1 && k == 1 && !acc.csvheadswritten) {
        acc.csvhead.clear();
        acc.csv2head.clear();
    }
    recordresult(acc, run, st, b, k, good);
    if (!acc.csvheadswritten) addcsvheads(acc, st, acc.nstored);

    if (b != nmembers || k != tab.batch[b].npt) return true;
    if (!trialaccepted(acc, tab, nmembers, sc.filtersgiven)) return false;

    ++acc.mcsuccesses;
    const real d = trialspread(acc, tab, nmembers, sc.filtersgiven);
    ++acc.nresultblocks;
    writeparameters(ses, run, mc, rc);
    writesummaryparameters(ses, run, mc, rc);
    for (int n = 1; n <= acc.nstored; ++n) {
        writelistrow(ses, run, acc, n, d);
        writesummaryrow(ses, run, acc, n);
    }
    writecsvrows(ses, run, acc, rc);
    return true;
}

void closeresults(Session& ses, Accumulation& acc) {
    if (!acc.listopen) return;
    putstr(ses, 0, acc.nresultblocks == 0 ? "};" : " {}}; (* trial limit reached *)", 2, vxmask);
    acc.listopen = false;
}

}  // namespace qv
