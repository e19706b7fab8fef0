#pragma once
// The settings of one run taken from its script file. The member initialisers are the defaults
// that `scriptdefaults` restores before every read; a switch is a `controlboolean` named after
// its keyword with the ending "cb", and a count of -1 means that its keyword was not given.

#include <memory>
#include <string>

#include "base/fixed.hpp"
#include "base/real.hpp"
#include "script/records.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {

// The larger tables of a script, kept on the heap. The tables of repeated entries (guesses,
// batch calculations, Monte Carlo lines) grow with the entries read (base/grow.hpp).
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
    Fixed1<std::string, maxblockrows> projapexname{};  // "" for a row of numbers alone
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
    Grow1<MuvalPoint, maxmuvalpoints> muval{};
    Grow1<XyzGuess, maxxyzguess> xyzguess{};
    Grow1<ModeGuess, maxmodeguess> modeguess{};
    Grow1<BatchRec, maxbatch> batch{};
    Fixed1<int16, maxbatch> batchmap{};  // batch index after switching -> index as read
    Fixed1<bool, maxbatch> batchon{};    // "batchswitch"
    Grow1<BatchRequest, maxbatchreq> batchreq{};
    Grow1<BatchXyzBlock, maxbatch> bxyz{};
    Grow1<FilterSet, maxbatch> filterset{};
    Grow1<McLine, maxmc> mc{};
    Grow1<McRange, maxmc> mcrange{};
    Grow1<McFunc, maxmc> mcfunc{};
    Grow1<valreals, maxmcbulk> mcbulk{};
    mineraltable wtminerals{};
    // The rock's minerals that the recalculation and the rbi rows work on (count `nmin`).
    mineraltable minerals{};
};

// The state of the script file itself and the discipline of reading it.
struct ScriptFileSettings {
    // Kept from run to run (not reset by `scriptdefaults`).
    std::string scriptsuffix;  // suffix of the current script file name ("qv-" + suffix + ".txt")
    bool scriptopen = false;   // the script file is open for the next read
    int16 recalccode = -1;     // "recalccode": the utility's recalculation code, -1 not given

    bool strictscriptingon = false;  // "strictscripting": a bad value stops the run
    bool ds190 = false;              // the dataset is of the 190-end-member kind
    bool utilityconvertrun = false;  // a utility run converting analyses ("utilitycode 1")
};

// The keywords that are a switch alone (yes, no or ask, no values); each named after its keyword
// with the ending "cb".
struct SwitchSettings {
    controlboolean vorlacalccb = controlboolean::no;      // "vorlacalc": a form of result printing
    controlboolean magemincb = controlboolean::no;        // "magemin": "*" and "**" in a-x output
    controlboolean morepreccb = controlboolean::no;       // "moreprec": more decimals in results
    controlboolean calctatpcb = controlboolean::ask;      // "calcTatP": T at given P, not P at T
    controlboolean fluidpresentcb = controlboolean::no;   // "fluidpresent": a fluid is present
    controlboolean fluidexcesscb = controlboolean::no;    // "fluidexcess": the fluid is in excess
    controlboolean defsdaparamscb = controlboolean::yes;  // "defsdaparams": default sd(a) terms
    controlboolean usedefsdacb = controlboolean::yes;     // "usedefsda": default sd of activities
    controlboolean printcorcb = controlboolean::no;       // "printcor": correlations (average PT)
    controlboolean latexcb = controlboolean::no;          // "latex": stored, read by nothing
    controlboolean compatibilitycb = controlboolean::no;  // "compatibility": yes, no drawing file
    controlboolean fificb = controlboolean::no;           // "fifi": a form of result printing
    controlboolean modeboxcb = controlboolean::no;        // "modebox": yes, no drawing file
    controlboolean printbulkinfocb = controlboolean::no;  // "printbulkinfo": bulk and rbi lines
    controlboolean c8cb = controlboolean::no;             // "c8": a calculation and print option
    controlboolean obliquecb = controlboolean::no;        // "oblique": stored, read by nothing
    controlboolean projcompcb = controlboolean::yes;      // "projcomp": drawing-program output
    controlboolean lsqdscb = controlboolean::no;          // "lsqds": yes switches projection off
    controlboolean calcah2ocb = controlboolean::no;       // "calca(H2O)": calculate a(H2O)
    controlboolean calcmuocb = controlboolean::no;        // "calcmuo": oxide chemical potentials
    controlboolean calcmucb = controlboolean::no;         // "calcmu": chemical potentials
    controlboolean usecalcqcb = controlboolean::no;       // "usecalcq": order by its own routine
    controlboolean acceptvarcb = controlboolean::yes;     // "acceptvar": accept the variance
    controlboolean printxyzcb = controlboolean::yes;      // "printxyz": guesses in script form
    controlboolean incnlercb = controlboolean::no;        // "incnler": print the reaction set
    controlboolean justrelucb = controlboolean::no;       // "justrelu": no W term in sd(a)
    controlboolean pisrcb = controlboolean::no;           // "pisr": independent set of reactions
    controlboolean dataokcb = controlboolean::ask;        // "dataok": accept a rock's data
    controlboolean doallreactionscb = controlboolean::ask;   // "doallreactions": every reaction
    controlboolean mcdebugcb = controlboolean::no;           // "mcdebug": Monte Carlo details
    controlboolean batchdebugcb = controlboolean::yes;       // "batchdebug": batch details
    controlboolean mcoutcurrentwaycb = controlboolean::yes;  // "mcoutcurrentway": MC output form
    controlboolean fractdebugcb = controlboolean::no;        // "fractdebug": fractionation details
    controlboolean uncertaintiescb = controlboolean::no;     // no keyword sets it in this version
};

