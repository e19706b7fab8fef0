// Fractionation steps through the library: a rock of quartz and fluid loses the fluid above its
// porosity at every step; the table rows stay under their header.

#include "phasediagram/fractionation.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/phasefixture.hpp"
#include "phasediagram/fractrun.hpp"
#include "support/fakes.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"

namespace qv::test {
namespace {

// SiO2 and H2O (three atoms each), MgO unused; a rock of 0.9 quartz and 0.1 fluid (one-atom
// modes), porosity 0.02.
struct Rock : PhaseRun {
    TempDir dir;
    FractSettings fs;
    RbiTableau rbi;
    Fixed1<bool, maxcomp> flagged{};
    cvector bulk{};
    FractState f;
    Rock() {
        SystemComponents& comps = run.dataset.components;
        comps.ncomp = 3;
        comps.compnames[1] = "SiO2";
        comps.compnames[2] = "MgO";
        comps.compnames[3] = "H2O";
        comps.compatoms[1] = 3;
        comps.compatoms[2] = 2;
        comps.compatoms[3] = 3;
        fs.phase = "H2O";
        fs.porosity = 0.02L;
        fs.p0 = 5;
        fs.t0 = 873.15L;
        fs.dp = 0.5L;
        fs.dt = 10;
        rbi.nrbi = 2;
        rbi.names[1] = "q";
        rbi.modes[1] = 0.9L;
        rbi.comps[1][1] = 1;
        rbi.names[2] = "H2O";
        rbi.modes[2] = 0.1L;
        rbi.comps[2][3] = 1;
        // every component flagged: MgO, absent from the rock, keeps its column
        for (int k = 1; k <= 3; ++k) flagged[k] = true;
        bulk[1] = 0.9L / 3;
        bulk[2] = 0;
        bulk[3] = 0.1L / 3;
        std::string name;
        openwrite(name, "", dir.path().string() + "/vx.txt", ses.ch.files[6]);
        ses.ch.activechannels |= int32{1} << 6;
    }
    std::string vx() {
        flushfiles(ses);
        return dir.read("vx.txt");
    }
};

TEST(Fractionation, FillingThePorosityThenAStepRemovesTheExcessExactly) {
    Rock r;
    setupfract(r.ses, r.run, r.fs, true, r.rbi, r.flagged, r.bulk, r.f);
    EXPECT_EQ(r.f.fractphaserow, 2);
    // 0.1 of fluid above a porosity of 0.02: the first step is repeated with the fluid at the
    // porosity, of one atom 0.98 quartz and 0.02 fluid; nothing counts as lost yet
    dofract(r.ses, r.run, r.fs, r.f);
    EXPECT_TRUE(r.f.fillporosity);
    EXPECT_EQ(r.f.fractstep, 0);
    EXPECT_EQ(r.f.totalfract, 0);
    EXPECT_REL_NEAR(r.f.fractbulkcomp[1] * 3, 0.98L, 1e-15L);
    EXPECT_REL_NEAR(r.f.fractbulkcomp[3] * 3, 0.02L, 1e-15L);
    EXPECT_NE(r.ts.console.output.find("to start with porosity just filled"), std::string::npos);
    // Heating turns quartz and fluid into a rock of 0.59 quartz, 0.30 of a hydrate
    // (SiO2.H2O, six atoms) and 0.11 fluid, as a solve of member 1 would give it.
    Fixed1<real, maxeq> modes{};
    modes[1] = 0.59L;
    modes[2] = 0.30L;
    modes[3] = 0.11L;
    Fixed1<cvector, maxrbi> rows{};
    rows[1][1] = 1;
    rows[2][1] = 1;
    rows[2][3] = 1;
    rows[3][3] = 1;
    r.f.fractbulkcomp[1] = (0.59L + 0.15L) / 3;  // the bulk those modes are made of
    r.f.fractbulkcomp[3] = (0.15L + 0.11L) / 3;
    r.f.fractphaserow = 3;
    fractbulk(r.ses, r.run, r.fs, 3, modes, 3, rows, r.f);
    dofract(r.ses, r.run, r.fs, r.f);
    EXPECT_EQ(r.f.fractstep, 1);
    EXPECT_EQ(r.f.p, 5.5L);
    EXPECT_EQ(r.f.t, 883.15L);
    EXPECT_NE(r.ts.console.output.find("fractionating"), std::string::npos);
    EXPECT_REL_NEAR(r.f.totalfract, 0.09L, 1e-15L);
    // the rock that stays is the 0.89 of quartz and hydrate scaled to 1 - porosity, and the
    // porosity of fluid: SiO2 atoms 0.74 x 0.98 / 0.89, H2O atoms 0.15 x 0.98 / 0.89 + 0.02
    EXPECT_REL_NEAR(r.f.fractbulkcomp[1] * 3, 0.74L * 0.98L / 0.89L, 1e-15L);
    EXPECT_REL_NEAR(r.f.fractbulkcomp[3] * 3, 0.15L * 0.98L / 0.89L + 0.02L, 1e-15L);
    EXPECT_REL_NEAR(r.f.bulk[1] + r.f.bulk[3], 100.0L, 1e-15L);
    // at the porosity the next step removes nothing
    Fixed1<real, maxeq> after{};
    after[1] = 0.98L * 0.59L / 0.89L;
    after[2] = 0.98L * 0.30L / 0.89L;
    after[3] = 0.02L;
    fractbulk(r.ses, r.run, r.fs, 3, after, 3, rows, r.f);
    dofract(r.ses, r.run, r.fs, r.f);
    EXPECT_REL_NEAR(r.f.totalfract, 0.09L, 1e-15L);
    EXPECT_NE(r.ts.console.output.find("no fractionation at this step"), std::string::npos);
}

TEST(Fractionation, TableRowsStayUnderTheirHeader) {
    Rock r;
    setupfract(r.ses, r.run, r.fs, true, r.rbi, r.flagged, r.bulk, r.f);
    dofract(r.ses, r.run, r.fs, r.f);  // fills the porosity: no row
    dofract(r.ses, r.run, r.fs, r.f);
    std::istringstream in(r.vx());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    // P, T, SiO2, MgO, H2O, lost: six columns of 11 in both lines, MgO written as 0
    EXPECT_EQ(lines[0].size(), 66u) << lines[0];
    EXPECT_EQ(lines[1].size(), 66u) << lines[1];
    std::istringstream row(lines[1]);
    std::vector<std::string> cells;
    for (std::string c; row >> c;) cells.push_back(c);
    ASSERT_EQ(cells.size(), 6u) << lines[1];
    EXPECT_EQ(std::stold(cells[3]), 0);
}

TEST(Fractionation, AbsentPhaseAndRefusals) {
    Rock r;
    EXPECT_BOMB(setupfract(r.ses, r.run, r.fs, false, r.rbi, r.flagged, r.bulk, r.f), "setupfract",
                "cannot fractionate without rbi");
    r.fs.phase = "liq";
    EXPECT_BOMB(setupfract(r.ses, r.run, r.fs, true, r.rbi, r.flagged, r.bulk, r.f), "setupfract",
                "bad name \"liq\"");
    // No fluid at all: filling the porosity is refused with a note, nothing is divided by 0.
    Rock dry;
    dry.rbi.modes[1] = 1;
    dry.rbi.modes[2] = 0;
    dry.bulk[1] = 1.0L / 3;
    dry.bulk[3] = 0;
    dry.ts.console.feed("y\n");
    setupfract(dry.ses, dry.run, dry.fs, true, dry.rbi, dry.flagged, dry.bulk, dry.f);
    dofract(dry.ses, dry.run, dry.fs, dry.f);
    EXPECT_NE(dry.ts.console.output.find("cannot fill porosity: H2O is absent"), std::string::npos)
        << dry.ts.console.output;
    EXPECT_REL_NEAR(dry.f.fractbulkcomp[1] * 3, 1.0L, 1e-15L);
    EXPECT_EQ(dry.f.fractbulkcomp[3], 0);
}

// A later member (the fluid's mode held at zero) lies within the step: the run stops after it,
// the fluid's excess is removed once, and its table row stays under the header.
TEST(Fractionation, AMemberWithinTheStepEndsTheRun) {
    Rock r;
    setupfract(r.ses, r.run, r.fs, true, r.rbi, r.flagged, r.bulk, r.f);
    r.f.fractstep = 1;  // the step runs from 5.5 to 6 kbar
    FractResult m;
    m.member = 2;
    m.phase = "H2O";
    m.losing = true;
    m.p = 5.8L;
    m.t = 880;
    m.nmodes = 2;
    m.names[1] = "q";
    m.names[2] = "H2O";
    m.modes[1] = 0.9L;
    m.modes[2] = 0.1L;
    m.nrows = 2;
    m.rows[1][1] = 1;
    m.rows[2][3] = 1;
    // one beyond the step: nothing written, the run goes on
    FractResult beyond = m;
    beyond.p = 6.2L;
    printfractresults(r.ses, r.run, r.fs, beyond, r.f);
    EXPECT_FALSE(r.f.fractstop);
    EXPECT_EQ(r.f.naheadinstep, 0);
    printfractresults(r.ses, r.run, r.fs, m, r.f);
    EXPECT_TRUE(r.f.fractstop);
    EXPECT_NE(r.ts.console.output.find("losing H2O by batch 2"), std::string::npos);
    // 0.08 of fluid lost: the tableau's row and the working modes once each
    EXPECT_REL_NEAR(r.f.totalfract, 0.08L, 1e-15L);
    EXPECT_REL_NEAR(r.f.rbi.modes[1], 0.9L * 0.98L / 0.9L, 1e-15L);
    EXPECT_EQ(r.f.rbi.modes[2], 0.02L);
    std::istringstream in(r.vx());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);  // the header, the bulk after removal, the member's row
    for (const std::string& l : lines) EXPECT_EQ(l.size(), 66u) << l;
    std::istringstream row(lines[2]);
    std::vector<real> cells;
    for (std::string c; row >> c;) cells.push_back(std::stold(c));
    ASSERT_EQ(cells.size(), 6u);
    // bulk of 0.98 quartz and 0.02 fluid (one-atom), as moles normalised to 100
    EXPECT_REL_NEAR(cells[2], 98.0L, 1e-5L);
    EXPECT_EQ(cells[3], 0);
    EXPECT_REL_NEAR(cells[4], 2.0L, 1e-4L);
    EXPECT_REL_NEAR(cells[5], 0.08L, 1e-4L);
    // a member without the phase among its modes
    m.names[2] = "liq";
    EXPECT_BOMB(printfractresults(r.ses, r.run, r.fs, m, r.f), "printfractresults",
                "bad name \"H2O\"");
}

// The steps of a run reach the batch members: their first P and T and their bulk.
TEST(Fractionation, StepsReachTheBatchMembers) {
    Rock r;
    ScriptTables& tab = *r.run.script.tables;
    r.run.script.nbatch = 2;
    r.run.script.nmcbulk = 1;
    r.run.script.rbicb = controlboolean::yes;
    for (int b = 1; b <= 2; ++b) {
        tab.batch[b].bulkflag = 1;
        tab.batch[b].comp1 = 1;
    }
    tab.batch[2].comp2 = 1;
    FractRun fr;
    fr.settings = r.fs;
    fr.rbi = r.rbi;
    fr.flagged = r.flagged;
    fr.bulk = r.bulk;
    fract_start(r.ses, r.run, fr);
    EXPECT_EQ(tab.batch[2].p[1], 5);
    EXPECT_EQ(tab.batch[2].t[1], 873.15L);
    fract_nextstep(r.ses, r.run, fr);  // fills the porosity at the same P and T
    EXPECT_EQ(tab.batch[1].p[1], 5);
    fract_nextstep(r.ses, r.run, fr);  // at the porosity: the next step, nothing removed
    EXPECT_EQ(tab.batch[1].p[1], 5.5L);
    EXPECT_EQ(tab.batch[2].t[1], 883.15L);
    EXPECT_EQ(tab.batch[2].comp2, 0);
    // 0.98 quartz and 0.02 fluid (one-atom modes): 98 and 2 per 100 moles
    EXPECT_REL_NEAR(tab.mcbulk[1][1], 98.0L, 1e-15L);
    EXPECT_EQ(tab.mcbulk[1][2], 0);
    EXPECT_REL_NEAR(tab.mcbulk[1][3], 2.0L, 1e-15L);
    EXPECT_EQ(fr.state.totalfract, 0);
}

}  // namespace
}  // namespace qv::test
