#pragma once
// The end-members of the dataset inside a chemical system, and end-member activities from
// chemical potentials of the system's components.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Asks for the system (oxide names, their element symbols or their numbers 1 to 12) and lists
// every dataset end-member with nothing outside it, with its amount of each component. Sets
// the run's end-member list to the whole dataset.
void listsystem(Session& ses, Run& run);

// After the run's set-up: the activity of each of the first npure end-members at which it is
// in equilibrium with the script's "muval" potentials, ln a = (sum of mu x amount - G) / RT;
// console only.
void activitiesfrommu(Session& ses, Run& run);

}  // namespace qv
