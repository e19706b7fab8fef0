// The 95% confidence intervals of the duDA+ Monte Carlo results with the table that summarises
// them, and the diagnostics table of the nominal solution.

#include <cmath>
#include <memory>

#include "base/fatal.hpp"
#include "numerics/sorting.hpp"
#include "rock/dudaplus.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

constexpr const char* degree = "\xA1";
constexpr const char* plusminus = "\xB1";
constexpr real ciwidthtosd = 3.92L;  // 2 x 1.96: width of a 95% interval in sds
constexpr real madtosd = 0.6745L;
constexpr real ellipsefactor = 1.248469387755102L;  // 2.447 / 1.96

std::string dec(real x, int d) {
    return realfixstr(d, true, x);
}

// A table row: label in 20 columns, then numbers in 8.
struct Row {
    std::string line;
    explicit Row(const std::string& label) { addstr(label, -20, line); }
    Row& num(real x, int d) {
        addreal(d, true, 8, line, x);
        return *this;
    }
    Row& text(const std::string& s) {
        addstr(s, 8, line);
        return *this;
    }
    Row& nmad(bool found, real x, int d) { return found ? num(x, d) : text("?"); }
};

void put(DudaState& d, int before, const std::string& line) {
    putstr(d.ses, before, line, 1, screensummarylogmask);
}

// Copies the first n values into s and sorts them.
void sortedcopy(const mcreals& v, int16 n, sortvector& s) {
    for (int i = 1; i <= n; ++i) s[i] = v[i];
    shellsort(s, n);
}

real median(const sortvector& s, int16 n) {
    return n % 2 == 0 ? 0.5L * (s[n / 2] + s[n / 2 + 1]) : s[n / 2 + 1];
}

std::string ufacnote(const DudaState& d) {
    return d.ufac != 1 ? " (with ufac = " + dec(d.ufac, 3) + ")" : "";
}

real xco2at(const DudaState& d, real p, real t) {
    return polyvalue(d.fit, d.xco2coeffs, d.pexps, d.texps, p, t);
}

// avP+ (ptype) or avT+.
void printonevar(DudaState& d, bool full, bool ptype) {
    const int16 n = d.nmcresults;
    const DudaSettings& set = d.in.set;
    auto s = std::make_unique<sortvector>();
    sortedcopy(ptype ? *d.mcp : *d.mct, n, *s);
    real lo = (*s)[roundup(n, 0.025L)];
    real hi = (*s)[roundup(n, 0.975L)];
    const std::string unit = ptype ? " kbar" : std::string(" ") + degree + "C";
    put(d, 1,
        std::string("the 95% ci on ") + (ptype ? "avP+" : "avT+") + " is: " + dec(lo, 2) + " to " +
            dec(hi, 2) + unit + ufacnote(d));
    auto unscale = [&](real x) { return ptype ? ufacunscalep(d, x) : ufacunscalet(d, x); };
    if (d.ufac == 1) {
        put(d, 0,
            ptype ? "in the context of P range of data: " + dec(d.pmin, 2) + " to " +
                        dec(d.pmax, 2) + " kbar"
                  : "in the context of T range of data: " + dec(d.tmin, 1) + " to " +
                        dec(d.tmax, 1) + degree + "C");
    } else {
        lo = unscale(lo);
        hi = unscale(hi);
        put(d, 0, "    which converts to: " + dec(lo, 2) + " to " + dec(hi, 2) + unit);
    }
    if (!full) return;
    const int dp = ptype ? 3 : 2;
    const real med = unscale(median(*s, n));
    real low = 0, high = 0;
    const bool found = findnmad2(*s, n, ptype ? d.pmid : d.tmid, low, high);
    low /= d.ufac;
    high /= d.ufac;
    std::string head = ptype ? "at " + dec(set.avptfixedt, 1) + " " + degree + "C"
                             : "at " + dec(set.avptfixedp, 2) + " kbar";
    Row h(head);
    h.text(ptype ? "P kbar" : std::string("T ") + degree + "C");
    if (set.avptxco2) h.text("x(CO2)");
    put(d, 1, h.text("sigfit").line);
    Row r(ptype ? "avP+" : "avT+");
    r.num(ptype ? d.pmid : d.tmid, dp);
    if (set.avptxco2) {
        r.num(ptype ? xco2at(d, d.pmid, set.avptfixedt) : xco2at(d, set.avptfixedp, d.tmid), 3);
    }
    put(d, 0, r.num(d.sigfitnom, 2).line);
    put(d, 0, Row("median mc").num(med, dp).line);
    put(d, 0, Row("mid 95% ci").num(0.5L * (lo + hi), dp).line);
    put(d, 1, Row(d.ufac == 1 ? "" : "linear approx").text(ptype ? "sd(P)" : "sd(T)").line);
    put(d, 0,
        Row("from the 95% ci").num((hi - lo) / ciwidthtosd, dp).line +
            "  symmetry about mid assumed");
    put(d, 0,
        Row("2-sided nMAD: low").nmad(found, low, dp).line + "  from the mid-part of the data");
    put(d, 0, Row("            : high").nmad(found, high, dp).line);
    const std::string mid = dec(0.5L * (hi + lo), ptype ? 2 : 1);
    const std::string half = dec(0.5L * (hi - lo), ptype ? 2 : 1);
    std::string close = ptype ? "nominally, avP+ = " + mid + " " + plusminus + " " + half +
                                    " kbar, at T = " + dec(set.avptfixedt, 1)
                              : "nominally, avT+ = " + mid + " " + plusminus + " " + half + " " +
                                    degree + "C, at P = " + dec(set.avptfixedp, 1) + " kbar";
    putstr(d.ses, 1, close, 1, screensummarylogmask);
}

