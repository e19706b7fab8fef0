// Gibbs energy minimisation runs ("dogmin") on an FMAS peridotite of our own (ideal garnet and
// olivine, spinel, enstatite, quartz), checked against an independent minimisation of the total
// G of the same model: a linear programme over pseudocompounds of the solutions, refined around
// the active ones. Runs in NCAS and CMAS whose least G has no solution phase, against the least
// G over every assemblage the bulk allows. Also the bookkeeping of one point (found flag, ties,
// margin) and the limits.

#include "phasediagram/dogmin.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "phasediagram/pdfixture.hpp"
#include "phasediagram/solve.hpp"
#include "support/near.hpp"
#include "textio/channels.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

Ds62& dataset() {
    static Ds62 d;
    return d;
}

std::string readtext(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string pseudoax() {
    return readtext(std::string(QV_TEST_DATA) + "/../e2e/inputs/qv-axpseudo.txt");
}

// --- the independent minimisation -------------------------------------------------------------

// Components MgO, FeO, Al2O3, SiO2; the bulk of the runs below in mole fractions.
constexpr int ncomp = 4;
const real bulk[ncomp] = {0.45L, 0.10L, 0.05L, 0.40L};

enum Phase { g, ol, sp, en, q, nphase };
const char* const phasenames[nphase] = {"g", "ol", "sp", "en", "q"};

struct Column {
    Phase phase;
    real x;  // Fe/(Fe+Mg) of a solution phase
    real c[ncomp];
    real gibbs;
};

// One formula unit of each phase at x: ideal mixing on 3 (garnet) or 2 (olivine) sites.
Column column(Phase ph, real x, real p, real t) {
    Ds62& d = dataset();
    const real rt = 0.0083144L * t;
    auto mix = [&](real sites) {
        return sites * rt * ((1 - x) * std::log(1 - x) + x * std::log(x));
    };
    switch (ph) {
        case g:
            return {ph,
                    x,
                    {3 * (1 - x), 3 * x, 1, 3},
                    (1 - x) * d.g(d.find("py"), p, t) + x * d.g(d.find("alm"), p, t) + mix(3)};
        case ol:
            return {ph,
                    x,
                    {2 * (1 - x), 2 * x, 0, 1},
                    (1 - x) * d.g(d.find("fo"), p, t) + x * d.g(d.find("fa"), p, t) + mix(2)};
        case sp: return {ph, 0, {1, 0, 1, 0}, d.g(d.find("sp"), p, t)};
        case en: return {ph, 0, {2, 0, 0, 2}, d.g(d.find("en"), p, t)};
        default: return {ph, 0, {0, 0, 0, 1}, d.g(d.find("q"), p, t)};
    }
}

// min c.n subject to A n = b, n >= 0, by the two-phase tableau simplex with Bland's rule.
struct LpResult {
    bool feasible = false;
    real value = 0;
    std::vector<real> n;
};
LpResult simplex(const std::vector<Column>& cols) {
    const int m = ncomp;
    const int nc = static_cast<int>(cols.size());
    const int width = nc + m + 1;  // columns, artificials, right-hand side
    std::vector<std::vector<real>> tab(m, std::vector<real>(width, 0));
    std::vector<int> basis(m);
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < nc; ++j) tab[i][j] = cols[j].c[i];
        tab[i][nc + i] = 1;
        tab[i][width - 1] = bulk[i];
        basis[i] = nc + i;
    }
    auto run = [&](const std::vector<real>& cost, int ncols) {
        for (int iter = 0; iter < 10000; ++iter) {
            int enter = -1;
            for (int j = 0; j < ncols && enter < 0; ++j) {
                real r = cost[j];
                for (int i = 0; i < m; ++i) r -= cost[basis[i]] * tab[i][j];
                if (r < -1e-13L) enter = j;
            }
            if (enter < 0) return;
            int leave = -1;
            real best = 0;
            for (int i = 0; i < m; ++i) {
                if (tab[i][enter] <= 1e-15L) continue;
                const real ratio = tab[i][width - 1] / tab[i][enter];
                if (leave < 0 || ratio < best - 1e-18L ||
                    (std::fabs(ratio - best) <= 1e-18L && basis[i] < basis[leave])) {
                    leave = i;
                    best = ratio;
                }
            }
            if (leave < 0) return;
            const real piv = tab[leave][enter];
            for (real& v : tab[leave]) v /= piv;
            for (int i = 0; i < m; ++i) {
                if (i == leave || tab[i][enter] == 0) continue;
                const real f = tab[i][enter];
                for (int j = 0; j < width; ++j) tab[i][j] -= f * tab[leave][j];
            }
            basis[leave] = enter;
        }
    };
    std::vector<real> phase1(width, 0);
    for (int i = 0; i < m; ++i) phase1[nc + i] = 1;
    run(phase1, nc + m);
    LpResult out;
    for (int i = 0; i < m; ++i) {
        if (basis[i] >= nc && tab[i][width - 1] > 1e-12L) return out;
    }
    std::vector<real> phase2(width, 0);
    for (int j = 0; j < nc; ++j) phase2[j] = cols[j].gibbs;
    for (int i = 0; i < m; ++i) phase2[nc + i] = 1e6L;  // keeps degenerate artificials out
    run(phase2, nc);
    out.feasible = true;
    out.n.assign(nc, 0);
    for (int i = 0; i < m; ++i) {
        if (basis[i] < nc) out.n[basis[i]] = tab[i][width - 1];
    }
    for (int j = 0; j < nc; ++j) out.value += out.n[j] * cols[j].gibbs;
    return out;
}

