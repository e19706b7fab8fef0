#include "phasediagram/mineralbulk.hpp"

#include <cmath>
#include <memory>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/cholesky.hpp"
#include "numerics/random.hpp"
#include "numerics/sorting.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr int mcbulktrials = 5000;           // Monte Carlo trials of the mineral bulk
constexpr real maxdiscardedfraction = 0.3L;  // trials with a non-positive bulk component

const mineraltype& mineral(const Run& run, int k) {
    return run.script.tables->minerals[k];
}

// Position of the denominator among the bulk components.
int16 denominatorpos(const Run& run, const MineralBulkSettings& s) {
    int16 pos = 0;
    for (int k = 1; k <= run.dataset.components.ncomp; ++k) {
        if (!s.reducedcomp[k]) continue;
        ++pos;
        if (k == s.kbpden) return pos;
    }
    return 0;
}

// b'_j = ln(b_k / b_d) over the bulk components other than the denominator.
cvector logratios(const cvector& bulk, int16 nuvleft, int16 den) {
    cvector bp{};
    int16 j = 0;
    for (int k = 1; k <= nuvleft; ++k) {
        if (k == den) continue;
        bp[++j] = std::log(bulk[k] / bulk[den]);
    }
    return bp;
}

// Names of the bulk components, in bulk order.
Fixed1<std::string, maxcomp> bulknames(const Run& run, const MineralBulkSettings& s) {
    Fixed1<std::string, maxcomp> names{};
    int16 pos = 0;
    for (int k = 1; k <= run.dataset.components.ncomp; ++k) {
        if (s.reducedcomp[k]) names[++pos] = run.dataset.components.compnames[k];
    }
    return names;
}

// One listing line of mode 1: name, mode and the composition over the bulk components.
void listphase(Session& ses, const Run& run, const MineralBulkSettings& s, const std::string& name,
               real mode, const cvector& c) {
    std::string line;
    addstr(name, 6, line);
    addreal(4, true, 8, line, mode);
    for (int k = 1; k <= run.dataset.components.ncomp; ++k) {
        if (!s.reducedcomp[k]) continue;
        const real r = std::round(c[k]);
        if (std::fabs(c[k] - r) < 1e-5L) {
            addstr(realstr(r), 10, line);
        } else {
            addreal(6, true, 10, line, c[k]);
        }
    }
    ses.console.write(line + "\n");
}

// Adds mode x c / (atoms of c) to the accumulator.
void addphase(const Run& run, real mode, const cvector& c, cvector& acc) {
    const SystemComponents& sc = run.dataset.components;
    real s = 0;
    for (int k = 1; k <= sc.ncomp; ++k) s += c[k] * sc.compatoms[k];
    for (int k = 1; k <= sc.ncomp; ++k) acc[k] += mode * c[k] / s;
}

}  // namespace

void mineralsetup(Run& run) {
    for (int k = 1; k <= run.script.nmin; ++k) {
        mineraltype& m = run.script.tables->minerals[k];
        int16 found = 0;
        for (int16 i = 1; i <= run.nss && found == 0; ++i) {
            if ((*run.arrays.prec1)[i].name == m.name) found = i;
        }
        if (found == 0) bomb("calc covbp", "unrecognised phase, " + m.name, yourfault);
        m.phase = found;
        const ptype1& ph = (*run.arrays.prec1)[found];
        int norder = 0;
        for (int v = 1; v <= ph.nvar; ++v) {
            if (ph.var[v].isorder) ++norder;
        }
        if (ph.nvar != norder + m.nxyz) bomb("mineral setup", "phase size mismatch", yourfault);
    }
}

void stackmineralvars(const Run& run, MineralBulk& mb) {
    int16 n = 0;
    mb.stackcov = covmatrix{};
    for (int k = 1; k <= run.script.nmin; ++k) {
        const mineraltype& m = mineral(run, k);
        const int16 s = n;
        for (int i = 1; i <= m.nxyz; ++i) {
            if (++n > maxxyz) bomb("stackmineralvars", "too many mineral variables", yourfault);
            mb.stackvars[n] = m.xyz[i];
            for (int j = 1; j <= m.nxyz; ++j) {
                mb.stackcov[s + i][s + j] = m.sdxyz[i] * m.cor[i][j] * m.sdxyz[j];
            }
        }
    }
    mb.nstackvars = n;
}

