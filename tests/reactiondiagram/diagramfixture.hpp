#pragma once
// A reaction diagram on hand-built end-members: data rows whose Gibbs energy is linear in P and
// T (no heat capacity, a constant volume), reactions and candidate invariant points set by the
// test, and the run's reaction services on them.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "reactiondiagram/diagram.hpp"
#include "reactiondiagram/runlines.hpp"
#include "support/fakes.hpp"
#include "textio/bitsets.hpp"

namespace qv::test {

// One end-member with G = h - t s + v (p - 0.001): kJ, kJ/K, kJ/kbar.
struct LinearEm {
    std::string name;
    real h = 0;
    real s = 0;
    real v = 0;
};

inline real linearg(const LinearEm& e, real p, real t) {
    return e.h - t * e.s + e.v * (p - 0.001L);
}

struct DiagramFixture {
    DiagramFixture() {
        td = std::make_unique<tdmatrix>();
        cov = std::make_unique<emmatrix>();
        r = std::make_unique<rmatrix>();
        rl = std::make_unique<ReactionLists>();
        emact.fill(1);
        w.twinlow = 673.15L;
        w.twinhigh = 1173.15L;
        ts.ses.ch.dontwrapon = false;
        w.pwinlow = 1;
        w.pwinhigh = 10;
    }

    // The end-members of the diagram; the first nrxem take part in the reactions.
    void setems(const std::vector<LinearEm>& ems, int16 nrx = 0) {
        nem = static_cast<int16>(ems.size());
        nrxem = nrx > 0 ? nrx : nem;
        for (int16 k = 1; k <= nem; ++k) {
            const LinearEm& e = ems[static_cast<std::size_t>(k - 1)];
            names[k] = e.name;
            (*td)[k] = tdvector{};
            (*td)[k][1] = e.h;
            (*td)[k][2] = e.s;
            (*td)[k][3] = e.v;
        }
    }

    // Adds a reaction with its coefficients over the end-members and its text.
    void addreaction(const std::vector<int16>& nu) {
        ++nreac;
        iemvector& row = (*r)[nreac];
        row = iemvector{};
        std::string left;
        std::string right;
        for (int16 k = 1; k <= static_cast<int16>(nu.size()); ++k) {
            const int16 c = nu[static_cast<std::size_t>(k - 1)];
            row[k] = c;
            if (c == 0) continue;
            std::string& side = c < 0 ? left : right;
            if (!side.empty()) side += " + ";
            if (std::abs(c) != 1) side += std::to_string(std::abs(c));
            side += names[k];
            if (k <= nrxem) BSet2(rl->rphasesets[nreac], k);
        }
        rl->rxntext[nreac] = std::to_string(nreac) + ")  " + left + " = " + right;
    }

    // Adds a candidate invariant point of the given reactions.
    void addcandidate(const std::vector<int16>& reacs) {
        ++nint;
        Intersection& c = rl->intersections[nint];
        c.nreac = 0;
        for (const int16 i : reacs) {
            c.reacs[++c.nreac] = i;
            for (int w3 = 1; w3 <= 3; ++w3) c.phases[w3] |= rl->rphasesets[i][w3];
        }
    }

    // A grid of n values from a to b in steps of (b - a) / (n - 1).
    static void grid(linevector& list, int16& count, real a, real b, int16 n) {
        count = n;
        for (int16 k = 1; k <= n; ++k) list[k] = a + (b - a) * (k - 1) / (n > 1 ? n - 1 : 1);
    }

    DiagramRun run() {
        DiagramRun dr{w,       script,  *td,     *cov,        names,          emact,
                      emsda,   *r,      nreac,   rl->rxntext, rl->rphasesets, rl->intersections,
                      nint,    nem,     nrxem,   nexcess,     h2oemno,        co2emno,
                      lnaemno, lnaname, muemno,  muname,      lnasref,        fluidlabeltext,
                      pcur,    tcur,    xco2cur, xh2ocur};
        return dr;
    }

    TestSession ts;
    Windows w;
    ScriptSettings script;
    std::unique_ptr<tdmatrix> td;
    std::unique_ptr<emmatrix> cov;
    strings names;
    emvector emact;
    emvector emsda;
    std::unique_ptr<rmatrix> r;
    int16 nreac = 0;
    std::unique_ptr<ReactionLists> rl;
    int16 nint = 0;
    int16 nem = 0;
    int16 nrxem = 0;
    int16 nexcess = 0;
    int16 h2oemno = 0;
    int16 co2emno = 0;
    int16 lnaemno = 0;
    std::string lnaname;
    int16 muemno = 0;
    std::string muname;
    real lnasref = 0;
    std::string fluidlabeltext;
    real pcur = 5;
    real tcur = 873.15L;
    real xco2cur = 0;
    real xh2ocur = 1;
    GemSettings gs;
    DiagramState ds;
};

// The run's reaction services on a fixture (the diagram type of the fixture's state).
struct FixtureLines {
    explicit FixtureLines(DiagramFixture& f)
        : tab{*f.td,     f.names,  [](int16, int16) { return MakeList{}; }, f.nem, f.emact,
              f.h2oemno, f.co2emno},
          ev{f.ts.ses, f.gs, tab, *f.r, f.w, f.ds.mode, 0, 0, true, true},
          data{*f.cov, f.emsda},
          lines(ev, data, *f.rl) {
        f.rl->lnaterm = {f.lnasref, f.script.setlogacb == controlboolean::yes};
    }
    ReactionTables tab;
    ReactionEval ev;
    PositionData data;
    RunReactionLines lines;
};

}  // namespace qv::test
