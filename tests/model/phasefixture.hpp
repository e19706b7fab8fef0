#pragma once
// A run with hand-built phase records, for the tests of the steps that follow the reading of the
// a-x file.

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "model/run.hpp"
#include "support/fakes.hpp"

namespace qv::test {

using VarTerm = std::tuple<int, int, int>;  // multiplier numerator, denominator, variable

// One sxterm of one factor: cn/cd + sum of the variable terms.
inline termtype lin(int cn, int cd, const std::vector<VarTerm>& vars) {
    termtype e;
    e.nsxterms = 1;
    sxtermtype& t = e.sxterm[1];
    t.coef = 1;
    t.nxterms = 1;
    xtermtype& x = t.xterm[1];
    x.constnum = static_cast<int16>(cn);
    x.constden = static_cast<int16>(cd);
    for (const auto& [num, den, idx] : vars) {
        ++x.nx;
        x.num[x.nx] = static_cast<int16>(num);
        x.den[x.nx] = static_cast<int16>(den);
        x.idx[x.nx] = static_cast<int16>(idx);
    }
    return e;
}

// A regular A-B solution named name on one site of the given multiplicity: x(name) = x(B),
// xA = 1 - x, xB = x, a(A) = xA^multiplicity, and one interaction W(A,B) whose coefficients
// (wa, wb, wc, wsd) the caller sets.
inline ptype1 regularbinary(const std::string& name, int multiplicity) {
    ptype1 ph;
    ph.name = name;
    ph.nem = 2;
    ph.nvar = 1;
    ph.var[1].name = "x(" + name + ")";
    ph.nsf = 2;
    ph.sfname[1] = "xA";
    ph.sfname[2] = "xB";
    ph.sf[1] = lin(1, 1, {{-1, 1, 1}});
    ph.sf[2] = lin(0, 1, {{1, 1, 1}});
    ph.p[1] = ph.sf[1];
    ph.p[2] = ph.sf[2];
    ph.em[1].name = "A";
    ph.em[2].name = "B";
    for (int m = 1; m <= 2; ++m) {
        ph.em[m].ntmf = 1;
        ph.em[m].tmf[1] = {static_cast<int16>(m), static_cast<int16>(multiplicity), 1};
    }
    ph.model = axtype::symmetric;
    ph.ngterm = 1;
    ph.gterm[1] = {1, 1, 2};
    return ph;
}

struct PhaseRun {
    TestSession ts;
    Session& ses = ts.ses;
    std::unique_ptr<Run> runp = std::make_unique<Run>();
    Run& run = *runp;
    ScriptSettings& sc = run.script;
    ScriptTables& tab = *run.script.tables;

    PhaseRun() {
        run.arrays.prec0 = std::make_unique<prectype0>();
        run.arrays.prec1 = std::make_unique<prectype1>();
        sc.nwithphases = 0;
        sc.nxyzguess = 0;
    }
    ptype1& ss(int k) { return (*run.arrays.prec1)[k]; }
    ptype0& addpure(const std::string& name) {
        ++run.nphread;
        ptype0& ph = (*run.arrays.prec0)[++run.npure];
        ph.name = ph.name2 = ph.emname = name;
        return ph;
    }
    // The script's "with" list.
    void with(const std::vector<std::string>& names) {
        sc.nwithphases = static_cast<int16>(names.size());
        for (int i = 1; i <= sc.nwithphases; ++i) {
            sc.withlist[i] = names[static_cast<std::size_t>(i - 1)];
            sc.withfull[i].clear();
        }
    }
};

}  // namespace qv::test
