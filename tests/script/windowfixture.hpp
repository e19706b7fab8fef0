#pragma once
// A session on the fake console with wide screen lines, and the windows of one run with the
// script defaults.

#include <string>

#include "script/windows.hpp"
#include "support/fakes.hpp"

namespace qv::test {

struct WindowRun {
    explicit WindowRun(std::string input = {}) : t(std::move(input)) {
        t.ses.ch.pagewidth = 250;  // whole messages on the screen
        setptscaling(w.scaling);
    }
    Session& ses() { return t.ses; }
    const std::string& screen() const { return t.console.output; }

    TestSession t;
    Windows w;
};

}  // namespace qv::test
