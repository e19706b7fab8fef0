// Pure phases and buffers of the a-x file, and the set-up of the fluid and aqueous phases.

#include <array>
#include <string_view>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axsetup.hpp"
#include "model/dataset.hpp"
#include "textio/channels.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {

namespace {

constexpr real ln10 = 2.302585092994046L;

bool isone(const AxWords& rd) {
    if (rd.nexttype != valuetype::aninteger) return false;
    int16 v = 0;
    std::string msg;
    return str2int(rd.next, v, msg) && v == 1;
}

// The molecular fluid species, then the aqueous ones: none of them may be an end-member of a
// phase that is neither fluid nor aqueous.
constexpr std::array<std::string_view, 34> fluidaqspecies = {
    "H2O",   "CO2",    "CO",  "CH4",   "O2",    "H2",    "H2S",   "S2",    "H+",
    "Cl-",   "OH-",    "Na+", "K+",    "Ca++",  "Mg++",  "Fe++",  "Al+++", "CO3--",
    "AlOH3", "AlOH4-", "KOH", "HCl",   "KCl",   "NaCl",  "CaCl2", "CaCl+", "MgCl2",
    "MgCl+", "FeCl2",  "HS-", "HSO3-", "SO42-", "HSO4-", "aqSi"};

// Mixed-fluid species: critical T (K) and P (kbar) of the corresponding-states fluids (0 for
// those with their own equation of state) and the pair interactions (kJ).
void fillfluidtable(FluidSpeciesTable& t) {
    static constexpr std::array<std::string_view, nfluidspecies> names = {
        "H2O", "CO2", "CH4", "CO", "H2", "O2", "H2S", "S2"};
    static constexpr std::array<real, nfluidspecies> tc = {0,     0, 190.6L, 132.9L,
                                                           41.2L, 0, 373.2L, 259.6L};
    static constexpr std::array<real, nfluidspecies> pc = {0,       0, 0.046L,  0.035L,
                                                           0.0211L, 0, 0.0893L, 0.08L};
    struct Pair {
        int i;
        int j;
        real w;
    };
    static constexpr std::array<Pair, 14> pairs = {{{1, 2, 10.5L},
                                                    {1, 3, 17.5L},
                                                    {1, 4, 16.8L},
                                                    {1, 5, 14.9L},
                                                    {1, 7, 6.7L},
                                                    {1, 8, 13.0L},
                                                    {2, 3, 0.6L},
                                                    {2, 4, 1.2L},
                                                    {2, 5, 2.2L},
                                                    {2, 7, 0.045L},
                                                    {2, 8, 1.0L},
                                                    {3, 5, 0.8L},
                                                    {3, 7, 4.15L},
                                                    {4, 5, 0.3L}}};
    t.n = nfluidspecies;
    for (int i = 1; i <= nfluidspecies; ++i) {
        t.names[i] = std::string(names[static_cast<std::size_t>(i - 1)]);
        t.tcrit[i] = tc[static_cast<std::size_t>(i - 1)];
        t.pcrit[i] = pc[static_cast<std::size_t>(i - 1)];
        for (int j = 1; j <= nfluidspecies; ++j) t.w[i][j] = 0;
    }
    for (const Pair& p : pairs) {
        t.w[p.i][p.j] = p.w;
        t.w[p.j][p.i] = p.w;
    }
}

int16 fluidposition(const FluidSpeciesTable& t, std::string_view name) {
    for (int16 i = 1; i <= t.n; ++i) {
        if (t.names[i] == name) return i;
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pure phases

void AxSetup::fixedactivity(ptype0& ph) {
    rd.nextitem("fixed activity for" + ph.name);
    ph.activity = getsingle(rd.wordtype, rd.word, "fixed activity for" + ph.name);
    if (!(ph.activity > 0 && ph.activity <= 1)) {
        bomb("setupphases", "activity for " + ph.name + " not 0 > a \xB3 1", yourfault);
    }
    // Only the word "0" stands for a zero sd; other integers belong to what follows.
    if (rd.nexttype == valuetype::areal || rd.nextis("0")) {
        rd.nextitem("sd of fixed activity for" + ph.name);
        ph.activitysd = getsingle(rd.wordtype, rd.word, "sd of fixed activity for" + ph.name);
        checkinput(ph.activitysd >= 0, "setupphases", "sd of fixed activity for " + ph.name,
                   ph.activitysd, "must not be negative", run.ax.filename);
    }
}

void AxSetup::purephase(const std::string& name) {
    ++run.npure;
    ptype0& ph = pure(run.npure);
    startpurephase(ph, name);
    ph.td[18] = 0;
    ph.td[19] = 0;
    const MakeFields make{ph.nmake, ph.makeden, ph.makenames, ph.makecoef, ph.makeaction};

    if (!rd.ended() && rd.nexttype != valuetype::astring) {
        int16 index = 0;
        bool activity = rd.nexttype == valuetype::areal;
        if (!activity && isone(rd) && findemname(run.dataset, name, index)) {
            putstr(ses, 1,
                   "datafile appears to be ambiguous: a 1 immediately follows " + name + ";", 1,
                   screenlogmask);
            putstr(ses, 0, "this means either an activity of 1, or it's a 1 end-member phase.", 1,
                   screenlogmask);
            activity = query(ses, "the '1' its activity");
        }
        if (activity) {
            fixedactivity(ph);
        } else {
            const std::string cprompt = "no of end-members of " + name;
            rd.nextitem(cprompt);
            getinteger(rd.wordtype, rd.word, cprompt);
            if (rd.ended()) bomb("read", "unexpected end of input", yourfault);
            if (rd.nexttype == valuetype::astring) {
                const std::string eprompt = "name for end-member of " + name;
                rd.nextitem(eprompt);
                getname(ph.emname, rd.wordtype, rd.word, eprompt);
                if (ph.emname == "buffer") {
                    if (run.ax.nbuffers >= maxbuffers) {
                        bomb("setupphases", "too many buffers", yourfault);
                    }
                    ++run.ax.nbuffers;
                    run.ax.buffers[run.ax.nbuffers] = name;
                }
            }
            // After the end-member name only the word "1" is an activity.
            if (!rd.ended() && (rd.nexttype == valuetype::areal || rd.nextis("1"))) {
                fixedactivity(ph);
            }

            if (!rd.ended()) {
                if (!calib && ph.emname == name) {
                    bomb("setupphases",
                         "names: phase, " + name + ", and end-member, " + ph.emname +
                             ", must be different",
                         yourfault);
                }
                const bool isbuffer = ph.emname == "buffer" && name == run.script.buffername;
                const real bshift = isbuffer ? ln10 * rgas * run.script.bufferdel : 0;
                int prevdqf = -1;
                while (optioncode() != 0) {
                    int kindofword = -1;
                    const int code = readoptionword("option for " + name, kindofword);
                    if (code == optdqf) {
                        ph.dqfkind = narrow16(kindofword >= 0 ? kindofword : std::max(prevdqf, 0));
                        readdqf(DqfFields{ph.dqfkind, ph.dqfa, ph.dqfb, ph.dqfc}, ph.nmake,
                                ph.emname, bshift);
                    } else if (code == optmake) {
                        readmake(make, ph.emname, false);
                    } else if (code == optnomake) {
                        ph.nmake = -1;
                    } else {
                        bomb("reading", "wrong code for additional info for " + ph.emname,
                             yourfault);
                    }
                    prevdqf = kindofword;
                }
            }
        }
    }

    ph.modeguess = -1;
    ph.real2 = 0.6666667L;
    ph.real3 = 0.1666667L;
    const ScriptSettings& s = run.script;
    for (int k = 1; k <= s.nmodeguess; ++k) {
        const ModeGuess& g = s.tables->modeguess[k];
        if (g.name == name && g.value > 0) ph.modeguess = g.value;
    }

    if (ph.nmake == 0) {
        checkdsname(run.dataset, ph.emname);
        if (ischarged(ph.emname)) {
            bomb("setupphases", "charged species not allowed as end-members", yourfault);
        }
    } else if (ph.nmake > 0) {
        compoundcharges(make, ph.td, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Fluid and aqueous phases

void setupfluidaq(Session& ses, Run& run) {
    (void)ses;
    prectype1& ss = *run.arrays.prec1;
    for (int k = 1; k <= run.nss; ++k) {
        ptype1& ph = ss[k];
        ph.isfluid = ph.name.rfind("fluid", 0) == 0;
        ph.isaq = !ph.isfluid && ph.name.rfind("aq", 0) == 0;
        ph.ih2o = 0;
        ph.ico2 = 0;
        for (int16 i = 1; i <= ph.nem; ++i) {
            if (ph.em[i].name == "H2O") ph.ih2o = i;
            if (ph.em[i].name == "CO2") ph.ico2 = i;
        }
        if (ph.isfluid || ph.isaq || ph.name.rfind("fl", 0) == 0) continue;
        for (int i = 1; i <= ph.nem; ++i) {
            for (const std::string_view sp : fluidaqspecies) {
                if (ph.em[i].name == sp)
                    bomb("read", std::string(sp) + " not in fluid/aq", yourfault);
            }
        }
    }

    FluidSpeciesTable& table = run.ax.fluid;
    fillfluidtable(table);
    run.runftype = ftype::notset;

    for (int k = 1; k <= run.nss; ++k) {
        ptype1& ph = ss[k];
        for (int i = 1; i <= ph.nem; ++i) ph.em[i].fluidindex = 0;
        if (ph.isfluid) {
            for (int i = 1; i <= ph.nem; ++i) {
                const int16 f = fluidposition(table, ph.em[i].name);
                if (f == 0) bomb("read", "end-member name in fluid not recognised", yourfault);
                if (ph.em[i].name == "O2")
                    bomb("read", "O2 not implemented in fluid coding", yourfault);
                ph.em[i].fluidindex = f;
            }
        } else if (ph.isaq) {
            for (int i = 1; i <= ph.nem; ++i) {
                const std::string& nm = ph.em[i].name;
                if (fluidposition(table, nm) != 0 && nm != "H2O" && nm != "CO2") {
                    bomb("read", "fluid name in aq not just H2O and CO2", yourfault);
                }
            }
        }
    }

    // Every phase's end-members pass before the fluid and aqueous phases get their pair terms.
    for (int k = 1; k <= run.nss; ++k) {
        ptype1& ph = ss[k];
        if (ph.isfluid) {
            // Mixing of the molecular fluid is always of van Laar form, over every pair.
            ph.model = axtype::vanlaar;
            int16 n = 0;
            for (int16 i = 1; i < ph.nem; ++i) {
                for (int16 j = narrow16(i + 1); j <= ph.nem; ++j) {
                    ++n;
                    ph.gterm[n] = gtermtype{n, i, j};
                }
            }
            ph.ngterm = n;
        } else if (ph.isaq) {
            if (ph.em[1].name != "H2O") {
                bomb("read", "1st H2O-CO2 aq end-member must be \"H2O\"", yourfault);
            }
            ph.model = axtype::vanlaar;
            if (ph.ico2 != 0) {
                if (ph.em[2].name != "CO2") {
                    bomb("read", "2nd H2O-CO2 aq end-member must be \"CO2\"", yourfault);
                }
                // The H2O-CO2 interaction of the solvent is built in; the file must not add one.
                if (ph.wa[1] != 0) {
                    bomb("read", "set W(H2O-CO2) = 0 (its value is then hard-wired)", yourfault);
                }
                for (int t = ph.ngterm; t >= 1; --t) ph.gterm[t + 1] = ph.gterm[t];
                ph.gterm[1] = gtermtype{1, 1, 2};
                ++ph.ngterm;
            }
        }
    }
}

}  // namespace qv
