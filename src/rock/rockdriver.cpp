#include "rock/rockdriver.hpp"

#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/averages.hpp"
#include "rock/avlsq.hpp"
#include "rock/avpt.hpp"
#include "rock/rockprint.hpp"
#include "script/ptwindow.hpp"
#include "script/valuelists.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr int16 blocksize = 14;  // end-members per block of the activity table
// Limits of a typed largest sd of a reaction's own T (K) or P (kbar).
constexpr real maxsdtlow = 20;
constexpr real maxsdthigh = 500;
constexpr real maxsdplow = 0.05L;
constexpr real maxsdphigh = 20;

// The state that `rockcalcs` keeps from pass to pass.
struct RockPasses {
    Session& ses;
    ScriptSettings& s;
    Windows& w;
    RockRunData& d;
    RockRunHooks& hooks;
    SvdArrays& work;

    emvector savedact{};
    emvector savedsd{};
    Fixed1<bool, maxem> excluded{};
    int16 pass = 0;
    int16 code = 0;
    int16 prevcode = 0;
    bool datachanged = false;
    avtype kind = avtype::avpmode;
    real maxsdallowed = 0;

    void run();
    bool onepass();
    void restore() {
        for (int16 k = 1; k <= d.nem; ++k) {
            d.activity[k] = savedact[k];
            d.sdactivity[k] = savedsd[k];
        }
    }
    void exclude(int16 k) {
        excluded[k] = true;
        if (d.nexcludedems >= maxem) {
            bomb("rockcalcs", "too many exclusions" + maxtext(maxem), yourfault);
        }
        d.excludedems[++d.nexcludedems] = k;
    }
    bool fluid(int16 k) const { return k == d.h2oem || k == d.co2em; }
    void typeofcalculation();
    void activitytable();
    bool editing();
    void lonecomponents();
    void windows();
    void reactions();
    void scriptreactions();
    void listreactions();
    void calculate();
};

void RockPasses::typeofcalculation() {
    if (s.calctype == 1 || s.calctype == 2) {
        code = s.calctype;
    } else {
        putstr(ses, 1, "type of rock calculation: ", 1, screenlogmask);
        putstr(ses, 0, "       1 : average P", 1, screenlogmask);
        putstr(ses, 0, "       2 : average T", 1, screenlogmask);
        promptinteger(ses, "code", code);
    }
    // The menu offers no average P-T: every other code is average P.
    kind = code == 2 ? avtype::avtmode : avtype::avpmode;
}

void RockPasses::activitytable() {
    auto nblocks = narrow16(d.nem / blocksize);
    if (nblocks * blocksize < d.nem) ++nblocks;
    for (int16 b = 1; b <= nblocks; ++b) {
        const int16 first = narrow16((b - 1) * blocksize + 1);
        const int16 last = b == nblocks ? d.nem : narrow16(b * blocksize);
        std::string names;
        std::string acts;
        std::string sds;
        addstr(b == 1 && !s.runtitle.empty() ? s.runtitle : " ", 6, names);
        addstr("a", 6, acts);
        addstr("sd(a)", 6, sds);
        for (int16 k = first; k <= last; ++k) {
            if (excluded[k]) continue;
            addstr(d.emnames[k], 9, names);
            if (fluid(k)) {
                addstr(" ", 9, acts);
                addstr(" ", 9, sds);
                continue;
            }
            addreal(3, true, 9, acts, d.activity[k]);
            if (d.sdactivity[k] <= 0) {
                addstr("       0", 9, sds);
            } else {
                addreal(3, true, 9, sds, d.sdactivity[k]);
            }
        }
        putstr(ses, b == 1 ? 1 : 0, names, 1, screenlogmask);
        putstr(ses, 0, acts, 1, screenlogmask);
        putstr(ses, 0, sds, 2, screenlogmask);
    }
}

