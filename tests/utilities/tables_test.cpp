// Thermodynamic tables, the end-member list of a system and activities from chemical potentials.

#include "utilities/tables.hpp"

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/near.hpp"
#include "thermo/fluids.hpp"
#include "thermo/gem.hpp"
#include "thermo/settings.hpp"
#include "utilities/utilityfixture.hpp"

namespace qv::test {
namespace {

// The value printed after "name =" in a single-point G table.
long double gof(const std::string& out, const std::string& name) {
    const std::string key = "\n" + std::string(6 - name.size(), ' ') + name + " =";
    const auto at = out.find(key);
    if (at == std::string::npos) return NAN;
    std::istringstream in(out.substr(at + key.size()));
    long double g = NAN;
    in >> g;
    return g;
}

// The rows of the table titled `title`: after the title, an empty line and the heading, one
// line of numbers per pressure (the pressure first).
std::vector<std::vector<long double>> rows(const std::string& out, const std::string& title,
                                           int np) {
    std::vector<std::vector<long double>> r;
    auto at = out.find("\n" + title + "\n\n");
    if (at == std::string::npos) return r;
    at = out.find('\n', at + title.size() + 3);  // the end of the heading
    for (int i = 0; i < np; ++i) {
        const auto end = out.find('\n', at + 1);
        std::istringstream line(out.substr(at + 1, end - at - 1));
        std::vector<long double> values;
        for (long double x; line >> x;) values.push_back(x);
        r.push_back(values);
        at = end;
    }
    return r;
}

std::string fmt(const char* format, long double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

TEST(TableGrid, ListsRangesAndDefaults) {
    struct Case {
        std::string answers;
        int np;
        long double p1, p2, plast;
        int nt;
        long double t1, t2;
        bool refused = false;  // an answer was refused and asked again
    };
    std::string many;  // 41 pressures, one more than a grid holds
    for (int i = 1; i <= 41; ++i) many += std::to_string(i) + " ";
    const Case cases[] = {
        {"10 20 5\n\n", 3, 10, 15, 20, 1, 278.15L, 0},
        {"5 10 15\n0 800 100\n", 3, 5, 10, 15, 9, 298.15L, 373.15L},
        // 51 values would be too many: 10 values, the first pressure 0.001
        {"0 50 1\n\n", 10, 0.001L, 5, 45, 1, 278.15L, 0},
        {"\n\n", 1, 5, 0, 5, 1, 278.15L, 0},
        // a pressure of 0 kbar or below, a temperature at or below absolute zero: asked again
        {"0 5\n5\n\n", 1, 5, 0, 5, 1, 278.15L, 0, true},
        {"5\n-273.15 700 100\n0 800 100\n", 1, 5, 0, 5, 9, 298.15L, 373.15L, true},
        {"5\n500 -300\n\n", 1, 5, 0, 5, 1, 278.15L, 0, true},
        // a list longer than the grid holds: asked again
        {many + "\n6\n\n", 1, 6, 0, 6, 1, 278.15L, 0, true},
    };
    for (const Case& c : cases) {
        UtilityRun u(c.answers);
        PtGrid g;
        PTgrid(u.t.ses, *u.run, g);
        ASSERT_EQ(g.np, c.np) << c.answers;
        EXPECT_REL_NEAR(g.p[1], c.p1, 1e-15L);
        if (c.np > 1) EXPECT_REL_NEAR(g.p[2], c.p2, 1e-15L);
        EXPECT_REL_NEAR(g.p[g.np], c.plast, 1e-15L);
        ASSERT_EQ(g.nt, c.nt);
        EXPECT_REL_NEAR(g.t[1], c.t1, 1e-15L);
        if (c.nt > 1) EXPECT_REL_NEAR(g.t[2], c.t2, 1e-15L);
        const std::string out = u.screen();
        EXPECT_EQ(out.find(": must be above ") != std::string::npos ||
                      out.find("too many values (max = 40)") != std::string::npos,
                  c.refused)
            << out;
    }
    // 10 5 6: the second is below the third, so a list of three.
    UtilityRun list("10 5 6\n\n");
    PtGrid g;
    PTgrid(list.t.ses, *list.run, g);
    EXPECT_EQ(g.np, 3);
    for (const char* odd : {"10 5 0\n", "\n20 10 5\n"}) {
        UtilityRun u(odd);
        EXPECT_BOMB(PTgrid(u.t.ses, *u.run, g), "PTgrid", "odd P");
    }
}

TEST(Tables, GibbsEnergiesEqualTheEndMemberOracle) {
    UtilityRun u("5\n500\n");
    u.go("utilitycode 2\ntablecode 0\n");
    const std::string& out = u.screen();
    EXPECT_NE(out.find("G at 5.000 kbar and 500.00 \xC2\xB0"
                       "C\n\n"),
              std::string::npos)
        << out;
    qv::Run& run = *u.run;
    const GemSettings gs = gemsettings(run);
    ASSERT_EQ(run.dataset.nem, 4);  // py, alm, gr, q
    for (int k = 1; k <= run.dataset.nem; ++k) {
        const std::string& name = run.dataset.emnames[k];
        const long double g = gem(u.t.ses, gs, (*run.arrays.td)[k], name, 5, 773.15L);
        EXPECT_ABS_NEAR(gof(out, name), g, 1e-9L) << name << out;
    }
}

TEST(Tables, WaterVolumeAndFugacity) {
    // Published water volumes (the verification values of IAPWS-IF97, Wagner et al. 2000):
    // 500 kg/m3 at 750 K and 78.3095639 MPa; 5.42946619e-3 m3/kg at 700 K and 30 MPa.
    // V in kJ/kbar is 18.0152 g/mol times cm3/g, over 10.
    UtilityRun u("0.783095639\n476.85\n");
    u.go("utilitycode 2\ntablecode 3\n");
    EXPECT_NE(u.screen().find("V(H2O)"), std::string::npos);
    const bool newsp = u.run->dataset.newspfluid;
    EXPECT_REL_NEAR(spfluid(u.t.ses, newsp, 0.783095639L, 750).v, 18.0152L * 2 / 10, 0.01L);
    EXPECT_REL_NEAR(spfluid(u.t.ses, newsp, 0.3L, 700).v, 18.0152L * 5.42946619L / 10, 0.01L);
    // d(RT ln f)/dP = V, and at 1 bar and 1000 C the gas is nearly ideal: f close to 1 bar.
    const long double h = 1e-3L;
    for (const long double p : {1.0L, 5.0L}) {
        const long double up = spfluid(u.t.ses, true, p + h, 873.15L).rtlnf;
        const long double down = spfluid(u.t.ses, true, p - h, 873.15L).rtlnf;
        EXPECT_REL_NEAR((up - down) / (2 * h), spfluid(u.t.ses, true, p, 873.15L).v, 1e-4L);
    }
    EXPECT_ABS_NEAR(spfluid(u.t.ses, true, 0.001L, 1273.15L).rtlnf, 0.0L, 0.1L);
}

TEST(Tables, WaterAgainstTheIapws95Formulation) {
    // H2O from the IAPWS-95 formulation (Wagner & Pruss 2002, J. Phys. Chem. Ref. Data 31, 387),
    // M = 18.015268 g/mol: V in kJ/kbar (cm3/mol over 10) and R T ln f with f in bar and
    // R = 0.0083144 kJ/K/mol, from the formulation's fugacity coefficient (for example 0.3611 at
    // 500 C and 2 kbar, 0.7654 at 700 C and 5 kbar). Points well above the critical point, where
    // the Sterner-Pitzer equation of the dataset follows IAPWS-95 to about 1 %.
    const long double tc[3] = {500, 600, 700};
    const long double p[3] = {2, 5, 10};
    const long double v[3][3] = {{2.60551L, 3.05678L, 3.61321L},
                                 {2.07002L, 2.22675L, 2.40067L},
                                 {1.78380L, 1.86628L, 1.95226L}};
    const long double rtlnf[3][3] = {{42.3126L, 50.5238L, 58.2925L},
                                     {49.1386L, 58.1005L, 66.7511L},
                                     {58.6664L, 68.1814L, 77.4251L}};
    UtilityRun f("2 5 10\n500 600 700\n");
    f.go("utilitycode 2\ntablecode 1\n");
    UtilityRun vol("2 5 10\n500 600 700\n");
    vol.go("utilitycode 2\ntablecode 3\n");
    const auto frows = rows(f.screen(), "RT ln f(H2O)", 3);
    const auto vrows = rows(vol.screen(), "V(H2O)", 3);
    ASSERT_EQ(frows.size(), 3u) << f.screen();
    ASSERT_EQ(vrows.size(), 3u) << vol.screen();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(frows[i].size(), 4u);
        ASSERT_EQ(vrows[i].size(), 4u);
        EXPECT_EQ(frows[i][0], p[i]);
        for (int j = 0; j < 3; ++j) {
            SCOPED_TRACE(std::to_string(static_cast<int>(p[i])) + " kbar, " +
                         std::to_string(static_cast<int>(tc[j])) + " C");
            EXPECT_REL_NEAR(frows[i][j + 1], rtlnf[i][j], 0.01L);
            EXPECT_REL_NEAR(vrows[i][j + 1], v[i][j], 0.01L);
        }
    }
}

TEST(Tables, FluidTableLayouts) {
    // Each table: the title with an empty line before and after, a heading of "kbar" in 7, " °C"
    // and the temperatures in 8, then per pressure the pressure (1 decimal, in 8 for H2O's
    // fugacity and in 7 otherwise), 3 blanks and the values with 3 decimals in 8.
    UtilityRun f("1 2\n500 700\n");
    f.go("utilitycode 2\ntablecode 1\n");
    UtilityRun other("1 2\n500 700\n");
    other.go("utilitycode 2\ntablecode 2\n");
    UtilityRun vol("1 2\n500 700\n");
    vol.go("utilitycode 2\ntablecode 3\n");
    Session& ses = f.t.ses;
    const bool newsp = f.run->dataset.newspfluid;
    const std::string heading =
        "   kbar \xC2\xB0"
        "C     500     700\n";
    struct Table {
        const std::string* out;
        std::string title;
        int pwidth;
        std::function<long double(long double, long double)> value;
    };
    const Table tables[] = {
        {&f.screen(), "RT ln f(H2O)", 8,
         [&](long double p, long double t) { return spfluid(ses, newsp, p, t).rtlnf; }},
        {&f.screen(), "RT ln f(CO2)", 7,
         [&](long double p, long double t) { return spfluid2(ses, newsp, p, t).rtlnf; }},
        {&other.screen(), "RT ln f(CH4)", 7,
         [](long double p, long double t) { return corkfluid(p, t, 0.046L, 190.6L).rtlnf; }},
        {&other.screen(), "RT ln f(H2)", 7,
         [](long double p, long double t) { return corkfluid(p, t, 0.0211L, 41.2L).rtlnf; }},
        {&other.screen(), "RT ln f(H2S)", 7,
         [](long double p, long double t) { return corkfluid(p, t, 0.0893L, 373.2L).rtlnf; }},
        {&other.screen(), "RT ln f(S2)", 7,
         [](long double p, long double t) { return corkfluid(p, t, 0.08L, 259.6L).rtlnf; }},
        {&vol.screen(), "V(H2O)", 7,
         [&](long double p, long double t) { return spfluid(ses, newsp, p, t).v; }},
        {&vol.screen(), "V(CO2)", 7,
         [&](long double p, long double t) { return spfluid2(ses, newsp, p, t).v; }},
    };
    for (const Table& t : tables) {
        std::string want = "\n" + t.title + "\n\n" + heading;
        for (const long double p : {1.0L, 2.0L}) {
            want += fmt(t.pwidth == 8 ? "%8.1Lf" : "%7.1Lf", p) + "   ";
            for (const long double tk : {773.15L, 973.15L}) want += fmt("%8.3Lf", t.value(p, tk));
            want += "\n";
        }
        EXPECT_NE(t.out->find(want), std::string::npos) << want << *t.out;
    }
    // The CO2 table follows the H2O table, and the four other gases come in this order.
    EXPECT_LT(f.screen().find("RT ln f(H2O)"), f.screen().find("RT ln f(CO2)"));
    EXPECT_LT(other.screen().find("(H2)"), other.screen().find("(H2S)"));
    EXPECT_LT(other.screen().find("(H2S)"), other.screen().find("(S2)"));
}

// The aluminosilicates as pure phases.
const char* const al2sio5ax = R"(% the aluminosilicates
header
  aluminosilicates
header

ky
sill
and
*
)";

// A run of the reaction table on the aluminosilicates.
struct ReactionRun : UtilityRun {
    explicit ReactionRun(const std::string& answers) : UtilityRun(answers) {
        axfile = "axal";
        dir.write("qv-axal.txt", al2sio5ax);
        go("utilitycode 2\ntablecode 4\nwith ky sill and\n");
    }
    // G of the reaction with coefficients nu (ky, sill, and) at p (kbar) and t (K), from the
    // end-member Gibbs energies.
    long double dg(const long double nu[3], long double p, long double tk) {
        const GemSettings gs = gemsettings(*run);
        long double sum = 0;
        for (int k = 1; k <= 3; ++k) {
            sum += nu[k - 1] * gem(t.ses, gs, (*run->arrays.td)[k], run->dataset.emnames[k], p, tk);
        }
        return sum;
    }
};

TEST(ReactionTable, PointAtOrBelowZeroIsAskedAgain) {
    ReactionRun u("\n\n0\n5\n-273.15\n600\n0\n");
    const std::string& out = u.screen();
    EXPECT_NE(out.find("  P : P = 0: must be above 0 kbar\n  P :   T\xC2\xB0"
                       "C : T = -273.15: must be above absolute zero\n  T\xC2\xB0"
                       "C : (a, b and c includes fluid fugacities, at P = 5.0 kbar and T = 600"),
              std::string::npos)
        << out;
}

TEST(ReactionTable, LinearisedThermodynamicsAndTheirErrorMatrix) {
    // The first grid is not used; the reactions are linearised about 5 kbar and 600 C; the
    // error matrix of reaction 1 on 4 and 6 kbar by 500 and 700 C; then 0 ends the table.
    ReactionRun u("\n\n5\n600\n1\n4 6\n500 700\n0\n");
    const std::string& out = u.screen();
    ASSERT_EQ(u.run->dataset.nem, 3);
    const std::string top =
        "Thermodynamics of reactions (delta G^0 = a + bT + cP)\n\nspecification of table PT\n";
    EXPECT_NE(out.find(top), std::string::npos) << out;
    const std::string heading =
        "(a, b and c includes fluid fugacities, at P = 5.0 kbar and T = 600\xC2\xB0"
        "C)\n\n        ky sill  and         a         b         c\n";
    auto at = out.find(heading);
    ASSERT_NE(at, std::string::npos) << out;
    at += heading.size();
    const long double p = 5, t = 873.15L, hp = 1e-3L, ht = 1e-2L;
    long double first[3] = {};
    for (int i = 1; i <= 3; ++i) {
        const auto end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        ASSERT_EQ(line.size(), 50u) << line;  // the number and 3 coefficients in 5, a b c in 10
        std::istringstream in(line);
        int number = 0;
        in >> number;
        EXPECT_EQ(number, i);
        long double nu[3] = {};
        int nonzero = 0;
        long double balance = 0;
        for (long double& n : nu) {
            std::string w;
            in >> w;
            n = w == "." ? 0 : std::stold(w);
            if (n != 0) ++nonzero;
            balance += n;
        }
        // Polymorphs: each reaction turns one of them into another.
        EXPECT_EQ(nonzero, 2) << line;
        EXPECT_EQ(balance, 0) << line;
        long double a = 0, b = 0, c = 0;
        in >> a >> b >> c;
        // dG = a + bT + cP about the point: b = -dS and c = dV by central differences of G.
        const long double bfd = (u.dg(nu, p, t + ht) - u.dg(nu, p, t - ht)) / (2 * ht);
        const long double cfd = (u.dg(nu, p + hp, t) - u.dg(nu, p - hp, t)) / (2 * hp);
        const long double afd = u.dg(nu, p, t) - bfd * t - cfd * p;
        EXPECT_REL_NEAR(a, afd, 6e-4L);
        EXPECT_ABS_NEAR(b, bfd, 6e-6L) << line;
        EXPECT_ABS_NEAR(c, cfd, 6e-4L) << line;
        if (i == 1) {
            // Kyanite to sillimanite: near the dataset's dV and dS at 1 bar and 25 C, 0.572 J/bar
            // (4.986 - 4.414) and 11.9 J/K (95.4 - 83.5).
            EXPECT_EQ(line.substr(0, 20), "    1    1   -1    .");
            EXPECT_ABS_NEAR(c, -0.55L, 0.03L);
            EXPECT_ABS_NEAR(b, 0.0115L, 0.001L);
            std::copy(nu, nu + 3, first);
        }
    }

    // The error matrix: dG less its linear form, 2 decimals, one line per pressure.
    const std::string matrix =
        "error matrix for linearisation\nwhich reaction : \nspecification of table PT\n";
    at = out.find(matrix);
    ASSERT_NE(at, std::string::npos) << out;
    const std::string theading = "          500.00  700.00\n";
    at = out.find(theading, at);
    ASSERT_NE(at, std::string::npos) << out;
    at += theading.size();
    const long double bfd = (u.dg(first, p, t + ht) - u.dg(first, p, t - ht)) / (2 * ht);
    const long double cfd = (u.dg(first, p + hp, t) - u.dg(first, p - hp, t)) / (2 * hp);
    const long double afd = u.dg(first, p, t) - bfd * t - cfd * p;
    for (const long double pi : {4.0L, 6.0L}) {
        const auto end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        ASSERT_EQ(line.size(), 24u) << line;
        std::istringstream in(line);
        long double pr = 0;
        in >> pr;
        EXPECT_EQ(pr, pi);
        for (const long double tk : {773.15L, 973.15L}) {
            long double e = 0;
            in >> e;
            const long double want = u.dg(first, pi, tk) - (afd + bfd * tk + cfd * pi);
            EXPECT_ABS_NEAR(e, want, 0.0051L) << line;
        }
    }
    EXPECT_EQ(out.substr(at, 17), "which reaction : ");
    EXPECT_EQ(out.find("specification of table PT", at), std::string::npos);
}

TEST(ReactionTable, NoErrorMatrixAndNoReactions) {
    ReactionRun none("\n\n5\n600\n0\n");
    const std::string& out = none.screen();
    const auto at = out.find("error matrix for linearisation\nwhich reaction : ");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find("specification of table PT", at), std::string::npos) << out;

