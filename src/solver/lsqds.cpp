#include "solver/lsqds.hpp"

#include <cmath>
#include <memory>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axprint.hpp"
#include "solver/calcq.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"
#include "thermo/activities.hpp"

namespace qv {

namespace {

constexpr real tref = 298.15L;  // K

// The fields of an end-member record that this set-up reads and writes; a pure phase and an
// end-member of a solution phase carry the same set under the same names.
struct EmRecord {
    const std::string* name = nullptr;
    int16* nmake = nullptr;
    int16* makeden = nullptr;
    makestype* makenames = nullptr;
    makeitype* makecoef = nullptr;
    makeatype* makeaction = nullptr;
    makeitype* rows = nullptr;  // constituent rows of `td`, as the Gibbs energy reads them
    real dqfa = 0;
    real dqfb = 0;
    real dqfc = 0;
    tdvector* data = nullptr;
    emvector* covrow = nullptr;
};

EmRecord recordof(ssemtype& em) {
    return {&em.name,     &em.nmake, &em.makeden, &em.makenames, &em.makecoef, &em.makeaction,
            &em.makeint2, em.dqfa,   em.dqfb,     em.dqfc,       &em.td,       &em.vec};
}

EmRecord recordof(ptype0& ph) {
    return {&ph.emname,   &ph.nmake, &ph.makeden, &ph.makenames, &ph.makecoef, &ph.makeaction,
            &ph.makeint2, ph.dqfa,   ph.dqfb,     ph.dqfc,       &ph.td,       &ph.vec};
}

// The make table: for each run end-member k its dataset position (plain ones) or its
// constituents' positions and weights (made ones).
struct MakeTable {
    Fixed1<int16, maxem> dsidx;
    Fixed1<Fixed1<real, maxmake>, maxem> coef;
    Fixed1<Fixed1<int16, maxmake>, maxem> cons;
    Fixed1<int16, maxem> ncons;
    Fixed1<int16, maxem> madeno;
    Fixed1<int16, maxem> madek;  // run end-member number of each made end-member
    int16 nmade = 0;
    int16 nsolem = 0;
    int16 ntotal = 0;
};

// A row of `td` below the dataset end-members holding one constituent of made end-members in
// the order state it is taken in.
struct DependentRow {
    std::string name;
    makeactiontype action = makeactiontype::notspecified;
    int16 row = 0;
};

struct Lsqds {
    Session& ses;
    Run& run;
    Dataset& ds;
    tdmatrix& td;
    emmatrix& cov;
    std::unique_ptr<MakeTable> tabp = std::make_unique<MakeTable>();
    MakeTable& tab = *tabp;
    Fixed1<EmRecord, maxem> rec;
    Fixed1<DependentRow, maxem> dep;
    int16 ndep = 0;
    bool calibrationmakes;  // made end-members built by the calibration
    bool phaseinfo;         // the a-x summary of every solution phase is written

    Lsqds(Session& s, Run& r, bool calmakes, bool info)
        : ses(s),
          run(r),
          ds(r.dataset),
          td(*r.arrays.td),
          cov(*r.arrays.cov),
          calibrationmakes(calmakes),
          phaseinfo(info) {}

    int16 dspos(const std::string& name) {
        int16 pos = 0;
        if (!posinlist(name, ds.emnames, ds.nem, pos)) {
            bomb("make emtd", name + " not found", yourfault);
        }
        return pos;
    }

    void tableentry(const EmRecord& r) {
        const int16 k = ++tab.ntotal;
        if (k > maxem) bomb("lsqds", "too many end-members" + maxtext(maxem), yourfault);
        for (int i = 1; i <= maxmake; ++i) tab.coef[k][i] = 1;
        rec[k] = r;
        const int16 m = *r.nmake > 0 ? *r.nmake : 0;
        tab.ncons[k] = m;
        if (m == 0) {
            tab.dsidx[k] = dspos(*r.name);
            tab.madeno[k] = 0;
            return;
        }
        tab.dsidx[k] = 0;
        tab.madeno[k] = ++tab.nmade;
        tab.madek[tab.nmade] = k;
        for (int i = 1; i <= m; ++i) {
            // The weight is formed in double precision, as the make definitions are rationals.
            tab.coef[k][i] = doubleratio((*r.makecoef)[i], *r.makeden);
            tab.cons[k][i] = dspos((*r.makenames)[i]);
        }
    }

