#include "utilities/utilitytasks.hpp"

#include <string_view>

#include "model/axreader.hpp"
#include "model/dataset.hpp"
#include "model/emchoice.hpp"
#include "model/special.hpp"
#include "solver/lsqds.hpp"
#include "textio/channels.hpp"
#include "textio/fatal.hpp"
#include "utilities/analyses.hpp"

namespace qv {
namespace {

void notbuilt(Session& ses, std::string_view what) {
    putstr(ses, 1, "calcmode 0: " + std::string(what) + " not built yet", 1, 9);
}

// The set-up every table and conversion utility shares: the dataset's header, the phases of
// the a-x file, the run's phases and end-members, and the special end-members.
void utilitysetup(Session& ses, Run& run) {
    readthermo(ses, run, 1);
    setupphases(ses, run);
    extractem(ses, run, extractem_steps());
    setspecialphases(run);
}

}  // namespace

void conversions(Session& ses, Run& run) {
    if (run.script.bulkconvflag < 1) bomb("conversions", "no converting to be done?", yourfault);
    utilitysetup(ses, run);
    bulkcalc(ses, run);
    mineralcalc(ses, run);
}

void tabledriver(Session& ses, Run& /*run*/) {
    notbuilt(ses, "the thermodynamic tables are");
}

void acalc(Session& ses, Run& /*run*/) {
    notbuilt(ses, "activities from mu are");
}

void domakelist(Session& ses, Run& /*run*/) {
    notbuilt(ses, "the end-member list is");
}

}  // namespace qv
