#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "phasediagram/resultprinters.hpp"
#include "phasediagram/results.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

// Channels of the printers: 2 summary, 3 log, 4 detailed results, 6 drawing program, 7 csv,
// 8 second csv, each on a temporary file.
struct Printed {
    Printed() {
        ses().ch.activechannels = 1;
        for (int c : {2, 3, 4, 6, 7, 8}) {
            ses().ch.files[static_cast<std::size_t>(c)].f = std::tmpfile();
            ses().ch.activechannels |= int32{1} << c;
        }
    }
    ~Printed() {
        for (OutFile& f : ses().ch.files) {
            if (f.f != nullptr) std::fclose(f.f);
        }
    }
    Printed(const Printed&) = delete;
    Printed& operator=(const Printed&) = delete;

    Session& ses() { return t.ses; }
    std::string screen() const { return t.console.output; }
    // Everything written to channel c so far.
    std::string channel(int c) {
        std::FILE* f = ses().ch.files[static_cast<std::size_t>(c)].f;
        std::fflush(f);
        std::rewind(f);
        std::string s;
        for (int ch = std::fgetc(f); ch != EOF; ch = std::fgetc(f))
            s.push_back(static_cast<char>(ch));
        return s;
    }
    std::string log() { return channel(3); }
    std::string ic() { return channel(4); }
    std::string vx() { return channel(6); }
    std::string csv() { return channel(7); }
    std::string csv2() { return channel(8); }

    test::TestSession t;
};

