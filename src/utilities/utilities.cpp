#include "utilities/utilities.hpp"

#include "textio/channels.hpp"

namespace qv {

void doutilities(Session& ses, Run& /*run*/) {
    putstr(ses, 1, "calcmode 0, utilities: not built yet", 1, 9);
}

}  // namespace qv
