#include "calibration/lsqds.hpp"

#include "textio/channels.hpp"

namespace qv {

void lsqdsalloc(Session& /*ses*/, Run& /*run*/) {}

void dolsqds(Session& ses, Run& /*run*/) {
    ses.gemcount = 0;
    ses.prefs.notlsqdsflag = false;
    putstr(ses, 1, "calcmode 9, dataset calibration: not built yet", 1, 9);
}

void endlsqds(Session& /*ses*/, Run& /*run*/) {}

}  // namespace qv
