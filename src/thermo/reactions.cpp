#include "thermo/reactions.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "base/fatal.hpp"
#include "thermo/realbits.hpp"

namespace qv {

namespace {

// The sum over the reaction's end-members `members` in end-member order; `point` picks the
// cached values of that point when there is a cache.
real dg0gem(Session& ses, const GemSettings& gs, const ReactionTables& tab, const iemvector& rx,
            std::span<const int16> members, real p, real t, EmGCache* cache, int point) {
    // The tables (with a copy of the make lookup) are set up only when a value is formed.
    std::optional<GemTables> gt;
    auto formed = [&](int16 j) {
        if (!gt) gt.emplace(GemTables{tab.td, tab.names, tab.makes});
        return gemdriver(ses, gs, *gt, j, p, t);
    };
    const int16* coef = rx.a.data();
    real sum = 0;
    if (cache == nullptr) {
        for (const int16 j : members) sum += coef[j - 1] * formed(j);
        return sum;
    }
    real* cg = cache->g[point].a.data();
    bool* have = cache->have[point].a.data();
    const int64* calls = cache->calls.a.data();
    for (const int16 j : members) {
        const auto u = static_cast<std::size_t>(j - 1);
        real g = 0;
        if (have[u]) {
            g = cg[u];
            ses.gemcount += calls[u];
        } else {
            const int64 before = ses.gemcount;
            g = formed(j);
            cache->calls[j] = ses.gemcount - before;
            cg[u] = g;
            have[u] = true;
            cache->formed(j, tab.td[j], tab.names[j]);
        }
        sum += coef[u] * g;
    }
    return sum;
}

// The two rows hold the same values bit for bit (padding aside). Rows kept from a copy of the
// other mostly match in their padding as well: one compare of the whole storage settles those.
bool samerow(const tdvector& a, const tdvector& b) {
    // Equal storage means equal values, padding bytes included; unequal padding only sends the
    // rows to the value compare below.
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison,cert-exp42-c,cert-flp37-c)
    if (std::memcmp(a.a.data(), b.a.data(), sizeof a.a) == 0) return true;
    std::uint64_t diff = 0;
    for (int k = 1; k <= ntd; ++k) diff |= realbitdiff(a[k], b[k]);
    return diff == 0;
}

}  // namespace

void EmGCache::start(const GemSettings& s, const tdmatrix& td, const Fixed1<std::string, maxem>& nm,
                     int16 nem, real p, real t) {
    // The kept rows and names are made for the end-members of the calculations met so far.
    const auto need = static_cast<std::size_t>(std::clamp<int>(nem, 0, maxem)) + 1;
    if (rows.size() < need) {
        rows.resize(need);
        names.resize(need);
    }
    const bool same = any && p == atp && t == att && s == gs;
    for (int16 j = 1; j <= nem; ++j) {
        const auto u = static_cast<std::size_t>(j);
        if (same && kept[j] && samerow(rows[u], td[j]) && names[u] == nm[j]) continue;
        kept[j] = false;
        for (auto& h : have) h[j] = false;
    }
    any = true;
    atp = p;
    att = t;
    gs = s;
}

void EmGCache::formed(int16 j, const tdvector& row, const std::string& name) {
    kept[j] = row[30] == 0;
    if (!kept[j]) return;
    const auto u = static_cast<std::size_t>(j);
    if (u >= rows.size()) {
        rows.resize(u + 1);
        names.resize(u + 1);
    }
    rows[u] = row;
    names[u] = name;
}

std::size_t reactionmembers(const iemvector& rx, int16 nem, std::span<int16, maxem> members) {
    if (nem < 0 || nem > maxem) index_fault();
    const int16* coef = rx.a.data();
    std::size_t n = 0;
    int j = 1;
    // Four coefficients at a time: a reaction has few end-members, so most groups are all zero.
    for (; j + 3 <= nem; j += 4) {
        std::uint64_t group = 0;
        std::memcpy(&group, coef + j - 1, sizeof group);
        if (group == 0) continue;
        for (int q = j; q < j + 4; ++q) {
            if (coef[q - 1] != 0) members[n++] = static_cast<int16>(q);
        }
    }
    for (; j <= nem; ++j) {
        if (coef[j - 1] != 0) members[n++] = static_cast<int16>(j);
    }
    return n;
}

