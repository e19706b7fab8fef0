#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "base/convert.hpp"
#include "base/families.hpp"
#include "base/fatal.hpp"
#include "numerics/random.hpp"
#include "numerics/sorting.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "utilities/analyses.hpp"

namespace qv {
namespace {

constexpr real fe2o3perfeo = 1.111349L;  // mass of Fe2O3 per mass of FeO with the same iron
constexpr real feomass = 71.8464L;       // g/mol
constexpr real oxygenmass = 16.0L;       // g/mol
constexpr real minsuccess = 0.3L;        // least fraction of Monte Carlo trials that succeed
constexpr real sdfloor = 1e-05L;         // least sd that gives a correlation
constexpr real maxcor = 0.95L;           // largest absolute correlation

using TrialTable = Fixed1<xyzreals, mctrials>;

// A standard normal deviate from two uniform ones (Box-Muller), from the program's own
// generator so that a fixed seed repeats a run.
real normaldeviate(WhSeeds& seeds) {
    const real u1 = 1 - whrandom(seeds);  // in (0, 1]
    const real u2 = whrandom(seeds);
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi_v<real> * u2);
}

int16 oxideindex(const ComponentTable& oxides, const std::string& name) {
    for (int k = 1; k <= maxcomp; ++k) {
        if (oxides.oxidenames[k] == name) return narrow16(k);
    }
    return 0;
}

// The analysis slots: iron folded into FeO, unknown and empty entries checked and dropped,
// and the slot of the oxygen that makes the given fraction of the iron ferric.
void makeslots(const ComponentTable& oxides, mineraltype& m) {
    m.extraslot = m.feoslot = m.extraslot2 = m.feoslot2 = 0;
    m.nox = 0;
    const int n = m.nanal;
    Fixed1<std::string, maxanalysis> names{};
    slotreals amounts{};
    for (int i = 1; i <= n; ++i) {
        names[i] = m.anoxnames[i] == "FeOt" ? std::string("FeO") : m.anoxnames[i];
        amounts[i] = m.anwt[i];
    }
    for (int i = 1; i <= n; ++i) {
        if (names[i] != "Fe2O3") continue;
        const real asfeo = amounts[i] / fe2o3perfeo;
        int feo = 0;
        for (int j = 1; j <= n && feo == 0; ++j) {
            if (names[j] == "FeO") feo = j;
        }
        names[i] = "FeO";
        if (feo > 0) {
            amounts[feo] += asfeo;
            amounts[i] = 0;
        } else {
            amounts[i] = asfeo;
        }
    }
    for (int i = 1; i <= n; ++i) {
        const std::string& name = names[i];
        if (name == "F" || name == "Cl" || name == "C" || name == "S") {
            bomb("calcxyz", name + " in " + m.name + " not implemented", yourfault);
        }
        if (name == "O") bomb("calcxyz", "O in analysis not implemented for " + m.name, yourfault);
        if (oxideindex(oxides, name) == 0) bomb("calcxyz", "oxide unknown " + name, yourfault);
    }
    auto addslot = [&](int16 k, real amount) {
        const int s = ++m.nox;
        m.wt[s] = amount;
        m.molarmass[s] = oxides.oxidemass[k];
        m.cations[s] = oxides.cationsperoxide[k];
        m.oxygens[s] = oxides.oxygensperoxide[k];
        m.elnames[s] = oxides.elementnames[k];
        m.oxnames[s] = oxides.oxidenames[k];
        return s;
    };
    for (int i = 1; i <= n; ++i) {
        if (amounts[i] <= 0) continue;
        const int s = addslot(oxideindex(oxides, names[i]), amounts[i]);
        if (names[i] == "FeO" && m.feoslot == 0) m.feoslot = narrow16(s);
    }
    if (m.feoslot > 0) {
        const int16 f = m.feoslot;
        const real x = std::exp(m.lnxmean);
        const int e = addslot(oxideindex(oxides, "O"), m.wt[f] / feomass * oxygenmass * 0.5L * x);
        m.extraslot = narrow16(e);
        m.elnames[e] = "Fe3";
        m.oxnames[e] = "Fe2O3";
        m.elnames[f] = "Fe2";
        m.extraslot2 = m.extraslot;
        m.feoslot2 = m.feoslot;
    }
}

// Each name of a variable's numerator and denominator bound to the slot of that element.
void bindvariables(const mineraltype& m, ptype1& ph) {
    auto slotof = [&](const std::string& el) {
        for (int s = 1; s <= m.nox; ++s) {
            if (m.elnames[s] == el) return narrow16(s);
        }
        return int16{0};
    };
    for (int v = 1; v <= ph.nvar; ++v) {
        xvartype& x = ph.var[v];
        for (int i = 1; i <= x.nnum; ++i) x.int1[i] = slotof(x.numnames[i]);
        for (int i = 1; i <= x.nden; ++i) x.int2[i] = slotof(x.dennames[i]);
    }
}

// The constraints as homogeneous equations in the mole proportions of the slots.
void slotcoefficients(mineraltype& m) {
    for (int c = 1; c <= m.npeq; ++c) {
        PeqConstraint& q = m.peq[c];
        slotreals a{};
        for (int t = 1; t <= q.nterms; ++t) {
            for (int s = 1; s <= m.nox; ++s) {
                if (m.elnames[s] == q.names[t]) a[s] = q.coef[t];
            }
        }
        for (int s = 1; s <= m.nox; ++s) {
            q.slotcoef[s] =
                m.oxygens[s] * (q.rhs - q.constant) - m.cations[s] * a[s] * m.oxygenbasis;
        }
    }
}

std::string wholeor1(real x) {
    return std::fabs(x - std::round(x)) < 1e-12L ? realstr(x) : realfixstr(1, true, x);
}

}  // namespace

