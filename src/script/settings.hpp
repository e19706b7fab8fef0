#pragma once
// The settings of one run taken from its script file. The member initialisers are the defaults
// that `scriptdefaults` restores before every read; a switch is a `controlboolean` named after
// its keyword with the ending "cb", and a count of -1 means that its keyword was not given.

#include <memory>
#include <string>

#include "numerics/fixed.hpp"
#include "numerics/real.hpp"
#include "script/records.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {

// Fluid type of a run: set from its phases, and to ih2oco2 when a mixed H2O-CO2 composition is
// given; absent means no fluid phase.
enum class ftype { notset, several, absent, h2o, co2, h2oco2, ih2oco2, chos, h2oaq, h2oco2aq };

// The larger tables of a script, kept on the heap.
struct ScriptTables {
    // "bulk": component names and the one or two compositions (each summing to 100).
    valwords bulkox{};
    Fixed1<valreals, 2> bulk{};
    // "rbi": component names, then per phase its name, mode and composition.
    valwords rbiox{};
    Fixed1<std::string, maxrbirows> rbiphase{};
    Fixed1<real, maxrbirows> rbimode{};
    Fixed1<valreals, maxrbirows> rbicomp{};
    // "projplane": oxide names and apex compositions.
    valwords projox{};
    Fixed1<valreals, maxblockrows> projapex{};
    // "isr": end-member names and rows of integer reaction coefficients.
    valwords isrem{};
    Fixed1<Fixed1<int16, 40>, maxblockrows> isrrow{};
    Fixed1<int16, maxblockrows> isrrowlength{};
    // "samecoding" groups.
    Fixed1<Fixed1<std::string, maxsameitems>, maxsamecoding> samecoding{};
    Fixed1<int16, maxsamecoding> nsameitems{};
    // "convliq" rows.
    Fixed1<Fixed1<real, maxconvliqcols>, maxconvliqrows> convliq{};
    Fixed1<real, maxxco2values> xco2values{};
    Fixed1<MuvalPoint, maxmuvalpoints> muval{};
    Fixed1<XyzGuess, maxxyzguess> xyzguess{};
    Fixed1<ModeGuess, maxmodeguess> modeguess{};
    Fixed1<BatchRec, maxbatch> batch{};
    Fixed1<int16, maxbatch> batchmap{};  // batch index after switching -> index as read
    Fixed1<bool, maxbatch> batchon{};    // "batchswitch"
    Fixed1<BatchRequest, maxbatchreq> batchreq{};
    Fixed1<BatchXyzBlock, maxbatch> bxyz{};
    Fixed1<FilterSet, maxbatch> filterset{};
    Fixed1<McLine, maxmc> mc{};
    Fixed1<McRange, maxmc> mcrange{};
    Fixed1<McFunc, maxmc> mcfunc{};
    Fixed1<valreals, maxmcbulk> mcbulk{};
    Fixed1<mineraltype, maxminerals> wtminerals{};
    // The rock's minerals that the recalculation and the rbi rows work on (count `nmin`).
    Fixed1<mineraltype, maxminerals> minerals{};
};

struct ScriptSettings {
    // Kept from run to run (not reset by `scriptdefaults`).
    std::string scriptsuffix;  // suffix of the current script file name
    bool scriptopen = false;
    int16 recalccode = -1;  // "recalccode"

    // Reading discipline and counters.
    bool strictscriptingon = false;  // bad values stop the run
    bool ds190 = false;              // the dataset is of the 190-end-member kind
    bool utilityconvertrun = false;  // utility run converting analyses

