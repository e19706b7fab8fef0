#include "phasediagram/nlecalcs.hpp"

#include "textio/channels.hpp"

namespace qv {

void nlecalcs(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 1, phase diagram calculations: not built yet", 1, 9);
}

}  // namespace qv
