#include "model/emcomps.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using Column = std::vector<int>;  // one end-member's amounts, a row per component

// A run whose dataset end-members have given compositions; phases are added by hand.
struct EmcRun {
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    SystemComponents& sc = run.dataset.components;
    icmatrix& c;

    explicit EmcRun(const std::vector<std::string>& comps)
        : c(*(runp->arrays.c = std::make_unique<icmatrix>())) {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        fillcomponenttable(run.comps);
        run.compkept.fill(true);
        sc.ncomp = static_cast<int16>(comps.size());
        for (int k = 1; k <= sc.ncomp; ++k) {
            sc.compnames[k] = comps[static_cast<std::size_t>(k - 1)];
            sc.compdenom[k] = 1;
        }
    }
    void dsem(const std::string& name, const Column& col) {
        const int e = ++run.dataset.nem;
        run.dataset.emnames[e] = name;
        for (int k = 1; k <= sc.ncomp; ++k)
            c[k][e] = static_cast<int16>(col[static_cast<std::size_t>(k - 1)]);
    }
    ptype1& solution(const std::string& name, const std::vector<std::string>& ems) {
        ptype1& ph = (*run.arrays.prec1)[++run.nss];
        ph.name = name;
        ph.nem = static_cast<int16>(ems.size());
        for (int j = 1; j <= ph.nem; ++j) ph.em[j].name = ems[static_cast<std::size_t>(j - 1)];
        return ph;
    }
    ptype0& pure(const std::string& name) {
        ptype0& ph = (*run.arrays.prec0)[++run.npure];
        ph.name = name;
        ph.emname = name;
        return ph;
    }
    Column column(int e) const {
        Column out;
        for (int k = 1; k <= sc.ncomp; ++k) out.push_back(c[k][e]);
        return out;
    }
};

// A made end-member half a + half b over the divisor 2.
void makehalf(ssemtype& em, const std::string& a, int ca, const std::string& b, int cb) {
    em.nmake = 2;
    em.makeden = 2;
    em.makenames[1] = a;
    em.makecoef[1] = static_cast<int16>(ca);
    em.makenames[2] = b;
    em.makecoef[2] = static_cast<int16>(cb);
}

// Components MgO, FeO, SiO2; a solution phase of fo and fa and a made end-member fm of one
// part fo and one or three parts fa over 2; quartz as a pure phase.
struct MadeCase {
    int facoef;
    Column made;           // the made end-member's column after scaling
    std::vector<int> den;  // compdenom after makeemc
};

TEST(MakeEmc, MadeEndMemberScalesTheComponentRowOnlyWhenItsAmountIsFractional) {
    // fo = Mg2SiO4, fa = Fe2SiO4. (fo + fa)/2: MgO 2/2, FeO 2/2, SiO2 2/2: no scaling.
    // (fo + 3 fa)/2: MgO 2/2 = 1, FeO 6/2 = 3, SiO2 4/2 = 2: whole numbers again.
    // (fo + 2 fa)/2: MgO 2/2, FeO 4/2, SiO2 3/2: only SiO2 doubles.
    const MadeCase cases[] = {
        {1, {1, 1, 1}, {1, 1, 1}},
        {3, {1, 3, 2}, {1, 1, 1}},
        {2, {1, 2, 3}, {1, 1, 2}},
    };
    for (const MadeCase& mc : cases) {
        SCOPED_TRACE(mc.facoef);
        EmcRun r({"MgO", "FeO", "SiO2"});
        r.dsem("q", {0, 0, 1});
        r.dsem("fa", {0, 2, 1});
        r.dsem("fo", {2, 0, 1});
        ptype1& ol = r.solution("ol", {"fo", "fa", "fm"});
        makehalf(ol.em[3], "fo", 1, "fa", mc.facoef);
        r.pure("q");
        makeemc(r.run);

        ASSERT_EQ(r.sc.ncomp, 3);
        EXPECT_EQ(r.column(1), (Column{2, 0, mc.den[2]}));  // fo
        EXPECT_EQ(r.column(2), (Column{0, 2, mc.den[2]}));  // fa
        EXPECT_EQ(r.column(3), mc.made);
        EXPECT_EQ(r.column(4), (Column{0, 0, mc.den[2]}));  // q, after the solution phase
        for (int k = 1; k <= 3; ++k)
            EXPECT_EQ(r.sc.compdenom[k], mc.den[static_cast<std::size_t>(k - 1)]);
        EXPECT_EQ(ol.em[3].comp[3], mc.made[2]);
    }
}