    // Switch-only keywords.
    controlboolean vorlacalccb = controlboolean::no;
    controlboolean magemincb = controlboolean::no;
    controlboolean morepreccb = controlboolean::no;
    controlboolean calctatpcb = controlboolean::ask;
    controlboolean fluidpresentcb = controlboolean::no;
    controlboolean fluidexcesscb = controlboolean::no;
    controlboolean defsdaparamscb = controlboolean::yes;
    controlboolean usedefsdacb = controlboolean::yes;
    controlboolean printcorcb = controlboolean::no;
    controlboolean latexcb = controlboolean::no;
    controlboolean compatibilitycb = controlboolean::no;
    controlboolean fificb = controlboolean::no;
    controlboolean modeboxcb = controlboolean::no;
    controlboolean printbulkinfocb = controlboolean::no;
    controlboolean c8cb = controlboolean::no;
    controlboolean obliquecb = controlboolean::no;
    controlboolean projcompcb = controlboolean::yes;
    controlboolean lsqdscb = controlboolean::no;
    controlboolean calcah2ocb = controlboolean::no;
    controlboolean calcmuocb = controlboolean::no;
    controlboolean calcmucb = controlboolean::no;
    controlboolean usecalcqcb = controlboolean::no;
    controlboolean acceptvarcb = controlboolean::yes;
    controlboolean printxyzcb = controlboolean::yes;
    controlboolean incnlercb = controlboolean::no;
    controlboolean justrelucb = controlboolean::no;
    controlboolean pisrcb = controlboolean::no;
    controlboolean dataokcb = controlboolean::ask;
    controlboolean doallreactionscb = controlboolean::ask;
    controlboolean mcdebugcb = controlboolean::no;
    controlboolean batchdebugcb = controlboolean::yes;
    controlboolean mcoutcurrentwaycb = controlboolean::yes;
    controlboolean fractdebugcb = controlboolean::no;
    controlboolean uncertaintiescb = controlboolean::no;  // no keyword sets it in this version

    // Booleans from a switch.
    bool numericalon = false;
    bool hqzon = false;

    // Windows and values of the run set-up keywords (the windows themselves are in `Windows`).
    controlboolean diagramptcb = controlboolean::no;
    controlboolean calcpcb = controlboolean::no;
    controlboolean calctcb = controlboolean::no;
    controlboolean ptforaxecb = controlboolean::no;
    real ptforaxep = 0;                                            // kbar
    real ptforaxet = 0;                                            // degrees C
    Fixed1<real, 4> convergence{{{1e-8L, 1e-6L, 0.005L, 1e-6L}}};  // solver tolerances
    controlboolean calctypecb = controlboolean::no;
    int16 calctype = 0;
    int16 debuglev = 1;     // 0 to 6
    int16 debuglevq = 1;    // 0 to 4
    int16 outputlevel = 1;  // 0 to 1
    controlboolean vexlatcb = controlboolean::yes;
    int16 vexlatvalue = 0;
    int16 figuretype = 0;  // 0 P-T, 1 T-x(CO2), 2 P-x(CO2), 3 mu-mu
    bool xco2figure = false;
    controlboolean setrocknamecb = controlboolean::no;
    std::string runtitle;              // run name in headings
    std::string rockname = "my rock";  // default name of the rock
    controlboolean setfluidcb = controlboolean::no;
    real xco2cur = 0;  // fluid of the run's calculations
    real xh2ocur = 1;
    controlboolean maxsdtcb = controlboolean::no;
    real maxsdt = 0;  // K, largest T uncertainty of average P-T
    controlboolean maxsdpcb = controlboolean::no;
    real maxsdp = 0;  // kbar
    int16 utilitycode = -1;
    int16 tablecode = -1;

    // Phases of the run.
    controlboolean withcb = controlboolean::no;
    int16 nwithphases = 0;  // 101: every phase ("with all")
    strings withlist{};     // phase names
    strings withfull{};     // the same words with their "_" suffixes
    bool someofon = false;
    controlboolean inexcesscb = controlboolean::no;
    int16 ninexcess = 0;
    strings inexcesslist{};
    controlboolean inexcess0cb = controlboolean::no;
    int16 ninexcess0 = 0;
    strings inexcess0list{};

    // Bulk composition and projection.
    bool pseudoon = false;
    bool pseudogiven = false;
    controlboolean bulkcb = controlboolean::no;
    int16 nbulk = -3;  // -2 component list read, then 1 or 2 compositions
    int16 nbulkinc = -1;
    int16 nbulkox = 0;
    controlboolean bulksubrangecb = controlboolean::no;
    real bulksubrangelow = -1;
    real bulksubrangehigh = 1;
    controlboolean onebulkcb = controlboolean::no;
    real onebulk = -1;
    controlboolean rbicb = controlboolean::no;
    int16 nrbi = -1;  // -2 component list read, then the phases
    int16 nrbiox = 0;
    controlboolean projectioncb = controlboolean::no;
    controlboolean projplanecb = controlboolean::no;
    int16 nprojox = -1;      // apices: -2 oxide list read, then the apex rows
    int16 nprojplaneox = 0;  // oxides of the plane's list

