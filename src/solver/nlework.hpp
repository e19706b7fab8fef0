#pragma once
// The working state of one call of the equilibrium solver, shared by its parts: the evaluations,
// convergence tests and start-up (nle.cpp), the line search and its admissible step
// (linesearch.cpp) and the iteration table and reports (nleprint.cpp). Not for use outside them.

#include <limits>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "solver/newtonstep.hpp"
#include "solver/nle.hpp"

namespace qv::nlework {

inline std::string intstr(int v) {
    return std::to_string(v);
}

// One point of the line search: step, merit value and slope.
struct Trial {
    real a = 0;
    real f = 0;
    real g = 0;
};

// One call of the solver: its working state and the procedures that share it.
struct Nle {
    Session& ses;
    NleEquations& eqs;
    NleVariables& v;
    NleSettings& set;
    NleStatus& st;
    NleWorkspace& w;

    int16 n = 0;
    int16 limit = 25;
    int16 counter = 0;
    eqvector e;
    // The jacobian at the point of e, kept in the caller's workspace, and whether this solve
    // made it (all zeros then); see `clearjacobian`.
    bool freshjac = false;
    eqmatrix& jac;
    // The jacobian the finite-difference checks evaluate into (130 kB on the heap), made when a
    // check first runs.
    std::unique_ptr<eqmatrix> scratch;
    // The last direction came from the LU factors, and w.lastlujac holds its jacobian when the
    // condition number is asked for.
    bool lastbylu = false;
    real f0 = 0;
    real maxe0 = 0;
    eqvector dx;
    real maxe = 1;
    real maxdx = 1;
    int16 nlines = 0;
    int16 notreduced = 0;
    acctype limiting = acctype::inaccessible;
    bool esize = false;
    bool fsize = false;
    bool dxstop = false;
    bool dxconverge = false;
    bool overit = false;
    bool expansionended = false;
    // The tests met by the last merit evaluation.
    bool lastsufficient = false;
    bool lastslope = false;
    bool lastconv = false;
    // A trial whose evaluation failed, and whether the accepted step is that trial.
    bool trialfailed = false;
    real failedat = 0;
    bool acceptedfailed = false;
    // The point of the last evaluation into e and jac, while they hold its results: the start
    // of an iteration at the point the line search accepted, or the first iteration at the start,
    // takes them over instead of evaluating the equations once more at the same point.
    bool held = false;
    eqvector heldx;

    Nle(Session& s, NleEquations& q, NleVariables& vars, NleSettings& se, NleStatus& status,
        NleWorkspace& work)
        : ses(s),
          eqs(q),
          v(vars),
          set(se),
          st(status),
          w(work),
          freshjac(!work.jac),
          jac(made(work.jac)) {}

    real eps() const {
        return ses.tables.macheps > 0 ? ses.tables.macheps : std::numeric_limits<real>::epsilon();
    }
    int16 nall() const { return narrow16(v.nxvars + v.nmodevars); }
    real shown(int16 k) const {  // natural value as printed: T in C, modes over modephi
        real x = v.natural(k);
        if (k == 2) x -= 273.15L;
        if (k > v.nxvars) x /= v.modephi;
        return x;
    }

    // The matrix held by m, made (zeroed) on first use.
    static eqmatrix& made(std::unique_ptr<eqmatrix>& m) {
        if (!m) m = std::make_unique<eqmatrix>();
        return *m;
    }

    bool evalnle(const eqvector& x, eqmatrix& j, eqvector& f);
    bool evaluate(const eqvector& x);
    bool holds() const;
    void clearjacobian();
    void fdjacobian(const eqvector& x0, eqmatrix& j, eqvector& f);
    void checkjacobian(const eqvector& x0, const eqmatrix& j, eqvector& f);
    bool initialise();
    void startup(real& slope0, real& slim, int16& code);
    void findlimit(real& slim);
    bool fn(real& f, real& slope, int16 mode, real a);
    bool steplength(real& step, int16& code);
    void printiterhead();
    void printiteration(char c1, char c2, real f, real slope, real step);
    void printxline();
    void printguesses();
    void illegalstart();
    void report(int16 code);
};

}  // namespace qv::nlework
