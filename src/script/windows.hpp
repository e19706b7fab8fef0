#pragma once
// Calculation windows of a run: the overall P-T window, the windows of T, P, x(CO2), ln a and mu
// that a calculation works in, their checks, the lists of values a calculation steps through and
// the printing of window values.

#include <string>
#include <string_view>

#include "base/fixed.hpp"
#include "base/real.hpp"
#include "textio/session.hpp"

namespace qv {

// Maps the overall window 283..3000 K and pminimum..1500 kbar onto 0..1.
struct PTScaling {
    real pminimum = 0.0009L;  // kbar; the script keyword "negP" lowers it
    real tscale = 0;
    real toffset = 0;
    real pscale = 0;
    real poffset = 0;
};

// The scaling for the current `pminimum`.
void setptscaling(PTScaling& s);

// Which window `inrange` tests.
enum class findtype { findt = 0, findp = 1, findxco2 = 2, findlna = 3, findmu = 4 };
// Whether a window may shrink to a single value or must be a true range.
enum class xOKtype { canbesame = 0, mustbedifferent = 1 };
// The variable calculated along a reaction line.
enum class calcvariabletype { calcpressure = 0, calctemperature = 1 };
// The variable held fixed at each point of a reaction line.
enum class othervariabletype {
    fixedpressure = 0,
    fixedtemperature = 1,
    fixedmolefractionCO2 = 2,
    fixedlnactivity = 3,
    fixedchemicalpotential = 4
};

inline constexpr int maxlinevalues = 201;
using linevector = Fixed1<real, maxlinevalues>;
inline constexpr int maxlnamu = 6;  // ln a and mu variables with a list of their own

// Fixed bounds of every P and T window.
inline constexpr real pmaxlimit = 1500;  // kbar
inline constexpr real tminlimit = 283;   // K
inline constexpr real tmaxlimit = 3000;  // K

struct Windows {
    PTScaling scaling;
    // Overall P-T window of the diagram ("diagramPT").
    real tminall = 283;      // K
    real tmaxall = 3000;     // K
    real pminall = 0.0009L;  // kbar
    real pmaxall = 1500;     // kbar
    // Calculation windows and the script's intervals ("calcT", "calcP"; 0 = no interval).
    real twinlow = 0;  // K
    real twinhigh = 0;
    real pwinlow = 0;  // kbar
    real pwinhigh = 0;
    real tinc = 0;  // K (a difference, the same in degrees C)
    real pinc = 0;  // kbar
    // Windows of the third variable of a section.
    real xwinlow = 0;  // x(CO2) of the fluid
    real xwinhigh = 0;
    real lnawinlow = 0;  // ln a, or log a when logs are to base 10
    real lnawinhigh = 0;
    real muwinlow = 0;  // kJ
    real muwinhigh = 0;
    // Decimals with which window values are printed.
    int16 pformat = 3;
    int16 tformat = 2;
    int16 xformat = 2;
    int16 lnaformat = 2;
    int16 muformat = 1;
    // The variable calculated along a reaction line of a section.
    calcvariabletype calcvariable = calcvariabletype::calcpressure;
    othervariabletype othervariable = othervariabletype::fixedtemperature;
    int32 ptcalcsmode = 0;  // 1 T at given pressures, 2 P at given temperatures

    // Current values from which a calculation starts.
    real pcur = 0;    // kbar
    real tcur = 0;    // K
    real lnacur = 0;  // ln a (log a with base-10 logs)
    real mucur = 0;   // kJ

    // The values a calculation visits, first at index 1.
    linevector pvalues{};  // kbar
    linevector tvalues{};  // K
    int16 npvalues = 0;
    int16 ntvalues = 0;
    linevector xvalues{};     // x(CO2)
    linevector xh2ovalues{};  // 1 - x(CO2)
    int16 nxvalues = 0;
    Fixed1<linevector, maxlnamu> lnavalues{};
    Fixed1<int16, maxlnamu> nlnavalues{};
    Fixed1<linevector, maxlnamu> muvalues{};  // kJ
    Fixed1<int16, maxlnamu> nmuvalues{};
};

// True when x lies in the window of `kind`, ends included; never for a NaN.
bool inrange(const Windows& w, findtype kind, real x);

// Corrects a P window (kbar) or T window (K) against the overall window, reporting each change;
// asks nothing. The pair may be fields of `w`.
void checkpwindow(Session& ses, const Windows& w, real& low, real& high, xOKtype ok);
void checktwindow(Session& ses, const Windows& w, real& low, real& high, xOKtype ok);

// Interactive checks: while the pair is bad, say why and ask it again; the fifth bad check ends
// the run. The P and T bounds are the fixed limits, not the overall window; a re-entered T pair
// is typed in degrees C.
void promptpwindow(Session& ses, real pminimum, real& low, real& high, xOKtype ok);
void prompttwindow(Session& ses, real& low, real& high, xOKtype ok);
void xco2windowOK(Session& ses, real& low, real& high, xOKtype ok);
void lnawindowOK(Session& ses, real& low, real& high, xOKtype ok);
void muwindowOK(Session& ses, real& low, real& high, xOKtype ok);
// Asks name + " low,high" for two reals.
void promptlowhigh(Session& ses, std::string_view name, real& low, real& high);

// Append one value to a table line, or its mark when outside the window: "-" below, "+" above,
// "*" at or beyond 1e20 (not found); a value below -1e20 is unset. t in degrees C, p in kbar,
// x an x(CO2) value.
void writetwin(const Windows& w, int width, std::string& line, real t);
void writepwin(const Windows& w, int width, std::string& line, real p);
void writewinval(const Windows& w, int width, std::string& line, real x);

}  // namespace qv
