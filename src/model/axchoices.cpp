#include "model/axchoices.hpp"

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/fatal.hpp"
#include "model/run.hpp"
#include "numerics/convert.hpp"
#include "numerics/powers.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr const char* setupphaseslabel = "setup phases";

const std::string q = "\"";

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// The part of a variable name before its "(": "x" of "x(g)".
std::string varsymbol(const std::string& name) {
    return name.substr(0, name.find('('));
}

// Standard output, one line.
void writeline(Session& ses, const std::string& line) {
    ses.console.write(line);
    ses.console.write("\n");
}

// The steps of the script choices share the run, its tables and the lists of the reader.
class ScriptChoices {
public:
    ScriptChoices(Session& ses, Run& run)
        : ses_(ses),
          run_(run),
          lists_(run.ax),
          sc_(run.script),
          tab_(*run.script.tables),
          ss_(*run.arrays.prec1),
          pure_(*run.arrays.prec0) {}

    void phases() {
        if (run_.npure + run_.nss != run_.nphread) {
            bomb("read", "numbers of phases do not add up", myfault);
        }
        putstr(ses_, 0, "", 1, screenlogmask);
        buffer();
        withlist();
    }

    void choices() {
        // Known before a script group may join an a-x group and leave the counts equal.
        const bool axgroups = lists_.nsamecoding > lists_.nscriptsamecoding;
        if (lists_.nsamecoding > 0) samecodinggroups();
        codingtwoguesses();
        if (axgroups) listaxgroups();
        samecodingcopies();
        withtorecords();
        if (!yes(sc_.batchcb)) {
            for (int k = 1; k <= run_.nss; ++k) {
                if (inwithshort(ss_[k].name)) startingguesses(narrow16(k));
            }
        } else {
            montecarlo();
            const int16 nwithbefore = sc_.nwithphases;
            boildownbatches(ses_, run_);
            dropzeroblockguesses();
            if (yes(sc_.batchdebugcb)) printbatchsummary(ses_, run_, nwithbefore);
            printmcsummary(ses_, run_);
            run_.nphread = narrow16(run_.nss + run_.npure);
        }
    }

private:
    void buffer() {
        lists_.bufferindex = 0;
        if (lists_.nbuffers <= 0 || sc_.buffername.empty()) return;
        for (int i = 1; i <= lists_.nbuffers; ++i) {
            if (lists_.buffers[i] == sc_.buffername) {
                lists_.bufferindex = narrow16(i);
                return;
            }
        }
        bomb("read", "script, " + q + sc_.buffername + q + ", not in axfile", myfault);
    }

    // The long-name list holds the words as the script gave them; names given without a
    // suffix stand for themselves.
    void withlist() {
        if (sc_.nwithphases <= 100) {
            for (int i = 1; i <= sc_.nwithphases; ++i) {
                if (sc_.withfull[i].empty()) sc_.withfull[i] = sc_.withlist[i];
            }
            return;
        }
        int16 n = 0;
        for (int k = 1; k <= run_.nss; ++k) {
            ++n;
            sc_.withlist[n] = ss_[k].name;
            sc_.withfull[n] = ss_[k].longname;
        }
        for (int k = 1; k <= run_.npure; ++k) {
            ++n;
            sc_.withlist[n] = pure_[k].name;
            sc_.withfull[n] = pure_[k].name;
        }
        sc_.nwithphases = run_.nphread;
    }

    bool inwith(const std::string& shortname, const std::string& longname) const {
        for (int i = 1; i <= sc_.nwithphases; ++i) {
            if (sc_.withlist[i] == shortname || sc_.withfull[i] == longname ||
                sc_.withlist[i] == longname || sc_.withfull[i] == shortname) {
                return true;
            }
        }
        return false;
    }

    bool inwithshort(const std::string& name) const {
        for (int i = 1; i <= sc_.nwithphases; ++i) {
            if (sc_.withlist[i] == name) return true;
        }
        return false;
    }

    // Position of a name among the script's starting guesses, 0 when absent.
    int xyzposition(const std::string& name) const {
        for (int i = 1; i <= sc_.nxyzguess; ++i) {
            if (tab_.xyzguess[i].name == name) return i;
        }
        return 0;
    }

