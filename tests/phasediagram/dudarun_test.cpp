// duDA+ at the end of a phase diagram run: the run's calculations with their uncertainties are
// stored, and the rock's mineral compositions are fitted to them. The system is ideal garnet
// (py-alm-gr), olivine (fo-fa), anorthite, quartz and enstatite: with five phases in five
// components the compositions at each P and T follow from three reactions, fo + q = en,
// alm + 3/2 fo = py + 3/2 fa and 3 an + 3 en = gr + 2 py + 3 q, which the test solves itself.

#include "phasediagram/dudarun.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "support/oracles.hpp"
#include "textio/numfmt.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

const std::string gofax = R"(% ideal garnet and olivine with anorthite, quartz and enstatite
header
  garnet-olivine-anorthite-quartz-enstatite, ideal mixing on sites
header

g 3 1
  x(g) 0.3
  z(g) 0.05
  p(py)  1 2  1 1 -1 x   1 1 -1 z
  p(alm) 1 2  0 1  1 x   1 1 -1 z
  p(gr)  1 1  0 1  1 z
  ideal
  3
  xMgX 1 2  1 1 -1 x   1 1 -1 z
  xFeX 1 2  0 1  1 x   1 1 -1 z
  xCaX 1 1  0 1  1 z
  py  1 1 xMgX 3
  alm 1 1 xFeX 3
  gr  1 1 xCaX 3

ol 2 1
  x(ol) 0.3
  p(fo) 1 1 1 1 -1 x
  p(fa) 1 1 0 1  1 x
  ideal
  2
  xMgM 1 1 1 1 -1 x
  xFeM 1 1 0 1  1 x
  fo 1 1 xMgM 2
  fa 1 1 xFeM 2

an
q
en
*
)";

// The run: P 2.4 to 4 kbar by 0.2, T 800 to 880 C by 10, every point of the grid calculated
// (where anorthite and enstatite take a little Ca into the garnet).
const char* const gridscript = R"(axfile axgasp
with g ol an q en
diagramPT 0.5 8 650 1050
pseudosection no
inexcess no
acceptvar yes
calcP 2.4 4 0.2
calcT 800 880 10
autoexit
*
)";

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// The compositions x(g) = Fe/(Fe + Mg), z(g) = Ca and x(ol) of the assemblage at p (kbar) and
// t (K), from the three reactions with the dataset's G: a(fo) = (1 - x(ol))^2 from fo + q = en;
// (1 - x)/x from the exchange; then z, the root below 1/3 of
// 3 ln z + 6 ln((1 - x)(1 - z)) = -dG3/RT.
struct Xyz {
    real x = 0, z = 0, xol = 0;
};
Xyz model(real p, real t) {
    Ds62& d = dataset();
    auto g = [&](const char* n) { return d.g(d.find(n), p, t); };
    const real rt = rgas * t;
    const real dg1 = g("en") - g("fo") - g("q");
    const real dg2 = g("py") + 1.5L * g("fa") - g("alm") - 1.5L * g("fo");
    const real dg3 = g("gr") + 2 * g("py") + 3 * g("q") - 3 * g("an") - 3 * g("en");
    Xyz m;
    m.xol = 1 - std::exp(dg1 / (2 * rt));
    const real r = std::exp(-dg2 / (3 * rt)) * (1 - m.xol) / m.xol;  // (1 - x)/x
    m.x = 1 / (1 + r);
    m.z = bisect(
        [&](real z) { return 3 * std::log(z) + 6 * std::log((1 - m.x) * (1 - z)) + dg3 / rt; },
        1e-12L, 1 / 3.0L);
    return m;
}

// A phase diagram run over the grid with duDA+ and uncertainties switched on by the test, and
// the rock's minerals as the duDA+ block would give them: garnet x(g), z(g), olivine x(ol).
struct DudaCase {
    PdCase c;
    std::shared_ptr<DudaRun> duda = std::make_shared<DudaRun>();
    // Every good result as the printers see it: P (kbar), T (K), then x(g), z(g), x(ol) with
    // their sds.
    struct Point {
        real p = 0, t = 0;
        real x[3] = {}, sd[3] = {};
    };
    std::vector<Point> results;

