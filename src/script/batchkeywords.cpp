#include <string>
#include <string_view>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/readscripts.hpp"
#include "script/scriptreader.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

const char* const rs = "reading scripts";

[[noreturn]] void fail(std::string_view message) {
    bomb(rs, message, yourfault);
}

int16 nextcount(int16 n) {
    return n < 0 ? int16{1} : narrow16(n + 1);
}

// Walks through the values of a "batch" entry part by part.
struct BatchParser {
    ScriptReader& r;
    const ScriptValues& v;
    BatchRec& b;
    int i = 1;

    int left() const { return v.nscriptvalues - i + 1; }
    int16 integer(const char* missing) {
        if (!isinteger(v, i)) fail(missing);
        return v.scriptvalint[i++];
    }
    real number(const char* missing) {
        if (!isnumber(v, i)) fail(missing);
        return v.scriptvalreal[i++];
    }
    int16 withphase(const char* missing) {
        int16 pos = 0;
        if (!posinlist(v.scriptvalword[i], r.s.withlist, r.s.nwithphases, pos)) fail(missing);
        ++i;
        return pos;
    }

    void phases() {
        while (isword(v, i)) {
            int16 pos = 0;
            if (!posinlist(v.scriptvalword[i], r.s.withlist, r.s.nwithphases, pos)) {
                fail("unrecognised phase, " + v.scriptvalword[i] + ", in batch");
            }
            b.phases[pos] = true;
            ++i;
        }
    }
    void ptpoints() {
        if (left() < 3) fail("insufficient info in batch (1)");
        b.variance = integer("insufficient info in batch (1)");
        if (b.variance < 0) fail("batch with negative variance?");
        b.np = integer("insufficient info in batch (1)");
        b.nt = integer("insufficient info in batch (1)");
        if (b.np < 1 || b.nt < 1) fail("not enough batch PT");
        if (b.np * b.nt > maxbatchpt) fail("too many batch PT");
        b.npt = narrow16(b.np * b.nt);
        // A member's P and T are checked here: below 0 kbar or absolute zero it would fail in
        // every calculation of the run.
        const std::string member = " of batch " + realstr(r.s.nbatch);
        for (int k = 1; k <= b.np; ++k) {
            b.p[k] = number("insufficient info in batch (2)");
            checkscriptp(r, "P" + member, b.p[k]);
        }
        for (int k = 1; k <= b.nt; ++k) {
            const real t = number("insufficient info in batch (2)");
            checkscriptt(r, "T" + member, t);
            b.t[k] = t + 273.15L;
        }
    }
    void xyzpart() {
        if (left() < 2) fail("insufficient info in batch (3a)");
        b.xyzflag = integer("in batch, no xyz flag");
        b.kxyz = integer("insufficient info in batch (3b)");
        if (b.kxyz < 1 || b.kxyz > r.s.nbxyz) fail("in batch, kxyz out of range");
    }
    void bulkpart() {
        b.bulkflag = integer("in batch, no bulk flag");
        if (b.bulkflag == 0) return;
        const int16 ncomp = r.s.nmcbulk;
        if (ncomp < 1) fail("in batch, pseudosection wanted but no bulk");
        b.comp1 = b.bulkflag;
        if (b.comp1 < 1 || b.comp1 > ncomp) fail("in batch, comp1 code out of range");
        b.comp2 = integer("in batch, comp2 not accessed");
        if (b.comp2 != 0 && (b.comp2 < 1 || b.comp2 > ncomp))
            fail("in batch, comp2 code out of range");
        b.bulkprop = number("in batch, no bulk proportion");
        if (b.bulkprop < 0 || b.bulkprop > 1) fail("in batch, bung bulk proportion");
    }
    void modepart() {
        b.nmodeset = integer("in batch, no mode setting code");
        if (b.nmodeset < 0 || b.nmodeset > 2) fail("in batch, wrong number of modes set");
        for (int k = 1; k <= b.nmodeset; ++k) {
            if (left() < 2) fail("in batch, not enough pseudosection info");
            const std::string which = k == 1 ? "phase1" : "phase2";
            b.modephase[k] = withphase(("in batch, modeset " + which + " not in which").c_str());
            b.mode[k] = number(("in batch, modeset " + which + " mode stuffed").c_str());
        }
    }
    void isopart() {
        b.nisopleth = integer("in batch, no isopleth flag");
        if (b.nisopleth < 0) fail("in batch, wrong number of isopleths set");
        if (b.nisopleth > maxbatchiso) fail("in batch, too many isopleths");
        for (int k = 1; k <= b.nisopleth; ++k) {
            if (left() < 1)
                bomb("readscripts", "in batch, not enough info for isopleths", yourfault);
            if (!isword(v, i)) bomb("readscripts", "in batch, wrong name for isopleths", yourfault);
            b.isonames[k] = v.scriptvalword[i++];
            if (!isnumber(v, i)) {
                bomb("readscripts", "in batch, not enough info for isopleths", yourfault);
            }
            b.isovalues[k] = v.scriptvalreal[i++];
        }
    }
};

