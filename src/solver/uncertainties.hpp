#pragma once
// Uncertainties of a solved equilibrium: the dataset covariance of the end-member enthalpies
// (widened by the DQF kind of each solution end-member), an sd on every interaction energy W of
// the a-x models and, with modes, the uncertainty of the bulk composition, propagated through
// the derivatives of the solution to P, T, the composition variables and the modes; the block
// of these numbers for the second csv file and the statement of the sources used.

#include <string>
#include <vector>

#include "model/crossrefs.hpp"
#include "model/phases.hpp"
#include "solver/deqdx.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr real sdmarker = -10;  // in place of the sd of a variance of at most 1e-14

using bulkmatrix = Fixed1<cvector, maxcomp>;  // covariance of the bulk log ratios

// What the propagation reads besides the solution and its derivatives.
struct SdInputs {
    const NleVariables& v;
    const SolutionDerivatives& d;
    const BulkRatios& bulk;
    const bulkmatrix& covbp;  // b' = ln(b_i / b_ref), components other than the reference
    const rmatrix& r;         // reactions 1..nreac over end-members 1..nem
    int16 nreac = 0;
    const emmatrix& cov;  // enthalpy covariance in the calculation's end-member order
    int16 nem = 0;
    const prectype1& prec1;  // W terms, sizes, proportions and DQF of the solution phases
    const CrossRefs& xref;   // first end-member, phase and variable position of each phase
    int16 neqns = 0;         // equations and jacobian columns of the last evaluation
    int16 njaccols = 0;
};

// Results, indexed by the position of the solver variable (1..n). Without modes position i is
// solver variable i; with modes the reference mode has no position and the later modes move up
// one.
struct Uncertainties {
    int16 n = 0;
    eqmatrix covx;
    eqvector sdx;   // total sd
    eqvector sdxh;  // from the dataset alone
    eqvector sdxw;  // from the non-ideality alone
    eqvector sdxb;  // from the bulk composition alone (0 without modes)
    real ptcorr = 0;
    bool valid = false;  // false: nothing propagated, every free sd holds the marker
};

// sd (kJ) of an interaction energy W (kJ): 10 % of its size, at least 1 kJ.
real wsd(real w);
// Variance (kJ^2) added to an end-member's enthalpy by its DQF kind and constant part a (kJ).
// Stops the run: "dqf unclassified" (a plain DQF), "dqfubar" (an unknown kind).
real dqfvariance(int16 kind, real a);

// Solver variable (1..nxvars + nmodevars) of position i.
int16 positionvar(const NleVariables& v, bool modeson, int16 dropmode, int16 i);

// Covariance of the chemical potentials of the calculation's end-members from the sds of the W
// terms of its solution phases at the natural solver values x, p (kbar) and t (K).
void nonidealcov(const SdInputs& in, const eqvector& x, real p, real t, emmatrix& cw);

// Propagates the three sources to the solver variables. Writes the P-T correlation on the
// console when both are solved for. Without a reference mode (derivatives not valid) writes a
// line to the log and leaves the marker as every free sd. Stops the run: "jrow <> jcol",
// "dqf unclassified", "dqfubar".
void calcsd(Session& ses, const SdInputs& in, Uncertainties& u);

// sds of the phases of the calculation: for the k-th solution phase with composition
// variables (in the order of its first end-members) the sd of each variable, and the sd of
// each mode (by mode number). The reference mode of the log ratios has the marker.
struct PhaseSds {
    int16 nss = 0;
    Fixed1<Fixed1<real, maxssvars>, maxeq> varsd;
    Fixed1<real, maxeq> modesd;
};
void phasesds(const SdInputs& in, const Uncertainties& u, PhaseSds& ps);

// What the block of the second csv file shows besides the results.
struct SdInfo {
    const NleVariables& v;
    const BulkRatios& bulk;
    const scvector& sysnames;  // names of the system components
    const cvector& sdbp;       // sds of the bulk log ratios, 1..nsyscomp - 1
    int16 dropmode = 0;
    bool c8 = false;                  // script "c8": zero amounts allowed
    std::vector<std::string> phases;  // solution phases then pure phases of the assemblage
};
// The block as text. Stops the run: "log of zero or negative mode".
std::string sdinfotext(const SdInfo& info, const Uncertainties& u);
// Writes the block to the second csv file and marks it written.
void printsdinfo(Session& ses, const SdInfo& info, const Uncertainties& u);
// The sources of the uncertainties on screen, summary and log.
void printsdspec(Session& ses, bool modeson);

}  // namespace qv