// The correlation of P and T whose ellipse through 90% of the results is smallest.
real bestcorrelation(const DudaState& d, real midp, real midt, real sdp, real sdt) {
    const int16 n = d.nmcresults;
    real rbest = 2.0L;
    if (!(sdp > 0) || !(sdt > 0)) return rbest;  // a zero-width interval has no ellipse
    auto q = std::make_unique<sortvector>();
    const auto m = static_cast<int16>(std::max(1.0L, std::nearbyint(0.9L * n)));
    real best = 1e10L;
    real r = -0.97L;
    do {
        r += 0.01L;
        const real root = std::sqrt(1 - r * r);
        for (int i = 1; i <= n; ++i) {
            const real dp = ufacunscalep(d, (*d.mcp)[i]) - midp;
            const real dt = ufacunscalet(d, (*d.mct)[i]) - midt;
            (*q)[i] = (sdt / (sdp * root)) * dp * dp - (2 * r / root) * dp * dt +
                      (sdp / (sdt * root)) * dt * dt;
        }
        shellsort(*q, n);
        if ((*q)[m] < best) {
            best = (*q)[m];
            rbest = r;
        }
    } while (r <= 0.95L);
    return rbest;
}

void printduda(DudaState& d, bool full) {
    const int16 n = d.nmcresults;
    const DudaSettings& set = d.in.set;
    auto s = std::make_unique<sortvector>();
    sortedcopy(*d.mcp, n, *s);
    real pmed = median(*s, n);
    real lop = (*s)[roundup(n, 0.025L)], hip = (*s)[roundup(n, 0.975L)];
    real plow = 0, phigh = 0;
    const bool pfound = findnmad2(*s, n, d.pmid, plow, phigh);
    sortedcopy(*d.mct, n, *s);
    real tmed = median(*s, n);
    real lot = (*s)[roundup(n, 0.025L)], hit = (*s)[roundup(n, 0.975L)];
    real tlow = 0, thigh = 0;
    const bool tfound = findnmad2(*s, n, d.tmid, tlow, thigh);
    real midp = 0.5L * (lop + hip), midt = 0.5L * (lot + hit);
    const real f = ellipsefactor;
    real bplo = midp - f * (midp - lop), bphi = midp + f * (hip - midp);
    real btlo = midt - f * (midt - lot), bthi = midt + f * (hit - midt);
    auto box = [&]() {
        return dec(bplo, 2) + " to " + dec(bphi, 2) + " kbar; and T = " + dec(btlo, 2) + " to " +
               dec(bthi, 2) + degree + "C";
    };
    put(d, 0, "95% ci ellipse is inscribed in: " + box() + ufacnote(d));
    if (d.ufac == 1) {
        put(d, 0,
            "in the context of PT range of data: " + dec(d.pmin, 2) + " to " + dec(d.pmax, 2) +
                " kbar; " + dec(d.tmin, 1) + " to " + dec(d.tmax, 1) + degree + "C");
    } else {
        for (real* x : {&lop, &hip, &midp, &bplo, &bphi}) *x = ufacunscalep(d, *x);
        for (real* x : {&lot, &hit, &midt, &btlo, &bthi}) *x = ufacunscalet(d, *x);
        put(d, 0, "             which converts to: " + box());
    }
    if (!full) return;
    pmed = ufacunscalep(d, pmed);
    tmed = ufacunscalet(d, tmed);
    for (real* x : {&plow, &phigh, &tlow, &thigh}) *x /= d.ufac;
    const real sdp = (hip - lop) / ciwidthtosd;
    const real sdt = (hit - lot) / ciwidthtosd;
    const real rbest = bestcorrelation(d, midp, midt, sdp, sdt);
    Row h("");
    h.text("P kbar").text(std::string("T ") + degree + "C");
    if (set.avptxco2) h.text("x(CO2)");
    put(d, 1, h.text("sigfit").line);
    Row r("duDA+");
    r.num(d.pmid, 3).num(d.tmid, 2);
    if (set.avptxco2) r.num(xco2at(d, d.pmid, d.tmid), 3);
    put(d, 0, r.num(d.sigfitnom, 2).line);
    put(d, 0, Row("median mc").num(pmed, 3).num(tmed, 2).line);
    put(d, 0, Row("mid 95% ci").num(midp, 3).num(midt, 2).line);
    put(d, 1, Row("").text("sd(P)").text("sd(T)").text("corr").line);
    put(d, 0,
        Row("from the 95% ci").num(sdp, 3).num(sdt, 2).num(rbest, 2).line +
            "  symmetry about mid assumed");
    put(d, 0,
        Row("2-sided nMAD: low").nmad(pfound, plow, 3).nmad(tfound, tlow, 2).line +
            "          from the mid-part of the data");
    put(d, 0, Row("            : high").nmad(pfound, phigh, 3).nmad(tfound, thigh, 2).line);
    putstr(d.ses, 1,
           "nominally, duDA+ = " + dec(midp, 2) + " " + plusminus + " " +
               dec(0.5L * (bphi - bplo), 2) + " kbar, and " + dec(midt, 1) + " " + plusminus + " " +
               dec(0.5L * (bthi - btlo), 1) + " " + degree + "C, with corr = " + dec(rbest, 2),
           1, screensummarylogmask);
}

}  // namespace

