// The program with calculation code 0 admitted, so that tests can run the utilities whole.
// Built for the tests only; the product refuses code 0.

#include "app/program.hpp"

int main() {
    qv::StdConsole console;
    qv::SystemClock clock;
    return qv::runprogram(console, clock, qv::StartOptions{.admitutilities = true});
}
