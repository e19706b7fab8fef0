// The line search of the equilibrium solver: the largest admissible step along the Newton
// direction (unknowns, variable limits and site fractions) and the search for a step of
// sufficient decrease by expansion and safeguarded cubic interpolation.

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "solver/nlework.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::nlework {
namespace {

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
            real f = doubleratio(x.constnum, x.constden);
            real d = 0;
            for (int k = 1; k <= x.nx; ++k) {
                const int pos = x.idx[k] + offset - 1;
                f = doubleratio(x.num[k], x.den[k]) * vt[pos] + f;
                d += doubleratio(x.num[k], x.den[k]) * dv[pos];
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

}  // namespace

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
        real t = doubleratio(num[v.nxvars + 1], den[v.nxvars + 1]);
        real r = 0;
        bool involved = false;
        for (int16 k = 1; k <= v.nxvars; ++k) {
            if (num[k] == 0) continue;
            const real q = doubleratio(num[k], den[k]);
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

// Kept whole: one line search whose bracketing and interpolation share the trial points.
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
                putstr(ses, 0, "neither in interval: info", 1, screensummarylogmask);
                const Trial* ends[2] = {&a, &b};
                for (int i = 0; i < 2; ++i) {
                    std::string line = i == 0 ? "1: " : "2: ";
                    addreal(4, true, 10, line, ends[i]->f);
                    addreal(4, true, 10, line, ends[i]->g);
                    addreal(4, true, 10, line, ends[i]->a);
                    putstr(ses, 0, line, 1, screensummarylogmask);
                }
                std::string line = "a,b:";
                addreal(4, true, 10, line, m1);
                addreal(4, true, 10, line, m2);
                putstr(ses, 0, line, 1, screensummarylogmask);
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

}  // namespace qv::nlework
