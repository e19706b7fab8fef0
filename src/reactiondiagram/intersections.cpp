#include "reactiondiagram/intersections.hpp"

#include <cmath>
#include <memory>

#include "base/fatal.hpp"
#include "numerics/sorting.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr int32 results = 13;  // screen, summary and log
constexpr int maxpairs = 5000;
constexpr int maxiterations = 6;
constexpr real vertical = 1e20L;  // slope of a line that does not move with the grid variable

using gridrow = Fixed1<real, maxgrid>;
using gridflags = Fixed1<bool, maxgrid>;

// One branch of one member of the candidate in a group of crossing lines.
struct Entry {
    int16 member = 0;
    int16 branch = 1;
};

std::string celsius(real t) {
    return realstr(t - 273.15L);
}

std::string windowvalue(real v) {
    return realfixstr(ndecimals(v), true, v);
}

// The search over the candidates of one diagram; the methods share its state.
struct Search {
    explicit Search(Diagram& dg) : d(dg), ds(dg.ds), dr(dg.dr) {}

    Diagram& d;
    DiagramState& ds;
    DiagramRun& dr;
    int16 npoints = 0;

    // The current candidate.
    int16 ii = 0;
    int16 n = 0;
    Fixed1<int16, maxintreac> member{};
    Fixed1<iemvector, maxintreac> rows{};
    Fixed1<gridrow, maxintreac> local1{};
    Fixed1<gridrow, maxintreac> local2{};
    Fixed1<gridflags, maxintreac> valid1{};
    Fixed1<gridflags, maxintreac> valid2{};
    Fixed1<gridflags, maxintreac> cross1{};
    Fixed1<gridflags, maxintreac> cross2{};

    // The group of the last location; its first two entries give the uncertainties.
    Fixed1<Entry, maxintreac + 1> group{};
    int16 ngroup = 0;

    // The cell of the last `setupptx`: grid values and the two lines' values at its ends.
    real xlo = 0;  // x(k-1)
    real xhi = 0;  // x(k)
    real alo = 0;
    real ahi = 0;
    real blo = 0;
    real bhi = 0;

    Fixed1<bool, maxreac> involved{};
    int16 found = 0;

    void heading();
    void candidate(int16 c);
    void keeppoint(real x, real y, bool converged);
    bool findcrossings();
    void crossingincell(int16 k, int16 m1, int16 m2, int b1, int b2, bool& order, bool& restart,
                        bool& crossing);
    bool calcptx(real& x, real& y, bool& converged);
    void setupptx(int16 ra, int16 rb, int ba, int bb, int16 k);
    bool lineintersect(real& x, real& y) const;
    bool crossesincell(int16 p, int16 q, int bp, int bq, int16 k) const;
    void printheader(real x, real y, bool stable, bool converged);

    gridflags& crossflags(int b, int16 m) { return b == 1 ? cross1[m] : cross2[m]; }
    const gridrow& localrow(int b, int16 m) const { return b == 1 ? local1[m] : local2[m]; }
};

