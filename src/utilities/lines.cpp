#include "utilities/lines.hpp"

#include <cmath>
#include <utility>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

struct Segment {
    real x1, y1, x2, y2;
    bool vertical() const { return x2 == x1; }
    bool horizontal() const { return y2 == y1; }
    real slope() const { return (y2 - y1) / (x2 - x1); }
    real intercept() const { return (x2 * y1 - y2 * x1) / (x2 - x1); }
};

bool within(real v, real e1, real e2) {
    return (v >= e1 && v <= e2) || (v >= e2 && v <= e1);
}

// The crossing of two segments, testing x ranges only.
bool segmentcross(const Segment& a, const Segment& b, real& x, real& y) {
    if (a.vertical() && b.vertical()) return false;
    if (a.vertical()) {
        x = a.x1;
        if (!within(x, b.x1, b.x2)) return false;
        y = b.intercept() + x * b.slope();
        return true;
    }
    if (b.vertical()) {
        x = b.x1;
        if (!within(x, a.x1, a.x2)) return false;
        y = a.intercept() + x * a.slope();
        return true;
    }
    const real ma = a.slope();
    const real mb = b.slope();
    if (ma == mb) return false;
    x = (a.intercept() - b.intercept()) / (mb - ma);
    if (!within(x, a.x1, a.x2) || !within(x, b.x1, b.x2)) return false;
    y = a.intercept() + x * ma;
    return true;
}

int16 findline(const Drawing& d, const std::string& name) {
    for (int i = 1; i <= d.nline; ++i) {
        if ((*d.line)[i].name == name) return narrow16(i);
    }
    bomb("crossover", name + " not found", yourfault);
}

// Monotonic in one coordinate: the first change sets the direction, and no later step may run
// against it; a coordinate that never changes is not monotonic.
bool monotonic(const linevector& v, int16 n) {
    if (n < 3) return true;
    int k = 2;
    while (k <= n && v[k] == v[1]) ++k;
    if (k > n) return false;
    const bool rising = v[k] > v[k - 1];
    for (int j = k + 1; j <= n; ++j) {
        if (rising ? v[j] < v[j - 1] : v[j] > v[j - 1]) return false;
    }
    return true;
}

void setcoord(linetype& l, int k, real x, real y) {
    l.x[k] = x;
    l.y[k] = y;
}

void swapends(linetype& l, int16& pb, int16& pe) {
    std::swap(pb, pe);
    std::swap(l.beginindex, l.endindex);
    std::swap(l.beginname, l.endname);
}

// A window corner between two edges met in turn (1 bottom, 2 left, 3 top, 4 right).
void windowcorner(const DrawSettings& s, int e, int f, const std::string& name, real& x, real& y) {
    const int lo = e < f ? e : f;
    const int hi = e < f ? f : e;
    if (lo == 1 && hi == 2) {
        x = s.xlow;
        y = s.ylow;
    } else if (lo == 2 && hi == 3) {
        x = s.xlow;
        y = s.yhigh;
    } else if (lo == 3 && hi == 4) {
        x = s.xhigh;
        y = s.yhigh;
    } else if (lo == 1 && hi == 4) {
        x = s.xhigh;
        y = s.ylow;
    } else {
        bomb("lines", "wierd line shape in " + name, yourfault);
    }
}

std::string designation(const Drawing& d, int16 k) {
    switch (k) {
        case 0: return "line end";
        case -1: return "bottom edge";
        case -2: return "left edge";
        case -3: return "top edge";
        case -4: return "right edge";
        default: return k > 0 ? (*d.point)[k].name : "????";
    }
}

}  // namespace

void crossover(Drawing& d) {
    for (int i = 1; i <= d.npoint; ++i) {
        pointtype& p = d.pt(i);
        if (!p.crossover) continue;
        p.crossindex1 = findline(d, p.crossline1);
        p.crossindex2 = findline(d, p.crossline2);
        const linetype& a = d.ln(p.crossindex1);
        const linetype& b = d.ln(p.crossindex2);
        bool found = false;
        for (int s = 1; s <= a.ncoords - 1 && !found; ++s) {
            const Segment sa{a.x[s], a.y[s], a.x[s + 1], a.y[s + 1]};
            for (int t = 1; t <= b.ncoords - 1 && !found; ++t) {
                const Segment sb{b.x[t], b.y[t], b.x[t + 1], b.y[t + 1]};
                found = segmentcross(sa, sb, p.x, p.y);
            }
        }
        if (!found) bomb("crossover", "lines don't cross for " + p.name, yourfault);
    }
}

int16 whichpoint(const Drawing& d, const std::string& name) {
    for (int i = 1; i <= d.npoint; ++i) {
        if ((*d.point)[i].name == name) return narrow16(i);
    }
    if (name == "begin" || name == "end") return 0;
    bomb("which point", "not recognised: " + name, yourfault);
}

