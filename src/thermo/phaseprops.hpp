#pragma once
// Compositions and thermodynamic properties of the phases of a solved equilibrium: the amounts
// of the components in a solution phase at its composition variables, the Gibbs energy and
// chemical potential of every end-member of the calculation, and G, S, V, H and density of each
// phase of the assemblage with the sums of the whole system per bulk composition.

#include <functional>

#include "base/grow.hpp"
#include "model/crossrefs.hpp"
#include "model/dataset.hpp"
#include "model/phases.hpp"
#include "model/run.hpp"
#include "thermo/makes.hpp"
#include "thermo/reactions.hpp"

namespace qv {

inline constexpr int maxbulk = 202;        // bulk compositions a run can sum over
inline constexpr int maxpropsphases = 15;  // phases of one solved equilibrium

// Amount of each component (1..ncomp, every component of the run) in solution phase `ph` whose
// composition variables are read from x[offset..]: the proportion-weighted end-member formulas,
// not normalised.
void calcphasecomp(const ptype1& ph, const eqvector& x, int offset, const SystemComponents& sc,
                   cvector& comp);

// The activities of the calculation's end-members at natural solver values x, p (kbar) and
// t (K) into the vector given (1 for pure phases).
using ActivityFn = std::function<void(const eqvector& x, real p, real t, emvector& activity)>;

// The end-members of a calculation as the phase properties number them: every end-member of
// every solution phase of the layout (whatever the phase set says), then one per pure phase of
// the set; `td`, names and make lists for `gemdriver`.
struct PhaseEmTables {
    const Run& run;
    const Fixed1<bool, maxcomp>& syscomp;  // the system components among the run's
    const CrossRefs& xref;
    tdmatrix& td;  // values 27 and 28 of the rows evaluated take u and v
    const GemSettings& gs;
    ActivityFn activities;
    // The end-member G a solve formed at its last point, or none. A value formed at the same P
    // and T with the same settings, data row (u and v included) and name is taken from it in place
    // of a `gemdriver` call, and counts the calls it stands for in ses.gemcount; never where a G
    // evaluation may write a warning or debug lines.
    const EmGCache* solved = nullptr;
};

// G (kJ) and chemical potential mu = G + RT ln a (kJ) of each end-member of the calculation at
// p (kbar), t (K) and the fluid terms u = x(CO2), v = x(H2O); returns their count.
// Also leaves the activities used.
int16 calcphaseemg(Session& ses, const PhaseEmTables& tab, const bemvector& phases,
                   const eqvector& x, emvector& g, emvector& mu, emvector& activity, real p, real t,
                   real u, real v);

// Index in the oxide table of each system component (the components with `syscomp` set, in
// order); stops the run ("makemw2c": name " not found??") for a component that is not an oxide.
Fixed1<int16, maxcomp> makemw2c(const ComponentTable& oxides, const SystemComponents& sc,
                                const Fixed1<bool, maxcomp>& syscomp);

// Properties of one phase of a solved equilibrium. In: its composition in the system
// components and its two weights per bulk composition (mode and factor). Out: per end-member its
// proportion, G and RT ln a (kJ), and G (kJ), S (kJ/K), V (kJ/kbar), H (kJ) and density (g/cm3)
// of the phase.
struct PhaseProps {
    cvector comp;
    Fixed1<real, maxbulk> mode;
    Fixed1<real, maxbulk> factor;
    int16 nem = 0;
    Fixed1<real, maxssem> p;
    Fixed1<real, maxssem> gem;
    Fixed1<real, maxssem> rtlna;
    real g = 0;
    real s = 0;
    real v = 0;
    real h = 0;
    real density = 0;
};
// Made as they are written: a point has a handful of phases of 7.7 kB each.
using PhasePropsTable = Grow1<PhaseProps, maxpropsphases>;

// Sums of the system per bulk composition: G, H, S, V weighted by the phases' mode and factor,
// and the density from the bulk composition (0 when V is 0). bulk[i] is composition i in the
// system components (in), made as it is written (most runs have one).
struct SystemProps {
    int16 nbulk = 1;
    Grow1<cvector, maxbulk> bulk;
    Fixed1<real, maxbulk> g;
    Fixed1<real, maxbulk> h;
    Fixed1<real, maxbulk> s;
    Fixed1<real, maxbulk> v;
    Fixed1<real, maxbulk> density;
};

// Sets `sums` to the state of a fresh table (as `sums = SystemProps{}`), and copies `from` into
// `to` (as `to = from`), touching only the bulk compositions that are in use. Both need tables
// whose entries above `nbulk` are zero: a fresh table and every table formed from it by the mode
// step factors and `calcgphase` are. A table holds 16 kB, most of which a point never uses.
void clear_sums(SystemProps& sums);
void copy_sums(SystemProps& to, const SystemProps& from);

// Copies `from` into `to` (as `to = from`) but for the mode and factor of the bulk compositions
// above `nbulk` (at least the first is copied). A table holds 7.7 kB, most of which a point never
// uses.
void copy_props(PhaseProps& to, const PhaseProps& from, int nbulk);

// G, S, V, H and density of every phase of the set, solution phases in layout order then pure
// phases, into props[1..] (maxpropsphases at most); S and V by forward differences of the chemical
// potentials (2e-4 K, 2e-5 kbar). A pure phase of fixed activity a below 1 has G lowered by RT
// ln(1/a). With `sums` the system sums over its nbulk mode sets (its rows above nbulk must be
// zero, as in a fresh table or one that `clear_sums` left with nbulk set). Stops the run: "vph=0"
// (solution phase) or "vph=0 2" (pure phase) for a phase of zero volume.
void calcgphase(Session& ses, const PhaseEmTables& tab, const bemvector& phases, const eqvector& x,
                real p, real t, real u, real v, PhasePropsTable& props, SystemProps* sums);

}  // namespace qv
