// Average pressure of a rock of pure phases on the shared dataset, against a generalised least
// squares written here from the end-member Gibbs energies and the dataset covariance alone: its
// own root search (bisection), its own slopes (central differences) and its own solution of the
// normal equations (Gaussian elimination).

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "rock/avlsq.hpp"
#include "rock/rockcalcs.hpp"
#include "rock/runrock.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

// A granulite of pure phases: garnet (py 0.20, gr 0.03), plagioclase (an 0.50), clinopyroxene
// (di 0.70), orthopyroxene (en 0.60), kyanite and quartz, with GASP and two garnet-pyroxene-
// plagioclase reactions.
struct Granulite {
    Ds62 d;
    Run& run = d.run;
    Dataset& ds = d.run.dataset;
    std::vector<std::pair<const char*, std::vector<std::pair<const char*, int16>>>> reactions = {
        {"GASP", {{"gr", -1}, {"ky", -2}, {"q", -1}, {"an", 3}}},
        {"GADK", {{"gr", -1}, {"di", -3}, {"ky", -6}, {"py", 1}, {"an", 6}}},
        {"GAEK", {{"gr", -2}, {"en", -3}, {"ky", -6}, {"py", 2}, {"an", 6}}},
    };
    Granulite() {
        d.run.setup = rocksetup();
        for (int16 k = 1; k <= maxem; ++k) {
            ds.emact[k] = 1;
            ds.emsda[k] = 0;
        }
        const struct {
            const char* name;
            real a, sd;
        } acts[] = {{"py", 0.2L, 0.03L},
                    {"gr", 0.03L, 0.01L},
                    {"an", 0.5L, 0.05L},
                    {"di", 0.7L, 0.07L},
                    {"en", 0.6L, 0.06L}};
        for (const auto& a : acts) {
            ds.emact[d.find(a.name)] = a.a;
            ds.emsda[d.find(a.name)] = a.sd;
        }
        Windows& w = run.windows;
        w.pwinlow = 1;
        w.pwinhigh = 20;
        w.twinlow = w.twinhigh = 873.15L;
        w.ntvalues = 1;
        w.tvalues[1] = 873.15L;
        w.pcur = 10.5L;
        w.tcur = 873.15L;
        rmatrix& r = *run.arrays.r;
        int16 i = 0;
        for (const auto& [name, terms] : reactions) {
            r[++i] = iemvector{};
            for (const auto& [em, n] : terms) r[i][d.find(em)] = n;
        }
        run.nreac = i;
    }
    real lnavar(int16 k) const {
        const real a = ds.emact[k];
        return a > 0 && a < 1 ? (ds.emsda[k] / a) * (ds.emsda[k] / a) : 0;
    }
    // dG of reaction i (kJ) from the end-member Gibbs energies and RT ln a.
    real dg(int16 i, real p, real t) {
        real s = 0;
        for (int16 k = 1; k <= d.nem(); ++k) {
            const int16 n = (*run.arrays.r)[i][k];
            if (n != 0) s += n * (d.g(k, p, t) + rgas * t * std::log(ds.emact[k]));
        }
        return s;
    }
    real root(int16 i, real t) {
        real a = 1;
        real b = 20;
        const real fa = dg(i, a, t);
        for (int k = 0; k < 200 && b - a > 1e-10L; ++k) {
            const real m = (a + b) / 2;
            if ((dg(i, m, t) < 0) == (fa < 0)) {
                a = m;
            } else {
                b = m;
            }
        }
        return (a + b) / 2;
    }
};

TEST(GranuliteOnDs62, AveragePressureEqualsIndependentLeastSquares) {
    Granulite g;
    const real t = 873.15L;
    const std::size_t n = 3;
    std::vector<real> x(n);
    std::vector<real> c(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto ri = static_cast<int16>(i + 1);
        x[i] = g.root(ri, t);
        const real h = 1e-4L;
        c[i] = (g.dg(ri, x[i] + h, t) - g.dg(ri, x[i] - h, t)) / (2 * h);
    }
    // GASP near 10.9 kbar at 600 C with these activities.
    EXPECT_ABS_NEAR(static_cast<double>(x[0]), 10.87, 0.01);
    const rmatrix& r = *g.run.arrays.r;
    const emmatrix& cov = *g.run.arrays.cov;
    Mat v(n, std::vector<real>(n));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const auto ri = static_cast<int16>(i + 1);
            const auto rj = static_cast<int16>(j + 1);
            real hh = 0;
            real ll = 0;
            for (int16 k = 1; k <= g.d.nem(); ++k) {
                if (r[ri][k] == 0) continue;
                ll += r[ri][k] * r[rj][k] * g.lnavar(k);
                for (int16 l = 1; l <= g.d.nem(); ++l) hh += r[ri][k] * cov[k][l] * r[rj][l];
            }
            v[i][j] = (hh + rgas * rgas * t * t * ll) / (c[i] * c[j]);
        }
    }
    const GlsMean gls = glsmean(v, x);

    auto rock = std::make_unique<RunRock>(g.d.ts.ses, g.run);
    ReactionLists& rl = rock->lists();
    rock->setlnavar();
    rock->calcrxnlna();
    const Fixed1<bool, maxem> excluded{};
    const RockData data{
        g.d.nem(),       g.run.nreac, g.ds.emnames, g.ds.emact, rl.emlnavar, *g.run.arrays.cov,
        *g.run.arrays.r, rl.rxnlnk,   excluded,     0,          0,           false};
    RockSettings set;
    set.pcur = 10.5L;
    set.tcur = t;
    set.xh2ocur = 1;
    auto work = std::make_unique<SvdArrays>();
    RockCalc rc{g.d.ts.ses, g.run.windows, data, set, *rock, *work};
    // Both forms: the plain least squares, and the whitened one with its diagnostics table.
    for (bool quiet : {true, false}) {
        const AvResult res = avportlsq(rc, quiet, t, 0, 1);
        EXPECT_ABS_NEAR(static_cast<double>(res.av), static_cast<double>(gls.mean), 2e-3);
        EXPECT_REL_NEAR(res.sd, gls.sd, 2e-3L);
        EXPECT_REL_NEAR(res.sigfit, gls.sigfit, 5e-3L);
    }
    EXPECT_NE(g.d.ts.console.output.find("average P at T = 600\xA1"
                                         "C "),
              std::string::npos);
}

}  // namespace
}  // namespace qv::test