// The user's changes to the data; false when the data were accepted as they stand.
bool RockPasses::editing() {
    if (query(ses, "these data ok")) return false;
    strings words{};
    int16 n = 0;
    promptstrings(ses, "names of end-members to be excluded", words, n);
    if (n > 0 && words[n] == "*") --n;
    for (int16 i = 1; i <= n; ++i) {
        int16 k = 0;
        if (!posinlist(words[i], d.emnames, d.nem, k)) {
            std::string again;
            promptstring(ses, "bad name : replace " + words[i] + " with ", again);
            if (!posinlist(again, d.emnames, d.nem, k)) {
                putstr(ses, 0, "forget it!  (check the name\xC9)", 1, screenlogmask);
                continue;
            }
        }
        datachanged = true;
        exclude(k);
    }
    if (d.nss > 0) return true;
    if (n > 0) {
        if (query(ses, "these are the only changes you want to make")) return true;
    } else if (!query(ses, "do you want to change anything else")) {
        return true;
    }
    for (;;) {
        std::string name;
        promptstring(ses, "name of end-member", name);
        int16 k = 0;
        if (name.empty() || name == "*" || !posinlist(name, d.emnames, d.nem, k)) break;
        const real olda = d.activity[k];
        const real oldsd = d.sdactivity[k];
        real a = 0;
        promptreal(ses, "     activity(" + name + ")", a);
        while (!(a > 0 && a <= 1)) promptreal(ses, "should be 0 < activity <= 1 : try again", a);
        d.activity[k] = a;
        real sd = 0;
        do {
            promptreal(ses, "     sd activity(" + name + ")", sd);
        } while (
            !typedinputok(ses, sd >= 0, "sd activity(" + name + ")", sd, "must not be negative"));
        d.sdactivity[k] = sd;
        datachanged = a != olda || sd != oldsd;
    }
    return true;
}

// A component carried by one end-member alone cannot take part in a reaction: that end-member
// is left out.
void RockPasses::lonecomponents() {
    for (int16 j = 1; j <= d.ncomp; ++j) {
        int16 count = 0;
        int16 only = 0;
        for (int16 k = 1; k <= d.nem && count < 2; ++k) {
            if (excluded[k] || d.c[j][k] == 0) continue;
            ++count;
            only = k;
        }
        if (count == 1) exclude(only);
    }
}

void RockPasses::windows() {
    if (pass > 1 && code == prevcode && query(ses, "same PT window")) return;
    if (kind == avtype::avpmode) {
        w.ptcalcsmode = 2;
        specifyptcalcs(ses, s, w, 2, "", "P window within which average P expected to lie",
                       "T at which average P to be calculated");
        checkpwindow(ses, w, w.pwinlow, w.pwinhigh, xOKtype::mustbedifferent);
        checktwindow(ses, w, w.twinlow, w.twinhigh, xOKtype::canbesame);
        readtinterval(ses, w, 2);
        w.npvalues = 0;
        w.nxvalues = 0;
    } else if (kind == avtype::avtmode) {
        w.ptcalcsmode = 1;
        specifyptcalcs(ses, s, w, 1, "", "P at which average T to be calculated",
                       "T window within which average T expected to lie");
        checktwindow(ses, w, w.twinlow, w.twinhigh, xOKtype::mustbedifferent);
        checkpwindow(ses, w, w.pwinlow, w.pwinhigh, xOKtype::canbesame);
        readpinterval(ses, w, 1);
        w.ntvalues = 0;
        w.nxvalues = 0;
    } else if (kind == avtype::avptmode) {
        w.ptcalcsmode = 3;
        specifyptcalcs(ses, s, w, 3, "PT window within which average PT expected to lie",
                       "P window within which average PT expected to lie",
                       "T window within which average PT expected to lie");
        checktwindow(ses, w, w.twinlow, w.twinhigh, xOKtype::mustbedifferent);
        checkpwindow(ses, w, w.pwinlow, w.pwinhigh, xOKtype::mustbedifferent);
        w.npvalues = 0;
        w.ntvalues = 0;
        w.nxvalues = 0;
    }
    if (d.nss == 0) {
        d.tcur = (w.twinlow + w.twinhigh) * 0.5L;
        d.pcur = (w.pwinlow + w.pwinhigh) * 0.5L;
    }
    promptcontrol(ses, "independent set of reactions for rereading (put into logfile)", s.pisrcb);
    promptcontrol(ses, "use independent set of reactions (isr) in script", s.isrcb);
}

