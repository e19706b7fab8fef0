// The contraction of a phase: variables fixed at zero by the script leave the phase, with the
// terms that held them, and the variable limits are rebuilt from the linear site fractions.

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axchoices.hpp"
#include "model/run.hpp"
#include "numerics/powers.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

// Renumbers the variable references of `e` through `map` (old index to new).
void renumbervars(termtype& e, const Fixed1<int16, maxssvars>& map) {
    for (int i = 1; i <= e.nsxterms; ++i) {
        sxtermtype& t = e.sxterm[i];
        for (int j = 1; j <= t.nxterms; ++j) {
            xtermtype& x = t.xterm[j];
            for (int k = 1; k <= x.nx; ++k) x.idx[k] = map[x.idx[k]];
        }
    }
}

// Place of the pair (i, j), i < j, in the W list of n end-members: (1,2), (1,3), .., (2,3), ..
int wplace(int i, int j, int n) {
    return (i - 1) * n - i * (i - 1) / 2 + (j - i);
}

}  // namespace

bool dropzeroterms(termtype& e, const Fixed1<bool, maxssvars>& zeroed) {
    int16 kept = 0;
    for (int i = 1; i <= e.nsxterms; ++i) {
        sxtermtype t = e.sxterm[i];
        for (int j = 1; j <= t.nxterms; ++j) {
            xtermtype& x = t.xterm[j];
            if (x.nx == 0) continue;
            int16 n = 0;
            for (int k = 1; k <= x.nx; ++k) {
                if (zeroed[x.idx[k]]) continue;
                ++n;
                x.num[n] = x.num[k];
                x.den[n] = x.den[k];
                x.idx[n] = x.idx[k];
            }
            x.nx = n;
            // A factor left with nothing but a zero constant makes the whole term vanish.
            if (n == 0 && x.constnum == 0) t.coef = 0;
        }
        if (!(t.coef > 0)) continue;
        ++kept;
        e.sxterm[kept] = t;
    }
    for (int i = kept + 1; i <= e.nsxterms; ++i) e.sxterm[i] = sxtermtype{};
    e.nsxterms = kept;
    return kept == 0;
}

