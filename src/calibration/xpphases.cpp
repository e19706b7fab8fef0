#include "calibration/xpphases.hpp"

#include <cmath>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "calibration/misfits.hpp"
#include "model/components.hpp"
#include "model/emcomps.hpp"
#include "solver/calcq.hpp"
#include "solver/lsqds.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// Composition pairs and data row of calculation end-member e from calibration end-member d.
void fromdataset(Run& run, const Calibration& cal, int16 e, int16 d) {
    const tdrec& t = cal.tda[d];
    CompositionPairs& c = run.dataset.comp[e];
    c = CompositionPairs{};
    c.ncompel = t.nel;
    for (int q = 1; q <= t.nel; ++q) {
        c.compel[q] = t.formulael[q];
        c.compamt[q] = t.formulaamt[q];
        c.compsum += t.formulaamt[q];
    }
    tdvector& row = (*run.arrays.td)[e];
    const tdvector data = tdrow(t, cal.dsmode);
    for (int v = 1; v <= ntd; ++v) {
        if (v != 18 && v != 19 && (v < 26 || v > 30)) row[v] = data[v];
    }
}

}  // namespace

void setupxpphases(Session& ses, Run& run, Calibration& cal, int16 k) {
    const xprec& e = cal.xp[k];
    prectype1& p1 = *run.arrays.prec1;
    prectype0& p0 = *run.arrays.prec0;
    Dataset& ds = run.dataset;
    for (int j = 1; j <= maxem; ++j) ds.emact[j] = 1;
    int16 nem = 0;
    int16 np = 0;
    int16 ns = 0;
    for (int j = 1; j <= e.nlist; ++j) {
        const real rule = e.lista[j];
        if (rule == -2) continue;
        if (rule <= 0) {
            if (++ns > maxxpss) {
                bomb("setupxpphases",
                     "too many solution phases in one experiment" + maxtext(maxxpss), yourfault);
            }
            p1[ns] = p1[e.listphase[j]];
            ptype1& ph = p1[ns];
            for (int16 m = 1; m <= ph.nem; ++m) {
                ++nem;
                const int16 d = e.listix[j + m - 1];
                if (d == 0) {
                    ds.emnames[nem] = "###";
                    ds.comp[nem] = CompositionPairs{};
                } else {
                    ds.emnames[nem] = ph.em[m].name;
                    fromdataset(run, cal, nem, d);
                }
                ph.em[m].vec.fill(0);
            }
        } else {
            ++nem;
            ++np;
            ptype0& ph = p0[np];
            const int16 d = e.listix[j];
            if (d != 0) {
                ph.name = ph.emname = ds.emnames[nem] = cal.tda[d].name;
                fromdataset(run, cal, nem, d);
            }
            ph.vec.fill(0);
            ph.dqfa = ph.dqfb = ph.dqfc = 0;
            ph.nmake = 0;
            // a constituent of a made end-member is no phase of the assemblage
            ph.activity = rule == 0.5L ? 0 : 1;
            ph.activitysd = 0;
        }
    }
    run.npure = np;
    run.nss = ns;
    run.nphread = narrow16(np + ns);
    ds.nem = e.nlist;
    makeoxides(run);
    makeemc(run);
    // The experiment's made end-members are built as in the other calculations; the a-x summary
    // of the calibration's phases was written when they were read.
    lsqds(ses, run, /*calibrationmakes=*/false, /*phaseinfo=*/false);
}

empvector xpactivities(const ptype1& ph, const eqvector& x, real p, real t) {
    return calcactivitysd(ph, x, p, t, controlboolean::yes).a;
}

void lsqcalca(Session& ses, Run& run, Calibration& cal, int16 k, int16 i) {
    xprec& e = cal.xp[k];
    brrec& br = e.br[i];
    const real p = br.brP;
    const real t = br.brT;
    run.windows.pcur = p;
    run.windows.tcur = t;
    prectype1& p1 = *run.arrays.prec1;

    // The state of order of order-disorder phases at the run's P and T.
    int pos = 1;
    for (int16 s = 1; s <= run.nss; ++s) {
        ptype1& ph = p1[s];
        if (!ph.hasorder) {
            pos += ph.nvar;
            continue;
        }
        for (int v = 1; v <= ph.nvar; ++v) ph.var[v].guess = br.xyz[pos + v - 1];
        bool wasillegal = false;
        if (!findlegalq(ses, run, s, true, wasillegal, p, t)) {
            std::string line = "xp = ";
            addgreal(4, line, k);
            addstr(", br = ", 0, line);
            addgreal(3, line, i);
            addstr(", ", 0, line);
            addstr(ph.name, 5, line);
            ses.console.write(line + "\n");
            bomb("calca", "couldn't solve for state of order for " + ph.name, yourfault);
        }
        for (int v = 1; v <= ph.nvar; ++v) br.xyz[pos + v - 1] = ph.var[v].guess;
        pos += ph.nvar;
    }

    // Activities of the list entries.
    pos = 1;
    for (int j = 1; j <= e.nlist; ++j) {
        const real rule = e.lista[j];
        if (rule == -1) {
            const ptype1& ph = p1[e.listphase[j]];
            eqvector x;
            x.fill(0);
            for (int q = 1; q < ph.nem; ++q) x[q] = br.xyz[pos++];
            const empvector a = xpactivities(ph, x, p, t);
            for (int q = 1; q <= ph.nem; ++q) br.bra[j + q - 1] = a[q];
        } else if (rule == 0.5L) {
            // A constituent of a made end-member: a(made) = a(constituent)^mult.
            const ssemtype& made = p1[e.listphase[j]].em[e.listem[j]];
            int c = made.nmake;
            for (int q = made.nmake; q >= 1; --q) {
                if (made.makenames[q] == e.listnames[j]) c = q;
            }
            int entry = e.nlist;
            for (int q = e.nlist; q >= 1; --q) {
                if (e.listnames[q] == made.name) entry = q;
            }
            const real a = br.bra[entry];
            const real mult = c >= 1 && made.makeden != 0
                                  ? static_cast<real>(made.makecoef[c]) / made.makeden
                                  : 0;
            if (a > 0 && a < 1 && mult != 0) {
                br.bra[j] = std::pow(a, 1 / mult);
                continue;
            }
            std::string line;
            addstr(e.listnames[j], 6, line);
            addstr(p1[e.listphase[j]].name, 6, line);
            addstr(made.name, 6, line);
            addstr(c >= 1 ? made.makenames[c] : std::string(), 6, line);
            addstr("; mult = ", 0, line);
            addreal(2, true, 8, line, mult);
            addstr("; a(" + e.listnames[entry] + ") = ", 0, line);
            addreal(4, true, 10, line, a);
            if (a > 0 && mult != 0) {
                addstr("; giving a(" + e.listnames[j] + ") = ", 0, line);
                addreal(4, true, 10, line, std::pow(a, 1 / mult));
            }
            ses.console.write("\ndependent end-member activity not between 0 and 1\n" + line +
                              "\n");
            bomb("calca", "messed up make a", yourfault);
        }
    }
    for (int r = 1; r < e.nreacs; ++r) {
        brrec& other = cal.xp[k + r].br[i];
        for (int j = 1; j <= e.nlist; ++j) other.bra[j] = br.bra[j];
    }
}

}  // namespace qv
