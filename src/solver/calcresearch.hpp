#pragma once
// The state of the reaction search, shared by its steps: the component systems and their
// phases (calcresystems.cpp), one reaction and its judgement (calcreaction.cpp), and the
// search over the systems (calcre.cpp).

#include <string>

#include "solver/calcre.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

// An integer as the reaction texts write it.
inline std::string int64text(int64 v) {
    std::string s;
    addgreal(0, s, static_cast<real>(v));
    return s;
}

// The set of the flagged phases 1..n.
inline longint3 phaseset(const PhaseFlags& f, int16 n) {
    longint3 s{};
    for (int16 p = 1; p <= n; ++p) {
        if (f[p]) BSet2(s, p);
    }
    return s;
}

// Whether the set holds any of phases[1..n].
inline bool holdsanyof(const longint3& set, const iemvector& phases, int16 n) {
    for (int16 k = 1; k <= n; ++k) {
        if (BTst2(set, phases[k])) return true;
    }
    return false;
}

// The search with its state; the methods are its steps.
struct ReactionSearchState {
    ReactionSearch& s;
    Session& ses;
    ReactionLists& rl;
    int16& nreac;
    SearchUse use;  // what the search is for
    int16 nucomp, ncomp, nrxem, nem;
    int16 nsysphases = 0;
    int16 sysrank = 0;
    int16 sysfound = 0;
    int16 sysfoundstart = 0;
    int16 sysmax = 0;
    bool sysprinted = false;
    bool reacfull = false;
    bool intfull = false;
    bool flatwindow = false;
    int16 maxreacs = 0;
    int32 combinations = 0;
    explicit ReactionSearchState(ReactionSearch& rs)
        : s(rs),
          ses(rs.ev.ses),
          rl(rs.rl),
          nreac(rs.nreac),
          use(rs.use),
          nucomp(rs.ct.comps.nucomp),
          ncomp(rs.ct.comps.ncomp),
          nrxem(rs.nrxem),
          nem(rs.ct.nem) {}

    void progresschar(char c) { putstr(ses, 0, std::string(1, c), 0, screenlogmask); }

    bool excludedphase(int16 p) const;
    int16 phasesinsystem(const iemvector& comb, int16 k, ComponentFlags& cf, PhaseFlags& pf);
    int16 rankofphases(const PhaseFlags& pf) const;
    bool calclnir(const PhaseFlags& pf, int16 size);

    // The system's phases whose positions (1..nsysphases) are in comb.
    void restrict(const iemvector& comb, int16 k, const PhaseFlags& pf, PhaseFlags& cf) const;
    bool excludedby(const PhaseFlags& cf, bool byreactions) const;
    void newintersection(const PhaseFlags& cf);
    void removeexcluded(bool writetexts);
    void printsystem();

    // ---- one reaction -------------------------------------------------------------------

    bool newindr();
    void newreactionlna();
    bool checkrockreaction(real& sd);

    // Schreinemakers: the assemblage on the reaction's unstable side within the window cannot
    // be stable; returns whether something new is excluded.
    bool excludeassemblage(const Fixed1<int64, maxem>& coef, bool negativeinside);
    void wrongphases(const ComponentFlags& cf, const PhaseFlags& pf, const PhaseFlags& comb,
                     int16 rows, int16 cols, int16 ncomps);
    void unbalanced(const Fixed1<int64, maxem>& coef, const PhaseFlags& comb);

    // The balanced reaction among the combination's phases (exactly sysrank + 1 of them).
    void re(int16 ncomps, const ComponentFlags& cf, const PhaseFlags& pf, PhaseFlags& comb);
    void judge(const Fixed1<int64, maxem>& coef, bool recorded);

    // ---- the search ----------------------------------------------------------------------

    void guard(const char* first, const char* second);
    bool run();
    bool reactions(int16 size, const ComponentFlags& cf, const PhaseFlags& pf, iemvector& combo,
                   PhaseFlags& cflags, bool rock);
    void intersections(const PhaseFlags& pf, iemvector& combo, PhaseFlags& cflags);
    void exclusionline();
};

}  // namespace qv