void batch(ScriptReader& r) {
    ScriptSettings& s = r.s;
    controlboolean cb = s.nwithphases == 0 ? controlboolean::no : r.cb;
    if (s.nbatch == -1) s.batchcb = cb;
    if (cb == controlboolean::no || s.nbatch == 0 || r.v.nscriptvalues < 5) return;
    const int16 k = nextcount(s.nbatch);
    if (k > maxbatch) fail("too many batch" + maxtext(maxbatch));
    s.nbatch = k;
    BatchRec& b = s.tables->batch[k];
    b = BatchRec{};
    BatchParser p{r, r.v, b};
    p.phases();
    p.ptpoints();
    p.xyzpart();
    p.bulkpart();
    p.modepart();
    p.isopart();
    if (p.left() > 0) fail("batch input messed up");
}

// "all", "except" and indices, or indices: which of batches 1..n are meant.
void batchindices(ScriptReader& r, Fixed1<bool, maxbatch>& on, const char* outofrange) {
    const ScriptValues& v = r.v;
    const int n = r.s.nbatch;
    int first = 1;
    bool except = false;
    for (int i = 1; i <= maxbatch; ++i) on[i] = false;
    if (v.scriptvalword[1] == "all" || v.scriptvalword[1] == "except") {
        for (int i = 1; i <= n; ++i) on[i] = true;
        except = v.scriptvalword[1] == "except";
        first = 2;
    }
    for (int i = first; i <= v.nscriptvalues; ++i) {
        const int k = isinteger(v, i) ? v.scriptvalint[i] : 0;
        if (k < 1 || k > n) fail(outofrange);
        on[k] = !except;
    }
}

void batchswitch(ScriptReader& r) {
    if (r.v.nscriptvalues == 0) return;
    batchindices(r, r.s.tables->batchon, "batchswitch not in range");
    r.s.nbatchswitch = 1;
}

void batchreq(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (v.nscriptvalues == 0) fail("in batchreq, not enough info in a line");
    if (v.scriptvalword[1] != "all" && !isinteger(v, 1) &&
        !(v.scriptvalword[1] == "except" && v.nscriptvalues >= 2)) {
        fail("batchreq not given an index");
    }
    if (v.scriptvalword[1] == "except" && v.nscriptvalues < 2) fail("batchreq not given an index");
    Fixed1<bool, maxbatch> on;
    batchindices(r, on, "batchreq not in range");
    const int16 k = nextcount(s.nbatchreq);
    if (k > maxbatchreq) fail("too many batchreq" + maxtext(maxbatchreq));
    BatchRequest& req = s.tables->batchreq[k];
    req = BatchRequest{};
    for (int i = 1; i <= maxbatch; ++i) {
        if (on[i]) req.index[++req.n] = narrow16(i);
    }
    s.nbatchreq = k;
}

