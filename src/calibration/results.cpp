#include "calibration/results.hpp"

#include <cmath>
#include <initializer_list>

#include "base/fatal.hpp"
#include "calibration/calcass.hpp"
#include "calibration/misfits.hpp"
#include "calibration/writeds.hpp"
#include "calibration/xpfile.hpp"
#include "calibration/xpphases.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

void put(Session& ses, const std::string& line) {
    putstr(ses, 0, line, 1, summarylogmask);
}

void blank(int w, std::string& line) {
    addstr("", w, line);
}

// A column heading and the width of its column.
struct Heading {
    const char* text;
    int width;
};

// A row of headings, each right-aligned in its column ("" leaves a gap).
void addheadings(std::initializer_list<Heading> heads, std::string& line) {
    for (const Heading& h : heads) addstr(h.text, h.width, line);
}

void propertiestable(Session& ses, const Calibration& cal) {
    bool mixed = false;
    if (cal.dsmode == 7) {
        for (int i = 1; i <= cal.ntp; ++i) mixed = mixed || cal.tda[i].tdcode < 3;
    }
    putstr(ses, 2, "Thermodynamic properties (units : kJ, K, kbar)", 2, summarylogmask);
    std::string line;
    addheadings({{"", 8}, {"H", 10}, {"sd(H)", 7}, {"S", 8}, {"V", 8}, {"a", 8}, {"b", 9}}, line);
    if (cal.dsmode == 7) {
        if (mixed) blank(18, line);
    } else {
        addheadings({{"c", 9}, {"d", 9}}, line);
    }
    addheadings({{"a0", 7},
                 {"K0", 8},
                 {"K0'", 7},
                 {"K0''", 8},
                 {"theta", 8},
                 {"Tc", 7},
                 {"Smax", 7},
                 {"Vmax", 7}},
                line);
    put(ses, line);
    for (int i = 1; i <= cal.ntp; ++i) {
        const tdrec& t = cal.tda[i];
        line.clear();
        addstr(t.name, -8, line);
        addreal(2, true, 10, line, t.H);
        addreal(2, true, 7, line, t.sdH);
        addreal(2, true, 8, line, 1000 * t.S);
        addreal(3, true, 8, line, t.V);
        if (cal.dsmode == 7 && t.tdcode >= 3 && t.tdcode <= 5) {
            addreal(4, true, 8, line, t.cpalt1);
            addreal(4, true, 9, line, 100000 * t.cpalt2);
            if (mixed) blank(18, line);
        } else {
            addreal(4, true, 8, line, t.cpa);
            addreal(4, true, 9, line, 100000 * t.cpb);
            addreal(1, true, 9, line, t.cpc);
            addreal(4, true, 9, line, t.cpd);
        }
        addreal(2, true, 7, line, 100000 * t.a0);
        addreal(1, true, 8, line, t.K0);
        addreal(2, true, 7, line, t.K0p);
        addreal(4, true, 8, line, t.K0pp);
        addreal(1, true, 8, line, t.theta);
        if (t.Smax > 0) {
            addreal(0, true, 7, line, t.tcrit);
            addreal(2, true, 7, line, 1000 * t.Smax);
            addreal(4, true, 7, line, t.Vmax);
        }
        if (t.odn > 0.5) {
            addreal(2, true, 7, line, t.od1);
            addreal(4, true, 7, line, t.od2);
            addreal(2, true, 7, line, t.od3);
            addreal(4, true, 7, line, t.od4);
            addreal(0, true, 5, line, t.odn);
            addreal(2, true, 5, line, t.odf);
        }
        put(ses, line);
    }
}

