#include "reactiondiagram/phasecalcs.hpp"

#include "model/runstart.hpp"
#include "textio/channels.hpp"

namespace qv {

void setupphasecalcs(Session& ses, Run& run) {
    startrun(ses, run);
}

void phasediagramcalcs(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 3: the calculations on all reactions are not built yet", 1, 9);
}

}  // namespace qv
