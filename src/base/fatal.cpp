#include "base/fatal.hpp"

namespace qv {

void bomb(std::string_view procname, std::string_view message, Fault fault) {
    throw RunBombed{std::string(procname), std::string(message), fault};
}

void killrun() {
    throw RunKilled{};
}

void endrun() {
    throw RunEnded{};
}

}  // namespace qv
