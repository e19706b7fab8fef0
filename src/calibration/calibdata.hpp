#pragma once
// The state of a dataset calibration: its preferences, its own end-member table, the
// calorimetry and the experiments read for it, and the weighted least-squares problem whose
// unknowns are the end-member enthalpies of formation.

#include <array>
#include <string>
#include <vector>

#include "base/fixed.hpp"
#include "base/list1.hpp"
#include "base/real.hpp"
#include "base/runkinds.hpp"
#include "model/phases.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {

struct Run;

inline constexpr int maxntp = 320;     // end-members of the calibration's end-member file
inline constexpr int maxnexp = 1200;   // rows of the least-squares problem and experiment records
inline constexpr int maxnb = 270;      // brackets (experimental runs) of one experiment
inline constexpr int maxnoxcal = 200;  // oxide-calorimetry data
inline constexpr int maxlist = 15;     // members of a reaction, entries of an end-member list
inline constexpr int maxformula = 8;   // element-amount pairs of a formula
inline constexpr int maxxpss = 4;      // solution phases of one experiment

// The calibration preferences ("ds-prefs.txt").
struct CalibPrefs {
    std::string qvdssuffix;  // names of the run files and of the written dataset
    std::string xpsuffix;    // experimental data file "ds-xp" + suffix + ".txt"
    std::string emsuffix;    // end-member file "ds-em" + suffix + ".txt"
    std::string axsuffix;    // a-x file "ds-ax" + suffix + ".txt"
    int16 infolevel = 1;     // amount of listing while reading and assembling (at most 3)
    controlboolean useqr = controlboolean::yes;
    controlboolean mark456 = controlboolean::no;
    controlboolean printomit = controlboolean::yes;
    controlboolean userfac = controlboolean::yes;
    controlboolean tighten = controlboolean::no;
};

// One end-member of the calibration dataset; energies in kJ, entropies in kJ/K, volumes in
// kJ/kbar.
struct tdrec {
    std::string name;
    std::string label;
    int16 nsite = 0;
    int16 nel = 0;
    Fixed1<int16, maxformula> formulael{};  // element numbers, 1..nel
    Fixed1<real, maxformula> formulaamt{};  // amounts, 1..nel
    real natoms = 0;
    int16 tdcode = 0;  // 1, 4 Landau; 2, 5 Bragg-Williams; 7 melt; 8 one value; 6 no volume
    real H = 0, S = 0, V = 0;
    real cpa = 0, cpb = 0, cpc = 0, cpd = 0;
    real a0 = 0, K0 = 0, K0p = 0, K0pp = 0;
    real theta = 0;
    real kmelt = 0;
    real cpalt1 = 0, cpalt2 = 0;
    real Smax = -1, Vmax = -1, tcrit = 0;
    real od1 = 0, od2 = 0, od3 = 0, od4 = 0, odf = 1;
    int16 odn = 0;
    real type8value = 0;
    real tdxco2 = 0;                    // x(CO2) at which a fluid end-member is evaluated
    Fixed1<std::string, 8> linetext{};  // remarks of the data lines
    real sdH = 0;
    real hcal = 0, hcalsd = 0;  // direct calorimetry
    int16 calrow = 0;           // its row in the least-squares problem (0: none)
    real layout5code = 0;
    real sdS = 0;
    real H0 = 0, sdH0 = 0;  // H and sd(H) as read from an old-layout file
};

// An oxide-calorimetry datum: a reaction among end-members with its measured enthalpy.
struct oxcalrec {
    bool use = false;
    int16 n = 0;
    Fixed1<int16, maxlist> coef{};
    Fixed1<int16, maxlist> ix{};
    real hmeas = 0, sdmeas = 0, tmeas = 0;  // kJ, kJ, K
    real h298 = 0;                          // the enthalpy brought to 298.15 K
    real hcalc = 0;                         // calculated from the fitted enthalpies
};

