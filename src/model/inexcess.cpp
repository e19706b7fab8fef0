#include "model/inexcess.hpp"

#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/run.hpp"
#include "numerics/intmath.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

class Excess {
public:
    Excess(Session& ses, Run& run)
        : ses_(ses),
          run_(run),
          ds_(run.dataset),
          sc_(run.script),
          sp_(run.special),
          comps_(run.dataset.components),
          c_(*run.arrays.c) {}

    void run() {
        sp_.muem = 0;  // a mu end-member of an earlier run is gone with its end-member list
        fluid();
        std::string line;
        for (int i = 1; i <= ds_.nem; ++i) line += ds_.emnames[i] + "  ";
        putstr(ses_, 1, line, 1, screenlogmask);
        sectionvariable();
        excesslist();
        if (n_ >= 1 && n_ < comps_.nucomp) project();
        int16 pos = 0;
        if (sp_.lnaem != 0 && posinlist(sc_.lna[1].name, ds_.emnames, ds_.nem, pos)) {
            sp_.lnaem = pos;
            sp_.lnarefvalue = (*run_.arrays.td)[pos][2];
        }
    }

private:
    Session& ses_;
    Run& run_;
    Dataset& ds_;
    ScriptSettings& sc_;
    SpecialEms& sp_;
    SystemComponents& comps_;
    icmatrix& c_;
    bool fluidexcess_ = false;
    std::string muname_;
    strings names_{};
    int16 n_ = 0;

    bool h2o() const { return sp_.h2oem > 0; }
    bool co2() const { return sp_.co2em > 0; }

    void fluid() {
        if (!h2o() && !co2()) {
            run_.runftype = ftype::absent;
        } else if (!yes(sc_.fluidpresentcb) && !query(ses_, "fluid may be present")) {
            run_.runftype = ftype::absent;
        }
        if (run_.runftype != ftype::absent && run_.runftype != ftype::ih2oco2) {
            if (co2()) {
                run_.runftype = ftype::co2;
            } else if (h2o()) {
                run_.runftype = ftype::h2o;
            }
        }
    }

    bool askfluidexcess() { return yes(sc_.fluidexcesscb) || query(ses_, "fluid in excess"); }

    void sectionvariable() {
        fluidexcess_ = false;
        switch (run_.diagrammode) {
            case diagramtype::ptcalc:
                if (run_.runftype != ftype::absent) {
                    fluidexcess_ = sc_.fluidexcesscb == controlboolean::ask
                                       ? query(ses_, "fluid in excess")
                                       : yes(sc_.fluidexcesscb);
                }
                break;
            case diagramtype::pxcalc:
            case diagramtype::txcalc:
                if (!h2o() && !co2()) bomb("inexcess", "no H2O or CO2 in P-x/T-x?", yourfault);
                fluidexcess_ = true;
                putstr(ses_, 0, "fluid in excess", 1, screenlogmask);
                break;
            case diagramtype::plnacalc:
            case diagramtype::tlnacalc: lnasection(); break;
            case diagramtype::pmucalc:
            case diagramtype::tmucalc: musection(); break;
            default: bomb("inexcess", "unknown diagrammode", myfault);
        }
        if (fluidexcess_) putstr(ses_, 0, "additionally ", 0, screenlogmask);
    }

    void lnasection() {
        std::string name;
        promptstring(ses_, "name of end-member to be used in log a", name);
        if (!posinlist(name, ds_.emnames, ds_.nem, sp_.lnaem)) {
            promptstring(ses_, "bad name : replace " + name + " with ", name);
            if (!posinlist(name, ds_.emnames, ds_.nem, sp_.lnaem)) {
                bomb("inexcess", "log a setup", yourfault);
            }
        }
        const auto isfluid = [](const std::string& w) { return w == "H2O" || w == "CO2"; };
        if (isfluid(name) && h2o() && co2()) {
            putstr(ses_, 0, "Cannot handle H2O or CO2 in lna in system with H2O and CO2", 1,
                   screenlogmask);
            promptstring(ses_, "replace " + name + " with ", name);
            if (isfluid(name) || !posinlist(name, ds_.emnames, ds_.nem, sp_.lnaem)) {
                bomb("inexcess", "log a setup", yourfault);
            }
        }
        sc_.nlna = 1;
        sc_.lna[1].name = ds_.emnames[sp_.lnaem];
        if (isfluid(name)) {
            run_.runftype = ftype::absent;
        } else if (!yes(sc_.fluidpresentcb) && !query(ses_, "fluid may be present")) {
            run_.runftype = ftype::absent;
        }
        fluidexcess_ = run_.runftype != ftype::absent && askfluidexcess();
    }

