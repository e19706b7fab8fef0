#pragma once
// The main program block: start-up, the loop of runs and shut-down.

#include "textio/console.hpp"

namespace qv {

// Runs the whole program on the given console and clock; the result is the exit code:
// 0 after a normal end, 1 after a fatal error, 2 after "kill".
int runprogram(Console& console, Clock& clock);

}  // namespace qv
