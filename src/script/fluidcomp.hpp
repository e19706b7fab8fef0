#pragma once
// The fluid composition of a calculation: x(CO2) and x(H2O) when the fluid is a phase, fixed
// a(CO2) and a(H2O) when there is no fluid phase or only cordierite carries the volatiles.

#include <string>

#include "base/real.hpp"
#include "script/settings.hpp"
#include "textio/session.hpp"

namespace qv {

// Which volatile end-members the run has, and the composition being set.
struct FluidComposition {
    bool h2o = false;  // an H2O end-member is in the run
    bool co2 = false;  // a CO2 end-member is in the run
    bool crd = false;  // cordierite (crd or fcrd) is in the run
    ftype& runftype;
    real& xco2cur;  // x(CO2), or a(CO2) without a fluid phase
    real& xh2ocur;  // x(H2O), or a(H2O)
};

// Takes the fluid composition from the script ("setfluid") or asks for it, checks and reports it.
void promptfluid(Session& ses, ScriptSettings& s, FluidComposition& f);
// Appends the fluid composition to the heading `line` of a table.
void fluidlabel(ftype runftype, real xco2cur, real xh2ocur, std::string& line);

}  // namespace qv
