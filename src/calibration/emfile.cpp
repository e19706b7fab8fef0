#include "calibration/emfile.hpp"

#include <cmath>
#include <cstdio>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "calibration/calibfiles.hpp"
#include "model/axprint.hpp"
#include "model/axreader.hpp"
#include "solver/calcq.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

bool ismelt(std::string_view name) {
    return !name.empty() && name.back() == 'L';
}

// Einstein temperature from the entropy per atom, kept at 10 K or more; no atoms gives 10.
real einsteintheta(real S, real natoms) {
    real theta = 0;
    if (std::fabs(natoms) >= 0.1L)
        theta = std::nearbyint(10636.0L / (6.44L + 1000.0L * S / natoms));
    return theta < 10 ? 10 : theta;
}

// The four coefficients of the heat capacity, a + bT + cT^-2 + dT^-1/2 (kJ/K).
void heatcapacity(CalibReader& rd, tdrec& t) {
    t.cpa = rd.number("cp a");
    t.cpb = rd.number("cp b");
    t.cpc = rd.number("cp c");
    t.cpd = rd.number("cp d");
}

// The thermal expansion line (a0, kept with the line's remaining text) and the start of the
// compressibility line: K0 (kbar) and K0'.
void expansionandk0(CalibReader& rd, tdrec& t) {
    t.a0 = rd.number("a0");
    t.linetext[5] = rd.resttext();
    t.K0 = rd.number("K0");
    t.K0p = rd.number("K0'");
}

void landauline(CalibReader& rd, tdrec& t) {
    t.tcrit = rd.number("Tc");
    t.Smax = rd.number("Smax");
    t.Vmax = rd.number("Vmax");
    t.linetext[8] = rd.resttext();
}

void bwline(CalibReader& rd, tdrec& t) {
    t.od1 = rd.number("od1");
    t.od2 = rd.number("od2");
    t.od3 = rd.number("od3");
    t.od4 = rd.number("od4");
    t.odn = rd.integer("odn");
    t.odf = rd.number("odf");
    t.linetext[8] = rd.resttext();
}

}  // namespace

void readth(Session& ses, Calibration& cal, InFile& f) {
    putstr(ses, 1, "reading thermodynamic data", 1, logmask);
    CalibReader rd(f, "readth");
    cal.dsmode = rd.integer("dataset mode");
    rd.droprest();
    rd.skipline();
    const bool old = cal.dsmode == 5;
    int16 count = 0;
    strings words;
    int16 n = 0;
    for (;;) {
        if (!rd.rawline(words, n))
            bomb("readth", "no \"*\" at the end of the end-members", yourfault);
        if (n == 0) continue;
        if (sameword(words[1], "*")) break;
        ++count;
        if (count > maxntp) bomb("readth", "too many end-members (increase maxntp)", yourfault);
        putstr(ses, 0, "  " + realstr(count) + ")  " + words[1], 1, logmask);
        tdrec& t = cal.tda[count];
        t = tdrec{};
        t.name = str22(words[1]);
        if (n == 2 || (n >= 3 && static_cast<unsigned char>(words[3][0]) == 165)) {
            t.label = n >= 2 ? words[2] : std::string();
        } else if (n >= 3) {
            t.label = str22(words[2] + "_" + words[3]);
        }
        for (;;) {
            const int16 el = rd.integer("element number");
            if (el == 0) break;
            ++t.nel;
            if (t.nel > maxformula) {
                bomb("readth", "too many formula pairs" + maxtext(maxformula), yourfault);
            }
            t.formulael[t.nel] = el;
            t.formulaamt[t.nel] = rd.number("element amount");
            t.natoms += t.formulaamt[t.nel];
        }
        const bool melt = ismelt(t.name);
        if (old) {
            t.nsite = rd.integer("nsite");
            t.natoms = rd.number("natoms");
            rd.droprest();
            t.H = rd.number("H");
            t.sdH = rd.number("sd(H)");
            t.layout5code = rd.number("code");
            t.linetext[1] = rd.resttext();
            t.S = rd.number("S");
            t.sdS = rd.number("sd(S)");
            t.linetext[2] = rd.resttext();
            t.V = rd.number("V");
            t.linetext[3] = rd.resttext();
            t.H0 = t.H;
            t.sdH0 = t.sdH;
            heatcapacity(rd, t);
            t.linetext[4] = rd.resttext();
            expansionandk0(rd, t);
            t.K0pp = rd.number("K0''");
            if (melt) {
                t.kmelt = rd.number("kmelt");
            } else {
                t.theta = einsteintheta(t.S, t.natoms);
            }
            if (t.K0 != 0) t.K0pp = -t.K0p / t.K0;
            if (t.theta < 10) t.theta = 10;
            t.linetext[7] = rd.resttext();
            const real code = t.layout5code;
            if (code == 2) {
                landauline(rd, t);
            } else if (code == 4) {
                bwline(rd, t);
            } else if (code == 3) {
                t.type8value = rd.number("extra value");
                t.linetext[8] = rd.resttext();
            }
            t.tdcode = melt ? 7 : code == 2 ? 1 : code == 4 ? 2 : code == 3 ? 8 : t.V == 0 ? 6 : 0;
        } else {
            // The site count may follow the 0 that ends the formula.
            if (rd.moreonline()) {
                const std::string w = rd.word("nsite");
                if (whatis(w) == valuetype::aninteger) t.nsite = getinteger(whatis(w), w, "nsite");
            }
            rd.droprest();
            t.tdcode = rd.integer("type code");
            t.H = rd.number("H");
            t.linetext[1] = rd.resttext();
            t.S = rd.number("S");
            t.linetext[2] = rd.resttext();
            t.V = rd.number("V");
            t.linetext[3] = rd.resttext();
            if (t.tdcode == 7 && !melt) {
                bomb("readth", "melt end-member name does not end in 'L'", yourfault);
            }
            const bool einstein = cal.dsmode == 7 && t.tdcode >= 3 && t.tdcode <= 5;
            if (einstein) {
                t.cpalt1 = rd.number("cp 1");
                t.cpalt2 = rd.number("cp 2");
                t.theta = rd.number("theta");
            } else {
                heatcapacity(rd, t);
            }
            t.linetext[4] = rd.resttext();
            expansionandk0(rd, t);
            if (t.tdcode == 7) t.kmelt = rd.number("kmelt");
            t.linetext[7] = rd.resttext();
            if (t.tdcode != 7 && !einstein) t.theta = einsteintheta(t.S, t.natoms);
            if (t.K0 > 0) t.K0pp = -t.K0p / t.K0;
            if (t.tdcode == 1 || t.tdcode == 4) {
                landauline(rd, t);
            } else if (t.tdcode == 2 || t.tdcode == 5) {
                bwline(rd, t);
            } else if (t.tdcode == 8) {
                t.type8value = rd.number("extra value");
                t.linetext[8] = rd.resttext();
            }
        }
        if (t.sdS <= 0) t.sdS = 0.001L * t.S;
        rd.droprest();
        rd.skipline();
        if (old && t.layout5code == 0) --count;
    }
    cal.ntp = count;
    std::string line = "number of end-members = ";
    addgreal(4, line, count);
    putstr(ses, 1, line, 1, screenmask);
}