void batchxyzguess(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (v.nscriptvalues == 0) fail("in bxyzguess, not enough info in a line (1)");
    if (v.scriptvalword[1] == "startblock") {
        if (s.nbxyz >= maxbatch) fail("in bxyzguess, too big");
        ++s.nbxyz;
        s.tables->bxyz[s.nbxyz].n = 0;
        return;
    }
    if (s.nbxyz == 0) fail("in bxyzguess, not enough info in a line (2)");
    BatchXyzBlock& block = s.tables->bxyz[s.nbxyz];
    if (!isnumber(v, 2)) fail("in bxyzguess, no guess");
    if (block.n >= maxxyzguess) fail("in bxyzguess, too many guesses");
    XyzGuess g;
    g.name = v.scriptvalword[1];
    g.value = v.scriptvalreal[2];
    if (v.nscriptvalues > 2) {
        if (v.scriptvalword[3] != "range" || v.nscriptvalues != 5 || !isnumber(v, 4) ||
            !isnumber(v, 5)) {
            fail("in bxyzguess, range info fubar");
        }
        g.low = v.scriptvalreal[4];
        g.high = v.scriptvalreal[5];
        g.rangegiven = true;
    }
    block.guess[++block.n] = g;
}

void filter(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (!isinteger(v, 1)) fail("filter keyword must be followed by an integer");
    const int16 k = v.scriptvalint[1];
    if (k != s.nbatch) fail("filters not interleaved with batches");
    if (k < 1 || k > maxbatch) fail("too many filter sets" + maxtext(maxbatch));
    if (v.nscriptvalues < 4) fail("insufficient filter info");
    if (v.nscriptvalues != 4) fail("wrong length of filter info");
    if (!isnumber(v, 3)) fail("lower filter not a number");
    if (!isnumber(v, 4)) fail("higher filter not a number");
    FilterSet& set = s.tables->filterset[k];
    if (k > s.nfiltersets) {
        for (int i = s.nfiltersets < 0 ? 1 : s.nfiltersets + 1; i <= k; ++i) {
            s.tables->filterset[i].n = 0;
        }
        s.nfiltersets = k;
    }
    if (set.n >= maxfilters) fail("too many filters" + maxtext(maxfilters));
    Filter f{v.scriptvalword[2], v.scriptvalreal[3], v.scriptvalreal[4]};
    if (f.name == "T") {
        f.low += 273.15L;
        f.high += 273.15L;
    }
    set.filter[++set.n] = f;
    s.filtersgiven = true;
}

void mc(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (s.nsamecoding > 0) fail("scriptfile samecoding not implemented in mcqv");
    if (s.nmc == -1) s.mccb = r.cb;
    if (r.cb == controlboolean::no) return;
    if (r.cb == controlboolean::ask) fail("mc attempted and failed");
    if (v.nscriptvalues < 6) fail("in mc, not enough info");
    McLine m;
    m.phase = v.scriptvalword[1];
    int16 pos = 0;
    if (!posinlist(m.phase, s.withlist, s.nwithphases, pos)) {
        fail(m.phase + " in mc not in " + inquotes("with"));
    }
    m.code = v.scriptvalword[2];
    if (m.code.empty() || (m.code[0] != 'a' && m.code[0] != 'b' && m.code[0] != 'c')) {
        fail("in mc, abc");
    }
    m.param = v.scriptvalword[3];
    const std::size_t open = m.param.find('(');
    const std::string head = open == std::string::npos ? m.param : m.param.substr(0, open + 1);
    if (head != "W(" && head != "a(" && head != "DQF(") fail("in mc, mcvarname (1)");
    if (m.param.back() != ')') fail("in mc, mcvarname (2)");
    if (m.param.size() == head.size() + 1) fail("in mc, mcvarname (3)");
    if (!isnumber(v, 4) || !isnumber(v, 5)) fail("in mc, bad range info");
    m.value = v.scriptvalreal[4];
    m.range = v.scriptvalreal[5];
    if (m.range < 0) fail("in mc, bad range info");
    m.relation = v.scriptvalword[6];
    const char c = m.relation[0];
    if (c == '<' || c == '>') fail("in mc, >/< not currently implemented");
    if (c != 'f' && c != '=') fail("in mc, bad range info");
    // "f" alone names the function after the parameter; "=" alone draws in the line's own range.
    if (v.nscriptvalues >= 7) {
        m.relname = v.scriptvalword[7];
    } else if (c == 'f') {
        m.relname = m.param;
    }
    m.text = r.keyword;
    for (int i = 1; i <= v.nscriptvalues; ++i) m.text += " " + v.scriptvalword[i];
    const int16 k = nextcount(s.nmc);
    if (k > maxmc) fail("too many mc" + maxtext(maxmc));
    s.tables->mc[k] = m;
    s.nmc = k;
}

