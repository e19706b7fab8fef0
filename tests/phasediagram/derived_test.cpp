// Quantities derived from a solved point and printed with it: the chemical potentials of the
// components, a(H2O) and mu(O) of the modes table, and the liquid in oxide and species mol%,
// against values worked out independently from the dataset's own G.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "phasediagram/resultprinters.hpp"
#include "solver/derivedmu.hpp"
#include "support/near.hpp"
#include "thermo/fluids.hpp"
#include "thermo/settings.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

Ds62& dataset() {
    static Ds62 d;
    return d;
}

// The words of a line.
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

// Every block of chemical potentials on the screen: component name to value.
std::vector<std::map<std::string, real>> potentials(const std::string& screen) {
    std::vector<std::map<std::string, real>> all;
    for (std::size_t at = screen.find("\n mu   "); at != std::string::npos;
         at = screen.find("\n mu   ", at + 1)) {
        const std::size_t l1 = at + 1;
        const std::size_t l2 = screen.find('\n', l1) + 1;
        const std::size_t e2 = screen.find('\n', l2);
        std::vector<std::string> names = words(screen.substr(l1, l2 - l1));
        const std::vector<std::string> values = words(screen.substr(l2, e2 - l2));
        names.erase(names.begin());  // "mu"
        std::map<std::string, real> block;
        for (std::size_t k = 0; k < names.size() && k < values.size(); ++k) {
            block[names[k]] = std::stold(values[k]);
        }
        all.push_back(block);
    }
    return all;
}

TEST(ComponentPotentials, EveryEndMemberIsTheSumOfItsComponents) {
    // Garnet z(g) 0.2 and plagioclase ca(pl) 0.5 with kyanite and quartz, P at 600 and 700 C.
    PdCase c(R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
calcTatP no
calcT 600 700 100
isopleth z(g) 0.2 ca(pl) 0.5
calcmu yes
autoexit
*
)");
    c.go();
    ASSERT_EQ(c.points.size(), 2u) << c.screen();
    const auto mus = potentials(c.screen());
    ASSERT_EQ(mus.size(), 2u) << c.screen();
    // Formulae in the oxides, with the activities of the ideal sites at this composition.
    const struct {
        const char* em;
        std::map<std::string, real> oxides;
        real a;
    } ems[] = {
        {"q", {{"SiO2", 1}}, 1},
        {"ky", {{"SiO2", 1}, {"Al2O3", 1}}, 1},
        {"gr", {{"SiO2", 3}, {"Al2O3", 1}, {"CaO", 3}}, 0.2L * 0.2L * 0.2L},
        {"py", {{"SiO2", 3}, {"Al2O3", 1}, {"MgO", 3}}, 0.8L * 0.8L * 0.8L},
        {"an", {{"SiO2", 2}, {"Al2O3", 1}, {"CaO", 1}}, 0.5L},
        {"ab", {{"SiO2", 3}, {"Al2O3", 0.5L}, {"Na2O", 0.5L}}, 0.5L},
    };
    Ds62& d = dataset();
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& pt = c.points[i];
        ASSERT_EQ(mus[i].size(), 5u) << c.screen();
        for (const auto& e : ems) {
            real sum = 0;
            for (const auto& [ox, n] : e.oxides) {
                ASSERT_EQ(mus[i].count(ox), 1u) << ox;
                sum += n * mus[i].at(ox);
            }
            const real mu = d.g(d.find(e.em), pt.p, pt.t) + rgas * pt.t * std::log(e.a);
            // Printed with 5 decimals; the point is solved to well below that.
            EXPECT_ABS_NEAR(static_cast<double>(sum), static_cast<double>(mu), 2e-4)
                << e.em << " at T = " << static_cast<double>(pt.t);
        }
    }
    // The potentials go with each result, under a header repeated for every row.
    const std::string& s = c.screen();
    EXPECT_NE(s.find(" mu           SiO2       Al2O3         CaO         MgO        Na2O\n"),
              std::string::npos)
        << s;
    EXPECT_EQ(s.find("not built yet"), std::string::npos) << s;
}

// An ideal plagioclase, held at an isopleth in each run (its sodium and calcium take part in no
// reaction), with pure phases for the dehydration of muscovite, kyanite = sillimanite and the
// fayalite-magnetite-quartz oxygen buffer.
const std::string pureax = R"(% plagioclase with pure phases
header
  muscovite dehydration, Al2SiO5 and FMQ with an ideal plagioclase
header

)" + plagioclaseax + R"(
mu
q
san
ky
sill
H2O
fa
mt
*
)";

