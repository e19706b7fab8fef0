#include "calibration/calcass.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "calibration/misfits.hpp"
#include "model/special.hpp"
#include "solver/reactionlists.hpp"
#include "solver/reactionsets.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "thermo/equations.hpp"

namespace qv {
namespace {

// A rounded temperature difference or value, K or degrees C.
void addrounded(int w, std::string& line, real x) {
    addgreal(w, line, std::nearbyint(x));
}

// Pressure with 1 decimal, or in general form above 99.9 kbar.
void addpressure(int w, std::string& line, real p, bool general) {
    if (general) {
        addgreal(w, line, p);
    } else {
        addreal(1, true, w, line, p);
    }
}

// The script switches a calculation of an experiment turns off besides its own tables.
struct SavedSwitches {
    Run& run;
    bool pseudoon;
    bool dogminon;
    explicit SavedSwitches(Run& r)
        : run(r), pseudoon(r.script.pseudoon), dogminon(r.script.dogminon) {
        run.script.pseudoon = false;
        run.script.dogminon = false;
    }
    SavedSwitches(const SavedSwitches&) = delete;
    SavedSwitches& operator=(const SavedSwitches&) = delete;
    ~SavedSwitches() {
        run.script.pseudoon = pseudoon;
        run.script.dogminon = dogminon;
    }
};

// The window of the solver: the runs' P and T with room on either side.
struct XpWindow {
    real plow = 0, phigh = 0, tlow = 0, thigh = 0;
};

XpWindow xpwindow(const xprec& e) {
    real pmin = e.br[1].brP, pmax = pmin, tmin = e.br[1].brT, tmax = tmin;
    for (int i = 2; i <= e.nbr; ++i) {
        pmin = std::min(pmin, e.br[i].brP);
        pmax = std::max(pmax, e.br[i].brP);
        tmin = std::min(tmin, e.br[i].brT);
        tmax = std::max(tmax, e.br[i].brT);
    }
    XpWindow w;
    const real d = 11 + 0.05L * (pmin + pmax);
    w.plow = pmin - d < 0 ? 1e-16L : pmin - d;
    w.phigh = pmax + d;
    w.tlow = tmin - 600 < 373 ? 373 : tmin - 600;
    w.thigh = tmax + 600;
    return w;
}

}  // namespace

void printbracket(Session& ses, const Run& run, const Calibration& cal, const NleVariables& v,
                  int16 k, int16 i, int16 mode) {
    const xprec& e = cal.xp[k];
    const brrec& br = e.br[i];
    const brrec* next = i < e.nbr ? &e.br[i + 1] : nullptr;
    const bool nt = next != nullptr && next->tbracket;
    const bool np = next != nullptr && next->pbracket;
    const bool dbl = nt && np;
    const bool ppair = mode == 2 && np && !nt;
    const bool tpair = mode == 2 ? nt : dbl;
    const real pcalc = v.natural(1);
    const real tcalc = v.natural(2);
    std::string line = "     ";

    if (ppair) {
        const brrec& first = e.reversed ? *next : br;
        const brrec& second = e.reversed ? br : *next;
        const bool general = first.brP > 99.9L;
        addpressure(5, line, first.brP, general);
        addpressure(5, line, second.brP, general);
    } else if (mode == 3 && (br.pbracket || np) && !dbl) {
        if (!br.direction) {
            addreal(1, true, 5, line, br.brP);
            addstr("", 5, line);
        } else {
            addstr("", 5, line);
            addreal(1, true, 5, line, br.brP);
        }
    } else {
        addpressure(8, line, br.brP, br.brP > 99.9L);
        addstr("  ", 0, line);
    }

    const real tc = br.brT - 273.15L;
    if (ppair || dbl || (mode == 3 && (br.pbracket || np))) {
        addreal(0, true, 8, line, tc);
        addstr(dbl ? "  " : "   ", 0, line);
    } else {
        // A run that went forward stands on the left, one that went back on the right (the
        // other way round for an experiment turned round); the partner of a T pair opposite.
        const bool right = br.direction != e.reversed;
        std::string left, rightside;
        if (right) {
            addreal(0, true, 6, rightside, tc);
            if (tpair) {
                addreal(0, true, 5, left, next->brT - 273.15L);
            } else {
                addstr("", 5, left);
            }
        } else {
            addreal(0, true, 5, left, tc);
            if (tpair) {
                addreal(0, true, 6, rightside, next->brT - 273.15L);
            } else {
                addstr("", 6, rightside);
            }
        }
        line += left + rightside;
    }

    if (mode == 2) {
        if (ppair) {
            addreal(1, true, 8, line, pcalc);
        } else {
            addrounded(8, line, tcalc - 273.15L);
        }
        if (!dbl) {
            real lo = 0;
            real hi = 0;
            const real calc = ppair ? pcalc : tcalc;
            if (ppair || tpair) {
                const real a = ppair ? br.brP : br.brT;
                const real b = ppair ? next->brP : next->brT;
                lo = std::min(a, b);
                hi = std::max(a, b);
            } else {
                // a run that went forward bounds the equilibrium from below, one that went
                // back from above
                const bool below = br.direction == e.reversed;
                lo = below ? br.brT : -1e30L;
                hi = below ? 1e30L : br.brT;
            }
            if (calc >= lo && calc <= hi) {
                addstr("", 8, line);
            } else {
                const real miss = calc < lo ? calc - lo : calc - hi;
                if (ppair) {
                    addreal(1, true, 8, line, miss);
                } else {
                    addrounded(8, line, miss);
                }
            }
        }
    }
    for (int q = 3; q <= run.nxvars; ++q) addreal(4, true, 10, line, v.natural(narrow16(q)));
    putstr(ses, 0, line, 1, summarylogmask);
}

// Kept whole: set-up, solve and record of one assemblage share the switches it saves.
void calcass(Session& ses, Run& run, Calibration& cal, int16 k, int16 mode, bool print) {
    const SavedSwitches saved(run);
    xprec& e = cal.xp[k];
    Dataset& ds = run.dataset;

    // Every solution phase and every pure phase of the assemblage; constituents of made
    // end-members stay out.
    bemvector phases;
    for (int j = 1; j <= maxem; ++j) phases[j] = false;
    for (int s = 1; s <= run.nss; ++s) phases[s] = true;
    for (int p = 1; p <= run.npure; ++p) phases[run.nss + p] = (*run.arrays.prec0)[p].activity > 0;
    auto xref = std::make_unique<CrossRefs>();
    CalcLayoutSettings lay;
    makecrossrefs(ses, run, *xref, lay, phases);
    setspecialphases(run);
    auto rl = std::make_unique<ReactionLists>();
    iemvector mixweights;
    int16 nsolem = 0;
    for (int s = 1; s <= run.nss; ++s) nsolem = narrow16(nsolem + (*run.arrays.prec1)[s].nem);
    for (int16 j = 1; j <= ds.nem; ++j)
        mixweights[j] = j <= nsolem ? std::max<int16>(1, ds.nsite[j]) : 0;
    calcreactions(ses, CompositionTables{*run.arrays.c, ds.components, ds.emnames, ds.nem},
                  mixweights, false, false, *run.arrays.r, run.nreac, *rl);

    const XpWindow w = e.nbr > 0 ? xpwindow(e) : XpWindow{};
    if (e.nbr > 0) {
        xref->xscale[1] = 1 / (w.phigh - w.plow);
        xref->xoffset[1] = -w.plow * xref->xscale[1];
        xref->xscale[2] = 1 / (w.thigh - w.tlow);
        xref->xoffset[2] = -w.tlow * xref->xscale[2];
        xref->xtol[1] = 0.01L / (w.phigh - w.plow);
        xref->xtol[2] = 0.1L / (w.thigh - w.tlow);
    }

    if (print) {
        std::string line = spaces(6);
        if (run.nreac == 1) {
            addstr(" 1 reaction: ", 0, line);
        } else {
            addgreal(2, line, run.nreac);
            addstr(" reactions:", 0, line);
        }
        for (int j = 1; j <= ds.nem; ++j) addstr(ds.emnames[j], 6, line);
        putstr(ses, 1, line, 1, summarylogmask);
        const rmatrix& r = *run.arrays.r;
        for (int i = 1; i <= run.nreac; ++i) {
            line = spaces(19);
            for (int j = 1; j <= ds.nem; ++j) addgreal(6, line, r[i][j]);
            putstr(ses, 0, line, 1, summarylogmask);
        }
    }
    if (mode == 1) bomb("calcass", "not currently implemented", yourfault);
    if (print) {
        std::string line = "     ";
        addstr("P(kbar)", 10, line);
        addstr(" ", 0, line);
        addstr("T(C)", 7, line);
        addstr("  ", 0, line);
        if (mode == 2) {
            addstr("calc", 9, line);
            addstr("miss", 8, line);
        }
        for (int q = 3; q <= run.nxvars; ++q) addstr(xref->xnames[q], 10, line);
        putstr(ses, 1, line, 1, summarylogmask);
    }

    const GemSettings gs = calibgem(cal);
    auto mb = std::make_unique<MassBalance>();
    auto vars = std::make_unique<NleVariables>();
    NleWorkspace work;  // the solver's matrices, kept from bracket to bracket
    bool armed = false;
    bool counted = false;
    for (int16 i = 1; i <= e.nbr; ++i) {
        brrec& br = e.br[i];
        const brrec* next = i < e.nbr ? &e.br[i + 1] : nullptr;
        const bool closest = br.tbracket;
        const bool closesp = br.pbracket;
        if ((closest && closesp) || (mode == 2 && (closest || closesp))) {
            br.brtcalc = 273.15L;
            br.brpcalc = 0;
            continue;
        }
        const bool pfree = next != nullptr && next->pbracket && !next->tbracket;
        xref->xfree[1] = mode == 2 && pfree;
        xref->xfree[2] = mode == 2 && !pfree;
        nlevariables(*xref, run.nxvars, 0, *run.arrays.prec1, *vars);
        run.windows.pcur = br.brP;
        run.windows.tcur = br.brT;
        vars->xvalue[1] = xref->xfree[1] ? xref->xoffset[1] + br.brP * xref->xscale[1] : br.brP;
        vars->xvalue[2] = xref->xfree[2] ? xref->xoffset[2] + br.brT * xref->xscale[2] : br.brT;
        for (int q = 3; q <= run.nxvars; ++q) {
            vars->xvalue[q] = xref->xoffset[q] + br.xyz[q - 2] * xref->xscale[q];
        }
        NleState nst;
        Equations eq{ses, equationtables(run), gs, *xref, *mb, rl->rdiv, rl->rxnlnk, nst};
        NleStatus st;
        AssemblageEquations eqs(eq, st);
        NleSettings set(run.script);
        int16 code = 0;
        if (nle(ses, eqs, *vars, set, st, work, code)) {
            // The run that closes a pair with this one stands at the same P (or T) of the same
            // univariant equilibrium: its phases have the compositions just solved.
            const bool sharedcomps =
                mode == 2 && next != nullptr && (next->tbracket || next->pbracket);
            for (int16 r = 0; r < e.nreacs; ++r) {
                xprec& rec = cal.xp[k + r];
                rec.br[i].brpcalc = vars->natural(1);
                rec.br[i].brtcalc = vars->natural(2);
                if (!e.unknowncomps) continue;
                for (int q = 3; q <= run.nxvars; ++q) {
                    const real x = vars->natural(narrow16(q));
                    rec.br[i].xyz[q - 2] = x;
                    if (sharedcomps) rec.br[i + 1].xyz[q - 2] = x;
                }
            }
            if (print) printbracket(ses, run, cal, *vars, k, i, mode);
            continue;
        }
        if (!cal.writingresults) {
            const real p = br.brP;
            const std::string ptext =
                std::fabs(p - std::nearbyint(p)) < 1e-10L ? realstr(p) : realfixstr(1, true, p);
            putstr(ses, 0,
                   "===NOT converged=== at {" + ptext + "," + realstr(br.brT - 273.15L) + "}", 1,
                   logmask);
        }
        br.brtcalc = 273.15L;
        br.brpcalc = 0;
        if (!print) continue;
        std::string line = "     ";
        if (mode == 3) {
            addreal(2, true, 10, line, vars->natural(1));
            addrounded(8, line, vars->natural(2) - 273.15L);
        } else if (!pfree) {
            addreal(2, true, 10, line, vars->natural(1));
            addstr("    --  ", 0, line);
        } else {
            addstr("      --  ", 0, line);
            addrounded(8, line, vars->natural(2) - 273.15L);
        }
        addstr("  not converged", 0, line);
        if (e.use && e.unknowncomps && !counted) {
            ++cal.notconvcount;
            counted = true;
            armed = true;
        }
        if (mode == 2) {
            if (!pfree) {
                addstr("  (?not in T window: " + realstr(w.tlow - 273.15L) + " - " +
                           realstr(w.thigh - 273.15L) + ")",
                       0, line);
            } else {
                addstr("  (?not in P window " + realfixstr(1, true, w.plow) + " - " +
                           realfixstr(1, true, w.phigh) + ")",
                       0, line);
            }
        }
        putstr(ses, 0, line, 1, summarylogmask);
    }
    if (armed) {
        ses.console.write("\n" + cal.xpnamestext +
                          "\n\nis a \"not converged\" univariant with "
                          "unknown comps\n\n");
        if (query(ses, "stop to attend to it")) {
            bomb("calcass", "this univariant not converged", yourfault);
        }
    }
}

}  // namespace qv
