#include "model/expressions.hpp"

#include <cmath>
#include <cstdlib>

#include "base/convert.hpp"
#include "model/phases.hpp"
#include "textio/channels.hpp"

namespace qv {
namespace {

bool positive(int16 num, int16 den) {
    return (num > 0 && den > 0) || (num < 0 && den < 0);
}
bool negative(int16 num, int16 den) {
    return (num > 0 && den < 0) || (num < 0 && den > 0);
}

// A factor that is a plain constant: "n" for a whole number, else "n/d".
void addconstant(const xtermtype& x, std::string& line) {
    addgreal(0, line, x.constnum);
    if (x.constden != 1) {
        addstr("/", 0, line);
        addgreal(0, line, x.constden);
    }
}

}  // namespace

real evalexpr(const eqvector& values, int offset, const termtype& e) {
    real sum = 0;
    for (int i = 1; i <= e.nsxterms; ++i) {
        const sxtermtype& t = e.sxterm[i];
        if (t.coef == 0) continue;
        real product = 1;
        for (int j = 1; j <= t.nxterms; ++j) {
            const xtermtype& x = t.xterm[j];
            real f = doubleratio(x.constnum, x.constden);
            for (int k = 1; k <= x.nx; ++k) {
                f = doubleratio(x.num[k], x.den[k]) * values[x.idx[k] + offset - 1] + f;
            }
            product = f * product;
        }
        sum = product * t.coef + sum;
    }
    return sum;
}

bool legalcomp(const ptype1& ph) {
    if (ph.nsf == 0) return true;
    eqvector values;
    for (int k = 1; k <= ph.nvar; ++k) values[k] = ph.var[k].guess;
    for (int s = 1; s <= ph.nsf; ++s) {
        const real y = evalexpr(values, 1, ph.sf[s]);
        // A site fraction that cannot be evaluated (a NaN or an infinity from the starting
        // guesses) is no more a composition than a negative one.
        if (!std::isfinite(y) || y <= 0) return false;
    }
    return true;
}

Fixed1<std::string, maxssvars> varname(const ptype1& ph) {
    Fixed1<std::string, maxssvars> names;
    if (ph.nem < 2) return names;
    for (int k = 1; k <= ph.nvar; ++k) {
        const std::string& s = ph.var[k].name;
        if (s.size() >= 3 && s.compare(0, 2, "p(") == 0) {
            names[k] = s.substr(2, s.size() - 3);
        } else {
            const std::size_t cut = s.find_first_of("([", 1);
            names[k] = cut == std::string::npos ? s : s.substr(0, cut);
        }
    }
    return names;
}

void writeexpr(Session& ses, std::string_view name, const ptype1& ph, int32 mask, const termtype& e,
               bool magemin) {
    const std::string_view sep = multsign(magemin);
    std::string line = "   ";
    addstr(name, 0, line);
    addstr(" = ", 0, line);
    if (e.nsxterms == 0 || (e.nsxterms == 1 && e.sxterm[1].coef == 0)) {
        addstr("0", 0, line);
        putstr(ses, 0, line, 1, mask);
        return;
    }
    const Fixed1<std::string, maxssvars> names = varname(ph);
    for (int i = 1; i <= e.nsxterms; ++i) {
        const sxtermtype& t = e.sxterm[i];
        if (line.size() > 150) {
            putstr(ses, 0, line, 1, mask);
            line.assign(8, ' ');
        }
        const real c = t.coef;
        if (c == 1) {
            if (i > 1) addstr(" + ", 0, line);
        } else if (e.nsxterms == 1) {
            if (c < 0) addstr("(", 0, line);
            addreal(2, true, 0, line, c);
            if (c < 0) addstr(")", 0, line);
            addstr(" ", 0, line);
        } else {
            if (c > 0) {
                if (i > 1) addstr(" + ", 0, line);
            } else {
                addstr(i == 1 ? "-" : " - ", 0, line);
            }
            if (std::fabs(c) != 1) addreal(2, true, 0, line, std::fabs(c));
        }
        for (int j = 1; j <= t.nxterms; ++j) {
            const xtermtype& x = t.xterm[j];
            if (x.nx == 0) {
                addconstant(x, line);
                continue;
            }
            const bool lone = x.nx == 1 && positive(x.num[1], x.den[1]) && x.constnum == 0;
            const bool bracket =
                (t.nxterms > 1 && !lone) ||
                (t.nxterms == 1 && i > 1 && x.constnum == 0 && negative(x.num[1], x.den[1]));
            if (bracket) addstr("(", 0, line);
            if (x.constnum != 0) addconstant(x, line);
            for (int k = 1; k <= x.nx; ++k) {
                const bool plus = positive(x.num[k], x.den[k]);
                const bool leading = k == 1 && x.constnum == 0;
                if (leading && plus) {
                    // the first variable of a factor needs no sign
                } else if (plus) {
                    addstr(" + ", 0, line);
                } else if (leading && negative(x.num[k], x.den[k])) {
                    addstr("-", 0, line);
                } else {
                    addstr(" - ", 0, line);
                }
                const int16 n = narrow16(std::abs(x.num[k]));
                const int16 d = narrow16(std::abs(x.den[k]));
                if (n == 1 && d == 1) {
                    // a unit multiplier is not written
                } else if (d == 1) {
                    addgreal(0, line, n);
                } else {
                    addgreal(0, line, n);
                    addstr("/", 0, line);
                    addgreal(0, line, d);
                    addstr(sep, 0, line);
                }
                addstr(names[x.idx[k]], 0, line);
            }
            if (bracket) addstr(")", 0, line);
            if (j < t.nxterms) addstr(sep, 0, line);
        }
    }
    putstr(ses, 0, line, 1, mask);
}

}  // namespace qv
