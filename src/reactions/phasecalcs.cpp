#include "reactions/phasecalcs.hpp"

#include "textio/channels.hpp"

namespace qv {

void setupphasecalcs(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 3, calculations on all reactions: not built yet", 1, 9);
}

void phasediagramcalcs(Session& /*ses*/, Run& /*run*/) {}

}  // namespace qv
