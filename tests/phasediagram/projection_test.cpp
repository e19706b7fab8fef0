// The projection of the phases of a result onto a compatibility diagram: garnet and plagioclase
// of the garnet-plagioclase-kyanite-quartz runs projected from kyanite and quartz onto the
// CaO-MgO-Na2O triangle, against a hand calculation; the plane written in script form and
// pasted back gives the same run; and the limits of a plane.

#include "phasediagram/projection.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

const std::string projscript = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess ky q
calcTatP no
calcT 600 700 100
isopleth z(g) 0.2 ca(pl) 0.5
projection
)";

// The rows of the "proj" tables on the screen: name and the printed numbers.
std::vector<std::vector<std::string>> projrows(const std::string& screen) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(screen);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("proj ", 0) == 0) {
            inside = true;
            continue;
        }
        if (!inside) continue;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty() || (w[0] != "g" && w[0] != "pl")) {
            inside = false;
            continue;
        }
        rows.push_back(w);
    }
    return rows;
}

// The script-form block of the plane from the log, without its rules.
std::string planeblock(const std::string& log) {
    const std::size_t at = log.find("in form to copy to scriptfile:");
    if (at == std::string::npos) return "";
    std::istringstream in(log.substr(at));
    std::string block;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("projplane", 0) == 0) block += line + "\n";
        if (!block.empty() && line.rfind("% ---", 0) == 0 && block.find('\n') != block.rfind('\n'))
            break;
    }
    return block;
}

TEST(Projection, ThreeApicesAgainstAHandCalculation) {
    // apex by apex, each apex a bulk component
    PdCase c(projscript + "autoexit\n*\n", "1\nCaO\nMgO\nNa2O\n");
    c.openlog();
    c.go();
    ASSERT_EQ(c.points.size(), 2u) << c.screen();
    const auto rows = projrows(c.screen());
    ASSERT_EQ(rows.size(), 4u) << c.screen();
    // garnet Ca0.6 Mg2.4 Al2 Si3 O12 less kyanite and quartz: CaO 0.6, MgO 2.4 of 3;
    // plagioclase an50: CaO 0.5, Na2O 0.25 of 0.75
    const std::vector<double> garnet = {0.2, 0.8, 0};
    const std::vector<double> plag = {2.0 / 3, 0, 1.0 / 3};
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0]);
        const std::vector<double>& want = r[0] == "g" ? garnet : plag;
        // a zero coefficient prints as blanks: the numbers are the non-zero apex coordinates
        std::vector<double> got;
        for (std::size_t i = 1; i < r.size() && got.size() < 2; ++i) got.push_back(std::stod(r[i]));
        std::vector<double> expected;
        for (double x : want) {
            if (x != 0) expected.push_back(x);
        }
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_ABS_NEAR(got[i], expected[i], 5e-5);
    }
    // the plane in script form, pasted into the script, gives the same run without questions
    flushfiles(c.ts.ses);
    const std::string block = planeblock(c.dir.read("qv-log.txt"));
    ASSERT_NE(block.find("projplane    CaO"), std::string::npos) << block;
    PdCase again(projscript + block + "autoexit\n*\n");
    again.go();
    EXPECT_EQ(projrows(again.screen()), rows);
    EXPECT_NE(again.screen().find("projection plane (from script)"), std::string::npos);
}

TEST(Projection, OxideListAnswersAndRefusals) {
    // the indices of a code-0 answer name the apices after the bulk components
    PdCase listed(projscript + "autoexit\n*\n", "0\n1 2\n1 2 9\n");
    listed.go();
    EXPECT_NE(listed.screen().find("not all integers: no projection will be undertaken"),
              std::string::npos);
    EXPECT_EQ(listed.run.script.projectioncb, controlboolean::no);
    EXPECT_EQ(listed.points.size(), 2u);  // the run goes on without a projection
    PdCase wrong(projscript + "autoexit\n*\n", "0\n1\n1 2\n");
    wrong.go();
    EXPECT_NE(wrong.screen().find("3 needed: try again"), std::string::npos);
    EXPECT_NE(wrong.screen().find("still not correct: no projection will be undertaken"),
              std::string::npos);
}

// Apices that do not span the plane project no composition (each point would come out as a
// reaction among the apices): a typed plane with an apex twice is asked for again, and the run
// then goes on as with the good answer alone. (A plane from the script is refused, naming the
// apex and the file: the whole-run bad-input table.)
TEST(Projection, DependentApicesAreAskedAgain) {
    PdCase direct(projscript + "autoexit\n*\n", "0\n3 4 5\n");
    direct.go();
    PdCase twice(projscript + "autoexit\n*\n", "0\n3 3 4\n0\n3 4 5\n");
    twice.go();
    EXPECT_NE(twice.screen().find("part of apex CaO outside the plane of the apices before it = 0"),
              std::string::npos)
        << twice.screen();
    EXPECT_EQ(twice.points.size(), 2u);
    EXPECT_EQ(projrows(twice.screen()).size(), 4u);
    EXPECT_EQ(projrows(twice.screen()), projrows(direct.screen()));
}

// The driver refuses planes of more than 4 apices; a plane of up to 8 (pure phases in excess
// included) is made here directly.
TEST(Projection, ApexLimits) {
    TestSession ts;
    auto run = std::make_unique<qv::Run>();
    initglobals(ts.ses, *run);
    run->nss = 0;
    run->npure = 3;
    run->dataset.components.ncomp = 2;
    run->dataset.components.compdenom[1] = 1;
    run->dataset.components.compdenom[2] = 2;
    for (int j = 1; j <= 3; ++j) {
        (*run->arrays.prec0)[j].name = "p" + std::to_string(j);
        (*run->arrays.prec0)[j].comp[1] = static_cast<int16>(j);
        (*run->arrays.prec0)[j].comp[2] = 2;
        run->excess.excessflag[j] = true;
    }
    ProjectionPlane pl;
    pl.rs.reducedcomp[1] = pl.rs.reducedcomp[2] = true;
    pl.rs.nuvleft = 2;
    pl.nprojox = 5;
    addexcessapices(*run, pl);
    EXPECT_EQ(pl.nprojox, 8);
    EXPECT_EQ(pl.nexcesspure, 3);
    EXPECT_EQ(pl.apexnames[8], "p3");
    EXPECT_EQ(pl.apices[8][1], 3);
    EXPECT_EQ(pl.apices[8][2], 1);  // divided by the component's divisor
    ProjectionPlane over;
    over.rs = pl.rs;
    over.nprojox = 6;
    EXPECT_BOMB(addexcessapices(*run, over), "readprojplane", "system too big");
}

}  // namespace
}  // namespace qv::test
