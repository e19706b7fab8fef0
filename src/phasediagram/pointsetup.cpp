#include <cstring>

#include "phasediagram/calculation.hpp"

namespace qv::pdsolve {
namespace {

// True when expression e reads composition variable v of its phase.
bool dependson(const termtype& e, int v) {
    for (int t = 1; t <= e.nsxterms; ++t) {
        const sxtermtype& term = e.sxterm[t];
        for (int f = 1; f <= term.nxterms; ++f) {
            const xtermtype& x = term.xterm[f];
            for (int j = 1; j <= x.nx; ++j) {
                if (x.idx[j] == v && x.num[j] != 0) return true;
            }
        }
    }
    return false;
}

// Sets every entry of `v` to 0 in one pass over its storage (all bits clear is +0).
template <int N>
void zero(Fixed1<real, N>& v) {
    std::memset(v.a.data(), 0, sizeof v.a);
}

}  // namespace

void Calculation::setlayout() {
    lay_.modesolved = pd_.modesinsolve;
    lay_.modelisted = pd_.modesaftersolve;
    solverptscaling(run_, lay_);
    lay_.xco2fluidphase = pd_.xco2fluidphase;
    for (int k = 1; k <= maxisopleths; ++k) lay_.nisovalues[k] = pd_.iso.nvalues[k];
    lay_.nbulk = std::max<int16>(1, pd_.nbulk);
}

// Marks why a candidate cannot be calculated: 1 no reactions (calculated all the same),
// 2 degenerate, a calculated composition variable that no reaction reaches.
int16 Calculation::cantcalcmsg() {
    int16 code = 0;
    const Dataset& ds = run_.dataset;
    const rmatrix& r = *run_.arrays.r;
    const prectype1& ss = *run_.arrays.prec1;
    const CrossRefs& xref = st_->xref;
    if (run_.nreac == 0) {
        code = 1;
    } else {
        Fixed1<bool, maxreac> touched{};
        Fixed1<bool, maxeq> reached{};
        int16 phase = 0;
        int16 varpos = 0;
        int16 first = 0;
        for (int16 k = 1; k <= ds.nem; ++k) {
            if (xref.phasestart[k]) {
                phase = xref.emphase[k];
                varpos = xref.emvarpos[k];
                first = k;
            }
            if (phase == 0) break;  // the pure phases follow the solution end-members
            const ptype1& ph = ss[phase];
            if (k - first + 1 > ph.nem) break;
            bool inreaction = false;
            for (int i = 1; i <= run_.nreac; ++i) {
                if (r[i][k] != 0) {
                    touched[i] = true;
                    inreaction = true;
                }
            }
            if (!inreaction) continue;
            // Every variable that enters a site fraction of the phase reaches its activities.
            for (int s = 1; s <= ph.nsf; ++s) {
                const termtype& e = ph.sf[s];
                for (int v = 1; v <= ph.nvar; ++v) {
                    if (dependson(e, v)) reached[varpos + v - 1] = true;
                }
            }
        }
        bool ok = true;
        for (int i = 3; i <= run_.nxvars; ++i) {
            if (xref.xfree[i] && !reached[i]) ok = false;
        }
        if (ok) {
            int16 untouched = 0;
            for (int i = 1; i <= run_.nreac; ++i) {
                if (!touched[i]) ++untouched;
            }
            ok = untouched <= 2 - pd_.variance;
        }
        if (pd_.modesinsolve) ok = true;
        if (!ok) code = 2;
    }
    if (st_->fracton) code = 0;
    const bool dogmin = sc_.dogminon;
    if (code == 1) {
        if (!dogmin) {
            if (sc_.debuglev == 0) {
                ses_.console.write("#");
            } else {
                putstr(ses_, 0, "  cannot calculate this equilibrium (no reactions)", 1,
                       screensummarylogmask);
            }
        } else if (sc_.dogminlevel > 1) {
            putstr(ses_, 0, "  cannot calculate this equilibrium (no reactions)", 1, logmask);
        }
    } else if (code == 2) {
        if (!dogmin) {
            if (sc_.debuglev == 0) {
                ses_.console.write("@");
            } else {
                putstr(ses_, 0, "  cannot calculate this equilibrium (degenerate?)", 1,
                       screensummarylogmask);
            }
        } else if (sc_.dogminlevel > 1) {
            putstr(ses_, 0, "  cannot calculate this equilibrium (degenerate)", 1, logmask);
        }
    }
    return code;
}

// Activities of the calculation's end-members before the solve: 1 for solution end-members, the
// fixed activity of each pure phase.
void Calculation::setactivities() {
    Dataset& ds = run_.dataset;
    const prectype1& ss = *run_.arrays.prec1;
    const prectype0& pure = *run_.arrays.prec0;
    int16 slot = 0;
    for (int k = 1; k <= run_.nss; ++k) {
        if (!st_->equilphases[k]) continue;
        for (int j = 1; j <= ss[k].nem; ++j) {
            ++slot;
            ds.emact[slot] = 1;
            ds.emsda[slot] = 0;
        }
    }
    for (int j = 1; j <= run_.npure; ++j) {
        if (!st_->equilphases[run_.nss + j]) continue;
        ++slot;
        ds.emact[slot] = pure[j].activity;
        ds.emsda[slot] = pure[j].activitysd;
    }
}

// The given values and starting guesses of one point of the grid.
void Calculation::setx(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter) {
    Result& res = st_->cur;
    CrossRefs& xref = st_->xref;
    prectype1& ss = *run_.arrays.prec1;
    const SystemComponents& comps = run_.dataset.components;
    // Clear every slot a result of this point can read, so nothing of the last point shows (the
    // phases not made yet read as zeros).
    for (int p = 1; p <= res.ph.size(); ++p) {
        zero(res.ph[p].mode);
        zero(res.ph[p].stepfactor);
    }
    res.g = 0;
    clear_sums(res.sys);
    res.nmodesteps = pd_.modesinsolve ? 1 : 0;
    res.firstmodestep = res.nmodesteps;
    res.ncomp = comps.ncomp;
    res.nbulkcomp = 0;
    for (int k = 1; k <= comps.ncomp; ++k) {
        res.compnames[k] = comps.compnames[k];
        res.compused[k] = run_.compkept[k];
        if (res.compused[k]) ++res.nbulkcomp;
    }
    res.variance = pd_.variance;
    res.runvariance = sc_.dogminon ? pd_.variance : pd_.maxvariance;

    int16 digit = 0;
    auto next = [&] {
        if (++digit > loops.nloops) bomb("setx", "loop counter overrun", myfault);
        return counter[digit];
    };
    // Isopleth values of the given composition variables (and given modes, which follow).
    for (int16 k = 1; k <= run_.dataset.nem; ++k) {
        if (!xref.phasestart[k]) continue;
        ptype1& ph = ss[xref.emphase[k]];
        const int16 pos = xref.emvarpos[k];
        for (int v = 1; v <= ph.nvar; ++v) {
            if (xref.xfree[pos + v - 1]) continue;
            const int16 row = xref.xiso[pos + v - 1];
            ph.var[v].guess = pd_.iso.values[row][next()];
        }
    }
    // Order variables of phases whose other variables are held at isopleth values.
    for (int16 k = 1; k <= run_.dataset.nem; ++k) {
        if (!xref.phasestart[k]) continue;
        const int16 iph = xref.emphase[k];
        ptype1& ph = ss[iph];
        if (!ph.hasorder) continue;
        const int16 pos = xref.emvarpos[k];
        bool repair = false;
        for (int v = 1; v <= ph.nvar && !repair; ++v) {
            if (xref.xfree[pos + v - 1]) continue;
            if (ph.var[v].isorder) {
                if (!legalcomp(ph)) {
                    bomb("setx", "illegal starting guess in isopleth-ing Q in " + ph.name,
                         yourfault);
                }
            } else if (!legalcomp(ph)) {
                repair = true;
            }
        }
        if (!repair) continue;
        bool random = false;
        const bool found =
            findlegalq(ses_, run_, iph, false, random, run_.windows.pcur, run_.windows.tcur);
        if (random) {
            putstr(ses_, 0,
                   "illegal Q starting guess in isopleth-ing involving " + ph.name +
                       ": random value used",
                   1, screensummarylogmask);
        } else if (!found) {
            bomb("setx", "cannot find legal Q for isopleth in " + ph.name, yourfault);
        }
    }
    // Starting guesses of the composition variables.
    eqvector& x = vars_->xvalue;
    for (int16 k = 1; k <= run_.dataset.nem; ++k) {
        if (!xref.phasestart[k]) continue;
        const ptype1& ph = ss[xref.emphase[k]];
        const int16 pos = xref.emvarpos[k];
        for (int v = 1; v <= ph.nvar; ++v) {
            const int i = pos + v - 1;
            const real g = ph.var[v].guess;
            x[i] = xref.xfree[i] ? xref.xoffset[i] + g * xref.xscale[i] : g;
        }
    }
    res.nbulk = pd_.nbulk;
    res.bulkposition = 0;
    if (!pd_.modesinsolve && pd_.modesaftersolve) {
        run_.nmodevars = 0;
        res.bulkstep = 1;
        setbulksteps(pd_, res);
    }
    if (pd_.modesinsolve) {
        // (the x(CO2) of a duDA+ run's fluid is the value of the first loop)
        const real fluidx = pd_.duda && loops.nloops > 0 ? run_.windows.xvalues[counter[1]] : 0;
        setmodesinsolve(ses_, run_, pd_, *st_, *vars_, *mb_, next, fluidx);
    }
    // Fixed ln a: the entropy of the end-member carries - R ln a.
    const Dataset& ds = run_.dataset;
    tdmatrix& td = *run_.arrays.td;
    for (int i = 1; i <= sc_.nlna; ++i) {
        const int16 d = next();
        const real v = i <= maxlnamu ? run_.windows.lnavalues[i][d] : sc_.lna[i].value;
        int16 em = 0;
        if (!posinlist(sc_.lna[i].name, ds.emnames, ds.nem, em)) {
            bomb("setx", "lna name not recognised", yourfault);
        }
        td[em][2] = run_.excess.lnaref[std::min(i, 6)] - 0.0083144L * v;
        res.lna[i] = v;
    }
    // Named chemical potentials: the last end-members of the calculation.
    for (int i = 1; i <= sc_.nmu; ++i) {
        const int16 d = next();
        const real v = i <= maxlnamu ? run_.windows.muvalues[i][d] : sc_.mu[i].value;
        td[ds.nem - sc_.nmu + i][1] = v;
    }
    const Windows& w = run_.windows;
    const real p = w.pvalues[next()];
    run_.windows.pcur = p;
    x[1] = xref.xfree[1] ? p * xref.xscale[1] + xref.xoffset[1] : p;
    const real t = w.tvalues[next()];
    run_.windows.tcur = t;
    x[2] = xref.xfree[2] ? t * xref.xscale[2] + xref.xoffset[2] : t;
}

bool Calculation::donle() {
    Equations eq{ses_, equationtables(run_), gs_, st_->xref, *mb_, rl_->rdiv, rl_->rxnlnk, nst_};
    AssemblageEquations eqs(eq, st_->nlestatus);
    NleSettings set(sc_);
    if (sc_.calcsdlevel > 0) {
        setpointbulk(*mb_, sds_);
        set.makedeqdx = [&] {
            makedeqdx(ses_, eqs, *vars_, run_.nreac, rl_->rdiv, sds_.bulk, sc_.debuglev, *sds_.der);
        };
    }
    nst_.mcinprogress = mcon();
    nst_.batchno = batchon_ ? st_->stepno : int16{0};
    auto solveonce = [&] {
        return nle(ses_, eqs, *vars_, set, st_->nlestatus, nlework_, st_->calcstatus);
    };
    // Phases with charged aqueous species: their ionic strength follows the solved composition.
    return debyehueckelsolve(run_, st_->xref, *vars_, solveonce);
}

}  // namespace qv::pdsolve
