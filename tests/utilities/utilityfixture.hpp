#pragma once
// A utility run in a temporary folder: our test dataset, a small a-x file with a garnet whose
// compositional variables are defined from analysed elements, a script, and the log captured.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "model/run.hpp"
#include "numerics/random.hpp"
#include "support/fakes.hpp"
#include "utilities/utilities.hpp"

namespace qv::test {

// Garnet py-alm-gr on 12 oxygens with x = Fe2/(Fe2 + Mg) and z = Ca/(Fe2 + Mg + Ca), ideal
// mixing on the cubic site; quartz as a pure phase.
inline const char* const garnetax = R"(% garnet for the analysis tests
header
  test garnet
header

gt 3 2 garnet 12 verbatim
  garnet py-alm-gr
verbatim
  x(gt) 0 1 1 Fe2 0 2 1 Fe2 1 Mg
  z(gt) 0 1 1 Ca 0 3 1 Fe2 1 Mg 1 Ca
  p(py)  1 2  1 1 -1 x   1 1 -1 z
  p(alm) 1 2  0 1  1 x   1 1 -1 z
  p(gr)  1 1  0 1  1 z
  ideal
  3
  xMgX 1 2  1 1 -1 x   1 1 -1 z
  xFeX 1 2  0 1  1 x   1 1 -1 z
  xCaX 1 1  0 1  1 z
  py  1 1 xMgX 3
  alm 1 1 xFeX 3
  gr  1 1 xCaX 3

q
)";

struct UtilityRun {
    explicit UtilityRun(std::string input = {}) : t(std::move(input)) {
        Session& ses = t.ses;
        run->setup = utilitysetup();
        ses.prefs.scriptfilesuffix = "t";
        ses.prefs.dsfilesuffix = "62";
        ses.runcount = 1;
        ses.ch.pagewidth = 250;
        initglobals(ses, *run);
        seedwhrandom(ses.seeds, true, ses.clock.now());
        dir.write("qv-ds62.txt", readdata("qv-ds62.txt"));
        dir.write("qv-gt.txt", garnetax);
        ses.ch.files[3].f = std::fopen("log.txt", "w");
        ses.ch.activechannels = 1 | 8;
    }
    ~UtilityRun() { closelog(); }
    static std::string readdata(const std::string& name) {
        std::FILE* f = std::fopen((std::string(QV_TEST_DATA) + "/" + name).c_str(), "rb");
        std::string s;
        char buf[4096];
        for (std::size_t n; f != nullptr && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
            s.append(buf, n);
        }
        if (f != nullptr) std::fclose(f);
        return s;
    }
    void closelog() {
        if (t.ses.ch.files[3].f != nullptr) std::fclose(t.ses.ch.files[3].f);
        t.ses.ch.files[3].f = nullptr;
    }
    // Runs the utility menu on the script: the a-x file (gt unless a test wrote another), the
    // mandatory keywords, and script.
    void go(const std::string& script) {
        dir.write("qv-t.txt",
                  "axfile " + axfile + "\ndiagramPT 1 10 400 800\npseudosection no\n" + script);
        run->files.scriptfilevar.open("qv-t.txt");
        doutilities(t.ses, *run);
    }
    std::string log() {
        closelog();
        return dir.read("log.txt");
    }
    const std::string& screen() const { return t.console.output; }
    mineraltype& mineral(int k) { return run->script.tables->minerals[k]; }

    std::string axfile = "gt";
    TempDir dir;
    TestSession t;
    std::unique_ptr<Run> run = std::make_unique<Run>();
};

}  // namespace qv::test
