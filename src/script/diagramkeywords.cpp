#include <cmath>
#include <string>
#include <string_view>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "script/scriptreader.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

const char* const rs = "reading scripts";

controlboolean askisyes(controlboolean cb) {
    return cb == controlboolean::ask ? controlboolean::yes : cb;
}

void with(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.withcb = askisyes(r.cb);
    s.nwithphases = 0;
    s.someofon = false;
    if (s.withcb == controlboolean::no) return;
    if (v.nscriptvalues == 0) {
        bomb(rs, r.keyword + " should be followed by a list of phase names: missing list",
             yourfault);
    }
    int first = 1;
    if (v.scriptvalword[1] == "all") {
        if (!r.opt.utilityrun) {
            bomb("reading script",
                 inquotes("all") + " in " + inquotes(r.keyword) + " only defined for utilitycalc",
                 yourfault);
        }
        s.nwithphases = 101;
        return;
    }
    if (v.scriptvalword[1] == "someof") {
        s.someofon = true;
        if (v.nscriptvalues < 2) {
            putstr(r.ses, 0, "someof should be followed by a list of phase names", 1,
                   screenlogmask);
            bomb(rs, "missing list of phases", yourfault);
        }
        first = 2;
    }
    for (int i = first; i <= v.nscriptvalues; ++i) {
        const std::string& name = v.scriptvalword[i];
        if (name.empty()) bomb(rs, "zero-length string", yourfault);
        if (name.front() == '_' || name.back() == '_') {
            bomb(rs, "sepchar in wrong place in " + name, yourfault);
        }
        ++s.nwithphases;
        s.withlist[s.nwithphases] = name.substr(0, name.find('_'));
        s.withfull[s.nwithphases] = name;
    }
}

void inexcess(ScriptReader& r, controlboolean& cb, int16& n, strings& list) {
    const ScriptValues& v = r.v;
    cb = r.cb;
    n = 0;
    // "none" reads as the switch word no, but here it means an empty list
    if (r.switchword == "none" || (v.nscriptvalues > 0 && v.scriptvalword[1] == "none")) {
        cb = controlboolean::yes;
        return;
    }
    if (cb == controlboolean::no) return;
    if (v.nscriptvalues == 0) {
        cb = controlboolean::yes;
        return;
    }
    for (int i = 1; i <= v.nscriptvalues; ++i) list[++n] = v.scriptvalword[i];
}

void pseudosection(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.pseudoon = r.cb != controlboolean::no;
    s.pseudogiven = true;
    if (s.pseudoon && (s.bulkcb == controlboolean::yes || s.rbicb == controlboolean::yes)) {
        bomb(rs, "pseudosection script needs to be before reading bulk", yourfault);
    }
}

void bothbulkandrbi(ScriptReader& r) {
    putstr(r.ses, 0, "both bulk and rbi in the scriptfile; choose which to use", 1,
           screensummarylogmask);
    bomb(rs, "ambiguity setting the bulk composition", yourfault);
}

// The values as a composition summing to 100.
void scaledcomposition(ScriptReader& r, int n, valreals& comp) {
    real sum = 0;
    for (int i = 1; i <= n; ++i) sum += r.v.scriptvalreal[i];
    if (sum <= 0) bomb(rs, "sum of bulk composition <= 0?", yourfault);
    for (int i = 1; i <= n; ++i) comp[i] = 100 * r.v.scriptvalreal[i] / sum;
}

