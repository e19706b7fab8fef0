#pragma once
// The built-in diagram drawer: a phase diagram from a drawing data file to the run's SVG file.

#include "textio/session.hpp"

namespace qv {

// Utility 0: reads the drawing data file "vx-" + script word + ".txt", processes its lines,
// optionally checks the topology and builds the areas, and writes the SVG picture.
void vexlatdraw(Session& ses);

}  // namespace qv
