#pragma once
// Fluid, phases in excess and the section variable of a reaction diagram, and the projection of
// the system through the end-members in excess.

#include "textio/session.hpp"

namespace qv {

struct Run;

// Settles for the run's diagram type whether a fluid may be present and is in excess, the log-a
// end-member or the mu component, and the phases in excess; then projects through the in-excess
// end-members, which go to the end of the end-member list, each with a component of its own.
void inexcess(Session& ses, Run& run);

}  // namespace qv
