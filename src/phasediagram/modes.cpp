#include "phasediagram/modes.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "base/convert.hpp"
#include "base/dense.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "phasediagram/dudarun.hpp"
#include "phasediagram/solve.hpp"
#include "solver/calcre.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// A pure phase named as an ln a or mu variable: a pseudo-phase without a mode.
bool pseudophase(const Run& run, const std::string& name) {
    const ScriptSettings& sc = run.script;
    for (int i = 1; i <= sc.nlna; ++i) {
        if (sc.lna[i].name == name) return true;
    }
    for (int i = 1; i <= sc.nmu; ++i) {
        if (sc.mu[i].name == name) return true;
    }
    return false;
}

// The phases that take modes, in the order of the mode variables: the solution phases of the
// calculation (the fluid of an x(CO2) section left out), then the pure phases that hold some of
// the bulk. Each with its position in the result and its composition per formula unit over the
// system components.
struct ModePhases {
    int16 n = 0;
    Fixed1<int16, maxeq> resultphase{};
    Dense1<cvector, maxeq> comp;  // made as written (a handful of phases)
};

ModePhases modephases(const Run& run, const PdRun& pd, const SolveState& st) {
    ModePhases mp;
    const CrossRefs& xref = st.xref;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    const SystemComponents& comps = run.dataset.components;
    const CalcPhaseList& list = *xref.calcphaselist;
    const BulkState& bulk = pd.bulk;
    for (int k = 1; k <= xref.ncalcphases; ++k) {
        const CalcPhase& cp = list[k];
        cvector c{};
        if (cp.solution) {
            const ptype1& ph = ss[cp.index];
            if (pd.xco2varon && ph.isfluid) continue;
            calcphasecomp(ph, st.varvalues, cp.varpos, comps, c);
        } else {
            const ptype0& ph = pure[cp.index];
            if (pseudophase(run, ph.name)) continue;
            bool some = false;
            for (int j = 1; j <= comps.ncomp; ++j) {
                c[j] = static_cast<real>(ph.comp[j]) / comps.compdenom[j];
                if (bulk.reducedcomp[j] && ph.comp[j] != 0) some = true;
            }
            if (!some) continue;
        }
        if (++mp.n > maxeq) bomb("modefactors", "too many phases with modes", myfault);
        mp.resultphase[mp.n] = narrow16(k);
        mp.comp[mp.n] = c;
    }
    return mp;
}

// The bulk (fractions) and position of step k of the bulk line.
cvector stepbulk(const PdRun& pd, int16 k, real& position) {
    const BulkState& b = pd.bulk;
    if (b.nbulk <= 1) {
        position = 0;
        return bulkat(b, 0);
    }
    const real w = static_cast<real>(k - 1) / (b.nbulk - 1);
    position = b.bulkpropstart + w * (b.bulkpropend - b.bulkpropstart);
    return bulkat(b, w);
}

// Mass balance of one step of the bulk line over a subset of the phases with modes.
struct StepModes {
    const PdRun& pd;
    const ModeFactors& mf;
    const RealRows& c;  // bulk component x phase, per unit of bulk atoms
    int16 rows = 0;

    // True when the bulk of step k is a non-negative combination of the subset's phases; the
    // modes of the subset (atom basis, summing to 1) into `modes` unless only testing.
    bool operator()(int16 k, bool testonly, const Fixed1<int16, maxeq>& subset, int16 nsub,
                    Fixed1<real, maxeq>& modes) const {
        RealRows a(rows, narrow16(nsub + 1));
        for (int r = 1; r <= rows; ++r) {
            for (int j = 1; j <= nsub; ++j) a.at(r, j) = c.at(r, subset[j]);
        }
        real position = 0;
        const cvector b = stepbulk(pd, k, position);
        for (int r = 1; r <= rows; ++r) a.at(r, nsub + 1) = b[r];
        emvector x;
        realreaction(a, x);
        const real xb = x[nsub + 1];
        if (std::fabs(xb) < 1e-12L) return false;
        for (int j = 1; j <= nsub; ++j) {
            x[j] /= -xb;
            if (x[j] < 0) return false;
        }
        if (testonly) return true;
        real s = 0;
        for (int j = 1; j <= nsub; ++j) {
            x[j] *= mf.all[subset[j]] / mf.bulk[subset[j]];
            s += x[j];
        }
        for (int j = 1; j <= nsub; ++j) modes[j] = std::fabs(s) <= 1e-10L ? 0.001L : x[j] / s;
        return true;
    }
};

}  // namespace

