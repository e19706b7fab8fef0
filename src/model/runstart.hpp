#pragma once
// The start that the calculation modes share: the dataset's header and names, the script, and
// the phases of the a-x file.

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

void startrun(Session& ses, Run& run);

}  // namespace qv
