#include "utilities/svgdraw.hpp"

#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "utilities/analyse.hpp"
#include "utilities/areas.hpp"
#include "utilities/lines.hpp"

namespace qv {
namespace {

// Pixels and radii with two decimals.
std::string fix2(real x) {
    return realfixstr(2, true, x);
}

int16 pagewidth(const PlotBox& b) {
    return narrow16(b.right + b.left);
}

int16 pageheight(const PlotBox& b) {
    return narrow16(b.bottom + 50);
}

// An axis label: whole numbers without a point, others with as many decimals as they need.
std::string ticklabel(real t) {
    if (std::fabs(t - std::round(t)) < 1e-5L) return realstr(t);
    int16 d = ndecimals(t);
    if (d > 5) d = 5;
    return realfixstr(d, true, t);
}

void tick(Session& ses, const Drawing& d, real x1, real y1, real x2, real y2) {
    putstr(ses, 1, "    <polyline points=\"", 1, svgmask);
    svgxy(ses, d, x1, y1);
    svgxy(ses, d, x2, y2);
    putstr(ses, 0, "\" />", 1, svgmask);
}

void textat(Session& ses, const XY& p, const std::string& text) {
    putstr(ses, 0,
           "    <text x=\"" + fix2(p.x) + "\" y=\"" + fix2(p.y) + "\" > " + text + " </text>", 1,
           svgmask);
}

bool strictlyinside(const DrawSettings& s, real x, real y) {
    return s.xlow < x && x < s.xhigh && s.ylow < y && y < s.yhigh;
}

std::string numbergroup(const DrawSettings& s) {
    return "  <g stroke=\"none\" fill=\"black\" text-anchor=\"middle\" font-size=\"" +
           realstr(std::round(static_cast<real>(s.numbersize) * 16 / 12)) + "px\" >";
}

void numberat(Session& ses, const Drawing& d, real x, real y, const std::string& name) {
    const XY p = topixel(d, x, y);
    putstr(ses, 0,
           "    <text x=\"" + fix2(p.x) + "\" y=\"" +
               fix2(p.y + static_cast<real>(d.set.numbersize) / 3) + "\" >" + name.substr(1) +
               "</text>",
           1, svgmask);
}

}  // namespace

void svgheader(Session& ses, Drawing& d) {
    PlotBox& b = d.box;
    b.left = 60;
    b.right = narrow16(b.left + 460);
    b.top = narrow16((d.set.ninfo + 2) * 22);
    b.bottom = narrow16(b.top + 460);
    const std::string w = realstr(pagewidth(b));
    const std::string h = realstr(pageheight(b));
    putstr(ses, 0, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>", 2, svgmask);
    putstr(ses, 0,
           "<svg viewBox=\"0 0 " + w + " " + h +
               "\" xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\">",
           2, svgmask);
    putstr(ses, 0, "  <style> text{font-family:Helvetica,sans-serif; font-size:16px;} </style>", 2,
           svgmask);
    putstr(ses, 0,
           "  <rect width=\"" + w + "\" height=\"" + h +
               "\" stroke=\"black\" stroke-opacity=\"0.1\" fill=\"white\" />",
           2, svgmask);
}

XY topixel(const Drawing& d, real x, real y) {
    const DrawSettings& s = d.set;
    const PlotBox& b = d.box;
    return {b.left + (x - s.xlow) * (b.right - b.left) / (s.xhigh - s.xlow),
            b.bottom + (y - s.ylow) * (b.top - b.bottom) / (s.yhigh - s.ylow)};
}

void svgxy(Session& ses, const Drawing& d, real x, real y) {
    const XY p = topixel(d, x, y);
    putstr(ses, 0, "      " + fix2(p.x) + " " + fix2(p.y), 0, svgmask);
}

void drawframe(Session& ses, const Drawing& d) {
    const DrawSettings& s = d.set;
    const PlotBox& b = d.box;
    const real dx = (s.xhigh - s.xlow) / 60;
    const real dy = (s.yhigh - s.ylow) / 60;
    putstr(ses, 0, "", 1, svgmask);

    const float tx = b.left;
    float ty = static_cast<float>(b.top - 12 - (s.ninfo + 1) * 22);
    for (int k = 1; k <= s.ninfo + 1; ++k) {
        ty += 22;
        const std::string text =
            k == 1 ? ses.programname + " (running at " + ses.datetimeline + ")" : s.info[k - 1];
        putstr(ses, 0,
               "  <text x=\"" + fix2(tx) + "\" y=\"" + fix2(ty) + "\" > " + text + " </text>", 1,
               svgmask);
    }

    putstr(ses, 1, "<!-- box -->", 1, svgmask);
    putstr(ses, 1, "    <polygon stroke=\"black\" fill=\"none\" points=\"", 1, svgmask);
    svgxy(ses, d, s.xlow, s.ylow);
    svgxy(ses, d, s.xlow, s.yhigh);
    svgxy(ses, d, s.xhigh, s.yhigh);
    svgxy(ses, d, s.xhigh, s.ylow);
    svgxy(ses, d, s.xlow, s.ylow);
    putstr(ses, 0, "\" />", 1, svgmask);

    putstr(ses, 1, "<!-- axis ticks -->", 2, svgmask);
    putstr(ses, 0, "  <g stroke=\"black\" fill=\"none\" >", 1, svgmask);
    real t = s.xstart - s.xgap;
    do {
        t += s.xgap;
        tick(ses, d, t, s.ylow, t, s.ylow + dy);
    } while (t < s.xhigh - s.xgap);
    t = s.ystart - s.ygap;
    do {
        t += s.ygap;
        tick(ses, d, s.xlow, t, s.xlow + dx, t);
    } while (t < s.yhigh - s.ygap);
    putstr(ses, 0, "  </g>", 1, svgmask);

    putstr(ses, 1, "<!-- axis labelling -->", 2, svgmask);
    putstr(ses, 0, "  <g text-anchor=\"middle\" >", 1, svgmask);
    // labels run up to the window's end itself, within a small tolerance
    t = s.xstart - s.xgap;
    for (;;) {
        t += s.xgap;
        if (t > s.xhigh && std::fabs(t - s.xhigh) >= 1e-5L * (s.xhigh - s.xlow)) break;
        textat(ses, topixel(d, t, s.ylow - 3 * dy), ticklabel(t));
    }
    putstr(ses, 1, "  </g>", 2, svgmask);
    putstr(ses, 0, "  <g text-anchor=\"end\" >", 1, svgmask);
    t = s.ystart - s.ygap;
    for (;;) {
        t += s.ygap;
        if (t > s.yhigh && std::fabs(t - s.yhigh) >= 1e-5L * (s.yhigh - s.ylow)) break;
        XY p = topixel(d, s.xlow - 2 * dx, t);
        p.y += 4;
        textat(ses, p, ticklabel(t));
    }
    putstr(ses, 0, "  </g>", 1, svgmask);

    if (!s.smallticks) return;
    putstr(ses, 1, "<!-- small ticks -->", 2, svgmask);
    putstr(ses, 0, "  <g stroke=\"black\" fill=\"none\" >", 1, svgmask);
    t = s.xlow;
    do {
        t += s.xsmallgap;
        tick(ses, d, t, s.ylow, t, s.ylow + dy / 2);
    } while (t < s.xhigh - s.xsmallgap);
    t = s.ylow;
    do {
        t += s.ysmallgap;
        tick(ses, d, s.xlow, t, s.xlow + dx / 2, t);
    } while (t < s.yhigh - s.ysmallgap);
    putstr(ses, 0, "</g>", 1, svgmask);
}

XY findmid(const Drawing& d, const linetype& l) {
    const DrawSettings& s = d.set;
    linevector len{};
    len[1] = 0;
    for (int k = 2; k <= l.ncoords; ++k) {
        const real fx = (l.x[k - 1] - l.x[k]) / (s.xhigh - s.xlow);
        const real fy = (l.y[k - 1] - l.y[k]) / (s.yhigh - s.ylow);
        len[k] = len[k - 1] + std::sqrt(fx * fx + fy * fy);
    }
    const real h = len[l.ncoords] / 2;
    if (h == 0) bomb("findmid", "zero sum distance for " + l.name, yourfault);
    int k = 2;
    while (k < l.ncoords && len[k] < h) ++k;
    if (len[k] == h) return {l.x[k], l.y[k]};
    const real f = (h - len[k - 1]) / (len[k] - len[k - 1]);
    return {l.x[k - 1] + f * (l.x[k] - l.x[k - 1]), l.y[k - 1] + f * (l.y[k] - l.y[k - 1])};
}

void drawlines(Session& ses, const Drawing& d) {
    putstr(ses, 1, "<!-- lines -->", 2, svgmask);
    putstr(ses, 0, "  <g stroke=\"black\" fill=\"none\">", 1, svgmask);
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = (*d.line)[i];
        if (l.ncoords < 1) continue;
        std::string text = "    <polyline ";
        if (l.coloured) {
            text += "stroke=\"rgb(" + realstr(l.rgb[1]) + "," + realstr(l.rgb[2]) + "," +
                    realstr(l.rgb[3]) + ")\" ";
        }
        if (l.thick) text += "stroke-width=\"1.6\" ";
        if (l.dashed) text += "stroke-dasharray=\"4 3\" ";
        putstr(ses, 1, text + "points=\"", 1, svgmask);
        for (int k = 1; k <= l.ncoords; ++k) svgxy(ses, d, l.x[k], l.y[k]);
        putstr(ses, 0, "\"  />", 1, svgmask);
    }
    putstr(ses, 1, "  </g>", 1, svgmask);
    if (d.set.numberingcb != controlboolean::yes) return;
    putstr(ses, 1, "<!-- line numbering -->", 2, svgmask);
    putstr(ses, 0, numbergroup(d.set), 2, svgmask);
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = (*d.line)[i];
        if (l.ncoords < 1 || l.connect) continue;
        const XY mid = findmid(d, l);
        if (strictlyinside(d.set, mid.x, mid.y)) numberat(ses, d, mid.x, mid.y, l.name);
    }
    putstr(ses, 1, "  </g>", 1, svgmask);
}

