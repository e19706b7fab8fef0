#pragma once
// Fractionation steps: a rock followed along a straight P-T path in equal steps; at every step
// the mode of one phase (a fluid or melt) above the retained proportion, the porosity, is taken
// out of the rock, and the rest, with the retained part, is the bulk of the next step. Works on
// the rbi tableau of the rock (each phase's mode and composition) and the batch members (member
// 1 the rock's assemblage, the others each holding one phase's mode at zero).

#include <string>

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

inline constexpr int maxrbi = 80;  // rows of the rbi tableau

// The "fractionation" settings: the phase and seven numbers.
struct FractSettings {
    std::string phase;  // the phase fractionated
    real porosity = 0;  // its mode retained in the rock after each removal
    real unused = 0;    // read and kept; the run does not use it
    real p0 = 0;        // kbar, step 0
    real t0 = 0;        // K, step 0
    real dp = 0;        // kbar per step
    real dt = 0;        // K per step
    int16 maxruns = 0;  // greatest run number
};

// The phases of the rock: per row its mode (one-atom basis) and its amount of each system
// component in one formula unit.
struct RbiTableau {
    int16 nrbi = 0;
    Fixed1<std::string, maxrbi> names{};
    Fixed1<real, maxrbi> modes{};
    Fixed1<cvector, maxrbi> comps{};
};

// The state of a fractionation run.
struct FractState {
    int16 fractstep = 0;      // steps taken
    int16 fractphaserow = 0;  // the fractionated phase's row in the tableau
    real totalfract = 0;      // proportions removed so far ("lost")
    RbiTableau rbi;
    Fixed1<bool, maxcomp> flagged{};  // the components of the bulk (batch member 1's)
    int16 nbulk = 0;                  // their number
    cvector fractcomp{};              // moles of each component in the fractionated phase
    cvector restcomp{};               // and in the rest of the rock
    cvector fractbulkcomp{};          // the bulk, one entry per flagged component in order
    cvector bulk{};                   // that bulk normalised to 100: the members' bulk
    real p = 0;                       // kbar, the step's P
    real t = 0;                       // K, the step's T
    bool fillporosity = false;        // the first step is repeated with the porosity filled
    bool fractstop = false;           // a member changed the assemblage within the step
    int16 naheadinstep = 0;
    real bestahead = -1;
    real lostnow = 0;
};

// Moles of each component in row i of the tableau, from its mode on the one-atom basis.
cvector rowmoles(const RbiTableau& rbi, const SystemComponents& comps, int16 i);

// Starts a fractionation run from the tableau and the bulk (per flagged component, in order).
// `rbigiven` is the script's "rbi" switch. Stops the run: "cannot fractionate without rbi",
// "bad name \"<phase>\"" (procedure "setupfract").
void setupfract(Session& ses, const Run& run, const FractSettings& fs, bool rbigiven,
                const RbiTableau& rbi, const Fixed1<bool, maxcomp>& flagged, const cvector& bulk,
                FractState& f);

// Before every run after the first: the next step along the path, removing the phase's excess
// over the porosity from the bulk.
void dofract(Session& ses, const Run& run, const FractSettings& fs, FractState& f);

// After a good result of member 1: the tableau from the solved modes and compositions of the
// assemblage. `modes` are the mode unknowns; `rows` the composition of each phase present in
// the order of the modes. Stops the run: "fract dimensions mismatch" (procedure "fractbulk").
void fractbulk(Session& ses, const Run& run, const FractSettings& fs, int16 nmodes,
               const Fixed1<real, maxeq>& modes, int16 nrows, const Fixed1<cvector, maxrbi>& rows,
               FractState& f);

}  // namespace qv