// A univariant line of the phases `with` (and the plagioclase), T at 4 and 6 kbar.
std::string linescript(const std::string& with, const std::string& switches) {
    return "axfile axgasp\nwith pl " + with +
           "\ndiagramPT 1 10 400 1000\npseudosection no\ninexcess yes\ncalcTatP yes\n"
           "calcP 4 6 2\nisopleth ca(pl) 0.5\n" +
           switches + "\nautoexit\n*\n";
}

// The modes table of the last result of a finished run, had it one mode set of one phase: the
// end-members, their activities and the composition matrix of the run are still those of that
// point.
std::string lastmodestable(PdCase& c, const std::string& script) {
    ScriptSettings& sc = c.run.script;
    sc.calcah2ocb = script.find("calca(H2O) yes") != std::string::npos ? controlboolean::yes
                                                                       : controlboolean::no;
    sc.calcmuocb =
        script.find("calcmuo yes") != std::string::npos ? controlboolean::yes : controlboolean::no;
    auto rl = std::make_unique<ReactionLists>();
    const GemSettings gs = gemsettings(c.run);
    auto st = std::make_unique<SolveState>();
    st->rl = rl.get();
    st->gs = &gs;
    Result& r = st->cur;
    r.p = c.points.back().p;
    r.t = c.points.back().t;
    r.nbulk = 1;
    r.nmodesteps = 1;
    r.nphases = 1;
    r.ph[1].name = "all";
    r.ph[1].hasmode = true;
    r.ph[1].mode[1] = 1;
    c.pd->compatrowon = false;
    const std::size_t from = c.screen().size();
    printmodes(c.ts.ses, c.run, *c.pd, *st);
    return c.screen().substr(from);
}

// The value under heading `name` in a table of a header line and one value line.
real column(const std::string& table, const std::string& name) {
    std::istringstream in(table);
    std::string head;
    std::string values;
    while (head.find("mode") == std::string::npos && std::getline(in, head)) {
    }
    std::getline(in, values);
    const std::vector<std::string> h = words(head);
    const std::vector<std::string> v = words(values);
    for (std::size_t k = 0; k < h.size(); ++k) {
        // The mode column has no value under "mode"; the values line up from the right.
        if (h[k] == name) return std::stold(v[v.size() - (h.size() - k)]);
    }
    ADD_FAILURE() << name << " not in\n" << table;
    return 0;
}

// G of one mole of H2O gas on the reference of the water activity.
real h2ogas(Session& ses, real p, real t) {
    return h2ogasg0(t) + spfluid(ses, dataset().gs.newspfluid, p, t).rtlnf;
}

TEST(ModesTable, WaterActivityOfTheAssemblage) {
    Ds62& d = dataset();
    {
        // On the dehydration line H2O itself is a phase: a(H2O) is the ratio of the fugacities
        // of the dataset's water and of the reference gas, close to 1.
        const std::string script = linescript("mu q san sill H2O", "calca(H2O) yes");
        PdCase c(script, "", pureax);
        c.go();
        ASSERT_EQ(c.points.size(), 2u) << c.screen();
        const std::string table = lastmodestable(c, script);
        const auto& pt = c.points.back();
        const real expected = std::exp(
            (d.g(d.find("H2O"), pt.p, pt.t) - h2ogas(c.ts.ses, pt.p, pt.t)) / (rgas * pt.t));
        EXPECT_ABS_NEAR(static_cast<double>(column(table, "a(H2O)")), static_cast<double>(expected),
                        1e-4)
            << table;
        EXPECT_ABS_NEAR(static_cast<double>(column(table, "a(H2O)")), 1, 0.02) << table;
    }
    {
        // On kyanite = sillimanite, muscovite + quartz + sanidine fix a(H2O) by
        // mu + q = san + sill + H2O.
        const std::string script = linescript("mu q san ky sill", "calca(H2O) yes");
        PdCase c(script, "", pureax);
        c.go();
        ASSERT_EQ(c.points.size(), 2u) << c.screen();
        const std::string table = lastmodestable(c, script);
        const auto& pt = c.points.back();
        const real dg = d.g(d.find("san"), pt.p, pt.t) + d.g(d.find("sill"), pt.p, pt.t) +
                        h2ogas(c.ts.ses, pt.p, pt.t) - d.g(d.find("mu"), pt.p, pt.t) -
                        d.g(d.find("q"), pt.p, pt.t);
        EXPECT_ABS_NEAR(static_cast<double>(column(table, "a(H2O)")),
                        static_cast<double>(std::exp(-dg / (rgas * pt.t))), 1e-4)
            << table;
        EXPECT_EQ(c.run.dataset.nem, 7);  // the end-members of the calculation are put back
    }
}

