#include "calibration/xpfile.hpp"

#include <cmath>

#include "base/fatal.hpp"
#include "calibration/calibfiles.hpp"
#include "calibration/emfile.hpp"
#include "model/axprint.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"
#include "thermo/ordering.hpp"

namespace qv {
namespace {

std::size_t u(int i) {
    return static_cast<std::size_t>(i);
}

// One more entry of an experiment's end-member list.
void listentry(xprec& e) {
    ++e.nlist;
    if (e.nlist > maxlist) {
        bomb("readxy", "too many end-members in the list of an experiment" + maxtext(maxlist),
             yourfault);
    }
    e.listphase[u(e.nlist)] = 0;
    e.listem[u(e.nlist)] = 0;
}

// Member m's activity comes from solution phase `name`: every end-member of the phase joins
// the list, and the member points to its own.
void addphase(Calibration& cal, xprec& e, int m, const std::string& name, int& nphases) {
    int16 p = 0;
    for (std::size_t q = maxxpss + 1; q < cal.xpphasenames.size(); ++q) {
        if (cal.xpphasenames[q] == name) p = static_cast<int16>(q);
    }
    if (p == 0 || cal.phases == nullptr) {
        bomb("reading activity", "name, " + name + ", not recognised 1", yourfault);
    }
    ++nphases;
    if (nphases > maxxpss) {
        bomb("readxy", "too many solution phases in one experiment" + maxtext(maxxpss), yourfault);
    }
    const ptype1& ph = (*cal.phases)[p];
    const std::string& member = cal.tda[u(e.memberix[u(m)])].name;
    int own = 0;
    for (int j = 1; j <= ph.nem; ++j) {
        if (ph.em[j].name == member) own = j;
    }
    if (own == 0) bomb("readxy", ph.em[ph.nem].name + "not recognised", yourfault);
    for (int j = 1; j <= ph.nem; ++j) {
        listentry(e);
        e.listnames[u(e.nlist)] = ph.em[j].name;
        posinphname(cal, ph.em[j].name, e.listix[u(e.nlist)], true);
        e.listphase[u(e.nlist)] = p;
        e.listem[u(e.nlist)] = static_cast<int16>(j);
        e.lista[u(e.nlist)] = j == 1 ? -1 : -2;
        if (j == own) e.memberpos[u(m)] = e.nlist;
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
        const int16 pos = e.memberpos[u(m)];
        if (e.coef[u(m)] != 0 && e.lista[u(pos)] >= 0 && !(br.bra[u(pos)] > 0)) {
            bomb("readxy",
                 "activity of " + e.listnames[u(pos)] + " not positive in bracket " + realstr(nbr) +
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

// H2O and CO2 of the list, when given as present (activity >= 1), take the bracket's fluid
// composition.
void setfluidactivities(const SpecialPositions& sp, int16 nlist, brrec& br) {
    for (int j = 1; j <= nlist; ++j) {
        if (j == sp.posH2O && br.bra[u(j)] >= 1) br.bra[u(j)] = 1 - br.brx;
        if (j == sp.posCO2 && br.bra[u(j)] >= 1) br.bra[u(j)] = br.brx;
    }
}

// An experiment given as an assemblage of phases: the expanded end-member list of its header
// members, its reactions (one record each) and its runs, which give the phase compositions.
void readgroup(Session& ses, Calibration& cal, CalibReader& rd, int16 k, const strings& head,
               int last) {
    xprec& e = cal.xp[u(k)];
    int nphases = 0;
    for (int m = 2; m <= last; ++m) {
        const std::string& name = head[m];
        int16 ix = 0;
        if (posinphname(cal, name, ix, false)) {
            listentry(e);
            e.listnames[u(e.nlist)] = name;
            e.listix[u(e.nlist)] = ix;
            e.lista[u(e.nlist)] = 1;
            continue;
        }
        int16 p = 0;
        for (std::size_t q = maxxpss + 1; q < cal.xpphasenames.size(); ++q) {
            if (cal.xpphasenames[q] == name) p = static_cast<int16>(q);
        }
        if (p == 0 || cal.phases == nullptr) {
            bomb("readrc", "not recognised \"" + name + "\"", yourfault);
        }
        if (++nphases > maxxpss) {
            bomb("readxy", "too many solution phases in one experiment" + maxtext(maxxpss),
                 yourfault);
        }
        const ptype1& ph = (*cal.phases)[p];
        for (int j = 1; j <= ph.nem; ++j) {
            const ssemtype& em = ph.em[j];
            int16 d = 0;
            if (!posinphname(cal, em.name, d, false) && em.nmake == 0) {
                bomb("readrc", "not recognised \"" + em.name + "\"", yourfault);
            }
            listentry(e);
            e.listnames[u(e.nlist)] = em.name;
            e.listix[u(e.nlist)] = d;
            e.listphase[u(e.nlist)] = p;
            e.listem[u(e.nlist)] = static_cast<int16>(j);
            e.lista[u(e.nlist)] = j == 1 ? -1 : -2;
        }
        for (int j = 1; j <= ph.nem; ++j) {
            const ssemtype& em = ph.em[j];
            for (int c = 1; c <= em.nmake; ++c) {
                listentry(e);
                e.listnames[u(e.nlist)] = em.makenames[c];
                posinphname(cal, em.makenames[c], e.listix[u(e.nlist)], true);
                e.listphase[u(e.nlist)] = p;
                e.listem[u(e.nlist)] = static_cast<int16>(j);
                e.lista[u(e.nlist)] = 0.5L;
            }
        }
    }
    e.nreacs = rd.integer("number of reactions");
    e.weight = weightfactor(cal, rd.number("weight factor"));
    e.reftext = rd.resttext();
    if (e.nreacs < 1) bomb("readxy", "an experiment needs a reaction", yourfault);
    if (k + e.nreacs - 1 > maxnexp) {
        bomb("readxy", "too many equilibria -> increase maxnexp", yourfault);
    }

    // The reactions among the list's end-members.
    strings words;
    int16 n = 0;
    for (int16 r = 1; r <= e.nreacs; ++r) {
        xprec& rec = cal.xp[u(k + r - 1)];
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
                if (e.listnames[u(j)] == words[m]) pos = static_cast<int16>(j);
            }
            if (pos == 0) bomb("readrc", "not recognised \"" + words[m] + "\" 1", yourfault);
            // the reaction's enthalpy is a sum over dataset end-members
            if (e.listix[u(pos)] == 0) {
                bomb("readrc", "not an end-member \"" + words[m] + "\"", yourfault);
            }
            rec.memberpos[u(m)] = pos;
            rec.memberix[u(m)] = e.listix[u(pos)];
        }
        for (int m = 1; m <= n; ++m) rec.coef[u(m)] = rd.integer("reaction coefficient");
        rd.droprest();
        const SpecialPositions sp = specialems(cal, rec.listix, rec.nlist);
        rec.nofluid = sp.posH2O == 0 && sp.posCO2 == 0;
        rec.crdflag = false;
        rec.reactext = reactiontext(cal, rec.coef, rec.memberix, rec.nmembers);
    }

    // Listing.
    std::string members;
    for (int m = 2; m <= last; ++m) members += head[m] + " ";
    const int16 lastrec = static_cast<int16>(k + e.nreacs - 1);
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
            putstr(ses, 0, "    " + realstr(r) + ")  " + cal.xp[u(r)].reactext, 1, logmask);
        }
    }

    // The runs: P, T, x(CO2), then the compositions of the phases (and activities) in list
    // order; an experiment with unknown compositions may leave them to the a-x file's guesses.
    const SpecialPositions sp = specialems(cal, e.listix, e.nlist);
    e.nbr = 0;
    for (;;) {
        brrec br;
        int16 bcode = 0;
        if (!readbrackethead(rd, words, n, br, bcode)) break;
        int v = 0;
        int nx = 0;
        for (int j = 1; j <= e.nlist; ++j) {
            const real rule = e.lista[u(j)];
            if (rule == -2) {
                br.bra[u(j)] = -2;
            } else if (rule == -1) {
                const ptype1& ph = (*cal.phases)[e.listphase[u(j)]];
                const int first = nx + 1;
                for (int q = 1; q < ph.nem; ++q) {
                    ++v;
                    if (++nx > maxlist) {
                        bomb("readxy", "too many composition values" + maxtext(maxlist), yourfault);
                    }
                    if (e.xyzfromax) continue;
                    if (!e.unknowncomps || v + 4 <= n) {
                        if (v + 4 > n) bomb("readxy", "not enough info 1", yourfault);
                        br.xyz[u(nx)] =
                            getsingle(whatis(words[v + 4]), words[v + 4], "reading xyz");
                    } else {
                        e.xyzfromax = true;
                    }
                }
                if (e.xyzfromax) {
                    for (int q = 1; q < ph.nem; ++q) br.xyz[u(first + q - 1)] = ph.var[q].guess;
                }
                br.bra[u(j)] = -1;
            } else {
                br.bra[u(j)] = rule;
            }
        }
        setfluidactivities(sp, e.nlist, br);
        if (bcode == 2) continue;
        ++e.nbr;
        if (e.nbr > maxnb) bomb("readxy", "need to increase maxnb", yourfault);
        for (int16 r = k; r <= lastrec; ++r) checkactivities(cal.xp[u(r)], br, e.nbr, k);
        e.br.push_back(br);
        for (int16 r = static_cast<int16>(k + 1); r <= lastrec; ++r) {
            brrec copy;
            copy.direction = br.direction;
            copy.brP = br.brP;
            copy.brT = br.brT;
            copy.brx = br.brx;
            cal.xp[u(r)].br.push_back(copy);
        }
    }
    for (int16 r = static_cast<int16>(k + 1); r <= lastrec; ++r) cal.xp[u(r)].nbr = e.nbr;
    cal.nexp = lastrec;
}

void addrow(Calibration& cal) {
    ++cal.nobs;
    if (cal.nobs > maxnexp) bomb("readxy", "too many experiments (increase maxnexp)", yourfault);
}

}  // namespace

std::string reactiontext(const Calibration& cal, const std::array<int16, maxlist + 1>& coef,
                         const std::array<int16, maxlist + 1>& ix, int16 n) {
    std::string text;
    for (int side = -1; side <= 1; side += 2) {
        if (side == 1) text += " = ";
        bool first = true;
        for (int m = 1; m <= n; ++m) {
            const int c = coef[u(m)];
            if (c == 0 || (c < 0) != (side < 0)) continue;
            if (!first) text += " + ";
            first = false;
            if (std::abs(c) != 1) text += std::to_string(std::abs(c));
            const int16 k = ix[u(m)];
            if (k > 0) text += cal.tda[u(k)].name;
        }
    }
    return text;
}

real heatcontent(const tdrec& t, int16 /*dsmode*/, real T) {
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
        const real q = bisectx(t.odn, T, t.od1, t.od3, t.odf);
        h += t.od1 + q * (t.od3 - t.od1) - t.od3 * q * q;
    }
    return h;
}