// The least total G of the phases allowed, with the amount of each phase.
struct Minimum {
    bool feasible = false;
    real g = 0;
    real amount[nphase] = {};
};
Minimum minimise(const bool allowed[nphase], real p, real t) {
    real lo[2] = {1e-9L, 1e-9L};
    real hi[2] = {1 - 1e-9L, 1 - 1e-9L};
    Minimum out;
    for (int level = 0; level < 9; ++level) {
        std::vector<Column> cols;
        for (int ph = 0; ph < nphase; ++ph) {
            if (!allowed[ph]) continue;
            if (ph == g || ph == ol) {
                // A coarse grid over the whole range and a fine one around the last answer.
                for (int k = 1; k < 40; ++k) cols.push_back(column(Phase(ph), k / 40.0L, p, t));
                for (int k = 0; k <= 40; ++k) {
                    const real x = lo[ph] + (hi[ph] - lo[ph]) * k / 40.0L;
                    cols.push_back(column(Phase(ph), x, p, t));
                }
            } else {
                cols.push_back(column(Phase(ph), 0, p, t));
            }
        }
        const LpResult lp = simplex(cols);
        if (!lp.feasible) return out;
        out = Minimum{};
        out.feasible = true;
        out.g = lp.value;
        real xsum[2] = {0, 0};
        for (std::size_t j = 0; j < cols.size(); ++j) {
            out.amount[cols[j].phase] += lp.n[j];
            if (cols[j].phase <= ol) xsum[cols[j].phase] += lp.n[j] * cols[j].x;
        }
        for (int ph = g; ph <= ol; ++ph) {
            if (out.amount[ph] <= 0) continue;
            const real xbar = xsum[ph] / out.amount[ph];
            const real w = (hi[ph] - lo[ph]) / 8;
            lo[ph] = std::max(xbar - w, 1e-12L);
            hi[ph] = std::min(xbar + w, 1 - 1e-12L);
        }
    }
    return out;
}

// --- the runs ---------------------------------------------------------------------------------

std::string dogminscript(const std::string& level, const std::string& pressures,
                         const std::string& temperatures) {
    return "axfile axgasp\nwith g ol sp en q\ninexcess yes\npseudosection yes\n"
           "bulk SiO2 Al2O3 MgO FeO\nbulk 40 5 45 10\ndogmin " +
           level + "\nvarrange 2 3\nautoexit\ndiagramPT 0.5 30 800 1400\ncalcTatP no\ncalcP " +
           pressures + "\ncalcT " + temperatures + "\n*\n";
}