void calcxyz(Session& ses, const ComponentTable& oxides, mineraltype& m, ptype1& ph) {
    makeslots(oxides, m);
    bindvariables(m, ph);
    if (m.idealon) slotcoefficients(m);

    // sds of ln wt%: analytical, and for the ferric oxygen also that of ln x.
    slotreals lnwt{}, s{};
    for (int i = 1; i <= m.nox; ++i) {
        lnwt[i] = std::log(m.wt[i]);
        if (i != m.extraslot) s[i] = m.aerr / std::sqrt(m.wt[i]);
    }
    if (m.extraslot > 0) {
        s[m.extraslot] = std::sqrt(m.lnxsd * m.lnxsd + s[m.feoslot] * s[m.feoslot]);
    }
    m.wtused = m.wt;

    slotreals wt = m.wt;
    XyzResult central;
    if (m.idealon) {
        ideal(ses, m, ph, wt, s, central, false);
    } else {
        central = recalc(m, ph, wt);
        m.c0 = central.cations;
    }
    m.wt = wt;
    m.cid = central.cations;
    m.xyz = central.xyz;
    m.xyzundefined = central.undefined;
    const int nx = m.nxyz;

    auto trials = std::make_unique<TrialTable>();
    int ntrial = 0;
    for (int t = 1; t <= mctrials; ++t) {
        slotreals twt{};
        for (int i = 1; i <= m.nox; ++i)
            twt[i] = std::exp(lnwt[i] + s[i] * normaldeviate(ses.seeds));
        XyzResult res;
        bool ok = true;
        if (m.idealon) {
            ok = ideal(ses, m, ph, twt, s, res, true) && !(nx > 0 && res.xyz[1] < 0);
        } else {
            res = recalc(m, ph, twt);
        }
        // A trial where a variable of the analysis loses its denominator has failed.
        for (int j = 1; j <= nx && ok; ++j) {
            if (res.undefined[j] && !central.undefined[j]) ok = false;
        }
        if (ok) (*trials)[++ntrial] = res.xyz;
    }
    if (ntrial != mctrials) {
        putstr(ses, 0, "in mc, " + realstr(ntrial) + " of " + realstr(mctrials) + " successes", 2,
               screensummarylogmask);
        if (ntrial == 0) bomb("calcxyz", "no successes in mcqv", yourfault);
        if (static_cast<real>(ntrial) / mctrials < minsuccess) {
            bomb("calcxyz", "low number of successes in mcqv", yourfault);
        }
    }

    // Medians, and as sd the median absolute deviation about them (no scale factor).
    auto list = std::make_unique<sortvector>();
    xyzreals med{};
    for (int j = 1; j <= nx; ++j) {
        m.sdxyz[j] = 0;
        if (central.undefined[j]) continue;
        for (int t = 1; t <= ntrial; ++t) (*list)[t] = (*trials)[t][j];
        med[j] = findmedian(*list, narrow16(ntrial));
        for (int t = 1; t <= ntrial; ++t) (*list)[t] = std::fabs((*trials)[t][j] - med[j]);
        m.sdxyz[j] = findmedian(*list, narrow16(ntrial));
    }
    // Covariances about the medians and the correlations from them.
    Fixed1<xyzreals, maxmineralxyz> cov{};
    for (int j = 1; j <= nx; ++j) {
        for (int l = j; l <= nx; ++l) {
            real sum = 0;
            if (!central.undefined[j] && !central.undefined[l]) {
                for (int t = 1; t <= ntrial; ++t) {
                    sum += ((*trials)[t][j] - med[j]) * ((*trials)[t][l] - med[l]);
                }
            }
            cov[j][l] = cov[l][j] = ntrial > 1 ? sum / (ntrial - 1) : 0;
        }
    }
    for (int j = 1; j <= nx; ++j) {
        for (int l = 1; l <= nx; ++l) {
            const real sj = std::sqrt(cov[j][j]);
            const real sl = std::sqrt(cov[l][l]);
            real r = 0;
            if (!(std::fabs(sj) < sdfloor || std::fabs(sl) < sdfloor)) {
                r = cov[j][l] / (sj * sl);
                if (j != l) r = std::fmax(-maxcor, std::fmin(maxcor, r));
            }
            m.cor[j][l] = r;
        }
    }
}