// A solved point of garnet (three end-members), plagioclase (two), kyanite and quartz at
// 8.5 kbar and 600 degrees C, with the run's settings of a univariant P-T line.
struct Fixture {
    Fixture() {
        run.arrays.prec1 = std::make_unique<prectype1>();
        run.arrays.prec0 = std::make_unique<prectype0>();
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        run.nss = 2;
        run.npure = 2;
        run.nxvars = 5;
        run.nmodevars = 0;
        p1[1].name = "g";
        p1[1].nem = 3;
        p1[1].nvar = 2;
        p1[1].var[1].name = "x(g)";
        p1[1].var[2].name = "z(g)";
        p1[2].name = "pl";
        p1[2].nem = 2;
        p1[2].nvar = 1;
        p1[2].var[1].name = "ca(pl)";
        p1[2].var[1].upper = 2;
        p0[1].name = "ky";
        p0[2].name = "q";
        for (int i = 1; i <= 4; ++i) st.equilphases[i] = true;

        st.xref.calcphaselist = std::make_unique<CalcPhaseList>();
        CalcPhaseList& cp = *st.xref.calcphaselist;
        st.xref.ncalcphases = 4;
        const char* names[] = {"g", "pl", "ky", "q"};
        const char* ems[][3] = {
            {"py", "alm", "gr"}, {"an", "abh", ""}, {"ky", "", ""}, {"q", "", ""}};
        const int nems[] = {3, 2, 1, 1};
        for (int i = 1; i <= 4; ++i) {
            cp[i].name = names[i - 1];
            cp[i].shown = true;
            cp[i].solution = i <= 2;
            cp[i].index = static_cast<int16>(i <= 2 ? i : i - 2);
            cp[i].nem = static_cast<int16>(nems[i - 1]);
            for (int k = 1; k <= nems[i - 1]; ++k) cp[i].emnames[k] = ems[i - 1][k - 1];
        }
        cp[1].varpos = 3;
        cp[1].varnames[1] = "x(g)";
        cp[1].varnames[2] = "z(g)";
        cp[1].nsf = 3;
        cp[1].sfnames[1] = "xMgX";
        cp[1].sfnames[2] = "xFeX";
        cp[1].sfnames[3] = "xCaX";
        cp[2].varpos = 5;
        cp[2].varnames[1] = "ca(pl)";
        cp[2].nsf = 2;
        cp[2].sfnames[1] = "xCaA";
        cp[2].sfnames[2] = "xNaA";

        const char* xn[] = {"P", "T", "x(g)", "z(g)", "ca(pl)"};
        const real xv[] = {8.5L, 873.15L, 0.812345678L, 0.0534L, 0.3L};
        for (int i = 1; i <= 5; ++i) {
            st.xref.xnames[i] = xn[i - 1];
            st.varvalues[i] = xv[i - 1];
            st.varcalculated[i] = true;
        }
        st.varcalculated[2] = false;  // T given, P calculated
        st.varcalculated[5] = false;  // the plagioclase held at an isopleth value
        st.nlestatus.convmark = "ef";
        st.nlestatus.nleiter = 4;
        st.nlestatus.jaccond = 12345.678L;
        st.ngood = 1;
        st.repeatheader = false;

        Result& r = st.cur;
        r.p = 8.5L;
        r.t = 873.15L;
        r.variance = 1;
        r.runvariance = 1;
        r.ncomp = 4;
        r.nbulkcomp = 4;
        const char* comps[] = {"SiO2", "Al2O3", "CaO", "FeO"};
        for (int c = 1; c <= 4; ++c) {
            r.compnames[c] = comps[c - 1];
            r.compused[c] = true;
        }
        r.nbulk = 1;
        r.nphases = 4;
        for (int i = 1; i <= 4; ++i) {
            ResultPhase& ph = r.ph[i];
            ph.name = names[i - 1];
            ph.solution = i <= 2;
            ph.table = static_cast<int16>(i <= 2 ? i : i - 2);
            ph.nem = static_cast<int16>(nems[i - 1]);
            ph.mode[1] = -1;
            ph.act[1] = 1;
        }
        r.ph[1].varpos = 3;
        r.ph[1].x[1] = 0.812345678L;
        r.ph[1].x[2] = 0.0534L;
        r.ph[2].varpos = 5;
        r.ph[2].x[1] = 0.3L;
        // The end-members of the solutions: proportion (and site fraction), ideal activity,
        // activity coefficient, activity, G and RT ln a.
        const struct {
            int phase, em;
            real prop, idealact, gamma, act, gem, rtlna;
        } emrows[] = {
            {1, 1, 0.17747L, 0.0055897L, 1.2L, 0.0067076L, -6549.4321L, -36.25L},
            {1, 2, 0.76922L, 0.45514L, 1.01L, 0.45969L, -5419.87654321L, -5.6398L},
            {1, 3, 0.0534L, 0.00015228L, 2.5L, 0.0003807L, -6979.5L, -57.1L},
            {2, 1, 0.3L, 0.3L, 1.5L, 0.45L, -4513.2L, -5.79L},
            {2, 2, 0.7L, 0.7L, 1.1L, 0.77L, -4070.1L, -1.89L},
        };
        for (const auto& e : emrows) {
            ResultPhase& ph = r.ph[e.phase];
            ph.sf[e.em] = e.prop;
            ph.p[e.em] = e.prop;
            ph.idealact[e.em] = e.idealact;
            ph.gamma[e.em] = e.gamma;
            ph.act[e.em] = e.act;
            ph.props.gem[e.em] = e.gem;
            ph.props.rtlna[e.em] = e.rtlna;
        }
        // The oxides of each phase (SiO2, Al2O3, CaO, FeO; the rest 0) and its properties.
        const struct {
            std::vector<real> comp;
            real g, h, s, v, density;
        } phases[] = {
            {{3, 1, 0.1602L, 2.30766L}, -5272.123456L, -4981.5L, 0.33314L, 11.6543L, 4.1234L},
            {{2.7L, 1.3L, 0.3L}, -4200.5L, -3950.25L, 0.2871L, 10.0523L, 2.6789L},
            {{1, 1}, -2722.7L, -2553.1L, 0.2043L, 4.414L, 3.6714L},
            {{1}, -986.31L, -874.02L, 0.1265L, 2.3525L, 2.554L},
        };
        for (int i = 1; i <= 4; ++i) {
            const auto& row = phases[i - 1];
            ResultPhase& ph = r.ph[i];
            for (std::size_t c = 0; c < row.comp.size(); ++c) {
                ph.comp[static_cast<int>(c + 1)] = row.comp[c];
            }
            ph.props.g = row.g;
            ph.props.h = row.h;
            ph.props.s = row.s;
            ph.props.v = row.v;
            ph.props.density = row.density;
        }
        r.sys.g[1] = -13181.6L;
        r.sys.h[1] = -12358.9L;
        r.sys.s[1] = 0.95L;
        r.sys.v[1] = 28.47L;
        r.sys.density[1] = 3.5127L;
    }

    void ses_pagewidth(Printed& out) const { out.ses().ch.pagewidth = 80; }

    Run run;
    PdRun pd;
    SolveState st;
};

