#include "script/readscripts.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/scriptreader.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"
#include "textio/prefs.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

constexpr int maxentrylines = 50;  // the 50th physical line of one entry is one too many

// One entry: physical lines joined while they end with "\" (after their comment is dropped).
void readentry(Session& ses, InFile& f, strings& entry, int16& nentry) {
    nentry = 0;
    int lines = 0;
    for (;;) {
        if (f.eof()) break;
        strings words;
        int16 n = 0;
        readstrings(ses, f, words, n, true);
        ++lines;
        const bool continued = n > 0 && words[n] == "\\";
        if (continued) --n;
        if (nentry + n > maxwords)
            bomb("readcontrol", "too many strings in a multiline", yourfault);
        for (int i = 1; i <= n; ++i) entry[nentry + i] = words[i];
        nentry = narrow16(nentry + n);
        if (lines >= maxentrylines) bomb("readcontrol", "multiline gone berko", yourfault);
        if (!continued || n == 0) break;
    }
}

void unrecognised(ScriptReader& r) {
    ++r.ses.prefs.scriptproblems;
    putstr(r.ses, 1, "the script, " + inquotes(r.keyword) + ", is unrecognised (or discontinued)",
           1, screensummarylogmask);
}

void dispatch(ScriptReader& r) {
    if (runkeyword(r) || diagramkeyword(r) || guesskeyword(r) || batchkeyword(r) ||
        convertkeyword(r)) {
        return;
    }
    unrecognised(r);
}

// A mandatory keyword's explanation: its number opens the first line.
void explainmissing(Session& ses, std::initializer_list<const char*> text) {
    ++ses.prefs.missingscripts;
    eestrtype lines;
    int k = 0;
    for (const char* line : text) lines[++k] = line;
    lines[1] = realstr(ses.prefs.missingscripts) + lines[1];
    formattext(ses, lines);
}

void mandatorychecks(Session& ses, const ScriptSettings& s, const ScriptOptions& opt) {
    ses.prefs.missingscripts = 0;
    if (!opt.mandatorychecks || s.utilityconvertrun) return;
    if (ses.prefs.axfilesuffix.empty()) {
        explainmissing(ses, {") new in ro350, the \"axfile\" script is mandatory, followed by the "
                             "suffix to the name ",
                             "of the axfile. So, if the axfile is called \"qv-blahblah\", the "
                             "script to use is \"axfile blahblah\""});
    }
    if (!opt.utilityrun && s.nwithphases == 0) {
        explainmissing(
            ses,
            {") new in ro350, the \"with\" script is mandatory, followed by the list of phases "
             "for this run (or a set of runs). ",
             "If the list is for a set of runs, the current run being a subset of this list, "
             "then use the script, \"with someof\" ",
             "followed by the list of phases. ro350 will prompt you for which phases in the "
             "list to use in this run"});
    }
    if (s.diagramptcb != controlboolean::yes) {
        explainmissing(
            ses,
            {") new in ro350, the \"diagramPT\" script is mandatory, followed by 4 values "
             "separated by spaces, ",
             "Plow, Phigh, Tlow, Thigh, in kbar and \xA1"
             "C. In the case of a PT grid or PT "
             "pseudosection the values are simply the bounds ",
             "diagram. In the case of a Tx diagram, the P values need to be a range around the "
             "P of the diagram, given that",
             "of the effective invariants are calculated in terms of a line in PTx. Ditto for "
             "Px diagrams"});
    }
    if (!s.pseudogiven && opt.pseudosectionmandatory) {
        explainmissing(
            ses,
            {") new in ro350, the \"pseudosection\" script is mandatory, either just \"pseudo- "
             "section\", meaning ",
             "pseudosection calculations intended, or \"pseudosection no\", meaning for "
             "example grid calculations (no bulk composition used)."});
    }
}

// A Gibbs energy minimisation run calculates assemblages itself: isopleths, projections and
// uncertainties make no sense there.
void dogminsettings(Session& ses, ScriptSettings& s) {
    if (!s.dogminon) {
        s.dogminlevel = -1;
        return;
    }
    if (s.dogminlevel < 0 || s.dogminlevel > 2) s.dogminlevel = 2;
    s.inexcess0cb = controlboolean::no;
    s.ninexcess0 = 0;
    s.printxyzcb = s.dogminlevel > 0 ? controlboolean::yes : controlboolean::no;
    if (s.dogminlevel == 1 && s.printbulkinfocb != controlboolean::no) {
        s.printbulkinfocb = controlboolean::yes;
    }
    s.modeisoplethcb = controlboolean::no;
    s.zeromodeisoplethcb = controlboolean::no;
    s.isoplethcb = controlboolean::no;
    s.projectioncb = controlboolean::no;
    s.c8cb = controlboolean::no;
    s.modeboxcb = controlboolean::no;
    s.uncertaintiescb = controlboolean::no;
    s.calcsdlevel = 0;
    s.outputlevel = 0;
    s.pseudoon = true;
    if (s.nbulk == 2) {
        if (s.onebulkcb == controlboolean::no) {
            putstr(ses, 0, "with a bulk range, use the onebulk script", 1, screenlogmask);
            bomb("read scripts", "dogmin works on one bulk", yourfault);
        }
        s.onebulkcb = controlboolean::yes;
    }
}