    // (answers: no phase in excess; the Monte Carlo multiplier 1, then no more passes)
    DudaCase(const Xyz& rock, real sd) : c(gridscript, "\n1\n0\n", gofax) {
        c.openlog();
        c.pd->calcsdlevel = 1;
        c.pd->duda = duda;
        DudaSettings& set = duda->set;
        set.avptalgorithm = 2;
        set.avptinfo = 0;
        set.avptpguess = 3;
        set.avpttguess = 830;
        set.avptfixedp = 3;
        set.avptfixedt = 830;
        duda->nmin = 2;
        mineraltype& g = duda->minerals[1];
        g.name = "g";
        g.nxyz = 2;
        g.xyznames[1] = "x(g)";
        g.xyznames[2] = "z(g)";
        g.xyz[1] = rock.x;
        g.xyz[2] = rock.z;
        mineraltype& ol = duda->minerals[2];
        ol.name = "ol";
        ol.nxyz = 1;
        ol.xyznames[1] = "x(ol)";
        ol.xyz[1] = rock.xol;
        for (mineraltype* m : {&g, &ol}) {
            for (int i = 1; i <= m->nxyz; ++i) {
                m->sdxyz[i] = sd;
                m->cor[i][i] = 1;
            }
        }
        c.pd->onresult = [this](const SolveState& st) {
            Point pt{st.cur.p, st.cur.t, {}, {}};
            for (int i = 0; i < 3; ++i) {
                pt.x[i] = st.varvalues[3 + i];
                pt.sd[i] = st.sdv.sd[3 + i];
            }
            results.push_back(pt);
        };
    }
};

// A result of the log's tables: P, T (C), x(g), z(g), x(ol), then the sds of the three, as
// printed, each with half a unit of its last printed digit.
struct PrintedRow {
    std::vector<real> value, half;
    void expect(int i, real x) const {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_ABS_NEAR(x, value[k], half[k] * 1.000001L) << "column " << i;
    }
};
std::vector<PrintedRow> printedrows(const std::string& log) {
    std::vector<PrintedRow> rows;
    std::istringstream in(log);
    std::string last, line;
    // The numbers of a line into the row; false when a word is no number.
    auto numbers = [](const std::string& text, PrintedRow& row) {
        std::istringstream words(text);
        std::string w;
        while (words >> w) {
            char* end = nullptr;
            row.value.push_back(std::strtold(w.c_str(), &end));
            if (*end != '\0') return false;
            const std::size_t dot = w.find('.');
            const auto decimals = dot == std::string::npos ? 0 : w.size() - dot - 1;
            row.half.push_back(0.5L * std::pow(10.0L, -static_cast<int>(decimals)));
        }
        return true;
    };
    // A row of values is followed by its row of sds.
    while (std::getline(in, line)) {
        PrintedRow row;
        if (line.rfind("sd ", 0) == 0 && numbers(last, row) && numbers(line.substr(3), row) &&
            row.value.size() == 8) {
            rows.push_back(row);
        }
        last = line;
    }
    return rows;
}

TEST(DudaRun, StoredCalculationsAreTheRunsResultsAndThePlantedPtComesBack) {
    const real p0 = 3.13L, t0 = 843.7L + 273.15L;
    DudaCase k(model(p0, t0), 0.01L);
    k.c.go();
    const StoredCalcs& sc = k.duda->calcs;
    ASSERT_EQ(sc.nqv, 81) << k.c.screen();
    ASSERT_EQ(k.results.size(), 81U);
    ASSERT_EQ(sc.ncalcxyz, 3);
    EXPECT_EQ(sc.ncalccorr, 3);
    // Each record is the result of the same point: P, T (C), the three variables and their sds
    // (the solution vector is P, T, x(g), z(g), x(ol)).
    for (int n = 1; n <= sc.nqv; ++n) {
        const qvcalctype& rec = (*sc.qvcalcs)[n];
        const DudaCase::Point& pt = k.results[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(rec.p, pt.p);
        EXPECT_EQ(rec.t, pt.t - 273.15L);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(rec.xyz[i], pt.x[i - 1]) << n << " " << i;
            EXPECT_EQ(rec.sdxyz[i], pt.sd[i - 1]) << n << " " << i;
            EXPECT_GT(rec.sdxyz[i], 0);
        }
        // The compositions are those of the three reactions at the point.
        const Xyz m = model(rec.p, pt.t);
        EXPECT_ABS_NEAR(rec.xyz[1], m.x, 1e-6L);
        EXPECT_ABS_NEAR(rec.xyz[2], m.z, 1e-6L);
        EXPECT_ABS_NEAR(rec.xyz[3], m.xol, 1e-6L);
    }
    // The result tables went to the log alone: read back, each row and its sd row are the
    // record of that point to the digits printed.
    EXPECT_EQ(k.c.screen().find("P(kbar)"), std::string::npos);
    const std::vector<PrintedRow> rows = printedrows(k.c.dir.read("qv-log.txt"));
    ASSERT_EQ(rows.size(), 81U);
    for (int n = 1; n <= sc.nqv; ++n) {
        const qvcalctype& rec = (*sc.qvcalcs)[n];
        const PrintedRow& row = rows[static_cast<std::size_t>(n - 1)];
        row.expect(0, rec.p);
        row.expect(1, rec.t);
        for (int i = 1; i <= 3; ++i) {
            row.expect(1 + i, rec.xyz[i]);
            row.expect(4 + i, rec.sdxyz[i]);
        }
    }
    // The fit of the rock's exact compositions finds the planted P-T.
    const DudaNominal& nom = k.duda->nominal;
    ASSERT_TRUE(nom.converged) << k.c.screen();
    EXPECT_ABS_NEAR(nom.p, p0, 1e-3L);
    EXPECT_ABS_NEAR(nom.t, t0 - 273.15L, 0.1L);
    EXPECT_LT(nom.sigfit, 1e-3L);
}

