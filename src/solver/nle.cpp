#include "solver/nle.hpp"

#include <cmath>
#include <limits>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "solver/newtonstep.hpp"
#include "solver/nlework.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace nlework {

namespace {

constexpr real fdstep = 1e-8L;  // forward-difference step on a solver value

real sumsq(const eqvector& e, int16 n) {
    real s = 0;
    for (int i = 1; i <= n; ++i) s += e[i] * e[i];
    return 0.5L * s;
}

}  // namespace

bool Nle::evalnle(const eqvector& x, eqmatrix& j, eqvector& f) {
    ++st.nevaluations;
    const bool ok = eqs.nlefunc(x, j, f, set.debuglev != 5);
    if ((set.debuglev == 3 || set.debuglev == 4) && st.nleiter == 0) {
        checkjacobian(x, j, f);
    } else if (set.debuglev == 5) {
        fdjacobian(x, j, f);
    }
    return ok;
}

// Evaluates the equations at x into e and jac and keeps x as the point they hold. Only a
// successful evaluation with its analytic jacobian, and no debug output or check that goes with
// each evaluation, is kept.
bool Nle::evaluate(const eqvector& x) {
    held = false;
    const bool ok = evalnle(x, jac, e);
    if (ok && set.debuglev <= 2) {
        held = true;
        heldx = x;
    }
    return ok;
}

// Whether e and jac hold the results at the current point v.xvalue: the same values, bit for bit
// (the sign of a zero included), of every entry the equations read. Every point a solve
// evaluates is v.xvalue with its free entries changed, and a solve changes no other entry of
// v.xvalue, so the free entries are the only ones that can differ.
bool Nle::holds() const {
    if (!held || set.debuglev > 2) return false;
    const eqvector& x = v.xvalue;
    for (int k = 1; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        if (!(x[k] == heldx[k]) || std::signbit(x[k]) != std::signbit(heldx[k])) return false;
    }
    return true;
}

void Nle::fdjacobian(const eqvector& x0, eqmatrix& j, eqvector& f) {
    const int16 saved = st.nleevalno;
    st.nleevalno = 0;
    const eqvector f0v = f;
    int c = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        ++c;
        eqvector x = x0;
        x[k] = x0[k] + fdstep;
        ++st.nevaluations;
        eqs.nlefunc(x, made(scratch), f, false);
        for (int i = 1; i <= n; ++i) j[i][c] = (f[i] - f0v[i]) / fdstep;
    }
    ++st.nevaluations;
    eqs.nlefunc(x0, made(scratch), f, false);
    st.nleevalno = saved;
}

void Nle::checkjacobian(const eqvector& x0, const eqmatrix& j, eqvector& f) {
    const int16 saved = st.nleevalno;
    st.nleevalno = 0;
    const eqvector f0v = f;
    JacobianLabels labels;
    labels.nequations = n;
    labels.nxvars = v.nxvars;
    labels.nmodevars = v.nmodevars;
    labels.xnames = v.xname;
    labels.xfree = v.xfree;
    eqs.jacobianlabels(labels);
    printmatrixlog(ses, labels, "jacobian", j, 0, 4, false, screensummarylogmask);
    std::string line;
    int ndiff = 0;
    int c = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        ++c;
        // Order variables are solved inside their phase; their columns are not compared.
        if (k >= 3 && k <= v.nxvars && !v.xname[k].empty() && v.xname[k][0] == 'Q') continue;
        eqvector x = x0;
        x[k] = x0[k] + fdstep;
        ++st.nevaluations;
        eqs.nlefunc(x, made(scratch), f, false);
        for (int i = 1; i <= n; ++i) {
            if (std::fabs(j[i][c]) < 1e-8L) continue;
            const real d = ((f[i] - f0v[i]) / fdstep) / j[i][c] - 1;
            if (std::fabs(d) <= 0.0001L) continue;
            ++ndiff;
            if (ndiff == 1) line = "jacobian: prop diff with fd: ";
            if (ndiff <= 6) {
                line += "eq" + intstr(i) + "," + v.xname[k] + " = ";
                addreal(4, true, 0, line, d);
                line += "; ";
            }
        }
    }
    if (ndiff == 0) {
        line = "jacobian: no difference with fd";
    } else if (ndiff <= 6) {
        line += ": just these";
    } else {
        line += ": of " + intstr(ndiff) + " in all";
    }
    putstr(ses, 1, line, set.debuglev == 3 ? 2 : 1, screensummarylogmask);
    ++st.nevaluations;
    eqs.nlefunc(x0, made(scratch), f, false);
    st.nleevalno = saved;
}