void mcrange(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (s.nmc < 1 || v.nscriptvalues < 3 || !isnumber(v, 2) || !isnumber(v, 3)) {
        fail("wrong mcrange info");
    }
    const int16 k = nextcount(s.nmcrange);
    if (k > maxmc) fail("too many mcrange" + maxtext(maxmc));
    if (v.scriptvalreal[3] < 0) fail("wrong mcrange info");
    s.tables->mcrange[k] = McRange{v.scriptvalword[1], v.scriptvalreal[2], v.scriptvalreal[3]};
    s.nmcrange = k;
}

void mcfunc(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    // name, constant, then pairs of a coefficient and the "mcrange" line it multiplies
    if (v.nscriptvalues < 2) fail("wrong mcfunc info (1)");
    if (!isword(v, 1)) fail("wrong mcfunc info (2)");
    if (!isnumber(v, 2) || v.nscriptvalues % 2 != 0) fail("wrong mcfunc info (3)");
    for (int i = 3; i <= v.nscriptvalues; i += 2) {
        if (!isnumber(v, i)) fail("wrong mcfunc info (3)");
    }
    if ((v.nscriptvalues - 2) / 2 > maxmcterms) {
        fail("too many terms in mcfunc" + maxtext(maxmcterms));
    }
    const int16 k = nextcount(s.nmcfunc);
    if (k > maxmc) fail("too many mcfunc" + maxtext(maxmc));
    McFunc& f = s.tables->mcfunc[k];
    f = McFunc{};
    f.name = v.scriptvalword[1];
    f.constant = v.scriptvalreal[2];
    for (int i = 3; i + 1 <= v.nscriptvalues; i += 2) {
        ++f.nterms;
        f.coef[f.nterms] = v.scriptvalreal[i];
        f.rangename[f.nterms] = v.scriptvalword[i + 1];
    }
    s.nmcfunc = k;
}

void mcit(ScriptReader& r) {
    const ScriptValues& v = r.v;
    // 0 trials is left to the run, which refuses it by name ("mcit = 0")
    if (!isinteger(v, 1) || v.scriptvalint[1] < 0) fail("wrong mcit info");
    if (v.nscriptvalues >= 2 && (!isinteger(v, 2) || v.scriptvalint[2] < 0)) {
        fail("wrong mcit info");
    }
    r.s.mctrials = v.scriptvalint[1];
    // Without a wanted count every trial is wanted: the run goes to its trial limit.
    r.s.mcitcount = v.nscriptvalues >= 2 ? v.scriptvalint[2] : v.scriptvalint[1];
}

void mcbulk(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (v.nscriptvalues == 0) fail("wrong batchbulk info");
    real sum = 0;
    for (int i = 1; i <= v.nscriptvalues; ++i) {
        if (!isnumber(v, i)) fail("wrong batchbulk info");
        sum += v.scriptvalreal[i];
    }
    if (sum <= 0) {
        std::string line = r.keyword;
        for (int i = 1; i <= v.nscriptvalues; ++i) line += " " + v.scriptvalword[i];
        putstr(r.ses, 0, line + " bulk composition is bad", 1, screenmask);
        return;
    }
    const int16 k = nextcount(s.nmcbulk);
    if (k > maxmcbulk) fail("too many batchbulk" + maxtext(maxmcbulk));
    for (int i = 1; i <= v.nscriptvalues; ++i) {
        s.tables->mcbulk[k][i] = 100 * v.scriptvalreal[i] / sum;
    }
    s.nmcbulk = k;
}

void fractionation(ScriptReader& r) {
    if (r.cb == controlboolean::no) {
        putstr(r.ses, 0, "fractionation info input attempted, but failed", 1, screenmask);
        r.s.fractionationcb = controlboolean::no;
        return;
    }
    r.s.fractionationcb = r.cb;
    putstr(r.ses, 1, "fractcalcs are currently untested - what state are they in??", 2, screenmask);
    killrun();
}

