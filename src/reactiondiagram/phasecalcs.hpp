#pragma once
// Reaction phase diagrams: one complete run of calculation mode 3.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// What a reaction diagram run decides below its driver: "calctype" codes 1-5, activities with
// uncertainties, the channel fluid of cordierite.
SetupOptions diagramsetup();
// Set-up of one run on all reactions between end-members.
void setupphasecalcs(Session& ses, Run& run);
// The diagram type of the run, from the script's "calctype" or the menu.
void getdiagramtype(Session& ses, Run& run);
// One complete reaction phase diagram run.
void phasediagramcalcs(Session& ses, Run& run);

}  // namespace qv
