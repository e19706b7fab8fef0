#include "phasediagram/dudarun.hpp"

#include "rock/mineralxyz.hpp"

namespace qv {

void startdudarun(DudaRun& duda) {
    duda.calcs.nqv = 0;
    duda.calcs.ncalcxyz = 0;
    duda.calcs.ncalccorr = 0;
    duda.mineralxyz.clear();
    duda.nominal = DudaNominal{};
}

void takedudaminerals(const DudaRun& duda, ScriptSettings& sc) {
    sc.nmin = duda.nmin;
    for (int m = 1; m <= duda.nmin; ++m) sc.tables->minerals[m] = duda.minerals[m];
}

void setmineralxyz(const Run& run, DudaRun& duda) {
    duda.mineralxyz.clear();
    const ScriptSettings& sc = run.script;
    for (int m = 1; m <= sc.nmin; ++m) {
        const mineraltype& min = sc.tables->minerals[m];
        std::vector<std::string> names;
        for (int j = 1; j <= min.nxyz; ++j) names.push_back(min.xyznames[j]);
        duda.mineralxyz.push_back(std::move(names));
    }
}

void dudaafterruns(Session& ses, Run& run, DudaRun& duda, const bemvector& equilphases) {
    const ScriptSettings& sc = run.script;
    for (int m = 1; m <= sc.nmin; ++m) printmineralxyz(ses, sc.tables->minerals[m]);
    DudaInputs in{duda.calcs, duda.set, run.windows, sc.tables->minerals, sc.nmin, {}, {}, {}};
    in.set.ptguessp = sc.ptguessp;  // (the script's "ptguess", which the brute-force scan shows)
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= run.nss; ++k) {
        if (equilphases[k]) in.phasenames.push_back(ss[k].name);
    }
    for (int j = 1; j <= run.npure; ++j) {
        if (equilphases[run.nss + j]) in.phasenames.push_back(pure[j].name);
    }
    for (int i = 1; i <= sc.nxco2values; ++i) in.xco2values.push_back(sc.tables->xco2values[i]);
    avptplusdriver(ses, in);
    duda.nominal = in.nominal;
}

cvector bulkwithfluid(const cvector& bulkstart, int16 nuvleft, real f, real x) {
    cvector b = bulkstart;
    b[1] += 59 * f * (1 - x);
    b[2] += 59 * f * x;
    real sum = 0;
    for (int c = 1; c <= nuvleft; ++c) sum += b[c];
    for (int c = 1; c <= nuvleft; ++c) b[c] /= sum;
    return b;
}

}  // namespace qv
