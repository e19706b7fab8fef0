#include "phasediagram/fractionation.hpp"

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "numerics/convert.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

// The drawing-program listing of the rest, the fractionated part and the normalised sum.
void fractbar(Session& ses, const Run& run, const FractState& f, const std::string& caption) {
    const SystemComponents& comps = run.dataset.components;
    putstr(ses, 0, "<-------------------------------------------->", 1, vxmask);
    putstr(ses, 0, caption, 1, vxmask);
    real total = 0;
    for (int k = 1; k <= comps.ncomp; ++k) total += f.restcomp[k] + f.fractcomp[k];
    std::string names = " ";
    std::string m = "m";
    std::string fr = "f";
    std::string a = "a";
    for (int k = 1; k <= comps.ncomp; ++k) {
        if (!f.flagged[k]) continue;
        addstr(comps.compnames[k], 12, names);
        addreal(8, false, 12, m, f.restcomp[k]);
        addreal(8, false, 12, fr, f.fractcomp[k]);
        addreal(8, false, 12, a, total == 0 ? 0 : (f.restcomp[k] + f.fractcomp[k]) / total);
    }
    addreal(8, false, 12, a, total);
    for (const std::string* line : {&names, &m, &fr, &a}) putstr(ses, 0, *line, 1, vxmask);
}

// The bulk normalised to 100, and its row of the fractionation table (not while the first
// step is repeated).
void normbulk100(Session& ses, FractState& f) {
    real total = 0;
    for (int j = 1; j <= f.nbulk; ++j) total += f.fractbulkcomp[j];
    for (int j = 1; j <= f.nbulk; ++j)
        f.bulk[j] = total == 0 ? 0 : 100 * f.fractbulkcomp[j] / total;
    if (f.fillporosity) return;
    std::string row;
    addreal(4, false, 11, row, f.p);
    addreal(3, false, 11, row, f.t - 273.15L);
    for (int j = 1; j <= f.nbulk; ++j) addreal(5, false, 11, row, f.bulk[j]);
    addreal(5, false, 11, row, f.totalfract);
    putstr(ses, 0, row, 1, vxmask);
}

// fractcomp from the tableau's row of the phase, and restcomp the bulk without it.
void splitbulk(const Run& run, FractState& f) {
    const SystemComponents& comps = run.dataset.components;
    const cvector moles = rowmoles(f.rbi, comps, f.fractphaserow);
    int16 j = 0;
    for (int k = 1; k <= comps.ncomp; ++k) {
        f.restcomp[k] = 0;
        f.fractcomp[k] = moles[k];
        if (!f.flagged[k]) continue;
        ++j;
        f.restcomp[k] = f.fractbulkcomp[j] - f.fractcomp[k];
    }
}

}  // namespace

cvector rowmoles(const RbiTableau& rbi, const SystemComponents& comps, int16 i) {
    cvector moles{};
    real atoms = 0;
    for (int k = 1; k <= comps.ncomp; ++k) atoms += rbi.comps[i][k] * comps.compatoms[k];
    // A row of no atoms contributes nothing.
    if (atoms == 0) return moles;
    const real factor = rbi.modes[i] / atoms;
    for (int k = 1; k <= comps.ncomp; ++k) moles[k] = rbi.comps[i][k] * factor;
    return moles;
}

void setupfract(Session& ses, const Run& run, const FractSettings& fs, bool rbigiven,
                const RbiTableau& rbi, const Fixed1<bool, maxcomp>& flagged, const cvector& bulk,
                FractState& f) {
    if (!rbigiven) bomb("setupfract", "cannot fractionate without rbi", yourfault);
    f = FractState{};
    f.rbi = rbi;
    f.flagged = flagged;
    f.p = fs.p0;
    f.t = fs.t0;
    const SystemComponents& comps = run.dataset.components;
    for (int k = 1; k <= comps.ncomp; ++k) {
        if (!flagged[k]) continue;
        ++f.nbulk;
        f.fractbulkcomp[f.nbulk] = bulk[f.nbulk];
        f.bulk[f.nbulk] = bulk[f.nbulk];
    }
    for (int i = 1; i <= rbi.nrbi && f.fractphaserow == 0; ++i) {
        if (rbi.names[i] == fs.phase) f.fractphaserow = narrow16(i);
    }
    if (f.fractphaserow == 0) bomb("setupfract", "bad name \"" + fs.phase + "\"", yourfault);
    splitbulk(run, f);
    if (run.script.fractdebugcb == controlboolean::yes) fractbar(ses, run, f, "right at start");
    std::string head;
    addstr("P", 11, head);
    addstr("T", 11, head);
    for (int k = 1; k <= comps.ncomp; ++k) {
        if (flagged[k]) addstr(comps.compnames[k], 11, head);
    }
    addstr("lost", 11, head);
    putstr(ses, 0, head, 1, vxmask);
}

