#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/scriptreader.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// Pressures print with 4 decimals below 0.1 kbar so that pminimum (0.0009) stays visible.
std::string pstr(real p) {
    return realfixstr(p < 0.1L ? 4 : 1, true, p);
}

std::string degc(real t) {
    return realstr(t) +
           "\xA1"
           "C";
}

constexpr real tlowc = 9.85L;      // 283 K
constexpr real thighc = 2726.85L;  // 3000 K

// After a reader's message: stop under "strictscripting", else count the problem and say what
// happens next.
bool failed(ScriptReader& r, const char* strictmessage, const char* followup) {
    if (r.s.strictscriptingon) bomb("reading script for " + r.keyword, strictmessage, yourfault);
    ++r.ses.prefs.scriptproblems;
    putstr(r.ses, 0, followup, 1, screenlogmask);
    return false;
}

// A range reader's message: always counted, never strict.
void rangeproblem(ScriptReader& r, const std::string& text) {
    scriptmessage(r, text);
    ++r.ses.prefs.scriptproblems;
}

const char* const correctit = "info in the script needs to be corrected";

}  // namespace

std::string inquotes(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

std::string scriptfilename(const ScriptSettings& s) {
    return "qv-" + s.scriptsuffix + ".txt";
}

std::string scriptfilename(const ScriptReader& r) {
    return scriptfilename(r.s);
}

void checkscriptp(const ScriptReader& r, const std::string& what, real p) {
    checkinput(p > 0, "reading scripts", what, p, "must be above 0 kbar", scriptfilename(r));
}

void checkscriptt(const ScriptReader& r, const std::string& what, real tc) {
    checkinput(tc + 273.15L > 0, "reading scripts", what, tc, "must be above absolute zero",
               scriptfilename(r));
}

std::string oxidename(const std::string& w) {
    return w == "FeOt" || w == "FeOtot" ? std::string("FeO") : w;
}

void scriptmessage(ScriptReader& r, const std::string& text) {
    putstr(r.ses, 1, "for " + r.keyword + text, 1, screenlogmask);
}

bool scriptisnumeric(valuetype t) {
    return isnumeric(t);
}

bool iskeyword(const ScriptReader& r, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) {
        if (r.keyword == n) return true;
    }
    return false;
}

bool isword(const ScriptValues& v, int i) {
    return i <= v.nscriptvalues && v.scriptvaltype[i] == valuetype::astring;
}

bool isnumber(const ScriptValues& v, int i) {
    return i <= v.nscriptvalues && isnumeric(v.scriptvaltype[i]);
}

bool isinteger(const ScriptValues& v, int i) {
    return i <= v.nscriptvalues && v.scriptvaltype[i] == valuetype::aninteger;
}

void scriptvalues(ScriptReader& r, const strings& words, int16 nwords, int16 nused) {
    ScriptValues& v = r.v;
    v.scriptvaltype.fill(valuetype::anemptystring);
    v.scriptvalword.fill(std::string());
    v.scriptvalint.fill(0);
    v.scriptvalreal.fill(0);
    v.nscriptvalues = narrow16(nwords - nused);
    if (v.nscriptvalues <= 0) {
        v.nscriptvalues = 0;
        return;
    }
    if (v.nscriptvalues > maxvalues) {
        bomb("reading script for " + r.keyword, "too much info", yourfault);
    }
    const std::string where = "reading script for " + r.keyword;
    for (int i = 1; i <= v.nscriptvalues; ++i) {
        const std::string& w = words[nused + i];
        v.scriptvalword[i] = w;
        valuetype t = whatis(w);
        v.scriptvaltype[i] = t;
        std::string msg;
        bool ok = true;
        if (t == valuetype::aninteger) {
            int16 k = 0;
            if (str2int(w, k, msg)) {
                v.scriptvalint[i] = k;
                v.scriptvalreal[i] = k;
            } else {
                // too large for 16 bits: still a good real
                v.scriptvaltype[i] = valuetype::areal;
                ok = str2real(w, v.scriptvalreal[i], msg);
            }
        } else if (t == valuetype::areal) {
            ok = str2real(w, v.scriptvalreal[i], msg);
        } else if (t == valuetype::arational) {
            int16 num = 0;
            int16 den = 1;
            ok = str2rational(w, num, den, msg);
            if (ok) v.scriptvalreal[i] = static_cast<real>(num) / static_cast<real>(den);
        }
        if (!ok) bomb(where, "number is not a number", myfault);
    }
}

