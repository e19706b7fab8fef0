// The body of a solution phase in the a-x file: composition variables, end-member proportions,
// the mixing model with its W terms and van Laar sizes, site fractions, and per end-member its
// ideal-mixing activity and options.

#include <cmath>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "model/axsetup.hpp"
#include "model/dataset.hpp"
#include "numerics/intmath.hpp"
#include "textio/inputcheck.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr const char* label = "setup phases";

std::string pairname(char letter, int i, int j) {
    return std::string(1, letter) + "(" + realstr(i) + "," + realstr(j) + ")";
}

// Strips "p(" ... ")" (or the given opening) from a name written in that form.
std::string inner(const std::string& name, std::string_view open, std::size_t minlength) {
    if (name.size() > minlength && name.compare(0, open.size(), open) == 0) {
        return name.substr(open.size(), name.size() - open.size() - 1);
    }
    return name;
}

int16 lcmden(const makeitype& dens, int16 n) {
    int32 l = 1;
    for (int k = 1; k <= n; ++k) l = lcm(l, dens[k]);
    return li2i(l);
}

int16 charge(std::string_view name) {
    int16 z = 0;
    for (auto it = name.rbegin(); it != name.rend() && (*it == '+' || *it == '-'); ++it) ++z;
    return z;
}

}  // namespace

int optionkeyword(std::string_view w, int& dqfkind) {
    static constexpr std::string_view dqfwords[][3] = {
        {"deltaG", "DQF", "dqf"},
        {"deltaG(make)", "delG(make)", "\xC6G(make)"},
        {"deltaG(mod)", "delG(mod)", "\xC6G(mod)"},
        {"deltaG(od)", "delG(od)", "\xC6G(od)"},
        {"deltaG(tran)", "delG(tran)", "\xC6G(tran)"},
        {"deltaG(rcal)", "delG(rcal)", "\xC6G(rcal)"},
    };
    dqfkind = -1;
    if (w == "\xC6G") {
        dqfkind = 0;
        return optdqf;
    }
    for (int kind = 0; kind < 6; ++kind) {
        for (const std::string_view d : dqfwords[kind]) {
            if (w == d) {
                dqfkind = kind;
                return optdqf;
            }
        }
    }
    if (w == "make") return optmake;
    if (w == "check") return optcheck;
    if (w == "exclude") return optexclude;
    return 0;
}

bool ischarged(std::string_view name) {
    return !name.empty() && (name.back() == '+' || name.back() == '-');
}

// ---------------------------------------------------------------------------------------------
// Expressions

void AxSetup::readexpr(termtype& e, const ptype1& ph, const std::string& prompt) {
    rd.nextitem("no of sxterms" + prompt);
    const int16 nsx = getinteger(rd.wordtype, rd.word, "no of sxterms" + prompt);
    if (nsx < 1) bomb(label, "too few sxterms" + prompt, yourfault);
    if (nsx > maxsxterms) bomb(label, "too many sxterms" + maxtext(maxsxterms), yourfault);
    e.nsxterms = nsx;
    for (int i = 1; i <= nsx; ++i) {
        sxtermtype& sx = e.sxterm[i];
        sx.coef = 1;
        rd.nextitem("no of xterms" + prompt);
        const int16 nx = getinteger(rd.wordtype, rd.word, "no of xterms" + prompt);
        if (nx < 1) bomb(label, "too few x terms" + prompt, yourfault);
        if (nx > maxxterms) bomb(label, "too many x terms" + maxtext(maxxterms), yourfault);
        sx.nxterms = nx;
        for (int j = 1; j <= nx; ++j) {
            xtermtype& x = sx.xterm[j];
            const std::string cprompt = "constant in " + ord(j) + " term" + prompt;
            rd.nextitem(cprompt);
            getrational(rd.wordtype, rd.word, x.constnum, x.constden, cprompt);
            const std::string nprompt = "no of terms in " + ord(j) + " term" + prompt;
            rd.nextitem(nprompt);
            const int16 nt = getinteger(rd.wordtype, rd.word, nprompt);
            if (nt < 0) bomb(label, "too few terms in x" + prompt, yourfault);
            if (nt > maxxtermvars)
                bomb(label, "too many terms in x" + maxtext(maxxtermvars), yourfault);
            x.nx = nt;
            for (int k = 1; k <= nt; ++k) {
                const std::string of = ord(k) + " of " + ord(j) + " term" + prompt;
                rd.nextitem("mult in " + of);
                getrational(rd.wordtype, rd.word, x.num[k], x.den[k], "mult in " + of);
                const std::string iprompt = "index/name in " + of;
                rd.nextitem(iprompt);
                int16 idx = 0;
                if (rd.wordtype == valuetype::aninteger) {
                    idx = getinteger(rd.wordtype, rd.word, iprompt);
                    if (idx < 1 || idx > ph.nvar) bomb(label, "illegal " + iprompt, yourfault);
                } else if (rd.wordtype == valuetype::astring) {
                    for (int v = 1; v <= ph.nvar && idx == 0; ++v) {
                        const std::string& vn = ph.var[v].longname;
                        if (vn.substr(0, vn.find('(')) == rd.word) idx = narrow16(v);
                    }
                    if (idx == 0) {
                        bomb(label, rd.word + " not a variable name: " + iprompt, yourfault);
                    }
                } else {
                    bomb(label, rd.word + " not a " + iprompt, yourfault);
                }
                x.idx[k] = idx;
            }
            if (nt == 0 && x.constnum == 0) bomb(label, "zero term" + prompt, yourfault);
        }
    }
}

