#include "rock/rockcalcs.hpp"

#include "model/runstart.hpp"
#include "textio/channels.hpp"

namespace qv {

void setuprockcalcs(Session& ses, Run& run) {
    startrun(ses, run);
}

void rockcalcs(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 2: the average P-T calculations are not built yet", 1, 9);
}

}  // namespace qv