MineralBulkResult mineralcontrib(Session& ses, const Run& run, const MineralBulk& mb,
                                 const xyzvector& x, int16 mode) {
    const MineralBulkSettings& s = mb.set;
    const SystemComponents& sc = run.dataset.components;
    const ScriptTables& tables = *run.script.tables;
    if (mode == 2) ses.console.write("mineral composition contributions from end-members\n");
    cvector acc{};
    int16 pos = 0;
    for (int m = 1; m <= run.script.nmin; ++m) {
        const mineraltype& min = mineral(run, m);
        const ptype1& ph = (*run.arrays.prec1)[min.phase];
        eqvector vals{};
        for (int v = 1; v <= ph.nvar; ++v) vals[v] = ph.var[v].isorder ? 0 : x[++pos];
        cvector c{};
        for (int e = 1; e <= ph.nem; ++e) {
            const real p = evalexpr(vals, 1, ph.p[e]);
            for (int k = 1; k <= sc.ncomp; ++k) {
                c[k] += p * ph.em[e].comp[k] / static_cast<real>(sc.compdenom[k]);
            }
            if (mode == 2) {
                std::string line;
                addstr(min.name, 6, line);
                if (e <= ph.nvar) {
                    addstr(ph.var[e].name, 12, line);
                    addreal(5, true, 9, line, vals[e]);
                } else {
                    line += spaces(21);
                }
                addstr(ph.em[e].name, 8, line);
                addreal(5, true, 9, line, p);
                ses.console.write(line + "\n");
            }
        }
        if (mode == 1 && m == 1) {
            ses.console.write("rbi-form, compositions calculated from input mineral xyz \n");
        }
        if (mode >= 1) listphase(ses, run, s, min.name, tables.rbimode[m], c);
        addphase(run, tables.rbimode[m], c, acc);
    }
    for (int j = 1; j <= run.npure; ++j) {
        const ptype0& pp = (*run.arrays.prec0)[j];
        // With ln a variables the phase of the first special name, and those after it, are
        // held by their activities and add nothing to the bulk.
        if (s.nlna > 0 && pp.name == s.firstspecial) break;
        cvector c{};
        for (int k = 1; k <= sc.ncomp; ++k) {
            c[k] = pp.comp[k] / static_cast<real>(sc.compdenom[k]);
        }
        const real md = tables.rbimode[run.script.nmin + j];
        if (mode >= 1) listphase(ses, run, s, pp.name, md, c);
        addphase(run, md, c, acc);
    }
    MineralBulkResult r;
    int16 n = 0;
    real total = 0;
    for (int k = 1; k <= sc.ncomp; ++k) {
        if (!s.reducedcomp[k]) continue;
        r.bulk[++n] = acc[k];
        total += acc[k];
    }
    for (int k = 1; k <= n; ++k) r.bulk[k] *= 100 / total;
    r.bprime = logratios(r.bulk, s.nuvleft, denominatorpos(run, s));
    return r;
}