void Search::heading() {
    const std::string& title = dr.script.runtitle;
    const Windows& w = dr.w;
    const std::string actword = dr.script.setlogacb == controlboolean::yes ? "log a(" : "ln a(";
    const std::string forp = " : P = " + realfixstr(1, true, dr.pcur) + " kbar";
    const std::string fort = " : T = " + celsius(dr.tcur) +
                             "\xA1"
                             "C";
    const std::string pwin = "window : P " + realfixstr(1, true, w.pwinlow) + " <-> " +
                             realfixstr(1, true, w.pwinhigh) + " kbars; ";
    const std::string twin = "window : T " + celsius(w.twinlow) + " <-> " + celsius(w.twinhigh) +
                             "\xA1"
                             "C; ";
    const std::string titled = title.empty() ? "" : " for " + title;
    std::string first;
    std::string second;
    int before = 0;
    switch (ds.mode) {
        case diagramtype::ptcalc:
            first = "P-T of intersections" + titled + dr.fluidlabeltext;
            second = pwin + "T " + celsius(w.twinlow) + " <-> " + celsius(w.twinhigh) +
                     "\xA1"
                     "C";
            break;
        case diagramtype::pxcalc:
            first = "P-x(CO2)  of intersections" + titled + fort;
            second = pwin + "x(CO2) " + windowvalue(w.xwinlow) + " <-> " + windowvalue(w.xwinhigh);
            break;
        case diagramtype::txcalc:
            first = "T-x(CO2)  of intersections" + titled + forp;
            second = twin + "x(CO2) " + windowvalue(w.xwinlow) + " <-> " + windowvalue(w.xwinhigh);
            before = 1;
            break;
        case diagramtype::plnacalc:
            first = "P-a(" + dr.lnaname + ")  of intersections" + titled + fort;
            second = pwin + actword + dr.lnaname + ") " + windowvalue(w.lnawinlow) + " <-> " +
                     windowvalue(w.lnawinhigh);
            break;
        case diagramtype::tlnacalc:
            first = "T-a(" + dr.lnaname + ")  of intersections" + titled + forp;
            second = twin + actword + dr.lnaname + ") " + windowvalue(w.lnawinlow) + " <-> " +
                     windowvalue(w.lnawinhigh);
            break;
        case diagramtype::pmucalc:
            first = "P-\xB5(" + dr.muname + ")  of intersections" + titled + fort;
            second = pwin + "\xB5(" + dr.muname + ") " + windowvalue(w.muwinlow) + " <-> " +
                     windowvalue(w.muwinhigh);
            break;
        case diagramtype::tmucalc:
            first = "T-\xB5(" + dr.muname + ")  of intersections" + titled + forp;
            second = twin + "\xB5(" + dr.muname + ") " + windowvalue(w.muwinlow) + " <-> " +
                     windowvalue(w.muwinhigh);
            break;
        default: bomb("intersections", "unknown diagrammode", myfault);
    }
    putstr(d.ses, before, first, 1, results);
    putstr(d.ses, 0, second, 1, results);
    if (dr.nexcess > 0) {
        std::string line = "in excess : ";
        for (int16 e = static_cast<int16>(dr.nrxem + 1); e <= dr.nem; ++e) {
            line += dr.emnames[e] + " ";
        }
        putstr(d.ses, 0, line, 1, results);
    }
}

void Search::candidate(int16 c) {
    ii = c;
    const Intersection& cd = dr.cand[c];
    if (cd.nreac > maxintreac) {
        bomb("intersections", "too many reactions in intersection" + maxtext(maxintreac), myfault);
    }
    n = cd.nreac;
    for (int16 m = 1; m <= n; ++m) {
        member[m] = cd.reacs[m];
        rows[m] = dr.r[member[m]];
        for (int16 k = 1; k <= npoints; ++k) {
            local1[m][k] = (*ds.branch1)[member[m]][k];
            local2[m][k] = (*ds.branch2)[member[m]][k];
        }
    }
    enlargewindow(ds, dr.w, ds.calcvariable);
    if (!findcrossings()) {
        restorewindow(ds, dr.w, ds.calcvariable);
        return;
    }
    for (;;) {
        real x = 0;
        real y = 0;
        bool converged = false;
        const bool more = calcptx(x, y, converged);
        restorewindow(ds, dr.w, ds.calcvariable);
        if (!more) break;
        keeppoint(x, y, converged);
    }
}

