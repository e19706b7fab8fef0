#include "rock/rockcalcs.hpp"

#include <string>

#include "model/components.hpp"
#include "model/emchoice.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "script/fluidcomp.hpp"
#include "script/ptwindow.hpp"
#include "script/valuelists.hpp"
#include "textio/channels.hpp"
#include "textio/fatal.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

constexpr int32 screenlog = 9;
constexpr int32 screensummarylog = 13;
constexpr int blockwidth = 14;  // end-members per block of the activity table

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// The state one call of `rockcalcs` keeps from pass to pass.
class RockPasses {
public:
    RockPasses(Session& ses, Run& run) : ses_(ses), run_(run), ds_(run.dataset) {}

    void run() {
        savedact_ = ds_.emact;
        savedsda_ = ds_.emsda;
        excluded_.fill(false);
        dofigPT(ses_, run_.script, run_.windows);
        pass();
    }

private:
    Session& ses_;
    Run& run_;
    Dataset& ds_;
    emvector savedact_{};
    emvector savedsda_{};
    Fixed1<bool, maxem> excluded_{};
    int npass_ = 0;
    bool datachanged_ = false;

    void restoreactivities() {
        ds_.emact = savedact_;
        ds_.emsda = savedsda_;
    }

    void exclude(int16 e) {
        SpecialEms& sp = run_.special;
        excluded_[e] = true;
        if (sp.nexcludedems >= maxem)
            bomb("rockcalcs", "too many exclusions" + maxtext(maxem), yourfault);
        sp.excludedems[++sp.nexcludedems] = e;
    }

    void pass() {
        ScriptSettings& sc = run_.script;
        ++npass_;
        int16 code = sc.calctype;
        if (code != 1 && code != 2) {
            putstr(ses_, 1, "type of rock calculation: ", 1, screenlog);
            putstr(ses_, 0, "       1 : average P", 1, screenlog);
            putstr(ses_, 0, "       2 : average T", 1, screenlog);
            promptinteger(ses_, "code", code);
        }
        const bool avt = code == 2;
        const bool first = npass_ == 1;
        if (run_.nss > 0 && !first) restoreactivities();
        const bool dataok = first && yes(sc.dataokcb);
        if (!dataok) {
            table();
            editing();
        }
        setspecialphases(run_);
        setdefaultsda(run_);
        const SpecialEms& sp = run_.special;
        if (sp.h2oem == 0 && sp.co2em == 0) {
            run_.runftype = ftype::absent;
        } else if (!yes(sc.fluidpresentcb) && !query(ses_, "rock was fluid-bearing")) {
            run_.runftype = ftype::absent;
        }
        windows(avt);
        FluidComposition fluid{sp.h2oem > 0,  sp.co2em > 0, sp.crdem != 0 || sp.fcrdem != 0,
                               run_.runftype, run_.xco2cur, run_.xh2ocur};
        promptfluid(ses_, sc, fluid);
        if (yes(sc.isrcb)) {
            scriptreactions();
        } else {
            maxsd(avt);
            // calcre (the reactions among the end-members not excluded) is connected here,
            // followed by the question on "printcor".
        }
        putstr(ses_, 1, "calcmode 2: the average P-T calculations are not built yet", 1, screenlog);
    }