void calorimetrytables(Session& ses, Calibration& cal) {
    putstr(ses, 2, "Direct calorimetry", 2, summarylogmask);
    std::string line;
    addheadings({{"", 6}, {"value", 10}, {"sd", 7}, {"e*", 7}, {"hat", 7}}, line);
    put(ses, line);
    for (int i = 1; i <= cal.ntp; ++i) {
        const tdrec& t = cal.tda[i];
        if (!(t.hcalsd > 0)) continue;
        line.clear();
        addstr(t.name, -6, line);
        addreal(2, true, 10, line, t.hcal);
        addreal(2, true, 7, line, t.hcalsd);
        if (std::fabs(t.hcalsd) >= 0.002L) {
            addreal(2, true, 7, line, (t.hcal - t.H) / t.hcalsd);
        } else {
            addstr("<0>", 7, line);
        }
        // Only code-1 data are rows of the fit; the others have no leverage.
        if (t.calrow > 0) {
            addreal(2, true, 7, line, cal.hat[t.calrow]);
        } else {
            addstr("-", 7, line);
        }
        put(ses, line);
    }
    putstr(ses, 2, "Oxide calorimetry", 2, summarylogmask);
    line.clear();
    addheadings({{"", 6}, {"T", 5}, {"H(cal)", 9}, {"sd", 6}, {"H(298)", 9}, {"e*", 7}, {"hat", 7}},
                line);
    put(ses, line);
    int r = cal.ncalrows;
    for (int j = 1; j <= cal.noxcal; ++j) {
        oxcalrec& o = cal.oxcal[j];
        if (!o.use) continue;
        ++r;
        o.hcalc = 0;
        for (int m = 1; m <= o.n; ++m) o.hcalc += o.coef[m] * cal.tda[o.ix[m]].H;
        line.clear();
        addstr(cal.tda[o.ix[1]].name, -6, line);
        addgreal(5, line, o.tmeas - 273.15L);
        addreal(1, true, 9, line, o.hmeas);
        addreal(1, true, 6, line, o.sdmeas);
        addreal(1, true, 9, line, o.h298);
        if (o.sdmeas == 0) {
            addstr("***", 7, line);
        } else {
            addreal(1, true, 7, line, (o.h298 + o.hcalc) / o.sdmeas);
        }
        addreal(2, true, 7, line, cal.hat[r]);
        put(ses, line);
    }
}

bool pairof(const brrec& b) {
    return b.tbracket || b.pbracket || b.abracket;
}

// How Newton's method on one condition of a bracket (T in K or P in kbar) stops: a step below
// `tol` has converged; a step larger than the starting value or a value outside lo..hi fails. A
// value below `sdfloor` gets no uncertainty.
struct BracketSearch {
    real tol;
    real lo;
    real hi;
    real sdfloor;
};

// The condition at which a bracket's reaction has no G difference with the fitted enthalpy, and
// its uncertainty from that of the enthalpy; 0 and 0 where it is not found.
struct BracketRoot {
    real value = 0;
    real sd = 0;
};

// Newton's method on the temperature (or, `onp`, the pressure) of bracket j of experiment k, the
// other conditions held: at most 13 rounds, abandoned once |dG| stops shrinking.
BracketRoot solvebracketcondition(Session& ses, Calibration& cal, int16 k, int16 j, bool onp,
                                  const BracketSearch& lim) {
    xprec& e = cal.xp[k];
    brrec& br = e.br[j];
    real& x = onp ? br.brP : br.brT;
    const real x0 = x;
    real xx = x0;
    real best = 100000;
    bool converged = false;
    bool failed = false;
    real deriv = 0;
    for (int round = 1; round <= 13 && !converged && !failed; ++round) {
        x = xx;
        const BracketDg d = bracketdg(ses, cal, k, j, onp, !onp);
        deriv = onp ? d.dgdp : d.dgdt;
        const real step = deriv == 0 ? 0 : -d.dg / deriv;
        xx += step;
        if (std::fabs(step) < lim.tol) {
            converged = true;
        } else if (std::fabs(step) > x0 || xx < lim.lo || xx > lim.hi) {
            failed = true;
        } else if (std::fabs(d.dg) >= best) {
            failed = true;
        } else {
            best = std::fabs(d.dg);
        }
    }
    x = x0;
    BracketRoot r;
    r.value = converged ? xx : 0;
    r.sd = converged && r.value >= lim.sdfloor && deriv != 0 ? std::fabs(e.dhcalcsd / deriv) : 0;
    return r;
}

