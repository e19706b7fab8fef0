#include "solver/reactionsets.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "numerics/intmath.hpp"
#include "solver/positions.hpp"
#include "textio/channels.hpp"

namespace qv {

namespace {

// Appends v[1..n] right-justified in 3 and separated by ", ".
template <class Get>
void addlist(std::string& line, int n, Get get) {
    for (int k = 1; k <= n; ++k) {
        if (k > 1) addstr(", ", 0, line);
        addgreal(3, line, get(k));
    }
}

void noreactionlisting(Session& ses, const CompositionTables& ct) {
    putstr(ses, 1, "** no reactions", 2, screensummarylogmask);
    printcmatrix(ses, ct);
    const int16 ncomp = ct.comps.ncomp;
    for (int16 j = 1; j <= ct.nem; ++j) {
        std::string line;
        addstr(ct.names[j], -6, line);
        for (int16 i = 1; i <= ncomp; ++i) addgreal(4, line, ct.c[i][j]);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    putstr(ses, 0, "", 1, screensummarylogmask);
    std::string line;
    for (int16 i = 1; i <= ncomp; ++i) addgreal(4, line, ct.comps.compdenom[i]);
    putstr(ses, 0, line, 1, screensummarylogmask);
}

void reactionlisting(Session& ses, const CompositionTables& ct, const rmatrix& r, int16 nreac,
                     ReactionLists& rl) {
    putstr(ses, 0, "", 1, logmask);
    for (int16 k = 1; k <= nreac; ++k) {
        writereaction(r, ct.names, ct.nem, rl, k);
        putstr(ses, 0, rl.rxntext[k], 1, logmask);
    }
    const int16 ncomp = ct.comps.ncomp;
    putstr(ses, 0, "", 2, vxmask);
    std::string line = "name = {";
    for (int16 j = 1; j <= ct.nem; ++j) {
        addstr("\"" + ct.names[j] + (j < ct.nem ? "\"," : "\"};"), 0, line);
    }
    putstr(ses, 0, line, 2, vxmask);
    for (int16 j = 1; j <= ct.nem; ++j) {
        line = j == 1 ? "c =   {{" : "       {";
        addlist(line, ncomp, [&](int i) { return ct.c[i][j]; });
        addstr(j < ct.nem ? "}," : "}};", 0, line);
        putstr(ses, 0, line, j < ct.nem ? 1 : 2, vxmask);
    }
    line = "div =  {";
    addlist(line, ncomp, [&](int i) { return ct.comps.compdenom[i]; });
    addstr("};", 0, line);
    putstr(ses, 0, line, 2, vxmask);
    line = "(*";
    for (int16 j = 1; j <= ct.nem; ++j) addstr(ct.names[j], 5, line);
    addstr("*)", 5, line);
    putstr(ses, 0, line, 2, vxmask);
    for (int16 k = 1; k <= nreac; ++k) {
        line = k == 1 ? "re = {{" : "      {";
        addlist(line, ct.nem, [&](int j) { return r[k][j]; });
        addstr(k < nreac ? "}," : "}};", 0, line);
        putstr(ses, 0, line, k < nreac ? 1 : 2, vxmask);
    }
}

}  // namespace

bool calcreactions(Session& ses, const CompositionTables& ct, const iemvector& mixweights,
                   bool dogminon, bool incnler, rmatrix& r, int16& nreac, ReactionLists& rl) {
    nreac = 0;
    // The elimination reads columns 1..nem (column 1 when there are none): the columns beyond
    // are left as the fresh rows have them.
    auto a = std::make_unique<liemmatrix>();
    const int16 ncols = std::max<int16>(ct.nem, 1);
    for (int16 i = 1; i <= ct.comps.ncomp; ++i) {
        for (int16 j = 1; j <= ncols; ++j) (*a)[i][j] = ct.c[i][j];
    }
    nullspace(*a, ct.comps.ncomp, ct.nem, ct.c, r, nreac);
    calcreactiondiv(r, nreac, mixweights, ct.nem, rl.rdiv);
    if (nreac == 0 && !dogminon) noreactionlisting(ses, ct);
    if (nreac > 0 && incnler) reactionlisting(ses, ct, r, nreac, rl);
    return nreac > 0;
}

void calcreactiondiv(const rmatrix& r, int16 nreac, const iemvector& mixweights, int16 nem,
                     Fixed1<int16, maxreac>& rdiv) {
    for (int k = nreac + 1; k <= maxreac; ++k) rdiv[k] = 1;
    for (int16 k = 1; k <= nreac; ++k) {
        real p = 0, n = 0;
        for (int16 j = 1; j <= nem; ++j) {
            const int16 x = r[k][j];
            if (x > 0) p += x * mixweights[j];
            if (x < 0) n += x * mixweights[j];
        }
        // Rounded half to even (the default rounding mode).
        const real d = std::nearbyint(std::sqrt(p * p + n * n));
        rdiv[k] = static_cast<int16>(d < 1 ? 1 : d > maxreactiondivisor ? maxreactiondivisor : d);
    }
}

void printcmatrix(Session& ses, const CompositionTables& ct) {
    const int16 ncomp = ct.comps.ncomp;
    std::string line = "      ";
    for (int16 i = 1; i <= ncomp; ++i) addstr(ct.comps.compnames[i], 6, line);
    putstr(ses, 1, line, 1, icmask);
    for (int16 j = 1; j <= ct.nem; ++j) {
        line.clear();
        addstr(ct.names[j], -6, line);
        for (int16 i = 1; i <= ncomp; ++i) addgreal(6, line, ct.c[i][j]);
        putstr(ses, 0, line, 1, icmask);
    }
    line = "div   ";
    for (int16 i = 1; i <= ncomp; ++i) addgreal(6, line, ct.comps.compdenom[i]);
    putstr(ses, 0, line, 2, icmask);
    for (int16 i = 1; i <= ncomp; ++i) {
        line = i == 1 ? "c =   {{" : "       {";
        addlist(line, ct.nem, [&](int j) { return ct.c[i][j]; });
        addstr(i < ncomp ? "}," : "}};", 0, line);
        putstr(ses, 0, line, i < ncomp ? 1 : 2, icmask);
    }
}

}  // namespace qv
