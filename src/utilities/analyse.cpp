#include "utilities/analyse.hpp"

#include <string>

#include "base/convert.hpp"
#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

// The faulty items of one check, listed on the screen under a heading written once; the run
// stops after the whole table has been scanned.
struct Faults {
    Session& ses;
    std::string heading;
    int count = 0;
    bool lineopen = false;

    void add(const std::string& text) {
        if (count == 0) write(heading);
        write(text);
        ++count;
    }
    void write(const std::string& text) {
        ses.console.write(text);
        if (!text.empty()) lineopen = text.back() != '\n';
    }
    void stop(const char* one, const char* several) {
        if (count == 0) return;
        if (lineopen) ses.console.write("\n");
        bomb("analyse", count == 1 ? one : several, yourfault);
    }
};

// A point's or line's phases followed by its zero-mode phases.
struct FullList {
    phasenames names;
    int16 n = 0;
    void add(const std::string& name) { names[++n] = name; }
};

FullList fulllist(const pointtype& p) {
    FullList f;
    for (int k = 1; k <= p.nphases; ++k) f.add(p.phases[k]);
    f.add(p.zeromode1);
    f.add(p.zeromode2);
    return f;
}

FullList fulllist(const linetype& l) {
    FullList f;
    for (int k = 1; k <= l.nphases; ++k) f.add(l.phases[k]);
    f.add(l.zeromode);
    return f;
}

std::string phasewords(const phasenames& names, int16 n) {
    std::string text;
    for (int k = 1; k <= n; ++k) text += names[k] + " ";
    return text;
}

std::string justified(const phasenames& names, int16 n, int width) {
    std::string text;
    for (int k = 1; k <= n; ++k) addstr(names[k], width, text);
    return text;
}

bool samephases(const phasenames& a, int16 na, const phasenames& b, int16 nb) {
    return na == nb && namesubset(b, nb, a, na);
}

struct Analysis {
    Session& ses;
    Drawing& d;

    pointtype& pt(int i) { return d.pt(i); }
    linetype& ln(int i) { return d.ln(i); }
    bool takespart(const pointtype& p) const { return p.inside; }
    bool drawn(const linetype& l) const { return l.ncoords >= 1; }

    void repeatedphases();
    void duplicateentries();
    void pointinfo();
    void lineinfo();
    std::string connectsuggestion(const linetype& l);
    void linesatpoints();
    void correspondence();
    void logpoints();
    void freeends();
    void buildareas();
    void orderarea(int i, int edgeends);
    void listareas();
};

void Analysis::repeatedphases() {
    Faults points{ses, "duplicate in phases in point: \n"};
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p) || p.nphases == 0) continue;
        if (hasduplicate(p.phases, p.nphases, p.zeromode1, p.zeromode2)) points.add(p.name + " ");
    }
    points.stop("remove the duplicate", "remove the duplicates");
    Faults lines{ses, "duplicate in phases in line: \n"};
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = ln(i);
        if (!drawn(l) || l.nphases == 0) continue;
        if (hasduplicate(l.phases, l.nphases, l.zeromode, "")) lines.add(l.name + " ");
    }
    lines.stop("remove the duplicate", "remove the duplicates");
}

void Analysis::duplicateentries() {
    Faults points{ses, "duplicate points: "};
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p) || p.nphases == 0) continue;
        for (int j = i + 1; j <= d.npoint; ++j) {
            const pointtype& q = pt(j);
            if (!takespart(q) || q.nphases == 0) continue;
            const bool zeroes = (p.zeromode1 == q.zeromode1 && p.zeromode2 == q.zeromode2) ||
                                (p.zeromode1 == q.zeromode2 && p.zeromode2 == q.zeromode1);
            if (zeroes && samephases(p.phases, p.nphases, q.phases, q.nphases)) {
                points.add(p.name + "-&-" + q.name);
            }
        }
    }
    points.stop("remove duplicate point", "remove duplicate points");
    Faults lines{ses, "duplicate lines: "};
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = ln(i);
        if (!drawn(l) || l.nphases == 0) continue;
        for (int j = i + 1; j <= d.nline; ++j) {
            const linetype& m = ln(j);
            if (!drawn(m) || m.nphases == 0) continue;
            if (l.zeromode == m.zeromode && samephases(l.phases, l.nphases, m.phases, m.nphases)) {
                lines.add(l.name + "--" + m.name);
            }
        }
    }
    lines.stop("remove (or combine) duplicate line", "remove (or combine) duplicate lines");
}

