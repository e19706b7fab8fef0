#pragma once
// Weighted least squares of one average pressure (at a fixed T) or one average temperature (at
// a fixed P) of a rock: each reaction of the independent set gives its own P or T, and the
// average is their generalised least-squares mean under the full covariance of those values
// from the dataset enthalpy covariance and the ln a uncertainties. At the middle value of the
// run's list the same fit is done in whitened form, which adds the per-datum diagnostics.

#include <string_view>

#include "rock/rockdata.hpp"

namespace qv {

inline constexpr int maxdatum = 2 * maxem;  // enthalpy and ln a data of the used end-members

using datumvector = Fixed1<real, maxdatum>;

// One average: kbar under avpmode, K under avtmode. av = 0, sd = 0, sigfit = 100 means no result.
struct AvResult {
    real av = 0;
    real sd = 0;
    real sigfit = 100;
};

// The whitened form of the fit: data 1..m are the enthalpies of the used end-members, data
// m+1..2m their ln a.
struct AvWhitened {
    real av = 0;
    real sd = 0;
    real sigfit = 0;
    real rss = 0;  // weighted sum of squares of the residuals
    real saa = 0;  // 1/sd^2 before scaling by the fit
    int16 m = 0;   // used end-members: those in some reaction
    Fixed1<int16, maxem> used{};
    datumvector a{};      // whitened design of the average
    datumvector g{};      // gain of the average on each datum
    datumvector hat{};    // leverage of each datum in the one-parameter fit
    datumvector h{};      // leverage of each datum in the reactions' design
    datumvector estar{};  // residual of each datum, in units of its uncertainty
};

// The average of a whitened fit with the uncertainty of one ln a datum doubled.
struct AvDoubled {
    real av = 0;
    real sd = 0;
    real sigfit = 0;
};

// The 95% limit of sigfit for f degrees of freedom.
real sigfitlimit(int f);
// Square root that takes a radicand below 0 (lost to rounding) as 0.
real sqrtclamped(real x);

// Covariance of the reactions' enthalpies (kJ^2) and of their ln K; with `justrelu` every
// enthalpy entry is 0.001.
void calcreactioncov(const RockData& d, bool justrelu, covmatrix& covh, covmatrix& covlnk);
// Inverse of a symmetric positive-definite matrix of order n by its Cholesky factor; a pivot of
// 0 or less stops the run.
void posdefinvert(const covmatrix& a, covmatrix& ainv, int16 n);

// The average at the fixed T (K, avpmode) or P (kbar, avtmode) `xfix` for the fluid u = x(CO2),
// v = x(H2O). Unless `quiet`, at the diagnostics value of the list it writes the diagnostics.
AvResult avportlsq(RockCalc& rc, bool quiet, real xfix, real u, real v);

// The whitened design of a fit, left in rc.work as its singular value decomposition: one column
// per reaction, rows 1..m the enthalpies and rows m+1..2m the ln a of the used end-members (those
// in some reaction, listed in `used`). wh scales a reaction's enthalpy term (per kJ), wlna its
// ln a terms. Returns m.
int16 whiteneddesign(RockCalc& rc, const reacvector& wh, const reacvector& wlna,
                     Fixed1<int16, maxem>& used);
// The whitened fit of the values `x` (kbar or K) of the reactions with sensitivities wH (per kJ
// of reaction enthalpy) and wK (per unit of ln K).
void avlsqwhitened(RockCalc& rc, const reacvector& x, const reacvector& wh, const reacvector& wk,
                   AvWhitened& f);
// The fit `f` of `nreac` reactions with the uncertainty on ln a of used end-member `s` doubled.
AvDoubled avdoubled(const AvWhitened& f, int16 s, int16 nreac);
// Writes the diagnostics table of a whitened fit at the fixed T (K) or P (kbar) `xfix`.
void printavdiagnostics(RockCalc& rc, const AvWhitened& f, real xfix);

}  // namespace qv