// The run set-up keywords: switches of the Gibbs energy, the P-T windows' switches, levels,
// figure type, names, fluid and the limits of average P-T (the windows are in `Windows`).
struct RunSetupSettings {
    bool numericalon = false;  // "numerical": Simpson rule for the Einstein correction
    bool hqzon = false;        // "hqz": exponential cold curve of the Einstein variant

    controlboolean diagramptcb = controlboolean::no;  // "diagramPT": the window was given
    controlboolean calcpcb = controlboolean::no;      // "calcP": the P calculation range was given
    controlboolean calctcb = controlboolean::no;      // "calcT": the T calculation range was given
    controlboolean ptforaxecb = controlboolean::no;   // "ptforaxe": P-T for the a-x set-up given
    real ptforaxep = 0;                               // "ptforaxe" pressure, kbar
    real ptforaxet = 0;                               // "ptforaxe" temperature, degrees C
    Fixed1<real, 4> convergence{{{1e-8L, 1e-6L, 0.005L, 1e-6L}}};  // "convergence": tolerances
    controlboolean calctypecb = controlboolean::no;                // "calctype" was given
    int16 calctype = 0;     // "calctype": kind of calculation of the mode, 0 none
    int16 debuglev = 1;     // "debuglevel": 0 to 6
    int16 debuglevq = 1;    // "debuglevelq": 0 to 4
    int16 outputlevel = 1;  // "outlevel": 0 to 1
    controlboolean vexlatcb = controlboolean::yes;  // "vexlat": drawing-program output
    int16 vexlatvalue = 0;                          // "vexlat": its form
    int16 figuretype = 0;     // "figure": 0 P-T, 1 T-x(CO2), 2 P-x(CO2), 3 mu-mu
    bool xco2figure = false;  // the figure has x(CO2) on an axis
    controlboolean setrocknamecb = controlboolean::no;  // "setrockname" was given
    std::string runtitle;                               // "runname": run name in headings
    std::string rockname = "my rock";                   // "rockname": name of the rock
    controlboolean setfluidcb = controlboolean::no;     // "setfluid" was given
    real xco2cur = 0;                                   // "setfluid": x(CO2) of the calculations
    real xh2ocur = 1;                                   // "setfluid": x(H2O) of the calculations
    controlboolean maxsdtcb = controlboolean::no;       // "maxsdt" was given
    real maxsdt = 0;                                    // "maxsdt": largest sd of average T, K
    controlboolean maxsdpcb = controlboolean::no;       // "maxsdp" was given
    real maxsdp = 0;                                    // "maxsdp": largest sd of average P, kbar
    int16 utilitycode = -1;                             // "utilitycode": the utility, -1 not given
    int16 tablecode = -1;                               // "tablecode": the table, -1 not given
};