    void samecodinggroups() {
        if (sc_.ds190) bomb("read", "same coding not available", yourfault);
        // The script's groups hold the phase names as given until their bases are found.
        for (int g = 1; g <= lists_.nscriptsamecoding; ++g) {
            SameCodingGroup& grp = lists_.samecoding[g];
            grp = SameCodingGroup{};
            grp.n = tab_.nsameitems[g];
            for (int i = 1; i <= grp.n; ++i) grp.longname[i] = tab_.samecoding[g][i];
        }
        for (int g = 1; g <= lists_.nscriptsamecoding; ++g) scriptgroupbase(lists_.samecoding[g]);
        mergescriptgroups();
        for (int g = 1; g <= lists_.nsamecoding; ++g) dropduplicates(lists_.samecoding[g]);
    }

    void scriptgroupbase(SameCodingGroup& grp) {
        std::string longname = grp.longname[1];
        std::string shortname;
        std::string suffix;
        long2shortpname(longname, shortname, suffix);
        int base = 0;
        for (int k = 1; k <= run_.nss && base == 0; ++k) {
            if (ss_[k].longname == longname) base = k;
        }
        if (base == 0) {
            bomb(setupphaseslabel,
                 "first samecoding phase, " + grp.longname[1] + " is not in the axfile", yourfault);
        }
        const ptype1& b = ss_[base];
        if (b.coding == 2 && b.suffix.empty()) {
            bomb(setupphaseslabel,
                 "first samecoding phase, " + b.longname + " should be a long phasename",
                 yourfault);
        }
        grp.base = narrow16(base);
        for (int i = 1; i < grp.n; ++i) {
            std::string entrylong = grp.longname[i + 1];
            std::string entryshort;
            std::string entrysuffix = b.suffix;
            long2shortpname(entrylong, entryshort, entrysuffix);
            grp.first[i] = b.fullname;
            grp.shortname[i] = entryshort;
            grp.longname[i] = entrylong;
        }
        --grp.n;
    }

    // A script group on the base of an a-x group joins that group.
    void mergescriptgroups() {
        int16 kept = 0;
        int16 scriptkept = 0;
        for (int g = 1; g <= lists_.nsamecoding; ++g) {
            SameCodingGroup& grp = lists_.samecoding[g];
            int into = 0;
            if (g <= lists_.nscriptsamecoding) {
                for (int h = lists_.nscriptsamecoding + 1; h <= lists_.nsamecoding && into == 0;
                     ++h) {
                    if (lists_.samecoding[h].base == grp.base) into = h;
                }
            }
            if (into != 0) {
                for (int i = 1; i <= grp.n; ++i) {
                    additem(lists_.samecoding[into], grp.first[i], grp.shortname[i],
                            grp.longname[i]);
                }
                continue;
            }
            ++kept;
            if (g <= lists_.nscriptsamecoding) scriptkept = kept;
            if (kept != g) lists_.samecoding[kept] = grp;
        }
        // Groups that moved down past a dropped one leave stale copies beyond the count.
        lists_.nsamecoding = kept;
        lists_.nscriptsamecoding = scriptkept;
    }

    static void additem(SameCodingGroup& grp, const std::string& first,
                        const std::string& shortname, const std::string& longname) {
        if (grp.n >= maxsameentries) {
            bomb(setupphaseslabel, "too many items in a samecoding" + maxtext(maxsameentries),
                 yourfault);
        }
        ++grp.n;
        grp.first[grp.n] = first;
        grp.shortname[grp.n] = shortname;
        grp.longname[grp.n] = longname;
    }

    static void dropduplicates(SameCodingGroup& grp) {
        int16 kept = 0;
        for (int i = 1; i <= grp.n; ++i) {
            bool seen = false;
            for (int j = 1; j <= kept && !seen; ++j) seen = grp.shortname[j] == grp.shortname[i];
            if (seen) continue;
            ++kept;
            if (kept != i) {
                grp.first[kept] = grp.first[i];
                grp.shortname[kept] = grp.shortname[i];
                grp.longname[kept] = grp.longname[i];
            }
        }
        grp.n = kept;
    }

    void codingtwoguesses() {
        if (yes(sc_.batchcb)) return;
        for (int k = 1; k <= run_.nss; ++k) {
            const ptype1& ph = ss_[k];
            if (ph.coding != 2 || !inwith(ph.name, ph.longname)) continue;
            if (sc_.nxyzguess <= 0) {
                bomb(setupphaseslabel, "no xyz starting guesses in scriptfile 1", yourfault);
            }
            if (ph.nvar >= 1 && xyzposition(ph.var[1].name) == 0) {
                bomb(setupphaseslabel, "no xyz starting guesses for " + ph.name, yourfault);
            }
        }
    }

