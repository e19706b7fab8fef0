#include "model/axreader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/axsetup.hpp"
#include "model/dataset.hpp"
#include "model/run.hpp"
#include "support/fakes.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

std::string datafile(const std::string& name) {
    std::ifstream in(std::string(QV_TEST_DATA) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// `text` with its single occurrence of `from` replaced.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from << " is not unique";
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The end-members of qv-ds62.txt, and a few aqueous species for the charged compounds.
const std::vector<std::string> dsnames = {
    "q",  "coe", "ky", "and",  "sill", "an",  "ab",  "san", "jd",  "fo",   "fa",
    "en", "di",  "wo", "gr",   "py",   "alm", "mu",  "phl", "ann", "br",   "per",
    "sp", "mt",  "cc", "arag", "dol",  "H2O", "CO2", "H+",  "Na+", "Ca++", "Cl-"};

// The runs of this file lend one set of phase tables to each other.
std::unique_ptr<prectype0> spare0;
std::unique_ptr<prectype1> spare1;

// A run in a fresh folder, its dataset names set directly, reading "qv-t.txt".
struct AxRun {
    test::TempDir dir;
    test::TestSession ts;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;

    explicit AxRun(std::string input = {}) : ts(std::move(input)) {
        run.arrays.prec0 = spare0 ? std::move(spare0) : std::make_unique<prectype0>();
        run.arrays.prec1 = spare1 ? std::move(spare1) : std::make_unique<prectype1>();
        Session& ses = ts.ses;
        ses.ch.activechannels = 1 | 8;
        ses.programname = "QUORVANTIS 3.51";
        ses.datetimeline = "14.05 on Tue 8 Dec,2026";
        run.files.scriptname = "qv-x.txt";
        ses.tables.ordinals[1] = "1st";
        ses.tables.ordinals[2] = "2nd";
        ses.tables.ordinals[3] = "3rd";
        for (int k = 4; k <= 400; ++k) ses.tables.ordinals[k] = realstr(k) + "th";
        Dataset& ds = run.dataset;
        ds.dsfilename = "qv-ds62.txt";
        ds.dstitle = "a test dataset";
        ds.ndsem = static_cast<int16>(dsnames.size());
        for (std::size_t i = 0; i < dsnames.size(); ++i) {
            ds.dsnames[static_cast<int>(i) + 1] = dsnames[i];
        }
    }
    ~AxRun() {
        spare0 = std::move(run.arrays.prec0);
        spare1 = std::move(run.arrays.prec1);
    }
    AxRun(const AxRun&) = delete;
    AxRun& operator=(const AxRun&) = delete;

    void read(const std::string& text) {
        dir.write("qv-t.txt", text);
        ts.ses.prefs.axfilesuffix = "t";
        readaxphases(ts.ses, run);
    }
    ptype1& ss(int k) { return (*run.arrays.prec1)[k]; }
    ptype0& pure(int k) { return (*run.arrays.prec0)[k]; }
    const std::string& out() const { return ts.console.output; }
};

eqvector values(std::initializer_list<real> xs) {
    eqvector v;
    int k = 0;
    for (real x : xs) v[++k] = x;
    return v;
}

class AxFixture : public ::testing::Test {
protected:
    void SetUp() override { r.read(datafile("qv-axtest.txt")); }
    AxRun r;
};

TEST_F(AxFixture, BannerAndPhaseNamesAsRead) {
    const std::string expected = "\n\n" + std::string(60, '^') +
                                 "\nQUORVANTIS 3.51 running at 14.05 on Tue 8 Dec,2026\n"
                                 "using a test dataset\n\n"
                                 "with axfile qv-t.txt and scriptfile qv-x.txt\n"
                                 "reading ax: cpx g pl ol sp_x fluid aq q ky sill fmq ";
    EXPECT_EQ(r.out(), expected);
    EXPECT_EQ(r.run.ax.runheader[3], "with axfile qv-t.txt and scriptfile qv-x.txt");
    EXPECT_EQ(r.run.nss, 7);
    EXPECT_EQ(r.run.npure, 4);
    EXPECT_EQ(r.run.nphread, 11);
    // The header block without its keyword lines, between "#" marks.
    ASSERT_EQ(r.run.ax.nheader, 5);
    EXPECT_EQ(r.run.ax.header[1], "#");
    EXPECT_EQ(r.run.ax.header[2],
              "test models: a binary and a ternary symmetric phase, a van Laar feldspar,");
    EXPECT_EQ(r.run.ax.header[5], "#");
}

TEST_F(AxFixture, SymmetricPhases) {
    const ptype1& cpx = r.ss(1);
    EXPECT_EQ(cpx.model, axtype::symmetric);
    EXPECT_EQ(cpx.nem, 2);
    EXPECT_EQ(cpx.nvar, 1);
    EXPECT_EQ(cpx.nw, 1);
    EXPECT_EQ(cpx.wname[1], "W(di,jd)");
    EXPECT_EQ(cpx.wa[1], 26.0L);
    EXPECT_EQ(cpx.ngterm, 1);
    EXPECT_EQ(cpx.gterm[1].i, 1);
    EXPECT_EQ(cpx.gterm[1].j, 2);
    EXPECT_EQ(cpx.nsf, 4);
    EXPECT_EQ(cpx.em[2].name, "jd");
    EXPECT_EQ(cpx.em[2].ntmf, 2);
    EXPECT_EQ(cpx.em[2].tmf[2].sf, 4);  // xNaM2
    EXPECT_EQ(cpx.coding, 1);
    EXPECT_TRUE(cpx.noverbatim);
    EXPECT_EQ(cpx.var[1].lowerread, 11.0L);  // no range: empty until the limits are set
    EXPECT_EQ(cpx.var[1].upperread, -11.0L);

    const ptype1& g = r.ss(2);
    EXPECT_EQ(g.var[1].name, "x(g)");
    EXPECT_EQ(g.var[1].guess, 0.8L);
    EXPECT_EQ(g.var[1].lowerread, 0.0L);
    EXPECT_EQ(g.var[1].upperread, 1.0L);
    EXPECT_EQ(g.ngterm, 3);
    EXPECT_EQ(g.gterm[3].i, 2);
    EXPECT_EQ(g.gterm[3].j, 3);
    EXPECT_EQ(g.wc[3], 0.17L);
    // Products of factors: p(py) = (1 - x)(1 - z), the site fraction of Ca is z.
    const eqvector at = values({0.5L, 0.2L});
    EXPECT_REL_NEAR(evalexpr(at, 1, g.p[1]), 0.4L, 1e-15L);
    EXPECT_REL_NEAR(evalexpr(at, 1, g.p[2]), 0.4L, 1e-15L);
    EXPECT_REL_NEAR(evalexpr(at, 1, g.sf[3]), 0.2L, 1e-15L);
    // Unset W sd: 0.5 (1 + 1) x 2 x mean largest power (3); a written sd stays.
    EXPECT_EQ(g.em[1].maxpower, 3);
    EXPECT_REL_NEAR(g.wsd[1], 6.0L, 1e-18L);
    EXPECT_FALSE(g.wsddefault[2]);
    EXPECT_EQ(g.wsd[2], 3.0L);
    EXPECT_EQ(g.em[3].checkden, 1);
    EXPECT_EQ(g.em[3].checkcoef[2], 1);
}

TEST_F(AxFixture, VanLaarPhaseAndOrderVariable) {
    const ptype1& pl = r.ss(3);
    EXPECT_EQ(pl.model, axtype::vanlaar);
    EXPECT_EQ(pl.alphaa[1], 0.674L);
    EXPECT_EQ(pl.alphaa[2], 0.55L);
    EXPECT_EQ(pl.wb[1], -0.00935L);
    EXPECT_REL_NEAR(pl.var[1].guesssd, 0.05L, 1e-18L);
    EXPECT_EQ(pl.var[2].upperread, 0.2L);
    EXPECT_FALSE(pl.hasorder);
    // Default sd with sizes ab 0.674, an 0.55 and largest powers 1.
    EXPECT_REL_NEAR(pl.wsd[1], 0.5L * (0.674L + 0.55L) * 2, 1e-18L);

    const ptype1& ol = r.ss(4);
    EXPECT_FALSE(ol.var[1].isorder);
    EXPECT_TRUE(ol.var[2].isorder);  // named Q
    EXPECT_TRUE(ol.hasorder);
    EXPECT_EQ(ol.var[2].lowerread, -0.5L);
    const ssemtype& fm = ol.em[3];
    EXPECT_EQ(fm.nmake, 2);
    EXPECT_EQ(fm.makeden, 2);
    EXPECT_EQ(fm.makenames[2], "fa");
    EXPECT_EQ(fm.makecoef[1], 1);
    EXPECT_EQ(fm.makeaction[1], makeactiontype::notspecified);
    EXPECT_EQ(fm.dqfkind, 0);
    EXPECT_EQ(fm.dqfa, -1.5L);
    EXPECT_EQ(fm.checkden, 2);
    EXPECT_EQ(fm.checkcoef[2], 1);
    // At its check point the ordered end-member is pure.
    EXPECT_REL_NEAR(evalexpr(values({0.5L, 0.5L}), 1, ol.p[3]), 1.0L, 1e-18L);
}

TEST_F(AxFixture, CodingTwoPhaseWithSamecodingAndVerbatim) {
    const ptype1& sp = r.ss(5);
    EXPECT_EQ(sp.name, "sp");
    EXPECT_EQ(sp.longname, "sp_x");
    EXPECT_EQ(sp.suffix, "x");
    EXPECT_EQ(sp.coding, 2);
    EXPECT_EQ(sp.fullname, "spinel");
    EXPECT_EQ(sp.oxygens, 4.0L);
    EXPECT_EQ(sp.model, axtype::ideal);
    EXPECT_EQ(sp.ngterm, 0);
    ASSERT_EQ(sp.nverb, 4);
    EXPECT_EQ(sp.verbatim[1], "#");
    EXPECT_EQ(sp.verbatim[2], "spl \"spinel\"");
    EXPECT_EQ(sp.verbatim[3], "x = Fe/(Fe+Mg)");
    EXPECT_EQ(sp.verbatim[4], "#");
    const xvartype& x = sp.var[1];
    EXPECT_EQ(x.name, "x(sp)");
    EXPECT_EQ(x.longname, "x(sp_x)");
    EXPECT_EQ(x.guess, 0.0L);
    ASSERT_EQ(x.nnum, 1);
    ASSERT_EQ(x.nden, 2);
    EXPECT_EQ(x.numnames[1], "Fe");
    EXPECT_EQ(x.dennames[1], "Mg");
    EXPECT_EQ(x.dennames[2], "Fe");
    // x = Fe/(Mg + Fe) with Fe = 1, Mg = 3.
    EXPECT_REL_NEAR(evalexpr(values({1.0L}), 1, x.num) / evalexpr(values({3.0L, 1.0L}), 1, x.den),
                    0.25L, 1e-18L);
    // The samecoding entry takes the phase's suffix.
    EXPECT_EQ(sp.nalso, 1);
    EXPECT_EQ(sp.alsoshort[1], "mt1");
    EXPECT_EQ(sp.alsofirst[1], "magnetite");
    ASSERT_EQ(r.run.ax.nsamecoding, 1);
    const SameCodingGroup& grp = r.run.ax.samecoding[1];
    EXPECT_EQ(grp.base, 5);
    EXPECT_EQ(grp.n, 1);
    EXPECT_EQ(grp.longname[1], "mt1_x");
}

TEST_F(AxFixture, PurePhasesAndBuffer) {
    const ptype0& q = r.pure(1);
    EXPECT_EQ(q.name, "q");
    EXPECT_EQ(q.emname, "q");
    EXPECT_EQ(q.activity, 1.0L);
    EXPECT_EQ(q.dqfkind, -1);
    EXPECT_EQ(q.modeguess, -1.0L);
    const ptype0& sill = r.pure(3);
    EXPECT_REL_NEAR(sill.activity, 0.9L, 1e-18L);
    EXPECT_REL_NEAR(sill.activitysd, 0.05L, 1e-18L);
    const ptype0& fmq = r.pure(4);
    EXPECT_EQ(fmq.emname, "buffer");
    EXPECT_EQ(fmq.nmake, 3);
    EXPECT_EQ(fmq.makeden, 1);
    EXPECT_EQ(fmq.makecoef[3], -3);
    EXPECT_EQ(fmq.dqfkind, 0);
    ASSERT_EQ(r.run.ax.nbuffers, 1);
    EXPECT_EQ(r.run.ax.buffers[1], "fmq");
}

TEST_F(AxFixture, FluidAndAqueousPhases) {
    setupfluidaq(r.ts.ses, r.run);
    const ptype1& fluid = r.ss(6);
    EXPECT_TRUE(fluid.isfluid);
    EXPECT_FALSE(fluid.isaq);
    EXPECT_EQ(fluid.em[1].fluidindex, 1);
    EXPECT_EQ(fluid.em[2].fluidindex, 2);
    EXPECT_EQ(fluid.model, axtype::vanlaar);
    EXPECT_EQ(fluid.ngterm, 1);
    EXPECT_EQ(fluid.ih2o, 1);
    EXPECT_EQ(fluid.ico2, 2);
    // The ideal aqueous solvent gets the built-in H2O-CO2 term as its only pair term.
    const ptype1& aq = r.ss(7);
    EXPECT_TRUE(aq.isaq);
    EXPECT_EQ(aq.model, axtype::vanlaar);
    ASSERT_EQ(aq.ngterm, 1);
    EXPECT_EQ(aq.gterm[1].term, 1);
    EXPECT_EQ(aq.gterm[1].j, 2);
    EXPECT_EQ(r.ss(1).em[1].fluidindex, 0);
    const FluidSpeciesTable& t = r.run.ax.fluid;
    EXPECT_EQ(t.names[3], "CH4");
    EXPECT_EQ(t.tcrit[3], 190.6L);
    EXPECT_EQ(t.w[1][2], 10.5L);
    EXPECT_EQ(t.w[7][3], 4.15L);
    EXPECT_EQ(t.w[6][1], 0.0L);
}

TEST(AxReader, NonIdealAqueousPhaseKeepsItsOwnTermsAfterTheBuiltInOne) {
    AxRun r;
    std::string text = datafile("qv-axtest.txt");
    text = replaced(text, "  ideal\n  2\n  xw", "  sf\n  W(H2O,CO2) 0 0 0\n  2\n  xw");
    r.read(text);
    setupfluidaq(r.ts.ses, r.run);
    const ptype1& aq = r.ss(7);
    ASSERT_EQ(aq.ngterm, 2);
    EXPECT_EQ(aq.gterm[2].term, 1);
    EXPECT_EQ(aq.gterm[2].i, 1);
}

// ---------------------------------------------------------------------------------------------
// Errors: each case changes one spot of the fixture.

struct ErrorCase {
    std::string from;
    std::string to;
    std::string proc;
    std::string msg;
};

TEST(AxReader, MalformedFilesStopWithTheirMessages) {
    const ErrorCase cases[] = {
        // Heads and the outer grammar.
        {"cpx 2 1", "cpx 16 1", "setup phases", "too many end-members in cpx" + maxtext(15)},
        {"cpx 2 1", "cpx 0 1", "setup phases", "less than 2 end-members in cpx"},
        {"cpx 2 1", "cpx 2 3", "setup phases", "bad encoding for cpx"},
        {"cpx 2 1", "cpx 2", "setup phases", "bad encoding for cpx"},
        {"cpx 2 1", "cpx_a 2 1", "setup phases", "longpnames not implemented for coding = 1"},
        {"spinel 4 also", "spinel 4 nothing", "setup phases", "no verbatim"},
        {"magnetite mt1 verbatim", "magnetite 1 verbatim", "reading",
         "expecting a name; got: 1 - phases with same coding as sp_x"},
        {"g 3 1", "g 3 x", "setup phases", "bad encoding for g"},
        // Composition variables.
        {"j(cpx) 0.3", "j(cpx) 0", "setup phases", "guess for j(cpx) is zero"},
        {"j(cpx) 0.3", "j(cpx) 0.0", "setup phases", "guess for j(cpx) is zero"},
        {"j(cpx) 0.3", "j(g) 0.3", "setup phases", "name in g must be the same as phasename, cpx"},
        {"j(cpx) 0.3", "j 0.3", "setup phases",
         "varname, \"j\", should be in form \"xyzname(phasename)\""},
        {"k(pl) 0.02 range 0 0.2", "k(pl) 0.02 range 0.2 0", "read",
         "lower limit > upper limit (1)"},
        {"x(sp_x) 0 1", "x(sp_x) 0.5 0 1", "setup phases",
         "with coding = 2, omit starting guesses for sp"},
        // Expressions.
        {"p(di) 1 1 1 1 -1 j", "p(di) 1 1 1 1 -1 y", "setup phases",
         "y not a variable name: index/name in 1st of 1st term in p(di)"},
        {"p(di) 1 1 1 1 -1 j", "p(di) 1 1 1 1 -1 2", "setup phases",
         "illegal index/name in 1st of 1st term in p(di)"},
        {"p(di) 1 1 1 1 -1 j", "p(di) 1 1 0 0", "setup phases", "zero term in p(di)"},
        {"p(di) 1 1 1 1 -1 j", "p(di) 0 1 1 1 -1 j", "setup phases", "too few sxterms in p(di)"},
        {"p(di) 1 1 1 1 -1 j", "p(di) 1 5 1 1 -1 j", "setup phases",
         "too many x terms" + maxtext(4)},
        // Mixing model.
        {"W(di,jd) 26", "W(di,xx) 26", "setupphases",
         "names in  W name, \"W(di,xx)\" do not match \"di\" and \"jd\" in cpx"},
        {"W(di,jd) 26", "W(didj) 26", "setupphases", "W not strictsyntax"},
        {"W(py,alm) 2.5", "W(alm,py) 2.5", "", ""},  // either order
        {"W(di,jd) 26", "W(di,jd) 1e99999", "reading",
         "expecting a single (1); got: 1e99999 - a in w=a+bT+cP in W(di,jd)"},
        // Numbers out of range or out of sense, refused where read.
        {"W(di,jd) 26", "W(di,jd) 1e4000", "reading",
         "expecting a single (1); got: 1e4000 - a in w=a+bT+cP in W(di,jd)"},
        {"W(py,gr)  31  0 0     sd 3", "W(py,gr)  31  0 0     sd -3", "setup phases",
         "sd of W(py,gr) in g = -3 in \"qv-t.txt\": must not be negative"},
        {"jd 1 2 xAlM1 1", "jd 1 2 xAlM1 0", "setup phases",
         "site multiplicity (power for 1st sf term in tmf for jd) = 0 in \"qv-t.txt\": must be "
         "above 0"},
        {"jd 1 2 xAlM1 1", "jd 1 2 xAlM1 -1/2", "setup phases",
         "site multiplicity (power for 1st sf term in tmf for jd) = -0.5 in \"qv-t.txt\": must "
         "be above 0"},
        {"sill 0.9 0.05", "sill 0.9 -0.05", "setupphases",
         "sd of fixed activity for sill = -0.05 in \"qv-t.txt\": must not be negative"},
        {"p(jd) 1 1 0 1  1 j", "p(jj) 1 1 0 1  1 j", "setupphases",
         "name in propname, \"p(jj)\" does not match jd in cpx"},
        {"a(an)  0.55", "a(ab2) 0.55", "setupphases",
         "name in alphaname, \"a(ab2)\" does not match \"an\" in pl"},
        // All proportion names are checked before the van Laar size names.
        {"p(san) 1 1 0 1  1 k\n  asf\n  W(ab,an)  14.6 -0.00935 -0.04\n  W(ab,san) 24.1 "
         "-0.00957  0.338\n  W(an,san) 48.5  0       -0.13\n  a(ab)",
         "p(sa) 1 1 0 1  1 k\n  asf\n  W(ab,an)  14.6 -0.00935 -0.04\n  W(ab,san) 24.1 "
         "-0.00957  0.338\n  W(an,san) 48.5  0       -0.13\n  a(ax)",
         "setupphases", "name in propname, \"p(sa)\" does not match san in pl"},
        {"  sf\n  W(di,jd)", "  sq\n  W(di,jd)", "setupphases",
         "not recognised (should be ideal, sf or asf)"},
        // Site fractions and ideal-mixing terms.
        {"  4\n  xMgM1 1 1 1 1 -1 j", "  1\n  xMgM1 1 1 1 1 -1 j", "setup phases",
         "less than 2 sf vars for cpx"},
        {"jd 1 2 xAlM1 1", "jd 1 2 xAlM9 1", "setup phases",
         "xAlM9 not a sf name: name for 1st sf term in tmf for jd"},
        {"jd 1 2 xAlM1 1", "jd 1 0 xAlM1 1", "setup phases", "too few terms in tmf for jd"},
        // End-members and their options.
        {"di 1 2 xMgM1", "dx 1 2 xMgM1", "reading", "dx not in \"qv-ds62.txt\""},
        {"di 1 2 xMgM1", "H+ 1 2 xMgM1", "setupphases",
         "charged species not allowed as end-members"},
        {"jd 1 2 xAlM1 1 xNaM2 1", "jd 1 2 xAlM1 1 xNaM2 1 DQF 1 0 0", "setup phases",
         "need to \"make\" end-member before DQF-ing it"},
        {"jd 1 2 xAlM1 1 xNaM2 1", "jd 1 2 xAlM1 1 xNaM2 1 2", "setup phases",
         "wrong code in info for jd"},
        {"fo 1 2 xMgM1 1 xMgM2 1   check", "fo 1 2 xMgM1 1 xMgM2 1 make 1 fo 1 check",
         "setupphases", "names: end-member, fo, and name in make, fo, must be different"},
        {"make 2 fo 1/2 fa 1/2", "make 7 fo 1/2 fa 1/2", "setup phases",
         "too many end-members to construct fm" + maxtext(6)},
        {"DQF -1.5 0 0", "DQF make", "setup phases",
         "keyword after DQF not allowed now (include in make)"},
        // Pure phases and buffers.
        {"sill 0.9 0.05", "sill 1.2", "setupphases", "activity for sill not 0 > a \xB3 1"},
        {"sill 0.9 0.05", "sill 0.0", "setupphases", "activity for sill not 0 > a \xB3 1"},
        {"sill 0.9 0.05", "sill 1.0", "", ""},
        // Only the words "0" and "1" stand for an sd and an activity.
        {"sill 0.9 0.05", "sill 0.9 00", "reading",
         "expecting a name; got: 00 - name for 11th phase"},
        {"fmq 1 buffer make", "fmq 1 buffer 01 make", "reading",
         "wrong code for additional info for buffer"},
        {"\nky\n", "\nkyx\n", "reading", "kyx not in \"qv-ds62.txt\""},
        {"fmq 1 buffer", "fmq 1 fmq", "setupphases",
         "names: phase, fmq, and end-member, fmq, must be different"},
        {"DQF 0 0 0\n", "check 0 0 0\n", "reading", "wrong code for additional info for buffer"},
        {"% pure phases", "hq 1 q \xC6G 0 0 0\n%", "setup phases",
         "need to \"make\" end-member before DQF-ing it"},
        // The end of the input.
        {"  CO2 1 1 xc 1\n", "  CO2 1 1 xc\n*\n", "reading",
         "unexpected end of input: power for 1st sf term in tmf for CO2"},
        {"header\n\n% clino", "header\n*\n% clino", "reading",
         "unexpected end of input: name for 1st phase"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.to);
        AxRun r;
        const std::string text = replaced(datafile("qv-axtest.txt"), c.from, c.to);
        if (c.proc.empty()) {
            EXPECT_NO_THROW(r.read(text));
        } else {
            EXPECT_BOMB(r.read(text), c.proc, c.msg);
        }
    }
}

TEST(AxReader, FileWithoutPhases) {
    AxRun r;
    EXPECT_BOMB(r.read("% nothing\n\n*\nq\n"), "setup phases", "not enough in file");
    AxRun e;
    EXPECT_BOMB(e.read("   \n"), "setup phases", "not enough in file");
}

TEST(AxReader, HeaderIsAKeywordOnlyBeforeTheFirstPhase) {
    AxRun r;
    EXPECT_BOMB(r.read("q\nheader\nsome text\nheader\n"), "reading",
                "header not in \"qv-ds62.txt\"");
}

TEST(AxReader, RawLinesAreTrimmedAndCut) {
    AxRun r;
    const std::string longline(200, 'v');
    r.read("header\n   %  a comment kept as text  \n\t" + longline + "\nheaders end here\nq\n");
    EXPECT_EQ(r.run.ax.nheader, 4);
    EXPECT_EQ(r.run.ax.header[2], "  a comment kept as text");
    EXPECT_EQ(r.run.ax.header[3], std::string(120, 'v'));
    EXPECT_EQ(r.run.npure, 1);
}

TEST(AxReader, BlockWithoutItsClosingLine) {
    AxRun r;
    EXPECT_BOMB(r.read("header\nno end\n"), "readline", "problems reading for header/verbatim");
}

TEST(AxReader, SamecodingLimits) {
    // Six phases coded the same way fit the record; a seventh does not.
    const std::string six = "also f1 a1 f2 a2 f3 a3 f4 a4 f5 a5 f6 a6 verbatim";
    {
        AxRun r;
        r.read(replaced(datafile("qv-axtest.txt"), "also magnetite mt1 verbatim", six));
        EXPECT_EQ(r.ss(5).nalso, 6);
        EXPECT_EQ(r.ss(5).alsoshort[6], "a6");
    }
    {
        AxRun r;
        EXPECT_BOMB(r.read(replaced(datafile("qv-axtest.txt"), "also magnetite mt1 verbatim",
                                    "also f1 a1 f2 a2 f3 a3 f4 a4 f5 a5 f6 a6 f7 a7 verbatim")),
                    "setup phases", "too many phases with same coding as sp" + maxtext(6));
    }
    {
        // With 16 groups from the script there is no room for the file's group.
        AxRun r;
        r.run.script.nsamecoding = 16;
        EXPECT_BOMB(r.read(datafile("qv-axtest.txt")), "setup phases",
                    "too many samecoding groups" + maxtext(16));
    }
}

TEST(AxReader, VerbatimUnderMageminNamesThePhase) {
    AxRun r;
    r.run.script.magemincb = controlboolean::yes;
    r.read(datafile("qv-axtest.txt"));
    EXPECT_EQ(r.ss(5).verbatim[1], "# start x-eos: sp");
}

TEST(AxReader, ProgressLineWrapsAfterEightyCharacters) {
    AxRun r;
    // Nine names of 9 characters and a blank: the ninth reaches 90 and ends the line.
    std::string text;
    for (int k = 1; k <= 10; ++k) text += "phasenam" + std::to_string(k % 10) + " 0.5\n";
    Dataset& ds = r.run.dataset;
    for (int k = 1; k <= 10; ++k) ds.dsnames[ds.ndsem + k] = "phasenam" + std::to_string(k % 10);
    ds.ndsem = static_cast<int16>(ds.ndsem + 10);
    r.read(text);
    const std::size_t at = r.out().find("reading ax: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.out().substr(at + 12),
              "phasenam1 phasenam2 phasenam3 phasenam4 phasenam5 phasenam6 phasenam7 phasenam8 "
              "phasenam9 \n            phasenam0 ");
}

TEST(AxReader, AmbiguousOneAfterADatasetName) {
    {
        AxRun r("y\n");
        r.read("ky 1\nq\n");
        EXPECT_NE(r.out().find("datafile appears to be ambiguous: a 1 immediately follows ky;"),
                  std::string::npos);
        EXPECT_EQ(r.run.npure, 2);
        EXPECT_EQ(r.pure(1).activity, 1.0L);
        EXPECT_EQ(r.pure(1).emname, "ky");
    }
    {
        AxRun r("n\n");
        r.read("ky 1\nq\n");
        EXPECT_EQ(r.run.npure, 1);
        EXPECT_EQ(r.pure(1).emname, "q");
    }
    {
        // Not a dataset name: the 1 is the end-member count without a question.
        AxRun r;
        r.read("kyanite 1 ky 0.5\n");
        EXPECT_EQ(r.pure(1).emname, "ky");
        EXPECT_EQ(r.pure(1).activity, 0.5L);
    }
}

TEST(AxReader, BufferShiftAndDqfKinds) {
    AxRun r;
    r.run.script.buffername = "fmq";
    r.run.script.bufferdel = 2;
    std::string text = datafile("qv-axtest.txt");
    text = replaced(text, "DQF -1.5 0 0", "deltaG(od) -1.5 0 0");
    text = replaced(text, "make 3 mt 2 q 3 fa -3  DQF 0 0 0",
                    "make 3 ordered mt 2 q 3 disordered fa -3  3 0 0.1 0");
    r.read(text);
    EXPECT_EQ(r.ss(4).em[3].dqfkind, 3);
    const ptype0& fmq = r.pure(4);
    EXPECT_EQ(fmq.dqfkind, 0);
    EXPECT_EQ(fmq.makeaction[1], makeactiontype::ordered);
    EXPECT_EQ(fmq.makeaction[2], makeactiontype::notspecified);
    EXPECT_EQ(fmq.makeaction[3], makeactiontype::disordered);
    // 0.1 + ln 10 x R x 2
    EXPECT_REL_NEAR(fmq.dqfb, 0.1L + 2.302585092994046L * 0.0083144L * 2, 1e-15L);
}

TEST(AxReader, SmallOptionsAndOutOfRangeSd) {
    AxRun r;
    std::string text = datafile("qv-axtest.txt");
    text = replaced(text, "di 1 2 xMgM1 1 xCaM2 1", "di 1 2 xMgM1 1 xCaM2 1 exclude");
    text = replaced(text, "jd 1 2 xAlM1 1 xNaM2 1", "jd 1 2 xAlM1 1 xNaM2 1 7");
    text = replaced(text, "ca(pl) 0.4 sd 0.05", "ca(pl) 0.4 sd 1.5");
    r.read(text);
    EXPECT_TRUE(r.ss(1).em[1].excluded);
    EXPECT_TRUE(r.ss(1).em[2].excluded);
    EXPECT_FALSE(r.ss(2).em[1].excluded);
    EXPECT_EQ(r.ss(3).var[1].guesssd, 0.0L);
}

TEST(AxReader, OldDatasetLayoutHasNoCoding) {
    const std::string cpx =
        "cpx 2 0 j(cpx) 0.3 p(di) 1 1 1 1 -1 j p(jd) 1 1 0 1 1 j ideal\n"
        "2 xMg 1 1 1 1 -1 j xAl 1 1 0 1 1 j di 1 1 xMg 1 jd 1 1 xAl 1 DQF 1 0 0\n";
    {
        AxRun r;
        r.run.dataset.ds190 = true;
        r.read(cpx);
        EXPECT_EQ(r.ss(1).coding, 0);
        EXPECT_EQ(r.ss(1).em[2].dqfa, 1.0L);  // no "make" needed before a DQF
    }
    {
        AxRun r;
        r.run.dataset.ds190 = true;
        EXPECT_BOMB(r.read(replaced(cpx, "cpx 2 0", "cpx 2 1")), "setupphases",
                    "incorrect info after no of end-members for cpx");
    }
}

TEST(AxReader, OptionKeywords) {
    struct Case {
        const char* word;
        int code;
        int dqfkind;
    };
    const Case cases[] = {
        {"DQF", 3, 0},         {"dqf", 3, 0},          {"deltaG", 3, 0},
        {"\xC6G", 3, 0},       {"deltaG(make)", 3, 1}, {"delG(make)", 3, 1},
        {"\xC6G(make)", 3, 1}, {"deltaG(mod)", 3, 2},  {"delG(mod)", 3, 2},
        {"\xC6G(mod)", 3, 2},  {"deltaG(od)", 3, 3},   {"delG(od)", 3, 3},
        {"\xC6G(od)", 3, 3},   {"deltaG(tran)", 3, 4}, {"delG(tran)", 3, 4},
        {"\xC6G(tran)", 3, 4}, {"deltaG(rcal)", 3, 5}, {"delG(rcal)", 3, 5},
        {"\xC6G(rcal)", 3, 5}, {"make", 4, -1},        {"check", 5, -1},
        {"exclude", 7, -1},    {"delG", 0, -1},        {"Make", 0, -1},
    };
    for (const Case& c : cases) {
        int kind = 99;
        EXPECT_EQ(optionkeyword(c.word, kind), c.code) << c.word;
        EXPECT_EQ(kind, c.dqfkind) << c.word;
    }
}

TEST(AxReader, KeywordAlternatives) {
    AxRun r;
    std::string text = datafile("qv-axtest.txt");
    text = replaced(text, "also magnetite", "samecoding magnetite");
    text = replaced(text, "  asf\n  W(ab,an)", "  vanlaar\n  W(ab,an)");
    text = replaced(text, "ca(pl) 0.4 sd 0.05", "ca(pl) 0.4 sd 0.05 ODvar");
    text = replaced(text, "x(ol) 0.2", "x(ol) 0.2 isQ");
    text = replaced(text, "make 2 fo 1/2 fa 1/2", "make 2 equil fo 1/2 equilibrium fa 1/2");
    r.read(text);
    EXPECT_EQ(r.ss(5).nalso, 1);
    EXPECT_EQ(r.ss(3).model, axtype::vanlaar);
    EXPECT_TRUE(r.ss(3).var[1].isorder);
    EXPECT_TRUE(r.ss(3).hasorder);
    EXPECT_TRUE(r.ss(4).var[1].isorder);
    EXPECT_EQ(r.ss(4).em[3].makeaction[1], makeactiontype::equilibrium);
    EXPECT_EQ(r.ss(4).em[3].makeaction[2], makeactiontype::equilibrium);
}

// The phase tables grow with the phases read, but their capacity and its message stand: the 81st
// solution phase stops the reading.
TEST(AxReader, TooManySolutionPhases) {
    AxRun r;
    std::string text;
    for (int k = 1; k <= maxss + 1; ++k) {
        const std::string n = "c" + std::to_string(k);
        text += n + " 2 1\n  j(" + n + ") 0.3\n  p(di) 1 1 1 1 -1 j\n  p(jd) 1 1 0 1 1 j\n" +
                "  ideal\n  2\n  xa 1 1 1 1 -1 j\n  xb 1 1 0 1 1 j\n  di 1 1 xa 1\n" +
                "  jd 1 1 xb 1\n";
    }
    EXPECT_BOMB(r.read(text), "setup phases", "too many ss phases" + maxtext(maxss));
    EXPECT_EQ(r.run.nss, maxss + 1);
    EXPECT_EQ(r.ss(maxss).name, "c80");
}

TEST(AxReader, TooManyBuffers) {
    AxRun r;
    std::string text;
    for (int k = 1; k <= 6; ++k) text += "b" + std::to_string(k) + " 1 buffer make 1 q 1\n";
    EXPECT_BOMB(r.read(text), "setupphases", "too many buffers");
}

TEST(AxReader, ChargedCompounds) {
    struct Case {
        std::string make;
        bool pure;
        std::string msg;  // empty: accepted
    };
    const Case cases[] = {
        {"make 2 Na+ 1/2 Cl- 1/2", false, ""},
        {"make 2 Ca++ 1/3 Cl- 2/3", false, ""},
        {"make 2 Ca++ 1/2 Cl- 1/2", false, "compound not charged-balanced"},
        {"make 2 Na+ 1/2 q 1/2", false, "all species in a compound must be charged"},
        {"make 3 Na+ 1/3 Cl- 1/3 H+ 1/3", false, "must be just 2 charged species in a compound"},
        {"make 2 Na+ 1 Cl- 1", true, ""},
        // A pure phase carries both species in equal amounts.
        {"make 2 Ca++ 1/3 Cl- 2/3", true, "compound not in mean form"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.make);
        AxRun r;
        const std::string text = c.pure
                                     ? "salt 1 nacl " + c.make + "\n"
                                     : replaced(datafile("qv-axtest.txt"), "di 1 2 xMgM1 1 xCaM2 1",
                                                "di 1 2 xMgM1 1 xCaM2 1 " + c.make);
        if (c.msg.empty()) {
            r.read(text);
            const tdvector& td = c.pure ? r.pure(1).td : r.ss(1).em[1].td;
            EXPECT_EQ(td[18] + td[19], c.make.find("Ca++") != std::string::npos ? 3.0L : 2.0L);
        } else {
            EXPECT_BOMB(r.read(text), "setupphases", c.msg);
        }
    }
}

TEST(AxReader, FluidAndAqueousSpeciesStayInTheirPhases) {
    const ErrorCase cases[] = {
        {"  di 1 2 xMgM1", "  H2O 1 2 xMgM1", "read", "H2O not in fluid/aq"},
        {"  H2O 1 1 xh 1", "  q 1 1 xh 1", "read", "end-member name in fluid not recognised"},
        {"  H2O 1 1 xw  1\n  CO2 1 1 xco 1", "  CO2 1 1 xw  1\n  H2O 1 1 xco 1", "read",
         "1st H2O-CO2 aq end-member must be \"H2O\""},
        {"  H2O 1 1 xw  1\n  CO2 1 1 xco 1", "  H2O 1 1 xw  1\n  q 1 1 xco 1", "", ""},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.to);
        AxRun r;
        std::string text = replaced(datafile("qv-axtest.txt"), c.from, c.to);
        // Proportion names follow the end-member names.
        if (c.to.find("  H2O 1 2 xMgM1") != std::string::npos) {
            text = replaced(text, "p(di)", "p(H2O)");
            text = replaced(text, "W(di,jd)", "W(H2O,jd)");
        }
        if (c.to.find("  q 1 1 xh") != std::string::npos) {
            text = replaced(text, "p(H2O) 1 1 1 1 -1 x\n  p(CO2) 1 1 0 1  1 x\n  asf",
                            "p(q) 1 1 1 1 -1 x\n  p(CO2) 1 1 0 1  1 x\n  asf");
            text = replaced(text, "W(H2O,CO2) 10.5", "W(q,CO2) 10.5");
            text = replaced(text, "a(H2O) 1 0 0", "a(q) 1 0 0");
        }
        if (c.to.find("  CO2 1 1 xw") != std::string::npos) {
            text = replaced(text, "p(H2O) 1 1 1 1 -1 x\n  p(CO2) 1 1 0 1  1 x\n  ideal",
                            "p(CO2) 1 1 1 1 -1 x\n  p(H2O) 1 1 0 1  1 x\n  ideal");
        }
        if (c.to.find("  q 1 1 xco") != std::string::npos) {
            text = replaced(text, "p(CO2) 1 1 0 1  1 x\n  ideal", "p(q) 1 1 0 1  1 x\n  ideal");
        }
        try {
            r.read(text);
        } catch (const RunBombed& b) {
            ADD_FAILURE() << b.procname << ": " << b.message;
            continue;
        }
        if (c.proc.empty()) {
            EXPECT_NO_THROW(setupfluidaq(r.ts.ses, r.run));
        } else {
            EXPECT_BOMB(setupfluidaq(r.ts.ses, r.run), c.proc, c.msg);
        }
    }
}

TEST(AxReader, FluidEndMembersAreCheckedBeforeTheAqueousOrder) {
    // The aqueous phase comes first and has CO2 first; the fluid's foreign end-member is still
    // the first fault reported.
    const std::string binary =
        " 2 1\n x(@) 0.5\n p(#1) 1 1 1 1 -1 x\n p(#2) 1 1 0 1 1 x\n"
        " ideal\n 2\n s1 1 1 1 1 -1 x\n s2 1 1 0 1 1 x\n"
        " #1 1 1 s1 1\n #2 1 1 s2 1\n";
    auto phase = [&](const std::string& name, const std::string& em1, const std::string& em2) {
        std::string t = name + binary;
        t = replaced(t, "@", name);
        for (int k = 0; k < 2; ++k) {
            t.replace(t.find("#1"), 2, em1);
            t.replace(t.find("#2"), 2, em2);
        }
        return t;
    };
    AxRun r;
    r.read(phase("aq", "CO2", "H2O") + phase("fluid", "H2O", "q"));
    EXPECT_BOMB(setupfluidaq(r.ts.ses, r.run), "read", "end-member name in fluid not recognised");
}

// ---------------------------------------------------------------------------------------------
// Whole set-up: the dataset file, then the a-x file through to its final checks.

TEST(SetupPhases, ExampleFileWithTheDataset) {
    AxRun r;
    r.dir.write("qv-ds62.txt", datafile("qv-ds62.txt"));
    r.dir.write("qv-axexample.txt", datafile("qv-axexample.txt"));
    Session& ses = r.ts.ses;
    ses.prefs.dsfilesuffix = "62";
    readthermo(ses, r.run, 1);
    ses.prefs.axfilesuffix = "axexample";
    r.run.runftype = ftype::ih2oco2;  // left by an earlier run
    setupphases(ses, r.run);
    EXPECT_EQ(r.run.runftype, ftype::notset);
    const std::string& out = r.out();
    EXPECT_NE(out.find(std::string(60, '^') +
                       "\nQUORVANTIS 3.51 running at 14.05 on Tue 8 Dec,2026\n"
                       "using " +
                       r.run.dataset.dstitle + "\n"),
              std::string::npos);
    EXPECT_NE(out.find("\nwith axfile qv-axexample.txt and scriptfile qv-x.txt\n"
                       "reading ax: q ky and sill mu san H2O "),
              std::string::npos);
    EXPECT_EQ(r.run.nphread, 7);
    EXPECT_EQ(r.run.npure, 7);
    EXPECT_FALSE(r.run.ax.open);
    EXPECT_FALSE(r.run.ax.file.is_open());
}

TEST(SetupPhases, IdealMixingCheckOfTheFixture) {
    {
        AxRun r;
        r.dir.write("qv-t.txt", datafile("qv-axtest.txt"));
        r.ts.ses.prefs.axfilesuffix = "t";
        setupphases(r.ts.ses, r.run);
        EXPECT_EQ(r.run.nss, 7);
    }
    {
        // An ideal-mixing activity of 2 at the pure end-member.
        AxRun r;
        r.dir.write("qv-t.txt",
                    replaced(datafile("qv-axtest.txt"), "py  1 1 xMgX 3", "py  2 1 xMgX 3"));
        r.ts.ses.prefs.axfilesuffix = "t";
        EXPECT_BOMB(setupphases(r.ts.ses, r.run), "setupphases",
                    " ideal mixing terms not equal to 1 for pure end-members (also look at check "
                    "coding)");
        EXPECT_NE(r.out().find("inconsistent ideal mixing activities: py in g = 2.0000"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace qv
