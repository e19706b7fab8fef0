#include "thermo/fluidterms.hpp"

#include <cmath>

#include "thermo/fluids.hpp"

namespace qv {

namespace {

constexpr real tr = trefk;

// Minor fluids of the corresponding-states form: name, Tcrit (K), Pcrit (kbar).
struct MinorFluid {
    std::string_view name;
    real tcrit;
    real pcrit;
};
// Their names start with H, C or S, as do H2O and CO2 (gfluid tests the first letter first).
constexpr MinorFluid minorfluids[] = {{"CH4", 190.6L, 0.046L},
                                      {"H2", 41.2L, 0.0211L},
                                      {"CO", 132.9L, 0.035L},
                                      {"H2S", 373.2L, 0.0893L},
                                      {"S2", 259.6L, 0.08L}};

// H2O-CO2 non-ideal mixing term of one of the pair: v1, v2 the volumes of H2O and CO2.
real fluidmix(std::string_view name, bool forh2o, real xco2, real xh2o, real v1, real v2) {
    if (v1 == 0 || v2 == 0) bad_row(name, "zero fluid volume in the H2O-CO2 mixing term");
    const real w = 10.5L * (v1 + v2) / (v1 * v2);
    const real den = xh2o * v1 + xco2 * v2;
    if (den == 0) bad_row(name, "zero fluid volume in the H2O-CO2 mixing term");
    if (forh2o) return 2 * w * xco2 * xco2 * v1 * v2 * v2 / ((v1 + v2) * den * den);
    return 2 * w * xh2o * xh2o * v2 * v1 * v1 / ((v1 + v2) * den * den);
}

}  // namespace

real gfluid(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name, real p,
            real t) {
    // Every fluid name starts with H, C or S: the rest have no fluid term.
    if (name.empty() || (name[0] != 'H' && name[0] != 'C' && name[0] != 'S')) return 0;
    const real xco2 = row[27];
    const real xh2o = row[28];
    if (name == "H2O" || name == "CO2") {
        // The other fluid of the pair is evaluated only for the mixing term.
        const bool h2o = name == "H2O";
        const FluidState self =
            h2o ? spfluid(ses, gs.newspfluid, p, t) : spfluid2(ses, gs.newspfluid, p, t);
        const bool mixture = h2o ? (xco2 > 0 && xh2o < 1) : (xco2 < 1 && xh2o > 0);
        if (gs.runftype != ftype::ih2oco2 || !mixture) return self.rtlnf;
        const FluidState other =
            h2o ? spfluid2(ses, gs.newspfluid, p, t) : spfluid(ses, gs.newspfluid, p, t);
        const real vh2o = h2o ? self.v : other.v;
        const real vco2 = h2o ? other.v : self.v;
        return self.rtlnf + fluidmix(name, h2o, xco2, xh2o, vh2o, vco2);
    }
    real g = 0;
    for (const MinorFluid& mf : minorfluids) {
        if (name == mf.name) g = corkfluid(p, t, mf.pcrit, mf.tcrit).rtlnf;
    }
    return g;
}

real gchannel(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              real p, real t) {
    const bool channel = gs.calibration ? gs.xpchannelfluid : gs.channelfluid;
    if (!channel || (name != "crd" && name != "fcrd")) return 0;
    const real xco2 = row[27];
    const real xh2o = row[28];
    real sum = 1;
    if (xh2o > 0) {
        const real c3 = gs.ds190 ? 41.79L : 42.84L;
        const real k1 =
            std::exp((0.109L * t - c3 + 0.0083L * ((t - tr) - t * std::log(t / tr))) / (rgas * t));
        const real f = std::exp(spfluid(ses, gs.newspfluid, p, t).rtlnf / (rgas * t));
        sum += xh2o * f / k1;
    }
    if (xco2 > 0) {
        const real k2 = std::exp(-1930 / t + 12.73L);
        const real f = std::exp(spfluid2(ses, gs.newspfluid, p, t).rtlnf / (rgas * t));
        sum += xco2 * f / k2;
    }
    return -rgas * t * std::log(sum);
}

}  // namespace qv
