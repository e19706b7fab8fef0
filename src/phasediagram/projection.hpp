#pragma once
// The projection of the phases of each result onto a compatibility diagram: the plane's apices
// (compositions in the bulk components, from the script's "projplane" block or asked for, with
// every pure phase in excess as a further apex) and the projected coordinates of the phases.

#include <string>

#include "phasediagram/calcwhat.hpp"
#include "phasediagram/results.hpp"

namespace qv {

inline constexpr int maxprojapices = 8;  // apices of a projection plane, pure phases included

struct ProjectionPlane {
    int16 nprojox = 0;      // apices, the pure phases in excess last
    int16 nexcesspure = 0;  // pure phases in excess among them
    bool fromscript = false;
    Fixed1<std::string, maxprojapices> apexnames{};
    Fixed1<cvector, maxprojapices> apices{};  // per bulk component, in their order
    ReducedSystem rs;                         // the bulk components
};

// The projection plane of the run into `pd.proj`, from the script's block when it fits the
// run, otherwise asked for; written to the log in script form when it was asked for. Switches
// the projection off when the answers cannot be read. Apices (the pure phases in excess among
// them) that are not independent compositions are asked for again, or, from the script, stop the
// run naming the apex and the file. Stops the run: "too big", "no projection plane", "wrong size
// of compname", "oxides don't match", "short-cutting A", "short-cutting B", "system too big"
// (procedure "readprojplane").
void readprojplane(Session& ses, Run& run, PdRun& pd);

// Adds every pure phase in excess to the plane as a further apex, its composition over the
// bulk components. Stops the run: "system too big" (more than 8 apices; "readprojplane").
void addexcessapices(Run& run, ProjectionPlane& plane);

// The coordinates of one composition (over the bulk components) in terms of the columns
// (the plane's apices and the phases projected from), and the sum of its plane-apex part.
struct ProjectedPoint {
    Fixed1<real, maxcomp + 1> c{};  // one per column, then the composition's own
    int16 n = 0;                    // columns + 1
    real s = 0;                     // sum over the plane apices proper
};
ProjectedPoint projectpoint(const Fixed1<cvector, maxcomp>& columns, int16 ncolumns, int16 nplane,
                            int16 nuvleft, const cvector& comp);

// The projected compositions of the phases of a good result (and, with "projcomp", of the bulk
// compositions), with the drawing-program and csv lists when "compatibility" is yes.
void printprojection(Session& ses, Run& run, PdRun& pd, SolveState& st);

}  // namespace qv