ModeFactors modefactors(const Run& run, const PdRun& pd, const SolveState& st) {
    ModeFactors mf;
    const ModePhases mp = modephases(run, pd, st);
    const SystemComponents& comps = run.dataset.components;
    for (int i = 1; i <= maxeq; ++i) mf.all[i] = mf.bulk[i] = 1;
    mf.n = mp.n;
    for (int i = 1; i <= mp.n; ++i) {
        real all = 0;
        real bulk = 0;
        for (int j = 1; j <= comps.ncomp; ++j) {
            const real a = mp.comp[i][j] * comps.compatoms[j];
            all += a;
            if (pd.bulk.reducedcomp[j]) bulk += a;
        }
        mf.all[i] = all;
        mf.bulk[i] = bulk;
    }
    return mf;
}

void setmassbalance(const Run& run, const PdRun& pd, MassBalance& mb) {
    // A batch member with its bulk given is no pseudosection run, but its modes are unknowns.
    if ((!run.script.pseudoon && !pd.modesinsolve) || pd.bulk.nuvleft == 0) return;
    const SystemComponents& comps = run.dataset.components;
    mb.modeson = pd.modesinsolve;
    mb.nsyscomp = pd.bulk.nuvleft;
    for (int k = 1; k <= comps.ncomp; ++k) {
        mb.syscomp[k] = pd.bulk.reducedcomp[k];
        mb.compweight[k] = comps.compatoms[k];
    }
    for (int r = 1; r <= mb.nsyscomp; ++r) {
        for (int q = 1; q <= mb.nsyscomp; ++q) mb.projc[r][q] = pd.bulk.projc[r][q];
    }
    mb.rankdeficit = pd.rankdeficit;
}

void setmodesinsolve(Session& ses, const Run& run, const PdRun& pd, SolveState& st,
                     NleVariables& vars, MassBalance& mb, const std::function<int16()>& next,
                     real fluidx) {
    CrossRefs& xref = st.xref;
    Result& res = st.cur;
    const int16 nx = run.nxvars;
    const int16 nm = run.nmodevars;
    Fixed1<real, maxeq> guess{};
    Fixed1<bool, maxeq> given{};
    Fixed1<std::string, maxeq> names{};
    for (int m = 1; m <= nm; ++m) {
        const int p = nx + m;
        names[m] = xref.xnames[p];
        if (!xref.xfree[p]) {
            guess[m] = pd.iso.values[xref.xiso[p]][next()];
            given[m] = true;
        } else {
            guess[m] = xref.modestart[m];
        }
    }
    const Fixed1<real, maxeq> modes = setmodeguess(ses, guess, given, nm, names);
    // The bulk of the point.
    const BulkState& bulk = pd.bulk;
    const int16 digit = next();
    real position = 0;
    cvector b{};
    if (bulk.nbulk <= 1) {
        const ScriptSettings& sc = run.script;
        position = yes(sc.onebulkcb) || yes(sc.bulksubrangecb) ? bulk.onebulkprop : 0;
        b = pd.duda && pd.duda->set.avptxco2
                ? bulkwithfluid(bulk.bulkstart, bulk.nuvleft, bulk.rbifluidfraction, fluidx)
                : bulkat(bulk, 0);
        res.bulkstep = 1;
    } else {
        b = stepbulk(pd, digit, position);
        res.bulkstep = digit;
    }
    res.bulkposition = position;
    res.bulk[1] = b;
    res.bulkpos[1] = position;
    const SystemComponents& comps = run.dataset.components;
    real s = 0;
    int16 k = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (bulk.reducedcomp[c]) s += b[++k] * comps.compatoms[c];
    }
    const real phi = std::fabs(s - 1) >= 1e-6L ? std::sqrt(s) : 1;
    for (int m = 1; m <= nm; ++m) {
        const int p = nx + m;
        xref.xscale[p] = 1 / phi;
        xref.xoffset[p] = 0;
        vars.xscale[p] = 1 / phi;
        vars.xoffset[p] = 0;
        vars.xvalue[p] = xref.xfree[p] ? modes[m] : modes[m] * phi;
    }
    vars.modephi = phi;
    mb.modephi = phi;
    for (int c = 1; c <= bulk.nuvleft; ++c) mb.bulkcomp[c] = b[c];
    if (run.script.debuglev > 2 && run.script.debuglev < 5) xguessprint(ses, run, st, vars, phi);
}

