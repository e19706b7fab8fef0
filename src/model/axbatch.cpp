// Batch copies of the phases ("boil-down") and the batch and Monte Carlo summaries. A batch
// whose starting guesses set some composition variables of a phase to 0 calculates with a
// smaller model of that phase: the end-members those variables carry are absent from the
// batch's rocks. The smaller model is a separate phase, so batches with other guesses keep the
// full one.

#include <string>

#include "base/fatal.hpp"
#include "model/axchoices.hpp"
#include "model/run.hpp"
#include "numerics/convert.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr int summarycell = 6;  // columns of one phase in the batch summary

const std::string q = "\"";

std::string intstr(int n) {
    return realstr(static_cast<real>(n));
}

class BoilDown {
public:
    BoilDown(Session& ses, Run& run)
        : ses_(ses),
          run_(run),
          sc_(run.script),
          tab_(*run.script.tables),
          ss_(*run.arrays.prec1),
          pure_(*run.arrays.prec0) {}

    void batches() {
        if (sc_.nbatch < 1) return;
        nwithbefore_ = sc_.nwithphases;
        withphases();
        for (int b = 1; b <= sc_.nbatch; ++b) {
            const int16 block = tab_.batch[b].kxyz;
            if (block < 1 || block > sc_.nbxyz) continue;
            // Copies made for this batch are flagged in it and need no boiling of their own.
            for (int i = 1; i <= nwithbefore_; ++i) {
                if (tab_.batch[b].phases[i] && ssofwith_[i] != 0) boilphase(b, i);
            }
        }
    }

private:
    // The solution phase of each "with" entry (0 for a pure phase).
    void withphases() {
        for (int i = 1; i <= nwithbefore_; ++i) {
            const std::string& name = sc_.withlist[i];
            int16 k = solutionphase(name, run_.nss);
            if (k == 0 && !ispure(name)) bomb("read", "name fubar with " + name, yourfault);
            ssofwith_[i] = k;
        }
    }

    int16 solutionphase(const std::string& name, int last) const {
        for (int k = 1; k <= last; ++k) {
            if (ss_[k].name == name) return narrow16(k);
        }
        return 0;
    }

    bool ispure(const std::string& name) const {
        for (int k = 1; k <= run_.npure; ++k) {
            if (pure_[k].name == name) return true;
        }
        return false;
    }

    int16 withposition(const std::string& name) const {
        for (int i = 1; i <= sc_.nwithphases; ++i) {
            if (sc_.withlist[i] == name) return narrow16(i);
        }
        return 0;
    }

    // Phase of "with" entry `i` in batch `b`: its variables must stand in the batch's block in
    // the phase's order, and any zero among their values calls for a contracted copy.
    void boilphase(int b, int i) {
        BatchRec& bat = tab_.batch[b];
        const BatchXyzBlock& block = tab_.bxyz[bat.kxyz];
        const int16 k = ssofwith_[i];
        const ptype1& ph = ss_[k];
        if (ph.nvar < 1) return;
        int first = 0;
        for (int g = 1; g <= block.n && first == 0; ++g) {
            if (block.guess[g].name == ph.var[1].name) first = g;
        }
        if (first == 0) {
            putstr(ses_, 2,
                   " problem in starting guess block " + intstr(bat.kxyz) + " - missing phase " +
                       ph.name + " for batch " + intstr(b) + "?",
                   1, screensummarylogmask);
            bomb("read", "can't find first var " + ph.var[1].name, yourfault);
        }
        const int last = first + ph.nvar - 1;
        if (last > block.n || block.guess[last].name != ph.var[ph.nvar].name) {
            ses_.console.write("batch " + intstr(b) + "\n");
            bomb("read", "no last var for " + ph.name, yourfault);
        }
        bool zeros = false;
        for (int g = first; g <= last; ++g) zeros = zeros || block.guess[g].value == 0;
        if (!zeros) return;

        const int16 n = makecopy(k, block, first);
        const int16 same = samecopy(ph.name, n);
        int16 pos = 0;
        if (same != 0) {
            --run_.nss;  // the slot is overwritten by the next copy
            pos = withposition(ss_[same].name);
            bat.phases[pos] = true;
        } else {
            pos = newcopy(b, k, n);
        }
        // The batch now takes the copy in place of the phase, for the modes it sets too.
        bat.phases[i] = false;
        for (int m = 1; m <= bat.nmodeset; ++m) {
            if (bat.modephase[m] == i) bat.modephase[m] = pos;
        }
    }

    // Phase k copied after the last solution phase with the block's guesses and contracted.
    int16 makecopy(int16 k, const BatchXyzBlock& block, int first) {
        if (run_.nss + 1 > maxss) {
            bomb("read", "numbers of phases in boil down" + maxtext(maxss), yourfault);
        }
        const int16 n = ++run_.nss;
        ss_[n] = ss_[k];
        ptype1& copy = ss_[n];
        copy.name = copy.longname = copy.fullname = ss_[k].name + "-1";
        copy.hasguesses = true;
        copy.nvarset = copy.nvar;
        copy.nzerovar = 0;
        for (int j = 1; j <= copy.nem; ++j) copy.empresent[j] = true;
        for (int v = 1; v <= copy.nvar; ++v) {
            xvartype& x = copy.var[v];
            x.guess = block.guess[first + v - 1].value;
            copy.varsetname[v] = x.name;
            copy.varnonzero[v] = x.guess != 0;
            if (x.guess == 0) copy.zerovar[++copy.nzerovar] = x.name;
        }
        contractphase(ses_, run_, n);
        return n;
    }