    void listaxgroups() {
        writeline(ses_, "");
        writeline(ses_, "all axfile samecodings");
        writeline(ses_, "");
        for (int g = 1; g <= lists_.nsamecoding; ++g) {
            const SameCodingGroup& grp = lists_.samecoding[g];
            std::string line = "  " + ss_[grp.base].name + " #";
            for (int i = 1; i <= grp.n; ++i) line += " " + grp.shortname[i];
            writeline(ses_, line);
        }
    }

    void samecodingcopies() {
        for (int g = 1; g <= lists_.nsamecoding; ++g) {
            for (int i = 1; i <= lists_.samecoding[g].n; ++i) {
                SameCodingGroup& grp = lists_.samecoding[g];
                if (!inwith(grp.shortname[i], grp.longname[i])) continue;
                const ptype1& base = ss_[grp.base];
                if (yes(sc_.batchcb)) {
                    for (int m = 1; m <= sc_.nmc; ++m) {
                        const std::string& ph = tab_.mc[m].phase;
                        if (ph == base.name || ph == base.longname) {
                            addmcphase(lists_.mc[m], grp.shortname[i]);
                        }
                    }
                } else {
                    if (sc_.nxyzguess <= 0) {
                        bomb(setupphaseslabel, "no xyz starting guesses in scriptfile 2",
                             yourfault);
                    }
                    const std::string sym = base.nvar >= 1 ? varsymbol(base.var[1].name) : "";
                    if (xyzposition(sym + "(" + grp.shortname[i] + ")") == 0) {
                        bomb(setupphaseslabel,
                             "no xyzguess for samecoding phase " + grp.shortname[i], yourfault);
                    }
                }
                makecopy(g, i);
            }
        }
    }

    void makecopy(int g, int i) {
        const SameCodingGroup& grp = lists_.samecoding[g];
        const int base = grp.base;
        ++run_.nphread;
        if (run_.nss + 1 > maxss) {
            bomb(setupphaseslabel, "too many ss phases (in making samecoding phases)", yourfault);
        }
        ++run_.nss;
        for (int k = run_.nss; k > base + 1; --k) ss_[k] = std::move(ss_[k - 1]);
        ss_[base + 1] = ss_[base];
        ptype1& copy = ss_[base + 1];
        const ptype1& b = ss_[base];
        copy.name = grp.shortname[i];
        copy.longname = grp.longname[i];
        copy.fullname = grp.first[i];
        copy.nalso = 0;
        copy.basename = b.name;
        copy.baselong = b.longname;
        copy.basefull = b.fullname;
        for (int v = 1; v <= copy.nvar; ++v) {
            copy.var[v].name = varsymbol(copy.var[v].name) + "(" + copy.name + ")";
        }
        for (int h = 1; h <= lists_.nsamecoding; ++h) {
            if (lists_.samecoding[h].base > base) ++lists_.samecoding[h].base;
        }
    }

    // Each "with" name finds its solution phase, by the long name first; a phase answers one
    // name only.
    void withtorecords() {
        Fixed1<bool, maxss> taken;
        for (int i = 1; i <= sc_.nwithphases; ++i) {
            int found = 0;
            for (int k = 1; k <= run_.nss && found == 0; ++k) {
                if (!taken[k] && ss_[k].longname == sc_.withfull[i]) found = k;
            }
            for (int k = 1; k <= run_.nss && found == 0; ++k) {
                if (!taken[k] && ss_[k].name == sc_.withlist[i]) found = k;
            }
            if (found == 0) continue;
            taken[found] = true;
            sc_.withlist[i] = ss_[found].name;
            sc_.withfull[i] = ss_[found].longname;
        }
        if (run_.setup.utilityrun) return;
        for (int i = 1; i <= sc_.nwithphases; ++i) {
            for (int j = i + 1; j <= sc_.nwithphases; ++j) {
                if (sc_.withfull[i] == sc_.withfull[j]) {
                    bomb(setupphaseslabel,
                         "two phases, " + sc_.withfull[i] + " and " + sc_.withfull[j] +
                             ", with the same name in " + q + "with" + q,
                         yourfault);
                }
            }
        }
        matchwith(sc_.inexcesslist, sc_.ninexcess, "in excess phase, ", ", not in ");
        matchwith(sc_.inexcess0list, sc_.ninexcess0, "tozero phase, ", ",  not in ");
    }