void setbulksteps(const PdRun& pd, Result& res) {
    const int16 n = std::max<int16>(1, pd.bulk.nbulk);
    for (int16 k = 1; k <= n; ++k) res.bulk[k] = stepbulk(pd, k, res.bulkpos[k]);
}

void normalisemodes(Session& ses, const Run& run, const PdRun& pd, SolveState& st, real phi) {
    eqvector& vv = st.varvalues;
    const int16 nx = run.nxvars;
    const int16 nm = run.nmodevars;
    for (int m = 1; m <= nm; ++m) vv[nx + m] /= phi;
    const ModeFactors mf = modefactors(run, pd, st);
    st.modefactorall = mf.all;
    st.modefactorbulk = mf.bulk;
    st.nmodefactors = mf.n;
    real sall = 0;
    for (int m = 1; m <= nm; ++m) sall += vv[nx + m];
    const ScriptSettings& sc = run.script;
    if (!st.nlestatus.jacsingular && std::fabs(sall - 1) > sc.convergence[4]) {
        std::string line = "sum of modes should be 1, but sum = ";
        addreal(6, true, 10, line, sall);
        line += " (phi = ";
        addreal(6, true, 10, line, phi);
        line += ")";
        putstr(ses, 1, line, 1, screensummarylogmask);
        const SystemComponents& comps = run.dataset.components;
        std::string names = "     ";
        std::string at = "at   ";
        std::string atcut = "atcut";
        for (int c = 1; c <= comps.ncomp; ++c) addstr(comps.compnames[c], 10, names);
        for (int m = 1; m <= mf.n; ++m) {
            addreal(5, true, 10, at, mf.all[m]);
            addreal(5, true, 10, atcut, mf.bulk[m]);
        }
        putstr(ses, 0, names, 1, screensummarylogmask);
        putstr(ses, 0, at, 1, screensummarylogmask);
        putstr(ses, 0, atcut, 2, screensummarylogmask);
        std::string mnames = "     ";
        std::string x = "x    ";
        std::string xn = "x    ";
        for (int m = 1; m <= nm; ++m) {
            addstr(st.xref.xnames[nx + m], 10, mnames);
            addreal(5, true, 10, x, vv[nx + m]);
            addreal(5, true, 10, xn, vv[nx + m] / sall);
        }
        putstr(ses, 0, mnames, 1, screensummarylogmask);
        putstr(ses, 0, x, 1, screensummarylogmask);
        putstr(ses, 0, xn, 1, screensummarylogmask);
    }
    const bool debug = sc.debuglev > 2 && sc.debuglev < 5;
    if (debug) xprint(ses, run, st, true, sall);
    for (int m = 1; m <= nm; ++m) vv[nx + m] /= sall;
    if (debug) xprint(ses, run, st, false, 1);
}