    void table() {
        const SpecialEms& sp = run_.special;
        const int nem = ds_.nem;
        int nblocks = nem / blockwidth;
        if (blockwidth * nblocks < nem) ++nblocks;
        for (int j = 1; j <= nblocks; ++j) {
            const int from = (j - 1) * blockwidth + 1;
            const int to = j == nblocks ? nem : j * blockwidth;
            std::string names;
            std::string acts;
            std::string sds;
            const std::string& title = run_.script.runtitle;
            addstr(j == 1 && !title.empty() ? title : " ", 6, names);
            addstr("a", 6, acts);
            addstr("sd(a)", 6, sds);
            for (int i = from; i <= to; ++i) {
                if (excluded_[i]) continue;
                addstr(ds_.emnames[i], 9, names);
                const bool fluid = i == sp.h2oem || i == sp.co2em;
                if (fluid) {
                    addstr(" ", 9, acts);
                    addstr(" ", 9, sds);
                    continue;
                }
                addreal(3, true, 9, acts, ds_.emact[i]);
                if (ds_.emsda[i] <= 0) {
                    addstr("       0", 9, sds);
                } else {
                    addreal(3, true, 9, sds, ds_.emsda[i]);
                }
            }
            putstr(ses_, j == 1 ? 1 : 0, names, 1, screenlog);
            putstr(ses_, 0, acts, 1, screenlog);
            putstr(ses_, 0, sds, 2, screenlog);
        }
    }

    void editing() {
        if (query(ses_, "these data ok")) return;
        strings words{};
        int16 n = 0;
        promptstrings(ses_, "names of end-members to be excluded", words, n);
        if (n > 0 && words[n] == "*") --n;
        for (int i = 1; i <= n; ++i) {
            std::string name = words[i];
            int16 pos = 0;
            if (!posinlist(name, ds_.emnames, ds_.nem, pos)) {
                promptstring(ses_, "bad name : replace " + name + " with ", name);
                if (!posinlist(name, ds_.emnames, ds_.nem, pos)) {
                    putstr(ses_, 0, "forget it!  (check the name\xC9)", 1, screenlog);
                    continue;
                }
            }
            datachanged_ = true;
            exclude(pos);
        }
        if (run_.nss == 0) {
            const bool done = n > 0 ? query(ses_, "these are the only changes you want to make")
                                    : !query(ses_, "do you want to change anything else");
            if (!done) activityedits();
        }
        lonecomponents();
    }

    void activityedits() {
        for (;;) {
            std::string name;
            promptstring(ses_, "name of end-member", name);
            int16 pos = 0;
            if (name.empty() || name == "*" || !posinlist(name, ds_.emnames, ds_.nem, pos)) return;
            const real olda = ds_.emact[pos];
            const real oldsd = ds_.emsda[pos];
            real a = 0;
            promptreal(ses_, "     activity(" + name + ")", a);
            while (!(a > 0 && a <= 1)) {
                promptreal(ses_, "should be 0 < activity <= 1 : try again", a);
            }
            ds_.emact[pos] = a;
            promptreal(ses_, "     sd activity(" + name + ")", ds_.emsda[pos]);
            datachanged_ = ds_.emact[pos] != olda || ds_.emsda[pos] != oldsd;
        }
    }

    // A component carried by one end-member alone cannot enter a reaction.
    void lonecomponents() {
        const icmatrix& c = *run_.arrays.c;
        for (int r = 1; r <= ds_.components.ncomp; ++r) {
            int n = 0;
            int16 e1 = 0;
            for (int e = 1; e <= ds_.nem && n < 2; ++e) {
                if (!excluded_[e] && c[r][e] != 0) {
                    ++n;
                    e1 = static_cast<int16>(e);
                }
            }
            if (n == 1) exclude(e1);
        }
    }

    void windows(bool avt) {
        ScriptSettings& sc = run_.script;
        Windows& w = run_.windows;
        if (avt) {
            w.ptcalcsmode = 1;
            specifyptcalcs(ses_, sc, w, w.ptcalcsmode, "", "P at which average T to be calculated",
                           "T window within which average T expected to lie");
            checktwindow(ses_, w, w.twinlow, w.twinhigh, xOKtype::mustbedifferent);
            checkpwindow(ses_, w, w.pwinlow, w.pwinhigh, xOKtype::canbesame);
            readpinterval(ses_, w, w.ptcalcsmode);
            w.ntvalues = 0;
        } else {
            w.ptcalcsmode = 2;
            specifyptcalcs(ses_, sc, w, w.ptcalcsmode, "",
                           "P window within which average P expected to lie",
                           "T at which average P to be calculated");
            checkpwindow(ses_, w, w.pwinlow, w.pwinhigh, xOKtype::mustbedifferent);
            checktwindow(ses_, w, w.twinlow, w.twinhigh, xOKtype::canbesame);
            readtinterval(ses_, w, w.ptcalcsmode);
            w.npvalues = 0;
        }
        w.nxvalues = 0;
        if (run_.nss == 0) {
            w.tcur = (w.twinlow + w.twinhigh) * 0.5L;
            w.pcur = (w.pwinlow + w.pwinhigh) * 0.5L;
        }
        promptcontrol(ses_, "independent set of reactions for rereading (put into logfile)",
                      sc.pisrcb);
        promptcontrol(ses_, "use independent set of reactions (isr) in script", sc.isrcb);
    }

