#pragma once
// The calculations of a phase diagram run stored for the average P-T fit of mineral
// compositions: for each converged calculation P, T, the fluid composition, the chosen
// composition variables with their sds and the correlations between them.

#include <memory>
#include <string>
#include <vector>

#include "solver/uncertainties.hpp"

namespace qv {

inline constexpr int maxqvcalcs = 800;                         // stored calculations of a run
inline constexpr int maxcalccorr = maxxyz * (maxxyz - 1) / 2;  // correlations of one record

// One stored calculation.
struct qvcalctype {
    real p = 0;       // kbar
    real t = 0;       // degrees C
    real xfluid = 0;  // value of the "x(fluid)" variable, 0 without one
    xyzvector xyz;    // the stored composition variables, in the order of `calcxyznames`
    xyzvector sdxyz;  // their sds (the marker for a variance of at most 1e-14)
    Fixed1<real, maxcalccorr> corr;  // (2,1), (3,1), (3,2), (4,1), ...
    polyvector poly;                 // the fit's own, never written here
};

struct StoredCalcs {
    std::unique_ptr<Fixed1<qvcalctype, maxqvcalcs>> qvcalcs =
        std::make_unique<Fixed1<qvcalctype, maxqvcalcs>>();
    int16 nqv = 0;  // reset for each run
    Fixed1<std::string, maxxyz> calcxyznames;
    int16 ncalcxyz = 0;
    int16 ncalccorr = 0;
};

// Stores the calculation just solved, whose uncertainties are `u`. `mineralxyz` holds, per
// mineral of the run, the names of its composition variables to store; the first calculation
// of a run fixes the list and starts the progress line. Stops the run: "too many calcs" (after
// the console line of where the run got to), "too many xyznames", "xyz does not match 1" (after
// the name and " not found" on the console), "xyz does not match 2".
void accumulate(Session& ses, const NleVariables& v, const Uncertainties& u,
                const std::vector<std::vector<std::string>>& mineralxyz, StoredCalcs& sc);

// What follows the uncertainties of a calculation: with duDA+ on (`stored` set) the stored
// calculation, and at level 2 and above the block of the second csv file. A result whose
// uncertainties could not be propagated (`u.valid` false) gets neither.
struct SdFollowUps {
    int16 calcsdlevel = 1;
    StoredCalcs* stored = nullptr;
    const std::vector<std::vector<std::string>>* mineralxyz = nullptr;  // needed with `stored`
    const SdInfo* info = nullptr;                                       // needed at level 2
};
void aftercalcsd(Session& ses, const NleVariables& v, const Uncertainties& u,
                 const SdFollowUps& next);

}  // namespace qv
