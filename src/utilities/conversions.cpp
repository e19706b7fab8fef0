#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/expressions.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "utilities/analyses.hpp"

namespace qv {
namespace {

const std::string rbirule = "%" + std::string(59, '-');
const std::string xyzrule = "% " + std::string(53, '-');

// The solution phase with this short name among the run's phases; 0 when none.
int16 solutionphase(const Run& run, const std::string& name) {
    const prectype1& ss = *run.arrays.prec1;
    for (int p = 1; p <= run.nss; ++p) {
        if (ss[p].name == name) return narrow16(p);
    }
    return 0;
}

int16 oxideindex(const ComponentTable& oxides, const std::string& name) {
    for (int k = 1; k <= maxcomp; ++k) {
        if (oxides.oxidenames[k] == name) return narrow16(k);
    }
    return 0;
}

// A number of a constraint line: whole numbers without decimals, others with 3.
std::string constraintnumber(real x) {
    return std::fabs(x - std::round(x)) < 1e-5L ? realstr(x) : realfixstr(3, true, x);
}

// The amount of a component in a formula unit: whole numbers without decimals.
void addamount(std::string& line, real x) {
    if (std::fabs(x - std::round(x)) < 1e-5L) {
        addgreal(10, line, x);
    } else {
        addreal(6, true, 10, line, x);
    }
}

// The mode of a phase in the rock, from the script's "rbi" block; 0 when not given.
real rockmode(const Run& run, const std::string& name) {
    const ScriptTables& t = *run.script.tables;
    for (int k = 1; k <= run.script.nrbi && k <= maxrbirows; ++k) {
        if (t.rbiphase[k] == name) return t.rbimode[k];
    }
    return 0;
}

void heading(Session& ses, const mineraltype& m) {
    putstr(ses, 1, std::string(84, '='), 1, screensummarylogmask);
    if (!m.idealon) {
        putstr(ses, 0, "recalc of " + m.name, 1, screensummarylogmask);
        return;
    }
    putstr(ses, 0, "ideal analysis of " + m.name + " with", 1, screensummarylogmask);
    for (int c = 1; c <= m.npeq; ++c) {
        const PeqConstraint& q = m.peq[c];
        std::string line = "  ";
        if (q.constant != 0) line += constraintnumber(q.constant);
        for (int t = 1; t <= q.nterms; ++t) {
            const real a = q.coef[t];
            if (a == 1) {
                if (t > 1 || q.constant != 0) line += " + ";
            } else if (a == -1) {
                line += " - ";
            } else if (a > 0) {
                line += " + " + constraintnumber(a);
            } else {
                line += " - " + constraintnumber(-a);
            }
            line += q.names[t];
        }
        line += " = " + constraintnumber(q.rhs);
        putstr(ses, 0, line, c == m.npeq ? 2 : 1, screensummarylogmask);
    }
}

void analysistable(Session& ses, const mineraltype& m) {
    std::string line(5, ' ');
    for (int i = 1; i <= m.nox; ++i) addstr(m.oxnames[i] == "Fe2O3" ? "O" : m.oxnames[i], 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    writeanalysisrows(ses, m, "c(0)", m.c0);
    if (m.idealon) {
        line.clear();
        addstr("c(id)", -5, line);
        for (int i = 1; i <= m.nox; ++i) addreal(4, true, 10, line, m.cid[i]);
        putstr(ses, 0, line, 1, screensummarylogmask);
        putstr(ses, 1, "sigfit = " + realfixstr(3, true, m.sigfit), 1, screensummarylogmask);
    }
}

}  // namespace

void mineralcalc(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    ScriptTables& tab = *sc.tables;
    const SystemComponents& comps = run.dataset.components;
    const ComponentTable& oxides = run.comps;
    prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;

    // A count of 0 or below (no "convert" mineral lines) means no analyses.
    if (sc.nwtmin <= 0) {
        putstr(ses, 1, "no analyses to recalculate", 1, screensummarylogmask);
    }
    sc.nmin = sc.nwtmin > 0 ? sc.nwtmin : int16{0};
    for (int k = 1; k <= sc.nmin; ++k) tab.minerals[k] = tab.wtminerals[k];

    Fixed1<std::string, maxminerals> rbirows{};
    for (int k = 1; k <= sc.nmin; ++k) {
        mineraltype& m = tab.minerals[k];
        if (!m.analysisgiven) continue;
        const int16 p = solutionphase(run, m.name);
        if (p == 0) bomb("mineralcalc", "unrecognised phase, " + m.name, yourfault);
        m.phase = p;
        ptype1& ph = ss[p];
        if (std::fabs(ph.oxygens - m.oxygenbasis) > 1) {
            bomb("mineralcalc", "right formula unit for " + m.name + "?", yourfault);
        }
        heading(ses, m);
        calcxyz(ses, oxides, m, ph);
        analysistable(ses, m);
        printmineralxyz(ses, m);
        printxyzscript(ses, m, ph.fullname);
        putstr(ses, 1, "[ this xyz info is in scriptfile form in the logfile ]", 1, screenmask);

        // Back to total iron: the FeO slot holds all iron and the extra slot the ferric
        // oxygen per formula unit.
        if (m.feoslot2 > 0 && m.extraslot2 > 0) {
            m.cid[m.extraslot2] = 0.5L * m.cid[m.extraslot2];
            m.cid[m.feoslot2] = m.cid[m.feoslot2] + 2 * m.cid[m.extraslot2];
        }
        std::string row = "rbi";
        addstr(m.name, 6, row);
        addstr("??", 8, row);
        for (int i = 1; i <= comps.ncomp; ++i) {
            const std::string& cname = comps.compnames[i];
            if (cname == "H2O" || cname == "CO2") {
                addreal(
                    6, true, 10, row,
                    static_cast<real>(ph.em[1].comp[i]) / static_cast<real>(comps.compdenom[i]));
                continue;
            }
            real v = -1;
            for (int s = 1; s <= m.nox; ++s) {
                const std::string& on = s == m.extraslot2 ? std::string("O") : m.oxnames[s];
                if (on == cname) {
                    v = m.cid[s];
                    break;
                }
            }
            const int16 ox = oxideindex(oxides, cname);
            const real d = ox > 0 ? oxides.cationsperoxide[ox] : 0;
            if (v >= -0.99L) {
                addreal(6, true, 10, row, d == 0 ? v : v / d);
            } else {
                addstr("0", 10, row);
            }
        }
        rbirows[k] = row;

        putstr(ses, 1, "moles of oxides in " + m.name + " for rbi", 1, screenlogmask);
        std::string line;
        for (int i = 1; i <= comps.ncomp; ++i) addstr(comps.compnames[i], 10, line);
        putstr(ses, 0, line, 1, screenlogmask);
        putstr(ses, 0, row.size() > 17 ? row.substr(17) : std::string(), 1, screenlogmask);
        line = "check";
        for (int s = 1; s <= m.nox; ++s) {
            if (s != m.extraslot) addstr(m.oxnames[s], 10, line);
        }
        if (m.extraslot > 0) addstr("O", 10, line);
        putstr(ses, 1, line, 0, screenlogmask);
        line = "wt   ";
        real oxsum = 0;
        for (int s = 1; s <= m.nox; ++s) {
            addreal(3, true, 10, line, m.wt[s]);
            oxsum += m.oxygens[s] * m.wt[s] / m.molarmass[s];
        }
        putstr(ses, 1, line, 0, screenlogmask);
        line = "mole ";
        for (int s = 1; s <= m.nox; ++s) {
            addreal(6, true, 10, line, m.oxygenbasis * (m.wt[s] / m.molarmass[s]) / oxsum);
        }
        putstr(ses, 1, line, 1, screenlogmask);
    }

    makerbi(ses, run);
    putstr(ses, 2, "% rbi info: add modes for ?? (and reduce H2O in bi by cTi)", 1, logmask);
    putstr(ses, 0, rbirule, 1, logmask);
    std::string line = "rbi" + std::string(14, ' ');
    for (int i = 1; i <= comps.ncomp; ++i) addstr(comps.compnames[i], 10, line);
    putstr(ses, 0, line, 1, logmask);
    for (int k = 1; k <= sc.nmin; ++k) {
        if (!rbirows[k].empty()) putstr(ses, 0, rbirows[k], 1, logmask);
    }
    if (sc.nwithphases > 0) {
        for (int i = 1; i <= run.npure; ++i) {
            line = "rbi";
            addstr(pure[i].name, 6, line);
            addstr("??", 8, line);
            for (int c = 1; c <= comps.ncomp; ++c) {
                addreal(6, true, 10, line,
                        static_cast<real>(pure[i].comp[c]) / static_cast<real>(comps.compdenom[c]));
            }
            putstr(ses, 0, line, 1, logmask);
        }
    }
    putstr(ses, 0, rbirule, 1, logmask);
    putstr(ses, 1, "[ rbi info in scriptfile form at the end of the logfile ]", 1, screenmask);
}

void makerbi(Session& ses, Run& run) {
    ScriptSettings& sc = run.script;
    ScriptTables& tab = *sc.tables;
    const SystemComponents& comps = run.dataset.components;
    const prectype1& ss = *run.arrays.prec1;
    const prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= sc.nmin; ++k) {
        mineraltype& m = tab.minerals[k];
        const int16 p = solutionphase(run, m.name);
        if (p == 0) bomb("make rbi", "unrecognised phase, " + m.name, yourfault);
        m.phase = p;
        const ptype1& ph = ss[p];
        int norder = 0;
        for (int v = 1; v <= ph.nvar; ++v) {
            if (ph.var[v].isorder) ++norder;
        }
        if (ph.nvar != norder + m.nxyz) bomb("make rbi", "phase size mismatch", yourfault);
        eqvector values{};
        int j = 0;
        for (int v = 1; v <= ph.nvar; ++v) values[v] = ph.var[v].isorder ? 0 : m.xyz[++j];
        cvector comp{};
        for (int e = 1; e <= ph.nem; ++e) {
            const real pe = evalexpr(values, 1, ph.p[e]);
            for (int c = 1; c <= comps.ncomp; ++c) {
                comp[c] += pe * ph.em[e].comp[c] / static_cast<real>(comps.compdenom[c]);
            }
        }
        if (k == 1) {
            ses.console.write("[ rbi is in the logfile ]\n");
            putstr(ses, 1, xyzrule, 1, logmask);
            std::string line = "%" + std::string(8, ' ') + std::string(14, ' ');
            for (int c = 1; c <= comps.ncomp; ++c) addstr(comps.compnames[c], 10, line);
            putstr(ses, 0, line, 1, logmask);
        }
        std::string line = "bulk  rbi";
        addstr(m.name, 6, line);
        addreal(4, true, 10, line, rockmode(run, m.name));
        for (int c = 1; c <= comps.ncomp; ++c) addamount(line, comp[c]);
        putstr(ses, 0, line, 1, logmask);
    }
    for (int i = 1; i <= run.npure; ++i) {
        std::string line = "bulk  rbi";
        addstr(pure[i].name, 6, line);
        addreal(4, true, 8, line, rockmode(run, pure[i].name));
        for (int c = 1; c <= comps.ncomp; ++c) {
            addamount(line,
                      static_cast<real>(pure[i].comp[c]) / static_cast<real>(comps.compdenom[c]));
        }
        putstr(ses, 0, line, 1, logmask);
    }
    putstr(ses, 0, xyzrule, 1, logmask);
}

void bulkcalc(Session& ses, Run& run) {
    const ScriptSettings& sc = run.script;
    if (sc.nbulkconvwt <= 0) return;
    const ComponentTable& oxides = run.comps;
    const SystemComponents& comps = run.dataset.components;
    int n = sc.nbulkconvwt;
    Fixed1<std::string, maxanalysis + 2> names{};
    Fixed1<real, maxanalysis + 2> amounts{};
    Fixed1<bool, maxanalysis + 2> converted{};
    for (int i = 1; i <= n; ++i) {
        names[i] = sc.bulkconvox[i];
        amounts[i] = sc.bulkconvwt[i];
        // An entry that is not an oxide of the table cannot be turned into moles; it is never
        // taken as a component and is reported as ignored, in wt%.
        const int16 ox = oxideindex(oxides, names[i]);
        converted[i] = ox > 0;
        if (ox > 0) amounts[i] /= oxides.oxidemass[ox];
    }
    // Ferric iron: Fe2O3 as FeO and the extra oxygen.
    for (int i = 1; i <= n; ++i) {
        if (names[i] != "Fe2O3") continue;
        const real f = amounts[i] / (oxides.oxidemass[10] + 2 * oxides.oxidemass[4]);
        auto addto = [&](const std::string& name, real amount) {
            for (int j = 1; j <= n; ++j) {
                if (names[j] == name) {
                    amounts[j] += amount;
                    return;
                }
            }
            ++n;
            names[n] = name;
            amounts[n] = amount;
            converted[n] = true;
        };
        addto("FeO", 2 * f);
        addto("O", f);
        for (int j = i; j < n; ++j) {
            names[j] = names[j + 1];
            amounts[j] = amounts[j + 1];
            converted[j] = converted[j + 1];
        }
        --n;
        break;
    }
    Fixed1<bool, maxanalysis + 2> used{};
    cvector mole{};
    for (int c = 1; c <= comps.ncomp; ++c) {
        mole[c] = -1;
        for (int i = 1; i <= n; ++i) {
            if (converted[i] && names[i] == comps.compnames[c]) {
                mole[c] = amounts[i];
                used[i] = true;
                break;
            }
        }
    }
    real total = 0;
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (mole[c] > -0.99L) total += mole[c];
    }
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (mole[c] > -0.99L) mole[c] = 100 * mole[c] / total;
    }
    bool anyunused = false;
    std::string line = "ignoring, in the input bulk ";
    for (int i = 1; i <= n; ++i) {
        if (used[i]) continue;
        anyunused = true;
        line +=
            names[i] + "=" + realfixstr(4, true, amounts[i]) + (converted[i] ? "" : " wt%") + "; ";
    }
    if (anyunused) putstr(ses, 0, line, 1, screensummarylogmask);

    putstr(ses, 1, "_________________________", 1, screensummarylogmask);
    putstr(ses, 0, "bulk composition in mole%", 1, screensummarylogmask);
    line.clear();
    for (int c = 1; c <= comps.ncomp; ++c) addstr(comps.compnames[c], 10, line);
    putstr(ses, 0, line, 1, screensummarylogmask);
    line.clear();
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (mole[c] > -0.99L) {
            addreal(4, true, 10, line, mole[c]);
        } else {
            addstr("??", 10, line);
        }
    }
    putstr(ses, 0, line, 1, screensummarylogmask);

    putstr(ses, 1, "[ this bulk info is in scriptfile form in the logfile, ]", 2, screenmask);
    putstr(ses, 1, "[ for copying into the scriptfile ]", 1, logmask);
    putstr(ses, 0, rbirule, 1, logmask);
    line = "bulk  ";
    for (int c = 1; c <= comps.ncomp; ++c) addstr(comps.compnames[c], 8, line);
    putstr(ses, 0, line, 1, logmask);
    line = "bulk  ";
    for (int c = 1; c <= comps.ncomp; ++c) {
        if (mole[c] > -0.99L) {
            addreal(3, true, 8, line, mole[c]);
        } else {
            addstr("??", 8, line);
        }
    }
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rbirule, 1, logmask);
    putstr(ses, 0, "% bulk, in mole%, derived from the following analysis in wt%:", 1, logmask);
    line = "%     ";
    for (int i = 1; i <= sc.nbulkconvwt; ++i) addstr(sc.bulkconvox[i], 8, line);
    putstr(ses, 0, line, 1, logmask);
    line = "%     ";
    for (int i = 1; i <= sc.nbulkconvwt; ++i) addreal(2, true, 8, line, sc.bulkconvwt[i]);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rbirule, 1, logmask);
}

}  // namespace qv