    // An earlier copy of the phase with the same variables as copy n, or 0 when there is none;
    // in that case copy n takes the first free name.
    int16 samecopy(const std::string& source, int16 n) {
        const ptype1& copy = ss_[n];
        for (int c = 1; c <= maxboils; ++c) {
            const std::string name = source + "-" + intstr(c);
            const int16 e = solutionphase(name, n - 1);
            if (e == 0) {
                ss_[n].name = ss_[n].longname = ss_[n].fullname = name;
                return 0;
            }
            if (samevariables(ss_[e], copy)) return e;
        }
        bomb("setupphases", "too many boils" + maxtext(maxboils), yourfault);
    }

    static bool samevariables(const ptype1& a, const ptype1& b) {
        if (a.nvar != b.nvar) return false;
        for (int v = 1; v <= a.nvar; ++v) {
            if (a.var[v].name != b.var[v].name) return false;
        }
        return true;
    }

    // Copy n of phase k joins "with", belongs to batch b alone, and follows the phase in every
    // Monte Carlo line that varies it.
    int16 newcopy(int b, int16 k, int16 n) {
        if (sc_.nwithphases + 1 > maxwithphases) {
            bomb("read", "number of whichstrings" + maxtext(maxwithphases), yourfault);
        }
        const int16 pos = ++sc_.nwithphases;
        sc_.withlist[pos] = ss_[n].name;
        sc_.withfull[pos] = ss_[n].longname;
        for (int other = 1; other <= sc_.nbatch; ++other)
            tab_.batch[other].phases[pos] = other == b;
        const ptype1& source = ss_[k];
        for (int m = 1; m <= sc_.nmc; ++m) {
            McTarget& t = run_.ax.mc[m];
            bool varies = tab_.mc[m].phase == source.name || tab_.mc[m].phase == source.longname;
            for (int j = 1; j <= t.nphases && !varies; ++j) varies = t.phases[j] == source.name;
            if (varies) addmcphase(t, ss_[n].name);
        }
        return pos;
    }

    Session& ses_;
    Run& run_;
    ScriptSettings& sc_;
    ScriptTables& tab_;
    prectype1& ss_;
    const prectype0& pure_;
    int16 nwithbefore_ = 0;
    Fixed1<int16, maxwords> ssofwith_;
};

// Cells of the summary line of batch b: "0" when the phase itself takes part, else the
// numbers of its copies that do.
Fixed1<std::string, maxwords> batchcells(const ScriptSettings& sc, const BatchRec& bat,
                                         int16 nwithbefore) {
    Fixed1<std::string, maxwords> cell;
    for (int i = 1; i <= nwithbefore; ++i) {
        if (bat.phases[i]) cell[i] = "0";
    }
    for (int j = nwithbefore + 1; j <= sc.nwithphases; ++j) {
        if (!bat.phases[j]) continue;
        const std::string& name = sc.withlist[j];
        const std::size_t dash = name.rfind('-');
        if (dash == std::string::npos) {
            bomb("setup phase", "no " + q + "-" + q + " in name, " + name, yourfault);
        }
        const std::string source = name.substr(0, dash);
        int i = 0;
        for (int w = 1; w <= nwithbefore && i == 0; ++w) {
            if (sc.withlist[w] == source) i = w;
        }
        if (i == 0) bomb("setup phase", source + " not in whstrings", yourfault);
        if (!cell[i].empty()) cell[i] += " + ";
        cell[i] += name.substr(dash + 1);
    }
    return cell;
}

}  // namespace

void boildownbatches(Session& ses, Run& run) {
    BoilDown(ses, run).batches();
}

void printbatchsummary(Session& ses, const Run& run, int16 nwithbefore) {
    const ScriptSettings& sc = run.script;
    putstr(ses, 1, "summary of batches", 1, screensummarylogmask);
    std::string line = "    ";
    for (int i = 1; i <= nwithbefore; ++i) addstr(sc.withlist[i], summarycell, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    for (int b = 1; b <= sc.nbatch; ++b) {
        const Fixed1<std::string, maxwords> cell = batchcells(sc, sc.tables->batch[b], nwithbefore);
        line.clear();
        addgreal(2, line, b);
        line += ": ";
        for (int i = 1; i <= nwithbefore; ++i) {
            addstr(cell[i].empty() ? "." : cell[i], summarycell, line);
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

void printmcsummary(Session& ses, const Run& run) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& tab = *sc.tables;
    if (sc.nmc <= 0) return;
    putstr(ses, 1, "summary of mc info", 1, screensummarylogmask);
    putstr(ses, 0, spaces(37) + "      value     range", 1, screensummarylogmask);
    for (int m = 1; m <= sc.nmc; ++m) {
        const McLine& mc = tab.mc[m];
        const McTarget& t = run.ax.mc[m];
        std::string line;
        addgreal(2, line, m);
        line += ":";
        addstr(mc.phase, 7, line);
        addstr(mc.param, 16, line);
        addgreal(3, line, t.kind);
        addgreal(4, line, t.index);
        addgreal(3, line, t.abc);
        if (!mc.relation.empty() && mc.relation[0] == 'f') {
            int f = 0;
            for (int j = 1; j <= sc.nmcfunc && f == 0; ++j) {
                if (tab.mcfunc[j].name == mc.relname) f = j;
            }
            line += " through mcfunc " + intstr(f) + " by " + mc.relname + " in mcrange";
        } else {
            addreal(3, true, 10, line, mc.value);
            addreal(3, true, 10, line, mc.range);
        }
        if (t.nphases > 0) {
            line += ";  also";
            for (int j = 1; j <= t.nphases; ++j) line += " " + t.phases[j];
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