    void makeemtdtable() {
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        for (int p = 1; p <= run.nss; ++p) {
            for (int j = 1; j <= p1[p].nem; ++j) tableentry(recordof(p1[p].em[j]));
        }
        tab.nsolem = tab.ntotal;
        for (int j = 1; j <= run.npure; ++j) tableentry(recordof(p0[j]));
    }

    void plain(int16 k, bool pure) {
        const tdvector& row = td[tab.dsidx[k]];
        tdvector& data = *rec[k].data;
        const int last = pure ? 31 : 28;
        for (int v = 1; v <= last; ++v) {
            if (v != 18 && v != 19) data[v] = row[v];
        }
        data[31] = row[31];
        emvector& c = *rec[k].covrow;
        for (int l = 1; l <= tab.ntotal; ++l) {
            if (tab.madeno[l] == 0) c[l] = cov[tab.dsidx[k]][tab.dsidx[l]];
        }
    }

    [[noreturn]] void makestop(int16 k, int i, const std::string& message) {
        putstr(ses, 0,
               "in the make for " + *rec[k].name + ", problem with " + (*rec[k].makenames)[i], 1,
               screensummarylogmask);
        bomb("domake", message, yourfault);
    }

    // The order-disorder terms that a constituent taken fully ordered or fully disordered adds
    // to the made end-member's own H, S and V, weighted by the constituent's coefficient.
    void odcorrection(int16 k, int i, tdvector& data) {
        const int16 e = tab.cons[k][i];
        const tdvector& row = td[e];
        const real w = tab.coef[k][i];
        makeactiontype& action = (*rec[k].makeaction)[i];
        const bool od = row[14] > 0 || row[20] > 0;
        if (!od) {
            if (action != makeactiontype::notspecified && action != makeactiontype::notrelevant) {
                makestop(k, i, "action specified for a non-od end-member");
            }
            action = makeactiontype::notrelevant;
            return;
        }
        if (action == makeactiontype::notspecified) {
            makestop(k, i, "action for od end-member not specified");
        }
        if (action != makeactiontype::disordered && action != makeactiontype::ordered) return;
        const bool disordered = action == makeactiontype::disordered;
        if (row[15] > 0) {
            // Landau: Q at the reference temperature (0 above the critical temperature).
            const real tc = row[14];
            const real smax = row[15];
            const real vmax = row[16];
            const real q = tc > tref ? std::sqrt(1 - tref / tc) : 0;
            if (disordered) {
                data[1] += w * q * smax * tc * (1 - q * q / 3);
                data[2] += w * smax * q;
                data[3] += w * vmax * q;
            } else {
                data[1] += w * smax * tc * (-2.0L / 3 + q * (1 - q * q / 3));
                data[2] += w * smax * (q - 1);
                data[3] += w * vmax * (q - 1);
            }
            for (int v = 14; v <= 16; ++v) data[v] = 0;
        } else if (row[24] > 0) {
            if (disordered) {
                data[1] += w * row[20];
                data[3] += w * row[21];
                const real n = row[24];
                const real wf = row[25];
                const real s = std::log(1 / (1 + n)) + n * std::log(n / (1 + n));
                if (wf >= 0) {
                    data[2] -= w * rgas * wf * s;
                } else {
                    data[2] -= w * (1 / wf - n) * rgas * wf * s / (n + 1);
                }
            }
            for (int v = 20; v <= 25; ++v) data[v] = 0;
        }
    }

    // The dependent row of constituent i of k: shared with an earlier make that takes the same
    // constituent in the same order state, else the next free row from 400 downwards.
    int16 dependentrow(int16 k, int i) {
        const std::string& name = (*rec[k].makenames)[i];
        const makeactiontype action = (*rec[k].makeaction)[i];
        for (int d = 1; d <= ndep; ++d) {
            if (dep[d].name == name && dep[d].action == action) return dep[d].row;
        }
        const auto r = narrow16(maxem - ndep);
        if (r <= ds.nem) bomb("finddep", "too many end-members", yourfault);
        int16 pos = 0;
        if (!posinlist(name, ds.emnames, ds.nem, pos)) {
            bomb("finddep", "can't find \"" + name + "\"", yourfault);
        }
        dep[++ndep] = {name, action, r};
        ds.emnames[r] = name;
        for (int v = 1; v <= 28; ++v) td[r][v] = td[pos][v];
        td[r][29] = 0;
        td[r][30] = 0;
        td[r][31] = td[pos][31];
        if (action == makeactiontype::ordered || action == makeactiontype::disordered) {
            for (int v = 14; v <= 16; ++v) td[r][v] = 0;
            for (int v = 20; v <= 25; ++v) td[r][v] = 0;
        }
        return r;
    }

