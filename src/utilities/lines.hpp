#pragma once
// Line processing of a drawing: crossover points, monotonic flags, joining each line to its
// begin and end points, clipping at the window and the log listing of the result.

#include "textio/session.hpp"
#include "utilities/drawdata.hpp"

namespace qv {

// Places every crossover point where its two lines cross.
void crossover(Drawing& d);
// Joins, clips and lists every line in table order.
void dolines(Session& ses, Drawing& d);
// Index of the point named `name`; 0 for "begin" and "end"; any other name stops the run.
int16 whichpoint(const Drawing& d, const std::string& name);
void monotonicline(linetype& l);
// Where point p falls along line l: segment k (1 to ncoords - 1), 0 before the first
// coordinate, ncoords after the last.
int16 pointwithinline(const linetype& l, const pointtype& p);
// Replaces the parts of line `li` beyond its begin and end points by those points.
void addpoints(Drawing& d, int li);
// True when (x, y) lies in the closed window.
bool inwindow(const DrawSettings& s, real x, real y);
// Clips line `li` at the window, with its begin and end designations (edges -1 to -4).
void cutlines(Drawing& d, int li);
// The line on the log at level 3.
void listlines(Session& ses, const Drawing& d, int li, int16 level);

}  // namespace qv
