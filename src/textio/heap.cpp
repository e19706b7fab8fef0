#include "textio/heap.hpp"

#include <cmath>
#include <string>

#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// Whole kilobytes, halves rounded away from zero.
std::string kbytes(int32 bytes) {
    return realstr(std::round(static_cast<real>(bytes) / 1024.0L)) + "k";
}

}  // namespace

void allocspace(Session& ses, std::string_view name, int32 size) {
    ses.heapsize += size;
    if (ses.prefs.monitorheapon) {
        putstr(ses, 0,
               "space allocated for " + std::string(name) + " is " + kbytes(size) +
                   "; , heap now " + kbytes(ses.heapsize),
               1, screenmask);
    }
}

void disposespace(Session& ses, std::string_view name, int32 size) {
    ses.heapsize -= size;
    if (ses.prefs.monitorheapon) {
        putstr(
            ses, 0,
            "space disposed for " + std::string(name) + "; heap size now " + kbytes(ses.heapsize),
            1, screenmask);
    }
}

}  // namespace qv
