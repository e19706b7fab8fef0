#pragma once
// The search for the invariant points of a reaction diagram, shared by its steps: the scan and
// location of crossings (intersections.cpp) and the analysis and printed block of a point
// (intersectionblock.cpp).

#include <vector>

#include "reactiondiagram/intersections.hpp"

namespace qv {

using gridrow = Fixed1<real, maxgrid>;
using gridflags = Fixed1<bool, maxgrid>;

// One branch of one member of the candidate in a group of crossing lines.
struct Entry {
    int16 member = 0;
    int16 branch = 1;
};

// The search over the candidates of one diagram; the methods share its state.
struct IntersectionSearch {
    explicit IntersectionSearch(Diagram& dg) : d(dg), ds(dg.ds), dr(dg.dr) {}

    Diagram& d;
    DiagramState& ds;
    DiagramRun& dr;
    int16 npoints = 0;

    // The current candidate.
    int16 ii = 0;
    int16 n = 0;
    Fixed1<int16, maxintreac> member{};
    Fixed1<iemvector, maxintreac> rows{};
    Fixed1<gridrow, maxintreac> local1{};
    Fixed1<gridrow, maxintreac> local2{};
    Fixed1<gridflags, maxintreac> valid1{};
    Fixed1<gridflags, maxintreac> valid2{};
    Fixed1<gridflags, maxintreac> cross1{};
    Fixed1<gridflags, maxintreac> cross2{};

    // The group of the last location; its first two entries give the uncertainties.
    Fixed1<Entry, maxintreac + 1> group{};
    int16 ngroup = 0;

    // The cell of the last `setupptx`: grid values and the two lines' values at its ends.
    real xlo = 0;  // x(k-1)
    real xhi = 0;  // x(k)
    real alo = 0;
    real ahi = 0;
    real blo = 0;
    real bhi = 0;

    Fixed1<bool, maxreac> involved{};
    int16 found = 0;
    std::vector<InvariantPoint> points;  // the analyses of the printed points

    void heading();
    void candidate(int16 c);
    void keeppoint(real x, real y, bool converged);
    bool findcrossings();
    void crossingincell(int16 k, int16 m1, int16 m2, int b1, int b2, bool& order, bool& restart,
                        bool& crossing);
    bool calcptx(real& x, real& y, bool& converged);
    void setupptx(int16 ra, int16 rb, int ba, int bb, int16 k);
    bool lineintersect(real& x, real& y) const;
    bool crossesincell(int16 p, int16 q, int bp, int bq, int16 k) const;
    // The analysis of a kept point (x, y); for a stable point it turns the members' reactions
    // at the point and copies their rows again.
    InvariantPoint analysepoint(real x, real y, bool stable, bool converged);
    // The start of the point's printed block: its heading and, when stable, its reactions.
    void printheader(const InvariantPoint& a);

    gridflags& crossflags(int b, int16 m) { return b == 1 ? cross1[m] : cross2[m]; }
    const gridrow& localrow(int b, int16 m) const { return b == 1 ? local1[m] : local2[m]; }
};

}  // namespace qv
