#include "calibration/assemble.hpp"

#include <cmath>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "calibration/calcass.hpp"
#include "calibration/emfile.hpp"
#include "calibration/misfits.hpp"
#include "calibration/xpfile.hpp"
#include "calibration/xpphases.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "thermo/activities.hpp"

namespace qv {
namespace {

// The phases and the fixed-activity end-members of an experiment's list, each followed by a
// blank.
std::string assemblagenames(const Calibration& cal, const xprec& e) {
    std::string names;
    for (int j = 1; j <= e.nlist; ++j) {
        if (e.lista[j] == -1 && cal.axread) {
            names += cal.xpphasenames[e.listphase[j]] + " ";
        }
        if (e.lista[j] > 0) names += e.listnames[j] + " ";
    }
    return names;
}

void activitytable(Session& ses, const Calibration& cal, int16 k) {
    const xprec& e = cal.xp[k];
    if (!e.ingroup) putstr(ses, 1, std::string(61, '-'), 1, logmask);
    std::string line;
    addgreal(2, line, k);
    addstr(")  activities for " + assemblagenames(cal, e), 0, line);
    addstr("for the given brackets  (" + e.reftext + ")", 0, line);
    putstr(ses, 0, line, 1, logmask);
    line = "      P      T";
    for (int j = 1; j <= e.nlist; ++j) addstr(e.listnames[j], 10, line);
    putstr(ses, 0, line, 1, logmask);
    for (int i = 1; i <= e.nbr; ++i) {
        const brrec& br = e.br[i];
        line.clear();
        addreal(1, true, 7, line, br.brP);
        addgreal(7, line, br.brT - 273.15L);
        for (int j = 1; j <= e.nlist; ++j) addreal(5, true, 10, line, br.bra[j]);
        putstr(ses, 0, line, 1, logmask);
    }
}

void grouplisting(Session& ses, Calibration& cal, int16 k) {
    const xprec& e = cal.xp[k];
    putstr(ses, 1, std::string(61, '-'), 1, logmask);
    std::string line = e.xpkind == 1 ? "univariant " : "divariant ";
    line += e.unknowncomps ? "equilibrium with unknown comps (" : "equilibrium (";
    putstr(ses, 0, line + e.reftext + "), involving:", 1, logmask);
    for (int16 m = k; m < k + e.nreacs; ++m) {
        xprec& rec = cal.xp[m];
        rec.reactext = reactiontext(cal, rec.coef, rec.memberix, rec.nmembers);
        putstr(ses, 0, "    " + realstr(m) + ":  " + rec.reactext, 1, logmask);
    }
    putstr(ses, 0, "", 1, logmask);
}

void listinput(Session& ses, const Calibration& cal, const std::vector<int16>& rowxp) {
    putstr(ses, 1, "LSQ input:", 1, logmask);
    putstr(ses, 0, "simple calorimetry", 1, logmask);
    const auto head = [&](int r, int d, int wy, int ws) {
        std::string line;
        addgreal(3, line, r);
        addstr(") ", 0, line);
        addreal(d, true, wy, line, cal.y[r]);
        addreal(d, true, ws, line, cal.sdy[r]);
        return line;
    };
    for (int r = 1; r <= cal.ncalrows; ++r) putstr(ses, 0, head(r, 2, 10, 8), 1, logmask);
    putstr(ses, 0, "", 1, logmask);
    putstr(ses, 1, "oxide calorimetry", 1, logmask);
    int r = cal.ncalrows;
    for (int j = 1; j <= cal.noxcal; ++j) {
        const oxcalrec& o = cal.oxcal[j];
        if (!o.use) continue;
        ++r;
        std::string line = head(r, 2, 10, 8);
        for (int m = 1; m <= o.n; ++m) addstr(cal.tda[o.ix[m]].name, 6, line);
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, "", 1, logmask);
    putstr(ses, 1, "experimental brackets", 1, logmask);
    for (int row = cal.noxrows + 1; row <= cal.nobs; ++row) {
        std::string line = head(row, 4, 10, 10);
        std::string names;
        for (int j = 1; j <= cal.ntp; ++j) {
            if (cal.b[row][j] && cal.x[row][j] < 0) names += cal.tda[j].name + "  ";
        }
        names += "=  ";
        for (int j = 1; j <= cal.ntp; ++j) {
            if (cal.b[row][j] && cal.x[row][j] > 0) names += cal.tda[j].name + "  ";
        }
        names += spaces(names.size() < 35 ? static_cast<int>(35 - names.size()) : 1);
        line += "    " + names;
        const xprec& e = cal.xp[rowxp[row - cal.noxrows]];
        if (!e.ingroup) {
            line += "  (" + e.reftext + ")";
        } else if (e.reacno == 1) {
            line += "  in:  " + assemblagenames(cal, e) + "  (" + e.reftext + ")";
        } else {
            line += "        -- ditto --";
        }
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, "", 1, logmask);
}

}  // namespace

void assemblexp(Session& ses, Run& run, Calibration& cal, int16 iteration) {
    int row = cal.noxrows;
    std::vector<int16> rowxp(1, 0);
    const bool listing = cal.prefs.infolevel > 1;
    for (int16 k = 1; k <= cal.nexp; ++k) {
        xprec& e = cal.xp[k];
        cal.curxp = k;
        cal.special = specialems(cal, e.listix, e.nlist);
        e.nofluid = cal.special.posH2O == 0 && cal.special.posCO2 == 0;
        cal.xpcrdflag = e.crdflag;
        if (listing && k == 1) {
            putstr(ses, 1, std::string(61, '='), 1, logmask);
            putstr(ses, 0, "iteration = " + realstr(iteration) + ": ASSEMBLING experimental work",
                   1, logmask);
        }
        if (listing && e.ingroup && e.reacno == 1) grouplisting(ses, cal, k);
        if (e.reacno < 2 && e.ingroup && cal.axread) {
            setupxpphases(ses, run, cal, k);
            if (e.unknowncomps && (e.xyzfromax || iteration > 1)) {
                calcass(ses, run, cal, k, 2, cal.prefs.infolevel > 2);
            }
            for (int16 i = 1; i <= e.nbr; ++i) lsqcalca(ses, run, cal, k, i);
        } else if (e.reacno < 2 && cal.axread) {
            for (int i = 1; i <= e.nbr; ++i) {
                brrec& br = e.br[i];
                int pos = 1;
                for (int j = 1; j <= e.nlist; ++j) {
                    if (e.lista[j] != -1) continue;
                    const ptype1& ph = (*run.arrays.prec1)[e.listphase[j]];
                    eqvector x;
                    x.fill(0);
                    for (int q = 1; q < ph.nem; ++q) x[q] = br.xyz[pos++];
                    const empvector a = xpactivities(ph, x, br.brP, br.brT);
                    for (int q = 1; q <= ph.nem; ++q) br.bra[j + q - 1] = a[q];
                }
            }
        }
        if (cal.prefs.infolevel != 1) activitytable(ses, cal, k);
        if (e.nbr <= 0) continue;
        e.dhcalc = 0;
        for (int m = 1; m <= e.nmembers; ++m) {
            e.dhcalc += e.coef[m] * cal.tda[e.memberix[m]].H;
        }
        for (int i = 1; i <= e.nbr; ++i) {
            brrec& br = e.br[i];
            br.brlnk = 0;
            for (int m = 1; m <= e.nmembers; ++m) {
                const int16 pos = e.memberpos[m];
                // a composition at the end of a solution leaves an end-member no activity
                if (e.coef[m] != 0 && !(br.bra[pos] > 0)) {
                    bomb("assemblexp",
                         "activity of " + e.listnames[pos] + " not positive in bracket " +
                             realstr(i) + " of experiment " + realstr(k),
                         yourfault);
                }
                br.brlnk += e.coef[m] * std::log(br.bra[pos]);
            }
        }
        bracketmisfits(ses, cal, k);
        orderbrackets(cal, k);
        if (e.onesided) {
            putstr(ses, 0, realstr(k) + " one-sided brackets: not used", 1, logmask);
            e.xprow = 0;
            continue;
        }
        if (!e.use) continue;
        ++row;
        if (row > maxnexp) bomb("readxy", "too many experiments (increase maxnexp)", yourfault);
        cal.y[row] = 0.5L * (e.hlow + e.hhigh);
        e.sdh =
            e.slopeweight <= 0 ? 0.5L * e.weight * (e.hhigh - e.hlow) : e.weight / e.slopeweight;
        for (int j = 1; j <= cal.ntp; ++j) {
            cal.b[row][j] = 0;
            cal.x[row][j] = 0;
        }
        for (int m = 1; m <= e.nmembers; ++m) {
            cal.b[row][e.memberix[m]] = 1;
            cal.x[row][e.memberix[m]] = e.coef[m];
        }
        cal.sdy[row] = e.sdh;
        e.xprow = narrow16(row - cal.noxrows);
        rowxp.push_back(k);
    }
    cal.nobs = narrow16(row);
    if (listing) listinput(ses, cal, rowxp);
}

}  // namespace qv
