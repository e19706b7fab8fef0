#include "phasediagram/bulkreader.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr int16 maxincrements = 100;

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// A number with as many decimals as it needs.
std::string num(real x) {
    return realfixstr(ndecimals(x), true, x);
}

std::string fix(int d, real x) {
    return realfixstr(d, true, x);
}

// The bulk component names, each after a blank.
std::string bulknamesline(const Run& run, const BulkState& bulk) {
    std::string line;
    for (int c = 1; c <= bulk.nuvleft; ++c) line += " " + bulkcompname(run, bulk, c);
    return line;
}

// The script's component line must be the system's components in order.
void checkcomponents(Session& ses, const Run& run, const BulkState& bulk, const valwords& names,
                     int16 n) {
    const SystemComponents& comps = run.dataset.components;
    std::string message;
    if (n != comps.ncomp) {
        message = "wrong number of components (oxides) in bulk";
    } else {
        for (int c = 1; c <= n && message.empty(); ++c) {
            if (names[c] != comps.compnames[c]) message = "mismatch of components (oxides) in bulk";
        }
    }
    if (message.empty()) return;
    putstr(ses, 0, "components (oxides) in bulk should be:", 1, screensummarylogmask);
    putstr(ses, 0, bulknamesline(run, bulk), 1, screensummarylogmask);
    bomb("readcomps", message, yourfault);
}

// The system composition x over the bulk components only.
cvector compacted(const BulkState& bulk, const cvector& x, int16 ncomp) {
    cvector out{};
    int16 k = 0;
    for (int c = 1; c <= ncomp; ++c) {
        if (bulk.reducedcomp[c]) out[++k] = x[c];
    }
    if (k != bulk.nuvleft) bomb("readcomps", "nuvleft mismatch", myfault);
    return out;
}

void scaleto100(cvector& x, int16 n) {
    real s = 0;
    for (int c = 1; c <= n; ++c) s += x[c];
    for (int c = 1; c <= n; ++c) x[c] *= 100 / s;
}

// The bulk from the phases of the rock: each row's mode (on an atom basis) times its composition.
cvector rbibulk(const Run& run, BulkState& bulk, const BulkSources& src) {
    const ScriptSettings& sc = run.script;
    const ScriptTables& t = *sc.tables;
    const SystemComponents& comps = run.dataset.components;
    const int16 nrows = sc.nrbi;
    Fixed1<real, maxrbirows> mode{};
    for (int l = 1; l <= nrows; ++l) {
        real atoms = 0;
        for (int c = 1; c <= comps.ncomp; ++c) atoms += t.rbicomp[l][c] * comps.compatoms[c];
        mode[l] = atoms != 0 ? t.rbimode[l] / atoms : 0;
    }
    if (src.duda && src.dudaxco2) {
        if (comps.ncomp < 2 || comps.compnames[1] != "H2O" || comps.compnames[2] != "CO2") {
            bomb("readcomps", "H2O and/or CO2 not in rbi", yourfault);
        }
        if (sc.nlna > 0) bomb("readcomps", "cannot set an activity and do H2O-CO2", yourfault);
        int fluid = 0;
        real total = 0;
        for (int l = 1; l <= nrows; ++l) {
            total += mode[l];
            if (t.rbiphase[l] == "fluid") fluid = l;
        }
        if (fluid == 0) bomb("readcomps", "can't find fluid in rbi", yourfault);
        bulk.rbifluidfraction = mode[fluid] / total;
        mode[fluid] = 0;
    }
    cvector b{};
    real total = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        for (int l = 1; l <= nrows; ++l) b[c] += mode[l] * t.rbicomp[l][c];
        total += b[c];
    }
    if (total <= 0) bomb("readcomps", "comp sum not positive", yourfault);
    scaleto100(b, comps.ncomp);
    cvector out = compacted(bulk, b, comps.ncomp);
    scaleto100(out, bulk.nuvleft);
    bulk.nrbimode = nrows;
    for (int l = 1; l <= nrows; ++l) {
        bulk.rbinames[l] = t.rbiphase[l];
        bulk.rbimodes[l] = t.rbimode[l];
    }
    return out;
}

