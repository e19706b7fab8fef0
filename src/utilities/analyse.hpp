#pragma once
// The topology check of a drawing and the areas built from the lines' phase lists.

#include <string>

#include "textio/session.hpp"
#include "utilities/drawdata.hpp"

namespace qv {

// Checks points and lines for a consistent phase diagram, stopping at the first class of
// faults; then replaces the areas by those built from the lines and lists them on the log.
void analyse(Session& ses, Drawing& d);
// Grey level of an area from its variance: the lowest variance of the diagram 0.95 (lightest),
// the highest 0.4; areas all of one variance take 0.95.
double areagrey(int16 variance, int16 vmin, int16 vmax);
// True when the first n names, with extra1 and extra2 where not empty, hold a name twice.
bool hasduplicate(const phasenames& list, int16 n, const std::string& extra1,
                  const std::string& extra2);
// True when each of the first nb names of b is among the first na names of a (both nonzero).
bool namesubset(const phasenames& a, int16 na, const phasenames& b, int16 nb);

}  // namespace qv
