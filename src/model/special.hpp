#pragma once
// End-members that calculations treat by name (the fluid end-members H2O and CO2, the
// cordierites, aqueous silica, the ln a and mu end-members of a section), the phases held in
// excess, and the parameters of default activity uncertainties of a run.

#include <string>
#include <string_view>

#include "model/datamodel.hpp"
#include "textio/words.hpp"

namespace qv {

struct Run;

// Run end-member numbers of the special end-members; 0 when not in the run.
struct SpecialEms {
    int16 h2oem = 0;
    int16 co2em = 0;
    int16 aqsiem = 0;
    int16 crdem = 0;
    int16 fcrdem = 0;
    int16 lnaem = 0;  // end-member whose log activity is the section variable
    int16 muem = 0;   // pseudo end-member of the chemical-potential section variable
    // End-members a rock calculation leaves out; `findemno` does not see them.
    iemvector excludedems;
    int16 nexcludedems = 0;
    bool foundflag = false;  // the name looked up last is in the list (excluded or not)
    // The reaction-diagram projection through the end-members in excess.
    int16 nexcessem = 0;
    real lnarefvalue = 0;  // S of the log-a end-member, kJ/K
    std::string lnalabel;  // label of the log-a variable in the diagram's output
};

inline constexpr int maxrunphases = 400;  // phases of a phase diagram run, every index

// Phases of a phase diagram run (solution phases first) held in excess, in excess with zero
// amount, taking part in isopleths, and present in every candidate equilibrium.
struct ExcessPhases {
    Fixed1<bool, maxrunphases> excessflag{};
    Fixed1<bool, maxrunphases> zeroexcessflag{};
    Fixed1<bool, maxrunphases> isophaseflag{};
    Fixed1<bool, maxrunphases> mustflag{};
    int16 nexcess = 0;
    int16 nzeroexcess = 0;
    int16 nisophases = 0;
    int16 nmust = 0;
    Fixed1<real, 6> lnaref{};  // S of the phase of each ln a variable, kJ/K
};

// Default uncertainties of end-member activities: relative factor, floor and smallest relative
// uncertainty of the activity per site.
struct SdaParams {
    real sdafactor = 0.3L;
    real sdafactorcopy = 0.3L;
    real sdafloor = 0.01L;
    real sdarelmin = 0.05L;
};

// Number of `name` among the run's end-members; 0 when absent or excluded.
int16 findemno(Run& run, std::string_view name);
// Stores the numbers of H2O, CO2, aqSi, crd, fcrd and of the first ln a name of the script.
void setspecialphases(Run& run);

}  // namespace qv
