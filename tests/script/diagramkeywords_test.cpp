// Phase-diagram keywords: phase lists, bulk blocks, isopleths, guesses and small tables.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "script/readscripts.hpp"
#include "script/scriptfixture.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

using test::mandatory;
using test::ScriptRun;

const std::string header = "axfile tc\nwith q ky sill and bi\ndiagramPT 1 10 400 800\n";

TEST(PhaseLists, WithSuffixesSomeofAndInexcess) {
    ScriptRun run;
    run.read(
        "axfile tc\ndiagramPT 1 10 400 800\nwhich someof g_1 bi q\n"
        "inexcess none\ntozero ask H2O\n");
    const ScriptSettings& s = run.s;
    EXPECT_TRUE(s.someofon);
    EXPECT_EQ(s.withlist[1], "g");
    EXPECT_EQ(s.withfull[1], "g_1");
    EXPECT_EQ(s.inexcesscb, controlboolean::yes);
    EXPECT_EQ(s.inexcess0cb, controlboolean::yes);
    // zero-amount in-excess phases join the in-excess and the "with" lists
    ASSERT_EQ(s.ninexcess, 1);
    EXPECT_EQ(s.inexcesslist[1], "H2O");
    ASSERT_EQ(s.nwithphases, 4);
    EXPECT_EQ(s.withlist[4], "H2O");
}

TEST(PhaseLists, FaultyWithEntriesStop) {
    struct Case {
        std::string line, message;
    };
    const Case cases[] = {
        {"with someof\n", "missing list of phases"},
        {"with\n", "with should be followed by a list of phase names: missing list"},
        {"with q _bi\n", "sepchar in wrong place in _bi"},
    };
    for (const Case& c : cases) {
        ScriptRun run;
        EXPECT_BOMB(run.read(c.line), "reading scripts", c.message);
    }
    ScriptRun all;
    EXPECT_BOMB(all.read("with all\n"), "reading script",
                "\"all\" in \"with\" only defined for utilitycalc");
}

TEST(BulkBlocks, CompositionsAreScaledAndTheBlockOrderChecked) {
    ScriptRun run;
    run.read(header + "pseudosection\nbulk SiO2 FeOt MgO\nbulk 2 1 1\nbulk 1 1 2 10\n");
    const ScriptSettings& s = run.s;
    EXPECT_EQ(s.nbulk, 2);
    EXPECT_EQ(s.nbulkinc, 11);
    EXPECT_EQ(s.tables->bulkox[2], "FeO");
    EXPECT_EQ(s.tables->bulk[1][1], 50);
    EXPECT_EQ(s.tables->bulk[2][3], 50);

    ScriptRun third;
    EXPECT_BOMB(third.read(header + "pseudosection\nbulk SiO2 MgO\nbulk 1 1\nbulk 1 2\nbulk 2 1\n"),
                "reading scripts", "more than two compositions in setbulk?");
    ScriptRun late;
    EXPECT_BOMB(late.read(header + "bulk SiO2 MgO\npseudosection\n"), "reading scripts",
                "pseudosection script needs to be before reading bulk");
    ScriptRun lateno;
    lateno.read(header + "bulk SiO2 MgO\npseudosection no\n");
    EXPECT_FALSE(lateno.s.pseudoon);
    ScriptRun nobulk;
    EXPECT_BOMB(nobulk.read(header + "pseudosection\n"), "reading scripts",
                "no bulk for pseudosection calcs");
}

TEST(BulkBlocks, RbiTableAndItsOldForm) {
    ScriptRun run;
    run.read(header + "pseudosection\nrbi SiO2 MgO\nrbi q 30 100 0\nrbi fo 70 33.3 66.7\n");
    EXPECT_EQ(run.s.nrbi, 2);
    EXPECT_EQ(run.s.nbulk, 1);
    EXPECT_EQ(run.s.tables->rbimode[2], 70);
    ScriptRun old;
    EXPECT_BOMB(old.read(header + "pseudosection\nrbi 30 100 0\n"), "reading scripts",
                "change the rbi");
    ScriptRun hashes;
    EXPECT_BOMB(hashes.read(header + "pseudosection\nrbi SiO2\nrbi q ## 100\n"), "reading scripts",
                "replace ## with modes in rbi");
}

