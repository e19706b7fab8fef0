#pragma once
// duDA+: the pressure (avP+), the temperature (avT+) or both (duDA+) at which the compositions
// of a rock's minerals agree best with those a phase diagram run calculated for the same
// assemblage. Every compositional variable (xyz) of the stored calculations ("calcs") is fitted
// by a polynomial in P and T; for each calc a weighted least-squares P-T of the rock follows, and
// the P-T where the calc's own P-T and the rock's least-squares P-T cross is found by bracketing
// and interval halving. Monte Carlo trials on the rock's xyz and the model's constants give 95%
// confidence intervals.

#include <memory>
#include <string>
#include <vector>

#include "base/families.hpp"
#include "numerics/poly.hpp"
#include "numerics/random.hpp"
#include "numerics/svd.hpp"
#include "script/records.hpp"
#include "script/windows.hpp"
#include "solver/storedcalcs.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int32 dudacsvchannel = 7;       // channel number of the csv file
inline constexpr uint32_t qvseed = 1731830508U;  // seed of every duDA+ Monte Carlo
inline constexpr int maxmcresults = 5000;        // kept Monte Carlo results per coordinate

// The settings of the script's duDA+ block.
struct DudaSettings {
    int16 avptinfo = 1;       // "info": 0 quiet, 1 fit and iteration reports
    int16 avptcalc = 1;       // "calc": 1 duDA+, 2 avP+, 3 avT+
    int16 avptalgorithm = 1;  // "algorithm": 1 bruteforce, 2 best, 3 approx (4 median covariance)
    real avptpguess = 0;      // "PTguess": kbar
    real avpttguess = 0;      // "PTguess": degrees C
    real avptfixedt = 0;      // T of avP+, degrees C
    real avptfixedp = 0;      // P of avT+, kbar
    bool avptxco2 = false;    // "with x(CO2)": the calcs were made at several x(CO2)
    std::string avptrockname = "my rock";
    real ptguessp = -101;  // the run's "ptguess" pressure, kbar
};

// What the nominal solution found: P (kbar), T (degrees C) and its sigfit.
struct DudaNominal {
    bool converged = false;
    real p = 0;
    real t = 0;
    real sigfit = 0;
};

// What the phase diagram run hands to duDA+, and the nominal solution it gets back.
struct DudaInputs {
    StoredCalcs& calcs;  // may be reordered or replaced when x(CO2) varies
    DudaSettings set;
    const Windows& win;  // calcP/calcT windows (T in K) and the overall window
    const mineraltable& minerals;
    int16 nmin = 0;
    std::vector<std::string> phasenames;  // solution phases, then pure phases
    std::vector<real> xco2values;         // the script's "xco2values" list, in order
    DudaNominal nominal;                  // written by the driver
};

using calcreals = Fixed1<real, maxqvcalcs>;
using mcreals = Fixed1<real, maxmcresults>;
using xyz2vector = Fixed1<real, 2 * maxxyz>;

// The state of one duDA+ calculation, shared by the driver and its procedures.
struct DudaState {
    DudaState(Session& s, DudaInputs& i) : ses(s), in(i) {}
    Session& ses;
    DudaInputs& in;

    // The mode: avP+, avT+; neither is duDA+.
    bool avpplus = false;
    bool avtplus = false;
    bool onep = false;  // every calc at the P of calc 1
    bool onet = false;  // every calc at the T of calc 1
    Fixed1<bool, maxxyz> constflags{};
    real pmin = 200, pmax = 0, tmin = 2000, tmax = 0;  // range of the calcs, kbar and C

    // The polynomials: row j of polycoeffs holds variable j's coefficients.
    PolyFit fit;
    polyvector pexps{}, texps{};
    Fixed1<polyvector, maxxyz> polycoeffs{};
    polyvector coeffvec{};
    xyzvector polyconst{};
    polyvector xco2coeffs{};

    // The rock and the covariance of the calculated xyz in use.
    xyzvector rockxyz{};
    covmatrix rockcov{};
    xyzvector rocksd{};
    covmatrix qvcov{};
    xyzvector qvsd{};
    covmatrix rockwhiten{}, qvwhiten{};
    covmatrix rockchol{}, qvchol{};

    // What the last least-squares solution left.
    xyz2vector xyzpair{}, xyzadj{}, estar{};
    xyzvector adjsd{};