    void domake(int16 k) {
        const EmRecord& r = rec[k];
        tdvector& data = *r.data;
        data[31] = 0;
        data[1] += r.dqfa;
        data[2] -= r.dqfb;
        data[3] += r.dqfc;
        for (int i = 1; i <= tab.ncons[k]; ++i) odcorrection(k, i, data);
        for (int i = 1; i <= tab.ncons[k]; ++i) (*r.rows)[i] = dependentrow(k, i);
    }

    // The made end-member as one full data row (datasets of the 190-end-member kind).
    void makeemtd(int16 k) {
        const EmRecord& r = rec[k];
        tdvector& data = *r.data;
        const int m = tab.ncons[k];
        data[31] = td[tab.cons[k][1]][31];
        for (int i = 1; i <= m; ++i) {
            for (int v = 1; v <= 7; ++v) data[v] += tab.coef[k][i] * td[tab.cons[k][i]][v];
        }
        data[1] += r.dqfa;
        data[2] -= r.dqfb;
        data[3] += r.dqfc;
        for (int i = 1; i <= m; ++i) {
            const tdvector& row = td[tab.cons[k][i]];
            const real c = tab.coef[k][i];
            if (row[15] > 0) {
                const real tc = row[14];
                const real q = tc > tref ? std::sqrt(1 - tref / tc) : 0;
                data[1] += q * tc * c * row[15] * (1 - q * q / 3);
                data[2] += q * c * row[15];
                data[3] += q * c * row[16];
            }
        }
        if (tab.coef[k][m] == 0) bomb("makeemtd", "coeff=0 no longer implemented", yourfault);
        const real vol = data[3];
        real alpha = 0;
        real compress = 0;
        real c17 = 0;
        for (int i = 1; i <= m; ++i) {
            const tdvector& row = td[tab.cons[k][i]];
            const real c = tab.coef[k][i];
            alpha += c * row[3] * row[8];
            if (row[11] != 0) compress += c * row[3] / row[11];
            c17 += c * row[17];
        }
        data[8] = vol != 0 ? alpha / vol : 0;
        data[9] = 10;
        data[10] = 0;
        data[11] = compress != 0 ? vol / compress : 0;
        data[12] = td[tab.cons[k][1]][12];
        data[13] = td[tab.cons[k][1]][13];
        for (int v = 14; v <= 16; ++v) data[v] = 0;
        data[17] = c17;
        for (int v = 20; v <= 25; ++v) data[v] = 0;
    }

    // A calibration makes an end-member only as a multiple of one plain constituent.
    void lsqdsmake(int16 k) {
        tdvector& data = *rec[k].data;
        if (tab.ncons[k] > 1) bomb("lsqdsmake", "od make not implemented yet", yourfault);
        const tdvector& row = td[tab.cons[k][1]];
        const real c = tab.coef[k][1];
        if (row[15] > 0 || row[17] > 0 || row[24] > 0) {
            bomb("makeemtd", " wrong type of end-member to make", yourfault);
        }
        data[31] = row[31];
        const int scaled = data[31] == 3 ? 5 : 7;
        for (int v = 1; v <= 13; ++v) data[v] = v <= scaled ? c * row[v] : row[v];
    }

    void covmade(int16 k) {
        emvector& c = *rec[k].covrow;
        const int m = tab.ncons[k];
        real self = 0;
        for (int a = 1; a <= m; ++a) {
            for (int b = 1; b <= m; ++b) {
                self += tab.coef[k][b] * cov[tab.cons[k][a]][tab.cons[k][b]] * tab.coef[k][a];
            }
        }
        c[k] = self;
        if (tab.nmade > 1) {
            for (int n = 1; n <= tab.nmade; ++n) {
                const int16 k2 = tab.madek[n];
                if (k2 == k) continue;
                real s = 0;
                for (int a = 1; a <= tab.ncons[k2]; ++a) {
                    for (int b = 1; b <= m; ++b) {
                        s +=
                            tab.coef[k][b] * cov[tab.cons[k2][a]][tab.cons[k][b]] * tab.coef[k2][a];
                    }
                }
                c[k2] = s;
            }
        }
        for (int l = 1; l <= tab.ntotal; ++l) {
            if (tab.madeno[l] != 0) continue;
            real s = 0;
            for (int b = 1; b <= m; ++b) s += cov[tab.dsidx[l]][tab.cons[k][b]] * tab.coef[k][b];
            c[l] = s;
        }
    }

