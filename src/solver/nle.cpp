#include "solver/nle.hpp"

#include <cmath>
#include <limits>
#include <memory>

#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "solver/newtonstep.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr int32 screensumlog = 13;
constexpr real fdstep = 1e-8L;  // forward-difference step on a solver value

// A coefficient of a variable limit or of an a-x factor: formed in double, then widened.
real ratio(int16 num, int16 den) {
    return static_cast<real>(static_cast<double>(num) / static_cast<double>(den));
}

std::string intstr(int v) {
    return std::to_string(v);
}

// Exact change per unit step of expression e when the variables move by -dv: the sum over terms
// of coefficient x (sum over factors of the other factors' product x the factor's own rate).
real exprrate(const eqvector& vt, const eqvector& dv, int offset, const termtype& e) {
    real rate = 0;
    for (int i = 1; i <= e.nsxterms; ++i) {
        const sxtermtype& t = e.sxterm[i];
        if (t.coef == 0) continue;
        Fixed1<real, maxxterms> value;
        Fixed1<real, maxxterms> slope;
        for (int j = 1; j <= t.nxterms; ++j) {
            const xtermtype& x = t.xterm[j];
            real f = ratio(x.constnum, x.constden);
            real d = 0;
            for (int k = 1; k <= x.nx; ++k) {
                const int pos = x.idx[k] + offset - 1;
                f = ratio(x.num[k], x.den[k]) * vt[pos] + f;
                d += ratio(x.num[k], x.den[k]) * dv[pos];
            }
            value[j] = f;
            slope[j] = d;
        }
        real sum = 0;
        for (int j = 1; j <= t.nxterms; ++j) {
            real others = 1;
            for (int g = 1; g <= t.nxterms; ++g) {
                if (g != j) others *= value[g];
            }
            sum += others * slope[j];
        }
        rate += t.coef * sum;
    }
    return rate;
}

// The jacobian and a second matrix of one solve (130 kB each), kept for the process: a solve
// is never nested in another, and allocating them afresh would cost more than a small solve.
eqmatrix& matrixscratch(int i) {
    static std::unique_ptr<eqmatrix> m[3] = {
        std::make_unique<eqmatrix>(), std::make_unique<eqmatrix>(), std::make_unique<eqmatrix>()};
    return *m[i];
}

char accletter(acctype a) {
    switch (a) {
        case acctype::windowlimit: return 'w';
        case acctype::xaccessible: return 'x';
        case acctype::paccessible: return 'p';
        case acctype::mulimit: return 'm';
        case acctype::inaccessible: return 'i';
    }
    return ' ';
}

// One point of the line search: step, merit value and slope.
struct Trial {
    real a = 0;
    real f = 0;
    real g = 0;
};

// One call of the solver: its working state and the procedures that share it.
struct Nle {
    Session& ses;
    NleEquations& eqs;
    NleVariables& v;
    NleSettings& set;
    NleStatus& st;

    int16 n = 0;
    int16 limit = 25;
    int16 counter = 0;
    eqvector e;
    eqmatrix* jac = &matrixscratch(0);
    eqmatrix* scratch = &matrixscratch(1);
    // The jacobian of the last direction, when it came from the LU factors and the solve's
    // condition number is asked for: its singular values are formed once, after the solve.
    eqmatrix* lastlujac = &matrixscratch(2);
    bool lastbylu = false;
    real f0 = 0;
    real maxe0 = 0;
    eqvector dx;
    real maxe = 1;
    real maxdx = 1;
    int16 nlines = 0;
    int16 notreduced = 0;
    acctype limiting = acctype::inaccessible;
    bool esize = false;
    bool fsize = false;
    bool dxstop = false;
    bool dxconverge = false;
    bool overit = false;
    bool expansionended = false;
    // The tests met by the last merit evaluation.
    bool lastsufficient = false;
    bool lastslope = false;
    bool lastconv = false;
    // A trial whose evaluation failed, and whether the accepted step is that trial.
    bool trialfailed = false;
    real failedat = 0;
    bool acceptedfailed = false;
    // The point of the last evaluation into e and *jac, while they hold its results: the start
    // of an iteration at the point the line search accepted, or the first iteration at the start,
    // takes them over instead of evaluating the equations once more at the same point.
    bool held = false;
    eqvector heldx;