void bulk(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.bulkcb = askisyes(r.cb);
    if (s.bulkcb == controlboolean::no) {
        s.nbulk = 0;
        return;
    }
    if (s.rbicb == controlboolean::yes) bothbulkandrbi(r);
    if (!s.pseudoon || s.nbulk == 0) return;
    auto drop = [&s] {
        s.nbulk = 0;
        s.bulkcb = controlboolean::no;
    };
    if (s.nbulk == -3) {
        int16 n = 0;
        if (!scriptstrings(r, n)) return drop();
        s.nbulkox = n;
        for (int i = 1; i <= n; ++i) s.tables->bulkox[i] = oxidename(v.scriptvalword[i]);
        s.nbulk = -2;
        return;
    }
    if (s.nbulk == 2) bomb(rs, "more than two compositions in setbulk?", yourfault);
    int16 n = s.nbulkox;
    if (!scriptreals(r, n)) return drop();
    const int16 k = s.nbulk == -2 ? int16{1} : int16{2};
    scaledcomposition(r, s.nbulkox, s.tables->bulk[k]);
    s.nbulk = k;
    if (k == 2 && v.nscriptvalues > s.nbulkox) {
        dropvalues(r.v, s.nbulkox);
        if (!scriptinteger(r, 2, 100)) return drop();
        s.nbulkinc = narrow16(r.v.scriptvalint[1] + 1);
    }
}

void bulksubrange(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.bulksubrangecb = r.cb;
    if (r.cb == controlboolean::no) return;
    bool ok = scriptreal(r, 0, 0);
    const real low = r.v.scriptvalreal[1];
    if (ok) {
        if (r.v.nscriptvalues < 2) {
            r.v.nscriptvalues = 0;  // the second value is missing
        } else {
            dropvalues(r.v, 1);
        }
        ok = scriptreal(r, 0, 0);
    }
    if (!ok) {
        s.bulksubrangecb = controlboolean::no;
        return;
    }
    s.bulksubrangelow = low;
    s.bulksubrangehigh = r.v.scriptvalreal[1];
}

void rbi(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.rbicb = askisyes(r.cb);
    if (s.rbicb == controlboolean::no) {
        s.nrbi = 0;
        return;
    }
    if (!s.pseudoon) {
        s.rbicb = controlboolean::no;
        return;
    }
    if (s.bulkcb == controlboolean::yes) bothbulkandrbi(r);
    if (s.nrbi == 0) return;
    ScriptTables& t = *s.tables;
    if (s.nrbi == -1) {
        if (isnumber(v, 1)) {
            putstr(r.ses, 1, "now, rbi starts with a component list on a line (run a ", 1,
                   screenlogmask);
            putstr(r.ses, 0, "calculation with printbulkinfo to see the new format)", 1,
                   screenlogmask);
            bomb(rs, "change the rbi", yourfault);
        }
        int16 n = 0;
        if (!scriptstrings(r, n)) {
            s.nrbi = 0;
            return;
        }
        s.nrbiox = n;
        for (int i = 1; i <= n; ++i) t.rbiox[i] = oxidename(v.scriptvalword[i]);
        s.nrbi = -2;
        return;
    }
    const int row = s.nrbi < 0 ? 1 : s.nrbi + 1;
    if (row > maxrbirows) bomb(rs, "too many phases in rbi" + maxtext(maxrbirows), yourfault);
    if (v.nscriptvalues >= 2 && v.scriptvalword[2] == "##") {
        bomb(rs, "replace ## with modes in rbi", yourfault);
    }
    if (!scriptstring(r)) {
        s.nrbi = 0;
        return;
    }
    t.rbiphase[row] = v.scriptvalword[1];
    dropvalues(r.v, 1);
    int16 n = narrow16(s.nrbiox + 1);
    if (!scriptreals(r, n)) {
        s.nrbi = 0;
        return;
    }
    t.rbimode[row] = r.v.scriptvalreal[1];
    for (int i = 1; i <= s.nrbiox; ++i) t.rbicomp[row][i] = r.v.scriptvalreal[i + 1];
    s.nrbi = narrow16(row);
    s.nbulk = 1;
}

// The first entry of a block of names and rows: the old form began with the rows.
void oldblockform(ScriptReader& r, const std::string& what, const std::string& after) {
    putstr(r.ses, 1, "now, " + r.keyword + " starts with " + what + " on a line, before the block ",
           1, screenlogmask);
    putstr(r.ses, 0, "of " + after + " (this line was there before but preceded by a %)", 1,
           screenlogmask);
    bomb(rs, "change the " + r.keyword + " script", yourfault);
}