void readxpfile(Session& ses, Calibration& cal, InFile& f) {
    CalibReader rd(f, "readxy");
    strings words;
    int16 n = 0;
    cal.nobs = 0;
    putstr(ses, 1, "reading direct calorimetry", 1, logmask);
    for (int16 i = 1; i <= cal.ntp; ++i) {
        cal.tda[u(i)].hcal = cal.tda[u(i)].hcalsd = 0;
        cal.tda[u(i)].calrow = 0;
    }

    // Direct calorimetry: from the end-member file itself in the old layout.
    if (cal.dsmode == 5) {
        for (int16 i = 1; i <= cal.ntp; ++i) {
            tdrec& t = cal.tda[u(i)];
            if (t.sdH >= 99) continue;
            addrow(cal);
            putstr(ses, 0, "  " + realstr(cal.nobs) + ")  " + t.name, 1, logmask);
            cal.b[u(cal.nobs)][u(i)] = 1;
            cal.x[u(cal.nobs)][u(i)] = 1;
            cal.y[u(cal.nobs)] = t.H;
            cal.sdy[u(cal.nobs)] = t.sdH < 0.0001L ? 0.0001L : t.sdH;
        }
    } else {
        for (;;) {
            if (!rd.line(words, n)) bomb("readxy", "file ends in direct calorimetry", yourfault);
            const int16 code = getinteger(whatis(words[1]), words[1], "reading direct cal code");
            if (code == 0) break;
            int16 i = 0;
            posinphname(cal, n >= 2 ? words[2] : std::string(), i, true);
            tdrec& t = cal.tda[u(i)];
            t.hcal = getsingle(whatis(words[3]), words[3], "cal enthalpy");
            t.hcalsd = getsingle(whatis(words[4]), words[4], "cal enthalpy sd");
            if (t.hcalsd == 0) t.hcalsd = 0.001L;
            t.calrow = 0;
            if (code != 1) continue;
            addrow(cal);
            t.calrow = cal.nobs;
            putstr(ses, 0, "  " + realstr(cal.nobs) + ")  " + t.name, 1, logmask);
            cal.b[u(cal.nobs)][u(i)] = 1;
            cal.x[u(cal.nobs)][u(i)] = 1;
            cal.y[u(cal.nobs)] = t.hcal;
            cal.sdy[u(cal.nobs)] = t.hcalsd;
        }
    }
    cal.ncalrows = cal.nobs;

    // Oxide calorimetry.
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
        oxcalrec& o = cal.oxcal[u(cal.noxcal)];
        o = oxcalrec{};
        o.use = code == 1;
        o.n = static_cast<int16>(n - 1);
        for (int k = 1; k <= o.n; ++k) posinphname(cal, words[k + 1], o.ix[u(k)], true);
        for (int k = 1; k <= o.n; ++k) o.coef[u(k)] = rd.integer("oxcal coefficient");
        o.hmeas = rd.number("oxcal enthalpy");
        o.sdmeas = rd.number("oxcal enthalpy sd");
        o.tmeas = rd.number("oxcal T");
        rd.droprest();
        putstr(ses, 0, "  " + realstr(cal.nobs + 1) + ")  " + reactiontext(cal, o.coef, o.ix, o.n),
               1, logmask);
        o.h298 = o.hmeas;
        if (o.tmeas > 298.2L) {
            for (int k = 1; k <= o.n; ++k) {
                o.h298 += o.coef[u(k)] * heatcontent(cal.tda[u(o.ix[u(k)])], cal.dsmode, o.tmeas);
            }
        }
        // A measured sd of zero is taken as 0.001 kJ, as for direct calorimetry.
        if (o.sdmeas == 0) o.sdmeas = 0.001L;
        if (!o.use) continue;
        addrow(cal);
        for (int k = 1; k <= o.n; ++k) {
            cal.b[u(cal.nobs)][u(o.ix[u(k)])] = 1;
            cal.x[u(cal.nobs)][u(o.ix[u(k)])] = static_cast<int16>(-o.coef[u(k)]);
        }
        cal.y[u(cal.nobs)] = o.h298;
        cal.sdy[u(cal.nobs)] = o.sdmeas;
    }
    cal.noxrows = cal.nobs;
    if (cal.prefs.infolevel < 2) putstr(ses, 1, "reading experimental data", 1, logmask);
    cal.nexp = 0;

    // Experiments.
    for (;;) {
        if (!rd.line(words, n)) bomb("readxy", "file ends in the experiments", yourfault);
        const int16 code = getinteger(whatis(words[1]), words[1], "reading xp code");
        if (code == 0) break;
        ++cal.nexp;
        if (cal.nexp > maxnexp)
            bomb("readxy", "too many equilibria -> increase maxnexp", yourfault);
        const int16 k = cal.nexp;
        xprec& e = cal.xp[u(k)];
        e = xprec{};
        e.use = code == 1;
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
                e.xpkind = static_cast<int16>(kind(words[n - 1]));
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
            e.xpkind = static_cast<int16>(kind(words[n]));
        }
        e.nmembers = static_cast<int16>(last - 1);
        if (e.nmembers > maxlist) {
            bomb("readxy", "too many members of a reaction" + maxtext(maxlist), yourfault);
        }
        for (int m = 1; m <= e.nmembers; ++m) {
            const std::string& name = words[m + 1];
            int16 ix = 0;
            if (posinphname(cal, name, ix, false)) {
                e.memberix[u(m)] = ix;
                continue;
            }
            bool isphase = false;
            for (std::size_t p = 1; p < cal.xpphasenames.size(); ++p) {
                if (cal.xpphasenames[p] == name) isphase = true;
            }
            if (!isphase) bomb("readrc", "not recognised \"" + name + "\"", yourfault);
            e.hasphases = true;
        }
        if (e.hasphases) {
            readgroup(ses, cal, rd, k, words, last);
            continue;
        }
        e.ingroup = false;
        e.nreacs = 1;
        e.reacno = 1;
        for (int m = 1; m <= e.nmembers; ++m) e.coef[u(m)] = rd.integer("reaction coefficient");
        e.weight = weightfactor(cal, rd.number("weight factor"));
        rd.droprest();

        // The activity of each member: a number, or a phase that supplies it.
        if (!rd.line(words, n)) bomb("readxy", "file ends before an activity line", yourfault);
        if (n < e.nmembers) bomb("readxy", "not enough activities", yourfault);
        int nphases = 0;
        for (int m = 1; m <= e.nmembers; ++m) {
            const std::string& w = words[m];
            const int16 ix = e.memberix[u(m)];
            if (whatis(w) == valuetype::astring) {
                addphase(cal, e, m, w, nphases);
                continue;
            }
            listentry(e);
            e.listnames[u(e.nlist)] = cal.tda[u(ix)].name;
            e.listix[u(e.nlist)] = ix;
            e.lista[u(e.nlist)] = getsingle(whatis(w), w, "reading a(" + cal.tda[u(ix)].name + ")");
            e.memberpos[u(m)] = e.nlist;
            const std::string& nm = cal.tda[u(ix)].name;
            if (e.lista[u(e.nlist)] < 0 && (nm == "crd" || nm == "fcrd")) e.crdflag = true;
        }
        const SpecialPositions sp = specialems(cal, e.listix, e.nlist);
        e.nofluid = sp.posH2O == 0 && sp.posCO2 == 0;
        e.reftext.clear();
        for (int w = e.nmembers + 1; w <= n; ++w) e.reftext += words[w] + " ";
        if (e.crdflag) {
            if (sp.poscrd > 0) e.lista[u(sp.poscrd)] = 1;
            if (sp.posfcrd > 0) e.lista[u(sp.posfcrd)] = 1;
        }
        e.reactext = reactiontext(cal, e.coef, e.memberix, e.nmembers);
        if (cal.prefs.infolevel >= 2 && k == 1) {
            putstr(ses, 2, "READING experimental work", 1, logmask);
        }
        putstr(ses, 0, "  " + realstr(k) + ")  " + e.reactext + "  (" + e.reftext + ")", 1,
               logmask);
        if (cal.prefs.infolevel >= 3) {
            std::string line;
            addgreal(2, line, k);
            putstr(ses, 0, line + ")  " + e.reactext + "  (" + e.reftext + ")", 1, screenmask);
        }

        // Brackets, ended by a negative code.
        e.nbr = 0;
        for (;;) {
            brrec br;
            int16 bcode = 0;
            if (!readbrackethead(rd, words, n, br, bcode)) break;
            int v = 0;
            int nx = 0;
            for (int j = 1; j <= e.nlist; ++j) {
                if (e.lista[u(j)] == -2) {
                    br.bra[u(j)] = -2;
                } else if (e.lista[u(j)] == -1) {
                    const ptype1& ph = (*cal.phases)[e.listphase[u(j)]];
                    for (int q = 1; q < ph.nem; ++q) {
                        ++v;
                        if (v + 4 > n) bomb("readxy", "not enough info 1", yourfault);
                        ++nx;
                        if (nx > maxlist) {
                            bomb("readxy", "too many composition values" + maxtext(maxlist),
                                 yourfault);
                        }
                        br.xyz[u(nx)] =
                            getsingle(whatis(words[v + 4]), words[v + 4], "reading xyz");
                    }
                    br.bra[u(j)] = -1;
                } else if (e.lista[u(j)] == 0) {
                    ++v;
                    if (v + 4 > n) bomb("readxy", "not enough info 2", yourfault);
                    br.bra[u(j)] = getsingle(whatis(words[v + 4]), words[v + 4], "reading a");
                } else {
                    br.bra[u(j)] = e.lista[u(j)];
                }
            }
            setfluidactivities(sp, e.nlist, br);
            if (bcode == 2) continue;
            ++e.nbr;
            if (e.nbr > maxnb) bomb("readxy", "need to increase maxnb", yourfault);
            // ln a of every member enters the misfit: an activity that is not positive has none.
            checkactivities(e, br, e.nbr, k);
            e.br.push_back(br);
        }
    }
    cal.nobs = static_cast<int16>(cal.nobs + cal.nexp);
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
    readxpfile(ses, cal, f);
    f.close();
    for (int16 i = maxxpss + 1; i < static_cast<int16>(cal.xpphasenames.size()); ++i) {
        printphaseinfo(ses, run, i);
    }
}

}  // namespace qv