    void musection() {
        std::string name;
        promptstring(ses_, "name of component to be used in mu", name);
        int16 k = 0;
        if (!posinlist(name, to_strings(), comps_.ncomp, k)) {
            putstr(ses_, 0, "Cannot handle mu variable not a component in system", 1,
                   screenlogmask);
            bomb("inexcess", "mu setup problems", yourfault);
        }
        muname_ = name;
        if (ds_.nem >= maxem) bomb("inexcess", "too many end-members" + maxtext(maxem), yourfault);
        const int e = ++ds_.nem;
        ++ds_.nrxem;
        ds_.emnames[e] = name;
        sc_.nmu = 1;
        sc_.mu[1].name = name;
        sp_.muem = narrow16(e);
        (*run_.arrays.td)[e].fill(0);
        for (int r = 1; r <= maxcomp; ++r) c_[r][e] = 0;
        c_[k][e] = narrow16(comps_.compdenom[k]);
        emmatrix& cov = *run_.arrays.cov;
        for (int i = 1; i <= e; ++i) {
            cov[i][e] = 0;
            cov[e][i] = 0;
        }
        cov[e][e] = 0.001L;
        ds_.emact[e] = 1;
        ds_.emsda[e] = 0;
        fluidexcess_ = askfluidexcess();
    }

    strings to_strings() const {
        strings s{};
        for (int r = 1; r <= comps_.ncomp; ++r) s[r] = comps_.compnames[r];
        return s;
    }

    bool inlist(const std::string& w) const {
        int16 pos = 0;
        return posinlist(w, names_, n_, pos);
    }

    void append(const std::string& w) {
        if (n_ >= maxwords)
            bomb("inexcess", "too many phases in excess" + maxtext(maxwords), yourfault);
        names_[++n_] = w;
    }

    void excesslist() {
        promptcontrol(ses_, "use in excess phases specified in scriptfile", sc_.inexcesscb);
        if (yes(sc_.inexcesscb)) {
            n_ = 0;
            for (int i = 1; i <= sc_.ninexcess; ++i) names_[++n_] = sc_.inexcesslist[i];
            if (n_ == 0) {
                putstr(ses_, 0, "no phases in excess (from script)", 1, screensummarylogmask);
            } else {
                std::string line = "phases in excess: ";
                for (int i = 1; i <= n_; ++i) line += names_[i] + " ";
                putstr(ses_, 0, line + " (from script)", 1, screensummarylogmask);
            }
        } else {
            promptstrings(ses_, "in excess: names", names_, n_);
        }
        if (n_ > 0 && names_[n_] == "*") --n_;
        if (fluidexcess_) {
            if (co2() && !inlist("CO2")) append("CO2");
            if (h2o() && !inlist("H2O")) append("H2O");
        }
        if (sp_.lnaem != 0) {
            if (n_ == 0) {
                append(sc_.lna[1].name);
            } else if (!inlist(sc_.lna[1].name)) {
                append(sc_.lna[1].name);
            }
        }
        if (sp_.muem > 0) append(muname_);
    }