void projplane(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.projplanecb = r.cb;
    if (r.cb == controlboolean::no) {
        s.nprojox = -1;
        s.nprojplaneox = 0;
        return;
    }
    if (s.projectioncb != controlboolean::yes) return;
    ScriptTables& t = *s.tables;
    if (s.nprojox == -1) {
        if (isnumber(v, 1)) oldblockform(r, "an oxide list", "apex compositions");
        int16 n = 0;
        if (!scriptstrings(r, n)) return;
        s.nprojplaneox = n;
        for (int i = 1; i <= n; ++i) t.projox[i] = oxidename(v.scriptvalword[i]);
        s.nprojox = -2;
        return;
    }
    // An apex row: the apex name, then its amount of each oxide of the list (the form the
    // program writes the plane in for the next run); a row of numbers alone is unnamed.
    std::string name;
    if (v.nscriptvalues > s.nprojplaneox && !isnumber(v, 1)) {
        name = v.scriptvalword[1];
        dropvalues(r.v, 1);
    }
    int16 n = s.nprojplaneox;
    if (!scriptreals(r, n)) return;
    const int row = s.nprojox < 0 ? 1 : s.nprojox + 1;
    if (row > maxblockrows) {
        bomb(rs, "too many apexes in projplane" + maxtext(maxblockrows), yourfault);
    }
    t.projapexname[row] = name;
    for (int i = 1; i <= s.nprojplaneox; ++i) t.projapex[row][i] = r.v.scriptvalreal[i];
    s.nprojox = narrow16(row);
}

void isr(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.isrcb = r.cb;
    if (r.cb == controlboolean::no) {
        s.nisr = -1;
        return;
    }
    ScriptTables& t = *s.tables;
    if (s.nisr == -1) {
        if (isnumber(v, 1)) oldblockform(r, "an end-member list", "reaction coeffs");
        int16 n = 0;
        if (!scriptstrings(r, n)) return;
        s.nisrem = n;
        for (int i = 1; i <= n; ++i) t.isrem[i] = v.scriptvalword[i];
        s.nisr = -2;
        return;
    }
    int16 n = 0;
    if (!scriptintegers(r, n)) return;
    const int row = s.nisr < 0 ? 1 : s.nisr + 1;
    if (row > maxblockrows)
        bomb(rs, "too many reactions in isr" + maxtext(maxblockrows), yourfault);
    for (int i = 1; i <= n; ++i) t.isrrow[row][i] = v.scriptvalint[i];
    t.isrrowlength[row] = n;
    s.nisr = narrow16(row);
}

// One or two isopleths in the forms: name; name name2; name value; name value name2 value2;
// name low high inc [name2 [value2 | low2 high2 inc2]].
void isopleths(ScriptReader& r, controlboolean& cb, int16& n, Fixed1<Isopleth, 2>& iso,
               const std::string& what) {
    const ScriptValues& v = r.v;
    for (int k = 1; k <= 2; ++k) iso[k] = Isopleth{};
    n = 0;
    cb = r.cb;
    if (v.nscriptvalues >= 1 && v.scriptvalword[1] == "none") cb = controlboolean::no;
    if (cb == controlboolean::no || !isword(v, 1)) return;
    const int nv = v.nscriptvalues;
    // positions of the names and of their 0, 1 or 3 numbers
    int second = 0;
    int count1 = 0;
    int count2 = 0;
    switch (nv) {
        case 1: break;
        case 2:
            if (isword(v, 2)) {
                second = 2;
            } else {
                count1 = 1;
            }
            break;
        case 4:
            if (isword(v, 3)) {
                count1 = 1;
                second = 3;
                count2 = 1;
            } else {
                count1 = 3;
            }
            break;
        case 5: count1 = 3, second = 5; break;
        case 6: count1 = 3, second = 5, count2 = 1; break;
        case 8: count1 = 3, second = 5, count2 = 3; break;
        default: second = -1;
    }
    if (second < 0 || (second > 0 && !isword(v, second))) {
        putstr(r.ses, 1, what + " info not recognised: just use isopleth name(s)", 1,
               screenlogmask);
        putstr(r.ses, 0, "and enter the isopleth information interactively?", 1, screenlogmask);
        bomb(rs, what + " info inappropriate", yourfault);
    }
    auto take = [&](int k, int at, int count) {
        iso[k].name = v.scriptvalword[at];
        for (int i = at + 1; i <= at + count; ++i) {
            if (!isnumber(v, i)) {
                putstr(r.ses, 1,
                       what + ": name, then low, high and increment expected, or one value", 1,
                       screenlogmask);
                bomb(rs, what + " values inappropriate", yourfault);
            }
        }
        if (count == 1) {
            iso[k].low = v.scriptvalreal[at + 1];
            iso[k].high = iso[k].low;
        } else if (count == 3) {
            iso[k].low = v.scriptvalreal[at + 1];
            iso[k].high = v.scriptvalreal[at + 2];
            iso[k].inc = v.scriptvalreal[at + 3];
            checkinput(iso[k].inc > 0, rs, what + " increment for " + iso[k].name, iso[k].inc,
                       "must be above 0", scriptfilename(r));
        }
    };
    take(1, 1, count1);
    n = 1;
    if (second > 0) {
        take(2, second, count2);
        n = 2;
    }
}