void AxSetup::readratio(termtype& e, const std::string& prompt, scvector& names, int16& nnames) {
    nnames = 0;
    e.nsxterms = 1;
    sxtermtype& sx = e.sxterm[1];
    sx.coef = 1;
    sx.nxterms = 1;
    xtermtype& x = sx.xterm[1];
    const std::string cprompt = "constant in 1st term" + prompt;
    rd.nextitem(cprompt);
    getrational(rd.wordtype, rd.word, x.constnum, x.constden, cprompt);
    const std::string nprompt = "no of terms in 1st term" + prompt;
    rd.nextitem(nprompt);
    const int16 nt = getinteger(rd.wordtype, rd.word, nprompt);
    if (nt < 0) bomb(label, "too few terms in x" + prompt, yourfault);
    if (nt > maxxtermvars) bomb(label, "too many terms in x" + maxtext(maxxtermvars), yourfault);
    x.nx = nt;
    for (int k = 1; k <= nt; ++k) {
        const std::string of = ord(k) + " of 1st term" + prompt;
        rd.nextitem("mult in " + of);
        getrational(rd.wordtype, rd.word, x.num[k], x.den[k], "mult in " + of);
        const std::string iprompt = "index/name in " + of;
        rd.nextitem(iprompt);
        if (rd.wordtype == valuetype::aninteger) {
            // A number stands for a named quantity by its place; its meaning is the user's.
            x.idx[k] = getinteger(rd.wordtype, rd.word, iprompt);
        } else if (rd.wordtype == valuetype::astring) {
            int16 idx = 0;
            for (int v = 1; v <= nnames && idx == 0; ++v) {
                if (names[v] == rd.word) idx = narrow16(v);
            }
            if (idx == 0) {
                ++nnames;
                names[nnames] = rd.word;
                idx = nnames;
            }
            x.idx[k] = idx;
        } else {
            bomb(label, rd.word + " not a " + iprompt, yourfault);
        }
    }
    if (nt == 0 && x.constnum == 0) bomb(label, "zero term" + prompt, yourfault);
}

// ---------------------------------------------------------------------------------------------
// Composition variables

