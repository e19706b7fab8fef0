#include "solver/uncertainties.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr real smallvariance = 1e-14L;

real sdof(real variance) {
    return variance <= smallvariance ? sdmarker : std::sqrt(variance);
}

// Natural values of all solver variables.
eqvector naturals(const NleVariables& v) {
    eqvector x{};
    for (int16 k = 1; k <= v.nxvars + v.nmodevars; ++k) x[k] = v.natural(k);
    return x;
}

int16 positions(const NleVariables& v, bool modeson) {
    return modeson ? narrow16(v.nxvars + v.nmodevars - 1) : v.nxvars;
}

}  // namespace

real wsd(real w) {
    return std::max(std::fabs(0.1L * w), static_cast<real>(1));
}

real dqfvariance(int16 kind, real a) {
    switch (kind) {
        case -1: return 0;
        case 0: bomb("calcsd", "dqf unclassified", yourfault);
        case 1: return (0.05L * a) * (0.05L * a);
        case 2: return (0.5L * a) * (0.5L * a);
        case 3:
        case 4: return 0.25L;
        case 5: return 1;
        default: bomb("calcsd", "dqfubar", yourfault);
    }
}

int16 positionvar(const NleVariables& v, bool modeson, int16 dropmode, int16 i) {
    if (!modeson || i < v.nxvars + dropmode) return i;
    return narrow16(i + 1);
}

void nonidealcov(const SdInputs& in, const eqvector& x, real p, real t, emmatrix& cw) {
    for (int e = 1; e <= in.nem; ++e) {
        for (int f = 1; f <= in.nem; ++f) cw[e][f] = 0;
    }
    for (int16 first = 1; first <= in.nem; ++first) {
        if (!in.xref.phasestart[first]) continue;
        const ptype1& ph = in.prec1[in.xref.emphase[first]];
        const int ne = ph.nem;
        Fixed1<real, maxssem> alpha{};
        Fixed1<real, maxssem> phi{};
        real sum = 0;
        for (int k = 1; k <= ne; ++k) {
            alpha[k] = ph.alphaa[k] + ph.alphab[k] * t + ph.alphac[k] * p;
            phi[k] = alpha[k] * evalexpr(x, in.xref.emvarpos[first], ph.p[k]);
            sum += phi[k];
        }
        for (int k = 1; k <= ne; ++k) phi[k] /= sum;
        // d mu_m / d W_q, and the sd of each W at p and t.
        const int nq = ph.ngterm;
        Fixed1<Fixed1<real, maxw>, maxssem> dmu{};
        Fixed1<real, maxw> sd{};
        for (int q = 1; q <= nq; ++q) {
            const gtermtype& g = ph.gterm[q];
            const int w = g.term;
            sd[q] = wsd(ph.wa[w] + ph.wb[w] * t + ph.wc[w] * p);
            for (int m = 1; m <= ne; ++m) {
                dmu[m][q] = ((m == g.j ? 1 : 0) - phi[g.j]) * ((m == g.i ? 1 : 0) - phi[g.i]) *
                            (-2 * alpha[m] / (alpha[g.i] + alpha[g.j]));
            }
        }
        for (int m1 = 1; m1 <= ne; ++m1) {
            for (int m2 = 1; m2 <= ne; ++m2) {
                real c = 0;
                for (int q = 1; q <= nq; ++q) c += dmu[m1][q] * dmu[m2][q] * sd[q] * sd[q];
                cw[first + m1 - 1][first + m2 - 1] = c;
            }
        }
    }
}

