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

bool ReactionSearchState::excludedphase(int16 p) const {
    for (int16 k = 1; k <= rl.nexclphases; ++k) {
        if (rl.exclphases[k] == p) return true;
    }
    return false;
}

int16 ReactionSearchState::phasesinsystem(const iemvector& comb, int16 k, ComponentFlags& cf,
                                          PhaseFlags& pf) {
    for (int16 i = 1; i <= maxcomp; ++i) cf[i] = false;
    for (int16 i = 1; i <= k; ++i) cf[comb[i]] = true;
    int16 count = 0;
    for (int16 p = 1; p <= nrxem; ++p) {
        bool in = true;
        for (int16 i = 1; i <= nucomp && in; ++i) {
            if (!cf[i] && s.ct.c[i][p] != 0) in = false;
        }
        pf[p] = in && !excludedphase(p);
        if (pf[p]) ++count;
    }
    return count;
}

int16 ReactionSearchState::rankofphases(const PhaseFlags& pf) const {
    auto a = std::make_unique<liemmatrix>();
    int16 n = 0;
    for (int16 p = 1; p <= nrxem; ++p) {
        if (!pf[p]) continue;
        ++n;
        for (int16 i = 1; i <= nucomp; ++i) (*a)[i][n] = s.ct.c[i][p];
    }
    return integerechelon(*a, nucomp, n);
}

bool ReactionSearchState::calclnir(const PhaseFlags& pf, int16 size) {
    const bool last = size == nucomp;
    sysmax = narrow16(nsysphases - sysrank);
    if (nrxem > maxreactionphases) bomb("calclnir", "too many end-members", yourfault);
    const longint3 sys = phaseset(pf, nrxem);
    sysfoundstart = 0;
    for (int16 k = 1; k <= nreac; ++k) {
        if (BSubset(rl.rphasesets[k], sys)) ++sysfoundstart;
    }
    sysfound = sysfoundstart;
    int16 fresh = narrow16(sysmax - sysfoundstart);
    if (fresh != 0 && nreac != 0 && !last) {
        int16 a = 0, b = 0;
        for (int16 p = 1; p <= nrxem; ++p) {
            bool unused = true;
            for (int16 k = 1; k <= nreac && unused; ++k) unused = s.ev.r[k][p] == 0;
            if (!unused) continue;
            if (pf[p]) {
                ++a;
            } else {
                ++b;
            }
        }
        if (b != 0) {
            if (maxreacs - nreac == 1) {
                fresh = 0;
            } else if (maxreacs - nreac <= 2 && a < fresh) {
                fresh = a;
            }
        }
    }
    sysmax = narrow16(sysfoundstart + fresh);
    return fresh > 0;
}

void ReactionSearchState::restrict(const iemvector& comb, int16 k, const PhaseFlags& pf,
                                   PhaseFlags& cf) const {
    int16 pos = 0, next = 1;
    for (int16 p = 1; p <= maxem; ++p) cf[p] = false;
    for (int16 p = 1; p <= nrxem; ++p) {
        if (!pf[p]) continue;
        ++pos;
        if (next <= k && comb[next] == pos) {
            cf[p] = true;
            ++next;
        }
    }
}

bool ReactionSearchState::excludedby(const PhaseFlags& cf, bool byreactions) const {
    for (int16 p = 1; p <= nrxem; ++p) {
        if (cf[p] && excludedphase(p)) return true;
    }
    const longint3 set = phaseset(cf, nrxem);
    for (int16 k = 1; k <= rl.nexclassemblages; ++k) {
        if (BSubset(rl.exclassemblages[k], set)) return true;
    }
    if (byreactions) {
        for (int16 k = 1; k <= rl.nrphasesets; ++k) {
            if (BSubset(rl.rphasesets[k], set)) return true;
        }
    } else {
        for (int16 k = 1; k <= rl.nintersect; ++k) {
            if (BSubset(rl.intersections[k].phases, set)) return true;
        }
    }
    return false;
}

void ReactionSearchState::newintersection(const PhaseFlags& cf) {
    const longint3 set = phaseset(cf, nrxem);
    Intersection in;
    for (int16 k = 1; k <= nreac; ++k) {
        if (!BSubset(rl.rphasesets[k], set)) continue;
        in.reacs[++in.nreac] = k;
        for (int w = 1; w <= 3; ++w) in.phases[w] |= rl.rphasesets[k][w];
    }
    if (in.nreac < 3) return;
    rl.intersections[++rl.nintersect] = in;
}

void ReactionSearchState::removeexcluded(bool writetexts) {
    Fixed1<bool, maxreac> keep;
    bool anygo = false;
    for (int16 k = 1; k <= nreac; ++k) {
        keep[k] = !holdsanyof(rl.rphasesets[k], rl.exclphases, rl.nexclphases);
        for (int16 a = 1; a <= rl.nexclassemblages && keep[k]; ++a) {
            if (BSubset(rl.exclassemblages[a], rl.rphasesets[k])) keep[k] = false;
        }
        if (!keep[k]) anygo = true;
    }
    if (anygo) {
        Fixed1<int16, maxreac> newno;
        int16 n = 0;
        for (int16 k = 1; k <= nreac; ++k) {
            if (!keep[k]) continue;
            newno[k] = ++n;
            s.ev.r[n] = s.ev.r[k];
            rl.rphasesets[n] = rl.rphasesets[k];
            rl.rxnlnk[n] = rl.rxnlnk[k];
        }
        nreac = n;
        rl.nrphasesets = n;
        int16 m = 0;
        for (int16 i = 1; i <= rl.nintersect; ++i) {
            Intersection in = rl.intersections[i];
            bool all = true;
            for (int16 j = 1; j <= in.nreac && all; ++j) all = keep[in.reacs[j]];
            if (!all) continue;
            for (int16 j = 1; j <= in.nreac; ++j) in.reacs[j] = newno[in.reacs[j]];
            rl.intersections[++m] = in;
        }
        rl.nintersect = m;
    }
    if (writetexts) {
        rl.textwidth = 0;
        strings names = s.ct.names;
        if (s.lnaem > 0) names[s.lnaem] = s.lnaname;
        for (int16 k = 1; k <= nreac; ++k) writereaction(s.ev.r, names, nem, rl, k);
        ++rl.textwidth;
    }
}

void ReactionSearchState::printsystem() {
    sysprinted = true;
    progresschar('|');
}

}  // namespace qv
