#include "calibration/lsqds.hpp"

#include <cmath>
#include <memory>

#include "base/fatal.hpp"
#include "calibration/assemble.hpp"
#include "calibration/dsprefs.hpp"
#include "calibration/emfile.hpp"
#include "calibration/lsqsolve.hpp"
#include "calibration/results.hpp"
#include "calibration/writeds.hpp"
#include "calibration/xpfile.hpp"
#include "script/readscripts.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/prompts.hpp"

namespace qv {

SetupOptions calibrationsetup() {
    SetupOptions o;
    o.script = ScriptOptions{
        .utilityrun = false, .calctypemax = 0, .lnaonly = false, .mandatorychecks = false};
    o.calibration = true;
    o.clearcolours = false;
    o.phaseinfochannels = icmask;
    o.activitysd = true;
    return o;
}

std::unique_ptr<Calibration> lsqdsalloc(Session& ses, Run& run) {
    auto cal = std::make_unique<Calibration>();
    cal->allocate();
    readdsprefs(ses, cal->prefs);
    run.files.qvdssuffix = cal->prefs.qvdssuffix;
    return cal;
}

void dolsqds(Session& ses, Run& run, Calibration& cal) {
    ses.gemcount = 0;
    cal.writingresults = false;
    CalibPrefs& p = cal.prefs;
    promptcontrol(ses, "QR or Choleski to do LSQ: use QR", p.useqr);
    promptcontrol(ses, "bullet \"pathological\" experiments", p.mark456);
    promptcontrol(ses, "print omitted experiments", p.printomit);
    promptcontrol(ses, "use \"rfac\"", p.userfac);
    if (p.userfac == controlboolean::yes) {
        promptcontrol(ses, "effectively fix \"good\" equilibria", p.tighten);
    }
    readscripts(ses, run.files, run.script, run.windows, false, run.setup.script);
    int16 n = 0;
    promptinteger(ses, "number of iterations ", n);
    if (n < 1) {
        putstr(ses, 0, "dsfile conversion to new format", 1, screenmask);
        InFile f;
        std::string filename;
        std::string suffix = "em" + p.emsuffix + "-f";
        promptdatafile(ses, filename, "ds-", suffix, "thermo", f);
        readth(ses, cal, f);
        f.close();
        writeds(ses, cal, run.script.numericalon, run.script.hqzon);
        return;
    }
    if (n > 20) bomb("dolsqds", "too many iterations", yourfault);
    run.script.hqzon = false;
    run.script.numericalon = false;
    readxy(ses, run, cal);
    if (cal.dsmode == 5) {
        putstr(ses, 0, "dsmode = 5 (old school)", 1, screenmask);
    } else if (cal.dsmode == 6) {
        putstr(ses, 0, "dsmode = 6 (5 tweaked, new format)", 1, screenmask);
    } else {
        bomb("dolsqds", "dsmode not 5 or 6", yourfault);
    }
    for (int16 k = 1; k <= n; ++k) {
        cal.lsqiter = k;
        assemblexp(ses, run, cal, k);
        if (p.useqr == controlboolean::yes) {
            qr(cal);
        } else {
            choleski(ses, cal);
        }
        const real sigfit = std::sqrt(cal.sigfit2);
        std::string line;
        addgreal(0, line, k);
        addstr(": ", 0, line);
        addreal(3, true, 6, line, sigfit);
        putstr(ses, k == 1 ? 1 : 0, line, 1, screensummarylogmask);
        for (int i = 1; i <= cal.ntp; ++i) {
            tdrec& t = cal.tda[i];
            t.H = cal.theta[i];
            t.sdH = std::sqrt(cal.xx[i][i]);
            if (k == n) t.sdH *= sigfit;
        }
    }
    writeresults(ses, run, cal, run.script.numericalon, run.script.hqzon);
    writeemfile(ses, cal);
}

void endlsqds(Session& /*ses*/, Run& /*run*/, std::unique_ptr<Calibration>& cal) {
    cal.reset();
}

}  // namespace qv
