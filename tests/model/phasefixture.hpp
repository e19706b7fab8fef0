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