cvector mix(const cvector& a, const cvector& b, real p, int16 n) {
    cvector out{};
    for (int c = 1; c <= n; ++c) out[c] = b[c] * p + a[c] * (1 - p);
    return out;
}

// The number of increments along a range of two compositions.
int16 increments(Session& ses, const ScriptSettings& sc) {
    if (sc.nbulkinc >= 3) return narrow16(sc.nbulkinc - 1);
    std::string answer;
    promptstring(
        ses,
        "how many increments across the composition range (max = " + realstr(maxincrements) + ")",
        answer);
    const valuetype t = whatis(answer);
    int16 n = 10;
    if (t == valuetype::anemptystring) {
        putstr(ses, 0, "using the default, 10 increments", 1, screenlogmask);
    } else if (t == valuetype::aninteger) {
        n = getinteger(t, answer, "for increments");
    }
    if (n < 1 || n > maxincrements) {
        putstr(ses, 0, "inappropriate number of increments: 10 used", 1, screenlogmask);
        n = 10;
    }
    return n;
}

// Amounts that cannot make a rock: zero (no log-ratio) or negative.
void checkamounts(const cvector& x, int16 n, const std::string& which) {
    for (int c = 1; c <= n; ++c) {
        if (std::fabs(x[c]) < 1e-8L) {
            bomb("readcomps", "zeroes not allowed in a bulk " + which, yourfault);
        }
    }
    for (int c = 1; c <= n; ++c) {
        if (x[c] < 0)
            bomb("readcomps", "negative amounts not allowed in a bulk " + which, yourfault);
    }
}

void onebulktable(Session& ses, const Run& run, const BulkState& bulk) {
    const ScriptSettings& sc = run.script;
    std::string head = "composition";
    if (!bulk.pickedinrange)
        head += std::string(" (from ") + (bulk.fromrbi ? "rbi" : "bulk") + " script)";
    putstr(ses, 1, head, 1, screensummarylogmask);
    std::string names = "  ";
    std::string values = sc.calcsdlevel > 0 ? "b " : "  ";
    for (int c = 1; c <= bulk.nuvleft; ++c) {
        addstr(bulkcompname(run, bulk, c), 9, names);
        addreal(bulk.fromrbi ? 4 : 3, true, 9, values, bulk.bulkstart[c]);
    }
    if (bulk.pickedinrange) values += "   (" + fix(3, bulk.onebulkprop) + " across original range)";
    putstr(ses, 0, names, 1, screensummarylogmask);
    putstr(ses, 0, values, 1, screensummarylogmask);
}