    Nle(Session& s, NleEquations& q, NleVariables& vars, NleSettings& se, NleStatus& status)
        : ses(s), eqs(q), v(vars), set(se), st(status) {}

    real eps() const {
        return ses.tables.macheps > 0 ? ses.tables.macheps : std::numeric_limits<real>::epsilon();
    }
    int16 nall() const { return static_cast<int16>(v.nxvars + v.nmodevars); }
    real shown(int16 k) const {  // natural value as printed: T in C, modes over modephi
        real x = v.natural(k);
        if (k == 2) x -= 273.15L;
        if (k > v.nxvars) x /= v.modephi;
        return x;
    }

    bool evalnle(const eqvector& x, eqmatrix& j, eqvector& f);
    bool evaluate(const eqvector& x);
    bool holds(const eqvector& x) const;
    void fdjacobian(const eqvector& x0, eqmatrix& j, eqvector& f);
    void checkjacobian(const eqvector& x0, const eqmatrix& j, eqvector& f);
    bool initialise();
    void startup(real& slope0, real& slim, int16& code);
    void findlimit(real& slim);
    bool fn(real& f, real& slope, int16 mode, real a);
    bool steplength(real& step, int16& code);
    void printiterhead();
    void printiteration(char c1, char c2, real f, real slope, real step);
    void printxline();
    void printguesses();
    void illegalstart();
    void report(int16 code);
};

real sumsq(const eqvector& e, int16 n) {
    real s = 0;
    for (int i = 1; i <= n; ++i) s += e[i] * e[i];
    return 0.5L * s;
}

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

// Evaluates the equations at x into e and *jac and keeps x as the point they hold. Only a
// successful evaluation with its analytic jacobian, and no debug output or check that goes with
// each evaluation, is kept.
bool Nle::evaluate(const eqvector& x) {
    held = false;
    const bool ok = evalnle(x, *jac, e);
    if (ok && set.debuglev <= 2) {
        held = true;
        heldx = x;
    }
    return ok;
}

// Whether e and *jac hold the results at x: the same values, bit for bit (the sign of a zero
// included), of every entry, those the equations read beyond the solver's unknowns included.
bool Nle::holds(const eqvector& x) const {
    if (!held || set.debuglev > 2) return false;
    for (int k = 1; k <= maxeq; ++k) {
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
        eqs.nlefunc(x, *scratch, f, false);
        for (int i = 1; i <= n; ++i) j[i][c] = (f[i] - f0v[i]) / fdstep;
    }
    ++st.nevaluations;
    eqs.nlefunc(x0, *scratch, f, false);
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
    printmatrixlog(ses, labels, "jacobian", j, 0, 4, false, screensumlog);
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
        eqs.nlefunc(x, *scratch, f, false);
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
    putstr(ses, 1, line, set.debuglev == 3 ? 2 : 1, screensumlog);
    ++st.nevaluations;
    eqs.nlefunc(x0, *scratch, f, false);
    st.nleevalno = saved;
}

bool Nle::initialise() {
    limit = 25;
    n = v.nfree();
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
    if (!holds(v.xvalue) && !evaluate(v.xvalue)) {
        bomb("startup", "bad start to iteration", yourfault);
    }
    f0 = sumsq(e, n);
    real cond1 = 0;
    if (!set.svdonly && ludirection(*jac, e, n, dx, cond1)) {
        // Nothing small to drop: the decomposition would have given this direction too. Its
        // condition number is formed at the end of the solve, when it is asked for.
        st.jacsingular = false;
        st.jaccond = cond1;
        lastbylu = true;
        if (set.conditionwanted()) *lastlujac = *jac;
    } else {
        const SvdDirectionInfo info = svddirection(ses.console, *jac, e, n, dx);
        st.jacsingular = info.singular;
        st.jaccond = info.cond;
        lastbylu = false;
    }
    slope0 = -2 * f0;
    findlimit(slim);
    code = slim < 1e-8L ? 5 : 0;
}

