#include "utilities/utilitytasks.hpp"

#include <string>

#include "base/fatal.hpp"
#include "model/axreader.hpp"
#include "model/dataset.hpp"
#include "model/emchoice.hpp"
#include "model/special.hpp"
#include "solver/lsqds.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"
#include "utilities/analyses.hpp"
#include "utilities/emlist.hpp"
#include "utilities/tables.hpp"

namespace qv {
namespace {

constexpr int16 maxtablecode = 4;

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

void tabledriver(Session& ses, Run& run) {
    utilitysetup(ses, run);
    int16 code = run.script.tablecode;
    if (code < 0 || code > maxtablecode) {
        putstr(ses, 1, "table code:", 1, screenlogmask);
        for (const char* line :
             {"     0 = end-member thermo", "     1 = RT ln f(H2O) and RT ln f(CO2)",
              "     2 = other fugacities", "     3 = V(H2O) and V(CO2)",
              "     4 = linearised reaction thermo"}) {
            putstr(ses, 0, line, 1, screenlogmask);
        }
        std::string w;
        promptstring(ses, "table code", w);
        const std::string bound = ", between 0 and " + realstr(maxtablecode);
        if (whatis(w) != valuetype::aninteger) {
            bomb("tabledriver", "integer needed (1)" + bound, yourfault);
        }
        std::string msg;
        if (!str2int(w, code, msg) || code < 0 || code > maxtablecode) {
            bomb("tabledriver", "integer needed (2)" + bound, yourfault);
        }
    }
    switch (code) {
        case 0: emthermotable(ses, run); break;
        case 1: fugtable(ses, run); break;
        case 2: otherfugtable(ses, run); break;
        case 3: voltable(ses, run); break;
        default: rthermo(ses, run); break;
    }
}

void acalc(Session& ses, Run& run) {
    utilitysetup(ses, run);
    activitiesfrommu(ses, run);
}

void domakelist(Session& ses, Run& run) {
    listsystem(ses, run);
}

}  // namespace qv
