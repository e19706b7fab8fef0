#pragma once
// The program's files: start of the log, the calculation mode, location of input files, the run
// files named after the script, and their closing (erasing those into which nothing was written).

#include <string>
#include <string_view>

#include "textio/infile.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

// The script file of a run and the suffix of the calibration files: `startout` opens the script
// for the first pass, and the script reader chooses it again on later passes and closes it.
struct RunFiles {
    InFile scriptfilevar;    // the script file, open until the script reader has read it
    std::string scriptname;  // name of the script file of the run
    std::string qvdssuffix;  // calibration file suffix, from the calibration preferences
};

// Start-up tables, preferences, log and banner.
void startlog(Session& ses, std::string_view name);
// Reads the clock: sets `datetimeline` and `starttime`.
void datetimetext(Session& ses);
// The calculation code: from the preferences, else asked with the menu.
int16 getcalcmode(Session& ses);
// Opens the script file and the output files of the run and reports their names; a calibration
// run opens the calibration files in their place.
void startout(Session& ses, RunFiles& files, bool calibration);
void closefiles(Session& ses);
void closeerase(Session& ses, OutFile& f, bool used, std::string_view name);
void showelapsed(Session& ses);
// Locates and opens prefix + suffix + ".txt", asking for an empty suffix.
void promptdatafile(Session& ses, std::string& filename, std::string_view prefix,
                    std::string& suffix, std::string_view kind, InFile& f);
// Creates prefix + suffix for writing.
void openwrite(std::string& filename, std::string_view prefix, std::string_view suffix, OutFile& f);
// One line of a text file split into words; a read error is fatal.
void rstrings(Session& ses, InFile& f, strings& words, int16& n);
// `rstrings`, dropping the comment (from a word beginning with "%") when `stopatcomment`.
void readstrings(Session& ses, InFile& f, strings& words, int16& n, bool stopatcomment);

}  // namespace qv
