#include "utilities/areas.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "utilities/svgdraw.hpp"

namespace qv {
namespace {

XY endpoint(const linetype& l, int end) {
    return end == 1 ? XY{l.x[1], l.y[1]} : XY{l.x[l.ncoords], l.y[l.ncoords]};
}

int16 enddesignation(const linetype& l, int end) {
    return end == 1 ? l.beginindex : l.endindex;
}

bool ispoint(int16 designation) {
    return designation >= 1;
}

// The code of a line's traversal start and end: 1 its first point, 2 its last.
int startcode(bool forward) {
    return forward ? 1 : 2;
}
int endcode(bool forward) {
    return forward ? 2 : 1;
}

struct Outline {
    Session& ses;
    const Drawing& d;
    int area;

    void pair(const XY& p) { svgxy(ses, d, p.x, p.y); }

    // Points of the line but the one at which its traversal starts.
    void svglinepoints(bool forward, const linetype& l) {
        if (forward) {
            for (int k = 2; k <= l.ncoords; ++k) pair({l.x[k], l.y[k]});
        } else {
            for (int k = l.ncoords - 1; k >= 1; --k) pair({l.x[k], l.y[k]});
        }
    }

    // The window corners from an end of P on one edge to an end of Q on another, then Q's end.
    void areacorners(int end1, int end2, const linetype& p, const linetype& q) {
        const DrawSettings& s = d.set;
        const XY a = endpoint(p, end1);
        const XY b = endpoint(q, end2);
        const int e1 = -enddesignation(p, end1);
        const int e2 = -enddesignation(q, end2);
        const bool left = (a.x + b.x) - 2 * s.xlow < s.xhigh - s.xlow;
        const bool above = 2 * s.yhigh - a.y - b.y < s.yhigh - s.ylow;
        const XY bl{s.xlow, s.ylow};
        const XY tl{s.xlow, s.yhigh};
        const XY tr{s.xhigh, s.yhigh};
        const XY br{s.xhigh, s.ylow};
        if (e1 >= 1 && e1 <= 4 && e2 >= 1 && e2 <= 4 && e1 != e2) {
            switch (e1 * 10 + e2) {
                case 12: pair(bl); break;
                case 13:
                    pair(left ? bl : br);
                    pair(left ? tl : tr);
                    break;
                case 14: pair(br); break;
                case 21: pair(bl); break;
                case 23: pair(tl); break;
                case 24:
                    pair(above ? tl : bl);
                    pair(above ? tr : br);
                    break;
                case 31:
                    pair(left ? tl : tr);
                    pair(left ? bl : br);
                    break;
                case 32: pair(tl); break;
                case 34: pair(tr); break;
                case 41: pair(br); break;
                case 42:
                    pair(above ? tr : br);
                    pair(above ? tl : bl);
                    break;
                default: pair(tr); break;  // right to top
            }
        }
        pair(b);
    }

    void funnystart(int code) {
        putstr(ses, 0,
               "\xE2\x80\xA2 something funny with area " + realstr(area) + ": can't get started (" +
                   realstr(code) + ")",
               1, screensummarylogmask);
    }

    void oneline(const linetype& a) {
        pair(endpoint(a, 1));
        svglinepoints(true, a);
        areacorners(2, 1, a, a);
    }

    void twolines(const linetype& a, const linetype& b) {
        const int16 ab = a.beginindex, ae = a.endindex, bb = b.beginindex, be = b.endindex;
        if (ab < 0 && ae < 0 && bb < 0 && be < 0) {
            bool bfwd = true;
            if (ae == bb || ab == be) {
                bfwd = true;
            } else if (ae == be || ab == bb) {
                bfwd = false;
            } else {
                bfwd = enddistance(d, 2, 1, a, b) < enddistance(d, 2, 2, a, b);
            }
            pair(endpoint(a, 1));
            svglinepoints(true, a);
            areacorners(2, startcode(bfwd), a, b);
            svglinepoints(bfwd, b);
            areacorners(endcode(bfwd), 1, b, a);
            return;
        }
        // lines share a point only where both name the same point
        const auto shared = [](int16 u, int16 v) { return u > 0 && u == v; };
        bool afwd = false;
        bool bfwd = false;
        if (shared(ae, bb)) {
            afwd = true;
            bfwd = true;
        } else if (shared(ae, be)) {
            afwd = true;
        } else if (shared(ab, bb)) {
            bfwd = true;
        }
        pair(endpoint(a, startcode(afwd)));
        svglinepoints(afwd, a);
        svglinepoints(bfwd, b);
        areacorners(endcode(bfwd), startcode(afwd), b, a);
    }