void AxSetup::readvariable(ptype1& ph, int i) {
    xvartype& v = ph.var[i];
    rd.nextitem(ord(i) + " variable name");
    getname(v.name, rd.wordtype, rd.word, ord(i) + " variable name");
    v.longname = v.name;
    v.guess = 0;
    v.guesssd = 0;
    v.isorder = false;
    v.nnum = 0;
    v.nden = 0;
    v.num.nsxterms = 0;
    v.den.nsxterms = 0;

    if (ph.coding == 2) {
        if (rd.nexttype == valuetype::areal) {
            bomb(label, "with coding = 2, omit starting guesses for " + ph.name, yourfault);
        }
        if (rd.nextis("-")) {
            rd.nextitem("numerator in " + v.name);
        } else {
            readratio(v.num, " of numerator in " + v.name, v.lastnames, v.nlast);
            v.numnames = v.lastnames;
            v.nnum = v.nlast;
            readratio(v.den, " of denominator in " + v.name, v.lastnames, v.nlast);
            v.dennames = v.lastnames;
            v.nden = v.nlast;
        }
    } else {
        const std::string gprompt = "guess for " + v.name;
        rd.nextitem(gprompt);
        v.guess = getsingle(rd.wordtype, rd.word, gprompt);
        if (v.guess == 0) bomb(label, gprompt + " is zero", yourfault);
        if (rd.nextis("sd")) {
            rd.nextitem("sd of " + v.name);
            rd.nextitem("sd of " + v.name);
            v.guesssd = getsingle(rd.wordtype, rd.word, "sd of " + v.name);
            if (v.guesssd < 0 || v.guesssd > 1) v.guesssd = 0;
        }
    }
    if (rd.nextis("isQ") || rd.nextis("ODvar")) {
        rd.nextitem("order variable " + v.name);
        v.isorder = true;
    }
    v.lowerread = 11;
    v.upperread = -11;
    if (rd.nextis("range")) {
        rd.nextitem("range of " + v.name);
        rd.nextitem("lower limit of " + v.name);
        const real lower = getsingle(rd.wordtype, rd.word, "lower limit of " + v.name);
        rd.nextitem("upper limit of " + v.name);
        const real upper = getsingle(rd.wordtype, rd.word, "upper limit of " + v.name);
        if (upper < lower) bomb("read", "lower limit > upper limit (1)", yourfault);
        v.lowerread = lower;
        v.upperread = upper;
    }
    v.lower = v.lowerread;
    v.upper = v.upperread;

    // The name is symbol(phase): the phase named must be this one, as read.
    const std::string& nm = v.longname;
    const std::size_t open = nm.find('(');
    if (open == std::string::npos || open < 1 || open + 3 > nm.size() || nm.back() != ')') {
        bomb(label, "varname, \"" + nm + "\", should be in form \"xyzname(phasename)\"", yourfault);
    }
    const std::string inside = nm.substr(open + 1, nm.size() - open - 2);
    if (inside != ph.longname) {
        bomb(label, "name in " + inside + " must be the same as phasename, " + ph.longname,
             yourfault);
    }
    if (!ph.suffix.empty()) v.name = nm.substr(0, open + 1) + ph.name + ")";

    // Q for order parameters, N for site occupancies that order.
    if (nm[0] == 'Q' || nm[0] == 'N') v.isorder = true;
    if (v.isorder) ph.hasorder = true;
}

// ---------------------------------------------------------------------------------------------
// Mixing model

