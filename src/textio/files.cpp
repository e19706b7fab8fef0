#include "textio/files.hpp"

#include <cstdio>

#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prefs.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

std::string firstword(std::string_view s) {
    strings words;
    int16 n = 0;
    string2strings(s, static_cast<int>(s.size()), words, n);
    return n > 0 ? words[1] : std::string();
}

// Creates the file of `channel`, opens the channel and clears its used flag.
void openchannel(Session& ses, int channel, std::string_view suffix) {
    std::string name;
    auto& file = ses.ch.files[static_cast<std::size_t>(channel)];
    openwrite(name, "", suffix, file);
    ses.ch.activechannels |= int32{1} << channel;
    ses.ch.used[static_cast<std::size_t>(channel)] = false;
}

}  // namespace

void startlog(Session& ses, std::string_view name) {
    // The unit roundoff of extended reals: 2^-64.
    real eps = 1;
    for (int k = 0; k < 100; ++k) {
        eps *= 0.5L;
        volatile real sum = 1 + eps;
        if (sum == 1) break;
    }
    ses.tables.macheps = eps;
    ses.tables.ordinals[1] = "1st";
    ses.tables.ordinals[2] = "2nd";
    ses.tables.ordinals[3] = "3rd";
    for (int k = 4; k <= 400; ++k) ses.tables.ordinals[k] = (realstr(k) + "th").substr(0, 5);

    ses.progbanner = std::string(name).substr(0, maxwordlength);
    ses.ch.activechannels = screenmask;
    putstr(ses, 1, ses.progbanner + " : calculating phase equilibria of rocks", 1,
           screensummarylogmask);
    readprefs(ses);

    const std::string word = firstword(ses.progbanner);
    const std::string logname = word == "QUORVANTIS" ? "qv-log.txt"
                                : word == "vexlat"   ? "vx-log.txt"
                                                     : "log.txt";
    openchannel(ses, 3, logname);
    putstr(ses, 0, "[display/print with fixed width font (eg Monaco)]", 2, logmask);
    putstr(ses, 0, "", 1, screenlogmask);
    for (auto& buffer : ses.ch.linebuffers) buffer.clear();
    for (int i = 4; i < nchannels; ++i) ses.ch.used[static_cast<std::size_t>(i)] = false;
    datetimetext(ses);
}

void datetimetext(Session& ses) {
    static const char* const daynames[] = {" on Sun ", " on Mon ", " on Tue ", " on Wed ",
                                           " on Thu ", " on Fri ", " on Sat "};
    static const char* const monthnames[] = {" Jan,", " Feb,", " Mar,", " Apr,", " May,", " Jun,",
                                             " Jul,", " Aug,", " Sep,", " Oct,", " Nov,", " Dec,"};
    const DateTime now = ses.clock.now();
    ses.starttime = ses.clock.millis();
    std::string line = realstr(now.hour) + "." + (now.minute < 10 ? "0" : "") + realstr(now.minute);
    line += (now.weekday >= 0 && now.weekday <= 6) ? daynames[now.weekday] : "noday? ";
    line += realstr(now.day);
    line += (now.month >= 1 && now.month <= 12) ? monthnames[now.month - 1] : "nomonth?";
    line += realstr(now.year);
    ses.datetimeline = line;
}

int16 getcalcmode(Session& ses) {
    const int16 code = ses.prefs.prefscalcmode;
    if (code == 9 || (code >= 0 && code <= 3)) return code;
    for (const char* line :
         {"calculation mode (calcmode) :", "     0 = utilities: data tables, mineral recalc etc",
          "     1 = phase diagram calculations (and duDA+)",
          "     2 = average pressure-temperature calculations",
          "     3 = calculations on all reactions between end-members"}) {
        putstr(ses, 0, line, 1, screenlogmask);
    }
    std::string w;
    promptstring(ses, "calcmode code", w);
    if (whatis(w) != valuetype::aninteger) {
        bomb("getcalcmode", "integer needed (1), between 0 and 3", yourfault);
    }
    int16 value = 0;
    std::string msg;
    if (!str2int(w, value, msg) || value < 0 || value > 3) {
        bomb("getcalcmode", "integer needed (2), between 0 and 3", yourfault);
    }
    putstr(ses, 1, "this code can appear in the prefsfile (qv-prefs.txt) as", 1,
           screensummarylogmask);
    putstr(ses, 0, "calcmode " + realstr(value), 2, screensummarylogmask);
    return value;
}

void promptdatafile(Session& ses, std::string& filename, std::string_view prefix,
                    std::string& suffix, std::string_view kind, InFile& f) {
    if (suffix.empty()) {
        if (!kind.empty()) {
            promptstring(ses, "suffix to name for " + std::string(kind) + " datafile", suffix);
        } else {
            promptstring(ses, "suffix to name for datafile", suffix);
        }
        if (suffix.empty())
            bomb("promptdatafile", "expecting a suffix for data filename", yourfault);
    }
    filename = std::string(prefix) + suffix + ".txt";
    if (!f.open(filename)) {
        putstr(ses, 1, "cannot locate file " + quoted(filename), 1, screensummarylogmask);
        bomb("promptdatafile", "datafile needed", yourfault);
    }
}

void openwrite(std::string& filename, std::string_view prefix, std::string_view suffix,
               OutFile& f) {
    filename = std::string(prefix) + std::string(suffix);
    // Closing flushes what the file still holds: a failure there lost results.
    if (f.f != nullptr && std::fclose(f.f) != 0) {
        f.f = nullptr;
        bomb("openwrite", "problem writing " + f.name, yourfault);
    }
    f.f = std::fopen(filename.c_str(), "wb");
    if (f.f == nullptr) bomb("openwrite", "can't create file " + quoted(filename), yourfault);
    f.name = filename;
}