void Search::keeppoint(real x, real y, bool converged) {
    const Windows& w = dr.w;
    bool keep = false;
    switch (ds.mode) {
        case diagramtype::ptcalc:
            if (ds.calcvariable == calcvariabletype::calcpressure) {
                keep = inrange(w, findtype::findt, x) && inrange(w, findtype::findp, y);
            } else if (ds.calcvariable == calcvariabletype::calctemperature) {
                keep = inrange(w, findtype::findp, x) && inrange(w, findtype::findt, y);
            } else {
                bomb("ptxtable", "unknown calcvariable", myfault);
            }
            break;
        case diagramtype::pxcalc:
            keep = inrange(w, findtype::findxco2, x) && inrange(w, findtype::findp, y);
            break;
        case diagramtype::txcalc:
            keep = inrange(w, findtype::findxco2, x) && inrange(w, findtype::findt, y);
            break;
        case diagramtype::plnacalc:
            keep = inrange(w, findtype::findlna, x) && inrange(w, findtype::findp, y);
            break;
        case diagramtype::tlnacalc:
            keep = inrange(w, findtype::findlna, x) && inrange(w, findtype::findt, y);
            break;
        case diagramtype::pmucalc:
            keep = inrange(w, findtype::findmu, x) && inrange(w, findtype::findp, y);
            break;
        case diagramtype::tmucalc:
            keep = inrange(w, findtype::findmu, x) && inrange(w, findtype::findt, y);
            break;
        default: bomb("intersections", "unknown diagrammode", myfault);
    }
    if (!keep) return;
    ++found;
    const bool stable = converged && stableintersection(d, ii, x, y);
    printheader(x, y, stable, converged);
    if (!converged) {
        putstr(d.ses, 0, "<== calculation not converged ==>", 1, results);
    } else {
        const PointSd sd =
            intersectionptx(d, member[group[1].member], member[group[2].member], x, y);
        DiagramPoint pt;
        setiptx(ds, dr, pt, x, y);
        const bool logs = dr.script.setlogacb == controlboolean::yes;
        std::string line;
        const auto pfield = [&] {
            line += "P = ";
            writepwin(w, 0, line, pt.p);
        };
        const auto tfield = [&] {
            line += "T = ";
            writetwin(w, 0, line, pt.t - 273.15L);
        };
        switch (ds.mode) {
            case diagramtype::ptcalc:
                pfield();
                line += " kbar (sd = " + realfixstr(1, true, sd.sdp) + "), ";
                tfield();
                line +=
                    " \xA1"
                    "C (sd = " +
                    realstr(sd.sdt) + "), ";
                line += "(cor = " + realfixstr(3, true, sd.cor) + ")";
                break;
            case diagramtype::pxcalc:
                pfield();
                line += " kbar, x(CO2) = " + realfixstr(3, false, pt.xco2);
                break;
            case diagramtype::txcalc:
                tfield();
                line +=
                    " \xA1"
                    "C , x(CO2) = " +
                    realfixstr(3, false, pt.xco2);
                break;
            case diagramtype::plnacalc:
                pfield();
                line += std::string(logs ? "kbar ,log a(" : "kbar ,ln a(") + dr.lnaname +
                        ") = " + realfixstr(2, true, pt.lna);
                break;
            case diagramtype::tlnacalc:
                tfield();
                line += std::string(logs ? " \xA1"
                                           "C,log a("
                                         : " \xA1"
                                           "C,ln a(") +
                        dr.lnaname + ") = " + realfixstr(2, true, pt.lna);
                break;
            case diagramtype::pmucalc:
                pfield();
                line += "kbar ,\xB5(" + dr.muname + ") = " + realfixstr(2, true, pt.mu);
                break;
            case diagramtype::tmucalc:
                tfield();
                line +=
                    " \xA1"
                    "C,\xB5(" +
                    dr.muname + ") = " + realfixstr(2, true, pt.mu);
                break;
        }
        putstr(d.ses, 0, line, 1, results);
    }
    for (int16 m = 1; m <= n; ++m) involved[member[m]] = true;
}

bool Search::findcrossings() {
    for (int16 m = 1; m <= n; ++m) {
        for (int16 k = 1; k <= npoints; ++k) {
            valid1[m][k] = inrange(dr.w, ds.calcfindtype, local1[m][k]);
            valid2[m][k] = inrange(dr.w, ds.calcfindtype, local2[m][k]);
            cross1[m][k] = false;
            cross2[m][k] = false;
        }
    }
    bool more = false;
    for (int16 m1 = 1; m1 < n; ++m1) {
        for (int16 m2 = static_cast<int16>(m1 + 1); m2 <= n; ++m2) {
            for (int b1 = 1; b1 <= 2; ++b1) {
                for (int b2 = 1; b2 <= 2; ++b2) {
                    bool restart = true;
                    bool crossing = false;
                    bool order = false;
                    for (int16 k = 1; k <= npoints; ++k) {
                        crossingincell(k, m1, m2, b1, b2, order, restart, crossing);
                        if (crossing) {
                            more = true;
                            restart = true;
                            crossing = false;
                            crossflags(b1, m1)[k] = true;
                            crossflags(b2, m2)[k] = true;
                        }
                    }
                }
            }
        }
    }
    return more;
}

