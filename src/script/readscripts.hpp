#pragma once
// The script file reader: every keyword of a run's script into its settings, with the closing
// checks that reconcile them.

#include "script/settings.hpp"
#include "script/windows.hpp"
#include "textio/files.hpp"
#include "textio/session.hpp"

namespace qv {

// Reads the run's script (the file `startout` opened on the first run; on later runs it is
// chosen again), runs the closing checks and closes it. `ds190` says whether the dataset is of
// the 190-end-member kind.
void readscripts(Session& ses, RunFiles& files, ScriptSettings& s, Windows& w, bool ds190);
// Chooses and opens the script file of a further pass of the loop of runs.
void getscriptfile(Session& ses, RunFiles& files, ScriptSettings& s);
// Every script setting to its default, the problem counters to 0.
void scriptdefaults(Session& ses, ScriptSettings& s, Windows& w, bool ds190);
// Where "calcT" or "calcP" was not given as yes: that calculation range is the whole diagram.
void resetwindow(RunSetupSettings& s, Windows& w);

}  // namespace qv
