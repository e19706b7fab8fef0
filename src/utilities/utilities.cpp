#include "utilities/utilities.hpp"

#include <string>

#include "base/fatal.hpp"
#include "script/readscripts.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "utilities/utilitytasks.hpp"
#include "utilities/vexlat.hpp"

namespace qv {
namespace {

constexpr int16 maxutilitycode = 4;

// The menu on screen and log, then the code typed by the user. An answer beyond the 16-bit
// range is refused like any other out-of-range code, never read as code 0.
int16 askutilitycode(Session& ses) {
    putstr(ses, 1, "utility code:", 1, screenlogmask);
    for (const char* line :
         {"     0 = phase diagram drawing (vexlat)",
          "     1 = convert wt% for bulk and minerals into a useful form",
          "     2 = thermodynamic tables", "     3 = calculate activities from mu",
          "     4 = end-member list in a chemical system"}) {
        putstr(ses, 0, line, 1, screenlogmask);
    }
    std::string w;
    promptstring(ses, "utility code", w);
    const std::string bound = ", between 0 and " + realstr(maxutilitycode);
    if (whatis(w) != valuetype::aninteger) {
        bomb("doutilities", "integer needed (1)" + bound, yourfault);
    }
    int16 code = 0;
    std::string msg;
    if (!str2int(w, code, msg) || code < 0 || code > maxutilitycode) {
        bomb("doutilities", "integer needed (2)" + bound, yourfault);
    }
    return code;
}

}  // namespace

SetupOptions utilitysetup() {
    SetupOptions o;
    o.script = ScriptOptions{.utilityrun = true, .calctypemax = 0, .lnaonly = false};
    o.utilityrun = true;
    o.clearcolours = false;
    o.channelfluid = true;
    o.activitysd = true;
    return o;
}

void doutilities(Session& ses, Run& run) {
    readscripts(ses, run.files, run.script, run.windows, run.dataset.ds190, run.setup.script);
    const int16 scriptcode = run.script.utilitycode;
    const int16 code =
        scriptcode >= 0 && scriptcode <= maxutilitycode ? scriptcode : askutilitycode(ses);
    switch (code) {
        case 0: vexlatdraw(ses); break;
        case 1: conversions(ses, run); break;
        case 2: tabledriver(ses, run); break;
        case 3: acalc(ses, run); break;
        default: domakelist(ses, run); break;
    }
}

}  // namespace qv