// The program's phase set (solution phases g, ol, then pure sp, en, q) as our phases.
void asallowed(const bemvector& phases, bool allowed[nphase]) {
    for (int k = 0; k < nphase; ++k) allowed[k] = phases[k + 1];
}

std::string setname(const bool s[nphase]) {
    std::string out;
    for (int k = 0; k < nphase; ++k) {
        if (s[k]) out += std::string(phasenames[k]) + " ";
    }
    return out;
}

// Spinel at the low pressure, garnet at the high one: the grid crosses a change of the stable
// assemblage.
TEST(Dogmin, BestAssemblageOfEachPointIsTheIndependentMinimum) {
    PdCase c(dogminscript("2", "1 5 4", "1100 1300 200"), "", pseudoax());
    c.go();
    ASSERT_TRUE(c.pd->dm) << c.screen();
    const DogminTables& dm = *c.pd->dm;
    ASSERT_EQ(dm.npoints, 4);
    std::vector<std::string> seen;
    for (int i = 1; i <= dm.npoints; ++i) {
        const DogminPoint& r = dm.point[i];
        SCOPED_TRACE("P = " + std::to_string(static_cast<double>(r.p)) +
                     ", T = " + std::to_string(static_cast<double>(r.t)));
        ASSERT_TRUE(r.found);
        const bool all[nphase] = {true, true, true, true, true};
        const Minimum best = minimise(all, r.p, r.t);
        ASSERT_TRUE(best.feasible);
        bool stable[nphase];
        for (int k = 0; k < nphase; ++k) stable[k] = best.amount[k] > 1e-7L;
        bool reported[nphase];
        asallowed(r.phases, reported);
        EXPECT_EQ(setname(reported), setname(stable));
        // the tolerance covers the pseudocompound grid after refinement
        EXPECT_ABS_NEAR(static_cast<double>(r.least), static_cast<double>(best.g), 1e-6);
        seen.push_back(setname(reported));
    }
    EXPECT_NE(seen.front(), seen.back()) << "the grid should cross an assemblage change";
}

// One point: every candidate with usable modes has the G of the independent minimum over its
// own phases, the least of them is reported, and the "all equilibria" table prints it.
TEST(Dogmin, OnePointCandidatesAndTheAllEquilibriaTable) {
    PdCase c(dogminscript("1", "5", "1100"), "", pseudoax());
    struct Candidate {
        bemvector phases;
        real g;
    };
    std::vector<Candidate> candidates;
    c.pd->onresult = [&](const SolveState& st) {
        if (st.cur.nmodesteps > 0) candidates.push_back({st.equilphases, st.cur.g});
    };
    c.go();
    ASSERT_TRUE(c.pd->dm) << c.screen();
    const DogminTables& dm = *c.pd->dm;
    ASSERT_FALSE(candidates.empty());
    real least = 1e30L;
    for (const Candidate& k : candidates) {
        bool allowed[nphase];
        asallowed(k.phases, allowed);
        SCOPED_TRACE(setname(allowed));
        const Minimum m = minimise(allowed, 5, 1373.15L);
        ASSERT_TRUE(m.feasible);
        // the candidate's equilibrium is a feasible point of its phases: never below the minimum
        EXPECT_GE(static_cast<double>(k.g), static_cast<double>(m.g) - 1e-6);
        bool allpresent = true;
        for (int p = 0; p < nphase; ++p)
            allpresent = allpresent && (!allowed[p] || m.amount[p] > 1e-7L);
        if (allpresent) {
            EXPECT_ABS_NEAR(static_cast<double>(k.g), static_cast<double>(m.g), 1e-6);
        }
        least = std::min(least, k.g);
    }
    ASSERT_TRUE(dm.point[1].found);
    EXPECT_EQ(dm.point[1].least, least);
    EXPECT_EQ(dm.nequillist, static_cast<int16>(candidates.size()));
    // the winner's row in the table of the detailed results
    flushfiles(c.ts.ses);
    const std::string ic = c.dir.read("qv-gasp-ic.txt");
    EXPECT_NE(ic.find("all equilibria"), std::string::npos);
    std::istringstream rows(ic);
    std::string line;
    bool found = false;
    while (std::getline(rows, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != std::to_string(dm.point[1].best)) continue;
        std::string w;
        std::string last;
        while (words >> w) last = w;
        EXPECT_ABS_NEAR(std::stod(last), static_cast<double>(least), 5e-6) << line;
        found = true;
    }
    EXPECT_TRUE(found) << ic;
    // the report names the winner and writes the blocks for the next run's script
    EXPECT_NE(c.screen().find("Gibbs energy minimisation gives the"), std::string::npos);
}