    void finishcov() {
        const int16 n = tab.ntotal;
        if (tab.nmade > 0) {
            for (int k = 1; k <= n; ++k) {
                if (tab.madeno[k] != 0) continue;
                for (int j = 1; j <= tab.nmade; ++j) {
                    const int16 k2 = tab.madek[j];
                    (*rec[k].covrow)[k2] = (*rec[k2].covrow)[k];
                }
            }
        }
        for (int k = 1; k <= n; ++k) {
            for (int l = 1; l <= n; ++l) cov[k][l] = (*rec[k].covrow)[l];
        }
        for (int i = 1; i <= n; ++i) {
            for (int j = i + 1; j <= n; ++j) {
                if (std::fabs(cov[i][j] - cov[j][i]) > 1e-5L) {
                    bomb("finishcov", "matrix not symmetric", myfault);
                }
            }
        }
    }

    void made(int16 k, bool pure) {
        if (calibrationmakes) {
            if (pure) bomb("lsqds", "make not allowed", yourfault);
            lsqdsmake(k);
        } else if (!ds.ds190) {
            const bool twoaqueous =
                tab.ncons[k] >= 2 && td[tab.cons[k][1]][18] != 0 && td[tab.cons[k][2]][18] != 0;
            if (!twoaqueous) {
                domake(k);
            } else {
                // Two aqueous species: a plain combination of their data, no DQF term.
                *rec[k].nmake = 0;
                tdvector& data = *rec[k].data;
                const tdvector& r1 = td[tab.cons[k][1]];
                const tdvector& r2 = td[tab.cons[k][2]];
                for (int v = 1; v <= 17; ++v) {
                    if (v <= 7 || v == 17) {
                        data[v] = tab.coef[k][2] * r2[v] + tab.coef[k][1] * r1[v];
                    }
                }
            }
        } else {
            makeemtd(k);
        }
        covmade(k);
    }

    void doall() {
        prectype1& p1 = *run.arrays.prec1;
        prectype0& p0 = *run.arrays.prec0;
        // Records not made yet hold zeros already.
        for (int p = 1; p <= p1.size(); ++p) {
            for (int j = 1; j <= maxssem; ++j) clearrow(p1[p].em[j].td);
        }
        for (int j = 1; j <= p0.size(); ++j) clearrow(p0[j].td);
        makeemtdtable();
        for (int16 k = 1; k <= tab.ntotal; ++k) {
            const bool pure = k > tab.nsolem;
            if (tab.madeno[k] == 0) {
                plain(k, pure);
            } else {
                made(k, pure);
            }
        }
        ds.nem = tab.ntotal;
        ds.nrxem = tab.ntotal;
        finishcov();
        if (phaseinfo) {
            for (int16 p = 1; p <= run.nss; ++p) printphaseinfo(ses, run, p);
        }
    }

    // Values 18 and 19 (the charges of a charged compound) survive from the a-x reading.
    static void clearrow(tdvector& row) {
        for (int v = 1; v <= ntd; ++v) {
            if (v != 18 && v != 19) row[v] = 0;
        }
    }
};

}  // namespace

void lsqds(Session& ses, Run& run) {
    lsqds(ses, run, run.setup.calibration, ses.runcount == 1);
}

void lsqds(Session& ses, Run& run, bool calibrationmakes, bool phaseinfo) {
    auto work = std::make_unique<Lsqds>(ses, run, calibrationmakes, phaseinfo);
    work->doall();
}

ExtractemSteps extractem_steps() {
    ExtractemSteps steps;
    steps.lsqds = [](Session& ses, Run& run) { lsqds(ses, run); };
    steps.activities = [](Session& ses, Run& run) {
        const AxPT pt = extractem_activities(ses, run, &solve_order);
        if (run.nss > 0) {
            run.windows.pcur = pt.p;
            run.windows.tcur = pt.t;
        }
    };
    return steps;
}

}  // namespace qv
