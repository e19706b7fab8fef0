#include "reactiondiagram/intersections.hpp"

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "numerics/sorting.hpp"
#include "reactiondiagram/intersectionsearch.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr int maxpairs = 5000;
constexpr int maxiterations = 6;

std::string celsius(real t) {
    return realstr(t - 273.15L);
}

std::string windowvalue(real v) {
    return realfixstr(ndecimals(v), true, v);
}

}  // namespace

void IntersectionSearch::heading() {
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
    putstr(d.ses, before, first, 1, screensummarylogmask);
    putstr(d.ses, 0, second, 1, screensummarylogmask);
    if (dr.nexcess > 0) {
        std::string line = "in excess : ";
        for (int16 e = narrow16(dr.nrxem + 1); e <= dr.nem; ++e) {
            line += dr.emnames[e] + " ";
        }
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
}

void IntersectionSearch::candidate(int16 c) {
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

void IntersectionSearch::keeppoint(real x, real y, bool converged) {
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
    points.push_back(analysepoint(x, y, stable, converged));
    printheader(points.back());
    if (!converged) {
        putstr(d.ses, 0, "<== calculation not converged ==>", 1, screensummarylogmask);
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
        putstr(d.ses, 0, line, 1, screensummarylogmask);
    }
    for (int16 m = 1; m <= n; ++m) involved[member[m]] = true;
}

bool IntersectionSearch::findcrossings() {
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
        for (int16 m2 = narrow16(m1 + 1); m2 <= n; ++m2) {
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

void IntersectionSearch::crossingincell(int16 k, int16 m1, int16 m2, int b1, int b2, bool& order,
                                        bool& restart, bool& crossing) {
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

bool IntersectionSearch::crossesincell(int16 p, int16 q, int bp, int bq, int16 k) const {
    const gridrow& f = localrow(bp, p);
    const gridrow& g = localrow(bq, q);
    return (f[k] > g[k] && f[k - 1] < g[k - 1]) || (g[k] > f[k] && g[k - 1] < f[k - 1]);
}

void IntersectionSearch::setupptx(int16 ra, int16 rb, int ba, int bb, int16 k) {
    const branchtable& ta = ba == 1 ? *ds.branch1 : *ds.branch2;
    const branchtable& tb = bb == 1 ? *ds.branch1 : *ds.branch2;
    ahi = ta[ra][k];
    alo = ta[ra][k - 1];
    bhi = tb[rb][k];
    blo = tb[rb][k - 1];
    xhi = gridvalue(ds, dr, k, "setupptx");
    xlo = gridvalue(ds, dr, narrow16(k - 1), "setupptx");
}

bool IntersectionSearch::lineintersect(real& x, real& y) const {
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

bool IntersectionSearch::calcptx(real& x, real& y, bool& converged) {
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
        for (int16 b = narrow16(a + 1); b <= ngroup; ++b) {
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
            DiagramPoint pt;
            setiptx(ds, dr, pt, x, y);
            outside = x < lo || x > hi;
            if (outside) break;
            // The roots at the point need the point's own activity term.
            setlnamuterm(ds, dr, pt);
            const bool pcalc = ds.calcvariable == calcvariabletype::calcpressure;
            if (!pcalc && ds.calcvariable != calcvariabletype::calctemperature) {
                bomb("calcptx", "unknown calcvariable", myfault);
            }
            const auto root = [&](int16 r) {
                return pcalc ? d.lines.findrxnp(r, true, y, pt.t, pt.xco2, pt.xh2o).x1
                             : d.lines.findrxnt(r, true, y, pt.p, pt.xco2, pt.xh2o).x1;
            };
            const real y1 = root(r1);
            const real y2 = root(r2);
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
        putstr(d.ses, 1, line, 1, screensummarylogmask);
    }
    return true;
}

std::vector<InvariantPoint> intersections(Diagram& d) {
    auto s = std::make_unique<IntersectionSearch>(d);
    s->npoints = gridcount(d.ds, d.dr, "intersections");
    s->heading();
    for (int16 c = 1; c <= d.dr.nint; ++c) s->candidate(c);
    if (s->found == 0) putstr(d.ses, 1, "sorry, none in the window", 1, screensummarylogmask);
    rstable(d, s->involved);
    return std::move(s->points);
}

}  // namespace qv