// A run's row of the experiment's table, with its partner (the next run) when the two bound
// the reaction together: in activity (apair), temperature (tpair) or pressure (ppair).
struct BracketRow {
    const xprec& e;
    const brrec& br;
    const brrec* nb;
    bool apair, tpair, ppair;
};

// The experiment's title line and the headings of its runs' table, with the calculated reaction
// enthalpy and how it stands against the brackets.
void xpheader(Session& ses, const Calibration& cal, const xprec& e, bool used) {
    putstr(ses, 1, std::string(e.ingroup ? 32 : 65, '-'), 1, summarylogmask);
    std::string line;
    if (!used) {
        addstr("*  ", 0, line);
        addgreal(0, line, cal.curxp);
    } else {
        addgreal(0, line, e.xprow);
        addstr(") ", 0, line);
        addgreal(0, line, cal.curxp);
    }
    addstr(e.ingroup ? " ^  " : "  ", 0, line);
    addstr(trim(e.reactext) + "   (" + trim(e.reftext) + ")", 0, line);
    putstr(ses, 0, line, 2, summarylogmask);

    line.clear();
    addheadings({{"ln_K", 9},
                 {"x(CO2)", 11},
                 {"P(kbar)", 10},
                 {"", 2},
                 {"T(C)", 9},
                 {"", 2},
                 {"H(low)", 9},
                 {"H(high)", 8},
                 {"miss", 7}},
                line);
    if (e.xpkind == 2) {
        blank(13, line);
    } else if (e.xpkind == 1) {
        addstr("calc", 7, line);
        blank(6, line);
    } else {
        addstr("calc", 7, line);
        addstr("2sd", 6, line);
    }
    addstr("   cH =  ", 0, line);
    addreal(2, true, 0, line, e.dhcalc);
    addstr(" (sd  ", 0, line);
    addreal(2, true, 0, line, e.dhcalcsd);
    addstr(")", 0, line);
    if (!used) {
        addstr(e.onesided ? "   ** NOT USED ** (one-sided brackets)" : "   ** NOT USED **", 0,
               line);
    } else if (e.dhcalc < e.hlow) {
        addstr("   too low ", 0, line);
        if (std::fabs(e.dhcalc - e.hlow) / e.dhcalcsd < 2) addstr("but OK", 0, line);
    } else if (e.dhcalc > e.hhigh) {
        addstr("   too high ", 0, line);
        if (std::fabs(e.dhcalc - e.hhigh) / e.dhcalcsd < 2) addstr("but OK", 0, line);
    } else {
        addstr("   within bracket", 0, line);
    }
    put(ses, line);
}

// ln K at the calculated reaction enthalpy, interpolated between a pair of runs in activity.
real lnkatdh(const BracketRow& r) {
    const real dh = r.e.dhcalc;
    if (!r.apair || r.nb->brh == r.br.brh) return 0;
    return r.br.brlnk + (dh - r.br.brh) * (r.nb->brlnk - r.br.brlnk) / (r.nb->brh - r.br.brh);
}