// Zeroes what this solve reads of the kept jacobian, before its first evaluation: an entry the
// equations leave unwritten then reads as in a fresh matrix. The solve reads the n x n block; the
// check of debug levels 3 and 4 prints the rows the equations label, so there it is all cleared.
void Nle::clearjacobian() {
    if (freshjac) return;
    if (set.debuglev == 3 || set.debuglev == 4) {
        for (int i = 1; i <= maxeq; ++i) jac[i].fill(0);
    } else {
        for (int i = 1; i <= n; ++i) jac[i].fillto(n, 0);
    }
}

bool Nle::initialise() {
    limit = 25;
    n = v.nfree();
    clearjacobian();
    if (set.debuglev == 2) printiterhead();
    maxe = 1;
    maxdx = 1;
    notreduced = 0;
    esize = fsize = dxconverge = dxstop = false;
    limiting = acctype::inaccessible;
    held = false;
    if (!evaluate(v.xvalue)) {
        illegalstart();
        return false;
    }
    f0 = sumsq(e, n);
    maxe0 = 0;
    for (int i = 1; i <= n; ++i) maxe0 = std::max(maxe0, std::fabs(e[i]));
    return true;
}

void Nle::illegalstart() {
    if (set.unevaluablefails) return;
    if (set.dogminon) {
        if (set.dogminlevel > 0) ses.console.write("solver could not start\n");
        return;
    }
    std::string text;
    if (set.debuglev == 0) {
        text = "\nillegal start ";
        addstr(intstr(set.calcno), 3, text);
        addstr(intstr(set.mctrial), 3, text);
        text += "\n";
    }
    std::string names;
    std::string values;
    for (int16 k = 1; k <= v.nxvars; ++k) {
        addstr(v.xname[k], 10, names);
        if (k == 1) {
            addreal(1, true, 10, values, v.natural(1));
        } else if (k == 2) {
            addstr(realstr(v.natural(2) - 273.15L), 10, values);
        } else {
            addreal(4, true, 10, values, v.natural(k));
        }
    }
    ses.console.write(text + names + "\n" + values + "\n");
    if (set.debuglev == 0) {
        set.debuglev = 1;
        return;
    }
    bomb("nle", "illegal start", yourfault);
}

void Nle::startup(real& slope0, real& slim, int16& code) {
    expansionended = false;
    maxdx = 0;
    if (!holds() && !evaluate(v.xvalue)) {
        bomb("startup", "bad start to iteration", yourfault);
    }
    f0 = sumsq(e, n);
    real cond1 = 0;
    // Solves with modes take the LU route too: their modes, met only to the step test, differ
    // from the decomposition's in the last bits, which shows in a printed digit only where the
    // true mode lies on a rounding tie of the printed decimals.
    if (!set.svdonly && ludirection(w.newton, jac, e, n, dx, cond1)) {
        // Nothing small to drop: the decomposition would have given this direction too. Its
        // condition number is formed at the end of the solve, when it is asked for.
        st.jacsingular = false;
        st.jaccond = cond1;
        lastbylu = true;
        if (set.conditionwanted()) {
            eqmatrix& kept = made(w.lastlujac);
            for (int i = 1; i <= n; ++i) {
                for (int c = 1; c <= n; ++c) kept[i][c] = jac[i][c];
            }
        }
    } else {
        const SvdDirectionInfo info = svddirection(ses.console, w.newton, jac, e, n, dx);
        st.jacsingular = info.singular;
        st.jaccond = info.cond;
        lastbylu = false;
    }
    slope0 = -2 * f0;
    findlimit(slim);
    code = slim < 1e-8L ? 5 : 0;
}

