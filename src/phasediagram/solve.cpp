#include "phasediagram/solve.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "model/special.hpp"
#include "model/statetable.hpp"
#include "phasediagram/accumulate.hpp"
#include "phasediagram/batch.hpp"
#include "phasediagram/debyehueckel.hpp"
#include "phasediagram/dogmin.hpp"
#include "phasediagram/fractrun.hpp"
#include "phasediagram/modes.hpp"
#include "phasediagram/montecarlo.hpp"
#include "phasediagram/projection.hpp"
#include "phasediagram/resultsds.hpp"
#include "phasediagram/runchoices.hpp"
#include "script/windows.hpp"
#include "solver/calcq.hpp"
#include "solver/nle.hpp"
#include "solver/reactionlists.hpp"
#include "solver/reactionsets.hpp"
#include "solver/roots.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"
#include "thermo/activities.hpp"
#include "thermo/equations.hpp"
#include "thermo/makes.hpp"
#include "thermo/phaseprops.hpp"
#include "thermo/reactions.hpp"
#include "thermo/settings.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// Atoms in one formula unit of an end-member or pure phase: the basis of the modes.
real formulaatoms(const icvector& comp, const SystemComponents& sc) {
    real s = 0;
    for (int k = 1; k <= sc.ncomp; ++k) {
        if (comp[k] != 0) s += static_cast<real>(comp[k]) / sc.compdenom[k] * sc.compatoms[k];
    }
    return s;
}

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

// The calculation of one candidate: the state that the nested steps share.
class Calculation {
public:
    Calculation(Session& ses, Run& run, PdRun& pd, const bemvector& phases)
        : ses_(ses), run_(run), pd_(pd), sc_(run.script) {
        st_->equilphases = phases;
        st_->xref.calcphaselist = std::make_unique<Fixed1<CalcPhase, maxem>>();
        st_->rl = rl_.get();
        st_->gs = &gs_;
    }
    void run();

private:
    void setlayout();
    void step();
    void point(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter);
    bool stepsdone() const;
    bool runsdone() const;
    int16 cantcalcmsg();
    void setactivities();
    void setx(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter);
    bool donle();
    void extract();
    void postprocess();
    void showprogress();

    Session& ses_;
    Run& run_;
    PdRun& pd_;
    ScriptSettings& sc_;
    std::unique_ptr<SolveState> st_ = std::make_unique<SolveState>();
    std::unique_ptr<ReactionLists> rl_ = std::make_unique<ReactionLists>();
    std::unique_ptr<MassBalance> mb_ = std::make_unique<MassBalance>();
    std::unique_ptr<NleVariables> vars_ = std::make_unique<NleVariables>();
    std::unique_ptr<Fixed1<PhaseProps, maxeq>> props_ =
        std::make_unique<Fixed1<PhaseProps, maxeq>>();
    NleState nst_;
    CalcLayoutSettings lay_;
    GemSettings gs_;
    bool solved_ = false;
    bool passed_ = true;
    bool good_ = false;
    // The run loop (Monte Carlo trials, fractionation steps) and the step loop (batch members).
    RunCounter rc_;
    bool batchon_ = false;
    bool firststep_ = false;
    int16 npointsinstep_ = 0;
    bool goodforaccum_ = false;
    BatchState batch_;
    std::unique_ptr<MonteCarlo> mc_ = std::make_unique<MonteCarlo>();
    // The work tables of a point's phase properties, made at the first point that needs them.
    std::unique_ptr<ActivityDerivatives> postd_;
    std::unique_ptr<SystemProps> sums_;
    Accumulation acc_;
    ResultSds sds_;
    bool modesok_ = false;  // the modes of the point are usable
};

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
    // Clear every slot a result of this point can read, so nothing of the last point shows.
    for (int p = 1; p <= maxresultphases; ++p) {
        res.ph[p].mode.fill(0);
        res.ph[p].stepfactor.fill(0);
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
    if (pd_.modesinsolve) setmodesinsolve(ses_, run_, pd_, *st_, *vars_, *mb_, next);
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
        set.makedeqdx = [&] {
            makedeqdx(ses_, eqs, *vars_, run_.nreac, rl_->rdiv, sds_.bulk, sc_.debuglev, *sds_.der);
        };
    }
    nst_.mcinprogress = mc_->mcon;
    nst_.batchno = batchon_ ? st_->stepno : int16{0};
    auto solveonce = [&] { return nle(ses_, eqs, *vars_, set, st_->nlestatus, st_->calcstatus); };
    // Phases with charged aqueous species: their ionic strength follows the solved composition.
    return debyehueckelsolve(run_, st_->xref, *vars_, solveonce);
}

