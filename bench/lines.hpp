#pragma once
// Timing of the reaction-line tables of reaction diagrams: the time of one grid point of a line
// (the root search of the reaction in the enlarged window), for a solid-solid reaction and a
// dehydration.

#include <functional>
#include <ostream>

#include "model/run.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"

namespace qv {

// Best ns per call of a pass that makes the given number of calls.
using PassTimer = std::function<real(const std::function<void()>& pass, long calls)>;

// Writes gem calls, ns and reference units per line-table point of ky = sill (T at 1-15 kbar) and
// of mu + q = san + sill + H2O (P at 400-800 C, pure water), against the reference time ref (ns).
void reactionlinebench(Session& ses, Run& run, const GemSettings& gs, real ref,
                       const PassTimer& timer, std::ostream& out);

}  // namespace qv
