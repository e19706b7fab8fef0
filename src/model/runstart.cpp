#include "model/runstart.hpp"

#include "model/axreader.hpp"
#include "model/dataset.hpp"
#include "script/readscripts.hpp"

namespace qv {

void startrun(Session& ses, Run& run) {
    readthermo(ses, run, 1);
    readscripts(ses, run.files, run.script, run.windows, run.dataset.ds190, run.setup.script);
    setupphases(ses, run);
}

}  // namespace qv
