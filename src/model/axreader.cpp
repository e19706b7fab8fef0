#include "model/axreader.hpp"

#include <algorithm>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axchoices.hpp"
#include "model/axsetup.hpp"
#include "model/dataset.hpp"
#include "model/run.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr int maxphases = 400;
constexpr std::size_t maxheaderlength = 120;
constexpr std::size_t maxrawlength = 150;
constexpr int progresswidth = 81;  // names on one "reading ax:" line

bool beginswith(std::string_view s, std::string_view head) {
    return s.size() >= head.size() && s.substr(0, head.size()) == head;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Words of the a-x file

bool AxWords::readwordline() {
    if (finished) return false;
    std::string line;
    while (file.readline(line)) {
        string2strings(line, static_cast<int>(line.size()), words, nwords);
        nwords = uncommented(words, nwords);
        if (nwords == 0) continue;
        if (words[1][0] == '*') break;
        pos = 0;
        return true;
    }
    finished = true;
    nwords = 0;
    pos = 0;
    return false;
}

void AxWords::refill() {
    if (pos >= nwords && !readwordline()) {
        next.clear();
        nexttype = valuetype::anemptystring;
        return;
    }
    ++pos;
    next = words[pos];
    nexttype = whatis(next);
}

void AxWords::start() {
    if (!readwordline()) bomb("setup phases", "not enough in file", yourfault);
    refill();
}

void AxWords::nextitem(std::string_view what) {
    word = next;
    wordtype = nexttype;
    if (wordtype == valuetype::anemptystring) {
        bomb("reading", "unexpected end of input: " + std::string(what), yourfault);
    }
    refill();
}

void AxWords::readline(std::string& line, bool& isend) {
    flushfiles(ses);
    if (!file.readline(line)) {
        ses.console.write("\"" + line + "\"");
        bomb("readline", "problems reading for header/verbatim", yourfault);
    }
    line = trim(line);
    isend = line.size() >= 4 && (beginswith(line, "verb") || beginswith(line, "head"));
    if (isend) {
        line.clear();
        return;
    }
    if (!line.empty() && line[0] == '%') line.erase(0, 1);
    if (line.size() > maxrawlength) line.resize(maxrawlength);
}

void getname(std::string& name, valuetype kind, std::string_view word, std::string_view what) {
    if (kind != valuetype::astring) {
        bomb("reading", "expecting a name; got: " + std::string(word) + " - " + std::string(what),
             yourfault);
    }
    name = std::string(word);
}

void checkdsname(const Dataset& ds, std::string_view name) {
    int16 index = 0;
    if (!findemname(ds, name, index)) {
        bomb("reading", std::string(name) + " not in \"" + ds.dsfilename + "\"", yourfault);
    }
}

// ---------------------------------------------------------------------------------------------
// The outer grammar

AxSetup::AxSetup(Session& s, Run& r)
    : ses(s), run(r), rd(s, r.ax.file), calib(r.setup.calibration), ds190(r.dataset.ds190) {}

void AxSetup::headerblock() {
    AxState& ax = run.ax;
    ax.header[1] = "#";
    int16 k = 1;
    for (;;) {
        ++k;
        if (k > maxaxheader) bomb("setupphases", "too many header lines", yourfault);
        std::string line;
        bool isend = false;
        rd.readline(line, isend);
        if (isend) {
            ax.header[k] = "#";
            break;
        }
        if (line.size() > maxheaderlength) line.resize(maxheaderlength);
        ax.header[k] = line;
    }
    ax.nheader = k;
    rd.nextitem("end of header");
}

void AxSetup::readfile() {
    AxState& ax = run.ax;
    resetphaserecords(run, calib);
    ax.nbuffers = 0;
    ax.nheader = 0;

    if (calib) {
        std::string suffix = "ax" + ax.calibaxsuffix;
        promptdatafile(ses, ax.filename, "ds-", suffix, "a-x info", ax.file);
    } else {
        const std::string rule(60, '^');
        ax.runheader[1] = ses.programname + " running at " + ses.datetimeline;
        ax.runheader[2] = "using " + run.dataset.dstitle;
        putstr(ses, 2, rule, 1, screensummarylogmask);
        putstr(ses, 0, ax.runheader[1], 1, screensummarylogmask);
        putstr(ses, 0, ax.runheader[2], 0, screensummarylogmask);  // "with axfile" ends it
        promptdatafile(ses, ax.filename, "qv-", ses.prefs.axfilesuffix, "a-x info", ax.file);
        ax.runheader[3] = "with axfile " + ax.filename + " and scriptfile " + run.files.scriptname;
        putstr(ses, 2, ax.runheader[3], 1, screensummarylogmask);
    }
    ax.open = true;
    rd.start();

    ax.nscriptsamecoding = std::max<int16>(run.script.nsamecoding, 0);
    ax.nsamecoding = ax.nscriptsamecoding;
    run.nphread = 0;
    run.npure = 0;
    run.nss = 0;

    int column = 0;
    bool newline = false;
    while (!rd.ended()) {
        ++run.nphread;
        if (run.nphread == 1 && rd.nextis("header")) headerblock();
        if (run.nphread > maxphases) {
            bomb("setup phases", "too many phases" + maxtext(maxphases), yourfault);
        }
        rd.nextitem("name for " + ord(run.nphread) + " phase");
        std::string name;
        getname(name, rd.wordtype, rd.word, "name for " + ord(run.nphread) + " phase");

        if (calib) {
            putstr(ses, 0, "  " + realstr(run.nphread) + ")  " + name, 1, logmask);
        } else {
            if (run.nphread == 1) putstr(ses, 0, "reading ax: ", 0, screenlogmask);
            if (newline) putstr(ses, 0, spaces(12), 0, screenlogmask);
            column += static_cast<int>(name.size()) + 1;
            newline = column >= progresswidth;
            putstr(ses, 0, name + " ", newline ? 1 : 0, screenlogmask);
            if (newline) column = 0;
        }

        int16 n = 0;
        if (rd.nexttype == valuetype::aninteger) {
            std::string msg;
            if (!str2int(rd.next, n, msg)) n = 0;
        }
        if (n == 1 || rd.nexttype != valuetype::aninteger) {
            if (calib) bomb("setup phases", "inappropriate ax info", yourfault);
            purephase(name);
        } else {
            ++run.nss;
            if (run.nss > maxss) {
                bomb("setup phases", "too many ss phases" + maxtext(maxss), yourfault);
            }
            ptype1& ph = ss(run.nss);
            solutionhead(name, ph);
            solutionbody(ph, ph.nem);
        }
    }
}

void AxSetup::solutionhead(const std::string& nameasread, ptype1& ph) {
    startsolutionphase(ph, nameasread);
    rd.nextitem("no of end-members in " + nameasread);
    const int16 n = getinteger(rd.wordtype, rd.word, "no of end-members in " + nameasread);
    // The record's capacity is checked before anything of the phase is stored.
    if (n < 2) bomb("setup phases", "less than 2 end-members in " + ph.name, yourfault);
    if (n > maxssem) {
        bomb("setup phases", "too many end-members in " + ph.name + maxtext(maxssem), yourfault);
    }
    ph.nem = n;
    ph.nvar = narrow16(n - 1);
    ph.coding = 0;
    ph.oxygens = 0;
    ph.noverbatim = true;

    if (ds190) {
        if (rd.nexttype != valuetype::astring) {
            std::string msg;
            int16 zero = -1;
            if (rd.nexttype != valuetype::aninteger || !str2int(rd.next, zero, msg) || zero != 0) {
                bomb("setupphases", "incorrect info after no of end-members for " + ph.name,
                     yourfault);
            }
            rd.nextitem("no of end-members in " + nameasread);
        }
        return;
    }

    if (rd.nexttype == valuetype::aninteger) {
        rd.nextitem("coding for " + ph.longname);
        ph.coding = getinteger(rd.wordtype, rd.word, "coding for " + ph.longname);
    }
    if (ph.coding != 1 && ph.coding != 2) {
        bomb("setup phases", "bad encoding for " + ph.longname, yourfault);
    }
    if (ph.coding == 1 && !ph.suffix.empty()) {
        bomb("setup phases", "longpnames not implemented for coding = 1", yourfault);
    }
    if (ph.coding == 2) {
        rd.nextitem("fullname for " + ph.longname);
        getname(ph.fullname, rd.wordtype, rd.word, "fullname for " + ph.longname);
        rd.nextitem("no of oxygens in (ref) formula for " + ph.longname);
        ph.oxygens =
            getsingle(rd.wordtype, rd.word, "no of oxygens in (ref) formula for " + ph.longname);
        if (!rd.nextis("verbatim")) {
            if (rd.nextis("also") || rd.nextis("samecoding")) {
                samecodinglist(ph);
            } else {
                bomb("setup phases", "no verbatim", yourfault);
            }
        }
    }
    if (rd.nextis("verbatim")) verbatimblock(ph);
}

void AxSetup::samecodinglist(ptype1& ph) {
    AxState& ax = run.ax;
    const std::string prompt = "phases with same coding as " + ph.longname;
    rd.nextitem(prompt);
    rd.nextitem(prompt);
    if (ax.nsamecoding >= maxsamegroups) {
        bomb("setup phases", "too many samecoding groups" + maxtext(maxsamegroups), yourfault);
    }
    ++ax.nsamecoding;
    SameCodingGroup& g = ax.samecoding[ax.nsamecoding];
    g.base = run.nss;
    g.n = 0;
    ph.nalso = 0;
    constexpr int readlimit = 10;  // the reader's own stop; the record stops earlier
    for (;;) {
        std::string first;
        getname(first, rd.wordtype, rd.word, prompt);
        rd.nextitem(prompt);
        std::string longname;
        getname(longname, rd.wordtype, rd.word, prompt);
        std::string shortname;
        std::string suffix = ph.suffix;
        long2shortpname(longname, shortname, suffix);
        if (ph.nalso >= maxalso) {
            bomb("setup phases",
                 "too many phases with same coding as " + ph.name + maxtext(maxalso), yourfault);
        }
        ++g.n;
        g.first[g.n] = first;
        g.shortname[g.n] = shortname;
        g.longname[g.n] = longname;
        ++ph.nalso;
        ph.alsoshort[ph.nalso] = shortname;
        ph.alsofirst[ph.nalso] = first;
        if (!rd.nextis("verbatim")) rd.nextitem(prompt);
        if (rd.nextis("verbatim") || g.n >= readlimit) break;
    }
    if (!rd.nextis("verbatim")) bomb("setup phases", "verbatim missing for " + ph.name, yourfault);
}

void AxSetup::verbatimblock(ptype1& ph) {
    ph.noverbatim = false;
    ph.nverb = 1;
    ph.verbatim[1] = "#";
    if (run.script.magemincb == controlboolean::yes) ph.verbatim[1] += " start x-eos: " + ph.name;
    for (;;) {
        ++ph.nverb;
        if (ph.nverb > maxverb) {
            bomb("setupphases", "too many info lines for " + ph.name, yourfault);
        }
        std::string line;
        bool isend = false;
        rd.readline(line, isend);
        if (isend) {
            ph.verbatim[ph.nverb] = "#";
            break;
        }
        ph.verbatim[ph.nverb] = line;
    }
    rd.nextitem("end of verbatim for " + ph.name);
}

void readaxphases(Session& ses, Run& run) {
    AxSetup setup(ses, run);
    setup.readfile();
}

void setupphases(Session& ses, Run& run) {
    readaxphases(ses, run);
    applyscriptphases(ses, run);
    setupfluidaq(ses, run);
    applyscriptchoices(ses, run);
    finalaxchecks(ses, run);
    const bool closed = run.ax.file.close();
    run.ax.open = false;
    if (!closed) bomb("setupphases", "problems closing datafile", yourfault);
}

}  // namespace qv