// One experimental run (bracket) of an experiment.
struct brrec {
    Fixed1<real, maxlist> xyz{};  // compositions of the experiment's phases
    Fixed1<real, maxlist> bra{};  // activity of each list entry
    bool tbracket = false, pbracket = false, abracket = false;
    bool direction = false;          // bracket code 1
    real brP = 0, brT = 0, brx = 0;  // kbar, K, x(CO2)
    real brlnk = 0;                  // sum of coefficient x ln a
    real brh = 0;                    // reaction enthalpy that puts the run on equilibrium, kJ
    real brsig2 = 0;                 // two standard deviations of brh
    real brtcalc = 0, brtcalcsd = 0, brpcalc = 0, brpcalcsd = 0;
};

// One reaction of one experiment.
struct xprec {
    bool use = false;
    int16 xprow = 0;
    bool hasphases = false, unknowncomps = false, xyzfromax = false, show = false;
    bool reversed = false;
    bool ingroup = false;
    int16 nreacs = 1, reacno = 1;
    int16 xpkind = -1;  // 1 univariant, 2 divariant, -1 neither
    int16 nmembers = 0;
    Fixed1<int16, maxlist> memberix{};
    Fixed1<int16, maxlist> coef{};
    Fixed1<int16, maxlist> memberpos{};
    int16 nlist = 0;
    Fixed1<std::string, maxlist> listnames{};
    Fixed1<real, maxlist> lista{};
    Fixed1<int16, maxlist> listix{};
    Fixed1<int16, maxlist> listphase{};
    Fixed1<int16, maxlist> listem{};
    real weight = 1;
    std::string reactext, reftext;
    bool nofluid = true, crdflag = false;
    int16 nbr = 0;
    List1<brrec, maxnb> br;  // brackets 1..nbr
    real dhcalc = 0, dhcalcsd = 0;
    real hlow = 0, hhigh = 0, sigbar = 0, gap = 0, gapfirst = 0, gapused = 0;
    real minslope = 0, slopeweight = 0, sdh = 0;
    int16 brclass = 0;
    bool onesided = false;  // the runs give only a lower or only an upper bound: no row
};

// Positions of the special end-members in a list (0 when absent).
struct SpecialPositions {
    int16 posH2O = 0, poscrd = 0, posCO2 = 0, posfcrd = 0, posO2 = 0, posS2 = 0;
};

// The whole calibration.
struct Calibration {
    CalibPrefs prefs;

    // The end-member file.
    int16 dsmode = 0;
    int16 ntp = 0;
    Fixed1<tdrec, maxntp> tda;
    List1<std::string, maxss> xpphasenames;  // phase names, four reserved slots first
    // The a-x file has been read: calibration phase p (from maxxpss + 1 on) is the run's phase
    // record p; records 1 to maxxpss are the working slots of the experiment being calculated.
    bool axread = false;

    // Calorimetry and experiments.
    int16 noxcal = 0;
    Fixed1<oxcalrec, maxnoxcal> oxcal;
    int16 nexp = 0;
    Fixed1<xprec, maxnexp> xp;
    int16 ncalrows = 0, noxrows = 0, nobsread = 0;

    // The least-squares problem: row r says sum_j x[r][j] H_j = y[r] with sd sdy[r].
    int16 nobs = 0;
    Fixed1<real, maxnexp> y{};
    Fixed1<real, maxnexp> sdy{};
    Fixed1<real, maxnexp> yy{};
    Fixed1<real, maxnexp> theta{};
    Fixed1<real, maxnexp> hat{};
    Fixed1<Fixed1<real, maxntp>, maxnexp> xx{};  // weighted design, then the covariance of theta
    Fixed1<Fixed1<int16, maxntp>, maxnexp> x{};  // integer coefficients
    Fixed1<Fixed1<char, maxntp>, maxnexp> b{};   // end-member takes part in the row
    real sigfit2 = 0;
    int16 lsqiter = 0;

    // Run-wide state.
    bool writingresults = false;
    int16 curxp = 0;
    bool xpcrdflag = false;
    int16 notconvcount = 0;
    std::string xpnamestext;
    SpecialPositions special;

    // Clears the design: all 1200 rows and 320 columns zero or false.
    void allocate() {
        xx.fill({});
        x.fill({});
        b.fill({});
    }
};

}  // namespace qv