// The entry header of a univariant line and its data rows on the drawing-program channel.
TEST(DrawingRows, UnivariantHeaderAndRows) {
    Printed out;
    Fixture f;
    f.run.script.vexlatcb = controlboolean::yes;
    printstep(out.ses(), f.run, f.pd, f.st);
    printvxfluid(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.vx(),
              "\n% ------------------------------\n"
              "u<k>   g pl ky q   univariant\n\n"
              "begin  end  \n\n"
              "8.500 600.00 0.8123 0.05340 0.3000 \n");
    EXPECT_EQ(out.screen(),
              "<==========================================================>\n"
              "phases: g pl ky q  \n");
}

TEST(DrawingRows, ColourAndPropertiesOfTheDataRow) {
    Printed out;
    Fixture f;
    f.run.script.vexlatcb = controlboolean::yes;
    f.run.script.vexlatvalue = 1;
    f.run.nss = 2;
    f.pd.nbulk = 2;
    f.st.cur.bulkposition = 0.25L;
    printvxfluid(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.vx(),
              "0.25000 8.500 600.00 0.8123 0.05340 0.3000  -1.318160e+4 -12358.90000 0.950000 "
              "28.470000 3.512700\n");
}

// The brace rows: a comma before the bulk position whether or not the modes are written.
TEST(DrawingRows, BraceRowAlwaysSeparatesTheBulkPosition) {
    Printed out;
    Fixture f;
    f.run.script.vexlatcb = controlboolean::no;
    printcompatrow(out.ses(), f.run, f.pd, f.st);
    f.run.script.morepreccb = controlboolean::yes;
    for (int i = 1; i <= 4; ++i) {
        f.st.cur.ph[i].props.mode[1] = 0.25L;
        f.st.cur.ph[i].props.factor[1] = 1;
    }
    f.st.cur.bulkposition = -1;
    printcompatrow(out.ses(), f.run, f.pd, f.st);
    f.st.cur.sys.g[1] = 0;  // no system G: no row
    printcompatrow(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.vx(),
              "{8.500, 600.0000, -1.31816e+4, -12358.90000, 0.950000, 28.470000, 3.512700, 0},\n"
              "{8.500, 600.0000, -1.31816e+4, -12358.90000, 0.950000, 28.470000, 3.512700,"
              "   0.25000000,   0.25000000,   0.25000000,   0.25000000, 0},\n");
}

TEST(DrawingRows, MathematicaHeaderWithoutVexlat) {
    Printed out;
    Fixture f;
    f.run.script.vexlatcb = controlboolean::no;
    f.run.nmodevars = 2;
    f.st.xref.nssmodes = 1;
    f.st.xref.modephase[1] = 1;  // g
    f.st.xref.modephase[2] = 1;  // ky
    // before the first point is solved: only the layout says which modes are calculated
    f.st.xref.xfree[6] = true;
    f.st.xref.xfree[7] = false;
    printvxlines(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.vx(), "\n(* ------------------------------ *)\n(* g - ky *)\n\n");
}

// The csv heading carries the degree byte; a later pass separates its rows by an empty line.
TEST(CsvRows, HeadingRowsAndSecondCsv) {
    Printed out;
    Fixture f;
    f.st.cur.ph[1].mode[1] = 0.4L;
    f.st.cur.ph[2].mode[1] = 0;
    f.st.cur.ph[3].mode[1] = 0.6L;
    f.st.cur.ph[4].mode[1] = 0;
    printcsv2row(out.ses(), f.run, f.pd, f.st);
    f.st.ngood = 2;
    f.st.cur.p = 8.75L;
    printcsv2row(out.ses(), f.run, f.pd, f.st);
    f.pd.firstpass = false;
    f.st.ngood = 1;
    printcsv2row(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.csv(),
              "   P(kbar),      T(\xA1"
              "C), \n"
              "     8.500,     600.00,   g ky - pl q \n"
              "     8.750,     600.00, \n"
              "\n"
              "     8.750,     600.00,   g ky - pl q \n");
    EXPECT_EQ(out.csv2(),
              "    8.500,    600.00,   0.81235,  0.053400,   0.30000, \n"
              "    8.750,    600.00,   0.81235,  0.053400,   0.30000, \n"
              "    8.750,    600.00,   0.81235,  0.053400,   0.30000, \n");
}

TEST(CsvRows, PropertiesWithTheVexlatValueOne) {
    Printed out;
    Fixture f;
    f.run.script.vexlatvalue = 1;
    printcsv2row(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.csv(),
              "   P(kbar),      T(\xA1"
              "C),          G,          H,          S,          V,        rho, \n"
              "     8.500,     600.00, -13181.60000, -12358.90000,     0.9500,    28.4700,     "
              "3.5127,   g pl ky q \n");
}

