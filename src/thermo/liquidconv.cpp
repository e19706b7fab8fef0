#include "thermo/liquidconv.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "thermo/phaseprops.hpp"

namespace qv {
namespace {

constexpr real residualtol = 1e-6L;

int16 findcomp(const SystemComponents& sc, const char* name) {
    for (int16 k = 1; k <= sc.ncomp; ++k) {
        if (sc.compnames[k] == name) return k;
    }
    return 0;
}

bool anyresidual(const cvector& res, int n) {
    for (int j = 1; j <= n; ++j) {
        if (std::fabs(res[j]) > residualtol) return true;
    }
    return false;
}

}  // namespace

void conv2wt(Session& ses, const PointPhases& pt, const ComponentTable& oxides,
             const convliqmatrix& conv, int16 nrows, int16 ncols, speciesvector& wt) {
    const SystemComponents& sc = pt.sc;
    // The liquid and its first end-member among the end-members of the present phases.
    int16 first = 1;
    int16 liq = 0;
    for (int16 i = 1; i <= pt.nss && liq == 0; ++i) {
        if (!pt.present[i]) continue;
        const std::string& name = pt.prec1[i].name;
        if (name.size() >= 3 && name.compare(0, 3, "liq") == 0) {
            liq = i;
        } else {
            first = narrow16(first + pt.prec1[i].nem);
        }
    }
    if (liq == 0 || ncols != sc.ncomp) return;
    const int ncomp = sc.ncomp;
    cvector comp{};
    calcphasecomp(pt.prec1[liq], pt.x, pt.xref.emvarpos[first], sc, comp);
    cvector res = comp;
    speciesvector sp{};
    speciesvector mass{};
    Fixed1<bool, maxconvliqrows> taken{};
    for (int r = 1; r <= nrows; ++r) {
        for (int j = 1; j <= ncomp; ++j) {
            for (int o = 1; o <= maxcomp; ++o) {
                if (oxides.oxidenames[o] == sc.compnames[j]) {
                    mass[r] += conv[r][j] * oxides.oxidemass[o];
                    break;
                }
            }
        }
    }
    // Each pass takes the species that alone holds the first component left over.
    bool done = false;
    for (int pass = 1; pass <= nrows && !done; ++pass) {
        int16 jj = 0;
        int16 rr = 0;
        for (int j = 1; j <= ncomp && jj == 0; ++j) {
            if (std::fabs(res[j]) <= residualtol) continue;
            int count = 0;
            int16 row = 0;
            for (int r = 1; r <= nrows; ++r) {
                if (!taken[r] && conv[r][j] != 0) {
                    ++count;
                    row = narrow16(r);
                }
            }
            if (count == 1) {
                jj = narrow16(j);
                rr = row;
            }
        }
        if (jj == 0) break;
        taken[rr] = true;
        const real f = res[jj] / conv[rr][jj];
        sp[rr] = f;
        for (int i = 1; i <= ncomp; ++i) res[i] -= f * conv[rr][i];
        done = !anyresidual(res, ncomp);
    }
    if (!done && anyresidual(res, ncomp)) {
        // A residual is an error only once every species row has been used; an elimination
        // that stalled earlier ends quietly.
        int ntaken = 0;
        for (int r = 1; r <= nrows; ++r) ntaken += taken[r] ? 1 : 0;
        if (ntaken == nrows) {
            std::string line = "residual mol = ";
            for (int j = 1; j <= ncomp; ++j) {
                if (res[j] == 0) continue;
                line += "{";
                addstr(sc.compnames[j], 6, line);
                addreal(2, true, 8, line, res[j]);
                line += "} ";
            }
            ses.console.write(line + "\n");
            bomb("conv2wt", "couldn't make mol%", yourfault);
        }
    }
    real s = 0;
    for (int j = 1; j <= ncomp; ++j) s += comp[j];
    for (int r = 1; r <= nrows; ++r) wt[r] = 0;
    if (s == 0) return;
    real s2 = 0;
    for (int r = 1; r <= nrows; ++r) s2 += sp[r];
    if (s2 == 0) bomb("conv2wt", "sum of mol% = 0 2", yourfault);
    speciesvector m{};
    real w = 0;
    for (int r = 1; r <= nrows; ++r) {
        m[r] = 100 * sp[r] / s2;
        w += mass[r] * m[r];
    }
    if (w == 0) bomb("conv2wt", "sum of mol% = 0 3", yourfault);
    for (int r = 1; r <= nrows; ++r) wt[r] = 100 * m[r] * mass[r] / w;

    const std::string lead(13, ' ');
    std::string line = lead;
    for (int j = 1; j <= ncomp; ++j) addstr(sc.compnames[j], 7, line);
    putstr(ses, 1, line, 1, screensummarylogmask);
    line = lead;
    for (int j = 1; j <= ncomp; ++j) addreal(3, false, 7, line, 100 * comp[j] / s);
    putstr(ses, 0, line + " ==>", 1, screensummarylogmask);
    line = lead;
    for (int r = 1; r <= nrows; ++r) addreal(2, false, 7, line, m[r]);
    putstr(ses, 0, line + " ==>", 1, screensummarylogmask);
    line = lead;
    for (int r = 1; r <= nrows; ++r) addreal(2, false, 7, line, wt[r]);
    putstr(ses, 0, line, 1, screensummarylogmask);
}

void fificalc(Session& ses, const PointPhases& pt, const Fixed1<bool, maxcomp>& marked, real& xco2,
              real& xh2o) {
    const SystemComponents& sc = pt.sc;
    const int ncomp = sc.ncomp;
    const int16 ih2o = findcomp(sc, "H2O");
    const int16 ico2 = findcomp(sc, "CO2");
    xco2 = 0;
    xh2o = 0;
    cvector tot{};
    int m = 0;
    auto add = [&](const cvector& comp) {
        real s = 0;
        for (int j = 1; j <= ncomp; ++j) s += comp[j];
        if (s == 0) bomb("fificalc", "t=0", yourfault);
        const real mode = pt.modes[++m];
        for (int j = 1; j <= ncomp; ++j) tot[j] += mode * comp[j] / s;
    };
    for (int16 k = 1; k <= pt.nem; ++k) {
        if (!pt.xref.phasestart[k]) continue;
        const int16 ph = pt.xref.emphase[k];
        if (!pt.present[ph]) continue;
        cvector comp{};
        calcphasecomp(pt.prec1[ph], pt.x, pt.xref.emvarpos[k], sc, comp);
        if (pt.prec1[ph].name.compare(0, 5, "fluid") == 0) {
            xh2o = ih2o > 0 ? comp[ih2o] : 0;
            xco2 = ico2 > 0 ? comp[ico2] : 0;
        } else {
            add(comp);
        }
    }
    for (int16 i = 1; i <= pt.npure; ++i) {
        if (!pt.present[pt.nss + i]) continue;
        const ptype0& ph = pt.prec0[i];
        bool holds = false;
        for (int j = 1; j <= ncomp; ++j) holds = holds || (marked[j] && ph.comp[j] != 0);
        if (!holds) continue;
        cvector comp{};
        for (int j = 1; j <= ncomp; ++j) {
            comp[j] = static_cast<real>(ph.comp[j]) / static_cast<real>(sc.compdenom[j]);
        }
        add(comp);
    }
    real sum = 0;
    for (int j = 1; j <= ncomp; ++j) {
        if (marked[j]) sum += tot[j];
    }
    // Phases without any marked component leave nothing to normalise: zeros, not undefined
    // numbers.
    for (int j = 1; j <= ncomp; ++j) tot[j] = sum == 0 ? 0 : tot[j] / sum;

    std::string head;
    addstr("H2O", 10, head);
    addstr("CO2", 10, head);
    for (int j = 1; j <= ncomp; ++j) {
        if (marked[j]) addstr(sc.compnames[j], 8, head);
    }
    putstr(ses, 2, head, 1, screensummarylogmask);
    std::string values;
    for (int j = 1; j <= ncomp; ++j) {
        if (marked[j]) {
            addreal(2, false, 8, values, 100 * tot[j]);
        } else if (j == ih2o || j == ico2) {
            addreal(6, false, 10, values, 100 * tot[j]);
        }
    }
    putstr(ses, 0, values, 1, screensummarylogmask);
}

}  // namespace qv
