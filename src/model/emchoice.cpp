#include "model/emchoice.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/dataset.hpp"
#include "model/emcomps.hpp"
#include "model/run.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

constexpr int maxgathered = 800;  // names gathered before duplicates are dropped

// Appends a name to the gathered list; the caller's message names the gathering step.
void gather(Fixed1<std::string, maxgathered>& names, int& n, const std::string& name,
            const char* message) {
    if (n >= maxgathered) bomb("makename", message, yourfault);
    names[++n] = name;
}

}  // namespace

void makename(Run& run, const bemvector& omit) {
    prectype1& ss = *run.arrays.prec1;
    prectype0& pure = *run.arrays.prec0;
    auto names = std::make_unique<Fixed1<std::string, maxgathered>>();
    int n = 0;
    const int nssin = run.nss;

    int s = 0;
    for (int k = 1; k <= nssin; ++k) {
        if (omit[k]) continue;
        ++s;
        if (s != k) ss[s] = std::move(ss[k]);
        for (int j = 1; j <= ss[s].nem; ++j) {
            if (ss[s].em[j].nmake == 0)
                gather(*names, n, ss[s].em[j].name, "too many end-members 1");
        }
    }
    int p = 0;
    for (int k = 1; k <= run.npure; ++k) {
        if (omit[nssin + k]) continue;
        ++p;
        if (p != k) pure[p] = std::move(pure[k]);
        if (pure[p].nmake == 0) gather(*names, n, pure[p].emname, "too many end-members 2");
    }
    run.nss = narrow16(s);
    run.npure = narrow16(p);
    run.nphread = narrow16(s + p);

    for (int k = 1; k <= s; ++k) {
        for (int j = 1; j <= ss[k].nem; ++j) {
            const ssemtype& em = ss[k].em[j];
            for (int m = 1; m <= em.nmake; ++m) {
                gather(*names, n, em.makenames[m], "too many end-members 3");
            }
        }
    }
    for (int k = 1; k <= p; ++k) {
        for (int m = 1; m <= pure[k].nmake; ++m) {
            gather(*names, n, pure[k].makenames[m], "too many end-members 4");
        }
    }

    Dataset& ds = run.dataset;
    int nem = 0;
    for (int i = 1; i <= n; ++i) {
        int16 pos = 0;
        if (posinlist((*names)[i], ds.emnames, nem, pos)) continue;
        if (nem >= maxem) bomb("makename", "too many end-members", yourfault);
        ds.emnames[++nem] = (*names)[i];
    }
    ds.nem = narrow16(nem);
    for (int i = nem + 1; i <= maxem; ++i) ds.emnames[i].clear();
}

bool askreplacename(Session& ses, const Run& run, std::string& name, const strings& list,
                    bool quiet, int16& pos) {
    const int n = run.nss + run.npure;
    bool found = posinlist(name, list, n, pos);
    if (!found && !quiet) {
        std::string w;
        promptstring(ses, "unrecognised name : replace \"" + name + "\" with ", w);
        if (w.size() > 22) {
            putstr(ses, 0, " name too long: name ignored", 1, screenlogmask);
        } else if (!w.empty()) {
            name = w;
            found = posinlist(name, list, n, pos);
            if (!found) putstr(ses, 0, " still a bad name: name ignored", 1, screenlogmask);
        }
    }
    if (!found) pos = 0;
    return found;
}

namespace {

// The phase choice of `extractem`: omit flags in the combined numbering from an answer list.
void choosephases(Session& ses, Run& run, bemvector& omit) {
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    const ScriptSettings& sc = run.script;
    const int nph = run.nss + run.npure;
    auto all = std::make_unique<strings>();
    for (int k = 1; k <= run.nss; ++k) (*all)[k] = ss[k].longname;
    for (int k = 1; k <= run.npure; ++k) (*all)[run.nss + k] = pure[k].name;

    auto words = std::make_unique<strings>();
    int16 nwords = 0;
    if ((run.setup.utilityrun && sc.nwithphases == 0) || sc.nwithphases >= 100) {
        for (int k = 1; k <= nph; ++k) (*words)[k] = (*all)[k];
        nwords = narrow16(nph);
    } else if (sc.nwithphases > 0) {
        for (int k = 1; k <= sc.nwithphases; ++k) (*words)[k] = sc.withlist[k];
        nwords = sc.nwithphases;
    } else {
        const bool ems = run.setup.endmembersasked && run.nss == 0;
        promptstrings(ses, ems ? "which end-members" : "which phases", *words, nwords);
    }

    omit.fill(false);
    if (nwords < 2) return;  // a single word keeps every phase
    const bool omitting = (*words)[1] == "omit";
    if (!omitting) omit.fill(true);
    for (int i = omitting ? 2 : 1; i <= nwords; ++i) {
        std::string name = (*words)[i];
        int16 pos = 0;
        if (askreplacename(ses, run, name, *all, false, pos)) omit[pos] = omitting;
    }
}

}  // namespace

