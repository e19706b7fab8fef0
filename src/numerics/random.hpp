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