void Analysis::pointinfo() {
    Faults f{ses, "no or incorrect phase info for: \n"};
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p)) continue;
        if (p.nphases > 0 && !p.zeromode1.empty() && !p.zeromode2.empty()) continue;
        std::string text = p.name + ": ";
        if (!p.crossover) {
            text += " not crossover";
        } else {
            const linetype& a = ln(p.crossindex1);
            const linetype& b = ln(p.crossindex2);
            if (a.nphases == 0 || b.nphases == 0) {
                text += " crossover, but one or both lines without info";
            } else if (a.zeromode.empty() || b.zeromode.empty()) {
                text += " crossover, but one or both lines with zero not given";
            } else if (!namesubset(a.phases, a.nphases, b.phases, b.nphases)) {
                text += " lines are incompatible in crossover";
            } else {
                // the crossing lines' assemblage with both their zero-mode phases
                text += phasewords(a.phases, a.nphases) + "- " + a.zeromode + " " + b.zeromode;
            }
        }
        f.add(text + "\n");
    }
    f.stop("add/correct the info for this point", "add/correct the info for these points");
}

std::string Analysis::connectsuggestion(const linetype& l) {
    const pointtype& p = pt(l.beginindex);
    const pointtype& q = pt(l.endindex);
    std::string shared;
    std::string punshared;
    for (const std::string& z : {p.zeromode1, p.zeromode2}) {
        if (shared.empty() && (z == q.zeromode1 || z == q.zeromode2)) {
            shared = z;
        }
    }
    punshared = p.zeromode1 == shared ? p.zeromode2 : p.zeromode1;
    const std::string qunshared = q.zeromode1 == shared ? q.zeromode2 : q.zeromode1;
    FullList pf;
    for (int k = 1; k <= p.nphases; ++k) pf.add(p.phases[k]);
    pf.add(punshared);
    pf.add(shared);
    FullList qf;
    for (int k = 1; k <= q.nphases; ++k) qf.add(q.phases[k]);
    qf.add(qunshared);
    qf.add(shared);
    const int16 np = p.nphases;
    const int16 nq = q.nphases;
    std::string text = "connect " + p.name + " and " + q.name + ": ";
    if (np == nq) {
        if (namesubset(p.phases, np, q.phases, nq)) {
            text += phasewords(p.phases, np);
        } else if (namesubset(pf.names, pf.n, qf.names, qf.n)) {
            text += phasewords(p.phases, np) + punshared + " ";
        } else {
            text += "incompatible points in connect 1\n";
        }
    } else if (np == nq + 1) {
        text += namesubset(pf.names, pf.n, qf.names, qf.n) ? phasewords(p.phases, np)
                                                           : "incompatible points in connect 2\n";
    } else if (np + 1 == nq) {
        text += namesubset(qf.names, qf.n, pf.names, pf.n) ? phasewords(q.phases, nq)
                                                           : "incompatible points in connect 3\n";
    } else {
        text += "??\n";
    }
    return text + " - " + shared + "\n";
}