// Physical values of the solved point into the result.
void Calculation::extract() {
    const CrossRefs& xref = st_->xref;
    const Windows& w = run_.windows;
    eqvector& vv = st_->varvalues;
    for (int16 i = 1; i <= run_.nxvars + run_.nmodevars; ++i) {
        st_->varcalculated[i] = xref.xfree[i];
        vv[i] = vars_->natural(i);
    }
    if (pd_.modesinsolve) normalisemodes(ses_, run_, pd_, *st_, vars_->modephi);
    // A solved P or T outside its window is put just outside it, so the window test fails.
    auto held = [](real v, real low, real high) {
        if (v > high) return high + 1;
        if (v < low) return low - 1;
        return v;
    };
    Result& res = st_->cur;
    res.p = xref.xfree[1] ? held(vv[1], w.pwinlow, w.pwinhigh) : vv[1];
    res.t = xref.xfree[2] ? held(vv[2], w.twinlow, w.twinhigh) : vv[2];

    const Fixed1<CalcPhase, maxem>& list = *xref.calcphaselist;
    const SsResults& ssr = nst_.work->ssresults;
    int16 s = 0;
    int16 nsol = 0;
    int16 m = 0;
    for (int k = 1; k <= xref.ncalcphases; ++k) {
        const CalcPhase& cp = list[k];
        if (++s > maxresultphases) bomb("extract", "too many phases in the result", yourfault);
        ResultPhase& ph = res.ph[s];
        ph.name = cp.name;
        ph.solution = cp.solution;
        ph.shown = cp.shown;
        ph.table = cp.index;
        ph.varpos = cp.varpos;
        ph.nem = cp.nem;
        ph.hasmode = run_.nmodevars > 0 && cp.shown;
        ph.mode[1] = -1;
        if (ph.hasmode) {
            ++m;
            if (pd_.modesinsolve) ph.mode[1] = vv[run_.nxvars + m];
        }
        if (cp.solution) {
            ++nsol;
            for (int v = 1; v <= cp.nem - 1; ++v) ph.x[v] = vv[cp.varpos + v - 1];
            const PhaseActivities& pa = ssr[nsol];
            for (int e = 1; e <= cp.nem; ++e) {
                ph.act[e] = pa.a[e];
                ph.idealact[e] = pa.aideal[e];
                ph.gamma[e] = pa.gamma[e];
            }
        } else {
            ph.act[1] = run_.dataset.emact[run_.dataset.nem - xref.ncalcphases + k];
            ph.idealact[1] = ph.act[1];
            ph.gamma[1] = 1;
        }
    }
    res.nphases = s;
    modesok_ = true;
    if (!pd_.modesinsolve && pd_.modesaftersolve && !calcmodesafternle(ses_, run_, pd_, *st_)) {
        modesok_ = false;
        st_->calcstatus = 8;
    }
    int16 walked = 0;
    for (int k = 1; k <= run_.nss + run_.npure; ++k) {
        if (st_->equilphases[k]) ++walked;
    }
    if (walked != res.nphases) {
        bomb("extract", "number of phases in summary does not match", myfault);
    }
}