TEST(DetailedReport, CompactForm) {
    Printed out;
    Fixture f;
    printic(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.ic(),
              "\n===========================================================\n"
              "g pl ky q  {8.5000, 600.000}  kbar/C\n"
              "var = 1\n\n"
              "g          x(g)      z(g)\n"
              "        0.81235   0.05340\n"
              "pl       ca(pl)\n"
              "        0.30000\n"
              "\nsite fractions\n"
              "g          xMgX      xFeX      xCaX\n"
              "        0.17747   0.76922   0.05340\n"
              "pl         xCaA      xNaA\n"
              "        0.30000   0.70000\n"
              "\noxide compositions\n"
              "              SiO2       Al2O3         CaO         FeO\n"
              "g                3           1    0.160200    2.307660\n"
              "pl        2.700000    1.300000    0.300000           0\n"
              "ky               1           1           0           0\n"
              "q                1           0           0           0\n"
              "\n                        G            H        S        V      rho\n"
              "g             -5272.12346  -4981.50000  0.33314 11.65430  4.12340\n"
              "pl            -4200.50000  -3950.25000  0.28710 10.05230  2.67890\n"
              "ky            -2722.70000  -2553.10000  0.20430  4.41400  3.67140\n"
              "q              -986.31000   -874.02000  0.12650  2.35250  2.55400\n"
              "\n                  ideal    gamma   activity       prop          mu0      RT ln a\n"
              "g     py        0.00559  1.20000    0.00671    0.17747  -6549.43210    -36.25000\n"
              "      alm       0.45514  1.01000    0.45969    0.76922  -5419.87654     -5.63980\n"
              "      gr        0.00015  2.50000    0.00038    0.05340  -6979.50000    -57.10000\n"
              "\n"
              "pl    an        0.30000  1.50000    0.45000    0.30000  -4513.20000     -5.79000\n"
              "      abh       0.70000  1.10000    0.77000    0.70000  -4070.10000     -1.89000\n"
              "\n"
              "ky                                                      -2722.70000\n"
              "q                                                        -986.31000\n");
}

// Modes found after the solve at one bulk point: "; seen", the bulk line, modes, factors and the
// system's properties; "moreprec" widens the property columns to 8 decimals in 12.
TEST(DetailedReport, CompactFormWithModesAndMorePrecision) {
    Printed out;
    Fixture f;
    f.pd.modesaftersolve = true;
    f.pd.variance = 2;
    f.pd.maxvariance = 2;
    f.st.cur.variance = 2;
    f.run.script.morepreccb = controlboolean::yes;
    Result& r = f.st.cur;
    r.nbulk = 1;
    r.nmodesteps = 1;
    r.firstmodestep = 1;
    r.bulk[1][1] = 0.6L;
    r.bulk[1][2] = 0.2L;
    r.bulk[1][3] = 0.05L;
    r.bulk[1][4] = 0.15L;
    const real modes[] = {0.3L, 0.2L, 0.1L, 0.4L};
    for (int i = 1; i <= 4; ++i) {
        r.ph[i].mode[1] = modes[i - 1];
        r.ph[i].stepfactor[1] = 1;
    }
    r.ph[2].mode[1] = 0;
    printic(out.ses(), f.run, f.pd, f.st);
    const std::string ic = out.ic();
    EXPECT_NE(ic.find("var = 2; seen\n"), std::string::npos) << ic;
    EXPECT_NE(ic.find("bulk       60.0000     20.0000      5.0000     15.0000\n"),
              std::string::npos)
        << ic;
    EXPECT_NE(ic.find("\nmode             g          pl          ky           q\n"
                      "1       0.30000000              0.10000000  0.40000000\n"
                      "\nfactor           g          pl          ky           q\n"
                      "1       1.00000000  1.00000000  1.00000000  1.00000000\n"),
              std::string::npos)
        << ic;
    // A value too large for eight decimals gets as many as the conversion holds, never fewer
    // than the five without "moreprec" (not the exponent form, with fewer digits, nor a field
    // run into the one before it).
    EXPECT_NE(ic.find("q                -986.310000     -874.020000  0.12650000  2.35250000  "
                      "2.55400000\n"
                      "sys             -13181.60000    -12358.90000  0.95000000  28.4700000  "
                      "3.51270000\n"),
              std::string::npos)
        << ic;
}