    void matchwith(strings& list, int16 n, const std::string& lead, const std::string& tail) {
        for (int i = 1; i <= n; ++i) {
            int found = 0;
            for (int j = 1; j <= sc_.nwithphases && found == 0; ++j) {
                if (sc_.withlist[j] == list[i] || sc_.withfull[j] == list[i]) found = j;
            }
            if (found == 0) {
                bomb(setupphaseslabel, lead + list[i] + tail + q + "with" + q, yourfault);
            }
            list[i] = sc_.withlist[found];
        }
    }

    // A starting guess of 0 takes end-members out of the phase, and with them every equilibrium
    // that needs them: said at every debug level, so that no equilibrium vanishes unexplained.
    void saycontraction(const ptype1& full, const ptype1& ph) {
        std::string line = "starting guess";
        for (int v = 1; v <= full.nvar; ++v) {
            if (full.var[v].guess == 0) line += " " + full.var[v].name + " = 0";
        }
        line += ": " + ph.name + " is taken as";
        for (int j = 1; j <= ph.nem; ++j) line += " " + ph.em[j].name;
        line += " only, without";
        for (int j = 1; j <= full.nem; ++j) {
            if (!ph.empresent[j]) line += " " + full.em[j].name;
        }
        putstr(ses_, 1, line, 1, screensummarylogmask);
        putstr(ses_, 0, "(equilibria that need the end-members left out are not calculated)", 1,
               screensummarylogmask);
    }

    void startingguesses(int16 k) {
        ptype1& ph = ss_[k];
        const int first = ph.nvar >= 1 ? xyzposition(ph.var[1].name) : 0;
        if (first != 0) {
            ph.hasguesses = true;
            for (int v = 1; v <= ph.nvar; ++v) {
                const int g = first + v - 1;
                xvartype& x = ph.var[v];
                if (g > sc_.nxyzguess) {
                    bomb("setupphases", "xyzguess: wrong no of vars", yourfault);
                }
                const XyzGuess& guess = tab_.xyzguess[g];
                if (guess.name != x.name) {
                    bomb("setupphases",
                         "xyzguess names don't match axfile: " + q + x.name + q + " " + q +
                             guess.name + q,
                         yourfault);
                }
                x.guess = guess.value;
                if (guess.sd > 0) x.guesssd = guess.sd;
                // The script's range can only widen the range of the a-x file.
                if (guess.low < x.lowerread) x.lowerread = guess.low;
                if (guess.high > x.upperread) x.upperread = guess.high;
                if (x.upperread <= x.lowerread) {
                    bomb("read", "read in lower limit > upper limit in xyz range", yourfault);
                }
                x.lower = x.lowerread;
                x.upper = x.upperread;
            }
        }
        for (int j = 1; j <= ph.nem; ++j) ph.empresent[j] = true;
        ph.nvarset = ph.nvar;
        ph.nzerovar = 0;
        for (int v = 1; v <= ph.nvar; ++v) {
            ph.varsetname[v] = ph.var[v].name;
            ph.varnonzero[v] = ph.var[v].guess != 0;
            if (!ph.varnonzero[v]) {
                ++ph.nzerovar;
                ph.zerovar[ph.nzerovar] = ph.var[v].name;
            }
        }
        if (ph.nzerovar > 0) {
            const ptype1 full = ph;
            contractphase(ses_, run_, k);
            saycontraction(full, ph);
        }
        if (!ph.hasorder && !legalcomp(ph)) {
            putstr(ses_, 1, "for " + ph.name + ", site fractions are:", 1, screensummarylogmask);
            eqvector values;
            for (int v = 1; v <= ph.nvar; ++v) values[v] = ph.var[v].guess;
            for (int s = 1; s <= ph.nsf; ++s) {
                std::string line = ph.sfname[s] + " = ";
                addreal(6, true, 0, line, evalexpr(values, 1, ph.sf[s]));
                putstr(ses_, 0, line, 1, screensummarylogmask);
            }
            putstr(ses_, 0, "site fractions must all be positive (starting guess problems)", 1,
                   screensummarylogmask);
            bomb("setupphases", "inconsistent starting guesses", yourfault);
        }
    }

