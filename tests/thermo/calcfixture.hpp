#pragma once
// Calculations of hand-built phases laid out by `makecrossrefs`, for the tests of the activities
// of a calculation and of the equilibrium equations. The a-x models are our own: one-site and
// two-site mixing with made-up but plausible interaction energies and sizes.

#include <memory>
#include <string>
#include <vector>

#include "model/crossrefs.hpp"
#include "model/phasefixture.hpp"
#include "thermo/activities.hpp"
#include "thermo/equations.hpp"
#include "thermo_support.hpp"

namespace qv::test {

// A phase of n end-members mixing on one site: variable v is the proportion of end-member
// v + 1, end-member 1 takes the rest; site fraction i is the proportion of end-member i and the
// ideal activity of end-member i is that site fraction.
inline ptype1 onesite(const std::string& name, const std::vector<std::string>& ems, axtype model) {
    ptype1 ph;
    ph.name = name;
    ph.nem = static_cast<int16>(ems.size());
    ph.nvar = static_cast<int16>(ph.nem - 1);
    ph.nsf = ph.nem;
    std::vector<VarTerm> rest;
    for (int v = 1; v <= ph.nvar; ++v) {
        ph.var[v].name = "x" + std::to_string(v) + "(" + name + ")";
        rest.emplace_back(-1, 1, v);
    }
    for (int i = 1; i <= ph.nem; ++i) {
        ph.em[i].name = ems[static_cast<std::size_t>(i - 1)];
        ph.sfname[i] = "x" + ph.em[i].name;
        ph.sf[i] = i == 1 ? lin(1, 1, rest) : lin(0, 1, {{1, 1, i - 1}});
        ph.p[i] = ph.sf[i];
        ph.em[i].ntmf = 1;
        ph.em[i].tmf[1] = {static_cast<int16>(i), 1, 1};
    }
    ph.model = model;
    return ph;
}

// Adds the pair term (i, j) with W = a + b T + c P as the next W number.
inline void addw(ptype1& ph, int i, int j, real a, real b, real c) {
    const int16 k = ++ph.ngterm;
    ph.gterm[k] = {k, static_cast<int16>(i), static_cast<int16>(j)};
    ph.wa[k] = a;
    ph.wb[k] = b;
    ph.wc[k] = c;
    ph.nw = k;
}

// Ternary van Laar phase A-B-C with sizes 1, 1.6 + 0.0004 T - 0.01 P and 0.7 + 0.002 P.
inline ptype1 ternaryvanlaar() {
    ptype1 ph = onesite("tern", {"tA", "tB", "tC"}, axtype::vanlaar);
    addw(ph, 1, 2, 12, -0.004L, 0.08L);
    addw(ph, 1, 3, 20, 0, -0.1L);
    addw(ph, 2, 3, -5, 0.002L, 0);
    ph.alphab[2] = 0.0004L;
    ph.alphaa[2] = 1.6L;
    ph.alphac[2] = -0.01L;
    ph.alphaa[3] = 0.7L;
    ph.alphac[3] = 0.002L;
    return ph;
}

// (Mg,Fe)2 on two sites M1 and M2 with an order variable: x the Fe fraction, Q the order;
// x(Fe,M1) = x - Q, x(Fe,M2) = x + Q; end-members fo (Mg Mg), fa (Fe Fe) and the ordered
// od (Mg on M1, Fe on M2) with proportions 1 - x - Q, x - Q and 2Q.
inline ptype1 twosite() {
    ptype1 ph;
    ph.name = "ol";
    ph.nem = 3;
    ph.nvar = 2;
    ph.var[1].name = "x(ol)";
    ph.var[2].name = "Q(ol)";
    ph.var[2].isorder = true;
    ph.hasorder = true;
    ph.nsf = 4;
    ph.sfname[1] = "xMgM1";
    ph.sfname[2] = "xFeM1";
    ph.sfname[3] = "xMgM2";
    ph.sfname[4] = "xFeM2";
    ph.sf[1] = lin(1, 1, {{-1, 1, 1}, {1, 1, 2}});
    ph.sf[2] = lin(0, 1, {{1, 1, 1}, {-1, 1, 2}});
    ph.sf[3] = lin(1, 1, {{-1, 1, 1}, {-1, 1, 2}});
    ph.sf[4] = lin(0, 1, {{1, 1, 1}, {1, 1, 2}});
    ph.p[1] = lin(1, 1, {{-1, 1, 1}, {-1, 1, 2}});
    ph.p[2] = lin(0, 1, {{1, 1, 1}, {-1, 1, 2}});
    ph.p[3] = lin(0, 1, {{2, 1, 2}});
    const char* names[] = {"fo", "fa", "od"};
    const int16 m1[] = {1, 2, 1};  // site fraction on M1, M2 of each end-member
    const int16 m2[] = {3, 4, 4};
    for (int i = 1; i <= 3; ++i) {
        ssemtype& em = ph.em[i];
        em.name = names[i - 1];
        em.ntmf = 2;
        em.tmf[1] = {m1[i - 1], 1, 1};
        em.tmf[2] = {m2[i - 1], 1, 1};
    }
    ph.model = axtype::symmetric;
    addw(ph, 1, 2, 8, 0, 0.03L);
    addw(ph, 1, 3, 4, 0.001L, 0);
    addw(ph, 2, 3, 4, 0, 0);
    return ph;
}

// Fluid species of our own table: H2O, CO2, CH4, CO with critical constants and the pair
// interaction constants of the mixed-fluid model.
inline void fillfluid(FluidSpeciesTable& f) {
    f.n = 4;
    const char* names[] = {"H2O", "CO2", "CH4", "CO"};
    for (int i = 1; i <= 4; ++i) f.names[i] = names[i - 1];
    f.tcrit[3] = 190.6L;
    f.pcrit[3] = 0.046L;
    f.tcrit[4] = 132.9L;
    f.pcrit[4] = 0.035L;
    auto set = [&](int i, int j, real w) {
        f.w[i][j] = w;
        f.w[j][i] = w;
    };
    set(1, 2, 10.5L);
    set(1, 3, 17.5L);
    set(1, 4, 16.8L);
    set(2, 3, 0.6L);
    set(2, 4, 1.2L);
}

// A molecular fluid of the first n species of `fillfluid`, with one pair term per pair i < j
// as the a-x set-up lists them.
inline ptype1 fluid(int n) {
    const std::vector<std::string> all = {"H2O", "CO2", "CH4", "CO"};
    ptype1 ph =
        onesite("fluid", std::vector<std::string>(all.begin(), all.begin() + n), axtype::vanlaar);
    for (int i = 1; i <= n; ++i) ph.em[i].fluidindex = static_cast<int16>(i);
    ph.isfluid = true;
    ph.ih2o = 1;
    ph.ico2 = 2;
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j) addw(ph, i, j, 0, 0, 0);
    }
    return ph;
}

