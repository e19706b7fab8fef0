#pragma once
// Tables of fixed capacity whose entries are made when first written.
//
// How the large tables of a run are kept: a table whose capacity is far above what a typical run
// fills (the phase records, the covariance rows, the composition derivatives, the script's
// tables, the working rows of a decomposition) is a `Grow1<T, N>` instead of a `Fixed1<T, N>`.
// It is indexed from 1 like `Fixed1` and its capacity N and bounds check are the same, so every
// limit the callers test, and its message, stays as it was; but entry i exists only once the
// table was indexed at i (or beyond) through a non-const reference, and the entries below it
// are then made as well, each as a value-initialised T (zeros, or the member defaults). Until
// then a const read of entry i sees such a T. Memory thus follows what a run uses, not the
// capacity, and a run that never touches a table pays nothing for it.
//
// Entries never move once made (references and pointers to them stay valid while the table
// grows), so code may hold a reference to one entry while it indexes another. To add a table
// of this kind: declare it as `Grow1<record, capacity>`, index it as before, and loop over the
// entries in use (a count of the run, or `size()`), never over the whole capacity, when
// resetting or clearing; `clear()` forgets every entry. `capacitybytes()` is the size the table
// would have at full capacity, the figure the heap report gives for it.

#include <cstddef>
#include <deque>
#include <optional>

#include "base/fixed.hpp"

namespace qv {

template <class T, int N>
class Grow1 {
public:
    // How a new entry is prepared after its value-initialisation; none by default.
    using Preparer = void (*)(T&);

    T& operator[](int i) {
        if (i < 1 || i > N) index_fault();
        if (i > size()) grow(i);
        return (*d_)[static_cast<std::size_t>(i - 1)];
    }
    const T& operator[](int i) const {
        if (i < 1 || i > N) index_fault();
        if (i > size()) return blank();
        return (*d_)[static_cast<std::size_t>(i - 1)];
    }
    static constexpr int capacity() { return N; }
    static constexpr std::size_t capacitybytes() { return sizeof(T) * static_cast<std::size_t>(N); }
    // Entries made so far: 1..size() exist.
    int size() const { return d_ ? static_cast<int>(d_->size()) : 0; }
    void clear() {
        if (d_) d_->clear();
    }
    // Every entry made from now on is passed through `p` once it is value-initialised.
    void setpreparer(Preparer p) { prepare_ = p; }
    // Sets entries 1..last to v, making them as needed, and leaves the rest.
    void fillto(int last, const T& v) {
        if (last < 0 || last > N) index_fault();
        for (int i = 1; i <= last; ++i) (*this)[i] = v;
    }

private:
    void grow(int i) {
        if (!d_) d_.emplace();
        while (static_cast<int>(d_->size()) < i) {
            d_->emplace_back();
            if (prepare_ != nullptr) prepare_(d_->back());
        }
    }
    static const T& blank() {
        static const T b{};
        return b;
    }

    // The entries; none until the first is made (an empty deque holds a block of its own, and
    // most tables of a calculation's state are made and dropped without an entry).
    std::optional<std::deque<T>> d_;
    Preparer prepare_ = nullptr;
};

}  // namespace qv
