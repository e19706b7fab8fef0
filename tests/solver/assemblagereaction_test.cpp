// Balanced reactions among the phases of a solved point: the text of a reaction and the
// gathering of the phases' columns.

#include "solver/assemblagereaction.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/phasefixture.hpp"

namespace qv::test {
namespace {

TEST(PrintReaction, WholeNumbersRelativeToTheSmallestTerm) {
    struct Case {
        std::vector<real> x;
        const char* text;
    };
    const Case cases[] = {
        {{-1, -1.5L, 2.5L}, "10a + 15b = 25c"},
        {{-1, -2, 3}, "a + 2b = 3c"},
        {{2, -1, -1}, "b + c = 2a"},
        {{-1, -0.0005L, 1.0005L}, "10a + 0b = 10c"},  // a trace term
        {{-1, 1e-9L, 1}, "a = c"},                    // below 1e-7 of the largest: left out
    };
    strings names;
    names[1] = "a";
    names[2] = "b";
    names[3] = "c";
    for (const Case& c : cases) {
        emvector x;
        for (std::size_t i = 0; i < c.x.size(); ++i) x[static_cast<int>(i + 1)] = c.x[i];
        EXPECT_EQ(printreaction(x, names, 3), c.text);
    }
}

// Pure phases q (SiO2), cor (Al2O3) and ky (Al2SiO5) with H2O in two components.
struct PureRun : PhaseRun {
    PureRun() {
        run.dataset.components.ncomp = 3;
        run.dataset.components.compdenom.fill(1);
        add("ky", {1, 1, 0});
        add("H2O", {0, 0, 1});
        add("q", {0, 1, 0});
        add("cor", {1, 0, 0});
        run.nss = 0;
    }
    void add(const std::string& name, const std::vector<int16>& comp) {
        ptype0& ph = addpure(name);
        for (std::size_t c = 0; c < comp.size(); ++c) ph.comp[static_cast<int>(c + 1)] = comp[c];
    }
};

TEST(AssemblageReaction, BalancesThePhasesOfTheSet) {
    PureRun r;
    CrossRefs xref;
    eqvector x;
    bemvector phases;
    phases[1] = phases[3] = phases[4] = true;  // ky, q, cor
    const AssemblageReaction ar = assemblagereaction(r.run, xref, x, phases, false, 1);
    EXPECT_EQ(ar.n, 3);
    EXPECT_EQ(ar.text, "q + cor = ky");
    EXPECT_EQ(ar.names[1], "ky");
}

TEST(AssemblageReaction, SingularLastStepGivesNoReaction) {
    PureRun r;
    CrossRefs xref;
    eqvector x;
    bemvector phases;
    phases[1] = phases[3] = phases[4] = true;
    const AssemblageReaction ar = assemblagereaction(r.run, xref, x, phases, true, 1);
    EXPECT_EQ(ar.n, 0);
    EXPECT_EQ(ar.text, "####");
}

}  // namespace
}  // namespace qv::test
