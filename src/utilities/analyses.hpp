#pragma once
// Mineral and rock analyses in wt% of oxides turned into what a script takes: cations per
// formula unit, the compositional variables (xyz) of a mineral's a-x model with Monte Carlo
// uncertainties and correlations, optionally after an ideal-formula fit, the rock bulk
// composition in mole% and the rock bulk information (rbi) rows.

#include "model/datamodel.hpp"
#include "model/phases.hpp"
#include "model/run.hpp"
#include "rock/mineralxyz.hpp"
#include "script/records.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int mctrials = 5000;     // Monte Carlo trials per mineral
inline constexpr int maxidealslots = 25;  // analysis slots of an ideal fit (24 unknowns)

// One recalculation of an analysis: cations per formula unit per slot and the compositional
// variables; a variable whose denominator is zero has no value and is flagged.
struct XyzResult {
    slotreals cations{};
    xyzreals xyz{};
    Fixed1<bool, maxmineralxyz> undefined{};
};

// Cations per formula unit of mineral m (on its oxygen basis) from the moles of its slots;
// with an FeO slot and an extra-oxygen slot the iron is split into ferric (on the extra slot)
// and ferrous (on the FeO slot).
slotreals oxidecations(const mineraltype& m, const slotreals& moles);

// The compositional variables of phase ph from cations per formula unit, through the slots
// bound to the element names of each variable's numerator and denominator; order variables
// are left out. Sets m's number and names of xyz.
void xyzofcations(mineraltype& m, const ptype1& ph, XyzResult& res);

// Plain recalculation of the analysis wt (wt% per slot) of mineral m: cations and xyz.
// Stops with "psum = 0" when no slot has an amount.
XyzResult recalc(mineraltype& m, const ptype1& ph, const slotreals& wt);

// The rows under an analysis' oxide names, on screen, summary and log: the wt% used, the element
// of each slot, and the cations per formula unit labelled clabel.
void writeanalysisrows(Session& ses, const mineraltype& m, const char* clabel,
                       const slotreals& cations);

// The ideal analysis: the analysis wt adjusted within the sds s of ln wt% until the formula
// unit satisfies m's constraints. Not quiet (the analysis itself): stores c(0) and sigfit in m
// and replaces wt by the fitted analysis; a fit that fails stops the run after writing the plain
// recalculation. Quiet (a Monte Carlo trial): false when the fit fails, with every xyz -1.
bool ideal(Session& ses, mineraltype& m, const ptype1& ph, slotreals& wt, const slotreals& s,
           XyzResult& res, bool quiet);

// The analysis slots of mineral m from its analysis, the binding of ph's variables to them,
// the central recalculation and the Monte Carlo sds and correlations of the xyz.
void calcxyz(Session& ses, const ComponentTable& oxides, mineraltype& m, ptype1& ph);
// The xyz block in script form, to the log; fullname is the a-x model's full phase name.
void printxyzscript(Session& ses, const mineraltype& m, const std::string& fullname);

// All mineral analyses of the script: recalculation, xyz, and the rbi rows.
void mineralcalc(Session& ses, Run& run);
// The rock analysis of the script in mole% of the system's components, as a "bulk" line.
void bulkcalc(Session& ses, Run& run);
// The rbi rows of the rock's minerals and of the pure phases, to the log.
void makerbi(Session& ses, Run& run);

}  // namespace qv
