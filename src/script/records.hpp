#pragma once
// Tables a script fills for the phase diagram, batch, Monte Carlo and analysis-conversion code:
// starting guesses, isopleths, batches, filters, Monte Carlo lines and analysed minerals.

#include <string>

#include "base/fixed.hpp"
#include "base/real.hpp"
#include "textio/words.hpp"

namespace qv {

inline constexpr int maxxyzguess = 200;    // "xyzguess" lines, and guesses of one batch block
inline constexpr int maxmodeguess = 88;    // "modeguess" lines
inline constexpr int maxsamecoding = 16;   // samecoding groups
inline constexpr int maxsameitems = 8;     // names in one samecoding group
inline constexpr int maxconvliqrows = 15;  // liquid conversion matrix
inline constexpr int maxconvliqcols = 20;
inline constexpr int maxrbirows = 30;      // phases of an "rbi" table
inline constexpr int maxblockrows = 40;    // rows of the "projplane" and "isr" blocks
inline constexpr int maxmuvalpoints = 50;  // P-T points of "muval"
inline constexpr int maxxco2values = 201;
inline constexpr int maxbatch = 99;
inline constexpr int maxbatchpt = 10;   // P-T points of one batch
inline constexpr int maxbatchiso = 6;   // isopleths of one batch
inline constexpr int maxbatchreq = 99;  // "batchreq" lines
inline constexpr int maxfilters = 30;   // filters of one set
inline constexpr int maxmc = 150;       // "mc", "mcrange" and "mcfunc" lines each
inline constexpr int maxmcterms = 20;   // terms of one "mcfunc"
inline constexpr int maxmcbulk = 99;    // bulk compositions of "mcbulk"
inline constexpr int maxminerals = 12;  // analysed minerals of "convert"
inline constexpr int maxpeq = 4;        // "peq" items of a mineral's "ideal" line

using valwords = srrvector;  // the words of one script entry's values
using valreals = rrvector;

// A starting guess of a compositional variable: value, uncertainty and allowed range.
struct XyzGuess {
    std::string name;
    real value = 0;
    real sd = 0;
    real low = 0;
    real high = 1;
    bool rangegiven = false;
};

struct ModeGuess {
    std::string name;
    real value = 0;
};

// An isopleth of a compositional variable or of a mode: low to high in steps of inc; a single
// value has low = high.
struct Isopleth {
    std::string name;
    real low = 0;
    real high = 0;
    real inc = 0.001L;
};

// A variable of a reaction diagram or of a chemical potential: its value when given.
struct NamedValue {
    std::string name;
    real value = 0;
    bool given = false;
};

// Chemical potentials at one P-T point ("muval").
struct MuvalPoint {
    real p = 0;  // kbar
    real t = 0;  // K
    int16 nmu = 0;
    valreals mu{};  // kJ
};

// One small calculation of a batch run.
struct BatchRec {
    Fixed1<bool, maxwords> phases{};  // phases of the "with" list that take part
    int16 variance = 0;
    int16 np = 0;                  // pressures
    int16 nt = 0;                  // temperatures
    int16 npt = 0;                 // np * nt P-T points
    Fixed1<real, maxbatchpt> p{};  // kbar
    Fixed1<real, maxbatchpt> t{};  // K
    int16 xyzflag = 0;
    int16 kxyz = 0;  // the "batchxyzguess" block of its starting guesses
    int16 bulkflag = 0;
    int16 comp1 = 0;  // compositions of "mcbulk"; comp2 0 for none
    int16 comp2 = 0;
    real bulkprop = 0;             // position between comp1 (0) and comp2 (1)
    int16 nmodeset = 0;            // phases whose modes are set, 0 to 2
    Fixed1<int16, 2> modephase{};  // their positions in the "with" list
    Fixed1<real, 2> mode{};
    int16 nisopleth = 0;
    Fixed1<std::string, maxbatchiso> isonames{};
};

// A list of batch indices (one "batchreq" line).
struct BatchRequest {
    int16 n = 0;
    Fixed1<int16, maxbatch> index{};
};

struct BatchXyzBlock {
    int16 n = 0;
    Fixed1<XyzGuess, maxxyzguess> guess{};
};

// A result accepted only when the variable lies in low..high (T in K).
struct Filter {
    std::string name;
    real low = 0;
    real high = 0;
};

struct FilterSet {
    int16 n = 0;
    Fixed1<Filter, maxfilters> filter{};
};

// One Monte Carlo variable: an a-x parameter of a phase drawn in low..high, tied by its relation
// word to an "mcrange" or "mcfunc" line.
struct McLine {
    std::string phase;
    std::string code;   // begins with a, b or c
    std::string param;  // W(...), a(...) or DQF(...)
    real v1 = 0;
    real v2 = 0;
    std::string relation;  // first character "f" or "="
    std::string relname;   // the "mcfunc" or "mcrange" name it refers to
    std::string text;      // the entry as written, for the log
};

struct McRange {
    std::string name;
    real low = 0;
    real high = 0;
};

struct McFunc {
    std::string name;
    int16 nterms = 0;
    Fixed1<real, maxmcterms> term{};
};

// One mineral of an analysis to be recalculated ("convert").
struct mineraltype {
    std::string name;
    int16 nox = 0;
    valwords oxnames{};
    int16 nanal = 0;
    valreals analysis{};  // weight per cent of the oxides
    bool infogiven = false;
    real xlow = 0;
    real xhigh = 1;
    int16 ninfo = 0;
    valreals info{};  // the recalculation information after the x limits
    int16 nideal = 0;
    valwords ideal{};  // the words of the "ideal" line
    int16 npeq = 0;
    int16 nconv = 0;  // conversions done
};

}  // namespace qv
