#include "rock/rockcalcs.hpp"

#include <memory>
#include <string>

#include "model/components.hpp"
#include "model/emchoice.hpp"
#include "model/runstart.hpp"
#include "model/special.hpp"
#include "rock/rockdriver.hpp"
#include "rock/runrock.hpp"
#include "solver/lsqds.hpp"

namespace qv {

SetupOptions rocksetup() {
    SetupOptions o;
    o.script = ScriptOptions{.utilityrun = false, .calctypemax = 2, .lnaonly = false};
    o.clearcolours = false;
    o.endmembersasked = true;
    o.channelfluid = true;
    o.activitysd = true;
    return o;
}

void setuprockcalcs(Session& ses, Run& run) {
    run.special.nexcludedems = 0;  // exclusions belong to one run
    startrun(ses, run);
    extractem(ses, run, extractem_steps());
    clean(ses, run);
    setspecialphases(run);
}

void rockcalcs(Session& ses, Run& run) {
    auto rock = std::make_unique<RunRock>(ses, run);
    ReactionLists& rl = rock->lists();
    Dataset& ds = run.dataset;
    SpecialEms& sp = run.special;
    RockRunData d{ds.nem,           ds.emnames,      ds.emact,
                  ds.emsda,         rl.emlnavar,     ds.components.ncomp,
                  *run.arrays.c,    *run.arrays.cov, *run.arrays.r,
                  run.nreac,        rl.rxnlnk,       rl.incompleteset,
                  sp.excludedems,   sp.nexcludedems, run.nss,
                  run.npure,        sp.h2oem,        sp.co2em,
                  run.xco2cur,      run.xh2ocur,     run.runftype,
                  run.windows.pcur, run.windows.tcur};
    auto work = std::make_unique<SvdArrays>();
    rockpasses(ses, run.script, run.windows, d, *rock, *work);
}

}  // namespace qv
