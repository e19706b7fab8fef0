// Renormalisation of the modes of a result without its zero-amount phases in excess.

#include "phasediagram/results.hpp"

namespace qv {

real modenormfactor(const Run& run, const Result& res, int16 slot,
                    Fixed1<bool, maxresultphases>& zeroed) {
    zeroed.fill(false);
    const ScriptSettings& sc = run.script;
    if (sc.ninexcess0 <= 0) return 1;
    real s = 0;
    for (int i = 1; i <= sc.ninexcess0; ++i) {
        for (int k = 1; k <= res.nphases; ++k) {
            if (res.ph[k].name != sc.inexcess0list[i] || zeroed[k]) continue;
            zeroed[k] = true;
            if (res.ph[k].hasmode) s += res.ph[k].mode[slot];
        }
    }
    // Zero-amount phases that make up the whole assemblage leave nothing to renormalise.
    if (s >= 1 - 1e-12L) return 1;
    return 1 / (1 - s);
}

}  // namespace qv