void extractem(Session& ses, Run& run, const ExtractemSteps& steps) {
    bemvector omit{};
    makename(run, omit);
    choosephases(ses, run, omit);
    makename(run, omit);

    readthermo(ses, run, 2);
    makeemc(run);
    readthermo(ses, run, 3);
    steps.lsqds(ses, run);
    Dataset& ds = run.dataset;

    ds.emact.fill(1);
    ds.emsda.fill(0);

    prectype1& ss = *run.arrays.prec1;
    prectype0& pure = *run.arrays.prec0;
    const bool utilities = run.setup.utilityrun;
    if (!utilities) {
        steps.activities(ses, run);
        if (run.nss == 0) {
            promptcontrol(ses, "standard default uncertainties on activities",
                          run.script.defsdaparamscb);
            resetuncertainty(ses, run, run.script.defsdaparamscb == controlboolean::yes);
            setdefaultsda(run);
        }
    }

    // The run's end-members in phase order; a made end-member keeps where it came from.
    icmatrix& c = *run.arrays.c;
    tdmatrix& td = *run.arrays.td;
    emmatrix& cov = *run.arrays.cov;
    const int ncomp = ds.components.ncomp;
    const int nall = ds.nem;
    Fixed1<bool, maxem> excludedat{};  // by the phase-order number of all end-members
    {
        int k = 0;
        for (int p = 1; p <= run.nss; ++p) {
            for (int j = 1; j <= ss[p].nem; ++j) excludedat[++k] = ss[p].em[j].excluded;
        }
    }
    auto fill = [&](int k, const icvector& comp, const std::string& name, const tdvector& rtd,
                    const emvector& vec, real td29, real td30) {
        for (int r = 1; r <= ncomp; ++r) c[r][k] = comp[r];
        ds.emnames[k] = name;
        for (int v = 1; v <= 25; ++v) td[k][v] = rtd[v];
        td[k][26] = 0;
        td[k][27] = 0;
        td[k][28] = 0;
        td[k][29] = td29;
        td[k][30] = td30;
        td[k][31] = rtd[31];
        int l = 0;
        for (int i = 1; i <= nall; ++i) {
            if (!excludedat[i]) cov[k][++l] = vec[i];
        }
    };
    const bool ds190 = ds.ds190;
    int k = 0;
    for (int p = 1; p <= run.nss; ++p) {
        for (int j = 1; j <= ss[p].nem; ++j) {
            const ssemtype& em = ss[p].em[j];
            if (em.excluded) continue;
            const bool made = em.nmake != 0 && !ds190;
            fill(++k, em.comp, em.name, em.td, em.vec, made ? p : 0, made ? j : 0);
        }
    }
    for (int p = 1; p <= run.npure; ++p) {
        const ptype0& ph = pure[p];
        const bool made = ph.nmake != 0 && !ds190;
        fill(++k, ph.comp, utilities ? ph.name : ph.emname, ph.td, ph.vec, 0, made ? p : 0);
    }
    ds.nem = narrow16(k);
    ds.nrxem = ds.nem;
}

void resetuncertainty(Session& ses, Run& run, bool standard) {
    SdaParams& s = run.sda;
    if (run.setup.calibration) {
        s.sdafactor = 0.1L;
    } else if (run.script.justrelucb == controlboolean::yes) {
        s.sdafactor = 0;
    } else {
        s.sdafactor = 0.3L;
    }
    s.sdafactorcopy = s.sdafactor;
    s.sdafloor = 0.01L;
    s.sdarelmin = 0.05L;
    if (!standard)
        ses.console.write("**resetting default uncertainty parameters not currently available\n");
}

void setdefaultsda(Run& run) {
    Dataset& ds = run.dataset;
    const SdaParams& p = run.sda;
    // The defaults are worked in single precision.
    const auto factor = static_cast<float>(p.sdafactor);
    const auto floor = static_cast<float>(p.sdafloor);
    const auto relmin = static_cast<float>(p.sdarelmin);
    for (int i = 1; i <= ds.nem; ++i) {
        const auto a = static_cast<float>(ds.emact[i]);
        auto s = static_cast<float>(ds.emsda[i]);
        const float n = ds.nsite[i] == 0 ? 1.0f : static_cast<float>(ds.nsite[i]);
        if (s < 0) s = 0;
        if (run.script.usedefsdacb != controlboolean::no) {
            if (a == 1.0f) {
                s = 0;
            } else {
                const float x = std::exp(std::log(a) / n);
                float sx = 0;
                if (factor == 0 || x < floor / factor) {
                    sx = floor;
                } else {
                    sx = factor * (1 - x) * (1 - x) * x;
                }
                if (sx / x < relmin) sx = relmin * x;
                s = std::max(s, n * a * sx / x);
            }
        }
        ds.emsda[i] = s;
    }
}

}  // namespace qv
