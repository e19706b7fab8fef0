#pragma once
// The script file reader: every keyword of a run's script into its settings, with the closing
// checks that reconcile them.

#include <string>

#include "script/settings.hpp"
#include "script/windows.hpp"
#include "textio/files.hpp"
#include "textio/session.hpp"

namespace qv {

// What the run's calculation decides about reading its script; the driver of the run fills it.
// The defaults are those of a phase diagram run.
struct ScriptOptions {
    // Utility run: no "with" list needed ("with all" admitted), the in-excess phases are not
    // added to "with", and "utility 1" is a conversion run.
    bool utilityrun = false;
    int16 calctypemax = 0;  // highest code after "calctype" (rock 2, reaction diagrams 5; 0: none)
    bool lnaonly = true;    // activities are set by "lna" alone: "seta" and "setloga" refused
    // The mandatory keywords are checked and explained (a calibration run needs none).
    bool mandatorychecks = true;
    // "pseudosection" is among them: a phase diagram run chosen by the preferences file
    // ("calcmode 1"); one chosen at the prompt may leave it out.
    bool pseudosectionmandatory = false;
};

// Reads the run's script (the file `startout` opened on the first run; on later runs it is
// chosen again), runs the closing checks and closes it. `ds190` says whether the dataset is of
// the 190-end-member kind; `opt` what the run's calculation decides about the keywords.
void readscripts(Session& ses, RunFiles& files, ScriptSettings& s, Windows& w, bool ds190,
                 const ScriptOptions& opt);
// Chooses and opens the script file of a further pass of the loop of runs.
void getscriptfile(Session& ses, RunFiles& files, ScriptSettings& s);
// Every script setting to its default, the problem counters to 0.
void scriptdefaults(Session& ses, ScriptSettings& s, Windows& w, bool ds190);
// The script file being read, as the input errors of its values name it.
std::string scriptfilename(const ScriptSettings& s);
// Where "calcT" or "calcP" was not given as yes: that calculation range is the whole diagram.
void resetwindow(RunSetupSettings& s, Windows& w);

}  // namespace qv