// The chemical system: the phases of the run, the bulk composition and the projection.
struct SystemSettings {
    controlboolean withcb = controlboolean::no;  // "with" was given
    int16 nwithphases = 0;                       // phases of "with"; 101: every phase ("with all")
    strings withlist{};                          // "with": phase names
    strings withfull{};                          // the same words with their "_" suffixes
    bool someofon = false;                       // "with" lists phases of which some may be absent
    controlboolean inexcesscb = controlboolean::no;   // "inexcess" was given
    int16 ninexcess = 0;                              // phases in excess
    strings inexcesslist{};                           // "inexcess": their names
    controlboolean inexcess0cb = controlboolean::no;  // "inexcess0" was given
    int16 ninexcess0 = 0;                             // phases in excess at zero mode
    strings inexcess0list{};                          // "inexcess0": their names

    bool pseudoon = false;                       // "pseudosection": a pseudosection run
    bool pseudogiven = false;                    // "pseudosection" was written
    controlboolean bulkcb = controlboolean::no;  // "bulk" was given
    int16 nbulk = -3;     // "bulk": -2 component list read, then 1 or 2 compositions
    int16 nbulkinc = -1;  // "bulk": points along the line of two compositions, -1 not given
    int16 nbulkox = 0;    // "bulk": components of the list
    controlboolean bulksubrangecb = controlboolean::no;  // "bulksubrange" was given
    real bulksubrangelow = -1;                           // "bulksubrange": start on the bulk line
    real bulksubrangehigh = 1;                           // "bulksubrange": end on the bulk line
    controlboolean onebulkcb = controlboolean::no;       // "onebulk" was given
    real onebulk = -1;                                   // "onebulk": one point on the bulk line
    controlboolean rbicb = controlboolean::no;           // "rbi" was given
    int16 nrbi = -1;   // "rbi": -2 component list read, then the phases
    int16 nrbiox = 0;  // "rbi": components of the list
    controlboolean projectioncb = controlboolean::no;  // "projection" was given
    controlboolean projplanecb = controlboolean::no;   // "projplane" was given
    int16 nprojox = -1;      // "projplane" apices: -2 oxide list read, then the apex rows
    int16 nprojplaneox = 0;  // "projplane": oxides of the plane's list
};

// The phase diagram keywords: isopleths, activity and chemical-potential variables, x(CO2)
// values, Gibbs energy minimisation and variance, starting guesses and the small tables.
struct PhaseDiagramSettings {
    controlboolean isoplethcb = controlboolean::no;           // "isopleth" was given
    int16 nisopleth = 0;                                      // isopleths, 0 to 2
    Fixed1<Isopleth, 2> isopleth{};                           // "isopleth": composition isopleths
    controlboolean modeisoplethcb = controlboolean::ask;      // "modeisopleth" switch
    int16 nmodeisopleth = 0;                                  // mode isopleths, 0 to 2
    Fixed1<Isopleth, 2> modeisopleth{};                       // "modeisopleth": mode isopleths
    controlboolean zeromodeisoplethcb = controlboolean::yes;  // "zeromodeisopleth" switch
    int16 nzeromode = 0;                                      // zero-mode phases, 0 to 2
    Fixed1<std::string, 2> zeromode{};                        // "zeromodeisopleth": their names

    controlboolean lnacb = controlboolean::no;         // "lna" was given
    controlboolean setacb = controlboolean::no;        // "seta" was given
    controlboolean setlogacb = controlboolean::no;     // "setloga": values are log10 a
    int16 nlna = 0;                                    // activities set
    Fixed1<NamedValue, 40> lna{};                      // ln a (log10 a with "setloga") by name
    controlboolean mucb = controlboolean::no;          // "mu" was given
    int16 nmu = 0;                                     // chemical potentials set
    Fixed1<NamedValue, 40> mu{};                       // "mu": chemical potentials by name, kJ
    controlboolean xco2valuescb = controlboolean::no;  // "xco2values" was given
    real xco2low = 0;                                  // "xco2values": first x(CO2)
    real xco2high = 0;                                 // "xco2values": last x(CO2)
    real xco2inc = 0;                                  // "xco2values": step of x(CO2)
    int16 nxco2values = 0;                             // x(CO2) values of the list
    controlboolean muvalcb = controlboolean::no;       // "muval" was given
    int16 nmuval = -1;                                 // "muval": P-T points, -1 not given

