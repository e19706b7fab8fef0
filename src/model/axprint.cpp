#include "model/axprint.hpp"

#include <cmath>
#include <cstdlib>

#include "model/expressions.hpp"
#include "model/run.hpp"
#include "textio/channels.hpp"
#include "textio/words.hpp"

namespace qv {

namespace {

const std::string dashes38(38, '-');

// Nearest whole number, halves to even.
real nint(real y) {
    return std::nearbyint(y);
}

// " + " or " - " before a term of a linear form in T and P.
const char* signof(real v) {
    return v > 0 ? " + " : " - ";
}

// The b T and c P parts of W = a + bT + cP, each shown only above its threshold.
void addtp(std::string& line, real b, real c, std::string_view mult) {
    if (std::fabs(b) > 1e-6L) {
        addstr(signof(b), 0, line);
        addnumber(5, line, std::fabs(b));
        addstr(mult, 0, line);
        addstr("T", 0, line);
    }
    if (std::fabs(c) > 1e-4L) {
        addstr(signof(c), 0, line);
        addnumber(3, line, std::fabs(c));
        addstr(mult, 0, line);
        addstr("P", 0, line);
    }
}

struct PhaseInfoWriter {
    Session& ses;
    const Run& run;
    const ptype1& ph;
    int32 mask;
    bool magemin;
    std::string_view mult;
    std::string_view power;

    void line(int before, std::string_view s) { putstr(ses, before, s, 1, mask); }

    void heading() {
        if (ph.nverb == 0) {
            line(1, dashes38);
            line(0, ph.name);
        } else {
            for (int i = 1; i <= ph.nverb; ++i) line(0, ph.verbatim[i]);
        }
    }

    void coding2() {
        std::string s;
        if (ph.nalso > 0) {
            s = ph.longname + " = " + ph.fullname + " (also for ";
            for (int i = 1; i <= ph.nalso; ++i) {
                s += ph.alsoshort[i] + " = " + ph.alsofirst[i];
                s += i < ph.nalso ? ", " : ")";
            }
        } else if (ph.basename.empty()) {
            s = ph.longname + " = " + ph.fullname;
        } else {
            s = ph.fullname == ph.basefull ? ph.name : ph.name + " = " + ph.fullname;
            s += " (from " + ph.baselong + " = " + ph.basefull + ")";
        }
        line(1, s);
    }

    void variables() {
        if (ph.nzerovar > 0) {
            std::string s = " xyz variables set to zero: ";
            for (int i = 1; i <= ph.nzerovar; ++i) s += ph.zerovar[i] + "  ";
            line(1, s);
        }
        line(1, " composition variables");
        for (int v = 1; v <= ph.nvar; ++v) {
            const xvartype& x = ph.var[v];
            std::string s = "  ";
            addstr(x.name, 0, s);
            if (x.lower != 0 || x.upper != 1 || magemin) {
                addstr("  range ", 0, s);
                addnumber(3, s, x.lower);
                addstr(" <> ", 0, s);
                addnumber(3, s, x.upper);
            }
            if (x.isorder) addstr("  order variable", 0, s);
            line(0, s);
        }
    }

    void expressions() {
        line(1, " site fractions");
        for (int i = 1; i <= ph.nsf; ++i) writeexpr(ses, ph.sfname[i], ph, mask, ph.sf[i], magemin);
        line(1, " proportions");
        for (int i = 1; i <= ph.nem; ++i) writeexpr(ses, ph.em[i].name, ph, mask, ph.p[i], magemin);
    }

    void activities() {
        line(1, ph.model == axtype::ideal ? " activities" : " ideal mixing activities");
        for (int m = 1; m <= ph.nem; ++m) {
            const ssemtype& em = ph.em[m];
            std::string s = "  ";
            addstr(em.name, 0, s);
            addstr(" = ", 0, s);
            const real k = em.tmfconst;
            if (k != 1) {
                if (std::fabs(k - nint(k)) < 1e-4L) {
                    addgreal(0, s, nint(k));
                } else if (em.tmfrational) {
                    int32 num = 0;
                    int32 den = 1;
                    real2rational(k, num, den);
                    addgreal(0, s, num);
                    addstr("/", 0, s);
                    addgreal(0, s, den);
                } else {
                    addreal(4, true, 0, s, k);
                }
                addstr(mult, 0, s);
            }
            for (int f = 1; f <= em.ntmf; ++f) {
                const tmftermtype& t = em.tmf[f];
                if (f > 1) addstr(mult, 0, s);
                addstr(ph.sfname[t.sf], 0, s);
                if (t.pnum == 1 && t.pden == 1) continue;
                addstr(power, 0, s);
                if (t.pden == 1) {
                    addgreal(0, s, t.pnum);
                } else {
                    addstr("(", 0, s);
                    addgreal(0, s, t.pnum);
                    addstr("/", 0, s);
                    addgreal(0, s, t.pden);
                    addstr(")", 0, s);
                }
            }
            line(0, s);
        }
    }

