#pragma once
// Invariant points of a Schreinemakers analysis: the scan of the reaction tables for crossings
// of the lines of each candidate intersection, the location of each crossing, the standard
// deviations of a P-T point, its stability by Schreinemakers' rule and its printed block, and
// the stability of the reactions that meet in no printed point.

#include <vector>

#include "reactiondiagram/diagram.hpp"

namespace qv {

// One reaction through a stable invariant point, as the point's table shows it.
struct PointReaction {
    int16 member = 0;    // its place among the candidate's reactions
    int16 reaction = 0;  // its number in the run's reaction table, turned at the point
    // The slope of its line through the point: dP/dT (kbar/K) on a P-T diagram, else the grid
    // variable per unit of the calculated one; 1e20 when vertical or when the line does not move
    // with the grid variable, 0 when a root was not found.
    real slope = 0;
    std::vector<int16> absent;  // the point's phases (end-members) that it leaves out
    // The side of the point (low or high value of the calculated variable) on which it is stable
    // by Schreinemakers' rule; set for the reactions in `order`.
    bool stablelow = false;
    bool stablehigh = false;
};

// The analysis of one kept point of a candidate invariant point: its stability and phases and,
// for a stable point, its physical variables and reactions in the order of their slopes.
struct InvariantPoint {
    int16 candidate = 0;  // number of the candidate in the run's list
    bool converged = false;
    bool stable = false;
    real x = 0;  // grid coordinate
    real y = 0;  // calculated coordinate
    // The end-members with a non-zero coefficient in some of its reactions.
    Fixed1<bool, maxem> involved{};
    // Only for a stable point:
    DiagramPoint at;                       // P kbar, T K, fluid, ln a and mu of the point
    std::vector<PointReaction> reactions;  // in the candidate's order
    // Places by slope, smallest first: indices into `reactions`. The order is cyclic: the place
    // before the first is the last. A reaction with no number for a slope has no place.
    std::vector<std::size_t> order;
};

// The whole search: headings, one block per located point in the window, the stability report.
// Returns the analyses of the printed points.
std::vector<InvariantPoint> intersections(Diagram& d);

// sd(P) (kbar), sd(T) (K) and their correlation at a P-T point (x, y) of reactions r1 and r2.
struct PointSd {
    real sdp = 0;
    real sdt = 0;
    real cor = 0;
};
PointSd intersectionptx(Diagram& d, int16 r1, int16 r2, real x, real y);

// True when the located point (x, y) of candidate ii is stable: no reaction that shares phases
// with it has its less stable side wholly among the point's phases.
bool stableintersection(Diagram& d, int16 ii, real x, real y);
// Reports the stability of each reaction not involved in a printed point, at the first grid
// point where it lies in the window.
void rstable(Diagram& d, const Fixed1<bool, maxreac>& involved);

// A reaction text without its coefficients (the digits of H2O and CO2 stay).
std::string cleanlabel(const std::string& text);

}  // namespace qv