    bool dogminon = false;                           // "dogmin": Gibbs energy minimisation
    int16 dogminlevel = -1;                          // "dogmin": its level, -1 not given
    controlboolean varrangecb = controlboolean::no;  // "varrange" was given
    int16 varmin = 2;                                // "varrange": smallest variance
    int16 varmax = 0;                                // "varrange": largest variance
    controlboolean setvarcb = controlboolean::no;    // "setvar" was given
    int16 variance = 0;                              // "setvar": the variance
    int16 calcsdlevel = 0;                           // level of the uncertainty calculation

    controlboolean ptguesscb = controlboolean::no;     // "ptguess" was given
    real ptguessp = -101;                              // "ptguess" pressure, kbar; -101 not given
    real ptguesst = -101;                              // "ptguess" temperature, K; -101 not given
    controlboolean xyzguesscb = controlboolean::no;    // "xyzguess" was given
    int16 nxyzguess = -1;                              // "xyzguess" lines, -1 none
    controlboolean modeguesscb = controlboolean::no;   // "modeguess" was given
    int16 nmodeguess = -1;                             // "modeguess" lines, -1 none
    controlboolean samecodingcb = controlboolean::no;  // "samecoding" was given
    int16 nsamecoding = -1;                            // samecoding groups, -1 none
    controlboolean convliqcb = controlboolean::no;     // "convliq" was given
    int16 nconvliqrows = -1;                           // "convliq" rows, -1 none
    int16 nconvliqcols = -1;                           // "convliq" columns, -1 none
    std::string buffername;                            // "buffer": the buffer phase
    real bufferdel = 0;                                // "buffer": its shift, log10 units
    Fixed1<int16, 3> rgb{{{-1, -1, -1}}};              // "rgb": line colour 0..255, -1 not given
    controlboolean isrcb = controlboolean::no;         // "isr" was given
    int16 nisr = -1;   // "isr": -2 end-member list read, then the reactions
    int16 nisrem = 0;  // "isr": end-members of the list
};

// Batches of calculations, their filters and the Monte Carlo lines.
struct BatchSettings {
    controlboolean batchcb = controlboolean::no;  // "batch" was given
    int16 nbatch = -1;                            // "batch" blocks, -1 none
    int16 nbatchswitch = 0;                       // "batchswitch" entries
    int16 nbatchreq = -1;                         // "batchreq" lines, -1 none
    int16 nbxyz = 0;                              // "batchxyzguess" blocks
    int16 nfiltersets = -1;                       // "filter" sets, -1 none
    bool filtersgiven = false;                    // some "filter" was written
    controlboolean mccb = controlboolean::no;     // "mc" was given
    int16 nmc = -1;                               // "mc" lines, -1 none
    int16 nmcrange = -1;                          // "mcrange" lines, -1 none
    int16 nmcfunc = -1;                           // "mcfunc" lines, -1 none
    real mctrials = 1;                            // "mcit": Monte Carlo trials
    int16 mcitcount = 1;                          // "mcit": its second integer
    int16 nmcbulk = -1;                           // "mcbulk" compositions, -1 none
    bool gaussmcon = false;                       // "gaussmc": normal rather than uniform draws
    controlboolean fractionationcb = controlboolean::no;  // "fractionation" (ends the run)
};

// The analysis conversion of "convert".
struct ConversionSettings {
    int16 nwtmin = -1;        // minerals started; -1 (or 0) none
    int16 bulkconvflag = -1;  // the convert count: 1 once a bulk or mineral start line is read
    int16 nbulkconvox = 0;    // oxides of the bulk analysis
    valwords bulkconvox{};    // their names
    int16 nbulkconvwt = 0;    // amounts of the bulk analysis ("wt2mole"); 0 no bulk analysis
    valreals bulkconvwt{};    // wt%
    int16 nmin = 0;           // minerals of the rock in `tables->minerals`
};

// Every setting of a run's script, grouped by keyword family; the groups are bases so that a
// routine can take only the group it reads.
struct ScriptSettings : ScriptFileSettings,
                        SwitchSettings,
                        RunSetupSettings,
                        SystemSettings,
                        PhaseDiagramSettings,
                        BatchSettings,
                        ConversionSettings {
    std::unique_ptr<ScriptTables> tables = std::make_unique<ScriptTables>();
};

}  // namespace qv