void RockPasses::scriptreactions() {
    const ScriptTables& t = *s.tables;
    if (s.nisrem != d.nem) bomb("rockcalcs", "isr matrix has wrong shape", yourfault);
    const int16 n = s.nisr > 0 ? s.nisr : 0;
    checkavreactions("rockcalcs", n);
    d.nreac = n;
    for (int16 k = 1; k <= d.nem; ++k) {
        if (t.isrem[k] != d.emnames[k]) bomb("rockcalcs", "setisr phases do not match", yourfault);
    }
    for (int16 i = 1; i <= n; ++i) {
        for (int16 k = 1; k <= d.nem; ++k) d.r[i][k] = k <= t.isrrowlength[i] ? t.isrrow[i][k] : 0;
        for (int16 j = 1; j <= d.ncomp; ++j) {
            int32 sum = 0;
            for (int16 k = 1; k <= d.nem; ++k) sum += int32{d.r[i][k]} * d.c[j][k];
            if (sum != 0) bomb("rockcalcs", "setisr reaction doesn't balance", yourfault);
        }
    }
    d.incompleteset = false;
    hooks.calcrxnlna();
    s.dataokcb = controlboolean::yes;
    putstr(ses, 1, "using independent set of reactions (from script)", 1, screenlogmask);
}

void RockPasses::reactions() {
    if (s.isrcb == controlboolean::yes) {
        scriptreactions();
        return;
    }
    maxsdallowed = 0;
    std::string line;
    if (kind == avtype::avtmode) {
        promptcontrol(ses, "use max sd(T) in script", s.maxsdtcb);
        if (s.maxsdtcb == controlboolean::yes) {
            maxsdallowed = s.maxsdt;
            putstr(ses, 0,
                   "max allowed sd(T): " + realstr(maxsdallowed) +
                       "\xA1"
                       "C (from script)",
                   1, screenlogmask);
        } else {
            promptreal(ses, "max allowed sd(T)", maxsdallowed);
            if (maxsdallowed > maxsdthigh) {
                maxsdallowed = maxsdthigh;
                putstr(ses, 0,
                       "max sd(T) reset to 500\xA1"
                       "C",
                       1, screensummarylogmask);
            } else if (maxsdallowed < maxsdtlow) {
                maxsdallowed = maxsdtlow;
                putstr(ses, 0,
                       "max sd(T) reset to 20\xA1"
                       "C",
                       1, screensummarylogmask);
            }
        }
    } else {
        promptcontrol(ses, "use max sd(P) in script", s.maxsdpcb);
        if (s.maxsdpcb == controlboolean::yes) {
            maxsdallowed = s.maxsdp;
            line = "max allowed sd(P): ";
            addreal(1, true, 0, line, maxsdallowed);
            putstr(ses, 0, line + " kbar (from script)", 1, screenlogmask);
        } else {
            promptreal(ses, "max allowed sd(P)", maxsdallowed);
            if (maxsdallowed > maxsdphigh) {
                maxsdallowed = maxsdphigh;
                putstr(ses, 0, "max sd(P) reset to 20 kbar", 1, screensummarylogmask);
            } else if (maxsdallowed < maxsdplow) {
                maxsdallowed = maxsdplow;
                putstr(ses, 0, "max sd(P) reset to 0.05 kbar", 1, screensummarylogmask);
            }
        }
    }
    hooks.calcre(kind, maxsdallowed);
    checkavreactions("rockcalcs", d.nreac);
    promptcontrol(ses, "show correlations in calculations", s.printcorcb);
}

