#include <cmath>
#include <utility>
#include <vector>

#include "base/convert.hpp"
#include "reactiondiagram/intersectionsearch.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {

namespace {

constexpr real vertical = 1e20L;  // slope of a line that does not move with the grid variable

}  // namespace

InvariantPoint IntersectionSearch::analysepoint(real x, real y, bool stable, bool converged) {
    InvariantPoint a;
    a.candidate = ii;
    a.converged = converged;
    a.stable = stable;
    a.x = x;
    a.y = y;
    for (int16 e = 1; e <= dr.nem; ++e) {
        for (int16 m = 1; m <= n && !a.involved[e]; ++m) a.involved[e] = rows[m][e] != 0;
    }
    if (!stable) return a;

    // The section's own variable is no phase of the point's reactions.
    Fixed1<bool, maxem> inv = a.involved;
    if ((ds.mode == diagramtype::plnacalc || ds.mode == diagramtype::tlnacalc) && dr.lnaemno > 0) {
        inv[dr.lnaemno] = false;
    }
    if ((ds.mode == diagramtype::pmucalc || ds.mode == diagramtype::tmucalc) && dr.muemno > 0) {
        inv[dr.muemno] = false;
    }

    DiagramPoint& pt = a.at;
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
            case diagramtype::tlnacalc:
            case diagramtype::pmucalc:
            case diagramtype::tmucalc: {
                // An activity or a chemical potential as the section variable: one step of it.
                const bool lna =
                    ds.mode == diagramtype::plnacalc || ds.mode == diagramtype::tlnacalc;
                const int16 emno = lna ? dr.lnaemno : dr.muemno;
                if (emno < 1 || rows[j][emno] == 0) break;
                DiagramPoint q = pt;
                setlnamuterm(ds, dr, q);
                const real y1 = root(i, pt.xco2, pt.xh2o);
                (lna ? q.lna : q.mu) += step;
                setlnamuterm(ds, dr, q);
                const real y2 = root(i, pt.xco2, pt.xh2o);
                s = slopeof(step, y1, y2);
                break;
            }
        }
        PointReaction rx;
        rx.member = j;
        rx.reaction = i;
        rx.slope = s;
        for (int16 e = 1; e <= dr.nrxem; ++e) {
            if (inv[e] && rows[j][e] == 0) rx.absent.push_back(e);
        }
        a.reactions.push_back(std::move(rx));
    }

    // The reactions by slope: place by place the smallest slope not yet placed, the first in
    // the candidate's order on ties.
    std::vector<bool> placed(a.reactions.size(), false);
    for (std::size_t pl = 0; pl < a.reactions.size(); ++pl) {
        std::size_t best = a.reactions.size();
        for (std::size_t k = 0; k < a.reactions.size(); ++k) {
            const real s = a.reactions[k].slope;
            if (placed[k] || !(s < 1e30L)) continue;
            if (best == a.reactions.size() || s < a.reactions[best].slope) best = k;
        }
        if (best == a.reactions.size()) break;
        placed[best] = true;
        a.order.push_back(best);
    }

    // The stable sides by Schreinemakers' rule: the neighbour in the cyclic order on the side
    // the line rises to tells which of the reaction's absent phases lie on its low side.
    const std::size_t np = a.order.size();
    for (std::size_t pl = 0; pl < np; ++pl) {
        PointReaction& rj = a.reactions[a.order[pl]];
        const PointReaction& rq =
            a.reactions[a.order[rj.slope >= 0 ? (pl + 1) % np : (pl + np - 1) % np]];
        const bool same =
            (rq.slope > 0 && rq.slope < rj.slope) || (rq.slope < 0 && rq.slope > rj.slope);
        std::size_t c = 0;
        for (const int16 e : rj.absent) {
            const int16 nu = rows[rq.member][e];
            if ((same && nu < 0) || (!same && nu > 0)) ++c;
        }
        rj.stablelow = c > 0;
        rj.stablehigh = c == 0 || c != rj.absent.size();
    }
    return a;
}

void IntersectionSearch::printheader(const InvariantPoint& a) {
    // While the block is printed the ln a end-member goes by the name of its variable.
    const auto name = [&](int16 e) -> std::string {
        return e == dr.lnaemno && dr.lnaemno > 0 ? dr.lnaname : dr.emnames[e];
    };
    putstr(d.ses, 0, "----------------------------------------------------------", 1,
           screensummarylogmask);
    std::string line;
    if (a.stable) {
        line = "# stable intersection " + realstr(a.candidate) + " involving ";
    } else if (a.converged) {
        line = "metastable intersection " + realstr(a.candidate) + " involving ";
    } else {
        line = "intersection " + realstr(a.candidate) + " of UNKNOWN stability involving ";
    }
    bool firstname = true;
    bool someabsent = false;
    for (int16 e = 1; e <= dr.nrxem; ++e) {
        if (!a.involved[e]) {
            someabsent = true;
            continue;
        }
        if (!firstname) line += " ";
        line += name(e);
        firstname = false;
    }
    if (dr.nexcess > 0) {
        line += " + (";
        for (int16 e = narrow16(dr.nrxem + 1); e <= dr.nem; ++e) {
            if (e > dr.nrxem + 1) line += " ";
            line += name(e);
        }
        line += ")";
    }
    if (someabsent) {
        addstr(" or [", 6, line);
        bool firstabsent = true;
        for (int16 e = 1; e <= dr.nrxem; ++e) {
            if (a.involved[e]) continue;
            if (!firstabsent) line += ",";
            line += name(e);
            firstabsent = false;
        }
        line += "]";
    }
    putstr(d.ses, 0, line, 1, screensummarylogmask);
    if (!a.stable) return;

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
    putstr(d.ses, 0, line, 1, screensummarylogmask);

    for (std::size_t pl = 0; pl < a.order.size(); ++pl) {
        const PointReaction& rx = a.reactions[a.order[pl]];
        std::string label = "[";
        for (std::size_t k = 0; k < rx.absent.size(); ++k) {
            if (k > 0) label += ",";
            label += name(rx.absent[k]);
        }
        label += "]";
        line.clear();
        addstr(cleanlabel(dr.rxntext[rx.reaction]), -50, line);
        addstr(label, 16, line);
        addstr(rx.stablelow ? "stable" : "", 10, line);
        addstr(rx.stablehigh ? "stable" : "", 10, line);
        if (std::fabs(rx.slope) < 1e-10L) {
            addstr("0", 10, line);
        } else if (std::fabs(rx.slope) > 1e19L) {
            addstr("\xA1", 10, line);
        } else {
            addreal(3, false, 10, line, rx.slope);
        }
        putstr(d.ses, 0, line, pl + 1 == a.order.size() ? 2 : 1, screensummarylogmask);
    }
}

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

}  // namespace qv
