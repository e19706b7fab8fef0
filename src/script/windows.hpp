#pragma once
// Calculation windows of a run and the scaling of the overall P-T window.

#include "numerics/real.hpp"

namespace qv {

// Maps the overall window 283..3000 K and pminimum..1500 kbar onto 0..1.
struct PTScaling {
    real pminimum = 0.0009L;  // kbar; the script keyword "negP" lowers it
    real tscale = 0;
    real toffset = 0;
    real pscale = 0;
    real poffset = 0;
};

// The scaling for the current `pminimum`.
void setptscaling(PTScaling& s);

struct Windows {
    PTScaling scaling;
    // Decimals with which window values are printed.
    int16 pformat = 3;
    int16 tformat = 2;
    int16 xformat = 2;
    int16 lnaformat = 2;
    int16 muformat = 1;
};

}  // namespace qv