void dofract(Session& ses, const Run& run, const FractSettings& fs, FractState& f) {
    real& modef = f.rbi.modes[f.fractphaserow];
    const real d0 = modef - fs.porosity;
    const bool excess = d0 > 0;
    const bool within = std::fabs(d0) < fs.porosity / 1000;
    if (f.fractstep == 0 && !f.fillporosity) {
        if (!within) {
            f.fillporosity =
                modef > fs.porosity || query(ses,
                                             "increase fluid to fill porosity before starting to "
                                             "fractionate");
        }
        // Filling needs some of the phase to scale up.
        if (f.fillporosity && modef <= 0) {
            putstr(ses, 1, "cannot fill porosity: " + fs.phase + " is absent", 1,
                   screensummarylogmask);
            f.fillporosity = false;
        }
    } else {
        f.fillporosity = false;
    }
    real srest = 1;
    real sfract = 1;
    // (1 - mode) of 0: the phase is all of the rock, and the rest stays as it is.
    auto restscale = [&] { return 1 - modef == 0 ? real{1} : (1 - fs.porosity) / (1 - modef); };
    if (f.fillporosity) {
        putstr(ses, 1, "<--repeating first step----->", 1, screensummarylogmask);
        putstr(ses, 0, "to start with porosity just filled", 1, screensummarylogmask);
        srest = restscale();
        sfract = fs.porosity / modef;
        modef = fs.porosity;
    } else {
        ++f.fractstep;
        if (excess) {
            putstr(ses, 1, "<--for following step----------->", 1, screensummarylogmask);
            putstr(ses, 0, "fractionating", 1, screensummarylogmask);
            srest = restscale();
            sfract = fs.porosity / modef;
            f.totalfract += modef - fs.porosity;
            modef = fs.porosity;
        } else {
            const char* rule = f.fractstep == 1 && within ? "<--------------------------------->"
                               : std::fabs(d0) < fs.porosity / 1000000
                                   ? "<--fluid not gained or consumed -->"
                                   : "<--fluid consumed ---------------->";
            putstr(ses, 1, rule, 1, screensummarylogmask);
            putstr(ses, 0, "no fractionation at this step", 1, screensummarylogmask);
        }
        f.p = fs.p0 + fs.dp * f.fractstep;
        f.t = fs.t0 + fs.dt * f.fractstep;
    }
    const SystemComponents& comps = run.dataset.components;
    int16 j = 0;
    for (int k = 1; k <= comps.ncomp; ++k) {
        f.restcomp[k] *= srest;
        f.fractcomp[k] *= sfract;
        if (!f.flagged[k]) continue;
        f.fractbulkcomp[++j] = f.restcomp[k] + f.fractcomp[k];
    }
    if (run.script.fractdebugcb == controlboolean::yes) {
        fractbar(ses, run, f, "step " + realstr(f.fractstep) + " in dofract");
    }
    normbulk100(ses, f);
}

void fractbulk(Session& ses, const Run& run, const FractSettings& fs, int16 nmodes,
               const Fixed1<real, maxeq>& modes, int16 nrows, const Fixed1<cvector, maxrbi>& rows,
               FractState& f) {
    (void)fs;
    if (nrows != nmodes || nmodes > maxrbi) {
        bomb("fractbulk", "fract dimensions mismatch", yourfault);
    }
    f.rbi.nrbi = nmodes;
    for (int i = 1; i <= nmodes; ++i) {
        f.rbi.modes[i] = modes[i];
        f.rbi.comps[i] = rows[i];
    }
    splitbulk(run, f);
    if (run.script.fractdebugcb == controlboolean::yes) {
        fractbar(ses, run, f, "step " + realstr(f.fractstep) + " in fractbulk");
    }
}

}  // namespace qv