// Every Monte Carlo line names an "mcfunc" ("f") or an "mcrange" ("=") line.
void matchmclines(const ScriptSettings& s) {
    ScriptTables& t = *s.tables;
    for (int j = 1; j <= s.nmcfunc; ++j) {
        McFunc& f = t.mcfunc[j];
        for (int k = 1; k <= f.nterms; ++k) {
            f.range[k] = 0;
            for (int q = 1; q <= s.nmcrange && f.range[k] == 0; ++q) {
                if (t.mcrange[q].name == f.rangename[k]) f.range[k] = narrow16(q);
            }
            if (f.range[k] == 0) bomb("read scripts", "wrong mcfunc info (3)", yourfault);
        }
    }
    for (int i = 1; i <= s.nmc; ++i) {
        const McLine& m = t.mc[i];
        bool found = false;
        if (m.relation[0] == '=' && m.relname.empty()) continue;
        if (m.relation[0] == 'f') {
            if (s.nmcfunc <= 0) bomb("read scripts", "in mc, no mcfunc", yourfault);
            for (int k = 1; k <= s.nmcfunc && !found; ++k) found = t.mcfunc[k].name == m.relname;
            if (!found) bomb("read scripts", "in mc, no match with mcfunc", yourfault);
        } else {
            if (s.nmcrange <= 0) bomb("read scripts", "in mc, no mcrange", yourfault);
            for (int k = 1; k <= s.nmcrange && !found; ++k) found = t.mcrange[k].name == m.relname;
            if (!found) bomb("read scripts", "in mc, no match with mcrange", yourfault);
        }
    }
}

// A Monte Carlo run: one P-T point per batch, and no settings that would multiply the trials.
void montecarlo(ScriptReader& r, bool ds190) {
    Session& ses = r.ses;
    ScriptSettings& s = r.s;
    for (int i = 1; i <= s.nbatch; ++i) {
        const BatchRec& b = s.tables->batch[i];
        if (b.np > 1 || b.nt > 1) {
            bomb("read scripts", "only one calc per batch in mcqv currently", yourfault);
        }
    }
    if (ds190) bomb("read scripts", "no mcqv with ds55", yourfault);
    if (s.ninexcess > 0 || s.ninexcess0 > 0) {
        bomb("read scripts", "sorry! in-excess phases not allowed with" + spaces(20), yourfault);
    }
    if (s.nmcrange < 0) s.nmcrange = 0;
    if (s.nmcfunc < 0) s.nmcfunc = 0;
    matchmclines(s);
    putstr(ses, 1, "mc info", 1, logmask);
    for (int i = 1; i <= s.nmc; ++i) putstr(ses, 0, s.tables->mc[i].text, 1, logmask);
    s.nsamecoding = 0;
    s.batchdebugcb = controlboolean::yes;
    s.pseudoon = false;
    s.projplanecb = controlboolean::no;
    s.someofon = false;
    s.calcsdlevel = 0;
    resetwindow(s, r.w);
    if (s.mcdebugcb == controlboolean::yes) {
        s.debuglev = 1;
        s.mctrials = 5;
        s.mcitcount = 3;
    } else {
        s.debuglev = 0;
    }
    if (s.debuglev == 0) s.printxyzcb = controlboolean::no;
    s.vexlatcb = controlboolean::no;
    putstr(ses, 0, "", 1, screenmask);
}

// Switched-off batches are dropped; map[new] is the batch's index as read.
void switchbatches(ScriptSettings& s) {
    ScriptTables& t = *s.tables;
    if (s.nbatchswitch == 0) {
        for (int i = 1; i <= s.nbatch; ++i) t.batchon[i] = true;
    }
    int16 n = 0;
    for (int i = 1; i <= s.nbatch; ++i) {
        if (!t.batchon[i]) continue;
        ++n;
        t.batchmap[n] = narrow16(i);
        if (n != i) {
            t.batch[n] = t.batch[i];
            if (s.filtersgiven) t.filterset[n] = t.filterset[i];
        }
    }
    if (n < s.nbatch) {
        s.nbatch = n;
        if (s.filtersgiven) s.nfiltersets = n;
    }
}

