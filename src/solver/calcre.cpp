#include "solver/calcre.hpp"

#include <cmath>
#include <limits>
#include <memory>

#include "base/fatal.hpp"
#include "numerics/combinations.hpp"
#include "numerics/intmath.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

namespace {

constexpr int32 screenlog = 9;
constexpr int32 screensummarylog = 13;

std::string num(int64 v) {
    std::string s;
    addgreal(0, s, static_cast<real>(v));
    return s;
}

longint3 setof(const PhaseFlags& f, int16 n) {
    longint3 s{};
    for (int16 p = 1; p <= n; ++p) {
        if (f[p]) BSet2(s, p);
    }
    return s;
}

bool holdsany(const longint3& set, const iemvector& phases, int16 n) {
    for (int16 k = 1; k <= n; ++k) {
        if (BTst2(set, phases[k])) return true;
    }
    return false;
}

// The search with its state; the methods are its steps.
struct Search {
    ReactionSearch& s;
    Session& ses;
    ReactionLists& rl;
    int16& nreac;
    calcmodetype mode;
    int16 nucomp, ncomp, nrxem, nem;

    int16 nsysphases = 0;
    int16 sysrank = 0;
    int16 sysfound = 0;
    int16 sysfoundstart = 0;
    int16 sysmax = 0;
    bool sysprinted = false;
    bool reacfull = false;
    bool intfull = false;
    bool flatwindow = false;
    int16 maxreacs = 0;
    int32 combinations = 0;

    explicit Search(ReactionSearch& rs)
        : s(rs),
          ses(rs.ev.ses),
          rl(rs.rl),
          nreac(rs.nreac),
          mode(rs.ev.ses.runcalcmode),
          nucomp(rs.ct.comps.nucomp),
          ncomp(rs.ct.comps.ncomp),
          nrxem(rs.nrxem),
          nem(rs.ct.nem) {}

    void progresschar(char c) { putstr(ses, 0, std::string(1, c), 0, screenlog); }

    bool excludedphase(int16 p) const {
        for (int16 k = 1; k <= rl.nexclphases; ++k) {
            if (rl.exclphases[k] == p) return true;
        }
        return false;
    }

    int16 phasesinsystem(const iemvector& comb, int16 k, ComponentFlags& cf, PhaseFlags& pf) {
        for (int16 i = 1; i <= maxcomp; ++i) cf[i] = false;
        for (int16 i = 1; i <= k; ++i) cf[comb[i]] = true;
        int16 count = 0;
        for (int16 p = 1; p <= nrxem; ++p) {
            bool in = true;
            for (int16 i = 1; i <= nucomp && in; ++i) {
                if (!cf[i] && s.ct.c[i][p] != 0) in = false;
            }
            pf[p] = in && !excludedphase(p);
            if (pf[p]) ++count;
        }
        return count;
    }

    int16 rankofphases(const PhaseFlags& pf) const {
        auto a = std::make_unique<liemmatrix>();
        int16 n = 0;
        for (int16 p = 1; p <= nrxem; ++p) {
            if (!pf[p]) continue;
            ++n;
            for (int16 i = 1; i <= nucomp; ++i) (*a)[i][n] = s.ct.c[i][p];
        }
        return integerechelon(*a, nucomp, n);
    }

    bool calclnir(const PhaseFlags& pf, int16 size) {
        const bool last = size == nucomp;
        sysmax = static_cast<int16>(nsysphases - sysrank);
        if (nrxem > maxreactionphases) bomb("calclnir", "too many end-members", yourfault);
        const longint3 sys = setof(pf, nrxem);
        sysfoundstart = 0;
        for (int16 k = 1; k <= nreac; ++k) {
            if (BSubset(rl.rphasesets[k], sys)) ++sysfoundstart;
        }
        sysfound = sysfoundstart;
        int16 fresh = static_cast<int16>(sysmax - sysfoundstart);
        if (fresh != 0 && nreac != 0 && !last) {
            int16 a = 0, b = 0;
            for (int16 p = 1; p <= nrxem; ++p) {
                bool unused = true;
                for (int16 k = 1; k <= nreac && unused; ++k) unused = s.ev.r[k][p] == 0;
                if (!unused) continue;
                if (pf[p]) {
                    ++a;
                } else {
                    ++b;
                }
            }
            if (b != 0) {
                if (maxreacs - nreac == 1) {
                    fresh = 0;
                } else if (maxreacs - nreac <= 2 && a < fresh) {
                    fresh = a;
                }
            }
        }
        sysmax = static_cast<int16>(sysfoundstart + fresh);
        return fresh > 0;
    }

