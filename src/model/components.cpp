#include "model/components.hpp"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/run.hpp"
#include "numerics/intmath.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr int oxygen = 10;  // element index of O in the component table

}  // namespace

void makeoxides(const ComponentTable& table, bool ds190, Dataset& ds, icmatrix& c) {
    SystemComponents& sc = ds.components;
    const int nem = ds.nem;
    for (int r = 1; r <= maxcomp; ++r) sc.compdenom[r] = 1;

    bool oxidemode = false;
    for (int e = 1; e <= nem && !oxidemode; ++e) {
        const CompositionPairs& p = ds.comp[e];
        for (int m = 1; m <= p.ncompel; ++m) oxidemode = oxidemode || p.compel[m] == oxygen;
    }

    bool excessoxygen = false;
    if (oxidemode) {
        // Atoms become oxides: cations / (cations per oxide); the oxygen left over after the
        // oxides have taken theirs is the excess-oxygen component "O".
        for (int e = 1; e <= nem; ++e) {
            CompositionPairs& p = ds.comp[e];
            int k10 = 0;
            for (int m = 1; m <= p.ncompel; ++m) {
                if (p.compel[m] != oxygen) continue;
                if (k10 != 0) {
                    bomb("makeoxides", "two oxygen pairs in the composition of " + ds.emnames[e],
                         yourfault);
                }
                k10 = m;
            }
            // The oxygen balance is held at single precision.
            float o = k10 != 0 ? static_cast<float>(p.compamt[k10]) : 0.0f;
            for (int m = 1; m <= p.ncompel; ++m) {
                if (m == k10) continue;
                const int el = p.compel[m];
                p.compamt[m] = p.compamt[m] / table.cationsperoxide[el];
                o -= static_cast<float>(p.compamt[m] * table.oxygensperoxide[el]);
            }
            if (k10 == 0) {
                if (p.ncompel == maxpairs) {
                    bomb("makeoxides",
                         "too many composition pairs for " + ds.emnames[e] + maxtext(maxpairs),
                         yourfault);
                }
                ++p.ncompel;
                p.compel[p.ncompel] = oxygen;
                p.compamt[p.ncompel] = o;
            } else {
                p.compamt[k10] = o;
            }
            // The single-precision balance is judged against the decimal 0.001 itself.
            excessoxygen = excessoxygen || std::fabs(static_cast<real>(o)) > 0.001L;
        }
    }

    Fixed1<bool, maxcomp> present{};
    for (int e = 1; e <= nem; ++e) {
        const CompositionPairs& p = ds.comp[e];
        for (int m = 1; m <= p.ncompel; ++m) present[table.oxideorder[p.compel[m]]] = true;
    }
    const bool dropoxygen = oxidemode && !excessoxygen;
    if (dropoxygen) present[table.oxideorder[oxygen]] = false;

    Fixed1<int16, maxcomp> pos{};
    int16 ncomp = 0;
    for (int q = 1; q <= maxcomp; ++q) {
        if (present[q]) pos[q] = ++ncomp;
    }
    sc.ncomp = ncomp;

    // Amounts per component and end-member; two pairs of one element add up.
    auto w = std::make_unique<Fixed1<xemvector, maxcomp>>();
    for (int e = 1; e <= nem; ++e) {
        const CompositionPairs& p = ds.comp[e];
        for (int m = 1; m <= p.ncompel; ++m) {
            if (dropoxygen && p.compel[m] == oxygen) continue;
            (*w)[pos[table.oxideorder[p.compel[m]]]][e] += p.compamt[m];
        }
    }
    for (int r = 1; r <= ncomp; ++r) {
        int32 denom = 0;
        rationals2integers((*w)[r], narrow16(nem), denom);
        sc.compdenom[r] = denom;
        for (int e = 1; e <= nem; ++e) {
            const real v = std::nearbyint((*w)[r][e]);
            if (v > std::numeric_limits<int16>::max() || v < std::numeric_limits<int16>::min()) {
                bomb("makeoxides", "integer overflow in makeoxides", yourfault);
            }
            c[r][e] = static_cast<int16>(v);
        }
    }

    for (int k = 1; k <= nelements; ++k) {
        const int q = table.oxideorder[k];
        if (!present[q]) continue;
        sc.compnames[pos[q]] = oxidemode ? table.oxidenames[k] : table.elementnames[k];
    }

    sc.nucomp = sc.ncomp;
    ds.nrxem = ds.nem;
    ds.nmode3reac = 0;

    for (int r = 1; r <= sc.ncomp; ++r) {
        int k = 0;
        for (int j = 1; j <= nelements && k == 0; ++j) {
            if (table.oxidenames[j] == sc.compnames[r] ||
                table.elementnames[j] == sc.compnames[r]) {
                k = j;
            }
        }
        if (k == 0) bomb("makeoxides", "cannot find oxide name", yourfault);
        sc.compatoms[r] =
            ds190 ? int16{1} : narrow16(table.cationsperoxide[k] + table.oxygensperoxide[k]);
    }
}

void makeoxides(Run& run) {
    makeoxides(run.comps, run.script.ds190, run.dataset, *run.arrays.c);
}

namespace {

struct Cleaner {
    Session& ses;
    Dataset& ds;
    icmatrix& c;
    tdmatrix& td;
    emmatrix& cov;

    void removecomp(int k) {
        SystemComponents& sc = ds.components;
        for (int j = k + 1; j <= sc.ncomp; ++j) {
            sc.compnames[j - 1] = sc.compnames[j];
            sc.compdenom[j - 1] = sc.compdenom[j];
            sc.compatoms[j - 1] = sc.compatoms[j];
            for (int e = 1; e <= ds.nem; ++e) c[j - 1][e] = c[j][e];
        }
        --sc.nucomp;
        --sc.ncomp;
    }

    void removeem(int k) {
        const int nem = ds.nem;
        for (int j = k + 1; j <= nem; ++j) {
            for (int r = 1; r <= ds.components.ncomp; ++r) c[r][j - 1] = c[r][j];
            ds.emnames[j - 1] = ds.emnames[j];
            ds.emact[j - 1] = ds.emact[j];
            ds.emsda[j - 1] = ds.emsda[j];
            td[j - 1] = td[j];
        }
        for (int i = 1; i <= nem; ++i) {
            if (i == k) continue;
            const int ii = i < k ? i : i - 1;
            for (int j = 1; j <= nem; ++j) {
                if (j == k) continue;
                cov[ii][j < k ? j : j - 1] = cov[i][j];
            }
        }
        --ds.nem;
        --ds.nrxem;
    }

    void run() {
        bool first = true;
        bool settled = false;
        while (!settled) {
            settled = true;
            for (int r = ds.components.ncomp; r >= 1; --r) {
                int count = 0;
                int e1 = 0;
                for (int e = 1; e <= ds.nem && count < 2; ++e) {
                    if (c[r][e] != 0) {
                        ++count;
                        e1 = e;
                    }
                }
                if (count == 0) {
                    removecomp(r);
                } else if (count == 1) {
                    putstr(ses, first ? 1 : 0, ds.emnames[e1] + " excluded", 1,
                           screenmask | logmask);
                    first = false;
                    removecomp(r);
                    removeem(e1);
                }
                if (count < 2) settled = false;
            }
        }
        if (ds.nem < 2) bomb("clean", "insufficient end-members", yourfault);
    }
};

}  // namespace

void clean(Session& ses, Run& run) {
    Cleaner cl{ses, run.dataset, *run.arrays.c, *run.arrays.td, *run.arrays.cov};
    cl.run();
}

}  // namespace qv
