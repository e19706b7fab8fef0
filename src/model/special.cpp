#include "model/special.hpp"

#include "model/run.hpp"

namespace qv {

int16 findemno(Run& run, std::string_view name) {
    SpecialEms& sp = run.special;
    int16 pos = 0;
    sp.foundflag = posinlist(name, run.dataset.emnames, run.dataset.nem, pos);
    for (int i = 1; i <= sp.nexcludedems && pos != 0; ++i) {
        if (sp.excludedems[i] == pos) pos = 0;
    }
    return pos;
}

void setspecialphases(Run& run) {
    SpecialEms& sp = run.special;
    sp.co2em = findemno(run, "CO2");
    sp.h2oem = findemno(run, "H2O");
    sp.aqsiem = findemno(run, "aqSi");
    sp.crdem = findemno(run, "crd");
    sp.fcrdem = findemno(run, "fcrd");
    if (run.script.nlna > 0) sp.lnaem = findemno(run, run.script.lna[1].name);
}

}  // namespace qv
