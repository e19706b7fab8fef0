#include "thermo/gem.hpp"

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "thermo/aqueous.hpp"
#include "thermo/einstein.hpp"
#include "thermo/fluidterms.hpp"
#include "thermo/heatcapacity.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"
#include "thermo/volume.hpp"

namespace qv {

void bad_row(std::string_view name, std::string_view reason) {
    bomb("gem", std::string(name) + ": " + std::string(reason), yourfault);
}

real gem(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name, real p,
         real t, OrderState order) {
    ++ses.gemcount;
    const real h = row[1];
    const real s = row[2];
    if (std::fabs(s) < 1e-8L) return h;
    // Codes 3 to 5 of row 31 (rounded to the nearest, halves away from 0).
    const bool einstein = gs.dsmode == 7 && row[31] >= 2.5L && row[31] < 5.5L;
    const bool melt = !name.empty() && name.back() == 'L';

    ThermoWork& w = thermowork(ses);
    EinsteinTerms cpv;
    if (einstein) {
        cpv = geinstein(gs, row, name, p, t);
    } else {
        cpv.gcp = gcp_ordinary(w, row, t);
        cpv.gv = gv_solid(ses, gs, row, name, melt, p, t);
    }
    // Summed term by term in this order, so that the last bits stay those of earlier versions.
    real g = h - t * s;
    g += cpv.gcp;
    g += cpv.gv;
    g += gfluid(ses, gs, row, name, p, t);
    g += gorder(w, gs, row, name, p, t, order);
    g += gchannel(ses, gs, row, name, p, t);
    g += gaqueous(ses, gs, row, name, p, t);
    if (!std::isfinite(g)) {
        bad_row(name, "Gibbs energy not finite (data row outside its equation of state)");
    }
    return g;
}

}  // namespace qv