ReactionDg calcdg0(Session& ses, const GemSettings& gs, const ReactionTables& tab,
                   const iemvector& rx, std::span<const int16> members, real p, real t,
                   EmGCache* cache) {
    if (t <= 0) bomb("calcdg0", "T <= 0 !", myfault);
    constexpr real dp = 1e-5L;
    constexpr real dt = 0.001L;
    ReactionDg r;
    if (cache != nullptr) {
        // Every value already in the cache: the three sums of `dg0gem` formed in one pass, each
        // in end-member order, with the gem calls counted as there.
        const bool* h0 = cache->have[0].a.data();
        const bool* h1 = cache->have[1].a.data();
        const bool* h2 = cache->have[2].a.data();
        bool all = true;
        for (const int16 j : members) {
            const auto u = static_cast<std::size_t>(j - 1);
            all = all && h0[u] && h1[u] && h2[u];
        }
        if (all) {
            const int16* coef = rx.a.data();
            const real* g0 = cache->g[0].a.data();
            const real* g1 = cache->g[1].a.data();
            const real* g2 = cache->g[2].a.data();
            const int64* calls = cache->calls.a.data();
            real s0 = 0;
            real s1 = 0;
            real s2 = 0;
            int64 count = 0;
            for (const int16 j : members) {
                const auto u = static_cast<std::size_t>(j - 1);
                const real c = coef[u];
                s0 += c * g0[u];
                s1 += c * g1[u];
                s2 += c * g2[u];
                count += 3 * calls[u];
            }
            ses.gemcount += count;
            r.dg = s0;
            r.dgdp = (s1 - r.dg) / dp;
            r.dgdt = (s2 - r.dg) / dt;
            return r;
        }
    }
    r.dg = dg0gem(ses, gs, tab, rx, members, p, t, cache, 0);
    r.dgdp = (dg0gem(ses, gs, tab, rx, members, p + dp, t, cache, 1) - r.dg) / dp;
    r.dgdt = (dg0gem(ses, gs, tab, rx, members, p, t + dt, cache, 2) - r.dg) / dt;
    return r;
}

ReactionDg calcdg0(Session& ses, const GemSettings& gs, const ReactionTables& tab,
                   const iemvector& rx, real p, real t, EmGCache* cache) {
    if (t <= 0) bomb("calcdg0", "T <= 0 !", myfault);
    std::array<int16, maxem> members{};
    const std::size_t n = reactionmembers(rx, tab.nem, members);
    return calcdg0(ses, gs, tab, rx, std::span<const int16>(members.data(), n), p, t, cache);
}

real calclnk(const ReactionTables& tab, const iemvector& rx, real u, real v) {
    real lnk = 0;
    for (int16 j = 1; j <= tab.nem; ++j) {
        if (rx[j] == 0) continue;
        if (tab.emactivity[j] <= 0) bomb("calclnk", "ln<=0", myfault);
        lnk += rx[j] * std::log(tab.emactivity[j]);
    }
    if (tab.co2em > 0 && u > 0 && u < 1 && rx[tab.co2em] != 0) {
        lnk += rx[tab.co2em] * std::log(u);
    }
    if (tab.h2oem > 0 && v > 0 && v < 1 && rx[tab.h2oem] != 0) {
        lnk += rx[tab.h2oem] * std::log(v);
    }
    if (tab.aqsiem > 0 && tab.h2oem > 0) {
        const int m = tab.aqsih2o * rx[tab.aqsiem];
        if (v > 0 && v < 1 && m != 0) lnk -= m * std::log(v);
    }
    return lnk;
}

ReactionDg calcdgr(Session& ses, const GemSettings& gs, ReactionTables& tab, const iemvector& rx,
                   real p, real t, real u, real v) {
    for (int16 j = 1; j <= tab.nem; ++j) {
        if (rx[j] == 0) continue;
        tab.td[j][27] = u;
        tab.td[j][28] = v;
    }
    ReactionDg r = calcdg0(ses, gs, tab, rx, p, t);
    r.lnk = calclnk(tab, rx, u, v);
    r.dg += rgas * t * r.lnk;
    r.dgdt += rgas * r.lnk;
    return r;
}

}  // namespace qv