void printxyzscript(Session& ses, const mineraltype& m, const std::string& fullname) {
    const int nx = m.nxyz;
    const std::string rule = "% " + std::string(51, '-');
    putstr(ses, 1, "[ xyz info to copy into the scriptfile for duDA+ calcs: ]", 2, logmask);
    putstr(ses, 0, "% " + fullname, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
    auto start = [&](const std::string& what) {
        std::string line = "mineral";
        addstr(m.name, 5, line);
        addstr(what, 5, line);
        return line;
    };
    std::string line = "mineral";
    addstr(m.name, 5, line);
    addgreal(5, line, nx);
    for (int j = 1; j <= nx; ++j) addstr(m.xyznames[j], 9, line);
    putstr(ses, 0, line, 1, logmask);
    line = start("incl");
    for (int j = 1; j <= nx; ++j) addstr("1", 9, line);
    putstr(ses, 0, line, 1, logmask);
    line = start("xyz");
    for (int j = 1; j <= nx; ++j) {
        if (m.xyzundefined[j]) {
            addstr("*", 9, line);
        } else {
            addreal(5, true, 9, line, m.xyz[j]);
        }
    }
    putstr(ses, 0, line, 1, logmask);
    line = start("sd");
    for (int j = 1; j <= nx; ++j) {
        if (m.xyzundefined[j]) {
            addstr("*", 9, line);
        } else {
            addreal(5, true, 9, line, m.sdxyz[j] * m.sdmult);
        }
    }
    putstr(ses, 0, line, 2, logmask);
    for (int j = 1; j <= nx; ++j) {
        line = start("cor");
        for (int l = 1; l <= nx; ++l) {
            if (l == j) {
                addstr("1", 9, line);
            } else {
                addreal(4, true, 9, line, m.cor[j][l]);
            }
        }
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 1, "% xyz calculated with the following analysis in wt% (all Fe as FeO),", 1,
           logmask);
    if (m.idealon) {
        putstr(ses, 0,
               "% using ideal analysis (eg fixed cation sum), with sigfit = " +
                   realfixstr(2, true, m.sigfit),
               1, logmask);
    }
    std::string names = "% ";
    std::string values = "% ";
    for (int i = 1; i <= m.nox; ++i) {
        if (i == m.extraslot) continue;
        addstr(m.oxnames[i], 9, names);
        addreal(2, true, 9, values, m.wt[i]);
    }
    putstr(ses, 0, names, 1, logmask);
    putstr(ses, 0, values, 1, logmask);
    putstr(ses, 0,
           "% with, natural logs, sd(log wt%) = " + realfixstr(3, true, m.aerr) + "/sqrt(wt%), and",
           1, logmask);
    std::string last = "% uncertainties calculated using monte carlo";
    if (m.lnxmean < -11) {
        last = "% all Fe set to FeO; uncertainties calculated using monte carlo";
    } else if (m.lnxmean > -5e-05L) {
        last = "% all Fe set to Fe2O3; uncertainties calculated using monte carlo";
    } else {
        putstr(ses, 0,
               "% log x = log Fe3/(Fe2 + Fe3) = " + realfixstr(2, true, m.lnxmean) + " \xC2\xB1 " +
                   realfixstr(2, true, 2 * m.lnxsd) + " from x range " +
                   realfixstr(2, true, m.xlow) + " to " + realfixstr(2, true, m.xhigh) +
                   " (95% ci)",
               1, logmask);
    }
    if (m.sdmult != 1) last += " (sd mult = " + wholeor1(m.sdmult) + ")";
    putstr(ses, 0, last, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
}

}  // namespace qv