void contractphase(Session& ses, Run& run, int16 k) {
    ptype1& ph = (*run.arrays.prec1)[k];
    Fixed1<bool, maxssvars> zeroed;
    for (int v = 1; v <= ph.nvar; ++v) zeroed[v] = ph.var[v].guess == 0;
    ph.contracted = true;
    ph.nemfull = ph.nem;

    // End-members whose proportion vanishes go; the rest move up with their sizes.
    Fixed1<int16, maxssem> emmap;
    const int oldnem = ph.nem;
    int16 nem = 0;
    for (int j = 1; j <= oldnem; ++j) {
        if (dropzeroterms(ph.p[j], zeroed)) {
            ph.empresent[j] = false;
            continue;
        }
        ++nem;
        emmap[j] = nem;
        if (nem != j) {
            ph.em[nem] = ph.em[j];
            ph.p[nem] = ph.p[j];
            ph.alphaa[nem] = ph.alphaa[j];
            ph.alphab[nem] = ph.alphab[j];
            ph.alphac[nem] = ph.alphac[j];
        }
        ph.em[nem].checkden = 0;
    }
    ph.nem = nem;
    ph.ih2o = ph.ih2o > 0 ? emmap[ph.ih2o] : int16{0};
    ph.ico2 = ph.ico2 > 0 ? emmap[ph.ico2] : int16{0};

    // Interaction energies of the pairs of kept end-members, and the pair terms among them.
    Fixed1<int16, maxw> wmap;
    int16 nw = 0;
    for (int i = 1; i < oldnem; ++i) {
        for (int j = i + 1; j <= oldnem; ++j) {
            if (emmap[i] == 0 || emmap[j] == 0) continue;
            const int from = wplace(i, j, oldnem);
            ++nw;
            wmap[from] = nw;
            if (nw == from) continue;
            ph.wa[nw] = ph.wa[from];
            ph.wb[nw] = ph.wb[from];
            ph.wc[nw] = ph.wc[from];
            ph.wsd[nw] = ph.wsd[from];
            ph.wsddefault[nw] = ph.wsddefault[from];
            ph.wname[nw] = ph.wname[from];
        }
    }
    ph.nw = nw;
    int16 ng = 0;
    for (int t = 1; t <= ph.ngterm; ++t) {
        const gtermtype g = ph.gterm[t];
        if (emmap[g.i] == 0 || emmap[g.j] == 0) continue;
        ++ng;
        ph.gterm[ng] = gtermtype{wmap[g.term], emmap[g.i], emmap[g.j]};
    }
    ph.ngterm = ng;

    // Kept variables move up, with their coordinates in the check definitions.
    Fixed1<int16, maxssvars> varmap;
    const int oldnvar = ph.nvar;
    int16 nvar = 0;
    ph.hasorder = false;
    for (int v = 1; v <= oldnvar; ++v) {
        if (zeroed[v]) continue;
        ++nvar;
        varmap[v] = nvar;
        if (nvar != v) {
            ph.var[nvar] = ph.var[v];
            for (int j = 1; j <= ph.nem; ++j) ph.em[j].checkcoef[nvar] = ph.em[j].checkcoef[v];
        }
        if (ph.var[nvar].isorder) ph.hasorder = true;
    }
    ph.nvar = nvar;

    if (ph.nvar + 1 != ph.nem) {
        std::string line = "problem in " + ph.name;
        addgreal(3, line, ph.nem);
        addgreal(3, line, ph.nvar);
        ses.console.write("\n" + line + "\n");
        for (int j = 1; j <= ph.nem; ++j) ses.console.write(ph.em[j].name + "  \n");
        ses.console.write("\n");
        for (int v = 1; v <= ph.nvar; ++v) ses.console.write(ph.var[v].name + "  \n");
        bomb("setupphases", "contraction wrong size", yourfault);
    }

    for (int j = 1; j <= ph.nem; ++j) renumbervars(ph.p[j], varmap);
    Fixed1<int16, maxsf> sfmap;
    int16 nsf = 0;
    for (int s = 1; s <= ph.nsf; ++s) {
        if (dropzeroterms(ph.sf[s], zeroed)) continue;
        ++nsf;
        sfmap[s] = nsf;
        if (nsf != s) {
            ph.sfname[nsf] = ph.sfname[s];
            ph.sf[nsf] = ph.sf[s];
        }
    }
    ph.nsf = nsf;
    for (int j = 1; j <= ph.nem; ++j) {
        for (int f = 1; f <= ph.em[j].ntmf; ++f) {
            tmftermtype& m = ph.em[j].tmf[f];
            m.sf = sfmap[m.sf];
        }
    }
    for (int s = 1; s <= ph.nsf; ++s) renumbervars(ph.sf[s], varmap);
}

void setvarlim(Session& ses, const termtype& e, int isx, int ix, int ncols, varlimtype& varlim1,
               varlimtype& varlim2, int16& nvarlim) {
    const xtermtype& x = e.sxterm[isx].xterm[ix];
    if (x.nx < 2) return;
    Fixed1<int16, maxssvars> row1;
    Fixed1<int16, maxssvars> row2;
    for (int c = 1; c <= ncols; ++c) {
        row1[c] = 0;
        row2[c] = 1;
    }
    for (int k = 1; k <= x.nx; ++k) {
        row1[x.idx[k]] = x.num[k];
        row2[x.idx[k]] = x.den[k];
    }
    row1[ncols] = x.constnum;
    row2[ncols] = x.constden;
    for (int r = 1; r <= nvarlim; ++r) {
        bool same = true;
        for (int c = 1; c <= ncols && same; ++c) {
            same = varlim1[r][c] == row1[c] && varlim2[r][c] == row2[c];
        }
        if (same) return;
    }
    if (nvarlim >= maxvarlim) {
        putstr(ses, 1, "\xA5\xA5 insufficient space to store variable limits...", 1, logmask);
        bomb("setvarlim", "increase maxnvarlim", yourfault);
    }
    ++nvarlim;
    varlim1[nvarlim] = row1;
    varlim2[nvarlim] = row2;
}

}  // namespace qv
