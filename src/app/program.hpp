#pragma once
// The main program block: start-up, the loop of runs and shut-down.

#include "textio/console.hpp"

namespace qv {

// How the program starts. The product refuses calculation code 0 (the utilities); a build for
// tests admits it, so that the utility menu and the drawer can be run whole.
struct StartOptions {
    bool admitutilities = false;  // accept calculation code 0 instead of stopping
};

// Runs the whole program on the given console and clock; the result is the exit code:
// 0 after a normal end, 1 after a fatal error, 2 after "kill".
int runprogram(Console& console, Clock& clock, StartOptions options = {});

}  // namespace qv