void rangetable(Session& ses, const Run& run, const BulkState& bulk, bool subrange) {
    putstr(ses, 1, subrange ? "composition" : "composition (from script)", 1, screensummarylogmask);
    std::string names;
    std::string start;
    std::string end;
    for (int c = 1; c <= bulk.nuvleft; ++c) {
        addstr(bulkcompname(run, bulk, c), 8, names);
        addreal(3, true, 8, start, bulk.bulkstart[c]);
        addreal(3, true, 8, end, bulk.bulkend[c]);
    }
    end += "      " + realstr(bulk.nbulk - 1) + " increments";
    if (subrange) {
        end += " across " + num(bulk.bulkpropstart) + " to " + num(bulk.bulkpropend) +
               " of original range";
    }
    putstr(ses, 0, names, 1, screenmask);
    putstr(ses, 0, start, 1, screenmask);
    putstr(ses, 0, end, 1, screenmask);
    const int16 n = bulk.nbulk;
    const int16 k = n < 12 ? 1 : n < 22 ? 2 : n < 52 ? 5 : 10;
    // The listed points: 1, then every k-th, then the last when it was missed.
    Fixed1<int16, maxbulkpoints + 1> points{};
    int16 np = 0;
    points[++np] = 1;
    for (int j = 1; j <= (n - 1) / k; ++j) points[++np] = narrow16(k * j + 1);
    if (points[np] != n) points[++np] = n;
    std::string pos;
    std::string prop;
    addstr("pos", -6, pos);
    addstr("prop", -6, prop);
    for (int i = 1; i <= np; ++i) {
        const real w = static_cast<real>(points[i] - 1) / (n - 1);
        addgreal(6, pos, points[i]);
        addreal(3, true, 6, prop, bulk.bulkpropstart + (bulk.bulkpropend - bulk.bulkpropstart) * w);
    }
    if (subrange) {
        pos += "   (in this range)";
        prop += "   (of overall range)";
    }
    putstr(ses, 1, pos, 1, summarylogmask);
    putstr(ses, 0, prop, 1, summarylogmask);
    for (int c = 1; c <= bulk.nuvleft; ++c) {
        std::string row;
        addstr(bulkcompname(run, bulk, c), 6, row);
        for (int i = 1; i <= np; ++i) {
            const real w = static_cast<real>(points[i] - 1) / (n - 1);
            addreal(2, true, 6, row, bulk.bulkend[c] * w + bulk.bulkstart[c] * (1 - w));
        }
        putstr(ses, 0, row, 1, summarylogmask);
    }
}

// What the log-ratio bulk needs of the bulk reader.
MineralBulkSettings logratiosettings(const Run& run, const BulkState& bulk,
                                     const BulkSources& src) {
    const ScriptSettings& sc = run.script;
    MineralBulkSettings set;
    set.reducedcomp = bulk.reducedcomp;
    set.nuvleft = bulk.nuvleft;
    set.kbpden = bulk.kbpden;
    set.dudaplus = src.duda;
    set.rbi = yes(sc.rbicb);
    set.rmi = src.rmi;
    set.nrbimode = set.rbi ? bulk.nrbimode : 0;
    set.nrmimode = src.rmi ? bulk.nrbimode : 0;
    set.nlna = sc.nlna;
    set.firstspecial = sc.nlna > 0 ? sc.lna[1].name : std::string();
    return set;
}

// The b' and sd rows under the bulk table of a run with uncertainties; in a duDA+ run first the
// bulk as the log-ratio estimate left it (`x`, fractions).
void logratiolines(Session& ses, const Run& run, const BulkState& bulk, bool duda,
                   const cvector& x) {
    const MineralBulk& mb = bulk.logratio;
    const SystemComponents& comps = run.dataset.components;
    if (duda) {
        std::string line = "b ";
        for (int c = 1; c <= bulk.nuvleft; ++c) addreal(4, true, 9, line, 100 * x[c]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    // The denominator's place among the bulk components.
    int16 den = 0;
    int16 k = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (!bulk.reducedcomp[c]) continue;
        ++k;
        if (c == bulk.kbpden) den = k;
    }
    std::string bp = "b'";
    std::string sd = "sd";
    int16 j = 0;
    for (int c = 1; c <= bulk.nuvleft; ++c) {
        if (c == den) {
            addstr("//", 9, bp);
            addstr("", 9, sd);
            continue;
        }
        ++j;
        const real v = bulk.bulkstart[c] > 0 ? mb.bprime[j] : std::log(0.81L / bulk.bulkstart[den]);
        addreal(4, true, 9, bp, v);
        addreal(4, true, 9, sd, mb.sdbprime[j]);
    }
    putstr(ses, 0, bp, 1, screensummarylogmask);
    putstr(ses, 0, sd, 1, screensummarylogmask);
}

}  // namespace

std::string bulkcompname(const Run& run, const BulkState& bulk, int c) {
    const SystemComponents& comps = run.dataset.components;
    bool oxygen = false;
    std::string name;
    int16 k = 0;
    for (int s = 1; s <= comps.ncomp; ++s) {
        if (!bulk.reducedcomp[s]) continue;
        if (comps.compnames[s] == "O") oxygen = true;
        if (++k == c) name = comps.compnames[s];
    }
    return oxygen && name == "FeO" ? "FeOt" : name;
}