// Zero-amount in-excess phases are in excess too, and every in-excess phase takes part.
void mergephaselists(ScriptSettings& s, bool utilityrun) {
    int16 pos = 0;
    for (int i = 1; i <= s.ninexcess0; ++i) {
        const std::string& name = s.inexcess0list[i];
        if (s.ninexcess > 0 && posinlist(name, s.inexcesslist, s.ninexcess, pos)) continue;
        s.inexcesslist[++s.ninexcess] = name;
    }
    if (utilityrun) return;
    if (s.nwithphases <= 0 || s.nwithphases >= 100) return;
    for (int i = 1; i <= s.ninexcess; ++i) {
        const std::string& name = s.inexcesslist[i];
        if (posinlist(name, s.withlist, s.nwithphases, pos)) continue;
        ++s.nwithphases;
        s.withlist[s.nwithphases] = name;
        s.withfull[s.nwithphases] = name;
    }
}

void closingchecks(ScriptReader& r, InFile& scriptfile, bool ds190) {
    Session& ses = r.ses;
    ScriptSettings& s = r.s;
    s.utilityconvertrun = r.opt.utilityrun && s.utilitycode == 1;
    mandatorychecks(ses, s, r.opt);
    reportproblems(ses, "add mandatory scripts to scriptfile");
    scriptfile.close();
    s.scriptopen = false;
    if (s.outputlevel < 0 || s.outputlevel > 1) s.outputlevel = 1;
    dogminsettings(ses, s);
    closebatches(r, ds190);
    if (s.nmc <= 1 && s.nbatch <= 1 && s.debuglev == 0) s.debuglev = 1;
    mergephaselists(s, r.opt.utilityrun);
    if (s.pseudoon) {
        if (s.nbulk < 1) bomb("reading scripts", "no bulk for pseudosection calcs", yourfault);
        if (s.nrbi > 0) {
            real sum = 0;
            for (int i = 1; i <= s.nrbi; ++i) sum += s.tables->rbimode[i];
            if (sum == 0) bomb("reading scripts", "the rbi modes sum to zero", yourfault);
        }
    }
    if (!s.dogminon && s.setvarcb == controlboolean::yes && s.pseudoon) {
        s.setvarcb = controlboolean::no;
        s.acceptvarcb = controlboolean::yes;
    }
    if (s.compatibilitycb == controlboolean::yes || s.modeboxcb == controlboolean::yes) {
        s.vexlatcb = controlboolean::no;
    }
    if (s.lsqdscb == controlboolean::yes) s.projectioncb = controlboolean::no;
    s.xco2figure = s.figuretype == 1 || s.figuretype == 2;
}

}  // namespace

void resetwindow(RunSetupSettings& s, Windows& w) {
    if (s.calctcb != controlboolean::yes) {
        s.calctcb = controlboolean::yes;
        w.twinlow = w.tminall;
        w.twinhigh = w.tmaxall;
    }
    if (s.calcpcb != controlboolean::yes) {
        s.calcpcb = controlboolean::yes;
        w.pwinlow = w.pminall;
        w.pwinhigh = w.pmaxall;
    }
}

void scriptdefaults(Session& ses, ScriptSettings& s, Windows& w, bool ds190) {
    // Only the file's identity and the utility's recalculation code outlive a read.
    std::string suffix = std::move(s.scriptsuffix);
    const bool open = s.scriptopen;
    const int16 recalccode = s.recalccode;
    s = ScriptSettings{};
    s.scriptsuffix = std::move(suffix);
    s.scriptopen = open;
    s.recalccode = recalccode;
    s.ds190 = ds190;

    ses.prefs.scriptproblems = 0;
    ses.prefs.missingscripts = 0;
    ses.autoexiton = false;

    w.scaling.pminimum = 0.0009L;
    setptscaling(w.scaling);
    w.tminall = 283;
    w.tmaxall = 3000;
    w.pminall = w.scaling.pminimum;
    w.pmaxall = 1500;
    w.twinlow = w.tminall;
    w.twinhigh = w.tmaxall;
    w.pwinlow = w.pminall;
    w.pwinhigh = w.pmaxall;
    w.tinc = 0;
    w.pinc = 0;
}

void getscriptfile(Session& ses, RunFiles& files, ScriptSettings& s) {
    if (ses.prefs.scriptfilesuffix.empty()) {
        strings words;
        int16 n = 0;
        promptstrings(ses, "use same script file?", words, n);
        const bool same = n == 0 || words[1] == "y" || words[1] == "1" || words[1] == "=";
        if (!same) s.scriptsuffix.clear();
    } else {
        s.scriptsuffix = ses.prefs.scriptfilesuffix;
    }
    promptdatafile(ses, files.scriptname, "qv-", s.scriptsuffix, "script info",
                   files.scriptfilevar);
    if (s.scriptsuffix.empty()) bomb("getscriptfile", "no script file specified", yourfault);
    s.scriptopen = true;
}

void readscripts(Session& ses, RunFiles& files, ScriptSettings& s, Windows& w, bool ds190,
                 const ScriptOptions& opt) {
    ses.prefs.scriptproblems = 0;
    if (ses.runcount > 1) {
        getscriptfile(ses, files, s);
    } else {
        // the first pass reads the file that `startout` opened
        s.scriptsuffix = ses.prefs.scriptfilesuffix;
        s.scriptopen = files.scriptfilevar.is_open();
    }
    scriptdefaults(ses, s, w, ds190);
    ScriptReader r{ses, s, w, {}, controlboolean::yes, 1, {}, {}, opt};
    InFile& f = files.scriptfilevar;
    while (!f.eof()) {
        strings entry;
        int16 nentry = 0;
        readentry(ses, f, entry, nentry);
        if (nentry == 0) continue;
        if (entry[1][0] == '*') break;
        r.keyword = entry[1];
        int16 used = 1;
        yesnoask(entry, nentry, r.cb, used);
        r.used = used;
        r.switchword = used == 2 ? entry[2] : std::string();
        scriptvalues(r, entry, nentry, used);
        dispatch(r);
    }
    closingchecks(r, files.scriptfilevar, ds190);
}

}  // namespace qv