void Analysis::lineinfo() {
    Faults f{ses, "no or incorrect phase info for (with suggestion): \n"};
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = ln(i);
        if (!drawn(l) || (l.nphases > 0 && !l.zeromode.empty())) continue;
        std::string text = l.name + ": ";
        if (!l.connect) {
            f.add(text + " not connect\n");
            continue;
        }
        // a connect line clipped at the window has an edge, not a point, at that end
        if (l.beginindex <= 0 || l.endindex <= 0 || pt(l.beginindex).nphases == 0 ||
            pt(l.endindex).nphases == 0) {
            f.add(text + " connect, but one or both points without info\n");
            continue;
        }
        const pointtype& p = pt(l.beginindex);
        const pointtype& q = pt(l.endindex);
        if (p.zeromode1.empty() || p.zeromode2.empty() || q.zeromode1.empty() ||
            q.zeromode2.empty()) {
            f.add(text + " connect, but one or both points with no zeroes\n");
        } else if (p.zeromode1 != q.zeromode1 && p.zeromode1 != q.zeromode2 &&
                   p.zeromode2 != q.zeromode1 && p.zeromode2 != q.zeromode2) {
            f.add(text + " connect, but points don't share a zero\n");
        } else {
            f.add(text + connectsuggestion(l));
        }
    }
    f.stop("add/correct the info for this line", "add/correct the info for these lines");
}

void Analysis::linesatpoints() {
    Faults count{ses, "wrong number of lines at a point for: "};
    for (int i = 1; i <= d.npoint; ++i) {
        pointtype& p = pt(i);
        if (!takespart(p)) continue;
        int n = 0;
        for (int j = 1; j <= d.nline && n < 5; ++j) {
            const linetype& l = ln(j);
            if (l.beginname != p.name && l.endname != p.name) continue;
            ++n;
            if (n <= 4) p.pointlines[n] = narrow16(j);
        }
        if (n != 4) count.add(p.name + " ");
    }
    count.stop("fix up lines at the point", "fix up lines at the point");

    Faults zeroes{ses, "point and line zeroes don't match at: "};
    Faults phases{ses, "wrong number of phases in point or its lines for: "};
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p)) continue;
        bool zeroesok = true;
        for (int k = 1; k <= 4; ++k) {
            const std::string& z = ln(p.pointlines[k]).zeromode;
            zeroesok = zeroesok && (z == p.zeromode1 || z == p.zeromode2);
        }
        if (!zeroesok) zeroes.add(p.name + " ");
    }
    zeroes.stop("fix up zeroes at the point", "fix up zeroes at the points");
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p)) continue;
        bool countsok = true;
        int more = 0;
        for (int k = 1; k <= 4; ++k) {
            const int n = ln(p.pointlines[k]).nphases + 1;
            countsok = countsok && (n == p.nphases + 2 || n == p.nphases + 1);
            if (n == p.nphases + 2) ++more;
        }
        if (!countsok || more != 2) phases.add(p.name + " ");
    }
    phases.stop("fix up phases at the point", "fix up phases at the points");
}

void Analysis::correspondence() {
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p)) continue;
        const FullList pf = fulllist(p);
        for (int k = 1; k <= 4; ++k) {
            const linetype& l = ln(p.pointlines[k]);
            const FullList lf = fulllist(l);
            if (namesubset(pf.names, pf.n, lf.names, lf.n)) continue;
            std::string text = std::string(42, '.') + "\n";
            addstr(p.name, 4, text);
            text += ": " + justified(pf.names, pf.n, 4) + "\n";
            addstr(l.name, 4, text);
            text += ": " + justified(lf.names, lf.n, 4) + "\n";
            ses.console.write(text);
            bomb("analyse", "don't correspond", yourfault);
        }
    }
}

void Analysis::logpoints() {
    putstr(ses, 1, "consistency check: 4 lines at each point", 1, logmask);
    for (int i = 1; i <= d.npoint; ++i) {
        const pointtype& p = pt(i);
        if (!takespart(p)) continue;
        putstr(ses, 0, std::string(42, '-'), 1, logmask);
        std::string text;
        addstr(p.name + ": ", 7, text);
        text += justified(p.phases, p.nphases, 5);
        text += "   - ";
        addstr(p.zeromode1, 5, text);
        addstr(p.zeromode2, 5, text);
        putstr(ses, 0, text, 1, logmask);
        putstr(ses, 0, std::string(42, '.'), 1, logmask);
        for (int k = 1; k <= 4; ++k) {
            const linetype& l = ln(p.pointlines[k]);
            std::string row;
            addstr(l.name + ": ", 7, row);
            row += justified(l.phases, l.nphases, 5);
            addstr("- ", l.nphases == p.nphases ? 10 : 5, row);
            addstr(l.zeromode, 5, row);
            putstr(ses, 0, row, 1, logmask);
        }
    }
}

