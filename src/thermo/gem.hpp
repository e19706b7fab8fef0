#pragma once
// Gibbs energy of one dataset end-member at P and T from its 31-value data row: enthalpy and
// entropy, heat-capacity integral, volume integral of the equation of state with thermal pressure
// (modified Tait, melts, the Murnaghan form of the 190 layout, the Einstein variant), the pure and
// minor fluids with the H2O-CO2 mixing term, Landau and Bragg-Williams order-disorder, the
// channel fluid of cordierite and the aqueous terms.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/real.hpp"
#include "base/runkinds.hpp"
#include "model/datamodel.hpp"
#include "textio/session.hpp"

namespace qv {

// What the dataset, the script and the calibration decide about the forms of `gem`; the run's
// set-up fills it once.
struct GemSettings {
    int16 dsmode = 6;        // dataset layout 5, 6 or 7 (-1: 190 layout)
    bool ds190 = false;      // the 190-end-member layout with its older property forms
    bool newspfluid = true;  // Sterner-Pitzer fluids (dataset name "6" or "7"), else CORK
    ftype runftype = ftype::notset;
    bool hqzon = false;        // script "hqz": exponential cold curve of the Einstein variant
    bool numericalon = false;  // script "numerical": Simpson rule for the Einstein correction
    int16 debuglev = 1;
    // Calibration switch: the aqueous species without the 0.03354 T and Debye-Hueckel terms, and
    // the cordierite channel fluid only where the experiment admits it.
    bool calibration = false;
    // The H2O-CO2 channel fluid of cordierite is counted (outside the calibration); the
    // equilibrium solves of phase diagrams and of states of order leave it out.
    bool channelfluid = false;
    // Calibration state.
    bool pthwarnonly = false;     // warn and clamp a too large thermal pressure
    int16 currentxp = 1;          // experiment being assembled or written
    bool xpchannelfluid = false;  // the experiment admits the cordierite channel fluid

    bool operator==(const GemSettings&) const = default;
};

// Stops the run for end-member `name` whose data row leaves its equations (procedure "gem").
[[noreturn]] void bad_row(std::string_view name, std::string_view reason);

// Order state of an order-disorder end-member: at equilibrium, fully ordered (Q = 1) or fully
// disordered (Q = 0). Made end-members may ask for the last two.
enum class OrderState { equilibrium, ordered, disordered };

inline constexpr real trefk = 298.15L;  // reference temperature, K
inline constexpr real prefk = 0.001L;   // reference pressure, kbar
// Powers of Tr stored to 17 significant digits rather than formed from trefk at each call: the
// heat-capacity and Murnaghan integrals of every end-member are bit-stable against them.
inline constexpr real trinv = 0.0033540164346805299L;     // 1/Tr
inline constexpr real trsq = 88893.4225L;                 // Tr^2
inline constexpr real trsqrt = 17.267020588393354L;       // Tr^1/2
inline constexpr real trinvsq = 1.1249426244107093e-05L;  // 1/Tr^2
inline constexpr real trinvsqrt = 0.05791387083143839L;   // 1/Tr^1/2

// A term of G (kJ) with its derivatives by P (kJ/kbar, a volume) and T (kJ/K, minus an entropy)
// from the same evaluation.
struct GTerm {
    real g = 0;
    real dgdp = 0;
    real dgdt = 0;
};

// The tables of terms that depend on the temperature alone keep them by slot, from the bits of
// the temperature: a search in T, and the differences of G, come back to a few temperatures
// (the window's ends) among ever new ones.
inline constexpr std::size_t temperatureslots = 16;
inline std::size_t temperatureslot(real t) {
    const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(t));
    return static_cast<std::size_t>((bits * 0x9e3779b97f4a7c15ULL) >> 60);
}
static_assert(temperatureslots == 16);  // the 4 bits of the shift above

// G (kJ) of the end-member with data row `row` and name `name` at p (kbar) and t (K).
// Counts one evaluation in ses.gemcount. Rows 27 and 28 hold x(CO2) and x(H2O) of the fluid.
real gem(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name, real p,
         real t, OrderState order = OrderState::equilibrium);

}  // namespace qv
