#include "model/crossrefs.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "model/run.hpp"
#include "textio/channels.hpp"

namespace qv {

namespace {

// The one variable of an H2O-CO2 fluid phase is its x(CO2), whatever its name, when it is the
// proportion of the CO2 end-member.
bool isxco2(const ptype1& ph, int v) {
    if (!ph.isfluid || ph.nvar != 1 || v != 1 || ph.ico2 == 0) return false;
    for (const real x : {0.25L, 0.75L}) {
        eqvector at;
        at[1] = x;
        if (std::fabs(evalexpr(at, 1, ph.p[ph.ico2]) - x) > 1e-12L) return false;
    }
    return true;
}

constexpr real modestep = 1e-4L;  // small step of a mode in scaled units

struct CrossRefBuilder {
    Session& ses;
    Run& run;
    CrossRefs& x;
    const CalcLayoutSettings& lay;
    const bemvector& active;
    Dataset& ds;
    int16 e = 0;  // end-members laid out so far
    int16 q = 2;  // last position of the solution vector used

    bool ssactive(int i) const { return active[i]; }
    bool pureactive(int j) const { return active[run.nss + j]; }

    int16 nextem() {
        if (++e > maxem) bomb("makecrossrefs", "too many end-members", yourfault);
        return e;
    }

    void tdrow(const tdvector& data, int16 nmake, int16 phase, int16 place) {
        calctdrow(run.dataset, data, nmake, phase, place, (*run.arrays.td)[e]);
    }

    void compcolumn(const icvector& comp) {
        icmatrix& c = *run.arrays.c;
        for (int r = 1; r <= ds.components.ncomp; ++r) c[r][e] = comp[r];
    }

    void reset() {
        x.xco2pos = 0;
        for (int i = 1; i <= maxem; ++i) {
            x.phasestart[i] = false;
            x.emphase[i] = 0;
            x.emvarpos[i] = 0;
        }
        for (int p = 1; p <= maxeq; ++p) {
            x.xfree[p] = false;
            x.xnsite[p] = 0;
        }
        x.nxfixed = 0;
        const PTScaling& sc = run.windows.scaling;
        x.xscale[1] = sc.pscale;
        x.xoffset[1] = sc.poffset;
        x.xtol[1] = lay.psmallstep;
        x.xscale[2] = sc.tscale;
        x.xoffset[2] = sc.toffset;
        x.xtol[2] = lay.tsmallstep;
        for (int p = 1; p <= 2; ++p) {
            x.xfree[p] = true;
            x.xacclow[p] = acctype::windowlimit;
            x.xacchigh[p] = acctype::windowlimit;
            x.xnsite[p] = 1;
        }
    }

    void solutionphases() {
        prectype1& p1 = *run.arrays.prec1;
        for (int16 i = 1; i <= run.nss; ++i) {
            if (!ssactive(i)) continue;
            const ptype1& ph = p1[i];
            if (e + 1 > maxem) bomb("makecrossrefs", "too many end-members", yourfault);
            x.phasestart[e + 1] = true;
            x.emphase[e + 1] = i;
            x.emvarpos[e + 1] = narrow16(q + 1);
            for (int16 j = 1; j <= ph.nem; ++j) {
                const ssemtype& em = ph.em[j];
                nextem();
                ds.emnames[e] = em.name;
                compcolumn(em.comp);
                tdrow(em.td, em.nmake, i, j);
                ds.nsite[e] = em.maxpower;
            }
            for (int v = 1; v <= ph.nvar; ++v) {
                const xvartype& var = ph.var[v];
                if (++q > maxeq) bomb("makecrossrefs", "too many variables", yourfault);
                x.xnames[q] = var.name;
                x.xscale[q] = var.scale;
                x.xoffset[q] = var.offset;
                x.xtol[q] = var.step;
                x.xacclow[q] = var.lowerkind;
                x.xacchigh[q] = var.upperkind;
                x.xfree[q] = !var.flag;
                x.xiso[q] = var.int3;
                if (var.flag) ++x.nxfixed;
                if (run.runftype == ftype::h2oco2 && (var.name == "x(CO2)" || isxco2(ph, v))) {
                    x.xco2pos = q;
                }
            }
        }
        run.nxvars = q;
    }