void Search::crossingincell(int16 k, int16 m1, int16 m2, int b1, int b2, bool& order, bool& restart,
                            bool& crossing) {
    const bool v1 = b1 == 1 ? valid1[m1][k] : valid2[m1][k];
    const bool v2 = b2 == 1 ? valid1[m2][k] : valid2[m2][k];
    if (!v1 || !v2) {
        restart = true;
        return;
    }
    const real f = localrow(b1, m1)[k];
    const real g = localrow(b2, m2)[k];
    if (restart) {
        restart = false;
    } else {
        crossing = g <= f ? order : !order;
    }
    order = f < g;
}

bool Search::crossesincell(int16 p, int16 q, int bp, int bq, int16 k) const {
    const gridrow& f = localrow(bp, p);
    const gridrow& g = localrow(bq, q);
    return (f[k] > g[k] && f[k - 1] < g[k - 1]) || (g[k] > f[k] && g[k - 1] < f[k - 1]);
}

void Search::setupptx(int16 ra, int16 rb, int ba, int bb, int16 k) {
    const branchtable& ta = ba == 1 ? *ds.branch1 : *ds.branch2;
    const branchtable& tb = bb == 1 ? *ds.branch1 : *ds.branch2;
    ahi = ta[ra][k];
    alo = ta[ra][k - 1];
    bhi = tb[rb][k];
    blo = tb[rb][k - 1];
    xhi = gridvalue(ds, dr, k, "setupptx");
    xlo = gridvalue(ds, dr, static_cast<int16>(k - 1), "setupptx");
}

bool Search::lineintersect(real& x, real& y) const {
    const real dx = xhi - xlo;
    // A cell of no width has no crossing; a grid value of 0 at its upper end (ln a lists often
    // end there) is no reason to refuse one.
    if (dx == 0 || !(xhi == 0 || std::fabs(dx / xhi) > 1e-10L)) return false;
    const real sa = (ahi - alo) / dx;
    const real ia = (alo * xhi - ahi * xlo) / dx;
    const real sb = (bhi - blo) / dx;
    const real ib = (blo * xhi - bhi * xlo) / dx;
    if (std::fabs(sb - sa) < 1e-10L) return false;
    x = (ia - ib) / (sb - sa);
    y = ia + sa * x;
    return true;
}