// sqrt(chi^2 / (2n - 2)) of the rock x with covariance cr against the model at its weighted
// least-squares P-T, the calculated xyz having the covariance of stored record `rec`: Gauss-Newton
// on chi^2 = r' (Cr + Cq)^-1 r, r = x - model(P, T), with the model's derivatives by differences.
real sigfitof(const Xyz& x, real sd, const qvcalctype& rec, real p, real t) {
    auto resid = [&](real pp, real tt) {
        const Xyz m = model(pp, tt);
        return std::vector<real>{x.x - m.x, x.z - m.z, x.xol - m.xol};
    };
    Mat v(3, std::vector<real>(3, 0));
    int q = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < i; ++j) {
            v[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                rec.sdxyz[i + 1] * rec.corr[++q] * rec.sdxyz[j + 1];
            v[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] =
                v[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
        v[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] =
            rec.sdxyz[i + 1] * rec.sdxyz[i + 1] + sd * sd;
    }
    auto chi2 = [&](const std::vector<real>& r) {
        const std::vector<real> w = solve(v, r);
        return r[0] * w[0] + r[1] * w[1] + r[2] * w[2];
    };
    for (int it = 0; it < 20; ++it) {
        const std::vector<real> r = resid(p, t);
        const std::vector<real> rp = resid(p + 1e-4L, t);
        const std::vector<real> rt = resid(p, t + 1e-2L);
        std::vector<real> ap(3), at(3);
        for (std::size_t i = 0; i < 3; ++i) {
            ap[i] = (rp[i] - r[i]) / 1e-4L;
            at[i] = (rt[i] - r[i]) / 1e-2L;
        }
        const std::vector<real> wp = solve(v, ap);
        const std::vector<real> wt = solve(v, at);
        const std::vector<real> wr = solve(v, r);
        real npp = 0, npt = 0, ntt = 0, gp = 0, gt = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            npp += ap[i] * wp[i];
            npt += ap[i] * wt[i];
            ntt += at[i] * wt[i];
            gp += ap[i] * wr[i];
            gt += at[i] * wr[i];
        }
        const std::vector<real> step = solve({{npp, npt}, {npt, ntt}}, {-gp, -gt});
        p += step[0];
        t += step[1];
    }
    return std::sqrt(chi2(resid(p, t)) / (2 * 3 - 2));
}

TEST(DudaRun, SigfitOfANoisyRockIsItsWeightedLeastSquaresMisfit) {
    const real p0 = 3.13L, t0 = 843.7L + 273.15L;
    const real sd = 0.01L;
    Xyz rock = model(p0, t0);
    rock.x += 0.8L * sd;
    rock.z -= 0.5L * sd;
    rock.xol += 0.6L * sd;
    DudaCase k(rock, sd);
    k.c.go();
    const DudaNominal& nom = k.duda->nominal;
    ASSERT_TRUE(nom.converged) << k.c.screen();
    // The covariance of the calculated xyz is that of the stored calculation nearest the result.
    const StoredCalcs& sc = k.duda->calcs;
    int nearest = 1;
    auto dist = [&](int n) {
        const qvcalctype& r = (*sc.qvcalcs)[n];
        return std::hypot((r.p - nom.p) / 0.2L, (r.t - nom.t) / 10);
    };
    for (int n = 2; n <= sc.nqv; ++n) {
        if (dist(n) < dist(nearest)) nearest = n;
    }
    const real expected = sigfitof(rock, sd, (*sc.qvcalcs)[nearest], nom.p, nom.t + 273.15L);
    EXPECT_GT(expected, 0.1L);
    EXPECT_REL_NEAR(nom.sigfit, expected, 0.01L);
    // The result line and the interval table print it.
    const std::string s3 = realfixstr(3, true, nom.sigfit);
    const std::string& screen = k.c.screen();
    EXPECT_NE(screen.find("}, sigfit = " + s3 + ", using  81 PT calcs"), std::string::npos)
        << screen;
    const std::size_t row = screen.find("\nduDA+  ");
    ASSERT_NE(row, std::string::npos) << screen;
    const std::string line = screen.substr(row + 1, screen.find('\n', row + 1) - row - 1);
    EXPECT_EQ(line.substr(line.size() - 8), fixw(nom.sigfit, 8, 2)) << line;
}

}  // namespace
}  // namespace qv::test