TEST(MakeEmc, OddAmountOverTwoDoublesTheRowAndItsDenominator) {
    // A component already over 3: the scale multiplies the denominator.
    EmcRun r({"MgO", "SiO2"});
    r.sc.compdenom[1] = 3;
    r.dsem("a", {3, 1});
    r.dsem("b", {0, 1});
    ptype1& ph = r.solution("s", {"a", "b", "m"});
    makehalf(ph.em[3], "a", 1, "b", 0);  // half of a: MgO 3/2, SiO2 1/2
    makeemc(r.run);
    EXPECT_EQ(r.column(1), (Column{6, 2}));
    EXPECT_EQ(r.column(2), (Column{0, 2}));
    EXPECT_EQ(r.column(3), (Column{3, 1}));
    EXPECT_EQ(r.sc.compdenom[1], 6);
    EXPECT_EQ(r.sc.compdenom[2], 2);
}

TEST(MakeEmc, UnusedComponentIsDroppedAndLaterRowsMoveUp) {
    EmcRun r({"MgO", "CaO", "SiO2"});
    r.sc.compdenom[3] = 2;
    r.sc.compatoms[3] = 3;
    r.dsem("di", {1, 1, 2});  // a dataset end-member no phase uses
    r.dsem("en", {2, 0, 2});
    r.pure("en");
    ptype0& made = r.pure("nothing");
    made.nmake = -1;  // made with no constituents: holds nothing
    made.makeden = 0;
    (*r.run.arrays.prec0)[1].comp[26] = 7;
    makeemc(r.run);
    ASSERT_EQ(r.sc.ncomp, 2);
    EXPECT_EQ(r.sc.nucomp, 2);
    EXPECT_EQ(r.sc.compnames[1], "MgO");
    EXPECT_EQ(r.sc.compnames[2], "SiO2");
    EXPECT_EQ(r.sc.compdenom[2], 2);
    EXPECT_EQ(r.sc.compatoms[2], 3);
    EXPECT_EQ(r.column(1), (Column{2, 2}));
    EXPECT_EQ(r.column(2), (Column{0, 0}));
    const ptype0& en = (*r.run.arrays.prec0)[1];
    EXPECT_EQ(en.comp[1], 2);
    EXPECT_EQ(en.comp[2], 2);
    for (int k = 3; k <= maxcomp; ++k) EXPECT_EQ(en.comp[k], 0) << k;
}

TEST(MakeEmc, AmountsThatLeaveTheirStorageStopTheRun) {
    // m = (coef a + b) / makeden in MgO. 2 x 20000 is past 16 bits; (20000 + 1) / 2 doubles
    // the row, so a becomes 40000; (1 + 0) / 2 doubles a denominator of 2^30 past 32 bits.
    struct Case {
        int coef, makeden, amgo, bmgo;
        int32 denom;
    };
    const Case cases[] = {
        {2, 1, 20000, 0, 1},
        {1, 2, 20000, 1, 1},
        {1, 2, 1, 0, int32{1} << 30},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.amgo);
        EmcRun r({"MgO"});
        r.sc.compdenom[1] = tc.denom;
        r.dsem("a", {tc.amgo});
        r.dsem("b", {tc.bmgo});
        ptype1& ph = r.solution("s", {"a", "b", "m"});
        makehalf(ph.em[3], "a", tc.coef, "b", 1);
        ph.em[3].makeden = static_cast<int16>(tc.makeden);
        EXPECT_BOMB(makeemc(r.run), "make emc", "integer overflow in makeemc");
    }
}