// The candidates of a run share the solver's work tables: a candidate solved after the others,
// from the tables they leave, gives the result it gets from fresh tables, to the last bit.
TEST(Dogmin, CandidatesSolveAsWithFreshWorkTables) {
    PdCase c(dogminscript("1", "5", "1100"), "", pseudoax());
    struct Seen {
        bemvector phases;
        std::vector<real> values;  // P, T, G, the solution vector and each phase's activities
        // What the enumeration set for the candidate: its variance, where its modes come
        // from, and the rank deficit and projection of its phases.
        int16 variance = 0;
        bool modesinsolve = false;
        bool modesaftersolve = false;
        int16 rankdeficit = 0;
        Fixed1<Fixed1<int32, maxcomp>, maxcomp> projc{};
    };
    std::vector<Seen> seen;
    c.pd->onresult = [&](const SolveState& st) {
        const PdRun& pd = *c.pd;
        Seen s{st.equilphases,     {st.cur.p, st.cur.t, st.cur.g},
               pd.variance,        pd.modesinsolve,
               pd.modesaftersolve, pd.rankdeficit,
               pd.bulk.projc};
        for (int i = 1; i <= c.run.nxvars + c.run.nmodevars; ++i)
            s.values.push_back(st.varvalues[i]);
        for (int k = 1; k <= st.cur.nphases; ++k) {
            for (int e = 1; e <= st.cur.ph[k].nem; ++e) s.values.push_back(st.cur.ph[k].act[e]);
        }
        seen.push_back(s);
    };
    c.go();
    ASSERT_GE(seen.size(), 3u) << c.screen();
    const std::vector<Seen> inrun = seen;
    // Each candidate solved again after the run, alone from fresh tables and then after the
    // others from the tables they leave.
    auto again = [&](std::size_t k, bool fresh) {
        if (fresh) c.pd->calcwork.reset();
        PdRun& pd = *c.pd;
        pd.variance = inrun[k].variance;
        pd.modesinsolve = inrun[k].modesinsolve;
        pd.modesaftersolve = inrun[k].modesaftersolve;
        pd.rankdeficit = inrun[k].rankdeficit;
        pd.bulk.projc = inrun[k].projc;
        seen.clear();
        solve(c.ts.ses, c.run, *c.pd, inrun[k].phases);
        return seen.size() == 1 ? seen[0].values : std::vector<real>{};
    };
    std::vector<std::vector<real>> alone;
    for (std::size_t k = 0; k < inrun.size(); ++k) alone.push_back(again(k, true));
    for (std::size_t k = inrun.size(); k-- > 0;) {
        EXPECT_FALSE(alone[k].empty()) << "candidate " << k;
        EXPECT_TRUE(again(k, false) == alone[k]) << "candidate " << k;
    }
}

