#include "textio/prefs.hpp"

#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

// One keyword line of the preferences file.
void prefsline(Session& ses, const strings& words, int16 n) {
    Preferences& p = ses.prefs;
    const std::string& keyword = words[1];
    controlboolean cb = controlboolean::yes;
    int16 used = 1;
    yesnoask(words, n, cb, used);
    const bool on = cb == controlboolean::yes;
    if (keyword == "dontwrap") {
        ses.ch.dontwrapon = on;
    } else if (keyword == "monitorheap") {
        p.monitorheapon = on;
    } else if (keyword == "dataset" || keyword == "dsfile") {
        if (on) p.dsfilesuffix = words[used + 1];
    } else if (keyword == "scriptfile" || keyword == "datafile") {
        if (on)
            p.scriptfilesuffix = n == 1 ? std::string() : words[2] != "yes" ? words[2] : words[3];
    } else if (keyword == "setpagewidth") {
        int16 width = 0;
        std::string msg;
        if (n >= 2 && whatis(words[2]) == valuetype::aninteger && str2int(words[2], width, msg)) {
            ses.ch.pagewidth = width > 249 ? int16{250} : width < 80 ? int16{80} : width;
        }
    } else if (keyword == "calcmode") {
        int16 code = 0;
        std::string msg;
        if (n >= 2 && whatis(words[2]) == valuetype::aninteger && str2int(words[2], code, msg)) {
            p.prefscalcmode = code;
        }
    } else {
        putstr(ses, 1, keyword + " unrecognised", 1, screensummarylogmask);
        ++p.scriptproblems;
    }
}

void prefschecks(Session& ses) {
    Preferences& p = ses.prefs;
    if (p.scriptproblems > 0) {
        putstr(ses, 0, "there are script problems in the prefs file listed immediately above:", 1,
               screenlogmask);
        if (query(ses, "exit, and delete unrecognised scripts from the prefs file")) killrun();
    }
    p.missingscripts = 0;
    if (p.dsfilesuffix.empty() && p.prefscalcmode != 9) {
        ++p.missingscripts;
        eestrtype lines;
        lines[1] = realstr(p.missingscripts) + ") new in ro350, the " + quoted("dsfile") +
                   " script is mandatory in the prefsfile, followed by the suffix ";
        lines[2] = "to the name of the dsfile (i.e. the dataset). So, if the dsfile is called " +
                   quoted("qv-ds62") + ", the script to use is " + quoted("dsfile ds62");
        formattext(ses, lines);
    }
    if (p.scriptfilesuffix.empty()) {
        ++p.missingscripts;
        eestrtype lines;
        lines[1] = realstr(p.missingscripts) + ") new in ro350, the " + quoted("scriptfile") +
                   " script is mandatory in the prefsfile, followed by the suffix ";
        lines[2] = "to the name of the script file. So, if the scriptfile is called " +
                   quoted("qv-AFM") + ", the script to use is " + quoted("scriptfile AFM");
        lines[3] =
            "(If you were using one folder/directory to run several different scriptfiles "
            "via prompts, it is better to run ";
        lines[4] = "them in separate folders/directories)";
        formattext(ses, lines);
    }
    reportproblems(ses, "add mandatory scripts to the prefsfile");
}

}  // namespace

void reportproblems(Session& ses, std::string_view stopmessage) {
    const Preferences& p = ses.prefs;
    if (p.missingscripts == 0) {
        if (p.scriptproblems > 0) {
            putstr(ses, 1, "there are script problems listed immediately above:", 1,
                   screensummarylogmask);
            if (query(ses, "exit, and correct the scriptfile")) killrun();
        }
        return;
    }
    if (p.scriptproblems > 0) {
        eestrtype lines;
        lines[1] = p.missingscripts > 1
                       ? "in addition to the absence of the indicated mandatory scripts, there are "
                         "other script problems listed above:"
                       : "in addition to the absence of the indicated mandatory script, there are "
                         "other script problems listed above:";
        formattext(ses, lines);
    }
    bomb("reading scripts", stopmessage, yourfault);
}

void yesnoask(const strings& words, int16 n, controlboolean& cb, int16& used) {
    cb = controlboolean::yes;
    used = 1;
    if (n < 2) return;
    const std::string& w = words[2];
    if (w == "yes" || w == "on") {
        used = 2;
    } else if (w == "ask") {
        cb = controlboolean::ask;
        used = 2;
    } else if (w == "no" || w == "none") {
        cb = controlboolean::no;
        used = 2;
    }
}

std::string datasetsuffix(const Preferences& prefs) {
    const std::string& word = prefs.dsfilesuffix;
    return word.rfind("ds", 0) == 0 ? word : "ds" + word;
}

void readprefs(Session& ses) {
    ses.prefs = Preferences{};
    ses.ch.dontwrapon = true;
    ses.ch.pagewidth = 80;
    ses.autoexiton = false;

    strings banner;
    int16 nb = 0;
    string2strings(ses.progbanner, static_cast<int>(ses.progbanner.size()), banner, nb);
    const std::string program = nb > 0 ? banner[1] : std::string();
    const std::string name = program == "QUORVANTIS" ? "qv-prefs.txt"
                             : program == "vexlat"   ? "vx-prefs.txt"
                                                     : "prefs.txt";
    InFile f;
    if (!f.open(name)) {
        if (program == "QUORVANTIS") {
            InFile calibration;
            if (calibration.open("ds-prefs.txt")) return;
            putstr(ses, 1, "\xA5\xA5 no prefs file " + quoted(name), 2, screenlogmask);
            putstr(ses, 0, "on the Mac, if you double-clicked the du351 icon then that won't work;",
                   1, screenlogmask);
            putstr(
                ses, 0,
                "try reading the " + quoted("getting started") + " info on the QUORVANTIS website.",
                1, screenlogmask);
            bomb("readprefs", "can't open " + quoted(name), yourfault);
        }
        if (program == "vexlat") {
            putstr(ses, 1, "no prefs file " + quoted(name), 2, screenlogmask);
            putstr(ses, 0,
                   "on the Mac, if you double-clicked the vexlat icon then that won't work;", 1,
                   screenlogmask);
            putstr(
                ses, 0,
                "try reading the " + quoted("getting started") + " info on the QUORVANTIS website.",
                2, screenlogmask);
            putstr(ses, 0, "if you double-clicked the icon, enter 0 now", 1, screenlogmask);
            query(ses, "continue");
            return;
        }
        putstr(ses, 1, "no prefs file " + quoted(name), 1, screenlogmask);
        return;
    }
    strings words;
    int16 n = 0;
    while (!f.eof()) {
        readstrings(ses, f, words, n, true);
        if (n == 0) continue;
        if (words[1][0] == '*') break;
        prefsline(ses, words, n);
    }
    f.close();
    prefschecks(ses);
}

}  // namespace qv