// Proportions, site fractions and compositions of the phases of a result that passed, and
// the properties of the phases and of the system.
void Calculation::postprocess() {
    Result& res = st_->cur;
    const prectype1& ss = *run_.arrays.prec1;
    const prectype0& pure = *run_.arrays.prec0;
    const SystemComponents& comps = run_.dataset.components;
    for (int k = 1; k <= res.nphases; ++k) {
        ResultPhase& ph = res.ph[k];
        ph.comp.fill(0);
        if (ph.solution) {
            const ptype1& rec = ss[ph.table];
            for (int e = 1; e <= rec.nem; ++e)
                ph.p[e] = evalexpr(st_->varvalues, ph.varpos, rec.p[e]);
            for (int f = 1; f <= rec.nsf; ++f)
                ph.sf[f] = evalexpr(st_->varvalues, ph.varpos, rec.sf[f]);
            calcphasecomp(rec, st_->varvalues, ph.varpos, comps, ph.comp);
        } else {
            ph.p[1] = 1;
            for (int c = 1; c <= comps.ncomp; ++c) {
                ph.comp[c] = static_cast<real>(pure[ph.table].comp[c]) / comps.compdenom[c];
            }
        }
    }
    // Properties of the phases; the system sums need modes.
    // Made once for the calculation: each is 0.7 MB, and setting them up afresh cost more than
    // the rest of a grid point. The activities below form no derivatives, so `d` is not read.
    if (!postd_) postd_ = std::make_unique<ActivityDerivatives>();
    if (!sums_) sums_ = std::make_unique<SystemProps>();
    ActivityDerivatives* d = postd_.get();
    const CalcaTables ct = calcatables(run_, st_->xref);
    SsResults* ssr = &nst_.work->ssresults;
    ActivityFn activities = [&](const eqvector& x, real p, real t, emvector& a) {
        emvector sd;
        CalcaOut out{a, sd, *ssr};
        calca(ses_, ct, x, false, false, *d, out, p, t);
    };
    const PhaseEmTables tab{run_, mb_->syscomp, st_->xref, *run_.arrays.td, gs_, activities};
    for (int k = 1; k <= res.nphases; ++k) (*props_)[k].comp = res.ph[k].comp;
    // The sums are formed only with modes (the same test `modestepfactors` makes): only then is
    // the table cleared, so nothing of an earlier point shows in them.
    const bool withsums = sc_.pseudoon && res.nmodesteps > 0;
    SystemProps* sums = sums_.get();
    if (withsums) clear_sums(*sums);
    modestepfactors(run_, pd_, *st_, *props_, *sums);
    calcgphase(ses_, tab, st_->equilphases, st_->varvalues, res.p, res.t, run_.xco2cur,
               run_.xh2ocur, *props_, withsums ? sums : nullptr);
    for (int k = 1; k <= res.nphases; ++k) res.ph[k].props = (*props_)[k];
    res.g = 0;
    if (withsums) {
        copy_sums(res.sys, *sums);
        res.g = sums->g[1];
    }
}

void Calculation::showprogress() {
    int16& count = st_->progresscount;
    ++count;
    if (count % 80 == 0) {
        putstr(ses_, 0, "", 1, screenlogmask);
        count = 1;
    }
    // (the duDA+ switch, which would silence the marks, is not read by the script reader)
    putstr(ses_, 0, realstr(st_->calcstatus), 0, screenlogmask);
}

