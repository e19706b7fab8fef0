#pragma once
// The state of the whole process: console and clock, output channels and files, preferences,
// start-up tables, the calculation mode and the counters that outlive one run.

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "base/fixed.hpp"
#include "base/real.hpp"
#include "base/runkinds.hpp"
#include "textio/console.hpp"

namespace qv {

struct ThermoWork;  // thermo/thermowork.hpp

// Output channels by bit: 0 screen, 1 te (not implemented), 2 summary, 3 log, 4 detailed
// results ("ic"), 5 a-x information ("it"), 6 drawing-program input ("vx"), 7 csv, 8 second
// csv, 9 PostScript (never opened), 10 SVG.
inline constexpr int nchannels = 11;
inline constexpr int32 screenmask = 1;
inline constexpr int32 temask = 2;
inline constexpr int32 summarymask = 4;
inline constexpr int32 logmask = 8;
inline constexpr int32 icmask = 16;     // detailed results
inline constexpr int32 itmask = 32;     // a-x information
inline constexpr int32 vxmask = 64;     // drawing-program input
inline constexpr int32 csvmask = 128;   // csv
inline constexpr int csvchannel = 7;    // the channel of csvmask
inline constexpr int32 csv2mask = 256;  // second csv
inline constexpr int32 psmask = 512;    // PostScript
inline constexpr int32 svgmask = 1024;  // SVG
// The combinations most lines go to.
inline constexpr int32 screenlogmask = screenmask | logmask;
inline constexpr int32 summarylogmask = summarymask | logmask;
inline constexpr int32 screensummarylogmask = screenmask | summarymask | logmask;

// An output file of a channel; closed by `closefiles`.
struct OutFile {
    std::FILE* f = nullptr;
    std::string name;
};

struct Channels {
    int32 activechannels = 0;
    std::array<OutFile, nchannels> files{};
    std::array<bool, nchannels> used{};        // meaningful for channels 4 to 10
    bool dontwrapon = true;                    // cut screen lines to the page width
    int16 pagewidth = 80;                      // 80 to 250
    std::array<std::string, 4> linebuffers{};  // shared buffers for building table lines
    std::string writeproblem;                  // name of the first file closed after a failed write
};

// The preferences file's settings and the counters of its checks.
struct Preferences {
    std::string dsfilesuffix;      // the dataset word ("dsfile")
    std::string scriptfilesuffix;  // the script word ("scriptfile")
    std::string axfilesuffix;      // the a-x file word (script "axfile")
    bool monitorheapon = false;
    int16 prefscalcmode = -1;
    int16 scriptproblems = 0;
    int16 missingscripts = 0;
};

// Tables computed once at start-up.
struct StartupTables {
    real macheps = 0;
    Fixed1<std::string, 400> ordinals;  // "1st", "2nd", "3rd", "4th", ...
};

// The three seeds of the Wichmann-Hill generator.
struct WhSeeds {
    int32 whs1 = 1;
    int32 whs2 = 1;
    int32 whs3 = 1;
};

struct Session {
    Session(Console& con, Clock& clk) : console(con), clock(clk) {}

    Console& console;
    Clock& clock;
    Channels ch;
    Preferences prefs;
    StartupTables tables;
    WhSeeds seeds;

    std::string programname;   // "QUORVANTIS 3.51"
    std::string progbanner;    // copy of the identity; its first word names the files
    std::string datetimeline;  // date and time of start-up, e.g. "14.05 on Tue 8 Dec,2026"
    int64 starttime = 0;       // clock millis at start-up or at the last calculation procedure
    int64 gemcount = 0;        // end-member Gibbs energy evaluations
    int32 heapsize = 0;        // bytes held by the tracked global arrays

    bool autoexiton = false;  // no questions at the end of a pass or of the process
    int16 calcmodecode = 0;   // menu code of the calculation mode
    // Chosen once at start-up, for every pass; read by the main block and the calculations'
    // drivers only, which pass what it decides below them as options.
    calcmodetype runcalcmode = calcmodetype::nlecalc;
    int16 runcount = 0;
    std::string morequestion;

    bool stopping = false;  // set while a fatal stop is being reported

    // The working tables of the thermodynamic calculations (`thermowork`, made on first use):
    // held here because every calculation reaches them through the session it is handed.
    std::shared_ptr<ThermoWork> thermowork;
};

}  // namespace qv
