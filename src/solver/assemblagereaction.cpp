#include "solver/assemblagereaction.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "thermo/phaseprops.hpp"

namespace qv {
std::string printreaction(const emvector& x, const strings& names, int16 n) {
    real big = 0;
    for (int i = 1; i <= n; ++i) big = std::max(big, std::fabs(x[i]));
    std::vector<long> k(static_cast<std::size_t>(n + 1), 0);
    real small = 10000;
    for (int i = 1; i <= n; ++i) {
        if (big > 0 && std::fabs(x[i]) / big > 0.001L) small = std::min(small, std::fabs(x[i]));
    }
    for (int i = 1; i <= n; ++i) {
        const real r = big > 0 ? std::fabs(x[i]) / big : 0;
        long& ki = k[static_cast<std::size_t>(i)];
        if (r > 0.001L) {
            ki = std::lround(10 * x[i] / small);
        } else if (r > 1e-7L) {
            ki = x[i] <= 0 ? -1 : 1;
        }
    }
    bool tens = true;
    for (int i = 1; i <= n && tens; ++i) {
        const real q = static_cast<real>(k[static_cast<std::size_t>(i)]) / 10;
        tens = std::fabs(q - static_cast<real>(std::lround(q))) < 0.0001L;
    }
    std::string text;
    auto side = [&](int sign) {
        bool first = true;
        for (int i = 1; i <= n; ++i) {
            const long ki = k[static_cast<std::size_t>(i)];
            if (sign * ki <= 0) continue;
            if (!first) text += " + ";
            first = false;
            long m = sign * ki;
            if (m < 10) {
                text += "0";
            } else {
                if (tens) m = std::lround(static_cast<real>(m) / 10);
                if (m != 1) addgreal(0, text, static_cast<real>(m));
            }
            text += names[i];
        }
    };
    side(-1);
    text += " = ";
    side(1);
    return text;
}

AssemblageReaction assemblagereaction(const Run& run, const CrossRefs& xref, const eqvector& x,
                                      const bemvector& phases, int16 runvariance,
                                      bool jacsingular) {
    AssemblageReaction out;
    const SystemComponents& sc = run.dataset.components;
    auto a = std::make_unique<cmatrix>();
    const bool xco2section = run.script.figuretype == 1 || run.script.figuretype == 2;
    for (int16 k = 1; k <= run.dataset.nem; ++k) {
        if (!xref.phasestart[k]) continue;
        const int16 p = xref.emphase[k];
        if (!phases[p]) continue;
        const ptype1& ph = (*run.arrays.prec1)[p];
        if (ph.isfluid && run.runftype == ftype::h2oco2 && xco2section && runvariance == 2) {
            for (int e = 1; e <= 2; ++e) {
                out.names[++out.n] = ph.em[e].name;
                for (int c = 1; c <= sc.ncomp; ++c) {
                    (*a)[c][out.n] = doubleratio(ph.em[e].comp[c], sc.compdenom[c]);
                }
            }
        } else {
            out.names[++out.n] = ph.name;
            cvector comp;
            calcphasecomp(ph, x, xref.emvarpos[k], sc, comp);
            for (int c = 1; c <= sc.ncomp; ++c) (*a)[c][out.n] = comp[c];
        }
    }
    for (int16 j = 1; j <= run.npure; ++j) {
        if (!phases[run.nss + j]) continue;
        const ptype0& ph = (*run.arrays.prec0)[j];
        out.names[++out.n] = ph.name;
        for (int c = 1; c <= sc.ncomp; ++c)
            (*a)[c][out.n] = doubleratio(ph.comp[c], sc.compdenom[c]);
    }
    if (jacsingular) {
        out.text = "####";
        out.n = 0;
        return out;
    }
    realreaction(*a, sc.ncomp, out.n, out.x);
    int16 pos = 0;
    const real h = posinlist("H2O", out.names, out.n, pos) ? out.x[pos] : 0;
    const real c = posinlist("CO2", out.names, out.n, pos) ? out.x[pos] : 0;
    if (h + c < 0) {
        for (int i = 1; i <= out.n; ++i) out.x[i] = -out.x[i];
    }
    out.text = printreaction(out.x, out.names, out.n);
    return out;
}

}  // namespace qv