void dropvalues(ScriptValues& v, int n) {
    if (n <= 0 || v.nscriptvalues <= n) return;
    for (int i = n + 1; i <= v.nscriptvalues; ++i) {
        v.scriptvaltype[i - n] = v.scriptvaltype[i];
        v.scriptvalword[i - n] = v.scriptvalword[i];
        v.scriptvalint[i - n] = v.scriptvalint[i];
        v.scriptvalreal[i - n] = v.scriptvalreal[i];
    }
    for (int i = v.nscriptvalues - n + 1; i <= maxvalues; ++i) {
        v.scriptvaltype[i] = valuetype::anemptystring;
        v.scriptvalword[i].clear();
        v.scriptvalint[i] = 0;
        v.scriptvalreal[i] = 0;
    }
    v.nscriptvalues = narrow16(v.nscriptvalues - n);
}

bool scriptreal(ScriptReader& r, real low, real high) {
    const ScriptValues& v = r.v;
    const char* const next = "a real will be prompted for";
    if (v.nscriptvalues < 1) {
        scriptmessage(r, ", no info given: one real expected");
        return failed(r, "real expected", next);
    }
    if (!scriptisnumeric(v.scriptvaltype[1])) {
        scriptmessage(r, ", info given is " + inquotes(v.scriptvalword[1]));
        return failed(r, "real expected", next);
    }
    const real x = v.scriptvalreal[1];
    if (low != high && (x < low || x > high)) {
        scriptmessage(r, ", info given is " + inquotes(v.scriptvalword[1]) + ", but limits are " +
                             realfixstr(3, true, low) + " to " + realfixstr(3, true, high));
        return failed(r, "real inappropriate", next);
    }
    return true;
}

bool scriptinteger(ScriptReader& r, int16 low, int16 high) {
    const ScriptValues& v = r.v;
    const char* const next = "an integer will be prompted for";
    if (v.nscriptvalues < 1) {
        scriptmessage(r, ", no info given: one integer expected");
        return failed(r, "integer expected", next);
    }
    if (v.scriptvaltype[1] != valuetype::aninteger) {
        scriptmessage(r, ", info given is " + inquotes(v.scriptvalword[1]));
        return failed(r, "integer expected", next);
    }
    const int16 k = v.scriptvalint[1];
    if (low != high && (k < low || k > high)) {
        scriptmessage(r, ", info given is " + inquotes(v.scriptvalword[1]) + ", but limits are " +
                             realstr(low) + " to " + realstr(high));
        return failed(r, "integer inappropriate", next);
    }
    return true;
}

namespace {

// The words of a list of reals or of integers, and which value types they accept.
struct ListKind {
    const char* plural;   // "reals", "integers"
    const char* counted;  // what the count message calls the values
    const char* notjust;  // the tail of the message for a word of another kind
    bool integersonly;
};

// A list of n values (n = 0: as many as the line gives); n becomes the count taken.
bool scriptlist(ScriptReader& r, int16& n, const ListKind& kind) {
    const ScriptValues& v = r.v;
    const std::string expected = std::string(kind.plural) + " expected";
    if (v.nscriptvalues < 1) {
        scriptmessage(r, ", no info given: one or more " + std::string(kind.plural) + " expected");
        return failed(r, expected.c_str(), correctit);
    }
    if (n > v.nscriptvalues) {
        scriptmessage(r, ", only " + realstr(v.nscriptvalues) + " " + kind.counted +
                             " in a line, but " + realstr(n) + " needed");
        return failed(r, expected.c_str(), correctit);
    }
    const int16 m = n == 0 ? v.nscriptvalues : n;
    for (int i = 1; i <= m; ++i) {
        const valuetype t = v.scriptvaltype[i];
        const bool ok = kind.integersonly ? t == valuetype::aninteger : scriptisnumeric(t);
        if (!ok) {
            scriptmessage(r, ", info includes " + inquotes(v.scriptvalword[i]) + kind.notjust);
            return failed(r, expected.c_str(), correctit);
        }
    }
    n = m;
    return true;
}

}  // namespace

bool scriptreals(ScriptReader& r, int16& n) {
    return scriptlist(r, n, {"reals", "numbers", ", not just reals", false});
}

bool scriptintegers(ScriptReader& r, int16& n) {
    return scriptlist(r, n, {"integers", "integers", " not just integers", true});
}

