#pragma once
// Shaded areas of a drawing: one grey polygon per area, its outline running along its lines and
// along the window edges and corners where a line ends on an edge.

#include "textio/session.hpp"
#include "utilities/drawdata.hpp"

namespace qv {

// Every area as an SVG polygon, under everything drawn later.
void doareas(Session& ses, Drawing& d);
// Index of the line named `name`; any other name stops the run.
int16 whichline(const Drawing& d, const std::string& name);
// Distance between an end of P and an end of Q (1 first point, 2 last) in window fractions.
real enddistance(const Drawing& d, int end1, int end2, const linetype& p, const linetype& q);

}  // namespace qv
