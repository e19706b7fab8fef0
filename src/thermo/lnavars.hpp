#pragma once
// Activity (ln a) and chemical-potential (mu) variables of a phase diagram run: a mu variable
// becomes a pure pseudo-phase of its component alone, held in excess; an ln a variable puts its
// pure phase in excess.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// One pseudo-phase per mu variable that names a system component; its G is the chemical
// potential (kJ), from the script or from a window that is asked for.
void setupmu(Session& ses, Run& run);
// Asks the window of mu variable k and fills the values of mu slot `slot`.
void promptmuwindow(Session& ses, Run& run, int16 k, int16 slot);
// Keeps the ln a variables that name pure phases and puts those phases in excess.
void setuplna(Session& ses, Run& run);

}  // namespace qv
