#pragma once
// Accounting of the large global arrays: every allocation and release is counted and, with the
// preference "monitorheap", reported on the screen.

#include <string_view>

#include "textio/session.hpp"

namespace qv {

void allocspace(Session& ses, std::string_view name, int32 size);
void disposespace(Session& ses, std::string_view name, int32 size);

}  // namespace qv