    void scriptreactions() {
        ScriptSettings& sc = run_.script;
        const ScriptTables& t = *sc.tables;
        if (sc.nisrem != ds_.nem) bomb("rockcalcs", "isr matrix has wrong shape", yourfault);
        for (int i = 1; i <= sc.nisrem; ++i) {
            if (t.isrem[i] != ds_.emnames[i])
                bomb("rockcalcs", "setisr phases do not match", yourfault);
        }
        const int nreac = sc.nisr < 0 ? 0 : sc.nisr;
        rmatrix& r = *run_.arrays.r;
        const icmatrix& c = *run_.arrays.c;
        for (int k = 1; k <= nreac; ++k) {
            for (int e = 1; e <= ds_.nem; ++e) r[k][e] = t.isrrow[k][e];
            for (int m = 1; m <= ds_.components.ncomp; ++m) {
                int32 sum = 0;
                for (int e = 1; e <= ds_.nem; ++e) sum += int32{r[k][e]} * c[m][e];
                if (sum != 0) bomb("rockcalcs", "setisr reaction doesn't balance", yourfault);
            }
        }
        run_.nreac = static_cast<int16>(nreac);
        sc.dataokcb = controlboolean::yes;
        putstr(ses_, 1, "using independent set of reactions (from script)", 1, screenlog);
    }

    void maxsd(bool avt) {
        ScriptSettings& sc = run_.script;
        real value = 0;
        if (avt) {
            promptcontrol(ses_, "use max sd(T) in script", sc.maxsdtcb);
            if (yes(sc.maxsdtcb)) {
                value = sc.maxsdt;
                putstr(ses_, 0, "max allowed sd(T): " + realstr(value) + "\xA1" + "C (from script)",
                       1, screenlog);
                return;
            }
            promptreal(ses_, "max allowed sd(T)", value);
            if (value > 500) {
                putstr(ses_, 0,
                       "max sd(T) reset to 500\xA1"
                       "C",
                       1, screensummarylog);
            } else if (value < 20) {
                putstr(ses_, 0,
                       "max sd(T) reset to 20\xA1"
                       "C",
                       1, screensummarylog);
            }
            return;
        }
        promptcontrol(ses_, "use max sd(P) in script", sc.maxsdpcb);
        if (yes(sc.maxsdpcb)) {
            std::string line = "max allowed sd(P): ";
            addreal(1, false, 0, line, sc.maxsdp);
            putstr(ses_, 0, line + " kbar (from script)", 1, screenlog);
            return;
        }
        promptreal(ses_, "max allowed sd(P)", value);
        if (value > 20) {
            putstr(ses_, 0, "max sd(P) reset to 20 kbar", 1, screensummarylog);
        } else if (value < 0.05L) {
            putstr(ses_, 0, "max sd(P) reset to 0.05 kbar", 1, screensummarylog);
        }
    }
};

}  // namespace

void setuprockcalcs(Session& ses, Run& run) {
    run.special.nexcludedems = 0;  // exclusions belong to one run
    startrun(ses, run);
    extractem(ses, run);
    clean(ses, run);
    setspecialphases(run);
}

void rockcalcs(Session& ses, Run& run) {
    RockPasses(ses, run).run();
}

}  // namespace qv
