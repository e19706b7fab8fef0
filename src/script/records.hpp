#pragma once
// Tables a script fills for the phase diagram, batch, Monte Carlo and analysis-conversion code:
// starting guesses, isopleths, batches, filters, Monte Carlo lines and analysed minerals.

#include <string>

#include "base/fixed.hpp"
#include "base/grow.hpp"
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
    valreals mu{};       // kJ
    valwords munames{};  // the component of each potential, when given as name-value pairs
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
    Fixed1<std::string, maxbatchiso> isonames{};  // composition variables held fixed
    Fixed1<real, maxbatchiso> isovalues{};        // and their values
    bool calct = false;  // a univariant member of one P and one T: T at P rather than P at T
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
    std::string code;      // begins with a, b or c
    std::string param;     // W(...), a(...) or DQF(...)
    real value = 0;        // replaces the parameter at set-up: the centre of the draws
    real range = 0;        // half-width h of a uniform draw; with normal draws the sd is h / 2
    std::string relation;  // first character "f" or "="
    // The "mcfunc" or "mcrange" line it follows; empty after a bare "=": the line draws by
    // itself within its own range.
    std::string relname;
    std::string text;  // the entry as written, for the log
};

// A draw shared by the lines that follow it: uniform in value - range..value + range of which
// each trial takes the offset from the value (normal draws: sd range / 2).
struct McRange {
    std::string name;
    real value = 0;
    real range = 0;
};

// A parameter moved by a combination of shared draws: constant + sum of coefficient x the
// offset of the named "mcrange" line.
struct McFunc {
    std::string name;
    real constant = 0;
    int16 nterms = 0;
    Fixed1<real, maxmcterms> coef{};
    Fixed1<std::string, maxmcterms> rangename{};
    Fixed1<int16, maxmcterms> range{};  // the "mcrange" line of each term, found at the close
};

inline constexpr int maxanalysis = 26;    // oxides of one analysis, and analysis slots
inline constexpr int maxmineralxyz = 15;  // compositional variables of an analysed mineral

// One linear constraint of an ideal analysis on cations per formula unit:
// constant + sum of coef x (cations of element) = rhs.
struct PeqConstraint {
    real rhs = 0;
    real constant = 0;
    int16 nterms = 0;
    Fixed1<std::string, maxanalysis> names{};  // element names of the terms
    Fixed1<real, maxanalysis> coef{};
    // Per analysis slot: oxygens x (rhs - constant) - basis x cations x coef of its element,
    // the coefficient of the constraint as a homogeneous equation in mole proportions.
    Fixed1<real, maxanalysis> slotcoef{};
};

using slotreals = Fixed1<real, maxanalysis>;
using xyzreals = Fixed1<real, maxmineralxyz>;

// One analysed mineral: what its "convert" lines give, and the recalculation's working slots
// and results (cations per formula unit, compositional variables with sds and correlations).
struct mineraltype {
    std::string name;  // short name of its solution phase in the a-x file
    int16 phase = 0;   // that solution phase's number among the phases read

    // The analysis as given: oxide names and wt%.
    int16 nanal = 0;
    valwords anoxnames{};
    slotreals anwt{};
    bool analysisgiven = false;  // "wt2xyz" line read

    // Recalculation information ("info").
    bool infogiven = false;
    real oxygenbasis = 0;  // oxygens of the formula unit
    real xlow = 0;         // range of x = Fe3+/(Fe2+ + Fe3+)
    real xhigh = 0;
    real lnxmean = 0;  // mean and sd of ln x spanned by xlow..xhigh (2 sd each side)
    real lnxsd = 0;
    real aerr = 0.035L;  // sd of ln wt% is aerr / sqrt(wt%)
    real sdmult = 3;     // the sds written for the script are multiplied by this

    // Ideal analysis ("ideal").
    bool idealon = false;
    int16 npeq = 0;
    Fixed1<PeqConstraint, maxpeq> peq{};
    real sigfit = 0;

    // Analysis slots after the clean-up: amounts and the oxide table's data per slot.
    int16 nox = 0;
    int16 extraslot = 0;   // oxygen that makes part of the iron ferric; 0 none
    int16 feoslot = 0;     // all iron as FeO; 0 none
    int16 extraslot2 = 0;  // copies kept for the rbi rows
    int16 feoslot2 = 0;
    slotreals wt{};         // the analysis used (fitted for an ideal analysis), wt%
    slotreals wtused{};     // the cleaned analysis with the extra oxygen, wt%
    slotreals molarmass{};  // g/mol
    slotreals c0{};         // cations per formula unit of the analysis as entered
    slotreals cid{};        // cations per formula unit of the final calculation
    Fixed1<int16, maxanalysis> oxygens{};
    Fixed1<int16, maxanalysis> cations{};
    Fixed1<std::string, maxanalysis> elnames{};
    Fixed1<std::string, maxanalysis> oxnames{};

    // Compositional variables of the phase's a-x model.
    int16 nxyz = 0;
    Fixed1<std::string, maxmineralxyz> xyznames{};
    xyzreals xyz{};
    xyzreals sdxyz{};
    Fixed1<xyzreals, maxmineralxyz> cor{};
    // A variable whose denominator is zero for the analysis itself has no value ("*").
    Fixed1<bool, maxmineralxyz> xyzundefined{};
};

// The analysed minerals of a run (a mineral record is large, and most runs have none): a record
// is made when the run first writes it (base/grow.hpp).
using mineraltable = Grow1<mineraltype, maxminerals>;

}  // namespace qv
