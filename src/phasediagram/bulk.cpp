#include "phasediagram/bulk.hpp"

#include "base/fatal.hpp"

namespace qv {

void setter(Run& run, bool xco2varon, bool& compatrowon, BulkState& bulk) {
    const ScriptSettings& sc = run.script;
    const SystemComponents& comps = run.dataset.components;
    for (int c = 1; c <= maxcomp; ++c) bulk.reducedcomp[c] = c <= comps.ncomp;
    if (sc.nlna > 0 || sc.nmu > 0 || xco2varon) compatrowon = false;
    auto position = [&](const std::string& name) {
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (comps.compnames[c] == name) return c;
        }
        return 0;
    };
    if (xco2varon) {
        for (const char* fluid : {"H2O", "CO2"}) {
            const int c = position(fluid);
            if (c > 0) bulk.reducedcomp[c] = false;
        }
    }
    for (int i = 1; i <= sc.nlna; ++i) {
        const int c = position(sc.lna[i].name);
        if (c == 0) bomb("setter", "setting non-oxide lna not implemented", yourfault);
        bulk.reducedcomp[c] = false;
    }
    for (int i = 1; i <= sc.nmu; ++i) {
        const int c = position(sc.mu[i].name);
        if (c > 0) bulk.reducedcomp[c] = false;
    }
    bulk.nuvleft = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        run.compkept[c] = bulk.reducedcomp[c];
        if (bulk.reducedcomp[c]) ++bulk.nuvleft;
    }
}

cvector bulkat(const BulkState& bulk, real w) {
    cvector b{};
    for (int c = 1; c <= bulk.nuvleft; ++c) {
        b[c] = ((1 - w) * bulk.bulkstart[c] + w * bulk.bulkend[c]) / 100;
    }
    return b;
}

}  // namespace qv
