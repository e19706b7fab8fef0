#include "model/emcomps.hpp"

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/run.hpp"
#include "numerics/intmath.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

// The composition of one end-member while the matrix is rebuilt, with the divisor of its
// make coefficients (1 for a dataset end-member).
struct EmComp {
    icvector comp;
    int32 divisor = 1;
};

// The fields both kinds of end-member record share for this step.
struct EmView {
    const std::string& name;
    int16 nmake;
    int16 makeden;
    const makestype& makenames;
    const makeitype& makecoef;
    icvector& comp;
};

class EmcBuilder {
public:
    explicit EmcBuilder(Run& run)
        : run_(run), ds_(run.dataset), c_(*run.arrays.c), sc_(run.dataset.components) {}

    void build() {
        gather();
        rebuild();
        dropemptycomponents();
        if (needsscaling_) scale();
        writeback();
    }

private:
    template <class F>
    void foreachem(F f) {
        prectype1& ss = *run_.arrays.prec1;
        prectype0& pure = *run_.arrays.prec0;
        for (int k = 1; k <= run_.nss; ++k) {
            for (int j = 1; j <= ss[k].nem; ++j) {
                ssemtype& em = ss[k].em[j];
                f(EmView{em.name, em.nmake, em.makeden, em.makenames, em.makecoef, em.comp}, true);
            }
        }
        for (int k = 1; k <= run_.npure; ++k) {
            ptype0& ph = pure[k];
            f(EmView{ph.emname, ph.nmake, ph.makeden, ph.makenames, ph.makecoef, ph.comp}, false);
        }
    }

    int16 column(const std::string& name, const char* which) {
        int16 pos = 0;
        if (!posinlist(name, ds_.emnames, ds_.nem, pos)) {
            bomb("make emc", name + which, yourfault);
        }
        return pos;
    }

    void gather() {
        foreachem([&](const EmView& em, bool insolution) {
            EmComp ec;
            if (em.nmake == 0) {
                const int16 pos = column(em.name, insolution ? " not found 1" : " not found 3");
                for (int k = 1; k <= sc_.ncomp; ++k) ec.comp[k] = c_[k][pos];
            } else {
                // A made end-member is its constituents combined with the make coefficients,
                // all over their common denominator.
                Fixed1<int64, maxcomp> sum;
                for (int t = 1; t <= em.nmake; ++t) {
                    const int16 pos =
                        column(em.makenames[t], insolution ? " not found 2" : " not found 4");
                    if (em.makecoef[t] == 0) continue;
                    for (int k = 1; k <= sc_.ncomp; ++k) {
                        sum[k] += int64{em.makecoef[t]} * c_[k][pos];
                    }
                }
                for (int k = 1; k <= sc_.ncomp; ++k) ec.comp[k] = to16(sum[k]);
                // A record without a usable denominator (no constituents) is taken as whole.
                ec.divisor = em.makeden > 1 ? em.makeden : 1;
                if (ec.divisor > 1) needsscaling_ = true;
            }
            ems_.push_back(ec);
            if (insolution) nsolution_ = static_cast<int>(ems_.size());
        });
    }

    void rebuild() {
        const int n = static_cast<int>(ems_.size());
        for (int e = 1; e <= n; ++e) {
            if (e > maxem) {
                bomb("make emc",
                     e <= nsolution_ ? "too many end-members1" : "too many end-members2",
                     yourfault);
            }
            for (int k = 1; k <= sc_.ncomp; ++k)
                c_[k][e] = ems_[static_cast<std::size_t>(e - 1)].comp[k];
        }
    }

    void dropemptycomponents() {
        const int n = static_cast<int>(ems_.size());
        int16 kept = 0;
        for (int k = 1; k <= sc_.ncomp; ++k) {
            bool used = false;
            for (int e = 1; e <= n && !used; ++e) used = c_[k][e] != 0;
            if (!used) continue;
            ++kept;
            if (kept != k) {
                c_[kept] = c_[k];
                sc_.compnames[kept] = sc_.compnames[k];
                sc_.compdenom[kept] = sc_.compdenom[k];
                sc_.compatoms[kept] = sc_.compatoms[k];
            }
        }
        sc_.ncomp = kept;
        sc_.nucomp = kept;
    }

