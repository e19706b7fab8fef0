#pragma once
// Lists of bounded length indexed from 1, grown at their end, with bounds checks.

#include <cstddef>
#include <utility>
#include <vector>

#include "base/fixed.hpp"

namespace qv {

// A list of at most N entries: an index must name an entry present.
template <class T, int N>
class List1 {
public:
    T& operator[](int i) {
        check(i);
        return v_[static_cast<std::size_t>(i - 1)];
    }
    const T& operator[](int i) const {
        check(i);
        return v_[static_cast<std::size_t>(i - 1)];
    }
    int size() const { return static_cast<int>(v_.size()); }
    static constexpr int capacity() { return N; }
    void push_back(T x) {
        if (size() >= N) index_fault();
        v_.push_back(std::move(x));
    }
    void clear() { v_.clear(); }

private:
    void check(int i) const {
        if (i < 1 || i > size()) index_fault();
    }
    std::vector<T> v_;
};

}  // namespace qv
