#include "timing.hpp"

#include <chrono>
#include <cmath>

namespace qv {
namespace {

volatile real referencesink = 0;  // keeps the reference results alive

}  // namespace

real time_per_call(const std::function<void()>& pass, long calls) {
    using clock = std::chrono::steady_clock;
    real best = 0;
    clock::duration total{};
    for (int rep = 0; rep < 5 || total < std::chrono::milliseconds(100); ++rep) {
        const auto start = clock::now();
        pass();
        const auto spent = clock::now() - start;
        total += spent;
        const real ns =
            static_cast<real>(std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count()) /
            static_cast<real>(calls);
        if (rep == 0 || ns < best) best = ns;
    }
    return best;
}

real reference_ns() {
    constexpr long n = 20000;
    return time_per_call(
        [] {
            real s = 0;
            for (long i = 0; i < n; ++i) {
                s += std::exp(std::log(1.5L + static_cast<real>(i) * 1e-4L) * 0.75L);
            }
            referencesink = s;
        },
        n);
}

}  // namespace qv
