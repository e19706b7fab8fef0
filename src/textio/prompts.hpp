#pragma once
// Console prompts: a line of words, typed values, yes/no questions and the resolution of a
// switch set to "ask". Every prompt goes to screen and log and echoes its answer to the log;
// the answer "kill" ends the run.

#include <string>
#include <string_view>

#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

// The value of a switch of the preferences or script file.
enum class controlboolean { yes = 0, no = 1, ask = 2 };

// One keyboard line split into words (backspaces applied); the end of input is fatal.
void prstrings(Session& ses, strings& words, int16& n);
void promptstrings(Session& ses, std::string_view prompt, strings& words, int16& n);
void promptstring(Session& ses, std::string_view prompt, std::string& w);
void promptreal(Session& ses, std::string_view prompt, real& x);
void promptinteger(Session& ses, std::string_view prompt, int16& i);
// n reals (n = 0 on entry: as many as the line holds, at most 40).
void promptreals(Session& ses, std::string_view prompt, rrvector& xs, int16& n);
// A yes/no question. `lastwait` marks the final "hit return" wait, where the end of input
// counts as return instead of a read error.
bool query(Session& ses, std::string_view prompt, bool lastwait = false);
void promptcontrol(Session& ses, std::string_view prompt, controlboolean& cb);

}  // namespace qv
