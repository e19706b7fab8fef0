#include "thermo/equations.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <span>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/dumps.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "thermo/reactions.hpp"

namespace qv {

EquationTables equationtables(Run& run) {
    Dataset& ds = run.dataset;
    return EquationTables{*run.arrays.prec0,
                          *run.arrays.prec1,
                          *run.arrays.td,
                          ds.emnames,
                          ds.nem,
                          ds.emact,
                          ds.emsda,
                          *run.arrays.r,
                          run.nreac,
                          run.nxvars,
                          run.nmodevars,
                          ds.components,
                          run.arrays.compdx.get(),
                          run.ax.fluid,
                          ds.newspfluid,
                          run.script.debuglev,
                          run.script.dogminon,
                          run.script.dogminlevel};
}

namespace {

constexpr real rankresidualtol = 1e-5L;
constexpr int tableblock = 20;  // entries per block of a debug table

// s plus a[i] * b[i] for i = 0..n - 1, added in that order, two to a loop step: the roundings
// of the plain loop at fewer loop steps.
template <class A>
real addproducts(real s, const A* a, const real* b, int n) {
    int i = 0;
    for (; i + 1 < n; i += 2) {
        s += a[i] * b[i];
        s += a[i + 1] * b[i + 1];
    }
    if (i < n) s += a[i] * b[i];
    return s;
}

// One evaluation of the equations: the parent's state shared by the nested steps.
struct Evaluation {
    Equations& eq;
    const eqvector& xs;  // scaled, as the solver has them
    eqvector x;          // natural values (a copy of xs until `tonatural`)
    eqmatrix& jac;
    eqvector& f;
    bool wantjac;
    bool ok = true;
    int16 nx = 0;                   // P, T and composition positions
    int16 nmode = 0;                // mode variables
    int16 ncolx = 0;                // jacobian columns of P, T and composition variables
    int16 ncol = 0;                 // jacobian columns of all free positions
    Fixed1<int16, maxeq> column{};  // jacobian column of each free position, 0 for a held one

    Session& ses() { return eq.ses; }
    EquationTables& calc() { return eq.calc; }
    const CrossRefs& xref() { return eq.xref; }
    const MassBalance& mb() { return eq.mb; }
    NleWork& work() { return *eq.st.work; }
    int16 debuglev() { return eq.calc.debuglev; }
    int16 nreac() { return eq.calc.nreac; }

    // Name of system component k.
    const std::string& sysname(int k) {
        const SystemComponents& sc = calc().components;
        int n = 0;
        for (int c = 1; c <= sc.ncomp; ++c) {
            if (mb().syscomp[c] && ++n == k) return sc.compnames[c];
        }
        return sc.compnames[k];
    }

    bool admissible();
    void tonatural();
    void clearjacobian();
    void failedtable();
    void evalprops();
    void reactions();
    void massbalance();
    void checkrankresiduals(int i, real residual);
    bool finite();