void Calculation::step() {
    SolveState& st = *st_;
    ++st.stepno;
    firststep_ = st.stepno == 1;
    npointsinstep_ = 0;
    if (batchon_) {
        dobatch(ses_, run_, pd_, batch_, st.stepno, rc_.firstrun, st.equilphases);
        setlayout();
    }
    makecrossrefs(ses_, run_, st.xref, lay_, st.equilphases);
    if (yes(sc_.mcdebugcb) && st.stepno == 1) {
        for (int k = 1; k <= run_.nss; ++k) printaxstate(ses_, (*run_.arrays.prec1)[k]);
    }
    setspecialphases(run_);
    if (batchon_ && rc_.firstrun && firststep_ && (sc_.debuglev == 0 || yes(sc_.mcdebugcb))) {
        printequilmath(ses_, run_, batch_);
    }
    const bool banner = sc_.dogminon ? sc_.dogminlevel == 2 : sc_.debuglev > 0;
    if (banner) printstep(ses_, run_, pd_, st);
    // The reactions among the end-members of the calculation.
    Dataset& ds = run_.dataset;
    iemvector mixweights;
    int16 nsolem = 0;
    for (int k = 1; k <= run_.nss; ++k) {
        if (st.equilphases[k]) nsolem = narrow16(nsolem + (*run_.arrays.prec1)[k].nem);
    }
    for (int16 j = 1; j <= ds.nem; ++j)
        mixweights[j] = j <= nsolem ? std::max<int16>(1, ds.nsite[j]) : 0;
    calcreactions(ses_, CompositionTables{*run_.arrays.c, ds.components, ds.emnames, ds.nem},
                  mixweights, sc_.dogminon, yes(sc_.incnlercb), *run_.arrays.r, run_.nreac, *rl_);
    const int16 cantcalc = cantcalcmsg();
    good_ = false;
    goodforaccum_ = false;
    if (cantcalc >= 2) return;

    setactivities();
    st.ngood = 0;
    passed_ = true;
    st.progresscount = 0;
    st.repeatheader = true;
    if (banner) putstr(ses_, 0, "", 1, screenlogmask);
    const CalcLoops loops = setuploops(ses_, run_, st.xref, lay_);
    nlevariables(st.xref, run_.nxvars, run_.nmodevars, *run_.arrays.prec1, *vars_);
    ++pd_.equilno;
    // The grid: a mixed-radix counter whose last digit (T) runs fastest.
    Fixed1<int16, maxloops> counter{};
    bool more = true;
    for (int i = 1; i <= loops.nloops; ++i) {
        counter[i] = 1;
        if (loops.count[i] < 1) more = false;
    }
    while (more) {
        point(loops, counter);
        // The next point.
        int i = loops.nloops;
        while (i >= 1 && counter[i] >= loops.count[i]) counter[i--] = 1;
        if (i < 1) {
            more = false;
        } else {
            ++counter[i];
        }
    }
    if (sc_.debuglev != 0 && st.ngood == 0 && (!sc_.dogminon || sc_.dogminlevel > 1)) {
        if (st.progresscount > 0) {
            putstr(ses_, 0, "", 1, screenlogmask);
            st.progresscount = 0;
        }
        putstr(ses_, 0, passed_ ? "<== nothing found ==>" : "<== nothing in range ==>", 1,
               screensummarylogmask);
    } else if (st.progresscount > 0) {
        putstr(ses_, 0, "", 1, screenlogmask);
        st.progresscount = 0;
    }
    if (st.fracton && good_) fract_afterstep(ses_, run_, st, batch_, *pd_.fract);
}

