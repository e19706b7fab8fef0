#pragma once
// The calibration's end-member file: reading it into the calibration's own end-member table,
// finding end-members by name and the special end-members of a list, reading the calibration's
// a-x file, and writing the end-members back in the new layout after a fit.

#include <string>
#include <string_view>

#include "calibration/calibdata.hpp"
#include "model/run.hpp"
#include "textio/infile.hpp"
#include "textio/session.hpp"

namespace qv {

// Reads the open end-member file into `tda`, `ntp` and `dsmode`.
void readth(Session& ses, Calibration& cal, InFile& f);
// Reads the calibration's a-x file and names its phases after four reserved slots.
void readax(Session& ses, Run& run, Calibration& cal);
// Number of the end-member called `name` (blanks trimmed); 0 and false when there is none, or
// a fatal stop when `stop`.
bool posinphname(const Calibration& cal, std::string_view name, int16& ix, bool stop);
// Positions (1..n) of H2O, crd, CO2, fcrd, O2 and S2 among the end-member numbers of `list`.
SpecialPositions specialems(const Calibration& cal, const Fixed1<int16, maxlist>& list, int16 n);
// A remark text cleaned for writing after "% ": trimmed, without enclosing braces or a leading
// "% ".
std::string stripbraces(std::string_view s);
// Writes the end-members with their fitted enthalpies as "ds-em" + suffix + "-i.txt".
void writeemfile(Session& ses, Calibration& cal);

}  // namespace qv
