#pragma once
// Phase records: the pure phases (one end-member, a fixed-activity species or a buffer) and the
// solution phases (end-members mixed through an activity-composition model) of the a-x file.
// In every combined phase numbering the solution phases come first: phase k is solution phase k
// for k up to nss, then pure phase k - nss.

#include <string>

#include "model/datamodel.hpp"
#include "model/expressions.hpp"
#include "script/records.hpp"
#include "textio/infile.hpp"

namespace qv {

inline constexpr int maxssem = 15;    // end-members of a solution phase
inline constexpr int maxsf = 30;      // site fractions of a solution phase
inline constexpr int maxw = 105;      // interaction pairs of 15 end-members
inline constexpr int maxverb = 100;   // verbatim lines of a phase, the two "#" marks included
inline constexpr int maxalso = 6;     // phases coded the same way
inline constexpr int maxmake = 6;     // dataset end-members combined into a made end-member
inline constexpr int maxtmf = 15;     // site-fraction factors of an ideal-mixing activity
inline constexpr int maxvarlim = 22;  // linear factors carried into the variable limits

// Mixing model of a solution phase: ideal, symmetric formalism, van Laar.
enum class axtype { ideal = 0, symmetric = 1, vanlaar = 2 };

// Kind of a variable bound: a window limit (P, T), a composition variable's own range, a mode
// bound, a chemical-potential limit, or a bound the solver may approach but never reach (a
// site fraction going to 0).
enum class acctype { windowlimit, xaccessible, paccessible, mulimit, inaccessible };

// Order state taken by a constituent of a made end-member.
enum class makeactiontype {
    equilibrium = 0,
    disordered = 1,
    ordered = 2,
    notrelevant = 3,
    notspecified = 4
};

using makestype = Fixed1<std::string, maxmake>;
using makeitype = Fixed1<int16, maxmake>;
using makeatype = Fixed1<makeactiontype, maxmake>;

// A table of n entries that all start at v.
template <class T, int N>
Fixed1<T, N> filledwith(const T& v) {
    Fixed1<T, N> a;
    a.fill(v);
    return a;
}

// A pure phase.
struct ptype0 {
    std::string name;
    std::string name2;
    bool flag1 = false;
    std::string emname;
    bool flag2 = false;
    int16 int1 = 0;
    icvector comp;  // formula in the system components
    real real1 = 0;
    int16 dqfkind = -1;  // -1 none, 0 plain, 1 make, 2 mod, 3 od, 4 tran, 5 rcal
    real dqfa = 0;       // DQF = dqfa + dqfb T + dqfc P, kJ
    real dqfb = 0;
    real dqfc = 0;
    tdvector td;        // dataset values; 18 and 19 hold the charges of a charged compound
    real activity = 1;  // fixed activity, 0 < activity <= 1
    real puresize = 1;  // amount that normalises its composition to one unit of mode
    real activitysd = 0;
    int16 nmake = 0;    // dataset end-members made into this one; 0 none, -1 option code 6
    int16 makeden = 0;  // common denominator of makecoef
    makestype makenames;
    makeitype makecoef;
    makeatype makeaction = filledwith<makeactiontype, maxmake>(makeactiontype::notspecified);
    makeitype makeint2;
    emvector vec;
    real real2 = 0;
    real real3 = 0;
    real modeguess = -1;  // starting guess of the mode; -1 none
    bool coloured = false;
    Fixed1<int16, 3> rgb;
};

// One factor of the ideal-mixing activity: site fraction sf to the power pnum/pden.
struct tmftermtype {
    int16 sf = 0;
    int16 pnum = 0;
    int16 pden = 1;
};

// One non-ideal pair term: its number and the end-members i < j.
struct gtermtype {
    int16 term = 0;
    int16 i = 0;
    int16 j = 0;
};

// One end-member of a solution phase.
struct ssemtype {
    std::string name;
    real tmfconst = 1;  // normalisation constant of the ideal-mixing activity
    bool tmfrational = false;
    int16 ntmf = 0;
    Fixed1<tmftermtype, maxtmf> tmf;
    int16 nmake = 0;
    int16 makeden = 0;
    makestype makenames;
    makeitype makecoef;
    makeatype makeaction = filledwith<makeactiontype, maxmake>(makeactiontype::notspecified);
    makeitype makeint2;
    int16 checkden = 0;  // 0 = no check given
    // The variable values, over checkden, at which this end-member is pure.
    Fixed1<int16, maxssvars> checkcoef;
    icvector comp;
    real real1 = 0;
    real dqfa = 0;
    real dqfb = 0;
    real dqfc = 0;
    int16 dqfkind = -1;
    Fixed1<bool, 3> dqfvaried;  // a Monte Carlo step replaced DQF a, b or c
    tdvector td;
    emvector vec;
    int16 maxpower = 1;    // largest power of a site fraction in the ideal-mixing activity
    int16 fluidindex = 0;  // place in the fluid species table, fluid phase only
    real emsize = 1;       // amount that normalises its composition to one unit of mode
    bool excluded = false;
};

// Limit rows: row k, column v holds the multiplier of variable v (numerator in varlim1,
// denominator in varlim2) in one linear factor of a single-product site fraction; column nem
// holds its constant.
using varlimtype = Fixed1<Fixed1<int16, maxssvars>, maxvarlim>;

// One composition variable of a solution phase.
struct xvartype {
    std::string name;      // xyz(phase) with the short phase name
    std::string longname;  // as read, with the long phase name
    real guess = 0;
    real guesssd = 0;
    termtype num;  // a ratio variable: numerator in the names of numnames
    termtype den;  // and denominator in the names of dennames
    int16 nlast = 0;
    int16 nnum = 0;
    int16 nden = 0;
    scvector lastnames;
    scvector numnames;
    scvector dennames;
    icvector int1;
    icvector int2;
    real lower = 0;
    real upper = 1;
    real lowerread = 11;  // no "range" read leaves an empty range
    real upperread = -11;
    bool isorder = false;  // an order-disorder variable
    real scale = 1;        // 1 / (upper - lower): maps the range onto 0..1
    real offset = 0;
    real step = 0;
    acctype lowerkind = acctype::xaccessible;
    acctype upperkind = acctype::xaccessible;
    bool flag = false;
    int16 int3 = 0;
};

// A solution phase.
struct ptype1 {
    std::string name;  // short name: the long name up to its first "_"
    std::string longname;
    std::string fullname;
    bool flag1 = false;
    std::string suffix;    // the long name after its first "_"
    std::string basename;  // a samecoding copy: the phase it was copied from
    std::string baselong;
    std::string basefull;
    Fixed1<std::string, maxalso> alsoshort;
    Fixed1<std::string, maxalso> alsofirst;
    int16 nalso = 0;
    int16 coding = 0;  // 1 or 2; 0 with the old dataset layout
    real oxygens = 0;  // oxygens of the reference formula
    int16 nem = 0;
    bool flag2 = false;
    int16 int2 = 0;
    int16 nverb = 0;
    Fixed1<std::string, maxverb> verbatim;
    bool noverbatim = false;
    Fixed1<ssemtype, maxssem> em;
    axtype model = axtype::ideal;
    int16 ngterm = 0;
    Fixed1<gtermtype, maxw> gterm;
    Fixed1<termtype, maxssem> p;  // proportion of each end-member
    int16 nw = 0;                 // nem (nem - 1) / 2
    Fixed1<real, maxw> wa;        // W = wa + wb T + wc P, kJ
    Fixed1<real, maxw> wb;
    Fixed1<real, maxw> wc;
    Fixed1<std::string, maxw> wname;
    Fixed1<real, maxw> wsd;
    Fixed1<bool, maxw> wsddefault;
    // van Laar size = alphaa + alphab T + alphac P, 1 until the a-x file gives another
    Fixed1<real, maxssem> alphaa = filledwith<real, maxssem>(1);
    Fixed1<real, maxssem> alphab;
    Fixed1<real, maxssem> alphac;
    int16 nsf = 0;
    Fixed1<std::string, maxsf> sfname;
    Fixed1<termtype, maxsf> sf;
    int16 nvar = 0;  // nem - 1
    Fixed1<xvartype, maxssvars> var;
    int16 nzerovar = 0;  // variables dropped for a script starting guess of 0
    Fixed1<std::string, maxssvars> zerovar;
    int16 nvarlim = 0;
    varlimtype varlim1;
    varlimtype varlim2;
    Fixed1<bool, maxsf> sfsimple;
    bool allsfsimple = false;
    real real1 = 0;
    real real2 = 0;
    real modeguess = -1;
    bool contracted = false;
    int16 nemfull = 0;
    int16 nvarset = 0;
    Fixed1<bool, maxssem> empresent;
    Fixed1<bool, maxssvars> varnonzero;
    Fixed1<std::string, maxssvars> varsetname;
    bool hasorder = false;
    bool isfluid = false;
    bool isaq = false;
    int16 ih2o = 0;
    int16 ico2 = 0;
    bool coloured = false;
    Fixed1<int16, 3> rgb;
    bool hasguesses = false;
};

// The phase tables: a record is made when the run first writes it (see base/grow.hpp).
using prectype0 = Grow1<ptype0, maxpure>;
using prectype1 = Grow1<ptype1, maxss>;

inline constexpr int maxaxheader = 600;   // header lines of an a-x file, the two "#" included
inline constexpr int maxbuffers = 5;      // buffer phases of an a-x file
inline constexpr int maxsamegroups = 16;  // samecoding groups of script and a-x file together
inline constexpr int maxsameentries = 8;  // phases of one samecoding group
inline constexpr int nfluidspecies = 8;   // H2O CO2 CH4 CO H2 O2 H2S S2
inline constexpr int maxmcphases = 20;    // further phases of one Monte Carlo line

// A group of solution phases coded like its base phase: for each entry the full name (the
// first word), the short and the long phase name.
struct SameCodingGroup {
    int16 base = 0;  // solution phase the entries copy
    int16 n = 0;
    Fixed1<std::string, maxsameentries> first;
    Fixed1<std::string, maxsameentries> shortname;
    Fixed1<std::string, maxsameentries> longname;
};

// What one Monte Carlo line of the script varies: the kind of parameter (1 a W, 2 a van Laar
// size, 3 a DQF), its place in the phase, which of a, b, c it replaces, and the further phases
// (samecoding and batch copies) that take the same value.
struct McTarget {
    int16 kind = 0;
    int16 index = 0;
    int16 abc = 0;
    int16 nphases = 0;
    Fixed1<std::string, maxmcphases> phases;
};

// The molecular fluid species of the mixed-fluid model: critical temperature (K) and pressure
// (kbar) of each, and the symmetric pair interactions w (kJ).
struct FluidSpeciesTable {
    int16 n = 0;
    Fixed1<std::string, nfluidspecies> names;
    Fixed1<real, nfluidspecies> tcrit;
    Fixed1<real, nfluidspecies> pcrit;
    Fixed1<Fixed1<real, nfluidspecies>, nfluidspecies> w;
};

// What the a-x reading leaves besides the phase records: the open file, its header for the
// a-x information printout, the run header lines of the detailed results, buffers, samecoding
// groups (the script's first, then the a-x file's) and the fluid species table.
struct AxState {
    InFile file;
    std::string filename;
    bool open = false;
    std::string calibaxsuffix;  // a calibration reads "ds-ax" + this + ".txt"
    int16 nheader = 0;
    Fixed1<std::string, maxaxheader> header;
    Fixed1<std::string, 3> runheader;  // "... running at ...", "using ...", "with axfile ..."
    int16 nbuffers = 0;
    Fixed1<std::string, maxbuffers> buffers;
    int16 nscriptsamecoding = 0;  // groups given by the script; a-x groups follow them
    int16 nsamecoding = 0;
    Fixed1<SameCodingGroup, maxsamegroups> samecoding;
    FluidSpeciesTable fluid;
    int16 bufferindex = 0;      // the script's buffer phase among `buffers`; 0 none
    Grow1<McTarget, maxmc> mc;  // one per "mc" line of the script, made as written
};

struct Run;

// At the start of every a-x reading: every solution phase becomes "unset" with no end-members;
// outside a calibration every pure phase becomes "unset" with no end-member name, activity 1,
// sd 0 and no made end-member.
void resetphaserecords(Run& run, bool calibration);

// Starts the record of a pure phase read from the a-x file.
void startpurephase(ptype0& ph, const std::string& name);

// Starts the record of a solution phase read from the a-x file under `nameasread`, which may
// carry a "_" suffix.
void startsolutionphase(ptype1& ph, const std::string& nameasread);

// Splits a long phase name at its first "_" into the short name and the suffix. A non-empty
// `suffix` given by the caller is imposed on the long name; an empty one receives the suffix
// of the long name.
void long2shortpname(std::string& longname, std::string& shortname, std::string& suffix);

}  // namespace qv