bool posinphname(const Calibration& cal, std::string_view name, int16& ix, bool stop) {
    const std::string want = trim(name);
    for (int16 i = 1; i <= cal.ntp; ++i) {
        if (sameword(want, cal.tda[i].name)) {
            ix = i;
            return true;
        }
    }
    if (stop) bomb("posinphname", want + " is not an end-member name", yourfault);
    ix = 0;
    return false;
}

SpecialPositions specialems(const Calibration& cal, const Fixed1<int16, maxlist>& list, int16 n) {
    SpecialPositions sp;
    for (int16 i = 1; i <= n && i <= maxlist; ++i) {
        if (list[i] <= 0) continue;
        const std::string& name = cal.tda[list[i]].name;
        if (name == "H2O") sp.posH2O = i;
        if (name == "crd") sp.poscrd = i;
        if (name == "CO2") sp.posCO2 = i;
        if (name == "fcrd") sp.posfcrd = i;
        if (name == "O2") sp.posO2 = i;
        if (name == "S2") sp.posS2 = i;
    }
    return sp;
}

void readax(Session& ses, Run& run, Calibration& cal) {
    putstr(ses, 1, "reading a-x relationships", 1, logmask);
    run.ax.calibaxsuffix = cal.prefs.axsuffix;
    run.dataset.ndsem = cal.ntp;
    for (int16 i = 1; i <= cal.ntp; ++i) run.dataset.dsnames[i] = cal.tda[i].name;
    setupphases(ses, run);
    prectype1& p1 = *run.arrays.prec1;
    // Phases with order variables start from legal values of them; the experiments solve
    // their equilibrium state of order at each run.
    for (int16 i = 1; i <= run.nss; ++i) {
        if (!p1[i].hasorder) continue;
        bool wasillegal = false;
        if (!findlegalq(ses, run, i, false, wasillegal, 0, 0)) {
            bomb("readax", "cannot find legal Q guess", yourfault);
        }
    }
    if (run.nphread + maxxpss > maxss) {
        bomb("readxy", "too many ss -> make maxnp bigger", yourfault);
    }
    for (int16 i = 1; i <= run.nss; ++i) printphaseinfo(ses, run, i);
    // The phases move up by the working slots in which each experiment lays out its own.
    for (int16 i = run.nphread; i >= 1; --i) p1[i + maxxpss] = p1[i];
    const auto empty = std::make_unique<ptype1>();
    for (int16 i = 1; i <= maxxpss; ++i) {
        p1[i] = *empty;
        p1[i].name = "blah";
    }
    run.nphread = narrow16(run.nphread + maxxpss);
    run.nss = narrow16(run.nss + maxxpss);
    cal.xpphasenames.clear();
    for (int16 i = 1; i <= run.nphread; ++i) cal.xpphasenames.push_back(p1[i].name);
    cal.axread = true;
    run.dataset.dsmode = cal.dsmode;
    run.dataset.newspfluid = true;
    run.runftype = ftype::ih2oco2;
}

