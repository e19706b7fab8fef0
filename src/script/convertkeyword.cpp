#include <string>

#include "base/fatal.hpp"
#include "script/scriptreader.hpp"

namespace qv {
namespace {

const char* const rs = "reading scripts";

[[noreturn]] void fail(const std::string& message) {
    bomb(rs, message, yourfault);
}

bool isnumber(const ScriptValues& v, int i) {
    return i <= v.nscriptvalues && isnumeric(v.scriptvaltype[i]);
}

// convert bulk n ox1 .. oxn wt2mole
void bulkconversion(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    const int n = v.scriptvaltype[2] == valuetype::aninteger ? v.scriptvalint[2] : 0;
    if (n < 1 || v.nscriptvalues < n + 2) fail("not enough input for oxides in convert bulk");
    if (v.nscriptvalues != n + 3 || v.scriptvalword[n + 3] != "wt2mole") {
        fail("wrong form for convert bulk");
    }
    s.bulkconvflag = 1;
    s.nbulkconvox = static_cast<int16>(n);
    for (int i = 1; i <= n; ++i) s.bulkconvox[i] = oxidename(v.scriptvalword[i + 2]);
}

// convert name nox ox1 .. oxnox
void mineralstart(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    const std::string& name = v.scriptvalword[1];
    const int k = s.nwtmin < 0 ? 1 : s.nwtmin + 1;
    if (k > maxminerals) fail("too many minerals in the rock");
    if (v.scriptvaltype[2] != valuetype::aninteger || v.scriptvalint[2] < 1) {
        fail("not enough info in mineral start line");
    }
    const int nox = v.scriptvalint[2];
    if (v.nscriptvalues < nox + 2) fail("insufficient oxnames for " + name);
    mineraltype& m = s.tables->wtminerals[k];
    m = mineraltype{};
    m.name = name;
    m.nox = static_cast<int16>(nox);
    for (int i = 1; i <= nox; ++i) m.oxnames[i] = oxidename(v.scriptvalword[i + 2]);
    s.nwtmin = static_cast<int16>(k);
}

// convert name wt2xyz a1 .. anox
void analysis(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < m.nox + 2) fail("insufficient analysis values for " + m.name);
    for (int i = 1; i <= m.nox; ++i) {
        if (!isnumber(v, i + 2)) fail("insufficient analysis values for " + m.name);
        m.analysis[i] = v.scriptvalreal[i + 2];
    }
    m.nanal = m.nox;
}

// convert name info xlow xhigh and further recalculation values
void recalcinfo(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 6) fail("insufficient recalc info for " + m.name);
    for (int i = 3; i <= v.nscriptvalues; ++i) {
        if (!isnumber(v, i)) fail("insufficient recalc info for " + m.name);
    }
    if (v.scriptvalreal[4] <= v.scriptvalreal[3])
        fail("xhigh must be bigger than xlow for " + m.name);
    m.xlow = v.scriptvalreal[3];
    m.xhigh = v.scriptvalreal[4];
    m.ninfo = 0;
    for (int i = 5; i <= v.nscriptvalues; ++i) m.info[++m.ninfo] = v.scriptvalreal[i];
    m.infogiven = true;
}

// convert name ideal ... with at most four "peq" items, each followed by at least two values
void ideal(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 7) fail("insufficient recalc info (1) for " + m.name);
    m.npeq = 0;
    m.nideal = 0;
    for (int i = 3; i <= v.nscriptvalues; ++i) {
        if (v.scriptvalword[i] == "peq") {
            if (++m.npeq > maxpeq) fail("too many peq for " + m.name);
            if (v.nscriptvalues < i + 2) fail("insufficient recalc info (2) for " + m.name);
        }
        m.ideal[++m.nideal] = v.scriptvalword[i];
    }
}

}  // namespace

bool convertkeyword(ScriptReader& r) {
    if (r.keyword != "convert") return false;
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 4) return true;
    const std::string& first = v.scriptvalword[1];
    if (first == "bulk") {
        bulkconversion(r);
        return true;
    }
    const std::string& sub = v.scriptvalword[2];
    if (sub != "wt2xyz" && sub != "info" && sub != "ideal") {
        mineralstart(r);
        return true;
    }
    if (s.nwtmin < 1) fail("missing mineral start line");
    mineraltype& m = s.tables->wtminerals[s.nwtmin];
    if (first != m.name) fail("not for the same mineral, for " + first);
    if (sub == "wt2xyz") {
        analysis(r, m);
    } else if (sub == "info") {
        recalcinfo(r, m);
    } else {
        ideal(r, m);
    }
    return true;
}

}  // namespace qv
