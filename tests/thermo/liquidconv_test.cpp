// The liquid of a solved point as oxide and species mol% and wt% by the conversion matrix, and
// the fluid content with the rest of the assemblage in per cent of the marked components.

#include "thermo/liquidconv.hpp"

#include <gtest/gtest.h>

#include <string>

#include "calcfixture.hpp"
#include "support/near.hpp"

namespace qv::test {
namespace {

// A two-end-member phase on one site: variable 1 is the proportion of the second end-member.
ptype1 binary(const std::string& name, const std::string& e1, const std::string& e2,
              std::initializer_list<int16> c1, std::initializer_list<int16> c2) {
    ptype1 ph = onesite(name, {e1, e2}, axtype::ideal);
    int k = 1;
    for (int16 v : c1) ph.em[1].comp[k++] = v;
    k = 1;
    for (int16 v : c2) ph.em[2].comp[k++] = v;
    return ph;
}

// Solution phases 1 and 2 of two end-members each, in the calculation in that order, and pure
// phases after them; the natural solver values x (3: phase 1, 4: phase 2) and the modes.
struct Point {
    TestSession ts;
    std::unique_ptr<prectype1> prec1 = std::make_unique<prectype1>();
    std::unique_ptr<prectype0> prec0 = std::make_unique<prectype0>();
    SystemComponents sc;
    CrossRefs xref;
    bemvector present;
    eqvector x;
    eqvector modes;
    ComponentTable oxides;
    int16 npure = 0;
    Point(const std::vector<std::string>& comps, const ptype1& a, const ptype1& b) {
        sc.ncomp = static_cast<int16>(comps.size());
        for (int k = 1; k <= sc.ncomp; ++k) {
            sc.compnames[k] = comps[static_cast<std::size_t>(k - 1)];
            sc.compdenom[k] = 1;
        }
        (*prec1)[1] = a;
        (*prec1)[2] = b;
        for (int ph = 1; ph <= 2; ++ph) {
            const int first = 2 * ph - 1;
            xref.phasestart[first] = true;
            xref.emphase[first] = static_cast<int16>(ph);
            xref.emvarpos[first] = static_cast<int16>(2 + ph);
            present[ph] = true;
        }
        fillcomponenttable(oxides);
    }
    ptype0& addpure(const std::string& name, std::initializer_list<int16> comp) {
        ptype0& ph = (*prec0)[++npure];
        ph.name = name;
        int k = 1;
        for (int16 v : comp) ph.comp[k++] = v;
        present[2 + npure] = true;
        return ph;
    }
    PointPhases phases() const {
        return PointPhases{present, *prec1, 2, *prec0, npure, xref, 4, x, modes, sc};
    }
    real mass(const std::string& oxide) const {
        for (int o = 1; o <= maxcomp; ++o) {
            if (oxides.oxidenames[o] == oxide) return oxides.oxidemass[o];
        }
        return 0;
    }
};

// A feldspar ahead of the liquid; liquid of qL (SiO2) and abL (2 NaAlSi3O8 as 6 SiO2, Al2O3,
// Na2O) with x(liq) = 0.25: SiO2 2.25, Al2O3 0.25, Na2O 0.25 moles. Species rows: quartz (SiO2)
// and albite (3 SiO2, Al2O3/2, Na2O/2). Al2O3 is only in albite: 0.5 albite; then SiO2 is only
// in quartz: 0.75 quartz. Species mol% 60 and 40.
struct Liquid : Point {
    convliqmatrix conv{};
    speciesvector wt{};
    Liquid()
        : Point({"SiO2", "Al2O3", "Na2O"}, binary("fsp", "a1", "a2", {3, 1, 1}, {6, 1, 1}),
                binary("liq", "qL", "abL", {1, 0, 0}, {6, 1, 1})) {
        x[3] = 0.5L;
        x[4] = 0.25L;
        conv[1][1] = 1;
        conv[2][1] = 3;
        conv[2][2] = 0.5L;
        conv[2][3] = 0.5L;
    }
    void run(int16 rows = 2, int16 cols = 3) {
        conv2wt(ts.ses, phases(), oxides, conv, rows, cols, wt);
    }
};

TEST(Conv2wt, WorkedExample) {
    Liquid l;
    l.run();
    const real mq = l.mass("SiO2");
    const real mab = 3 * mq + 0.5L * l.mass("Al2O3") + 0.5L * l.mass("Na2O");
    const real w = 60 * mq + 40 * mab;
    EXPECT_ABS_NEAR(static_cast<double>(l.wt[1]), static_cast<double>(100 * 60 * mq / w), 1e-12);
    EXPECT_ABS_NEAR(static_cast<double>(l.wt[2]), static_cast<double>(100 * 40 * mab / w), 1e-12);
    // 100 x 60 x 60.0843 / (60 x 60.0843 + 40 x 262.2230), with albite 3 x 60.0843 + 101.9613 / 2 +
    // 61.9789 / 2 g/mol.
    EXPECT_ABS_NEAR(static_cast<double>(l.wt[1]), 25.5787, 1e-4);
    const std::string lead(13, ' ');
    EXPECT_EQ(l.ts.console.output, "\n" + lead + "   SiO2  Al2O3   Na2O\n" +   //
                                       lead + "   81.8   9.09   9.09 ==>\n" +  //
                                       lead + "     60     40 ==>\n" +         //
                                       lead + "     26     74\n");
}

TEST(Conv2wt, NothingWithoutALiquidOrWithOtherColumns) {
    Liquid l;
    l.present[2] = false;
    l.run();
    EXPECT_EQ(l.ts.console.output, "");
    Liquid m;
    m.run(2, 4);
    EXPECT_EQ(m.ts.console.output, "");
}

TEST(Conv2wt, SpeciesNeverTakenKeepZero) {
    Liquid l;
    l.x[4] = 0;  // pure SiO2 liquid: quartz alone takes it all
    l.conv[2][1] = 0;
    l.run();
    EXPECT_EQ(l.wt[1], 100);
    EXPECT_EQ(l.wt[2], 0);
}

TEST(Conv2wt, FatalStops) {
    {
        // Quartz alone cannot take the alumina and soda.
        Liquid l;
        EXPECT_BOMB(l.run(1, 3), "conv2wt", "couldn't make mol%");
        EXPECT_EQ(l.ts.console.output, "residual mol = { Al2O3    0.25} {  Na2O    0.25} \n");
    }
    // Two components that are not oxides; a liquid of end-members A and B.
    auto point = [] {
        Point pt({"A", "B"}, binary("s", "s1", "s2", {1, 0}, {0, 1}),
                 binary("liq", "aL", "bL", {1, 0}, {0, 1}));
        pt.present[1] = false;
        return pt;
    };
    {
        // Pure B as AB less A: the species amounts cancel.
        Point pt = point();
        pt.x[3] = 1;
        convliqmatrix conv{};
        conv[1][1] = conv[1][2] = conv[2][1] = 1;
        speciesvector wt{};
        EXPECT_BOMB(conv2wt(pt.ts.ses, pt.phases(), pt.oxides, conv, 2, 2, wt), "conv2wt",
                    "sum of mol% = 0 2");
    }
    {
        // Species of no oxide have no mass.
        Point pt = point();
        pt.x[3] = 0.5L;
        convliqmatrix conv{};
        conv[1][1] = conv[2][2] = 1;
        speciesvector wt{};
        EXPECT_BOMB(conv2wt(pt.ts.ses, pt.phases(), pt.oxides, conv, 2, 2, wt), "conv2wt",
                    "sum of mol% = 0 3");
    }
}

// In H2O-CO2-SiO2-MgO with SiO2 and MgO marked: a phase of MgSiO3 and Mg2SiO4 at x = 0.5
// (mode 0.6), a fluid of H2O and CO2 at x(CO2) = 0.2 (no mode), quartz (mode 0.4) and a pure
// H2O phase (no marked component: no mode).
struct Fifi : Point {
    Fifi()
        : Point({"H2O", "CO2", "SiO2", "MgO"},
                binary("px", "en1", "fo1", {0, 0, 1, 1}, {0, 0, 1, 2}),
                binary("fluid", "H2Of", "CO2f", {1, 0, 0, 0}, {0, 1, 0, 0})) {
        x[3] = 0.5L;
        x[4] = 0.2L;
        addpure("q", {0, 0, 1, 0});
        addpure("w", {1, 0, 0, 0});
        modes[1] = 0.6L;
        modes[2] = 0.4L;
        marked[3] = true;
        marked[4] = true;
    }
    Fixed1<bool, maxcomp> marked;
    real xco2 = -1;
    real xh2o = -1;
    void run() { fificalc(ts.ses, phases(), marked, xco2, xh2o); }
};

TEST(Fificalc, FluidContentAndTheRestInPerCentOfTheMarkedComponents) {
    // px: MgO 1.5, SiO2 1 per 2.5; totals MgO 0.6 x 0.6 = 0.36, SiO2 0.24 + 0.4 = 0.64.
    Fifi f;
    f.run();
    EXPECT_ABS_NEAR(static_cast<double>(f.xh2o), 0.8, 1e-15);
    EXPECT_ABS_NEAR(static_cast<double>(f.xco2), 0.2, 1e-15);
    EXPECT_EQ(f.ts.console.output,
              "\n\n       H2O       CO2    SiO2     MgO\n"
              "         0         0      64      36\n");
}

TEST(Fificalc, NoFluidNoMarkedAmountsGiveZeros) {
    Fifi f;
    f.present[1] = false;  // only the fluid, quartz and water
    f.present[2] = false;
    f.marked[3] = false;  // MgO alone is marked: nothing holds it
    f.run();
    EXPECT_EQ(f.xh2o, 0);
    EXPECT_EQ(f.xco2, 0);
    EXPECT_EQ(f.ts.console.output,
              "\n\n       H2O       CO2     MgO\n"
              "         0         0       0\n");
}

TEST(Fificalc, PhaseOfNoAmountStops) {
    Fifi f;
    (*f.prec0)[1].comp[4] = -1;  // SiO2 - MgO sums to nothing
    EXPECT_BOMB(f.run(), "fificalc", "t=0");
}

}  // namespace
}  // namespace qv::test
