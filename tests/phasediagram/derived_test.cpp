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
            EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(mu), 2e-4)
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

}  // namespace
}  // namespace qv::test
