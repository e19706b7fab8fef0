#pragma once
// The compositions of a run's end-members in the system components, made end-members included,
// and their atoms per formula unit.

namespace qv {

struct Run;

// Gives every end-member of every phase its composition and rebuilds the composition matrix c
// column by column in phase order (solution-phase end-members, then pure phases), drops the
// components no end-member holds, and keeps c integral by scaling a component row and its
// common denominator where a made end-member's divisor leaves a fraction.
void makeemc(Run& run);
// Atoms per formula unit of every end-member (its real1), summed over the components the
// calculation keeps; with the 190-end-member dataset the number of oxide units instead.
void countcomp(Run& run);

}  // namespace qv