void Analysis::freeends() {
    Faults f{ses, "lines that just begin or end within the diagram: "};
    for (int i = 1; i <= d.nline; ++i) {
        const linetype& l = ln(i);
        if (drawn(l) && (l.beginindex == 0 || l.endindex == 0)) f.add(l.name + " ");
    }
    f.stop("fix this line", "fix these lines");
    if (d.nline > 400) bomb("analyse", "too many line", yourfault);
}

// One side of a line: the assemblage of the field on that side.
struct Side {
    int16 line = 0;
    int16 which = 1;  // 1 its phase list, 2 with its zero-mode phase
    phasenames phases;
    int16 nphases = 0;
    bool used = false;
};

void Analysis::buildareas() {
    auto sides = std::make_unique<Fixed1<Side, 2 * 400>>();
    int nsides = 0;
    int drawnlines = 0;
    for (int i = 1; i <= d.nline; ++i) {
        linetype& l = ln(i);
        l.area1 = 0;
        l.area2 = 0;
        if (!drawn(l)) continue;
        ++drawnlines;
        for (int16 which = 1; which <= 2; ++which) {
            Side& s = (*sides)[++nsides];
            s.line = narrow16(i);
            s.which = which;
            s.phases = l.phases;
            s.nphases = l.nphases;
            if (which == 2) s.phases[++s.nphases] = l.zeromode;
        }
    }
    d.narea = 0;
    for (int round = 1; round <= drawnlines; ++round) {
        int first = 1;
        while (first <= nsides && (*sides)[first].used) ++first;
        if (first > nsides) break;
        if (d.narea >= maxareas) {
            bomb("analyse", "too many areas: max = " + realstr(maxareas), yourfault);
        }
        atype& ar = d.area(++d.narea);
        ar = atype{};
        auto join = [&](Side& s) {
            if (ar.nnames >= maxareanames) {
                bomb("analyse", "too many lines in area: max = " + realstr(maxareanames),
                     yourfault);
            }
            ++ar.nnames;
            ar.names[ar.nnames] = ln(s.line).name;
            ar.lineindex[ar.nnames] = s.line;
            (s.which == 1 ? ln(s.line).area1 : ln(s.line).area2) = d.narea;
            s.used = true;
        };
        Side& opening = (*sides)[first];
        ar.areaphases = opening.phases;
        ar.nareaphases = opening.nphases;
        join(opening);
        for (int j = first + 1; j <= nsides; ++j) {
            Side& s = (*sides)[j];
            if (s.used || s.nphases != ar.nareaphases) continue;
            if (namesubset(ar.areaphases, ar.nareaphases, s.phases, s.nphases)) join(s);
        }
    }
    for (int i = 1; i <= d.narea; ++i) {
        atype& ar = d.area(i);
        int edgeends = 0;
        for (int k = 1; k <= ar.nnames; ++k) {
            const linetype& l = ln(ar.lineindex[k]);
            edgeends += (l.beginindex < 0 ? 1 : 0) + (l.endindex < 0 ? 1 : 0);
        }
        if (edgeends % 2 == 1) {
            ses.console.write(realstr(i) + "): " + justified(ar.areaphases, ar.nareaphases, 6) +
                              "\n");
            bomb("analyse", "area only hits edge odd times", yourfault);
        }
        if (edgeends == 0 || edgeends == 2) orderarea(i, edgeends);
    }
    int16 vmax = 0;
    int16 vmin = 0;
    for (int i = 1; i <= d.narea; ++i) {
        atype& ar = d.area(i);
        ar.areavariance = narrow16(d.systemsize - ar.nareaphases + 2);
        if (i == 1 || ar.areavariance > vmax) vmax = ar.areavariance;
        if (i == 1 || ar.areavariance < vmin) vmin = ar.areavariance;
    }
    for (int i = 1; i <= d.narea; ++i) {
        atype& ar = d.area(i);
        ar.grey = areagrey(ar.areavariance, vmin, vmax);
        const DrawSettings& s = d.set;
        if (s.nphaseorder == 0) {
            ar.orderedphases = ar.areaphases;
            ar.norderedphases = ar.nareaphases;
        } else {
            ar.norderedphases = 0;
            for (int k = 1; k <= s.nphaseorder; ++k) {
                const std::string& name = s.phaseorder[k];
                bool among = false;
                for (int j = 1; j <= ar.nareaphases; ++j) among = among || ar.areaphases[j] == name;
                int16 pos = 0;
                const bool excess =
                    s.ninexcess > 0 && posinlist(name, s.inexcessnames, s.ninexcess, pos);
                if (among && !excess && ar.norderedphases < phasenames::capacity()) {
                    ar.orderedphases[++ar.norderedphases] = name;
                }
            }
        }
        // centre: the ends of its lines, with the ends on the window edges weighed once more
        real sx = 0;
        real sy = 0;
        int n = 0;
        auto add = [&](const linetype& l, int k) {
            sx += l.x[k];
            sy += l.y[k];
            ++n;
        };
        for (int k = 1; k <= ar.nnames; ++k) {
            const linetype& l = ln(ar.lineindex[k]);
            add(l, 1);
            add(l, l.ncoords);
        }
        const linetype& first = ln(ar.lineindex[1]);
        const linetype& last = ln(ar.lineindex[ar.nnames]);
        bool edged = false;
        if (first.beginindex < 0) {
            add(first, 1);
            edged = true;
        } else if (first.endindex < 0) {
            add(first, first.ncoords);
            edged = true;
        }
        if (edged) add(last, last.beginindex < 0 ? 1 : last.ncoords);
        ar.centrex = sx / n;
        ar.centrey = sy / n;
    }
}

