#pragma once
// The window of a reaction diagram: the ranges of its two variables, which of P and T is
// calculated along a reaction line, the value of the variable held fixed, the starting values
// and the list of values of the grid variable.

#include <string>

#include "script/fluidcomp.hpp"
#include "script/settings.hpp"
#include "script/windows.hpp"
#include "textio/session.hpp"

namespace qv {

// Sets the windows of diagram type `diagram`. Without `askwindow` only the fixed variable and
// the fluid are taken and the windows keep their values. `lnalabel` receives the label of the
// ln a variable of the ln a sections.
void diagramwindowsetup(Session& ses, diagramtype diagram, ScriptSettings& s, Windows& w,
                        int16 variance, FluidComposition& fluid, std::string& lnalabel,
                        bool askwindow);
// The P-T type: P or T calculated ("calcTatP") and the windows of both, the calculated one a
// true range.
void univariantsetup(Session& ses, const ScriptSettings& s, Windows& w);

}  // namespace qv