    // Results.
    real pmid = 0, tmid = 0, sigfitnom = 0;
    real trialp = 0, trialt = 0, trialsigfit = 0;
    real ufac = 1;
    std::unique_ptr<mcreals> mcp = std::make_unique<mcreals>();
    std::unique_ptr<mcreals> mct = std::make_unique<mcreals>();
    int16 ntried = 0, ngood = 0, nmcresults = 0, mccount = 0;
    int16 failcode = 0;
    Fixed1<int16, 4> nfail{};
    int16 noutside = 0, wrongdeltcount = 0;
    bool converged = false, lotsoffails = false;

    // Working storage of the crossover search.
    std::unique_ptr<calcreals> delp = std::make_unique<calcreals>();
    std::unique_ptr<calcreals> delt = std::make_unique<calcreals>();
    std::unique_ptr<calcreals> sigfits = std::make_unique<calcreals>();
    std::unique_ptr<calcreals> delp2 = std::make_unique<calcreals>();
    std::unique_ptr<calcreals> delt2 = std::make_unique<calcreals>();
    std::unique_ptr<calcreals> sigfits2 = std::make_unique<calcreals>();
    real ihstep = 0;
    real tscale = 1;
    real lastsdfit = 0;  // sqrt(1/N) of the last avP+/avT+ step

    std::unique_ptr<SvdArrays> svdwork = std::make_unique<SvdArrays>();
    MtRandom gen{qvseed};

    int16 n() const { return in.calcs.ncalcxyz; }
    int16 nqv() const { return in.calcs.nqv; }
    const qvcalctype& calc(int k) const { return (*in.calcs.qvcalcs)[k]; }
};

// The whole duDA+ calculation, after the last calc of a phase diagram run. Returns after the csv
// output of the Monte Carlo stage; the brute-force algorithm ends the run (normally, exit code
// 0) after its table. Stops the run: "too few calcs, nqv = " (procedure "avptplus driver"),
// "onep/onet mess", "cannot do duDA+ with calcs at just one P or T", "bung assembly of rockVxyz"
// ("avptplusdriver"), "nqv too small" ("duda+ driver"), "PTguess inappropriate for duDA+".
void avptplusdriver(Session& ses, DudaInputs& in);

// The stages of the driver, for the driver and for tests.
void dudachecks(DudaState& d);          // steps 1 to 9: calcs, mode, range
void dudafit(DudaState& d);             // polynomial fits and the e* table
void dudarock(DudaState& d);            // the rock's xyz, covariance and whitening
void dudanominal(DudaState& d);         // heading, nominal solution, result, diagnostics
void dudamontecarlo(DudaState& d);      // Monte Carlo runs and the csv output
void withxco2preprocess(DudaState& d);  // calcs made at several x(CO2)

// One least-squares solution (Part of every search): from the start (p, t), the P and/or T at
// which the rock's xyz and the polynomial model agree best; false (p, t as 0) when it left the
// overall window or did not converge in 60 iterations. calcno > 0 first loads that calc's
// covariance of the calculated xyz.
bool avptiterate(DudaState& d, const xyzvector& x, const xyzvector& c, int16 calcno, real& p,
                 real& t, real& sigfit, bool print);
void calccovariance(DudaState& d, int16 k);
void mediancov(DudaState& d);
void avptweights(DudaState& d, int16 k);
// Inverse square root V diag(w^-1/2) U^T of a covariance of order n.
void whiten(DudaState& d, const covmatrix& cov, covmatrix& w, int16 n);

// The crossover search and the brute-force scan.
bool avptplusx(DudaState& d, const xyzvector& x, const xyzvector& c, real& p, real& t, real& sigfit,
               int16& failcode, bool print);
void findblock(const DudaState& d, int16 n, int16& first, int16& last);
void avptbruteforce(DudaState& d, const xyzvector& x, const xyzvector& c);

// Result line, window check, tally, confidence intervals and diagnostics.
void printavptplus(DudaState& d, bool ok);
bool avptpluswindow(DudaState& d);
void printmctally(DudaState& d, int16 tried, int16 good);
void printavptci(DudaState& d, bool full);
real ufacunscalep(const DudaState& d, real x);
real ufacunscalet(const DudaState& d, real x);
// Low and high nMAD about ctr of the sorted s[1..n]; false when a side cannot be found.
bool findnmad2(const sortvector& s, int16 n, real ctr, real& low, real& high);
void avptdiagnostics(DudaState& d);

// Fixed-form number right-justified in `width` (the console listings).
std::string fixw(real x, int width, int decimals);

}  // namespace qv
