#pragma once
// The bulk composition of a pseudosection run: which components belong to the bulk (the reduced
// system), the one bulk or the two ends of a line of bulks with the number of points along it,
// the rock given by its phases ("rbi") and the denominator component of the log-ratio bulk.

#include <string>

#include "base/families.hpp"
#include "model/run.hpp"
#include "phasediagram/mineralbulk.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int maxbulkpoints = 101;  // points of a bulk line (100 increments)

// The bulk of a run. Every bulk vector is compacted to the bulk components, in system order.
struct BulkState {
    // The reduced system, set by `setter`.
    Fixed1<bool, maxcomp> reducedcomp{};  // per system component: it belongs to the bulk
    int16 nuvleft = 0;                    // number of bulk components
    int16 kbpden = 0;  // system index of the denominator component of the log-ratio bulk
    // The bulk range, each end in percent (summing to 100 for the first); equal ends for one bulk.
    cvector bulkstart{};
    cvector bulkend{};
    int16 nbulk = 0;             // bulk points: 1 for one bulk, else increments + 1; 0 no bulk
    real bulkpropstart = 0;      // where the range starts, as a proportion of the script's range
    real bulkpropend = 1;        // where it ends
    real onebulkprop = -1;       // the one bulk picked within the script's range (0..1), else -1
    bool pickedinrange = false;  // the one bulk was picked inside a range of two compositions
    bool fromrbi = false;        // the bulk came from the phases of the rock ("rbi")
    // The rbi rows after `rbichecks`: phase name and mode (divided by its atoms per unit).
    int16 nrbimode = 0;
    Fixed1<std::string, 80> rbinames{};
    Fixed1<real, 80> rbimodes{};
    real rbifluidfraction = 0;  // the fluid's share of the rbi modes (duDA+ with x(CO2))
    // The row operations of the last candidate's elimination on the bulk components (scaled by
    // the component divisors): the mass balances of a solve with modes take them.
    Fixed1<Fixed1<int32, maxcomp>, maxcomp> projc{};
    // The log-ratio bulk with its covariance (runs with uncertainties, the "mode" form).
    MineralBulk logratio;
};

// The components of the bulk: all but those held by ln a or mu variables and, in an x(CO2)
// section, H2O and CO2; clears `compatrowon` when any of those is set. Writes `run.compkept`.
// Stops the run: "setting non-oxide lna not implemented" (procedure "setter").
void setter(Run& run, bool xco2varon, bool& compatrowon, BulkState& bulk);

// The bulk composition at position w (0..1) of the run's range, in fractions summing to the
// first end's total / 100.
cvector bulkat(const BulkState& bulk, real w);

}  // namespace qv
