#include "phasediagram/calcwhat.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/combinations.hpp"
#include "numerics/intmath.hpp"
#include "phasediagram/dogmin.hpp"
#include "phasediagram/solve.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

using imat = Fixed1<Fixed1<int32, maxcomp>, maxcomp>;  // n x n, n components at most

// An integer matrix of the size in use, row by row in one block, indexed from 1 (the callers
// index within its rows and columns).
class IntRows {
public:
    IntRows(int16 rows, int16 cols)
        : cols_(cols), v_(static_cast<std::size_t>(rows < 0 ? 0 : rows) * (cols < 0 ? 0 : cols)) {}
    int32& operator()(int r, int c) { return v_[index(r, c)]; }
    int32 operator()(int r, int c) const { return v_[index(r, c)]; }

private:
    std::size_t index(int r, int c) const {
        return static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(c - 1);
    }
    int cols_;
    std::vector<int32> v_;
};

std::string num(int32 v) {
    return realstr(static_cast<real>(v));
}

// The integer composition column of each end-member of a phase of the run.
template <typename F>
void eachcolumn(const Run& run, const bemvector& take, F f) {
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= run.nss; ++k) {
        if (!take[k]) continue;
        for (int j = 1; j <= ss[k].nem; ++j) f(ss[k].em[j].name, ss[k].em[j].comp);
    }
    for (int j = 1; j <= run.npure; ++j) {
        if (take[run.nss + j]) f(pure[j].name, pure[j].comp);
    }
}

std::string phasename(const Run& run, int k) {
    return k <= run.nss ? (*run.arrays.prec1)[k].name : (*run.arrays.prec0)[k - run.nss].name;
}

void printmustapply(Session& ses, const Run& run, const ReducedSystem& rs, const imat& projc,
                    int16 n, int16 deficit) {
    putstr(ses, 0, deficit == 1 ? "this equation must apply" : "these equations must apply", 1,
           screensummarylogmask);
    Fixed1<std::string, maxcomp> names;
    int16 q = 0;
    for (int c = 1; c <= run.dataset.components.ncomp; ++c) {
        if (rs.reducedcomp[c]) names[++q] = run.dataset.components.compnames[c];
    }
    for (int r = n - deficit + 1; r <= n; ++r) {
        liemvector row;
        for (int c = 1; c <= n; ++c) row[c] = projc[r][c];
        const int32 g = std::abs(vectorgcd(row, n));
        if (g > 1) {
            for (int c = 1; c <= n; ++c) row[c] /= g;
        }
        std::string line = "   ";
        bool first = true;
        for (int c = 1; c <= n; ++c) {
            const int32 v = row[c];
            if (v == 0) continue;
            if (v < 0) {
                line += " - ";
                if (v != -1) line += " " + num(-v);
            } else {
                if (!first) line += " + ";
                if (v != 1) line += " " + num(v);
            }
            line += names[c];
            first = false;
        }
        putstr(ses, 0, line + " = 0", 1, screensummarylogmask);
    }
}

}  // namespace

ReducedSystem fullsystem(const Run& run) {
    ReducedSystem rs;
    const int16 n = run.dataset.components.ncomp;
    for (int c = 1; c <= n; ++c) rs.reducedcomp[c] = true;
    rs.nuvleft = n;
    return rs;
}