TEST(Projection, ComesBeforeItsPlane) {
    ScriptRun run;
    run.read(mandatory + "projection\nprojplane SiO2 FeOt MgO\nprojplane 1 0 0\nprojplane 0 1 1\n");
    // the count is that of the apices: -2 after the oxide list, then one per row
    EXPECT_EQ(run.s.nprojox, 2);
    EXPECT_EQ(run.s.nprojplaneox, 3);
    EXPECT_EQ(run.s.tables->projox[2], "FeO");
    EXPECT_EQ(run.s.tables->projapex[2][3], 1);
    // rows that start with the apex name, the form the program writes the plane in
    ScriptRun named;
    named.read(mandatory +
               "projection\nprojplane SiO2 FeOt MgO\nprojplane q 1 0 0\nprojplane fm 0 0.5 0.5\n");
    ASSERT_EQ(named.s.nprojox, 2);
    EXPECT_EQ(named.s.tables->projapexname[1], "q");
    EXPECT_EQ(named.s.tables->projapexname[2], "fm");
    EXPECT_EQ(named.s.tables->projapex[2][2], 0.5L);
    EXPECT_EQ(named.s.tables->projapex[2][3], 0.5L);
    EXPECT_EQ(run.s.tables->projapexname[1], "");
    ScriptRun listonly;
    listonly.read(mandatory + "projection\nprojplane SiO2 MgO\n");
    EXPECT_EQ(listonly.s.nprojox, -2);
    // a plane written first would be ignored silently: the order is a stop
    for (const char* plane : {"projplane SiO2 MgO\n", "setprojplane 1 0\n"}) {
        ScriptRun late;
        EXPECT_BOMB(late.read(mandatory + plane + "projection\n"), "reading scripts",
                    "projection script needs to be before reading projection plane");
    }
    ScriptRun off;
    off.read(mandatory + "projplane no\nprojection\n");
    EXPECT_EQ(off.s.projectioncb, controlboolean::yes);
}

TEST(Isopleths, AcceptedFormsAndRefusedOnes) {
    ScriptRun run;
    run.read(mandatory + "isopleth x(g) 0.1 0.3 0.05 z(g) 0.2\nmodeiso bi\n");
    const ScriptSettings& s = run.s;
    ASSERT_EQ(s.nisopleth, 2);
    EXPECT_EQ(s.isopleth[1].high, 0.3L);
    EXPECT_REL_NEAR(s.isopleth[1].inc, 0.05L, 1e-18L);
    EXPECT_EQ(s.isopleth[2].name, "z(g)");
    EXPECT_EQ(s.isopleth[2].low, 0.2L);
    EXPECT_EQ(s.isopleth[2].high, 0.2L);
    EXPECT_EQ(s.nmodeisopleth, 1);
    EXPECT_EQ(s.modeisopleth[1].inc, 0.001L);

    ScriptRun three;
    EXPECT_BOMB(three.read(mandatory + "isopleth x(g) 0.1 0.3\n"), "reading scripts",
                "isopleth info inappropriate");
    EXPECT_NE(three.screen().find("isopleth info not recognised: just use isopleth name(s)"),
              std::string::npos);
    ScriptRun words;
    EXPECT_BOMB(words.read(mandatory + "modeiso g 0.1 0.2 x\n"), "reading scripts",
                "mode isopleth values inappropriate");
}

TEST(Guesses, XyzguessDropsAndLimits) {
    ScriptRun run;
    run.read(mandatory + "xyzguess x(g) 0.3 sd -0.1\nxyz y(g) 0.5 range 0.2 0.8\nptguess 8 600\n");
    const ScriptSettings& s = run.s;
    ASSERT_EQ(s.nxyzguess, 2);
    EXPECT_EQ(s.tables->xyzguess[1].sd, 0);
    EXPECT_EQ(s.tables->xyzguess[1].low, 0);
    EXPECT_EQ(s.tables->xyzguess[1].high, 1);
    EXPECT_EQ(s.tables->xyzguess[2].low, 0.2L);
    EXPECT_EQ(s.ptguessp, 8);
    EXPECT_REL_NEAR(s.ptguesst, 873.15L, 1e-18L);

    ScriptRun dropped;
    dropped.read(mandatory + "xyzguess x(g) 0.3\nxyzguess x(g) abc\nxyzguess y(g) 0.4\n");
    EXPECT_EQ(dropped.s.nxyzguess, 0);
    EXPECT_EQ(dropped.s.xyzguesscb, controlboolean::no);

    std::string many = mandatory;
    for (int i = 0; i < 201; ++i) many += "xyzguess x(g) 0.3\n";
    ScriptRun toomany;
    EXPECT_BOMB(toomany.read(many), "reading scripts", "too many xyzguess");
}

TEST(SmallTables, ActivitiesMuX_CO2AndBuffer) {
    ScriptRun rx;
    rx.opt = test::diagramscript;
    rx.read(mandatory +
            "seta H2O 0.5 CO2\nmu O2 -500\nxco2values 0.1 0.5 0.1\n"
            "buffer qfm 0.5\nrgb 255 0 0\n");
    const ScriptSettings& s = rx.s;
    ASSERT_EQ(s.nlna, 2);
    EXPECT_REL_NEAR(s.lna[1].value, std::log(0.5L), 1e-18L);
    EXPECT_FALSE(s.lna[2].given);
    EXPECT_NE(rx.screen().find("ln a(H2O) =    -0.6931\nln a(CO2) - to be set \n"),
              std::string::npos)
        << rx.screen();
    EXPECT_NE(rx.screen().find("mu(O2) =  -500.0000\n"), std::string::npos);
    EXPECT_EQ(s.nxco2values, 5);
    EXPECT_REL_NEAR(s.tables->xco2values[5], 0.5L, 1e-15L);
    EXPECT_NE(rx.screen().find("for qfm del = 0.500\n"), std::string::npos);
    EXPECT_EQ(s.rgb[1], 255);

    ScriptRun mode1;
    EXPECT_BOMB(mode1.read(mandatory + "setlna H2O -1\n"), "read scripts",
                "for mode 1, use 'lna' script");
    ScriptRun badx;
    EXPECT_BOMB(badx.read(mandatory + "xco2values 0.2 1.5\n"), "reading scripts",
                "values inappropriate");
}

