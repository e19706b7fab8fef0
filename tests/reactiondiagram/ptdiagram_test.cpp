// A P-T reaction diagram of three Al2SiO5 polymorphs whose Gibbs energies are linear in P and T
// (no heat capacity, constant volume), so that every line, invariant point and uncertainty has
// a closed form: T(P) = (dH + dV (P - 0.001)) / dS for each reaction. The data are of the size
// of published kyanite, andalusite and sillimanite values (Holland & Powell 2011), rounded.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "reactiondiagram/diagramfixture.hpp"
#include "reactiondiagram/intersections.hpp"
#include "reactiondiagram/ptxtable.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv::test {
namespace {

const LinearEm ky{"ky", -2593.11L, 0.0825L, 4.414L};
const LinearEm andalusite{"and", -2588.67L, 0.0922L, 5.153L};
const LinearEm sill{"sill", -2585.68L, 0.0952L, 4.986L};
// A fourth polymorph, at least 0.6 kJ less stable than the most stable of the others all over
// the window.
const LinearEm fk{"fk", -2587.5L, 0.091L, 4.8L};

// Reaction a = b as differences of H, S and V.
struct Delta {
    real h, s, v;
};
Delta delta(const LinearEm& a, const LinearEm& b) {
    return {b.h - a.h, b.s - a.s, b.v - a.v};
}
real tline(const Delta& d, real p) {
    return (d.h + d.v * (p - 0.001L)) / d.s;
}

// T calculated at P = 1, 2, ..., 10 kbar in 400-900 C, uncertainties at 5 kbar.
struct AlSiO5 : DiagramFixture {
    explicit AlSiO5(bool fourth = false) {
        std::vector<LinearEm> ems{ky, andalusite, sill};
        if (fourth) ems.push_back(fk);
        setems(ems);
        const int16 n = nem;
        const auto rx = [&](int a, int b) {
            std::vector<int16> nu(static_cast<std::size_t>(n), 0);
            nu[static_cast<std::size_t>(a - 1)] = -1;
            nu[static_cast<std::size_t>(b - 1)] = 1;
            addreaction(nu);
        };
        rx(1, 2);
        rx(1, 3);
        rx(2, 3);
        addcandidate({1, 2, 3});
        if (fourth) {
            rx(1, 4);
            rx(2, 4);
            rx(3, 4);
            addcandidate({1, 4, 5});
            addcandidate({2, 4, 6});
            addcandidate({3, 5, 6});
        }
        // Enthalpy covariance (kJ^2).
        (*cov)[1][1] = 0.25L;
        (*cov)[2][2] = 0.36L;
        (*cov)[3][3] = 0.49L;
        (*cov)[1][2] = (*cov)[2][1] = 0.1L;
        w.tformat = 0;
        grid(w.pvalues, w.npvalues, 1, 10, 10);
        ds.mode = diagramtype::ptcalc;
        ds.calcvariable = calcvariabletype::calctemperature;
        w.calcvariable = ds.calcvariable;
        ds.othervariable = othervariabletype::fixedpressure;
        ds.calcfindtype = findtype::findt;
    }
    std::string runall() {
        DiagramRun dr = run();
        FixtureLines fl(*this);
        ReactionLines& lines = fl.lines;
        Diagram d{ts.ses, ds, dr, lines};
        ptxtable(d);
        if (nreac > 2) intersections(d);
        return ts.console.output;
    }
    real var(const std::vector<int16>& nu) const {
        real v = 0;
        for (int16 i = 1; i <= nem; ++i) {
            for (int16 j = 1; j <= nem; ++j) v += nu[i - 1] * (*cov)[i][j] * nu[j - 1];
        }
        return v;
    }
};

bool has(const std::string& out, const std::string& line) {
    return out.find(line + "\n") != std::string::npos;
}

TEST(PtDiagram, ThermodynamicsRowsAreTheLinearReactionData) {
    AlSiO5 f;
    const std::string out = f.runall();
    const Delta d[3] = {delta(ky, andalusite), delta(ky, sill), delta(andalusite, sill)};
    const std::vector<int16> nu[3] = {{-1, 1, 0}, {-1, 0, 1}, {0, -1, 1}};
    EXPECT_TRUE(has(out, "\n1)  ky = and\n2)  ky = sill\n3)  and = sill"));
    EXPECT_TRUE(has(out,
                    "\nThermodynamics of reactions (0 = a + bT + cP + RT ln K)\n"
                    "linearised at T = 600, P = 5.0"));
    for (int i = 0; i < 3; ++i) {
        std::string row;
        addgreal(-4, row, i + 1);
        addreal(3, true, 10, row, d[i].h - 0.001L * d[i].v);
        addreal(2, true, 8, row, std::sqrt(f.var(nu[i])));
        addreal(6, true, 11, row, -d[i].s);
        addreal(5, true, 11, row, d[i].v);
        addreal(3, true, 9, row, 0);
        addreal(3, true, 9, row, 0);
        EXPECT_TRUE(has(out, row)) << row << "\n" << out;
    }
}

TEST(PtDiagram, LineTemperaturesAndTheirUncertainties) {
    AlSiO5 f;
    const std::string out = f.runall();
    EXPECT_TRUE(has(out,
                    "\nTemperatures in the range 400 <-> 900\xA1"
                    "C;  "));
    EXPECT_TRUE(has(out, "uncertainties at 5.0 kbars "));
    const Delta d[3] = {delta(ky, andalusite), delta(ky, sill), delta(andalusite, sill)};
    const std::vector<int16> nu[3] = {{-1, 1, 0}, {-1, 0, 1}, {0, -1, 1}};
    for (int i = 0; i < 3; ++i) {
        std::string row;
        addgreal(-6, row, i + 1);
        for (int p = 1; p <= 10; ++p) writetwin(f.w, 7, row, tline(d[i], p) - 273.15L);
        // At 5 kbar: sd(T) = sd(dH) / |dS|; sd(P) = |dS| sd(T) / |dV|.
        const real sdt = std::sqrt(f.var(nu[i])) / std::fabs(d[i].s);
        addreal(1, true, 7, row, sdt);
        addreal(2, true, 7, row, std::fabs(d[i].s * sdt / d[i].v));
        EXPECT_TRUE(has(out, row)) << row << "\n" << out;
    }
}

TEST(PtDiagram, TheInvariantPointAndItsUncertainties) {
    AlSiO5 f;
    const std::string out = f.runall();
    const Delta a = delta(ky, andalusite);
    const Delta b = delta(ky, sill);
    // dG_a = (dH_a - 0.001 dV_a) - T dS_a + P dV_a = 0 and the same for b.
    const real ha = a.h - 0.001L * a.v, hb = b.h - 0.001L * b.v;
    const real det = a.v * -b.s - -a.s * b.v;
    const real p = (-ha * -b.s - -a.s * -hb) / det;
    const real t = (a.v * -hb - b.v * -ha) / det;
    // P and T move with the enthalpy changes: (dP, dT) = -M^-1 (dH_a, dH_b).
    const real gp[2] = {b.s / det, -a.s / det};
    const real gt[2] = {b.v / det, -a.v / det};
    const std::vector<int16> na{-1, 1, 0}, nb{-1, 0, 1};
    real hab = 0;
    for (int16 i = 1; i <= 3; ++i) {
        for (int16 j = 1; j <= 3; ++j) hab += na[i - 1] * (*f.cov)[i][j] * nb[j - 1];
    }
    const real haa = f.var(na), hbb = f.var(nb);
    const auto q = [&](const real* u, const real* v) {
        return u[0] * haa * v[0] + u[0] * hab * v[1] + u[1] * hab * v[0] + u[1] * hbb * v[1];
    };
    const real sdp = std::sqrt(q(gp, gp)), sdt = std::sqrt(q(gt, gt));
    const real cor = q(gp, gt) / (sdp * sdt);
    EXPECT_TRUE(has(out, "P-T of intersections"));
    EXPECT_TRUE(has(out,
                    "window : P 1.0 <-> 10.0 kbars; T 400 <-> 900\xA1"
                    "C"));
    EXPECT_TRUE(has(out,
                    "----------------------------------------------------------\n"
                    "# stable intersection 1 involving ky and sill"));
    std::string coords = "P = ";
    writepwin(f.w, 0, coords, p);
    coords += " kbar (sd = " + realfixstr(1, true, sdp) + "), T = ";
    writetwin(f.w, 0, coords, t - 273.15L);
    coords +=
        " \xA1"
        "C (sd = " +
        realstr(sdt) + "), (cor = " + realfixstr(3, true, cor) + ")";
    EXPECT_TRUE(has(out, coords)) << coords << "\n" << out;
    EXPECT_FALSE(out.find("sorry, none in the window") != std::string::npos);
    EXPECT_FALSE(out.find("Stability of reactions") != std::string::npos);
}

TEST(PtDiagram, SlopesAndStableSidesAroundTheInvariantPoint) {
    AlSiO5 f;
    const std::string out = f.runall();
    std::string head;
    addstr("", 66, head);
    addstr("low T", 10, head);
    addstr("high T", 10, head);
    addstr("dp/dt", 10, head);
    EXPECT_TRUE(has(out, head));
    // dp/dt = dS / dV; in order of slope: and = sill (negative), ky = and, ky = sill. From the
    // point, and = sill runs to high T (low P), ky = and to low T, ky = sill to high T.
    struct Row {
        const char* text;
        const char* absent;
        Delta d;
        const char* low;
        const char* high;
    };
    const Row rows[] = {
        {"3)  and = sill", "[ky]", delta(andalusite, sill), "", "stable"},
        {"1)  ky = and", "[sill]", delta(ky, andalusite), "stable", ""},
        {"2)  ky = sill", "[and]", delta(ky, sill), "", "stable"},
    };
    std::string block;
    for (const Row& r : rows) {
        std::string line;
        addstr(r.text, -50, line);
        addstr(r.absent, 16, line);
        addstr(r.low, 10, line);
        addstr(r.high, 10, line);
        addreal(3, false, 10, line, r.d.s / r.d.v);
        block += line + "\n";
    }
    EXPECT_NE(out.find(head + "\n" + block + "\n"), std::string::npos) << block << "\n" << out;
}

TEST(PtDiagram, ALessStablePolymorphGivesMetastablePointsWithoutTables) {
    AlSiO5 f(true);
    const std::string out = f.runall();
    // Candidates 2 (ky, and, fk: 6.57 kbar, 685 C) and 4 (and, sill, fk: 5.64 kbar, 410 C) meet
    // in the window, 3 (ky, sill, fk) far outside it.
    for (const char* head : {"metastable intersection 2 involving ky and fk  or [sill]",
                             "metastable intersection 4 involving and sill fk  or [ky]"}) {
        const std::size_t at = out.find(std::string(head) + "\n");
        ASSERT_NE(at, std::string::npos) << head << "\n" << out;
        // The coordinates line follows at once: no table of reactions.
        EXPECT_EQ(out.compare(at + std::strlen(head) + 1, 4, "P = "), 0) << head;
    }
    EXPECT_NE(out.find("# stable intersection 1 involving ky and sill  or [fk]\n"),
              std::string::npos);
    EXPECT_EQ(out.find("intersection 3"), std::string::npos);
    // Every reaction of fk belongs to a printed point, ky = sill to the stable one.
    EXPECT_EQ(out.find("Stability of reactions"), std::string::npos);
}

TEST(PtDiagram, AWindowWithoutTheInvariantPoint) {
    AlSiO5 f;
    f.w.pwinlow = 6;
    f.grid(f.w.pvalues, f.w.npvalues, 6, 10, 5);
    const std::string out = f.runall();
    // At 6 kbar ky = and lies in the sillimanite field; and = sill lies below 400 C throughout.
    EXPECT_NE(out.find("window : P 6.0 <-> 10.0 kbars; T 400 <-> 900\xA1"
                       "C\n\n"
                       "sorry, none in the window\n\n"
                       "----------------------------------------------------\n"
                       "Stability of reactions not involved in intersections :\n\n"
                       "metastable   1)  ky = and\n"
                       "<= stable => 2)  ky = sill\n"
                       "*not known*  3)  and = sill\n"),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace qv::test