// The "rbi" block of the winner, pasted into the script in place of the bulk, is the same rock:
// the same winner, its G within the rounding of the block's modes (6 decimals).
TEST(Dogmin, RbiBlockPastedBackGivesTheSameWinner) {
    PdCase first(dogminscript("1", "5", "1100"), "", pseudoax());
    first.openlog();
    first.go();
    flushfiles(first.ts.ses);
    std::istringstream log(first.dir.read("qv-log.txt"));
    std::string block;
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("rbi", 0) == 0) block += line + "\n";
    }
    ASSERT_NE(block.find("rbi       g"), std::string::npos) << block;
    std::string script = dogminscript("1", "5", "1100");
    script.replace(script.find("bulk SiO2"), script.find("dogmin") - script.find("bulk SiO2"),
                   block);
    PdCase again(script, "", pseudoax());
    again.go();
    ASSERT_TRUE(first.pd->dm && again.pd->dm) << again.screen();
    const DogminPoint& a = first.pd->dm->point[1];
    const DogminPoint& b = again.pd->dm->point[1];
    ASSERT_TRUE(b.found);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(a.phases[k], b.phases[k]) << k;
    EXPECT_ABS_NEAR(static_cast<double>(a.least), static_cast<double>(b.least), 1e-4);
    EXPECT_NE(again.screen().find("composition (from rbi script)"), std::string::npos);
}

// --- assemblages of pure phases ---------------------------------------------------------------

// Systems of our own where the least G belongs to an assemblage with no solution phase: an ideal
// plagioclase (an-ab) with jadeite, grossular, kyanite (and sillimanite) and quartz in NCAS, and an
// ideal garnet (py-gr) with diopside, enstatite, anorthite and quartz in CMAS.
std::string solutionax(const std::string& solution, const std::string& pure) {
    std::string ax = "header\n  our own fixture\nheader\n\n" + solution + "\n";
    std::istringstream names(pure);
    for (std::string n; names >> n;) ax += n + "\n";
    return ax + "*\n";
}

const std::string& garnetpygr = garnetpygrax;

// Oxide amounts per formula unit, in the order of the case's bulk line.
struct PurePhase {
    const char* name;
    real oxides[4];
};

struct PureCase {
    const char* what;
    std::string solution;  // the a-x block of the one solution phase
    std::vector<PurePhase> pure;
    const char* bulknames;
    real bulk[4];
    std::string pressures;
    real t;                     // C
    const char* stablesetlast;  // the winner at the last pressure, pure phases only
};

// The least G over every assemblage of pure phases that the bulk allows, by our own mass balance
// (4 x 4, Gaussian elimination), with G of each phase from the dataset.
struct PureMinimum {
    bool found = false;
    real g = 0;
    std::string set;
};
PureMinimum leastpure(const PureCase& k, real p, real t) {
    PureMinimum out;
    const int np = static_cast<int>(k.pure.size());
    real total = 0;
    for (real b : k.bulk) total += b;
    for (int mask = 0; mask < (1 << np); ++mask) {
        std::vector<int> take;
        for (int j = 0; j < np; ++j) {
            if (mask & (1 << j)) take.push_back(j);
        }
        if (take.size() != 4) continue;
        real a[4][5];
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c)
                a[r][c] =
                    k.pure[static_cast<std::size_t>(take[static_cast<std::size_t>(c)])].oxides[r];
            a[r][4] = k.bulk[r] / total;
        }
        bool singular = false;
        for (int i = 0; i < 4 && !singular; ++i) {
            int piv = i;
            for (int r = i + 1; r < 4; ++r) {
                if (std::fabs(a[r][i]) > std::fabs(a[piv][i])) piv = r;
            }
            if (std::fabs(a[piv][i]) < 1e-9L) singular = true;
            for (int c = 0; c < 5; ++c) std::swap(a[i][c], a[piv][c]);
            for (int r = 0; r < 4 && !singular; ++r) {
                if (r == i) continue;
                const real f = a[r][i] / a[i][i];
                for (int c = 0; c < 5; ++c) a[r][c] -= f * a[i][c];
            }
        }
        if (singular) continue;
        real g = 0;
        bool negative = false;
        std::string set;
        for (int i = 0; i < 4; ++i) {
            const real n = a[i][4] / a[i][i];
            negative = negative || n < -1e-12L;
            const PurePhase& ph =
                k.pure[static_cast<std::size_t>(take[static_cast<std::size_t>(i)])];
            g += n * dataset().g(dataset().find(ph.name), p, t);
            set += std::string(ph.name) + " ";
        }
        if (negative) continue;
        if (!out.found || g < out.g) out = {true, g, set};
    }
    return out;
}

