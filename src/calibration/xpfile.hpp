#pragma once
// The calibration's observations: the end-member and a-x files, then the experimental data
// file with direct calorimetry, oxide calorimetry and experiments with their brackets.

#include <string>
#include <string_view>

#include "calibration/calibdata.hpp"
#include "model/run.hpp"
#include "textio/infile.hpp"
#include "textio/session.hpp"
#include "thermo/thermowork.hpp"

namespace qv {

// Text of a reaction: reactants (negative coefficients) " = " products, terms joined by " + ",
// each the coefficient's magnitude (left out when 1) followed by the end-member's name.
std::string reactiontext(const Calibration& cal, const Fixed1<int16, maxlist>& coef,
                         const Fixed1<int16, maxlist>& ix, int16 n);
// Heat content (kJ) of end-member t between 298.15 K and T.
real heatcontent(ThermoWork& w, const tdrec& t, int16 dsmode, real T);
// Reads the open experimental data file (the end-member file has been read).
void readxpfile(Session& ses, const Run& run, Calibration& cal, InFile& f,
                std::string_view filename = {});
// Reads the end-member file, the a-x file and the experimental data file.
void readxy(Session& ses, Run& run, Calibration& cal);

}  // namespace qv
