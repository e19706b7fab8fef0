#pragma once
// A phase diagram run in a fresh working folder: the shared dataset, an a-x file and a script
// of the test's own, answers typed from a string, and every good result kept.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/fatal.hpp"
#include "model/run.hpp"
#include "phasediagram/nlecalcs.hpp"
#include "phasediagram/results.hpp"
#include "support/fakes.hpp"
#include "textio/files.hpp"

namespace qv::test {

// An ideal plagioclase (albite-anorthite, one A site, a(an) = x(Ca,A)), held at ca(pl) 0.5
// unless the script sets it.
inline const std::string plagioclaseax = R"(pl 2 1
  ca(pl) 0.5
  p(ab) 1 1 1 1 -1 ca
  p(an) 1 1 0 1  1 ca
  ideal
  2
  xNaA 1 1 1 1 -1 ca
  xCaA 1 1 0 1  1 ca
  ab 1 1 xNaA 1
  an 1 1 xCaA 1
)";

// Ideal garnet, pyrope-grossular on three X sites: a(gr) = x(Ca,X)^3 with x(Ca,X) = z(g).
inline const std::string garnetpygrax = R"(g 2 1
  z(g) 0.2
  p(py) 1 1 1 1 -1 z
  p(gr) 1 1 0 1  1 z
  ideal
  2
  xMgX 1 1 1 1 -1 z
  xCaX 1 1 0 1  1 z
  py 1 1 xMgX 3
  gr 1 1 xCaX 3
)";

// Ideal olivine, forsterite-fayalite on two M sites, x(ol) = x(Fe,M).
inline const std::string olivineax = R"(ol 2 1
  x(ol) 0.1
  p(fo) 1 1 1 1 -1 x
  p(fa) 1 1 0 1  1 x
  ideal
  2
  xMgM 1 1 1 1 -1 x
  xFeM 1 1 0 1  1 x
  fo 1 1 xMgM 2
  fa 1 1 xFeM 2
)";

// The ideal garnet, the ideal plagioclase, kyanite and quartz: the garnet-plagioclase-Al2SiO5-
// quartz equilibrium 3 an = gr + 2 ky + q.
inline const std::string gaspax = R"(% ideal garnet and plagioclase with kyanite and quartz
header
  garnet-plagioclase-kyanite-quartz, ideal mixing on sites
header

)" + garnetpygrax + "\n" + plagioclaseax +
                                  R"(
ky
q
*
)";

// The garnet of the fixture with a symmetric pyrope-grossular interaction.
inline std::string symmetricgarnet() {
    std::string ax = gaspax;
    const std::string ideal = "  p(gr) 1 1 0 1  1 z\n  ideal\n";
    ax.replace(ax.find(ideal), ideal.size(), "  p(gr) 1 1 0 1  1 z\n  sf\n  W(py,gr) 31 0 0\n");
    return ax;
}

// Ideal garnet (pyrope-almandine) and olivine (forsterite-fayalite), spinel and enstatite: the
// FMAS pseudosections.
inline const std::string fmasax = R"(% ideal garnet and olivine, spinel and enstatite
header
  garnet-olivine-spinel-enstatite, ideal mixing on sites
header

g 2 1
  x(g) 0.2
  p(py)  1 1 1 1 -1 x
  p(alm) 1 1 0 1  1 x
  ideal
  2
  xMgX 1 1 1 1 -1 x
  xFeX 1 1 0 1  1 x
  py  1 1 xMgX 3
  alm 1 1 xFeX 3

)" + olivineax + R"(
sp
en
*
)";

// Calcite, quartz and wollastonite with an H2O-CO2 fluid: cc + q = wo + CO2. The fluid's own
// mixing model replaces whatever its block says.
inline const char* const decarbax = R"(% calcite-quartz-wollastonite with an H2O-CO2 fluid
header
  decarbonation of calcite with quartz in a mixed fluid
header

fluid 2 1
  x(fluid) 0.5
  p(H2O) 1 1 1 1 -1 x
  p(CO2) 1 1 0 1  1 x
  ideal
  2
  xh 1 1 1 1 -1 x
  xc 1 1 0 1  1 x
  H2O 1 1 xh 1
  CO2 1 1 xc 1

cc
q
wo
*
)";

struct PdCase {
    TempDir dir;
    TestSession ts;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    std::unique_ptr<PdRun> pd = std::make_unique<PdRun>();
    // Every good result: P (kbar), T (K) and the natural solution vector (from 1).
    struct Point {
        real p = 0;
        real t = 0;
        std::vector<real> x;
    };
    std::vector<Point> points;

    explicit PdCase(const std::string& script, const std::string& answers = "",
                    const std::string& ax = gaspax)
        : ts(answers) {
        dir.write("qv-axgasp.txt", ax);
        dir.write("qv-gasp.txt", script);
        std::filesystem::copy_file(std::string(QV_TEST_DATA) + "/qv-ds62.txt",
                                   dir.path() / "qv-ds62.txt");
        ts.ses.prefs.dsfilesuffix = "62";
        ts.ses.prefs.scriptfilesuffix = "gasp";
        ts.ses.runcount = 1;
        initglobals(ts.ses, run);
        startout(ts.ses, run.files, false);
        pd->onresult = [this](const SolveState& st) {
            Point pt{st.cur.p, st.cur.t, {0}};
            for (int i = 1; i <= run.nxvars + run.nmodevars; ++i) pt.x.push_back(st.varvalues[i]);
            points.push_back(pt);
        };
    }
    // Opens the log file "qv-log.txt" of the working folder, as the program does at start-up
    // (the test session alone writes only to the screen).
    void openlog() {
        auto& log = ts.ses.ch.files[3];
        std::string name;
        openwrite(name, "", "qv-log.txt", log);
        ts.ses.ch.activechannels |= int32{1} << 3;
    }
    // The run; a fatal stop is reported with the screen so far.
    void go() {
        try {
            nlecalcs(ts.ses, run, *pd);
        } catch (const RunBombed& stop) {
            FAIL() << stop.procname << ": " << stop.message << "\n" << screen();
        }
    }
    const std::string& screen() const { return ts.console.output; }
};

}  // namespace qv::test