// The run's conditions: ln K, x(CO2), P, T and the enthalpies that put it on equilibrium.
void conditionfields(const BracketRow& r, std::string& line) {
    const xprec& e = r.e;
    const brrec& br = r.br;
    const brrec* nb = r.nb;
    const bool apair = r.apair, tpair = r.tpair, ppair = r.ppair;
    if (std::fabs(br.brlnk) >= 0.000001L) {
        if (apair) {
            addreal(2, true, 6, line, br.brlnk);
            addreal(2, true, 6, line, nb->brlnk);
        } else {
            addreal(2, true, 9, line, br.brlnk);
            blank(3, line);
        }
    } else {
        addstr("0", 9, line);
        blank(3, line);
    }
    if (e.nofluid) {
        addstr("-", 6, line);
    } else if (br.brx == 0) {
        addstr("0", 6, line);
    } else if (br.brx == 1) {
        addstr("1", 6, line);
    } else {
        addreal(2, true, 6, line, br.brx);
    }
    blank(1, line);
    const auto pfield = [&](real p, int w) {
        if (p > 99.99L) {
            addgreal(w, line, p);
        } else {
            addreal(1, true, w, line, p);
        }
    };
    if (ppair) {
        pfield(br.brP, 6);
        pfield(nb->brP, 6);
    } else {
        pfield(br.brP, 9);
        blank(4, line);
    }
    const real tc = br.brT - 273.15L;
    if (apair) {
        addreal(0, true, 9, line, tc);
        blank(2, line);
        addreal(2, true, 9, line, br.brh);
        addreal(2, true, 8, line, nb->brh);
    } else if (ppair) {
        addreal(0, true, 10, line, tc);
        blank(2, line);
        addreal(2, true, 9, line, br.brh);
        addreal(2, true, 8, line, nb->brh);
    } else if (!br.direction) {
        addreal(0, true, 6, line, tc);
        if (tpair) {
            addreal(0, true, 5, line, nb->brT - 273.15L);
        } else {
            blank(5, line);
        }
        addreal(2, true, 9, line, br.brh);
        if (tpair) {
            addreal(2, true, 8, line, nb->brh);
        } else {
            blank(8, line);
        }
    } else {
        blank(5, line);
        addreal(0, true, 6, line, tc);
        blank(9, line);
        addreal(2, true, 8, line, br.brh);
    }
}

// How far the calculated reaction misses the run (blank when it honours it).
void missfield(const BracketRow& r, real lnkx, std::string& line) {
    const xprec& e = r.e;
    const brrec& br = r.br;
    const brrec* nb = r.nb;
    const bool apair = r.apair, tpair = r.tpair, ppair = r.ppair;
    const real dh = e.dhcalc;
    if (e.ingroup) {
        // how far the reaction enthalpy lies beyond the bound the runs set
        const bool pair = apair || tpair || ppair;
        real bound = br.brh;
        bool inside = false;
        if (pair) {
            inside = br.brh <= dh && dh <= nb->brh;
            if (std::fabs(dh - nb->brh) < std::fabs(dh - br.brh)) bound = nb->brh;
        } else {
            inside = br.direction ? dh <= br.brh : br.brh <= dh;
        }
        if (inside) {
            blank(7, line);
        } else {
            addreal(2, true, 7, line, dh - bound);
        }
    } else if (apair) {
        const bool between = (dh >= br.brh && dh <= nb->brh) || (dh <= br.brh && dh >= nb->brh);
        if (between || nb->brh == br.brh) {
            blank(7, line);
        } else {
            const bool lowfirst = br.brh < nb->brh;
            const brrec& lowend = lowfirst ? br : *nb;
            const brrec& highend = lowfirst ? *nb : br;
            if (dh < lowend.brh) {
                addreal(2, true, 7, line, lowend.brlnk - lnkx);
            } else {
                addreal(2, true, 7, line, lnkx - highend.brlnk);
            }
        }
    } else if (ppair) {
        if (br.brpcalc == 0) {
            addstr("*", 7, line);
        } else if (br.brh <= dh && dh <= nb->brh) {
            blank(7, line);
        } else {
            addreal(2, true, 7, line, br.brpcalc - (dh > nb->brh ? nb->brP : br.brP));
        }
    } else if (!br.direction) {
        const real d0 = std::nearbyint(br.brtcalc - br.brT);
        if (dh < br.brh && d0 != 0) {
            addgreal(7, line, d0);
        } else if (tpair && br.brtcalc >= 274) {
            const real d1 = std::nearbyint(br.brtcalc - nb->brT);
            if (nb->brh < dh && d1 != 0) {
                addgreal(7, line, d1);
            } else {
                blank(7, line);
            }
        } else if (tpair) {
            addstr("*", 7, line);
        } else {
            blank(7, line);
        }
    } else {
        const real d0 = std::nearbyint(br.brtcalc - br.brT);
        if (br.brtcalc < 274) {
            addstr("*", 7, line);
        } else if (br.brh < dh && d0 != 0) {
            addgreal(7, line, d0);
        } else {
            blank(7, line);
        }
    }
}