    void varlimits() {
        prectype1& p1 = *run.arrays.prec1;
        x.nvarlims = 0;
        int pos = 2;
        const int nx = run.nxvars;
        for (int16 i = 1; i <= run.nss; ++i) {
            if (!ssactive(i)) continue;
            const ptype1& ph = p1[i];
            for (int row = 1; row <= ph.nvarlim; ++row) {
                if (++x.nvarlims > maxvarlims) {
                    bomb("makecrossrefs", "too many varlims", yourfault);
                }
                Fixed1<int16, maxeq>& num = x.varlimnum[x.nvarlims];
                Fixed1<int16, maxeq>& den = x.varlimden[x.nvarlims];
                for (int col = 1; col <= nx + 1; ++col) {
                    num[col] = 0;
                    den[col] = 1;
                }
                for (int v = 1; v <= ph.nvar; ++v) {
                    num[pos + v] = ph.varlim1[row][v];
                    den[pos + v] = ph.varlim2[row][v];
                }
                num[nx + 1] = ph.varlim1[row][ph.nem];
                den[nx + 1] = ph.varlim2[row][ph.nem];
            }
            pos += ph.nvar;
        }
    }

    void sfchecks() {
        prectype1& p1 = *run.arrays.prec1;
        x.nsfchecks = 0;
        for (int16 i = 1; i <= run.nss; ++i) {
            if (!ssactive(i) || p1[i].allsfsimple) continue;
            for (int16 s = 1; s <= p1[i].nsf; ++s) {
                if (p1[i].sfsimple[s]) continue;
                if (++x.nsfchecks > maxsfchecks) {
                    bomb("makecrossrefs", "no site fractions not handled too big", myfault);
                }
                x.sfcheckphase[x.nsfchecks] = i;
                x.sfchecksf[x.nsfchecks] = s;
                x.sfcheckpos[x.nsfchecks] = firstvarpos(i);
            }
        }
    }

    int16 firstvarpos(int16 phase) const {
        for (int k = 1; k <= e; ++k) {
            if (x.phasestart[k] && x.emphase[k] == phase) return x.emvarpos[k];
        }
        return 0;
    }

    void purephases() {
        prectype0& p0 = *run.arrays.prec0;
        for (int16 j = 1; j <= run.npure; ++j) {
            if (!pureactive(j)) continue;
            const ptype0& ph = p0[j];
            nextem();
            ds.emnames[e] = ph.emname;
            compcolumn(ph.comp);
            tdrow(ph.td, ph.nmake, 0, j);
            ds.nsite[e] = 1;
        }
        ds.nem = e;
        ds.nrxem = e;
    }

    // A pure phase named as an ln a or mu variable is a pseudo-phase, not a phase with a mode.
    bool marked(const ptype0& ph) const {
        const ScriptSettings& sc = run.script;
        for (int i = 1; i <= sc.nlna; ++i) {
            if (sc.lna[i].name == ph.name) return true;
        }
        for (int i = 1; i <= sc.nmu; ++i) {
            if (sc.mu[i].name == ph.name) return true;
        }
        return false;
    }

