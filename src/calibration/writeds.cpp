#include "calibration/writeds.hpp"

#include <cmath>
#include <cstdio>

#include "base/fatal.hpp"
#include "calibration/calibfiles.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"

namespace qv {
namespace {

// The values that end line 4 of a record.
std::string extras(const tdrec& t, bool ion) {
    if (t.Smax > 0) {
        return fixfield(std::nearbyint(t.tcrit), 7, 0) + fixfield(t.Smax, 10, 5) +
               fixfield(t.Vmax, 10, 4);
    }
    if (t.type8value != 0 || ion) return fixfield(t.type8value, 8, 4);
    if (t.odn > 0.5) {
        return fixfield(t.od1, 7, 2) + fixfield(t.od2, 7, 4) + fixfield(t.od3, 7, 2) +
               fixfield(t.od4, 7, 4) + intfield(t.odn, 6) + fixfield(t.odf, 7, 2);
    }
    return {};
}

}  // namespace

void writeds(Session& ses, Calibration& cal, bool numericalon, bool hqzon) {
    const int n = cal.ntp;
    // A conversion writes the new layout; a layout-7 file keeps its own.
    if (!cal.writingresults && cal.dsmode != 7) cal.dsmode = 6;
    // The dataset reader takes a first number below 51, or 190, for a layout number: such an
    // old-layout file is written in layout 6.
    if (cal.dsmode == 5 && (n < 51 || n == 190)) {
        cal.dsmode = 6;
        putstr(ses, 1,
               "dataset written in layout 6: the old layout cannot hold " + std::to_string(n) +
                   " end-members",
               1, screenlogmask);
    }
    OutFile out;
    std::string filename;
    std::string namepart = cal.prefs.qvdssuffix + ".txt";
    if (namepart.size() > 22) namepart.resize(22);
    openwrite(filename, "qv-ds", namepart, out);
    putstr(ses, 1, "writing data to \"" + filename + "\"", 1, screenlogmask);
    // The dataset reader takes the layout from the character after "qv-ds".
    const char tag = filename.size() > 5 ? filename[5] : ' ';
    if (tag != '5' && tag != '6' && tag != '7') {
        putstr(ses, 0,
               "warning: the dataset reader refuses this name: the suffix should start with 5, 6 "
               "or 7",
               1, screenlogmask);
    }
    std::string text;
    const std::string fiddle = "    don't fiddle with the numbers: you'll BREAK the dataset...";
    const bool old = cal.dsmode == 5;
    if (old) {
        text += intfield(n, 4) + fiddle + "\n  \n5\n";
    } else {
        text += std::to_string(cal.dsmode) + "  " + std::to_string(n) + fiddle + "\n  \n";
    }
    const std::string switches = numericalon ? (hqzon ? " tt" : " tf") : (hqzon ? " ft" : " ff");
    for (int i = 1; i <= n; ++i) {
        const tdrec& t = cal.tda[i];
        const char last = t.name.empty() ? ' ' : t.name.back();
        const bool melt = last == 'L';
        const bool ion = last == '+' || last == '-';
        const bool landau = cal.dsmode == 7 && t.tdcode >= 3 && t.tdcode <= 5;
        const real h = cal.writingresults ? cal.theta[i] : t.H;
        std::string l1;
        if (old) {
            l1 = t.name;
            if (l1.size() < 8) l1.insert(0, 8 - l1.size(), ' ');
        } else {
            // At least one blank, so that the reader keeps name and label apart. The reader
            // takes the word after the name for the label: an end-member read without one
            // takes its name, so that the site count stays third.
            l1 = t.name + spaces(t.name.size() < 7 ? static_cast<int>(7 - t.name.size()) : 1) +
                 (t.label.empty() ? t.name : t.label);
        }
        l1 += intfield(t.nsite, 4);
        for (int p = 1; p <= t.nel; ++p) {
            l1 += intfield(t.formulael[p], 3) + fixfield(t.formulaamt[p], 9, 4);
        }
        l1 += "  0";
        if (i == 1) l1 += switches;
        text += l1 + "\n";
        text += (old ? spaces(7) : intfield(t.tdcode, 5)) + fixfield(h, 11, 3) +
                fixfield(t.S, 10, 5) + fixfield(t.V, 9, 4) + "\n";
        if (landau) {
            text += spaces(4) + fixfield(t.cpalt1, 11, 5) + fixfield(t.cpalt2, 15, 10) +
                    fixfield(t.theta, 10, 1) + "\n";
        } else {
            text += spaces(4) + fixfield(t.cpa, 11, 4) + fixfield(t.cpb, 15, 9) +
                    fixfield(t.cpc, 10, 1) + fixfield(t.cpd, 10, 4) + "\n";
        }
        std::string l4 = fixfield(t.a0, 18, 7) + fixfield(t.K0, 9, 2) + fixfield(t.K0p, 9, 2);
        if (old) l4 += fixfield(t.K0pp, 11, 5);
        if (t.kmelt < 0 || melt) l4 += fixfield(t.kmelt, 11, 5);
        if (old) {
            l4 += t.Smax > 0                   ? "    1"
                  : t.odn > 0.5                ? "    2"
                  : (t.type8value != 0 || ion) ? "   -1"
                                               : "    0";
        }
        l4 += extras(t, ion);
        text += l4 + "\n";
        if (!old) text += "\n";
    }
    text += "\n";
    real mean = 0;
    for (int i = 1; i <= n; ++i) {
        const tdrec& t = cal.tda[i];
        const real th = cal.writingresults ? cal.theta[i] : 0;
        mean += (th - 1000 * t.S + 5 * t.V) / 10000;
    }
    if (n > 0) mean /= n;
    text += fixfield(-mean, 8, 4);
    int counter = 0;
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            const real v = cal.writingresults ? cal.xx[i][j] * cal.sigfit2 : 0;
            if (counter > 120) {
                text += "\n";
                counter = 0;
            }
            if (std::fabs(v) < 0.00005L) {
                text += " 0";
                counter += 2;
                continue;
            }
            const real m = std::fabs(std::nearbyint(10000 * v)) / 10000;
            int w = m < 1        ? 7
                    : m < 10     ? 8
                    : m < 100    ? 9
                    : m < 1000   ? 10
                    : m < 10000  ? 11
                    : m < 100000 ? 12
                                 : 16;
            if (v <= 0) ++w;
            text += fixfield(v, w, 4);
            counter += w;
        }
    }
    text += "\n\n";
    const real sigfit = cal.writingresults ? std::sqrt(cal.sigfit2) : 0;
    text += filename + " produced at " + ses.datetimeline + " (sigfit = " + fixfield(sigfit, 6, 3) +
            ")\n";
    if (std::fwrite(text.data(), 1, text.size(), out.f) != text.size() || std::fclose(out.f) != 0) {
        bomb("writeds", "problems writing " + filename, yourfault);
    }
    out.f = nullptr;
}

}  // namespace qv