bool Search::calcptx(real& x, real& y, bool& converged) {
    converged = false;
    int16 k = 0;
    int16 m = 0;
    for (int16 kk = 1; kk <= npoints && k == 0; ++kk) {
        for (int16 mm = 1; mm <= n; ++mm) {
            if (cross1[mm][kk] || cross2[mm][kk]) {
                k = kk;
                m = mm;
                break;
            }
        }
    }
    if (k == 0) return false;

    int16 pivot = 0;
    for (int16 p = m; p <= n && pivot == 0; ++p) {
        if (cross1[p][k] && cross2[p][k]) pivot = p;
    }
    ngroup = 0;
    const auto add = [&](int16 q, int16 b) {
        ++ngroup;
        group[ngroup] = {q, b};
    };
    if (pivot == 0) {
        for (int16 q = m; q <= n; ++q) {
            if (cross1[q][k]) {
                add(q, 1);
                cross1[q][k] = false;
            } else if (cross2[q][k]) {
                add(q, 2);
                cross2[q][k] = false;
            }
        }
    } else {
        // The pivot's first branch leads its group; its second branch stays flagged for a
        // group of its own.
        const int16 p = pivot;
        cross1[p][k] = false;
        add(p, 1);
        for (int16 q = m; q <= n; ++q) {
            if (q == p) continue;
            if (cross1[q][k] && cross2[q][k]) {
                const int16 b = crossesincell(p, q, 1, 1, k) ? 1 : 2;
                add(q, b);
                crossflags(b, q)[k] = false;
            } else {
                if (cross1[q][k] && crossesincell(p, q, 1, 1, k)) {
                    add(q, 1);
                    cross1[q][k] = crossesincell(p, q, 2, 1, k);
                }
                if (cross2[q][k] && crossesincell(p, q, 1, 2, k)) {
                    add(q, 2);
                    cross2[q][k] = crossesincell(p, q, 2, 2, k);
                }
            }
        }
    }
    if (ngroup < 2) bomb("calcptx", "too few reactions", myfault);

    const Tolerances tol = setlim(ds);
    auto xs = std::make_unique<sortvector>();
    auto ys = std::make_unique<sortvector>();
    int16 npairs = 0;
    for (int16 a = 1; a < ngroup; ++a) {
        for (int16 b = static_cast<int16>(a + 1); b <= ngroup; ++b) {
            setupptx(member[group[a].member], member[group[b].member], group[a].branch,
                     group[b].branch, k);
            real px = 0;
            real py = 0;
            if (lineintersect(px, py) && npairs < maxpairs) {
                ++npairs;
                (*xs)[npairs] = px;
                (*ys)[npairs] = py;
            }
        }
    }

    bool met = false;  // the last crossing of the two lines was found
    bool outside = false;
    if (npairs > 0) {
        x = findmedian(*xs, npairs);
        y = findmedian(*ys, npairs);
        const int16 r1 = member[group[1].member];
        const int16 r2 = member[group[2].member];
        setupptx(r1, r2, group[1].branch, group[2].branch, k);
        const real lo = xlo;
        const real hi = xhi;
        real prevx = 1e10L;
        real prevy = 1e10L;
        for (int iteration = 1; iteration <= maxiterations; ++iteration) {
            met = lineintersect(x, y);
            if (!met) break;
            converged = std::fabs(x - prevx) < tol.other && std::fabs(y - prevy) < tol.calc;
            if (converged) break;
            real y1 = y;
            real y2 = y;
            DiagramPoint pt;
            setiptx(ds, dr, pt, x, y);
            outside = x < lo || x > hi;
            if (outside) break;
            // The roots at the point need the point's own activity term.
            setlnamuterm(ds, dr, pt);
            if (ds.calcvariable == calcvariabletype::calcpressure) {
                y1 = d.lines.findrxnp(r1, true, y, pt.t, pt.xco2, pt.xh2o).x1;
                y2 = d.lines.findrxnp(r2, true, y, pt.t, pt.xco2, pt.xh2o).x1;
            } else if (ds.calcvariable == calcvariabletype::calctemperature) {
                y1 = d.lines.findrxnt(r1, true, y, pt.p, pt.xco2, pt.xh2o).x1;
                y2 = d.lines.findrxnt(r2, true, y, pt.p, pt.xco2, pt.xh2o).x1;
            } else {
                bomb("calcptx", "unknown calcvariable", myfault);
            }
            if ((bhi > ahi && y2 > y1) || (ahi > bhi && y1 > y2)) {
                xhi = x;
                ahi = y1;
                bhi = y2;
            } else {
                xlo = x;
                alo = y1;
                blo = y2;
            }
            prevx = x;
            prevy = y;
        }
    }
    if (!converged) {
        x = notfound;
        y = notfound;
        std::string line;
        if (outside) {
            line = "finding the intersection : iteration went outside bracket - it shouldn't !!";
        } else if (!met) {
            line = "finding the intersection : divide by zero";
        } else {
            line = "finding the intersection : iteration did not converge";
        }
        line += " ( involving reactions: ";
        for (int16 q = 1; q <= n; ++q) {
            addgreal(0, line, member[q]);
            line += " ";
        }
        line += ")";
        putstr(d.ses, 1, line, 1, results);
    }
    return true;
}

