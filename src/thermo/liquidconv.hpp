#pragma once
// Two compositional summaries of a solved point printed with its results: the liquid as mol%
// of the system's oxides and as mol% and wt% of the liquid species of the script's conversion
// matrix, and the H2O and CO2 of the fluid with the rest of the assemblage in per cent of the
// marked components.

#include "model/crossrefs.hpp"
#include "model/datamodel.hpp"
#include "model/dataset.hpp"
#include "model/phases.hpp"
#include "script/records.hpp"
#include "textio/session.hpp"

namespace qv {

// Species rows by component columns, as the script's "convliq" lines give them.
using convliqmatrix = Fixed1<Fixed1<real, maxconvliqcols>, maxconvliqrows>;
using speciesvector = Fixed1<real, maxconvliqrows>;

// A solved point as the summaries read it: which phases are present (solution phases 1..nss in
// record order, then pure phases nss + 1..), the natural solver values (composition variables
// at the positions `xref.emvarpos` gives) and the mode of each phase taking a mode, in order.
struct PointPhases {
    const bemvector& present;
    const prectype1& prec1;
    int16 nss = 0;
    const prectype0& prec0;
    int16 npure = 0;
    const CrossRefs& xref;
    int16 nem = 0;  // end-members of the calculation
    const eqvector& x;
    const eqvector& modes;
    const SystemComponents& sc;
};

// The conversion of the first present liquid (short name beginning "liq") by the species rows
// of `conv` (nrows x ncols over the components): four lines on screen, summary and log, and
// the species wt% into wt. Nothing without a liquid or when ncols is not the component count.
// Stops the run: "couldn't make mol%" (after the residuals on the console), "sum of mol% = 0 2",
// "sum of mol% = 0 3".
void conv2wt(Session& ses, const PointPhases& pt, const ComponentTable& oxides,
             const convliqmatrix& conv, int16 nrows, int16 ncols, speciesvector& wt);

// The amounts of CO2 and H2O in the composition of the fluid (0 without a fluid) and two lines
// on screen, summary and log: the other phases weighted by their modes in per cent of the
// marked components (zeros when they hold none of them). Stops the run: "t=0".
void fificalc(Session& ses, const PointPhases& pt, const Fixed1<bool, maxcomp>& marked, real& xco2,
              real& xh2o);

}  // namespace qv
