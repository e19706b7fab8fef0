// Modes of a result: the modes table with the system's properties, the activity row of the
// "lsqds" form, and the mode box for the drawing program and the csv file.

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "phasediagram/printlayout.hpp"
#include "phasediagram/resultprinters.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

constexpr int xformat = 4;  // decimals of calculated modes in a phase diagram run

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

// The phase of the result that mode variable j belongs to: the j-th phase that takes a mode.
int modevarphase(const Result& cur, int j) {
    int m = 0;
    for (int i = 1; i <= cur.nphases; ++i) {
        if (cur.ph[i].hasmode && ++m == j) return i;
    }
    return 0;
}

// The position on the bulk line of mode set s: with one bulk point 4 blanks; with the modes
// solved for, the bulk step of the result; in a univariant run the sets come in pairs, one for
// each end of the reaction, and only the first of a pair carries the position.
void addmodeposition(const PdRun& pd, const Result& cur, int s, std::string& line) {
    if (cur.nbulk <= 1) {
        addstr("", 4, line);
    } else if (pd.modesinsolve) {
        addgreal(6, line, cur.bulkstep);
        addreal(4, true, 8, line, cur.bulkposition);
    } else if (pd.maxvariance == 1) {
        if (s % 2 == 1) {
            const int p = cur.firstmodestep + (s - 1) / 2;
            addgreal(4, line, p);
            addreal(4, true, 10, line, cur.bulkpos[p]);
        } else {
            addstr("", 14, line);
        }
    } else {
        const int p = cur.firstmodestep + s - 1;
        addgreal(4, line, p);
        addreal(4, true, 10, line, cur.bulkpos[p]);
    }
}

// The phases of the result left out of the modes ("inexcess0") and the factor that
// renormalises the others, for mode set `slot`.
struct ModeNorm {
    Fixed1<bool, maxresultphases> zeroed{};
    bool anyzeroed = false;
    real factor = 1;
};

ModeNorm modenorm(const Run& run, const Result& cur, int slot) {
    ModeNorm norm;
    norm.factor = modenormfactor(run, cur, narrow16(slot), norm.zeroed);
    for (int i = 1; i <= cur.nphases; ++i) norm.anyzeroed = norm.anyzeroed || norm.zeroed[i];
    return norm;
}

}  // namespace

