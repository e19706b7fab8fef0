#pragma once
// Layout pieces shared by the printers of phase diagram results: the column blocks of the result
// table and of the activity row on a page of given width, the rule lines of the script-form
// blocks, and the number forms that several tables share.

#include <string>
#include <string_view>
#include <vector>

#include "base/real.hpp"

namespace qv {

// A block of table columns: the variables (or end-members) first..last of one printed line.
struct ColumnBlock {
    int16 first = 0;
    int16 last = 0;
};

// True when the result table of `nlna` ln a columns and the variables 1..`nxvars` does not fit
// on a page of `pagewidth` characters.
bool resulttabletoowide(int16 nlna, int16 nxvars, int16 pagewidth);
// The blocks of variable columns (3..`nxvars`) of the result table. A narrow page puts as many
// ten-character columns after P, T and the ln a columns as the first line holds, then as many
// after an 18-character indent as every later line holds. A first line too narrow for any
// variable column gets an empty block (first > last).
std::vector<ColumnBlock> resultblocks(int16 nlna, int16 nxvars, int16 pagewidth);
// True when the activity row of `nem` end-members does not fit on the page.
bool activityrowtoowide(int16 nem, int16 pagewidth);
// The blocks of end-members 1..`nem` of the activity row.
std::vector<ColumnBlock> activityblocks(int16 nem, int16 pagewidth);

// "T(°C)" with the program's degree byte.
std::string tempcheading();
// "% " and 58 hyphens: the rule around the script-form blocks of the log.
std::string_view rule60();
// "% " and 29 hyphens: the rule between the phases of a "xyzguess" block.
std::string_view rule31();
// An amount of a component: whole numbers (within `tol`) in general form, others with 6
// decimals, right-justified in `width`.
void addamount(int width, std::string& line, real x, real tol);

}  // namespace qv
