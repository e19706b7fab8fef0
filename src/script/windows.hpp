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
    // Overall P-T window of the diagram ("diagramPT").
    real tminall = 283;      // K
    real tmaxall = 3000;     // K
    real pminall = 0.0009L;  // kbar
    real pmaxall = 1500;     // kbar
    // Calculation windows and the script's intervals ("calcT", "calcP"; 0 = no interval).
    real twinlow = 0;  // K
    real twinhigh = 0;
    real pwinlow = 0;  // kbar
    real pwinhigh = 0;
    real tinc = 0;  // K (a difference, the same in degrees C)
    real pinc = 0;  // kbar
    // Decimals with which window values are printed.
    int16 pformat = 3;
    int16 tformat = 2;
    int16 xformat = 2;
    int16 lnaformat = 2;
    int16 muformat = 1;
};

}  // namespace qv