// 18 composition variables do not fit on 80 characters: blocks of six columns under an indent,
// header rows with every result, names cut to nine characters.
TEST(ResultTable, ColumnBlocksOnANarrowPage) {
    Printed out;
    Fixture f;
    f.ses_pagewidth(out);
    f.run.nxvars = 20;
    for (int i = 3; i <= 20; ++i) {
        f.st.xref.xnames[i] = "v" + std::to_string(i) + "(longname)";
        f.st.varvalues[i] = 0.01L * i;
        f.st.varcalculated[i] = true;
    }
    f.st.varvalues[20] = 0.125L;
    f.st.varcalculated[20] = false;
    f.st.ngood = 2;
    f.st.progresscount = 3;
    printresulttable(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.screen(),
              "\n------------------------------------------------------------ef 4\n"
              " P(kbar)     T(\xA1"
              "C) v3(longna v4(longna v5(longna v6(longna v7(longna v8(longna\n"
              "   8.500   600.000   0.03000   0.04000   0.05000   0.06000   0.07000   0.08000\n"
              "                   v9(longna v10(longn v11(longn v12(longn v13(longn v14(longn\n"
              "                     0.09000    0.1000    0.1100    0.1200    0.1300    0.1400\n"
              "                   v15(longn v16(longn v17(longn v18(longn v19(longn v20(longn\n"
              "                      0.1500    0.1600    0.1700    0.1800    0.1900     0.125\n");
    EXPECT_EQ(f.st.progresscount, 0);
}

// Later results of a table that fits print value rows only; a rank-deficient start marks the
// value row with "#" and shifts the header rows by one blank.
TEST(ResultTable, ValueRowsAndSingularMark) {
    Printed out;
    Fixture f;
    f.st.ngood = 2;
    f.st.progresscount = 2;
    printresulttable(out.ses(), f.run, f.pd, f.st);
    f.st.ngood = 1;
    f.st.nlestatus.jacsingular = true;
    f.run.script.morepreccb = controlboolean::yes;
    printresulttable(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.screen(),
              "\n"
              "   8.500   600.000    0.8123   0.05340       0.3\n"
              "------------------------------------------------------------ef 4     12346\n"
              "  P(kbar)     T(\xA1"
              "C)      x(g)      z(g)    ca(pl)\n"
              "#   8.500   600.000    0.8123   0.05340       0.3\n");
}

// The uncertainty rows: parts under the calculated variables, blanks under the given ones.
TEST(ResultTable, UncertaintyRows) {
    Printed out;
    Fixture f;
    f.run.script.calcsdlevel = 2;
    for (int i = 1; i <= 5; ++i) {
        f.st.sdv.h[i] = 0.01L * i;
        f.st.sdv.w[i] = -0.5L;
        f.st.sdv.sd[i] = 0.1L * i;
    }
    printresulttable(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.screen(),
              "------------------------------------------------------------ef 4\n"
              "   P(kbar)     T(\xA1"
              "C)      x(g)      z(g)    ca(pl)\n"
              "     8.500   600.000    0.8123   0.05340       0.3\n"
              "h    0.010             0.03000   0.04000          \n"
              "w   -0.500                   0         0          \n"
              "sd   0.100              0.3000    0.4000          \n");
}

TEST(GuessBlocks, PtguessAndXyzguess) {
    Printed out;
    Fixture f;
    printresultguesses(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "\n% ----------------------------------------------------------\n"
              "% at P = 8.5, T = 600, for: g pl ky q\n"
              "% ----------------------------------------------------------\n"
              "ptguess 8.500 600.00\n"
              "% ----------------------------------------------------------\n"
              "xyzguess x(g)         0.8123457\n"
              "xyzguess z(g)        0.05340000\n"
              "% -----------------------------\n"
              "xyzguess ca(pl)       0.3000000  range  0.000 2.000\n"
              "% ----------------------------------------------------------\n\n");
}

