#include "utilities/vexlat.hpp"

#include "textio/channels.hpp"

namespace qv {

void vexlatdraw(Session& ses) {
    putstr(ses, 1, "calcmode 0: the diagram drawing is not built yet", 1, 9);
}

}  // namespace qv
