#include "rock/rockcalcs.hpp"

#include "textio/channels.hpp"

namespace qv {

void setuprockcalcs(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 2, average P-T calculations: not built yet", 1, 9);
}

void rockcalcs(Session& /*ses*/, Run& /*run*/) {}

}  // namespace qv