// A variable dropped for a starting guess of 0 keeps its line as a "boiler"; the heading names
// the modes, the zero modes and the bulk position.
TEST(GuessBlocks, ModesZeroModesAndDroppedVariables) {
    Printed out;
    Fixture f;
    ptype1& g = (*f.run.arrays.prec1)[1];
    g.nvarset = 3;
    g.varsetname[1] = "x(g)";
    g.varsetname[2] = "f(g)";
    g.varsetname[3] = "z(g)";
    g.varnonzero[1] = true;
    g.varnonzero[2] = false;
    g.varnonzero[3] = true;
    g.var[2].lower = -1;
    g.var[2].upper = 1.5L;
    f.run.nmodevars = 3;
    f.st.xref.nssmodes = 2;
    f.st.xref.modephase[1] = 1;
    f.st.xref.modephase[2] = 2;
    f.st.xref.modephase[3] = 1;
    f.run.excess.excessflag[3] = true;  // ky in excess
    f.st.xref.xnames[6] = "g";
    f.st.xref.xnames[7] = "pl";
    f.st.xref.xnames[8] = "ky";
    f.st.varvalues[6] = 0.7L;
    f.st.varcalculated[6] = true;
    f.st.varvalues[7] = 0;
    f.st.varcalculated[7] = false;
    f.st.varcalculated[8] = true;
    f.pd.bulkx = 0.5L;
    f.st.cur.bulkposition = 0.5L;
    f.st.cur.p = 12.34L;
    f.st.cur.t = 1023.8L;
    printresultguesses(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "\n% ----------------------------------------------------------\n"
              "% at P = 12.3, T = 751, for: g pl  with pl = 0, and x = 0.5000\n"
              "% ----------------------------------------------------------\n"
              "ptguess 12.340 750.65\n"
              "% ----------------------------------------------------------\n"
              "xyzguess x(g)         0.8123457\n"
              "xyzguess f(g)                 0  % boiler\n"
              "xyzguess z(g)        0.05340000  range -1.000 1.500\n"
              "% -----------------------------\n"
              "xyzguess ca(pl)       0.3000000  range  0.000 2.000\n"
              "% ----------------------------------------------------------\n\n");
}

TEST(GuessBlocks, BulkAndRbiTableau) {
    Printed out;
    Fixture f;
    f.st.cur.compnames[3] = "O";
    writebulkinfo(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "\n% ----------------------------------------------------------\n"
              "%                                    SiO2       Al2O3           O        FeOt\n"
              "bulk  rbi       g          ##           3           1    0.160200    2.307660\n"
              "bulk  rbi      pl          ##    2.700000    1.300000    0.300000           0\n"
              "bulk  rbi      ky          ##           1           1           0           0\n"
              "bulk  rbi       q          ##           1           0           0           0\n"
              "% ----------------------------------------------------------\n"
              "replace the ''##'' by the modes you want to use to make the bulk\n");
}

TEST(PrintOrder, MorestuffStopsInAMinimisationRun) {
    Printed out;
    Fixture f;
    f.run.script.dogminon = true;
    EXPECT_BOMB(printmorestuff(out.ses(), f.run, f.pd, f.st), "printmorestuff",
                "in here for dogmin?");
}

// Modes of a fixed bulk: quartz named by "inexcess0" is left out and the others renormalised,
// shown on a second line with "z" in its column; G alone follows the modes.
void setmodes(Fixture& f) {
    f.pd.modesaftersolve = true;
    Result& r = f.st.cur;
    r.nbulk = 1;
    r.nmodesteps = 1;
    r.firstmodestep = 1;
    const real modes[] = {0.3L, 0.2L, 0.1L, 0.4L};
    for (int i = 1; i <= 4; ++i) {
        r.ph[i].mode[1] = modes[i - 1];
        r.ph[i].hasmode = true;
        r.ph[i].shown = true;
    }
}

TEST(ModesTable, ZeroedPhaseAndRenormalisedModes) {
    Printed out;
    Fixture f;
    setmodes(f);
    f.run.script.ninexcess0 = 1;
    f.run.script.inexcess0list[1] = "q";
    printmodes(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.screen(),
              "\nmode           g        pl        ky         q           G\n"
              "          0.3000    0.2000    0.1000    0.4000-13181.60000\n"
              "          0.5000    0.3333    0.1667         z\n");
}

TEST(ModesTable, FullPropertiesAndTheC8Mark) {
    Printed out;
    Fixture f;
    setmodes(f);
    f.st.cur.nmodesteps = 2;
    f.st.cur.nbulk = 3;
    f.st.cur.bulkpos[1] = 0;
    f.st.cur.bulkpos[2] = 0.5L;
    f.pd.maxvariance = 2;
    for (int i = 1; i <= 4; ++i) f.st.cur.ph[i].mode[2] = 0.25L;
    f.st.cur.ph[2].mode[2] = 1.25L;
    f.st.cur.ph[4].mode[2] = -0.5L;
    f.st.cur.ph[3].mode[1] = 0;
    f.run.script.c8cb = controlboolean::yes;
    printmodes(out.ses(), f.run, f.pd, f.st);
    // the screen cuts lines at the page width; the log keeps them whole
    EXPECT_EQ(out.log(),
              "\nmode  pos   prop         g        pl        ky         q           G           H"
              "         S         V       rho\n"
              "     1         0    0.3000    0.2000              0.4000-13181.60000-12358.90000"
              "    0.9500   28.4700    3.5127\n"
              "#    2    0.5000    0.2500     1.250    0.2500   -0.5000\n");
}

