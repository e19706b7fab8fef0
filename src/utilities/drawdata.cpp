#include "utilities/drawdata.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/files.hpp"
#include "textio/heap.hpp"
#include "textio/numfmt.hpp"
#include "textio/prefs.hpp"

namespace qv {
namespace {

bool isname(valuetype t) {
    return t == valuetype::astring;
}

bool isnumber(valuetype t) {
    return t != valuetype::anemptystring && t != valuetype::astring;
}

// The words of the data file as one stream across lines, with one word of lookahead; comments
// and empty lines are skipped.
class WordStream {
public:
    WordStream(Session& ses, InFile& f) : ses_(ses), f_(f) {}

    // The next word without taking it; empty at the end of the file.
    const std::string& peek() {
        load();
        return next_;
    }
    valuetype peekkind() {
        load();
        return kind_;
    }
    // Takes the next word; the end of the file stops the run naming `label`.
    std::string readnext(std::string_view label, valuetype& kind) {
        load();
        if (kind_ == valuetype::anemptystring) {
            bomb("reading", "unexpected end of input: " + std::string(label), yourfault);
        }
        taken_ = true;
        kind = kind_;
        return next_;
    }
    std::string readname(std::string_view label) {
        valuetype kind = valuetype::anemptystring;
        std::string w = readnext(label, kind);
        if (!isname(kind)) {
            bomb("reading", "expecting a name; got: " + w + " - " + std::string(label), yourfault);
        }
        return w;
    }
    int16 readinteger(std::string_view label) {
        valuetype kind = valuetype::anemptystring;
        const std::string w = readnext(label, kind);
        return getinteger(kind, w, label);
    }
    real readnumber(std::string_view label) {
        valuetype kind = valuetype::anemptystring;
        const std::string w = readnext(label, kind);
        return getsingle(kind, w, label);
    }

private:
    void load() {
        if (loaded_ && !taken_) return;
        loaded_ = true;
        taken_ = false;
        ++pos_;
        while (pos_ > n_) {
            if (f_.eof()) {
                next_.clear();
                kind_ = valuetype::anemptystring;
                return;
            }
            readstrings(ses_, f_, words_, n_, true);
            pos_ = 1;
        }
        next_ = words_[pos_];
        kind_ = whatis(next_);
    }

    Session& ses_;
    InFile& f_;
    strings words_{};
    int16 n_ = 0;
    int16 pos_ = 0;
    bool loaded_ = false;
    bool taken_ = false;
    std::string next_;
    valuetype kind_ = valuetype::anemptystring;
};

// A point name in a line entry: "i" not followed by "l".
bool ispointname(const std::string& w) {
    return !w.empty() && w[0] == 'i' && (w.size() < 2 || w[1] != 'l');
}

bool islimitword(const std::string& w) {
    return ispointname(w) || w == "begin" || w == "end";
}

void addphase(phasenames& phases, int16& n, const std::string& name, const std::string& label) {
    if (n >= maxdrawphases) {
        bomb("readdata", "too many phases in header in " + label, yourfault);
    }
    phases[++n] = name;
}

struct Header {
    int16 xcol = 0;
    int16 ycol = 0;
    int16 icol = 0;  // 0: no interpolation
    real a = 0;
    real b = 0;
};

struct Reader {
    Session& ses;
    Drawing& d;
    WordStream& ws;
    Header h;

    void header();
    void entries();
    void pointentry(const std::string& name);
    void lineentry(const std::string& name, bool marked);
    void lineoptions(linetype& l);
    void linecoords(linetype& l);
    void areas();