void maprequests(Session& ses, ScriptSettings& s) {
    ScriptTables& t = *s.tables;
    if (s.nbatchreq < 0) s.nbatchreq = 0;
    int16 kept = 0;
    for (int q = 1; q <= s.nbatchreq; ++q) {
        BatchRequest req = t.batchreq[q];
        BatchRequest mapped;
        for (int i = 1; i <= req.n; ++i) {
            for (int j = 1; j <= s.nbatch; ++j) {
                if (t.batchmap[j] == req.index[i]) mapped.index[++mapped.n] = narrow16(j);
            }
        }
        if (mapped.n > 0) t.batchreq[++kept] = mapped;
    }
    s.nbatchreq = kept;
    if (kept == 0) return;
    putstr(ses, 0, "caring batches", 1, screenmask);
    for (int q = 1; q <= kept; ++q) {
        const BatchRequest& req = t.batchreq[q];
        std::string line;
        for (int i = 1; i <= req.n; ++i) {
            addstr(realstr(req.index[i]), 4, line);
            if (i % 20 == 0 || i == req.n) {
                putstr(ses, 0, line, 1, screenmask);
                line.clear();
            }
        }
    }
}

}  // namespace

bool batchkeyword(ScriptReader& r) {
    ScriptSettings& s = r.s;
    if (iskeyword(r, {"batch"})) {
        batch(r);
    } else if (iskeyword(r, {"batchswitch"})) {
        batchswitch(r);
    } else if (iskeyword(r, {"batchreq"})) {
        batchreq(r);
    } else if (iskeyword(r, {"batchxyzguess"})) {
        batchxyzguess(r);
    } else if (iskeyword(r, {"filter", "flitter"})) {
        filter(r);
    } else if (iskeyword(r, {"mc"})) {
        mc(r);
    } else if (iskeyword(r, {"mcrange"})) {
        mcrange(r);
    } else if (iskeyword(r, {"mcfunc"})) {
        mcfunc(r);
    } else if (iskeyword(r, {"mcit"})) {
        mcit(r);
    } else if (iskeyword(r, {"mcbulk", "batchbulk"})) {
        mcbulk(r);
    } else if (iskeyword(r, {"gaussmc"})) {
        s.gaussmcon = r.cb == controlboolean::yes;
    } else if (iskeyword(r, {"mccorr"})) {
        putstr(r.ses, 0, "\"mccorr\" has been cut - remove from the scriptfile", 1, screenmask);
        fail("mccorr no longer exists");
    } else if (iskeyword(r, {"fractionation", "fract"})) {
        fractionation(r);
    } else {
        return false;
    }
    return true;
}

void closebatches(ScriptReader& r, bool ds190) {
    Session& ses = r.ses;
    ScriptSettings& s = r.s;
    if (s.filtersgiven && s.nfiltersets != s.nbatch) {
        bomb("read scripts", "flitters don't match batches", yourfault);
    }
    if (s.nbatch == 0) bomb("read scripts", "batch entry failed", yourfault);
    if (s.nbatch == -1) {
        s.mctrials = 1;
        s.batchcb = controlboolean::no;
        s.mccb = controlboolean::no;
        s.nbatch = 1;
    } else if (s.nmc == 0) {
        bomb("read scripts", "mcqv entry failed", yourfault);
    } else if (s.nmc == -1) {
        s.mccb = controlboolean::no;
        s.mctrials = 1;
        s.nxyzguess = 0;
        s.someofon = false;
        resetwindow(s, r.w);
    } else {
        montecarlo(r, ds190);
    }
    if (s.batchcb == controlboolean::yes) {
        if (s.nxyzguess > 0) {
            bomb("scripts", "xyzguess not allowed with batches (use batchxyzguess)", yourfault);
        }
        if (s.nbxyz < 1) bomb("scripts", "no batchxyzguess to use with batches", yourfault);
    }
    switchbatches(s);
    maprequests(ses, s);
    if (s.nbatch > 1) {
        putstr(ses, 1,
               "no of batches = " + realstr(s.nbatch) +
                   "; no of filters = " + realstr(s.nfiltersets) + "; no of mc = " + realstr(s.nmc),
               1, screenlogmask);
    }
}

}  // namespace qv