void Search::printheader(real x, real y, bool stable, bool converged) {
    // While the block is printed the ln a end-member goes by the name of its variable.
    const auto name = [&](int16 e) -> std::string {
        return e == dr.lnaemno && dr.lnaemno > 0 ? dr.lnaname : dr.emnames[e];
    };
    Fixed1<bool, maxem> inv{};
    for (int16 e = 1; e <= dr.nem; ++e) {
        for (int16 m = 1; m <= n && !inv[e]; ++m) inv[e] = rows[m][e] != 0;
    }
    putstr(d.ses, 0, "----------------------------------------------------------", 1, results);
    std::string line;
    if (stable) {
        line = "# stable intersection " + realstr(ii) + " involving ";
    } else if (converged) {
        line = "metastable intersection " + realstr(ii) + " involving ";
    } else {
        line = "intersection " + realstr(ii) + " of UNKNOWN stability involving ";
    }
    bool firstname = true;
    bool someabsent = false;
    for (int16 e = 1; e <= dr.nrxem; ++e) {
        if (!inv[e]) {
            someabsent = true;
            continue;
        }
        if (!firstname) line += " ";
        line += name(e);
        firstname = false;
    }
    if (dr.nexcess > 0) {
        line += " + (";
        for (int16 e = static_cast<int16>(dr.nrxem + 1); e <= dr.nem; ++e) {
            if (e > dr.nrxem + 1) line += " ";
            line += name(e);
        }
        line += ")";
    }
    if (someabsent) {
        addstr(" or [", 6, line);
        bool firstabsent = true;
        for (int16 e = 1; e <= dr.nrxem; ++e) {
            if (inv[e]) continue;
            if (!firstabsent) line += ",";
            line += name(e);
            firstabsent = false;
        }
        line += "]";
    }
    putstr(d.ses, 0, line, 1, results);

    if ((ds.mode == diagramtype::plnacalc || ds.mode == diagramtype::tlnacalc) && dr.lnaemno > 0) {
        inv[dr.lnaemno] = false;
    }
    if ((ds.mode == diagramtype::pmucalc || ds.mode == diagramtype::tmucalc) && dr.muemno > 0) {
        inv[dr.muemno] = false;
    }
    if (!stable) return;

    DiagramPoint pt;
    setiptx(ds, dr, pt, x, y);
    real step = 0;
    switch (ds.othervariable) {
        case othervariabletype::fixedmolefractionCO2:
            step = 0.01L;
            if (pt.xco2 < 0.02L) step = pt.xco2 / 2;
            if (pt.xco2 > 0.98L) step = -(1 - pt.xco2) / 2;
            break;
        case othervariabletype::fixedlnactivity: step = 0.01L; break;
        case othervariabletype::fixedchemicalpotential: step = 0.1L; break;
        case othervariabletype::fixedpressure:
        case othervariabletype::fixedtemperature: break;
        default: bomb("ptxtable", "othervariable", myfault);
    }

    Fixed1<real, maxintreac> slope{};
    Fixed1<std::string, maxintreac> absentlabel{};
    Fixed1<int16, maxintreac> nabsent{};
    const bool pcalc = ds.calcvariable == calcvariabletype::calcpressure;
    // The calculated variable of reaction i at the point, refined from the point's own value.
    const auto root = [&](int16 i, real u, real v) {
        return pcalc ? d.lines.findrxnp(i, true, pt.p, pt.t, u, v).x1
                     : d.lines.findrxnt(i, true, pt.t, pt.p, u, v).x1;
    };
    const auto slopeof = [](real dx, real y1, real y2) {
        if (y1 > vertical || y2 > vertical) return real{0};
        if (y2 == y1) return vertical;
        return dx / (y2 - y1);
    };
    for (int16 j = 1; j <= n; ++j) {
        const int16 i = member[j];
        d.lines.turnreaction(i, pt);
        rows[j] = dr.r[i];
        real s = vertical;
        switch (ds.mode) {
            case diagramtype::ptcalc: {
                const ReactionDg g = d.lines.dgr(i, pt.p, pt.t, pt.xco2, pt.xh2o);
                if (g.dgdp != 0) s = -g.dgdt / g.dgdp;
                break;
            }
            case diagramtype::pxcalc:
            case diagramtype::txcalc: {
                const bool h2o = dr.h2oemno >= 1 && rows[j][dr.h2oemno] != 0;
                const bool co2 = dr.co2emno >= 1 && rows[j][dr.co2emno] != 0;
                if (!h2o && !co2) break;
                const real y1 = root(i, pt.xco2, pt.xh2o);
                const real y2 = root(i, pt.xco2 + step, pt.xh2o - step);
                s = slopeof(step, y1, y2);
                break;
            }
            case diagramtype::plnacalc:
            case diagramtype::tlnacalc: {
                if (dr.lnaemno < 1 || rows[j][dr.lnaemno] == 0) break;
                DiagramPoint q = pt;
                setlnamuterm(ds, dr, q);
                const real y1 = root(i, pt.xco2, pt.xh2o);
                q.lna = pt.lna + step;
                setlnamuterm(ds, dr, q);
                const real y2 = root(i, pt.xco2, pt.xh2o);
                s = slopeof(step, y1, y2);
                break;
            }
            case diagramtype::pmucalc:
            case diagramtype::tmucalc: {
                if (dr.muemno < 1 || rows[j][dr.muemno] == 0) break;
                DiagramPoint q = pt;
                setlnamuterm(ds, dr, q);
                const real y1 = root(i, pt.xco2, pt.xh2o);
                q.mu = pt.mu + step;
                setlnamuterm(ds, dr, q);
                const real y2 = root(i, pt.xco2, pt.xh2o);
                s = slopeof(step, y1, y2);
                break;
            }
        }
        slope[j] = s;
        std::string label = "[";
        for (int16 e = 1; e <= dr.nrxem; ++e) {
            if (!inv[e] || rows[j][e] != 0) continue;
            if (nabsent[j] > 0) label += ",";
            label += name(e);
            ++nabsent[j];
        }
        absentlabel[j] = label + "]";
    }

    // The members by slope; the order is cyclic.
    Fixed1<int16, maxintreac + 2> place{};
    Fixed1<bool, maxintreac> placed{};
    int16 nplaced = 0;
    for (int16 pl = 1; pl <= n; ++pl) {
        int16 best = 0;
        for (int16 j = 1; j <= n; ++j) {
            if (placed[j] || !(slope[j] < 1e30L)) continue;
            if (best == 0 || slope[j] < slope[best]) best = j;
        }
        if (best == 0) break;
        placed[best] = true;
        ++nplaced;
        place[nplaced + 1] = best;  // place pl is stored at index pl + 1
    }
    place[1] = place[nplaced + 1];
    place[nplaced + 2] = place[2];

    const char* lowhigh[2] = {"low T", "high T"};
    const char* unit = "dp/dt";
    switch (ds.mode) {
        case diagramtype::ptcalc: break;
        case diagramtype::pxcalc:
            lowhigh[0] = "low P", lowhigh[1] = "high P", unit = "dx/dp";
            break;
        case diagramtype::txcalc: unit = "dx/dt"; break;
        case diagramtype::plnacalc:
            lowhigh[0] = "low P", lowhigh[1] = "high P", unit = "dlna/dp";
            break;
        case diagramtype::tlnacalc: unit = "dlna/dt"; break;
        case diagramtype::pmucalc:
            lowhigh[0] = "low P", lowhigh[1] = "high P", unit = "dmu/dp";
            break;
        case diagramtype::tmucalc: unit = "dmu/dt"; break;
        default: bomb("printheader", "unknown diagrammode", myfault);
    }
    line.clear();
    addstr("", 66, line);
    addstr(lowhigh[0], 10, line);
    addstr(lowhigh[1], 10, line);
    addstr(unit, 10, line);
    putstr(d.ses, 0, line, 1, results);

    for (int16 pl = 1; pl <= nplaced; ++pl) {
        const int16 j = place[pl + 1];
        const int16 q = slope[j] >= 0 ? place[pl + 2] : place[pl];
        const bool same =
            (slope[q] > 0 && slope[q] < slope[j]) || (slope[q] < 0 && slope[q] > slope[j]);
        int16 c = 0;
        for (int16 e = 1; e <= dr.nrxem; ++e) {
            if (!inv[e] || rows[j][e] != 0) continue;
            if ((same && rows[q][e] < 0) || (!same && rows[q][e] > 0)) ++c;
        }
        line.clear();
        addstr(cleanlabel(dr.rxntext[member[j]]), -50, line);
        addstr(absentlabel[j], 16, line);
        if (c == 0) {
            addstr("", 10, line);
            addstr("stable", 10, line);
        } else {
            addstr("stable", 10, line);
            addstr(c == nabsent[j] ? "" : "stable", 10, line);
        }
        if (std::fabs(slope[j]) < 1e-10L) {
            addstr("0", 10, line);
        } else if (std::fabs(slope[j]) > 1e19L) {
            addstr("\xA1", 10, line);
        } else {
            addreal(3, false, 10, line, slope[j]);
        }
        putstr(d.ses, 0, line, pl == nplaced ? 2 : 1, results);
    }
}

}  // namespace