void Analysis::orderarea(int i, int edgeends) {
    atype& ar = d.area(i);
    const int n = ar.nnames;
    int start = 0;
    if (edgeends == 0) {
        start = 1;
    } else {
        for (int k = 1; k <= n && start == 0; ++k) {
            const linetype& l = ln(ar.lineindex[k]);
            if (l.beginindex < 0 || l.endindex < 0) start = k;
        }
    }
    if (start == 0) {
        ses.console.write("area " + realstr(i) +
                          "): " + justified(ar.areaphases, ar.nareaphases, 6) + "\n");
        bomb("analyse", "can't find line that hits edge", yourfault);
    }
    if (n == 3 && edgeends == 0) return;
    const linetype& s = ln(ar.lineindex[start]);
    if (s.beginindex < 0 && s.endindex < 0) {
        ses.console.write("area " + realstr(i) + ") for " + s.name + "\n");
        bomb("analyse", "both ends are edges?", yourfault);
    }
    int16 c = s.beginindex >= 0 ? s.beginindex : s.endindex;
    Fixed1<int16, maxareanames> order{};
    Fixed1<bool, maxareanames> used{};
    order[1] = ar.lineindex[start];
    used[start] = true;
    for (int pos = 2; pos <= n; ++pos) {
        int found = 0;
        for (int k = 1; k <= n && found == 0; ++k) {
            const linetype& l = ln(ar.lineindex[k]);
            if (!used[k] && (l.beginindex == c || l.endindex == c)) found = k;
        }
        if (found == 0) {
            ses.console.write("area " + realstr(i) + ") connection not found\n");
            bomb("analyse", "stuffup in ordering", yourfault);
        }
        const linetype& l = ln(ar.lineindex[found]);
        c = l.beginindex == c ? l.endindex : l.beginindex;
        used[found] = true;
        order[pos] = ar.lineindex[found];
    }
    for (int k = 1; k <= n; ++k) {
        ar.lineindex[k] = order[k];
        ar.names[k] = ln(order[k]).name;
    }
}