// The calculated condition of the run and its two standard deviations.
void calcfields(const BracketRow& r, real lnkx, std::string& line) {
    const xprec& e = r.e;
    const brrec& br = r.br;
    const brrec* nb = r.nb;
    const bool apair = r.apair, ppair = r.ppair;
    if (ppair) {
        if (e.xpkind == 2) {
            blank(7, line);
        } else if (br.brpcalc == 0) {
            addstr("*", 7, line);
        } else {
            addreal(br.brpcalc <= 99 ? 2 : 1, true, 7, line, br.brpcalc);
        }
        if (e.ingroup) {
            blank(6, line);
        } else if (br.brpcalcsd <= 0) {
            addstr("*", 6, line);
        } else {
            addreal(2, true, 6, line, 2 * br.brpcalcsd);
        }
    } else if (apair) {
        if (e.xpkind == 2) {
            blank(7, line);
        } else {
            addreal(2, true, 7, line, lnkx);
        }
        const real slope = nb->brh != br.brh ? (nb->brlnk - br.brlnk) / (nb->brh - br.brh) : 0;
        if (e.ingroup) {
            blank(6, line);
        } else {
            addreal(2, true, 6, line, 2 * e.dhcalcsd * std::fabs(slope));
        }
    } else {
        if (e.xpkind == 2) {
            blank(7, line);
        } else if (br.brtcalc <= 300) {
            addstr(e.ingroup ? "" : "*", 7, line);
        } else {
            addgreal(7, line, br.brtcalc - 273.15L);
        }
        if (e.ingroup) {
            blank(6, line);
        } else if (br.brtcalcsd <= 0) {
            addstr("*", 6, line);
        } else {
            addgreal(6, line, 2 * std::nearbyint(br.brtcalcsd));
        }
    }
}

// The fit's summary of the experiment, after its first run: the enthalpy interval, its
// uncertainty, the gap, the leverage and the weight factor.
void fitsummary(const Calibration& cal, const xprec& e, std::string& line) {
    addstr("(", 0, line);
    addreal(2, true, 0, line, e.hlow);
    addstr(" <-> ", 0, line);
    addreal(2, true, 0, line, e.hhigh);
    addstr("), uH = ", 0, line);
    addreal(2, true, 0, line, e.sigbar);
    addstr(", d/s = ", 0, line);
    addreal(1, true, 0, line, e.gapfirst);
    addstr(", h = ", 0, line);
    addreal(2, true, 0, line, cal.hat[cal.noxrows + e.xprow]);
    if (std::fabs(e.weight - 1) > 0.01L) {
        addstr(", r = ", 0, line);
        if (std::fabs(e.weight - std::nearbyint(e.weight)) <= 0.01L) {
            addgreal(0, line, e.weight);
        } else {
            addreal(2, true, 0, line, e.weight);
        }
    }
}

}  // namespace

void classifybrackets3(xprec& e) {
    if (e.nbr < 1) return;
    e.br[1].tbracket = e.br[1].pbracket = e.br[1].abracket = false;
    for (int j = 2; j <= e.nbr; ++j) {
        brrec& a = e.br[j - 1];
        brrec& b = e.br[j];
        b.tbracket = b.pbracket = b.abracket = false;
        if (pairof(a) || a.direction == b.direction) continue;
        b.tbracket = a.brP == b.brP && a.brx == b.brx && a.brlnk == b.brlnk;
        b.pbracket = a.brT == b.brT && a.brx == b.brx && a.brlnk == b.brlnk;
        b.abracket = a.brP == b.brP && a.brT == b.brT && a.brx == b.brx;
    }
}

void solvebrackett(Session& ses, Calibration& cal, int16 k, int16 j, real& t, real& sdt) {
    const BracketRoot r = solvebracketcondition(ses, cal, k, j, false, {0.01L, 300, 3000, 273.15L});
    t = r.value;
    sdt = r.sd;
}

void solvebracketp(Session& ses, Calibration& cal, int16 k, int16 j, real& p, real& sdp) {
    const BracketRoot r = solvebracketcondition(ses, cal, k, j, true, {0.001L, 0.01L, 1500, 0.01L});
    p = r.value;
    sdp = r.sd;
}

