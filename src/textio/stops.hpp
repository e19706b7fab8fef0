#pragma once
// Reporting of fatal stops: what the main program block does after catching a `bomb` or a
// "kill", and the test for the answer "kill".

#include <string_view>

#include "base/fatal.hpp"

namespace qv {

struct Session;

// True for the answer "kill" (lower case, blanks around it allowed), at least 4 characters long.
bool iskill(std::string_view s);

// What `bomb` does after the throw: the stop text on screen, summary, log and detailed results,
// closing of the files, and the wait for return unless autoexit.
void endbombed(Session& ses, const RunBombed& stop);
// What `killrun` does after the throw: "-- run killed --" on screen, summary and log, and closing.
void endkilled(Session& ses);

}  // namespace qv
