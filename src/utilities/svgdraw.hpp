#pragma once
// The SVG picture of a drawing on the SVG channel: prologue, frame with information text, axis
// ticks and labels, lines with their numbers, and circles at the points.

#include "textio/session.hpp"
#include "utilities/drawdata.hpp"

namespace qv {

// A position: in pixels (pixel y grows downwards) or in diagram units.
struct XY {
    real x = 0;
    real y = 0;
};

// The whole picture in drawing order: lines processed, areas, frame, lines, circles.
void drawdiagram(Session& ses, Drawing& d);
// Sets the plot box for the number of information lines and writes the prologue.
void svgheader(Session& ses, Drawing& d);
// Pixel position of a point in diagram units; no clipping.
XY topixel(const Drawing& d, real x, real y);
// One coordinate pair of a point list, on the current output line.
void svgxy(Session& ses, const Drawing& d, real x, real y);
void drawframe(Session& ses, const Drawing& d);
// The point halfway along a line, lengths measured in window fractions.
XY findmid(const Drawing& d, const linetype& l);
void drawlines(Session& ses, const Drawing& d);
void drawcircles(Session& ses, const Drawing& d);

}  // namespace qv