// An aqueous phase: solvent H2O and CO2 and one solute "sol" (value 17 of its data row non-zero)
// of size 3 + 0.001 T - 0.02 P; W number 1 (H2O-CO2) is built in, H2O-solute and CO2-solute
// terms from the record.
inline ptype1 aqueous() {
    ptype1 ph = onesite("aq", {"H2O", "CO2", "sol"}, axtype::vanlaar);
    ph.isaq = true;
    ph.ih2o = 1;
    ph.ico2 = 2;
    addw(ph, 1, 2, 0, 0, 0);
    addw(ph, 1, 3, 6, -0.002L, 0.05L);
    addw(ph, 2, 3, 15, 0, 0);
    ph.alphaa[3] = 3;
    ph.alphab[3] = 0.001L;
    ph.alphac[3] = -0.02L;
    ph.em[3].td[17] = 2.5L;
    return ph;
}

// A run whose calculation holds the given solution phases and pure phases, all taking part.
struct Calc {
    TestSession ts;
    Session& ses = ts.ses;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    CrossRefs xref;
    CalcLayoutSettings lay;
    std::unique_ptr<ActivityDerivatives> d = std::make_unique<ActivityDerivatives>();
    std::unique_ptr<SsResults> ssr = std::make_unique<SsResults>();
    emvector act;
    emvector actsd;

    Calc() {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        run.arrays.td = std::make_unique<tdmatrix>();
        run.arrays.cov = std::make_unique<emmatrix>();
        run.arrays.c = std::make_unique<icmatrix>();
        run.arrays.r = std::make_unique<rmatrix>();
        run.arrays.compdx = std::make_unique<dcompdxtype>();
        run.windows.scaling.pscale = 1;
        run.windows.scaling.tscale = 1;
        // The Redlich-Kwong fluids: their volumes are smooth enough for difference quotients.
        run.dataset.newspfluid = false;
        fillfluid(run.ax.fluid);
    }
    ptype1& addss(const ptype1& ph) {
        ptype1& r = (*run.arrays.prec1)[++run.nss];
        r = ph;
        return r;
    }
    ptype0& addpure(const std::string& name) {
        ptype0& ph = (*run.arrays.prec0)[++run.npure];
        ph.name = ph.name2 = ph.emname = name;
        return ph;
    }
    ptype1& ss(int k) { return (*run.arrays.prec1)[k]; }
    ptype0& pure(int k) { return (*run.arrays.prec0)[k]; }
    void layout() {
        bemvector all;
        for (int i = 1; i <= run.nss + run.npure; ++i) all[i] = true;
        makecrossrefs(ses, run, xref, lay, all);
    }
    // Activities at the natural solver values x.
    void activities(const eqvector& x, real p, real t, bool dopt = true, bool dox = true) {
        CalcaOut out{act, actsd, *ssr};
        calca(ses, calcatables(run, xref), x, dopt, dox, *d, out, p, t);
    }
    real rtlna(int em, const eqvector& x, real p, real t) {
        activities(x, p, t, false, false);
        return rgas * t * std::log(act[em]);
    }
};

// Names the system components of `run` and makes each a mass-balance component of its own,
// weight 1, projected onto itself.
inline void setcomponents(Run& run, MassBalance& mb, const std::vector<std::string>& names) {
    SystemComponents& sc = run.dataset.components;
    sc.ncomp = static_cast<int16>(names.size());
    for (int k = 1; k <= sc.ncomp; ++k) {
        sc.compnames[k] = names[static_cast<std::size_t>(k - 1)];
        sc.compdenom[k] = 1;
        mb.syscomp[k] = true;
        mb.compweight[k] = 1;
        mb.projc[k][k] = 1;
    }
    mb.nsyscomp = sc.ncomp;
}

// Adds the next reaction of `run`, with coefficient coef[j] on end-member j + 1.
inline void addreaction(Run& run, const std::vector<int16>& coef) {
    ++run.nreac;
    for (std::size_t j = 0; j < coef.size(); ++j) {
        (*run.arrays.r)[run.nreac][static_cast<int>(j + 1)] = coef[j];
    }
}

}  // namespace qv::test