// With "lsqds" a result is only its activity row (and modes); 15 end-members on 80 characters
// come in blocks of five under header rows.
TEST(ActivityRow, BlocksOfEndMembersAndNothingElse) {
    Printed out;
    Fixture f;
    Result& r = f.st.cur;
    CalcPhaseList& cp = *f.st.xref.calcphaselist;
    r.nphases = 2;
    r.ph[2] = ResultPhase{};
    r.ph[2].name = "ky";
    r.ph[2].nem = 1;
    r.ph[2].act[1] = 1;
    cp[2] = cp[3];
    r.ph[1].nem = 11;
    cp[1].nem = 11;
    for (int k = 1; k <= 11; ++k) {
        cp[1].emnames[k] = "em" + std::to_string(k);
        r.ph[1].act[k] = 0.01L * k;
    }
    f.run.script.lsqdscb = controlboolean::yes;
    f.st.progresscount = 5;
    printresult(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "\n"
              "  P(kbar)     T(\xA1"
              "C)         em1         em2         em3         em4         em5\n"
              "    8.500    600.00   0.0100000   0.0200000   0.0300000   0.0400000   0.0500000\n"
              "                            em6         em7         em8         em9        em10\n"
              "                      0.0600000   0.0700000   0.0800000   0.0900000    0.100000\n"
              "                           em11          ky\n"
              "                       0.110000     1.00000\n");
    EXPECT_EQ(out.ic(), "");
    EXPECT_EQ(out.csv(), "");
    EXPECT_EQ(out.log().find("ptguess"), std::string::npos);
}

TEST(ModeBox, DrawingRowAndCsvRowsOfTheWithList) {
    Printed out;
    Fixture f;
    setmodes(f);
    f.run.script.nwithphases = 5;
    const char* with[] = {"g", "bi", "pl", "ky", "q"};
    for (int k = 1; k <= 5; ++k) f.run.script.withlist[k] = with[k - 1];
    f.st.ngood = 1;
    // a univariant line has a second mode set, at the other end of its reaction
    const real other[] = {0.5L, 0, 0.25L, 0.25L};
    for (int i = 1; i <= 4; ++i) f.st.cur.ph[i].mode[2] = other[i - 1];
    printmodebox(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.vx(),
              "\n{{8.500, 600.00, 0}, {\"g\", 0.30000}, {\"pl\", 0.20000}, {\"ky\", 0.10000}, "
              "{\"q\", 0.40000}}, \n");
    EXPECT_EQ(out.csv(),
              "   P(kbar),      T(C),      prop,         g,        bi,        pl,        ky,"
              "         q,\n"
              "     8.500,    600.00,         0,   0.30000,         0,   0.20000,   0.10000,"
              "   0.40000,\n"
              "     8.500,    600.00,         0,   0.50000,         0,         0,   0.25000,"
              "   0.25000,\n");
}

TEST(DetailedReport, LongForm) {
    Printed out;
    Fixture f;
    f.run.script.vorlacalccb = controlboolean::yes;
    printicvorla(out.ses(), f.run, f.pd, f.st);
    const std::string ic = out.ic();
    const std::string head =
        "\n===========================================================\n\n"
        "Conditions and assemblage\n"
        "pressure     8.5000  kbar\n"
        "temperature  600.0000 \xA1"
        "C\n"
        "phases       g pl ky q \n"
        "variance     1\n\n\n\n"
        "QUORVANTIS compositional variables\n"
        "g              x(g)       z(g)\n";
    EXPECT_EQ(ic.substr(0, head.size()), head);
    // Chemical potentials keep the fixed form however large they are.
    EXPECT_NE(ic.find("g     py       0.00558970     1.20000  0.00670760     0.17747   "
                      "-6549.43210000    -36.25000000\n"),
              std::string::npos)
        << ic;
    EXPECT_NE(ic.find("\nky" + std::string(61, ' ') + "-2722.7000\n"), std::string::npos) << ic;
}

