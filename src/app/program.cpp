#include "app/program.hpp"

#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "calibration/lsqds.hpp"
#include "model/run.hpp"
#include "phasediagram/nlecalcs.hpp"
#include "reactiondiagram/phasecalcs.hpp"
#include "rock/rockcalcs.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/prompts.hpp"
#include "textio/stops.hpp"
#include "utilities/utilities.hpp"

namespace qv {
namespace {

calcmodetype modeofcode(int16 code) {
    switch (code) {
        case 0: return calcmodetype::utilitycalc;
        case 1: return calcmodetype::nlecalc;
        case 2: return calcmodetype::rockcalc;
        case 3: return calcmodetype::phasecalc;
        case 9: return calcmodetype::lsqdscalc;
        default: bomb("setup", "unknown code", myfault);
    }
}

// What the chosen calculation decides for the layers below its driver.
SetupOptions setupofmode(calcmodetype mode) {
    switch (mode) {
        case calcmodetype::utilitycalc: return utilitysetup();
        case calcmodetype::nlecalc: return phasediagramsetup();
        case calcmodetype::rockcalc: return rocksetup();
        case calcmodetype::phasecalc: return diagramsetup();
        case calcmodetype::lsqdscalc: return calibrationsetup();
    }
    bomb("setup", "unknown code", myfault);
}

// One pass of the loop of runs: the driver(s) of the mode; returns the question to go on.
std::string runpass(Session& ses, Run& run, Calibration* cal) {
    switch (ses.runcalcmode) {
        case calcmodetype::utilitycalc: doutilities(ses, run); return "more utility calculations";
        case calcmodetype::nlecalc:
            run.diagrammode = diagramtype::ptcalc;
            nlecalcs(ses, run);
            return "more phase diagram calculations";
        case calcmodetype::rockcalc:
            setuprockcalcs(ses, run);
            rockcalcs(ses, run);
            return "more rock calculations";
        case calcmodetype::phasecalc:
            setupphasecalcs(ses, run);
            phasediagramcalcs(ses, run);
            return "more calculations";
        case calcmodetype::lsqdscalc:
            if (cal == nullptr) bomb("startup", "no calibration set up", myfault);
            dolsqds(ses, run, *cal);
            return "another lsqds run";
    }
    bomb("startup", "sorry - facility not currently available", yourfault);
}

void mainblock(Session& ses, Run& run, StartOptions options) {
    ses.programname = "QUORVANTIS 3.51";
    startlog(ses, ses.programname);
    ses.calcmodecode = getcalcmode(ses);
    ses.runcalcmode = modeofcode(ses.calcmodecode);
    if (ses.runcalcmode == calcmodetype::utilitycalc && !options.admitutilities) {
        bomb("setup", "sorry, mode 0 not available: use ro350", myfault);
    }
    const bool calibration = ses.runcalcmode == calcmodetype::lsqdscalc;
    run.setup = setupofmode(ses.runcalcmode);
    // A phase diagram run chosen in the preferences file needs the "pseudosection" keyword.
    run.setup.script.pseudosectionmandatory = ses.prefs.prefscalcmode == 1;
    initglobals(ses, run);
    std::unique_ptr<Calibration> cal;
    if (calibration) cal = lsqdsalloc(ses, run);
    startout(ses, run.files, calibration);

    ses.runcount = 0;
    for (;;) {
        ++ses.runcount;
        ses.morequestion = runpass(ses, run, cal.get());
        putstr(ses, 0, "", 1, screenlogmask);
        flushfiles(ses);
        if (calibration || ses.autoexiton) break;
        if (!query(ses, ses.morequestion)) break;
    }

    putstr(ses, 1, "[QUORVANTIS 3.51, December 2026]", 1, screensummarylogmask);
    putstr(ses, 0, "[please cite the dataset and the a-x models that your calculations used]", 1,
           screensummarylogmask);
    putstr(ses, 0, std::string(60, '='), 1, screensummarylogmask);
    if (!calibration && !ses.autoexiton) query(ses, "all done - hit return to exit", true);
    if (calibration) endlsqds(ses, run, cal);
    freeglobals(ses, run);
    const ScriptSettings& s = run.script;
    if (ses.runcalcmode == calcmodetype::nlecalc &&
        (s.batchcb == controlboolean::yes || s.dogminon || s.debuglev == 4)) {
        showelapsed(ses);
    }
    closefiles(ses);
    if (!ses.ch.writeproblem.empty()) {
        ses.ch.activechannels = screenmask;  // the files are closed: the stop goes to the screen
        bomb("closefiles", "problem writing " + ses.ch.writeproblem, yourfault);
    }
}

}  // namespace

int runprogram(Console& console, Clock& clock, StartOptions options) {
    Session ses(console, clock);
    try {
        auto run = std::make_unique<Run>();
        mainblock(ses, *run, options);
        return 0;
    } catch (const RunBombed& stop) {
        endbombed(ses, stop);
        return 1;
    } catch (const RunKilled&) {
        endkilled(ses);
        return 2;
    } catch (const RunEnded&) {
        // Files flushed and closed, the empty ones erased, as after the last run.
        flushfiles(ses);
        closefiles(ses);
        return 0;
    } catch (const std::bad_alloc&) {
        // The machine ran out of memory: stop as a fatal error does, so that the run files are
        // closed (the empty ones erased) and the log says why the run ended.
        endbombed(ses, RunBombed{"runprogram", "out of memory", yourfault});
        return 1;
    } catch (const std::filesystem::filesystem_error& e) {
        endbombed(ses, RunBombed{"runprogram", e.what(), yourfault});
        return 1;
    } catch (const std::exception& e) {
        endbombed(ses,
                  RunBombed{"runprogram", std::string("unexpected error: ") + e.what(), myfault});
        return 1;
    }
}

}  // namespace qv