    // One row of nvar numbers into `row`.
    void readrow(rrvector& row, const std::string& label) {
        for (int k = 1; k <= d.nvar; ++k) row[k] = ws.readnumber(label);
    }
    bool rowsend() {
        return ws.peek() == "*" || isname(ws.peekkind()) ||
               ws.peekkind() == valuetype::anemptystring;
    }
};

void Reader::header() {
    d.nvar = ws.readinteger("no of variables in each point");
    if (d.nvar > maxnvar) {
        bomb("readdata", "too many variables in each line of input: max = " + realstr(maxnvar),
             yourfault);
    }
    d.systemsize = ws.readinteger("size of system");
    h.xcol = ws.readinteger("column of x coordinate");
    if (h.xcol < 1 || h.xcol > d.nvar) {
        bomb("readdata", "xcol not in range: must be 1 <=> " + realstr(d.nvar), yourfault);
    }
    h.ycol = ws.readinteger("column of y coordinate");
    if (h.ycol < 1 || h.ycol > d.nvar) {
        bomb("readdata", "ycol not in range: must be 1 <=> " + realstr(d.nvar), yourfault);
    }
    if (ws.peek() == "x") {
        valuetype kind = valuetype::anemptystring;
        ws.readnext("interpolation coordinate", kind);
        h.icol = ws.readinteger("interpolation coordinate");
        if (h.icol < 1 || h.icol > d.nvar) {
            bomb("readdata", "icol not in range: must be 1 <=> " + realstr(d.nvar), yourfault);
        }
        if (h.icol == h.xcol || h.icol == h.ycol) {
            bomb("readdata", "icol same as xcol or ycol", yourfault);
        }
        h.a = ws.readnumber("interpolation value");
        h.b = isnumber(ws.peekkind()) ? ws.readnumber("interpolation value") : 0;
    }
}

void Reader::pointentry(const std::string& name) {
    if (d.npoint >= maxpoints) {
        bomb("read data", "too many points: max = " + realstr(maxpoints), yourfault);
    }
    pointtype& p = d.pt(d.npoint + 1);
    p = pointtype{};
    p.name = name;
    valuetype kind = valuetype::anemptystring;
    const std::string& w = ws.peek();
    if (isnumber(ws.peekkind())) {
        p.plain = true;
    } else if (w == "invariant" || w == "point") {
        ws.readnext("", kind);
        p.plain = true;
    } else if (w == "crossover") {
        ws.readnext("", kind);
        p.crossover = true;
    } else {
        const std::string label = "nonzero-mode phases for " + name;
        auto endsphases = [&] {
            const std::string& n = ws.peek();
            return n == "-" || n == "invariant" || n == "point" || n == "crossover" ||
                   !isname(ws.peekkind());
        };
        while (!endsphases()) addphase(p.phases, p.nphases, ws.readname(label), label);
        const std::string& after = ws.peek();
        if (after == "crossover") {
            ws.readnext("", kind);
            p.crossover = true;
        } else if (after == "invariant") {
            ws.readnext("", kind);
            p.invariant = true;
        } else if (after == "point") {
            ws.readnext("", kind);
            p.plain = true;
            p.nphases = 0;
        } else if (after == "-") {
            ws.readnext("", kind);
            const std::string zlabel = "zero-mode phases for " + name;
            auto zeroname = [&] {
                const std::string& n = ws.peek();
                if (isname(ws.peekkind()) && n != "invariant" && n != "point" && n != "crossover") {
                    return ws.readname(zlabel);
                }
                return std::string("none");
            };
            p.zeromode1 = zeroname();
            p.zeromode2 = zeroname();
            if (ws.peek() == "invariant" || ws.peek() == "point") ws.readnext("", kind);
        } else {
            // a number (or the end of the file): the label was no label
            p.plain = true;
            p.nphases = 0;
        }
    }
    if (!p.crossover && ws.peek() == "crossover") {
        ws.readnext("", kind);
        p.crossover = true;
    }
    if (p.crossover) {
        p.crossline1 = ws.readname("reading crossover lines" + name);
        p.crossline2 = ws.readname("reading crossover lines" + name);
    } else if (h.icol == 0) {
        rrvector row{};
        readrow(row, "reading coordinates for " + name);
        p.x = row[h.xcol];
        p.y = row[h.ycol];
    } else {
        linevector xs{};
        linevector ys{};
        linevector is{};
        int16 n = 0;
        const std::string label = "interpolating coordinates for " + name;
        do {
            if (n >= maxlinecoords) {
                bomb("read data", "too much data for line: max = " + realstr(maxlinecoords),
                     yourfault);
            }
            rrvector row{};
            readrow(row, label);
            ++n;
            xs[n] = row[h.xcol];
            ys[n] = row[h.ycol];
            is[n] = row[h.icol];
        } while (!rowsend());
        const Interpolated at = interpolateline(xs, ys, is, n, h.a, h.b);
        if (!at.found) bomb("read data", "interpolation failed for " + name, yourfault);
        p.x = at.x;
        p.y = at.y;
    }
    ++d.npoint;
    showentry(1, d.npoint);
}

void Reader::lineoptions(linetype& l) {
    valuetype kind = valuetype::anemptystring;
    if (ws.peek() == "connect") {
        ws.readnext("", kind);
        l.connect = true;
        l.ncoords = 0;
    }
    if (ws.peek() == "rgb") {
        ws.readnext("", kind);
        for (int k = 1; k <= 3; ++k) {
            // rounded half to even, and held to the colour range so the SVG stays valid
            const real v = std::nearbyint(ws.readnumber("rgb values for " + l.name));
            l.rgb[k] = static_cast<int16>(std::clamp(v, 0.0L, 255.0L));
        }
        l.coloured = true;
    }
    struct Named {
        const char* word;
        int16 r, g, b;
    };
    static const Named colours[] = {
        {"red", 255, 0, 0}, {"blue", 0, 0, 255}, {"green", 0, 170, 0}, {"magenta", 255, 0, 255}};
    for (const Named& c : colours) {
        if (ws.peek() != c.word) continue;
        ws.readnext("", kind);
        l.rgb[1] = c.r;
        l.rgb[2] = c.g;
        l.rgb[3] = c.b;
        l.coloured = true;
        break;
    }
    if (ws.peek() == "thick") {
        ws.readnext("", kind);
        l.thick = true;
    }
    if (ws.peek() == "dashed") {
        ws.readnext("", kind);
        l.dashed = true;
    }
}

// Where rows of a line with slope b share x (or y) in a run, the run gives one point of the
// section i = a + b y.
void cutruns(linetype& l, const linevector& xs, const linevector& ys, const linevector& is, int16 n,
             real a, real b) {
    int16 k = 1;
    while (k < n) {
        int16 j = k;
        while (j < n && xs[j] != xs[j + 1] && ys[j] != ys[j + 1]) ++j;
        if (j >= n) return;
        const bool xrun = xs[j] == xs[j + 1];
        int16 e = j + 1;
        while (e < n && (xrun ? xs[e + 1] == xs[j] : ys[e + 1] == ys[j])) ++e;
        linevector rx{};
        linevector ry{};
        linevector ri{};
        int16 m = 0;
        for (int r = j; r <= e; ++r) {
            ++m;
            rx[m] = xs[r];
            ry[m] = ys[r];
            ri[m] = is[r];
        }
        const Interpolated at = interpolateline(rx, ry, ri, m, a, b);
        if (at.found) {
            ++l.ncoords;
            l.x[l.ncoords] = at.x;
            l.y[l.ncoords] = at.y;
        }
        if (e >= n) return;
        k = narrow16(e + 1);
    }
}

void Reader::linecoords(linetype& l) {
    const std::string label = "reading coordinates for " + l.name;
    linevector xs{};
    linevector ys{};
    linevector is{};
    int16 collected = 0;
    do {
        if (l.ncoords >= maxlinecoords || collected >= maxlinecoords) {
            bomb("readdata", "too much data for line in " + label, yourfault);
        }
        rrvector row{};
        readrow(row, label);
        if (h.icol == 0 || (h.b == 0 && row[h.icol] == h.a)) {
            ++l.ncoords;
            l.x[l.ncoords] = row[h.xcol];
            l.y[l.ncoords] = row[h.ycol];
        } else if (h.b != 0) {
            ++collected;
            xs[collected] = row[h.xcol];
            ys[collected] = row[h.ycol];
            is[collected] = row[h.icol];
        }
    } while (!rowsend());
    if (collected > 1) cutruns(l, xs, ys, is, collected, h.a, h.b);
    if (l.ncoords >= 2) return;
    const auto beginend = [](const std::string& w) { return w == "begin" || w == "end"; };
    if (l.ncoords == 0) {
        l.connect = true;
        if (beginend(l.beginname) || beginend(l.endname)) {
            bomb("readdata", "default connect with begin/end: " + label, yourfault);
        }
    } else if (beginend(l.beginname) && beginend(l.endname)) {
        bomb("readdata", "one point with begin end: " + label, yourfault);
    }
}

void Reader::lineentry(const std::string& name, bool marked) {
    if (d.nline >= maxlines) {
        bomb("readdata", "too many lines: max = " + realstr(maxlines), yourfault);
    }
    linetype& l = d.ln(d.nline + 1);
    l = linetype{};
    l.name = name;
    valuetype kind = valuetype::anemptystring;
    const std::string& w = ws.peek();
    if (isname(ws.peekkind()) && islimitword(w)) {
        l.plain = true;
    } else if (w == "line" || w == "univariant") {
        ws.readnext("", kind);
        l.plain = true;
    } else {
        const std::string label = "nonzero-mode phases for " + name;
        auto endsphases = [&] {
            const std::string& n = ws.peek();
            return n == "-" || n == "univariant" || n == "line" || islimitword(n);
        };
        while (!endsphases()) addphase(l.phases, l.nphases, ws.readname(label), label);
        const std::string& after = ws.peek();
        if (after == "univariant") {
            ws.readnext("", kind);
            l.univariant = true;
        } else if (after == "line") {
            ws.readnext("", kind);
            l.plain = true;
            l.nphases = 0;
        } else if (after == "-") {
            ws.readnext("", kind);
            const std::string& z = ws.peek();
            if (z == "univariant" || z == "line" || islimitword(z)) {
                l.zeromode = "none";
            } else {
                l.zeromode = ws.readname("zero-mode phase for " + name);
            }
            if (ws.peek() == "univariant" || ws.peek() == "line") ws.readnext("", kind);
        } else {
            l.plain = true;
            l.nphases = 0;
        }
    }
    const std::string limits = "line limit names for " + name;
    l.beginname = ws.readname(limits);
    l.endname = ws.readname(limits);
    lineoptions(l);
    if (!l.connect) linecoords(l);
    ++d.nline;
    showentry(2, d.nline);
    if (marked) --d.nline;
}

void Reader::entries() {
    const std::string label = "point/line name";
    do {
        std::string name = ws.readname(label);
        bool marked = false;
        if (name[0] == '#') {
            // a marked entry: its name is the next word
            marked = true;
            name = ws.readname(label);
        }
        if (name.size() > 1 && name[1] == '<') {
            bomb("read data", "< in name: line/point name unassigned?", yourfault);
        }
        if (name[0] == 'i') {
            pointentry(name);
        } else if (name[0] == 'u') {
            lineentry(name, marked);
        } else {
            bomb("read data", "point/line name must start with i/u but this name is " + name,
                 yourfault);
        }
    } while (ws.peek() != "*");
}

void Reader::areas() {
    valuetype kind = valuetype::anemptystring;
    ws.readnext("", kind);  // the "*" that ends the entries
    while (ws.peek() != "*") {
        if (d.narea >= maxareas) {
            bomb("readdata", "too many areas: max = " + realstr(maxareas), yourfault);
        }
        atype& ar = d.area(d.narea + 1);
        ar = atype{};
        ar.grey = static_cast<double>(ws.readnumber("grayscale for area"));
        do {
            if (ar.nnames >= maxareanames) {
                bomb("readdata", "too many points in area: max = " + realstr(maxareanames),
                     yourfault);
            }
            ar.names[++ar.nnames] = ws.readname("points for area");
        } while (ws.peek() != "*" && isname(ws.peekkind()));
        ++d.narea;
        showentry(3, d.narea);
    }
    ws.readnext("", kind);  // the closing "*"; the rest of its line is not read
}

// Names given twice are listed on the console and stop the run.
template <class Table>
void duplicates(Session& ses, const Table& table, int16 n, const char* one, const char* several) {
    int count = 0;
    for (int i = 1; i <= n; ++i) {
        bool twice = false;
        for (int j = i + 1; j <= n && !twice; ++j) twice = table[i].name == table[j].name;
        if (!twice) continue;
        if (count == 0) ses.console.write("duplication of: ");
        ses.console.write(table[i].name + " ");
        ++count;
    }
    if (count == 0) return;
    ses.console.write("\n");
    bomb("readdata", count == 1 ? one : several, yourfault);
}

void checkduplicates(Session& ses, Drawing& d) {
    duplicates(ses, *d.point, d.npoint, "remove the duplication for this point",
               "remove the duplication for these points");
    duplicates(ses, *d.line, d.nline, "remove the duplication for this line",
               "remove the duplication for these lines");
}

int16 optionalinteger(const strings& words, int16 n, int16 k, int16 fallback) {
    if (k > n || whatis(words[k]) != valuetype::aninteger) return fallback;
    int16 v = 0;
    std::string msg;
    return str2int(words[k], v, msg) ? v : fallback;
}

// A switch that asks counts as yes for the drawing steps that ask nothing.
controlboolean askasyes(controlboolean cb) {
    return cb == controlboolean::ask ? controlboolean::yes : cb;
}

}  // namespace

void showentry(int16 /*kind*/, int16 /*index*/) {}

Interpolated interpolateline(const linevector& xs, const linevector& ys, const linevector& is,
                             int16 n, real a, real b) {
    Interpolated r;
    auto along = [&](int k, real f, real y) {
        r.found = true;
        r.x = xs[k] + f * (xs[k + 1] - xs[k]);
        r.y = y;
    };
    auto between = [](real v, real e1, real e2) {
        return (v >= e1 && v <= e2) || (v >= e2 && v <= e1);
    };
    if (b == 0) {
        if (n == 1) {
            if (is[1] == a) r = {true, xs[1], ys[1]};
            return r;
        }
        for (int k = 1; k <= n - 1; ++k) {
            if ((is[k] <= a && a < is[k + 1]) || (a <= is[k] && is[k + 1] < a)) {
                const real f = (a - is[k]) / (is[k + 1] - is[k]);
                along(k, f, ys[k] + f * (ys[k + 1] - ys[k]));
                return r;
            }
        }
        return r;
    }
    for (int k = 1; k <= n - 1; ++k) {
        const real y1 = ys[k];
        const real y2 = ys[k + 1];
        const real i1 = is[k];
        const real i2 = is[k + 1];
        if (y2 == y1) {
            const real t = a + b * y1;
            if (between(t, i1, i2)) {
                along(k, (t - i1) / (i2 - i1), y1);
                return r;
            }
        } else if (i2 == i1) {
            const real yy = (i1 - a) / b;
            if (between(yy, y1, y2)) {
                along(k, (yy - y1) / (y2 - y1), yy);
                return r;
            }
        } else {
            const real m = (i2 - i1) / (y2 - y1);
            const real c = (y2 * i1 - i2 * y1) / (y2 - y1);
            if (b == m) continue;
            const real yy = (a - c) / (m - b);
            if (between(yy, y1, y2)) {
                along(k, (yy - y1) / (y2 - y1), yy);
                return r;
            }
        }
    }
    return r;
}

void drawlogheader(Session& ses, Drawing& d) {
    putstr(ses, 0, "running at " + ses.datetimeline, 1, logmask);
    d.point = std::make_unique<Fixed1<pointtype, maxpoints>>();
    allocspace(ses, "point", static_cast<int32>(sizeof(Fixed1<pointtype, maxpoints>)));
    d.line = std::make_unique<Fixed1<linetype, maxlines>>();
    allocspace(ses, "line", static_cast<int32>(sizeof(Fixed1<linetype, maxlines>)));
}

void readdata(Session& ses, Drawing& d) {
    d.npoint = 0;
    d.nline = 0;
    d.narea = 0;
    d.set = DrawSettings{};
    InFile f;
    std::string filename;
    promptdatafile(ses, filename, "vx-", ses.prefs.scriptfilesuffix, "", f);
    WordStream ws(ses, f);
    if (ws.peekkind() == valuetype::anemptystring || ws.peek()[0] == '*') {
        bomb("readdata", "not enough in file", yourfault);
    }
    Reader r{ses, d, ws, {}};
    r.header();
    r.entries();
    checkduplicates(ses, d);
    r.areas();
    readscript(ses, d, f);
    showentry(4, 0);
}

void readscript(Session& ses, Drawing& d, InFile& f) {
    DrawSettings& s = d.set;
    while (!f.eof()) {
        strings words{};
        int16 n = 0;
        readstrings(ses, f, words, n, true);
        if (n == 0) continue;
        if (words[1][0] == '*') break;
        const std::string& key = words[1];
        controlboolean cb = controlboolean::yes;
        int16 used = 1;
        yesnoask(words, n, cb, used);
        const bool on = cb != controlboolean::no;
        rrvector v{};
        auto numbers = [&](int16 count) {
            int16 c = count;
            return str2value(words, n, used, v, c);
        };
        if (key == "analyse") {
            s.analysecb = cb;
        } else if (key == "doareas" || key == "areas") {
            s.doareascb = cb;
        } else if (key == "numbering") {
            s.numberingcb = askasyes(cb);
            if (on) {
                s.numbersize = std::clamp<int16>(optionalinteger(words, n, used + 1, 4), 4, 14);
            }
        } else if (key == "docircles" || key == "circles") {
            s.docirclescb = askasyes(cb);
            if (on) {
                const int16 fallback =
                    s.numbersize < 1
                        ? int16{1}
                        : static_cast<int16>(std::nearbyint(static_cast<real>(s.numbersize) / 2));
                s.circleradius =
                    std::clamp<int16>(optionalinteger(words, n, used + 1, fallback), 1, 7);
            }
        } else if (key == "info") {
            if (s.ninfo >= maxinfo) bomb("script", "too much info!!", yourfault);
            std::string text;
            for (int k = used + 1; k <= n; ++k) text += " " + words[k];
            s.info[++s.ninfo] = text;
        } else if (key == "darkcolour") {
            if (numbers(3)) s.darkcolour = {v[1], v[2], v[3]};
        } else if (key == "window") {
            if (!numbers(4)) {
                bomb("readdata", "window bad in script (xlow, xhigh, ylow, yhigh needed)",
                     yourfault);
            }
            s.xlow = v[1];
            s.xhigh = v[2];
            s.ylow = v[3];
            s.yhigh = v[4];
            if (s.xlow >= s.xhigh) bomb("readdata", "xhigh must be greater than xlow", yourfault);
            if (s.ylow >= s.yhigh) bomb("readdata", "yhigh must be greater than ylow", yourfault);
            s.windowgiven = true;
        } else if (key == "bigticks") {
            const char* bad =
                "bigticks bad in script (xtick gap, xstart, ytick gap, ystart needed)";
            if (!numbers(4)) bomb("readdata", bad, yourfault);
            s.xgap = v[1];
            s.xstart = v[2];
            s.ygap = v[3];
            s.ystart = v[4];
            // each default on its own; a gap that stays at or below zero would never end the
            // tick loops
            if (s.xgap == 0) s.xgap = (s.xhigh - s.xlow) / 10;
            if (s.ygap == 0) s.ygap = (s.yhigh - s.ylow) / 10;
            if (s.xstart < s.xlow || s.xstart >= s.xhigh) s.xstart = s.xlow;
            if (s.ystart < s.ylow || s.ystart >= s.yhigh) s.ystart = s.ylow;
            if (s.xgap <= 0 || s.ygap <= 0) bomb("readdata", bad, yourfault);
            s.bigticksgiven = true;
        } else if (key == "smallticks") {
            if (on) {
                const char* bad = "small ticks bad in script (xtick gap, ytick gap)";
                if (!numbers(2)) bomb("readdata", bad, yourfault);
                s.xsmallgap = v[1] == 0 ? s.xgap / 5 : v[1];
                s.ysmallgap = v[2] == 0 ? s.ygap / 5 : v[2];
                if (s.xsmallgap <= 0 || s.ysmallgap <= 0) bomb("readdata", bad, yourfault);
                s.smallticks = true;
            }
        } else if (key == "phaseorder" || key == "inexcess") {
            const bool order = key == "phaseorder";
            strings& names = order ? s.phaseorder : s.inexcessnames;
            int16& count = order ? s.nphaseorder : s.ninexcess;
            count = 0;
            std::string shown = order ? "order: " : "in excess: ";
            for (int k = used + 1; k <= n; ++k) {
                names[++count] = words[k];
                shown += words[k] + " ";
            }
            ses.console.write(shown + "\n");
        }
    }
    if (!s.windowgiven) {
        bomb("readdata", "window script needed (xlow, xhigh, ylow, yhigh)", yourfault);
    }
    if (!s.bigticksgiven) {
        bomb("readdata", "bigticks script needed (xtick gap, xstart, ytick gap, ystart)",
             yourfault);
    }
    f.close();
}

}  // namespace qv