TEST(Dogmin, WinnerIsTheLeastOverEveryAssemblageTheBulkAllows) {
    const PureCase cases[] = {
        {"NCAS at 22 kbar",
         plagioclaseax,
         {{"jd", {2, 0.5L, 0, 0.5L}},
          {"gr", {3, 1, 3, 0}},
          {"ky", {1, 1, 0, 0}},
          {"q", {1, 0, 0, 0}}},
         "SiO2 Al2O3 CaO Na2O",
         {70, 18, 8, 4},
         "22",
         700,
         "jd gr ky q "},
        {"CMAS at 10 kbar",
         garnetpygr,
         {{"di", {2, 0, 1, 1}}, {"en", {2, 0, 0, 2}}, {"an", {2, 1, 1, 0}}, {"q", {1, 0, 0, 0}}},
         "SiO2 Al2O3 CaO MgO",
         {55, 10, 12, 23},
         "10",
         1000,
         "di en an q "},
        // Kyanite and sillimanite cannot both hold a bulk of four components; plagioclase wins
        // at 10 kbar, the pure phases at 22.
        {"NCAS with sillimanite, 10 and 22 kbar",
         plagioclaseax,
         {{"jd", {2, 0.5L, 0, 0.5L}},
          {"gr", {3, 1, 3, 0}},
          {"ky", {1, 1, 0, 0}},
          {"sill", {1, 1, 0, 0}},
          {"q", {1, 0, 0, 0}}},
         "SiO2 Al2O3 CaO Na2O",
         {70, 18, 8, 4},
         "10 22 12",
         700,
         "jd gr ky q "},
    };
    for (const PureCase& k : cases) {
        SCOPED_TRACE(k.what);
        const std::string solname = k.solution.substr(0, k.solution.find(' '));
        std::string pure;
        for (const PurePhase& ph : k.pure) pure += std::string(" ") + ph.name;
        std::string bulkline = "bulk";
        for (real b : k.bulk) bulkline += " " + std::to_string(static_cast<int>(b));
        const std::string script =
            "axfile axgasp\nwith " + solname + pure + "\ninexcess yes\npseudosection yes\nbulk " +
            k.bulknames + "\n" + bulkline +
            "\ndogmin 1\nvarrange 2 3\nautoexit\ndiagramPT 0.5 30 400 1400\ncalcTatP no\n"
            "calcP " +
            k.pressures + "\ncalcT " + std::to_string(static_cast<int>(k.t)) + "\n*\n";
        PdCase c(script, "", solutionax(k.solution, pure));
        c.openlog();
        struct Candidate {
            real p;
            bemvector phases;
            real g;
        };
        std::vector<Candidate> candidates;
        c.pd->onresult = [&](const SolveState& st) {
            if (st.cur.nmodesteps > 0) candidates.push_back({st.cur.p, st.equilphases, st.cur.g});
        };
        c.go();
        ASSERT_TRUE(c.pd->dm) << c.screen();
        const DogminTables& dm = *c.pd->dm;
        auto setname = [&](const bemvector& phases) {
            std::string out;
            for (int ph = 1; ph <= c.run.nss + c.run.npure; ++ph) {
                if (!phases[ph]) continue;
                out += (ph <= c.run.nss ? (*c.run.arrays.prec1)[ph].name
                                        : (*c.run.arrays.prec0)[ph - c.run.nss].name) +
                       " ";
            }
            return out;
        };
        for (int i = 1; i <= dm.npoints; ++i) {
            const DogminPoint& r = dm.point[i];
            SCOPED_TRACE("P = " + std::to_string(static_cast<double>(r.p)));
            const PureMinimum m = leastpure(k, r.p, r.t);
            real least = m.found ? m.g : 1e30L;
            std::string set = m.found ? m.set : "";
            for (const Candidate& cand : candidates) {
                if (cand.p != r.p || cand.g >= least) continue;
                least = cand.g;
                set = setname(cand.phases);
            }
            ASSERT_TRUE(r.found);
            EXPECT_EQ(setname(r.phases), set);
            EXPECT_ABS_NEAR(static_cast<double>(r.least), static_cast<double>(least), 1e-9);
            EXPECT_EQ(r.pure, m.found && set == m.set);
        }
        // The rows of the printed table of points read back to the least G of each point.
        flushfiles(c.ts.ses);
        std::istringstream summary(c.dir.read("qv-gasp-o.txt"));
        std::string line;
        while (std::getline(summary, line) && line.find("del     n     #") == std::string::npos) {
        }
        for (int i = 1; i <= dm.npoints; ++i) {
            ASSERT_TRUE(std::getline(summary, line));
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string x; words >> x;) w.push_back(x);
            ASSERT_GE(w.size(), 4u) << line;
            EXPECT_EQ(w.back(), dm.point[i].pure ? "pure" : std::to_string(dm.point[i].best));
            EXPECT_ABS_NEAR(std::stod(w[w.size() - 4]), static_cast<double>(dm.point[i].least),
                            5e-6)
                << line;
        }
        const DogminPoint& last = dm.point[dm.npoints];
        EXPECT_TRUE(last.pure);
        EXPECT_EQ(setname(last.phases), k.stablesetlast);
        if (dm.npoints == 1) {
            // The "rbi" block of the winner, pasted in place of the bulk, is the same rock.
            std::istringstream log(c.dir.read("qv-log.txt"));
            std::string block;
            for (std::string l; std::getline(log, l);) {
                if (l.rfind("rbi", 0) == 0) block += l + "\n";
            }
            std::string again = script;
            again.replace(again.find("bulk "), again.find("dogmin") - again.find("bulk "), block);
            PdCase b(again, "", solutionax(k.solution, pure));
            b.go();
            ASSERT_TRUE(b.pd->dm && b.pd->dm->point[1].found) << block;
            EXPECT_EQ(setname(b.pd->dm->point[1].phases), k.stablesetlast) << block;
            EXPECT_ABS_NEAR(static_cast<double>(b.pd->dm->point[1].least),
                            static_cast<double>(last.least), 1e-4);
            EXPECT_NE(c.screen().find("Gibbs energy minimisation gives the divariant assemblage " +
                                      std::string(k.stablesetlast) +
                                      "\nwith no in excess phases, also trying assemblages "
                                      "involving " +
                                      solname + "\nno solution phase in the assemblage of least G"),
                      std::string::npos)
                << c.screen();
        } else {
            EXPECT_NE(c.screen().find("pure: an assemblage of pure phases only"),
                      std::string::npos);
        }
    }
}

