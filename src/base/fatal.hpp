#pragma once
// Fatal stops. `bomb` and `killrun` never return: they throw, and only the main program block
// catches, reports the stop, closes the files and ends the process.

#include <string>
#include <string_view>

namespace qv {

// The kind of a fatal error: the user's input or files, or an internal fault.
enum class Fault { yourfault = 0, myfault = 1 };
inline constexpr Fault yourfault = Fault::yourfault;
inline constexpr Fault myfault = Fault::myfault;

struct RunBombed {
    std::string procname;
    std::string message;
    Fault fault;
};
struct RunKilled {};
// The run has finished its work early (the duDA+ brute-force scan): the process ends normally,
// through the closing of the files.
struct RunEnded {};

[[noreturn]] void bomb(std::string_view procname, std::string_view message, Fault fault);
[[noreturn]] void killrun();
[[noreturn]] void endrun();

}  // namespace qv