// Kept whole: the elimination, its projection and its debug dump share the local matrices.
RankResult calcrankp(Session& ses, Run& run, PdRun& pd, const ReducedSystem& rs,
                     const bemvector& take) {
    RankResult out;
    const SystemComponents& comps = run.dataset.components;
    const int16 n = rs.nuvleft;
    // The composition matrix (reduced components x the end-members of the phases taken) and
    // its copy before the elimination, made at the size in use: rows 1..n (and any reduced
    // component beyond), columns 1..m.
    std::vector<const std::string*> colnames;
    std::vector<const icvector*> columns;
    eachcolumn(run, take, [&](const std::string& name, const icvector& comp) {
        if (columns.size() >= static_cast<std::size_t>(maxem)) index_fault();
        colnames.push_back(&name);
        columns.push_back(&comp);
    });
    const int16 m = narrow16(static_cast<int>(columns.size()));
    int16 nrows = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (rs.reducedcomp[c]) ++nrows;
    }
    IntRows a(std::max(n, nrows), m);
    for (int j = 1; j <= m; ++j) {
        int16 row = 0;
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (!rs.reducedcomp[c]) continue;
            a(++row, j) = (*columns[static_cast<std::size_t>(j - 1)])[c];
        }
    }
    Fixed1<int32, maxcomp> scale;
    {
        int16 row = 0;
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (rs.reducedcomp[c]) scale[++row] = comps.compdenom[c];
        }
    }
    const IntRows a0 = a;
    Fixed1<int16, maxcomp> perm;
    imat l{};
    imat e{};
    imat projc{};
    for (int i = 1; i <= n; ++i) {
        perm[i] = narrow16(i);
        for (int j = 1; j <= n; ++j) {
            l[i][j] = j > i ? 1 : 0;
            e[i][j] = i == j ? 1 : 0;
        }
    }
    projc = e;
    // Fraction-free row reduction with row exchange.
    const int limit = std::min<int>(m, n);
    int i = 0;
    int c = 0;
    bool found = true;
    while (limit > 0) {
        ++i;
        int k = 0;
        found = false;
        for (int col = c + 1; col <= m && !found; ++col) {
            for (int r = i; r <= n; ++r) {
                if (a(r, col) != 0) {
                    k = r;
                    c = col;
                    found = true;
                    break;
                }
            }
        }
        if (!found) break;
        if (k > i) {
            for (int j = c; j <= m; ++j) std::swap(a(i, j), a(k, j));
            std::swap(perm[i], perm[k]);
            for (int j = 1; j <= i - 1; ++j) {
                std::swap(l[i][j], l[k][j]);
                std::swap(l[j][i], l[j][k]);
            }
        }
        const int32 p = a(i, c);
        for (int r = i + 1; r <= n; ++r) {
            if (a(r, c) == 0) continue;
            const int32 g = gcd(p, a(r, c));
            const int32 aa = p / g;
            const int32 b = a(r, c) / g;
            for (int j = c; j <= m; ++j) {
                a(r, j) = aa < 0 ? a(r, j) * (-aa) + b * a(i, j) : aa * a(r, j) - b * a(i, j);
            }
            l[i][r] = std::abs(aa);
            l[r][i] = aa < 0 ? b : -b;
        }
        if (c == m || i == limit) break;
    }
    out.rank = narrow16(found ? i : i - 1);
    if (limit <= 0) out.rank = 0;
    const int16 deficit = narrow16(n - out.rank);
    pd.rankdeficit = deficit;
    for (int s = 1; s <= n - 1; ++s) {
        for (int r = s + 1; r <= n; ++r) {
            e[r][r] = e[r][r] * l[s][r];
            for (int q = 1; q <= s; ++q) e[r][q] = e[s][q] * l[r][s] + e[r][q] * l[s][r];
        }
    }
    pd.bulk.projc = projc;
    if (deficit <= 0) return out;
    for (int q = 1; q <= n; ++q) {
        int t = 0;
        for (int r = 1; r <= n; ++r) {
            if (perm[r] == q) t = r;
        }
        if (t == 0) bomb("calcrankp", "couldn't rearrange columns", myfault);
        for (int r = 1; r <= n; ++r) projc[r][q] = scale[q] * e[r][t];
    }
    pd.bulk.projc = projc;
    bool lu = true;
    for (int r = 1; r <= n && lu; ++r) {
        for (int j = 1; j <= m && lu; ++j) {
            real s = 0;
            for (int q = 1; q <= n; ++q) {
                s += static_cast<real>(a0(q, j)) * projc[r][q] / static_cast<real>(scale[q]);
            }
            lu = std::lround(static_cast<double>(s - a(r, j))) == 0;
        }
    }
    if (!lu && run.script.debuglev > 1) {
        putstr(ses, 0, "reduced system: row operations do not reproduce the reduced matrix", 1,
               logmask);
    }
    if (rs.nbulk == 0 || !lu) return out;
    for (int r = n - deficit + 1; r <= n; ++r) {
        for (int b = 1; b <= std::min<int>(rs.nbulk, 2); ++b) {
            real s = 0;
            for (int q = 1; q <= n; ++q) s += projc[r][q] * rs.bulk[b][q];
            if (std::fabs(s) >= 1e-6L) out.ok = false;
        }
    }
    if (out.ok) return out;
    const ScriptSettings& sc = run.script;
    if (!sc.dogminon || sc.dogminlevel >= 2) {
        if (sc.dogminon) {
            putstr(ses, 0, "<==================================================>", 1,
                   screensummarylogmask);
        }
        std::string line = "reduced system needed for handling equilibrium involving: ";
        for (int k = 1; k <= run.nss + run.npure; ++k) {
            if (take[k]) line += phasename(run, k) + " ";
        }
        putstr(ses, sc.dogminon ? 0 : 1, line, 1, screensummarylogmask);
        if (!sc.dogminon) {
            putstr(ses, 0, "bulk NOT in reduced system", 1, screensummarylogmask);
            printmustapply(ses, run, rs, projc, n, deficit);
        }
    }
    if (sc.debuglev > 1 && !sc.dogminon) {
        // The elimination for a look at why the bulk cannot be made; the candidate is excluded
        // as at any other debug level.
        auto write = [&](const std::string& s) { ses.console.write(s + "\n"); };
        ses.console.write("\n\n\xA5 debugging information \xA5\n\n");
        write("matrix is rank deficient");
        write("composition matrix");
        std::string line;
        for (int j = 1; j <= m; ++j) addstr(*colnames[static_cast<std::size_t>(j - 1)], 5, line);
        write(line);
        for (int r = 1; r <= n; ++r) {
            line.clear();
            for (int j = 1; j <= m; ++j) addgreal(5, line, a0(r, j));
            addgreal(7, line, scale[r]);
            write(line);
        }
        write("permutation matrix");
        for (int r = 1; r <= n; ++r) {
            line = "      ";
            for (int q = 1; q <= n; ++q) line += perm[r] == q ? " 1" : " 0";
            write(line);
        }
        auto square = [&](const char* title, const imat& x) {
            write(title);
            for (int r = 1; r <= n; ++r) {
                std::string row = "      ";
                for (int q = 1; q <= n; ++q) addgreal(4, row, x[r][q]);
                write(row);
            }
        };
        square("L info", l);
        square("inv L", e);
        square("projc", projc);
        write("row-reduced matrix, U");
        for (int r = 1; r <= n; ++r) {
            line.clear();
            for (int j = 1; j <= m; ++j) addgreal(4, line, a(r, j));
            write(line);
        }
    }
    return out;
}