void calcsd(Session& ses, const SdInputs& in, Uncertainties& u) {
    if (in.neqns != in.njaccols) bomb("calcsd", "jrow <> jcol", yourfault);
    const NleVariables& v = in.v;
    const bool modeson = in.bulk.modeson;
    const int16 n = positions(v, modeson);
    u.n = n;
    u.covx = eqmatrix{};
    u.sdx = u.sdxh = u.sdxw = u.sdxb = eqvector{};
    u.ptcorr = 0;
    const int16 dropmode = in.d.dropmode;

    if (!in.d.valid || (modeson && dropmode == 0)) {
        // Without a mode to take the log ratios to there is nothing to propagate.
        u.valid = false;
        putstr(ses, 0, "no mode to refer the mode ratios to: uncertainties not calculated", 1,
               logmask);
        for (int16 i = 1; i <= n; ++i) {
            if (!v.xfree[positionvar(v, modeson, dropmode, i)]) continue;
            u.sdx[i] = u.sdxh[i] = u.sdxw[i] = u.sdxb[i] = sdmarker;
        }
        return;
    }
    u.valid = true;

    const eqvector x = naturals(v);
    const real p = x[1];
    const real t = x[2];
    auto cw = std::make_unique<emmatrix>();
    nonidealcov(in, x, p, t, *cw);
    // The dataset covariance, widened on the diagonal by the DQF of the solution end-members.
    auto ch = std::make_unique<emmatrix>();
    for (int e = 1; e <= in.nem; ++e) {
        for (int f = 1; f <= in.nem; ++f) (*ch)[e][f] = in.cov[e][f];
    }
    for (int16 first = 1; first <= in.nem; ++first) {
        if (!in.xref.phasestart[first]) continue;
        const ptype1& ph = in.prec1[in.xref.emphase[first]];
        for (int k = 1; k <= ph.nem; ++k) {
            const int e = first + k - 1;
            (*ch)[e][e] += dqfvariance(ph.em[k].dqfkind, ph.em[k].dqfa);
        }
    }

    // Free row of each position (0 when its solver variable is held).
    Fixed1<int16, maxeq> row{};
    int16 nrows = 0;
    for (int16 i = 1; i <= n; ++i) {
        if (v.xfree[positionvar(v, modeson, dropmode, i)]) row[i] = ++nrows;
    }
    // Sensitivities to the end-member enthalpies, and each one times the two covariances.
    auto s = std::make_unique<Fixed1<emvector, maxeq>>();
    auto sh = std::make_unique<Fixed1<emvector, maxeq>>();
    auto sw = std::make_unique<Fixed1<emvector, maxeq>>();
    for (int a = 1; a <= nrows; ++a) {
        for (int e = 1; e <= in.nem; ++e) {
            real sum = 0;
            for (int k = 1; k <= in.nreac; ++k) sum += in.d.dxdeq[a][k] * in.r[k][e];
            (*s)[a][e] = sum;
        }
        for (int e = 1; e <= in.nem; ++e) {
            real h = 0;
            real w = 0;
            for (int f = 1; f <= in.nem; ++f) {
                h += (*ch)[e][f] * (*s)[a][f];
                w += (*cw)[e][f] * (*s)[a][f];
            }
            (*sh)[a][e] = h;
            (*sw)[a][e] = w;
        }
    }
    const int nb = modeson ? in.bulk.nsyscomp - 1 : 0;
    for (int16 i = 1; i <= n; ++i) {
        const int a = row[i];
        if (a == 0) continue;
        for (int16 j = 1; j <= n; ++j) {
            const int b = row[j];
            if (b == 0) continue;
            real vh = 0;
            real vw = 0;
            for (int e = 1; e <= in.nem; ++e) {
                vh += (*s)[a][e] * (*sh)[b][e];
                vw += (*s)[a][e] * (*sw)[b][e];
            }
            real vb = 0;
            for (int k = 1; k <= nb; ++k) {
                for (int l = 1; l <= nb; ++l) {
                    vb +=
                        in.d.dxdeq[a][in.nreac + k] * in.d.dxdeq[b][in.nreac + l] * in.covbp[k][l];
                }
            }
            u.covx[i][j] = vh + vw + vb;
            if (i == j) {
                u.sdx[i] = sdof(vh + vw + vb);
                u.sdxh[i] = sdof(vh);
                u.sdxw[i] = sdof(vw);
                u.sdxb[i] = modeson ? sdof(vb) : 0;
            }
        }
    }
    if (v.xfree[1] && v.xfree[2]) {
        if (u.sdx[1] > 0 && u.sdx[2] > 0) u.ptcorr = u.covx[1][2] / (u.sdx[1] * u.sdx[2]);
        std::string line;
        addreal(4, true, 10, line, u.ptcorr);
        ses.console.write(line + "\n");
    }
}

void phasesds(const SdInputs& in, const Uncertainties& u, PhaseSds& ps) {
    const NleVariables& v = in.v;
    const bool modeson = in.bulk.modeson;
    const int16 dropmode = in.d.dropmode;
    ps = PhaseSds{};
    for (int16 first = 1; first <= in.nem; ++first) {
        if (!in.xref.phasestart[first]) continue;
        const ptype1& ph = in.prec1[in.xref.emphase[first]];
        const int16 k = ++ps.nss;
        for (int var = 1; var <= ph.nvar; ++var) {
            const int pos = in.xref.emvarpos[first] + var - 1;
            if (pos <= u.n) ps.varsd[k][var] = u.sdx[pos];
        }
    }
    if (!modeson) return;
    // Each mode from its own position: the positions after the reference mode are shifted.
    for (int16 j = 1; j <= v.nmodevars; ++j) {
        if (!u.valid || j == dropmode) {
            ps.modesd[j] = sdmarker;
        } else {
            ps.modesd[j] = u.sdx[v.nxvars + (j < dropmode ? j : j - 1)];
        }
    }
}