void AxSetup::readnonideal(ptype1& ph, int16 n) {
    const int nw = n * (n - 1) / 2;
    if (nw > maxw) bomb(label, "phase too big for auto gammas", yourfault);
    ph.nw = narrow16(nw);
    for (int i = 1; i <= n; ++i) {
        ph.alphaa[i] = 1;
        ph.alphab[i] = 0;
        ph.alphac[i] = 0;
    }
    const real sddefault = run.script.justrelucb == controlboolean::yes ? 0 : 2;
    int k = 0;
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            ++k;
            ph.wname[k] = pairname('W', i, j);
            ph.wa[k] = 0;
            ph.wb[k] = 0;
            ph.wc[k] = 0;
            ph.wsd[k] = sddefault;
            ph.wsddefault[k] = true;
        }
    }

    if (rd.nextis("ideal")) {
        ph.model = axtype::ideal;
        rd.nextitem("start of entering w's");
        return;
    }
    if (rd.nextis("sf") || rd.nextis("regular")) {
        ph.model = axtype::symmetric;
    } else if (rd.nextis("asf") || rd.nextis("vanlaar")) {
        ph.model = axtype::vanlaar;
    } else {
        bomb("setupphases", "not recognised (should be ideal, sf or asf)", yourfault);
    }
    rd.nextitem("start of entering w's");

    for (k = 1; k <= nw; ++k) {
        const std::string defaultname = ph.wname[k];
        rd.nextitem(defaultname);
        getname(ph.wname[k], rd.wordtype, rd.word, defaultname);
        const std::string& wn = ph.wname[k];
        rd.nextitem("a in w=a+bT+cP in " + wn);
        ph.wa[k] = getsingle(rd.wordtype, rd.word, "a in w=a+bT+cP in " + wn);
        rd.nextitem("b in w=a+bT+cP in " + wn);
        ph.wb[k] = getsingle(rd.wordtype, rd.word, "b in w=a+bT+cP in " + wn);
        rd.nextitem("c in w=a+bT+cP in " + wn);
        ph.wc[k] = getsingle(rd.wordtype, rd.word, "c in w=a+bT+cP in " + wn);
        if (rd.nextis("sd")) {
            rd.nextitem("expecting to enter sd(w)");
            rd.nextitem("sd for " + wn);
            ph.wsd[k] = getsingle(rd.wordtype, rd.word, "sd for " + wn);
            checkinput(ph.wsd[k] >= 0, label, "sd of " + wn + " in " + ph.name, ph.wsd[k],
                       "must not be negative", run.ax.filename);
            ph.wsddefault[k] = false;
        }
    }

    if (ph.model == axtype::vanlaar) {
        for (int i = 1; i <= n; ++i) {
            const std::string defaultname = "a(" + realstr(i) + ")";
            rd.nextitem(defaultname);
            std::string sizename;
            getname(sizename, rd.wordtype, rd.word, defaultname);
            // The written size name is checked against the end-member once that is read.
            sizenames[i] = sizename;
            const std::string head = "value of " + sizename;
            rd.nextitem(head + "a, in a + bT + cP");
            ph.alphaa[i] = getsingle(rd.wordtype, rd.word, head + "a, in a + bT + cP");
            rd.nextitem(head + "b, in a + bT + cP");
            ph.alphab[i] = getsingle(rd.wordtype, rd.word, head + "b, in a + bT + cP");
            rd.nextitem(head + "c, in a + bT + cP");
            ph.alphac[i] = getsingle(rd.wordtype, rd.word, head + "c, in a + bT + cP");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// End-member options

int AxSetup::optioncode() const {
    if (rd.ended()) return 0;
    if (rd.nexttype == valuetype::aninteger) {
        int16 code = 0;
        std::string msg;
        return str2int(rd.next, code, msg) ? code : 0;
    }
    if (rd.nexttype != valuetype::astring) return 0;
    int kind = 0;
    return optionkeyword(rd.next, kind);
}

int AxSetup::readoptionword(std::string_view prompt, int& dqfkindofword) {
    const int code = optioncode();
    rd.nextitem(prompt);
    dqfkindofword = -1;
    if (rd.wordtype == valuetype::astring) optionkeyword(rd.word, dqfkindofword);
    return code;
}

void AxSetup::readdqf(const DqfFields& d, int16 nmake, const std::string& emname, real bshift) {
    if (calib) bomb(label, "DQF not allowed in lsqds", yourfault);
    if (!ds190 && nmake == 0) {
        bomb(label, "need to \"make\" end-member before DQF-ing it", yourfault);
    }
    if (rd.nexttype == valuetype::astring) {
        bomb(label, "keyword after DQF not allowed now (include in make)", yourfault);
    }
    const std::string tail = " in a+bT+cP in DQF term for " + emname;
    rd.nextitem("a" + tail);
    d.a = getsingle(rd.wordtype, rd.word, "a" + tail);
    rd.nextitem("b" + tail);
    d.b = getsingle(rd.wordtype, rd.word, "b" + tail);
    d.b += bshift;
    rd.nextitem("c" + tail);
    d.c = getsingle(rd.wordtype, rd.word, "c" + tail);
}

void AxSetup::readmake(const MakeFields& m, const std::string& emname, bool mustdiffer) {
    const std::string nprompt = "no of end-members to construct " + emname;
    rd.nextitem(nprompt);
    m.nmake = getinteger(rd.wordtype, rd.word, nprompt);
    if (calib && m.nmake != 1)
        bomb(label, "several end-member make not allowed in lsqds", yourfault);
    if (m.nmake < 1) bomb(label, "too few end-members to construct " + emname, yourfault);
    if (m.nmake > maxmake) {
        bomb(label, "too many end-members to construct " + emname + maxtext(maxmake), yourfault);
    }
    makeitype nums;
    makeitype dens;
    for (int k = 1; k <= m.nmake; ++k) {
        m.action[k] = makeactiontype::notspecified;
        const std::string aprompt = "action for end-members in making " + emname;
        std::string action;
        getname(action, rd.nexttype, rd.next, aprompt);
        if (action == "ordered" || action == "disordered" || action == "equilibrium" ||
            action == "equil") {
            m.action[k] = action == "ordered"      ? makeactiontype::ordered
                          : action == "disordered" ? makeactiontype::disordered
                                                   : makeactiontype::equilibrium;
            rd.nextitem(aprompt);
        }
        const std::string cprompt = "names of end-members to construct " + emname;
        rd.nextitem(cprompt);
        getname(m.names[k], rd.wordtype, rd.word, cprompt);
        checkdsname(run.dataset, m.names[k]);
        if (mustdiffer && !calib && m.names[k] == emname) {
            bomb("setupphases",
                 "names: end-member, " + emname + ", and name in make, " + m.names[k] +
                     ", must be different",
                 yourfault);
        }
        const std::string kprompt = "coeffs of end-members to construct " + emname;
        rd.nextitem(kprompt);
        getrational(rd.wordtype, rd.word, nums[k], dens[k], kprompt);
    }
    m.makeden = lcmden(dens, m.nmake);
    for (int k = 1; k <= m.nmake; ++k) {
        m.coef[k] = li2i(int32{nums[k]} * m.makeden / dens[k]);
    }
}

void AxSetup::compoundcharges(const MakeFields& m, tdvector& td, bool purephase) {
    td[18] = 0;
    td[19] = 0;
    bool anycharged = false;
    for (int k = 1; k <= m.nmake; ++k) anycharged = anycharged || ischarged(m.names[k]);
    if (!anycharged) return;
    if (m.nmake != 2)
        bomb("setupphases", "must be just 2 charged species in a compound", yourfault);
    if (!ischarged(m.names[1]) || !ischarged(m.names[2])) {
        bomb("setupphases", "all species in a compound must be charged", yourfault);
    }
    const int32 z1 = charge(m.names[1]);
    const int32 z2 = charge(m.names[2]);
    const int32 c1 = m.coef[1];
    const int32 c2 = m.coef[2];
    // A solution end-member is one formula unit of the compound; a pure phase carries the two
    // species in equal amounts.
    const bool meanform = purephase ? c1 == c2 : c1 + c2 == m.makeden;
    if (!meanform) bomb("setupphases", "compound not in mean form", yourfault);
    if (c1 * z1 != c2 * z2) bomb("setupphases", "compound not charged-balanced", yourfault);
    td[18] = static_cast<real>(z1);
    td[19] = static_cast<real>(z2);
}

// ---------------------------------------------------------------------------------------------
// End-members

void AxSetup::readendmember(ptype1& ph, int i) {
    ssemtype& em = ph.em[i];
    em.excluded = false;
    const std::string nprompt = "end-member name in " + ph.name;
    rd.nextitem(nprompt);
    getname(em.name, rd.wordtype, rd.word, nprompt);

    const std::string cprompt = "normalisation constant in tmf for " + em.name;
    rd.nextitem(cprompt);
    em.tmfconst = getsingle(rd.wordtype, rd.word, cprompt);
    em.tmfrational = rd.wordtype == valuetype::arational;
    checkinput(em.tmfconst > 0, label, "ideal-activity constant of " + em.name + " in " + ph.name,
               em.tmfconst, "must be above 0", run.ax.filename);

    const std::string tprompt = "no of sf terms in tmf for " + em.name;
    rd.nextitem(tprompt);
    em.ntmf = getinteger(rd.wordtype, rd.word, tprompt);
    if (em.ntmf < 1) bomb(label, "too few terms in tmf for " + em.name, yourfault);
    if (em.ntmf > maxtmf) {
        bomb(label, "too many terms in tmf for " + em.name + maxtext(maxtmf), yourfault);
    }
    real maxp = 0;
    for (int k = 1; k <= em.ntmf; ++k) {
        tmftermtype& f = em.tmf[k];
        const std::string sprompt = "name for " + ord(k) + " sf term in tmf for " + em.name;
        rd.nextitem(sprompt);
        if (rd.wordtype != valuetype::astring)
            bomb(label, rd.word + " not a " + sprompt, yourfault);
        f.sf = 0;
        for (int s = 1; s <= ph.nsf && f.sf == 0; ++s) {
            if (ph.sfname[s] == rd.word) f.sf = narrow16(s);
        }
        if (f.sf == 0) bomb(label, rd.word + " not a sf name: " + sprompt, yourfault);
        const std::string pprompt = "power for " + ord(k) + " sf term in tmf for " + em.name;
        rd.nextitem(pprompt);
        getrational(rd.wordtype, rd.word, f.pnum, f.pden, pprompt);
        const real power = static_cast<real>(f.pnum) / static_cast<real>(f.pden);
        checkinput(power > 0, label, "site multiplicity (" + pprompt + ")", power,
                   "must be above 0", run.ax.filename);
        maxp = std::max(maxp, static_cast<real>(f.pnum) / static_cast<real>(f.pden));
    }
    // The site multiplicity the activity stands for: halves go to the even neighbour.
    const real rounded = std::nearbyint(maxp);
    em.maxpower = rounded < 1 ? int16{1} : static_cast<int16>(rounded);

    em.dqfkind = -1;
    em.dqfa = 0;
    em.dqfb = 0;
    em.dqfc = 0;
    em.dqfvaried.fill(false);
    em.nmake = 0;
    em.checkden = 0;
    const MakeFields make{em.nmake, em.makeden, em.makenames, em.makecoef, em.makeaction};
    int prevdqf = -1;
    while (optioncode() != 0) {
        int kindofword = -1;
        const int code =
            readoptionword("code for additional end-member info for " + em.name, kindofword);
        if (code == optdqf) {
            // A plain "3" takes the kind of a DQF keyword just before it.
            em.dqfkind = narrow16(kindofword >= 0 ? kindofword : std::max(prevdqf, 0));
            readdqf(DqfFields{em.dqfkind, em.dqfa, em.dqfb, em.dqfc}, em.nmake, em.name);
        } else if (code == optmake) {
            readmake(make, em.name, true);
        } else if (code == optcheck) {
            Fixed1<int16, maxssvars> nums;
            Fixed1<int16, maxssvars> dens;
            int32 l = 1;
            for (int k = 1; k <= ph.nvar; ++k) {
                const std::string xprompt = "coeffs in x defining pure end-members for " + em.name;
                rd.nextitem(xprompt);
                getrational(rd.wordtype, rd.word, nums[k], dens[k], xprompt);
                l = lcm(l, dens[k]);
            }
            em.checkden = li2i(l);
            for (int k = 1; k <= ph.nvar; ++k) {
                em.checkcoef[k] = li2i(int32{nums[k]} * em.checkden / dens[k]);
            }
        } else if (code == optexclude) {
            em.excluded = true;
        } else {
            bomb(label, "wrong code in info for " + em.name, yourfault);
        }
        prevdqf = kindofword;
    }

    if (em.nmake == 0) {
        checkdsname(run.dataset, em.name);
        if (ischarged(em.name)) {
            bomb("setupphases", "charged species not allowed as end-members", yourfault);
        }
        em.td[18] = 0;
        em.td[19] = 0;
    } else {
        compoundcharges(make, em.td, false);
    }
}

// ---------------------------------------------------------------------------------------------
// The whole body

void AxSetup::solutionbody(ptype1& ph, int16 n) {
    ph.hasorder = false;
    for (int i = 1; i <= ph.nvar; ++i) readvariable(ph, i);

    for (int i = 1; i <= n; ++i) {
        const std::string pprompt = "name of " + ord(i) + " p var";
        rd.nextitem(pprompt);
        getname(propnames[i], rd.wordtype, rd.word, pprompt);
        readexpr(ph.p[i], ph, " in " + propnames[i]);
    }

    readnonideal(ph, n);

    const std::string sprompt = "no of sf vars for " + ph.longname;
    rd.nextitem(sprompt);
    ph.nsf = getinteger(rd.wordtype, rd.word, sprompt);
    if (ph.nsf < 2) bomb(label, "less than 2 sf vars for " + ph.name, yourfault);
    if (ph.nsf > maxsf) bomb(label, "too many  sf vars for " + ph.name + maxtext(maxsf), yourfault);
    for (int k = 1; k <= ph.nsf; ++k) {
        const std::string nprompt = "name of " + ord(k) + " sf var";
        rd.nextitem(nprompt);
        getname(ph.sfname[k], rd.wordtype, rd.word, nprompt);
        readexpr(ph.sf[k], ph, " in " + ph.sfname[k]);
    }

    for (int i = 1; i <= n; ++i) readendmember(ph, i);

    // Unset W uncertainties scale with the sizes of the pair and the site multiplicity.
    real m = 0;
    for (int i = 1; i <= n; ++i) m += ph.em[i].maxpower;
    m /= n;
    int k = 0;
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            ++k;
            if (ph.wsddefault[k]) ph.wsd[k] = 0.5L * (ph.alphaa[i] + ph.alphaa[j]) * ph.wsd[k] * m;
        }
    }

    if (!calib) namechecks(ph);

    ph.ngterm = 0;
    if (ph.model != axtype::ideal) {
        k = 0;
        for (int i = 1; i < n; ++i) {
            for (int j = i + 1; j <= n; ++j) {
                ++k;
                if (k > maxw) bomb("read", "too many gterms", yourfault);
                ph.gterm[k] = gtermtype{narrow16(k), narrow16(i), narrow16(j)};
            }
        }
        ph.ngterm = narrow16(k);
        if (ph.ngterm == 0) ph.model = axtype::ideal;
    }
}

