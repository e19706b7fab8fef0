// The site fractions of the solution phases at a point of the solve (`calcsf`) and the bulk
// composition rows of the phases with their derivatives by the phase variables (`calcdsf`).
#include <array>
#include <cstring>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "thermo/equations.hpp"

namespace qv {

bool calcsf(Equations& eq, const eqvector& x) {
    const CrossRefs& xr = eq.xref;
    const EquationTables& calc = eq.calc;
    const EquationTables& sc = calc;
    const prectype1& p1 = calc.prec1;
    const bool silent = eq.st.mcinprogress || (sc.dogminon && sc.dogminlevel <= 1);
    bool ok = true;
    int slot = 0;
    for (int j = 1; j <= calc.nem; ++j) {
        if (!xr.phasestart[j]) continue;
        const ptype1& ph = p1[xr.emphase[j]];
        const int offset = xr.emvarpos[j];
        Fixed1<real, maxsf>& sf = eq.st.work->sitefractions[++slot];
        for (int s = 1; s <= ph.nsf; ++s) {
            const real y = evalexpr(x, offset, ph.sf[s]);
            sf[s] = y;
            if (y > 0) continue;
            ok = false;
            if (silent) continue;
            std::string line(6, ' ');
            for (int k = 3; k <= calc.nxvars; ++k) addstr(xr.xnames[k], 12, line);
            putstr(eq.ses, 1, line, 1, screensummarylogmask);
            line = "x =  ";
            for (int k = 3; k <= calc.nxvars; ++k) addreal(5, false, 12, line, x[k]);
            putstr(eq.ses, 0, line, 1, screensummarylogmask);
            line = std::string(5, ' ');
            for (int q = 1; q <= ph.nsf; ++q) addstr(ph.sfname[q], 12, line);
            putstr(eq.ses, 1, line, 1, screensummarylogmask);
            line = "sf = ";
            for (int q = 1; q <= ph.nsf; ++q)
                addreal(6, false, 12, line, evalexpr(x, offset, ph.sf[q]));
            putstr(eq.ses, 0, line, 1, screensummarylogmask);
            if (!sc.dogminon) {
                putstr(eq.ses, 1, "sorry - try changing starting guesses!", 1,
                       screensummarylogmask);
                bomb("calcsf", "negative sf term", yourfault);
            }
            putstr(eq.ses, 1, "checksf, negative sf term - change starting guesses?", 1,
                   screensummarylogmask);
        }
    }
    if (!ok) putstr(eq.ses, 0, "*", 0, screenmask);
    return ok;
}

void calcdsf(Equations& eq, const eqvector& x, const SsResults* props) {
    const CrossRefs& xr = eq.xref;
    const EquationTables& calc = eq.calc;
    const MassBalance& mb = eq.mb;
    const SystemComponents& sc = calc.components;
    const prectype1& p1 = calc.prec1;
    const prectype0& p0 = calc.prec0;
    NleWork& w = *eq.st.work;
    Grow1<cvector, maxeq>& comp = w.comp;
    dcompdxtype& compdx = *calc.compdx;
    // Amounts of the system components in each end-member of the phase at hand, its proportions
    // and their derivatives by its variables: every entry read below is written first.
    Fixed1<cvector, maxssem>& e = w.emcomp;
    empvector& prop = w.prop;
    Fixed1<Fixed1<real, maxssvars>, maxssem>& dprop = w.dprop;
    const int nsys = mb.nsyscomp;
    if (nsys < 0 || nsys > maxcomp) index_fault();
    // The phase index and first variable of each result of `calca`, in its order.
    std::array<int16, maxss> slotphase{};
    std::array<int16, maxss> slotoffset{};
    std::size_t nslots = 0;
    for (int j = 1; props != nullptr && j <= calc.nem; ++j) {
        if (!xr.phasestart[j]) continue;
        if (nslots == slotphase.size()) index_fault();
        slotphase[nslots] = xr.emphase[j];
        slotoffset[nslots++] = xr.emvarpos[j];
    }
    for (int m = 1; m <= xr.nssmodes; ++m) {
        const ptype1& ph = p1[xr.modephase[m]];
        const int offset = xr.modevarpos[m];
        const PhaseActivities* given = nullptr;
        for (std::size_t q = 0; q < nslots && given == nullptr; ++q) {
            if (slotphase[q] == xr.modephase[m] && slotoffset[q] == offset) {
                given = &(*props)[static_cast<int>(q) + 1];
            }
        }
        const int nem = ph.nem;
        const int nvar = ph.nvar;
        if (nem < 0 || nem > maxssem || nvar > maxssvars) index_fault();
        cvector& cm = comp[m];
        std::memset(cm.a.data(), 0, sizeof cm.a);  // zero bytes are +0
        real* c = cm.a.data();                     // c[k - 1] is cm[k]
        // Row pointers of the end-members' amounts and proportion derivatives: ei[i - 1] is e[i]
        // (entries 0..nem - 1 written here, the only ones read).
        std::array<real*, maxssem> ei;
        std::array<real*, maxssem> di;
        for (int i = 1; i <= nem; ++i) {
            ei[static_cast<std::size_t>(i - 1)] = e[i].a.data();
            di[static_cast<std::size_t>(i - 1)] = dprop[i].a.data();
        }
        real norm = 0;
        for (int i = 1; i <= nem; ++i) {
            real* row = ei[static_cast<std::size_t>(i - 1)];
            int k = 0;
            for (int cc = 1; cc <= sc.ncomp; ++cc) {
                if (mb.syscomp[cc]) row[k++] = doubleratio(ph.em[i].comp[cc], sc.compdenom[cc]);
            }
            if (k < nsys)
                std::memset(row + k, 0, static_cast<std::size_t>(nsys - k) * sizeof(real));
            prop[i] = given != nullptr ? given->p[i] : evalexpr(x, offset, ph.p[i]);
            const real pi = prop[i];
            int k2 = 0;
            for (; k2 + 1 < nsys; k2 += 2) {
                c[k2] += row[k2] * pi;
                c[k2 + 1] += row[k2 + 1] * pi;
            }
            if (k2 < nsys) c[k2] += row[k2] * pi;
            norm += pi * ph.em[i].emsize;
        }
        for (int k = 0; k < nsys; ++k) c[k] /= norm;
        if (nvar < 1) continue;
        // The derivative of the normalised composition, normalising amount included.
        for (int i = 1; i <= nem; ++i) dexprdx_row(x, offset, ph.p[i], nvar, dprop[i]);
        std::array<real, maxssem> emsize;  // entries 0..nem - 1, written before they are read
        for (int i = 1; i <= nem; ++i) emsize[static_cast<std::size_t>(i - 1)] = ph.em[i].emsize;
        auto& cdx = compdx[m];
        for (int v = 0; v < nvar; ++v) {
            real dnorm = 0;
            for (int i = 0; i < nem; ++i) {
                dnorm += di[static_cast<std::size_t>(i)][v] * emsize[static_cast<std::size_t>(i)];
            }
            for (int k = 0; k < nsys; ++k) {
                real s = 0;
                int i = 0;
                for (; i + 1 < nem; i += 2) {
                    const auto u = static_cast<std::size_t>(i);
                    s += di[u][v] * ei[u][k];
                    s += di[u + 1][v] * ei[u + 1][k];
                }
                if (i < nem) {
                    const auto u = static_cast<std::size_t>(i);
                    s += di[u][v] * ei[u][k];
                }
                cdx.a[static_cast<std::size_t>(k)].a[static_cast<std::size_t>(v)] =
                    (s - c[k] * dnorm) / norm;
            }
        }
    }
    for (int m = xr.nssmodes + 1; m <= calc.nmodevars; ++m) {
        const ptype0& ph = p0[xr.modephase[m]];
        comp[m].fill(0);
        int k = 0;
        for (int c = 1; c <= sc.ncomp; ++c) {
            if (mb.syscomp[c])
                comp[m][++k] = doubleratio(ph.comp[c], sc.compdenom[c]) / ph.puresize;
        }
    }
}

}  // namespace qv