    // The system's phases whose positions (1..nsysphases) are in comb.
    void restrict(const iemvector& comb, int16 k, const PhaseFlags& pf, PhaseFlags& cf) const {
        int16 pos = 0, next = 1;
        for (int16 p = 1; p <= maxem; ++p) cf[p] = false;
        for (int16 p = 1; p <= nrxem; ++p) {
            if (!pf[p]) continue;
            ++pos;
            if (next <= k && comb[next] == pos) {
                cf[p] = true;
                ++next;
            }
        }
    }

    bool excludedby(const PhaseFlags& cf, bool byreactions) const {
        for (int16 p = 1; p <= nrxem; ++p) {
            if (cf[p] && excludedphase(p)) return true;
        }
        const longint3 set = setof(cf, nrxem);
        for (int16 k = 1; k <= rl.nexclassemblages; ++k) {
            if (BSubset(rl.exclassemblages[k], set)) return true;
        }
        if (byreactions) {
            for (int16 k = 1; k <= rl.nrphasesets; ++k) {
                if (BSubset(rl.rphasesets[k], set)) return true;
            }
        } else {
            for (int16 k = 1; k <= rl.nintersect; ++k) {
                if (BSubset(rl.intersections[k].phases, set)) return true;
            }
        }
        return false;
    }

    void newintersection(const PhaseFlags& cf) {
        const longint3 set = setof(cf, nrxem);
        Intersection in;
        for (int16 k = 1; k <= nreac; ++k) {
            if (!BSubset(rl.rphasesets[k], set)) continue;
            in.reacs[++in.nreac] = k;
            for (int w = 1; w <= 3; ++w) in.phases[w] |= rl.rphasesets[k][w];
        }
        if (in.nreac < 3) return;
        rl.intersections[++rl.nintersect] = in;
    }

    void removeexcluded(bool writetexts) {
        Fixed1<bool, maxreac> keep;
        bool anygo = false;
        for (int16 k = 1; k <= nreac; ++k) {
            keep[k] = !holdsany(rl.rphasesets[k], rl.exclphases, rl.nexclphases);
            for (int16 a = 1; a <= rl.nexclassemblages && keep[k]; ++a) {
                if (BSubset(rl.exclassemblages[a], rl.rphasesets[k])) keep[k] = false;
            }
            if (!keep[k]) anygo = true;
        }
        if (anygo) {
            Fixed1<int16, maxreac> newno;
            int16 n = 0;
            for (int16 k = 1; k <= nreac; ++k) {
                if (!keep[k]) continue;
                newno[k] = ++n;
                s.ev.r[n] = s.ev.r[k];
                rl.rphasesets[n] = rl.rphasesets[k];
                rl.rxnlnk[n] = rl.rxnlnk[k];
            }
            nreac = n;
            rl.nrphasesets = n;
            int16 m = 0;
            for (int16 i = 1; i <= rl.nintersect; ++i) {
                Intersection in = rl.intersections[i];
                bool all = true;
                for (int16 j = 1; j <= in.nreac && all; ++j) all = keep[in.reacs[j]];
                if (!all) continue;
                for (int16 j = 1; j <= in.nreac; ++j) in.reacs[j] = newno[in.reacs[j]];
                rl.intersections[++m] = in;
            }
            rl.nintersect = m;
        }
        if (writetexts) {
            rl.textwidth = 0;
            strings names = s.ct.names;
            if (s.lnaem > 0) names[s.lnaem] = s.lnaname;
            for (int16 k = 1; k <= nreac; ++k) writereaction(s.ev.r, names, nem, rl, k);
            ++rl.textwidth;
        }
    }

    void printsystem() {
        sysprinted = true;
        progresschar('|');
    }

    // ---- one reaction -------------------------------------------------------------------