    void printpreun();
    void printun();
    void printprojc();
    void printnleresiduals();
    void printnlexyz();
    void printnlelnk();
    void printnleactivity();
};

// Each free solver value within 0..1, strictly at an inaccessible bound; the first one outside
// is named on the screen.
bool Evaluation::admissible() {
    const CrossRefs& xr = xref();
    for (int k = 1; k <= nx + nmode && ok; ++k) {
        if (!xr.xfree[k]) continue;
        const real s = xs[k];
        const bool low = xr.xacclow[k] == acctype::inaccessible ? s > 0 : s >= 0;
        const bool high = xr.xacchigh[k] == acctype::inaccessible ? s < 1 : s <= 1;
        if (!(low && high)) {
            ok = false;
            putstr(ses(), 0, "## bad " + xr.xnames[k] + " value", 1, screenmask);
        }
    }
    return ok;
}

// The natural values of the free positions into x, which holds a copy of xs from the start.
void Evaluation::tonatural() {
    const CrossRefs& xr = xref();
    int16 col = 0;
    for (int k = 1; k <= nx + nmode; ++k) {
        column[k] = 0;
        if (!xr.xfree[k]) continue;
        x[k] = (xs[k] - xr.xoffset[k]) / xr.xscale[k];
        column[k] = ++col;
        if (k <= nx) ncolx = col;
    }
    ncol = col;
}

// Zeroes the block of the jacobian this evaluation fills and its readers read: rows of the
// reactions and of the independent mass balances, at least as many as there are free positions
// (the solver takes a square jacobian of that order), and the column of every free position. No
// entry is written or read beyond that block, so the rest of the 90 x 90 matrix is left as is.
void Evaluation::clearjacobian() {
    const MassBalance& m = mb();
    int rows = nreac();
    if (m.modeson) rows += m.nsyscomp - m.rankdeficit;
    rows = std::min(std::max(rows, static_cast<int>(ncol)), maxeq);
    // Zero bytes are +0 in the real format: cleared by bytes.
    for (int i = 1; i <= rows; ++i) {
        std::memset(jac[i].a.data(), 0, static_cast<std::size_t>(ncol) * sizeof(real));
    }
}

void Evaluation::failedtable() {
    const CrossRefs& xr = xref();
    putstr(ses(), 2, "FAILED in nlefunc, at which stage x was:", 1, screensummarylogmask);
    const int n = nx + nmode;
    std::string line;
    for (int k = 1; k <= n; ++k) {
        addstr(xr.xnames[k], 10, line);
        if (k % 15 == 0 || k == n) {
            putstr(ses(), 0, line, 1, screensummarylogmask);
            line.clear();
        }
    }
    for (int k = 1; k <= n; ++k) {
        if (k == 1) {
            addreal(2, false, 10, line, x[1]);
        } else if (k == 2) {
            addreal(1, false, 10, line, x[2] - 273.15L);
        } else {
            addreal(4, true, 10, line, x[k]);
        }
        if (k % 15 == 0 || k == n) {
            putstr(ses(), 0, line, 1, screensummarylogmask);
            line.clear();
        }
    }
}

// The solvent fractions of aqueous phases into values 27 (CO2) and 28 (H2O) of their
// end-members' data rows; 0 for every other solution phase.
void Evaluation::evalprops() {
    const CrossRefs& xr = xref();
    const prectype1& p1 = calc().prec1;
    tdmatrix& td = calc().td;
    for (int j = 1; j <= calc().nem; ++j) {
        if (!xr.phasestart[j]) continue;
        const ptype1& ph = p1[xr.emphase[j]];
        real u = 0;
        real v = 0;
        if (ph.isaq && !ph.isfluid) {
            for (int m = 1; m <= ph.nem; ++m) {
                if (ph.em[m].name == "CO2") u = evalexpr(x, xr.emvarpos[j], ph.p[m]);
                if (ph.em[m].name == "H2O") v = evalexpr(x, xr.emvarpos[j], ph.p[m]);
            }
        }
        for (int m = 0; m < ph.nem; ++m) {
            td[j + m][27] = u;
            td[j + m][28] = v;
        }
    }
}

void Evaluation::reactions() {
    EquationTables& rn = calc();
    const CrossRefs& xr = xref();
    const ActivityDerivatives& d = work().deriv;
    const emvector& act = rn.emact;
    const ReactionTables tab{rn.td, rn.emnames, phasemakes(rn.prec0, rn.prec1), rn.nem, act};
    const rmatrix& r = rn.r;
    const real p = x[1];
    const real t = x[2];
    // Reactions share end-members: each end-member G is formed once per point of the
    // evaluation, and kept for the next while P and T stay (see EmGCache). Not where a G evaluation
    // may write a warning or debug lines, which would then be written fewer times.
    EmGCache* cache = nullptr;
    if (work().cachegem && !eq.gs.pthwarnonly && eq.gs.debuglev != 5 && debuglev() != 5) {
        cache = &work().gcache;
        cache->start(eq.gs, rn.td, rn.emnames, rn.nem, p, t);
    }
    const int nem = rn.nem;
    if (nem < 0 || nem > maxem || nx < 2 || nx > maxeq) index_fault();
    // The free composition positions, whose jacobian columns the reactions fill.
    std::array<int16, maxeq> freex{};
    int nfreex = 0;
    for (int k = 3; k <= nx; ++k) {
        if (xr.xfree[k]) freex[static_cast<std::size_t>(nfreex++)] = narrow16(k);
    }
    const int16* col = column.a.data();
    const real* scale = xr.xscale.a.data();
    // With every activity derivative by a free composition variable finite, the terms of the
    // end-members outside a reaction are exact zeros that leave its sums (which start at +0) as
    // they are: the sums then run over the reaction's own end-members, in the same order. The
    // derivatives are zeros but for those the activities wrote: when all of these are finite,
    // so is every one.
    bool sparse = wantjac;
    for (int j = 1; j <= nem && sparse && !d.dadxfinite; ++j) {
        const real* row = d.dadx[j].a.data();
        for (int m = 0; m < nfreex; ++m) {
            if (!std::isfinite(row[freex[static_cast<std::size_t>(m)] - 1])) sparse = false;
        }
    }
    // The P and T derivatives start from those of dG0, which may be -0: then the other
    // end-members' zero terms leave a -0 sum only where each is -0 too (a +0 sum stays +0), and
    // any term that is not finite spoils the sum. Such sums are formed over every end-member.
    bool ptfinite = true;
    for (int j = 1; j <= nem; ++j) {
        ptfinite = ptfinite && std::isfinite(d.dadp[j]) && std::isfinite(d.dadt[j]);
    }
    const real* dadp = d.dadp.a.data();
    const real* dadt = d.dadt.a.data();
    // The end-members of a reaction, ascending, and (where the sums run over them alone) their
    // coefficients and derivative rows: entries 0..nmembers - 1 written before they are read.
    std::array<int16, maxem> members;
    std::array<real, maxem> mcoef;
    std::array<const real*, maxem> dadxrows;
    for (int i = 1; i <= nreac(); ++i) {
        const iemvector& rx = r[i];
        const int16* coef = rx.a.data();
        const std::size_t nmembers = reactionmembers(rx, rn.nem, members);
        const std::span<const int16> own(members.data(), nmembers);
        eq.rxnlnk[i] = 0;
        const ReactionDg g = calcdg0(ses(), eq.gs, tab, rx, own, p, t, cache);
        real lnk = 0;
        for (const int16 j : own) {
            if (act[j] <= 0) bomb("nlefunc", "ln<=0", myfault);
            lnk += rx[j] * std::log(act[j]);
        }
        const real div = eq.rdiv[i];
        f[i] = (g.dg + rgas * t * lnk) / div;
        eq.rxnlnk[i] = lnk;
        if (!wantjac) continue;
        auto ptsum = [&](real start, const real* dadv) {
            real sum = start;
            for (const int16 j : own) sum += coef[j - 1] * dadv[j - 1];
            if (ptfinite && !(sum == 0 && std::signbit(sum))) return sum;
            sum = start;
            for (int j = 1; j <= nem; ++j) sum += coef[j - 1] * dadv[j - 1];
            return sum;
        };
        const real dgdp = ptsum(g.dgdp, dadp);
        const real dgdt = ptsum(g.dgdt, dadt);
        real* jrow = jac[i].a.data();
        if (xr.xfree[1]) jrow[col[0] - 1] = dgdp / (scale[0] * div);
        if (xr.xfree[2]) jrow[col[1] - 1] = dgdt / (scale[1] * div);
        if (sparse) {
            for (std::size_t m = 0; m < nmembers; ++m) {
                mcoef[m] = coef[members[m] - 1];
                dadxrows[m] = d.dadx[members[m]].a.data();
            }
        }
        if (sparse && nmembers == 2) {
            // The common reaction of two end-members, its two terms written out.
            const real c0 = mcoef[0];
            const real c1 = mcoef[1];
            const real* r0 = dadxrows[0];
            const real* r1 = dadxrows[1];
            for (int m = 0; m < nfreex; ++m) {
                const int k = freex[static_cast<std::size_t>(m)];
                real s = 0;
                s += c0 * r0[k - 1];
                s += c1 * r1[k - 1];
                jrow[col[k - 1] - 1] = s / (scale[k - 1] * div);
            }
            continue;
        }
        for (int m = 0; m < nfreex; ++m) {
            const int k = freex[static_cast<std::size_t>(m)];
            real s = 0;
            if (sparse) {
                std::size_t n = 0;
                for (; n + 1 < nmembers; n += 2) {
                    s += mcoef[n] * dadxrows[n][k - 1];
                    s += mcoef[n + 1] * dadxrows[n + 1][k - 1];
                }
                if (n < nmembers) s += mcoef[n] * dadxrows[n][k - 1];
            } else {
                for (int j = 1; j <= nem; ++j) s += coef[j - 1] * d.dadx[j][k];
            }
            jrow[col[k - 1] - 1] = s / (scale[k - 1] * div);
        }
    }
}

void Evaluation::checkrankresiduals(int i, real residual) {
    const MassBalance& m = mb();
    const EquationTables& sc = calc();
    if (i < m.nsyscomp - m.rankdeficit + 1) return;
    if (!std::isfinite(residual)) {
        ok = false;  // inadmissible, as any residual that is not a number
        return;
    }
    if (std::fabs(residual) < rankresidualtol) return;
    if (sc.dogminon && sc.dogminlevel <= 1) return;
    std::string line = "residual (";
    addreal(4, false, 12, line, residual);
    addstr(") should be zero in rank-deficient case", 0, line);
    putstr(ses(), 0, line, 1, screenmask);
    if (!sc.dogminon) bomb("nlefunc", "residuals not in reduced system", yourfault);
    putstr(ses(), 0, "residuals not in reduced system - shouldn't have happened?", 1, screenmask);
    ok = false;
}

void Evaluation::massbalance() {
    const MassBalance& m = mb();
    const CrossRefs& xr = xref();
    calcdsf(eq, x, &work().ssresults);
    const Grow1<cvector, maxeq>& comp = work().comp;
    const dcompdxtype& compdx = *calc().compdx;
    const prectype1& p1 = calc().prec1;
    const int nsys = m.nsyscomp;
    if (nsys < 0 || nsys > maxcomp || nmode < 0 || nx + nmode > maxeq) index_fault();
    const real* xv = x.a.data();  // xv[k - 1] is x[k]
    real s = 0;
    for (int k = 1; k <= nmode; ++k) s += xv[nx + k - 1];
    // A_i: the phases' amounts of independent combination i, weighted by their modes.
    // proj[i][k]: the composition of mode variable k projected onto combination i, kept for the
    // jacobian.
    Grow1<Fixed1<real, maxeq>, maxcomp>& proj = work().projcomp;
    std::array<const real*, maxeq> comprow;  // comprow[k - 1]: the row of mode variable k
    for (int k = 1; k <= nmode; ++k) comprow[static_cast<std::size_t>(k - 1)] = comp[k].a.data();
    cvector a;
    for (int i = 1; i <= nsys; ++i) {
        const int32* pc = m.projc[i].a.data();
        real* pr = proj[i].a.data();
        real ai = 0;
        for (int k = 1; k <= nmode; ++k) {
            const real* c = comprow[static_cast<std::size_t>(k - 1)];
            const real sum = addproducts(real{0}, pc, c, nsys);
            pr[k - 1] = sum;
            ai += xv[nx + k - 1] * sum;
        }
        a[i] = ai;
        real bulk = 0;
        for (int k = 1; k <= nsys; ++k) bulk += m.bulkcomp[k] * pc[k - 1];
        f[nreac() + i] = s * a[i] - bulk;
        checkrankresiduals(i, f[nreac() + i]);
    }
    int16 nmodecols = 0;
    for (int k = 1; k <= nmode; ++k) {
        if (xr.xfree[nx + k]) ++nmodecols;
    }
    const int independent = nsys - m.rankdeficit;
    if (wantjac) {
        // The record and composition derivatives of each solution phase with a mode, looked up
        // once for every combination.
        std::array<const ptype1*, maxeq> moderec;
        std::array<const Fixed1<Fixed1<real, maxssvars>, maxcomp>*, maxeq> modecdx;
        if (xr.nssmodes < 0 || xr.nssmodes > maxeq) index_fault();
        for (int ph = 1; ph <= xr.nssmodes; ++ph) {
            moderec[static_cast<std::size_t>(ph - 1)] = &p1[xr.modephase[ph]];
            modecdx[static_cast<std::size_t>(ph - 1)] = &compdx[ph];
        }
        for (int i = 1; i <= independent; ++i) {
            const int row = nreac() + i;
            const int32* pc = m.projc[i].a.data();
            real* jrow = jac[row].a.data();
            for (int ph = 1; ph <= xr.nssmodes; ++ph) {
                const ptype1& rec = *moderec[static_cast<std::size_t>(ph - 1)];
                const real mode = x[nx + ph];
                const auto& cdx = modecdx[static_cast<std::size_t>(ph - 1)]->a;
                for (int v = 1; v <= rec.nvar; ++v) {
                    const int pos = xr.modevarpos[ph] + v - 1;
                    if (rec.var[v].flag || !xr.xfree[pos]) continue;
                    const auto u = static_cast<std::size_t>(v - 1);
                    real sum = 0;
                    int k = 0;
                    for (; k + 1 < nsys; k += 2) {
                        const auto uk = static_cast<std::size_t>(k);
                        sum += pc[k] * cdx[uk].a[u];
                        sum += pc[k + 1] * cdx[uk + 1].a[u];
                    }
                    if (k < nsys) sum += pc[k] * cdx[static_cast<std::size_t>(k)].a[u];
                    jrow[column[pos] - 1] = s * mode * sum / xr.xscale[pos];
                }
            }
            const Fixed1<real, maxeq>& proji = proj[i];
            for (int k = 1; k <= nmode; ++k) {
                const int pos = nx + k;
                if (!xr.xfree[pos]) continue;
                jac[row][column[pos]] = (a[i] + s * proji[k]) / xr.xscale[pos];
            }
        }
    }
    NleState& st = eq.st;
    st.neqns = narrow16(nreac() + independent);
    st.njaccols = narrow16(ncolx + nmodecols);
    if (st.neqns == st.njaccols) return;
    putstr(ses(), 0, "", 1, screenmask);
    if (st.batchno > 0) {
        std::string line = "mctc: batch = ";
        addgreal(3, line, st.batchno);
        putstr(ses(), 0, line, 1, screenmask);
    }
    putstr(ses(), 0, "", 1, screenmask);
    std::string line = "row ";
    addgreal(0, line, st.neqns);
    addstr(" (", 0, line);
    addgreal(3, line, nreac());
    addgreal(3, line, m.nsyscomp);
    addgreal(3, line, m.rankdeficit);
    addstr(")", 0, line);
    putstr(ses(), 0, line, 1, screenmask);
    line = "col ";
    addgreal(0, line, st.njaccols);
    addstr(" (", 0, line);
    addgreal(3, line, ncolx);
    addgreal(3, line, nmodecols);
    addstr(")", 0, line);
    putstr(ses(), 0, line, 1, screenmask);
    putstr(ses(), 0, "", 1, screenmask);
    calc().debuglev = 4;
    printprojc();
    printnlexyz();
    printnleresiduals();
    JacobianLabels labels;
    labels.nreac = nreac();
    labels.nequations = st.neqns;
    labels.nxvars = nx;
    labels.nmodevars = nmode;
    for (int k = 1; k <= m.nsyscomp; ++k) labels.compnames[k] = sysname(k);
    for (int k = 1; k <= nx + nmode; ++k) {
        labels.xnames[k] = xr.xnames[k];
        labels.xfree[k] = xr.xfree[k];
    }
    printmatrixlog(ses(), labels, "non-square jacobian", jac, 0, 4, false, logmask);
    bomb("nlefunc", "non-square jacobian", myfault);
}

// Residuals and, when asked, jacobian entries are all finite numbers.
bool Evaluation::finite() {
    const NleState& st = eq.st;
    const int ncols = st.njaccols;
    if (ncols < 0 || ncols > maxeq) index_fault();
    for (int i = 1; i <= st.neqns; ++i) {
        if (!std::isfinite(f[i])) return false;
        if (!wantjac) continue;
        // v - v is +0 for a finite v and not a number otherwise, so the row's sum of these is +0
        // exactly where every entry is finite.
        const real* row = jac[i].a.data();
        real zero = 0;
        int k = 0;
        for (; k + 1 < ncols; k += 2) {
            zero += row[k] - row[k];
            zero += row[k + 1] - row[k + 1];
        }
        if (k < ncols) zero += row[k] - row[k];
        if (!(zero == 0)) return false;
    }
    return true;
}

// Debug tables.

void Evaluation::printpreun() {
    const CrossRefs& xr = xref();
    std::string line(12, ' ');
    for (int k = nx + 1; k <= nx + nmode; ++k) {
        if (xr.xfree[k]) addstr(xr.xnames[k], 10, line);
    }
    putstr(ses(), 0, line, 1, screensummarylogmask);
    line.clear();
    addstr("nlefunc", 12, line);
    for (int k = nx + 1; k <= nx + nmode; ++k) {
        if (xr.xfree[k]) addreal(5, true, 10, line, xs[k]);
    }
    addstr("  pre un", 0, line);
    const int last = nx + nmode;
    addreal(5, true, 10, line, xr.xscale[last]);
    addreal(5, true, 10, line, xr.xoffset[last]);
    putstr(ses(), 0, line, 1, screensummarylogmask);
}

void Evaluation::printun() {
    const CrossRefs& xr = xref();
    std::string line(12, ' ');
    std::string phi(12, ' ');
    real s = 0;
    for (int k = nx + 1; k <= nx + nmode; ++k) {
        s += x[k];
        if (!xr.xfree[k]) continue;
        addreal(5, true, 10, line, x[k]);
        addreal(5, true, 10, phi, x[k] / mb().modephi);
    }
    addstr("  un    ", 0, line);
    addreal(5, true, 10, line, s);
    addstr("  un/phi = mode", 0, phi);
    putstr(ses(), 0, line, 1, screensummarylogmask);
    putstr(ses(), 0, phi, 1, screensummarylogmask);
}

void Evaluation::printprojc() {
    const MassBalance& m = mb();
    std::string line = "projc: (rankdeficit = ";
    addgreal(0, line, m.rankdeficit);
    addstr(")", 0, line);
    if (m.rankdeficit == 0) addstr(" diagonal", 0, line);
    putstr(ses(), 0, line, 1, screensummarylogmask);
    if (m.rankdeficit == 0) return;
    line.clear();
    for (int k = 1; k <= m.nsyscomp; ++k) addstr(sysname(k), 7, line);
    putstr(ses(), 0, line, 1, screensummarylogmask);
    for (int i = 1; i <= m.nsyscomp; ++i) {
        line.clear();
        for (int k = 1; k <= m.nsyscomp; ++k) addgreal(7, line, m.projc[i][k]);
        putstr(ses(), 0, line, 1, screensummarylogmask);
    }
}

// A table of labels over values, in blocks of 20 entries.
template <class Label, class Value>
void blocktable(Session& ses, int n, const std::string& indent, Label label, Value value) {
    for (int first = 1; first <= n; first += tableblock) {
        std::string labels = first == 1 ? std::string() : indent;
        std::string values = labels;
        for (int k = first; k <= n && k < first + tableblock; ++k) {
            label(k, labels);
            value(k, values);
        }
        putstr(ses, 0, labels, 1, screensummarylogmask);
        putstr(ses, 0, values, 1, screensummarylogmask);
    }
}

void Evaluation::printnleresiduals() {
    const NleState& st = eq.st;
    real half = 0;
    for (int i = 1; i <= st.neqns; ++i) half += f[i] * f[i];
    std::string line = "residuals (f = ";
    addreal(4, true, 0, line, half / 2);
    addstr(")", 0, line);
    putstr(ses(), 0, line, 1, screensummarylogmask);
    blocktable(
        ses(), st.neqns, "",
        [&](int i, std::string& l) {
            if (i <= nreac()) {
                addgreal(11, l, i);
            } else {
                addstr(sysname(i - nreac()), 11, l);
            }
        },
        [&](int i, std::string& l) {
            addreal(4, true, 11, l, i <= nreac() ? f[i] * eq.rdiv[i] : f[i]);
        });
}

void Evaluation::printnlexyz() {
    putstr(ses(), 0, "xyz", 1, screensummarylogmask);
    blocktable(
        ses(), nx + nmode, std::string(22, ' '),
        [&](int k, std::string& l) { addstr(xref().xnames[k], 11, l); },
        [&](int k, std::string& l) {
            if (k == 1) {
                addreal(3, true, 11, l, x[1]);
            } else if (k == 2) {
                addreal(4, true, 11, l, x[2] - 273.15L);
            } else {
                addreal(6, true, 11, l, x[k]);
            }
        });
}

void Evaluation::printnlelnk() {
    putstr(ses(), 0, "ln K", 1, screensummarylogmask);
    blocktable(
        ses(), nreac(), "", [&](int i, std::string& l) { addgreal(11, l, i); },
        [&](int i, std::string& l) { addreal(6, true, 11, l, eq.rxnlnk[i]); });
}

void Evaluation::printnleactivity() {
    putstr(ses(), 0, "activity", 1, screensummarylogmask);
    blocktable(
        ses(), calc().nem, "", [&](int j, std::string& l) { addstr(calc().emnames[j], 11, l); },
        [&](int j, std::string& l) { addreal(5, true, 11, l, calc().emact[j]); });
}

}  // namespace

bool nlefunc(Equations& eq, const eqvector& xs, eqmatrix& jac, eqvector& f, bool wantjac) {
    Evaluation ev{eq, xs, xs, jac, f, wantjac, true, 0, 0, 0, 0, {}};
    ev.nx = eq.calc.nxvars;
    ev.nmode = eq.calc.nmodevars;
    const bool modeson = eq.mb.modeson;
    ev.admissible();
    if (modeson && ev.debuglev() > 5) ev.printpreun();
    ev.tonatural();
    if (modeson && ev.debuglev() > 5) ev.printun();
    const real p = ev.x[1];
    const real t = ev.x[2];
    if (!ev.ok) {
        ev.failedtable();
        return false;
    }
    NleWork& w = ev.work();
    EquationTables& ds = eq.calc;
    // The reactions read the derivatives of the calculation's end-members by its P, T and
    // composition positions only: the rest of the 600 kB is never cleared.
    w.deriv.clear(ds.nem, ev.nx);
    ev.ok = calcsf(eq, ev.x);
    if (!ev.ok) putstr(eq.ses, 0, "** NOT OK", 1, screenmask);
    NleState& st = eq.st;
    if (ev.ok) {
        CalcaOut out{ds.emact, ds.emsda, w.ssresults};
        const CalcaTables tab{ds.prec1, eq.xref, ds.nem, ds.nxvars, ds.fluid, ds.newspfluid};
        calca(eq.ses, tab, ev.x, true, true, w.deriv, out, p, t, &w.sitefractions);
        if (ev.debuglev() == 4 && st.nleevalno == 1) {
            ev.printnleactivity();
            if (st.nleiter < 2) {
                putstr(eq.ses, 0, "", 1, screensummarylogmask);
            } else {
                ev.printnlelnk();
            }
        }
        for (int j = 1; j <= ds.nem && ev.ok; ++j) ev.ok = ds.emact[j] > 0;
    }
    if (!ev.ok) return false;
    if (wantjac) ev.clearjacobian();
    ev.evalprops();
    ev.reactions();
    if (!modeson) {
        st.neqns = ev.ncolx;
        st.njaccols = ev.ncolx;
    } else {
        ev.massbalance();
    }
    if (ev.debuglev() == 4 && st.nleevalno == 1) {
        if (st.nleiter == 1) ev.printprojc();
        ev.printnlexyz();
        ev.printnleresiduals();
    }
    return ev.ok && ev.finite();
}

}  // namespace qv