// Kept whole: one printed block whose lines share the mode uncertainties formed at its start.
void printmodes(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const ScriptSettings& sc = run.script;
    const Result& cur = st.cur;
    const int32 set = resulttableset(run, pd);
    const ModeNorm norm = modenorm(run, cur, 1);
    const bool fullprops = !sc.dogminon && !norm.anyzeroed;
    const bool manybulk = cur.nbulk > 1;

    std::string line = "mode  ";
    if (manybulk) addstr("pos   prop", 10, line);
    for (int i = 1; i <= cur.nphases; ++i) {
        if (cur.ph[i].shown) addstr(cur.ph[i].name, 10, line);
    }
    if (pd.compatrowon) {
        addstr("G", 12, line);
        if (fullprops) {
            addstr("H", 12, line);
            addstr("S", 10, line);
            addstr("V", 10, line);
            addstr("rho", 10, line);
        }
    }
    if (!sc.dogminon) {
        if (yes(sc.calcah2ocb)) addstr("a(H2O)", 10, line);
        if (yes(sc.calcmuocb)) addstr("mu(O)", 12, line);
    }
    putstr(ses, 1, line, 1, set);

    bool bad = false;
    for (int s = 1; s <= cur.nmodesteps; ++s) {
        bad = false;
        if (yes(sc.c8cb)) {
            for (int i = 1; i <= cur.nphases; ++i) {
                const real m = cur.ph[i].mode[s];
                if (cur.ph[i].shown && (m < 0 || m > 1)) bad = true;
            }
        }
        line = bad ? "# " : sc.calcsdlevel < 1 ? "  " : "m ";
        addmodeposition(pd, cur, s, line);
        for (int i = 1; i <= cur.nphases; ++i) {
            if (!cur.ph[i].shown) continue;
            const real m = cur.ph[i].mode[s];
            if (m == 0) {
                addstr("", 10, line);
            } else {
                addreal(xformat, false, 10, line, m);
            }
        }
        if (pd.compatrowon && !bad) {
            addreal(5, true, 12, line, cur.sys.g[s]);
            if (fullprops) {
                addreal(5, true, 12, line, cur.sys.h[s]);
                addreal(4, true, 10, line, cur.sys.s[s]);
                addreal(4, true, 10, line, cur.sys.v[s]);
                addreal(4, true, 10, line, cur.sys.density[s]);
            }
        }
        if (!sc.dogminon) {
            // Both belong to the point, not to the mode set: every set shows the same values.
            if (yes(sc.calcah2ocb)) {
                DerivedMuTables tab = derivedmutables("printmodes", run, st);
                st.cur.ah2o = docalcah2o(ses, tab, cur.p, cur.t);
                addreal(4, true, 10, line, cur.ah2o);
            }
            if (yes(sc.calcmuocb)) {
                DerivedMuTables tab = derivedmutables("printmodes", run, st);
                st.cur.muo = docalcmuo(ses, tab, cur.p, cur.t);
                addreal(4, true, 12, line, cur.muo);
            }
        }
        putstr(ses, 0, line, 1, set);
        if (std::fabs(norm.factor - 1) > 1e-8L && !bad) {
            line = std::string(manybulk ? 16 : 6, ' ');
            for (int i = 1; i <= cur.nphases; ++i) {
                if (!cur.ph[i].shown) continue;
                const real m = cur.ph[i].mode[s];
                if (norm.zeroed[i]) {
                    addstr("z", 10, line);
                } else if (m == 0) {
                    addstr("", 10, line);
                } else {
                    addreal(xformat, false, 10, line, m * norm.factor);
                }
            }
            putstr(ses, 0, line, 1, set);
        }
    }

    // A batch member calculated with its own bulk shows that bulk when "mcdebug" is on.
    if (yes(sc.mcdebugcb) && st.memberbulk) {
        const BulkState& bulk = pd.bulk;
        const SystemComponents& comps = run.dataset.components;
        std::string text = "\nwith bulk";
        for (int c = 1; c <= comps.ncomp; ++c) {
            if (bulk.reducedcomp[c]) addstr(comps.compnames[c], 8, text);
        }
        text += "\n" + spaces(9);
        for (int i = 1; i <= bulk.nuvleft; ++i) addreal(2, true, 8, text, bulk.bulkstart[i]);
        ses.console.write(text + "\n");
    }

    if (pd.xco2varon && yes(sc.fificb)) {
        eqvector modes;
        real xco2 = 0;
        real xh2o = 0;
        fificalc(ses, pointphases(run, st, modes), cur.compused, xco2, xh2o);
    }

    // Uncertainties of the mode variables: the log ratios to the reference mode, then the parts
    // of their standard deviations.
    if (sc.calcsdlevel > 0 && (!yes(sc.c8cb) || !bad)) {
        const int16 nx = run.nxvars;
        const int ref = st.sdv.refmodevar;
        const int refphase = ref > 0 ? modevarphase(cur, ref) : 0;
        if (refphase > 0 && norm.zeroed[refphase]) {
            bomb("printmodes", "zeroed mode-logratio clash", yourfault);
        }
        line.clear();
        addstr("m'", -6, line);
        for (int j = 1; j <= run.nmodevars; ++j) {
            const int phase = modevarphase(cur, j);
            const real v = st.varvalues[nx + j];
            if (j == ref) {
                addstr("//", 10, line);
            } else if (!st.varcalculated[nx + j]) {
                addstr("", 10, line);
            } else if (phase > 0 && norm.zeroed[phase]) {
                addstr("-", 10, line);
            } else if (!yes(sc.c8cb) || v > 0) {
                if (v < 0 || ref < 1) {
                    addstr("", 10, line);
                } else {
                    addreal(4, false, 10, line, std::log(v / st.varvalues[nx + ref]));
                }
            } else {
                addstr("@", 10, line);
            }
        }
        putstr(ses, 0, line, 1, set);
        const char* labels[] = {"h", "w", "b", "sd"};
        for (int r = sc.calcsdlevel > 1 ? 0 : 3; r < 4; ++r) {
            line.clear();
            addstr(labels[r], -6, line);
            for (int j = 1; j <= run.nmodevars; ++j) {
                const int phase = modevarphase(cur, j);
                const int i = nx + j;
                const real v = r == 0   ? st.sdv.h[i]
                               : r == 1 ? st.sdv.w[i]
                               : r == 2 ? st.sdv.b[i]
                                        : st.sdv.sd[i];
                if (phase > 0 && norm.zeroed[phase]) {
                    addstr("", 10, line);
                } else if (v <= 0) {
                    addstr(r < 2 ? "0" : r == 2 ? "" : " ", 10, line);
                } else {
                    addreal(4, false, 10, line, v);
                }
            }
            putstr(ses, 0, line, 1, set);
        }
    }

    if (yes(sc.morepreccb)) {
        std::string out = "\n";
        for (int i = 1; i <= cur.nphases; ++i) {
            const ResultPhase& ph = cur.ph[i];
            if (ph.nem < 2) continue;
            const CalcPhase& cp = (*st.xref.calcphaselist)[i];
            out += "{";
            for (int k = 1; k < ph.nem; ++k) {
                out += cp.varnames[k] + " -> ";
                std::string value;
                addreal(10, true, 12, value, ph.x[k]);
                out += value;
                if (k < ph.nem - 1) {
                    out += ", ";
                    if (k % 8 == 0) out += "\n ";
                }
            }
            out += "}\n";
        }
        ses.console.write(out);
    }
}