    void modes() {
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        const int nx = run.nxvars;
        x.nssmodes = 0;
        run.nmodevars = 0;
        if (!lay.modesolved && !lay.modelisted) return;
        const bool xco2figure = run.script.xco2figure;
        int k = 0;
        for (int m = 1; m <= e; ++m) {
            if (!x.phasestart[m]) continue;
            const ptype1& ph = p1[x.emphase[m]];
            if (lay.modesolved && xco2figure && ph.isfluid) continue;
            if (nx + ++k > maxeq) bomb("makecrossrefs", "too many modes-1", yourfault);
            x.modephase[k] = x.emphase[m];
            x.modevarpos[k] = x.emvarpos[m];
            x.xnames[nx + k] = ph.name;
            x.modestart[k] = ph.modeguess;
            x.xfree[nx + k] = !ph.flag2;
            x.xiso[nx + k] = ph.int2;
        }
        const int nss = k;
        for (int16 j = 1; j <= run.npure; ++j) {
            if (!pureactive(j)) continue;
            const ptype0& ph = p0[j];
            if (lay.modesolved && marked(ph)) continue;
            if (nx + ++k > maxeq) bomb("makecrossrefs", "too many modes-2", yourfault);
            x.modephase[k] = j;
            x.modevarpos[k] = 0;
            x.xnames[nx + k] = ph.name;
            x.modestart[k] = ph.modeguess;
            x.xfree[nx + k] = !ph.flag2;
            x.xiso[nx + k] = ph.int1;
        }
        if (lay.modelisted) {
            // Named after the variables and free, but not unknowns of the problem.
            for (int p = nx + 1; p <= nx + k; ++p) x.xfree[p] = true;
            return;
        }
        x.nssmodes = narrow16(nss);
        run.nmodevars = narrow16(k);
        for (int p = nx + 1; p <= nx + k; ++p) {
            x.xacclow[p] = acctype::paccessible;
            x.xacchigh[p] = acctype::paccessible;
            x.xtol[p] = modestep;
            x.xscale[p] = 1;
            x.xoffset[p] = 0;
            x.xnsite[p] = 1;
        }
    }

    // The covariance of the chosen end-members from the covariance rows of all the phases'
    // end-members (numbered over every phase, chosen or not, as `lsqds` left them).
    void covariance() {
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        iemvector number;
        Fixed1<const emvector*, maxem> rows;
        int16 all = 0;
        int16 chosen = 0;
        for (int16 i = 1; i <= run.nss; ++i) {
            for (int j = 1; j <= p1[i].nem; ++j) {
                ++all;
                if (!ssactive(i)) continue;
                number[++chosen] = all;
                rows[chosen] = &p1[i].em[j].vec;
            }
        }
        for (int16 j = 1; j <= run.npure; ++j) {
            ++all;
            if (!pureactive(j)) continue;
            number[++chosen] = all;
            rows[chosen] = &p0[j].vec;
        }
        emmatrix& cov = *run.arrays.cov;
        for (int a = 1; a <= chosen; ++a) {
            for (int b = 1; b <= chosen; ++b) cov[a][b] = (*rows[a])[number[b]];
        }
    }