void Analysis::listareas() {
    const DrawSettings& s = d.set;
    std::string excess;
    for (int k = 1; k <= s.ninexcess; ++k) excess += s.inexcessnames[k] + " ";
    if (s.ninexcess == 0) excess = "none";
    putstr(ses, 1, "area info determined in analysis (in excess: " + excess + ")", 2, logmask);
    for (int i = 1; i <= d.narea; ++i) d.area(i).listposition = 0;
    // by decreasing centre y; every area is listed, wherever its centre lies
    for (int16 pos = 1; pos <= d.narea; ++pos) {
        int best = 0;
        for (int i = 1; i <= d.narea; ++i) {
            if (d.area(i).listposition != 0) continue;
            if (best == 0 || d.area(i).centrey > d.area(best).centrey) best = i;
        }
        atype& ar = d.area(best);
        ar.listposition = pos;
        ar.phasetext = phasewords(ar.orderedphases, ar.norderedphases);
        std::string row;
        addstr(realstr(pos), 2, row);
        row += ") {" + realfixstr(2, true, ar.centrex) + ", " + realfixstr(2, true, ar.centrey) +
               "}: ";
        addstr("", -(24 - static_cast<int>(row.size())), row);
        row += ar.phasetext;
        addstr("", -(50 - static_cast<int>(row.size())), row);
        for (int k = 1; k <= ar.nnames; ++k) row += ar.names[k] + " ";
        putstr(ses, 0, row, 1, logmask);
    }
    putstr(ses, 1, "area colouring info", 1, logmask);
    int16 vmin = 0;
    int16 vmax = 0;
    for (int i = 1; i <= d.narea; ++i) {
        const int16 v = d.area(i).areavariance;
        if (i == 1 || v < vmin) vmin = v;
        if (i == 1 || v > vmax) vmax = v;
    }
    for (int v = vmin; v <= vmax && d.narea > 0; ++v) {
        bool headed = false;
        for (int i = 1; i <= d.narea; ++i) {
            const atype& ar = d.area(i);
            if (ar.areavariance != v) continue;
            if (!headed) {
                const std::string name = v == 2   ? "divariant"
                                         : v == 3 ? "trivariant"
                                         : v == 4 ? "quadrivariant"
                                                  : realstr(v) + "-variant";
                putstr(ses, 0, "% " + name, 1, logmask);
                headed = true;
            }
            std::string row;
            addreal(2, true, 6, row, static_cast<real>(ar.grey));
            row += "  ";
            std::string names;
            for (int k = 1; k <= ar.nnames; ++k) names += ar.names[k] + " ";
            row += names;
            const int width = 24 - static_cast<int>(names.size());
            addstr("  % ", width > 0 ? width : 0, row);
            row += phasewords(ar.orderedphases, ar.norderedphases);
            putstr(ses, 0, row, 1, logmask);
        }
    }
}

}  // namespace

double areagrey(int16 variance, int16 vmin, int16 vmax) {
    if (vmin == vmax) return 0.95;
    return 0.4 + 0.55 * static_cast<double>(variance - vmax) / static_cast<double>(vmin - vmax);
}

bool hasduplicate(const phasenames& list, int16 n, const std::string& extra1,
                  const std::string& extra2) {
    if (n == 0) return false;
    Fixed1<std::string, maxdrawphases + 3> all{};
    int m = 0;
    for (int k = 1; k <= n; ++k) all[++m] = list[k];
    if (!extra1.empty()) all[++m] = extra1;
    if (!extra2.empty()) all[++m] = extra2;
    for (int i = 1; i <= m; ++i) {
        for (int j = i + 1; j <= m; ++j) {
            if (all[i] == all[j]) return true;
        }
    }
    return false;
}

bool namesubset(const phasenames& a, int16 na, const phasenames& b, int16 nb) {
    if (na == 0 || nb == 0) return false;
    for (int j = 1; j <= nb; ++j) {
        bool found = false;
        for (int i = 1; i <= na && !found; ++i) found = a[i] == b[j];
        if (!found) return false;
    }
    return true;
}

void analyse(Session& ses, Drawing& d) {
    Analysis a{ses, d};
    a.repeatedphases();
    a.duplicateentries();
    a.pointinfo();
    a.lineinfo();
    a.linesatpoints();
    a.correspondence();
    a.logpoints();
    a.freeends();
    a.buildareas();
    a.listareas();
}

}  // namespace qv