void xpresults(Session& ses, Calibration& cal, int16 k) {
    xprec& e = cal.xp[k];
    classifybrackets3(e);
    cal.xpcrdflag = e.crdflag;
    const bool used = e.use && !e.onesided && e.xprow > 0;
    if (!used && cal.prefs.printomit == controlboolean::no) return;
    xpheader(ses, cal, e, used);

    int m = 0;
    for (int16 j = 1; j <= e.nbr; ++j) {
        brrec& br = e.br[j];
        if (pairof(br)) continue;
        ++m;
        brrec* nb = j < e.nbr ? &e.br[j + 1] : nullptr;
        const bool apair = nb != nullptr && nb->abracket;
        const bool tpair = nb != nullptr && !apair && nb->tbracket;
        const bool ppair = nb != nullptr && !apair && !tpair && nb->pbracket;
        if (!e.ingroup) {
            if (ppair) {
                solvebracketp(ses, cal, k, j, br.brpcalc, br.brpcalcsd);
            } else if (!apair) {
                solvebrackett(ses, cal, k, j, br.brtcalc, br.brtcalcsd);
            }
        }
        const BracketRow r{e, br, nb, apair, tpair, ppair};
        std::string line;
        conditionfields(r, line);
        const real lnkx = lnkatdh(r);
        missfield(r, lnkx, line);
        calcfields(r, lnkx, line);
        blank(3, line);
        if (m == 1 && used) fitsummary(cal, e, line);
        put(ses, line);
    }
}

void writeresults(Session& ses, Run& run, Calibration& cal, bool numericalon, bool hqzon) {
    cal.writingresults = true;
    cal.notconvcount = 0;
    propertiestable(ses, cal);
    calorimetrytables(ses, cal);
    putstr(ses, 2, "____________________", 1, summarylogmask);
    put(ses, "Experimental results");
    for (int16 k = 1; k <= cal.nexp; ++k) {
        xprec& e = cal.xp[k];
        cal.curxp = k;
        e.dhcalc = 0;
        real s = 0;
        for (int m = 1; m <= e.nmembers; ++m) {
            const int16 im = e.memberix[m];
            if (im <= 0) continue;
            e.dhcalc += e.coef[m] * cal.tda[im].H;
            for (int n = 1; n <= e.nmembers; ++n) {
                const int16 in = e.memberix[n];
                if (in <= 0) continue;
                s += e.coef[m] * cal.xx[im][in] * e.coef[n];
            }
        }
        e.dhcalcsd = s < 0 ? 0 : std::sqrt(cal.sigfit2 * s);
        cal.xpcrdflag = e.crdflag;
        if (e.ingroup && e.reacno == 1 && cal.axread) {
            putstr(ses, 1, std::string(65, '-'), 1, summarylogmask);
            std::string names;
            for (int j = 1; j <= e.nlist; ++j) {
                const real rule = e.lista[j];
                if (rule == 0.5L) continue;
                if (rule > 0) names += e.listnames[j] + " ";
                if (rule == -1) names += cal.xpphasenames[e.listphase[j]] + " ";
            }
            cal.xpnamestext = names + " (" + e.reftext + ")";
            std::string title = e.xpkind == 1 ? "univariant involving " : "divariant involving ";
            title += names;
            if (e.unknowncomps) title += " (unknown comps) ";
            put(ses, title + " (" + e.reftext + ")");
            setupxpphases(ses, run, cal, k);
            const int16 mode = e.unknowncomps ? 2 : e.xpkind == 2 ? 3 : 2;
            calcass(ses, run, cal, k, mode, true);
        }
        e.reactext = reactiontext(cal, e.coef, e.memberix, e.nmembers);
        xpresults(ses, cal, k);
    }
    if (cal.notconvcount > 0) {
        bomb("writing dataset", "some \"not converged\" present (dataset not written)", yourfault);
    }
    writeds(ses, cal, numericalon, hqzon);
}

}  // namespace qv
