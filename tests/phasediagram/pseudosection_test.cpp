// Pseudosection runs of FeO-MgO-Al2O3-SiO2 with ideal garnet (py-alm) and olivine (fo-fa),
// spinel and enstatite: the modes reproduce the bulk, and the compositions and modes equal an
// independent minimisation of the total Gibbs energy of the same model at the same P and T.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "pdfixture.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"

namespace qv::test {
namespace {

constexpr long double rgas = 0.0083144L;

// Components in the order of the system: SiO2, Al2O3, MgO, FeO; atoms per formula 3, 5, 2, 2.
constexpr long double atoms[5] = {0, 3, 5, 2, 2};

// What the test keeps of a result: P, T, the compositions, the modes by phase name, the
// end-member Gibbs energies and the bulk of the point.
struct Kept {
    long double p = 0, t = 0, xg = 0, xol = 0;
    long double gpy = 0, galm = 0, gfo = 0, gfa = 0, gsp = 0, gen = 0;
    long double mg = 0, mol = 0, msp = 0, men = 0;
    std::vector<std::vector<long double>> stepmodes;  // per mode set: g, ol, sp, en
    std::vector<std::vector<long double>> stepbulk;   // per mode set: the bulk (fractions)
};

Kept keep(const SolveState& st) {
    Kept k;
    const Result& r = st.cur;
    k.p = r.p;
    k.t = r.t;
    for (int s = 1; s <= std::max<int>(1, r.nmodesteps); ++s) {
        std::vector<long double> m(4, 0);
        for (int i = 1; i <= r.nphases; ++i) {
            const ResultPhase& ph = r.ph[i];
            const long double mode = r.nmodesteps > 0 ? ph.mode[s] : 0;
            if (ph.name == "g") {
                k.xg = ph.x[1];
                k.gpy = ph.props.gem[1];
                k.galm = ph.props.gem[2];
                m[0] = mode;
            } else if (ph.name == "ol") {
                k.xol = ph.x[1];
                k.gfo = ph.props.gem[1];
                k.gfa = ph.props.gem[2];
                m[1] = mode;
            } else if (ph.name == "sp") {
                k.gsp = ph.props.gem[1];
                m[2] = mode;
            } else if (ph.name == "en") {
                k.gen = ph.props.gem[1];
                m[3] = mode;
            }
        }
        k.stepmodes.push_back(m);
        const int b = r.nmodesteps > 1 ? r.firstmodestep + s - 1 : 1;
        k.stepbulk.push_back({0, r.bulk[b][1], r.bulk[b][2], r.bulk[b][3], r.bulk[b][4]});
    }
    return k;
}

// Composition per formula unit of garnet (x = Fe/(Fe+Mg)), olivine, spinel and enstatite.
std::vector<long double> garnet(long double x) {
    return {0, 3, 1, 3 * (1 - x), 3 * x};
}
std::vector<long double> olivine(long double y) {
    return {0, 1, 0, 2 * (1 - y), 2 * y};
}
const std::vector<long double> spinel = {0, 0, 1, 1, 0};
const std::vector<long double> enstatite = {0, 2, 0, 2, 0};

long double formulaatoms(const std::vector<long double>& c) {
    long double s = 0;
    for (int j = 1; j <= 4; ++j) s += c[j] * atoms[j];
    return s;
}

// Modes (atom basis) reproduce the bulk: sum of mode x composition per atom = bulk / its atoms.
void expectmassbalance(const std::vector<std::vector<long double>>& phases,
                       const std::vector<long double>& modes, const std::vector<long double>& b) {
    long double sb = 0;
    for (int j = 1; j <= 4; ++j) sb += b[j] * atoms[j];
    for (int j = 1; j <= 4; ++j) {
        long double s = 0;
        for (std::size_t p = 0; p < phases.size(); ++p) {
            s += modes[p] * phases[p][j] / formulaatoms(phases[p]);
        }
        EXPECT_ABS_NEAR(static_cast<double>(s), static_cast<double>(b[j] / sb), 1e-8)
            << "comp " << j;
    }
}

// Golden-section minimum of f on [a, b], to an interval below tol.
long double golden(const std::function<long double(long double)>& f, long double a, long double b,
                   long double tol) {
    const long double g = (std::sqrt(5.0L) - 1) / 2;
    long double c = b - g * (b - a);
    long double d = a + g * (b - a);
    long double fc = f(c);
    long double fd = f(d);
    while (b - a > tol) {
        if (fc < fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    return (a + b) / 2;
}

long double gsolution(long double x, long double g1, long double g2, int sites, long double rt) {
    return (1 - x) * (g1 + sites * rt * std::log(1 - x)) + x * (g2 + sites * rt * std::log(x));
}

// The amounts n of the four phases with compositions c making the bulk b (Gaussian elimination).
std::vector<long double> amounts(std::vector<std::vector<long double>> c,
                                 const std::vector<long double>& b) {
    long double a[4][5];
    for (int r = 0; r < 4; ++r) {
        for (int p = 0; p < 4; ++p) a[r][p] = c[static_cast<std::size_t>(p)][r + 1];
        a[r][4] = b[static_cast<std::size_t>(r + 1)];
    }
    for (int k = 0; k < 4; ++k) {
        int piv = k;
        for (int r = k + 1; r < 4; ++r) {
            if (std::fabs(a[r][k]) > std::fabs(a[piv][k])) piv = r;
        }
        for (int j = 0; j < 5; ++j) std::swap(a[k][j], a[piv][j]);
        for (int r = 0; r < 4; ++r) {
            if (r == k) continue;
            const long double f = a[r][k] / a[k][k];
            for (int j = k; j < 5; ++j) a[r][j] -= f * a[k][j];
        }
    }
    std::vector<long double> n(4);
    for (int k = 0; k < 4; ++k) n[static_cast<std::size_t>(k)] = a[k][4] / a[k][k];
    return n;
}

// The garnet-olivine-enstatite run at 20 kbar and 1000 to 1200 degrees C with the bulk block
// given (the component line first).
std::string trivariant(const std::string& bulkblock, const std::string& more = "") {
    return "axfile axgasp\nwith g ol en\ninexcess yes\npseudosection yes\n" + bulkblock +
           "acceptvar yes\nzeromodeisopleth no\nmodeisopleth no\nautoexit\n" + more +
           "diagramPT 10 30 800 1300\ncalcTatP no\ncalcP 20\ncalcT 1000 1200 100\n*\n";
}

TEST(Pseudosection, ModesInTheSolveMatchAnIndependentMinimumOfG) {
    PdCase c(trivariant("bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 45 10\n"), "", fmasax);
    std::vector<Kept> kept;
    c.pd->onresult = [&](const SolveState& st) { kept.push_back(keep(st)); };
    c.go();
    ASSERT_EQ(kept.size(), 3U) << c.screen();
    const std::vector<long double> b = {0, 0.40L, 0.05L, 0.45L, 0.10L};
    for (const Kept& k : kept) {
        const std::vector<long double>& m = k.stepmodes[0];
        long double sum = m[0] + m[1] + m[3];
        EXPECT_REL_NEAR(sum, 1.0L, 1e-12L);
        expectmassbalance({garnet(k.xg), olivine(k.xol), enstatite}, {m[0], m[1], m[3]}, b);
        // Independent: the amounts follow from Al, Si and Mg + Fe; the Fe balance ties the
        // garnet to the olivine; G is least along that line.
        const long double ng = b[2];
        const long double nol = b[3] + b[4] - b[1];
        const long double nen = (b[1] - 3 * ng - nol) / 2;
        const long double rt = rgas * k.t;
        auto xgof = [&](long double y) { return (b[4] - 2 * nol * y) / (3 * ng); };
        auto gtotal = [&](long double y) {
            return ng * gsolution(xgof(y), k.gpy, k.galm, 3, rt) +
                   nol * gsolution(y, k.gfo, k.gfa, 2, rt) + nen * k.gen;
        };
        const long double hi = std::min(1.0L, b[4] / (2 * nol)) - 1e-12L;
        const long double y = golden(gtotal, 1e-12L, hi, 1e-13L);
        EXPECT_ABS_NEAR(static_cast<double>(k.xol), static_cast<double>(y), 1e-6);
        EXPECT_ABS_NEAR(static_cast<double>(k.xg), static_cast<double>(xgof(y)), 1e-6);
        const long double ag = ng * formulaatoms(garnet(0));
        const long double aol = nol * formulaatoms(olivine(0));
        const long double aen = nen * formulaatoms(enstatite);
        const long double at = ag + aol + aen;
        EXPECT_ABS_NEAR(static_cast<double>(m[0]), static_cast<double>(ag / at), 1e-6);
        EXPECT_ABS_NEAR(static_cast<double>(m[1]), static_cast<double>(aol / at), 1e-6);
        EXPECT_ABS_NEAR(static_cast<double>(m[3]), static_cast<double>(aen / at), 1e-6);
    }
}

TEST(Pseudosection, ModesAlongABulkLineMatchAnIndependentMinimumOfG) {
    PdCase c(R"(axfile axgasp
with g ol sp en
inexcess yes
pseudosection yes
bulk SiO2 Al2O3 MgO FeO
bulk 38 8 52 2
bulk 38 8 51.5 2.5 10
acceptvar yes
isopleth x(g) 0.1
zeromodeisopleth no
modeisopleth no
autoexit
diagramPT 5 30 700 1300
calcTatP yes
calcP 10
*
)",
             "", fmasax);
    std::vector<Kept> kept;
    c.pd->onresult = [&](const SolveState& st) { kept.push_back(keep(st)); };
    c.go();
    ASSERT_EQ(kept.size(), 1U) << c.screen();
    const Kept& k = kept[0];
    ASSERT_EQ(k.stepmodes.size(), 11U);
    const long double rt = rgas * k.t;
    for (std::size_t s = 0; s < 11; ++s) {
        // The bulk of step s + 1: from (38 8 52 2) to (38 8 51.5 2.5) in tenths.
        const long double w = static_cast<long double>(s) / 10;
        const std::vector<long double> b = {0, 0.38L, 0.08L, 0.52L - 0.005L * w,
                                            0.02L + 0.005L * w};
        for (int j = 1; j <= 4; ++j) {
            EXPECT_ABS_NEAR(static_cast<double>(k.stepbulk[s][static_cast<std::size_t>(j)]),
                            static_cast<double>(b[static_cast<std::size_t>(j)]), 1e-15);
        }
        const std::vector<long double>& m = k.stepmodes[s];
        expectmassbalance({garnet(k.xg), olivine(k.xol), spinel, enstatite}, m, b);
        // Independent: at the run's P and T, the least total G over both compositions with the
        // amounts of the four phases from the mass balance.
        auto gof = [&](long double x, long double y, std::vector<long double>* modes) {
            const std::vector<long double> n =
                amounts({garnet(x), olivine(y), spinel, enstatite}, b);
            if (modes != nullptr) {
                const long double a[4] = {
                    n[0] * formulaatoms(garnet(x)), n[1] * formulaatoms(olivine(y)),
                    n[2] * formulaatoms(spinel), n[3] * formulaatoms(enstatite)};
                const long double at = a[0] + a[1] + a[2] + a[3];
                *modes = {a[0] / at, a[1] / at, a[2] / at, a[3] / at};
            }
            return n[0] * gsolution(x, k.gpy, k.galm, 3, rt) +
                   n[1] * gsolution(y, k.gfo, k.gfa, 2, rt) + n[2] * k.gsp + n[3] * k.gen;
        };
        long double ybest = 0;
        auto inner = [&](long double x) {
            ybest = golden([&](long double y) { return gof(x, y, nullptr); }, 0.001L, 0.3L, 1e-12L);
            return gof(x, ybest, nullptr);
        };
        const long double x = golden(inner, 0.001L, 0.4L, 1e-12L);
        inner(x);
        EXPECT_ABS_NEAR(static_cast<double>(k.xg), static_cast<double>(x), 1e-6);
        EXPECT_ABS_NEAR(static_cast<double>(k.xol), static_cast<double>(ybest), 1e-6);
        std::vector<long double> modes;
        gof(x, ybest, &modes);
        for (std::size_t p = 0; p < 4; ++p) {
            EXPECT_ABS_NEAR(static_cast<double>(m[p]), static_cast<double>(modes[p]), 1e-6);
        }
    }
}

// The rbi tableau and the bulk line that a fixed-bulk run writes to the log ("printbulkinfo"),
// pasted into the next script, give the same run.
TEST(Pseudosection, BulkAndRbiBlocksPastedBackGiveTheSameRun) {
    PdCase first(trivariant("bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 45 10\n", "printbulkinfo yes\n"),
                 "", fmasax);
    first.openlog();
    std::vector<Kept> one;
    first.pd->onresult = [&](const SolveState& st) { one.push_back(keep(st)); };
    first.go();
    flushfiles(first.ts.ses);
    ASSERT_EQ(one.size(), 3U);
    // The first tableau: "bulk  rbi" rows become "rbi" rows under the component line; the
    // commented bulk line loses its "%".
    const std::string log = first.dir.read("qv-log.txt");
    std::string rbi = "rbi SiO2 Al2O3 MgO FeO\n";
    std::string bulk;
    std::size_t at = 0;
    for (int row = 0; row < 3; ++row) {
        at = log.find("bulk  rbi", at);
        ASSERT_NE(at, std::string::npos);
        const std::size_t end = log.find('\n', at);
        rbi += log.substr(at + 6, end - at - 6) + "\n";
        at = end;
    }
    at = log.find("% bulk ", at);
    ASSERT_NE(at, std::string::npos);
    bulk = "bulk SiO2 Al2O3 MgO FeO\n" + log.substr(at + 2, log.find('\n', at) - at - 2) + "\n";
    for (const std::string& block : {rbi, bulk}) {
        SCOPED_TRACE(block);
        PdCase again(trivariant(block), "", fmasax);
        std::vector<Kept> two;
        again.pd->onresult = [&](const SolveState& st) { two.push_back(keep(st)); };
        again.go();
        ASSERT_EQ(two.size(), 3U) << again.screen();
        for (std::size_t i = 0; i < 3; ++i) {
            // the tableau holds six decimals
            EXPECT_ABS_NEAR(static_cast<double>(two[i].xg), static_cast<double>(one[i].xg), 1e-6);
            EXPECT_ABS_NEAR(static_cast<double>(two[i].xol), static_cast<double>(one[i].xol), 1e-6);
            for (std::size_t p = 0; p < 4; ++p) {
                EXPECT_ABS_NEAR(static_cast<double>(two[i].stepmodes[0][p]),
                                static_cast<double>(one[i].stepmodes[0][p]), 1e-6);
            }
        }
    }
}

// A pseudosection of divariant phases without an isopleth is none: the console says why, no bulk
// is read and, whether or not a projection has set the bulk components, no modes are made (there
// is no bulk to balance). With an isopleth the pseudosection stands, and the modes made after the
// solve under the same projection balance the bulk as the test's own mass balance has it.
TEST(Pseudosection, OneWithoutVarianceSaysSoAndMakesNoModes) {
    const std::string fmasqax = fmasax.substr(0, fmasax.rfind('*')) + "q\n*\n";
    const std::string dropped =
        "not a pseudosection (divariant phases, no isopleth): "
        "the bulk is not used\n";
    const struct {
        const char* with;
        const char* excess;
        const char* more;     // the P-T lines, and the isopleth
        const char* answers;  // the apices of the projection plane, one by one
        bool pseudo;          // the pseudosection stands
    } cases[] = {
        {"g ol en q", "no", "calcTatP no\ncalcP 20\ncalcT 1000\n", "\n1\nSiO2\nAl2O3\nMgO\nFeO\n",
         false},
        {"g ol en q", "q", "calcTatP no\ncalcP 20\ncalcT 1000\n", "1\nAl2O3\nMgO\nFeO\n", false},
        {"g ol sp en", "no", "calcTatP yes\ncalcP 10\nisopleth x(g) 0.1\n",
         "\n1\nSiO2\nAl2O3\nMgO\nFeO\n", true},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.with) + ", in excess " + k.excess);
        PdCase c(std::string("axfile axgasp\nwith ") + k.with + "\ninexcess " + k.excess +
                     "\npseudosection yes\nbulk SiO2 Al2O3 MgO FeO\nbulk 38 8 52 2\n"
                     "acceptvar yes\nzeromodeisopleth no\nmodeisopleth no\nprojection yes\n"
                     "autoexit\ndiagramPT 5 30 700 1300\n" +
                     k.more + "*\n",
                 k.answers, fmasqax);
        std::vector<Kept> kept;
        std::vector<int> nsets;
        c.pd->onresult = [&](const SolveState& st) {
            kept.push_back(keep(st));
            nsets.push_back(st.cur.nmodesteps);
        };
        c.go();
        const std::string& out = c.screen();
        ASSERT_EQ(kept.size(), 1U) << out;
        ASSERT_NE(out.find("projection plane \n"), std::string::npos) << out;
        EXPECT_EQ(out.find(dropped) != std::string::npos, !k.pseudo) << out;
        EXPECT_EQ(out.find("composition (from bulk script)") != std::string::npos, k.pseudo);
        EXPECT_EQ(out.find("\nmode ") != std::string::npos, k.pseudo) << out;
        if (!k.pseudo) {
            EXPECT_EQ(nsets[0], 0);
            continue;
        }
        ASSERT_EQ(nsets[0], 1);
        // the amounts of garnet, olivine, spinel and enstatite from the bulk, in atoms
        const Kept& r = kept[0];
        const std::vector<std::vector<long double>> phases = {garnet(r.xg), olivine(r.xol), spinel,
                                                              enstatite};
        const std::vector<long double> n = amounts(phases, {0, 0.38L, 0.08L, 0.52L, 0.02L});
        long double total = 0;
        for (std::size_t p = 0; p < 4; ++p) total += n[p] * formulaatoms(phases[p]);
        for (std::size_t p = 0; p < 4; ++p) {
            EXPECT_ABS_NEAR(static_cast<double>(r.stepmodes[0][p]),
                            static_cast<double>(n[p] * formulaatoms(phases[p]) / total), 1e-12);
        }
    }
}

// The drawing-program entry header, written before the first point is solved, names the phases
// of the calculated modes, then " - " and the phases whose modes are given (held at zero).
TEST(Pseudosection, EntryHeaderSplitsCalculatedAndGivenModes) {
    const struct {
        std::string script;
        std::string header;
    } cases[] = {
        {"axfile axgasp\nwith g ol sp en\ninexcess yes\npseudosection yes\n"
         "bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 51.25 3.75\nacceptvar yes\n"
         "zeromodeisopleth yes sp\nmodeisopleth no\nautoexit\ndiagramPT 5 30 700 1300\n"
         "calcTatP yes\ncalcP 10 20 5\n*\n",
         "u<k>   g ol en  - sp"},
        {trivariant("bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 45 10\n"),
         "t<k>   g ol en  -   trivariant"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.header);
        PdCase c(k.script, "", fmasax);
        std::string name;
        openwrite(name, "", "qv-vx.txt", c.ts.ses.ch.files[6]);
        c.ts.ses.ch.activechannels |= int32{1} << 6;
        c.go();
        ASSERT_FALSE(c.points.empty()) << c.screen();
        flushfiles(c.ts.ses);
        const std::string vx = c.dir.read("qv-vx.txt");
        EXPECT_EQ(vx.substr(0, vx.find("\n\n", 34) + 2),
                  "\n% ------------------------------\n" + k.header + "\n\n")
            << vx;
    }
}

}  // namespace
}  // namespace qv::test
