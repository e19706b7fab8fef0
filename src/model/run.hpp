#pragma once
// One run's state: its script settings, windows, component table, the large data-model arrays
// and the counts of the data model.

#include <memory>

#include "model/datamodel.hpp"
#include "model/dataset.hpp"
#include "model/phases.hpp"
#include "model/setupoptions.hpp"
#include "model/special.hpp"
#include "script/settings.hpp"
#include "script/windows.hpp"
#include "textio/files.hpp"
#include "textio/session.hpp"

namespace qv {

// The arrays allocated once at start-up and released at the end.
struct GlobalArrays {
    std::unique_ptr<icmatrix> c;
    std::unique_ptr<emmatrix> cov;
    std::unique_ptr<rmatrix> r;
    std::unique_ptr<prectype0> prec0;
    std::unique_ptr<prectype1> prec1;
    std::unique_ptr<tdmatrix> td;
    std::unique_ptr<dcompdxtype> compdx;
};

struct Run {
    RunFiles files;      // the script file of the run
    SetupOptions setup;  // what the run's calculation decides below its driver
    ScriptSettings script;
    Windows windows;
    ComponentTable comps;
    Dataset dataset;
    GlobalArrays arrays;
    AxState ax;  // the a-x file and what its reading leaves besides the phase records

    int16 nphread = 0;  // phases read from the a-x file
    int16 npure = 0;    // pure phases
    int16 nss = 0;      // solution phases
    int16 nreac = 0;    // reactions
    int16 nxvars = 0;   // variables of the equilibrium equations
    int16 nmodevars = 0;
    int16 variance = 1;
    real xco2cur = 0;                // x(CO2) of the current calculation
    real xh2ocur = 0;                // x(H2O) of the current calculation
    ftype runftype = ftype::notset;  // fluid type of the run
    SpecialEms special;              // H2O, CO2 and the other end-members treated by name
    ExcessPhases excess;             // phases in excess of a phase diagram run
    SdaParams sda;                   // default uncertainties of activities
    Fixed1<bool, maxcomp> compkept;  // components kept by the bulk composition and projection
    std::string dashmark = "-";
    diagramtype diagrammode = diagramtype::ptcalc;  // the axes of the run's phase diagram
};

// Allocates the global arrays (reported under "monitorheap") and sets the initial values.
void initglobals(Session& ses, Run& run);
// Releases the global arrays in their order of release.
void freeglobals(Session& ses, Run& run);

}  // namespace qv