void AxSetup::namechecks(const ptype1& ph) {
    for (int i = 1; i <= ph.nvar; ++i) {
        const std::string& nm = ph.var[i].name;
        const std::size_t open = nm.find('(');
        if (open == std::string::npos || nm.back() != ')') {
            bomb("setupphases", "name in varname not of form xyz(min)", yourfault);
        }
    }
    for (int i = 1; i <= ph.nem; ++i) {
        const std::string& em = ph.em[i].name;
        if (inner(propnames[i], "p(", 2) != em) {
            bomb("setupphases",
                 "name in propname, \"" + propnames[i] + "\" does not match " + em + " in " +
                     ph.name,
                 yourfault);
        }
    }
    for (int i = 1; i <= ph.nem && ph.model == axtype::vanlaar; ++i) {
        const std::string& em = ph.em[i].name;
        if (inner(sizenames[i], "a(", 2) != em) {
            bomb("setupphases",
                 "name in alphaname, \"" + sizenames[i] + "\" does not match \"" + em + "\" in " +
                     ph.name,
                 yourfault);
        }
    }
    if (ph.model == axtype::ideal) return;
    int k = 0;
    for (int i = 1; i < ph.nem; ++i) {
        for (int j = i + 1; j <= ph.nem; ++j) {
            ++k;
            const std::string pair = inner(ph.wname[k], "W(", 1);
            const std::size_t comma = pair.find(',');
            if (comma == std::string::npos) bomb("setupphases", "W not strictsyntax", yourfault);
            const std::string a = trim(pair.substr(0, comma));
            const std::string b = trim(pair.substr(comma + 1));
            const std::string& ni = ph.em[i].name;
            const std::string& nj = ph.em[j].name;
            if (!((a == ni && b == nj) || (a == nj && b == ni))) {
                bomb("setupphases",
                     "names in  W name, \"" + ph.wname[k] + "\" do not match \"" + ni +
                         "\" and \"" + nj + "\" in " + ph.name,
                     yourfault);
            }
        }
    }
}

}  // namespace qv
