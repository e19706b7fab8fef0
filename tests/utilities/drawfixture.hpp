#pragma once
// A drawing read from a data file written into a temporary folder, with the log and the SVG
// channel open on files there.

#include <string>

#include "support/fakes.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "utilities/drawdata.hpp"
#include "utilities/svgdraw.hpp"

namespace qv::test {

// A window of 0 to 10 on both axes with ticks every 2.
inline const std::string plainsettings = "window 0 10 0 10\nbigticks 2 0 2 0\n";

struct DrawRun {
    DrawRun() {
        t.ses.prefs.scriptfilesuffix = "t";
        t.ses.ch.pagewidth = 250;
        t.ses.programname = "QUORVANTIS 3.51";
        t.ses.datetimeline = "14.05 on Tue 8 Dec,2026";
        std::string name;
        openwrite(name, "", "t.log", t.ses.ch.files[3]);
        openwrite(name, "", "t.svg", t.ses.ch.files[10]);
        t.ses.ch.activechannels |= logmask | svgmask;
        drawlogheader(t.ses, d);
    }
    void read(const std::string& text) {
        dir.write("vx-t.txt", text);
        readdata(t.ses, d);
    }
    void draw() { drawdiagram(t.ses, d); }
    std::string svg() {
        flushfiles(t.ses);
        return dir.read("t.svg");
    }
    std::string log() {
        flushfiles(t.ses);
        return dir.read("t.log");
    }
    const std::string& screen() const { return t.console.output; }

    TempDir dir;
    TestSession t;
    Drawing d;
};

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace qv::test