bool calcmodesafternle(Session& ses, Run& run, const PdRun& pd, SolveState& st) {
    st.rxntext = "????";
    Result& res = st.cur;
    const BulkState& bulk = pd.bulk;
    const SystemComponents& comps = run.dataset.components;
    const ModePhases mp = modephases(run, pd, st);
    // makec: compositions of the phases with modes over the bulk components.
    int16 nrows = 0;
    for (int j = 1; j <= comps.ncomp; ++j) {
        if (bulk.reducedcomp[j]) ++nrows;
    }
    RealRows c(nrows, mp.n);
    int16 rows = 0;
    for (int j = 1; j <= comps.ncomp; ++j) {
        if (!bulk.reducedcomp[j]) continue;
        ++rows;
        for (int i = 1; i <= mp.n; ++i) c.at(rows, i) = mp.comp[i][j];
    }
    if (rows != bulk.nuvleft) bomb("makec", "nuvleft mismatch", myfault);
    const ModeFactors mf = modefactors(run, pd, st);
    st.modefactorall = mf.all;
    st.modefactorbulk = mf.bulk;
    st.nmodefactors = mf.n;
    if (mf.n != mp.n) {
        std::string line;
        addgreal(4, line, mf.n);
        addgreal(4, line, mp.n);
        ses.console.write(line + "\n");
        bomb("calcmodesafternle", "dimensions do not match", myfault);
    }
    for (int i = 1; i <= mp.n; ++i) {
        for (int r = 1; r <= rows; ++r) c.at(r, i) /= mf.bulk[i];
    }
    const StepModes atstep{pd, mf, c, rows};
    // The steps of the bulk line: none when the run has no bulk (a pseudosection given up for
    // want of variance keeps the components of its projection, not a bulk).
    const int16 nbulk = bulk.nbulk;
    const int16 d = narrow16(2 - mp.n + bulk.nuvleft - pd.rankdeficit);
    res.nmodesteps = 0;
    res.firstmodestep = 0;
    for (int k = 1; k <= mp.n; ++k) res.ph[mp.resultphase[k]].hasmode = true;
    run.nmodevars = mp.n;
    bool ok = false;
    Fixed1<real, maxeq> modes{};
    auto store = [&](const Fixed1<int16, maxeq>& subset, int16 nsub, int slot) {
        for (int k = 1; k <= mp.n; ++k) res.ph[mp.resultphase[k]].mode[slot] = 0;
        for (int j = 1; j <= nsub; ++j) res.ph[mp.resultphase[subset[j]]].mode[slot] = modes[j];
    };
    if (d == 2) {
        Fixed1<int16, maxeq> all{};
        for (int i = 1; i <= mp.n; ++i) all[i] = narrow16(i);
        for (int16 k = 1; k <= nbulk; ++k) {
            if (!atstep(k, false, all, mp.n, modes)) continue;
            ok = true;
            if (res.firstmodestep == 0) res.firstmodestep = k;
            if (res.nmodesteps >= 101) bomb("modes after nle", "too many modes", yourfault);
            ++res.nmodesteps;
            store(all, mp.n, res.nmodesteps);
        }
    } else if (d == 1) {
        // The one reaction among the phases: its positive and negative sides.
        RealRows a = c;
        emvector r;
        realreaction(a, r);
        real big = 0;
        for (int i = 1; i <= mp.n; ++i) big = std::max(big, std::fabs(r[i]));
        int16 npos = 0;
        int16 nneg = 0;
        for (int i = 1; i <= mp.n; ++i) {
            if (std::fabs(r[i]) < 1e-8L * big) r[i] = std::numeric_limits<real>::epsilon();
            if (r[i] > 0) {
                ++npos;
            } else {
                ++nneg;
            }
        }
        if (npos < nneg) {
            for (int i = 1; i <= mp.n; ++i) r[i] = -r[i];
        }
        if (!st.reaction().text.empty()) st.rxntext = st.reaction().text;
        const int16 need = narrow16(bulk.nuvleft - pd.rankdeficit);
        // The subset of the phases on one side plus all of the other side but one.
        auto side = [&](int sign, int16 skip, Fixed1<int16, maxeq>& subset) {
            int16 n = 0;
            for (int i = 1; i <= mp.n; ++i) {
                const bool on = sign > 0 ? r[i] > 0 : r[i] < 0;
                if (on || i != skip) subset[++n] = narrow16(i);
            }
            return n;
        };
        for (int16 k = 1; k <= nbulk; ++k) {
            Fixed1<int16, maxeq> subset{};
            bool found = false;
            for (int j2 = 1; j2 <= mp.n && !found; ++j2) {
                if (r[j2] >= 0) continue;
                const int16 n = side(1, narrow16(j2), subset);
                if (n != need) break;
                found = atstep(k, true, subset, n, modes);
            }
            if (!found) continue;
            ok = true;
            if (res.firstmodestep == 0) res.firstmodestep = k;
            if (res.nmodesteps >= 101) bomb("modes after nle", "too many", yourfault);
            const int slot = 2 * res.nmodesteps;
            for (int j2 = 1; j2 <= mp.n; ++j2) {
                if (r[j2] >= 0) continue;
                const int16 n = side(1, narrow16(j2), subset);
                if (n == need && atstep(k, false, subset, n, modes)) {
                    store(subset, n, slot + 1);
                    break;
                }
            }
            for (int j2 = 1; j2 <= mp.n; ++j2) {
                if (r[j2] <= 0) continue;
                const int16 n = side(-1, narrow16(j2), subset);
                if (n == need && atstep(k, false, subset, n, modes)) {
                    store(subset, n, slot + 2);
                    break;
                }
            }
            ++res.nmodesteps;
        }
        res.nmodesteps = narrow16(2 * res.nmodesteps);
    }
    return ok;
}

