#pragma once
// The choice of a run's phases and, from them, of its end-members: names, compositions,
// thermodynamic records, covariances and activities with their uncertainties; and the default
// uncertainties of end-member activities.

#include <functional>
#include <string>

#include "model/datamodel.hpp"
#include "model/special.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

struct Run;

using bemvector = Fixed1<bool, maxem>;

// Keeps the phases not flagged in `omit` (combined numbering: solution phases, then pure
// phases), compacting the phase tables, and gathers the distinct names of the dataset
// end-members they need, constituents of made end-members included, into the run's list.
void makename(Run& run, const bemvector& omit);

// Position of `name` among the first nss + npure entries of `list`. Unless `quiet`, an
// unrecognised name may be replaced once by the user; the replacement is returned in `name`.
bool askreplacename(Session& ses, const Run& run, std::string& name, const strings& list,
                    bool quiet, int16& pos);

// The steps of `extractem` that belong to later layers, passed in by the mode drivers.
struct ExtractemSteps {
    // Records and covariance of the chosen phases' end-members (made end-members included).
    std::function<void(Session&, Run&)> lsqds;
    // The activity table at the P-T for a-x: fills `emact`/`emsda` of the solution end-members
    // that are not excluded, then of the pure phases, and sets the current P and T. Not called
    // in the utilities.
    std::function<void(Session&, Run&)> activities;
};

// Chooses the phases of a rock calculation, a reaction diagram or a utility run from the
// script's "with" list or by question, reads their dataset end-members and sets the run's
// end-member list, records, covariances and activities in phase order.
void extractem(Session& ses, Run& run, const ExtractemSteps& steps);

// The default-uncertainty parameters: relative factor 0.3 (0.1 in a calibration, 0 with
// "justrelu"), floor 0.01 and smallest relative uncertainty 0.05.
void resetuncertainty(Session& ses, Run& run, bool standard);
// Raises each end-member's sd(a) to the default of its activity and site multiplicity.
void setdefaultsda(Run& run);

}  // namespace qv
