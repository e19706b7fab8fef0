#pragma once
// The Wichmann-Hill uniform random generator and its seeding.

#include "base/real.hpp"
#include "textio/console.hpp"
#include "textio/session.hpp"

namespace qv {

// Seeds the generator: 130, 136, 140 when fixed, else the hour, second and millisecond of `now`;
// each then plus 1, so that no component generator starts at 0.
void seedwhrandom(WhSeeds& seeds, bool fixed, const DateTime& now);
// A uniform deviate in [0, 1); advances the seeds.
real whrandom(WhSeeds& seeds);

}  // namespace qv

#include <random>

namespace qv {

// The Mersenne twister MT19937 (Matsumoto and Nishimura 1998) with uniform deviates in [0, 1)
// and standard normal deviates by the polar method. The 32-bit output sequence of MT19937 is
// fixed by its definition, and the deviates are formed here by hand, so a given seed gives the
// same numbers on every machine.
class MtRandom {
public:
    explicit MtRandom(uint32_t seed = 5489U) : gen_(seed) {}
    void seed(uint32_t s) { gen_.seed(s); }
    // gen / 2^32: a uniform deviate in [0, 1).
    real uniform();
    // A standard normal deviate (mean 0, sd 1): pairs u1, u2 = 2 uniform - 1 until
    // s = u1^2 + u2^2 lies in (0, 1); the deviate is u1 sqrt(-2 ln s / s).
    real normal();

private:
    std::mt19937 gen_;
};

}  // namespace qv