real ufacunscalep(const DudaState& d, real x) {
    return d.ufac == 1 ? x : d.pmid + (x - d.pmid) / d.ufac;
}

real ufacunscalet(const DudaState& d, real x) {
    return d.ufac == 1 ? x : d.tmid + (x - d.tmid) / d.ufac;
}

bool findnmad2(const sortvector& s, int16 n, real ctr, real& low, real& high) {
    low = high = 0;
    int nbelow = 0;
    for (int i = 1; i <= n; ++i) {
        if (s[i] < ctr) ++nbelow;
    }
    auto scan = [&](int target, bool below) -> int {
        int count = 0;
        for (int k = 1; k <= n; ++k) {
            if (below ? s[k] < ctr : s[k] > ctr) ++count;
            if (count == target) return k;
        }
        return 0;
    };
    const int kl = scan(nbelow / 2, true);
    const int kh = scan((n - nbelow) / 2, false);
    if (kl == 0 || kh == 0) return false;
    low = (ctr - s[kl]) / madtosd;
    high = (s[kh] - ctr) / madtosd;
    return true;
}

void printavptci(DudaState& d, bool full) {
    if (d.avpplus || d.avtplus) {
        printonevar(d, full, d.avpplus);
    } else {
        printduda(d, full);
    }
}

void avptdiagnostics(DudaState& d) {
    const int16 n = d.n();
    putstr(d.ses, 0, "diagnostics", 1, screensummarylogmask);
    std::string line = spaces(16);
    for (const char* h : {"rock", "sd", "qv", "sd", "opt", "sd", "e*rock", "e*qv"}) {
        addstr(h, 10, line);
    }
    putstr(d.ses, 0, line, 1, screensummarylogmask);
    for (int i = 1; i <= n; ++i) {
        line = "  ";
        addstr("\\text{" + d.in.calcs.calcxyznames[i] + "}", -14, line);
        for (real v :
             {d.xyzpair[i], d.rocksd[i], d.xyzpair[n + i], d.qvsd[i], d.xyzadj[i], d.adjsd[i]}) {
            addreal(4, true, 10, line, v);
        }
        addreal(3, true, 10, line, d.estar[i]);
        addreal(3, true, 10, line, d.estar[n + i]);
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
}

}  // namespace qv
