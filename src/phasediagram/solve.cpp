#include "phasediagram/solve.hpp"

#include "phasediagram/calculation.hpp"

namespace qv::pdsolve {
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

}  // namespace

void Calculation::step() {
    SolveState& st = *st_;
    ++st.stepno;
    firststep_ = st.stepno == 1;
    npointsinstep_ = 0;
    if (batchon_) {
        dobatch(ses_, run_, pd_, batch(), st.stepno, rc_.firstrun, st.equilphases);
        st.memberbulk = batch().bulkgiven;
        setlayout();
        // A member with its bulk given balances its own components: the relations among them
        // that its phases leave, and whether its bulk can be made of them at all. (A
        // fractionation keeps the system of its start.)
        if (!st.fracton) {
            if (batch().bulkgiven &&
                !calcrankp(ses_, run_, pd_, reducedsystem(pd_.bulk), st.equilphases).ok) {
                good_ = false;
                goodforaccum_ = false;
                return;
            }
            setmassbalances();
        }
    }
    makecrossrefs(ses_, run_, st.xref, lay_, st.equilphases);
    if (yes(sc_.mcdebugcb) && st.stepno == 1) {
        for (int k = 1; k <= run_.nss; ++k) printaxstate(ses_, (*run_.arrays.prec1)[k]);
    }
    setspecialphases(run_);
    if (batchon_ && rc_.firstrun && firststep_ && (sc_.debuglev == 0 || yes(sc_.mcdebugcb))) {
        printequilmath(ses_, run_, batch());
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
    if (st.fracton && good_) fract_afterstep(ses_, run_, st, batch(), *pd_.fract);
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
        goodforaccum_ =
            accumulateresults(ses_, run_, st, mc(), acc(), rc_, st.stepno, npointsinstep_, good_);
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
    if (sc_.calcsdlevel > 0) calcresultsds(ses_, run_, st, *vars_, nst_, sds_, pd_.duda.get());
    if (pd_.onresult) pd_.onresult(st);
    if (pd_.maxvariance == 1 || (pd_.xco2varon && pd_.maxvariance == 2)) {
        st.rxn = std::make_unique<AssemblageReaction>(
            assemblagereaction(run_, st.xref, st.varvalues, st.equilphases, st.cur.runvariance,
                               st.nlestatus.jacsingular));
    }
    printresult(ses_, run_, pd_, st);
    if (yes(sc_.projectioncb)) printprojection(ses_, run_, pd_, st);
    printmorestuff(ses_, run_, pd_, st);
}

// The step loop ends after the last member, at a member whose last point failed (in a Monte
// Carlo run: whose trial was not accepted).
bool Calculation::stepsdone() const {
    if (st_->stepno >= st_->nbatch) return true;
    if (mcon()) return !goodforaccum_;
    if (st_->fracton && st_->stepno >= 2) return false;
    return !good_;
}

// The run loop ends at the trial limit or with the wanted accepted trials; a plain run after
// one pass.
bool Calculation::runsdone() const {
    if (mcon()) {
        // (no accumulation made: its counts are those of a fresh one, both 0)
        return rc_.number() >= sc_.mctrials || !acc_ || acc_->mcsuccesses == acc_->mcwanted;
    }
    if (st_->fracton) {
        const FractRun& fr = *pd_.fract;
        return rc_.irun > fr.settings.maxruns || fr.state.fractstop || (st_->stepno == 1 && !good_);
    }
    return true;
}

// The whole system, each component counted with the atoms of its formula, unless a bulk
// composition reduces it.
void Calculation::setmassbalances() {
    const SystemComponents& comps = run_.dataset.components;
    *mb_ = MassBalance{};
    mb_->nsyscomp = comps.ncomp;
    for (int k = 1; k <= comps.ncomp; ++k) {
        mb_->syscomp[k] = true;
        mb_->compweight[k] = comps.compatoms[k];
        mb_->projc[k][k] = 1;
    }
    setmassbalance(run_, pd_, *mb_);
}

void Calculation::run() {
    gs_ = gemsettings(run_);
    ses_.starttime = ses_.clock.millis();
    setlayout();
    setmassbalances();
    const SystemComponents& comps = run_.dataset.components;
    prectype1& ss = *run_.arrays.prec1;
    for (int k = 1; k <= run_.nss; ++k) {
        for (int e = 1; e <= ss[k].nem; ++e)
            ss[k].em[e].emsize = formulaatoms(ss[k].em[e].comp, comps);
    }
    prectype0& pure = *run_.arrays.prec0;
    for (int j = 1; j <= run_.npure; ++j) pure[j].puresize = formulaatoms(pure[j].comp, comps);

    st_->cur.ah2o = 1;
    batchon_ = yes(sc_.batchcb);
    st_->nbatch = batchon_ ? sc_.nbatch : int16{1};
    if (batchon_) setupbatch(run_, st_->equilphases, batch());
    st_->fracton = yes(sc_.fractionationcb) && pd_.fract != nullptr;
    if (st_->fracton) {
        batch().fracton = true;
        batch().savedprintxyz = yes(sc_.printxyzcb);
        fract_start(ses_, run_, *pd_.fract);
    }
    setupresultsds(run_, pd_, sds_);
    if (pd_.duda) setmineralxyz(run_, *pd_.duda);
    if (yes(sc_.mccb)) {
        setupmontecarlo(ses_, run_, batch(), mc(), acc().filtercode);
        acc().mcwanted = sc_.mcitcount;
        acc().nresultblocks = 0;
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
        } else if (!rc_.firstrun && mcon()) {
            domontecarlo(ses_, run_, *mc_);
        }
        st_->stepno = 0;
        do {
            step();
        } while (!stepsdone());
    } while (!runsdone());

    // (batch members take their guesses from their blocks: the advice about the a-x file's
    // guesses does not apply)
    if (!mcon() && !batchon_ && !st_->fracton) guessadvice(ses_, run_);
    if (acc_ && acc_->mcwanted > 0 && acc_->mcsuccesses == acc_->mcwanted) {
        ses_.console.write("\n" + realstr(acc().mcsuccesses) + " successes in " +
                           realstr(rc_.number()) + " runs.\n");
    }
    if (mcon()) {
        closeresults(ses_, acc());
        if (sc_.debuglev == 0) {
            putstr(ses_, 0, realstr(acc().mcsuccesses), 1, summarymask);
            putstr(ses_, 0, realstr(acc().nresultblocks), 1, vxmask);
        }
        restoremontecarlo(run_, *mc_);
    }
    if (pd_.duda) dudaafterruns(ses_, run_, *pd_.duda, st_->equilphases);
}

}  // namespace qv::pdsolve

namespace qv {

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
    pdsolve::Calculation calc(ses, run, pd, equilphases);
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
