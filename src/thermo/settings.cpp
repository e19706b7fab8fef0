#include "thermo/settings.hpp"

namespace qv {

GemSettings gemsettings(const Run& run) {
    GemSettings gs;
    gs.dsmode = run.dataset.dsmode;
    gs.ds190 = run.dataset.ds190;
    gs.newspfluid = run.dataset.newspfluid;
    gs.hqzon = run.script.hqzon;
    gs.numericalon = run.script.numericalon;
    gs.debuglev = run.script.debuglev;
    gs.runftype = run.runftype;
    return gs;
}

}  // namespace qv