std::string sdinfotext(const SdInfo& info, const Uncertainties& u) {
    const NleVariables& v = info.v;
    const BulkRatios& bulk = info.bulk;
    std::string out;
    std::string line;  // fields are right-justified by hand: a row can be any length
    auto field = [&](const std::string& s, int width) {
        if (static_cast<int>(s.size()) < width)
            line.append(static_cast<std::size_t>(width) - s.size(), ' ');
        line += s;
        line += ", ";
    };
    auto num = [&](int d, bool fixed, real x, int width) { field(realfixstr(d, fixed, x), width); };
    auto end = [&] {
        out += line;
        out += "\n";
        line.clear();
    };
    if (bulk.modeson) {
        const int ns = bulk.nsyscomp;
        for (int i = 1; i <= ns; ++i) field(info.sysnames[i], 10);
        end();
        for (int i = 1; i <= ns; ++i) num(3, false, bulk.bulkcomp[i] * 100, 10);
        end();
        for (int i = 1; i <= ns; ++i) {
            if (i == bulk.bulkref) {
                field("0", 10);
            } else if (info.c8 && bulk.bulkcomp[i] <= 0) {
                field("-10", 10);
            } else if (bulk.bulkcomp[i] <= 0) {
                field("0.810", 10);
            } else {
                num(4, false, std::log(bulk.bulkcomp[i] / bulk.bulkcomp[bulk.bulkref]), 10);
            }
        }
        end();
        int next = 0;
        for (int i = 1; i <= ns; ++i) {
            if (i == bulk.bulkref) {
                field("0", 10);
            } else {
                num(4, false, info.sdbp[++next], 10);
            }
        }
        end();
        end();
    }
    const eqvector x = naturals(v);
    line += "x, ";
    field(std::to_string(v.nxvars), 3);
    field(std::to_string(v.nmodevars), 2);
    field(std::to_string(info.dropmode), 3);
    num(4, false, x[1], 17);
    num(3, false, x[2] - 273.15L, 10);
    line += std::string(12, ' ');
    for (const std::string& ph : info.phases) field(ph, 10);
    end();
    end();
    // Header and values: P, T, composition variables, then the modes but the reference one as
    // log ratios to it.
    const int16 nall = narrow16(v.nxvars + v.nmodevars);
    const int16 dropvar = narrow16(v.nxvars + info.dropmode);
    field("P(kbar)", 10);
    field("T(degC)", 10);
    for (int16 k = 3; k <= nall; ++k) {
        if (k > v.nxvars && k == dropvar) continue;
        field(v.xname[k], 10);
    }
    end();
    num(4, false, x[1], 10);
    num(3, false, x[2] - 273.15L, 10);
    for (int16 k = 3; k <= v.nxvars; ++k) num(5, false, x[k], 10);
    const real mref = info.dropmode > 0 ? x[dropvar] : 0;
    for (int16 k = narrow16(v.nxvars + 1); k <= nall; ++k) {
        if (k == dropvar) continue;
        if (x[k] <= 0 || (info.c8 && mref <= 0)) {
            field("0", 10);
        } else if (mref <= 0) {
            bomb("printsdinfo", "log of zero or negative mode", yourfault);
        } else {
            num(5, false, std::log(x[k] / mref), 10);
        }
    }
    end();
    end();
    auto sdrow = [&](const eqvector& sd, bool marked) {
        for (int i = 1; i <= u.n; ++i) {
            if (marked && sd[i] < 0) {
                line += "         0, ";
            } else {
                num(5, true, sd[i], 10);
            }
        }
        end();
    };
    sdrow(u.sdxh, true);
    sdrow(u.sdxw, true);
    sdrow(u.sdxb, false);
    sdrow(u.sdx, false);
    end();
    for (int i = 1; i <= u.n; ++i) {
        for (int j = 1; j <= u.n; ++j) {
            num(4, true, i == j && u.covx[i][j] == 0 ? 1e-10L : u.covx[i][j], 10);
        }
        end();
    }
    end();
    return out;
}

void printsdinfo(Session& ses, const SdInfo& info, const Uncertainties& u) {
    const std::string text = sdinfotext(info, u);
    OutFile& f = ses.ch.files[8];
    if (f.f == nullptr) return;
    ses.ch.used[8] = true;
    writefile(f, text);
    flushfile(ses, 8);
}

void printsdspec(Session& ses, bool modeson) {
    putstr(ses, 1, "specification of uncertainties in error propagation", 1, screensummarylogmask);
    putstr(ses, 0, "h: on thermo data, the dataset uncertainties (on enthalpy)", 1,
           screensummarylogmask);
    std::string line = "w: on non-ideality, sd(W) = ";
    addreal(1, false, 0, line, 10);
    line += " % relative; min sd(W) = ";
    addreal(1, false, 0, line, 1);
    line += " kJ";
    putstr(ses, 0, line, 1, screensummarylogmask);
    if (modeson) {
        line = "b: on bulk, in sd(b), alpha = ";
        addreal(4, false, 0, line, 0.025L);
        line += ", for O, mult = ";
        addreal(1, false, 0, line, 3);
        putstr(ses, 0, line, 1, screensummarylogmask);
        putstr(ses, 0,
               "(bulk and modes are compvars: prime is logratio; // is denominator: see notes)", 1,
               screensummarylogmask);
    }
}

}  // namespace qv
