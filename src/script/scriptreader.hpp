#pragma once
// The state of one script read and the typed readers of keyword values, shared by the keyword
// groups.

#include <initializer_list>
#include <string>
#include <string_view>

#include "base/fixed.hpp"
#include "script/readscripts.hpp"
#include "script/settings.hpp"
#include "script/windows.hpp"
#include "textio/prompts.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

// The values of the current entry, slot i for the i-th word after the keyword and its switch.
struct ScriptValues {
    int16 nscriptvalues = 0;
    Fixed1<valuetype, maxvalues> scriptvaltype{};
    srrvector scriptvalword{};
    irrvector scriptvalint{};  // an integer word's value, else 0
    rrvector scriptvalreal{};  // every numeric word's value, else 0
};

struct ScriptReader {
    Session& ses;
    ScriptSettings& s;
    Windows& w;
    std::string keyword;
    controlboolean cb = controlboolean::yes;  // the entry's switch
    int16 used = 1;                           // 2 when a switch word was written
    std::string switchword;                   // that word, when written
    ScriptValues v;
    ScriptOptions opt{};  // what the run's calculation decides about the keywords
};

bool scriptisnumeric(valuetype t);
// Whether the entry's keyword is one of `names`.
bool iskeyword(const ScriptReader& r, std::initializer_list<std::string_view> names);
// Whether value i of the entry is there and is a word, a number, a whole number.
bool isword(const ScriptValues& v, int i);
bool isnumber(const ScriptValues& v, int i);
bool isinteger(const ScriptValues& v, int i);
// Fills the value record from words nused+1 .. nwords of the entry.
void scriptvalues(ScriptReader& r, const strings& words, int16 nwords, int16 nused);
// Removes the first n values.
void dropvalues(ScriptValues& v, int n);

// Typed readers: true when the values may be used; otherwise the problem is reported and
// counted, or, under "strictscripting", the run stops.
bool scriptreal(ScriptReader& r, real low, real high);
bool scriptreals(ScriptReader& r, int16& n);
bool scriptinteger(ScriptReader& r, int16 low, int16 high);
bool scriptintegers(ScriptReader& r, int16& n);
bool scriptstring(ScriptReader& r);
bool scriptstrings(ScriptReader& r, int16& n);

// Values k, k+1 (or k) as pressures in kbar or temperatures in degrees C (stored in K); yes
// when taken from the script, no when a default had to be used.
controlboolean scriptprange(ScriptReader& r, real& plow, real& phigh, int k, real pmin, real pmax);
controlboolean scripttrange(ScriptReader& r, real& tlow, real& thigh, int k);
controlboolean scriptonep(ScriptReader& r, real& p, int k, real pmin, real pmax);
controlboolean scriptonet(ScriptReader& r, real& t, int k);

// A reader's message: "for " + keyword + text, on screen and log after a blank line.
void scriptmessage(ScriptReader& r, const std::string& text);
std::string inquotes(std::string_view s);
// The script file being read, as the input errors of its values name it.
std::string scriptfilename(const ScriptReader& r);
// Stop the run with an input error naming `what`, its value and the script file when a
// pressure p (kbar) is not above 0, or a temperature tc (degrees C) not above absolute zero:
// no calculation could use them.
void checkscriptp(const ScriptReader& r, const std::string& what, real p);
void checkscriptt(const ScriptReader& r, const std::string& what, real tc);
// Oxide names "FeOt" and "FeOtot" stand for FeO.
std::string oxidename(const std::string& w);

// The keyword groups: each handles the entry and returns true when it knows the keyword.
bool runkeyword(ScriptReader& r);
bool diagramkeyword(ScriptReader& r);
bool guesskeyword(ScriptReader& r);
bool batchkeyword(ScriptReader& r);
bool convertkeyword(ScriptReader& r);
// The closing adjustments of batches, filters and Monte Carlo lines.
void closebatches(ScriptReader& r, bool ds190);

}  // namespace qv