    void project() {
        iemvector excessem{};
        icvector excesscomp{};
        Fixed1<bool, maxem> inexcess{};
        Fixed1<bool, maxcomp> taken{};
        int nx = 0;
        for (int i = 1; i <= n_; ++i) {
            std::string name = names_[i];
            int16 pos = 0;
            if (!posinlist(name, ds_.emnames, ds_.nem, pos)) {
                promptstring(ses_, name + " not recognised : replace with", name);
                if (!posinlist(name, ds_.emnames, ds_.nem, pos)) {
                    putstr(ses_, 0, "forget it!  (name still unrecognised)", 1, screenlogmask);
                    continue;
                }
            }
            excessem[++nx] = pos;
            inexcess[pos] = true;
        }
        sp_.nexcessem = narrow16(nx);
        const int ncomp = comps_.ncomp;
        const int nem = ds_.nem;
        auto ncompsof = [&](int e) {
            int n = 0;
            for (int r = 1; r <= ncomp; ++r) n += c_[r][e] != 0 ? 1 : 0;
            return n;
        };
        Fixed1<bool, maxem> done{};
        for (int m = 1; m <= nx; ++m) {
            const int e = excessem[m];
            if (ncompsof(e) != 1) continue;
            for (int r = 1; r <= ncomp; ++r) {
                if (c_[r][e] != 0) {
                    excesscomp[m] = narrow16(r);
                    taken[r] = true;
                }
            }
            done[m] = true;
        }
        for (int m = 1; m <= nx; ++m) {
            if (done[m]) continue;
            const int e = excessem[m];
            int r = 0;
            for (int s = 1; s <= ncomp && r == 0; ++s) {
                if (c_[s][e] != 0 && !taken[s]) r = s;
            }
            if (r == 0) bomb("in excess", "projection does not work", yourfault);
            taken[r] = true;
            excesscomp[m] = narrow16(r);
            const int32 p = c_[r][e];
            for (int s = 1; s <= ncomp; ++s) {
                if (s == r) continue;
                const int32 g = gcd(p, c_[s][e]);
                const int32 a = p / g;
                const int32 b = c_[s][e] / g;
                for (int v = 1; v <= nem; ++v) {
                    if (v == e) continue;
                    c_[s][v] = narrow16(a * c_[s][v] - b * c_[r][v]);
                }
                comps_.compdenom[s] = a * comps_.compdenom[s];
                if (comps_.compdenom[s] < 0) {
                    comps_.compdenom[s] = -comps_.compdenom[s];
                    for (int v = 1; v <= nem; ++v) c_[s][v] = narrow16(-c_[s][v]);
                }
            }
            for (int s = 1; s <= ncomp; ++s) {
                if (s != r) c_[s][e] = 0;
            }
        }
        reorder(excessem, excesscomp, inexcess, taken);
    }

    void reorder(const iemvector& excessem, const icvector& excesscomp,
                 const Fixed1<bool, maxem>& inexcess, const Fixed1<bool, maxcomp>& taken) {
        const int nx = sp_.nexcessem;
        const int nem = ds_.nem;
        const int ncomp = comps_.ncomp;
        ds_.nrxem = narrow16(nem - nx);
        comps_.nucomp = narrow16(ncomp - nx);
        const int nrxem = ds_.nrxem;
        const int nucomp = comps_.nucomp;

        // New end-member order: those not in excess, then the in-excess ones in list order.
        iemvector from{};
        int k = 0;
        for (int e = 1; e <= nem; ++e) {
            if (!inexcess[e]) from[++k] = narrow16(e);
        }
        for (int m = 1; m <= nx; ++m) from[++k] = excessem[m];

        const auto oldc = std::make_unique<icmatrix>(c_);
        const SystemComponents oldcomps = comps_;
        const auto oldnames = std::make_unique<strings>(ds_.emnames);
        const emvector oldact = ds_.emact;
        const emvector oldsda = ds_.emsda;
        tdmatrix& td = *run_.arrays.td;
        const auto oldtd = std::make_unique<tdmatrix>(td);
        emmatrix& cov = *run_.arrays.cov;
        const auto oldcov = std::make_unique<emmatrix>(cov);

        int r = 0;
        for (int s = 1; s <= ncomp; ++s) {
            if (taken[s]) continue;
            ++r;
            comps_.compnames[r] = oldcomps.compnames[s];
            comps_.compdenom[r] = oldcomps.compdenom[s];
            comps_.compatoms[r] = oldcomps.compatoms[s];
            for (int v = 1; v <= nrxem; ++v) c_[r][v] = (*oldc)[s][from[v]];
        }
        for (int m = 1; m <= nx; ++m) {
            for (int v = 1; v <= nrxem; ++v) c_[nucomp + m][v] = (*oldc)[excesscomp[m]][from[v]];
        }
        for (int v = 1; v <= nem; ++v) {
            ds_.emnames[v] = (*oldnames)[from[v]];
            ds_.emact[v] = oldact[from[v]];
            ds_.emsda[v] = oldsda[from[v]];
            td[v] = (*oldtd)[from[v]];
            for (int w = 1; w <= nem; ++w) cov[v][w] = (*oldcov)[from[v]][from[w]];
        }
        for (int s = 1; s <= ncomp; ++s) {
            for (int v = nrxem + 1; v <= nem; ++v) c_[s][v] = 0;
        }
        for (int m = 1; m <= nx; ++m) {
            const int16 amount = (*oldc)[excesscomp[m]][excessem[m]];
            comps_.compnames[nucomp + m] = (*oldnames)[excessem[m]].substr(0, 22);
            comps_.compdenom[nucomp + m] = amount;
            comps_.compatoms[nucomp + m] = oldcomps.compatoms[excesscomp[m]];
            c_[nucomp + m][nrxem + m] = amount;
        }
    }
};

}  // namespace

void inexcess(Session& ses, Run& run) {
    Excess(ses, run).run();
}

}  // namespace qv
