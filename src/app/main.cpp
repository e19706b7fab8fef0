#include "app/program.hpp"

int main() {
    qv::StdConsole console;
    qv::SystemClock clock;
    return qv::runprogram(console, clock);
}
