// Fixed-capacity arrays: indices run from 1 to the capacity, and any other index is an internal
// fault that stops the run rather than reading or writing outside the array.

#include <gtest/gtest.h>

#include <memory>

#include "base/dense.hpp"
#include "base/families.hpp"
#include "support/fakes.hpp"

namespace qv {
namespace {

TEST(Fixed1, IndicesRunFromOneToTheCapacity) {
    Fixed1<int16, 3> a;
    a.fill(7);
    a[1] = 1;
    a[3] = 3;
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[2], 7);
    EXPECT_EQ(a[3], 3);
    EXPECT_EQ(a.a[0], 1);  // slot 1 is the first element of the storage
}

TEST(Fixed1, AnIndexOutsideTheArrayStopsTheRun) {
    Fixed1<real, 3> a;
    const Fixed1<real, 3>& ca = a;
    for (int i : {0, -1, 4}) {
        EXPECT_BOMB(a[i] = 1, "index", "subscript out of range");
        EXPECT_BOMB(static_cast<void>(ca[i]), "index", "subscript out of range");
    }
    try {
        static_cast<void>(a[4]);
    } catch (const RunBombed& stop) {
        EXPECT_EQ(stop.fault, myfault);
    }
}

TEST(Fixed1, MatricesAreRowsOfVectors) {
    auto c = std::make_unique<icmatrix>();
    (*c)[maxcomp][maxem] = 5;
    EXPECT_EQ((*c)[maxcomp][maxem], 5);
    EXPECT_BOMB((*c)[maxcomp + 1][1] = 1, "index", "subscript out of range");
    EXPECT_BOMB((*c)[1][maxem + 1] = 1, "index", "subscript out of range");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Growing tables: the same indices and bounds as the fixed ones, entries made when first written.
TEST(Grow1, EntriesAreMadeUpToTheHighestIndexWritten) {
    Grow1<real, 400> a;
    const Grow1<real, 400>& ca = a;
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(ca[250], 0);  // a read of an entry not made sees zero and makes nothing
    EXPECT_EQ(a.size(), 0);
    a[3] = 2.5L;
    EXPECT_EQ(a.size(), 3);
    EXPECT_EQ(ca[1], 0);
    EXPECT_EQ(ca[3], 2.5L);
    EXPECT_EQ((Grow1<real, 400>::capacity()), 400);
    EXPECT_EQ((Grow1<emvector, 400>::capacitybytes()), sizeof(Fixed1<emvector, 400>));
    for (int i : {0, -1, 401}) {
        EXPECT_BOMB(a[i] = 1, "index", "subscript out of range");
        EXPECT_BOMB(static_cast<void>(ca[i]), "index", "subscript out of range");
    }
}

TEST(Grow1, EntriesStayPutWhileTheTableGrows) {
    Grow1<emvector, 400> m;
    emvector& first = m[1];
    first[7] = 1.25L;
    m[399][1] = 3;  // makes 2..399
    EXPECT_EQ(&first, &m[1]);
    EXPECT_EQ(first[7], 1.25L);
    EXPECT_EQ(m.size(), 399);
    m.clear();
    EXPECT_EQ(m.size(), 0);
}

TEST(Grow1, APreparerSetsUpEveryNewEntry) {
    struct Rec {
        std::string name;
        int16 n = 4;
    };
    Grow1<Rec, 10> t;
    t[1].name = "kept";
    t.setpreparer([](Rec& r) { r.name = "unset"; });
    t[3].n = 5;
    EXPECT_EQ(t[1].name, "kept");
    EXPECT_EQ(t[2].name, "unset");
    EXPECT_EQ(t[2].n, 4);
    EXPECT_EQ(t[3].name, "unset");
    EXPECT_EQ(t[3].n, 5);
}

// The terms of an expression: made as written, with their member defaults, and the capacity and
// its fault as for a fixed table.
TEST(Dense1, EntriesAreMadeWithTheirDefaultsUpToTheHighestIndexWritten) {
    struct Term {
        real coef = 1;
        int16 n = 0;
    };
    Dense1<Term, 24> t;
    const Dense1<Term, 24>& ct = t;
    EXPECT_EQ(ct[24].coef, 1);  // a read of an entry not made sees the defaults, makes nothing
    EXPECT_EQ(t.size(), 0);
    t[3].n = 2;
    EXPECT_EQ(t.size(), 3);
    EXPECT_EQ(t[1].coef, 1);
    EXPECT_EQ(t[2].n, 0);
    EXPECT_EQ(ct[3].n, 2);
    Dense1<Term, 24> copy = t;
    copy[3].n = 5;
    EXPECT_EQ(t[3].n, 2);  // copies are independent
    EXPECT_EQ((Dense1<Term, 24>::capacity()), 24);
    for (int i : {0, -1, 25}) {
        EXPECT_BOMB(t[i].n = 1, "index", "subscript out of range");
        EXPECT_BOMB(static_cast<void>(ct[i]), "index", "subscript out of range");
    }
    t.clear();
    EXPECT_EQ(t.size(), 0);
}

}  // namespace
}  // namespace qv
