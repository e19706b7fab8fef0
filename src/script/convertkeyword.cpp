#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/scriptreader.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

const char* const rs = "reading scripts";

[[noreturn]] void fail(const std::string& message) {
    bomb(rs, message, yourfault);
}

// The oxide count of a start line (value 2), or 0 when it is not a whole number.
int startcount(const ScriptValues& v) {
    return v.scriptvaltype[2] == valuetype::aninteger ? v.scriptvalint[2] : 0;
}

// convert bulk n ox1 .. oxn
void bulknames(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    const int n = startcount(v);
    if (n < 1 || v.nscriptvalues < n + 2) fail("not enough input for oxides in convert bulk");
    if (n > maxanalysis) fail("too many oxides in convert bulk" + maxtext(maxanalysis));
    s.bulkconvflag = 1;
    s.nbulkconvox = narrow16(n);
    s.nbulkconvwt = 0;
    for (int i = 1; i <= n; ++i) s.bulkconvox[i] = oxidename(v.scriptvalword[i + 2]);
}

// convert bulk wt2mole wt1 .. wtn, after the names line
void bulkamounts(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    const int n = s.nbulkconvox;
    if (n < 1 || v.nscriptvalues != n + 2) fail("wrong form for convert bulk");
    for (int i = 1; i <= n; ++i) {
        if (!isnumber(v, i + 2)) fail("wrong form for convert bulk");
        s.bulkconvwt[i] = v.scriptvalreal[i + 2];
    }
    s.nbulkconvwt = narrow16(n);
}

// convert name nox ox1 .. oxnox
void mineralstart(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    const std::string& name = v.scriptvalword[1];
    const int k = s.nwtmin < 0 ? 1 : s.nwtmin + 1;
    if (k > maxminerals) fail("too many minerals in the rock");
    const int nox = startcount(v);
    if (nox < 1) fail("not enough info in mineral start line");
    if (v.nscriptvalues < nox + 2) fail("insufficient oxnames for " + name);
    if (nox > maxanalysis) fail("too many oxides for " + name + maxtext(maxanalysis));
    mineraltype& m = s.tables->wtminerals[k];
    m = mineraltype{};
    m.name = name;
    m.nanal = narrow16(nox);
    for (int i = 1; i <= nox; ++i) m.anoxnames[i] = oxidename(v.scriptvalword[i + 2]);
    // Without an "info" line all iron counts as FeO.
    m.lnxmean = std::log(1e-5L);
    m.lnxsd = 0.001L;
    m.xlow = std::exp(m.lnxmean - 2 * m.lnxsd);
    m.xhigh = std::exp(m.lnxmean + 2 * m.lnxsd);
    s.nwtmin = narrow16(k);
    s.bulkconvflag = 1;
}

// convert name wt2xyz a1 .. anox
void analysis(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < m.nanal + 2) fail("insufficient analysis values for " + m.name);
    for (int i = 1; i <= m.nanal; ++i) {
        if (!isnumber(v, i + 2)) fail("insufficient analysis values for " + m.name);
        m.anwt[i] = v.scriptvalreal[i + 2];
    }
    m.analysisgiven = true;
}

// convert name info basis xlow xhigh a multiplier
void recalcinfo(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    for (int i = 3; i <= 7; ++i) {
        if (!isnumber(v, i)) fail("insufficient recalc info for " + m.name);
    }
    m.oxygenbasis = v.scriptvalreal[3];
    real xlow = v.scriptvalreal[4];
    real xhigh = v.scriptvalreal[5];
    m.aerr = v.scriptvalreal[6];
    if (m.aerr == 0) m.aerr = 0.035L;
    if (m.aerr < 0.025L) m.aerr = 0.025L;
    m.sdmult = v.scriptvalreal[7];
    if (m.sdmult == 0) m.sdmult = 3;
    if (m.sdmult < 1) m.sdmult = 1;
    // A range pinned at 0 or at 1 stands for iron all ferrous or all ferric: ln x is held
    // just inside, where its logarithm exists.
    const bool atzero = std::fabs(xlow) < 0.001L && std::fabs(xhigh) < 0.001L;
    const bool atone = std::fabs(xlow - 1) < 0.001L && std::fabs(xhigh - 1) < 0.001L;
    if (atzero || atone) {
        m.lnxmean = std::log(atzero ? 1e-5L : 1 - 1e-5L);
        m.lnxsd = 0.001L;
        xlow = std::exp(m.lnxmean - 2 * m.lnxsd);
        xhigh = std::exp(m.lnxmean + 2 * m.lnxsd);
    } else {
        if (xlow < 0.01L) xlow = 0.01L;
        if (xlow > xhigh - 0.001L) fail("xhigh must be bigger than xlow for " + m.name);
        m.lnxmean = (std::log(xlow) + std::log(xhigh)) / 2;
        m.lnxsd = (std::log(xhigh) - std::log(xlow)) / 4;
    }
    m.xlow = xlow;
    m.xhigh = xhigh;
    m.infogiven = true;
}

// convert name ideal peq rhs constant nterms coef1 el1 .. [peq ...]
void ideal(ScriptReader& r, mineraltype& m) {
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 7) fail("insufficient recalc info (1) for " + m.name);
    int i = 3;
    while (i <= v.nscriptvalues) {
        if (v.scriptvalword[i] != "peq") fail("insufficient recalc info (2) for " + m.name);
        if (m.npeq >= maxpeq) fail("too many peq for " + m.name);
        if (!isnumber(v, i + 1) || !isnumber(v, i + 2) || i + 3 > v.nscriptvalues ||
            v.scriptvaltype[i + 3] != valuetype::aninteger) {
            fail("insufficient recalc info (2) for " + m.name);
        }
        PeqConstraint c;
        c.rhs = v.scriptvalreal[i + 1];
        c.constant = v.scriptvalreal[i + 2];
        const int nterms = v.scriptvalint[i + 3];
        if (nterms < 1 || nterms > maxanalysis || i + 3 + 2 * nterms > v.nscriptvalues) {
            fail("insufficient recalc info (2) for " + m.name);
        }
        c.nterms = narrow16(nterms);
        for (int t = 1; t <= nterms; ++t) {
            const int at = i + 2 + 2 * t;
            if (!isnumber(v, at)) fail("insufficient recalc info (2) for " + m.name);
            c.coef[t] = v.scriptvalreal[at];
            c.names[t] = v.scriptvalword[at + 1];
        }
        m.peq[++m.npeq] = c;
        m.idealon = true;
        i += 4 + 2 * nterms;
    }
}

}  // namespace

bool convertkeyword(ScriptReader& r) {
    if (r.keyword != "convert") return false;
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (v.nscriptvalues < 4) return true;
    const std::string& first = v.scriptvalword[1];
    const std::string& sub = v.scriptvalword[2];
    if (first == "bulk") {
        if (sub == "wt2mole") {
            bulkamounts(r);
        } else {
            bulknames(r);
        }
        return true;
    }
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