    bool newindr() {
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
        if (mode == calcmodetype::rockcalc && nreac > maxrockreactions) {
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

    void newreactionlna() {
        real sum = 0;
        if (mode != calcmodetype::nlecalc) {
            for (int16 k = 1; k <= nem; ++k) {
                if (s.ev.r[nreac][k] != 0) {
                    sum += s.ev.r[nreac][k] * std::log(s.ev.tab.emactivity[k]);
                }
            }
        }
        rl.rxnlnk[nreac] = sum;
    }

    bool checkrockreaction(real& sd) {
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

    // Schreinemakers: the assemblage on the reaction's unstable side within the window cannot
    // be stable; returns whether something new is excluded.
    bool excludeassemblage(const Fixed1<int64, maxem>& coef, bool negativeinside) {
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
            if (holdsany(set, rl.exclphases, rl.nexclphases)) return false;
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

    void wrongphases(const ComponentFlags& cf, const PhaseFlags& pf, const PhaseFlags& comb,
                     int16 rows, int16 cols, int16 ncomps) {
        putstr(ses, 0,
               "ix = " + num(rows) + ", no = " + num(ncomps) + ", iy = " + num(cols) +
                   ", rankc+1 = " + num(sysrank + 1),
               1, screensummarylog);
        for (int16 i = 1; i <= nucomp; ++i) {
            std::string line = cf[i] ? "" : "     ";
            addstr(s.ct.comps.compnames[i], -5, line);
            putstr(ses, 0, line, 1, screensummarylog);
        }
        for (int16 p = 1; p <= nrxem; ++p) {
            std::string line = comb[p] ? "" : "     ";
            addstr(s.ct.names[p], -8, line);
            if (comb[p]) addstr("     ", 0, line);
            if (pf[p]) addstr("*", 4, line);
            putstr(ses, 0, line, 1, screensummarylog);
        }
        bomb("calca", "wrong no of phases ", myfault);
    }

    void unbalanced(const Fixed1<int64, maxem>& coef, const PhaseFlags& comb) {
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

    // The balanced reaction among the combination's phases (exactly sysrank + 1 of them).
    void re(int16 ncomps, const ComponentFlags& cf, const PhaseFlags& pf, PhaseFlags& comb) {
        // calcacomp: the system's components by the combination's phases.
        const int16 nc = static_cast<int16>(sysrank + 1);
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
            bomb("calca", "wrong no of components " + num(rows) + " " + num(ncomps), myfault);
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
            for (int16 m = static_cast<int16>(i + 1); m <= srows; ++m) {
                if (a[m][i] == 0) continue;
                const int64 g = gcd64(piv, a[m][i]);
                const int64 f1 = piv / g, f2 = a[m][i] / g;
                for (int16 j = static_cast<int16>(i + 1); j <= nc; ++j) {
                    a[m][j] = fit32(f1 * a[m][j] - f2 * a[i][j], "re");
                }
                a[m][i] = 0;
            }
        }
        if (!(ncomps == sysrank || a[nc][nc] == 0)) {
            putstr(
                ses, 0,
                "   no =" + num(ncomps) + ",  nmax =" + num(nsysphases) + ", rank =" + num(sysrank),
                1, screenlog);
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
            for (int16 i = static_cast<int16>(nucomp + 1); i <= ncomp; ++i) {
                int64 sum = 0;
                for (int16 j = 1; j <= nem; ++j) sum += coef[j] * s.ct.c[i][j];
                const int64 div = s.ct.comps.compdenom[i];
                const int64 g = gcd64(sum, div);
                const int16 q = static_cast<int16>(i - nucomp);
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
        if (recorded) rl.rphasesets[++rl.nrphasesets] = setof(comb, nrxem);
        if (mode != calcmodetype::rockcalc) newreactionlna();
        judge(coef, recorded);
    }

    void judge(const Fixed1<int64, maxem>& coef, bool recorded) {
        if (mode == calcmodetype::rockcalc) {
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
        } else if (mode == calcmodetype::phasecalc) {
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

    // ---- the search ----------------------------------------------------------------------

    void guard(const char* first, const char* second) {
        putstr(ses, 1, first, 1, screenlog);
        putstr(ses, 0, second, 1, screenlog);
    }

    bool run() {
        if (mode == calcmodetype::nlecalc) {
            bomb("calcre", "mode 1 sent to the wrong place", myfault);
        }
        const bool rock = mode == calcmodetype::rockcalc;
        flatwindow = false;
        if (rock) {
            putstr(ses, 0, "reactions : ", 0, screenlog);
            putstr(ses, 0, "", 1, screenlog);
            PhaseFlags all;
            nsysphases = 0;
            for (int16 p = 1; p <= nrxem; ++p) {
                all[p] = !excludedphase(p);
                if (all[p]) ++nsysphases;
            }
            sysrank = rankofphases(all);
            maxreacs = static_cast<int16>(nsysphases - sysrank);
            printcmatrix(ses, s.ct);
            const Windows& w = s.ev.w;
            if (s.rockavtype == avtype::avpmode) {
                flatwindow = std::fabs(s.cur.tcur - w.twinlow) < 0.1L;
            } else if (s.rockavtype == avtype::avtmode) {
                flatwindow = std::fabs(s.cur.pcur - w.pwinlow) < 0.01L;
            } else {
                flatwindow = true;
            }
        }
        reacfull = false;
        intfull = false;
        sysfound = 0;
        nreac = 0;
        rl.nrphasesets = 0;
        rl.nintersect = 0;
        combinations = 0;
        if (nucomp < 1) {
            guard("no reactions in a system with no components?!",
                  "should not have got to here...");
            return false;
        }
        bool done = false;
        iemvector comps, combo;
        ComponentFlags cf;
        PhaseFlags pf, cflags;
        for (int16 size = 1; size <= nucomp && !done; ++size) {
            startcombination(comps, size);
            bool more = true;
            while (!done) {
                nextcombination(comps, size, nucomp, more);
                if (!more) break;
                nsysphases = phasesinsystem(comps, size, cf, pf);
                if (nsysphases <= 1) continue;
                sysrank = rankofphases(pf);
                if (sysrank + 1 > nsysphases) continue;
                if (rock && !calclnir(pf, size)) continue;
                sysprinted = false;
                if (nsysphases < 2 || sysrank < 1) {
                    guard("no reactions with less than 2 phases?!",
                          "REALLY should not have got to here...");
                } else {
                    done = reactions(size, cf, pf, combo, cflags, rock);
                }
                if (mode == calcmodetype::phasecalc && !done && !intfull &&
                    sysrank + 2 <= nsysphases) {
                    intersections(pf, combo, cflags);
                }
            }
        }
        if (rock) {
            s.rl.incompleteset = nreac < maxreacs;
            const char* msg = nreac == 0 ? "no reactions"
                              : s.rl.incompleteset
                                  ? "an INCOMPLETE independent set of reactions has been calculated"
                                  : "an independent set of reactions has been calculated";
            putstr(ses, 1, msg, 1, screensummarylog);
            return done;
        }
        exclusionline();
        const bool complete = !reacfull && !intfull;
        removeexcluded(true);
        if (reacfull) {
            putstr(ses, 2,
                   s.allreactions ? "*** INCOMPLETE set of reactions ***"
                                  : "*** INCOMPLETE set of reactions and intersections ***",
                   1, screensummarylog);
        }
        if (intfull && !s.allreactions) {
            putstr(ses, 2, "*** INCOMPLETE set of  intersections ***", 1, screensummarylog);
        }
        std::string line = "no of reactions = " + num(nreac);
        if (!s.allreactions) line += ", no of intersections = " + num(rl.nintersect);
        putstr(ses, 1, line, 1, screensummarylog);
        return complete;
    }

    bool reactions(int16 size, const ComponentFlags& cf, const PhaseFlags& pf, iemvector& combo,
                   PhaseFlags& cflags, bool rock) {
        const int16 k = static_cast<int16>(sysrank + 1);
        startcombination(combo, k);
        bool more = true;
        bool done = false;
        while (!done) {
            if (rock && sysfound >= sysmax) break;
            nextcombination(combo, k, nsysphases, more);
            if (!more) break;
            restrict(combo, k, pf, cflags);
            if (excludedby(cflags, true)) continue;
            if (rock && sysfound == sysfoundstart && !sysprinted) printsystem();
            ++combinations;
            re(size, cf, pf, cflags);
            if (rock) {
                done = nreac == maxreacs;
                if (combinations == 400 && nreac == 0) {
                    done = query(ses, "not much progress : exitt");
                }
            } else {
                if (nreac == maxreac) removeexcluded(false);
                reacfull = nreac == maxreac;
                done = reacfull;
            }
        }
        return done;
    }

    void intersections(const PhaseFlags& pf, iemvector& combo, PhaseFlags& cflags) {
        if (nsysphases < 3) {
            guard("no intersections with less than 3 phases?!",
                  "REALLY should not have got to here  (A) ...");
            return;
        }
        if (sysrank < 1) {
            guard("no reactions with less than 3 phases?!",
                  "REALLY should not have got to here  (B) ...");
            return;
        }
        const int16 k = static_cast<int16>(sysrank + 2);
        startcombination(combo, k);
        bool more = true;
        for (;;) {
            nextcombination(combo, k, nsysphases, more);
            if (!more) break;
            restrict(combo, k, pf, cflags);
            const bool excluded = excludedby(cflags, false);
            intfull = rl.nintersect == maxintersections;
            if (!excluded && !intfull) newintersection(cflags);
        }
    }

    void exclusionline() {
        if (rl.nexclphases == 0 && rl.nexclassemblages == 0) {
            putstr(ses, 1, s.allreactions ? "" : "no excluded assemblages", 1, screensummarylog);
            return;
        }
        std::string line = "excluded assemblages |";
        for (int16 k = 1; k <= rl.nexclphases; ++k) {
            addstr(" " + s.ct.names[rl.exclphases[k]] + " |", 0, line);
        }
        int count = rl.nexclphases;
        int before = 1;
        for (int16 a = 1; a <= rl.nexclassemblages; ++a) {
            for (int16 p = 1; p <= nrxem && p <= maxreactionphases; ++p) {
                if (!BTst2(rl.exclassemblages[a], p)) continue;
                addstr(" " + s.ct.names[p], 0, line);
                ++count;
            }
            addstr(" |", 0, line);
            if (count > 9 && a < rl.nexclassemblages) {
                putstr(ses, before, line, 1, screensummarylog);
                before = 0;
                line.clear();
                addstr("|", 22, line);
                count = 0;
            }
        }
        putstr(ses, before, line, 1, screensummarylog);
    }
};

}  // namespace

bool calcre(ReactionSearch& s) {
    Search search(s);
    return search.run();
}

void realreaction(const cmatrix& a, int16 m, int16 n, emvector& x) {
    // The working copy keeps one row beyond the data for n = m + 1 columns.
    auto mm = std::make_unique<Fixed1<emvector, maxcomp + 1>>();
    Fixed1<emvector, maxcomp + 1>& w = *mm;
    Fixed1<int16, maxem> perm;
    for (int16 j = 1; j <= n; ++j) perm[j] = j;
    for (int16 i = 1; i <= m; ++i) {
        for (int16 j = 1; j <= n; ++j) w[i][j] = a[i][j];
    }
    constexpr real small = 1e-5L;
    for (int16 k = 1;; ++k) {
        if (k > m) {
            // Every row holds a pivot: more than m + 1 columns would need rows beyond the data.
            if (n > m + 1) bomb("realreaction", "no reaction - WHY", myfault);
            break;
        }
        int16 pr = 0, pc = 0;
        for (int16 c = k; c <= n && pr == 0; ++c) {
            for (int16 r = k; r <= m; ++r) {
                if (std::fabs(w[r][c]) >= small) {
                    pr = r;
                    pc = c;
                    break;
                }
            }
        }
        if (pr == 0) break;
        if (pc > k) {
            for (int16 r = 1; r <= m; ++r) std::swap(w[r][pc], w[r][k]);
            std::swap(perm[pc], perm[k]);
        }
        if (pr > k) std::swap(w[pr], w[k]);
        const real f = 1 / w[k][k];
        for (int16 i = static_cast<int16>(k + 1); i <= m; ++i) {
            if (w[i][k] == 0) continue;
            for (int16 j = static_cast<int16>(k + 1); j <= n; ++j) {
                w[i][j] -= w[i][k] * w[k][j] * f;
                if (std::fabs(w[i][j]) < small) w[i][j] = 0;
            }
            w[i][k] = 0;
        }
        if (k == n) break;
    }
    // Beyond the data (n > m) the last diagonal entry is 0: the last column depends.
    if (n - 1 != m && n <= m && !(std::fabs(w[n][n]) < small)) {
        bomb("realreaction", "no reaction - WHY", myfault);
    }
    emvector y;
    y[n] = -1;
    for (int16 i = static_cast<int16>(n - 1); i >= 1; --i) {
        if (i <= m && std::fabs(w[i][i]) >= small) {
            real sum = w[i][n];
            for (int16 j = static_cast<int16>(i + 1); j <= n - 1; ++j) sum -= w[i][j] * y[j];
            y[i] = sum / w[i][i];
        } else {
            y[i] = 0;
        }
    }
    for (int16 j = 1; j <= maxem; ++j) x[j] = 0;
    for (int16 i = 1; i <= n - 1; ++i) x[perm[i]] = y[i];
    x[perm[n]] = -1;
}

}  // namespace qv
