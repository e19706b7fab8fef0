#pragma once
// The thermodynamic dataset file and the end-member data a run takes from it: the dataset's
// names and title, and for each end-member of the run its site multiplicity, composition,
// thermodynamic record (a row of `td`) and enthalpy covariances (rows of `cov`).

#include <string>
#include <string_view>

#include "model/datamodel.hpp"
#include "textio/infile.hpp"
#include "textio/words.hpp"

namespace qv {

struct Session;
struct Run;

inline constexpr int maxdsem = 320;        // end-members of a dataset file
inline constexpr int maxpairs = 8;         // composition pairs of one end-member
inline constexpr int maxshare = 4;         // run end-members that may share one dataset end-member
inline constexpr int nelements = maxcomp;  // rows of the built-in component table

// The composition of one run end-member as (element, amount) pairs; element indices are rows
// of the built-in component table. The amounts are atoms, or oxides once the components are
// formed from a dataset that gives oxygen.
struct CompositionPairs {
    int16 ncompel = 0;
    Fixed1<int16, maxpairs> compel;
    Fixed1<real, maxpairs> compamt;
    real compsum = 0;  // sum of the amounts as read: the atoms of the formula
};

// The components of a run's chemical system: amount of component r in end-member e is
// c[r][e] / compdenom[r].
struct SystemComponents {
    int16 ncomp = 0;
    int16 nucomp = 0;  // components used by the reactions
    scvector compnames;
    Fixed1<int32, maxcomp> compdenom;
    icvector compatoms;  // atoms in the formula of each component
};

struct Dataset {
    // The file and its header, set by pass 1.
    std::string dssuffix;     // "ds" + the dataset word
    std::string dsfilename;   // as located, cut to 22 characters
    int16 dsmode = 0;         // layout: 6 or 7 (newer), 5 (older), -1 (the 190-end-member kind)
    bool ds190 = false;       // the first number of line 1 is 190
    bool newspfluid = false;  // second coefficient set of the fluid equation of state
    int16 ndsem = 0;
    Fixed1<std::string, maxdsem> dsnames;
    Fixed1<std::string, maxdsem> dstexts;  // the formula word of layouts 6 and 7
    std::string dstitle;
    real hcovscale = 0;  // first value of the covariance block; kept, never used
    InFile file;         // open from pass 1 until the end of pass 3

    // The run's end-members. Their names and count come from the choice of phases of the run
    // (`makename`); activities and their uncertainties from `extractem`.
    strings emnames;
    int16 nem = 0;
    int16 nrxem = 0;  // end-members seen by the reaction code
    emvector emact;
    emvector emsda;
    emvector emlnavar;  // variance of ln a of each end-member

    // Per run end-member, filled by passes 2 and 3.
    iemvector nsite;
    Fixed1<CompositionPairs, maxem> comp;

    SystemComponents components;  // formed at the end of pass 2
    int16 nmode3reac = 0;         // reaction count of the reaction-diagram set-up
};

// Reads the dataset file: pass 1 locates and checks it and reads names and title; pass 2 the
// compositions of the run's end-members and their components; pass 3 (any other value) their
// thermodynamic records and enthalpy covariances, then closes the file.
void readthermo(Session& ses, Run& run, int pass);
// Position of `name` among the dataset's end-member names.
bool findemname(const Dataset& ds, std::string_view name, int16& index);

}  // namespace qv