bool Nle::fn(real& f, real& slope, int16 mode, real a) {
    esize = fsize = dxstop = dxconverge = false;
    if (a < 0) bomb("fn", "called with step <= 0", myfault);
    ++st.nleevalno;
    eqvector xt = v.xvalue;
    int j = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (v.xfree[k]) xt[k] = v.xvalue[k] - a * dx[++j];
    }
    if (!evaluate(xt)) {
        if (set.mctrials - 0.01L > 1 || set.debuglev == 0 || set.dogminon || set.unevaluablefails) {
            f = 1;
            slope = 0;
            maxe = 1;
            maxdx = 1;
            trialfailed = true;
            failedat = a;
            return true;
        }
        bomb("fn", "not ok (" + intstr(mode) + ")", myfault);
    }
    f = sumsq(e, n);
    real s = 0;
    maxe = 0;
    if (n > maxeq) index_fault();
    const real* const d = dx.a.data();  // d[c - 1] is dx[c]
    for (int i = 1; i <= n; ++i) {
        // The products summed in column order, two to a loop step.
        const real* const row = jac[i].a.data();
        real jd = 0;
        int c = 0;
        for (; c + 1 < n; c += 2) {
            jd += row[c] * d[c];
            jd += row[c + 1] * d[c + 1];
        }
        if (c < n) jd += row[c] * d[c];
        s += e[i] * jd;
        maxe = std::max(maxe, std::fabs(e[i]));
    }
    slope = -s;
    maxdx = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        // An entry without a step unit is measured in solver values.
        const real unit = v.xdxscale[k] > 0 ? v.xdxscale[k] : 1;
        maxdx = std::max(maxdx, std::fabs(xt[k] - v.xvalue[k]) / unit);
    }
    esize = maxe <= set.esizetol;
    fsize = std::sqrt(2 * f) < set.fsizetol;
    dxstop = maxdx < set.dxtol;
    dxconverge = dxstop && maxe < std::sqrt(set.esizetol);
    if (esize && fsize) {
        st.convmark = "ef";
    } else if (fsize) {
        st.convmark = "f";
    } else if (esize) {
        st.convmark = "e";
    } else if (dxconverge) {
        st.convmark = "dx";
    }
    return esize || fsize || dxstop;
}

}  // namespace nlework

using nlework::Nle;

int16 NleVariables::nfree() const {
    int16 n = 0;
    for (int16 k = 1; k <= nxvars + nmodevars; ++k) {
        if (xfree[k]) ++n;
    }
    return n;
}

real NleVariables::natural(int16 k) const {
    return xfree[k] ? (xvalue[k] - xoffset[k]) / xscale[k] : xvalue[k];
}

NleSettings::NleSettings(ScriptSettings& s) : NleSettings(s, s.debuglev) {}

NleSettings::NleSettings(const ScriptSettings& s, int16& level)
    : esizetol(s.convergence[1]),
      fsizetol(s.convergence[2]),
      dxtol(s.convergence[3]),
      debuglev(level),
      dogminon(s.dogminon),
      dogminlevel(s.dogminlevel),
      mctrials(s.mctrials),
      calcsdlevel(s.calcsdlevel),
      condwanted(s.morepreccb == controlboolean::yes) {}