void calcwhat(Session& ses, Run& run, PdRun& pd, const ReducedSystem& rs,
              const std::function<void(const bemvector&)>& calc) {
    const ScriptSettings& sc = run.script;
    if (run.npure >= 2 && run.nss == 0 && pd.nbulk == 0) {
        ses.console.write("\nno solid solutions involved: run in mode 3\n\n");
        bomb("calcwhat", "not currently implemented", yourfault);
    }
    const int16 vmax = pd.maxvariance;
    int16 vmin = sc.dogminon ? sc.varmin : vmax;
    if (vmax < vmin) vmin = vmax;
    if (run.dataset.components.nucomp < 1) bomb("calcwhat", "nu < 1", yourfault);
    const int16 nph = narrow16(run.nss + run.npure);
    bemvector full{};
    for (int k = 1; k <= nph; ++k) full[k] = true;
    // Rank of the composition matrix of every phase of the run.
    auto all = std::make_unique<liemmatrix>();
    int16 ncol = 0;
    const int16 ncomp = run.dataset.components.ncomp;
    eachcolumn(run, full, [&](const std::string&, const icvector& comp) {
        ++ncol;
        for (int r = 1; r <= ncomp; ++r) (*all)[r][ncol] = comp[r];
    });
    const int16 rank = integerechelon(*all, ncomp, ncol);
    const prectype1& ss = *run.arrays.prec1;
    for (int16 v = vmax; v >= vmin; --v) {
        if (sc.dogminon) {
            pd.variance = v;
            pd.modesinsolve = v != 2;
            pd.modesaftersolve = v == 2;
        }
        const int16 ntake = narrow16(rank + 2 - v);
        if (ntake < 1 || ntake > nph) continue;
        iemvector comb;
        startcombination(comb, ntake);
        for (;;) {
            bool more = false;
            nextcombination(comb, ntake, nph, more);
            if (!more) break;
            bemvector take{};
            for (int i = 1; i <= ntake; ++i) take[comb[i]] = true;
            int16 status = 2;
            bool excluded = false;
            int16 nv = -1;
            int16 nir = -1;
            int16 crank = -1;
            if (run.excess.nisophases > 0) {
                for (int k = 1; k <= nph; ++k) {
                    if (run.excess.isophaseflag[k] && !take[k]) excluded = true;
                }
            }
            if (!excluded) {
                status = 4;
                const RankResult rr = calcrankp(ses, run, pd, rs, take);
                crank = rr.rank;
                excluded = !rr.ok;
            }
            if (!excluded) {
                status = 5;
                int16 k = narrow16(rs.nuvleft - ncomp);
                int16 nfree = 0;
                int16 nmodes = 0;
                for (int i = 1; i <= nph; ++i) {
                    if (!take[i]) continue;
                    if (i <= run.nss) {
                        k = narrow16(k + ss[i].nem);
                        for (int var = 1; var <= ss[i].nvar; ++var) {
                            if (!ss[i].var[var].flag) ++nfree;
                        }
                    } else {
                        ++k;
                    }
                    if (pd.iso.moderow[i] == 0) ++nmodes;
                }
                nir = narrow16(k - crank);
                if (pd.modesinsolve) nir = narrow16(nir + rs.nuvleft - pd.rankdeficit);
                if (sc.debuglev > 1 && sc.debuglev < 5) {
                    std::string line = "nuv = " + num(ncomp) + "; nuvleft = " + num(rs.nuvleft) +
                                       "; k = " + num(k) + "; rank = " + num(crank);
                    if (pd.modesinsolve) line += "  rank deficit = " + num(pd.rankdeficit);
                    putstr(ses, 2, line + "; nir = " + num(nir), 1, screensummarylogmask);
                }
                nv = narrow16(std::max(0, 2 - pd.variance) + nfree);
                if (pd.modesinsolve) {
                    nv = narrow16(nv + nmodes - (pd.xco2varon ? 1 : 0) -
                                  std::max<int16>(0, sc.nlna) - std::max<int16>(0, sc.nmu));
                }
                excluded = nir == 0 || nir != nv;
            }
            if (!excluded) {
                status = 6;
                bool partial = false;
                for (int i = 1; i <= nph; ++i) partial = partial || !take[i];
                if (pd.modesinsolve && partial) {
                    bool allpresent = true;
                    for (int c = 1; c <= ncomp; ++c) {
                        bool present = false;
                        eachcolumn(run, take, [&](const std::string&, const icvector& comp) {
                            present = present || comp[c] != 0;
                        });
                        allpresent = allpresent && present;
                    }
                    excluded = !allpresent || pd.rankdeficit >= 1;
                }
            }
            if (!excluded) status = 7;
            if (sc.debuglev > 1) {
                static const char* const reasons[] = {"????",
                                                      "(already)",
                                                      "(not in ex)",
                                                      "(inc ex)",
                                                      "(no calc)",
                                                      "(mismatch)",
                                                      "(bulk can't be made, eg in dogmin)",
                                                      ""};
                putstr(ses, 0, "", 1, screensummarylogmask);
                std::string line;
                addstr(excluded ? "excluded " : "good one ", -10, line);
                addstr(reasons[status], 10, line);
                line += ": nu = " + num(run.dataset.components.nucomp) + "; rank = " + num(rank) +
                        "; ntake = " + num(ntake) + "; npmax = " + num(nph) + "; nv = " + num(nv) +
                        "; nir = " + num(nir);
                putstr(ses, 0, line, 1, screensummarylogmask);
                line = "     ";
                for (int c = 1; c <= ncomp; ++c) {
                    line += run.dataset.components.compnames[c] + " ";
                }
                line += " ";
                for (int i = 1; i <= nph; ++i) {
                    if (take[i]) line += phasename(run, i) + " ";
                }
                line += pd.modesinsolve      ? "  - modes by nle"
                        : pd.modesaftersolve ? "  - modes after nle"
                                             : "  - not pseudosection";
                putstr(ses, 0, line, 1, screensummarylogmask);
            }
            if (!excluded || sc.batchcb == controlboolean::yes) {
                if (calc) {
                    calc(take);
                } else {
                    solve(ses, run, pd, take);
                }
            }
        }
    }
    if (sc.dogminon) {
        dogminpure(ses, run, pd);
        printdogmin(ses, run, pd);
    }
}

}  // namespace qv