void printactivityrow(Session& ses, Run&, PdRun&, SolveState& st) {
    const Result& cur = st.cur;
    // The end-members of the calculation in order, with their activities.
    std::vector<std::string> names;
    std::vector<real> acts;
    for (int i = 1; i <= cur.nphases; ++i) {
        const CalcPhase& cp = (*st.xref.calcphaselist)[i];
        for (int k = 1; k <= cur.ph[i].nem; ++k) {
            names.push_back(cp.emnames[k]);
            acts.push_back(cur.ph[i].act[k]);
        }
    }
    const auto nem = narrow16(names.size());
    const int16 width = ses.ch.pagewidth;
    const bool header = activityrowtoowide(nem, width) || cur.nmodesteps > 0;
    const std::vector<ColumnBlock> blocks = activityblocks(nem, width);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (st.progresscount > 0) {
            putstr(ses, 0, "", 1, screenlogmask);
            st.progresscount = 0;
        }
        if (header) {
            std::string line = " ";
            if (b == 0) {
                addstr("P(kbar)", 8, line);
                addstr(tempcheading(), 10, line);
            } else {
                addstr("", 18, line);
            }
            for (int k = blocks[b].first; k <= blocks[b].last; ++k) {
                addstr(names[static_cast<std::size_t>(k - 1)], 12, line);
            }
            putstr(ses, 0, line, 1, screensummarylogmask);
        }
        std::string line = " ";
        if (b == 0) {
            addreal(3, true, 8, line, cur.p);
            addreal(2, true, 10, line, cur.t - 273.15L);
        } else {
            addstr("", 18, line);
        }
        for (int k = blocks[b].first; k <= blocks[b].last; ++k) {
            addreal(6, false, 12, line, acts[static_cast<std::size_t>(k - 1)]);
        }
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
}

void printmodebox(Session& ses, Run& run, PdRun& pd, SolveState& st) {
    const Result& cur = st.cur;
    const ModeNorm norm = modenorm(run, cur, 1);
    const bool onebulk = cur.nbulk < 2;
    std::string line = "{{" + realfixstr(3, true, cur.p) + ", " +
                       realfixstr(2, true, cur.t - 273.15L) + ", " +
                       (onebulk ? std::string("0") : realfixstr(3, true, cur.bulkposition)) + "}";
    for (int i = 1; i <= cur.nphases; ++i) {
        if (norm.zeroed[i]) continue;
        line += ", {\"" + cur.ph[i].name + "\", " +
                realfixstr(5, true, cur.ph[i].mode[1] * norm.factor) + "}";
    }
    line += "}, ";
    putstr(ses, 1, line, 1, vxmask);

    // The csv columns are the phases of the script's "with" list, so that the rows of every
    // assemblage of the run line up.
    const SystemSettings& sys = run.script;
    std::vector<std::string> withnames;
    if (sys.nwithphases == 101) {
        for (int i = 1; i <= cur.nphases; ++i) withnames.push_back(cur.ph[i].name);
    } else {
        for (int k = 1; k <= sys.nwithphases; ++k) withnames.push_back(sys.withlist[k]);
    }
    if (pd.firstpass && st.ngood == 1) {
        line.clear();
        addcsv("P(kbar),", 11, line);
        addcsv("T(C),", 11, line);
        addcsv("prop,", 11, line);
        for (const std::string& name : withnames) {
            bool left = false;
            for (int i = 1; i <= cur.nphases; ++i) {
                if (norm.zeroed[i] && sameword(cur.ph[i].name, name)) left = true;
            }
            if (!left) addcsv(name + ",", 11, line);
        }
        putrow(ses, line, csvmask);
    }
    auto csvline = [&](int s) {
        std::string row;
        addcsvreal(3, true, 10, row, cur.p);
        row += ",";
        addcsvreal(2, true, 10, row, cur.t - 273.15L);
        row += ",";
        if (onebulk) {
            addcsv("0", 10, row);
        } else {
            addcsvreal(3, true, 10, row, cur.bulkposition);
        }
        row += ",";
        int next = 1;
        for (const std::string& name : withnames) {
            if (next <= cur.nphases && sameword(cur.ph[next].name, name)) {
                if (!norm.zeroed[next]) {
                    addcsvreal(5, true, 10, row, cur.ph[next].mode[s] * norm.factor);
                    row += ",";
                }
                ++next;
            } else {
                addcsv("0,", 11, row);
            }
        }
        putrow(ses, row, csvmask);
    };
    csvline(1);
    if (pd.variance == 1 && pd.maxvariance == 1) csvline(2);
}

}  // namespace qv
