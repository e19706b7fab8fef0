// The keywords of starting guesses: P-T, compositions and modes.
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/scriptreader.hpp"

namespace qv {
namespace {

const char* const rs = "reading scripts";

void ptguess(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.ptguesscb = r.cb;
    if (r.cb == controlboolean::no) return;
    int16 n = 2;
    if (!scriptreals(r, n)) {
        s.ptguesscb = controlboolean::no;
        return;
    }
    const real p = r.v.scriptvalreal[1];
    const real t = r.v.scriptvalreal[2] + 273.15L;
    if (p < r.w.scaling.pminimum || p > 1500 || t < 283 || t > 3000) {
        s.ptguesscb = controlboolean::no;
        return;
    }
    s.ptguessp = p;
    s.ptguesst = t;
}

// A guess: name value [sd value] [range low high].
bool readguess(const ScriptValues& v, int first, XyzGuess& g) {
    if (v.nscriptvalues < first + 1 || !isnumber(v, first + 1)) return false;
    g = XyzGuess{};
    g.name = v.scriptvalword[first];
    g.value = v.scriptvalreal[first + 1];
    int i = first + 2;
    if (i <= v.nscriptvalues && v.scriptvalword[i] == "sd") {
        if (!isnumber(v, i + 1)) return false;
        g.sd = v.scriptvalreal[i + 1] < 0 ? 0 : v.scriptvalreal[i + 1];
        i += 2;
    }
    if (i <= v.nscriptvalues && v.scriptvalword[i] == "range") {
        if (!isnumber(v, i + 1) || !isnumber(v, i + 2)) return false;
        g.low = v.scriptvalreal[i + 1];
        g.high = v.scriptvalreal[i + 2];
        g.rangegiven = true;
    }
    return true;
}

void xyzguess(ScriptReader& r) {
    ScriptSettings& s = r.s;
    if (s.nxyzguess == 0) return;  // dropped by an earlier bad entry
    XyzGuess g;
    if (r.cb != controlboolean::yes || !readguess(r.v, 1, g)) {
        s.nxyzguess = 0;
        s.xyzguesscb = controlboolean::no;
        return;
    }
    const int k = s.nxyzguess < 0 ? 1 : s.nxyzguess + 1;
    if (k > maxxyzguess) bomb(rs, "too many xyzguess", yourfault);
    s.tables->xyzguess[k] = g;
    s.nxyzguess = narrow16(k);
    s.xyzguesscb = controlboolean::yes;
}

void modeguess(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (s.nmodeguess == 0) return;
    if (r.cb != controlboolean::yes || v.nscriptvalues < 2 || !isnumber(v, 2)) {
        s.nmodeguess = 0;
        s.modeguesscb = controlboolean::no;
        return;
    }
    const int k = s.nmodeguess < 0 ? 1 : s.nmodeguess + 1;
    if (k > maxmodeguess) bomb(rs, "too many modeguess", yourfault);
    s.tables->modeguess[k] = ModeGuess{v.scriptvalword[1], v.scriptvalreal[2]};
    s.nmodeguess = narrow16(k);
    s.modeguesscb = controlboolean::yes;
}

}  // namespace

bool guesskeyword(ScriptReader& r) {
    if (iskeyword(r, {"ptguess"})) {
        ptguess(r);
    } else if (iskeyword(r, {"xyzguess", "readxyz", "xyz"})) {
        xyzguess(r);
    } else if (iskeyword(r, {"modeguess"})) {
        modeguess(r);
    } else {
        return false;
    }
    return true;
}

}  // namespace qv