    // A made end-member with divisor d holds c/d of a component; the row is scaled by the lcm
    // of the parts of the divisors that do not cancel, so every entry stays whole and the
    // component's common denominator records the scale.
    void scale() {
        const int n = static_cast<int>(ems_.size());
        for (int k = 1; k <= sc_.ncomp; ++k) {
            liemvector list;
            int16 nlist = 0;
            for (int e = 1; e <= n; ++e) {
                const int32 d = divisor(e);
                if (d <= 1) continue;
                const int32 g = gcd(c_[k][e], d);
                list[++nlist] = g > 1 ? d / g : d;
            }
            const int32 l = vectorlcm(list, nlist);
            for (int e = 1; e <= n; ++e) c_[k][e] = to16(int64{l} * c_[k][e] / divisor(e));
            const int64 denom = int64{sc_.compdenom[k]} * l;
            if (denom > std::numeric_limits<int32>::max()) overflow();
            sc_.compdenom[k] = static_cast<int32>(denom);
        }
    }

    void writeback() {
        int e = 0;
        foreachem([&](const EmView& em, bool) {
            ++e;
            for (int k = 1; k <= maxcomp; ++k) em.comp[k] = k <= sc_.ncomp ? c_[k][e] : int16{0};
        });
    }

    // Compositions are 16-bit and denominators 32-bit: a value that does not fit stops the run
    // rather than wrapping into a wrong composition.
    [[noreturn]] static void overflow() {
        bomb("make emc", "integer overflow in makeemc", yourfault);
    }
    static int16 to16(int64 v) {
        if (v < std::numeric_limits<int16>::min() || v > std::numeric_limits<int16>::max()) {
            overflow();
        }
        return narrow16(v);
    }

    int32 divisor(int e) const { return ems_[static_cast<std::size_t>(e - 1)].divisor; }

    Run& run_;
    Dataset& ds_;
    icmatrix& c_;
    SystemComponents& sc_;
    std::vector<EmComp> ems_;
    int nsolution_ = 0;
    bool needsscaling_ = false;
};

}  // namespace

void makeemc(Run& run) {
    EmcBuilder(run).build();
}

void countcomp(Run& run) {
    const SystemComponents& sc = run.dataset.components;
    const ComponentTable& table = run.comps;
    const bool ds190 = run.script.ds190;
    if (ds190) {
        for (int k = 1; k <= sc.ncomp; ++k) {
            if (sc.compnames[k] == "SO2") bomb("countcomp", "sulphur verboten", myfault);
        }
    }
    icvector atoms;
    for (int k = 1; k <= sc.ncomp; ++k) {
        int j = 1;
        while (j <= maxcomp && sc.compnames[k] != table.oxidenames[j] &&
               sc.compnames[k] != table.elementnames[j]) {
            ++j;
        }
        if (j > maxcomp) bomb("countcomp", "cannot find oxide name", yourfault);
        atoms[k] = ds190 ? int16{1} : narrow16(table.cationsperoxide[j] + table.oxygensperoxide[j]);
    }

    auto count = [&](const icvector& comp, real& real1, const std::string& what) {
        real s1 = 0;
        real s2 = 0;
        for (int k = 1; k <= sc.ncomp; ++k) {
            if (!run.compkept[k]) continue;
            s1 += doubleratio(int64{atoms[k]} * comp[k], sc.compdenom[k]);
            s2 += doubleratio(comp[k], sc.compdenom[k]);
        }
        // The old dataset counts oxide units, and an end-member must hold some.
        if (ds190 && s2 <= 0) bomb("countcomp", "sumox <= 0 for " + what, yourfault);
        real1 = ds190 ? s2 : s1;
    };

    prectype1& ss = *run.arrays.prec1;
    for (int k = 1; k <= run.nss; ++k) {
        for (int j = 1; j <= ss[k].nem; ++j) {
            ssemtype& em = ss[k].em[j];
            count(em.comp, em.real1, em.name + ", in " + ss[k].name);
        }
    }
    prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= run.npure; ++k) count(pure[k].comp, pure[k].real1, pure[k].name);
}

}  // namespace qv