void Nle::findlimit(real& slim) {
    const real ep = eps();
    slim = 1e20L;
    int j = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        ++j;
        const real s = v.xvalue[k];
        const real d = dx[j];
        if (d > 0 && s < slim * d) {
            slim = (s - 2 * ep) / d;
            limiting = v.xlowacc[k];
        } else if (d < 0 && slim * (-d) > 1 - s) {
            slim = (1 - 2 * ep - s) / (-d);
            limiting = v.xhighacc[k];
        }
    }
    // Natural values and directions of P, T and the composition variables.
    eqvector nv;
    eqvector dv;
    j = 0;
    for (int16 k = 1; k <= nall(); ++k) {
        if (v.xfree[k]) {
            ++j;
            if (k <= v.nxvars) {
                nv[k] = (v.xvalue[k] - v.xoffset[k]) / v.xscale[k];
                dv[k] = dx[j] / v.xscale[k];
            }
        } else if (k <= v.nxvars) {
            nv[k] = v.xvalue[k];
            dv[k] = 0;
        }
    }
    for (int l = 1; l <= v.nvarlims; ++l) {
        const auto& num = v.varlimnum[l];
        const auto& den = v.varlimden[l];
        real t = ratio(num[v.nxvars + 1], den[v.nxvars + 1]);
        real r = 0;
        bool involved = false;
        for (int16 k = 1; k <= v.nxvars; ++k) {
            if (num[k] == 0) continue;
            const real q = ratio(num[k], den[k]);
            t += q * nv[k];
            r += q * dv[k];
            if (v.xfree[k]) involved = true;
        }
        if (!involved || r < -5 * ep) continue;
        if (r < 5 * ep) {
            // This direction runs along the limit: it can stop the step only where the point
            // already stands on it.
            if (t - 2 * ep <= 0) slim = 0;
            continue;
        }
        if ((t - 2 * ep) / r < slim) {
            slim = (t - 2 * ep) / r;
            limiting = acctype::inaccessible;
        }
    }
    if (!(slim > 0) || v.nsfterms == 0) return;
    const real slim0 = slim;
    int pass = 0;
    while (true) {
        ++pass;
        if (pass > 50) bomb("findlimit", "too many iterations handling site fractions", yourfault);
        eqvector vt;
        for (int16 k = 1; k <= v.nxvars; ++k) vt[k] = nv[k] - dv[k] * slim * 0.999999999L;
        real smallest = 100;
        int offending = 0;
        for (int s = 1; s <= v.nsfterms; ++s) {
            const ptype1& ph = (*v.prec1)[v.sftermphase[s]];
            const real y = evalexpr(vt, v.sftermoffset[s], ph.sf[v.sftermsite[s]]);
            if (y < smallest) {
                smallest = y;
                if (smallest < 0) offending = s;
            }
        }
        const bool acceptable = pass == 1 ? smallest >= 0 : smallest > 0;
        if (acceptable) break;
        if (offending == 0) {  // smallest is exactly 0 after the first pass
            slim *= 0.5L;
            continue;
        }
        const ptype1& ph = (*v.prec1)[v.sftermphase[offending]];
        const real rate =
            exprrate(vt, dv, v.sftermoffset[offending], ph.sf[v.sftermsite[offending]]);
        if (rate == 0) {
            slim *= 0.5L;
            continue;
        }
        const real snew = slim + smallest / rate;
        if (snew < 0 || snew > slim0) {
            slim *= 0.5L;
        } else if (smallest / rate > 0) {
            slim *= 0.9L;
        } else {
            slim = 0.99L * snew;
        }
    }
    limiting = acctype::inaccessible;
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
        if (set.mctrials - 0.01L > 1 || set.debuglev == 0 || set.dogminon) {
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
    const eqmatrix& jm = *jac;
    f = sumsq(e, n);
    real s = 0;
    maxe = 0;
    for (int i = 1; i <= n; ++i) {
        real jd = 0;
        for (int c = 1; c <= n; ++c) jd += jm[i][c] * dx[c];
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

// Stationary points of the cubic through both ends' values and slopes.
void cubicminimum(const Trial& p, const Trial& q, real& m1, real& m2) {
    const real h = q.a - p.a;
    const real a = 3 * (q.f - p.f) - h * (q.g + 2 * p.g);
    const real b = h * (p.g + q.g) - 2 * (q.f - p.f);
    if (a == 0 && b == 0) {
        m1 = m2 = -p.a;
    } else if (b == 0) {
        m1 = m2 = p.a + h * (-(h * p.g) / (2 * a));
    } else {
        const real d = 4 * a * a - 12 * b * h * p.g;
        if (d >= 0) {
            m1 = p.a + h * (-2 * a - std::sqrt(d)) / (6 * b);
            m2 = p.a + h * (std::sqrt(d) - 2 * a) / (6 * b);
        } else {
            m1 = m2 = -p.a;
        }
    }
}

bool Nle::steplength(real& step, int16& code) {
    constexpr real c1 = 0.01L;  // sufficient decrease
    nlines = 0;
    code = 0;
    trialfailed = false;
    acceptedfailed = false;
    if (set.debuglev == 3) printiterhead();
    real g0 = 0;
    real slim = 0;
    startup(g0, slim, code);
    if (code != 0) return false;
    if (slim > 50) {
        slim = 50;
        limiting = acctype::mulimit;
    }
    const bool table = set.debuglev == 3 || set.debuglev == 4;
    if (table) printiteration('0', ' ', f0, g0, 0);

    auto evaluate = [&](Trial& t, int16 mode, real slopefactor) {
        lastconv = fn(t.f, t.g, mode, t.a);
        lastsufficient = t.f < f0 + c1 * g0 * t.a;
        lastslope = std::fabs(t.g) < slopefactor * std::fabs(g0);
        return lastconv;
    };

    Trial accepted;
    Trial a;
    Trial b;
    bool accept = false;
    bool reduce = false;
    Trial t1;
    t1.a = slim <= 1 ? 0.9L * slim : 1;
    lastconv = fn(t1.f, t1.g, 1, t1.a);
    lastsufficient = t1.f < f0 + c1 * g0 * t1.a;
    lastslope = std::fabs(t1.g) < (lastsufficient ? 0.5L : 0.2L) * std::fabs(g0);
    if (table) printiteration('s', accletter(limiting), t1.f, t1.g, t1.a);
    accept = lastconv || (lastslope && lastsufficient);
    if (accept) {
        accepted = t1;
    } else if (t1.g >= 0 || t1.f > f0) {
        a = Trial{0, f0, g0};
        b = t1;
        reduce = true;
    } else {
        a = t1;
        switch (limiting) {
            case acctype::windowlimit:
            case acctype::paccessible:
            case acctype::mulimit:
            case acctype::xaccessible: {
                Trial t2;
                t2.a = (limiting == acctype::xaccessible ? 0.99999L : 0.9999999999L) * slim;
                accept = evaluate(t2, 2, 0.2L) || (lastslope && lastsufficient);
                if (!accept && t2.g < 0) accept = t2.f < t1.f;
                b = t2;
                if (table) printiteration('a', ' ', t2.f, t2.g, t2.a);
                break;
            }
            case acctype::inaccessible: {
                real t = t1.a;
                for (int trial = 1; trial <= 10; ++trial) {
                    Trial tt;
                    tt.a = std::min(5 * t, t + 0.9L * (slim - t));
                    t = tt.a;
                    accept = evaluate(tt, 4, 0.2L) || (lastslope && lastsufficient);
                    b = tt;
                    if (!accept && tt.g < 0) {
                        if (trial == 10) {
                            accept = true;
                        } else if (tt.f <= a.f) {
                            a = tt;
                        }
                    }
                    if (table) printiteration('i', ' ', tt.f, tt.g, tt.a);
                    if (trial == 10) expansionended = true;
                    if (accept || tt.g >= 0) break;
                }
                break;
            }
        }
        if (accept) {
            accepted = a.f <= b.f ? a : b;
        } else if (expansionended) {
            code = 2;
        } else {
            reduce = true;
        }
    }
    if (reduce) {
        bool test = false;
        for (int trial = 1; trial <= 10; ++trial) {
            real m1 = 0;
            real m2 = 0;
            cubicminimum(a, b, m1, m2);
            Trial t;
            if (m1 >= a.a && m1 <= b.a) {
                t.a = m1;
            } else if (m2 >= a.a && m2 <= b.a) {
                t.a = m2;
            } else {
                putstr(ses, 0, "neither in interval: info", 1, screensumlog);
                const Trial* ends[2] = {&a, &b};
                for (int i = 0; i < 2; ++i) {
                    std::string line = i == 0 ? "1: " : "2: ";
                    addreal(4, true, 10, line, ends[i]->f);
                    addreal(4, true, 10, line, ends[i]->g);
                    addreal(4, true, 10, line, ends[i]->a);
                    putstr(ses, 0, line, 1, screensumlog);
                }
                std::string line = "a,b:";
                addreal(4, true, 10, line, m1);
                addreal(4, true, 10, line, m2);
                putstr(ses, 0, line, 1, screensumlog);
                bomb("steplength", "neither in interval", myfault);
            }
            const real h = b.a - a.a;
            const real lo = a.f <= b.f ? a.a + 0.1L * h : a.a + 0.5L * h;
            const real hi = a.f <= b.f ? a.a + 0.5L * h : a.a + 0.9L * h;
            t.a = std::min(std::max(t.a, lo), hi);
            const bool conv = evaluate(t, 5, 0.2L);
            test = trial == 10 ? lastsufficient : (conv || (lastslope && lastsufficient));
            if (table) {
                char c2 = ' ';
                if (t.g < 0 && t.f > f0) {
                    c2 = '\xA5';
                } else if (conv) {
                    c2 = '*';
                } else if (lastslope && lastsufficient) {
                    c2 = 'g';
                } else if (lastslope) {
                    c2 = 'p';
                } else if (lastsufficient) {
                    c2 = 'f';
                }
                printiteration('b', c2, t.f, t.g, t.a);
            }
            if (test || trial == 10) {
                accepted = t;
                break;
            }
            if (t.g > 0) {
                b = t;
            } else if (t.g == 0) {
                a = t;
            } else if (t.f <= a.f) {
                a = t;
            } else {
                b = t;
            }
        }
        if (!test) code = 3;
    }
    step = accepted.a;
    acceptedfailed = trialfailed && accepted.a == failedat;
    const bool reduced = (lastslope && lastsufficient) || lastconv;
    if (reduced) {
        notreduced = 0;
    } else if (++notreduced >= 3) {
        code = 4;
    }
    if (set.debuglev == 2) printiteration('*', reduced ? ' ' : '#', accepted.f, accepted.g, step);
    return lastconv;
}

void Nle::printiterhead() {
    if (nlines < 2) {
        if (counter < 2 && set.debuglev < 4) printguesses();
        putstr(ses, 1, std::string(59, '-'), 1, screensumlog);
    }
    std::string line = " ";
    if (set.debuglev == 2) {
        addstr("", 6, line);
    } else if (set.debuglev == 4) {
        addstr(intstr(counter), -4, line);
    } else {
        addstr(intstr(counter), -2, line);
        addstr(intstr(nlines), 2, line);
    }
    addstr("f", 7, line);
    addstr("slope", 12, line);
    addstr("step", set.debuglev == 2 ? 10 : 14, line);
    addstr("maxe", 13, line);
    addstr("maxdx", 10, line);
    putstr(ses, 0, line, 1, screensumlog);
}

void Nle::printiteration(char c1, char c2, real f, real slope, real step) {
    ++nlines;
    if (set.debuglev == 4 && nlines == 1) printiterhead();
    std::string line = st.jacsingular ? "@" : " ";
    if (set.debuglev == 2) addstr(intstr(counter), -2, line);
    line += (set.debuglev == 3 || set.debuglev == 4) ? c1 : ' ';
    addreal(4, true, 10, line, f);
    addreal(4, true, 12, line, slope);
    if (set.debuglev == 2) {
        if (step == 1) {
            addstr("1", 10, line);
        } else {
            addreal(4, true, 10, line, step);
        }
    } else if (step == 1) {
        addstr("1", 14, line);
    } else {
        addreal(8, true, 14, line, step);
    }
    addstr(std::string(1, c2), 2, line);
    addreal(4, true, 11, line, maxe);
    if (maxdx == 0 || maxdx == 100) {
        addstr("", 10, line);
    } else {
        addreal(4, true, 10, line, maxdx);
    }
    putstr(ses, 0, line, 1, screensumlog);
    if (set.debuglev == 2) printxline();
}

void Nle::printxline() {
    const int32 mask = set.debuglev < 2 ? 16 : screensumlog;
    std::string names(62, ' ');
    std::string values(62, ' ');
    addstr("P(kbar)", 10, names);
    addreal(4, false, 10, values, v.natural(1));
    addstr(v.xname[2], 10, names);
    addreal(4, false, 10, values, shown(2));
    int pending = 0;
    for (int16 k = 3; k <= nall(); ++k) {
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
        if (++pending == 13) {
            putstr(ses, 0, names, 1, mask);
            putstr(ses, 0, values, 1, mask);
            names.assign(82, ' ');
            values.assign(82, ' ');
            pending = 0;
        }
    }
    if (pending > 0 || nall() < 3) {
        putstr(ses, 0, names, 1, mask);
        putstr(ses, 0, values, 1, mask);
    }
}

void Nle::printguesses() {
    const int32 mask = set.debuglev < 2 ? 16 : screensumlog;
    std::string names;
    std::string values(17, ' ');
    addstr("starting guesses:", 17, names);
    addstr("P(kbar)", 10, names);
    addreal(4, false, 10, values, v.natural(1));
    addstr(v.xname[2], 10, names);
    addreal(3, false, 10, values, shown(2));
    int pending = 0;
    for (int16 k = 3; k <= nall(); ++k) {
        if (!v.xfree[k]) continue;
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
        if (++pending == 18) {
            putstr(ses, 0, names, 1, mask);
            putstr(ses, 0, values, 1, mask);
            names.assign(37, ' ');
            values.assign(37, ' ');
            pending = 0;
        }
    }
    putstr(ses, 0, names, 1, mask);
    putstr(ses, 0, values, pending > 0 ? 2 : 1, mask);
}

void Nle::report(int16 code) {
    if (code == 0) {
        const char* word = esize   ? "size of max residual (esize)"
                           : fsize ? "size of sum of squares of residual (fsize)"
                                   : "step too small near solution (dxconverge)";
        putstr(ses, 1, word, 1, screensumlog);
        return;
    }
    const char* reason = "   shouldn't get here";
    switch (code) {
        case 1: reason = "   step too small distant from solution (dxstop)"; break;
        case 2: reason = "   too many iterations (overit)"; break;
        case 3: reason = "   jacobian singular in steplength"; break;
        case 4: reason = "   too many iterations in finding interval in steplength"; break;
        case 5: reason = "   too many iterations in finding value in interval in steplength"; break;
        case 6: reason = "   sequence of not reduced (at accessible boundary) in steplength"; break;
        case 7: reason = "   slim too small (on edge looking out?)"; break;
        default: break;
    }
    putstr(ses, 1, "No solution (" + intstr(code) + "):", 1, screensumlog);
    putstr(ses, 0, reason, 1, screensumlog);
    putstr(ses, 0, "at which stage x was:", 1, screensumlog);
    std::string names;
    std::string values;
    for (int16 k = 1; k <= v.nxvars; ++k) {
        addstr(v.xname[k], 10, names);
        addreal(4, true, 10, values, shown(k));
    }
    putstr(ses, 0, names, 1, screensumlog);
    putstr(ses, 0, values, 1, screensumlog);
    if (v.nmodevars > 0) {
        names.assign(20, ' ');
        values.assign(20, ' ');
        for (int16 k = static_cast<int16>(v.nxvars + 1); k <= nall(); ++k) {
            addstr(v.xname[k], 10, names);
            addreal(4, true, 10, values, shown(k));
        }
        putstr(ses, 0, names, 1, screensumlog);
        putstr(ses, 0, values, 1, screensumlog);
    }
    putstr(ses, 0, std::string(54, '_'), 2, screensumlog);
}

}  // namespace

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

NleSettings::NleSettings(ScriptSettings& s)
    : esizetol(s.convergence[1]),
      fsizetol(s.convergence[2]),
      dxtol(s.convergence[3]),
      debuglev(s.debuglev),
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
    labels.nreac = eq_.run.nreac;
    int k = 0;
    const SystemComponents& sc = eq_.run.dataset.components;
    for (int c = 1; c <= sc.ncomp; ++c) {
        if (eq_.mb.syscomp[c]) labels.compnames[++k] = sc.compnames[c];
    }
}

bool nle(Session& ses, NleEquations& eqs, NleVariables& v, NleSettings& set, NleStatus& st,
         int16& code) {
    st.nleiter = 0;
    st.nleevalno = 0;
    st.niterations = 0;
    st.nevaluations = 0;
    Nle s(ses, eqs, v, set, st);
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
        code = static_cast<int16>(slcode + 2);
    } else {
        code = nleelse;
    }
    if (s.lastbylu && set.conditionwanted()) {
        st.jaccond = svdcondition(ses.console, *s.lastlujac, s.n).cond;
    }
    if (code == 0 && set.calcsdlevel > 0 && set.makedeqdx) set.makedeqdx();
    if (set.debuglev >= 2 && set.debuglev <= 4) s.report(code);
    return code == 0;
}

}  // namespace qv