void zeromodeisopleth(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.zeromodeisoplethcb = r.cb;
    s.nzeromode = 0;
    if (r.cb != controlboolean::yes) return;
    for (int i = 1; i <= r.v.nscriptvalues && i <= 2; ++i) {
        s.zeromode[i] = r.v.scriptvalword[i];
        s.nzeromode = narrow16(i);
    }
}

void lna(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (!r.opt.lnaonly) return;
    s.lnacb = r.cb == controlboolean::yes ? controlboolean::yes : controlboolean::no;
    s.nlna = 0;
    if (s.lnacb == controlboolean::no) return;
    if (v.nscriptvalues < 2 || v.scriptvalword[1] == "none" || !isword(v, 1) || !isnumber(v, 2)) {
        s.lnacb = controlboolean::no;
        return;
    }
    s.lna[1] = NamedValue{v.scriptvalword[1], v.scriptvalreal[2], true};
    s.nlna = 1;
}

// Names each optionally followed by a value; false when the list does not read.
bool namedvalues(const ScriptValues& v, Fixed1<NamedValue, 40>& list, int16& n) {
    n = 0;
    if (v.nscriptvalues == 0) return false;
    for (int i = 1; i <= v.nscriptvalues; ++i) {
        if (!isword(v, i)) return false;
        NamedValue nv{v.scriptvalword[i], 0, false};
        if (isnumber(v, i + 1)) {
            nv.value = v.scriptvalreal[++i];
            nv.given = true;
        }
        list[++n] = nv;
    }
    return true;
}

void echovalue(ScriptReader& r, const std::string& head, const NamedValue& nv) {
    std::string line = head + nv.name;
    if (nv.given) {
        line += ") = ";
        addreal(4, true, 10, line, nv.value);
    } else {
        line += ") - to be set ";
    }
    putstr(r.ses, 0, line, 1, screenmask);
}

void seta(ScriptReader& r) {
    ScriptSettings& s = r.s;
    if (r.opt.lnaonly) {
        bomb("read scripts", "for mode 1, use 'lna' script", yourfault);
    }
    const bool logs = r.keyword == "setloga";
    controlboolean& cb = r.keyword == "seta" ? s.setacb : logs ? s.setlogacb : s.lnacb;
    cb = r.cb;
    if (r.cb == controlboolean::no || !namedvalues(r.v, s.lna, s.nlna)) {
        s.setacb = controlboolean::no;
        s.lnacb = controlboolean::no;
        s.setlogacb = controlboolean::no;
        s.nlna = 0;
        return;
    }
    for (int i = 1; i <= s.nlna; ++i) {
        NamedValue& nv = s.lna[i];
        // "seta" gives the activity itself
        if (nv.given && r.keyword == "seta") nv.value = std::log(nv.value);
        echovalue(r, logs ? "log a(" : "ln a(", nv);
    }
}

