// Bounded lists indexed from 1: an index names an entry present, and a list never grows past its
// capacity.

#include "base/list1.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/fakes.hpp"

namespace qv {
namespace {

TEST(List1, IndicesNameTheEntriesPresent) {
    List1<std::string, 2> l;
    EXPECT_BOMB(static_cast<void>(l[1]), "index", "subscript out of range");
    l.push_back("a");
    l.push_back("b");
    EXPECT_EQ(l.size(), 2);
    EXPECT_EQ(l[1], "a");
    EXPECT_EQ(l[2], "b");
    for (int i : {0, 3}) EXPECT_BOMB(static_cast<void>(l[i]), "index", "subscript out of range");
    EXPECT_BOMB(l.push_back("c"), "index", "subscript out of range");
    l.clear();
    EXPECT_EQ(l.size(), 0);
}

}  // namespace
}  // namespace qv
