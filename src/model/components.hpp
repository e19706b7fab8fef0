#pragma once
// The components of a run's chemical system, formed from the compositions of its end-members,
// and the pruning of components no end-member needs and end-members that alone hold one.

#include "model/datamodel.hpp"
#include "model/dataset.hpp"

namespace qv {

struct Session;
struct Run;

// Builds the component list, the integer composition matrix c (component x end-member) with a
// common denominator per component, and the atoms of each component, from the composition
// pairs of ds.nem end-members. When oxygen is given the pairs are atoms and become oxides (the
// pairs are converted in place, with an oxygen pair appended where there was none).
void makeoxides(const ComponentTable& table, bool ds190, Dataset& ds, icmatrix& c);
// The same on the run's own state (the settings' copy of the 190-end-member flag).
void makeoxides(Run& run);
// Removes components held by no end-member and end-members that alone hold a component,
// reporting each excluded end-member; fewer than two end-members left stops the run.
void clean(Session& ses, Run& run);

}  // namespace qv