TEST(MakeEmc, MissingEndMembersStopTheRun) {
    struct Case {
        bool solution;
        bool made;
        const char* message;
    };
    const Case cases[] = {
        {true, false, "zz not found 1"},
        {true, true, "zz not found 2"},
        {false, false, "zz not found 3"},
        {false, true, "zz not found 4"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.message);
        EmcRun r({"MgO"});
        r.dsem("a", {1});
        if (tc.solution) {
            ptype1& ph = r.solution("s", {"a", tc.made ? "m" : "zz"});
            if (tc.made) makehalf(ph.em[2], "a", 1, "zz", 1);
        } else {
            ptype0& ph = r.pure(tc.made ? "m" : "zz");
            if (tc.made) {
                ph.nmake = 2;
                ph.makeden = 1;
                ph.makenames[1] = "a";
                ph.makenames[2] = "zz";
                ph.makecoef[1] = 1;
                ph.makecoef[2] = 1;
            }
        }
        EXPECT_BOMB(makeemc(r.run), "make emc", tc.message);
    }
}

TEST(MakeEmc, MoreThan400EndMembersStopTheRun) {
    EmcRun r({"MgO"});
    r.dsem("a", {1});
    for (int k = 1; k <= 27; ++k) {
        ptype1& ph = r.solution("s" + std::to_string(k), {});
        ph.nem = 15;
        for (int j = 1; j <= 15; ++j) ph.em[j].name = "a";
    }
    EXPECT_BOMB(makeemc(r.run), "make emc", "too many end-members1");

    EmcRun p({"MgO"});
    p.dsem("a", {1});
    for (int k = 1; k <= maxpure; ++k) p.pure("a");
    p.solution("s", {"a"});
    EXPECT_BOMB(makeemc(p.run), "make emc", "too many end-members2");
}

TEST(CountComp, AtomsPerFormulaUnitOverTheKeptComponents) {
    // Forsterite as MgO and SiO2: 2 (1 + 1) + 1 (1 + 2) = 7 atoms; Si written as an element
    // counts the atoms of its oxide. With the components over 2, amounts halve.
    EmcRun r({"MgO", "Si"});
    ptype1& ol = r.solution("ol", {"fo"});
    ol.em[1].comp[1] = 2;
    ol.em[1].comp[2] = 1;
    ptype0& q = r.pure("q");
    q.comp[2] = 2;
    r.sc.compdenom[2] = 2;
    countcomp(r.run);
    EXPECT_REL_NEAR(ol.em[1].real1, 2 * 2 + 0.5L * 3, 1e-15L);
    EXPECT_REL_NEAR(q.real1, 3.0L, 1e-15L);

    r.run.compkept[1] = false;  // projected out: MgO no longer counts
    countcomp(r.run);
    EXPECT_REL_NEAR(ol.em[1].real1, 1.5L, 1e-15L);
}

TEST(CountComp, OldDatasetCountsOxideUnits) {
    EmcRun r({"MgO", "SiO2"});
    r.run.script.ds190 = true;
    ptype1& ol = r.solution("ol", {"fo", "x"});
    ol.em[1].comp[1] = 2;
    ol.em[1].comp[2] = 1;
    ol.em[2].comp[1] = 1;
    countcomp(r.run);
    EXPECT_REL_NEAR(ol.em[1].real1, 3.0L, 1e-15L);

    ol.em[2].comp[1] = 0;
    EXPECT_BOMB(countcomp(r.run), "countcomp", "sumox <= 0 for x, in ol");
    ol.em[2].comp[1] = 1;
    r.pure("per");
    EXPECT_BOMB(countcomp(r.run), "countcomp", "sumox <= 0 for per");
}

TEST(CountComp, BadComponentNamesStopTheRun) {
    EmcRun r({"MgO", "XO"});
    EXPECT_BOMB(countcomp(r.run), "countcomp", "cannot find oxide name");

    EmcRun s({"MgO", "SO2"});
    s.run.script.ds190 = true;
    try {
        countcomp(s.run);
        ADD_FAILURE() << "no stop";
    } catch (const RunBombed& stop) {
        EXPECT_EQ(stop.message, "sulphur verboten");
        EXPECT_EQ(stop.fault, myfault);
    }
}

}  // namespace
}  // namespace qv
