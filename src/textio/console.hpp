#pragma once
// The process's contact with the outside world: the console and the clock. Unit tests put
// in-memory fakes in their place; the program uses the standard streams and the system clock.

#include <string>
#include <string_view>

#include "base/real.hpp"

namespace qv {

// Line-oriented console: standard output for writing, standard input for reading.
class Console {
public:
    virtual ~Console() = default;
    virtual void write(std::string_view text) = 0;
    virtual void flush() = 0;
    // One line without its line end; false at the end of input (or a read error).
    virtual bool readline(std::string& line) = 0;
};

// Local date and time of day.
struct DateTime {
    int year = 2000;
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int weekday = 0;  // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
    // Milliseconds from an arbitrary fixed origin, for elapsed times.
    virtual int64 millis() = 0;
};

class StdConsole final : public Console {
public:
    void write(std::string_view text) override;
    void flush() override;
    bool readline(std::string& line) override;
};

class SystemClock final : public Clock {
public:
    DateTime now() override;
    int64 millis() override;
};

}  // namespace qv
