// Fixed-capacity arrays: indices run from 1 to the capacity, and any other index is an internal
// fault that stops the run rather than reading or writing outside the array.

#include <gtest/gtest.h>

#include <memory>

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