bool scriptstring(ScriptReader& r) {
    if (r.v.nscriptvalues >= 1) return true;
    scriptmessage(r, ", no info given: one string expected");
    return failed(r, "string expected", "a string is needed (or will be prompted for)");
}

bool scriptstrings(ScriptReader& r, int16& n) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 1) {
        scriptmessage(r, ", no info given: one or more strings expected");
        return failed(r, "strings expected", correctit);
    }
    if (n > v.nscriptvalues) {
        scriptmessage(r, ", only " + realstr(v.nscriptvalues) + "numbers in line but " +
                             realstr(n) + " needed");
        return failed(r, "strings expected", correctit);
    }
    if (n == 0) n = v.nscriptvalues;
    return true;
}

controlboolean scriptprange(ScriptReader& r, real& plow, real& phigh, int k, real pmin, real pmax) {
    real lo = r.v.scriptvalreal[k];
    real hi = r.v.scriptvalreal[k + 1];
    controlboolean result = controlboolean::yes;
    if (hi < lo) {
        rangeproblem(r, ", the 2nd P in the P range must be larger than the 1st P");
        std::swap(lo, hi);
        result = controlboolean::no;
    }
    if (lo < pmin && hi > pmax) {
        rangeproblem(r, ", the P range needs to be within " + pstr(r.w.scaling.pminimum) +
                            " kbar to " + pstr(pmax) + " kbar; default used");
        return controlboolean::no;
    }
    if (lo < pmin) {
        rangeproblem(r, ", the bottom of the P range needs to be greater than " + pstr(pmin) +
                            " kbar; default used");
        phigh = hi;
        return controlboolean::no;
    }
    if (hi > pmax) {
        rangeproblem(r, ", the top of the P range needs to be less than " + pstr(pmax) +
                            " kbar; default used");
        plow = lo;
        return controlboolean::no;
    }
    plow = lo;
    phigh = hi;
    return result;
}

controlboolean scripttrange(ScriptReader& r, real& tlow, real& thigh, int k) {
    real lo = r.v.scriptvalreal[k];
    real hi = r.v.scriptvalreal[k + 1];
    controlboolean result = controlboolean::yes;
    if (hi < lo) {
        rangeproblem(r, ", the 2nd T in the T range must be larger than the 1st T");
        std::swap(lo, hi);
        result = controlboolean::no;
    }
    if (lo < tlowc && hi > thighc) {
        rangeproblem(r, ", the T range needs to be within " + degc(tlowc) + " to " + degc(thighc) +
                            "; default used");
        return controlboolean::no;
    }
    if (lo < tlowc) {
        rangeproblem(r, ", the bottom of the T range needs to be greater than " + realstr(tlowc) +
                            " \xA1"
                            "C; default used");
        thigh = hi + 273.15L;
        return controlboolean::no;
    }
    if (hi > thighc) {
        rangeproblem(r, ", the top of the T range needs to be less than " + realstr(thighc) +
                            " \xA1"
                            "C; default used");
        tlow = lo + 273.15L;
        return controlboolean::no;
    }
    tlow = lo + 273.15L;
    thigh = hi + 273.15L;
    return result;
}

controlboolean scriptonep(ScriptReader& r, real& p, int k, real pmin, real pmax) {
    const real x = r.v.scriptvalreal[k];
    if (x < pmin) {
        rangeproblem(r,
                     ", the one P needs to be greater than " + pstr(pmin) + " kbar; default used");
        p = r.w.scaling.pminimum;
        return controlboolean::no;
    }
    if (x > pmax) {
        rangeproblem(r, ", the one P needs to be less than " + pstr(pmax) + " kbar; default used");
        p = 1500;  // the highest pressure of any window
        return controlboolean::no;
    }
    p = x;
    return controlboolean::yes;
}

controlboolean scriptonet(ScriptReader& r, real& t, int k) {
    const real tk = r.v.scriptvalreal[k] + 273.15L;
    if (tk < 283) {
        rangeproblem(r, ", the one T needs to be greater than " + degc(tlowc) + "; default used");
        t = 283;
        return controlboolean::no;
    }
    if (tk > 3000) {
        rangeproblem(r, ", the one T needs to be less than " + degc(thighc) + "; default used");
        t = 3000;
        return controlboolean::no;
    }
    t = tk;
    return controlboolean::yes;
}

}  // namespace qv