void modestepfactors(const Run& run, const PdRun& pd, SolveState& st, PhasePropsTable& props,
                     SystemProps& sums) {
    Result& res = st.cur;
    const SystemComponents& comps = run.dataset.components;
    for (int p = 1; p <= res.nphases; ++p) {
        for (int j = 1; j <= res.nmodesteps; ++j) res.ph[p].stepfactor[j] = 0;
    }
    // (with a bulk: a pseudosection, or a batch member with its bulk given)
    if ((!run.script.pseudoon && !pd.modesinsolve) || res.nmodesteps == 0) return;
    // Atoms of each bulk step per unit of bulk.
    Fixed1<real, maxmodeslots + 1> s{};
    const int16 nbulk = std::max<int16>(1, res.nbulk);
    const bool pairs = pd.maxvariance == 1 && !pd.modesinsolve;
    for (int b = 1; b <= (pd.modesinsolve ? 1 : nbulk); ++b) {
        real sum = 0;
        int16 k = 0;
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (pd.bulk.reducedcomp[c]) sum += res.bulk[b][++k] * comps.compatoms[c];
        }
        if (pairs) {
            s[2 * b - 1] = s[2 * b] = sum;
        } else {
            s[b] = sum;
        }
    }
    const int first = pairs ? 2 * res.firstmodestep - 1 : res.firstmodestep;
    sums.nbulk = res.nmodesteps;
    int m = 0;
    for (int p = 1; p <= res.nphases; ++p) {
        ResultPhase& ph = res.ph[p];
        if (!ph.hasmode) continue;
        ++m;
        for (int j = 1; j <= res.nmodesteps; ++j) {
            ph.stepfactor[j] = s[first + j - 1] / st.modefactorall[m];
            props[p].mode[j] = ph.mode[j];
            props[p].factor[j] = ph.stepfactor[j];
        }
    }
    for (int j = 1; j <= res.nmodesteps; ++j) {
        const int step = pairs ? res.firstmodestep + (j - 1) / 2 : first + j - 1;
        sums.bulk[j] = res.bulk[pd.modesinsolve ? 1 : step];
    }
}

void xguessprint(Session& ses, const Run& run, const SolveState& st, const NleVariables& vars,
                 real phi) {
    std::string names = "          ";
    std::string x = "  x     ";
    std::string un = "  un    ";
    for (int m = 1; m <= run.nmodevars; ++m) {
        const int p = run.nxvars + m;
        if (!st.xref.xfree[p]) continue;
        addstr(st.xref.xnames[p], 10, names);
        addreal(5, true, 10, x, vars.natural(narrow16(p)) / phi);
        addreal(5, true, 10, un, vars.xvalue[p]);
    }
    std::string head = "  xguess phi = ";
    addreal(5, true, 10, head, phi);
    ses.console.write(head + "\n" + names + "\n" + x + "\n" + un + "\n");
}

void xprint(Session& ses, const Run& run, const SolveState& st, bool first, real total) {
    std::string names(12, ' ');
    std::string x(12, ' ');
    for (int m = 1; m <= run.nmodevars; ++m) {
        const int p = run.nxvars + m;
        if (!st.varcalculated[p]) continue;
        addstr(st.xref.xnames[p], 10, names);
        addreal(5, true, 10, x, st.varvalues[p]);
    }
    std::string t = "  t = ";
    addreal(5, true, 10, t, total);
    ses.console.write((first ? "  xprint" : "  un x") + std::string("\n") + names + "\n  x" + x +
                      "\n" + t + "\n");
}

}  // namespace qv