TEST(SmallTables, DogminAdjustsTheRun) {
    ScriptRun run;
    run.read(header + "pseudosection\nbulk SiO2 MgO\nbulk 1 1\nisopleth x(g)\ndogmin 1\n");
    const ScriptSettings& s = run.s;
    EXPECT_TRUE(s.dogminon);
    EXPECT_EQ(s.dogminlevel, 1);
    EXPECT_EQ(s.isoplethcb, controlboolean::no);
    EXPECT_EQ(s.printxyzcb, controlboolean::yes);
    EXPECT_EQ(s.outputlevel, 0);

    // the variance range is the minimisation's own: kept before and after "dogmin"
    for (const char* lines : {"dogmin\nvarrange 1 3\n", "varrange 1 3\ndogmin\n"}) {
        ScriptRun both;
        SCOPED_TRACE(lines);
        both.read(header + "pseudosection\nbulk SiO2 MgO\nbulk 1 1\n" + lines);
        EXPECT_EQ(both.s.varrangecb, controlboolean::yes);
        EXPECT_EQ(both.s.varmin, 1);
        EXPECT_EQ(both.s.varmax, 3);
    }

    ScriptRun range;
    EXPECT_BOMB(range.read(header + "pseudosection\nbulk SiO2 MgO\nbulk 1 1\nbulk 1 2\ndogmin\n"),
                "read scripts", "dogmin works on one bulk");
}

std::string repeated(const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

TEST(SmallTables, FaultyEntriesStopWithTheirMessages) {
    const std::string purefluid =
        "a pure fluid is calculated with H2O or CO2 alone, not in an x(CO2) section (values "
        "strictly between 0 and 1 expected)";
    struct Case {
        std::string lines, proc, message;
    };
    const Case cases[] = {
        {"setisr 1 -1\n", "reading scripts", "change the setisr script"},
        {"projection\nprojplane 1 0\n", "reading scripts", "change the projplane script"},
        {"muval PT 8\n", "reading scripts", "PT of muval too small"},
        {"muval\nmuval no -500\n", "reading scripts", "cbool out of place in muval script"},
        {"buffer qfm x\n", "reading scripts", "buffer, \"x\", not a del"},
        {"samecoding a b c d e f g h i\n", "reading scripts", "too many items in a samecoding"},
        {"convliq" + repeated(" 1", 21) + "\n", "control", "too many columns in convliq matrix"},
        {repeated("convliq 1 0\n", 16), "control", "too many rows in convliq matrix"},
        {repeated("modeguess g 0.1\n", 89), "reading scripts", "too many modeguess"},
        {"xco2values 0.1 0.2 0.5\n", "reading scripts", "values inappropriate"},
        // a pure fluid is not a point of an x(CO2) section, in a range or a list
        {"xco2values 0 0.4 0.2\n", "reading scripts", "x(CO2) = 0 in \"qv-t.txt\": " + purefluid},
        {"calcx(CO2) 0.5 1\n", "reading scripts", "x(CO2) = 1 in \"qv-t.txt\": " + purefluid},
        {"calcx(CO2) 1e4000\n", "reading scripts", "info inappropriate"},
    };
    for (const Case& c : cases) {
        ScriptRun run;
        run.opt = test::diagramscript;
        SCOPED_TRACE(c.lines);
        EXPECT_BOMB(run.read(mandatory + c.lines), c.proc, c.message);
    }
}

TEST(SmallTables, LnaVarianceAndModeGuesses) {
    ScriptRun run;
    run.read(mandatory + "lna H2O -1\nvarrange 1 4\nsetvar 3\nmodeguess g 0.1\nmodeguess bi 0.2\n");
    const ScriptSettings& s = run.s;
    EXPECT_EQ(s.lnacb, controlboolean::yes);
    ASSERT_EQ(s.nlna, 1);
    EXPECT_EQ(s.lna[1].value, -1);
    EXPECT_EQ(s.varmin, 1);  // kept as given: a minimisation may look at univariant assemblages
    EXPECT_EQ(s.varmax, 4);

    EXPECT_EQ(s.variance, 3);
    EXPECT_EQ(s.nmodeguess, 2);

    ScriptRun asked;
    asked.read(mandatory + "lna ask H2O -1\nmodeguess g 0.1\nmodeguess g abc\nmodeguess g 0.3\n");
    EXPECT_EQ(asked.s.lnacb, controlboolean::no);
    EXPECT_EQ(asked.s.nmodeguess, 0);
    EXPECT_EQ(asked.s.modeguesscb, controlboolean::no);

    ScriptRun bad;
    EXPECT_BOMB(bad.read(mandatory + "setvar x\n"), "getinteger",
                "expecting an integer (1); got: x - bad integer in setvar script");
}

}  // namespace
}  // namespace qv
