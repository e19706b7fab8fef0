#pragma once
// The passes of one rock calculation: the type of average, the activity table and its editing,
// the fluid, the windows, the independent set of reactions (generated, or from the script's
// "isr" block, checked), the "isr" block for rereading, and the calculation.

#include "rock/rockdata.hpp"
#include "script/settings.hpp"

namespace qv {

// The run's data that the passes read and change, as views of where the run keeps them.
struct RockRunData {
    int16& nem;
    strings& emnames;
    emvector& activity;
    emvector& sdactivity;
    emvector& emvarlna;
    int16& ncomp;
    icmatrix& c;  // component x end-member integer compositions
    emmatrix& cov;
    rmatrix& r;
    int16& nreac;
    reacvector& rxnlna;
    bool& incompleteset;
    iemvector& excludedems;  // numbers of the end-members left out of the reactions
    int16& nexcludedems;
    int16& nss;
    int16& npure;
    int16& h2oem;  // set by `setspecialphases`
    int16& co2em;
    real& xco2cur;
    real& xh2ocur;
    ftype& runftype;
    real& pcur;  // kbar
    real& tcur;  // K
};

// The run set-up services the passes call besides the reaction calculations.
class RockRunHooks : public RockReactions {
public:
    // Numbers of the special end-members (H2O, CO2, ...).
    virtual void setspecialphases() = 0;
    // Default activity uncertainties where they are larger than the given ones.
    virtual void setdefaultsda() = 0;
    // The fluid composition of the calculation, from the script or asked.
    virtual void promptfluid() = 0;
    // The fluid label of result headings.
    virtual std::string fluidlabel() = 0;
    // The independent set of reactions among the end-members not excluded, keeping reactions
    // in the window whose sd(P) (sd(T) for average T) is at most `maxsdallowed`.
    virtual void calcre(avtype kind, real maxsdallowed) = 0;
};

// Runs passes on the rock until no more are wanted.
void rockpasses(Session& ses, ScriptSettings& s, Windows& w, RockRunData& d, RockRunHooks& hooks,
                SvdArrays& work);

}  // namespace qv