void nlevariables(const CrossRefs& xref, int16 nxvars, int16 nmodevars, const prectype1& prec1,
                  NleVariables& v) {
    v.nxvars = nxvars;
    v.nmodevars = nmodevars;
    for (int16 k = 1; k <= nxvars + nmodevars; ++k) {
        v.xname[k] = xref.xnames[k];
        v.xfree[k] = xref.xfree[k];
        v.xscale[k] = xref.xscale[k];
        v.xoffset[k] = xref.xoffset[k];
        v.xdxscale[k] = xref.xtol[k];
        v.xlowacc[k] = xref.xacclow[k];
        v.xhighacc[k] = xref.xacchigh[k];
    }
    v.nvarlims = xref.nvarlims;
    for (int l = 1; l <= xref.nvarlims; ++l) {
        v.varlimnum[l] = xref.varlimnum[l];
        v.varlimden[l] = xref.varlimden[l];
    }
    v.nsfterms = xref.nsfchecks;
    for (int s = 1; s <= xref.nsfchecks; ++s) {
        v.sftermphase[s] = xref.sfcheckphase[s];
        v.sftermsite[s] = xref.sfchecksf[s];
        v.sftermoffset[s] = xref.sfcheckpos[s];
    }
    v.prec1 = &prec1;
}

bool AssemblageEquations::nlefunc(const eqvector& x, eqmatrix& jac, eqvector& f, bool wantjac) {
    eq_.st.nleiter = st_.nleiter;
    eq_.st.nleevalno = st_.nleevalno;
    return qv::nlefunc(eq_, x, jac, f, wantjac);
}

void AssemblageEquations::jacobianlabels(JacobianLabels& labels) const {
    labels.nreac = eq_.calc.nreac;
    int k = 0;
    const SystemComponents& sc = eq_.calc.components;
    for (int c = 1; c <= sc.ncomp; ++c) {
        if (eq_.mb.syscomp[c]) labels.compnames[++k] = sc.compnames[c];
    }
}

int16 AssemblageEquations::nequations(int16 /*nfree*/) const {
    const MassBalance& mb = eq_.mb;
    return narrow16(eq_.calc.nreac + (mb.modeson ? mb.nsyscomp - mb.rankdeficit : 0));
}

bool nle(Session& ses, NleEquations& eqs, NleVariables& v, NleSettings& set, NleStatus& st,
         NleWorkspace& work, int16& code) {
    st.nleiter = 0;
    st.nleevalno = 0;
    st.niterations = 0;
    st.nevaluations = 0;
    Nle s(ses, eqs, v, set, st, work);
    if (eqs.nequations(v.nfree()) < v.nfree()) {
        code = nletoofew;
        if (set.debuglev >= 2 && set.debuglev <= 4) s.report(code);
        return false;
    }
    if (!s.initialise()) {
        code = nleillegalstart;
        return false;
    }
    if (s.f0 < set.fsizetol || s.maxe0 < set.esizetol) {
        code = nleconverged;
        return true;
    }
    int16 slcode = 0;
    bool done = false;
    do {
        ++s.counter;
        st.nleiter = s.counter;
        st.niterations = s.counter;
        st.nleevalno = 1;
        s.overit = s.counter > s.limit;
        real step = 0;
        const bool conv = s.steplength(step, slcode);
        done = slcode > 0 || conv;
        // A step whose point could not be evaluated is never taken: the solve ends at the last
        // admissible point.
        if (slcode == 0 && !s.acceptedfailed) {
            int j = 0;
            for (int16 k = 1; k <= v.nxvars + v.nmodevars; ++k) {
                if (v.xfree[k]) v.xvalue[k] -= s.dx[++j] * step;
            }
        }
        if (set.debuglev == 3) s.printxline();
    } while (!done && !s.overit);
    if (s.esize || s.fsize || s.dxconverge) {
        code = nleconverged;
    } else if (s.dxstop) {
        code = nledxstop;
    } else if (s.overit) {
        code = nleoverit;
    } else if (slcode > 0) {
        code = narrow16(slcode + 2);
    } else {
        code = nleelse;
    }
    if (s.lastbylu && set.conditionwanted()) {
        st.jaccond = svdcondition(ses.console, work.newton, *work.lastlujac, s.n).cond;
    }
    if (code == 0 && set.calcsdlevel > 0 && set.makedeqdx) set.makedeqdx();
    if (set.debuglev >= 2 && set.debuglev <= 4) s.report(code);
    return code == 0;
}

}  // namespace qv
