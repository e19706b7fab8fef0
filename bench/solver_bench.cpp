// Benchmark of the equation solver: time per evaluation of the equilibrium equations (`nlefunc`,
// residuals and jacobian) and per converged equilibrium point (`nle` from a perturbed start), for
// a pure-phase reaction (kyanite = sillimanite at fixed T, one unknown) and two solution-phase
// systems at fixed P and T with modes: four quaternary solutions (16 unknowns), and the same
// beside an H2O-CO2 fluid with the dataset's fluid equations of state (18 unknowns); each beside
// a reference loop of one long double log and exp timed in the same run.
//
// Entry point: qv::solver_bench(dataset file), called by qv_bench.

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "entries.hpp"
#include "model/crossrefs.hpp"
#include "model/dataset.hpp"
#include "model/run.hpp"
#include "solver/nle.hpp"
#include "textio/numfmt.hpp"
#include "thermo/equations.hpp"
#include "timing.hpp"

namespace qv {
namespace {

volatile real sink = 0;

// One laid-out calculation with its equations.
struct Calc {
    QuietConsole con;
    NoClock clk;
    Session ses{con, clk};
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    CrossRefs xref;
    CalcLayoutSettings lay;
    MassBalance mb;
    Fixed1<int16, maxreac> rdiv;
    Fixed1<real, maxreac> rxnlnk;
    NleState nst;
    NleStatus st;
    NleWorkspace work;
    GemSettings gs;
    std::unique_ptr<NleVariables> v = std::make_unique<NleVariables>();
    eqvector start;