    void phaselist() {
        if (!x.calcphaselist) x.calcphaselist = std::make_unique<CalcPhaseList>();
        CalcPhaseList& list = *x.calcphaselist;
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        // Entry i as a new record: one made now is one already; one of an earlier layout is
        // made anew.
        auto entry = [&list](int16 i) -> CalcPhase& {
            const bool earlier = i <= list.size();
            CalcPhase& c = list[i];
            if (earlier) c = CalcPhase{};
            return c;
        };
        int16 n = 0;
        for (int m = 1; m <= e; ++m) {
            if (!x.phasestart[m]) continue;
            const ptype1& ph = p1[x.emphase[m]];
            CalcPhase& c = entry(++n);
            c.name = ph.name;
            c.shown = n != lay.xco2fluidphase;
            c.isfluid = ph.isfluid;
            c.isaq = ph.isaq;
            c.solution = true;
            c.index = x.emphase[m];
            c.varpos = x.emvarpos[m];
            c.nem = ph.nem;
            for (int v = 1; v <= ph.nvar; ++v) c.varnames[v] = ph.var[v].name;
            c.nsf = ph.nsf;
            for (int s = 1; s <= ph.nsf; ++s) c.sfnames[s] = ph.sfname[s];
            for (int j = 1; j <= ph.nem; ++j) c.emnames[j] = ph.em[j].name;
        }
        for (int16 j = 1; j <= run.npure; ++j) {
            if (!pureactive(j)) continue;
            const ptype0& ph = p0[j];
            CalcPhase& c = entry(++n);
            c.name = ph.name;
            c.shown = !marked(ph);
            c.index = j;
            c.nem = 1;
            c.emnames[1] = ph.emname;
        }
        x.ncalcphases = n;
    }
};

}  // namespace

void calctdrow(const Dataset& ds, const tdvector& data, int16 nmake, int16 phase, int16 place,
               tdvector& row) {
    // (the values copied as stored, a block at a time, rather than one load and store each)
    if (ds.ds190 || nmake <= 0) {
        std::copy_n(&data[1], 25, &row[1]);
        for (int v = 26; v <= 30; ++v) row[v] = 0;
    } else {
        std::copy_n(&data[1], 3, &row[1]);
        for (int v = 4; v <= 28; ++v) row[v] = 0;
        row[29] = phase;
        row[30] = place;
    }
    row[31] = data[31];
}

void makecrossrefs(Session& ses, Run& run, CrossRefs& xref, const CalcLayoutSettings& lay,
                   const bemvector& phases) {
    CrossRefBuilder b{ses, run, xref, lay, phases, run.dataset};
    b.reset();
    b.solutionphases();
    b.varlimits();
    b.sfchecks();
    b.purephases();
    b.modes();
    xref.xnames[1] = "P(kbar)";
    xref.xnames[2] =
        "T(\xA1"
        "C)";
    xref.xco2fixed = xref.xco2pos != 0 && !xref.xfree[xref.xco2pos];
    if (run.script.calcsdlevel > 0) b.covariance();
    b.phaselist();
}

CalcLoops setuploops(Session& ses, Run& run, CrossRefs& xref, const CalcLayoutSettings& lay) {
    CalcLoops l;
    int16 n = 0;
    auto add = [&](int count) {
        if (++n > maxloops - 2) bomb("setuploops", "too many loops", myfault);
        l.count[n] = narrow16(count);
    };
    for (int p = 3; p <= run.nxvars + run.nmodevars; ++p) {
        if (!xref.xfree[p]) add(lay.nisovalues[xref.xiso[p]]);
    }
    if (lay.modesolved) add(lay.nbulk);
    const Dataset& ds = run.dataset;
    const ScriptSettings& sc = run.script;
    const Windows& w = run.windows;
    // An ln a or mu variable whose end-member is in no reaction leaves the equilibrium alone.
    auto inreactions = [&](int16 em) {
        const rmatrix& r = *run.arrays.r;
        for (int i = 1; i <= run.nreac; ++i) {
            if (r[i][em] != 0) return true;
        }
        return false;
    };
    auto variables = [&](const Fixed1<NamedValue, 40>& names, int16 count, const char* kind,
                         const Fixed1<int16, maxlnamu>& nvalues) {
        for (int i = 1; i <= count; ++i) {
            int16 em = 0;
            if (!posinlist(names[i].name, ds.emnames, ds.nem, em)) continue;
            if (!inreactions(em)) {
                putstr(ses, 0,
                       std::string("equilibrium does not depend on ") + kind + "(" + names[i].name +
                           ")",
                       1, screensummarylogmask);
                add(1);
            } else {
                add(i <= maxlnamu ? nvalues[i] : 1);
            }
        }
    };
    variables(sc.lna, sc.nlna, "a", w.nlnavalues);
    variables(sc.mu, sc.nmu, "mu", w.nmuvalues);
    if (run.variance == 0) {
        add(1);
        add(1);
    } else if (run.variance == 1) {
        switch (w.calcvariable) {
            case calcvariabletype::calcpressure:
                l.count[++n] = 1;
                l.count[++n] = w.ntvalues;
                xref.xfree[2] = false;
                break;
            case calcvariabletype::calctemperature:
                l.count[++n] = w.npvalues;
                l.count[++n] = 1;
                xref.xfree[1] = false;
                break;
            default: bomb("setuploops", "unknown calcvariable", myfault);
        }
    } else {
        l.count[++n] = w.npvalues;
        l.count[++n] = w.ntvalues;
        xref.xfree[1] = false;
        xref.xfree[2] = false;
    }
    l.nloops = n;
    return l;
}

}  // namespace qv
