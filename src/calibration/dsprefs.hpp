#pragma once
// The calibration preferences file "ds-prefs.txt": the suffixes of the calibration's files and
// the switches that answer the questions of the run.

#include "calibration/calibdata.hpp"
#include "textio/infile.hpp"
#include "textio/session.hpp"

namespace qv {

// Sets every preference to its default, then reads the open preferences file to its end or to
// its first line whose first word begins with "*".
void readdsprefsfile(InFile& f, CalibPrefs& prefs);
// Locates "ds-prefs.txt" (a missing file is fatal) and reads it.
void readdsprefs(Session& ses, CalibPrefs& prefs);

}  // namespace qv
