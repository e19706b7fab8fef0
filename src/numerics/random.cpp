#include "numerics/random.hpp"

#include <array>
#include <cmath>

#include "base/fatal.hpp"

namespace qv {

namespace {

constexpr int16 nslots = iemvector::capacity();

// Wichmann and Hill (1982), Applied Statistics 31, 188-190: three small multiplicative
// congruential generators with prime moduli whose fractional sum has a period near 7e12.
constexpr int64 wha1 = 171, whm1 = 30269;
constexpr int64 wha2 = 172, whm2 = 30307;
constexpr int64 wha3 = 170, whm3 = 30323;

int32 whstep(int32 seed, int64 a, int64 m) {
    return static_cast<int32>(a * seed % m);
}

// Decimal literals give the extended value nearest to each power.
constexpr std::array<real, 21> powersoften = {1e-10L, 1e-9L, 1e-8L, 1e-7L, 1e-6L, 1e-5L, 1e-4L,
                                              1e-3L,  1e-2L, 1e-1L, 1e0L,  1e1L,  1e2L,  1e3L,
                                              1e4L,   1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L};

int16 plus1(int16 v) {
    return static_cast<int16>(v + 1);
}

}  // namespace

void seedwhrandom(WhSeeds& seeds, bool fixed, const DateTime& now) {
    if (fixed) {
        seeds.whs1 = 130;
        seeds.whs2 = 136;
        seeds.whs3 = 140;
    } else {
        seeds.whs1 = now.hour;
        seeds.whs2 = now.second;
        seeds.whs3 = now.millisecond;
    }
    seeds.whs1 += 1;
    seeds.whs2 += 1;
    seeds.whs3 += 1;
}

real whrandom(WhSeeds& seeds) {
    seeds.whs1 = whstep(seeds.whs1, wha1, whm1);
    seeds.whs2 = whstep(seeds.whs2, wha2, whm2);
    seeds.whs3 = whstep(seeds.whs3, wha3, whm3);
    // Summed in double, not extended: with fixed seeds the deviates, and the Monte Carlo trials
    // drawn from them, must come out the same to the last bit.
    const double r = static_cast<double>(seeds.whs1) / static_cast<double>(whm1) +
                     static_cast<double>(seeds.whs2) / static_cast<double>(whm2) +
                     static_cast<double>(seeds.whs3) / static_cast<double>(whm3);
    return static_cast<real>(r - std::trunc(r));
}

real tentopower(int16 n) {
    if (n < -10 || n > 10) bomb("tentopower", "stuffed", yourfault);
    return powersoften[static_cast<std::size_t>(n + 10)];
}

real rationalpower(int16 p, int16 q, real x) {
    if (p == 1 && q == 2) return std::sqrt(x);
    if (q == 1) {
        // Whole exponents by repeated squaring, so that a negative x is allowed.
        const real x2 = x * x;
        switch (p) {
            case 0: return 1.0L;
            case 1: return x;
            case 2: return x2;
            case 3: return x2 * x;
            case 4: return x2 * x2;
            case 5: return x2 * x2 * x;
            case 6: return x2 * x2 * x2;
            case 7: return x2 * x * (x2 * x2);
            case 8: {
                const real x4 = x2 * x2;
                return x4 * x4;
            }
            default: return std::exp(static_cast<real>(p) * std::log(x));
        }
    }
    // The exponent is rounded to double before it scales ln x: the last bits of site-fraction
    // powers, and so of activities, depend on it.
    const double e = static_cast<double>(p) / static_cast<double>(q);
    return std::exp(static_cast<real>(e) * std::log(x));
}

void startcombination(iemvector& a, int16 k) {
    for (int16 i = 1; i < k; ++i) a[i] = i;
    a[k] = static_cast<int16>(k - 1);
    for (int16 i = plus1(k); i <= nslots; ++i) a[i] = -1;
}

void nextcombination(iemvector& a, int16 k, int16 n, bool& more) {
    a[k] = plus1(a[k]);
    if (a[k] <= n) {
        more = true;
        return;
    }
    if (k == 1) {
        more = false;
        return;
    }
    // The rightmost position still below its highest value n - k + i moves up by one, and the
    // positions after it restart as the smallest increasing run above it.
    int16 i = static_cast<int16>(k - 1);
    while (i >= 1 && a[i] == n - k + i) --i;
    if (i < 1) {
        more = false;
        return;
    }
    a[i] = plus1(a[i]);
    for (int16 j = plus1(i); j <= k; ++j) a[j] = static_cast<int16>(a[i] + j - i);
    more = true;
}

void startmultiindex(iemvector& a, int16 k) {
    for (int16 i = 1; i < k; ++i) a[i] = 1;
    a[k] = 0;
    for (int16 i = plus1(k); i <= nslots; ++i) a[i] = -1;
}

void nextmultiindex(iemvector& a, const iemvector& limits, int16 k, bool& more) {
    a[k] = plus1(a[k]);
    if (a[k] <= limits[k]) {
        more = true;
        return;
    }
    if (k == 1) {
        more = false;
        return;
    }
    int16 i = static_cast<int16>(k - 1);
    while (i >= 1 && a[i] == limits[i]) --i;
    if (i < 1) {
        more = false;
        return;
    }
    a[i] = plus1(a[i]);
    for (int16 j = plus1(i); j <= k; ++j) a[j] = 1;
    more = true;
}

}  // namespace qv