// One point of the grid: its guesses, the solve, the tests and where the result goes.
void Calculation::point(const CalcLoops& loops, const Fixed1<int16, maxloops>& counter) {
    SolveState& st = *st_;
    ++npointsinstep_;
    setx(loops, counter);
    passed_ = true;
    solved_ = true;
    st.calcstatus = 0;
    // A single reaction with no composition unknown would be solved directly; the solution
    // vector always holds P and T, so every line goes through the Newton solver.
    const bool nounknowns = pd_.variance == 2 && run_.nxvars - 2 + run_.nmodevars == 0;
    if (!nounknowns && pd_.variance == 1 && run_.nxvars == 1 && run_.nmodevars == 0) {
        solved_ = simplecalc(ses_, run_, gs_, st.cur);
        st.calcstatus = 0;
    } else if (!nounknowns) {
        solved_ = donle();
    }
    st.cur.g = 0;
    modesok_ = false;
    if (solved_) {
        extract();
        const Windows& w = run_.windows;
        if (st.xref.xfree[1]) passed_ = inrange(w, findtype::findp, st.cur.p);
        if (passed_ && st.xref.xfree[2]) passed_ = inrange(w, findtype::findt, st.cur.t);
        if (!yes(sc_.c8cb) && passed_ && pd_.modesinsolve) {
            for (int i = run_.nxvars + 1; i <= run_.nxvars + run_.nmodevars; ++i) {
                if (st.varvalues[i] < 0 || st.varvalues[i] > 1) {
                    passed_ = false;
                    st.calcstatus = 8;
                    modesok_ = false;
                    break;
                }
            }
        }
        if (passed_) postprocess();
    } else {
        passed_ = false;
    }
    good_ = solved_ && passed_;
    if (good_) {
        st.repeatheader = sc_.debuglev >= 2 || pd_.modesinsolve || st.cur.nmodesteps > 0 ||
                          yes(sc_.projectioncb) || yes(sc_.calcmucb) || yes(sc_.convliqcb);
        ++st.ngood;
    }
    goodforaccum_ = good_;
    // A batch or Monte Carlo run collects each point once; at debug level 0 nothing else is
    // printed of it.
    const bool accumulate = batchon_ && (yes(sc_.mcdebugcb) || sc_.debuglev == 0);
    if (accumulate) {
        accumulateresults(ses_, run_, st, *mc_, acc_, rc_, st.stepno, npointsinstep_,
                          goodforaccum_);
    }
    if (batchon_ && sc_.debuglev == 0) return;
    if (sc_.dogminon) {
        // A minimisation keeps the point's result for its report instead of printing it.
        if (good_ && pd_.onresult) pd_.onresult(st);
        dogminpoint(ses_, run_, pd_, st, DogminCall{npointsinstep_, good_, modesok_});
        return;
    }
    if (!good_) {
        showprogress();
        return;
    }
    if (sc_.calcsdlevel > 0) calcresultsds(ses_, run_, st, *vars_, nst_, sds_);
    if (pd_.onresult) pd_.onresult(st);
    if (pd_.maxvariance == 1 || (pd_.xco2varon && pd_.maxvariance == 2)) {
        st.rxn = assemblagereaction(run_, st.xref, st.varvalues, st.equilphases, st.cur.runvariance,
                                    st.nlestatus.jacsingular);
    }
    printresult(ses_, run_, pd_, st);
    if (yes(sc_.projectioncb)) printprojection(ses_, run_, pd_, st);
    printmorestuff(ses_, run_, pd_, st);
}

// The step loop ends after the last member, at a member whose last point failed (in a Monte
// Carlo run: whose trial was not accepted).
bool Calculation::stepsdone() const {
    if (st_->stepno >= st_->nbatch) return true;
    if (mc_->mcon) return !goodforaccum_;
    if (st_->fracton && st_->stepno >= 2) return false;
    return !good_;
}

// The run loop ends at the trial limit or with the wanted accepted trials; a plain run after
// one pass.
bool Calculation::runsdone() const {
    if (mc_->mcon) {
        return rc_.number() >= sc_.mctrials || acc_.mcsuccesses == acc_.mcwanted;
    }
    if (st_->fracton) {
        const FractRun& fr = *pd_.fract;
        return rc_.irun > fr.settings.maxruns || fr.state.fractstop || (st_->stepno == 1 && !good_);
    }
    return true;
}