void drawcircles(Session& ses, const Drawing& d) {
    const DrawSettings& s = d.set;
    putstr(ses, 1, "<!-- circles -->", 2, svgmask);
    putstr(ses, 0, "  <g stroke=\"none\" fill=\"black\" fill-opacity=\"0.1\" >", 2, svgmask);
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = (*d.point)[i];
        if (!strictlyinside(s, p.x, p.y)) continue;
        const XY c = topixel(d, p.x, p.y);
        putstr(ses, 0,
               "    <circle cx=\"" + fix2(c.x) + "\" cy=\"" + fix2(c.y) + "\" r=\"" +
                   fix2(s.circleradius) + "\" />",
               1, svgmask);
    }
    putstr(ses, 1, "  </g>", 1, svgmask);
    if (s.numberingcb != controlboolean::yes) return;
    putstr(ses, 1, "<!-- circle numbering -->", 2, svgmask);
    putstr(ses, 0, numbergroup(s), 2, svgmask);
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = (*d.point)[i];
        if (strictlyinside(s, p.x, p.y)) numberat(ses, d, p.x, p.y, p.name);
    }
    putstr(ses, 1, "  </g>", 1, svgmask);
}

void drawdiagram(Session& ses, Drawing& d) {
    svgheader(ses, d);
    crossover(d);
    dolines(ses, d);
    if (d.set.analysecb == controlboolean::yes) analyse(ses, d);
    if (d.set.doareascb == controlboolean::yes) doareas(ses, d);
    drawframe(ses, d);
    drawlines(ses, d);
    if (d.set.docirclescb == controlboolean::yes) drawcircles(ses, d);
    putstr(ses, 1, "</svg>", 1, svgmask);
}

}  // namespace qv