TEST(ModesTable, OxygenPotentialOfFayaliteMagnetiteQuartz) {
    // On kyanite = sillimanite, 3 fa + 2 O = 2 mt + 3 q.
    const std::string script = linescript("fa mt q ky sill", "calcmuo yes");
    PdCase c(script, "", pureax);
    c.go();
    ASSERT_EQ(c.points.size(), 2u) << c.screen();
    const std::string table = lastmodestable(c, script);
    Ds62& d = dataset();
    const auto& pt = c.points.back();
    const real muo = (2 * d.g(d.find("mt"), pt.p, pt.t) + 3 * d.g(d.find("q"), pt.p, pt.t) -
                      3 * d.g(d.find("fa"), pt.p, pt.t)) /
                     2;
    EXPECT_ABS_NEAR(static_cast<double>(column(table, "mu(O)")), static_cast<double>(muo), 1e-4)
        << table;
    EXPECT_EQ(table.find("a(H2O)"), std::string::npos) << table;
}

// The numbers of a line of the screen that follows the line `after`, from `from` on.
std::vector<real> numbersafter(const std::string& screen, const std::string& after, int lines,
                               std::size_t& from) {
    from = screen.find(after, from);
    if (from == std::string::npos) return {};
    std::size_t at = from + 1;
    for (int k = 0; k < lines; ++k) at = screen.find('\n', at) + 1;
    std::vector<real> v;
    for (const std::string& w : words(screen.substr(at, screen.find('\n', at) - at))) {
        if (w != "==>") v.push_back(std::stold(w));
    }
    return v;
}

TEST(LiquidConversion, OxideAndSpeciesProportionsOfTheLiquid) {
    // The plagioclase of the garnet fixture renamed as a liquid of anorthite and albite
    // composition, held at ca(liq) 0.5: SiO2 2.5, Al2O3 0.75, CaO 0.5, Na2O 0.25 moles. CaO is
    // only in the anorthite species, then SiO2 only in the albite species: 0.5 of each.
    std::string ax = gaspax;
    for (std::size_t at = ax.find("pl"); at != std::string::npos; at = ax.find("pl", at + 1)) {
        ax.replace(at, 2, "liq");
    }
    PdCase c(R"(axfile axgasp
with g liq ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
calcTatP no
calcT 600 700 100
isopleth z(g) 0.2 ca(liq) 0.5
convliq yes 2 1 1 0 0
convliq yes 3 0.5 0 0 0.5
autoexit
*
)",
             "", ax);
    c.go();
    ASSERT_EQ(c.points.size(), 2u) << c.screen();
    const std::string& s = c.screen();
    const std::string head =
        "\n             " + std::string("   SiO2  Al2O3    CaO    MgO   Na2O\n");
    // Molar masses (g/mol): SiO2 60.0843, Al2O3 101.9613, CaO 56.0774, Na2O 61.9789.
    const real man = 2 * 60.0843L + 101.9613L + 56.0774L;
    const real mab = 3 * 60.0843L + 0.5L * 101.9613L + 0.5L * 61.9789L;
    const std::vector<real> oxides = {62.5L, 18.75L, 12.5L, 0, 6.25L};
    const std::vector<real> species = {50, 50};
    const std::vector<real> wt = {100 * man / (man + mab), 100 * mab / (man + mab)};
    std::size_t from = 0;
    for (int k = 0; k < 2; ++k, ++from) {
        const struct {
            int line;
            const std::vector<real>& expected;
            double tol;  // the printed proportions carry two or three significant digits
        } rows[] = {{1, oxides, 0.06}, {2, species, 0.06}, {3, wt, 0.6}};
        for (const auto& row : rows) {
            std::size_t at = from;
            const std::vector<real> v = numbersafter(s, head, row.line, at);
            ASSERT_EQ(v.size(), row.expected.size()) << "result " << k << "\n" << s;
            for (std::size_t i = 0; i < v.size(); ++i) {
                EXPECT_ABS_NEAR(static_cast<double>(v[i]), static_cast<double>(row.expected[i]),
                                row.tol)
                    << "result " << k << ", line " << row.line << "\n"
                    << s;
            }
            from = at;
        }
    }
    EXPECT_EQ(s.find("not built yet"), std::string::npos) << s;
}

}  // namespace
}  // namespace qv::test