// The reactions as an "isr" block that pastes back into a script.
void RockPasses::listreactions() {
    putstr(ses, 0, "", 2, logmask);
    std::string line = "isr     ";
    for (int16 k = 1; k <= d.nem; ++k) addstr(d.emnames[k], 5, line);
    putstr(ses, 0, line, 1, logmask);
    for (int16 i = 1; i <= d.nreac; ++i) {
        line = "isr     ";
        for (int16 k = 1; k <= d.nem; ++k) addgreal(5, line, d.r[i][k]);
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, "", 1, logmask);
}

void RockPasses::calculate() {
    if (d.nreac == 0) {
        putstr(ses, 1, "** no reactions", 1, screensummarylogmask);
        return;
    }
    RockSettings set;
    set.avcalctype = kind;
    set.justrelu = s.justrelucb == controlboolean::yes;
    set.printcor = s.printcorcb == controlboolean::yes;
    set.debuglevel = s.debuglev;
    set.runtitle = s.runtitle;
    set.fluidtext = hooks.fluidlabel();
    set.nss = d.nss;
    set.npure = d.npure;
    set.pcur = d.pcur;
    set.tcur = d.tcur;
    set.xco2cur = d.xco2cur;
    set.xh2ocur = d.xh2ocur;
    const RockData data{d.nem, d.nreac,  d.emnames, d.activity, d.emvarlna, d.cov,
                        d.r,   d.rxnlna, excluded,  d.h2oem,    d.co2em,    d.incompleteset};
    RockCalc rc{ses, w, data, set, hooks, work};
    printavptdata(rc);
    printavptmath(rc);
    if (d.nreac == 1) {
        putstr(ses, 1, "** insufficient reactions for average P/T calculations", 1,
               screensummarylogmask);
        return;
    }
    switch (kind) {
        case avtype::avpmode: averagep(rc); break;
        case avtype::avtmode: averaget(rc); break;
        case avtype::avptmode: averagept(rc); break;
        default: break;
    }
}

bool RockPasses::onepass() {
    ++pass;
    if (pass > 1) {
        putstr(ses, 1, std::string(38, '*'), 2, screensummarylogmask);
        prevcode = s.calctype;
    }
    typeofcalculation();
    if (d.nss > 0 && pass > 1) restore();
    if (datachanged && !query(ses, "continue with/add to data changes in last calculation")) {
        datachanged = false;
        if (d.nss == 0) restore();
        d.nexcludedems = 0;
        excluded.fill(false);
    }
    const bool show = !(pass == 1 && s.dataokcb == controlboolean::yes);
    if (show) {
        activitytable();
        if (editing()) lonecomponents();
    }
    hooks.setspecialphases();
    hooks.setdefaultsda();
    if (d.h2oem == 0 && d.co2em == 0) {
        d.runftype = ftype::absent;
    } else if (s.fluidpresentcb != controlboolean::yes && !query(ses, "rock was fluid-bearing")) {
        d.runftype = ftype::absent;
    }
    windows();
    hooks.promptfluid();
    reactions();
    if (s.pisrcb == controlboolean::yes) listreactions();
    calculate();
    putstr(ses, 0, "", 2, screenlogmask);
    if (ses.autoexiton) return false;
    return query(ses, "more calculations with these data");
}

void RockPasses::run() {
    for (int16 k = 1; k <= d.nem; ++k) {
        savedact[k] = d.activity[k];
        savedsd[k] = d.sdactivity[k];
    }
    dofigPT(ses, s, w);
    while (onepass()) {
    }
}

}  // namespace

void rockpasses(Session& ses, ScriptSettings& s, Windows& w, RockRunData& d, RockRunHooks& hooks,
                SvdArrays& work) {
    auto p = std::make_unique<RockPasses>(RockPasses{ses, s, w, d, hooks, work});
    p->run();
}

}  // namespace qv
