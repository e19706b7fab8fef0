#include "script/windows.hpp"

namespace qv {

void setptscaling(PTScaling& s) {
    s.tscale = 1 / (3000.0L - 283.0L);
    s.toffset = -283.0L * s.tscale;
    s.pscale = 1 / (1500.0L - s.pminimum);
    s.poffset = -s.pminimum * s.pscale;
}

}  // namespace qv