void mu(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.mucb = r.cb;
    if (r.cb == controlboolean::no || !namedvalues(r.v, s.mu, s.nmu)) {
        s.mucb = controlboolean::no;
        s.nmu = 0;
        return;
    }
    for (int i = 1; i <= s.nmu; ++i) echovalue(r, "mu(", s.mu[i]);
}

// An x(CO2) of 0 or 1 is a pure fluid, which the mixed H2O-CO2 fluid of a section cannot be
// (one of its species would have no amount at all): such a run is made with that fluid alone.
void refusepurefluid(ScriptReader& r, real x) {
    checkinput(x > 1e-9L && x < 1 - 1e-9L, rs, "x(CO2)", x,
               "a pure fluid is calculated with H2O or CO2 alone, not in an x(CO2) section "
               "(values strictly between 0 and 1 expected)",
               scriptfilename(r));
}

void xco2values(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.xco2valuescb = askisyes(r.cb);
    if (s.xco2valuescb == controlboolean::no) return;
    const int nv = v.nscriptvalues;
    for (int i = 1; i <= nv; ++i) {
        if (!isnumber(v, i)) {
            putstr(r.ses, 1, "x(CO2): low, high and inc expected, or one or more values", 1,
                   screenlogmask);
            bomb(rs, "info inappropriate", yourfault);
        }
    }
    Fixed1<real, maxxco2values>& list = s.tables->xco2values;
    s.nxco2values = 0;
    if (nv == 3) {
        const real low = v.scriptvalreal[1];
        const real high = v.scriptvalreal[2];
        const real inc = v.scriptvalreal[3];
        if (low < 0 || high > 1 || high <= low || inc <= 0 || inc > high - low) {
            putstr(r.ses, 1, "x(CO2): low, high and inc expected", 1, screenlogmask);
            bomb(rs, "values inappropriate", yourfault);
        }
        s.xco2low = low;
        s.xco2high = high;
        s.xco2inc = inc;
        for (int k = 0;; ++k) {
            const real x = low + inc * k;  // each value from low, so steps add no rounding
            if (x > high + 1e-9L) break;
            if (s.nxco2values >= maxxco2values) {
                bomb(rs, "too many x(CO2) values" + maxtext(maxxco2values), yourfault);
            }
            list[++s.nxco2values] = x;
            refusepurefluid(r, x);
        }
        return;
    }
    for (int i = 1; i <= nv; ++i) {
        const real x = v.scriptvalreal[i];
        if (x < 0 || x > 1) {
            putstr(r.ses, 1, "x(CO2): list of values between 0 and 1 expected", 1, screenlogmask);
            bomb(rs, "values inappropriate", yourfault);
        }
        list[++s.nxco2values] = x;
        refusepurefluid(r, x);
    }
}

void muval(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (s.nmuval == -1) {
        s.muvalcb = r.cb;
        s.nmuval = 0;
    } else if (r.used == 2) {
        bomb(rs, "cbool out of place in muval script", yourfault);
    }
    if (s.muvalcb == controlboolean::no || v.nscriptvalues == 0) return;
    auto& points = s.tables->muval;
    if (v.scriptvalword[1] == "PT") {
        if (v.nscriptvalues < 3 || !isnumber(v, 2) || !isnumber(v, 3)) {
            bomb(rs, "PT of muval too small", yourfault);
        }
        if (s.nmuval >= maxmuvalpoints) {
            bomb(rs, "too many PT in muval" + maxtext(maxmuvalpoints), yourfault);
        }
        ++s.nmuval;
        points[s.nmuval] = MuvalPoint{};
        points[s.nmuval].p = v.scriptvalreal[2];
        points[s.nmuval].t = v.scriptvalreal[3] + 273.15L;
        checkscriptp(r, "P of muval", v.scriptvalreal[2]);
        checkscriptt(r, "T of muval", v.scriptvalreal[3]);
        return;
    }
    // Pairs of a component name and its potential: "muval SiO2 -910.2 MgO -601.6".
    const bool named = !isnumber(v, 1);
    if (named) {
        for (int i = 2; i <= v.nscriptvalues; i += 2) {
            if (!isnumber(v, i))
                bomb(rs, "muval needs a value for " + v.scriptvalword[i - 1], yourfault);
        }
        if (v.nscriptvalues % 2 != 0) {
            bomb(rs, "muval needs a value for " + v.scriptvalword[v.nscriptvalues], yourfault);
        }
    }
    int16 n = 0;
    if (!named && !scriptreals(r, n)) return;
    if (s.nmuval == 0) {
        ++s.nmuval;
        points[1] = MuvalPoint{};
        points[1].p = -101;
        points[1].t = -101;
    }
    MuvalPoint& pt = points[s.nmuval];
    if (named) {
        for (int i = 1; i < v.nscriptvalues && pt.nmu < 40; i += 2) {
            ++pt.nmu;
            pt.munames[pt.nmu] = v.scriptvalword[i];
            pt.mu[pt.nmu] = v.scriptvalreal[i + 1];
        }
        return;
    }
    for (int i = 1; i <= n && pt.nmu < 40; ++i) pt.mu[++pt.nmu] = v.scriptvalreal[i];
}