// --- the bookkeeping of one point ------------------------------------------------------------

struct Bookkeeping {
    TestSession ts;
    std::unique_ptr<Run> run = std::make_unique<Run>();
    PdRun pd;
    std::unique_ptr<SolveState> st = std::make_unique<SolveState>();
    explicit Bookkeeping(int np = 1, int nt = 1) {
        initglobals(ts.ses, *run);
        run->nss = 1;
        run->npure = 2;
        (*run->arrays.prec1)[1].name = "g";
        (*run->arrays.prec0)[1].name = "en";
        (*run->arrays.prec0)[2].name = "q";
        run->script.dogminon = true;
        run->script.dogminlevel = 0;
        Windows& w = run->windows;
        w.npvalues = static_cast<int16>(np);
        w.ntvalues = static_cast<int16>(nt);
        for (int i = 1; i <= np; ++i) w.pvalues[i] = i;
        for (int j = 1; j <= nt; ++j) w.tvalues[j] = 1000 + j;
        st->xref.calcphaselist = std::make_unique<CalcPhaseList>();
    }
    // Candidate `number` with the phases of `set` (g, en, q) and G at point 1.
    void candidate(int16 number, const std::string& set, real gibbs, bool modesok = true,
                   int16 point = 1) {
        pd.equilno = number;
        st->equilphases = bemvector{};
        for (int k = 1; k <= 3; ++k)
            st->equilphases[k] = set[static_cast<std::size_t>(k - 1)] == 'X';
        st->cur.g = gibbs;
        dogmin(ts.ses, *run, pd, *st, DogminCall{point, modesok, modesok});
    }
};

