#pragma once
// The overall P-T window of a run and the P and T ranges of its calculations within it.

#include <string>
#include <string_view>

#include "script/settings.hpp"
#include "script/valuelists.hpp"
#include "script/windows.hpp"
#include "textio/session.hpp"

namespace qv {

// Fixes the overall P-T window: from the script's "diagramPT", or typed after advice to use the
// script; a typed window outside 283..3000 K and pminimum..1500 kbar ends the run.
void dofigPT(Session& ses, const RunSetupSettings& s, Windows& w);

// Fixes the P and T windows of the calculations, by `ptcalcsmode` (0 a P-T window, 1 T at given
// pressures, 2 P at given temperatures, other both lists), from the script's "calcP" and
// "calcT" or typed. `heading` names the P-T window, `ptext` and `ttext` the P and T ranges.
void specifyptcalcs(Session& ses, RunSetupSettings& s, Windows& w, ptcalcsmodetype ptcalcsmode,
                    std::string_view heading, std::string_view ptext, std::string_view ttext);

// Append the current T window (degrees C) or P window (kbar) to a report line.
void addtwindow(const Windows& w, std::string& line);
void addpwindow(const Windows& w, std::string& line);

}  // namespace qv
