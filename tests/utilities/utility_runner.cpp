// The program with calculation code 0 admitted, so that tests can run the utilities whole.
// Built for the tests only; the product refuses code 0.

#include "app/program.hpp"

namespace {

// The wall clock for elapsed times, but a time of day that stands still at noon on Monday
// 1 January 2024: the Monte Carlo seeds come from the time of day, so whole runs of the
// analyses repeat exactly.
class StillClock final : public qv::Clock {
public:
    qv::DateTime now() override {
        return qv::DateTime{.year = 2024, .month = 1, .day = 1, .weekday = 1, .hour = 12};
    }
    qv::int64 millis() override { return system.millis(); }

private:
    qv::SystemClock system;
};

}  // namespace

int main() {
    qv::StdConsole console;
    StillClock clock;
    return qv::runprogram(console, clock, qv::StartOptions{.admitutilities = true});
}
