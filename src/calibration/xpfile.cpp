#include "calibration/xpfile.hpp"

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "calibration/calibfiles.hpp"
#include "calibration/emfile.hpp"
#include "model/axprint.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "thermo/ordering.hpp"
#include "thermo/thermowork.hpp"

namespace qv {
namespace {

// One more entry of an experiment's end-member list.
void listentry(xprec& e) {
    ++e.nlist;
    if (e.nlist > maxlist) {
        bomb("readxy", "too many end-members in the list of an experiment" + maxtext(maxlist),
             yourfault);
    }
    e.listphase[e.nlist] = 0;
    e.listem[e.nlist] = 0;
}

// The number of the calibration phase called `name` (the last of that name), 0 when none.
int16 phasenumber(const Calibration& cal, const std::string& name) {
    int16 p = 0;
    for (int q = maxxpss + 1; q <= cal.xpphasenames.size(); ++q) {
        if (cal.xpphasenames[q] == name) p = narrow16(q);
    }
    return p;
}

// Member m's activity comes from solution phase `name`: every end-member of the phase joins
// the list, and the member points to its own.
void addphase(const Run& run, Calibration& cal, xprec& e, int m, const std::string& name,
              int& nphases) {
    const int16 p = phasenumber(cal, name);
    if (p == 0 || !cal.axread) {
        bomb("reading activity", "name, " + name + ", not recognised 1", yourfault);
    }
    ++nphases;
    if (nphases > maxxpss) {
        bomb("readxy", "too many solution phases in one experiment" + maxtext(maxxpss), yourfault);
    }
    const ptype1& ph = (*run.arrays.prec1)[p];
    const std::string& member = cal.tda[e.memberix[m]].name;
    int own = 0;
    for (int j = 1; j <= ph.nem; ++j) {
        if (ph.em[j].name == member) own = j;
    }
    if (own == 0) bomb("readxy", ph.em[ph.nem].name + "not recognised", yourfault);
    for (int j = 1; j <= ph.nem; ++j) {
        listentry(e);
        e.listnames[e.nlist] = ph.em[j].name;
        posinphname(cal, ph.em[j].name, e.listix[e.nlist], true);
        e.listphase[e.nlist] = p;
        e.listem[e.nlist] = narrow16(j);
        e.lista[e.nlist] = j == 1 ? -1 : -2;
        if (j == own) e.memberpos[m] = e.nlist;
    }
}

// The weight factor of an experiment as the preferences take it.
real weightfactor(const Calibration& cal, real weight) {
    if (cal.prefs.userfac == controlboolean::no) return 1;
    if (weight <= 0) return cal.prefs.tighten == controlboolean::yes ? 0.5L : 1;
    return weight;
}

// The activity of every reaction member that is not a phase end-member must have a logarithm.
void checkactivities(const xprec& e, const brrec& br, int16 nbr, int16 k) {
    for (int m = 1; m <= e.nmembers; ++m) {
        const int16 pos = e.memberpos[m];
        if (e.coef[m] != 0 && e.lista[pos] >= 0 && !(br.bra[pos] > 0)) {
            bomb("readxy",
                 "activity of " + e.listnames[pos] + " not positive in bracket " + realstr(nbr) +
                     " of experiment " + realstr(k),
                 yourfault);
        }
    }
}

// Reads a bracket line's code, P, T (to K) and x(CO2) into br; false at the negative code that
// ends the brackets.
bool readbrackethead(CalibReader& rd, strings& words, int16& n, brrec& br, int16& bcode) {
    if (!rd.line(words, n)) bomb("readxy", "file ends in the brackets", yourfault);
    bcode = getinteger(whatis(words[1]), words[1], "reading br code");
    if (bcode < 0) return false;
    if (n < 4) bomb("readxy", "not enough info 1", yourfault);
    br.direction = bcode == 1;
    br.brP = getsingle(whatis(words[2]), words[2], "reading P");
    br.brT = getsingle(whatis(words[3]), words[3], "reading T") + 273.15L;
    br.brx = getsingle(whatis(words[4]), words[4], "reading x(CO2)");
    return true;
}

// The values of a bracket line after its code, P, T and x(CO2), in list order: the composition
// of each phase (every end-member's but the last) and the activity of each entry listed with
// activity 0; the other entries keep their fixed activity (-2: the phase's other end-members).
// An assemblage with unknown compositions may leave them off: from that bracket on, they start
// at the a-x file's guesses.
void readbracketvalues(const Run& run, xprec& e, const strings& words, int16 n, brrec& br) {
    const bool mayomit = e.unknowncomps && e.ingroup;
    int v = 0;
    int nx = 0;
    for (int j = 1; j <= e.nlist; ++j) {
        const real rule = e.lista[j];
        if (rule == -2) {
            br.bra[j] = -2;
        } else if (rule == -1) {
            const ptype1& ph = (*run.arrays.prec1)[e.listphase[j]];
            const int first = nx + 1;
            for (int q = 1; q < ph.nem; ++q) {
                ++v;
                if (!mayomit && v + 4 > n) bomb("readxy", "not enough info 1", yourfault);
                if (++nx > maxlist) {
                    bomb("readxy", "too many composition values" + maxtext(maxlist), yourfault);
                }
                if (e.xyzfromax) continue;
                if (v + 4 <= n) {
                    br.xyz[nx] = getsingle(whatis(words[v + 4]), words[v + 4], "reading xyz");
                } else {
                    e.xyzfromax = true;
                }
            }
            if (e.xyzfromax) {
                for (int q = 1; q < ph.nem; ++q) br.xyz[first + q - 1] = ph.var[q].guess;
            }
            br.bra[j] = -1;
        } else if (rule == 0) {
            ++v;
            if (v + 4 > n) bomb("readxy", "not enough info 2", yourfault);
            br.bra[j] = getsingle(whatis(words[v + 4]), words[v + 4], "reading a");
        } else {
            br.bra[j] = rule;
        }
    }
}

// H2O and CO2 of the list, when given as present (activity >= 1), take the bracket's fluid
// composition.
void setfluidactivities(const SpecialPositions& sp, int16 nlist, brrec& br) {
    for (int j = 1; j <= nlist; ++j) {
        if (j == sp.posH2O && br.bra[j] >= 1) br.bra[j] = 1 - br.brx;
        if (j == sp.posCO2 && br.bra[j] >= 1) br.bra[j] = br.brx;
    }
}

// The next counted bracket of experiment e: bracket lines are read up to the negative code, and
// those of code 2 are read but not counted; false at the end.
bool nextbracket(CalibReader& rd, const Run& run, xprec& e, const SpecialPositions& sp,
                 strings& words, int16& n, brrec& br) {
    for (;;) {
        br = brrec{};
        int16 bcode = 0;
        if (!readbrackethead(rd, words, n, br, bcode)) return false;
        readbracketvalues(run, e, words, n, br);
        setfluidactivities(sp, e.nlist, br);
        if (bcode == 2) continue;
        ++e.nbr;
        if (e.nbr > maxnb) bomb("readxy", "need to increase maxnb", yourfault);
        return true;
    }
}

// An experiment given as an assemblage of phases: the expanded end-member list of its header
// members, its reactions (one record each) and its runs, which give the phase compositions.
void readgroup(Session& ses, const Run& run, Calibration& cal, CalibReader& rd, int16 k,
               const strings& head, int last) {
    xprec& e = cal.xp[k];
    int nphases = 0;
    for (int m = 2; m <= last; ++m) {
        const std::string& name = head[m];
        int16 ix = 0;
        if (posinphname(cal, name, ix, false)) {
            listentry(e);
            e.listnames[e.nlist] = name;
            e.listix[e.nlist] = ix;
            e.lista[e.nlist] = 1;
            continue;
        }
        const int16 p = phasenumber(cal, name);
        if (p == 0 || !cal.axread) {
            bomb("readrc", "not recognised \"" + name + "\"", yourfault);
        }
        if (++nphases > maxxpss) {
            bomb("readxy", "too many solution phases in one experiment" + maxtext(maxxpss),
                 yourfault);
        }
        const ptype1& ph = (*run.arrays.prec1)[p];
        for (int j = 1; j <= ph.nem; ++j) {
            const ssemtype& em = ph.em[j];
            int16 d = 0;
            if (!posinphname(cal, em.name, d, false) && em.nmake == 0) {
                bomb("readrc", "not recognised \"" + em.name + "\"", yourfault);
            }
            listentry(e);
            e.listnames[e.nlist] = em.name;
            e.listix[e.nlist] = d;
            e.listphase[e.nlist] = p;
            e.listem[e.nlist] = narrow16(j);
            e.lista[e.nlist] = j == 1 ? -1 : -2;
        }
        for (int j = 1; j <= ph.nem; ++j) {
            const ssemtype& em = ph.em[j];
            for (int c = 1; c <= em.nmake; ++c) {
                listentry(e);
                e.listnames[e.nlist] = em.makenames[c];
                posinphname(cal, em.makenames[c], e.listix[e.nlist], true);
                e.listphase[e.nlist] = p;
                e.listem[e.nlist] = narrow16(j);
                e.lista[e.nlist] = 0.5L;
            }
        }
    }
    e.nreacs = rd.integer("number of reactions");
    e.weight = weightfactor(cal, rd.number("weight factor"));
    e.reftext = rd.resttext();
    checkinput(e.nreacs >= 1, "readxy", "number of reactions of experiment " + realstr(k), e.nreacs,
               "an experiment needs a reaction", rd.filename());
    if (k + e.nreacs - 1 > maxnexp) {
        bomb("readxy", "too many equilibria -> increase maxnexp", yourfault);
    }

    // The reactions among the list's end-members.
    strings words;
    int16 n = 0;
    for (int16 r = 1; r <= e.nreacs; ++r) {
        xprec& rec = cal.xp[k + r - 1];
        if (r > 1) {
            rec = xprec{};
            rec.nreacs = e.nreacs;
            rec.xpkind = e.xpkind;
            rec.use = e.use;
            rec.weight = e.weight;
            rec.reftext = e.reftext;
            rec.hasphases = true;
            rec.unknowncomps = e.unknowncomps;
            rec.show = e.show;
            rec.nlist = e.nlist;
            rec.listnames = e.listnames;
            rec.listix = e.listix;
            rec.lista = e.lista;
            rec.listphase = e.listphase;
            rec.listem = e.listem;
        }
        rec.ingroup = true;
        rec.reacno = r;
        if (!rd.line(words, n)) bomb("readxy", "file ends in the reactions", yourfault);
        if (n > maxlist) {
            bomb("readxy", "too many members of a reaction" + maxtext(maxlist), yourfault);
        }
        rec.nmembers = n;
        for (int m = 1; m <= n; ++m) {
            int16 pos = 0;
            for (int j = e.nlist; j >= 1; --j) {
                if (e.listnames[j] == words[m]) pos = narrow16(j);
            }
            if (pos == 0) bomb("readrc", "not recognised \"" + words[m] + "\" 1", yourfault);
            // the reaction's enthalpy is a sum over dataset end-members
            if (e.listix[pos] == 0) {
                bomb("readrc", "not an end-member \"" + words[m] + "\"", yourfault);
            }
            rec.memberpos[m] = pos;
            rec.memberix[m] = e.listix[pos];
        }
        for (int m = 1; m <= n; ++m) rec.coef[m] = rd.integer("reaction coefficient");
        rd.droprest();
        const SpecialPositions sp = specialems(cal, rec.listix, rec.nlist);
        rec.nofluid = sp.posH2O == 0 && sp.posCO2 == 0;
        rec.crdflag = false;
        rec.reactext = reactiontext(cal, rec.coef, rec.memberix, rec.nmembers);
    }

    // Listing.
    std::string members;
    for (int m = 2; m <= last; ++m) members += head[m] + " ";
    const int16 lastrec = narrow16(k + e.nreacs - 1);
    if (cal.prefs.infolevel < 2) {
        std::string line = "  " + realstr(k);
        if (e.nreacs > 1) line += "-" + realstr(lastrec);
        putstr(ses, 0, line + ")  equil: " + members + "  (" + e.reftext + ")", 1, logmask);
    } else {
        if (k == 1) putstr(ses, 2, "READING experimental work", 1, logmask);
        putstr(ses, 0,
               "  equil: " + members + "  (" + e.reftext + "), involving next " +
                   (e.nreacs == 1 ? std::string("reaction:") : realstr(e.nreacs) + " reactions:"),
               1, logmask);
        for (int16 r = k; r <= lastrec; ++r) {
            putstr(ses, 0, "    " + realstr(r) + ")  " + cal.xp[r].reactext, 1, logmask);
        }
    }

    // The runs: P, T, x(CO2), then the compositions of the phases (and activities) in list
    // order; an experiment with unknown compositions may leave them to the a-x file's guesses.
    const SpecialPositions sp = specialems(cal, e.listix, e.nlist);
    e.nbr = 0;
    for (brrec br; nextbracket(rd, run, e, sp, words, n, br);) {
        for (int16 r = k; r <= lastrec; ++r) checkactivities(cal.xp[r], br, e.nbr, k);
        e.br.push_back(br);
        for (int16 r = narrow16(k + 1); r <= lastrec; ++r) {
            brrec copy;
            copy.direction = br.direction;
            copy.brP = br.brP;
            copy.brT = br.brT;
            copy.brx = br.brx;
            cal.xp[r].br.push_back(copy);
        }
    }
    for (int16 r = narrow16(k + 1); r <= lastrec; ++r) cal.xp[r].nbr = e.nbr;
    cal.nexp = lastrec;
}

void addrow(Calibration& cal) {
    ++cal.nobs;
    if (cal.nobs > maxnexp) bomb("readxy", "too many experiments (increase maxnexp)", yourfault);
}

// Direct calorimetry, each datum a row of the problem: from the end-member file itself in the
// old layout, else from the file's first section.
void readdirectcal(Session& ses, Calibration& cal, CalibReader& rd) {
    strings words;
    int16 n = 0;
    putstr(ses, 1, "reading direct calorimetry", 1, logmask);
    for (int16 i = 1; i <= cal.ntp; ++i) {
        cal.tda[i].hcal = cal.tda[i].hcalsd = 0;
        cal.tda[i].calrow = 0;
    }
    if (cal.dsmode == 5) {
        for (int16 i = 1; i <= cal.ntp; ++i) {
            tdrec& t = cal.tda[i];
            if (t.sdH >= 99) continue;
            addrow(cal);
            putstr(ses, 0, "  " + realstr(cal.nobs) + ")  " + t.name, 1, logmask);
            cal.b[cal.nobs][i] = 1;
            cal.x[cal.nobs][i] = 1;
            cal.y[cal.nobs] = t.H;
            cal.sdy[cal.nobs] = t.sdH < 0.0001L ? 0.0001L : t.sdH;
        }
    } else {
        for (;;) {
            if (!rd.line(words, n)) bomb("readxy", "file ends in direct calorimetry", yourfault);
            const int16 code = getinteger(whatis(words[1]), words[1], "reading direct cal code");
            if (code == 0) break;
            int16 i = 0;
            posinphname(cal, n >= 2 ? words[2] : std::string(), i, true);
            tdrec& t = cal.tda[i];
            t.hcal = getsingle(whatis(words[3]), words[3], "cal enthalpy");
            t.hcalsd = getsingle(whatis(words[4]), words[4], "cal enthalpy sd");
            checkinput(t.hcalsd >= 0, "readxy", "sd of the calorimetric enthalpy of " + t.name,
                       t.hcalsd, "must not be negative", rd.filename());
            if (t.hcalsd == 0) t.hcalsd = 0.001L;
            t.calrow = 0;
            if (code != 1) continue;
            addrow(cal);
            t.calrow = cal.nobs;
            putstr(ses, 0, "  " + realstr(cal.nobs) + ")  " + t.name, 1, logmask);
            cal.b[cal.nobs][i] = 1;
            cal.x[cal.nobs][i] = 1;
            cal.y[cal.nobs] = t.hcal;
            cal.sdy[cal.nobs] = t.hcalsd;
        }
    }
    cal.ncalrows = cal.nobs;
}

// Oxide calorimetry: reactions among end-members with their measured enthalpy, brought to
// 298.15 K; each one used is a row of the problem.
void readoxcal(Session& ses, Calibration& cal, CalibReader& rd) {
    strings words;
    int16 n = 0;
    putstr(ses, 1, "reading oxide calorimetry", 1, logmask);
    cal.noxcal = 0;
    for (;;) {
        if (!rd.line(words, n)) bomb("readxy", "file ends in oxide calorimetry", yourfault);
        const int16 code = getinteger(whatis(words[1]), words[1], "reading oxcal code");
        if (code == 0) break;
        ++cal.noxcal;
        if (cal.noxcal > maxnoxcal) {
            bomb("readxy", "too many oxide calorimetry data" + maxtext(maxnoxcal), yourfault);
        }
        if (n - 1 > maxlist) {
            bomb("readxy", "too many end-members in oxide calorimetry" + maxtext(maxlist),
                 yourfault);
        }
        oxcalrec& o = cal.oxcal[cal.noxcal];
        o = oxcalrec{};
        o.use = code == 1;
        o.n = narrow16(n - 1);
        for (int k = 1; k <= o.n; ++k) posinphname(cal, words[k + 1], o.ix[k], true);
        for (int k = 1; k <= o.n; ++k) o.coef[k] = rd.integer("oxcal coefficient");
        o.hmeas = rd.number("oxcal enthalpy");
        o.sdmeas = rd.number("oxcal enthalpy sd");
        o.tmeas = rd.number("oxcal T");
        checkinput(o.sdmeas >= 0, "readxy", "sd of an oxide calorimetry enthalpy", o.sdmeas,
                   "must not be negative", rd.filename());
        checkinput(o.tmeas > 0, "readxy", "T of an oxide calorimetry measurement", o.tmeas,
                   "must be above absolute zero", rd.filename());
        rd.droprest();
        putstr(ses, 0, "  " + realstr(cal.nobs + 1) + ")  " + reactiontext(cal, o.coef, o.ix, o.n),
               1, logmask);
        o.h298 = o.hmeas;
        if (o.tmeas > 298.2L) {
            for (int k = 1; k <= o.n; ++k) {
                o.h298 +=
                    o.coef[k] * heatcontent(thermowork(ses), cal.tda[o.ix[k]], cal.dsmode, o.tmeas);
            }
        }
        // A measured sd of zero is taken as 0.001 kJ, as for direct calorimetry.
        if (o.sdmeas == 0) o.sdmeas = 0.001L;
        if (!o.use) continue;
        addrow(cal);
        for (int k = 1; k <= o.n; ++k) {
            cal.b[cal.nobs][o.ix[k]] = 1;
            cal.x[cal.nobs][o.ix[k]] = narrow16(-o.coef[k]);
        }
        cal.y[cal.nobs] = o.h298;
        cal.sdy[cal.nobs] = o.sdmeas;
    }
    cal.noxrows = cal.nobs;
}

// The kind and the members of an experiment from its header line (code, members, then the
// keywords "univariant" or "divariant", "unknowncomps" and "show"); the last member's word.
int readxpheader(const Calibration& cal, xprec& e, const strings& words, int16 n) {
    int last = n;
    const auto kind = [&](const std::string& w) { return w == "univariant" ? 1 : 2; };
    if (words[n] == "show" && n >= 2) {
        e.show = true;
        if (n >= 3 && words[n - 1] == "unknowncomps") {
            if (n < 4 || words[n - 2] != "univariant") {
                bomb("readxy", "need univariant keyword", yourfault);
            }
            last = n - 3;
            e.xpkind = 1;
            e.unknowncomps = true;
        } else if (words[n - 1] == "univariant" || words[n - 1] == "divariant") {
            last = n - 2;
            e.xpkind = narrow16(kind(words[n - 1]));
        } else {
            e.show = false;
        }
    } else if (words[n] == "unknowncomps") {
        if (n < 3 || words[n - 1] != "univariant") {
            bomb("readxy", "need univariant keyword", yourfault);
        }
        last = n - 2;
        e.xpkind = 1;
        e.unknowncomps = true;
    } else if (words[n] == "univariant" || words[n] == "divariant") {
        last = n - 1;
        e.xpkind = narrow16(kind(words[n]));
    }
    e.nmembers = narrow16(last - 1);
    if (e.nmembers > maxlist) {
        bomb("readxy", "too many members of a reaction" + maxtext(maxlist), yourfault);
    }
    for (int m = 1; m <= e.nmembers; ++m) {
        const std::string& name = words[m + 1];
        int16 ix = 0;
        if (posinphname(cal, name, ix, false)) {
            e.memberix[m] = ix;
            continue;
        }
        bool isphase = false;
        for (int p = 1; p <= cal.xpphasenames.size(); ++p) {
            if (cal.xpphasenames[p] == name) isphase = true;
        }
        if (!isphase) bomb("readrc", "not recognised \"" + name + "\"", yourfault);
        e.hasphases = true;
    }
    return last;
}

// An experiment among end-members: the reaction coefficients and weight, the activity line
// (a number or a solution phase a member), and its brackets.
void readplainxp(Session& ses, const Run& run, Calibration& cal, CalibReader& rd, int16 k) {
    xprec& e = cal.xp[k];
    strings words;
    int16 n = 0;
    e.ingroup = false;
    e.nreacs = 1;
    e.reacno = 1;
    for (int m = 1; m <= e.nmembers; ++m) e.coef[m] = rd.integer("reaction coefficient");
    e.weight = weightfactor(cal, rd.number("weight factor"));
    rd.droprest();

    // The activity of each member: a number, or a phase that supplies it.
    if (!rd.line(words, n)) bomb("readxy", "file ends before an activity line", yourfault);
    if (n < e.nmembers) bomb("readxy", "not enough activities", yourfault);
    int nphases = 0;
    for (int m = 1; m <= e.nmembers; ++m) {
        const std::string& w = words[m];
        const int16 ix = e.memberix[m];
        if (whatis(w) == valuetype::astring) {
            addphase(run, cal, e, m, w, nphases);
            continue;
        }
        listentry(e);
        e.listnames[e.nlist] = cal.tda[ix].name;
        e.listix[e.nlist] = ix;
        e.lista[e.nlist] = getsingle(whatis(w), w, "reading a(" + cal.tda[ix].name + ")");
        e.memberpos[m] = e.nlist;
        const std::string& nm = cal.tda[ix].name;
        if (e.lista[e.nlist] < 0 && (nm == "crd" || nm == "fcrd")) e.crdflag = true;
    }
    const SpecialPositions sp = specialems(cal, e.listix, e.nlist);
    e.nofluid = sp.posH2O == 0 && sp.posCO2 == 0;
    e.reftext.clear();
    for (int w = e.nmembers + 1; w <= n; ++w) e.reftext += words[w] + " ";
    if (e.crdflag) {
        if (sp.poscrd > 0) e.lista[sp.poscrd] = 1;
        if (sp.posfcrd > 0) e.lista[sp.posfcrd] = 1;
    }
    e.reactext = reactiontext(cal, e.coef, e.memberix, e.nmembers);
    if (cal.prefs.infolevel >= 2 && k == 1) {
        putstr(ses, 2, "READING experimental work", 1, logmask);
    }
    putstr(ses, 0, "  " + realstr(k) + ")  " + e.reactext + "  (" + e.reftext + ")", 1, logmask);
    if (cal.prefs.infolevel >= 3) {
        std::string line;
        addgreal(2, line, k);
        putstr(ses, 0, line + ")  " + e.reactext + "  (" + e.reftext + ")", 1, screenmask);
    }

    // Brackets, ended by a negative code.
    e.nbr = 0;
    for (brrec br; nextbracket(rd, run, e, sp, words, n, br);) {
        // ln a of every member enters the misfit: an activity that is not positive has none.
        checkactivities(e, br, e.nbr, k);
        e.br.push_back(br);
    }
}

}  // namespace

std::string reactiontext(const Calibration& cal, const Fixed1<int16, maxlist>& coef,
                         const Fixed1<int16, maxlist>& ix, int16 n) {
    std::string text;
    for (int side = -1; side <= 1; side += 2) {
        if (side == 1) text += " = ";
        bool first = true;
        for (int m = 1; m <= n; ++m) {
            const int c = coef[m];
            if (c == 0 || (c < 0) != (side < 0)) continue;
            if (!first) text += " + ";
            first = false;
            if (std::abs(c) != 1) text += std::to_string(std::abs(c));
            const int16 k = ix[m];
            if (k > 0) text += cal.tda[k].name;
        }
    }
    return text;
}

real heatcontent(ThermoWork& w, const tdrec& t, int16 /*dsmode*/, real T) {
    constexpr real tr = 298.15L;
    real h = t.cpa * (T - tr) + 0.5L * t.cpb * (T * T - 88893.4225L) - t.cpc * (1 / T - 1 / tr) +
             2 * t.cpd * (std::sqrt(T) - std::sqrt(tr));
    if (t.odn < 1 && t.Smax >= 0 && t.tcrit > 0) {
        const real q298 = std::sqrt(1 - tr / t.tcrit);
        if (T <= t.tcrit) {
            const real qt = std::sqrt(1 - T / t.tcrit);
            h += t.Smax * t.tcrit * ((qt * qt * qt - q298 * q298 * q298) / 3 - (qt - q298));
        } else {
            h += 2 * t.Smax * t.tcrit / 3;
        }
    }
    if (t.odn > 0) {
        const real q = bisectx(w, t.odn, T, t.od1, t.od3, t.odf);
        h += t.od1 + q * (t.od3 - t.od1) - t.od3 * q * q;
    }
    return h;
}

void readxpfile(Session& ses, const Run& run, Calibration& cal, InFile& f,
                std::string_view filename) {
    CalibReader rd(f, "readxy", filename);
    cal.nobs = 0;
    readdirectcal(ses, cal, rd);
    readoxcal(ses, cal, rd);
    if (cal.prefs.infolevel < 2) putstr(ses, 1, "reading experimental data", 1, logmask);
    cal.nexp = 0;

    // Experiments.
    strings words;
    int16 n = 0;
    for (;;) {
        if (!rd.line(words, n)) bomb("readxy", "file ends in the experiments", yourfault);
        const int16 code = getinteger(whatis(words[1]), words[1], "reading xp code");
        if (code == 0) break;
        ++cal.nexp;
        if (cal.nexp > maxnexp)
            bomb("readxy", "too many equilibria -> increase maxnexp", yourfault);
        const int16 k = cal.nexp;
        xprec& e = cal.xp[k];
        e = xprec{};
        e.use = code == 1;
        const int last = readxpheader(cal, e, words, n);
        if (e.hasphases) {
            readgroup(ses, run, cal, rd, k, words, last);
            continue;
        }
        readplainxp(ses, run, cal, rd, k);
    }
    cal.nobs = narrow16(cal.nobs + cal.nexp);
    cal.nobsread = cal.nobs;
    if (cal.nobs > maxnexp) bomb("readxy", "too much data -> increase maxnexp", yourfault);
}

void readxy(Session& ses, Run& run, Calibration& cal) {
    cal.xpcrdflag = false;
    {
        InFile f;
        std::string filename;
        std::string suffix = "em" + cal.prefs.emsuffix;
        promptdatafile(ses, filename, "ds-", suffix, "thermo", f);
        readth(ses, cal, f);
        f.close();
    }
    readax(ses, run, cal);
    InFile f;
    std::string filename;
    std::string suffix = "xp" + cal.prefs.xpsuffix;
    promptdatafile(ses, filename, "ds-", suffix, "xp info", f);
    run.dataset.ndsem = cal.ntp;
    readxpfile(ses, run, cal, f, filename);
    f.close();
    for (int i = maxxpss + 1; i <= cal.xpphasenames.size(); ++i) {
        printphaseinfo(ses, run, narrow16(i));
    }
}

}  // namespace qv
