#pragma once
// What every benchmark case shares: a console and a clock that do nothing, the best time per call
// of a timed pass, and the reference unit, one long double log and exp, timed in the same run.

#include <functional>
#include <string>
#include <string_view>

#include "base/real.hpp"
#include "textio/console.hpp"

namespace qv {

// A console that swallows the program's messages and has no input.
class QuietConsole final : public Console {
public:
    void write(std::string_view) override {}
    void flush() override {}
    bool readline(std::string&) override { return false; }
};

// A clock that always reads zero.
class NoClock final : public Clock {
public:
    DateTime now() override { return {}; }
    int64 millis() override { return 0; }
};

// Best time per call (ns) of `pass`, which makes `calls` calls, over repeated passes of at least
// a tenth of a second in all.
real time_per_call(const std::function<void()>& pass, long calls);
// The reference unit (ns): one long double log and one exp on arguments like those of `gem`.
real reference_ns();

}  // namespace qv