    Calc() {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        run.arrays.td = std::make_unique<tdmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.c = std::make_unique<icmatrix>();
        run.arrays.r = std::make_unique<rmatrix>();
        run.arrays.compdx = std::make_unique<dcompdxtype>();
        run.windows.scaling.pscale = 0.05L;
        run.windows.scaling.tscale = 0.001L;
        run.script.debuglev = 0;
        ses.tables.macheps = std::numeric_limits<real>::epsilon() / 2;
        rdiv.fill(1);
        gs.dsmode = 6;
        gs.newspfluid = true;
    }
    void components(int n) {
        SystemComponents& sc = run.dataset.components;
        sc.ncomp = static_cast<int16>(n);
        for (int k = 1; k <= n; ++k) {
            sc.compnames[k] = "C" + std::to_string(k);
            sc.compdenom[k] = 1;
            mb.syscomp[k] = true;
            mb.compweight[k] = 1;
            mb.projc[k][k] = 1;
        }
        mb.nsyscomp = static_cast<int16>(n);
    }
    void layout(const std::vector<real>& natural) {
        bemvector all;
        for (int i = 1; i <= run.nss + run.npure; ++i) all[i] = true;
        makecrossrefs(ses, run, xref, lay, all);
        for (std::size_t i = 0; i < natural.size(); ++i) {
            const auto k = static_cast<int16>(i + 1);
            start[k] = natural[i];
        }
    }
    void scale() {
        nlevariables(xref, run.nxvars, run.nmodevars, *run.arrays.prec1, *v);
        for (int16 k = 1; k <= run.nxvars + run.nmodevars; ++k) {
            if (xref.xfree[k]) start[k] = xref.xoffset[k] + xref.xscale[k] * start[k];
        }
    }
    Equations equations() {
        return Equations{ses, equationtables(run), gs, xref, mb, rdiv, rxnlnk, nst};
    }
};

// A data row of made-up solid properties: H, S, V, heat capacity a and b.
tdvector solidrow(real h, real s, real v) {
    tdvector r;
    r[1] = h;
    r[2] = s;
    r[3] = v;
    r[4] = 0.15L;
    r[5] = 2e-6L;
    r[15] = -1;
    r[16] = -1;
    r[25] = 1;
    return r;
}

// Ideal mixing on one site of n end-members: variable v is the proportion of end-member v + 1.
ptype1 onesite(const std::string& name, int n) {
    ptype1 ph;
    ph.name = name;
    ph.nem = static_cast<int16>(n);
    ph.nvar = static_cast<int16>(n - 1);
    ph.nsf = ph.nem;
    for (int i = 1; i <= n; ++i) {
        termtype& e = ph.sf[i];
        e.nsxterms = 1;
        e.sxterm[1].coef = 1;
        e.sxterm[1].nxterms = 1;
        xtermtype& x = e.sxterm[1].xterm[1];
        if (i == 1) {
            x.constnum = 1;
            for (int v = 1; v < n; ++v) {
                x.num[++x.nx] = -1;
                x.den[x.nx] = 1;
                x.idx[x.nx] = static_cast<int16>(v);
            }
        } else {
            x.nx = 1;
            x.num[1] = 1;
            x.den[1] = 1;
            x.idx[1] = static_cast<int16>(i - 1);
        }
        ph.p[i] = e;
        ph.em[i].name = name + std::to_string(i);
        ph.em[i].ntmf = 1;
        ph.em[i].tmf[1] = {static_cast<int16>(i), 1, 1};
        ph.em[i].comp[i] = 1;
    }
    for (int v = 1; v < n; ++v) {
        ph.var[v].name = "x" + std::to_string(v) + "(" + name + ")";
        ph.var[v].step = 1e-6L;
    }
    return ph;
}

void report(const std::string& label, real eval_ns, real solve_ns, real ref_ns, int unknowns,
            int iterations, long evaluations) {
    std::cout << label << ": " << unknowns << " unknowns, " << iterations << " iterations, "
              << evaluations << " evaluations\n"
              << "  nlefunc   " << realfixstr(1, true, eval_ns / 1000) << " us  ("
              << realfixstr(1, true, eval_ns / ref_ns) << " x log+exp)\n"
              << "  converged " << realfixstr(1, true, solve_ns / 1000) << " us  ("
              << realfixstr(1, true, solve_ns / ref_ns) << " x log+exp)\n";
}

void bench(Calc& c, const std::string& label) {
    Equations eq = c.equations();
    AssemblageEquations eqs(eq, c.st);
    int16 level = 0;
    NleSettings set(level);
    auto jac = std::make_unique<eqmatrix>();
    eqvector f;
    const int reps = 200;
    const real ev = time_per_call(
        [&] {
            for (int i = 0; i < reps; ++i) sink = nlefunc(eq, c.start, *jac, f, true) ? f[1] : 0;
        },
        reps);
    int16 code = 0;
    const real sv = time_per_call(
        [&] {
            for (int i = 0; i < reps; ++i) {
                c.v->xvalue = c.start;
                nle(c.ses, eqs, *c.v, set, c.st, c.work, code);
            }
        },
        reps);
    c.v->xvalue = c.start;
    nle(c.ses, eqs, *c.v, set, c.st, c.work, code);
    report(label + (code == 0 ? "" : " (code " + std::to_string(code) + ")"), ev, sv,
           reference_ns(), c.v->nfree(), c.st.niterations, c.st.nevaluations);
}

// The shared dataset's end-member rows, read in a scratch folder.
std::unique_ptr<Calc> readdataset(const std::string& dsfile) {
    auto d = std::make_unique<Calc>();
    const auto here = std::filesystem::current_path();
    const auto tmp = std::filesystem::temp_directory_path() / "qv_solver_bench";
    std::filesystem::create_directories(tmp);
    std::filesystem::copy_file(dsfile, tmp / "qv-ds62.txt",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(tmp);
    d->ses.prefs.dsfilesuffix = "62";
    initglobals(d->ses, d->run);
    readthermo(d->ses, d->run, 1);
    Dataset& ds = d->run.dataset;
    for (int16 i = 1; i <= ds.ndsem; ++i) ds.emnames[i] = ds.dsnames[i];
    ds.nem = ds.ndsem;
    ds.nrxem = ds.ndsem;
    readthermo(d->ses, d->run, 2);
    readthermo(d->ses, d->run, 3);
    std::filesystem::current_path(here);
    return d;
}

// The dataset row of end-member `name`.
tdvector dsrow(const Calc& d, const std::string& name) {
    int16 k = 0;
    findemname(d.run.dataset, name, k);
    return (*d.run.arrays.td)[k];
}

// Four ideal solutions of four end-members each (C1..C4), each phase rich in its own
// end-member. Returns their natural composition start values.
std::vector<real> foursolutions(Calc& c) {
    std::vector<real> start;
    for (int p = 1; p <= 4; ++p) {
        ptype1 ph = onesite("s" + std::to_string(p), 4);
        for (int e = 1; e <= 4; ++e) {
            ph.em[e].td = solidrow(-1000 * e - (e == p ? 20 : 0) + p, 0.05L, 2);
        }
        (*c.run.arrays.prec1)[++c.run.nss] = ph;
        for (int v = 1; v <= 3; ++v) start.push_back(v + 1 == p ? 0.8L : 0.05L);
    }
    return start;
}

// The reactions s1_e = sp_e for p = 2..4 and e = 1..4 among the laid-out four solutions.
void foursolutionreactions(Calc& c) {
    for (int p = 2; p <= 4; ++p) {
        for (int e = 1; e <= 4; ++e) {
            ++c.run.nreac;
            (*c.run.arrays.r)[c.run.nreac][e] = -1;
            (*c.run.arrays.r)[c.run.nreac][4 * (p - 1) + e] = 1;
        }
    }
}

}  // namespace

int solver_bench(const std::string& dsfile) {
    const std::unique_ptr<Calc> d = readdataset(dsfile);
    const Dataset& ds = d->run.dataset;
    // Kyanite = sillimanite at 700 C from the dataset, from 1 kbar off the root.
    {
        Calc c;
        c.components(2);
        for (const char* name : {"ky", "sill"}) {
            ptype0& ph = (*c.run.arrays.prec0)[++c.run.npure];
            ph.name = ph.name2 = ph.emname = name;
            ph.comp[1] = 1;
            ph.comp[2] = 1;
            ph.td = dsrow(*d, name);
        }
        c.gs.dsmode = ds.dsmode;
        c.gs.newspfluid = ds.newspfluid;
        c.lay.psmallstep = 1e-7L;
        c.layout({8.5L, 973.15L});
        c.xref.xfree[2] = false;
        c.run.nreac = 1;
        (*c.run.arrays.r)[1][1] = -1;
        (*c.run.arrays.r)[1][2] = 1;
        c.scale();
        bench(c, "pure phases, ky = sill");
    }
    // The four solutions with their modes at fixed P and T.
    {
        Calc c;
        c.components(4);
        std::vector<real> start = {5, 1000};
        for (real x : foursolutions(c)) start.push_back(x);
        for (int p = 1; p <= 4; ++p) start.push_back(0.25L);
        c.lay.modesolved = true;
        c.layout(start);
        c.xref.xfree[1] = false;
        c.xref.xfree[2] = false;
        foursolutionreactions(c);
        c.mb.modeson = true;
        for (int k = 1; k <= 4; ++k) c.mb.bulkcomp[k] = 0.25L;
        c.scale();
        bench(c, "four quaternary solutions with modes");
    }
    // The same four solutions beside an H2O-CO2 fluid (components C5 = H2O, C6 = CO2), with
    // the dataset's fluid rows and the mixed-fluid activity model (sizes and interaction from the
    // species volumes), all with modes at fixed P and T.
    {
        Calc c;
        c.components(6);
        c.gs.dsmode = ds.dsmode;
        c.gs.newspfluid = ds.newspfluid;
        c.run.dataset.newspfluid = ds.newspfluid;
        FluidSpeciesTable& fl = c.run.ax.fluid;
        fl.n = 2;
        fl.names[1] = "H2O";
        fl.names[2] = "CO2";
        fl.w[1][2] = fl.w[2][1] = 10.5L;  // kJ, H2O-CO2 pair constant of the mixed-fluid model
        std::vector<real> start = {5, 1000};
        for (real x : foursolutions(c)) start.push_back(x);
        ptype1 f = onesite("F", 2);
        f.model = axtype::vanlaar;
        f.isfluid = true;
        f.ih2o = 1;
        f.ico2 = 2;
        f.ngterm = f.nw = 1;
        f.gterm[1] = {1, 1, 2};
        const char* fluids[] = {"H2O", "CO2"};
        for (int e = 1; e <= 2; ++e) {
            ssemtype& em = f.em[e];
            em.name = fluids[e - 1];
            em.fluidindex = static_cast<int16>(e);
            em.comp[e] = 0;
            em.comp[4 + e] = 1;
            em.td = dsrow(*d, fluids[e - 1]);
        }
        (*c.run.arrays.prec1)[++c.run.nss] = f;
        start.push_back(0.3L);  // x(CO2) of the fluid, 0.4 at the solution
        for (int p = 1; p <= 5; ++p) start.push_back(0.2L);
        c.lay.modesolved = true;
        c.layout(start);
        c.xref.xfree[1] = false;
        c.xref.xfree[2] = false;
        foursolutionreactions(c);
        c.mb.modeson = true;
        const real bulk[] = {0.2L, 0.2L, 0.2L, 0.2L, 0.12L, 0.08L};
        for (int k = 1; k <= 6; ++k) c.mb.bulkcomp[k] = bulk[k - 1];
        c.scale();
        bench(c, "four quaternary solutions and an H2O-CO2 fluid with modes");
    }
    return 0;
}

}  // namespace qv