namespace qv {

void printfractresults(Session& ses, const Run& run, const FractSettings& fs, const FractResult& r,
                       FractState& f) {
    const real d =
        r.calct ? fs.t0 + fs.dt * (f.fractstep + 1) - r.t : fs.p0 + fs.dp * (f.fractstep + 1) - r.p;
    if (!f.fractstop) f.fractstop = d > 0;
    if (d <= 0) return;
    ++f.naheadinstep;
    putstr(ses, 0, "<-------------------------------------------------->", 1, screensummarylogmask);
    putstr(
        ses, 0,
        std::string(r.losing ? "losing " : "added ") + r.phase + " by batch " + realstr(r.member),
        1, screensummarylogmask);
    real& modef = f.rbi.modes[f.fractphaserow];
    if (f.naheadinstep == 1) {
        f.lostnow = 0;
        // (1 - mode) of 0: the phase is all of the rock, and the rest stays as it is.
        if (fs.porosity < modef && 1 - modef != 0) {
            const real s = (1 - fs.porosity) / (1 - modef);
            for (int i = 1; i <= f.rbi.nrbi; ++i) {
                if (i != f.fractphaserow) f.rbi.modes[i] *= s;
            }
            f.lostnow = modef - fs.porosity;
            f.totalfract += f.lostnow;
            modef = fs.porosity;
            normbulk100(ses, f);
        }
    }
    Fixed1<real, maxeq> modes = r.modes;
    int16 row = 0;
    for (int i = 1; i <= r.nmodes && row == 0; ++i) {
        if (r.names[i] == fs.phase) row = narrow16(i);
    }
    if (row == 0) bomb("printfractresults", "bad name \"" + fs.phase + "\"", yourfault);
    const real m = modes[row];
    if (fs.porosity < m && 1 - m != 0) {
        const real s = (1 - fs.porosity) / (1 - m);
        for (int i = 1; i <= r.nmodes; ++i) {
            if (i != row) modes[i] *= s;
        }
        f.totalfract += m - fs.porosity - f.lostnow;
        modes[row] = fs.porosity;
    }
    if (r.nrows != r.nmodes || r.nmodes > maxrbi) {
        bomb("printfractresults", "mismatch", yourfault);
    }
    const SystemComponents& comps = run.dataset.components;
    const std::string rule = "% ========================================================";
    putstr(ses, 1, "% --------------------------------------------------------", 1, logmask);
    putstr(ses, 0, "% rbi with extra precision for restarting fractcalcs with new equilibrium", 1,
           logmask);
    std::string line = "% at P = ";
    addreal(4, false, 0, line, r.p);
    line += " kbar, and T = ";
    addreal(3, false, 0, line, r.t - 273.15L);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, rule, 1, logmask);
    putstr(ses, 0, run.dataset.ds190 ? "% 1-oxide-based modes" : "% 1-element-based modes", 1,
           logmask);
    line = "%      ";
    for (int i = 1; i <= r.nmodes; ++i) addstr(r.names[i], 13, line);
    putstr(ses, 0, line, 1, logmask);
    line = "rbi yes";
    for (int i = 1; i <= r.nmodes; ++i) addreal(6, true, 13, line, modes[i]);
    putstr(ses, 0, line, 1, logmask);
    line = "%      ";
    for (int k = 1; k <= comps.ncomp; ++k) addstr(comps.compnames[k], 13, line);
    putstr(ses, 1, line, 1, logmask);
    RbiTableau tab;
    tab.nrbi = r.nmodes;
    for (int i = 1; i <= r.nmodes; ++i) {
        line = "rbi    ";
        for (int k = 1; k <= comps.ncomp; ++k) addreal(6, true, 13, line, r.rows[i][k]);
        putstr(ses, 0, line + "    % " + r.names[i], 1, logmask);
        tab.modes[i] = modes[i];
        tab.comps[i] = r.rows[i];
    }
    putstr(ses, 0, rule, 1, logmask);
    // The bulk of the rows with the working modes, normalised to 100.
    cvector bulk{};
    real total = 0;
    for (int i = 1; i <= r.nmodes; ++i) {
        const cvector moles = rowmoles(tab, comps, narrow16(i));
        for (int k = 1; k <= comps.ncomp; ++k) bulk[k] += moles[k];
    }
    for (int k = 1; k <= comps.ncomp; ++k) total += bulk[k];
    for (int k = 1; k <= comps.ncomp; ++k) bulk[k] = total == 0 ? 0 : 100 * bulk[k] / total;
    // The table row keeps a column for every component of the header (0 where absent).
    line.clear();
    addreal(4, false, 11, line, r.p);
    addreal(3, false, 11, line, r.t - 273.15L);
    for (int k = 1; k <= comps.ncomp; ++k) {
        if (f.flagged[k]) addreal(5, false, 11, line, std::fabs(bulk[k]) > 1e-9L ? bulk[k] : 0);
    }
    addreal(5, false, 11, line, f.totalfract);
    putstr(ses, 0, line, 1, vxmask);
    line = "% bulk ";
    for (int k = 1; k <= comps.ncomp; ++k) addreal(6, true, 13, line, bulk[k]);
    putstr(ses, 0, line, 1, logmask);
    putstr(ses, 0, "% --------------------------------------------------------", 1, logmask);
}

}  // namespace qv