ReducedSystem reducedsystem(const BulkState& bulk) {
    ReducedSystem rs;
    rs.reducedcomp = bulk.reducedcomp;
    rs.nuvleft = bulk.nuvleft;
    rs.nbulk = bulk.nbulk > 1 ? int16{2} : bulk.nbulk;
    rs.bulk[1] = bulk.bulkstart;
    rs.bulk[2] = bulk.bulkend;
    return rs;
}

void findkbpden(const Run& run, BulkState& bulk) {
    const SystemComponents& comps = run.dataset.components;
    const int16 n = comps.ncomp;
    int16 s = 0;
    if (n >= 2 && comps.compnames[1] == "H2O" && comps.compnames[2] == "CO2") {
        s = 2;
    } else if (n >= 1 && (comps.compnames[1] == "H2O" || comps.compnames[1] == "CO2")) {
        s = 1;
    }
    int16 k = narrow16(s + 1);
    while (k < n && !bulk.reducedcomp[k]) ++k;
    if (k > n) k = n;
    bulk.kbpden = k;
    const std::string& name = comps.compnames[k];
    for (int j = 1; j <= maxcomp; ++j) {
        if (run.comps.oxidenames[j] == name) return;
    }
    bomb("find kbpden", name + " not found", yourfault);
}

void rbichecks(Run& run, BulkState& bulk, const BulkSources& src) {
    ScriptSettings& sc = run.script;
    const bool rbi = yes(sc.rbicb);
    if (!src.duda && !src.rmi) {
        if (rbi) sc.nmin = 0;
        return;
    }
    ScriptTables& t = *sc.tables;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    const std::string form = src.duda ? "rbi" : "rmi";
    if (src.duda) {
        if (!rbi && !src.rmi) bomb("rbichecks", "bulk must be by rbi or rmi for duDA+", yourfault);
        for (int k = 1; k <= run.nss; ++k) {
            bool found = false;
            for (int m = 1; m <= sc.nmin && !found; ++m) found = t.minerals[m].name == ss[k].name;
            if (!found) bomb("rbichecks", "info for " + ss[k].name + " not in mineral", yourfault);
        }
        int16 kept = 0;
        for (int m = 1; m <= sc.nmin; ++m) {
            bool match = false;
            for (int k = 1; k <= run.nss && !match; ++k) match = t.minerals[m].name == ss[k].name;
            if (match) t.minerals[++kept] = t.minerals[m];
        }
        sc.nmin = kept;
        if (kept != run.nss) bomb("rbichecks", "nmin, npss mismatch", yourfault);
        if (sc.nrbi < 1) bomb("rbichecks", "nrbimode = " + realstr(sc.nrbi), yourfault);
    }
    // The rows in phase order: the minerals, then the pure phases.
    Fixed1<std::string, maxrbirows> names{};
    Fixed1<real, maxrbirows> modes{};
    Fixed1<valreals, maxrbirows> comps{};
    int16 n = 0;
    auto take = [&](const std::string& name) {
        int row = 0;
        for (int l = 1; l <= sc.nrbi && row == 0; ++l) {
            if (t.rbiphase[l] == name) row = l;
        }
        if (row == 0) bomb("rbichecks", name + " not in " + form, yourfault);
        if (++n > maxrbirows) bomb("rbichecks", "too many phases in rbi", yourfault);
        names[n] = name;
        modes[n] = t.rbimode[row];
        comps[n] = t.rbicomp[row];
    };
    for (int m = 1; m <= sc.nmin; ++m) take(t.minerals[m].name);
    for (int j = 1; j <= run.npure; ++j) take(pure[j].name);
    for (int l = 1; l <= n; ++l) {
        t.rbiphase[l] = names[l];
        t.rbimode[l] = modes[l];
        if (rbi) t.rbicomp[l] = comps[l];
    }
    sc.nrbi = n;
    bulk.nrbimode = n;
}