    // A Monte Carlo line names a parameter of a phase; its value replaces that parameter's a,
    // b or c.
    void montecarlo() {
        for (int m = 1; m <= sc_.nmc; ++m) {
            const McLine& line = tab_.mc[m];
            McTarget& t = lists_.mc[m];
            int k = 0;
            for (int j = 1; j <= run_.nss && k == 0; ++j) {
                if (ss_[j].name == line.phase) k = j;
            }
            if (k == 0) bomb("read", "finding kp in mc (1) - " + line.phase, yourfault);
            ptype1& ph = ss_[k];
            t.kind = mckind(line.param);
            t.abc = mcabc(line.code);
            int index = 0;
            switch (t.kind) {
                case 1:
                    for (int w = 1; w <= ph.nw && index == 0; ++w) {
                        if (ph.wname[w] == line.param) index = w;
                    }
                    break;
                case 2:
                    for (int j = 1; j <= ph.nem && index == 0; ++j) {
                        if ("a(" + ph.em[j].name + ")" == line.param) index = j;
                    }
                    break;
                case 3:
                    for (int j = 1; j <= ph.nem && index == 0; ++j) {
                        if ("DQF(" + ph.em[j].name + ")" == line.param) index = j;
                    }
                    break;
                default: bomb("read", "finding kp in mc (2a)", yourfault);
            }
            if (index == 0) bomb("read", "finding kp in mc (3)", yourfault);
            t.index = narrow16(index);
            setmcvalue(ph, t, line.value);
        }
    }

    static int16 mckind(const std::string& param) {
        if (param.rfind("W(", 0) == 0) return 1;
        if (param.rfind("a(", 0) == 0) return 2;
        if (param.rfind("DQF(", 0) == 0) return 3;
        return 0;
    }

    static int16 mcabc(const std::string& code) {
        if (code.empty()) return 0;
        switch (code[0]) {
            case 'a': return 1;
            case 'b': return 2;
            case 'c': return 3;
            default: return 0;
        }
    }

    static void setmcvalue(ptype1& ph, const McTarget& t, real value) {
        const int i = t.index;
        switch (t.kind) {
            case 1:
                if (t.abc == 1)
                    ph.wa[i] = value;
                else if (t.abc == 2)
                    ph.wb[i] = value;
                else if (t.abc == 3)
                    ph.wc[i] = value;
                else
                    bomb("read", "finding kp in mc: bad abc code (1)", yourfault);
                break;
            case 2:
                if (t.abc == 1)
                    ph.alphaa[i] = value;
                else if (t.abc == 2)
                    ph.alphab[i] = value;
                else if (t.abc == 3)
                    ph.alphac[i] = value;
                else
                    bomb("read", "finding kp in mc: bad abc code (2)", yourfault);
                break;
            case 3:
                if (t.abc == 1)
                    ph.em[i].dqfa = value;
                else if (t.abc == 2)
                    ph.em[i].dqfb = value;
                else if (t.abc == 3)
                    ph.em[i].dqfc = value;
                else
                    bomb("read", "finding kp in mc: bad abc code (3)", yourfault);
                ph.em[i].dqfvaried[t.abc] = true;
                break;
            default: bomb("read", "finding kp in mc (2b)", yourfault);
        }
    }

    // A zero in a batch's starting guesses has done its work once the phase is contracted.
    void dropzeroblockguesses() {
        for (int b = 1; b <= sc_.nbxyz; ++b) {
            BatchXyzBlock& blk = tab_.bxyz[b];
            int16 kept = 0;
            for (int i = 1; i <= blk.n; ++i) {
                if (blk.guess[i].value == 0) continue;
                ++kept;
                if (kept != i) blk.guess[kept] = blk.guess[i];
            }
            blk.n = kept;
        }
    }

    Session& ses_;
    Run& run_;
    AxState& lists_;
    ScriptSettings& sc_;
    ScriptTables& tab_;
    prectype1& ss_;
    prectype0& pure_;
};

}  // namespace

void addmcphase(McTarget& t, const std::string& name) {
    if (t.nphases >= maxmcphases) {
        bomb("read", "number of mcphase" + maxtext(maxmcphases), yourfault);
    }
    ++t.nphases;
    t.phases[t.nphases] = name;
}

void applyscriptphases(Session& ses, Run& run) {
    ScriptChoices(ses, run).phases();
}

void applyscriptchoices(Session& ses, Run& run) {
    ScriptChoices(ses, run).choices();
}

}  // namespace qv