void startout(Session& ses, RunFiles& files, bool calibration) {
    const std::string& suffix = ses.prefs.scriptfilesuffix;
    if (calibration) {
        std::string scriptcheck;
        promptdatafile(ses, scriptcheck, "ds-scr", files.qvdssuffix, "script info",
                       files.scriptfilevar);
        openchannel(ses, 2, "ds-o" + files.qvdssuffix + ".txt");
        openchannel(ses, 4, "ds-ic" + files.qvdssuffix + ".txt");
        putstr(
            ses, 0,
            "intermediate/auxiliary calc results are in the file, " + quoted(ses.ch.files[4].name),
            1, screenlogmask);
        openchannel(ses, 7, "ds-" + files.qvdssuffix + ".csv");
        putstr(ses, 0, "dataset in csv format in the file, " + quoted(ses.ch.files[7].name), 1,
               screenlogmask);
        promptdatafile(ses, files.scriptname, "qv-", ses.prefs.scriptfilesuffix, "script info",
                       files.scriptfilevar);
        putstr(ses, 1, "running LSQDS from within " + ses.progbanner, 1, screensummarylogmask);
        putstr(ses, 0, "at " + ses.datetimeline, 1, screensummarylogmask);
        if (files.qvdssuffix.empty()) bomb("startout", "blank datafilenamesuffix?", yourfault);
        return;
    }
    putstr(ses, 1, ses.progbanner + "  running at " + ses.datetimeline, 1, summarylogmask);
    promptdatafile(ses, files.scriptname, "qv-", ses.prefs.scriptfilesuffix, "script info",
                   files.scriptfilevar);
    const std::string base = "qv-" + suffix;
    openchannel(ses, 2, base + "-o.txt");
    putstr(ses, 0, "summary output in the file, " + quoted(ses.ch.files[2].name), 1, screenlogmask);
    openchannel(ses, 6, base + "-vx.txt");
    putstr(ses, 0, "other (eg vexlat) output in the file, " + quoted(ses.ch.files[6].name), 1,
           screenlogmask);
    openchannel(ses, 5, base + "-it.txt");
    putstr(ses, 0, "a-x info in the file, " + quoted(ses.ch.files[5].name), 1, screenlogmask);
    openchannel(ses, 4, base + "-ic.txt");
    putstr(ses, 0, "details of calc results in the file, " + quoted(ses.ch.files[4].name), 1,
           screenlogmask);
    openchannel(ses, 7, base + ".csv");
    putstr(ses, 0, "info in csv format in the files, " + quoted(ses.ch.files[7].name), 0,
           screenlogmask);
    openchannel(ses, 8, base + "-2.csv");
    putstr(ses, 0, " and " + quoted(ses.ch.files[8].name), 1, screenlogmask);
    openchannel(ses, 10, base + ".svg");
    putstr(ses, 0, "graphics info in the files, " + quoted(ses.ch.files[10].name), 0,
           screenlogmask);
    putstr(ses, 2, "these may not all be populated, depending on the calcs;", 1, screenlogmask);
    putstr(ses, 0, "quorvantis should delete empty files at the end of each run", 1, screenlogmask);
}

void closeerase(Session& ses, OutFile& f, bool used, std::string_view name) {
    // A write that failed anywhere (an error kept by the stream, or the last flush at closing)
    // means results were lost: the caller ends the run as a fatal stop.
    const bool failed = std::ferror(f.f) != 0;
    if (std::fclose(f.f) != 0 || failed) {
        if (ses.ch.writeproblem.empty()) ses.ch.writeproblem = f.name;
    }
    f.f = nullptr;
    if (!used && std::remove(f.name.c_str()) != 0) {
        ses.console.write("problem erasing  " + std::string(name) + "\n");
    }
}

void closefiles(Session& ses) {
    static const char* const names[] = {"",         "",       "outfile", "logfile",
                                        "icfile",   "itfile", "vxfile",  "csvfile",
                                        "csv2file", "psfile", "svgsfile"};
    if ((ses.ch.activechannels & screenmask) != 0) {
        ses.console.write("\n");
        ses.console.flush();
    }
    for (int i = 2; i < nchannels; ++i) {
        auto& file = ses.ch.files[static_cast<std::size_t>(i)];
        if (file.f == nullptr) continue;
        const bool used = i <= 3 || ses.ch.used[static_cast<std::size_t>(i)];
        closeerase(ses, file, used, names[i]);
    }
    ses.ch.activechannels = 0;
}

void showelapsed(Session& ses) {
    const int64 elapsed = ses.clock.millis() - ses.starttime;
    const std::string count = ", n = " + realstr(ses.gemcount);
    if (elapsed < 5000) {
        putstr(ses, 0, "elapsed = " + realstr(static_cast<real>(elapsed)) + " msecs" + count, 1,
               screenmask);
    } else {
        const int64 seconds = elapsed / 1000;  // whole seconds
        putstr(ses, 0, "elapsed = " + realstr(static_cast<real>(seconds)) + " secs" + count, 1,
               screenmask);
    }
}

void rstrings(Session& ses, InFile& f, strings& words, int16& n) {
    flushfiles(ses);
    std::string line;
    if (!f.readline(line)) {
        ses.console.write(quoted(line));
        bomb("read in rstrings", "problems reading", yourfault);
    }
    if (line.size() > maxtextlength) line.resize(maxtextlength);  // the rest of the line is lost
    string2strings(line, static_cast<int>(line.size()), words, n);
}

void readstrings(Session& ses, InFile& f, strings& words, int16& n, bool stopatcomment) {
    rstrings(ses, f, words, n);
    if (stopatcomment) n = uncommented(words, n);
}

}  // namespace qv