void Calculation::run() {
    gs_ = gemsettings(run_);
    ses_.starttime = ses_.clock.millis();
    setlayout();
    // The whole system: each component counts with the atoms of its formula.
    const SystemComponents& comps = run_.dataset.components;
    mb_->nsyscomp = comps.ncomp;
    for (int k = 1; k <= comps.ncomp; ++k) {
        mb_->syscomp[k] = true;
        mb_->compweight[k] = comps.compatoms[k];
        mb_->projc[k][k] = 1;
    }
    setmassbalance(run_, pd_, *mb_);
    prectype1& ss = *run_.arrays.prec1;
    for (int k = 1; k <= run_.nss; ++k) {
        for (int e = 1; e <= ss[k].nem; ++e)
            ss[k].em[e].emsize = formulaatoms(ss[k].em[e].comp, comps);
    }
    prectype0& pure = *run_.arrays.prec0;
    for (int j = 1; j <= run_.npure; ++j) pure[j].puresize = formulaatoms(pure[j].comp, comps);

    st_->cur.ah2o = 1;
    mc_->mcon = false;
    batchon_ = yes(sc_.batchcb);
    st_->nbatch = batchon_ ? sc_.nbatch : int16{1};
    if (batchon_) setupbatch(run_, st_->equilphases, batch_);
    st_->fracton = yes(sc_.fractionationcb) && pd_.fract != nullptr;
    if (st_->fracton) {
        batch_.fracton = true;
        batch_.savedprintxyz = yes(sc_.printxyzcb);
        fract_start(ses_, run_, *pd_.fract);
    }
    setupresultsds(run_, pd_, sds_);
    if (yes(sc_.mccb)) {
        setupmontecarlo(ses_, run_, batch_, *mc_, acc_.filtercode);
        acc_.mcwanted = sc_.mcitcount;
        acc_.nresultblocks = 0;
    }
    rc_ = RunCounter{};
    do {
        if (++rc_.irun == 10000) {
            rc_.irun = 0;
            ++rc_.irunblock;
        }
        rc_.firstrun = rc_.irunblock == 0 && rc_.irun == 1;
        if (!rc_.firstrun && st_->fracton) {
            fract_nextstep(ses_, run_, *pd_.fract);
        } else if (!rc_.firstrun && mc_->mcon) {
            domontecarlo(ses_, run_, *mc_);
        }
        st_->stepno = 0;
        do {
            step();
        } while (!stepsdone());
    } while (!runsdone());

    // (batch members take their guesses from their blocks: the advice about the a-x file's
    // guesses does not apply)
    if (!mc_->mcon && !batchon_ && !st_->fracton) guessadvice(ses_, run_);
    if (acc_.mcwanted > 0 && acc_.mcsuccesses == acc_.mcwanted) {
        ses_.console.write("\n" + realstr(acc_.mcsuccesses) + " successes in " +
                           realstr(rc_.number()) + " runs.\n");
    }
    if (mc_->mcon) {
        closeresults(ses_, acc_);
        if (sc_.debuglev == 0) {
            putstr(ses_, 0, realstr(acc_.mcsuccesses), 1, summarymask);
            putstr(ses_, 0, realstr(acc_.nresultblocks), 1, vxmask);
        }
        restoremontecarlo(run_, *mc_);
    }
}

}  // namespace

// One reaction solved directly for the calculated P (or T) at the point's T (or P), with the
// fluid of a run whose fluid is absent or a single species.
bool simplecalc(Session& ses, Run& run, const GemSettings& gs, Result& res) {
    real u = 0;
    real v = 0;
    switch (run.runftype) {
        case ftype::absent: break;
        case ftype::h2o: v = 1; break;
        case ftype::co2: u = 1; break;
        case ftype::several:
        case ftype::h2oco2:
        case ftype::h2oaq:
        case ftype::h2oco2aq: bomb("simplecalc", "not simple?", myfault);
        default: bomb("simplecalc", "unknown fluidtype", yourfault);
    }
    Dataset& ds = run.dataset;
    ReactionTables tab{*run.arrays.td,
                       ds.emnames,
                       phasemakes(*run.arrays.prec0, *run.arrays.prec1),
                       ds.nem,
                       ds.emact,
                       run.special.h2oem,
                       run.special.co2em,
                       run.special.aqsiem};
    ReactionEval ev{ses, gs, tab, *run.arrays.r, run.windows};
    Windows& w = run.windows;
    bool ok = false;
    switch (w.calcvariable) {
        case calcvariabletype::calcpressure: {
            const real p = findrxnp(ev, 1, false, w.pcur, w.tcur, u, v).x1;
            res.p = p;
            res.t = w.tcur;
            ok = inrange(w, findtype::findp, p);
            break;
        }
        case calcvariabletype::calctemperature: {
            const real t = findrxnt(ev, 1, false, w.tcur, w.pcur, u, v).x1;
            res.p = w.pcur;
            res.t = t;
            ok = inrange(w, findtype::findt, t);
            break;
        }
        default: bomb("calc", "unknown calcvariable", myfault);
    }
    return ok;
}