    // Isopleths.
    controlboolean isoplethcb = controlboolean::no;
    int16 nisopleth = 0;
    Fixed1<Isopleth, 2> isopleth{};
    controlboolean modeisoplethcb = controlboolean::ask;
    int16 nmodeisopleth = 0;
    Fixed1<Isopleth, 2> modeisopleth{};
    controlboolean zeromodeisoplethcb = controlboolean::yes;
    int16 nzeromode = 0;
    Fixed1<std::string, 2> zeromode{};

    // Activity, chemical-potential and x(CO2) variables.
    controlboolean lnacb = controlboolean::no;
    controlboolean setacb = controlboolean::no;
    controlboolean setlogacb = controlboolean::no;
    int16 nlna = 0;
    Fixed1<NamedValue, 40> lna{};  // ln a (log10 a with "setloga")
    controlboolean mucb = controlboolean::no;
    int16 nmu = 0;
    Fixed1<NamedValue, 40> mu{};
    controlboolean xco2valuescb = controlboolean::no;
    real xco2low = 0;
    real xco2high = 0;
    real xco2inc = 0;
    int16 nxco2values = 0;
    controlboolean muvalcb = controlboolean::no;
    int16 nmuval = -1;

    // Gibbs energy minimisation and variance.
    bool dogminon = false;
    int16 dogminlevel = -1;
    controlboolean varrangecb = controlboolean::no;
    int16 varmin = 2;
    int16 varmax = 0;
    controlboolean setvarcb = controlboolean::no;
    int16 variance = 0;  // "setvar"
    int16 calcsdlevel = 0;

    // Starting guesses and small tables.
    controlboolean ptguesscb = controlboolean::no;
    real ptguessp = -101;  // kbar; -101 not given
    real ptguesst = -101;  // K
    controlboolean xyzguesscb = controlboolean::no;
    int16 nxyzguess = -1;
    controlboolean modeguesscb = controlboolean::no;
    int16 nmodeguess = -1;
    controlboolean samecodingcb = controlboolean::no;
    int16 nsamecoding = -1;
    controlboolean convliqcb = controlboolean::no;
    int16 nconvliqrows = -1;
    int16 nconvliqcols = -1;
    std::string buffername;
    real bufferdel = 0;
    Fixed1<int16, 3> rgb{{{-1, -1, -1}}};
    controlboolean isrcb = controlboolean::no;
    int16 nisr = -1;  // -2 end-member list read, then the reactions
    int16 nisrem = 0;

    // Batches, filters and Monte Carlo.
    controlboolean batchcb = controlboolean::no;
    int16 nbatch = -1;
    int16 nbatchswitch = 0;
    int16 nbatchreq = -1;
    int16 nbxyz = 0;  // "batchxyzguess" blocks
    int16 nfiltersets = -1;
    bool filtersgiven = false;
    controlboolean mccb = controlboolean::no;
    int16 nmc = -1;
    int16 nmcrange = -1;
    int16 nmcfunc = -1;
    real mctrials = 1;
    int16 mcitcount = 1;  // the second integer of "mcit"
    int16 nmcbulk = -1;
    bool gaussmcon = false;
    controlboolean fractionationcb = controlboolean::no;

    // Analysis conversion ("convert").
    int16 nwtmin = -1;        // minerals started; -1 (or 0) none
    int16 bulkconvflag = -1;  // the convert count: 1 once a bulk or mineral start line is read
    int16 nbulkconvox = 0;    // oxides of the bulk analysis
    valwords bulkconvox{};
    int16 nbulkconvwt = 0;  // amounts of the bulk analysis ("wt2mole"); 0 no bulk analysis
    valreals bulkconvwt{};  // wt%
    int16 nmin = 0;         // minerals of the rock in `tables->minerals`

    std::unique_ptr<ScriptTables> tables = std::make_unique<ScriptTables>();
};

}  // namespace qv
