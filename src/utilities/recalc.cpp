#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/families.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "numerics/cholesky.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "utilities/analyses.hpp"

namespace qv {
namespace {

// Moles of each slot's oxide as fractions of their sum; "psum = 0" from `procname` when there
// is nothing.
slotreals moleproportions(const mineraltype& m, const slotreals& wt, const char* procname) {
    slotreals moles{};
    real psum = 0;
    for (int i = 1; i <= m.nox; ++i) {
        moles[i] = wt[i] / m.molarmass[i];
        psum += moles[i];
    }
    if (psum == 0) bomb(procname, "psum = 0", yourfault);
    for (int i = 1; i <= m.nox; ++i) moles[i] /= psum;
    return moles;
}

// The value of a ratio expression with each of its names taken as the cations of its slot.
real ratiopart(const termtype& e, int16 nnames, const icvector& slots, const slotreals& cations) {
    eqvector values{};
    for (int i = 1; i <= nnames; ++i) values[i] = slots[i] > 0 ? cations[slots[i]] : 0;
    return evalexpr(values, 1, e);
}

// The plain recalculation, written when an ideal fit fails so that the result announced
// before the stop is there to read.
void writerecalc(Session& ses, const mineraltype& m, const XyzResult& res) {
    std::string line(5, ' ');
    for (int i = 1; i <= m.nox; ++i) addstr(m.oxnames[i], 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    writeanalysisrows(ses, m, "c", res.cations);
    for (int j = 1; j <= m.nxyz; ++j) {
        line.clear();
        addstr(m.xyznames[j], 11, line);
        if (res.undefined[j]) {
            addstr("*", 10, line);
        } else {
            addreal(5, true, 10, line, res.xyz[j]);
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace

void writeanalysisrows(Session& ses, const mineraltype& m, const char* clabel,
                       const slotreals& cations) {
    std::string line;
    addstr("wt%", -5, line);
    for (int i = 1; i <= m.nox; ++i) addreal(3, true, 10, line, m.wtused[i]);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line = std::string(5, ' ');
    for (int i = 1; i <= m.nox; ++i) addstr(m.elnames[i], 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line.clear();
    addstr(clabel, -5, line);
    for (int i = 1; i <= m.nox; ++i) addreal(4, true, 10, line, cations[i]);
    putstr(ses, 0, line, 1, screensummarylogmask);
}

slotreals oxidecations(const mineraltype& m, const slotreals& moles) {
    slotreals c{};
    real s = 0;
    for (int i = 1; i <= m.nox; ++i) {
        if (i == m.extraslot || i == m.feoslot) continue;
        c[i] = m.cations[i] * moles[i];
        s += m.oxygens[i] * moles[i];
    }
    if (m.extraslot > 0 && m.feoslot > 0) {
        const int e = m.extraslot, f = m.feoslot;
        c[e] = 2 * moles[e];             // ferric iron
        c[f] = moles[f] - 2 * moles[e];  // ferrous iron
        s += moles[f] + moles[e];
    }
    slotreals cations{};
    for (int i = 1; i <= m.nox; ++i) cations[i] = m.oxygenbasis * c[i] / s;
    return cations;
}

void xyzofcations(mineraltype& m, const ptype1& ph, XyzResult& res) {
    int16 n = 0;
    for (int v = 1; v <= ph.nvar; ++v) {
        const xvartype& x = ph.var[v];
        if (x.isorder) continue;
        if (n >= maxmineralxyz) bomb("recalc", "too many xyz" + maxtext(maxmineralxyz), yourfault);
        ++n;
        const real num = ratiopart(x.num, x.nnum, x.int1, res.cations);
        const real den = ratiopart(x.den, x.nden, x.int2, res.cations);
        // A variable with a zero denominator (say Fe3/(Fe2 + Fe3) of an iron-free analysis)
        // has no value; it is not divided.
        res.undefined[n] = den == 0;
        res.xyz[n] = den == 0 ? 0 : num / den;
        m.xyznames[n] = x.name;
    }
    m.nxyz = n;
}

XyzResult recalc(mineraltype& m, const ptype1& ph, const slotreals& wt) {
    const slotreals moles = moleproportions(m, wt, "recalc");
    XyzResult res;
    res.cations = oxidecations(m, moles);
    xyzofcations(m, ph, res);
    return res;
}

bool ideal(Session& ses, mineraltype& m, const ptype1& ph, slotreals& wt, const slotreals& s,
           XyzResult& res, bool quiet) {
    const int n = m.nox;
    const int nc = m.npeq;
    // The sigfit inverse works on at most 24 x 24 (the unknowns are n - 1).
    if (n > maxidealslots) {
        bomb("ideal", "too many oxides in an ideal analysis" + maxtext(maxidealslots), yourfault);
    }
    const slotreals p0 = moleproportions(m, wt, "ideal");
    if (!quiet) m.c0 = oxidecations(m, p0);
    for (int i = 1; i <= n; ++i) {
        if (p0[i] <= 0) bomb("ideal", "p <= 0", yourfault);
    }
    const int nu = n - 1;  // unknowns: ln of each proportion relative to the first
    xyzvector y0{}, y{};   // ln p(j+1)/p(1), observed and current
    auto v = std::make_unique<covmatrix>();
    for (int j = 1; j <= nu; ++j) {
        y0[j] = std::log(p0[j + 1] / p0[1]);
        y[j] = y0[j];
        for (int l = 1; l <= nu; ++l) (*v)[j][l] = s[1] * s[1] + (j == l ? s[j + 1] * s[j + 1] : 0);
    }
    slotreals p = p0;
    auto fromy = [&]() {
        real sum = 1;
        for (int j = 1; j <= nu; ++j) sum += std::exp(y[j]);
        p[1] = 1 / sum;
        for (int j = 1; j <= nu; ++j) p[j + 1] = std::exp(y[j]) / sum;
    };
    const auto& peq = m.peq;
    bool converged = false;
    for (int it = 1; it <= 50; ++it) {
        // A = g J, with J the derivatives of the proportions by the unknowns.
        Fixed1<xyzvector, maxpeq> a{};
        for (int c = 1; c <= nc; ++c) {
            for (int j = 1; j <= nu; ++j) {
                real sum = 0;
                for (int i = 1; i <= n; ++i) {
                    const real jij = i == j + 1 ? p[i] * (1 - p[i]) : -p[i] * p[j + 1];
                    sum += peq[c].slotcoef[i] * jij;
                }
                a[c][j] = sum;
            }
        }
        // V A^T and M = A V A^T.
        Fixed1<Fixed1<real, maxpeq>, maxxyz> vat{};
        for (int j = 1; j <= nu; ++j) {
            for (int c = 1; c <= nc; ++c) {
                real sum = 0;
                for (int l = 1; l <= nu; ++l) sum += (*v)[j][l] * a[c][l];
                vat[j][c] = sum;
            }
        }
        covmatrix mm{};
        for (int c = 1; c <= nc; ++c) {
            for (int d = 1; d <= nc; ++d) {
                real sum = 0;
                for (int j = 1; j <= nu; ++j) sum += a[c][j] * vat[j][d];
                mm[c][d] = sum;
            }
        }
        invmatrix minv{};
        if (nc == 1) {
            minv[1][1] = 1 / mm[1][1];
        } else {
            cholinvert(ses.console, mm, minv, narrow16(nc));
        }
        // The constraints linearised at y and carried to y0.
        Fixed1<real, maxpeq> r{};
        for (int c = 1; c <= nc; ++c) {
            real sum = 0;
            for (int i = 1; i <= n; ++i) sum += peq[c].slotcoef[i] * p[i];
            for (int j = 1; j <= nu; ++j) sum += a[c][j] * (y0[j] - y[j]);
            r[c] = sum;
        }
        Fixed1<real, maxpeq> mr{};
        for (int c = 1; c <= nc; ++c) {
            for (int d = 1; d <= nc; ++d) mr[c] += minv[c][d] * r[d];
        }
        real norm = 0;
        for (int j = 1; j <= nu; ++j) {
            real corr = 0;
            for (int c = 1; c <= nc; ++c) corr += vat[j][c] * mr[c];
            const real d = (y0[j] - y[j]) - corr;
            y[j] += d;
            norm += d * d;
        }
        norm = std::sqrt(norm);
        fromy();
        if (norm < 5e-05L) {
            converged = true;
            break;
        }
        if (norm > 1) break;
    }
    if (!converged) {
        if (quiet) {
            for (int j = 1; j <= m.nxyz; ++j) res.xyz[j] = -1;
            return false;
        }
        putstr(ses, 1, "ideal analysis iteration did not converge for " + m.name, 1,
               screensummarylogmask);
        putstr(ses, 0, "instead, here is the ordinary recalc result:", 1, screensummarylogmask);
        const XyzResult plain = recalc(m, ph, wt);
        writerecalc(ses, m, plain);
        bomb("ideal", "ideal analysis calculation failed", yourfault);
    }
    res.cations = oxidecations(m, p);
    if (!quiet) {
        real q = 0;
        for (int i = 1; i <= n; ++i) q += p[i] * m.molarmass[i];
        for (int i = 1; i <= n; ++i) wt[i] = 100 * m.molarmass[i] * p[i] / q;
        invmatrix vinv{};
        cholinvert(ses.console, *v, vinv, narrow16(nu));
        real chi = 0;
        for (int j = 1; j <= nu; ++j) {
            for (int l = 1; l <= nu; ++l) chi += (y0[j] - y[j]) * vinv[j][l] * (y0[l] - y[l]);
        }
        // The divisor is the fixed number 10, whatever the number of constraints.
        m.sigfit = std::sqrt(chi / 10);
    }
    xyzofcations(m, ph, res);
    return true;
}

}  // namespace qv
