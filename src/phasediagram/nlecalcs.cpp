#include "phasediagram/nlecalcs.hpp"

#include "model/runstart.hpp"
#include "textio/channels.hpp"

namespace qv {

void nlecalcs(Session& ses, Run& run) {
    startrun(ses, run);
    putstr(ses, 1, "calcmode 1: the phase diagram calculations are not built yet", 1, 9);
}

}  // namespace qv