void monotonicline(linetype& l) {
    l.xmonotonic = monotonic(l.x, l.ncoords);
    l.ymonotonic = monotonic(l.y, l.ncoords);
}

int16 pointwithinline(const linetype& l, const pointtype& p) {
    const int16 n = l.ncoords;
    if (n == 1) return 1;
    const linevector& vals = l.xmonotonic ? l.x : l.y;
    const real v = l.xmonotonic ? p.x : p.y;
    for (int k = 1; k <= n - 1; ++k) {
        if (within(v, vals[k], vals[k + 1])) return narrow16(k);
    }
    if (vals[n] <= vals[1]) return v <= vals[1] ? n : int16{0};
    return v <= vals[n] ? int16{0} : n;
}

void addpoints(Drawing& d, int li) {
    linetype& l = d.ln(li);
    if (l.connect) return;
    const int16 n = l.ncoords;
    int16 pb = l.beginindex == 0 ? int16{-1} : pointwithinline(l, d.pt(l.beginindex));
    int16 pe = l.endindex == 0 ? int16{-1} : pointwithinline(l, d.pt(l.endindex));
    if (pb == -1 && pe == -1) return;
    const linetype in = l;
    auto room = [&](int count) {
        // a line read at full length has no room for the points it is joined to
        if (count > maxlinecoords) {
            bomb("add points",
                 "too much data for line " + l.name +
                     " with its points: max = " + realstr(maxlinecoords),
                 yourfault);
        }
    };
    auto pointat = [&](int k, int16 index) { setcoord(l, k, d.pt(index).x, d.pt(index).y); };
    if (pb == -1 || pe == -1) {
        if (l.endname == "begin" || l.beginname == "end") swapends(l, pb, pe);
        if (l.endname == "end") {
            if (pb == n) {
                bomb("add points", "\"end\" should be \"begin\" for " + l.name + "?", yourfault);
            }
            room(n - pb + 1);
            pointat(1, l.beginindex);
            for (int k = pb + 1; k <= n; ++k) setcoord(l, k - pb + 1, in.x[k], in.y[k]);
            l.ncoords = narrow16(n - pb + 1);
        } else {
            if (pe == 0) {
                bomb("add points", "\"begin\" should be \"end\" for " + l.name + "?", yourfault);
            }
            room(pe + 1);
            pointat(pe + 1, l.endindex);
            l.ncoords = narrow16(pe + 1);
        }
        return;
    }
    if (pb == pe) {
        pointat(1, l.beginindex);
        pointat(2, l.endindex);
        l.ncoords = 2;
        return;
    }
    if (pe < pb) swapends(l, pb, pe);
    room(pe - pb + 2);
    pointat(1, l.beginindex);
    for (int k = pb + 1; k <= pe; ++k) setcoord(l, k - pb + 1, in.x[k], in.y[k]);
    pointat(pe - pb + 2, l.endindex);
    l.ncoords = narrow16(pe - pb + 2);
}

bool inwindow(const DrawSettings& s, real x, real y) {
    return s.xlow <= x && x <= s.xhigh && s.ylow <= y && y <= s.yhigh;
}