    // The directions of the first two lines; a start code when no rule fits.
    int startpair(const linetype& a, const linetype& b, bool& afwd, bool& bfwd, bool& corners) {
        const int16 ab = a.beginindex, ae = a.endindex, bb = b.beginindex, be = b.endindex;
        const int mask = (ispoint(ab) ? 8 : 0) | (ispoint(ae) ? 4 : 0) | (ispoint(bb) ? 2 : 0) |
                         (ispoint(be) ? 1 : 0);
        corners = false;
        auto set = [&](bool fa, bool fb) {
            afwd = fa;
            bfwd = fb;
            return 0;
        };
        switch (mask) {
            case 15:
                if (ae == bb) return set(true, true);
                if (ae == be) return set(true, false);
                if (ab == bb) return set(false, true);
                if (ab == be) return set(false, false);
                return 1;
            case 14:
                if (ae == bb) return set(true, true);
                if (ab == bb) return set(false, true);
                return 2;
            case 13:
                if (ae == be) return set(true, false);
                if (ab == be) return set(false, false);
                return 3;
            case 11:
                if (ab == bb) return set(false, true);
                if (ab == be) return set(false, false);
                return 4;
            case 7:
                if (ae == bb) return set(true, true);
                if (ae == be) return set(true, false);
                return 5;
            case 10: corners = ab != bb; return ab == bb ? set(false, true) : set(true, false);
            case 9: corners = ab != be; return ab == be ? set(false, false) : set(true, true);
            case 6: corners = ae != bb; return ae == bb ? set(true, true) : set(false, false);
            case 5: corners = ae != be; return ae == be ? set(true, false) : set(false, true);
            case 3: return 6;
            case 12: return 7;
            case 0: return 8;
            case 1:
                corners = true;
                if (ab == bb) return set(false, true);
                if (ae == bb) return set(true, true);
                return set(enddistance(d, 2, 1, a, b) < enddistance(d, 1, 1, a, b), true);
            case 2:
                corners = true;
                if (ab == be) return set(false, false);
                if (ae == be) return set(true, false);
                return set(enddistance(d, 2, 2, a, b) < enddistance(d, 1, 2, a, b), false);
            case 4:
                corners = true;
                if (ab == bb) return set(false, true);
                if (ab == be) return set(false, false);
                return set(false, enddistance(d, 1, 1, a, b) < enddistance(d, 1, 2, a, b));
            default:  // A's begin only
                corners = true;
                if (ae == bb) return set(true, true);
                if (ae == be) return set(true, false);
                return set(true, enddistance(d, 2, 1, a, b) < enddistance(d, 2, 2, a, b));
        }
    }