namespace {

// The b' of the Monte Carlo trials, one row per kept trial.
using BpSamples = std::vector<cvector>;

BpSamples samplebulks(Session& ses, const Run& run, const MineralBulk& mb) {
    covmatrix l{};
    inverse(ses.console, mb.stackcov, l, mb.nstackvars);
    MtRandom gen(mb.seed);
    BpSamples kept;
    kept.reserve(mcbulktrials);
    int discarded = 0;
    for (int trial = 1; trial <= mcbulktrials; ++trial) {
        xyzvector z{};
        for (int i = 1; i <= mb.nstackvars; ++i) z[i] = gen.normal();
        xyzvector x = mb.stackvars;
        for (int i = 1; i <= mb.nstackvars; ++i) {
            for (int j = 1; j <= i; ++j) x[i] += l[i][j] * z[j];
        }
        const MineralBulkResult r = mineralcontrib(ses, run, mb, x, 0);
        bool positive = true;
        for (int k = 1; k <= mb.set.nuvleft; ++k) {
            if (!(r.bulk[k] > 0)) positive = false;
        }
        if (positive) {
            kept.push_back(r.bprime);
        } else {
            ++discarded;
        }
    }
    if (discarded > 0) {
        ses.console.write(std::to_string(discarded) + " of " + std::to_string(mcbulktrials) +
                          " trials discarded: a bulk component not positive\n");
    }
    if (static_cast<real>(discarded) > maxdiscardedfraction * mcbulktrials) {
        bomb("calc covbp", "more than 30% of the mineral bulk trials have a non-positive component",
             yourfault);
    }
    return kept;
}

// Medians, spreads and covariance of the sampled b', with their table on the console.
void samplestatistics(Session& ses, const Run& run, MineralBulk& mb, const BpSamples& kept) {
    const int16 nb = narrow16(mb.set.nuvleft - 1);
    const auto n = narrow16(kept.size());
    auto list = std::make_unique<sortvector>();
    cvector mad{};
    for (int j = 1; j <= nb; ++j) {
        for (int t = 1; t <= n; ++t) (*list)[t] = kept[static_cast<std::size_t>(t - 1)][j];
        shellsort(*list, n);
        mb.bprime[j] = (*list)[roundup(n, 0.5L)];
        mad[j] = findmad(*list, n, mb.bprime[j]);
    }
    for (int r = 1; r <= nb; ++r) {
        for (int c = 1; c <= nb; ++c) {
            real sum = 0;
            for (const cvector& v : kept) sum += (v[r] - mb.bprime[r]) * (v[c] - mb.bprime[c]);
            mb.covbprime[r][c] = sum / static_cast<real>(n - 1);
        }
    }
    const Fixed1<std::string, maxcomp> names = bulknames(run, mb.set);
    const int16 den = denominatorpos(run, mb.set);
    Fixed1<std::string, maxcomp> bpnames{};
    for (int k = 1, j = 0; k <= mb.set.nuvleft; ++k) {
        if (k != den) bpnames[++j] = names[k];
    }
    std::string line = "mc    ";
    addstr("b'", 8, line);
    addstr("sd(b')", 10, line);
    addstr("sd(b')", 10, line);
    addstr("%", 8, line);
    ses.console.write(line + "\n");
    for (int j = 1; j <= nb; ++j) {
        const real sd = std::sqrt(mb.covbprime[j][j]);
        line.clear();
        addstr(bpnames[j], 6, line);
        addreal(4, true, 8, line, mb.bprime[j]);
        addreal(6, true, 10, line, mad[j]);
        addreal(6, true, 10, line, sd);
        addreal(2, true, 8, line, mad[j] > 0 ? 100 * (1 - sd / mad[j]) : 0);
        ses.console.write(line + "\n");
    }
    ses.console.write("correlations of b'\n");
    line = spaces(7);
    for (int j = 1; j <= nb; ++j) addstr(bpnames[j], 7, line);
    ses.console.write(line + "\n");
    for (int r = 1; r <= nb; ++r) {
        line.clear();
        addstr(bpnames[r], 7, line);
        for (int c = 1; c <= nb; ++c) {
            const real d = std::sqrt(mb.covbprime[r][r] * mb.covbprime[c][c]);
            addreal(2, true, 7, line, d > 0 ? mb.covbprime[r][c] / d : 0);
        }
        ses.console.write(line + "\n");
    }
}

// The duDA+ case: the bulk from the minerals and the Monte Carlo covariance of its b'.
void mineralcovbp(Session& ses, Run& run, MineralBulk& mb, cvector& bulk) {
    const MineralBulkSettings& s = mb.set;
    int16 nlines = 0;
    if (s.nrbimode >= 1) {
        nlines = s.nrbimode;
    } else if (s.nrmimode >= 1) {
        nlines = s.nrmimode;
    } else {
        bomb("calc covbp", "bulk calcs not properly set up", yourfault);
    }
    if (run.script.nmin + run.npure != nlines) bomb("calc covbp", "nmode mismatch", yourfault);
    if (run.dataset.components.ncomp - s.nlna != s.nuvleft) {
        bomb("calc covbp", "nuvleft mismatch", yourfault);
    }
    mineralsetup(run);
    stackmineralvars(run, mb);
    const MineralBulkResult m = mineralcontrib(ses, run, mb, mb.stackvars, 1);
    if (s.rbi) {
        const Fixed1<std::string, maxcomp> names = bulknames(run, s);
        ses.console.write("bulk compare \n");
        std::string line = spaces(6);
        addstr("input", 9, line);
        addstr("from x", 9, line);
        addstr("diff", 9, line);
        ses.console.write(line + "\n");
        real sumsq = 0;
        for (int k = 1; k <= s.nuvleft; ++k) {
            line.clear();
            addstr(names[k], 6, line);
            addreal(4, true, 9, line, bulk[k]);
            addreal(4, true, 9, line, m.bulk[k]);
            addreal(4, true, 9, line, bulk[k] - m.bulk[k]);
            ses.console.write(line + "\n");
            sumsq += (bulk[k] - m.bulk[k]) * (bulk[k] - m.bulk[k]);
        }
        ses.console.write(std::sqrt(sumsq) <= 0.0002L
                              ? "bulks are the same, ok\n"
                              : "## bulks are different, input bulk overridden: copy rbi into "
                                "scriptfile\n");
    }
    for (int k = 1; k <= s.nuvleft; ++k) bulk[k] = m.bulk[k];
    mb.seed = static_cast<uint32_t>(ses.clock.millis() & 0xFFFFFFFF);
    ses.console.write(" seed = " + std::to_string(mb.seed) + "\n");
    const BpSamples kept = samplebulks(ses, run, mb);
    samplestatistics(ses, run, mb, kept);
    for (int k = 1; k <= s.nuvleft; ++k) bulk[k] /= 100;
}

// Any other bulk: b' of the bulk itself and the analytical error model, 0.025 (0.075 for O)
// squared times each amount in percent as its variance.
void rockcovbp(const Run& run, MineralBulk& mb, const cvector& bulk) {
    const MineralBulkSettings& s = mb.set;
    const Fixed1<std::string, maxcomp> names = bulknames(run, s);
    const int16 den = denominatorpos(run, s);
    for (int k = 1; k <= s.nuvleft; ++k) {
        if (k == den) continue;
        bool known = false;
        for (int i = 1; i <= maxcomp; ++i) {
            if (run.comps.oxidenames[i] == names[k]) known = true;
        }
        if (!known) bomb("calc covbp", names[k] + " not found 2", yourfault);
    }
    for (int k = 1; k <= s.nuvleft; ++k) {
        if (bulk[k] < 0) {
            bomb("calc covbp", "negative entry in bulk: logratio cannot be formed", yourfault);
        }
    }
    mb.bprime = logratios(bulk, s.nuvleft, den);
    const int16 nb = narrow16(s.nuvleft - 1);
    real sum = 0;
    for (int j = 1; j <= nb; ++j) sum += std::exp(mb.bprime[j]);
    const real yd = 100 / (1 + sum);
    for (int r = 1; r <= nb; ++r) {
        for (int c = 1; c <= nb; ++c) mb.covbprime[r][c] = 0.000625L / yd;
    }
    for (int k = 1, j = 0; k <= s.nuvleft; ++k) {
        if (k == den) continue;
        ++j;
        const real yk = yd * std::exp(mb.bprime[j]);
        mb.covbprime[j][j] += (names[k] == "O" ? 0.005625L : 0.000625L) / yk;
    }
}

}  // namespace

void calccovbp(Session& ses, Run& run, MineralBulk& mb, cvector& bulk) {
    mb.bprime = cvector{};
    mb.sdbprime = cvector{};
    mb.covbprime = bpmatrix{};
    if (mb.set.dudaplus && (mb.set.rbi || mb.set.rmi)) {
        mineralcovbp(ses, run, mb, bulk);
    } else {
        rockcovbp(run, mb, bulk);
    }
    for (int j = 1; j <= mb.set.nuvleft - 1; ++j) mb.sdbprime[j] = std::sqrt(mb.covbprime[j][j]);
}

}  // namespace qv