void solverptscaling(Run& run, CalcLayoutSettings& lay) {
    Windows& w = run.windows;
    PTScaling& s = w.scaling;
    const real widen = 1 + 0.5L * 0.075L * (w.pwinlow + w.pwinhigh);
    const real plow = std::max(w.pwinlow - widen, s.pminimum);
    const real phigh = std::min(w.pwinhigh + widen, pmaxlimit);
    s.pscale = 1 / (phigh - plow);
    s.poffset = -plow * s.pscale;
    lay.psmallstep = 0.01L / (phigh - plow);
    const real tlow = std::max(w.twinlow - 75.0L, tminlimit);
    const real thigh = std::min(w.twinhigh + 75.0L, tmaxlimit);
    s.tscale = 1 / (thigh - tlow);
    s.toffset = -tlow * s.tscale;
    lay.tsmallstep = 0.1L / (thigh - tlow);
}

void solve(Session& ses, Run& run, PdRun& pd, const bemvector& equilphases) {
    Calculation calc(ses, run, pd, equilphases);
    calc.run();
}

Fixed1<real, maxeq> setmodeguess(Session& ses, const Fixed1<real, maxeq>& guess,
                                 const Fixed1<bool, maxeq>& given, int16 nmodevars,
                                 const Fixed1<std::string, maxeq>& names) {
    Fixed1<real, maxeq> m = guess;
    if (nmodevars == 1) {
        m[1] = 1;
        return m;
    }
    real sg = 0;
    int16 n = 0;
    real sf = 0;
    bool anygiven = false;
    for (int k = 1; k <= nmodevars; ++k) {
        if (!given[k] && guess[k] > 0) sg += guess[k];
        if (given[k] || guess[k] > 0) {
            ++n;
            sf += guess[k];
        }
        anygiven = anygiven || given[k];
    }
    bool fill = n == 0;
    if (n == 0) sf = 0;
    if (n == nmodevars) {
        if (sg > 0) {
            for (int k = 1; k <= nmodevars; ++k) {
                if (!given[k]) m[k] *= 1 + (1 - sf) / sg;
            }
        }
        // Sums of set modes are compared with a tolerance: isopleth values are decimal inputs.
        if (anygiven && std::fabs(sf - 1) > 1e-8L) {
            bomb("setmodeguess", "mode isopleths not sum to 1", yourfault);
        }
    } else if (n > 0 && sf >= 1) {
        const real target = 1 - 0.01L * (nmodevars - n);
        if (anygiven) bomb("setmodeguess", "mode isopleths sum to >1", yourfault);
        if (sg > 0) {
            for (int k = 1; k <= nmodevars; ++k) {
                if (!given[k] && guess[k] > 0) m[k] *= target / sg;
            }
        }
        sf = target;
        fill = true;
    } else if (n > 0) {
        fill = true;
    }
    if (fill) {
        const int16 u = narrow16(nmodevars - n);
        int16 c = 0;
        for (int k = 1; k <= nmodevars; ++k) {
            if (given[k] || guess[k] > 0) continue;
            ++c;
            m[k] = u == 1 ? 1 - sf
                          : (1 - sf) *
                                ((2.0L * (c - 1) / (u - 1) - 1) / (5.0L * nmodevars) + 1.0L / u);
        }
    }
    real sum = 0;
    for (int k = 1; k <= nmodevars; ++k) sum += m[k];
    if (std::fabs(sum - 1) > 1e-5L) {
        std::string line = "mode setup problem: sum = ";
        addreal(4, false, 10, line, sum);
        ses.console.write(line + "\n\nmode guesses: \n");
        for (int k = 1; k <= nmodevars; ++k) {
            line.clear();
            addstr(names[k], 7, line);
            addreal(5, false, 10, line, m[k]);
            ses.console.write(line + "\n");
        }
        bomb("mode guess subs", "don't sum to 1", yourfault);
    }
    return m;
}

}  // namespace qv
