#include "textio/console.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace qv {

void StdConsole::write(std::string_view text) {
    // A console that can no longer be written to (a closed pipe) does not stop the run: the
    // results go to the files, whose writes are checked.
    (void)std::fwrite(text.data(), 1, text.size(), stdout);
}

void StdConsole::flush() {
    (void)std::fflush(stdout);
}

bool StdConsole::readline(std::string& line) {
    line.clear();
    int ch = std::getchar();
    if (ch == EOF) return false;
    while (ch != EOF && ch != '\n') {
        appendinputbyte(line, ch);
        ch = std::getchar();
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

DateTime SystemClock::now() {
    using namespace std::chrono;
    const auto t = system_clock::now();
    const std::time_t tt = system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&tt, &local);
    DateTime d;
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.weekday = local.tm_wday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = local.tm_sec;
    d.millisecond =
        static_cast<int>(duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000);
    return d;
}

int64 SystemClock::millis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace qv
