#pragma once
// The preferences file "qv-prefs.txt": dataset, script, calculation mode and screen settings.

#include "textio/prompts.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

void readprefs(Session& ses);
// After the mandatory-keyword checks of the preferences or the script: offers to stop on
// unrecognised keywords, or stops with `stopmessage` when mandatory keywords are missing.
void reportproblems(Session& ses, std::string_view stopmessage);
// The switch word of a keyword line ("yes"/"on", "no"/"none", "ask") and the words it used.
void yesnoask(const strings& words, int16 n, controlboolean& cb, int16& used);
// The dataset file's suffix after "qv-": "ds" + the dataset word, without doubling a "ds" the
// word already begins with ("dsfile 62" and "dsfile ds62" both name qv-ds62.txt).
std::string datasetsuffix(const Preferences& prefs);

}  // namespace qv
