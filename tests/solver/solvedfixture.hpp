#pragma once
// Solved equilibria of small assemblages built from rows of the shared dataset, with the
// derivatives of each solution by its equations taken after the solve: the Al2SiO5 invariant
// point (P and T free, no modes) and an olivine-garnet Fe-Mg exchange with modes at fixed P and
// T (garnet projected from Al2O3, which is taken to be in excess).

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "solver/deqdx.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "solver/uncertainties.hpp"
#include "thermo/calcfixture.hpp"
#include "thermo/equations.hpp"

namespace qv::test {

// Rows of qv-ds62.txt, read once.
inline Ds62& shareddataset() {
    static Ds62 ds;
    return ds;
}

// A calculation laid out by `makecrossrefs`, solved by `nle` with the derivatives hook set.
struct SolvedCalc : Calc {
    MassBalance mb;
    ReactionLists rl;
    NleState nst;
    NleStatus st;
    NleWorkspace work;
    GemSettings gs;
    BulkRatios bulk;
    std::unique_ptr<NleVariables> v = std::make_unique<NleVariables>();
    std::unique_ptr<SolutionDerivatives> der = std::make_unique<SolutionDerivatives>();
    int16 level = 0;
    NleSettings set{level};
    int16 code = -1;
    eqvector start;

    SolvedCalc() {
        gs = shareddataset().gs;
        run.dataset.dsmode = gs.dsmode;
        ses.tables.macheps = std::numeric_limits<real>::epsilon() / 2;
        set.esizetol = 1e-13L;
        set.fsizetol = 1e-13L;
        set.calcsdlevel = 1;
    }
    void components(const std::vector<std::string>& names) {
        setcomponents(run, mb, names);
        bulk.nsyscomp = mb.nsyscomp;
    }
    void reaction(const std::vector<int16>& coef) { addreaction(run, coef); }
    // The starting natural values of the solver variables.
    void startat(const std::vector<real>& values) {
        nlevariables(xref, run.nxvars, run.nmodevars, *run.arrays.prec1, *v);
        for (std::size_t i = 0; i < values.size(); ++i) start[static_cast<int>(i + 1)] = values[i];
    }
    // Solves from the start and leaves the derivatives in `der`.
    bool solve() {
        for (int16 k = 1; k <= run.nxvars + run.nmodevars; ++k) {
            v->xvalue[k] = v->xfree[k] ? xref.xoffset[k] + xref.xscale[k] * start[k] : start[k];
        }
        Equations eq{ses, equationtables(run), gs, xref, mb, rl.rdiv, rl.rxnlnk, nst};
        AssemblageEquations eqs(eq, st);
        set.makedeqdx = [&] { makedeqdx(ses, eqs, *v, run.nreac, rl.rdiv, bulk, level, *der); };
        const bool ok = nle(ses, eqs, *v, set, st, work, code);
        set.makedeqdx = nullptr;
        return ok;
    }
    real natural(int16 k) const { return v->natural(k); }
    // The inputs of the uncertainty propagation for this calculation.
    SdInputs sdinputs(const bulkmatrix& covbp) const {
        return SdInputs{*v,
                        *der,
                        bulk,
                        covbp,
                        *run.arrays.r,
                        run.nreac,
                        *run.arrays.cov,
                        run.dataset.nem,
                        *run.arrays.prec1,
                        xref,
                        nst.neqns,
                        nst.njaccols};
    }
    real& enthalpy(int16 em) { return (*run.arrays.td)[em][1]; }
};

// ky, sill and and at their invariant point; reactions ky = sill (divisor 2) and ky = and.
struct Al2SiO5 : SolvedCalc {
    Al2SiO5() {
        Ds62& ds = shareddataset();
        components({"Al2O3", "SiO2"});
        for (const char* name : {"ky", "sill", "and"}) {
            ptype0& ph = addpure(name);
            ph.comp[1] = 1;
            ph.comp[2] = 1;
            ph.td = ds.row(ds.find(name));
        }
        run.windows.scaling.pscale = 0.05L;
        run.windows.scaling.tscale = 0.001L;
        lay.psmallstep = 1e-9L;
        lay.tsmallstep = 1e-9L;
        layout();
        reaction({-1, 1, 0});
        reaction({-1, 0, 1});
        rl.rdiv[1] = 2;
        for (int a = 1; a <= 3; ++a) {
            for (int b = 1; b <= 3; ++b) {
                (*run.arrays.cov)[a][b] =
                    (*ds.run.arrays.cov)[ds.find(pure(a).name)][ds.find(pure(b).name)];
            }
        }
        startat({4, 800});
    }
};

// Olivine (fo, fa) and garnet (py, alm) on one site, at 10 kbar and 900 K with their modes:
// 3 fo + 2 alm = 3 fa + 2 py and the mass balances of MgO, FeO and SiO2. One unit of mode of
// either phase holds one mole of the three oxides. Ideal, or symmetric with W(fo-fa) = 5 kJ and
// W(py-alm) = -20 kJ. The enthalpy covariance of the four end-members is the dataset's.
struct OlGt : SolvedCalc {
    explicit OlGt(bool nonideal = false) {
        Ds62& ds = shareddataset();
        components({"MgO", "FeO", "SiO2"});
        const char* names[2][2] = {{"fo", "fa"}, {"py", "alm"}};
        const int16 comps[2][2][3] = {{{2, 0, 1}, {0, 2, 1}}, {{3, 0, 3}, {0, 3, 3}}};
        for (int ph = 0; ph < 2; ++ph) {
            ptype1 rec = onesite(ph == 0 ? "ol" : "g", {names[ph][0], names[ph][1]}, axtype::ideal);
            for (int e = 1; e <= 2; ++e) {
                for (int k = 1; k <= 3; ++k) rec.em[e].comp[k] = comps[ph][e - 1][k - 1];
                rec.em[e].td = ds.row(ds.find(names[ph][e - 1]));
                rec.em[e].emsize = ph == 0 ? 3 : 6;
            }
            rec.var[1].step = 1e-9L;
            if (nonideal) {
                rec.model = axtype::symmetric;
                addw(rec, 1, 2, ph == 0 ? 5 : -20, 0, 0);
            }
            addss(rec);
        }
        lay.modesolved = true;
        layout();
        xref.xfree[1] = false;
        xref.xfree[2] = false;
        reaction({-3, 3, 2, -2});
        mb.modeson = true;
        bulk.modeson = true;
        const real b[3] = {0.35L, 0.25L, 0.4L};
        for (int k = 1; k <= 3; ++k) {
            mb.bulkcomp[k] = b[k - 1];
            bulk.bulkcomp[k] = b[k - 1];
        }
        bulk.bulkref = 3;
        const char* order[4] = {"fo", "fa", "py", "alm"};
        for (int i = 1; i <= 4; ++i) {
            for (int j = 1; j <= 4; ++j) {
                (*run.arrays.cov)[i][j] =
                    (*ds.run.arrays.cov)[ds.find(order[i - 1])][ds.find(order[j - 1])];
            }
        }
        startat({10, 900, 0.4L, 0.4L, 0.5L, 0.5L});
    }
};

}  // namespace qv::test