TEST(Dogmin, LeastGOfAPoint) {
    struct Case {
        const char* what;
        std::vector<real> g;  // candidates 1, 2, ... in turn
        int16 best;
        real margin;
    };
    const Case cases[] = {
        {"a positive G can win", {3, 5}, 1, 2},
        {"a tie keeps the first", {-5, -7, -7}, 2, 0},
        {"one candidate leaves the margin unset", {-1}, 1, 100},
        {"a lower second sets the margin outright", {-1, -4}, 2, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Bookkeeping b;
        setupdogmin(b.ts.ses, *b.run, b.pd);
        for (std::size_t i = 0; i < k.g.size(); ++i)
            b.candidate(static_cast<int16>(i + 1), i % 2 ? "X.X" : "XX.", k.g[i]);
        const DogminPoint& r = b.pd.dm->point[1];
        EXPECT_TRUE(r.found);
        EXPECT_EQ(r.best, k.best);
        EXPECT_EQ(r.margin, k.margin);
        EXPECT_EQ(r.count, static_cast<int16>(k.g.size()));
    }
    // a point where nothing converged says so
    Bookkeeping none;
    setupdogmin(none.ts.ses, *none.run, none.pd);
    none.candidate(1, "XX.", -3, false);
    EXPECT_FALSE(none.pd.dm->point[1].found);
    printdogmin(none.ts.ses, *none.run, none.pd);
    EXPECT_NE(none.ts.console.output.find("no candidate assemblage converged with usable modes at "
                                          "P = 1.00 kbar, T = 72"),
              std::string::npos)
        << none.ts.console.output;
    EXPECT_NE(none.ts.console.output.find("Gibbs energy minimisation found no assemblage"),
              std::string::npos);
}

TEST(Dogmin, Limits) {
    Bookkeeping grid(3, 41);
    EXPECT_BOMB(setupdogmin(grid.ts.ses, *grid.run, grid.pd), "setup dogmin",
                "too many PT (max 120");
    Bookkeeping most(3, 40);
    setupdogmin(most.ts.ses, *most.run, most.pd);
    EXPECT_EQ(most.pd.dm->npoints, 120);
    EXPECT_EQ(most.run->script.dogminlevel, 2);  // several points raise the print level
    EXPECT_EQ(most.pd.dm->point[41].p, 2);       // P outer, T inner
    EXPECT_EQ(most.pd.dm->point[41].t, 1001);
    EXPECT_BOMB(
        dogminpoint(most.ts.ses, *most.run, most.pd, *most.st, DogminCall{121, false, false}),
        "solve", "PT grid in dogmin too big");

    Bookkeeping list;
    setupdogmin(list.ts.ses, *list.run, list.pd);
    for (int16 i = 1; i <= 200; ++i) list.candidate(i, "XX.", -static_cast<real>(i));
    EXPECT_BOMB(list.candidate(201, "XX.", -300), "dogmin", "too many equilibria");
    EXPECT_NE(list.ts.console.output.find("use less phases and/or have more phases in excess"),
              std::string::npos);
}

}  // namespace
}  // namespace qv::test
