#pragma once
// Isopleths of a phase diagram run: composition variables of solution phases and the fluid's
// x(CO2) held at lists of values over which the calculation steps, each taking one unknown
// away from the equations.

#include "model/run.hpp"
#include "phasediagram/results.hpp"
#include "textio/session.hpp"

namespace qv {

// The values from low to high by inc into `values` (from index 1); returns their count. One
// value when low and high agree within 1e-8, the two ends when inc spans the range; otherwise
// trunc((high - low)/inc) + 1 values with high appended when missed by more than 1e-8, or 101
// evenly spaced values when that would need more than 201 slots.
int16 expandisovalues(real low, real high, real inc, Fixed1<real, maxisovalues>& values);

// Whether value v of composition variable `var` of solution phase `ph` gives a legal phase with
// the starting guesses of its other variables: within the variable's range and every site
// fraction positive. Phases with order variables accept every value.
bool isoplethlegal(const ptype1& ph, int var, real v);

// The x(CO2) values of the run ("xco2values") as the isopleth of the fluid's x(CO2).
// Stops the run: "x(CO2) not present", "too many isopleths" (procedure "readxco2values").
void readxco2values(Session& ses, Run& run, PdRun& pd);

// The composition isopleths, from the script's "isopleth" or by question. Stops the run with
// the messages of a bad choice or bad values (procedure "readisopleths").
void readisopleths(Session& ses, Run& run, PdRun& pd);

}  // namespace qv
