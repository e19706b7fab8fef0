#include "utilities/utilitytasks.hpp"

#include <string_view>

#include "textio/channels.hpp"

namespace qv {
namespace {

void notbuilt(Session& ses, std::string_view what) {
    putstr(ses, 1, "calcmode 0: " + std::string(what) + " not built yet", 1, 9);
}

}  // namespace

void conversions(Session& ses, Run& /*run*/) {
    notbuilt(ses, "the conversion of wt% analyses is");
}

void tabledriver(Session& ses, Run& /*run*/) {
    notbuilt(ses, "the thermodynamic tables are");
}

void acalc(Session& ses, Run& /*run*/) {
    notbuilt(ses, "activities from mu are");
}

void domakelist(Session& ses, Run& /*run*/) {
    notbuilt(ses, "the end-member list is");
}

}  // namespace qv
