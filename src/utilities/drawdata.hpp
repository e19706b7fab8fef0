#pragma once
// The drawing data of the built-in diagram drawer: the points, lines and shaded areas of a phase
// diagram, the drawing settings, and the reader of the drawing data file "vx-" + script word.
// Coordinates are in diagram units (those of the window, e.g. T in degrees C, P in kbar).

#include <memory>
#include <string>

#include "base/fixed.hpp"
#include "base/real.hpp"
#include "textio/infile.hpp"
#include "textio/prompts.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

inline constexpr int maxpoints = 500;      // points of a drawing
inline constexpr int maxlines = 800;       // lines of a drawing
inline constexpr int maxareas = 300;       // shaded areas of a drawing
inline constexpr int maxlinecoords = 201;  // coordinates of one line
inline constexpr int maxdrawphases = 20;   // nonzero-mode phases of a point or line label
inline constexpr int maxareanames = 15;    // lines (or points) that bound one area
inline constexpr int maxinfo = 10;         // information lines above the plot box
inline constexpr int maxnvar = 20;         // numbers in each coordinate row of the data file

using linevector = Fixed1<real, maxlinecoords>;
// Phase names of a label, with room for the zero-mode phases that a full list adds.
using phasenames = Fixed1<std::string, maxdrawphases + 2>;

// An invariant point (or any marked point), an entry of the data file whose name begins "i".
struct pointtype {
    std::string name;
    phasenames phases;      // nonzero-mode phases of the label
    std::string zeromode1;  // zero-mode phases after "-" ("none" for a missing one)
    std::string zeromode2;
    int16 nphases = 0;
    bool invariant = false;  // "invariant" followed the phase list
    bool plain = false;      // no phase label
    real x = 0;              // position in diagram units
    real y = 0;
    bool crossover = false;  // placed where its two lines cross
    std::string crossline1;  // the two lines of a crossover point
    std::string crossline2;
    int16 crossindex1 = 0;  // their indices, found by the line processing
    int16 crossindex2 = 0;
    bool inside = false;            // lies in the closed window
    Fixed1<int16, 4> pointlines{};  // the four lines at the point (diagram analysis)
};

// A univariant line (or any drawn line), an entry of the data file whose name begins "u".
struct linetype {
    std::string name;
    phasenames phases;     // nonzero-mode phases of the label
    std::string zeromode;  // zero-mode phase after "-" ("none" when "-" has no name)
    int16 nphases = 0;
    bool univariant = false;  // "univariant" followed the phase list
    bool plain = false;       // no phase label
    linevector x{};           // coordinates in diagram units
    linevector y{};
    int16 ncoords = 0;
    std::string beginname;  // a point name, "begin" or "end"
    std::string endname;
    // Begin and end designation: a point index (> 0), 0 a free end, -1 bottom, -2 left,
    // -3 top, -4 right window edge.
    int16 beginindex = 0;
    int16 endindex = 0;
    bool connect = false;  // drawn straight from its begin point to its end point
    bool xmonotonic = false;
    bool ymonotonic = false;
    bool outside = false;  // wholly outside the window: not drawn
    bool dashed = false;
    bool thick = false;
    bool coloured = false;
    Fixed1<int16, 3> rgb{};  // red, green, blue, 0 to 255
    int16 area1 = 0;         // area on the side of its phase list (diagram analysis)
    int16 area2 = 0;         // area on the side of its phase list with its zero-mode phase
};

// A shaded area of the diagram.
struct atype {
    double grey = 0;                            // 0 the dark colour, 1 the light colour
    Fixed1<std::string, maxareanames> names{};  // bounding lines in outline order
    Fixed1<int16, maxareanames> lineindex{};    // their line indices
    int16 nnames = 0;
    phasenames areaphases;  // the field's assemblage (diagram analysis)
    int16 nareaphases = 0;
    int16 areavariance = 0;
    phasenames orderedphases;  // the assemblage in the order of "phaseorder"
    int16 norderedphases = 0;
    int16 listposition = 0;  // place in the log listing, by decreasing centre y
    std::string phasetext;
    real centrex = 0;  // centre in diagram units
    real centrey = 0;
};

// A colour as red, green and blue, 0 to 255.
struct rgbcolour {
    real r = 0;
    real g = 0;
    real b = 0;
};

// The settings section at the end of the data file.
struct DrawSettings {
    controlboolean analysecb = controlboolean::no;     // check the topology, build the areas
    controlboolean doareascb = controlboolean::yes;    // draw the areas
    controlboolean numberingcb = controlboolean::no;   // number the lines and points
    int16 numbersize = 0;                              // point size of the numbers, 4 to 14
    controlboolean docirclescb = controlboolean::yes;  // circles at the points
    int16 circleradius = 0;                            // pixels, 1 to 7
    bool windowgiven = false;
    real xlow = 0;  // window in diagram units
    real xhigh = 0;
    real ylow = 0;
    real yhigh = 0;
    bool bigticksgiven = false;
    real xgap = 0;  // big tick gaps and first ticks
    real xstart = 0;
    real ygap = 0;
    real ystart = 0;
    bool smallticks = false;
    real xsmallgap = 0;
    real ysmallgap = 0;
    Fixed1<std::string, maxinfo> info{};  // lines of text above the plot box
    int16 ninfo = 0;
    strings phaseorder{};  // order of phases in the area listing
    int16 nphaseorder = 0;
    strings inexcessnames{};  // phases in excess, left out of the area listing
    int16 ninexcess = 0;
    rgbcolour lightcolour{255, 255, 255};
    rgbcolour darkcolour{0, 0, 0};
};

// The plot box of the SVG picture in pixels.
struct PlotBox {
    int16 left = 60;
    int16 right = 520;
    int16 top = 44;
    int16 bottom = 504;
};

// Everything a drawing reads, computes and draws.
struct Drawing {
    std::unique_ptr<Fixed1<pointtype, maxpoints>> point;
    int16 npoint = 0;
    std::unique_ptr<Fixed1<linetype, maxlines>> line;
    int16 nline = 0;
    std::unique_ptr<Fixed1<atype, maxareas>> areas = std::make_unique<Fixed1<atype, maxareas>>();
    int16 narea = 0;
    int16 nvar = 0;        // numbers in each coordinate row
    int16 systemsize = 0;  // number of components of the system
    DrawSettings set;
    PlotBox box;

    pointtype& pt(int i) { return (*point)[i]; }
    linetype& ln(int i) { return (*line)[i]; }
    atype& area(int i) { return (*areas)[i]; }
};

// A point interpolated along the rows of a line.
struct Interpolated {
    bool found = false;
    real x = 0;
    real y = 0;
};

// "running at" and the date on the log; makes the point and line tables.
void drawlogheader(Session& ses, Drawing& d);
// Reads the drawing data file into the tables and the settings, and closes it.
void readdata(Session& ses, Drawing& d);
// The settings section, from the open file to its end or to a line beginning "*".
void readscript(Session& ses, Drawing& d, InFile& f);
// The point of rows (x, y, i) where i = a + b y: with b = 0 along the rows at i = a.
Interpolated interpolateline(const linevector& xs, const linevector& ys, const linevector& is,
                             int16 n, real a, real b);
// Hook after each point (kind 1), line (2) and area (3), and at the end (4, index 0).
void showentry(int16 kind, int16 index);

}  // namespace qv