void dogmin(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.dogminon = r.cb == controlboolean::yes;
    s.dogminlevel = 2;
    if (r.v.nscriptvalues > 0 && scriptinteger(r, 0, 2)) s.dogminlevel = r.v.scriptvalint[1];
}

void varrange(ScriptReader& r) {
    ScriptSettings& s = r.s;
    // The range is what a Gibbs energy minimisation enumerates, so it is kept whether it comes
    // before or after "dogmin", and its lower end as given (variance 1 assemblages included).
    s.varrangecb = r.cb;
    if (s.varrangecb != controlboolean::yes) return;
    int16 n = 2;
    if (!scriptintegers(r, n)) {
        s.varrangecb = controlboolean::no;
        return;
    }
    s.varmin = r.v.scriptvalint[1];
    s.varmax = r.v.scriptvalint[2];
}

void samecoding(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    s.samecodingcb = r.cb;
    if (r.cb == controlboolean::no || v.nscriptvalues == 0) return;
    const int k = s.nsamecoding < 0 ? 1 : s.nsamecoding + 1;
    if (k > maxsamecoding) bomb(rs, "too many samecodings", yourfault);
    if (v.nscriptvalues > maxsameitems) bomb(rs, "too many items in a samecoding", yourfault);
    for (int i = 1; i <= v.nscriptvalues; ++i) s.tables->samecoding[k][i] = v.scriptvalword[i];
    s.tables->nsameitems[k] = v.nscriptvalues;
    s.nsamecoding = narrow16(k);
}

void convliq(ScriptReader& r) {
    ScriptSettings& s = r.s;
    s.convliqcb = r.cb;
    if (r.cb == controlboolean::no) return;
    int16 n = 0;
    if (!scriptreals(r, n)) return;
    if (n > maxconvliqcols) bomb("control", "too many columns in convliq matrix", yourfault);
    const int row = s.nconvliqrows < 0 ? 1 : s.nconvliqrows + 1;
    if (row > maxconvliqrows) bomb("control", "too many rows in convliq matrix", yourfault);
    for (int i = 1; i <= n; ++i) s.tables->convliq[row][i] = r.v.scriptvalreal[i];
    s.nconvliqrows = narrow16(row);
    if (n > s.nconvliqcols) s.nconvliqcols = n;
}

void buffer(ScriptReader& r) {
    ScriptSettings& s = r.s;
    const ScriptValues& v = r.v;
    if (r.cb != controlboolean::yes) return;
    if (!isnumber(v, 2)) {
        bomb(rs,
             "buffer, " + inquotes(v.nscriptvalues >= 2 ? v.scriptvalword[2] : "") + ", not a del",
             yourfault);
    }
    s.buffername = v.scriptvalword[1];
    s.bufferdel = v.scriptvalreal[2];
    putstr(r.ses, 0, "for " + s.buffername + " del = " + realfixstr(3, true, s.bufferdel), 1,
           screenmask);
}

