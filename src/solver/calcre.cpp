#include "solver/calcre.hpp"

#include <cmath>
#include <limits>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/combinations.hpp"
#include "numerics/intmath.hpp"
#include "solver/calcresearch.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

bool ReactionSearchState::reactions(int16 size, const ComponentFlags& cf, const PhaseFlags& pf,
                                    iemvector& combo, PhaseFlags& cflags, bool rock) {
    const int16 k = narrow16(sysrank + 1);
    startcombination(combo, k);
    bool more = true;
    bool done = false;
    while (!done) {
        if (rock && sysfound >= sysmax) break;
        nextcombination(combo, k, nsysphases, more);
        if (!more) break;
        restrict(combo, k, pf, cflags);
        if (excludedby(cflags, true)) continue;
        if (rock && sysfound == sysfoundstart && !sysprinted) printsystem();
        ++combinations;
        re(size, cf, pf, cflags);
        if (rock) {
            done = nreac == maxreacs;
            if (combinations == 400 && nreac == 0) {
                done = query(ses, "not much progress : exitt");
            }
        } else {
            if (nreac == maxreac) removeexcluded(false);
            reacfull = nreac == maxreac;
            done = reacfull;
        }
    }
    return done;
}

void ReactionSearchState::guard(const char* first, const char* second) {
    putstr(ses, 1, first, 1, screenlogmask);
    putstr(ses, 0, second, 1, screenlogmask);
}

bool ReactionSearchState::run() {
    if (use == SearchUse::unset) {
        bomb("calcre", "mode 1 sent to the wrong place", myfault);
    }
    const bool rock = use == SearchUse::rockaverages;
    flatwindow = false;
    if (rock) {
        putstr(ses, 0, "reactions : ", 0, screenlogmask);
        putstr(ses, 0, "", 1, screenlogmask);
        PhaseFlags all;
        nsysphases = 0;
        for (int16 p = 1; p <= nrxem; ++p) {
            all[p] = !excludedphase(p);
            if (all[p]) ++nsysphases;
        }
        sysrank = rankofphases(all);
        maxreacs = narrow16(nsysphases - sysrank);
        printcmatrix(ses, s.ct);
        const Windows& w = s.ev.w;
        if (s.rockavtype == avtype::avpmode) {
            flatwindow = std::fabs(s.cur.tcur - w.twinlow) < 0.1L;
        } else if (s.rockavtype == avtype::avtmode) {
            flatwindow = std::fabs(s.cur.pcur - w.pwinlow) < 0.01L;
        } else {
            flatwindow = true;
        }
    }
    reacfull = false;
    intfull = false;
    sysfound = 0;
    nreac = 0;
    rl.nrphasesets = 0;
    rl.nintersect = 0;
    combinations = 0;
    if (nucomp < 1) {
        guard("no reactions in a system with no components?!", "should not have got to here...");
        return false;
    }
    bool done = false;
    iemvector comps, combo;
    ComponentFlags cf;
    PhaseFlags pf, cflags;
    for (int16 size = 1; size <= nucomp && !done; ++size) {
        startcombination(comps, size);
        bool more = true;
        while (!done) {
            nextcombination(comps, size, nucomp, more);
            if (!more) break;
            nsysphases = phasesinsystem(comps, size, cf, pf);
            if (nsysphases <= 1) continue;
            sysrank = rankofphases(pf);
            if (sysrank + 1 > nsysphases) continue;
            if (rock && !calclnir(pf, size)) continue;
            sysprinted = false;
            if (nsysphases < 2 || sysrank < 1) {
                guard("no reactions with less than 2 phases?!",
                      "REALLY should not have got to here...");
            } else {
                done = reactions(size, cf, pf, combo, cflags, rock);
            }
            if (use == SearchUse::reactiondiagram && !done && !intfull &&
                sysrank + 2 <= nsysphases) {
                intersections(pf, combo, cflags);
            }
        }
    }
    if (rock) {
        s.rl.incompleteset = nreac < maxreacs;
        const char* msg = nreac == 0 ? "no reactions"
                          : s.rl.incompleteset
                              ? "an INCOMPLETE independent set of reactions has been calculated"
                              : "an independent set of reactions has been calculated";
        putstr(ses, 1, msg, 1, screensummarylogmask);
        return done;
    }
    exclusionline();
    const bool complete = !reacfull && !intfull;
    removeexcluded(true);
    if (reacfull) {
        putstr(ses, 2,
               s.allreactions ? "*** INCOMPLETE set of reactions ***"
                              : "*** INCOMPLETE set of reactions and intersections ***",
               1, screensummarylogmask);
    }
    if (intfull && !s.allreactions) {
        putstr(ses, 2, "*** INCOMPLETE set of  intersections ***", 1, screensummarylogmask);
    }
    std::string line = "no of reactions = " + int64text(nreac);
    if (!s.allreactions) line += ", no of intersections = " + int64text(rl.nintersect);
    putstr(ses, 1, line, 1, screensummarylogmask);
    return complete;
}

void ReactionSearchState::intersections(const PhaseFlags& pf, iemvector& combo,
                                        PhaseFlags& cflags) {
    if (nsysphases < 3) {
        guard("no intersections with less than 3 phases?!",
              "REALLY should not have got to here  (A) ...");
        return;
    }
    if (sysrank < 1) {
        guard("no reactions with less than 3 phases?!",
              "REALLY should not have got to here  (B) ...");
        return;
    }
    const int16 k = narrow16(sysrank + 2);
    startcombination(combo, k);
    bool more = true;
    for (;;) {
        nextcombination(combo, k, nsysphases, more);
        if (!more) break;
        restrict(combo, k, pf, cflags);
        const bool excluded = excludedby(cflags, false);
        intfull = rl.nintersect == maxintersections;
        if (!excluded && !intfull) newintersection(cflags);
    }
}

void ReactionSearchState::exclusionline() {
    if (rl.nexclphases == 0 && rl.nexclassemblages == 0) {
        putstr(ses, 1, s.allreactions ? "" : "no excluded assemblages", 1, screensummarylogmask);
        return;
    }
    std::string line = "excluded assemblages |";
    for (int16 k = 1; k <= rl.nexclphases; ++k) {
        addstr(" " + s.ct.names[rl.exclphases[k]] + " |", 0, line);
    }
    int count = rl.nexclphases;
    int before = 1;
    for (int16 a = 1; a <= rl.nexclassemblages; ++a) {
        for (int16 p = 1; p <= nrxem && p <= maxreactionphases; ++p) {
            if (!BTst2(rl.exclassemblages[a], p)) continue;
            addstr(" " + s.ct.names[p], 0, line);
            ++count;
        }
        addstr(" |", 0, line);
        if (count > 9 && a < rl.nexclassemblages) {
            putstr(ses, before, line, 1, screensummarylogmask);
            before = 0;
            line.clear();
            addstr("|", 22, line);
            count = 0;
        }
    }
    putstr(ses, before, line, 1, screensummarylogmask);
}

bool calcre(ReactionSearch& s) {
    ReactionSearchState search(s);
    return search.run();
}

}  // namespace qv
