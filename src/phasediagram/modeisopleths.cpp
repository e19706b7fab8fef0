#include "phasediagram/modeisopleths.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "phasediagram/isopleths.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

std::string num(real x) {
    return realfixstr(ndecimals(x), true, x);
}

bool yes(controlboolean cb) {
    return cb == controlboolean::yes;
}

}  // namespace

// Kept whole: one dialogue of mode isopleths, checked line by line as its messages print.
void readmodeisopleths(Session& ses, Run& run, PdRun& pd) {
    putstr(ses, 0, "specification of mode isopleths", 1, screenlogmask);
    ScriptSettings& sc = run.script;
    prectype1& ss = *run.arrays.prec1;
    prectype0& pure = *run.arrays.prec0;
    Fixed1<bool, 2> named{};
    Fixed1<bool, 2> scriptvalues{};
    if (yes(sc.modeisoplethcb)) {
        for (int k = 1; k <= 2; ++k) {
            named[k] = k <= sc.nmodeisopleth && !sc.modeisopleth[k].name.empty();
            scriptvalues[k] = named[k] && sc.modeisopleth[k].high > 0;
        }
    }
    const bool zero = yes(sc.zeromodeisoplethcb);
    Fixed1<bool, 2> zeronamed{};
    for (int k = 1; k <= 2; ++k)
        zeronamed[k] = zero && k <= sc.nzeromode && !sc.zeromode[k].empty();
    if (zeronamed[1]) {
        auto overlaps = [&](const std::string& z) {
            for (int k = 1; k <= 2; ++k) {
                if (named[k] && sc.modeisopleth[k].name == z) return true;
            }
            return false;
        };
        if (overlaps(sc.zeromode[1])) {
            bomb("readmodeisopleths", "phase overlap1 between modeisopleth and zeromodeiso",
                 yourfault);
        }
        if (zeronamed[2] && overlaps(sc.zeromode[2])) {
            bomb("readmodeisopleths", "phase overlap2 between modeisopleth and zeromodeiso",
                 yourfault);
        }
    }
    // Every phase under its short name and its name as read: solution phases, then pure phases.
    strings names1;
    strings names2;
    const int16 nph = narrow16(run.nss + run.npure);
    if (nph != run.nss + run.npure || nph > maxwords) {
        bomb("readmodeisopleths", "phases don't add up", myfault);
    }
    for (int k = 1; k <= run.nss; ++k) {
        names1[k] = ss[k].name;
        names2[k] = ss[k].fullname.empty() ? ss[k].name : ss[k].fullname;
    }
    for (int j = 1; j <= run.npure; ++j) names1[run.nss + j] = names2[run.nss + j] = pure[j].name;
    auto lookup = [&](const std::string& w) {
        int16 pos = 0;
        if (posinlist(w, names1, nph, pos) || posinlist(w, names2, nph, pos)) return pos;
        bomb("readmodeisopleths", w + " not recognised", yourfault);
    };
    Fixed1<int16, maxwords> chosen{};
    int16 nchosen = 0;
    if (pd.duda) {
        // a duDA+ run calculates the rock's own modes: none is set
    } else if (named[1]) {
        chosen[++nchosen] = lookup(sc.modeisopleth[1].name);
        if (named[2]) chosen[++nchosen] = lookup(sc.modeisopleth[2].name);
    } else if (zeronamed[1]) {
        chosen[++nchosen] = lookup(sc.zeromode[1]);
        if (zeronamed[2]) chosen[++nchosen] = lookup(sc.zeromode[2]);
    } else {
        std::string line = zero ? "you may set zero modal proportions, from: "
                                : "you may set modal proportions, from:";
        for (int i = 1; i <= nph; ++i) line += names1[i] + " ";
        putstr(ses, 0, line, 1, screenlogmask);
        strings words;
        int16 nw = 0;
        promptstrings(ses, "which to set", words, nw);
        for (int i = 1; i <= nw; ++i) {
            const valuetype t = whatis(words[i]);
            int16 pos = 0;
            if (t == valuetype::aninteger) {
                pos = getinteger(t, words[i], "for isopleth position");
                if (pos < 1 || pos > nph) {
                    bomb("readmodeisopleths", "position for isopleth out of range", yourfault);
                }
            } else {
                pos = lookup(words[i]);
            }
            chosen[++nchosen] = pos;
        }
        if (zero) {
            // the answers name the phases at zero mode; two at most
            if (nchosen > 2) nchosen = 2;
            sc.nzeromode = nchosen;
            for (int k = 1; k <= nchosen; ++k) {
                sc.zeromode[k] = names1[chosen[k]];
                zeronamed[k] = true;
            }
        }
    }
    IsoplethTable& iso = pd.iso;
    for (int c = 1; c <= nchosen; ++c) {
        const int16 ph = chosen[c];
        if (++iso.nisopleths > maxisopleths) {
            bomb("readmodeisopleths", "too many isopleths", yourfault);
        }
        const int16 row = iso.nisopleths;
        iso.moderow[ph] = row;
        if (ph <= run.nss) {
            ss[ph].flag2 = true;
            ss[ph].int2 = row;
        } else {
            pure[ph - run.nss].flag2 = true;
            pure[ph - run.nss].int1 = row;
        }
        real low = 0;
        real high = 0;
        real inc = 0.001L;
        if (c <= 2 && scriptvalues[c]) {
            low = sc.modeisopleth[c].low;
            high = sc.modeisopleth[c].high;
            inc = sc.modeisopleth[c].inc;
        } else if (c <= 2 && zeronamed[c]) {
            low = high = 0;
        } else {
            putstr(ses, 0, "specifying mode isopleths for " + names1[ph] + ":", 1, screenlogmask);
            strings words;
            int16 nw = 0;
            promptstrings(ses, "  list of values OR start, finish, interval", words, nw);
            Fixed1<real, 3> v{};
            for (int i = 1; i <= std::min<int16>(nw, 3); ++i) {
                v[i] = getsingle(whatis(words[i]), words[i], "for isopleth values");
            }
            if (nw == 1) {
                low = high = v[1];
            } else if (nw == 3) {
                low = v[1];
                high = v[2];
                inc = v[3];
                if (high < low || inc <= 0 || low < 0 || high >= 1) {
                    putstr(ses, 0, "mode isopleth: low, high and increment expected, or one value",
                           1, screenlogmask);
                    bomb("readmodeisopleths", "isopleth values inappropriate", yourfault);
                }
            } else if (nw != 0) {
                bomb("readmodeisopleths", "1 or 3 numbers expected", yourfault);
            }
        }
        iso.nvalues[row] = expandisovalues(low, high, inc, iso.values[row]);
    }
    if (iso.nisopleths > 2) bomb("readmodeisopleths", "too many modes set", yourfault);
    iso.nmodeisopleths = iso.nisopleths;
    if (nchosen == 0 && run.variance < 3) {
        pd.modesinsolve = false;
        pd.modesaftersolve = true;
    }
    ExcessPhases& ex = run.excess;
    for (int k = 1; k <= run.nss; ++k) {
        if (iso.moderow[k] > 0 && !ex.excessflag[k] && !ex.isophaseflag[k]) {
            ex.isophaseflag[k] = true;
            ++ex.nisophases;
        }
    }
    if (nchosen == 0) {
        putstr(ses, 0, "no modes set", 1, screenlogmask);
        return;
    }
    putstr(ses, 0, "modes set for", 1, screenlogmask);
    for (int ph = 1; ph <= nph; ++ph) {
        const int16 row = iso.moderow[ph];
        if (row == 0) continue;
        const int16 n = iso.nvalues[row];
        const real first = iso.values[row][1];
        std::string line = "mode of " + names1[ph] + " set to ";
        if (n == 1) {
            line += first == 0 ? "zero" : num(first);
        } else {
            line += " values between " + num(first) + " and " + num(iso.values[row][n]);
        }
        putstr(ses, 0, line, 1, screenlogmask);
    }
}

}  // namespace qv