// Kept whole: one bulk dialogue, each script line or answer steering the questions after it.
void readcomps(Session& ses, Run& run, PdRun& pd, const BulkSources& src) {
    ScriptSettings& sc = run.script;
    const ScriptTables& t = *sc.tables;
    BulkState& bulk = pd.bulk;
    const bool rbi = yes(sc.rbicb);
    const int16 ncompsline = rbi ? sc.nrbiox : sc.nbulkox;
    if (!((yes(sc.bulkcb) || rbi) && sc.nbulk > 0 && ncompsline != 0)) {
        putstr(ses, 1, "interactive entry of bulk composition has been discontinued", 1,
               screensummarylogmask);
        putstr(ses, 0, "Add a bulk or rbi script to the scriptfile, and rerun quorvantis.", 1,
               screensummarylogmask);
        bomb("readcomps", "stopping now", yourfault);
    }
    bulk.bulkpropstart = 0;
    bulk.bulkpropend = 1;
    bulk.onebulkprop = -1;
    bulk.pickedinrange = false;
    bulk.fromrbi = rbi;
    setter(run, pd.xco2varon, pd.compatrowon, bulk);
    putstr(ses, 1, "specification of bulk composition", 1, screenlogmask);
    checkcomponents(ses, run, bulk, rbi ? t.rbiox : t.bulkox, ncompsline);
    const int16 ncomp = run.dataset.components.ncomp;
    const int16 n = bulk.nuvleft;
    int16 nscript = 1;
    cvector a{};
    cvector b{};
    if (rbi) {
        rbichecks(run, bulk, src);
        findkbpden(run, bulk);
        a = rbibulk(run, bulk, src);
        b = a;
    } else if (src.rmi) {
        if (sc.nmin < 1) bomb("readcomps", "no minerals!", yourfault);
        rbichecks(run, bulk, src);
        mineralsetup(run);
        MineralBulk& mb = bulk.logratio;
        mb.set = logratiosettings(run, bulk, src);
        stackmineralvars(run, mb);
        findkbpden(run, bulk);
        mb.set.kbpden = bulk.kbpden;
        a = mineralcontrib(ses, run, mb, mb.stackvars, 0).bulk;
        b = a;
    } else {
        nscript = sc.nbulk >= 2 ? 2 : 1;
        cvector raw{};
        for (int c = 1; c <= ncomp; ++c) raw[c] = t.bulk[1][c];
        a = compacted(bulk, raw, ncomp);
        if (nscript == 2) {
            for (int c = 1; c <= ncomp; ++c) raw[c] = t.bulk[2][c];
        }
        b = compacted(bulk, raw, ncomp);
        // Both ends take the factor that brings the first to 100.
        real total = 0;
        for (int c = 1; c <= n; ++c) total += a[c];
        if (total <= 0) bomb("readcomps", "comp sum not positive", yourfault);
        for (int c = 1; c <= n; ++c) {
            a[c] *= 100 / total;
            b[c] *= 100 / total;
        }
    }
    bool subrange = false;
    int16 nbulk = 1;
    if (nscript == 2) {
        const bool askone = sc.onebulkcb == controlboolean::ask;
        promptcontrol(ses, "choose one bulk within the range specified", sc.onebulkcb);
        if (yes(sc.onebulkcb)) {
            real p = sc.onebulk;
            const bool fromscript = p >= 0 && p <= 1;
            if (!fromscript) {
                if (!askone) {
                    putstr(ses, 0, "making one bulk composition within the range specified,", 1,
                           screenlogmask);
                }
                promptreal(ses, "proportion across bulk composition range to use", p);
                p = std::min<real>(1, std::max<real>(0, p));
                sc.onebulk = p;
            }
            a = mix(a, b, p, n);
            b = a;
            bulk.onebulkprop = p;
            bulk.pickedinrange = true;
            putstr(ses, 0,
                   "one bulk, at " + fix(3, p) + " between the two script bulk compositions" +
                       (fromscript ? " (from script)" : ""),
                   1, screensummarylogmask);
        } else {
            nbulk = 2;
            if (sc.bulksubrangecb != controlboolean::no) {
                const bool askrange = sc.bulksubrangecb == controlboolean::ask;
                promptcontrol(ses,
                              sc.bulksubrangelow >= 0 ? "use bulk subrange in script"
                                                      : "make a bulk subrange",
                              sc.bulksubrangecb);
                const real s0 = sc.bulksubrangelow;
                const real s1 = sc.bulksubrangehigh;
                if (yes(sc.bulksubrangecb) && s0 >= 0 && s0 < 1 && s1 > s0) {
                    bulk.bulkpropstart = s0;
                    bulk.bulkpropend = s1;
                    const cvector a0 = a;
                    a = mix(a0, b, s0, n);
                    b = mix(a0, b, s1, n);
                    subrange = true;
                    putstr(ses, 0,
                           "bulk subrange, " + num(s0) + " to " + num(s1) +
                               ", between the two script bulk compositions (from script)",
                           1, screensummarylogmask);
                } else if (yes(sc.bulksubrangecb)) {
                    if (!askrange) {
                        putstr(ses, 0,
                               "making a bulk composition subrange within the range specified,", 1,
                               screenlogmask);
                    }
                    strings words;
                    int16 nw = 0;
                    promptstrings(ses, "start and finish proportions across bulk composition range",
                                  words, nw);
                    auto number = [&](int i) { return isnumeric(whatis(words[i])); };
                    auto getreal = [&](const std::string& w) {
                        return getsingle(whatis(w), w, "for bulk subrange");
                    };
                    if (nw == 1 && number(1)) {
                        const real p = getreal(words[1]);
                        if (p >= 0 && p < 1) {
                            a = mix(a, b, p, n);
                            b = a;
                            nbulk = 1;
                            bulk.bulkpropstart = p;
                            bulk.onebulkprop = p;
                            bulk.pickedinrange = true;
                            putstr(ses, 0,
                                   "bulk subrange is one bulk, " + num(p) +
                                       ", between the two script bulk compositions",
                                   1, screensummarylogmask);
                        }
                    } else if (nw >= 2 && number(1) && number(2)) {
                        const real p0 = getreal(words[1]);
                        const real p1 = getreal(words[2]);
                        if (p0 < 0 || p0 >= 1 || p1 <= p0 || p1 > 1) {
                            bomb("readcomps", "entered bulk composition range is not 0<->1",
                                 yourfault);
                        }
                        bulk.bulkpropstart = p0;
                        bulk.bulkpropend = p1;
                        const cvector a0 = a;
                        a = mix(a0, b, p0, n);
                        b = mix(a0, b, p1, n);
                        subrange = true;
                        putstr(ses, 0,
                               "bulk subrange, " + num(p0) + " to " + num(p1) +
                                   ", between the two script bulk compositions",
                               1, screensummarylogmask);
                    }
                }
            }
        }
    }
    if (nbulk == 1) {
        checkamounts(a, n, "(1)");
        b = a;
    } else {
        checkamounts(a, n, "(2)");
        checkamounts(b, n, "(2)");
    }
    bulk.bulkstart = a;
    bulk.bulkend = b;
    if (nbulk == 1) {
        bulk.nbulk = 1;
    } else {
        bulk.nbulk = narrow16(increments(ses, sc) + 1);
    }
    pd.nbulk = bulk.nbulk;
    if (bulk.nbulk == 1) {
        onebulktable(ses, run, bulk);
        if (sc.calcsdlevel > 0) {
            findkbpden(run, bulk);
            MineralBulk& mb = bulk.logratio;
            mb.set = logratiosettings(run, bulk, src);
            cvector x = bulk.bulkstart;
            calccovbp(ses, run, mb, x);
            logratiolines(ses, run, bulk, src.duda, x);
        }
    } else {
        rangetable(ses, run, bulk, subrange);
    }
}

}  // namespace qv