void rgb(ScriptReader& r) {
    ScriptSettings& s = r.s;
    if (r.v.nscriptvalues == 0) {
        putstr(r.ses, 0, "rgb = -", 1, screenmask);
        return;
    }
    int16 n = 3;
    if (!scriptintegers(r, n)) return;
    std::string line = "rgb =";
    for (int i = 1; i <= 3; ++i) {
        s.rgb[i] = r.v.scriptvalint[i];
        line += " " + realstr(s.rgb[i]);
    }
    putstr(r.ses, 0, line, 1, screenmask);
}

}  // namespace

bool diagramkeyword(ScriptReader& r) {
    ScriptSettings& s = r.s;
    if (iskeyword(r, {"with", "which"})) {
        with(r);
    } else if (iskeyword(r, {"inexcess", "setexcess"})) {
        inexcess(r, s.inexcesscb, s.ninexcess, s.inexcesslist);
    } else if (iskeyword(r, {"inexcess0", "setexcess0", "tozero"})) {
        r.cb = askisyes(r.cb);
        inexcess(r, s.inexcess0cb, s.ninexcess0, s.inexcess0list);
    } else if (iskeyword(r, {"pseudosection", "pseudo"})) {
        pseudosection(r);
    } else if (iskeyword(r, {"bulk", "setbulk"})) {
        bulk(r);
    } else if (iskeyword(r, {"bulksubrange", "splitbulk"})) {
        bulksubrange(r);
    } else if (iskeyword(r, {"onebulk"})) {
        s.onebulkcb = r.cb;
        if (r.cb == controlboolean::no) return true;
        if (scriptreal(r, 0, 0)) {
            s.onebulk = r.v.scriptvalreal[1];
        } else {
            s.onebulkcb = controlboolean::no;
        }
    } else if (iskeyword(r, {"rbi", "readbulkinfo"})) {
        rbi(r);
    } else if (iskeyword(r, {"projection", "project"})) {
        // a "projplane" entry before it was not read, as projection was not yet on
        if (s.projplanecb == controlboolean::yes || s.nprojox != -1) {
            bomb(rs, "projection script needs to be before reading projection plane", yourfault);
        }
        s.projectioncb = r.cb;
    } else if (iskeyword(r, {"projplane", "setprojplane"})) {
        projplane(r);
    } else if (iskeyword(r, {"isopleth", "setiso"})) {
        isopleths(r, s.isoplethcb, s.nisopleth, s.isopleth, "isopleth");
    } else if (iskeyword(r, {"modeisopleth", "modeiso"})) {
        isopleths(r, s.modeisoplethcb, s.nmodeisopleth, s.modeisopleth, "mode isopleth");
    } else if (iskeyword(r, {"zeromodeisopleth", "zeromodeiso"})) {
        zeromodeisopleth(r);
    } else if (iskeyword(r, {"lna"})) {
        lna(r);
    } else if (iskeyword(r, {"seta", "setlna", "setloga"})) {
        seta(r);
    } else if (iskeyword(r, {"mu", "setmu"})) {
        mu(r);
    } else if (iskeyword(r, {"xco2values", "calcx(CO2)", "calcx(co2)", "x(CO2)values"})) {
        xco2values(r);
    } else if (iskeyword(r, {"muval"})) {
        muval(r);
    } else if (iskeyword(r, {"dogmin"})) {
        dogmin(r);
    } else if (iskeyword(r, {"varrange", "maxvar"})) {
        varrange(r);
    } else if (iskeyword(r, {"setvar"})) {
        s.setvarcb = r.cb;
        if (r.cb == controlboolean::no) return true;
        const std::string w = r.v.nscriptvalues > 0 ? r.v.scriptvalword[1] : std::string();
        s.variance = getinteger(whatis(w), w, "bad integer in setvar script");
    } else if (iskeyword(r, {"samecoding", "samexeos"})) {
        samecoding(r);
    } else if (iskeyword(r, {"convliq"})) {
        convliq(r);
    } else if (iskeyword(r, {"buffer"})) {
        buffer(r);
    } else if (iskeyword(r, {"rgb"})) {
        rgb(r);
    } else if (iskeyword(r, {"isr", "setisr"})) {
        isr(r);
    } else {
        return false;
    }
    return true;
}

}  // namespace qv
