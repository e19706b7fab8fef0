#pragma once
// Small tables of fixed capacity whose entries are made when first written, kept side by side.
//
// A `Dense1<T, N>` is indexed from 1 like `Fixed1` and `Grow1`, with the same capacity N and
// bounds check (so every limit and its message stays), and like `Grow1` it makes entry i, and
// those below it, as value-initialised T's when the table is first indexed at i through a
// non-const reference; a const read beyond the entries made sees such a T. Unlike `Grow1` its
// entries lie in one block, which suits small records read in inner loops (the terms of an a-x
// expression), and an empty table takes no memory beyond its own few words. The price: entries
// move when the table grows, so never hold a reference to one entry while indexing another one
// beyond `size()` (copy the entry first).

#include <cstddef>
#include <vector>

#include "base/fixed.hpp"

namespace qv {

template <class T, int N>
class Dense1 {
public:
    T& operator[](int i) {
        if (i < 1 || i > N) index_fault();
        if (i > static_cast<int>(v_.size())) v_.resize(static_cast<std::size_t>(i));
        return v_[static_cast<std::size_t>(i - 1)];
    }
    const T& operator[](int i) const {
        if (i < 1 || i > N) index_fault();
        if (i > static_cast<int>(v_.size())) return blank();
        return v_[static_cast<std::size_t>(i - 1)];
    }
    static constexpr int capacity() { return N; }
    // Entries made so far: 1..size() exist.
    int size() const { return static_cast<int>(v_.size()); }
    void clear() { v_.clear(); }

private:
    static const T& blank() {
        static const T b{};
        return b;
    }

    std::vector<T> v_;
};

}  // namespace qv
