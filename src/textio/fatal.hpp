#pragma once
// Fatal stops. `bomb` and `killrun` never return: they throw, and only `main` catches, writes
// the stop text, closes the files and ends the process.

#include <string>
#include <string_view>

namespace qv {

struct Session;

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

[[noreturn]] void bomb(std::string_view procname, std::string_view message, Fault fault);
[[noreturn]] void killrun();

// True for the answer "kill" (lower case, blanks around it allowed), at least 4 characters long.
bool iskill(std::string_view s);

// What `bomb` does after the throw: the stop text on screen, summary, log and detailed results,
// closing of the files, and the wait for return unless autoexit.
void endbombed(Session& ses, const RunBombed& stop);
// What `killrun` does after the throw: "-- run killed --" on screen, summary and log, and closing.
void endkilled(Session& ses);

}  // namespace qv
