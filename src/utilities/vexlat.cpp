#include "utilities/vexlat.hpp"

#include "textio/channels.hpp"
#include "utilities/drawdata.hpp"
#include "utilities/svgdraw.hpp"

namespace qv {

void vexlatdraw(Session& ses) {
    Drawing d;
    drawlogheader(ses, d);
    readdata(ses, d);
    drawdiagram(ses, d);
    putstr(ses, 1, "vexlat running in QUORVANTIS at " + ses.datetimeline, 1, screensummarylogmask);
    putstr(ses, 0, "with diagram in file, " + ses.ch.files[10].name, 1, screensummarylogmask);
    // the files stay open: the loop of runs may draw again, and shut-down closes them
    flushfiles(ses);
}

}  // namespace qv