    void manylines(const atype& ar) {
        const int n = ar.nnames;
        auto lineof = [&](int k) -> const linetype& { return (*d.line)[ar.lineindex[k]]; };
        Fixed1<bool, maxareanames> forward{};
        bool afwd = true;
        bool bfwd = true;
        bool corners = false;
        const int code = startpair(lineof(1), lineof(2), afwd, bfwd, corners);
        if (code != 0) {
            funnystart(code);
            return;
        }
        forward[1] = afwd;
        forward[2] = bfwd;
        pair(endpoint(lineof(1), startcode(afwd)));
        svglinepoints(afwd, lineof(1));
        if (corners) areacorners(endcode(afwd), startcode(bfwd), lineof(1), lineof(2));
        for (int k = 2; k <= n; ++k) {
            const linetype& l = lineof(k);
            const int16 t = enddesignation(l, endcode(forward[k]));
            const bool closing = k == n;
            const linetype& next = lineof(closing ? 1 : k + 1);
            int fault = 0;
            bool join = false;
            if (closing) {
                join = t < 0;
            } else {
                const int16 nb = next.beginindex;
                const int16 ne = next.endindex;
                bool nfwd = true;
                if (!ispoint(t)) {
                    join = true;
                    if (ispoint(nb) && ispoint(ne)) {
                        fault = 5;
                    } else if (ispoint(ne)) {
                        nfwd = true;
                    } else if (ispoint(nb)) {
                        nfwd = false;
                    } else if (nb == t) {
                        nfwd = true;
                    } else if (ne == t) {
                        nfwd = false;
                    } else {
                        const int from = endcode(forward[k]);
                        nfwd = enddistance(d, from, 1, l, next) < enddistance(d, from, 2, l, next);
                    }
                } else if (ispoint(nb) && ispoint(ne)) {
                    if (nb == t) {
                        nfwd = true;
                    } else if (ne == t) {
                        nfwd = false;
                    } else {
                        fault = 1;
                    }
                } else if (ispoint(nb)) {
                    fault = nb == t ? 0 : 2;
                    nfwd = true;
                } else if (ispoint(ne)) {
                    fault = ne == t ? 0 : 3;
                    nfwd = false;
                } else {
                    fault = 4;
                }
                forward[k + 1] = nfwd;
            }
            if (fault != 0) {
                putstr(ses, 0,
                       "\xE2\x80\xA2 something funny (" + realstr(fault) + ") with area " +
                           realstr(area) + " looking at line " + next.name,
                       1, screensummarylogmask);
                return;
            }
            svglinepoints(forward[k], l);
            if (join) {
                const int nextstart = closing ? startcode(forward[1]) : startcode(forward[k + 1]);
                areacorners(endcode(forward[k]), nextstart, l, next);
            }
        }
    }
};

int16 channelvalue(real light, real dark, double grey) {
    const real v =
        std::trunc(light * static_cast<real>(grey) + dark * (1 - static_cast<real>(grey)));
    return static_cast<int16>(std::clamp(v, 0.0L, 255.0L));
}

}  // namespace

int16 whichline(const Drawing& d, const std::string& name) {
    for (int i = 1; i <= d.nline; ++i) {
        if ((*d.line)[i].name == name) return narrow16(i);
    }
    bomb("which line", "not recognised: " + name, yourfault);
}

real enddistance(const Drawing& d, int end1, int end2, const linetype& p, const linetype& q) {
    const XY a = endpoint(p, end1);
    const XY b = endpoint(q, end2);
    const real fx = (a.x - b.x) / (d.set.xhigh - d.set.xlow);
    const real fy = (a.y - b.y) / (d.set.yhigh - d.set.ylow);
    return std::sqrt(fx * fx + fy * fy);
}

void doareas(Session& ses, Drawing& d) {
    putstr(ses, 0, "<!-- areas -->", 2, svgmask);
    putstr(ses, 0, "  <g stroke=\"none\" >", 1, svgmask);
    const DrawSettings& s = d.set;
    for (int i = 1; i <= d.narea; ++i) {
        atype& ar = d.area(i);
        int16 kept = 0;
        for (int k = 1; k <= ar.nnames; ++k) {
            const int16 li = whichline(d, ar.names[k]);
            if (d.ln(li).ncoords >= 1) ar.lineindex[++kept] = li;
        }
        ar.nnames = kept;
        if (kept == 0) continue;
        const std::string rgb =
            realstr(channelvalue(s.lightcolour.r, s.darkcolour.r, ar.grey)) + "," +
            realstr(channelvalue(s.lightcolour.g, s.darkcolour.g, ar.grey)) + "," +
            realstr(channelvalue(s.lightcolour.b, s.darkcolour.b, ar.grey));
        putstr(ses, 1, "    <polygon fill=\"rgb(" + rgb + ")\" points=\"", 1, svgmask);
        Outline o{ses, d, i};
        if (kept == 1) {
            o.oneline(d.ln(ar.lineindex[1]));
        } else if (kept == 2) {
            o.twolines(d.ln(ar.lineindex[1]), d.ln(ar.lineindex[2]));
        } else {
            o.manylines(ar);
        }
        putstr(ses, 0, "\" />", 1, svgmask);
    }
    putstr(ses, 1, "  </g>", 1, svgmask);
}

}  // namespace qv