std::string stripbraces(std::string_view s) {
    if (s.size() <= 1) return {};
    std::string t = trim(s);
    if (!t.empty() && t[0] == '{') {
        t.erase(0, 1);
        if (!t.empty() && t.back() == '}') t.pop_back();
    } else if (!t.empty() && t[0] == '%') {
        t.erase(0, t.size() >= 2 ? 2 : t.size());
    }
    return t;
}

void writeemfile(Session& ses, Calibration& cal) {
    OutFile out;
    std::string filename;
    std::string namepart = cal.prefs.emsuffix + "-i.txt";
    if (namepart.size() > 22) namepart.resize(22);
    openwrite(filename, "ds-em", namepart, out);
    std::string text;
    auto line = [&](const std::string& s) { text += s + "\n"; };
    const bool old = cal.dsmode == 5;
    if (old) {
        const std::string rule(64, '-');
        ses.console.write("\n" + rule + "\n" +
                          "with dsmode = 5 at the top of the emfile, the emifile contains\n" +
                          "(1) the data in the new emfile format, AND (2) the H calorimetric\n" +
                          "data to put at the head of the xpfile. (Edit/rename/cut & paste)\n" +
                          rule + "\n");
    }
    line(old ? "6" : std::to_string(cal.dsmode));
    line("");
    for (int16 i = 1; i <= cal.ntp; ++i) {
        const tdrec& t = cal.tda[i];
        const bool melt = ismelt(t.name);
        const bool landau = cal.dsmode == 7 && t.tdcode >= 3 && t.tdcode <= 5;
        const auto rem = [&](int k) { return "% " + stripbraces(t.linetext[k]); };
        std::string l1 = t.name;
        l1 += spaces(l1.size() < 8 ? static_cast<int>(8 - l1.size()) : 1);
        line(l1 + t.label);
        std::string l2 = spaces(7);
        for (int k = 1; k <= t.nel; ++k) {
            l2 += intfield(t.formulael[k], 2) + fixfield(t.formulaamt[k], 8, 2) + spaces(3);
        }
        line(l2 + "  0  " + std::to_string(t.nsite));
        line(intfield(t.tdcode, 3) + fixfield(t.H, 12, 3));
        line(fixfield(t.S, 15, 5) + spaces(35) + rem(2));
        line(fixfield(t.V, 15, 4) + spaces(35) + rem(3));
        if (landau) {
            line(fixfield(t.cpalt1, 15, 5) + fixfield(t.cpalt2, 15, 10) + fixfield(t.theta, 9, 1) +
                 spaces(11) + rem(4));
        } else {
            line(fixfield(t.cpa, 15, 4) + fixfield(t.cpb, 15, 9) + fixfield(t.cpc, 9, 1) +
                 fixfield(t.cpd, 10, 4) + " " + rem(4));
        }
        line(fixfield(t.a0, 15, 7) + spaces(35) + rem(5));
        if (melt) {
            line(fixfield(t.K0, 15, 2) + fixfield(t.K0p, 6, 2) + fixfield(t.kmelt, 10, 5) +
                 spaces(19) + rem(7));
        } else {
            line(fixfield(t.K0, 15, 2) + fixfield(t.K0p, 6, 2) + spaces(29) + rem(7));
        }
        if (t.tdcode == 1 || t.tdcode == 4) {
            line(fixfield(std::nearbyint(t.tcrit), 15, 0) + fixfield(t.Smax, 9, 5) +
                 fixfield(t.Vmax, 8, 4) + spaces(18) + rem(8));
        } else if (t.tdcode == 2 || t.tdcode == 5) {
            line(fixfield(t.od1, 12, 2) + fixfield(t.od2, 8, 4) + fixfield(t.od3, 7, 2) +
                 fixfield(t.od4, 8, 4) + intfield(t.odn, 6) + fixfield(t.odf, 7, 2) + spaces(2) +
                 rem(8));
        } else if (t.tdcode == 8) {
            line(fixfield(t.type8value, 12, 4) + spaces(38) + rem(8));
        }
        line("");
    }
    line("*");
    if (old) {
        for (int16 i = 1; i <= cal.ntp; ++i) {
            const tdrec& t = cal.tda[i];
            if (t.sdH0 >= 99) continue;
            std::string name = t.name;
            if (name.size() < 6) name.insert(0, 6 - name.size(), ' ');
            line("1  " + name + fixfield(t.H0, 12, 2) + fixfield(t.sdH0, 9, 2) + "    % " +
                 stripbraces(t.linetext[1]));
        }
        line("0");
    }
    if (std::fwrite(text.data(), 1, text.size(), out.f) != text.size() || std::fclose(out.f) != 0) {
        bomb("writeemfile", "problems writing " + filename, yourfault);
    }
    out.f = nullptr;
}

}  // namespace qv