std::string cleanlabel(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool digit = ch >= '0' && ch <= '9';
        if (i >= 4 && digit && text[i - 1] != 'H' && text[i - 1] != 'O') continue;
        out += ch;
    }
    return out;
}

PointSd intersectionptx(Diagram& d, int16 r1, int16 r2, real x, real y) {
    PointSd out;
    switch (d.ds.mode) {
        case diagramtype::ptcalc: break;
        case diagramtype::pxcalc:
        case diagramtype::txcalc:
        case diagramtype::plnacalc:
        case diagramtype::tlnacalc:
        case diagramtype::pmucalc:
        case diagramtype::tmucalc: return out;
        default: bomb("intersectionptx", "unknown diagrammode", myfault);
    }
    DiagramRun& dr = d.dr;
    DiagramPoint pt;
    setiptx(d.ds, dr, pt, x, y);
    const RootPair g1 = d.lines.findrxnt(r1, true, pt.t, pt.p, pt.xco2, pt.xh2o);
    const RootPair g2 = d.lines.findrxnt(r2, true, pt.t, pt.p, pt.xco2, pt.xh2o);
    const real a1 = g1.dgdp1, b1 = g1.dgdt1, a2 = g2.dgdp1, b2 = g2.dgdt1;
    // The point moves with the enthalpy changes dH1, dH2 of the two reactions by
    // [a1 b1; a2 b2] (dP, dT) = -(dH1, dH2).
    const real det = a1 * b2 - a2 * b1;
    if (det == 0) return out;
    diagramlnavar(d.ds, dr);
    const iemvector& c1 = dr.r[r1];
    const iemvector& c2 = dr.r[r2];
    real h11 = 0, h22 = 0, h12 = 0, l11 = 0, l22 = 0, l12 = 0;
    for (int16 i = 1; i <= dr.nem; ++i) {
        for (int16 j = 1; j <= dr.nem; ++j) {
            const real v = dr.cov[i][j];
            if (v == 0) continue;
            h11 += c1[i] * v * c1[j];
            h22 += c2[i] * v * c2[j];
            h12 += c1[i] * v * c2[j];
        }
        const real lv = d.ds.lnavar[i];
        l11 += lv * c1[i] * c1[i];
        l22 += lv * c2[i] * c2[i];
        l12 += lv * c1[i] * c2[i];
    }
    real gp[2] = {-b2 / det, b1 / det};  // dP per unit dH1, dH2
    real ht[2] = {a2 / det, -a1 / det};  // dT per unit dH1, dH2
    const auto quad = [](const real u[2], const real v[2], real m11, real m12, real m22) {
        return u[0] * m11 * v[0] + u[0] * m12 * v[1] + u[1] * m12 * v[0] + u[1] * m22 * v[1];
    };
    real varp = quad(gp, gp, h11, h12, h22);
    real vart = quad(ht, ht, h11, h12, h22);
    real covpt = quad(ht, gp, h11, h12, h22);
    const real rt = rgas * pt.t;
    for (int k = 0; k < 2; ++k) {
        gp[k] *= rt;
        ht[k] *= rt;
    }
    varp += quad(gp, gp, l11, l12, l22);
    vart += quad(ht, ht, l11, l12, l22);
    covpt += quad(ht, gp, l11, l12, l22);
    out.sdp = std::sqrt(varp);
    out.sdt = std::sqrt(vart);
    out.cor = (out.sdp > 0 && out.sdt > 0) ? covpt / (out.sdp * out.sdt) : 0;
    return out;
}

void intersections(Diagram& d) {
    auto s = std::make_unique<Search>(d);
    s->npoints = gridcount(d.ds, d.dr, "intersections");
    s->heading();
    for (int16 c = 1; c <= d.dr.nint; ++c) s->candidate(c);
    if (s->found == 0) putstr(d.ses, 1, "sorry, none in the window", 1, results);
    rstable(d, s->involved);
}

}  // namespace qv
