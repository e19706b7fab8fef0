#pragma once
// The a-x reading in progress, shared by the reader of the file's outer grammar, of the
// solution-phase body and of the pure phases.

#include <string>
#include <string_view>

#include "model/axreader.hpp"
#include "model/phases.hpp"
#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// The made-end-member fields of a pure phase or of a solution end-member.
struct MakeFields {
    int16& nmake;
    int16& makeden;
    makestype& names;
    makeitype& coef;
    makeatype& action;
};

// A DQF term a + bT + cP with its kind.
struct DqfFields {
    int16& kind;
    real& a;
    real& b;
    real& c;
};

// Option codes of the words that may follow an end-member (0: not an option).
inline constexpr int optdqf = 3;
inline constexpr int optmake = 4;
inline constexpr int optcheck = 5;
inline constexpr int optnomake = 6;  // only as a number: the pure phase is no dataset one
inline constexpr int optexclude = 7;

struct AxSetup {
    AxSetup(Session& s, Run& r);

    Session& ses;
    Run& run;
    AxWords rd;
    bool calib;  // a calibration reads its own a-x file and refuses pure phases
    bool ds190;  // the dataset has the 190-end-member layout: no codings
    // Names as written in the phase being read, checked against its end-members at its end.
    Fixed1<std::string, maxssem> propnames;
    Fixed1<std::string, maxssem> sizenames;

    const std::string& ord(int k) const { return ses.tables.ordinals[k]; }
    ptype1& ss(int k) { return (*run.arrays.prec1)[k]; }
    ptype0& pure(int k) { return (*run.arrays.prec0)[k]; }

    // The outer grammar.
    void readfile();
    void headerblock();
    void solutionhead(const std::string& nameasread, ptype1& ph);
    void samecodinglist(ptype1& ph);
    void verbatimblock(ptype1& ph);

    // The body of a solution phase.
    void solutionbody(ptype1& ph, int16 n);
    void readvariable(ptype1& ph, int i);
    void readexpr(termtype& e, const ptype1& ph, const std::string& prompt);
    void readratio(termtype& e, const std::string& prompt, scvector& names, int16& nnames);
    void readnonideal(ptype1& ph, int16 n);
    void readendmember(ptype1& ph, int i);
    void namechecks(const ptype1& ph);

    // End-member options, shared by solution end-members and pure phases.
    int optioncode() const;
    // Reads the option word; returns its code and sets the DQF kind a DQF keyword names.
    int readoptionword(std::string_view prompt, int& dqfkindofword);
    // `bshift` moves the b term of a buffer (kJ/K).
    void readdqf(const DqfFields& d, int16 nmake, const std::string& emname, real bshift = 0);
    void readmake(const MakeFields& m, const std::string& emname, bool mustdiffer);
    // The charges of a compound of two charged species into td[18] and td[19].
    void compoundcharges(const MakeFields& m, tdvector& td, bool purephase);

    // Pure phases.
    void purephase(const std::string& name);
    void fixedactivity(ptype0& ph);
};

// The option code of an a-x keyword (0: none) and, for the DQF family, its kind (else -1).
int optionkeyword(std::string_view w, int& dqfkind);
// True when the name of a species ends in a charge sign.
bool ischarged(std::string_view name);

}  // namespace qv
