#pragma once
// Reading a script written into a temporary folder, with a session on the fake console.

#include <memory>
#include <string>

#include "script/readscripts.hpp"
#include "support/fakes.hpp"

namespace qv::test {

// The mandatory keywords of a phase diagram run, so that a test script reaches its own point.
inline const std::string mandatory =
    "axfile tc\nwith q ky sill and bi\ndiagramPT 1 10 400 800\npseudosection no\n";

// What the drivers of the other calculations decide about their scripts.
inline constexpr ScriptOptions rockscript{.utilityrun = false, .calctypemax = 2, .lnaonly = false};
inline constexpr ScriptOptions diagramscript{
    .utilityrun = false, .calctypemax = 5, .lnaonly = false};
inline constexpr ScriptOptions utilityscript{
    .utilityrun = true, .calctypemax = 0, .lnaonly = false};

struct ScriptRun {
    explicit ScriptRun(std::string input = {}) : t(std::move(input)) {
        t.ses.prefs.scriptfilesuffix = "t";
        t.ses.runcount = 1;
        t.ses.ch.pagewidth = 250;  // whole messages on the screen
    }
    // Writes qv-t.txt and reads it as the pass `runcount` of the loop of runs.
    void read(const std::string& text, bool ds190 = false) {
        dir.write("qv-t.txt", text);
        if (t.ses.runcount <= 1) files.scriptfilevar.open("qv-t.txt");
        readscripts(t.ses, files, s, w, ds190, opt);
    }
    const std::string& screen() const { return t.console.output; }

    TempDir dir;
    TestSession t;
    RunFiles files;
    ScriptSettings s;
    Windows w;
    ScriptOptions opt;  // a phase diagram run unless a test says otherwise
};

}  // namespace qv::test