void cutlines(Drawing& d, int li) {
    const DrawSettings& s = d.set;
    for (int i = 1; i <= d.npoint; ++i) d.pt(i).inside = inwindow(s, d.pt(i).x, d.pt(i).y);
    linetype& l = d.ln(li);
    const int16 n = l.ncoords;
    const linevector cx = l.x;
    const linevector cy = l.y;
    bool started = false;
    bool in = n >= 1 && inwindow(s, cx[1], cy[1]);
    int16 begin = l.beginindex;
    int16 end = l.endindex;
    int cuts = 0;
    for (int k = 1; k <= n - 1; ++k) {
        const Segment seg{cx[k], cy[k], cx[k + 1], cy[k + 1]};
        int edges[4] = {0, 0, 0, 0};
        real px[4] = {0, 0, 0, 0};
        real py[4] = {0, 0, 0, 0};
        int count = 0;
        const real m = seg.vertical() ? 0 : seg.slope();
        const real c = seg.vertical() ? 0 : seg.intercept();
        // an edge is crossed when the segment's end lies on it, not when its start does
        auto across = [](real v1, real edge, real v2) {
            return (v1 > edge && edge >= v2) || (v1 < edge && edge <= v2);
        };
        auto horizontaledge = [&](int e, real edge) {
            if (seg.horizontal() || !across(seg.y1, edge, seg.y2)) return;
            const real x = seg.vertical() ? seg.x1 : (edge - c) / m;
            if (x < s.xlow || x > s.xhigh) return;
            edges[count] = e;
            px[count] = x;
            py[count] = edge;
            ++count;
        };
        auto verticaledge = [&](int e, real edge) {
            if (seg.vertical() || !across(seg.x1, edge, seg.x2)) return;
            const real y = seg.horizontal() ? seg.y1 : c + m * edge;
            if (y < s.ylow || y > s.yhigh) return;
            edges[count] = e;
            px[count] = edge;
            py[count] = y;
            ++count;
        };
        horizontaledge(1, s.ylow);
        verticaledge(2, s.xlow);
        horizontaledge(3, s.yhigh);
        verticaledge(4, s.xhigh);
        if (count > 2) bomb("edge", "too many cuts", yourfault);
        cuts += count;
        if (count == 1) {
            const int e = edges[0];
            if (!started) {
                if (!in) {
                    begin = narrow16(-e);
                } else {
                    end = narrow16(-e);
                }
            }
            if (!in) {
                int p = started ? l.ncoords + 1 : 1;
                if (started && end < 0 && -end != e) {
                    real x = 0;
                    real y = 0;
                    windowcorner(s, e, -end, l.name, x, y);
                    setcoord(l, p, x, y);
                    end = l.endindex;
                    cuts -= 2;
                    ++p;
                }
                setcoord(l, p, px[0], py[0]);
                for (int j = k + 1; j <= n; ++j) setcoord(l, p + j - k, cx[j], cy[j]);
                l.ncoords = narrow16(p + n - k);
            } else {
                l.ncoords = narrow16(l.ncoords - (n - k - 1));
                setcoord(l, l.ncoords, px[0], py[0]);
                end = narrow16(-e);
            }
            in = !in;
            started = true;
        } else if (count == 2) {
            const int base = started ? l.ncoords : 0;
            setcoord(l, base + 1, px[0], py[0]);
            setcoord(l, base + 2, px[1], py[1]);
            l.ncoords = narrow16(base + 2);
            if (started) {
                cuts -= 2;
            } else {
                begin = narrow16(-edges[0]);
            }
            end = narrow16(-edges[1]);
            in = false;
            started = true;
        }
    }
    if (cuts < 0 || cuts > 2) bomb("lines", "bad cuts of window edge", yourfault);
    l.beginindex = begin;
    l.endindex = end;
    l.outside = cuts == 0 && !(n >= 1 && inwindow(s, cx[1], cy[1]));
    if (l.outside) {
        l.ncoords = 0;
        return;
    }
    // a free end that lies on an edge ends there
    constexpr real ontolerance = 1e-7L;
    auto edgeof = [&](real x, real y) -> int16 {
        if (std::fabs(y - s.ylow) < ontolerance) return -1;
        if (std::fabs(x - s.xlow) < ontolerance) return -2;
        if (std::fabs(y - s.yhigh) < ontolerance) return -3;
        if (std::fabs(x - s.xhigh) < ontolerance) return -4;
        return 0;
    };
    if (l.beginindex == 0 && l.ncoords >= 1) l.beginindex = edgeof(l.x[1], l.y[1]);
    if (l.endindex == 0 && l.ncoords >= 1) l.endindex = edgeof(l.x[l.ncoords], l.y[l.ncoords]);
}

void listlines(Session& ses, const Drawing& d, int li, int16 level) {
    if (level != 3) return;
    const linetype& l = (*d.line)[li];
    if (l.ncoords < 1) return;
    putstr(ses, 0, std::string(33, '_'), 1, logmask);
    std::string text = l.name + ") ";
    for (int k = 1; k <= l.nphases; ++k) text += l.phases[k] + " ";
    putstr(ses, 0, text + "(" + l.zeromode + ")  ", 1, logmask);
    text = "  start = " + designation(d, l.beginindex) + "; end = " + designation(d, l.endindex);
    if (l.connect) text += "  connect";
    putstr(ses, 0, text, 1, logmask);
    auto coordline = [&](int k, const char* tail) {
        std::string line;
        addreal(4, true, 10, line, l.x[k]);
        addreal(4, true, 10, line, l.y[k]);
        putstr(ses, 0, line + tail, 1, logmask);
    };
    if (l.ncoords < 5) {
        for (int k = 1; k <= l.ncoords; ++k) coordline(k, "");
    } else {
        coordline(1, "");
        coordline(2, " ...");
        coordline(l.ncoords - 1, "");
        coordline(l.ncoords, "");
    }
}

void dolines(Session& ses, Drawing& d) {
    for (int i = 1; i <= d.nline; ++i) {
        linetype& l = d.ln(i);
        monotonicline(l);
        l.beginindex = whichpoint(d, l.beginname);
        l.endindex = whichpoint(d, l.endname);
        if (l.connect) {
            if (l.beginindex <= 0 || l.endindex <= 0) {
                bomb("lines", "connect not using a point", yourfault);
            }
            setcoord(l, 1, d.pt(l.beginindex).x, d.pt(l.beginindex).y);
            setcoord(l, 2, d.pt(l.endindex).x, d.pt(l.endindex).y);
            l.ncoords = 2;
        } else {
            addpoints(d, i);
        }
        cutlines(d, i);
        listlines(ses, d, i, 3);
    }
}

}  // namespace qv
