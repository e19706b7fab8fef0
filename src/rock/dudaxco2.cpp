// duDA+ on calcs made at several fluid compositions x(CO2): the calcs are listed, put into the
// order of the P grid and the x(CO2) list (duDA+ and avP+), and for avP+ and avT+ replaced by
// calcs interpolated along x(CO2) to one fixed T or one fixed P.

#include <cmath>
#include <memory>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "rock/dudaplus.hpp"
#include "textio/numfmt.hpp"
#include "textio/prompts.hpp"

namespace qv {
namespace {

using CalcTable = Fixed1<qvcalctype, maxqvcalcs>;

constexpr int listhead = 50;  // calcs listed before the tail
constexpr int listtail = 10;

std::string calcline(const qvcalctype& c, int k) {
    return fixw(k, 2, 0) + ") " + fixw(c.p, 8, 3) + fixw(c.t, 8, 2) + fixw(c.xfluid, 8, 4) + "\n";
}

// byp: an empty line where P changes (else where x(fluid) changes); tailfrom10: the tail after
// "..." always starts 10 before the end.
void listcalcs(DudaState& d, bool byp, bool tailfrom10) {
    const int nqv = d.nqv();
    std::string out;
    auto one = [&](int k) {
        out += calcline(d.calc(k), k);
        if (k < nqv) {
            const qvcalctype& a = d.calc(k);
            const qvcalctype& b = d.calc(k + 1);
            if (byp ? a.p != b.p : a.xfluid != b.xfluid) out += "\n";
        }
    };
    for (int k = 1; k <= std::min(nqv, listhead); ++k) one(k);
    if (nqv > listhead) {
        if (tailfrom10 || nqv - listtail > listhead) {
            out += "...\n";
            for (int k = nqv - listtail; k <= nqv; ++k) one(k);
        } else {
            for (int k = listhead + 1; k <= nqv; ++k) one(k);
        }
    }
    d.ses.console.write(out);
}

qvcalctype interpolate(const DudaState& d, const qvcalctype& a, const qvcalctype& b, real f) {
    qvcalctype c = a;
    auto mix = [f](real u, real v) { return u + f * (v - u); };
    c.xfluid = mix(a.xfluid, b.xfluid);
    for (int i = 1; i <= d.n(); ++i) {
        c.xyz[i] = mix(a.xyz[i], b.xyz[i]);
        c.sdxyz[i] = mix(a.sdxyz[i], b.sdxyz[i]);
    }
    for (int i = 1; i <= d.in.calcs.ncalccorr; ++i) c.corr[i] = mix(a.corr[i], b.corr[i]);
    return c;
}

}  // namespace

void withxco2preprocess(DudaState& d) {
    Session& ses = d.ses;
    DudaSettings& set = d.in.set;
    StoredCalcs& sc = d.in.calcs;
    CalcTable& calcs = *sc.qvcalcs;
    ses.console.write("\ninitial info setup nqv = " + realstr(sc.nqv) + "\n");
    listcalcs(d, false, false);
    if (set.avptcalc < 3) {
        const Windows& w = d.in.win;
        if (w.pinc == 0) bomb("withxco2 preprocess", "P inc = 0 in calcP", yourfault);
        auto copy = std::make_unique<CalcTable>(calcs);
        const auto npts = static_cast<int>(std::nearbyint((w.pwinhigh - w.pwinlow) / w.pinc));
        int count = 0;
        for (int i = 1; i <= npts + 1; ++i) {
            const real p = w.pwinlow + w.pinc * (i - 1);
            for (real x : d.in.xco2values) {
                for (int k = 1; k <= sc.nqv; ++k) {
                    const qvcalctype& c = (*copy)[k];
                    if (std::fabs(c.p - p) < 0.00001L && std::fabs(c.xfluid - x) < 0.00001L) {
                        if (++count <= maxqvcalcs) calcs[count] = c;
                        break;
                    }
                }
            }
        }
        if (count != sc.nqv) bomb("withxco2 preprocess", "nqv mismatch", yourfault);
        ses.console.write(set.avptcalc == 1 ? "\nend of preprocess (shuffled)\n" : "\nshuffled\n");
        listcalcs(d, true, true);
    }
    if (set.avptcalc == 1) return;
    const bool avp = set.avptcalc == 2;
    real fixed = 0;
    promptreal(
        ses,
        avp ? "with x(CO2), the fixed T for avP+ is " : "with x(CO2), the fixed P for avT+ is ",
        fixed);
    auto copy = std::make_unique<CalcTable>(calcs);
    int count = 0;
    for (int k = 1; k <= sc.nqv - 1; ++k) {
        const qvcalctype& a = (*copy)[k];
        const qvcalctype& b = (*copy)[k + 1];
        const real same1 = avp ? a.p : a.t, same2 = avp ? b.p : b.t;
        const real v1 = avp ? a.t : a.p, v2 = avp ? b.t : b.p;
        if (same1 != same2) continue;
        if (!((v1 <= fixed && fixed <= v2) || (v2 <= fixed && fixed <= v1))) continue;
        if (std::fabs(v2 - v1) < 1e-8L) {
            bomb(avp ? "withxco2preprocess" : "withxco2 preprocess", "divide by zero", yourfault);
        }
        qvcalctype c = interpolate(d, a, b, (fixed - v1) / (v2 - v1));
        (avp ? c.t : c.p) = fixed;
        calcs[++count] = c;
    }
    sc.nqv = narrow16(count);
    (avp ? set.avptfixedt : set.avptfixedp) = fixed;
    ses.console.write("\nafter preprocess\n");
    std::string out;
    for (int k = 1; k <= sc.nqv; ++k) out += calcline(calcs[k], k);
    ses.console.write(out);
}

}  // namespace qv