    // Kyanite alone has nothing to react with.
    UtilityRun one;
    one.axfile = "axky";
    one.dir.write("qv-axky.txt", "% kyanite\nheader\n  kyanite\nheader\n\nky\n*\n");
    EXPECT_BOMB(one.go("utilitycode 2\ntablecode 4\n"), "rthermo", "no reactions");
}

TEST(EndMemberList, NamesNumbersAndSymbolsGiveTheSameSystem) {
    std::string lists[3];
    const char* answers[3] = {"SiO2 MgO\n", "1 5\n", "Si Mg\n"};
    for (int i = 0; i < 3; ++i) {
        UtilityRun u(answers[i]);
        u.go("utilitycode 4\n");
        const std::string& out = u.screen();
        lists[i] = out.substr(out.find("which system? : "));
        lists[i] = lists[i].substr(lists[i].find('\n'));
    }
    EXPECT_EQ(lists[0], lists[1]);
    EXPECT_EQ(lists[0], lists[2]);
    EXPECT_NE(lists[0].find("       q      1      -"), std::string::npos) << lists[0];
    EXPECT_NE(lists[0].find("      fo      1      2"), std::string::npos) << lists[0];
    EXPECT_EQ(lists[0].find("     alm"), std::string::npos);

    UtilityRun bad("SiO2 xyz MgO\n");
    EXPECT_BOMB(bad.go("utilitycode 4\n"), "domakelist", "something wrong");
    UtilityRun none("xyz\n");
    EXPECT_BOMB(none.go("utilitycode 4\n"), "domakelist", "no system specified 2");
}

TEST(ActivitiesFromMu, PotentialEqualToGGivesUnitActivity) {
    UtilityRun table("5\n500\n");
    table.go("utilitycode 2\ntablecode 0\nwith omit gt\nxyzguess x(gt) 0.5\nxyzguess z(gt) 0.1\n");
    std::ostringstream g;
    g.precision(12);
    g << std::fixed << static_cast<double>(gof(table.screen(), "q"));

    UtilityRun u;
    u.go(
        "utilitycode 3\nwith omit gt\nxyzguess x(gt) 0.5\nxyzguess z(gt) 0.1\nmuval PT 5 "
        "500\nmuval SiO2 " +
        g.str() + " MgO -600\n");
    EXPECT_NE(u.screen().find("a(q) =  1.0000\n"), std::string::npos) << u.screen();

    UtilityRun missing;
    EXPECT_BOMB(missing.go("utilitycode 3\nwith omit gt\nxyzguess x(gt) 0.5\nxyzguess z(gt) "
                           "0.1\nmuval PT 5 500\nmuval MgO -600\n"),
                "acalc", "SiO2 not recognised");
}

}  // namespace
}  // namespace qv::test
