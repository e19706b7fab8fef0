#include <cmath>
#include <limits>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/combinations.hpp"
#include "numerics/intmath.hpp"
#include "solver/calcresearch.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

void ReactionSearchState::wrongphases(const ComponentFlags& cf, const PhaseFlags& pf,
                                      const PhaseFlags& comb, int16 rows, int16 cols,
                                      int16 ncomps) {
    putstr(ses, 0,
           "ix = " + int64text(rows) + ", no = " + int64text(ncomps) + ", iy = " + int64text(cols) +
               ", rankc+1 = " + int64text(sysrank + 1),
           1, screensummarylogmask);
    for (int16 i = 1; i <= nucomp; ++i) {
        std::string line = cf[i] ? "" : "     ";
        addstr(s.ct.comps.compnames[i], -5, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    for (int16 p = 1; p <= nrxem; ++p) {
        std::string line = comb[p] ? "" : "     ";
        addstr(s.ct.names[p], -8, line);
        if (comb[p]) addstr("     ", 0, line);
        if (pf[p]) addstr("*", 4, line);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    bomb("calca", "wrong no of phases ", myfault);
}

bool ReactionSearchState::newindr() {
    liemvector v;
    for (int16 j = 1; j <= maxem; ++j) v[j] = s.ev.r[nreac][j];
    const auto allzero = [&] {
        for (int16 j = 1; j <= nem; ++j) {
            if (v[j] != 0) return false;
        }
        return true;
    };
    for (int16 k = 1; k <= nreac - 1 && k <= maxrockreactions; ++k) {
        const int16 p = rl.indpivot[k];
        const liemvector& w = rl.indrows[k];
        if (v[p] == 0) continue;
        const int64 g = gcd64(w[p], v[p]);
        const int64 a = w[p] / g, b = v[p] / g;
        for (int16 j = 1; j <= nem; ++j) v[j] = fit32(a * v[j] - b * w[j], "newindr");
        if (!allzero()) {
            const int32 h = vectorgcd(v, nem);
            if (h > 1 || h < -1) {
                for (int16 j = 1; j <= nem; ++j) v[j] /= h;
            }
        }
    }
    if (allzero()) return false;
    if (use == SearchUse::rockaverages && nreac > maxrockreactions) {
        bomb("newindr", "too many independent reactions", yourfault);
    }
    int16 first = 1;
    while (v[first] == 0) ++first;
    rl.indpivot[nreac] = first;
    const int32 h = vectorgcd(v, nem);
    const int32 g = h < 0 ? -h : h;
    for (int16 j = 1; j <= nem; ++j) v[j] /= g;
    rl.indrows[nreac] = v;
    return true;
}

void ReactionSearchState::newreactionlna() {
    real sum = 0;
    if (use != SearchUse::unset) {
        for (int16 k = 1; k <= nem; ++k) {
            if (s.ev.r[nreac][k] != 0) {
                sum += s.ev.r[nreac][k] * std::log(s.ev.tab.emactivity[k]);
            }
        }
    }
    rl.rxnlnk[nreac] = sum;
}

bool ReactionSearchState::checkrockreaction(real& sd) {
    const Windows& w = s.ev.w;
    const CurrentConditions& c = s.cur;
    const auto dg = [&](real p, real t) {
        return dgofreaction(s.ev, nreac, p, t, c.xco2cur, c.xh2ocur).dg;
    };
    const bool pkind = s.rockavtype == avtype::avpmode || s.rockavtype == avtype::avptmode;
    const bool tkind = s.rockavtype == avtype::avtmode;
    bool crosses = false;
    if (flatwindow) {
        real a = 0, b = 0;
        if (pkind) {
            a = dg(w.pwinlow, c.tcur);
            b = dg(w.pwinhigh, c.tcur);
        } else if (tkind) {
            a = dg(c.pcur, w.twinlow);
            b = dg(c.pcur, w.twinhigh);
        }
        crosses = (pkind || tkind) && ((a > 0 && b <= 0) || (a <= 0 && b > 0));
    } else if (pkind || tkind) {
        real g[4];
        g[0] = dg(w.pwinlow, w.twinlow);
        g[1] = pkind ? dg(w.pwinhigh, w.twinlow) : dg(w.pwinlow, w.twinhigh);
        g[2] = pkind ? dg(w.pwinlow, w.twinhigh) : dg(w.pwinhigh, w.twinlow);
        g[3] = dg(w.pwinhigh, w.twinhigh);
        crosses = (g[0] > 0 && g[1] <= 0 && g[2] > 0 && g[3] <= 0) ||
                  (g[0] <= 0 && g[1] > 0 && g[2] <= 0 && g[3] > 0);
    }
    if (!crosses) {
        sd = 1000;
        return false;
    }
    sd = tkind ? calctsd(s.ev, s.data, rl, nreac, c.pcur, c.xco2cur, c.xh2ocur).sd1
               : calcpsd(s.ev, s.data, rl, nreac, c.tcur, c.xco2cur, c.xh2ocur).sd1;
    return true;
}

bool ReactionSearchState::excludeassemblage(const Fixed1<int64, maxem>& coef, bool negativeinside) {
    --nreac;
    --rl.nrphasesets;
    longint3 set{};
    int16 n = 0, single = 0;
    for (int16 p = 1; p <= nrxem; ++p) {
        if (negativeinside ? coef[p] < 0 : coef[p] > 0) {
            BSet2(set, p);
            single = p;
            ++n;
        }
    }
    if (n == 1) {
        const bool fresh = !excludedphase(single);
        if (fresh) rl.exclphases[++rl.nexclphases] = single;
        int16 m = 0;
        for (int16 a = 1; a <= rl.nexclassemblages; ++a) {
            if (!BTst2(rl.exclassemblages[a], single)) {
                rl.exclassemblages[++m] = rl.exclassemblages[a];
            }
        }
        rl.nexclassemblages = m;
        return fresh;
    }
    if (rl.nexclassemblages == 0) {
        if (holdsanyof(set, rl.exclphases, rl.nexclphases)) return false;
        rl.exclassemblages[1] = set;
        rl.nexclassemblages = 1;
        return true;
    }
    Fixed1<bool, maxexclassemblages> marked;
    bool anymarked = false;
    bool contained = false;
    for (int16 a = 1; a <= rl.nexclassemblages && !contained; ++a) {
        if (BSubset(set, rl.exclassemblages[a])) {
            contained = true;
        } else if (BSubset(rl.exclassemblages[a], set)) {
            marked[a] = true;
            anymarked = true;
        }
    }
    if (contained) return false;
    if (anymarked) {
        int16 m = 0;
        for (int16 a = 1; a <= rl.nexclassemblages; ++a) {
            if (!marked[a]) rl.exclassemblages[++m] = rl.exclassemblages[a];
        }
        rl.exclassemblages[++m] = set;
        rl.nexclassemblages = m;
    } else if (rl.nexclassemblages < maxexclassemblages) {
        rl.exclassemblages[++rl.nexclassemblages] = set;
    } else {
        rl.exclassemblages[maxexclassemblages] = set;
    }
    return true;
}

void ReactionSearchState::unbalanced(const Fixed1<int64, maxem>& coef, const PhaseFlags& comb) {
    std::string out;
    for (int16 j = 1; j <= nem; ++j) {
        if (coef[j] == 0 && !(j <= nrxem && comb[j])) continue;
        std::string line = j <= nrxem && comb[j] ? std::string(1, '\xA5') : " ";
        addstr(s.ct.names[j], -8, line);
        addgreal(6, line, static_cast<real>(coef[j]));
        for (int16 i = 1; i <= ncomp; ++i) addgreal(5, line, s.ct.c[i][j]);
        out += line + "\n";
    }
    ses.console.write(out);
    query(ses, "in check");
    bomb("check", "unbalanced", myfault);
}

// Kept whole: elimination, back substitution and checks share the combination's matrices.
void ReactionSearchState::re(int16 ncomps, const ComponentFlags& cf, const PhaseFlags& pf,
                             PhaseFlags& comb) {
    // calcacomp: the system's components by the combination's phases.
    const int16 nc = narrow16(sysrank + 1);
    Fixed1<Fixed1<int64, maxem>, maxcomp> a;
    Fixed1<int16, maxem> phaseof;
    int16 rows = 0, cols = 0;
    for (int16 p = 1; p <= nrxem; ++p) {
        if (comb[p]) phaseof[++cols] = p;
    }
    for (int16 i = 1; i <= nucomp; ++i) {
        if (!cf[i]) continue;
        ++rows;
        int64 g = 0;
        for (int16 j = 1; j <= cols; ++j) {
            a[rows][j] = s.ct.c[i][phaseof[j]];
            g = gcd64(g, a[rows][j]);
        }
        if (g > 1) {
            for (int16 j = 1; j <= cols; ++j) a[rows][j] /= g;
        }
    }
    if (rows != ncomps) {
        bomb("calca", "wrong no of components " + int64text(rows) + " " + int64text(ncomps),
             myfault);
    }
    if (cols != nc) wrongphases(cf, pf, comb, rows, cols, ncomps);
    const int16 srows = ncomps;
    // Fraction-free elimination.
    for (int16 i = 1; i <= nc; ++i) {
        int16 pr = 0, pc = 0;
        if (i <= srows && a[i][i] != 0) {
            pr = i;
            pc = i;
        } else {
            for (int16 col = i; col <= nc && pr == 0; ++col) {
                for (int16 row = i; row <= srows; ++row) {
                    if (a[row][col] != 0) {
                        pr = row;
                        pc = col;
                        break;
                    }
                }
            }
        }
        if (pr == 0) break;
        if (pc != i) {
            for (int16 row = 1; row <= srows; ++row) std::swap(a[row][pc], a[row][i]);
            std::swap(phaseof[pc], phaseof[i]);
        }
        if (pr != i) {
            for (int16 col = i; col <= nc; ++col) std::swap(a[pr][col], a[i][col]);
        }
        for (int16 row = i; row <= srows; ++row) {
            int64 g = 0;
            for (int16 col = i; col <= nc; ++col) g = gcd64(g, a[row][col]);
            if (g > 1) {
                for (int16 col = i; col <= nc; ++col) a[row][col] /= g;
            }
        }
        const int64 piv = a[i][i];
        for (int16 m = narrow16(i + 1); m <= srows; ++m) {
            if (a[m][i] == 0) continue;
            const int64 g = gcd64(piv, a[m][i]);
            const int64 f1 = piv / g, f2 = a[m][i] / g;
            for (int16 j = narrow16(i + 1); j <= nc; ++j) {
                a[m][j] = fit32(f1 * a[m][j] - f2 * a[i][j], "re");
            }
            a[m][i] = 0;
        }
    }
    if (!(ncomps == sysrank || a[nc][nc] == 0)) {
        putstr(ses, 0,
               "   no =" + int64text(ncomps) + ",  nmax =" + int64text(nsysphases) +
                   ", rank =" + int64text(sysrank),
               1, screenlogmask);
        bomb("re", "no reaction - WHY", myfault);
    }
    // Back substitution in exact fractions.
    Fixed1<int64, maxem> xn, xd;
    for (int16 m = sysrank; m >= 1; --m) {
        const int64 d = a[m][m], e = a[m][nc];
        if (d == 0) {
            xn[m] = 0;
            xd[m] = 1;
        } else {
            const int64 g = gcd64(d, e);
            xn[m] = e / g;
            xd[m] = d / g;
            if (xd[m] < 0) {
                xn[m] = -xn[m];
                xd[m] = -xd[m];
            }
        }
        for (int16 l = 1; l < m; ++l) {
            const int64 g = gcd64(a[l][m], xd[m]);
            const int64 f = xd[m] / g;
            a[l][nc] = fit32(f * a[l][nc] - xn[m] * (a[l][m] / g), "re");
            if (f > 1) {
                for (int16 q = l; q <= sysrank; ++q) {
                    if (q != m) a[l][q] = fit32(a[l][q] * f, "re");
                }
            }
        }
    }
    liemvector dens;
    for (int16 m = 1; m <= sysrank; ++m) dens[m] = fit32(xd[m], "re");
    const int64 l = sysrank > 0 ? vectorlcm(dens, sysrank) : 1;
    Fixed1<int64, maxem> coef;
    for (int16 m = 1; m <= sysrank; ++m) coef[phaseof[m]] = xn[m] * (l / xd[m]);
    coef[phaseof[nc]] = -l;
    // Components beyond those balanced among phases: their amounts are carried by the
    // end-members after the phases.
    if (nucomp < ncomp) {
        Fixed1<int64, maxcomp> qn, qd;
        liemvector qds;
        int16 nq = 0;
        for (int16 i = narrow16(nucomp + 1); i <= ncomp; ++i) {
            int64 sum = 0;
            for (int16 j = 1; j <= nem; ++j) sum += coef[j] * s.ct.c[i][j];
            const int64 div = s.ct.comps.compdenom[i];
            const int64 g = gcd64(sum, div);
            const int16 q = narrow16(i - nucomp);
            qn[q] = g > 0 ? sum / g : 0;
            qd[q] = g > 0 ? div / g : 1;
            qds[++nq] = fit32(qd[q], "re");
        }
        const int64 l2 = vectorlcm(qds, nq);
        if (l2 > 1) {
            for (int16 p = 1; p <= nrxem; ++p) coef[p] *= l2;
        }
        for (int16 q = 1; q <= nq; ++q) coef[nrxem + q] = -(qn[q] * l2 / qd[q]);
    }
    // check: every component balances.
    for (int16 i = 1; i <= ncomp; ++i) {
        int64 sum = 0;
        for (int16 j = 1; j <= nem; ++j) sum += coef[j] * s.ct.c[i][j];
        if (sum != 0) unbalanced(coef, comb);
    }
    // orientfluids: the fluid species on the right-hand side.
    const int16 h2o = s.ev.tab.h2oem, co2 = s.ev.tab.co2em;
    const int64 fluid = (h2o > 0 ? coef[h2o] : 0) + (co2 > 0 ? coef[co2] : 0);
    if (fluid < 0) {
        for (int16 j = 1; j <= nem; ++j) coef[j] = -coef[j];
    }
    if (nreac >= maxreac) bomb("re", "too many reactions" + maxtext(maxreac), yourfault);
    ++nreac;
    for (int16 j = 1; j <= maxem; ++j) {
        s.ev.r[nreac][j] = j <= nem ? fit16(coef[j], "re") : int16{0};
    }
    for (int16 p = 1; p <= nrxem; ++p) comb[p] = coef[p] != 0;
    const bool recorded = rl.nrphasesets < maxphasesets;
    if (recorded) rl.rphasesets[++rl.nrphasesets] = phaseset(comb, nrxem);
    if (use != SearchUse::rockaverages) newreactionlna();
    judge(coef, recorded);
}

void ReactionSearchState::judge(const Fixed1<int64, maxem>& coef, bool recorded) {
    if (use == SearchUse::rockaverages) {
        char mark = '-';
        real sd = 0;
        if (newindr()) {
            newreactionlna();
            if (!checkrockreaction(sd)) {
                mark = '0';
            } else {
                mark = sd <= s.maxsdrock ? 'X' : ':';
            }
        }
        progresschar(mark);
        if (mark == 'X') {
            ++sysfound;
            std::string line;
            if (s.rockavtype == avtype::avtmode) {
                line = " " + realstr(sd);
            } else {
                addreal(1, true, 5, line, sd);
            }
            ses.console.write(line);
        } else {
            --nreac;
        }
    } else if (use == SearchUse::reactiondiagram) {
        CornerSigns cs;
        if (inPTXwindow(s.ev, rl.lnaterm, s.cur, nreac, cs)) {
            progresschar('X');
        } else if (s.allreactions) {
            --nreac;
            if (recorded) --rl.nrphasesets;
            progresschar('+');
        } else {
            if (!recorded) ++rl.nrphasesets;
            progresschar(excludeassemblage(coef, cs[1]) ? '+' : '-');
        }
    }
}

}  // namespace qv
