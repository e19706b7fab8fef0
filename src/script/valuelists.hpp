#pragma once
// Lists of the values a calculation steps through: pressures and temperatures from a window and
// an interval, and x(CO2), ln a and mu values of the third variable of a section.

#include "script/windows.hpp"
#include "textio/prompts.hpp"
#include "textio/session.hpp"

namespace qv {

// What the caller calculates, and so which interval lists it needs: 0 a P-T window only, 1 T at
// given pressures (a P list), 2 P at given temperatures (a T list), 3 both lists.
using ptcalcsmodetype = int32;

// P and T lists from the window and the script's interval, asking for the interval when the
// mode needs a list and the script gave none; an interval that does not fit is adjusted without
// a word. With no interval the list is the window's low end alone.
void readpinterval(Session& ses, Windows& w, ptcalcsmodetype ptcalcsmode);
void readtinterval(Session& ses, Windows& w, ptcalcsmodetype ptcalcsmode);

// P and T lists whose interval is asked again until it fits; they also fix the decimals of
// printed P and T values. `variance` 2 keeps the larger T decimals.
void checkpinterval(Session& ses, Windows& w, int16 variance);
void checktinterval(Session& ses, Windows& w);

// x(CO2) values within the x(CO2) window: a standard set is offered, otherwise typed.
void listxco2(Session& ses, Windows& w);
// Values of ln a variable k (log a unless `lnacb` is yes) and of mu variable k, kJ, stepping
// through low..high by an interval that is asked for.
void listlna(Session& ses, Windows& w, int16 k, real low, real high, controlboolean lnacb);
void listmu(Session& ses, Windows& w, int16 k, real low, real high);

}  // namespace qv
