#include "numerics/random.hpp"

#include <cmath>

namespace qv {

namespace {

// Wichmann and Hill (1982), Applied Statistics 31, 188-190: three small multiplicative
// congruential generators with prime moduli whose fractional sum has a period near 7e12.
constexpr int64 wha1 = 171, whm1 = 30269;
constexpr int64 wha2 = 172, whm2 = 30307;
constexpr int64 wha3 = 170, whm3 = 30323;

int32 whstep(int32 seed, int64 a, int64 m) {
    return static_cast<int32>(a * seed % m);
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

}  // namespace qv

namespace qv {

real MtRandom::uniform() {
    return static_cast<real>(gen_()) / 4294967296.0L;
}

real MtRandom::normal() {
    real u1 = 0;
    real s = 0;
    do {
        u1 = 2 * uniform() - 1;
        const real u2 = 2 * uniform() - 1;
        s = u1 * u1 + u2 * u2;
    } while (s >= 1 || s == 0);
    return u1 * std::sqrt(-2 * std::log(s) / s);
}

}  // namespace qv