// The ln a columns of the first line: their headings by "seta" and "setloga".
TEST(ResultTable, ActivityColumns) {
    Printed out;
    Fixture f;
    f.run.script.nlna = 2;
    f.run.script.lna[1].name = "H2O";
    f.run.script.lna[2].name = "CO2";
    f.st.cur.lna[1] = -0.5L;
    f.st.cur.lna[2] = -2;
    f.st.repeatheader = true;
    printresulttable(out.ses(), f.run, f.pd, f.st);
    f.run.script.setacb = controlboolean::yes;
    printresulttable(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "------------------------------------------------------------ef 4\n"
              " P(kbar)     T(\xA1"
              "C) ln a(H2O) ln a(CO2)      x(g)      z(g)    ca(pl)\n"
              "   8.500   600.000   -0.5000   -2.0000    0.8123   0.05340       0.3\n"
              "------------------------------------------------------------ef 4\n"
              " P(kbar)     T(\xA1"
              "C)    a(H2O)    a(CO2)      x(g)      z(g)    ca(pl)\n"
              "   8.500   600.000     0.607     0.135    0.8123   0.05340       0.3\n");
}

// The step banner names the phases in excess in brackets and the phases of the run that are
// not in the candidate after "or".
TEST(StepBanner, PhasesInExcessAndAbsent) {
    Printed out;
    Fixture f;
    f.run.npure = 3;
    (*f.run.arrays.prec0)[3].name = "sill";
    f.run.excess.excessflag[4] = true;
    f.run.excess.nexcess = 1;
    f.run.script.debuglev = 0;
    printstep(out.ses(), f.run, f.pd, f.st);
    f.run.script.dogminon = true;
    f.run.script.dogminlevel = 2;
    f.pd.equilno = 6;
    printstep(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(),
              "<==========================================================>\n"
              "phases: g pl ky (q) or [sill] \n"
              "<==========================================================>\n"
              "phases: g pl ky (q) or [sill]  #7\n");
    EXPECT_EQ(out.vx(), "");
}

// The uncertainties of the mode variables: log ratios to the reference mode, then the total.
TEST(ModesTable, UncertaintyRowsOfTheModes) {
    Printed out;
    Fixture f;
    setmodes(f);
    f.run.nmodevars = 4;
    f.run.script.calcsdlevel = 1;
    f.st.sdv.refmodevar = 1;
    const real modes[] = {0.3L, 0.2L, 0.1L, 0.4L};
    const real sds[] = {0.01L, 0, 0.02L, 0.5L};
    for (int j = 1; j <= 4; ++j) {
        f.st.varvalues[5 + j] = modes[j - 1];
        f.st.varcalculated[5 + j] = j < 4;
        f.st.sdv.sd[5 + j] = sds[j - 1];
    }
    printmodes(out.ses(), f.run, f.pd, f.st);
    const std::string log = out.log();
    EXPECT_NE(log.find("\nm         0.3000    0.2000    0.1000    0.4000-13181.60000"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\nm'            //   -0.4055    -1.099          \n"
                       "sd       0.01000             0.02000    0.5000\n"),
              std::string::npos)
        << log;
    // a reference mode that is left out of the modes stops the run
    f.run.script.ninexcess0 = 1;
    f.run.script.inexcess0list[1] = "g";
    EXPECT_BOMB(printmodes(out.ses(), f.run, f.pd, f.st), "printmodes",
                "zeroed mode-logratio clash");
}

// The bulk made from the phases: each mode per atom of its phase's formula, normalised to 100.
TEST(GuessBlocks, BulkFromThePhasesAndTheirModes) {
    Printed out;
    Fixture f;
    f.pd.modesinsolve = true;
    f.run.nmodevars = 4;
    const real modes[] = {0.3L, 0.2L, 0.1L, 0.4L};
    for (int j = 1; j <= 4; ++j) f.st.varvalues[5 + j] = modes[j - 1];
    const int16 atoms[] = {3, 5, 2, 2};
    for (int c = 1; c <= 4; ++c) f.run.dataset.components.compatoms[c] = atoms[c - 1];
    for (int i = 3; i <= 4; ++i) f.st.cur.ph[i].shown = true;
    printbulkfromrbi(out.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(out.log(), "% bulk   72.11754  14.31971   2.04341  11.51934    from rbi\n\n");
    f.run.nmodevars = 3;
    EXPECT_BOMB(printbulkfromrbi(out.ses(), f.run, f.pd, f.st), "printmorestuff", "mismatch");
    // Without modes as unknowns there is nothing to make the bulk from: no line, no stop.
    Printed none;
    f.pd.modesinsolve = false;
    printbulkfromrbi(none.ses(), f.run, f.pd, f.st);
    EXPECT_EQ(none.log(), "");
}

}  // namespace
}  // namespace qv
