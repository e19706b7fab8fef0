#pragma once
// Invariant points of a Schreinemakers analysis: the scan of the reaction tables for crossings
// of the lines of each candidate intersection, the location of each crossing, the standard
// deviations of a P-T point, its stability by Schreinemakers' rule and its printed block, and
// the stability of the reactions that meet in no printed point.

#include "reactiondiagram/diagram.hpp"

namespace qv {

// The whole search: headings, one block per located point in the window, the stability report.
void intersections(Diagram& d);

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
