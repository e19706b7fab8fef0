#pragma once
// Fixed-capacity arrays indexed from 1, with bounds checks.

#include <algorithm>
#include <array>

#include "base/fatal.hpp"

namespace qv {

[[noreturn]] inline void index_fault() {
    bomb("index", "subscript out of range", myfault);
}

template <class T, int N>
struct Fixed1 {
    std::array<T, N> a{};

    T& operator[](int i) {
        if (i < 1 || i > N) index_fault();
        return a[static_cast<std::size_t>(i - 1)];
    }
    const T& operator[](int i) const {
        if (i < 1 || i > N) index_fault();
        return a[static_cast<std::size_t>(i - 1)];
    }
    static constexpr int capacity() { return N; }
    void fill(const T& v) { a.fill(v); }
    // Sets entries 1..last to v and leaves the rest.
    void fillto(int last, const T& v) {
        if (last < 0 || last > N) index_fault();
        std::fill_n(a.begin(), last, v);
    }
};

}  // namespace qv