    void nonideality() {
        if (ph.name == "fluid") {
            line(1, " non-ideality hard-wired");
            return;
        }
        if (ph.model == axtype::ideal) return;
        line(1, ph.model == axtype::symmetric ? " non-ideality by symmetric formalism"
                                              : " non-ideality by van laar");
        for (int w = 1; w <= ph.ngterm; ++w) {
            const gtermtype& g = ph.gterm[w];
            std::string s = "  W(" + ph.em[g.i].name + "," + ph.em[g.j].name + ") = ";
            addnumber(3, s, ph.wa[g.term]);
            addtp(s, ph.wb[g.term], ph.wc[g.term], mult);
            line(0, s);
        }
        if (ph.model != axtype::vanlaar) return;
        line(0, "");
        for (int m = 1; m <= ph.nem; ++m) {
            const real a = ph.alphaa[m];
            const real b = ph.alphab[m];
            const real c = ph.alphac[m];
            std::string s = "  v(" + ph.em[m].name + ") = ";
            if (a == 1) {
                addstr("1", 0, s);
            } else {
                addnumber(3, s, a);
            }
            if (std::fabs(b) > 1e-5L) {
                addstr(signof(b), 0, s);
                addreal(6, true, 0, s, std::fabs(b));
                addstr(mult, 0, s);
                addstr("T", 0, s);
            }
            if (std::fabs(c) > 1e-3L) {
                addstr(signof(c), 0, s);
                addreal(4, true, 0, s, std::fabs(c));
                addstr(mult, 0, s);
                addstr("P", 0, s);
            }
            line(0, s);
        }
    }

    void makes() {
        bool any = false;
        for (int m = 1; m <= ph.nem; ++m) any = any || ph.em[m].nmake > 0;
        if (!any) return;
        line(1, " \"make\" end-members");
        for (int m = 1; m <= ph.nem; ++m) {
            const ssemtype& em = ph.em[m];
            if (em.nmake <= 0) continue;
            std::string s = "  ";
            addstr(em.name, 0, s);
            addstr(" = ", 0, s);
            const int den = em.makeden;
            for (int t = 1; t <= em.nmake; ++t) {
                const int coef = em.makecoef[t];
                if (t == 1) {
                    if (coef < 0) addstr("- ", 0, s);
                } else {
                    addstr(coef > 0 ? " + " : " - ", 0, s);
                }
                const int mag = std::abs(coef);
                if (!((mag == 1 && den == 1) || mag == den)) {
                    addgreal(0, s, mag);
                    if (den > 1) {
                        addstr("/", 0, s);
                        addgreal(0, s, den);
                    }
                    addstr(mult, 0, s);
                }
                switch (em.makeaction[t]) {
                    case makeactiontype::equilibrium: addstr("e-", 0, s); break;
                    case makeactiontype::disordered: addstr("d-", 0, s); break;
                    case makeactiontype::ordered: addstr("o-", 0, s); break;
                    case makeactiontype::notrelevant:
                    case makeactiontype::notspecified: break;
                }
                addstr(em.makenames[t], 0, s);
            }
            if (em.dqfa != 0 || em.dqfb != 0 || em.dqfc != 0) {
                addstr(em.dqfa >= 0 ? " + " : " - ", 0, s);
                addnumber(3, s, std::fabs(em.dqfa));
                addtp(s, em.dqfb, em.dqfc, mult);
                switch (em.dqfkind) {
                    case 1: addstr("  (make)", 0, s); break;
                    case 2: addstr("  (mod)", 0, s); break;
                    case 3: addstr("  (od)", 0, s); break;
                    case 4: addstr("  (tran)", 0, s); break;
                    case 5: addstr("  (rcal)", 0, s); break;
                    default: break;
                }
            }
            line(0, s);
        }
    }
};

}  // namespace

void addnumber(int decimals, std::string& line, real x) {
    if (std::fabs(x - nint(x)) < 1e-8L) {
        addgreal(0, line, nint(x));
        return;
    }
    real tenp = 1;
    for (int p = 1; p <= 6; ++p) {
        tenp *= 10;  // exact: a power of ten up to 1e6
        const real scaled = tenp * x;
        if (std::fabs(scaled - nint(scaled)) < 1e-8L) {
            addreal(p, true, 0, line, x);
            return;
        }
    }
    addreal(decimals + 1, true, 0, line, x);
}

void printphaseinfo(Session& ses, const Run& run, int16 phase) {
    const bool magemin = run.script.magemincb == controlboolean::yes;
    const int32 mask = run.setup.phaseinfochannels;
    PhaseInfoWriter w{
        ses, run, (*run.arrays.prec1)[phase], mask, magemin, multsign(magemin), powersign(magemin)};
    const ptype1& ph = w.ph;
    if (phase == 1) {
        for (int i = 1; i <= run.ax.nheader; ++i) w.line(0, run.ax.header[i]);
    }
    if (ph.nem == 1) {
        w.line(1, dashes38);
        w.line(0, ph.name);
        w.line(1, " single end-member phase: " + ph.em[1].name);
    } else {
        w.heading();
        if (ph.coding == 2) w.coding2();
        w.variables();
        w.expressions();
        w.activities();
        w.nonideality();
        w.makes();
    }
    w.line(0, "");
}

}  // namespace qv
